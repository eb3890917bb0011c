// The main window offscreen: start-up, connections, status light, page
// switching, keys, font and exit, against real embedded databases.
#include "WorkbenchFixture.h"
#include "platform/Help.h"
#include "platform/Settings.h"
#include "support/GuiTestMain.h"
#include "workbench/ProcText.h"
#include "workbench/fAliases.h"
#include "workbench/mysimplere.h"
#include "engine/StatementLog.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>

using platform::Prompter;
using platform::ScriptedPrompter;
using testsupport::exec;
using testsupport::TestDatabase;
using namespace wbtest;

namespace {
const QString kNone = " Marrowby" + QString(40, ' ') + "Database: None";
const QString kNoRepository = "There are no META$ structures in this DB. Create?";

QString shownPicture(const TfmBrowser &b)
{
    for (QLabel *l : {b.IShades, b.ISad, b.IIndif, b.Iooh})
        if (!l->isHidden())
            return l->objectName();
    return QString();
}
// Counts the key presses (Ctrl alone aside) that reach a widget past the window's own handling.
class KeysReaching : public QObject {
public:
    explicit KeysReaching(QWidget *w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        // The modifier's own press comes first and is no command key.
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() != Qt::Key_Control)
            ++count;
        return false;
    }
};
} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void startWithoutArguments();
    void interactiveConnect();
    void aliasSavedByAnotherProgramIsOffered();
    void connectDialogShowsParameterLinesWhole();
    void connectCancelledLeavesConnectionsClosed();
    void connectToBrokenAliasReportsServerText();
    void commandLineStart();
    void commandLineUnknownAlias();
    void statusLightFollowsActions();
    void storedFontApplied();
    void chosenFontStored();
    void keysReachTheVisiblePage();
    void historyWhileHiddenDoesNothing();
    void exitAsksFirst();
    void masterThenBrowserReconnects();
    void menusSwitchPages();
    void localRemoteFollowTheCheckedButton();
    void stateFollowsTheConnections();
};

void TestBrowser::startWithoutArguments()
{
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    Workbench w({});
    TfmBrowser &b = *w.browser;
    QCOMPARE(b.PCMain->currentWidget(), b.TSDebugger);
    QVERIFY(!b.PCMain->isEnabled());
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: No events"));
    QCOMPARE(b.StatusPanel1->text(), QString("   Hint: Connect to database."));
    QCOMPARE(shownPicture(b), QString("IIndif"));
    QCOMPARE(b.windowTitle(), kNone);
    QVERIFY(!b.MetaBrowser1->menuAction()->isVisible());
    QVERIFY(!b.SBGoBrowser->isEnabled());
    QVERIFY(!b.SBGoLorvane->isEnabled());
    QVERIFY(b.Lorvane1->isEnabled());
    QVERIFY(b.SBGoDebugger->isChecked());
    QVERIFY(b.SBDebugMode->isChecked());
    // Before the first connect the procedure editor tells how to write a
    // progress point; it is no text of the user's.
    QCOMPARE(lines(b.REProc), proctext::InitialProcedureText());
    QVERIFY(!b.REProc->document()->isModified());
    QVERIFY(b.SBEraseMeta->isHidden());
    QVERIFY(!b.IsConnected);
    QVERIFY(p.calls().isEmpty());
    // Help Topics where no help is installed says so.
    platform::HelpService::instance().setHelpFolder(QDir::tempPath() + "/no-help-here");
    b.HelpTopics1->trigger();
    platform::HelpService::instance().setHelpFolder(QString());
    QCOMPARE(p.texts(), QStringList{"Help is not installed: no page for marrowbyhelp.hlp was found in "
                                    + QDir::tempPath() + "/no-help-here."});
}

