// The workbench's objects in the user's database: install, debug tables and
// their folder probe, the key map procedure, and the erase.
#include "WorkbenchFixture.h"
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"
#include "support/GuiTestMain.h"
#include "workbench/Repository.h"
#include "workbench/SpyLogic.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolButton>
#include <QUuid>

using platform::Prompter;
using platform::ScriptedPrompter;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;
using namespace wbtest;

namespace {

const QString kQuestion = "There are no META$ structures in this DB. Create?";
const QString kRefresh = "Press \"Refresh\" button (on the Tables page) before you check \"verbose\".";

struct Repo {
    std::unique_ptr<engine::Database> db;
    engine::Statement q6;
    engine::Statement q7;
    Repository r;
    explicit Repo(const TestDatabase &t) : db(t.connect("SYSDBA", "UserDB")), q6(db.get()), q7(db.get()), r(*db, q6, q7) {}
};

int count(engine::Database &db, const QString &sql)
{
    return scalar(db, sql).toInt();
}

// A folder the test server allows for external files, of this test alone.
} // namespace

class TestRepository : public QObject {
    Q_OBJECT
private slots:
    void normalizedPath_data();
    void normalizedPath();
    void yesInstallsEverything();
    void noLeavesDatabaseUntouched();
    void existingRepositoryAsksNothing();
    void generatorsAlreadyThereLeaveInstallIncomplete();
    void failedInstallEndsConnectedWithoutRepository();
    void getGensAlreadyThereStillGranted();
    void metaRenewMapsKeys();
    void ownExternalFolder_data();
    void ownExternalFolder();
    void pathProbe();
    void pathDialogOffersTheEnginesFolder();
    void debugTablesCreatedAndDropped();
    void failedDebugTablesLeaveNone();
    void recreatedDebugTablesMoveCodeGen();
    void connectWithYesShowsDebuggerPages();
    void eraseRefusedWhileDebugTablesExist();
    void eraseRemovesEverything();
    void debuggerRowsOperations();
    void debuggerRowsFailureLeavesNothing();
    void protocolAndPointReads();
    void dialectThreeInstallLeavesNothing();
    void eraseRefusesNamesItCannotDrop();
};

void TestRepository::normalizedPath_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("linux folder") << "/data/dbg" << "/data/dbg/";
    QTest::newRow("linux with slash") << "/data/dbg/" << "/data/dbg/";
    QTest::newRow("windows folder") << "C:\\dbg" << "C:\\dbg\\";
    QTest::newRow("windows with backslash") << "C:\\dbg\\" << "C:\\dbg\\";
    QTest::newRow("server share") << "\\\\srv\\dbg" << "\\\\srv\\dbg\\";
    QTest::newRow("empty") << "" << "\\";
    QTest::newRow("bare name") << "dbg" << "dbg\\";
}

void TestRepository::normalizedPath()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QCOMPARE(Repository::normalizedPath(typed), stored);
}

void TestRepository::ownExternalFolder_data()
{
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<bool>("own");
    const QString port = QString::number(engine::Runtime::paths().port);
    QTest::newRow("embedded") << "/data/x.fdb" << true;
    QTest::newRow("loopback on our port") << "127.0.0.1/" + port + ":/data/x.fdb" << true;
    QTest::newRow("localhost on our port") << "LocalHost/" + port + ":/data/x.fdb" << true;
    QTest::newRow("loopback, another port") << "127.0.0.1/3051:/data/x.fdb" << false;
    QTest::newRow("loopback, default port") << "localhost:/data/x.fdb" << (port == "3050");
    QTest::newRow("another host") << "dbhost/" + port + ":/data/x.fdb" << false;
    QTest::newRow("windows server") << "srv:C:\\data\\x.gdb" << false;
}

void TestRepository::ownExternalFolder()
{
    QFETCH(QString, serverName);
    QFETCH(bool, own);
    QCOMPARE(engine::Runtime::ownExternalFolder(serverName), own ? engine::Runtime::paths().external + "/" : QString());
}

