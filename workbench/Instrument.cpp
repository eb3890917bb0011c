#include "workbench/Instrument.h"

#include <QRegularExpression>

namespace instrument {

namespace {

const QLatin1String kBreakMarker("/*@");
const QLatin1String kTraceMarker("/*#");
const QLatin1String kProgressMarker("/*$");
const int kMaxPointId = 20; // BPID / TPID are CHAR(20)

// A value inside a double-quoted constant.
QString quoted(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

// Walks one line as the parameter parser walks the whole text; colon(i) is
// called for every colon the parser would read. A "--" comment ends with
// the line, since the lines are joined with line feeds.
template <typename OnColon>
void scan(const QString &line, LexState &state, OnColon colon)
{
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = line[i];
        switch (state.kind) {
        case LexState::BlockComment:
            if (c == u'*' && i + 1 < n && line[i + 1] == u'/') {
                state.kind = LexState::Code;
                ++i;
            }
            break;
        case LexState::SingleQuote:
            if (c == u'\'')
                state.kind = LexState::Code; // a doubled quote reopens at once
            break;
        case LexState::DoubleQuote:
            if (c == u'"')
                state.kind = LexState::Code;
            break;
        case LexState::Code:
            if (c == u'\'')
                state.kind = LexState::SingleQuote;
            else if (c == u'"')
                state.kind = LexState::DoubleQuote;
            else if (c == u'/' && i + 1 < n && line[i + 1] == u'*') {
                state.kind = LexState::BlockComment;
                ++i;
            } else if (c == u'-' && i + 1 < n && line[i + 1] == u'-')
                return;
            else if (c == u':')
                colon(i);
            break;
        }
    }
}

} // namespace

QString DoubleColons(const QString &line, LexState &state)
{
    QString out;
    out.reserve(line.size() + 8);
    qsizetype from = 0;
    scan(line, state, [&](qsizetype i) {
        out += QStringView(line).mid(from, i + 1 - from);
        out += QLatin1Char(':');
        from = i + 1;
    });
    out += QStringView(line).mid(from);
    return out;
}

QString DoubleColons(const QString &line)
{
    LexState state;
    return DoubleColons(line, state);
}

void Advance(const QString &line, LexState &state)
{
    scan(line, state, [](qsizetype) {});
}

bool HasDeclare(const QString &line)
{
    return line.toUpper().contains(QLatin1String("DECLARE"));
}

bool StartsWithAs(const QString &line)
{
    return line.toUpper().startsWith(QLatin1String("AS"));
}

QString ExtractVariableDecl(const QString &line)
{
    // Two characters past "VARIABLE" skips its blank; without the word the
    // same arithmetic lands just past "DECLARE ".
    const qsizetype start = line.toUpper().indexOf(QLatin1String("VARIABLE")) + 9;
    if (start >= line.size())
        return QString();
    const qsizetype semicolon = line.indexOf(QLatin1Char(';'), start);
    const qsizetype end = semicolon < 0 ? line.size() : semicolon;
    return line.mid(start, end - start).trimmed();
}

TextKind TextKindOf(const QString &type)
{
    // The words of the type up to a length, default or collation.
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList words;
    for (const QString &w : type.toUpper().split(blanks, Qt::SkipEmptyParts)) {
        QString word = w;
        const qsizetype paren = word.indexOf(QLatin1Char('('));
        if (paren >= 0)
            word.truncate(paren);
        if (!word.isEmpty())
            words << word;
        if (paren >= 0 || words.size() == 3)
            break;
    }
    if (words.isEmpty())
        return TextKind::Other;
    const QString &first = words.first();
    if (first == QLatin1String("VARCHAR") || first == QLatin1String("BLOB"))
        return TextKind::Varying;
    if (first == QLatin1String("CHAR") || first == QLatin1String("CHARACTER") || first == QLatin1String("NCHAR")
        || first == QLatin1String("NATIONAL"))
        return words.contains(QLatin1String("VARYING")) ? TextKind::Varying : TextKind::Fixed;
    return TextKind::Other;
}

QString FirstWord(const QString &text)
{
    // Any white space ends the name: a tab between name and type is common.
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].isSpace())
            return text.left(i);
    return QString();
}