// The privilege manager saves an alias while the workbench runs: the next
// Connect offers it, with the parameters the file now holds.
void TestBrowser::aliasSavedByAnotherProgramIsOffered()
{
    TestDatabase t;
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d("SAVED ELSEWHERE", "SYSDBA");
    p.answer(Prompter::Answer::No);
    Workbench w({});
    TfmBrowser &b = *w.browser;
    QVERIFY(!engine::Session::defaultSession().aliasNames().contains(d.alias));
    const QString file = engine::Session::configurationFile();
    engine::AliasStore other;
    other.load(file);
    QStringList params = engine::AliasStore::defaultParams("INTRBASE");
    params.replaceInStrings(QRegularExpression("^SERVER NAME=.*"), "SERVER NAME=" + t.path());
    other.addAlias(d.alias, "INTRBASE", params);
    other.save();

    b.SBConnectClick();
    QCOMPARE(d.shown, (QStringList{"fmAliases", "fmLoginPrompt"}));
    QCOMPARE(w.aliases->MParams->toPlainText(), params.join('\n'));
    QVERIFY(b.IsConnected);
    QCOMPARE(b.CurrentAlias, d.alias);
    other.deleteAlias(d.alias);
    other.save();
    b.SBConnectClick(); // read again: gone, nothing to pick
    QVERIFY(w.aliases->LBAliases->findItems(d.alias, Qt::MatchExactly).isEmpty());
    QVERIFY(w.aliases->LBAliases->count() > 0);
    QVERIFY(!w.dm->Database.isConnected());
}

void TestBrowser::connectDialogShowsParameterLinesWhole()
{
    const QString path = "/srv/databases/customers/region-north/customers_2026.fdb";
    ScopedAlias deep("DEEP", path);
    bool local = true;
    TfmAliases d(&local);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const QList<QListWidgetItem *> items = d.LBAliases->findItems("DEEP", Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    d.LBAliases->setCurrentItem(items.first());
    QCOMPARE(d.MParams->document()->firstBlock().text(), "SERVER NAME=" + path);
    QCoreApplication::processEvents(); // the dialog takes the width it now needs
    QCOMPARE(d.MParams->horizontalScrollBar()->maximum(), 0);
    QVERIFY(d.MParams->viewport()->width() >= d.MParams->fontMetrics().horizontalAdvance("SERVER NAME=" + path));
}

void TestBrowser::interactiveConnect()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d("TESTDB", "sysdba", "secret");
    p.answer(Prompter::Answer::No);
    Workbench w({});
    TfmBrowser &b = *w.browser;
    b.SBConnectClick();

    QCOMPARE(d.shown, (QStringList{"fmAliases", "fmLoginPrompt"}));
    QCOMPARE(p.texts(), QStringList{kNoRepository});
    QVERIFY(p.problems().isEmpty());
    QCOMPARE(w.login->EditUserName->text(), QString("sysdba"));
    QCOMPARE(b.LoginUser, QString("SYSDBA"));
    QCOMPARE(b.LoginPassword, QString("secret"));
    QVERIFY(b.IsConnected);
    QVERIFY(w.dm->Database.isConnected());
    QVERIFY(w.dm->DatabaseN.isConnected());
    QVERIFY(w.dm->DataBase2.isConnected());
    // The user as typed goes to the connections.
    QCOMPARE(w.dm->Database.params(), (QStringList{"USER NAME=sysdba", "PASSWORD=secret"}));
    QCOMPARE(w.dm->Database.settings().userName, QString("sysdba"));
    QCOMPARE(w.dm->DataBase2.session()->name(), QString("S2"));
    QCOMPARE(b.windowTitle(), " Marrowby" + QString(40, ' ') + "Database: TESTDB");
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));
    QCOMPARE(shownPicture(b), QString("IShades"));
    QVERIFY(b.isEnabled());
    QVERIFY(b.PCMain->isEnabled());
    QVERIFY(b.MetaBrowser1->menuAction()->isVisible());
    QVERIFY(b.SBGoBrowser->isEnabled());
    QVERIFY(b.SBGoLorvane->isEnabled());
    QCOMPARE(b.PagePCProcTrig->currentWidget(), b.TSProc);
    QVERIFY(b.SBGoDebugger->isChecked());
    // No repository yet: its pages stay hidden and debug saving is off.
    QVERIFY(!b.PagePCProcTrig->isTabVisible(b.PagePCProcTrig->indexOf(b.TSBPV)));
    QVERIFY(!b.PCSQL->isTabVisible(b.PCSQL->indexOf(b.TSHistory)));
    QVERIFY(!b.CBWithDebug->isEnabled());
    QVERIFY(b.SBNewProc->isEnabled());
    QVERIFY(!b.SBSaveProc->isEnabled());
    QVERIFY(b.SBDropTable->isEnabled());
    QVERIFY(!b.SBRefreshAll->isEnabled());
    QCOMPARE(b.LProcName->text(), QString("Unknown"));
    // After the three connects the alias holds its own parameters again.
    QCOMPARE(engine::Session::defaultSession().aliasParams("TESTDB"), b.AliasParams);
    QCOMPARE(b.UserParams.size(), b.AliasParams.size());

    // Shown, the window stands in the middle of the screen, and "Input
    // Params" hands the focus on to its grid.
    b.show();
    b.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&b));
    const QPoint off = b.frameGeometry().center() - b.screen()->availableGeometry().center();
    QVERIFY2(off.manhattanLength() <= 2, qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
    b.PCProc->setCurrentWidget(b.TSInput);
    QTRY_VERIFY(b.SGInput->hasFocus());
}

