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
// BM_ExportAgainstBaselines runs three sides in turn in every repetition:
// the bare fetch; the export as the user waits for it once the dialogs are
// answered (the query runs, every row is fetched, and the file is written
// and committed to the disk); and isql-fb on the same database (the same
// embedded engine configuration, as a process of its own) with its output
// to a file. BM_ExportWrite writes the file from rows already held, the
// export's own share. Each repetition of the export and of isql-fb also
// reports its peak memory: for the export the growth of this process's
// peak resident set over the export, for isql-fb the child's own peak, read
// by child_peak (built beside this program), which starts it: a child's
// peak as wait4 gives it to this process would count this process's memory
// at the start. BM_DataPageExport is the browser's data page: its first
// screen held, the export writes those rows and streams the rest.
//
// Targets: the export with its fetch within 2 times isql-fb's time on the
// same rows; writing the file from held rows grows memory by no more than
// isql-fb's whole peak (the rows the grid holds are the grid's, the export
// adds only its buffer); the data page's export grows memory by at most
// twice isql-fb's whole peak; the export's rate at least half the bare
// fetch's.
// The exit code is 1 when one is missed.

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

#include <malloc.h>
#include <spawn.h>
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
    std::string childPeak; // child_peak beside this program
};

Setup g;

QString exportFile()
{
    return g.outFolder + QStringLiteral("/export.txt");
}

// The child's peak as child_peak found it, and child_peak's own resident
// set when it started the child.
struct ChildPeak {
    qint64 peak = 0;
    qint64 floor = 0;
};

// isql-fb as a process of its own, started by child_peak: the select of the
// export, its output to a file.
ChildPeak runIsql()
{
    const QString script = g.outFolder + QStringLiteral("/export.sql");
    const QString out = g.outFolder + QStringLiteral("/isql.txt");
    const QString peakFile = g.outFolder + QStringLiteral("/isql.peak");
    {
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write " + script.toStdString());
        QTextStream(&f) << "select * from T;\n";
    }
    QFile::remove(out);
    QFile::remove(peakFile);
    const std::string scriptPath = QFile::encodeName(script).toStdString();
    const std::string outPath = QFile::encodeName(out).toStdString();
    const std::string dbPath = QFile::encodeName(g.databasePath).toStdString();
    std::vector<std::string> args{g.childPeak, QFile::encodeName(peakFile).toStdString(), g.isql, "-q", "-user",
                                  "SYSDBA", "-ch", "UTF8", "-i", scriptPath, "-o", outPath, dbPath};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, g.childPeak.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + g.childPeak);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(g.isql + " failed");
    g.isqlFileBytes = QFileInfo(out).size();
    QFile::remove(out);
    QFile f(peakFile);
    ChildPeak p;
    if (f.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> numbers = f.readAll().simplified().split(' ');
        p.peak = numbers.value(0).toLongLong();
        p.floor = numbers.value(1).toLongLong();
    }
    if (p.peak <= 0)
        throw std::runtime_error("child_peak reported no peak for " + g.isql);
    return p;
}

// The bare fetch, the export with its fetch and isql-fb, in turn within
// every repetition. Counters per repetition: each side's time, the
// export's peak growth, isql-fb's own peak and child_peak's.
void BM_ExportAgainstBaselines(benchmark::State &state)
{
    engine::Query q(g.db.get());
    q.setSql(QString::fromLatin1(kQuery));
    qint64 exportPeak = 0;
    ChildPeak isqlPeak;
    std::unique_ptr<bench::PeakGrowth> growth;
    const auto expectRows = [](qint64 rows, const char *who) {
        if (rows != g.rows)
            throw std::runtime_error(std::string(who) + " got " + std::to_string(rows) + " rows");
    };
    bench::interleave(
        state,
        {{"bare", [&] { expectRows(g.bare->fetchAll(), "the bare fetch"); }},
         {"export",
          [&] {
              growth = std::make_unique<bench::PeakGrowth>();
              q.open();
              WriteDataSetToFile(QStringLiteral("select * from T"), q, exportFile(), QStringLiteral(";"));
              expectRows(q.recordCount(), "the export");
          },
          [&] {
              exportPeak = qMax(exportPeak, growth->bytes());
              q.close();
              QFile::remove(exportFile());
          }},
         {"isql", [&] {
              const ChildPeak p = runIsql();
              isqlPeak.peak = qMax(isqlPeak.peak, p.peak);
              isqlPeak.floor = qMax(isqlPeak.floor, p.floor);
          }}});
    state.counters["export_peak_MiB"] = double(exportPeak) / (1024.0 * 1024.0);
    state.counters["isql_peak_MiB"] = double(isqlPeak.peak) / (1024.0 * 1024.0);
    state.counters["isql_floor_MiB"] = double(isqlPeak.floor) / (1024.0 * 1024.0);
}

