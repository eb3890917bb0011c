#pragma once

// The SQL console's logic without a window: the history table's time key,
// the history row and its clearing, the first line that names a statement,
// the numbering of background query windows and the text of a failed run.

#include <QDate>
#include <QString>
#include <QTime>

#include <exception>

namespace engine {
class Table;
}

namespace sqlconsole {

// The history key of a run at date and time: the days since 30 December
// 1899 times 1000000, plus h * 10000 + m * 100 + s, in 32-bit two's
// complement (it wraps modulo 2^32, as the keys already stored did).
qint32 HistoryKey(const QDate &date, const QTime &time);
qint32 HistoryKeyNow();

// The text's first line (the whole text when it has one line).
QString FirstLine(const QString &text);

// Appends one history row (DT := key, ID := the first line cut to 255
// characters, BODY := text) to the history table and leaves it reopened on
// its last row, its grids frozen meanwhile. A key another run already took
// (two runs within one second) moves on to the next free value, so the
// user's statement still runs. Returns the key written; any other failure
// is passed on with the table out of insert state.
qint32 AppendHistoryRow(engine::Table &history, const QString &text, qint32 key);

// The statement that deletes a user's history rows.
QString ClearHistorySql(const QString &userName);

// 1 for the first call in the program's run, then 2, 3 ...; from any thread.
int NextQueryNumber();
// base followed by n in upper-case hexadecimal: Session1 ... Session9, SessionA.
QString NumberedName(const QString &base, int n);

// A failed background run as its status line shows it: the exception's
// class name, ": ", its message and a full stop.
QString FailureText(const std::exception &e);

} // namespace sqlconsole
