// The catalogue data module on a schema holding every kind of object: the
// lists, their master-detail links, calculated texts and keep-position reopens.
#include "WorkbenchFixture.h"
#include "support/GuiTestMain.h"
#include "workbench/CatalogueText.h"
#include "workbench/DM1.h"
#include "workbench/Repository.h"
#include "engine/SqlParams.h"
#include "engine/StatementLog.h"

#include <QSignalSpy>

using testsupport::exec;
using testsupport::TestDatabase;

namespace {

const char *const kSchema[] = {
    "create domain D_MONEY as numeric(15,2)",
    "create domain D_NAME as varchar(20)",
    "create domain D_CODE as char(4)",
    "create table A (ID integer not null primary key, NAME D_NAME, AMOUNT D_MONEY, CODE char(3))",
    "create table B (K1 integer not null, K2 integer not null, NOTE blob sub_type 1, primary key (K1, K2))",
    "create table C (ID integer not null primary key, A_ID integer references A, B1 integer, B2 integer, "
    "U varchar(10) unique, constraint C_CHK check (ID > 0), foreign key (B1, B2) references B)",
    "create index A_NAME on A (NAME)",
    "alter index A_NAME inactive",
    "create table X1 (I integer)",
    "create table X2 (I integer)",
    "create view V_A (ID, NAME) as select ID, NAME from A",
    "create generator G_ONE",
    "set generator G_ONE to 42",
    "create generator G_TWO",
    "create generator META$TEST",
    "create exception E_ONE \"Message one\"",
    "create trigger A_BI for A before insert as begin end",
    "create trigger A_AI for A after insert as begin end",
    "create trigger A_BU for A before update as begin end",
    "create trigger A_AU for A after update as begin end",
    "create trigger A_BD for A before delete as begin end",
    "create trigger A_AD for A inactive after delete as begin end",
    "create procedure P_IN_OUT (X integer, S varchar(10)) returns (Y numeric(15,2), T char(5)) as begin Y = X; T = S; suspend; end",
    // Reads X2, so the dependency list has a META$ row to show or hide.
    "create procedure META$HIDDEN as declare variable N integer; begin select count(*) from X2 into :N; end",
    "declare external function F_ABS double precision returns double precision by value "
    "entry_point 'IB_UDF_abs' module_name 'ib_udf'",
};

QStringList column(engine::DataSet &ds, const QString &field)
{
    QStringList out;
    const int f = ds.fieldIndex(field);
    for (int i = 0; i < ds.recordCount(); ++i)
        out << ds.textAt(i, f);
    return out;
}

void moveTo(engine::DataSet &ds, const QString &field, const QString &name)
{
    QVERIFY2(ds.locate(field, name), qPrintable(name));
}

} // namespace

class TestDataModule : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void paramTypes_data();
    void paramTypes();
    void codeTexts();
    void listsShowTheSchema();
    void afterConnectSendsEachListOnce();
    void workbenchTablesLeftOutOfTheTableList();
    void tableDetailsFollowTheTable();
    void proceduresAndTheirParameterTexts();
    void reopenKeepsPosition();
    void generatorListStopsOnEqualName();
    void checkBoxesChangeTheText();
    void verboseColumnsFromKeyMap();
    void reconnectReadsTheNewDatabase();
    void dialectThreeTimestamps();

private:
    void open();
    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<TDM> m_dm;
};

void TestDataModule::init()
{
    m_t = std::make_unique<TestDatabase>();
    auto db = m_t->connect();
    for (const char *sql : kSchema)
        exec(*db, sql);
    m_dm = std::make_unique<TDM>();
    for (engine::Database *d : {&m_dm->Database, &m_dm->DatabaseN}) {
        d->setDriverName("INTRBASE");
        d->setParams({"SERVER NAME=" + m_t->path(), "USER NAME=SYSDBA"});
        d->open();
    }
}

void TestDataModule::cleanup()
{
    m_dm.reset();
    m_t.reset();
}

void TestDataModule::open()
{
    m_dm->Database.startTransaction();
    m_dm->OpenUserLists();
    m_dm->Database.commit();
    m_dm->OpenNationalLists();
}