void TestRepository::yesInstallsEverything()
{
    TestDatabase t;
    Repo x(t);
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes);
    QList<int> progress;
    engine::StatementRecorder log;
    QCOMPARE(x.r.ensure([&](int s) { progress << s; }), Repository::InstallResult::Installed);
    QCOMPARE(p.texts(), QStringList{kQuestion});
    QCOMPARE(progress.last(), -1);
    QVERIFY(progress.contains(10));

    auto &db = *x.db;
    for (const char *table : {"META$DEP", "META$EXTERNAL", "META$GENS", "META$POINTS", "META$SESSION", "META$HISTORY"}) {
        QVERIFY2(count(db, QString("select count(*) from rdb$relations where rdb$relation_name = \"%1\"").arg(table)) == 1, table);
        QVERIFY2(count(db, QString("select count(*) from rdb$user_privileges where rdb$user = \"PUBLIC\" and rdb$relation_name = \"%1\" and rdb$privilege = \"S\"").arg(table)) == 1, table);
    }
    QCOMPARE(count(db, "select count(*) from rdb$generators where rdb$generator_name starting with \"META$\""), 11);
    for (const char *proc : {"META$RENEW", "META$GETGENS"})
        QVERIFY2(count(db, QString("select count(*) from rdb$user_privileges where rdb$user = \"PUBLIC\" and rdb$relation_name = \"%1\" and rdb$privilege = \"X\"").arg(proc)) == 1, proc);
    engine::Statement gens(&db);
    gens.setSql("select * from meta$GetGens");
    gens.open();
    QCOMPARE(gens.rows().columnCount(), 10);
    QCOMPARE(gens.rows().value(0, 9).toInt(), 0);
    const QStringList sent = log.statements();
    QVERIFY(sent.contains(Repository::metaDepDdl().join('\n')));
    QVERIFY(sent.contains("create table meta$external (ExternalPath char(255))"));
    QVERIFY(sent.contains("grant execute on procedure meta$getgens to public"));
    QVERIFY(sent.indexOf("create generator meta$CodeGen") < sent.indexOf("create generator meta$gen10"));
    // The history column takes the user by default.
    exec(db, "insert into meta$history (DT, ID) values (1, \"x\")");
    QCOMPARE(scalar(db, "select UserName from meta$history").toString(), QString("SYSDBA"));
}

void TestRepository::noLeavesDatabaseUntouched()
{
    TestDatabase t;
    Repo x(t);
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::No);
    QCOMPARE(x.r.ensure([](int) {}), Repository::InstallResult::Declined);
    QCOMPARE(count(*x.db, "select count(*) from rdb$relations where rdb$relation_name starting with \"META$\""), 0);
    QCOMPARE(count(*x.db, "select count(*) from rdb$generators where rdb$generator_name starting with \"META$\""), 0);
}

void TestRepository::existingRepositoryAsksNothing()
{
    TestDatabase t;
    Repo x(t);
    // Only META$EXTERNAL counts; nothing else is looked at or made.
    exec(*x.db, "create table meta$external (ExternalPath char(255))");
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    QCOMPARE(x.r.ensure([](int) {}), Repository::InstallResult::Present);
    QVERIFY(p.calls().isEmpty());
    QCOMPARE(count(*x.db, "select count(*) from rdb$relations where rdb$relation_name starting with \"META$\""), 1);
}

void TestRepository::generatorsAlreadyThereLeaveInstallIncomplete()
{
    TestDatabase t;
    Repo x(t);
    exec(*x.db, "create generator meta$gen3");
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes).answer(Prompter::Answer::No);
    // The generator group fails as a whole, META$EXTERNAL with it: the
    // install says so and takes back what it made; the user's generator stays.
    QCOMPARE(x.r.ensure([](int) {}), Repository::InstallResult::Failed);
    QCOMPARE(p.texts().size(), 2);
    const QString shown = p.texts().at(1);
    QVERIFY2(shown.startsWith("The META$ structures could not be created, and nothing of them was left in the "
                              "database. The workbench goes on without them (no debugging, no history).\r\n"),
             qPrintable(shown));
    QVERIFY2(shown.contains("META$GEN3"), qPrintable(shown));
    auto check = t.connect("SYSDBA", "Check");
    QCOMPARE(count(*check, "select count(*) from rdb$relations where rdb$relation_name starting with \"META$\""), 0);
    QCOMPARE(count(*check, "select count(*) from rdb$procedures where rdb$procedure_name starting with \"META$\""), 0);
    QCOMPARE(scalar(*check, "select list(trim(rdb$generator_name)) from rdb$generators where rdb$generator_name starting with \"META$\"").toString(),
             QString("META$GEN3"));
    QVERIFY(!x.db->inTransaction());
    // So the next check asks again.
    QCOMPARE(x.r.ensure([](int) {}), Repository::InstallResult::Declined);
    QCOMPARE(p.texts().last(), kQuestion);
}

void TestRepository::failedInstallEndsConnectedWithoutRepository()
{
    // The connect ends as after a No: connected, without the repository,
    // with the reason shown.
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    exec(*t.connect(), "create generator meta$gen3");
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes);
    Workbench w({"TESTDB", "SYSDBA", ""});
    TfmBrowser &b = *w.browser;
    QCOMPARE(p.texts().size(), 2);
    QVERIFY2(p.texts().at(1).startsWith("The META$ structures could not be created"), qPrintable(p.texts().at(1)));
    QVERIFY(!b.MetaPresent);
    QVERIFY(b.IsConnected);
    QVERIFY(!b.StatusFailed);
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));
    QVERIFY(b.isEnabled());
    QVERIFY(!b.PBar->isVisible());
    QVERIFY(b.SBEraseMeta->isHidden());
    QVERIFY(!b.CBWithDebug->isEnabled());
}

