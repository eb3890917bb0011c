#include "workbench/logo.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
QPixmap splashPicture(QSize size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(30, 50, 90));
    g.setColorAt(1, QColor(90, 130, 180));
    p.fillRect(pm.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Serif"));
    f.setPixelSize(40);
    f.setBold(true);
    f.setItalic(true);
    p.setFont(f);
    p.drawText(pm.rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, QStringLiteral("MarrowbyPro"));
    f.setPixelSize(14);
    f.setBold(false);
    p.setFont(f);
    p.drawText(pm.rect().adjusted(0, 60, 0, 0), Qt::AlignCenter, QStringLiteral("database workbench"));
    return pm;
}
} // namespace

TMarrowbyLogo::TMarrowbyLogo(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("MarrowbyLogo"));
    setWindowTitle(QStringLiteral("MarrowbyLogo"));
    setFixedSize(366, 302);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setPixmap(splashPicture(QSize(366, 242)));
    Notice = new QPlainTextEdit(this);
    Notice->setReadOnly(true);
    Notice->setFrameShape(QFrame::NoFrame);
    Notice->setFixedHeight(60);
    Notice->setPlainText(QStringLiteral("Starting the workbench..."));
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(Image1, 1);
    l->addWidget(Notice);
}
