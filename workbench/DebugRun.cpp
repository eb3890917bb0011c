#include "workbench/DebugRun.h"

#include "engine/SqlText.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Transaction.h"
#include "engine/Statement.h"
#include "engine/StoredProc.h"
#include "workbench/ConnectParams.h"

#include <QRegularExpression>

namespace debugrun {

int firstMissingInput(const QVector<InputRow> &inputs)
{
    for (int i = 0; i < inputs.size(); ++i)
        if (inputs[i].value.isEmpty())
            return i;
    return -1;
}

QString selectValue(const InputRow &input)
{
    if (input.type == QLatin1String("DATE") && !input.value.startsWith(QLatin1Char('"')))
        return QLatin1Char('"') + input.value + QLatin1Char('"');
    return input.value;
}

QStringList selectStatement(const QString &procedure, const QVector<InputRow> &inputs)
{
    engine::requirePlainIdentifier(procedure); // it stands bare
    QStringList sql{QStringLiteral("select * from ") + procedure};
    if (inputs.isEmpty())
        return sql;
    QStringList values;
    for (const InputRow &in : inputs)
        values << selectValue(in);
    sql << QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')');
    return sql;
}

QString outputText(const QString &type, const QString &value)
{
    return type == QLatin1String("UNSUPPORTED!") ? QStringLiteral("Unsupported!") : value;
}

PointUse pointUse(const QStringList &pointTypes, const QString &storedSource)
{
    PointUse u;
    for (const QString &t : pointTypes) {
        const QString type = t.trimmed();
        u.breaks = u.breaks || type == QLatin1String("BP");
        u.traces = u.traces || type == QLatin1String("TP");
        u.progress = u.progress || type == QLatin1String("PP");
    }
    // Every break block of one object waits for the same number of answers
    // (all declarations come before the body); with none it only records.
    if (u.breaks && storedSource.contains(QLatin1String("while (meta$num < 0) do")))
        u.breaks = false;
    return u;
}

RunSteps runSteps(const PointUse &use)
{
    RunSteps steps;
    steps.zeroProgress = use.progress;
    steps.waitForHits = use.breaks || use.progress;
    steps.newSessions = (use.traces ? 1 : 0) + (steps.waitForHits ? 1 : 0);
    return steps;
}

PointUse readPointUse(engine::Database &db, const QString &procedure)
{
    const QString name = engine::quotedConstant(procedure);
    engine::Statement points(&db);
    points.setSql(QStringLiteral("select distinct PType from meta$points where ProcName = \"%1\" and P = 0").arg(name));
    points.open();
    QStringList types;
    for (qsizetype i = 0; i < points.rows().rowCount(); ++i)
        types << points.rows().text(i, 0);
    QString source;
    if (!types.isEmpty()) {
        engine::Statement src(&db);
        src.setSql(QStringLiteral("select rdb$procedure_source from rdb$procedures where rdb$procedure_name = \"%1\"")
                       .arg(name));
        src.open();
        if (src.rows().rowCount() > 0)
            source = src.rows().text(0, 0);
    }
    return pointUse(types, source);
}

QString elapsedText(const QTime &start, const QTime &now, const QString &longFormat)
{
    // Times of day subtract; a run across midnight wraps to the next day.
    int ms = start.msecsTo(now);
    if (ms < 0)
        ms += 24 * 60 * 60 * 1000;
    QString format = longFormat;
    format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
    format = format.trimmed();
    if (format.isEmpty())
        format = QStringLiteral("HH:mm:ss");
    return QTime(0, 0).addMSecs(ms).toString(format);
}

BreakLatch::BreakLatch() = default;

BreakLatch::~BreakLatch()
{
    close();
}

bool BreakLatch::hold(const engine::Database &like, const QString &user)
{
    if (m_held)
        return true;
    try {
        if (!m_db || !m_db->isConnected()) {
            m_transaction.reset();
            m_db = std::make_unique<engine::Database>(like.session(), QStringLiteral("BreakLatch"));
            m_db->setAliasName(like.aliasName());
            m_db->setDriverName(like.driverName());
            m_db->setParams(like.params());
            m_db->open();
            m_transaction = std::make_unique<engine::KeptTransaction>(*m_db);
        }
    } catch (const engine::Error &) {
        return false;
    }
    if (!m_rowMade) {
        try {
            m_transaction->run([&] { m_db->executeImmediate(makeRowSql(user)); });
            m_transaction->commit();
            m_rowMade = true;
        } catch (const engine::Error &) {
            return false;
        }
    }
    // A block that found the row free loops, taking it for a moment at each
    // turn: a few tries land between two of its turns.
    const QString sql = takeRowSql(user);
    for (int attempt = 0; attempt < kAttempts && !m_held; ++attempt) {
        try {
            m_transaction->run([&] { m_db->executeImmediate(sql); });
            m_held = true;
        } catch (const engine::Error &) {
        }
    }
    return m_held;
}

QString BreakLatch::makeRowSql(const QString &user)
{
    const QString u = engine::quotedConstant(user);
    return QStringLiteral("insert into meta$session select \"%1\", -1 from rdb$database where not exists "
                          "(select * from meta$session where UserName = \"%1\" and SessionNum < 0)")
        .arg(u);
}

QString BreakLatch::takeRowSql(const QString &user)
{
    return QStringLiteral("update meta$session set SessionNum = SessionNum where UserName = \"%1\" and SessionNum < 0")
        .arg(engine::quotedConstant(user));
}

void BreakLatch::release()
{
    if (!m_held)
        return;
    m_held = false;
    try {
        m_transaction->rollback();
    } catch (const engine::Error &) {
        close(); // the connection is gone with its lock
    }
}

void BreakLatch::close()
{
    m_held = false;
    m_rowMade = false;
    m_transaction.reset();
    if (!m_db)
        return;
    try {
        engine::rollbackQuietly(*m_db);
        m_db->close();
    } catch (const engine::Error &) {
    }
    m_db.reset();
}

} // namespace debugrun

TMyThread::TMyThread(engine::Database &db, QObject *parent) : QThread(parent), m_db(db) {}

void TMyThread::inTransaction(const std::function<void()> &work)
{
    try {
        engine::TransactionGuard transaction(m_db);
        work();
        transaction.commit();
        m_succeeded = true;
    } catch (const engine::Error &e) {
        m_error = e.message();
        m_succeeded = false;
    }
}

TMyThread1::TMyThread1(engine::Database &db, engine::StoredProc &proc, QObject *parent)
    : TMyThread(db, parent), m_proc(proc)
{
}

void TMyThread1::run()
{
    inTransaction([this] { m_proc.execProc(); });
}

TMyThread2::TMyThread2(engine::Database &db, const QStringList &sql, QObject *parent)
    : TMyThread(db, parent), m_sql(sql)
{
}

void TMyThread2::run()
{
    inTransaction([this] {
        engine::Statement s(&m_db);
        s.setSql(m_sql);
        s.open();
        m_rows = s.rowSet();
    });
}
