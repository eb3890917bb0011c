// The grant-group page and the membership half of the user-group page as a
// user works them after a connect: the group editor's modes, moves through
// the tree and the grant dialog, removals with their questions, the option
// switch, the page's commit and roll-back, joining and leaving a user group,
// a failure shown with everything rolled back on every page, and the guard
// that settles a page's work when it is left. Statement texts, questions and
// the state a second connection sees after each commit.
#include "PrivilegesFixture.h"
#include "engine/GridModel.h"
#include "platform/PanelStatusBar.h"
#include "privileges/GroupRevokes.h"
#include "privileges/UserGroupMembers.h"
#include "support/GuiTestMain.h"

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

using namespace privtest;
using Answer = platform::Prompter::Answer;

namespace {

const QString kUsers = "U1,U2,U3";

// pageDatabase's groups, with GG holding Select on T1 with grant option
// (granted on by U1 to U4) and Update of C1, both granted to its users.
void groupsWithRows(const TestDatabase &t)
{
    auto d = pageDatabase(t);
    for (const char *sql : {"insert into meta$grantlist values (1, 'GG', 'T1', 'Table', null, 'Select', 1)",
                            "insert into meta$grantlist values (2, 'GG', 'T1', 'Table', 'C1', 'Update', 0)",
                            "grant select on T1 to U1,U2,U3 with grant option", "grant update(C1) on T1 to U1,U2,U3"})
        d->execQ({QString::fromLatin1(sql)});
    d->transaction.commit();
    testsupport::exec(*t.connect("U1", "U1"), "grant select on T1 to U4");
}

// The window on one of those databases, on the page with this index.
struct Window : ConnectedWindow {
    explicit Window(int page, void (*make)(const TestDatabase &) = groupsWithRows) : ConnectedWindow(make)
    {
        p->clickTab(page);
        if (page == 2)
            GrantData->MetaGrantDef.locate("GGNAME", "GG");
    }
    TGrantData &d() { return *GrantData; }
    platform::ScriptedPrompter &prompter() { return p->prompter; }
    // The window is usable again and no page offers work that is gone.
    void checkSettled()
    {
        QVERIFY(w->isEnabled());
        for (QWidget *b : std::initializer_list<QWidget *>{w->Commitbtn, w->RollBackbtn, w->okbtn, w->escbtn})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        for (engine::DataSet *ds : std::initializer_list<engine::DataSet *>{&d().MetaGrantlist, &d().usersgrp, &d().usersdef})
            QVERIFY(!ds->controlsDisabled());
        QCOMPARE(w->Grantsb->panelText(2), QString());
    }
    // Double-clicks a column of the grid's current row.
    void doubleClick(QTableView *grid, int column)
    {
        auto *model = static_cast<engine::GridModel *>(grid->model());
        const QModelIndex cell = model->index(model->currentRow(), column);
        grid->setCurrentIndex(cell);
        emit grid->doubleClicked(cell);
    }
};

// state() with the members of the user groups, from a second connection.
QStringList committedWorld(const TestDatabase &t)
{
    auto second = t.connect("SYSDBA", "Second");
    return state(*second) + rows(*second, "select 'ul', ufname, ualias from meta$userslist order by 2, 3");
}

QStringList rightsSent(const engine::StatementRecorder &log)
{
    return changes(log).filter(QRegularExpression("^(grant|revoke) "));
}

enum class Move { Procedure, OwnedProcedure, Table, ViewColumn, Root, ProcedureAgain };

} // namespace

Q_DECLARE_METATYPE(Move)

class TestGrantGroupsPage : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void groupEditor();
    void moves_data();
    void moves();
    void removalsAndOptionSwitch();
    void deleteGroup_data();
    void deleteGroup();
    void membership();
    void failureRollsBackEveryPage_data();
    void failureRollsBackEveryPage();
    void guardSettlesThePagesWork_data();
    void guardSettlesThePagesWork();
    void refusedNameInTheGuardCommitsNothing();
    void longDescriptionCutToTheColumn();
};

