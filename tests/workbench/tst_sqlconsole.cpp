// The SQL console and the background query windows against real databases:
// foreground runs and their statements, failures and the line jump, the
// history per user with its keys, the text commands, and background runs
// with their sessions, pictures, status lines and the end of the program.
#include "WorkbenchFixture.h"
#include "engine/Error.h"
#include "engine/GridModel.h"
#include "engine/StatementLog.h"
#include "platform/GridColumns.h"
#include "support/GridFit.h"
#include "support/GuiTestMain.h"
#include "workbench/DbNavigator.h"
#include "workbench/SqlConsole.h"
#include "workbench/fQuery.h"
#include "workbench/fdivider.h"
#include "workbench/mysimplere.h"

#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using platform::Prompter;
using testsupport::exec;
using testsupport::TestDatabase;
using namespace wbtest;

namespace {

const QStringList kTable{QStringLiteral("create table T (A integer not null primary key, B varchar(10))"),
                         QStringLiteral("insert into T values (1, \"one\")"),
                         QStringLiteral("insert into T values (2, \"two\")"),
                         QStringLiteral("insert into T values (3, \"three\")"),
                         QStringLiteral("create procedure P returns (N integer) as begin N = 7; end")};

// How the history row of a run is sent.
const QString kHistoryInsert =
    QStringLiteral("insert into meta$History (DT, ID, BODY)\nvalues (?, ?, ?)\nreturning 1, DT, ID, USERNAME, BODY");

// A workbench connected to a database holding T and P, with or without the
// repository, the editor holding text.
struct Console : WindowBench {
    explicit Console(bool withRepository = true, const QString &user = QStringLiteral("SYSDBA"), bool async = false)
    {
        prepare(kTable, withRepository);
        if (async) // for runs of many commits
            testsupport::writeWithoutSync(t.path());
        p.answer(Prompter::Answer::No); // no repository made
        start(user);
    }
    TfmBrowser &run(const QString &text)
    {
        b().SQLBody->setPlainText(text);
        b().SBExecSQLClick();
        return b();
    }
    int history(const QString &user = QStringLiteral("SYSDBA"))
    {
        return value(QStringLiteral("select count(*) from meta$History where UserName = \"%1\"").arg(user)).toInt();
    }
};

// Waits (serving the workers' calls) until the window's run has ended.
bool ended(TQueryForm *form)
{
    return QTest::qWaitFor([form] { return form->Finished && !form->thread(); }, 60000);
}

QLabel *shownPicture(TQueryForm *form)
{
    QLabel *shown = nullptr;
    for (QLabel *l : {form->Iooh, form->IShades, form->ISad, form->IIndif})
        if (!l->isHidden()) {
            if (shown)
                return nullptr; // two at once is no state
            shown = l;
        }
    return shown;
}

} // namespace

class TestSqlConsole : public QObject {
    Q_OBJECT
private slots:
#ifndef DUNMOOR_WITH_SERVER
    void historyKey_data();
    void historyKey();
    void names_data();
    void names();
    void foreground_data();
    void foreground();
    void failure_data();
    void failure();
    void statementWaitsForLocks();
    void withoutRepository();
    void historyPerUser();
    void nextKey_data();
    void nextKey();
    void keyTaken_data();
    void keyTaken();
    void manyRunsInARow();
    void lineJump_data();
    void lineJump();
    void textCommands();
    void background_data();
    void background();
    void backgroundSessions();
    void exitDuringRun();
    void gridsFitWhatTheyHold();
#else
    void wrongPassword();
#endif
};

#ifndef DUNMOOR_WITH_SERVER

void TestSqlConsole::historyKey_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<qint32>("key");
    QTest::newRow("day 0") << QDate(1899, 12, 30) << QTime(0, 0, 0) << 0;
    QTest::newRow("day 1") << QDate(1899, 12, 31) << QTime(12, 34, 56) << 1123456;
    QTest::newRow("last before wrap") << QDate(1905, 11, 16) << QTime(23, 59, 59) << 2147235959;
    QTest::newRow("first after wrap") << QDate(1905, 11, 17) << QTime(0, 0, 0) << -2146967296;
    QTest::newRow("2024") << QDate(2024, 1, 1) << QTime(10, 20, 30) << -1952538226;
    QTest::newRow("2025") << QDate(2025, 6, 30) << QTime(23, 59, 59) << -1406404297;
}

