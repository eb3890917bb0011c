// Speed of the workbench's metadata browser, each against a bare
// client-library baseline measured in the same run, the two sides run in
// turn so that the machine's drift weighs on both:
//
//  1. The data page's first screen on a table of a million rows (open the
//     scrolling cursor in its own transaction, fetch the grid's first batch,
//     close) against a bare prepare, execute and fetch of the first 40 rows.
//     Target: under 200 ms.
//  2. The memory of the data page, opened on the million-row table and on a
//     10,000-row copy of its first rows, both kept open: the rows held and
//     the growth of the resident set at the first screen and after
//     scrolling one screen past the first batch. Target: the million-row
//     table costs no more than the small one (rows held the same, resident
//     growth within 1 MiB of it); memory does not grow with the table.
//  3. Every page change of the browser on a 5,000-table database (the data
//     module's reload of that page's lists) against the same catalogue
//     statements, with the values the module bound written in, run on the
//     bare client library in the same transactions (a statement the module
//     ran outside its connection's transaction gets one of its own). Target:
//     every page within 1.5 times its baseline.
//
//   bench_browser [--rows=N] [--tables=N] [--data=DIR] [--fb-root=DIR] [benchmark flags]
//
// --rows     rows of the big table (default 1000000)
// --tables   tables of the catalogue database (default 5000)
// --data     folder keeping both databases between runs (default: the build
//            tree's bench-data)
//
// Each comparison runs kRounds rounds of both sides in each of kRepetitions
// repetitions; a repetition's figure is the median of its rounds, and the
// summary gives the median of the repetitions with their spread (lowest to
// highest). The exit code is 1 when a target is missed.

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/ScrollingQuery.h"
#include "engine/SqlParams.h"
#include "engine/StatementLog.h"
#include "workbench/DM1.h"

#include <benchmark/benchmark.h>
#include <ibase.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef DUNMOOR_BENCH_DATA
#define DUNMOOR_BENCH_DATA "bench-data"
#endif

namespace {

using bench::check;

constexpr int kRepetitions = 9;
constexpr int kRounds = 30;
constexpr int kBareFirstRows = 40;
constexpr int kScreenRows = 40;
const char *const kPages[] = {"Domains", "Tables", "Dependencies", "Generators", "UDFs", "Views", "Exceptions",
                              "Procedures"};

// One statement of a page change, and whether it ran in its connection's
// open transaction (otherwise the engine gave it one of its own).
struct Sent {
    std::string sql;
    bool inTransaction = false;
};

struct Setup {
    qint64 rows = 1000000;
    int tables = 5000;
    QString dataPath, cataloguePath;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<TDM> dm;
    // Per page: the statements its change sent, values written in.
    std::vector<std::vector<Sent>> pageSql;
};

// The data page's memory on one table: rows held and resident growth in
// bytes, at the first screen and after scrolling a screen past the first
// batch.
struct PageMemory {
    qint64 heldFirst = 0, grownFirst = 0;
    qint64 heldScrolled = 0, grownScrolled = 0;
};

Setup g;

// ---------------------------------------------------------------- bare side

class BareRunner : public bench::BareAttachment {
public:
    using bench::BareAttachment::BareAttachment;

    // Prepares and runs sql in tr and fetches up to limit rows (every row
    // when negative), reading each BLOB whole. Returns the rows fetched.
    qint64 run(isc_tr_handle *tr, const char *sql, qint64 limit = -1)
    {
        ISC_STATUS_ARRAY st;
        isc_stmt_handle stmt = 0;
        isc_dsql_allocate_statement(st, handle(), &stmt);
        check(st, "allocate");
        struct Free {
            isc_stmt_handle *h;
            ~Free()
            {
                ISC_STATUS_ARRAY st2;
                isc_dsql_free_statement(st2, h, DSQL_drop);
            }
        } freeLater{&stmt};
        m_out.assign(XSQLDA_LENGTH(40), 0);
        auto *out = reinterpret_cast<XSQLDA *>(m_out.data());
        out->version = SQLDA_VERSION1;
        out->sqln = 40;
        isc_dsql_prepare(st, tr, &stmt, 0, sql, 1, out);
        check(st, sql);
        bench::bindNullableRow(out, &m_row, 8);
        isc_dsql_execute(st, tr, &stmt, 1, nullptr);
        check(st, "execute");
        qint64 rows = 0;
        ISC_STATUS rc = 0;
        while ((limit < 0 || rows < limit) && (rc = isc_dsql_fetch(st, &stmt, 1, out)) == 0) {
            ++rows;
            for (int i = 0; i < out->sqld; ++i) {
                const XSQLVAR &v = out->sqlvar[i];
                if ((v.sqltype & ~1) == SQL_BLOB && *v.sqlind >= 0)
                    readBlob(tr, *reinterpret_cast<ISC_QUAD *>(v.sqldata));
            }
        }
        if (rc != 0 && rc != 100)
            check(st, "fetch");
        return rows;
    }

private:
    void readBlob(isc_tr_handle *tr, ISC_QUAD id)
    {
        ISC_STATUS_ARRAY st;
        isc_blob_handle bh = 0;
        isc_open_blob2(st, handle(), tr, &bh, &id, 0, nullptr);
        check(st, "open blob");
        unsigned short got = 0;
        while (isc_get_segment(st, &bh, &got, sizeof m_chunk, m_chunk) == 0 || st[1] == isc_segment)
            benchmark::DoNotOptimize(m_chunk[0]);
        isc_close_blob(st, &bh);
    }

