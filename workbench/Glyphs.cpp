#include "workbench/Glyphs.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace glyphs {

namespace {

QPixmap face(const QColor &skin, void (*mouthAndEyes)(QPainter &))
{
    QPixmap pm(33, 33);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(skin.darker(170), 1.5));
    p.setBrush(skin);
    p.drawEllipse(QRectF(2.5, 2.5, 28, 28));
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::black);
    mouthAndEyes(p);
    return pm;
}

void dots(QPainter &p)
{
    p.drawEllipse(QPointF(12, 13), 1.8, 2.2);
    p.drawEllipse(QPointF(21, 13), 1.8, 2.2);
}

} // namespace

QPixmap statusPicture(const QString &name)
{
    if (name == QLatin1String("IShades"))
        return face(QColor(120, 200, 90), [](QPainter &p) {
            // sunglasses and a smile
            p.drawRoundedRect(QRectF(8, 10, 7, 5), 2, 2);
            p.drawRoundedRect(QRectF(18, 10, 7, 5), 2, 2);
            p.drawLine(QPointF(15, 12), QPointF(18, 12));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(10, 14, 13, 10), 200 * 16, 140 * 16);
        });
    if (name == QLatin1String("ISad"))
        return face(QColor(235, 90, 80), [](QPainter &p) {
            dots(p);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(10, 20, 13, 9), 20 * 16, 140 * 16);
        });
    if (name == QLatin1String("Iooh"))
        return face(QColor(245, 170, 60), [](QPainter &p) {
            dots(p);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(13.5, 19, 6, 6));
        });
    return face(QColor(200, 200, 200), [](QPainter &p) { // IIndif
        dots(p);
        p.drawLine(QPointF(11, 22), QPointF(22, 22));
    });
}

QIcon toolIcon(const QString &name)
{
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(40, 60, 110), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    if (name == QLatin1String("connect")) {
        p.drawLine(2, 12, 8, 12);
        p.drawRect(8, 7, 6, 10);
        p.drawLine(14, 9, 20, 9);
        p.drawLine(14, 15, 20, 15);
    } else if (name == QLatin1String("font")) {
        QFont f(QStringLiteral("Serif"));
        f.setPixelSize(20);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("A"));
    } else if (name == QLatin1String("browser")) {
        p.drawRect(3, 3, 18, 18);
        p.drawLine(3, 9, 21, 9);
        p.drawLine(3, 15, 21, 15);
        p.drawLine(10, 3, 10, 21);
    } else if (name == QLatin1String("debugger")) {
        p.setBrush(QColor(180, 60, 50));
        p.drawEllipse(QRectF(7, 6, 10, 14));
        p.drawLine(3, 9, 7, 11);
        p.drawLine(21, 9, 17, 11);
        p.drawLine(3, 17, 7, 15);
        p.drawLine(21, 17, 17, 15);
        p.drawLine(12, 6, 12, 20);
    } else if (name == QLatin1String("master")) {
        QFont f(QStringLiteral("Monospace"));
        f.setPixelSize(10);
        f.setBold(true);
        p.setFont(f);
        p.drawRect(2, 4, 20, 16);
        p.drawText(QRect(2, 4, 20, 16), Qt::AlignCenter, QStringLiteral("SQL"));
    } else if (name == QLatin1String("lorvane")) {
        p.drawEllipse(QRectF(3, 8, 8, 8));
        p.drawLine(11, 12, 21, 12);
        p.drawLine(17, 12, 17, 16);
        p.drawLine(20, 12, 20, 15);
    } else if (name == QLatin1String("export")) {
        p.drawRect(4, 3, 11, 15); // a page, and an arrow leaving it
        p.drawLine(10, 13, 21, 13);
        p.drawLine(17, 9, 21, 13);
        p.drawLine(17, 17, 21, 13);
    } else if (name == QLatin1String("erase")) {
        p.setPen(QPen(QColor(190, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(5, 5, 19, 19);
        p.drawLine(19, 5, 5, 19);
    } else { // program
        p.setBrush(QColor(70, 110, 170));
        p.drawEllipse(QRectF(3, 2, 18, 6));
        p.drawRect(3, 5, 18, 14);
        p.drawEllipse(QRectF(3, 16, 18, 6));
    }
    return QIcon(pm);
}

} // namespace glyphs

namespace glyphs {

QLabel *statusLabel(QWidget *parent, const QString &name, const QString &hint)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setToolTip(hint);
    l->setFixedSize(33, 33);
    l->setPixmap(statusPicture(name));
    return l;
}

} // namespace glyphs
