// Spy mode against real databases: the break check and the shown hit, the
// answers Continue writes (also for a procedure really waiting in another
// thread), the progress view, the dumps, the point list and its clear
// commands, the sources shown for a point, and the timers' messages.
#include "WorkbenchFixture.h"
#include "engine/Runtime.h"
#include "engine/StatementLog.h"
#include "support/GridFit.h"
#include "support/GuiTestMain.h"
#include "workbench/Foproc.h"
#include "workbench/Foptrg.h"
#include "workbench/Repository.h"
#include "workbench/fdivider.h"
#include "workbench/SpyLogic.h"
#include "workbench/mysimplere.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QFile>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QUuid>
#include <thread>

using platform::Prompter;
using platform::ScopedPrompter;
using platform::ScriptedPrompter;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;
using namespace wbtest;

namespace {

struct Var {
    QString name;
    QVariant value; // null: NULL
};

// A connected workbench (started as from the command line) on a database
// with the repository, optionally the debug tables, and the test's objects.
// The workbench on a database with the repository and its debug tables;
// the test's own connection writes what an instrumented object would.
struct Bench : WindowBench {
    std::unique_ptr<engine::Database> db;

    explicit Bench(const QStringList &ddl, bool debugTables = true, const QString &user = "SYSDBA")
    {
        db = t.connect("SYSDBA", "Test");
        installRepository(*db);
        {
            engine::Statement q6(db.get()), q7(db.get());
            Repository r(*db, q6, q7);
            if (debugTables && !r.createDebugTables())
                qFatal("debug tables: %s", qPrintable(p.texts().join('\n')));
        }
        // A connection that made the debug tables keeps them in use.
        db = t.connect("SYSDBA", "Test");
        for (const QString &s : ddl)
            exec(*db, s);
        p.clear();
        start(user);
    }
    int count(const QString &sql) { return scalar(*db, sql).toInt(); }
    QString text(const QString &sql) { return scalar(*db, sql).toString(); }
    QStringList column(const QString &sql)
    {
        engine::Statement s(db.get());
        s.setSql(QStringList{sql});
        s.open();
        QStringList r;
        for (int i = 0; i < s.rows().rowCount(); ++i)
            r << (s.rows().isNull(i, 0) ? QString("<null>") : s.rows().text(i, 0).trimmed());
        return r;
    }
    // A break hit as an instrumented object records it; returns its code.
    int addHit(int session, const QString &object, const QString &point, int pass, const QList<Var> &vars,
               const QString &table = "META$MTBP")
    {
        const int code = scalar(*db, "select gen_id(meta$CodeGen, 1) from rdb$database").toInt();
        exec(*db, QString("insert into %1 values (%2, 'SYSDBA', %3, '%4', '%5', %6)")
                      .arg(table).arg(code).arg(session).arg(object, point).arg(pass));
        const QString values = table == "META$MTBP" ? "META$MTBPV" : "META$MTTPV";
        for (const Var &v : vars)
            exec(*db, QString("insert into %1 values (gen_id(meta$CodeGen, 1), %2, '%3', %4)")
                          .arg(values).arg(code).arg(v.name)
                          .arg(v.value.isNull() ? QString("NULL") : "'" + v.value.toString() + "'"));
        return code;
    }
    void addPoint(const QString &object, const QString &pid, const QString &type, const QString &kind = "SP")
    {
        exec(*db, QString("insert into meta$points values (gen_id(meta$CodeGen, 1), '%1', '%2', '%3', '%4', 0)")
                      .arg(object, pid, type, kind));
    }
    // Types a procedure into the editor and saves it with debug info.
    void saveWithDebug(const QStringList &text)
    {
        TfmBrowser &w = b();
        w.SBNewProcClick();
        w.REProc->setPlainText(text.join('\n'));
        w.REProc->document()->setModified(true);
        w.CBWithDebug->setChecked(true);
        w.SBSaveProcClick();
        if (!p.texts().isEmpty() || w.StatusFailed)
            qFatal("debug save: %s", qPrintable(p.texts().join('\n')));
    }
};

QStringList watchRows(const QTableWidget *g)
{
    QStringList r;
    for (int row = 0; row < g->rowCount(); ++row)
        r << (g->item(row, 0) ? g->item(row, 0)->text() : QString()) + "|"
                 + (g->item(row, 1) ? g->item(row, 1)->text() : QString());
    return r;
}

int watchRowOf(const QTableWidget *g, const QString &name)
{
    for (int row = 3; row < g->rowCount(); ++row)
        if (g->item(row, 0) && g->item(row, 0)->text() == name)
            return row;
    return -1;
}

QStringList gridRows(const QTableView *v)
{
    QStringList r;
    const QAbstractItemModel *m = v->model();
    for (int row = 0; row < m->rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->data(m->index(row, c)).toString().trimmed();
        r << cells.join('|');
    }
    return r;
}

QStringList headers(const QTableView *v)
{
    QStringList r;
    for (int c = 0; c < v->model()->columnCount(); ++c)
        r << v->model()->headerData(c, Qt::Horizontal).toString();
    return r;
}

// A procedure with two watched variables, one of them NULL at the break.
const QStringList kBreakProc{"CREATE PROCEDURE DBGP (A INTEGER)",
                             "RETURNS (R INTEGER, S VARCHAR(20))",
                             "AS",
                             "declare variable x integer;",
                             "declare variable t varchar(20);",
                             "begin",
                             "  x = A + 1;",
                             "  t = null;",
                             "/*@BP1*/",
                             "  R = x;",
                             "  S = coalesce(t, 'was null');",
                             "  suspend;",
                             "end"};

const QString kProcSource = "select RDB$PROCEDURE_SOURCE from RDB$PROCEDURES where RDB$PROCEDURE_NAME = '%1'";

// Answers every message after a pause with its own event loop, as a real
// message box does, and records how deeply messages were nested.
class SlowPrompter : public ScriptedPrompter {
public:
    int depth = 0, deepest = 0, shown = 0;
    void message(Icon icon, const QString &caption, const QString &text) override
    {
        ScriptedPrompter::message(icon, caption, text);
        ++shown;
        deepest = qMax(deepest, ++depth);
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        --depth;
    }
};

} // namespace