QString ExtractPointId(const QString &line, QChar marker)
{
    const qsizetype at = line.indexOf(marker);
    if (at < 0)
        return QString();
    // A marker left unclosed still names its point: its id runs to the end.
    qsizetype close = line.indexOf(QLatin1String("*/"), at + 1);
    if (close < 0)
        close = line.size();
    return line.mid(at + 1, close - at - 1).trimmed().left(kMaxPointId);
}

bool IsBreakPointLine(const QString &line)
{
    return line.startsWith(kBreakMarker);
}

bool IsTracePointLine(const QString &line)
{
    return line.startsWith(kTraceMarker);
}

bool IsProgressPointLine(const QString &line)
{
    return line.startsWith(kProgressMarker);
}

QString CreateToAlter(const QString &line, bool objectStored)
{
    if (objectStored && line.toUpper().startsWith(QLatin1String("CREATE")))
        return QStringLiteral("ALTER") + line.mid(6);
    return line;
}

QString LeadLine()
{
    return QString(82, QLatin1Char(' '));
}

QStringList DeclarationBlock()
{
    return {QStringLiteral("/* META VARIABLE */"), QStringLiteral("declare variable meta$num integer;"),
            QStringLiteral("declare variable meta$dummy integer;"),
            QStringLiteral("declare variable meta$name char(31);"),
            QStringLiteral("declare variable meta$value char(255);"), QStringLiteral("/* END META */")};
}

namespace {

// "decode(meta$num, 1, a1, 2, a2, ...)" over the watched variables.
QString decodeByNumber(const QList<Watched> &watched, QString (*item)(const QString &))
{
    QString s = QStringLiteral("decode(::meta$num");
    for (int i = 0; i < watched.size(); ++i)
        s += QStringLiteral(", ") + QString::number(i + 1) + QStringLiteral(", ") + item(watched[i].name);
    return s + QLatin1Char(')');
}

QString castToText(const QString &v)
{
    return QStringLiteral("cast(::") + v + QStringLiteral(" as varchar(255))");
}

// The recording part shared by break and trace blocks: the hit row, then one
// value row per watched variable in the order of their declarations, all
// numbered from META$CODEGEN. The two reads of the external tables at the
// end make the engine write its buffered rows to the files, so the
// debugger's connection sees the hit while this transaction is still open;
// the values are flushed before the hit row that announces them. The session
// read and the flushing reads take no aggregate, which would cost a context
// of its own.
QStringList recordHit(const QString &header, const QString &counter, const QString &hitTable,
                      const QString &valueTable, const QString &id, const QString &object,
                      const QList<Watched> &watched)
{
    const QString o = quoted(object);
    QStringList b;
    b << header;
    b << QStringLiteral("meta$dummy = gen_id(meta$CodeGen, 1);");
    b << QStringLiteral("update meta$gens set GenValue = GenValue + 1 where UserName = User and ProcName = ") + o
            + QStringLiteral(" and GenID = \"") + counter + QStringLiteral("\" returning GenValue into ::meta$num;");
    b << QStringLiteral("insert into ") + hitTable
            + QStringLiteral(" values (::meta$dummy, USER, (select first 1 SessionNum from meta$session where "
                             "UserName = User order by SessionNum desc), ")
            + o + QStringLiteral(", ") + quoted(id) + QStringLiteral(", ::meta$num);");
    if (!watched.isEmpty()) {
        b << QStringLiteral("meta$num = 0;");
        b << QStringLiteral("while (meta$num < ") + QString::number(watched.size()) + QStringLiteral(") do");
        b << QStringLiteral("begin");
        b << QStringLiteral("  meta$num = meta$num + 1;");
        b << QStringLiteral("  insert into ") + valueTable
                + QStringLiteral(" values (gen_id(meta$CodeGen, 1), ::meta$dummy, ")
                + decodeByNumber(watched, quoted) + QStringLiteral(", ") + decodeByNumber(watched, castToText)
                + QStringLiteral(");");
        b << QStringLiteral("end");
    }
    b << QStringLiteral("select first 1 Code from ") + valueTable + QStringLiteral(" where Code = -1 into ::meta$num;");
    b << QStringLiteral("select first 1 Code from ") + hitTable + QStringLiteral(" where Code = -1 into ::meta$num;");
    return b;
}

QString answerValue(TextKind kind)
{
    switch (kind) {
    case TextKind::Fixed:
        return QStringLiteral("meta$value");
    case TextKind::Varying:
        return QStringLiteral("trim(trailing from meta$value)");
    default:
        return QStringLiteral("nullif(trim(trailing from meta$value), \"\")");
    }
}

} // namespace