void TestSqlConsole::historyKey()
{
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(qint32, key);
    QCOMPARE(sqlconsole::HistoryKey(date, time), key);
}

void TestSqlConsole::names_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("session");
    QTest::newRow("1") << 1 << "Session1";
    QTest::newRow("2") << 2 << "Session2";
    QTest::newRow("9") << 9 << "Session9";
    QTest::newRow("10") << 10 << "SessionA";
    QTest::newRow("16") << 16 << "Session10";
    QTest::newRow("255") << 255 << "SessionFF";
}

void TestSqlConsole::names()
{
    QFETCH(int, n);
    QFETCH(QString, session);
    QCOMPARE(sqlconsole::NumberedName("Session", n), session);
}

void TestSqlConsole::foreground_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows"); // -1: executed, no grid
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("expected");
    QTest::newRow("select") << "select A, B from T order by A" << 3 << "" << "";
    QTest::newRow("comment, lower case") << "/* first */ select A from T where A > 1" << 2 << "" << "";
    QTest::newRow("Select") << "Select A\nfrom T" << 3 << "" << "";
    QTest::newRow("with") << "with X as (select A from T)\nselect A from X where A < 3" << 2 << "" << "";
    QTest::newRow("execute block")
        << "execute block returns (N integer) as\nbegin\n  for select A from T into :N do suspend;\nend" << 3
        << "" << "";
    QTest::newRow("update after a comment holding select")
        << "/* select */ update T set B = \"x\" where A = 2" << -1 << "select B from T where A = 2" << "x";
    QTest::newRow("insert") << "insert into T values (4, \"four\")" << -1 << "select count(*) from T" << "4";
    QTest::newRow("execute procedure") << "execute procedure P" << -1 << "select count(*) from T" << "3";
}

void TestSqlConsole::foreground()
{
    QFETCH(QString, text);
    QFETCH(int, rows);
    QFETCH(QString, check);
    QFETCH(QString, expected);
    Console c;
    TfmBrowser &b = c.b();
    engine::StatementRecorder log;
    c.run(text);
    QVERIFY2(c.p.texts().isEmpty(), qPrintable(c.p.texts().join('|')));
    // Prepared, recorded, then run: the history row before the statement.
    QStringList sent = log.statements();
    sent.removeIf([&](const QString &sql) { return sql != text && !sql.startsWith("insert"); });
    QCOMPARE(sent, (QStringList{text, kHistoryInsert, text}));
    QCOMPARE(c.history(), 1);
    QCOMPARE(c.value("select Body from meta$History").toString(), text);
    QCOMPARE(c.value("select ID from meta$History").toString().trimmed(), text.section('\n', 0, 0));
    QVERIFY(!c.w->dm->Database.inTransaction());
    QVERIFY(!b.StatusFailed && b.StatusReady && b.isEnabled());
    QCOMPARE(b.SQLBody->toPlainText(), text);
    if (rows >= 0) {
        QCOMPARE(b.PCSQL->currentWidget(), b.TSSQLRecords);
        QVERIFY(b.SBsqlExportToExcel->isEnabled());
        QCOMPARE(b.DBGSQL->model()->rowCount(), rows);
    } else {
        QCOMPARE(b.PCSQL->currentWidget(), b.TSSQLText);
        QVERIFY(!b.SBsqlExportToExcel->isEnabled());
        QVERIFY(!c.w->dm->Q6.isActive());
        QCOMPARE(c.value(check).toString(), expected);
    }
}

void TestSqlConsole::failure_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line"); // what the line field gets
    QTest::newRow("refused at prepare") << "select A\nfrom T\nwhere C = 1" << "3";
    QTest::newRow("refused at execute") << "insert into T\nvalues (1, \"again\")" << "";
}

