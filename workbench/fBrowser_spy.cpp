// Spy mode: the polling side of the break/continue protocol, the progress
// view, the dumps and the point list.
#include "workbench/fBrowser.h"

#include "engine/SqlText.h"
#include "engine/Error.h"
#include "engine/GridModel.h"
#include "engine/Transaction.h"
#include "platform/GridColumns.h"
#include "platform/Prompter.h"
#include "workbench/DM1.h"
#include "workbench/ConnectParams.h"
#include "workbench/Export.h"
#include "workbench/Foproc.h"
#include "workbench/Foptrg.h"
#include "workbench/Glyphs.h"
#include "workbench/Grids.h"
#include "workbench/Repository.h"
#include "workbench/SpyLogic.h"
#include "workbench/mysimplere.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The watch grid's name column at its narrowest.
constexpr int kWatchNameWidth = 160;

const QString kStillRunning = QStringLiteral("The procedure is still running.");
const QString kDumpHint = QStringLiteral("   Hint: It is recommended to close dump after overview.");
// Where a watched variable's shown value is kept on its cell, so Continue
// can tell a cell the user left alone from one he changed.
constexpr int kShownRole = Qt::UserRole;
constexpr int kShownNullRole = Qt::UserRole + 1;

void setCell(QTableWidget *grid, int row, int column, const QString &text, bool editable = false)
{
    auto *item = new QTableWidgetItem(text);
    if (!editable)
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    grid->setItem(row, column, item);
}

QString cellText(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

// The watch grid without a hit: its three heading rows only.
void clearWatchGrid(TfmBrowser &b)
{
    b.SGWatch->clearContents();
    b.SGWatch->setRowCount(3);
    setCell(b.SGWatch, 0, 0, QStringLiteral("Stop #"));
    setCell(b.SGWatch, 1, 0, QStringLiteral("BP ID"));
    setCell(b.SGWatch, 2, 0, QStringLiteral("Var name"));
    setCell(b.SGWatch, 2, 1, QStringLiteral("Var value"));
}

void clearGensGrid(TfmBrowser &b)
{
    b.SGGens->clearContents();
    setCell(b.SGGens, 0, 0, QStringLiteral("Point N"));
    setCell(b.SGGens, 0, 1, QStringLiteral("Value"));
}

// A message raised from a timer tick. While one is open its event loop
// keeps the timers firing; the ticks then skip their work (see the timer
// handlers), so the boxes never pile up.
void timerMessage(TfmBrowser &b, const QString &text)
{
    if (b.TimerMessageOpen)
        return;
    b.TimerMessageOpen = true;
    b.ShowError(text);
    b.TimerMessageOpen = false;
}

QToolButton *textButton(QToolButton *b, const QString &caption)
{
    b->setText(caption);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

QLabel *picture(QWidget *parent, const QString &name, const QString &glyph)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setPixmap(glyphs::statusPicture(glyph).scaled(18, 18, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return l;
}

void showChecking(QLabel *idle, QLabel *checking, bool on)
{
    idle->setVisible(!on);
    checking->setVisible(on);
    checking->repaint();
    idle->repaint();
}

enum class Strip { Done, Missing, Failed };

// Loads object into its editor (the loader turns its debug blocks back into
// markers) and saves it with the markers dropped. An object no longer in the
// catalogue is left alone: the chooser would stay on another row, and that
// object would be rewritten instead.
Strip stripObject(TfmBrowser &b, const QString &object, const QString &kind, bool reload)
{
    const bool isProc = kind == QLatin1String("SP");
    b.PagePCProcTrig->setCurrentWidget(isProc ? b.TSProc : b.TSTrig);
    b.InDebugBlock = false;
    if (isProc ? (!fmOpenProc || !fmOpenProc->SelectByName(object))
               : (!fmOpenTrig || !fmOpenTrig->SelectByName(object)))
        return Strip::Missing;
    if (isProc) {
        b.LoadProcedure();
    } else {
        b.LoadTrigger();
        // The stored trigger is altered, never created anew.
        b.TrigEditorState = 1;
    }
    b.StripPointsMode = true;
    const bool ok = b.SaveSourcePlain(reload, isProc ? QStringLiteral("SP") : QStringLiteral("TR"));
    b.StripPointsMode = false;
    if (isProc)
        b.ProcEditorState = 1;
    else
        b.TrigEditorState = 1;
    return ok ? Strip::Done : Strip::Failed;
}

// A point-list command's refresh, in a short transaction of its own.
void refreshInTransaction(TfmBrowser &b);

// A filter or order button: its choice is set, it shows pressed, the list follows.
template <typename T>
void choosePoints(TfmBrowser &b, T &choice, T value, const char *buttonName)
{
    choice = value;
    b.button(QLatin1String(buttonName))->setChecked(true);
    refreshInTransaction(b);
}

// The start of both clear commands: never while a procedure runs (the
// strip-saves and the reconnect touch the debug connection it still uses),
// only after "Clear now?" is answered Yes; then busy.
// The end of a clear command that failed: no strip-save is left half
// set, the transaction is undone, the server's message is shown.
void clearFailed(TfmBrowser &b, const QString &message)
{
    b.StripPointsMode = false;
    engine::rollbackQuietly(DM->Database);
    b.SetError();
    b.ShowError(message);
}

bool beginClear(TfmBrowser &b)
{
    if (b.WorkerRunning) {
        b.ShowMessage(kStillRunning);
        return false;
    }
    if (platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), QStringLiteral("Clear now?"))
        != platform::Prompter::Answer::Yes)
        return false;
    b.SetBusy();
    return true;
}

void refreshInTransaction(TfmBrowser &b)
{
    try {
        engine::TransactionGuard transaction(DM->Database);
        b.RefreshPointList();
        transaction.commit();
    } catch (const engine::Error &e) {
        b.ShowError(e.message());
    }
}

} // namespace

