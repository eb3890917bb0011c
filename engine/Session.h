#pragma once

#include "engine/AliasStore.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace engine {

class Database;

// A named engine session. Sessions group databases (the workbench runs its
// debug connection in a second session) and reach the one alias
// configuration of the process: as with the engine these programs were made
// for, an alias changed through one session is seen by every session, and the
// file changes only when a program saves the configuration.
class Session {
public:
    explicit Session(QString name);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    static Session &defaultSession();
    const QString &name() const { return m_name; }
    // A session made before its name is known (a background query names
    // its own on its worker, before it connects).
    void setName(const QString &name) { m_name = name; }
    QList<Database *> databases() const;

    // The alias configuration of the process. Loaded on first use from
    // Runtime::aliasFilePath() (created there with the SAMPLE alias when
    // missing) unless useConfigurationFile() named another file first.
    static void useConfigurationFile(const QString &path);
    static QString configurationFile();
    // Reads the alias file again, so that aliases another program saved
    // since (the privilege manager's Connect page) are seen; alias changes
    // made here and not saved are dropped. A missing file is made again
    // with SAMPLE; a file that cannot be read raises, and the aliases stay
    // as they were.
    static void reloadConfigFile();

    QStringList aliasNames() const;
    QString aliasDriver(const QString &alias) const;
    QStringList aliasParams(const QString &alias) const;
    void addAlias(const QString &name, const QString &driver, const QStringList &params);
    void modifyAlias(const QString &name, const QStringList &params);
    void deleteAlias(const QString &name);
    void saveConfigFile();
    static QStringList driverDefaultParams(const QString &driver);

private:
    friend class Database;
    void attach(Database *db);
    void detach(Database *db);

    QString m_name;
    QList<Database *> m_databases;
};

} // namespace engine
