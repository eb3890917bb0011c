#include "BenchSupport.h"

#include "engine/Database.h"
#include "engine/RowSet.h"
#include "engine/Runtime.h"
#include "engine/Session.h"
#include "engine/Statement.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace bench {

namespace {

// REMARK's text: only ASCII, and (100 characters, 163 bytes) a mix of two-,
// three- and four-byte UTF-8 characters between ASCII ones.
const char kAsciiText[] =
    "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz";
const char kUnicodeText[] = "Grüße aus Köln, Ελληνικά και Русский текст, 日本語のテキスト 😀 café naïve façade — 0123456789 ÆØÅ æøå ĳß€ñ¿¡";

} // namespace

bool takeCount(int *argc, char **argv, const char *name, int *target, int minimum)
{
    std::string value;
    if (!takeFlag(argc, argv, name, &value))
        return true;
    *target = std::atoi(value.c_str());
    if (*target < minimum) {
        std::fprintf(stderr, "--%s needs a number of at least %d\n", name, minimum);
        return false;
    }
    return true;
}

bool prepareRuntime(const QTemporaryDir &scratch, const std::string &root)
{
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no temporary folder: %s\n", qPrintable(scratch.errorString()));
        return false;
    }
    engine::Runtime::prepare(root.empty() ? scratch.path() + QStringLiteral("/fbrt") : QString::fromStdString(root));
    engine::Session::useConfigurationFile(scratch.path() + QStringLiteral("/aliases.conf"));
    return true;
}

void shutdownClient()
{
    fb_shutdown(0, fb_shutrsn_app_stopped);
}

bool initialize(int *argc, char **argv)
{
    benchmark::Initialize(argc, argv);
    return !benchmark::ReportUnrecognizedArguments(*argc, argv);
}

bool begin(int *argc, char **argv, const QTemporaryDir &scratch)
{
    std::string root;
    takeFlag(argc, argv, "fb-root", &root);
    return initialize(argc, argv) && prepareRuntime(scratch, root);
}

int run(const char *program, const std::function<void()> &body, const std::function<void()> &tearDown)
{
    int rc = 0;
    try {
        body();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        rc = 1;
    }
    try {
        tearDown();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: dropping the database: %s\n", program, e.what());
        rc = 1;
    }
    shutdownClient();
    benchmark::Shutdown();
    return rc;
}

std::unique_ptr<engine::Database> connect(const QString &path)
{
    auto db = std::make_unique<engine::Database>(nullptr, QStringLiteral("BENCH"));
    db->setDriverName(QStringLiteral("INTRBASE"));
    db->setParams({QStringLiteral("SERVER NAME=") + path, QStringLiteral("USER NAME=SYSDBA")});
    db->open();
    return db;
}

void fillTable(engine::Database &db, qint64 rows, const QString &table, const QString &charset)
{
    const QString text = charset.isEmpty() ? QString() : QStringLiteral(" CHARACTER SET ") + charset;
    // A UTF8 table holds text of one- to four-byte characters, as real
    // Unicode columns do, so decoding and holding it costs what it costs
    // there; every other table holds single-byte text.
    const bool unicode = charset.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0;
    const QString pattern = unicode ? QString::fromUtf8(kUnicodeText) : QString::fromLatin1(kAsciiText);
    const QString name = unicode ? QStringLiteral("R\u00f6w ") : QStringLiteral("Row ");
    // Dialect 1: NUMERIC(15,2) is held as a double and DATE holds date and time.
    exec(db, QStringLiteral("CREATE TABLE %1 (ID INTEGER, NAME CHAR(31)%2, REMARK VARCHAR(100)%2, "
                              "AMOUNT NUMERIC(15,2), STAMP DATE)")
                 .arg(table, text));
    // NAME is short, so its trailing blanks are trimmed on decode; REMARK
    // runs from 40 to 100 characters.
    exec(db, QStringLiteral(
                   "CREATE PROCEDURE FILL_%1 (N INTEGER)\n"
                   "AS\n"
                   "DECLARE VARIABLE I INTEGER;\n"
                   "DECLARE VARIABLE S VARCHAR(100)%2;\n"
                   "BEGIN\n"
                   "  S = '%3';\n"
                   "  I = 0;\n"
                   "  WHILE (I < N) DO\n"
                   "  BEGIN\n"
                   "    INSERT INTO %1 (ID, NAME, REMARK, AMOUNT, STAMP)\n"
                   "    VALUES (:I, '%4' || :I, SUBSTRING(:S FROM 1 FOR 40 + MOD(:I, 61)), :I * 1.25,\n"
                   "            CAST('2020-01-01' AS DATE) + :I / 1440.0);\n"
                   "    I = I + 1;\n"
                   "  END\n"
                   "END")
                   .arg(table, text, pattern, name));
    exec(db, QStringLiteral("EXECUTE PROCEDURE FILL_%1 %2").arg(table).arg(rows));
}

