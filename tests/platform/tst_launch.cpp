#include "platform/Launch.h"
#include "platform/Prompter.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using platform::ConnectionCommandLine;
using platform::LaunchProgram;
using platform::LaunchRequest;
using platform::LaunchResult;
using platform::ScopedPrompter;
using platform::ScriptedPrompter;
using platform::Settings;
using platform::SettingsValue;

namespace {

const QString caption = "Lorvane32Pro";
const QString prompt = "Enter full path to the Lorvane32Pro";

LaunchRequest shell(const QString &program, const QString &script, bool wait,
                    const QStringList &arguments = {})
{
    LaunchRequest request;
    request.program = program;
    request.arguments = QStringList({"-c", script, "sh"}) + arguments;
    request.wait = wait;
    request.caption = caption;
    request.prompt = prompt;
    return request;
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {"<missing>"};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    lines.removeLast();
    return lines;
}

} // namespace

class TestLaunch : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void splitArguments_data();
    void splitArguments();
    void connectionCommandLine_data();
    void connectionCommandLine();

    void waitsForTheEndAndItsExitCode();
    void programReceivesTheArguments();
    void waitingKeepsPaintingAndTakesNoInput();
    void noWaitReturnsWhileTheProgramRuns();
    void failedStartAsksAndStoresThePath();
    void askAgainUntilItStarts();
    void cancelGivesUp();

private:
    Settings settings() const { return Settings(Settings::WorkbenchKey, m_dir->path()); }
    QString file(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<ScopedPrompter> m_installed;
};

void TestLaunch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_installed = std::make_unique<ScopedPrompter>(*m_prompter);
}

void TestLaunch::cleanup()
{
    m_installed.reset();
    m_prompter.reset();
    m_dir.reset();
}

void TestLaunch::splitArguments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("several blanks") << "  a   b  " << QStringList({"a", "b"});
    QTest::newRow("tabs and line breaks") << "a\tb\r\nc" << QStringList({"a", "b", "c"});
    QTest::newRow("control characters") << QString("a") + QChar(1) + "b" << QStringList({"a", "b"});
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("quoted blanks") << "\"my alias\" user" << QStringList({"my alias", "user"});
    QTest::newRow("quotes inside") << "a\"b c\"d e" << QStringList({"ab cd", "e"});
    QTest::newRow("empty quotes dropped") << "\"\" a \"\" b" << QStringList({"a", "b"});
    QTest::newRow("empty quotes after text") << "a\"\" b" << QStringList({"a", "b"});
    QTest::newRow("unclosed quote") << "a \"b c" << QStringList({"a", "b c"});
}

void TestLaunch::splitArguments()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(ConnectionCommandLine::splitArguments(text), expected);
}

void TestLaunch::connectionCommandLine_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("second copy") << "IBLOCAL" << "SYSDBA" << "masterkey" << "Y"
                                 << "IBLOCAL SYSDBA masterkey Y" << QStringList({"IBLOCAL", "SYSDBA", "masterkey", "Y"});
    QTest::newRow("empty password shifts Y") << "IBLOCAL" << "SYSDBA" << "" << "Y"
                                             << "IBLOCAL SYSDBA  Y" << QStringList({"IBLOCAL", "SYSDBA", "Y"});
    QTest::newRow("empty user") << "IBLOCAL" << "" << "pw" << ""
                                << "IBLOCAL  pw" << QStringList({"IBLOCAL", "pw"});
    QTest::newRow("before any connect") << "" << "" << "" << ""
                                        << "  " << QStringList();
    QTest::newRow("blank in alias splits") << "my alias" << "u" << "p" << ""
                                           << "my alias u p" << QStringList({"my", "alias", "u", "p"});
    QTest::newRow("quote in password") << "a" << "u" << "p\"q r\"" << ""
                                       << "a u p\"q r\"" << QStringList({"a", "u", "pq r"});
}

void TestLaunch::connectionCommandLine()
{
    QFETCH(QString, alias);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, extra);
    QFETCH(QString, text);
    QFETCH(QStringList, arguments);

    const ConnectionCommandLine line{alias, user, password, extra};
    QCOMPARE(line.text(), text);
    QCOMPARE(line.arguments(), arguments);
}

void TestLaunch::waitsForTheEndAndItsExitCode()
{
    // The program ends after a pause and leaves a file: only a real wait sees both.
    const LaunchResult result =
        LaunchProgram(shell("/bin/sh", "sleep 0.3; : > \"$1\"; exit 3", true, {file("done")}));
    QVERIFY(result.started);
    QCOMPARE(result.exitCode, std::optional<int>(3));
    QCOMPARE(result.program, QString("/bin/sh"));
    QVERIFY(QFile::exists(file("done")));
    QVERIFY(m_prompter->calls().isEmpty());

    // A stored prefix keeps the blank that separated it from the arguments.
    const LaunchResult prefix = LaunchProgram(shell("/bin/sh ", "exit 0", true));
    QCOMPARE(prefix.exitCode, std::optional<int>(0));
    QCOMPARE(prefix.program, QString("/bin/sh "));

    // Killed by a signal: started, but there is no exit code to report.
    const LaunchResult killed = LaunchProgram(shell("/bin/sh", "kill -9 $$", true));
    QVERIFY(killed.started);
    QCOMPARE(killed.exitCode, std::nullopt);
}

void TestLaunch::programReceivesTheArguments()
{
    // The script writes every argument after the output file on a line of its own.
    const ConnectionCommandLine line{"my alias", "SYSDBA", "", "Y"};
    const LaunchResult result = LaunchProgram(
        shell("/bin/sh", "out=$1; shift; printf '%s\\n' \"$@\" > \"$out\"", true,
              QStringList(file("args")) + line.arguments()));
    QVERIFY(result.started);
    QCOMPARE(fileLines(file("args")), QStringList({"my", "alias", "SYSDBA", "Y"}));
}

