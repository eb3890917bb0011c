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
    if (m_db.isConnected() && !m_db.inTransaction()) {
        m_pending.clear();
        m_db.startTransaction();
    }
}

void KeptTransaction::commit()
{
    try {
        m_db.commit();
    } catch (const Error &e) {
        const QStringList lost = m_pending;
        restartAfterFailure();
        if (lost.isEmpty())
            throw;
        throw withLostWork(e, lost);
    } catch (...) {
        restartAfterFailure();
        throw;
    }
    ensure();
}

QString KeptTransaction::lostWorkText(const QStringList &lost)
{
    // Enough lines to recognise the work by, not a screenful.
    constexpr qsizetype kShown = 10;
    QString text = QStringLiteral("\r\nRolled back, and lost as it was not yet committed:");
    for (qsizetype i = 0; i < lost.size() && i < kShown; ++i)
        text += QStringLiteral("\r\n") + lost[i];
    if (lost.size() > kShown)
        text += QStringLiteral("\r\n... and %1 more").arg(lost.size() - kShown);
    return text;
}

Error KeptTransaction::withLostWork(const Error &e, const QStringList &lost)
{
    return Error(e.message() + lostWorkText(lost), e.category(), e.sqlCode(), e.statusCodes());
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
