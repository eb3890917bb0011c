#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace platform {

// Where a window of frame size `frame` stands centred in `available`.
QPoint centredIn(const QRect &available, const QSize &frame);
// Moves a shown window to the centre of its screen's available area.
void centreOnScreen(QWidget &window);

// Where the n-th (from 0) of a series of windows of frame size `frame`
// opens in `available`: each one step down and right of the one before,
// starting a step in from the corner, so none covers another's title and
// the first is not on top of whatever sits at the corner; the series wraps
// to the top when the next one would leave the area.
QPoint cascadePosition(const QRect &available, const QSize &frame, int n);

} // namespace platform
