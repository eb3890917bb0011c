#pragma once

// Internal to the engine: the rows of a result as the client library
// describes and sends them, stored as a RowSet holds them. Every statement
// that fetches (the whole-result Statement, the scrolling cursor) lays its
// rows out through here.

#include "engine/RowSet.h"

#include <ibase.h>
#include <vector>

namespace engine {

class Database;

class RowFetch {
public:
    // Points da's variables into the row buffer (null indicators always
    // asked for) and returns an empty RowSet of its columns. Each call
    // starts afresh: one fetcher may describe one result after another.
    RowSetPtr describe(XSQLDA *da, bool latin1);
    // Appends the row last fetched into the buffer; its BLOBs are read
    // whole in tr (arrays are not read and show as NULL).
    void store(RowSet &rows, Database &db, unsigned int *tr);

private:
    std::vector<char> m_row;
    QVector<Column> m_cols;
    QVector<int> m_blobColumns;
};

// A BLOB's bytes, read to its end.
QByteArray readBlob(Database &db, unsigned int *tr, const ISC_QUAD &id);

} // namespace engine
