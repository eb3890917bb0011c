// The privilege manager's tree build against the bare engine lists it is
// made of, in the same run, and how both grow with the number of tables.
//
//   bench_metatree [--data=DIR] [--fb-root=DIR] [benchmark flags]
//
// --data     folder keeping the databases between runs (default: the build
//            tree's bench-data); one is made again only when its objects differ
// --fb-root  Firebird runtime folder (default: a temporary one)
//
// Databases of 500, 2,000 and 5,000 tables of 10 columns, each with one view
// (2 columns), one procedure and one trigger per 50 tables, and the
// administrative tables with three registered users.
//
// Sides, each in the data module's open transaction:
//   BM_EngineLists_N  the table list, the procedure list and one field list
//                     per table and view, nothing else
//   BM_FillMetaTree_N the whole build: the same lists, the trigger and user
//                     statements, both trees made and sorted
//
// Verdict (medians of the repetitions): the build within 1.5 times the bare lists
// at 5,000 tables. A missed target fails the program.

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/EngineLists.h"
#include "engine/Error.h"
#include "privileges/AdminTables.h"
#include "privileges/MetaTrees.h"
#include "privileges/gdata_un.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#ifndef DUNMOOR_BENCH_DATA
#define DUNMOOR_BENCH_DATA "bench-data"
#endif

