// What recording a console run in the history costs as the history grows:
// "Exec SQL" of a one-row update through the window, with the user's history
// holding 0, 5,000 and 10,000 rows (held by the window's history table as
// after a connect). The run with an empty history is the baseline of the
// same run; target: each larger history within 1.2 times its per-run time.
// The database writes without waiting for the disk, so commits do not hide
// the cost.
//
//   bench_history [--runs=N] [benchmark flags]
//
// --runs  console runs per history size and repetition (default 200); seven
//         repetitions, medians.

#include "BenchSupport.h"
#include "WindowBench.h"
#include "engine/Database.h"
#include "engine/Runtime.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "platform/Prompter.h"
#include "workbench/App.h"
#include "workbench/DM1.h"
#include "workbench/Repository.h"
#include "workbench/fBrowser.h"
#include "workbench/mysimplere.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace {

constexpr int kRepetitions = 7;
const int kSizes[] = {0, 5000, 10000};

struct Globals {
    int runs = 200;
    QString path;
    std::unique_ptr<Workbench> workbench;
    std::unique_ptr<platform::ScriptedPrompter> prompter;
} g;

TfmBrowser &browser()
{
    return *g.workbench->browser;
}

// The user's history made to hold rows rows, and the window's table reopened
// on them as a connect leaves it.
void historyOf(int rows)
{
    {
        auto db = bench::connect(g.path);
        bench::exec(*db, QStringLiteral("delete from meta$History"));
        bench::exec(*db, QStringLiteral("execute block as declare i integer = 0; begin while (i < %1) do begin "
                                        "insert into meta$History (DT, ID, BODY) values (:i, 'select ' || :i, "
                                        "'select ' || :i || ' from rdb$database'); i = i + 1; end end")
                             .arg(rows));
    }
    browser().OpenHistory();
}

// One repetition times every history size in turn (the order rotating from
// one repetition to the next), so the machine's drift falls on all alike;
// each size's time per run is a counter.
int g_repetition = 0;

void BM_ConsoleRuns(benchmark::State &state)
{
    try {
        TfmBrowser &b = browser();
        b.SQLBody->setPlainText(QStringLiteral("update T set ID = ID where ID = 1"));
        for (auto _ : state) {
            const int n = int(std::size(kSizes));
            for (int k = 0; k < n; ++k) {
                const int rows = kSizes[(k + g_repetition) % n];
                state.PauseTiming();
                historyOf(rows);
                state.ResumeTiming();
                QElapsedTimer clock;
                clock.start();
                for (int i = 0; i < g.runs; ++i) {
                    b.SBExecSQLClick();
                    if (b.StatusFailed)
                        throw std::runtime_error(g.prompter->texts().join(QLatin1Char('|')).toStdString());
                }
                state.counters["ms_per_run_" + std::to_string(rows)] = double(clock.nsecsElapsed()) / 1e6 / g.runs;
            }
            ++g_repetition;
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
}

BENCHMARK(BM_ConsoleRuns)->Iterations(1)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();

bool printSummary(const bench::MedianReporter &rep)
{
    std::printf("\nConsole run with the history recorded, ms per run, medians of %d repetitions of %d runs\n",
                kRepetitions, g.runs);
    std::printf("  %-20s %-15s %-8s %10s %20s\n", "measure", "baseline", "target", "median", "spread");
    const bench::Figure base = rep.counter("BM_ConsoleRuns", "ms_per_run_0");
    bool ok = true;
    for (int rows : kSizes) {
        const bench::Figure f = rep.counter("BM_ConsoleRuns", "ms_per_run_" + std::to_string(rows));
        const double ratio = base.median > 0 ? f.median / base.median : 1e9;
        const bool complete = f.repetitions == kRepetitions;
        const bool met = complete && (rows == 0 || ratio <= 1.2);
        ok &= met;
        std::printf("  %-20s %-15s %-8s %7.3f ms %8.3f..%-8.3f %s", (std::to_string(rows) + " history rows").c_str(),
                    "empty history", rows ? "<= 1.2x" : "-", f.median, f.low, f.high,
                    complete ? (met ? "met" : "MISSED") : "NOT RUN");
        if (rows)
            std::printf(" (%.2fx)", ratio);
        std::printf("\n");
    }
    return ok;
}

void setUp(const QString &folder)
{
    g.path = folder + QStringLiteral("/history.fdb");
    engine::Database::createDatabase(g.path);
    {
        auto db = bench::connect(g.path);
        bench::fillTable(*db, 10);
        engine::Statement q6(db.get()), q7(db.get());
        Repository repo(*db, q6, q7);
        g.prompter->answer(platform::Prompter::Answer::Yes);
        repo.ensure([](int) {});
        const QString external = engine::Runtime::paths().external + QStringLiteral("/bench_history/");
        QDir().mkpath(external);
        bench::exec(*db, QStringLiteral("insert into meta$External values (\"%1\")").arg(external));
    }
    // Commits that wait for the disk would drown what recording costs.
    testsupport::writeWithoutSync(g.path);
    QStringList params = engine::Session::driverDefaultParams(QStringLiteral("INTRBASE"));
    for (QString &l : params)
        if (l.startsWith(QLatin1String("SERVER NAME=")))
            l = QStringLiteral("SERVER NAME=") + g.path;
    engine::Session::defaultSession().addAlias(QStringLiteral("BENCH"), QStringLiteral("INTRBASE"), params);
    g.workbench = std::make_unique<Workbench>(QStringList{"BENCH", "SYSDBA", ""});
    if (!browser().IsConnected || !browser().MetaPresent)
        throw std::runtime_error("the workbench did not connect with its repository");
    g.prompter->clear();
}

} // namespace

int main(int argc, char **argv)
{
    if (!bench::takePositive(&argc, argv, "runs", &g.runs))
        return 1;
    const auto body = [](const QString &scratch) {
        setUp(scratch);
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    return bench::runWindowBench(argc, argv, "bench_history", g.prompter, body, [] {
        g.workbench.reset();
        if (!g.path.isEmpty())
            engine::Database::dropDatabase(g.path);
    });
}
