// Taking privileges away on real databases: rows removed from grant groups,
// grant options switched, users joining and leaving user groups. What is
// revoked is exactly what nothing else still gives; the statements, the
// refusal and the state after each commit, with the five agreement
// conditions after every step.
#include "PrivilegesFixture.h"
#include "privileges/DirectGrants.h"
#include "privileges/GroupRevokes.h"
#include "privileges/RevokeRights.h"
#include "privileges/UserGroupMembers.h"
#include "support/TestMain.h"

using namespace privtest;
using namespace privileges;
using testsupport::exec;

namespace {

// The page world with the removal and membership operations.
struct World : Page {
    GroupRemovals removals{*d, progress};
    UserGroupMembers members{*d, progress};

    // Runs the statements in the open transaction and commits them.
    void setUp(const QStringList &statements)
    {
        for (const QString &sql : statements)
            d->execQ({sql});
        d->transaction.commit();
        d->MetaGrantlist.refresh();
    }
    // Puts `MetaGrantlist` on the current group's row with this id.
    bool onRow(int id)
    {
        d->MetaGrantlist.refresh();
        for (d->MetaGrantlist.first(); !d->MetaGrantlist.eof(); d->MetaGrantlist.next())
            if (d->MetaGrantlist.fieldByName("ID").asInteger() == id)
                return true;
        return false;
    }
    // The user-group page open on a user group.
    void onUserGroup(const QString &group)
    {
        d->usersdef.open();
        d->usergrp.open();
        d->usersgrp.open();
        d->usergrp.locate("UGNAME", group);
    }
};

// The GRANT and REVOKE texts sent, in order.
QStringList rights(const engine::StatementRecorder &log)
{
    return changes(log).filter(QRegularExpression("^(grant|revoke)\\s", QRegularExpression::CaseInsensitiveOption));
}

const QString kGivesU1 = "insert into meta$grantusers values (1, 'EMPTYG', 'U1', 0)";
const QString kReachesU1 = "insert into meta$usersgrant values (1, 'EMPTYG', 'U1')";

QString row(int id, const QString &group, const QString &object, const QString &type, const QString &column,
            const QString &privilege, int option)
{
    return QString("insert into meta$grantlist values (%1, '%2', '%3', '%4', %5, '%6', %7)")
        .arg(id)
        .arg(group, object, type, column.isNull() ? "null" : "'" + column + "'", privilege)
        .arg(option);
}

enum class Failing { RemoveRow, SwitchOn, Join, Leave };
enum class Taking { GroupRow, Leaving, DirectRevoke };

} // namespace

Q_DECLARE_METATYPE(Failing)
Q_DECLARE_METATYPE(Taking)

class TestGroupRemovals : public QObject {
    Q_OBJECT
private slots:
    void removeRow_data();
    void removeRow();
    void anotherGrantorsPrivilegeIsRefused();
    void addThenRemoveInOneTransaction();
    void switchOptionBothWays();
    void questionsSayWhatCascades();
    void removeAllRows();
    void joinAndLeaveUserGroupWithTwoGrantGroups();
    void leavingOneOfTwoUserGroupsKeepsTheGroup();
    void moveAllMembersOnce();
    void rollbackReopensMembers();
    void injectedFailureLeavesLastCommit_data();
    void injectedFailureLeavesLastCommit();
    void whatTheServerTakesWithARevokeIsGivenBack_data();
    void whatTheServerTakesWithARevokeIsGivenBack();
};

