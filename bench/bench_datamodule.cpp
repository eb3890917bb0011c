// Speed of the workbench window's after-connect step (TfmBrowser::
// AfterConnect: the repository check, the external-table folder, every
// catalogue list, the break point list, the history) against the distinct
// statements it needs, run directly on the client library in the same
// program.
//
// The window is connected once (from the command line, as the program
// starts); a pass closes its lists (not timed) and runs the step again.
// During an untimed first pass the statement log gives the texts, and each
// text's parameter values are read from the query that sends it (a detail
// list's link values). The bare side then sends each list's statement once,
// with the values its last run had (the rows the list shows), and every
// other statement once, in the same transactions: a statement the window ran
// outside its connection's transaction runs in one of its own on the bare
// side too. It fetches every row into one fixed buffer and reads every BLOB
// value (procedure and trigger sources), as the lists hold them. The summary
// gives the statements the step sends and how many of them it needs.
//
//   bench_datamodule [--tables=N] [--procedures=N] [--triggers=N] [--data=DIR]
//                    [--fb-root=DIR] [benchmark flags]
//
// --tables      tables of 4 columns (default 2000); every second one has a
//               primary key, every third an index on a column
// --procedures  procedures with two input and two output parameters (default 200)
// --triggers    triggers, two to a table from the first on (default 500)
// --data        folder keeping the database between runs (default: the build
//               tree's bench-data); it is made again only when its counts differ
// --fb-root     Firebird runtime folder (default: a temporary one)
//
// The summary compares medians of the repetitions; the repetitions of the
// two sides run in random order unless
// --benchmark_enable_random_interleaving=false is given. Target: the window
// within 1.5 times the bare side; the exit code is 1 when it is missed.
//
// For a profiler run use a smaller database and collect the timed passes only, e.g.
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*windowPass*'
//       bench_datamodule --tables=200 --procedures=20 --triggers=50 --benchmark_filter=Window

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/SqlParams.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"
#include "platform/Prompter.h"
#include "workbench/App.h"
#include "workbench/DM1.h"
#include "workbench/Repository.h"
#include "workbench/fBrowser.h"

#include <benchmark/benchmark.h>
#include <ibase.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
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

// ---------------------------------------------------------------- bare side

using bench::check;

// One parameter value as the module bound it.
struct BoundValue {
    bool null = true;
    bool numeric = false;
    qint64 integer = 0;
    double real = 0;
    std::string text; // UTF-8; also the numeric value's text, for a text column
};

// One statement of the module's pass, in the order it was sent.
struct SentStatement {
    int connection = 0;    // 0: the user connection, 1: the national one
    int transaction = 0;   // which explicit transaction of the connection; 0: none
    bool inTransaction = false; // in its connection's explicit transaction
    std::string sql;       // as the server received it
    std::vector<BoundValue> values;
    QString queryName;     // for messages
};

class BareAttachment : public bench::BareAttachment {
public:
    using bench::BareAttachment::BareAttachment;

