// Starting the privilege manager and second copies of the workbench, and the
// launch dialog. A small recorder program stands in for both programs and
// writes down the arguments it received.
#include "WorkbenchFixture.h"
#include "platform/Settings.h"
#include "support/GuiTestMain.h"
#include "workbench/Launcher.h"
#include "workbench/fLaunch.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <memory>

using launcher::ConnectionTriple;
using platform::Prompter;
using platform::ScriptedPrompter;
using platform::Settings;
using testsupport::TestDatabase;
using namespace wbtest;

namespace {

const QString kRecorder = QStringLiteral(ARGRECORDER_PATH);
const QString kLorvanePrompt = "Enter full path to the Lorvane32Pro";
const QString kCopyPrompt = "Enter full path to the Marrowby";
const QString kCopyStarted = "Press OK button after 2nd copy successful start";

Settings workbenchSettings()
{
    return Settings(Settings::WorkbenchKey);
}

QString storedPath()
{
    return workbenchSettings().readString("lorvane", "lorvane", "<none>");
}

// Answers the launch dialog by pressing one of its buttons, or by closing it.
class LaunchDialogAnswer {
public:
    explicit LaunchDialogAnswer(const QString &button)
    {
        m_previous = platform::setModalHook([button](QDialog &d) {
            auto *l = qobject_cast<TFmLaunch *>(&d);
            if (!l)
                return int(QDialog::Rejected);
            if (button.isEmpty())
                l->reject();
            else
                l->findChild<QToolButton *>(button)->click();
            return l->result();
        });
    }
    ~LaunchDialogAnswer() { platform::setModalHook(m_previous); }

private:
    platform::ModalHook m_previous;
};

} // namespace

class TestLaunchPrograms : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void privilegeManagerGetsTheConnection_data();
    void privilegeManagerGetsTheConnection();
    void defaultPathBesideTheWorkbench();
    void missingPrivilegeManagerAsksAndStoresThePath();
    void cancelStartsNothing();
    void secondCopyDoesNotWait();
    void secondCopyMissingAsksWithoutStoring();

    void buttonAndMenuHandOverTheWindowsConnection();
    void menuBeforeAnyConnect();

    void installedProgramsStartAndFindEachOther();

    void launchDialogTexts();
    void launchDialogResults_data();
    void launchDialogResults();

private:
    QString recordFile() const { return m_dir->filePath("args"); }
    QString gateFile() const { return m_dir->filePath("gate"); }
    bool recorded() const { return QFile::exists(recordFile()); }
    bool finished() const { return QFile::exists(recordFile() + ".done"); }
    QStringList arguments() const;
    // The recorder copied to path, folders made as needed.
    void placeRecorder(const QString &path) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<platform::ScopedPrompter> m_installed;
};

void TestLaunchPrograms::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QFile::exists(kRecorder));
    qputenv("ARGRECORDER_OUT", QFile::encodeName(recordFile()));
    qunsetenv("ARGRECORDER_HOLD");
    workbenchSettings().eraseSection("lorvane");
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_installed = std::make_unique<platform::ScopedPrompter>(*m_prompter);
}

void TestLaunchPrograms::cleanup()
{
    // A held recorder still running ends now.
    QFile gate(gateFile());
    gate.open(QIODevice::WriteOnly);
    m_installed.reset();
    m_prompter.reset();
    workbenchSettings().eraseSection("lorvane");
    qunsetenv("ARGRECORDER_OUT");
    qunsetenv("ARGRECORDER_HOLD");
}

QStringList TestLaunchPrograms::arguments() const
{
    QFile f(recordFile());
    if (!f.open(QIODevice::ReadOnly))
        return {"<not started>"};
    QStringList args;
    for (const QByteArray &a : f.readAll().split('\0'))
        args << QString::fromUtf8(a);
    args.removeLast(); // after the last terminator
    return args;
}

void TestLaunchPrograms::placeRecorder(const QString &path) const
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(QFile::copy(kRecorder, path));
    QVERIFY(QFile::setPermissions(path, QFile::permissions(kRecorder) | QFile::ExeOwner));
}

