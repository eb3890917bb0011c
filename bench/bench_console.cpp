// The SQL console's speed, against a bare client-library fetch of the same
// rows in the same run.
//
//   bench_console [--rows=N] [--fb-root=DIR] [benchmark flags]
//
// --rows     rows in the table (default 1000000; five columns)
// --fb-root  Firebird runtime folder (default: a temporary one)
//
// BM_ConsoleAgainstBare runs, in turn, the bare fetch and what the user waits
// for after Ctrl+Enter: the text is prepared and run, every row fetched, the
// "Set of Records" grid filled and its first screen drawn. Target: within
// 1.5 times the bare fetch.
//
// BM_BackgroundOneAndFour starts background query windows from the console
// and waits, with the main window's event loop running, until every window
// shows its rows: one window fetching all rows, and in turn four at once
// fetching a quarter each. Meanwhile a 10 ms timer on the main thread
// records how late its ticks come. Targets: four windows no slower than
// one, and no tick of any repetition later than 50 ms.
//
// Every benchmark runs five repetitions of three turns; the ratios are the
// median of each repetition's own ratio, the lateness its worst tick. The
// program exits with 1 when a target is missed.

#include "BenchSupport.h"
#include "WindowBench.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/GridModel.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "platform/Prompter.h"
#include "workbench/App.h"
#include "workbench/DM1.h"
#include "workbench/fBrowser.h"
#include "workbench/fQuery.h"
#include "workbench/mysimplere.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char kQuery[] = "select * from T";
constexpr int kRepetitions = 5;
constexpr int kTickMs = 10;

struct Setup {
    qint64 rows = 1000000;
    QString path;
    std::unique_ptr<bench::BareQuery> bare;
    std::unique_ptr<platform::ScriptedPrompter> prompter;
    std::unique_ptr<Workbench> workbench;
};

Setup g;

TfmBrowser &browser()
{
    return *g.workbench->browser;
}

// One console run: the text prepared and run, every row fetched, the grid
// filled and its first screen drawn. Returns the rows the grid holds.
qint64 consoleQuery()
{
    TfmBrowser &b = browser();
    b.SQLBody->setPlainText(QString::fromLatin1(kQuery));
    b.SBExecSQLClick();
    b.DBGSQL->grab(); // the first screen of cells drawn
    if (b.StatusFailed)
        throw std::runtime_error("the console reported an error");
    return b.DBGSQL->model()->rowCount();
}

// The bare fetch and the console, in turn within every repetition.
void BM_ConsoleAgainstBare(benchmark::State &state)
{
    const auto expect = [](qint64 rows, const char *who) {
        if (rows != g.rows)
            throw std::runtime_error(std::string(who) + " got " + std::to_string(rows) + " rows");
    };
    bench::interleave(state, {{"bare", [&] { expect(g.bare->fetchAll(), "the bare fetch"); }},
                              {"console", [&] { expect(consoleQuery(), "the console"); }, [] { DM->Q6.close(); }}});
}

// Starts one window per statement and runs the main event loop until every
// window has its rows; the latest timer tick in ms goes to *late.
qint64 runWindows(const QStringList &statements, double *late)
{
    TfmBrowser &b = browser();
    for (const QString &sql : statements)
        StartBackgroundQuery(sql, b.CurrentAlias, b.LoginUser, b.LoginPassword, sql, true);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(kTickMs);
    QElapsedTimer clock;
    qint64 last = 0;
    *late = 0;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.elapsed();
        *late = std::max(*late, double(now - last - kTickMs));
        last = now;
        const QList<TQueryForm *> forms = BackgroundQueryForms();
        if (std::all_of(forms.begin(), forms.end(), [](TQueryForm *f) { return f->Finished && !f->thread(); }))
            loop.quit();
    });
    clock.start();
    tick.start();
    loop.exec();
    qint64 rows = 0;
    for (TQueryForm *f : BackgroundQueryForms()) {
        if (f->Failed)
            throw std::runtime_error(f->StatusLine->text().toStdString());
        rows += f->DataSource->rowCount();
    }
    return rows;
}

// Statements for n windows, each reading its share of the rows.
QStringList shares(int windows)
{
    QStringList statements;
    const qint64 share = g.rows / windows;
    for (int i = 0; i < windows; ++i)
        statements << QStringLiteral("select * from T where ID >= %1 and ID < %2")
                          .arg(i * share)
                          .arg(i == windows - 1 ? g.rows : (i + 1) * share);
    return statements;
}

// One window and four, in turn within every repetition; each side's worst
// tick of the repetition goes to its own counter.
void BM_BackgroundOneAndFour(benchmark::State &state)
{
    std::map<int, double> worst{{1, 0.0}, {4, 0.0}};
    const auto side = [&](int windows) {
        return [&worst, windows] {
            double late = 0;
            const qint64 rows = runWindows(shares(windows), &late);
            worst[windows] = std::max(worst[windows], late);
            if (rows != g.rows)
                throw std::runtime_error("the windows hold a different number of rows");
        };
    };
    bench::interleave(state, {{"one", side(1), EndBackgroundQueries}, {"four", side(4), EndBackgroundQueries}});
    EndBackgroundQueries();
    state.counters["late_one_ms"] = worst[1];
    state.counters["late_four_ms"] = worst[4];
}