void TestBrowser::connectCancelledLeavesConnectionsClosed()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d("TESTDB", "SYSDBA");
    p.answer(Prompter::Answer::No);
    Workbench w({});
    w.browser->SBConnectClick();
    QVERIFY(w.dm->Database.isConnected());
    d.cancelLogin = true;
    w.browser->SBConnectClick();
    QVERIFY(!w.dm->Database.isConnected());
    QVERIFY(!w.dm->DatabaseN.isConnected());
    QVERIFY(!w.dm->DataBase2.isConnected());
    QVERIFY(w.browser->isEnabled());
    // Work asked of the closed connection fails in an error box that names
    // the alias, not a component of the program.
    p.clear();
    w.browser->SQLBody->setPlainText("select * from rdb$database");
    w.browser->SBExecSQLClick();
    QCOMPARE(p.texts(), QStringList{"Not connected to database TESTDB"});
    QCOMPARE(p.calls().first().icon, Prompter::Icon::Error);
    QVERIFY(w.browser->StatusFailed && w.browser->isEnabled());
}

void TestBrowser::connectToBrokenAliasReportsServerText()
{
    QTemporaryDir dir;
    ScopedAlias alias("BROKEN", dir.path() + "/missing.fdb");
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d("BROKEN", "SYSDBA");
    Workbench w({});
    TfmBrowser &b = *w.browser;
    b.SBConnectClick();
    QCOMPARE(p.calls().size(), 1);
    const QString text = p.calls().first().text;
    // A missing file is no login problem: the server's text alone.
    QVERIFY2(!text.contains("Incorrect User Name or Password"), qPrintable(text));
    QVERIFY2(text.contains("missing.fdb"), qPrintable(text));
    QVERIFY(b.StatusFailed);
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: Error!"));
    QCOMPARE(b.windowTitle(), kNone);
    QVERIFY(b.LoginUser.isEmpty());
    QVERIFY(b.isEnabled());
    QVERIFY(!b.IsConnected);
}

void TestBrowser::commandLineStart()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::No);
    Workbench w({"TESTDB", "sysdba", "pw", "Y"});
    TfmBrowser &b = *w.browser;
    QVERIFY(b.IsConnected);
    QVERIFY(b.StartedFromCommandLine);
    QCOMPARE(b.LoginUser, QString("sysdba")); // not upper-cased on this road
    QCOMPARE(b.StatusPanel1->text(), QString("   Hint: Connect to database."));
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));
    b.show();
    QVERIFY(b.SBSpyMode->isChecked());
    QVERIFY(!b.SBNewSession->isEnabled());
    QTRY_VERIFY(b.windowState() & Qt::WindowMinimized);
    QCOMPARE(p.texts(), QStringList{kNoRepository});
}

void TestBrowser::commandLineUnknownAlias()
{
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    Workbench w({"NO_SUCH_ALIAS", "SYSDBA", "x"});
    TfmBrowser &b = *w.browser;
    QCOMPARE(p.calls().size(), 1);
    QVERIFY2(p.calls().first().text.contains("NO_SUCH_ALIAS"), qPrintable(p.calls().first().text));
    QVERIFY(!b.IsConnected);
    QVERIFY(!b.StartedFromCommandLine);
    QVERIFY(!b.PCMain->isEnabled());
    QCOMPARE(b.windowTitle(), kNone);
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: No events"));
    b.show();
    QVERIFY(!(b.windowState() & Qt::WindowMinimized));
}

