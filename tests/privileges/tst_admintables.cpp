// The six administrative tables on real databases: creation, the import of
// the privileges already granted, and the erase, each checked against the
// five agreement conditions in the open transaction and, after its commit,
// from a second connection.
#include "PrivilegesFixture.h"
#include "privileges/ImportPlan.h"
#include "privileges/RevokeRights.h"
#include "support/TestMain.h"

using namespace privtest;
using privileges::AdminTables;
using testsupport::exec;
using testsupport::TestDatabase;

namespace {

const QString kMetaTables = "select count(*) from rdb$relations where rdb$relation_name starting with 'META$'";

QStringList layer(engine::Database &db)
{
    return rows(db, "select 'def', ugname, usertype from meta$usersdef union all "
                    "select 'grp', ggname, 0 from meta$grantdef union all "
                    "select 'gu', gfname, ufname || ':' || id || ':' || coalesce(utype, -1) from meta$grantusers union all "
                    "select 'ug', gfname, ufname || ':' || id from meta$usersgrant union all "
                    "select 'gl', gfname, id || ':' || tvname || ':' || tvtype || ':' || coalesce(tvcols, '<null>') || ':' "
                    "|| trim(ggtype) || ':' || ggoption from meta$grantlist "
                    "order by 1, 2, 3");
}

// Everything granted by SYSDBA, so SYSDBA may revoke all of it.
void makeOwnGrants(const TestDatabase &t)
{
    auto db = t.connect();
    for (const char *sql : {"create table T1 (C1 integer, C2 integer)", "create procedure P1 as begin end",
                            "grant select on T1 to U1 with grant option", "grant update(C2) on T1 to U1",
                            "grant execute on procedure P1 to U2", "grant delete on T1 to PUBLIC"})
        exec(*db, QString::fromLatin1(sql));
}

int privilegesOf(engine::Database &db, const QString &user)
{
    return count(db, QStringLiteral("select count(*) from rdb$user_privileges where rdb$user = '%1'").arg(user));
}

} // namespace

class TestAdminTables : public QObject {
    Q_OBJECT
private slots:
    void createOnNewDatabase();
    void importOfExistingPrivileges();
    void tooLongGroupNameIsLeftOut();
    void failedImportDropsTablesAgain();
    void eraseRevokingAndDropping();
    void eraseDroppingOnly();
    void eraseRefusedRevokeKeepsEverything();
    void eraseWithoutDropRights();
    void eraseWhileAnotherConnectionReadATable();
    void failuresInsideEraseLeaveNothingPending_data();
    void failuresInsideEraseLeaveNothingPending();
    void textsCutToWhatTheColumnHolds_data();
    void textsCutToWhatTheColumnHolds();
};

void TestAdminTables::createOnNewDatabase()
{
    TestDatabase t;
    auto d = connectGrantData(t);
    RecordingProgress progress;
    engine::StatementRecorder log;
    AdminTables(*d, progress).create();

    QStringList expected{privileges::cataloguePrivilegesSql().join('\n')};
    for (const auto &def : privileges::adminTableDefinitions())
        expected << def.create << def.grant;
    expected << "select ugName from meta$usersdef where ugname=\"PUBLIC\""
             << "insert into meta$usersdef values('PUBLIC',null,2)";
    QCOMPARE(log.statements(), expected);
    QCOMPARE(progress.statuses, (QStringList{"Creating GrantGroups", ""}));
    QCOMPARE(progress.maximum, 7);
    QCOMPARE(progress.steps, 7);
    QVERIFY(d->grantdb.inTransaction());

    auto &db = d->grantdb;
    QCOMPARE(count(db, kMetaTables), 6);
    for (const QString &table : privileges::adminTableNames())
        QVERIFY2(count(db, QString("select count(*) from rdb$user_privileges where rdb$user = 'PUBLIC' and "
                                   "rdb$relation_name = '%1' and rdb$grant_option = 1 and rdb$privilege in "
                                   "('S','I','U','D','R')").arg(table)) == 5,
                 qPrintable(table));
    QCOMPARE(layer(db), QStringList{"def|PUBLIC|2"});
    QCOMPARE(disagreements(db), QStringList());
    QCOMPARE(committedDisagreements(t), QStringList());
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(layer(*second), QStringList{"def|PUBLIC|2"});
}

