// The connect and disconnect commands: login, command line, the test for
// the administrative tables and the creation question, and what happens to
// pending work when the connection ends.
#include "PrivilegesFixture.h"
#include "platform/PanelStatusBar.h"
#include "support/GuiTestMain.h"
#include "support/RealClicks.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

using namespace privtest;
using Answer = platform::Prompter::Answer;

namespace {
const QString kAlias = "GRANTDB";
const QString kCreate = "There are no GrantGroups in this database. Do you want to create them?";
const QString kDisconnect = "Disconnect from database GRANTDB?";
const QString kExit = "Do you want to exit the Lorvane?";

bool visible(QMenu *m)
{
    return m->menuAction()->isVisible();
}

QStringList shownTabs(QTabWidget *tabs)
{
    QStringList r;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            r << tabs->tabText(i);
    return r;
}

int adminTablesIn(const TestDatabase &db)
{
    auto other = db.connect("SYSDBA", "Observer");
    return testsupport::scalar(*other, "select count(*) from rdb$relations where rdb$relation_name starting with 'META$'")
        .toInt();
}

int grantsTo(const TestDatabase &db, const QString &user)
{
    auto other = db.connect("SYSDBA", "Observer");
    return testsupport::scalar(*other, QString("select count(*) from rdb$user_privileges where rdb$user = '%1' "
                                               "and rdb$relation_name = 'T'").arg(user))
        .toInt();
}

} // namespace

class TestConnect : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void connectWithoutAlias();
    void cancelInTheLoginDialog();
    void adminTables_data();
    void adminTables();
    void creationRefusedGoesOnAsAfterNo_data();
    void creationRefusedGoesOnAsAfterNo();
    void tablesWithoutReadRightStillCount();
    void erase_data();
    void erase();
    void eraseRefusedShowsThePagesAgain();
    void commandLineConnectsAtOnce();
    void connectWhileConnectedDoesNothing();
    void disconnectCommitsPendingGrant_data();
    void disconnectCommitsPendingGrant();
    void failedCommitAtDisconnect_data();
    void failedCommitAtDisconnect();
    void failedCommitAtCloseKeepsTheWindow();

private:
    // Started with the test alias on its command line; No to the creation
    // question.
    std::unique_ptr<Program> connectedByCommandLine()
    {
        auto p = std::make_unique<Program>(QStringList{kAlias, "SYSDBA", ""}, false);
        p->prompter.answer(Answer::No);
        p->w.show();
        if (!GrantData->grantdb.isConnected())
            qWarning("not connected");
        return p;
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<ScopedAlias> m_alias;
};

void TestConnect::init()
{
    clearSettings();
    m_db = std::make_unique<TestDatabase>();
    auto c = m_db->connect();
    testsupport::exec(*c, "create table T (N integer)");
    m_alias = std::make_unique<ScopedAlias>(kAlias, m_db->path(), "SYSDBA");
}

void TestConnect::cleanup()
{
    m_alias.reset();
    m_db.reset();
}

void TestConnect::connectWithoutAlias()
{
    m_alias.reset();
    for (const QString &a : engine::Session::defaultSession().aliasNames())
        engine::Session::defaultSession().deleteAlias(a);
    Program p;
    QCOMPARE(p.w.AliasParams->rowCount(), 0);
    LoginAnswers login;
    p.w.cntbtn->click();
    QCOMPARE(p.prompter.texts(), QStringList{"Please, define alias first"});
    QCOMPARE(login.shown, 0);
    QVERIFY(!GrantData->grantdb.isConnected());
    QVERIFY(p.w.dcntbtn->isChecked());
}

