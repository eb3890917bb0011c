// The main window's SQL console: the editor's text run in the foreground
// (a query's rows in the "Set of Records" grid) or in a background query
// window, the history of runs per user, files, clipboard, line jump,
// colouring, find and export.

#include "workbench/fBrowser.h"

#include "engine/Error.h"
#include "engine/Transaction.h"
#include "platform/Prompter.h"
#include "workbench/DM1.h"
#include "workbench/DbNavigator.h"
#include "workbench/Export.h"
#include "workbench/Grids.h"
#include "workbench/SqlConsole.h"
#include "workbench/fQuery.h"
#include "workbench/mysimplere.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

struct ConsoleButton {
    const char *name;
    const char *hint;
    const char *text;
    void (TfmBrowser::*click)();
};

// The "Text" tab's tool bar, in its order; the go-to-line field follows its button.
const ConsoleButton kTextButtons[] = {
    {"SBsqlReadSQL", "Read from file", "Read", &TfmBrowser::SBsqlReadSQLClick},
    {"SBsqlWriteSQL", "Write to file", "Write", &TfmBrowser::SBsqlWriteSQLClick},
    {"SBsqlSPUndo", "Undo", "Undo", &TfmBrowser::SBsqlSPUndoClick},
    {"SBsqlSPCut", "Cut", "Cut", &TfmBrowser::SBsqlSPCutClick},
    {"SBsqlSPCopy", "Copy", "Copy", &TfmBrowser::SBsqlSPCopyClick},
    {"SBsqlSPPaste", "Paste", "Paste", &TfmBrowser::SBsqlSPPasteClick},
    {"SBsqlSPLine", "Go to line N", "Line", &TfmBrowser::SBsqlSPLineClick},
    {"SpeedButton6", "Find/Replace", "Find", &TfmBrowser::SpeedButton6Click},
    {"SBsqlSyntaxOn", "Hilight syntax", "Colour", &TfmBrowser::SBsqlSyntaxOnClick},
    {"SBsqlSyntaxOff", "Plain syntax", "Plain", &TfmBrowser::SBsqlSyntaxOffClick},
};

// Enabled by the connect; the others are usable from the start.
const char *const kConnectedOnly[] = {"SBsqlReadSQL", "SBsqlWriteSQL", "SBsqlSPUndo", "SBsqlSPCut", "SBsqlSPCopy",
                                      "SBsqlSPPaste"};

QLabel *namedLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QStringList textLines(const QString &text)
{
    return text.split(QLatin1Char('\n'));
}

} // namespace

// --- layout

void TfmBrowser::buildConsolePages(QWidget *sqlPage)
{
    auto *bar = new QWidget(sqlPage);
    bar->setObjectName(QStringLiteral("PanelSQLTools"));
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    SBExecSQL = makeButton(bar, QStringLiteral("SBExecSQL"), QStringLiteral("Exec SQL (Ctrl+Enter)"));
    SBExecSQL->setText(QStringLiteral("Exec"));
    SBExecBk = makeButton(bar, QStringLiteral("SBExecBk"), QStringLiteral("Exec SQL in Background"));
    SBExecBk->setText(QStringLiteral("Background"));
    for (QToolButton *b : {SBExecSQL, SBExecBk}) {
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setEnabled(false);
        row->addWidget(b);
    }
    row->addStretch();
    static_cast<QVBoxLayout *>(sqlPage->layout())->insertWidget(0, bar);
    connect(SBExecSQL, &QToolButton::clicked, this, &TfmBrowser::SBExecSQLClick);
    connect(SBExecBk, &QToolButton::clicked, this, &TfmBrowser::SBExecBkClick);

    auto *text = new QVBoxLayout(TSSQLText);
    text->setContentsMargins(2, 2, 2, 2);
    text->setSpacing(2);
    text->addWidget(buildSqlTextBar());
    SQLBody->setPlainText(QStringLiteral("/* Type an SQL statement here and press Ctrl+Enter to run it. */"));
    text->addWidget(SQLBody, 1);
    connect(SQLBody, &TMyRichEdit::keyUp, this, &TfmBrowser::SQLBodyKeyUp);
    connect(SQLBody, &TMyRichEdit::mouseDown, this, &TfmBrowser::SQLBodyMouseDown);
    buildHistoryPage();
    buildRecordsPage();
}

