// The editors' text logic without a window: templates, the ALTER texts
// rebuilt from catalogue values, the loader's debug-block step, server error
// lines mapped onto the editor, typed line numbers and the letter search.

#include "support/TestMain.h"
#include "workbench/ProcText.h"

#include <QTest>

using namespace proctext;

class TestProcText : public QObject {
    Q_OBJECT
private slots:
    void blankLines_data();
    void blankLines();
    void debugBlocks_data();
    void debugBlocks();
    void procedureText_data();
    void procedureText();
    void triggerText_data();
    void triggerText();
    void errorLines_data();
    void errorLines();
    void lineNumbers_data();
    void lineNumbers();
    void letterSearch_data();
    void letterSearch();
    void templates();
};

void TestProcText::blankLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("blank");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blanks") << "    " << true;
    QTest::newRow("tab is text") << "\t" << false;
    QTest::newRow("text") << "  x " << false;
}

void TestProcText::blankLines()
{
    QFETCH(QString, line);
    QFETCH(bool, blank);
    QCOMPARE(IsBlankLine(line), blank);
}

void TestProcText::debugBlocks_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("loaded");
    QTest::newRow("plain source, blank lines kept, CR LF ends")
        << "begin\r\n\r\n   \r\n  x = 1;\r\nend" << QStringList{"begin", "", "   ", "  x = 1;", "end"};
    QTest::newRow("final line break kept") << "begin\nend\n" << QStringList{"begin", "end", ""};
    QTest::newRow("blank lines inside a block go with it")
        << "begin\n/* META GEN$1*/\n\nmeta$dummy = gen_id(meta$gen1, 1);\n/* END META */\n\nend"
        << QStringList{"begin", "/*$1*/", "", "end"};
    QTest::newRow("generated declarations vanish")
        << "/* META VARIABLE */\ndeclare variable meta$num integer;\ndeclare variable meta$dummy integer;\n"
           "/* END META */\ndeclare variable A integer;\nbegin\nend"
        << QStringList{"declare variable A integer;", "begin", "end"};
    QTest::newRow("break block back to its marker")
        << "begin\n/* META BP@BP1*/\nmeta$dummy = gen_id(meta$CodeGen, 1);\n/* END META */\nend"
        << QStringList{"begin", "/*@BP1*/", "end"};
    QTest::newRow("trace block back to its marker")
        << "/* META TP#T 2*/\ninsert into x values (1);\n/* END META */" << QStringList{"/*#T 2*/"};
    QTest::newRow("progress block back to its marker")
        << "/* META GEN$1*/\nmeta$dummy = gen_id(meta$gen1, 1);\n/* END META */\nsuspend;"
        << QStringList{"/*$1*/", "suspend;"};
    QTest::newRow("empty source") << "" << QStringList{};
}

void TestProcText::debugBlocks()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, loaded);
    bool inBlock = false;
    QCOMPARE(SourceLines(stored, inBlock), loaded);
    QVERIFY(!inBlock);
}

void TestProcText::procedureText_data()
{
    QTest::addColumn<QVector<Param>>("in");
    QTest::addColumn<QVector<Param>>("out");
    QTest::addColumn<QStringList>("text");
    const QString source = "begin\n\n  suspend;\nend";
    QTest::newRow("no parameters") << QVector<Param>{} << QVector<Param>{}
                                   << QStringList{"ALTER PROCEDURE P ", "AS ", "begin", "", "  suspend;", "end"};
    QTest::newRow("one in, one out")
        << QVector<Param>{{"A", "INTEGER"}} << QVector<Param>{{"R", "VARCHAR(10)"}}
        << QStringList{"ALTER PROCEDURE P ", "  (A INTEGER) ", "  RETURNS (R VARCHAR(10))", "AS ", "begin", "",
                       "  suspend;", "end"};
    QTest::newRow("two in, no out")
        << QVector<Param>{{"A", "INTEGER"}, {"B", "NUMERIC(15,2)"}} << QVector<Param>{}
        << QStringList{"ALTER PROCEDURE P ", "  (A INTEGER, B NUMERIC(15,2)) ", "AS ", "begin", "", "  suspend;",
                       "end"};
    QTest::newRow("outputs only")
        << QVector<Param>{} << QVector<Param>{{"X", "DATE"}, {"Y", "CHAR(1)"}}
        << QStringList{"ALTER PROCEDURE P ", "  RETURNS (X DATE, Y CHAR(1))", "AS ", "begin", "", "  suspend;",
                       "end"};
}

void TestProcText::procedureText()
{
    QFETCH(QVector<Param>, in);
    QFETCH(QVector<Param>, out);
    QFETCH(QStringList, text);
    bool inBlock = false;
    QCOMPARE(BuildProcedureText("P", in, out, "begin\n\n  suspend;\nend", inBlock), text);
}

void TestProcText::triggerText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("inactive");
    QTest::addColumn<QString>("typeLine");
    QTest::addColumn<QString>("activeLine");
    QTest::newRow("1") << 1 << 0 << "BEFORE INSERT" << "ACTIVE";
    QTest::newRow("2") << 2 << 1 << "AFTER INSERT" << "INACTIVE";
    QTest::newRow("3") << 3 << 0 << "BEFORE UPDATE" << "ACTIVE";
    QTest::newRow("4") << 4 << 0 << "AFTER UPDATE" << "ACTIVE";
    QTest::newRow("5") << 5 << 0 << "BEFORE DELETE" << "ACTIVE";
    QTest::newRow("6") << 6 << 0 << "AFTER DELETE" << "ACTIVE";
    QTest::newRow("before insert or update") << 17 << 0 << "BEFORE INSERT OR UPDATE" << "ACTIVE";
    QTest::newRow("after update or delete") << 28 << 0 << "AFTER UPDATE OR DELETE" << "ACTIVE";
    QTest::newRow("before all three") << 113 << 0 << "BEFORE INSERT OR UPDATE OR DELETE" << "ACTIVE";
    QTest::newRow("on connect") << 8192 << 0 << "/* ON CONNECT */" << "ACTIVE";
    QTest::newRow("unknown kept as a comment") << 7 << 0 << "/* TYPE 7 */" << "ACTIVE";
}

