// Stored procedures run by name against real embedded databases.
#include "engine/Error.h"
#include "engine/StatementLog.h"
#include "engine/StoredProc.h"
#include "support/TestMain.h"

using engine::Database;
using engine::Error;
using engine::ParamDirection;
using engine::StoredProc;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;

namespace {

// Inputs of three kinds, outputs of three kinds, one of them NULL whenever
// the text input is NULL.
void createCalc(Database &db)
{
    exec(db, "create procedure CALC (A integer, B numeric(9,2), S varchar(10))\n"
             "returns (TOTAL numeric(15,2), LABEL varchar(30), S_IS_NULL integer)\n"
             "as\n"
             "begin\n"
             "  TOTAL = A + B;\n"
             "  LABEL = \"<\" || S || \">\";\n"
             "  S_IS_NULL = 0;\n"
             "  if (S is null) then S_IS_NULL = 1;\n"
             "end");
}

} // namespace

class TestStoredProc : public QObject {
    Q_OBJECT
private slots:
    void outputsByNameAfterExecProc();
    void inputsByNameInAnyCaseAndAsText();
    void nullInputAndNullOutput();
    void missingInputIsRefusedAndNothingRuns();
    void unknownOrOutputParamNameRaises();
    void selectableProcedureGivesRows();
    void procedureWithoutParameters();
    void wrongNameRaisesServerText();
    void unsafeNameNeverReachesServer();
    void paramsListedWithDirectionAndType();
    void prepareAgainSeesAlteredProcedure();
    void packagedNamesakeIsNotCalled();
    void runsInExplicitTransaction();
};

void TestStoredProc::outputsByNameAfterExecProc()
{
    TestDatabase t;
    auto db = t.connect();
    createCalc(*db);
    StoredProc sp(db.get());
    sp.setStoredProcName("CALC");
    sp.setParam("A", 40);
    sp.setParam("B", 2.5);
    sp.setParam("S", "xy");
    QVERIFY(!sp.param("TOTAL").isValid()); // nothing run yet
    engine::StatementRecorder rec;
    sp.execProc();
    QCOMPARE(rec.statements().last(), QString("EXECUTE PROCEDURE CALC ?, ?, ?"));
    QCOMPARE(sp.param("TOTAL").toDouble(), 42.5);
    QCOMPARE(sp.param("label").toString(), QString("<xy>"));
    QCOMPARE(sp.paramText("Total"), QString("42.50")); // its declared digits, as every grid shows them
    QCOMPARE(sp.param("S_IS_NULL").toInt(), 0);
    // Inputs keep their values for the next run.
    QCOMPARE(sp.param("a").toInt(), 40);
    sp.setParam("A", 1);
    sp.execProc();
    QCOMPARE(sp.param("TOTAL").toDouble(), 3.5);
    // A failed run leaves no outputs of the previous one behind.
    sp.setParam("A", "not a number");
    QVERIFY_THROWS_EXCEPTION(Error, sp.execProc());
    QVERIFY(!sp.param("TOTAL").isValid());
}

void TestStoredProc::inputsByNameInAnyCaseAndAsText()
{
    TestDatabase t;
    auto db = t.connect();
    createCalc(*db);
    StoredProc sp(db.get());
    sp.setStoredProcName("calc"); // names are not case-sensitive in dialect 1
    // Typed text, as the input grid gives it: the server converts it.
    sp.setParam("a", "7");
    sp.setParam("b", "0.25");
    sp.setParam("s", "q");
    sp.setParam("S", "Q"); // the same parameter, overwritten
    sp.execProc();
    QCOMPARE(sp.param("TOTAL").toDouble(), 7.25);
    QCOMPARE(sp.param("LABEL").toString(), QString("<Q>"));
}

void TestStoredProc::nullInputAndNullOutput()
{
    TestDatabase t;
    auto db = t.connect();
    createCalc(*db);
    StoredProc sp(db.get());
    sp.setStoredProcName("CALC");
    sp.setParam("A", 1);
    sp.setParam("B", 1);
    sp.setParam("S", QVariant());
    sp.execProc();
    QCOMPARE(sp.param("S_IS_NULL").toInt(), 1);
    QVERIFY(sp.param("LABEL").isNull()); // "<" || NULL || ">" is NULL
    QCOMPARE(sp.paramText("LABEL"), QString());
    QCOMPARE(sp.param("TOTAL").toDouble(), 2.0);
}

