#pragma once

#include <QFont>
#include <QString>
#include <Qt>

// Rules of the main window's frame that need no window: the status light,
// the keyboard commands and the stored font style.
namespace framelogic {

struct StatusLook {
    QString picture; // IShades, ISad, IIndif or Iooh
    QString text;    // status-bar panel 0
};
StatusLook statusLook(bool ready, bool failed);

enum class WorkArea { Browser, Debugger, Master };

// The handler a key runs on a work area (and, on the debugger, its page:
// 0 "Procedures", 1 "Triggers", others), or an empty text. F1 is handled
// apart (help). Ctrl and Alt mean that modifier alone.
QString keyCommand(WorkArea area, int debuggerPage, int key, Qt::KeyboardModifiers modifiers);

// The stored style: 1 bold alone, 2 italic alone, 3 bold and italic, 0 for
// every other combination (underline or strike-out included).
int fontStyleValue(const QFont &font);
// Applies a stored style: 0 none, 1 bold, 2 italic, 3 both; any other value
// leaves the font's style as it is.
void applyFontStyle(QFont &font, int style);

} // namespace framelogic