void TestDataModule::paramTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("subType");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("charLength");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("text");
    QTest::newRow("smallint") << 7 << 0 << 2 << 0 << 0 << 0 << 1 << "SMALLINT";
    QTest::newRow("numeric(4,2)") << 7 << 1 << 2 << -2 << 0 << 4 << 1 << "NUMERIC(4, 2)";
    QTest::newRow("integer") << 8 << 0 << 4 << 0 << 0 << 0 << 1 << "INTEGER";
    QTest::newRow("numeric(9,3)") << 8 << 1 << 4 << -3 << 0 << 9 << 1 << "NUMERIC(9, 3)";
    QTest::newRow("double precision") << 27 << 0 << 8 << 0 << 0 << 0 << 1 << "DOUBLE PRECISION";
    QTest::newRow("float") << 10 << 0 << 4 << 0 << 0 << 0 << 1 << "FLOAT";
    QTest::newRow("dialect 1 numeric(15,2)") << 27 << 0 << 8 << -2 << 0 << 15 << 1 << "NUMERIC(15, 2)";
    QTest::newRow("bigint") << 16 << 0 << 8 << 0 << 0 << 0 << 3 << "BIGINT";
    QTest::newRow("numeric(18,4)") << 16 << 1 << 8 << -4 << 0 << 18 << 3 << "NUMERIC(18, 4)";
    QTest::newRow("numeric(12,2)") << 16 << 1 << 8 << -2 << 0 << 12 << 3 << "NUMERIC(12, 2)";
    QTest::newRow("char") << 14 << 0 << 10 << 0 << 0 << 0 << 1 << "CHAR(10)";
    QTest::newRow("char utf8 by characters") << 14 << 0 << 40 << 0 << 10 << 0 << 1 << "CHAR(10)";
    QTest::newRow("varchar") << 37 << 0 << 20 << 0 << 20 << 0 << 1 << "VARCHAR(20)";
    QTest::newRow("dialect 1 date") << 35 << 0 << 8 << 0 << 0 << 0 << 1 << "DATE";
    QTest::newRow("dialect 3 timestamp") << 35 << 0 << 8 << 0 << 0 << 0 << 3 << "TIMESTAMP";
    QTest::newRow("sql date") << 12 << 0 << 4 << 0 << 0 << 0 << 3 << "DATE";
    QTest::newRow("time") << 13 << 0 << 4 << 0 << 0 << 0 << 3 << "TIME";
    QTest::newRow("boolean") << 23 << 0 << 1 << 0 << 0 << 0 << 3 << "BOOLEAN";
    QTest::newRow("blob text") << 261 << 1 << 8 << 0 << 0 << 0 << 1 << "BLOB/TEXT";
    QTest::newRow("blob binary") << 261 << 0 << 8 << 0 << 0 << 0 << 1 << "BLOB/BINARY";
    QTest::newRow("blob user defined") << 261 << -1 << 8 << 0 << 0 << 0 << 1 << "BLOB/USER DEFINED";
    QTest::newRow("blob unknown subtype") << 261 << 999 << 8 << 0 << 0 << 0 << 1 << "BLOB/SubType = 999";
}

void TestDataModule::paramTypes()
{
    QFETCH(int, type);
    QFETCH(int, subType);
    QFETCH(int, length);
    QFETCH(int, scale);
    QFETCH(int, charLength);
    QFETCH(int, precision);
    QFETCH(int, dialect);
    QFETCH(QString, text);
    QCOMPARE(catalogue::GetParamType(type, subType, length, scale, charLength, precision, dialect), text);
}

void TestDataModule::codeTexts()
{
    QCOMPARE(catalogue::triggerTypeText(1), QString("BEFORE INSERT"));
    QCOMPARE(catalogue::triggerTypeText(6), QString("AFTER DELETE"));
    QCOMPARE(catalogue::triggerTypeText(17), QString());
    QCOMPARE(catalogue::objectTypeName(0), QString("Table"));
    QCOMPARE(catalogue::objectTypeName(6), QString("Expression index"));
    QCOMPARE(catalogue::objectTypeName(10), QString("Index"));
    QCOMPARE(catalogue::objectTypeName(11), QString());
}

