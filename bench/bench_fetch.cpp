// Fetch speed of engine::Statement::open() against a bare client-library
// fetch loop over the same table in the same run, and the memory the held
// rows cost against the size of the rows as the server sends them.
//
//   bench_fetch [--rows=N] [--fb-root=DIR] [benchmark flags]
//
// --rows     rows in the table (default 1000000; fewer for a profiler run)
// --fb-root  Firebird runtime folder (default: a temporary one)

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/RowSet.h"
#include "engine/Statement.h"

#include <benchmark/benchmark.h>
#include <ibase.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char kQuery[] = "select * from T";

using bench::messageSize;

struct WireColumn {
    std::string name;
    int bytes = 0;
    bool varying = false;
    bool nullable = false;
};

// What every benchmark runs against: one table made once per run.
struct Setup {
    qint64 rows = 1000000;
    QString databasePath;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<bench::BareQuery> bare;
    std::vector<WireColumn> wireColumns;
};

Setup g;

void BM_EngineOpen(benchmark::State &state)
{
    engine::Statement s(g.db.get());
    s.setSql(QString::fromLatin1(kQuery));
    qint64 total = 0;
    try {
        for (auto _ : state) {
            s.open();
            total += s.rows().rowCount();
            state.PauseTiming();
            s.close();
            state.ResumeTiming();
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    bench::countRows(state, total, g.rows, "the engine fetched a different number of rows");
}

void BM_EngineOpenAndRead(benchmark::State &state)
{
    engine::Statement s(g.db.get());
    s.setSql(QString::fromLatin1(kQuery));
    qint64 total = 0;
    try {
        for (auto _ : state) {
            s.open();
            const engine::RowSet &r = s.rows();
            const int cols = r.columnCount();
            for (qsizetype row = 0; row < r.rowCount(); ++row) {
                for (int col = 0; col < cols; ++col) {
                    QVariant v = r.value(row, col);
                    benchmark::DoNotOptimize(v);
                }
            }
            total += r.rowCount();
            state.PauseTiming();
            s.close();
            state.ResumeTiming();
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    bench::countRows(state, total, g.rows, "the engine fetched a different number of rows");
}

void BM_BareFetch(benchmark::State &state)
{
    bench::bareFetch(state, *g.bare, g.rows);
}

BENCHMARK(BM_BareFetch)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EngineOpen)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EngineOpenAndRead)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints as usual and keeps each benchmark's rows and real time, so the
// summary compares the rates of this very run.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    struct Totals {
        double rows = 0;
        double seconds = 0;
        double meanRate = 0; // when only aggregates are reported
        bool failed = false;
    };

    RecordingReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &reports) override
    {
        benchmark::ConsoleReporter::ReportRuns(reports);
        for (const Run &r : reports) {
            Totals &t = m_totals[r.run_name.function_name];
            if (r.error_occurred) {
                t.failed = true;
                continue;
            }
            const auto c = r.counters.find("rows/s");
            if (c == r.counters.end())
                continue;
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name == "mean")
                    t.meanRate = c->second.value;
                continue;
            }
            // Every benchmark here measures real time, so the finished rate
            // counter was divided by it: multiplying gives back the rows.
            t.rows += c->second.value * r.real_accumulated_time;
            t.seconds += r.real_accumulated_time;
        }
    }

    // Rows per second of real time; 0 when the benchmark did not run.
    double rate(const std::string &name) const
    {
        const auto it = m_totals.find(name);
        if (it == m_totals.end() || it->second.failed)
            return 0;
        if (it->second.seconds > 0)
            return it->second.rows / it->second.seconds;
        return it->second.meanRate;
    }

private:
    std::map<std::string, Totals> m_totals;
};

struct ProcMemory {
    qint64 hwmKb = -1; // VmHWM: peak resident set
    qint64 rssKb = -1; // VmRSS
};

ProcMemory readProcMemory()
{
    ProcMemory m;
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        if (parts[0] == "VmHWM:")
            m.hwmKb = parts[1].toLongLong();
        else if (parts[0] == "VmRSS:")
            m.rssKb = parts[1].toLongLong();
    }
    return m;
}

// Sets the peak back to the current resident set, so the peak after the open
// is the open's own. False where the kernel does not allow it.
bool resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

struct MemoryFigures {
    qint64 rowsHeld = 0;
    int rowStride = 0;
    qint64 heldBytes = 0;
    qint64 rssGrowthBytes = -1;
    qint64 rssAfterOpenGrowthBytes = -1;
    bool peakWasReset = false;
};

// Measured before any benchmark holds rows: freed blocks kept by the
// allocator would otherwise hide part of the growth.
MemoryFigures measureHeldMemory()
{
    // Reading every page once first, so the engine's page cache and the
    // attachment's own memory are in place before the measurement.
    bench::scalar(*g.db, QStringLiteral("select count(*) from T"));

    MemoryFigures f;
    engine::Statement s(g.db.get());
    s.setSql(QString::fromLatin1(kQuery));
    f.peakWasReset = resetPeakMemory();
    const ProcMemory before = readProcMemory();
    s.open();
    const ProcMemory after = readProcMemory();
    f.rowsHeld = s.rows().rowCount();
    f.rowStride = s.rows().rowSize();
    f.heldBytes = s.rows().heldBytes();
    if (before.hwmKb >= 0 && after.hwmKb >= 0) {
        // After a reset the peak starts from the current resident set.
        const qint64 base = f.peakWasReset ? before.rssKb : before.hwmKb;
        f.rssGrowthBytes = (after.hwmKb - base) * 1024;
        f.rssAfterOpenGrowthBytes = (after.rssKb - before.rssKb) * 1024;
    }
    return f;
}

