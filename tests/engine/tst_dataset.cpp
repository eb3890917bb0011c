// Data sets over queries: navigation, filters, locate, bookmarks,
// master-detail links, calculated fields and the disable/enable contract.
#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/Filter.h"
#include "engine/Query.h"
#include "engine/StatementLog.h"
#include "support/TestMain.h"

#include <QSignalSpy>

#include <cstring>
#include <vector>

using engine::Bookmark;
using engine::CalcRecord;
using engine::DataSet;
using engine::DataSetState;
using engine::Error;
using engine::FieldType;
using engine::FilterExpression;
using engine::LocateOption;
using engine::LocateOptions;
using engine::Query;
using testsupport::exec;
using testsupport::TestDatabase;

Q_DECLARE_METATYPE(LocateOptions)

namespace {

// Rows whose texts differ only in case and trailing blanks: CODE is CHAR
// (padded by the server, trimmed by the engine), NAME is VARCHAR and keeps
// its own trailing blank.
void makePeople(engine::Database &db)
{
    exec(db, "create table P (ID integer not null, CODE char(10), NAME varchar(20), KIND smallint)");
    exec(db, "insert into P values (1, 'abc', 'Alpha', 0)");
    exec(db, "insert into P values (2, 'ABC', 'alpha ', 2)");
    exec(db, "insert into P values (3, 'abd', 'Beta', 1)");
    exec(db, "insert into P values (4, null, null, 2)");
}

QList<int> ids(DataSet &ds)
{
    QList<int> out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName("ID").asInteger();
    return out;
}

} // namespace

class TestDataSet : public QObject {
    Q_OBJECT
private slots:
    void filterExpression_data();
    void filterExpression();
    void malformedFilterIsRefused_data();
    void malformedFilterIsRefused();

    void heldValues_data();
    void heldValues();
    void editToLongerValueIsHeld();
    void textsPastSixtyFourKilobytes();
    void walkFirstNextEof();
    void fieldsByNameAndSettingsSurviveReopen();
    void locate_data();
    void locate();
    void filtersCompareWithoutCase();
    void filterOnClosedDataSetChangesNothing();
    void bookmarkSurvivesReopenAndReportsGoneRow();
    void refreshKeepsCurrentRow();
    void masterDetailFollowsMasterRow();
    void closedOrEmptyMasterLeavesDetailEmpty();
    void detailFollowsOnceAfterControlsEnabled();
    void failingDetailAtTheEndOfAFreeze_data();
    void failingDetailAtTheEndOfAFreeze();
    void calculatedFieldsAreCachedPerRow();
    void disabledControlsSendOneNotification();
    void sortByReplacingOrderLine();
};

// ---------------------------------------------------------------- filter logic

