#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class TGrantData;

// The six tables of the administrative layer in the managed database: their
// creation with the import of the privileges already there, and the erase.
// Plain operations over the data module; the window asks the questions,
// hides and shows its pages and shows the errors.
namespace privileges {

struct UserImport;

// The six table names in upper case, in creation order.
const QStringList &adminTableNames();
// Whether a name (any case) is one of the six.
bool isAdminTable(const QString &name);

// The create statement of each table and its grant to PUBLIC, in order.
struct TableDefinition {
    QString create;
    QString grant;
};
const QVector<TableDefinition> &adminTableDefinitions();

// The longest start of text that fits in room, as size measures it; a
// character is never split.
QString cutToRoom(const QString &text, int room, const std::function<qsizetype(const QString &)> &size);
// The longest start of text that a column of a table holds, read from the
// catalogue in the open transaction: characters where the column has a
// character set, the bytes the connection sends where it has none. Cut
// before anything is sent, so the server never refuses a value too long.
QString fitToColumn(TGrantData &data, const QString &table, const QString &column, const QString &text);

// Status panel and progress bar of the main window while an operation runs.
class OperationProgress {
public:
    virtual ~OperationProgress() = default;
    // The running step's text; the empty text when it ends.
    virtual void showStatus(const QString &text) = 0;
    // From 0 to maximum, step 1.
    virtual void startProgress(int maximum) = 0;
    virtual void stepProgress() = 0;
    // Back to position 0.
    virtual void resetProgress() = 0;
};

// Reports nothing: for callers without a window.
class NoProgress : public OperationProgress {
public:
    void showStatus(const QString &) override {}
    void startProgress(int) override {}
    void stepProgress() override {}
    void resetProgress() override {}
};

// Shows an operation's text for a scope and empties the status panel and
// the progress bar when it ends, whichever way it ends: a failed operation
// must not leave its text standing as if it still ran.
class StatusScope {
public:
    StatusScope(OperationProgress &progress, const QString &text) : m_progress(progress)
    {
        m_progress.showStatus(text);
    }
    ~StatusScope()
    {
        m_progress.showStatus(QString());
        m_progress.resetProgress();
    }
    StatusScope(const StatusScope &) = delete;
    StatusScope &operator=(const StatusScope &) = delete;

private:
    OperationProgress &m_progress;
};

class AdminTables {
public:
    AdminTables(TGrantData &data, OperationProgress &progress);

    // Creates the six tables, grants them to PUBLIC and commits; then
    // imports the existing privileges and commits again. What the import's
    // statements cannot name is left out; a failed import drops the tables
    // again in a commit of their own, so the next connect asks again.
    // Raises engine::Error with the server's text. Returns the lines of
    // leaveOutUnnamable.
    QStringList create();
    // The import alone, in the open transaction, on existing empty tables.
    QStringList importExisting();

    // The erase after its questions: revokes what the grant groups gave
    // (when asked to), drops the six tables and commits, as one commit
    // point. On any failure everything is rolled back, the next transaction
    // started and the error raised: the revoke refusal, the missing drop
    // rights text for a refused drop, otherwise the server's message.
    // A name the revokes could not carry bare is refused before anything
    // is sent, the open transaction left as it was.
    void erase(bool revoke);

    // A layer with some of the six tables only: the missing ones created,
    // granted and committed; when none of the tables holds a row, the
    // existing privileges imported and committed as a creation does.
    // Raises engine::Error with the server's text.
    void createMissing(const QStringList &missing);
    // The other way out: the tables present dropped and committed, the
    // missing drop rights text for a refused drop. Raises engine::Error.
    void dropPresent(const QStringList &present);

    // Steps of the erase, each in the open transaction.
    void RevokeAllGroupGrants();
    void DropGrantTables();

    static QString eraseRightsText();

private:
    // One REVOKE of the erase: a grant group's privilege from the users it
    // reaches, owners of the object left out.
    struct GroupRevocation {
        QString privilege, column, object;
        QStringList users;
    };
    // Read in the open transaction, nothing sent.
    QVector<GroupRevocation> groupRevocations();
    void revokeAll(const QVector<GroupRevocation> &revocations);
    void exec(const QStringList &lines);
    void writeImport(const QVector<UserImport> &plan);
    void dropAfterFailedImport();
    // Drops those of the six tables named, children before their parents.
    void dropTables(const QStringList &present);

    TGrantData &m_data;
    OperationProgress &m_progress;
};

} // namespace privileges
