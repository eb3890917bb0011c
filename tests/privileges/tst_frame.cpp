// The main window as a frame: settings at start and as the view commands
// write them, the page-change and exit guard over the one shared
// transaction, the close, and the server manager's path prompt.
#include "PrivilegesFixture.h"
#include "platform/PanelStatusBar.h"
#include "support/GuiTestMain.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QStandardPaths>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

using namespace privtest;
using Answer = platform::Prompter::Answer;

namespace {
const QString kGrantGroupsQuestion = "Commit new/modified GrantGroups?";
const QString kSaveChanges = "Save changes?";
const QString kExit = "Do you want to exit the Lorvane?";
const QString kManagerPrompt = "Enter full path to the IB Server Manager";
} // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }
    void cleanup() { clearSettings(); }

    void firstStart();
    void storedSettingsAtStart_data();
    void storedSettingsAtStart();
    void togglesWriteTheirValue();
    void fontDialogWritesAllSevenValues();
    void settingsThatCannotBeWrittenAreSaidSo_data();
    void settingsThatCannotBeWrittenAreSaidSo();

    void commandsCarryTheirCaptionsAndShortcuts_data();
    void commandsCarryTheirCaptionsAndShortcuts();
    void notConnectedState();

    void leavingPagesWithoutWorkAsksNothing();
    void leavingAPageWithWork_data();
    void leavingAPageWithWork();
    void workOnTwoPagesIsOneQuestion_data();
    void workOnTwoPagesIsOneQuestion();
    void failedCommitKeepsThePage();

    void closeAsksFirst();
    void closeWithPendingAssignmentsRollsBack();

    void serverManagerPathCorrectedAndKept();
    void serverManagerCancelKeepsNothing();

private:
    // A database with table T and the administrative tables, and the
    // window connected to it.
    struct Connected {
        TestDatabase db;
        std::unique_ptr<Program> p;
        Connected()
        {
            auto c = db.connect();
            testsupport::exec(*c, "create table T (N integer)");
            createAdminTables(*c);
            p = std::make_unique<Program>();
            attach(*GrantData, db);
            p->showWorkPages();
        }
    };
};

void TestFrame::firstStart()
{
    Program p;
    QCOMPARE(p.w.windowTitle(), QString("LorvanePro"));
    QCOMPARE(p.w.font().family(), QString("MS Sans Serif"));
    QCOMPARE(p.w.FontColor, int(0x80000008u));
    QVERIFY(!p.w.ToolPanel->isHidden());
    QVERIFY(!p.w.Grantsb->isHidden());
    QVERIFY(p.w.ToolBar1->isChecked());
    QVERIFY(p.w.StatusBar1->isChecked());
    // Centred on the screen, with the size of its first show.
    const QRect screen = p.w.screen()->availableGeometry();
    QCOMPARE(p.w.frameGeometry().center(), screen.center());
    // Reading writes nothing.
    QVERIFY(!QFile::exists(settings().filePath()));
    QVERIFY(p.prompter.calls().isEmpty());
}

void TestFrame::storedSettingsAtStart_data()
{
    QTest::addColumn<QStringList>("stored"); // section/name=value
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("color");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<bool>("toolbar");
    QTest::addColumn<bool>("statusbar");
    QTest::newRow("name alone") << QStringList{"font/name=DejaVu Sans"} << "DejaVu Sans" << 8 << int(0x80000008u)
                                << false << false << true << true;
    QTest::newRow("every value") << QStringList{"font/name=DejaVu Serif", "font/size=12", "font/color=255",
                                                "font/bold=1", "font/underline=1", "toolbars/toolbar=0"}
                                 << "DejaVu Serif" << 12 << 255 << true << true << false << true;
    QTest::newRow("none keeps the design") << QStringList{"font/name=none", "font/size=20", "toolbars/statusbar=0"}
                                           << "MS Sans Serif" << 8 << int(0x80000008u) << false << false << true
                                           << false;
}

