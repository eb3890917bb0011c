// Connections: the alias and login dialogs, the command-line connect, the
// parameter sets applied to the alias before each connection, and the
// after-connect step that brings the window to life.
#include "workbench/fBrowser.h"

#include "engine/SqlText.h"
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/Transaction.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "workbench/ConnectParams.h"
#include "workbench/DM1.h"
#include "workbench/Repository.h"
#include "workbench/Launcher.h"
#include "workbench/fAliases.h"
#include "workbench/fExternal.h"
#include "workbench/fLoginPrompt.h"
#include "workbench/mysimplere.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>


void TfmBrowser::MakeUserParams()
{
    UserParams = connectparams::makeUserParams(AliasParams);
}

void TfmBrowser::MakeNationalParams()
{
    NationalParams = connectparams::makeNationalParams(AliasParams);
}

void TfmBrowser::ConnectUserDB()
{
    engine::Session::defaultSession().modifyAlias(CurrentAlias, UserParams);
    DM->Database.open();
}

void TfmBrowser::ConnectNationalDB()
{
    engine::Session::defaultSession().modifyAlias(CurrentAlias, NationalParams);
    DM->DatabaseN.open();
}

void TfmBrowser::ConnectDebugDB()
{
    engine::Session::defaultSession().modifyAlias(CurrentAlias, AliasParams);
    DM->DataBase2.open();
}

void TfmBrowser::applyConnectionParams(const QString &user, const QString &password)
{
    const QStringList lines{QStringLiteral("USER NAME=") + user, QStringLiteral("PASSWORD=") + password};
    for (engine::Database *db : {&DM->Database, &DM->DatabaseN, &DM->DataBase2}) {
        db->setAliasName(CurrentAlias);
        db->setParams(lines);
    }
}

bool TfmBrowser::connectAll()
{
    try {
        MakeUserParams();
        MakeNationalParams();
        ConnectUserDB();
        ConnectNationalDB();
        ConnectDebugDB();
    } catch (const engine::Error &e) {
        ShowError(connectparams::connectFailureText(e));
        // The earlier connection was closed before this one was tried.
        SetUnconnectedState();
        SetError();
        return false;
    }
    setWindowTitle(connectparams::captionWithDatabase(windowTitle(), CurrentAlias));
    return true;
}

void TfmBrowser::SBConnectClick()
{
    showWorkArea(TSDebugger, SBGoDebugger);
    PagePCProcTrig->setCurrentWidget(TSProc);
    ConnectInteractive();
    PagePCProcTrig->setCurrentWidget(TSProc);
    SBGoDebugger->setChecked(true);
    DefaultCursor();
}

void TfmBrowser::ConnectInteractive()
{
    m_latch.close();
    DM->CloseLists();
    DM->Database.close();
    DM->DataBase2.close();
    DM->DatabaseN.close();
    ReconnectPending = true;

    if (!m_aliases || !m_login || platform::execModal(*m_aliases) != QDialog::Accepted) {
        ShowNotConnected();
        return;
    }
    repaint();
    CurrentAlias = m_aliases->SelectedAlias;
    m_login->LAlias->setText(CurrentAlias);
    m_login->EditUserName->setText(connectparams::valueOfLine(m_aliases->UserLine));
    if (platform::execModal(*m_login) != QDialog::Accepted) {
        ShowNotConnected();
        return;
    }

    SetBusy();
    const QString user = m_login->EditUserName->text();
    const QString password = m_login->EditPassword->text();
    applyConnectionParams(user, password);
    AliasParams = m_aliases->MParams->toPlainText().split(QLatin1Char('\n'));
    if (!connectAll())
        return;
    LoginUser = connectparams::upperLatin(user);
    LoginPassword = password;
    AfterConnect();
    if (StatusFailed)
        return; // the after-connect step reported its own failure
    SetReady();
}