class TestSpy : public QObject {
    Q_OBJECT
private slots:
    void pointListSql_data();
    void pointListSql();
    void markerText_data();
    void markerText();
    void watchAnswers_data();
    void watchAnswers();

    void spyModeNeedsConnectionAndDebugTables();
    void spyModeEntryReadsTheSession();
    void newestOfTwoHitsShownOlderInDump();
    void continueAnswersEveryShownVariable();
    void emptiedValueRefused();
    void moreThan97VariablesAllAnswered();
    void breakOfRunningProcedureContinued();
    void progressValuesAndInterval();
    void progressResetLeavesShownHit();
    void timerMessagesDoNotPileUp();
    void dumpsOfATry();
    void pointListFilterSortAndDroppedObjects();
    void sourceOfAPoint();
    void clearOneStripsItsMarkers();
    void clearOneTrigger();
    void clearAllSkipsDroppedObjects();
    void clearAllWithoutPointsDropsTables();
    void clearAllFailureEndsInErrorState();
    void runningProcedureKeptSafe();
};

void TestSpy::pointListSql_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<bool>("byObject");
    QTest::addColumn<QStringList>("sql");
    const QString head = "select * from meta$points where P = 0";
    QTest::newRow("all by object") << 0 << true << QStringList{head, "order by ProcName, PID"};
    QTest::newRow("BP by object") << 1 << true << QStringList{head, "and PType = \"BP\"", "order by ProcName, PID"};
    QTest::newRow("TP by point") << 2 << false << QStringList{head, "and PType = \"TP\"", "order by PID, ProcName"};
    QTest::newRow("PP by point") << 3 << false << QStringList{head, "and PType = \"PP\"", "order by PID, ProcName"};
}

void TestSpy::pointListSql()
{
    QFETCH(int, filter);
    QFETCH(bool, byObject);
    QFETCH(QStringList, sql);
    QCOMPARE(spylogic::pointListSql(filter, byObject), sql);
}

void TestSpy::markerText_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("pid");
    QTest::addColumn<QString>("marker");
    QTest::newRow("break") << "BP" << "BP1" << "@BP1";
    QTest::newRow("trace") << "TP" << "TP2" << "#TP2";
    QTest::newRow("progress, padded CHAR values") << "PP" << "3   " << "$3";
}

void TestSpy::markerText()
{
    QFETCH(QString, type);
    QFETCH(QString, pid);
    QFETCH(QString, marker);
    QCOMPARE(spylogic::markerText(type, pid), marker);
}

void TestSpy::watchAnswers_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("shownNull");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QVariant>("answer");
    QTest::newRow("unchanged") << "5" << false << "5" << "" << QVariant("5");
    QTest::newRow("edited") << "5" << false << "41" << "" << QVariant("41");
    QTest::newRow("NULL left as shown") << "" << true << "" << "" << QVariant();
    QTest::newRow("NULL given a value") << "" << true << "7" << "" << QVariant("7");
    QTest::newRow("emptied") << "5" << false << "" << "Variable X has no value!" << QVariant();
    QTest::newRow("empty text left as shown") << "" << false << "" << "" << QVariant(QString(""));
}

void TestSpy::watchAnswers()
{
    QFETCH(QString, shown);
    QFETCH(bool, shownNull);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QVariant, answer);
    const spylogic::WatchCell cell{"X", shown, shownNull, text};
    QCOMPARE(spylogic::missingValueMessage({{"A", "1", false, "1"}, cell}), message);
    if (!message.isEmpty())
        return;
    const QVariant v = spylogic::answerValue(cell);
    // NULL and an empty text are different answers.
    QCOMPARE(v.isNull(), answer.isNull());
    QCOMPARE(v.toString(), answer.toString());
}

void TestSpy::spyModeNeedsConnectionAndDebugTables()
{
    {
        ScriptedPrompter p;
        ScopedPrompter sp(p);
        Workbench w({});
        TfmBrowser &b = *w.browser;
        b.SBSpyModeClick();
        QVERIFY(b.spyMode());
        QVERIFY(b.SBSpyMode->isChecked());
        QVERIFY(!b.TimerBP->isActive());
        QVERIFY(!b.TimerGen->isActive());
        QVERIFY(b.SBContinue->isHidden());
        QVERIFY(p.texts().isEmpty());
    }
    Bench bench({}, false);
    TfmBrowser &b = bench.b();
    b.SessionNumber = 0;
    exec(*bench.db, "update meta$session set SessionNum = 9");
    engine::StatementRecorder rec;
    b.SBSpyModeClick();
    QVERIFY(b.SBSpyMode->isChecked());
    QVERIFY(!b.SBDebugMode->isChecked());
    QVERIFY(!b.TimerBP->isActive());
    QVERIFY(b.SBContinue->isHidden());
    QCOMPARE(b.SessionNumber, 0);
    // Only the look for the debug tables was sent.
    QCOMPARE(rec.statements().size(), 1);
    QVERIFY(bench.p.texts().isEmpty());
    b.SBDebugModeClick();
    QVERIFY(!b.spyMode());
    QVERIFY(b.SBDebugMode->isChecked());
    QVERIFY(!b.SBSpyMode->isChecked());
}