QWidget *TfmBrowser::buildSqlTextBar()
{
    auto *bar = new QWidget(TSSQLText);
    auto *tools = new QHBoxLayout(bar);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(1);
    for (const ConsoleButton &s : kTextButtons) {
        QToolButton *b = makeButton(bar, QLatin1String(s.name), QLatin1String(s.hint));
        b->setText(QLatin1String(s.text));
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setAutoRaise(true);
        tools->addWidget(b);
        connect(b, &QToolButton::clicked, this, s.click);
        if (qstrcmp(s.name, "SBsqlSPLine") == 0) {
            EditsqlSPLine = new QLineEdit(bar);
            EditsqlSPLine->setObjectName(QStringLiteral("EditsqlSPLine"));
            EditsqlSPLine->setMaximumWidth(60);
            tools->addWidget(EditsqlSPLine);
        }
    }
    for (const char *name : kConnectedOnly)
        button(QLatin1String(name))->setEnabled(false);
    tools->addStretch();
    tools->addWidget(new QLabel(QStringLiteral("Line:"), bar));
    LsqlLine = namedLabel(bar, QStringLiteral("LsqlLine"), QStringLiteral("1"));
    tools->addWidget(LsqlLine);
    tools->addWidget(new QLabel(QStringLiteral("Pos:"), bar));
    LsqlPos = namedLabel(bar, QStringLiteral("LsqlPos"), QStringLiteral("1"));
    tools->addWidget(LsqlPos);
    return bar;
}

void TfmBrowser::buildHistoryPage()
{
    auto *page = new QVBoxLayout(TSHistory);
    page->setContentsMargins(2, 2, 2, 2);
    auto *tools = new QHBoxLayout;
    makeButton(TSHistory, QStringLiteral("SBClearHistory"), QStringLiteral("Clear History"));
    SBClearHistory->setText(QStringLiteral("Clear"));
    SBClearHistory->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SBClearHistory->setEnabled(false);
    connect(SBClearHistory, &QToolButton::clicked, this, &TfmBrowser::SBClearHistoryClick);
    tools->addWidget(SBClearHistory);
    DBNavigator4 = new TDBNavigator(&DM->THistory, TSHistory);
    DBNavigator4->setObjectName(QStringLiteral("DBNavigator4"));
    tools->addWidget(DBNavigator4);
    tools->addStretch();
    page->addLayout(tools);

    auto *split = new QSplitter(Qt::Vertical, TSHistory);
    DBGHist = grids::dataGrid(split, QStringLiteral("DBGHist"), &DM->THistory);
    DBGHist->horizontalHeader()->setStretchLastSection(true); // its one column: the first line
    DBMemoHist = new QPlainTextEdit(split);
    DBMemoHist->setObjectName(QStringLiteral("DBMemoHist"));
    DBMemoHist->setLineWrapMode(QPlainTextEdit::NoWrap);
    page->addWidget(split, 1);
    connect(DM, &TDM::historyRowChanged, this, &TfmBrowser::followHistoryRow);
    // The memo is bound to BODY: typing in it edits the current row, which
    // the navigator then posts or cancels.
    connect(DBMemoHist, &QPlainTextEdit::textChanged, this, [this] {
        engine::Table &history = DM->THistory;
        if (!history.isActive() || history.isEmpty())
            return;
        try {
            if (history.state() == engine::DataSetState::Browse)
                history.edit();
            history.fieldByName(QStringLiteral("BODY")).setValue(DBMemoHist->toPlainText());
        } catch (const engine::Error &e) {
            ShowError(e.message());
        }
    });
}

void TfmBrowser::buildRecordsPage()
{
    auto *page = new QVBoxLayout(TSSQLRecords);
    page->setContentsMargins(2, 2, 2, 2);
    SBsqlExportToExcel = makeButton(TSSQLRecords, QStringLiteral("SBsqlExportToExcel"),
                                    QStringLiteral("Export to the text file"), QStringLiteral("export"));
    SBsqlExportToExcel->setEnabled(false);
    connect(SBsqlExportToExcel, &QToolButton::clicked, this, &TfmBrowser::SBsqlExportToExcelClick);
    // The browser's commands run their statements on the same query: once
    // it no longer holds the console's rows there is nothing to export.
    connect(&DM->Q6, &engine::DataSet::afterClose, SBsqlExportToExcel, [this] { SBsqlExportToExcel->setEnabled(false); });
    auto *tools = new QHBoxLayout;
    tools->addWidget(SBsqlExportToExcel);
    tools->addStretch();
    page->addLayout(tools);
    DBGSQL = grids::dataGrid(TSSQLRecords, QStringLiteral("DBGSQL"), &DM->Q6);
    page->addWidget(DBGSQL, 1);
}