void TestDataSet::filterExpression_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QVariantMap>("row");
    QTest::addColumn<bool>("matches");

    const QVariantMap user{{"USERTYPE", 0}, {"UGNAME", "U1"}};
    const QVariantMap group{{"USERTYPE", 2}, {"UGNAME", "PUBLIC"}};
    const QVariantMap other{{"USERTYPE", 1}, {"UGNAME", "X"}};
    QTest::newRow("or: user") << "([usertype]=0) or ([usertype]=2)" << user << true;
    QTest::newRow("or: group") << "([usertype]=0) or ([usertype]=2)" << group << true;
    QTest::newRow("or: other") << "([usertype]=0) or ([usertype]=2)" << other << false;
    QTest::newRow("member exclusion, lower-case name")
        << "(([usertype]=0) or ([usertype]=2)) and ([ugname]<>'u1')" << user << false;
    QTest::newRow("member exclusion keeps others")
        << "(([usertype]=0) or ([usertype]=2)) and ([ugname]<>'u1')" << group << true;
    QTest::newRow("bare name, case differs") << "USERNAME='SYSDBA'" << QVariantMap{{"USERNAME", "sysdba"}} << true;
    QTest::newRow("trailing blanks do not count")
        << "USERNAME='SYSDBA'" << QVariantMap{{"USERNAME", "SYSDBA   "}} << true;
    QTest::newRow("leading blanks do") << "USERNAME='SYSDBA'" << QVariantMap{{"USERNAME", " SYSDBA"}} << false;
    const QVariantMap priv{{"RDB$RELATION_NAME", "T"}, {"RDB$PRIVILEGE", "S"}};
    QTest::newRow("names with $, both") << "[RDB$RELATION_NAME]='T' and [RDB$PRIVILEGE]='S'" << priv << true;
    QTest::newRow("names with $, one fails") << "[RDB$RELATION_NAME]='T' and [RDB$PRIVILEGE]='I'" << priv << false;
    QTest::newRow("NULL equals nothing") << "[A]='x'" << QVariantMap{{"A", QVariant()}} << false;
    QTest::newRow("NULL differs from nothing") << "[A]<>'x'" << QVariantMap{{"A", QVariant()}} << false;
    QTest::newRow("doubled quote") << "[A]='O''Brien'" << QVariantMap{{"A", "o'brien"}} << true;
    QTest::newRow("double-quoted text") << "[A]=\"x\"" << QVariantMap{{"A", "X"}} << true;
    QTest::newRow("numbers compare as numbers") << "[N]>=10" << QVariantMap{{"N", 9.5}} << false;
    QTest::newRow("not 10 < 9 as text") << "[N]<9" << QVariantMap{{"N", 10}} << false;
    QTest::newRow("number against numeric text") << "[S]=5" << QVariantMap{{"S", "5"}} << true;
    QTest::newRow("negative number") << "[N]=-1" << QVariantMap{{"N", -1}} << true;
    QTest::newRow("not") << "not ([A]=1)" << QVariantMap{{"A", 2}} << true;
    QTest::newRow("and binds tighter than or") << "[A]=1 or [A]=2 and [B]=3" << QVariantMap{{"A", 1}, {"B", 0}} << true;
    QTest::newRow("parentheses regroup") << "([A]=1 or [A]=2) and [B]=3" << QVariantMap{{"A", 1}, {"B", 0}} << false;
    QTest::newRow("date against text") << "[D]='2024-03-01'" << QVariantMap{{"D", QDate(2024, 3, 1)}} << true;
    QTest::newRow("field against field") << "[A]=[B]" << QVariantMap{{"A", "x"}, {"B", "X "}} << true;
    QTest::newRow("keywords without case") << "[A]=1 OR [A]=2" << QVariantMap{{"A", 2}} << true;
}

