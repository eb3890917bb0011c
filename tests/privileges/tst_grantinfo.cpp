// The privilege page as a user works it after a connect: the trees, the
// list and its filters from the trees, headers, grantor and privilege
// choices, the sort and the letter search, a grant and a revoke through the
// page, the refresh and the tree panel buttons.
#include "PrivilegesFixture.h"
#include "engine/GridModel.h"
#include "platform/PanelStatusBar.h"
#include "privileges/gmes2.h"
#include "privileges/gmes_un.h"
#include "support/GridFit.h"
#include "support/GuiTestMain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTableView>
#include <QToolButton>

using namespace privtest;
using Answer = platform::Prompter::Answer;

namespace {

// A tree as indented lines, in the order shown.
void dump(QTreeWidgetItem *node, int depth, QStringList &out)
{
    out << QString(2 * depth, ' ') + node->text(0);
    for (int i = 0; i < node->childCount(); ++i)
        dump(node->child(i), depth + 1, out);
}

QStringList dump(QTreeWidget *tree)
{
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        dump(tree->topLevelItem(i), 0, out);
    return out;
}

QRadioButton *radio(QGroupBox *group, int index)
{
    return group->findChild<QRadioButton *>(group->objectName() + QString::number(index));
}

// The list's rows as "object|grantee|letter|grantor", in the list's order.
QStringList listed(engine::DataSet &list)
{
    QStringList out;
    for (int r = 0; r < list.recordCount(); ++r)
        out << QStringList{list.textAt(r, list.fieldIndex("RDB$RELATION_NAME")), list.textAt(r, list.fieldIndex("RDB$USER")),
                           list.textAt(r, list.fieldIndex("RDB$PRIVILEGE")), list.textAt(r, list.fieldIndex("RDB$GRANTOR"))}
                   .join('|');
    return out;
}

QString currentObject(engine::DataSet &list)
{
    return list.fieldByName("RDB$RELATION_NAME").asString().trimmed();
}

} // namespace

class TestGrantInfo : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void treesAndListAfterConnect();
    void filters_data();
    void filters();
    void menuForwardersDriveTheControls();
    void sortAndLetterSearch();
    void grantThroughThePage();
    void revokeThroughThePage();
    void refresh_data();
    void refresh();
    void treePanelButtons_data();
    void treePanelButtons();
    void gridsShowWholeNames();
};

void TestGrantInfo::treesAndListAfterConnect()
{
    ConnectedWindow c;
    TLorvane &w = *c.w;
    // Tables and views come closed, their columns read when one is opened.
    const QStringList closed{"Stored Procedures", "  P1", "Tables", "  T1", "  T2", "  T3", "Views", "  V1"};
    QCOMPARE(dump(w.Metatree), closed);
    QCOMPARE(dump(w.Metatreegrant), closed);
    for (QTreeWidget *tree : {w.Metatree, w.Metatreegrant})
        for (int r = 0; r < tree->topLevelItemCount(); ++r) {
            tree->topLevelItem(r)->setExpanded(true);
            for (int i = 0; i < tree->topLevelItem(r)->childCount(); ++i)
                tree->topLevelItem(r)->child(i)->setExpanded(true);
        }
    QCOMPARE(dump(w.Metatree), (QStringList{"Stored Procedures", "  P1", "Tables", "  T1", "    C1", "    C2", "  T2",
                                            "    C1", "  T3", "    C1", "Views", "  V1", "    C1"}));
    QCOMPARE(dump(w.Metatreegrant), dump(w.Metatree));
    // Typed letters find what is shown.
    w.Metatree->keyboardSearch("T2");
    QCOMPARE(w.Metatree->currentItem()->text(0), QString("T2"));
    w.Metatree->setCurrentItem(w.Metatree->topLevelItem(0));
    QCOMPARE(dump(w.usertree), (QStringList{"Stored Procedures", "  P1", "Triggers", "  TR1", "Users", "  PUBLIC", "  U1",
                                            "  U2", "Views", "  V1"}));
    for (QTreeWidget *tree : {w.Metatree, w.Metatreegrant, w.usertree})
        QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
    // Pictures by index: PUBLIC and the users have their own.
    QTreeWidgetItem *users = w.usertree->topLevelItem(2);
    QCOMPARE(users->child(0)->data(0, Qt::UserRole).toInt(), 9);
    QCOMPARE(users->child(1)->data(0, Qt::UserRole).toInt(), 7);
    QVERIFY(!users->child(1)->icon(0).isNull());
    QCOMPARE(w.Grantsb->panelText(2), QString());
    QCOMPARE(w.StatusProgress->value(), 0);
    QCOMPARE(committedDisagreements(c.t), QStringList()); // the layer the connect made

    // The list in the grid, with the columns and titles of the page.
    engine::DataSet &list = GrantData->TrigList;
    QVERIFY(list.isActive());
    QCOMPARE(w.PrivGrid->model()->rowCount(), list.recordCount());
    QCOMPARE(list.recordCount(), 12);
    QStringList titles;
    for (int i = 0; i < w.PrivGrid->model()->columnCount(); ++i)
        titles << w.PrivGrid->model()->headerData(i, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"MetaObject", "UserObject", "privilege", "GrantOption", "Columns", "Grantor"}));
    QCOMPARE(w.userlbl->text(), QString("All user objects"));
    QCOMPARE(w.metalbl->text(), QString("All meta objects"));
    QCOMPARE(radio(w.GrantorGroup, 1)->text(), QString("SYSDBA"));
    QVERIFY(!w.Grantbtn->isEnabled()); // the roots are selected
    QVERIFY(c.p->prompter.problems().isEmpty());
}

