// Direct grants and revokes through the two dialogs on real databases: the
// exact statements, what the server holds afterwards as a second connection
// sees it, when the work is committed, the refusals, warnings and
// questions, and the administrative layer's agreement where no direct
// grant was made.
#include "PrivilegesFixture.h"
#include "platform/Prompter.h"
#include "privileges/DirectGrants.h"
#include "privileges/RevokeRights.h"
#include "privileges/gmes2.h"
#include "privileges/gmes_un.h"
#include "support/GuiTestMain.h"

#include <QCheckBox>
#include <QLabel>

using namespace privtest;
using namespace privileges;
using platform::Prompter;
using platform::ScriptedPrompter;
using testsupport::exec;
using testsupport::TestDatabase;

namespace {

void makeTable4(const TestDatabase &t)
{
    auto db = t.connect();
    exec(*db, "create table T4 (C1 integer, C2 integer, C3 integer)");
}

const QStringList kColumns{"C1", "C2", "C3"};

// Grants through the dialog as the test prepared it; whether it closed.
bool pressOk(Tgrantmes &dialog)
{
    dialog.setResult(0);
    dialog.okbtnClick();
    return dialog.result() == QDialog::Accepted;
}

void untick(std::initializer_list<QCheckBox *> boxes)
{
    for (QCheckBox *b : boxes)
        b->setChecked(false);
}

// Makes a row of the list current and revokes it through the dialog.
void revokeRow(TGrantData &d, const QString &user, const QString &relation, const QString &letter, const QString &grantor,
               bool optionOnly)
{
    d.TrigList.close();
    d.TrigList.open();
    QVERIFY2(d.TrigList.locate("RDB$USER;RDB$RELATION_NAME;RDB$PRIVILEGE;RDB$GRANTOR",
                               QVariantList{user, relation, letter, grantor}),
             qPrintable(user + " " + relation));
    Tgrantmes2 dialog(d);
    QVERIFY(dialog.prepareRevoke(currentPrivilegeRow(d.TrigList)));
    dialog.optioncheck->setChecked(optionOnly);
    dialog.okbtnClick();
}

// A test's database made by make, the data module on it (with the
// administrative layer when asked), a scripted prompter, and the log of
// what is sent from then on.
struct Scene {
    Scene(void (*make)(const TestDatabase &), bool layer = false, const QString &user = QStringLiteral("SYSDBA"))
        : d((make(t), layer ? connectWithLayer(t) : connectGrantData(t, user)))
    {
    }
    TestDatabase t;
    std::unique_ptr<TGrantData> d;
    ScriptedPrompter prompter;
    platform::ScopedPrompter scoped{prompter};
    engine::StatementRecorder log;
};

} // namespace

class TestDirectGrants : public QObject {
    Q_OBJECT
private slots:
    void grantsStayPendingUntilCommit();
    void grantsToViewTriggerAndProcedure();
    void dialogRefusesEmptyChoices();
    void grantWithoutGrantOptionAsSecondUser();
    void failedGrantRollsBackPendingWork();
    void executeThroughRevokeDialogCommitsAtOnce();
    void revokeWithAndWithoutGrantOption();
    void roleRowRevokedFromTheRole();
    void anotherGrantorsRow();
    void revokeThatChangesNothingWarns();
    void revokeOfGroupPrivilegeAsksFirst();
    void tableLevelUpdateRevokeAsksFirst();
};

