// The rules of the user-group page without a server: the enabled state of
// both pages' buttons and menus in every situation, the description kept
// for a user and read back into the editor, the names a user may have, and
// the embedded engine's answer to the server users dialog.
#include "PrivilegesFixture.h"
#include "privileges/UserRegistry.h"
#include "privileges/ibnames.h"
#include "support/GuiTestMain.h"
#include "engine/Runtime.h"
#include "engine/RuntimeDatabases.h"

#include <QDateTime>
#include <QFileInfo>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using namespace privtest;
using namespace privileges;
using testsupport::exec;

namespace {

// "110": move, remove, commit.
QString bits(const PagePairs &p)
{
    return QString("%1%2%3").arg(int(p.move)).arg(int(p.remove)).arg(int(p.commit));
}

} // namespace

class TestUserRegistry : public QObject {
    Q_OBJECT
private slots:
    void pairsOfAPage_data();
    void pairsOfAPage();
    void toolsAndMenus_data();
    void toolsAndMenus();
    void descriptionBackIntoTheEditor_data();
    void descriptionBackIntoTheEditor();
    void userNames_data();
    void userNames();
    void embeddedEngineListsItsOwnSecurityDatabase();
};

void TestUserRegistry::pairsOfAPage_data()
{
    QTest::addColumn<bool>("group");
    QTest::addColumn<bool>("members");
    QTest::addColumn<bool>("candidates");
    QTest::addColumn<bool>("pending");
    QTest::addColumn<bool>("editor");
    QTest::addColumn<QString>("pairs");
    QTest::addColumn<QString>("holderPairs"); // the assignment page has no editor
    QTest::newRow("no group") << false << true << true << true << false << "000" << "000";
    QTest::newRow("editor open") << true << true << true << true << true << "000" << "111";
    QTest::newRow("nobody at all") << true << false << false << false << false << "000" << "000";
    QTest::newRow("nobody at all, pending") << true << false << false << true << false << "000" << "000";
    QTest::newRow("candidates") << true << false << true << false << false << "100" << "100";
    QTest::newRow("candidates, pending") << true << false << true << true << false << "101" << "101";
    QTest::newRow("members") << true << true << false << false << false << "010" << "010";
    QTest::newRow("members, pending") << true << true << false << true << false << "011" << "011";
    QTest::newRow("both") << true << true << true << false << false << "110" << "110";
    QTest::newRow("both, pending") << true << true << true << true << false << "111" << "111";
}

void TestUserRegistry::pairsOfAPage()
{
    QFETCH(bool, group);
    QFETCH(bool, members);
    QFETCH(bool, candidates);
    QFETCH(bool, pending);
    QFETCH(bool, editor);
    QFETCH(QString, pairs);
    QFETCH(QString, holderPairs);
    ButtonsSituation both;
    both.users = both.holders = PageSituation{group, members, candidates, pending, editor};
    const ButtonsState b = ubuttons(both);
    QCOMPARE(bits(b.userPairs), pairs);
    QCOMPARE(bits(b.holderPairs), holderPairs);
}

void TestUserRegistry::toolsAndMenus_data()
{
    QTest::addColumn<int>("page"); // ActivePage
    QTest::addColumn<bool>("pending");
    QTest::addColumn<bool>("editor");
    QTest::addColumn<bool>("userRows");
    QTest::addColumn<bool>("groupRows");
    // uplus umodify uminus ugplus ugmodify ugminus, then User2/UserG2, then
    // the items of "&Users" and of "&GrantAction" (pairs).
    QTest::addColumn<QString>("tools");
    QTest::addColumn<bool>("menus");
    QTest::addColumn<QString>("userItems");
    QTest::addColumn<QString>("holderItems");
    const int users = int(ActivePage::UserGroups), action = int(ActivePage::GrantAction), other = int(ActivePage::Other);
    QTest::newRow("rows of both") << users << false << false << true << true << "111111" << true << "110" << "000";
    QTest::newRow("no users") << users << false << false << false << true << "100111" << true << "110" << "000";
    QTest::newRow("no user groups") << users << false << false << true << false << "111100" << true << "110" << "000";
    QTest::newRow("pending") << users << true << false << true << true << "000000" << false << "111" << "000";
    QTest::newRow("editor open") << users << false << true << true << true << "000000" << false << "000" << "000";
    QTest::newRow("GrantAction") << action << false << false << true << true << "000000" << false << "000" << "110";
    QTest::newRow("another page") << other << false << false << true << true << "000000" << false << "000" << "000";
}

void TestUserRegistry::toolsAndMenus()
{
    QFETCH(int, page);
    QFETCH(bool, pending);
    QFETCH(bool, editor);
    QFETCH(bool, userRows);
    QFETCH(bool, groupRows);
    QFETCH(QString, tools);
    QFETCH(bool, menus);
    QFETCH(QString, userItems);
    QFETCH(QString, holderItems);
    ButtonsSituation s;
    s.page = ActivePage(page);
    s.users = {true, true, true, pending, editor};
    s.holders = {true, true, true, pending, false};
    s.userRows = userRows;
    s.groupRows = groupRows;
    const ButtonsState b = ubuttons(s);
    QString on;
    for (bool t : {b.uplus, b.umodify, b.uminus, b.ugplus, b.ugmodify, b.ugminus})
        on += t ? '1' : '0';
    QCOMPARE(on, tools);
    QCOMPARE(b.userMenus, menus);
    QCOMPARE(bits(b.userItems), userItems);
    QCOMPARE(bits(b.holderItems), holderItems);
}