void TestBrowser::statusLightFollowsActions()
{
    Workbench w({});
    TfmBrowser &b = *w.browser;
    b.SetBusy();
    QCOMPARE(shownPicture(b), QString("IIndif"));
    QVERIFY(!b.isEnabled());
    b.SetError();
    QCOMPARE(shownPicture(b), QString("ISad"));
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: Error!"));
    QVERIFY(b.isEnabled());
    b.SetBusy(); // a failure before: the worried face
    QCOMPARE(shownPicture(b), QString("Iooh"));
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: Working..."));
    b.SetReady();
    QCOMPARE(shownPicture(b), QString("IShades"));
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));
    b.SetBusy();
    QCOMPARE(shownPicture(b), QString("IIndif"));
    b.SetReady();
}

void TestBrowser::storedFontApplied()
{
    platform::Settings s(platform::Settings::WorkbenchKey);
    s.writeString("CurFont", "Name", "DejaVu Serif");
    s.writeInteger("CurFont", "Style", 5);
    s.writeInteger("CurFont", "Size", 11);
    Workbench w({});
    w.browser->show();
    QCOMPARE(w.browser->font().family(), QString("DejaVu Serif"));
    QCOMPARE(w.browser->font().pointSize(), 11);
    QVERIFY(!w.browser->font().bold()); // 5 leaves the style as it was
    s.writeInteger("CurFont", "Style", 3);
    Workbench w2({});
    w2.browser->show();
    QVERIFY(w2.browser->font().bold());
    QVERIFY(w2.browser->font().italic());
    s.eraseSection("CurFont");
}

void TestBrowser::chosenFontStored()
{
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    QFont chosen("DejaVu Sans", 13);
    chosen.setBold(true);
    chosen.setUnderline(true);
    p.answerFont(chosen);
    Workbench w({});
    // Both editors' plain display makes them editable again.
    w.browser->REProc->setReadOnly(true);
    w.browser->RETrig->setReadOnly(true);
    w.browser->SBFontClick();
    QCOMPARE(w.browser->font().family(), QString("DejaVu Sans"));
    platform::Settings s(platform::Settings::WorkbenchKey);
    QCOMPARE(s.readString("CurFont", "Name", ""), QString("DejaVu Sans"));
    QCOMPARE(s.readInteger("CurFont", "Style", -1), 0);
    QCOMPARE(s.readInteger("CurFont", "Size", -1), 13);
    QVERIFY(!w.browser->REProc->isReadOnly());
    QVERIFY(!w.browser->RETrig->isReadOnly());
    QVERIFY(p.problems().isEmpty());
    s.eraseSection("CurFont");

    // Settings that cannot be written: the font holds, and the user is told
    // it was not kept.
    testsupport::UnwritableSettings unwritable;
    p.clear();
    p.answerFont(QFont("DejaVu Serif", 11));
    w.browser->SBFontClick();
    QCOMPARE(w.browser->font().family(), QString("DejaVu Serif"));
    QCOMPARE(p.texts().last(), "The font could not be stored in " + unwritable.file(platform::Settings::WorkbenchKey)
                                   + ": it holds until the program ends.");
}

void TestBrowser::keysReachTheVisiblePage()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::No);
    Workbench w({"TESTDB", "SYSDBA", ""});
    TfmBrowser &b = *w.browser;
    // Fresh texts in both editors: each save sends its own.
    b.SBNewTrigClick();
    b.SBNewProcClick();
    engine::StatementRecorder log;
    b.Triggers1Click();
    QTest::keyClick(b.RETrig, Qt::Key_S, Qt::ControlModifier);
    b.Procedures2Click();
    QTest::keyClick(b.REProc, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(b.REProc, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(b.REProc, Qt::Key_Return, Qt::ControlModifier);
    b.Text1Click();
    KeysReaching console(b.SQLBody);
    QTest::keyClick(b.SQLBody, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(console.count, 0); // taken by the console's command
    // Each save sent its own editor's text, once: the trigger's, then the procedure's.
    QStringList saved;
    for (const QString &sql : log.statements())
        saved << sql.trimmed().section(' ', 0, 1);
    QCOMPARE(saved, (QStringList{"CREATE TRIGGER", "CREATE PROCEDURE"}));
    // A key that runs no command reaches the editor as usual.
    QTest::keyClick(b.SQLBody, Qt::Key_X);
    QCOMPARE(console.count, 1);
    QCOMPARE(b.SQLBody->toPlainText(), QString("x"));
}

void TestBrowser::historyWhileHiddenDoesNothing()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::No);
    Workbench w({"TESTDB", "SYSDBA", ""});
    TfmBrowser &b = *w.browser;
    b.History1Click();
    QCOMPARE(b.PCMain->currentWidget(), b.TSDebugger);
    QVERIFY(b.SBGoDebugger->isChecked());
}