namespace {

constexpr int kColumns = 10;
constexpr int kPerObject = 50; // tables per view, procedure and trigger
const int kSizes[] = {500, 2000, 5000};

std::map<int, std::unique_ptr<TGrantData>> g_data;
bool g_failed = false;

QString tableName(int t)
{
    return QStringLiteral("TAB_%1").arg(t, 5, 10, QLatin1Char('0'));
}

// Relations of a finished database: tables, views and the six
// administrative tables.
qint64 expectedRelations(int tables)
{
    return tables + tables / kPerObject + 6;
}

std::unique_ptr<TGrantData> connectData(const QString &path)
{
    auto d = std::make_unique<TGrantData>();
    d->grantdb.setDriverName(QStringLiteral("INTRBASE"));
    d->grantdb.setParams({QStringLiteral("SERVER NAME=") + path, QStringLiteral("USER NAME=SYSDBA")});
    d->grantdb.open();
    d->transaction.ensure();
    return d;
}

bool cachedDatabaseFits(const QString &path, int tables)
{
    if (!QFile::exists(path))
        return false;
    try {
        auto db = bench::connect(path);
        return bench::scalar(*db, QStringLiteral("select count(*) from RDB$RELATIONS where RDB$SYSTEM_FLAG = 0")).toLongLong()
            == expectedRelations(tables);
    } catch (const engine::Error &e) {
        std::printf("  cached database unusable: %s\n", e.what());
    }
    return false;
}

// One transaction per batch of objects: far fewer commits than one per
// object, and no single transaction holding thousands of new relations.
void createDatabase(const QString &path, int tables)
{
    QFile::remove(path);
    engine::Database::createDatabase(path);
    auto db = bench::connect(path);
    QElapsedTimer timer;
    timer.start();
    constexpr int kBatch = 250;
    for (int first = 0; first < tables; first += kBatch) {
        db->startTransaction();
        for (int t = first; t < qMin(tables, first + kBatch); ++t) {
            QString sql = QStringLiteral("CREATE TABLE %1 (ID INTEGER NOT NULL PRIMARY KEY").arg(tableName(t));
            for (int c = 1; c < kColumns; ++c)
                sql += c % 2 ? QStringLiteral(", C%1 VARCHAR(40)").arg(c) : QStringLiteral(", C%1 INTEGER").arg(c);
            db->executeImmediate(sql + QLatin1Char(')'));
        }
        db->commit();
    }
    db->startTransaction();
    for (int t = 0; t < tables; t += kPerObject) {
        const QString n = QString::number(t / kPerObject);
        db->executeImmediate(QStringLiteral("CREATE VIEW VIEW_%1 AS SELECT ID, C1 FROM %2").arg(n, tableName(t)));
        db->executeImmediate(QStringLiteral("CREATE PROCEDURE PROC_%1 AS BEGIN END").arg(n));
        db->executeImmediate(QStringLiteral("CREATE TRIGGER TRIG_%1 FOR %2 BEFORE INSERT AS BEGIN END").arg(n, tableName(t)));
    }
    for (const char *user : {"U1", "U2", "PUBLIC"})
        db->executeImmediate(QStringLiteral("GRANT SELECT ON TAB_00000 TO %1").arg(QLatin1String(user)));
    db->commit();
    db.reset();
    auto d = connectData(path);
    privileges::NoProgress quiet;
    privileges::AdminTables(*d, quiet).create();
    std::printf("  made %d tables in %.1f s\n", tables, double(timer.elapsed()) / 1000.0);
}

void setUp(const QString &dataDir)
{
    QDir().mkpath(dataDir);
    for (int tables : kSizes) {
        const QString path = QStringLiteral("%1/metatree-%2.fdb").arg(dataDir).arg(tables);
        if (cachedDatabaseFits(path, tables)) {
            std::printf("  using the cached database %s\n", qPrintable(path));
        } else {
            std::printf("  making %s ...\n", qPrintable(path));
            std::fflush(stdout);
            createDatabase(path, tables);
        }
        g_data[tables] = connectData(path);
    }
}

// The bare lists: what the build cannot do without.
qint64 engineLists(TGrantData &d)
{
    engine::EngineLists lists(d.grantdb);
    qint64 columns = 0;
    for (const engine::TableInfo &t : lists.tables())
        columns += lists.fields(t.name).size();
    const QStringList procedures = lists.procedures();
    benchmark::DoNotOptimize(procedures.constData());
    return columns;
}

qint64 countNodes(const privileges::TreeNodes &nodes)
{
    qint64 n = nodes.size();
    for (const privileges::TreeNode &c : nodes)
        n += countNodes(c.children);
    return n;
}

void engineListsSide(benchmark::State &state, int tables)
{
    TGrantData &d = *g_data.at(tables);
    try {
        for (auto _ : state)
            benchmark::DoNotOptimize(engineLists(d));
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
}

void fillMetaTreeSide(benchmark::State &state, int tables)
{
    TGrantData &d = *g_data.at(tables);
    privileges::NoProgress quiet;
    qint64 nodes = 0;
    try {
        for (auto _ : state) {
            const privileges::MetaTrees trees = privileges::FillMetaTree(d, quiet);
            nodes = countNodes(trees.metatree) + countNodes(trees.usertree);
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
    state.counters["nodes"] = double(nodes);
}

std::string sideName(const char *side, int tables)
{
    return std::string(side) + "_" + std::to_string(tables);
}

// Each size under a name of its own: the reporter keeps one figure per name.
void registerSides()
{
    for (int n : kSizes) {
        benchmark::RegisterBenchmark(sideName("BM_EngineLists", n).c_str(), engineListsSide, n)
            ->Iterations(3)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(sideName("BM_FillMetaTree", n).c_str(), fillMetaTreeSide, n)
            ->Iterations(3)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
    }
}

void printSummary(const bench::MedianReporter &rep)
{
    std::printf("\nTree build against the bare lists, median of the repetitions, ms per build\n");
    std::printf("  %7s %12s %12s %10s\n", "tables", "lists", "build", "build/lists");
    for (int n : kSizes) {
        const double lists = rep.ms(sideName("BM_EngineLists", n));
        const double build = rep.ms(sideName("BM_FillMetaTree", n));
        std::printf("  %7d %12.1f %12.1f %10.3f\n", n, lists, build, lists > 0 ? build / lists : 0.0);
        if (n == 5000) {
            const bool met = lists > 0 && build > 0 && build / lists <= 1.5;
            std::printf("  target at 5,000 tables, build <= 1.5 x lists: %s\n", met ? "met" : "MISSED");
            g_failed = !met;
        }
    }
    const double first = rep.ms(sideName("BM_FillMetaTree", 500));
    const double last = rep.ms(sideName("BM_FillMetaTree", 5000));
    if (first > 0)
        std::printf("  growth from 500 to 5,000 tables (10 x): build %.2f x, per table %.3f ms -> %.3f ms\n",
                    last / first, first / 500, last / 5000);
}

} // namespace

int main(int argc, char **argv)
{
    std::string data = DUNMOOR_BENCH_DATA;
    takeFlag(&argc, argv, "data", &data);
    QTemporaryDir scratch;
    if (!bench::begin(&argc, argv, scratch))
        return 1;
    const auto body = [&] {
        std::printf("Metadata trees:\n");
        setUp(QString::fromStdString(data));
        registerSides();
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter);
        if (g_failed)
            throw std::runtime_error("the build missed its target");
    };
    const auto tearDown = [] { g_data.clear(); };
    return bench::run("bench_metatree", body, tearDown);
}