// --- running

void TfmBrowser::SBExecSQLClick()
{
    // Not again while a statement runs (its break may have enabled the
    // window), nor beside a debug run.
    if (ConsoleRunning || WorkerRunning)
        return;
    SetBusy();
    bool query = false;
    m_historyWritten = false;
    // The statement's transaction waits up to a second for a lock, then
    // looks again: a break it reaches sleeps between its looks instead of
    // asking the server without pause (its block takes the caller's wait).
    struct LockWait {
        engine::Database &db;
        int previous = db.lockTimeout();
        explicit LockWait(engine::Database &d) : db(d) { db.setLockTimeout(1); }
        ~LockWait() { db.setLockTimeout(previous); }
    } lockWait(DM->Database);
    try {
        prepareHistory();
        engine::TransactionGuard transaction(DM->Database);
        query = runConsoleText();
        transaction.commit();
    } catch (const engine::Error &e) {
        // The guard has rolled back, the history row with the rest; the
        // history shows what the table holds again.
        if (m_historyWritten) {
            // The editor keeps the text that failed; only the table reloads.
            const QSignalBlocker quiet(DM);
            OpenHistory();
        }
        SetError();
        ShowError(e.message());
        DefaultCursor();
        ShowSqlError(e.message());
        SQLBody->setFocus();
        return;
    }
    SetReady();
    if (query) {
        TSSQLRecords->setFocus();
        DBGSQL->setFocus();
    }
}

bool TfmBrowser::runConsoleText()
{
    engine::Query &q6 = DM->Q6;
    q6.close();
    q6.setSql(textLines(SQLBody->toPlainText()));
    // Sent as typed (a colon in a block's body is no parameter of ours),
    // then Q6 serves its other users as before.
    q6.setParamCheck(false);
    struct RestoreParamCheck {
        engine::Query &q;
        ~RestoreParamCheck() { q.setParamCheck(true); }
    } restore{q6};
    // The server says whether the text returns rows, whatever its first
    // keyword: WITH ... SELECT and EXECUTE BLOCK show their rows too.
    const bool query = q6.prepare();
    AppendHistory();
    engine::RowSetPtr rows = runConsoleStatement(q6.sql(), query);
    if (!query)
        return false;
    q6.adoptRows(std::move(rows));
    q6.open();
    PCSQL->setCurrentWidget(TSSQLRecords);
    SBsqlExportToExcel->setEnabled(true);
    return true;
}

engine::RowSetPtr TfmBrowser::runConsoleStatement(const QStringList &sql, bool query)
{
    // The statement may stop at a break point that this very window answers
    // (spy mode, or points saved in a trigger it fires): it runs on a thread
    // while this one serves the window, whose break checks and answers go
    // through the debug connection meanwhile. The rest of the window stays
    // as the busy state left it, but for the watch page of a shown hit.
    // Nothing else of the window uses the main connection until it ends.
    auto *worker = new sqlconsole::StatementThread(DM->Database, sql, query, this);
    bool done = false;
    connect(worker, &QThread::finished, this, [&done] { done = true; });
    ConsoleRunning = true;
    // Of the debugger's pages only the watch page stays open: the others'
    // commands work on the connection the statement holds.
    QVector<int> closedPages;
    for (int i = 0; i < PagePCProcTrig->count(); ++i)
        if (PagePCProcTrig->widget(i) != TSBPV && PagePCProcTrig->isTabEnabled(i)) {
            PagePCProcTrig->setTabEnabled(i, false);
            closedPages << i;
        }
    // So are the tool panel, the menus, and the spy-mode buttons that write
    // the session ("Try #", spy mode on); their own state is kept (the window
    // itself is disabled by now).
    QVector<QPair<QWidget *, bool>> closed;
    for (QWidget *w : std::initializer_list<QWidget *>{Panel1, menuBar(), SBNewSession, SBSpyMode}) {
        closed.append({w, w->isEnabledTo(this)});
        w->setEnabled(false);
    }
    worker->start();
    while (!done)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker->wait();
    ConsoleRunning = false;
    for (int i : closedPages)
        PagePCProcTrig->setTabEnabled(i, true);
    for (const auto &[w, enabled] : closed)
        w->setEnabled(enabled);
    const engine::RowSetPtr rows = worker->rows();
    const std::exception_ptr failure = worker->failure();
    delete worker;
    if (failure)
        std::rethrow_exception(failure);
    return rows;
}

