// Text export of a million-row, five-column result against a bare
// client-library fetch of the same rows and against isql-fb writing the
// same select to a file, all in the same run.
//
//   bench_export [--rows=N] [--fb-root=DIR] [--out=DIR] [--isql=PATH] [benchmark flags]
//
// --rows     rows in the table (default 1000000)
// --fb-root  Firebird runtime folder (default: a temporary one)
// --out      folder the export files are written to (default: the temporary folder)
// --isql     the isql program (default: isql-fb on the PATH)
//
// BM_ExportWithFetch is what the user waits for once the dialogs are
// answered: the query runs, every row is fetched, and the file is written
// and committed to the disk. BM_ExportWrite writes the file from rows already
// held, the export's own share. BM_Isql runs isql-fb on the same database
// (the same embedded engine configuration, as a process of its own) with
// its output to a file. Each repetition of the export and of isql-fb also
// reports its peak memory: for the export the growth of this process's
// peak resident set over the export, for isql-fb the child's own peak.

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/ScrollingQuery.h"
#include "engine/Statement.h"
#include "workbench/Export.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTextStream>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

const char kQuery[] = "select * from T";

struct Setup {
    qint64 rows = 1000000;
    QString databasePath;
    QString outFolder;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<bench::BareQuery> bare;
    qint64 fileBytes = 0;
    qint64 isqlFileBytes = 0;
    std::string isql = "isql-fb";
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
    qint64 peak = 0;
    try {
        for (auto _ : state) {
            state.PauseTiming();
            bench::resetPeakMemory();
            const qint64 before = bench::processMemory().resident;
            state.ResumeTiming();
            q.open();
            WriteDataSetToFile(QStringLiteral("select * from T"), q, exportFile(), QStringLiteral(";"));
            total += q.recordCount();
            state.PauseTiming();
            peak = qMax(peak, bench::processMemory().peak - before);
            q.close();
            QFile::remove(exportFile());
            state.ResumeTiming();
        }
    } catch (const engine::Error &e) {
        state.SkipWithError(e.what());
        return;
    }
    bench::countRows(state, total, g.rows, "the export wrote a different number of rows");
    state.counters["peak_MiB"] = double(peak) / (1024.0 * 1024.0);
}

// The browser's data page: the grid has fetched its first screen, and the
// export writes those rows and then the rest as the server sends them,
// holding none of them. Its peak is the growth of this process's peak
// resident set over the export, set against isql-fb's whole peak.
void BM_DataPageExport(benchmark::State &state)
{
    engine::ScrollingQuery rows(g.db.get());
    qint64 total = 0;
    qint64 peak = 0;
    try {
        for (auto _ : state) {
            state.PauseTiming();
            rows.open(QString::fromLatin1(kQuery));
            rows.fetchMore(engine::ScrollingModel::kBatch);
            bench::resetPeakMemory();
            const qint64 before = bench::processMemory().resident;
            state.ResumeTiming();
            total += WriteScrollingQueryToFile(QStringLiteral("T.Data"), rows, exportFile(), QStringLiteral(";"));
            state.PauseTiming();
            peak = qMax(peak, bench::processMemory().peak - before);
            rows.close();
            QFile::remove(exportFile());
            state.ResumeTiming();
        }
    } catch (const engine::Error &e) {
        state.SkipWithError(e.what());
        return;
    }
    bench::countRows(state, total, g.rows, "the data page's export wrote a different number of rows");
    state.counters["peak_MiB"] = double(peak) / (1024.0 * 1024.0);
}

// isql-fb as a process of its own: the select of the export, its output to
// a file. Returns the child's peak resident set in bytes.
qint64 runIsql()
{
    const QString script = g.outFolder + QStringLiteral("/export.sql");
    const QString out = g.outFolder + QStringLiteral("/isql.txt");
    {
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write " + script.toStdString());
        QTextStream(&f) << "select * from T;\n";
    }
    QFile::remove(out);
    const std::string scriptPath = QFile::encodeName(script).toStdString();
    const std::string outPath = QFile::encodeName(out).toStdString();
    const std::string dbPath = QFile::encodeName(g.databasePath).toStdString();
    std::vector<std::string> args{g.isql, "-q", "-user", "SYSDBA", "-ch", "UTF8", "-i", scriptPath, "-o", outPath, dbPath};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, g.isql.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + g.isql);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(g.isql + " failed");
    g.isqlFileBytes = QFileInfo(out).size();
    QFile::remove(out);
    return qint64(usage.ru_maxrss) * 1024;
}