// --- the pages

void TfmBrowser::buildSpyPages(QWidget *debuggerPage, QHBoxLayout *bottomPanel)
{
    // The bottom panel's spy-mode controls, hidden outside spy mode.
    SBContinue = textButton(makeButton(debuggerPage, QStringLiteral("SBContinue"),
                                       QStringLiteral("Press this button for SP/Trigger running continue")),
                            QStringLiteral("Continue"));
    LBPCheck = new QLabel(QStringLiteral("BP Check:"), debuggerPage);
    LBPCheck->setObjectName(QStringLiteral("LBPCheck"));
    Image1 = picture(debuggerPage, QStringLiteral("Image1"), QStringLiteral("IIndif"));
    Image2 = picture(debuggerPage, QStringLiteral("Image2"), QStringLiteral("Iooh"));
    CBMin = new QCheckBox(QStringLiteral("Minimize "), debuggerPage);
    CBMin->setObjectName(QStringLiteral("CBMin"));
    CBMin->setToolTip(QStringLiteral("Minimize in Spy mode"));
    for (QWidget *w : std::initializer_list<QWidget *>{SBContinue, LBPCheck, Image1, Image2, CBMin}) {
        bottomPanel->addWidget(w);
        w->setVisible(false);
    }
    SBContinue->setEnabled(false);
    connect(SBContinue, &QToolButton::clicked, this, &TfmBrowser::SBContinueClick);
    connect(CBMin, &QCheckBox::clicked, this, &TfmBrowser::CBMinClick);
    connect(TimerBP, &QTimer::timeout, this, &TfmBrowser::TimerBPTimer);
    connect(TimerGen, &QTimer::timeout, this, &TfmBrowser::TimerGenTimer);

    buildWatchPage();
    buildProgressPage();
    buildDumpPages();
    buildPointListPage();
}

void TfmBrowser::buildWatchPage()
{
    // "BP Watch": the shown hit.
    auto *l = new QVBoxLayout(TSBPV);
    l->setContentsMargins(2, 2, 2, 2);
    auto *top = new QHBoxLayout;
    auto label = [this, top](const QString &name, const QString &caption, const QString &initial) {
        top->addWidget(new QLabel(caption, TSBPV));
        auto *v = new QLabel(initial, TSBPV);
        v->setObjectName(name);
        top->addWidget(v);
        top->addSpacing(12);
        return v;
    };
    LProcTrigName = label(QStringLiteral("LProcTrigName"), QStringLiteral("Proc/Trigger:"), QStringLiteral("None"));
    LBPID = label(QStringLiteral("LBPID"), QStringLiteral("BP:"), QStringLiteral("None"));
    LBPNum = label(QStringLiteral("LBPNum"), QStringLiteral("Stop #:"), QStringLiteral("0"));
    QToolButton *go = textButton(makeButton(TSBPV, QStringLiteral("SBGoToSource"), QStringLiteral("View Source")),
                                 QStringLiteral("View Source"));
    go->setEnabled(false);
    top->addWidget(go);
    top->addStretch();
    l->addLayout(top);
    SGWatch = grids::plainGrid(TSBPV, QStringLiteral("SGWatch"), 3, 2);
    SGWatch->setColumnWidth(0, kWatchNameWidth);
    SGWatch->setEnabled(false);
    l->addWidget(SGWatch, 1);
    clearWatchGrid(*this);
    connect(go, &QToolButton::clicked, this, &TfmBrowser::SBGoToSourceClick);
}

