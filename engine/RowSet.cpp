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

namespace {

int numberSize(FieldType type)
{
    switch (type) {
    case FieldType::SmallInt:
        return 2;
    case FieldType::Integer:
    case FieldType::Float:
    case FieldType::Date:
    case FieldType::Time:
        return 4;
    case FieldType::Boolean:
        return 1;
    case FieldType::Char:
    case FieldType::VarChar:
        return 0;
    default: // BigInt, Double, Timestamp; BLOB and array indexes
        return 8;
    }
}

} // namespace

RowSet::RowSet(QVector<Column> columns, TextEncoding encoding)
    : m_columns(std::move(columns)), m_slots(size_t(m_columns.size())), m_encoding(encoding)
{
    m_nullBytes = int((m_columns.size() + 7) / 8);
    int offset = m_nullBytes;
    int textBytes = 0;
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns[i];
        Slot &s = m_slots[size_t(i)];
        s.size = numberSize(c.type);
        s.text = s.size == 0;
        if (s.text) {
            s.trim = c.type == FieldType::Char && c.subType != kOctets;
            m_texts.push_back(i);
            textBytes += c.length;
        } else {
            s.offset = offset;
            offset += s.size;
            m_numbers.push_back(i);
        }
    }
    m_wideEnds = textBytes > 0xFFFF;
    const int endBytes = m_wideEnds ? 4 : 2;
    int previous = -1;
    for (int i : m_texts) {
        Slot &s = m_slots[size_t(i)];
        s.offset = offset;
        s.previous = previous;
        previous = offset;
        offset += endBytes;
    }
    m_fixedBytes = offset;
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

char *RowSet::allocate(size_t bytes)
{
    if (m_blocks.empty() || m_used + bytes > m_blockBytes) {
        const size_t size = (bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
        auto *p = static_cast<char *>(std::aligned_alloc(kBlockBytes, size));
        if (!p)
            throw std::bad_alloc();
        if (!m_blocks.empty()) // small results keep to the memory they touch
            madvise(p, size, MADV_HUGEPAGE);
        m_blocks.emplace_back(p);
        m_blockBytes = size;
        m_used = 0;
        m_heldRowBytes += qint64(size);
    }
    char *p = m_blocks.back().get() + m_used;
    m_used += bytes;
    return p;
}

void RowSet::appendMessage(const char *message)
{
    // Text lengths first, so the row takes one piece of its block.
    size_t lengths[64];
    std::vector<size_t> many;
    size_t *length = lengths;
    if (m_texts.size() > 64) {
        many.resize(m_texts.size());
        length = many.data();
    }
    size_t bytes = size_t(m_fixedBytes);
    for (size_t k = 0; k < m_texts.size(); ++k) {
        const Column &c = m_columns[m_texts[k]];
        size_t n = 0;
        if (load<short>(message + c.nullOffset) >= 0) {
            const char *p = message + c.offset;
            if (c.type == FieldType::VarChar) {
                n = load<quint16>(p);
            } else {
                n = size_t(c.length);
                if (m_slots[size_t(m_texts[k])].trim)
                    while (n > 0 && p[n - 1] == ' ')
                        --n;
            }
        }
        length[k] = n;
        bytes += n;
    }

    char *row = allocate(bytes);
    std::memset(row, 0, size_t(m_nullBytes));
    for (int i = 0; i < m_columns.size(); ++i)
        if (load<short>(message + m_columns[i].nullOffset) < 0)
            row[i / 8] = char(row[i / 8] | (1 << (i % 8)));
    for (int i : m_numbers) {
        const Slot &s = m_slots[size_t(i)];
        std::memcpy(row + s.offset, message + m_columns[i].offset, size_t(s.size));
    }
    size_t end = 0;
    char *text = row + m_fixedBytes;
    for (size_t k = 0; k < m_texts.size(); ++k) {
        const Column &c = m_columns[m_texts[k]];
        const char *p = message + c.offset + (c.type == FieldType::VarChar ? 2 : 0);
        std::memcpy(text + end, p, length[k]);
        end += length[k];
        const int at = m_slots[size_t(m_texts[k])].offset;
        if (m_wideEnds) {
            const quint32 e = quint32(end);
            std::memcpy(row + at, &e, sizeof e);
        } else {
            const quint16 e = quint16(end);
            std::memcpy(row + at, &e, sizeof e);
        }
    }
    m_rows.push_back(row);
}

qint64 RowSet::addBlob(QByteArray bytes)
{
    m_blobs.push_back(std::move(bytes));
    return qint64(m_blobs.size() - 1);
}

void RowSet::clearRows()
{
    m_rows.clear();
    m_blobs.clear();
    if (m_blocks.size() > 1) {
        m_blocks.clear();
        m_blockBytes = 0;
        m_heldRowBytes = 0;
    }
    m_used = 0;
}

qint64 RowSet::heldBytes() const
{
    qint64 n = m_heldRowBytes + qint64(m_rows.capacity() * sizeof(const char *));
    for (const QByteArray &b : m_blobs)
        n += b.size();
    return n;
}

size_t RowSet::textEnd(const char *row, int at) const
{
    if (at < 0)
        return 0;
    return m_wideEnds ? size_t(load<quint32>(row + at)) : size_t(load<quint16>(row + at));
}

bool RowSet::isNull(qsizetype row, int col) const
{
    return (m_rows[size_t(row)][col / 8] >> (col % 8)) & 1;
}

const QByteArray *RowSet::blobValue(qsizetype row, int col) const
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= m_columns.size())
        return nullptr;
    const FieldType t = m_columns[col].type;
    if ((t != FieldType::TextBlob && t != FieldType::Blob) || isNull(row, col))
        return nullptr;
    return &m_blobs[size_t(load<qint64>(m_rows[size_t(row)] + m_slots[size_t(col)].offset))];
}

QVariant RowSet::value(qsizetype row, int col) const
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= m_columns.size())
        return QVariant();
    const char *base = m_rows[size_t(row)];
    if ((base[col / 8] >> (col % 8)) & 1)
        return QVariant();
    const Column &c = m_columns[col];
    const Slot &s = m_slots[size_t(col)];
    if (s.text) {
        const size_t from = textEnd(base, s.previous);
        const char *p = base + m_fixedBytes + from;
        const qsizetype n = qsizetype(textEnd(base, s.offset) - from);
        if (c.subType == kOctets)
            return QByteArray(p, n);
        return m_encoding == TextEncoding::Latin1 ? QString::fromLatin1(p, n) : QString::fromUtf8(p, n);
    }
    const char *p = base + s.offset;
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
        return m_encoding == TextEncoding::Latin1 ? QString::fromLatin1(b) : QString::fromUtf8(b);
    }
    case FieldType::Blob:
        return m_blobs[size_t(load<qint64>(p))];
    default: // arrays are not read: they show as NULL
        break;
    }
    return QVariant();
}

QString RowSet::text(qsizetype row, int col) const
{
    // NUMERIC and DECIMAL show their declared digits.
    return valueText(value(row, col), -m_columns[col].scale);
}

} // namespace engine
