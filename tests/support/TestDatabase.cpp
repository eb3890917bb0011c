#include "support/TestDatabase.h"

#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/Session.h"
#include "engine/Statement.h"

#include <QDir>
#include <QFile>
#include <QUuid>

namespace testsupport {

namespace {
QTemporaryDir &scratch()
{
    static QTemporaryDir d;
    return d;
}
} // namespace

void initRuntime()
{
    QString root = qEnvironmentVariable("DUNMOOR_FB_ROOT");
    if (root.isEmpty())
        root = scratch().path() + QStringLiteral("/fbrt");
    engine::Runtime::prepare(root);
    engine::Session::useConfigurationFile(scratch().path() + QStringLiteral("/aliases.conf"));
}

QString debugFolder()
{
    const QString dir = engine::Runtime::paths().external + "/" + QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(dir);
    return dir + "/";
}

QString serverPrefix()
{
    return QStringLiteral("127.0.0.1/%1:").arg(engine::Runtime::defaultPort());
}

QString serverPassword()
{
    return QStringLiteral("masterkey");
}

TestDatabase::TestDatabase(int dialect)
{
    m_path = m_dir.path() + QStringLiteral("/test.fdb");
    engine::Database::createDatabase(m_path, QStringLiteral("SYSDBA"), QString(), 8192, dialect);
}

TestDatabase::~TestDatabase()
{
    try {
        engine::Database::dropDatabase(m_path);
    } catch (const engine::Error &) {
        // Still attached somewhere (a test that failed half-way): the folder
        // goes anyway, and the next test has its own.
    }
}

std::unique_ptr<engine::Database> TestDatabase::connect(const QString &user, const QString &name) const
{
    auto db = std::make_unique<engine::Database>(nullptr, name);
    db->setDriverName(QStringLiteral("INTRBASE"));
    db->setParams({QStringLiteral("SERVER NAME=") + m_path, QStringLiteral("USER NAME=") + user});
    db->open();
    return db;
}

std::unique_ptr<engine::Database> TestDatabase::connectServer(const QString &user, const QString &password,
                                                              const QString &name) const
{
    auto db = std::make_unique<engine::Database>(nullptr, name);
    db->setDriverName(QStringLiteral("INTRBASE"));
    db->setParams({QStringLiteral("SERVER NAME=") + serverPrefix() + m_path,
                   QStringLiteral("USER NAME=") + user, QStringLiteral("PASSWORD=") + password});
    db->open();
    return db;
}

void exec(engine::Database &db, const QString &sql)
{
    engine::Statement s(&db);
    s.setParamCheck(false);
    s.setSql(sql);
    s.execute();
}

QVariant scalar(engine::Database &db, const QString &sql)
{
    engine::Statement s(&db);
    s.setParamCheck(false);
    s.setSql(sql);
    s.open();
    if (s.rows().rowCount() == 0 || s.rows().columnCount() == 0)
        return QVariant();
    return s.rows().value(0, 0);
}

} // namespace testsupport