void TestConnect::cancelInTheLoginDialog()
{
    Program p;
    p.selectAlias(kAlias);
    LoginAnswers login;
    login.cancel = true;
    p.w.connect1->trigger();
    QCOMPARE(login.shown, 1);
    QCOMPARE(login.alias, kAlias);
    QCOMPARE(login.userShown, QString("SYSDBA")); // from the alias's USER NAME row
    QVERIFY(!GrantData->grantdb.isConnected());
    QVERIFY(p.w.dcntbtn->isChecked());
    QCOMPARE(p.w.GrantPages->currentWidget(), p.w.Connect);
    QVERIFY(p.prompter.calls().isEmpty());
}

void TestConnect::adminTables_data()
{
    QTest::addColumn<int>("tables");       // how many of the six exist
    QTest::addColumn<QList<int>>("answers"); // to the questions, in turn
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("allPages");
    QTest::addColumn<int>("after"); // how many exist afterwards
    const QString partial = "The GrantGroups tables of this database are incomplete; missing: "
                            "META$GRANTUSERS, META$USERSGRANT.\r\nYes creates the missing tables, No drops the ones "
                            "present; with Cancel only the GrantInfo page is available.";
    const int yes = int(Answer::Yes), no = int(Answer::No), cancel = int(Answer::Cancel);
    QTest::newRow("all six") << 6 << QList<int>{} << QStringList() << true << 6;
    QTest::newRow("none, No") << 0 << QList<int>{no} << QStringList{kCreate} << false << 0;
    QTest::newRow("none, Yes") << 0 << QList<int>{yes} << QStringList{kCreate} << true << 6;
    QTest::newRow("four of six, left") << 4 << QList<int>{cancel} << QStringList{partial} << false << 4;
    QTest::newRow("four of six, the missing made") << 4 << QList<int>{yes} << QStringList{partial} << true << 6;
    QTest::newRow("four of six, dropped, then made")
        << 4 << QList<int>{no, yes} << QStringList{partial, kCreate} << true << 6;
    QTest::newRow("four of six, dropped") << 4 << QList<int>{no, no} << QStringList{partial, kCreate} << false << 0;
}

void TestConnect::adminTables()
{
    QFETCH(int, tables);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, texts);
    QFETCH(bool, allPages);
    QFETCH(int, after);
    {
        auto c = m_db->connect();
        createAdminTables(*c, tables);
    }
    Program p;
    p.selectAlias(kAlias);
    LoginAnswers login;
    login.password = "x";
    for (int a : answers)
        p.prompter.answer(Answer(a));
    p.w.cntbtn->click();
    QCOMPARE(p.prompter.texts(), texts);
    QCOMPARE(adminTablesIn(*m_db), after);
    // Made here, the layer is whole: PUBLIC registered as a creation does.
    if (after == 6 && tables < 6)
        QCOMPARE(count(GrantData->grantdb, "select count(*) from meta$usersdef where ugname = 'PUBLIC'"), 1);
    QVERIFY(GrantData->grantdb.isConnected());
    QVERIFY(GrantData->grantdb.inTransaction());
    QCOMPARE(shownTabs(p.w.GrantPages), allPages ? (QStringList{"GrantInfo", "GrantGroups", "UserGroups", "GrantAction"})
                                                 : QStringList{"GrantInfo"});
    QCOMPARE(p.w.GrantPages->currentWidget(), p.w.GrantInfo);
    QCOMPARE(visible(p.w.Groups1), allPages);
    QCOMPARE(visible(p.w.Users1), allPages);
    QCOMPARE(p.w.erasebtn->isEnabled(), allPages);
    QCOMPARE(p.w.Erasemn->isEnabled(), allPages);
    QVERIFY(visible(p.w.Info1) && !visible(p.w.Alias1));
    QVERIFY(!p.w.connect1->isEnabled() && p.w.Disconnect1->isEnabled());
    QCOMPARE(p.w.Grantsb->panelText(0), QString(" DataBase: GRANTDB"));
    QCOMPARE(p.w.Grantsb->panelText(2), QString());
    QVERIFY(!QApplication::overrideCursor());
    // The privilege page names the login user as grantor.
    QCOMPARE(p.w.USER1->text(), QString("SYSDBA"));
}

