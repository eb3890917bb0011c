// Grant groups on real databases: making, renaming and deleting groups and
// adding privileges to them, with the exact statements sent, the state a
// second connection sees after each commit, the five agreement conditions
// after every step, and injected failures that must leave the last
// committed state.
#include "PrivilegesFixture.h"
#include "privileges/GrantGroups.h"
#include "privileges/GroupRevokes.h"
#include "privileges/MetaTrees.h"
#include "privileges/gmes_un.h"
#include "support/GuiTestMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTableWidget>

using namespace privtest;
using namespace privileges;
using testsupport::exec;
using testsupport::TestDatabase;

namespace {

TreeNodes objectTree(TGrantData &d)
{
    NoProgress quiet;
    return FillMetaTree(d, quiet).metatree;
}

GrantChoice tableChoice(bool select, bool insert, bool remove, const QStringList &updateColumns, bool allColumns,
                        bool updateOption = false)
{
    GrantChoice c;
    c.object = "T1";
    c.select = select;
    c.insert = insert;
    c.remove = remove;
    c.update = allColumns || !updateColumns.isEmpty();
    c.updateColumns = updateColumns;
    c.allColumns = allColumns;
    c.updateOption = updateOption;
    return c;
}

const QString kUsers = "U1,U2,U3";

QString listInsert(int id, const QString &group, const QString &object, const QString &type, const QString &column,
                   const QString &privilege, int option)
{
    return QString("insert into meta$grantlist values(%1,\n\"%2\",\"%3\",\n\"%4\",%5,\"%6\",\n%7)")
        .arg(id)
        .arg(group, object, type, column.isEmpty() ? "null" : '"' + column + '"', privilege)
        .arg(option);
}

QString rootInsert(int id, const QString &group, const QString &object, const QString &type, const QString &privilege)
{
    return QString("insert into meta$grantlist values(%1,\n\"%2\",\n\"%3\",\"%4\",null,\"%5\",0)")
        .arg(id)
        .arg(group, object, type, privilege);
}

enum class Failing { Root, Dialog, Procedure, DeleteRevoking, Rename };

} // namespace

Q_DECLARE_METATYPE(MoveTarget::Kind)
Q_DECLARE_METATYPE(GroupEdit)
Q_DECLARE_METATYPE(Failing)

class TestGrantGroups : public QObject {
    Q_OBJECT
private slots:
    void editButtons_data();
    void editButtons();
    void moveTargets_data();
    void moveTargets();
    void saveNewGroup_data();
    void saveNewGroup();
    void refusedSaves_data();
    void refusedSaves();
    void renameCarriesNameIntoFourTables();
    void selectAndInsertPendingUntilCommit();
    void updateColumns_data();
    void updateColumns();
    void grantDialogInGroupMode();
    void executeOnProcedureOnce();
    void moveAllGrantsEachPrivilegeOnceAndNotToOwners();
    void rootAfterImportAddsNoDuplicate();
    void groupWithoutUsersGrantsNothing();
    void deleteGroup_data();
    void deleteGroup();
    void deleteKeepsColumnUpdateAnotherGroupGives();
    void rollbackDropsPendingWork();
    void injectedFailureLeavesLastCommit_data();
    void injectedFailureLeavesLastCommit();
};

void TestGrantGroups::editButtons_data()
{
    QTest::addColumn<GroupEdit>("edit");
    QTest::addColumn<QString>("add");
    QTest::addColumn<QString>("del");
    QTest::addColumn<bool>("browse");
    QTest::addColumn<int>("tag");
    QTest::newRow("browse") << GroupEdit::Browse << "   &AddGrantGroup" << "&DeleteGrantGroup" << true << 0;
    QTest::newRow("new") << GroupEdit::NewGroup << "  &SaveGrantGroup" << "&CancelGrantGroup" << false << 0;
    QTest::newRow("rename") << GroupEdit::Rename << "&UpdateGrantGroup" << "&CancelGrantGroup" << false << 1;
}

