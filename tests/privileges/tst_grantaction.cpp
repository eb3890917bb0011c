// The assignment page as a user works it after a connect: the grids with
// their titles, the buttons with their hints, an assignment and its removal
// through the buttons and the questions, commit and roll-back through the
// buttons and the menu, a failure, and the letter search of each grid.
#include "PrivilegesFixture.h"
#include "engine/GridModel.h"
#include "platform/PanelStatusBar.h"
#include "privileges/LayerChecks.h"
#include "privileges/UserGroupMembers.h"
#include "support/GuiTestMain.h"

#include <QAction>
#include <QHeaderView>
#include <QTableView>
#include <QPushButton>
#include <QToolButton>

using namespace privtest;
using Answer = platform::Prompter::Answer;

namespace {

// The connect imported a grant group per grantee (PUBLIC_Group, U1_Group,
// U2_Group); UG holds U1 and U2. The page is shown on U1_Group.
struct OnPage : ConnectedWindow {
    OnPage()
    {
        for (const char *sql : {"insert into meta$usersdef values ('UG', null, 2)", "insert into meta$userslist values (1, 'UG', 'U1')",
                                "insert into meta$userslist values (2, 'UG', 'U2')"})
            GrantData->execQ({QString::fromLatin1(sql)});
        GrantData->transaction.commit();
        p->clickTab(4);
        GrantData->metagrp.locate("GGNAME", "U1_Group");
    }
};

// The titles of a grid's shown columns, left to right.
QStringList titles(QTableView *grid)
{
    QHeaderView *h = grid->horizontalHeader();
    QStringList out;
    for (int visual = 0; visual < h->count(); ++visual) {
        const int section = h->logicalIndex(visual);
        if (!h->isSectionHidden(section))
            out << grid->model()->headerData(section, Qt::Horizontal).toString();
    }
    return out;
}

QString current(engine::DataSet &ds, const char *field)
{
    return ds.fieldByName(field).asString().trimmed();
}

} // namespace

class TestGrantAction : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void pageAfterConnect();
    void assignAndTakeBackThroughThePage();
    void failureLeavesNothingToCommit();
    void leavingThePageRolledBackShowsTheHolders();
    void candidatesFollowThePageShown();
    void letterSearch_data();
    void letterSearch();
};

void TestGrantAction::pageAfterConnect()
{
    OnPage c;
    TLorvane &w = *c.w;
    QCOMPARE(titles(w.uusergrid), (QStringList{"Users", "& UserGroups"}));
    QCOMPARE(titles(w.metagrid), (QStringList{"Group ", " 'U1_Group'"}));
    QCOMPARE(titles(w.metalist), QStringList{"GrantGroups"});
    QCOMPARE(w.uusergrid->horizontalHeader()->sectionSize(w.uusergrid->horizontalHeader()->logicalIndex(0)), 40);
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), QStringList{"U1"});
    // Every holder but the group's own: PUBLIC and UG first.
    QCOMPARE(column(GrantData->usersdef, "UGNAME"), (QStringList{"PUBLIC", "UG", "U2"}));
    QStringList hints;
    for (QToolButton *b : {w.gmvallbtn, w.gmvbtn, w.gremvbtn, w.gremvallbtn, w.gokbtn, w.gescbtn})
        hints << b->text() + " " + b->toolTip();
    QCOMPARE(hints, (QStringList{">> Move all", "> Move", "< Remove", "<< Remove all", "OK Save and Commit",
                                 "Esc Cancel and RollBack"}));
    QVERIFY(!w.gokbtn->isEnabled());
    QVERIFY(!w.gescbtn->isEnabled());
    if (const QString dir = qEnvironmentVariable("SCREENSHOT_DIR"); !dir.isEmpty()) {
        w.resize(900, 560);
        QVERIFY(w.grab().save(dir + "/grantaction.png"));
    }
}