void TestDataSet::filterExpression()
{
    QFETCH(QString, filter);
    QFETCH(QVariantMap, row);
    QFETCH(bool, matches);
    FilterExpression e = FilterExpression::parse(filter);
    const QStringList names = row.keys();
    e.bind([&](const QString &n) {
        for (int i = 0; i < names.size(); ++i)
            if (names[i].compare(n, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    });
    QCOMPARE(e.matches([&](int i) { return row.value(names[i]); }), matches);
}

void TestDataSet::malformedFilterIsRefused_data()
{
    QTest::addColumn<QString>("filter");
    QTest::newRow("open parenthesis") << "([a]=1";
    QTest::newRow("missing value") << "[a]=";
    QTest::newRow("missing operator") << "[a] 1";
    QTest::newRow("no field") << "'x'='y'";
    QTest::newRow("open text") << "[a]='x";
    QTest::newRow("open bracket") << "[a='x'";
    QTest::newRow("dangling and") << "[a]=1 and";
}

void TestDataSet::malformedFilterIsRefused()
{
    QFETCH(QString, filter);
    QVERIFY_THROWS_EXCEPTION(Error, FilterExpression::parse(filter));
}

// ---------------------------------------------------------------- navigation and fields

// Rows are held with their texts at their actual length; every value reads
// back as the server sent it: NULL apart from empty, CHAR without its
// padding, VARCHAR with its own trailing blanks, UTF8 whole, OCTETS as bytes.
void TestDataSet::heldValues_data()
{
    QTest::addColumn<QString>("values");
    QTest::addColumn<QVariantList>("expected");
    const QVariant null;
    QTest::newRow("nulls") << "null, null, null, null, null, null"
                           << QVariantList{null, null, null, null, null, null};
    QTest::newRow("empty") << "'', '', 0, '', '', ''"
                           << QVariantList{QString(""), QString(""), 0, QString(""), QString(""), QByteArray()};
    QTest::newRow("longest") << "'abcdefghij', '12345678901234567890', 7, '_äöü€', 'ÄÖÜ€ÄÖÜ€', 'zz z'"
                             << QVariantList{"abcdefghij", "12345678901234567890", 7, QString::fromUtf8("_äöü€"),
                                             QString::fromUtf8("ÄÖÜ€ÄÖÜ€"), QByteArray("zz z")};
    QTest::newRow("padding") << "' a ', 'b  ', -1, 'ñ', ' €', 'y '"
                             << QVariantList{" a", "b  ", -1, QString::fromUtf8("ñ"), QString::fromUtf8(" €"),
                                             QByteArray("y ")};
}

void TestDataSet::heldValues()
{
    QFETCH(QString, values);
    QFETCH(QVariantList, expected);
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table H (CN char(10), VN varchar(20), I integer, CU char(5) character set UTF8, "
              "VU varchar(8) character set UTF8, VO varchar(4) character set OCTETS)");
    exec(*db, "insert into H values (" + values + ")");
    // Twice, so the second row's texts follow the first's in the same block.
    exec(*db, "insert into H values (" + values + ")");
    Query q(db.get());
    q.setSql("select * from H");
    q.open();
    QCOMPARE(q.recordCount(), 2);
    for (int row = 0; row < 2; ++row) {
        for (int f = 0; f < expected.size(); ++f) {
            const QVariant v = q.valueAt(row, f);
            QVERIFY2(v.isNull() == expected[f].isNull(), qPrintable(q.fieldDef(f).name));
            QCOMPARE(v, expected[f]);
        }
    }
}

// A held row edited to a longer text shows the new value, and the rows
// around it keep theirs.
void TestDataSet::editToLongerValueIsHeld()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table E (ID integer not null primary key, S varchar(200), C char(20))");
    for (int i = 1; i <= 3; ++i)
        exec(*db, QString("insert into E values (%1, 'r%1', 'c%1')").arg(i));
    Query q(db.get());
    q.setSql("select * from E order by ID");
    q.setRequestLive(true);
    q.open();
    const QString longer = QString("much longer text ").repeated(10);
    QVERIFY(q.moveTo(1));
    q.edit();
    q.fieldByName("S").setValue(longer);
    q.fieldByName("C").setValue("twenty characters!!!");
    q.post();
    QCOMPARE(q.textAt(1, 1), longer);
    QCOMPARE(q.textAt(1, 2), QString("twenty characters!!!"));
    QCOMPARE(q.textAt(0, 1), QString("r1"));
    QCOMPARE(q.textAt(2, 1), QString("r3"));
    QCOMPARE(q.textAt(2, 2), QString("c3"));
    q.refresh();
    QCOMPARE(q.textAt(1, 1), longer);
}

// Texts whose widths add up to more than 64 KiB keep their ends on four
// bytes: a row's later texts are still found whole.
void TestDataSet::textsPastSixtyFourKilobytes()
{
    constexpr int kWidth = 30000;
    constexpr int kStride = kWidth + 2 + 2 + 4; // length, text, indicator, alignment
    QVector<engine::Column> columns(3);
    for (int i = 0; i < 3; ++i) {
        columns[i].name = QString("V%1").arg(i);
        columns[i].type = FieldType::VarChar;
        columns[i].length = kWidth;
        columns[i].offset = i * kStride;
        columns[i].nullOffset = i * kStride + kWidth + 2;
    }
    engine::RowSet rows(columns, engine::RowSet::TextEncoding::Utf8);
    const int lengths[] = {kWidth, 1, kWidth - 5};
    std::vector<char> message(size_t(3 * kStride), 0);
    for (int i = 0; i < 3; ++i) {
        const quint16 n = quint16(lengths[i]);
        std::memcpy(message.data() + columns[i].offset, &n, sizeof n);
        std::memset(message.data() + columns[i].offset + 2, 'a' + i, size_t(n));
    }
    rows.appendMessage(message.data());
    rows.appendMessage(message.data());
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < 3; ++i)
            QCOMPARE(rows.text(row, i), QString(lengths[i], QChar('a' + i)));
}

