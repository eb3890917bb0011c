#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace engine {

// Every statement text the engine sends to a server passes through here, in
// order, so tests (and a future trace window) can see exactly what was sent.
// The text is the one the server receives: parameters as `?`, `::` as `:`.
class StatementLog {
public:
    using Hook = std::function<void(const QString &databaseName, const QString &sql)>;

    // Installs a hook and returns the previous one; an empty hook turns logging off.
    static Hook setHook(Hook hook);
    static void record(const QString &databaseName, const QString &sql);
};

// Records statements while it lives; restores the previous hook afterwards.
class StatementRecorder {
public:
    StatementRecorder();
    ~StatementRecorder();
    StatementRecorder(const StatementRecorder &) = delete;
    StatementRecorder &operator=(const StatementRecorder &) = delete;

    QStringList statements() const;
    void clear();

private:
    StatementLog::Hook m_previous;
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace engine