    // Prepares, binds, executes and fetches one statement; every row lands
    // in the same buffer, every BLOB value is read to its end. Returns rows.
    qint64 run(isc_tr_handle *tr, const SentStatement &s)
    {
        ISC_STATUS_ARRAY st;
        isc_stmt_handle stmt = 0;
        isc_dsql_allocate_statement(st, handle(), &stmt);
        check(st, "allocate statement");
        struct Free {
            isc_stmt_handle *h;
            ~Free()
            {
                ISC_STATUS_ARRAY st2;
                isc_dsql_free_statement(st2, h, DSQL_drop);
            }
        } freeLater{&stmt};

        XSQLDA *out = sqlda(m_out, kMaxColumns);
        isc_dsql_prepare(st, tr, &stmt, 0, s.sql.c_str(), 1, out);
        check(st, "prepare");
        if (out->sqld > out->sqln) {
            out = sqlda(m_out, out->sqld);
            isc_dsql_describe(st, &stmt, 1, out);
            check(st, "describe");
        }
        XSQLDA *in = sqlda(m_in, kMaxParams);
        isc_dsql_describe_bind(st, &stmt, 1, in);
        check(st, "describe bind");
        if (in->sqld != short(s.values.size()))
            throw std::runtime_error("parameter count differs for " + s.sql);
        bind(in, s.values);

        bench::bindNullableRow(out, &m_row, 8);
        m_blobs.clear();
        for (int i = 0; i < out->sqld; ++i) {
            if ((out->sqlvar[i].sqltype & ~1) == SQL_BLOB)
                m_blobs.push_back(i);
        }

        // Statements that return no cursor (the step's writes, a procedure
        // call) are executed only, as the engine does.
        const char items[] = {isc_info_sql_stmt_type, isc_info_end};
        char info[16] = {};
        isc_dsql_sql_info(st, &stmt, sizeof items, items, sizeof info, info);
        check(st, "statement type");
        const long type = isc_vax_integer(info + 3, short(isc_vax_integer(info + 1, 2)));
        if (type != isc_info_sql_stmt_select && type != isc_info_sql_stmt_select_for_upd) {
            const bool outputs = type == isc_info_sql_stmt_exec_procedure && out->sqld > 0;
            if (outputs)
                isc_dsql_execute2(st, tr, &stmt, 1, in->sqld ? in : nullptr, out);
            else
                isc_dsql_execute(st, tr, &stmt, 1, in->sqld ? in : nullptr);
            check(st, "execute");
            return outputs ? 1 : 0;
        }
        isc_dsql_execute(st, tr, &stmt, 1, in->sqld ? in : nullptr);
        check(st, "execute");
        qint64 rows = 0;
        ISC_STATUS rc;
        while ((rc = isc_dsql_fetch(st, &stmt, 1, out)) == 0) {
            ++rows;
            for (int i : m_blobs) {
                const XSQLVAR &v = out->sqlvar[i];
                if (*v.sqlind >= 0)
                    readBlob(tr, *reinterpret_cast<ISC_QUAD *>(v.sqldata));
            }
        }
        if (rc != 100)
            check(st, "fetch");
        return rows;
    }

private:
    static constexpr short kMaxColumns = 20;
    static constexpr short kMaxParams = 10;

    static XSQLDA *sqlda(std::vector<char> &mem, short n)
    {
        if (mem.size() < size_t(XSQLDA_LENGTH(n)))
            mem.assign(XSQLDA_LENGTH(n), 0);
        XSQLDA *da = reinterpret_cast<XSQLDA *>(mem.data());
        da->version = SQLDA_VERSION1;
        da->sqln = n;
        return da;
    }

    // The values go in the form the engine sends them: an integer column gets
    // a 64-bit integer (scaled), anything else the value's text.
    void bind(XSQLDA *in, const std::vector<BoundValue> &values)
    {
        m_params.assign(size_t(in->sqld) * 16 + 64, 0);
        m_texts.clear();
        m_texts.reserve(values.size());
        for (int i = 0; i < in->sqld; ++i) {
            XSQLVAR &v = in->sqlvar[i];
            const BoundValue &b = values[size_t(i)];
            char *slot = m_params.data() + i * 16;
            v.sqlind = reinterpret_cast<short *>(slot + 8);
            const short base = short(v.sqltype & ~1);
            if (b.null) {
                *v.sqlind = -1;
                m_texts.emplace_back(size_t(std::max<int>(v.sqllen, 8) + 2), '\0');
                v.sqltype = short(base | 1);
                v.sqldata = m_texts.back().data();
                continue;
            }
            *v.sqlind = 0;
            if (b.numeric && (base == SQL_SHORT || base == SQL_LONG || base == SQL_INT64)) {
                const qint64 x = v.sqlscale < 0 ? std::llround(b.real * std::pow(10.0, -v.sqlscale)) : b.integer;
                std::memcpy(slot, &x, sizeof x);
                v.sqltype = SQL_INT64 | 1;
                v.sqllen = 8;
                v.sqldata = slot;
                continue;
            }
            m_texts.push_back(b.text);
            v.sqltype = SQL_TEXT | 1;
            v.sqllen = short(b.text.size());
            v.sqldata = m_texts.back().data();
        }
    }

