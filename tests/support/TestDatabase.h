#pragma once

#include "engine/Database.h"
#include "support/DirectSql.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

namespace testsupport {

// Prepares the Firebird runtime folder named by DUNMOOR_FB_ROOT (the build
// tree's, shared with the loopback server fixture) or a temporary one, and a
// private alias file per test program so tests never share aliases.
void initRuntime();

// The loopback server's connection prefix ("127.0.0.1/30557:").
QString serverPrefix();
// The server's SYSDBA password (set by scripts/fbserver on first start).
QString serverPassword();

// A fresh database in a temporary folder, dialect 1 unless told, dropped
// when the object goes. Make one per test function so no test sees
// another's leftovers.
class TestDatabase {
public:
    explicit TestDatabase(int dialect = 1);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    const QString &path() const { return m_path; }
    QString folder() const { return m_dir.path(); }

    // A new connection by driver and path as the given user (embedded: the
    // user is trusted, the password ignored).
    std::unique_ptr<engine::Database> connect(const QString &user = QStringLiteral("SYSDBA"),
                                              const QString &name = QStringLiteral("TestDB")) const;
    // The same through the loopback server.
    std::unique_ptr<engine::Database> connectServer(const QString &user = QStringLiteral("SYSDBA"),
                                                    const QString &password = QString(),
                                                    const QString &name = QStringLiteral("TestDB")) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// An alias of the default session pointing at a database (its driver's
// default parameters with the server name and user set), saved to the alias
// file and removed from it again.
class ScopedAlias {
public:
    ScopedAlias(const QString &name, const QString &serverName, const QString &user = QStringLiteral("SYSDBA"));
    ~ScopedAlias();
    ScopedAlias(const ScopedAlias &) = delete;
    ScopedAlias &operator=(const ScopedAlias &) = delete;

private:
    QString m_name;
};

// Dialect-3 statements making, beside each plain upper-case object, a twin
// made quoted whose name differs from it only in case, as dialect-3 tools
// make them: tables "MixedCase"/MIXEDCASE and "lowr"/LOWR, views
// "ViewM"/VIEWM, procedures "ProcM"/PROCM, indexes "IxMixed"/IXMIXED and
// triggers "TrgM"/TRGM on MIXEDCASE, columns "Col"/COL of COLS with unique
// constraints "UqM"/UQM, generators "GenM"/GENM, exceptions "ExcM"/EXCM,
// domains "DomM"/DOMM, and grants on each of them to U1 and to the grantees
// "lowr"/LOWR.
const QStringList &twinSchema();
// Runs twinSchema on a dialect-3 test database.
void makeTwins(const TestDatabase &t);

// Settings that cannot be written while it lives: the settings root points
// at a folder whose "SOFTWARE" place is taken by a file.
class UnwritableSettings {
public:
    UnwritableSettings();
    ~UnwritableSettings();
    UnwritableSettings(const UnwritableSettings &) = delete;
    UnwritableSettings &operator=(const UnwritableSettings &) = delete;
    // The file a key's settings would have gone to.
    QString file(const QString &keyPath) const;

private:
    QTemporaryDir m_root;
    QByteArray m_previous;
};

// A fresh folder for one test's debug tables, inside the folder the engine
// lets external tables live in; with its closing slash.
QString debugFolder();

} // namespace testsupport