void TestGrantGroupsPage::groupEditor()
{
    Window c(2);
    TLorvane &w = *c.w;
    QVERIFY(w.gdeflist->isVisible() && !w.gdefname->isEnabled());
    QCOMPARE(w.gdeflist->model()->headerData(0, Qt::Horizontal).toString(), QString("GrantGroups List"));
    w.AddggName->click();
    QCOMPARE(w.AddggName->text(), QString("  &SaveGrantGroup"));
    QCOMPARE(w.DelggName->text(), QString("&CancelGrantGroup"));
    QVERIFY(w.gdeflist->isHidden() && w.DelggName->isEnabled() && !w.ModifyGrantGroup->isEnabled());
    w.AddggName->click(); // no name: said so, the editor stays open
    QCOMPARE(c.prompter().texts(), QStringList{"Fill GrantGroup name"});
    QVERIFY(w.gdeflist->isHidden());

    QTest::keyClicks(w.gdefname, "new_g");
    QCOMPARE(w.gdefname->text(), QString("NEW_G"));
    w.Grantdesc->setPlainText("say \"hi\"\nagain");
    engine::StatementRecorder log;
    w.AddggName->click();
    QCOMPARE(changes(log), QStringList{"insert into meta$grantdef values\n(\"NEW_G\",\"say \"\"hi\"\"again\")"});
    const QStringList committed = committedState(c.t);
    QVERIFY(committed.contains("grp|NEW_G|say \"hi\"again"));
    QCOMPARE(w.AddggName->text(), QString("   &AddGrantGroup"));
    QVERIFY(w.gdeflist->isVisible() && w.ModifyGrantGroup->isEnabled());
    QCOMPARE(c.d().MetaGrantDef.fieldByName("GGNAME").asString().trimmed(), QString("NEW_G"));

    // A rename onto a name in use: said so before anything is sent.
    c.prompter().clear();
    w.ModifyGrantGroup->click();
    QCOMPARE(w.AddggName->text(), QString("&UpdateGrantGroup"));
    QCOMPARE(w.gdefname->text(), QString("NEW_G"));
    QCOMPARE(w.Grantdesc->toPlainText(), QString("say \"hi\"again"));
    w.gdefname->setText("EMPTYG");
    log.clear();
    w.AddggName->click();
    QCOMPARE(c.prompter().texts(), QStringList{"Each GrantGroup must have unique name. Please, enter another name"});
    QCOMPARE(changes(log), QStringList());
    QCOMPARE(w.AddggName->text(), QString("   &AddGrantGroup"));

    // Cancel writes nothing.
    w.ModifyGrantGroup->click();
    w.gdefname->setText("OTHER");
    w.DelggName->click();
    QCOMPARE(w.DelggName->text(), QString("&DeleteGrantGroup"));
    QVERIFY(w.gdeflist->isVisible());
    QCOMPARE(changes(log), QStringList());
    QCOMPARE(committedState(c.t), committed);
    c.checkSettled();
}

