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
#include "engine/Runtime.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "workbench/Export.h"

#include <benchmark/benchmark.h>
#include <ibase.h>

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

// Dialect 1: NUMERIC(15,2) is held as a double and DATE holds date and time.
const char kCreateTable[] = "CREATE TABLE T (ID INTEGER, NAME CHAR(31), REMARK VARCHAR(100), "
                            "AMOUNT NUMERIC(15,2), STAMP DATE)";

const char kCreateFill[] =
    "CREATE PROCEDURE FILL_T (N INTEGER)\n"
    "AS\n"
    "DECLARE VARIABLE I INTEGER;\n"
    "DECLARE VARIABLE S VARCHAR(100);\n"
    "BEGIN\n"
    "  S = '0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz';\n"
    "  I = 0;\n"
    "  WHILE (I < N) DO\n"
    "  BEGIN\n"
    "    INSERT INTO T (ID, NAME, REMARK, AMOUNT, STAMP)\n"
    "    VALUES (:I, 'Row ' || :I, SUBSTRING(:S FROM 1 FOR 40 + MOD(:I, 61)), :I * 1.25,\n"
    "            CAST('2020-01-01' AS DATE) + :I / 1440.0);\n"
    "    I = I + 1;\n"
    "  END\n"
    "END";

void check(const ISC_STATUS *st, const char *what)
{
    if (st[0] == 1 && st[1] != 0) {
        std::string msg = what;
        char buf[512];
        const ISC_STATUS *p = st;
        while (fb_interpret(buf, sizeof buf, &p) > 0) {
            msg += "\n  ";
            msg += buf;
        }
        throw std::runtime_error(msg);
    }
}

// A connection written directly on the client library that fetches every
// row into one buffer, copying and decoding nothing: the fastest anyone can
// get these rows, so the export is measured against it.
class BareConnection {
public:
    explicit BareConnection(const QByteArray &path)
    {
        std::string dpb(1, char(isc_dpb_version1));
        auto add = [&dpb](char item, const std::string &value) {
            dpb += item;
            dpb += char(value.size());
            dpb += value;
        };
        add(isc_dpb_user_name, "SYSDBA");
        add(isc_dpb_lc_ctype, "UTF8");
        dpb += char(isc_dpb_sql_dialect);
        dpb += char(1);
        dpb += char(1);
        ISC_STATUS_ARRAY st;
        isc_attach_database(st, 0, path.constData(), &m_db, short(dpb.size()), dpb.data());
        check(st, "attach");
    }

    ~BareConnection()
    {
        ISC_STATUS_ARRAY st;
        if (m_db)
            isc_detach_database(st, &m_db);
    }
    BareConnection(const BareConnection &) = delete;
    BareConnection &operator=(const BareConnection &) = delete;

    qint64 fetchAll()
    {
        static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                   isc_tpb_rec_version, isc_tpb_nowait};
        ISC_STATUS_ARRAY st;
        isc_tr_handle tr = 0;
        isc_start_transaction(st, &tr, 1, &m_db, short(sizeof tpb), tpb);
        check(st, "start transaction");
        isc_stmt_handle stmt = 0;
        try {
            isc_dsql_allocate_statement(st, &m_db, &stmt);
            check(st, "allocate statement");
            isc_dsql_prepare(st, &tr, &stmt, 0, kQuery, 1, nullptr);
            check(st, "prepare");
            XSQLDA *da = reinterpret_cast<XSQLDA *>(m_sqlda.data());
            da->version = SQLDA_VERSION1;
            da->sqln = kMaxColumns;
            isc_dsql_describe(st, &stmt, 1, da);
            check(st, "describe");
            if (da->sqld > da->sqln)
                throw std::runtime_error("more columns than the descriptor holds");
            int offset = 0;
            std::vector<int> offsets;
            for (int i = 0; i < da->sqld; ++i) {
                const XSQLVAR &v = da->sqlvar[i];
                const int size = (v.sqltype & ~1) == SQL_VARYING ? v.sqllen + 2 : v.sqllen;
                offset = (offset + 7) / 8 * 8;
                offsets.push_back(offset);
                offset += size;
                offset = (offset + 1) / 2 * 2;
                offsets.push_back(offset);
                offset += 2;
            }
            m_row.assign(size_t(offset), 0);
            for (int i = 0; i < da->sqld; ++i) {
                XSQLVAR &v = da->sqlvar[i];
                v.sqldata = m_row.data() + offsets[size_t(2 * i)];
                v.sqlind = reinterpret_cast<short *>(m_row.data() + offsets[size_t(2 * i + 1)]);
            }
            isc_dsql_execute(st, &tr, &stmt, 1, nullptr);
            check(st, "execute");
            qint64 rows = 0;
            ISC_STATUS rc;
            while ((rc = isc_dsql_fetch(st, &stmt, 1, da)) == 0)
                ++rows;
            if (rc != 100)
                check(st, "fetch");
            isc_dsql_free_statement(st, &stmt, DSQL_drop);
            check(st, "free statement");
            isc_commit_transaction(st, &tr);
            check(st, "commit");
            return rows;
        } catch (...) {
            ISC_STATUS_ARRAY st2;
            if (stmt)
                isc_dsql_free_statement(st2, &stmt, DSQL_drop);
            isc_rollback_transaction(st2, &tr);
            throw;
        }
    }

