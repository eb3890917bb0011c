// The metadata browser: its eight pages, the DDL commands on their rows,
// the "New" templates, the table views, the data page with its BLOB views,
// the incremental search and the page-change reloads.
#include "workbench/fBrowser.h"

#include "engine/Error.h"
#include "engine/RowWriter.h"
#include "platform/GridColumns.h"
#include "engine/ScrollingQuery.h"
#include "engine/SqlText.h"
#include "engine/Transaction.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "workbench/DM1.h"
#include "workbench/Export.h"
#include "workbench/Grids.h"
#include "workbench/MetaCommands.h"
#include "workbench/fNewCol.h"
#include "workbench/mysimplere.h"

#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

using metacmd::Dropped;

namespace {

const QString kDropNow = QStringLiteral("Drop now?");
const QString kBlobHint = QStringLiteral("   Hint: Press \"Hide BLOB\" button to table change.");
const QStringList kIndexButtons{QStringLiteral("SBIndexActive"), QStringLiteral("SBIndexInactive"),
                                QStringLiteral("SBIndexBalance"), QStringLiteral("SBIndexStatistics"),
                                QStringLiteral("SBDropIndex")};
const QStringList kTriggerButtons{QStringLiteral("SBTriggerActive"), QStringLiteral("SBTriggerInactive"),
                                  QStringLiteral("SBDropTrigger")};
const char *const kMemoControls[] = {"SBReadTextFromFile", "SBWriteTextToFile", "SBCutMemo", "SBCopyMemo",
                                     "SBPasteMemo"};
const char *const kImageControls[] = {"SBCutImage", "SBCopyImage", "SBPasteImage"};

// The name in a list's current row; empty when it has none.
QString nameOf(engine::DataSet &list, const QString &field)
{
    return list.isActive() && !list.isEmpty() ? list.fieldByName(field).asString() : QString();
}

QString currentTable()
{
    return nameOf(DM->QTables, QStringLiteral("RDB$RELATION_NAME"));
}

// The current table for a command that names it: refused (engine::Error)
// when a statement cannot carry its name.
QString nameableTable()
{
    const QString table = currentTable();
    engine::requirePlainIdentifier(table);
    return table;
}

QString currentColumn()
{
    return nameOf(DM->QColumns, QStringLiteral("RDB$FIELD_NAME"));
}

void setShown(TfmBrowser &w, const QString &show, const QString &hide, bool shown)
{
    w.button(show)->setChecked(shown);
    w.button(hide)->setChecked(!shown);
}

// One row of the command table: what is checked and asked first, the
// statements, and the steps after them (commit() ends the command's own
// transaction where the table puts it).
struct MetaCommand {
    engine::DataSet *nonEmptyList = nullptr;
    QString question;
    bool ownTransaction = true;
    std::function<QStringList()> statements;
    // 3: sent in dialect 3 on the connection rather than through Q6.
    int dialect = 1;
    std::function<void(const std::function<void()> &commit)> after;
    std::function<void()> afterFailure;
};

// Passes key presses that carry a character to the list's search; Tab keeps
// its part of moving the focus.
class SearchKeys : public QObject {
public:
    SearchKeys(QWidget *grid, std::function<void(QChar)> handler) : QObject(grid), m_handler(std::move(handler))
    {
        grid->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        const auto *k = static_cast<QKeyEvent *>(e);
        if (k->text().isEmpty() || k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab)
            return false;
        m_handler(k->text().at(0));
        return true;
    }

private:
    std::function<void(QChar)> m_handler;
};

QVBoxLayout *column(QWidget *w)
{
    auto *l = new QVBoxLayout(w);
    l->setContentsMargins(2, 2, 2, 2);
    l->setSpacing(2);
    return l;
}

QHBoxLayout *bar(QVBoxLayout *page)
{
    auto *b = new QHBoxLayout;
    b->setSpacing(2);
    page->addLayout(b);
    return b;
}

QPlainTextEdit *memo(QWidget *parent, const QString &name, const QString &caption, QVBoxLayout *l, int height = 70)
{
    if (!caption.isEmpty())
        l->addWidget(new QLabel(caption, parent));
    auto *m = new QPlainTextEdit(parent);
    m->setObjectName(name);
    m->setReadOnly(true);
    m->setMaximumHeight(height);
    l->addWidget(m);
    return m;
}

// A memo that shows one field of a list's current row.
void follow(QPlainTextEdit *m, engine::DataSet &ds, const QString &field)
{
    auto show = [m, &ds, field] { m->setPlainText(nameOf(ds, field)); };
    QObject::connect(&ds, &engine::DataSet::dataChanged, m, show);
    QObject::connect(&ds, &engine::DataSet::afterClose, m, show);
}

// Only these fields of a list show in its grid, in this order: its other
// columns feed the calculated ones and the memos. Set once, at the first open.
void showOnly(engine::DataSet &ds, const QStringList &visible)
{
    ds.setFieldOrder(visible);
    QObject::connect(&ds, &engine::DataSet::afterOpen, &ds, [&ds, visible] {
        for (const engine::FieldDef &f : ds.fields())
            if (f.visible && !visible.contains(f.name, Qt::CaseInsensitive))
                ds.setFieldVisible(f.name, false);
    });
}

void setVisibleFields(TDM &dm)
{
    showOnly(dm.QDomain, {"RDB$FIELD_NAME", "DomainType", "RDB$SEGMENT_LENGTH"});
    showOnly(dm.QColumns, {"RDB$FIELD_NAME", "FieldType", "PK", "FK", "RefTo"});
    showOnly(dm.QIndex, {"RDB$INDEX_NAME", "IsUnique", "State", "RDB$STATISTICS"});
    showOnly(dm.QIndexFields, {"RDB$FIELD_NAME"});
    showOnly(dm.QTableTrigger, {"RDB$TRIGGER_NAME", "TriggerState", "TriggerType", "RDB$TRIGGER_SEQUENCE"});
    showOnly(dm.QUDF, {"RDB$FUNCTION_NAME", "RDB$MODULE_NAME", "RDB$ENTRYPOINT"});
    showOnly(dm.QFArg, {"RDB$ARGUMENT_POSITION", "Type", "Mechanism"});
    showOnly(dm.QView, {"RDB$VIEW_NAME", "RDB$RELATION_NAME"});
    showOnly(dm.QDepend, {"RDB$DEPENDENT_NAME", "WhatType", "RDB$DEPENDED_ON_NAME", "FromType"});
    showOnly(dm.QProc, {"RDB$PROCEDURE_NAME"});
}

QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

} // namespace

// ---------------------------------------------------------------- pages

QToolButton *TfmBrowser::metaButton(QWidget *parent, const QString &name, const QString &caption,
                                    void (TfmBrowser::*slot)(), const QString &hint)
{
    QToolButton *b = makeButton(parent, name, hint);
    b->setText(caption);
    b->setEnabled(false);
    b->setProperty("enabledOnConnect", true);
    connect(b, &QToolButton::clicked, this, slot);
    return b;
}

void TfmBrowser::buildMetaPages(QWidget *browserPage)
{
    auto *l = column(browserPage);
    PCBrowser = new QTabWidget(browserPage);
    PCBrowser->setObjectName(QStringLiteral("PCBrowser"));
    l->addWidget(PCBrowser);
    PCBrowser->addTab(buildDomainsPage(), QStringLiteral("Domains"));
    PCBrowser->addTab(buildTablesPage(), QStringLiteral("Tables"));
    for (const char *p : {"Dependencies", "Generators", "UDFs", "Views", "Exceptions", "Procedures"})
        PCBrowser->addTab(buildListPage(QStringLiteral("TS") + QLatin1String(p), QLatin1String(p)), QLatin1String(p));
    buildDetailPages();
    setVisibleFields(*DM);
    connectMetaSignals();
    connect(PCBrowser, &QTabWidget::currentChanged, this, &TfmBrowser::PCBrowserChange);
}

