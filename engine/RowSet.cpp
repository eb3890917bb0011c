#include "engine/RowSet.h"

#include "engine/Values.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace engine {

namespace {

// The engine counts days from 17 November 1858 and time in 1/10000 s.
constexpr qint64 kJulianDayOfEpoch = 2400001;

QDate decodeDate(qint32 days)
{
    return QDate::fromJulianDay(days + kJulianDayOfEpoch);
}

QTime decodeTime(quint32 tenThousandths)
{
    return QTime::fromMSecsSinceStartOfDay(int(tenThousandths / 10));
}

template <typename T> T load(const char *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

double scaled(qint64 v, short scale)
{
    double d = double(v);
    for (short s = scale; s < 0; ++s)
        d /= 10.0;
    return d;
}

constexpr short kOctets = 1; // character set id of binary CHAR columns

} // namespace

void RowSet::FreeBlock::operator()(char *p) const
{
    std::free(p);
}

RowSet::RowSet(QVector<Column> columns, int rowSize, TextEncoding encoding)
    : m_columns(std::move(columns)), m_rowSize(rowSize > 0 ? rowSize : 1), m_encoding(encoding)
{
    m_rowsPerBlock = qMax(1, kBlockBytes / m_rowSize);
}

int RowSet::indexOf(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].fieldName.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

char *RowSet::appendRow()
{
    const qsizetype block = m_count / m_rowsPerBlock;
    if (size_t(block) == m_blocks.size()) {
        const size_t bytes = (size_t(m_rowsPerBlock) * size_t(m_rowSize) + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
        auto *p = static_cast<char *>(std::aligned_alloc(kBlockBytes, bytes));
        if (!p)
            throw std::bad_alloc();
        if (!m_blocks.empty()) // small results keep to the memory they touch
            madvise(p, bytes, MADV_HUGEPAGE);
        m_blocks.emplace_back(p);
    }
    char *p = rowData(m_count);
    ++m_count;
    return p;
}

const char *RowSet::rowData(qsizetype row) const
{
    return m_blocks[size_t(row / m_rowsPerBlock)].get() + (row % m_rowsPerBlock) * m_rowSize;
}

char *RowSet::rowData(qsizetype row)
{
    return m_blocks[size_t(row / m_rowsPerBlock)].get() + (row % m_rowsPerBlock) * m_rowSize;
}

qint64 RowSet::addBlob(QByteArray bytes)
{
    m_blobs.push_back(std::move(bytes));
    return qint64(m_blobs.size() - 1);
}

qint64 RowSet::heldBytes() const
{
    qint64 n = qint64(m_blocks.size()) * m_rowsPerBlock * m_rowSize;
    for (const QByteArray &b : m_blobs)
        n += b.size();
    return n;
}

bool RowSet::isNull(qsizetype row, int col) const
{
    return load<short>(rowData(row) + m_columns[col].nullOffset) < 0;
}

QVariant RowSet::value(qsizetype row, int col) const
{
    if (row < 0 || row >= m_count || col < 0 || col >= m_columns.size())
        return QVariant();
    const Column &c = m_columns[col];
    const char *base = rowData(row);
    if (load<short>(base + c.nullOffset) < 0)
        return QVariant();
    const char *p = base + c.offset;
    auto decodeText = [this](const char *s, qsizetype n) {
        return m_encoding == TextEncoding::Latin1 ? QString::fromLatin1(s, n) : QString::fromUtf8(s, n);
    };
    switch (c.type) {
    case FieldType::SmallInt:
        return c.scale ? QVariant(scaled(load<qint16>(p), c.scale)) : QVariant(int(load<qint16>(p)));
    case FieldType::Integer:
        return c.scale ? QVariant(scaled(load<qint32>(p), c.scale)) : QVariant(load<qint32>(p));
    case FieldType::BigInt:
        return c.scale ? QVariant(scaled(load<qint64>(p), c.scale)) : QVariant(load<qint64>(p));
    case FieldType::Float:
        return double(load<float>(p));
    case FieldType::Double:
        return load<double>(p);
    case FieldType::Char: {
        qsizetype n = c.length;
        if (c.subType == kOctets)
            return QByteArray(p, n);
        // CHAR values come padded to their full width; the blanks are not data.
        while (n > 0 && p[n - 1] == ' ')
            --n;
        return decodeText(p, n);
    }
    case FieldType::VarChar: {
        const qsizetype n = load<quint16>(p);
        if (c.subType == kOctets)
            return QByteArray(p + 2, n);
        return decodeText(p + 2, n);
    }
    case FieldType::Timestamp:
        // Wall-clock values without a zone: kept as UTC so no local-time
        // rule can shift them or make a daylight-saving gap invalid.
        return QDateTime(decodeDate(load<qint32>(p)), decodeTime(load<quint32>(p + 4)), Qt::UTC);
    case FieldType::Date:
        return decodeDate(load<qint32>(p));
    case FieldType::Time:
        return decodeTime(load<quint32>(p));
    case FieldType::Boolean:
        return bool(*p);
    case FieldType::TextBlob: {
        const QByteArray &b = m_blobs[size_t(load<qint64>(p))];
        return decodeText(b.constData(), b.size());
    }
    case FieldType::Blob:
        return m_blobs[size_t(load<qint64>(p))];
    case FieldType::Array:
    case FieldType::Unknown:
        break;
    }
    return QVariant();
}

QString RowSet::text(qsizetype row, int col) const
{
    return valueText(value(row, col));
}

} // namespace engine