// ------------------------------------------------------ the privilege manager

void TestLaunchPrograms::privilegeManagerGetsTheConnection_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << "TESTDB" << "SYSDBA" << "masterkey";
    QTest::newRow("empty password kept") << "TESTDB" << "SYSDBA" << "";
    QTest::newRow("empty user kept") << "TESTDB" << "" << "pw";
    QTest::newRow("alias with a blank") << "MY DB" << "SYSDBA" << "pw";
    QTest::newRow("password with blanks and quotes") << "TESTDB" << "SYSDBA" << "a \"b\"  c";
    QTest::newRow("not ASCII") << "Базa" << "ÜSER" << "пароль";
}

void TestLaunchPrograms::privilegeManagerGetsTheConnection()
{
    QFETCH(QString, alias);
    QFETCH(QString, user);
    QFETCH(QString, password);
    workbenchSettings().writeString("lorvane", "lorvane", kRecorder);

    QVERIFY(launcher::StartLorvane({alias, user, password}, "/nowhere/MarrowbyPro"));
    QVERIFY2(finished(), "returned before the privilege manager ended");
    QCOMPARE(arguments(), (QStringList{alias, user, password}));
    QVERIFY(m_prompter->calls().isEmpty());
}

void TestLaunchPrograms::defaultPathBesideTheWorkbench()
{
    // The workbench in a folder with a blank in its name, the privilege
    // manager where the default looks for it.
    const QString folder = m_dir->filePath("tools and more");
    placeRecorder(folder + "/Lorvane32Pro/lorvane32");
    QVERIFY(launcher::StartLorvane({"TESTDB", "SYSDBA", ""}, folder + "/MarrowbyPro"));
    QCOMPARE(arguments(), (QStringList{"TESTDB", "SYSDBA", ""}));
    QVERIFY(m_prompter->calls().isEmpty());
    QCOMPARE(storedPath(), QString("<none>"));
}

// What a user gets from "cmake --install": both programs under the prefix,
// the privilege manager where the workbench's default path looks, and each
// starting from there (on a runtime folder of its own).
void TestLaunchPrograms::installedProgramsStartAndFindEachOther()
{
    QProcess install;
    install.start(CMAKE_COMMAND_PATH, {"--install", BUILD_TREE, "--prefix", m_dir->filePath("prefix")});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    const QString workbench = m_dir->filePath("prefix/bin/MarrowbyPro");
    const QString privileges = m_dir->filePath("prefix/bin/Lorvane32Pro/lorvane32");
    QCOMPARE(launcher::defaultLorvanePrefix(workbench).trimmed(), privileges);
    for (const QString &program : {workbench, privileges}) {
        QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("FIREBIRD", m_dir->filePath("runtime"));
        run.setProcessEnvironment(env);
        run.start(program, {});
        QVERIFY2(run.waitForStarted(), qPrintable(program));
        // Still up after a while: it found what it needs and shows its window.
        QVERIFY2(!run.waitForFinished(1500), qPrintable(program + ": " + run.readAllStandardError()));
        run.kill();
        run.waitForFinished();
    }
}

