// The splitter: which size a drag changes, the new-size rules, and drags
// with the mouse over docked controls.
#include "privileges/twSplitter.h"
#include "support/GuiTestMain.h"

#include <QSignalSpy>
#include <memory>

using platform::Align;

Q_DECLARE_METATYPE(platform::Align)

class TestSplitter : public QObject {
    Q_OBJECT
private slots:
    void splitMode_data();
    void splitMode();
    void newSize_data();
    void newSize();

    void drag_data();
    void drag();
    void barStaysInsideTheParent();
    void mismatchedAlignmentDoesNothing();
    void rightButtonStartsNothing();
    void controlsLetGo();
    void alignmentGivesThickness();
};

void TestSplitter::splitMode_data()
{
    QTest::addColumn<Align>("self");
    QTest::addColumn<int>("first"); // -1: none
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("mode");
    const auto a = [](Align x) { return int(x); };
    QTest::newRow("no first control") << Align::Left << -1 << a(Align::Client) << 0;
    QTest::newRow("top over client") << Align::Top << a(Align::Top) << a(Align::Client) << 1;
    QTest::newRow("bottom, no second") << Align::Bottom << a(Align::Bottom) << -1 << 1;
    QTest::newRow("client over bottom") << Align::Bottom << a(Align::Client) << a(Align::Bottom) << 2;
    QTest::newRow("left beside client") << Align::Left << a(Align::Left) << a(Align::Client) << 3;
    QTest::newRow("right beside client") << Align::Right << a(Align::Right) << a(Align::Client) << 3;
    QTest::newRow("client beside right") << Align::Right << a(Align::Client) << a(Align::Right) << 4;
    QTest::newRow("splitter on the other side") << Align::Left << a(Align::Right) << a(Align::Client) << 0;
    QTest::newRow("top beside left") << Align::Top << a(Align::Top) << a(Align::Left) << 0;
    QTest::newRow("both client") << Align::Left << a(Align::Client) << a(Align::Client) << 0;
}

void TestSplitter::splitMode()
{
    QFETCH(Align, self);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, mode);
    QCOMPARE(splitter::splitMode(self, first >= 0, Align(qMax(first, 0)), second >= 0, Align(qMax(second, 0))), mode);
}

void TestSplitter::newSize_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("available");
    QTest::addColumn<int>("size");
    QTest::newRow("plain") << 100 << 40 << 300 << 140;
    QTest::newRow("shrinks") << 100 << -60 << 300 << 40;
    QTest::newRow("would vanish") << 100 << -100 << 300 << 1;
    QTest::newRow("below zero") << 100 << -500 << 300 << 1;
    QTest::newRow("reaches the room") << 100 << 200 << 300 << 297;
    QTest::newRow("beyond the room") << 100 << 900 << 300 << 297;
    QTest::newRow("parent of 3 pixels") << 1 << 5 << 0 << 1;
    QTest::newRow("parent of 5 pixels") << 1 << 0 << 2 << 1;
    QTest::newRow("parent of 6 pixels") << 1 << 10 << 3 << 1;
}

void TestSplitter::newSize()
{
    QFETCH(int, current);
    QFETCH(int, delta);
    QFETCH(int, available);
    QFETCH(int, size);
    QCOMPARE(splitter::newSize(current, delta, available), size);
}

namespace {

// A parent 400 x 300 holding two docked panels and the splitter between.
struct Docked {
    QWidget parent;
    QWidget *first;
    QWidget *second;
    TSplitter *split;
    Docked(Align firstAlign, int firstExtent, Align secondAlign, int secondExtent, Align splitAlign)
    {
        auto *dock = new platform::DockLayout(&parent);
        first = new QWidget(&parent);
        second = new QWidget(&parent);
        dock->addDocked(first, firstAlign, firstExtent);
        dock->addDocked(second, secondAlign, secondExtent);
        split = new TSplitter(&parent);
        dock->addDocked(split, Align::None);
        split->setAlign(splitAlign);
        split->setControlFirst(first);
        split->setControlSecond(second);
        parent.resize(400, 300);
        parent.show();
        if (!QTest::qWaitForWindowExposed(&parent))
            qWarning("not exposed");
    }
    // Presses at the splitter's corner, moves by (dx, dy) and releases there.
    void dragBy(int dx, int dy)
    {
        QTest::mousePress(split, Qt::LeftButton, {}, QPoint(0, 0));
        QTest::mouseMove(split, QPoint(dx, dy));
        QTest::mouseRelease(split, Qt::LeftButton, {}, QPoint(dx, dy));
    }
};

} // namespace