void TestSqlConsole::failure()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    Console c;
    TfmBrowser &b = c.b();
    c.run("select A from T"); // a result the failure replaces
    c.run(text);
    QCOMPARE(c.p.calls().size(), 1);
    const QString message = c.p.calls().first().text;
    QVERIFY2(line.isEmpty() || message.contains("line " + line + ","), qPrintable(message));
    // Rolled back with the history row; the window usable, in the error state.
    QCOMPARE(c.history(), 1);
    QCOMPARE(c.value("select count(*) from T").toInt(), 3);
    QVERIFY(!c.w->dm->Database.inTransaction());
    QVERIFY(b.StatusFailed && b.isEnabled());
    QCOMPARE(b.EditsqlSPLine->text(), line);
    QCOMPARE(b.SQLBody->toPlainText(), text);
    if (!line.isEmpty()) {
        QCOMPARE(b.SQLBody->textCursor().selectedText(), text.section('\n', 2, 2));
        QCOMPARE(b.LsqlLine->text(), line);
    }
}

void TestSqlConsole::statementWaitsForLocks()
{
    // The console's statement waits a second for a lock (so a break it
    // reaches sleeps too); the window's other work still does not wait.
    Console c;
    c.run("select MON$LOCK_TIMEOUT from MON$TRANSACTIONS where MON$TRANSACTION_ID = CURRENT_TRANSACTION");
    QVERIFY2(c.p.texts().isEmpty(), qPrintable(c.p.texts().join('|')));
    QCOMPARE(c.w->dm->Q6.fieldByName("MON$LOCK_TIMEOUT").asString(), QString("1"));
    QCOMPARE(c.w->dm->Database.lockTimeout(), 0);
}

void TestSqlConsole::withoutRepository()
{
    Console c(false);
    engine::StatementRecorder log;
    c.run("insert into T values (5, \"five\")");
    c.run("select A from T");
    QCOMPARE(c.b().DBGSQL->model()->rowCount(), 4);
    QCOMPARE(log.statements().filter("meta$", Qt::CaseInsensitive), QStringList());
    QVERIFY(c.p.texts().isEmpty());
    QVERIFY(!c.b().StatusFailed);
}

void TestSqlConsole::historyPerUser()
{
    // A user whose name holds a double quote: the clear must still name him.
    Console c(true, "o\"brien");
    TfmBrowser &b = c.b();
    {
        auto db = c.t.connect("SYSDBA", "Other");
        exec(*db, "insert into meta$History (DT, ID, Body, UserName) values (1, \"theirs\", \"theirs\", \"SYSDBA\")");
        exec(*db, "insert into meta$History (DT, ID, Body, UserName) values (2, \"mine 1\", \"mine 1\", \"O\"\"BRIEN\")");
        exec(*db, "insert into meta$History (DT, ID, Body, UserName) values (3, \"mine 2\", \"mine 2\", \"O\"\"BRIEN\")");
    }
    // The History tab: reloaded on the last of his rows, the editor following.
    b.History1Click();
    QCOMPARE(b.PCSQL->currentWidget(), b.TSHistory);
    QCOMPARE(b.DBGHist->model()->rowCount(), 2);
    QCOMPARE(b.SQLBody->toPlainText(), QString("mine 2"));
    QCOMPARE(b.DBMemoHist->toPlainText(), QString("mine 2"));
    b.DBNavigator4->click(TDBNavigator::First);
    QCOMPARE(b.SQLBody->toPlainText(), QString("mine 1"));
    QCOMPARE(b.DBMemoHist->toPlainText(), QString("mine 1"));
    // Cleared without a question: only his rows.
    engine::StatementRecorder log;
    b.SBClearHistoryClick();
    QVERIFY2(c.p.texts().isEmpty(), qPrintable(c.p.texts().join('|')));
    QCOMPARE(log.statements().first(), QString("delete from meta$History where UserName = \"O\"\"BRIEN\""));
    QCOMPARE(c.history("O\"\"BRIEN"), 0);
    QCOMPARE(c.history("SYSDBA"), 1);
    QCOMPARE(b.DBGHist->model()->rowCount(), 0);
}

void TestSqlConsole::keyTaken_data()
{
    QTest::addColumn<QList<qint32>>("taken");
    QTest::addColumn<qint32>("key");
    QTest::addColumn<qint32>("written");
    QTest::newRow("free") << QList<qint32>{} << 100 << 100;
    QTest::newRow("taken") << QList<qint32>{100} << 100 << 101;
    QTest::newRow("taken twice") << QList<qint32>{100, 101} << 100 << 102;
    QTest::newRow("wraps") << QList<qint32>{2147483647} << 2147483647 << qint32(-2147483647 - 1);
    QTest::newRow("without generator") << QList<qint32>{100, 101} << 100 << 102;
}

