#include "engine/Statement.h"

#include "engine/Database.h"
#include "engine/FbStatus.h"
#include "engine/RowFetch.h"
#include "engine/SqlParams.h"
#include "engine/StatementLog.h"
#include "engine/Values.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace engine {

namespace {

constexpr qint64 kJulianDayOfEpoch = 2400001;

class Sqlda {
public:
    explicit Sqlda(int n) : m_mem(XSQLDA_LENGTH(n > 0 ? n : 1))
    {
        da()->version = SQLDA_VERSION1;
        da()->sqln = short(n > 0 ? n : 1);
    }
    XSQLDA *da() { return reinterpret_cast<XSQLDA *>(m_mem.data()); }

private:
    std::vector<char> m_mem;
};

// Buffers whose addresses stay put while the client library reads them.
class Buffers {
public:
    char *take(size_t n)
    {
        m_parts.emplace_back(new char[n ? n : 1]());
        return m_parts.back().get();
    }

private:
    std::vector<std::unique_ptr<char[]>> m_parts;
};

class Prepared {
public:
    Prepared(Database &db, unsigned int *tr, const QByteArray &text) : m_db(db), m_tr(tr)
    {
        ISC_STATUS_ARRAY st;
        isc_dsql_allocate_statement(st, db.handle(), &m_handle);
        fb::check(st);
        m_out = std::make_unique<Sqlda>(20);
        isc_dsql_prepare(st, m_tr, &m_handle, 0, text.constData(), 1, m_out->da());
        fb::check(st, m_db);
        if (m_out->da()->sqld > m_out->da()->sqln) {
            m_out = std::make_unique<Sqlda>(m_out->da()->sqld);
            isc_dsql_describe(st, &m_handle, 1, m_out->da());
            fb::check(st);
        }
        m_in = std::make_unique<Sqlda>(10);
        isc_dsql_describe_bind(st, &m_handle, 1, m_in->da());
        fb::check(st);
        if (m_in->da()->sqld > m_in->da()->sqln) {
            m_in = std::make_unique<Sqlda>(m_in->da()->sqld);
            isc_dsql_describe_bind(st, &m_handle, 1, m_in->da());
            fb::check(st);
        }
        m_type = int(info(isc_info_sql_stmt_type));
    }

    ~Prepared()
    {
        ISC_STATUS_ARRAY st;
        isc_dsql_free_statement(st, &m_handle, DSQL_drop);
    }

    int type() const { return m_type; }
    bool returnsRows() const
    {
        return m_type == isc_info_sql_stmt_select || m_type == isc_info_sql_stmt_select_for_upd
               || (m_type == isc_info_sql_stmt_exec_procedure && m_out->da()->sqld > 0);
    }
    XSQLDA *in() { return m_in->da(); }
    XSQLDA *out() { return m_out->da(); }

    // Sets up the output buffer and returns the columns of the result.
    RowSetPtr describeRows(bool latin1) { return m_fetch.describe(out(), latin1); }

    void storeRow(RowSet &rows) { m_fetch.store(rows, m_db, m_tr); }

    void execute()
    {
        ISC_STATUS_ARRAY st;
        XSQLDA *in = m_in->da()->sqld > 0 ? m_in->da() : nullptr;
        if (m_type == isc_info_sql_stmt_exec_procedure && m_out->da()->sqld > 0)
            isc_dsql_execute2(st, m_tr, &m_handle, 1, in, m_out->da());
        else
            isc_dsql_execute(st, m_tr, &m_handle, 1, in);
        fb::check(st, m_db);
    }

    void fetchAll(RowSet &rows)
    {
        ISC_STATUS_ARRAY st;
        ISC_STATUS rc;
        while ((rc = isc_dsql_fetch(st, &m_handle, 1, m_out->da())) == 0)
            storeRow(rows);
        if (rc != 100)
            fb::check(st);
        isc_dsql_free_statement(st, &m_handle, DSQL_close);
    }

    qint64 affectedRows()
    {
        const char items[] = {isc_info_sql_records, isc_info_end};
        char buf[64] = {};
        ISC_STATUS_ARRAY st;
        isc_dsql_sql_info(st, &m_handle, sizeof items, items, sizeof buf, buf);
        if (fb::failed(st) || buf[0] != isc_info_sql_records)
            return -1;
        qint64 total = 0;
        const char *p = buf + 3;
        while (p < buf + sizeof buf && *p != isc_info_end) {
            const char item = *p++;
            const short len = short(isc_vax_integer(p, 2));
            p += 2;
            const qint64 n = isc_vax_integer(p, len);
            p += len;
            if (item == isc_info_req_insert_count || item == isc_info_req_update_count
                || item == isc_info_req_delete_count)
                total += n;
        }
        return total;
    }