void TestDataSet::walkFirstNextEof()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql("select * from P order by ID");
    QVERIFY(q.eof() && q.bof());
    QCOMPARE(q.recordCount(), 0);
    q.open();
    QCOMPARE(q.state(), DataSetState::Browse);
    QVERIFY(q.bof());
    QVERIFY(!q.eof());
    QCOMPARE(q.recordCount(), 4);
    QCOMPARE(ids(q), (QList<int>{1, 2, 3, 4}));
    QVERIFY(q.eof());
    QCOMPARE(q.recNo(), 3); // eof stays on the last row
    q.prior();
    QCOMPARE(q.fieldByName("ID").asInteger(), 3);
    q.first();
    q.prior();
    QVERIFY(q.bof());
    QCOMPARE(q.recNo(), 0);
    q.last();
    QVERIFY(q.eof());
    QCOMPARE(q.fieldByName("ID").asInteger(), 4);
    QVERIFY(q.fieldByName("CODE").isNull());
    QCOMPARE(q.fieldByName("CODE").asString(), QString());
    QVERIFY(q.moveTo(1));
    QCOMPARE(q.fieldByName("code").asString(), QString("ABC")); // CHAR trimmed
    QCOMPARE(q.fieldByName("NAME").asString(), QString("alpha ")); // VARCHAR kept
    QVERIFY(!q.moveTo(4));
    QCOMPARE(q.recNo(), 1);

    q.close();
    QCOMPARE(q.state(), DataSetState::Inactive);
    QVERIFY(q.fieldByName("ID").isNull());
    QVERIFY_THROWS_EXCEPTION(Error, q.next());

    q.setSql("select * from P where ID < 0");
    q.open();
    QVERIFY(q.isEmpty());
    QVERIFY(q.eof() && q.bof());
    QCOMPARE(q.recNo(), -1);
    QCOMPARE(ids(q), QList<int>());
}

void TestDataSet::fieldsByNameAndSettingsSurviveReopen()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql("select ID, CODE as ALIASED, NAME from P order by ID");
    q.setDisplayLabel("ALIASED", "Code");
    q.setFieldVisible("ID", false);
    q.setDisplayWidth("NAME", 30);
    q.open();
    QCOMPARE(q.fieldCount(), 3);
    QCOMPARE(q.fieldIndex("aliased"), 1);
    QCOMPARE(q.fieldIndex("CODE"), 1); // the column's own name reaches it too
    QCOMPARE(q.fieldDef(1).displayLabel, QString("Code"));
    QCOMPARE(q.fieldDef(0).displayLabel, QString("ID"));
    QVERIFY(!q.fieldDef(0).visible);
    QCOMPARE(q.fieldDef(2).displayWidth, 30);
    QCOMPARE(q.fieldDef(1).size, 10);
    QVERIFY_THROWS_EXCEPTION(Error, q.fieldByName("NOPE"));
    q.close();
    q.open();
    QCOMPARE(q.fieldDef(1).displayLabel, QString("Code"));
    QVERIFY(!q.fieldDef(0).visible);
    // A plain query is read-only.
    QVERIFY(!q.canModify());
    QVERIFY_THROWS_EXCEPTION(Error, q.edit());
    QVERIFY_THROWS_EXCEPTION(Error, q.fieldByName("NAME").setValue("x"));
}

// ---------------------------------------------------------------- locate, filters, bookmarks

void TestDataSet::locate_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QVariant>("values");
    QTest::addColumn<LocateOptions>("options");
    QTest::addColumn<int>("expectedId"); // 0: not found

    const LocateOptions none;
    const LocateOptions ci(LocateOption::CaseInsensitive);
    const LocateOptions partial(LocateOption::PartialKey);
    QTest::newRow("exact CHAR, case counts") << "CODE" << QVariant("ABC") << none << 2;
    QTest::newRow("exact ignores trailing blanks") << "CODE" << QVariant("abc  ") << none << 1;
    QTest::newRow("exact VARCHAR with its blank") << "NAME" << QVariant("alpha") << none << 2;
    QTest::newRow("case-insensitive finds first") << "NAME" << QVariant("ALPHA") << ci << 1;
    QTest::newRow("exact misses other case") << "NAME" << QVariant("BETA") << none << 0;
    QTest::newRow("partial") << "CODE" << QVariant("ab") << partial << 1;
    QTest::newRow("partial, case-insensitive") << "NAME" << QVariant("BE") << (ci | partial) << 3;
    QTest::newRow("partial is a prefix, not a part") << "NAME" << QVariant("eta") << (ci | partial) << 0;
    QTest::newRow("two fields") << "CODE;NAME" << QVariant(QVariantList{"abd", "Beta"}) << none << 3;
    QTest::newRow("two fields, one differs") << "CODE;NAME" << QVariant(QVariantList{"abd", "Alpha"}) << none << 0;
    QTest::newRow("number") << "KIND;ID" << QVariant(QVariantList{2, 4}) << none << 4;
    QTest::newRow("NULL finds NULL") << "CODE" << QVariant() << none << 4;
}

