// The data module: the filter of the candidate list, the option queries,
// the revocation-rights test and the handlers that reach the window.
#include "PrivilegesFixture.h"
#include "privileges/RevokeRights.h"
#include "support/TestMain.h"

using namespace privtest;
using testsupport::exec;
using testsupport::TestDatabase;

namespace {

struct RecordingView : GrantDataView {
    bool pageActive = false;
    QStringList calls;
    bool grantGroupsPageActive() const override { return pageActive; }
    void setGroupButtons(bool add, bool delMod) override { calls << QString("group %1 %2").arg(add).arg(delMod); }
    void enableGroupCommit() override { calls << "commit"; }
    void setRemoveButtons(bool on) override { calls << QString("remove %1").arg(on); }
    void setPrivilegeButton(bool automatic) override { calls << QString("button %1").arg(automatic); }
    void setRevokeEnabled(bool on) override { calls << QString("revoke %1").arg(on); }
    void setMembersTitle(const QString &t) override { calls << "members" + t; }
    void setHoldersTitle(const QString &t) override { calls << "holders" + t; }
    void ubuttons() override { calls << "ubuttons"; }
};

// The layer made empty, then filled with the given rows, committed.
std::unique_ptr<TGrantData> withLayer(const TestDatabase &t, const QStringList &inserts)
{
    auto d = connectWithLayer(t);
    for (const QString &sql : inserts)
        exec(d->grantdb, sql);
    d->transaction.commit();
    return d;
}

} // namespace

class TestGrantData : public QObject {
    Q_OBJECT
private slots:
    void usersDefFilter_data();
    void usersDefFilter();
    void filterFollowsCurrentGroup();
    void optionQueriesTakeNullAndEmptyColumnAlike_data();
    void optionQueriesTakeNullAndEmptyColumnAlike();
    void revokeRights_data();
    void revokeRights();
    void sessionUserIsTheServersName();
    void grantListHandlers();
    void privilegeListFields();
};

void TestGrantData::usersDefFilter_data()
{
    QTest::addColumn<bool>("members");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("filter");
    QTest::newRow("no members") << true << QStringList{} << "([usertype]=0)";
    QTest::newRow("members") << true << QStringList{"U1", "U2"} << "([usertype]=0) and ([ugname]<>'U1') and ([ugname]<>'U2')";
    QTest::newRow("holders") << false << QStringList{"PUBLIC"} << "(([usertype]=0) or ([usertype]=2)) and ([ugname]<>'PUBLIC')";
    QTest::newRow("quote doubled") << true << QStringList{"O'H"} << "([usertype]=0) and ([ugname]<>'O''H')";
}

void TestGrantData::usersDefFilter()
{
    QFETCH(bool, members);
    QFETCH(QStringList, names);
    QFETCH(QString, filter);
    QCOMPARE(TGrantData::usersDefFilter(members, names), filter);
}

void TestGrantData::filterFollowsCurrentGroup()
{
    TestDatabase t;
    auto d = withLayer(t, {"insert into meta$usersdef values ('U1', null, 0)", "insert into meta$usersdef values ('U2', null, 0)",
                           "insert into meta$usersdef values ('G1', null, 2)", "insert into meta$usersdef values ('G2', null, 2)",
                           "insert into meta$userslist values (1, 'G1', 'U1')", "insert into meta$userslist values (1, 'G2', 'U2')",
                           "insert into meta$userslist values (2, 'G2', 'U1')", "insert into meta$grantdef values ('GG', null)",
                           "insert into meta$grantusers values (1, 'GG', 'G1', 2)"});
    RecordingView view;
    d->setView(&view);
    d->usersdef.open();
    d->usersgrp.open();
    d->usergrp.open(); // G1 first
    QCOMPARE(d->usersdef.filter(), QString("([usertype]=0) and ([ugname]<>'U1')"));
    QCOMPARE(d->usersdef.recordCount(), 1); // U2
    QVERIFY(view.calls.contains("members 'G1'"));
    QVERIFY(view.calls.contains("ubuttons"));
    d->usergrp.next();
    QCOMPARE(d->usersdef.filter(), QString("([usertype]=0) and ([ugname]<>'U2') and ([ugname]<>'U1')"));
    QCOMPARE(d->usersdef.recordCount(), 0);
    QCOMPARE(view.calls.filter("members").last(), QString("members 'G2'"));

    // A closed list leaves the filter as it was.
    d->usersgrp.close();
    d->FilterUsersDef(d->usersgrp, false);
    QCOMPARE(d->usersdef.filter(), QString("([usertype]=0) and ([ugname]<>'U2') and ([ugname]<>'U1')"));

    d->metasgrp.open();
    d->metagrp.open();
    QCOMPARE(d->usersdef.filter(), QString("(([usertype]=0) or ([usertype]=2)) and ([ugname]<>'G1')"));
    QCOMPARE(d->usersdef.recordCount(), 4); // G2, PUBLIC, U1, U2
    QCOMPARE(view.calls.filter("holders").last(), QString("holders 'GG'"));
    // Reopening picks up a holder added meanwhile.
    exec(d->grantdb, "insert into meta$grantusers values (2, 'GG', 'U1', 0)");
    d->FilterUsersDef(d->metasgrp, true);
    QCOMPARE(d->usersdef.filter(), QString("(([usertype]=0) or ([usertype]=2)) and ([ugname]<>'G1') and ([ugname]<>'U1')"));
}

