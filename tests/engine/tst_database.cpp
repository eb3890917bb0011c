// Connections, transactions and statements against real embedded databases.
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/SampleDatabase.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"
#include "engine/Transaction.h"
#include "support/TestMain.h"

#include <QFile>
#include <QThread>
#include <functional>

using engine::Database;
using engine::Error;
using engine::ErrorCategory;
using engine::Statement;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;

class TestDatabaseOps : public QObject {
    Q_OBJECT
private slots:
    void dialectOneTextsRun();
    void procedureBodyWithColonsAndEmptyStringCompiles();
    void parametersBindByNameWithoutCase();
    void missingParameterValueIsRefused();
    void failedCommitRaisesAndDatabaseGoesOn();
    void failedStatementThenRollbackLeavesNothing();
    void rowsOpenedInTransactionSurviveCommit();
    void closedStatementDoesNotBlockDrop();
    void dropOfTableInUseFailsAtCommit();
    void autocommitOutsideTransaction();
    void noAutocommitKeepsWorkUntilCommit();
    void keyViolationCategory();
    void noPermissionCategory();
    void grantRefusalsAreNoPermission_data();
    void grantRefusalsAreNoPermission();
    void statementLogRecordsServerTexts();
    void cancelFromAnotherThread();
    void aliasConnectionOverridesUser();
    void unknownAliasIsAConfigurationError();
    void workOnAClosedConnectionNamesTheAlias_data();
    void workOnAClosedConnectionNamesTheAlias();
    void sampleAliasCreatesSampleDatabase();
};

void TestDatabaseOps::dialectOneTextsRun()
{
    TestDatabase t;
    auto db = t.connect();
    QCOMPARE(scalar(*db, "select count(*) from rdb$relations where rdb$relation_name = \"RDB$DATABASE\"").toInt(), 1);
    QCOMPARE(scalar(*db, "select mon$sql_dialect from mon$database").toInt(), 1);
}

void TestDatabaseOps::procedureBodyWithColonsAndEmptyStringCompiles()
{
    TestDatabase t;
    auto db = t.connect();
    Statement s(db.get());
    // Parameter parsing on: `::` must reach the server as one colon.
    s.setSql(QStringList{"create procedure P1 returns (N integer, S varchar(10)) as",
                         "begin",
                         "  select count(*) from rdb$relations where rdb$relation_name = \"RDB$DATABASE\" into ::N;",
                         "  S = \"\";",
                         "  suspend;",
                         "end"});
    s.execute();
    s.setSql("select N, S from P1");
    s.open();
    QCOMPARE(s.rows().rowCount(), 1);
    QCOMPARE(s.rows().value(0, 0).toInt(), 1);
    QCOMPARE(s.rows().value(0, 1), QVariant(QString("")));
}

void TestDatabaseOps::parametersBindByNameWithoutCase()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (ID integer not null primary key, NAME varchar(20), AMOUNT numeric(9,2), D date)");
    Statement ins(db.get());
    ins.setSql("insert into T values (:ID, :Name, :amount, :D)");
    ins.setParam("id", 7);
    ins.setParam("NAME", "seven");
    ins.setParam("Amount", 12.34);
    ins.setParam("d", QDate(2024, 2, 29));
    ins.execute();
    QCOMPARE(ins.rowsAffected(), 1);
    // Text for a number column is converted by the server.
    ins.setParam("id", "8");
    ins.setParam("amount", "0.5");
    ins.execute();

    Statement sel(db.get());
    sel.setSql("select NAME, AMOUNT, D from T where ID = :id and NAME = :id2");
    QCOMPARE(sel.paramNames(), (QStringList{"id", "id2"}));
    sel.setParam("ID", 7);
    sel.setParam("ID2", "seven");
    sel.open();
    QCOMPARE(sel.rows().rowCount(), 1);
    QCOMPARE(sel.rows().value(0, 1).toDouble(), 12.34);
    QCOMPARE(sel.rows().value(0, 2).toDateTime().date(), QDate(2024, 2, 29));
    QCOMPARE(scalar(*db, "select AMOUNT from T where ID = 8").toDouble(), 0.5);
}

void TestDatabaseOps::missingParameterValueIsRefused()
{
    TestDatabase t;
    auto db = t.connect();
    Statement s(db.get());
    s.setSql("select * from rdb$database where 1 = :one");
    try {
        s.open();
        QFAIL("no error for a parameter without value");
    } catch (const Error &e) {
        QCOMPARE(e.message(), QString("No value for parameter 'one'"));
    }
    QVERIFY(!s.isOpen());
}