void TestConnect::creationRefusedGoesOnAsAfterNo_data()
{
    // The rights are named only when the server refused for their lack.
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("refused");
    QTest::newRow("no right to create tables")
        << "U2" << "The GrantGroups tables could not be created. Creating them needs the database owner, SYSDBA, "
                   "or a user granted CREATE TABLE.\r\n";
    QTest::newRow("another failure") << "SYSDBA" << "The GrantGroups tables could not be created. \r\ninjected failure";
}

void TestConnect::creationRefusedGoesOnAsAfterNo()
{
    QFETCH(QString, user);
    QFETCH(QString, refused);
    Program p;
    p.selectAlias(kAlias);
    LoginAnswers login;
    login.user = user;
    p.prompter.answer(Answer::Yes);
    {
        FailingStatement failing(user == "SYSDBA" ? "Meta$usersdef" : "never sent");
        p.w.cntbtn->click();
    }
    const QStringList texts = p.prompter.texts();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts.first(), kCreate);
    // The server's text follows.
    QVERIFY2(texts.last().startsWith(refused) && texts.last().size() >= refused.size(), qPrintable(texts.last()));
    QVERIFY(GrantData->grantdb.isConnected() && GrantData->grantdb.inTransaction());
    QCOMPARE(shownTabs(p.w.GrantPages), QStringList{"GrantInfo"});
    QVERIFY(!p.w.erasebtn->isEnabled());
    QCOMPARE(p.w.Grantsb->panelText(2), QString());
    QCOMPARE(adminTablesIn(*m_db), 0);
    QVERIFY(GrantData->TrigList.isActive());
}

void TestConnect::tablesWithoutReadRightStillCount()
{
    {
        auto c = m_db->connect();
        createAdminTables(*c); // no grants: U1 may not read them
    }
    Program p;
    p.selectAlias(kAlias);
    LoginAnswers login;
    login.user = "U1";
    p.w.cntbtn->click();
    QCOMPARE(p.prompter.texts(), QStringList());
    QVERIFY(GrantData->grantdb.isConnected());
    QVERIFY(p.w.GrantPages->isTabVisible(2));
}

void TestConnect::commandLineConnectsAtOnce()
{
    {
        auto c = m_db->connect();
        createAdminTables(*c);
    }
    LoginAnswers login;
    Program p({kAlias, "sysdba", "pw"});
    QCOMPARE(login.shown, 0);
    QVERIFY(GrantData->grantdb.isConnected());
    QCOMPARE(p.w.Grantsb->panelText(0), QString(" DataBase: GRANTDB"));
    QCOMPARE(p.forms.login->nmedit->text(), QString("sysdba"));
    QVERIFY(p.w.cntbtn->isChecked());
    // Later connects are interactive again.
    p.prompter.answer(Answer::Yes);
    p.w.dcntbtn->click();
    login.cancel = true;
    p.w.cntbtn->click();
    QCOMPARE(login.shown, 1);
}

void TestConnect::connectWhileConnectedDoesNothing()
{
    auto started = connectedByCommandLine();
    Program &p = *started;
    LoginAnswers login;
    p.w.cntbtnClick();
    QCOMPARE(login.shown, 0);
}