void TestGroupRemovals::removeRow_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<int>("id");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("only this group") << QStringList{row(1, "GG", "T1", "Table", {}, "Select", 0), "grant select on T1 to U1,U2,U3"}
                                     << 1 << QStringList{"revoke Select\n on \nT1 from U1,U2,U3"};
    QTest::newRow("another group without option")
        << QStringList{row(1, "GG", "T1", "Table", {}, "Select", 1), "grant select on T1 to U1,U2,U3 with grant option",
                       kGivesU1, kReachesU1, row(1, "EMPTYG", "T1", "Table", {}, "Select", 0)}
        << 1 << QStringList{"revoke grant option for Select\n on \nT1 from U1", "revoke Select\n on \nT1 from U2,U3"};
    QTest::newRow("another group, NULL column against empty")
        << QStringList{row(1, "GG", "T1", "Table", "", "Select", 0), "grant select on T1 to U1,U2,U3", kGivesU1, kReachesU1,
                       row(1, "EMPTYG", "T1", "Table", {}, "Select", 0)}
        << 1 << QStringList{"revoke Select\n on \nT1 from U2,U3"};
    QTest::newRow("same group, NULL and empty")
        << QStringList{row(1, "GG", "T1", "Table", {}, "Select", 0), row(2, "GG", "T1", "Table", "", "Select", 0),
                       "grant select on T1 to U1,U2,U3"}
        << 1 << QStringList{};
    QTest::newRow("execute, owner left out")
        << QStringList{row(1, "GG", "P3", "Procedure", {}, "Execute", 0), "grant execute on procedure P3 to U1,U2"} << 1
        << QStringList{"revoke Execute\n on \nprocedure \nP3 from U1,U2"};
    QTest::newRow("column") << QStringList{row(1, "GG", "T1", "Table", "C1", "Update", 0), "grant update(C1) on T1 to U1,U2,U3"}
                            << 1 << QStringList{"revoke Update\n(C1)\n on \nT1 from U1,U2,U3"};
    QTest::newRow("whole update, a column update stays")
        << QStringList{row(1, "GG", "T1", "Table", {}, "Update", 0), "grant update on T1 to U1,U2,U3", kGivesU1, kReachesU1,
                       row(1, "EMPTYG", "T1", "Table", "C2", "Update", 1), "grant update(C2) on T1 to U1 with grant option"}
        << 1 << QStringList{"revoke Update\n on \nT1 from U1,U2,U3", "grant Update\n(C2)\n on \nT1\n to U1\n with grant option"};
}

void TestGroupRemovals::removeRow()
{
    QFETCH(QStringList, setup);
    QFETCH(int, id);
    QFETCH(QStringList, sent);
    World w;
    w.setUp(setup);
    // A group holding one privilege twice breaks the fourth condition
    // until the removal mends it.
    if (QString(QTest::currentDataTag()) != "same group, NULL and empty")
        CHECK_AGREES(w.d, w.t);
    QVERIFY(w.onRow(id));
    const int before = w.d->MetaGrantlist.recordCount();
    engine::StatementRecorder log;
    w.removals.removeRow();
    QCOMPARE(rights(log), sent);
    QCOMPARE(w.progress.statuses, (QStringList{"Deleting...", ""}));
    QCOMPARE(w.d->MetaGrantlist.recordCount(), before - 1);
    w.d->transaction.commit();
    CHECK_AGREES(w.d, w.t);
}

void TestGroupRemovals::anotherGrantorsPrivilegeIsRefused()
{
    World w;
    // U3 owns T2 and granted U2's Select himself; SYSDBA granted U1's.
    w.setUp({row(1, "GG", "T2", "Table", {}, "Select", 0), "grant select on T2 to U1"});
    exec(*w.t.connect("U3", "U3"), "grant select on T2 to U2");
    CHECK_AGREES(w.d, w.t);
    const QStringList committed = committedState(w.t);
    QVERIFY(w.groups.addProcedure("P1"));
    const QStringList lost = w.d->transaction.pending();
    QVERIFY(w.onRow(1));
    engine::StatementRecorder log;
    try {
        w.removals.removeRow();
        QFAIL("revoked");
    } catch (const engine::Error &e) {
        QVERIFY2(namesLostWork(e.message(), revokeRefusalText(), lost), qPrintable(e.message()));
    }
    QCOMPARE(rights(log), QStringList());
    QCOMPARE(state(w.d->grantdb), committed);
    QCOMPARE(w.d->MetaGrantlist.recordCount(), 1);
    CHECK_AGREES(w.d, w.t);
}

void TestGroupRemovals::addThenRemoveInOneTransaction()
{
    World w;
    const QStringList committed = committedState(w.t);
    w.groups.addGroupGrants("T1", "Table", groupGrantCalls(GrantChoice{"T1", {}, true}));
    QVERIFY(w.onRow(1));
    engine::StatementRecorder log;
    w.removals.removeRow();
    QCOMPARE(rights(log), QStringList{"revoke Select\n on \nT1 from U1,U2,U3"});
    QCOMPARE(state(w.d->grantdb), committed);
    CHECK_AGREES(w.d, w.t);
}

