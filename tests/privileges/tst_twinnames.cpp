// The privilege manager on a dialect-3 database whose objects and grantees
// differ from others only in case: the quoted twin is listed as the
// catalogue holds it, every command on it is refused before anything is
// sent, and the plain upper-case object beside it still works.
#include "PrivilegesFixture.h"
#include "privileges/GroupAssignments.h"
#include "privileges/LayerChecks.h"
#include "privileges/MetaTrees.h"
#include "privileges/UserGroupMembers.h"
#include "privileges/UserRegistry.h"
#include "support/GuiTestMain.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTableWidget>

using namespace privtest;

namespace {

QString refusal(const QString &name)
{
    return QStringLiteral("The name \"%1\" differs from its upper case: a dialect-1 statement would name %2 instead, "
                          "so it can only be named quoted, in dialect 3.")
        .arg(name, name.toUpper());
}

void twins(const TestDatabase &t)
{
    testsupport::makeTwins(t);
}

// Puts the privilege list on the row of relation, grantee, letter and column.
bool onRow(engine::DataSet &list, const QString &row)
{
    for (list.first(); !list.eof(); list.next()) {
        const auto text = [&](const char *f) { return list.fieldByName(QLatin1String(f)).asString().trimmed(); };
        if (QStringList{text("RDB$RELATION_NAME"), text("RDB$USER"), text("RDB$PRIVILEGE"), text("RDB$FIELD_NAME")}
                .join('|')
            == row)
            return true;
    }
    return false;
}

// Answers the grant dialog with Select alone, or Update alone on a column.
std::function<void(QDialog &)> selectOrColumnUpdate(bool column)
{
    return [column](QDialog &d) {
        if (auto *g = qobject_cast<Tgrantmes *>(&d)) {
            g->selcheck->setChecked(!column);
            g->inscheck->setChecked(false);
            g->delcheck->setChecked(false);
            g->updcheck->setChecked(column);
        }
    };
}

} // namespace

class TestTwinNames : public QObject {
    Q_OBJECT
private slots:
    void importLeavesOutWhatItCannotName();
    void revokeFromTheList_data();
    void revokeFromTheList();
    void grantFromTheTrees_data();
    void grantFromTheTrees();
    void groupPage();
    void assignmentToATwinUser();
    void twinInTheLayer_data();
    void twinInTheLayer();
    void joinOnThePage();
};

void TestTwinNames::importLeavesOutWhatItCannotName()
{
    ConnectedWindow c(twins, 3);
    QCOMPARE(c.connectTexts,
             (QStringList{"There are no GrantGroups in this database. Do you want to create them?",
                          "The GrantGroups were created without these privileges, which the statements of this "
                          "program cannot name:\r\n"
                          "Update(Col) on COLS to U1: " + refusal("Col") + "\r\n"
                          "Select on MixedCase to U1: " + refusal("MixedCase") + "\r\n"
                          "Execute on ProcM to U1: " + refusal("ProcM") + "\r\n"
                          "Select on ViewM to U1: " + refusal("ViewM") + "\r\n"
                          "Select on lowr to U1: " + refusal("lowr") + "\r\n"
                          "Every privilege of lowr: " + refusal("lowr")}));
    QVERIFY(c.w->GrantPages->isTabVisible(1)); // the layer is there
    auto second = c.t.connect("SYSDBA", "Second");
    QCOMPARE(rows(*second, "select gfname, tvname, coalesce(tvcols, ''), ggtype from meta$grantlist order by 1, 2, 3"),
             (QStringList{"LOWR_Group|COLS||Select", "U1_Group|COLS|COL|Update", "U1_Group|LOWR||Select",
                          "U1_Group|MIXEDCASE||Select", "U1_Group|PROCM||Execute", "U1_Group|VIEWM||Select"}));
    // The twins stay listed as the catalogue holds them.
    QVERIFY(onRow(GrantData->TrigList, "MixedCase|U1|S|"));
    QVERIFY(onRow(GrantData->TrigList, "COLS|lowr|S|"));
}