void TestGrantInfo::filters_data()
{
    QTest::addColumn<bool>("metaActive");
    QTest::addColumn<QString>("object");
    QTest::addColumn<bool>("userActive");
    QTest::addColumn<QString>("grantee");
    QTest::addColumn<bool>("mine"); // grantor: the login user
    QTest::addColumn<QString>("metalbl");
    QTest::addColumn<QString>("userlbl");
    QTest::addColumn<int>("privilege");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<bool>("grant");
    const QString all = "All meta objects", allUsers = "All user objects";
    QTest::newRow("All mode ignores the selection")
        << false << "Tables/T2" << false << "Users/PUBLIC" << false << all << allUsers << 0 << QStringList() << true;
    QTest::newRow("table") << true << "Tables/T2" << false << "" << false << "Table T2" << allUsers << 0
                           << QStringList{"T2|PUBLIC|I|SYSDBA", "T2|TR1|S|SYSDBA"} << false;
    QTest::newRow("column sets Update") << true << "Tables/T1/C1" << false << "" << false << "Table T1 Column C1"
                                        << allUsers << 4 << QStringList{"T1|U1|U|SYSDBA"} << false;
    QTest::newRow("procedure sets Execute") << true << "Stored Procedures/P1" << false << "" << false
                                            << "Stored Procedure P1" << allUsers << 5 << QStringList{"P1|U2|X|SYSDBA"}
                                            << false;
    QTest::newRow("grantee, case ignored") << false << "" << true << "Users/U2" << false << all << "User U2" << 0
                                           << QStringList{"P1|U2|X|SYSDBA", "T1|U2|S|SYSDBA", "T1|U2|S|U1",
                                                          "T3|U2|S|U1", "V1|U2|S|SYSDBA"}
                                           << false;
    QTest::newRow("both, grantor mine") << true << "Tables/T1" << true << "Users/U2" << true << "Table T1" << "User U2"
                                        << 0 << QStringList{"T1|U2|S|SYSDBA"} << true;
    QTest::newRow("trigger") << false << "" << true << "Triggers/TR1" << false << all << "Trigger TR1" << 0
                             << QStringList{"T2|TR1|S|SYSDBA"} << false;
}

