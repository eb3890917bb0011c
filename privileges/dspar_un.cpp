#include "privileges/dspar_un.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tbasepar *basepar = nullptr;

Tbasepar::Tbasepar(QWidget *parent) : QDialog(parent)
{
    basepar = this;
    setObjectName(QStringLiteral("basepar"));
    setWindowTitle(QStringLiteral("DataBase Login"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    DBAlias = new QLabel(this);
    DBAlias->setObjectName(QStringLiteral("DBAlias"));
    nmedit = new QLineEdit(this);
    nmedit->setObjectName(QStringLiteral("nmedit"));
    pswedit = new QLineEdit(this);
    pswedit->setObjectName(QStringLiteral("pswedit"));
    pswedit->setEchoMode(QLineEdit::Password);
    ConnectBtn = new QPushButton(QStringLiteral("&Connect"), this);
    ConnectBtn->setObjectName(QStringLiteral("ConnectBtn"));
    ConnectBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("DataBase:"), DBAlias);
    form->addRow(QStringLiteral("UserName:"), nmedit);
    form->addRow(QStringLiteral("Password:"), pswedit);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ConnectBtn);
    buttons->addWidget(CancelBtn);
    auto *l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addLayout(buttons);
    l->setSizeConstraint(QLayout::SetFixedSize);

    connect(ConnectBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void Tbasepar::FormShow()
{
    if (QWidget *main = parentWidget()) {
        QFont f = font();
        f.setFamily(main->font().family());
        setFont(f);
    }
    pswedit->setFocus();
}

void Tbasepar::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

