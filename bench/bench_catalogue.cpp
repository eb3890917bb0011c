// Speed of the catalogue lists the privilege manager opens for its trees
// (its own fDbiOpenTableList, which reads the table and procedure lists, then
// fDbiOpenFieldsList for every table, in its open transaction) against the
// same catalogue SELECTs, taken from the statement log, run directly on the
// client library in the same program, over a database of many tables
// (target: the lists within 1.5 times the bare side). The exit code is 1
// when the target is missed.
//
//   bench_catalogue [--tables=N] [--data=DIR] [--fb-root=DIR] [benchmark flags]
//
// --tables   tables of 10 columns each (default 5000)
// --data     folder keeping the database between runs (default: the build
//            tree's bench-data); it is made again only when its tables differ
// --fb-root  Firebird runtime folder (default: a temporary one)

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/EngineLists.h"
#include "engine/Error.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"
#include "privileges/MetaTrees.h"

#include <benchmark/benchmark.h>
#include <ibase.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef DUNMOOR_BENCH_DATA
#define DUNMOOR_BENCH_DATA "bench-data"
#endif

namespace {

constexpr int kColumns = 10;

using bench::check;

// One compiled statement with its fetch buffer, on the bare client library.
class BareStatement {
public:
    BareStatement(isc_db_handle *db, isc_tr_handle *tr, const std::string &sql)
    {
        ISC_STATUS_ARRAY st;
        isc_dsql_allocate_statement(st, db, &m_stmt);
        check(st, "allocate statement");
        XSQLDA *da = out();
        da->version = SQLDA_VERSION1;
        da->sqln = kMaxColumns;
        isc_dsql_prepare(st, tr, &m_stmt, 0, sql.c_str(), 1, da);
        check(st, "prepare");
        if (da->sqld > da->sqln)
            throw std::runtime_error("more columns than the descriptor holds");
        bench::bindNullableRow(da, &m_row);
        XSQLDA *in = this->in();
        in->version = SQLDA_VERSION1;
        in->sqln = 1;
        isc_dsql_describe_bind(st, &m_stmt, 1, in);
        check(st, "describe bind");
    }

    ~BareStatement()
    {
        ISC_STATUS_ARRAY st;
        isc_dsql_free_statement(st, &m_stmt, DSQL_drop);
    }
    BareStatement(const BareStatement &) = delete;
    BareStatement &operator=(const BareStatement &) = delete;

    // Runs with one text argument (or none) and hands every row over.
    template <class OnRow>
    void run(isc_tr_handle *tr, const std::string *argument, OnRow onRow)
    {
        ISC_STATUS_ARRAY st;
        XSQLDA *in = nullptr;
        if (argument && this->in()->sqld == 1) {
            in = this->in();
            XSQLVAR &v = in->sqlvar[0];
            v.sqltype = SQL_TEXT;
            v.sqllen = short(argument->size());
            v.sqldata = const_cast<char *>(argument->data());
            v.sqlind = nullptr;
        }
        isc_dsql_execute(st, tr, &m_stmt, 1, in);
        check(st, "execute");
        ISC_STATUS rc;
        while ((rc = isc_dsql_fetch(st, &m_stmt, 1, out())) == 0)
            onRow(*this);
        if (rc != 100)
            check(st, "fetch");
        isc_dsql_free_statement(st, &m_stmt, DSQL_close);
        check(st, "close cursor");
    }

    // CHAR text without its padding, as raw bytes.
    std::string text(int col) const
    {
        const XSQLVAR &v = out()->sqlvar[col];
        if (*v.sqlind < 0)
            return std::string();
        size_t n = size_t(v.sqllen);
        while (n > 0 && v.sqldata[n - 1] == ' ')
            --n;
        return std::string(v.sqldata, n);
    }

    int integer(int col) const
    {
        const XSQLVAR &v = out()->sqlvar[col];
        if (*v.sqlind < 0)
            return 0;
        if ((v.sqltype & ~1) == SQL_SHORT) {
            short x;
            std::memcpy(&x, v.sqldata, sizeof x);
            return x;
        }
        int x;
        std::memcpy(&x, v.sqldata, sizeof x);
        return x;
    }

private:
    static constexpr short kMaxColumns = 16;
    XSQLDA *out() const { return reinterpret_cast<XSQLDA *>(const_cast<char *>(m_out.data())); }
    XSQLDA *in() { return reinterpret_cast<XSQLDA *>(m_in.data()); }

    isc_stmt_handle m_stmt = 0;
    std::vector<char> m_out = std::vector<char>(XSQLDA_LENGTH(kMaxColumns));
    std::vector<char> m_in = std::vector<char>(XSQLDA_LENGTH(1));
    std::vector<char> m_row;
};

struct BareField {
    std::string name;
    int position, fieldType, subType, length, scale;
    bool nullable;
};

class BareConnection : public bench::BareAttachment {
public:
    using bench::BareAttachment::BareAttachment;

