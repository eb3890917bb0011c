// What the grant groups give each user, and who still receives a privilege
// after a change: plain data, no window and no server; then the same layer
// read from a real database.
#include "PrivilegesFixture.h"
#include "privileges/GroupArithmetic.h"
#include "privileges/GroupRevokes.h"
#include "support/TestMain.h"

using namespace privtest;
using namespace privileges;
using testsupport::exec;
using testsupport::TestDatabase;

namespace {

// Group A: Select on T1 with option, Update(C1) on T1, Select on T2 (owned
// by U3). Group B: Select on T1 whole-object without option, Update on T1.
// A reaches U1 directly and U2, U3 through user group UG; B reaches U2 and
// PUBLIC (stored as a user group, counted as a user).
GroupLayer sampleLayer()
{
    GroupLayer l;
    l.rows = {{1, "A", {"T1", "", "Select"}, 1},
              {2, "A", {"T1", "C1", "Update"}, 0},
              {3, "A", {"T2", "", "Select"}, 0},
              {1, "B", {"T1", "", "Select"}, 0},
              {2, "B", {"T1", "", "Update"}, 0}};
    l.assignments = {{"A", "U1", false}, {"A", "UG", true}, {"B", "U2", false}, {"B", "PUBLIC", false}};
    l.members = {{"UG", "U2"}, {"UG", "U3"}};
    l.owners.add("T2", "U3");
    return l;
}

// "U1:1,U2:0" as a map; the empty text is the empty map.
QMap<QString, int> receiversOf(const QString &text)
{
    QMap<QString, int> m;
    for (const QString &part : text.split(',', Qt::SkipEmptyParts))
        m.insert(part.section(':', 0, 0), part.section(':', 1).toInt());
    return m;
}

enum class Change { None, RowA1, RowsOfA, MemberU2, AssignmentUG, AssignmentB_U2 };

GroupLayer changed(const GroupLayer &l, Change c)
{
    switch (c) {
    case Change::None: return l;
    case Change::RowA1: return l.withoutRow("A", 1);
    case Change::RowsOfA: return l.withoutRowsOf("A");
    case Change::MemberU2: return l.withoutMember("UG", "U2");
    case Change::AssignmentUG: return l.withoutAssignment("A", "UG");
    case Change::AssignmentB_U2: return l.withoutAssignment("B", "U2");
    }
    return l;
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestGroupArithmetic : public QObject {
    Q_OBJECT
private slots:
    void receivers_data();
    void receivers();
    void lost_data();
    void lost();
    void givenPrivileges();
    void statements_data();
    void statements();
    void layerReadFromDatabase();
    void conditionsSeeBrokenTables_data();
    void conditionsSeeBrokenTables();
};

void TestGroupArithmetic::receivers_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("privilege");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two groups, highest option") << Change::None << "T1" << "" << "Select" << "PUBLIC:0,U1:1,U2:1,U3:1";
    QTest::newRow("owner left out") << Change::None << "T2" << "" << "Select" << "U1:0,U2:0";
    QTest::newRow("column is its own privilege") << Change::None << "T1" << "C1" << "Update" << "U1:0,U2:0,U3:0";
    QTest::newRow("whole-object update") << Change::None << "T1" << "" << "Update" << "PUBLIC:0,U2:0";
    QTest::newRow("row gone, other group keeps it") << Change::RowA1 << "T1" << "" << "Select" << "PUBLIC:0,U2:0";
    QTest::newRow("group emptied") << Change::RowsOfA << "T1" << "C1" << "Update" << "";
    QTest::newRow("member leaves, direct group keeps") << Change::MemberU2 << "T1" << "" << "Select" << "PUBLIC:0,U1:1,U2:0,U3:1";
    QTest::newRow("member leaves, loses column") << Change::MemberU2 << "T1" << "C1" << "Update" << "U1:0,U3:0";
    QTest::newRow("user group unassigned") << Change::AssignmentUG << "T1" << "" << "Select" << "PUBLIC:0,U1:1,U2:0";
    QTest::newRow("direct assignment gone, user group keeps")
        << Change::AssignmentB_U2 << "T1" << "" << "Select" << "PUBLIC:0,U1:1,U2:1,U3:1";
    QTest::newRow("direct assignment gone") << Change::AssignmentB_U2 << "T1" << "" << "Update" << "PUBLIC:0";
    QTest::newRow("nobody") << Change::None << "T9" << "" << "Select" << "";
}

void TestGroupArithmetic::receivers()
{
    QFETCH(Change, change);
    QFETCH(QString, object);
    QFETCH(QString, column);
    QFETCH(QString, privilege);
    QFETCH(QString, expected);
    QCOMPARE(changed(sampleLayer(), change).receivers({object, column, privilege}), receiversOf(expected));
}

void TestGroupArithmetic::lost_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("revoke");
    QTest::addColumn<QStringList>("optionOnly");
    QTest::newRow("nothing lost") << "U1:1,U2:0" << "U1:1,U2:0" << QStringList{} << QStringList{};
    QTest::newRow("gone") << "U1:0,U2:1" << "" << QStringList{"U1", "U2"} << QStringList{};
    QTest::newRow("option only") << "U1:1" << "U1:0" << QStringList{} << QStringList{"U1"};
    QTest::newRow("option kept elsewhere") << "U1:1" << "U1:1" << QStringList{} << QStringList{};
    QTest::newRow("mixed") << "PUBLIC:1,U1:1,U2:0" << "PUBLIC:0,U2:0" << QStringList{"U1"} << QStringList{"PUBLIC"};
}