void TestTwinNames::revokeFromTheList_data()
{
    QTest::addColumn<QString>("twin");  // relation|grantee|letter|column of the list row
    QTest::addColumn<QString>("named"); // the name refused
    QTest::addColumn<QString>("sent");  // for the plain row beside it
    QTest::newRow("table") << "MixedCase|U1|S|" << "MixedCase" << "Revoke\nSelect on MIXEDCASE from U1";
    QTest::newRow("view") << "ViewM|U1|S|" << "ViewM" << "Revoke\nSelect on VIEWM from U1";
    QTest::newRow("procedure") << "ProcM|U1|X|" << "ProcM" << "Revoke\nExecute on procedure PROCM from U1";
    QTest::newRow("column") << "COLS|U1|U|Col" << "Col" << "Revoke\nUpdate(COL) on COLS from U1";
    QTest::newRow("grantee") << "COLS|lowr|S|" << "lowr" << "Revoke\nSelect on COLS from LOWR";
}

void TestTwinNames::revokeFromTheList()
{
    QFETCH(QString, twin);
    QFETCH(QString, named);
    QFETCH(QString, sent);
    ConnectedWindow c(twins, 3);
    TLorvane &w = *c.w;
    const QString grantee = twin.section('|', 1, 1);
    const QStringList before = committedHeld(c.t, grantee);
    engine::StatementRecorder log;
    DialogAnswers dialog;
    QVERIFY(onRow(GrantData->TrigList, twin));
    w.Revokebtn->click();
    QCOMPARE(dialog.shown, 0);
    QCOMPARE(c.p->prompter.texts(), QStringList{refusal(named) + " Nothing was sent."});
    QCOMPARE(rightsStatements(log), QStringList());
    QCOMPARE(committedHeld(c.t, grantee), before);
    QVERIFY(GrantData->grantdb.inTransaction() && w.isEnabled());

    // The plain row beside it: revoked, the twin's privilege kept.
    c.p->prompter.clear();
    c.p->prompter.answer(Prompter::Answer::Yes); // the group's list no longer agrees
    const QStringList f = twin.split('|');
    QStringList p = f;
    p[f.indexOf(named)] = named.toUpper();
    QVERIFY(onRow(GrantData->TrigList, p.join('|')));
    w.Revokebtn->click();
    QCOMPARE(rightsStatements(log), QStringList{sent});
    QVERIFY(!committedHeld(c.t, p[1]).contains(p[0] + '|' + p[2] + "|0|" + p[3] + "|SYSDBA"));
    QVERIFY(committedHeld(c.t, f[1]).contains(f[0] + '|' + f[2] + "|0|" + f[3] + "|SYSDBA"));
}

void TestTwinNames::grantFromTheTrees_data()
{
    QTest::addColumn<QString>("twin"); // a node of the metadata tree
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("sent");
    QTest::newRow("table") << "Tables/MixedCase" << "MixedCase" << "Tables/MIXEDCASE" << "grant select on MIXEDCASE to LOWR";
    QTest::newRow("view") << "Views/ViewM" << "ViewM" << "Views/VIEWM" << "grant select on VIEWM to LOWR";
    QTest::newRow("column") << "Tables/COLS/Col" << "Col" << "Tables/COLS/COL" << "grant update\n(COL)\n on COLS to LOWR";
    QTest::newRow("procedure") << "Stored Procedures/ProcM" << "ProcM" << "Stored Procedures/PROCM"
                               << "Grant\nExecute on procedure PROCM to LOWR";
}