    std::vector<char> m_out, m_row;
    char m_chunk[32768];
};

// ---------------------------------------------------------------- set-up

QString literal(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray)
        return QLatin1Char('\'') + v.toString().replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    return v.toString();
}

// The statements of one page change, as the server got them, each with the
// values its query bound written in where it had '?', and its transaction.
std::vector<Sent> recordPage(TDM &dm, int page)
{
    QList<engine::Query *> queries;
    for (engine::Query *q : {&dm.QDomain, &dm.QTables, &dm.QColumns, &dm.QIndex, &dm.QIndexFields, &dm.QTableTrigger,
                             &dm.QConstraints, &dm.QGenerator, &dm.QUDF, &dm.QFArg, &dm.QView, &dm.QDepend,
                             &dm.QDepend2, &dm.QException, &dm.QProc, &dm.QInParams, &dm.QOutParams})
        queries << q;
    std::vector<Sent> out;
    std::string failure;
    engine::StatementLog::Hook previous = engine::StatementLog::setHook([&](const QString &db, const QString &sql) {
        engine::Database &connection = db == dm.Database.name() ? dm.Database : dm.DatabaseN;
        for (engine::Query *q : queries) {
            const engine::ParsedSql parsed = engine::parseSqlParams(q->statement().text());
            if (parsed.serverText != sql)
                continue;
            QString text;
            int next = 0;
            for (QChar c : sql) {
                if (c == QLatin1Char('?') && next < parsed.paramNames.size())
                    text += literal(q->param(parsed.paramNames[next++]));
                else
                    text += c;
            }
            out.push_back({text.toStdString(), connection.inTransaction()});
            return;
        }
        if (failure.empty())
            failure = "no list sends " + sql.toStdString();
    });
    try {
        dm.ReopenBrowserPage(page);
    } catch (...) {
        engine::StatementLog::setHook(previous);
        throw;
    }
    engine::StatementLog::setHook(previous);
    if (!failure.empty())
        throw std::runtime_error(failure);
    return out;
}

void makeCatalogue(const QString &path)
{
    QFile::remove(path);
    engine::Database::createDatabase(path);
    auto db = bench::connect(path);
    for (int first = 0; first < g.tables; first += 200) {
        db->startTransaction();
        for (int t = first; t < qMin(g.tables, first + 200); ++t)
            db->executeImmediate(QStringLiteral("create table TAB_%1 (ID integer not null primary key, NAME "
                                                "varchar(40), AMOUNT numeric(9,2), NOTE blob sub_type 1)")
                                     .arg(t, 5, 10, QLatin1Char('0')));
        db->commit();
    }
    bench::exec(*db, QStringLiteral("create domain D_NAME as varchar(40)"));
    bench::exec(*db, QStringLiteral("create generator G_ONE"));
    bench::exec(*db, QStringLiteral("create view V_ONE as select * from TAB_00000"));
    bench::exec(*db, QStringLiteral("create exception E_ONE \"one\""));
    bench::exec(*db, QStringLiteral("create procedure P_ONE (A integer) returns (B integer) as begin B = A; end"));
}

