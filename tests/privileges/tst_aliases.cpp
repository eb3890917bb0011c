// Alias administration on the connection page, against the engine's real
// configuration file: the lines of the file after each command, the list,
// the grid and the buttons.
#include "PrivilegesFixture.h"
#include "support/GuiTestMain.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

using namespace privtest;
using Answer = platform::Prompter::Answer;

namespace {

engine::Session &session()
{
    return engine::Session::defaultSession();
}

// The configuration file as it stands on disk.
QStringList fileLines()
{
    QFile f(engine::Session::configurationFile());
    if (!f.open(QIODevice::ReadOnly))
        return {"<unreadable>"};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// The lines of one alias's section in the file, driver line included.
QStringList section(const QString &alias)
{
    const QStringList lines = fileLines();
    const int start = int(lines.indexOf("[" + alias + "]"));
    if (start < 0)
        return {};
    QStringList result;
    for (int i = start + 1; i < lines.size() && !lines.at(i).startsWith('[') && lines.at(i) != "END"; ++i)
        result << lines.at(i);
    return result;
}

QStringList listed(QTreeWidget *list)
{
    QStringList r;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        r << list->topLevelItem(i)->text(0);
    return r;
}

void setCell(QTableWidget *grid, const QString &param, const QString &value)
{
    for (int r = 0; r < grid->rowCount(); ++r)
        if (grid->item(r, 0) && grid->item(r, 0)->text() == param) {
            grid->item(r, 1)->setText(value);
            return;
        }
    QFAIL(qPrintable("no row " + param));
}

QString cellOf(QTableWidget *grid, const QString &param)
{
    for (int r = 0; r < grid->rowCount(); ++r)
        if (grid->item(r, 0) && grid->item(r, 0)->text() == param)
            return grid->item(r, 1)->text();
    return "<no row>";
}

QStringList withLine(QStringList params, const QString &line)
{
    const QString name = line.section('=', 0, 0) + '=';
    for (QString &l : params)
        if (l.startsWith(name))
            l = line;
    return params;
}

} // namespace

class TestAliases : public QObject {
    Q_OBJECT
private slots:
    void init();

