#include "engine/Table.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/RowWriter.h"
#include "engine/SqlText.h"

namespace engine {

Table::Table(Database *db, QObject *parent) : DataSet(parent), m_statement(db) {}

Table::~Table() = default;

void Table::setDatabase(Database *db)
{
    checkInactive("the database");
    m_statement.setDatabase(db);
}

void Table::setTableName(const QString &name)
{
    checkInactive("the table name");
    m_table = name.trimmed();
}

void Table::setIndexFieldNames(const QString &names)
{
    checkInactive("the index fields");
    m_index = names;
}

void Table::setMasterFields(const QString &names)
{
    checkInactive("the master fields");
    m_masterFields = names;
}

void Table::setKeyRange(const QStringList &fields, const QVariantList &values)
{
    checkInactive("the key range");
    if (fields.size() != values.size())
        throw Error(QStringLiteral("Table %1: %2 key fields, %3 values").arg(m_table).arg(fields.size()).arg(values.size()));
    m_rangeFields = fields;
    m_rangeValues = values;
}

QStringList Table::split(const QString &names)
{
    QStringList out;
    for (const QString &n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty())
            out << n.trimmed();
    return out;
}

QStringList Table::masterLinkFields() const
{
    return masterSource() ? split(m_masterFields) : QStringList();
}

RowSetPtr Table::fetchRows()
{
    Database *db = m_statement.database();
    if (!db)
        throw Error(QStringLiteral("Table %1 has no database").arg(m_table));
    RowWriter::checkPlainName(m_table, "table name");
    const QStringList index = split(m_index);
    for (const QString &f : index)
        RowWriter::checkPlainName(f, "index field name");
    m_primaryKey = RowWriter::primaryKey(*db, m_table);

    QStringList sql{QStringLiteral("select * from ") + m_table};
    m_statement.clearParams();
    const QStringList master = masterLinkFields();
    QStringList conditions;
    for (int i = 0; i < m_rangeFields.size(); ++i) {
        // Key fields are the catalogue's primary-key columns.
        requirePlainIdentifier(m_rangeFields[i]);
        const QString p = QStringLiteral("K%1").arg(i);
        conditions << m_rangeFields[i] + QStringLiteral(" = :") + p;
        m_statement.setParam(p, m_rangeValues[i]);
    }
    if (!master.isEmpty()) {
        for (int i = 0; i < master.size(); ++i) {
            const QString detail = i < index.size() ? index[i] : master[i];
            RowWriter::checkPlainName(detail, "detail field name");
            const QString p = QStringLiteral("M%1").arg(i);
            conditions << detail + QStringLiteral(" = :") + p;
            // A closed or empty master gives NULL: no detail rows.
            m_statement.setParam(p, masterValue(master[i]));
        }
    }
    if (!conditions.isEmpty())
        sql << QStringLiteral("where ") + conditions.join(QStringLiteral(" and "));
    if (!index.isEmpty())
        sql << QStringLiteral("order by ") + index.join(QStringLiteral(", "));
    m_statement.setSql(sql);
    m_statement.open();
    return m_statement.rowSet();
}

// Index fields need not be unique, so without a primary key a row is named
// by all its values.
QStringList Table::keyFieldNames() const
{
    return m_primaryKey;
}

DataSet::HeldRow Table::writeInsert(const QVector<QVariant> &values, const QVector<bool> &assigned)
{
    return RowWriter(m_statement.database(), m_table, columns(), m_primaryKey).insert(values, assigned);
}

DataSet::HeldRow Table::writeUpdate(const QVector<QVariant> &oldValues, const QVector<QVariant> &values,
                                    const QVector<bool> &assigned)
{
    return RowWriter(m_statement.database(), m_table, columns(), m_primaryKey).update(oldValues, values, assigned);
}

void Table::writeDelete(const QVector<QVariant> &oldValues)
{
    RowWriter(m_statement.database(), m_table, columns(), m_primaryKey).remove(oldValues);
}

} // namespace engine