void createTable(const QString &folder)
{
    g.databasePath = folder + QStringLiteral("/fetch.fdb");
    engine::Database::createDatabase(g.databasePath);
    g.db = bench::connect(g.databasePath);
    bench::fillTable(*g.db, g.rows);
    const qint64 count = bench::scalar(*g.db, QStringLiteral("select count(*) from T")).toLongLong();
    if (count != g.rows)
        throw std::runtime_error("the table holds " + std::to_string(count) + " rows, not "
                                 + std::to_string(g.rows));
    g.bare = std::make_unique<bench::BareQuery>(QFile::encodeName(g.databasePath), kQuery);
}

void dropTable()
{
    g.bare.reset();
    g.db.reset();
    if (!g.databasePath.isEmpty())
        engine::Database::dropDatabase(g.databasePath);
    g.databasePath.clear();
}

double mib(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

void printSummary(const RecordingReporter &rep, const MemoryFigures &mem, qint64 valueBytes)
{
    const double bare = rep.rate("BM_BareFetch");
    const double open = rep.rate("BM_EngineOpen");
    const double read = rep.rate("BM_EngineOpenAndRead");

    auto printRate = [](const char *label, double rate) {
        if (rate > 0)
            std::printf("  %-26s %12.0f rows/s\n", label, rate);
        else
            std::printf("  %-26s %12s\n", label, "not run");
    };
    std::printf("\nFetch rates over %lld rows (real time)\n", static_cast<long long>(g.rows));
    printRate("bare client-library loop", bare);
    printRate("engine Statement::open()", open);
    printRate("engine open() + value()", read);
    if (open > 0 && read > 0)
        std::printf("  decoding every value       %12.1f ns/row (%d columns)\n", (1e9 / read) - (1e9 / open),
                    int(g.wireColumns.size()));
    if (bare > 0 && open > 0) {
        const double ratio = open / bare;
        std::printf("  engine / bare              %12.3f  (target >= 0.70: %s)\n", ratio,
                    ratio >= 0.7 ? "met" : "MISSED");
    }

    int messageRow = 0;
    std::printf("\nMemory of the held rows\n  server message per row:");
    for (const WireColumn &c : g.wireColumns) {
        std::printf(" %s %d%s", c.name.c_str(), c.bytes, c.nullable ? "+2" : "");
        messageRow += c.bytes + (c.nullable ? 2 : 0);
    }
    std::printf(" = %d bytes\n", messageRow);
    const qint64 raw = qint64(messageRow) * mem.rowsHeld;
    std::printf("  raw (fixed-width messages) %12lld bytes  (%.1f MiB)\n", static_cast<long long>(raw), mib(raw));
    if (valueBytes > 0)
        std::printf("  values without padding     %12lld bytes  (%.1f MiB; VARCHAR at its length, no indicators)\n",
                    static_cast<long long>(valueBytes), mib(valueBytes));
    std::printf("  held, RowSet::heldBytes()  %12lld bytes  (%.1f MiB; %d bytes per stored row)\n",
                static_cast<long long>(mem.heldBytes), mib(mem.heldBytes), mem.rowStride);
    if (mem.rssGrowthBytes >= 0) {
        std::printf("  peak RSS growth (VmHWM)    %12lld bytes  (%.1f MiB)%s\n",
                    static_cast<long long>(mem.rssGrowthBytes), mib(mem.rssGrowthBytes),
                    mem.peakWasReset ? "" : "  [peak could not be reset: may read low]");
        std::printf("  RSS growth after open      %12lld bytes  (%.1f MiB)\n",
                    static_cast<long long>(mem.rssAfterOpenGrowthBytes), mib(mem.rssAfterOpenGrowthBytes));
    }
    if (raw > 0) {
        const double heldRatio = double(mem.heldBytes) / double(raw);
        std::printf("  held / raw                 %12.3f\n", heldRatio);
        double peakRatio = heldRatio;
        if (mem.rssGrowthBytes >= 0) {
            peakRatio = double(mem.rssGrowthBytes) / double(raw);
            std::printf("  peak RSS growth / raw      %12.3f\n", peakRatio);
        }
        std::printf("  target: peak <= 3x raw     %12s\n",
                    (heldRatio <= 3.0 && peakRatio <= 3.0) ? "met" : "MISSED");
    }
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
        std::printf("Filling a table of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        createTable(scratch.path());
        // One untimed pass, which also reads the columns as described.
        g.bare->fetchAll();
        const XSQLDA *da = g.bare->described();
        for (int i = 0; i < da->sqld; ++i) {
            const XSQLVAR &v = da->sqlvar[i];
            g.wireColumns.push_back({std::string(v.sqlname, size_t(v.sqlname_length)), messageSize(v),
                                     (v.sqltype & ~1) == SQL_VARYING, (v.sqltype & 1) != 0});
        }
        const MemoryFigures mem = measureHeldMemory();
        qint64 valueBytes = 0;
        for (const WireColumn &c : g.wireColumns)
            valueBytes += (c.varying ? 2 : c.bytes) * g.rows;
        valueBytes += bench::scalar(*g.db, QStringLiteral("select sum(char_length(REMARK)) from T")).toLongLong();

        RecordingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter, mem, valueBytes);
    };
    return bench::run("bench_fetch", body, dropTable);
}