void TestGrantGroupsPage::moves_data()
{
    QTest::addColumn<Move>("move");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QStringList>("rights");
    QTest::addColumn<QStringList>("added"); // rows committed, as state() shows them
    const auto gl = [](int id, const char *object, const char *type, const char *column, const char *privilege, int option) {
        return QString("gl|GG|%1:%2:%3:%4:%5:%6").arg(id).arg(object, type, column, privilege).arg(option);
    };
    QTest::newRow("procedure") << Move::Procedure << "Stored Procedures/P1"
                               << QStringList{"grant execute on procedure P1 to " + kUsers}
                               << QStringList{gl(3, "P1", "Procedure", "<null>", "Execute", 0)};
    QTest::newRow("its owner left out") << Move::OwnedProcedure << "Stored Procedures/P3"
                                        << QStringList{"grant execute on procedure P3 to U1,U2"}
                                        << QStringList{gl(3, "P3", "Procedure", "<null>", "Execute", 0)};
    QTest::newRow("a procedure again") << Move::ProcedureAgain << "Stored Procedures/P1" << QStringList{} << QStringList{};
    // The dialog: Select, Delete and Insert unticked, Update of C2 and C3.
    QTest::newRow("table through the dialog")
        << Move::Table << "Tables/T1"
        << QStringList{"grant Update\n(C2)\n on T1 to " + kUsers, "grant Update\n(C3)\n on T1 to " + kUsers}
        << QStringList{gl(3, "T1", "Table", "C2", "Update", 0), gl(4, "T1", "Table", "C3", "Update", 0)};
    QTest::newRow("a view's column") << Move::ViewColumn << "Views/V1/C1"
                                     << QStringList{"grant Select\n on V1 to " + kUsers, "grant Delete\n on V1 to " + kUsers,
                                                    "grant Insert\n on V1 to " + kUsers,
                                                    "grant Update\n(C1)\n on V1 to " + kUsers}
                                     << QStringList{gl(3, "V1", "View", "<null>", "Select", 0), gl(4, "V1", "View", "<null>", "Delete", 0),
                                                    gl(5, "V1", "View", "<null>", "Insert", 0), gl(6, "V1", "View", "C1", "Update", 0)};
    QTest::newRow("a root") << Move::Root << "Views"
                            << QStringList{"grant Select on \nV1 to " + kUsers, "grant Insert on \nV1 to " + kUsers,
                                           "grant Delete on \nV1 to " + kUsers, "grant Update on \nV1 to " + kUsers}
                            << QStringList{gl(3, "V1", "View", "<null>", "Select", 0), gl(4, "V1", "View", "<null>", "Insert", 0),
                                           gl(5, "V1", "View", "<null>", "Delete", 0), gl(6, "V1", "View", "<null>", "Update", 0)};
}

void TestGrantGroupsPage::moves()
{
    QFETCH(Move, move);
    QFETCH(QString, node);
    QFETCH(QStringList, rights);
    QFETCH(QStringList, added);
    Window c(2);
    TLorvane &w = *c.w;
    if (move == Move::ProcedureAgain) {
        select(w.Metatreegrant, node);
        w.Movebtn->click();
        w.Commitbtn->click();
    }
    const QStringList committed = committedState(c.t);
    QVERIFY(!w.Commitbtn->isEnabled());
    DialogAnswers dialog;
    dialog.prepare = [&](QDialog &d) {
        auto &g = static_cast<Tgrantmes &>(d);
        QCOMPARE(g.metalbl->text(), node.section('/', 1, 1));
        if (move != Move::Table)
            return;
        g.selcheck->setChecked(false);
        g.delcheck->setChecked(false);
        g.inscheck->setChecked(false);
        g.FieldlistMouseUp(0, 0); // C1 unticked
    };
    select(w.Metatreegrant, node);
    engine::StatementRecorder log;
    w.Movebtn->click();
    QCOMPARE(dialog.shown, int(move == Move::Table || move == Move::ViewColumn));
    QCOMPARE(rightsSent(log), rights);
    QCOMPARE(w.Commitbtn->isEnabled(), move != Move::ProcedureAgain);
    QVERIFY(w.rmvG->isEnabled());
    QCOMPARE(w.Grantsb->panelText(2), QString());
    QVERIFY(c.prompter().calls().isEmpty());
    QCOMPARE(committedState(c.t), committed); // pending until "Save and Commit"

    w.Commitbtn->click();
    const QStringList now = committedState(c.t);
    for (const QString &row : added)
        QVERIFY2(now.contains(row), qPrintable(row));
    QCOMPARE(now.filter("gl|").size(), committed.filter("gl|").size() + added.size());
    CHECK_AGREES(GrantData, c.t);
    c.checkSettled();
}

