// The debug run from the procedure editor against real databases: the worker
// on the debug connection while the window keeps polling, the statements the
// run sends, sessions, outputs and failures, ending a run that waits, and the
// break/continue round trip with the polling side in this window (loopback
// server) or in a second copy of the program (embedded engine).
//
// The second copy is this very program: started with the copy's arguments
// (alias, user, password, "Y") it runs as the workbench copy instead of the
// tests, answers the first break it shows and exits.
#include "WorkbenchFixture.h"
#include "support/GuiTestMain.h"
#include "support/RealClicks.h"
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/StatementLog.h"
#include "support/TestDatabase.h"
#include "workbench/DebugRun.h"
#include "workbench/Foproc.h"
#include "workbench/Foptrg.h"
#include "workbench/Repository.h"
#include "workbench/fLaunch.h"
#include "workbench/mysimplere.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QLabel>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUuid>
#include <functional>

using platform::Prompter;
using platform::ScopedPrompter;
using platform::ScriptedPrompter;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;
using namespace wbtest;

namespace {

// Where the second copy finds the test's alias file.
const char kAliasFileVar[] = "DUNMOOR_DEBUGRUN_ALIASES";
// Where the second copy writes down the arguments it was started with.
const char kCopyArgumentsVar[] = "DUNMOOR_DEBUGRUN_COPY_ARGS";
// How many breaks the second copy answers before it ends (1 when unset).
const char kCopyHitsVar[] = "DUNMOOR_DEBUGRUN_COPY_HITS";
// The variable the copy edits at a break, and the value it types.
const QString kCopyVariable = QStringLiteral("x");
const QString kCopyValue = QStringLiteral("77");

#ifdef DUNMOOR_WITH_SERVER
const bool kRemote = true;
#else
const bool kRemote = false;
#endif

// A workbench connected from its command line to a database with the
// repository and the test's objects; through the loopback server in the
// server build, where the window is told (as the alias dialog's "Remote"
// does) that the server is not local.
// The workbench on a database with the repository, with short check
// intervals; the modal forms are recorded and the launch form answered.
struct Bench : WindowBench {
    QStringList modal; // object names of the forms shown modally
    int launchResult = TFmLaunch::ContinueResult;
    platform::ModalHook previousHook;

    explicit Bench(const QStringList &ddl, const QString &user = QStringLiteral("SYSDBA")) : WindowBench(kRemote)
    {
        prepare(ddl, true);
        previousHook = platform::setModalHook([this](QDialog &d) {
            modal << d.objectName();
            if (qobject_cast<TFmLaunch *>(&d))
                return launchResult;
            return int(QDialog::Rejected);
        });
        start(user, kRemote ? testsupport::serverPassword() : QString());
        b().ServerIsLocal = !kRemote;
        b().TimerBP->setInterval(50);
        b().TimerGen->setInterval(50);
        p.clear();
    }
    ~Bench()
    {
        w.reset();
        platform::setModalHook(previousHook);
    }
    std::unique_ptr<engine::Database> check() const { return t.connect("SYSDBA", "Check"); }

