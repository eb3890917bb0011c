#include "privileges/logo.h"

#include "common/splash.h"

#include <QLabel>
#include <QVBoxLayout>

TLorvaneLogo::TLorvaneLogo(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("LorvaneLogo"));
    setFixedSize(366, 242);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(splashPicture(size(), QStringLiteral("LorvanePro"), QStringLiteral("privilege manager"),
                                    QColor(60, 30, 20), QColor(170, 110, 60)));
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(Image1);
}
