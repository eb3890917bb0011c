#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// The text logic of the procedure and trigger editors: the templates of a
// new object, the ALTER statements rebuilt from the catalogue, the loader's
// per-line step that turns stored debug blocks back into their markers, the
// mapping of a server error's line number onto the editor, and the checks of
// a typed line number. Nothing here needs a window or a connection.
namespace proctext {

// The line is empty or holds blanks only.
bool IsBlankLine(const QString &line);

// The loader's step for one stored line: true when the line goes into the
// editor, with the text to add in out. inDebugBlock carries over between the
// lines of one source: generated blocks are left out, their headers become
// the marker comments the user typed.
bool StripDebugBlock(const QString &line, bool &inDebugBlock, QString &out);

// Every stored source line that survives the debug-block step, in order.
// Blank lines stay: the user's text is data, and a plain open and save must
// store it again as it was. The stored text may end its lines with CR LF.
QStringList SourceLines(const QString &storedSource, bool &inDebugBlock);

// How the stored text ends its lines: "\r\n" when its first line ends so,
// else "\n". A save of the opened text ends its lines the same way.
QString LineEnd(const QString &storedSource);

// What the procedure editor holds before anything is opened: how to write a
// progress point.
QStringList InitialProcedureText();
QStringList ProcedureTemplate();
QStringList TriggerTemplate();

struct Param {
    QString name;
    QString type;
};

// "  (A INTEGER, B CHAR(10)) " / "  RETURNS (...)": empty without parameters.
QString InputParamsLine(const QVector<Param> &params);
QString OutputParamsLine(const QVector<Param> &params);

// The editor text of an opened procedure: header, "AS ", stored lines.
QStringList BuildProcedureText(const QString &name, const QVector<Param> &in, const QVector<Param> &out,
                               const QString &storedSource, bool &inDebugBlock);

// The type line of a trigger header. 1..6 are the single events; Firebird's
// combined events (BEFORE INSERT OR UPDATE ...) are decoded too; a database
// trigger's event is named in a comment, as ALTER TRIGGER takes none; any
// other value becomes a comment, so the header still compiles and keeps the
// stored type.
QString TriggerTypeLine(int type);

QStringList BuildTriggerText(const QString &name, const QString &table, int type, int inactive, int sequence,
                             const QString &storedSource, bool &inDebugBlock);

// A server error and its line number as the editor sees it.
struct ErrorLine {
    bool found = false; // a line number was read from the message
    int line = 0;       // the editor's line (1-based, already reduced)
    QString message;    // the text to show
};

// Reads the first line number of a server message, in either form the
// server writes ("line 5, column 10" for compile errors, "line: 15, col: 1"
// for run-time errors), subtracts offset from it and puts the reduced number
// into the message in place of the server's. A message without a readable
// number comes back unchanged with found false.
ErrorLine MapErrorLine(const QString &message, int offset);
// The same with the server's line turned into the editor's by toEditorLine.
ErrorLine MapErrorLine(const QString &message, const std::function<int(int)> &toEditorLine);

// The check of a typed line number against an editor of lineCount lines.
enum class LineCheck { Empty, Ok, NotANumber, Negative, PastEnd };
LineCheck CheckLineNumber(const QString &typed, int lineCount, int *line);
// The message for a refused number; empty for Empty and Ok.
QString LineCheckMessage(LineCheck check, const QString &typed);

// The chooser lists' letter search: from row current, the first row whose
// name is not less than prefix (ordinal comparison), or the last row.
int SearchForward(const QStringList &names, int current, const QString &prefix);

} // namespace proctext