void TestConnect::disconnectCommitsPendingGrant_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestConnect::disconnectCommitsPendingGrant()
{
    QFETCH(bool, confirm);
    auto started = connectedByCommandLine();
    Program &p = *started;
    GrantData->transaction.run([] { GrantData->grantdb.executeImmediate("grant select on T to U2"); });
    QCOMPARE(grantsTo(*m_db, "U2"), 0);

    // The real box, answered by a mouse click while the command works.
    platform::Prompter *const scripted = platform::Prompter::install(nullptr);
    QString asked;
    testsupport::RealClicks clicks;
    clicks.then(confirm ? "Yes" : "No", [&](QDialog &d) { asked = static_cast<QMessageBox &>(d).text(); });
    p.w.Disconnect1->trigger();
    platform::Prompter::install(scripted);
    QCOMPARE(clicks.met, QStringList{"Confirmation"});
    QCOMPARE(asked, kDisconnect);
    if (!confirm) {
        QVERIFY(GrantData->grantdb.isConnected());
        QVERIFY(p.w.cntbtn->isChecked());
        QCOMPARE(grantsTo(*m_db, "U2"), 0);
        return;
    }
    QVERIFY(!GrantData->grantdb.isConnected());
    QCOMPARE(grantsTo(*m_db, "U2"), 1);
    QCOMPARE(shownTabs(p.w.GrantPages), QStringList{"Connect"});
    QCOMPARE(p.w.GrantPages->currentWidget(), p.w.Connect);
    QCOMPARE(p.w.Grantsb->panelText(0), QString(" No Active DataBase"));
    QCOMPARE(p.w.Grantsb->panelText(2), QString());
    QVERIFY(p.w.connect1->isEnabled() && !p.w.Disconnect1->isEnabled());
    QVERIFY(!visible(p.w.Info1) && visible(p.w.Alias1));
}

void TestConnect::failedCommitAtDisconnect_data()
{
    QTest::addColumn<bool>("rollBack");
    QTest::newRow("roll back and disconnect") << true;
    QTest::newRow("stay connected, retry later") << false;
}

void TestConnect::failedCommitAtDisconnect()
{
    QFETCH(bool, rollBack);
    auto started = connectedByCommandLine();
    Program &p = *started;
    auto other = pendingDropInUse(*m_db);

    p.prompter.answer(Answer::Yes).answer(rollBack ? Answer::Yes : Answer::No);
    p.w.dcntbtn->click();
    const QString asked = p.prompter.texts().last();
    QVERIFY2(asked.contains("in use") && asked.endsWith("Roll back the changes and disconnect?"), qPrintable(asked));
    if (rollBack) {
        QVERIFY(!GrantData->grantdb.isConnected());
        QCOMPARE(p.w.Grantsb->panelText(0), QString(" No Active DataBase"));
        other.reset();
        auto check = m_db->connect("SYSDBA", "Check");
        QCOMPARE(testsupport::scalar(*check, "select count(*) from T").toInt(), 0); // T still there
        return;
    }
    // Still connected, the drop still pending, the privilege page back.
    QVERIFY(GrantData->grantdb.isConnected());
    QVERIFY(GrantData->grantdb.inTransaction());
    QCOMPARE(p.w.GrantPages->currentWidget(), p.w.GrantInfo);
    QVERIFY(!p.w.GrantPages->isTabVisible(0));
    QVERIFY(p.w.cntbtn->isChecked());
    QCOMPARE(p.w.Grantsb->panelText(2), QString());
    // Once the other connection has gone, the same work commits.
    other.reset();
    p.prompter.answer(Answer::Yes);
    p.w.dcntbtn->click();
    QVERIFY(!GrantData->grantdb.isConnected());
    auto check = m_db->connect("SYSDBA", "Check");
    QCOMPARE(testsupport::scalar(*check, "select count(*) from rdb$relations where rdb$relation_name = 'T'").toInt(), 0);
}

void TestConnect::failedCommitAtCloseKeepsTheWindow()
{
    auto started = connectedByCommandLine();
    Program &p = *started;
    auto other = pendingDropInUse(*m_db);
    p.prompter.answer(Answer::Yes);
    QVERIFY(!p.w.close());
    QVERIFY(p.w.isVisible());
    QCOMPARE(p.prompter.calls().size(), 3);
    QCOMPARE(p.prompter.calls().at(1).text, kExit);
    QCOMPARE(p.prompter.calls().at(2).kind, ScriptedPrompter::Kind::Message);
    QVERIFY(p.prompter.calls().at(2).text.contains("in use"));
    QVERIFY(GrantData->grantdb.isConnected() && GrantData->grantdb.inTransaction());
}