void TfmBrowser::buildProgressPage()
{
    // "PP Watch": the progress generators.
    auto *l = new QVBoxLayout(TSPPV);
    l->setContentsMargins(2, 2, 2, 2);
    auto *top = new QHBoxLayout;
    auto *box = new QGroupBox(QStringLiteral("Check interval"), TSPPV);
    box->setObjectName(QStringLiteral("RGTimer"));
    RGTimer = box;
    auto *boxLayout = new QHBoxLayout(box);
    auto *group = new QButtonGroup(box);
    int index = 0;
    for (const char *caption : {"10 sec", "20 sec", "30 sec"}) {
        auto *r = new QRadioButton(QLatin1String(caption), box);
        group->addButton(r, index++);
        boxLayout->addWidget(r);
    }
    group->button(0)->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, &TfmBrowser::RGTimerClick);
    top->addWidget(box);
    QToolButton *zero = textButton(makeButton(TSPPV, QStringLiteral("SBGenstozero"),
                                              QStringLiteral("Set all PP to zero")),
                                   QStringLiteral("Set all PP to zero"));
    top->addWidget(zero);
    Image11 = picture(TSPPV, QStringLiteral("Image11"), QStringLiteral("IIndif"));
    Image22 = picture(TSPPV, QStringLiteral("Image22"), QStringLiteral("Iooh"));
    Image22->setVisible(false);
    top->addWidget(Image11);
    top->addWidget(Image22);
    top->addStretch();
    l->addLayout(top);
    SGGens = grids::plainGrid(TSPPV, QStringLiteral("SGGens"), 11, 2);
    SGGens->setEditTriggers(QAbstractItemView::NoEditTriggers);
    l->addWidget(SGGens, 1);
    clearGensGrid(*this);
    connect(zero, &QToolButton::clicked, this, &TfmBrowser::SBGenstozeroClick);
}

void TfmBrowser::buildDumpPages()
{
    // The two dumps: a try number, the hits of that try and the variables
    // of the selected hit.
    auto dumpPage = [this](QWidget *page, const QString &editName, const QString &showName,
                           const QString &closeName, const QString &exportName, engine::DataSet *master,
                           engine::DataSet *detail, const QString &masterName, const QString &detailName,
                           QTableView **masterGrid, QTableView **detailGrid) {
        auto *l = new QVBoxLayout(page);
        l->setContentsMargins(2, 2, 2, 2);
        auto *top = new QHBoxLayout;
        top->addWidget(new QLabel(QStringLiteral("Try #"), page));
        auto *edit = new QLineEdit(QStringLiteral("0"), page);
        edit->setObjectName(editName);
        edit->setMaximumWidth(80);
        top->addWidget(edit);
        QToolButton *show = textButton(makeButton(page, showName, QString()), QStringLiteral("Show Dump"));
        QToolButton *close = textButton(makeButton(page, closeName, QString()), QStringLiteral("Close Dump"));
        auto *group = new QButtonGroup(page);
        for (QToolButton *b : {show, close}) {
            b->setCheckable(true);
            group->addButton(b);
            top->addWidget(b);
        }
        close->setChecked(true);
        top->addWidget(makeButton(page, exportName, QStringLiteral("Export to the text file"), QStringLiteral("export")));
        top->addStretch();
        l->addLayout(top);
        auto *split = new QSplitter(Qt::Horizontal, page);
        *masterGrid = grids::dataGrid(split, masterName, master);
        *detailGrid = grids::dataGrid(split, detailName, detail);
        l->addWidget(split, 1);
        return edit;
    };
    EditTPTry = dumpPage(TSTPProtocol, QStringLiteral("EditTPTry"), QStringLiteral("SBShowDump"),
                         QStringLiteral("SBCloseTPDump"), QStringLiteral("SBExportTPDump"), &DM->QTPDump,
                         &DM->QTPValues, QStringLiteral("DBGTPDump"), QStringLiteral("DBGTPValues"), &DBGTPDump,
                         &DBGTPValues);
    EditBPTry = dumpPage(TSBPProtocol, QStringLiteral("EditBPTry"), QStringLiteral("SBShowBPDump"),
                         QStringLiteral("SBCloseBPDump"), QStringLiteral("SBExportBPDump"), &DM->QBPDump,
                         &DM->QBPV2, QStringLiteral("DBGBPDump"), QStringLiteral("DBGBPV2"), &DBGBPDump, &DBGBPV2);
    connect(SBShowDump, &QToolButton::clicked, this, &TfmBrowser::SBShowDumpClick);
    connect(SBCloseTPDump, &QToolButton::clicked, this, &TfmBrowser::SBCloseTPDumpClick);
    connect(SBExportTPDump, &QToolButton::clicked, this, &TfmBrowser::SBExportTPDumpClick);
    connect(SBShowBPDump, &QToolButton::clicked, this, &TfmBrowser::SBShowBPDumpClick);
    connect(SBCloseBPDump, &QToolButton::clicked, this, &TfmBrowser::SBCloseBPDumpClick);
    connect(SBExportBPDump, &QToolButton::clicked, this, &TfmBrowser::SBExportBPDumpClick);
}

