#pragma once

#include "engine/DataSet.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace engine {

class Database;

// Writes single rows of a data set back to the one table they come from,
// through parameterised statements in the database's explicit transaction
// when there is one, else each committed at once.
//
// A row is named by the table's primary key. Without one it is named by all
// its values (BLOBs left out); every write then carries a RETURNING clause,
// which makes it a single-row statement for the server: when the values match
// more than one row the server refuses the whole statement and nothing
// changes, and a row that no longer matches is reported, not passed over.
class RowWriter {
public:
    RowWriter() = default;
    // columns: those of the data set's rows (their fieldName names the
    // table's column); key: primary key columns, empty to name rows by value.
    RowWriter(Database *db, QString table, QVector<Column> columns, QStringList key);

    bool hasKey() const { return !m_key.isEmpty(); }

    // Each returns the row as the server holds it afterwards (re-read by key,
    // so defaults and trigger-set values show).
    DataSet::HeldRow insert(const QVector<QVariant> &values, const QVector<bool> &assigned) const;
    DataSet::HeldRow update(const QVector<QVariant> &oldValues, const QVector<QVariant> &values,
                            const QVector<bool> &assigned) const;
    void remove(const QVector<QVariant> &oldValues) const;

    // The primary key columns of a table, in key order; empty without one.
    static QStringList primaryKey(Database &db, const QString &table);
    // Raises "Invalid <what>: '<name>'" for a name that cannot stand bare in
    // a statement at all: for the names the program itself sets (its own
    // tables and index fields), which the server folds to upper case.
    static void checkPlainName(const QString &name, const char *what);

private:
    struct Where {
        QString text;
        QVector<QPair<QString, QVariant>> params;
    };
    Where whereOf(const QVector<QVariant> &values) const;
    QString returningList() const;
    DataSet::HeldRow reread(const RowSetPtr &returned) const;

    Database *m_db = nullptr;
    QString m_table;
    QVector<Column> m_columns;
    QStringList m_key;
    QVector<int> m_keyColumns; // positions of the key columns among m_columns
};

} // namespace engine
