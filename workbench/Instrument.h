#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The debug instrumenter: marker comments typed in column 1 of a procedure or
// trigger source ("/*@id*/" break, "/*#id*/" trace, "/*$n*/" progress) are
// compiled into blocks of procedure language that record each pass in the
// repository's debug tables, and, for a break, wait for the debugger's
// answers. Plain logic: the caller sends the text and does the bookkeeping.
//
// The text built here is meant for a statement with parameter parsing on:
// "::" reaches the server as one colon, ":name" would be a parameter.
namespace instrument {

// Where a line starts, seen as the statement's parameter parser sees it:
// colons inside quoted constants and comments are sent as they stand.
struct LexState {
    enum Kind { Code, BlockComment, SingleQuote, DoubleQuote };
    Kind kind = Code;
};

// Every colon of the line that the parameter parser would read (outside
// quotes and comments) doubled, so the server receives the colons as typed.
// The overload carries quotes and block comments over from line to line.
QString DoubleColons(const QString &line);
QString DoubleColons(const QString &line, LexState &state);
// Moves state over a line that is sent unchanged.
void Advance(const QString &line, LexState &state);

// The upper-cased line contains "DECLARE" anywhere.
bool HasDeclare(const QString &line);
// The upper-cased line begins with "AS".
bool StartsWithAs(const QString &line);
// The declaration after "VARIABLE" (or from the ninth character when there
// is none, as in "DECLARE x INTEGER;") up to the next ";", trimmed.
QString ExtractVariableDecl(const QString &line);
// What a declared type makes of an answer read back from the CHAR(255)
// answer column: Fixed text (CHAR, NCHAR, CHARACTER) takes the value as it
// stands, padding and all, as CHAR always does; Varying text (VARCHAR and
// its spellings, BLOB) takes it without the column's padding; any Other type
// (numbers, dates, domains) without padding, and an empty answer as NULL.
enum class TextKind { Other, Fixed, Varying };
TextKind TextKindOf(const QString &type);
// The text before the first white space; empty when there is none.
QString FirstWord(const QString &text);
// The id after the first marker character up to the first "*/" (or the end
// of the line), trimmed, at most 20 characters.
QString ExtractPointId(const QString &line, QChar marker);
bool IsBreakPointLine(const QString &line);
bool IsTracePointLine(const QString &line);
bool IsProgressPointLine(const QString &line);
// With objectStored (the object is in the database), a line beginning with
// CREATE begins with ALTER instead.
QString CreateToAlter(const QString &line, bool objectStored);

enum class Mode {
    Plain, // colons doubled, markers stay comments
    Debug, // markers become blocks, declarations are watched
    Strip  // markers are dropped, nothing generated
};

// One marker met by a debug save: id and "BP", "TP" or "PP".
struct Point {
    QString id;
    QString type;
    bool operator==(const Point &o) const { return id == o.id && type == o.type; }
};

// The first line of every save text: the server counts the editor's first
// line as line 2.
QString LeadLine();

// The generated blocks, line by line, as the server's parameter parser
// receives them. object is the procedure or trigger name.
QStringList DeclarationBlock();
// Each block is written to use few of the 256 contexts (table references)
// the server allows in one procedure: a counter update returns its value, the
// watched values are written and read back in one loop each, so a block
// costs the same whatever the number of watched variables (break 12, its
// wait on the session row included, trace 7; 8 and 6 without watched
// variables).
//
// One watched variable and the kind of its declared type.
struct Watched {
    QString name;
    TextKind kind = TextKind::Other;
};
// The debug tables are external files, which hold no NULL: a NULL value
// arrives as blanks, and every answer is padded to the column's 255
// characters. Each variable reads its answer back as TextKindOf says.
QStringList BreakBlock(const QString &id, const QString &object, const QList<Watched> &watched);
QStringList TraceBlock(const QString &id, const QString &object, const QList<Watched> &watched);
QStringList ProgressBlock(const QString &id);

// The pending META$POINTS row of one point (kind "SP" or "TR").
QString PointInsert(const QString &object, const Point &point, const QString &kind);

// Expands an editor text line by line into the statement that saves it.
class Instrumenter {
public:
    Instrumenter(Mode mode, const QString &object, const QString &kind, bool objectStored);

    // Appends the expansion of one editor line.
    void InstrumentLine(const QString &line);
    // How the sent lines end: "\n" (the default) or "\r\n", which keeps
    // the line ends of a source written elsewhere when it is saved again.
    // Only lines() and text() depend on it.
    void setLineEnd(const QString &lineEnd);

    // The statement's lines, LeadLine() first; with "\r\n" line ends each
    // line but the last ends with its CR.
    QStringList lines() const;
    QString text() const { return lines().join(QLatin1Char('\n')); }
    // Points met in debug mode, in order of the text.
    const QList<Point> &points() const { return m_points; }
    // The META$POINTS inserts of those points, in the same order.
    QStringList pointInserts() const;
    QStringList watchedVariables() const;
    int watchedCount() const { return int(m_watched.size()); }
    // For every line of lines(), the editor line (1-based) it was made
    // from; 0 for the lead line. A generated block comes from its marker's
    // line, the generated declarations from the AS line.
    const QVector<int> &origins() const { return m_origins; }
    bool breakPointsUsed() const { return m_bp; }
    bool tracePointsUsed() const { return m_tp; }
    bool progressPointsUsed() const { return m_pp; }

private:
    void append(const QString &line);
    void appendDoubled(const QString &line);
    void record(const QString &line);
    void appendBlock(const QStringList &block);

    Mode m_mode;
    QString m_object;
    QString m_kind;
    bool m_objectStored;
    LexState m_state;
    QStringList m_lines;
    QList<Point> m_points;
    QList<Watched> m_watched;
    QVector<int> m_origins;
    int m_editorLine = 0;
    bool m_crlf = false;
    bool m_bp = false;
    bool m_tp = false;
    bool m_pp = false;
};

// The whole editor text through one Instrumenter.
Instrumenter InstrumentText(const QStringList &editorLines, Mode mode, const QString &object, const QString &kind,
                            bool objectStored);

// Turns a line number the server reports for a saved statement (a compile
// error, or a run-time error of the procedure compiled from it) into a line
// of the editor. A debug save sends far more lines than the editor holds, so
// the server's numbers only mean something through the save's origins.
class LineMap {
public:
    // No save seen: the statement is the lead line and the editor's lines.
    LineMap() = default;
    LineMap(const QStringList &editorLines, const Instrumenter &saved);

    // The editor line (1-based) of serverLine in the editor as it is now.
    // When the editor was reloaded from the catalogue after the save, its
    // header was rebuilt and may have another number of lines; the body
    // comes back line for line, so lines of the body are found by their
    // distance from its end.
    int EditorLine(int serverLine, const QStringList &editorNow) const;

private:
    QStringList m_saved;
    QVector<int> m_origins;
};

} // namespace instrument