void TfmBrowser::buildPointListPage()
{
    // "BreakPoint List".
    auto *l = new QVBoxLayout(TSPointList);
    l->setContentsMargins(2, 2, 2, 2);
    auto *top = new QHBoxLayout;
    struct Spec {
        const char *name, *caption, *hint;
        void (TfmBrowser::*slot)();
    };
    const Spec filters[] = {{"SBShowAllPoints", "All", "Show All", &TfmBrowser::SBShowAllPointsClick},
                            {"SBShowBP", "BP", "Show BP only", &TfmBrowser::SBShowBPClick},
                            {"SBShowTP", "TP", "Show TP only", &TfmBrowser::SBShowTPClick},
                            {"SBShowPP", "PP", "Show PP only", &TfmBrowser::SBShowPPClick}};
    const Spec sorts[] = {{"SBSortedByProc", "Sort by Proc name", "", &TfmBrowser::SBSortedByProcClick},
                          {"SBSortedByPoint", "Sort by Point name", "", &TfmBrowser::SBSortedByPointClick}};
    const Spec commands[] = {
        {"SBViewSource", "View Source", "View Source", &TfmBrowser::SBViewSourceClick},
        {"SBDropPoint", "Clear one ", "Clear all points from one proc/trigger", &TfmBrowser::SBDropPointClick},
        {"SBDropAllPoints", "Clear all", "Clear all points from all proc/triggers",
         &TfmBrowser::SBDropAllPointsClick}};
    auto add = [this, top](const Spec &s, QButtonGroup *group) {
        QToolButton *b = textButton(makeButton(TSPointList, QLatin1String(s.name), QLatin1String(s.hint)),
                                    QLatin1String(s.caption));
        if (group) {
            b->setCheckable(true);
            group->addButton(b);
        }
        top->addWidget(b);
        connect(b, &QToolButton::clicked, this, s.slot);
    };
    auto *filterGroup = new QButtonGroup(TSPointList);
    for (const Spec &s : filters)
        add(s, filterGroup);
    top->addSpacing(12);
    auto *sortGroup = new QButtonGroup(TSPointList);
    for (const Spec &s : sorts)
        add(s, sortGroup);
    top->addSpacing(12);
    for (const Spec &s : commands)
        add(s, nullptr);
    top->addStretch();
    SBShowAllPoints->setChecked(true);
    SBSortedByProc->setChecked(true);
    for (const char *name : {"SBViewSource", "SBDropPoint", "SBDropAllPoints", "SBSortedByProc", "SBSortedByPoint"})
        button(QLatin1String(name))->setEnabled(false);
    l->addLayout(top);
    DBGPointList = grids::dataGrid(TSPointList, QStringLiteral("DBGPointList"), &DM->QPointList);
    // Names are short, "Procedure/Trigger Name" is not: the columns
    // follow their captions and contents (a few rows), not a fixed width.
    DBGPointList->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    l->addWidget(DBGPointList, 1);
}

// --- spy mode on and off

