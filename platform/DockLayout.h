#pragma once

#include <QLayout>
#include <QList>

class QWidget;

namespace platform {

// Where a control sits in its parent, as the form library docks it: top and
// bottom controls span the width and keep their height, left and right
// controls span what is left of the height and keep their width, the client
// control takes the rest. A control that is not docked keeps its geometry.
enum class Align { None, Top, Bottom, Left, Right, Client };

// A layout that docks its widgets by their alignment, so that a control whose
// size changes moves its neighbours, and a splitter between two controls only
// has to change one size. Widgets are placed group by group (every top
// control, then bottom, left, right, client), each group in the order the
// widgets were added: the first top control is topmost, the first bottom
// control lowest, the first right control rightmost.
//
// The kept size of a docked control (its "extent": height for top and bottom,
// width for left and right) lives with the widget, so it survives the layout
// being rebuilt and can be read and set from the widget alone.
class DockLayout : public QLayout {
    Q_OBJECT
public:
    explicit DockLayout(QWidget *parent = nullptr);
    ~DockLayout() override;

    // Adds a widget with its alignment and kept extent (height for top and
    // bottom, width for left and right; ignored otherwise).
    void addDocked(QWidget *w, Align align, int extent = 0);

    void addItem(QLayoutItem *item) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    QList<QLayoutItem *> m_items;
};

// The alignment of a control in its parent's dock layout (None when it has
// none), and its kept extent.
Align dockAlign(const QWidget *w);
int dockExtent(const QWidget *w);
// Changes a control's alignment or kept extent and lays its parent out again
// at once, so the neighbours have moved when the call returns.
void setDockAlign(QWidget *w, Align align);
void setDockExtent(QWidget *w, int extent);

} // namespace platform
