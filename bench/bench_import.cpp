// The privilege manager's import of the privileges already granted, for
// 2,000 users, against the bare catalogue query in the same run.
//
//   bench_import [--users=N] [--fb-root=DIR] [benchmark flags]
//
// --users    grantees (default 2000); each holds select on one of 200
//            tables, update of one column of another and execute on one of
//            20 procedures, granted by SYSDBA
// --fb-root  Firebird runtime folder (default: a temporary one)
//
// Sides, each pass fetching or writing everything once:
//   BM_BareCatalogue  the catalogue query on the client library, rows fetched
//                     into one buffer
//   BM_ReadAndPlan    the same query through the engine, every row decoded
//                     and sifted into the plan
//   BM_BareImport     the bare catalogue query, then the statements the
//                     import sends, executed immediately on the client
//                     library in one transaction, and the commit
//   BM_Import         the import: read, plan, write, commit
// The layer's rows are deleted between passes, outside the timing.
//
// The sides run in random order, five repetitions each.
//
// Verdicts (medians of the repetitions): read and plan within 1.5 times the bare
// query; the import within 1.5 times the bare import. A missed target
// fails the program.

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"
#include "privileges/AdminTables.h"
#include "privileges/ImportPlan.h"
#include "privileges/gdata_un.h"

#include <benchmark/benchmark.h>
#include <ibase.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kTables = 200;
constexpr int kProcedures = 20;

struct Setup {
    int users = 2000;
    QString databasePath;
    std::unique_ptr<TGrantData> data;
    std::unique_ptr<bench::BareQuery> bareCatalogue;
    std::unique_ptr<bench::BareAttachment> bareWriter;
    std::vector<QByteArray> importStatements; // what the import sends, reads left out
    qint64 catalogueRows = 0;
    qint64 groupRows = 0;
};

Setup g;

void runAll(engine::Database &db, const QStringList &statements)
{
    for (const QString &sql : statements)
        bench::exec(db, sql);
}

void makeDatabase(const QString &folder)
{
    g.databasePath = folder + QStringLiteral("/import.fdb");
    engine::Database::createDatabase(g.databasePath);
    auto db = bench::connect(g.databasePath);
    QStringList ddl;
    for (int i = 0; i < kTables; ++i)
        ddl << QStringLiteral("create table T%1 (ID integer, C1 integer, C2 varchar(20))").arg(i);
    for (int i = 0; i < kProcedures; ++i)
        ddl << QStringLiteral("create procedure P%1 as begin end").arg(i);
    runAll(*db, ddl);
    // One block grants everything, so setting up costs no round trip per grant.
    engine::Statement grants(db.get());
    grants.setParamCheck(false);
    grants.setSql(QStringList{
        QStringLiteral("execute block as declare i integer = 0; begin"),
        QStringLiteral(" while (i < %1) do begin").arg(g.users),
        QStringLiteral("  execute statement 'grant select on T' || mod(i, %1) || ' to U' || i;").arg(kTables),
        QStringLiteral("  execute statement 'grant update(C1) on T' || mod(i + 1, %1) || ' to U' || i;").arg(kTables),
        QStringLiteral("  execute statement 'grant execute on procedure P' || mod(i, %1) || ' to U' || i;").arg(kProcedures),
        QStringLiteral("  i = i + 1;"),
        QStringLiteral(" end"),
        QStringLiteral("end")});
    db->startTransaction();
    grants.execute();
    db->commit();
}

void clearLayer()
{
    engine::Database &db = g.data->grantdb;
    for (const char *table : {"meta$grantlist", "meta$usersgrant", "meta$grantusers", "meta$grantdef", "meta$usersdef"})
        bench::exec(db, QStringLiteral("delete from %1").arg(QString::fromLatin1(table)));
    g.data->transaction.commit();
}

void setUp(const QString &folder)
{
    makeDatabase(folder);
    g.data = std::make_unique<TGrantData>();
    g.data->grantdb.setDriverName(QStringLiteral("INTRBASE"));
    g.data->grantdb.setParams({QStringLiteral("SERVER NAME=") + g.databasePath, QStringLiteral("USER NAME=SYSDBA")});
    g.data->grantdb.open();
    g.data->transaction.ensure();
    privileges::NoProgress quiet;
    privileges::AdminTables(*g.data, quiet).create();
    g.groupRows = bench::scalar(g.data->grantdb, QStringLiteral("select count(*) from meta$grantlist")).toLongLong();
    if (g.groupRows != 3LL * g.users)
        throw std::runtime_error("the first import wrote " + std::to_string(g.groupRows) + " privileges, not "
                                 + std::to_string(3LL * g.users));
    clearLayer();

    // The statements of one import, for the bare side: the reads (catalogue
    // and the PUBLIC test) are the bare side's own query.
    {
        engine::StatementRecorder log;
        privileges::AdminTables(*g.data, quiet).importExisting();
        g.data->transaction.commit();
        for (const QString &sql : log.statements())
            if (!sql.startsWith(QLatin1String("select")))
                g.importStatements.push_back(sql.toUtf8());
    }
    clearLayer();

    static QByteArray catalogueSql = privileges::cataloguePrivilegesSql().join(QLatin1Char('\n')).toUtf8();
    g.bareCatalogue = std::make_unique<bench::BareQuery>(QFile::encodeName(g.databasePath), catalogueSql.constData());
    g.catalogueRows = g.bareCatalogue->fetchAll();
    g.bareWriter = std::make_unique<bench::BareAttachment>(QFile::encodeName(g.databasePath));
    std::printf("  %lld catalogue rows for users, %lld group privileges, %zu statements an import\n",
                static_cast<long long>(g.catalogueRows), static_cast<long long>(g.groupRows),
                g.importStatements.size());
}

