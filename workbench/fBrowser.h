#pragma once

#include "workbench/DebugRun.h"
#include "workbench/Instrument.h"
#include "workbench/Repository.h"
#include "workbench/SpyLogic.h"
#include "engine/Statement.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QTime>
#include <QVector>

#include "workbench/WorkStatus.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class QTableView;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QTabWidget;
class QHBoxLayout;
class QTimer;
class QToolButton;
class QWidget;
class TfmAliases;
class TfmLoginPrompt;
class TMyRichEdit;
namespace debugrun {
struct InputRow;
}
namespace engine {
class DataSet;
class ScrollingModel;
}

// The workbench's main window: three work areas on a page control whose tabs
// are hidden, the tool bar, the menu, the status light and the connections.
class TfmBrowser : public QMainWindow, public WorkStatus {
    Q_OBJECT
public:
    // Runs the command-line connect while it is being created, as the program
    // does at start. arguments: the program's arguments without its name.
    explicit TfmBrowser(const QStringList &arguments = {}, QWidget *parent = nullptr);
    ~TfmBrowser() override;

    // Dialogs created after the main window; the connect command uses them.
    void setDialogs(TfmAliases *aliases, TfmLoginPrompt *login);

    // --- state shared with the other parts of the workbench
    bool StatusReady = false;
    bool StatusFailed = false;
    bool IsConnected = false;
    QString CurrentAlias;
    QString LoginUser;
    QString LoginPassword;
    QStringList AliasParams;
    QStringList UserParams;
    QStringList NationalParams;
    bool ServerIsLocal = true;
    bool StartedFromCommandLine = false;
    bool ReconnectPending = false;
    // The data module's flags, which it needs for its own lists: the window
    // reads and sets them under its own names, with no copy to keep in step.
    bool &MetaPresent;
    bool MetaRenewPresent = false;
    QString ExternalTablesPath;
    int SessionNumber = 0;
    bool &VerboseColumns;
    // The shared save dialog's file name: offered the next time it opens
    // and replaced by every name chosen in it, from any command.
    QString SaveDialog1FileName = QStringLiteral("unknown.txt");

    // --- frame components
    QWidget *Panel1;
    QToolButton *SBConnect, *SBFont, *SBGoBrowser, *SBGoDebugger, *SBGoMaster, *SBGoLorvane, *SBEraseMeta;
    QLabel *IShades, *ISad, *IIndif, *Iooh;
    QLabel *StatusPanel0, *StatusPanel1;
    QProgressBar *PBar;
    QTimer *TimerExec, *TimerBP, *TimerGen;
    QMenu *PMSP, *PMTrig;
    QMenu *Database1, *MetaBrowser1, *MetaDebugger1, *SQLMaster1, *Help1;
    QAction *Connect1, *Lorvane1, *Exit1;
    QAction *Domains1, *Tables1, *Dependencies1, *Generators1, *UDFs1, *Views1, *Exceptions1, *Procedures1;
    QAction *Procedures2, *Triggers1, *Text1, *History1, *HelpTopics1, *About1;

    QTabWidget *PCMain;
    QWidget *TSBrowser, *TSDebugger, *TSSQLMaster;
    QTabWidget *PCBrowser, *PCColumns, *PCData;
    QTabWidget *PagePCProcTrig, *PCProc;
    QWidget *TSProc, *TSText, *TSInput, *TSOutput, *TSSetOfRec, *TSTrig, *TSPointList, *TSBPV, *TSPPV,
        *TSTPProtocol, *TSBPProtocol;
    QTabWidget *PCSQL;
    QWidget *TSHistory, *TSSQLText, *TSSQLRecords;

