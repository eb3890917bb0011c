#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace engine {
class Database;
class Statement;
} // namespace engine

// The workbench's own objects in the user's database (all named META$...):
// the repository tables, generators and procedures, the five external debug
// tables and the probe that tests their folder, and the erase. Plain logic
// over the main connection; questions and messages go through the prompter.
class Repository {
public:
    // The statements that make the repository, as they are sent.
    static QStringList metaDepDdl();
    static QStringList metaRenewDdl();
    static QStringList getGensDdl();
    static QString historyDdl();
    // One debug table's two lines; table one of META$MTBP, META$MTTP,
    // META$MTBPV, META$MTBPA, META$MTTPV.
    static QStringList debugTableDdl(const QString &table, const QString &path);
    static QString probeDdl(const QString &folder);
    // The path as stored: ending with the separator it already uses (a slash
    // for "/data/dbg", a backslash for "C:\dbg"); an empty path becomes "\".
    static QString normalizedPath(const QString &typed);

    Repository(engine::Database &db, engine::Statement &q6, engine::Statement &q7);

    bool tableExists(const QString &name);
    bool procedureExists(const QString &name);
    bool debugTablesExist();

    enum class InstallResult { Present, Declined, Installed };
    // The after-connect check: present, or asked and installed. Grants that
    // fail raise and end the installation there; the grant on META$EXTERNAL
    // fails when the generator group (and META$EXTERNAL with it) could not
    // be made, so a partial install is never reported as done and the next
    // connect asks again. progress(0..10), -1 hides.
    InstallResult ensure(const std::function<void(int)> &progress);

    // Creates the five debug tables in the stored folder; false after a
    // failure (reported, nothing left behind).
    bool createDebugTables(QString *externalPath = nullptr);
    void dropDebugTables();
    bool testExternalPath(const QString &folder);
    void dropProbeTable();
    // The erase after its question and its refusal with debug tables present;
    // raises on a failure (what earlier transactions removed stays removed).
    void erase();

private:
    bool count(const QString &sql);
    bool inOwnTransaction(const QStringList &sql);
    void exec(engine::Statement &s, const QStringList &sql);
    void createMetaRenew();
    void grant(const QString &sql);
    void moveCodeGenPastOldRows();

    engine::Database &m_db;
    engine::Statement &m_q6;
    engine::Statement &m_q7;
};
