#include "engine/ScrollingQuery.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/FbStatus.h"
#include "engine/RowFetch.h"
#include "engine/StatementLog.h"


namespace engine {

namespace {

XSQLDA *sqlda(std::vector<char> &mem, int n)
{
    mem.assign(size_t(XSQLDA_LENGTH(n > 0 ? n : 1)), 0);
    auto *da = reinterpret_cast<XSQLDA *>(mem.data());
    da->version = SQLDA_VERSION1;
    da->sqln = short(n > 0 ? n : 1);
    return da;
}

XSQLDA *da(std::vector<char> &mem)
{
    return reinterpret_cast<XSQLDA *>(mem.data());
}

} // namespace

ScrollingQuery::ScrollingQuery(Database *db)
    : m_db(db), m_fetch(std::make_unique<RowFetch>()), m_rows(std::make_shared<RowSet>())
{
}

ScrollingQuery::~ScrollingQuery()
{
    close();
}

void ScrollingQuery::open(const QString &sql)
{
    close();
    m_rows = std::make_shared<RowSet>();
    m_sql = sql;
    if (!m_db || !m_db->isConnected())
        throw Error(Database::notConnectedText(m_db));
    // Read only and read committed: it holds back no garbage collection
    // and sees what others commit, as the connection's own lists do.
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait};
    ISC_STATUS_ARRAY st;
    try {
        isc_start_transaction(st, &m_tr, 1, m_db->handle(), short(sizeof tpb), tpb);
        fb::check(st);
        isc_dsql_allocate_statement(st, m_db->handle(), &m_statement);
        fb::check(st);
        StatementLog::record(m_db->name(), sql);
        const QByteArray text = m_db->encode(sql);
        XSQLDA *out = sqlda(m_sqlda, 20);
        isc_dsql_prepare(st, &m_tr, &m_statement, 0, text.constData(), 1, out);
        fb::check(st, *m_db);
        if (out->sqld > out->sqln) {
            out = sqlda(m_sqlda, out->sqld);
            isc_dsql_describe(st, &m_statement, 1, out);
            fb::check(st);
        }
        m_rows = m_fetch->describe(out, m_db->latin1());
        isc_dsql_execute(st, &m_tr, &m_statement, 1, nullptr);
        fb::check(st, *m_db);
        m_atEnd = false;
    } catch (...) {
        release();
        throw;
    }
}

qsizetype ScrollingQuery::fetchMore(qsizetype rows)
{
    qsizetype got = 0;
    ISC_STATUS_ARRAY st;
    while (!m_atEnd && got < rows) {
        const ISC_STATUS rc = isc_dsql_fetch(st, &m_statement, 1, da(m_sqlda));
        if (rc == 100) {
            m_atEnd = true;
            release();
            break;
        }
        if (rc != 0)
            fail(fb::toError(st));
        try {
            m_fetch->store(*m_rows, *m_db, &m_tr);
        } catch (const Error &e) {
            // A BLOB that cannot be read ends the rows here too: a cursor
            // left open would fail the same way at every later fetch.
            fail(e);
        }
        ++got;
    }
    return got;
}

qsizetype ScrollingQuery::drain(const std::function<void(const RowSet &row)> &each)
{
    if (m_atEnd)
        return 0;
    RowSet one(m_rows->columns(), m_rows->encoding());
    qsizetype got = 0;
    ISC_STATUS_ARRAY st;
    try {
        for (;;) {
            const ISC_STATUS rc = isc_dsql_fetch(st, &m_statement, 1, da(m_sqlda));
            if (rc == 100)
                break;
            if (rc != 0)
                throw fb::toError(st);
            m_fetch->store(one, *m_db, &m_tr);
            each(one);
            one.clearRows();
            ++got;
        }
    } catch (...) {
        // The cursor stands after rows that were never held: left open, it
        // would hand a view the rows after them as if they followed on.
        m_atEnd = true;
        release();
        throw;
    }
    m_atEnd = true;
    release();
    return got;
}

void ScrollingQuery::reopen()
{
    if (m_sql.isEmpty())
        return;
    const qsizetype held = rowCount();
    open(m_sql);
    fetchMore(held);
}

void ScrollingQuery::fail(const Error &e)
{
    m_atEnd = true;
    release();
    throw e;
}

void ScrollingQuery::release()
{
    ISC_STATUS_ARRAY st;
    if (m_statement)
        isc_dsql_free_statement(st, &m_statement, DSQL_drop);
    m_statement = 0;
    // It only read: a commit that fails (connection gone) is let go.
    if (m_tr && isc_commit_transaction(st, &m_tr))
        isc_rollback_transaction(st, &m_tr);
    m_tr = 0;
}

void ScrollingQuery::close()
{
    release();
    m_atEnd = true;
}

// ---------------------------------------------------------------- model

ScrollingModel::ScrollingModel(ScrollingQuery *query, QObject *parent) : QAbstractTableModel(parent), m_query(query) {}

void ScrollingModel::reset()
{
    beginResetModel();
    m_shownRows = int(m_query->rowCount());
    endResetModel();
}

bool ScrollingModel::ensureRow(qsizetype row)
{
    while (row >= m_shownRows && canFetchMore(QModelIndex()))
        fetchMore(QModelIndex());
    return row >= 0 && row < m_shownRows;
}

int ScrollingModel::columnOf(const QString &column) const
{
    return m_query->columnCount() ? m_query->rows().indexOf(column) : -1;
}

QVariant ScrollingModel::value(qsizetype row, const QString &column) const
{
    const int c = columnOf(column);
    if (c < 0 || row < 0 || row >= m_shownRows)
        return QVariant();
    return m_query->rows().value(row, c);
}

int ScrollingModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shownRows;
}

int ScrollingModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_query->columnCount();
}

QVariant ScrollingModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_shownRows)
        return QVariant();
    const RowSet &rows = m_query->rows();
    const FieldType type = rows.column(index.column()).type;
    if (type == FieldType::Blob || type == FieldType::TextBlob || type == FieldType::Array)
        return rows.isNull(index.row(), index.column()) ? QString() : QStringLiteral("(BLOB)");
    return rows.text(index.row(), index.column());
}

QVariant ScrollingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    return section < m_query->columnCount() ? QVariant(m_query->rows().column(section).name) : QVariant();
}

bool ScrollingModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && (m_shownRows < m_query->rowCount() || (m_query->isOpen() && !m_query->atEnd()));
}

void ScrollingModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid())
        return;
    QString failure;
    if (m_shownRows == m_query->rowCount()) {
        try {
            m_query->fetchMore(kBatch);
        } catch (const Error &e) {
            failure = e.message();
        }
    }
    const int total = int(m_query->rowCount());
    if (total > m_shownRows) {
        beginInsertRows(QModelIndex(), m_shownRows, total - 1);
        m_shownRows = total;
        endInsertRows();
    }
    // Told once the rows that did come are shown and the query has ended:
    // a view that asks again while the message is up finds nothing more.
    if (!failure.isNull())
        emit fetchFailed(failure);
}

} // namespace engine