    TMyRichEdit *REProc, *RETrig, *SQLBody;
    QLabel *LProcName, *LTrigName;
    // --- procedure and trigger editors
    QLabel *LSPLine, *LSPPos, *LTRLine, *LTRPos;
    QLineEdit *EditSPLine, *EditTrigLine;
    QTableWidget *SGInput, *SGOutput;
    // 0 new (template or file), 1 opened from the catalogue, 2 saved.
    quint8 ProcEditorState = 0;
    // 0 new, 1 opened.
    quint8 TrigEditorState = 0;
    qint32 InParamCount = 0;
    // The loader is inside a generated debug block of a stored source.
    bool InDebugBlock = false;
    // Where the lines of each editor's last save came from: server errors
    // of the saved text (and runs of the procedure) name its lines.
    instrument::LineMap ProcLineMap;
    instrument::LineMap TrigLineMap;
    // How the opened sources end their lines; a save ends them the same way.
    QString ProcLineEnd = QStringLiteral("\n");
    QString TrigLineEnd = QStringLiteral("\n");

    void SetProcEditorNew();
    void SetProcEditorOpened();
    void SetProcEditorSaved();
    void SetTrigEditorNew();
    void SetTrigEditorOpened();
    void UpdateProcLinePos();
    void UpdateTrigLinePos();
    void UpdateSqlLinePos();
    // Load the object chosen in its chooser dialog into its editor.
    void LoadProcedure();
    void BuildProcedureText();
    void LoadTrigger();
    void BuildTriggerText();
    // A server error after a save or run: the caret goes to the line it
    // names (one less, for the save statement's leading line) and the
    // message is shown with that number.
    void ShowProcError(const QString &message);
    void ShowTrigError(const QString &message);
    void ShowSqlError(const QString &message);
    // The plain save of an editor's text through QSave ("SP": procedure
    // editor, otherwise the trigger editor); with reload the object is read
    // back from the catalogue. False, with the error shown, when it fails.
    bool SaveSourcePlain(bool reload, const QString &kind);
    // The save with debug info: markers become the blocks that record each
    // pass; their points are written pending (P = 1) for the save command
    // to settle. False, with the error shown, when it fails.
    bool SaveSourceDebug(bool reload, const QString &kind);
    // A save command's steps for the editor of kind ("SP" or "TR"): the
    // object's counters cleared, the plain or debug save as the check box
    // says, the points of the new version settled. False, with the failure
    // shown, when any step fails.
    bool SaveEditorObject(const QString &kind, bool reload);
    // The login user's pass counters of an object, recreated at 0 for the
    // kinds of points the last save met.
    bool ResetPointCounters(const QString &object);
    // True while a save expands markers / drops them.
    bool DebugSaveMode = false;
    bool StripPointsMode = false;
    // Kinds of markers met by the last save.
    bool BreakPointsUsed = false;
    bool TracePointsUsed = false;
    bool ProgressPointsUsed = false;
    // Local variables declared in the text of the last debug save.
    QStringList WatchedVariables;
    int WatchedCount = 0;
    QToolButton *SBDebugMode, *SBSpyMode, *SBNewSession;
    QCheckBox *CBWithDebug, *CBVerboseCol;

    // The login user as the server records it (what USER gives inside the
    // instrumented code): the protocol rows, sessions and pass counters are
    // keyed by it, so a user name typed in another case still meets them.
    QString ProtocolUser;

    // --- debug run (fBrowser_run.cpp)
    bool WorkerRunning = false;
    bool RunSucceeded = false;
    QString RunError;
    QTime RunStartTime;
    QLabel *LTime = nullptr;
    QTableView *DBGSetOfRec = nullptr;
    void RunProcedure(bool execute);
    // The steps of a run: each reports its own failure and leaves the
    // buttons usable again when it returns false.
    bool PrepareRun(bool execute, const QString &procedure, const QVector<debugrun::InputRow> &inputs);
    bool PrepareRunStatement(bool execute, const QString &procedure, const QVector<debugrun::InputRow> &inputs);
    void WaitForRun(bool execute);
    void ShowRunResult(bool execute, const QString &procedure);
    void ShowOutputValues(const QString &procedure);
    bool StartNewSession();
    void BeginWorker();
    void WaitWorker();
    void RunExecThread();
    void RunSelectThread();
    void WorkerDone();
    void DisableProcButtons();
    void EnableProcButtons();
    // The running worker (it frees itself); null between runs.
    class TMyThread *Worker = nullptr;
    // Asks whether to end the running procedure and, on Yes, cancels its
    // statement on the debug connection: the run then ends in the error
    // state. False when no run is going.
    bool EndRunningProcedure();
    // --- end of debug run

