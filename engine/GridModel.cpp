#include "engine/GridModel.h"

#include "engine/Error.h"

namespace engine {

namespace {
const QString &blobMark()
{
    static const QString mark = QStringLiteral("(BLOB)");
    return mark;
}
} // namespace

GridModel::GridModel(DataSet *dataSet, QObject *parent) : QAbstractTableModel(parent)
{
    setDataSet(dataSet);
}

void GridModel::setDataSet(DataSet *dataSet)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = dataSet;
    if (m_ds) {
        connect(m_ds, &DataSet::rowsReset, this, &GridModel::resetFromDataSet);
        connect(m_ds, &DataSet::rowUpdated, this, &GridModel::rowUpdated);
        connect(m_ds, &DataSet::rowInserted, this, &GridModel::rowInserted);
        connect(m_ds, &DataSet::rowRemoved, this, &GridModel::rowRemoved);
        connect(m_ds, &DataSet::scrolled, this, [this] { emit currentRowChanged(currentRow()); });
        connect(m_ds, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_rows = 0;
            m_columns.clear();
            m_isBlob.clear();
            endResetModel();
        });
    }
    resetFromDataSet();
}

void GridModel::setBlobsAsText(bool asText)
{
    if (asText == m_blobsAsText)
        return;
    m_blobsAsText = asText;
    if (m_rows > 0 && !m_columns.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows - 1, int(m_columns.size()) - 1), {Qt::DisplayRole});
}

void GridModel::rebuildColumns()
{
    m_columns.clear();
    m_isBlob.clear();
    if (!m_ds)
        return;
    const QVector<FieldDef> &fields = m_ds->fields();
    for (int i = 0; i < fields.size(); ++i) {
        if (!fields[i].visible)
            continue;
        m_columns << i;
        m_isBlob << (fields[i].type == FieldType::TextBlob || fields[i].type == FieldType::Blob);
    }
}

void GridModel::resetFromDataSet()
{
    beginResetModel();
    rebuildColumns();
    m_rows = m_ds ? m_ds->recordCount() : 0;
    endResetModel();
    emit currentRowChanged(currentRow());
}

void GridModel::rowUpdated(int recNo)
{
    if (recNo >= 0 && recNo < m_rows && !m_columns.isEmpty())
        emit dataChanged(index(recNo, 0), index(recNo, int(m_columns.size()) - 1));
}

void GridModel::rowInserted(int recNo)
{
    beginInsertRows(QModelIndex(), recNo, recNo);
    ++m_rows;
    endInsertRows();
}

void GridModel::rowRemoved(int recNo)
{
    if (recNo < 0 || recNo >= m_rows)
        return;
    beginRemoveRows(QModelIndex(), recNo, recNo);
    --m_rows;
    endRemoveRows();
}

int GridModel::fieldAt(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column] : -1;
}

int GridModel::columnOf(const QString &field) const
{
    if (!m_ds)
        return -1;
    return int(m_columns.indexOf(m_ds->fieldIndex(field)));
}

int GridModel::currentRow() const
{
    return m_ds ? m_ds->recNo() : -1;
}

void GridModel::followSelection(QItemSelectionModel *selection)
{
    connect(this, &GridModel::currentRowChanged, selection, [this, selection](int row) {
        if (row >= 0 && selection->currentIndex().row() != row)
            selection->setCurrentIndex(index(row, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    });
    connect(selection, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
        if (current.isValid())
            setCurrentRow(current.row());
    });
}

bool GridModel::setCurrentRow(int row)
{
    if (!m_ds || !m_ds->isActive())
        return false;
    try {
        return m_ds->moveTo(row);
    } catch (const Error &e) {
        // Leaving a row whose edit the server refused: stay on it.
        m_lastError = e.message();
        emit editFailed(e.message());
        return false;
    }
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    const int row = index.row();
    const int col = index.column();
    if (!m_ds || row < 0 || row >= m_rows || col < 0 || col >= m_columns.size())
        return QVariant();
    // While the data set is frozen it may hold fewer rows than shown.
    if (row >= m_ds->recordCount())
        return QVariant();
    const int field = m_columns[col];
    try {
        if (m_isBlob[col] && !m_blobsAsText)
            return m_ds->isNullAt(row, field) ? QString() : blobMark();
        if (role == Qt::EditRole)
            return m_ds->valueAt(row, field);
        return m_ds->textAt(row, field);
    } catch (const Error &) {
        // A calculated field whose handler failed shows empty.
        return QVariant();
    }
}

void GridModel::setTitle(const QString &field, const QString &title)
{
    m_titles.insert(field.toUpper(), title);
    if (columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        const int field = fieldAt(section);
        if (field < 0 || !m_ds)
            return QVariant();
        const FieldDef &def = m_ds->fieldDef(field);
        return m_titles.value(def.name.toUpper(), def.displayLabel);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int field = fieldAt(index.column());
    if (field >= 0 && m_ds && m_ds->canModify() && !m_ds->fieldDef(field).calculated && !m_isBlob[index.column()])
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int field = fieldAt(index.column());
    if (role != Qt::EditRole || field < 0 || !m_ds || index.row() < 0 || index.row() >= m_rows)
        return false;
    try {
        if (index.row() != m_ds->recNo() && !m_ds->moveTo(index.row()))
            return false;
        if (m_ds->state() == DataSetState::Browse)
            m_ds->edit();
        m_ds->setValue(field, value);
        m_ds->post();
        return true;
    } catch (const Error &e) {
        m_lastError = e.message();
        emit editFailed(e.message());
        return false;
    }
}

} // namespace engine
