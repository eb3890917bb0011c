// The transaction guards against real embedded databases: what each one
// leaves behind is read from a second connection.
#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/StatementLog.h"
#include "engine/Transaction.h"
#include "support/TestMain.h"

using engine::Database;
using engine::Error;
using engine::KeptTransaction;
using engine::TransactionGuard;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;

namespace {

// A database with the table T (A integer) and two connections to it.
struct Pair {
    TestDatabase t;
    std::unique_ptr<Database> db = t.connect();
    std::unique_ptr<Database> other = t.connect(QStringLiteral("SYSDBA"), QStringLiteral("Other"));
    Pair() { exec(*db, QStringLiteral("create table T (A integer)")); }
    int rowsSeen() { return scalar(*other, QStringLiteral("select count(*) from T")).toInt(); }
};

} // namespace

class TestTransaction : public QObject {
    Q_OBJECT
private slots:
    void ownTransactionCommitsOrRollsBack_data();
    void ownTransactionCommitsOrRollsBack();
    void foreignTransactionIsLeftAlone();
    void failedCommitLeavesNoTransaction();
    void keptTransactionRestartsAfterFailedWork();
    void keptTransactionRestartsAfterCommitAndRollback();
    void keptTransactionRestartsAfterFailedCommit();
    void controlsThawWhenTheWorkThrows();
};

void TestTransaction::ownTransactionCommitsOrRollsBack_data()
{
    QTest::addColumn<bool>("commit");
    QTest::addColumn<bool>("fail"); // an error leaves the scope instead
    QTest::addColumn<int>("rows");
    QTest::newRow("committed") << true << false << 1;
    QTest::newRow("left uncommitted") << false << false << 0;
    QTest::newRow("left by an error") << true << true << 0;
}

void TestTransaction::ownTransactionCommitsOrRollsBack()
{
    QFETCH(bool, commit);
    QFETCH(bool, fail);
    QFETCH(int, rows);
    Pair p;
    try {
        TransactionGuard g(*p.db);
        QVERIFY(g.owns());
        QVERIFY(p.db->inTransaction());
        exec(*p.db, QStringLiteral("insert into T values (1)"));
        if (fail)
            exec(*p.db, QStringLiteral("insert into NO_SUCH_TABLE values (1)"));
        if (commit)
            g.commit();
    } catch (const Error &e) {
        QVERIFY2(fail, qPrintable(e.message()));
    }
    QVERIFY(!p.db->inTransaction());
    QCOMPARE(p.rowsSeen(), rows);
}

void TestTransaction::foreignTransactionIsLeftAlone()
{
    Pair p;
    p.db->startTransaction();
    {
        TransactionGuard g(*p.db);
        QVERIFY(!g.owns());
        exec(*p.db, QStringLiteral("insert into T values (1)"));
        g.commit(); // not its own: nothing is committed
    }
    {
        TransactionGuard g(*p.db); // and nothing rolled back
        exec(*p.db, QStringLiteral("insert into T values (2)"));
    }
    QVERIFY(p.db->inTransaction());
    QCOMPARE(p.rowsSeen(), 0);
    p.db->commit();
    QCOMPARE(p.rowsSeen(), 2);
}

void TestTransaction::failedCommitLeavesNoTransaction()
{
    Pair p;
    QCOMPARE(p.rowsSeen(), 0); // the other connection now uses T
    try {
        TransactionGuard g(*p.db);
        exec(*p.db, QStringLiteral("drop table T")); // checked at commit
        g.commit();
        QFAIL("dropped a table another connection uses");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("is in use"), qPrintable(e.message()));
    }
    QVERIFY(!p.db->inTransaction());
    QCOMPARE(scalar(*p.db, QStringLiteral("select count(*) from T")).toInt(), 0);
}