    // --- spy mode, watches, dumps, point list (fBrowser_spy.cpp)
    int HitsSeen = 0;
    int HitsProcessed = 0;
    int CurrentHitCode = 0;
    int WatchRowCount = 0;
    int PointFilter = 0;
    bool PointsByObject = true;
    QTableWidget *SGWatch = nullptr, *SGGens = nullptr;
    QLabel *LProcTrigName = nullptr, *LBPID = nullptr, *LBPNum = nullptr, *LBPCheck = nullptr;
    QLabel *Image1 = nullptr, *Image2 = nullptr, *Image11 = nullptr, *Image22 = nullptr;
    QToolButton *SBContinue = nullptr;
    QCheckBox *CBMin = nullptr;
    QLineEdit *EditTPTry = nullptr, *EditBPTry = nullptr;
    QWidget *RGTimer = nullptr;
    QTableView *DBGPointList = nullptr, *DBGTPDump = nullptr, *DBGTPValues = nullptr, *DBGBPDump = nullptr,
               *DBGBPV2 = nullptr;
    // A hit is shown and waits for Continue.
    bool HitShown = false;
    // A message raised by a timer is open: the next ticks neither check nor
    // show another one on top of it.
    bool TimerMessageOpen = false;
    bool CheckNewBreak();
    void ProcessBP();
    // The hit on the watch page, waiting for its answers.
    void ShowHit(const Repository::Hit &hit);
    void ShowPointInSource(const QString &object, const QString &text, bool editable, const QString &kind);
    void RefreshProgressPoints();
    // Puts the session number into both dumps' try fields and closes both.
    void ResetDumps();
    bool spyMode() const { return m_spyMode; }
    // --- end of spy mode

    // --- metadata browser (fBrowser_meta.cpp)
    // One typed prefix for the incremental search of all eight lists; only
    // Esc empties it.
    QString IncrementalSearchPrefix;
    // Columns chosen with "From" and "To"; they outlive a change of table.
    QString CopyFromColumn, CopyToColumn;
    bool BlobShown = false;
    bool ImageShown = false;
    QString BlobColumnName;
    // The data grid's row when a memo or image view was opened; -1: none.
    int DataBookmark = -1;
    QTableView *DBGDomain = nullptr, *DBGTables = nullptr, *DBGColumns = nullptr, *DBGIndex = nullptr,
               *DBGIndexFields = nullptr, *DBGTableTrigger = nullptr, *DBGConstraints = nullptr,
               *DBGDepend = nullptr, *DBGDepDetail = nullptr, *DBGGenerator = nullptr, *DBGrid3 = nullptr,
               *DBGF_Arg = nullptr, *DBGView = nullptr, *DGExceptions = nullptr, *DBGProcedures = nullptr,
               *DBGrid4 = nullptr;
    QPlainTextEdit *MemoCheck = nullptr, *MemoDefault = nullptr, *MemoComputed = nullptr, *MemoTrigger = nullptr,
                   *MemoView = nullptr, *MemoProcBody = nullptr, *MemoInParams = nullptr, *MemoOutParams = nullptr,
                   *DBDataMemo = nullptr;
    QLabel *DBDataImage = nullptr, *LFieldMemo = nullptr, *LFieldImage = nullptr;
    QLineEdit *EditGenValue = nullptr;
    QCheckBox *CBDebDep = nullptr, *CBDebGen = nullptr, *CBDebProc = nullptr;
    QToolButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr;
    QWidget *DBNavigator1 = nullptr, *DBNavigator2 = nullptr, *DBNavigator3 = nullptr;
    engine::ScrollingModel *DataGridModel = nullptr;
    // The current table's rows on the data page, when that page shows.
    void OpenTableData();
    // The data page's rows fetched again up to what the grid held, on the same row.
    void refetchDataRows();
    bool ShowBlob();
    void HideBlob();
    void ShowImage();
    void HideImage();
    void RenewDependencies();
    // --- end of metadata browser
    // --- SQL console (fBrowser_sql.cpp)
    QToolButton *SBExecSQL = nullptr, *SBExecBk = nullptr, *SBsqlExportToExcel = nullptr;
    QLineEdit *EditsqlSPLine = nullptr;
    QLabel *LsqlLine = nullptr, *LsqlPos = nullptr;
    QTableView *DBGHist = nullptr, *DBGSQL = nullptr;
    QPlainTextEdit *DBMemoHist = nullptr;
    class TDBNavigator *DBNavigator4 = nullptr;
    // One history row for the editor's text (only with the repository).
    void AppendHistory();
    // Before a run's transaction: the history's key generator is there.
    void prepareHistory();
    // The console's statement on a thread of its own, the window served
    // meanwhile; a query's rows. A failure is raised here.
    engine::RowSetPtr runConsoleStatement(const QStringList &sql, bool query);
    // A console statement is running (on its thread, in Database's transaction).
    bool ConsoleRunning = false;
    // --- end of SQL console