// A window waiting for the program is still drawn (asked to repaint, it
// does), while a click on it meanwhile is lost rather than acted on later.
void TestLaunch::waitingKeepsPaintingAndTakesNoInput()
{
    struct Window : QPushButton {
        int paints = 0;
        void paintEvent(QPaintEvent *e) override
        {
            ++paints;
            QPushButton::paintEvent(e);
        }
    } window;
    int clicks = 0;
    connect(&window, &QPushButton::clicked, [&] { ++clicks; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    int paintsWhileWaiting = -1;
    const int before = window.paints;
    QTimer::singleShot(100, [&] { window.update(); });
    QTimer::singleShot(200, [&] { QTest::mouseClick(&window, Qt::LeftButton); });
    QTimer::singleShot(300, [&] { paintsWhileWaiting = window.paints - before; });
    const LaunchResult result = LaunchProgram(shell("/bin/sh", "sleep 0.5", true));
    QCoreApplication::processEvents();
    QVERIFY(result.started);
    QVERIFY(paintsWhileWaiting > 0);
    QCOMPARE(clicks, 0);
}

void TestLaunch::noWaitReturnsWhileTheProgramRuns()
{
    // The program runs until we create "go", which happens only after
    // LaunchProgram has returned, and writes why it ended. It gives up after
    // five seconds, so a launch that waits fails here instead of hanging.
    const QString script = "i=0; while [ ! -e \"$1\" ] && [ $i -lt 250 ]; do sleep 0.02; i=$((i+1)); done; "
                           "if [ -e \"$1\" ]; then echo go; else echo timeout; fi > \"$2\"";
    const LaunchResult result =
        LaunchProgram(shell("/bin/sh", script, false, {file("go"), file("ended")}));
    QVERIFY(result.started);
    QCOMPARE(result.exitCode, std::nullopt);
    QVERIFY(!QFile::exists(file("ended")));

    QFile go(file("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    go.close();
    QTRY_COMPARE_WITH_TIMEOUT(fileLines(file("ended")), QStringList("go"), 10000);
    QVERIFY(m_prompter->calls().isEmpty());
}

void TestLaunch::failedStartAsksAndStoresThePath()
{
    m_prompter->answerText("/bin/sh");
    LaunchRequest request = shell("/nonexistent/Lorvane32Pro/lorvane32 ", "exit 7", true);
    request.storeIn = SettingsValue{settings(), "lorvane", "lorvane"};

    const LaunchResult result = LaunchProgram(request);
    QVERIFY(result.started);
    QCOMPARE(result.exitCode, std::optional<int>(7));
    QCOMPARE(result.program, QString("/bin/sh"));

    QVERIFY2(m_prompter->problems().isEmpty(), qPrintable(m_prompter->problems().join('\n')));
    QCOMPARE(m_prompter->calls().size(), 1);
    const ScriptedPrompter::Call &asked = m_prompter->calls().first();
    QCOMPARE(asked.kind, ScriptedPrompter::Kind::Input);
    QCOMPARE(asked.caption, caption);
    QCOMPARE(asked.text, prompt);
    QCOMPARE(asked.defaultValue, QString("/nonexistent/Lorvane32Pro/lorvane32 "));
    QCOMPARE(settings().readString("lorvane", "lorvane", "<none>"), QString("/bin/sh"));
}

void TestLaunch::askAgainUntilItStarts()
{
    // An empty program, a wrong answer, a file that is no program, then one that runs.
    QFile notAProgram(file("plain.txt"));
    QVERIFY(notAProgram.open(QIODevice::WriteOnly));
    notAProgram.close();
    m_prompter->answerText("/still/missing").answerText(file("plain.txt")).answerText("sh");

    const LaunchResult result = LaunchProgram(shell("", "exit 0", true));
    QVERIFY(result.started);
    QCOMPARE(result.program, QString("sh"));
    QVERIFY(m_prompter->problems().isEmpty());
    QCOMPARE(m_prompter->calls().size(), 3);
    QCOMPARE(m_prompter->calls()[0].defaultValue, QString());
    QCOMPARE(m_prompter->calls()[1].defaultValue, QString("/still/missing"));
    QCOMPARE(m_prompter->calls()[2].defaultValue, file("plain.txt"));
    // Nothing was asked to be kept.
    QVERIFY(!QFile::exists(settings().filePath()));
}

void TestLaunch::cancelGivesUp()
{
    QVERIFY(settings().writeString("server", "manager", "/nonexistent/ibmgr32"));
    m_prompter->answerText("/also/missing").cancelText();
    LaunchRequest request = shell("/nonexistent/ibmgr32", "exit 0", true);
    request.caption = "IB Server Manager";
    request.prompt = "Enter full path to the IB Server Manager";
    request.storeIn = SettingsValue{settings(), "server", "manager"};

    const LaunchResult result = LaunchProgram(request);
    QVERIFY(!result.started);
    QCOMPARE(result.exitCode, std::nullopt);
    QVERIFY(result.program.isEmpty());
    QVERIFY(m_prompter->problems().isEmpty());
    QCOMPARE(m_prompter->texts(), QStringList(2, "Enter full path to the IB Server Manager"));
    // The answer accepted before the Cancel was kept; the Cancel stored nothing.
    QCOMPARE(settings().readString("server", "manager", ""), QString("/also/missing"));

    // Without scripted answers the prompter refuses, which must end the attempt too.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^ScriptedPrompter: "));
    QVERIFY(!LaunchProgram(shell("/nonexistent/x", "", false)).started);
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
