// Engine figures of a connection through the loopback server.
#include "engine/EngineLists.h"
#include "support/TestMain.h"

using testsupport::TestDatabase;

class TestEngineListsServer : public QObject {
    Q_OBJECT
private slots:
    void configurationOfLoopbackConnection();
};

void TestEngineListsServer::configurationOfLoopbackConnection()
{
    TestDatabase t;
    auto db = t.connectServer("SYSDBA", testsupport::serverPassword());
    const engine::SystemConfiguration c = engine::systemConfiguration(db.get());
    QCOMPARE(c.networkType, QString("TCP/IP (loopback)"));
    QVERIFY(!c.localShare);
    QVERIFY2(c.netProtocol >= 10, qPrintable(QString::number(c.netProtocol)));
    QCOMPARE(c.userName, QString("SYSDBA"));
    QCOMPARE(c.languageDriver, QString("UTF8"));
}

DUNMOOR_TEST_MAIN(TestEngineListsServer)
#include "tst_enginelists_server.moc"
