// Rules of the connection page without a window: the test for the six
// administrative tables, the in-place values, the session lines, the
// command line.
#include "engine/EngineLists.h"
#include "privileges/ConnectRules.h"
#include "support/TestMain.h"

using namespace connectrules;

class TestConnectRules : public QObject {
    Q_OBJECT
private slots:
    void tables_data();
    void tables();
    void fixedValues_data();
    void fixedValues();
    void sessionLines();
    void commandLine_data();
    void commandLine();
};

void TestConnectRules::tables_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("missing");
    QTest::newRow("all") << kAdminTables << int(TablesState::Present) << QStringList();
    QTest::newRow("all, other order") << QStringList{"META$USERSGRANT", "META$GRANTUSERS", "META$USERSLIST",
                                                     "META$USERSDEF", "META$GRANTLIST", "META$GRANTDEF"}
                                      << int(TablesState::Present) << QStringList();
    QTest::newRow("none") << QStringList() << int(TablesState::Missing) << kAdminTables;
    QTest::newRow("one") << QStringList{"META$GRANTDEF"} << int(TablesState::Partial) << kAdminTables.mid(1);
    QTest::newRow("only the last missing") << kAdminTables.mid(0, 5) << int(TablesState::Partial)
                                           << QStringList{"META$USERSGRANT"};
}

void TestConnectRules::tables()
{
    QFETCH(QStringList, present);
    QFETCH(int, state);
    QFETCH(QStringList, missing);
    const TablesCheck c = checkTables(present);
    QCOMPARE(int(c.state), state);
    QCOMPARE(c.missing, missing);
    QCOMPARE(adminTablesQuery(), QString("select rdb$relation_name from rdb$relations where rdb$relation_name in "
                                         "('META$GRANTDEF','META$GRANTLIST','META$USERSDEF','META$USERSLIST',"
                                         "'META$GRANTUSERS','META$USERSGRANT')"));
}

void TestConnectRules::fixedValues_data()
{
    QTest::addColumn<QString>("param");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("open mode") << "OPEN MODE" << QStringList{"READ/WRITE", "READONLY"};
    QTest::newRow("query mode") << "SQLQRYMODE" << QStringList{"", "LOCAL", "SERVER"};
    QTest::newRow("schema cache") << "ENABLE SCHEMA CACHE" << QStringList{"FALSE", "TRUE"};
    QTest::newRow("net protocol") << "NET PROTOCOL"
                                  << QStringList{"", "3270", "APPC", "ASYNC", "DECNET", "NAMED PIPES", "NETBIOS",
                                                 "SPX/IPX", "TCP/IP", "TNS", "VINES"};
    QTest::newRow("drivers, sorted") << "LANGDRIVER" << QStringList{"", "No conversion", "Unicode"};
    QTest::newRow("typed freely") << "SERVER NAME" << QStringList();
    QTest::newRow("case counts") << "open mode" << QStringList();
}

void TestConnectRules::fixedValues()
{
    QFETCH(QString, param);
    QFETCH(QStringList, values);
    QCOMPARE(connectrules::fixedValues(param, {"", "Unicode", "No conversion"}), values);
}

void TestConnectRules::sessionLines()
{
    engine::SystemConfiguration c;
    c.localShare = false;
    c.netShare = false;
    c.netProtocol = 15;
    c.languageDriver = "UTF8";
    engine::SystemStatus s;
    s.bufferSpaceKb = 1024;
    s.heapSpaceKb = 2048;
    s.sessions = 2;
    s.databases = 3;
    s.cursors = 4;
    QCOMPARE(connectrules::sessionLines(c, s),
             (QStringList{"Local Share: OFF", "Net Protocol: 15", "Net Share: OFF", "Language Driver: ", "UTF8",
                          "BufferSpace = 1024 kB", "HeapSpace = 2048 kB", "Drivers = 1", "Clients = 1",
                          "Sessions = 2", "Databases = 3", "Cursors = 4"}));
}

void TestConnectRules::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("triple");
    QTest::newRow("three") << QStringList{"DB", "SYSDBA", "pw"} << QStringList{"DB", "SYSDBA", "pw"};
    QTest::newRow("alias only") << QStringList{"DB"} << QStringList{"DB", "", ""};
    QTest::newRow("a fourth is ignored") << QStringList{"DB", "U", "P", "Y"} << QStringList{"DB", "U", "P"};
}

void TestConnectRules::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, triple);
    const CommandLine c = connectrules::commandLine(arguments);
    QCOMPARE((QStringList{c.alias, c.user, c.password}), triple);
}

DUNMOOR_TEST_MAIN(TestConnectRules)
#include "tst_connectrules.moc"
