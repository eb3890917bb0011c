// SIGTERM and SIGINT end the real program in order instead of leaving it
// running on connections the client library has shut down underneath.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Starts the real program in a home of its own: it makes its runtime folder,
// alias file and sample database there, apart from every other test. The
// runtime folder's path.
QString start(QProcess &p, const QTemporaryDir &home, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.remove("FIREBIRD");
    env.remove("FIREBIRD_LOCK");
    env.remove("FIREBIRD_TMP");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(qEnvironmentVariable("DUNMOOR_BIN") + "/MarrowbyPro", arguments);
    return home.path() + "/.local/share/Dunmoor/firebird/";
}

} // namespace

class TestSignals : public QObject {
    Q_OBJECT
private slots:
    void signalEndsTheProgram_data();
    void signalEndsTheProgram();
    void startMakesTheAliasFile();
};

void TestSignals::signalEndsTheProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("readyFile"); // exists once the program is where the signal should find it
    QTest::addColumn<int>("signal");
    // Connected, with the repository question of the command-line connect open.
    const QStringList connect{"SAMPLE", "SYSDBA", "x", "Y"};
    QTest::newRow("TERM, question open") << connect << "data/sample.fdb" << SIGTERM;
    QTest::newRow("INT, question open") << connect << "data/sample.fdb" << SIGINT;
    // Idle main window, nothing connected.
    QTest::newRow("TERM, idle") << QStringList() << "firebird.conf" << SIGTERM;
}

void TestSignals::signalEndsTheProgram()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, readyFile);
    QFETCH(int, signal);

    QTemporaryDir home;
    QProcess p;
    const QString ready = start(p, home, arguments) + readyFile;
    QVERIFY(p.waitForStarted());

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ready), 30000);
    QTest::qWait(1000); // past the start-up step that is at work on that file
    QCOMPARE(p.state(), QProcess::Running);

    ::kill(pid_t(p.processId()), signal);
    const bool ended = p.waitForFinished(30000);
    if (!ended)
        p.kill();
    QVERIFY2(ended, "the program went on running after the signal");
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
}

void TestSignals::startMakesTheAliasFile()
{
    // Before any dialog: the alias file with SAMPLE is there once the idle
    // window stands (the sample database is the last file the start makes).
    QTemporaryDir home;
    QProcess p;
    const QString root = start(p, home, {});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(root + "data/sample.fdb"), 30000);
    QTest::qWait(1000);
    QFile aliases(root + "aliases.conf");
    const bool opened = aliases.open(QIODevice::ReadOnly);
    ::kill(pid_t(p.processId()), SIGTERM);
    if (!p.waitForFinished(30000))
        p.kill();
    QVERIFY2(opened, "no alias file after the start");
    QVERIFY(aliases.readAll().contains("SAMPLE"));
}

QTEST_GUILESS_MAIN(TestSignals)
#include "tst_signals.moc"
