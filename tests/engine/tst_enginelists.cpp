// Catalogue lists, language drivers and engine figures against real
// embedded databases.
#include "engine/EngineLists.h"
#include "engine/Error.h"
#include "engine/LanguageDrivers.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "engine/StoredProc.h"
#include "support/TestMain.h"

#include <QSet>

using engine::Database;
using engine::EngineLists;
using engine::Error;
using engine::FieldInfo;
using engine::TableInfo;
using testsupport::exec;
using testsupport::TestDatabase;

namespace {

QStringList namesOf(const QVector<FieldInfo> &fields)
{
    QStringList out;
    for (const FieldInfo &f : fields)
        out << f.name;
    return out;
}

// "NAME" for a table, "NAME (view)" for a view.
QStringList describe(const QVector<TableInfo> &tables)
{
    QStringList out;
    for (const TableInfo &t : tables)
        out << (t.isView ? t.name + " (view)" : t.name);
    return out;
}

std::unique_ptr<Database> connectIn(engine::Session *session, const TestDatabase &t, const QStringList &extra = {})
{
    auto db = std::make_unique<Database>(session, "Other");
    db->setDriverName("INTRBASE");
    db->setParams(QStringList{"SERVER NAME=" + t.path()} + extra);
    db->open();
    return db;
}

} // namespace

class TestEngineLists : public QObject {
    Q_OBJECT
private slots:
    void tablesSeparateViewsAndKeepMetaTables();
    void fieldsOfTableInPositionOrder();
    void fieldsOfViewInPositionOrder();
    void fieldsOfUnknownRelationRaise();
    void proceduresLeaveOutPackaged();
    void listsSeeTheExplicitTransaction();
    void listsSurviveReconnect();
    void languageDriversReadToTheEnd();
    void configurationWithoutAndWithDatabase();
    void statusCountsDatabasesSessionsAndCursors();
};

void TestEngineLists::tablesSeparateViewsAndKeepMetaTables()
{
    TestDatabase t;
    auto db = t.connect();
    EngineLists lists(*db);
    QVERIFY(lists.tables().isEmpty()); // a new database: system tables only
    exec(*db, "create table ZEBRA (A integer)");
    exec(*db, "create table META$GRANTDEF (GNAME char(31))");
    exec(*db, "create table APPLE (A integer, B char(10))");
    exec(*db, "create view V_APPLE as select A from APPLE");
    exec(*db, "create global temporary table GTT (A integer)");
    QCOMPARE(describe(lists.tables()),
             QStringList({"APPLE", "GTT", "META$GRANTDEF", "V_APPLE (view)", "ZEBRA"}));
}

void TestEngineLists::fieldsOfTableInPositionOrder()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create domain D_REQ integer not null");
    exec(*db, "create table T (ZED varchar(20), AMOUNT numeric(9,2) not null, MID D_REQ, NOTE blob sub_type 1)");
    EngineLists lists(*db);
    auto fields = lists.fields("T");
    QCOMPARE(namesOf(fields), QStringList({"ZED", "AMOUNT", "MID", "NOTE"}));
    QCOMPARE(fields[0].fieldType, short(37));
    QCOMPARE(fields[0].length, short(20));
    QVERIFY(fields[0].nullable);
    QCOMPARE(fields[1].fieldType, short(8));
    QCOMPARE(fields[1].scale, short(-2));
    QVERIFY(!fields[1].nullable); // NOT NULL on the column
    QVERIFY(!fields[2].nullable); // NOT NULL on the domain
    QCOMPARE(fields[3].fieldType, short(261));
    QCOMPARE(fields[3].subType, short(1));

    // Position, not creation order, decides.
    exec(*db, "alter table T alter MID position 1");
    QCOMPARE(namesOf(lists.fields("T")), QStringList({"MID", "ZED", "AMOUNT", "NOTE"}));
    exec(*db, "alter table T drop ZED");
    exec(*db, "alter table T add FIRST_ONE integer");
    QCOMPARE(namesOf(lists.fields("T")), QStringList({"MID", "AMOUNT", "NOTE", "FIRST_ONE"}));
}

void TestEngineLists::fieldsOfViewInPositionOrder()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (A integer, B char(5), C integer)");
    exec(*db, "create view V (CC, AA, BB) as select C, A, B from T");
    EngineLists lists(*db);
    const auto fields = lists.fields("V");
    QCOMPARE(namesOf(fields), QStringList({"CC", "AA", "BB"}));
    QCOMPARE(fields[2].fieldType, short(14));
    QCOMPARE(fields[2].length, short(5));
}

void TestEngineLists::fieldsOfUnknownRelationRaise()
{
    TestDatabase t;
    auto db = t.connect();
    EngineLists lists(*db);
    for (const QString &name : {QString("NO_SUCH_TABLE"), QString(), QString(40, 'X')}) {
        try {
            lists.fields(name);
            QFAIL(qPrintable("no error for " + name));
        } catch (const Error &e) {
            QVERIFY2(e.message().contains("does not exist"), qPrintable(e.message()));
        }
    }
    // The list still works after the failures.
    exec(*db, "create table T (A integer)");
    QCOMPARE(namesOf(lists.fields("T")), QStringList({"A"}));
}

