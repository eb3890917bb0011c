#pragma once

// The grids of the workbench's pages, made one way everywhere.

#include <QString>

class QTableView;
class QTableWidget;
class QWidget;

namespace engine {
class DataSet;
}

namespace grids {

// A read-only grid over a data set, a whole row selected at a time. The
// grid and the data set stand on the same row both ways, so a detail
// follows the row picked in its master's grid.
QTableView *dataGrid(QWidget *parent, const QString &name, engine::DataSet *ds);

// A grid of cells without headings (the first rows hold their own), the
// last column taking the spare width.
QTableWidget *plainGrid(QWidget *parent, const QString &name, int rows, int columns);

} // namespace grids
