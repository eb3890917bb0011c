#include "workbench/SqlConsole.h"

#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Table.h"

#include <atomic>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace sqlconsole {

namespace {

// Tables hold at most a few runs in one second; past this many taken keys in
// a row something else refuses the row, and its error is the one to show.
constexpr int kKeyAttempts = 1000;

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

qint32 AppendHistoryRow(engine::Table &history, const QString &text, qint32 key)
{
    engine::ControlsFrozen frozen(history);
    history.close();
    history.open();
    history.insert();
    try {
        history.fieldByName(QStringLiteral("ID")).setValue(FirstLine(text).left(255));
        history.fieldByName(QStringLiteral("BODY")).setValue(text);
        for (int attempt = 1;; ++attempt) {
            history.fieldByName(QStringLiteral("DT")).setValue(key);
            try {
                history.post();
                break;
            } catch (const engine::Error &e) {
                if (e.category() != engine::ErrorCategory::KeyViolation || attempt == kKeyAttempts)
                    throw;
                key = static_cast<qint32>(quint32(key) + 1u);
            }
        }
    } catch (...) {
        history.cancel();
        throw;
    }
    history.close();
    history.open();
    history.last();
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

} // namespace sqlconsole
