// Grant groups assigned and taken back on real databases: the exact
// statements sent, what reaches whom, what stays with those another way
// still reaches, the refusal, and the state after each commit seen from a
// second connection, with the five agreement conditions after every step;
// injected failures leave the last commit.
#include "PrivilegesFixture.h"
#include "privileges/GroupAssignments.h"
#include "privileges/RevokeRights.h"
#include "support/TestMain.h"

using namespace privtest;
using namespace privileges;
using testsupport::exec;

namespace {

// G2 gives Select on T1 and Execute on P3 (owned by U3). U4 is a user; UG2
// holds U1 and U4, UG3 nobody.
const QStringList kBase = {
    "insert into meta$grantdef values ('G2', null)",
    "insert into meta$grantlist values (1, 'G2', 'T1', 'Table', null, 'Select', 0)",
    "insert into meta$grantlist values (2, 'G2', 'P3', 'Procedure', null, 'Execute', 0)",
    "insert into meta$usersdef values ('U4', null, 0)",
    "insert into meta$usersdef values ('UG2', null, 2)",
    "insert into meta$usersdef values ('UG3', null, 2)",
    "insert into meta$userslist values (1, 'UG2', 'U1')",
    "insert into meta$userslist values (2, 'UG2', 'U4')",
};

// G2 assigned to a holder, with the rows and grants that go with it.
QStringList holds(const QString &holder, int id, const QStringList &users, bool userGroup = false)
{
    QStringList s{QString("insert into meta$grantusers values (%1, 'G2', '%2', %3)")
                      .arg(id)
                      .arg(holder)
                      .arg(userGroup || holder == "PUBLIC" ? 2 : 0)};
    for (const QString &u : users) {
        s << QString("insert into meta$usersgrant values ((select coalesce(max(id), 0) + 1 from meta$usersgrant where gfname = 'G2'), 'G2', '%1')").arg(u);
        s << QString("grant select on T1 to %1").arg(u);
        if (u != "U3")
            s << QString("grant execute on procedure P3 to %1").arg(u);
    }
    return s;
}

struct World : Page {
    GroupAssignments assignments{*d, progress};

    explicit World(const QStringList &setup)
    {
        for (const QString &sql : kBase + setup)
            d->execQ({sql});
        d->transaction.commit();
        d->usersdef.open();
        d->metagrp.open();
        d->metasgrp.open();
        d->metagrp.locate("GGNAME", "G2");
    }
    QStringList holders() { return column(d->metasgrp, "UFNAME"); }
    QStringList candidates() { return column(d->usersdef, "UGNAME"); }
};

// The changes committed agree, and a second connection sees what the open
// transaction saw.
#define CHECK_COMMITTED(w)                                                                                             \
    do {                                                                                                               \
        const QStringList open = state((w).d->grantdb);                                                                \
        (w).assignments.commit();                                                                                      \
        QCOMPARE(committedState((w).t), open);                                                                         \
        CHECK_AGREES((w).d, (w).t);                                                                                    \
    } while (0)

const QString kGrantT1 = "grant Select\n on \nT1\n to %1";
const QString kGrantP3 = "grant Execute\n on \nprocedure \nP3\n to %1";
const QString kRevokeT1 = "revoke Select\n on \nT1 from %1";
const QString kRevokeP3 = "revoke Execute\n on \nprocedure \nP3 from %1";
const QString kDeleteHolder = "delete from meta$grantusers where (gfname=\"G2\") and (ufname=\"%1\")";
const QString kDeleteUser = "delete from meta$usersgrant where (gfname=\"G2\") and (ufname\n=\"%1\")";

enum class Op { Assign, AssignGroup, MoveAll, Remove, RemoveGroup, RemoveAll };

} // namespace

Q_DECLARE_METATYPE(Op)

