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
    int offset = 0;     // of the value inside the fetch message
    int nullOffset = 0; // of the null indicator inside the fetch message
};

// Every row of a result, held compactly and decoded only when a value is
// asked for, so a million rows stay cheap to hold and a grid reads any row in
// constant time. A stored row is its null bits, the numbers and dates in the
// server's binary form, then its texts at their actual length (CHAR without
// its padding blanks): a wide text column costs the bytes its values hold,
// not the width the server sends. BLOBs are read whole at fetch time (the
// result must outlive its transaction) and kept beside the rows.
class RowSet {
public:
    enum class TextEncoding { Utf8, Latin1 };

    RowSet() = default;
    RowSet(QVector<Column> columns, TextEncoding encoding);

    int columnCount() const { return int(m_columns.size()); }
    const Column &column(int i) const { return m_columns[i]; }
    const QVector<Column> &columns() const { return m_columns; }
    // Case-insensitive lookup by label, then by field name; -1 when absent.
    int indexOf(const QString &name) const;

    qsizetype rowCount() const { return qsizetype(m_rows.size()); }

    bool isNull(qsizetype row, int col) const;
    QVariant value(qsizetype row, int col) const;
    // Text of a value as a grid shows it: empty for NULL.
    QString text(qsizetype row, int col) const;
    // The stored bytes of a BLOB value; null for NULL or another type.
    const QByteArray *blobValue(qsizetype row, int col) const;

    // Filling, used by the statement that fetches: one row from the fetch
    // message laid out as the columns' offsets say, a BLOB column holding the
    // index addBlob gave (a qint64) in place of the BLOB's id.
    void appendMessage(const char *message);
    qint64 addBlob(QByteArray bytes);
    // Drops every row and BLOB; the first block is kept for the next rows,
    // so a row set refilled one row at a time holds no more than that row.
    void clearRows();
    TextEncoding encoding() const { return m_encoding; }
    // Bytes held for rows, their index and BLOB contents.
    qint64 heldBytes() const;

private:
    // Rows live in 2 MiB blocks, aligned so the kernel can back all but the
    // first with huge pages: a million-row result then costs a few hundred
    // page faults instead of tens of thousands.
    static constexpr size_t kBlockBytes = 2 << 20;
    struct FreeBlock {
        void operator()(char *p) const;
    };
    // Where a column's value lives in a stored row.
    struct Slot {
        bool text = false;
        bool trim = false; // CHAR: trailing blanks are padding
        int offset = 0;    // number: its value; text: where its end offset is kept
        int previous = -1; // text: where the previous text's end is kept; -1 for the first
        int size = 0;      // number: bytes of its value
    };

    char *allocate(size_t bytes);
    size_t textEnd(const char *row, int at) const;

    QVector<Column> m_columns;
    std::vector<Slot> m_slots;
    std::vector<int> m_numbers; // columns kept in binary form
    std::vector<int> m_texts;   // columns kept as text, in storage order
    int m_nullBytes = 0;
    int m_fixedBytes = 0;      // null bits, numbers and text ends
    bool m_wideEnds = false;   // text ends on 4 bytes (the texts may pass 64 KiB)
    TextEncoding m_encoding = TextEncoding::Utf8;
    std::vector<const char *> m_rows;
    std::vector<std::unique_ptr<char, FreeBlock>> m_blocks;
    size_t m_blockBytes = 0; // size of the last block
    size_t m_used = 0;       // bytes used of the last block
    qint64 m_heldRowBytes = 0;
    std::vector<QByteArray> m_blobs;
};

using RowSetPtr = std::shared_ptr<RowSet>;

} // namespace engine