    // Types a procedure into the editor and saves it as the save command does.
    bool typeAndSave(const QStringList &text, bool withDebug)
    {
        b().SBNewProcClick();
        b().REProc->setPlainText(text.join('\n'));
        b().REProc->document()->setModified(true);
        b().CBWithDebug->setChecked(withDebug);
        b().SBSaveProcClick();
        return b().StatusReady && !b().StatusFailed;
    }
    // Opens a stored procedure in the editor as the open command does.
    void open(const QString &name)
    {
        QVERIFY(fmOpenProc->SelectByName(name));
        b().LoadProcedure();
        b().SetProcEditorOpened();
    }
    void setInput(int row, const QString &value) { b().SGInput->setItem(row, 2, new QTableWidgetItem(value)); }
    QString output(int row) const
    {
        const QTableWidgetItem *i = w->browser->SGOutput->item(row, 2);
        return i ? i->text() : QString();
    }
};

// A procedure with a watched variable, a break point and optionally a trace
// point: R is what x holds after the break.
QStringList breakProcedure(bool withTrace = false)
{
    QStringList text{"CREATE PROCEDURE DBGP (A INTEGER)", "RETURNS (R INTEGER)", "AS",
                     "declare variable x integer;", "begin", "  x = A + 1;"};
    if (withTrace)
        text << "/*#TP1*/";
    return text << "/*@BP1*/" << "  R = x;" << "end";
}

// Answers every new break hit of the database from a connection of the test,
// each variable with the value given (or its own), while the window waits
// for its worker. Counts the hits it answered.
class BreakAnswerer {
public:
    BreakAnswerer(const TestDatabase &t, const QString &value) : m_db(t.connect("SYSDBA", "Answerer")), m_value(value)
    {
        // Hits of earlier runs (a cancelled one's stay) are not this run's.
        m_last = scalar(*m_db, "select max(Code) from META$MTBP").toInt();
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(30);
    }
    int answered() const { return m_answered; }
    // Runs once, on the next poll, before the hits are looked at.
    std::function<void()> beforeAnswer;

private:
    void poll()
    {
        const int code = scalar(*m_db, "select max(Code) from META$MTBP").toInt();
        if (code == 0 || code == m_last)
            return;
        if (beforeAnswer) {
            auto f = std::move(beforeAnswer);
            beforeAnswer = nullptr;
            f();
        }
        m_last = code;
        engine::Statement vars(m_db.get());
        vars.setSql(QString("select VarName, VarValue from META$MTBPV where MTCode = %1").arg(code));
        vars.open();
        for (qsizetype i = 0; i < vars.rows().rowCount(); ++i)
            exec(*m_db, QString("insert into META$MTBPA values (gen_id(meta$CodeGen, 1), %1, \"%2\", \"%3\")")
                            .arg(code)
                            .arg(vars.rows().text(i, 0).trimmed(),
                                 m_value.isEmpty() ? vars.rows().text(i, 1).trimmed() : m_value));
        ++m_answered;
    }
    std::unique_ptr<engine::Database> m_db;
    QString m_value;
    QTimer m_timer;
    int m_last = 0;
    int m_answered = 0;
};

// Runs f once the window has been waiting for its worker for a moment.
void whileRunning(TfmBrowser &b, int delayMs, const std::function<void()> &f)
{
    auto *t = new QTimer(&b);
    t->setInterval(20);
    auto *since = new QElapsedTimer;
    QObject::connect(t, &QTimer::timeout, [t, since, &b, delayMs, f] {
        if (!b.WorkerRunning)
            return;
        if (!since->isValid())
            since->start();
        if (since->elapsed() < delayMs)
            return;
        t->stop();
        delete since;
        f();
        t->deleteLater();
    });
    t->start();
}

// Runs f once, a moment after a console statement has started waiting.
void whileConsoleRuns(TfmBrowser &b, const std::function<void()> &f)
{
    auto *t = new QTimer(&b);
    QObject::connect(t, &QTimer::timeout, [t, &b, f] {
        if (!b.ConsoleRunning)
            return;
        t->stop();
        QTimer::singleShot(300, &b, f);
        t->deleteLater();
    });
    t->start(20);
}

int sessionRow(Bench &bench, const QString &user)
{
    return bench.value(QString("select SessionNum from meta$session where UserName = '%1' and SessionNum >= 0").arg(user))
        .toInt();
}

} // namespace

class TestDebugRun : public QObject {
    Q_OBJECT
private slots:
    void selectStatement_data();
    void selectStatement();
    void pointUse_data();
    void pointUse();
    void runSteps_data();
    void runSteps();
    void elapsedText_data();
    void elapsedText();

    void selectFormSendsTypedValues();
    void missingInputStopsBeforeRunning();
    void executeFormOutputsAndFailures();
    void sessionsAndEndingAWaitingRun();
    void pointsOfTheRunProcedureDecide();
    void breakRoundTrip();
#ifndef DUNMOOR_WITH_SERVER
    void launchDialogContinueByClick();
#endif
    void runsWhileACopyStaysInSpyMode();
    void consoleStatementReachingABreak();
    void instrumentedTextErrors();
};

// --- pure logic

void TestDebugRun::selectStatement_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("sql");
    QTest::newRow("no inputs: one line") << QStringList{} << QStringList{} << QStringList{}
                                         << QStringList{"select * from P"};
    QTest::newRow("date put in quotes")
        << QStringList{"A", "D"} << QStringList{"INTEGER", "DATE"} << QStringList{"2", "1-JAN-2000"}
        << QStringList{"select * from P", "(2,\"1-JAN-2000\")"};
    QTest::newRow("date typed with quotes")
        << QStringList{"D"} << QStringList{"DATE"} << QStringList{"\"2-JAN-2000\""}
        << QStringList{"select * from P", "(\"2-JAN-2000\")"};
    QTest::newRow("text as typed, other types untouched")
        << QStringList{"S", "T"} << QStringList{"VARCHAR(10)", "TIME"} << QStringList{"'a,b'", "12:00"}
        << QStringList{"select * from P", "('a,b',12:00)"};
}

void TestDebugRun::selectStatement()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, types);
    QFETCH(QStringList, values);
    QFETCH(QStringList, sql);
    QVector<debugrun::InputRow> in;
    for (int i = 0; i < names.size(); ++i)
        in.push_back({names[i], types[i], values[i]});
    QCOMPARE(debugrun::selectStatement("P", in), sql);
}

void TestDebugRun::pointUse_data()
{
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("use"); // B, T, P for the kinds found
    QTest::newRow("none") << QStringList{} << QString() << "";
    QTest::newRow("all kinds, padded") << QStringList{"BP", "TP ", "PP"} << "while (meta$num < 2) do" << "BTP";
    QTest::newRow("breaks without watched variables never wait")
        << QStringList{"BP", "TP"} << "x\nwhile (meta$num < 0) do\n" << "T";
    QTest::newRow("break waiting for ten") << QStringList{"BP"} << "while (meta$num < 10) do" << "B";
}

void TestDebugRun::pointUse()
{
    QFETCH(QStringList, types);
    QFETCH(QString, source);
    QFETCH(QString, use);
    const debugrun::PointUse u = debugrun::pointUse(types, source);
    QCOMPARE(QString(u.breaks ? "B" : "") + (u.traces ? "T" : "") + (u.progress ? "P" : ""), use);
}

