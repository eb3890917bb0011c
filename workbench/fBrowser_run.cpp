// The debug run: the procedure of the editor runs on the debug connection in
// a worker thread while this window keeps serving its timers and input.
#include "workbench/fBrowser.h"

#include "engine/Error.h"
#include "engine/GridModel.h"
#include "engine/Transaction.h"
#include "platform/Prompter.h"
#include "workbench/DM1.h"
#include "workbench/DebugRun.h"
#include "workbench/Foproc.h"
#include "workbench/Grids.h"
#include "workbench/Launcher.h"
#include "workbench/Repository.h"
#include "workbench/fLaunch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The procedure editor's tool buttons that a run keeps from being pressed.
const char *const kProcButtons[] = {"SBdebExecSQL", "SBdebShowSet", "SBNewProc",      "SBOpenProc",
                                    "SBSaveProc",   "SBDebDropProc", "SBOpenFromFile", "SBSaveToFile"};

QString cellText(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

QVector<debugrun::InputRow> inputRows(const TfmBrowser &b)
{
    QVector<debugrun::InputRow> rows;
    for (int r = 1; r <= b.InParamCount; ++r)
        rows.push_back({cellText(b.SGInput, r, 0).trimmed(), cellText(b.SGInput, r, 1).trimmed(),
                        cellText(b.SGInput, r, 2)});
    return rows;
}

} // namespace

void TfmBrowser::buildRunWidgets()
{
    LTime = new QLabel(QStringLiteral("00:00:00"), TSProc);
    LTime->setObjectName(QStringLiteral("LTime"));
    LTime->setToolTip(QStringLiteral("Elapsed Time"));
    // Beside the debugger's mode buttons, at the end of its bottom panel.
    if (auto *outer = qobject_cast<QBoxLayout *>(PagePCProcTrig->parentWidget()->layout())) {
        if (auto *bottom = qobject_cast<QBoxLayout *>(outer->itemAt(outer->count() - 1)->layout()))
            bottom->addWidget(LTime);
    }

    DBGSetOfRec = grids::dataGrid(TSSetOfRec, QStringLiteral("DBGSetOfRec"), DM ? &DM->QProcShowRec : nullptr);
    auto *l = new QVBoxLayout(TSSetOfRec);
    l->setContentsMargins(2, 2, 2, 2);
    l->addWidget(DBGSetOfRec);

    connect(TimerExec, &QTimer::timeout, this, &TfmBrowser::TimerExecTimer);
}

void TfmBrowser::SBdebExecSQLClick()
{
    // One run at a time; the shortcut follows the button (a text changed
    // since its save cannot run until it is saved).
    if (WorkerRunning || !SBdebExecSQL->isEnabled())
        return;
    RunProcedure(true);
}

void TfmBrowser::SBdebShowSetClick()
{
    if (WorkerRunning || !SBdebShowSet->isEnabled())
        return;
    RunProcedure(false);
}

void TfmBrowser::DisableProcButtons()
{
    for (const char *name : kProcButtons)
        if (QAbstractButton *b = button(QLatin1String(name)))
            b->setEnabled(false);
}

void TfmBrowser::EnableProcButtons()
{
    for (const char *name : kProcButtons)
        if (QAbstractButton *b = button(QLatin1String(name)))
            b->setEnabled(true);
}

void TfmBrowser::RunProcedure(bool execute)
{
    SetBusy();
    const QString procedure = LProcName->text();

    if (ProcEditorState != 2 && !SaveEditorObject(QStringLiteral("SP"), false)) {
        SetError();
        DefaultCursor();
        return;
    }

    const QVector<debugrun::InputRow> inputs = inputRows(*this);
    if (debugrun::firstMissingInput(inputs) >= 0) {
        SetReady();
        ShowMessage(QStringLiteral("Type in Input parameters!"));
        DefaultCursor();
        PCProc->setCurrentWidget(TSInput);
        SGInput->setFocus();
        return;
    }

    DisableProcButtons();
    if (!PrepareRun(execute, procedure, inputs))
        return;
    WaitForRun(execute);
    ShowRunResult(execute, procedure);
    EnableProcButtons();
}

