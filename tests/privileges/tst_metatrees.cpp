// The object and grantee trees built from real databases: their exact
// shape, pictures and order, the roots that appear only with content, the
// administrative tables never shown, and the status and progress display
// on success and failure.
#include "PrivilegesFixture.h"
#include "privileges/MetaTrees.h"
#include "support/GuiTestMain.h"

#include <QTreeWidget>

using namespace privtest;
using namespace privileges;
using testsupport::exec;
using testsupport::TestDatabase;

namespace {

// One line per node: indentation by level, text, the two picture indexes.
void dump(const TreeNodes &nodes, int level, QStringList &out)
{
    for (const TreeNode &n : nodes) {
        out << QString(level * 2, ' ') + QStringLiteral("%1 %2/%3").arg(n.text).arg(n.image).arg(n.selectedImage);
        dump(n.children, level + 1, out);
    }
}

QStringList dump(const TreeNodes &nodes)
{
    QStringList out;
    dump(nodes, 0, out);
    return out;
}

void dumpItem(const QTreeWidgetItem *item, int level, QStringList &out)
{
    out << QString(level * 2, ' ')
            + QStringLiteral("%1 %2/%3").arg(item->text(0)).arg(item->data(0, Qt::UserRole).toInt()).arg(item->data(0, Qt::UserRole + 1).toInt());
    for (int i = 0; i < item->childCount(); ++i)
        dumpItem(item->child(i), level + 1, out);
}

QStringList dump(const QTreeWidget &tree)
{
    QStringList out;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        dumpItem(tree.topLevelItem(i), 0, out);
    return out;
}

void run(engine::Database &db, const QStringList &statements)
{
    for (const QString &sql : statements)
        exec(db, sql);
}

// Tables with a CHECK constraint (whose triggers stay out of the trees), a
// view over a table and one over a procedure, two procedures, a table
// trigger and a database trigger. Names are given out of order, so the
// trees show they sort.
const QStringList kObjects{
    "create table T2 (B integer, A integer check (A > 0))",
    "create table T1 (C2 integer, C1 integer)",
    "create procedure P2 returns (R integer) as begin R = 1; suspend; end",
    "create procedure P1 as begin end",
    "create view V2 as select R from P2",
    "create view V1 (X, C1) as select C2, C1 from T1",
    "create trigger TR2 for T2 before insert as begin end",
    "create trigger DTR1 on connect as begin end",
};

const QStringList kObjectTree{
    "Stored Procedures 0/1", "  P1 2/3", "  P2 2/3",
    "Tables 0/1", "  T1 2/3", "    C1 4/5", "    C2 4/5", "  T2 2/3", "    A 4/5", "    B 4/5",
    "Views 0/1", "  V1 2/3", "    C1 4/5", "    X 4/5", "  V2 2/3", "    R 4/5",
};

const QStringList kUserTree{
    "Stored Procedures 0/1", "  P1 2/3", "  P2 2/3",
    "Triggers 0/1", "  DTR1 2/3", "  TR2 2/3",
    "Users 0/1", "  PUBLIC 9/8", "  U1 7/6", "  U2 7/6",
    "Views 0/1", "  V1 2/3", "  V2 2/3",
};

// The objects above, with U1, U2 and PUBLIC registered through the import
// and a user group that is no grantee on the server.
std::unique_ptr<TGrantData> withObjectsAndUsers(const TestDatabase &t)
{
    {
        auto db = t.connect();
        run(*db, kObjects);
        run(*db, {"grant select on T1 to U2", "grant select on T1 to U1", "grant select on T2 to PUBLIC"});
    }
    auto d = connectWithLayer(t);
    exec(d->grantdb, "insert into meta$usersdef values ('GROUP1', null, 2)");
    return d;
}

} // namespace

class TestMetaTrees : public QObject {
    Q_OBJECT
private slots:
    void fullTrees();
    void rootsOnlyWithContent_data();
    void rootsOnlyWithContent();
    void failureEmptiesStatus();
    void treeWidgetShowsTheData();
    void refreshReopensAtPosition_data();
    void refreshReopensAtPosition();
};