void TestFrame::storedSettingsAtStart()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, family);
    QFETCH(int, size);
    QFETCH(int, color);
    QFETCH(bool, bold);
    QFETCH(bool, underline);
    QFETCH(bool, toolbar);
    QFETCH(bool, statusbar);
    platform::Settings s = settings();
    for (const QString &line : stored) {
        const QString key = line.section('=', 0, 0);
        const QString value = line.section('=', 1);
        bool number = false;
        const int n = value.toInt(&number);
        number ? s.writeInteger(key.section('/', 0, 0), key.section('/', 1), n)
               : s.writeString(key.section('/', 0, 0), key.section('/', 1), value);
    }
    Program p;
    QCOMPARE(p.w.font().family(), family);
    QCOMPARE(p.w.font().pointSize(), size);
    QCOMPARE(p.w.FontColor, color);
    QCOMPARE(p.w.font().bold(), bold);
    QCOMPARE(p.w.font().italic(), false);
    QCOMPARE(p.w.font().underline(), underline);
    QCOMPARE(p.w.font().strikeOut(), false);
    QCOMPARE(!p.w.ToolPanel->isHidden(), toolbar);
    QCOMPARE(p.w.ToolBar1->isChecked(), toolbar);
    QCOMPARE(!p.w.Grantsb->isHidden(), statusbar);
    QCOMPARE(p.w.StatusBar1->isChecked(), statusbar);
}

void TestFrame::togglesWriteTheirValue()
{
    Program p;
    const int pagesHeight = p.w.GrantPages->height();
    p.w.ToolBar1->trigger();
    QVERIFY(p.w.ToolPanel->isHidden());
    QVERIFY(!p.w.ToolBar1->isChecked());
    QCOMPARE(settings().readString("toolbars", "toolbar", "absent"), QString("0"));
    QVERIFY(!settings().sectionExists("font"));
    // The pages took the room the panel left.
    QCOMPARE(p.w.GrantPages->height(), pagesHeight + 30);

    p.w.StatusBar1->trigger();
    QVERIFY(p.w.Grantsb->isHidden());
    QCOMPARE(settings().readString("toolbars", "statusbar", "absent"), QString("0"));
    p.w.ToolBar1->trigger();
    p.w.StatusBar1->trigger();
    QCOMPARE(settings().readString("toolbars", "toolbar", "absent"), QString("1"));
    QCOMPARE(settings().readString("toolbars", "statusbar", "absent"), QString("1"));
    QVERIFY(!p.w.ToolPanel->isHidden() && !p.w.Grantsb->isHidden());
    QCOMPARE(p.w.GrantPages->height(), pagesHeight);
}

void TestFrame::fontDialogWritesAllSevenValues()
{
    Program p;
    p.prompter.cancelFont();
    p.w.Font1->trigger();
    QVERIFY(!settings().sectionExists("font"));
    QCOMPARE(p.w.font().family(), QString("MS Sans Serif"));

    QFont chosen("DejaVu Serif", 11);
    chosen.setItalic(true);
    chosen.setStrikeOut(true);
    p.prompter.answerFont(chosen);
    p.w.Font1->trigger();
    QCOMPARE(p.prompter.calls().last().font.family(), QString("MS Sans Serif"));
    QCOMPARE(p.w.font().family(), QString("DejaVu Serif"));
    const platform::Settings s = settings();
    QCOMPARE(s.readString("font", "name", ""), QString("DejaVu Serif"));
    QCOMPARE(s.readInteger("font", "color", 0), int(0x80000008u));
    QCOMPARE(s.readInteger("font", "size", 0), 11);
    const QStringList flags{"bold", "italic", "underline", "strikeout"};
    QStringList stored;
    for (const QString &f : flags)
        stored << s.readString("font", f, "absent");
    QCOMPARE(stored, (QStringList{"0", "1", "0", "1"}));
    QVERIFY(p.prompter.problems().isEmpty());
}

void TestFrame::settingsThatCannotBeWrittenAreSaidSo_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("what");
    QTest::newRow("tool bar") << "ToolBar1" << "tool bar setting";
    QTest::newRow("status bar") << "StatusBar1" << "status bar setting";
    QTest::newRow("font") << "Font1" << "font";
}