bool TfmBrowser::PrepareRun(bool execute, const QString &procedure, const QVector<debugrun::InputRow> &inputs)
{
    DM->QBPDump.close();
    DM->QTPDump.close();

    bool spyDisabled = false;
    auto errorExit = [&](const QString &message) {
        engine::rollbackQuietly(DM->Database);
        SetError();
        if (spyDisabled)
            SBSpyMode->setEnabled(true);
        EnableProcButtons();
        DefaultCursor();
        if (!message.isEmpty())
            ShowError(message);
        return false;
    };

    // The kinds of points come from this procedure's own current points: the
    // flags of the last save may be those of the trigger editor.
    if (MetaPresent) {
        try {
            const debugrun::PointUse use = debugrun::readPointUse(DM->Database, procedure);
            BreakPointsUsed = use.breaks;
            TracePointsUsed = use.traces;
            ProgressPointsUsed = use.progress;
        } catch (const engine::Error &e) {
            return errorExit(e.message());
        }
    }

    if (!PrepareRunStatement(execute, procedure, inputs))
        return false;

    if (ServerIsLocal) {
        SBSpyMode->setEnabled(false);
        spyDisabled = true;
    }
    const debugrun::RunSteps steps = debugrun::runSteps({BreakPointsUsed, TracePointsUsed, ProgressPointsUsed});
    if (steps.zeroProgress) {
        try {
            repository().zeroProgressGenerators();
        } catch (const engine::Error &e) {
            return errorExit(e.message());
        }
    }
    for (int i = 0; i < steps.newSessions; ++i)
        if (!StartNewSession())
            return errorExit(QString());
    if (steps.waitForHits) {
        if (ServerIsLocal) {
            if (FmLaunch && !launcher::RunLaunchDialog(*this, *FmLaunch))
                return errorExit(QString());
        } else {
            SBSpyMode->setChecked(true);
            SBSpyModeClick();
        }
    }
    return true;
}

bool TfmBrowser::PrepareRunStatement(bool execute, const QString &procedure,
                                     const QVector<debugrun::InputRow> &inputs)
{
    try {
        if (!execute) {
            const QString chosen = fmOpenProc ? fmOpenProc->ProcName : procedure;
            DM->QProcShowRec.close();
            DM->QProcShowRec.setSql(debugrun::selectStatement(chosen, inputs));
            return true;
        }
        DM->StoredProc.setStoredProcName(procedure);
        engine::TransactionGuard transaction(DM->DataBase2);
        DM->StoredProc.prepare();
        transaction.commit();
        for (const debugrun::InputRow &in : inputs)
            DM->StoredProc.setParam(in.name, in.value);
        return true;
    } catch (const engine::Error &e) {
        SetError();
        EnableProcButtons();
        DefaultCursor();
        ShowProcError(e.message());
        return false;
    }
}

void TfmBrowser::WaitForRun(bool execute)
{
    Panel1->setEnabled(false);
    // The window is usable again while a hit is shown: a connect from the
    // menu then would close the debug connection under the worker.
    Connect1->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LTime->setText(QStringLiteral("00:00:00"));
    RunStartTime = QTime::currentTime();
    TimerExec->start();
    StatusPanel1->setText(QStringLiteral("   Hint: Wait..."));
    if (execute)
        RunExecThread();
    else
        RunSelectThread();
    StatusPanel1->clear();
    DefaultCursor();
    Panel1->setEnabled(true);
    Connect1->setEnabled(true);
    TimerExec->stop();

    if (ServerIsLocal) {
        SBSpyMode->setEnabled(true);
    } else {
        SBDebugMode->setChecked(true);
        SBDebugModeClick();
        PagePCProcTrig->setCurrentIndex(0);
    }
}

void TfmBrowser::ShowRunResult(bool execute, const QString &procedure)
{
    if (!RunSucceeded) {
        SetError();
        DefaultCursor();
        ShowProcError(RunError);
        return;
    }
    try {
        if (execute) {
            ShowOutputValues(procedure);
            PCProc->setCurrentWidget(TSOutput);
        } else {
            PCProc->setCurrentWidget(TSSetOfRec);
            DBGSetOfRec->setFocus();
        }
        SetReady();
    } catch (const engine::Error &e) {
        SetError();
        ShowError(e.message());
    }
}