void TestStoredProc::missingInputIsRefusedAndNothingRuns()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table LOG_T (A integer, B integer)");
    exec(*db, "create procedure PUT (A integer, B integer) as begin insert into LOG_T values (:A, :B); end");
    StoredProc sp(db.get());
    sp.setStoredProcName("PUT");
    sp.setParam("A", 1);
    try {
        sp.execProc();
        QFAIL("ran with an input missing");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("'B'"), qPrintable(e.message()));
    }
    QCOMPARE(scalar(*db, "select count(*) from LOG_T").toInt(), 0);
    sp.setParam("B", 2);
    sp.execProc();
    QCOMPARE(scalar(*db, "select sum(A + B) from LOG_T").toInt(), 3);
}

void TestStoredProc::unknownOrOutputParamNameRaises()
{
    TestDatabase t;
    auto db = t.connect();
    createCalc(*db);
    StoredProc sp(db.get());
    sp.setStoredProcName("CALC");
    QVERIFY_THROWS_EXCEPTION(Error, sp.setParam("NOPE", 1));
    QVERIFY_THROWS_EXCEPTION(Error, sp.setParam("TOTAL", 1));
    QVERIFY_THROWS_EXCEPTION(Error, sp.param("NOPE"));
    QCOMPARE(sp.paramIndex("nope"), -1);
}

void TestStoredProc::selectableProcedureGivesRows()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create procedure COUNT_TO (N integer, PREFIX varchar(5))\n"
              "returns (I integer, TXT varchar(20))\n"
              "as begin\n"
              "  I = 1;\n"
              "  while (I <= N) do begin TXT = PREFIX || I; suspend; I = I + 1; end\n"
              "end");
    StoredProc sp(db.get());
    sp.setStoredProcName("COUNT_TO");
    sp.setParam("N", 3);
    sp.setParam("PREFIX", "r");
    const int before = Database::openStatementCount();
    engine::StatementRecorder rec;
    sp.open();
    QCOMPARE(rec.statements().last(), QString("SELECT * FROM COUNT_TO(?, ?)"));
    QVERIFY(sp.isOpen());
    QCOMPARE(Database::openStatementCount(), before + 1);
    const engine::RowSet &r = sp.rows();
    QCOMPARE(r.rowCount(), qsizetype(3));
    QCOMPARE(r.indexOf("TXT"), 1);
    QCOMPARE(r.value(0, 0).toInt(), 1);
    QCOMPARE(r.text(2, 1), QString("r3"));
    // Reopening replaces the rows without counting a second open statement.
    sp.setParam("N", 0);
    sp.open();
    QCOMPARE(sp.rows().rowCount(), qsizetype(0));
    QCOMPARE(Database::openStatementCount(), before + 1);
    sp.close();
    QVERIFY(!sp.isOpen());
    QCOMPARE(Database::openStatementCount(), before);
}

void TestStoredProc::procedureWithoutParameters()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table DEP_T (N integer)");
    exec(*db, "create procedure META$RENEW as begin insert into DEP_T values (1); end");
    StoredProc sp(db.get());
    sp.setStoredProcName("META$RENEW");
    sp.prepare();
    QVERIFY(sp.params().isEmpty());
    QCOMPARE(sp.execText(), QString("EXECUTE PROCEDURE META$RENEW"));
    sp.execProc();
    sp.execProc();
    QCOMPARE(scalar(*db, "select count(*) from DEP_T").toInt(), 2);

    exec(*db, "create procedure ONE_ROW returns (X integer) as begin X = 5; suspend; end");
    sp.setStoredProcName("ONE_ROW");
    QCOMPARE(sp.selectText(), QString("SELECT * FROM ONE_ROW")); // no "()" without inputs
    sp.open();
    QCOMPARE(sp.rows().rowCount(), qsizetype(1));
    QCOMPARE(sp.rows().value(0, 0).toInt(), 5);
}

void TestStoredProc::wrongNameRaisesServerText()
{
    TestDatabase t;
    auto db = t.connect();
    StoredProc sp(db.get());
    sp.setStoredProcName("NO_SUCH_PROC");
    try {
        sp.execProc();
        QFAIL("an unknown procedure ran");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("Procedure unknown"), qPrintable(e.message()));
        QVERIFY2(e.message().contains("NO_SUCH_PROC"), qPrintable(e.message()));
        QVERIFY(e.sqlCode() != 0);
    }
    QVERIFY(!sp.isPrepared());
    // Once it exists, the same component runs it.
    exec(*db, "create procedure NO_SUCH_PROC returns (R integer) as begin R = 9; end");
    sp.execProc();
    QCOMPARE(sp.param("R").toInt(), 9);
}