void TestGroupArithmetic::lost()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QStringList, revoke);
    QFETCH(QStringList, optionOnly);
    const LostPrivilege l = lostBy(receiversOf(before), receiversOf(after));
    QCOMPARE(l.revoke, revoke);
    QCOMPARE(l.optionOnly, optionOnly);
}

void TestGroupArithmetic::givenPrivileges()
{
    GroupLayer l = sampleLayer();
    // The same whole-object privilege twice in one group (as a NULL and an
    // empty column read alike) is one privilege.
    l.rows << GroupRow{4, "A", {"T2", "", "Select"}, 1};
    QStringList given;
    for (const GivenPrivilege &g : l.given())
        given << QStringLiteral("%1 %2 %3(%4) %5").arg(g.user, g.key.object, g.key.privilege, g.key.column).arg(g.option);
    QCOMPARE(given, (QStringList{"PUBLIC T1 Select() 0", "PUBLIC T1 Update() 0", "U1 T1 Select() 1", "U1 T1 Update(C1) 0",
                                 "U1 T2 Select() 1", "U2 T1 Select() 1", "U2 T1 Update() 0", "U2 T1 Update(C1) 0",
                                 "U2 T2 Select() 1", "U3 T1 Select() 1", "U3 T1 Update(C1) 0"}));
    QCOMPARE(l.usersReached("A"), (QStringList{"U1", "U2", "U3"}));
    QCOMPARE(l.usersReached("B"), (QStringList{"PUBLIC", "U2"}));
}

void TestGroupArithmetic::statements_data()
{
    QTest::addColumn<bool>("grant");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("privilege");
    QTest::addColumn<bool>("option");
    QTest::addColumn<QStringList>("lines");
    const QStringList users{"U1", "PUBLIC"};
    QTest::newRow("revoke") << false << "T1" << "" << "Select" << false
                            << QStringList{"revoke Select", " on ", "T1 from U1,PUBLIC"};
    QTest::newRow("revoke option, column") << false << "T1" << "C1" << "Update" << true
                                           << QStringList{"revoke grant option for Update", "(C1)", " on ", "T1 from U1,PUBLIC"};
    QTest::newRow("revoke execute") << false << "P1" << "" << "Execute" << false
                                    << QStringList{"revoke Execute", " on ", "procedure ", "P1 from U1,PUBLIC"};
    QTest::newRow("grant column with option") << true << "T1" << "C2" << "Update" << true
                                              << QStringList{"grant Update", "(C2)", " on ", "T1", " to U1,PUBLIC",
                                                             " with grant option"};
    QTest::newRow("grant execute") << true << "P1" << "" << "Execute" << false
                                   << QStringList{"grant Execute", " on ", "procedure ", "P1", " to U1,PUBLIC"};
}

void TestGroupArithmetic::statements()
{
    QFETCH(bool, grant);
    QFETCH(QString, object);
    QFETCH(QString, column);
    QFETCH(QString, privilege);
    QFETCH(bool, option);
    QFETCH(QStringList, lines);
    const PrivilegeKey key{object, column, privilege};
    const QStringList users{"U1", "PUBLIC"};
    QCOMPARE(grant ? groupGrantStatement(key, users, option) : groupRevokeStatement(key, users, option), lines);
    // A grantee list that is not a list of plain names is never sent.
    QVERIFY_THROWS_EXCEPTION(engine::Error, groupRevokeStatement(key, {"U1 ,U2"}, false));
}