    // The pages' command buttons that the code reaches one by one; the rest
    // are switched in named groups through button().
    QToolButton *SBRefreshAll = nullptr, *SBSetGenValue = nullptr, *SBDropTable = nullptr, *SBClearHistory = nullptr;
    QToolButton *SBNewProc = nullptr, *SBOpenProc = nullptr, *SBSaveProc = nullptr, *SBDebDropProc = nullptr,
                *SBdebExecSQL = nullptr, *SBdebShowSet = nullptr, *SBSaveToFile = nullptr;
    QToolButton *SBNewTrig = nullptr, *SBOpenTrig = nullptr, *SBSaveTrig = nullptr, *SBDebDropTrigger = nullptr;
    QToolButton *SBGoToSource = nullptr, *SBGenstozero = nullptr, *SBShowDump = nullptr, *SBCloseTPDump = nullptr,
                *SBExportTPDump = nullptr, *SBShowBPDump = nullptr, *SBCloseBPDump = nullptr,
                *SBExportBPDump = nullptr, *SBShowAllPoints = nullptr, *SBSortedByProc = nullptr,
                *SBDropAllPoints = nullptr;

    // A command button of a page by its name, for the named groups; an
    // unknown name stops the program with that name.
    QAbstractButton *button(const QString &name) const;

    // --- status protocol
    void SetBusy();
    void SetReady();
    void SetError();
    void UpdateStatusLight();
    // The light before any action: "No events".
    void ShowNoEvents();
    // A box with the text: information, or a failure (with the error icon).
    void ShowMessage(const QString &text);
    void ShowError(const QString &text);
    static void DefaultCursor();
    // The same, for the export and the dialogs.
    void setBusy() override;
    void setReady() override;
    void setError() override;
    void showError(const QString &text) override;
    void redraw() override;
    QString &rememberedSaveName() override;
    void reopenUserConnection() override;

    // --- connections
    void ConnectInteractive();
    void ConnectFromCommandLine(const QStringList &arguments);
    void ConnectUserDB();
    void ConnectNationalDB();
    void ConnectDebugDB();
    void MakeUserParams();
    void MakeNationalParams();
    void AfterConnect();
    // The steps of AfterConnect, in its order.
    void ReadExternalTablesPath();
    void OpenConnectionLists();
    void ShowDebuggerControls();
    void ResetEditorControls();
    void OpenOwnHistory();
    void ShowConnectedControls();
    void EnableBrowserButtons();
    // The look before the first connect, with the three connections closed:
    // after a failed connect and when the server is found gone.
    void SetUnconnectedState();
    // The same with the start-up light and hint: a connect given up in its
    // dialogs after the earlier connections were closed.
    void ShowNotConnected();