void TestFrame::settingsThatCannotBeWrittenAreSaidSo()
{
    QFETCH(QString, command);
    QFETCH(QString, what);
    Program p;
    if (command == "Font1")
        p.prompter.answerFont(QFont("DejaVu Serif", 11));
    {
        testsupport::UnwritableSettings unwritable;
        p.w.findChild<QAction *>(command)->trigger();
        QCOMPARE(p.prompter.texts().last(), "The " + what + " could not be stored in "
                                                + unwritable.file(platform::Settings::PrivilegeManagerKey)
                                                + ": it holds until the program ends.");
    }
    // The change holds for this run.
    QVERIFY(p.w.ToolPanel->isHidden() || p.w.Grantsb->isHidden() || p.w.font().family() == "DejaVu Serif");
}

void TestFrame::commandsCarryTheirCaptionsAndShortcuts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shortcut");
    QTest::newRow("connect") << "connect1" << "&Connect" << "Ctrl+F9";
    QTest::newRow("disconnect") << "Disconnect1" << "Di&sconnect" << "Shift+F9";
    QTest::newRow("erase") << "Erasemn" << "&Erase  Groups" << "";
    QTest::newRow("meta active") << "Selected1" << "A&ctive" << "Ctrl+Shift+F4";
    QTest::newRow("grantor user") << "USER1" << "USER" << "Ctrl+Shift+F8";
    QTest::newRow("sort by meta") << "byMetaObject1" << "by &MetaObject" << "Ctrl+Shift+F10";
    QTest::newRow("grant") << "Grant2" << "Gran&t" << "Ctrl+F10";
    QTest::newRow("group commit") << "Commit2" << "&Commit" << "F3";
    QTest::newRow("remove all from group") << "rmvag" << "Remo&veAllFromGroup" << "Shift+F4";
    QTest::newRow("user group delete") << "Delete5" << "&Delete" << "Ctrl+F12";
    QTest::newRow("members roll back") << "RollBack1" << "Roll&Back" << "F6";
    QTest::newRow("revoke all assignments") << "RevokeAll1" << "Re&vokeAll" << "Shift+F8";
    QTest::newRow("font") << "Font1" << "&Font" << "";
    QTest::newRow("about") << "About1" << "&About..." << "";
}

void TestFrame::commandsCarryTheirCaptionsAndShortcuts()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, shortcut);
    Program p({}, false);
    auto *a = p.w.findChild<QAction *>(name);
    QVERIFY2(a, qPrintable(name));
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->shortcut().toString(), shortcut);
}

void TestFrame::notConnectedState()
{
    Program p;
    for (int i = 1; i <= 4; ++i)
        QVERIFY(!p.w.GrantPages->isTabVisible(i) && !p.w.GrantPages->isTabEnabled(i));
    QCOMPARE(p.w.GrantPages->currentWidget(), p.w.Connect);
    for (QMenu *m : {p.w.Info1, p.w.Groups1, p.w.Users1, p.w.GrantAction1})
        QVERIFY(!m->menuAction()->isVisible());
    QVERIFY(p.w.Alias1->menuAction()->isVisible());
    QVERIFY(p.w.connect1->isEnabled() && !p.w.Disconnect1->isEnabled() && !p.w.Erasemn->isEnabled());
    QVERIFY(p.w.dcntbtn->isChecked() && !p.w.cntbtn->isChecked());
    QCOMPARE(p.w.Grantsb->panelText(0), QString(" No Active DataBase"));
    // The progress bar lies over panel 1.
    QVERIFY(p.w.StatusProgress);
    QCOMPARE(p.w.StatusProgress->geometry(),
             QRect(162, 2, 276, p.w.Grantsb->height() - 3));
    // The header buttons lie over their sections.
    QVERIFY(p.w.MOAll->isChecked() && !p.w.MOActive->isChecked() && p.w.UOAll->isChecked());
    QCOMPARE(p.w.MOActive->x(), p.w.MOHeader->sectionPosition(2) + 2);
}