void TestLaunchPrograms::missingPrivilegeManagerAsksAndStoresThePath()
{
    const QString workbench = m_dir->filePath("MarrowbyPro");
    m_prompter->answerText(kRecorder);
    QVERIFY(launcher::StartLorvane({"TESTDB", "SYSDBA", "pw"}, workbench));
    QCOMPARE(arguments(), (QStringList{"TESTDB", "SYSDBA", "pw"}));
    QCOMPARE(m_prompter->calls().size(), 1);
    const ScriptedPrompter::Call asked = m_prompter->calls().first();
    QCOMPARE(asked.kind, ScriptedPrompter::Kind::Input);
    QCOMPARE(asked.caption, QString("Lorvane32Pro"));
    QCOMPARE(asked.text, kLorvanePrompt);
    QCOMPARE(asked.defaultValue, m_dir->filePath("Lorvane32Pro/lorvane32 "));
    QCOMPARE(storedPath(), kRecorder);

    // The stored path is used from now on, without asking.
    QFile::remove(recordFile());
    QVERIFY(launcher::StartLorvane({"OTHER", "U", "P"}, workbench));
    QCOMPARE(arguments(), (QStringList{"OTHER", "U", "P"}));
    QCOMPARE(m_prompter->calls().size(), 1);

    // A stored path that went wrong is offered for correction.
    const QString wrong = m_dir->filePath("moved/lorvane32");
    workbenchSettings().writeString("lorvane", "lorvane", wrong);
    m_prompter->answerText(kRecorder);
    QVERIFY(launcher::StartLorvane({"TESTDB", "SYSDBA", "pw"}, workbench));
    QCOMPARE(m_prompter->calls().last().defaultValue, wrong);
    QCOMPARE(storedPath(), kRecorder);
    QVERIFY(m_prompter->problems().isEmpty());
}

void TestLaunchPrograms::cancelStartsNothing()
{
    m_prompter->cancelText();
    QVERIFY(!launcher::StartLorvane({"TESTDB", "SYSDBA", "pw"}, m_dir->filePath("MarrowbyPro")));
    QCOMPARE(m_prompter->calls().size(), 1);
    QCOMPARE(storedPath(), QString("<none>"));
    QVERIFY(!recorded());
}

// ------------------------------------------------------------- second copy

void TestLaunchPrograms::secondCopyDoesNotWait()
{
    qputenv("ARGRECORDER_HOLD", QFile::encodeName(gateFile()));
    QVERIFY(launcher::LaunchSecondCopy({"MY DB", "SYSDBA", ""}, kRecorder));
    QTRY_VERIFY(recorded());
    QCOMPARE(arguments(), (QStringList{"MY DB", "SYSDBA", "", "Y"}));
    QVERIFY2(!finished(), "the copy cannot have ended: it is held");
    QFile gate(gateFile());
    QVERIFY(gate.open(QIODevice::WriteOnly));
    gate.close();
    QTRY_VERIFY(finished());
    QVERIFY(m_prompter->calls().isEmpty());
}

void TestLaunchPrograms::secondCopyMissingAsksWithoutStoring()
{
    const QString missing = m_dir->filePath("gone/MarrowbyPro");
    m_prompter->answerText(kRecorder);
    QVERIFY(launcher::LaunchSecondCopy({"TESTDB", "SYSDBA", "pw"}, missing));
    QTRY_VERIFY(finished());
    QCOMPARE(arguments(), (QStringList{"TESTDB", "SYSDBA", "pw", "Y"}));
    QCOMPARE(m_prompter->calls().size(), 1);
    QCOMPARE(m_prompter->calls().first().caption, QString("MarrowbyPro"));
    QCOMPARE(m_prompter->calls().first().text, kCopyPrompt);
    QCOMPARE(m_prompter->calls().first().defaultValue, missing);
    QCOMPARE(storedPath(), QString("<none>"));
}

// ------------------------------------------------------------ the window

void TestLaunchPrograms::buttonAndMenuHandOverTheWindowsConnection()
{
    TestDatabase t;
    ScopedAlias alias("MY DB", t.path());
    workbenchSettings().writeString("lorvane", "lorvane", kRecorder);
    m_prompter->answer(Prompter::Answer::No); // no repository
    // Started from the command line with an empty password: the user name
    // stays as given.
    Workbench w({"MY DB", "sysdba", ""});
    TfmBrowser &b = *w.browser;
    QVERIFY(b.IsConnected);
    QVERIFY(b.SBGoLorvane->isEnabled());

    QApplication::setOverrideCursor(Qt::WaitCursor);
    b.SBGoLorvane->click();
    QVERIFY(finished());
    QCOMPARE(arguments(), (QStringList{"MY DB", "sysdba", ""}));
    QVERIFY(!QApplication::overrideCursor());

    QFile::remove(recordFile());
    QFile::remove(recordFile() + ".done");
    b.Lorvane1->trigger();
    QVERIFY(finished());
    QCOMPARE(arguments(), (QStringList{"MY DB", "sysdba", ""}));
    QCOMPARE(m_prompter->calls().size(), 1);
    QVERIFY(b.isEnabled());
}