void TfmBrowser::SBExecBkClick()
{
    if (ConsoleRunning) // its history row waits for the main connection
        return;
    const QString text = SQLBody->toPlainText();
    try {
        prepareHistory();
        AppendHistory();
    } catch (const engine::Error &e) {
        ShowError(e.message());
        return;
    }
    StartBackgroundQuery(sqlconsole::FirstLine(text), CurrentAlias, LoginUser, LoginPassword, text,
                         SQLBody->IsSelectStatement(), Panel1->mapToGlobal(QPoint(0, Panel1->height())).y());
}

// --- history

void TfmBrowser::prepareHistory()
{
    if (!MetaPresent)
        return;
    try {
        sqlconsole::EnsureHistoryKeyGenerator(DM->Database);
    } catch (const engine::Error &) {
        // Recording then steps over taken keys one by one.
    }
}

void TfmBrowser::AppendHistory()
{
    if (!MetaPresent)
        return;
    sqlconsole::AppendHistoryRow(DM->THistory, SQLBody->toPlainText(), sqlconsole::HistoryKeyNow());
    m_historyWritten = true;
}

void TfmBrowser::followHistoryRow()
{
    engine::Table &history = DM->THistory;
    if (!history.isActive() || history.isEmpty()) {
        const QSignalBlocker quiet(DBMemoHist);
        DBMemoHist->clear();
        return;
    }
    const QString body = history.fieldByName(QStringLiteral("BODY")).asString();
    if (DBMemoHist->toPlainText() != body) {
        const QSignalBlocker quiet(DBMemoHist);
        DBMemoHist->setPlainText(body);
    }
    // The same text again keeps the editor's undo steps.
    if (SQLBody->toPlainText() != body)
        SQLBody->setPlainText(body);
}

void TfmBrowser::SBClearHistoryClick()
{
    engine::ControlsFrozen frozen(DM->THistory);
    try {
        DM->Q6Exec(sqlconsole::ClearHistorySql(DM->GetUserName()));
        DM->THistory.close();
        DM->THistory.open();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
}

// --- text

void TfmBrowser::SBsqlReadSQLClick() { loadFileInto(SQLBody); }
void TfmBrowser::SBsqlWriteSQLClick() { saveEditorToFile(SQLBody, QStringLiteral("sql.txt")); }
void TfmBrowser::SBsqlSPCutClick() { SQLBody->cut(); }
void TfmBrowser::SBsqlSPCopyClick() { SQLBody->copy(); }
void TfmBrowser::SBsqlSPPasteClick() { SQLBody->paste(); }
void TfmBrowser::SBsqlSPUndoClick() { undoIn(SQLBody); }
void TfmBrowser::SBsqlSPLineClick() { jumpToTypedLine(SQLBody, EditsqlSPLine, &TfmBrowser::UpdateSqlLinePos); }
void TfmBrowser::SBsqlSyntaxOnClick() { syntaxOn(SQLBody); }
void TfmBrowser::SBsqlSyntaxOffClick() { syntaxOff(SQLBody); }
void TfmBrowser::SpeedButton6Click() { showFindFor(SQLBody); }
void TfmBrowser::SQLBodyKeyUp() { UpdateSqlLinePos(); }
void TfmBrowser::SQLBodyMouseDown() { UpdateSqlLinePos(); }

void TfmBrowser::SBsqlExportToExcelClick()
{
    if (!SBsqlExportToExcel->isEnabled())
        return;
    ExportDataSet(*this, DM->Q6.sql().value(0), DM->Q6);
}
