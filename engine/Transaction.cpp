#include "engine/Transaction.h"

#include "engine/Database.h"
#include "engine/Error.h"

namespace engine {

TransactionGuard::TransactionGuard(Database &db) : m_db(db)
{
    if (!m_db.inTransaction()) {
        m_db.startTransaction();
        m_owns = true;
    }
}

TransactionGuard::~TransactionGuard()
{
    if (m_owns)
        rollbackQuietly(m_db);
}

void TransactionGuard::commit()
{
    if (!m_owns)
        return;
    m_owns = false; // a failed commit has already rolled back
    m_db.commit();
}

void TransactionGuard::rollback()
{
    if (!m_owns)
        return;
    m_owns = false;
    rollbackQuietly(m_db);
}

void rollbackQuietly(Database &db)
{
    if (!db.inTransaction())
        return;
    try {
        db.rollback();
    } catch (const Error &) {
    }
}

void KeptTransaction::ensure()
{
    if (m_db.isConnected() && !m_db.inTransaction())
        m_db.startTransaction();
}

void KeptTransaction::commit()
{
    try {
        m_db.commit();
    } catch (...) {
        restartAfterFailure();
        throw;
    }
    ensure();
}

void KeptTransaction::rollback()
{
    try {
        m_db.rollback();
    } catch (...) {
        restartAfterFailure();
        throw;
    }
    ensure();
}

void KeptTransaction::commitFinally()
{
    m_db.commitOrKeep();
}

void KeptTransaction::restartAfterFailure()
{
    rollbackQuietly(m_db);
    try {
        ensure();
    } catch (const Error &) {
        // A dead connection cannot start the next one; the first error is
        // what the caller shows.
    }
}

} // namespace engine
