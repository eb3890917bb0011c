// End to end: the workbench, connected through the loopback server, starts
// the real privilege manager with its launch command; the privilege manager
// connects at once with the workbench's connection. A watcher on a
// connection of its own sees the privilege manager's attachment and its
// open transaction, then ends that process, which lets the waiting
// workbench go on.
#include "engine/Runtime.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "platform/Prompter.h"
#include "platform/Settings.h"
#include "support/GuiTestMain.h"
#include "workbench/App.h"
#include "workbench/fBrowser.h"

#include <QDir>
#include <QFile>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace {

// What the watcher saw of the privilege manager's connection.
struct Seen {
    qint64 pid = 0;
    QString process;
    QString user;
    int transactions = 0;
    bool endedBySigterm = false;
};

// Children of this process, by the parent id in /proc.
QList<qint64> ownChildren()
{
    QList<qint64> result;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == qint64(getpid()))
            result << pid;
    }
    return result;
}

Seen watch(const QString &serverName, std::atomic<bool> &stop)
{
    Seen seen;
    engine::Database db(nullptr, "Watcher");
    db.setDriverName("INTRBASE");
    db.setParams({"SERVER NAME=" + serverName, "USER NAME=SYSDBA", "PASSWORD=" + testsupport::serverPassword()});
    db.open();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!stop && std::chrono::steady_clock::now() < until) {
        db.startTransaction();
        engine::Statement s(&db);
        s.setParamCheck(false);
        s.setSql("select a.mon$remote_pid, a.mon$remote_process, a.mon$user,\n"
                 "(select count(*) from mon$transactions t where t.mon$attachment_id = a.mon$attachment_id)\n"
                 "from mon$attachments a where a.mon$remote_process containing 'lorvane32'");
        s.open();
        if (s.rows().rowCount() > 0 && s.rows().value(0, 3).toInt() > 0) {
            seen.pid = s.rows().value(0, 0).toLongLong();
            seen.process = s.rows().text(0, 1).trimmed();
            seen.user = s.rows().text(0, 2).trimmed();
            seen.transactions = s.rows().value(0, 3).toInt();
        }
        s.close();
        db.commit();
        if (seen.pid)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    db.close();
    // The privilege manager runs until its window closes: end it, and only
    // it, by its own process id, with SIGTERM as a session's end would. It
    // must end by itself; what is still there after a while is killed.
    const QList<qint64> children = ownChildren();
    for (qint64 child : children)
        if (!seen.pid || child == seen.pid)
            ::kill(pid_t(child), SIGTERM);
    const auto grace = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto alive = [&] {
        for (qint64 child : ownChildren())
            if (children.contains(child))
                return true;
        return false;
    };
    while (alive() && std::chrono::steady_clock::now() < grace)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    seen.endedBySigterm = !alive();
    for (qint64 child : ownChildren())
        if (children.contains(child))
            ::kill(pid_t(child), SIGKILL);
    return seen;
}

} // namespace

class TestLaunchEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void privilegeManagerConnectsWithTheWorkbenchConnection();
};

void TestLaunchEndToEnd::privilegeManagerConnectsWithTheWorkbenchConnection()
{
    const QString program = qEnvironmentVariable("DUNMOOR_BIN") + "/Lorvane32Pro/lorvane32";
    QVERIFY2(QFile::exists(program), qPrintable(program));
    testsupport::TestDatabase t;
    const QString serverName = testsupport::serverPrefix() + t.path();
    {
        auto c = t.connect();
        // The privilege manager's own tables exist, so it asks nothing.
        for (const char *name : {"Meta$GrantDef", "Meta$GrantList", "Meta$USERSDEF", "Meta$USERSLIST",
                                 "Meta$grantusers", "meta$usersgrant"})
            testsupport::exec(*c, QString("create table %1 (id integer)").arg(name));
    }

    // The second program reads the engine's one alias store: the alias goes
    // there, not into this test program's private one.
    const QString privateStore = engine::Session::configurationFile();
    engine::Session::useConfigurationFile(engine::Runtime::aliasFilePath());
    engine::Session &session = engine::Session::defaultSession();
    const QString alias = QString("E2E%1").arg(getpid());
    QStringList params = engine::Session::driverDefaultParams("INTRBASE");
    params.replaceInStrings(QRegularExpression("^SERVER NAME=$"), "SERVER NAME=" + serverName);
    session.addAlias(alias, "INTRBASE", params);
    session.saveConfigFile();
    struct Restore {
        QString alias, store;
        ~Restore()
        {
            engine::Session::defaultSession().deleteAlias(alias);
            engine::Session::defaultSession().saveConfigFile();
            engine::Session::useConfigurationFile(store);
        }
    } restore{alias, privateStore};

    platform::Settings wb(platform::Settings::WorkbenchKey);
    wb.writeString("lorvane", "lorvane", program);
    platform::ScriptedPrompter prompter;
    platform::ScopedPrompter scoped(prompter);
    prompter.answer(platform::Prompter::Answer::No); // the workbench's own repository
    Workbench w({alias, "SYSDBA", testsupport::serverPassword()});
    QVERIFY(w.browser->IsConnected);

    std::atomic<bool> stop{false};
    Seen seen;
    std::thread watcher([&] { seen = watch(serverName, stop); });
    w.browser->SBGoLorvane->click(); // waits until the privilege manager has ended
    stop = true;
    watcher.join();
    wb.eraseSection("lorvane");

    QVERIFY2(seen.pid != 0, "the privilege manager never connected");
    QVERIFY2(seen.process.endsWith("lorvane32"), qPrintable(seen.process));
    QCOMPARE(seen.user, QString("SYSDBA"));
    QVERIFY(seen.transactions >= 1); // the transaction it always keeps open
    QVERIFY2(seen.endedBySigterm, "the privilege manager went on running after SIGTERM");
    QVERIFY(prompter.problems().isEmpty());
}

DUNMOOR_GUI_TEST_MAIN(TestLaunchEndToEnd)
#include "tst_launch_e2e_server.moc"