QWidget *TfmBrowser::buildDomainsPage()
{
    auto *p = new QWidget(PCBrowser);
    p->setObjectName(QStringLiteral("TSDomains"));
    auto *l = column(p);
    QHBoxLayout *b = bar(l);
    b->addWidget(metaButton(p, QStringLiteral("SBNewDomain"), QStringLiteral("New"), &TfmBrowser::SBNewDomainClick));
    b->addWidget(metaButton(p, QStringLiteral("SBDropDomain"), QStringLiteral("Drop"), &TfmBrowser::SBDropDomainClick));
    b->addStretch();
    DBGDomain = grids::dataGrid(p, QStringLiteral("DBGDomain"), &DM->QDomain);
    l->addWidget(DBGDomain, 1);
    MemoCheck = memo(p, QStringLiteral("MemoCheck"), QStringLiteral("Check condition:"), l);
    MemoDefault = memo(p, QStringLiteral("MemoDefault"), QStringLiteral("Default value:"), l);
    follow(MemoCheck, DM->QDomain, QStringLiteral("RDB$VALIDATION_SOURCE"));
    follow(MemoDefault, DM->QDomain, QStringLiteral("RDB$DEFAULT_SOURCE"));
    return p;
}

QWidget *TfmBrowser::buildTablesPage()
{
    auto *p = new QWidget(PCBrowser);
    p->setObjectName(QStringLiteral("TSTables"));
    auto *l = column(p);
    QHBoxLayout *b = bar(l);
    b->addWidget(metaButton(p, QStringLiteral("SBNewTable"), QStringLiteral("New"), &TfmBrowser::SBNewTableClick));
    b->addWidget(metaButton(p, QStringLiteral("SBDropTable"), QStringLiteral("Drop"), &TfmBrowser::SBDropTableClick));
    b->addSpacing(8);
    SpeedButton1 = makeButton(p, QStringLiteral("SpeedButton1"), QStringLiteral("User tables"));
    SpeedButton1->setText(QStringLiteral("User"));
    SpeedButton2 = makeButton(p, QStringLiteral("SpeedButton2"), QStringLiteral("System tables"));
    SpeedButton2->setText(QStringLiteral("Sys"));
    auto *views = new QButtonGroup(p);
    for (QToolButton *v : {SpeedButton1, SpeedButton2}) {
        v->setCheckable(true);
        views->addButton(v);
        b->addWidget(v);
    }
    SpeedButton1->setChecked(true);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfmBrowser::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TfmBrowser::SpeedButton2Click);
    b->addStretch();
    auto *split = new QSplitter(Qt::Horizontal, p);
    DBGTables = grids::dataGrid(split, QStringLiteral("DBGTables"), &DM->QTables);
    split->addWidget(DBGTables);
    split->addWidget(buildColumnTabs(split));
    split->setStretchFactor(1, 3);
    l->addWidget(split, 1);
    return p;
}

QWidget *TfmBrowser::buildColumnTabs(QWidget *parent)
{
    PCColumns = new QTabWidget(parent);
    PCColumns->setObjectName(QStringLiteral("PCColumns"));

    auto *cols = new QWidget(PCColumns);
    cols->setObjectName(QStringLiteral("TSColumns"));
    auto *l = column(cols);
    QHBoxLayout *b = bar(l);
    b->addWidget(metaButton(cols, QStringLiteral("SBNewCol"), QStringLiteral("New"), &TfmBrowser::SBNewColClick));
    b->addWidget(metaButton(cols, QStringLiteral("SBDropCol"), QStringLiteral("Drop"), &TfmBrowser::SBDropColClick));
    b->addWidget(metaButton(cols, QStringLiteral("SBFromCol"), QStringLiteral("From"), &TfmBrowser::SBFromColClick));
    b->addWidget(metaButton(cols, QStringLiteral("SBToCol"), QStringLiteral("To"), &TfmBrowser::SBToColClick));
    b->addWidget(metaButton(cols, QStringLiteral("SBCopyCol"), QStringLiteral("Copy"), &TfmBrowser::SBCopyColClick));
    QToolButton *refresh = makeButton(cols, QStringLiteral("SBRefreshAll"), QStringLiteral("Refresh PK/FK"));
    refresh->setText(QStringLiteral("Refresh"));
    refresh->setEnabled(false);
    connect(refresh, &QToolButton::clicked, this, &TfmBrowser::SBRefreshAllClick);
    b->addWidget(refresh);
    CBVerboseCol = checkBox(cols, QStringLiteral("CBVerboseCol"), QStringLiteral("Verbose"));
    CBVerboseCol->setEnabled(false);
    connect(CBVerboseCol, &QCheckBox::clicked, this, &TfmBrowser::CBVerboseColClick);
    b->addWidget(CBVerboseCol);
    b->addStretch();
    DBGColumns = grids::dataGrid(cols, QStringLiteral("DBGColumns"), &DM->QColumns);
    l->addWidget(DBGColumns, 1);
    MemoComputed = memo(cols, QStringLiteral("MemoComputed"), QStringLiteral("Computed by"), l, 50);
    follow(MemoComputed, DM->QColumns, QStringLiteral("RDB$COMPUTED_SOURCE"));
    PCColumns->addTab(cols, QStringLiteral("Columns"));

    auto *idx = new QWidget(PCColumns);
    idx->setObjectName(QStringLiteral("TSIndexes"));
    l = column(idx);
    b = bar(l);
    b->addWidget(metaButton(idx, QStringLiteral("SBIndexActive"), QStringLiteral("Active"), &TfmBrowser::SBIndexActiveClick));
    b->addWidget(metaButton(idx, QStringLiteral("SBIndexInactive"), QStringLiteral("Inactive"), &TfmBrowser::SBIndexInactiveClick));
    b->addWidget(metaButton(idx, QStringLiteral("SBIndexBalance"), QStringLiteral("Balance"), &TfmBrowser::SBIndexBalanceClick));
    b->addWidget(metaButton(idx, QStringLiteral("SBIndexStatistics"), QStringLiteral("Set Statistics"), &TfmBrowser::SBIndexStatisticsClick));
    b->addWidget(metaButton(idx, QStringLiteral("SBDropIndex"), QStringLiteral("Drop"), &TfmBrowser::SBDropIndexClick));
    b->addWidget(metaButton(idx, QStringLiteral("SBNewIndex"), QStringLiteral("New"), &TfmBrowser::SBNewIndexClick));
    b->addStretch();
    DBGIndex = grids::dataGrid(idx, QStringLiteral("DBGIndex"), &DM->QIndex);
    DBGIndexFields = grids::dataGrid(idx, QStringLiteral("DBGIndexFields"), &DM->QIndexFields);
    DBGIndexFields->setMaximumHeight(90);
    l->addWidget(DBGIndex, 1);
    l->addWidget(DBGIndexFields);
    PCColumns->addTab(idx, QStringLiteral("Indexes"));

    auto *trg = new QWidget(PCColumns);
    trg->setObjectName(QStringLiteral("TSTableTriggers"));
    l = column(trg);
    b = bar(l);
    b->addWidget(metaButton(trg, QStringLiteral("SBTriggerActive"), QStringLiteral("Active"), &TfmBrowser::SBTriggerActiveClick));
    b->addWidget(metaButton(trg, QStringLiteral("SBTriggerInactive"), QStringLiteral("Inactive"), &TfmBrowser::SBTriggerInactiveClick));
    b->addWidget(metaButton(trg, QStringLiteral("SBDropTrigger"), QStringLiteral("Drop"), &TfmBrowser::SBDropTriggerClick));
    b->addStretch();
    DBGTableTrigger = grids::dataGrid(trg, QStringLiteral("DBGTableTrigger"), &DM->QTableTrigger);
    l->addWidget(DBGTableTrigger, 1);
    MemoTrigger = memo(trg, QStringLiteral("MemoTrigger"), QStringLiteral("Trigger's body:"), l, 110);
    follow(MemoTrigger, DM->QTableTrigger, QStringLiteral("RDB$TRIGGER_SOURCE"));
    PCColumns->addTab(trg, QStringLiteral("Triggers"));

    PCColumns->addTab(buildDataTab(), QStringLiteral("Data"));

    auto *con = new QWidget(PCColumns);
    con->setObjectName(QStringLiteral("TSConstraints"));
    l = column(con);
    b = bar(l);
    b->addWidget(metaButton(con, QStringLiteral("SBDropConstraint"), QStringLiteral("Drop"), &TfmBrowser::SBDropConstraintClick));
    b->addWidget(metaButton(con, QStringLiteral("SBNewConstraint"), QStringLiteral("New"), &TfmBrowser::SBNewConstraintClick));
    b->addStretch();
    DBGConstraints = grids::dataGrid(con, QStringLiteral("DBGConstraints"), &DM->QConstraints);
    l->addWidget(DBGConstraints, 1);
    PCColumns->addTab(con, QStringLiteral("Constarints"));
    connect(PCColumns, &QTabWidget::currentChanged, this, &TfmBrowser::PCColumnsChange);
    return PCColumns;
}