void TestSqlConsole::nextKey_data()
{
    QTest::addColumn<qint32>("clock");
    QTest::addColumn<qint32>("last");
    QTest::addColumn<qint32>("next");
    QTest::newRow("fresh generator") << -1952538226 << 0 << -1952538226;
    QTest::newRow("clock passed the last key") << 500 << 499 << 500;
    QTest::newRow("same second") << 500 << 500 << 501;
    QTest::newRow("pushed ahead") << 500 << 1900 << 1901;
    QTest::newRow("a day ahead is stale") << 500 << 1000500 << 500;
    QTest::newRow("ahead across the wrap") << 2147483000 << -2147483000 << -2147482999;
    QTest::newRow("last wraps") << 2147483647 << 2147483647 << qint32(-2147483647 - 1);
}

void TestSqlConsole::nextKey()
{
    QFETCH(qint32, clock);
    QFETCH(qint32, last);
    QFETCH(qint32, next);
    QCOMPARE(sqlconsole::NextHistoryKey(clock, last), next);
}

void TestSqlConsole::keyTaken()
{
    QFETCH(QList<qint32>, taken);
    QFETCH(qint32, key);
    QFETCH(qint32, written);
    TestDatabase t;
    auto db = t.connect();
    installRepository(*db);
    if (QTest::currentDataTag() != QLatin1String("without generator"))
        sqlconsole::EnsureHistoryKeyGenerator(*db);
    for (qint32 k : taken) // another user's rows: the filter hides them, the key does not
        exec(*db, QString("insert into meta$History (DT, UserName) values (%1, \"OTHER\")").arg(k));
    engine::Table history(db.get());
    history.setTableName("meta$History");
    history.setIndexFieldNames("DT");
    history.setFilter("USERNAME='SYSDBA'");
    history.setFiltered(true);
    QCOMPARE(sqlconsole::AppendHistoryRow(history, "select 1\nfrom rdb$database", key), written);
    QCOMPARE(history.recordCount(), 1);
    QCOMPARE(history.fieldByName("ID").asString(), QString("select 1"));
    QCOMPARE(testsupport::scalar(*t.connect("SYSDBA", "Check"),
                                 QString("select Body from meta$History where DT = %1").arg(written))
                 .toString(),
             QString("select 1\nfrom rdb$database"));

    // Runs in the same second go on: the keys of the next seconds are taken.
    Console c;
    {
        auto other = c.t.connect("SYSDBA", "Other");
        const qint32 now = sqlconsole::HistoryKeyNow();
        for (int i = 0; i < 3; ++i)
            exec(*other, QString("insert into meta$History (DT, UserName) values (%1, \"OTHER\")").arg(now + i));
    }
    c.run("select A from T");
    c.run("select A from T");
    QVERIFY2(c.p.texts().isEmpty(), qPrintable(c.p.texts().join('|')));
    QCOMPARE(c.history(), 2);
    QCOMPARE(c.b().DBGSQL->model()->rowCount(), 3);
}

void TestSqlConsole::manyRunsInARow()
{
    // Far more runs than seconds, after an older program pushed the next
    // thousand keys ahead: every run is recorded and none fails.
    Console c(true, QStringLiteral("SYSDBA"), true);
    const qint32 now = sqlconsole::HistoryKeyNow();
    {
        auto other = c.t.connect("SYSDBA", "Other");
        exec(*other, QString("execute block as declare i integer = 0; begin while (i < 1000) do begin "
                             "insert into meta$History (DT, UserName) values (%1 + :i, 'OTHER'); i = i + 1; end end")
                         .arg(now));
    }
    const int runs = 1500;
    for (int i = 0; i < runs; ++i) {
        c.run(QString("update T set B = \"%1\" where A = 1").arg(i));
        if (c.b().StatusFailed)
            QFAIL(qPrintable(QString("run %1: %2").arg(i).arg(c.p.texts().join('|'))));
    }
    QCOMPARE(c.history(), runs);
    QCOMPARE(c.value("select count(distinct DT) from meta$History where UserName = 'SYSDBA'").toInt(), runs);
    QCOMPARE(c.value("select B from T where A = 1").toString(), QString::number(runs - 1));
    // The window's history holds every run, the newest current and last.
    engine::Table &history = c.w->dm->THistory;
    QCOMPARE(history.recordCount(), runs);
    QCOMPARE(history.fieldByName("ID").asString(), QString("update T set B = \"%1\" where A = 1").arg(runs - 1));
    QCOMPARE(history.recNo(), runs - 1);
}