    // The table list, the procedure list and every table's fields in one
    // transaction. Returns the fields read.
    qint64 readCatalogue(const std::string &tablesSql, const std::string &proceduresSql, const std::string &fieldsSql)
    {
        isc_tr_handle tr = 0;
        start(&tr);
        BareStatement tables(handle(), &tr, tablesSql);
        BareStatement procedures(handle(), &tr, proceduresSql);
        BareStatement fields(handle(), &tr, fieldsSql);
        std::vector<std::pair<std::string, bool>> names;
        tables.run(&tr, nullptr, [&names](const BareStatement &s) { names.emplace_back(s.text(0), s.integer(1) != 0); });
        std::vector<std::string> procedureNames;
        procedures.run(&tr, nullptr, [&procedureNames](const BareStatement &s) { procedureNames.push_back(s.text(0)); });
        benchmark::DoNotOptimize(procedureNames.data());
        qint64 count = 0;
        std::vector<BareField> list;
        for (const auto &n : names) {
            list.clear();
            fields.run(&tr, &n.first, [&list](const BareStatement &s) {
                list.push_back({s.text(0), s.integer(1), s.integer(4), s.integer(5), s.integer(6), s.integer(7),
                                s.integer(2) == 0 && s.integer(3) == 0});
            });
            count += qint64(list.size());
            benchmark::DoNotOptimize(list.data());
        }
        commit(&tr);
        return count;
    }
};

struct Setup {
    int tables = 5000;
    QString databasePath;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<BareConnection> bare;
    std::string tablesSql; // the texts the engine sends, taken from its log
    std::string proceduresSql;
    std::string fieldsSql;
    qint64 expectedFields = 0;
};

Setup g;

using bench::scalar;

engine::Database *connect(const QString &path)
{
    g.db = bench::connect(path);
    return g.db.get();
}

bool cachedDatabaseFits(const QString &path)
{
    if (!QFile::exists(path))
        return false;
    try {
        engine::Database *db = connect(path);
        const qint64 tables = scalar(*db, QStringLiteral("select count(*) from RDB$RELATIONS where RDB$SYSTEM_FLAG = 0")).toLongLong();
        const qint64 fields = scalar(*db, QStringLiteral("select count(*) from RDB$RELATION_FIELDS RF join RDB$RELATIONS R "
                                                         "on R.RDB$RELATION_NAME = RF.RDB$RELATION_NAME where R.RDB$SYSTEM_FLAG = 0"))
                                  .toLongLong();
        if (tables == g.tables && fields == qint64(g.tables) * kColumns)
            return true;
    } catch (const engine::Error &e) {
        std::printf("  cached database unusable: %s\n", e.what());
    }
    g.db.reset();
    return false;
}

// One transaction per batch of CREATE TABLEs: far fewer commits than one per
// table, and no single transaction holding thousands of new relations.
void createDatabase(const QString &path)
{
    QFile::remove(path);
    engine::Database::createDatabase(path);
    engine::Database *db = connect(path);
    QElapsedTimer timer;
    timer.start();
    constexpr int kBatch = 250;
    for (int first = 0; first < g.tables; first += kBatch) {
        db->startTransaction();
        for (int t = first; t < qMin(g.tables, first + kBatch); ++t) {
            QString sql = QStringLiteral("CREATE TABLE TAB_%1 (ID INTEGER NOT NULL PRIMARY KEY").arg(t, 5, 10, QLatin1Char('0'));
            for (int c = 1; c < kColumns; ++c) {
                switch (c % 3) {
                case 0: sql += QStringLiteral(", C%1 INTEGER").arg(c); break;
                case 1: sql += QStringLiteral(", C%1 VARCHAR(40)").arg(c); break;
                default: sql += QStringLiteral(", C%1 NUMERIC(9,2)").arg(c); break;
                }
            }
            sql += QLatin1Char(')');
            db->executeImmediate(sql);
        }
        db->commit();
    }
    std::printf("  made %d tables of %d columns in %.1f s\n", g.tables, kColumns, double(timer.elapsed()) / 1000.0);
}

// The privilege manager's own list functions, in its one open transaction,
// as its tree build opens them. Returns the fields read.
qint64 programCatalogue()
{
    g.db->startTransaction();
    engine::EngineLists lists(*g.db);
    const privileges::TableLists names = privileges::fDbiOpenTableList(lists);
    qint64 count = 0;
    for (const QStringList *group : {&names.views, &names.tables}) {
        for (const QString &t : *group) {
            const QStringList fields = privileges::fDbiOpenFieldsList(lists, t);
            count += fields.size();
            benchmark::DoNotOptimize(fields.constData());
        }
    }
    g.db->commit();
    if (names.tables.size() != g.tables)
        throw std::runtime_error("the table list holds " + std::to_string(names.tables.size()) + " tables");
    return count;
}

// For reference: the same field SELECT through engine::Statement, which
// compiles and frees the statement on every call.
qint64 statementCatalogue()
{
    g.db->startTransaction();
    engine::EngineLists lists(*g.db);
    engine::Statement s(g.db.get());
    // The logged text has `?`; the statement takes a named parameter.
    s.setSql(QString::fromStdString(g.fieldsSql).replace(QLatin1Char('?'), QStringLiteral(":REL")));
    qint64 count = 0;
    for (const engine::TableInfo &t : lists.tables()) {
        s.setParam(QStringLiteral("REL"), t.name);
        s.open();
        count += s.rows().rowCount();
        s.close();
    }
    g.db->commit();
    return count;
}

void setUp(const QString &dataDir)
{
    QDir().mkpath(dataDir);
    g.databasePath = QStringLiteral("%1/catalogue-%2x%3.fdb").arg(dataDir).arg(g.tables).arg(kColumns);
    bench::cachedDatabase(g.databasePath, cachedDatabaseFits, createDatabase);
    g.bare = std::make_unique<BareConnection>(QFile::encodeName(g.databasePath));

    // One untimed pass of the program's lists that also yields the texts
    // they send.
    engine::StatementRecorder rec;
    g.expectedFields = programCatalogue();
    const QStringList sent = rec.statements();
    if (sent.size() != 3)
        throw std::runtime_error("unexpected pass of the lists: " + std::to_string(sent.size()) + " texts");
    g.tablesSql = sent[0].toStdString();
    g.proceduresSql = sent[1].toStdString();
    g.fieldsSql = sent[2].toStdString();
    if (g.bare->readCatalogue(g.tablesSql, g.proceduresSql, g.fieldsSql) != g.expectedFields)
        throw std::runtime_error("the bare pass read a different number of fields");
}

template <class Body>
void runCounted(benchmark::State &state, Body body)
{
    qint64 total = 0;
    try {
        for (auto _ : state)
            total += body();
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    if (total != g.expectedFields * state.iterations())
        state.SkipWithError("a different number of fields was read");
    state.counters["tables"] = g.tables;
    state.counters["fields"] = double(g.expectedFields);
}

void BM_Bare(benchmark::State &state)
{
    runCounted(state, [] { return g.bare->readCatalogue(g.tablesSql, g.proceduresSql, g.fieldsSql); });
}

void BM_ProgramLists(benchmark::State &state)
{
    runCounted(state, [] { return programCatalogue(); });
}

void BM_StatementInTransaction(benchmark::State &state)
{
    runCounted(state, [] { return statementCatalogue(); });
}

BENCHMARK(BM_Bare)->Iterations(3)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProgramLists)->Iterations(3)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StatementInTransaction)->Iterations(3)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// True when the lists met their target.
bool printSummary(const bench::MedianReporter &rep)
{
    std::printf("\nTable and procedure lists + %d field lists (%lld fields), ms per pass, medians (low-high)\n",
                g.tables, static_cast<long long>(g.expectedFields));
    const bench::Figure program = rep.seconds("BM_ProgramLists");
    const bench::Figure bare = rep.seconds("BM_Bare");
    std::printf("  the privilege manager's lists  %s\n", program.text(1e3).c_str());
    std::printf("  bare client library            %s\n", bare.text(1e3).c_str());
    const bool met = program.ran() && bare.ran() && program.median / bare.median <= 1.5;
    if (program.ran() && bare.ran())
        std::printf("  lists / bare %.3f (target <= 1.5: %s)\n", program.median / bare.median, met ? "met" : "MISSED");
    else
        std::printf("  lists / bare (target <= 1.5: NOT RUN)\n");
    const double st = rep.ms("BM_StatementInTransaction");
    if (st > 0 && bare.ran())
        std::printf("  reference: a Statement compiled per field list %.1f ms (%.2f x bare)\n", st,
                    st / (bare.median * 1e3));
    return met;
}

} // namespace

int main(int argc, char **argv)
{
    std::string data = DUNMOOR_BENCH_DATA;
    if (!bench::takePositive(&argc, argv, "tables", &g.tables))
        return 1;
    takeFlag(&argc, argv, "data", &data);
    QTemporaryDir scratch;
    if (!bench::begin(&argc, argv, scratch))
        return 1;

    const auto body = [&] {
        std::printf("Catalogue of %d tables:\n", g.tables);
        setUp(QString::fromStdString(data));
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    const auto tearDown = [] {
        // Kept for the next run; only the connections go.
        g.bare.reset();
        g.db.reset();
    };
    return bench::run("bench_catalogue", body, tearDown);
}
