#pragma once

#include "engine/RowSet.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

namespace engine {

class Database;
class Error;
class RowFetch;

// A select whose rows are fetched as they are wanted, not all at once: the
// statement stays open in a read-only transaction of its own on the
// connection, so a table of any size shows its first screen at the cost of
// that screen, and what is held grows only with what was fetched. The
// connection's own transaction is left alone (commits and roll-backs of
// other work do not close the cursor). Close it before a statement changes
// the table it reads, and before the connection closes.
class ScrollingQuery {
public:
    explicit ScrollingQuery(Database *db = nullptr);
    ~ScrollingQuery();
    ScrollingQuery(const ScrollingQuery &) = delete;
    ScrollingQuery &operator=(const ScrollingQuery &) = delete;

    Database *database() const { return m_db; }

    // Runs the select and fetches nothing yet. A failure leaves it closed.
    void open(const QString &sql);
    // Frees the statement and ends its transaction; nothing when closed.
    void close();
    bool isOpen() const { return m_statement != 0; }

    // Fetches up to rows more rows; returns how many came. Past the last
    // row the statement and its transaction are let go at once.
    qsizetype fetchMore(qsizetype rows);
    bool atEnd() const { return m_atEnd; }
    // Fetches every row still to come and hands each to each() as the only
    // row of a row set that is emptied again at once: none of them is held,
    // whatever their number. The rows fetched before stay. The query then
    // ends as after its last row, also when each() or a fetch fails (the
    // failure is passed on). Returns how many rows came.
    qsizetype drain(const std::function<void(const RowSet &row)> &each);
    // Runs the last select again and fetches as many rows as were held, so
    // what a view showed is there again and the rest still comes as it
    // scrolls.
    void reopen();
    // Rows fetched so far.
    qsizetype rowCount() const { return m_rows ? m_rows->rowCount() : 0; }
    // Columns of the last open (kept after close, with the fetched rows).
    const RowSet &rows() const { return *m_rows; }
    int columnCount() const { return m_rows ? m_rows->columnCount() : 0; }

private:
    void release();
    // Ends the rows at a failure and passes it on.
    [[noreturn]] void fail(const Error &e);

    Database *m_db;
    unsigned int m_tr = 0;
    unsigned int m_statement = 0;
    QString m_sql;
    std::vector<char> m_sqlda;
    std::unique_ptr<RowFetch> m_fetch;
    RowSetPtr m_rows;
    bool m_atEnd = true;
};

// A grid's model over a scrolling query: the rows fetched so far, and more
// fetched by the view as it scrolls towards the end (canFetchMore and
// fetchMore). BLOB cells read "(BLOB)" (empty when NULL).
class ScrollingModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ScrollingModel(ScrollingQuery *query, QObject *parent = nullptr);

    // Rows fetched by each fetchMore: about two screens.
    static constexpr int kBatch = 100;

    // The query was opened or closed: the view starts again from the top.
    void reset();
    // Fetches until row is there (or the end); false when there is no such row.
    bool ensureRow(qsizetype row);
    // A value of a fetched row by column name; invalid when either is absent.
    QVariant value(qsizetype row, const QString &column) const;
    int columnOf(const QString &column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    // A fetch that fails ends the rows there and tells why through fetchFailed.
    void fetchMore(const QModelIndex &parent) override;

signals:
    void fetchFailed(const QString &message);

private:
    ScrollingQuery *m_query;
    int m_shownRows = 0;
};

} // namespace engine
