#pragma once

#include <functional>

class QDialog;

namespace platform {

// Every modal form of the programs (login, alias choice, chooser dialogs) is
// shown through here, so tests can fill a form by its component names and
// close it with a result instead of a person doing it.
using ModalHook = std::function<int(QDialog &)>;

int execModal(QDialog &dialog);
// Installs a hook (empty: back to QDialog::exec) and returns the previous one.
ModalHook setModalHook(ModalHook hook);

} // namespace platform