void TestGrantAction::assignAndTakeBackThroughThePage()
{
    OnPage c;
    TLorvane &w = *c.w;
    QVERIFY(GrantData->usersdef.locate("UGNAME", "UG"));
    engine::StatementRecorder log;
    w.gmvbtn->click();
    // U1 receives the group already: only U2 is granted its privileges.
    QCOMPARE(rightsStatements(log), (QStringList{"grant Select\n on \nT1\n to U2\n with grant option",
                                                 "grant Update\n(C1)\n on \nT1\n to U2"}));
    QVERIFY(w.gokbtn->isEnabled());
    QVERIFY(w.gescbtn->isEnabled());
    QVERIFY(w.Commit3->isEnabled());
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), (QStringList{"U1", "UG"}));
    QCOMPARE(w.Grantsb->panelText(2), QString());
    QCOMPARE(disagreements(GrantData->grantdb), QStringList());

    // No: nothing sent. Yes: UG goes; U1 keeps the group directly.
    QVERIFY(GrantData->metasgrp.locate("UFNAME", "UG"));
    log.clear();
    c.p->prompter.answer(Answer::No);
    w.gremvbtn->click();
    QCOMPARE(c.p->prompter.texts(), QStringList{"Revoke grant on GrantGroup \"U1_Group\" from \"UG\"?"});
    QCOMPARE(changes(log), QStringList());
    c.p->prompter.answer(Answer::Yes);
    w.gremvbtn->click();
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), QStringList{"U1"});
    QCOMPARE(changes(log).filter("meta$usersgrant"),
             QStringList{"delete from meta$usersgrant where (gfname=\"U1_Group\") and (ufname\n in (\"U2\"))"});
    w.Commit3->trigger();
    QVERIFY(!w.gokbtn->isEnabled());
    QVERIFY(!w.Commit3->isEnabled());
    QCOMPARE(committedDisagreements(c.t), QStringList());

    // Remove all, answered No, then Yes; the roll-back brings U1 back.
    c.p->prompter.clear();
    c.p->prompter.answer(Answer::No).answer(Answer::Yes);
    w.gremvallbtn->click();
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), QStringList{"U1"});
    w.gremvallbtn->click();
    QCOMPARE(c.p->prompter.texts(), QStringList(2, "Revoke all grants on group U1_Group?"));
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), QStringList());
    w.gescbtn->click();
    QVERIFY(!w.gokbtn->isEnabled());
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), QStringList{"U1"});
    QCOMPARE(disagreements(GrantData->grantdb), QStringList());
    QVERIFY(c.p->prompter.problems().isEmpty());
}

void TestGrantAction::failureLeavesNothingToCommit()
{
    OnPage c;
    TLorvane &w = *c.w;
    QVERIFY(GrantData->usersdef.locate("UGNAME", "PUBLIC"));
    w.gmvbtn->click();
    QVERIFY(w.gokbtn->isEnabled());
    QVERIFY(GrantData->usersdef.locate("UGNAME", "U2"));
    const QStringList lost = GrantData->transaction.pending();
    QVERIFY(!lost.isEmpty());
    {
        FailingStatement failing("grant ");
        w.gmvbtn->click();
    }
    // The assignment to PUBLIC was pending: the message says it is lost.
    QCOMPARE(c.p->prompter.texts(), QStringList{"injected failure" + engine::KeptTransaction::lostWorkText(lost)});
    QVERIFY(!w.gokbtn->isEnabled());
    QVERIFY(!w.gescbtn->isEnabled());
    QCOMPARE(w.Grantsb->panelText(2), QString());
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), QStringList{"U1"});
    QCOMPARE(state(GrantData->grantdb), committedState(c.t));
}

void TestGrantAction::leavingThePageRolledBackShowsTheHolders()
{
    OnPage c;
    QVERIFY(GrantData->usersdef.locate("UGNAME", "U2"));
    c.w->gmvbtn->click();
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), (QStringList{"U1", "U2"}));
    c.p->prompter.answer(Answer::No);
    c.p->clickTab(1);
    QCOMPARE(c.p->prompter.texts(), QStringList{"Save changes?"});
    c.p->clickTab(4);
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), QStringList{"U1"});
    QCOMPARE(column(GrantData->usersdef, "UGNAME"), (QStringList{"PUBLIC", "UG", "U2"}));
}