void TestDirectGrants::grantsStayPendingUntilCommit()
{
    Scene s(makeTable4);
    auto &[t, d, prompter, scoped, log] = s;
    Tgrantmes dialog(*d);

    // Select, and Update on two of three columns with grant option.
    dialog.prepare(Tgrantmes::Mode::Direct, "T4", kColumns, 0, {GranteeType::User, "U4"});
    untick({dialog.inscheck, dialog.delcheck});
    dialog.uoption->setChecked(true);
    dialog.FieldlistMouseUp(1, 1);
    QVERIFY(pressOk(dialog));
    // Every column ticked: the whole table.
    dialog.prepare(Tgrantmes::Mode::Direct, "T4", kColumns, 0, {GranteeType::User, "U5"});
    untick({dialog.selcheck, dialog.inscheck, dialog.delcheck});
    QVERIFY(pressOk(dialog));
    // One fixed column: clicks change nothing.
    dialog.prepare(Tgrantmes::Mode::Direct, "T4", {"C2"}, 1, {GranteeType::User, "U6"});
    untick({dialog.selcheck, dialog.inscheck, dialog.delcheck});
    dialog.FieldlistMouseUp(0, 0);
    QVERIFY(pressOk(dialog));

    QCOMPARE(rightsStatements(log), (QStringList{"grant select on T4 to U4", "grant update\n(C1,C3)\n on T4 to U4\n with grant option",
                                                 "grant update\n on T4 to U5", "grant update\n(C2)\n on T4 to U6"}));
    QCOMPARE(prompter.calls().size(), 0);
    QCOMPARE(committedHeld(t, "U4"), QStringList());
    QCOMPARE(held(d->grantdb, "U4"), (QStringList{"T4|S|0||SYSDBA", "T4|U|1|C1|SYSDBA", "T4|U|1|C3|SYSDBA"}));
    d->transaction.commit();
    QCOMPARE(committedHeld(t, "U4"), (QStringList{"T4|S|0||SYSDBA", "T4|U|1|C1|SYSDBA", "T4|U|1|C3|SYSDBA"}));
    QCOMPARE(committedHeld(t, "U5"), QStringList{"T4|U|0||SYSDBA"});
    QCOMPARE(committedHeld(t, "U6"), QStringList{"T4|U|0|C2|SYSDBA"});
}

void TestDirectGrants::grantsToViewTriggerAndProcedure()
{
    Scene s(makeGrants, true);
    auto &[t, d, prompter, scoped, log] = s;
    Tgrantmes dialog(*d);
    for (const Grantee &g : {Grantee{GranteeType::View, "V1"}, Grantee{GranteeType::Trigger, "TR1"},
                             Grantee{GranteeType::Procedure, "P1"}}) {
        dialog.prepare(Tgrantmes::Mode::Direct, "T2", {"C1"}, 0, g);
        QVERIFY(!dialog.soption->isEnabled() && !dialog.uoption->isEnabled());
        untick({dialog.inscheck, dialog.delcheck, dialog.updcheck});
        QVERIFY(pressOk(dialog));
    }
    QCOMPARE(rightsStatements(log), (QStringList{"grant select on T2 to view V1", "grant select on T2 to trigger TR1",
                                                 "grant select on T2 to procedure P1"}));
    d->transaction.commit();
    auto second = t.connect("SYSDBA", "Second");
    QCOMPARE(count(*second, "select count(*) from rdb$user_privileges where rdb$relation_name = 'T2' and "
                            "rdb$privilege = 'S' and rdb$user in ('V1', 'TR1', 'P1') and rdb$user_type in (1, 2, 5)"),
             3);
    QCOMPARE(committedDisagreements(t), QStringList());
}

void TestDirectGrants::dialogRefusesEmptyChoices()
{
    Scene s(makeTable4);
    auto &[t, d, prompter, scoped, log] = s;
    Tgrantmes dialog(*d);

    dialog.prepare(Tgrantmes::Mode::Direct, "T4", kColumns, 0, {GranteeType::User, "U4"});
    for (int r = 0; r < 3; ++r)
        dialog.FieldlistMouseUp(r, 0);
    QVERIFY(!pressOk(dialog));
    untick({dialog.selcheck, dialog.inscheck, dialog.delcheck, dialog.updcheck});
    QVERIFY(!pressOk(dialog));
    // Cancel closes without asking.
    dialog.reject();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    QCOMPARE(prompter.texts(), (QStringList{"Please, choose updateable fields", "You must check one of the options"}));
    QCOMPARE(rightsStatements(log), QStringList());
}

void TestDirectGrants::grantWithoutGrantOptionAsSecondUser()
{
    Scene s(
        [](const TestDatabase &t) {
            makeTable4(t);
            auto db = t.connect();
            for (const char *sql : {"grant select on T4 to U5 with grant option", "grant insert on T4 to U5",
                                    "grant delete on T4 to U5 with grant option"})
                exec(*db, sql);
        },
        false, "U5");
    auto &[t, d, prompter, scoped, log] = s;
    Tgrantmes dialog(*d);
    // Work pending before: it must survive the refusal.
    dialog.prepare(Tgrantmes::Mode::Direct, "T4", kColumns, 0, {GranteeType::User, "U7"});
    untick({dialog.inscheck, dialog.delcheck, dialog.updcheck});
    QVERIFY(pressOk(dialog));
    dialog.prepare(Tgrantmes::Mode::Direct, "T4", kColumns, 0, {GranteeType::User, "U6"});
    dialog.updcheck->setChecked(false);
    QVERIFY(pressOk(dialog));

    QCOMPARE(rightsStatements(log), (QStringList{"grant select on T4 to U7", "grant select on T4 to U6",
                                                 "grant insert on T4 to U6", "grant delete on T4 to U6"}));
    QCOMPARE(prompter.texts(), QStringList{"You have not enough rights for granting insert privilege on T4"});
    QCOMPARE(committedHeld(t, "U6"), QStringList());
    d->transaction.commit();
    QCOMPARE(committedHeld(t, "U6"), (QStringList{"T4|D|0||U5", "T4|S|0||U5"}));
    QCOMPARE(committedHeld(t, "U7"), QStringList{"T4|S|0||U5"});
}

