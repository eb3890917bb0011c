#include "common/about_un.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(const QString &productName, const QString &version, const QIcon &icon, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(323, 322);
    QFont f(QStringLiteral("Times New Roman"));
    setFont(f);

    auto *panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(icon.pixmap(48, 48));

    ProductName = new QLabel(productName, panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont pf = f;
    pf.setPixelSize(16);
    pf.setBold(true);
    pf.setItalic(true);
    ProductName->setFont(pf);
    ProductName->setStyleSheet(QStringLiteral("color: red;"));

    Version = new QLabel(version, panel);
    Version->setObjectName(QStringLiteral("Version"));

    auto separator = [panel]() {
        auto *s = new QFrame(panel);
        s->setFrameShape(QFrame::HLine);
        s->setFrameShadow(QFrame::Sunken);
        return s;
    };

    Notice = new QPlainTextEdit(panel);
    Notice->setObjectName(QStringLiteral("Notice"));
    Notice->setReadOnly(true);
    Notice->setPlainText(QStringLiteral(
        "Administration tools for Firebird and InterBase-family databases.\n\n"
        "Dunmoor tools. Questions and reports go to your database team."));

    auto *top = new QHBoxLayout;
    top->addWidget(ProgramIcon);
    auto *names = new QVBoxLayout;
    names->addWidget(ProductName);
    names->addWidget(Version);
    top->addLayout(names, 1);

    auto *pl = new QVBoxLayout(panel);
    pl->addLayout(top);
    pl->addWidget(separator());
    pl->addWidget(Notice, 1);
    pl->addWidget(separator());

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *l = new QVBoxLayout(this);
    l->addWidget(panel, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    l->addLayout(buttons);
}