void TestDatabaseOps::failedCommitRaisesAndDatabaseGoesOn()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (A integer)");
    exec(*db, "insert into T values (1)");
    exec(*db, "insert into T values (1)");

    // The server builds the index only at commit, so the duplicates are
    // found there.
    db->startTransaction();
    exec(*db, "create unique index T_A on T (A)");
    try {
        db->commit();
        QFAIL("commit succeeded over duplicate keys");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("T_A"), qPrintable(e.message()));
        QCOMPARE(e.category(), ErrorCategory::KeyViolation);
    }
    QVERIFY(!db->inTransaction());
    db->rollback(); // what a caller's error path does: harmless now
    db->startTransaction();
    QCOMPARE(scalar(*db, "select count(*) from T").toInt(), 2);
    QCOMPARE(scalar(*db, "select count(*) from rdb$indices where rdb$index_name = \"T_A\"").toInt(), 0);
    db->commit();
}

void TestDatabaseOps::failedStatementThenRollbackLeavesNothing()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (A integer not null primary key, B varchar(5))");
    db->startTransaction();
    exec(*db, "insert into T values (1, \"one\")");
    QVERIFY_THROWS_EXCEPTION(Error, exec(*db, "insert into T values (2, \"too long text\")"));
    QVERIFY(db->inTransaction());
    db->rollback();
    QCOMPARE(scalar(*db, "select count(*) from T").toInt(), 0);
}

void TestDatabaseOps::rowsOpenedInTransactionSurviveCommit()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (A integer, B varchar(20), C blob sub_type 1)");
    exec(*db, "create procedure FILL as declare variable i integer; begin i = 0; "
              "while (i < 1500) do begin insert into T values (:i, \"row \" || :i, \"text \" || :i); i = i + 1; end end");
    exec(*db, "execute procedure FILL");
    db->startTransaction();
    Statement s(db.get());
    s.setSql("select A, B, C from T order by A");
    s.open();
    db->commit();
    QCOMPARE(s.rows().rowCount(), 1500);
    QCOMPARE(s.rows().value(1499, 0).toInt(), 1499);
    QCOMPARE(s.rows().value(1499, 1).toString(), QString("row 1499"));
    QCOMPARE(s.rows().value(1000, 2).toString(), QString("text 1000"));
}

void TestDatabaseOps::closedStatementDoesNotBlockDrop()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (A integer)");
    exec(*db, "insert into T values (1)");
    Statement s(db.get());
    s.setSql("select A from T");
    s.open();
    QCOMPARE(s.rows().rowCount(), 1);
    // The rows are held, the server statement is gone: nothing holds T.
    exec(*db, "drop table T");
    QCOMPARE(scalar(*db, "select count(*) from rdb$relations where rdb$relation_name = \"T\"").toInt(), 0);
    QCOMPARE(s.rows().value(0, 0).toInt(), 1);
}

void TestDatabaseOps::dropOfTableInUseFailsAtCommit()
{
    TestDatabase t;
    auto db = t.connect();
    auto other = t.connect();
    exec(*db, "create table T (A integer)");
    QCOMPARE(scalar(*other, "select count(*) from T").toInt(), 0);
    db->startTransaction();
    exec(*db, "drop table T"); // accepted here, checked at commit
    try {
        db->commit();
        QFAIL("dropped a table another connection uses");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("object TABLE \"T\" is in use"), qPrintable(e.message()));
    }
    QVERIFY(!db->inTransaction());
    db->startTransaction();
    QCOMPARE(scalar(*db, "select count(*) from T").toInt(), 0);
    db->commit();
    other->close();
    exec(*db, "drop table T");
}

void TestDatabaseOps::autocommitOutsideTransaction()
{
    TestDatabase t;
    auto a = t.connect();
    auto b = t.connect();
    exec(*a, "create table T (A integer)");
    exec(*a, "insert into T values (1)");
    QCOMPARE(scalar(*b, "select count(*) from T").toInt(), 1);
    a->startTransaction();
    exec(*a, "insert into T values (2)");
    QCOMPARE(scalar(*b, "select count(*) from T").toInt(), 1);
    a->commit();
    QCOMPARE(scalar(*b, "select count(*) from T").toInt(), 2);
}

void TestDatabaseOps::noAutocommitKeepsWorkUntilCommit()
{
    TestDatabase t;
    auto a = t.connect();
    exec(*a, "create table T (A integer)");
    Database n;
    n.setDriverName("INTRBASE");
    n.setParams({"SERVER NAME=" + t.path(), "USER NAME=SYSDBA", "SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT"});
    n.open();
    exec(n, "insert into T values (1)");
    QCOMPARE(scalar(*a, "select count(*) from T").toInt(), 0);
    QCOMPARE(scalar(n, "select count(*) from T").toInt(), 1);
    n.commit();
    QCOMPARE(scalar(*a, "select count(*) from T").toInt(), 1);
    exec(n, "insert into T values (2)");
    n.rollback();
    exec(n, "insert into T values (3)");
    n.close(); // pending work is committed, never silently lost
    QCOMPARE(scalar(*a, "select sum(A) from T").toInt(), 4);
}