void BM_Isql(benchmark::State &state)
{
    qint64 peak = 0;
    try {
        for (auto _ : state)
            peak = qMax(peak, runIsql());
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["peak_MiB"] = double(peak) / (1024.0 * 1024.0);
    state.counters["rows/s"] = benchmark::Counter(double(g.rows) * double(state.iterations()),
                                                  benchmark::Counter::kIsRate);
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

BENCHMARK(BM_BareFetch)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportWithFetch)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DataPageExport)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportWrite)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Isql)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// The data page's export grows by at most twice what isql-fb needs in all.
void dataPageVerdict(const bench::MedianReporter &rep)
{
    const bench::Figure page = rep.counter("BM_DataPageExport", "peak_MiB");
    const bench::Figure isql = rep.counter("BM_Isql", "peak_MiB");
    if (!page.ran() || !isql.ran() || isql.median <= 0)
        return;
    std::printf("  data page export peak growth / isql-fb peak %6.2f  (target <= 2.00: %s)\n",
                page.median / isql.median, page.median <= 2 * isql.median ? "met" : "MISSED");
}

void printSummary(const bench::MedianReporter &rep)
{
    std::printf("\nExport of %lld rows, 5 columns; medians of the repetitions (low-high)\n",
                static_cast<long long>(g.rows));
    const struct {
        const char *label;
        const char *name;
        bool memory;
    } sides[] = {
        {"bare client-library fetch", "BM_BareFetch", false},
        {"export: query, fetch and file", "BM_ExportWithFetch", true},
        {"data page: first screen held", "BM_DataPageExport", true},
        {"export: file from held rows", "BM_ExportWrite", false},
        {"isql-fb: select to a file", "BM_Isql", true},
    };
    for (const auto &s : sides) {
        std::printf("  %-32s %s ms", s.label, rep.seconds(s.name).text(1e3, "%.0f").c_str());
        if (s.memory)
            std::printf("   peak %s MiB", rep.counter(s.name, "peak_MiB").text(1, "%.0f").c_str());
        std::printf("\n");
    }
    if (g.fileBytes > 0)
        std::printf("  file size: export %lld bytes (%.1f MiB), isql-fb %lld bytes (%.1f MiB)\n",
                    static_cast<long long>(g.fileBytes), double(g.fileBytes) / (1024.0 * 1024.0),
                    static_cast<long long>(g.isqlFileBytes), double(g.isqlFileBytes) / (1024.0 * 1024.0));
    const double bare = rep.ms("BM_BareFetch");
    const double whole = rep.ms("BM_ExportWithFetch");
    const double isql = rep.ms("BM_Isql");
    if (bare > 0 && whole > 0) {
        const double ratio = bare / whole;
        std::printf("  export with fetch, rate / bare rate %6.3f  (target >= 0.50: %s)\n", ratio,
                    ratio >= 0.5 ? "met" : "MISSED");
    }
    if (isql > 0 && whole > 0)
        std::printf("  export with fetch time / isql-fb time %6.3f\n", whole / isql);
    dataPageVerdict(rep);
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
    takeFlag(&argc, argv, "isql", &g.isql);
    QTemporaryDir scratch;
    if (!bench::begin(&argc, argv, scratch))
        return 1;
    g.outFolder = out.empty() ? scratch.path() : QString::fromStdString(out);

    const auto body = [&] {
        std::printf("Filling a table of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        createTable(scratch.path());
        g.bare->fetchAll(); // one untimed pass warms the page cache
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter);
    };
    return bench::run("bench_export", body, dropTable);
}
