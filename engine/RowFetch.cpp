#include "engine/RowFetch.h"

#include "engine/Database.h"
#include "engine/FbStatus.h"

#include <cstring>

namespace engine {

namespace {

int alignTo(int offset, int align)
{
    return (offset + align - 1) / align * align;
}

// Bytes a value of this variable takes in a row, and its type in our terms.
int valueSize(const XSQLVAR &v, FieldType *type)
{
    switch (v.sqltype & ~1) {
    case SQL_TEXT:
        *type = FieldType::Char;
        return v.sqllen;
    case SQL_VARYING:
        *type = FieldType::VarChar;
        return v.sqllen + 2;
    case SQL_SHORT:
        *type = FieldType::SmallInt;
        return 2;
    case SQL_LONG:
        *type = FieldType::Integer;
        return 4;
    case SQL_INT64:
        *type = FieldType::BigInt;
        return 8;
    case SQL_FLOAT:
        *type = FieldType::Float;
        return 4;
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        *type = FieldType::Double;
        return 8;
    case SQL_TIMESTAMP:
        *type = FieldType::Timestamp;
        return 8;
    case SQL_TYPE_DATE:
        *type = FieldType::Date;
        return 4;
    case SQL_TYPE_TIME:
        *type = FieldType::Time;
        return 4;
    case SQL_BOOLEAN:
        *type = FieldType::Boolean;
        return 1;
    case SQL_BLOB:
        *type = v.sqlsubtype == 1 ? FieldType::TextBlob : FieldType::Blob;
        return 8;
    case SQL_ARRAY:
    case SQL_QUAD:
        *type = FieldType::Array;
        return 8;
    default:
        *type = FieldType::Unknown;
        return v.sqllen;
    }
}

QString nameOf(const char *s, short len)
{
    return QString::fromUtf8(s, len).trimmed();
}

} // namespace

RowSetPtr RowFetch::describe(XSQLDA *da, bool latin1)
{
    // A fetcher serves one statement after another: nothing of the last
    // description may reach this one.
    QVector<Column> cols;
    QVector<int> blobColumns;
    int offset = 0;
    for (int i = 0; i < da->sqld; ++i) {
        XSQLVAR &v = da->sqlvar[i];
        Column c;
        const int size = valueSize(v, &c.type);
        c.sqlType = short(v.sqltype & ~1);
        c.subType = v.sqlsubtype;
        c.scale = v.sqlscale;
        c.length = v.sqllen;
        c.nullable = v.sqltype & 1;
        c.name = nameOf(v.aliasname, v.aliasname_length);
        c.fieldName = nameOf(v.sqlname, v.sqlname_length);
        c.relation = nameOf(v.relname, v.relname_length);
        if (c.name.isEmpty())
            c.name = c.fieldName;
        offset = alignTo(offset, size >= 8 ? 8 : (size >= 4 ? 4 : 2));
        c.offset = offset;
        offset += size;
        offset = alignTo(offset, 2);
        c.nullOffset = offset;
        offset += 2;
        if (c.type == FieldType::TextBlob || c.type == FieldType::Blob || c.type == FieldType::Array)
            blobColumns << i;
        cols << c;
    }
    const int rowSize = alignTo(offset, 8);
    m_row.assign(size_t(rowSize), 0);
    for (int i = 0; i < da->sqld; ++i) {
        XSQLVAR &v = da->sqlvar[i];
        v.sqltype |= 1; // always ask for the null indicator
        v.sqldata = m_row.data() + cols[i].offset;
        v.sqlind = reinterpret_cast<short *>(m_row.data() + cols[i].nullOffset);
    }
    m_cols = cols;
    m_blobColumns = blobColumns;
    return std::make_shared<RowSet>(cols, latin1 ? RowSet::TextEncoding::Latin1 : RowSet::TextEncoding::Utf8);
}

void RowFetch::store(RowSet &rows, Database &db, unsigned int *tr)
{
    // A BLOB's id in the message is replaced by the index of its bytes; the
    // row set then keeps the message in its compact form.
    char *msg = m_row.data();
    for (int i : std::as_const(m_blobColumns)) { // no detach per row
        const Column &c = m_cols[i];
        short ind;
        std::memcpy(&ind, msg + c.nullOffset, sizeof ind);
        if (ind < 0)
            continue;
        if (c.type == FieldType::Array) {
            // Arrays are not read; the value shows as NULL.
            ind = -1;
            std::memcpy(msg + c.nullOffset, &ind, sizeof ind);
            continue;
        }
        ISC_QUAD id;
        std::memcpy(&id, msg + c.offset, sizeof id);
        const qint64 index = rows.addBlob(readBlob(db, tr, id));
        std::memcpy(msg + c.offset, &index, sizeof index);
    }
    rows.appendMessage(msg);
}

QByteArray readBlob(Database &db, unsigned int *tr, const ISC_QUAD &quad)
{
    ISC_STATUS_ARRAY st;
    isc_blob_handle bh = 0;
    ISC_QUAD id = quad;
    isc_open_blob2(st, db.handle(), tr, &bh, &id, 0, nullptr);
    fb::check(st);
    QByteArray out;
    char chunk[32768];
    for (;;) {
        unsigned short got = 0;
        const ISC_STATUS rc = isc_get_segment(st, &bh, &got, sizeof chunk, chunk);
        if (rc == isc_segstr_eof)
            break;
        if (rc != 0 && rc != isc_segment) {
            Error e = fb::toError(st);
            isc_close_blob(st, &bh);
            throw e;
        }
        out.append(chunk, got);
    }
    isc_close_blob(st, &bh);
    return out;
}

} // namespace engine
