// The connection page: session information and alias administration, and
// the connect and disconnect commands.
#include "privileges/grant_un.h"

#include "platform/DockLayout.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTreeWidget>

using platform::Align;

void TLorvane::buildConnectPage()
{
    auto *dock = new platform::DockLayout(Connect);
    SessionInfo = new QGroupBox(QStringLiteral("SessionInfo"), Connect);
    SessionInfo->setObjectName(QStringLiteral("SessionInfo"));
    dock->addDocked(SessionInfo, Align::Left, 200);
    Aliases = new QGroupBox(QStringLiteral("Aliases"), Connect);
    Aliases->setObjectName(QStringLiteral("Aliases"));
    dock->addDocked(Aliases, Align::Client);

    Nt = new QLabel(SessionInfo);
    Nt->setObjectName(QStringLiteral("Nt"));
    Nt->setGeometry(8, 18, 184, 16);
    Un = new QLabel(SessionInfo);
    Un->setObjectName(QStringLiteral("Un"));
    Un->setGeometry(8, 36, 184, 16);
    SsInfo = new QListWidget(SessionInfo);
    SsInfo->setObjectName(QStringLiteral("SsInfo"));
    SsInfo->setGeometry(8, 56, 184, 200);

    AliasParams = new QTableWidget(0, 2, Aliases);
    AliasParams->setObjectName(QStringLiteral("AliasParams"));
    AliasParams->setGeometry(8, 56, 260, 200);
    // A thin header without titles: its lines are where the user drags a
    // column wider or narrower (row 0 holds the grid's own heading).
    AliasParams->setHorizontalHeaderLabels({QString(), QString()});
    AliasParams->horizontalHeader()->setFixedHeight(6);
    AliasParams->verticalHeader()->hide();
    AliasParams->horizontalHeader()->setDefaultSectionSize(160);
    AliasParams->verticalHeader()->setDefaultSectionSize(20);

    aliasbox = new QTreeWidget(Aliases);
    aliasbox->setObjectName(QStringLiteral("aliasbox"));
    aliasbox->setColumnCount(1);
    aliasbox->setHeaderLabels({QStringLiteral("       AliasList")});
    aliasbox->header()->resizeSection(0, 128);
    aliasbox->setRootIsDecorated(false);
    aliasbox->setSortingEnabled(true);
    aliasbox->sortByColumn(0, Qt::AscendingOrder);
    aliasbox->setGeometry(272, 56, 140, 110);

    AddAliasBtn = new QPushButton(QStringLiteral("        &Add"), Aliases);
    AddAliasBtn->setObjectName(QStringLiteral("AddAliasBtn"));
    AddAliasBtn->setGeometry(272, 170, 140, 26);
    ModifyAliasBtn = new QPushButton(QStringLiteral("     &Modify"), Aliases);
    ModifyAliasBtn->setObjectName(QStringLiteral("ModifyAliasBtn"));
    ModifyAliasBtn->setGeometry(272, 200, 140, 26);
    DelAliasBtn = new QPushButton(QStringLiteral("      &Delete"), Aliases);
    DelAliasBtn->setObjectName(QStringLiteral("DelAliasBtn"));
    DelAliasBtn->setGeometry(272, 230, 140, 26);

    DefParamList = new QComboBox(Aliases);
    DefParamList->setObjectName(QStringLiteral("DefParamList"));
    DefParamList->hide();

    connect(aliasbox, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { guarded([this, item] { AliasBoxChange(item); }); });
    connect(AliasParams, &QTableWidget::cellClicked, this, [this] { guarded([this] { AliasParamsClick(); }); });
    connect(AliasParams, &QTableWidget::currentCellChanged, this, [this] { guarded([this] { AliasParamsClick(); }); });
    connect(AliasParams->verticalScrollBar(), &QScrollBar::valueChanged, this, &TLorvane::AliasParamsTopLeftChanged);
    // The in-place list keeps to its cell when the user resizes a column.
    connect(AliasParams->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (DefParamListTag == 1)
            placeDefParamList();
    });
    connect(DefParamList, &QComboBox::activated, this, &TLorvane::DefParamListChange);
    DefParamList->installEventFilter(this); // opening the list fills the drivers
    bind(AddAliasBtn, &TLorvane::AddAliasBtnClick);
    bind(ModifyAliasBtn, &TLorvane::ModifyAliasBtnClick);
    bind(DelAliasBtn, &TLorvane::DelAliasBtnClick);
}