class TestAssignments : public QObject {
    Q_OBJECT
private slots:
    void assign_data();
    void assign();
    void moveAllShownRows();
    void remove_data();
    void remove();
    void removeAll();
    void assignAndRemoveInOneTransaction();
    void anotherGrantorsPrivilegeIsRefused();
    void injectedFailureLeavesLastCommit_data();
    void injectedFailureLeavesLastCommit();
};

void TestAssignments::assign_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<int>("usertype");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("user") << QStringList{} << "U4" << 0
                          << QStringList{"insert into meta$grantusers values(1,\"G2\",\"U4\",0)",
                                         "insert into meta$usersgrant values(1,\"G2\",\"U4\")", kGrantP3.arg("U4"),
                                         kGrantT1.arg("U4")};
    QTest::newRow("user again") << holds("U4", 1, {"U4"}) << "U4" << 0 << QStringList{};
    QTest::newRow("owner left out of the grant")
        << QStringList{} << "U3" << 0
        << QStringList{"insert into meta$grantusers values(1,\"G2\",\"U3\",0)",
                       "insert into meta$usersgrant values(1,\"G2\",\"U3\")", kGrantT1.arg("U3")};
    QTest::newRow("user group, one member receiving it already")
        << holds("U1", 1, {"U1"}) << "UG2" << 2
        << QStringList{"insert into meta$grantusers values(2,\"G2\",\"UG2\",2)",
                       "insert into meta$usersgrant values(2,\"G2\",\"U4\")", kGrantP3.arg("U4"), kGrantT1.arg("U4")};
    QTest::newRow("user group, both members new")
        << QStringList{} << "UG2" << 2
        << QStringList{"insert into meta$grantusers values(1,\"G2\",\"UG2\",2)",
                       "insert into meta$usersgrant values(1,\"G2\",\"U1\")",
                       "insert into meta$usersgrant values(2,\"G2\",\"U4\")", kGrantP3.arg("U1,U4"),
                       kGrantT1.arg("U1,U4")};
    QTest::newRow("user group without members")
        << QStringList{} << "UG3" << 2 << QStringList{"insert into meta$grantusers values(1,\"G2\",\"UG3\",2)"};
    QTest::newRow("user reached through a user group")
        << holds("UG2", 1, {"U1", "U4"}, true) << "U1" << 0
        << QStringList{"insert into meta$grantusers values(2,\"G2\",\"U1\",0)"};
    QTest::newRow("PUBLIC") << QStringList{} << "PUBLIC" << 2
                            << QStringList{"insert into meta$grantusers values(1,\"G2\",\"PUBLIC\",2)",
                                           "insert into meta$usersgrant values(1,\"G2\",\"PUBLIC\")",
                                           kGrantP3.arg("PUBLIC"), kGrantT1.arg("PUBLIC")};
}

void TestAssignments::assign()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, holder);
    QFETCH(int, usertype);
    QFETCH(QStringList, sent);
    World w(setup);
    CHECK_AGREES(w.d, w.t);
    engine::StatementRecorder log;
    w.assignments.assign(Candidate{holder, usertype}, "G2");
    QCOMPARE(changes(log), sent);
    QCOMPARE(w.progress.statuses, (sent.filter("grant ").isEmpty() ? QStringList{} : QStringList{"Creating grants for " + holder, ""}));
    QVERIFY(w.holders().contains(holder));
    QVERIFY(!w.candidates().contains(holder));
    CHECK_COMMITTED(w);
}

