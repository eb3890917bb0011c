#pragma once

#include "engine/Error.h"

#include <QStringList>
#include <utility>

namespace engine {

class Database;

// A transaction for one piece of work. It starts one when the database has
// none open and then owns it: commit() commits it, and leaving the scope
// without commit() rolls it back quietly (the error that left the scope is
// the one worth showing). A transaction that was already open belongs to
// somebody else: the guard neither commits nor rolls it back.
class TransactionGuard {
public:
    explicit TransactionGuard(Database &db);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard &) = delete;
    TransactionGuard &operator=(const TransactionGuard &) = delete;

    // Commits an owned transaction (raising on failure; a failed commit has
    // rolled back). Does nothing for a transaction the guard did not start.
    void commit();
    // Rolls an owned transaction back now, quietly.
    void rollback();
    bool owns() const { return m_owns; }

private:
    Database &m_db;
    bool m_owns = false;
};

// Rolls back whatever transaction is open, swallowing a failure of the
// rollback itself: for error paths, where the first error is what counts.
void rollbackQuietly(Database &db);

// A connection that always keeps one transaction open. Work runs in the open
// transaction; when it throws, that transaction is rolled back, the next one
// is started and the error goes on to the caller. commit() and rollback()
// end the transaction and start the next one at once.
class KeptTransaction {
public:
    explicit KeptTransaction(Database &db) : m_db(db) {}

    // Starts the transaction when none is open.
    void ensure();
    void commit();   // a failed commit has rolled back; the next one starts anyway
    void rollback();
    // Ends the connection's work: commits without starting the next
    // transaction. A failed commit leaves the transaction open with its work,
    // for the caller to retry or roll back.
    void commitFinally();

    // A failure of work that rolls back changes noted before it began raises
    // the error with those changes named: the user must learn what is lost.
    template<typename F>
    decltype(auto) run(F &&work)
    {
        ensure();
        const qsizetype before = m_pending.size();
        try {
            return std::forward<F>(work)();
        } catch (const Error &e) {
            const QStringList lost = m_pending.mid(0, before);
            restartAfterFailure();
            if (lost.isEmpty())
                throw;
            throw withLostWork(e, lost);
        } catch (...) {
            restartAfterFailure();
            throw;
        }
    }

    Database &database() const { return m_db; }

    // A change made in the open transaction and not yet committed, in words
    // the user recognises (a statement's text); forgotten when the
    // transaction ends.
    void note(const QString &change) { m_pending << change; }
    const QStringList &pending() const { return m_pending; }
    // The text added to an error that rolled back noted changes.
    static QString lostWorkText(const QStringList &lost);

private:
    void restartAfterFailure();
    static Error withLostWork(const Error &e, const QStringList &lost);
    Database &m_db;
    QStringList m_pending;
};

} // namespace engine
