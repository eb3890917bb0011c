// The guard that settles uncommitted work before a page is left or the
// window closes, the page change with its four blocks, and the close.
#include "privileges/grant_un.h"

#include "engine/Error.h"
#include "platform/Prompter.h"
#include "platform/PanelStatusBar.h"
#include "privileges/GrantGroups.h"
#include "privileges/gdata_un.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

using platform::Prompter;

namespace {

const QString kConfirm = QStringLiteral("Confirmation");

// The value of a connection parameter, its name compared without case.
QString paramValue(const QStringList &params, const QString &name)
{
    for (const QString &line : params) {
        const int eq = int(line.indexOf(QLatin1Char('=')));
        if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

// Keys with which a page control changes its page.
bool pageKey(const QKeyEvent *k, bool onTabBar)
{
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    switch (k->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return ctrl;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return onTabBar;
    default:
        return false;
    }
}

} // namespace

framerules::PendingWork TLorvane::pendingWork() const
{
    framerules::PendingWork w;
    w.grantGroups = Commitbtn->isEnabled() || AddggName->text().trimmed() != QLatin1String("&AddGrantGroup");
    w.users = okbtn->isEnabled() || usergrid->isHidden() || usergp->isHidden();
    w.assignments = gokbtn->isEnabled();
    return w;
}

bool TLorvane::exitaction()
{
    const framerules::PendingWork work = pendingWork();
    const QString question = framerules::guardQuestion(work);
    if (question.isEmpty())
        return true;
    const Prompter::Answer answer =
        Prompter::instance().confirm(kConfirm, question, Prompter::Buttons::YesNoCancel);
    if (answer == Prompter::Answer::Cancel)
        return false;
    const bool commit = answer == Prompter::Answer::Yes;
    try {
        completeOpenEntries(work, commit);
    } catch (const std::exception &e) {
        // A save that failed commits nothing: the entries are abandoned and
        // the work they were to join is rolled back, and the user told so.
        abandonOpenEntries();
        rollbackQuietlyAndShow(QString::fromUtf8(e.what()) + QStringLiteral("\n\n") + framerules::nothingCommittedText());
        return false;
    }
    return settleTransaction(commit);
}

void TLorvane::completeOpenEntries(const framerules::PendingWork &work, bool commit)
{
    // Open entries are completed or abandoned first; their statements join
    // the transaction that is settled next.
    if (work.grantGroups && AddggName->text().trimmed() != QLatin1String("&AddGrantGroup")) {
        if (commit) {
            // The editor's own refusal only shows its text; here it must
            // stop the commit.
            const QString problem = privileges::groupNameProblem(gdefname->text());
            if (!problem.isEmpty())
                throw engine::Error(problem);
            AddggNameClick();
        } else {
            DelggNameClick();
        }
    }
    if (usergrid->isHidden())
        commit && svu->isEnabled() ? svuClick() : escuClick();
    if (usergp->isHidden())
        commit && svugp->isEnabled() ? svugpClick() : escugpClick();
}

void TLorvane::abandonOpenEntries()
{
    if (AddggName->text().trimmed() != QLatin1String("&AddGrantGroup"))
        showGroupEdit(privileges::GroupEdit::Browse);
    if (usergrid->isHidden())
        escuClick();
    if (usergp->isHidden())
        escugpClick();
}

void TLorvane::rollbackQuietlyAndShow(const QString &error)
{
    if (GrantData && GrantData->grantdb.isConnected()) {
        try {
            GrantData->transaction.rollback();
        } catch (const engine::Error &) {
            // The first error is the one worth showing.
        }
    }
    resetPageControls();
    AppException(error);
}

bool TLorvane::settleTransaction(bool commit)
{
    if (GrantData && GrantData->grantdb.isConnected()) {
        try {
            if (commit)
                GrantData->transaction.commit();
            else
                GrantData->transaction.rollback();
        } catch (const engine::Error &e) {
            // A failed commit has rolled back: no page's work is left, so
            // no page may offer to commit it.
            resetPageControls();
            AppException(e.message());
            return false;
        }
    }
    resetPageControls();
    return true;
}

void TLorvane::resetPageControls()
{
    m_usersPendingHidden = m_holdersPendingHidden = false;
    for (QWidget *w : {static_cast<QWidget *>(Commitbtn), static_cast<QWidget *>(RollBackbtn),
                       static_cast<QWidget *>(okbtn), static_cast<QWidget *>(escbtn), static_cast<QWidget *>(gokbtn),
                       static_cast<QWidget *>(gescbtn)})
        w->setEnabled(false);
    for (QAction *a : {Commit2, RollBack2, Commit1, RollBack1, Commit3, RollBack3})
        a->setEnabled(false);
    refreshGroupLists();
    const bool rows = GrantListHasRows();
    rmvG->setEnabled(rows);
    Removebtn->setEnabled(rows);
    RemoveAllbtn->setEnabled(rows);
    rmvag->setEnabled(rows);
    GrantDefSDDataChange();
}

bool TLorvane::GrantPagesChanging()
{
    if (GrantPages->currentIndex() >= 2)
        return exitaction();
    return true;
}

bool TLorvane::selectPage(int index)
{
    if (index == GrantPages->currentIndex() || !GrantPages->isTabEnabled(index) || !GrantPages->isTabVisible(index))
        return false;
    if (!GrantPagesChanging())
        return false;
    GrantPages->setCurrentIndex(index);
    guarded([this] { GrantPagesChange(); });
    return true;
}

bool TLorvane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == btnpanel && event->type() == QEvent::Resize) {
        btnpanelResize();
    } else if (watched == PrivGrid && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent *>(event)->text();
        if (!typed.isEmpty() && typed.at(0).isPrint() && !typed.at(0).isSpace()) {
            guarded([this, typed] { PrivGridKeyPress(typed); });
            return true; // the grid's own search would move elsewhere
        }
    } else if (watched == DefParamList && event->type() == QEvent::MouseButtonPress) {
        DefParamListDropDown();
    } else if (watched == static_cast<QObject *>(Grantsb) && event->type() == QEvent::Resize && StatusProgress) {
        placeStatusProgress();
    } else if (watched == GrantPages->tabBar() && event->type() == QEvent::MouseButtonPress) {
        // The user's click on a tab goes through the guard; the tab bar
        // itself never sees it.
        const auto *m = static_cast<QMouseEvent *>(event);
        if (m->button() == Qt::LeftButton) {
            const int index = GrantPages->tabBar()->tabAt(m->position().toPoint());
            if (index >= 0)
                selectPage(index);
            return true;
        }
    } else if ((watched == GrantPages->tabBar() || watched == GrantPages) && event->type() == QEvent::KeyPress) {
        if (!m_inPageKey && pageKey(static_cast<QKeyEvent *>(event), watched == GrantPages->tabBar())) {
            // Where the key leads is the page control's business; the guard
            // decides first whether the page may be left at all.
            if (!GrantPagesChanging())
                return true;
            const int before = GrantPages->currentIndex();
            m_inPageKey = true;
            QCoreApplication::sendEvent(watched, event);
            m_inPageKey = false;
            if (GrantPages->currentIndex() != before)
                guarded([this] { GrantPagesChange(); });
            return true;
        }
    } else if (watched == GrantPages->tabBar() && event->type() == QEvent::Wheel) {
        return true; // the wheel does not page past the guard
    }
    return QMainWindow::eventFilter(watched, event);
}