// Masters open before their details, so no detail runs first with no
// master row and again once its master opens.
void TestDataModule::afterConnectSendsEachListOnce()
{
    engine::StatementRecorder rec;
    open();
    const QStringList sent = rec.statements();
    TDM &dm = *m_dm;
    const QList<QPair<const char *, engine::Query *>> lists{
        {"QDomain", &dm.QDomain},     {"QTables", &dm.QTables},         {"QColumns", &dm.QColumns},
        {"QIndex", &dm.QIndex},       {"QIndexFields", &dm.QIndexFields}, {"QTableTrigger", &dm.QTableTrigger},
        {"QConstraints", &dm.QConstraints}, {"QUDF", &dm.QUDF},         {"QFArg", &dm.QFArg},
        {"QView", &dm.QView},         {"QDepend", &dm.QDepend},         {"QDepend2", &dm.QDepend2},
        {"QException", &dm.QException}, {"QProc", &dm.QProc}};
    for (const auto &[name, q] : lists)
        QVERIFY2(sent.count(engine::parseSqlParams(q->statement().text()).serverText) == 1, name);

    // A page change reads its lists once too, at the remembered row.
    dm.DependentName = "V_A";
    engine::StatementRecorder page;
    dm.ReopenBrowserPage(2);
    for (engine::Query *q : {&dm.QDepend, &dm.QDepend2})
        QCOMPARE(page.statements().count(engine::parseSqlParams(q->statement().text()).serverText), 1);
    QCOMPARE(dm.QDepend.fieldByName("RDB$DEPENDENT_NAME").asString(), QString("V_A"));
    QVERIFY(dm.QDepend.recNo() > 0);
}

void TestDataModule::listsShowTheSchema()
{
    open();
    TDM &dm = *m_dm;
    QCOMPARE(column(dm.QDomain, "RDB$FIELD_NAME"), (QStringList{"D_CODE", "D_MONEY", "D_NAME"}));
    QCOMPARE(column(dm.QDomain, "DomainType"), (QStringList{"CHAR(4)", "NUMERIC(15, 2)", "VARCHAR(20)"}));
    QCOMPARE(dm.QDomain.fieldDef(dm.QDomain.fieldIndex("DomainType")).displayLabel, QString("Type"));
    QCOMPARE(column(dm.QTables, "RDB$RELATION_NAME"), (QStringList{"A", "B", "C", "X1", "X2"}));
    QCOMPARE(column(dm.QGenerator, "RDB$GENERATOR_NAME"), (QStringList{"G_ONE", "G_TWO"}));
    QCOMPARE(column(dm.QGenerator, "GenValue"), (QStringList{"42", "0"}));
    QCOMPARE(column(dm.QUDF, "RDB$FUNCTION_NAME"), QStringList{"F_ABS"});
    QCOMPARE(column(dm.QFArg, "Type"), (QStringList{"DOUBLE PRECISION", "DOUBLE PRECISION"}));
    QCOMPARE(column(dm.QFArg, "Mechanism"), (QStringList{"by value", "by refer."}));
    QCOMPARE(column(dm.QView, "RDB$VIEW_NAME"), QStringList{"V_A"});
    QCOMPARE(column(dm.QView, "RDB$RELATION_NAME"), QStringList{"A"});
    QCOMPARE(column(dm.QException, "RDB$EXCEPTION_NAME"), QStringList{"E_ONE"});
    QCOMPARE(column(dm.QException, "RDB$MESSAGE"), QStringList{"Message one"});
    QCOMPARE(column(dm.QProc, "RDB$PROCEDURE_NAME"), QStringList{"P_IN_OUT"});

    QVERIFY(dm.QDepend.locate("RDB$DEPENDENT_NAME;RDB$DEPENDED_ON_NAME", QVariantList{"V_A", "A"}));
    QCOMPARE(dm.QDepend.fieldByName("WhatType").asString(), QString("View"));
    QCOMPARE(dm.QDepend.fieldByName("FromType").asString(), QString("Table"));
    QCOMPARE(column(dm.QDepend2, "RDB$FIELD_NAME"), (QStringList{"ID", "NAME"}));
    QVERIFY(!column(dm.QDepend, "RDB$DEPENDENT_NAME").contains("META$HIDDEN"));
}

void TestDataModule::workbenchTablesLeftOutOfTheTableList()
{
    auto db = m_t->connect();
    exec(*db, "create table META$OWN (A integer)");
    exec(*db, "create table MY_META$ROWS (A integer)");
    open();
    QCOMPARE(column(m_dm->QTables, "RDB$RELATION_NAME"), (QStringList{"A", "B", "C", "X1", "X2"}));
}