void TestGrantAction::candidatesFollowThePageShown()
{
    OnPage c;
    TLorvane &w = *c.w;
    GrantData->execQ({"insert into meta$usersdef values ('U7', null, 0)"});
    GrantData->transaction.commit();
    // Saving a user on the members' page, once the holders' page was open,
    // leaves the members' candidates: users who are not members.
    c.p->clickTab(3);
    QVERIFY(GrantData->usergrp.locate("UGNAME", "UG"));
    w.uplus->click();
    QTest::keyClicks(w.usn, "u8");
    w.svu->click();
    QCOMPARE(c.p->prompter.texts(), QStringList());
    QVERIFY(GrantData->usergrp.locate("UGNAME", "UG"));
    QCOMPARE(column(GrantData->usersdef, "UGNAME"), (QStringList{"U7", "U8"}));
    // Whatever the list shows, a user group, PUBLIC or a member does not join.
    privileges::NoProgress quiet;
    privileges::UserGroupMembers members(*GrantData, quiet);
    for (const QString &name : QStringList{"UG", "PUBLIC", "U1"}) {
        try {
            members.addMember(name);
            QFAIL(qPrintable(name + " joined"));
        } catch (const privileges::LayerRefusal &e) {
            QCOMPARE(e.message(), name == "U1" ? privileges::alreadyMemberText("U1", "UG") : privileges::notAUserText(name));
        }
    }
    QCOMPARE(column(GrantData->usersgrp, "UALIAS"), (QStringList{"U1", "U2"}));

    // Back on the holders' page a failed assignment leaves its candidates:
    // user groups and PUBLIC, the holders left out.
    c.p->clickTab(4);
    QVERIFY(GrantData->metagrp.locate("GGNAME", "U1_Group"));
    const QStringList candidates{"PUBLIC", "UG", "U2", "U7", "U8"};
    QCOMPARE(column(GrantData->usersdef, "UGNAME"), candidates);
    QVERIFY(GrantData->usersdef.locate("UGNAME", "U7"));
    {
        FailingStatement failing("insert into meta$usersgrant");
        w.gmvbtn->click();
    }
    QCOMPARE(c.p->prompter.texts(), QStringList{"injected failure"});
    QCOMPARE(column(GrantData->usersdef, "UGNAME"), candidates);
    QCOMPARE(column(GrantData->metasgrp, "UFNAME"), QStringList{"U1"});
    QVERIFY(w.isEnabled());
    CHECK_AGREES(GrantData, c.t);
}

void TestGrantAction::letterSearch_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("candidates") << "uusergrid" << "uup" << QStringList{"UG", "U2", "PUBLIC"};
    QTest::newRow("holders") << "metagrid" << "ux" << QStringList{"U1", "U1"};
    QTest::newRow("grant groups") << "metalist" << "uuup" << QStringList{"U1_Group", "U2_Group", "U1_Group", "PUBLIC_Group"};
}

void TestGrantAction::letterSearch()
{
    QFETCH(QString, grid);
    QFETCH(QString, keys);
    QFETCH(QStringList, rows);
    OnPage c;
    auto *view = c.w->findChild<QTableView *>(grid);
    auto *model = static_cast<engine::GridModel *>(view->model());
    engine::DataSet &ds = *model->dataSet();
    const char *field = grid == "uusergrid" ? "UGNAME" : grid == "metagrid" ? "UFNAME" : "GGNAME";
    QStringList seen;
    for (const QChar key : keys) {
        QTest::keyClicks(view, QString(key));
        seen << current(ds, field);
        QCOMPARE(view->currentIndex().row(), ds.recNo());
    }
    QCOMPARE(seen, rows);
}

DUNMOOR_GUI_TEST_MAIN(TestGrantAction)
#include "tst_grantaction.moc"