private:
    static constexpr short kMaxColumns = 20;
    isc_db_handle m_db = 0;
    std::vector<char> m_sqlda = std::vector<char>(XSQLDA_LENGTH(kMaxColumns));
    std::vector<char> m_row;
};

struct Setup {
    qint64 rows = 1000000;
    QString databasePath;
    QString outFolder;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<BareConnection> bare;
    qint64 fileBytes = 0;
};

Setup g;

void runSql(engine::Database &db, const QString &sql)
{
    engine::Statement s(&db);
    s.setParamCheck(false);
    s.setSql(sql);
    s.execute();
}

QString exportFile()
{
    return g.outFolder + QStringLiteral("/export.txt");
}

void BM_BareFetch(benchmark::State &state)
{
    qint64 total = 0;
    try {
        for (auto _ : state)
            total += g.bare->fetchAll();
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    if (total != g.rows * state.iterations())
        state.SkipWithError("the bare loop fetched a different number of rows");
    state.counters["rows/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
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
    if (total != g.rows * state.iterations())
        state.SkipWithError("the export wrote a different number of rows");
    state.counters["rows/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
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
    if (total != g.rows * state.iterations())
        state.SkipWithError("the export wrote a different number of rows");
    state.counters["rows/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_BareFetch)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportWithFetch)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportWrite)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints as usual and keeps each benchmark's rate, so the summary compares
// the rates of this very run.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    RecordingReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &reports) override
    {
        benchmark::ConsoleReporter::ReportRuns(reports);
        for (const Run &r : reports) {
            if (r.error_occurred || r.run_type == Run::RT_Aggregate)
                continue;
            const auto c = r.counters.find("rows/s");
            if (c != r.counters.end())
                m_rates[r.run_name.function_name] = c->second.value;
        }
    }

    // Rows per second of real time; 0 when the benchmark did not run.
    double rate(const std::string &name) const
    {
        const auto it = m_rates.find(name);
        return it == m_rates.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> m_rates;
};

void printSummary(const RecordingReporter &rep)
{
    const double bare = rep.rate("BM_BareFetch");
    const double whole = rep.rate("BM_ExportWithFetch");
    const double write = rep.rate("BM_ExportWrite");
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
    g.db = std::make_unique<engine::Database>(nullptr, QStringLiteral("BENCH"));
    g.db->setDriverName(QStringLiteral("INTRBASE"));
    g.db->setParams({QStringLiteral("SERVER NAME=") + g.databasePath, QStringLiteral("USER NAME=SYSDBA")});
    g.db->open();
    runSql(*g.db, QString::fromLatin1(kCreateTable));
    runSql(*g.db, QString::fromLatin1(kCreateFill));
    runSql(*g.db, QStringLiteral("EXECUTE PROCEDURE FILL_T %1").arg(g.rows));
    g.bare = std::make_unique<BareConnection>(QFile::encodeName(g.databasePath));
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
    std::string rows;
    std::string root;
    std::string out;
    if (takeFlag(&argc, argv, "rows", &rows)) {
        g.rows = std::atoll(rows.c_str());
        if (g.rows <= 0) {
            std::fprintf(stderr, "--rows needs a positive number\n");
            return 1;
        }
    }
    takeFlag(&argc, argv, "fb-root", &root);
    takeFlag(&argc, argv, "out", &out);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no temporary folder: %s\n", qPrintable(scratch.errorString()));
        return 1;
    }
    g.outFolder = out.empty() ? scratch.path() : QString::fromStdString(out);
    engine::Runtime::prepare(root.empty() ? scratch.path() + QStringLiteral("/fbrt") : QString::fromStdString(root));
    engine::Session::useConfigurationFile(scratch.path() + QStringLiteral("/aliases.conf"));

    int rc = 0;
    try {
        std::printf("Filling a table of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        createTable(scratch.path());
        g.bare->fetchAll(); // one untimed pass warms the page cache
        RecordingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_export: %s\n", e.what());
        rc = 1;
    }
    try {
        dropTable();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_export: dropping the database: %s\n", e.what());
        rc = 1;
    }
    fb_shutdown(0, fb_shutrsn_app_stopped);
    benchmark::Shutdown();
    return rc;
}