    void readBlob(isc_tr_handle *tr, ISC_QUAD id)
    {
        ISC_STATUS_ARRAY st;
        isc_blob_handle bh = 0;
        isc_open_blob2(st, handle(), tr, &bh, &id, 0, nullptr);
        check(st, "open blob");
        for (;;) {
            unsigned short got = 0;
            const ISC_STATUS rc = isc_get_segment(st, &bh, &got, sizeof m_chunk, m_chunk);
            if (rc == isc_segstr_eof)
                break;
            if (rc != 0 && rc != isc_segment) {
                ISC_STATUS_ARRAY st2;
                isc_close_blob(st2, &bh);
                check(st, "read blob");
            }
            benchmark::DoNotOptimize(m_chunk[0]);
        }
        isc_close_blob(st, &bh);
        check(st, "close blob");
    }

    std::vector<char> m_out, m_in, m_row, m_params;
    std::vector<int> m_blobs;
    std::vector<std::string> m_texts;
    char m_chunk[32768];
};

// ---------------------------------------------------------------- set-up

struct Setup {
    int tables = 2000;
    int procedures = 200;
    int triggers = 500;
    QString databasePath;
    std::unique_ptr<platform::ScriptedPrompter> prompter;
    std::unique_ptr<platform::ScopedPrompter> scoped;
    std::unique_ptr<Workbench> workbench;
    std::unique_ptr<BareAttachment> bareUser, bareNational;
    std::vector<SentStatement> sent;   // every statement of a pass, in order
    std::vector<SentStatement> needed; // the distinct ones the bare side sends
    qint64 moduleRows = 0; // rows the lists hold after a pass
    qint64 bareRows = 0;   // rows the bare pass fetches (every statement)
};

Setup g;

constexpr int kSchemaVersion = 2; // 2: with the workbench repository

using bench::connect;
using bench::scalar;

QString tableName(int t)
{
    return QStringLiteral("TAB_%1").arg(t, 5, 10, QLatin1Char('0'));
}

// The schema's object counts, as the check of a cached file sees them.
struct Counts {
    qint64 tables = -1, procedures = -1, triggers = -1, indices = -1;
    bool operator==(const Counts &o) const
    {
        return tables == o.tables && procedures == o.procedures && triggers == o.triggers && indices == o.indices;
    }
};

Counts expectedCounts()
{
    Counts c;
    c.tables = g.tables;
    c.procedures = g.procedures;
    c.triggers = g.triggers;
    c.indices = (g.tables + 1) / 2 + (g.tables + 2) / 3; // primary keys + NAME indexes
    return c;
}

// The benchmark's own objects: the workbench repository's (META$) are left out.
Counts countsOf(engine::Database &db)
{
    auto count = [&db](const char *table, const char *name, const char *condition) {
        return scalar(db, QStringLiteral("select count(*) from %1 where RDB$SYSTEM_FLAG = 0 and %2 not starting with "
                                         "'META$'%3")
                              .arg(QLatin1String(table), QLatin1String(name), QLatin1String(condition)))
            .toLongLong();
    };
    Counts c;
    c.tables = count("RDB$RELATIONS", "RDB$RELATION_NAME", " and RDB$VIEW_BLR is null");
    c.procedures = count("RDB$PROCEDURES", "RDB$PROCEDURE_NAME", "");
    c.triggers = count("RDB$TRIGGERS", "RDB$RELATION_NAME", "");
    c.indices = count("RDB$INDICES", "RDB$RELATION_NAME", "");
    return c;
}

bool cachedDatabaseFits(const QString &path)
{
    if (!QFile::exists(path))
        return false;
    try {
        auto db = connect(path);
        if (countsOf(*db) == expectedCounts())
            return true;
        std::printf("  the cached database holds other objects: made again\n");
    } catch (const engine::Error &e) {
        std::printf("  cached database unusable: %s\n", e.what());
    }
    return false;
}

