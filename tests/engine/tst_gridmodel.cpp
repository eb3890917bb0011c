// The grid model over data sets: columns and headers from the field
// settings, BLOB cells, the current row across resets, edits through the
// table, and the disable/enable contract as a view sees it.
#include "engine/Error.h"
#include "engine/GridModel.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "support/TestMain.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

using engine::DataSet;
using engine::DataSetState;
using engine::GridModel;
using engine::Query;
using engine::Table;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;

namespace {

void makeDocs(engine::Database &db)
{
    exec(db, "create table DOC (ID integer not null primary key, TITLE varchar(20), BODY blob sub_type 1, "
             "PIC blob sub_type 0, OWNER char(31))");
    exec(db, "insert into DOC values (1, 'one', 'text of one', null, 'ANN')");
    exec(db, "insert into DOC values (2, 'two', null, null, 'BOB')");
    exec(db, "insert into DOC values (3, 'three', 'text of three', null, 'ANN')");
}

QStringList headers(const GridModel &m)
{
    QStringList out;
    for (int c = 0; c < m.columnCount(); ++c)
        out << m.headerData(c, Qt::Horizontal).toString();
    return out;
}

} // namespace

class TestGridModel : public QObject {
    Q_OBJECT
private slots:
    void headersHiddenFieldsAndCells();
    void blobCellsByChoice();
    void currentRowKeptOnReset();
    void editsPostThroughTable();
    void failedEditIsReported();
    void insertAndDeleteAsRows();
    void frozenDataSetFreezesModel();
    void numbersWithTheirDeclaredScale_data();
    void numbersWithTheirDeclaredScale();
};

void TestGridModel::headersHiddenFieldsAndCells()
{
    TestDatabase t;
    auto db = t.connect();
    makeDocs(*db);
    Query q(db.get());
    q.setSql("select ID, TITLE, OWNER from DOC order by ID");
    q.setFieldVisible("ID", false);
    q.setDisplayLabel("TITLE", "Title");
    q.addCalculatedField("Shout", engine::FieldType::VarChar, 20);
    q.setCalcFieldsHandler([](engine::CalcRecord &r) { r.setValue("Shout", r.asString("TITLE").toUpper()); });
    GridModel m(&q);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.columnCount(), 0);
    q.open();
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(headers(m), (QStringList{"Title", "OWNER", "Shout"}));
    QCOMPARE(m.fieldAt(0), q.fieldIndex("TITLE"));
    QCOMPARE(m.columnOf("OWNER"), 1);
    QCOMPARE(m.columnOf("ID"), -1);
    QCOMPARE(m.data(m.index(2, 0)).toString(), QString("three"));
    QCOMPARE(m.data(m.index(0, 1)).toString(), QString("ANN")); // CHAR trimmed
    QCOMPARE(m.data(m.index(1, 2)).toString(), QString("TWO"));
    QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsEditable)); // a plain query

    // Settings changed while open reach the header at once.
    QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
    q.setFieldVisible("ID", true);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(headers(m), (QStringList{"ID", "Title", "OWNER", "Shout"}));
    // A title of this grid only; another grid keeps the field's label.
    GridModel other(&q);
    m.setTitle("title", " Docs");
    QCOMPARE(headers(m), (QStringList{"ID", " Docs", "OWNER", "Shout"}));
    QCOMPARE(headers(other), (QStringList{"ID", "Title", "OWNER", "Shout"}));
    q.close();
    QCOMPARE(m.rowCount(), 0);
}

void TestGridModel::blobCellsByChoice()
{
    TestDatabase t;
    auto db = t.connect();
    makeDocs(*db);
    exec(*db, "update DOC set PIC = 'abc' where ID = 1");
    Query q(db.get());
    q.setSql("select ID, BODY, PIC from DOC order by ID");
    q.open();
    GridModel m(&q);
    QCOMPARE(m.data(m.index(0, 1)).toString(), QString("(BLOB)"));
    QCOMPARE(m.data(m.index(0, 2)).toString(), QString("(BLOB)"));
    QCOMPARE(m.data(m.index(1, 1)).toString(), QString()); // NULL
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    m.setBlobsAsText(true);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m.data(m.index(0, 1)).toString(), QString("text of one"));
    QCOMPARE(m.data(m.index(2, 1)).toString(), QString("text of three"));
    QCOMPARE(m.data(m.index(0, 2)).toString(), QString("616263")); // binary as hex
}