void TestDirectGrants::failedGrantRollsBackPendingWork()
{
    Scene s(makeTable4);
    auto &[t, d, prompter, scoped, log] = s;
    Tgrantmes dialog(*d);
    dialog.prepare(Tgrantmes::Mode::Direct, "T4", kColumns, 0, {GranteeType::User, "U4"});
    {
        FailingStatement fail("grant insert");
        QVERIFY(!pressOk(dialog));
    }
    QCOMPARE(prompter.texts(), QStringList{"injected failure"});
    QVERIFY(d->grantdb.inTransaction());
    d->transaction.commit();
    QCOMPARE(committedHeld(t, "U4"), QStringList());
}

void TestDirectGrants::executeThroughRevokeDialogCommitsAtOnce()
{
    TestDatabase t;
    makeGrants(t);
    auto d = connectWithLayer(t);
    Tgrantmes grant(*d);
    grant.prepare(Tgrantmes::Mode::Direct, "T2", {"C1"}, 0, {GranteeType::User, "U4"});
    untick({grant.inscheck, grant.delcheck, grant.updcheck});
    QVERIFY(pressOk(grant));

    Tgrantmes2 dialog(*d);
    engine::StatementRecorder log;
    dialog.prepareGrant("P1", {GranteeType::User, "U4"});
    QCOMPARE(dialog.windowTitle(), QString("Grant privilege"));
    QVERIFY(!dialog.optioncheck->isHidden());
    dialog.optioncheck->setChecked(true);
    dialog.okbtnClick();
    QCOMPARE(rightsStatements(log), QStringList{"Grant\nExecute on procedure P1 to U4\n with grant option"});
    // Committed, with the grant that was pending before.
    QCOMPARE(committedHeld(t, "U4"), (QStringList{"P1|X|1||SYSDBA", "T2|S|0||SYSDBA"}));

    // To a trigger the grant option is not offered.
    dialog.prepareGrant("P1", {GranteeType::Trigger, "TR1"});
    QVERIFY(dialog.optioncheck->isHidden());
    dialog.okbtnClick();
    QCOMPARE(rightsStatements(log).last(), QString("Grant\nExecute on procedure P1 to trigger TR1"));
    QCOMPARE(committedHeld(t, "TR1"), (QStringList{"P1|X|0||SYSDBA", "T2|S|0||SYSDBA"}));
}

void TestDirectGrants::revokeWithAndWithoutGrantOption()
{
    Scene s(makeGrants);
    auto &[t, d, prompter, scoped, log] = s;
    revokeRow(*d, "U1", "T1", "S", "SYSDBA", true);
    QCOMPARE(committedHeld(t, "U1").first(), QString("T1|S|0||SYSDBA"));
    revokeRow(*d, "U1", "T1", "S", "SYSDBA", true); // held without option now: the box is hidden
    QCOMPARE(rightsStatements(log), (QStringList{"Revoke\ngrant option for \nSelect on T1 from U1", "Revoke\nSelect on T1 from U1"}));
    QCOMPARE(committedHeld(t, "U1"), (QStringList{"T1|U|0|C1|SYSDBA"}));
    QCOMPARE(prompter.calls().size(), 0);
}

void TestDirectGrants::roleRowRevokedFromTheRole()
{
    TestDatabase t;
    makeGrants(t);
    auto d = connectWithLayer(t);
    const QStringList u2 = committedHeld(t, "U2");
    engine::StatementRecorder log;
    revokeRow(*d, "R1", "T1", "S", "SYSDBA", false);
    QCOMPARE(rightsStatements(log), QStringList{"Revoke\nSelect on T1 from role R1"});
    QCOMPARE(committedHeld(t, "R1"), QStringList());
    QCOMPARE(committedHeld(t, "U2"), u2);
    QCOMPARE(committedDisagreements(t), QStringList());
}