void bareImportPass()
{
    g.bareCatalogue->fetchAll();
    isc_tr_handle tr = 0;
    g.bareWriter->start(&tr);
    try {
        for (const QByteArray &sql : g.importStatements) {
            ISC_STATUS_ARRAY st;
            isc_dsql_execute_immediate(st, g.bareWriter->handle(), &tr, 0, sql.constData(), 1, nullptr);
            bench::check(st, "execute");
        }
        bench::BareAttachment::commit(&tr);
    } catch (...) {
        bench::BareAttachment::rollback(&tr);
        throw;
    }
}

template <class Body>
void timedImports(benchmark::State &state, Body body)
{
    try {
        for (auto _ : state) {
            body();
            state.PauseTiming();
            clearLayer();
            state.ResumeTiming();
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["users"] = g.users;
}

void BM_BareCatalogue(benchmark::State &state)
{
    bench::bareFetch(state, *g.bareCatalogue, g.catalogueRows);
}

void BM_ReadAndPlan(benchmark::State &state)
{
    qint64 users = 0;
    try {
        for (auto _ : state) {
            users += privileges::readImportPlan(g.data->grantdb).size();
            g.data->transaction.commit();
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    if (users != qint64(g.users) * state.iterations())
        state.SkipWithError("the plan holds a different number of users");
}

void BM_BareImport(benchmark::State &state)
{
    timedImports(state, [] { bareImportPass(); });
}

void BM_Import(benchmark::State &state)
{
    privileges::NoProgress quiet;
    timedImports(state, [&] {
        privileges::AdminTables(*g.data, quiet).importExisting();
        g.data->transaction.commit();
    });
}

BENCHMARK(BM_BareCatalogue)->Iterations(10)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAndPlan)->Iterations(10)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareImport)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Import)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// True when every target was met.
bool printSummary(const bench::MedianReporter &rep)
{
    std::printf("\nImport of %d users' privileges, median of the repetitions, ms per pass\n", g.users);
    const struct {
        const char *label;
        const char *ours;
        const char *bare;
    } pairs[] = {
        {"read and plan / bare query", "BM_ReadAndPlan", "BM_BareCatalogue"},
        {"import / bare import", "BM_Import", "BM_BareImport"},
    };
    bool met = true;
    for (const auto &p : pairs) {
        const double o = rep.ms(p.ours), b = rep.ms(p.bare);
        std::printf("  %-28s %9.1f / %9.1f", p.label, o, b);
        if (o > 0 && b > 0) {
            std::printf("   %.3f (target <= 1.5: %s)", o / b, o / b <= 1.5 ? "met" : "MISSED");
            met = met && o / b <= 1.5;
        } else {
            met = false;
        }
        std::printf("\n");
    }
    const double imp = rep.ms("BM_Import"), cat = rep.ms("BM_BareCatalogue");
    if (imp > 0 && cat > 0)
        std::printf("  import / bare catalogue query %.1f (%.3f ms a user)\n", imp / cat, imp / g.users);
    return met;
}

} // namespace

int main(int argc, char **argv)
{
    if (!bench::takeCount(&argc, argv, "users", &g.users, 1))
        return 1;
    // The sides take turns in random order, so a machine that slows down or
    // warms up over the run favours neither; a flag given later wins.
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int benchArgc = int(args.size());
    QTemporaryDir scratch;
    if (!bench::begin(&benchArgc, args.data(), scratch))
        return 1;
    const auto body = [&] {
        std::printf("Granting %d users' privileges...\n", g.users);
        std::fflush(stdout);
        setUp(scratch.path());
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    const auto tearDown = [] {
        g.bareCatalogue.reset();
        g.bareWriter.reset();
        g.data.reset();
        if (!g.databasePath.isEmpty())
            engine::Database::dropDatabase(g.databasePath);
    };
    return bench::run("bench_import", body, tearDown);
}
