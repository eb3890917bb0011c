#include "platform/Launch.h"

#include "platform/Prompter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>

namespace platform {

QString ConnectionCommandLine::text() const
{
    QString result = alias + QLatin1Char(' ') + user + QLatin1Char(' ') + password;
    if (!extra.isEmpty())
        result += QLatin1Char(' ') + extra;
    return result;
}

QStringList ConnectionCommandLine::splitArguments(const QString &text)
{
    const auto ends = [](QChar c) { return c.unicode() <= u' '; };
    QStringList result;
    int i = 0;
    const int n = int(text.size());
    for (;;) {
        // Skip the separators, and any "" pairs met among them.
        for (;;) {
            while (i < n && ends(text.at(i)))
                ++i;
            if (i + 1 < n && text.at(i) == u'"' && text.at(i + 1) == u'"')
                i += 2;
            else
                break;
        }
        if (i >= n)
            return result;
        // One argument: up to a separator outside quotes; quotes are dropped.
        QString argument;
        while (i < n && !ends(text.at(i))) {
            if (text.at(i) != u'"') {
                argument += text.at(i++);
                continue;
            }
            ++i;
            while (i < n && text.at(i) != u'"')
                argument += text.at(i++);
            if (i < n)
                ++i;
        }
        result << argument;
    }
}

namespace {

// Swallows what a person does to the program's windows: while it waits it
// is blocked, and nothing done meanwhile is kept to act on afterwards.
class InputBlocker : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Close:
            return true;
        default:
            return false;
        }
    }
};

// Waits for the process to end. A program with windows goes on painting
// them meanwhile (it must not look hung behind the other program) but takes
// no input.
void waitForEnd(QProcess &process)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        process.waitForFinished(-1);
        return;
    }
    InputBlocker blocker;
    QCoreApplication::instance()->installEventFilter(&blocker);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    QCoreApplication::instance()->removeEventFilter(&blocker);
}

// False when the program could not be started. A program not waited for is
// started detached, so it keeps running when we end.
bool start(const QString &program, const QStringList &arguments, bool wait,
           std::optional<int> &exitCode)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    if (!wait)
        return process.startDetached();
    process.start();
    if (!process.waitForStarted(-1))
        return false;
    waitForEnd(process);
    if (process.exitStatus() == QProcess::NormalExit)
        exitCode = process.exitCode();
    return true;
}

} // namespace

LaunchResult LaunchProgram(const LaunchRequest &request)
{
    LaunchResult result;
    QString program = request.program;
    for (;;) {
        const QString trimmed = program.trimmed();
        if (!trimmed.isEmpty() && start(trimmed, request.arguments, request.wait, result.exitCode)) {
            result.started = true;
            result.program = program;
            return result;
        }
        const std::optional<QString> answer =
            Prompter::instance().inputText(request.caption, request.prompt, program);
        if (!answer)
            return result;
        program = *answer;
        if (request.storeIn) {
            Settings settings = request.storeIn->settings;
            settings.writeString(request.storeIn->section, request.storeIn->name, program);
        }
    }
}

} // namespace platform