void TfmBrowser::SBSpyModeClick()
{
    SBSpyMode->setChecked(true);
    m_spyMode = true;
    if (!IsConnected)
        return;
    try {
        if (!repository().debugTablesExist())
            return;
    } catch (const engine::Error &) {
        return;
    }

    HitsProcessed = 0;
    SBContinue->setEnabled(false);
    SGWatch->setEnabled(false);
    SBNewSession->setVisible(true);
    try {
        SessionNumber = repository().sessionNumber(ProtocolUser);
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
    SBNewSession->setText(QStringLiteral("Try # %1").arg(SessionNumber));
    SBNewSession->repaint();
    ResetDumps();

    clearWatchGrid(*this);
    clearGensGrid(*this);

    for (QWidget *w : std::initializer_list<QWidget *>{SBContinue, LBPCheck, Image1, CBMin})
        w->setVisible(true);
    Image2->setVisible(false);
    TimerBP->start();
    TimerGen->start();
    if (CBMin->isChecked())
        showMinimized();
}

void TfmBrowser::SBDebugModeClick()
{
    SBDebugMode->setChecked(true);
    m_spyMode = false;
    // A hit still waiting is shown again at the next entry, which starts
    // counting from 0.
    if (HitShown && !WorkerRunning)
        SetReady(); // the look the shown hit had set
    HitShown = false;
    SBContinue->setEnabled(false);
    SGWatch->setEnabled(false);
    for (QWidget *w : std::initializer_list<QWidget *>{SBNewSession, SBContinue, LBPCheck, Image1, Image2, CBMin})
        w->setVisible(false);
    TimerBP->stop();
    TimerGen->stop();
    if (isMinimized())
        showNormal();
}

void TfmBrowser::CBMinClick()
{
    if (CBMin->isChecked())
        showMinimized();
}

// --- the break check and the shown hit

void TfmBrowser::TimerBPTimer()
{
    // Skipped while a message of a tick is open, while a hit waits for
    // Continue and while another command holds the main connection's
    // transaction; the next tick tries again.
    if (TimerMessageOpen || HitShown || !IsConnected || protocolDatabase().inTransaction())
        return;
    m_latch.hold(DM->DataBase2, ProtocolUser);
    if (CheckNewBreak())
        ProcessBP();
}

bool TfmBrowser::CheckNewBreak()
{
    showChecking(Image1, Image2, true);
    bool found = false;
    QString failure;
    try {
        Repository r = protocolRepository();
        // Another window of the user (the one whose runs this copy answers)
        // may have started a new session since: its hits are the ones to
        // look for, counted from the first.
        const int current = r.sessionNumber(ProtocolUser);
        if (current != SessionNumber) {
            SessionNumber = current;
            HitsProcessed = 0;
            SBNewSession->setText(QStringLiteral("Try # %1").arg(SessionNumber));
            ResetDumps();
        }
        HitsSeen = r.hitCount(ProtocolUser, SessionNumber);
        found = HitsSeen > HitsProcessed;
    } catch (const engine::Error &e) {
        failure = e.message();
    }
    showChecking(Image1, Image2, false);
    if (!failure.isEmpty())
        timerMessage(*this, failure);
    return found;
}

void TfmBrowser::ProcessBP()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    // The busy look, but the window stays usable: the grid is edited now.
    StatusReady = false;
    UpdateStatusLight();
    setEnabled(true);
    TimerBP->stop();
    TimerGen->stop();

    std::optional<Repository::Hit> hit;
    try {
        hit = protocolRepository().newestHit(ProtocolUser, SessionNumber);
    } catch (const engine::Error &e) {
        // The hit is read again at the next tick.
        TimerBP->start();
        TimerGen->start();
        SetError();
        timerMessage(*this, e.message());
        return;
    }
    // A hit someone has answered meanwhile (another window in spy mode) is
    // no longer waiting: it counts as processed and is not shown.
    if (!hit || hit->answered) {
        HitsProcessed = HitsSeen;
        TimerBP->start();
        TimerGen->start();
        SetReady();
        return;
    }
    ShowHit(*hit);
}

void TfmBrowser::ShowHit(const Repository::Hit &hit)
{
    CurrentHitCode = hit.code;

    PCMain->setCurrentWidget(TSDebugger);
    PagePCProcTrig->setCurrentWidget(TSBPV);
    LBPID->setText(hit.pointId);
    LProcTrigName->setText(hit.object);
    LBPNum->setText(hit.passNumber);
    WatchRowCount = int(hit.values.size());
    // Every watched variable gets its row: the procedure waits for an
    // answer to each of them.
    clearWatchGrid(*this);
    SGWatch->setRowCount(3 + WatchRowCount);
    setCell(SGWatch, 0, 1, hit.passNumber);
    setCell(SGWatch, 1, 1, hit.pointId);
    for (int i = 0; i < WatchRowCount; ++i) {
        const Repository::WatchValue &v = hit.values[i];
        setCell(SGWatch, 3 + i, 0, v.name);
        // A NULL left alone is answered with NULL.
        setCell(SGWatch, 3 + i, 1, v.value, true);
        SGWatch->item(3 + i, 1)->setData(kShownRole, v.value);
        SGWatch->item(3 + i, 1)->setData(kShownNullRole, v.isNull);
    }
    // Variable names of up to 31 characters show whole.
    SGWatch->setColumnWidth(0, qMax(kWatchNameWidth, platform::fittedColumnWidth(SGWatch, 0)));
    SBContinue->setEnabled(true);
    // Not beside a console statement: the source opens in an editor page
    // the statement keeps closed.
    SBGoToSource->setEnabled(!ConsoleRunning);
    SGWatch->setEnabled(true);
    HitsProcessed = HitsSeen;
    HitShown = true;
    // Taken before the check; taken now at the latest, so the block sleeps
    // while the hit is shown.
    m_latch.hold(DM->DataBase2, ProtocolUser);
}

