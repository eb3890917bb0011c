// The privilege list of the page: what it lists on a real database, its
// filters and sort order, the letter search, and every GRANT and REVOKE
// text the page builds.
#include "PrivilegesFixture.h"
#include "privileges/DirectGrants.h"
#include "privileges/MetaTrees.h"
#include "privileges/PrivilegeList.h"
#include "support/TestMain.h"

using namespace privtest;
using namespace privileges;
using testsupport::TestDatabase;

namespace {

// Every row of the list that passes its filter: object, grantee, privilege
// word, grant option, column, grantor and grantee type.
QStringList listed(engine::DataSet &list)
{
    QStringList out;
    for (int r = 0; r < list.recordCount(); ++r) {
        list.moveTo(r);
        QStringList v;
        for (const char *f : {"RDB$RELATION_NAME", "RDB$USER", "privilege", "GrantOption", "RDB$FIELD_NAME", "RDB$GRANTOR",
                              "RDB$USER_TYPE"})
            v << list.fieldByName(QLatin1String(f)).text().trimmed();
        out << v.join('|');
    }
    return out;
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

const QStringList kAll{
    "P1|U2|Execute|false||SYSDBA|8",
    "T1|P1|Select|false||SYSDBA|5",
    "T1|R1|Select|false||SYSDBA|13",
    "T1|U1|Select|true||SYSDBA|8",
    "T1|U1|Update|false|C1|SYSDBA|8",
    "T1|U2|Select|false||SYSDBA|8",
    "T1|U2|Select|false||U1|8",
    "T1|V1|Select|false||SYSDBA|1",
    "T2|PUBLIC|Insert|false||SYSDBA|8",
    "T2|TR1|Select|false||SYSDBA|2",
    "T3|U2|Select|false||U1|8",
    "V1|U2|Select|false||SYSDBA|8",
};

Grantee user(const QString &name)
{
    return {GranteeType::User, name};
}

PrivilegeRow row(const QString &user, int type, const QString &grantor, char letter, int option, const QString &relation,
                 const QString &field = QString(), int objectType = 0)
{
    return {user, type, grantor, QLatin1Char(letter), option, relation, field, objectType};
}

} // namespace

Q_DECLARE_METATYPE(privileges::GrantChoice)
Q_DECLARE_METATYPE(privileges::PrivilegeRow)
Q_DECLARE_METATYPE(privileges::Grantee)

class TestPrivilegeList : public QObject {
    Q_OBJECT
private slots:
    void cleanupTestCase()
    {
        m_data.reset();
        m_db.reset();
    }
    void listHoldsWhatThePageCanGrantAndRevoke();
    void filters_data();
    void filters();
    void sortAndLetterSearch();
    void grantTexts_data();
    void grantTexts();
    void revokeTexts_data();
    void revokeTexts();
    void namesThatAreNotPlainAreRefused_data();
    void namesThatAreNotPlainAreRefused();
    void groupModeCalls();

private:
    // One database for every filter case.
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TGrantData> m_data;
};

void TestPrivilegeList::listHoldsWhatThePageCanGrantAndRevoke()
{
    {
        // An empty database: nothing anyone granted, nothing listed.
        TestDatabase empty;
        auto d = connectGrantData(empty);
        d->TrigList.open();
        QCOMPARE(d->TrigList.recordCount(), 0);
    }
    TestDatabase t;
    makeGrants(t);
    auto d = connectWithLayer(t);
    d->TrigList.open();
    QCOMPARE(sorted(listed(d->TrigList)), kAll);
    QCOMPARE(d->TrigList.sql().last(), QString("order by a.rdb$user"));
}

void TestPrivilegeList::filters_data()
{
    QTest::addColumn<QString>("metalbl");
    QTest::addColumn<QString>("userlbl");
    QTest::addColumn<QString>("grantor");
    QTest::addColumn<int>("privilege");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("rows");

    const QString allMeta = metaObjectLabel({}, {});
    const QString allUsers = userObjectLabel({}, {});
    QTest::newRow("everything") << allMeta << allUsers << QString() << 0 << QString() << kAll;
    QTest::newRow("table") << metaObjectLabel("Tables", "T2") << allUsers << QString() << 0
                           << "([rdb$relation_name]='T2')"
                           << QStringList{"T2|PUBLIC|Insert|false||SYSDBA|8", "T2|TR1|Select|false||SYSDBA|2"};
    QTest::newRow("column, any case") << metaObjectLabel("Tables", "t1", "c1") << allUsers << QString() << 4
                                      << "([rdb$field_name]='c1') and ([rdb$relation_name]='t1') and ([rdb$privilege]='U')"
                                      << QStringList{"T1|U1|Update|false|C1|SYSDBA|8"};
    QTest::newRow("procedure") << metaObjectLabel("Stored Procedures", "P1") << allUsers << QString() << 5
                               << "([rdb$relation_name]='P1') and ([rdb$privilege]='X')"
                               << QStringList{"P1|U2|Execute|false||SYSDBA|8"};
    QTest::newRow("grantee and grantor") << allMeta << userObjectLabel("Users", "U2") << "U1" << 1
                                         << "([rdb$user]='U2') and ([rdb$grantor]='U1') and ([rdb$privilege]='S')"
                                         << QStringList{"T1|U2|Select|false||U1|8", "T3|U2|Select|false||U1|8"};
    QTest::newRow("procedure as grantee") << allMeta << userObjectLabel("Stored Procedures", "P1") << QString() << 0
                                          << "([rdb$user]='P1')" << QStringList{"T1|P1|Select|false||SYSDBA|5"};
    QTest::newRow("trigger as grantee, delete") << allMeta << userObjectLabel("Triggers", "TR1") << QString() << 3
                                                << "([rdb$user]='TR1') and ([rdb$privilege]='D')" << QStringList{};
    QTest::newRow("quote doubled") << allMeta << userObjectLabel("Users", "O'X") << QString() << 2
                                   << "([rdb$user]='O''X') and ([rdb$privilege]='I')" << QStringList{};
}

void TestPrivilegeList::filters()
{
    QFETCH(QString, metalbl);
    QFETCH(QString, userlbl);
    QFETCH(QString, grantor);
    QFETCH(int, privilege);
    QFETCH(QString, filter);
    QFETCH(QStringList, rows);
    if (!m_data) {
        m_db = std::make_unique<TestDatabase>();
        makeGrants(*m_db);
        m_data = connectGrantData(*m_db);
        m_data->TrigList.open();
    }
    TGrantData *d = m_data.get();
    QCOMPARE(privilegeListFilter(metalbl, userlbl, grantor, privilege), filter);
    d->TrigList.setFilter(filter);
    QCOMPARE(sorted(listed(d->TrigList)), rows);
}

void TestPrivilegeList::sortAndLetterSearch()
{
    TestDatabase t;
    makeGrants(t);
    auto d = connectGrantData(t);
    engine::Query &list = d->TrigList;
    list.open();
    engine::StatementRecorder log;
    applySortOrder(list, 1);
    QCOMPARE(list.sql().last(), QString(" order by a.rdb$relation_name"));
    QVERIFY(log.statements().last().endsWith("\n order by a.rdb$relation_name"));
    const int rows = list.recordCount();
    QCOMPARE(rows, kAll.size());
    const QString field = letterSearchField(1);
    const auto object = [&] { return list.fieldByName(field).asString().trimmed(); };
    QCOMPARE(list.fieldByName("RDB$RELATION_NAME").asString().trimmed(), QString("P1"));

    // T: the first T row, then each next one, wrapping to the first again.
    LetterSearch search;
    QVERIFY(search.keyPress(list, field, "t"));
    const int firstT = list.recNo();
    QCOMPARE(object(), QString("T1"));
    QCOMPARE(firstT, 1);
    int steps = 0;
    while (search.keyPress(list, field, "t") && list.recNo() != firstT)
        ++steps;
    QCOMPARE(steps, rows - 3); // every T row but the first; P1 and V1 are no T rows
    // Another letter starts from the top.
    QVERIFY(search.keyPress(list, field, "v"));
    QCOMPARE(object(), QString("V1"));
    // A letter no row begins with leaves the row where it was.
    QVERIFY(!search.keyPress(list, field, "z"));
    QCOMPARE(object(), QString("V1"));
    // After a new order the same letter starts from the top again.
    applySortOrder(list, 0);
    search.forget();
    QVERIFY(search.keyPress(list, letterSearchField(0), "u"));
    QCOMPARE(list.recNo(), list.locate("RDB$USER", "U1") ? list.recNo() : -1);
}

void TestPrivilegeList::grantTexts_data()
{
    QTest::addColumn<privileges::GrantChoice>("choice");
    QTest::addColumn<QStringList>("statements");
    GrantChoice c;
    c.object = "T1";
    c.grantee = user("U1");
    c.select = c.selectOption = true;
    c.remove = true;
    QTest::newRow("select with option, delete") << c << QStringList{"grant select on T1 to U1\n with grant option",
                                                                     "grant delete on T1 to U1"};
    c = GrantChoice{};
    c.object = "T1";
    c.grantee = user("U1");
    c.update = c.updateOption = true;
    c.updateColumns = QStringList{"C1", "C3"};
    QTest::newRow("update on two of three columns") << c << QStringList{"grant update\n(C1,C3)\n on T1 to U1\n with grant option"};
    c.updateColumns = QStringList{"C1", "C2", "C3"};
    c.allColumns = true;
    c.updateOption = false;
    QTest::newRow("update on every column") << c << QStringList{"grant update\n on T1 to U1"};
    c = GrantChoice{};
    c.object = "V1";
    c.insert = c.insertOption = true;
    c.update = c.updateOption = true;
    c.updateColumns = QStringList{"C1"};
    for (auto [type, label] : {std::pair{GranteeType::View, "view V2"}, std::pair{GranteeType::Trigger, "trigger TR1"},
                               std::pair{GranteeType::Procedure, "procedure P1"}}) {
        c.grantee = {type, QString::fromLatin1(label).section(' ', 1)};
        QTest::newRow(label) << c << QStringList{QString("grant insert on V1 to %1").arg(label),
                                                 QString("grant update\n(C1)\n on V1 to %1").arg(label)};
    }
}

void TestPrivilegeList::grantTexts()
{
    QFETCH(privileges::GrantChoice, choice);
    QFETCH(QStringList, statements);
    QStringList texts;
    for (const GrantStatement &s : grantStatements(choice))
        texts << s.lines.join('\n');
    QCOMPARE(texts, statements);
}

void TestPrivilegeList::revokeTexts_data()
{
    QTest::addColumn<privileges::PrivilegeRow>("row");
    QTest::addColumn<bool>("optionOnly");
    QTest::addColumn<QString>("grantedBy");
    QTest::addColumn<QString>("statement");
    QTest::newRow("column, grant option only") << row("U1", 8, "SYSDBA", 'U', 1, "T1", "C1") << true << QString()
                                               << "Revoke\ngrant option for \nUpdate(C1) on T1 from U1";
    QTest::newRow("procedure") << row("U2", 8, "SYSDBA", 'X', 0, "P1", {}, 5) << false << QString()
                               << "Revoke\nExecute on procedure P1 from U2";
    QTest::newRow("view") << row("V1", 1, "SYSDBA", 'S', 0, "T1") << false << QString() << "Revoke\nSelect on T1 from view V1";
    QTest::newRow("trigger") << row("TR1", 2, "SYSDBA", 'S', 0, "T2") << false << QString()
                             << "Revoke\nSelect on T2 from trigger TR1";
    QTest::newRow("procedure grantee") << row("P1", 5, "SYSDBA", 'S', 0, "T1") << false << QString()
                                       << "Revoke\nSelect on T1 from procedure P1";
    QTest::newRow("role") << row("R1", 13, "SYSDBA", 'S', 0, "T1") << false << QString() << "Revoke\nSelect on T1 from role R1";
    QTest::newRow("another grantor") << row("U2", 8, "U1", 'S', 0, "T1") << false << "U1"
                                     << "Revoke\nSelect on T1 from U2\n granted by U1";
}

void TestPrivilegeList::revokeTexts()
{
    QFETCH(privileges::PrivilegeRow, row);
    QFETCH(bool, optionOnly);
    QFETCH(QString, grantedBy);
    QFETCH(QString, statement);
    QCOMPARE(revokeStatement(row, *granteeOfRow(row.userType, row.user), optionOnly, grantedBy).join('\n'), statement);
    QCOMPARE(executeGrantStatement("P1", user("U1"), true).join('\n'), QString("Grant\nExecute on procedure P1 to U1\n with grant option"));
    QCOMPARE(executeGrantStatement("P1", {GranteeType::Trigger, "TR1"}, true).join('\n'),
             QString("Grant\nExecute on procedure P1 to trigger TR1"));
    // A grantee of any other type is refused rather than guessed.
    QVERIFY(!granteeOfRow(15, "F1"));
}

void TestPrivilegeList::namesThatAreNotPlainAreRefused_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("grantee");
    QTest::addColumn<QString>("column");
    QTest::newRow("grantee list") << "T1" << "U6,PUBLIC" << "C1";
    QTest::newRow("object with blank") << "T1 to PUBLIC --" << "U1" << "C1";
    QTest::newRow("column") << "T1" << "U1" << "C1) on T2 to U1 --";
}

