#include "common/splash.h"

#include <QLinearGradient>
#include <QPainter>

QPixmap splashPicture(QSize size, const QString &product, const QString &line, QColor top, QColor bottom)
{
    QPixmap pm(size);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(pm.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Serif"));
    f.setPixelSize(40);
    f.setBold(true);
    f.setItalic(true);
    p.setFont(f);
    p.drawText(pm.rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, product);
    f.setPixelSize(14);
    f.setBold(false);
    p.setFont(f);
    p.drawText(pm.rect().adjusted(0, 60, 0, 0), Qt::AlignCenter, line);
    return pm;
}
