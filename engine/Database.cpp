#include "engine/Database.h"

#include "engine/FbStatus.h"
#include "engine/LanguageDrivers.h"
#include "engine/Runtime.h"
#include "engine/SqlText.h"
#include "engine/Session.h"
#include "engine/StatementLog.h"

#include <QAtomicInt>
#include <QFile>
#include <QMutexLocker>

#include <cstring>
#include <utility>

namespace engine {

namespace {

QAtomicInt g_openStatements;

QString paramValue(const QStringList &lines, const QString &name, bool *found = nullptr)
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString &l : lines) {
        if (l.startsWith(prefix)) {
            if (found)
                *found = true;
            return l.mid(prefix.size());
        }
    }
    if (found)
        *found = false;
    return QString();
}

void addDpbString(QByteArray &dpb, char item, const QByteArray &value)
{
    const QByteArray v = value.left(255);
    dpb.append(item);
    dpb.append(char(v.size()));
    dpb.append(v);
}

QByteArray dpbFor(const ConnectionSettings &s)
{
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    if (!s.userName.isEmpty())
        addDpbString(dpb, isc_dpb_user_name, s.userName.toUtf8());
    if (!s.password.isEmpty())
        addDpbString(dpb, isc_dpb_password, s.password.toUtf8());
    addDpbString(dpb, isc_dpb_lc_ctype, languageDriver(s.languageDriver).charset.toLatin1());
    dpb.append(char(isc_dpb_sql_dialect));
    dpb.append(char(1));
    dpb.append(char(1));
    return dpb;
}

QByteArray pathBytes(const QString &serverName)
{
    return QFile::encodeName(serverName);
}

} // namespace

Database::Database(Session *session, QString name)
    : m_session(session ? session : &Session::defaultSession()), m_name(std::move(name))
{
    m_session->attach(this);
}

Database::~Database()
{
    try {
        close();
    } catch (const Error &) {
        // A connection that cannot be closed cleanly is dropped all the same.
    }
    m_session->detach(this);
}

