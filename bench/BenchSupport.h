#pragma once

// What every benchmark program shares: its own command-line flags, the
// Firebird runtime and scratch folder, the bare client-library side the
// engine is measured against, the reporter keeping every repetition for
// the summaries' medians, and the process's memory.

#include "support/DirectSql.h"

#include <benchmark/benchmark.h>
#include <ibase.h>

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QTemporaryDir;

namespace engine {
class Database;
}

// Takes "--name=value" out of argv (the benchmark library rejects flags it
// does not know) and returns whether it was there.
inline bool takeFlag(int *argc, char **argv, const char *name, std::string *value)
{
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) {
            *value = argv[i] + prefix.size();
            for (int j = i; j + 1 < *argc; ++j)
                argv[j] = argv[j + 1];
            --*argc;
            return true;
        }
    }
    return false;
}

namespace bench {

// Takes "--name=N" into *target when given; false (after saying so) when N
// is not a positive number.
template <class Int>
bool takePositive(int *argc, char **argv, const char *name, Int *target)
{
    std::string value;
    if (!takeFlag(argc, argv, name, &value))
        return true;
    *target = Int(std::atoll(value.c_str()));
    if (*target <= 0) {
        std::fprintf(stderr, "--%s needs a positive number\n", name);
        return false;
    }
    return true;
}

// Takes "--name=N" into *target when given; false (after saying so) when N
// is below the minimum.
bool takeCount(int *argc, char **argv, const char *name, int *target, int minimum);

// ---------------------------------------------------------------- runtime

// Points the engine at its runtime folder (--fb-root, or one in the scratch
// folder) and at an alias file of the scratch folder. Before any
// client-library call: the engine reads its configuration once. False
// (after saying why) when there is no scratch folder.
bool prepareRuntime(const QTemporaryDir &scratch, const std::string &root);

// The engine's threads stop before their lock and temp folders go.
void shutdownClient();

// Hands the flags left over to the benchmark library; false when it does
// not know one.
bool initialize(int *argc, char **argv);

// The start of main() once the program's own flags are taken: --fb-root,
// the benchmark library's flags and the runtime. False (after saying why)
// when main() should return 1.
bool begin(int *argc, char **argv, const QTemporaryDir &scratch);

// The rest of main(): runs body (set-up, benchmarks, summary), then
// tearDown, each telling its failure on stderr under the program's name;
// then stops the client and benchmark libraries. Returns the exit code.
int run(const char *program, const std::function<void()> &body, const std::function<void()> &tearDown);

// ---------------------------------------------------------------- engine side

// A fresh connection as the programs make it: SYSDBA, opened.
std::unique_ptr<engine::Database> connect(const QString &path);

// Statements without parameter parsing, each committed at once, and the
// first value of a select: the tests' own.
using testsupport::exec;
using testsupport::scalar;

// A table (T unless named) of ID, NAME, REMARK, AMOUNT and STAMP filled with
// this many rows by one procedure call, so filling costs no round trip per
// row; its text columns in the character set given (the database's own
// unless one is named). UTF8 text holds multi-byte characters, any other
// only ASCII.
void fillTable(engine::Database &db, qint64 rows, const QString &table = QStringLiteral("T"),
               const QString &charset = QString());

// Uses the database kept at path when fits(path) says it holds what the
// benchmark needs, and makes it anew with make(path) otherwise.
void cachedDatabase(const QString &path, const std::function<bool(const QString &)> &fits,
                    const std::function<void(const QString &)> &make);

// ---------------------------------------------------------------- bare side

// Throws std::runtime_error with the server's messages when st holds an error.
void check(const ISC_STATUS *st, const char *what);

// Bytes a value of this variable takes in the server's message.
inline int messageSize(const XSQLVAR &v)
{
    return (v.sqltype & ~1) == SQL_VARYING ? v.sqllen + 2 : v.sqllen;
}

// Points every output variable into *row, laid out as the server's message:
// each value on 8 bytes, its indicator after it on 2.
void bindMessage(XSQLDA *da, std::vector<char> *row);

// Makes every output variable nullable and points it into *row, each value
// on 8 bytes with its indicator right after it; spare bytes follow the last.
void bindNullableRow(XSQLDA *da, std::vector<char> *row, std::size_t spare = 0);

// An attachment of its own on the client library, made as the engine
// connects: same user, character set and dialect 1.
class BareAttachment {
public:
    explicit BareAttachment(const QByteArray &path);
    ~BareAttachment() { detach(); }
    BareAttachment(const BareAttachment &) = delete;
    BareAttachment &operator=(const BareAttachment &) = delete;

    isc_db_handle *handle() { return &m_db; }
    void detach();