void TLorvane::GrantPagesChange()
{
    const QString caption = GrantPages->tabText(GrantPages->currentIndex());
    privilegePageChange(caption == QLatin1String("GrantInfo"));
    userGroupsPageChange(caption == QLatin1String("UserGroups"));
    grantActionPageChange(caption == QLatin1String("GrantAction"));
    grantGroupsPageChange(caption == QLatin1String("GrantGroups"));
}

void TLorvane::privilegePageChange(bool shown)
{
    if (shown) {
        resizebtnpanel();
        const QString user = GrantData ? paramValue(GrantData->grantdb.params(), QStringLiteral("user name")) : QString();
        if (auto *item = GrantorGroup->findChild<QRadioButton *>(QStringLiteral("GrantorGroup1")))
            item->setText(user);
        USER1->setText(user);
        // The choice shown and the list's filter must agree.
        if (OpenTrigList())
            choosePrivilege(0);
    }
    for (QMenu *m : {UserObjects1, MetaObjects1, Grantor1, Options1, SortOrder1})
        m->menuAction()->setEnabled(shown);
    Grant2->setEnabled(shown && Grantbtn->isEnabled());
    Revoke2->setEnabled(shown && Revokebtn->isEnabled());
}

void TLorvane::userGroupsPageChange(bool shown)
{
    if (shown) {
        OpenUserGroupSets();
        ubuttons();
        return;
    }
    for (QToolButton *b : {uplus, umodify, uminus, ugplus, ugmodify, ugminus})
        b->setEnabled(false);
    User2->menuAction()->setEnabled(false);
    UserG2->menuAction()->setEnabled(false);
    for (QAction *a : {MoveToGroup3, MoveAllToGroup1, RemoveFromGroup1, RemoveAllFromGroup1, Commit1, RollBack1})
        a->setEnabled(false);
}

void TLorvane::grantActionPageChange(bool shown)
{
    if (shown) {
        OpenGrantActionSets();
        ubuttons();
        return;
    }
    for (QAction *a : {Grant1, GrantAll1, Revoke1, RevokeAll1, Commit3, RollBack3})
        a->setEnabled(false);
}

void TLorvane::grantGroupsPageChange(bool shown)
{
    if (shown)
        OpenGrantGroupSets();
    // The menu items mirror the page's buttons while it is shown.
    mvG->setEnabled(shown && Movebtn->isEnabled());
    MvaG->setEnabled(shown && MoveallBtn->isEnabled());
    rmvG->setEnabled(shown && Removebtn->isEnabled());
    rmvag->setEnabled(shown && RemoveAllbtn->isEnabled());
    Commit2->setEnabled(shown && Commitbtn->isEnabled());
    RollBack2->setEnabled(shown && RollBackbtn->isEnabled());
}

void TLorvane::Exit1Click()
{
    close();
}

void TLorvane::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        canClose = FormClose();
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TLorvane::FormCloseQuery(bool &canClose)
{
    canClose = Prompter::instance().confirm(kConfirm, QStringLiteral("Do you want to exit the Lorvane?"))
                   == Prompter::Answer::Yes
               && exitaction();
}