void TfmBrowser::SBContinueClick()
{
    if (!HitShown)
        return;
    QVector<spylogic::WatchCell> cells;
    for (int row = 3; row < 3 + WatchRowCount; ++row) {
        const QTableWidgetItem *value = SGWatch->item(row, 1);
        spylogic::WatchCell c;
        c.name = cellText(SGWatch, row, 0);
        c.text = value ? value->text() : QString();
        c.shown = value ? value->data(kShownRole).toString() : QString();
        c.shownNull = value && value->data(kShownNullRole).toBool();
        cells << c;
    }
    const QString missing = spylogic::missingValueMessage(cells);
    if (!missing.isEmpty()) {
        ShowMessage(missing);
        return;
    }
    SBContinue->setEnabled(false);
    SBContinue->repaint();
    SGWatch->setEnabled(false);

    QString failure;
    try {
        // Answered from elsewhere while shown here: a second set of answers
        // would only be read by nobody.
        if (!protocolRepository().hitAnswered(CurrentHitCode))
            writeAnswers(cells);
    } catch (const engine::Error &e) {
        failure = e.message();
    }
    m_latch.release(); // the answers are written: the block runs on
    HitShown = false;
    if (m_spyMode) {
        TimerBP->start();
        TimerGen->start();
    }
    if (failure.isEmpty()) {
        // A console statement stopped at this break runs on: busy until it ends.
        if (ConsoleRunning)
            SetBusy();
        else
            SetReady();
    } else {
        SetError();
        ShowError(failure);
    }
    if (CBMin->isChecked())
        showMinimized();
}

// While a console statement holds the main connection (it may be the one
// waiting at the break), the protocol goes through the debug connection,
// which no run uses then.
engine::Database &TfmBrowser::protocolDatabase() const
{
    return ConsoleRunning ? DM->DataBase2 : DM->Database;
}

Repository TfmBrowser::protocolRepository()
{
    if (!ConsoleRunning)
        return repository();
    if (!m_protocolQ6) {
        m_protocolQ6 = std::make_unique<engine::Statement>(&DM->DataBase2);
        m_protocolQ7 = std::make_unique<engine::Statement>(&DM->DataBase2);
    }
    return Repository(DM->DataBase2, *m_protocolQ6, *m_protocolQ7);
}

void TfmBrowser::writeAnswers(const QVector<spylogic::WatchCell> &cells)
{
    for (const spylogic::WatchCell &c : cells) {
        if (!ConsoleRunning) {
            DM->Qwrite.close();
            DM->Qwrite.setParam(QStringLiteral("MTCode"), CurrentHitCode);
            DM->Qwrite.setParam(QStringLiteral("VarName"), c.name);
            DM->Qwrite.setParam(QStringLiteral("VarValue"), spylogic::answerValue(c));
            DM->Qwrite.execSql();
            continue;
        }
        engine::Statement write(&DM->DataBase2);
        write.setSql(DM->Qwrite.sql());
        write.setParam(QStringLiteral("MTCode"), CurrentHitCode);
        write.setParam(QStringLiteral("VarName"), c.name);
        write.setParam(QStringLiteral("VarValue"), spylogic::answerValue(c));
        write.execute();
    }
}

// --- the source of a point

void TfmBrowser::SBGoToSourceClick()
{
    const QString object = LProcTrigName->text();
    const QString point = LBPID->text();
    QString kind;
    try {
        kind = protocolRepository().pointKind(object, point);
    } catch (const engine::Error &e) {
        ShowError(e.message());
        return;
    }
    if (kind.isEmpty()) {
        ShowMessage(QStringLiteral("Point %1 of %2 is unknown: it is not in the point list.").arg(point, object));
        return;
    }
    ShowPointInSource(object, QLatin1Char('@') + point, false, kind);
}

void TfmBrowser::ShowPointInSource(const QString &object, const QString &text, bool editable, const QString &kind)
{
    const bool isProc = kind == QLatin1String("SP");
    TMyRichEdit *editor = isProc ? REProc : RETrig;
    // Loading another procedure would rename the stored-procedure component
    // the running worker executes.
    if (isProc && WorkerRunning && object.compare(LProcName->text(), Qt::CaseInsensitive) != 0) {
        ShowMessage(kStillRunning);
        return;
    }
    try {
        InDebugBlock = false;
        if (isProc ? (!fmOpenProc || !fmOpenProc->SelectByName(object))
                   : (!fmOpenTrig || !fmOpenTrig->SelectByName(object))) {
            ShowMessage(QStringLiteral("%1 not found.").arg(object));
            return;
        }
        if (isProc)
            LoadProcedure();
        else
            LoadTrigger();
    } catch (const engine::Error &e) {
        ShowError(e.message());
        return;
    }
    PagePCProcTrig->setCurrentWidget(isProc ? TSProc : TSTrig);
    if (isProc)
        PCProc->setCurrentWidget(TSText);
    // Plain display first: it drops every mark, and the marker's is next.
    editor->setUpdatesEnabled(false);
    editor->PlainSyntax();
    editor->setUpdatesEnabled(true);
    editor->setReadOnly(false);
    editor->MarkText(text, QColor(255, 0, 0));
    if (isProc) {
        if (editable) {
            SetProcEditorOpened();
        } else {
            SetProcEditorNew();
            SBSaveProc->setEnabled(false);
        }
    } else {
        if (editable) {
            SetTrigEditorOpened();
        } else {
            SetTrigEditorNew();
            SBSaveTrig->setEnabled(false);
        }
    }
}