void TestLaunchPrograms::menuBeforeAnyConnect()
{
    workbenchSettings().writeString("lorvane", "lorvane", kRecorder);
    Workbench w({});
    QVERIFY(!w.browser->SBGoLorvane->isEnabled());
    w.browser->Lorvane1->trigger();
    QVERIFY(finished());
    QCOMPARE(arguments(), QStringList());
    QVERIFY(m_prompter->calls().isEmpty());
}

// ------------------------------------------------------ the launch dialog

void TestLaunchPrograms::launchDialogTexts()
{
    Workbench w({});
    QVERIFY(FmLaunch);
    TFmLaunch &d = *w.launch;
    QCOMPARE(d.windowTitle(), QString("Launch dialog"));
    QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(d.Memo1->isReadOnly());
    QCOMPARE(d.Memo1->toPlainText().split('\n'),
             (QStringList{"You are about to start stored procedure with BP/PP. ", "",
                          "Since you are working with local Interbase server - you have to do the", "following:", "",
                          "   1. Start (or enter) another copy of Marrowby.", "   2. (Re)enter Spy Mode in it.",
                          "   3. Press \"Continue\" button on this form.", "",
                          "If you wish - press \"Launch 2nd copy\" button and Marrowby will perform steps",
                          "1 and 2 for you. "}));
    QCOMPARE(d.SBLaunch->text(), QString("Launch 2nd copy"));
    QCOMPARE(d.SpeedButton1->text(), QString("Continue"));
    // Shown in the window's font, small or large, the text fits: nothing
    // is cut off and nothing needs scrolling.
    for (const int size : {8, 16}) {
        QFont f = w.browser->font();
        f.setPointSize(size);
        w.browser->setFont(f);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(d.Memo1->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(d.Memo1->verticalScrollBar()->maximum(), 0);
        d.hide();
    }
    d.SBLaunch->click();
    QCOMPARE(d.result(), 6);
    d.SpeedButton1->click();
    QCOMPARE(d.result(), 1);
}

void TestLaunchPrograms::launchDialogResults_data()
{
    QTest::addColumn<QString>("button");   // empty: the dialog closed otherwise
    QTest::addColumn<bool>("copyFound");   // false: the copy's path is asked for and cancelled
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<bool>("copyStarted");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("continue") << "SpeedButton1" << true << true << false << QStringList();
    QTest::newRow("launch") << "SBLaunch" << true << true << true << QStringList{kCopyStarted};
    QTest::newRow("launch, path cancelled") << "SBLaunch" << false << false << false << QStringList{kCopyPrompt};
    QTest::newRow("closed") << "" << true << true << false << QStringList();
}

void TestLaunchPrograms::launchDialogResults()
{
    QFETCH(QString, button);
    QFETCH(bool, copyFound);
    QFETCH(bool, goesOn);
    QFETCH(bool, copyStarted);
    QFETCH(QStringList, texts);
    Workbench w({});
    TfmBrowser &b = *w.browser;
    b.CurrentAlias = "TESTDB";
    b.LoginUser = "SYSDBA";
    b.LoginPassword = "pw";
    if (!copyFound)
        m_prompter->cancelText();
    LaunchDialogAnswer answer(button);
    const QString program = copyFound ? kRecorder : m_dir->filePath("missing");
    QCOMPARE(launcher::RunLaunchDialog(b, *w.launch, program), goesOn);
    QCOMPARE(m_prompter->texts(), texts);
    if (copyStarted) {
        QTRY_VERIFY(finished());
        QCOMPARE(arguments(), (QStringList{"TESTDB", "SYSDBA", "pw", "Y"}));
    } else {
        QTest::qWait(300);
        QVERIFY(!recorded());
    }
}

DUNMOOR_GUI_TEST_MAIN(TestLaunchPrograms)
#include "tst_launch_programs.moc"
