// Logins the embedded engine cannot refuse: a wrong password against the
// loopback server.
#include "PrivilegesFixture.h"
#include "platform/PanelStatusBar.h"
#include "support/GuiTestMain.h"

#include <QToolButton>

using namespace privtest;

class TestConnectServer : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }
    void wrongPasswordKeepsThePage();
    void rightPasswordConnects();
};

void TestConnectServer::wrongPasswordKeepsThePage()
{
    TestDatabase db;
    ScopedAlias alias("SRVDB", testsupport::serverPrefix() + db.path());
    Program p;
    p.selectAlias("SRVDB");
    LoginAnswers login;
    login.user = "SYSDBA";
    login.password = "wrong";
    p.w.cntbtn->click();
    QCOMPARE(p.prompter.calls().size(), 1);
    const QString shown = p.prompter.calls().first().text;
    QVERIFY2(shown.contains("Your user name and password are not defined") || shown.contains("login"),
             qPrintable(shown));
    QVERIFY(!GrantData->grantdb.isConnected());
    QCOMPARE(p.w.GrantPages->currentWidget(), p.w.Connect);
    QCOMPARE(p.w.Grantsb->panelText(2), QString());
    QCOMPARE(p.w.Grantsb->panelText(0), QString(" No Active DataBase"));
    QVERIFY(p.w.dcntbtn->isChecked());
}

void TestConnectServer::rightPasswordConnects()
{
    TestDatabase db;
    {
        auto c = db.connect();
        createAdminTables(*c);
    }
    ScopedAlias alias("SRVDB", testsupport::serverPrefix() + db.path());
    Program p;
    p.selectAlias("SRVDB");
    LoginAnswers login;
    login.user = "SYSDBA";
    login.password = testsupport::serverPassword();
    p.w.cntbtn->click();
    QVERIFY(p.prompter.calls().isEmpty());
    QVERIFY(GrantData->grantdb.isConnected());
    QCOMPARE(p.w.Grantsb->panelText(0), QString(" DataBase: SRVDB"));
}

DUNMOOR_GUI_TEST_MAIN(TestConnectServer)
#include "tst_connect_server.moc"