void TestAssignments::moveAllShownRows()
{
    World w(holds("U1", 1, {"U1"}));
    // Neither the holder U1 nor the rows a filter of the user's hides.
    QCOMPARE(w.candidates(), (QStringList{"PUBLIC", "UG", "UG2", "UG3", "U2", "U3", "U4"}));
    w.d->usersdef.setFilter(w.d->usersdef.filter() + " and ([ugname]<>'UG3') and ([ugname]<>'U3')");
    engine::StatementRecorder log;
    w.assignments.assignAll("G2");
    QCOMPARE(changes(log), (QStringList{
                               "insert into meta$grantusers values(2,\"G2\",\"PUBLIC\",2)",
                               "insert into meta$usersgrant values(2,\"G2\",\"PUBLIC\")",
                               "insert into meta$grantusers values(3,\"G2\",\"UG\",2)",
                               "insert into meta$usersgrant values(3,\"G2\",\"U2\")",
                               "insert into meta$grantusers values(4,\"G2\",\"UG2\",2)",
                               "insert into meta$usersgrant values(4,\"G2\",\"U4\")",
                               "insert into meta$grantusers values(5,\"G2\",\"U2\",0)",
                               "insert into meta$grantusers values(6,\"G2\",\"U4\",0)",
                               kGrantP3.arg("PUBLIC,U2,U4"),
                               kGrantT1.arg("PUBLIC,U2,U4"),
                           }));
    QCOMPARE(w.progress.statuses, (QStringList{"Creating grants for All users", ""}));
    QCOMPARE(w.candidates(), (QStringList{"UG3", "U3"}));
    CHECK_COMMITTED(w);
}

void TestAssignments::remove_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("status");
    QTest::newRow("user") << holds("U4", 1, {"U4"}) << "U4"
                          << QStringList{kRevokeT1.arg("U4"), kRevokeP3.arg("U4"), kDeleteHolder.arg("U4"), kDeleteUser.arg("U4")}
                          << "Revoke grants from U4";
    QTest::newRow("owner left out of the revoke")
        << holds("U3", 1, {"U3"}) << "U3" << QStringList{kRevokeT1.arg("U3"), kDeleteHolder.arg("U3"), kDeleteUser.arg("U3")}
        << "Revoke grants from U3";
    QTest::newRow("user still reached through a user group")
        << holds("UG2", 1, {"U1", "U4"}, true) + QStringList{"insert into meta$grantusers values (2, 'G2', 'U1', 0)"} << "U1"
        << QStringList{kDeleteHolder.arg("U1")} << "Revoke grants from U1";
    QTest::newRow("user group, a member holding it directly")
        << holds("UG2", 1, {"U1", "U4"}, true) + QStringList{"insert into meta$grantusers values (2, 'G2', 'U1', 0)"} << "UG2"
        << QStringList{kRevokeT1.arg("U4"), kRevokeP3.arg("U4"), kDeleteHolder.arg("UG2"),
                       "delete from meta$usersgrant where (gfname=\"G2\") and (ufname\n in (\"U4\"))"}
        << "Revoke grants from UG2";
    QTest::newRow("user group, a member in another user group")
        << holds("UG2", 1, {"U1", "U4"}, true)
               + QStringList{"insert into meta$userslist values (3, 'UG3', 'U4')",
                             "insert into meta$grantusers values (2, 'G2', 'UG3', 2)"}
        << "UG2"
        << QStringList{kRevokeT1.arg("U1"), kRevokeP3.arg("U1"), kDeleteHolder.arg("UG2"),
                       "delete from meta$usersgrant where (gfname=\"G2\") and (ufname\n in (\"U1\"))"}
        << "Revoke grants from UG2";
    QTest::newRow("user group, nobody keeps it")
        << holds("UG2", 1, {"U1", "U4"}, true) << "UG2"
        << QStringList{kRevokeT1.arg("U1,U4"), kRevokeP3.arg("U1,U4"), kDeleteHolder.arg("UG2"),
                       "delete from meta$usersgrant where (gfname=\"G2\") and (ufname\n in (select ualias from "
                       "meta$userslist where ufname=\"UG2\"))"}
        << "Revoke grants from UG2";
    QTest::newRow("another group gives it without option")
        << holds("U4", 1, {"U4"})
               + QStringList{"update meta$grantlist set ggoption = 1 where gfname = 'G2' and id = 1",
                             "grant select on T1 to U4 with grant option",
                             "insert into meta$grantusers values (1, 'EMPTYG', 'U4', 0)",
                             "insert into meta$usersgrant values (1, 'EMPTYG', 'U4')",
                             "insert into meta$grantlist values (1, 'EMPTYG', 'T1', 'Table', '', 'Select', 0)"}
        << "U4"
        << QStringList{"revoke grant option for Select\n on \nT1 from U4", kRevokeP3.arg("U4"), kDeleteHolder.arg("U4"),
                       kDeleteUser.arg("U4")}
        << "Revoke grants from U4";
    QTest::newRow("PUBLIC") << holds("PUBLIC", 1, {"PUBLIC"}) << "PUBLIC"
                            << QStringList{kRevokeT1.arg("PUBLIC"), kRevokeP3.arg("PUBLIC"), kDeleteHolder.arg("PUBLIC"),
                                           kDeleteUser.arg("PUBLIC")}
                            << "Revoke grants from PUBLIC";
    QTest::newRow("group without privileges")
        << holds("U4", 1, {"U4"}) + QStringList{"delete from meta$grantlist where gfname = 'G2'", "revoke all on T1 from U4",
                                                "revoke execute on procedure P3 from U4"}
        << "U4" << QStringList{kDeleteHolder.arg("U4"), kDeleteUser.arg("U4")} << QString();
}

