// The privilege manager's privilege list on 100,000 privileges against the
// same statement fetched on the bare client library, in the same run.
//
//   bench_privlist [--users=N] [--data=DIR] [--fb-root=DIR] [benchmark flags]
//
// --users    grantees (default 500); each holds select on every one of 200
//            tables, granted by SYSDBA: users x 200 listed privileges
// --data     folder keeping the database between runs (default: the build
//            tree's bench-data); it is made again only when its rows differ
// --fb-root  Firebird runtime folder (default: a temporary one)
//
// Sides:
//   BM_BareList     the list's statement on the client library, every row
//                   fetched into one buffer
//   BM_TrigList     the list reopened as the page does it: closed and opened
//                   with its grids frozen, every row held
//   BM_Filter       for reference: one grantee's filter over the open list
//   BM_CalcFields   for reference: every row's calculated privilege word and
//                   grant option, as a grid showing all rows reads them
//
// Verdict (medians of the repetitions): the list within 1.5 times the bare
// statement. A missed target fails the program.

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Statement.h"
#include "privileges/PrivilegeList.h"
#include "privileges/gdata_un.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#ifndef DUNMOOR_BENCH_DATA
#define DUNMOOR_BENCH_DATA "bench-data"
#endif

namespace {

constexpr int kTables = 200;

struct Setup {
    int users = 500;
    qint64 rows = 0;
    QString path;
    std::unique_ptr<TGrantData> data;
    std::unique_ptr<bench::BareQuery> bare;
    bool failed = false;
};

Setup g;

qint64 expectedRows()
{
    return qint64(g.users) * kTables;
}

qint64 listedRows(engine::Database &db)
{
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select count(*) from (") + privileges::privilegeListSql().mid(0, 3).join(QLatin1Char('\n'))
             + QLatin1Char(')'));
    s.open();
    return s.rows().value(0, 0).toLongLong();
}

bool cachedDatabaseFits()
{
    if (!QFile::exists(g.path))
        return false;
    try {
        auto db = bench::connect(g.path);
        return listedRows(*db) == expectedRows();
    } catch (const engine::Error &e) {
        std::printf("  cached database unusable: %s\n", e.what());
    }
    return false;
}

void makeDatabase()
{
    QFile::remove(g.path);
    engine::Database::createDatabase(g.path);
    auto db = bench::connect(g.path);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kTables; ++i)
        bench::exec(*db, QStringLiteral("create table T%1 (ID integer, C1 integer)").arg(i));
    // One block per batch of users grants everything, so setting up costs no
    // round trip per grant.
    constexpr int kBatch = 50;
    for (int first = 0; first < g.users; first += kBatch) {
        engine::Statement grants(db.get());
        grants.setParamCheck(false);
        grants.setSql(QStringList{
            QStringLiteral("execute block as declare u integer = %1; declare t integer; begin").arg(first),
            QStringLiteral(" while (u < %1) do begin t = 0;").arg(qMin(g.users, first + kBatch)),
            QStringLiteral("  while (t < %1) do begin").arg(kTables),
            QStringLiteral("   execute statement 'grant select on T' || t || ' to U' || u; t = t + 1;"),
            QStringLiteral("  end u = u + 1;"),
            QStringLiteral(" end"),
            QStringLiteral("end")});
        db->startTransaction();
        grants.execute();
        db->commit();
    }
    std::printf("  made %lld privileges in %.1f s\n", static_cast<long long>(expectedRows()),
                double(timer.elapsed()) / 1000.0);
}

