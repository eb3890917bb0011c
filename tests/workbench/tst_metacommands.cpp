// The browser's plain logic: DDL texts, the names they refuse, generator
// values, the "New" templates and the incremental-search prefix.
#include "engine/Error.h"
#include <QObject>
#include "workbench/MetaCommands.h"

#include <QTest>
#include <functional>

using namespace metacmd;

Q_DECLARE_METATYPE(std::function<QStringList()>)

class TestMetaCommands : public QObject {
    Q_OBJECT
private slots:
    void statements_data();
    void statements();
    void refused_data();
    void refused();
    void templates_data();
    void templates();
    void searchPrefix_data();
    void searchPrefix();
};

using Build = std::function<QStringList()>;

void TestMetaCommands::statements_data()
{
    QTest::addColumn<Build>("build");
    QTest::addColumn<QStringList>("expected");
    auto one = [](std::function<QString()> f) { return Build([f] { return QStringList{f()}; }); };
    QTest::newRow("drop udf") << one([] { return dropStatement(Dropped::Udf, "F1"); })
                              << QStringList{"drop external function F1"};
    QTest::newRow("drop generator") << one([] { return dropStatement(Dropped::Generator, "G1"); })
                                    << QStringList{"drop generator G1"};
    QTest::newRow("drop procedure") << one([] { return dropStatement(Dropped::Procedure, "P$1"); })
                                    << QStringList{"drop procedure P$1"};
    QTest::newRow("drop column") << one([] { return dropColumnStatement("T", "C"); }) << QStringList{"alter table T drop C"};
    QTest::newRow("one blank before the constraint")
        << one([] { return dropConstraintStatement("T", "UQ_T"); }) << QStringList{"alter table T drop constraint UQ_T"};
    QTest::newRow("index off") << one([] { return indexStateStatement("IX", false); }) << QStringList{"alter index IX InActive"};
    QTest::newRow("balance ends active") << Build([] { return balanceStatements("IX"); })
                                         << QStringList{"alter index IX InActive", "alter index IX Active"};
    QTest::newRow("statistics") << one([] { return statisticsStatement("IX"); }) << QStringList{"set statistics index IX"};
    QTest::newRow("trigger on") << one([] { return triggerStateStatement("TR", true); }) << QStringList{"alter trigger TR Active"};
    QTest::newRow("generator value trimmed")
        << one([] { return setGeneratorStatement("G", " -42 "); }) << QStringList{"set generator G to -42"};
    QTest::newRow("generator 64-bit") << one([] { return setGeneratorStatement("G", "9223372036854775807"); })
                                      << QStringList{"set generator G to 9223372036854775807"};
    QTest::newRow("add column, type as typed")
        << one([] { return addColumnStatement("T", "C2", "varchar(10) not null"); })
        << QStringList{"alter table T add C2 varchar(10) not null"};
    QTest::newRow("copy name cut to 31") << one([] { return copyColumnName(QString(40, 'X')); })
                                         << QStringList{QString(31, 'X')};
}

void TestMetaCommands::statements()
{
    QFETCH(Build, build);
    QFETCH(QStringList, expected);
    QCOMPARE(build(), expected);
}

