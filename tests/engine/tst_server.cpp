// What needs the loopback server: passwords, two processes on one database,
// external tables seen across connections.
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/Statement.h"
#include "support/TestMain.h"

#include <QFile>
#include <QUuid>

using engine::Error;
using engine::Statement;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;

class TestServer : public QObject {
    Q_OBJECT
private slots:
    void wrongPasswordRaisesServerText();
    void embeddedAndServerOpenOneDatabase();
    void externalTableRowSeenByOtherConnection();
    void serverVersion();
};

void TestServer::wrongPasswordRaisesServerText()
{
    TestDatabase t;
    try {
        t.connectServer("SYSDBA", "wrong");
        QFAIL("connected with a wrong password");
    } catch (const Error &e) {
        QVERIFY2(e.message().contains("login"), qPrintable(e.message()));
        QVERIFY(e.sqlCode() != 0);
    }
    auto ok = t.connectServer("SYSDBA", testsupport::serverPassword());
    QVERIFY(ok->isConnected());
}

void TestServer::embeddedAndServerOpenOneDatabase()
{
    TestDatabase t;
    auto local = t.connect();
    auto remote = t.connectServer("SYSDBA", testsupport::serverPassword());
    exec(*local, "create table T (A integer)");
    exec(*remote, "insert into T values (5)");
    QCOMPARE(scalar(*local, "select sum(A) from T").toInt(), 5);
    QCOMPARE(scalar(*remote, "select count(*) from mon$attachments where mon$system_flag = 0").toInt(), 2);
}

void TestServer::externalTableRowSeenByOtherConnection()
{
    TestDatabase t;
    const QString file = engine::Runtime::paths().external + "/t" + QUuid::createUuid().toString(QUuid::Id128) + ".ext";
    auto writer = t.connectServer("SYSDBA", testsupport::serverPassword(), "Writer");
    auto reader = t.connectServer("SYSDBA", testsupport::serverPassword(), "Reader");
    exec(*writer, QString("create table EXT external file \"%1\" (V char(10))").arg(file));
    // Reading the table inside the writing request pushes the row out to the
    // file, so others see it while the writer's transaction is still open.
    exec(*writer, "create procedure PUT (V char(10)) as declare variable n integer; begin "
                  "insert into EXT values (:V); select count(*) from EXT into :n; end");
    writer->startTransaction();
    Statement put(writer.get());
    put.setSql("execute procedure PUT :v");
    put.setParam("v", "hello");
    put.execute();
    QCOMPARE(scalar(*reader, "select V from EXT").toString(), QString("hello"));
    writer->commit();
    writer.reset();
    reader.reset();
    QFile::remove(file);
}

void TestServer::serverVersion()
{
    TestDatabase t;
    auto db = t.connectServer("SYSDBA", testsupport::serverPassword());
    QVERIFY2(db->serverVersion().contains("Firebird"), qPrintable(db->serverVersion()));
}

DUNMOOR_TEST_MAIN(TestServer)
#include "tst_server.moc"
