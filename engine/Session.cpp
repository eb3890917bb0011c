#include "engine/Session.h"

#include "engine/Runtime.h"

#include <QMutex>
#include <QMutexLocker>
#include <optional>

namespace engine {

namespace {

// Sessions live on different threads (a debug run uses its own), so the
// configuration and the session registry are guarded.
QRecursiveMutex &configMutex()
{
    static QRecursiveMutex m;
    return m;
}

QString &configPath()
{
    static QString p;
    return p;
}

std::optional<AliasStore> &configStore()
{
    static std::optional<AliasStore> s;
    return s;
}

AliasStore &store()
{
    auto &s = configStore();
    if (!s) {
        if (configPath().isEmpty())
            configPath() = Runtime::aliasFilePath();
        s = AliasStore::openOrCreateDefault(configPath(), Runtime::sampleDatabasePath());
    }
    return *s;
}

} // namespace

Session::Session(QString name) : m_name(std::move(name)) {}

Session::~Session() = default;

Session &Session::defaultSession()
{
    static Session s(QStringLiteral("Default"));
    return s;
}

QList<Database *> Session::databases() const
{
    QMutexLocker lock(&configMutex());
    return m_databases;
}

void Session::attach(Database *db)
{
    QMutexLocker lock(&configMutex());
    m_databases << db;
}

void Session::detach(Database *db)
{
    QMutexLocker lock(&configMutex());
    m_databases.removeAll(db);
}

void Session::useConfigurationFile(const QString &path)
{
    QMutexLocker lock(&configMutex());
    configPath() = path;
    configStore().reset();
}

void Session::reloadConfigFile()
{
    QMutexLocker lock(&configMutex());
    const QString path = store().filePath();
    configStore() = AliasStore::openOrCreateDefault(path, Runtime::sampleDatabasePath());
}

QString Session::configurationFile()
{
    QMutexLocker lock(&configMutex());
    return store().filePath();
}

QStringList Session::aliasNames() const
{
    QMutexLocker lock(&configMutex());
    return store().aliasNames();
}

QString Session::aliasDriver(const QString &alias) const
{
    QMutexLocker lock(&configMutex());
    return store().driverName(alias);
}

QStringList Session::aliasParams(const QString &alias) const
{
    QMutexLocker lock(&configMutex());
    return store().params(alias);
}

void Session::addAlias(const QString &name, const QString &driver, const QStringList &params)
{
    QMutexLocker lock(&configMutex());
    store().addAlias(name, driver, params);
}

void Session::modifyAlias(const QString &name, const QStringList &params)
{
    QMutexLocker lock(&configMutex());
    store().modifyAlias(name, params);
}

void Session::deleteAlias(const QString &name)
{
    QMutexLocker lock(&configMutex());
    store().deleteAlias(name);
}

void Session::saveConfigFile()
{
    QMutexLocker lock(&configMutex());
    store().save();
}

QStringList Session::driverDefaultParams(const QString &driver)
{
    return AliasStore::defaultParams(driver);
}

} // namespace engine