void TestGrantGroups::editButtons()
{
    QFETCH(GroupEdit, edit);
    QFETCH(QString, add);
    QFETCH(QString, del);
    QFETCH(bool, browse);
    QFETCH(int, tag);
    const GroupEditButtons b = groupEditButtons(edit);
    QCOMPARE(b.addCaption, add);
    QCOMPARE(b.deleteCaption, del);
    QCOMPARE(b.modifyEnabled, browse);
    QCOMPARE(b.listVisible, browse);
    QCOMPARE(b.nameTag, tag);
}

void TestGrantGroups::moveTargets_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<MoveTarget::Kind>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<int>("tag");
    QTest::newRow("root") << QStringList{"Views"} << MoveTarget::Kind::Root << "" << "" << QStringList{} << 0;
    QTest::newRow("procedure") << QStringList{"Stored Procedures", "P1"} << MoveTarget::Kind::Procedure << "P1" << "Procedure"
                               << QStringList{} << 0;
    QTest::newRow("table") << QStringList{"Tables", "T1"} << MoveTarget::Kind::Object << "T1" << "Table"
                           << QStringList{"C1", "C2", "C3"} << 0;
    QTest::newRow("view column") << QStringList{"Views", "V1", "C1"} << MoveTarget::Kind::Column << "V1" << "View"
                                 << QStringList{"C1"} << 1;
    QTest::newRow("unknown") << QStringList{"Tables", "T9"} << MoveTarget::Kind::Nothing << "" << "" << QStringList{} << 0;
}

void TestGrantGroups::moveTargets()
{
    QFETCH(QStringList, path);
    QFETCH(MoveTarget::Kind, kind);
    QFETCH(QString, object);
    QFETCH(QString, type);
    QFETCH(QStringList, columns);
    QFETCH(int, tag);
    const TreeNodes tree{{"Tables", 0, 1, {{"T1", 2, 3, {{"C1", 4, 5, {}}, {"C2", 4, 5, {}}, {"C3", 4, 5, {}}}}}},
                         {"Views", 0, 1, {{"V1", 2, 3, {{"C1", 4, 5, {}}}}}},
                         {"Stored Procedures", 0, 1, {{"P1", 2, 3, {}}}}};
    const MoveTarget m = moveTargetOf(tree, path);
    QCOMPARE(m.kind, kind);
    QCOMPARE(m.object, object);
    QCOMPARE(m.type, type);
    QCOMPARE(m.columns, columns);
    QCOMPARE(m.dialogTag, tag);
    QCOMPARE(m.root != nullptr, kind == MoveTarget::Kind::Root);
}

void TestGrantGroups::saveNewGroup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("memo");
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("stored");
    QTest::newRow("lines joined") << "G1" << QStringList{"first ", "second"} << "(\"G1\",\"first second\")" << "first second";
    QTest::newRow("quote doubled") << "G2" << QStringList{"say \"hi\""} << "(\"G2\",\"say \"\"hi\"\"\")" << "say \"hi\"";
    QTest::newRow("cut to 255") << "G3" << QStringList{QString(200, 'a'), QString(100, 'b')}
                                << "(\"G3\",\"" + QString(200, 'a') + QString(55, 'b') + "\")"
                                << QString(200, 'a') + QString(55, 'b');
    QTest::newRow("no description") << "G4" << QStringList{} << "(\"G4\",\"\")" << "";
}

