#pragma once

#include "engine/RowSet.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace engine {

class Database;

// An SQL statement held as lines, with `:name` parameters. open() runs a
// select and fetches every row at once, then frees the server statement, so
// a later commit loses nothing and a DROP is never blocked by an open cursor.
class Statement {
public:
    explicit Statement(Database *db = nullptr);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Database *database() const { return m_db; }
    void setDatabase(Database *db) { m_db = db; }

    // The text as lines, joined with LF when sent (line n of the text is line
    // n of the server's error positions).
    QStringList &sql() { return m_sql; }
    const QStringList &sql() const { return m_sql; }
    void setSql(const QString &text);
    void setSql(const QStringList &lines) { m_sql = lines; }
    QString text() const { return m_sql.join(QLatin1Char('\n')); }

    // Off: the text is sent exactly as it stands (procedure bodies, DDL).
    void setParamCheck(bool on) { m_paramCheck = on; }
    bool paramCheck() const { return m_paramCheck; }

    // Distinct parameter names of the current text, in order of appearance.
    QStringList paramNames() const;
    // Names compare without case, as the programs write them either way.
    void setParam(const QString &name, const QVariant &value);
    QVariant param(const QString &name) const;
    bool hasParamValue(const QString &name) const;
    void clearParams() { m_values.clear(); }

    // Runs a statement that returns rows and keeps all of them.
    void open();
    // Runs any statement. Rows it returns (an EXECUTE PROCEDURE's outputs, a
    // select) are kept as by open().
    void execute();
    // Prepares the text in the connection's current transaction without
    // running it and tells whether the server reports a cursor statement
    // (a select, WITH ... SELECT, an EXECUTE BLOCK that returns rows): what
    // the text returns, whatever keyword it starts with. An EXECUTE
    // PROCEDURE's output values are no cursor. A blank text raises before
    // anything is sent; a text the server refuses raises its error.
    bool prepareIsQuery();
    // Drops the rows.
    void close();
    bool isOpen() const { return m_open; }

    const RowSet &rows() const { return *m_rows; }
    RowSetPtr rowSet() const { return m_rows; }
    // Rows changed by the last INSERT, UPDATE or DELETE.
    qint64 rowsAffected() const { return m_affected; }

private:
    void run(bool mustReturnRows);

    Database *m_db;
    QStringList m_sql;
    bool m_paramCheck = true;
    QVector<QPair<QString, QVariant>> m_values;
    RowSetPtr m_rows;
    bool m_open = false;
    qint64 m_affected = -1;
};

} // namespace engine