namespace {

// A row of navigation and edit buttons; each given action gets a button of
// its name ("First", "Post", ...).
QWidget *navigator(QWidget *parent, const QString &name,
                   const std::vector<std::pair<QString, std::function<void()>>> &actions)
{
    auto *w = new QWidget(parent);
    w->setObjectName(name);
    auto *l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(1);
    for (const auto &a : actions) {
        auto *b = new QToolButton(w);
        b->setObjectName(a.first);
        b->setText(a.first);
        QObject::connect(b, &QToolButton::clicked, w, a.second);
        l->addWidget(b);
    }
    return w;
}

} // namespace

QWidget *TfmBrowser::buildDataTab()
{
    auto *data = new QWidget(PCColumns);
    data->setObjectName(QStringLiteral("TSData"));
    PCData = new QTabWidget(data);
    PCData->setObjectName(QStringLiteral("PCData"));
    column(data)->addWidget(PCData);

    auto *rows = new QWidget(PCData);
    rows->setObjectName(QStringLiteral("TSRowData"));
    auto *l = column(rows);
    QHBoxLayout *b = bar(l);
    b->addWidget(metaButton(rows, QStringLiteral("SBExportData"), QStringLiteral("Export"),
                            &TfmBrowser::SBExportDataClick, QStringLiteral("Export to the text file")));
    DBGrid4 = new QTableView(rows);
    DBGrid4->setObjectName(QStringLiteral("DBGrid4"));
    DataGridModel = new engine::ScrollingModel(&DM->TCurrentRows, DBGrid4);
    DBGrid4->setModel(DataGridModel);
    DBGrid4->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid4->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid4->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid4->verticalHeader()->setDefaultSectionSize(18);
    platform::fitColumnsWhenFilled(DBGrid4);
    connect(DataGridModel, &engine::ScrollingModel::fetchFailed, this, &TfmBrowser::ShowError);
    auto go = [this](int row) {
        if (DataGridModel->ensureRow(row))
            DBGrid4->selectRow(row);
    };
    auto here = [this] { return DBGrid4->currentIndex().isValid() ? DBGrid4->currentIndex().row() : -1; };
    DBNavigator1 = navigator(rows, QStringLiteral("DBNavigator1"),
                             {{QStringLiteral("First"), [go] { go(0); }},
                              {QStringLiteral("Prior"), [go, here] { go(qMax(0, here() - 1)); }},
                              {QStringLiteral("Next"), [go, here] { go(here() + 1); }},
                              {QStringLiteral("Last"), [this, go] {
                                   while (DataGridModel->canFetchMore(QModelIndex()))
                                       DataGridModel->fetchMore(QModelIndex());
                                   go(DataGridModel->rowCount() - 1);
                               }},
                              {QStringLiteral("Refresh"), [this] {
                                   try {
                                       OpenTableData();
                                   } catch (const engine::Error &) {
                                   }
                               }}});
    b->addWidget(DBNavigator1);
    b->addStretch();
    l->addWidget(DBGrid4, 1);
    PCData->addTab(rows, QStringLiteral("RowData"));

    // The two BLOB views share their shape: Show and Hide (Hide down), the
    // clipboard tools, a navigator, the column's name and the view.
    auto blobPage = [this](const QString &name, const QString &what, const QString &key, void (TfmBrowser::*show)(),
                           void (TfmBrowser::*hide)(), const QStringList &tools) {
        auto *page = new QWidget(PCData);
        page->setObjectName(name);
        QVBoxLayout *pageLayout = column(page);
        QHBoxLayout *toolsBar = bar(pageLayout);
        auto *group = new QButtonGroup(page);
        for (QToolButton *t : {metaButton(page, "SBShow" + key, "Show " + what, show),
                               metaButton(page, "SBHide" + key, "Hide " + what, hide)}) {
            t->setCheckable(true);
            group->addButton(t);
            toolsBar->addWidget(t);
        }
        button("SBHide" + key)->setChecked(true);
        for (int i = 0; i + 1 < tools.size(); i += 2)
            toolsBar->addWidget(makeButton(page, tools[i], tools[i + 1]));
        return std::make_tuple(page, pageLayout, toolsBar);
    };
    auto [memoPage, memoLayout, memoBar] =
        blobPage(QStringLiteral("TSBlobMemo"), QStringLiteral("BLOB"), QStringLiteral("Blob"), &TfmBrowser::SBShowBlobClick,
                 &TfmBrowser::SBHideBlobClick,
                 {"SBCutMemo", "Cut", "SBCopyMemo", "Copy", "SBPasteMemo", "Paste", "SBReadTextFromFile",
                  "Read text from file", "SBWriteTextToFile", "Write text to file"});
    l = memoLayout;
    b = memoBar;
    DBNavigator2 = navigator(memoPage, QStringLiteral("DBNavigator2"),
                             {{QStringLiteral("Post"), [this] { postMemo(); }},
                              {QStringLiteral("Cancel"), [this] {
                                   DBDataMemo->setPlainText(nameOf(DM->TCurrent2, BlobColumnName));
                               }}});
    b->addWidget(DBNavigator2);
    LFieldMemo = new QLabel(memoPage);
    LFieldMemo->setObjectName(QStringLiteral("LFieldMemo"));
    b->addWidget(LFieldMemo);
    b->addStretch();
    DBDataMemo = new QPlainTextEdit(memoPage);
    DBDataMemo->setObjectName(QStringLiteral("DBDataMemo"));
    DBDataMemo->setReadOnly(true);
    l->addWidget(DBDataMemo, 1);
    PCData->addTab(memoPage, QStringLiteral("BLOB as Memo"));

    auto [imagePage, imageLayout, imageBar] =
        blobPage(QStringLiteral("TSBlobImage"), QStringLiteral("Image"), QStringLiteral("Image"),
                 &TfmBrowser::SBShowImageClick, &TfmBrowser::SBHideImageClick,
                 {"SBCutImage", "Cut", "SBCopyImage", "Copy", "SBPasteImage", "Paste"});
    l = imageLayout;
    b = imageBar;
    DBNavigator3 = navigator(imagePage, QStringLiteral("DBNavigator3"),
                             {{QStringLiteral("Post"), [this] { postImage(); }},
                              {QStringLiteral("Cancel"), [this] {
                                   if (ImageShown) {
                                       HideImage();
                                       ShowImage();
                                   }
                               }}});
    b->addWidget(DBNavigator3);
    LFieldImage = new QLabel(imagePage);
    LFieldImage->setObjectName(QStringLiteral("LFieldImage"));
    b->addWidget(LFieldImage);
    b->addStretch();
    DBDataImage = new QLabel(imagePage);
    DBDataImage->setObjectName(QStringLiteral("DBDataImage"));
    DBDataImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->addWidget(DBDataImage, 1);
    PCData->addTab(imagePage, QStringLiteral("BLOB as Image"));

    const std::pair<const char *, void (TfmBrowser::*)()> clipboard[] = {
        {"SBCutMemo", &TfmBrowser::SBCutMemoClick},       {"SBCopyMemo", &TfmBrowser::SBCopyMemoClick},
        {"SBPasteMemo", &TfmBrowser::SBPasteMemoClick},   {"SBReadTextFromFile", &TfmBrowser::SBReadTextFromFileClick},
        {"SBWriteTextToFile", &TfmBrowser::SBWriteTextToFileClick}, {"SBCutImage", &TfmBrowser::SBCutImageClick},
        {"SBCopyImage", &TfmBrowser::SBCopyImageClick},   {"SBPasteImage", &TfmBrowser::SBPasteImageClick}};
    for (const auto &c : clipboard) {
        auto *t = static_cast<QToolButton *>(button(QLatin1String(c.first)));
        t->setText(t->toolTip());
        t->setEnabled(false);
        connect(t, &QToolButton::clicked, this, c.second);
    }
    DBNavigator2->setEnabled(false);
    DBNavigator3->setEnabled(false);
    return data;
}