void TestBrowser::exitAsksFirst()
{
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::No).answer(Prompter::Answer::Yes);
    Workbench w({});
    w.browser->show();
    w.browser->Exit1Click();
    QVERIFY(w.browser->isVisible());
    QCOMPARE(p.calls().last().text, QString("Exit now?"));
    QCOMPARE(p.calls().last().buttons, Prompter::Buttons::YesNo);
    w.browser->Exit1Click();
    QVERIFY(!w.browser->isVisible());
    QVERIFY(p.problems().isEmpty());
}

void TestBrowser::masterThenBrowserReconnects()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::No);
    Workbench w({"TESTDB", "SYSDBA", ""});
    TfmBrowser &b = *w.browser;
    b.SBGoMasterClick();
    QCOMPARE(b.PCMain->currentWidget(), b.TSSQLMaster);
    QVERIFY(w.dm->Database.isConnected());
    QVERIFY(!w.dm->DataBase2.isConnected());
    QVERIFY(!w.dm->DatabaseN.isConnected());
    b.SBGoBrowserClick();
    QCOMPARE(b.PCMain->currentWidget(), b.TSBrowser);
    QVERIFY(w.dm->DataBase2.isConnected());
    QVERIFY(w.dm->DatabaseN.isConnected());
    QVERIFY(!b.ReconnectPending);
    b.SBGoMasterClick();
    b.SBGoDebuggerClick();
    QCOMPARE(b.PCMain->currentWidget(), b.TSDebugger);
    QVERIFY(w.dm->DataBase2.isConnected());
    QVERIFY(w.dm->DatabaseN.isConnected());
}

void TestBrowser::menusSwitchPages()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::No);
    Workbench w({"TESTDB", "SYSDBA", ""});
    TfmBrowser &b = *w.browser;
    // Each menu after the SQL Master's button has closed the second
    // connections and the console has made a table: the menu reaches what
    // its work area's button reaches.
    const struct {
        QAction *menu;
        QWidget *area;
        QToolButton *button;
        QTabWidget *inner;
        int page;
        bool secondOpen;
    } cases[] = {{b.Tables1, b.TSBrowser, b.SBGoBrowser, b.PCBrowser, 1, true},
                 {b.Views1, b.TSBrowser, b.SBGoBrowser, b.PCBrowser, 5, true},
                 {b.Tables1, b.TSBrowser, b.SBGoBrowser, b.PCBrowser, 1, true},
                 {b.Triggers1, b.TSDebugger, b.SBGoDebugger, b.PagePCProcTrig, 1, true},
                 {b.Procedures2, b.TSDebugger, b.SBGoDebugger, b.PagePCProcTrig, 0, true},
                 {b.Text1, b.TSSQLMaster, b.SBGoMaster, b.PCSQL, b.PCSQL->indexOf(b.TSSQLText), false}};
    int n = 0;
    for (const auto &c : cases) {
        b.SBGoMasterClick();
        const QString table = QString("MADE_IN_CONSOLE_%1").arg(++n);
        b.SQLBody->setPlainText("create table " + table + " (ID integer)");
        b.SBExecSQLClick();
        QVERIFY(!b.StatusFailed);
        c.menu->trigger();
        QCOMPARE(b.PCMain->currentWidget(), c.area);
        QVERIFY(c.button->isChecked());
        QCOMPARE(c.inner->currentIndex(), c.page);
        QCOMPARE(w.dm->DataBase2.isConnected(), c.secondOpen);
        QCOMPARE(w.dm->DatabaseN.isConnected(), c.secondOpen);
        QCOMPARE(b.ReconnectPending, !c.secondOpen);
        if (c.area == b.TSBrowser && c.page == 1)
            QVERIFY2(w.dm->QTables.locate("RDB$RELATION_NAME", table), qPrintable(table));
        // The trigger list reads on the second connection.
        if (c.area == b.TSBrowser)
            QVERIFY(w.dm->QTableTrigger.isActive());
        QVERIFY2(p.calls().size() == 1, qPrintable(p.texts().join('|')));
    }
}

