#include "workbench/fBrowser.h"

#include "common/about_un.h"
#include "platform/Help.h"
#include "platform/Modal.h"
#include "platform/Placement.h"
#include "platform/Prompter.h"
#include "platform/Settings.h"
#include "engine/Error.h"
#include "engine/Transaction.h"
#include "workbench/DM1.h"
#include "workbench/FrameLogic.h"
#include "workbench/Glyphs.h"
#include "workbench/Grids.h"
#include "workbench/ProcText.h"
#include "workbench/WorkStatus.h"
#include "workbench/mysimplere.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TfmBrowser *fmBrowser = nullptr;

namespace {

const QString kTitle = QStringLiteral("Marrowby ");

// The page buttons kept as members of their names, filled in as each is made.
const struct {
    const char *name;
    QToolButton *TfmBrowser::*member;
} kButtonMembers[] = {
    {"SBRefreshAll", &TfmBrowser::SBRefreshAll},       {"SBSetGenValue", &TfmBrowser::SBSetGenValue},
    {"SBDropTable", &TfmBrowser::SBDropTable},         {"SBClearHistory", &TfmBrowser::SBClearHistory},
    {"SBNewProc", &TfmBrowser::SBNewProc},             {"SBOpenProc", &TfmBrowser::SBOpenProc},
    {"SBSaveProc", &TfmBrowser::SBSaveProc},           {"SBDebDropProc", &TfmBrowser::SBDebDropProc},
    {"SBdebExecSQL", &TfmBrowser::SBdebExecSQL},       {"SBdebShowSet", &TfmBrowser::SBdebShowSet},
    {"SBSaveToFile", &TfmBrowser::SBSaveToFile},       {"SBNewTrig", &TfmBrowser::SBNewTrig},
    {"SBOpenTrig", &TfmBrowser::SBOpenTrig},           {"SBSaveTrig", &TfmBrowser::SBSaveTrig},
    {"SBDebDropTrigger", &TfmBrowser::SBDebDropTrigger}, {"SBGoToSource", &TfmBrowser::SBGoToSource},
    {"SBGenstozero", &TfmBrowser::SBGenstozero},       {"SBShowDump", &TfmBrowser::SBShowDump},
    {"SBCloseTPDump", &TfmBrowser::SBCloseTPDump},     {"SBExportTPDump", &TfmBrowser::SBExportTPDump},
    {"SBShowBPDump", &TfmBrowser::SBShowBPDump},       {"SBCloseBPDump", &TfmBrowser::SBCloseBPDump},
    {"SBExportBPDump", &TfmBrowser::SBExportBPDump},   {"SBShowAllPoints", &TfmBrowser::SBShowAllPoints},
    {"SBSortedByProc", &TfmBrowser::SBSortedByProc},   {"SBDropAllPoints", &TfmBrowser::SBDropAllPoints}};

QWidget *page(QTabWidget *tabs, const QString &name, const QString &caption)
{
    auto *w = new QWidget(tabs);
    w->setObjectName(name);
    tabs->addTab(w, caption);
    return w;
}

QTabWidget *tabs(QWidget *parent, const QString &name)
{
    auto *t = new QTabWidget(parent);
    t->setObjectName(name);
    auto *l = new QVBoxLayout(parent);
    l->setContentsMargins(2, 2, 2, 2);
    l->addWidget(t);
    return t;
}

TMyRichEdit *editor(QWidget *parent, const QString &name)
{
    auto *e = new TMyRichEdit(parent);
    e->setObjectName(name);
    return e;
}

// The window works on the data module's connections and flags: it is made first.
TDM &dataModule()
{
    if (!DM)
        qFatal("TfmBrowser needs the data module made before it");
    return *DM;
}

} // namespace

