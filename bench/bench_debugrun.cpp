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
// Both clocks are this process's: the embedded engine runs in it. Target for
// both: within one check interval plus 200 ms.
#include "BenchSupport.h"

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
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <thread>

namespace {

struct Globals {
    int interval = 100; // ms between the window's checks
    QString path;
    std::unique_ptr<Workbench> workbench;
    std::unique_ptr<platform::ScriptedPrompter> prompter;
    std::unique_ptr<platform::ScopedPrompter> scoped;
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
            l = QStringLiteral("SERVER NAME=") + g.path;
    engine::Session::defaultSession().addAlias(QStringLiteral("BENCH"), QStringLiteral("INTRBASE"), params);
    g.workbench = std::make_unique<Workbench>(QStringList{"BENCH", "SYSDBA", ""});
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

// One run of the procedure, answered by the window.
Trip roundTrip()
{
    TfmBrowser &b = *g.workbench->browser;
    std::atomic<bool> done{false};
    int resumedAt = -1;
    QString error;
    std::thread worker([&] {
        try {
            auto db = bench::connect(g.path);
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

// Each iteration is one whole round trip; the figure named is its time. The
// slowest iteration goes into the "worst_ms" counter.
void measure(benchmark::State &state, int Trip::*figure)
{
    int worst = 0;
    for (auto _ : state) {
        const int ms = roundTrip().*figure;
        worst = qMax(worst, ms);
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["worst_ms"] = worst;
}

void BM_HitToDisplay(benchmark::State &state)
{
    measure(state, &Trip::hitToDisplay);
}

void BM_ContinueToResume(benchmark::State &state)
{
    measure(state, &Trip::continueToResume);
}

BENCHMARK(BM_HitToDisplay)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContinueToResume)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// Averages over the iterations (a hit lands anywhere within a check
// interval, so the mean is the fair figure; the slowest is printed too).
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &reports) override
    {
        benchmark::ConsoleReporter::ReportRuns(reports);
        for (const Run &r : reports)
            m_ms[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    double ms(const std::string &name) const
    {
        const auto it = m_ms.find(name);
        return it == m_ms.end() ? -1 : it->second;
    }

private:
    std::map<std::string, double> m_ms;
};

void printSummary(const SummaryReporter &rep)
{
    const double target = g.interval + 200.0;
    std::printf("\nBreak round trip, check interval %d ms; mean ms per hit (target <= %.0f)\n", g.interval, target);
    for (const char *name : {"BM_HitToDisplay", "BM_ContinueToResume"}) {
        const double m = rep.ms(std::string(name) + "/iterations:20/manual_time");
        if (m < 0)
            std::printf("  %-22s not run\n", name);
        else
            std::printf("  %-22s %8.1f   %s\n", name, m, m <= target ? "met" : "MISSED");
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (!bench::takePositive(&argc, argv, "interval", &g.interval))
        return 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    if (!bench::begin(&argc, argv, scratch))
        return 1;
    // Messages of the window are recorded, never shown.
    g.prompter = std::make_unique<platform::ScriptedPrompter>();
    g.scoped = std::make_unique<platform::ScopedPrompter>(*g.prompter);

    const auto body = [&] {
        setUp(scratch.path());
        SummaryReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter);
    };
    return bench::run("bench_debugrun", body, [] {
        g.workbench.reset();
        if (!g.path.isEmpty())
            engine::Database::dropDatabase(g.path);
    });
}