void TestDebugRun::runSteps_data()
{
    QTest::addColumn<QString>("use"); // B, T, P for the kinds used
    QTest::addColumn<bool>("zeroProgress");
    QTest::addColumn<int>("newSessions");
    QTest::addColumn<bool>("waitForHits");
    QTest::newRow("no points: straight run") << "" << false << 0 << false;
    QTest::newRow("traces only record") << "T" << false << 1 << false;
    QTest::newRow("breaks wait") << "B" << false << 1 << true;
    QTest::newRow("progress zeroed and watched") << "P" << true << 1 << true;
    QTest::newRow("traces and breaks: a session each") << "BT" << false << 2 << true;
    QTest::newRow("all kinds") << "BTP" << true << 2 << true;
}

void TestDebugRun::runSteps()
{
    QFETCH(QString, use);
    const debugrun::RunSteps steps =
        debugrun::runSteps({use.contains('B'), use.contains('T'), use.contains('P')});
    QTEST(steps.zeroProgress, "zeroProgress");
    QTEST(steps.newSessions, "newSessions");
    QTEST(steps.waitForHits, "waitForHits");
}

void TestDebugRun::elapsedText_data()
{
    QTest::addColumn<QTime>("start");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("time zone dropped") << QTime(10, 0, 0) << QTime(10, 1, 5) << "HH:mm:ss t" << "00:01:05";
    QTest::newRow("hours") << QTime(9, 59, 59) << QTime(12, 0, 0) << "H:mm:ss" << "2:00:01";
    QTest::newRow("across midnight") << QTime(23, 59, 0) << QTime(0, 0, 30) << "HH:mm:ss" << "00:01:30";
}

void TestDebugRun::elapsedText()
{
    QFETCH(QTime, start);
    QFETCH(QTime, now);
    QFETCH(QString, format);
    QFETCH(QString, text);
    QCOMPARE(debugrun::elapsedText(start, now, format), text);
}

// --- runs