BENCHMARK(BM_ConsoleAgainstBare)->Iterations(3)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BackgroundOneAndFour)->Iterations(3)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints one measure and says whether it met its target.
bool verdict(const char *measure, const char *baseline, const char *target, const bench::Figure &f,
             double value, double limit, const char *unit)
{
    const bool complete = f.repetitions == kRepetitions;
    const bool met = complete && value <= limit;
    std::printf("  %-34s %-22s %-10s %10.3f%-3s %8.2f..%-8.2f  %s\n", measure, baseline, target, value, unit, f.low,
                f.high, complete ? (met ? "met" : "MISSED") : "NOT RUN");
    return met;
}

bool printSummary(const bench::MedianReporter &rep)
{
    const std::string console = "BM_ConsoleAgainstBare", windows = "BM_BackgroundOneAndFour";
    const auto bare = rep.counter(console, "bare_ms");
    const auto query = rep.counter(console, "console_ms");
    const auto one = rep.counter(windows, "one_ms");
    const auto four = rep.counter(windows, "four_ms");
    std::printf("\nSQL console, %lld rows x 5 columns, medians of %d repetitions (real time; each pair in turn)\n",
                static_cast<long long>(g.rows), kRepetitions);
    std::printf("  bare client-library fetch          %10.1f ms (%.1f..%.1f)\n", bare.median, bare.low, bare.high);
    std::printf("  console query to the filled grid   %10.1f ms (%.1f..%.1f)\n", query.median, query.low, query.high);
    std::printf("  one background window, all rows    %10.1f ms (%.1f..%.1f)\n", one.median, one.low, one.high);
    std::printf("  four background windows at once    %10.1f ms (%.1f..%.1f)\n", four.median, four.low, four.high);
    std::printf("\n  %-34s %-22s %-10s %13s %20s\n", "measure", "baseline", "target", "figure", "spread");
    bool ok = true;
    const auto consoleRatio = rep.ratio(console, "console_ms", "bare_ms");
    const auto windowsRatio = rep.ratio(windows, "four_ms", "one_ms");
    ok &= verdict("console query / bare fetch", "bare fetch, in turn", "<= 1.5", consoleRatio, consoleRatio.median,
                  1.5, "x");
    ok &= verdict("four windows / one window", "one window, in turn", "<= 1.0", windowsRatio, windowsRatio.median,
                  1.0, "x");
    const auto lateOne = rep.counter(windows, "late_one_ms");
    const auto lateFour = rep.counter(windows, "late_four_ms");
    // One late tick is a stall the user sees: the worst of every repetition decides.
    ok &= verdict("worst tick lateness, one window", "10 ms tick", "< 50 ms", lateOne, lateOne.high, 49.999, "ms");
    ok &= verdict("worst tick lateness, four windows", "10 ms tick", "< 50 ms", lateFour, lateFour.high, 49.999, "ms");
    return ok;
}

void setUp(const QString &folder)
{
    g.path = folder + QStringLiteral("/console.fdb");
    engine::Database::createDatabase(g.path);
    {
        auto db = bench::connect(g.path);
        bench::fillTable(*db, g.rows);
        // Each of the four windows reads its own quarter through the index.
        bench::exec(*db, QStringLiteral("create index T_ID on T (ID)"));
    }
    g.bare = std::make_unique<bench::BareQuery>(QFile::encodeName(g.path), kQuery);
    QStringList params = engine::Session::driverDefaultParams(QStringLiteral("INTRBASE"));
    for (QString &l : params)
        if (l.startsWith(QLatin1String("SERVER NAME=")))
            l = QStringLiteral("SERVER NAME=") + g.path;
    engine::Session::defaultSession().addAlias(QStringLiteral("BENCH"), QStringLiteral("INTRBASE"), params);
    // No repository: the console runs without a history.
    g.prompter->answer(platform::Prompter::Answer::No);
    g.workbench = std::make_unique<Workbench>(QStringList{"BENCH", "SYSDBA", ""});
    if (!browser().IsConnected)
        throw std::runtime_error("the workbench did not connect to the bench database");
}

} // namespace

int main(int argc, char **argv)
{
    if (!bench::takePositive(&argc, argv, "rows", &g.rows))
        return 1;
    const auto body = [](const QString &scratch) {
        std::printf("Filling a table of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        setUp(scratch);
        g.bare->fetchAll(); // one untimed pass warms the page cache
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    return bench::runWindowBench(argc, argv, "bench_console", g.prompter, body, [] {
        EndBackgroundQueries();
        g.workbench.reset();
        g.bare.reset();
        if (!g.path.isEmpty())
            engine::Database::dropDatabase(g.path);
    });
}