    // --- entry points of the parts that join the window later
    void EnsureMetaStructures();
    void SetNoRepositoryState();
    virtual void RefreshPointList();
    virtual void ReopenChooserLists();
    virtual void OpenHistory();
    void RememberCatalogueNames();
    Repository repository() const;

public slots:
    void SBConnectClick();
    void SBFontClick();
    void SBGoBrowserClick();
    void SBGoDebuggerClick();
    void SBGoMasterClick();
    void SBGoLorvaneClick();
    void SBEraseMetaClick();
    void Exit1Click();
    void Domains1Click();
    void Tables1Click();
    void Dependencies1Click();
    void Generators1Click();
    void UDFs1Click();
    void Views1Click();
    void Exceptions1Click();
    void Procedures1Click();
    void Procedures2Click();
    void Triggers1Click();
    void Text1Click();
    void History1Click();
    void HelpTopics1Click();
    void About1Click();
    void PCMainChange();
    void PCSQLChange();
    void PagePCProcTrigChange();
    void PCProcChange();
    void PCBrowserChange();

    // metadata browser
    void PCColumnsChange();
    void SBNewDomainClick();
    void SBNewTableClick();
    void SBNewIndexClick();
    void SBNewGenClick();
    void SBNewUDFClick();
    void SBNewViewClick();
    void SBNewExceptionClick();
    void SBNewConstraintClick();
    void SBNewColClick();
    void SBDropDomainClick();
    void SBDropTableClick();
    void SBDropColClick();
    void SBIndexActiveClick();
    void SBIndexInactiveClick();
    void SBIndexBalanceClick();
    void SBIndexStatisticsClick();
    void SBDropIndexClick();
    void SBTriggerActiveClick();
    void SBTriggerInactiveClick();
    void SBDropTriggerClick();
    void SBDropConstraintClick();
    void SBSetGenValueClick();
    void SBDropGenClick();
    void SBDropUDFClick();
    void SBDropViewClick();
    void SBDropExceptionClick();
    void SBDropProcClick();
    void SBCopyColClick();
    void SBFromColClick();
    void SBToColClick();
    void SBRefreshAllClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void CBVerboseColClick();
    void CBDebDepClick();
    void CBDebGenClick();
    void CBDebProcClick();
    void SBShowBlobClick();
    void SBHideBlobClick();
    void SBShowImageClick();
    void SBHideImageClick();
    void SBCutMemoClick();
    void SBCopyMemoClick();
    void SBPasteMemoClick();
    void SBCutImageClick();
    void SBCopyImageClick();
    void SBPasteImageClick();
    void SBReadTextFromFileClick();
    void SBWriteTextToFileClick();
    void SBExportDataClick();
    void DBGDomainKeyPress(QChar key);
    void DBGTablesKeyPress(QChar key);
    void DBGDependKeyPress(QChar key);
    void DBGGeneratorKeyPress(QChar key);
    void DBGrid3KeyPress(QChar key);
    void DBGViewKeyPress(QChar key);
    void DGExceptionsKeyPress(QChar key);
    void DBGProceduresKeyPress(QChar key);

    void SBSpyModeClick();
    void SBDebugModeClick();
    void SBNewSessionClick();
    void SBSyntaxOffClick();
    void SBSyntaxOffTrigClick();
    void SBsqlSyntaxOffClick();
    void SBdebExecSQLClick();
    void SBdebShowSetClick();
    void SBNewProcClick();
    void SBOpenProcClick();
    void SBSaveProcClick();
    void SBNewTrigClick();
    void SBOpenTrigClick();
    void SBSaveTrigClick();
    void SBExecSQLClick();

    // SQL console
    void SBExecBkClick();
    void SBClearHistoryClick();
    void SBsqlReadSQLClick();
    void SBsqlWriteSQLClick();
    void SBsqlSPCutClick();
    void SBsqlSPCopyClick();
    void SBsqlSPPasteClick();
    void SBsqlSPUndoClick();
    void SBsqlSPLineClick();
    void SBsqlSyntaxOnClick();
    void SpeedButton6Click();
    void SQLBodyKeyUp();
    void SQLBodyMouseDown();
    void SBsqlExportToExcelClick();

