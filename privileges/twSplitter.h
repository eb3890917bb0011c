#pragma once

#include "platform/DockLayout.h"

#include <QFrame>
#include <QPoint>
#include <QPointer>

// The rules of a splitter drag that need no window.
namespace splitter {

// Which size a drag changes: 0 none, 1 the height of the first control, 2 the
// height of the second, 3 the width of the first, 4 the width of the second.
// A missing control is passed as Align::None with has... false.
int splitMode(platform::Align self, bool hasFirst, platform::Align first, bool hasSecond, platform::Align second);

// The new height or width of the control a drag resizes: its size plus the
// distance dragged, at least 1, and when that reaches the room the parent
// has, that room less 3; never below 1, even in a parent of a few pixels.
int newSize(int current, int delta, int available);

// Keeps the bar's corner (screen coordinates) inside the parent's client
// rectangle (screen coordinates), edges included.
QPoint clampCorner(QPoint corner, const QRect &parentArea);

} // namespace splitter

// A thin panel between two docked controls: dragging it with the left mouse
// button shows a bar that follows the mouse and, on release, resizes one of
// the two controls by the distance dragged; the docking then moves the
// splitter and the other control. Reports each completed drag by
// OnPosChanged.
class TSplitter : public QFrame {
    Q_OBJECT
public:
    explicit TSplitter(QWidget *parent = nullptr);

    QWidget *ControlFirst() const { return m_first; }
    QWidget *ControlSecond() const { return m_second; }
    // The splitter itself is never taken: setting it leaves none.
    void setControlFirst(QWidget *control);
    void setControlSecond(QWidget *control);

    platform::Align Align() const { return platform::dockAlign(this); }
    // A splitter that was not docked at the edges takes a thickness of 3 when
    // docked at one.
    void setAlign(platform::Align align);

    int SplitMode() const;
    bool dragging() const { return m_dragging; }
    // Where the bar was last drawn, in screen coordinates.
    QPoint lastBarPosition() const { return m_lastBar; }
    // The bar, while it is shown; null otherwise.
    QWidget *bar() const;

signals:
    void OnPosChanged(QObject *sender);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Raises OnPosChanged.
    virtual void PosChanged();

private:
    void updateCursor();
    void controlRemoved(QObject *control);
    void setControl(QPointer<QWidget> &slot, QWidget *control);
    // Shows the bar at a point of the splitter (clamped into the parent) or,
    // without one, at the last position; hides it.
    void drawBar(QPoint at);
    void drawBarAgain();
    void eraseBar();
    void applyNewSize(QPoint at);

    QPointer<QWidget> m_first;
    QPointer<QWidget> m_second;
    bool m_dragging = false;
    int m_mode = 0;
    QPoint m_lastBar;
    QPointer<QWidget> m_bar;
};