    // The transaction the engine starts (read committed, record versions,
    // no wait).
    void start(isc_tr_handle *tr);
    static void commit(isc_tr_handle *tr);
    // Quietly, for cleaning up after an error; nothing when *tr is not set.
    static void rollback(isc_tr_handle *tr);

private:
    isc_db_handle m_db = 0;
};

// One query on an attachment of its own, written directly on the client
// library: every row is fetched into one fixed buffer, nothing is copied or
// decoded. The fastest anyone can fetch these rows, so the engine is
// measured against it.
class BareQuery {
public:
    BareQuery(const QByteArray &path, const char *sql) : m_att(path), m_sql(sql) {}

    void detach() { m_att.detach(); }

    // Runs the query in the transaction the engine starts for a statement
    // outside one, and returns the row count.
    qint64 fetchAll();

    // The columns as the last run described them.
    const XSQLDA *described() const { return reinterpret_cast<const XSQLDA *>(m_sqlda.data()); }

private:
    static constexpr short kMaxColumns = 20;
    BareAttachment m_att;
    const char *m_sql;
    std::vector<char> m_sqlda = std::vector<char>(XSQLDA_LENGTH(kMaxColumns));
    std::vector<char> m_row;
};

// ---------------------------------------------------------------- timing

// Ends a benchmark that got total rows in all: skipped with the mismatch
// message unless every iteration got perIteration, and a rows/s counter.
void countRows(benchmark::State &state, qint64 total, qint64 perIteration, const char *mismatch);

// The bare side's benchmark: the query fetched once per iteration.
void bareFetch(benchmark::State &state, BareQuery &query, qint64 rows);

// One benchmark's figure over its repetitions: the median, the fastest and
// slowest repetition, and how many there were.
struct Figure {
    double median = 0;
    double low = 0;
    double high = 0;
    int repetitions = 0;
    bool ran() const { return repetitions > 0; }
    // "median (low-high, n reps)" scaled by unit, e.g. 1e3 for ms.
    std::string text(double unit, const char *format = "%.1f") const;
    // Spread around the median in percent: (high - low) / median.
    double spreadPercent() const { return median > 0 ? 100.0 * (high - low) / median : 0; }
    // The same figure in another unit, e.g. 1e3 for ms.
    Figure scaled(double unit) const { return {median * unit, low * unit, high * unit, repetitions}; }
};

// Prints as usual and keeps every repetition of every benchmark: real time
// per iteration and each counter, by name ("BM_X", or "BM_X/3" for an
// argument). Summaries take the median, so one
// repetition slowed by the rest of the machine moves no verdict.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    MedianReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &reports) override;

    // Seconds per iteration; not ran() when the benchmark did not run or failed.
    Figure seconds(const std::string &name) const;
    // Milliseconds per iteration; 0 when the benchmark did not run.
    double ms(const std::string &name) const { return seconds(name).median * 1000.0; }
    Figure milliseconds(const std::string &name) const { return seconds(name).scaled(1000.0); }
    // A counter (rows/s, cells/s) over the repetitions.
    Figure counter(const std::string &name, const std::string &counter) const;
    // One counter divided by another within each repetition, over the
    // repetitions: the ratio of two interleaved sides, each repetition
    // compared with itself.
    Figure ratio(const std::string &name, const std::string &numerator, const std::string &denominator) const;

private:
    struct Samples {
        std::vector<double> seconds;
        std::map<std::string, std::vector<double>> counters;
        bool failed = false;
    };
    std::map<std::string, Samples> m_samples;
};

// Median, lowest and highest of a list of samples.
Figure figureOf(std::vector<double> samples);

// One side of an interleaved comparison: its counter's name, one run, and
// what is done after each run without being timed (freeing, removing files).
struct Side {
    std::string name;
    std::function<void()> run;
    std::function<void()> after = {};
};

// Runs every side once per iteration of state, the order turning at each
// iteration, so a change in the machine's load weighs on every side alike
// and drift between two runs one after the other decides nothing. Each
// side's milliseconds per run go to the counter "<name>_ms": the median of
// the repetition's iterations. The benchmark's own time is all sides
// together. What a side throws ends the benchmark with its message.
void interleave(benchmark::State &state, const std::vector<Side> &sides);

// ---------------------------------------------------------------- memory

// This process's resident set now and at its peak (VmRSS, VmHWM) in bytes;
// -1 where /proc does not tell.
struct ProcessMemory {
    qint64 peak = -1;
    qint64 resident = -1;
};
ProcessMemory processMemory();
// Sets the peak back to the current resident set, so a later peak is the
// work's own. False where the kernel does not allow it.
bool resetPeakMemory();

// How far the resident set has grown at its peak since this was made: the
// peak is set back to the resident set at the start, so what an earlier
// step took counts for nothing. Where the kernel does not allow that, the
// resident set now is read instead (exact() false).
class PeakGrowth {
public:
    PeakGrowth() : m_exact(resetPeakMemory()), m_start(processMemory().resident) {}
    qint64 bytes() const;
    bool exact() const { return m_exact; }

private:
    bool m_exact;
    qint64 m_start;
};

} // namespace bench