void setUp(const QString &dataDir)
{
    QDir().mkpath(dataDir);
    g.path = QStringLiteral("%1/privlist-%2.fdb").arg(dataDir).arg(g.users);
    if (cachedDatabaseFits()) {
        std::printf("  using the cached database %s\n", qPrintable(g.path));
    } else {
        std::printf("  making %s ...\n", qPrintable(g.path));
        std::fflush(stdout);
        makeDatabase();
    }
    g.data = std::make_unique<TGrantData>();
    g.data->grantdb.setDriverName(QStringLiteral("INTRBASE"));
    g.data->grantdb.setParams({QStringLiteral("SERVER NAME=") + g.path, QStringLiteral("USER NAME=SYSDBA")});
    g.data->grantdb.open();
    g.data->transaction.ensure();
    g.data->TrigList.open();
    g.rows = g.data->TrigList.recordCount();
    if (g.rows != expectedRows())
        throw std::runtime_error("the list holds " + std::to_string(g.rows) + " rows");
    static const QByteArray sql = privileges::privilegeListSql().join(QLatin1Char('\n')).toUtf8();
    g.bare = std::make_unique<bench::BareQuery>(QFile::encodeName(g.path), sql.constData());
}

void BM_BareList(benchmark::State &state)
{
    bench::bareFetch(state, *g.bare, g.rows);
}

void BM_TrigList(benchmark::State &state)
{
    qint64 total = 0;
    try {
        for (auto _ : state) {
            g.data->reopenTrigList();
            total += g.data->TrigList.recordCount();
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    bench::countRows(state, total, g.rows, "the list held a different number of rows");
}

void BM_Filter(benchmark::State &state)
{
    engine::Query &list = g.data->TrigList;
    const QString filter = privileges::privilegeListFilter(privileges::allMetaObjects(),
                                                           privileges::userObjectLabel(QStringLiteral("Users"), QStringLiteral("U7")),
                                                           QString(), 1);
    for (auto _ : state) {
        list.setFilter(filter);
        benchmark::DoNotOptimize(list.recordCount());
        list.setFilter(QString());
    }
}

void BM_CalcFields(benchmark::State &state)
{
    engine::Query &list = g.data->TrigList;
    const int word = list.fieldIndex(QStringLiteral("privilege"));
    const int option = list.fieldIndex(QStringLiteral("GrantOption"));
    for (auto _ : state) {
        list.close();
        list.open();
        for (int r = 0; r < list.recordCount(); ++r) {
            benchmark::DoNotOptimize(list.valueAt(r, word));
            benchmark::DoNotOptimize(list.valueAt(r, option));
        }
    }
}

BENCHMARK(BM_BareList)->Iterations(3)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TrigList)->Iterations(3)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Filter)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CalcFields)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void printSummary(const bench::MedianReporter &rep)
{
    const double list = rep.ms("BM_TrigList"), bare = rep.ms("BM_BareList");
    std::printf("\nPrivilege list of %lld rows, median of the repetitions, ms per pass\n", static_cast<long long>(g.rows));
    std::printf("  list %9.1f   bare statement %9.1f", list, bare);
    const bool met = list > 0 && bare > 0 && list / bare <= 1.5;
    if (list > 0 && bare > 0)
        std::printf("   list / bare %.3f (target <= 1.5: %s)", list / bare, met ? "met" : "MISSED");
    std::printf("\n  reference: one grantee's filter %.1f ms; reopen reading every calculated cell %.1f ms\n",
                rep.ms("BM_Filter"), rep.ms("BM_CalcFields"));
    g.failed = !met;
}

} // namespace

int main(int argc, char **argv)
{
    std::string data = DUNMOOR_BENCH_DATA;
    if (!bench::takeCount(&argc, argv, "users", &g.users, 1))
        return 1;
    takeFlag(&argc, argv, "data", &data);
    // The sides take turns in random order, so a machine that slows down or
    // warms up over the run favours neither.
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int n = int(args.size());
    QTemporaryDir scratch;
    if (!bench::begin(&n, args.data(), scratch))
        return 1;
    const auto body = [&] {
        std::printf("Privilege list:\n");
        setUp(QString::fromStdString(data));
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter);
        if (g.failed)
            throw std::runtime_error("the list missed its target");
    };
    const auto tearDown = [] {
        g.bare.reset();
        g.data.reset();
    };
    return bench::run("bench_privlist", body, tearDown);
}
