#include "platform/Modal.h"

#include <QDialog>

namespace platform {

namespace {
ModalHook &currentHook()
{
    static ModalHook h;
    return h;
}
} // namespace

int execModal(QDialog &dialog)
{
    if (ModalHook h = currentHook())
        return h(dialog);
    return dialog.exec();
}

ModalHook setModalHook(ModalHook hook)
{
    std::swap(currentHook(), hook);
    return hook;
}

} // namespace platform