void TestGrantData::optionQueriesTakeNullAndEmptyColumnAlike_data()
{
    QTest::addColumn<QString>("stored");  // the column of the other group's row, SQL text
    QTest::addColumn<QVariant>("asked");  // the :tvcol value
    QTest::addColumn<int>("found");
    QTest::newRow("null stored, empty asked") << "null" << QVariant(QString("")) << 1;
    QTest::newRow("empty stored, null asked") << "''" << QVariant() << 1;
    QTest::newRow("null stored, null asked") << "null" << QVariant() << 1;
    QTest::newRow("column stored, column asked") << "'C1'" << QVariant(QString("C1")) << 1;
    QTest::newRow("column stored, whole asked") << "'C1'" << QVariant(QString("")) << 0;
    QTest::newRow("whole stored, column asked") << "null" << QVariant(QString("C1")) << 0;
}

void TestGrantData::optionQueriesTakeNullAndEmptyColumnAlike()
{
    QFETCH(QString, stored);
    QFETCH(QVariant, asked);
    QFETCH(int, found);
    TestDatabase t;
    // U1 holds GA directly and GB through the user group UG.
    auto d = withLayer(t, {"insert into meta$grantlist values (1, 'GA', 'T1', 'Table', " + stored + ", 'Select', 1)",
                           "insert into meta$grantusers values (1, 'GA', 'U1', 0)",
                           "insert into meta$grantusers values (1, 'GB', 'UG', 2)",
                           "insert into meta$usersgrant values (1, 'GA', 'U1')",
                           "insert into meta$usersgrant values (1, 'GB', 'U1')"});
    d->ggopt.setParam("gfname", "GB");
    d->ggopt.setParam("tvname", "T1");
    d->ggopt.setParam("tvcol", asked);
    d->ggopt.setParam("ggtype", "Select");
    d->ggopt.setParam("ufname", "U1");
    d->ggopt.open();
    QCOMPARE(d->ggopt.recordCount(), found);
    d->ggopt2.setParam("ggtype", "Select");
    d->ggopt2.setParam("tvname", "T1");
    d->ggopt2.setParam("tvcol", asked);
    d->ggopt2.setParam("uu", "UG");
    d->ggopt2.setParam("u", "U1");
    d->ggopt2.open();
    QCOMPARE(d->ggopt2.recordCount(), found);
}

void TestGrantData::revokeRights_data()
{
    // Statements sent in the open transaction before the test.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("users");
    QTest::addColumn<QString>("privilege");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("option");
    QTest::addColumn<bool>("refused");
    QTest::newRow("granted") << QStringList{} << QStringList{"U1"} << "Select" << "" << false << false;
    QTest::newRow("with option") << QStringList{} << QStringList{"U1"} << "Select" << "" << true << false;
    QTest::newRow("another grantor's") << QStringList{} << QStringList{"U1", "U3"} << "Select" << "" << false << true;
    QTest::newRow("column") << QStringList{} << QStringList{"U2"} << "Update" << "C1" << false << false;
    QTest::newRow("column without option") << QStringList{} << QStringList{"U2"} << "Update" << "C1" << true << true;
    QTest::newRow("other column") << QStringList{} << QStringList{"U2"} << "Update" << "C2" << false << true;
    QTest::newRow("execute") << QStringList{} << QStringList{"PUBLIC"} << "Execute" << "" << false << false;
    QTest::newRow("execute, option asked") << QStringList{} << QStringList{"PUBLIC"} << "Execute" << "" << true << true;
    QTest::newRow("granted in this transaction") << QStringList{"grant select on T1 to U4"} << QStringList{"U1", "U4"}
                                                 << "Select" << "" << false << false;
    QTest::newRow("revoked in this transaction") << QStringList{"revoke select on T1 from U1"} << QStringList{"U1"}
                                                 << "Select" << "" << false << true;
    // A procedure of a user's name holds it: the user does not.
    QTest::newRow("held by a procedure of the name")
        << QStringList{"create procedure U5 as begin end", "grant select on T1 to procedure U5"} << QStringList{"U5"}
        << "Select" << "" << false << true;
}

