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
#include "engine/Runtime.h"
#include "engine/Session.h"
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

// Dialect 1: NUMERIC(15,2) is held as a double and DATE holds date and time.
const char kCreateTable[] = "CREATE TABLE T (ID INTEGER, NAME CHAR(31), REMARK VARCHAR(100), "
                            "AMOUNT NUMERIC(15,2), STAMP DATE)";

// One statement inserts every row, so filling costs no round trip per row.
// NAME is short, so its trailing blanks are trimmed on decode; REMARK runs
// from 40 to 100 characters.
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

// Bytes a value of this variable takes in the server's message.
int messageSize(const XSQLVAR &v)
{
    return (v.sqltype & ~1) == SQL_VARYING ? v.sqllen + 2 : v.sqllen;
}

struct WireColumn {
    std::string name;
    int bytes = 0;
    bool varying = false;
    bool nullable = false;
};

// A connection of its own, written directly on the client library: the
// fastest anyone can fetch these rows, so the engine is measured against it.
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
        // As the engine connects: same user, character set and dialect.
        add(isc_dpb_user_name, "SYSDBA");
        add(isc_dpb_lc_ctype, "UTF8");
        dpb += char(isc_dpb_sql_dialect);
        dpb += char(1);
        dpb += char(1);
        ISC_STATUS_ARRAY st;
        isc_attach_database(st, 0, path.constData(), &m_db, short(dpb.size()), dpb.data());
        check(st, "attach");
    }

    ~BareConnection() { detach(); }
    BareConnection(const BareConnection &) = delete;
    BareConnection &operator=(const BareConnection &) = delete;

    void detach()
    {
        if (!m_db)
            return;
        ISC_STATUS_ARRAY st;
        isc_detach_database(st, &m_db);
        m_db = 0;
    }

    // Runs the query and fetches every row into one fixed buffer: nothing is
    // copied or decoded. Returns the row count; the columns as described.
    qint64 fetchAll(std::vector<WireColumn> *described = nullptr)
    {
        // The transaction the engine starts for a statement outside one.
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
                const int size = messageSize(da->sqlvar[i]);
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
                if (described)
                    described->push_back({std::string(v.sqlname, size_t(v.sqlname_length)), messageSize(v),
                                          (v.sqltype & ~1) == SQL_VARYING, (v.sqltype & 1) != 0});
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

// What every benchmark runs against: one table made once per run.
struct Setup {
    qint64 rows = 1000000;
    QString databasePath;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<BareConnection> bare;
    std::vector<WireColumn> wireColumns;
};

Setup g;

void runSql(engine::Database &db, const char *sql)
{
    engine::Statement s(&db);
    s.setParamCheck(false);
    s.setSql(QString::fromLatin1(sql));
    s.execute();
}

QVariant scalar(engine::Database &db, const char *sql)
{
    engine::Statement s(&db);
    s.setParamCheck(false);
    s.setSql(QString::fromLatin1(sql));
    s.open();
    return s.rows().rowCount() > 0 ? s.rows().value(0, 0) : QVariant();
}

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
    if (total != g.rows * state.iterations())
        state.SkipWithError("the engine fetched a different number of rows");
    state.counters["rows/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
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
    if (total != g.rows * state.iterations())
        state.SkipWithError("the engine fetched a different number of rows");
    state.counters["rows/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
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
    scalar(*g.db, "select count(*) from T");

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
    g.db = std::make_unique<engine::Database>(nullptr, QStringLiteral("BENCH"));
    g.db->setDriverName(QStringLiteral("INTRBASE"));
    g.db->setParams({QStringLiteral("SERVER NAME=") + g.databasePath, QStringLiteral("USER NAME=SYSDBA")});
    g.db->open();
    runSql(*g.db, kCreateTable);
    runSql(*g.db, kCreateFill);
    runSql(*g.db, QStringLiteral("EXECUTE PROCEDURE FILL_T %1").arg(g.rows).toLatin1().constData());
    const qint64 count = scalar(*g.db, "select count(*) from T").toLongLong();
    if (count != g.rows)
        throw std::runtime_error("the table holds " + std::to_string(count) + " rows, not "
                                 + std::to_string(g.rows));
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
    std::string rows;
    std::string root;
    if (takeFlag(&argc, argv, "rows", &rows)) {
        g.rows = std::atoll(rows.c_str());
        if (g.rows <= 0) {
            std::fprintf(stderr, "--rows needs a positive number\n");
            return 1;
        }
    }
    takeFlag(&argc, argv, "fb-root", &root);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no temporary folder: %s\n", qPrintable(scratch.errorString()));
        return 1;
    }
    // Before any client-library call: the engine reads its configuration once.
    engine::Runtime::prepare(root.empty() ? scratch.path() + QStringLiteral("/fbrt") : QString::fromStdString(root));
    engine::Session::useConfigurationFile(scratch.path() + QStringLiteral("/aliases.conf"));

    int rc = 0;
    try {
        std::printf("Filling a table of %lld rows...\n", static_cast<long long>(g.rows));
        std::fflush(stdout);
        createTable(scratch.path());
        // One untimed pass, which also reads the columns as described.
        g.bare->fetchAll(&g.wireColumns);
        const MemoryFigures mem = measureHeldMemory();
        qint64 valueBytes = 0;
        for (const WireColumn &c : g.wireColumns)
            valueBytes += (c.varying ? 2 : c.bytes) * g.rows;
        valueBytes += scalar(*g.db, "select sum(char_length(REMARK)) from T").toLongLong();

        RecordingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        printSummary(reporter, mem, valueBytes);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_fetch: %s\n", e.what());
        rc = 1;
    }
    try {
        dropTable();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_fetch: dropping the database: %s\n", e.what());
        rc = 1;
    }
    // The engine's threads stop before their lock and temp folders go.
    fb_shutdown(0, fb_shutrsn_app_stopped);
    benchmark::Shutdown();
    return rc;
}