void TestEngineLists::proceduresLeaveOutPackaged()
{
    TestDatabase t;
    auto db = t.connect();
    EngineLists lists(*db);
    QVERIFY(lists.procedures().isEmpty());
    exec(*db, "create procedure ZP as begin end");
    exec(*db, "create procedure META$RENEW as begin end");
    exec(*db, "create procedure AP (X integer) returns (Y integer) as begin Y = X; end");
    exec(*db, "create package PK as begin procedure INNER_P; end");
    exec(*db, "create package body PK as begin procedure INNER_P as begin end end");
    QCOMPARE(lists.procedures(), QStringList({"AP", "META$RENEW", "ZP"}));
}

void TestEngineLists::listsSeeTheExplicitTransaction()
{
    TestDatabase t;
    auto db = t.connect();
    EngineLists lists(*db);
    db->startTransaction();
    db->executeImmediate("create table NEW_T (A integer)");
    // Uncommitted DDL is visible to its own transaction only.
    QCOMPARE(describe(lists.tables()), QStringList({"NEW_T"}));
    auto other = t.connect("SYSDBA", "Other");
    QVERIFY(EngineLists(*other).tables().isEmpty());
    db->rollback();
    QVERIFY(lists.tables().isEmpty());
}

void TestEngineLists::listsSurviveReconnect()
{
    TestDatabase t;
    auto db = t.connect();
    exec(*db, "create table T (A integer)");
    EngineLists lists(*db);
    QCOMPARE(lists.tables().size(), 1);
    QCOMPARE(lists.fields("T").size(), 1);
    db->close();
    QVERIFY_THROWS_EXCEPTION(Error, lists.tables());
    db->open();
    // The statements of the old connection are gone; the lists compile anew.
    QCOMPARE(lists.tables().size(), 1);
    QCOMPARE(lists.fields("T").size(), 1);
    QCOMPARE(lists.procedures().size(), 0);
}

void TestEngineLists::languageDriversReadToTheEnd()
{
    // The privilege manager keeps the first 31 characters of each entry and
    // maps names and descriptions both ways, so both must be unique.
    QSet<QString> names, descriptions;
    int read = 0;
    for (const engine::LanguageDriver &d : engine::languageDrivers()) {
        ++read;
        QVERIFY(!d.name.isEmpty() && d.name.size() <= 31);
        QVERIFY(!d.description.isEmpty() && d.description.size() <= 31);
        names << d.name;
        descriptions << d.description;
        QCOMPARE(engine::languageDriver(d.name).name, d.name);
    }
    QVERIFY(read > 0);
    QCOMPARE(names.size(), read);
    QCOMPARE(descriptions.size(), read);
    QVERIFY(names.contains(engine::systemConfiguration().languageDriver));
}

void TestEngineLists::configurationWithoutAndWithDatabase()
{
    const engine::SystemConfiguration none = engine::systemConfiguration();
    QCOMPARE(none.networkType, QString("Embedded"));
    QVERIFY(none.localShare);
    QVERIFY(!none.netShare);
    QCOMPARE(none.netProtocol, 0);
    QVERIFY(!none.userName.isEmpty());
    QCOMPARE(none.languageDriver, QString("UTF8")); // the driver's default is empty

    TestDatabase t;
    auto db = connectIn(nullptr, t, {"USER NAME=CLERK", "LANGDRIVER=NONE"});
    const engine::SystemConfiguration c = engine::systemConfiguration(db.get());
    QCOMPARE(c.networkType, QString("Embedded"));
    QVERIFY(c.localShare);
    QCOMPARE(c.netProtocol, 0);
    QCOMPARE(c.userName, QString("CLERK"));
    QCOMPARE(c.languageDriver, QString("NONE"));
}

void TestEngineLists::statusCountsDatabasesSessionsAndCursors()
{
    engine::Session second("S2");
    const QList<engine::Session *> both{&engine::Session::defaultSession(), &second};
    const engine::SystemStatus start = engine::systemStatus(both);
    QCOMPARE(start.sessions, 2);
    QCOMPARE(engine::systemStatus().sessions, 1);
    QVERIFY(start.clientVersion.contains("Firebird"));
    QVERIFY(start.bufferSpaceKb > 0);
    QVERIFY(start.heapSpaceKb > 0);
    QCOMPARE(start.drivers, 1);

    TestDatabase t;
    auto db = t.connect();
    auto closedOne = std::make_unique<Database>(nullptr, "NeverOpened");
    auto inSecond = connectIn(&second, t, {"USER NAME=SYSDBA"});
    engine::SystemStatus s = engine::systemStatus(both);
    QCOMPARE(s.databases, start.databases + 2); // the unopened one does not count
    QCOMPARE(engine::systemStatus().databases, start.databases + 1);
    QVERIFY2(s.serverVersion.contains("Firebird"), qPrintable(s.serverVersion));
    QCOMPARE(s.cursors, start.cursors);

    engine::Statement q(db.get());
    q.setSql("select * from rdb$database");
    q.open();
    engine::StoredProc sp(inSecond.get());
    exec(*db, "create procedure P returns (X integer) as begin X = 1; suspend; end");
    sp.setStoredProcName("P");
    sp.open();
    QCOMPARE(engine::systemStatus(both).cursors, start.cursors + 2);
    q.close();
    sp.close();
    QCOMPARE(engine::systemStatus(both).cursors, start.cursors);

    inSecond->close();
    QCOMPARE(engine::systemStatus(both).databases, start.databases + 1);
}

DUNMOOR_TEST_MAIN(TestEngineLists)
#include "tst_enginelists.moc"