ConnectionSettings Database::resolve() const
{
    QStringList lines;
    if (!m_alias.isEmpty())
        lines = m_session->aliasParams(m_alias);
    else if (m_driver.isEmpty())
        throw Error(QStringLiteral("Neither an alias nor a driver is given for database %1").arg(m_name),
                    ErrorCategory::Configuration);
    // Own lines override the alias's lines of the same name.
    for (const QString &l : m_params) {
        const int eq = l.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString prefix = l.left(eq + 1);
        bool replaced = false;
        for (QString &a : lines) {
            if (a.startsWith(prefix)) {
                a = l;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            lines << l;
    }
    ConnectionSettings s;
    s.serverName = paramValue(lines, QStringLiteral("SERVER NAME"));
    s.userName = paramValue(lines, QStringLiteral("USER NAME"));
    s.password = paramValue(lines, QStringLiteral("PASSWORD"));
    s.languageDriver = paramValue(lines, QStringLiteral("LANGDRIVER"));
    const QString mode = paramValue(lines, QStringLiteral("SQLPASSTHRU MODE")).trimmed().toUpper();
    s.passThrough = mode == QLatin1String("SHARED NOAUTOCOMMIT") ? PassThroughMode::NoAutoCommit
                                                                  : PassThroughMode::AutoCommit;
    s.readOnly = paramValue(lines, QStringLiteral("OPEN MODE")).trimmed().toUpper() == QLatin1String("READONLY");
    if (s.serverName.isEmpty())
        throw Error(QStringLiteral("No SERVER NAME is set for %1")
                        .arg(m_alias.isEmpty() ? m_name : QStringLiteral("alias ") + m_alias),
                    ErrorCategory::Configuration);
    return s;
}

void Database::open()
{
    if (isConnected())
        return;
    Runtime::prepare();
    const ConnectionSettings s = resolve();
    const LanguageDriver &ld = languageDriver(s.languageDriver);
    const QByteArray dpb = dpbFor(s);
    const QByteArray path = pathBytes(s.serverName);
    ISC_STATUS_ARRAY st;
    unsigned int db = 0;
    isc_attach_database(st, 0, path.constData(), &db, short(dpb.size()), dpb.constData());
    fb::check(st);
    QMutexLocker lock(&m_cancelMutex);
    m_db = db;
    m_settings = s;
    m_latin1 = ld.latin1;
}

void Database::close()
{
    if (!isConnected())
        return;
    ISC_STATUS_ARRAY st;
    // Pending NOAUTOCOMMIT work is kept, explicit work is not: an open
    // explicit transaction at close was never confirmed by the program.
    if (m_implicitTr) {
        isc_commit_transaction(st, &m_implicitTr);
        if (fb::failed(st))
            isc_rollback_transaction(st, &m_implicitTr);
        m_implicitTr = 0;
    }
    if (m_tr) {
        isc_rollback_transaction(st, &m_tr);
        m_tr = 0;
    }
    m_currentUser = QString();
    m_dialect = 0;
    QMutexLocker lock(&m_cancelMutex);
    isc_detach_database(st, &m_db);
    m_db = 0; // a failed detach leaves nothing usable either
}

QString Database::notConnectedText() const
{
    if (m_alias.isEmpty())
        return QStringLiteral("Not connected to a database");
    return QStringLiteral("Not connected to database %1").arg(m_alias);
}

QString Database::notConnectedText(const Database *db)
{
    return db ? db->notConnectedText() : QStringLiteral("Not connected to a database");
}

void Database::startHandle(unsigned int *tr)
{
    if (!isConnected())
        throw Error(notConnectedText());
    QByteArray tpb;
    tpb += char(isc_tpb_version3);
    tpb += char(m_settings.readOnly ? isc_tpb_read : isc_tpb_write);
    tpb += char(isc_tpb_read_committed);
    tpb += char(isc_tpb_rec_version);
    if (m_lockTimeout > 0) {
        tpb += char(isc_tpb_wait);
        tpb += char(isc_tpb_lock_timeout);
        tpb += char(4);
        for (int i = 0; i < 4; ++i) // little-endian, as the server reads it
            tpb += char((m_lockTimeout >> (8 * i)) & 0xFF);
    } else {
        tpb += char(isc_tpb_nowait);
    }
    ISC_STATUS_ARRAY st;
    isc_start_transaction(st, tr, 1, &m_db, short(tpb.size()), tpb.constData());
    fb::check(st);
}

void Database::commitHandle(unsigned int *tr)
{
    ISC_STATUS_ARRAY st;
    isc_commit_transaction(st, tr);
    if (fb::failed(st)) {
        Error e = fb::toError(st);
        ISC_STATUS_ARRAY st2;
        isc_rollback_transaction(st2, tr);
        *tr = 0;
        throw e;
    }
    *tr = 0;
    if (fb::hasWarnings(st))
        noteWarnings(fb::warningsOf(st));
}

void Database::rollbackHandle(unsigned int *tr)
{
    ISC_STATUS_ARRAY st;
    isc_rollback_transaction(st, tr);
    *tr = 0; // a failed rollback still ends our use of the handle
    fb::check(st);
}

void Database::startTransaction()
{
    if (m_tr)
        throw Error(QStringLiteral("A transaction is already active on %1").arg(m_name));
    if (m_implicitTr)
        commitHandle(&m_implicitTr);
    startHandle(&m_tr);
}

void Database::commit()
{
    if (m_tr)
        commitHandle(&m_tr);
    else if (m_implicitTr)
        commitHandle(&m_implicitTr);
}

void Database::commitOrKeep()
{
    if (!m_tr)
        return;
    ISC_STATUS_ARRAY st;
    isc_commit_transaction(st, &m_tr); // clears the handle only on success
    fb::check(st);
    m_tr = 0;
}

void Database::rollback()
{
    if (m_tr)
        rollbackHandle(&m_tr);
    else if (m_implicitTr)
        rollbackHandle(&m_implicitTr);
}

void Database::executeImmediate(const QString &sql, int dialect)
{
    Work work(*this);
    StatementLog::record(m_name, sql);
    const QByteArray text = encode(sql);
    ISC_STATUS_ARRAY st;
    isc_dsql_execute_immediate(st, &m_db, work.transaction(), 0, text.constData(),
                               static_cast<unsigned short>(dialect), nullptr);
    fb::check(st, *this);
    work.finish();
}

void Database::noteWarnings(const QStringList &texts)
{
    // Nobody may ever take them (a dialect-1 client reading a dialect-3
    // database is warned at every prepare): only the newest are kept.
    constexpr qsizetype kKept = 100;
    QMutexLocker lock(&m_warningsMutex);
    m_warnings << texts;
    if (m_warnings.size() > kKept)
        m_warnings.erase(m_warnings.begin(), m_warnings.end() - kKept);
}

QStringList Database::takeWarnings()
{
    QMutexLocker lock(&m_warningsMutex);
    return std::exchange(m_warnings, QStringList());
}

QString Database::currentUser()
{
    if (!isConnected() || !m_currentUser.isEmpty())
        return m_currentUser;
    const QString sql = QStringLiteral("select current_user from rdb$database");
    Work work(*this);
    StatementLog::record(m_name, sql);
    const QByteArray text = encode(sql);
    char value[2 + 256] = {};
    short indicator = 0;
    XSQLDA out = {};
    out.version = SQLDA_VERSION1;
    out.sqln = out.sqld = 1;
    out.sqlvar[0].sqltype = SQL_VARYING + 1;
    out.sqlvar[0].sqllen = 256;
    out.sqlvar[0].sqldata = value;
    out.sqlvar[0].sqlind = &indicator;
    ISC_STATUS_ARRAY st;
    isc_dsql_exec_immed2(st, &m_db, work.transaction(), 0, text.constData(), 1, nullptr, &out);
    fb::check(st, *this);
    work.finish();
    short length = 0;
    std::memcpy(&length, value, sizeof length);
    const QByteArray bytes(value + 2, qBound<int>(0, length, 256));
    m_currentUser = (m_latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes)).trimmed();
    return m_currentUser;
}

void Database::cancel()
{
    QMutexLocker lock(&m_cancelMutex);
    if (!m_db)
        return;
    ISC_STATUS_ARRAY st;
    fb_cancel_operation(st, &m_db, fb_cancel_raise);
}

bool Database::alive()
{
    if (!isConnected())
        return false;
    const char items[] = {isc_info_attachment_id, isc_info_end};
    char buf[16] = {};
    ISC_STATUS_ARRAY st;
    isc_database_info(st, &m_db, sizeof items, items, sizeof buf, buf);
    if (!fb::failed(st))
        return true;
    close();
    return false;
}

int Database::databaseDialect()
{
    if (!isConnected() || m_dialect != 0)
        return m_dialect;
    const char items[] = {isc_info_db_sql_dialect, isc_info_end};
    char buf[16] = {};
    ISC_STATUS_ARRAY st;
    isc_database_info(st, &m_db, sizeof items, items, sizeof buf, buf);
    fb::check(st);
    m_dialect = 1;
    if (buf[0] == isc_info_db_sql_dialect) {
        const short len = static_cast<short>(isc_vax_integer(buf + 1, 2));
        m_dialect = static_cast<int>(isc_vax_integer(buf + 3, len));
    }
    return m_dialect;
}

QString Database::serverVersion()
{
    if (!isConnected())
        return QString();
    const char items[] = {isc_info_firebird_version, isc_info_end};
    char buf[512] = {};
    ISC_STATUS_ARRAY st;
    isc_database_info(st, &m_db, sizeof items, items, sizeof buf, buf);
    fb::check(st);
    // item, 2-byte length, count, then counted strings: the first is the server's.
    if (buf[0] != isc_info_firebird_version)
        return QString();
    const int len = static_cast<unsigned char>(buf[4]);
    return QString::fromLatin1(buf + 5, len);
}

QByteArray Database::encode(const QString &text) const
{
    return m_latin1 ? text.toLatin1() : text.toUtf8();
}

void Database::createDatabase(const QString &serverName, const QString &user, const QString &password,
                              int pageSize, int dialect)
{
    Runtime::prepare();
    auto quoted = [](const QString &s) { return QLatin1Char('\'') + singleQuotedConstant(s) + QLatin1Char('\''); };
    QString sql = QStringLiteral("CREATE DATABASE %1").arg(quoted(serverName));
    if (!user.isEmpty())
        sql += QStringLiteral(" USER %1").arg(quoted(user));
    if (!password.isEmpty())
        sql += QStringLiteral(" PASSWORD %1").arg(quoted(password));
    sql += QStringLiteral(" PAGE_SIZE %1 DEFAULT CHARACTER SET NONE").arg(pageSize);
    const QByteArray text = sql.toUtf8();
    ISC_STATUS_ARRAY st;
    unsigned int db = 0;
    unsigned int tr = 0;
    // The dialect of this statement is the dialect of the database it makes.
    isc_dsql_execute_immediate(st, &db, &tr, 0, text.constData(), static_cast<unsigned short>(dialect), nullptr);
    fb::check(st);
    isc_detach_database(st, &db);
    fb::check(st);
}

void Database::dropDatabase(const QString &serverName, const QString &user, const QString &password)
{
    Runtime::prepare();
    ConnectionSettings s;
    s.userName = user;
    s.password = password;
    const QByteArray dpb = dpbFor(s);
    const QByteArray path = pathBytes(serverName);
    ISC_STATUS_ARRAY st;
    unsigned int db = 0;
    isc_attach_database(st, 0, path.constData(), &db, short(dpb.size()), dpb.constData());
    fb::check(st);
    isc_drop_database(st, &db);
    fb::check(st);
}

int Database::openStatementCount()
{
    return g_openStatements.loadRelaxed();
}

void Database::statementOpened()
{
    g_openStatements.ref();
}

void Database::statementClosed()
{
    g_openStatements.deref();
}

Database::Work::Work(Database &db) : m_db(db)
{
    if (db.m_tr) {
        m_tr = &db.m_tr;
    } else if (db.m_settings.passThrough == PassThroughMode::NoAutoCommit) {
        if (!db.m_implicitTr)
            db.startHandle(&db.m_implicitTr);
        m_tr = &db.m_implicitTr;
    } else {
        db.startHandle(&m_own);
        m_tr = &m_own;
    }
}

Database::Work::~Work()
{
    if (m_own) {
        ISC_STATUS_ARRAY st;
        isc_rollback_transaction(st, &m_own);
    }
}

void Database::Work::finish()
{
    if (m_own)
        m_db.commitHandle(&m_own);
}

} // namespace engine