void TestRepository::dialectThreeInstallLeavesNothing()
{
    TestDatabase t(3);
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d("TESTDB", "SYSDBA");
    p.answer(Prompter::Answer::Yes).answer(Prompter::Answer::No);
    Workbench w({});
    TfmBrowser &b = *w.browser;
    b.SBConnectClick();
    QCOMPARE(p.texts().size(), 2);
    const QString shown = p.texts().at(1);
    QVERIFY2(shown.contains("nothing of them was left"), qPrintable(shown));
    QVERIFY2(shown.contains("This database speaks SQL dialect 3 and the workbench speaks dialect 1"), qPrintable(shown));
    QVERIFY2(shown.contains("Metadata update statement is not allowed by the current database SQL dialect 3"),
             qPrintable(shown));
    QVERIFY(b.IsConnected);
    QVERIFY(!b.MetaPresent);
    QCOMPARE(b.windowTitle(), " Marrowby" + QString(40, ' ') + "Database: TESTDB");
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));
    QVERIFY(b.isEnabled());
    QVERIFY(b.PCMain->isEnabled());
    {
        auto check = t.connect("SYSDBA", "Check");
        for (const char *sql : {"select count(*) from rdb$relations where rdb$relation_name starting with 'META$'",
                                "select count(*) from rdb$procedures where rdb$procedure_name starting with 'META$'",
                                "select count(*) from rdb$generators where rdb$generator_name starting with 'META$'"})
            QVERIFY2(count(*check, sql) == 0, sql);
    }
    // The next connect asks again, as after a No.
    p.clear();
    b.SBConnectClick();
    QCOMPARE(p.texts(), QStringList{kQuestion});
    QVERIFY(b.IsConnected);
}

void TestRepository::getGensAlreadyThereStillGranted()
{
    TestDatabase t;
    Repo x(t);
    exec(*x.db, "create procedure META$GETGENS returns (G1 integer) as begin G1 = 7; suspend; end");
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes);
    QCOMPARE(x.r.ensure([](int) {}), Repository::InstallResult::Installed);
    QCOMPARE(scalar(*x.db, "select G1 from meta$getgens").toInt(), 7);
    QCOMPARE(count(*x.db, "select count(*) from rdb$user_privileges where rdb$user = \"PUBLIC\" and rdb$relation_name = \"META$GETGENS\""), 1);
}

void TestRepository::metaRenewMapsKeys()
{
    TestDatabase t;
    Repo x(t);
    auto &db = *x.db;
    exec(db, "create table A (ID integer not null primary key, NAME varchar(10) not null)");
    exec(db, "create table B (K1 integer not null, K2 integer not null, primary key (K1, K2))");
    exec(db, "create table C (ID integer not null primary key, A_ID integer references A, B1 integer, B2 integer, "
             "foreign key (B1, B2) references B)");
    exec(db, "create table D (X integer)");
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes);
    QCOMPARE(x.r.ensure([](int) {}), Repository::InstallResult::Installed);
    exec(db, "execute procedure meta$Renew");

    engine::Statement s(&db);
    s.setSql("select T1, PKN1, FKN, T2, PKN2, LEV1, LEV2, PKC1, PKC2, FKI, PKI2 from meta$dep "
             "where T1 in (\"A\", \"B\", \"C\", \"D\") order by T1, T2");
    s.open();
    const auto &r = s.rows();
    QCOMPARE(r.rowCount(), 5); // A, B, C twice (two foreign keys), D
    auto row = [&](qsizetype i) {
        QStringList out;
        for (int c = 0; c < 7; ++c)
            out << (r.isNull(i, c) ? QString("-") : r.text(i, c));
        return out;
    };
    // Columns: T1, PKN1, FKN, T2, PKN2, LEV1, LEV2; "-" is NULL (an update
    // whose subselect finds nothing).
    QCOMPARE(row(0), (QStringList{"A", "ID", "-", "-", "-", "1", "0"}));
    QCOMPARE(row(1), (QStringList{"B", "-", "-", "-", "-", "2", "0"})); // two-column key: no single field
    QCOMPARE(row(2), (QStringList{"C", "ID", "A_ID", "A", "ID", "3", "1"}));
    QCOMPARE(row(3), (QStringList{"C", "ID", "-", "B", "-", "3", "2"}));
    QCOMPARE(row(4), (QStringList{"D", "-", "-", "-", "-", "4", "0"}));
    // The referenced constraint is the key of the referenced index.
    QCOMPARE(r.text(2, 8), scalar(db, "select rdb$constraint_name from rdb$relation_constraints where rdb$relation_name = \"A\" and rdb$constraint_type = \"PRIMARY KEY\"").toString());
    QCOMPARE(r.text(2, 8), r.text(0, 7));
}