void TestDebugRun::selectFormSendsTypedValues()
{
    Bench bench({"CREATE PROCEDURE SELP (A INTEGER, D DATE) RETURNS (R INTEGER, E DATE) AS\nbegin\n"
                 "  R = A; E = D + 1; suspend;\n  R = A + 1; suspend;\nend",
                 "CREATE PROCEDURE NOIN RETURNS (R INTEGER) AS\nbegin\n  R = 7; suspend;\nend"});
    TfmBrowser &b = bench.b();
    bench.open("SELP");
    QCOMPARE(b.InParamCount, 2);
    bench.setInput(1, "2");
    bench.setInput(2, "1-JAN-2000");
    {
        engine::StatementRecorder rec;
        b.SBdebShowSetClick();
        QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
        QVERIFY(rec.statements().contains("select * from SELP\n(2,\"1-JAN-2000\")"));
    }
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QVERIFY(b.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(b.PCProc->currentWidget(), b.TSSetOfRec);
    QCOMPARE(b.ProcEditorState, quint8(2)); // opened, so saved before the run
    QAbstractItemModel *m = b.DBGSetOfRec->model();
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(m->data(m->index(1, 0)).toInt(), 3);
    QCOMPARE(DM->QProcShowRec.fieldByName("E").value().toDate(), QDate(2000, 1, 2));
    QVERIFY(b.SBdebShowSet->isEnabled() && b.SBSaveProc->isEnabled());

    // Typed with its quotes, the date goes as typed.
    bench.setInput(2, "\"5-JAN-2000\"");
    {
        engine::StatementRecorder rec;
        b.SBdebShowSetClick();
        QVERIFY(rec.statements().contains("select * from SELP\n(2,\"5-JAN-2000\")"));
    }
    QCOMPARE(DM->QProcShowRec.fieldByName("E").value().toDate(), QDate(2000, 1, 6));

    // No inputs: the statement is one line.
    bench.open("NOIN");
    engine::StatementRecorder rec;
    b.SBdebShowSetClick();
    QVERIFY(rec.statements().contains("select * from NOIN"));
    QCOMPARE(b.DBGSetOfRec->model()->rowCount(), 1);
    QVERIFY(b.StatusReady && !b.StatusFailed);
}

void TestDebugRun::missingInputStopsBeforeRunning()
{
    Bench bench({"CREATE PROCEDURE INP (A INTEGER, B INTEGER) RETURNS (R INTEGER) AS\nbegin\n  R = A + B;\nend"});
    TfmBrowser &b = bench.b();
    bench.open("INP");
    bench.setInput(1, "1");
    b.PCMain->setCurrentWidget(b.TSDebugger);
    b.PagePCProcTrig->setCurrentWidget(b.TSProc);
    b.PCProc->setCurrentWidget(b.TSText);
    engine::StatementRecorder rec;
    // Ctrl+Enter in the editor is the execute command.
    QTest::keyClick(b.REProc, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(bench.p.texts(), QStringList{"Type in Input parameters!"});
    QCOMPARE(b.PCProc->currentWidget(), b.TSInput);
    QVERIFY(b.isEnabled());
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(b.SBdebExecSQL->isEnabled());
    for (const QString &s : rec.statements())
        QVERIFY2(!s.contains("EXECUTE PROCEDURE", Qt::CaseInsensitive), qPrintable(s));

    // Alt+Enter (select form) checks the same way.
    bench.p.clear();
    b.PCProc->setCurrentWidget(b.TSText);
    QTest::keyClick(b.REProc, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(bench.p.texts(), QStringList{"Type in Input parameters!"});
}

void TestDebugRun::executeFormOutputsAndFailures()
{
    Bench bench({"CREATE EXCEPTION BOOM 'boom'",
                 "CREATE PROCEDURE EXP (A INTEGER) RETURNS (R INTEGER, S VARCHAR(10)) AS\nbegin\n"
                 "  R = A * 2;\n  S = 'x:' || A;\n  if (A < 0) then\n    exception BOOM;\nend"});
    TfmBrowser &b = bench.b();
    bench.open("EXP");
    bench.setInput(1, "21");
    b.SBdebExecSQLClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QCOMPARE(bench.output(1), QString("42"));
    QCOMPARE(bench.output(2), QString("x:21"));
    QCOMPARE(b.PCProc->currentWidget(), b.TSOutput);
    QCOMPARE(b.LTime->text().count(':'), 2);
    QVERIFY(!b.TimerExec->isActive());
    QVERIFY(b.Panel1->isEnabled());

    // The procedure fails on the server: error state, the server's message,
    // the caret on the line it names (less the save statement's first line).
    bench.setInput(1, "-1");
    b.SBdebExecSQLClick();
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(bench.p.texts().size(), 1);
    QVERIFY2(bench.p.texts().first().contains("BOOM"), qPrintable(bench.p.texts().first()));
    const QRegularExpressionMatch line =
        QRegularExpression("line:? (\\d+)").match(bench.p.calls().first().text);
    QVERIFY2(line.hasMatch(), qPrintable(bench.p.texts().first()));
    QCOMPARE(b.REProc->textCursor().blockNumber() + 1, line.captured(1).toInt());
    QCOMPARE(b.PCProc->currentWidget(), b.TSText);
    for (const char *name : {"SBdebExecSQL", "SBdebShowSet", "SBSaveProc", "SBOpenProc", "SBNewProc"})
        QVERIFY2(b.button(name)->isEnabled(), name);

    // Preparing fails (the debug connection is closed): the same end, and
    // nothing runs.
    DM->DataBase2.close();
    bench.p.clear();
    bench.setInput(1, "1");
    b.SBdebExecSQLClick();
    QVERIFY(b.StatusFailed);
    QCOMPARE(bench.p.texts().size(), 1);
    QVERIFY(b.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(b.SBdebExecSQL->isEnabled());
    QVERIFY(!b.WorkerRunning);
    QVERIFY(!DM->DataBase2.inTransaction());
}

void TestDebugRun::sessionsAndEndingAWaitingRun()
{
    // Logged in as typed in lower case: the protocol rows carry the server's
    // name for the user.
    Bench bench({}, "sysdba");
    TfmBrowser &b = bench.b();
    QCOMPARE(b.LoginUser, QString("sysdba"));
    QCOMPARE(b.ProtocolUser, QString("SYSDBA"));

    // "Try #" asks first; only Yes starts a session.
    bench.p.answer(Prompter::Answer::No);
    b.SBNewSessionClick();
    QCOMPARE(bench.p.texts(),
             QStringList{"Are you sure that there are no working SP/Triggers with BP? In other case you will have BIG problems!"});
    QCOMPARE(b.SessionNumber, 0);
    bench.p.clear();
    bench.p.answer(Prompter::Answer::Yes);
    b.SBNewSessionClick();
    QCOMPARE(b.SessionNumber, 1);
    QCOMPARE(b.SBNewSession->text(), QString("Try # 1"));
    QCOMPARE(sessionRow(bench, "SYSDBA"), 1);

    QVERIFY(bench.typeAndSave(breakProcedure(true), true));
    QVERIFY2(bench.p.answersLeft() == 0, qPrintable(bench.p.texts().join('\n')));
    exec(*bench.check(), "update meta$gens set GenValue = 5 where UserName = 'SYSDBA'");
    bench.setInput(1, "4");

    // Trace and break points: two sessions. The break is never answered;
    // Esc offers to end the run, the first time declined.
    bench.p.clear();
    bench.p.answer(Prompter::Answer::No).answer(Prompter::Answer::Yes);
    int escapes = 0;
    bool disabledWhileRunning = false;
    std::function<void()> escape = [&] {
        disabledWhileRunning =
            !b.Panel1->isEnabled() && !b.Connect1->isEnabled() && QApplication::overrideCursor();
        // The window is disabled while it waits; its key preview still
        // sees the key.
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&b, &esc);
        if (++escapes < 2)
            whileRunning(b, 100, escape);
    };
    whileRunning(b, 300, escape);
    b.SBdebExecSQLClick();
    QCOMPARE(escapes, 2);
    QVERIFY(disabledWhileRunning);
    QCOMPARE(b.SessionNumber, 3);
    QCOMPARE(b.SBNewSession->text(), QString("Try # 3"));
    QCOMPARE(sessionRow(bench, "SYSDBA"), 3);
    // Counters reset by the sessions; the run's own passes were rolled back.
    QCOMPARE(bench.value("select max(GenValue) from meta$gens where UserName = 'SYSDBA'").toInt(), 0);
    QCOMPARE(bench.value("select max(SessionNum) from META$MTBP").toInt(), 3);
    QCOMPARE(bench.value("select count(*) from META$MTTP where SessionNum = 3").toInt(), 1);
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    QVERIFY(!b.WorkerRunning);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(b.Panel1->isEnabled() && b.Connect1->isEnabled());
    QVERIFY(b.SBSpyMode->isEnabled());
    const QStringList texts = bench.p.texts();
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts[0], QString("End the running procedure?"));
    QCOMPARE(texts[1], QString("End the running procedure?"));
    QVERIFY2(texts[2].contains("cancel", Qt::CaseInsensitive), qPrintable(texts[2]));
    QVERIFY(b.SBdebExecSQL->isEnabled());

    // The debug connection is still usable: the next run, answered from
    // outside, ends with the answered value.
    bench.p.clear();
    BreakAnswerer answerer(bench.t, "30");
    b.SBdebExecSQLClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QCOMPARE(answerer.answered(), 1);
    QCOMPARE(bench.output(1), QString("30"));
    QCOMPARE(b.SessionNumber, 5);
}

void TestDebugRun::pointsOfTheRunProcedureDecide()
{
    Bench bench({"CREATE TABLE EMP (ID INTEGER)",
                 "CREATE TRIGGER TRG FOR EMP ACTIVE BEFORE INSERT POSITION 0 AS\nbegin\n  new.ID = 1;\nend"});
    TfmBrowser &b = bench.b();
    QVERIFY(bench.typeAndSave(breakProcedure(), true));
    QVERIFY(b.BreakPointsUsed);
    // A plain save of a trigger clears the flags of the last save ...
    QVERIFY(fmOpenTrig->SelectByName("TRG"));
    b.LoadTrigger();
    b.SetTrigEditorOpened();
    b.CBWithDebug->setChecked(false);
    b.SBSaveTrigClick();
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QVERIFY(!b.BreakPointsUsed);
    bench.setInput(1, "1");

    // ... yet the procedure's own break point makes the run start a session
    // and choose its polling side. While it waits, closing the window only
    // offers to end the run: the program must not end under the worker.
    bench.p.answer(Prompter::Answer::No);
    BreakAnswerer answerer(bench.t, "12");
    bool stillOpen = false;
    answerer.beforeAnswer = [&] {
        QVERIFY(b.WorkerRunning);
        b.close();
        stillOpen = b.WorkerRunning;
    };
    const int before = b.SessionNumber;
    b.SBdebExecSQLClick();
    QVERIFY(stillOpen);
    QStringList expected{"End the running procedure?"};
    if (!kRemote) {
        QCOMPARE(bench.modal, QStringList{"FmLaunch"});
    } else {
        QVERIFY(bench.modal.isEmpty());
    }
    QCOMPARE(bench.p.texts(), expected);
    QCOMPARE(b.SessionNumber, before + 1);
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QCOMPARE(bench.output(1), QString("12"));

    // Once the run is over, closing asks as always.
    bench.p.clear();
    bench.p.answer(Prompter::Answer::No);
    b.close();
    QCOMPARE(bench.p.texts(), QStringList{"Exit now?"});

    // A plain save of the procedure drops its points: no session, no polling.
    bench.p.clear();
    bench.modal.clear();
    b.REProc->document()->setModified(true);
    b.CBWithDebug->setChecked(false);
    b.SBSaveProcClick();
    bench.setInput(1, "1");
    b.SBdebExecSQLClick();
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QVERIFY(bench.modal.isEmpty());
    QCOMPARE(b.SessionNumber, before + 1);
    QCOMPARE(bench.output(1), QString("2"));
}

void TestDebugRun::breakRoundTrip()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    QVERIFY(bench.typeAndSave(breakProcedure(), true));
    bench.setInput(1, "4");
    bench.p.clear();
#ifdef DUNMOOR_WITH_SERVER
    // This window polls for its own run: it shows the hit within a check,
    // the test edits x and presses Continue.
    qint64 shownAfterMs = -1;
    QStringList watch;
    auto *poll = new QTimer(&b);
    auto watcher = bench.check();
    QElapsedTimer sinceHit;
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (!b.WorkerRunning || !b.spyMode())
            return;
        if (!sinceHit.isValid() && scalar(*watcher, "select count(*) from META$MTBP").toInt() > 0)
            sinceHit.start();
        if (!b.SBContinue || !b.SBContinue->isEnabled())
            return;
        poll->stop();
        shownAfterMs = sinceHit.isValid() ? sinceHit.elapsed() : 0;
        for (int r = 3; r < b.SGWatch->rowCount() && b.SGWatch->item(r, 0)
                        && !b.SGWatch->item(r, 0)->text().isEmpty(); ++r)
            watch << b.SGWatch->item(r, 0)->text().trimmed() + "=" + b.SGWatch->item(r, 1)->text().trimmed();
        b.SGWatch->item(3, 1)->setText(kCopyValue);
        b.SBContinueClick();
    });
    poll->start(10);
    b.SBdebExecSQLClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QVERIFY(bench.modal.isEmpty());
    QCOMPARE(watch, QStringList{"x=5"});
    // Within one check of the hit (plus the time a check and a display take).
    QVERIFY2(shownAfterMs >= 0 && shownAfterMs <= b.TimerBP->interval() + 200, qPrintable(QString::number(shownAfterMs)));
    QVERIFY(!b.spyMode());