void TfmBrowser::ConnectFromCommandLine(const QStringList &arguments)
{
    AliasParams.clear();
    UserParams.clear();
    NationalParams.clear();
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return;
    CurrentAlias = arguments.value(0);
    applyConnectionParams(arguments.value(1), arguments.value(2));
    try {
        AliasParams = engine::Session::defaultSession().aliasParams(CurrentAlias);
    } catch (const engine::Error &e) {
        // An alias the engine does not know: the window opens unconnected.
        ShowError(e.message());
        CurrentAlias.clear();
        return;
    }
    UserParams = AliasParams;
    NationalParams = AliasParams;
    if (!connectAll())
        return;
    LoginUser = arguments.value(1);
    LoginPassword = arguments.value(2);
    StartedFromCommandLine = true;
    AfterConnect();
}

void TfmBrowser::AfterConnect()
{
    // Nothing that fails in here may leave the window disabled: every step
    // that can fail reports and the rest goes on; anything unforeseen ends in
    // the error state with its text.
    ProtocolUser = LoginUser;
    ExternalTablesPath.clear(); // the last database's folder is not this one's
    try {
        EnsureMetaStructures();
        if (MetaPresent)
            ReadExternalTablesPath();
        OpenConnectionLists();
        ShowDebuggerControls();
        ResetEditorControls();
        if (MetaPresent)
            OpenOwnHistory();
        ShowConnectedControls();
        if (!StartedFromCommandLine)
            ReopenChooserLists();
        setEnabled(true);
    } catch (const engine::Error &e) {
        ShowError(e.message());
        SetError();
    }
}

void TfmBrowser::ReadExternalTablesPath()
{
    DM->Q6Show(QStringLiteral("select ExternalPath from meta$External"));
    if (!DM->Q6.isEmpty() && !DM->Q6.isNullAt(0, 0)) {
        ExternalTablesPath = DM->Q6.valueAt(0, 0).toString();
        return;
    }
    if (fmExternal)
        fmExternal->Offer(engine::Runtime::ownExternalFolder(DM->Database.settings().serverName));
    // Left unset (or closed) leaves it empty.
    if (fmExternal && platform::execModal(*fmExternal) == 1) {
        ExternalTablesPath = fmExternal->ExternalTablesPath;
        repaint();
        DM->Q6Exec(QStringLiteral("insert into meta$External values (\"%1\")").arg(engine::quotedConstant(ExternalTablesPath)));
    }
}

