// The connect and disconnect commands: login, command line, the test for
// the administrative tables and the creation question, and what happens to
// pending work when the connection ends.
#include "PrivilegesFixture.h"
#include "platform/PanelStatusBar.h"
#include "support/GuiTestMain.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

using namespace lvtest;
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
    void tablesWithoutReadRightStillCount();
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
    QTest::addColumn<int>("tables");  // how many of the six exist
    QTest::addColumn<int>("answer");  // to the creation question; -1: not asked
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("allPages");
    const QString missingAll =
        "The GrantGroups tables of this database are incomplete; missing: META$GRANTDEF, META$GRANTLIST, "
        "META$USERSDEF, META$USERSLIST, META$GRANTUSERS, META$USERSGRANT.\r\nOnly the GrantInfo page is available.";
    QTest::newRow("all six") << 6 << -1 << QStringList() << true;
    QTest::newRow("none, No") << 0 << int(Answer::No) << QStringList{kCreate} << false;
    // The tables themselves are made by the creation step, which is not in
    // place yet: the connect says which are missing and goes on as after No.
    QTest::newRow("none, Yes") << 0 << int(Answer::Yes) << QStringList{kCreate, missingAll} << false;
    QTest::newRow("four of six") << 4 << -1
                                 << QStringList{"The GrantGroups tables of this database are incomplete; missing: "
                                                "META$GRANTUSERS, META$USERSGRANT.\r\nOnly the GrantInfo page is "
                                                "available."}
                                 << false;
}

void TestConnect::adminTables()
{
    QFETCH(int, tables);
    QFETCH(int, answer);
    QFETCH(QStringList, texts);
    QFETCH(bool, allPages);
    {
        auto c = m_db->connect();
        createAdminTables(*c, tables);
    }
    Program p;
    p.selectAlias(kAlias);
    LoginAnswers login;
    login.password = "x";
    if (answer >= 0)
        p.prompter.answer(Answer(answer));
    p.w.cntbtn->click();
    QCOMPARE(p.prompter.texts(), texts);
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
    QVERIFY(p.prompter.calls().isEmpty());
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

    p.prompter.answer(confirm ? Answer::Yes : Answer::No);
    p.w.Disconnect1->trigger();
    QCOMPARE(p.prompter.texts().last(), kDisconnect);
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

DUNMOOR_GUI_TEST_MAIN(TestConnect)
#include "tst_connect.moc"
