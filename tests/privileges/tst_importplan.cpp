// The import's planning without a database: what of the catalogue becomes
// grant groups, the name checks and the statement texts.
#include "privileges/AdminTables.h"
#include "privileges/ImportPlan.h"

#include <QTest>

using namespace privileges;

namespace {

// "USER LETTER OPTION RELATION FIELD KIND OWNER", FIELD "-" for none, KIND
// one of other/table/view/proc.
CataloguePrivilege row(const QString &text)
{
    const QStringList f = text.split(QLatin1Char(' '));
    CataloguePrivilege p;
    p.user = f[0];
    p.letter = f[1].at(0);
    p.grantOption = f[2].toInt();
    p.relation = f[3];
    if (f[4] != QLatin1String("-"))
        p.field = f[4];
    const QStringList kinds{"other", "table", "view", "proc"};
    p.kind = ObjectKind(kinds.indexOf(f[5]));
    p.owner = f.value(6);
    return p;
}

// "GROUP k RELATION TYPE FIELD WORD OPTION" per planned row.
QStringList describe(const QVector<UserImport> &plan)
{
    QStringList out;
    for (const UserImport &u : plan) {
        int k = 0;
        for (const GroupPrivilege &p : u.privileges)
            out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                       .arg(groupName(u.user))
                       .arg(k++)
                       .arg(p.relation, p.type, p.field.isNull() ? QStringLiteral("-") : p.field, p.word)
                       .arg(p.option);
    }
    return out;
}

} // namespace

class TestImportPlan : public QObject {
    Q_OBJECT
private slots:
    void plan_data();
    void plan();
    void nameProblems_data();
    void nameProblems();
    void statementTexts();
    void adminTableNames();
};

void TestImportPlan::plan_data()
{
    QTest::addColumn<QStringList>("catalogue");
    QTest::addColumn<QStringList>("expected");

    // What a new Firebird 3 database holds before anyone granted anything.
    QTest::newRow("system rows only") << QStringList{"PUBLIC S 0 RDB$RELATIONS - other", "SYSDBA G 1 RDB$1 - other",
                                                     "SYSDBA G 1 RDB$ADMIN - other", "SYSDBA C 1 SQL$TABLES - other"}
                                      << QStringList{};
    QTest::newRow("owner's own rows") << QStringList{"U1 S 1 T1 - table U1", "U1 X 1 P1 - proc U1"} << QStringList{};
    QTest::newRow("table, view, procedure")
        << QStringList{"U2 S 0 T1 - table SYSDBA", "U2 I 1 V1 - view SYSDBA", "U2 X 0 P1 - proc SYSDBA"}
        << QStringList{"U2_Group 0 P1 Procedure - Execute 0", "U2_Group 1 T1 Table - Select 0",
                       "U2_Group 2 V1 View - Insert 1"};
    QTest::newRow("two grantors, highest option")
        << QStringList{"U2 S 0 T1 - table SYSDBA", "U2 S 1 T1 - table SYSDBA", "U2 S 0 T1 - table SYSDBA"}
        << QStringList{"U2_Group 0 T1 Table - Select 1"};
    QTest::newRow("column and whole update")
        << QStringList{"U2 U 0 T1 C2 table SYSDBA", "U2 U 0 T1 - table SYSDBA", "U2 U 1 T1 C1 table SYSDBA"}
        << QStringList{"U2_Group 0 T1 Table - Update 0", "U2_Group 1 T1 Table C1 Update 1",
                       "U2_Group 2 T1 Table C2 Update 0"};
    QTest::newRow("letters the layer cannot hold")
        << QStringList{"U2 R 0 T1 - table SYSDBA", "U2 G 0 T1 - table SYSDBA", "U2 M 0 R1 - other", "U2 C 0 SQL$TABLES - other"}
        << QStringList{};
    QTest::newRow("functions and packages") << QStringList{"U2 X 0 F1 - other", "U2 X 0 PK1 - other"} << QStringList{};
    QTest::newRow("execute on a table, select on a procedure")
        << QStringList{"U2 X 0 T1 - table SYSDBA", "U2 S 0 P1 - proc SYSDBA"} << QStringList{};
    QTest::newRow("administrative tables") << QStringList{"U2 S 1 META$GRANTDEF - table SYSDBA",
                                                          "U2 S 1 meta$usersgrant - table SYSDBA"}
                                           << QStringList{};
    QTest::newRow("users in name order, PUBLIC as a user")
        << QStringList{"U3 D 0 T1 - table SYSDBA", "PUBLIC S 0 T1 - table SYSDBA", "U1 S 0 T1 - table SYSDBA"}
        << QStringList{"PUBLIC_Group 0 T1 Table - Select 0", "U1_Group 0 T1 Table - Select 0",
                       "U3_Group 0 T1 Table - Delete 0"};
}

void TestImportPlan::plan()
{
    QFETCH(QStringList, catalogue);
    QFETCH(QStringList, expected);
    QVector<CataloguePrivilege> rows;
    for (const QString &r : catalogue)
        rows << row(r);
    QCOMPARE(describe(planImport(rows)), expected);
}