void TestMetaTrees::fullTrees()
{
    TestDatabase t;
    auto d = withObjectsAndUsers(t);
    RecordingProgress progress;
    engine::StatementRecorder log;
    MetaTrees trees = FillMetaTree(*d, progress);
    // Tables and views come without their columns, which no statement read.
    QStringList closed;
    for (const QString &line : kObjectTree)
        if (!line.startsWith("    "))
            closed << line;
    QCOMPARE(dump(trees.metatree), closed);
    for (const TreeNode &root : trees.metatree)
        for (const TreeNode &object : root.children)
            QCOMPARE(object.columnsPending, root.text != proceduresRoot());
    QVERIFY(!log.statements().join('\n').contains("RDB$RELATION_FIELDS"));
    readAllColumns(*d, trees.metatree);
    QCOMPARE(dump(trees.metatree), kObjectTree);
    QCOMPARE(dump(trees.usertree), kUserTree);
    // Never an administrative table, a system table or a CHECK trigger.
    const QString all = (dump(trees.metatree) + dump(trees.usertree)).join('\n');
    QVERIFY(!all.contains("META$") && !all.contains("RDB$") && !all.contains("CHECK_"));
    QCOMPARE(progress.statuses, (QStringList{"Creating MetaTree...", ""}));
    // 2 views, 2 procedures, 2 tables: every fixed step but the three whose
    // roots come after it.
    QCOMPARE(progress.maximum, 2 * 2 + 2 + 2 * 2 + 11);
    QCOMPARE(progress.steps, 21);
    QCOMPARE(progress.resets, 1);
    const QStringList sent = log.statements();
    QVERIFY(sent.contains(triggersStatement()));
    QVERIFY(sent.contains(usersStatement().join('\n')));
    QVERIFY(!sent.contains(serverUsersStatement()));
    QVERIFY(d->grantdb.inTransaction());
}

void TestMetaTrees::rootsOnlyWithContent_data()
{
    QTest::addColumn<QStringList>("objects");
    QTest::addColumn<QStringList>("objectTree");
    QTest::addColumn<QStringList>("userTree");
    QTest::newRow("tables only") << QStringList{"create table T1 (C1 integer)"}
                                 << QStringList{"Tables 0/1", "  T1 2/3", "    C1 4/5"}
                                 << QStringList{"Users 0/1", "  PUBLIC 9/8"};
    QTest::newRow("views, no procedures")
        << QStringList{"create table T1 (C1 integer)", "create view V1 as select C1 from T1",
                       "create trigger TR1 for T1 after update as begin end"}
        << QStringList{"Tables 0/1", "  T1 2/3", "    C1 4/5", "Views 0/1", "  V1 2/3", "    C1 4/5"}
        << QStringList{"Triggers 0/1", "  TR1 2/3", "Users 0/1", "  PUBLIC 9/8", "Views 0/1", "  V1 2/3"};
    QTest::newRow("procedures, no views")
        << QStringList{"create procedure P1 as begin end"}
        << QStringList{"Stored Procedures 0/1", "  P1 2/3", "Tables 0/1"}
        << QStringList{"Stored Procedures 0/1", "  P1 2/3", "Users 0/1", "  PUBLIC 9/8"};
}

void TestMetaTrees::rootsOnlyWithContent()
{
    QFETCH(QStringList, objects);
    QFETCH(QStringList, objectTree);
    QFETCH(QStringList, userTree);
    TestDatabase t;
    {
        auto db = t.connect();
        run(*db, objects);
    }
    auto d = connectWithLayer(t);
    NoProgress quiet;
    MetaTrees trees = FillMetaTree(*d, quiet);
    readAllColumns(*d, trees.metatree);
    QCOMPARE(dump(trees.metatree), objectTree);
    QCOMPARE(dump(trees.usertree), userTree);
}

void TestMetaTrees::failureEmptiesStatus()
{
    TestDatabase t;
    auto d = withObjectsAndUsers(t);
    d->transaction.commit();
    RecordingProgress progress;
    {
        FailingStatement fail("RDB$TrIggers");
        QVERIFY_THROWS_EXCEPTION(engine::Error, FillMetaTree(*d, progress));
    }
    QCOMPARE(progress.statuses, (QStringList{"Creating MetaTree...", ""}));
    QCOMPARE(progress.resets, 1);
    QVERIFY(d->grantdb.inTransaction());
    // The build works again afterwards.
    QCOMPARE(dump(FillMetaTree(*d, progress).usertree), kUserTree);
}