void TestDataModule::tableDetailsFollowTheTable()
{
    open();
    TDM &dm = *m_dm;
    QSignalSpy tableChanged(&dm, &TDM::tableRowChanged);
    moveTo(dm.QTables, "RDB$RELATION_NAME", "B");
    moveTo(dm.QTables, "RDB$RELATION_NAME", "A");
    QCOMPARE(tableChanged.count(), 2);
    QCOMPARE(dm.TableName, QString("A"));
    QCOMPARE(column(dm.QColumns, "RDB$FIELD_NAME"), (QStringList{"ID", "NAME", "AMOUNT", "CODE"}));
    QCOMPARE(column(dm.QColumns, "FieldType"), (QStringList{"INTEGER", "D_NAME", "D_MONEY", "CHAR(3)"}));
    QCOMPARE(column(dm.QTableTrigger, "RDB$TRIGGER_NAME"), (QStringList{"A_AD", "A_AI", "A_AU", "A_BD", "A_BI", "A_BU"}));
    QCOMPARE(column(dm.QTableTrigger, "TriggerType"),
             (QStringList{"AFTER DELETE", "AFTER INSERT", "AFTER UPDATE", "BEFORE DELETE", "BEFORE INSERT", "BEFORE UPDATE"}));
    QCOMPARE(column(dm.QTableTrigger, "TriggerState"), (QStringList{"Inactive", "Active", "Active", "Active", "Active", "Active"}));
    moveTo(dm.QIndex, "RDB$INDEX_NAME", "A_NAME");
    QCOMPARE(dm.QIndex.fieldByName("State").asString(), QString("Inactive"));
    QCOMPARE(dm.QIndex.fieldByName("IsUnique").asString(), QString("No"));
    QCOMPARE(column(dm.QIndexFields, "RDB$FIELD_NAME"), QStringList{"NAME"});

    moveTo(dm.QTables, "RDB$RELATION_NAME", "C");
    QCOMPARE(column(dm.QColumns, "RDB$FIELD_NAME"), (QStringList{"ID", "A_ID", "B1", "B2", "U"}));
    QCOMPARE(column(dm.QColumns, "FieldType"), (QStringList{"INTEGER", "INTEGER", "INTEGER", "INTEGER", "VARCHAR(10)"}));
    // The check constraint's own system triggers stay out of the list.
    QVERIFY(dm.QTableTrigger.isEmpty());
    const QStringList types = column(dm.QConstraints, "RDB$CONSTRAINT_TYPE");
    for (const char *t : {"PRIMARY KEY", "FOREIGN KEY", "UNIQUE", "CHECK", "NOT NULL"})
        QVERIFY2(types.contains(t), t);
    QVERIFY(column(dm.QConstraints, "RDB$CONSTRAINT_NAME").contains("C_CHK"));
    QCOMPARE(column(dm.QIndex, "IsUnique").count("Yes"), 2);

    moveTo(dm.QTables, "RDB$RELATION_NAME", "B");
    QCOMPARE(column(dm.QColumns, "FieldType"), (QStringList{"INTEGER", "INTEGER", "BLOB/TEXT"}));
    dm.QTables.close();
    QVERIFY(dm.QColumns.isEmpty());
}

void TestDataModule::proceduresAndTheirParameterTexts()
{
    open();
    TDM &dm = *m_dm;
    QSignalSpy memos(&dm, &TDM::procParamsChanged);
    dm.QProc.first();
    emit dm.QProc.dataChanged();
    QVERIFY(memos.count() > 0);
    QCOMPARE(dm.InParamsText, QString("  (X INTEGER, S VARCHAR(10)) "));
    QCOMPARE(dm.OutParamsText, QString("RETURNS  (Y NUMERIC(15, 2), T CHAR(5)) "));
    dm.ShowDebugProcedures = true;
    dm.ReopenProcedure();
    QCOMPARE(column(dm.QProc, "RDB$PROCEDURE_NAME"), (QStringList{"META$HIDDEN", "P_IN_OUT"}));
    dm.QProc.first();
    QCOMPARE(dm.InParamsText, QString());
    QCOMPARE(dm.OutParamsText, QString());
}

