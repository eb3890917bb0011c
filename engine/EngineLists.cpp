#include "engine/EngineLists.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/FbStatus.h"
#include "engine/LanguageDrivers.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"

#include <QFile>
#include <QRegularExpression>

#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace engine {

namespace {

// RDB$SYSTEM_FLAG is 1 for the engine's own relations (RDB$, MON$, SEC$);
// user objects have 0 (NULL in databases made by old tools).
const char kTablesSql[] =
    "select R.RDB$RELATION_NAME, iif(R.RDB$VIEW_BLR is null, 0, 1)\n"
    "from RDB$RELATIONS R\n"
    "where R.RDB$SYSTEM_FLAG = 0 or R.RDB$SYSTEM_FLAG is null\n"
    "order by R.RDB$RELATION_NAME";

// Both tables have RDB$FIELD_NAME and RDB$NULL_FLAG: every column qualified.
const char kFieldsSql[] =
    "select RF.RDB$FIELD_NAME, RF.RDB$FIELD_POSITION, RF.RDB$NULL_FLAG, F.RDB$NULL_FLAG,\n"
    "  F.RDB$FIELD_TYPE, F.RDB$FIELD_SUB_TYPE, F.RDB$FIELD_LENGTH, F.RDB$FIELD_SCALE\n"
    "from RDB$RELATION_FIELDS RF\n"
    "join RDB$FIELDS F on F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE\n"
    "where RF.RDB$RELATION_NAME = ?\n"
    "order by RF.RDB$FIELD_POSITION, RF.RDB$FIELD_NAME";

const char kProceduresSql[] =
    "select P.RDB$PROCEDURE_NAME\n"
    "from RDB$PROCEDURES P\n"
    "where P.RDB$PACKAGE_NAME is null and (P.RDB$SYSTEM_FLAG = 0 or P.RDB$SYSTEM_FLAG is null)\n"
    "order by P.RDB$PROCEDURE_NAME";

constexpr int kMaxNameChars = 31;

} // namespace

// One catalogue statement compiled once and run again with each call. The
// result columns are text and small integers only, decoded straight from the
// fetch buffer.
class EngineLists::Query {
public:
    explicit Query(const char *sql) : m_sql(QString::fromLatin1(sql)) {}
    ~Query() { drop(); }
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    // Runs the statement (with one text argument when it takes one) and calls
    // onRow for every row.
    template <class OnRow>
    void run(Database &db, const QByteArray *argument, OnRow onRow)
    {
        if (!db.isConnected())
            throw Error(db.notConnectedText());
        Database::Work work(db);
        compile(db, work.transaction());
        bindArgument(argument);
        ISC_STATUS_ARRAY st;
        isc_dsql_execute(st, work.transaction(), &m_stmt, 1, m_argument ? in() : nullptr);
        fb::check(st);
        // The cursor is closed on every way out, before its transaction
        // ends, or the next run finds it open.
        struct CursorGuard {
            isc_stmt_handle *stmt;
            void close()
            {
                if (!stmt)
                    return;
                ISC_STATUS_ARRAY s;
                isc_dsql_free_statement(s, stmt, DSQL_close);
                stmt = nullptr;
            }
            ~CursorGuard() { close(); }
        } guard{&m_stmt};
        m_latin1 = db.latin1();
        ISC_STATUS rc;
        while ((rc = isc_dsql_fetch(st, &m_stmt, 1, out())) == 0)
            onRow(*this);
        if (rc != 100)
            fb::check(st);
        guard.close();
        work.finish();
    }

    bool isNull(int col) const { return *out()->sqlvar[col].sqlind < 0; }

    QString text(int col) const
    {
        if (isNull(col))
            return QString();
        const XSQLVAR &v = out()->sqlvar[col];
        const char *p = v.sqldata;
        qsizetype n = v.sqllen;
        if ((v.sqltype & ~1) == SQL_VARYING) {
            quint16 len;
            std::memcpy(&len, p, sizeof len);
            n = len;
            p += 2;
        }
        while (n > 0 && p[n - 1] == ' ')
            --n;
        return m_latin1 ? QString::fromLatin1(p, n) : QString::fromUtf8(p, n);
    }

    // NULL reads 0.
    int integer(int col) const
    {
        if (isNull(col))
            return 0;
        const XSQLVAR &v = out()->sqlvar[col];
        switch (v.sqltype & ~1) {
        case SQL_SHORT: {
            qint16 x;
            std::memcpy(&x, v.sqldata, sizeof x);
            return x;
        }
        case SQL_LONG: {
            qint32 x;
            std::memcpy(&x, v.sqldata, sizeof x);
            return x;
        }
        case SQL_INT64: {
            qint64 x;
            std::memcpy(&x, v.sqldata, sizeof x);
            return int(x);
        }
        default:
            return 0;
        }
    }

private:
    XSQLDA *out() const { return reinterpret_cast<XSQLDA *>(const_cast<char *>(m_out.data())); }
    XSQLDA *in() { return reinterpret_cast<XSQLDA *>(m_in.data()); }