void TestAssignments::remove()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, holder);
    QFETCH(QStringList, sent);
    QFETCH(QString, status);
    World w(setup);
    CHECK_AGREES(w.d, w.t);
    engine::StatementRecorder log;
    w.assignments.remove("G2", holder);
    QCOMPARE(changes(log), sent);
    QCOMPARE(w.progress.statuses, (status.isEmpty() ? QStringList{} : QStringList{status, ""}));
    if (!status.isEmpty())
        QCOMPARE(w.progress.steps, w.progress.maximum);
    QVERIFY(!w.holders().contains(holder));
    QVERIFY(w.candidates().contains(holder));
    CHECK_COMMITTED(w);
}

void TestAssignments::removeAll()
{
    World w(holds("UG2", 1, {"U1", "U4"}, true) + holds("PUBLIC", 2, {"PUBLIC"}) + holds("U3", 3, {"U3"})
            + QStringList{"insert into meta$grantusers values (4, 'G2', 'U1', 0)"});
    CHECK_AGREES(w.d, w.t);
    engine::StatementRecorder log;
    w.assignments.removeAll("G2");
    QCOMPARE(changes(log), (QStringList{kRevokeT1.arg("PUBLIC,U1,U3,U4"), kRevokeP3.arg("PUBLIC,U1,U4"),
                                        "delete from meta$grantusers where (gfname=\"G2\")",
                                        "delete from meta$usersgrant where (gfname=\"G2\")"}));
    QCOMPARE(w.progress.statuses, (QStringList{"Revoke all grants on G2", ""}));
    QCOMPARE(w.progress.maximum, 4);
    QCOMPARE(w.progress.steps, 4);
    QCOMPARE(w.holders(), QStringList());
    CHECK_COMMITTED(w);
    QCOMPARE(revokeAllAssignmentsQuestion("G2"), QString("Revoke all grants on group G2?"));
    QCOMPARE(revokeAssignmentQuestion("G2", "U1"), QString("Revoke grant on GrantGroup \"G2\" from \"U1\"?"));
}

void TestAssignments::assignAndRemoveInOneTransaction()
{
    World w({});
    const QStringList committed = committedState(w.t);
    w.assignments.assign(Candidate{"UG2", 2}, "G2");
    // The rights test reads the grants this transaction made.
    engine::StatementRecorder log;
    w.assignments.remove("G2", "UG2");
    QCOMPARE(changes(log).filter("revoke "), (QStringList{kRevokeT1.arg("U1,U4"), kRevokeP3.arg("U1,U4")}));
    QCOMPARE(state(w.d->grantdb), committed);
    CHECK_COMMITTED(w);
}