void TestDataModule::reopenKeepsPosition()
{
    open();
    TDM &dm = *m_dm;
    QSignalSpy buttons(&dm, &TDM::listButtons);
    moveTo(dm.QTables, "RDB$RELATION_NAME", "X1");
    exec(dm.Database, "drop table X1");
    dm.ReopenTablesSave();
    QCOMPARE(dm.QTables.fieldByName("RDB$RELATION_NAME").asString(), QString("X2"));
    QVERIFY(!dm.Database.inTransaction());
    // The table's own button, then those of its detail lists.
    QCOMPARE(buttons.at(0).at(0).toStringList(), QStringList{"SBDropTable"});
    QVERIFY(buttons.at(0).at(1).toBool());
    QCOMPARE(buttons.last().at(0).toStringList(), QStringList{"SBDropConstraint"});

    dm.TableName = "ZZZ";
    dm.ReopenTablesSave();
    QVERIFY(dm.QTables.eof());

    dm.DomainName = "D_MONEY";
    dm.ReopenDomainSave();
    QCOMPARE(dm.QDomain.fieldByName("RDB$FIELD_NAME").asString(), QString("D_MONEY"));
    dm.ReopenDomain();
    QCOMPARE(dm.QDomain.recNo(), 0);

    // A column list reopened while the table stands still walks to its
    // column by name: the columns stand in position order (ID, NAME, AMOUNT,
    // CODE), so NAME is found and AMOUNT stops at ID, the first name not below it.
    moveTo(dm.QTables, "RDB$RELATION_NAME", "A");
    moveTo(dm.QColumns, "RDB$FIELD_NAME", "NAME");
    QCOMPARE(dm.ColumnName, QString("NAME"));
    dm.ReopenColumns();
    QCOMPARE(dm.QColumns.fieldByName("RDB$FIELD_NAME").asString(), QString("NAME"));
    moveTo(dm.QColumns, "RDB$FIELD_NAME", "AMOUNT");
    dm.ReopenColumns();
    QCOMPARE(dm.QColumns.fieldByName("RDB$FIELD_NAME").asString(), QString("ID"));
}

void TestDataModule::generatorListStopsOnEqualName()
{
    open();
    TDM &dm = *m_dm;
    dm.GeneratorName = "G_ONE";
    dm.ReopenGenerator();
    QCOMPARE(dm.QGenerator.fieldByName("RDB$GENERATOR_NAME").asString(), QString("G_ONE"));
    dm.GeneratorName = "G_GONE"; // vanished: the last row
    dm.ReopenGenerator();
    QCOMPARE(dm.QGenerator.fieldByName("RDB$GENERATOR_NAME").asString(), QString("G_TWO"));
}

void TestDataModule::checkBoxesChangeTheText()
{
    open();
    TDM &dm = *m_dm;
    dm.ShowDebugGenerators = true;
    dm.ReopenGenerator();
    QVERIFY(!dm.QGenerator.sql().join(' ').contains("META$"));
    QCOMPARE(column(dm.QGenerator, "RDB$GENERATOR_NAME"), (QStringList{"G_ONE", "G_TWO", "META$TEST"}));
    dm.ShowDebugGenerators = false;
    dm.ReopenGenerator();
    QCOMPARE(dm.QGenerator.sql().last(), QString("order by RDB$Generator_Name"));
    QVERIFY(dm.QGenerator.sql().contains("and (not RDB$Generator_Name containing \"META$\")"));

    dm.ShowDebugDependencies = true;
    dm.ReopenDependencies();
    QVERIFY(!dm.QDepend.sql().join(' ').contains("META$"));
    QVERIFY(column(dm.QDepend, "RDB$DEPENDENT_NAME").contains("META$HIDDEN"));
    dm.ShowDebugDependencies = false;
    dm.ReopenDependencies();
    QVERIFY(dm.QDepend.sql().contains("where not RDB$Dependent_Name containing \"META$\""));
    QVERIFY(!column(dm.QDepend, "RDB$DEPENDENT_NAME").contains("META$HIDDEN"));
}