void TestDataSet::locate()
{
    QFETCH(QString, fields);
    QFETCH(QVariant, values);
    QFETCH(LocateOptions, options);
    QFETCH(int, expectedId);
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql("select * from P order by ID");
    q.open();
    q.last();
    QCOMPARE(q.locate(fields, values, options), expectedId != 0);
    // Not found: the current row stays where it was.
    QCOMPARE(q.fieldByName("ID").asInteger(), expectedId != 0 ? expectedId : 4);
}

void TestDataSet::filtersCompareWithoutCase()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql("select * from P order by ID");
    q.open();
    QSignalSpy resets(&q, &DataSet::rowsReset);
    q.setFilter("[NAME]='ALPHA'");
    QCOMPARE(q.recordCount(), 4); // not filtered yet
    q.setFiltered(true);
    QCOMPARE(ids(q), (QList<int>{1, 2}));
    QCOMPARE(resets.count(), 1);
    q.setFilter("([kind]=0) or ([kind]=2)");
    QCOMPARE(ids(q), (QList<int>{1, 2, 4}));
    q.setFilter("[CODE]='abc' and [KIND]<>0");
    QCOMPARE(ids(q), (QList<int>{2}));
    QVERIFY(!q.locate("ID", 1));

    // A field the rows lack: refused, and the filter in force stays.
    QVERIFY_THROWS_EXCEPTION(Error, q.setFilter("[NOPE]='x'"));
    QCOMPARE(q.filter(), QString("[CODE]='abc' and [KIND]<>0"));
    QCOMPARE(ids(q), (QList<int>{2}));

    q.setFiltered(false);
    QCOMPARE(q.recordCount(), 4);
    q.setFiltered(true);
    q.setFilter("[KIND]=7");
    QVERIFY(q.isEmpty());
    QVERIFY(q.eof() && q.bof());
    q.setFilter(QString());
    QCOMPARE(q.recordCount(), 4);
}

void TestDataSet::filterOnClosedDataSetChangesNothing()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql("select * from P order by ID");
    QSignalSpy resets(&q, &DataSet::rowsReset);
    QSignalSpy data(&q, &DataSet::dataChanged);
    QSignalSpy states(&q, &DataSet::stateChanged);
    q.setFilter("USERNAME='NOBODY'"); // no such field: nothing is checked while closed
    q.setFiltered(true);
    QVERIFY(!q.isActive());
    QCOMPARE(q.recordCount(), 0);
    QCOMPARE(resets.count() + data.count() + states.count(), 0);
    // Opening applies it.
    QVERIFY_THROWS_EXCEPTION(Error, q.open());
    QVERIFY(!q.isActive());
    q.setFilter("[KIND]=2");
    q.open();
    QCOMPARE(ids(q), (QList<int>{2, 4}));
}

void TestDataSet::bookmarkSurvivesReopenAndReportsGoneRow()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql("select * from P order by NAME");
    q.open();
    QVERIFY(q.locate("ID", 3));
    const Bookmark mark = q.bookmark();
    QVERIFY(mark.isValid());
    // Another row now sorts before it.
    exec(*db, "insert into P values (5, 'aaa', 'Aardvark', 0)");
    q.close();
    q.open();
    QVERIFY(q.gotoBookmark(mark));
    QCOMPARE(q.fieldByName("ID").asInteger(), 3);
    const int at = q.recNo();

    q.first();
    exec(*db, "delete from P where ID = 3");
    q.close();
    q.open();
    q.moveTo(2);
    QVERIFY(!q.gotoBookmark(mark));
    QCOMPARE(q.recNo(), 2);
    QVERIFY(!q.eof());
    QVERIFY(at >= 0);
    QVERIFY(!q.gotoBookmark(Bookmark()));
    q.close();
    QVERIFY(!q.gotoBookmark(mark));
}