void TestGrantData::revokeRights()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, users);
    QFETCH(QString, privilege);
    QFETCH(QString, column);
    QFETCH(bool, option);
    QFETCH(bool, refused);
    TestDatabase t;
    {
        auto db = t.connect();
        for (const char *sql : {"create table T1 (C1 integer, C2 integer)", "create procedure T1P as begin end",
                                "grant select on T1 to U1 with grant option", "grant update(C1) on T1 to U2",
                                "grant execute on procedure T1P to PUBLIC"})
            exec(*db, sql);
        auto u1 = t.connect("U1", "U1");
        exec(*u1, "grant select on T1 to U3");
    }
    auto d = connectGrantData(t);
    for (const QString &sql : before)
        d->execQ({sql});
    const QString object = privilege == "Execute" ? "T1P" : "T1";
    QCOMPARE(privileges::CheckRevokeRights(d->grantdb, privileges::sessionUser(d->grantdb), users, privilege, object,
                                           column, option),
             refused);
}

void TestGrantData::sessionUserIsTheServersName()
{
    TestDatabase t;
    auto d = connectGrantData(t, "u1");
    QCOMPARE(privileges::sessionUser(d->grantdb), QString("U1"));
}

void TestGrantData::grantListHandlers()
{
    TestDatabase t;
    auto d = withLayer(t, {"insert into meta$grantdef values ('G1', null)",
                           "insert into meta$grantlist values (0, 'G1', 'P1', 'Procedure', null, 'Execute', 0)",
                           "insert into meta$grantlist values (1, 'G1', 'T1', 'Table', null, 'Select', 1)",
                           "insert into meta$grantlist values (2, 'G1', 'T2', 'Table', 'C1', 'Update', 0)"});
    RecordingView view;
    d->setView(&view);
    d->MetaGrantDef.open();
    QVERIFY(view.calls.filter("group").isEmpty()); // not on the group page
    view.pageActive = true;
    d->MetaGrantDef.refresh();
    QCOMPARE(view.calls.filter("group").last(), QString("group 1 1"));

    d->MetaGrantlist.open();
    QCOMPARE(d->MetaGrantlist.recordCount(), 3);
    QCOMPARE(view.calls.filter("button").last(), QString("button 0")); // procedure
    QCOMPARE(d->MetaGrantlist.fieldByName("option").asBoolean(), false);
    d->MetaGrantlist.next();
    QCOMPARE(view.calls.filter("button").last(), QString("button 1")); // whole table
    QCOMPARE(d->MetaGrantlist.fieldByName("option").asBoolean(), true);
    d->MetaGrantlist.next();
    QCOMPARE(view.calls.filter("button").last(), QString("button 0")); // column
    QCOMPARE(view.calls.filter("remove").last(), QString("remove 1"));
    QVERIFY(!d->MetaGrantlist.fields()[d->MetaGrantlist.fieldIndex("ID")].visible);

    // Rows never come in through the grid.
    d->MetaGrantlist.insert();
    QCOMPARE(d->MetaGrantlist.state(), engine::DataSetState::Browse);
    QCOMPARE(d->MetaGrantlist.recordCount(), 3);
    view.calls.clear();
    d->MetaGrantlist.edit();
    QCOMPARE(view.calls.filter("commit"), QStringList{"commit"});
    d->MetaGrantlist.cancel();

    exec(d->grantdb, "delete from meta$grantlist");
    d->MetaGrantlist.refresh();
    QCOMPARE(view.calls.filter("remove").last(), QString("remove 0"));
}

void TestGrantData::privilegeListFields()
{
    TestDatabase t;
    {
        auto db = t.connect();
        exec(*db, "create table T1 (C1 integer)");
        exec(*db, "grant select on T1 to U1 with grant option");
        exec(*db, "grant update(C1) on T1 to U1");
    }
    auto d = connectGrantData(t);
    RecordingView view;
    d->setView(&view);
    d->TrigList.setFilter("[rdb$user]='U1'");
    d->TrigList.open();
    QCOMPARE(d->TrigList.recordCount(), 2);
    QCOMPARE(view.calls.filter("revoke").last(), QString("revoke 1"));
    QStringList seen;
    for (d->TrigList.first(); !d->TrigList.eof(); d->TrigList.next())
        seen << d->TrigList.fieldByName("privilege").asString() + " " + d->TrigList.fieldByName("GrantOption").text();
    seen.sort();
    QCOMPARE(seen, (QStringList{"Select true", "Update false"}));
    QCOMPARE(d->TrigList.fields()[0].displayLabel, QString("MetaObject"));
    d->TrigList.setFilter("[rdb$user]='NOBODY'");
    QCOMPARE(view.calls.filter("revoke").last(), QString("revoke 0"));
}

DUNMOOR_TEST_MAIN(TestGrantData)
#include "tst_grantdata.moc"
