#pragma once

#include <functional>

class QDialog;
class QString;
class QWidget;

namespace platform {

// Every modal form of the programs (login, alias choice, chooser dialogs) is
// shown through here, so tests can fill a form by its component names and
// close it with a result instead of a person doing it.
using ModalHook = std::function<int(QDialog &)>;

// Shows the dialog usable (see keepUsable) and runs it, or hands it to the
// installed hook. A hook is only handed a dialog a person could use: one
// that is not is refused (reported, and closed as rejected).
int execModal(QDialog &dialog);
// Installs a hook (empty: back to QDialog::exec) and returns the previous one.
ModalHook setModalHook(ModalHook hook);

// A command disables its whole window while it works, and Qt disables every
// child window with it, so a dialog asking something in the middle of the
// command would be drawn grey and ignore every click and key. This keeps a
// dialog or tool window enabled whatever its parent's state, for as long as
// it lives; a window disabled on purpose (setEnabled(false)) stays disabled.
void keepUsable(QWidget &window);

// Why a person could not use the dialog as it stands: it is disabled, or its
// default button is. Empty when it is usable.
QString unusableReason(const QDialog &dialog);

// Where a refused dialog is reported. The default writes a critical message;
// test programs make it fail the running test.
using RefusalReport = std::function<void(const QString &why)>;
RefusalReport setRefusalReport(RefusalReport report);
void reportRefusal(const QString &why);

} // namespace platform