void TestRepository::pathProbe()
{
    TestDatabase t;
    Repo x(t);
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    QVERIFY(x.r.testExternalPath(debugFolder()));
    QVERIFY(p.calls().isEmpty());
    x.r.dropProbeTable();
    QVERIFY(!x.r.tableExists("META$PROBA"));

    // A folder the server does not allow: the probe fails with its text.
    QTemporaryDir outside;
    QVERIFY(!x.r.testExternalPath(outside.path() + "/"));
    QCOMPARE(p.calls().size(), 1);
    QVERIFY2(p.calls().first().text.contains("not allowed"), qPrintable(p.calls().first().text));
    QVERIFY(!x.r.tableExists("META$PROBA"));

    // Through the dialog: it stays open on a failure, closes with 1 on success.
    p.clear();
    TfmExternal dialog([&](const QString &f) { return x.r.testExternalPath(f); }, [&] { x.r.dropProbeTable(); });
    dialog.setResult(0);
    dialog.EditExtPath->setText(outside.path());
    dialog.BitBtn1Click();
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(dialog.ExternalTablesPath, outside.path() + "/");
    const QString allowed = debugFolder();
    dialog.EditExtPath->setText(allowed.chopped(1));
    dialog.BitBtn1Click();
    QCOMPARE(dialog.result(), 1);
    QCOMPARE(dialog.ExternalTablesPath, allowed);
    QVERIFY(!x.r.tableExists("META$PROBA"));
    dialog.BitBtn2Click();
    QCOMPARE(dialog.result(), 2);
    QVERIFY(dialog.ExternalTablesPath.isEmpty());
}

void TestRepository::pathDialogOffersTheEnginesFolder()
{
    // The embedded engine reads our firebird.conf: the dialog offers its
    // external folder, and a refused path is answered with that folder.
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    {
        auto db = t.connect();
        installRepository(*db);
        exec(*db, "delete from meta$external"); // no folder yet: the dialog asks
    }
    const QString own = engine::Runtime::paths().external + "/";
    QTemporaryDir outside;
    QString offered;
    QStringList shown;
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    auto previous = platform::setModalHook([&](QDialog &d) {
        auto *e = qobject_cast<TfmExternal *>(&d);
        if (!e)
            return int(QDialog::Rejected);
        offered = e->EditExtPath->text();
        e->setResult(0);
        e->EditExtPath->setText(outside.path());
        e->BitBtn1Click();
        shown = p.texts();
        e->BitBtn2Click();
        return e->result();
    });
    Workbench w({"TESTDB", "SYSDBA", ""});
    platform::setModalHook(previous);
    QCOMPARE(offered, own);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().endsWith("\r\nThis server takes external tables only in " + own
                                    + " (and the folders inside it)."),
             qPrintable(shown.first()));
    QVERIFY2(shown.first().contains("not allowed"), qPrintable(shown.first()));
}

void TestRepository::debugTablesCreatedAndDropped()
{
    TestDatabase t;
    Repo x(t);
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes);
    x.r.ensure([](int) {});
    p.clear();
    const QString folder = debugFolder();
    exec(*x.db, QString("insert into meta$External values (\"%1\")").arg(folder));
    QVERIFY(!x.r.debugTablesExist());
    QString path;
    engine::StatementRecorder log;
    QVERIFY(x.r.createDebugTables(&path));
    QCOMPARE(path, folder);
    QVERIFY(x.r.debugTablesExist());
    QVERIFY(log.statements().contains(QString("create table META$MTBP external file \"%1mtbp.mz\" (\n"
                                              "Code Integer not null, UserName Char(31) CHARACTER SET NONE, SessionNum Integer, "
                                              "ProcName Char(31) CHARACTER SET NONE, BPID Char(20) CHARACTER SET NONE, BPNUM Integer)").arg(folder)));
    // A row written by one connection is read by another.
    exec(*x.db, "insert into META$MTBPV values (1, 2, \"V\", \"value\")");
    auto other = t.connect();
    QCOMPARE(scalar(*other, "select VarValue from META$MTBPV").toString(), QString("value"));
    other.reset();
    QCOMPARE(count(*x.db, "select count(*) from rdb$user_privileges where rdb$user = \"PUBLIC\" and rdb$relation_name starting with \"META$MT\" and rdb$privilege = \"I\""), 5);
    x.r.dropDebugTables();
    QVERIFY(!x.r.debugTablesExist());
    QVERIFY(p.problems().isEmpty());
}

void TestRepository::failedDebugTablesLeaveNone()
{
    TestDatabase t;
    Repo x(t);
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes);
    x.r.ensure([](int) {});
    p.clear();
    exec(*x.db, QString("insert into meta$External values (\"%1\")").arg(debugFolder()));
    exec(*x.db, "create table META$MTBPA (Y integer)"); // in the way
    QVERIFY(!x.r.createDebugTables());
    QCOMPARE(p.calls().size(), 1);
    QVERIFY(p.calls().first().text.startsWith("Can't create external tables!\r\n"));
    QCOMPARE(count(*x.db, "select count(*) from rdb$relations where rdb$relation_name starting with \"META$MT\""), 1);
}

