// The repository in the user's database: the check and install after each
// connect, and the erase command.
#include "workbench/fBrowser.h"

#include "engine/Error.h"
#include "platform/Prompter.h"
#include "workbench/DM1.h"
#include "workbench/Repository.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolButton>

Repository TfmBrowser::repository() const
{
    return Repository(DM->Database, DM->Q6.statement(), DM->Q7.statement());
}

void TfmBrowser::SetNoRepositoryState()
{
    VerboseColumns = false;
    CBVerboseCol->setChecked(false);
    CBVerboseCol->setEnabled(false);
    SBRefreshAll->setEnabled(false);
    MetaPresent = false;
    MetaRenewPresent = false;
}

void TfmBrowser::EnsureMetaStructures()
{
    Repository r = repository();
    SetNoRepositoryState(); // until the check says otherwise, also when it raises
    const Repository::InstallResult result = r.ensure([this](int step) {
        if (step < 0) {
            PBar->setVisible(false);
            return;
        }
        PBar->setRange(0, 10);
        PBar->setValue(step);
        PBar->setVisible(true);
        PBar->repaint();
    });
    switch (result) {
    case Repository::InstallResult::Present:
        MetaPresent = true;
        break;
    case Repository::InstallResult::Declined:
    case Repository::InstallResult::Failed: // said why; as after a No
        repaint();
        SetNoRepositoryState();
        break;
    case Repository::InstallResult::Installed:
        ShowMessage(QStringLiteral("Press \"Refresh\" button (on the Tables page) before you check \"verbose\"."));
        MetaPresent = true;
        break;
    }
    MetaRenewPresent = MetaPresent && r.procedureExists(QStringLiteral("META$RENEW"));
}

void TfmBrowser::SBEraseMetaClick()
{
    if (platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), QStringLiteral("Erase now?"))
        != platform::Prompter::Answer::Yes)
        return;
    Repository r = repository();
    try {
        if (r.debugTablesExist()) {
            ShowMessage(QStringLiteral("Press \"Clear all\" button on page \"BreakPoint List\" first.\r\n"
                                       "If \"Clear all\" button disabled - drop external META$ tables manually."));
            return;
        }
        SetBusy();
        PagePCProcTrig->setCurrentIndex(0);
        // Nothing may stay open on the tables about to be dropped.
        DM->QPointList.close();
        DM->THistory.close();
        m_latch.close();
        r.erase();
    } catch (const engine::Error &e) {
        // What the erase left (all of it, when it was refused) is shown again.
        try {
            if (r.tableExists(QStringLiteral("META$POINTS")))
                RefreshPointList();
            if (r.tableExists(QStringLiteral("META$HISTORY")))
                OpenHistory();
        } catch (const engine::Error &) {
            // the erase's own failure is the one to report
        }
        ShowError(e.message());
        DefaultCursor();
        SetError();
        return;
    }
    SetNoRepositoryState();
    ExternalTablesPath.clear(); // its META$EXTERNAL row went with the table
    for (QWidget *p : {TSBPV, TSPPV, TSBPProtocol, TSTPProtocol, TSPointList})
        setTabShown(PagePCProcTrig, p, false);
    setTabShown(PCSQL, TSHistory, false);
    SBSpyMode->setEnabled(false);
    CBWithDebug->setEnabled(false);
    SBEraseMeta->setVisible(false);
    DefaultCursor();
    SetReady();
}
