#include "engine/Values.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <charconv>

namespace engine {

QString valueText(const QVariant &v)
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("yyyy-MM-dd"))
                                        : dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("hh:mm:ss"));
    case QMetaType::QByteArray:
        return QString::fromLatin1(v.toByteArray().toHex());
    default:
        return v.toString();
    }
}

QString valueText(const QVariant &v, int scale)
{
    if (scale <= 0 || v.typeId() != QMetaType::Double)
        return valueText(v);
    char buf[kScaledTextSize];
    const char *end = writeScaled(buf, v.toDouble(), scale);
    return QString::fromLatin1(buf, qsizetype(end - buf));
}

char *writeScaled(char *buf, double v, int scale)
{
    auto r = std::to_chars(buf, buf + kScaledTextSize, v, std::chars_format::fixed, scale);
    if (r.ec != std::errc()) // not a finite number
        r = std::to_chars(buf, buf + kScaledTextSize, v);
    if (*buf == '-') {
        bool zero = true;
        for (const char *c = buf + 1; c != r.ptr && zero; ++c)
            zero = *c == '0' || *c == '.';
        if (zero) {
            std::copy(buf + 1, r.ptr, buf);
            return r.ptr - 1;
        }
    }
    return r.ptr;
}

bool isNumeric(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

} // namespace engine
