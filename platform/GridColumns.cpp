#include "platform/GridColumns.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTableView>

namespace platform {

int fitColumnCap(const QWidget &grid)
{
    return grid.fontMetrics().averageCharWidth() * kFitColumnChars;
}

int fittedColumnWidth(QTableView *grid, int column)
{
    QHeaderView *header = grid->horizontalHeader();
    // A column's content hint reads as many rows as the vertical header's
    // precision says (a thousand by default), the title's the horizontal.
    header->setResizeContentsPrecision(kFitRows);
    grid->verticalHeader()->setResizeContentsPrecision(kFitRows);
    const int title = header->isVisibleTo(grid) ? header->sectionSizeHint(column) : 0;
    // Public on the base: the table makes its own override protected.
    const QAbstractItemView *view = grid;
    return qMin(qMax(title, view->sizeHintForColumn(column)), fitColumnCap(*grid));
}

void fitColumns(QTableView *grid)
{
    const QAbstractItemModel *model = grid->model();
    if (!model)
        return;
    QHeaderView *header = grid->horizontalHeader();
    const int last = model->columnCount() - 1;
    for (int c = 0; c <= last; ++c) {
        if (header->isSectionHidden(c) || header->sectionResizeMode(c) != QHeaderView::Interactive
            || (c == last && header->stretchLastSection()))
            continue;
        header->resizeSection(c, fittedColumnWidth(grid, c));
    }
}

void fitColumnsWhenFilled(QTableView *grid)
{
    QAbstractItemModel *model = grid->model();
    if (!model)
        return;
    // After the grid's own handling of the reset, which gives every
    // column its default width again.
    QObject::connect(model, &QAbstractItemModel::modelReset, grid, [grid, model] {
        if (grid->model() == model)
            fitColumns(grid);
    });
    QObject::connect(model, &QAbstractItemModel::rowsInserted, grid, [grid, model](const QModelIndex &parent, int first, int last) {
        if (grid->model() == model && !parent.isValid() && first == 0 && model->rowCount() == last + 1)
            fitColumns(grid);
    });
    QObject::connect(model, &QAbstractItemModel::columnsInserted, grid, [grid, model] {
        if (grid->model() == model)
            fitColumns(grid);
    });
    fitColumns(grid);
}

void fitLines(QPlainTextEdit *lines)
{
    int longest = 0;
    for (QTextBlock b = lines->document()->begin(); b.isValid(); b = b.next())
        longest = qMax(longest, lines->fontMetrics().horizontalAdvance(b.text()));
    const int chrome = 2 * (lines->frameWidth() + int(lines->document()->documentMargin()))
                       + lines->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + lines->cursorWidth();
    lines->setMinimumWidth(qMin(longest, fitColumnCap(*lines)) + chrome);
}

} // namespace platform
