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

ScopedAlias::ScopedAlias(const QString &name, const QString &serverName, const QString &user) : m_name(name)
{
    QStringList p = engine::Session::driverDefaultParams(QStringLiteral("INTRBASE"));
    for (QString &l : p) {
        if (l.startsWith(QLatin1String("SERVER NAME=")))
            l = QStringLiteral("SERVER NAME=") + serverName;
        else if (l.startsWith(QLatin1String("USER NAME=")))
            l = QStringLiteral("USER NAME=") + user;
    }
    engine::Session::defaultSession().addAlias(name, QStringLiteral("INTRBASE"), p);
}

ScopedAlias::~ScopedAlias()
{
    // A test may have deleted the alias itself.
    if (engine::Session::defaultSession().aliasNames().contains(m_name, Qt::CaseInsensitive))
        engine::Session::defaultSession().deleteAlias(m_name);
}

UnwritableSettings::UnwritableSettings() : m_previous(qgetenv("DUNMOOR_SETTINGS_ROOT"))
{
    QFile blocker(m_root.filePath(QStringLiteral("SOFTWARE")));
    if (!blocker.open(QIODevice::WriteOnly))
        qFatal("no blocking file in %s", qPrintable(m_root.path()));
    qputenv("DUNMOOR_SETTINGS_ROOT", m_root.path().toUtf8());
}

UnwritableSettings::~UnwritableSettings()
{
    qputenv("DUNMOOR_SETTINGS_ROOT", m_previous);
}

QString UnwritableSettings::file(const QString &keyPath) const
{
    return m_root.path() + QLatin1Char('/') + QString(keyPath).replace(QLatin1Char('\\'), QLatin1Char('/'))
        + QStringLiteral(".ini");
}

} // namespace testsupport