#else
    // The real launch dialog, over the window the run has disabled, is
    // clicked "Launch 2nd copy": the workbench starts itself again (here:
    // this program), which polls and answers; the box that follows is
    // clicked OK.
    const QString aliasFile = engine::Session::configurationFile();
    engine::Session::defaultSession().saveConfigFile();
    qputenv(kAliasFileVar, aliasFile.toLocal8Bit());
    QTemporaryDir dir;
    const QString recorded = dir.filePath("copy-arguments");
    qputenv(kCopyArgumentsVar, recorded.toLocal8Bit());
    const platform::ModalHook hook = platform::setModalHook({});
    platform::Prompter *const scripted = Prompter::install(nullptr);
    bool busyBehind = false;
    testsupport::RealClicks clicks;
    clicks.then("SBLaunch", [&](QDialog &) { busyBehind = !b.isEnabled(); }).then("OK");
    QTimer guard; // a copy that never answers must not hang the test
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { DM->DataBase2.cancel(); });
    guard.start(60000);
    b.SBdebExecSQLClick();
    Prompter::install(scripted);
    platform::setModalHook(hook);
    qunsetenv(kCopyArgumentsVar);
    QVERIFY2(guard.isActive(), "the second copy never answered");
    QCOMPARE(clicks.met, QStringList({"Launch dialog", "Marrowby "}));
    QVERIFY(busyBehind);
    QFile copy(recorded);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(copy.readAll()).split('\n'), QStringList({"TESTDB", "SYSDBA", "", "Y"}));
