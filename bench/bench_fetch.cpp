// Fetch speed of a data set (engine::Query::open, as a grid gets its rows)
// against a bare client-library fetch loop over the same table in the same
// run, and the memory the held rows cost against the bytes of their values,
// for the same rows with NONE text columns (ASCII) and with UTF8 text
// columns holding multi-byte characters.
//
//   bench_fetch [--rows=N] [--fb-root=DIR] [benchmark flags]
//
// --rows     rows in each table (default 1000000; fewer for a profiler run)
// --fb-root  Firebird runtime folder (default: a temporary one)
//
// Every side runs five repetitions of one fetch each; the summary compares
// medians, and the exit code is 1 when a target is missed. Value bytes count what the values hold: a number or date at its
// binary size, a text at its length in bytes without CHAR padding, nothing
// for NULL.

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/RowSet.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kRepetitions = 5;

// One of the two tables: the same rows, text columns in its character set.
struct Side {
    QString table;
    QString charset; // empty: the database's own (NONE)
    std::string label;
    std::unique_ptr<bench::BareQuery> bare;
    QByteArray sql;
    // Memory, measured once before the benchmarks.
    qint64 valueBytes = 0;
    qint64 heldBytes = 0;
    qint64 peakGrowth = -1;
    int messageRow = 0; // bytes of one row as the server sends it
};

struct Setup {
    qint64 rows = 1000000;
    QString databasePath;
    std::unique_ptr<engine::Database> db;
    std::vector<Side> sides;
    bool peakWasReset = false;
};

Setup g;

QString selectAll(const Side &s)
{
    return QStringLiteral("select * from ") + s.table;
}

void bareSide(benchmark::State &state, Side *s)
{
    bench::bareFetch(state, *s->bare, g.rows);
}

