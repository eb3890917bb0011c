// A query showing rows fetched elsewhere: a worker thread runs the statement
// on a connection of its own and hands the rows over; the query on the
// window's thread opens on them without running its text, and runs its text
// again at the next open.
#include "engine/GridModel.h"
#include "engine/Query.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <thread>

using testsupport::exec;
using testsupport::TestDatabase;

class TestQueryAdopt : public QObject {
    Q_OBJECT
private slots:
    void opensOnRowsFetchedByAnotherThread();
};

void TestQueryAdopt::opensOnRowsFetchedByAnotherThread()
{
    TestDatabase t;
    auto db = t.connect("SYSDBA", "Main");
    exec(*db, "create table T (ID integer, NAME varchar(10))");
    exec(*db, "insert into T values (1, 'one')");
    exec(*db, "insert into T values (2, 'two')");

    engine::Query q(db.get());
    q.setSql(QStringLiteral("select ID from T where ID = 1"));
    engine::GridModel model(&q);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    // Fetched on the worker's own connection, inside its own transaction.
    engine::RowSetPtr rows;
    QString error;
    std::thread worker([&] {
        try {
            auto other = t.connect("SYSDBA", "Worker");
            other->startTransaction();
            engine::Statement s(other.get());
            s.setSql(QStringLiteral("select ID, NAME from T order by ID"));
            s.open();
            rows = s.rowSet();
            other->commit();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
    });
    worker.join();
    QCOMPARE(error, QString());

    engine::StatementRecorder rec;
    q.adoptRows(rows);
    q.open();
    QVERIFY(rec.statements().isEmpty());
    QVERIFY(q.isActive());
    QCOMPARE(q.recordCount(), 2);
    QCOMPARE(q.fieldByName("NAME").asString(), QString("one"));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.data(model.index(1, 1)).toString(), QString("two"));
    QVERIFY(reset.count() > 0);

    // Only once: the next open runs the query's own text.
    q.close();
    q.open();
    QCOMPARE(rec.statements(), QStringList{"select ID from T where ID = 1"});
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(model.columnCount(), 1);
}

DUNMOOR_TEST_MAIN(TestQueryAdopt)
#include "tst_query_adopt.moc"