#endif
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QCOMPARE(bench.output(1), kCopyValue);
    QCOMPARE(bench.value("select count(*) from META$MTBPA").toInt(), 1);
}

#ifndef DUNMOOR_WITH_SERVER
// "Continue" clicked on the real launch dialog: the run goes on in this
// window, and the break is answered from elsewhere (here: the test).
void TestDebugRun::launchDialogContinueByClick()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    QVERIFY(bench.typeAndSave(breakProcedure(), true));
    bench.setInput(1, "4");
    bench.p.clear();
    const platform::ModalHook hook = platform::setModalHook({});
    testsupport::RealClicks clicks;
    clicks.then("Continue");
    BreakAnswerer answerer(bench.t, "9");
    b.SBdebExecSQLClick();
    platform::setModalHook(hook);
    QCOMPARE(clicks.met, QStringList{"Launch dialog"});
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(b.StatusReady && !b.StatusFailed);
    QCOMPARE(bench.output(1), QString("9"));
    QVERIFY(bench.p.texts().isEmpty());
}
#endif

void TestDebugRun::runsWhileACopyStaysInSpyMode()
{
    // The user starts a second copy by hand, as the launch dialog asks; it
    // enters spy mode and stays there, answering break after break.
    Bench bench({});
    TfmBrowser &b = bench.b();
    QVERIFY(bench.typeAndSave(breakProcedure(), true));
    const QString aliasFile = engine::Session::configurationFile();
    engine::Session::defaultSession().saveConfigFile();
    qputenv(kAliasFileVar, aliasFile.toLocal8Bit());
    qputenv(kCopyHitsVar, "3");
    QProcess copy;
    copy.setProcessChannelMode(QProcess::ForwardedChannels);
    copy.start(QCoreApplication::applicationFilePath(),
               {"TESTDB", "SYSDBA", kRemote ? testsupport::serverPassword() : QString(), "Y"});
    qunsetenv(kCopyHitsVar);
    QVERIFY(copy.waitForStarted());
    // In spy mode the copy holds its wait row from its first check on.
    QElapsedTimer clock;
    clock.start();
    while (bench.value("select count(*) from meta$session where SessionNum < 0").toInt() == 0
           && clock.elapsed() < 30000)
        QTest::qWait(50);
    QTest::qWait(300);
    auto conflictFree = bench.check(); // the row is held: a no-wait update of it fails
    QVERIFY_THROWS_EXCEPTION(engine::Error,
                             exec(*conflictFree, "update meta$session set SessionNum = SessionNum where SessionNum < 0"));

    // "Try #" and three runs, each starting a session of its own.
    bench.p.clear();
    bench.p.answer(Prompter::Answer::Yes);
    b.SBNewSessionClick();
    QCOMPARE(bench.p.texts().size(), 1); // the question only
    QCOMPARE(b.SessionNumber, 1);
    QTimer guard; // a copy that stops answering must not hang the test
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { DM->DataBase2.cancel(); });
    for (int run = 1; run <= 3; ++run) {
        bench.p.clear();
        bench.setInput(1, QString::number(run));
        guard.start(60000);
        b.SBdebExecSQLClick();
        QVERIFY2(guard.isActive(), "the copy never answered");
        QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
        QVERIFY(b.StatusReady && !b.StatusFailed);
        QCOMPARE(bench.output(1), kCopyValue);
        QCOMPARE(b.SessionNumber, 1 + run);
        QCOMPARE(sessionRow(bench, "SYSDBA"), 1 + run);
        QCOMPARE(bench.value(QString("select count(*) from META$MTBP where SessionNum = %1").arg(1 + run)).toInt(), 1);
    }
    guard.stop();
    QCOMPARE(bench.value("select count(*) from META$MTBPA").toInt(), 3);
    // The copy may have ended while the last run waited; then its end is
    // already recorded and there is nothing left to wait for.
    if (copy.state() != QProcess::NotRunning)
        QVERIFY(copy.waitForFinished(30000));
    QCOMPARE(copy.exitStatus(), QProcess::NormalExit);
    QCOMPARE(copy.exitCode(), 0);
}