    ISC_QUAD createBlob(const QByteArray &bytes)
    {
        ISC_STATUS_ARRAY st;
        isc_blob_handle bh = 0;
        ISC_QUAD id{};
        isc_create_blob2(st, m_db.handle(), m_tr, &bh, &id, 0, nullptr);
        fb::check(st);
        for (qsizetype pos = 0; pos < bytes.size(); pos += 32768) {
            const qsizetype n = qMin<qsizetype>(32768, bytes.size() - pos);
            isc_put_segment(st, &bh, static_cast<unsigned short>(n), bytes.constData() + pos);
            if (fb::failed(st)) {
                Error e = fb::toError(st);
                isc_cancel_blob(st, &bh);
                throw e;
            }
        }
        isc_close_blob(st, &bh);
        fb::check(st);
        return id;
    }

private:
    qint64 info(char item)
    {
        const char items[] = {item, isc_info_end};
        char buf[32] = {};
        ISC_STATUS_ARRAY st;
        isc_dsql_sql_info(st, &m_handle, sizeof items, items, sizeof buf, buf);
        fb::check(st);
        if (buf[0] != item)
            return -1;
        const short len = short(isc_vax_integer(buf + 1, 2));
        return isc_vax_integer(buf + 3, len);
    }

    Database &m_db;
    unsigned int *m_tr;
    unsigned int m_handle = 0;
    std::unique_ptr<Sqlda> m_out;
    std::unique_ptr<Sqlda> m_in;
    int m_type = 0;
    RowFetch m_fetch;
};


QString textOf(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', 17);
    default:
        return v.toString();
    }
}

// Binds one input value. Where our value has the column's own kind it is
// sent in the column's binary form; anything else goes as text and the server
// converts it (and reports what it cannot convert).
void bind(XSQLVAR &v, const QVariant &val, Prepared &p, Database &db, Buffers &buf)
{
    v.sqlind = reinterpret_cast<short *>(buf.take(sizeof(short)));
    const short base = short(v.sqltype & ~1);
    if (val.isNull()) {
        *v.sqlind = -1;
        v.sqltype = short(base | 1);
        v.sqldata = buf.take(size_t(qMax<int>(v.sqllen, 8) + 2));
        return;
    }
    *v.sqlind = 0;
    auto put = [&](short type, const void *data, size_t n) {
        v.sqltype = short(type | 1);
        v.sqllen = short(n);
        v.sqldata = buf.take(n);
        std::memcpy(v.sqldata, data, n);
    };
    switch (base) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        if (isNumeric(val)) {
            qint64 x;
            if (v.sqlscale < 0)
                x = std::llround(val.toDouble() * std::pow(10.0, -v.sqlscale));
            else
                x = val.toLongLong();
            put(SQL_INT64, &x, sizeof x);
            return;
        }
        break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        if (isNumeric(val)) {
            const double d = val.toDouble();
            v.sqlscale = 0;
            put(SQL_DOUBLE, &d, sizeof d);
            return;
        }
        break;
    case SQL_TIMESTAMP:
        if (val.typeId() == QMetaType::QDateTime || val.typeId() == QMetaType::QDate) {
            const QDateTime dt = val.toDateTime();
            const qint32 days = qint32(dt.date().toJulianDay() - kJulianDayOfEpoch);
            const quint32 t = quint32(dt.time().msecsSinceStartOfDay()) * 10u;
            char raw[8];
            std::memcpy(raw, &days, 4);
            std::memcpy(raw + 4, &t, 4);
            put(SQL_TIMESTAMP, raw, 8);
            return;
        }
        break;
    case SQL_TYPE_DATE:
        if (val.typeId() == QMetaType::QDateTime || val.typeId() == QMetaType::QDate) {
            const qint32 days = qint32(val.toDate().toJulianDay() - kJulianDayOfEpoch);
            put(SQL_TYPE_DATE, &days, 4);
            return;
        }
        break;
    case SQL_TYPE_TIME:
        if (val.typeId() == QMetaType::QTime) {
            const quint32 t = quint32(val.toTime().msecsSinceStartOfDay()) * 10u;
            put(SQL_TYPE_TIME, &t, 4);
            return;
        }
        break;
    case SQL_BOOLEAN:
        if (val.typeId() == QMetaType::Bool) {
            const char b = val.toBool() ? 1 : 0;
            put(SQL_BOOLEAN, &b, 1);
            return;
        }
        break;
    case SQL_BLOB: {
        const QByteArray bytes = val.typeId() == QMetaType::QByteArray ? val.toByteArray() : db.encode(val.toString());
        const ISC_QUAD id = p.createBlob(bytes);
        put(SQL_BLOB, &id, sizeof id);
        return;
    }
    default:
        break;
    }
    const QByteArray bytes = val.typeId() == QMetaType::QByteArray ? val.toByteArray() : db.encode(textOf(val));
    if (bytes.size() > 32765)
        throw Error(QStringLiteral("Parameter value too long (%1 bytes)").arg(bytes.size()));
    put(SQL_TEXT, bytes.constData(), size_t(bytes.size()));
}

} // namespace

