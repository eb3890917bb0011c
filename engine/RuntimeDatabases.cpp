#include "engine/RuntimeDatabases.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/SampleDatabase.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"

#include <QFile>
#include <QLockFile>

namespace engine {

void createDatabaseWith(const QString &path, int dialect, const QStringList &statements)
{
    Database::createDatabase(path, QStringLiteral("SYSDBA"), QString(), 8192, dialect);
    try {
        Database db;
        db.setName(QStringLiteral("Runtime"));
        db.setDriverName(QStringLiteral("INTRBASE"));
        db.setParams({QStringLiteral("SERVER NAME=") + path, QStringLiteral("USER NAME=SYSDBA")});
        db.open();
        Statement s(&db);
        s.setParamCheck(false);
        for (const QString &sql : statements) {
            s.setSql(sql);
            s.execute();
        }
        s.close();
        db.close();
    } catch (const Error &) {
        QFile::remove(path);
        throw;
    }
}

void createSecurityDatabase(const QString &path, const QString &sysdbaPassword)
{
    // The engine writes users into the user database its configuration
    // names, which is this one: SYSDBA gets the password the loopback
    // server will ask for.
    createDatabaseWith(path, 3,
                       {QStringLiteral("CREATE USER SYSDBA PASSWORD '%1' USING PLUGIN Srp")
                            .arg(singleQuotedConstant(sysdbaPassword))});
}

QString initialSysdbaPassword()
{
    const QString p = qEnvironmentVariable("FBSERVER_PASSWORD");
    return p.isEmpty() ? QStringLiteral("masterkey") : p;
}

void ensureSecurityDatabase()
{
    const RuntimePaths &paths = Runtime::paths();
    if (QFile::exists(paths.securityDatabase))
        return;
    QLockFile lock(paths.root + QStringLiteral("/security3.lock"));
    lock.setStaleLockTime(60000);
    if (!lock.tryLock(60000))
        throw Error(QStringLiteral("Cannot lock %1").arg(lock.fileName()), ErrorCategory::Configuration);
    if (!QFile::exists(paths.securityDatabase))
        createSecurityDatabase(paths.securityDatabase, initialSysdbaPassword());
}

void ensureRuntimeDatabases()
{
    for (void (*ensure)() : {&ensureSecurityDatabase, &ensureSampleDatabase}) {
        try {
            ensure();
        } catch (const Error &) {
            // The connection that needs it reports the engine's own message.
        }
    }
}

} // namespace engine
