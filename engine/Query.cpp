#include "engine/Query.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/RowWriter.h"
#include "engine/SqlText.h"

namespace engine {

Query::Query(Database *db, QObject *parent) : DataSet(parent), m_statement(db) {}

Query::~Query() = default;

void Query::setDatabase(Database *db)
{
    checkInactive("the database");
    m_statement.setDatabase(db);
}

void Query::setParam(const QString &name, const QVariant &value)
{
    m_explicit.insert(name.toUpper());
    m_statement.setParam(name, value);
}

void Query::clearParams()
{
    m_explicit.clear();
    m_statement.clearParams();
}

bool Query::isExplicit(const QString &name) const
{
    return m_explicit.contains(name.toUpper());
}

QStringList Query::masterLinkFields() const
{
    QStringList out;
    if (!masterSource())
        return out;
    for (const QString &p : m_statement.paramNames())
        if (!isExplicit(p) && masterHasField(p))
            out << p;
    return out;
}

RowSetPtr Query::fetchRows()
{
    if (m_adopted) {
        RowSetPtr rows = std::move(m_adopted);
        m_adopted.reset();
        m_updateTable.clear();
        m_primaryKey.clear();
        return rows;
    }
    if (masterSource()) {
        const bool hasRow = masterHasRow();
        for (const QString &p : m_statement.paramNames()) {
            if (isExplicit(p))
                continue;
            // A master without a current row links nothing: every linked
            // parameter is NULL and the detail comes out empty. A parameter
            // the master has no field for keeps its own value (none: the
            // statement reports it missing).
            if (!hasRow)
                m_statement.setParam(p, QVariant());
            else if (masterHasField(p))
                m_statement.setParam(p, masterValue(p));
        }
    }
    m_statement.open();
    findUpdateTable();
    return m_statement.rowSet();
}

void Query::releaseRows()
{
    m_statement.close();
    m_updateTable.clear();
    m_primaryKey.clear();
}

void Query::execSql()
{
    if (isActive())
        close();
    m_statement.execute();
    m_statement.close();
}

void Query::setRequestLive(bool live)
{
    checkInactive("the live setting");
    m_live = live;
}

void Query::findUpdateTable()
{
    m_updateTable.clear();
    m_primaryKey.clear();
    m_notLiveReason.clear();
    if (!m_live)
        return;
    const RowSet &rows = m_statement.rows();
    QString table;
    QStringList seen;
    for (const Column &c : rows.columns()) {
        if (seen.contains(c.fieldName, Qt::CaseInsensitive)) {
            m_notLiveReason = QStringLiteral("column %1 appears twice").arg(c.fieldName);
            return;
        }
        seen << c.fieldName;
        if (c.relation.isEmpty() || c.fieldName.isEmpty()) {
            m_notLiveReason = QStringLiteral("column %1 is not a table column").arg(c.name);
            return;
        }
        if (table.isEmpty())
            table = c.relation;
        else if (table.compare(c.relation, Qt::CaseInsensitive) != 0) {
            m_notLiveReason = QStringLiteral("its columns come from more than one table");
            return;
        }
        if (!isPlainIdentifier(c.fieldName)) {
            m_notLiveReason = QStringLiteral("column %1 cannot be named in a statement").arg(c.fieldName);
            return;
        }
    }
    if (table.isEmpty() || !isPlainIdentifier(table)) {
        m_notLiveReason = QStringLiteral("it reads no single table");
        return;
    }
    m_updateTable = table;
    m_primaryKey = RowWriter::primaryKey(*m_statement.database(), table);
}

bool Query::canModify() const
{
    return isActive() && !m_updateTable.isEmpty();
}

QString Query::readOnlyReason() const
{
    if (m_live && !m_notLiveReason.isEmpty())
        return QStringLiteral("The query cannot be edited: %1").arg(m_notLiveReason);
    return DataSet::readOnlyReason();
}

DataSet::HeldRow Query::writeInsert(const QVector<QVariant> &values, const QVector<bool> &assigned)
{
    return RowWriter(m_statement.database(), m_updateTable, columns(), m_primaryKey).insert(values, assigned);
}

DataSet::HeldRow Query::writeUpdate(const QVector<QVariant> &oldValues, const QVector<QVariant> &values,
                                    const QVector<bool> &assigned)
{
    return RowWriter(m_statement.database(), m_updateTable, columns(), m_primaryKey)
        .update(oldValues, values, assigned);
}

void Query::writeDelete(const QVector<QVariant> &oldValues)
{
    RowWriter(m_statement.database(), m_updateTable, columns(), m_primaryKey).remove(oldValues);
}

} // namespace engine