void TestMetaTrees::treeWidgetShowsTheData()
{
    TestDatabase t;
    auto d = withObjectsAndUsers(t);
    NoProgress quiet;
    const MetaTrees trees = FillMetaTree(*d, quiet);
    QTreeWidget metatree, usertree;
    QPixmap red(16, 16), blue(16, 16);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    QVector<QIcon> images;
    for (int i = 0; i < 10; ++i)
        images << QIcon(i % 2 ? blue : red);
    showTree(metatree, trees.metatree, true, images);
    showTree(usertree, trees.usertree, true, images);
    // Every table and view shows it can be opened; opened, it shows its
    // columns as the build would have given them.
    for (int r = 0; r < metatree.topLevelItemCount(); ++r) {
        QTreeWidgetItem *root = metatree.topLevelItem(r);
        for (int i = 0; i < root->childCount(); ++i) {
            QTreeWidgetItem *object = root->child(i);
            QCOMPARE(columnsPending(*object), root->text(0) != proceduresRoot());
            QCOMPARE(object->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator, columnsPending(*object));
            if (columnsPending(*object))
                showColumns(*object, columnNodes(*d, object->text(0)), images);
            QVERIFY(!columnsPending(*object));
        }
    }
    QCOMPARE(dump(metatree), kObjectTree);
    QCOMPARE(dump(usertree), kUserTree);
    QVERIFY(usertree.isSortingEnabled());
    QVERIFY(!usertree.topLevelItem(0)->icon(0).isNull());
    QVERIFY(!metatree.topLevelItem(1)->child(0)->child(0)->icon(0).isNull());
    // A user added later (the users page does) finds its sorted place.
    usertree.topLevelItem(2)->addChild(new QTreeWidgetItem(QStringList{"A0"}));
    QCOMPARE(usertree.topLevelItem(2)->child(0)->text(0), QString("A0"));
    // Emptied on disconnect: no nodes, sorting off.
    showTree(usertree, {}, false);
    QCOMPARE(usertree.topLevelItemCount(), 0);
    QVERIFY(!usertree.isSortingEnabled());
}

void TestMetaTrees::refreshReopensAtPosition_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("dataSet");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("committedElsewhere");
    QTest::addColumn<bool>("asks");
    QTest::newRow("GrantInfo") << "GrantInfo" << "TrigList" << "RDB$USER" << "grant select on T1 to A1" << true;
    QTest::newRow("GrantGroups") << "GrantGroups" << "MetaGrantDef" << "GGNAME"
                                 << "insert into meta$grantdef values ('A_Group', null)" << true;
    QTest::newRow("UserGroups") << "UserGroups" << "usergrp" << "UGNAME"
                                << "insert into meta$usersdef values ('AGROUP', null, 2)" << false;
    QTest::newRow("GrantAction") << "GrantAction" << "metagrp" << "GGNAME"
                                 << "insert into meta$grantdef values ('A_Group', null)" << false;
}

void TestMetaTrees::refreshReopensAtPosition()
{
    QFETCH(QString, page);
    QFETCH(QString, dataSet);
    QFETCH(QString, field);
    QFETCH(QString, committedElsewhere);
    QFETCH(bool, asks);
    TestDatabase t;
    {
        auto db = t.connect();
        run(*db, {"create table T1 (C1 integer)", "grant select on T1 to U1", "grant select on T1 to U2"});
    }
    auto d = connectWithLayer(t);
    exec(d->grantdb, "insert into meta$usersdef values ('GROUP1', null, 2)");
    exec(d->grantdb, "insert into meta$usersdef values ('GROUP2', null, 2)");
    d->transaction.commit();
    const QHash<QString, engine::DataSet *> sets{
        {"TrigList", &d->TrigList}, {"MetaGrantDef", &d->MetaGrantDef}, {"usergrp", &d->usergrp}, {"metagrp", &d->metagrp}};
    engine::DataSet *ds = sets.value(dataSet);
    for (engine::DataSet *open : std::initializer_list<engine::DataSet *>{&d->usersdef, ds})
        open->open();
    ds->last();
    const QString current = ds->fieldByName(field).asString();
    const int rows = ds->recordCount();
    {
        auto other = t.connect("SYSDBA", "Other");
        exec(*other, committedElsewhere);
    }
    QCOMPARE(refreshPageData(*d, page), asks);
    QCOMPARE(ds->recordCount(), rows + 1);
    QCOMPARE(ds->fieldByName(field).asString(), current);
    QCOMPARE(refreshPageData(*d, "Connect"), false);
}

DUNMOOR_GUI_TEST_MAIN(TestMetaTrees)
#include "tst_metatrees.moc"
