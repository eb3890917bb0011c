// Cell text through engine::GridModel over a million-row data set against the
// same cells read straight from the held rows (RowSet::text) in the same run;
// and one screen at the first rows against one at the last rows, which must
// cost the same (no walk from the first row).
//
//   bench_grid [--rows=N] [--fb-root=DIR] [benchmark flags]
//
// --rows     rows in the table (default 1000000)
// --fb-root  Firebird runtime folder (default: a temporary one)

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/GridModel.h"
#include "engine/Query.h"
#include "engine/RowSet.h"
#include "engine/Statement.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kScreenRows = 40;
constexpr int kPositions = 1000;

struct Setup {
    qint64 rows = 1000000;
    QString databasePath;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<engine::Query> query;
    std::unique_ptr<engine::GridModel> model;
    std::vector<int> positions; // first row of each screen, spread over the rows
};

Setup g;

// Every cell of one screen through the model, as a view paints it.
qint64 paintScreen(const engine::GridModel &m, int top)
{
    qint64 chars = 0;
    const int cols = m.columnCount();
    for (int r = top; r < top + kScreenRows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const QVariant v = m.data(m.index(r, c), Qt::DisplayRole);
            chars += v.toString().size();
        }
    }
    return chars;
}

// The same cells straight from the rows the data set holds.
qint64 readScreen(const engine::RowSet &rows, int top)
{
    qint64 chars = 0;
    const int cols = rows.columnCount();
    for (int r = top; r < top + kScreenRows; ++r)
        for (int c = 0; c < cols; ++c)
            chars += rows.text(r, c).size();
    return chars;
}

const engine::RowSet &heldRows()
{
    return g.query->statement().rows();
}

void finish(benchmark::State &state, qint64 chars, qint64 expected)
{
    if (chars != expected)
        state.SkipWithError("the cells read differ from the direct read");
    const double cells = double(state.iterations()) * double(g.positions.size()) * kScreenRows * 5;
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
}

qint64 g_directChars = 0; // characters of one pass, from the direct read
qint64 g_firstChars = 0;
qint64 g_lastChars = 0;

void BM_DirectSpread(benchmark::State &state)
{
    qint64 chars = 0;
    for (auto _ : state) {
        chars = 0;
        for (int top : g.positions)
            chars += readScreen(heldRows(), top);
        benchmark::DoNotOptimize(chars);
    }
    finish(state, chars, g_directChars);
}

void BM_GridSpread(benchmark::State &state)
{
    qint64 chars = 0;
    for (auto _ : state) {
        chars = 0;
        for (int top : g.positions)
            chars += paintScreen(*g.model, top);
        benchmark::DoNotOptimize(chars);
    }
    finish(state, chars, g_directChars);
}

// One screen, painted as many times as there are positions, at either end.
void screenAt(benchmark::State &state, int top, qint64 expected)
{
    qint64 chars = 0;
    for (auto _ : state) {
        chars = 0;
        for (size_t i = 0; i < g.positions.size(); ++i)
            chars += paintScreen(*g.model, top);
        benchmark::DoNotOptimize(chars);
    }
    finish(state, chars, expected * qint64(g.positions.size()));
}

void BM_GridFirstRows(benchmark::State &state)
{
    screenAt(state, 0, g_firstChars);
}

void BM_GridLastRows(benchmark::State &state)
{
    screenAt(state, int(g.rows) - kScreenRows, g_lastChars);
}

BENCHMARK(BM_DirectSpread)->Iterations(4)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GridSpread)->Iterations(4)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GridFirstRows)->Iterations(4)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GridLastRows)->Iterations(4)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// Nanoseconds per cell over the repetitions (the median of the rates gives
// the median time).
bench::Figure nsPerCell(const bench::MedianReporter &rep, const std::string &name)
{
    const bench::Figure rate = rep.counter(name, "cells/s");
    if (!rate.ran() || rate.low <= 0)
        return {};
    bench::Figure f = rate;
    f.median = 1e9 / rate.median;
    f.low = 1e9 / rate.high;
    f.high = 1e9 / rate.low;
    return f;
}

