#pragma once

#include "engine/DataSet.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QPointer>
#include <QVector>

namespace engine {

// A table model over a data set for the programs' data grids: one column per
// visible field, headed by its display label; one row per row of the data
// set (after its filter). A cell's text is read straight from the held rows,
// so any screen of any size of result costs the same. Edits are written
// through the data set (a table or live query) and posted at once; a refused
// post leaves the data set in edit state and is reported by editFailed.
//
// The model follows the data set's signals, so between disableControls()
// and enableControls() it stays as it was and then resets once.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(DataSet *dataSet = nullptr, QObject *parent = nullptr);

    void setDataSet(DataSet *dataSet);
    DataSet *dataSet() const { return m_ds; }

    // BLOB cells read "(BLOB)" (empty when NULL) unless shown as text.
    void setBlobsAsText(bool asText);
    bool blobsAsText() const { return m_blobsAsText; }

    // A column title of this grid only, in place of the field's display
    // label: two grids on one data set may head a column differently.
    void setTitle(const QString &field, const QString &title);

    // The data-set field shown in a grid column, and back; -1 when none.
    int fieldAt(int column) const;
    int columnOf(const QString &field) const;

    // The data set's current row; setting it moves the data set.
    int currentRow() const;
    bool setCurrentRow(int row);
    // Keeps a view's current row (a whole row selected) and the data set's
    // on the same row both ways: a click moves the data set, and a search or
    // a master's move moves the view.
    void followSelection(QItemSelectionModel *selection);

    const QString &lastError() const { return m_lastError; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // After a move of the data set and after every reset, so a view can
    // select the row the data set stands on.
    void currentRowChanged(int row);
    void editFailed(const QString &message);

private:
    void resetFromDataSet();
    void rowUpdated(int recNo);
    void rowInserted(int recNo);
    void rowRemoved(int recNo);
    void rebuildColumns();

    QPointer<DataSet> m_ds;
    bool m_blobsAsText = false;
    int m_rows = 0;
    QVector<int> m_columns;  // data-set field per grid column
    QVector<bool> m_isBlob;  // per grid column
    QHash<QString, QString> m_titles; // by upper-case field name
    QString m_lastError;
};

} // namespace engine