void TestRepository::recreatedDebugTablesMoveCodeGen()
{
    TestDatabase t;
    Repo x(t);
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes);
    x.r.ensure([](int) {});
    exec(*x.db, QString("insert into meta$External values (\"%1\")").arg(debugFolder()));
    QVERIFY(x.r.createDebugTables());
    exec(*x.db, "insert into META$MTBP values (500, \"SYSDBA\", 1, \"P\", \"1\", 1)");
    x.r.dropDebugTables();
    exec(*x.db, "set generator meta$CodeGen to 3");
    // The files kept their rows; the new tables see them.
    QVERIFY(x.r.createDebugTables());
    QCOMPARE(count(*x.db, "select max(Code) from META$MTBP"), 500);
    QVERIFY(count(*x.db, "select gen_id(meta$CodeGen, 0) from rdb$database") >= 500);
    QVERIFY(count(*x.db, "select gen_id(meta$CodeGen, 1) from rdb$database") > 500);
}

void TestRepository::connectWithYesShowsDebuggerPages()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d("TESTDB", "sysdba");
    p.answer(Prompter::Answer::Yes);
    Workbench w({});
    TfmBrowser &b = *w.browser;
    b.SBConnectClick();
    QCOMPARE(p.texts(), (QStringList{kQuestion, kRefresh}));
    QCOMPARE(d.shown, (QStringList{"fmAliases", "fmLoginPrompt", "fmExternal"}));
    QVERIFY(b.MetaPresent);
    QVERIFY(b.MetaRenewPresent);
    QVERIFY(b.PagePCProcTrig->isTabVisible(b.PagePCProcTrig->indexOf(b.TSBPV)));
    QVERIFY(b.PCSQL->isTabVisible(b.PCSQL->indexOf(b.TSHistory)));
    QVERIFY(!b.SBEraseMeta->isHidden());
    QVERIFY(b.CBWithDebug->isEnabled());
    QVERIFY(b.CBVerboseCol->isEnabled());
    QVERIFY(b.SBRefreshAll->isEnabled());
    QCOMPARE(b.SBNewSession->text(), QString("Try # 0"));
    QCOMPARE(scalar(w.dm->Database, "select count(*) from meta$session where UserName = 'SYSDBA'").toInt(), 1);
    QVERIFY(b.ExternalTablesPath.isEmpty());
    QCOMPARE(scalar(w.dm->Database, "select count(*) from meta$external").toInt(), 0);
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));

    // The next connect asks for the path again and stores it.
    p.clear();
    d.externalPath = debugFolder();
    b.SBConnectClick();
    QCOMPARE(p.texts(), QStringList{});
    QCOMPARE(b.ExternalTablesPath, d.externalPath);
    QCOMPARE(scalar(w.dm->Database, "select ExternalPath from meta$external").toString(), d.externalPath);

    // A quote in the user name stays inside the constant.
    d.user = "o\"brien";
    b.SBConnectClick();
    QCOMPARE(b.LoginUser, QString("O\"BRIEN"));
    // The session row is keyed by the name the server records, which is what
    // the instrumented code's USER gives.
    QCOMPARE(b.ProtocolUser, scalar(w.dm->Database, "select current_user from rdb$database").toString().trimmed());
    QCOMPARE(scalar(w.dm->Database, "select count(*) from meta$session where UserName = current_user").toInt(), 1);
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));
    QCOMPARE(b.ExternalTablesPath, d.externalPath);
    // The history shows the statement's first line; the rest stays hidden.
    QStringList shown;
    for (int i = 0; i < w.dm->THistory.fieldCount(); ++i)
        if (w.dm->THistory.fieldDef(i).visible)
            shown << w.dm->THistory.fieldDef(i).displayLabel;
    QCOMPARE(shown, QStringList{"SQL Statement First String"});

    // Another database, without the repository: no folder of the last one.
    TestDatabase other;
    ScopedAlias second("OTHER", other.path());
    d.alias = "OTHER";
    p.answer(Prompter::Answer::No);
    b.SBConnectClick();
    QVERIFY(!b.MetaPresent);
    QVERIFY(b.ExternalTablesPath.isEmpty());
}