// Runs statements in transactions of `batch` statements each: far fewer
// commits than one per statement, and no transaction holding thousands of
// new objects.
void runBatched(engine::Database &db, const QStringList &statements, int batch)
{
    for (int first = 0; first < statements.size(); first += batch) {
        db.startTransaction();
        try {
            for (int i = first; i < qMin(int(statements.size()), first + batch); ++i)
                db.executeImmediate(statements[i]);
            db.commit();
        } catch (...) {
            db.rollback();
            throw;
        }
    }
}

void createDatabase(const QString &path)
{
    QFile::remove(path);
    engine::Database::createDatabase(path);
    auto db = connect(path);
    QElapsedTimer timer;
    timer.start();

    QStringList tables, indexes, procedures, triggers;
    for (int t = 0; t < g.tables; ++t) {
        QString sql = QStringLiteral("CREATE TABLE %1 (ID INTEGER NOT NULL, NAME VARCHAR(40), AMOUNT NUMERIC(9,2), "
                                     "NOTE CHAR(10)")
                          .arg(tableName(t));
        if (t % 2 == 0)
            sql += QStringLiteral(", PRIMARY KEY (ID)");
        tables << sql + QLatin1Char(')');
        // Made once every table is committed, in batches of their own.
        if (t % 3 == 0)
            indexes << QStringLiteral("CREATE INDEX IX_%1 ON %1 (NAME)").arg(tableName(t));
    }
    for (int p = 0; p < g.procedures; ++p) {
        const QString table = tableName(p * g.tables / qMax(1, g.procedures));
        procedures << QStringLiteral("CREATE PROCEDURE PROC_%1 (N INTEGER, S VARCHAR(20))\n"
                                     "RETURNS (CNT INTEGER, TXT VARCHAR(40))\n"
                                     "AS\n"
                                     "BEGIN\n"
                                     "  SELECT COUNT(*) FROM %2 WHERE ID > :N INTO :CNT;\n"
                                     "  TXT = S || ' ' || CNT;\n"
                                     "  SUSPEND;\n"
                                     "END")
                          .arg(p, 4, 10, QLatin1Char('0'))
                          .arg(table);
    }
    // Two triggers to a table, from the first table on, spread evenly.
    const int tablesWithTriggers = qMax(1, (g.triggers + 1) / 2);
    static const char *const kEvents[] = {"BEFORE INSERT", "AFTER INSERT", "BEFORE UPDATE",
                                          "AFTER UPDATE",  "BEFORE DELETE", "AFTER DELETE"};
    for (int i = 0; i < g.triggers; ++i) {
        const int t = int(qint64(i / 2) * g.tables / tablesWithTriggers);
        const int kind = i % 6;
        const bool setsNew = kind == 0 || kind == 2;
        triggers << QStringLiteral("CREATE TRIGGER TRG_%1 FOR %2 %3 %4 POSITION %5\n"
                                   "AS\n"
                                   "BEGIN\n"
                                   "%6"
                                   "END")
                        .arg(i, 4, 10, QLatin1Char('0'))
                        .arg(tableName(t))
                        .arg(i % 7 == 6 ? QStringLiteral("INACTIVE") : QStringLiteral("ACTIVE"))
                        .arg(QLatin1String(kEvents[kind]))
                        .arg(i % 5)
                        .arg(setsNew ? QStringLiteral("  IF (NEW.NAME IS NULL) THEN NEW.NAME = 'row ' || NEW.ID;\n")
                                     : QStringLiteral("  /* nothing */\n"));
    }
    runBatched(*db, tables, 250);
    runBatched(*db, indexes, 250);
    runBatched(*db, procedures, 100);
    runBatched(*db, triggers, 100);
    // The repository, so the step does all it does for a user who has one.
    {
        platform::ScriptedPrompter p;
        platform::ScopedPrompter sp(p);
        engine::Statement q6(db.get()), q7(db.get());
        Repository r(*db, q6, q7);
        p.answer(platform::Prompter::Answer::Yes);
        if (r.ensure([](int) {}) != Repository::InstallResult::Installed)
            throw std::runtime_error("the repository could not be installed");
        bench::exec(*db, QStringLiteral("insert into meta$External values (\"/nonexistent/\")"));
    }
    if (!(countsOf(*db) == expectedCounts()))
        throw std::runtime_error("the new database does not hold the objects it was made with");
    std::printf("  made %d tables, %d procedures, %d triggers in %.1f s\n", g.tables, g.procedures, g.triggers,
                double(timer.elapsed()) / 1000.0);
}