void TestSpy::spyModeEntryReadsTheSession()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    exec(*bench.db, "update meta$session set SessionNum = 4 where UserName = 'SYSDBA'");
    b.EditBPTry->setText("1");
    b.SBShowBPDumpClick();
    QVERIFY(DM->QBPDump.isActive());
    b.CBMin->setChecked(false);

    b.SBSpyModeClick();
    QVERIFY(b.spyMode());
    QCOMPARE(b.SessionNumber, 4);
    QCOMPARE(b.SBNewSession->text(), QString("Try # 4"));
    QVERIFY(!b.SBNewSession->isHidden());
    QCOMPARE(b.EditTPTry->text(), QString("4"));
    QCOMPARE(b.EditBPTry->text(), QString("4"));
    QVERIFY(!DM->QBPDump.isActive());
    QVERIFY(b.SBCloseBPDump->isChecked());
    QVERIFY(b.SBCloseTPDump->isChecked());
    QCOMPARE(watchRows(b.SGWatch), (QStringList{"Stop #|", "BP ID|", "Var name|Var value"}));
    QCOMPARE(b.SGGens->item(0, 0)->text(), QString("Point N"));
    for (QWidget *w : std::initializer_list<QWidget *>{b.SBContinue, b.LBPCheck, b.CBMin})
        QVERIFY(!w->isHidden());
    QVERIFY(!b.SBContinue->isEnabled());
    QVERIFY(b.TimerBP->isActive());
    QVERIFY(b.TimerGen->isActive());
    QCOMPARE(b.TimerBP->interval(), 5000);

    b.SBDebugModeClick();
    for (QWidget *w : std::initializer_list<QWidget *>{b.SBNewSession, b.SBContinue, b.LBPCheck, b.Image1, b.Image2,
                                                       b.CBMin})
        QVERIFY(w->isHidden());
    QVERIFY(!b.TimerBP->isActive());
    QVERIFY(!b.TimerGen->isActive());
}

void TestSpy::newestOfTwoHitsShownOlderInDump()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.SBSpyModeClick();
    QCOMPARE(b.SessionNumber, 0);
    const int older = bench.addHit(0, "P1", "BP1", 1, {{"A", "1"}, {"B", "2"}});
    const int newer = bench.addHit(0, "P2", "BP7", 3, {{"CUSTOMER_ORDER_LINE_TOTAL_VALUE", "x:y"}});
    bench.addHit(1, "P3", "BP1", 1, {{"D", "4"}}); // another session: not this one's

    // The run's busy state is on while its worker waits.
    b.SetBusy();
    b.TimerBPTimer();
    QVERIFY(b.HitShown);
    QCOMPARE(b.CurrentHitCode, newer);
    QCOMPARE(b.HitsSeen, 2);
    QCOMPARE(b.HitsProcessed, 2);
    QCOMPARE(b.PagePCProcTrig->currentWidget(), b.TSBPV);
    QCOMPARE(b.LProcTrigName->text(), QString("P2"));
    QCOMPARE(b.LBPID->text(), QString("BP7"));
    QCOMPARE(b.LBPNum->text(), QString("3"));
    QCOMPARE(watchRows(b.SGWatch),
             (QStringList{"Stop #|3", "BP ID|BP7", "Var name|Var value", "CUSTOMER_ORDER_LINE_TOTAL_VALUE|x:y"}));
    QCOMPARE(testsupport::cutTexts(*b.SGWatch), QStringList()); // a 31-character name shows whole
    // Busy look, but the window is usable so the values can be edited.
    QVERIFY(b.isEnabled());
    QVERIFY(!b.StatusReady);
    QVERIFY(b.SBContinue->isEnabled());
    QVERIFY(b.SGWatch->isEnabled());
    QVERIFY(b.SBGoToSource->isEnabled());
    QVERIFY(!b.TimerBP->isActive());
    QVERIFY(!b.TimerGen->isActive());

    b.SBContinueClick();
    QVERIFY(b.StatusReady);
    QVERIFY(!b.StatusFailed);
    QVERIFY(b.TimerBP->isActive());
    QCOMPARE(bench.count(QString("select count(*) from META$MTBPA where MTCode = %1").arg(older)), 0);
    QCOMPARE(bench.count(QString("select count(*) from META$MTBPA where MTCode = %1").arg(newer)), 1);
    // Nothing new: the next check shows nothing.
    QVERIFY(!b.CheckNewBreak());

    // The older hit is in the break-point dump.
    b.EditBPTry->setText("0");
    b.SBShowBPDumpClick();
    QCOMPARE(gridRows(b.DBGBPDump), (QStringList{"P1|BP1|1", "P2|BP7|3"}));
    QCOMPARE(gridRows(b.DBGBPV2), (QStringList{"A|1", "B|2"}));
    QVERIFY(bench.p.texts().isEmpty());
}