void TestProcText::triggerText()
{
    QFETCH(int, type);
    QFETCH(int, inactive);
    QFETCH(QString, typeLine);
    QFETCH(QString, activeLine);
    bool inBlock = false;
    QCOMPARE(BuildTriggerText("T1", "EMP", type, inactive, 3, "AS\n  \nbegin\nend", inBlock),
             (QStringList{"ALTER TRIGGER T1 /* FOR EMP */", activeLine, typeLine, "POSITION 3", "AS", "  ", "begin",
                          "end"}));
}

void TestProcText::errorLines_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("shown");
    QTest::newRow("compile error") << "Dynamic SQL Error\n-Token unknown - line 5, column 10\n-x" << 1 << true << 4
                                   << "Dynamic SQL Error\n-Token unknown - line 4, column 10\n-x";
    QTest::newRow("run-time error") << "exception 1\n-At procedure 'P' line: 15, col: 1" << 1 << true << 14
                                    << "exception 1\n-At procedure 'P' line: 14, col: 1";
    QTest::newRow("sql page keeps the number") << "Token unknown - line 3, column 1" << 0 << true << 3
                                               << "Token unknown - line 3, column 1";
    QTest::newRow("no line") << "lock conflict on no wait transaction" << 1 << false << 0
                             << "lock conflict on no wait transaction";
    QTest::newRow("comma before line, no number") << "a, b: deadline passed" << 1 << false << 0
                                                  << "a, b: deadline passed";
    QTest::newRow("a name holding line is passed by")
        << "At procedure 'LINEAR', skipped: line 7, column 2" << 1 << true << 6
        << "At procedure 'LINEAR', skipped: line 6, column 2";
    QTest::newRow("huge number leaves the message as it is")
        << "line 99999999999999999999, column 1" << 1 << false << 0 << "line 99999999999999999999, column 1";
}

void TestProcText::errorLines()
{
    QFETCH(QString, message);
    QFETCH(int, offset);
    QFETCH(bool, found);
    QFETCH(int, line);
    QFETCH(QString, shown);
    const ErrorLine r = MapErrorLine(message, offset);
    QCOMPARE(r.found, found);
    if (found)
        QCOMPARE(r.line, line);
    QCOMPARE(r.message, shown);
}

void TestProcText::lineNumbers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << int(LineCheck::Empty) << "";
    QTest::newRow("ok") << "3" << int(LineCheck::Ok) << "";
    QTest::newRow("last line") << "5" << int(LineCheck::Ok) << "";
    QTest::newRow("letters") << "3a" << int(LineCheck::NotANumber) << "Incorrect line number.";
    QTest::newRow("negative") << "-1" << int(LineCheck::Negative) << "Line number < 0";
    QTest::newRow("past the end") << "6" << int(LineCheck::PastEnd) << "There is no line #6";
}

void TestProcText::lineNumbers()
{
    QFETCH(QString, typed);
    QFETCH(int, check);
    QFETCH(QString, message);
    int line = -1;
    const LineCheck c = CheckLineNumber(typed, 5, &line);
    QCOMPARE(int(c), check);
    QCOMPARE(LineCheckMessage(c, typed), message);
    if (c == LineCheck::Ok)
        QCOMPARE(line, typed.toInt());
}

void TestProcText::letterSearch_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("row");
    // The list as the catalogue orders it.
    QTest::newRow("from the first row") << 0 << "PR" << 2;
    QTest::newRow("never backwards") << 3 << "PR" << 3;
    QTest::newRow("past every name: the last row") << 0 << "ZZ" << 4;
    QTest::newRow("exact name") << 0 << "PROC_B" << 3;
    QTest::newRow("empty prefix stays") << 1 << "" << 1;
}

void TestProcText::letterSearch()
{
    QFETCH(int, current);
    QFETCH(QString, prefix);
    QFETCH(int, row);
    const QStringList names{"A1", "P1", "PROC_A", "PROC_B", "X"};
    QCOMPARE(SearchForward(names, current, prefix), row);
    QCOMPARE(SearchForward({}, 0, prefix), -1);
}

void TestProcText::templates()
{
    QCOMPARE(InitialProcedureText(),
             (QStringList{"/*$1*/" + QString(37, ' ') + "<-- PP    (allowable values after $ : 1..10)",
                          "   Important: Comments MUST start from the first position."}));
    QCOMPARE(ProcedureTemplate(), (QStringList{"CREATE PROCEDURE MyProc ()", "  RETURNS () ", "AS ", "begin ", " ",
                                               "end "}));
    QCOMPARE(TriggerTemplate(),
             (QStringList{"CREATE TRIGGER MyTrig FOR MyTable", "[ACTIVE | INACTIVE]", "{BEFORE | AFTER}",
                          "{DELETE | INSERT | UPDATE}", "[POSITION number]", "AS", "begin", " ", "end"}));
}

DUNMOOR_TEST_MAIN(TestProcText)
#include "tst_proctext.moc"