    void listShowsInterbaseAliasesSorted();
    void addSaveAndItsRefusals();
    void savedAliasIsSelectedWithItsPicture();
    void cancelShowsTheStoredValues();
    void modifyRewritesInPlace();
    void deleteTheAliasShownWithoutSelection();
    void deleteTheLastAlias();
    void languageDriverSavedAsShown_data();
    void languageDriverSavedAsShown();
    void inPlaceValueList();
};

void TestAliases::init()
{
    clearSettings();
    for (const QString &a : session().aliasNames())
        session().deleteAlias(a);
    session().saveConfigFile();
}

void TestAliases::listShowsInterbaseAliasesSorted()
{
    session().addAlias("ZETA", "INTRBASE", {"SERVER NAME=/z.fdb", "USER NAME=SYSDBA"});
    session().addAlias("OTHERDRV", "PARADOX", {"PATH=/tmp"});
    session().addAlias("alpha", "INTRBASE", {"SERVER NAME=/a.fdb", "USER NAME=U1"});
    Program p;
    QCOMPARE(listed(p.w.aliasbox), (QStringList{"alpha", "ZETA"}));
    QCOMPARE(p.w.aliasbox->headerItem()->text(0), QString("       AliasList"));
    QCOMPARE(p.w.aliasbox->currentItem()->text(0), QString("alpha"));
    QCOMPARE(p.w.AliasParams->item(0, 0)->text(), QString("Alias"));
    QCOMPARE(p.w.AliasParams->item(0, 1)->text(), QString("alpha"));
    QVERIFY(!(p.w.AliasParams->item(0, 1)->flags() & Qt::ItemIsEditable));
    QCOMPARE(cellOf(p.w.AliasParams, "USER NAME"), QString("U1"));
    QCOMPARE(p.w.AddAliasBtn->text(), QString("        &Add"));
    QVERIFY(p.w.ModifyAliasBtn->isEnabled() && p.w.DelAliasBtn->isEnabled());
    p.w.aliasbox->setCurrentItem(p.w.aliasbox->topLevelItem(1));
    QCOMPARE(p.w.AliasParams->item(0, 1)->text(), QString("ZETA"));
    QCOMPARE(cellOf(p.w.AliasParams, "SERVER NAME"), QString("/z.fdb"));
    // The session figures are listed.
    QCOMPARE(p.w.SsInfo->item(0)->text(), QString("Local Share: ON"));
    QCOMPARE(p.w.Nt->text(), QString("Embedded"));
}

void TestAliases::addSaveAndItsRefusals()
{
    Program p;
    QCOMPARE(p.w.aliasbox->topLevelItemCount(), 0);
    QVERIFY(!p.w.ModifyAliasBtn->isEnabled() && !p.w.DelAliasBtn->isEnabled());
    p.w.Add2->trigger();
    QCOMPARE(p.w.AddAliasBtn->text(), QString("       &Save"));
    QCOMPARE(p.w.Add2->text(), QString("&Save"));
    QCOMPARE(p.w.DelAliasBtn->text(), QString("      &Cancel"));
    QVERIFY(!p.w.aliasbox->isEnabled() && !p.w.ModifyAliasBtn->isEnabled());
    QVERIFY(p.w.AliasParams->item(0, 1)->flags() & Qt::ItemIsEditable);
    QCOMPARE(p.w.AliasParams->rowCount(), 17);

    p.w.AddAliasBtn->click(); // no name yet
    QCOMPARE(p.prompter.texts(), QStringList{"AliasName is not specified"});
    p.w.AliasParams->item(0, 1)->setText("NEWDB");
    setCell(p.w.AliasParams, "SERVER NAME", "/data/new.fdb");
    p.prompter.answer(Answer::No);
    p.w.AddAliasBtn->click();
    QCOMPARE(p.prompter.texts().last(), QString("Save Alias?"));
    QVERIFY(!session().aliasNames().contains("NEWDB"));
    QCOMPARE(p.w.AddAliasBtn->text(), QString("       &Save")); // still entering

    p.prompter.answer(Answer::Yes);
    p.w.AddAliasBtn->click();
    const QStringList expected = withLine(withLine(engine::Session::driverDefaultParams("INTRBASE"),
                                                   "SERVER NAME=/data/new.fdb"), "SERVER NAME=/data/new.fdb");
    QCOMPARE(section("NEWDB"), QStringList{"DRIVER=INTRBASE"} + expected);
    QCOMPARE(listed(p.w.aliasbox), QStringList{"NEWDB"});
    QVERIFY(p.w.aliasbox->isEnabled());
    QVERIFY(!(p.w.AliasParams->item(0, 1)->flags() & Qt::ItemIsEditable));
    QCOMPARE(p.w.AddAliasBtn->text(), QString("        &Add"));
    QVERIFY(p.prompter.problems().isEmpty());
}

void TestAliases::savedAliasIsSelectedWithItsPicture()
{
    session().addAlias("ALPHA", "INTRBASE", {"SERVER NAME=/a.fdb"});
    Program p;
    QCOMPARE(p.w.aliasbox->currentItem()->text(0), QString("ALPHA"));
    p.w.AddAliasBtn->click();
    p.w.AliasParams->item(0, 1)->setText("BETA");
    setCell(p.w.AliasParams, "SERVER NAME", "/b.fdb");
    p.prompter.answer(Answer::Yes);
    p.w.AddAliasBtn->click();
    QTreeWidgetItem *current = p.w.aliasbox->currentItem();
    QCOMPARE(current->text(0), QString("BETA"));
    QVERIFY(current->isSelected() && !p.w.aliasbox->topLevelItem(0)->isSelected());
    QVERIFY(!current->icon(0).isNull());
    QCOMPARE(cellOf(p.w.AliasParams, "SERVER NAME"), QString("/b.fdb"));
    QCOMPARE(p.w.AliasParams->item(0, 1)->text(), QString("BETA"));
}

void TestAliases::cancelShowsTheStoredValues()
{
    session().addAlias("KEPT", "INTRBASE", {"SERVER NAME=/k.fdb", "USER NAME=KEEPER"});
    session().saveConfigFile();
    Program p;
    setCell(p.w.AliasParams, "USER NAME", "TYPED"); // typed, never stored
    p.w.AddAliasBtn->click();
    QCOMPARE(p.w.AliasParams->item(0, 1)->text(), QString());
    p.w.DelAliasBtn->click(); // Cancel
    QCOMPARE(p.w.AliasParams->item(0, 1)->text(), QString("KEPT"));
    QCOMPARE(cellOf(p.w.AliasParams, "USER NAME"), QString("KEEPER"));
    QCOMPARE(p.w.AliasParams->rowCount(), 3);
    QVERIFY(p.w.aliasbox->isEnabled());
    QCOMPARE(p.w.DelAliasBtn->text(), QString("      &Delete"));
    QCOMPARE(section("KEPT"), (QStringList{"DRIVER=INTRBASE", "SERVER NAME=/k.fdb", "USER NAME=KEEPER"}));
    QVERIFY(p.prompter.calls().isEmpty());
}

void TestAliases::modifyRewritesInPlace()
{
    session().addAlias("MOD", "INTRBASE", {"SERVER NAME=/m.fdb", "USER NAME=A", "SQLPASSTHRU MODE=NOT SHARED"});
    session().saveConfigFile();
    Program p;
    setCell(p.w.AliasParams, "USER NAME", "B");
    p.prompter.answer(Answer::No);
    p.w.Modify2->trigger();
    QCOMPARE(section("MOD").value(2), QString("USER NAME=A"));
    p.prompter.answer(Answer::Yes);
    p.w.ModifyAliasBtn->click();
    QCOMPARE(p.prompter.texts(), (QStringList{"Save current Alias Params?", "Save current Alias Params?"}));
    QCOMPARE(section("MOD"), (QStringList{"DRIVER=INTRBASE", "SERVER NAME=/m.fdb", "USER NAME=B",
                                          "SQLPASSTHRU MODE=NOT SHARED"}));
}

void TestAliases::deleteTheAliasShownWithoutSelection()
{
    session().addAlias("AAA", "INTRBASE", {"SERVER NAME=/a.fdb"});
    session().addAlias("BBB", "INTRBASE", {"SERVER NAME=/b.fdb"});
    session().saveConfigFile();
    Program p;
    // The grid shows AAA while nothing is selected in the list.
    p.w.aliasbox->clearSelection();
    p.prompter.answer(Answer::Yes);
    p.w.DelAliasBtn->click();
    QCOMPARE(p.prompter.texts(), QStringList{"Delete Alias \"AAA\"?"});
    QCOMPARE(listed(p.w.aliasbox), QStringList{"BBB"});
    QVERIFY(!fileLines().contains("[AAA]"));
    QVERIFY(fileLines().contains("[BBB]"));
    QVERIFY(!p.w.ModifyAliasBtn->isEnabled());
}

void TestAliases::deleteTheLastAlias()
{
    session().addAlias("ONLY", "INTRBASE", {"SERVER NAME=/o.fdb"});
    session().saveConfigFile();
    Program p;
    p.prompter.answer(Answer::No);
    p.w.Delete2->trigger();
    QCOMPARE(listed(p.w.aliasbox), QStringList{"ONLY"});
    p.prompter.answer(Answer::Yes);
    p.w.DelAliasBtn->click();
    QCOMPARE(listed(p.w.aliasbox), QStringList());
    QCOMPARE(fileLines(), (QStringList{"DUNMOOR ALIASES 1", "END"}));
    // Mode 0: the grid keeps its rows; only Add is left.
    QCOMPARE(p.w.AliasParams->item(0, 1)->text(), QString("ONLY"));
    QVERIFY(p.w.AddAliasBtn->isEnabled() && !p.w.ModifyAliasBtn->isEnabled() && !p.w.DelAliasBtn->isEnabled());
    QVERIFY(!p.w.Modify2->isEnabled() && !p.w.Delete2->isEnabled());
}

void TestAliases::languageDriverSavedAsShown_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("chosen"); // null: left as shown; otherwise typed into the cell
    QTest::addColumn<QString>("written"); // null: refused, the stored line unchanged
    QTest::newRow("unknown shown empty, saved empty") << "WIN1252" << "" << QString() << "LANGDRIVER=";
    QTest::newRow("empty stays empty") << "" << "" << QString() << "LANGDRIVER=";
    QTest::newRow("known shown by description") << "UTF8" << "Unicode UTF-8" << QString() << "LANGDRIVER=UTF8";
    QTest::newRow("chosen from the list") << "WIN1252" << "" << "No conversion (bytes as stored)" << "LANGDRIVER=NONE";
    QTest::newRow("the empty entry clears") << "UTF8" << "Unicode UTF-8" << "" << "LANGDRIVER=";
    QTest::newRow("a driver's name typed") << "" << "" << "NONE" << "LANGDRIVER=NONE";
    QTest::newRow("unknown text refused") << "UTF8" << "Unicode UTF-8" << "Klingon" << QString();
}

