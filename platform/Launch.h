#pragma once

#include "platform/Settings.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// The connection handed from one program to the other: alias, user name and
// password (and "Y" when the workbench starts a copy of itself), joined by
// single blanks and not quoted, so the receiver gets them split by the usual
// command-line rules: an empty part vanishes, a part with a blank arrives as
// two arguments.
struct ConnectionCommandLine {
    QString alias;
    QString user;
    QString password;
    QString extra;

    QString text() const;
    // The arguments as the receiving program sees them.
    QStringList arguments() const { return splitArguments(text()); }

    // Splits a command-line text the way the programs read their arguments:
    // blanks and control characters end an argument; a double-quoted stretch
    // keeps its blanks and loses its quotes; an empty "" standing before an
    // argument is dropped.
    static QStringList splitArguments(const QString &text);
};

// Where an accepted path is kept: a value of the caller's settings.
struct SettingsValue {
    Settings settings;
    QString section;
    QString name;
};

struct LaunchRequest {
    // A program path, or a prefix ending in the blank that separated it from
    // the arguments; surrounding blanks are ignored when starting.
    QString program;
    QStringList arguments;
    bool wait = false;
    QString caption;  // of the input box asking for the path after a failed start
    QString prompt;
    std::optional<SettingsValue> storeIn;  // nothing: an accepted path is not kept
};

struct LaunchResult {
    bool started = false;
    std::optional<int> exitCode;  // only when waited for and the program exited normally
    QString program;              // the program text that started
};

// Starts the program as a new process that shares our standard channels and
// environment. With wait, blocks until it ends, without any time limit: the
// program's windows take no input meanwhile (what a person does to them is
// dropped), but they go on painting, and timers run.
//
// When the start fails, the current prompter's input box asks for the
// program's full path (caption and prompt from the request, the failed
// program text filled in). OK stores the answer in storeIn, if given, and
// tries again with it; Cancel gives up and reports not started.
LaunchResult LaunchProgram(const LaunchRequest &request);

} // namespace platform
