#include "platform/PanelStatusBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace platform {

namespace {
const int kGap = 2; // between panels
} // namespace

PanelStatusBar::PanelStatusBar(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void PanelStatusBar::setPanelWidths(const QVector<int> &widths)
{
    m_widths = widths;
    m_texts = QStringList();
    for (int i = 0; i < widths.size(); ++i)
        m_texts << QString();
    update();
}

void PanelStatusBar::setPanelText(int index, const QString &text)
{
    if (index < 0 || index >= m_texts.size() || m_texts.at(index) == text)
        return;
    m_texts[index] = text;
    update(panelRect(index));
}

QRect PanelStatusBar::panelRect(int index) const
{
    if (index < 0 || index >= m_widths.size())
        return QRect();
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += m_widths.at(i);
    const int width = index == m_widths.size() - 1 ? qMax(m_widths.at(index), this->width() - left) : m_widths.at(index);
    return QRect(left, kGap, width - kGap, height() - kGap);
}

QSize PanelStatusBar::sizeHint() const
{
    int w = 0;
    for (int width : m_widths)
        w += width;
    return QSize(w, fontMetrics().height() + 6);
}

void PanelStatusBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    for (int i = 0; i < m_widths.size(); ++i) {
        const QRect r = panelRect(i);
        QStyleOptionFrame frame;
        frame.initFrom(this);
        frame.rect = r;
        frame.lineWidth = 1;
        frame.state |= QStyle::State_Sunken;
        frame.frameShape = QFrame::Panel;
        style()->drawPrimitive(QStyle::PE_Frame, &frame, &p, this);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, m_texts.at(i));
    }
}

} // namespace platform