void TestGrantGroupsPage::removalsAndOptionSwitch()
{
    Window c(2);
    TLorvane &w = *c.w;
    const QStringList committed = committedState(c.t);
    const QString note = "\r\nU1 granted this privilege on to others; the server revokes those grants with it.";
    QCOMPARE(w.GrantListGrid->model()->headerData(3, Qt::Horizontal).toString(), QString("GrantOption"));
    engine::StatementRecorder log;

    // "<" on the row U1 granted on: the question says what cascades; No.
    QVERIFY(c.d().MetaGrantlist.locate("ID", 1));
    c.prompter().answer(Answer::No);
    w.Removebtn->click();
    QCOMPARE(c.prompter().texts(), QStringList{"Revoke Select privilege on Table T1 from GrantGroup GG?" + note});
    QCOMPARE(changes(log), QStringList());

    // Ctrl+Delete on the column row, Yes.
    QVERIFY(c.d().MetaGrantlist.locate("ID", 2));
    c.prompter().clear();
    c.prompter().answer(Answer::Yes);
    QTest::keyClick(w.GrantListGrid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(c.prompter().texts(), QStringList{"Revoke Update privilege on field C1 of Table T1 from GrantGroup GG?"});
    QCOMPARE(rightsSent(log), QStringList{"revoke Update\n(C1)\n on \nT1 from " + kUsers});
    QVERIFY(w.Commitbtn->isEnabled() && w.RollBackbtn->isEnabled());
    QCOMPARE(c.d().MetaGrantlist.recordCount(), 1);

    // A double click on the grant option switches it off, after the question.
    log.clear();
    c.prompter().clear();
    c.prompter().answer(Answer::Yes);
    QTest::keyClicks(w.GrantListGrid, "T"); // the letter search finds the row
    c.doubleClick(w.GrantListGrid, 3);
    QCOMPARE(c.prompter().texts(), QStringList{"Revoke grant option for Select privilege on Table T1 from GrantGroup GG?" + note});
    QCOMPARE(rightsSent(log), QStringList{"revoke grant option for Select\n on \nT1 from " + kUsers});
    QCOMPARE(c.d().MetaGrantlist.fieldByName("GGOPTION").asInteger(), 0);
    // A click elsewhere in the row switches nothing.
    log.clear();
    c.doubleClick(w.GrantListGrid, 0);
    QCOMPARE(changes(log), QStringList());

    // "Cancel and RollBack": as committed, nothing pending.
    w.RollBackbtn->click();
    QCOMPARE(committedState(c.t), committed);
    QCOMPARE(state(c.d().grantdb), committed);
    QCOMPARE(c.d().MetaGrantlist.recordCount(), 2);
    c.checkSettled();
    QVERIFY(w.Removebtn->isEnabled());

    // "<<": every row revoked and deleted, then committed.
    log.clear();
    c.prompter().clear();
    c.prompter().answer(Answer::Yes);
    w.RemoveAllbtn->click();
    QCOMPARE(c.prompter().texts(), QStringList{"Revoke all privileges?"});
    QCOMPARE(changes(log), (QStringList{"revoke Select\n on \nT1 from " + kUsers, "revoke Update\n(C1)\n on \nT1 from " + kUsers,
                                        "delete from meta$grantlist where gfname=\"GG\""}));
    w.Commitbtn->click();
    QCOMPARE(committedState(c.t).filter(QRegularExpression("^(gl|priv)\\|")), QStringList());
    CHECK_AGREES(GrantData, c.t);
    c.checkSettled();
    QVERIFY(c.prompter().problems().isEmpty());
}

void TestGrantGroupsPage::deleteGroup_data()
{
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<bool>("revoked");
    QTest::newRow("not at all") << QList<Answer>{Answer::No} << false << false;
    QTest::newRow("privileges kept") << QList<Answer>{Answer::Yes, Answer::No} << true << false;
    QTest::newRow("revoking declined") << QList<Answer>{Answer::Yes, Answer::Yes, Answer::No} << true << false;
    QTest::newRow("revoking") << QList<Answer>{Answer::Yes, Answer::Yes, Answer::Yes} << true << true;
}

void TestGrantGroupsPage::deleteGroup()
{
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, deleted);
    QFETCH(bool, revoked);
    Window c(2);
    TLorvane &w = *c.w;
    for (Answer a : answers)
        c.prompter().answer(a);
    w.DelggName->click();
    const QStringList questions{"Do you really want to delete Grant Group \"GG\"?",
                                "Revoke all registered user privileges on GrantGroup \"GG\"?", "Revoke all privileges?"};
    QCOMPARE(c.prompter().texts(), questions.mid(0, answers.size()));
    const QStringList now = committedState(c.t);
    QCOMPARE(now.contains("grp|GG|<null>"), !deleted);
    QCOMPARE(now.filter("|GG|").isEmpty(), deleted);
    QCOMPARE(now.filter("priv|").size(), revoked ? 0 : 6);
    if (revoked || !deleted)
        CHECK_AGREES(GrantData, c.t);
    c.checkSettled();
    QCOMPARE(w.DelggName->isEnabled(), true); // EMPTYG or GG is current
}

