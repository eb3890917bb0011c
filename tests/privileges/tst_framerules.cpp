// The main window's rules that need no window: the guard's one question,
// the first show's size, the button panel and the connection page's layout.
#include "privileges/FrameRules.h"
#include "support/GuiTestMain.h"

using namespace framerules;

class TestFrameRules : public QObject {
    Q_OBJECT
private slots:
    void guardQuestion_data();
    void guardQuestion();
    void firstShowWidth_data();
    void firstShowWidth();
    void firstShowHeight_data();
    void firstShowHeight();
    void buttonPanelShares();
    void connectPage_data();
    void connectPage();
    void storedColours();
};

void TestFrameRules::guardQuestion_data()
{
    QTest::addColumn<bool>("groups");
    QTest::addColumn<bool>("users");
    QTest::addColumn<bool>("assignments");
    QTest::addColumn<QString>("question");
    QTest::newRow("nothing") << false << false << false << "";
    QTest::newRow("grant groups") << true << false << false << "Commit new/modified GrantGroups?";
    QTest::newRow("users") << false << true << false << "Save changes?";
    QTest::newRow("assignments") << false << false << true << "Save changes?";
    QTest::newRow("groups and users") << true << true << false << "Commit all changes (GrantGroups, UserGroups)?";
    QTest::newRow("all three") << true << true << true
                               << "Commit all changes (GrantGroups, UserGroups, GrantAction)?";
}

void TestFrameRules::guardQuestion()
{
    QFETCH(bool, groups);
    QFETCH(bool, users);
    QFETCH(bool, assignments);
    QFETCH(QString, question);
    QCOMPARE(framerules::guardQuestion({groups, users, assignments}), question);
}

void TestFrameRules::firstShowWidth_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("screen");
    QTest::addColumn<int>("width");
    // box 120 wide at 132, tree 200: 120 + 40 + 132 + 200 = 492
    QTest::newRow("wide enough") << 627 << 1920 << 627;
    QTest::newRow("too narrow") << 400 << 1920 << 492;
    QTest::newRow("screen narrower") << 400 << 480 << 480;
    QTest::newRow("exactly") << 492 << 1920 << 492;
}

void TestFrameRules::firstShowWidth()
{
    QFETCH(int, window);
    QFETCH(int, screen);
    QFETCH(int, width);
    QCOMPARE(framerules::firstShowWidth(window, 120, 132, 200, screen), width);
}

void TestFrameRules::firstShowHeight_data()
{
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("screen");
    QTest::addColumn<int>("newClient");
    QTest::addColumn<int>("newWindow");
    // 30 + 20 + 2 * (24 + 140 + 20) = 418
    QTest::newRow("high enough") << 418 << 1080 << -1 << -1;
    QTest::newRow("too low") << 380 << 1080 << 418 << -1;
    QTest::newRow("screen too low") << 300 << 418 << -1 << 418;
}

void TestFrameRules::firstShowHeight()
{
    QFETCH(int, client);
    QFETCH(int, screen);
    QFETCH(int, newClient);
    QFETCH(int, newWindow);
    const HeightChange c = framerules::firstShowHeight(client, 30, 20, 24, 140, 20, screen);
    QCOMPARE(c.clientHeight, newClient);
    QCOMPARE(c.windowHeight, newWindow);
}

void TestFrameRules::buttonPanelShares()
{
    const ButtonPanel p = buttonPanel(201, QSize(24, 22), QSize(24, 22), 25, 25);
    QCOMPARE(p.height, 22);
    QCOMPARE(p.up, QRect(0, 0, 24, 22));
    QCOMPARE(p.down, QRect(177, 0, 24, 22));
    QCOMPARE(p.grant, QRect(24, 0, 76, 25));
    // The odd pixel goes to Revoke, which ends where Down begins.
    QCOMPARE(p.revoke, QRect(100, 0, 77, 25));
}

void TestFrameRules::connectPage_data()
{
    QTest::addColumn<int>("sessionHeight");
    QTest::addColumn<int>("aliasesWidth");
    QTest::addColumn<QRect>("grid");
    QTest::addColumn<QRect>("list");
    QTest::addColumn<QRect>("delBtn");
    QTest::addColumn<int>("column1");
    // session list at (8, 56); grid at (8, 56) 260 x 200; list 140 wide
    QTest::newRow("taller and wider") << 400 << 500 << QRect(8, 56, 336, 336) << QRect(352, 56, 140, 246)
                                      << QRect(352, 366, 140, 26) << 175;
    QTest::newRow("lower") << 200 << 500 << QRect(8, 56, 336, 136) << QRect(352, 56, 140, 46)
                           << QRect(352, 166, 140, 26) << 175;
    QTest::newRow("no room below the list") << 120 << 500 << QRect(8, 56, 336, 56) << QRect(352, 56, 140, 110)
                                            << QRect(352, 230, 140, 26) << 175;
    QTest::newRow("too narrow for the grid") << 400 << 300 << QRect(8, 56, 260, 336) << QRect(272, 56, 140, 246)
                                             << QRect(272, 366, 140, 26) << -1;
}

void TestFrameRules::connectPage()
{
    QFETCH(int, sessionHeight);
    QFETCH(int, aliasesWidth);
    QFETCH(QRect, grid);
    QFETCH(QRect, list);
    QFETCH(QRect, delBtn);
    QFETCH(int, column1);
    ConnectPage p;
    p.sessionInfoHeight = sessionHeight;
    p.aliasesWidth = aliasesWidth;
    p.ssInfo = QRect(8, 56, 184, 200);
    p.aliasParams = QRect(8, 56, 260, 200);
    p.aliasbox = QRect(272, 56, 140, 110);
    p.addBtn = QRect(272, 170, 140, 26);
    p.modifyBtn = QRect(272, 200, 140, 26);
    p.delBtn = QRect(272, 230, 140, 26);
    p.column0 = 160;
    p.column1 = -1;
    const ConnectPage n = connectPageLayout(p);
    QCOMPARE(n.aliasParams, grid);
    QCOMPARE(n.aliasbox, list);
    QCOMPARE(n.delBtn, delBtn);
    QCOMPARE(n.addBtn.top(), delBtn.top() - 60);
    QCOMPARE(n.addBtn.left(), list.left());
    QCOMPARE(n.column1, column1);
}

void TestFrameRules::storedColours()
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, QColor(1, 2, 3));
    QCOMPARE(colorOf(kWindowTextColor, palette), QColor(1, 2, 3));
    QCOMPARE(colorOf(0x0000FF, palette), QColor(255, 0, 0));
    QCOMPARE(colorOf(0x123456, palette), QColor(0x56, 0x34, 0x12));
}

DUNMOOR_GUI_TEST_MAIN(TestFrameRules)
#include "tst_framerules.moc"