void BM_ExportWrite(benchmark::State &state)
{
    engine::Query q(g.db.get());
    q.setSql(QString::fromLatin1(kQuery));
    qint64 total = 0;
    qint64 peak = 0;
    try {
        q.open();
        for (auto _ : state) {
            state.PauseTiming();
            const bench::PeakGrowth growth;
            state.ResumeTiming();
            WriteDataSetToFile(QStringLiteral("select * from T"), q, exportFile(), QStringLiteral(";"));
            total += q.recordCount();
            state.PauseTiming();
            peak = qMax(peak, growth.bytes());
            g.fileBytes = QFileInfo(exportFile()).size();
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
            // Memory the benchmarks before this one freed goes back to the
            // system first: reused, it would hide this export's growth.
            malloc_trim(0);
            const bench::PeakGrowth growth;
            state.ResumeTiming();
            total += WriteScrollingQueryToFile(QStringLiteral("T.Data"), rows, exportFile(), QStringLiteral(";"));
            state.PauseTiming();
            peak = qMax(peak, growth.bytes());
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

BENCHMARK(BM_ExportAgainstBaselines)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportWrite)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DataPageExport)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// One verdict line: the measure, its baseline, the target, the figure the
// verdict reads (median and the spread of its repetitions).
bool verdict(const char *measure, const char *baseline, const char *target, const bench::Figure &f, bool met)
{
    std::printf("  %-40s %-26s %-8s %7.2f (%.2f-%.2f)  %s\n", measure, baseline, target, f.median, f.low, f.high,
                f.ran() ? (met ? "met" : "MISSED") : "NOT RUN");
    return f.ran() && met;
}

// A figure divided by the median of another (the baseline's).
bench::Figure over(const bench::Figure &f, double baseline)
{
    return baseline > 0 ? f.scaled(1.0 / baseline) : bench::Figure{};
}

bool printSummary(const bench::MedianReporter &rep)
{
    const std::string both = "BM_ExportAgainstBaselines";
    std::printf("\nExport of %lld rows, 5 columns; medians of the repetitions (low-high)\n",
                static_cast<long long>(g.rows));
    std::printf("  %-32s %s ms\n", "bare client-library fetch", rep.counter(both, "bare_ms").text(1, "%.0f").c_str());
    std::printf("  %-32s %s ms   peak growth %s MiB\n", "export: query, fetch and file",
                rep.counter(both, "export_ms").text(1, "%.0f").c_str(),
                rep.counter(both, "export_peak_MiB").text(1, "%.0f").c_str());
    std::printf("  %-32s %s ms   peak growth %s MiB\n", "export: file from held rows",
                rep.seconds("BM_ExportWrite").text(1e3, "%.0f").c_str(),
                rep.counter("BM_ExportWrite", "peak_MiB").text(1, "%.1f").c_str());
    std::printf("  %-32s %s ms   peak %s MiB\n", "isql-fb: select to a file",
                rep.counter(both, "isql_ms").text(1, "%.0f").c_str(),
                rep.counter(both, "isql_peak_MiB").text(1, "%.1f").c_str());
    std::printf("  (isql-fb's peak is its own; child_peak, which started it, had %s MiB)\n",
                rep.counter(both, "isql_floor_MiB").text(1, "%.1f").c_str());
    if (g.fileBytes > 0)
        std::printf("  file size: export %lld bytes (%.1f MiB), isql-fb %lld bytes (%.1f MiB)\n",
                    static_cast<long long>(g.fileBytes), double(g.fileBytes) / (1024.0 * 1024.0),
                    static_cast<long long>(g.isqlFileBytes), double(g.isqlFileBytes) / (1024.0 * 1024.0));

    const bench::Figure isqlPeak = rep.counter(both, "isql_peak_MiB");
    const bench::Figure rate = rep.ratio(both, "bare_ms", "export_ms");
    const bench::Figure time = rep.ratio(both, "export_ms", "isql_ms");
    const bench::Figure memory = over(rep.counter("BM_ExportWrite", "peak_MiB"), isqlPeak.median);

    std::printf("\n  %-40s %-26s %-8s %s\n", "measure", "baseline", "target", "median (low-high)");
    bool ok = verdict("export with fetch, rate / bare rate", "bare fetch, in turn", ">= 0.5", rate, rate.median >= 0.5);
    ok = verdict("export with fetch, time / isql-fb time", "isql-fb, in turn", "<= 2.0", time, time.median <= 2.0)
         && ok;
    ok = verdict("export from held rows, peak growth", "isql-fb's own peak", "<= 1.0", memory, memory.median <= 1.0)
         && ok;
    const bench::Figure page = over(rep.counter("BM_DataPageExport", "peak_MiB"), isqlPeak.median);
    ok = verdict("data page export, peak growth", "isql-fb's own peak", "<= 2.0", page, page.median <= 2.0) && ok;
    std::printf("  export with fetch, peak growth / isql-fb's peak: %s (the held rows included; no target)\n",
                rep.ratio(both, "export_peak_MiB", "isql_peak_MiB").text(1, "%.2f").c_str());
    return ok;
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
    g.childPeak = QFile::encodeName(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath()
                                    + QStringLiteral("/child_peak"))
                      .toStdString();

    const auto body = [&] {
        std::printf("Filling a table of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        createTable(scratch.path());
        g.bare->fetchAll(); // one untimed pass warms the page cache
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    return bench::run("bench_export", body, dropTable);
}