void TestFrame::leavingPagesWithoutWorkAsksNothing()
{
    Connected c;
    Program &p = *c.p;
    p.clickTab(1);
    QCOMPARE(p.w.GrantPages->currentIndex(), 1);
    p.clickTab(3);
    QCOMPARE(p.w.GrantPages->currentIndex(), 3);
    p.clickTab(0);
    QCOMPARE(p.w.GrantPages->currentIndex(), 0);
    QVERIFY(p.prompter.calls().isEmpty());
}

void TestFrame::leavingAPageWithWork_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("control"); // the page's commit button, enabled by its work
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("rowsAfter"); // -1: the transaction is still open
    QTest::newRow("grant groups, cancel") << 2 << "Commitbtn" << kGrantGroupsQuestion << int(Answer::Cancel) << -1;
    QTest::newRow("grant groups, yes") << 2 << "Commitbtn" << kGrantGroupsQuestion << int(Answer::Yes) << 1;
    QTest::newRow("grant groups, no") << 2 << "Commitbtn" << kGrantGroupsQuestion << int(Answer::No) << 0;
    QTest::newRow("members, yes") << 3 << "okbtn" << kSaveChanges << int(Answer::Yes) << 1;
    QTest::newRow("assignments, no") << 4 << "gokbtn" << kSaveChanges << int(Answer::No) << 0;
    QTest::newRow("assignments, cancel") << 4 << "gokbtn" << kSaveChanges << int(Answer::Cancel) << -1;
}

void TestFrame::leavingAPageWithWork()
{
    QFETCH(int, page);
    QFETCH(QString, control);
    QFETCH(QString, question);
    QFETCH(int, answer);
    QFETCH(int, rowsAfter);
    Connected c;
    Program &p = *c.p;
    p.clickTab(page);
    pendingInsert(*GrantData, 1);
    auto *button = p.w.findChild<QWidget *>(control);
    button->setEnabled(true);

    p.prompter.answer(Answer(answer));
    p.clickTab(1);
    QCOMPARE(p.prompter.texts(), QStringList{question});
    QCOMPARE(p.prompter.calls().first().buttons, platform::Prompter::Buttons::YesNoCancel);
    if (rowsAfter < 0) {
        QCOMPARE(p.w.GrantPages->currentIndex(), page);
        QVERIFY(button->isEnabled());
        QCOMPARE(committedRows(c.db), 0);
        GrantData->transaction.commit(); // the work is still there
        QCOMPARE(committedRows(c.db), 1);
        return;
    }
    QCOMPARE(p.w.GrantPages->currentIndex(), 1);
    QVERIFY(!button->isEnabled());
    QVERIFY(GrantData->grantdb.inTransaction());
    QCOMPARE(committedRows(c.db), rowsAfter);
}

void TestFrame::workOnTwoPagesIsOneQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("rowsAfter");
    QTest::newRow("yes commits both") << int(Answer::Yes) << 2;
    QTest::newRow("no rolls both back") << int(Answer::No) << 0;
}

void TestFrame::workOnTwoPagesIsOneQuestion()
{
    QFETCH(int, answer);
    QFETCH(int, rowsAfter);
    Connected c;
    Program &p = *c.p;
    p.clickTab(2);
    pendingInsert(*GrantData, 1); // a grant-group change ...
    p.w.Commitbtn->setEnabled(true);
    p.w.RollBackbtn->setEnabled(true);
    pendingInsert(*GrantData, 2); // ... and an assignment, in the same transaction
    p.w.gokbtn->setEnabled(true);
    p.w.gescbtn->setEnabled(true);

    p.prompter.answer(Answer(answer));
    p.clickTab(1);
    QCOMPARE(p.prompter.texts(), QStringList{"Commit all changes (GrantGroups, GrantAction)?"});
    QCOMPARE(p.w.GrantPages->currentIndex(), 1);
    QCOMPARE(committedRows(c.db), rowsAfter);
    for (QWidget *b : {(QWidget *)p.w.Commitbtn, (QWidget *)p.w.RollBackbtn, (QWidget *)p.w.gokbtn,
                       (QWidget *)p.w.gescbtn})
        QVERIFY(!b->isEnabled());
    // Nothing is left to ask about.
    QVERIFY(p.w.exitaction());
    QCOMPARE(p.prompter.calls().size(), 1);
}

