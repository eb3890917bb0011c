#pragma once

#include "engine/DataSet.h"
#include "engine/Statement.h"

#include <QString>
#include <QStringList>

namespace engine {

class Database;

// An editable data set over one table: every column, ordered by the index
// field names when given ("DT", "GFNAME;TVNAME"). Rows are written back by
// primary key (see RowWriter). A master link by field names shows the rows
// whose leading index fields equal the master's fields of the current row.
class Table : public DataSet {
    Q_OBJECT
public:
    explicit Table(Database *db = nullptr, QObject *parent = nullptr);
    ~Table() override;

    Database *database() const override { return m_statement.database(); }
    void setDatabase(Database *db);

    void setTableName(const QString &name);
    const QString &tableName() const { return m_table; }
    // Field names joined by ';'.
    void setIndexFieldNames(const QString &names);
    const QString &indexFieldNames() const { return m_index; }
    // The master's fields (joined by ';') matched against the leading index
    // fields, or against the same names when there are fewer index fields.
    void setMasterFields(const QString &names);
    const QString &masterFields() const { return m_masterFields; }
    // Only the rows whose fields equal the values (one value per field),
    // read by a where clause rather than fetched whole: one row of a table
    // of any size. Empty fields: every row.
    void setKeyRange(const QStringList &fields, const QVariantList &values);

    // Read when the table opens.
    const QStringList &primaryKey() const { return m_primaryKey; }

    bool canModify() const override { return isActive(); }

protected:
    RowSetPtr fetchRows() override;
    void releaseRows() override { m_statement.close(); }
    QStringList keyFieldNames() const override;
    QStringList masterLinkFields() const override;
    HeldRow writeInsert(const QVector<QVariant> &values, const QVector<bool> &assigned) override;
    HeldRow writeUpdate(const QVector<QVariant> &oldValues, const QVector<QVariant> &values,
                        const QVector<bool> &assigned) override;
    void writeDelete(const QVector<QVariant> &oldValues) override;

private:
    static QStringList split(const QString &names);

    Statement m_statement;
    QString m_table;
    QString m_index;
    QString m_masterFields;
    QStringList m_rangeFields;
    QVariantList m_rangeValues;
    QStringList m_primaryKey;
};

} // namespace engine
