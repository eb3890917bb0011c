// A break point's round trip with short check intervals, measured in one
// program: an instrumented procedure runs on a connection of its own thread
// and stops at its break; the workbench window in spy mode checks every
// --interval ms, shows the hit and is answered with Continue.
//
//  - hit to display: from the moment the procedure writes its hit (the
//    server's clock, read by the procedure just before) to the window having
//    filled its watch grid;
//  - continue to resume: from pressing Continue to the procedure running on
//    past its break (the server's clock, read by the procedure just after).
//
// Both figures run at the short interval (--interval, 20 round trips) and
// once at the product's own 5 s interval. Target for both: within one check
// interval plus 200 ms.
//
//  - CPU while a break waits: the procedure stopped at its break, nobody
//    answering, the CPU time the engine spends over --wait ms (target:
//    under 5 % of one core). With --server the database is reached through
//    a loopback server this program starts (scripts/fbserver on its runtime
//    folder and the port given) and the figure is that server process's
//    CPU time; without, the embedded engine runs in this process and the
//    figure is this process's CPU time (the window's own checks included),
//    measured while its event loop sleeps between events, so the loop that
//    waits costs nothing of it.
//
// The exit code is 1 when a target is missed.
//
// Without --server both clocks are this process's: the embedded engine runs
// in it. With it, the server runs on this machine, so its clock is the same.
//
// The procedure runs in a transaction that waits up to --runner-wait seconds
// for a lock (default 1, as the workbench's own debug connection does; 0:
// one that does not wait, whose break block cannot sleep and reads its
// answers in a loop as before).
//
//   bench_debugrun [--interval=MS] [--wait=MS] [--server=PORT] [--runner-wait=S] [benchmark flags]
#include "BenchSupport.h"
#include "WindowBench.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "platform/Prompter.h"
#include "workbench/App.h"
#include "workbench/DM1.h"
#include "workbench/Instrument.h"
#include "workbench/Repository.h"
#include "workbench/fBrowser.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <map>
#include <set>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>
#include <thread>