void TestTwinNames::grantFromTheTrees()
{
    QFETCH(QString, twin);
    QFETCH(QString, named);
    QFETCH(QString, plain);
    QFETCH(QString, sent);
    ConnectedWindow c(twins, 3);
    TLorvane &w = *c.w;
    const QStringList before = committedHeld(c.t, "LOWR");
    engine::StatementRecorder log;
    DialogAnswers dialog;
    dialog.prepare = selectOrColumnUpdate(plain.count('/') == 2);
    select(w.usertree, "Users/LOWR");
    select(w.Metatree, twin);
    w.Grantbtn->click();
    QCOMPARE(dialog.shown, 0); // nothing asked
    QCOMPARE(c.p->prompter.texts(), QStringList{refusal(named) + " Nothing was sent."});
    QCOMPARE(rightsStatements(log), QStringList());
    QVERIFY(GrantData->grantdb.inTransaction() && w.isEnabled());

    c.p->prompter.clear();
    select(w.Metatree, plain);
    w.Grantbtn->click();
    QCOMPARE(dialog.shown, 1);
    QCOMPARE(rightsStatements(log), QStringList{sent});
    const QStringList now = held(GrantData->grantdb, "LOWR");
    QCOMPARE(now.size(), before.size() + 1);
    for (const QString &h : now)
        QVERIFY2(!h.contains(named), qPrintable(h));
}

void TestTwinNames::groupPage()
{
    ConnectedWindow c(twins, 3);
    TLorvane &w = *c.w;
    w.GrantPages->setCurrentWidget(w.GrantGroups);
    w.GrantPagesChange();
    QVERIFY(GrantData->MetaGrantDef.locate("GGNAME", "LOWR_Group"));
    const QStringList committed = committedState(c.t);
    engine::StatementRecorder log;
    DialogAnswers dialog;

    // Work pending on the page first: a refusal leaves it, and its buttons.
    select(w.Metatreegrant, "Stored Procedures/PROCM");
    w.Movebtn->click();
    const QStringList pending = state(GrantData->grantdb);
    QVERIFY(pending != committed && w.Commitbtn->isEnabled());
    log.clear();

    // One twin: refused before the dialog, nothing written.
    for (const char *twin : {"Tables/MixedCase", "Stored Procedures/ProcM", "Tables/COLS/Col"}) {
        c.p->prompter.clear();
        select(w.Metatreegrant, twin);
        w.Movebtn->click();
        QCOMPARE(dialog.shown, 0);
        QCOMPARE(c.p->prompter.texts(),
                 QStringList{refusal(QString(twin).section('/', -1)) + " Nothing was sent."});
        QCOMPARE(changes(log), QStringList());
        QCOMPARE(state(GrantData->grantdb), pending);
        QVERIFY(w.Commitbtn->isEnabled());
    }

    // A row naming a twin, as a layer made elsewhere may hold: its removal
    // and its option are refused alike.
    GrantData->transaction.run([] {
        GrantData->grantdb.executeImmediate(
            "insert into meta$grantlist values (90, 'LOWR_Group', 'MixedCase', 'Table', null, 'Select', 0)");
    });
    GrantData->MetaGrantlist.close();
    GrantData->MetaGrantlist.open();
    QVERIFY(GrantData->MetaGrantlist.locate("ID", 90));
    const QStringList withRow = state(GrantData->grantdb);
    log.clear();
    c.p->prompter.clear();
    w.Removebtn->click();
    QCOMPARE(c.p->prompter.texts(), QStringList{refusal("MixedCase") + " Nothing was sent."});
    QCOMPARE(changes(log), QStringList());
    QCOMPARE(state(GrantData->grantdb), withRow);
    QVERIFY(w.Commitbtn->isEnabled());
    GrantData->transaction.run([] { GrantData->grantdb.executeImmediate("delete from meta$grantlist where id = 90"); });
    log.clear();

    // Everything: the twins are passed over and named, the rest added.
    c.p->prompter.clear();
    w.MoveallBtn->click();
    QCOMPARE(c.p->prompter.texts(),
             QStringList{"Nothing was added for these objects:\r\n" + refusal("ProcM") + "\r\n" + refusal("MixedCase")
                         + "\r\n" + refusal("lowr") + "\r\n" + refusal("ViewM")});
    for (const QString &s : rightsStatements(log))
        for (const char *twin : {"MixedCase", "lowr", "ViewM", "ProcM"})
            QVERIFY2(!s.contains(QLatin1String(twin)), qPrintable(s));
    QVERIFY(rightsStatements(log).contains("grant Select on \nMIXEDCASE to LOWR"));
    QCOMPARE(dialog.shown, 0);
    w.Commitbtn->click();
    auto second = c.t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, "select count(*) from meta$grantlist where tvname in ('MixedCase', 'lowr', 'ViewM', 'ProcM')"), 0);
    QVERIFY(committedHeld(c.t, "LOWR").contains("MIXEDCASE|S|0||SYSDBA"));
    QVERIFY(!committedHeld(c.t, "LOWR").contains("MixedCase|S|0||SYSDBA"));
}