QStringList BreakBlock(const QString &id, const QString &object, const QList<Watched> &watched)
{
    QStringList b = recordHit(QStringLiteral("/* META BP@") + id + QStringLiteral("*/"), QStringLiteral("BPNUM"),
                              QStringLiteral("META$MTBP"), QStringLiteral("META$MTBPV"), id, object, watched);
    const QString n = QString::number(watched.size());
    b << QStringLiteral("meta$num = 0;");
    b << QStringLiteral("while (meta$num < ") + n + QStringLiteral(") do");
    if (watched.isEmpty()) { // the loop never runs: the block only records
        b << QStringLiteral("  select count(*) from meta$mtbpa where MTCode = ::meta$dummy into ::meta$num;");
    } else {
        // Until every answer is there, the block waits on the user's wait
        // row (his session row numbered -1), which the debugger holds while nobody has answered and lets
        // go when it answers: a wait in the lock manager, not a loop on the
        // server's CPU. The wait takes the run's own wait mode (a
        // transaction with a lock timeout wakes up each timeout to look
        // again; one that does not wait for locks comes straight back, and
        // the loop reads the answers as often as before). Only the lock's
        // own outcomes end the wait quietly, so a cancel still ends the run
        // (EXECUTE STATEMENT would spare the two contexts this costs, but a
        // cancel arriving inside it is lost and the run never ends).
        b << QStringLiteral("begin");
        b << QStringLiteral("  select count(*) from meta$mtbpa where MTCode = ::meta$dummy into ::meta$num;");
        b << QStringLiteral("  if (meta$num < ") + n + QStringLiteral(") then");
        b << QStringLiteral("  begin");
        b << QStringLiteral("    in autonomous transaction do");
        b << QStringLiteral("      update meta$session set SessionNum = SessionNum where UserName = User and SessionNum < 0;");
        b << QStringLiteral("    when gdscode deadlock, gdscode lock_timeout, gdscode lock_conflict, gdscode update_conflict do");
        b << QStringLiteral("      meta$num = 0;");
        b << QStringLiteral("  end");
        b << QStringLiteral("end");
    }
    if (!watched.isEmpty()) {
        // Each answer row goes to the variable it names; one read of the
        // answer table serves them all.
        b << QStringLiteral("for select VarName, VarValue from META$MTBPA where MTCode = ::meta$dummy into "
                            "::meta$name, ::meta$value do");
        b << QStringLiteral("begin");
        for (const Watched &v : watched)
            b << QStringLiteral("  if (meta$name = ") + quoted(v.name) + QStringLiteral(") then ") + v.name
                    + QStringLiteral(" = ") + answerValue(v.kind) + QLatin1Char(';');
        b << QStringLiteral("end");
    }
    b << QStringLiteral("/* END META */");
    return b;
}

QStringList TraceBlock(const QString &id, const QString &object, const QList<Watched> &watched)
{
    QStringList b = recordHit(QStringLiteral("/* META TP#") + id + QStringLiteral("*/"), QStringLiteral("TPNUM"),
                              QStringLiteral("META$MTTP"), QStringLiteral("META$MTTPV"), id, object, watched);
    b << QStringLiteral("/* END META */");
    return b;
}

QStringList ProgressBlock(const QString &id)
{
    return {QStringLiteral("/* META GEN$") + id + QStringLiteral("*/"),
            QStringLiteral("meta$dummy = gen_id(meta$gen") + id + QStringLiteral(", 1);"),
            QStringLiteral("/* END META */")};
}

QString PointInsert(const QString &object, const Point &point, const QString &kind)
{
    return QStringLiteral("insert into meta$points values (gen_id(meta$CodeGen, 1), ") + quoted(object)
        + QStringLiteral(", ") + quoted(point.id) + QStringLiteral(", ") + quoted(point.type) + QStringLiteral(", ")
        + quoted(kind) + QStringLiteral(", 1)");
}

Instrumenter::Instrumenter(Mode mode, const QString &object, const QString &kind, bool objectStored)
    : m_mode(mode), m_object(object), m_kind(kind), m_objectStored(objectStored)
{
    record(LeadLine());
}

void Instrumenter::setLineEnd(const QString &lineEnd)
{
    m_crlf = lineEnd == QLatin1String("\r\n");
}

