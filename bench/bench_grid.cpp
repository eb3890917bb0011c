// Cell text through engine::GridModel over a million-row data set against the
// same cells read straight from the held rows (RowSet::text) in the same run;
// and one screen at the first rows against one at the last rows, which must
// cost the same (no walk from the first row). The two sides of each run in
// turn, so the machine's drift weighs on both. Target: within 1.2 times the
// baseline; the exit code is 1 when it is missed.
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
#include <functional>
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

// Characters of each position's screen, from the direct read.
std::vector<qint64> g_directChars;
qint64 g_firstChars = 0;
qint64 g_lastChars = 0;

// The positions are read a slice at a time, the two sides taking turns at
// every slice, so both see the same moment of a busy machine.
constexpr int kSlice = 50;
constexpr int kSlices = kPositions / kSlice;

// Throws when a slice read other characters than the direct read did.
void expect(qint64 chars, qint64 expected)
{
    if (chars != expected)
        throw std::runtime_error("the cells read differ from the direct read");
}

// One side of a comparison: each run reads the next slice.
template <class Read>
std::function<void()> slices(Read read)
{
    return [read, next = 0]() mutable {
        const int first = next * kSlice;
        next = (next + 1) % kSlices;
        qint64 chars = 0, expected = 0;
        for (int k = first; k < first + kSlice; ++k) {
            chars += read(k);
            expected += g_directChars[size_t(k)];
        }
        expect(chars, expected);
    };
}

// One screen, painted once per position of a slice.
std::function<void()> screenAt(int top, qint64 expected)
{
    return [top, expected] {
        qint64 chars = 0;
        for (int k = 0; k < kSlice; ++k)
            chars += paintScreen(*g.model, top);
        expect(chars, expected * kSlice);
    };
}

void BM_GridAgainstDirect(benchmark::State &state)
{
    bench::interleave(state, {{"direct", slices([](int k) { return readScreen(heldRows(), g.positions[size_t(k)]); })},
                              {"grid", slices([](int k) { return paintScreen(*g.model, g.positions[size_t(k)]); })}});
}

void BM_LastAgainstFirst(benchmark::State &state)
{
    bench::interleave(state, {{"first", screenAt(0, g_firstChars)},
                              {"last", screenAt(int(g.rows) - kScreenRows, g_lastChars)}});
}

// Each repetition passes over every position three times.
constexpr int kRounds = 3 * kSlices;
constexpr int kRepetitions = 9;
BENCHMARK(BM_GridAgainstDirect)->Iterations(kRounds)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LastAgainstFirst)->Iterations(kRounds)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr double kTarget = 1.2;

// Nanoseconds per cell of one side, over the repetitions.
bench::Figure nsPerCell(const bench::MedianReporter &rep, const std::string &name, const std::string &side)
{
    const double cells = double(kSlice) * kScreenRows * 5;
    return rep.counter(name, side + "_ms").scaled(1e6 / cells);
}

// Prints one comparison and says whether its ratio met the target.
bool compare(const bench::MedianReporter &rep, const char *measure, const std::string &name, const char *base,
             const char *own)
{
    const bench::Figure b = nsPerCell(rep, name, base), o = nsPerCell(rep, name, own);
    const bench::Figure r = rep.ratio(name, std::string(own) + "_ms", std::string(base) + "_ms");
    const bool met = r.ran() && r.median <= kTarget;
    std::printf("  %-24s %8.1f ns %8.1f ns  <= %.2f x  %6.3f x (%.3f-%.3f)  %s\n", measure, b.median, o.median,
                kTarget, r.median, r.low, r.high, met ? "met" : "MISSED");
    return met;
}

bool printSummary(const bench::MedianReporter &rep)
{
    std::printf("\nDisplay text of %d screens of %d rows x 5 columns over %lld rows, each side in turn with its "
                "baseline, %d screens at a time (%d turns x %d repetitions)\n",
                kPositions, kScreenRows, static_cast<long long>(g.rows), kSlice, kRounds, kRepetitions);
    std::printf("  %-24s %11s %11s  %-8s  %s\n", "measure", "baseline", "median", "target",
                "ratio: median (low-high of the repetitions)");
    // Each cell through the model against the same cell read from the held
    // rows; one screen at the last rows against one at the first (the model
    // walks no rows to reach a position).
    bool ok = compare(rep, "grid / direct read", "BM_GridAgainstDirect", "direct", "grid");
    ok = compare(rep, "last rows / first rows", "BM_LastAgainstFirst", "first", "last") && ok;
    return ok;
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
        g_directChars.push_back(readScreen(heldRows(), top));
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
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    return bench::run("bench_grid", body, dropTable);
}