// Clicking the button that is already checked must not switch the choice:
// a local debug run would otherwise be treated as remote.
void TestBrowser::localRemoteFollowTheCheckedButton()
{
    bool local = true;
    TfmAliases d(&local);
    const struct {
        QRadioButton *button;
        bool expected;
    } clicks[] = {{d.RBLocal, true}, {d.RBRemote, false}, {d.RBRemote, false}, {d.RBLocal, true}, {d.RBLocal, true}};
    for (const auto &c : clicks) {
        QTest::mouseClick(c.button, Qt::LeftButton);
        QCOMPARE(local, c.expected);
        QCOMPARE(d.RBLocal->isChecked(), c.expected);
        QCOMPARE(d.RBRemote->isChecked(), !c.expected);
    }
}

void TestBrowser::stateFollowsTheConnections()
{
    TestDatabase t;
    ScopedAlias good("TESTDB", t.path());
    QTemporaryDir dir;
    ScopedAlias broken("BROKEN", dir.path() + "/missing.fdb");
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d;
    d.user = "SYSDBA";
    Workbench w({});
    TfmBrowser &b = *w.browser;
    auto connectedLook = [&](bool connected) {
        QCOMPARE(b.IsConnected, connected);
        QCOMPARE(b.windowTitle(), connected ? " Marrowby" + QString(40, ' ') + "Database: TESTDB" : kNone);
        QCOMPARE(b.PCMain->isEnabled(), connected);
        QCOMPARE(b.SBGoBrowser->isEnabled(), connected);
        QCOMPARE(b.MetaBrowser1->menuAction()->isVisible(), connected);
        QCOMPARE(w.dm->Database.isConnected(), connected);
        QVERIFY(b.isEnabled());
    };
    p.answer(Prompter::Answer::No).answer(Prompter::Answer::No);
    d.alias = "TESTDB";
    b.SBConnectClick();
    connectedLook(true);

    // A reconnect that fails leaves nothing connected, and the window says so.
    d.alias = "BROKEN";
    b.SBConnectClick();
    QVERIFY(b.StatusFailed);
    connectedLook(false);
    QVERIFY(!w.dm->DatabaseN.isConnected());
    QVERIFY(!w.dm->DataBase2.isConnected());

    d.alias = "TESTDB";
    b.SBConnectClick();
    connectedLook(true);

    // A reconnect given up in either dialog has closed the connections: the
    // window looks as before its first connect, and connects again.
    for (const QString &alias : {QString("NO SUCH ALIAS"), QString("TESTDB")}) {
        d.alias = alias;
        d.cancelLogin = true;
        b.SBConnectClick();
        connectedLook(false);
        QVERIFY(!w.dm->DatabaseN.isConnected() && !w.dm->DataBase2.isConnected());
        QVERIFY(!b.IIndif->isHidden() && b.IShades->isHidden());
        QCOMPARE(b.StatusPanel0->text(), QString("   Status: No events"));
        QCOMPARE(b.StatusPanel1->text(), QString("   Hint: Connect to database."));
        d.alias = "TESTDB";
        d.cancelLogin = false;
        p.answer(Prompter::Answer::No); // the repository's question
        b.SBConnectClick();
        connectedLook(true);
        QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));
    }

    // The attachments shut down under an idle window: the next command fails
    // with the server's text and the window follows.
    exec(*t.connect(), "delete from mon$attachments where mon$attachment_id <> current_connection");
    p.clear();
    b.SBNewProcClick();
    b.SBSaveProcClick();
    QVERIFY(b.StatusFailed);
    QCOMPARE(p.texts().size(), 1);
    connectedLook(false);
    QVERIFY(!w.dm->DataBase2.isConnected());
}

DUNMOOR_GUI_TEST_MAIN(TestBrowser)
#include "tst_browser.moc"
