// The docking layout: controls placed by alignment, neighbours moving when a
// kept size changes, hidden controls giving their room away.
#include "platform/DockLayout.h"
#include "platform/Placement.h"

#include <QApplication>
#include <QtTest>

using platform::Align;

Q_DECLARE_METATYPE(platform::Align)

class TestDockLayout : public QObject {
    Q_OBJECT
private slots:
    void placesByAlignment();
    void changedExtentMovesNeighbours();
    void hiddenControlsGiveTheirRoom();
    void tooLittleRoomLeavesZero();
    void cascadeOfWindows_data();
    void cascadeOfWindows();
};

namespace {
QWidget *add(QWidget &parent, Align a, int extent, const char *name)
{
    auto *w = new QWidget(&parent);
    w->setObjectName(name);
    static_cast<platform::DockLayout *>(parent.layout())->addDocked(w, a, extent);
    return w;
}
} // namespace

void TestDockLayout::placesByAlignment()
{
    QWidget parent;
    new platform::DockLayout(&parent);
    // Added in mixed order: each group is placed in turn, in its own order.
    QWidget *client = add(parent, Align::Client, 0, "client");
    QWidget *right1 = add(parent, Align::Right, 30, "right1");
    QWidget *top1 = add(parent, Align::Top, 20, "top1");
    QWidget *left = add(parent, Align::Left, 50, "left");
    QWidget *bottom = add(parent, Align::Bottom, 10, "bottom");
    QWidget *top2 = add(parent, Align::Top, 15, "top2");
    QWidget *right2 = add(parent, Align::Right, 5, "right2");
    QWidget *loose = new QWidget(&parent);
    loose->setGeometry(7, 7, 9, 9);
    parent.resize(300, 200);
    parent.layout()->activate();
    QCOMPARE(top1->geometry(), QRect(0, 0, 300, 20));
    QCOMPARE(top2->geometry(), QRect(0, 20, 300, 15));
    QCOMPARE(bottom->geometry(), QRect(0, 190, 300, 10));
    QCOMPARE(left->geometry(), QRect(0, 35, 50, 155));
    QCOMPARE(right1->geometry(), QRect(270, 35, 30, 155));
    QCOMPARE(right2->geometry(), QRect(265, 35, 5, 155));
    QCOMPARE(client->geometry(), QRect(50, 35, 215, 155));
    QCOMPARE(loose->geometry(), QRect(7, 7, 9, 9));
    QCOMPARE(platform::dockAlign(loose), Align::None);
    QCOMPARE(platform::dockExtent(client), 0);
}

void TestDockLayout::changedExtentMovesNeighbours()
{
    QWidget parent;
    new platform::DockLayout(&parent);
    QWidget *left = add(parent, Align::Left, 100, "left");
    QWidget *client = add(parent, Align::Client, 0, "client");
    parent.resize(400, 100);
    parent.layout()->activate();
    platform::setDockExtent(left, 160);
    // At once, without waiting for events.
    QCOMPARE(left->width(), 160);
    QCOMPARE(client->geometry(), QRect(160, 0, 240, 100));
    platform::setDockAlign(left, Align::Right);
    QCOMPARE(left->geometry(), QRect(240, 0, 160, 100));
    QCOMPARE(client->geometry(), QRect(0, 0, 240, 100));
}

void TestDockLayout::hiddenControlsGiveTheirRoom()
{
    QWidget parent;
    new platform::DockLayout(&parent);
    QWidget *top = add(parent, Align::Top, 30, "top");
    QWidget *client = add(parent, Align::Client, 0, "client");
    parent.resize(100, 100);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCOMPARE(client->geometry(), QRect(0, 30, 100, 70));
    top->hide();
    QTRY_COMPARE(client->geometry(), QRect(0, 0, 100, 100));
    top->show();
    QTRY_COMPARE(client->geometry(), QRect(0, 30, 100, 70));
}

void TestDockLayout::tooLittleRoomLeavesZero()
{
    QWidget parent;
    new platform::DockLayout(&parent);
    QWidget *top = add(parent, Align::Top, 80, "top");
    QWidget *bottom = add(parent, Align::Bottom, 80, "bottom");
    QWidget *client = add(parent, Align::Client, 0, "client");
    parent.resize(50, 100);
    parent.layout()->activate();
    QCOMPARE(top->height(), 80);
    QCOMPARE(client->height(), 0);
    QCOMPARE(bottom->geometry(), QRect(0, 80, 50, 20));
}

void TestDockLayout::cascadeOfWindows_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<int>("n");
    QTest::addColumn<QPoint>("at");
    const QRect screen(0, 24, 1600, 976); // a panel above
    QTest::newRow("first: off the corner") << screen << QSize(400, 300) << 0 << QPoint(32, 56);
    QTest::newRow("second: a step on") << screen << QSize(400, 300) << 1 << QPoint(64, 88);
    // 976 - 300 - 32 leaves room for 21 steps: the 22nd starts over.
    QTest::newRow("last that fits") << screen << QSize(400, 300) << 20 << QPoint(672, 696);
    QTest::newRow("wraps to the top") << screen << QSize(400, 300) << 21 << QPoint(32, 56);
    QTest::newRow("no room: always the first place") << screen << QSize(1600, 976) << 5 << QPoint(32, 56);
}

void TestDockLayout::cascadeOfWindows()
{
    QFETCH(QRect, available);
    QFETCH(QSize, frame);
    QFETCH(int, n);
    QFETCH(QPoint, at);
    QCOMPARE(platform::cascadePosition(available, frame, n), at);
}

QTEST_MAIN(TestDockLayout)
#include "tst_docklayout.moc"
