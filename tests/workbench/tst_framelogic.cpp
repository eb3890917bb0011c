// The frame's rules without a window: parameter sets, status light, keys, font style.
#include "workbench/ConnectParams.h"
#include "workbench/FrameLogic.h"

#include <QTest>

using namespace connectparams;
using framelogic::WorkArea;

Q_DECLARE_METATYPE(WorkArea)

class TestFrameLogic : public QObject {
    Q_OBJECT
private slots:
    void paramSets_data();
    void paramSets();
    void caption();
    void statusLight_data();
    void statusLight();
    void keys_data();
    void keys();
    void fontStyle_data();
    void fontStyle();
    void storedStyleApplied_data();
    void storedStyleApplied();
};

void TestFrameLogic::paramSets_data()
{
    QTest::addColumn<QStringList>("alias");
    QTest::addColumn<QStringList>("user");
    QTest::addColumn<QStringList>("national");

    const QStringList plain{"SERVER NAME=/db/a.fdb", "USER NAME=SYSDBA", "LANGDRIVER=UTF8",
                            "SQLPASSTHRU MODE=SHARED AUTOCOMMIT"};
    QTest::newRow("no NOT SHARED line") << plain << plain
                                        << QStringList{"SERVER NAME=/db/a.fdb", "USER NAME=SYSDBA", "LANGDRIVER=",
                                                       "SQLPASSTHRU MODE=SHARED AUTOCOMMIT"};
    QTest::newRow("NOT SHARED rewritten in both")
        << QStringList{"SERVER NAME=x", "USER NAME=A", "SQLPASSTHRU MODE=NOT SHARED", "LANGDRIVER=ISO8859_1"}
        << QStringList{"SERVER NAME=x", "USER NAME=A", "SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT", "LANGDRIVER=ISO8859_1"}
        << QStringList{"SERVER NAME=x", "USER NAME=A", "SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT", "LANGDRIVER="};
    QTest::newRow("lower case left alone")
        << QStringList{"SQLPASSTHRU MODE=not shared", "langdriver=x"}
        << QStringList{"SQLPASSTHRU MODE=not shared", "langdriver=x"}
        << QStringList{"SQLPASSTHRU MODE=not shared", "langdriver=x"};
    QTest::newRow("substring anywhere in the line")
        << QStringList{"X=NOT SHARED?", "MY LANGDRIVER SETTING=1"}
        << QStringList{"SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT", "MY LANGDRIVER SETTING=1"}
        << QStringList{"SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT", "LANGDRIVER="};
    QTest::newRow("empty") << QStringList{} << QStringList{} << QStringList{};
}

void TestFrameLogic::paramSets()
{
    QFETCH(QStringList, alias);
    QFETCH(QStringList, user);
    QFETCH(QStringList, national);
    QCOMPARE(makeUserParams(alias), user);
    QCOMPARE(makeNationalParams(alias), national);
    QCOMPARE(makeNationalParams(alias).size(), alias.size());
}

void TestFrameLogic::caption()
{
    const QString start = " Marrowby" + QString(40, ' ') + "Database: None";
    QCOMPARE(captionWithDatabase(start, "SAMPLE"), " Marrowby" + QString(40, ' ') + "Database: SAMPLE");
    QCOMPARE(captionWithDatabase(captionWithDatabase(start, "A"), "B"), " Marrowby" + QString(40, ' ') + "Database: B");
    QCOMPARE(valueOfLine("USER NAME=sys=dba"), QString("sys=dba"));
    QCOMPARE(valueOfLine("no equals"), QString());
    QCOMPARE(upperLatin(QString::fromUtf8("sysdba_ä")), QString::fromUtf8("SYSDBA_ä"));
}

void TestFrameLogic::statusLight_data()
{
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("text");
    QTest::newRow("ok") << true << false << "IShades" << "   Status: OK.";
    QTest::newRow("error") << true << true << "ISad" << "   Status: Error!";
    QTest::newRow("working") << false << false << "IIndif" << "   Status: Working...";
    QTest::newRow("working after error") << false << true << "Iooh" << "   Status: Working...";
}

void TestFrameLogic::statusLight()
{
    QFETCH(bool, ready);
    QFETCH(bool, failed);
    QFETCH(QString, picture);
    QFETCH(QString, text);
    const auto look = framelogic::statusLook(ready, failed);
    QCOMPARE(look.picture, picture);
    QCOMPARE(look.text, text);
}