void TestDataSet::refreshKeepsCurrentRow()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql("select * from P order by ID desc");
    q.open();
    QVERIFY(q.locate("ID", 2));
    exec(*db, "insert into P values (9, 'z', 'Zeta', 0)");
    QSignalSpy resets(&q, &DataSet::rowsReset);
    QSignalSpy data(&q, &DataSet::dataChanged);
    q.refresh();
    QCOMPARE(q.recordCount(), 5);
    QCOMPARE(q.fieldByName("ID").asInteger(), 2);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(data.count(), 1);
    // The row went: the position stays at the same place, clamped.
    q.last();
    exec(*db, "delete from P where ID = 1");
    q.refresh();
    QCOMPARE(q.recNo(), 3);
    QCOMPARE(q.fieldByName("ID").asInteger(), 2);
}

// ---------------------------------------------------------------- master-detail

void TestDataSet::masterDetailFollowsMasterRow()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table A (A1 integer, A2 integer)");
    exec(*db, "create table B (B1 integer)");
    exec(*db, "create table C (C1 integer, C2 integer, C3 integer)");
    // The catalogue lists as the browser links them: the parameter is
    // written in mixed case, the master's field comes back upper-cased.
    Query tables(db.get());
    tables.setSql("select RDB$Relation_Name from RDB$Relations where RDB$SYSTEM_FLAG = 0 order by RDB$Relation_Name");
    Query columns(db.get());
    columns.setSql(QStringList{"select RF.RDB$Field_Name from RDB$Relation_Fields RF",
                               "where RDB$Relation_Name = :RDB$Relation_Name order by RDB$Field_Position"});
    columns.setMasterSource(&tables);
    tables.open();
    columns.open();
    auto names = [&] {
        QStringList out;
        for (columns.first(); !columns.eof(); columns.next())
            out << columns.fieldByName("RDB$FIELD_NAME").asString();
        return out;
    };
    QCOMPARE(tables.fieldByName("RDB$RELATION_NAME").asString(), QString("A"));
    QCOMPARE(names(), (QStringList{"A1", "A2"}));
    tables.next();
    QCOMPARE(names(), QStringList{"B1"});
    QVERIFY(tables.locate("RDB$RELATION_NAME", "C"));
    QCOMPARE(names(), (QStringList{"C1", "C2", "C3"}));
    QCOMPARE(columns.state(), DataSetState::Browse);

    // A parameter set by code is not taken from the master.
    Query fixed(db.get());
    fixed.setSql("select RDB$Field_Name from RDB$Relation_Fields where RDB$Relation_Name = :RDB$Relation_Name");
    fixed.setParam("RDB$RELATION_NAME", "B");
    fixed.setMasterSource(&tables);
    fixed.open();
    QCOMPARE(fixed.recordCount(), 1);
    tables.first();
    QCOMPARE(fixed.recordCount(), 1);

    // A data set cannot become its own master, even through another.
    QVERIFY_THROWS_EXCEPTION(Error, tables.setMasterSource(&columns));
}

void TestDataSet::closedOrEmptyMasterLeavesDetailEmpty()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table M (ID integer, NAME varchar(10))");
    exec(*db, "create table D (MID integer, TXT varchar(10))");
    exec(*db, "insert into M values (1, 'one')");
    exec(*db, "insert into D values (1, 'd1')");
    exec(*db, "insert into D values (1, 'd2')");
    Query master(db.get());
    master.setSql("select * from M");
    Query detail(db.get());
    detail.setSql("select * from D where MID = :ID");
    detail.setMasterSource(&master);

    // Opened while the master is closed: empty, not an error.
    detail.open();
    QVERIFY(detail.isActive());
    QVERIFY(detail.isEmpty());
    master.open();
    QCOMPARE(detail.recordCount(), 2);
    master.close();
    QVERIFY(detail.isActive());
    QVERIFY(detail.isEmpty());
    QVERIFY(detail.eof() && detail.bof());
    QVERIFY(detail.fieldByName("TXT").isNull());

    // An empty master (filtered to nothing, or no rows at all).
    master.open();
    QCOMPARE(detail.recordCount(), 2);
    master.setFilter("[NAME]='none'");
    master.setFiltered(true);
    QVERIFY(master.isEmpty());
    QVERIFY(detail.isEmpty());
    master.setFiltered(false);
    QCOMPARE(detail.recordCount(), 2);

    // The master going away leaves the detail as it was, unlinked.
    {
        Query temporary(db.get());
        temporary.setSql("select * from M");
        detail.setMasterSource(&temporary);
        QVERIFY(detail.isEmpty());
    }
    QVERIFY(!detail.masterSource());
    detail.setParam("ID", 1);
    detail.close();
    detail.open();
    QCOMPARE(detail.recordCount(), 2);

    // Closing a master after its connection went runs nothing on it.
    detail.clearParams();
    detail.setMasterSource(&master);
    QCOMPARE(detail.recordCount(), 2);
    db->close();
    master.close();
    QVERIFY(detail.isEmpty());
}