void TestUserRegistry::descriptionBackIntoTheEditor_data()
{
    QTest::addColumn<QStringList>("typed"); // first, middle, last
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("first name only") << QStringList{"Ann", "", ""} << "Ann  " << QStringList{"Ann", "", ""};
    QTest::newRow("all three") << QStringList{"Ann", "B", "Cole"} << "Ann B Cole" << QStringList{"Ann", "B", "Cole"};
    QTest::newRow("last name only") << QStringList{"", "", "Cole"} << "  Cole" << QStringList{"", "", "Cole"};
    QTest::newRow("a blank in the last name") << QStringList{"Ann", "", "de Vries"} << "Ann  de Vries"
                                              << QStringList{"Ann", "", "de Vries"};
    QTest::newRow("a blank in the first name") << QStringList{"Mary Ann", "", "Cole"} << "Mary Ann  Cole"
                                               << QStringList{"Mary", "Ann", " Cole"};
    QTest::newRow("no blank stored") << QStringList{} << "Imported" << QStringList{"Imported", "", ""};
    QTest::newRow("a quote") << QStringList{"O'Neil", "", ""} << "O'Neil  " << QStringList{"O'Neil", "", ""};
}

void TestUserRegistry::descriptionBackIntoTheEditor()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, stored);
    QFETCH(QStringList, shown);
    if (!typed.isEmpty())
        QCOMPARE(userDescription(typed[0], typed[1], typed[2]), stored);
    QCOMPARE(splitUserDescription(stored), (NameParts{shown[0], shown[1], shown[2]}));
}

void TestUserRegistry::userNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("usable");
    QTest::newRow("plain") << "ANN_2$" << true;
    QTest::newRow("31 characters") << QString(31, 'A') << true;
    QTest::newRow("32 characters") << QString(32, 'A') << false;
    QTest::newRow("lower case") << "Ann" << false;
    QTest::newRow("a quote") << "O'NEIL" << false;
    QTest::newRow("a blank") << "ANN COLE" << false;
    QTest::newRow("two names") << "ANN,BOB" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("a reserved word") << "USER" << false;
}

void TestUserRegistry::userNames()
{
    QFETCH(QString, name);
    QFETCH(bool, usable);
    QCOMPARE(userNameProblem(name).isEmpty(), usable);
}

void TestUserRegistry::embeddedEngineListsItsOwnSecurityDatabase()
{
    // This test runs in a runtime folder of its own, as on a first start:
    // no user database until the programs' start step makes it.
    const QString security = engine::Runtime::paths().securityDatabase;
    QVERIFY(!QFile::exists(security));
    engine::ensureRuntimeDatabases();
    QVERIFY(QFile::exists(security));
    const QDateTime made = QFileInfo(security).lastModified();
    engine::ensureRuntimeDatabases(); // a second start leaves it alone
    QCOMPARE(QFileInfo(security).lastModified(), made);
    QVERIFY(!QFile::exists(engine::Runtime::paths().root + "/security3.lock"));

    ConnectedWindow x([](const TestDatabase &t) {
        auto db = t.connect();
        makeGrants(t);
        for (const char *sql : {"create user EU1 password 'pw1' firstname 'Eve' lastname 'Ode'", "create user EU2 password 'pw2'"})
            exec(*db, sql);
    });
    // The server users dialog, opened from the user editor as a person does.
    QVERIFY(x.w->selectPage(3));
    x.w->uplus->click();
    QStringList unregistered, all;
    const platform::ModalHook previous = platform::setModalHook([&](QDialog &d) {
        auto &dialog = static_cast<TIBnames &>(d);
        const auto listed = [&dialog] {
            QStringList out;
            for (int r = 0; r < dialog.IBUsers.recordCount(); ++r)
                out << dialog.IBUsers.textAt(r, 0).trimmed();
            return out;
        };
        unregistered = listed();
        dialog.AllUsers->click();
        all = listed();
        dialog.IBUsers.locate("USER_NAME", "EU1");
        dialog.okbtn->click();
        return dialog.result();
    });
    x.w->AddIBnames->click();
    platform::setModalHook(previous);
    QCOMPARE(x.p->prompter.texts(), QStringList());
    QCOMPARE(all, (QStringList{"EU1", "EU2"}));
    QCOMPARE(unregistered, all);
    QCOMPARE((QStringList{x.w->usn->text(), x.w->fn->text(), x.w->ln->text()}), (QStringList{"EU1", "Eve", "Ode"}));
}

DUNMOOR_GUI_TEST_MAIN(TestUserRegistry)
#include "tst_userregistry.moc"