void TestSpy::continueAnswersEveryShownVariable()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.SBSpyModeClick();
    const int code = bench.addHit(0, "P", "BP1", 1, {{"X", "5"}, {"U", "keep"}, {"T", QVariant()}});
    b.TimerBPTimer();
    QVERIFY(b.HitShown);
    QCOMPARE(b.WatchRowCount, 3);
    QCOMPARE(b.SGWatch->rowCount(), 6);
    // Headings and names cannot be edited; values can.
    QVERIFY(!(b.SGWatch->item(0, 0)->flags() & Qt::ItemIsEditable));
    QVERIFY(!(b.SGWatch->item(3, 0)->flags() & Qt::ItemIsEditable));
    QVERIFY(b.SGWatch->item(3, 1)->flags() & Qt::ItemIsEditable);
    QCOMPARE(b.SGWatch->item(watchRowOf(b.SGWatch, "T"), 1)->text(), QString());
    b.SGWatch->item(watchRowOf(b.SGWatch, "X"), 1)->setText("41");

    engine::StatementRecorder rec;
    b.SBContinueClick();
    QVERIFY(bench.p.texts().isEmpty());
    QVERIFY(!b.HitShown);
    QVERIFY(!b.SBContinue->isEnabled());
    QVERIFY(!b.SGWatch->isEnabled());
    const QString insert = "insert into meta$mtbpa values (gen_id(meta$CodeGen, 1), ?, ?, ?)";
    // Not answered meanwhile from elsewhere: the answers are written.
    QCOMPARE(rec.statements(),
             (QStringList{"select count(*) from meta$mtbpa where MTCode = ?", insert, insert, insert}));
    const QString answers = QString("select %2 from META$MTBPA where MTCode = %1 order by Code").arg(code);
    // In grid order, the edited value, the rest as shown; the NULL (the
    // last row) went back as NULL, which the external table stores blank.
    QCOMPARE(bench.column(answers.arg("VarName")), (QStringList{"X", "U", "T"}));
    QCOMPARE(bench.column(answers.arg("VarValue")), (QStringList{"41", "keep", ""}));
    QVERIFY(DM->Qwrite.param("VarValue").isNull());
    QCOMPARE(DM->Qwrite.param("VarName").toString(), QString("T"));
}

void TestSpy::emptiedValueRefused()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.SBSpyModeClick();
    const int code = bench.addHit(0, "P", "BP1", 1, {{"X", "5"}, {"Y", "6"}});
    b.TimerBPTimer();
    b.SGWatch->item(watchRowOf(b.SGWatch, "Y"), 1)->setText("");
    b.SBContinueClick();
    QCOMPARE(bench.p.texts(), QStringList{"Variable Y has no value!"});
    QCOMPARE(bench.count(QString("select count(*) from META$MTBPA where MTCode = %1").arg(code)), 0);
    QVERIFY(b.HitShown);
    QVERIFY(b.SBContinue->isEnabled());
    QVERIFY(!b.TimerBP->isActive());

    // Leaving spy mode drops the shown hit; it is shown again on return,
    // and answered once.
    b.SBDebugModeClick();
    QVERIFY(!b.HitShown);
    QVERIFY(!b.SBContinue->isEnabled());
    QVERIFY(b.StatusReady);
    b.SBSpyModeClick();
    b.TimerBPTimer();
    QVERIFY(b.HitShown);
    QCOMPARE(b.CurrentHitCode, code);
    QCOMPARE(watchRows(b.SGWatch).mid(3), (QStringList{"X|5", "Y|6"}));
    b.SBContinueClick();
    QCOMPARE(bench.count(QString("select count(*) from META$MTBPA where MTCode = %1").arg(code)), 2);
}

void TestSpy::moreThan97VariablesAllAnswered()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.SBSpyModeClick();
    QList<Var> vars;
    for (int i = 1; i <= 120; ++i)
        vars.append({QString("V%1").arg(i), QString::number(i * 2)});
    const int code = bench.addHit(0, "P", "BP1", 1, vars);
    b.TimerBPTimer();
    QCOMPARE(b.WatchRowCount, 120);
    QCOMPARE(b.SGWatch->rowCount(), 123);
    QCOMPARE(b.SGWatch->item(122, 0)->text(), QString("V120"));
    b.SBContinueClick();
    QCOMPARE(bench.count(QString("select count(*) from META$MTBPA where MTCode = %1").arg(code)), 120);
    QCOMPARE(bench.text(QString("select VarValue from META$MTBPA where MTCode = %1 and VarName = 'V120'").arg(code))
                 .trimmed(),
             QString("240"));
}