void TestGrantInfo::filters()
{
    QFETCH(bool, metaActive);
    QFETCH(QString, object);
    QFETCH(bool, userActive);
    QFETCH(QString, grantee);
    QFETCH(bool, mine);
    QFETCH(QString, metalbl);
    QFETCH(QString, userlbl);
    QFETCH(int, privilege);
    QFETCH(QStringList, rows);
    QFETCH(bool, grant);
    ConnectedWindow c;
    TLorvane &w = *c.w;
    engine::DataSet &list = GrantData->TrigList;
    const int everything = list.recordCount();
    // Lower-case login name: the filter matches without case.
    radio(w.GrantorGroup, 1)->setText("sysdba");
    (metaActive ? w.MOActive : w.MOAll)->click();
    (userActive ? w.UOActive : w.UOAll)->click();
    radio(w.GrantorGroup, mine ? 1 : 0)->click();
    select(w.Metatree, object);
    select(w.usertree, grantee);
    QCOMPARE(w.metalbl->text(), metalbl);
    QCOMPARE(w.userlbl->text(), userlbl);
    QCOMPARE(w.PrivBox->currentIndex(), privilege);
    QStringList shown = listed(list);
    shown.sort(); // the list is ordered by grantee alone
    if (rows.isEmpty())
        QCOMPARE(list.recordCount(), everything);
    else
        QCOMPARE(shown, rows);
    QCOMPARE(w.PrivGrid->model()->rowCount(), list.recordCount());
    QCOMPARE(w.Grantbtn->isEnabled(), grant);
    QCOMPARE(w.Grant2->isEnabled(), grant);
    QCOMPARE(w.Revokebtn->isEnabled(), list.recordCount() > 0);
    QCOMPARE(w.Selected1->isChecked(), metaActive);
    QCOMPARE(w.All2->isChecked(), !userActive);
    QCOMPARE(w.USER1->isChecked(), mine);
}

void TestGrantInfo::menuForwardersDriveTheControls()
{
    ConnectedWindow c;
    TLorvane &w = *c.w;
    engine::DataSet &list = GrantData->TrigList;
    w.Selected1->trigger();
    QVERIFY(w.MOActive->isChecked());
    select(w.Metatree, "Tables/T1");
    QCOMPARE(w.metalbl->text(), QString("Table T1"));
    w.Update1->trigger();
    QCOMPARE(w.PrivBox->currentIndex(), 4);
    QCOMPARE(listed(list), QStringList{"T1|U1|U|SYSDBA"});
    w.Select1->trigger();
    QCOMPARE(list.recordCount(), 6);
    w.USER1->trigger();
    QVERIFY(radio(w.GrantorGroup, 1)->isChecked());
    QCOMPARE(list.recordCount(), 5);
    w.All3->trigger();
    w.All1->trigger();
    QVERIFY(w.MOAll->isChecked() && w.All1->isChecked());
    QCOMPARE(w.metalbl->text(), QString("All meta objects"));
    w.All4->trigger();
    QCOMPARE(w.PrivBox->currentIndex(), 0);
    QCOMPARE(list.recordCount(), 12);
    QVERIFY(w.All4->isChecked() && !w.Select1->isChecked());

    // Coming back to the page shows "Any privilege", and the list agrees.
    w.Update1->trigger();
    c.p->clickTab(2);
    c.p->clickTab(1);
    QCOMPARE(w.PrivBox->currentIndex(), 0);
    QVERIFY(w.All4->isChecked());
    QCOMPARE(list.recordCount(), 12);
}

void TestGrantInfo::sortAndLetterSearch()
{
    ConnectedWindow c;
    TLorvane &w = *c.w;
    engine::Query &list = GrantData->TrigList;
    radio(w.SortOrder, 1)->click();
    QCOMPARE(list.sql().last(), QString(" order by a.rdb$relation_name"));
    QVERIFY(w.byMetaObject1->isChecked() && !w.byUserObject1->isChecked());
    // The grid follows the row the search found.
    const auto type = [&](char key) {
        QTest::keyClick(w.PrivGrid, key);
        return w.PrivGrid->currentIndex().row() == list.recNo() ? currentObject(list) : QString("grid elsewhere");
    };
    QCOMPARE(type('v'), QString("V1"));
    QCOMPARE(type('t'), QString("T1"));
    const int firstT = list.recNo();
    QCOMPARE(type('t'), QString("T1"));
    QCOMPARE(list.recNo(), firstT + 1); // the same letter goes on
    QCOMPARE(type('p'), QString("P1"));
    QCOMPARE(type('z'), QString("P1")); // no object begins with it
    QCOMPARE(type('p'), QString("P1")); // the only one: wraps to itself
    // Sorting again forgets the letter: 't' starts from the top.
    radio(w.SortOrder, 0)->click();
    QCOMPARE(list.sql().last(), QString(" order by a.rdb$user"));
    QVERIFY(w.byUserObject1->isChecked());
    QTest::keyClick(w.PrivGrid, 't');
    QCOMPARE(list.fieldByName("RDB$USER").asString().trimmed(), QString("TR1"));
}

