#include "privileges/twSplitter.h"

#include <QMouseEvent>
#include <QPainter>

namespace splitter {

using platform::Align;

int splitMode(Align self, bool hasFirst, Align first, bool hasSecond, Align second)
{
    if (!hasFirst)
        return 0;
    const bool secondFree = !hasSecond || second == Align::Client;
    int mode = 0;
    if ((first == Align::Top || first == Align::Bottom) && secondFree)
        mode = 1;
    else if (first == Align::Client && hasSecond && (second == Align::Bottom || second == Align::Top))
        mode = 2;
    else if ((first == Align::Left || first == Align::Right) && secondFree)
        mode = 3;
    else if (first == Align::Client && hasSecond && (second == Align::Right || second == Align::Left))
        mode = 4;
    // The splitter must sit on the same side as the control it resizes.
    const Align resized = (mode == 1 || mode == 3) ? first : second;
    return mode != 0 && self == resized ? mode : 0;
}

int newSize(int current, int delta, int available)
{
    int size = current + delta;
    if (size < 1)
        size = 1;
    if (size >= available)
        size = available - 3;
    // A parent with room for little more than the splitter would leave the
    // control a negative size; it keeps one pixel instead.
    return size < 1 ? 1 : size;
}

QPoint clampCorner(QPoint corner, const QRect &parentArea)
{
    return QPoint(qBound(parentArea.left(), corner.x(), parentArea.right() + 1),
                  qBound(parentArea.top(), corner.y(), parentArea.bottom() + 1));
}

} // namespace splitter

namespace {

// Stands in for inverting the screen: a bar over the top-level window that
// inverts what lies beneath it, so the user sees where the split will go.
class SplitBar : public QWidget {
public:
    explicit SplitBar(QWidget *window) : QWidget(window)
    {
        setObjectName(QStringLiteral("SplitBar"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setCompositionMode(QPainter::CompositionMode_Difference);
        p.fillRect(rect(), Qt::white);
    }
};

} // namespace

TSplitter::TSplitter(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(1);
    resize(185, 3);
    updateCursor();
}

void TSplitter::setControl(QPointer<QWidget> &slot, QWidget *control)
{
    if (slot == control)
        return;
    if (slot)
        disconnect(slot, &QObject::destroyed, this, nullptr);
    slot = control == this ? nullptr : control;
    if (slot)
        connect(slot, &QObject::destroyed, this, &TSplitter::controlRemoved);
    updateCursor();
}

void TSplitter::setControlFirst(QWidget *control)
{
    setControl(m_first, control);
}

void TSplitter::setControlSecond(QWidget *control)
{
    setControl(m_second, control);
}

void TSplitter::controlRemoved(QObject *control)
{
    // Called while the control is being destroyed, before the guarded
    // pointers let go of it.
    if (static_cast<QObject *>(m_first.data()) == control)
        m_first = nullptr;
    else if (static_cast<QObject *>(m_second.data()) == control)
        m_second = nullptr;
    updateCursor();
}

void TSplitter::setAlign(platform::Align align)
{
    const auto edge = [](platform::Align a) {
        return a == platform::Align::Top || a == platform::Align::Bottom || a == platform::Align::Left
               || a == platform::Align::Right;
    };
    const bool wasAtEdge = edge(Align());
    platform::setDockAlign(this, align);
    if (!wasAtEdge && edge(align)) {
        if (align == platform::Align::Top || align == platform::Align::Bottom)
            resize(width(), 3);
        else
            resize(3, height());
        platform::setDockExtent(this, 3);
    }
    updateCursor();
}

int TSplitter::SplitMode() const
{
    return splitter::splitMode(Align(), m_first != nullptr, platform::dockAlign(m_first), m_second != nullptr,
                               platform::dockAlign(m_second));
}

void TSplitter::updateCursor()
{
    switch (SplitMode()) {
    case 1:
    case 2:
        setCursor(Qt::SplitVCursor);
        break;
    case 3:
    case 4:
        setCursor(Qt::SplitHCursor);
        break;
    default:
        setCursor(Qt::ArrowCursor);
        break;
    }
}

QWidget *TSplitter::bar() const
{
    return m_bar && m_bar->isVisible() ? m_bar.data() : nullptr;
}

void TSplitter::drawBar(QPoint at)
{
    QRect local;
    if (m_mode == 1 || m_mode == 2)
        local = QRect(0, at.y(), width(), 2);
    else
        local = QRect(at.x(), 0, 2, height());
    QPoint corner = mapToGlobal(local.topLeft());
    if (QWidget *parent = parentWidget()) {
        const QRect area(parent->mapToGlobal(parent->contentsRect().topLeft()), parent->contentsRect().size());
        corner = splitter::clampCorner(corner, area);
    }
    m_lastBar = corner;
    drawBarAgain();
}

void TSplitter::drawBarAgain()
{
    QWidget *top = window();
    if (!m_bar)
        m_bar = new SplitBar(top);
    const QSize size = (m_mode == 1 || m_mode == 2) ? QSize(width(), 2) : QSize(2, height());
    m_bar->setGeometry(QRect(top->mapFromGlobal(m_lastBar), size));
    m_bar->raise();
    m_bar->show();
}

void TSplitter::eraseBar()
{
    if (m_bar)
        m_bar->hide();
}

void TSplitter::mousePressEvent(QMouseEvent *event)
{
    QFrame::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    m_mode = SplitMode();
    if (m_mode == 0)
        return;
    m_dragging = true;
    grabMouse();
    drawBar(QPoint(0, 0));
}

void TSplitter::mouseMoveEvent(QMouseEvent *event)
{
    QFrame::mouseMoveEvent(event);
    if (mouseGrabber() == this && m_dragging) {
        eraseBar();
        drawBar(event->position().toPoint());
    }
}

void TSplitter::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragging) {
        releaseMouse();
        eraseBar();
        applyNewSize(event->position().toPoint());
        m_dragging = false;
        PosChanged();
    }
    QFrame::mouseReleaseEvent(event);
}

void TSplitter::applyNewSize(QPoint at)
{
    QWidget *parent = parentWidget();
    if (!parent)
        return;
    const QRect client = parent->contentsRect();
    const auto either = [this](platform::Align a) {
        return platform::dockAlign(m_first) == a || platform::dockAlign(m_second) == a;
    };
    const bool right = either(platform::Align::Right);
    const bool bottom = either(platform::Align::Bottom);
    const int dx = right ? -at.x() : at.x();
    const int dy = bottom ? -at.y() : at.y();
    QWidget *resized = (m_mode == 1 || m_mode == 3) ? m_first.data() : m_second.data();
    if (!resized)
        return;
    if (m_mode == 1 || m_mode == 2)
        platform::setDockExtent(resized, splitter::newSize(resized->height(), dy, client.height() - height()));
    else
        platform::setDockExtent(resized, splitter::newSize(resized->width(), dx, client.width() - width()));
}

void TSplitter::PosChanged()
{
    emit OnPosChanged(this);
}
