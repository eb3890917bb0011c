#pragma once

// Grid columns sized to what they hold, for every grid of both programs.

class QPlainTextEdit;
class QTableView;
class QWidget;

namespace platform {

// A fitted column grows to at most this many average characters of the
// grid's font: a long path or name shows whole, a text BLOB shown as text
// does not push every other column out of sight.
constexpr int kFitColumnChars = 80;
// Rows read to size a column, from the top row: a result of any length
// costs the same, a few milliseconds, which a window that takes several
// results at once must not multiply into a stall. A screen and more.
constexpr int kFitRows = 60;

int fitColumnCap(const QWidget &grid);

// The width of a column's title and of the text of its first rows, at most
// the cap (the title only where the grid shows its header).
int fittedColumnWidth(QTableView *grid, int column);
// Sizes the grid's columns now: each column the user may resize gets the
// width of its title and of the text of its first rows, at most the cap.
// Columns sized by the grid itself (stretched, fixed, sized to contents)
// are left to it; the user can still drag every fitted column.
void fitColumns(QTableView *grid);
// Fits the columns each time the grid's current model is filled: after a
// reset (a data set opened or read again) and when rows arrive in an empty
// grid (a result fetched in pieces). A column the user dragged keeps its
// width until the grid is filled anew.
void fitColumnsWhenFilled(QTableView *grid);

// A read-only list of lines (an alias's parameters) made wide enough to
// show its longest line whole, within the same cap; its window grows with it.
void fitLines(QPlainTextEdit *lines);

} // namespace platform