namespace {

constexpr int kProductInterval = 5000; // the window's own check interval

struct Globals {
    int interval = 100; // ms between the window's checks
    int wait = 3000;    // ms of CPU measurement while a break waits
    int serverPort = 0; // a loopback server on this port; 0: the embedded engine
    int runnerWait = 1; // seconds the procedure's transaction waits for a lock; 0: no wait
    QString path;       // the database file
    QString scripts;    // the source tree's scripts folder
    std::unique_ptr<Workbench> workbench;
    std::unique_ptr<platform::ScriptedPrompter> prompter;
} g;

int nowMs()
{
    return QTime::currentTime().msecsSinceStartOfDay();
}

// The procedure reads the clock just before its break and just after it.
const QStringList kProcedure{
    "CREATE PROCEDURE DBGP",
    "RETURNS (R INTEGER)",
    "AS",
    "declare variable ms integer;",
    "begin",
    "  ms = datediff(millisecond from cast('TODAY' as timestamp) to cast('NOW' as timestamp));",
    "/*@BP1*/",
    "  R = datediff(millisecond from cast('TODAY' as timestamp) to cast('NOW' as timestamp));",
    "end"};

QString serverName()
{
    return g.serverPort ? QStringLiteral("127.0.0.1/%1:%2").arg(g.serverPort).arg(g.path) : g.path;
}

QString password()
{
    return g.serverPort ? QStringLiteral("masterkey") : QString();
}

// The worker's connection: through the server when there is one.
std::unique_ptr<engine::Database> connectRunner()
{
    auto db = std::make_unique<engine::Database>(nullptr, QStringLiteral("RUNNER"));
    db->setDriverName(QStringLiteral("INTRBASE"));
    db->setParams({QStringLiteral("SERVER NAME=") + serverName(), QStringLiteral("USER NAME=SYSDBA"),
                   QStringLiteral("PASSWORD=") + password()});
    db->open();
    db->setLockTimeout(g.runnerWait);
    return db;
}

void fbserver(const char *command)
{
    QProcess p;
    p.start(g.scripts + QStringLiteral("/fbserver"),
            {QString::fromLatin1(command), engine::Runtime::paths().root, QString::number(g.serverPort)});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw std::runtime_error(std::string("fbserver ") + command + " failed: "
                                 + p.readAllStandardError().toStdString());
}

// CPU seconds (user and system) the engine has used so far: the server
// process, or this one when the engine is embedded.
double engineCpuSeconds()
{
    if (!g.serverPort) {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    QFile pidFile(engine::Runtime::paths().root + QStringLiteral("/server.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        throw std::runtime_error("the server's pid file cannot be read");
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pidFile.readAll()).trimmed()));
    if (!stat.open(QIODevice::ReadOnly))
        throw std::runtime_error("the server's CPU time cannot be read");
    // After the command's closing parenthesis: state is field 3, utime 14, stime 15.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return double(f.value(11).toLongLong() + f.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// Serves the window's events for ms milliseconds, sleeping between them
// (processEvents would return at once and spin).
void serveFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void setUp(const QString &folder)
{
    g.path = folder + QStringLiteral("/debugrun.fdb");
    engine::Database::createDatabase(g.path);
    {
        auto db = bench::connect(g.path);
        engine::Statement q6(db.get()), q7(db.get());
        Repository repo(*db, q6, q7);
        g.prompter->answer(platform::Prompter::Answer::Yes);
        repo.ensure([](int) {});
        const QString external = engine::Runtime::paths().external + QStringLiteral("/bench_debugrun/");
        QDir().mkpath(external);
        bench::exec(*db, QStringLiteral("insert into meta$External values (\"%1\")").arg(external));
        if (!repo.createDebugTables())
            throw std::runtime_error("the debug tables could not be made");
        bench::exec(*db, QStringLiteral("insert into meta$gens values (\"SYSDBA\", \"DBGP\", \"BPNUM\", 0)"));
        const instrument::Instrumenter ins =
            instrument::InstrumentText(kProcedure, instrument::Mode::Debug, QStringLiteral("DBGP"), QStringLiteral("SP"),
                                       false);
        for (const QString &insert : ins.pointInserts())
            bench::exec(*db, insert);
        engine::Statement save(db.get());
        save.setSql(ins.lines());
        save.execute();
    }
    QStringList params = engine::Session::driverDefaultParams(QStringLiteral("INTRBASE"));
    for (QString &l : params)
        if (l.startsWith(QLatin1String("SERVER NAME=")))
            l = QStringLiteral("SERVER NAME=") + serverName();
    engine::Session::defaultSession().addAlias(QStringLiteral("BENCH"), QStringLiteral("INTRBASE"), params);
    g.workbench = std::make_unique<Workbench>(QStringList{"BENCH", "SYSDBA", password()});
    TfmBrowser &b = *g.workbench->browser;
    if (!b.IsConnected || !b.MetaPresent)
        throw std::runtime_error("the workbench did not connect to the debug database");
    b.TimerBP->setInterval(g.interval);
    b.SBSpyModeClick();
    if (!b.spyMode() || !b.TimerBP->isActive())
        throw std::runtime_error("spy mode did not start");
}

struct Trip {
    int hitToDisplay = -1;
    int continueToResume = -1;
};

// One run of the procedure, answered by the window. With cpuShare, the
// hit once shown waits `wait` ms unanswered while the engine's CPU time is
// read; *cpuShare gets its share of one core.
Trip roundTrip(double *cpuShare = nullptr)
{
    TfmBrowser &b = *g.workbench->browser;
    std::atomic<bool> done{false};
    int resumedAt = -1;
    QString error;
    std::thread worker([&] {
        try {
            auto db = connectRunner();
            db->startTransaction();
            engine::Statement run(db.get());
            run.setSql(QStringLiteral("execute procedure DBGP"));
            run.execute();
            resumedAt = run.rows().value(0, 0).toInt();
            db->commit();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
        done = true;
    });

    Trip trip;
    int continuedAt = -1;
    // After the window's own check of this tick: the hit, if any, is shown.
    const QMetaObject::Connection afterCheck = QObject::connect(b.TimerBP, &QTimer::timeout, [&] {
        if (continuedAt >= 0 || !b.SBContinue->isEnabled())
            return;
        const int shownAt = nowMs();
        const QTableWidgetItem *value = b.SGWatch->item(3, 1);
        if (value)
            trip.hitToDisplay = shownAt - value->text().trimmed().toInt();
        if (cpuShare) {
            QElapsedTimer clock;
            clock.start();
            const double cpuBefore = engineCpuSeconds();
            serveFor(g.wait);
            *cpuShare = (engineCpuSeconds() - cpuBefore) / (double(clock.elapsed()) / 1000.0);
            cpuShare = nullptr;
        }
        continuedAt = nowMs();
        b.SBContinueClick();
    });
    while (!done)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    QObject::disconnect(afterCheck);
    if (!error.isEmpty())
        throw std::runtime_error(error.toStdString());
    if (continuedAt < 0)
        throw std::runtime_error("the hit was never shown");
    trip.continueToResume = resumedAt - continuedAt;
    return trip;
}

// Every round trip of a run, per check interval.
std::map<int, std::vector<Trip>> g_trips;
std::vector<double> g_cpuShares;

// Each iteration is one whole round trip at the interval given; its time is
// the hit-to-display figure, the continue figure is kept beside it.
void roundTrips(benchmark::State &state, int interval)
{
    TfmBrowser &b = *g.workbench->browser;
    b.TimerBP->setInterval(interval);
    try {
        for (auto _ : state) {
            const Trip t = roundTrip();
            g_trips[interval].push_back(t);
            state.SetIterationTime(t.hitToDisplay / 1000.0);
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
    b.TimerBP->setInterval(g.interval);
}

void BM_WaitingBreakCpu(benchmark::State &state)
{
    try {
        for (auto _ : state) {
            double share = -1;
            const Trip t = roundTrip(&share);
            g_cpuShares.push_back(share);
            state.SetIterationTime(g.wait / 1000.0);
            state.counters["cpu_percent"] = share * 100.0;
            benchmark::DoNotOptimize(t);
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
}

// The same measurement with nothing running: what the window's own checks
// and the engine's housekeeping cost, the waiting break's baseline.
std::vector<double> g_idleShares;

void BM_IdleCpu(benchmark::State &state)
{
    try {
        for (auto _ : state) {
            QElapsedTimer clock;
            clock.start();
            const double cpuBefore = engineCpuSeconds();
            serveFor(g.wait);
            const double share = (engineCpuSeconds() - cpuBefore) / (double(clock.elapsed()) / 1000.0);
            g_idleShares.push_back(share);
            state.SetIterationTime(g.wait / 1000.0);
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
}

std::string roundTripName(int interval)
{
    return "BM_RoundTrip_" + std::to_string(interval) + "ms";
}

void registerBenchmarks()
{
    benchmark::RegisterBenchmark(roundTripName(g.interval).c_str(), roundTrips, g.interval)
        ->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(roundTripName(kProductInterval).c_str(), roundTrips, kProductInterval)
        ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_IdleCpu", BM_IdleCpu)
        ->Iterations(1)->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_WaitingBreakCpu", BM_WaitingBreakCpu)
        ->Iterations(1)->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);
}

// Prints one figure of the trips and says whether its slowest trip met the
// target; a benchmark that stopped on an error has not met it.
bool printFigure(const char *label, std::vector<double> ms, double target, bool complete)
{
    if (ms.empty() || !complete) {
        std::printf("    %-20s NOT RUN\n", label);
        return false;
    }
    double sum = 0;
    for (double v : ms)
        sum += v;
    const double mean = sum / double(ms.size());
    const bench::Figure f = bench::figureOf(ms);
    std::printf("    %-20s mean %7.1f  median %7.1f  (%.0f-%.0f, %d trips)  %s\n", label, mean, f.median, f.low,
                f.high, f.repetitions, f.high <= target ? "met" : "MISSED");
    return f.high <= target;
}

// A hit lands anywhere within a check interval, so each trip must stay
// within the interval plus 200 ms: the slowest trip decides. True when
// every target was met.
bool printSummary(const bench::MedianReporter &rep)
{
    std::printf("\nBreak round trips, ms (engine: %s; the run waits %d s for a lock)\n",
                g.serverPort ? "loopback server" : "embedded in this process", g.runnerWait);
    bool ok = true;
    for (const int interval : std::set<int>{g.interval, kProductInterval}) {
        const double target = interval + 200.0;
        std::printf("  check interval %d ms, target <= %.0f ms each:\n", interval, target);
        std::vector<double> hit, resume;
        for (const Trip &t : g_trips[interval]) {
            hit.push_back(t.hitToDisplay);
            resume.push_back(t.continueToResume);
        }
        const bool complete = rep.seconds(roundTripName(interval)).ran();
        ok = printFigure("hit to display", hit, target, complete) && ok;
        ok = printFigure("continue to resume", resume, target, complete) && ok;
    }
    auto percentOf = [](const std::vector<double> &shares) {
        std::vector<double> percent;
        for (double s : shares)
            percent.push_back(s * 100.0);
        return bench::figureOf(percent);
    };
    const char *whose = g.serverPort ? "server process" : "whole process";
    if (!g_idleShares.empty()) {
        const bench::Figure f = percentOf(g_idleShares);
        std::printf("  CPU of the %s over %d ms, nothing running (spy mode checking): median %.1f %% of one core "
                    "(%.1f-%.1f, %d)\n",
                    whose, g.wait, f.median, f.low, f.high, f.repetitions);
    }
    if (!g_cpuShares.empty() && rep.seconds("BM_WaitingBreakCpu").ran()) {
        const bench::Figure f = percentOf(g_cpuShares);
        std::printf("  CPU of the %s while a break waits %d ms: median %.1f %% of one core (%.1f-%.1f, %d waits)"
                    "  (target < 5 %%: %s)\n",
                    whose, g.wait, f.median, f.low, f.high, f.repetitions, f.median < 5.0 ? "met" : "MISSED");
        ok = ok && f.median < 5.0;
    } else {
        std::printf("  CPU of the %s while a break waits: target < 5 %%: NOT RUN\n", whose);
        ok = false;
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (!bench::takePositive(&argc, argv, "interval", &g.interval)
        || !bench::takePositive(&argc, argv, "wait", &g.wait)
        || !bench::takePositive(&argc, argv, "server", &g.serverPort)
        || !bench::takeCount(&argc, argv, "runner-wait", &g.runnerWait, 0))
        return 1;
    // The runtime folder's configuration names the server's port.
    if (g.serverPort)
        qputenv("DUNMOOR_FB_PORT", QByteArray::number(g.serverPort));
    g.scripts = QStringLiteral(DUNMOOR_SCRIPTS);
    const auto body = [](const QString &scratch) {
        if (g.serverPort)
            fbserver("start");
        setUp(scratch);
        registerBenchmarks();
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    return bench::runWindowBench(argc, argv, "bench_debugrun", g.prompter, body, [] {
        g.workbench.reset();
        if (!g.path.isEmpty())
            engine::Database::dropDatabase(g.path);
        if (g.serverPort)
            fbserver("stop");
    });
}