void TestConnect::erase_data()
{
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("erased");
    QTest::addColumn<bool>("revoked");
    const int yes = int(Answer::Yes), no = int(Answer::No);
    QTest::newRow("drop and revoke") << QList<int>{yes, yes} << 2 << true << true;
    QTest::newRow("drop only") << QList<int>{yes, no} << 2 << true << false;
    QTest::newRow("cancel") << QList<int>{yes, int(Answer::Cancel)} << 2 << false << false;
    QTest::newRow("no") << QList<int>{no} << 1 << false << false;
}

void TestConnect::erase()
{
    QFETCH(QList<int>, answers);
    QFETCH(int, questions);
    QFETCH(bool, erased);
    QFETCH(bool, revoked);
    testsupport::exec(*m_db->connect(), "grant select on T to U2");
    Program p;
    p.selectAlias(kAlias);
    LoginAnswers login;
    p.prompter.answer(Answer::Yes); // create and import: U2_Group gives U2 the select
    p.w.cntbtn->click();
    p.w.GrantPages->setCurrentWidget(p.w.GrantGroups);
    p.w.GrantPagesChange();
    p.prompter.clear();
    for (int a : answers)
        p.prompter.answer(Answer(a));
    p.w.Erasemn->trigger();
    const QStringList asked{"Drop all additional privilege structures (GrantGroups and UserGroups) from database GRANTDB?",
                            "Revoke privileges granted through and registered by GrantGroups?"};
    QCOMPARE(p.prompter.texts(), asked.mid(0, questions));
    QCOMPARE(adminTablesIn(*m_db), erased ? 0 : 6);
    QCOMPARE(grantsTo(*m_db, "U2"), revoked ? 0 : 1);
    QCOMPARE(p.w.erasebtn->isEnabled(), !erased);
    QCOMPARE(p.w.Erasemn->isEnabled(), !erased);
    const QStringList allPages{"GrantInfo", "GrantGroups", "UserGroups", "GrantAction"};
    QCOMPARE(shownTabs(p.w.GrantPages), erased ? allPages.mid(0, 1) : allPages);
    QCOMPARE(p.w.GrantPages->currentWidget(), erased ? p.w.GrantInfo : p.w.GrantGroups);
    QCOMPARE(visible(p.w.Groups1), !erased);
    QCOMPARE(GrantData->MetaGrantDef.isActive(), !erased);
    QCOMPARE(p.w.Grantsb->panelText(2), QString());
    QVERIFY(GrantData->grantdb.inTransaction());
}

void TestConnect::eraseRefusedShowsThePagesAgain()
{
    connectWithLayer(*m_db); // made by SYSDBA
    Program p;
    p.selectAlias(kAlias);
    LoginAnswers login;
    login.user = "U1";
    p.w.cntbtn->click();
    p.prompter.answer(Answer::Yes).answer(Answer::No);
    p.w.erasebtn->click();
    QCOMPARE(p.prompter.texts().last(), QString("You have no rihgts to erase additional privileges structures.\r\n"
                                                "Only it's creator and SYSDBA user can drop them"));
    QCOMPARE(shownTabs(p.w.GrantPages), (QStringList{"GrantInfo", "GrantGroups", "UserGroups", "GrantAction"}));
    QVERIFY(p.w.erasebtn->isEnabled() && p.w.Erasemn->isEnabled());
    QVERIFY(GrantData->grantdb.inTransaction());
    GrantData->transaction.commit(); // nothing of the erase was left pending
    QCOMPARE(adminTablesIn(*m_db), 6);
    QCOMPARE(p.w.Grantsb->panelText(2), QString());
}

DUNMOOR_GUI_TEST_MAIN(TestConnect)
#include "tst_connect.moc"
