#include "workbench/SqlConsole.h"

#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "engine/Table.h"
#include "engine/Transaction.h"

#include <atomic>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace sqlconsole {

namespace {

// How far ahead of the clock the last key may lie and still be followed:
// the keys of one day (the day term moves by a million).
constexpr quint32 kKeysAhead = 1000000u;
// Keys taken by rows the generator does not know of (written by an older
// program) are stepped over one by one, once; past this many in a row
// something else refuses the row, and its error is the one to show.
constexpr int kKeyAttempts = 100000;

// Program-wide, for NextQueryNumber only.
std::atomic<int> QueryCounter{0};

} // namespace

qint32 HistoryKey(const QDate &date, const QTime &time)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(date);
    // Unsigned 32-bit arithmetic wraps by definition; the stored keys were
    // made by a signed 32-bit multiplication that wrapped the same way.
    const quint32 key = quint32(days) * 1000000u + quint32(time.hour() * 10000 + time.minute() * 100 + time.second());
    return static_cast<qint32>(key);
}

qint32 HistoryKeyNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    return HistoryKey(now.date(), now.time());
}

QString FirstLine(const QString &text)
{
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    QString line = end < 0 ? text : text.left(end);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

qint32 NextHistoryKey(qint32 clockKey, qint32 lastKey)
{
    const quint32 ahead = quint32(lastKey) - quint32(clockKey);
    return ahead < kKeysAhead ? static_cast<qint32>(quint32(lastKey) + 1u) : clockKey;
}

namespace {

qint64 generatorStep(engine::Database &db, qint64 step)
{
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select gen_id(meta$HistKey, %1) from rdb$database").arg(step));
    s.open();
    return s.rows().value(0, 0).toLongLong();
}

// The next key after the clock's and the generator's, and the generator
// moved onto it; another program moving it meanwhile makes this look again.
qint32 claimKey(engine::Database &db, qint32 clockKey)
{
    for (;;) {
        const qint64 last = generatorStep(db, 0);
        const qint32 key = NextHistoryKey(clockKey, static_cast<qint32>(last));
        if (generatorStep(db, qint64(key) - last) == key)
            return key;
    }
}

} // namespace

void EnsureHistoryKeyGenerator(engine::Database &db)
{
    engine::Statement s(&db);
    engine::TransactionGuard transaction(db);
    s.setSql(QStringLiteral("select count(*) from rdb$generators where rdb$generator_name = \"META$HISTKEY\""));
    s.open();
    if (s.rows().value(0, 0).toInt() == 0) {
        s.setSql(QStringLiteral("create generator meta$HistKey"));
        s.execute();
    }
    transaction.commit();
}

qint32 AppendHistoryRow(engine::Table &history, const QString &text, qint32 clockKey)
{
    engine::ControlsFrozen frozen(history);
    if (!history.isActive())
        history.open();
    history.insert();
    qint32 key = clockKey;
    try {
        history.fieldByName(QStringLiteral("ID")).setValue(FirstLine(text).left(255));
        history.fieldByName(QStringLiteral("BODY")).setValue(text);
        bool generator = true;
        for (int attempt = 1;; ++attempt) {
            // Without the generator (it could not be made) the keys are
            // stepped over one by one, as before it existed.
            try {
                if (generator)
                    key = claimKey(*history.database(), key);
            } catch (const engine::Error &) {
                generator = false;
            }
            if (!generator && attempt > 1)
                key = static_cast<qint32>(quint32(key) + 1u);
            history.fieldByName(QStringLiteral("DT")).setValue(key);
            try {
                history.post();
                break;
            } catch (const engine::Error &e) {
                if (e.category() != engine::ErrorCategory::KeyViolation || attempt == kKeyAttempts)
                    throw;
            }
        }
    } catch (...) {
        history.cancel();
        throw;
    }
    return key;
}

QString ClearHistorySql(const QString &userName)
{
    return QStringLiteral("delete from meta$History where UserName = \"%1\"").arg(engine::quotedConstant(userName));
}

int NextQueryNumber()
{
    return QueryCounter.fetch_add(1) + 1;
}

QString NumberedName(const QString &base, int n)
{
    return base + QString::number(n, 16).toUpper();
}

QString FailureText(const std::exception &e)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void *)> name(abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status),
                                                 std::free);
    const QString className = QString::fromLatin1(status == 0 && name ? name.get() : typeid(e).name());
    const auto *engineError = dynamic_cast<const engine::Error *>(&e);
    const QString message = engineError ? engineError->message() : QString::fromLocal8Bit(e.what());
    return QStringLiteral("%1: %2.").arg(className, message);
}

StatementThread::StatementThread(engine::Database &db, const QStringList &sql, bool query, QObject *parent)
    : QThread(parent), m_db(db), m_sql(sql), m_query(query)
{
}

void StatementThread::run()
{
    try {
        engine::Statement s(&m_db);
        s.setSql(m_sql);
        s.setParamCheck(false);
        if (m_query) {
            s.open();
            m_rows = s.rowSet();
        } else {
            s.execute();
        }
    } catch (...) {
        m_failure = std::current_exception();
    }
}

} // namespace sqlconsole