void TestGroupRemovals::switchOptionBothWays()
{
    World w;
    w.setUp({row(1, "GG", "T1", "Table", {}, "Select", 0), "grant select on T1 to U1,U2,U3", kGivesU1, kReachesU1,
             row(1, "EMPTYG", "T1", "Table", {}, "Select", 1), "grant select on T1 to U1 with grant option"});
    QVERIFY(w.onRow(1));
    engine::StatementRecorder log;
    w.removals.switchOption();
    QCOMPARE(rights(log), QStringList{"grant Select\n on T1 to U1,U2,U3\n with grant option"});
    w.d->transaction.commit();
    CHECK_AGREES(w.d, w.t);
    QCOMPARE(rows(w.d->grantdb, "select ggoption from meta$grantlist where gfname = 'GG'"), QStringList{"1"});
    log.clear();
    QVERIFY(w.onRow(1));
    w.removals.switchOption();
    // U1 keeps the option through EMPTYG.
    QCOMPARE(rights(log), QStringList{"revoke grant option for Select\n on \nT1 from U2,U3"});
    w.d->transaction.commit();
    CHECK_AGREES(w.d, w.t);
    QCOMPARE(rows(w.d->grantdb, "select ggoption from meta$grantlist where gfname = 'GG'"), QStringList{"0"});

    // On U3's own table the option goes to the others only: an owner holds
    // his table's rights already.
    w.setUp({row(2, "GG", "T2", "Table", {}, "Select", 0), "grant select on T2 to U1,U2"});
    QVERIFY(w.onRow(2));
    log.clear();
    w.removals.switchOption();
    QCOMPARE(rights(log), QStringList{"grant Select\n on T2 to U1,U2\n with grant option"});
    w.d->transaction.commit();
    CHECK_AGREES(w.d, w.t);
}

void TestGroupRemovals::questionsSayWhatCascades()
{
    World w;
    w.setUp({row(1, "GG", "T1", "Table", {}, "Select", 1), "grant select on T1 to U1,U2,U3 with grant option",
             row(2, "GG", "T1", "Table", "C1", "Update", 0), "grant update(C1) on T1 to U1,U2,U3"});
    exec(*w.t.connect("U1", "U1"), "grant select on T1 to U4");
    QVERIFY(w.onRow(1));
    const GroupRowOnPage r = *w.removals.currentRow();
    QCOMPARE(removeRowQuestion(r), QString("Revoke Select privilege on Table T1 from GrantGroup GG?"));
    const QString note = "\r\nU1 granted this privilege on to others; the server revokes those grants with it.";
    QCOMPARE(w.removals.cascadeNote(r), note);
    QCOMPARE(w.removals.cascadeNote(r, 0), note);
    QVERIFY(w.onRow(2));
    QCOMPARE(removeRowQuestion(*w.removals.currentRow()),
             QString("Revoke Update privilege on field C1 of Table T1 from GrantGroup GG?"));
    QCOMPARE(w.removals.cascadeNote(*w.removals.currentRow()), QString());
    // The note is right: the grant U1 made goes with his option.
    QVERIFY(w.onRow(1));
    w.removals.switchOption();
    QCOMPARE(count(w.d->grantdb, "select count(*) from rdb$user_privileges where rdb$user = 'U4'"), 0);
}

void TestGroupRemovals::removeAllRows()
{
    World w;
    w.setUp({row(1, "GG", "T1", "Table", {}, "Select", 0), row(2, "GG", "P1", "Procedure", {}, "Execute", 0),
             "grant select on T1 to U1,U2,U3", "grant execute on procedure P1 to U1,U2,U3"});
    QVERIFY(w.onRow(1));
    engine::StatementRecorder log;
    w.removals.removeAll();
    QCOMPARE(changes(log), (QStringList{"revoke Execute\n on \nprocedure \nP1 from U1,U2,U3", "revoke Select\n on \nT1 from U1,U2,U3",
                                        "delete from meta$grantlist where gfname=\"GG\""}));
    QCOMPARE(w.progress.maximum, 2);
    QCOMPARE(w.progress.steps, 2);
    QCOMPARE(w.d->MetaGrantlist.recordCount(), 0);
    w.d->transaction.commit();
    CHECK_AGREES(w.d, w.t);
}

