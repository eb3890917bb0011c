// Connections that only a server can refuse: wrong password, missing user.
#include "WorkbenchFixture.h"
#include "support/GuiTestMain.h"

#include <QLabel>

using platform::ScriptedPrompter;
using testsupport::TestDatabase;
using namespace wbtest;

class TestBrowserServer : public QObject {
    Q_OBJECT
private slots:
    void wrongPasswordKeepsCaption();
    void rightPasswordConnects();
    void commandLineWithAliasOnly();
};

void TestBrowserServer::wrongPasswordKeepsCaption()
{
    TestDatabase t;
    ScopedAlias alias("REMOTE", testsupport::serverPrefix() + t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d("REMOTE", "SYSDBA", "wrong");
    Workbench w({});
    const QString caption = w.browser->windowTitle();
    w.browser->SBConnectClick();
    QCOMPARE(p.calls().size(), 1);
    const QString text = p.calls().first().text;
    QVERIFY2(text.startsWith("Incorrect User Name or Password: "), qPrintable(text));
    QVERIFY2(text.contains("login"), qPrintable(text));
    QCOMPARE(w.browser->windowTitle(), caption);
    QVERIFY(w.browser->StatusFailed);
    QCOMPARE(w.browser->StatusPanel0->text(), QString("   Status: Error!"));
    QVERIFY(w.browser->isEnabled());
    QVERIFY(!w.browser->IsConnected);
}

void TestBrowserServer::rightPasswordConnects()
{
    TestDatabase t;
    ScopedAlias alias("REMOTE", testsupport::serverPrefix() + t.path());
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    ScriptedDialogs d("REMOTE", "sysdba", testsupport::serverPassword());
    p.answer(platform::Prompter::Answer::No);
    Workbench w({});
    w.browser->SBConnectClick();
    QCOMPARE(p.texts(), QStringList{"There are no META$ structures in this DB. Create?"});
    QVERIFY(w.browser->IsConnected);
    QCOMPARE(w.browser->LoginUser, QString("SYSDBA"));
}

void TestBrowserServer::commandLineWithAliasOnly()
{
    TestDatabase t;
    ScopedAlias alias("REMOTE", testsupport::serverPrefix() + t.path(), "");
    ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    Workbench w({"REMOTE"});
    QCOMPARE(p.calls().size(), 1);
    QVERIFY2(p.calls().first().text.startsWith("Incorrect User Name or Password: "), qPrintable(p.calls().first().text));
    QVERIFY(!w.browser->IsConnected);
    QVERIFY(w.browser->StatusFailed);
}

DUNMOOR_GUI_TEST_MAIN(TestBrowserServer)
#include "tst_browser_server.moc"