void TestFrameLogic::keys_data()
{
    QTest::addColumn<WorkArea>("area");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("handler");
    const int ctrl = Qt::ControlModifier;
    const int alt = Qt::AltModifier;
    QTest::newRow("ctrl+s procedures") << WorkArea::Debugger << 0 << int(Qt::Key_S) << ctrl << "SBSaveProcClick";
    QTest::newRow("ctrl+s triggers") << WorkArea::Debugger << 1 << int(Qt::Key_S) << ctrl << "SBSaveTrigClick";
    QTest::newRow("ctrl+shift+s") << WorkArea::Debugger << 0 << int(Qt::Key_S) << (ctrl | int(Qt::ShiftModifier)) << "";
    QTest::newRow("ctrl+n triggers") << WorkArea::Debugger << 1 << int(Qt::Key_N) << ctrl << "SBNewTrigClick";
    QTest::newRow("ctrl+o procedures") << WorkArea::Debugger << 0 << int(Qt::Key_O) << ctrl << "SBOpenProcClick";
    QTest::newRow("ctrl+enter procedures") << WorkArea::Debugger << 0 << int(Qt::Key_Return) << ctrl << "SBdebExecSQLClick";
    QTest::newRow("ctrl+keypad enter") << WorkArea::Debugger << 0 << int(Qt::Key_Enter) << (ctrl | int(Qt::KeypadModifier)) << "SBdebExecSQLClick";
    QTest::newRow("alt+enter procedures") << WorkArea::Debugger << 0 << int(Qt::Key_Return) << alt << "SBdebShowSetClick";
    QTest::newRow("ctrl+enter triggers") << WorkArea::Debugger << 1 << int(Qt::Key_Return) << ctrl << "";
    QTest::newRow("ctrl+s point list") << WorkArea::Debugger << 2 << int(Qt::Key_S) << ctrl << "";
    QTest::newRow("ctrl+enter master") << WorkArea::Master << 0 << int(Qt::Key_Return) << ctrl << "SBExecSQLClick";
    QTest::newRow("alt+enter master") << WorkArea::Master << 0 << int(Qt::Key_Return) << alt << "";
    QTest::newRow("ctrl+s browser") << WorkArea::Browser << 0 << int(Qt::Key_S) << ctrl << "";
    QTest::newRow("plain s") << WorkArea::Debugger << 0 << int(Qt::Key_S) << 0 << "";
}

void TestFrameLogic::keys()
{
    QFETCH(WorkArea, area);
    QFETCH(int, page);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, handler);
    QCOMPARE(framelogic::keyCommand(area, page, key, Qt::KeyboardModifiers(modifiers)), handler);
}

void TestFrameLogic::fontStyle_data()
{
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<int>("value");
    QTest::newRow("none") << false << false << false << 0;
    QTest::newRow("bold") << true << false << false << 1;
    QTest::newRow("italic") << false << true << false << 2;
    QTest::newRow("bold italic") << true << true << false << 3;
    QTest::newRow("underline") << false << false << true << 0;
    QTest::newRow("bold underline") << true << false << true << 0;
}

void TestFrameLogic::fontStyle()
{
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, underline);
    QFETCH(int, value);
    QFont f;
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    QCOMPARE(framelogic::fontStyleValue(f), value);
}

void TestFrameLogic::storedStyleApplied_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    // The font starts bold and underlined.
    QTest::newRow("0 clears") << 0 << false << false;
    QTest::newRow("2 italic") << 2 << false << true;
    QTest::newRow("3 both") << 3 << true << true;
    QTest::newRow("5 unchanged") << 5 << true << false;
    QTest::newRow("-1 unchanged") << -1 << true << false;
}

void TestFrameLogic::storedStyleApplied()
{
    QFETCH(int, stored);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFont f;
    f.setBold(true);
    f.setUnderline(true);
    framelogic::applyFontStyle(f, stored);
    QCOMPARE(f.bold(), bold);
    QCOMPARE(f.italic(), italic);
    QCOMPARE(f.underline(), stored == 5 || stored == -1);
}

QTEST_GUILESS_MAIN(TestFrameLogic)
#include "tst_framelogic.moc"