void TestImportPlan::nameProblems_data()
{
    QTest::addColumn<QStringList>("catalogue");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QStringList>("leftOut");
    const QString upper = "differs from its upper case: a dialect-1 statement would name %1 instead, so it can "
                          "only be named quoted, in dialect 3.";
    QTest::newRow("25 characters fit") << QStringList{"U234567890123456789012345 S 0 T1 - table SYSDBA"}
                                       << QStringList{"U234567890123456789012345_Group 0 T1 Table - Select 0"}
                                       << QStringList{};
    QTest::newRow("26 characters do not")
        << QStringList{"U2345678901234567890123456 S 0 T1 - table SYSDBA"} << QStringList{}
        << QStringList{"Every privilege of U2345678901234567890123456: the GrantGroup name "
                       "U2345678901234567890123456_Group is longer than 31 characters."};
    QTest::newRow("quote in a user")
        << QStringList{"O'HARA S 0 T1 - table SYSDBA"} << QStringList{}
        << QStringList{"Every privilege of O'HARA: The name \"O'HARA\" is not a plain identifier (a letter, then "
                       "letters, digits, _ or $): it cannot be named in a dialect-1 statement."};
    QTest::newRow("semicolon in a column, the rest kept")
        << QStringList{"U1 U 0 T1 C;1 table SYSDBA", "U1 S 0 T1 - table SYSDBA"}
        << QStringList{"U1_Group 0 T1 Table - Select 0"}
        << QStringList{"Update(C;1) on T1 to U1: The name \"C;1\" is not a plain identifier (a letter, then "
                       "letters, digits, _ or $): it cannot be named in a dialect-1 statement."};
    QTest::newRow("twins: the quoted one left out")
        << QStringList{"U1 S 0 MixedCase - table SYSDBA", "U1 S 0 MIXEDCASE - table SYSDBA",
                       "lowr S 0 T1 - table SYSDBA", "U1 U 0 T1 Col table SYSDBA", "U1 X 0 ProcM - proc SYSDBA"}
        << QStringList{"U1_Group 0 MIXEDCASE Table - Select 0"}
        << QStringList{"Select on MixedCase to U1: The name \"MixedCase\" " + upper.arg("MIXEDCASE"),
                       "Execute on ProcM to U1: The name \"ProcM\" " + upper.arg("PROCM"),
                       "Update(Col) on T1 to U1: The name \"Col\" " + upper.arg("COL"),
                       "Every privilege of lowr: The name \"lowr\" " + upper.arg("LOWR")};
    QTest::newRow("reserved word")
        << QStringList{"U1 S 0 ORDER - table SYSDBA"} << QStringList{}
        << QStringList{"Select on ORDER to U1: The name \"ORDER\" is a reserved word: it can only be named quoted, "
                       "in dialect 3."};
}

void TestImportPlan::nameProblems()
{
    QFETCH(QStringList, catalogue);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, leftOut);
    QVector<CataloguePrivilege> rows;
    for (const QString &r : catalogue)
        rows << row(r);
    QVector<UserImport> plan = planImport(rows);
    QCOMPARE(leaveOutUnnamable(plan), leftOut);
    QCOMPARE(describe(plan), kept);
}

void TestImportPlan::statementTexts()
{
    const QVector<QStringList> user = userImportStatements(3, "U1");
    QCOMPARE(user, (QVector<QStringList>{{"insert into meta$usersdef values('U1',null,0)"},
                                         {"insert into meta$grantdef values('U1_Group',null)"},
                                         {"insert into meta$grantusers values(3,'U1_Group',", "'U1',0)"},
                                         {"insert into meta$usersgrant values(3,'U1_Group',", "'U1')"}}));
    QCOMPARE(groupPrivilegeInsert(0, "U1", GroupPrivilege{"T1", "Table", QString(), "Select", 1}),
             (QStringList{"insert into meta$grantlist values(0,'U1_Group',", "'T1','Table',", "null,'Select',1)"}));
    QCOMPARE(groupPrivilegeInsert(2, "U1", GroupPrivilege{"T1", "Table", "C1", "Update", 0}),
             (QStringList{"insert into meta$grantlist values(2,'U1_Group',", "'T1','Table',", "'C1','Update',0)"}));
    // A quote inside a value is doubled, never ends the constant.
    QCOMPARE(userImportStatements(0, "O'H").first(), QStringList{"insert into meta$usersdef values('O''H',null,0)"});
}

void TestImportPlan::adminTableNames()
{
    QVERIFY(isAdminTable("Meta$UsersGrant"));
    QVERIFY(!isAdminTable("META$GRANTDEF2"));
    QCOMPARE(adminTableDefinitions().size(), 6);
    QCOMPARE(adminTableDefinitions()[2].grant, QString("Grant all on Meta$usersdef to PUBLIC with grant option"));
}

QTEST_APPLESS_MAIN(TestImportPlan)
#include "tst_importplan.moc"