void TestGrantGroups::saveNewGroup()
{
    QFETCH(QString, name);
    QFETCH(QStringList, memo);
    QFETCH(QString, values);
    QFETCH(QString, stored);
    Page p;
    // A move made before the save is committed with it.
    QVERIFY(p.groups.addProcedure("P1"));
    engine::StatementRecorder log;
    p.groups.saveGroup(GroupEdit::NewGroup, name, memo);
    QCOMPARE(changes(log), QStringList{"insert into meta$grantdef values\n" + values});
    auto second = p.t.connect("SYSDBA", "Second");
    QCOMPARE(rows(*second, "select ggdesc from meta$grantdef where ggname = '" + name + "'"), QStringList{stored});
    QCOMPARE(count(*second, "select count(*) from meta$grantlist where gfname = 'GG' and tvname = 'P1'"), 1);
    QVERIFY(p.d->MetaGrantDef.locate("GGNAME", name));
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::refusedSaves_data()
{
    QTest::addColumn<GroupEdit>("edit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    const QString plain = "A GrantGroup name is a letter followed by letters, digits, \"_\" or \"$\", at most 31 characters";
    QTest::newRow("empty") << GroupEdit::NewGroup << "" << "Fill GrantGroup name";
    QTest::newRow("quote") << GroupEdit::NewGroup << "G\"X" << plain;
    QTest::newRow("blank") << GroupEdit::Rename << "G X" << plain;
    QTest::newRow("32 characters") << GroupEdit::NewGroup << QString(32, 'G') << plain;
    QTest::newRow("new name in use") << GroupEdit::NewGroup << "EMPTYG"
                                     << "Each GrantGroup must have unique name. Please, enter another name";
    QTest::newRow("rename onto a name in use") << GroupEdit::Rename << "EMPTYG"
                                               << "Each GrantGroup must have unique name. Please, enter another name";
}

void TestGrantGroups::refusedSaves()
{
    QFETCH(GroupEdit, edit);
    QFETCH(QString, name);
    QFETCH(QString, error);
    Page p;
    const QStringList committed = state(p.d->grantdb);
    QVERIFY(p.groups.addProcedure("P1"));
    const QStringList pending = state(p.d->grantdb);
    engine::StatementRecorder log;
    try {
        p.groups.saveGroup(edit, name, {"d"});
        QFAIL("saved");
    } catch (const engine::Error &e) {
        QCOMPARE(e.message(), error);
    }
    // Every refusal here comes before the first change is sent.
    const QStringList sent = changes(log);
    QVERIFY2(sent.isEmpty(), qPrintable(sent.join('\n')));
    // A refused name sends nothing and loses nothing.
    QCOMPARE(state(p.d->grantdb), pending);
    QCOMPARE(committedState(p.t), committed);
    QVERIFY(p.d->grantdb.inTransaction());
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::renameCarriesNameIntoFourTables()
{
    Page p;
    QVERIFY(p.groups.addProcedure("P1"));
    p.groups.commit();
    const QStringList before = committedState(p.t);
    engine::StatementRecorder log;
    p.groups.saveGroup(GroupEdit::Rename, "GH", {"renamed"});
    QCOMPARE(changes(log), (QStringList{"update meta$grantlist set gfname=\"GH\" where \ngfname=\"GG\"",
                                        "update meta$grantusers set gfname=\"GH\" where \ngfname=\"GG\"",
                                        "update meta$usersgrant set gfname=\"GH\" where \ngfname=\"GG\"",
                                        "update meta$grantdef set ggname=\"GH\",ggdesc=\"renamed\" where \nggname=\"GG\""}));
    QStringList expected;
    for (QString line : before) {
        if (line == "grp|GG|<null>")
            line = "grp|GH|renamed";
        expected << line.replace("|GG|", "|GH|");
    }
    expected.sort();
    QStringList after = committedState(p.t);
    after.sort();
    QCOMPARE(after, expected);
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::selectAndInsertPendingUntilCommit()
{
    Page p;
    const QStringList committed = committedState(p.t);
    engine::StatementRecorder log;
    p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(true, true, false, {}, false)));
    QCOMPARE(changes(log), (QStringList{listInsert(1, "GG", "T1", "Table", "", "Select", 0), "grant Select\n on T1 to " + kUsers,
                                       listInsert(2, "GG", "T1", "Table", "", "Insert", 0), "grant Insert\n on T1 to " + kUsers}));
    QCOMPARE(p.d->MetaGrantlist.recordCount(), 2);
    QCOMPARE(disagreements(p.d->grantdb), QStringList());
    QCOMPARE(committedState(p.t), committed);

    p.groups.commit();
    QCOMPARE(p.progress.statuses, (QStringList{"Commit Work", ""}));
    const QStringList after = committedState(p.t);
    for (const char *held : {"priv|U1|T1:S::0", "priv|U2|T1:I::0", "priv|U3|T1:S::0", "gl|GG|2:T1:Table:<null>:Insert:0"})
        QVERIFY2(after.contains(held), held);
    QCOMPARE(after.filter("priv|").size(), 6);
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::updateColumns_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("two of three, with option")
        << QStringList{} << QStringList{"C1", "C2"} << false
        << QStringList{listInsert(1, "GG", "T1", "Table", "C1", "Update", 1),
                       "grant Update\n(C1)\n on T1 to " + kUsers + "\n with grant option",
                       listInsert(2, "GG", "T1", "Table", "C2", "Update", 1),
                       "grant Update\n(C2)\n on T1 to " + kUsers + "\n with grant option"};
    QTest::newRow("every column") << QStringList{} << QStringList{"C1", "C2", "C3"} << true
                                  << QStringList{listInsert(1, "GG", "T1", "Table", "", "Update", 1),
                                                 "grant Update\n on T1 to " + kUsers + "\n with grant option"};
    QTest::newRow("every column after one") << QStringList{"C2"} << QStringList{"C1", "C2", "C3"} << true << QStringList{};
    QTest::newRow("one column twice") << QStringList{"C2"} << QStringList{"C2"} << false << QStringList{};
}

void TestGrantGroups::updateColumns()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, columns);
    QFETCH(bool, all);
    QFETCH(QStringList, sent);
    Page p;
    if (!first.isEmpty())
        p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(false, false, false, first, false, true)));
    engine::StatementRecorder log;
    p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(false, false, false, columns, all, true)));
    QCOMPARE(changes(log), sent);
    p.groups.commit();
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::grantDialogInGroupMode()
{
    Page p;
    const MoveTarget target = moveTargetOf(objectTree(*p.d), {"Tables", "T1", "C2"});
    Tgrantmes dialog(*p.d);
    bool shown = false;
    engine::StatementRecorder log;
    QVERIFY(p.groups.fillSP(target, [&](const MoveTarget &m) {
        shown = true;
        dialog.prepareGroup(m, p.groups);
        QCOMPARE(dialog.Fieldlist->rowCount(), 1);
        QCOMPARE(dialog.metalbl->text(), QString("T1"));
        dialog.selcheck->setChecked(false);
        dialog.inscheck->setChecked(false);
        dialog.uoption->setChecked(true);
        dialog.okbtnClick();
    }));
    QVERIFY(shown);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // Delete stays ticked; Update goes for the one column of the node.
    QCOMPARE(changes(log), (QStringList{listInsert(1, "GG", "T1", "Table", "", "Delete", 0), "grant Delete\n on T1 to " + kUsers,
                                        listInsert(2, "GG", "T1", "Table", "C2", "Update", 1),
                                        "grant Update\n(C2)\n on T1 to " + kUsers + "\n with grant option"}));
    QCOMPARE(p.d->MetaGrantlist.recordCount(), 2);
    p.groups.commit();
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::executeOnProcedureOnce()
{
    Page p;
    const TreeNodes tree = objectTree(*p.d);
    const auto noDialog = [](const MoveTarget &) { QFAIL("dialog shown"); };
    engine::StatementRecorder log;
    QVERIFY(p.groups.fillSP(moveTargetOf(tree, {"Stored Procedures", "P1"}), noDialog));
    QCOMPARE(changes(log), (QStringList{"insert into meta$grantlist values(1,\n\"GG\",\n\"P1\",\"Procedure\",null,\"Execute\",0)",
                                        "grant execute on procedure P1 to " + kUsers}));
    QCOMPARE(p.progress.statuses, (QStringList{"Adding...", ""}));
    log.clear();
    QVERIFY(!p.groups.fillSP(moveTargetOf(tree, {"Stored Procedures", "P1"}), noDialog));
    QCOMPARE(changes(log), QStringList());
    // U3 owns P3: the group's grant leaves him out, as every revoke does.
    QVERIFY(p.groups.fillSP(moveTargetOf(tree, {"Stored Procedures", "P3"}), noDialog));
    QCOMPARE(changes(log).last(), QString("grant execute on procedure P3 to U1,U2"));
    p.groups.commit();
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::moveAllGrantsEachPrivilegeOnceAndNotToOwners()
{
    Page p;
    const TreeNodes tree = objectTree(*p.d);
    engine::StatementRecorder log;
    p.groups.moveAll(tree);
    QStringList grants = changes(log).filter(QRegularExpression("^grant"));
    QCOMPARE(grants, (QStringList{
                         "grant Execute on \nprocedure \nP1 to " + kUsers, "grant Execute on \nprocedure \nP2 to " + kUsers,
                         "grant Execute on \nprocedure \nP3 to U1,U2",
                         "grant Select on \nT1 to " + kUsers, "grant Insert on \nT1 to " + kUsers,
                         "grant Delete on \nT1 to " + kUsers, "grant Update on \nT1 to " + kUsers,
                         "grant Select on \nT2 to U1,U2", "grant Insert on \nT2 to U1,U2", "grant Delete on \nT2 to U1,U2",
                         "grant Update on \nT2 to U1,U2",
                         "grant Select on \nV1 to " + kUsers, "grant Insert on \nV1 to " + kUsers,
                         "grant Delete on \nV1 to " + kUsers, "grant Update on \nV1 to " + kUsers}));
    QCOMPARE(changes(log).first(), rootInsert(1, "GG", "P1", "Procedure", "Execute"));
    QCOMPARE(p.progress.statuses, (QStringList{"Adding Stored Procedures", "", "Adding Tables", "", "Adding Views", ""}));
    QCOMPARE(p.progress.steps, 6);
    QCOMPARE(p.d->MetaGrantlist.recordCount(), 15);
    CHECK_AGREES(p.d, p.t);
    log.clear();
    p.groups.moveAll(tree);
    QCOMPARE(changes(log), QStringList());
    p.groups.commit();
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::rootAfterImportAddsNoDuplicate()
{
    TestDatabase t;
    {
        auto db = t.connect();
        exec(*db, "create table T1 (C1 integer)");
        exec(*db, "grant select on T1 to U1");
    }
    auto d = connectWithLayer(t);
    d->MetaGrantDef.open();
    d->MetaGrantlist.open();
    QVERIFY(d->MetaGrantDef.locate("GGNAME", "U1_Group"));
    QCOMPARE(rows(d->grantdb, "select coalesce(tvcols, '<null>') from meta$grantlist"), QStringList{"<null>"});
    RecordingProgress progress;
    GrantGroups groups(*d, progress);
    const TreeNodes tree = objectTree(*d);
    engine::StatementRecorder log;
    QVERIFY(groups.fillSP(moveTargetOf(tree, {"Tables"}), [](const MoveTarget &) {}));
    QCOMPARE(changes(log), (QStringList{rootInsert(1, "U1_Group", "T1", "Table", "Insert"), "grant Insert on \nT1 to U1",
                                        rootInsert(2, "U1_Group", "T1", "Table", "Delete"), "grant Delete on \nT1 to U1",
                                        rootInsert(3, "U1_Group", "T1", "Table", "Update"), "grant Update on \nT1 to U1"}));
    QCOMPARE(log.statements().filter("coalesce(tvcols,\"\")=\"\"").size(), 4);
    QCOMPARE(progress.statuses, (QStringList{"Adding...", "Adding Tables", "", ""}));
    QCOMPARE(progress.maximum, 1);
    groups.commit();
    CHECK_AGREES(d, t);
}

void TestGrantGroups::groupWithoutUsersGrantsNothing()
{
    Page p;
    QVERIFY(p.d->MetaGrantDef.locate("GGNAME", "EMPTYG"));
    engine::StatementRecorder log;
    QVERIFY(p.groups.addProcedure("P1"));
    p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(true, false, false, {}, false)));
    QCOMPARE(changes(log), (QStringList{"insert into meta$grantlist values(1,\n\"EMPTYG\",\n\"P1\",\"Procedure\",null,\"Execute\",0)",
                                        listInsert(2, "EMPTYG", "T1", "Table", "", "Select", 0)}));
    p.groups.commit();
    QCOMPARE(count(p.d->grantdb, "select count(*) from meta$grantlist where gfname = 'EMPTYG'"), 2);
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::deleteGroup_data()
{
    QTest::addColumn<bool>("revoke");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("leftGranted");
    const QStringList deletes{"delete from meta$usersgrant where gfname=\"GG\"", "delete from meta$grantusers where gfname=\"GG\"",
                              "delete from meta$grantlist where gfname=\"GG\"", "delete from meta$grantdef where ggname=\"GG\""};
    // U1 keeps Select on T1 through OTHER, without the grant option.
    QTest::newRow("revoking") << true
                              << QStringList{"revoke Execute\n on \nprocedure \nP3 from U1,U2",
                                             "revoke grant option for Select\n on \nT1 from U1", "revoke Select\n on \nT1 from U2,U3",
                                             "revoke Update\n(C1)\n on \nT1 from U1,U2,U3",
                                             "delete from meta$grantlist where gfname=\"GG\""}
                                     + deletes
                              << QStringList{};
    QTest::newRow("keeping the privileges") << false << deletes
                                            << QStringList{"condition 5: U1,P3,X,", "condition 5: U1,T1,U,C1",
                                                           "condition 5: U2,P3,X,", "condition 5: U2,T1,S,",
                                                           "condition 5: U2,T1,U,C1", "condition 5: U3,T1,S,",
                                                           "condition 5: U3,T1,U,C1"};
}

void TestGrantGroups::deleteGroup()
{
    QFETCH(bool, revoke);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, leftGranted);
    Page p;
    p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(true, false, false, {"C1"}, false)));
    p.d->execQ({"update meta$grantlist set ggoption=1 where tvname='T1' and ggtype='Select'"});
    p.d->execQ({"grant select on T1 to U1,U2,U3 with grant option"});
    QVERIFY(p.groups.addProcedure("P3"));
    p.groups.commit();
    QVERIFY(p.d->MetaGrantDef.locate("GGNAME", "EMPTYG"));
    p.groups.saveGroup(GroupEdit::Rename, "OTHER", {});
    p.d->execQ({"insert into meta$grantusers values (1, 'OTHER', 'U1', 0)"});
    p.d->execQ({"insert into meta$usersgrant values (1, 'OTHER', 'U1')"});
    QVERIFY(p.d->MetaGrantDef.locate("GGNAME", "OTHER"));
    p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(true, false, false, {}, false)));
    p.groups.commit();
    CHECK_AGREES(p.d, p.t);

    QVERIFY(p.d->MetaGrantDef.locate("GGNAME", "GG"));
    engine::StatementRecorder log;
    p.progress.statuses.clear();
    p.groups.deleteGroup(revoke);
    QCOMPARE(changes(log), sent);
    const QStringList statuses = revoke ? QStringList{"Deleting...", "", "Commit Work", ""} : QStringList{"Commit Work", ""};
    QCOMPARE(p.progress.statuses, statuses);
    auto second = p.t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, "select count(*) from meta$grantdef where ggname = 'GG'"), 0);
    QCOMPARE(count(*second, "select count(*) from meta$grantlist where gfname = 'GG'"), 0);
    QCOMPARE(count(*second, "select count(*) from meta$usersgrant where gfname = 'GG'"), 0);
    QCOMPARE(rows(*second, "select rdb$grant_option from rdb$user_privileges where rdb$user = 'U1' and "
                           "rdb$relation_name = 'T1' and rdb$privilege = 'S'"),
             QStringList{revoke ? "0" : "1"});
    // Answered No, the privileges stay granted and nothing registers them
    // any more: only the fifth condition can list them.
    QStringList open = disagreements(p.d->grantdb), committed = committedDisagreements(p.t);
    open.sort();
    committed.sort();
    QCOMPARE(open, leftGranted);
    QCOMPARE(committed, leftGranted);
}