void TestAdminTables::importOfExistingPrivileges()
{
    TestDatabase t;
    makeGrants(t);
    auto d = connectGrantData(t);
    RecordingProgress progress;
    engine::StatementRecorder log;
    AdminTables(*d, progress).create();

    // Only what the layer can carry out: no role, view, trigger, procedure
    // or function rows, no system tables, no owner's own rows, U2's select
    // on T1 once although two users granted it.
    const QStringList expected{
        "def|PUBLIC|2", "def|U1|0", "def|U2|0",
        "gl|PUBLIC_Group|0:T2:Table:<null>:Insert:0",
        "gl|U1_Group|0:T1:Table:<null>:Select:1",
        "gl|U1_Group|1:T1:Table:C1:Update:0",
        "gl|U2_Group|0:P1:Procedure:<null>:Execute:0",
        "gl|U2_Group|1:T1:Table:<null>:Select:0",
        "gl|U2_Group|2:T3:Table:<null>:Select:0",
        "gl|U2_Group|3:V1:View:<null>:Select:0",
        "grp|PUBLIC_Group|0", "grp|U1_Group|0", "grp|U2_Group|0",
        "gu|PUBLIC_Group|PUBLIC:0:2", "gu|U1_Group|U1:1:0", "gu|U2_Group|U2:2:0",
        "ug|PUBLIC_Group|PUBLIC:0", "ug|U1_Group|U1:1", "ug|U2_Group|U2:2",
    };
    QCOMPARE(layer(d->grantdb), expected);
    QCOMPARE(progress.maximum, 10);
    QCOMPARE(progress.steps, 10);
    const QStringList sent = log.statements();
    QVERIFY(sent.contains("insert into meta$grantlist values(1,'U1_Group',\n'T1','Table',\n'C1','Update',0)"));
    QVERIFY(sent.contains("update meta$usersdef set usertype=2 where ugname=\"PUBLIC\""));
    QVERIFY(sent.contains("update meta$grantusers set utype=2 where ufname=\"PUBLIC\""));
    QCOMPARE(disagreements(d->grantdb), QStringList());
    QCOMPARE(committedDisagreements(t), QStringList());
    QCOMPARE(committedDisagreements(t, "U1"), QStringList());
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(layer(*second), expected);
}

void TestAdminTables::tooLongGroupNameIsLeftOut()
{
    TestDatabase t;
    {
        auto db = t.connect();
        exec(*db, "create table T1 (C1 integer)");
        exec(*db, "grant select on T1 to U2345678901234567890123456");
        exec(*db, "grant select on T1 to U1");
    }
    auto d = connectGrantData(t);
    RecordingProgress progress;
    QCOMPARE(AdminTables(*d, progress).create(),
             QStringList{"Every privilege of U2345678901234567890123456: the GrantGroup name "
                         "U2345678901234567890123456_Group is longer than 31 characters."});
    QCOMPARE(progress.statuses, (QStringList{"Creating GrantGroups", ""}));
    QVERIFY(d->grantdb.inTransaction());
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, kMetaTables), 6);
    QCOMPARE(rows(*second, "select ggname from meta$grantdef order by 1"), (QStringList{"U1_Group"}));
}

void TestAdminTables::failedImportDropsTablesAgain()
{
    TestDatabase t;
    makeOwnGrants(t);
    auto d = connectGrantData(t);
    RecordingProgress progress;
    {
        FailingStatement fail("insert into meta$grantlist", 2);
        QVERIFY_THROWS_EXCEPTION(engine::Error, AdminTables(*d, progress).create());
    }
    QVERIFY(d->grantdb.inTransaction());
    QCOMPARE(count(d->grantdb, kMetaTables), 0);
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, kMetaTables), 0);
    second.reset();
    // The next connect asks again, and this time the import goes through.
    AdminTables(*d, progress).create();
    QCOMPARE(count(d->grantdb, "select count(*) from meta$grantlist"), 4);
    QCOMPARE(committedDisagreements(t), QStringList());
}

void TestAdminTables::eraseRevokingAndDropping()
{
    TestDatabase t;
    makeOwnGrants(t);
    auto d = connectWithLayer(t);
    RecordingProgress progress;
    d->TrigList.open();
    engine::StatementRecorder log;
    AdminTables(*d, progress).erase(true);

    const QStringList sent = log.statements();
    for (const char *revoke : {"revoke Select\n on \nT1\nfrom U1", "revoke Update\n(C2)\n on \nT1\nfrom U1",
                               "revoke Execute\n on \nprocedure \nP1\nfrom U2", "revoke Delete\n on \nT1\nfrom PUBLIC"})
        QVERIFY2(sent.contains(QString::fromLatin1(revoke)), revoke);
    QStringList drops;
    for (const QString &s : sent)
        if (s.startsWith("drop table"))
            drops << s;
    QCOMPARE(drops, (QStringList{"drop table \nMETA$USERSGRANT", "drop table \nMETA$GRANTUSERS",
                                 "drop table \nMETA$GRANTLIST", "drop table \nMETA$GRANTDEF",
                                 "drop table \nMETA$USERSLIST", "drop table \nMETA$USERSDEF"}));
    QCOMPARE(progress.statuses, (QStringList{"Erase", ""}));
    QVERIFY(d->grantdb.inTransaction());
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, kMetaTables), 0);
    for (const char *user : {"U1", "U2", "PUBLIC"})
        QCOMPARE(count(*second, QString("select count(*) from rdb$user_privileges where rdb$user = '%1' and "
                                        "rdb$relation_name in ('T1','P1')").arg(user)), 0);
}

void TestAdminTables::eraseDroppingOnly()
{
    TestDatabase t;
    makeOwnGrants(t);
    auto d = connectWithLayer(t);
    const int u1 = privilegesOf(d->grantdb, "U1");
    privileges::NoProgress quiet;
    AdminTables(*d, quiet).erase(false);
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, kMetaTables), 0);
    QCOMPARE(privilegesOf(*second, "U1"), u1);
    QCOMPARE(privilegesOf(*second, "U2"), 1);
}