void TestGroupArithmetic::layerReadFromDatabase()
{
    TestDatabase t;
    auto d = connectWithLayer(t);
    auto &db = d->grantdb;
    {
        auto u3 = t.connect();
        exec(*u3, "create table T1 (C1 integer)");
        exec(*u3, "grant create table to U3");
    }
    exec(*t.connect("U3", "U3"), "create table T2 (C1 integer)");
    for (const char *sql : {"insert into meta$grantdef values ('A', null)", "insert into meta$grantdef values ('B', null)",
                            "insert into meta$grantlist values (1, 'A', 'T1', 'Table', null, 'Select', 1)",
                            "insert into meta$grantlist values (1, 'B', 'T1', 'Table', '', 'Select', 0)",
                            "insert into meta$grantlist values (2, 'B', 'T2', 'Table', '', 'Select', 0)",
                            "insert into meta$usersdef values ('UG', null, 2)",
                            "insert into meta$grantusers values (1, 'A', 'UG', 2)",
                            "insert into meta$grantusers values (2, 'B', 'PUBLIC', 2)",
                            "insert into meta$grantusers values (3, 'B', 'U3', 0)",
                            "insert into meta$userslist values (1, 'UG', 'U1')"})
        exec(db, QString::fromLatin1(sql));
    const GroupLayer l = readGroupLayer(db);
    QCOMPARE(l.rows.size(), 3);
    QCOMPARE(l.receivers({"T1", "", "Select"}), receiversOf("PUBLIC:0,U1:1,U3:0"));
    QCOMPARE(l.receivers({"T2", "", "Select"}), receiversOf("PUBLIC:0"));
    QVERIFY(l.owners.owns("U3", "T2"));
    QCOMPARE(l.owners.withoutOwners({"U1", "U3"}, "T2"), QStringList{"U1"});
    QCOMPARE(readObjectOwners(db, "T1").withoutOwners({"SYSDBA", "U3"}, "T1"), QStringList{"U3"});
}

void TestGroupArithmetic::conditionsSeeBrokenTables_data()
{
    // The page layer agrees; one statement breaks it.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("seen");
    QTest::newRow("a user group its own member") << "insert into meta$userslist values (2, 'UG', 'UG')"
                                                 << "condition 6: not a user,UG,UG";
    QTest::newRow("PUBLIC a member") << "insert into meta$userslist values (2, 'UG', 'PUBLIC')" << "condition 6: not a user,UG,PUBLIC";
    QTest::newRow("an unregistered member") << "insert into meta$userslist values (2, 'UG', 'U9')" << "condition 6: not a user,UG,U9";
    QTest::newRow("a member twice") << "insert into meta$userslist values (2, 'UG', 'U2')" << "condition 6: twice,UG,U2";
    QTest::newRow("a deleted grant group's holders") << "delete from meta$grantdef where ggname = 'GG'"
                                                      << "condition 7: META$GRANTUSERS,GG:U1";
    QTest::newRow("a deleted grant group's users") << "delete from meta$grantdef where ggname = 'GG'"
                                                    << "condition 7: META$USERSGRANT,GG:U2";
    QTest::newRow("a privilege of no grant group") << "insert into meta$grantlist values (1, 'NOGROUP', 'T1', 'Table', null, 'Select', 0)"
                                                   << "condition 7: META$GRANTLIST,NOGROUP";
    QTest::newRow("a deleted user's assignment") << "delete from meta$usersdef where ugname = 'U3'"
                                                  << "condition 7: META$GRANTUSERS,GG:U3";
    QTest::newRow("a deleted user group's members") << "delete from meta$usersdef where ugname = 'UG'"
                                                     << "condition 7: META$USERSLIST,UG";
}

void TestGroupArithmetic::conditionsSeeBrokenTables()
{
    QFETCH(QString, fault);
    QFETCH(QString, seen);
    TestDatabase t;
    auto d = pageDatabase(t);
    CHECK_AGREES(d, t);
    exec(d->grantdb, fault);
    const QStringList found = disagreements(d->grantdb);
    QVERIFY2(found.contains(seen), qPrintable(found.join("; ")));
}

DUNMOOR_TEST_MAIN(TestGroupArithmetic)
#include "tst_grouparithmetic.moc"