void TestGroupRemovals::joinAndLeaveUserGroupWithTwoGrantGroups()
{
    World w;
    w.setUp({"insert into meta$grantusers values (1, 'EMPTYG', 'UG', 2)", "insert into meta$usersgrant values (1, 'EMPTYG', 'U2')",
             row(1, "EMPTYG", "T1", "Table", {}, "Insert", 0), row(1, "GG", "T1", "Table", {}, "Select", 0),
             "grant insert on T1 to U2", "grant select on T1 to U1,U2,U3"});
    CHECK_AGREES(w.d, w.t);
    w.onUserGroup("UG");
    engine::StatementRecorder log;
    w.members.addMember("U1");
    // GG is U1's own: granted again, but no second row says it reaches him.
    QCOMPARE(changes(log), (QStringList{"insert into meta$userslist values(2,'UG','U1')", "grant Insert\n on \nT1\n to U1",
                                        "grant Select\n on \nT1\n to U1",
                                        "insert into meta$usersgrant values(2,\"EMPTYG\",\"U1\")"}));
    QCOMPARE(w.progress.statuses, (QStringList{"Creating grants for UG", ""}));
    QCOMPARE(w.d->usersgrp.recordCount(), 2);
    w.members.commit();
    CHECK_AGREES(w.d, w.t);
    log.clear();
    w.members.removeMember("U1");
    QCOMPARE(changes(log), (QStringList{"revoke Insert\n on \nT1 from U1",
                                        "delete from meta$usersgrant where gfname=\"EMPTYG\" and ufname=\"U1\"",
                                        "delete from meta$userslist where ufname='UG' and ualias='U1'"}));
    w.members.commit();
    CHECK_AGREES(w.d, w.t);
    QCOMPARE(removeMemberQuestion("U1", "UG"), QString("Remove user 'U1' from UserGroup \"UG\" (It equivalent to revocation "
                                                       "of all privileges granted to the user through given UserGroup)?"));
}

void TestGroupRemovals::leavingOneOfTwoUserGroupsKeepsTheGroup()
{
    World w;
    // U4 reaches GG through UG2; joining UG (GG's too) adds no second row,
    // and leaving UG takes nothing.
    w.setUp({"insert into meta$usersdef values ('U4', null, 0)", "insert into meta$usersdef values ('UG2', null, 2)",
             "insert into meta$userslist values (1, 'UG2', 'U4')", "insert into meta$grantusers values (4, 'GG', 'UG2', 2)",
             "insert into meta$usersgrant values (4, 'GG', 'U4')", row(1, "GG", "T1", "Table", {}, "Delete", 0),
             "grant delete on T1 to U1,U2,U3,U4"});
    CHECK_AGREES(w.d, w.t);
    w.onUserGroup("UG");
    w.members.addMember("U4");
    QCOMPARE(count(w.d->grantdb, "select count(*) from meta$usersgrant where gfname = 'GG' and ufname = 'U4'"), 1);
    w.members.commit();
    CHECK_AGREES(w.d, w.t);
    engine::StatementRecorder log;
    w.members.removeMember("U4");
    QCOMPARE(changes(log), QStringList{"delete from meta$userslist where ufname='UG' and ualias='U4'"});
    w.members.commit();
    CHECK_AGREES(w.d, w.t);
    // Leaving the last way: revoked, and the row goes.
    w.onUserGroup("UG2");
    log.clear();
    w.members.removeAllMembers();
    QCOMPARE(changes(log), (QStringList{"revoke Delete\n on \nT1 from U4",
                                        "delete from meta$usersgrant where gfname=\"GG\" and ufname=\"U4\"",
                                        "delete from meta$userslist where ufname='UG2'"}));
    w.members.commit();
    CHECK_AGREES(w.d, w.t);
}

