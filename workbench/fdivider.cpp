#include "workbench/fdivider.h"

#include "platform/Prompter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmDivider *fmDivider = nullptr;

const QString TfmDivider::kEmptySeparator =
    QStringLiteral("The column separator symbol is empty: type the one character that separates the columns.");

TfmDivider::TfmDivider(QWidget *parent) : QDialog(parent)
{
    fmDivider = this;
    setObjectName(QStringLiteral("fmDivider"));
    setWindowTitle(QStringLiteral("Column divider setting"));

    Label1 = new QLabel(QStringLiteral("Column separator symbol:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    EditDivider = new QLineEdit(QStringLiteral("!"), this);
    EditDivider->setObjectName(QStringLiteral("EditDivider"));
    Label1->setBuddy(EditDivider);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    auto *row = new QHBoxLayout;
    row->addWidget(Label1);
    row->addWidget(EditDivider);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto *l = new QVBoxLayout(this);
    l->addLayout(row);
    l->addLayout(buttons);

    connect(BitBtn1, &QPushButton::clicked, this, &TfmDivider::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TfmDivider::~TfmDivider()
{
    if (fmDivider == this)
        fmDivider = nullptr;
}

void TfmDivider::BitBtn1Click()
{
    const QString text = EditDivider->text();
    if (text.isEmpty()) {
        // Said, not only refused: a silent OK that does nothing looks broken.
        platform::Prompter::instance().message(platform::Prompter::Icon::Warning, windowTitle(), kEmptySeparator);
        setResult(0); // no result yet: the dialog stays open
        EditDivider->setFocus();
        return;
    }
    // One character, a pair of surrogates included.
    Separator = text.left(text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1);
    accept();
}