void TestAdminTables::eraseRefusedRevokeKeepsEverything()
{
    // U2's select on T3 was granted by U1 only: SYSDBA may not revoke it.
    TestDatabase t;
    makeGrants(t);
    auto d = connectWithLayer(t);
    privileges::NoProgress quiet;
    const int u1 = privilegesOf(d->grantdb, "U1");
    engine::StatementRecorder log;
    try {
        AdminTables(*d, quiet).erase(true);
        QFAIL("the erase revoked another grantor's privilege");
    } catch (const engine::Error &e) {
        QCOMPARE(e.message(), privileges::revokeRefusalText());
    }
    QVERIFY(d->grantdb.inTransaction());
    QCOMPARE(d->TrigList.filter(), QString());
    d->transaction.commit();
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, kMetaTables), 6);
    QCOMPARE(privilegesOf(*second, "U1"), u1);
    QCOMPARE(committedDisagreements(t), QStringList());
}

void TestAdminTables::eraseWithoutDropRights()
{
    TestDatabase t;
    makeOwnGrants(t);
    connectWithLayer(t);
    auto d = connectGrantData(t, "U3");
    privileges::NoProgress quiet;
    for (bool revoke : {false, true}) {
        try {
            AdminTables(*d, quiet).erase(revoke);
            QFAIL("a user without rights erased the tables");
        } catch (const engine::Error &e) {
            QCOMPARE(e.message(), revoke ? privileges::revokeRefusalText() : AdminTables::eraseRightsText());
            QCOMPARE(e.category(), engine::ErrorCategory::NoPermission);
        }
        QVERIFY(d->grantdb.inTransaction());
        d->transaction.commit();
        auto second = t.connect("SYSDBA", "Second");
        QCOMPARE(count(*second, kMetaTables), 6);
        QCOMPARE(privilegesOf(*second, "U2"), 1);
    }
    QCOMPARE(committedDisagreements(t), QStringList());
}

void TestAdminTables::eraseWhileAnotherConnectionReadATable()
{
    TestDatabase t;
    makeOwnGrants(t);
    auto d = connectWithLayer(t);
    privileges::NoProgress quiet;
    auto reader = t.connect("U2", "Reader");
    QCOMPARE(count(*reader, "select count(*) from meta$grantdef"), 3);

    try {
        AdminTables(*d, quiet).erase(true);
        QFAIL("the erase committed while another connection used a table");
    } catch (const engine::Error &e) {
        QVERIFY2(e.message().contains("in use"), qPrintable(e.message()));
    }
    QVERIFY(d->grantdb.inTransaction());
    reader.reset();
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, kMetaTables), 6);
    QCOMPARE(privilegesOf(*second, "U2"), 1);
    QCOMPARE(committedDisagreements(t), QStringList());
}

void TestAdminTables::failuresInsideEraseLeaveNothingPending_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("occurrence");
    QTest::newRow("second revoke") << "revoke " << 2;
    QTest::newRow("third drop") << "drop table" << 3;
}

void TestAdminTables::failuresInsideEraseLeaveNothingPending()
{
    QFETCH(QString, needle);
    QFETCH(int, occurrence);
    TestDatabase t;
    makeOwnGrants(t);
    auto d = connectWithLayer(t);
    privileges::NoProgress quiet;
    {
        FailingStatement fail(needle, occurrence);
        try {
            AdminTables(*d, quiet).erase(true);
            QFAIL("the injected failure went unnoticed");
        } catch (const engine::Error &e) {
            QCOMPARE(e.message(), QString("injected failure"));
        }
    }
    QVERIFY(d->grantdb.inTransaction());
    // Whatever ran before the failure was rolled back, not left for the
    // next commit.
    d->transaction.commit();
    QCOMPARE(count(d->grantdb, kMetaTables), 6);
    QCOMPARE(disagreements(d->grantdb), QStringList());
    QCOMPARE(committedDisagreements(t), QStringList());
}

void TestAdminTables::textsCutToWhatTheColumnHolds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("room");
    QTest::addColumn<QString>("kept");
    const QString face = QString::fromUcs4(U"\U0001F600"); // two UTF-16 units, four bytes
    QTest::newRow("fits") << "abc" << 3 << "abc";
    QTest::newRow("ascii cut") << "abcdef" << 4 << "abcd";
    QTest::newRow("two-byte letters") << QString(5, QChar(0xFC)) << 5 << QString(2, QChar(0xFC));
    QTest::newRow("never half a letter") << "a" + face + "b" << 4 << "a";
    QTest::newRow("a four-byte letter whole") << "a" + face + "b" << 5 << "a" + face;
}

void TestAdminTables::textsCutToWhatTheColumnHolds()
{
    QFETCH(QString, text);
    QFETCH(int, room);
    QFETCH(QString, kept);
    QCOMPARE(privileges::cutToRoom(text, room, [](const QString &t) { return t.toUtf8().size(); }), kept);
}

DUNMOOR_TEST_MAIN(TestAdminTables)
#include "tst_admintables.moc"