TfmBrowser::TfmBrowser(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent), MetaPresent(dataModule().MetaPresent), VerboseColumns(dataModule().VerboseColumns)
{
    fmBrowser = this;
    setObjectName(QStringLiteral("fmBrowser"));
    setWindowTitle(QStringLiteral(" Marrowby") + QString(40, QLatin1Char(' ')) + QStringLiteral("Database: None"));
    setWindowIcon(glyphs::toolIcon(QStringLiteral("program")));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);
    resize(629, 448);

    buildFrame();
    buildMenu();
    buildPages();
    ShowNoEvents();
    StatusPanel1->setText(QStringLiteral("  "));
    qApp->installEventFilter(this);
    if (DM)
        connect(DM, &TDM::listButtons, this, [this](const QStringList &names, bool enabled) {
            for (const QString &n : names)
                if (QAbstractButton *b = button(n))
                    b->setEnabled(enabled);
        });

    // FormCreate: the command-line connect comes first; the hint is written
    // after it, so a command-line start still shows it.
    ConnectFromCommandLine(arguments);
    SBDebugMode->setChecked(true);
    StatusPanel1->setText(QStringLiteral("   Hint: Connect to database."));
}

TfmBrowser::~TfmBrowser()
{
    qApp->removeEventFilter(this);
    if (fmBrowser == this)
        fmBrowser = nullptr;
}

void TfmBrowser::setDialogs(TfmAliases *aliases, TfmLoginPrompt *login)
{
    m_aliases = aliases;
    m_login = login;
}

QToolButton *TfmBrowser::makeButton(QWidget *parent, const QString &name, const QString &hint, const QString &icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    if (!icon.isEmpty()) {
        b->setIcon(glyphs::toolIcon(icon));
        b->setIconSize(QSize(24, 24));
        b->setAutoRaise(true);
    }
    m_buttons.insert(name, b);
    for (const auto &m : kButtonMembers)
        if (name == QLatin1String(m.name))
            this->*m.member = b;
    return b;
}

QAbstractButton *TfmBrowser::button(const QString &name) const
{
    // Every caller uses the button at once: a misspelt name is a fault of
    // this code, told with the name rather than as a null pointer later.
    QAbstractButton *b = m_buttons.value(name);
    if (!b)
        qFatal("TfmBrowser has no button named %s", qPrintable(name));
    return b;
}

void TfmBrowser::buildFrame()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(33);
    auto *bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(2, 0, 2, 0);
    bar->setSpacing(2);

    SBConnect = makeButton(Panel1, QStringLiteral("SBConnect"), QStringLiteral("Connect"), QStringLiteral("connect"));
    SBFont = makeButton(Panel1, QStringLiteral("SBFont"), QStringLiteral("Change Font"), QStringLiteral("font"));
    SBGoBrowser = makeButton(Panel1, QStringLiteral("SBGoBrowser"), QStringLiteral("MetaBrowser"), QStringLiteral("browser"));
    SBGoDebugger = makeButton(Panel1, QStringLiteral("SBGoDebugger"), QStringLiteral("MetaDebugger"), QStringLiteral("debugger"));
    SBGoMaster = makeButton(Panel1, QStringLiteral("SBGoMaster"), QStringLiteral("SQLMaster"), QStringLiteral("master"));
    SBGoLorvane = makeButton(Panel1, QStringLiteral("SBGoLorvane"), QStringLiteral("Lorvane32Pro"), QStringLiteral("lorvane"));
    SBEraseMeta = makeButton(Panel1, QStringLiteral("SBEraseMeta"), QStringLiteral("Erase META$ structures"), QStringLiteral("erase"));

    auto *group = new QButtonGroup(this);
    group->setExclusive(true);
    for (QToolButton *b : {SBGoBrowser, SBGoDebugger, SBGoMaster}) {
        b->setCheckable(true);
        group->addButton(b);
    }
    SBGoDebugger->setChecked(true);
    SBGoBrowser->setEnabled(false);
    SBGoMaster->setEnabled(false);
    SBGoLorvane->setEnabled(false);
    SBEraseMeta->setVisible(false);

    for (QToolButton *b : {SBConnect, SBFont})
        bar->addWidget(b);
    bar->addSpacing(8);
    for (QToolButton *b : {SBGoBrowser, SBGoDebugger, SBGoMaster})
        bar->addWidget(b);
    bar->addSpacing(8);
    bar->addWidget(SBGoLorvane);
    bar->addWidget(SBEraseMeta);
    bar->addStretch();

    auto picture = [this, bar](const QString &name, const QString &hint) {
        QLabel *l = glyphs::statusLabel(Panel1, name, hint);
        bar->addWidget(l);
        return l;
    };
    IShades = picture(QStringLiteral("IShades"), QStringLiteral("Status: OK"));
    ISad = picture(QStringLiteral("ISad"), QStringLiteral("Status: Error "));
    IIndif = picture(QStringLiteral("IIndif"), QStringLiteral("Status: No events"));
    Iooh = picture(QStringLiteral("Iooh"), QStringLiteral("Status"));

    connect(SBConnect, &QToolButton::clicked, this, &TfmBrowser::SBConnectClick);
    connect(SBFont, &QToolButton::clicked, this, &TfmBrowser::SBFontClick);
    connect(SBGoBrowser, &QToolButton::clicked, this, &TfmBrowser::SBGoBrowserClick);
    connect(SBGoDebugger, &QToolButton::clicked, this, &TfmBrowser::SBGoDebuggerClick);
    connect(SBGoMaster, &QToolButton::clicked, this, &TfmBrowser::SBGoMasterClick);
    connect(SBGoLorvane, &QToolButton::clicked, this, &TfmBrowser::SBGoLorvaneClick);
    connect(SBEraseMeta, &QToolButton::clicked, this, &TfmBrowser::SBEraseMetaClick);
    buildStatusBar();
}