// ---------------------------------------------------------------- the window

struct NamedQuery {
    const char *name;
    engine::Query *query;
};

// The queries the step can open, details before their masters.
std::vector<NamedQuery> catalogueQueries(TDM &dm)
{
    return {{"QIndexFields", &dm.QIndexFields}, {"QColumns", &dm.QColumns},       {"QIndex", &dm.QIndex},
            {"QTableTrigger", &dm.QTableTrigger}, {"QConstraints", &dm.QConstraints}, {"QFArg", &dm.QFArg},
            {"QDepend2", &dm.QDepend2},         {"QInParams", &dm.QInParams},     {"QOutParams", &dm.QOutParams},
            {"QDomain", &dm.QDomain},           {"QTables", &dm.QTables},         {"QGenerator", &dm.QGenerator},
            {"QUDF", &dm.QUDF},                 {"QView", &dm.QView},             {"QDepend", &dm.QDepend},
            {"QException", &dm.QException},     {"QProc", &dm.QProc},             {"QPointList", &dm.QPointList},
            {"Q6", &dm.Q6}};
}

TfmBrowser &window()
{
    return *g.workbench->browser;
}

// The lists close as a new connect closes them, so the step opens them anew.
void closeLists()
{
    DM->CloseLists();
    DM->Q6.close();
}

qint64 listRows(TDM &dm)
{
    qint64 n = 0;
    for (const NamedQuery &q : catalogueQueries(dm))
        n += q.query->recordCount();
    return n;
}

// One timed pass. Returns the rows the lists held.
qint64 windowPass()
{
    window().AfterConnect();
    if (window().StatusFailed)
        throw std::runtime_error("the after-connect step failed");
    return listRows(*DM);
}

BoundValue boundValue(const QVariant &v)
{
    BoundValue b;
    if (v.isNull())
        return b;
    b.null = false;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        b.numeric = true;
        b.integer = v.toLongLong();
        b.real = double(b.integer);
        b.text = std::to_string(b.integer);
        break;
    case QMetaType::Double:
        b.numeric = true;
        b.real = v.toDouble();
        b.integer = qint64(b.real);
        b.text = QString::number(b.real, 'g', 17).toStdString();
        break;
    case QMetaType::QString:
        b.text = v.toString().toUtf8().toStdString();
        break;
    default:
        throw std::runtime_error(std::string("a parameter of an unexpected type: ") + v.typeName());
    }
    return b;
}