QWidget *TfmBrowser::buildListPage(const QString &name, const QString &caption)
{
    auto *p = new QWidget(PCBrowser);
    p->setObjectName(name);
    Q_UNUSED(caption);
    bar(column(p));
    return p;
}

// The six lists after the tables: their buttons, grids and memos.
void TfmBrowser::buildDetailPages()
{
    auto page = [this](int index) {
        QWidget *p = PCBrowser->widget(index);
        auto *l = static_cast<QVBoxLayout *>(p->layout());
        return std::make_tuple(p, l, static_cast<QHBoxLayout *>(l->itemAt(0)->layout()));
    };

    auto [dep, depL, depB] = page(2);
    CBDebDep = checkBox(dep, QStringLiteral("CBDebDep"), QStringLiteral("Show debug dependencies"));
    connect(CBDebDep, &QCheckBox::clicked, this, &TfmBrowser::CBDebDepClick);
    depB->addWidget(CBDebDep);
    depB->addStretch();
    DBGDepend = grids::dataGrid(dep, QStringLiteral("DBGDepend"), &DM->QDepend);
    DBGDepDetail = grids::dataGrid(dep, QStringLiteral("DBGDepDetail"), &DM->QDepend2);
    DBGDepDetail->setMaximumHeight(110);
    depL->addWidget(DBGDepend, 1);
    depL->addWidget(DBGDepDetail);

    auto [gen, genL, genB] = page(3);
    SBSetGenValue = makeButton(gen, QStringLiteral("SBSetGenValue"), QString());
    SBSetGenValue->setText(QStringLiteral("Set new value ="));
    connect(SBSetGenValue, &QToolButton::clicked, this, &TfmBrowser::SBSetGenValueClick);
    EditGenValue = new QLineEdit(gen);
    EditGenValue->setObjectName(QStringLiteral("EditGenValue"));
    EditGenValue->setMaximumWidth(140);
    genB->addWidget(SBSetGenValue);
    genB->addWidget(EditGenValue);
    genB->addWidget(metaButton(gen, QStringLiteral("SBDropGen"), QStringLiteral("Drop"), &TfmBrowser::SBDropGenClick));
    genB->addWidget(metaButton(gen, QStringLiteral("SBNewGen"), QStringLiteral("New"), &TfmBrowser::SBNewGenClick));
    CBDebGen = checkBox(gen, QStringLiteral("CBDebGen"), QStringLiteral("Show debug generators"));
    connect(CBDebGen, &QCheckBox::clicked, this, &TfmBrowser::CBDebGenClick);
    genB->addWidget(CBDebGen);
    genB->addStretch();
    DBGGenerator = grids::dataGrid(gen, QStringLiteral("DBGGenerator"), &DM->QGenerator);
    genL->addWidget(DBGGenerator, 1);

    auto [udf, udfL, udfB] = page(4);
    udfB->addWidget(metaButton(udf, QStringLiteral("SBNewUDF"), QStringLiteral("New"), &TfmBrowser::SBNewUDFClick));
    udfB->addWidget(metaButton(udf, QStringLiteral("SBDropUDF"), QStringLiteral("Drop"), &TfmBrowser::SBDropUDFClick));
    udfB->addStretch();
    DBGrid3 = grids::dataGrid(udf, QStringLiteral("DBGrid3"), &DM->QUDF);
    DBGF_Arg = grids::dataGrid(udf, QStringLiteral("DBGF_Arg"), &DM->QFArg);
    DBGF_Arg->setMaximumHeight(110);
    udfL->addWidget(DBGrid3, 1);
    udfL->addWidget(new QLabel(QStringLiteral("Arguments"), udf));
    udfL->addWidget(DBGF_Arg);

    auto [view, viewL, viewB] = page(5);
    viewB->addWidget(metaButton(view, QStringLiteral("SBNewView"), QStringLiteral("New"), &TfmBrowser::SBNewViewClick));
    viewB->addWidget(metaButton(view, QStringLiteral("SBDropView"), QStringLiteral("Drop"), &TfmBrowser::SBDropViewClick));
    viewB->addStretch();
    DBGView = grids::dataGrid(view, QStringLiteral("DBGView"), &DM->QView);
    viewL->addWidget(DBGView, 1);
    MemoView = memo(view, QStringLiteral("MemoView"), QString(), viewL, 110);
    follow(MemoView, DM->QView, QStringLiteral("RDB$VIEW_SOURCE"));

    auto [exc, excL, excB] = page(6);
    excB->addWidget(metaButton(exc, QStringLiteral("SBNewException"), QStringLiteral("New"), &TfmBrowser::SBNewExceptionClick));
    excB->addWidget(metaButton(exc, QStringLiteral("SBDropException"), QStringLiteral("Drop"), &TfmBrowser::SBDropExceptionClick));
    excB->addStretch();
    DGExceptions = grids::dataGrid(exc, QStringLiteral("DGExceptions"), &DM->QException);
    excL->addWidget(DGExceptions, 1);

    auto [proc, procL, procB] = page(7);
    procB->addWidget(metaButton(proc, QStringLiteral("SBDropProc"), QStringLiteral("Drop"), &TfmBrowser::SBDropProcClick));
    CBDebProc = checkBox(proc, QStringLiteral("CBDebProc"), QStringLiteral("Show debug procedures"));
    connect(CBDebProc, &QCheckBox::clicked, this, &TfmBrowser::CBDebProcClick);
    procB->addWidget(CBDebProc);
    procB->addStretch();
    DBGProcedures = grids::dataGrid(proc, QStringLiteral("DBGProcedures"), &DM->QProc);
    procL->addWidget(DBGProcedures, 1);
    MemoInParams = memo(proc, QStringLiteral("MemoInParams"), QString(), procL, 40);
    MemoOutParams = memo(proc, QStringLiteral("MemoOutParams"), QString(), procL, 40);
    MemoProcBody = memo(proc, QStringLiteral("MemoProcBody"), QStringLiteral("Procedure body:"), procL, 140);
    for (QPlainTextEdit *m : {MemoInParams, MemoOutParams})
        m->setPlainText(QStringLiteral("none"));
    follow(MemoProcBody, DM->QProc, QStringLiteral("RDB$PROCEDURE_SOURCE"));
}