// Masters 1 to 4, master i with i detail rows; both open on master 1.
struct MasterDetail {
    TestDatabase t;
    std::unique_ptr<engine::Database> db = t.connect();
    Query master{db.get()};
    Query detail{db.get()};
    MasterDetail()
    {
        exec(*db, "create table M (ID integer)");
        exec(*db, "create table D (MID integer)");
        for (int i = 1; i <= 4; ++i) {
            exec(*db, QString("insert into M values (%1)").arg(i));
            for (int k = 0; k < i; ++k)
                exec(*db, QString("insert into D values (%1)").arg(i));
        }
        master.setSql("select * from M order by ID");
        detail.setSql("select * from D where MID = :ID");
        detail.setMasterSource(&master);
        master.open();
        detail.open();
    }
};

void TestDataSet::detailFollowsOnceAfterControlsEnabled()
{
    MasterDetail md;
    Query &master = md.master, &detail = md.detail;
    QCOMPARE(detail.recordCount(), 1);
    QSignalSpy detailResets(&detail, &DataSet::rowsReset);
    // Walking a frozen master (the keep-position reopen) does not run the
    // detail's query per row; the detail follows once at the end.
    master.disableControls();
    master.next();
    master.next();
    master.next();
    QCOMPARE(detailResets.count(), 0);
    QCOMPARE(detail.recordCount(), 1);
    master.enableControls();
    QCOMPARE(detailResets.count(), 1);
    QCOMPARE(detail.recordCount(), 4);
}

void TestDataSet::failingDetailAtTheEndOfAFreeze_data()
{
    QTest::addColumn<bool>("scopeThrows");
    QTest::newRow("the scope ends normally: the detail's error") << false;
    QTest::newRow("the scope throws: its own error") << true;
}

void TestDataSet::failingDetailAtTheEndOfAFreeze()
{
    QFETCH(bool, scopeThrows);
    MasterDetail md;
    Query &master = md.master;
    // The detail's read when the freeze ends fails; the program goes on
    // with one error, whichever that is.
    const auto previous = engine::StatementLog::setHook([](const QString &, const QString &sql) {
        if (sql.contains("from D"))
            throw Error("detail failed");
    });
    QString caught;
    try {
        engine::ControlsFrozen frozen(master);
        master.next();
        if (scopeThrows)
            throw Error("scope failed");
    } catch (const Error &e) {
        caught = e.message();
    }
    engine::StatementLog::setHook(previous);
    QCOMPARE(caught, QString(scopeThrows ? "scope failed" : "detail failed"));
    QVERIFY(!master.controlsDisabled());
}

// ---------------------------------------------------------------- calculated fields