    // debug run
    void TimerExecTimer();

    // spy mode, watches, dumps, point list
    void TimerBPTimer();
    void TimerGenTimer();
    void SBContinueClick();
    void CBMinClick();
    void SBGoToSourceClick();
    void RGTimerClick(int index);
    void SBGenstozeroClick();
    void SBShowDumpClick();
    void SBShowBPDumpClick();
    void SBCloseTPDumpClick();
    void SBCloseBPDumpClick();
    void SBExportTPDumpClick();
    void SBExportBPDumpClick();
    void SBShowAllPointsClick();
    void SBShowBPClick();
    void SBShowTPClick();
    void SBShowPPClick();
    void SBSortedByProcClick();
    void SBSortedByPointClick();
    void SBViewSourceClick();
    void SBDropPointClick();
    void SBDropAllPointsClick();
    // Its steps: false when an object's markers could not be taken out.
    bool StripAllPoints();
    void ReopenListsAfterDrop();
    void DropDebugTables();

    void SBSyntaxOnClick();
    void SBSyntaxOnTrigClick();
    void SBOpenFromFileClick();
    void SBOpenFromFile2Click();
    void SBSaveToFileClick();
    void SBSaveToFile2Click();
    void SBSPUndoClick();
    void SBSPCutClick();
    void SBSPCopyClick();
    void SBSPPasteClick();
    void SBTrUndoClick();
    void SBTrCutClick();
    void SBTrCopyClick();
    void SBTrPasteClick();
    void SBSPLineClick();
    void SBTrigLineClick();
    void SBDebDropProcClick();
    void SBDebDropTriggerClick();
    void SBFindInProcClick();
    void SBFindInTrigClick();
    void REProcChange();
    void Setbreakpoint1Click();
    void Settracepoint1Click();
    void Setprogresspoint1Click();
    void Setbreakpoint2Click();
    void Settracepoint2Click();
    void Setprogresspoint2Click();

protected:
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFrame();
    // The status bar, its progress bar, the timers and the context menus.
    void buildStatusBar();
    void buildMenu();
    void buildPages();
    QWidget *buildBrowserPage();
    QWidget *buildDebuggerPage();
    // The procedure and trigger editors with their tool bars and parameter grids.
    void buildEditorPages();
    QWidget *buildSqlPage();
    // The console's tool bar above its tabs and the tabs' content.
    void buildConsolePages(QWidget *sqlPage);
    QWidget *buildSqlTextBar();
    void buildHistoryPage();
    void buildRecordsPage();
    // The foreground run's steps inside its transaction: true for a query.
    bool runConsoleText();
    // The editor and the history memo follow the history's current row.
    void followHistoryRow();
    // The debugger pages of the run and of spy mode (their own files).
    void buildRunWidgets();
    void buildSpyPages(QWidget *debuggerPage, QHBoxLayout *bottomPanel);
    void buildWatchPage();
    void buildProgressPage();
    void buildDumpPages();
    void buildPointListPage();
    QToolButton *makeButton(QWidget *parent, const QString &name, const QString &hint, const QString &icon = {});
    void showWorkArea(QWidget *page, QToolButton *pageButton);
    void showBrowserPage(int index);
    void setTabShown(QTabWidget *tabs, QWidget *page, bool shown);
    bool FormKeyDown(QKeyEvent *e);
    void FormShow();
    void reconnectIfPending();
    void applyConnectionParams(const QString &user, const QString &password);
    // The three connections with the user's parameter sets; a failure is
    // reported ("Incorrect User Name or Password: ") in the error state.
    bool connectAll();
    // The procedure's (isProc) or the trigger's editor tool bar.
    QWidget *buildEditorToolBar(QWidget *parent, bool isProc);
    void connectEditorPages();
    void enableButtons(const char *const *names, int count, bool enabled);
    void dropEditedObject(const QString &kind, const QString &name, TMyRichEdit *editor,
                          const char *const *dropped, int droppedCount);
    bool askModified(TMyRichEdit *editor, const QString &question);
    // One editor page of the debugger: what differs between the procedure
    // and the trigger page, chosen once where a command names its page.
    struct EditorPage {
        QString kind; // "SP" or "TR", as the instrumenter and save commands name it
        TMyRichEdit *editor;
        QLabel *name;
        QLineEdit *lineField;
        quint8 &state;
        instrument::LineMap &lineMap;
        QString &lineEnd;
        // The procedure page keeps its text among other tabs: brought forward
        // before a jump. Null for the trigger page.
        QWidget *textTab;
        void (TfmBrowser::*updateLinePos)();
        void (TfmBrowser::*load)();
        bool (TfmBrowser::*selectByName)(const QString &name);
        // Called after each successful save; null where the page has no saved state.
        void (TfmBrowser::*markSaved)();
    };
    EditorPage editorPage(const QString &kind);
    bool selectProcByName(const QString &name);
    bool selectTrigByName(const QString &name);
    // The saves' common steps: the text of ins stored in the caller's
    // transaction; the editor reloaded where it was.
    void executeSaveText(EditorPage &page, instrument::Instrumenter &ins);
    void finishSave(EditorPage &page, bool reload, bool byNameLabel, int caret, int caretLine);
    bool recordDebugPoints(EditorPage &page, instrument::Instrumenter &ins);
    bool prepareDebugTables(const QString &object);
    void goToLine(EditorPage page);
    // The typed line number checked (a refused one is reported) and jumped to.
    void jumpToTypedLine(TMyRichEdit *editor, QLineEdit *lineField, void (TfmBrowser::*updateLinePos)());
    void loadFileInto(QPlainTextEdit *editor);
    void saveEditorToFile(TMyRichEdit *editor, const QString &offeredName);
    void undoIn(TMyRichEdit *editor);
    void showFindFor(TMyRichEdit *editor);
    void syntaxOn(TMyRichEdit *editor);
    void syntaxOff(TMyRichEdit *editor);
    void showEditorError(const QString &message, EditorPage page);
    void fillParamGrid(QTableWidget *grid, const QString &title, int rows);
    void buildPointMenus();
    void reloadAfterSave(EditorPage &page, bool byNameLabel, int caret, int caretLine);