void setUp(const QString &dataDir)
{
    QDir().mkpath(dataDir);
    g.dataPath = QStringLiteral("%1/browser-rows-%2.fdb").arg(dataDir).arg(g.rows);
    g.cataloguePath = QStringLiteral("%1/browser-tables-%2.fdb").arg(dataDir).arg(g.tables);
    if (!QFile::exists(g.dataPath)) {
        std::printf("  making %s ...\n", qPrintable(g.dataPath));
        std::fflush(stdout);
        engine::Database::createDatabase(g.dataPath);
        auto db = bench::connect(g.dataPath);
        bench::fillTable(*db, g.rows);
        bench::exec(*db, QStringLiteral("create table SMALL (ID INTEGER, NAME CHAR(31), REMARK VARCHAR(100), "
                                        "AMOUNT NUMERIC(15,2), STAMP DATE)"));
        bench::exec(*db, QStringLiteral("insert into SMALL select first 10000 * from T"));
    }
    if (!QFile::exists(g.cataloguePath)) {
        std::printf("  making %s ...\n", qPrintable(g.cataloguePath));
        std::fflush(stdout);
        makeCatalogue(g.cataloguePath);
    }
    g.db = bench::connect(g.dataPath);

    g.dm = std::make_unique<TDM>();
    for (engine::Database *d : {&g.dm->Database, &g.dm->DatabaseN}) {
        d->setDriverName(QStringLiteral("INTRBASE"));
        d->setParams({QStringLiteral("SERVER NAME=") + g.cataloguePath, QStringLiteral("USER NAME=SYSDBA")});
        d->open();
    }
    g.dm->OpenUserLists();
    g.dm->OpenNationalLists();
    for (int page = 0; page < 8; ++page) {
        g.pageSql.push_back(recordPage(*g.dm, page));
        int own = 0;
        for (const Sent &s : g.pageSql.back())
            own += s.inTransaction ? 0 : 1;
        std::printf("  page %-13s %2zu statements, %d in transactions of their own\n", kPages[page],
                    g.pageSql.back().size(), own);
    }
}

// ---------------------------------------------------------------- memory

// The data page as the grid drives it: open, the first screen, then one
// screen past what the first batch brought. Both tables stay open until both
// are measured, so memory freed by one is not reused by the other. What the
// process pays once whatever the table (the engine's first compile of a
// select on it, the cursor's buffers) is paid by one untimed opening of
// each table first; the big table is measured first.
std::map<std::string, PageMemory> measurePageMemory()
{
    struct Open {
        std::unique_ptr<engine::ScrollingQuery> query;
        std::unique_ptr<engine::ScrollingModel> model;
    };
    const char *const tables[] = {"T", "SMALL"};
    for (const char *table : tables) {
        engine::ScrollingQuery q(g.db.get());
        q.open(QStringLiteral("select * from ") + QLatin1String(table));
        q.fetchMore(2 * engine::ScrollingModel::kBatch);
        q.close();
    }
    std::vector<Open> open;
    std::map<std::string, PageMemory> out;
    for (const char *table : tables) {
        PageMemory &m = out[table];
        Open o{std::make_unique<engine::ScrollingQuery>(g.db.get()), nullptr};
        o.model = std::make_unique<engine::ScrollingModel>(o.query.get());
        const bench::PeakGrowth growth;
        o.query->open(QStringLiteral("select * from ") + QLatin1String(table));
        o.model->reset();
        if (!o.model->ensureRow(kScreenRows - 1))
            throw std::runtime_error(std::string("no first screen on ") + table);
        m.grownFirst = growth.bytes();
        m.heldFirst = o.query->rows().heldBytes();
        const int shown = o.model->rowCount(QModelIndex());
        if (!o.model->ensureRow(shown + kScreenRows - 1))
            throw std::runtime_error(std::string("no second batch on ") + table);
        m.grownScrolled = growth.bytes();
        m.heldScrolled = o.query->rows().heldBytes();
        open.push_back(std::move(o));
    }
    for (Open &o : open)
        o.query->close();
    return out;
}

// ---------------------------------------------------------------- benchmarks