void TestAliases::languageDriverSavedAsShown()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    session().addAlias("LD", "INTRBASE", {"SERVER NAME=/l.fdb", "LANGDRIVER=" + stored});
    session().saveConfigFile();
    Program p;
    QCOMPARE(cellOf(p.w.AliasParams, "LANGDRIVER"), shown);
    p.w.AliasParams->setCurrentCell(2, 1);
    p.w.AliasParamsClick();
    const int i = chosen.isNull() ? -1 : p.w.DefParamList->findText(chosen);
    if (i >= 0) {
        p.w.DefParamList->setCurrentIndex(i);
        p.w.DefParamListChange();
    } else if (!chosen.isNull()) {
        setCell(p.w.AliasParams, "LANGDRIVER", chosen);
    }
    p.prompter.answer(Answer::Yes);
    p.w.ModifyAliasBtn->click();
    if (written.isNull()) {
        QCOMPARE(p.prompter.texts(), QStringList{"Unknown language driver \"Klingon\": choose one from the list, "
                                                 "or the empty entry for the default."});
        QCOMPARE(section("LD").value(2), "LANGDRIVER=" + stored);
        return;
    }
    QCOMPARE(section("LD").value(2), written);
}

void TestAliases::inPlaceValueList()
{
    session().addAlias("IP", "INTRBASE", engine::Session::driverDefaultParams("INTRBASE"));
    Program p;
    const int passthru = 7; // row of "SQLPASSTHRU MODE" (after row 0)
    QCOMPARE(p.w.AliasParams->item(passthru, 0)->text(), QString("SQLPASSTHRU MODE"));
    p.w.AliasParams->setCurrentCell(passthru, 1);
    QCOMPARE(p.w.DefParamListTag, 1);
    QVERIFY(p.w.DefParamList->isVisible());
    QStringList items;
    for (int i = 0; i < p.w.DefParamList->count(); ++i)
        items << p.w.DefParamList->itemText(i);
    QCOMPARE(items, (QStringList{"NOT SHARED", "SHARED AUTOCOMMIT", "SHARED NOAUTOCOMMIT"}));
    QCOMPARE(p.w.DefParamList->currentText(), QString("SHARED AUTOCOMMIT"));
    // Over the value cell of its row.
    const QRect cell = p.w.AliasParams->visualItemRect(p.w.AliasParams->item(passthru, 1));
    const QPoint origin = p.w.AliasParams->pos() + p.w.AliasParams->viewport()->pos();
    QCOMPARE(p.w.DefParamList->y(), origin.y() + cell.top());
    QCOMPARE(p.w.DefParamList->x(), origin.x() + cell.left());
    // The user drags the column line in the grid's header: the list keeps
    // to its cell.
    QHeaderView *header = p.w.AliasParams->horizontalHeader();
    QVERIFY(header->isVisibleTo(p.w.AliasParams));
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::Interactive);
    header->resizeSection(0, header->sectionSize(0) - 40);
    QCOMPARE(p.w.DefParamList->x(), origin.x() + p.w.AliasParams->visualItemRect(p.w.AliasParams->item(passthru, 1)).left());
    QCOMPARE(p.w.DefParamList->width(), p.w.AliasParams->columnWidth(1) + 1);

    p.w.AliasParams->setCurrentCell(1, 1); // SERVER NAME: typed freely
    QCOMPARE(p.w.DefParamListTag, 0);
    QVERIFY(!p.w.DefParamList->isVisible());
}

DUNMOOR_GUI_TEST_MAIN(TestAliases)
#include "tst_aliases.moc"
