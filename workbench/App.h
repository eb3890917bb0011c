#pragma once

#include <QStringList>
#include <memory>

class TDM;
class TfmBrowser;
class TfmAliases;
class TfmLoginPrompt;
class TfmExternal;
class TFmLaunch;
class TfmDivider;
class TfmFind;
class TfmOpenProc;
class TfmOpenTrig;

// The program's forms, created in the program's start-up order: the data
// module, the path dialog, the main window (which connects when the arguments name an alias),
// then the dialogs.
struct Workbench {
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfmExternal> external;
    std::unique_ptr<TfmBrowser> browser;
    std::unique_ptr<TfmAliases> aliases;
    std::unique_ptr<TfmLoginPrompt> login;
    // The chooser dialogs of the procedure and trigger editors.
    std::unique_ptr<TfmOpenProc> openProc;
    std::unique_ptr<TfmOpenTrig> openTrig;
    // After the about box: the launch dialog, then the export's separator dialog.
    std::unique_ptr<TFmLaunch> launch;
    std::unique_ptr<TfmDivider> divider;
    std::unique_ptr<TfmFind> find;

    explicit Workbench(const QStringList &arguments);
    ~Workbench();

    // SIGTERM or SIGINT: see main().
    void endOnSignal();
};
