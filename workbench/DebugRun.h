#pragma once

// The debug run's logic without windows: the input check, the select-form
// statement, the output values, which kinds of points the procedure has, the
// clock's text, and the worker threads that run the procedure on the debug
// connection.

#include "engine/RowSet.h"

#include <QString>
#include <QStringList>
#include <QThread>
#include <QTime>
#include <QVector>
#include <functional>
#include <memory>

namespace engine {
class Database;
class KeptTransaction;
class StoredProc;
} // namespace engine

namespace debugrun {

// One row of the input grid: name, type as the grid shows it, value typed.
struct InputRow {
    QString name;
    QString type;
    QString value;
};

// Index (0-based) of the first input without a value; -1 when all are given.
int firstMissingInput(const QVector<InputRow> &inputs);

// A value as the select form sends it: taken as typed, except that a DATE
// value not starting with a double quote is put in double quotes.
QString selectValue(const InputRow &input);

// "select * from P" and, with inputs, a second line "(v1,v2,...)".
QStringList selectStatement(const QString &procedure, const QVector<InputRow> &inputs);

// What the output grid shows for an output parameter of this type.
QString outputText(const QString &type, const QString &value);

// The kinds of points the procedure's current version carries.
struct PointUse {
    bool breaks = false;
    bool traces = false;
    bool progress = false;
};

// From the PType values of the object's current points and its stored source:
// break points whose blocks wait for no variable never stop the procedure,
// so they count as none.
PointUse pointUse(const QStringList &pointTypes, const QString &storedSource);

// What a run does before it starts, from the kinds of points it uses:
// progress counters start from zero; trace points and points that wait each
// take a new session of their own (both kinds: two); points that wait need
// someone to answer them (the launch dialog here, spy mode on a remote server).
struct RunSteps {
    bool zeroProgress = false;
    int newSessions = 0;
    bool waitForHits = false;
};
RunSteps runSteps(const PointUse &use);

// Reads the procedure's current points (P = 0) and its source on db, in the
// caller's transaction or in statements of their own.
PointUse readPointUse(engine::Database &db, const QString &procedure);

// The elapsed time from start to now, in the long time format given (time
// zone parts of the format dropped: this is a duration, not a time of day).
QString elapsedText(const QTime &start, const QTime &now, const QString &longFormat);

// The debugger's side of a waiting break. A break block waits for its
// answers on the user's wait row (his META$SESSION row numbered -1, made
// here when missing; no session statement touches it, so holding it never
// stops another window from starting a session); the debugger holds that
// row (on a connection of its own, in a transaction kept open) while no hit
// waits for its answers, and lets go once it has written them, which wakes
// the block at once. Nothing here raises: a row that cannot be taken (a
// block still holding it from its last wait, no repository) is tried again
// at the next hold(), and the block meanwhile reads the answers as it
// always did.
class BreakLatch {
public:
    BreakLatch();
    ~BreakLatch();
    BreakLatch(const BreakLatch &) = delete;
    BreakLatch &operator=(const BreakLatch &) = delete;

    // Takes the user's session row unless held, connecting first as `like`
    // is connected (its session, alias and parameter lines). Whether held.
    bool hold(const engine::Database &like, const QString &user);
    // Lets the row go; the connection stays for the next hold().
    void release();
    // Lets the row go and closes the connection (before a disconnect, and
    // before the debugger itself writes the row or drops the repository).
    void close();
    bool held() const { return m_held; }

    // The statements on the wait row: the one that makes it when the user
    // has none, and the one that takes it (the break block takes it too).
    static QString makeRowSql(const QString &user);
    static QString takeRowSql(const QString &user);

private:
    static constexpr int kAttempts = 20;
    std::unique_ptr<engine::Database> m_db;
    std::unique_ptr<engine::KeptTransaction> m_transaction;
    bool m_rowMade = false; // the wait row exists (made on this connection or before)
    bool m_held = false;
};

} // namespace debugrun

// The debug run's worker: it frees itself once it has ended and its
// termination callback (connected to finished() by the starter) has run.
// Everything it touches belongs to the debug connection; it hands its outcome
// over as plain data (succeeded, error, rows).
class TMyThread : public QThread {
    Q_OBJECT
public:
    explicit TMyThread(engine::Database &db, QObject *parent = nullptr);

    // Written by the worker before it ends; read after finished().
    bool succeeded() const { return m_succeeded; }
    const QString &error() const { return m_error; }

protected:
    // One transaction on the connection around work; any failure rolls back
    // and keeps the error's message.
    void inTransaction(const std::function<void()> &work);

    engine::Database &m_db;
    bool m_succeeded = false;
    QString m_error;
};

// Execute form: EXECUTE PROCEDURE through the stored-procedure component;
// its output values stay in the component.
class TMyThread1 : public TMyThread {
    Q_OBJECT
public:
    TMyThread1(engine::Database &db, engine::StoredProc &proc, QObject *parent = nullptr);

protected:
    void run() override;

private:
    engine::StoredProc &m_proc;
};

// Select form: the statement runs on the worker's connection and its rows
// come back as data, for the main thread to show.
class TMyThread2 : public TMyThread {
    Q_OBJECT
public:
    TMyThread2(engine::Database &db, const QStringList &sql, QObject *parent = nullptr);
    engine::RowSetPtr rows() const { return m_rows; }

protected:
    void run() override;

private:
    QStringList m_sql;
    engine::RowSetPtr m_rows;
};