void TestGroupRemovals::moveAllMembersOnce()
{
    World w;
    w.setUp({row(1, "GG", "T1", "Table", {}, "Select", 0), "grant select on T1 to U1,U2,U3"});
    w.d->usersdef.open();
    // Without a current user group nothing is written.
    engine::StatementRecorder log;
    QVERIFY_THROWS_EXCEPTION(engine::Error, w.members.addAllMembers());
    QCOMPARE(changes(log), QStringList());
    w.onUserGroup("UG");
    QCOMPARE(w.d->usersdef.recordCount(), 2);
    // The list as the assignment page left it, user groups shown: only
    // users join.
    w.d->usersdef.setFilter(TGrantData::usersDefFilter(false, {}));
    w.members.addAllMembers();
    QCOMPARE(changes(log).filter("meta$userslist"), (QStringList{"insert into meta$userslist values(2,'UG','U3')",
                                                                 "insert into meta$userslist values(3,'UG','U1')"}));
    QCOMPARE(w.d->usersgrp.recordCount(), 3);
    QCOMPARE(w.d->usersdef.recordCount(), 0);
    w.members.commit();
    CHECK_AGREES(w.d, w.t);
    QCOMPARE(removeAllMembersQuestion("UG"), QString("Remove  all users from UserGroup \"UG\" (It equivalent to revocation "
                                                     "of all privileges granted to them through given UserGroup)?"));
}

void TestGroupRemovals::rollbackReopensMembers()
{
    World w;
    w.onUserGroup("UG");
    w.members.addMember("U1");
    QCOMPARE(w.d->usersgrp.recordCount(), 2);
    w.members.rollback();
    QCOMPARE(w.d->usersgrp.recordCount(), 1);
    QCOMPARE(w.d->usersdef.recordCount(), 2);
    CHECK_AGREES(w.d, w.t);
}

void TestGroupRemovals::injectedFailureLeavesLastCommit_data()
{
    QTest::addColumn<Failing>("operation");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("occurrence");
    QTest::newRow("remove, the revoke") << Failing::RemoveRow << "revoke " << 1;
    QTest::newRow("remove, the row delete") << Failing::RemoveRow << "delete from META$GRANTLIST" << 1;
    QTest::newRow("option on, the grant") << Failing::SwitchOn << "grant " << 1;
    QTest::newRow("join, the row after the grants") << Failing::Join << "insert into meta$usersgrant" << 1;
    QTest::newRow("join, a grant") << Failing::Join << "grant " << 1;
    QTest::newRow("leave, the member delete") << Failing::Leave << "delete from meta$userslist" << 1;
}

void TestGroupRemovals::injectedFailureLeavesLastCommit()
{
    QFETCH(Failing, operation);
    QFETCH(QString, needle);
    QFETCH(int, occurrence);
    World w;
    w.setUp({"insert into meta$grantusers values (1, 'EMPTYG', 'UG', 2)", "insert into meta$usersgrant values (1, 'EMPTYG', 'U2')",
             row(1, "EMPTYG", "T1", "Table", {}, "Insert", 0), row(1, "GG", "T1", "Table", {}, "Select", 0),
             "grant insert on T1 to U2", "grant select on T1 to U1,U2,U3"});
    w.onUserGroup("UG");
    const QStringList committed = committedState(w.t);
    QVERIFY(w.groups.addProcedure("P1"));
    QVERIFY(w.onRow(1));
    const QStringList lost = w.d->transaction.pending();
    QCOMPARE(lost.size(), 2);
    const QString error = failureOf(needle, occurrence, [&] {
        switch (operation) {
        case Failing::RemoveRow: w.removals.removeRow(); break;
        case Failing::SwitchOn: w.removals.switchOption(); break;
        case Failing::Join: w.members.addMember("U1"); break;
        case Failing::Leave: w.members.removeMember("U2"); break;
        }
    });
    // The Execute added before was pending: the user is told it is lost.
    QCOMPARE(error, "injected failure" + engine::KeptTransaction::lostWorkText(lost));
    CHECK_LAST_COMMIT(w.d, w.t, committed);
    QCOMPARE(w.d->usersgrp.recordCount(), 1);
}