void TestDataModule::verboseColumnsFromKeyMap()
{
    {
        engine::Statement q6(&m_dm->Database), q7(&m_dm->Database);
        platform::ScriptedPrompter p;
        platform::ScopedPrompter sp(p);
        p.answer(platform::Prompter::Answer::Yes);
        Repository(m_dm->Database, q6, q7).ensure([](int) {});
    }
    exec(m_dm->Database, "execute procedure meta$Renew");
    TDM &dm = *m_dm;
    dm.MetaPresent = true;
    dm.VerboseColumns = true;
    open();
    moveTo(dm.QTables, "RDB$RELATION_NAME", "C");
    QCOMPARE(column(dm.QColumns, "PK"), (QStringList{"PK", "", "", "", ""}));
    QCOMPARE(column(dm.QColumns, "FK"), (QStringList{"", "FK", "FK", "FK", ""}));
    QCOMPARE(column(dm.QColumns, "RefTo"), (QStringList{"", "A", "B", "B", ""}));
    dm.VerboseColumns = false;
    dm.QColumns.refresh();
    QCOMPARE(column(dm.QColumns, "PK"), (QStringList{"", "", "", "", ""}));
}

void TestDataModule::reconnectReadsTheNewDatabase()
{
    TestDatabase other;
    exec(*other.connect(), "create table ONLY_HERE (I integer)");
    wbtest::ScopedAlias first("FIRST", m_t->path());
    wbtest::ScopedAlias second("SECOND", other.path());
    m_dm.reset(); // the window makes its own data module
    platform::ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    p.answer(platform::Prompter::Answer::No).answer(platform::Prompter::Answer::No);
    wbtest::ScriptedDialogs d;
    d.user = "SYSDBA";
    Workbench w({});
    d.alias = "FIRST";
    w.browser->SBConnectClick();
    QCOMPARE(column(w.dm->QTables, "RDB$RELATION_NAME"), (QStringList{"A", "B", "C", "X1", "X2"}));
    d.alias = "SECOND";
    w.browser->SBConnectClick();
    QCOMPARE(column(w.dm->QTables, "RDB$RELATION_NAME"), QStringList{"ONLY_HERE"});
    QVERIFY(w.dm->QProc.isEmpty());
}

void TestDataModule::dialectThreeTimestamps()
{
    // Type code 35 is a TIMESTAMP in a dialect-3 database and the DATE of a
    // dialect-1 one (the schema's tables of this fixture).
    TestDatabase three(3);
    {
        auto db = three.connect();
        QCOMPARE(db->databaseDialect(), 3);
        exec(*db, "create domain D_STAMP as timestamp");
        exec(*db, "create table T3 (TS timestamp, D D_STAMP)");
        exec(*db, "create procedure P3 (A timestamp) returns (B timestamp) as begin B = A; suspend; end");
        exec(*db, "create generator G_PLAIN");
        exec(*db, "set generator G_PLAIN to 5");
        db->executeImmediate("create generator \"G --X\"", 3);
    }
    engine::StatementRecorder log;
    m_dm = std::make_unique<TDM>();
    for (engine::Database *d : {&m_dm->Database, &m_dm->DatabaseN}) {
        d->setDriverName("INTRBASE");
        d->setParams({"SERVER NAME=" + three.path(), "USER NAME=SYSDBA"});
        d->open();
    }
    open();
    TDM &dm = *m_dm;
    QCOMPARE(column(dm.QColumns, "FieldType"), (QStringList{"TIMESTAMP", "D_STAMP"}));
    QCOMPARE(column(dm.QDomain, "DomainType"), QStringList{"TIMESTAMP"});
    dm.QProc.first();
    emit dm.QProc.dataChanged();
    QCOMPARE(dm.InParamsText, QString("  (A TIMESTAMP) "));
    QCOMPARE(dm.OutParamsText, QString("RETURNS  (B TIMESTAMP) "));
    // A generator name that cannot stand bare is not put into gen_id: its
    // value stays empty instead of another generator's being read.
    QCOMPARE(column(dm.QGenerator, "RDB$GENERATOR_NAME"), (QStringList{"G --X", "G_PLAIN"}));
    QCOMPARE(column(dm.QGenerator, "GenValue"), (QStringList{"", "5"}));
    for (const QString &sent : log.statements())
        QVERIFY2(!sent.contains("G --X"), qPrintable(sent));
    m_dm.reset();

    auto one = m_t->connect();
    QCOMPARE(one->databaseDialect(), 1);
}

DUNMOOR_GUI_TEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
