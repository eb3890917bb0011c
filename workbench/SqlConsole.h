#pragma once

// The SQL console's logic without a window: the history table's time key,
// the history row and its clearing, the first line that names a statement,
// the numbering of background query windows and the text of a failed run.

#include "engine/RowSet.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTime>

#include <exception>

namespace engine {
class Database;
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

// The key a new history row takes: the clock's key, unless the last key
// handed out lies less than a day's worth of keys ahead of it (runs faster
// than one a second have pushed the keys ahead), then the key after that
// one. Both wrap in 32 bits, as the clock's keys do.
qint32 NextHistoryKey(qint32 clockKey, qint32 lastKey);

// The generator META$HISTKEY remembers the last history key handed out, so a
// key is found in the same few statements however many rows the history
// holds and however fast the runs come. This makes it, in a transaction of
// its own, when the database has none (a repository made before it
// existed). Call outside any transaction.
void EnsureHistoryKeyGenerator(engine::Database &db);

// Appends one history row (DT := a key from NextHistoryKey, ID := the first
// line cut to 255 characters, BODY := text) at the end of the history table
// and leaves it on that row, its grids frozen meanwhile; the rows already
// held are not read again. A key another program took moves on to the next
// one, so the user's statement still runs. Returns the key written; any
// other failure is passed on with the table out of insert state.
qint32 AppendHistoryRow(engine::Table &history, const QString &text, qint32 clockKey);

// The statement that deletes a user's history rows.
QString ClearHistorySql(const QString &userName);

// 1 for the first call in the program's run, then 2, 3 ...; from any thread.
int NextQueryNumber();
// base followed by n in upper-case hexadecimal: Session1 ... Session9, SessionA.
QString NumberedName(const QString &base, int n);

// A failed background run as its status line shows it: the exception's
// class name, ": ", its message and a full stop.
QString FailureText(const std::exception &e);

// The console's statement run on a thread of its own, in the transaction
// the caller has started on db, so the caller's thread stays free to serve
// its window meanwhile (a break the statement reaches is answered there).
// Sent as typed: a colon is no parameter. Neither the caller nor anyone else
// uses db until finished() has come.
class StatementThread : public QThread {
    Q_OBJECT
public:
    StatementThread(engine::Database &db, const QStringList &sql, bool query, QObject *parent = nullptr);
    // After finished(): a query's rows, or the failure (null when none).
    engine::RowSetPtr rows() const { return m_rows; }
    std::exception_ptr failure() const { return m_failure; }

protected:
    void run() override;

private:
    engine::Database &m_db;
    QStringList m_sql;
    bool m_query;
    engine::RowSetPtr m_rows;
    std::exception_ptr m_failure;
};

} // namespace sqlconsole