void TestRepository::eraseRefusedWhileDebugTablesExist()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    {
        Repo x(t);
        ScriptedPrompter p;
        platform::ScopedPrompter sp(p);
        p.answer(Prompter::Answer::Yes);
        x.r.ensure([](int) {});
        exec(*x.db, "create table META$MTSOMETHING (A integer)"); // anyone's
    }
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d;
    Workbench w({"TESTDB", "SYSDBA", ""});
    QCOMPARE(d.shown, QStringList{"fmExternal"});
    p.answer(Prompter::Answer::Yes);
    w.browser->SBEraseMetaClick();
    QCOMPARE(p.texts(), (QStringList{"Erase now?",
                                     "Press \"Clear all\" button on page \"BreakPoint List\" first.\r\n"
                                     "If \"Clear all\" button disabled - drop external META$ tables manually."}));
    QVERIFY(Repository(w.dm->Database, w.dm->Q6.statement(), w.dm->Q7.statement()).tableExists("META$EXTERNAL"));
    QVERIFY(w.browser->MetaPresent);
}

void TestRepository::eraseRemovesEverything()
{
    TestDatabase t;
    ScopedAlias alias("TESTDB", t.path());
    {
        Repo x(t);
        ScriptedPrompter p;
        platform::ScopedPrompter sp(p);
        p.answer(Prompter::Answer::Yes);
        x.r.ensure([](int) {});
        exec(*x.db, "create generator META$MINE");
        exec(*x.db, "create table KEEP (A integer)");
    }
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d;
    Workbench w({"TESTDB", "SYSDBA", ""});
    TfmBrowser &b = *w.browser;
    QVERIFY(b.MetaPresent);
    p.answer(Prompter::Answer::No);
    b.SBEraseMetaClick();
    QVERIFY(b.MetaPresent);
    p.answer(Prompter::Answer::Yes);
    b.SBEraseMetaClick();
    QVERIFY2(p.problems().isEmpty(), qPrintable(p.problems().join('|')));
    auto &db = w.dm->Database;
    QCOMPARE(count(db, "select count(*) from rdb$relations where rdb$relation_name starting with \"META$\""), 0);
    QCOMPARE(count(db, "select count(*) from rdb$generators where rdb$generator_name containing \"META$\""), 0);
    QCOMPARE(count(db, "select count(*) from rdb$procedures where rdb$procedure_name starting with \"META$\""), 0);
    QCOMPARE(count(db, "select count(*) from rdb$dependencies where rdb$dependent_name = \"META$RENEW\" or rdb$dependent_name = \"META$GETGENS\""), 0);
    QCOMPARE(count(db, "select count(*) from rdb$relations where rdb$relation_name = \"KEEP\""), 1);
    QVERIFY(!b.MetaPresent);
    QVERIFY(b.SBEraseMeta->isHidden());
    QVERIFY(!b.SBSpyMode->isEnabled());
    QVERIFY(!b.CBWithDebug->isEnabled());
    QVERIFY(!b.CBVerboseCol->isEnabled());
    QVERIFY(!b.PagePCProcTrig->isTabVisible(b.PagePCProcTrig->indexOf(b.TSPointList)));
    QVERIFY(!b.PCSQL->isTabVisible(b.PCSQL->indexOf(b.TSHistory)));
    QCOMPARE(b.StatusPanel0->text(), QString("   Status: OK."));
    QVERIFY(b.isEnabled());
    // Nothing stays open on the dropped tables.
    QVERIFY(!w.dm->QPointList.isActive());
    QVERIFY(!w.dm->THistory.isActive());
}

void TestRepository::eraseRefusesNamesItCannotDrop()
{
    // A generator named with a blank (a dialect-3 database allows it) cannot
    // be named in "drop generator": the erase is refused before it sends
    // anything, and says which name.
    TestDatabase t(3);
    Repo x(t);
    exec(*x.db, "create table meta$external (ExternalPath char(255))");
    exec(*x.db, "create generator META$ONE");
    x.db->executeImmediate("create generator \"META$G --X\"", 3);
    engine::StatementRecorder log;
    try {
        x.r.erase();
        QFAIL("the erase went on");
    } catch (const engine::Error &e) {
        QCOMPARE(e.message(), QString("The name \"META$G --X\" is not a plain identifier (a letter, then letters, "
                                      "digits, _ or $): it cannot be named in a dialect-1 statement. Nothing was sent."));
    }
    for (const QString &sent : log.statements())
        QVERIFY2(sent.startsWith("select"), qPrintable(sent));
    QVERIFY(x.r.tableExists("META$EXTERNAL"));
    QCOMPARE(count(*x.db, "select count(*) from rdb$generators where rdb$generator_name starting with 'META$'"), 2);
}

namespace {

// A repository installed with its prompt answered Yes.
void install(Repo &x)
{
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(Prompter::Answer::Yes);
    QCOMPARE(x.r.ensure([](int) {}), Repository::InstallResult::Installed);
}

} // namespace

