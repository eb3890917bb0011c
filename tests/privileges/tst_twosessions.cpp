// Two sessions on one database: another one deletes a grant group, a user or
// a user group and commits while this one still lists it. Every change that
// would write rows for it is refused before anything is sent, the work
// pending here stays, and the lists show what is there now.
#include "PrivilegesFixture.h"
#include "privileges/GroupAssignments.h"
#include "privileges/GroupRevokes.h"
#include "privileges/LayerChecks.h"
#include "privileges/UserGroupMembers.h"
#include "privileges/UserRegistry.h"
#include "support/TestMain.h"

using namespace privtest;
using namespace privileges;

namespace {

enum class Gone { GrantGroup, User, UserGroup };
enum class Change { AddPrivilege, RemoveRow, SwitchOption, Assign, TakeBack, Join, LeaveAll, AssignToUser, ModifyUser,
                    RenameUserGroup };

} // namespace

Q_DECLARE_METATYPE(Gone)
Q_DECLARE_METATYPE(Change)

class TestTwoSessions : public QObject {
    Q_OBJECT
private slots:
    void changeOfWhatIsGoneIsRefused_data();
    void changeOfWhatIsGoneIsRefused();
};

void TestTwoSessions::changeOfWhatIsGoneIsRefused_data()
{
    QTest::addColumn<Gone>("gone");
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("message");
    const QString group = goneText(LayerName::GrantGroup, "GG");
    QTest::newRow("privilege added to a deleted grant group") << Gone::GrantGroup << Change::AddPrivilege << group;
    QTest::newRow("row removed from it") << Gone::GrantGroup << Change::RemoveRow << group;
    QTest::newRow("its option switched") << Gone::GrantGroup << Change::SwitchOption << group;
    QTest::newRow("it assigned") << Gone::GrantGroup << Change::Assign << group;
    QTest::newRow("it taken back") << Gone::GrantGroup << Change::TakeBack << group;
    QTest::newRow("a deleted user joins") << Gone::User << Change::Join << notAUserText("U1");
    QTest::newRow("a deleted user assigned") << Gone::User << Change::AssignToUser << goneText(LayerName::Holder, "U1");
    QTest::newRow("a deleted user modified") << Gone::User << Change::ModifyUser << goneText(LayerName::User, "U1");
    const QString userGroup = goneText(LayerName::UserGroup, "UG");
    QTest::newRow("joining a deleted user group") << Gone::UserGroup << Change::Join << userGroup;
    QTest::newRow("its members removed") << Gone::UserGroup << Change::LeaveAll << userGroup;
    QTest::newRow("it renamed") << Gone::UserGroup << Change::RenameUserGroup << userGroup;
}

void TestTwoSessions::changeOfWhatIsGoneIsRefused()
{
    QFETCH(Gone, gone);
    QFETCH(Change, change);
    QFETCH(QString, message);
    Page p;
    TGrantData &d = *p.d;
    GroupRemovals removals(d, p.progress);
    UserGroupMembers members(d, p.progress);
    GroupAssignments assignments(d, p.progress);
    UserRegistry registry(d, p.progress);
    // GG gives Select on T1; every list of this session is open.
    d.execQ({"insert into meta$grantlist values (1, 'GG', 'T1', 'Table', null, 'Select', 0)"});
    d.execQ({"grant select on T1 to U1,U2,U3"});
    d.transaction.commit();
    for (engine::DataSet *ds : std::initializer_list<engine::DataSet *>{&d.usersdef, &d.usergrp, &d.usersgrp, &d.metagrp,
                                                                          &d.metasgrp})
        ds->open();
    d.MetaGrantlist.refresh();
    QCOMPARE(d.MetaGrantlist.recordCount(), 1);
    QVERIFY(d.usergrp.locate("UGNAME", "UG"));
    QVERIFY(d.metagrp.locate("GGNAME", "GG"));

    // Work pending here: EMPTYG (giving nothing yet) assigned to U3.
    assignments.assign({"U3", 0}, "EMPTYG");
    // The other session deletes, answering Yes to every question.
    {
        auto other = connectGrantData(p.t);
        NoProgress quiet;
        switch (gone) {
        case Gone::GrantGroup:
            other->MetaGrantDef.open();
            other->MetaGrantlist.open();
            QVERIFY(other->MetaGrantDef.locate("GGNAME", "GG"));
            GrantGroups(*other, quiet).deleteGroup(true);
            break;
        case Gone::User: UserRegistry(*other, quiet).deleteUser("U1"); break;
        case Gone::UserGroup:
            other->usergrp.open();
            QVERIFY(other->usergrp.locate("UGNAME", "UG"));
            UserRegistry(*other, quiet).deleteCurrentUserGroup();
            break;
        }
    }
    const QStringList pending = state(d.grantdb);
    engine::StatementRecorder log;
    QString shown;
    try {
        switch (change) {
        case Change::AddPrivilege: p.groups.addProcedure("P1"); break;
        case Change::RemoveRow: removals.removeRow(); break;
        case Change::SwitchOption: removals.switchOption(); break;
        case Change::Assign: assignments.assign({"U2", 0}, "GG"); break;
        case Change::TakeBack: assignments.remove("GG", "U1"); break;
        case Change::Join: members.addMember("U1"); break;
        case Change::LeaveAll: members.removeAllMembers(); break;
        case Change::AssignToUser: assignments.assign({"U1", 0}, "EMPTYG"); break;
        case Change::ModifyUser: registry.saveUser({false, "U1", "U1", false, "moved"}); break;
        case Change::RenameUserGroup: registry.saveUserGroup({false, "UG", "UG2", true, QString()}); break;
        }
    } catch (const engine::Error &e) {
        shown = e.message();
    }
    QCOMPARE(shown, message);
    QCOMPARE(changes(log), QStringList());
    QCOMPARE(state(d.grantdb), pending);
    QVERIFY(!d.transaction.pending().isEmpty());
    // The lists no longer offer what is gone.
    QVERIFY(!column(d.MetaGrantDef, "GGNAME").contains("GG") || gone != Gone::GrantGroup);
    QVERIFY(!column(d.metagrp, "GGNAME").contains("GG") || gone != Gone::GrantGroup);
    QVERIFY(!column(d.usergrp, "UGNAME").contains("UG") || gone != Gone::UserGroup);
    d.transaction.commit();
    CHECK_AGREES(p.d, p.t);
}

DUNMOOR_TEST_MAIN(TestTwoSessions)
#include "tst_twosessions.moc"