// The data set opens as the grid opens it; closing (freeing the rows) is
// not timed.
void querySide(benchmark::State &state, Side *s, bool readEveryValue)
{
    engine::Query q(g.db.get());
    q.setSql(selectAll(*s));
    qint64 total = 0;
    try {
        for (auto _ : state) {
            q.open();
            if (readEveryValue) {
                const int fields = q.fieldCount();
                for (int row = 0; row < q.recordCount(); ++row)
                    for (int f = 0; f < fields; ++f)
                        benchmark::DoNotOptimize(q.valueAt(row, f));
            }
            total += q.recordCount();
            state.PauseTiming();
            q.close();
            state.ResumeTiming();
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    bench::countRows(state, total, g.rows, "the data set holds a different number of rows");
}

std::string name(const char *what, const Side &s)
{
    return std::string(what) + "_" + s.label;
}

void registerSides()
{
    for (Side &s : g.sides) {
        benchmark::RegisterBenchmark(name("BM_Bare", s).c_str(), bareSide, &s)
            ->Iterations(1)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(name("BM_QueryOpen", s).c_str(), querySide, &s, false)
            ->Iterations(1)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(name("BM_QueryOpenAndRead", s).c_str(), querySide, &s, true)
            ->Iterations(1)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
    }
}

// What the values of the table hold, counted by the server: per column its
// binary size, or a text's bytes without the blanks CHAR pads it with.
qint64 valueBytesOf(const Side &s, const engine::RowSet &rows)
{
    QStringList terms;
    for (const engine::Column &c : rows.columns()) {
        switch (c.type) {
        case engine::FieldType::Char:
            terms << QStringLiteral("coalesce(octet_length(trim(trailing from %1)), 0)").arg(c.fieldName);
            break;
        case engine::FieldType::VarChar:
            terms << QStringLiteral("coalesce(octet_length(%1), 0)").arg(c.fieldName);
            break;
        default:
            terms << QStringLiteral("iif(%1 is null, 0, %2)").arg(c.fieldName).arg(c.length);
            break;
        }
    }
    return bench::scalar(*g.db, QStringLiteral("select sum(%1) from %2").arg(terms.join(QStringLiteral(" + ")), s.table))
        .toLongLong();
}

int messageRowOf(const engine::RowSet &rows)
{
    int n = 0;
    for (const engine::Column &c : rows.columns())
        n += (c.type == engine::FieldType::VarChar ? c.length + 2 : c.length) + 2;
    return n;
}

// Measured before any benchmark frees rows, every side's data set kept open
// until all are measured: memory the allocator keeps after a free would
// otherwise hide part of the next side's growth.
void measureHeldMemory()
{
    std::vector<std::unique_ptr<engine::Query>> open;
    for (Side &s : g.sides) {
        // Every page read once first, so the page cache and the
        // attachment's own memory are in place before the measurement.
        bench::scalar(*g.db, QStringLiteral("select count(*) from ") + s.table);
        auto q = std::make_unique<engine::Query>(g.db.get());
        q->setSql(selectAll(s));
        const bench::PeakGrowth growth;
        q->open();
        s.peakGrowth = growth.bytes();
        g.peakWasReset = growth.exact();
        const engine::RowSet &rows = q->statement().rows();
        s.heldBytes = rows.heldBytes();
        s.valueBytes = valueBytesOf(s, rows);
        s.messageRow = messageRowOf(rows);
        open.push_back(std::move(q));
    }
}

double mib(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

bool printSummary(const bench::MedianReporter &rep)
{
    bool ok = true;
    std::printf("\nFetch of %lld rows through a data set against the bare loop; medians of %d repetitions\n",
                static_cast<long long>(g.rows), kRepetitions);
    for (const Side &s : g.sides) {
        const bench::Figure bare = rep.counter(name("BM_Bare", s), "rows/s");
        const bench::Figure open = rep.counter(name("BM_QueryOpen", s), "rows/s");
        const bench::Figure read = rep.counter(name("BM_QueryOpenAndRead", s), "rows/s");
        std::printf("  %s text columns, rows/s (low-high):\n", s.label.c_str());
        std::printf("    bare client-library loop   %s\n", bare.text(1, "%.0f").c_str());
        std::printf("    Query::open                %s\n", open.text(1, "%.0f").c_str());
        std::printf("    Query::open + every value  %s\n", read.text(1, "%.0f").c_str());
        if (bare.ran() && open.ran()) {
            const double ratio = open.median / bare.median;
            std::printf("    data set / bare            %.3f  (target >= 0.80: %s)\n", ratio,
                        ratio >= 0.8 ? "met" : "MISSED");
            ok = ok && ratio >= 0.8;
        } else {
            ok = false;
        }
    }

    std::printf("\nMemory of the held rows against the bytes of their values\n");
    for (const Side &s : g.sides) {
        const double held = s.valueBytes > 0 ? double(s.heldBytes) / double(s.valueBytes) : 0;
        const double peak = s.valueBytes > 0 ? double(s.peakGrowth) / double(s.valueBytes) : 0;
        std::printf("  %s text columns:\n", s.label.c_str());
        std::printf("    value bytes                %12lld  (%.1f MiB)\n", static_cast<long long>(s.valueBytes),
                    mib(s.valueBytes));
        std::printf("    as the server sends them   %12lld  (%.1f MiB; %d bytes a row)\n",
                    static_cast<long long>(qint64(s.messageRow) * g.rows), mib(qint64(s.messageRow) * g.rows),
                    s.messageRow);
        std::printf("    held (RowSet::heldBytes)   %12lld  (%.1f MiB)  %.2f x values\n",
                    static_cast<long long>(s.heldBytes), mib(s.heldBytes), held);
        if (s.peakGrowth >= 0)
            std::printf("    peak resident growth       %12lld  (%.1f MiB)  %.2f x values%s\n",
                        static_cast<long long>(s.peakGrowth), mib(s.peakGrowth), peak,
                        g.peakWasReset ? "" : "  [peak could not be reset: may read low]");
        const double worst = std::max(held, s.peakGrowth >= 0 ? peak : held);
        std::printf("    target: held and peak <= 2 x values: %s\n", worst <= 2.0 ? "met" : "MISSED");
        ok = ok && worst <= 2.0;
    }
    return ok;
}

void createTables(const QString &folder)
{
    g.databasePath = folder + QStringLiteral("/fetch.fdb");
    engine::Database::createDatabase(g.databasePath);
    g.db = bench::connect(g.databasePath);
    g.sides.resize(2);
    g.sides[0].table = QStringLiteral("T");
    g.sides[0].label = "NONE";
    g.sides[1].table = QStringLiteral("TU");
    g.sides[1].charset = QStringLiteral("UTF8");
    g.sides[1].label = "UTF8";
    for (Side &s : g.sides) {
        bench::fillTable(*g.db, g.rows, s.table, s.charset);
        const qint64 count = bench::scalar(*g.db, QStringLiteral("select count(*) from ") + s.table).toLongLong();
        if (count != g.rows)
            throw std::runtime_error("the table holds " + std::to_string(count) + " rows, not "
                                     + std::to_string(g.rows));
        s.sql = selectAll(s).toLatin1();
        s.bare = std::make_unique<bench::BareQuery>(QFile::encodeName(g.databasePath), s.sql.constData());
        s.bare->fetchAll(); // one untimed pass
    }
}

void dropTables()
{
    g.sides.clear();
    g.db.reset();
    if (!g.databasePath.isEmpty())
        engine::Database::dropDatabase(g.databasePath);
    g.databasePath.clear();
}

} // namespace

int main(int argc, char **argv)
{
    if (!bench::takePositive(&argc, argv, "rows", &g.rows))
        return 1;
    QTemporaryDir scratch;
    if (!bench::begin(&argc, argv, scratch))
        return 1;

    const auto body = [&] {
        std::printf("Filling two tables of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        createTables(scratch.path());
        measureHeldMemory();
        registerSides();
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    return bench::run("bench_fetch", body, dropTables);
}