    // The metadata browser's pages (fBrowser_meta.cpp).
    void buildMetaPages(QWidget *browserPage);
    QWidget *buildDomainsPage();
    QWidget *buildTablesPage();
    QWidget *buildColumnTabs(QWidget *tablesPage);
    QWidget *buildDataTab();
    QWidget *buildListPage(const QString &name, const QString &caption);
    void buildDetailPages();
    QToolButton *metaButton(QWidget *parent, const QString &name, const QString &caption, void (TfmBrowser::*slot)(),
                            const QString &hint = QString());
    void connectMetaSignals();
    void putTemplate(int kind);
    void searchList(engine::DataSet &list, const QString &field, QChar key, bool suspendVerbose);
    void tableRowChanged();
    void freezeTableGrids(bool frozen);
    void releaseDataViews();
    void postImage();
    void postMemo();

    TfmAliases *m_aliases = nullptr;
    TfmLoginPrompt *m_login = nullptr;
    QHash<QString, QAbstractButton *> m_buttons;
    bool m_shownOnce = false;
    bool m_spyMode = false;
    bool m_historyWritten = false; // by the console's current run
    // The break protocol's connection and statements (see protocolDatabase()).
    engine::Database &protocolDatabase() const;
    Repository protocolRepository();
    void writeAnswers(const QVector<spylogic::WatchCell> &cells);
    std::unique_ptr<engine::Statement> m_protocolQ6, m_protocolQ7;
    // Held while no hit waits for its answers, so a waiting break sleeps
    // in the lock manager until Continue lets it go.
    debugrun::BreakLatch m_latch;
};

extern TfmBrowser *fmBrowser;