void cachedDatabase(const QString &path, const std::function<bool(const QString &)> &fits,
                    const std::function<void(const QString &)> &make)
{
    if (fits(path)) {
        std::printf("  using the cached database %s\n", qPrintable(path));
        return;
    }
    std::printf("  making %s ...\n", qPrintable(path));
    std::fflush(stdout);
    make(path);
}

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

namespace {

int alignTo(int offset, int unit)
{
    return (offset + unit - 1) / unit * unit;
}

} // namespace

// Two passes over the same layout, so a fetch loop that binds per statement
// allocates nothing but the row itself.
void bindMessage(XSQLDA *da, std::vector<char> *row)
{
    int offset = 0;
    for (int i = 0; i < da->sqld; ++i)
        offset = alignTo(alignTo(offset, 8) + messageSize(da->sqlvar[i]), 2) + 2;
    row->assign(size_t(offset), 0);
    offset = 0;
    for (int i = 0; i < da->sqld; ++i) {
        XSQLVAR &v = da->sqlvar[i];
        offset = alignTo(offset, 8);
        v.sqldata = row->data() + offset;
        offset = alignTo(offset + messageSize(v), 2);
        v.sqlind = reinterpret_cast<short *>(row->data() + offset);
        offset += 2;
    }
}

void bindNullableRow(XSQLDA *da, std::vector<char> *row, std::size_t spare)
{
    int offset = 0;
    for (int i = 0; i < da->sqld; ++i)
        offset = alignTo(offset, 8) + messageSize(da->sqlvar[i]) + 2;
    row->assign(size_t(offset) + spare, 0);
    offset = 0;
    for (int i = 0; i < da->sqld; ++i) {
        XSQLVAR &v = da->sqlvar[i];
        v.sqltype |= 1;
        offset = alignTo(offset, 8);
        v.sqldata = row->data() + offset;
        v.sqlind = reinterpret_cast<short *>(v.sqldata + messageSize(v));
        offset += messageSize(v) + 2;
    }
}

BareAttachment::BareAttachment(const QByteArray &path)
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

void BareAttachment::detach()
{
    if (!m_db)
        return;
    ISC_STATUS_ARRAY st;
    isc_detach_database(st, &m_db);
    m_db = 0;
}

void BareAttachment::start(isc_tr_handle *tr)
{
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait};
    ISC_STATUS_ARRAY st;
    isc_start_transaction(st, tr, 1, &m_db, short(sizeof tpb), tpb);
    check(st, "start transaction");
}

void BareAttachment::commit(isc_tr_handle *tr)
{
    ISC_STATUS_ARRAY st;
    isc_commit_transaction(st, tr);
    check(st, "commit");
}

void BareAttachment::rollback(isc_tr_handle *tr)
{
    if (!*tr)
        return;
    ISC_STATUS_ARRAY st;
    isc_rollback_transaction(st, tr);
}

qint64 BareQuery::fetchAll()
{
    ISC_STATUS_ARRAY st;
    isc_tr_handle tr = 0;
    m_att.start(&tr);
    isc_stmt_handle stmt = 0;
    try {
        isc_dsql_allocate_statement(st, m_att.handle(), &stmt);
        check(st, "allocate statement");
        isc_dsql_prepare(st, &tr, &stmt, 0, m_sql, 1, nullptr);
        check(st, "prepare");
        XSQLDA *da = reinterpret_cast<XSQLDA *>(m_sqlda.data());
        da->version = SQLDA_VERSION1;
        da->sqln = kMaxColumns;
        isc_dsql_describe(st, &stmt, 1, da);
        check(st, "describe");
        if (da->sqld > da->sqln)
            throw std::runtime_error("more columns than the descriptor holds");
        bindMessage(da, &m_row);

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
        BareAttachment::commit(&tr);
        return rows;
    } catch (...) {
        ISC_STATUS_ARRAY st2;
        if (stmt)
            isc_dsql_free_statement(st2, &stmt, DSQL_drop);
        BareAttachment::rollback(&tr);
        throw;
    }
}

