#pragma once

// What a person reads in a grid: the texts it cuts.
#include <QAbstractItemModel>
#include <QHeaderView>
#include <QStringList>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QTableView>

namespace testsupport {

// The titles and cell texts of the shown columns that do not fit their
// column's width (the grid would cut them with "...").
inline QStringList cutTexts(QTableView &grid)
{
    QStringList cut;
    const QAbstractItemModel *m = grid.model();
    QStyleOptionViewItem option;
    option.initFrom(&grid);
    option.font = grid.font();
    QHeaderView *header = grid.horizontalHeader();
    for (int c = 0; m && c < m->columnCount(); ++c) {
        if (grid.isColumnHidden(c))
            continue;
        const int width = grid.columnWidth(c);
        if (header->isVisibleTo(&grid) && header->sectionSizeHint(c) > width)
            cut << m->headerData(c, Qt::Horizontal).toString();
        for (int r = 0; r < m->rowCount(); ++r) {
            const QModelIndex i = m->index(r, c);
            if (grid.itemDelegateForIndex(i)->sizeHint(option, i).width() > width)
                cut << i.data().toString();
        }
    }
    return cut;
}

} // namespace testsupport
