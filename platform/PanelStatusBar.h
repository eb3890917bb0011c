#pragma once

#include <QStringList>
#include <QVector>
#include <QWidget>

namespace platform {

// A status bar of panels with fixed widths, each showing one text, as the
// programs' status bars are: a panel is addressed by its index, its text set
// and read as a whole, and its rectangle known, so other controls (a progress
// bar) can be placed over a panel. The last panel runs to the right edge.
class PanelStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit PanelStatusBar(QWidget *parent = nullptr);

    // Replaces the panels by panels of these widths, texts emptied.
    void setPanelWidths(const QVector<int> &widths);
    int panelCount() const { return int(m_widths.size()); }
    int panelWidth(int index) const { return m_widths.value(index); }

    QString panelText(int index) const { return m_texts.value(index); }
    // Repaints the panel's area when it becomes visible; callers that must
    // show the text before a long step call repaint() as well.
    void setPanelText(int index, const QString &text);

    // The panel's area in the bar's own coordinates.
    QRect panelRect(int index) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVector<int> m_widths;
    QStringList m_texts;
};

} // namespace platform
