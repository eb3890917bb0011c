#pragma once

#include <QString>

namespace engine {

// Where the Firebird engine of this process finds its configuration, lock and
// temp folders. Nothing in the system's own Firebird configuration is touched:
// FIREBIRD points at a folder of ours holding firebird.conf and databases.conf
// (plugins and messages still come from the system installation).
//
// Layout of the root folder:
//   firebird.conf, databases.conf   written on first start, never rewritten
//   lock/   FIREBIRD_LOCK, shared by every process opening the same database
//   tmp/    FIREBIRD_TMP
//   external/   the only folder external tables may use (debug tables)
//   data/   the sample database
//   security3.fdb   the loopback server's own user database
struct RuntimePaths {
    QString root;
    QString lock;
    QString tmp;
    QString external;
    QString data;
    QString securityDatabase;
    int port = 0; // loopback server port (RemoteServicePort)
};

class Runtime {
public:
    // Sets up the environment before the first client-library call. An
    // explicit root wins; otherwise FIREBIRD when already set; otherwise the
    // per-user folder. Creates the folders and writes the configuration files
    // when they are missing. Safe to call more than once.
    static const RuntimePaths &prepare(const QString &root = QString());
    static const RuntimePaths &paths();

    static QString defaultRoot();
    static int defaultPort();
    // The text written to firebird.conf (SuperClassic, so the workbench, its
    // second copy and the privilege manager can open one database at once).
    static QString configText(const RuntimePaths &paths);
    // Path of the sample database the SAMPLE alias points at.
    static QString sampleDatabasePath();
    // The alias configuration file of this user.
    static QString aliasFilePath();
    // The folder where the engine behind serverName takes external tables,
    // with its closing slash, when that engine reads this process's
    // firebird.conf: the embedded engine (a plain path) or the loopback
    // server on our port. Empty for any other server, whose rules we cannot know.
    static QString ownExternalFolder(const QString &serverName);
};

} // namespace engine
