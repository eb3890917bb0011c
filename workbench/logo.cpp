#include "workbench/logo.h"

#include "common/splash.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>


TMarrowbyLogo::TMarrowbyLogo(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("MarrowbyLogo"));
    setWindowTitle(QStringLiteral("MarrowbyLogo"));
    setFixedSize(366, 302);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setPixmap(splashPicture(QSize(366, 242), QStringLiteral("MarrowbyPro"), QStringLiteral("database workbench"),
                                    QColor(30, 50, 90), QColor(90, 130, 180)));
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
