// The administrative tables seen from the window: their creation and erase,
// the data sets each page opens, the progress display, and what the data
// module's handlers change on the window.
#include "privileges/grant_un.h"

#include "engine/Error.h"
#include "platform/PanelStatusBar.h"
#include "platform/Prompter.h"
#include "privileges/AdminTables.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

using platform::Prompter;

namespace {

// Status panel 2 names the running step; StatusProgress, once the first show
// has made it, moves with it.
class StatusPanelProgress : public privileges::OperationProgress {
public:
    explicit StatusPanelProgress(TLorvane &w) : m_w(w) {}
    void showStatus(const QString &text) override
    {
        m_w.Grantsb->setPanelText(2, text);
        m_w.Grantsb->repaint();
    }
    void startProgress(int maximum) override
    {
        if (QProgressBar *bar = m_w.StatusProgress) {
            bar->setRange(0, maximum);
            bar->setValue(0);
        }
    }
    void stepProgress() override
    {
        if (QProgressBar *bar = m_w.StatusProgress)
            bar->setValue(bar->value() + 1);
    }
    void resetProgress() override
    {
        if (QProgressBar *bar = m_w.StatusProgress)
            bar->setValue(0);
    }

private:
    TLorvane &m_w;
};

bool hasRow(const engine::DataSet &ds)
{
    return ds.isActive() && !ds.isEmpty();
}

void openIfClosed(engine::DataSet &ds)
{
    if (!ds.isActive())
        ds.open();
}

} // namespace

privileges::OperationProgress &TLorvane::progress()
{
    if (!m_progress)
        m_progress = std::make_unique<StatusPanelProgress>(*this);
    return *m_progress;
}

QStringList TLorvane::CreateGrantTables()
{
    return privileges::AdminTables(*GrantData, progress()).create();
}

void TLorvane::erasebtnClick()
{
    const QString alias = GrantData->grantdb.aliasName();
    if (Prompter::instance().confirm(QStringLiteral("Confirmation"),
                                     QStringLiteral("Drop all additional privilege structures (GrantGroups and "
                                                    "UserGroups) from database ")
                                         + alias + QStringLiteral("?"))
        != Prompter::Answer::Yes)
        return;
    const Prompter::Answer revoke = Prompter::instance().confirm(
        QStringLiteral("Confirmation"), QStringLiteral("Revoke privileges granted through and registered by GrantGroups?"),
        Prompter::Buttons::YesNoCancel);
    if (revoke == Prompter::Answer::Cancel)
        return;
    HideGroupPages();
    try {
        privileges::AdminTables(*GrantData, progress()).erase(revoke == Prompter::Answer::Yes);
    } catch (const engine::Error &e) {
        // Refused before anything was sent, or everything rolled back: the
        // tables and their pages are still there.
        showPages(true);
        AppException(e.message());
        return;
    }
    erasebtn->setEnabled(false);
    Erasemn->setEnabled(false);
    if (GrantData->TrigList.isActive())
        GrantData->reopenTrigList(); // the revokes are in it now
}

void TLorvane::HideGroupPages()
{
    const bool moved = GrantPages->currentWidget() != GrantInfo;
    GrantPages->setCurrentWidget(GrantInfo);
    for (int i = 2; i <= 4; ++i) {
        GrantPages->setTabVisible(i, false);
        GrantPages->setTabEnabled(i, false);
    }
    for (QMenu *m : {Groups1, Users1, GrantAction1})
        m->menuAction()->setVisible(false);
    GrantData->closeGroupDataSets();
    if (moved)
        GrantPagesChange();
}

bool TLorvane::OpenTrigList()
{
    openIfClosed(GrantData->TrigList);
    return hasRow(GrantData->TrigList);
}

void TLorvane::OpenGrantGroupSets()
{
    openIfClosed(GrantData->MetaGrantDef);
    openIfClosed(GrantData->MetaGrantlist);
}

void TLorvane::OpenUserGroupSets()
{
    GrantData->setCandidatesFor(&GrantData->usersgrp);
    if (!GrantData->usergrp.isActive()) {
        GrantData->usergrp.open();
        GrantData->usersgrp.open();
        openIfClosed(GrantData->usersdef);
    }
    GrantData->FilterUsersDef(GrantData->usersgrp, false);
}

void TLorvane::OpenGrantActionSets()
{
    GrantData->setCandidatesFor(&GrantData->metasgrp);
    if (!GrantData->metagrp.isActive()) {
        GrantData->metagrp.open();
        GrantData->metasgrp.open();
        openIfClosed(GrantData->usersdef);
        GrantData->FilterUsersDef(GrantData->metasgrp, false);
        return;
    }
    // The guard may have rolled back the page's work when it was left: the
    // holders shown are read again.
    GrantData->FilterUsersDef(GrantData->metasgrp, true);
}

bool TLorvane::GrantListHasRows()
{
    return GrantData && hasRow(GrantData->MetaGrantlist);
}

void TLorvane::GrantDefSDDataChange()
{
    if (GrantData)
        GrantData->GrantDefSDDataChange();
}

void TLorvane::CloseDataSets()
{
    GrantData->closeGroupDataSets();
    for (engine::DataSet *ds : std::initializer_list<engine::DataSet *>{
             &GrantData->TrigList, &GrantData->q, &GrantData->addus, &GrantData->ufn, &GrantData->ggopt,
             &GrantData->ggopt2, &GrantData->ggins})
        ds->close();
}

bool TLorvane::grantGroupsPageActive() const
{
    return GrantPages->currentWidget() == GrantGroups;
}

void TLorvane::setGroupButtons(bool add, bool deleteAndModify)
{
    AddggName->setEnabled(add);
    DelggName->setEnabled(deleteAndModify);
    ModifyGrantGroup->setEnabled(deleteAndModify);
}

void TLorvane::enableGroupCommit()
{
    for (QPushButton *b : {Commitbtn, RollBackbtn})
        b->setEnabled(true);
    for (QAction *a : {Commit2, RollBack2})
        a->setEnabled(true);
}

void TLorvane::setRemoveButtons(bool enabled)
{
    for (QPushButton *b : {Removebtn, RemoveAllbtn})
        b->setEnabled(enabled);
    for (QAction *a : {rmvG, rmvag})
        a->setEnabled(enabled);
}

// The privilege cell of a group's row is not edited in the grid: privileges
// come into a group through the grant dialog only.
void TLorvane::setPrivilegeButton(bool) {}

void TLorvane::setRevokeEnabled(bool enabled)
{
    Revokebtn->setEnabled(enabled);
    if (GrantPages->currentWidget() == GrantInfo)
        Revoke2->setEnabled(enabled);
}