// The untimed first pass: the statement log gives the texts; alongside it
// each text's parameter values are read from the query that sends it (its
// statement holds them by then) and its transaction from its connection.
// Returns each list's row count at the end of the pass.
std::vector<int> recordWindowPass()
{
    TDM &dm = *DM;
    engine::Database *connections[] = {&dm.Database, &dm.DatabaseN};
    const std::vector<NamedQuery> queries = catalogueQueries(dm);
    // The server text of every query the step can open, per connection.
    QHash<QString, const NamedQuery *> byText;
    QSet<QString> ambiguous;
    for (const NamedQuery &q : queries) {
        const int c = q.query->database() == &dm.Database ? 0 : 1;
        const QString key = QString::number(c) + QLatin1Char('\n')
                            + engine::parseSqlParams(q.query->statement().text()).serverText;
        if (byText.contains(key))
            ambiguous.insert(key);
        byText.insert(key, &q);
    }

    // A connection's explicit transactions are numbered as they are met: a
    // statement in one after a statement outside one starts the next.
    int transactions[2] = {0, 0};
    bool wasIn[2] = {false, false};
    std::vector<SentStatement> sent;
    std::string failure;
    closeLists();
    engine::StatementRecorder recorder;
    engine::StatementLog::Hook previous;
    previous = engine::StatementLog::setHook([&](const QString &database, const QString &sql) {
        if (previous)
            previous(database, sql);
        SentStatement s;
        s.connection = database == dm.Database.name() ? 0 : database == dm.DatabaseN.name() ? 1 : -1;
        if (s.connection < 0) {
            if (failure.empty())
                failure = "a statement on another connection: " + database.toStdString();
            sent.push_back(s);
            return;
        }
        s.inTransaction = connections[s.connection]->inTransaction();
        if (s.inTransaction && !wasIn[s.connection])
            ++transactions[s.connection];
        wasIn[s.connection] = s.inTransaction;
        s.transaction = s.inTransaction ? transactions[s.connection] : 0;
        const QString key = QString::number(s.connection) + QLatin1Char('\n') + sql;
        const NamedQuery *q = ambiguous.contains(key) ? nullptr : byText.value(key);
        if (q) {
            s.queryName = QLatin1String(q->name);
            for (const QString &p : engine::parseSqlParams(q->query->statement().text()).paramNames)
                s.values.push_back(boundValue(q->query->param(p)));
        } else if (sql.contains(QLatin1String("rdb$constraint_type = 'PRIMARY KEY'"))) {
            // The history table's key, read as it opens.
            s.values.push_back(boundValue(dm.THistory.tableName().toUpper()));
        } else if (sql.contains(QLatin1Char('?')) && failure.empty()) {
            failure = "no single query sends " + sql.toStdString();
        }
        sent.push_back(s);
    });
    std::vector<int> counts;
    try {
        windowPass();
        engine::StatementLog::setHook(previous);
        for (const NamedQuery &q : queries)
            counts.push_back(q.query->recordCount());
        g.moduleRows = listRows(dm);
        if (dm.QTables.recordCount() != g.tables || dm.QProc.recordCount() != g.procedures
            || dm.QColumns.recordCount() != 4 || dm.QTableTrigger.isEmpty() || dm.InParamsText.isEmpty()
            || dm.OutParamsText.isEmpty())
            throw std::runtime_error("the lists do not show the schema: " + std::to_string(dm.QTables.recordCount())
                                     + " tables, " + std::to_string(dm.QProc.recordCount()) + " procedures, "
                                     + std::to_string(dm.QColumns.recordCount()) + " columns of the first table");
    } catch (...) {
        engine::StatementLog::setHook(previous);
        throw;
    }
    if (!failure.empty())
        throw std::runtime_error(failure);
    const QStringList texts = recorder.statements();
    if (size_t(texts.size()) != sent.size())
        throw std::runtime_error("the log and the parameter record differ in length");
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i].sql = texts[int(i)].toUtf8().toStdString();
    g.sent = std::move(sent);
    return counts;
}

bool sameValues(const std::vector<BoundValue> &a, const std::vector<BoundValue> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].null != b[i].null || a[i].text != b[i].text)
            return false;
    return true;
}

// What the step needs: each list's statement once, with the values of its
// last run (the rows it shows), and every other statement once.
std::vector<SentStatement> distinctStatements(const std::vector<SentStatement> &sent)
{
    std::vector<SentStatement> needed;
    for (size_t i = 0; i < sent.size(); ++i) {
        const SentStatement &s = sent[i];
        bool later = false;
        for (size_t k = i + 1; k < sent.size() && !later; ++k) {
            const SentStatement &o = sent[k];
            later = o.connection == s.connection && o.sql == s.sql
                    && (s.queryName.isEmpty() ? sameValues(o.values, s.values) : o.queryName == s.queryName);
        }
        if (!later)
            needed.push_back(s);
    }
    return needed;
}

