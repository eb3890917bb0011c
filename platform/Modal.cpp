#include "platform/Modal.h"

#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {
ModalHook &currentHook()
{
    static ModalHook h;
    return h;
}

RefusalReport &currentReport()
{
    static RefusalReport r;
    return r;
}

const char kGuardName[] = "platform_keepUsable";

// Undoes a disabling that came from the parent: a window's own
// setEnabled(false) marks it force-disabled, and that is respected. Qt sends
// the change event after the children were disabled, so enabling here
// enables them again.
class UsableGuard : public QObject {
public:
    explicit UsableGuard(QWidget *window) : QObject(window) { setObjectName(QLatin1String(kGuardName)); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange && watched == parent())
            mend(static_cast<QWidget *>(watched));
        return false;
    }

    static void mend(QWidget *window)
    {
        if (!window->isEnabled() && !window->testAttribute(Qt::WA_ForceDisabled))
            window->setEnabled(true);
    }
};

QString dialogName(const QDialog &dialog)
{
    return QStringLiteral("\"%1\" (%2)").arg(dialog.windowTitle(), dialog.objectName());
}

const QPushButton *defaultButton(const QDialog &dialog)
{
    if (const auto *box = qobject_cast<const QMessageBox *>(&dialog))
        return box->defaultButton();
    for (const QPushButton *b : dialog.findChildren<QPushButton *>())
        if (b->isDefault())
            return b;
    return nullptr;
}

} // namespace

void keepUsable(QWidget &window)
{
    if (!window.isWindow())
        return;
    if (!window.findChild<UsableGuard *>(QLatin1String(kGuardName), Qt::FindDirectChildrenOnly))
        window.installEventFilter(new UsableGuard(&window));
    UsableGuard::mend(&window);
}

QString unusableReason(const QDialog &dialog)
{
    if (!dialog.isEnabled())
        return QStringLiteral("dialog %1 is disabled").arg(dialogName(dialog));
    const QPushButton *b = defaultButton(dialog);
    if (b && !b->isEnabled())
        return QStringLiteral("default button \"%1\" of dialog %2 is disabled").arg(b->text(), dialogName(dialog));
    return QString();
}

RefusalReport setRefusalReport(RefusalReport report)
{
    std::swap(currentReport(), report);
    return report;
}

void reportRefusal(const QString &why)
{
    if (const RefusalReport &r = currentReport())
        r(why);
    else
        qCritical("Refused dialog: %s", qPrintable(why));
}

int execModal(QDialog &dialog)
{
    keepUsable(dialog);
    if (ModalHook h = currentHook()) {
        const QString why = unusableReason(dialog);
        if (!why.isEmpty()) {
            reportRefusal(why);
            return QDialog::Rejected;
        }
        return h(dialog);
    }
    return dialog.exec();
}

ModalHook setModalHook(ModalHook hook)
{
    std::swap(currentHook(), hook);
    return hook;
}

} // namespace platform
