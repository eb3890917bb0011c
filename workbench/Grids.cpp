#include "workbench/Grids.h"

#include "engine/GridModel.h"
#include "platform/GridColumns.h"

#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>

namespace grids {

QTableView *dataGrid(QWidget *parent, const QString &name, engine::DataSet *ds)
{
    auto *view = new QTableView(parent);
    view->setObjectName(name);
    auto *model = new engine::GridModel(ds, view);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setDefaultSectionSize(18);
    // The grid and the data set stand on the same row both ways, so a
    // detail follows the row picked in its master's grid.
    model->followSelection(view->selectionModel());
    platform::fitColumnsWhenFilled(view);
    return view;
}

QTableWidget *plainGrid(QWidget *parent, const QString &name, int rows, int columns)
{
    auto *g = new QTableWidget(rows, columns, parent);
    g->setObjectName(name);
    g->horizontalHeader()->hide();
    g->verticalHeader()->hide();
    g->horizontalHeader()->setStretchLastSection(true);
    return g;
}

} // namespace grids