void TfmBrowser::ShowOutputValues(const QString &procedure)
{
    DM->QOutParams.close();
    DM->QOutParams.setParam(QStringLiteral("ProcName"), procedure);
    DM->QOutParams.open();
    const int nameField = DM->QOutParams.fieldIndex(QStringLiteral("RDB$PARAMETER_NAME"));
    for (int r = 0; r < DM->QOutParams.recordCount() && r + 1 < SGOutput->rowCount(); ++r) {
        const QString name = DM->QOutParams.textAt(r, nameField).trimmed();
        const QString type = cellText(SGOutput, r + 1, 1).trimmed();
        const QString value = type == QLatin1String("UNSUPPORTED!") ? QString() : DM->StoredProc.paramText(name);
        SGOutput->setItem(r + 1, 2, new QTableWidgetItem(debugrun::outputText(type, value)));
    }
}

bool TfmBrowser::StartNewSession()
{
    m_latch.release(); // the session row is written now; the next check takes it again
    try {
        repository().startSession(ProtocolUser, SessionNumber + 1);
    } catch (const engine::Error &e) {
        ShowError(e.message());
        return false;
    }
    ++SessionNumber;
    SBNewSession->setText(QStringLiteral("Try # %1").arg(SessionNumber));
    SBNewSession->repaint();
    ResetDumps();
    return true;
}

void TfmBrowser::SBNewSessionClick()
{
    if (platform::Prompter::instance().confirm(
            QStringLiteral("Confirmation"),
            QStringLiteral("Are you sure that there are no working SP/Triggers with BP? In other case you will have BIG problems!"))
        == platform::Prompter::Answer::Yes)
        StartNewSession();
}

void TfmBrowser::BeginWorker()
{
    if (BreakPointsUsed)
        HitsSeen = 0;
    RunSucceeded = false;
    RunError.clear();
    WorkerRunning = true;
}

void TfmBrowser::WaitWorker()
{
    // Timers, painting and input go on (spy mode's checks, the clock,
    // Continue, Esc) until the worker's callback has run.
    while (WorkerRunning)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

namespace {

// Created suspended: the callback is connected before the start, so the
// end cannot be missed; the thread goes once the callback has run.
void startWorker(TfmBrowser &b, TMyThread *worker)
{
    b.Worker = worker;
    QObject::connect(worker, &QThread::finished, &b, [&b, worker] {
        b.WorkerDone();
        worker->wait();
        worker->deleteLater();
    });
    worker->start();
}

} // namespace

void TfmBrowser::RunExecThread()
{
    BeginWorker();
    startWorker(*this, new TMyThread1(DM->DataBase2, DM->StoredProc));
    WaitWorker();
}

void TfmBrowser::RunSelectThread()
{
    BeginWorker();
    startWorker(*this, new TMyThread2(DM->DataBase2, DM->QProcShowRec.sql()));
    WaitWorker();
}

void TfmBrowser::WorkerDone()
{
    if (Worker) {
        RunSucceeded = Worker->succeeded();
        RunError = Worker->error();
        // The rows were fetched on the worker's connection; the query only
        // shows them, here on the window's thread.
        if (auto *select = qobject_cast<TMyThread2 *>(Worker); select && RunSucceeded) {
            try {
                DM->QProcShowRec.close();
                DM->QProcShowRec.adoptRows(select->rows());
                DM->QProcShowRec.open();
            } catch (const engine::Error &e) {
                RunSucceeded = false;
                RunError = e.message();
            }
        }
    }
    Worker = nullptr;
    WorkerRunning = false;
}

bool TfmBrowser::EndRunningProcedure()
{
    // A debug run's procedure, or a console statement waiting at a break
    // nobody answers (the procedures and triggers it runs).
    if (!WorkerRunning && !ConsoleRunning)
        return false;
    if (platform::Prompter::instance().confirm(QStringLiteral("Confirmation"),
                                               QStringLiteral("End the running procedure?"))
        == platform::Prompter::Answer::Yes) {
        if (WorkerRunning)
            DM->DataBase2.cancel();
        else if (ConsoleRunning)
            DM->Database.cancel();
    }
    return true;
}

void TfmBrowser::TimerExecTimer()
{
    LTime->setText(debugrun::elapsedText(RunStartTime, QTime::currentTime(),
                                         QLocale::system().timeFormat(QLocale::LongFormat)));
}