void TestFrame::failedCommitKeepsThePage()
{
    Connected c;
    Program &p = *c.p;
    p.clickTab(2);
    auto other = pendingDropInUse(c.db);
    p.w.Commitbtn->setEnabled(true);
    p.w.RollBackbtn->setEnabled(true);
    p.w.okbtn->setEnabled(true);

    p.prompter.answer(Answer::Yes);
    p.clickTab(1);
    QCOMPARE(p.prompter.calls().size(), 2);
    QCOMPARE(p.prompter.calls().at(0).text, QString("Commit all changes (GrantGroups, UserGroups)?"));
    QCOMPARE(p.prompter.calls().at(1).kind, ScriptedPrompter::Kind::Message);
    QVERIFY2(p.prompter.calls().at(1).text.contains("in use"), qPrintable(p.prompter.calls().at(1).text));
    QCOMPARE(p.w.GrantPages->currentIndex(), 2);
    // The roll-back took every page's work: no page offers to settle it.
    for (QWidget *b : {(QWidget *)p.w.Commitbtn, (QWidget *)p.w.RollBackbtn, (QWidget *)p.w.okbtn})
        QVERIFY(!b->isEnabled());
    QVERIFY(!p.w.Commit2->isEnabled() && !p.w.Commit1->isEnabled());
    QVERIFY(GrantData->grantdb.inTransaction());
    QCOMPARE(testsupport::scalar(*other, "select count(*) from rdb$relations where rdb$relation_name = 'T'").toInt(), 1);
}

void TestFrame::closeAsksFirst()
{
    Program p;
    p.prompter.answer(Answer::No);
    QVERIFY(!p.w.close());
    QVERIFY(p.w.isVisible());
    p.prompter.answer(Answer::Yes);
    QVERIFY(p.w.close());
    QCOMPARE(p.prompter.texts(), (QStringList{kExit, kExit}));
}

void TestFrame::closeWithPendingAssignmentsRollsBack()
{
    Connected c;
    Program &p = *c.p;
    pendingInsert(*GrantData, 7);
    p.w.gokbtn->setEnabled(true);
    p.prompter.answer(Answer::Yes).answer(Answer::No);
    p.w.Exit1->trigger();
    QVERIFY(!p.w.isVisible());
    QCOMPARE(p.prompter.texts(), (QStringList{kExit, kSaveChanges}));
    QVERIFY(!p.w.gokbtn->isEnabled());
    QCOMPARE(committedRows(c.db), 0);
}

void TestFrame::serverManagerPathCorrectedAndKept()
{
    Program p;
    const QString program = QStandardPaths::findExecutable("true");
    QVERIFY(!program.isEmpty());
    p.prompter.answerText(program);
    p.w.Smen->click();
    QCOMPARE(p.prompter.calls().size(), 1);
    const ScriptedPrompter::Call asked = p.prompter.calls().first();
    QCOMPARE(asked.caption, QString("IB Server Manager"));
    QCOMPARE(asked.text, kManagerPrompt);
    QCOMPARE(asked.defaultValue, QString("ibmgr32.exe"));
    QCOMPARE(settings().readString("server", "manager", ""), program);

    // From now on the stored command starts without a question.
    p.w.ServerManager1->trigger();
    QCOMPARE(p.prompter.calls().size(), 1);
    QVERIFY(p.prompter.problems().isEmpty());
}

void TestFrame::serverManagerCancelKeepsNothing()
{
    Program p;
    p.prompter.cancelText();
    p.w.Smen->click();
    QCOMPARE(p.prompter.calls().size(), 1);
    QVERIFY(!settings().sectionExists("server"));
    // A failed start is no error: nothing else was shown.
    QCOMPARE(p.prompter.calls().first().kind, ScriptedPrompter::Kind::Input);
}

DUNMOOR_GUI_TEST_MAIN(TestFrame)
#include "tst_frame.moc"