void TestTwinNames::assignmentToATwinUser()
{
    // A user the layer lists (as one made elsewhere may) but no grant could
    // name: refused before anything is written, the pending work kept.
    ConnectedWindow c(twins, 3);
    GrantData->transaction.run([] {
        GrantData->grantdb.executeImmediate("insert into meta$usersdef values ('lowr', null, 0)");
    });
    const QStringList pending = state(GrantData->grantdb);
    engine::StatementRecorder log;
    privileges::NoProgress quiet;
    privileges::GroupAssignments assignments(*GrantData, quiet);
    for (const auto &assign : std::initializer_list<std::function<void()>>{
             [&] { assignments.assign({"lowr", 0}, "U1_Group"); }, [&] { assignments.assignAll("U1_Group"); }}) {
        try {
            engine::Query &candidates = GrantData->usersdef;
            candidates.setFiltered(false);
            candidates.close();
            candidates.open();
            assign();
            QFAIL("assigned");
        } catch (const engine::Error &e) {
            QCOMPARE(e.message(), refusal("lowr") + " Nothing was sent.");
        }
        QCOMPARE(changes(log), QStringList());
        QCOMPARE(state(GrantData->grantdb), pending);
        QVERIFY(GrantData->grantdb.inTransaction());
    }
}

void TestTwinNames::twinInTheLayer_data()
{
    // Rows naming a twin, as a layer made elsewhere may hold, committed
    // before the command.
    QTest::addColumn<QStringList>("layer");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("named");
    const QStringList group{"insert into meta$usersdef values ('UG', null, 2)",
                            "insert into meta$grantusers values (90, 'U1_Group', 'UG', 2)"};
    const QStringList twinObject{
        "insert into meta$grantlist values (90, 'U1_Group', 'MixedCase', 'Table', null, 'Select', 0)"};
    const QStringList member = group + QStringList{"insert into meta$usersdef values ('lowr', null, 0)",
                                                   "insert into meta$userslist values (90, 'UG', 'lowr')",
                                                   "insert into meta$usersgrant values (90, 'U1_Group', 'lowr')"};
    const QStringList assigned{"insert into meta$usersdef values ('lowr', null, 0)",
                               "insert into meta$grantusers values (90, 'U1_Group', 'lowr', 0)",
                               "insert into meta$usersgrant values (90, 'U1_Group', 'lowr')"};
    QTest::newRow("join") << group + twinObject << "join" << "MixedCase";
    QTest::newRow("join all") << group + twinObject << "join all" << "MixedCase";
    QTest::newRow("leave") << member << "leave" << "lowr";
    QTest::newRow("leave all") << member << "leave all" << "lowr";
    QTest::newRow("user group deletion") << member << "delete group" << "lowr";
    QTest::newRow("user deletion") << assigned << "delete user" << "lowr";
    QTest::newRow("user rename") << assigned << "rename" << "lowr";
    QTest::newRow("assignment") << assigned.mid(0, 1) << "assign" << "lowr";
    QTest::newRow("erase, object") << twinObject << "erase" << "MixedCase";
    QTest::newRow("erase, user") << assigned << "erase" << "lowr";
}