void printSummary(const bench::MedianReporter &rep)
{
    const bench::Figure directF = nsPerCell(rep, "BM_DirectSpread");
    const bench::Figure gridF = nsPerCell(rep, "BM_GridSpread");
    const bench::Figure firstF = nsPerCell(rep, "BM_GridFirstRows");
    const bench::Figure lastF = nsPerCell(rep, "BM_GridLastRows");
    const double direct = directF.median, grid = gridF.median, first = firstF.median, last = lastF.median;
    auto line = [](const char *label, const bench::Figure &ns) {
        std::printf("  %-38s %s ns/cell\n", label, ns.text(1, "%.1f").c_str());
    };
    std::printf("\nDisplay text of %d screens of %d rows x 5 columns over %lld rows (real time, medians)\n",
                kPositions, kScreenRows, static_cast<long long>(g.rows));
    line("RowSet::text, straight", directF);
    line("GridModel::data, same cells", gridF);
    line("GridModel, one screen at the first rows", firstF);
    line("GridModel, one screen at the last rows", lastF);
    if (direct > 0 && grid > 0) {
        const double ratio = grid / direct;
        std::printf("  grid / direct                          %8.3f  (target <= 1.50: %s)\n", ratio,
                    ratio <= 1.5 ? "met" : "MISSED");
    }
    if (first > 0 && last > 0) {
        const double ratio = last / first;
        // Same cost within measurement noise.
        std::printf("  last rows / first rows                 %8.3f  (target about 1: %s)\n", ratio,
                    ratio <= 1.2 ? "met" : "MISSED");
    }
}

void createTable(const QString &folder)
{
    g.databasePath = folder + QStringLiteral("/grid.fdb");
    engine::Database::createDatabase(g.databasePath);
    g.db = bench::connect(g.databasePath);
    bench::fillTable(*g.db, g.rows);

    g.query = std::make_unique<engine::Query>(g.db.get());
    g.query->setSql(QStringLiteral("select * from T order by ID"));
    g.query->open();
    if (g.query->recordCount() != g.rows)
        throw std::runtime_error("the data set holds " + std::to_string(g.query->recordCount()) + " rows, not "
                                 + std::to_string(g.rows));
    g.model = std::make_unique<engine::GridModel>(g.query.get());
    if (g.model->rowCount() != g.rows || g.model->columnCount() != 5)
        throw std::runtime_error("the grid model does not show the whole data set");

    const qint64 span = g.rows - kScreenRows;
    for (int k = 0; k < kPositions; ++k)
        g.positions.push_back(int(span * k / (kPositions - 1)));
    for (int top : g.positions)
        g_directChars += readScreen(heldRows(), top);
    g_firstChars = readScreen(heldRows(), 0);
    g_lastChars = readScreen(heldRows(), int(g.rows) - kScreenRows);
}

void dropTable()
{
    g.model.reset();
    g.query.reset();
    g.db.reset();
    if (!g.databasePath.isEmpty())
        engine::Database::dropDatabase(g.databasePath);
    g.databasePath.clear();
}


} // namespace

int main(int argc, char **argv)
{
    std::string rows;
    if (takeFlag(&argc, argv, "rows", &rows)) {
        g.rows = std::atoll(rows.c_str());
        if (g.rows < kScreenRows) {
            std::fprintf(stderr, "--rows needs at least %d\n", kScreenRows);
            return 1;
        }
    }
    QTemporaryDir scratch;
    if (!bench::begin(&argc, argv, scratch))
        return 1;

    const auto body = [&] {
        std::printf("Filling and opening a table of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        createTable(scratch.path());
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter);
    };
    return bench::run("bench_grid", body, dropTable);
}
