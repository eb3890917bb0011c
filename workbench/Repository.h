#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <optional>

namespace engine {
class Database;
class Error;
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

    enum class InstallResult { Present, Declined, Installed, Failed };
    // The after-connect check: present, or asked and installed. The install
    // is all or nothing: objects that were there already are kept, but any
    // other failure (a refused creation or grant, the generator group with
    // one of its generators there already) drops what this install made
    // and says why (Failed): the database is left as after a No, and the
    // next connect asks again. progress(0..10), -1 hides.
    InstallResult ensure(const std::function<void(int)> &progress);
    // What a failed install shows: what happened, what could not be
    // dropped again (left), and the server's text.
    static QString installFailureText(const engine::Error &e, const QStringList &left);

    // Creates the five debug tables in the stored folder; false after a
    // failure (reported, nothing left behind).
    bool createDebugTables(QString *externalPath = nullptr);
    void dropDebugTables();
    // allowed: the folder the server is known to take external tables in
    // (empty: not known); a refusal names it.
    bool testExternalPath(const QString &folder, const QString &allowed = QString());
    void dropProbeTable();
    // The erase after its question and its refusal with debug tables present;
    // raises on a failure (what earlier transactions removed stays removed).
    void erase();

    // The debugger's rows. Each runs in a transaction of its own (or the
    // caller's) and raises on a failure, with nothing of it left behind.
    // The user's session row, made with number 0 when missing; its number.
    int ensureSession(const QString &user);
    // The user's session number; 0 when he has no row.
    int sessionNumber(const QString &user);
    // A new try: number becomes the user's session and his pass counters
    // start again from 0.
    void startSession(const QString &user, int number);
    // The user's pass counters of object, one per kind of point it uses.
    void resetPointCounters(const QString &user, const QString &object, bool breaks, bool traces);
    // Every user's pass counters of object, before it is saved again.
    void clearCounters(const QString &object);
    // After a save of object: a saved one's pending points become current,
    // a failed one's are dropped and the previous version's stay.
    void settlePoints(const QString &object, bool saved);
    // The ten progress generators back to 0.
    void zeroProgressGenerators();

    // A break point's hit as the protocol holds it, with the values the
    // procedure recorded for its watched variables.
    struct WatchValue {
        QString name;
        QString value;
        // The debug tables are external files, which hold no NULL: a NULL
        // variable arrives as blanks, read as an empty text; both count.
        bool isNull = false;
    };
    struct Hit {
        int code = 0;
        QString object;
        QString pointId;
        QString passNumber;
        QVector<WatchValue> values;
        bool answered = false; // answer rows are there already
    };
    // How many hits the user's try number session has recorded.
    int hitCount(const QString &user, int session);
    // The newest hit of the user's try; none when it has recorded none.
    std::optional<Hit> newestHit(const QString &user, int session);
    // Whether the hit has answer rows.
    bool hitAnswered(int code);
    // "SP" or "TR" for the object of a current point; empty when unknown.
    QString pointKind(const QString &object, const QString &pointId);
    // The ten progress values, as texts; empty ones when no row came back.
    QStringList progressValues();
    // The points of objects that no longer exist, in the caller's transaction.
    void deleteOrphanPoints();
    // Every point of object, in the caller's transaction.
    void deleteObjectPoints(const QString &object);
    // The object and its kind of the first point row; false when none is left.
    bool firstPoint(QString *object, QString *kind);

private:
    bool count(const QString &sql);
    void inTransaction(const std::function<void()> &work);
    void install(const std::function<void(int)> &progress, QVector<QPair<QString, QString>> &created);
    void create(const QString &kind, const QString &name, const QStringList &sql,
                QVector<QPair<QString, QString>> &created);
    QStringList undo(const QVector<QPair<QString, QString>> &created);
    QVariant firstValue(const QString &sql);
    static QString sessionNumberSql(const QString &user);
    static int answerCount(engine::Statement &q, int code);
    void exec(engine::Statement &s, const QStringList &sql);
    void grant(const QString &sql);
    void moveCodeGenPastOldRows();

    engine::Database &m_db;
    engine::Statement &m_q6;
    engine::Statement &m_q7;
};