void TestDatabaseOps::keyViolationCategory()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (A integer not null primary key)");
    exec(*db, "insert into T values (1)");
    try {
        exec(*db, "insert into T values (1)");
        QFAIL("duplicate accepted");
    } catch (const Error &e) {
        QCOMPARE(e.category(), ErrorCategory::KeyViolation);
        QVERIFY2(e.message().contains("violation of PRIMARY or UNIQUE KEY constraint"), qPrintable(e.message()));
        QCOMPARE(e.sqlCode(), -803L);
        QVERIFY(!e.statusCodes().isEmpty());
    }
    exec(*db, "insert into T values (2)");
    QCOMPARE(scalar(*db, "select count(*) from T").toInt(), 2);
}

void TestDatabaseOps::noPermissionCategory()
{
    TestDatabase t;
    auto owner = t.connect();
    exec(*owner, "create table T (A integer)");
    auto joe = t.connect("JOE");
    try {
        scalar(*joe, "select count(*) from T");
        QFAIL("JOE read T without a grant");
    } catch (const Error &e) {
        QCOMPARE(e.category(), ErrorCategory::NoPermission);
        QVERIFY2(e.message().contains("no permission"), qPrintable(e.message()));
    }
    exec(*owner, "grant select on T to JOE");
    joe = t.connect("JOE"); // an attachment keeps the rights it loaded
    QCOMPARE(scalar(*joe, "select count(*) from T").toInt(), 0);
}

void TestDatabaseOps::grantRefusalsAreNoPermission_data()
{
    // JOE holds Select on T and Execute on P without the grant option,
    // nothing else.
    QTest::addColumn<QString>("grant");
    QTest::addColumn<long>("code");
    QTest::newRow("held without option") << "grant select on T to ANN" << 336068781L;
    QTest::newRow("not held") << "grant insert on T to ANN" << 336068782L;
    QTest::newRow("column not held") << "grant update(A) on T to ANN" << 336068779L;
    QTest::newRow("procedure held without option") << "grant execute on procedure P to ANN" << 336068908L;
    QTest::newRow("procedure not held") << "grant execute on procedure Q to ANN" << 336068908L;
}

void TestDatabaseOps::grantRefusalsAreNoPermission()
{
    QFETCH(QString, grant);
    QFETCH(long, code);
    TestDatabase t;
    auto owner = t.connect();
    for (const char *sql : {"create table T (A integer)", "create procedure P as begin end", "create procedure Q as begin end",
                            "grant select on T to JOE", "grant execute on procedure P to JOE"})
        exec(*owner, sql);
    auto joe = t.connect("JOE");
    try {
        exec(*joe, grant);
        QFAIL("the grant went through");
    } catch (const Error &e) {
        QVERIFY2(e.statusCodes().contains(code), qPrintable(e.message()));
        QCOMPARE(e.category(), ErrorCategory::NoPermission);
    }
}

void TestDatabaseOps::statementLogRecordsServerTexts()
{
    TestDatabase t;
    auto db = t.connect();
    engine::StatementRecorder log;
    exec(*db, "create table T (A integer)");
    Statement s(db.get());
    s.setSql("select A from T where A = :a and 1 = 1 -- :b");
    s.setParam("a", 1);
    s.open();
    db->executeImmediate("grant select on T to PUBLIC");
    QCOMPARE(log.statements(), (QStringList{"create table T (A integer)",
                                            "select A from T where A = ? and 1 = 1 -- :b",
                                            "grant select on T to PUBLIC"}));
}

namespace {
class LongQuery : public QThread {
public:
    explicit LongQuery(const QString &path) : m_path(path) {}
    Database *db = nullptr;
    QString error;
    ErrorCategory category = ErrorCategory::General;
    QAtomicInt ready;

protected:
    void run() override
    {
        // The connection belongs to this thread: opened, used and closed here.
        Database d(nullptr, "Worker");
        d.setDriverName("INTRBASE");
        d.setParams({"SERVER NAME=" + m_path, "USER NAME=SYSDBA"});
        d.open();
        db = &d;
        ready.storeRelease(1);
        try {
            scalar(d, "select count(*) from rdb$fields a, rdb$fields b, rdb$fields c, rdb$fields e");
        } catch (const Error &e) {
            error = e.message();
            category = e.category();
        }
        ready.storeRelease(2);
        while (ready.loadAcquire() != 3)
            QThread::msleep(5);
        db = nullptr;
    }

private:
    QString m_path;
};
} // namespace