    static void describeInto(std::vector<char> &mem, int n)
    {
        mem.assign(XSQLDA_LENGTH(n), 0);
        XSQLDA *da = reinterpret_cast<XSQLDA *>(mem.data());
        da->version = SQLDA_VERSION1;
        da->sqln = short(n);
    }

    // Compiles once per connection: a closed or reopened database has a new
    // handle, and a statement of the old one is of no use.
    void compile(Database &db, unsigned int *tr)
    {
        if (m_stmt && m_attachment == *db.handle())
            return;
        drop();
        // The text reaches the server here, once; the runs send only values.
        StatementLog::record(db.name(), m_sql);
        const QByteArray text = m_sql.toLatin1();
        ISC_STATUS_ARRAY st;
        isc_dsql_allocate_statement(st, db.handle(), &m_stmt);
        fb::check(st);
        try {
            describeInto(m_out, 10);
            isc_dsql_prepare(st, tr, &m_stmt, 0, text.constData(), 1, out());
            fb::check(st);
            if (out()->sqld > out()->sqln) {
                describeInto(m_out, out()->sqld);
                isc_dsql_describe(st, &m_stmt, 1, out());
                fb::check(st);
            }
            describeInto(m_in, 1);
            isc_dsql_describe_bind(st, &m_stmt, 1, in());
            fb::check(st);
            m_argument = in()->sqld > 0;
        } catch (...) {
            drop();
            throw;
        }
        // One buffer for the row; every value asks for its null indicator.
        XSQLDA *da = out();
        std::vector<int> offsets;
        int size = 0;
        for (int i = 0; i < da->sqld; ++i) {
            const XSQLVAR &v = da->sqlvar[i];
            size = (size + 7) / 8 * 8;
            offsets.push_back(size);
            size += ((v.sqltype & ~1) == SQL_VARYING ? v.sqllen + 2 : v.sqllen) + int(sizeof(short));
        }
        m_row.assign(size_t(size), 0);
        for (int i = 0; i < da->sqld; ++i) {
            XSQLVAR &v = da->sqlvar[i];
            v.sqltype |= 1;
            v.sqldata = m_row.data() + offsets[size_t(i)];
            const int valueBytes = (v.sqltype & ~1) == SQL_VARYING ? v.sqllen + 2 : v.sqllen;
            v.sqlind = reinterpret_cast<short *>(m_row.data() + offsets[size_t(i)] + valueBytes);
        }
        m_attachment = *db.handle();
    }

    void bindArgument(const QByteArray *argument)
    {
        if (!m_argument)
            return;
        m_argBytes = argument ? *argument : QByteArray();
        XSQLVAR &v = in()->sqlvar[0];
        v.sqltype = SQL_TEXT | 1;
        v.sqlscale = 0;
        v.sqllen = short(m_argBytes.size());
        v.sqldata = m_argBytes.data();
        m_argNull = argument ? 0 : -1;
        v.sqlind = &m_argNull;
    }

    void drop()
    {
        if (!m_stmt)
            return;
        // Fails harmlessly when the connection has already gone.
        ISC_STATUS_ARRAY st;
        isc_dsql_free_statement(st, &m_stmt, DSQL_drop);
        m_stmt = 0;
    }

    QString m_sql;
    isc_stmt_handle m_stmt = 0;
    unsigned int m_attachment = 0;
    std::vector<char> m_out;
    std::vector<char> m_in;
    std::vector<char> m_row;
    bool m_argument = false;
    QByteArray m_argBytes;
    short m_argNull = 0;
    bool m_latin1 = false;
};

EngineLists::EngineLists(Database &db)
    : m_db(db), m_tables(std::make_unique<Query>(kTablesSql)), m_fields(std::make_unique<Query>(kFieldsSql)),
      m_procedures(std::make_unique<Query>(kProceduresSql))
{
}

EngineLists::~EngineLists() = default;

QVector<TableInfo> EngineLists::tables()
{
    QVector<TableInfo> out;
    m_tables->run(m_db, nullptr, [&out](const Query &q) { out.append({q.text(0), q.integer(1) != 0}); });
    return out;
}