void TestSpy::breakOfRunningProcedureContinued()
{
    Bench bench({}, false);
    TfmBrowser &b = bench.b();
    bench.saveWithDebug(kBreakProc);
    b.SBSpyModeClick();
    QVERIFY(b.TimerBP->isActive());
    b.TimerBP->setInterval(50);

    int r = 0;
    QString s, error;
    std::thread worker([&] {
        try {
            auto conn = bench.t.connect("SYSDBA", "DB2");
            conn->startTransaction();
            engine::Statement run(conn.get());
            run.setSql(QStringLiteral("select R, S from DBGP(5)"));
            run.open();
            r = run.rows().value(0, 0).toInt();
            s = run.rows().text(0, 1).trimmed();
            conn->commit();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(b.HitShown, 30000);
    QCOMPARE(b.LProcTrigName->text(), QString("DBGP"));
    QCOMPARE(b.LBPID->text(), QString("BP1"));
    const int x = watchRowOf(b.SGWatch, "x");
    const int t = watchRowOf(b.SGWatch, "t");
    QVERIFY(x > 0 && t > 0);
    QCOMPARE(b.SGWatch->item(x, 1)->text(), QString("6"));
    b.SGWatch->item(x, 1)->setText("41");
    // t was NULL and is shown empty; left so, the hit can still be continued.
    QCOMPARE(b.SGWatch->item(t, 1)->text(), QString());
    b.SBContinueClick();
    worker.join();
    QCOMPARE(error, QString());
    QCOMPARE(r, 41);
    // The debug tables hold no NULL: the variable comes back empty.
    QCOMPARE(s, QString());
    QVERIFY(bench.p.texts().isEmpty());
}

void TestSpy::progressValuesAndInterval()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.SBSpyModeClick();
    exec(*bench.db, "set generator meta$gen3 to 7");
    exec(*bench.db, "set generator meta$gen10 to 12");
    b.TimerGenTimer();
    QCOMPARE(b.SGGens->item(0, 0)->text(), QString("Point N"));
    QCOMPARE(b.SGGens->item(0, 1)->text(), QString("Value"));
    QCOMPARE(b.SGGens->item(3, 0)->text(), QString("3"));
    QCOMPARE(b.SGGens->item(3, 1)->text(), QString("7"));
    QCOMPARE(b.SGGens->item(10, 1)->text(), QString("12"));
    QCOMPARE(b.SGGens->item(1, 1)->text(), QString("0"));
    QVERIFY(!b.Image11->isHidden());
    QVERIFY(b.Image22->isHidden());

    // The values follow while the timer runs.
    exec(*bench.db, "set generator meta$gen3 to 8");
    b.TimerGen->setInterval(30);
    QTRY_COMPARE(b.SGGens->item(3, 1)->text(), QString("8"));

    QCOMPARE(b.RGTimer->findChildren<QRadioButton *>().size(), 3);
    for (QRadioButton *r : b.RGTimer->findChildren<QRadioButton *>()) {
        r->click();
        QCOMPARE(b.TimerGen->interval(), r->text().left(2).toInt() * 1000);
    }
    QVERIFY(bench.p.texts().isEmpty());
}

void TestSpy::progressResetLeavesShownHit()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.SBSpyModeClick();
    exec(*bench.db, "set generator meta$gen2 to 5");
    b.TimerGenTimer();
    const int code = bench.addHit(0, "P", "BP1", 1, {{"X", "5"}});
    b.TimerBPTimer();
    QVERIFY(b.HitShown);

    bench.p.answer(Prompter::Answer::No);
    b.SBGenstozeroClick();
    QCOMPARE(bench.count("select gen_id(meta$gen2, 0) from rdb$database"), 5);

    bench.p.answer(Prompter::Answer::Yes);
    b.SBGenstozeroClick();
    QCOMPARE(bench.p.texts(), (QStringList{"Are you sure?", "Are you sure?"}));
    QCOMPARE(bench.count("select gen_id(meta$gen2, 0) from rdb$database"), 0);
    QCOMPARE(b.SGGens->item(2, 1), nullptr);
    QCOMPARE(b.SGGens->item(0, 0)->text(), QString("Point N"));
    // The hit is still there and is answered in full.
    QCOMPARE(watchRows(b.SGWatch).last(), QString("X|5"));
    b.SBContinueClick();
    QCOMPARE(bench.column(QString("select VarName from META$MTBPA where MTCode = %1").arg(code)), QStringList{"X"});

    // Without a hit the watch grid is emptied too.
    bench.p.answer(Prompter::Answer::Yes);
    b.SBGenstozeroClick();
    QCOMPARE(watchRows(b.SGWatch), (QStringList{"Stop #|", "BP ID|", "Var name|Var value"}));
}

void TestSpy::timerMessagesDoNotPileUp()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    SlowPrompter slow;
    ScopedPrompter sp(slow);
    b.SBSpyModeClick();
    // Every break check and progress read fails from now on. Qt never fires
    // a timer again while its own handler waits, but the other timer does.
    exec(*bench.db, "drop table META$MTBP");
    exec(*bench.db, "drop procedure META$GETGENS");
    b.TimerBP->setInterval(20);
    b.TimerGen->setInterval(20);
    QTest::qWait(800);
    b.SBDebugModeClick();
    QVERIFY(slow.shown >= 1);
    QCOMPARE(slow.deepest, 1);
    // About one message per 300 ms, not one per tick.
    QVERIFY2(slow.shown <= 4, qPrintable(QString::number(slow.shown)));
    QVERIFY(!b.TimerMessageOpen);
}