void TestPrivilegeList::namesThatAreNotPlainAreRefused()
{
    QFETCH(QString, object);
    QFETCH(QString, grantee);
    QFETCH(QString, column);
    GrantChoice c;
    c.object = object;
    c.grantee = user(grantee);
    c.select = c.update = true;
    c.updateColumns = QStringList{column};
    QVERIFY_THROWS_EXCEPTION(engine::Error, grantStatements(c));
    if (QTest::currentDataTag() != QLatin1String("column"))
        QVERIFY_THROWS_EXCEPTION(engine::Error, executeGrantStatement(object, user(grantee), false));
    QVERIFY_THROWS_EXCEPTION(engine::Error, revokeStatement(row(grantee, 8, "SYSDBA", 'U', 0, object, column), user(grantee), false));
}

void TestPrivilegeList::groupModeCalls()
{
    GrantChoice c;
    c.object = "T1";
    c.select = c.selectOption = true;
    c.update = true;
    c.updateColumns = QStringList{"C1", "C3"};
    const QVector<GroupGrantCall> perColumn{{true, true, "Select", {}},  {false, false, "Delete", {}},
                                            {false, false, "Insert", {}}, {true, false, "Update", "C1"},
                                            {true, false, "Update", "C3"}};
    QCOMPARE(groupGrantCalls(c), perColumn);
    c.allColumns = true;
    QCOMPARE(groupGrantCalls(c).last(), (GroupGrantCall{true, false, "Update", {}}));
    QCOMPARE(groupGrantCalls(c).size(), 4);
}

DUNMOOR_TEST_MAIN(TestPrivilegeList)
#include "tst_privilegelist.moc"
