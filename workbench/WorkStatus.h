#pragma once

#include <QString>

// What the export and the chooser dialogs need of the main window, handed to
// them rather than reached through the window global: the status light and
// its messages, the save dialog's remembered name, and the user connection
// opened again after a catalogue reread. The main window is the one real
// implementation.
class WorkStatus {
public:
    virtual ~WorkStatus() = default;

    virtual void setBusy() = 0;
    virtual void setReady() = 0;
    virtual void setError() = 0;
    // A failure's text, in an error box.
    virtual void showError(const QString &text) = 0;
    // The window drawn again at once, after a dialog over it has closed.
    virtual void redraw() = 0;
    // The shared save dialog's file name: offered the next time it opens and
    // replaced by every name chosen in it, from any command.
    virtual QString &rememberedSaveName() = 0;
    // The user connection opened again with the window's parameters.
    virtual void reopenUserConnection() = 0;
};

// Every wait cursor a command set is taken back: the default cursor shows.
void restoreDefaultCursor();