void TestGrantInfo::grantThroughThePage()
{
    ConnectedWindow c;
    TLorvane &w = *c.w;
    engine::StatementRecorder log;
    select(w.Metatree, "Tables/T1");
    select(w.usertree, "Users/U2");
    QVERIFY(w.Grantbtn->isEnabled());
    DialogAnswers dialog;
    dialog.prepare = [](QDialog &d) {
        auto &g = static_cast<Tgrantmes &>(d);
        QCOMPARE(g.metalbl->text(), QString("on T1"));
        QCOMPARE(g.userlbl->text(), QString("to U2"));
        QCOMPARE(g.Fieldlist->rowCount(), 2);
        g.selcheck->setChecked(false);
        g.delcheck->setChecked(false);
        g.ioption->setChecked(true);
        g.FieldlistMouseUp(0, 0); // Update on C2 only
    };
    w.Grantbtn->click();
    QCOMPARE(dialog.captions, QStringList{"Grant privilege"});
    QCOMPARE(rightsStatements(log), (QStringList{"grant insert on T1 to U2\n with grant option", "grant update\n(C2)\n on T1 to U2"}));
    // Pending until the next commit, and already in the list.
    QVERIFY(!committedHeld(c.t, "U2").contains("T1|I|1||SYSDBA"));
    QVERIFY(listed(GrantData->TrigList).contains("T1|U2|I|SYSDBA"));

    // A column node grants Update on that column alone, to a view without
    // the grant option.
    select(w.Metatree, "Views/V1/C1");
    select(w.usertree, "Views/V1");
    log.clear();
    dialog.prepare = [](QDialog &d) {
        auto &g = static_cast<Tgrantmes &>(d);
        QVERIFY(!g.uoption->isEnabled());
        for (QCheckBox *b : {g.selcheck, g.inscheck, g.delcheck})
            b->setChecked(false);
    };
    w.Grant2->trigger();
    QCOMPARE(rightsStatements(log), QStringList{"grant update\n(C1)\n on V1 to view V1"});

    // Execute on a procedure goes through the other dialog and commits at
    // once, with the grants pending before it.
    select(w.Metatree, "Stored Procedures/P1");
    select(w.usertree, "Users/U1");
    log.clear();
    dialog.prepare = [](QDialog &d) {
        auto &g = static_cast<Tgrantmes2 &>(d);
        QCOMPARE(g.tbllbl->text(), QString("on procedure P1"));
        g.optioncheck->setChecked(true);
    };
    w.Grantbtn->click();
    QCOMPARE(rightsStatements(log), QStringList{"Grant\nExecute on procedure P1 to U1\n with grant option"});
    QVERIFY(committedHeld(c.t, "U1").contains("P1|X|1||SYSDBA"));
    QVERIFY(committedHeld(c.t, "U2").contains("T1|I|1||SYSDBA"));
    QVERIFY(committedHeld(c.t, "U2").contains("T1|U|0|C2|SYSDBA"));
    QCOMPARE(committedHeld(c.t, "V1"), (QStringList{"T1|S|0||SYSDBA", "V1|U|0|C1|SYSDBA"}));
    QVERIFY(listed(GrantData->TrigList).contains("P1|U1|X|SYSDBA"));
    QVERIFY(c.p->prompter.calls().isEmpty());
}

void TestGrantInfo::revokeThroughThePage()
{
    ConnectedWindow c;
    TLorvane &w = *c.w;
    engine::StatementRecorder log;
    w.UOActive->click();
    select(w.usertree, "Views/V1");
    QCOMPARE(listed(GrantData->TrigList), QStringList{"T1|V1|S|SYSDBA"});
    QVERIFY(w.Revokebtn->isEnabled());
    DialogAnswers dialog;
    dialog.prepare = [](QDialog &d) {
        auto &r = static_cast<Tgrantmes2 &>(d);
        QCOMPARE(r.privilege->text(), QString("Select"));
        QCOMPARE(r.userlbl->text(), QString("from view V1"));
        QVERIFY(r.optioncheck->isHidden());
    };
    w.Revoke2->trigger();
    QCOMPARE(dialog.captions, QStringList{"Revoke privilege"});
    QCOMPARE(rightsStatements(log), QStringList{"Revoke\nSelect on T1 from view V1"});
    QCOMPARE(committedHeld(c.t, "V1"), QStringList());
    QCOMPARE(GrantData->TrigList.recordCount(), 0);
    QVERIFY(!w.Revokebtn->isEnabled());
    QVERIFY(c.p->prompter.calls().isEmpty());
    QCOMPARE(disagreements(GrantData->grantdb), QStringList());
}

