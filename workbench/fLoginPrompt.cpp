#include "workbench/fLoginPrompt.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TfmLoginPrompt::TfmLoginPrompt(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmLoginPrompt"));
    setWindowTitle(QStringLiteral("Login"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    LAlias = new QLabel(QStringLiteral("None"), this);
    LAlias->setObjectName(QStringLiteral("LAlias"));
    EditUserName = new QLineEdit(this);
    EditUserName->setObjectName(QStringLiteral("EditUserName"));
    EditPassword = new QLineEdit(this);
    EditPassword->setObjectName(QStringLiteral("EditPassword"));
    EditPassword->setEchoMode(QLineEdit::Password);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Alias:"), LAlias);
    form->addRow(QStringLiteral("User Name:"), EditUserName);
    form->addRow(QStringLiteral("Password:"), EditPassword);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto *l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmLoginPrompt::showEvent(QShowEvent *e)
{
    // On show the password is emptied and the user name focused; once the
    // dialog is active the focus moves on to the password.
    EditPassword->clear();
    EditUserName->setFocus();
    QDialog::showEvent(e);
    QTimer::singleShot(0, EditPassword, [this] { EditPassword->setFocus(); });
}