QVector<FieldInfo> EngineLists::fields(const QString &tableOrView)
{
    QVector<FieldInfo> out;
    const QString name = tableOrView.trimmed();
    if (!name.isEmpty() && name.size() <= kMaxNameChars) {
        const QByteArray arg = m_db.encode(name);
        m_fields->run(m_db, &arg, [&out](const Query &q) {
            FieldInfo f;
            f.name = q.text(0);
            f.position = q.integer(1);
            f.nullable = q.integer(2) == 0 && q.integer(3) == 0;
            f.fieldType = short(q.integer(4));
            f.subType = short(q.integer(5));
            f.length = short(q.integer(6));
            f.scale = short(q.integer(7));
            out.append(f);
        });
    }
    // Every table and view has at least one column: no rows means no such
    // relation, which a caller must not take for an empty one.
    if (out.isEmpty())
        throw Error(QStringLiteral("Table or view %1 does not exist").arg(name));
    return out;
}

QStringList EngineLists::procedures()
{
    QStringList out;
    m_procedures->run(m_db, nullptr, [&out](const Query &q) { out << q.text(0); });
    return out;
}

namespace {

// The driver an empty LANGDRIVER value stands for (the connection's
// character set is then UTF8).
QString driverNameFor(const QString &configured)
{
    if (!configured.trimmed().isEmpty())
        return languageDriver(configured).name;
    const QString charset = languageDriver(QString()).charset;
    for (const LanguageDriver &d : languageDrivers())
        if (d.charset == charset)
            return d.name;
    return QString();
}

// Whom the embedded engine takes a connection without a user name for:
// ISC_USER, else the login name (root is SYSDBA), upper-cased as user names
// are.
QString loginName()
{
    const QString isc = qEnvironmentVariable("ISC_USER").trimmed();
    if (!isc.isEmpty())
        return isc.toUpper();
    if (geteuid() == 0)
        return QStringLiteral("SYSDBA");
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name).toUpper();
    return qEnvironmentVariable("USER").toUpper();
}

// A figure of /proc/self/status in kB ("VmRSS:     12345 kB"), 0 when absent.
int procStatusKb(const QByteArray &status, const char *key)
{
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith(key))
            continue;
        const QByteArray rest = line.mid(int(std::strlen(key))).trimmed();
        return rest.left(rest.indexOf(' ')).toInt();
    }
    return 0;
}

} // namespace

SystemConfiguration systemConfiguration(Database *db)
{
    SystemConfiguration c;
    if (!db || !db->isConnected()) {
        c.networkType = QStringLiteral("Embedded");
        c.userName = loginName();
        QString configured;
        for (const QString &l : Session::driverDefaultParams(QStringLiteral("INTRBASE")))
            if (l.startsWith(QLatin1String("LANGDRIVER=")))
                configured = l.mid(11);
        c.languageDriver = driverNameFor(configured);
        return c;
    }
    // The server's own view of this connection: no protocol for embedded.
    Statement s(db);
    s.setParamCheck(false);
    s.setSql(QStringLiteral("select A.MON$REMOTE_PROTOCOL, A.MON$REMOTE_ADDRESS, A.MON$REMOTE_VERSION, A.MON$USER\n"
                            "from MON$ATTACHMENTS A where A.MON$ATTACHMENT_ID = CURRENT_CONNECTION"));
    s.open();
    const RowSet &r = s.rows();
    if (r.rowCount() > 0) {
        const QString protocol = r.text(0, 0).trimmed();
        const QString address = r.text(0, 1).trimmed();
        const QString version = r.text(0, 2).trimmed();
        c.userName = r.text(0, 3).trimmed();
        c.localShare = protocol.isEmpty();
        if (protocol.isEmpty()) {
            c.networkType = QStringLiteral("Embedded");
        } else {
            const bool loopback = address.startsWith(QLatin1String("127.")) || address == QLatin1String("::1");
            c.networkType = QStringLiteral("TCP/IP") + (loopback ? QStringLiteral(" (loopback)") : QString());
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("(\\d+)")).match(version);
            c.netProtocol = m.hasMatch() ? m.captured(1).toInt() : 0;
        }
    }
    s.close();
    c.languageDriver = driverNameFor(db->settings().languageDriver);
    return c;
}

SystemStatus systemStatus(const QList<Session *> &sessions)
{
    SystemStatus s;
    const QList<Session *> list = sessions.isEmpty() ? QList<Session *>{&Session::defaultSession()} : sessions;
    s.sessions = int(list.size());
    for (Session *session : list) {
        for (Database *db : session->databases()) {
            if (!db->isConnected())
                continue;
            ++s.databases;
            if (s.serverVersion.isEmpty())
                s.serverVersion = db->serverVersion();
        }
    }
    s.cursors = Database::openStatementCount();
    char version[256] = {};
    isc_get_client_version(version);
    s.clientVersion = QString::fromLatin1(version);
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        // Not seekable: read it in one go.
        const QByteArray text = status.readAll();
        s.bufferSpaceKb = procStatusKb(text, "VmRSS:");
        s.heapSpaceKb = procStatusKb(text, "VmData:");
    }
    return s;
}

} // namespace engine