void TestDirectGrants::anotherGrantorsRow()
{
    TestDatabase t;
    makeGrants(t);
    {
        // Not SYSDBA and not the grantor: refused before anything is sent.
        auto u3 = connectGrantData(t, "U3");
        ScriptedPrompter prompter;
        platform::ScopedPrompter scoped(prompter);
        engine::StatementRecorder log;
        revokeRow(*u3, "U2", "T1", "S", "SYSDBA", false);
        QCOMPARE(rightsStatements(log), QStringList());
        QCOMPARE(prompter.texts(), QStringList{revokeRefusalText()});
    }
    auto d = connectGrantData(t);
    ScriptedPrompter prompter;
    platform::ScopedPrompter scoped(prompter);
    engine::StatementRecorder log;
    revokeRow(*d, "U2", "T1", "S", "U1", false);
    QCOMPARE(prompter.calls().size(), 0);
    QCOMPARE(rightsStatements(log), QStringList{"Revoke\nSelect on T1 from U2\n granted by U1"});
    QCOMPARE(committedHeld(t, "U2"), (QStringList{"F1|X|0||SYSDBA", "P1|X|0||SYSDBA", "T1|S|0||SYSDBA", "T3|S|0||U1", "V1|S|0||SYSDBA"}));
}

void TestDirectGrants::revokeThatChangesNothingWarns()
{
    TestDatabase t;
    makeGrants(t);
    auto d = connectGrantData(t);
    d->TrigList.open();
    QVERIFY(d->TrigList.locate("RDB$USER;RDB$RELATION_NAME", QVariantList{"V1", "T1"}));
    {
        // Revoked elsewhere while the list still shows it.
        auto other = t.connect("SYSDBA", "Other");
        exec(*other, "revoke select on T1 from view V1");
    }
    ScriptedPrompter prompter;
    platform::ScopedPrompter scoped(prompter);
    Tgrantmes2 dialog(*d);
    QVERIFY(dialog.prepareRevoke(currentPrivilegeRow(d->TrigList)));
    QCOMPARE(dialog.userlbl->text(), QString("from view V1"));
    dialog.okbtnClick();
    QCOMPARE(prompter.texts(), QStringList{"Warning: SELECT on T1 is not granted to V1."});
    QCOMPARE(prompter.calls().first().icon, Prompter::Icon::Warning);
    QVERIFY(!d->TrigList.locate("RDB$USER;RDB$RELATION_NAME", QVariantList{"V1", "T1"}));
}

void TestDirectGrants::revokeOfGroupPrivilegeAsksFirst()
{
    Scene s(makeGrants, true);
    auto &[t, d, prompter, scoped, log] = s;
    prompter.answer(Prompter::Answer::No);
    revokeRow(*d, "U1", "T1", "S", "SYSDBA", false);
    QCOMPARE(prompter.texts(), QStringList{"The grant group U1_Group gives Select on T1 to U1. Revoked here, the group's "
                                           "list no longer agrees with the server.\r\nRevoke it all the same?"});
    QCOMPARE(rightsStatements(log), QStringList());
    QCOMPARE(committedHeld(t, "U1").first(), QString("T1|S|1||SYSDBA"));
    QCOMPARE(committedDisagreements(t), QStringList());
}

void TestDirectGrants::tableLevelUpdateRevokeAsksFirst()
{
    Scene s([](const TestDatabase &t) {
        makeTable4(t);
        auto db = t.connect();
        exec(*db, "grant update on T4 to U4");
        exec(*db, "grant update(C2) on T4 to U4");
    });
    auto &[t, d, prompter, scoped, log] = s;
    prompter.answer(Prompter::Answer::Yes);
    revokeRow(*d, "U4", "T4", "U", "SYSDBA", false);
    QCOMPARE(prompter.texts(), QStringList{"Revoking Update on T4 from U4 also revokes the updates of the columns C2.\r\n"
                                           "Revoke it all the same?"});
    QCOMPARE(rightsStatements(log), QStringList{"Revoke\nUpdate on T4 from U4"});
    QCOMPARE(committedHeld(t, "U4"), QStringList());
}

DUNMOOR_GUI_TEST_MAIN(TestDirectGrants)
#include "tst_directgrants.moc"