void TestStoredProc::unsafeNameNeverReachesServer()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table KEEP_T (N integer)");
    StoredProc sp(db.get());
    engine::StatementRecorder rec;
    for (const char *name : {"X; drop table KEEP_T", "X(1)", "", "1ABC"}) {
        sp.setStoredProcName(name);
        QVERIFY_THROWS_EXCEPTION(Error, sp.execProc());
    }
    QVERIFY2(rec.statements().isEmpty(), qPrintable(rec.statements().join('\n')));
    QCOMPARE(scalar(*db, "select count(*) from KEEP_T").toInt(), 0);
}

void TestStoredProc::paramsListedWithDirectionAndType()
{
    TestDatabase t;
    auto db = t.connect();
    createCalc(*db);
    StoredProc sp(db.get());
    sp.setStoredProcName("CALC");
    sp.prepare();
    const auto ps = sp.params();
    QCOMPARE(ps.size(), 6);
    const QStringList names{ps[0].name, ps[1].name, ps[2].name, ps[3].name, ps[4].name, ps[5].name};
    QCOMPARE(names, QStringList({"A", "B", "S", "TOTAL", "LABEL", "S_IS_NULL"}));
    QCOMPARE(sp.inputParams().size(), 3);
    QCOMPARE(sp.outputParams().size(), 3);
    QCOMPARE(ps[0].direction, ParamDirection::Input);
    QCOMPARE(ps[3].direction, ParamDirection::Output);
    QCOMPARE(ps[2].number, 2);
    QCOMPARE(ps[3].number, 0);
    QCOMPARE(ps[0].fieldType, short(8)); // INTEGER
    QCOMPARE(ps[1].fieldType, short(8)); // NUMERIC(9,2) held as INTEGER
    QCOMPARE(ps[1].scale, short(-2));
    QCOMPARE(ps[2].fieldType, short(37)); // VARCHAR
    QCOMPARE(ps[2].length, short(10));
    QCOMPARE(ps[3].fieldType, short(27)); // dialect 1: NUMERIC(15,2) is a double
    QCOMPARE(ps[4].length, short(30));

    // Another name drops the previous list.
    exec(*db, "create procedure TWO (X smallint) returns (Y char(3)) as begin Y = X; end");
    sp.setStoredProcName("TWO");
    QCOMPARE(sp.paramIndex("A"), -1);
    sp.setParam("x", 12);
    sp.execProc();
    QCOMPARE(sp.params().size(), 2);
    QCOMPARE(sp.param("Y").toString(), QString("12")); // CHAR padding trimmed
}

void TestStoredProc::prepareAgainSeesAlteredProcedure()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create procedure EDITED (A integer) returns (R integer) as begin R = A; end");
    StoredProc sp(db.get());
    sp.setStoredProcName("EDITED");
    sp.prepare();
    sp.setParam("A", 5);
    sp.execProc();
    QCOMPARE(sp.param("R").toInt(), 5);
    // The debugger saves the edited procedure and runs it again by name.
    exec(*db, "alter procedure EDITED (A integer, B integer) returns (R integer) as begin R = A + B; end");
    sp.setStoredProcName("EDITED");
    sp.prepare();
    QCOMPARE(sp.inputParams().size(), 2);
    QVERIFY(!sp.param("R").isValid()); // the old outputs are gone
    QCOMPARE(sp.param("A").toInt(), 5); // a value of a kept input stays
    sp.setParam("B", 2);
    sp.execProc();
    QCOMPARE(sp.param("R").toInt(), 7);
}

void TestStoredProc::packagedNamesakeIsNotCalled()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create procedure TWIN (A integer, B integer) returns (R integer) as begin R = A * B; end");
    exec(*db, "create package PK as begin procedure TWIN (X integer) returns (R integer); end");
    exec(*db, "create package body PK as begin\n"
              "  procedure TWIN (X integer) returns (R integer) as begin R = -X; end\n"
              "end");
    StoredProc sp(db.get());
    sp.setStoredProcName("TWIN");
    sp.prepare();
    QCOMPARE(sp.params().size(), 3);
    sp.setParam("A", 6);
    sp.setParam("B", 7);
    sp.execProc();
    QCOMPARE(sp.param("R").toInt(), 42);
}

void TestStoredProc::runsInExplicitTransaction()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table LOG_T (A integer)");
    exec(*db, "create procedure PUT (A integer) as begin insert into LOG_T values (:A); end");
    StoredProc sp(db.get());
    sp.setStoredProcName("PUT");
    db->startTransaction();
    sp.setParam("A", 1);
    sp.execProc();
    db->rollback();
    QCOMPARE(scalar(*db, "select count(*) from LOG_T").toInt(), 0);
    db->startTransaction();
    sp.execProc();
    db->commit();
    QCOMPARE(scalar(*db, "select count(*) from LOG_T").toInt(), 1);
}

DUNMOOR_TEST_MAIN(TestStoredProc)
#include "tst_storedproc.moc"