void TfmBrowser::OpenConnectionLists()
{
    try {
        engine::TransactionGuard transaction(DM->Database);
        DM->OpenUserLists();
        if (MetaPresent)
            RefreshPointList();
        transaction.commit();
        StatusPanel1->clear();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }

    try {
        engine::TransactionGuard transaction(DM->DatabaseN);
        DM->OpenNationalLists();
        transaction.commit();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
}

void TfmBrowser::ShowDebuggerControls()
{
    if (MetaPresent) {
        button(QStringLiteral("SBRefreshAll"))->setEnabled(true);
        SBEraseMeta->setVisible(true);
        CBVerboseCol->setEnabled(true);
    }

    for (QWidget *p : {TSBPV, TSPPV, TSBPProtocol, TSTPProtocol, TSPointList})
        setTabShown(PagePCProcTrig, p, MetaPresent);
    setTabShown(PCSQL, TSHistory, MetaPresent);
    if (!MetaPresent) {
        CBWithDebug->setEnabled(false);
        return;
    }
    try {
        ProtocolUser = DM->Database.currentUser();
        SessionNumber = repository().ensureSession(ProtocolUser);
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
    SBNewSession->setText(QStringLiteral("Try # %1").arg(SessionNumber));
    for (QWidget *w : std::initializer_list<QWidget *>{SBSpyMode, SBNewSession, SBDebugMode, CBWithDebug})
        w->setEnabled(true);
}

void TfmBrowser::ResetEditorControls()
{
    for (const char *name : {"SBSyntaxOff", "SBSyntaxOn", "SBSPLine", "SBNewProc", "SBOpenProc", "SBNewTrig",
                             "SBOpenTrig"})
        button(QLatin1String(name))->setEnabled(true);
    SBSpyMode->setEnabled(true);
    for (QPlainTextEdit *e : {REProc, RETrig}) {
        e->clear();
        e->document()->setModified(false);
    }
    for (const char *name : {"SBSaveProc", "SBDebDropProc", "SBSaveTrig", "SBDebDropTrigger", "SBdebExecSQL",
                             "SBdebShowSet"})
        button(QLatin1String(name))->setEnabled(false);
}

void TfmBrowser::OpenOwnHistory()
{
    button(QStringLiteral("SBClearHistory"))->setEnabled(true);
    // Each user sees his own history only.
    DM->THistory.close();
    DM->THistory.setFilter(QStringLiteral("USERNAME='%1'").arg(engine::singleQuotedConstant(DM->GetUserName())));
    DM->THistory.setFiltered(true);
    try {
        DM->THistory.open();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
}

void TfmBrowser::ShowConnectedControls()
{
    SQLBody->clear();
    for (const char *name : {"SBExecSQL", "SBsqlSPCut", "SBsqlSPCopy", "SBsqlSPPaste", "SBsqlSPUndo",
                             "SBsqlReadSQL", "SBsqlWriteSQL", "SBExecBk"})
        button(QLatin1String(name))->setEnabled(true);
    for (QMenu *m : {MetaBrowser1, MetaDebugger1, SQLMaster1})
        m->menuAction()->setVisible(true);
    for (QWidget *w : std::initializer_list<QWidget *>{SBGoBrowser, SBGoMaster, SBGoLorvane, PCMain})
        w->setEnabled(true);

    IsConnected = true;
    StatusReady = true;
    StatusFailed = false;
    EnableBrowserButtons();
    UpdateStatusLight();
    LProcName->setText(QStringLiteral("Unknown"));
    LTrigName->setText(QStringLiteral("Unknown"));
}

void TfmBrowser::SetUnconnectedState()
{
    IsConnected = false;
    DM->CloseLists();
    for (engine::Database *db : {&DM->Database, &DM->DatabaseN, &DM->DataBase2})
        db->close();
    setWindowTitle(connectparams::captionWithDatabase(windowTitle(), QStringLiteral("None")));
    for (QMenu *m : {MetaBrowser1, MetaDebugger1, SQLMaster1})
        m->menuAction()->setVisible(false);
    for (QWidget *w : std::initializer_list<QWidget *>{SBGoBrowser, SBGoMaster, SBGoLorvane, PCMain})
        w->setEnabled(false);
}

void TfmBrowser::ShowNotConnected()
{
    // The connections are already closed: the window looks as it did before
    // the first connect, so nothing offers a command that cannot run.
    SetUnconnectedState();
    ShowNoEvents();
    StatusPanel1->setText(QStringLiteral("   Hint: Connect to database."));
}

void TfmBrowser::EnableBrowserButtons()
{
    for (QAbstractButton *b : m_buttons)
        if (b->property("enabledOnConnect").toBool())
            b->setEnabled(true);
    button(QStringLiteral("SBRefreshAll"))->setEnabled(MetaRenewPresent);
    button(QStringLiteral("SBSetGenValue"))->setEnabled(DM->QGenerator.isActive() && !DM->QGenerator.isEmpty());
}

void TfmBrowser::OpenHistory()
{
    // Reopened with its grids frozen and left on the newest statement.
    engine::ControlsFrozen frozen(DM->THistory);
    try {
        DM->THistory.close();
        DM->THistory.open();
        DM->THistory.last();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
}

void TfmBrowser::RememberCatalogueNames()
{
    DM->RememberAll();
}
void TfmBrowser::SBGoLorvaneClick() { launcher::GoLorvane(*this); }