void TestGrantGroups::deleteKeepsColumnUpdateAnotherGroupGives()
{
    Page p;
    p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(false, false, false, {"C1", "C2", "C3"}, true)));
    QVERIFY(p.d->MetaGrantDef.locate("GGNAME", "EMPTYG"));
    p.d->execQ({"insert into meta$grantusers values (1, 'EMPTYG', 'U1', 0)"});
    p.d->execQ({"insert into meta$usersgrant values (1, 'EMPTYG', 'U1')"});
    p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(false, false, false, {"C2"}, false, true)));
    p.groups.commit();
    CHECK_AGREES(p.d, p.t);
    QVERIFY(p.d->MetaGrantDef.locate("GGNAME", "GG"));
    engine::StatementRecorder log;
    p.groups.deleteGroup(true);
    // The table-level revoke takes U1's column update with it; it comes
    // back, with its option, because EMPTYG still gives it.
    QCOMPARE(changes(log).mid(0, 2), (QStringList{"revoke Update\n on \nT1 from U1,U2,U3",
                                                  "grant Update\n(C2)\n on \nT1\n to U1\n with grant option"}));
    QCOMPARE(rows(*p.t.connect("SYSDBA", "Second"),
                  "select rdb$user, rdb$field_name, rdb$grant_option from rdb$user_privileges where rdb$relation_name = 'T1' "
                  "and rdb$privilege = 'U' and rdb$user <> 'SYSDBA'"),
             QStringList{"U1|C2|1"});
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::rollbackDropsPendingWork()
{
    Page p;
    const QStringList committed = state(p.d->grantdb);
    p.groups.moveAll(objectTree(*p.d));
    QCOMPARE(p.d->MetaGrantlist.recordCount(), 15);
    p.progress.statuses.clear();
    p.groups.rollback();
    QCOMPARE(p.progress.statuses, (QStringList{"RollBack...", ""}));
    QCOMPARE(p.d->MetaGrantlist.recordCount(), 0);
    QCOMPARE(state(p.d->grantdb), committed);
    QCOMPARE(committedState(p.t), committed);
    QVERIFY(p.d->grantdb.inTransaction());
    CHECK_AGREES(p.d, p.t);
}