void TestDebugRun::consoleStatementReachingABreak()
{
    // A trigger saved with a break point; this window in spy mode; the
    // console's UPDATE fires the trigger, which stops at the break.
    Bench bench({"CREATE TABLE T (A INTEGER)", "INSERT INTO T VALUES (1)",
                 "CREATE TRIGGER TRG FOR T ACTIVE BEFORE UPDATE POSITION 0 AS\ndeclare variable x integer;\nbegin\n"
                 "  x = new.A;\n/*@BP1*/\n  new.A = x;\nend"});
    TfmBrowser &b = bench.b();
    QVERIFY(fmOpenTrig->SelectByName("TRG"));
    b.LoadTrigger();
    b.SetTrigEditorOpened();
    b.CBWithDebug->setChecked(true);
    b.SBSaveTrigClick();
    QVERIFY2(bench.p.texts().isEmpty() && !b.StatusFailed, qPrintable(bench.p.texts().join('\n')));
    b.SBSpyModeClick();
    QVERIFY(b.TimerBP->isActive());
    auto check = bench.check();
    QTimer guard; // a break the window cannot answer must not hang the test
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { DM->Database.cancel(); });

    // Each case: what the test does once the window shows the hit (typing
    // into x and pressing Continue, after an answer from elsewhere when
    // asked), the value the update then stores.
    struct Case {
        const char *typed;
        const char *answeredElsewhere; // nullptr: nobody else answers
        int stored;
    };
    const Case cases[] = {{"42", nullptr, 42}, {"99", "7", 7}};
    int answers = 0;
    for (const Case &c : cases) {
        QStringList watch;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!b.SBContinue->isEnabled())
                return;
            poll.stop();
            watch << b.SGWatch->item(3, 0)->text().trimmed() + "=" + b.SGWatch->item(3, 1)->text().trimmed();
            QVERIFY(b.isEnabled() && b.PCMain->currentWidget() == b.TSDebugger);
            // Only the watch page is open beside the statement.
            QVERIFY(!b.Panel1->isEnabled() && !b.SBGoToSource->isEnabled() && !b.SBNewSession->isEnabled());
            QVERIFY(!b.PagePCProcTrig->isTabEnabled(b.PagePCProcTrig->indexOf(b.TSProc)));
            if (c.answeredElsewhere)
                exec(*check, QString("insert into META$MTBPA values (gen_id(meta$CodeGen, 1), %1, '%2', '%3')")
                                 .arg(b.CurrentHitCode)
                                 .arg(b.SGWatch->item(3, 0)->text().trimmed(), c.answeredElsewhere));
            b.SGWatch->item(3, 1)->setText(c.typed);
            b.SBContinueClick();
            QVERIFY(!b.isEnabled() && b.ConsoleRunning); // busy again until the statement ends
        });
        poll.start(10);
        bench.p.clear();
        guard.start(30000);
        b.SQLBody->setPlainText("update T set A = 5");
        b.SBExecSQLClick();
        QVERIFY2(guard.isActive(), "the window never answered its own statement's break");
        QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
        QVERIFY(b.StatusReady && !b.StatusFailed && !b.ConsoleRunning);
        QVERIFY(b.Panel1->isEnabled() && b.SBNewSession->isEnabled()
                && b.PagePCProcTrig->isTabEnabled(b.PagePCProcTrig->indexOf(b.TSProc)));
        QCOMPARE(watch, QStringList{"x=5"});
        QCOMPARE(bench.value("select A from T").toInt(), c.stored);
        // One answer per hit: Continue after an answer from elsewhere adds none.
        QCOMPARE(bench.value("select count(*) from META$MTBPA").toInt(), ++answers);
    }
    guard.stop();

    // A hit answered elsewhere before this window's check is not shown as
    // waiting: the check that finds it counts it as processed.
    b.TimerBP->stop();
    {
        BreakAnswerer answerer(bench.t, "3");
        b.SQLBody->setPlainText("update T set A = 6");
        b.SBExecSQLClick();
        QVERIFY(b.StatusReady && !b.StatusFailed);
        QCOMPARE(answerer.answered(), 1);
    }
    QCOMPARE(bench.value("select A from T").toInt(), 3);
    b.TimerBPTimer();
    QVERIFY(!b.SBContinue->isEnabled());
    QCOMPARE(b.HitsProcessed, b.HitsSeen);
    QCOMPARE(bench.value("select count(*) from META$MTBPA").toInt(), answers + 1);

    // Out of spy mode nobody answers: Esc offers to end the statement, and
    // Yes cancels it on the server; the update is rolled back.
    b.SBDebugModeClick();
    bench.p.clear();
    bench.p.answer(Prompter::Answer::Yes);
    whileConsoleRuns(b, [&] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&b, &esc);
    });
    guard.start(30000);
    b.SQLBody->setPlainText("update T set A = 8");
    b.SBExecSQLClick();
    QVERIFY(guard.isActive());
    const QStringList texts = bench.p.texts();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[0], QString("End the running procedure?"));
    QVERIFY2(texts[1].contains("cancel", Qt::CaseInsensitive), qPrintable(texts[1]));
    QVERIFY(b.StatusFailed && b.isEnabled() && !b.ConsoleRunning);
    QCOMPARE(bench.value("select A from T").toInt(), 3);
}