void TestDatabaseOps::cancelFromAnotherThread()
{
    TestDatabase t;
    LongQuery q(t.path());
    q.start();
    QTRY_VERIFY(q.ready.loadAcquire() == 1);
    QThread::msleep(300); // let the query reach the server
    q.db->cancel();
    QTRY_VERIFY_WITH_TIMEOUT(q.ready.loadAcquire() == 2, 20000);
    q.ready.storeRelease(3);
    q.wait();
    QCOMPARE(q.category, ErrorCategory::Cancelled);
    QVERIFY2(q.error.contains("cancelled"), qPrintable(q.error));
}

void TestDatabaseOps::aliasConnectionOverridesUser()
{
    TestDatabase t;
    engine::Session &s = engine::Session::defaultSession();
    s.addAlias("Test Alias", "INTRBASE", {"SERVER NAME=" + t.path(), "USER NAME=NOBODY", "LANGDRIVER=", "PASSWORD="});
    Database db;
    db.setAliasName("Test Alias");
    db.params() = QStringList{"USER NAME=ANN", "PASSWORD=x"};
    db.open();
    QCOMPARE(db.settings().userName, QString("ANN"));
    QCOMPARE(scalar(db, "select current_user from rdb$database").toString(), QString("ANN"));
    db.close();
    s.deleteAlias("Test Alias");
}

void TestDatabaseOps::unknownAliasIsAConfigurationError()
{
    Database db;
    db.setAliasName("NO SUCH ALIAS");
    try {
        db.open();
        QFAIL("opened an unknown alias");
    } catch (const Error &e) {
        QCOMPARE(e.category(), ErrorCategory::Configuration);
        QVERIFY2(e.message().contains("NO SUCH ALIAS"), qPrintable(e.message()));
    }
    QVERIFY(!db.isConnected());
}

void TestDatabaseOps::workOnAClosedConnectionNamesTheAlias_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("text");
    QTest::newRow("the alias") << "TESTDB" << "Not connected to database TESTDB";
    QTest::newRow("no alias") << "" << "Not connected to a database";
}

void TestDatabaseOps::workOnAClosedConnectionNamesTheAlias()
{
    QFETCH(QString, alias);
    QFETCH(QString, text);
    Database db(nullptr, "UserDB");
    db.setAliasName(alias);
    QStringList told;
    const std::function<void()> attempts[] = {
        [&] { engine::TransactionGuard t(db); },
        [&] { Statement s(&db); s.setSql("select 1 from rdb$database"); s.open(); },
    };
    for (const auto &attempt : attempts) {
        try {
            attempt();
        } catch (const Error &e) {
            told << e.message();
        }
    }
    QCOMPARE(told, QStringList({text, text}));
}

void TestDatabaseOps::sampleAliasCreatesSampleDatabase()
{
    QVERIFY(engine::Session::defaultSession().aliasNames().contains("SAMPLE"));
    engine::ensureSampleDatabase(); // as the programs do at start
    Database db;
    db.setAliasName("SAMPLE");
    db.params() = QStringList{"USER NAME=SYSDBA", "PASSWORD="};
    db.open();
    QVERIFY(QFile::exists(engine::Runtime::sampleDatabasePath()));
    QCOMPARE(scalar(db, "select count(*) from rdb$procedures where rdb$procedure_name in (\"CUSTOMER_TOTALS\", \"PLACE_ORDER\")").toInt(), 2);
    QCOMPARE(scalar(db, "select count(*) from rdb$relations where rdb$view_blr is not null and rdb$system_flag = 0").toInt(), 1);
    Statement s(&db);
    s.setSql("select NAME, ORDERS from CUSTOMER_TOTALS order by NAME");
    s.open();
    QCOMPARE(s.rows().rowCount(), 3);
    Statement p(&db);
    p.setSql("execute procedure PLACE_ORDER :c, :p, :q");
    p.setParam("c", 3);
    p.setParam("p", 12);
    p.setParam("q", 2);
    db.startTransaction(); // the sample stays as it was made
    p.execute();
    db.rollback();
    QCOMPARE(p.rows().rowCount(), 1);
    QVERIFY(p.rows().value(0, p.rows().indexOf("ORDER_NO")).toInt() > 0);
}

DUNMOOR_TEST_MAIN(TestDatabaseOps)
#include "tst_database.moc"