QStringList Instrumenter::lines() const
{
    if (!m_crlf)
        return m_lines;
    QStringList r = m_lines;
    for (qsizetype i = 0; i + 1 < r.size(); ++i)
        r[i] += QLatin1Char('\r');
    return r;
}

void Instrumenter::record(const QString &line)
{
    m_lines << line;
    m_origins << m_editorLine;
}

void Instrumenter::append(const QString &line)
{
    Advance(line, m_state);
    record(line);
}

void Instrumenter::appendDoubled(const QString &line)
{
    record(DoubleColons(line, m_state));
}

void Instrumenter::appendBlock(const QStringList &block)
{
    for (const QString &l : block)
        append(l);
}

void Instrumenter::InstrumentLine(const QString &editorLine)
{
    ++m_editorLine;
    if (m_mode == Mode::Plain) {
        appendDoubled(editorLine);
        return;
    }
    const bool strip = m_mode == Mode::Strip;
    const QString line = CreateToAlter(editorLine, m_objectStored);
    if (StartsWithAs(line)) {
        append(line);
        if (!strip)
            appendBlock(DeclarationBlock());
        return;
    }
    if (HasDeclare(line) && !strip) {
        // A name that comes out empty could only make the blocks invalid.
        const QString decl = ExtractVariableDecl(line);
        const QString name = FirstWord(decl);
        if (!name.isEmpty())
            m_watched << Watched{name, TextKindOf(decl.mid(name.size()))};
    }
    struct Kind {
        bool (*test)(const QString &);
        QChar marker;
        const char *type;
        bool *used;
    };
    const Kind kinds[] = {{IsBreakPointLine, QLatin1Char('@'), "BP", &m_bp},
                          {IsTracePointLine, QLatin1Char('#'), "TP", &m_tp},
                          {IsProgressPointLine, QLatin1Char('$'), "PP", &m_pp}};
    for (const Kind &k : kinds) {
        if (!k.test(line))
            continue;
        *k.used = true;
        if (strip)
            return;
        const Point p{ExtractPointId(line, k.marker), QLatin1String(k.type)};
        m_points << p;
        if (p.type == QLatin1String("BP"))
            appendBlock(BreakBlock(p.id, m_object, m_watched));
        else if (p.type == QLatin1String("TP"))
            appendBlock(TraceBlock(p.id, m_object, m_watched));
        else
            appendBlock(ProgressBlock(p.id));
        return;
    }
    appendDoubled(line);
}

QStringList Instrumenter::watchedVariables() const
{
    QStringList names;
    for (const Watched &w : m_watched)
        names << w.name;
    return names;
}

QStringList Instrumenter::pointInserts() const
{
    QStringList r;
    for (const Point &p : m_points)
        r << PointInsert(m_object, p, m_kind);
    return r;
}

Instrumenter InstrumentText(const QStringList &editorLines, Mode mode, const QString &object, const QString &kind,
                            bool objectStored)
{
    Instrumenter ins(mode, object, kind, objectStored);
    for (const QString &l : editorLines)
        ins.InstrumentLine(l);
    return ins;
}

LineMap::LineMap(const QStringList &editorLines, const Instrumenter &saved)
    : m_saved(editorLines), m_origins(saved.origins())
{
}

namespace {

// The index of the last line holding more than blanks, or -1.
qsizetype lastTextLine(const QStringList &lines)
{
    qsizetype i = lines.size() - 1;
    while (i >= 0 && lines.at(i).trimmed().isEmpty())
        --i;
    return i;
}

} // namespace

int LineMap::EditorLine(int serverLine, const QStringList &editorNow) const
{
    if (m_origins.isEmpty())
        return serverLine - 1;
    if (serverLine < 1 || serverLine > m_origins.size())
        return serverLine - 1;
    const int line = qMax(1, m_origins.at(serverLine - 1));
    if (editorNow == m_saved)
        return line;
    // Reloaded: match the two texts from their ends; a line of the matching
    // tail moves by the difference of the header lengths.
    const qsizetype savedEnd = lastTextLine(m_saved);
    const qsizetype nowEnd = lastTextLine(editorNow);
    qsizetype k = 0;
    while (savedEnd - k >= 0 && nowEnd - k >= 0 && m_saved.at(savedEnd - k) == editorNow.at(nowEnd - k))
        ++k;
    const qsizetype index = line - 1;
    if (index > savedEnd - k && index <= savedEnd)
        return int(index + (nowEnd - savedEnd)) + 1;
    return line;
}

} // namespace instrument