void TestDebugRun::instrumentedTextErrors()
{
    Bench bench({"CREATE EXCEPTION BOOM 'boom'"});
    TfmBrowser &b = bench.b();
    // Saved with debug info, the procedure the server runs has many more
    // lines than the editor; its error still names the editor's line.
    QVERIFY(bench.typeAndSave({"CREATE PROCEDURE EXD (A INTEGER) RETURNS (R INTEGER)", "AS",
                               "declare variable x integer;", "begin", "/*#T1*/", "  x = A;", "", "/*#T2*/",
                               "  if (x < 0) then", "    exception BOOM;", "  R = x;", "end"},
                              true));
    const int boom = int(b.REProc->toPlainText().split('\n').indexOf("    exception BOOM;")) + 1;
    QVERIFY(boom > 0);
    bench.p.clear();
    bench.setInput(1, "-1");
    b.SBdebExecSQLClick();
    QVERIFY(b.StatusFailed);
    QCOMPARE(bench.p.texts().size(), 1);
    QVERIFY2(bench.p.texts().first().contains(QString("line: %1,").arg(boom)), qPrintable(bench.p.texts().first()));
    QCOMPARE(b.REProc->textCursor().blockNumber() + 1, boom);

    // A debug save the server refuses says why.
    QStringList many{"CREATE PROCEDURE MANY RETURNS (R INTEGER)", "AS", "declare variable x integer;", "begin"};
    for (int i = 0; i < 26; ++i)
        many << QString("/*@B%1*/").arg(i);
    many << "  R = 1;" << "end";
    bench.p.clear();
    QVERIFY(!bench.typeAndSave(many, true));
    QCOMPARE(bench.p.texts().size(), 1);
    QVERIFY2(bench.p.texts().first().startsWith("Uncheck \"Save with debug info\" and retry to save.\r\n")
                 && bench.p.texts().first().contains("Too many Contexts"),
             qPrintable(bench.p.texts().first()));
    QVERIFY(b.isEnabled());
}

namespace {

// The second copy: the workbench as started by the launcher, with a shorter
// check interval; it answers the hits it shows by editing the agreed
// variable and pressing Continue, staying in spy mode between them, and ends
// after the number of hits asked for.
int runAsCopy(const QStringList &arguments)
{
    const QString aliases = qEnvironmentVariable(kAliasFileVar);
    if (!aliases.isEmpty())
        engine::Session::useConfigurationFile(aliases);
    const QString record = qEnvironmentVariable(kCopyArgumentsVar);
    if (!record.isEmpty()) {
        QFile f(record);
        if (f.open(QIODevice::WriteOnly))
            f.write(arguments.join('\n').toUtf8());
    }
    ScriptedPrompter p;
    ScopedPrompter sp(p);
    int rc = 1;
    {
        Workbench w(arguments);
        TfmBrowser &b = *w.browser;
        b.TimerBP->setInterval(50);
        b.show();
        int hitsLeft = qMax(1, qEnvironmentVariableIntValue(kCopyHitsVar));
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!b.SBContinue || !b.SBContinue->isEnabled())
                return;
            for (int r = 3; r < b.SGWatch->rowCount(); ++r) {
                QTableWidgetItem *name = b.SGWatch->item(r, 0);
                if (name && name->text().trimmed() == kCopyVariable) {
                    b.SGWatch->item(r, 1)->setText(kCopyValue);
                    b.SBContinueClick();
                    if (--hitsLeft > 0)
                        return;
                    poll.stop();
                    rc = 0;
                    QTimer::singleShot(200, qApp, [] { QCoreApplication::exit(0); });
                    return;
                }
            }
        });
        poll.start(20);
        // exit(), not quit(): quitting closes the window first, and it asks.
        QTimer::singleShot(90000, qApp, [] { QCoreApplication::exit(1); });
        QApplication::exec();
    }
    if (!p.texts().isEmpty())
        qWarning("second copy: %s", qPrintable(p.texts().join(" | ")));
    return rc;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    testsupport::initRuntime();
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() == 4 && arguments[3] == QLatin1String("Y"))
        return runAsCopy(arguments);
    testsupport::failOnRefusedDialogs();
    TestDebugRun tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_debugrun.moc"