void TestGrantGroupsPage::membership()
{
    Window c(3);
    TLorvane &w = *c.w;
    TGrantData &d = c.d();
    QCOMPARE(w.usersgp->model()->headerData(1, Qt::Horizontal).toString(), QString(" 'UG'"));
    QCOMPARE(w.usergrid->model()->headerData(1, Qt::Horizontal).toString(), QString(" Users"));
    QCOMPARE(d.usersdef.recordCount(), 2); // U1, U3: U2 is a member
    const QStringList committed = committedState(c.t);
    engine::StatementRecorder log;

    // ">" then "Cancel and RollBack": the member list shows what exists.
    QVERIFY(d.usersdef.locate("UGNAME", "U1"));
    w.mvbtn->click();
    // U1 holds GG himself: its grants are sent again, and no row says UG gives it.
    QCOMPARE(changes(log), (QStringList{"insert into meta$userslist values(2,'UG','U1')",
                                        "grant Select\n on \nT1\n to U1\n with grant option", "grant Update\n(C1)\n on \nT1\n to U1"}));
    QVERIFY(w.okbtn->isEnabled() && w.escbtn->isEnabled() && w.Commit1->isEnabled());
    QCOMPARE(d.usersgrp.recordCount(), 2);
    w.escbtn->click();
    QCOMPARE(d.usersgrp.recordCount(), 1);
    QCOMPARE(d.usersdef.recordCount(), 2);
    QCOMPARE(committedState(c.t), committed);
    c.checkSettled();

    // UG now holds EMPTYG too, with a row on T2 that U3 owns: ">>" grants
    // both groups to the candidates, T2 not to its owner.
    for (const char *sql : {"insert into meta$grantusers values (4, 'EMPTYG', 'UG', 2)",
                            "insert into meta$usersgrant values (4, 'EMPTYG', 'U2')",
                            "insert into meta$grantlist values (1, 'EMPTYG', 'T1', 'Table', null, 'Delete', 0)",
                            "insert into meta$grantlist values (2, 'EMPTYG', 'T2', 'Table', null, 'Select', 0)",
                            "grant delete on T1 to U2", "grant select on T2 to U2"})
        d.execQ({QString::fromLatin1(sql)});
    d.transaction.commit();
    log.clear();
    w.mvallbtn->click();
    const auto joins = [](const char *user, int member, int reach, const QStringList &others) {
        return QStringList{QString("insert into meta$userslist values(%1,'UG','%2')").arg(member).arg(user),
                           QString("grant Delete\n on \nT1\n to %1").arg(user),
                           QString("grant Select\n on \nT1\n to %1\n with grant option").arg(user),
                           QString("grant Update\n(C1)\n on \nT1\n to %1").arg(user)}
            + others + QStringList{QString("insert into meta$usersgrant values(%1,\"EMPTYG\",\"%2\")").arg(reach).arg(user)};
    };
    QCOMPARE(changes(log), joins("U3", 2, 5, {}) + joins("U1", 3, 6, {"grant Select\n on \nT2\n to U1"}));
    QCOMPARE(d.usersdef.recordCount(), 0);
    w.okbtn->click();
    CHECK_AGREES(GrantData, c.t);
    c.checkSettled();

    // "<" on a member, then "<<".
    QVERIFY(d.usersgrp.locate("UALIAS", "U3"));
    c.prompter().answer(Answer::Yes).answer(Answer::Yes);
    log.clear();
    w.remvbtn->click();
    QCOMPARE(changes(log), (QStringList{"revoke Delete\n on \nT1 from U3",
                                        "delete from meta$usersgrant where gfname=\"EMPTYG\" and ufname=\"U3\"",
                                        "delete from meta$userslist where ufname='UG' and ualias='U3'"}));
    w.remvallbtn->click();
    QCOMPARE(c.prompter().texts(), (QStringList{privileges::removeMemberQuestion("U3", "UG"),
                                                privileges::removeAllMembersQuestion("UG")}));
    QCOMPARE(d.usersgrp.recordCount(), 0);
    w.okbtn->click();
    QCOMPARE(committedState(c.t).filter(QRegularExpression("^priv\\|U[123]\\|T1:D")), QStringList());
    CHECK_AGREES(GrantData, c.t);
    c.checkSettled();
}

