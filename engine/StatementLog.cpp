#include "engine/StatementLog.h"

#include <QMutex>
#include <QMutexLocker>

namespace engine {

namespace {
QMutex &hookMutex()
{
    static QMutex m;
    return m;
}
StatementLog::Hook &currentHook()
{
    static StatementLog::Hook h;
    return h;
}
} // namespace

StatementLog::Hook StatementLog::setHook(Hook hook)
{
    QMutexLocker lock(&hookMutex());
    std::swap(currentHook(), hook);
    return hook;
}

void StatementLog::record(const QString &databaseName, const QString &sql)
{
    Hook h;
    {
        QMutexLocker lock(&hookMutex());
        h = currentHook();
    }
    if (h)
        h(databaseName, sql);
}

struct StatementRecorder::Shared {
    QMutex mutex;
    QStringList lines;
};

StatementRecorder::StatementRecorder() : m_shared(std::make_shared<Shared>())
{
    std::weak_ptr<Shared> weak = m_shared;
    m_previous = StatementLog::setHook([weak](const QString &, const QString &sql) {
        if (auto s = weak.lock()) {
            QMutexLocker lock(&s->mutex);
            s->lines << sql;
        }
    });
}

StatementRecorder::~StatementRecorder()
{
    StatementLog::setHook(m_previous);
}

QStringList StatementRecorder::statements() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->lines;
}

void StatementRecorder::clear()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->lines.clear();
}

} // namespace engine
