#include "platform/Placement.h"

#include <QScreen>
#include <QWidget>

namespace platform {

namespace {
// One step of a cascade: about a title bar's height.
constexpr int kStep = 32;
} // namespace

QPoint centredIn(const QRect &available, const QSize &frame)
{
    return available.center() - QPoint(frame.width() / 2, frame.height() / 2);
}

void centreOnScreen(QWidget &window)
{
    if (const QScreen *s = window.screen())
        window.move(centredIn(s->availableGeometry(), window.frameGeometry().size()));
}

QPoint cascadePosition(const QRect &available, const QSize &frame, int n)
{
    const int roomDown = available.height() - frame.height() - kStep;
    const int roomRight = available.width() - frame.width() - kStep;
    const int steps = qMax(1, qMin(roomDown, roomRight) / kStep + 1);
    const int k = n % steps + 1;
    return available.topLeft() + QPoint(k * kStep, k * kStep);
}

} // namespace platform
