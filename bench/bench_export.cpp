// Text export of a million-row, five-column result against a bare
// client-library fetch of the same rows in the same run.
//
//   bench_export [--rows=N] [--fb-root=DIR] [--out=DIR] [benchmark flags]
//
// --rows     rows in the table (default 1000000)
// --fb-root  Firebird runtime folder (default: a temporary one)
// --out      folder the export files are written to (default: the temporary folder)
//
// BM_ExportWithFetch is what the user waits for once the dialogs are
// answered: the query runs, every row is fetched, and the file is written
// and committed to the disk. BM_ExportWrite writes the file from rows already
// held, the export's own share.

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/Statement.h"
#include "workbench/Export.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
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

struct Setup {
    qint64 rows = 1000000;
    QString databasePath;
    QString outFolder;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<bench::BareQuery> bare;
    qint64 fileBytes = 0;
};

Setup g;

QString exportFile()
{
    return g.outFolder + QStringLiteral("/export.txt");
}

void BM_BareFetch(benchmark::State &state)
{
    bench::bareFetch(state, *g.bare, g.rows);
}

void BM_ExportWithFetch(benchmark::State &state)
{
    engine::Query q(g.db.get());
    q.setSql(QString::fromLatin1(kQuery));
    qint64 total = 0;
    try {
        for (auto _ : state) {
            q.open();
            WriteDataSetToFile(QStringLiteral("select * from T"), q, exportFile(), QStringLiteral(";"));
            total += q.recordCount();
            state.PauseTiming();
            q.close();
            QFile::remove(exportFile());
            state.ResumeTiming();
        }
    } catch (const engine::Error &e) {
        state.SkipWithError(e.what());
        return;
    }
    bench::countRows(state, total, g.rows, "the export wrote a different number of rows");
}

void BM_ExportWrite(benchmark::State &state)
{
    engine::Query q(g.db.get());
    q.setSql(QString::fromLatin1(kQuery));
    qint64 total = 0;
    try {
        q.open();
        for (auto _ : state) {
            WriteDataSetToFile(QStringLiteral("select * from T"), q, exportFile(), QStringLiteral(";"));
            total += q.recordCount();
            state.PauseTiming();
            g.fileBytes = QFileInfo(exportFile()).size();
            QFile::remove(exportFile());
            state.ResumeTiming();
        }
    } catch (const engine::Error &e) {
        state.SkipWithError(e.what());
        return;
    }
    bench::countRows(state, total, g.rows, "the export wrote a different number of rows");
}

BENCHMARK(BM_BareFetch)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportWithFetch)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportWrite)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void printSummary(const bench::CounterReporter &rep)
{
    const double bare = rep.value("BM_BareFetch");
    const double whole = rep.value("BM_ExportWithFetch");
    const double write = rep.value("BM_ExportWrite");
    auto printRate = [](const char *label, double rate) {
        if (rate > 0)
            std::printf("  %-34s %12.0f rows/s\n", label, rate);
        else
            std::printf("  %-34s %12s\n", label, "not run");
    };
    std::printf("\nExport of %lld rows, 5 columns (real time)\n", static_cast<long long>(g.rows));
    printRate("bare client-library fetch", bare);
    printRate("export: query, fetch and file", whole);
    printRate("export: file from held rows", write);
    if (g.fileBytes > 0)
        std::printf("  file size                          %12lld bytes (%.1f MiB)\n",
                    static_cast<long long>(g.fileBytes), double(g.fileBytes) / (1024.0 * 1024.0));
    if (bare > 0 && whole > 0) {
        const double ratio = whole / bare;
        std::printf("  export with fetch / bare           %12.3f  (target >= 0.50: %s)\n", ratio,
                    ratio >= 0.5 ? "met" : "MISSED");
    }
    if (bare > 0 && write > 0)
        std::printf("  file from held rows / bare         %12.3f\n", write / bare);
}

void createTable(const QString &folder)
{
    g.databasePath = folder + QStringLiteral("/export.fdb");
    engine::Database::createDatabase(g.databasePath);
    g.db = bench::connect(g.databasePath);
    bench::fillTable(*g.db, g.rows);
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


} // namespace

int main(int argc, char **argv)
{
    std::string out;
    if (!bench::takePositive(&argc, argv, "rows", &g.rows))
        return 1;
    takeFlag(&argc, argv, "out", &out);
    QTemporaryDir scratch;
    if (!bench::begin(&argc, argv, scratch))
        return 1;
    g.outFolder = out.empty() ? scratch.path() : QString::fromStdString(out);

    const auto body = [&] {
        std::printf("Filling a table of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        createTable(scratch.path());
        g.bare->fetchAll(); // one untimed pass warms the page cache
        bench::CounterReporter reporter("rows/s");
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter);
    };
    return bench::run("bench_export", body, dropTable);
}