void TestDataSet::calculatedFieldsAreCachedPerRow()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    exec(*db, "create generator G1");
    exec(*db, "set generator G1 to 41");
    Query q(db.get());
    q.setSql("select ID, KIND from P order by ID");
    q.addCalculatedField("Kind Text", FieldType::VarChar, 10);
    q.addCalculatedField("GenValue", FieldType::Integer);
    q.setFieldOrder({"ID", "Kind Text"});
    int calls = 0;
    // Like the generator list: one query per row.
    Query scratch(db.get());
    q.setCalcFieldsHandler([&](CalcRecord &r) {
        ++calls;
        r.setValue("Kind Text", r.asInteger("KIND") == 2 ? "Group" : (r.isNull("KIND") ? "" : "User"));
        scratch.close();
        scratch.setSql("select distinct gen_id(G1, 0)  from rdb$relations");
        scratch.open();
        r.setValue("GenValue", scratch.field(0).value().toInt() + r.value("ID").toInt());
    });
    q.open();
    QCOMPARE(q.fieldDef(1).name, QString("Kind Text"));
    QVERIFY(q.fieldDef(1).calculated);
    QCOMPARE(q.fieldDef(3).name, QString("GenValue"));
    QCOMPARE(q.fieldByName("KIND TEXT").asString(), QString("User"));
    QCOMPARE(q.fieldByName("GenValue").asInteger(), 42);
    QCOMPARE(calls, 1);
    // Repainting a screen twice computes each row once.
    for (int pass = 0; pass < 2; ++pass)
        for (int r = 0; r < q.recordCount(); ++r)
            q.textAt(r, 1);
    QCOMPARE(calls, 4);
    QCOMPARE(q.textAt(1, 1), QString("Group"));
    QVERIFY_THROWS_EXCEPTION(Error, q.fieldByName("GenValue").setValue(1));

    // A reopen computes again, with the values of that moment.
    exec(*db, "set generator G1 to 99");
    q.refresh();
    QCOMPARE(q.fieldByName("GenValue").asInteger(), 100);
    QCOMPARE(calls, 5);

    // A calculated field can be filtered on.
    q.setFilter("[Kind Text]='group'");
    q.setFiltered(true);
    QCOMPARE(ids(q), (QList<int>{2, 4}));

    // Calculated fields are part of the definition: not while open.
    QVERIFY_THROWS_EXCEPTION(Error, q.addCalculatedField("Late"));
}

// ---------------------------------------------------------------- controls

void TestDataSet::disabledControlsSendOneNotification()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql("select * from P order by ID");
    q.open();
    QSignalSpy resets(&q, &DataSet::rowsReset);
    QSignalSpy data(&q, &DataSet::dataChanged);
    QSignalSpy scrolls(&q, &DataSet::scrolled);
    QSignalSpy states(&q, &DataSet::stateChanged);

    q.next();
    QCOMPARE(scrolls.count(), 1);
    QCOMPARE(data.count(), 1);

    q.disableControls();
    q.disableControls();
    QVERIFY(q.controlsDisabled());
    q.next();
    q.refresh();
    q.setFilter("[KIND]=2");
    q.setFiltered(true);
    q.first();
    q.enableControls();
    QCOMPARE(resets.count() + scrolls.count() + data.count(), 2); // nothing new yet
    q.enableControls();
    QVERIFY(!q.controlsDisabled());
    QCOMPARE(resets.count(), 1);
    QCOMPARE(scrolls.count(), 2);
    QCOMPARE(data.count(), 2);
    QCOMPARE(q.fieldByName("ID").asInteger(), 2);
    // One enable too many is harmless.
    q.enableControls();
    QVERIFY(!q.controlsDisabled());

    // Nothing happened meanwhile: nothing is sent.
    q.disableControls();
    q.enableControls();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(data.count(), 2);

    // State changes and open/close events are not held back.
    QSignalSpy closed(&q, &DataSet::afterClose);
    q.disableControls();
    q.close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(states.count(), 1);
    q.enableControls();
}

void TestDataSet::sortByReplacingOrderLine()
{
    TestDatabase t;
    auto db = t.connect();
    makePeople(*db);
    Query q(db.get());
    q.setSql(QStringList{"select * from P", "where ID < 4", "order by ID"});
    q.open();
    QCOMPARE(ids(q), (QList<int>{1, 2, 3}));
    q.disableControls();
    q.close();
    q.sql()[2] = " order by ID desc";
    q.open();
    q.enableControls();
    QCOMPARE(ids(q), (QList<int>{3, 2, 1}));
    q.close();
    q.sql()[2] = "order by bogus";
    try {
        q.open();
        QFAIL("an unknown column must be refused");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("BOGUS"), qPrintable(e.message()));
    }
    QVERIFY(!q.isActive());
}

DUNMOOR_TEST_MAIN(TestDataSet)
#include "tst_dataset.moc"