void TestSqlConsole::lineJump_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("selected");
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("no number") << "x3" << "Incorrect line number." << "";
    QTest::newRow("negative") << "-1" << "Line number < 0" << "";
    QTest::newRow("past the end") << "6" << "There is no line #6" << "";
    QTest::newRow("line 3") << "3" << "" << "from T";
}

void TestSqlConsole::lineJump()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, selected);
    Console c(false);
    TfmBrowser &b = c.b();
    b.SQLBody->setPlainText("select A,\n  B\nfrom T\nwhere A > 1\norder by A");
    b.EditsqlSPLine->setText(typed);
    b.SBsqlSPLineClick();
    QCOMPARE(c.p.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(b.SQLBody->textCursor().selectedText(), selected);
    QCOMPARE(b.LsqlLine->text(), selected.isEmpty() ? QString("1") : typed);
}

void TestSqlConsole::textCommands()
{
    Console c(false);
    TfmBrowser &b = c.b();
    // Colouring on: read-only with its message and hint; off: editable, hint gone.
    b.SQLBody->setPlainText("select A from T");
    b.SBsqlSyntaxOnClick();
    QVERIFY(b.SQLBody->isReadOnly());
    QCOMPARE(c.p.texts(), QStringList{"You have to press \"Plain syntax\" button for continue..."});
    QCOMPARE(b.StatusPanel1->text(), QString("   Hint: Press \"Plain syntax\" button for editing."));
    b.SBsqlSyntaxOffClick();
    QVERIFY(!b.SQLBody->isReadOnly());
    QCOMPARE(b.StatusPanel1->text(), QString());

    // Write offers "sql.txt"; read replaces the editor's text.
    QTemporaryDir dir;
    const QString path = dir.filePath("mine.txt");
    c.p.clear();
    b.SaveDialog1FileName = "other.txt";
    c.p.answerFile(path);
    b.SBsqlWriteSQLClick();
    QCOMPARE(c.p.calls().first().defaultValue, QString("sql.txt"));
    b.SQLBody->setPlainText("gone");
    c.p.answerFile(path);
    b.SBsqlReadSQLClick();
    QCOMPARE(b.SQLBody->toPlainText(), QString("select A from T"));

    // Export: the first line of the statement is the title.
    c.run("select A, B\nfrom T\norder by A");
    const QString exported = dir.filePath("rows.txt");
    c.p.clear();
    c.p.answerFile(exported);
    const platform::ModalHook previous = platform::setModalHook([](QDialog &d) {
        auto *div = qobject_cast<TfmDivider *>(&d);
        d.setResult(0);
        div->EditDivider->setText(";");
        div->BitBtn1Click();
        return d.result();
    });
    b.SBsqlExportToExcelClick();
    QFile f(exported);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("select A, B\r\nA;B;\r\n1;one;\r\n2;two;\r\n3;three;\r\n"));
    f.close();

    // A browser command runs its statement on the console's query: the rows
    // are gone, and so is the export, until the next query.
    b.SBGoBrowserClick();
    b.PCBrowser->setCurrentIndex(1);
    QVERIFY(c.w->dm->QTables.locate("RDB$RELATION_NAME", "T"));
    QVERIFY(c.w->dm->QColumns.locate("RDB$FIELD_NAME", "B"));
    b.SBFromColClick();
    b.SBToColClick();
    b.SBCopyColClick();
    QVERIFY(!b.StatusFailed);
    b.SBGoMasterClick();
    QVERIFY(!b.SBsqlExportToExcel->isEnabled());
    c.p.clear();
    b.SBsqlExportToExcelClick();
    QVERIFY(c.p.calls().isEmpty());
    c.run("select A from T where A = 2");
    QVERIFY(b.SBsqlExportToExcel->isEnabled());
    c.p.answerFile(exported).answer(Prompter::Answer::Yes);
    b.SBsqlExportToExcelClick();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("select A from T where A = 2\r\nA;\r\n2;\r\n"));
    platform::setModalHook(previous);
}

