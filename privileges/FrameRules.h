#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QString>
#include <optional>

namespace platform {
class Settings;
}

// Rules of the privilege manager's main window that need no window: the
// stored settings, the exit guard's question, and the layout arithmetic.
namespace framerules {

// ------------------------------------------------------------------ settings

// The colour value that stands for the system's window-text colour.
constexpr int kWindowTextColor = int(0x80000008u);

// The font as the settings keep it.
struct StoredFont {
    QString name;
    int color = kWindowTextColor;
    int size = 8;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

// Nothing when no font was stored (name absent or "none"): the window keeps
// its designed font.
std::optional<StoredFont> readFont(const platform::Settings &settings);
// Writes all seven values; false when the settings file could not be written.
bool writeFont(platform::Settings &settings, const StoredFont &font);
// What the user is told when a setting could not be written to its file: it
// holds for this run only.
QString notStoredText(const QString &what, const QString &file);
StoredFont storedFontOf(const QFont &font, int color);
// The designed font with the stored name, size and style.
QFont applyFont(QFont font, const StoredFont &stored);
// A stored colour as a colour of the palette: system colours (high bit set)
// are looked up, others are 0x00BBGGRR.
QColor colorOf(int stored, const QPalette &palette);

struct BarSettings {
    bool toolbar = true;
    bool statusbar = true;
};
BarSettings readBars(const platform::Settings &settings);

// The command that starts the server manager, and its default.
extern const QString kDefaultServerManager; // "ibmgr32.exe"
QString readServerManager(const platform::Settings &settings);

// ---------------------------------------------------------------- exit guard

// Work waiting in the one open transaction, by the page that made it.
struct PendingWork {
    bool grantGroups = false;  // grant-group changes, or a group being entered
    bool users = false;        // memberships, or a user or user group being entered
    bool assignments = false;  // grant-group assignments
    int pages() const { return int(grantGroups) + int(users) + int(assignments); }
};

// The one question the guard asks, or an empty text when nothing is pending.
// Every page's work lives in the same transaction, so one answer settles all
// of it: a page alone gets its own question; work of several pages gets one
// question that names them.
QString guardQuestion(const PendingWork &work);
// Told after the guard's Yes failed: its commit never ran, and the work it
// was to commit is gone.
QString nothingCommittedText();

// ------------------------------------------------------------------- layout

// The window's width after the first show: at least the width that shows
// the privilege page's box and object tree side by side, but never wider
// than the screen.
int firstShowWidth(int windowWidth, int privBoxWidth, int privBoxLeft, int metatreeWidth, int screenWidth);

// The first show's height rule: a client area too low for two trees with
// their header and button rows grows to that height while it fits on the
// screen; otherwise the window takes the screen's height.
struct HeightChange {
    int clientHeight = -1; // >= 0: the new client height
    int windowHeight = -1; // >= 0: the new window height
};
HeightChange firstShowHeight(int clientHeight, int toolPanel, int statusBar, int btnPanel, int metatree,
                             int moHeader, int screenHeight);

// The button panel of the privilege page: up and down at the ends, grant and
// revoke sharing what lies between them.
struct ButtonPanel {
    int height = 0;
    QRect up, grant, revoke, down;
};
ButtonPanel buttonPanel(int panelWidth, QSize up, QSize down, int grantHeight, int revokeHeight);

// The width a grid's last column gets so that it fills the client width.
int lastColumnWidth(int clientWidth, int firstColumnWidth);

// An editor row beside a splitter: the width its fields get when a splitter
// move leaves room for them (more than twice the save button's width), or
// nothing.
std::optional<int> editorWidth(int room, int saveButtonWidth);

} // namespace framerules

namespace framerules {

// The connection page's geometry, as the resize rule reads and moves it
// (rectangles in their group box's coordinates; both group boxes share
// their top, so the session list and the parameter grid end level).
struct ConnectPage {
    int sessionInfoHeight = 0;
    int aliasesWidth = 0;
    QRect ssInfo;
    QRect aliasParams;
    QRect aliasbox;
    QRect addBtn, modifyBtn, delBtn;
    int column0 = 0;
    int column1 = 0;
};
// Grows the session list and the grid to the group boxes' height and the
// grid to the free width, with the alias list and its buttons following.
ConnectPage connectPageLayout(ConnectPage page);

} // namespace framerules