void TfmBrowser::connectMetaSignals()
{
    connect(DM, &TDM::tableRowChanged, this, &TfmBrowser::tableRowChanged);
    connect(DM, &TDM::columnRowChanged, this, [this] {
        LFieldMemo->setText(currentColumn());
        LFieldImage->setText(currentColumn());
    });
    connect(DM, &TDM::procParamsChanged, this, [this] {
        MemoInParams->setPlainText(DM->InParamsText);
        MemoOutParams->setPlainText(DM->OutParamsText);
    });
    const std::pair<QTableView *, void (TfmBrowser::*)(QChar)> searchable[] = {
        {DBGDomain, &TfmBrowser::DBGDomainKeyPress},       {DBGTables, &TfmBrowser::DBGTablesKeyPress},
        {DBGDepend, &TfmBrowser::DBGDependKeyPress},       {DBGGenerator, &TfmBrowser::DBGGeneratorKeyPress},
        {DBGrid3, &TfmBrowser::DBGrid3KeyPress},           {DBGView, &TfmBrowser::DBGViewKeyPress},
        {DGExceptions, &TfmBrowser::DGExceptionsKeyPress}, {DBGProcedures, &TfmBrowser::DBGProceduresKeyPress}};
    for (const auto &s : searchable) {
        auto handler = s.second;
        new SearchKeys(s.first, [this, handler](QChar c) { (this->*handler)(c); });
    }
}

// ---------------------------------------------------------------- command frame

namespace {

bool runMetaCommand(TfmBrowser &w, const MetaCommand &c)
{
    if (c.nonEmptyList && (!c.nonEmptyList->isActive() || c.nonEmptyList->isEmpty())) {
        w.ShowMessage(QStringLiteral("List is empty!"));
        return false;
    }
    // Built before anything is asked or sent: a name the statement cannot
    // carry refuses the command with the window left as it was.
    QStringList statements;
    try {
        statements = c.statements();
    } catch (const engine::Error &e) {
        w.SetError();
        w.ShowError(e.message());
        return false;
    }
    if (!c.question.isEmpty()
        && platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), c.question)
               != platform::Prompter::Answer::Yes)
        return false;
    w.SetBusy();
    // The data page's cursor reads the table: a change of it must not meet
    // the cursor's open request. It is opened again afterwards.
    const bool dataOpen = DM->TCurrentRows.isOpen();
    DM->TCurrentRows.close();
    std::optional<engine::TransactionGuard> transaction;
    bool ok = true;
    try {
        if (c.ownTransaction)
            transaction.emplace(DM->Database);
        for (const QString &sql : statements) {
            if (c.dialect == 3)
                DM->Database.executeImmediate(sql, 3);
            else
                DM->Q6Exec(sql);
        }
        c.after([&transaction] {
            if (transaction)
                transaction->commit();
        });
        w.SetReady();
    } catch (const engine::Error &e) {
        if (transaction)
            transaction->rollback();
        w.SetError();
        w.ShowError(e.message());
        TfmBrowser::DefaultCursor();
        if (c.afterFailure)
            c.afterFailure();
        ok = false;
    }
    if (dataOpen) {
        try {
            w.OpenTableData();
        } catch (const engine::Error &) {
            // shown by OpenTableData
        }
    }
    return ok;
}

// A drop on one of the lists that go back to the next name afterwards.
MetaCommand dropCommand(engine::Query &list, const QString &field, Dropped kind, void (TDM::*reopen)(),
                        const QString &question = kDropNow)
{
    const QString name = nameOf(list, field);
    MetaCommand c;
    c.nonEmptyList = &list;
    c.question = question;
    c.statements = [kind, name] { return QStringList{metacmd::dropStatement(kind, name)}; };
    c.after = [&list, field, name, reopen](const std::function<void()> &commit) {
        commit();
        (DM->*reopen)();
        metacmd::repositionAfterDrop(list, field, name);
    };
    return c;
}

MetaCommand simpleCommand(std::function<QStringList()> statements, void (TDM::*reopen)(), bool commitFirst)
{
    MetaCommand c;
    c.statements = std::move(statements);
    c.after = [reopen, commitFirst](const std::function<void()> &commit) {
        if (commitFirst)
            commit();
        if (reopen)
            (DM->*reopen)();
        if (!commitFirst)
            commit();
    };
    return c;
}

QString currentIndex() { return nameOf(DM->QIndex, QStringLiteral("RDB$INDEX_NAME")); }
QString currentTrigger() { return nameOf(DM->QTableTrigger, QStringLiteral("RDB$TRIGGER_NAME")); }

// A command on the current row of a list that may have none: an empty list
// sends nothing.
MetaCommand rowCommand(engine::DataSet &list, std::function<QStringList()> statements, void (TDM::*reopen)(),
                       bool commitFirst)
{
    MetaCommand c = simpleCommand(std::move(statements), reopen, commitFirst);
    c.nonEmptyList = &list;
    return c;
}

} // namespace

void TfmBrowser::SBDropDomainClick()
{
    runMetaCommand(*this, dropCommand(DM->QDomain, QStringLiteral("RDB$FIELD_NAME"), Dropped::Domain, &TDM::ReopenDomain));
}

void TfmBrowser::SBDropTableClick()
{
    MetaCommand c = dropCommand(DM->QTables, QStringLiteral("RDB$RELATION_NAME"), Dropped::Table, &TDM::ReopenTables);
    const QString name = currentTable();
    c.after = [this, name](const std::function<void()> &commit) {
        commit();
        DM->ReopenTables();
        const bool verbose = VerboseColumns;
        VerboseColumns = false;
        metacmd::repositionAfterDrop(DM->QTables, QStringLiteral("RDB$RELATION_NAME"), name);
        VerboseColumns = verbose;
    };
    runMetaCommand(*this, c);
}

void TfmBrowser::SBDropColClick()
{
    MetaCommand c;
    c.nonEmptyList = &DM->QColumns;
    c.question = kDropNow;
    const QString table = currentTable(), col = currentColumn();
    c.statements = [table, col] { return QStringList{metacmd::dropColumnStatement(table, col)}; };
    c.after = [this](const std::function<void()> &commit) {
        commit();
        SetReady();
        DM->ReopenColumns();
    };
    c.afterFailure = [] { DM->ReopenColumns(); };
    runMetaCommand(*this, c);
}

void TfmBrowser::SBIndexActiveClick()
{
    const QString index = currentIndex();
    runMetaCommand(*this, rowCommand(DM->QIndex, [index] { return QStringList{metacmd::indexStateStatement(index, true)}; },
                                     &TDM::ReopenIndex, false));
}

void TfmBrowser::SBIndexInactiveClick()
{
    const QString index = currentIndex();
    runMetaCommand(*this, rowCommand(DM->QIndex, [index] { return QStringList{metacmd::indexStateStatement(index, false)}; },
                                     &TDM::ReopenIndex, false));
}

void TfmBrowser::SBIndexBalanceClick()
{
    const QString index = currentIndex();
    runMetaCommand(*this, rowCommand(DM->QIndex, [index] { return metacmd::balanceStatements(index); },
                                     &TDM::ReopenIndex, false));
}

void TfmBrowser::SBIndexStatisticsClick()
{
    const QString index = currentIndex();
    runMetaCommand(*this, rowCommand(DM->QIndex, [index] { return QStringList{metacmd::statisticsStatement(index)}; },
                                     &TDM::ReopenIndex, false));
}

void TfmBrowser::SBDropIndexClick()
{
    const QString index = currentIndex();
    MetaCommand c = rowCommand(DM->QIndex, [index] { return QStringList{metacmd::dropStatement(Dropped::Index, index)}; },
                               nullptr, true);
    c.question = kDropNow;
    auto indexButtons = [this] {
        for (const QString &n : kIndexButtons)
            button(n)->setEnabled(DM->QIndex.isActive() && !DM->QIndex.isEmpty());
    };
    c.after = [this, indexButtons](const std::function<void()> &commit) {
        commit();
        SetReady();
        DM->ReopenIndex();
        indexButtons();
    };
    c.afterFailure = indexButtons;
    runMetaCommand(*this, c);
}