void TestGrantGroupsPage::failureRollsBackEveryPage_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("occurrence");
    QTest::newRow(">> on a root, the second grant") << 2 << "grant " << 2;
    QTest::newRow("<, the revoke") << 2 << "revoke " << 1;
    QTest::newRow("a member joins, the insert") << 3 << "insert into meta$userslist" << 1;
    QTest::newRow("Save and Commit of a new group") << 2 << "insert into meta$grantdef" << 1;
}

void TestGrantGroupsPage::failureRollsBackEveryPage()
{
    QFETCH(int, page);
    QFETCH(QString, needle);
    QFETCH(int, occurrence);
    Window c(3);
    TLorvane &w = *c.w;
    const QStringList committed = committedState(c.t);
    // Pending work on the membership page first: it goes with the failure.
    QVERIFY(c.d().usersdef.locate("UGNAME", "U1"));
    w.mvbtn->click();
    if (page == 2) { // past the guard: the work stays pending
        w.GrantPages->setCurrentWidget(w.GrantGroups);
        w.GrantPagesChange();
        QVERIFY(c.d().MetaGrantDef.locate("GGNAME", "GG"));
    }
    c.prompter().clear();
    c.prompter().answer(Answer::Yes);
    const QStringList lost = c.d().transaction.pending();
    {
        FailingStatement failing(needle, occurrence);
        if (needle.startsWith("grant")) {
            select(w.Metatreegrant, "Tables");
            w.MoveallBtn->click();
        } else if (needle.startsWith("revoke")) {
            w.Removebtn->click();
        } else if (needle.contains("userslist")) {
            QVERIFY(c.d().usersdef.locate("UGNAME", "U3"));
            w.mvbtn->click();
        } else {
            w.AddggName->click();
            w.gdefname->setText("G9");
            w.AddggName->click();
        }
    }
    // The member's join pending before is named as lost.
    QVERIFY2(namesLostWork(c.prompter().texts().last(), "injected failure", lost), qPrintable(c.prompter().texts().last()));
    CHECK_LAST_COMMIT(GrantData, c.t, committed);
    QCOMPARE(c.d().usersgrp.recordCount(), 1);
    c.checkSettled();
}