void TestGridModel::currentRowKeptOnReset()
{
    TestDatabase t;
    auto db = t.connect();
    makeDocs(*db);
    Table doc(db.get());
    doc.setTableName("DOC");
    doc.setIndexFieldNames("TITLE");
    doc.open();
    GridModel m(&doc);
    QSignalSpy current(&m, &GridModel::currentRowChanged);
    QVERIFY(m.setCurrentRow(2)); // "two"
    QCOMPARE(doc.fieldByName("ID").asInteger(), 2);
    QCOMPARE(current.count(), 1);
    QCOMPARE(current.last().at(0).toInt(), 2);

    exec(*db, "insert into DOC (ID, TITLE) values (4, 'four')");
    QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
    doc.refresh();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(m.rowCount(), 4);
    // "four" sorts first: the same row is now one further down, and the
    // model says so after its reset.
    QCOMPARE(m.currentRow(), 3);
    QCOMPARE(current.last().at(0).toInt(), 3);
    QCOMPARE(m.data(m.index(m.currentRow(), m.columnOf("TITLE"))).toString(), QString("two"));
    QVERIFY(!m.setCurrentRow(9));
    QCOMPARE(m.currentRow(), 3);
}

void TestGridModel::editsPostThroughTable()
{
    TestDatabase t;
    auto db = t.connect();
    makeDocs(*db);
    Table doc(db.get());
    doc.setTableName("DOC");
    doc.setIndexFieldNames("ID");
    doc.addCalculatedField("Upper");
    doc.setCalcFieldsHandler([](engine::CalcRecord &r) { r.setValue("Upper", r.asString("TITLE").toUpper()); });
    doc.open();
    GridModel m(&doc);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const int title = m.columnOf("TITLE");
    QVERIFY(m.flags(m.index(1, title)) & Qt::ItemIsEditable);
    QVERIFY(!(m.flags(m.index(1, m.columnOf("Upper"))) & Qt::ItemIsEditable));
    QVERIFY(!(m.flags(m.index(1, m.columnOf("BODY"))) & Qt::ItemIsEditable));
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QVERIFY(m.setData(m.index(1, title), "deux"));
    QCOMPARE(doc.state(), DataSetState::Browse);
    QCOMPARE(doc.recNo(), 1);
    QCOMPARE(scalar(*db, "select TITLE from DOC where ID = 2").toString(), QString("deux"));
    QCOMPARE(m.data(m.index(1, title)).toString(), QString("deux"));
    // The calculated field of the edited row is computed again.
    QCOMPARE(m.data(m.index(1, m.columnOf("Upper"))).toString(), QString("DEUX"));
    QVERIFY(changed.count() >= 1);
    QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 1);
}

void TestGridModel::failedEditIsReported()
{
    TestDatabase t;
    auto db = t.connect();
    makeDocs(*db);
    Table doc(db.get());
    doc.setTableName("DOC");
    doc.setIndexFieldNames("ID");
    doc.open();
    GridModel m(&doc);
    QSignalSpy failed(&m, &GridModel::editFailed);
    QVERIFY(!m.setData(m.index(0, m.columnOf("ID")), 2)); // key violation
    QCOMPARE(failed.count(), 1);
    QVERIFY(failed.first().at(0).toString().contains("violation of PRIMARY or UNIQUE KEY"));
    QCOMPARE(m.lastError(), failed.first().at(0).toString());
    // Still editing the row, showing what was typed; the user fixes it.
    QCOMPARE(doc.state(), DataSetState::Edit);
    QCOMPARE(m.data(m.index(0, m.columnOf("ID"))).toString(), QString("2"));
    // Moving away is refused while the edit cannot be posted.
    QVERIFY(!m.setCurrentRow(2));
    QCOMPARE(failed.count(), 2);
    QCOMPARE(doc.recNo(), 0);
    QVERIFY(m.setData(m.index(0, m.columnOf("ID")), 10));
    QCOMPARE(scalar(*db, "select count(*) from DOC where ID = 10").toInt(), 1);
}