void TfmBrowser::SBTriggerActiveClick()
{
    const QString trigger = currentTrigger();
    runMetaCommand(*this, rowCommand(DM->QTableTrigger,
                                     [trigger] { return QStringList{metacmd::triggerStateStatement(trigger, true)}; },
                                     &TDM::ReopenTrigger, false));
}

void TfmBrowser::SBTriggerInactiveClick()
{
    const QString trigger = currentTrigger();
    runMetaCommand(*this, rowCommand(DM->QTableTrigger,
                                     [trigger] { return QStringList{metacmd::triggerStateStatement(trigger, false)}; },
                                     &TDM::ReopenTrigger, false));
}

void TfmBrowser::SBDropTriggerClick()
{
    const QString trigger = currentTrigger();
    MetaCommand c = rowCommand(DM->QTableTrigger,
                               [trigger] { return QStringList{metacmd::dropStatement(Dropped::Trigger, trigger)}; },
                               &TDM::ReopenTrigger, true);
    c.question = kDropNow;
    runMetaCommand(*this, c);
}

void TfmBrowser::SBDropConstraintClick()
{
    const QString table = currentTable();
    const QString constraint = nameOf(DM->QConstraints, QStringLiteral("RDB$CONSTRAINT_NAME"));
    MetaCommand c = simpleCommand(
        [table, constraint] { return QStringList{metacmd::dropConstraintStatement(table, constraint)}; },
        &TDM::ReopenConstraints, true);
    c.nonEmptyList = &DM->QConstraints;
    c.question = kDropNow;
    runMetaCommand(*this, c);
}

void TfmBrowser::SBSetGenValueClick()
{
    const QString value = EditGenValue->text();
    if (value.isEmpty())
        return;
    const QString generator = nameOf(DM->QGenerator, QStringLiteral("RDB$GENERATOR_NAME"));
    MetaCommand c = simpleCommand(
        [generator, value] { return QStringList{metacmd::setGeneratorStatement(generator, value)}; },
        &TDM::ReopenGenerator, false);
    c.nonEmptyList = &DM->QGenerator;
    // A dialect-1 statement cannot carry a constant beyond 32 bits; a
    // generator holds 64.
    c.dialect = 3;
    runMetaCommand(*this, c);
}

void TfmBrowser::SBDropGenClick()
{
    MetaCommand c = dropCommand(DM->QGenerator, QStringLiteral("RDB$GENERATOR_NAME"), Dropped::Generator,
                                &TDM::ReopenGenerator);
    // The generator list is closed and opened again; nothing to commit.
    c.ownTransaction = false;
    const QString name = nameOf(DM->QGenerator, QStringLiteral("RDB$GENERATOR_NAME"));
    c.after = [name](const std::function<void()> &) {
        DM->QGenerator.close();
        DM->QGenerator.open();
        metacmd::repositionAfterDrop(DM->QGenerator, QStringLiteral("RDB$GENERATOR_NAME"), name);
    };
    runMetaCommand(*this, c);
}

void TfmBrowser::SBDropUDFClick()
{
    runMetaCommand(*this, dropCommand(DM->QUDF, QStringLiteral("RDB$FUNCTION_NAME"), Dropped::Udf, &TDM::ReopenUDF,
                                      QStringLiteral("WARNING! Interbase do NOT check PROCEDURE - UDF dependencies!\r\n"
                                                     "Be sure - there are no stored procedures/triggers containing "
                                                     "this UDF calls.\r\nDrop now?")));
}

void TfmBrowser::SBDropViewClick()
{
    runMetaCommand(*this, dropCommand(DM->QView, QStringLiteral("RDB$VIEW_NAME"), Dropped::View, &TDM::ReopenView));
}

void TfmBrowser::SBDropExceptionClick()
{
    runMetaCommand(*this, dropCommand(DM->QException, QStringLiteral("RDB$EXCEPTION_NAME"), Dropped::Exception,
                                      &TDM::ReopenException));
}

void TfmBrowser::SBDropProcClick()
{
    MetaCommand c = dropCommand(DM->QProc, QStringLiteral("RDB$PROCEDURE_NAME"), Dropped::Procedure,
                                &TDM::ReopenProcedure);
    const auto drop = c.after;
    c.after = [drop](const std::function<void()> &commit) {
        drop(commit);
        DM->QDepend.close();
        DM->QDepend.open();
    };
    runMetaCommand(*this, c);
}

void TfmBrowser::SBCopyColClick()
{
    const QString table = currentTable(), to = CopyToColumn, from = CopyFromColumn;
    MetaCommand c = simpleCommand([table, to, from] { return QStringList{metacmd::copyColumnStatement(table, to, from)}; },
                                  nullptr, true);
    runMetaCommand(*this, c);
}

void TfmBrowser::SBFromColClick() { CopyFromColumn = metacmd::copyColumnName(currentColumn()); }
void TfmBrowser::SBToColClick() { CopyToColumn = metacmd::copyColumnName(currentColumn()); }