void TestGroupRemovals::whatTheServerTakesWithARevokeIsGivenBack_data()
{
    // U5 has his own group G5; SYSDBA granted to U1, U1 granted on.
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QStringList>("grantedByU1");
    QTest::addColumn<Taking>("taking");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("disagreeing");
    const QStringList u5{"insert into meta$usersdef values ('U5', null, 0)", "insert into meta$grantdef values ('G5', null)",
                         "insert into meta$grantusers values (1, 'G5', 'U5', 0)", "insert into meta$usersgrant values (1, 'G5', 'U5')",
                         row(1, "G5", "T1", "Table", {}, "Select", 0)};
    const QStringList passedOn = u5 + QStringList{kGivesU1, kReachesU1, row(1, "EMPTYG", "T1", "Table", {}, "Select", 1),
                                                  "grant select on T1 to U1 with grant option"};
    QTest::newRow("the row U1 passed on") << passedOn << QStringList{"grant select on T1 to U5"} << Taking::GroupRow
                                          << QStringList{"revoke Select\n on \nT1 from U1", "grant Select\n on \nT1\n to U5"}
                                          << QStringList();
    QTest::newRow("passed on with the grant option")
        << passedOn + QStringList{"update meta$grantlist set ggoption = 1 where gfname = 'G5'"}
        << QStringList{"grant select on T1 to U5 with grant option"} << Taking::GroupRow
        << QStringList{"revoke Select\n on \nT1 from U1", "grant Select\n on \nT1\n to U5\n with grant option"} << QStringList();
    // Asked for and confirmed on the privilege page: U1's own row goes
    // against his group's word, U5's comes back.
    QTest::newRow("revoked on the privilege page") << passedOn << QStringList{"grant select on T1 to U5"} << Taking::DirectRevoke
                                                   << QStringList{"Revoke\nSelect on T1 from U1", "grant Select\n on \nT1\n to U5"}
                                                   << QStringList{"condition 2: EMPTYG,U1,T1,,Select"};
    // U1's own group gives the table's Update without the option and
    // Update(C1) with it; UGG, through UG, the table's Update with it.
    QTest::newRow("a column's option kept")
        << QStringList{kGivesU1, kReachesU1, row(1, "EMPTYG", "T1", "Table", {}, "Update", 0),
                       row(2, "EMPTYG", "T1", "Table", "C1", "Update", 1), "insert into meta$grantdef values ('UGG', null)",
                       "insert into meta$userslist values (2, 'UG', 'U1')", "insert into meta$grantusers values (1, 'UGG', 'UG', 2)",
                       "insert into meta$usersgrant values (1, 'UGG', 'U2')", "insert into meta$usersgrant values (2, 'UGG', 'U1')",
                       row(1, "UGG", "T1", "Table", {}, "Update", 1), "grant update on T1 to U1,U2 with grant option",
                       "grant update(C1) on T1 to U1 with grant option"}
        << QStringList() << Taking::Leaving
        << QStringList{"revoke grant option for Update\n on \nT1 from U1", "grant Update\n(C1)\n on \nT1\n to U1\n with grant option"}
        << QStringList();
}

void TestGroupRemovals::whatTheServerTakesWithARevokeIsGivenBack()
{
    QFETCH(QStringList, setup);
    QFETCH(QStringList, grantedByU1);
    QFETCH(Taking, taking);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, disagreeing);
    World w;
    w.setUp(setup);
    auto u1 = w.t.connect("U1", "U1");
    for (const QString &sql : grantedByU1)
        exec(*u1, sql);
    u1.reset();
    CHECK_AGREES(w.d, w.t);
    engine::StatementRecorder log;
    switch (taking) {
    case Taking::GroupRow:
        QVERIFY(w.d->MetaGrantDef.locate("GGNAME", "EMPTYG"));
        QVERIFY(w.onRow(1));
        w.removals.removeRow();
        break;
    case Taking::Leaving:
        w.onUserGroup("UG");
        w.members.removeMember("U1");
        break;
    case Taking::DirectRevoke: {
        PrivilegeRow r{"U1", 8, "SYSDBA", QChar('S'), 1, "T1", {}, 0};
        QCOMPARE(DirectGrants(*w.d).revoke(r, false).refusal, QString());
        break;
    }
    }
    QCOMPARE(rights(log), sent);
    w.d->transaction.commit();
    QCOMPARE(disagreements(w.d->grantdb), disagreeing);
    QCOMPARE(committedDisagreements(w.t), disagreeing);
}

DUNMOOR_TEST_MAIN(TestGroupRemovals)
#include "tst_groupremovals.moc"
