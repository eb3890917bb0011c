#include "workbench/ProcText.h"

#include <QRegularExpression>

namespace proctext {

bool IsBlankLine(const QString &line)
{
    for (QChar c : line)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

bool StripDebugBlock(const QString &line, bool &inDebugBlock, QString &out)
{
    // Headers keep their first two characters ("/*") and lose the generated
    // words, so "/* META BP@X*/" reads "/*@X*/" again.
    if (line.contains(QLatin1String("/* META VARIABLE */"))) {
        inDebugBlock = true;
        return false;
    }
    if (line.contains(QLatin1String("/* META BP@")) || line.contains(QLatin1String("/* META TP#"))) {
        inDebugBlock = true;
        out = line.left(2) + line.mid(10);
        return true;
    }
    if (line.contains(QLatin1String("/* META GEN$"))) {
        inDebugBlock = true;
        out = line.left(2) + line.mid(11);
        return true;
    }
    if (line.contains(QLatin1String("/* END META */"))) {
        inDebugBlock = false;
        return false;
    }
    if (inDebugBlock)
        return false;
    out = line;
    return true;
}

QStringList SourceLines(const QString &storedSource, bool &inDebugBlock)
{
    QStringList result;
    if (storedSource.isEmpty())
        return result;
    for (QString line : storedSource.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        QString out;
        if (StripDebugBlock(line, inDebugBlock, out))
            result << out;
    }
    return result;
}

QString LineEnd(const QString &storedSource)
{
    const qsizetype lf = storedSource.indexOf(QLatin1Char('\n'));
    return lf > 0 && storedSource.at(lf - 1) == QLatin1Char('\r') ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

QStringList InitialProcedureText()
{
    return {QStringLiteral("/*$1*/                                     <-- PP    (allowable values after $ : 1..10)"),
            QStringLiteral("   Important: Comments MUST start from the first position.")};
}

QStringList ProcedureTemplate()
{
    return {QStringLiteral("CREATE PROCEDURE MyProc ()"), QStringLiteral("  RETURNS () "), QStringLiteral("AS "),
            QStringLiteral("begin "), QStringLiteral(" "), QStringLiteral("end ")};
}

QStringList TriggerTemplate()
{
    return {QStringLiteral("CREATE TRIGGER MyTrig FOR MyTable"), QStringLiteral("[ACTIVE | INACTIVE]"),
            QStringLiteral("{BEFORE | AFTER}"), QStringLiteral("{DELETE | INSERT | UPDATE}"),
            QStringLiteral("[POSITION number]"), QStringLiteral("AS"), QStringLiteral("begin"), QStringLiteral(" "),
            QStringLiteral("end")};
}

namespace {

QString paramList(const QVector<Param> &params)
{
    QString list;
    for (const Param &p : params)
        list += p.name + QLatin1Char(' ') + p.type + QStringLiteral(", ");
    list.chop(2);
    return list;
}

} // namespace

QString InputParamsLine(const QVector<Param> &params)
{
    return params.isEmpty() ? QString() : QStringLiteral("  (") + paramList(params) + QStringLiteral(") ");
}

QString OutputParamsLine(const QVector<Param> &params)
{
    return params.isEmpty() ? QString() : QStringLiteral("  RETURNS (") + paramList(params) + QLatin1Char(')');
}

QStringList BuildProcedureText(const QString &name, const QVector<Param> &in, const QVector<Param> &out,
                               const QString &storedSource, bool &inDebugBlock)
{
    QStringList lines{QStringLiteral("ALTER PROCEDURE ") + name + QLatin1Char(' ')};
    if (!in.isEmpty())
        lines << InputParamsLine(in);
    if (!out.isEmpty())
        lines << OutputParamsLine(out);
    lines << QStringLiteral("AS ");
    lines << SourceLines(storedSource, inDebugBlock);
    return lines;
}

QString TriggerTypeLine(int type)
{
    static const char *const single[] = {"BEFORE INSERT", "AFTER INSERT",  "BEFORE UPDATE",
                                         "AFTER UPDATE",  "BEFORE DELETE", "AFTER DELETE"};
    if (type >= 1 && type <= 6)
        return QLatin1String(single[type - 1]);
    static const char *const database[] = {"ON CONNECT", "ON DISCONNECT", "ON TRANSACTION START",
                                           "ON TRANSACTION COMMIT", "ON TRANSACTION ROLLBACK"};
    // ALTER TRIGGER takes no database event (the server keeps the one the
    // trigger was made with), so it is shown as a comment.
    if (type >= 8192 && type <= 8196)
        return QStringLiteral("/* %1 */").arg(QLatin1String(database[type - 8192]));
    // Combined events: bit 0 of type + 1 says BEFORE/AFTER, then up to three
    // two-bit slots name INSERT (1), UPDATE (2), DELETE (3).
    if (type > 6 && type < 128) {
        const int v = type + 1;
        QStringList events;
        bool valid = true;
        for (int slot = 1; slot <= 3; ++slot) {
            const int code = (v >> (slot * 2 - 1)) & 3;
            if (code == 0) {
                if ((v >> (slot * 2 - 1)) != 0)
                    valid = false;
                break;
            }
            events << QLatin1String(code == 1 ? "INSERT" : code == 2 ? "UPDATE" : "DELETE");
        }
        if (valid && !events.isEmpty() && (v >> 7) == 0)
            return QLatin1String((v & 1) ? "AFTER " : "BEFORE ") + events.join(QLatin1String(" OR "));
    }
    return QStringLiteral("/* TYPE %1 */").arg(type);
}

QStringList BuildTriggerText(const QString &name, const QString &table, int type, int inactive, int sequence,
                             const QString &storedSource, bool &inDebugBlock)
{
    // A database trigger has no table to name.
    QStringList lines{QStringLiteral("ALTER TRIGGER ") + name
                      + (table.isEmpty() ? QString() : QStringLiteral(" /* FOR ") + table + QStringLiteral(" */"))};
    lines << QLatin1String(inactive != 0 ? "INACTIVE" : "ACTIVE");
    lines << TriggerTypeLine(type);
    lines << QStringLiteral("POSITION ") + QString::number(sequence);
    lines << SourceLines(storedSource, inDebugBlock);
    return lines;
}

ErrorLine MapErrorLine(const QString &message, int offset)
{
    return MapErrorLine(message, [offset](int line) { return line - offset; });
}

ErrorLine MapErrorLine(const QString &message, const std::function<int(int)> &toEditorLine)
{
    ErrorLine r;
    r.message = message;
    // The first "line" that a number follows; a name holding "line" is passed.
    static const QRegularExpression re(QStringLiteral("line(:?[ ]*)(\\d+)"));
    const QRegularExpressionMatch m = re.match(message);
    if (!m.hasMatch())
        return r;
    // A number no editor could have is no line number: the message stays.
    bool ok = false;
    const int serverLine = m.captured(2).toInt(&ok);
    if (!ok)
        return r;
    r.found = true;
    r.line = toEditorLine(serverLine);
    r.message = message.left(m.capturedStart(2)) + QString::number(r.line) + message.mid(m.capturedEnd(2));
    return r;
}

LineCheck CheckLineNumber(const QString &typed, int lineCount, int *line)
{
    if (typed.isEmpty())
        return LineCheck::Empty;
    bool ok = false;
    const int n = typed.trimmed().toInt(&ok);
    if (!ok)
        return LineCheck::NotANumber;
    if (n < 0)
        return LineCheck::Negative;
    if (n > lineCount)
        return LineCheck::PastEnd;
    if (line)
        *line = n;
    return LineCheck::Ok;
}

QString LineCheckMessage(LineCheck check, const QString &typed)
{
    switch (check) {
    case LineCheck::NotANumber:
        return QStringLiteral("Incorrect line number.");
    case LineCheck::Negative:
        return QStringLiteral("Line number < 0");
    case LineCheck::PastEnd:
        return QStringLiteral("There is no line #") + typed;
    default:
        return QString();
    }
}

int SearchForward(const QStringList &names, int current, const QString &prefix)
{
    if (names.isEmpty())
        return -1;
    int i = qBound(0, current, int(names.size()) - 1);
    while (i < names.size() - 1 && names.at(i) < prefix)
        ++i;
    return i;
}

} // namespace proctext