void TestGrantGroupsPage::guardSettlesThePagesWork_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("commit");
    QTest::newRow("grant groups, Yes") << 2 << "Commit new/modified GrantGroups?" << true;
    QTest::newRow("grant groups, No") << 2 << "Commit new/modified GrantGroups?" << false;
    QTest::newRow("members, Yes") << 3 << "Save changes?" << true;
    QTest::newRow("members, No") << 3 << "Save changes?" << false;
}

void TestGrantGroupsPage::guardSettlesThePagesWork()
{
    QFETCH(int, page);
    QFETCH(QString, question);
    QFETCH(bool, commit);
    Window c(page);
    TLorvane &w = *c.w;
    const QStringList committed = committedWorld(c.t);
    if (page == 2) {
        select(w.Metatreegrant, "Stored Procedures/P2");
        w.Movebtn->click();
    } else {
        QVERIFY(c.d().usersdef.locate("UGNAME", "U3"));
        w.mvbtn->click();
    }
    c.prompter().answer(commit ? Answer::Yes : Answer::No);
    c.p->clickTab(1);
    QCOMPARE(c.prompter().texts(), QStringList{question});
    QCOMPARE(w.GrantPages->currentIndex(), 1);
    QCOMPARE(committedWorld(c.t) != committed, commit);
    QCOMPARE(state(c.d().grantdb), committedState(c.t));
    CHECK_AGREES(GrantData, c.t);
    c.checkSettled();
}

void TestGrantGroupsPage::refusedNameInTheGuardCommitsNothing()
{
    Window c(2);
    TLorvane &w = *c.w;
    const QStringList committed = committedWorld(c.t);
    select(w.Metatreegrant, "Stored Procedures/P2");
    w.Movebtn->click(); // pending: a privilege added to GG
    QVERIFY(w.Commitbtn->isEnabled());
    w.AddggName->click();
    w.gdefname->setText("BAD\"NAME");
    c.prompter().clear();
    c.prompter().answer(Answer::Yes);
    c.p->clickTab(1);
    const QStringList texts = c.prompter().texts();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts.first(), QString("Commit new/modified GrantGroups?"));
    QCOMPARE(texts.last(), privileges::groupNameProblem("BAD\"NAME") + "\n\n" + framerules::nothingCommittedText());
    // Nothing of the work was committed, none of it is pending, and the
    // editor is closed: the next page change asks nothing.
    QCOMPARE(committedWorld(c.t), committed);
    QCOMPARE(state(c.d().grantdb), committedState(c.t));
    QCOMPARE(w.GrantPages->currentIndex(), 2);
    QCOMPARE(w.AddggName->text(), QString("   &AddGrantGroup"));
    c.checkSettled();
    c.prompter().clear();
    c.p->clickTab(1);
    QCOMPARE(c.prompter().texts(), QStringList());
    QCOMPARE(w.GrantPages->currentIndex(), 1);
    CHECK_AGREES(GrantData, c.t);
}

void TestGrantGroupsPage::longDescriptionCutToTheColumn()
{
    Window c(3);
    TLorvane &w = *c.w;
    QVERIFY(c.d().usersdef.locate("UGNAME", "U3"));
    w.mvbtn->click(); // pending membership: the group's commit takes it along
    w.GrantPages->setCurrentWidget(w.GrantGroups);
    w.GrantPagesChange();
    w.AddggName->click();
    w.gdefname->setText("G9");
    w.Grantdesc->setPlainText(QString(200, QChar(0xFC)));
    w.AddggName->click();
    QCOMPARE(c.prompter().texts(), QStringList());
    auto second = c.t.connect("SYSDBA", "Second");
    QCOMPARE(rows(*second, "select ggdesc from meta$grantdef where ggname = 'G9'"),
             QStringList{QString(127, QChar(0xFC))});
    QCOMPARE(count(*second, "select count(*) from meta$userslist where ualias = 'U3'"), 1);
    c.checkSettled();
}

DUNMOOR_GUI_TEST_MAIN(TestGrantGroupsPage)
#include "tst_grantgroupspage.moc"