void TestTransaction::keptTransactionRestartsAfterFailedWork()
{
    Pair p;
    KeptTransaction kept(*p.db);
    kept.ensure();
    QVERIFY(p.db->inTransaction());
    // Work noted before the failing run is named as lost, once, also
    // through a run inside a run; the failing run's own is not.
    kept.run([&] {
        exec(*p.db, QStringLiteral("insert into T values (5)"));
        kept.note(QStringLiteral("insert into T values (5)"));
    });
    try {
        kept.run([&] {
            kept.run([&] {
                exec(*p.db, QStringLiteral("insert into T values (1)"));
                kept.note(QStringLiteral("insert into T values (1)"));
                exec(*p.db, QStringLiteral("insert into NO_SUCH_TABLE values (1)"));
            });
        });
        QFAIL("a failing statement passed");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("NO_SUCH_TABLE"), qPrintable(e.message()));
        QVERIFY2(e.message().endsWith(KeptTransaction::lostWorkText({QStringLiteral("insert into T values (5)")})),
                 qPrintable(e.message()));
        QCOMPARE(e.message().count(QStringLiteral("Rolled back")), 1);
    }
    QVERIFY(kept.pending().isEmpty());
    QVERIFY(p.db->inTransaction()); // the next one is open
    const int seen = kept.run([&] { return scalar(*p.db, QStringLiteral("select count(*) from T")).toInt(); });
    QCOMPARE(seen, 0); // the first insert went with the failed transaction
    kept.commit();
    QCOMPARE(p.rowsSeen(), 0);
}

void TestTransaction::keptTransactionRestartsAfterCommitAndRollback()
{
    Pair p;
    KeptTransaction kept(*p.db);
    kept.run([&] { exec(*p.db, QStringLiteral("insert into T values (1)")); });
    kept.commit();
    QVERIFY(p.db->inTransaction());
    QCOMPARE(p.rowsSeen(), 1);
    kept.run([&] {
        exec(*p.db, QStringLiteral("insert into T values (2)"));
        kept.note(QStringLiteral("insert into T values (2)"));
    });
    kept.rollback();
    QVERIFY(kept.pending().isEmpty());
    QVERIFY(p.db->inTransaction());
    kept.commit();
    QCOMPARE(p.rowsSeen(), 1);
}

void TestTransaction::keptTransactionRestartsAfterFailedCommit()
{
    Pair p;
    QCOMPARE(p.rowsSeen(), 0);
    KeptTransaction kept(*p.db);
    kept.run([&] {
        exec(*p.db, QStringLiteral("drop table T"));
        kept.note(QStringLiteral("drop table T"));
    });
    try {
        kept.commit();
        QFAIL("dropped a table another connection uses");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("is in use"), qPrintable(e.message()));
        QVERIFY2(e.message().endsWith(KeptTransaction::lostWorkText({QStringLiteral("drop table T")})), qPrintable(e.message()));
    }
    QVERIFY(kept.pending().isEmpty());
    QVERIFY(p.db->inTransaction());
    QCOMPARE(kept.run([&] { return scalar(*p.db, QStringLiteral("select count(*) from T")).toInt(); }), 0);
}

void TestTransaction::controlsThawWhenTheWorkThrows()
{
    Pair p;
    engine::Query q(p.db.get());
    q.setSql(QStringLiteral("select A from NO_SUCH_TABLE"));
    try {
        engine::ControlsFrozen frozen(q);
        QVERIFY(q.controlsDisabled());
        q.open();
        QFAIL("opened a missing table");
    } catch (const Error &) {
    }
    QVERIFY(!q.controlsDisabled());

    // A detail that fails to follow its master when the controls thaw
    // raises its error from the scope instead of ending the program.
    exec(*p.db, QStringLiteral("insert into T values (1)"));
    engine::Query master(p.db.get()), detail(p.db.get());
    master.setSql(QStringLiteral("select A from T"));
    detail.setSql(QStringLiteral("select A from T where A = :A"));
    detail.setMasterSource(&master);
    master.open();
    detail.open();
    const engine::StatementLog::Hook previous = engine::StatementLog::setHook([](const QString &, const QString &sql) {
        if (sql.contains(QLatin1String(":A")) || sql.contains(QLatin1String("A = ?")))
            throw Error(QStringLiteral("detail failed"));
    });
    QString error;
    try {
        engine::ControlsFrozen frozen(master);
        master.close();
        master.open();
    } catch (const Error &e) {
        error = e.message();
    }
    engine::StatementLog::setHook(previous);
    QCOMPARE(error, QStringLiteral("detail failed"));
    QVERIFY(!master.controlsDisabled());
}

DUNMOOR_TEST_MAIN(TestTransaction)
#include "tst_transaction.moc"