void TestSpy::dumpsOfATry()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    bench.addHit(3, "P1", "TP1", 1, {{"A", "1"}}, "META$MTTP");
    bench.addHit(3, "P1", "TP1", 2, {{"A", "2"}, {"B", "b"}}, "META$MTTP");
    bench.addHit(4, "P1", "TP1", 3, {{"A", "3"}}, "META$MTTP");
    bench.addHit(3, "P2", "BP1", 1, {{"X", "9"}});

    b.EditTPTry->setText("three");
    b.SBShowDumpClick();
    QCOMPARE(bench.p.texts(), QStringList{"Incorrect Try #"});
    QVERIFY(!DM->QTPDump.isActive());
    bench.p.clear();

    b.EditTPTry->setText("3");
    b.SBShowDumpClick();
    QVERIFY(bench.p.texts().isEmpty());
    QCOMPARE(headers(b.DBGTPDump), (QStringList{"Proc/Trig Name", "Trace Point ID", "Pass #"}));
    QCOMPARE(headers(b.DBGTPValues), (QStringList{"Variable name", "Variable Value"}));
    QCOMPARE(gridRows(b.DBGTPDump), (QStringList{"P1|TP1|1", "P1|TP1|2"}));
    QCOMPARE(gridRows(b.DBGTPValues), QStringList{"A|1"});
    // The detail follows the row picked in the master grid.
    b.DBGTPDump->setCurrentIndex(b.DBGTPDump->model()->index(1, 0));
    QCOMPARE(gridRows(b.DBGTPValues), (QStringList{"A|2", "B|b"}));
    QCOMPARE(b.StatusPanel1->text(), QString("   Hint: It is recommended to close dump after overview."));
    QVERIFY(b.SBShowDump->isChecked());

    b.EditBPTry->setText("3");
    b.SBShowBPDumpClick();
    // The export buttons carry their text as a hint, beside a picture.
    for (const char *name : {"SBExportTPDump", "SBExportBPDump"}) {
        QVERIFY2(b.button(name)->text().isEmpty(), name);
        QCOMPARE(b.button(name)->toolTip(), QString("Export to the text file"));
        QVERIFY(!b.button(name)->icon().isNull());
    }
    QCOMPARE(headers(b.DBGBPDump), (QStringList{"Proc/Trig Name", "Break Point ID", "Stop #"}));
    QCOMPARE(gridRows(b.DBGBPDump), QStringList{"P2|BP1|1"});
    QCOMPARE(gridRows(b.DBGBPV2), QStringList{"X|9"});

    // The open dump's hits go to a text file under the dump's title.
    {
        const platform::ModalHook previous = platform::setModalHook([](QDialog &d) {
            auto *div = qobject_cast<TfmDivider *>(&d);
            if (!div)
                return int(QDialog::Rejected);
            d.setResult(0);
            div->EditDivider->setText(";");
            div->BitBtn1Click();
            return d.result();
        });
        const QString path = bench.t.folder() + "/bp.txt";
        bench.p.answerFile(path);
        b.SBExportBPDumpClick();
        platform::setModalHook(previous);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()),
                 QString("BP Dump\r\nProc/Trig Name;Break Point ID;Stop #;\r\nP2;BP1;1;\r\n"));
    }

    b.SBCloseTPDumpClick();
    QVERIFY(!DM->QTPDump.isActive());
    QVERIFY(!DM->QTPValues.isActive());
    QCOMPARE(b.DBGTPDump->model()->rowCount(), 0);
    QCOMPARE(b.StatusPanel1->text(), QString());
    QVERIFY(b.SBCloseTPDump->isChecked());
    b.SBCloseBPDumpClick();
    QVERIFY(!DM->QBPDump.isActive());
    QVERIFY(!DM->QBPV2.isActive());
}

void TestSpy::pointListFilterSortAndDroppedObjects()
{
    const QString body = " AS begin suspend; end";
    Bench bench({"CREATE PROCEDURE P1 RETURNS (R INTEGER)" + body, "CREATE PROCEDURE P2 RETURNS (R INTEGER)" + body,
                 "CREATE PROCEDURE P3 RETURNS (R INTEGER)" + body});
    TfmBrowser &b = bench.b();
    bench.addPoint("P1", "BP1", "BP");
    bench.addPoint("P1", "3", "PP");
    bench.addPoint("P2", "1", "PP");
    bench.addPoint("P2", "TP1", "TP");
    bench.addPoint("P3", "2", "PP");
    bench.addPoint("P3", "1", "PP");
    exec(*bench.db, "insert into meta$points values (gen_id(meta$CodeGen, 1), 'P3', '0', 'PP', 'SP', 1)");
    QCOMPARE(headers(b.DBGPointList), (QStringList{"Procedure/Trigger Name", "BP/TP/PP ID", "TYPE"}));

    b.SBShowAllPointsClick();
    QCOMPARE(gridRows(b.DBGPointList),
             (QStringList{"P1|3|PP", "P1|BP1|BP", "P2|1|PP", "P2|TP1|TP", "P3|1|PP", "P3|2|PP"}));
    QVERIFY(b.button("SBViewSource")->isEnabled());
    // The first column's caption is not cut off.
    b.show();
    b.PCMain->setCurrentWidget(b.TSDebugger);
    b.PagePCProcTrig->setCurrentWidget(b.TSPointList);
    QHeaderView *header = b.DBGPointList->horizontalHeader();
    QTRY_VERIFY(header->sectionSize(0) > header->fontMetrics().horizontalAdvance("Procedure/Trigger Name"));

    b.SBShowPPClick();
    QCOMPARE(gridRows(b.DBGPointList), (QStringList{"P1|3|PP", "P2|1|PP", "P3|1|PP", "P3|2|PP"}));
    b.SBSortedByPointClick();
    QVERIFY(b.button("SBSortedByPoint")->isChecked());
    QVERIFY(b.button("SBShowPP")->isChecked());
    QCOMPARE(gridRows(b.DBGPointList), (QStringList{"P2|1|PP", "P3|1|PP", "P3|2|PP", "P1|3|PP"}));

    // A dropped object's points go at the next refresh, for every user.
    exec(*bench.db, "drop procedure P2");
    b.SBSortedByProcClick();
    QCOMPARE(gridRows(b.DBGPointList), (QStringList{"P1|3|PP", "P3|1|PP", "P3|2|PP"}));
    QCOMPARE(bench.count("select count(*) from meta$points where ProcName = 'P2'"), 0);

    // No trace point left: the commands go, "Clear all" stays for the tables.
    b.SBShowTPClick();
    QCOMPARE(b.DBGPointList->model()->rowCount(), 0);
    for (const char *name : {"SBViewSource", "SBDropPoint", "SBSortedByProc", "SBSortedByPoint"})
        QVERIFY2(!b.button(name)->isEnabled(), name);
    QVERIFY(b.SBDropAllPoints->isEnabled());
    b.SBShowBPClick();
    QCOMPARE(gridRows(b.DBGPointList), QStringList{"P1|BP1|BP"});
    QVERIFY(bench.p.texts().isEmpty());
}