void TestGridModel::insertAndDeleteAsRows()
{
    TestDatabase t;
    auto db = t.connect();
    makeDocs(*db);
    Table doc(db.get());
    doc.setTableName("DOC");
    doc.setIndexFieldNames("ID");
    doc.open();
    GridModel m(&doc);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
    QSignalSpy current(&m, &GridModel::currentRowChanged);
    doc.insert();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(m.rowCount(), 4);
    QCOMPARE(current.last().at(0).toInt(), 3);
    QVERIFY(m.setData(m.index(3, m.columnOf("ID")), 7));
    QCOMPARE(doc.state(), DataSetState::Browse);
    doc.remove();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(m.currentRow(), 2);
    // An insert cancelled at once, as the privilege list does after insert.
    connect(&doc, &DataSet::afterInsert, &doc, &DataSet::cancel);
    doc.insert();
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(doc.state(), DataSetState::Browse);
    QCOMPARE(m.currentRow(), 2);
}

void TestGridModel::frozenDataSetFreezesModel()
{
    TestDatabase t;
    auto db = t.connect();
    makeDocs(*db);
    Query q(db.get());
    q.setSql("select * from DOC order by ID");
    q.open();
    GridModel m(&q);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
    QSignalSpy current(&m, &GridModel::currentRowChanged);
    q.disableControls();
    exec(*db, "delete from DOC where ID = 1");
    q.refresh();
    q.setFilter("[OWNER]='ann'");
    q.setFiltered(true);
    q.last();
    // The model keeps what it showed; nothing it serves is out of range.
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(current.count(), 0);
    QVERIFY(m.data(m.index(2, 0)).isNull());
    q.enableControls();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.currentRow(), 0);
    QCOMPARE(m.data(m.index(0, m.columnOf("TITLE"))).toString(), QString("three"));
}

DUNMOOR_TEST_MAIN(TestGridModel)
// NUMERIC and DECIMAL cells show their declared digits, as the export
// writes them, whatever integer or floating type the server stores them in;
// an edited cell as well.
void TestGridModel::numbersWithTheirDeclaredScale_data()
{
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("integer storage") << 1 << "numeric(9,2)" << "43.5" << "43.50";
    QTest::newRow("whole number") << 1 << "decimal(9,2)" << "32" << "32.00";
    QTest::newRow("smallint storage") << 1 << "numeric(4,1)" << "-12" << "-12.0";
    QTest::newRow("double storage") << 1 << "numeric(15,2)" << "1234567890123.4" << "1234567890123.40";
    QTest::newRow("bigint storage") << 3 << "decimal(18,4)" << "-7.5" << "-7.5000";
    QTest::newRow("no scale") << 1 << "integer" << "32" << "32";
    QTest::newRow("double precision") << 1 << "double precision" << "0.1" << "0.1";
}

void TestGridModel::numbersWithTheirDeclaredScale()
{
    QFETCH(int, dialect);
    QFETCH(QString, type);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    TestDatabase t(dialect);
    auto db = t.connect();
    for (const QString &sql : {"create table N (ID integer not null primary key, V " + type + ")",
                               "insert into N values (1, " + stored + ")"})
        db->executeImmediate(sql, dialect);
    Table n(db.get());
    n.setTableName("N");
    n.open();
    GridModel m(&n);
    QCOMPARE(m.data(m.index(0, 1)).toString(), shown);
    n.edit(); // the cell now reads the edit buffer
    n.fieldByName("V").setValue(n.fieldByName("V").value());
    QCOMPARE(n.state(), engine::DataSetState::Edit);
    QCOMPARE(m.data(m.index(0, 1)).toString(), shown);
    n.cancel();
}

#include "tst_gridmodel.moc"
