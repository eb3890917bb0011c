#include "workbench/fNewCol.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfmNewCol::TfmNewCol(std::function<bool(const QString &, const QString &)> addColumn, QWidget *parent)
    : QDialog(parent), m_addColumn(std::move(addColumn))
{
    setObjectName(QStringLiteral("fmNewCol"));
    setWindowTitle(QStringLiteral("New Column"));
    auto *grid = new QGridLayout(this);
    EditColName = new QLineEdit(this);
    EditColName->setObjectName(QStringLiteral("EditColName"));
    EditColType = new QLineEdit(this);
    EditColType->setObjectName(QStringLiteral("EditColType"));
    grid->addWidget(new QLabel(QStringLiteral("Column Name:"), this), 0, 0);
    grid->addWidget(EditColName, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Column Type:"), this), 1, 0);
    grid->addWidget(EditColType, 1, 1);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    grid->addLayout(buttons, 2, 0, 1, 2);
    EditColName->setMinimumWidth(220);
    connect(BitBtn1, &QPushButton::clicked, this, &TfmNewCol::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmNewCol::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TfmNewCol::FormShow()
{
    EditColName->clear();
    EditColType->clear();
    EditColName->setFocus();
}

void TfmNewCol::BitBtn1Click()
{
    if (m_addColumn(EditColName->text(), EditColType->text()))
        done(QDialog::Accepted);
}