void TestSpy::sourceOfAPoint()
{
    Bench bench({}, false);
    TfmBrowser &b = bench.b();
    bench.saveWithDebug(kBreakProc);
    b.SBSpyModeClick();
    bench.addHit(0, "DBGP", "BP1", 1, {{"x", "6"}});
    b.TimerBPTimer();
    QVERIFY(b.HitShown);

    // From the watch page: the marker shown, saving disabled.
    b.SBNewProcClick();
    b.SBGoToSourceClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QCOMPARE(b.PagePCProcTrig->currentWidget(), b.TSProc);
    QCOMPARE(b.PCProc->currentWidget(), b.TSText);
    QCOMPARE(b.LProcName->text(), QString("DBGP"));
    QVERIFY(lines(b.REProc).contains("/*@BP1*/"));
    QCOMPARE(b.REProc->textCursor().position(), b.REProc->toPlainText().indexOf("@BP1"));
    QVERIFY(!b.SBSaveProc->isEnabled());
    QCOMPARE(int(b.ProcEditorState), 0);
    // The hit is still waiting for its answer.
    QVERIFY(b.HitShown);

    // From the point list: the same, editable.
    b.SBShowAllPointsClick();
    QVERIFY(DM->QPointList.locate("PID", "BP1"));
    b.SBNewProcClick();
    b.SBViewSourceClick();
    QCOMPARE(b.LProcName->text(), QString("DBGP"));
    QCOMPARE(b.REProc->textCursor().position(), b.REProc->toPlainText().indexOf("@BP1"));
    QVERIFY(b.SBSaveProc->isEnabled());
    QCOMPARE(int(b.ProcEditorState), 1);
    QVERIFY(bench.p.texts().isEmpty());

    // A hit whose point is not in the list: said so, nothing opened.
    b.SBContinueClick();
    bench.addHit(0, "DBGP", "BP9", 2, {{"x", "6"}});
    b.TimerBPTimer();
    QCOMPARE(b.LBPID->text(), QString("BP9"));
    b.SBNewProcClick();
    b.SBGoToSourceClick();
    QCOMPARE(bench.p.texts(), QStringList{"Point BP9 of DBGP is unknown: it is not in the point list."});
    QCOMPARE(b.LProcName->text(), QString("Unknown"));
}

void TestSpy::clearOneStripsItsMarkers()
{
    Bench bench({"CREATE PROCEDURE OTHERP RETURNS (R INTEGER) AS begin R = 1; suspend; end"}, false);
    TfmBrowser &b = bench.b();
    QStringList typed = kBreakProc;
    typed.insert(7, "/*#TP1*/");
    bench.saveWithDebug(typed);
    bench.addPoint("OTHERP", "1", "PP");
    b.SBShowAllPointsClick();
    QCOMPARE(gridRows(b.DBGPointList), (QStringList{"DBGP|BP1|BP", "DBGP|TP1|TP", "OTHERP|1|PP"}));
    const QString otherBefore = bench.text(kProcSource.arg("OTHERP"));

    QVERIFY(DM->QPointList.locate("PID", "TP1"));
    bench.p.answer(Prompter::Answer::No);
    b.SBDropPointClick();
    QCOMPARE(bench.count("select count(*) from meta$points"), 3);

    b.SBNewProcClick();
    bench.p.answer(Prompter::Answer::Yes);
    b.SBDropPointClick();
    QCOMPARE(bench.p.texts(), (QStringList{"Clear now?", "Clear now?"}));
    QVERIFY(b.StatusReady);
    QVERIFY(!b.StatusFailed);
    QVERIFY(b.isEnabled());
    // The source as typed, without its markers, stored and in the editor.
    QStringList expected = QStringList{"ALTER PROCEDURE DBGP ", "  (A INTEGER) ",
                                       "  RETURNS (R INTEGER, S VARCHAR(20))", "AS "}
                           + typed.mid(3);
    expected.removeAll("/*@BP1*/");
    expected.removeAll("/*#TP1*/");
    QCOMPARE(lines(b.REProc), expected);
    QCOMPARE(int(b.ProcEditorState), 1);
    const QString stored = bench.text(kProcSource.arg("DBGP"));
    QVERIFY2(!stored.contains("META"), qPrintable(stored));
    QCOMPARE(gridRows(b.DBGPointList), QStringList{"OTHERP|1|PP"});
    QCOMPARE(bench.text(kProcSource.arg("OTHERP")), otherBefore);
    QCOMPARE(bench.count("select R from DBGP(1)"), 2);
}

void TestSpy::clearOneTrigger()
{
    Bench bench({"CREATE TABLE EMP (ID INTEGER, N INTEGER)",
                 "CREATE TRIGGER TRG FOR EMP ACTIVE BEFORE INSERT POSITION 0 AS\nbegin\n  new.N = 1;\nend"},
                false);
    TfmBrowser &b = bench.b();
    QVERIFY(fmOpenTrig->SelectByName("TRG"));
    b.LoadTrigger();
    b.SetTrigEditorOpened();
    QStringList text = lines(b.RETrig);
    text.insert(int(text.indexOf("begin")) + 1, "/*#T1*/");
    b.RETrig->setPlainText(text.join('\n'));
    b.CBWithDebug->setChecked(true);
    b.SBSaveTrigClick();
    QVERIFY(bench.text("select RDB$TRIGGER_SOURCE from RDB$TRIGGERS where RDB$TRIGGER_NAME = 'TRG'").contains("META"));

    // The trigger editor holds a new text: the trigger is still altered.
    b.SBNewTrigClick();
    b.SBShowAllPointsClick();
    bench.p.clear();
    bench.p.answer(Prompter::Answer::Yes);
    b.SBDropPointClick();
    QCOMPARE(bench.p.texts(), QStringList{"Clear now?"});
    QVERIFY(!b.StatusFailed);
    QCOMPARE(b.PagePCProcTrig->currentWidget(), b.TSTrig);
    QCOMPARE(int(b.TrigEditorState), 1);
    text.removeAll("/*#T1*/");
    QCOMPARE(lines(b.RETrig), text);
    QVERIFY(!bench.text("select RDB$TRIGGER_SOURCE from RDB$TRIGGERS where RDB$TRIGGER_NAME = 'TRG'").contains("META"));
    QCOMPARE(bench.count("select count(*) from meta$points"), 0);
}

