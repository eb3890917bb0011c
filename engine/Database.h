#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

namespace engine {

class Session;

// Transaction mode of statements run outside an explicit transaction, from the
// alias's "SQLPASSTHRU MODE":
//  - "SHARED AUTOCOMMIT", "NOT SHARED" and no value: each such statement runs
//    in a transaction of its own, committed at once (rolled back on error);
//  - "SHARED NOAUTOCOMMIT": they share one implicit transaction that stays
//    open until commit() or rollback(), until an explicit transaction starts
//    (its work is committed first) or until close() (committed, so nothing is
//    lost silently).
enum class PassThroughMode { AutoCommit, NoAutoCommit };

// What a connection was opened with, after alias and own parameters merged.
struct ConnectionSettings {
    QString serverName; // a file path (embedded) or host/port:path (server)
    QString userName;
    QString password;
    QString languageDriver;
    PassThroughMode passThrough = PassThroughMode::AutoCommit;
    bool readOnly = false; // "OPEN MODE=READONLY": transactions are read-only
};

// One connection to a database, opened by alias or by driver plus path, with
// at most one explicit transaction (read committed, record versions, no wait:
// a lock conflict is reported at once rather than freezing the window).
class Database {
public:
    explicit Database(Session *session = nullptr, QString name = QString());
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    Session *session() const { return m_session; }
    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // Either an alias of the session's configuration ...
    void setAliasName(const QString &alias) { m_alias = alias; }
    const QString &aliasName() const { return m_alias; }
    // ... or a driver with "SERVER NAME=<path>" among the own parameters.
    void setDriverName(const QString &driver) { m_driver = driver; }
    const QString &driverName() const { return m_driver; }
    // Own parameter lines ("USER NAME=...", "PASSWORD=..."): they override the
    // alias's parameters of the same name.
    QStringList &params() { return m_params; }
    const QStringList &params() const { return m_params; }
    void setParams(const QStringList &params) { m_params = params; }

    void open();
    void close();
    bool isConnected() const { return m_db != 0; }
    // What work on a closed connection is told: the alias the user knows,
    // never the component's own name.
    QString notConnectedText() const;
    static QString notConnectedText(const Database *db);
    const ConnectionSettings &settings() const { return m_settings; }

    void startTransaction();
    // Commit and rollback raise on failure. A failed commit rolls the
    // transaction back before raising, so the database takes a new
    // transaction afterwards. Rollback without a transaction does nothing.
    void commit();
    void rollback();
    // Commits the explicit transaction; a failed commit leaves it open, its
    // work still pending, so the caller may retry or roll back (a schema
    // change refused at commit because another connection uses the object
    // succeeds once that connection has let go).
    void commitOrKeep();
    bool inTransaction() const { return m_tr != 0; }
    // Transactions started from now on wait up to this many seconds for a
    // lock another transaction holds before reporting the conflict; 0 (the
    // default) reports it at once. For the debug connection, whose break
    // blocks wait on a lock the debugger holds rather than poll.
    void setLockTimeout(int seconds) { m_lockTimeout = seconds; }
    int lockTimeout() const { return m_lockTimeout; }

    // Runs one statement without parameters (DDL, GRANT and the like), in
    // dialect 1 unless told (3: quoted names, for tests that make them).
    void executeImmediate(const QString &sql, int dialect = 1);
    // Asks the server to abandon the statement running on this connection,
    // from any thread; the running call then raises a Cancelled error.
    void cancel();

    // The server's warnings (a revoke of a privilege never granted succeeds
    // with one) collected from every statement and commit on this connection
    // since the last call, oldest first.
    QStringList takeWarnings();
    // The user the server records for this session (CURRENT_USER): read once
    // after open, kept until close; empty when not connected.
    QString currentUser();

    // The server's version text, e.g. "LI-V3.0.11.33637 Firebird 3.0".
    QString serverVersion();
    // Asks the server whether the attachment still stands. When it is gone
    // (server ended, attachment shut down) the connection is closed here,
    // so isConnected() tells the truth afterwards; false then.
    bool alive();
    // The SQL dialect the database was made with (1 or 3; what the catalogue's
    // type code 35 means depends on it): read once after open, kept until
    // close; 0 when not connected.
    int databaseDialect();

    // Create a database (dialect 1 unless told: fixtures, the sample
    // database) and drop one.
    static void createDatabase(const QString &serverName, const QString &user = QStringLiteral("SYSDBA"),
                               const QString &password = QString(), int pageSize = 8192, int dialect = 1);
    static void dropDatabase(const QString &serverName, const QString &user = QStringLiteral("SYSDBA"),
                             const QString &password = QString());

    // Engine-internal: statements reach the handles through these.
    unsigned int *handle() { return &m_db; }
    class Work;
    QByteArray encode(const QString &text) const;
    bool latin1() const { return m_latin1; }
    static int openStatementCount();
    static void statementOpened();
    static void statementClosed();
    void noteWarnings(const QStringList &texts);

private:
    ConnectionSettings resolve() const;
    void startHandle(unsigned int *tr);
    void commitHandle(unsigned int *tr);
    void rollbackHandle(unsigned int *tr);

    Session *m_session;
    QString m_name;
    QString m_alias;
    QString m_driver;
    QStringList m_params;
    ConnectionSettings m_settings;
    bool m_latin1 = false;
    unsigned int m_db = 0;
    unsigned int m_tr = 0;         // the explicit transaction
    unsigned int m_implicitTr = 0; // NOAUTOCOMMIT work outside it
    QMutex m_cancelMutex;          // keeps cancel() and close() apart
    QMutex m_warningsMutex;        // a worker thread's statements add to them
    QStringList m_warnings;
    QString m_currentUser;
    int m_dialect = 0;
    int m_lockTimeout = 0;
};

// The transaction a statement runs in: the explicit one, the implicit
// NOAUTOCOMMIT one, or one of its own that finish() commits.
class Database::Work {
public:
    explicit Work(Database &db);
    ~Work(); // rolls back an own transaction that was not finished
    Work(const Work &) = delete;
    Work &operator=(const Work &) = delete;

    unsigned int *transaction() { return m_tr; }
    void finish();

private:
    Database &m_db;
    unsigned int m_own = 0;
    unsigned int *m_tr = nullptr;
};

} // namespace engine