void TestGrantGroups::injectedFailureLeavesLastCommit_data()
{
    QTest::addColumn<Failing>("operation");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("occurrence");
    QTest::newRow(">> first grant") << Failing::Root << "grant " << 1;
    QTest::newRow(">> fifth grant") << Failing::Root << "grant " << 5;
    QTest::newRow(">> an insert") << Failing::Root << "insert into meta$grantlist" << 7;
    QTest::newRow("dialog second grant") << Failing::Dialog << "grant " << 2;
    QTest::newRow("procedure grant") << Failing::Procedure << "grant " << 1;
    QTest::newRow("delete, second revoke") << Failing::DeleteRevoking << "revoke " << 2;
    QTest::newRow("delete, last delete") << Failing::DeleteRevoking << "delete from meta$grantdef" << 1;
    QTest::newRow("rename, fourth update") << Failing::Rename << "update meta$grantdef" << 1;
}

void TestGrantGroups::injectedFailureLeavesLastCommit()
{
    QFETCH(Failing, operation);
    QFETCH(QString, needle);
    QFETCH(int, occurrence);
    Page p;
    const TreeNodes tree = objectTree(*p.d);
    // Something committed first, something pending when the failure comes.
    p.groups.addGroupGrants("T1", "Table", groupGrantCalls(tableChoice(true, false, true, {"C1"}, false)));
    p.groups.commit();
    const QStringList committed = committedState(p.t);
    const int committedRows = p.d->MetaGrantlist.recordCount();
    QVERIFY(p.groups.addProcedure("P1"));
    const QStringList lost = p.d->transaction.pending();
    p.progress.statuses.clear();
    const QString error = failureOf(needle, occurrence, [&] {
        switch (operation) {
        case Failing::Root: p.groups.moveAll(tree); break;
        case Failing::Dialog:
            p.groups.addGroupGrants("V1", "View", groupGrantCalls(tableChoice(true, true, false, {}, false)));
            break;
        case Failing::Procedure: p.groups.addProcedure("P2"); break;
        case Failing::DeleteRevoking: p.groups.deleteGroup(true); break;
        case Failing::Rename: p.groups.saveGroup(GroupEdit::Rename, "GH", {}); break;
        }
    });
    QVERIFY2(namesLostWork(error, "injected failure", lost), qPrintable(error));
    CHECK_LAST_COMMIT(p.d, p.t, committed);
    QCOMPARE(p.d->MetaGrantlist.recordCount(), committedRows);
    QVERIFY(p.progress.statuses.isEmpty() || p.progress.statuses.last().isEmpty());
}

DUNMOOR_GUI_TEST_MAIN(TestGrantGroups)
#include "tst_grantgroups.moc"