void TestSplitter::drag_data()
{
    QTest::addColumn<Align>("firstAlign");
    QTest::addColumn<Align>("secondAlign");
    QTest::addColumn<Align>("splitAlign");
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::addColumn<bool>("resizesFirst");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("cursor");
    const int h = Qt::SplitHCursor, v = Qt::SplitVCursor;
    QTest::newRow("left, 40 to the right") << Align::Left << Align::Client << Align::Left << 40 << 0 << true << 140 << h;
    QTest::newRow("right first, to the right") << Align::Right << Align::Client << Align::Right << 30 << 0 << true << 70 << h;
    QTest::newRow("right second, to the left") << Align::Client << Align::Right << Align::Right << -25 << 0 << false << 125 << h;
    QTest::newRow("top, down") << Align::Top << Align::Client << Align::Top << 0 << 20 << true << 120 << v;
    QTest::newRow("bottom second, up") << Align::Client << Align::Bottom << Align::Bottom << 0 << -10 << false << 110 << v;
    QTest::newRow("to nothing") << Align::Left << Align::Client << Align::Left << -150 << 0 << true << 1 << h;
    QTest::newRow("beyond the far edge") << Align::Left << Align::Client << Align::Left << 900 << 0 << true << 394 << h;
}

void TestSplitter::drag()
{
    QFETCH(Align, firstAlign);
    QFETCH(Align, secondAlign);
    QFETCH(Align, splitAlign);
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(bool, resizesFirst);
    QFETCH(int, size);
    QFETCH(int, cursor);
    Docked d(firstAlign, 100, secondAlign, 100, splitAlign);
    QCOMPARE(int(d.split->cursor().shape()), cursor);
    QSignalSpy moved(d.split, &TSplitter::OnPosChanged);
    d.dragBy(dx, dy);
    QWidget *resized = resizesFirst ? d.first : d.second;
    const bool vertical = cursor == Qt::SplitVCursor;
    QCOMPARE(vertical ? resized->height() : resized->width(), size);
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.first().first().value<QObject *>(), d.split);
    QVERIFY(!d.split->dragging());
    QVERIFY(!d.split->bar());
    // The docking moved the splitter along: it still touches the control.
    if (splitAlign == Align::Left)
        QCOMPARE(d.split->x(), d.first->width());
}

void TestSplitter::barStaysInsideTheParent()
{
    Docked d(Align::Left, 100, Align::Client, 0, Align::Left);
    QTest::mousePress(d.split, Qt::LeftButton, {}, QPoint(0, 0));
    QVERIFY(d.split->dragging());
    QVERIFY(d.split->bar());
    QCOMPARE(d.split->bar()->geometry().topLeft(), d.split->geometry().topLeft());
    QTest::mouseMove(d.split, QPoint(900, 0));
    const QRect area(d.parent.mapToGlobal(QPoint(0, 0)), d.parent.size());
    QCOMPARE(d.split->lastBarPosition().x(), area.right() + 1);
    QVERIFY(d.split->bar()->geometry().left() <= d.parent.width());
    QTest::mouseMove(d.split, QPoint(-900, 0));
    QCOMPARE(d.split->lastBarPosition().x(), area.left());
    QTest::mouseRelease(d.split, Qt::LeftButton, {}, QPoint(-900, 0));
    QCOMPARE(d.first->width(), 1);
}

void TestSplitter::mismatchedAlignmentDoesNothing()
{
    Docked d(Align::Left, 100, Align::Client, 0, Align::Right);
    QCOMPARE(d.split->SplitMode(), 0);
    QCOMPARE(d.split->cursor().shape(), Qt::ArrowCursor);
    QSignalSpy moved(d.split, &TSplitter::OnPosChanged);
    d.dragBy(40, 0);
    QCOMPARE(d.first->width(), 100);
    QCOMPARE(moved.size(), 0);
}

void TestSplitter::rightButtonStartsNothing()
{
    Docked d(Align::Left, 100, Align::Client, 0, Align::Left);
    QSignalSpy moved(d.split, &TSplitter::OnPosChanged);
    QTest::mousePress(d.split, Qt::RightButton, {}, QPoint(0, 0));
    QVERIFY(!d.split->dragging());
    QVERIFY(!d.split->bar());
    QTest::mouseRelease(d.split, Qt::RightButton, {}, QPoint(40, 0));
    QCOMPARE(d.first->width(), 100);
    QCOMPARE(moved.size(), 0);
}

void TestSplitter::controlsLetGo()
{
    Docked d(Align::Left, 100, Align::Client, 0, Align::Left);
    d.split->setControlFirst(d.split);
    QVERIFY(!d.split->ControlFirst());
    QCOMPARE(d.split->cursor().shape(), Qt::ArrowCursor);
    d.split->setControlFirst(d.first);
    QCOMPARE(d.split->cursor().shape(), Qt::SplitHCursor);
    delete d.first;
    QVERIFY(!d.split->ControlFirst());
    QCOMPARE(d.split->ControlSecond(), d.second);
    QCOMPARE(d.split->cursor().shape(), Qt::ArrowCursor);
}

void TestSplitter::alignmentGivesThickness()
{
    QWidget parent;
    new platform::DockLayout(&parent);
    TSplitter s(&parent);
    QCOMPARE(s.size(), QSize(185, 3));
    s.setAlign(Align::Left);
    QCOMPARE(s.width(), 3);
    QCOMPARE(platform::dockExtent(&s), 3);
    s.resize(8, s.height());
    s.setAlign(Align::Top); // from one edge to another: the size stays
    QCOMPARE(s.width(), 8);
}

DUNMOOR_GUI_TEST_MAIN(TestSplitter)
#include "tst_splitter.moc"
