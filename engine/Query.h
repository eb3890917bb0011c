#pragma once

#include "engine/DataSet.h"
#include "engine/Statement.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace engine {

class Database;

// A data set over an SQL statement. The text is a list of lines the caller
// may edit between close() and open() (a sort order is changed by replacing
// its "order by" line). With a master source, every parameter the caller has
// not set takes the value of the master's current-row field of the same name
// (NULL while the master is closed or empty), and the query reopens when the
// master's current row changes.
//
// A live query (setRequestLive) is editable like a table when all its columns
// come from one table; rows are written back by that table's primary key.
class Query : public DataSet {
    Q_OBJECT
public:
    explicit Query(Database *db = nullptr, QObject *parent = nullptr);
    ~Query() override;

    Database *database() const override { return m_statement.database(); }
    void setDatabase(Database *db);

    QStringList &sql() { return m_statement.sql(); }
    const QStringList &sql() const { return m_statement.sql(); }
    void setSql(const QString &text) { m_statement.setSql(text); }
    void setSql(const QStringList &lines) { m_statement.setSql(lines); }
    void setParamCheck(bool on) { m_statement.setParamCheck(on); }
    QStringList paramNames() const { return m_statement.paramNames(); }
    // A value set here wins over the master's field of the same name.
    void setParam(const QString &name, const QVariant &value);
    QVariant param(const QString &name) const { return m_statement.param(name); }
    void clearParams();

    // Runs a statement that returns no rows (the data set stays closed).
    void execSql();
    // Prepares the text without running it: true when it returns a result
    // set (see Statement::prepareIsQuery).
    bool prepare() { return m_statement.prepareIsQuery(); }
    qint64 rowsAffected() const { return m_statement.rowsAffected(); }

    void setRequestLive(bool live);
    bool requestLive() const { return m_live; }
    // The table a live query writes to, once open; empty when not editable.
    const QString &updateTable() const { return m_updateTable; }
    bool canModify() const override;
    QString readOnlyReason() const override;

    Statement &statement() { return m_statement; }

    // Rows fetched elsewhere (for example by a worker thread on a connection
    // of its own) are shown by the next open() instead of running the text;
    // later opens run the text again. The rows are immutable, so handing
    // them across threads is safe.
    void adoptRows(RowSetPtr rows) { m_adopted = std::move(rows); }

protected:
    RowSetPtr fetchRows() override;
    void releaseRows() override;
    QStringList keyFieldNames() const override { return m_primaryKey; }
    QStringList masterLinkFields() const override;
    HeldRow writeInsert(const QVector<QVariant> &values, const QVector<bool> &assigned) override;
    HeldRow writeUpdate(const QVector<QVariant> &oldValues, const QVector<QVariant> &values,
                        const QVector<bool> &assigned) override;
    void writeDelete(const QVector<QVariant> &oldValues) override;

private:
    bool isExplicit(const QString &name) const;
    void findUpdateTable();

    Statement m_statement;
    QSet<QString> m_explicit; // upper-cased names of parameters set by the caller
    bool m_live = false;
    QString m_updateTable;
    QString m_notLiveReason;
    QStringList m_primaryKey;
    RowSetPtr m_adopted;
};

} // namespace engine
