#include "platform/Launch.h"

#include "platform/Prompter.h"

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
    process.waitForFinished(-1);
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