void BM_FirstScreen(benchmark::State &state)
{
    try {
        BareRunner att(QFile::encodeName(g.dataPath));
        engine::ScrollingQuery q(g.db.get());
        engine::ScrollingModel model(&q);
        bench::interleave(state, {{"bare",
                                   [&] {
                                       isc_tr_handle tr = 0;
                                       att.start(&tr);
                                       const qint64 n = att.run(&tr, "select * from T", kBareFirstRows);
                                       BareRunner::commit(&tr);
                                       if (n != kBareFirstRows)
                                           throw std::runtime_error("the bare fetch got too few rows");
                                   }},
                                  {"page", [&] {
                                       q.open(QStringLiteral("select * from T"));
                                       model.reset();
                                       if (!model.ensureRow(0)
                                           || model.rowCount() != engine::ScrollingModel::kBatch)
                                           throw std::runtime_error("the first screen is not there");
                                       q.close();
                                   }}});
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
}

void BM_Page(benchmark::State &state)
{
    const int page = int(state.range(0));
    const auto &sql = g.pageSql[size_t(page)];
    try {
        BareRunner att(QFile::encodeName(g.cataloguePath));
        bench::interleave(state, {{"bare",
                                   [&] {
                                       isc_tr_handle tr = 0;
                                       att.start(&tr);
                                       for (const Sent &s : sql) {
                                           if (s.inTransaction) {
                                               att.run(&tr, s.sql.c_str());
                                               continue;
                                           }
                                           isc_tr_handle own = 0;
                                           att.start(&own);
                                           att.run(&own, s.sql.c_str());
                                           BareRunner::commit(&own);
                                       }
                                       BareRunner::commit(&tr);
                                   }},
                                  {"page", [&] { g.dm->ReopenBrowserPage(page); }}});
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
    state.SetLabel(kPages[page]);
}

// One comparison: both sides' medians, the target, and the figure the
// verdict reads with the spread of its repetitions.
bool line(const char *measure, const bench::Figure &base, const bench::Figure &own, const char *target,
          const bench::Figure &figure, const char *unit, bool met)
{
    std::printf("  %-24s %9.2f ms %9.2f ms  %-10s %7.2f %-2s (%.2f-%.2f)  %s\n", measure, base.median, own.median,
                target, figure.median, unit, figure.low, figure.high, met ? "met" : "MISSED");
    return met;
}

double kib(qint64 bytes)
{
    return double(bytes) / 1024.0;
}

bool memorySummary(const std::map<std::string, PageMemory> &mem)
{
    const PageMemory &big = mem.at("T"), &small = mem.at("SMALL");
    constexpr qint64 kSlack = 1 << 20;
    std::printf("\n  data page memory, both tables open (KiB)   1,000,000 rows   10,000 rows   target\n");
    bool ok = true;
    auto row = [&ok](const char *what, qint64 b, qint64 s, qint64 slack) {
        const bool met = b <= s + slack;
        std::printf("  %-42s %14.0f %13.0f   <= small%s  %s\n", what, kib(b), kib(s), slack ? " + 1 MiB" : "",
                    met ? "met" : "MISSED");
        ok = ok && met;
    };
    row("rows held, first screen", big.heldFirst, small.heldFirst, 0);
    row("rows held, one screen scrolled", big.heldScrolled, small.heldScrolled, 0);
    row("resident growth, first screen", big.grownFirst, small.grownFirst, kSlack);
    row("resident growth, one screen scrolled", big.grownScrolled, small.grownScrolled, kSlack);
    return ok;
}

bool summary(const bench::MedianReporter &rep, const std::map<std::string, PageMemory> &mem)
{
    std::printf("\n  %-24s %12s %12s  %-10s %s\n", "measure", "baseline", "median", "target",
                "verdict figure: median (low-high of the repetitions)");
    const auto bare = rep.counter("BM_FirstScreen", "bare_ms");
    const auto own = rep.counter("BM_FirstScreen", "page_ms");
    bool ok = line("data page, first screen", bare, own, "< 200 ms", own, "ms", own.ran() && own.median < 200.0);
    for (int page = 0; page < 8; ++page) {
        const std::string name = "BM_Page/" + std::to_string(page);
        const auto r = rep.ratio(name, "page_ms", "bare_ms");
        const std::string label = std::string("page ") + kPages[page];
        ok = line(label.c_str(), rep.counter(name, "bare_ms"), rep.counter(name, "page_ms"), "<= 1.5 x", r, "x",
                  r.ran() && r.median <= 1.5)
             && ok;
    }
    ok = memorySummary(mem) && ok;
    std::printf("\n  verdict: %s\n", ok ? "every target met" : "a target was MISSED");
    return ok;
}

} // namespace

BENCHMARK(BM_FirstScreen)->Iterations(kRounds)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Page)->DenseRange(0, 7)->Iterations(kRounds)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    std::string dataDir = DUNMOOR_BENCH_DATA;
    takeFlag(&argc, argv, "data", &dataDir);
    if (!bench::takePositive(&argc, argv, "rows", &g.rows) || !bench::takeCount(&argc, argv, "tables", &g.tables, 1))
        return 1;
    QTemporaryDir scratch;
    if (!bench::begin(&argc, argv, scratch))
        return 1;
    bool met = false;
    const int rc = bench::run(
        "bench_browser",
        [&] {
            setUp(QString::fromStdString(dataDir));
            const auto memory = measurePageMemory();
            bench::MedianReporter reporter;
            benchmark::RunSpecifiedBenchmarks(&reporter);
            met = summary(reporter, memory);
        },
        [] {
            g.dm.reset();
            g.db.reset();
        });
    return rc ? rc : (met ? 0 : 1);
}