// --- progress points

void TfmBrowser::TimerGenTimer()
{
    if (TimerMessageOpen || !IsConnected || DM->Database.inTransaction())
        return;
    RefreshProgressPoints();
}

void TfmBrowser::RefreshProgressPoints()
{
    showChecking(Image11, Image22, true);
    setCell(SGGens, 0, 0, QStringLiteral("Point N"));
    setCell(SGGens, 0, 1, QStringLiteral("Value"));
    QString failure;
    try {
        const QStringList values = repository().progressValues();
        for (int n = 1; n <= 10; ++n) {
            setCell(SGGens, n, 0, QString::number(n));
            setCell(SGGens, n, 1, values[n - 1]);
        }
    } catch (const engine::Error &e) {
        failure = e.message();
    }
    showChecking(Image11, Image22, false);
    if (!failure.isEmpty())
        timerMessage(*this, failure);
}

void TfmBrowser::RGTimerClick(int index)
{
    TimerGen->setInterval(index * 10000 + 10000);
}

void TfmBrowser::SBGenstozeroClick()
{
    if (platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), QStringLiteral("Are you sure?"))
        != platform::Prompter::Answer::Yes)
        return;
    try {
        repository().zeroProgressGenerators();
        DM->ReopenGenerator();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
    // A shown hit stays: Continue answers from its rows.
    if (!HitShown)
        clearWatchGrid(*this);
    clearGensGrid(*this);
}

// --- dumps

namespace {

void showDump(TfmBrowser &b, QLineEdit *tryField, engine::Query &master, engine::Query &detail,
              QToolButton *showButton)
{
    bool isNumber = false;
    const int session = tryField->text().trimmed().toInt(&isNumber);
    if (!isNumber) {
        b.ShowMessage(QStringLiteral("Incorrect Try #"));
        tryField->setFocus();
        return;
    }
    try {
        engine::TransactionGuard transaction(DM->Database);
        detail.close();
        master.close();
        master.setParam(QStringLiteral("UserName"), b.ProtocolUser);
        master.setParam(QStringLiteral("SessionNum"), session);
        master.open();
        detail.open();
        transaction.commit();
    } catch (const engine::Error &e) {
        b.ShowError(e.message());
    }
    showButton->setChecked(true);
    b.StatusPanel1->setText(kDumpHint);
}

void closeDump(engine::Query &master, engine::Query &detail, QToolButton *closeButton)
{
    detail.close();
    master.close();
    closeButton->setChecked(true);
}

} // namespace

void TfmBrowser::SBShowDumpClick()
{
    showDump(*this, EditTPTry, DM->QTPDump, DM->QTPValues, SBShowDump);
}

void TfmBrowser::SBShowBPDumpClick()
{
    showDump(*this, EditBPTry, DM->QBPDump, DM->QBPV2, SBShowBPDump);
}

void TfmBrowser::SBCloseTPDumpClick()
{
    closeDump(DM->QTPDump, DM->QTPValues, SBCloseTPDump);
    StatusPanel1->clear();
}

void TfmBrowser::SBCloseBPDumpClick()
{
    closeDump(DM->QBPDump, DM->QBPV2, SBCloseBPDump);
    StatusPanel1->clear();
}

void TfmBrowser::ResetDumps()
{
    EditTPTry->setText(QString::number(SessionNumber));
    EditBPTry->setText(QString::number(SessionNumber));
    closeDump(DM->QTPDump, DM->QTPValues, SBCloseTPDump);
    closeDump(DM->QBPDump, DM->QBPV2, SBCloseBPDump);
    // Only the dumps' own hint goes; another command's stays.
    if (StatusPanel1->text() == kDumpHint)
        StatusPanel1->clear();
}

void TfmBrowser::SBExportTPDumpClick()
{
    ExportDataSet(*this, QStringLiteral("TP Dump"), DM->QTPDump);
}

void TfmBrowser::SBExportBPDumpClick()
{
    ExportDataSet(*this, QStringLiteral("BP Dump"), DM->QBPDump);
}

// --- the point list

void TfmBrowser::RefreshPointList()
{
    repository().deleteOrphanPoints();
    {
        engine::ControlsFrozen frozen(DM->QPointList);
        DM->QPointList.close();
        DM->QPointList.setSql(spylogic::pointListSql(PointFilter, PointsByObject));
        DM->QPointList.open();
    }
    const bool any = !DM->QPointList.isEmpty();
    for (const char *name : {"SBViewSource", "SBDropPoint", "SBSortedByProc", "SBSortedByPoint"})
        button(QLatin1String(name))->setEnabled(any);
    // With no point left, "Clear all" still drops the debug tables.
    SBDropAllPoints->setEnabled(any || repository().debugTablesExist());
}