void TestSqlConsole::background_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows"); // -1: no grid
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("count"); // rows of T afterwards, read elsewhere
    QTest::newRow("select") << "select A, B\nfrom T" << 3 << "" << 3;
    QTest::newRow("with") << "with X as (select A from T) select A from X" << 3 << "" << 3;
    QTest::newRow("insert") << "insert into T values (4, \"four\")" << -1 << "" << 4;
    QTest::newRow("unknown table") << "select * from NOPE" << -1 << "NOPE" << 3;
    QTest::newRow("key taken") << "insert into T values (1, \"again\")" << -1 << "PRIMARY" << 3;
}

void TestSqlConsole::background()
{
    QFETCH(QString, text);
    QFETCH(int, rows);
    QFETCH(QString, error);
    QFETCH(int, count);
    Console c;
    TfmBrowser &b = c.b();
    const int before = BackgroundQueryForms().size();
    b.SQLBody->setPlainText(text);
    b.SBExecBkClick();
    // Recorded first, in a transaction of its own.
    QCOMPARE(c.history(), 1);
    QCOMPARE(BackgroundQueryForms().size(), before + 1);
    TQueryForm *form = BackgroundQueryForms().last();
    QCOMPARE(form->windowTitle(), text.section('\n', 0, 0));
    QCOMPARE(form->IsSelect, text.startsWith("select"));
    QVERIFY(ended(form));
    QCOMPARE(form->Failed, !error.isEmpty());
    QCOMPARE(shownPicture(form), error.isEmpty() ? form->IShades : form->ISad);
    if (error.isEmpty()) {
        QCOMPARE(form->StatusLine->text(), QString());
    } else {
        const QString line = form->StatusLine->text();
        QVERIFY2(line.startsWith("engine::Error: ") && line.contains(error) && line.endsWith("."), qPrintable(line));
    }
    QCOMPARE(form->DataSource->dataSet() != nullptr, rows >= 0);
    QCOMPARE(form->DataSource->rowCount(), qMax(rows, 0));
    QCOMPARE(c.value("select count(*) from T").toInt(), count);
    QVERIFY(!form->Database.inTransaction());
    // The main window took no part.
    QVERIFY(!b.StatusFailed && b.isEnabled());
    QVERIFY(c.p.texts().isEmpty());
}

void TestSqlConsole::backgroundSessions()
{
    // Two windows at once, each with a session and connection of its own,
    // numbered on from the program's counter; the first closed while it runs.
    Console c;
    const int n = sqlconsole::NextQueryNumber();
    engine::StatementRecorder log;
    c.b().SQLBody->setPlainText("select A from T where A < 3");
    c.b().SBExecBkClick();
    BackgroundQueryForms().last()->close();
    c.b().SQLBody->setPlainText("select B from T");
    c.b().SBExecBkClick();
    const QList<TQueryForm *> forms = BackgroundQueryForms().mid(BackgroundQueryForms().size() - 2);
    QVERIFY(ended(forms[0]) && ended(forms[1]));
    // Closing only hid it: the run went on and its rows are attached.
    QVERIFY(forms[0]->isHidden() && forms[1]->isVisible());
    // Each opened a step apart from the one before, inside the screen and
    // below the main window's tool bar.
    const QRect screen = forms[1]->screen()->availableGeometry();
    const int toolBarBottom = c.b().Panel1->mapToGlobal(QPoint(0, c.b().Panel1->height())).y();
    QVERIFY(forms[1]->pos() != forms[0]->pos());
    for (TQueryForm *f : forms)
        QVERIFY(f->frameGeometry().top() > toolBarBottom && screen.contains(f->frameGeometry()));
    QStringList sessions{forms[0]->Session.name(), forms[1]->Session.name()};
    sessions.sort();
    QCOMPARE(sessions, (QStringList{sqlconsole::NumberedName("Session", n + 1),
                                    sqlconsole::NumberedName("Session", n + 2)}));
    for (TQueryForm *f : forms) {
        QCOMPARE(f->Database.name(), "Database" + f->Session.name().mid(7));
        QCOMPARE(f->Query.sql().join('\n'), f->windowTitle());
        QCOMPARE(f->DataSource->rowCount(), f->windowTitle().contains("<") ? 2 : 3);
    }
    QVERIFY(log.statements().contains("select B from T"));
}

