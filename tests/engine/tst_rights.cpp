// What the privilege manager relies on from the engine, provoked for real on
// embedded databases (which trust any user name): Firebird 3's refusals of
// rights, the warnings of statements that succeed, and the session user.
#include "engine/Error.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"
#include "support/TestMain.h"

using engine::Database;
using engine::Error;
using engine::ErrorCategory;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;

class TestRights : public QObject {
    Q_OBJECT
private slots:
    void refusalsAreNoPermission_data();
    void refusalsAreNoPermission();
    void revokeNeverGrantedWarns();
    void warningsGoOnceTaken();
    void currentUserIsReadOnceAsTheServerRecordsIt();
};

void TestRights::refusalsAreNoPermission_data()
{
    // The owner (SYSDBA) prepares, JOE tries, the refused statement's own
    // code must be among the vector's codes.
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("refused");
    QTest::addColumn<long>("code");
    const QStringList table{"create table T (A integer)"};
    QTest::newRow("read without a grant") << table << "JOE" << "select count(*) from T" << 335544352L;
    QTest::newRow("create as a non-owner") << table << "JOE" << "create table J (A integer)" << 335545094L;
    QTest::newRow("table grant without grant option")
        << (table + QStringList{"grant select on T to JOE"}) << "JOE" << "grant select on T to ANN" << 336068781L;
    QTest::newRow("procedure grant without grant option")
        << QStringList{"create procedure P as begin exit; end", "grant execute on procedure P to JOE"} << "JOE"
        << "grant execute on procedure P to ANN" << 336068908L;
    QTest::newRow("revoke of another grantor's privilege")
        << (table + QStringList{"grant select on T to JOE with grant option"}) << "SYSDBA"
        << "revoke select on T from ANN" << 336068854L;
}

void TestRights::refusalsAreNoPermission()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, user);
    QFETCH(QString, refused);
    QFETCH(long, code);
    TestDatabase t;
    auto owner = t.connect();
    for (const QString &sql : setup)
        exec(*owner, sql);
    if (QTest::currentDataTag() == QLatin1String("revoke of another grantor's privilege"))
        exec(*t.connect("JOE"), "grant select on T to ANN"); // JOE is ANN's grantor
    auto db = t.connect(user);
    try {
        exec(*db, refused);
        QFAIL("the server took it");
    } catch (const Error &e) {
        QVERIFY2(e.hasStatusCode(code), qPrintable(e.message()));
        QCOMPARE(e.category(), ErrorCategory::NoPermission);
    }
}

void TestRights::revokeNeverGrantedWarns()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (A integer)");
    QVERIFY(db->takeWarnings().isEmpty());
    exec(*db, "revoke select on T from JOE");
    const QStringList warnings = db->takeWarnings();
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().contains("JOE"), qPrintable(warnings.join('\n')));
}

void TestRights::warningsGoOnceTaken()
{
    TestDatabase t;
    auto db = t.connect();
    auto other = t.connect("SYSDBA", "Other");
    exec(*db, "create table T (A integer)");
    db->executeImmediate("revoke select on T from JOE");
    db->startTransaction();
    exec(*db, "revoke insert on T from ANN");
    db->commit();
    exec(*db, "grant select on T to JOE"); // no warning of its own
    QCOMPARE(db->takeWarnings().size(), 2);
    QVERIFY(db->takeWarnings().isEmpty());
    QVERIFY(other->takeWarnings().isEmpty()); // each connection keeps its own
}

void TestRights::currentUserIsReadOnceAsTheServerRecordsIt()
{
    TestDatabase t;
    auto db = t.connect("joe");
    engine::StatementRecorder log;
    QCOMPARE(db->currentUser(), QString("JOE"));
    QCOMPARE(db->currentUser(), QString("JOE"));
    QCOMPARE(log.statements(), QStringList{"select current_user from rdb$database"});
    db->close();
    QVERIFY(db->currentUser().isEmpty());
    db->setParams({"SERVER NAME=" + t.path(), "USER NAME=ANN"});
    db->open();
    QCOMPARE(db->currentUser(), QString("ANN"));
}

DUNMOOR_TEST_MAIN(TestRights)
#include "tst_rights.moc"
