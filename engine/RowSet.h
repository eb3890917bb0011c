#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>
#include <vector>

namespace engine {

enum class FieldType {
    Unknown,
    SmallInt,
    Integer,
    BigInt,
    Float,
    Double,
    Char,
    VarChar,
    Timestamp,
    Date,
    Time,
    Boolean,
    TextBlob,
    Blob,
    Array,
};

// One column of a result as the server described it.
struct Column {
    QString name;      // the column's label (alias) in the result
    QString fieldName; // the underlying column name, where there is one
    QString relation;  // the table or view it comes from, where there is one
    FieldType type = FieldType::Unknown;
    short sqlType = 0;  // the client API's type code, nullable bit cleared
    short subType = 0;  // BLOB sub-type, or the character set of CHAR/VARCHAR
    short scale = 0;    // negative for NUMERIC/DECIMAL held as integers
    short length = 0;   // bytes on the wire
    bool nullable = true;
    int offset = 0;     // of the value inside a stored row
    int nullOffset = 0; // of the null indicator inside a stored row
};

// Every row of a result, held in the server's own binary layout: a row costs
// what the server sent and is decoded only when a value is asked for, so a
// million rows stay cheap to hold and a grid reads any row in constant time.
// BLOBs are read whole at fetch time (the result must outlive its transaction)
// and kept beside the rows.
class RowSet {
public:
    enum class TextEncoding { Utf8, Latin1 };

    RowSet() = default;
    RowSet(QVector<Column> columns, int rowSize, TextEncoding encoding);

    int columnCount() const { return int(m_columns.size()); }
    const Column &column(int i) const { return m_columns[i]; }
    const QVector<Column> &columns() const { return m_columns; }
    // Case-insensitive lookup by label, then by field name; -1 when absent.
    int indexOf(const QString &name) const;

    qsizetype rowCount() const { return m_count; }
    int rowSize() const { return m_rowSize; }

    bool isNull(qsizetype row, int col) const;
    QVariant value(qsizetype row, int col) const;
    // Text of a value as a grid shows it: empty for NULL.
    QString text(qsizetype row, int col) const;

    // Filling, used by the statement that fetches.
    char *appendRow();
    const char *rowData(qsizetype row) const;
    char *rowData(qsizetype row);
    qint64 addBlob(QByteArray bytes);
    const QByteArray &blob(qint64 index) const { return m_blobs[size_t(index)]; }
    // Bytes held for rows and BLOB contents (the raw size of the result).
    qint64 heldBytes() const;

private:
    // Rows live in 2 MiB blocks, aligned so the kernel can back all but the
    // first with huge pages: a million-row result then costs a few hundred
    // page faults instead of tens of thousands.
    static constexpr int kBlockBytes = 2 << 20;
    struct FreeBlock {
        void operator()(char *p) const;
    };

    QVector<Column> m_columns;
    int m_rowSize = 0;
    int m_rowsPerBlock = 1;
    qsizetype m_count = 0;
    TextEncoding m_encoding = TextEncoding::Utf8;
    std::vector<std::unique_ptr<char, FreeBlock>> m_blocks;
    std::vector<QByteArray> m_blobs;
};

using RowSetPtr = std::shared_ptr<RowSet>;

} // namespace engine
