#include "workbench/fAliases.h"

#include "engine/Error.h"
#include "engine/Session.h"
#include "platform/GridColumns.h"
#include "platform/Prompter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfmAliases::TfmAliases(bool *serverIsLocal, QWidget *parent) : QDialog(parent), m_serverIsLocal(serverIsLocal)
{
    setObjectName(QStringLiteral("fmAliases"));
    setWindowTitle(QStringLiteral("Connect to DataBase"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    LBAliases = new QListWidget(this);
    LBAliases->setObjectName(QStringLiteral("LBAliases"));
    LBAliases->setSortingEnabled(true);
    QFont bold = LBAliases->font();
    bold.setBold(true);
    LBAliases->setFont(bold);
    LBAliases->setStyleSheet(QStringLiteral("QListWidget { color: navy; background: palette(button); }"));

    MParams = new QPlainTextEdit(this);
    MParams->setObjectName(QStringLiteral("MParams"));
    MParams->setReadOnly(true);
    MParams->setLineWrapMode(QPlainTextEdit::NoWrap);

    RBLocal = new QRadioButton(QStringLiteral("Local"), this);
    RBLocal->setObjectName(QStringLiteral("RBLocal"));
    RBRemote = new QRadioButton(QStringLiteral("Remote"), this);
    RBRemote->setObjectName(QStringLiteral("RBRemote"));

    BtnOK = new QPushButton(QStringLiteral("Connect"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Aliases:"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Parameters:"), this), 0, 1);
    grid->addWidget(LBAliases, 1, 0);
    grid->addWidget(MParams, 1, 1);
    grid->setColumnStretch(1, 2);
    auto *radios = new QHBoxLayout;
    radios->addWidget(RBLocal);
    radios->addWidget(RBRemote);
    radios->addStretch();
    radios->addWidget(BtnOK);
    radios->addWidget(BtnCancel);
    auto *l = new QVBoxLayout(this);
    l->addLayout(grid, 1);
    l->addLayout(radios);
    resize(520, 300);

    connect(LBAliases, &QListWidget::currentRowChanged, this, &TfmAliases::LBAliasesClick);
    connect(BtnOK, &QPushButton::clicked, this, &TfmAliases::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(RBLocal, &QRadioButton::clicked, this, &TfmAliases::RBLocalClick);
    connect(RBRemote, &QRadioButton::clicked, this, &TfmAliases::RBRemoteClick);
    syncRadios();
}

void TfmAliases::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TfmAliases::FormShow()
{
    const QSignalBlocker block(LBAliases);
    LBAliases->clear();
    MParams->clear();
    try {
        // The privilege manager may have saved aliases since the last show.
        engine::Session::reloadConfigFile();
    } catch (const engine::Error &e) {
        // The aliases read before are still offered.
        platform::Prompter::instance().message(platform::Prompter::Icon::Error, windowTitle(), e.message());
    }
    try {
        LBAliases->addItems(engine::Session::defaultSession().aliasNames());
    } catch (const engine::Error &e) {
        platform::Prompter::instance().message(platform::Prompter::Icon::Error, windowTitle(), e.message());
        return;
    }
    if (LBAliases->count() > 0)
        LBAliases->setCurrentRow(0);
    LBAliasesClick();
    syncRadios();
}

void TfmAliases::LBAliasesClick()
{
    MParams->clear();
    QListWidgetItem *item = LBAliases->currentItem();
    if (!item)
        return;
    try {
        MParams->setPlainText(engine::Session::defaultSession().aliasParams(item->text()).join(QLatin1Char('\n')));
        platform::fitLines(MParams);
    } catch (const engine::Error &e) {
        platform::Prompter::instance().message(platform::Prompter::Icon::Error, windowTitle(), e.message());
    }
}

void TfmAliases::BtnOKClick()
{
    QListWidgetItem *item = LBAliases->currentItem();
    const QStringList lines = MParams->toPlainText().split(QLatin1Char('\n'));
    if (!item) {
        platform::Prompter::instance().message(platform::Prompter::Icon::Error, windowTitle(),
                                               QStringLiteral("No alias is selected"));
        return;
    }
    if (lines.size() < 2) {
        // The user line is the alias's second parameter line.
        platform::Prompter::instance().message(platform::Prompter::Icon::Error, windowTitle(),
                                               QStringLiteral("List index out of bounds (1)"));
        return;
    }
    SelectedAlias = item->text();
    UserLine = lines.at(1);
    accept();
}

// Only a change of the checked button flips the choice: clicking the button
// that is already checked changes nothing.
void TfmAliases::RBLocalClick()
{
    *m_serverIsLocal = true;
    syncRadios();
}

void TfmAliases::RBRemoteClick()
{
    *m_serverIsLocal = false;
    syncRadios();
}

void TfmAliases::syncRadios()
{
    RBLocal->setChecked(*m_serverIsLocal);
    RBRemote->setChecked(!*m_serverIsLocal);
}