void TfmBrowser::buildStatusBar()
{
    StatusPanel0 = new QLabel(this);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(150);
    StatusPanel1 = new QLabel(this);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(500);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->addWidget(StatusPanel0);
    statusBar()->addWidget(StatusPanel1, 1);

    PBar = new QProgressBar(this);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setVisible(false);
    statusBar()->addPermanentWidget(PBar);

    auto timer = [this](const QString &name, int ms) {
        auto *t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(ms);
        return t;
    };
    TimerExec = timer(QStringLiteral("TimerExec"), 1000);
    TimerBP = timer(QStringLiteral("TimerBP"), 5000);
    // A coarse timer may fire up to 5 % late, a quarter of a second at the
    // 5 s check, and a waiting break would be shown that much later.
    TimerBP->setTimerType(Qt::PreciseTimer);
    TimerGen = timer(QStringLiteral("TimerGen"), 10000);
    PMSP = new QMenu(this);
    PMSP->setObjectName(QStringLiteral("PMSP"));
    PMTrig = new QMenu(this);
    PMTrig->setObjectName(QStringLiteral("PMTrig"));
}

void TfmBrowser::buildMenu()
{
    QMenuBar *mb = menuBar();
    mb->setObjectName(QStringLiteral("MainMenu1"));
    auto action = [this](QMenu *m, const QString &name, const QString &caption, void (TfmBrowser::*slot)()) {
        QAction *a = m->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    Database1 = mb->addMenu(QStringLiteral("Da&tabase"));
    Database1->setObjectName(QStringLiteral("Database1"));
    Connect1 = action(Database1, QStringLiteral("Connect1"), QStringLiteral("&Connect"), &TfmBrowser::SBConnectClick);
    Lorvane1 = action(Database1, QStringLiteral("Lorvane1"), QStringLiteral("&Lorvane"), &TfmBrowser::SBGoLorvaneClick);
    Database1->addSeparator();
    Exit1 = action(Database1, QStringLiteral("Exit1"), QStringLiteral("E&xit"), &TfmBrowser::Exit1Click);

    MetaBrowser1 = mb->addMenu(QStringLiteral("Meta&Browser"));
    MetaBrowser1->setObjectName(QStringLiteral("MetaBrowser1"));
    Domains1 = action(MetaBrowser1, QStringLiteral("Domains1"), QStringLiteral("&Domains"), &TfmBrowser::Domains1Click);
    Tables1 = action(MetaBrowser1, QStringLiteral("Tables1"), QStringLiteral("&Tables"), &TfmBrowser::Tables1Click);
    Dependencies1 = action(MetaBrowser1, QStringLiteral("Dependencies1"), QStringLiteral("D&ependencies"), &TfmBrowser::Dependencies1Click);
    Generators1 = action(MetaBrowser1, QStringLiteral("Generators1"), QStringLiteral("&Generators"), &TfmBrowser::Generators1Click);
    UDFs1 = action(MetaBrowser1, QStringLiteral("UDFs1"), QStringLiteral("&UDFs"), &TfmBrowser::UDFs1Click);
    Views1 = action(MetaBrowser1, QStringLiteral("Views1"), QStringLiteral("&Views"), &TfmBrowser::Views1Click);
    Exceptions1 = action(MetaBrowser1, QStringLiteral("Exceptions1"), QStringLiteral("&Exceptions"), &TfmBrowser::Exceptions1Click);
    Procedures1 = action(MetaBrowser1, QStringLiteral("Procedures1"), QStringLiteral("&Procedures"), &TfmBrowser::Procedures1Click);

    MetaDebugger1 = mb->addMenu(QStringLiteral("Meta&Debugger"));
    MetaDebugger1->setObjectName(QStringLiteral("MetaDebugger1"));
    Procedures2 = action(MetaDebugger1, QStringLiteral("Procedures2"), QStringLiteral("&Procedures"), &TfmBrowser::Procedures2Click);
    Triggers1 = action(MetaDebugger1, QStringLiteral("Triggers1"), QStringLiteral("&Triggers"), &TfmBrowser::Triggers1Click);

    SQLMaster1 = mb->addMenu(QStringLiteral("SQL&Master"));
    SQLMaster1->setObjectName(QStringLiteral("SQLMaster1"));
    Text1 = action(SQLMaster1, QStringLiteral("Text1"), QStringLiteral("&Text"), &TfmBrowser::Text1Click);
    History1 = action(SQLMaster1, QStringLiteral("History1"), QStringLiteral("&History"), &TfmBrowser::History1Click);

    Help1 = mb->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    HelpTopics1 = action(Help1, QStringLiteral("HelpTopics1"), QStringLiteral("Help &Topics"), &TfmBrowser::HelpTopics1Click);
    About1 = action(Help1, QStringLiteral("About1"), QStringLiteral("&About..."), &TfmBrowser::About1Click);

    for (QMenu *m : {MetaBrowser1, MetaDebugger1, SQLMaster1})
        m->menuAction()->setVisible(false);
}

void TfmBrowser::buildPages()
{
    auto *central = new QWidget(this);
    auto *l = new QVBoxLayout(central);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(Panel1);
    PCMain = new QTabWidget(central);
    PCMain->setObjectName(QStringLiteral("PCMain"));
    PCMain->tabBar()->hide(); // pages change only through the buttons and the menu
    l->addWidget(PCMain, 1);
    setCentralWidget(central);

    TSBrowser = buildBrowserPage();
    TSDebugger = buildDebuggerPage();
    TSSQLMaster = buildSqlPage();
    PCMain->setCurrentWidget(TSDebugger);
    PCMain->setEnabled(false);
}

QWidget *TfmBrowser::buildBrowserPage()
{
    QWidget *ts = page(PCMain, QStringLiteral("TSBrowser"), QStringLiteral("Meta Browser"));
    buildMetaPages(ts);
    return ts;
}

QWidget *TfmBrowser::buildDebuggerPage()
{
    QWidget *ts = page(PCMain, QStringLiteral("TSDebugger"), QStringLiteral("Meta Debugger"));
    auto *outer = new QVBoxLayout(ts);
    outer->setContentsMargins(2, 2, 2, 2);
    PagePCProcTrig = new QTabWidget(ts);
    PagePCProcTrig->setObjectName(QStringLiteral("PagePCProcTrig"));
    outer->addWidget(PagePCProcTrig, 1);

    TSProc = page(PagePCProcTrig, QStringLiteral("TSProc"), QStringLiteral("Procedures"));
    TSTrig = page(PagePCProcTrig, QStringLiteral("TSTrig"), QStringLiteral("Triggers"));
    TSPointList = page(PagePCProcTrig, QStringLiteral("TSPointList"), QStringLiteral("BreakPoint List"));
    TSBPV = page(PagePCProcTrig, QStringLiteral("TSBPV"), QStringLiteral("BP Watch"));
    TSPPV = page(PagePCProcTrig, QStringLiteral("TSPPV"), QStringLiteral("PP Watch"));
    TSTPProtocol = page(PagePCProcTrig, QStringLiteral("TSTPProtocol"), QStringLiteral("TP Dump"));
    TSBPProtocol = page(PagePCProcTrig, QStringLiteral("TSBPProtocol"), QStringLiteral("BP Dump"));

    PCProc = tabs(TSProc, QStringLiteral("PCProc"));
    TSText = page(PCProc, QStringLiteral("TSText"), QStringLiteral("Text"));
    TSInput = page(PCProc, QStringLiteral("TSInput"), QStringLiteral("Input Params"));
    TSOutput = page(PCProc, QStringLiteral("TSOutput"), QStringLiteral("Output Params"));
    TSSetOfRec = page(PCProc, QStringLiteral("TSSetOfRec"), QStringLiteral("Set of Records"));

    buildEditorPages();

    // The debugger's bottom panel: debug or spy mode, the session counter.
    auto *bottom = new QHBoxLayout;
    SBDebugMode = makeButton(ts, QStringLiteral("SBDebugMode"), QStringLiteral("Debug mode"));
    SBDebugMode->setText(QStringLiteral("Debug"));
    SBSpyMode = makeButton(ts, QStringLiteral("SBSpyMode"), QStringLiteral("Spy mode"));
    SBSpyMode->setText(QStringLiteral("Spy"));
    auto *modes = new QButtonGroup(this);
    for (QToolButton *b : {SBDebugMode, SBSpyMode}) {
        b->setCheckable(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        modes->addButton(b);
        bottom->addWidget(b);
    }
    SBNewSession = makeButton(ts, QStringLiteral("SBNewSession"),
                              QStringLiteral("Press this button before you start  your application"));
    SBNewSession->setText(QStringLiteral("Try # 0"));
    bottom->addWidget(SBNewSession);
    CBWithDebug = new QCheckBox(QStringLiteral("Save with debug info"), ts);
    CBWithDebug->setObjectName(QStringLiteral("CBWithDebug"));
    bottom->addWidget(CBWithDebug);
    buildSpyPages(ts, bottom);
    bottom->addStretch();
    outer->addLayout(bottom);
    buildRunWidgets();
    for (QWidget *w : std::initializer_list<QWidget *>{SBDebugMode, SBSpyMode, SBNewSession, CBWithDebug})
        w->setEnabled(false);

    connect(SBSpyMode, &QToolButton::clicked, this, &TfmBrowser::SBSpyModeClick);
    connect(SBDebugMode, &QToolButton::clicked, this, &TfmBrowser::SBDebugModeClick);
    connect(SBNewSession, &QToolButton::clicked, this, &TfmBrowser::SBNewSessionClick);
    connect(PagePCProcTrig, &QTabWidget::currentChanged, this, &TfmBrowser::PagePCProcTrigChange);
    connect(PCProc, &QTabWidget::currentChanged, this, &TfmBrowser::PCProcChange);
    return ts;
}

void TfmBrowser::buildEditorPages()
{
    auto *textLayout = new QVBoxLayout(TSText);
    textLayout->setContentsMargins(2, 2, 2, 2);
    textLayout->setSpacing(2);
    textLayout->addWidget(buildEditorToolBar(TSText, true));
    REProc = editor(TSText, QStringLiteral("REProc"));
    REProc->setPlainText(proctext::InitialProcedureText().join(QLatin1Char('\n')));
    textLayout->addWidget(REProc, 1);
    auto *inLayout = new QVBoxLayout(TSInput);
    SGInput = grids::plainGrid(TSInput, QStringLiteral("SGInput"), 0, 3);
    inLayout->addWidget(SGInput);
    auto *outLayout = new QVBoxLayout(TSOutput);
    SGOutput = grids::plainGrid(TSOutput, QStringLiteral("SGOutput"), 0, 3);
    outLayout->addWidget(SGOutput);
    fillParamGrid(SGInput, QStringLiteral("Input param."), 0);
    fillParamGrid(SGOutput, QStringLiteral("Output param."), 0);

    auto *trigLayout = new QVBoxLayout(TSTrig);
    trigLayout->setContentsMargins(2, 2, 2, 2);
    trigLayout->setSpacing(2);
    trigLayout->addWidget(buildEditorToolBar(TSTrig, false));
    RETrig = editor(TSTrig, QStringLiteral("RETrig"));
    trigLayout->addWidget(RETrig, 1);
    connectEditorPages();
}

QWidget *TfmBrowser::buildSqlPage()
{
    QWidget *ts = page(PCMain, QStringLiteral("TSSQLMaster"), QStringLiteral("SQL Master"));
    PCSQL = tabs(ts, QStringLiteral("PCSQL"));
    TSHistory = page(PCSQL, QStringLiteral("TSHistory"), QStringLiteral("History"));
    TSSQLText = page(PCSQL, QStringLiteral("TSSQLText"), QStringLiteral("Text"));
    TSSQLRecords = page(PCSQL, QStringLiteral("TSSQLRecords"), QStringLiteral("Set of Records"));
    SQLBody = editor(TSSQLText, QStringLiteral("SQLBody"));
    buildConsolePages(ts);
    PCSQL->setCurrentWidget(TSSQLText);
    connect(PCSQL, &QTabWidget::currentChanged, this, &TfmBrowser::PCSQLChange);
    return ts;
}

void TfmBrowser::setTabShown(QTabWidget *t, QWidget *p, bool shown)
{
    const int i = t->indexOf(p);
    if (i >= 0)
        t->setTabVisible(i, shown);
}

// --- status protocol

void TfmBrowser::UpdateStatusLight()
{
    const framelogic::StatusLook look = framelogic::statusLook(StatusReady, StatusFailed);
    for (QLabel *l : {IShades, ISad, IIndif, Iooh})
        l->setVisible(l->objectName() == look.picture);
    StatusPanel0->setText(look.text);
    // Painted now: the main thread may not return to the event loop before
    // the action ends.
    Panel1->repaint();
    statusBar()->repaint();
}

void TfmBrowser::ShowNoEvents()
{
    StatusReady = false;
    StatusFailed = false;
    UpdateStatusLight();
    StatusPanel0->setText(QStringLiteral("   Status: No events"));
}

void TfmBrowser::SetBusy()
{
    StatusReady = false;
    UpdateStatusLight();
    setEnabled(false);
}

void TfmBrowser::SetReady()
{
    StatusFailed = false;
    StatusReady = true;
    UpdateStatusLight();
    setEnabled(true);
}

void TfmBrowser::SetError()
{
    StatusFailed = true;
    StatusReady = true;
    UpdateStatusLight();
    setEnabled(true);
    // A failure may be the server gone under the window: then the window
    // must stop showing a connection it no longer has.
    if (IsConnected && DM && !DM->Database.alive())
        SetUnconnectedState();
}

void TfmBrowser::ShowMessage(const QString &text)
{
    platform::Prompter::instance().message(platform::Prompter::Icon::Information, kTitle, text);
}

void TfmBrowser::ShowError(const QString &text)
{
    platform::Prompter::instance().message(platform::Prompter::Icon::Error, kTitle, text);
}

void TfmBrowser::DefaultCursor()
{
    restoreDefaultCursor();
}

void TfmBrowser::setBusy() { SetBusy(); }
void TfmBrowser::setReady() { SetReady(); }
void TfmBrowser::setError() { SetError(); }
void TfmBrowser::showError(const QString &text) { ShowError(text); }
void TfmBrowser::redraw() { repaint(); }
QString &TfmBrowser::rememberedSaveName() { return SaveDialog1FileName; }
void TfmBrowser::reopenUserConnection() { ConnectUserDB(); }

// --- page switching

void TfmBrowser::showWorkArea(QWidget *p, QToolButton *pageButton)
{
    pageButton->setChecked(true);
    PCMain->setCurrentWidget(p);
}

void TfmBrowser::reconnectIfPending()
{
    if (!ReconnectPending)
        return;
    try {
        ConnectDebugDB();
        ConnectNationalDB();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
    ReconnectPending = false;
}

void TfmBrowser::SBGoBrowserClick()
{
    reconnectIfPending();
    showWorkArea(TSBrowser, SBGoBrowser);
    PCMainChange();
}

void TfmBrowser::SBGoDebuggerClick()
{
    if (!IsConnected) {
        // Before a connect the debugger stays as it is; keep the group's look.
        (PCMain->currentWidget() == TSBrowser ? SBGoBrowser
         : PCMain->currentWidget() == TSSQLMaster ? SBGoMaster : SBGoDebugger)->setChecked(true);
        return;
    }
    reconnectIfPending();
    RememberCatalogueNames();
    showWorkArea(TSDebugger, SBGoDebugger);
    PCMainChange();
}

void TfmBrowser::SBGoMasterClick()
{
    DM->DataBase2.close();
    DM->DatabaseN.close();
    ReconnectPending = true;
    showWorkArea(TSSQLMaster, SBGoMaster);
    PCMainChange();
}

// The menus take the road of their work area's button, so both leave the
// connections and lists alike (the SQL Master closes the second
// connections, the other two open them again and reload their page): only
// the inner page is the menu's own, set without its reload, which the
// button's page change runs once.
void TfmBrowser::showBrowserPage(int index)
{
    {
        const QSignalBlocker quiet(PCBrowser);
        PCBrowser->setCurrentIndex(index);
    }
    SBGoBrowserClick();
}

void TfmBrowser::Domains1Click() { showBrowserPage(0); }
void TfmBrowser::Tables1Click() { showBrowserPage(1); }
void TfmBrowser::Dependencies1Click() { showBrowserPage(2); }
void TfmBrowser::Generators1Click() { showBrowserPage(3); }
void TfmBrowser::UDFs1Click() { showBrowserPage(4); }
void TfmBrowser::Views1Click() { showBrowserPage(5); }
void TfmBrowser::Exceptions1Click() { showBrowserPage(6); }
void TfmBrowser::Procedures1Click() { showBrowserPage(7); }

void TfmBrowser::showDebuggerPage(int index)
{
    PagePCProcTrig->setCurrentIndex(index);
    SBGoDebuggerClick();
}

void TfmBrowser::Procedures2Click() { showDebuggerPage(0); }
void TfmBrowser::Triggers1Click() { showDebuggerPage(1); }

void TfmBrowser::showMasterPage(QWidget *page)
{
    {
        const QSignalBlocker quiet(PCSQL);
        PCSQL->setCurrentWidget(page);
    }
    SBGoMasterClick();
}

void TfmBrowser::Text1Click() { showMasterPage(TSSQLText); }

void TfmBrowser::History1Click()
{
    if (!PCSQL->isTabVisible(PCSQL->indexOf(TSHistory)))
        return;
    showMasterPage(TSHistory);
}

void TfmBrowser::PCMainChange()
{
    QWidget *current = PCMain->currentWidget();
    if (current == TSBrowser) {
        PCBrowserChange();
    } else if (current == TSDebugger) {
        if (PagePCProcTrig->currentWidget() == TSProc && PCProc->currentWidget() == TSText)
            REProc->setFocus();
    } else if (current == TSSQLMaster) {
        if (PCSQL->currentWidget() == TSHistory)
            PCSQLChange();
        else if (PCSQL->currentWidget() == TSSQLText)
            SQLBody->setFocus();
    }
}

void TfmBrowser::PCSQLChange()
{
    if (PCSQL->currentWidget() == TSHistory)
        OpenHistory();
    else if (PCSQL->currentWidget() == TSSQLText)
        SQLBody->setFocus();
}

void TfmBrowser::PagePCProcTrigChange()
{
    if (PagePCProcTrig->currentWidget() == TSTrig) {
        RETrig->setFocus();
    } else if (PagePCProcTrig->currentWidget() == TSPointList && IsConnected) {
        try {
            engine::TransactionGuard transaction(DM->Database);
            RefreshPointList();
            transaction.commit();
        } catch (const engine::Error &) {
            // The list stays as it was; the refresh is tried again next time.
        }
    }
}

void TfmBrowser::PCProcChange()
{
    if (PCProc->currentWidget() == TSText)
        REProc->setFocus();
    else if (PCProc->currentWidget() == TSInput)
        SGInput->setFocus(); // through the sheet to its grid
}

// --- keyboard: the window sees every key before the focused control

bool TfmBrowser::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && w->window() == this && FormKeyDown(static_cast<QKeyEvent *>(event)))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfmBrowser::FormKeyDown(QKeyEvent *e)
{
    framelogic::WorkArea area = PCMain->currentWidget() == TSBrowser ? framelogic::WorkArea::Browser
                                : PCMain->currentWidget() == TSDebugger ? framelogic::WorkArea::Debugger
                                                                         : framelogic::WorkArea::Master;
    if (e->key() == Qt::Key_F1) {
        const int data = area == framelogic::WorkArea::Browser ? 2 : area == framelogic::WorkArea::Debugger ? 3 : 4;
        platform::HelpService::instance().showContentsOrSay(QStringLiteral("marrowbyhelp.hlp"), data, kTitle);
        return true;
    }
    // Esc offers to end a run that waits (a break nobody answers); the
    // window is disabled meanwhile, so this comes before the enabled test.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && (WorkerRunning || ConsoleRunning)) {
        e->accept();
        EndRunningProcedure();
        return true;
    }
    const QString handler = framelogic::keyCommand(area, PagePCProcTrig->currentIndex(), e->key(), e->modifiers());
    if (handler.isEmpty() || !isEnabled())
        return false;
    QMetaObject::invokeMethod(this, handler.toLatin1().constData());
    return true;
}

// --- font, help, about, exit

void TfmBrowser::SBFontClick()
{
    if (std::optional<QFont> chosen = platform::Prompter::instance().selectFont(font())) {
        setFont(*chosen);
        SBSyntaxOffClick();
        SBSyntaxOffTrigClick();
        SBsqlSyntaxOffClick();
        platform::Settings s(platform::Settings::WorkbenchKey);
        const bool stored =
            s.writeString(QStringLiteral("CurFont"), QStringLiteral("Name"), chosen->family())
            && s.writeInteger(QStringLiteral("CurFont"), QStringLiteral("Style"), framelogic::fontStyleValue(*chosen))
            && s.writeInteger(QStringLiteral("CurFont"), QStringLiteral("Size"), chosen->pointSize());
        if (!stored)
            ShowMessage(QStringLiteral("The font could not be stored in %1: it holds until the program ends.")
                            .arg(QDir::toNativeSeparators(s.filePath())));
    }
    DefaultCursor();
}

void TfmBrowser::HelpTopics1Click()
{
    platform::HelpService::instance().showContentsOrSay(QStringLiteral("marrowbyhelp.hlp"), 0, kTitle);
}

void TfmBrowser::About1Click()
{
    TAboutBox box(QStringLiteral("MarrowbyPro"), QStringLiteral("Version 1.1"), windowIcon(), this);
    platform::execModal(box);
}

void TfmBrowser::Exit1Click()
{
    close();
}

void TfmBrowser::closeEvent(QCloseEvent *e)
{
    // The worker may be blocked in a server call (a break nobody answers):
    // the program must not end under it. The user may end the run instead,
    // and close once it has ended.
    if (WorkerRunning || ConsoleRunning) {
        EndRunningProcedure();
        e->ignore();
        return;
    }
    if (platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), QStringLiteral("Exit now?"))
        != platform::Prompter::Answer::Yes) {
        e->ignore();
        return;
    }
    e->accept();
}

void TfmBrowser::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!m_shownOnce) {
        m_shownOnce = true;
        FormShow();
    }
}

void TfmBrowser::FormShow()
{
    platform::centreOnScreen(*this);
    platform::Settings s(platform::Settings::WorkbenchKey);
    QFont f = font();
    f.setFamily(s.readString(QStringLiteral("CurFont"), QStringLiteral("Name"), QStringLiteral("MS Sans Serif")));
    framelogic::applyFontStyle(f, s.readInteger(QStringLiteral("CurFont"), QStringLiteral("Style"), 0));
    f.setPointSize(qMax(1, s.readInteger(QStringLiteral("CurFont"), QStringLiteral("Size"), 8)));
    setFont(f);
    if (StartedFromCommandLine) {
        SBNewSession->setEnabled(false);
        SBSpyMode->setChecked(true);
        SBSpyModeClick();
        QTimer::singleShot(0, this, &QWidget::showMinimized);
        setWindowState(windowState() | Qt::WindowMinimized);
    }
}