void TestRepository::debuggerRowsOperations()
{
    TestDatabase t;
    Repo x(t);
    install(x);
    auto other = t.connect("SYSDBA", "Other");
    auto seen = [&](const QString &sql) { return count(*other, sql); };
    engine::StatementRecorder log;

    QCOMPARE(x.r.ensureSession("O\"B"), 0);
    QCOMPARE(x.r.ensureSession("O\"B"), 0); // the row is made once
    x.r.startSession("O\"B", 4);
    QCOMPARE(x.r.sessionNumber("O\"B"), 4);
    QCOMPARE(x.r.sessionNumber("NOBODY"), 0);
    QCOMPARE(log.statements(),
             (QStringList{"select count(*) from meta$session where UserName = \"O\"\"B\" and SessionNum >= 0",
                          "insert into meta$session values (\"O\"\"B\", 0)",
                          "select SessionNum from meta$session where UserName = \"O\"\"B\" and SessionNum >= 0",
                          "select count(*) from meta$session where UserName = \"O\"\"B\" and SessionNum >= 0",
                          "select SessionNum from meta$session where UserName = \"O\"\"B\" and SessionNum >= 0",
                          "update meta$session set SessionNum = 4 where UserName = \"O\"\"B\" and SessionNum >= 0",
                          "update meta$gens set GenValue = 0 where UserName = \"O\"\"B\"",
                          "select SessionNum from meta$session where UserName = \"O\"\"B\" and SessionNum >= 0",
                          "select SessionNum from meta$session where UserName = \"NOBODY\" and SessionNum >= 0"}));
    QCOMPARE(seen("select count(*) from meta$session where UserName = 'O\"B'"), 1);

    log.clear();
    x.r.resetPointCounters("ANN", "P1", true, false);
    x.r.resetPointCounters("ANN", "P1", true, true);
    QCOMPARE(log.statements().mid(0, 2),
             (QStringList{"delete from meta$Gens where UserName = \"ANN\" and ProcName = \"P1\"",
                          "insert into meta$gens values (\"ANN\", \"P1\", \"BPNUM\", 0)"}));
    QCOMPARE(log.statements().last(), QString("insert into meta$gens values (\"ANN\", \"P1\", \"TPNUM\", 0)"));
    QCOMPARE(seen("select count(*) from meta$gens where UserName = 'ANN' and ProcName = 'P1'"), 2);
    log.clear();
    x.r.clearCounters("P1");
    QCOMPARE(log.statements(), QStringList{"delete from meta$gens where ProcName = \"P1\""});
    QCOMPARE(seen("select count(*) from meta$gens"), 0);

    // Points: 1 and 2 current, 3 pending from the latest save.
    exec(*x.db, "insert into meta$points values (1, \"P1\", \"a\", \"BP\", \"SP\", 0)");
    exec(*x.db, "insert into meta$points values (2, \"P1\", \"b\", \"BP\", \"SP\", 0)");
    exec(*x.db, "insert into meta$points values (3, \"P1\", \"c\", \"BP\", \"SP\", 1)");
    x.r.settlePoints("P1", false);
    QCOMPARE(seen("select count(*) from meta$points where P = 0"), 2);
    QCOMPARE(seen("select count(*) from meta$points where P = 1"), 0);
    exec(*x.db, "insert into meta$points values (3, \"P1\", \"c\", \"BP\", \"SP\", 1)");
    x.r.settlePoints("P1", true);
    QCOMPARE(seen("select Code from meta$points where P = 0"), 3);
    QCOMPARE(seen("select count(*) from meta$points"), 1);

    exec(*x.db, "set generator meta$gen3 to 7");
    log.clear();
    x.r.zeroProgressGenerators();
    QCOMPARE(log.statements().size(), 10);
    QCOMPARE(log.statements().last(), QString("set generator meta$gen10 to 0"));
    QCOMPARE(seen("select gen_id(meta$gen3, 0) from rdb$database"), 0);
    QVERIFY(!x.db->inTransaction());
}

void TestRepository::debuggerRowsFailureLeavesNothing()
{
    TestDatabase t;
    Repo x(t);
    install(x);
    auto other = t.connect("SYSDBA", "Other");
    exec(*x.db, "insert into meta$gens values (\"ANN\", \"P1\", \"BPNUM\", 5)");
    // The second insert fails: the delete before it must not stay.
    exec(*x.db, "alter table meta$gens add constraint ONE_KIND check (GenID <> \"TPNUM\")");
    try {
        x.r.resetPointCounters("ANN", "P1", true, true);
        QFAIL("the refused insert passed");
    } catch (const engine::Error &e) {
        QVERIFY2(e.message().contains("ONE_KIND"), qPrintable(e.message()));
    }
    QVERIFY(!x.db->inTransaction());
    QCOMPARE(scalar(*other, "select GenValue from meta$gens where ProcName = 'P1'").toInt(), 5);
}

DUNMOOR_GUI_TEST_MAIN(TestRepository)
#include "tst_repository.moc"

