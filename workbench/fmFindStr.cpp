#include "workbench/fmFindStr.h"

#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "workbench/mysimplere.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kMessageCaption = QStringLiteral("Marrowby ");

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

void tell(const QString &text)
{
    platform::Prompter::instance().message(platform::Prompter::Icon::Information, kMessageCaption, text);
}

} // namespace

TfmFind::TfmFind(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmFind"));
    setWindowTitle(QStringLiteral("Find"));
    // Stays above the main window while the user works in the editor; a
    // title bar without buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(false);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    CBIgnoreCase = new QCheckBox(QStringLiteral("Ignore case"), this);
    CBIgnoreCase->setObjectName(QStringLiteral("CBIgnoreCase"));
    CBConfirm = new QCheckBox(QStringLiteral("Confirm replation"), this);
    CBConfirm->setObjectName(QStringLiteral("CBConfirm"));
    BitBtn2 = makeButton(this, "BitBtn2", QStringLiteral("Find Next"));
    BitBtn2->setDefault(true);
    BitBtn3 = makeButton(this, "BitBtn3", QStringLiteral("Find and Replace"));
    BitBtn4 = makeButton(this, "BitBtn4", QStringLiteral("Replace All         "));
    BitBtn1 = makeButton(this, "BitBtn1", QStringLiteral("Cancel    "));

    auto *fields = new QGridLayout;
    auto *findLabel = new QLabel(QStringLiteral("Find"), this);
    findLabel->setBuddy(Edit1);
    auto *replaceLabel = new QLabel(QStringLiteral("Replace"), this);
    replaceLabel->setBuddy(Edit2);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(replaceLabel, 1, 0);
    fields->addWidget(Edit2, 1, 1);
    auto *checks = new QHBoxLayout;
    checks->addWidget(CBIgnoreCase);
    checks->addWidget(CBConfirm);
    checks->addStretch();
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {BitBtn2, BitBtn3, BitBtn4, BitBtn1})
        buttons->addWidget(b);
    auto *l = new QVBoxLayout(this);
    l->addLayout(fields);
    l->addLayout(checks);
    l->addLayout(buttons);

    connect(BitBtn2, &QPushButton::clicked, this, &TfmFind::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TfmFind::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TfmFind::BitBtn4Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TfmFind::BitBtn1Click);
    // Open beside the editor while a command disables the main window (a
    // debug run waiting at a break), it must still take the user's input.
    platform::keepUsable(*this);
}

void TfmFind::ShowFor(TMyRichEdit *editor)
{
    Editor = editor;
    show();
    raise();
    activateWindow();
}

void TfmFind::findNext(bool replace)
{
    if (!Editor)
        return;
    if (!Editor->FindNext(Edit1->text(), Edit2->text(), CBIgnoreCase->isChecked(), replace, CBConfirm->isChecked()))
        tell(QStringLiteral("No matches"));
}

void TfmFind::BitBtn2Click()
{
    findNext(false);
}

void TfmFind::BitBtn3Click()
{
    findNext(true);
}

void TfmFind::BitBtn4Click()
{
    if (!Editor)
        return;
    // Replacing everything never asks, whatever "Confirm replation" says.
    const int count = Editor->ReplaceAll(Edit1->text(), Edit2->text(), CBIgnoreCase->isChecked());
    tell(QString::number(count) + QStringLiteral(" replacements was made"));
}

void TfmFind::BitBtn1Click()
{
    hide();
}