void TestTwinNames::twinInTheLayer()
{
    QFETCH(QStringList, layer);
    QFETCH(QString, command);
    QFETCH(QString, named);
    ConnectedWindow c(twins, 3);
    TGrantData &d = *GrantData;
    d.transaction.run([&] {
        for (const QString &sql : layer)
            d.grantdb.executeImmediate(sql);
    });
    d.transaction.commit();
    privileges::refreshPageData(d, "UserGroups");
    d.usergrp.locate("UGNAME", "UG");
    d.usersdef.setFiltered(false);
    d.usersdef.close();
    d.usersdef.open();
    // Work pending first: a refusal must leave it pending.
    d.transaction.run([&] { d.grantdb.executeImmediate("insert into meta$grantdef values ('PENDING_Group', null)"); });
    const QStringList pending = state(d.grantdb), committed = committedState(c.t);
    QVERIFY(pending != committed);

    privileges::NoProgress quiet;
    privileges::UserGroupMembers members(d, quiet);
    privileges::UserRegistry registry(d, quiet);
    const QMap<QString, std::function<void()>> commands{
        {"join", [&] { members.addMember("U1"); }},
        {"join all", [&] { members.addAllMembers(); }},
        {"leave", [&] { members.removeMember("lowr"); }},
        {"leave all", [&] { members.removeAllMembers(); }},
        {"delete group", [&] { registry.deleteCurrentUserGroup(); }},
        {"delete user", [&] { registry.deleteUser("lowr"); }},
        {"rename", [&] { registry.saveUser({false, "lowr", "LOWR2", true, "Low R"}); }},
        {"assign", [&] { privileges::GroupAssignments(d, quiet).assign({"lowr", 0}, "U1_Group"); }},
        {"erase", [&] { privileges::AdminTables(d, quiet).erase(true); }},
    };
    engine::StatementRecorder log;
    try {
        commands.value(command)();
        QFAIL("sent");
    } catch (const engine::Error &e) {
        QCOMPARE(e.message(), refusal(named) + " Nothing was sent.");
        // What the window takes as "nothing sent": it keeps the pages' buttons.
        if (command != "erase")
            QVERIFY(dynamic_cast<const privileges::LayerRefusal *>(&e)
                    || dynamic_cast<const privileges::RegistryRefusal *>(&e));
    }
    QCOMPARE(changes(log), QStringList());
    QVERIFY(d.grantdb.inTransaction());
    QCOMPARE(state(d.grantdb), pending);
    QCOMPARE(committedState(c.t), committed);
    d.transaction.commit();
    QCOMPARE(committedState(c.t), pending);
}

void TestTwinNames::joinOnThePage()
{
    // As on the page: a join pending, then one refused; the first stays
    // pending with its buttons and commits.
    ConnectedWindow c(twins, 3);
    TLorvane &w = *c.w;
    TGrantData &d = *GrantData;
    d.transaction.run([&] {
        for (const char *sql : {"insert into meta$usersdef values ('UG', null, 2)",
                                "insert into meta$usersdef values ('UG2', null, 2)",
                                "insert into meta$grantusers values (90, 'U1_Group', 'UG', 2)",
                                "insert into meta$grantlist values (90, 'U1_Group', 'MixedCase', 'Table', null, 'Select', 0)"})
            d.grantdb.executeImmediate(sql);
    });
    d.transaction.commit();
    QVERIFY(w.selectPage(3));
    const auto join = [&](const char *group) {
        QVERIFY(d.usergrp.locate("UGNAME", group));
        QVERIFY(d.usersdef.locate("UGNAME", "U1"));
        w.mvbtn->click();
    };
    join("UG2");
    QVERIFY(w.okbtn->isEnabled());
    const QStringList pending = state(d.grantdb);
    engine::StatementRecorder log;
    join("UG");
    QCOMPARE(c.p->prompter.texts(), QStringList{refusal("MixedCase") + " Nothing was sent."});
    QCOMPARE(changes(log), QStringList());
    QCOMPARE(state(d.grantdb), pending);
    QVERIFY(w.okbtn->isEnabled() && w.isEnabled());
    w.okbtn->click();
    auto second = c.t.connect("SYSDBA", "Second");
    QCOMPARE(rows(*second, "select ufname, ualias from meta$userslist order by 1, 2"), QStringList{"UG2|U1"});
}

DUNMOOR_GUI_TEST_MAIN(TestTwinNames)
#include "tst_twinnames.moc"