void TfmBrowser::SBNewColClick()
{
    const QString table = currentTable();
    TfmNewCol dialog([this, table](const QString &name, const QString &type) {
        MetaCommand c = simpleCommand(
            [table, name, type] { return QStringList{metacmd::addColumnStatement(table, name, type)}; }, nullptr, true);
        return runMetaCommand(*this, c);
    }, this);
    if (platform::execModal(dialog) != QDialog::Accepted)
        return;
    repaint();
    try {
        DM->ReopenColumns();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
}

// ---------------------------------------------------------------- templates

void TfmBrowser::putTemplate(int kind)
{
    metacmd::Template t;
    try {
        t = metacmd::newTemplate(metacmd::NewObject(kind), currentTable());
    } catch (const engine::Error &e) {
        ShowError(e.message());
        return;
    }
    SBGoMaster->setChecked(true);
    SBGoMasterClick();
    SQLBody->clear();
    for (const QString &line : t.lines)
        SQLBody->appendPlainText(line);
    if (t.caret >= 0) {
        QTextCursor cursor = SQLBody->textCursor();
        cursor.setPosition(t.caret);
        SQLBody->setTextCursor(cursor);
    }
    if (t.showsTextPage)
        PCSQL->setCurrentWidget(TSSQLText);
}

void TfmBrowser::SBNewDomainClick() { putTemplate(int(metacmd::NewObject::Domain)); }
void TfmBrowser::SBNewTableClick() { putTemplate(int(metacmd::NewObject::Table)); }
void TfmBrowser::SBNewIndexClick() { putTemplate(int(metacmd::NewObject::Index)); }
void TfmBrowser::SBNewGenClick() { putTemplate(int(metacmd::NewObject::Generator)); }
void TfmBrowser::SBNewUDFClick() { putTemplate(int(metacmd::NewObject::Udf)); }
void TfmBrowser::SBNewViewClick() { putTemplate(int(metacmd::NewObject::View)); }
void TfmBrowser::SBNewExceptionClick() { putTemplate(int(metacmd::NewObject::Exception)); }
void TfmBrowser::SBNewConstraintClick() { putTemplate(int(metacmd::NewObject::Constraint)); }

// ---------------------------------------------------------------- views and switches

namespace {

void showTables(TfmBrowser &w, const QStringList &sql)
{
    try {
        engine::ControlsFrozen frozen(DM->QTables);
        DM->QTables.close();
        DM->QTables.setSql(sql);
        DM->QTables.open();
    } catch (const engine::Error &e) {
        w.ShowError(e.message());
    }
}

void reopenList(TfmBrowser &w, bool &flag, bool shown, void (TDM::*reopen)())
{
    flag = shown;
    try {
        (DM->*reopen)();
    } catch (const engine::Error &e) {
        w.ShowError(e.message());
    }
}

} // namespace

void TfmBrowser::SpeedButton1Click() { showTables(*this, metacmd::userTablesSql()); }
void TfmBrowser::SpeedButton2Click() { showTables(*this, metacmd::systemTablesSql()); }

void TfmBrowser::CBVerboseColClick()
{
    VerboseColumns = !VerboseColumns;
    // The column list keeps its computed values per row: read again, so the
    // switch shows at once.
    reopenList(*this, VerboseColumns, VerboseColumns, &TDM::ReopenColumns);
}

void TfmBrowser::CBDebDepClick()
{
    reopenList(*this, DM->ShowDebugDependencies, CBDebDep->isChecked(), &TDM::ReopenDependencies);
}

void TfmBrowser::CBDebGenClick()
{
    reopenList(*this, DM->ShowDebugGenerators, CBDebGen->isChecked(), &TDM::ReopenGenerator);
}

void TfmBrowser::CBDebProcClick()
{
    reopenList(*this, DM->ShowDebugProcedures, CBDebProc->isChecked(), &TDM::ReopenProcedure);
}

// ---------------------------------------------------------------- refresh PK/FK

void TfmBrowser::SBRefreshAllClick()
{
    if (platform::Prompter::instance().confirm(
            QStringLiteral("Confirmation"),
            QStringLiteral("Now META$RENEW will be started. It may take some time (3-15 min). Run now?"))
        != platform::Prompter::Answer::Yes)
        return;
    SetBusy();
    StatusPanel1->setText(QStringLiteral("   Hint: Wait!"));
    statusBar()->repaint();
    RenewDependencies();
    StatusPanel1->clear();
    statusBar()->repaint();
    CBVerboseCol->setEnabled(true);
    SetReady();
}

void TfmBrowser::RenewDependencies()
{
    if (!MetaPresent) {
        ShowMessage(QStringLiteral("There are no META$ structures in this DB"));
        return;
    }
    auto inTransaction = [this](const std::function<void()> &work) {
        try {
            engine::TransactionGuard transaction(DM->Database);
            work();
            transaction.commit();
        } catch (const engine::Error &e) {
            ShowError(e.message());
            DefaultCursor();
        }
    };
    inTransaction([] {
        DM->SPMetaDep.setStoredProcName(QStringLiteral("META$RENEW"));
        DM->SPMetaDep.execProc();
    });
    inTransaction([] {
        for (engine::Query *q : {&DM->QTables, &DM->QColumns}) {
            q->close();
            q->open();
        }
    });
    EnableBrowserButtons();
}

// ---------------------------------------------------------------- data page

void TfmBrowser::OpenTableData()
{
    if (PCMain->currentWidget() != TSBrowser || PCColumns->tabText(PCColumns->currentIndex()) != QLatin1String("Data"))
        return;
    const QString table = currentTable();
    try {
        DM->TCurrentRows.close();
        DM->TCurrent.close();
        DM->TCurrent.setKeyRange({}, {});
        DM->TCurrent.setTableName(table);
        if (!table.isEmpty()) {
            engine::requirePlainIdentifier(table);
            DM->TCurrentRows.open(QStringLiteral("select * from ") + table);
        }
        DataGridModel->reset();
        if (DataGridModel->ensureRow(0))
            DBGrid4->selectRow(0);
    } catch (const engine::Error &e) {
        DataGridModel->reset();
        ShowError(e.message());
        throw;
    }
}

void TfmBrowser::SBExportDataClick()
{
    const QString table = currentTable();
    engine::ScrollingQuery &rows = DM->TCurrentRows;
    // The rows the grid holds are written from memory, the rest as the
    // server sends them; the grid then fetches again what it showed.
    const bool rest = rows.isOpen();
    ExportWith(*this, [&](const QString &fileName, const QString &separator) {
        WriteScrollingQueryToFile(table + QStringLiteral(".Data"), rows, fileName, separator);
    });
    if (rest && !rows.isOpen())
        refetchDataRows();
}

void TfmBrowser::refetchDataRows()
{
    const int current = DBGrid4->currentIndex().isValid() ? DBGrid4->currentIndex().row() : -1;
    try {
        DM->TCurrentRows.reopen();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
    DataGridModel->reset();
    if (current >= 0 && DataGridModel->ensureRow(current))
        DBGrid4->selectRow(current);
}

void TfmBrowser::tableRowChanged()
{
    try {
        OpenTableData();
    } catch (const engine::Error &) {
        // shown by OpenTableData
    }
    QWidget *tab = PCColumns->currentWidget();
    auto follow = [this](const QStringList &names, engine::DataSet &list) {
        for (const QString &n : names)
            button(n)->setEnabled(list.isActive() && !list.isEmpty());
    };
    if (tab->objectName() == QLatin1String("TSTableTriggers"))
        follow(kTriggerButtons, DM->QTableTrigger);
    else if (tab->objectName() == QLatin1String("TSIndexes"))
        follow(kIndexButtons, DM->QIndex);
    else if (tab->objectName() == QLatin1String("TSColumns"))
        follow({QStringLiteral("SBDropConstraint")}, DM->QConstraints);
}

// ---------------------------------------------------------------- BLOB views

void TfmBrowser::freezeTableGrids(bool frozen)
{
    for (engine::DataSet *ds : {static_cast<engine::DataSet *>(&DM->QTables), static_cast<engine::DataSet *>(&DM->QColumns)})
        frozen ? ds->disableControls() : ds->enableControls();
}

namespace {

// The key of the data grid's current row: the primary key's fields and
// their values there. Empty fields when the table has no primary key.
struct RowKey {
    QStringList fields;
    QVariantList values;
};

RowKey currentRowKey(engine::ScrollingModel &model, int row)
{
    RowKey k;
    k.fields = engine::RowWriter::primaryKey(DM->Database, currentTable());
    for (const QString &f : k.fields)
        k.values << model.value(row, f);
    return k;
}

} // namespace

void TfmBrowser::SBShowBlobClick()
{
    if (BlobShown)
        return;
    if (!ShowBlob())
        return;
    setShown(*this, QStringLiteral("SBShowBlob"), QStringLiteral("SBHideBlob"), true);
    DBGTables->setEnabled(false);
    StatusPanel1->setText(kBlobHint);
    StatusPanel1->repaint();
    BlobShown = true;
}

bool TfmBrowser::ShowBlob()
{
    bool frozen = false;
    try {
        const RowKey key = currentRowKey(*DataGridModel, DBGrid4->currentIndex().row());
        if (key.fields.isEmpty()) {
            ShowError(QStringLiteral("Unable to find record due to absence of PK"));
            setShown(*this, QStringLiteral("SBShowBlob"), QStringLiteral("SBHideBlob"), false);
            return false;
        }
        freezeTableGrids(true);
        frozen = true;
        BlobColumnName = currentColumn();
        DataBookmark = DBGrid4->currentIndex().row();
        engine::Table &t = DM->TCurrent2;
        t.close();
        t.setTableName(nameableTable());
        // Only the row of the key is read, whatever the table's size.
        t.setKeyRange(key.fields, key.values);
        t.open();
        const QVariant values = key.values.size() == 1 ? key.values.first() : QVariant(key.values);
        if (!t.locate(key.fields.join(QLatin1Char(';')), values)) {
            ShowError(QStringLiteral("Can't locate record..."));
        } else {
            DBDataMemo->setPlainText(t.fieldByName(BlobColumnName).asString());
            DBDataMemo->setReadOnly(false);
            for (const char *n : kMemoControls)
                button(QLatin1String(n))->setEnabled(true);
            DBNavigator2->setEnabled(true);
            return true;
        }
    } catch (const engine::Error &e) {
        ShowError(e.message());
        DefaultCursor();
    }
    if (frozen)
        freezeTableGrids(false);
    DM->TCurrent2.close();
    DBDataMemo->clear();
    DBDataMemo->setReadOnly(true);
    setShown(*this, QStringLiteral("SBShowBlob"), QStringLiteral("SBHideBlob"), false);
    return false;
}

void TfmBrowser::SBHideBlobClick()
{
    if (!BlobShown)
        return;
    HideBlob();
    setShown(*this, QStringLiteral("SBShowBlob"), QStringLiteral("SBHideBlob"), false);
    StatusPanel1->clear();
    StatusPanel1->repaint();
    DBGTables->setEnabled(true);
    BlobShown = false;
}

void TfmBrowser::releaseDataViews()
{
    DM->QTables.enableControls();
    {
        engine::DataSet &cols = DM->QColumns;
        cols.first();
        while (!cols.eof() && nameOf(cols, QStringLiteral("RDB$FIELD_NAME")) != BlobColumnName)
            cols.next();
        cols.enableControls();
    }
    if (DataBookmark >= 0 && DataGridModel->ensureRow(DataBookmark))
        DBGrid4->selectRow(DataBookmark);
    DataBookmark = -1;
}

void TfmBrowser::HideBlob()
{
    releaseDataViews();
    DBDataMemo->clear();
    DBDataMemo->setReadOnly(true);
    DM->TCurrent2.close();
    for (const char *n : kMemoControls)
        button(QLatin1String(n))->setEnabled(false);
    DBNavigator2->setEnabled(false);
}

void TfmBrowser::postMemo()
{
    try {
        engine::Table &t = DM->TCurrent2;
        t.edit();
        t.fieldByName(BlobColumnName).setValue(DBDataMemo->toPlainText());
        t.post();
    } catch (const engine::Error &e) {
        DM->TCurrent2.cancel();
        SetError();
        ShowError(e.message());
    }
}

void TfmBrowser::SBShowImageClick()
{
    if (ImageShown)
        return;
    ShowImage();
    setShown(*this, QStringLiteral("SBShowImage"), QStringLiteral("SBHideImage"), true);
    DBGTables->setEnabled(false);
    StatusPanel1->setText(kBlobHint);
    StatusPanel1->repaint();
    ImageShown = true;
}

void TfmBrowser::ShowImage()
{
    freezeTableGrids(true);
    BlobColumnName = currentColumn();
    DataBookmark = DBGrid4->currentIndex().isValid() ? DBGrid4->currentIndex().row() : -1;
    // The image is the column of the data grid's current row.
    QPixmap picture;
    picture.loadFromData(DataGridModel->value(DataBookmark, BlobColumnName).toByteArray());
    DBDataImage->setPixmap(picture);
    for (const char *n : kImageControls)
        button(QLatin1String(n))->setEnabled(true);
    DBNavigator3->setEnabled(true);
}

void TfmBrowser::SBHideImageClick()
{
    if (!ImageShown)
        return;
    HideImage();
    setShown(*this, QStringLiteral("SBShowImage"), QStringLiteral("SBHideImage"), false);
    StatusPanel1->clear();
    StatusPanel1->repaint();
    DBGTables->setEnabled(true);
    ImageShown = false;
}

void TfmBrowser::HideImage()
{
    releaseDataViews();
    DBDataImage->clear();
    for (const char *n : kImageControls)
        button(QLatin1String(n))->setEnabled(false);
    DBNavigator3->setEnabled(false);
}

void TfmBrowser::postImage()
{
    // The grid's rows are read only: the picture is written to its row
    // found again by the table's primary key.
    try {
        const RowKey key = currentRowKey(*DataGridModel, DataBookmark);
        if (key.fields.isEmpty())
            throw engine::Error(QStringLiteral("Unable to find record due to absence of PK"));
        engine::Table &t = DM->TCurrent;
        t.close();
        t.setTableName(nameableTable());
        t.setKeyRange(key.fields, key.values);
        t.open();
        if (t.isEmpty())
            throw engine::Error(QStringLiteral("Can't locate record..."));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        DBDataImage->pixmap().save(&buffer, "BMP");
        t.edit();
        t.fieldByName(BlobColumnName).setValue(DBDataImage->pixmap().isNull() ? QVariant() : QVariant(bytes));
        t.post();
        t.close();
    } catch (const engine::Error &e) {
        DM->TCurrent.close();
        SetError();
        ShowError(e.message());
    }
}

void TfmBrowser::SBCutMemoClick() { DBDataMemo->cut(); }
void TfmBrowser::SBCopyMemoClick() { DBDataMemo->copy(); }
void TfmBrowser::SBPasteMemoClick() { DBDataMemo->paste(); }

void TfmBrowser::SBCopyImageClick()
{
    QApplication::clipboard()->setPixmap(DBDataImage->pixmap());
}

void TfmBrowser::SBCutImageClick()
{
    SBCopyImageClick();
    DBDataImage->clear();
}

void TfmBrowser::SBPasteImageClick()
{
    const QPixmap p = QApplication::clipboard()->pixmap();
    if (!p.isNull())
        DBDataImage->setPixmap(p);
}

void TfmBrowser::SBReadTextFromFileClick()
{
    SetBusy();
    loadFileInto(DBDataMemo);
    if (!StatusFailed)
        SetReady();
}

void TfmBrowser::SBWriteTextToFileClick()
{
    SaveToChosenFile(*this, [this](const QString &fileName) {
        WriteTextFile(fileName, DBDataMemo->toPlainText().toUtf8());
    });
}

// ---------------------------------------------------------------- page changes

void TfmBrowser::PCBrowserChange()
{
    try {
        DM->ReopenBrowserPage(PCBrowser->currentIndex());
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
}

void TfmBrowser::PCColumnsChange()
{
    try {
        engine::TransactionGuard user(DM->Database);
        engine::TransactionGuard national(DM->DatabaseN);
        switch (PCColumns->currentIndex()) {
        case 0: DM->ReopenColumns(); break;
        case 1: DM->ReopenIndex(); break;
        case 2: DM->ReopenTrigger(); break;
        case 3: OpenTableData(); break;
        case 4: DM->ReopenConstraints(); break;
        default: break;
        }
        user.commit();
        national.commit();
    } catch (const engine::Error &e) {
        // OpenTableData has shown its own failure.
        if (PCColumns->currentIndex() != 3)
            ShowError(e.message());
    }
}

// ---------------------------------------------------------------- incremental search

void TfmBrowser::searchList(engine::DataSet &list, const QString &field, QChar key, bool suspendVerbose)
{
    if (metacmd::applySearchKey(IncrementalSearchPrefix, key)) {
        list.first();
        return;
    }
    if (!list.isActive())
        return;
    const bool verbose = VerboseColumns;
    if (suspendVerbose)
        VerboseColumns = false;
    {
        engine::ControlsFrozen frozen(list);
        metacmd::moveForwardWhileLess(list, list.fieldIndex(field), IncrementalSearchPrefix);
    }
    VerboseColumns = verbose;
}

void TfmBrowser::DBGDomainKeyPress(QChar key) { searchList(DM->QDomain, QStringLiteral("RDB$FIELD_NAME"), key, false); }
void TfmBrowser::DBGTablesKeyPress(QChar key) { searchList(DM->QTables, QStringLiteral("RDB$RELATION_NAME"), key, true); }
void TfmBrowser::DBGDependKeyPress(QChar key) { searchList(DM->QDepend, QStringLiteral("RDB$DEPENDENT_NAME"), key, false); }
void TfmBrowser::DBGGeneratorKeyPress(QChar key) { searchList(DM->QGenerator, QStringLiteral("RDB$GENERATOR_NAME"), key, false); }
void TfmBrowser::DBGrid3KeyPress(QChar key) { searchList(DM->QUDF, QStringLiteral("RDB$FUNCTION_NAME"), key, false); }
void TfmBrowser::DBGViewKeyPress(QChar key) { searchList(DM->QView, QStringLiteral("RDB$VIEW_NAME"), key, false); }
void TfmBrowser::DGExceptionsKeyPress(QChar key) { searchList(DM->QException, QStringLiteral("RDB$EXCEPTION_NAME"), key, false); }
void TfmBrowser::DBGProceduresKeyPress(QChar key) { searchList(DM->QProc, QStringLiteral("RDB$PROCEDURE_NAME"), key, false); }