Statement::Statement(Database *db) : m_db(db), m_rows(std::make_shared<RowSet>()) {}

Statement::~Statement()
{
    close();
}

void Statement::setSql(const QString &text)
{
    // Split at LF only: a CR stays where it was, so a constant holding CR LF
    // reaches the server as typed and text() gives the same string back.
    m_sql = text.split(QLatin1Char('\n'));
}

QStringList Statement::paramNames() const
{
    if (!m_paramCheck)
        return {};
    QStringList out;
    for (const QString &n : parseSqlParams(text()).paramNames) {
        bool seen = false;
        for (const QString &o : out)
            seen = seen || o.compare(n, Qt::CaseInsensitive) == 0;
        if (!seen)
            out << n;
    }
    return out;
}

void Statement::setParam(const QString &name, const QVariant &value)
{
    for (auto &p : m_values) {
        if (p.first.compare(name, Qt::CaseInsensitive) == 0) {
            p.second = value;
            return;
        }
    }
    m_values.append({name, value});
}

QVariant Statement::param(const QString &name) const
{
    for (const auto &p : m_values)
        if (p.first.compare(name, Qt::CaseInsensitive) == 0)
            return p.second;
    return QVariant();
}

bool Statement::hasParamValue(const QString &name) const
{
    for (const auto &p : m_values)
        if (p.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void Statement::open()
{
    run(true);
}

void Statement::execute()
{
    run(false);
}

bool Statement::prepareIsQuery()
{
    if (!m_db || !m_db->isConnected())
        throw Error(Database::notConnectedText(m_db));
    const QString serverText = m_paramCheck ? parseSqlParams(text()).serverText : text();
    if (serverText.trimmed().isEmpty())
        throw Error(QStringLiteral("There is no SQL statement to run"));
    Database::Work work(*m_db);
    StatementLog::record(m_db->name(), serverText);
    Prepared p(*m_db, work.transaction(), m_db->encode(serverText));
    const bool cursor = p.type() == isc_info_sql_stmt_select || p.type() == isc_info_sql_stmt_select_for_upd;
    work.finish();
    return cursor;
}

void Statement::close()
{
    if (m_open)
        Database::statementClosed();
    m_open = false;
    m_rows = std::make_shared<RowSet>();
}

void Statement::run(bool mustReturnRows)
{
    close();
    if (!m_db || !m_db->isConnected())
        throw Error(Database::notConnectedText(m_db));
    QString serverText;
    QStringList names;
    if (m_paramCheck) {
        ParsedSql parsed = parseSqlParams(text());
        serverText = parsed.serverText;
        names = parsed.paramNames;
    } else {
        serverText = text();
    }
    for (const QString &n : names)
        if (!hasParamValue(n))
            throw Error(QStringLiteral("No value for parameter '%1'").arg(n));

    Database::Work work(*m_db);
    StatementLog::record(m_db->name(), serverText);
    Prepared p(*m_db, work.transaction(), m_db->encode(serverText));
    if (mustReturnRows && !p.returnsRows())
        throw Error(QStringLiteral("The statement returns no rows"));
    if (p.in()->sqld != names.size())
        throw Error(QStringLiteral("The statement takes %1 parameters, %2 given by name")
                        .arg(p.in()->sqld)
                        .arg(names.size()));
    Buffers buffers;
    for (int i = 0; i < p.in()->sqld; ++i)
        bind(p.in()->sqlvar[i], param(names[i]), p, *m_db, buffers);

    RowSetPtr rows;
    if (p.returnsRows())
        rows = p.describeRows(m_db->latin1());
    p.execute();
    if (p.type() == isc_info_sql_stmt_exec_procedure && rows)
        p.storeRow(*rows);
    else if (rows)
        p.fetchAll(*rows);
    const int type = p.type();
    m_affected = (type == isc_info_sql_stmt_insert || type == isc_info_sql_stmt_update
                  || type == isc_info_sql_stmt_delete)
                     ? p.affectedRows()
                     : -1;
    work.finish();
    if (rows) {
        m_rows = rows;
        m_open = true;
        Database::statementOpened();
    }
}

} // namespace engine