void TestSqlConsole::exitDuringRun()
{
    // A statement that would run for hours: the program's end cancels it on
    // the server and waits for its worker, then frees the window.
    Console c;
    c.b().SQLBody->setPlainText("execute block returns (N bigint) as\nbegin\n  N = 0;\n"
                                "  while (N < 100000000000) do N = N + 1;\n  suspend;\nend");
    c.b().SBExecBkClick();
    TQueryForm *form = BackgroundQueryForms().last();
    QVERIFY(QTest::qWaitFor([form] { return shownPicture(form) == form->IIndif; }, 60000));
    QTest::qWait(200); // into the statement
    QPointer<TQueryForm> watched(form);
    c.w.reset();
    QVERIFY(watched.isNull());
    QVERIFY(BackgroundQueryForms().isEmpty());
}

// At the size a person gives the window, the catalogue grid and a result
// grid show 31-character names, a timestamp, a scaled number and their
// titles whole; a text longer than the cap stops at the cap, and every
// column can still be dragged.
void TestSqlConsole::gridsFitWhatTheyHold()
{
    const QString name = "CUSTOMER_ORDERS_BY_REGION_YEARL"; // 31 characters
    const QString longText(300, QChar('x'));
    // A database made before the connect, as the catalogue grids list it.
    WindowBench bench;
    bench.prepare({"create table " + name + " (" + name + " varchar(31), STAMP timestamp, PRICE numeric(9,2), NOTE varchar(300))",
                   "insert into " + name + " values ('" + name + "', '2026-12-09 13:45:07', 43.5, '" + longText + "')"},
                  false);
    bench.p.answer(Prompter::Answer::No);
    bench.start();
    TfmBrowser &b = bench.b();
    b.resize(1600, 1000);
    b.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b));
    QVERIFY(bench.w->dm->QTables.locate("RDB$RELATION_NAME", name));
    QCOMPARE(testsupport::cutTexts(*b.DBGTables), QStringList());
    QCOMPARE(testsupport::cutTexts(*b.DBGColumns), QStringList());

    b.SQLBody->setPlainText("select * from " + name);
    b.SBExecSQLClick();
    QTableView &result = *b.DBGSQL;
    QCOMPARE(result.model()->index(0, 1).data().toString(), QString("2026-12-09 13:45:07"));
    QCOMPARE(result.model()->index(0, 2).data().toString(), QString("43.50"));
    QCOMPARE(testsupport::cutTexts(result), QStringList{longText});
    QCOMPARE(result.columnWidth(3), platform::fitColumnCap(result));
    for (int col = 0; col < 4; ++col)
        QCOMPARE(result.horizontalHeader()->sectionResizeMode(col), QHeaderView::Interactive);
}

#else

void TestSqlConsole::wrongPassword()
{
    TestDatabase t;
    ScopedAlias alias("REMOTE", testsupport::serverPrefix() + t.path());
    StartBackgroundQuery("select 1", "REMOTE", "SYSDBA", "wrong", "select 1 from rdb$database", true);
    TQueryForm *form = BackgroundQueryForms().last();
    QVERIFY(ended(form));
    QVERIFY(form->Failed);
    QCOMPARE(shownPicture(form), form->ISad);
    const QString line = form->StatusLine->text();
    QVERIFY2(line.startsWith("engine::Error: ") && line.contains("login") && line.endsWith("."), qPrintable(line));
    QCOMPARE(form->Session.name(), sqlconsole::NumberedName("Session", 1));
    EndBackgroundQueries();
}

#endif

DUNMOOR_GUI_TEST_MAIN(TestSqlConsole)
#include "tst_sqlconsole.moc"