void countRows(benchmark::State &state, qint64 total, qint64 perIteration, const char *mismatch)
{
    if (total != perIteration * state.iterations())
        state.SkipWithError(mismatch);
    state.counters["rows/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}

void bareFetch(benchmark::State &state, BareQuery &query, qint64 rows)
{
    qint64 total = 0;
    try {
        for (auto _ : state)
            total += query.fetchAll();
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    countRows(state, total, rows, "the bare loop fetched a different number of rows");
}

Figure figureOf(std::vector<double> samples)
{
    Figure f;
    if (samples.empty())
        return f;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    f.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    f.low = samples.front();
    f.high = samples.back();
    f.repetitions = int(n);
    return f;
}

void interleave(benchmark::State &state, const std::vector<Side> &sides)
{
    using Clock = std::chrono::steady_clock;
    std::vector<std::vector<double>> ms(sides.size());
    size_t first = 0;
    try {
        for (auto _ : state) {
            for (size_t k = 0; k < sides.size(); ++k) {
                const size_t i = (first + k) % sides.size();
                const Clock::time_point start = Clock::now();
                sides[i].run();
                ms[i].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                if (sides[i].after)
                    sides[i].after();
            }
            first = (first + 1) % sides.size();
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    for (size_t i = 0; i < sides.size(); ++i)
        state.counters[sides[i].name + "_ms"] = figureOf(ms[i]).median;
}

std::string Figure::text(double unit, const char *format) const
{
    if (!ran())
        return "not run";
    auto number = [format](double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, format, v);
        return std::string(buf);
    };
    return number(median * unit) + " (" + number(low * unit) + "-" + number(high * unit) + ", "
           + std::to_string(repetitions) + " reps)";
}

void MedianReporter::ReportRuns(const std::vector<Run> &reports)
{
    benchmark::ConsoleReporter::ReportRuns(reports);
    for (const Run &r : reports) {
        const std::string name = r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args);
        Samples &s = m_samples[name];
        if (r.error_occurred) {
            s.failed = true;
            continue;
        }
        if (r.run_type != Run::RT_Iteration || r.iterations == 0)
            continue;
        s.seconds.push_back(r.real_accumulated_time / double(r.iterations));
        for (const auto &c : r.counters)
            s.counters[c.first].push_back(c.second.value);
    }
}

Figure MedianReporter::seconds(const std::string &name) const
{
    const auto it = m_samples.find(name);
    if (it == m_samples.end() || it->second.failed)
        return {};
    return figureOf(it->second.seconds);
}

Figure MedianReporter::counter(const std::string &name, const std::string &counter) const
{
    const auto it = m_samples.find(name);
    if (it == m_samples.end() || it->second.failed)
        return {};
    const auto c = it->second.counters.find(counter);
    return c == it->second.counters.end() ? Figure{} : figureOf(c->second);
}

Figure MedianReporter::ratio(const std::string &name, const std::string &numerator,
                            const std::string &denominator) const
{
    const auto it = m_samples.find(name);
    if (it == m_samples.end() || it->second.failed)
        return {};
    const auto n = it->second.counters.find(numerator);
    const auto d = it->second.counters.find(denominator);
    if (n == it->second.counters.end() || d == it->second.counters.end() || n->second.size() != d->second.size())
        return {};
    std::vector<double> ratios;
    for (size_t i = 0; i < n->second.size(); ++i)
        if (d->second[i] > 0)
            ratios.push_back(n->second[i] / d->second[i]);
    return figureOf(ratios);
}

ProcessMemory processMemory()
{
    ProcessMemory m;
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        if (parts[0] == "VmHWM:")
            m.peak = parts[1].toLongLong() * 1024;
        else if (parts[0] == "VmRSS:")
            m.resident = parts[1].toLongLong() * 1024;
    }
    return m;
}

bool resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

qint64 PeakGrowth::bytes() const
{
    const ProcessMemory now = processMemory();
    return (m_exact ? now.peak : now.resident) - m_start;
}

} // namespace bench