// ---------------------------------------------------------------- bare pass

// The needed statements on the client library, on two attachments made
// once, as the window's connections stay. perStatement, when given,
// receives each statement's row count.
qint64 barePass(std::vector<qint64> *perStatement = nullptr)
{
    BareAttachment *att[] = {g.bareUser.get(), g.bareNational.get()};
    isc_tr_handle explicitTr[2] = {0, 0};
    int current[2] = {0, 0};
    qint64 rows = 0;
    try {
        for (const SentStatement &s : g.needed) {
            const int c = s.connection;
            qint64 n;
            if (s.inTransaction) {
                if (current[c] != s.transaction) {
                    if (explicitTr[c])
                        BareAttachment::commit(&explicitTr[c]);
                    att[c]->start(&explicitTr[c]);
                    current[c] = s.transaction;
                }
                n = att[c]->run(&explicitTr[c], s);
            } else {
                isc_tr_handle own = 0;
                att[c]->start(&own);
                try {
                    n = att[c]->run(&own, s);
                    BareAttachment::commit(&own);
                } catch (...) {
                    BareAttachment::rollback(&own);
                    throw;
                }
            }
            rows += n;
            if (perStatement)
                perStatement->push_back(n);
        }
        for (isc_tr_handle &tr : explicitTr)
            if (tr)
                BareAttachment::commit(&tr);
    } catch (...) {
        for (isc_tr_handle &tr : explicitTr)
            BareAttachment::rollback(&tr);
        throw;
    }
    return rows;
}

void setUp(const QString &dataDir)
{
    QDir().mkpath(dataDir);
    g.databasePath = QStringLiteral("%1/datamodule-v%2-%3t-%4p-%5tr.fdb")
                         .arg(dataDir)
                         .arg(kSchemaVersion)
                         .arg(g.tables)
                         .arg(g.procedures)
                         .arg(g.triggers);
    bench::cachedDatabase(g.databasePath, cachedDatabaseFits, createDatabase);

    // Messages of the window are recorded, never shown.
    g.prompter = std::make_unique<platform::ScriptedPrompter>();
    g.scoped = std::make_unique<platform::ScopedPrompter>(*g.prompter);
    QStringList params = engine::Session::driverDefaultParams(QStringLiteral("INTRBASE"));
    for (QString &l : params)
        if (l.startsWith(QLatin1String("SERVER NAME=")))
            l = QStringLiteral("SERVER NAME=") + g.databasePath;
    engine::Session::defaultSession().addAlias(QStringLiteral("BENCH"), QStringLiteral("INTRBASE"), params);
    g.workbench = std::make_unique<Workbench>(QStringList{"BENCH", "SYSDBA", ""});
    if (!window().IsConnected || !window().MetaPresent)
        throw std::runtime_error("the workbench did not connect with its repository");
    const std::vector<int> listCounts = recordWindowPass();
    g.needed = distinctStatements(g.sent);
    const QByteArray path = QFile::encodeName(g.databasePath);
    g.bareUser = std::make_unique<BareAttachment>(path);
    g.bareNational = std::make_unique<BareAttachment>(path);

    // The bare statement of a list fetched the rows it holds.
    std::vector<qint64> perStatement;
    g.bareRows = barePass(&perStatement);
    const std::vector<NamedQuery> queries = catalogueQueries(*DM);
    int checked = 0;
    for (size_t k = 0; k < queries.size(); ++k) {
        int last = -1;
        for (size_t i = 0; i < g.needed.size(); ++i)
            if (g.needed[i].queryName == QLatin1String(queries[k].name))
                last = int(i);
        if (last < 0)
            continue;
        ++checked;
        if (perStatement[size_t(last)] != listCounts[k])
            throw std::runtime_error("the bare pass read " + std::to_string(perStatement[size_t(last)]) + " rows for "
                                     + queries[k].name + ", the list holds " + std::to_string(listCounts[k]));
    }
    std::printf("  the step sends %zu statements a pass and needs %zu (%d lists checked against the bare rows); "
                "%lld rows fetched by the bare side, %lld held by the lists\n",
                g.sent.size(), g.needed.size(), checked, static_cast<long long>(g.bareRows),
                static_cast<long long>(g.moduleRows));
    for (const NamedQuery &q : queries) {
        int times = 0;
        for (const SentStatement &s : g.sent)
            times += s.queryName == QLatin1String(q.name);
        if (times > 1)
            std::printf("    %s is sent %d times\n", q.name, times);
    }
}