void TestSpy::clearAllSkipsDroppedObjects()
{
    // ZZZ comes last in the chooser; a rewrite through the editor would drop
    // its blank lines.
    Bench bench({"CREATE PROCEDURE ZZZ RETURNS (R INTEGER) AS\nbegin\n\n  R = 26;\n\n  suspend;\nend"}, false);
    TfmBrowser &b = bench.b();
    bench.saveWithDebug(kBreakProc);
    const QString lastBefore = bench.text(kProcSource.arg("ZZZ"));
    // Points of objects dropped since the last refresh.
    bench.addPoint("GHOST", "BP1", "BP");
    bench.addPoint("GHOSTTRG", "1", "PP", "TR");
    QVERIFY(b.repository().debugTablesExist());

    bench.p.answer(Prompter::Answer::Yes);
    b.SBDropAllPointsClick();
    QCOMPARE(bench.p.texts(), QStringList{"Clear now?"});
    QVERIFY(b.StatusReady);
    QVERIFY(!b.StatusFailed);
    QVERIFY(b.isEnabled());
    QCOMPARE(bench.count("select count(*) from meta$points"), 0);
    QCOMPARE(bench.text(kProcSource.arg("ZZZ")), lastBefore);
    QVERIFY(!bench.text(kProcSource.arg("DBGP")).contains("META"));
    QCOMPARE(bench.count("select R from DBGP(1)"), 2);
    QVERIFY(!b.repository().debugTablesExist());
    QCOMPARE(bench.count("select count(*) from rdb$relations where rdb$relation_name starting with 'META$MT'"), 0);
    QVERIFY(DM->Database.isConnected());
    QVERIFY(DM->DatabaseN.isConnected());
    QVERIFY(DM->DataBase2.isConnected());
    QVERIFY(DM->QTables.isActive());
    QVERIFY(DM->QProc.isActive());
    QCOMPARE(b.DBGPointList->model()->rowCount(), 0);
    QVERIFY(!b.SBDropAllPoints->isEnabled());
}

void TestSpy::clearAllWithoutPointsDropsTables()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.SBSpyModeClick();
    QVERIFY(b.TimerBP->isActive());
    b.SBShowAllPointsClick();
    QCOMPARE(b.DBGPointList->model()->rowCount(), 0);
    QVERIFY(!b.button("SBDropPoint")->isEnabled());
    QVERIFY(b.SBDropAllPoints->isEnabled());
    bench.p.answer(Prompter::Answer::Yes);
    b.SBDropAllPointsClick();
    QCOMPARE(bench.p.texts(), QStringList{"Clear now?"});
    QVERIFY(!b.StatusFailed);
    QVERIFY(!b.repository().debugTablesExist());
    QVERIFY(!b.SBDropAllPoints->isEnabled());
    // Nothing is left to poll.
    QVERIFY(!b.TimerBP->isActive());
    QVERIFY(!b.TimerGen->isActive());
}

void TestSpy::runningProcedureKeptSafe()
{
    Bench bench({"CREATE PROCEDURE P1 RETURNS (R INTEGER) AS begin R = 1; suspend; end"});
    TfmBrowser &b = bench.b();
    bench.addPoint("P1", "BP1", "BP");
    b.SBShowAllPointsClick();
    // A run of another procedure is waiting at a break.
    b.WorkerRunning = true;
    b.SBViewSourceClick();
    b.SBDropPointClick();
    b.SBDropAllPointsClick();
    b.WorkerRunning = false;
    QCOMPARE(bench.p.texts(), QStringList(3, "The procedure is still running."));
    QCOMPARE(b.LProcName->text(), QString("Unknown"));
    QCOMPARE(bench.count("select count(*) from meta$points"), 1);
    QVERIFY(b.repository().debugTablesExist());
}

void TestSpy::clearAllFailureEndsInErrorState()
{
    // A user who may not alter the debugged procedure.
    Bench bench({"CREATE PROCEDURE P1 RETURNS (R INTEGER) AS begin R = 1; suspend; end"}, true, "OTHER");
    TfmBrowser &b = bench.b();
    bench.addPoint("P1", "BP1", "BP");
    bench.p.answer(Prompter::Answer::Yes);
    b.SBDropAllPointsClick();
    QCOMPARE(bench.p.texts().size(), 2);
    QVERIFY2(bench.p.texts().at(1).contains("P1", Qt::CaseInsensitive), qPrintable(bench.p.texts().at(1)));
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    QVERIFY(!b.StripPointsMode);
    // Nothing was cleared: the point, the tables and the source stay.
    QCOMPARE(bench.count("select count(*) from meta$points"), 1);
    QVERIFY(b.repository().debugTablesExist());
}

DUNMOOR_GUI_TEST_MAIN(TestSpy)
#include "tst_spy.moc"
