#include "platform/DockLayout.h"

#include <QWidget>

namespace platform {

namespace {

const char *const kAlign = "dockAlign";
const char *const kExtent = "dockExtent";

bool horizontal(Align a)
{
    return a == Align::Left || a == Align::Right;
}

// Lays the parent out now: a caller that changed a size reads the moved
// neighbours straight after, as on the platform the programs were made for.
void relayout(QWidget *w)
{
    QWidget *parent = w ? w->parentWidget() : nullptr;
    if (!parent || !qobject_cast<DockLayout *>(parent->layout()))
        return;
    parent->layout()->invalidate();
    parent->layout()->setGeometry(parent->contentsRect());
}

} // namespace

DockLayout::DockLayout(QWidget *parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

DockLayout::~DockLayout()
{
    while (!m_items.isEmpty())
        delete m_items.takeFirst();
}

void DockLayout::addDocked(QWidget *w, Align align, int extent)
{
    w->setProperty(kAlign, int(align));
    w->setProperty(kExtent, extent);
    addWidget(w);
}

void DockLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

QLayoutItem *DockLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *DockLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

int DockLayout::count() const
{
    return int(m_items.size());
}

QSize DockLayout::sizeHint() const
{
    int w = 0, h = 0;
    for (QLayoutItem *item : m_items) {
        const QWidget *wd = item->widget();
        if (!wd || wd->isHidden())
            continue;
        const Align a = dockAlign(wd);
        if (a == Align::Top || a == Align::Bottom)
            h += dockExtent(wd);
        else if (horizontal(a))
            w += dockExtent(wd);
    }
    return QSize(w, h);
}

QSize DockLayout::minimumSize() const
{
    return QSize(0, 0);
}

void DockLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    QRect free = rect;
    for (Align group : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client}) {
        for (QLayoutItem *item : m_items) {
            QWidget *w = item->widget();
            if (!w || w->isHidden() || dockAlign(w) != group)
                continue;
            // A control gets no more than the room that is left, so docked
            // controls never overlap.
            const int room = horizontal(group) ? free.width() : free.height();
            const int e = qBound(0, dockExtent(w), qMax(0, room));
            QRect r;
            switch (group) {
            case Align::Top:
                r = QRect(free.left(), free.top(), free.width(), e);
                free.setTop(free.top() + e);
                break;
            case Align::Bottom:
                r = QRect(free.left(), free.bottom() + 1 - e, free.width(), e);
                free.setBottom(free.bottom() - e);
                break;
            case Align::Left:
                r = QRect(free.left(), free.top(), e, free.height());
                free.setLeft(free.left() + e);
                break;
            case Align::Right:
                r = QRect(free.right() + 1 - e, free.top(), e, free.height());
                free.setRight(free.right() - e);
                break;
            default:
                r = free;
                break;
            }
            // A widget given no room keeps a zero size rather than a negative one.
            w->setGeometry(QRect(r.topLeft(), QSize(qMax(0, r.width()), qMax(0, r.height()))));
        }
    }
}

Align dockAlign(const QWidget *w)
{
    const QVariant v = w ? w->property(kAlign) : QVariant();
    return v.isValid() ? Align(v.toInt()) : Align::None;
}

int dockExtent(const QWidget *w)
{
    switch (dockAlign(w)) {
    case Align::Top:
    case Align::Bottom:
    case Align::Left:
    case Align::Right:
        return w->property(kExtent).toInt();
    default:
        return 0;
    }
}

void setDockAlign(QWidget *w, Align align)
{
    w->setProperty(kAlign, int(align));
    relayout(w);
}

void setDockExtent(QWidget *w, int extent)
{
    w->setProperty(kExtent, extent);
    relayout(w);
}

} // namespace platform
