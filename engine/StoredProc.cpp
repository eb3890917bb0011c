#include "engine/StoredProc.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/FbStatus.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"


namespace engine {

namespace {

// Both tables have RDB$FIELD_NAME in Firebird 3, so every column is
// qualified. Packaged procedures share names with standalone ones and are
// not what a plain name calls.
const char kParamsSql[] =
    "select PP.RDB$PARAMETER_NAME, PP.RDB$PARAMETER_TYPE, PP.RDB$PARAMETER_NUMBER,\n"
    "  F.RDB$FIELD_TYPE, F.RDB$FIELD_SUB_TYPE, F.RDB$FIELD_LENGTH, F.RDB$FIELD_SCALE\n"
    "from RDB$PROCEDURE_PARAMETERS PP\n"
    "join RDB$FIELDS F on F.RDB$FIELD_NAME = PP.RDB$FIELD_SOURCE\n"
    "where PP.RDB$PROCEDURE_NAME = :PROC_NAME and PP.RDB$PACKAGE_NAME is null\n"
    "order by PP.RDB$PARAMETER_TYPE, PP.RDB$PARAMETER_NUMBER";

// Has the server compile a statement without running it: the server's own
// message reports an unknown procedure or a wrong parameter count.
void checkOnServer(Database &db, const QString &sql)
{
    Database::Work work(db);
    StatementLog::record(db.name(), sql);
    const QByteArray text = db.encode(sql);
    ISC_STATUS_ARRAY st;
    isc_stmt_handle stmt = 0;
    isc_dsql_allocate_statement(st, db.handle(), &stmt);
    fb::check(st);
    isc_dsql_prepare(st, work.transaction(), &stmt, 0, text.constData(), 1, nullptr);
    if (fb::failed(st)) {
        const Error e = fb::toError(st);
        isc_dsql_free_statement(st, &stmt, DSQL_drop);
        throw e;
    }
    isc_dsql_free_statement(st, &stmt, DSQL_drop);
    work.finish();
}

} // namespace

StoredProc::StoredProc(Database *db) : m_db(db), m_rows(std::make_shared<RowSet>()) {}

StoredProc::~StoredProc()
{
    close();
}

void StoredProc::setDatabase(Database *db)
{
    if (db == m_db)
        return;
    unprepare();
    m_db = db;
}

void StoredProc::setStoredProcName(const QString &name)
{
    if (name == m_name)
        return;
    unprepare();
    m_name = name;
}

void StoredProc::unprepare()
{
    close();
    m_prepared = false;
    m_params.clear();
    m_inputs.clear();
    m_outputs.reset();
}

void StoredProc::prepare()
{
    if (!m_db || !m_db->isConnected())
        throw Error(Database::notConnectedText(m_db));
    const QString name = m_name.trimmed();
    if (name.isEmpty())
        throw Error(QStringLiteral("No stored procedure name is set"));
    // The name stands bare in the statement (folded to upper case, as the
    // program's own names are written): anything else would be text spliced
    // in. Callers with a catalogue name check it first.
    if (!isIdentifier(name))
        throw Error(QStringLiteral("Invalid stored procedure name: %1").arg(m_name));

    Statement q(m_db);
    q.setSql(QString::fromLatin1(kParamsSql));
    q.setParam(QStringLiteral("PROC_NAME"), name.toUpper());
    q.open();
    QVector<ProcParam> params;
    const RowSet &r = q.rows();
    for (qsizetype i = 0; i < r.rowCount(); ++i) {
        ProcParam p;
        p.name = r.value(i, 0).toString().trimmed();
        p.direction = r.value(i, 1).toInt() == 0 ? ParamDirection::Input : ParamDirection::Output;
        p.number = r.value(i, 2).toInt();
        p.fieldType = short(r.value(i, 3).toInt());
        p.subType = short(r.value(i, 4).toInt());
        p.length = short(r.value(i, 5).toInt());
        p.scale = short(r.value(i, 6).toInt());
        params << p;
    }
    q.close();

    close();
    m_prepared = false;
    m_outputs.reset();
    m_name = name;
    m_params = params;
    // An unknown name has no catalogue rows; the server says so in its words.
    try {
        checkOnServer(*m_db, statementText(false, QStringLiteral("?")));
    } catch (const Error &) {
        m_params.clear();
        throw;
    }
    // Values of inputs the procedure still has are kept.
    for (qsizetype i = m_inputs.size() - 1; i >= 0; --i) {
        const int at = paramIndex(m_inputs[i].first);
        if (at < 0 || m_params[at].direction != ParamDirection::Input)
            m_inputs.remove(i);
    }
    m_prepared = true;
}

QVector<ProcParam> StoredProc::inputParams() const
{
    QVector<ProcParam> out;
    for (const ProcParam &p : m_params)
        if (p.direction == ParamDirection::Input)
            out << p;
    return out;
}

QVector<ProcParam> StoredProc::outputParams() const
{
    QVector<ProcParam> out;
    for (const ProcParam &p : m_params)
        if (p.direction == ParamDirection::Output)
            out << p;
    return out;
}

int StoredProc::paramIndex(const QString &name) const
{
    for (int i = 0; i < m_params.size(); ++i)
        if (m_params[i].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const ProcParam &StoredProc::paramNamed(const QString &name) const
{
    const int i = paramIndex(name);
    if (i < 0)
        throw Error(QStringLiteral("Stored procedure %1 has no parameter %2").arg(m_name, name));
    return m_params[i];
}

void StoredProc::setParam(const QString &name, const QVariant &value)
{
    if (!m_prepared)
        prepare();
    const ProcParam &p = paramNamed(name);
    if (p.direction != ParamDirection::Input)
        throw Error(QStringLiteral("Parameter %1 of %2 is an output parameter").arg(p.name, m_name));
    for (auto &v : m_inputs) {
        if (v.first == p.name) {
            v.second = value;
            return;
        }
    }
    m_inputs.append({p.name, value});
}

QVariant StoredProc::param(const QString &name) const
{
    const ProcParam &p = paramNamed(name);
    if (p.direction == ParamDirection::Input) {
        for (const auto &v : m_inputs)
            if (v.first == p.name)
                return v.second;
        return QVariant();
    }
    if (!m_outputs || m_outputs->rowCount() == 0)
        return QVariant();
    const int col = m_outputs->indexOf(p.name);
    return col < 0 ? QVariant() : m_outputs->value(0, col);
}

QString StoredProc::paramText(const QString &name) const
{
    const ProcParam &p = paramNamed(name);
    if (p.direction == ParamDirection::Input) {
        const QVariant v = param(name);
        return v.isNull() ? QString() : v.toString();
    }
    if (!m_outputs || m_outputs->rowCount() == 0)
        return QString();
    const int col = m_outputs->indexOf(p.name);
    return col < 0 ? QString() : m_outputs->text(0, col);
}

void StoredProc::clearParamValues()
{
    m_inputs.clear();
    m_outputs.reset();
}

QString StoredProc::statementText(bool select, const QString &marker) const
{
    QStringList args;
    for (const ProcParam &p : m_params)
        if (p.direction == ParamDirection::Input)
            args << (marker.isEmpty() ? QLatin1Char(':') + p.name : marker);
    const QString list = args.join(QStringLiteral(", "));
    if (select)
        return QStringLiteral("SELECT * FROM ") + m_name
               + (list.isEmpty() ? QString() : QLatin1Char('(') + list + QLatin1Char(')'));
    return QStringLiteral("EXECUTE PROCEDURE ") + m_name + (list.isEmpty() ? QString() : QLatin1Char(' ') + list);
}

void StoredProc::execProc()
{
    run(false);
}

void StoredProc::open()
{
    run(true);
}

void StoredProc::close()
{
    if (m_open)
        Database::statementClosed();
    m_open = false;
    m_rows = std::make_shared<RowSet>();
}

void StoredProc::run(bool select)
{
    close();
    if (!m_prepared)
        prepare();
    Statement s(m_db);
    s.setSql(select ? selectText() : execText());
    for (const ProcParam &p : m_params) {
        if (p.direction != ParamDirection::Input)
            continue;
        bool given = false;
        for (const auto &v : m_inputs) {
            if (v.first == p.name) {
                s.setParam(p.name, v.second);
                given = true;
            }
        }
        if (!given)
            throw Error(QStringLiteral("No value for parameter '%1' of %2").arg(p.name, m_name));
    }
    if (select) {
        s.open();
        m_rows = s.rowSet();
        m_open = true;
        Database::statementOpened();
    } else {
        m_outputs.reset();
        s.execute();
        m_outputs = s.rowSet();
    }
}

} // namespace engine