void TestGrantInfo::refresh_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("answer"); // -1: not asked
    QTest::addColumn<bool>("rebuilt");
    QTest::newRow("GrantInfo, yes") << 1 << int(Answer::Yes) << true;
    QTest::newRow("GrantInfo, no") << 1 << int(Answer::No) << false;
    QTest::newRow("GrantGroups, yes") << 2 << int(Answer::Yes) << true;
    QTest::newRow("UserGroups") << 3 << -1 << false;
    QTest::newRow("GrantAction") << 4 << -1 << false;
}

void TestGrantInfo::refresh()
{
    QFETCH(int, page);
    QFETCH(int, answer);
    QFETCH(bool, rebuilt);
    ConnectedWindow c;
    TLorvane &w = *c.w;
    c.p->clickTab(page);
    QCOMPARE(w.GrantPages->currentIndex(), page);
    {
        auto other = c.t.connect("SYSDBA", "Other");
        testsupport::exec(*other, "create table T9 (C1 integer)");
        testsupport::exec(*other, "grant select on T9 to U1");
    }
    if (answer >= 0)
        c.p->prompter.answer(Answer(answer));
    w.refbutton->click();
    QCOMPARE(c.p->prompter.texts(), answer >= 0 ? QStringList{"Rebuild MetaTree?"} : QStringList());
    QCOMPARE(dump(w.Metatree).contains("  T9"), rebuilt);
    QCOMPARE(dump(w.Metatreegrant).contains("  T9"), rebuilt);
    // The privilege list was read again on its page.
    QCOMPARE(listed(GrantData->TrigList).contains("T9|U1|S|SYSDBA"), page == 1);
}

void TestGrantInfo::treePanelButtons_data()
{
    QTest::addColumn<bool>("up");
    QTest::newRow("up") << true;
    QTest::newRow("down") << false;
}

void TestGrantInfo::treePanelButtons()
{
    QFETCH(bool, up);
    Program p;
    TLorvane &w = p.w;
    p.showWorkPages();
    w.GrantPages->setCurrentIndex(1);
    const int height = w.Metatree->height();
    QToolButton *pressed = up ? w.Upbtn : w.DownBtn;
    QToolButton *other = up ? w.DownBtn : w.Upbtn;
    const int expected = up ? 0 : height + w.usertree->height();
    pressed->click();
    QCOMPARE(w.Metatree->height(), expected);
    QVERIFY(!pressed->isEnabled());
    other->click();
    QCOMPARE(w.Metatree->height(), height);
    QVERIFY(pressed->isEnabled() && other->isEnabled());
}

// At the size a person gives the window, the privilege list shows
// 31-character names and its titles whole, and the alias grid the whole
// path of the database.
void TestGrantInfo::gridsShowWholeNames()
{
    ConnectedWindow c([](const TestDatabase &t) {
        makeGrants(t);
        auto db = t.connect();
        for (const char *sql : {"create table CUSTOMER_ORDERS_BY_REGION_YEARL (SHIPPING_ADDRESS_LINE_NUMBER_TW integer)",
                                "grant select on CUSTOMER_ORDERS_BY_REGION_YEARL to A_USER_NAME_OF_THIRTY_ONE_CHARS",
                                "grant update (SHIPPING_ADDRESS_LINE_NUMBER_TW) on CUSTOMER_ORDERS_BY_REGION_YEARL to U1"})
            testsupport::exec(*db, sql);
    });
    TLorvane &w = *c.w;
    w.resize(1600, 1000);
    QVERIFY(GrantData->TrigList.locate("RDB$RELATION_NAME", "CUSTOMER_ORDERS_BY_REGION_YEARL"));
    QCOMPARE(testsupport::cutTexts(*w.PrivGrid), QStringList());

    ScopedAlias deep("DEEP", "/srv/databases/customers/region-north/archive/customers_2026.fdb");
    w.aliasbox->clear();
    w.FillAliasBox();
    c.p->selectAlias("DEEP");
    QCOMPARE(w.AliasParams->item(1, 1)->text(), QString("/srv/databases/customers/region-north/archive/customers_2026.fdb"));
    QCOMPARE(testsupport::cutTexts(*w.AliasParams), QStringList());
}

DUNMOOR_GUI_TEST_MAIN(TestGrantInfo)
#include "tst_grantinfo.moc"