void TestAssignments::anotherGrantorsPrivilegeIsRefused()
{
    World w({"insert into meta$grantlist values (3, 'G2', 'T2', 'Table', null, 'Select', 0)"});
    // U3 owns T2: his grant to U4 is not SYSDBA's to take.
    exec(*w.t.connect("U3", "U3"), "grant select on T2 to U4");
    w.d->execQ({"insert into meta$grantusers values (1, 'G2', 'U4', 0)"});
    w.d->execQ({"insert into meta$usersgrant values (1, 'G2', 'U4')"});
    w.d->execQ({"grant select on T1 to U4"});
    w.d->execQ({"grant execute on procedure P3 to U4"});
    w.assignments.commit();
    const QStringList committed = committedState(w.t);
    try {
        w.assignments.remove("G2", "U4");
        QFAIL("revoked");
    } catch (const engine::Error &e) {
        QCOMPARE(e.message(), revokeRefusalText());
    }
    CHECK_LAST_COMMIT(w.d, w.t, committed);
    QCOMPARE(w.holders(), QStringList{"U4"});
}

void TestAssignments::injectedFailureLeavesLastCommit_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("occurrence");
    QTest::newRow("assign, the user's row") << Op::Assign << "insert into meta$usersgrant" << 1;
    QTest::newRow("assign, a grant") << Op::Assign << "grant " << 2;
    QTest::newRow("assign to a user group, the second member's row") << Op::AssignGroup << "insert into meta$usersgrant" << 2;
    QTest::newRow("move all, the holder row") << Op::MoveAll << "insert into meta$grantusers" << 3;
    QTest::newRow("move all, the grant") << Op::MoveAll << "grant " << 1;
    QTest::newRow("remove, a revoke") << Op::Remove << "revoke " << 2;
    QTest::newRow("remove, the holder delete") << Op::Remove << "delete from meta$grantusers" << 1;
    QTest::newRow("remove, the users' delete") << Op::Remove << "delete from meta$usersgrant" << 1;
    QTest::newRow("remove a user group, the users' delete") << Op::RemoveGroup << "delete from meta$usersgrant" << 1;
    QTest::newRow("remove all, the users' delete") << Op::RemoveAll << "delete from meta$usersgrant" << 1;
}

void TestAssignments::injectedFailureLeavesLastCommit()
{
    QFETCH(Op, op);
    QFETCH(QString, needle);
    QFETCH(int, occurrence);
    World w(holds("U4", 1, {"U4"}) + holds("UG2", 2, {"U1"}, true) + holds("PUBLIC", 3, {"PUBLIC"}));
    const QStringList committed = committedState(w.t);
    const QStringList holders = w.holders();
    // Work pending before the step goes with it.
    w.assignments.assign(Candidate{"UG3", 2}, "G2");
    exec(w.d->grantdb, "insert into meta$userslist values (3, 'UG', 'U3')");
    const QStringList lost = w.d->transaction.pending();
    const QString error = failureOf(needle, occurrence, [&] {
        switch (op) {
        case Op::Assign: w.assignments.assign(Candidate{"U2", 0}, "G2"); break;
        case Op::AssignGroup: w.assignments.assign(Candidate{"UG", 2}, "G2"); break;
        case Op::MoveAll: w.assignments.assignAll("G2"); break;
        case Op::Remove: w.assignments.remove("G2", "PUBLIC"); break;
        case Op::RemoveGroup: w.assignments.remove("G2", "UG2"); break;
        case Op::RemoveAll: w.assignments.removeAll("G2"); break;
        }
    });
    QVERIFY2(namesLostWork(error, "injected failure", lost), qPrintable(error));
    CHECK_LAST_COMMIT(w.d, w.t, committed);
    QCOMPARE(w.holders(), holders);
}

DUNMOOR_TEST_MAIN(TestAssignments)
#include "tst_assignments.moc"