// ---------------------------------------------------------------- benchmarks

template <class Body>
void runCounted(benchmark::State &state, qint64 expected, Body body)
{
    qint64 total = 0;
    try {
        for (auto _ : state)
            total += body();
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    if (total != expected * state.iterations())
        state.SkipWithError("a pass read a different number of rows");
    state.counters["statements"] = double(g.needed.size());
}

void BM_Window(benchmark::State &state)
{
    qint64 total = 0;
    try {
        for (auto _ : state) {
            state.PauseTiming();
            closeLists();
            state.ResumeTiming();
            total += windowPass();
        }
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
        return;
    }
    if (total != g.moduleRows * state.iterations())
        state.SkipWithError("a pass read a different number of rows");
    state.counters["statements"] = double(g.sent.size());
}

void BM_Bare(benchmark::State &state)
{
    runCounted(state, g.bareRows, [] { return barePass(); });
}

BENCHMARK(BM_Bare)->Iterations(5)->Repetitions(6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Window)->Iterations(5)->Repetitions(6)->Unit(benchmark::kMillisecond)->UseRealTime();

// True when the after-connect step met its target.
bool printSummary(const bench::MedianReporter &rep)
{
    const bench::Figure w = rep.seconds("BM_Window");
    const bench::Figure b = rep.seconds("BM_Bare");
    std::printf("\nThe window's after-connect step: %d tables, %d procedures, %d triggers; "
                "ms per pass, medians (low-high)\n",
                g.tables, g.procedures, g.triggers);
    std::printf("  window, %zu statements         %s\n", g.sent.size(), w.text(1e3).c_str());
    std::printf("  bare, the %zu distinct needed  %s\n", g.needed.size(), b.text(1e3).c_str());
    const bool met = w.ran() && b.ran() && w.median / b.median <= 1.5;
    if (w.ran() && b.ran())
        std::printf("  window / bare %.3f (target <= 1.5: %s)\n", w.median / b.median, met ? "met" : "MISSED");
    else
        std::printf("  window / bare (target <= 1.5: NOT RUN)\n");
    return met;
}


using bench::takeCount;

} // namespace

int main(int argc, char **argv)
{
    std::string data = DUNMOOR_BENCH_DATA;
    std::string root;
    if (!takeCount(&argc, argv, "tables", &g.tables, 1) || !takeCount(&argc, argv, "procedures", &g.procedures, 1)
        || !takeCount(&argc, argv, "triggers", &g.triggers, 1))
        return 1;
    takeFlag(&argc, argv, "data", &data);
    takeFlag(&argc, argv, "fb-root", &root);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The two sides take turns in random order by default, so a machine
    // that slows down or warms up over the run favours neither; a flag given
    // on the command line comes later and wins.
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int benchArgc = int(args.size());
    benchmark::Initialize(&benchArgc, args.data());
    if (benchmark::ReportUnrecognizedArguments(benchArgc, args.data()))
        return 1;

    QTemporaryDir scratch;
    if (!bench::prepareRuntime(scratch, root))
        return 1;

    const auto body = [&] {
        std::printf("Catalogue of %d tables, %d procedures, %d triggers:\n", g.tables, g.procedures, g.triggers);
        setUp(QString::fromStdString(data));
        bench::MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        if (!printSummary(reporter))
            throw std::runtime_error("a target was missed");
    };
    return bench::run("bench_datamodule", body, [] {
        g.bareUser.reset();
        g.bareNational.reset();
        g.workbench.reset();
    });
}