void TestMetaCommands::refused_data()
{
    QTest::addColumn<Build>("build");
    QTest::addColumn<QString>("named");
    auto one = [](std::function<QString()> f) { return Build([f] { return QStringList{f()}; }); };
    QTest::newRow("name with a blank") << one([] { return dropStatement(Dropped::Table, "T1 cascade"); }) << "T1 cascade";
    QTest::newRow("comment in a column") << one([] { return dropColumnStatement("T", "A--"); }) << "A--";
    QTest::newRow("second statement") << one([] { return triggerStateStatement("TR;DROP", true); }) << "TR;DROP";
    QTest::newRow("quoted target") << one([] { return copyColumnStatement("T", "\"B\"", "A"); }) << "\"B\"";
    QTest::newRow("generator fraction") << one([] { return setGeneratorStatement("G", "1.5"); }) << "1.5";
    QTest::newRow("generator text") << one([] { return setGeneratorStatement("G", "1; drop table T"); })
                                    << "1; drop table T";
    QTest::newRow("generator beyond 64 bits") << one([] { return setGeneratorStatement("G", "9223372036854775808"); })
                                              << "9223372036854775808";
    // A command with no object, and names the server would read as others.
    QTest::newRow("copy without target") << one([] { return copyColumnStatement("T", "", "A"); }) << "\"\"";
    QTest::newRow("index of a table without one") << one([] { return indexStateStatement("", false); }) << "\"\"";
    QTest::newRow("mixed case") << one([] { return dropStatement(Dropped::Table, "MixedCase"); })
                                << "\"MixedCase\" differs from its upper case: a dialect-1 statement would name "
                                   "MIXEDCASE instead";
    QTest::newRow("lower-case column") << one([] { return dropColumnStatement("T", "Col"); }) << "\"Col\"";
    QTest::newRow("reserved word") << one([] { return dropStatement(Dropped::View, "ORDER"); })
                                   << "\"ORDER\" is a reserved word";
    QTest::newRow("index template on a quoted table")
        << Build([] { return newTemplate(NewObject::Index, "MixedCase").lines; }) << "\"MixedCase\"";
}

void TestMetaCommands::refused()
{
    QFETCH(Build, build);
    QFETCH(QString, named);
    try {
        build();
        QFAIL("no error");
    } catch (const engine::Error &e) {
        QVERIFY2(e.message().contains(named), qPrintable(e.message()));
    }
}

void TestMetaCommands::templates_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("textPage");
    QTest::newRow("domain") << int(NewObject::Domain) << QStringList{"create domain MyDomain as "} << 14 << false;
    QTest::newRow("table") << int(NewObject::Table) << QStringList{"create table MyTable ( )"} << 13 << true;
    QTest::newRow("index") << int(NewObject::Index) << QStringList{"create index MyIndex on T1", "()"} << 13 << true;
    QTest::newRow("generator") << int(NewObject::Generator) << QStringList{"create generator MyGen"} << 17 << true;
    QTest::newRow("udf") << int(NewObject::Udf)
                         << QStringList{"declare external function MyFun MyType", "returns MyType [BY VALUE] ",
                                        "ENTRY_POINT \"MyEntryname\"", "MODULE_NAME \"MyModulename\""}
                         << 26 << true;
    QTest::newRow("view") << int(NewObject::View) << QStringList{"create view MyView as select ..."} << 12 << true;
    QTest::newRow("exception") << int(NewObject::Exception) << QStringList{"create exception MyException \"MyMessage\""}
                               << 17 << true;
    QTest::newRow("constraint") << int(NewObject::Constraint)
                                << QStringList{"alter table T1", "add constraint MyConstraint"} << -1 << true;
}

void TestMetaCommands::templates()
{
    QFETCH(int, kind);
    QFETCH(QStringList, lines);
    QFETCH(int, caret);
    QFETCH(bool, textPage);
    const Template t = newTemplate(NewObject(kind), "T1");
    QCOMPARE(t.lines, lines);
    QCOMPARE(t.caret, caret);
    QCOMPARE(t.showsTextPage, textPage);
    if (caret >= 0) // the caret stands before the placeholder name
        QVERIFY(lines.first().mid(caret).startsWith("My"));
}

void TestMetaCommands::searchPrefix_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("reset");
    QTest::newRow("letters upper-cased") << "ab" << "AB" << false;
    QTest::newRow("digits and signs as typed") << "a1$" << "A1$" << false;
    QTest::newRow("control characters kept") << QString("a\rb") << QString("A\rB") << false;
    QTest::newRow("no other letters changed") << QString::fromUtf8("aé") << QString::fromUtf8("Aé") << false;
    QTest::newRow("escape empties") << QString("ab\x1b") << "" << true;
    QTest::newRow("typing after escape") << QString("ab\x1b" "c") << "C" << false;
}

void TestMetaCommands::searchPrefix()
{
    QFETCH(QString, keys);
    QFETCH(QString, prefix);
    QFETCH(bool, reset);
    QString p;
    bool last = false;
    for (QChar c : keys)
        last = applySearchKey(p, c);
    QCOMPARE(p, prefix);
    QCOMPARE(last, reset);
}

QTEST_GUILESS_MAIN(TestMetaCommands)
#include "tst_metacommands.moc"
