#include "workbench/Launcher.h"

#include "platform/Modal.h"
#include "platform/Settings.h"
#include "workbench/fBrowser.h"
#include "workbench/fLaunch.h"

#include <QCoreApplication>

namespace launcher {

const QString kLorvaneSection = QStringLiteral("lorvane");
const QString kLorvaneValue = QStringLiteral("lorvane");

namespace {
const QString kCopyFlag = QStringLiteral("Y");
} // namespace

QString ownProgramPath()
{
    return QCoreApplication::applicationFilePath();
}

QString defaultLorvanePrefix(const QString &programPath)
{
    // The folder part keeps its final separator; a bare program name leaves
    // none, and the path is then relative.
    return programPath.left(programPath.lastIndexOf(QLatin1Char('/')) + 1)
           + QStringLiteral("Lorvane32Pro/lorvane32 ");
}

QString lorvanePrefix(const QString &programPath)
{
    const QString stored =
        platform::Settings(platform::Settings::WorkbenchKey).readString(kLorvaneSection, kLorvaneValue, QString());
    return stored.isEmpty() ? defaultLorvanePrefix(programPath) : stored;
}

QStringList lorvaneArguments(const ConnectionTriple &connection)
{
    if (connection.alias.isEmpty())
        return {};
    return {connection.alias, connection.user, connection.password};
}

QStringList secondCopyArguments(const ConnectionTriple &connection)
{
    return {connection.alias, connection.user, connection.password, kCopyFlag};
}

platform::LaunchRequest lorvaneRequest(const ConnectionTriple &connection, const QString &programPath)
{
    platform::LaunchRequest r;
    r.program = lorvanePrefix(programPath);
    r.arguments = lorvaneArguments(connection);
    r.wait = true;
    r.caption = QStringLiteral("Lorvane32Pro");
    r.prompt = QStringLiteral("Enter full path to the Lorvane32Pro");
    r.storeIn = platform::SettingsValue{platform::Settings(platform::Settings::WorkbenchKey), kLorvaneSection,
                                        kLorvaneValue};
    return r;
}

platform::LaunchRequest secondCopyRequest(const ConnectionTriple &connection, const QString &programPath)
{
    platform::LaunchRequest r;
    r.program = programPath;
    r.arguments = secondCopyArguments(connection);
    r.wait = false;
    r.caption = QStringLiteral("MarrowbyPro");
    r.prompt = QStringLiteral("Enter full path to the Marrowby");
    return r;
}

bool StartLorvane(const ConnectionTriple &connection, const QString &programPath)
{
    return platform::LaunchProgram(lorvaneRequest(connection, programPath)).started;
}

bool LaunchSecondCopy(const ConnectionTriple &connection, const QString &programPath)
{
    return platform::LaunchProgram(secondCopyRequest(connection, programPath)).started;
}

ConnectionTriple currentConnection(const TfmBrowser &window)
{
    return {window.CurrentAlias, window.LoginUser, window.LoginPassword};
}

void GoLorvane(TfmBrowser &window)
{
    StartLorvane(currentConnection(window));
    TfmBrowser::DefaultCursor();
}

bool RunLaunchDialog(TfmBrowser &window, TFmLaunch &dialog, const QString &programPath)
{
    switch (platform::execModal(dialog)) {
    case TFmLaunch::ContinueResult:
        window.repaint();
        return true;
    case TFmLaunch::LaunchCopyResult:
        window.repaint();
        if (!LaunchSecondCopy(currentConnection(window), programPath))
            return false;
        window.ShowMessage(QStringLiteral("Press OK button after 2nd copy successful start"));
        return true;
    default:
        return true;
    }
}

} // namespace launcher
