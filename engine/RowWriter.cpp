#include "engine/RowWriter.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"

#include <ibase.h>
#include <iberror.h>


namespace engine {

namespace {

bool comparable(const Column &c)
{
    return c.type != FieldType::TextBlob && c.type != FieldType::Blob && c.type != FieldType::Array
           && c.type != FieldType::Unknown;
}

// Runs a write; a statement that matched several rows becomes our own error.
RowSetPtr run(Statement &st, const QString &verb, const QString &table)
{
    try {
        st.execute();
    } catch (const Error &e) {
        if (e.hasStatusCode(isc_sing_select_err))
            throw Error(QStringLiteral("Cannot %1 the row: table %2 has no primary key and more than one row "
                                       "holds the same values, so nothing was changed")
                            .arg(verb, table),
                        ErrorCategory::General, e.sqlCode(), e.statusCodes());
        throw;
    }
    return st.rowSet();
}

void checkTouched(const RowSetPtr &returned, const QString &verb, const QString &table)
{
    // The first returned column is the constant 1; the server gives NULLs when
    // no row matched.
    if (!returned || returned->rowCount() != 1 || returned->isNull(0, 0))
        throw Error(QStringLiteral("Cannot %1 the row: it is no longer in table %2 as it was read "
                                   "(another user may have changed or deleted it)")
                        .arg(verb, table));
}

} // namespace

RowWriter::RowWriter(Database *db, QString table, QVector<Column> columns, QStringList key)
    : m_db(db), m_table(std::move(table)), m_columns(std::move(columns))
{
    // Column names come from the catalogue: one made quoted in a dialect-3
    // database would write its twin.
    for (const Column &c : m_columns)
        requirePlainIdentifier(c.fieldName);
    // The key is usable only when the rows carry every key column.
    for (const QString &k : key) {
        int found = -1;
        for (int i = 0; i < m_columns.size(); ++i)
            if (m_columns[i].fieldName.compare(k, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0) {
            m_keyColumns.clear();
            break;
        }
        m_keyColumns << found;
    }
    if (!m_keyColumns.isEmpty())
        m_key = key;
}

void RowWriter::checkPlainName(const QString &name, const char *what)
{
    if (!isIdentifier(name))
        throw Error(QStringLiteral("Invalid %1: '%2'").arg(QLatin1String(what), name));
}

QStringList RowWriter::primaryKey(Database &db, const QString &table)
{
    Statement st(&db);
    st.setSql(QStringList{
        QStringLiteral("select s.rdb$field_name from rdb$relation_constraints c, rdb$index_segments s"),
        QStringLiteral("where s.rdb$index_name = c.rdb$index_name and c.rdb$relation_name = :REL"),
        QStringLiteral("and c.rdb$constraint_type = 'PRIMARY KEY' order by s.rdb$field_position")});
    st.setParam(QStringLiteral("REL"), table.toUpper());
    st.open();
    QStringList out;
    for (qsizetype r = 0; r < st.rows().rowCount(); ++r)
        out << st.rows().value(r, 0).toString().trimmed();
    return out;
}

RowWriter::Where RowWriter::whereOf(const QVector<QVariant> &values) const
{
    Where w;
    QStringList parts;
    auto add = [&](int col) {
        const Column &c = m_columns[col];
        if (values[col].isNull()) {
            parts << c.fieldName + QStringLiteral(" is null");
            return;
        }
        const QString p = QStringLiteral("K%1").arg(w.params.size());
        parts << c.fieldName + QStringLiteral(" = :") + p;
        w.params.append({p, values[col]});
    };
    if (hasKey()) {
        for (int col : m_keyColumns)
            add(col);
    } else {
        for (int col = 0; col < m_columns.size(); ++col)
            if (comparable(m_columns[col]))
                add(col);
        if (parts.isEmpty())
            throw Error(QStringLiteral("Table %1 has no primary key and no column that can tell its rows apart")
                            .arg(m_table));
    }
    w.text = QStringLiteral("where ") + parts.join(QStringLiteral(" and "));
    return w;
}

QString RowWriter::returningList() const
{
    QStringList names{QStringLiteral("1")};
    for (const Column &c : m_columns)
        names << c.fieldName;
    return QStringLiteral("returning ") + names.join(QStringLiteral(", "));
}

DataSet::HeldRow RowWriter::reread(const RowSetPtr &returned) const
{
    DataSet::HeldRow fallback{returned, 0, 1};
    if (!hasKey())
        return fallback;
    QStringList cols;
    for (const Column &c : m_columns)
        cols << c.fieldName;
    QVector<QVariant> keyValues(m_columns.size());
    for (int col : m_keyColumns)
        keyValues[col] = returned->value(0, col + 1);
    const Where w = whereOf(keyValues);
    Statement st(m_db);
    st.setSql(QStringList{QStringLiteral("select ") + cols.join(QStringLiteral(", ")), QStringLiteral("from ") + m_table,
                          w.text});
    for (const auto &p : w.params)
        st.setParam(p.first, p.second);
    st.open();
    if (st.rows().rowCount() != 1)
        return fallback; // an after-trigger moved it out of reach: show what was written
    return {st.rowSet(), 0, 0};
}

DataSet::HeldRow RowWriter::insert(const QVector<QVariant> &values, const QVector<bool> &assigned) const
{
    QStringList names, params;
    Statement st(m_db);
    for (int col = 0; col < m_columns.size(); ++col) {
        // Columns never given a value are left out, so the server's defaults apply.
        if (!assigned.value(col))
            continue;
        const QString p = QStringLiteral("V%1").arg(params.size());
        names << m_columns[col].fieldName;
        params << QStringLiteral(":") + p;
        st.setParam(p, values[col]);
    }
    QStringList sql;
    if (names.isEmpty()) {
        sql << QStringLiteral("insert into %1 default values").arg(m_table);
    } else {
        sql << QStringLiteral("insert into %1 (%2)").arg(m_table, names.join(QStringLiteral(", ")))
            << QStringLiteral("values (%1)").arg(params.join(QStringLiteral(", ")));
    }
    sql << returningList();
    st.setSql(sql);
    const RowSetPtr returned = run(st, QStringLiteral("insert"), m_table);
    checkTouched(returned, QStringLiteral("insert"), m_table);
    return reread(returned);
}

DataSet::HeldRow RowWriter::update(const QVector<QVariant> &oldValues, const QVector<QVariant> &values,
                                   const QVector<bool> &assigned) const
{
    Statement st(m_db);
    QStringList sets;
    for (int col = 0; col < m_columns.size(); ++col) {
        if (!assigned.value(col))
            continue;
        const QString p = QStringLiteral("V%1").arg(sets.size());
        sets << m_columns[col].fieldName + QStringLiteral(" = :") + p;
        st.setParam(p, values[col]);
    }
    const Where w = whereOf(oldValues);
    for (const auto &p : w.params)
        st.setParam(p.first, p.second);
    st.setSql(QStringList{QStringLiteral("update %1 set %2").arg(m_table, sets.join(QStringLiteral(", "))), w.text,
                          returningList()});
    const RowSetPtr returned = run(st, QStringLiteral("update"), m_table);
    checkTouched(returned, QStringLiteral("update"), m_table);
    return reread(returned);
}

void RowWriter::remove(const QVector<QVariant> &oldValues) const
{
    Statement st(m_db);
    const Where w = whereOf(oldValues);
    for (const auto &p : w.params)
        st.setParam(p.first, p.second);
    st.setSql(QStringList{QStringLiteral("delete from %1").arg(m_table), w.text, QStringLiteral("returning 1")});
    checkTouched(run(st, QStringLiteral("delete"), m_table), QStringLiteral("delete"), m_table);
}

} // namespace engine