void TestRepository::protocolAndPointReads()
{
    TestDatabase t;
    Repo x(t);
    install(x);
    exec(*x.db, QString("insert into meta$External values (\"%1\")").arg(debugFolder()));
    QVERIFY(x.r.createDebugTables());
    auto other = t.connect("SYSDBA", "Other");
    engine::StatementRecorder log;

    const QString countSql = "select count(*) from meta$mtbp where UserName = ? and SessionNum = ?";
    const QString newestSql = "select * from meta$mtbp where Code = (select Max(Code) from meta$mtbp where "
                              "UserName = ? and SessionNum = ?)";
    QCOMPARE(x.r.hitCount("ANN", 2), 0);
    QVERIFY(!x.r.newestHit("ANN", 2));
    QCOMPARE(log.statements(), (QStringList{countSql, newestSql}));

    // Two hits of ANN's try 2 (one of another try between them) and the
    // newest one's values: one set, one NULL, one stored blank.
    exec(*x.db, "insert into META$MTBP values (10, \"ANN\", 2, \"P1\", \"BP1\", 1)");
    exec(*x.db, "insert into META$MTBP values (11, \"ANN\", 3, \"P9\", \"BP9\", 1)");
    exec(*x.db, "insert into META$MTBP values (12, \"ANN\", 2, \"P1\", \"BP2\", 7)");
    exec(*x.db, "insert into META$MTBPV values (20, 12, \"X\", \"41\")");
    exec(*x.db, "insert into META$MTBPV values (21, 12, \"Y\", null)");
    exec(*x.db, "insert into META$MTBPV values (22, 12, \"Z\", \"\")");
    exec(*x.db, "insert into META$MTBPV values (23, 10, \"X\", \"1\")");
    log.clear();
    QCOMPARE(x.r.hitCount("ANN", 2), 2);
    const std::optional<Repository::Hit> hit = x.r.newestHit("ANN", 2);
    QVERIFY(hit);
    QCOMPARE(hit->code, 12);
    QCOMPARE(hit->object, QString("P1"));
    QCOMPARE(hit->pointId, QString("BP2"));
    QCOMPARE(hit->passNumber, QString("7"));
    QCOMPARE(hit->values.size(), 3);
    QStringList seen;
    for (const Repository::WatchValue &v : hit->values)
        seen << QString("%1=%2%3").arg(v.name, v.value, v.isNull ? "/null" : "");
    seen.sort();
    QCOMPARE(seen, (QStringList{"X=41", "Y=/null", "Z=/null"}));
    QVERIFY(!hit->answered);
    QCOMPARE(log.statements(),
             (QStringList{countSql, newestSql, "select VarName, VarValue from meta$mtbpv where mtcode = ?",
                          "select count(*) from meta$mtbpa where MTCode = ?"}));
    QVERIFY(!x.db->inTransaction());
    // Answered from elsewhere: the hit no longer waits.
    exec(*x.db, "insert into META$MTBPA values (30, 12, \"X\", \"1\")");
    QVERIFY(x.r.hitAnswered(12));
    QVERIFY(x.r.newestHit("ANN", 2)->answered);
    QVERIFY(!x.r.hitAnswered(10));

    // Points: P1 and the gone procedure GONE.
    exec(*x.db, "insert into meta$points values (1, \"P1\", \"a\", \"BP\", \"SP\", 0)");
    exec(*x.db, "insert into meta$points values (2, \"GONE\", \"b\", \"TP\", \"SP\", 0)");
    exec(*x.db, "create procedure P1 as begin end");
    log.clear();
    QCOMPARE(x.r.pointKind("P1", "a"), QString("SP"));
    QCOMPARE(x.r.pointKind("P1", "zz"), QString());
    x.r.deleteOrphanPoints();
    QString object, kind;
    QVERIFY(x.r.firstPoint(&object, &kind));
    QCOMPARE(object, QString("P1"));
    QCOMPARE(kind, QString("SP"));
    x.r.deleteObjectPoints("P1");
    QVERIFY(!x.r.firstPoint(&object, &kind));
    QCOMPARE(log.statements(),
             (QStringList{"select SP_T from meta$points where ProcName = \"P1\" and PID = \"a\"",
                          "select SP_T from meta$points where ProcName = \"P1\" and PID = \"zz\"",
                          spylogic::deleteOrphanPointsSql(), "select * from meta$points",
                          "delete from meta$points where ProcName = \"P1\"", "select * from meta$points"}));
    QCOMPARE(count(*other, "select count(*) from meta$points"), 0);

    exec(*x.db, "set generator meta$gen2 to 5");
    log.clear();
    const QStringList values = x.r.progressValues();
    QCOMPARE(values.size(), 10);
    QCOMPARE(values.mid(0, 3), (QStringList{"0", "5", "0"}));
    QCOMPARE(log.statements(), QStringList{"select * from meta$GetGens"});
    QVERIFY(!x.db->inTransaction());
}
