#pragma once

// Starting the privilege manager and second copies of the workbench with the
// current connection.

#include "platform/Launch.h"

#include <QString>
#include <QStringList>

class TfmBrowser;
class TFmLaunch;

namespace launcher {

// The connection handed to a started program: the receiver reads the alias,
// the user name and the password as its arguments 1 to 3.
struct ConnectionTriple {
    QString alias;
    QString user;
    QString password;
};

// The workbench's settings value holding the privilege manager's path.
extern const QString kLorvaneSection; // "lorvane"
extern const QString kLorvaneValue;   // "lorvane"

// This program's own path, as the system reports it.
QString ownProgramPath();

// Where the privilege manager is looked for while no path is stored: the
// folder Lorvane32Pro in the workbench's own folder. The text ends in the
// blank that once separated it from the arguments; starting ignores it.
QString defaultLorvanePrefix(const QString &programPath);
// The stored path, or the default while none is stored.
QString lorvanePrefix(const QString &programPath);

// Alias, user name and password go over as arguments of their own, never
// joined into one text: an empty one is still there, so nothing after it
// shifts, and one holding a blank arrives whole. Before any connect (no
// alias) the privilege manager gets no arguments and starts unconnected, as
// it would from its own icon. The copy always gets the three and "Y".
QStringList lorvaneArguments(const ConnectionTriple &connection);
QStringList secondCopyArguments(const ConnectionTriple &connection);

platform::LaunchRequest lorvaneRequest(const ConnectionTriple &connection, const QString &programPath);
platform::LaunchRequest secondCopyRequest(const ConnectionTriple &connection, const QString &programPath);

// Starts the privilege manager and waits until it ends, processing no events
// meanwhile. False when the user cancelled the question for its path; an
// accepted path is stored for the next start.
bool StartLorvane(const ConnectionTriple &connection, const QString &programPath = ownProgramPath());

// Starts another workbench, which connects with these values and shows
// itself minimised in spy mode; does not wait for it. False when the user
// cancelled the question for its path.
bool LaunchSecondCopy(const ConnectionTriple &connection, const QString &programPath = ownProgramPath());

// The window's current connection (all empty before any connect).
ConnectionTriple currentConnection(const TfmBrowser &window);

// The main window's privilege-manager button and menu item.
void GoLorvane(TfmBrowser &window);

// A debug run on a local server asks with the launch dialog how its spy-mode
// partner comes about: "Continue" (the user started one), "Launch 2nd copy"
// (started here, then the user confirms it is up) or the dialog closed
// otherwise. False: a copy was asked for and not started, so the run ends.
bool RunLaunchDialog(TfmBrowser &window, TFmLaunch &dialog, const QString &programPath = ownProgramPath());

} // namespace launcher