void TfmBrowser::SBShowAllPointsClick()
{
    choosePoints(*this, PointFilter, 0, "SBShowAllPoints");
}

void TfmBrowser::SBShowBPClick()
{
    choosePoints(*this, PointFilter, 1, "SBShowBP");
}

void TfmBrowser::SBShowTPClick()
{
    choosePoints(*this, PointFilter, 2, "SBShowTP");
}

void TfmBrowser::SBShowPPClick()
{
    choosePoints(*this, PointFilter, 3, "SBShowPP");
}

void TfmBrowser::SBSortedByProcClick()
{
    choosePoints(*this, PointsByObject, true, "SBSortedByProc");
}

void TfmBrowser::SBSortedByPointClick()
{
    choosePoints(*this, PointsByObject, false, "SBSortedByPoint");
}

void TfmBrowser::SBViewSourceClick()
{
    engine::Query &q = DM->QPointList;
    if (!q.isActive() || q.isEmpty())
        return;
    const QString object = q.fieldByName(QStringLiteral("ProcName")).asString().trimmed();
    const QString text = spylogic::markerText(q.fieldByName(QStringLiteral("PType")).asString(),
                                              q.fieldByName(QStringLiteral("PID")).asString());
    ShowPointInSource(object, text, true, q.fieldByName(QStringLiteral("SP_T")).asString().trimmed());
}

void TfmBrowser::SBDropPointClick()
{
    engine::Query &q = DM->QPointList;
    if (!q.isActive() || q.isEmpty())
        return;
    if (!beginClear(*this))
        return;
    try {
        const QString object = q.fieldByName(QStringLiteral("ProcName")).asString().trimmed();
        const QString kind = q.fieldByName(QStringLiteral("SP_T")).asString().trimmed();
        if (stripObject(*this, object, kind, true) == Strip::Failed) {
            // The save has shown its message; the markers are still in the
            // source, so its points stay listed.
            StripPointsMode = false;
            SetError();
            DefaultCursor();
            return;
        }
        repository().deleteObjectPoints(object);
        engine::TransactionGuard transaction(DM->Database);
        RefreshPointList();
        transaction.commit();
        SetReady();
    } catch (const engine::Error &e) {
        clearFailed(*this, e.message());
    }
    DefaultCursor();
}

void TfmBrowser::SBDropAllPointsClick()
{
    if (!beginClear(*this))
        return;
    // Any failure ends the command in the error state with the server's
    // message; what was cleared before it stays cleared.
    try {
        if (!StripAllPoints()) {
            SetError();
            DefaultCursor();
            return;
        }
        // No connection of this window may hold the debug tables open.
        m_latch.close();
        DM->Database.close();
        DM->DatabaseN.close();
        DM->DataBase2.close();
        ConnectUserDB();
        ConnectNationalDB();
        ConnectDebugDB();
        ReopenListsAfterDrop();
        DropDebugTables();
        SetReady();
    } catch (const engine::Error &e) {
        clearFailed(*this, e.message());
    }
    DefaultCursor();
}

bool TfmBrowser::StripAllPoints()
{
    QString object, kind;
    while (repository().firstPoint(&object, &kind)) {
        // A failed strip leaves its markers in the source: its points stay,
        // and the loop would only meet it again.
        if (stripObject(*this, object, kind, false) == Strip::Failed)
            return false;
        repository().deleteObjectPoints(object);
    }
    return true;
}

void TfmBrowser::ReopenListsAfterDrop()
{
    try {
        engine::TransactionGuard transaction(DM->Database);
        for (engine::Query *q : {&DM->QDomain, &DM->QIndex, &DM->QIndexFields, &DM->QColumns, &DM->QGenerator,
                                 &DM->QConstraints, &DM->QTableTrigger, &DM->QUDF, &DM->QFArg, &DM->QView,
                                 &DM->QDepend, &DM->QDepend2, &DM->QTables})
            q->close();
        DM->OpenUserLists();
        if (MetaPresent)
            RefreshPointList();
        transaction.commit();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
    try {
        engine::TransactionGuard transaction(DM->DatabaseN);
        DM->QProc.close();
        DM->QTableTrigger.close();
        DM->QProc.open();
        DM->QTableTrigger.open();
        transaction.commit();
    } catch (const engine::Error &e) {
        ShowError(e.message());
    }
}

void TfmBrowser::DropDebugTables()
{
    Repository r = repository();
    r.dropDebugTables();
    const bool tables = r.debugTablesExist();
    SBDropAllPoints->setEnabled((DM->QPointList.isActive() && !DM->QPointList.isEmpty()) || tables);
    if (!tables) {
        // Spy mode has nothing left to poll; its checks would only fail.
        TimerBP->stop();
        TimerGen->stop();
    }
}
