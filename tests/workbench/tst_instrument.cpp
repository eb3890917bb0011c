// The debug instrumenter: line tests, the generated blocks, whole texts in
// the three modes, and instrumented procedures compiled and run in Firebird.
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/SqlParams.h"
#include "engine/Statement.h"
#include "platform/Prompter.h"
#include "support/TestMain.h"
#include "workbench/DebugRun.h"
#include "workbench/Instrument.h"
#include "workbench/ProcText.h"
#include "workbench/Repository.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>
#include <thread>

using namespace instrument;
using platform::Prompter;
using platform::ScriptedPrompter;
using testsupport::debugFolder;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;

Q_DECLARE_METATYPE(instrument::Mode)

namespace {

// Watched variables from names and one letter each for their kinds: "O"
// other, "F" fixed text, "V" varying text; missing letters are "O".
QList<Watched> watchedOf(const QStringList &names, const QString &kinds = QString())
{
    QList<Watched> w;
    for (int i = 0; i < names.size(); ++i) {
        const QChar k = i < kinds.size() ? kinds.at(i) : QChar('O');
        w << Watched{names[i], k == 'F' ? TextKind::Fixed : k == 'V' ? TextKind::Varying : TextKind::Other};
    }
    return w;
}

// The recording lines every hit writes, up to the flushing reads.
QStringList hitLines(const QString &tag, const QString &id, const QString &obj, const QString &counter,
                     const QString &hit, const QString &values, const QStringList &vars)
{
    QStringList b{tag + id + "*/",
                  "meta$dummy = gen_id(meta$CodeGen, 1);",
                  "update meta$gens set GenValue = GenValue + 1 where UserName = User and ProcName = \"" + obj
                      + "\" and GenID = \"" + counter + "\" returning GenValue into ::meta$num;",
                  "insert into " + hit
                      + " values (::meta$dummy, USER, (select first 1 SessionNum from meta$session where UserName = "
                        "User order by SessionNum desc), \""
                      + obj + "\", \"" + id + "\", ::meta$num);"};
    if (!vars.isEmpty()) {
        QString names, casts;
        for (int i = 0; i < vars.size(); ++i) {
            names += QString(", %1, \"%2\"").arg(i + 1).arg(vars[i]);
            casts += QString(", %1, cast(::%2 as varchar(255))").arg(i + 1).arg(vars[i]);
        }
        b << "meta$num = 0;" << QString("while (meta$num < %1) do").arg(vars.size()) << "begin"
          << "  meta$num = meta$num + 1;"
          << "  insert into " + values + " values (gen_id(meta$CodeGen, 1), ::meta$dummy, decode(::meta$num" + names
                 + "), decode(::meta$num" + casts + "));"
          << "end";
    }
    b << "select first 1 Code from " + values + " where Code = -1 into ::meta$num;";
    b << "select first 1 Code from " + hit + " where Code = -1 into ::meta$num;";
    return b;
}

QStringList traceLines(const QString &id, const QString &obj, const QStringList &vars)
{
    return hitLines("/* META TP#", id, obj, "TPNUM", "META$MTTP", "META$MTTPV", vars) << "/* END META */";
}

// The wait for the answers on the session row the debugger holds.
const QStringList kWaitLines{
    "  begin",
    "    in autonomous transaction do",
    "      update meta$session set SessionNum = SessionNum where UserName = User and SessionNum < 0;",
    "    when gdscode deadlock, gdscode lock_timeout, gdscode lock_conflict, gdscode update_conflict do",
    "      meta$num = 0;",
    "  end",
    "end"};

QStringList breakLines(const QString &id, const QString &obj, const QStringList &vars, const QString &kinds = {})
{
    QStringList b = hitLines("/* META BP@", id, obj, "BPNUM", "META$MTBP", "META$MTBPV", vars);
    b << "meta$num = 0;" << QString("while (meta$num < %1) do").arg(vars.size());
    if (vars.isEmpty())
        b << "  select count(*) from meta$mtbpa where MTCode = ::meta$dummy into ::meta$num;";
    else
        b << "begin" << "  select count(*) from meta$mtbpa where MTCode = ::meta$dummy into ::meta$num;"
          << QString("  if (meta$num < %1) then").arg(vars.size()) << kWaitLines;
    if (!vars.isEmpty()) {
        b << "for select VarName, VarValue from META$MTBPA where MTCode = ::meta$dummy into ::meta$name, "
             "::meta$value do"
          << "begin";
        for (const Watched &v : watchedOf(vars, kinds))
            b << "  if (meta$name = \"" + v.name + "\") then " + v.name + " = "
                    + (v.kind == TextKind::Fixed     ? QString("meta$value")
                       : v.kind == TextKind::Varying ? QString("trim(trailing from meta$value)")
                                                     : QString("nullif(trim(trailing from meta$value), \"\")"))
                    + ";";
        b << "end";
    }
    return b << "/* END META */";
}

const QStringList kDecl{"/* META VARIABLE */",
                        "declare variable meta$num integer;",
                        "declare variable meta$dummy integer;",
                        "declare variable meta$name char(31);",
                        "declare variable meta$value char(255);",
                        "/* END META */"};

// What the editor loader makes of a stored text.
QStringList loadBack(const QStringList &stored)
{
    bool inBlock = false;
    return proctext::SourceLines(stored.join('\n'), inBlock);
}

// A test database with the repository and the debug tables, a session row
// and the counter rows of one object, as a debug save leaves them.
struct DebugDb {
    TestDatabase t;
    std::unique_ptr<engine::Database> db = t.connect("SYSDBA", "UserDB");
    explicit DebugDb(const QString &object)
    {
        engine::Statement q6(db.get()), q7(db.get());
        Repository r(*db, q6, q7);
        ScriptedPrompter p;
        platform::ScopedPrompter sp(p);
        p.answer(Prompter::Answer::Yes);
        r.ensure([](int) {});
        exec(*db, QString("insert into meta$External values (\"%1\")").arg(debugFolder()));
        if (!r.createDebugTables())
            qFatal("debug tables: %s", qPrintable(p.texts().join("\n")));
        exec(*db, "insert into meta$session values (\"SYSDBA\", 1)");
        exec(*db, "insert into meta$gens values (\"SYSDBA\", \"" + object + "\", \"BPNUM\", 0)");
        exec(*db, "insert into meta$gens values (\"SYSDBA\", \"" + object + "\", \"TPNUM\", 0)");
    }
    // Sends the save text as the save statement does (parameter parsing on).
    void compile(const Instrumenter &ins)
    {
        for (const QString &s : ins.pointInserts())
            exec(*db, s);
        engine::Statement save(db.get());
        save.setSql(ins.lines());
        save.execute();
    }
};

// A procedure with two watched variables, colons in code, in a string and
// in comments, and one marker line.
QStringList procedureText(const QString &marker)
{
    return {"CREATE PROCEDURE DBGP (A INTEGER)",
            "  RETURNS (R INTEGER, S VARCHAR(20))",
            "AS",
            "declare variable x integer;",
            "declare variable t varchar(20);",
            "begin",
            "  /* time: 12:00 */",
            "  x = A + 1; -- note: one more",
            "  t = 'a:b';",
            marker,
            "  select :x from rdb$database into :R;",
            "  S = t;",
            "  suspend;",
            "end"};
}

// Waits for the newest break hit and answers it with the given name and
// value pairs; 0 when none came or it did not carry one value per answer.
int answerBreakWith(engine::Database &poller, const QList<QPair<QString, QString>> &answers)
{
    int code = 0;
    QElapsedTimer waited;
    waited.start();
    while (code == 0 && waited.elapsed() < 30000) {
        code = scalar(poller, "select max(Code) from META$MTBP").toInt();
        if (code == 0)
            QThread::msleep(50);
    }
    const bool seen = code != 0;
    if (!seen) // free the waiting procedure anyway: its hit numbered before its values
        code = scalar(poller, "select gen_id(meta$CodeGen, 0) from rdb$database").toInt() - int(answers.size());
    else if (scalar(poller, QString("select count(*) from META$MTBPV where MTCode = %1").arg(code)).toInt()
             != answers.size())
        return 0;
    for (const auto &a : answers)
        exec(poller, QString("insert into META$MTBPA values (gen_id(meta$CodeGen, 1), %1, \"%2\", \"%3\")")
                         .arg(code)
                         .arg(a.first, a.second));
    return seen ? code : 0;
}

int answerBreak(engine::Database &poller, const QString &x, const QString &t)
{
    return answerBreakWith(poller, {{"x", x}, {"t", t}});
}

// A procedure saved plain from the editor's lines, as the save command
// sends it.
void savePlain(engine::Database &db, const QStringList &editor, bool stored, const QString &lineEnd)
{
    Instrumenter ins(Mode::Plain, QString(), "SP", stored);
    ins.setLineEnd(lineEnd);
    for (const QString &l : editor)
        ins.InstrumentLine(l);
    engine::Statement save(&db);
    save.setSql(ins.lines());
    save.execute();
}

QString storedSource(engine::Database &db, const QString &procedure)
{
    return scalar(db, "select rdb$procedure_source from rdb$procedures where rdb$procedure_name = \"" + procedure
                          + "\"")
        .toString();
}

// A procedure with count markers of one kind and watched integers.
QStringList manyPoints(const QString &marker, int count, int watched)
{
    QStringList t{"CREATE PROCEDURE CTX RETURNS (R INTEGER)", "AS"};
    for (int i = 0; i < watched; ++i)
        t << QString("declare variable v%1 integer;").arg(i);
    t << "begin";
    for (int i = 0; i < count; ++i)
        t << marker.arg(i);
    t << "  R = 1;" << "end";
    return t;
}

} // namespace

class TestInstrument : public QObject {
    Q_OBJECT
private slots:
    void doubleColons_data();
    void doubleColons();
    void lineTests_data();
    void lineTests();
    void declarations_data();
    void declarations();
    void pointIds_data();
    void pointIds();
    void createToAlter_data();
    void createToAlter();
    void blocks();
    void pointInsert();
    void wholeText_data();
    void wholeText();
    void roundTrip_data();
    void roundTrip();
    void traceHitVisibleWhileRunning();
    void breakAnsweredFromOtherConnection();
    void breakWaitsOnTheDebuggersLatch();
    void breakWithEmptyAnswersContinues();
    void breakAnsweredFromOtherProcess();
#ifdef DUNMOOR_WITH_SERVER
    void breakAnsweredThroughLoopbackServer();
#endif
    void storedSourceLoadsBackAsTyped();
    void varyingAnswersComeBackUnpadded();
    void pointsPerProcedure_data();
    void pointsPerProcedure();
    void lineMap_data();
    void lineMap();
    void runErrorNamesTheEditorLine();
    void plainOpenAndSaveKeepsTheSource_data();
    void plainOpenAndSaveKeepsTheSource();
    void triggerTraceRecordsEachRow();
};

void TestInstrument::doubleColons_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("code") << QStringList{"select a from t into :a, :b;"} << QStringList{"select a from t into ::a, ::b;"};
    QTest::newRow("no colon") << QStringList{"begin"} << QStringList{"begin"};
    QTest::newRow("single quotes") << QStringList{"x = 'a:b' || :y;"} << QStringList{"x = 'a:b' || ::y;"};
    QTest::newRow("double quotes") << QStringList{"x = \"12:00\";"} << QStringList{"x = \"12:00\";"};
    QTest::newRow("doubled quote inside") << QStringList{"x = 'it''s:' || :y;"} << QStringList{"x = 'it''s:' || ::y;"};
    QTest::newRow("line comment") << QStringList{"x = :y; -- see: z"} << QStringList{"x = ::y; -- see: z"};
    QTest::newRow("block comment over lines")
        << QStringList{"/* a: b", "c: d */ x = :y;", ":z"} << QStringList{"/* a: b", "c: d */ x = ::y;", "::z"};
    QTest::newRow("string over lines") << QStringList{"x = 'a:", "b:' || :y;"} << QStringList{"x = 'a:", "b:' || ::y;"};
    QTest::newRow("line comment ends with line") << QStringList{"-- a:", ":b"} << QStringList{"-- a:", "::b"};
}

void TestInstrument::doubleColons()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);
    LexState state;
    QStringList out;
    for (const QString &l : lines)
        out << DoubleColons(l, state);
    QCOMPARE(out, expected);
    // Whatever is doubled, the parameter parser gives the typed text back.
    QCOMPARE(engine::parseSqlParams(out.join('\n')).serverText, lines.join('\n'));
    if (lines.size() == 1)
        QCOMPARE(DoubleColons(lines.first()), expected.first());
}

void TestInstrument::lineTests_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("declare");
    QTest::addColumn<bool>("as");
    QTest::addColumn<QString>("marker"); // "@", "#", "$" or empty
    QTest::newRow("declaration") << "DECLARE VARIABLE X INTEGER;" << true << false << "";
    QTest::newRow("declare lower case in comment") << "/* we declare here */" << true << false << "";
    QTest::newRow("as") << "AS" << false << true << "";
    QTest::newRow("as lower case") << "as " << false << true << "";
    QTest::newRow("as indented") << " AS" << false << false << "";
    QTest::newRow("break") << "/*@BP1*/" << false << false << "@";
    QTest::newRow("trace") << "/*#TP1*/ rest" << false << false << "#";
    QTest::newRow("progress") << "/*$1*/" << false << false << "$";
    QTest::newRow("marker indented") << " /*@BP1*/" << false << false << "";
    QTest::newRow("ordinary comment") << "/* @BP1 */" << false << false << "";
}

void TestInstrument::lineTests()
{
    QFETCH(QString, line);
    QFETCH(bool, declare);
    QFETCH(bool, as);
    QFETCH(QString, marker);
    QCOMPARE(HasDeclare(line), declare);
    QCOMPARE(StartsWithAs(line), as);
    QCOMPARE(IsBreakPointLine(line), marker == "@");
    QCOMPARE(IsTracePointLine(line), marker == "#");
    QCOMPARE(IsProgressPointLine(line), marker == "$");
}

void TestInstrument::declarations_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("decl");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // how the answer is read back: O, F or V as in watchedOf
    QTest::newRow("variable") << "declare variable x integer;" << "x integer" << "x" << "O";
    QTest::newRow("upper case, blanks") << "DECLARE VARIABLE  CNT INTEGER ;" << "CNT INTEGER" << "CNT" << "O";
    QTest::newRow("without VARIABLE") << "declare x integer;" << "x integer" << "x" << "O";
    QTest::newRow("tab after name") << "declare variable x\tinteger;" << "x\tinteger" << "x" << "O";
    QTest::newRow("default and no semicolon") << "declare variable s varchar(10) = 'a;b'" << "s varchar(10) = 'a"
                                              << "s" << "V";
    QTest::newRow("type on next line") << "declare variable x" << "x" << "" << "O";
    QTest::newRow("comment after AS") << "/* declare */" << "re */" << "re" << "O";
    QTest::newRow("short line") << "declare" << "" << "" << "O";
    QTest::newRow("char") << "declare variable c CHAR(10);" << "c CHAR(10)" << "c" << "F";
    QTest::newRow("char with character set") << "declare variable c char character set utf8;"
                                             << "c char character set utf8" << "c" << "F";
    QTest::newRow("character varying") << "declare variable c character varying(5);" << "c character varying(5)"
                                       << "c" << "V";
    QTest::newRow("national varying, tabs") << "declare variable c\tnational\tcharacter\tvarying(5);"
                                            << "c\tnational\tcharacter\tvarying(5)" << "c" << "V";
    QTest::newRow("nchar") << "declare variable c nchar(3);" << "c nchar(3)" << "c" << "F";
    QTest::newRow("blob") << "declare variable b blob sub_type 1;" << "b blob sub_type 1" << "b" << "V";
    QTest::newRow("numeric") << "declare variable n numeric(15,2);" << "n numeric(15,2)" << "n" << "O";
    QTest::newRow("domain named like a type") << "declare variable d CHARGE_D;" << "d CHARGE_D" << "d" << "O";
}

void TestInstrument::declarations()
{
    QFETCH(QString, line);
    QFETCH(QString, decl);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QCOMPARE(ExtractVariableDecl(line), decl);
    QCOMPARE(FirstWord(ExtractVariableDecl(line)), name);
    if (!name.isEmpty())
        QCOMPARE(TextKindOf(decl.mid(name.size())), watchedOf({name}, kind).first().kind);
}

void TestInstrument::pointIds_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QString>("id");
    QTest::newRow("break") << "/*@BP1*/" << "@" << "BP1";
    QTest::newRow("blanks trimmed, rest dropped") << "/*@ loop 2 */ x = 1;" << "@" << "loop 2";
    QTest::newRow("trace") << "/*#TP1*/" << "#" << "TP1";
    QTest::newRow("progress") << "/*$10*/" << "$" << "10";
    QTest::newRow("cut at 20") << "/*@abcdefghijklmnopqrstuvwxyz*/" << "@" << "abcdefghijklmnopqrst";
    QTest::newRow("trimmed before cut") << "/*@   abcdefghijklmnopqrstuvw   */" << "@" << "abcdefghijklmnopqrst";
    QTest::newRow("no close") << "/*@BP7" << "@" << "BP7";
    QTest::newRow("empty") << "/*@*/" << "@" << "";
}

void TestInstrument::pointIds()
{
    QFETCH(QString, line);
    QFETCH(QString, marker);
    QFETCH(QString, id);
    QCOMPARE(ExtractPointId(line, marker.at(0)), id);
}

void TestInstrument::createToAlter_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("new object") << "CREATE PROCEDURE P" << false << "CREATE PROCEDURE P";
    QTest::newRow("stored") << "CREATE PROCEDURE P" << true << "ALTER PROCEDURE P";
    QTest::newRow("lower case") << "create trigger T for X" << true << "ALTER trigger T for X";
    QTest::newRow("not first") << " CREATE PROCEDURE P" << true << " CREATE PROCEDURE P";
    QTest::newRow("other line") << "begin" << true << "begin";
}

void TestInstrument::createToAlter()
{
    QFETCH(QString, line);
    QFETCH(bool, stored);
    QFETCH(QString, expected);
    QCOMPARE(CreateToAlter(line, stored), expected);
}

void TestInstrument::blocks()
{
    QCOMPARE(LeadLine(), QString(82, ' '));
    QCOMPARE(DeclarationBlock(), kDecl);
    // A break block in full, with an INTEGER and a VARCHAR watched.
    QCOMPARE(BreakBlock("BP1", "P", watchedOf({"X", "S"}, "OV")),
             (QStringList{
                 "/* META BP@BP1*/",
                 "meta$dummy = gen_id(meta$CodeGen, 1);",
                 "update meta$gens set GenValue = GenValue + 1 where UserName = User and ProcName = \"P\" and GenID = "
                 "\"BPNUM\" returning GenValue into ::meta$num;",
                 "insert into META$MTBP values (::meta$dummy, USER, (select first 1 SessionNum from meta$session where "
                 "UserName = User order by SessionNum desc), \"P\", \"BP1\", ::meta$num);",
                 "meta$num = 0;",
                 "while (meta$num < 2) do",
                 "begin",
                 "  meta$num = meta$num + 1;",
                 "  insert into META$MTBPV values (gen_id(meta$CodeGen, 1), ::meta$dummy, decode(::meta$num, 1, \"X\", 2, "
                 "\"S\"), decode(::meta$num, 1, cast(::X as varchar(255)), 2, cast(::S as varchar(255))));",
                 "end",
                 "select first 1 Code from META$MTBPV where Code = -1 into ::meta$num;",
                 "select first 1 Code from META$MTBP where Code = -1 into ::meta$num;",
                 "meta$num = 0;",
                 "while (meta$num < 2) do",
                 "begin",
                 "  select count(*) from meta$mtbpa where MTCode = ::meta$dummy into ::meta$num;",
                 "  if (meta$num < 2) then"}
                 + kWaitLines
                 + QStringList{
                 "for select VarName, VarValue from META$MTBPA where MTCode = ::meta$dummy into ::meta$name, "
                 "::meta$value do",
                 "begin",
                 "  if (meta$name = \"X\") then X = nullif(trim(trailing from meta$value), \"\");",
                 "  if (meta$name = \"S\") then S = trim(trailing from meta$value);",
                 "end",
                 "/* END META */"}));
    QCOMPARE(BreakBlock("B", "P", {}), breakLines("B", "P", {}));
    QCOMPARE(BreakBlock("B", "P", watchedOf({"A", "B", "C"}, "OFV")), breakLines("B", "P", {"A", "B", "C"}, "OFV"));
    QCOMPARE(TraceBlock("T1", "P", watchedOf({"X", "Y"})), traceLines("T1", "P", {"X", "Y"}));
    QCOMPARE(TraceBlock("T1", "P", {}).size(), 7);
    QCOMPARE(ProgressBlock("3"),
             (QStringList{"/* META GEN$3*/", "meta$dummy = gen_id(meta$gen3, 1);", "/* END META */"}));
    // A quote in an id or name cannot end the constant early.
    QVERIFY(TraceBlock("a\"b", "P", {}).at(3).contains("\"P\", \"a\"\"b\", ::meta$num);"));
}

void TestInstrument::pointInsert()
{
    QCOMPARE(PointInsert("MYPROC", {"BP1", "BP"}, "SP"),
             "insert into meta$points values (gen_id(meta$CodeGen, 1), \"MYPROC\", \"BP1\", \"BP\", \"SP\", 1)");
    QCOMPARE(PointInsert("TRG", {"x\"", "PP"}, "TR"),
             "insert into meta$points values (gen_id(meta$CodeGen, 1), \"TRG\", \"x\"\"\", \"PP\", \"TR\", 1)");
}

void TestInstrument::wholeText_data()
{
    QTest::addColumn<QStringList>("editor");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QStringList>("expected"); // after the lead line
    QTest::addColumn<QStringList>("points");   // "type id"
    QTest::addColumn<QString>("used");         // of B, T, P
    QTest::addColumn<QStringList>("watched");

    const QString O = "P";
    QTest::newRow("plain with colons")
        << QStringList{"CREATE PROCEDURE P", "AS", "declare variable x integer;", "begin", "/*@BP1*/",
                       "  select 1 from rdb$database into :x; x = ':';", "end"}
        << Mode::Plain << "SP" << true
        << QStringList{"CREATE PROCEDURE P", "AS", "declare variable x integer;", "begin", "/*@BP1*/",
                       "  select 1 from rdb$database into ::x; x = ':';", "end"}
        << QStringList{} << "" << QStringList{};
    QTest::newRow("indented marker is a comment")
        << QStringList{"AS", "begin", " /*@BP1*/ :x", "end"} << Mode::Debug << "SP" << false
        << (QStringList{"AS"} + kDecl + QStringList{"begin", " /*@BP1*/ ::x", "end"}) << QStringList{} << ""
        << QStringList{};
    QTest::newRow("break, no variable")
        << QStringList{"AS", "begin", "/*@BP1*/", "end"} << Mode::Debug << "SP" << false
        << (QStringList{"AS"} + kDecl + QStringList{"begin"} + breakLines("BP1", O, {}) + QStringList{"end"})
        << QStringList{"BP BP1"} << "B" << QStringList{};
    QTest::newRow("break, one variable")
        << QStringList{"AS", "declare variable x integer;", "begin", "/*@BP1*/ dropped", "end"} << Mode::Debug
        << "SP" << false
        << (QStringList{"AS"} + kDecl + QStringList{"declare variable x integer;", "begin"}
            + breakLines("BP1", O, {"x"}) + QStringList{"end"})
        << QStringList{"BP BP1"} << "B" << QStringList{"x"};
    QTest::newRow("break, three variables, tab")
        << QStringList{"AS", "declare variable a integer;", "DECLARE VARIABLE B\tCHAR(5);", "declare c date;",
                       "begin", "/*@ here */", "end"}
        << Mode::Debug << "SP" << false
        << (QStringList{"AS"} + kDecl
            + QStringList{"declare variable a integer;", "DECLARE VARIABLE B\tCHAR(5);", "declare c date;", "begin"}
            + breakLines("here", O, {"a", "B", "c"}, "OFO") + QStringList{"end"})
        << QStringList{"BP here"} << "B" << QStringList{"a", "B", "c"};
    QTest::newRow("trace and progress 1, 11")
        << QStringList{"AS", "declare variable x integer;", "begin", "/*#TP1*/", "/*$1*/", "/*$11*/", "end"}
        << Mode::Debug << "TR" << false
        << (QStringList{"AS"} + kDecl + QStringList{"declare variable x integer;", "begin"}
            + traceLines("TP1", O, {"x"}) + ProgressBlock("1") + ProgressBlock("11") + QStringList{"end"})
        << QStringList{"TP TP1", "PP 1", "PP 11"} << "TP" << QStringList{"x"};
    QTest::newRow("long id and no close")
        << QStringList{"AS", "begin", "/*#abcdefghijklmnopqrstuvwxyz*/", "/*@open", "end"} << Mode::Debug << "SP"
        << false
        << (QStringList{"AS"} + kDecl + QStringList{"begin"} + traceLines("abcdefghijklmnopqrst", O, {})
            + breakLines("open", O, {}) + QStringList{"end"})
        << QStringList{"TP abcdefghijklmnopqrst", "BP open"} << "BT" << QStringList{};
    QTest::newRow("indented AS gets no declarations")
        << QStringList{" AS", "begin", "/*$2*/", "end"} << Mode::Debug << "SP" << false
        << (QStringList{" AS", "begin"} + ProgressBlock("2") + QStringList{"end"}) << QStringList{"PP 2"} << "P"
        << QStringList{};
    QTest::newRow("declare in a comment after AS")
        << QStringList{"AS", "declare variable n integer;", "begin", "  -- declare nothing", "/*#T*/", "end"}
        << Mode::Debug << "SP" << false
        << (QStringList{"AS"} + kDecl + QStringList{"declare variable n integer;", "begin", "  -- declare nothing"}
            + traceLines("T", O, {"n", "lare"}) + QStringList{"end"})
        << QStringList{"TP T"} << "T" << QStringList{"n", "lare"};
    QTest::newRow("create to alter, stored")
        << QStringList{"create procedure P", "AS", "begin", "end"} << Mode::Debug << "SP" << true
        << (QStringList{"ALTER procedure P", "AS"} + kDecl + QStringList{"begin", "end"}) << QStringList{} << ""
        << QStringList{};
    QTest::newRow("create kept for a new object")
        << QStringList{"create procedure P", "AS", "begin", "end"} << Mode::Debug << "SP" << false
        << (QStringList{"create procedure P", "AS"} + kDecl + QStringList{"begin", "end"}) << QStringList{} << ""
        << QStringList{};
    QTest::newRow("strip")
        << QStringList{"CREATE PROCEDURE P", "AS", "declare variable x integer;", "begin", "/*@BP1*/", "/*#TP1*/",
                       "/*$1*/", "  x = :x;", "end"}
        << Mode::Strip << "SP" << true
        << QStringList{"ALTER PROCEDURE P", "AS", "declare variable x integer;", "begin", "  x = ::x;", "end"}
        << QStringList{} << "BTP" << QStringList{};
}

void TestInstrument::wholeText()
{
    QFETCH(QStringList, editor);
    QFETCH(Mode, mode);
    QFETCH(QString, kind);
    QFETCH(bool, stored);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, points);
    QFETCH(QString, used);
    QFETCH(QStringList, watched);

    const Instrumenter ins = InstrumentText(editor, mode, "P", kind, stored);
    QCOMPARE(ins.lines().first(), LeadLine());
    QCOMPARE(ins.lines().mid(1), expected);
    QCOMPARE(ins.text(), ins.lines().join('\n'));
    QStringList got;
    QStringList inserts;
    for (const Point &p : ins.points()) {
        got << p.type + " " + p.id;
        inserts << PointInsert("P", p, kind);
    }
    QCOMPARE(got, points);
    QCOMPARE(ins.pointInserts(), inserts);
    QCOMPARE(ins.breakPointsUsed(), used.contains('B'));
    QCOMPARE(ins.tracePointsUsed(), used.contains('T'));
    QCOMPARE(ins.progressPointsUsed(), used.contains('P'));
    QCOMPARE(ins.watchedVariables(), watched);
    QCOMPARE(ins.watchedCount(), int(watched.size()));
}

void TestInstrument::roundTrip_data()
{
    QTest::addColumn<QStringList>("editor");
    QTest::newRow("procedure") << procedureText("/*@BP1*/");
    QTest::newRow("all kinds") << QStringList{"ALTER PROCEDURE P",      "AS",         "declare variable x integer;",
                                              "begin",                  "/*@BP1*/",   ";",
                                              "/*#TP 2*/",              "/*$1*/",     "  x = :x;",
                                              "end"};
    QTest::newRow("trigger") << QStringList{"AS", "declare variable v integer;", "begin", "/*#T*/", "v = 1;", "end"};
}

void TestInstrument::roundTrip()
{
    QFETCH(QStringList, editor);
    const QStringList debug = InstrumentText(editor, Mode::Debug, "P", "SP", false).lines();
    const QStringList plain = InstrumentText(editor, Mode::Plain, "P", "SP", false).lines();
    // The loader turns the debug text back into the plain one, markers as typed.
    QCOMPARE(loadBack(debug.mid(1)), plain.mid(1));
    // Stripping drops the markers and leaves the rest as a plain save has it.
    QStringList withoutMarkers = plain;
    withoutMarkers.removeIf([](const QString &l) {
        return IsBreakPointLine(l) || IsTracePointLine(l) || IsProgressPointLine(l);
    });
    QCOMPARE(InstrumentText(editor, Mode::Strip, "P", "SP", false).lines(), withoutMarkers);
}

void TestInstrument::traceHitVisibleWhileRunning()
{
    DebugDb d("DBGP");
    const Instrumenter ins = InstrumentText(procedureText("/*#TP1*/"), Mode::Debug, "DBGP", "SP", false);
    d.compile(ins);
    QCOMPARE(scalar(*d.db, "select count(*) from meta$points where ProcName = \"DBGP\" and PID = \"TP1\" and "
                           "PType = \"TP\" and SP_T = \"SP\" and P = 1")
                 .toInt(),
             1);

    // Run inside an open transaction; another connection sees the hit at once.
    d.db->startTransaction();
    engine::Statement run(d.db.get());
    run.setSql(QStringLiteral("select R, S from DBGP(5)"));
    run.open();
    QCOMPARE(run.rows().rowCount(), 1);
    QCOMPARE(run.rows().value(0, 0).toInt(), 6);
    QCOMPARE(run.rows().text(0, 1), QStringLiteral("a:b"));

    auto other = d.t.connect("SYSDBA", "Poller");
    engine::Statement hit(other.get());
    hit.setSql(QStringLiteral("select Code, UserName, SessionNum, ProcName, TPID, TPNUM from META$MTTP"));
    hit.open();
    QCOMPARE(hit.rows().rowCount(), 1);
    QCOMPARE(hit.rows().text(0, 1), QStringLiteral("SYSDBA"));
    QCOMPARE(hit.rows().value(0, 2).toInt(), 1);
    QCOMPARE(hit.rows().text(0, 3), QStringLiteral("DBGP"));
    QCOMPARE(hit.rows().text(0, 4), QStringLiteral("TP1"));
    QCOMPARE(hit.rows().value(0, 5).toInt(), 1);
    const int code = hit.rows().value(0, 0).toInt();
    engine::Statement values(other.get());
    values.setSql(QString("select VarName, VarValue from META$MTTPV where MTCode = %1 order by Code").arg(code));
    values.open();
    QCOMPARE(values.rows().rowCount(), 2);
    QCOMPARE(values.rows().text(0, 0), QStringLiteral("x"));
    QCOMPARE(values.rows().text(0, 1), QStringLiteral("6"));
    QCOMPARE(values.rows().text(1, 0), QStringLiteral("t"));
    QCOMPARE(values.rows().text(1, 1), QStringLiteral("a:b"));
    d.db->commit();

    // A second pass counts on.
    run.open();
    QCOMPARE(scalar(*other, "select max(TPNUM) from META$MTTP").toInt(), 2);
}

namespace {
// Runs a debug-saved procedure with a break point on a connection of its own
// thread while this thread answers the break through the test database's
// embedded connection; checks the procedure ends with the answered values.
// With latched, the answering side holds the session row as the debugger
// does, the run waits for locks, and the row is let go once answered.
void breakRoundTrip(const std::function<std::unique_ptr<engine::Database>(const TestDatabase &)> &connect,
                    const QString &x, const QString &t, bool latched = false)
{
    DebugDb d("DBGP");
    d.compile(InstrumentText(procedureText("/*@BP1*/"), Mode::Debug, "DBGP", "SP", false));
    debugrun::BreakLatch latch;
    if (latched)
        QVERIFY(latch.hold(*d.db, "SYSDBA"));
    int r = 0;
    bool rNull = false;
    QString s, error;
    std::thread worker([&] {
        try {
            auto conn = connect(d.t);
            if (latched)
                conn->setLockTimeout(30);
            conn->startTransaction();
            engine::Statement run(conn.get());
            run.setSql(QStringLiteral("select R, S from DBGP(5)"));
            run.open();
            r = run.rows().value(0, 0).toInt();
            rNull = run.rows().isNull(0, 0);
            s = run.rows().text(0, 1);
            conn->commit();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
    });
    const int code = answerBreak(*d.db, x, t);
    latch.release();
    worker.join();
    QVERIFY2(code != 0, "the break hit never became visible");
    QCOMPARE(error, QString());
    if (latched) // taken again for the next hit once the block let go
        QVERIFY(latch.hold(*d.db, "SYSDBA"));
    QCOMPARE(r, x.toInt());
    // An empty answer is NULL for the INTEGER, the empty text for the VARCHAR.
    QCOMPARE(rNull, x.isEmpty());
    QCOMPARE(s.trimmed(), t);
}
} // namespace

void TestInstrument::breakAnsweredFromOtherConnection()
{
    breakRoundTrip([](const TestDatabase &t) { return t.connect("SYSDBA", "DB2"); }, "41", "c:d");
}

void TestInstrument::breakWaitsOnTheDebuggersLatch()
{
    // The block sleeps on the held session row (the run waits up to 30 s
    // for a lock) and runs on with the answers once the row is let go.
    breakRoundTrip([](const TestDatabase &t) { return t.connect("SYSDBA", "DB2"); }, "8", "k:l", true);
}

void TestInstrument::breakWithEmptyAnswersContinues()
{
    // A variable that was NULL at the break is answered empty (the tables
    // keep no NULL); the procedure must not fail converting it.
    breakRoundTrip([](const TestDatabase &t) { return t.connect("SYSDBA", "DB2"); }, "", "");
}

void TestInstrument::breakAnsweredFromOtherProcess()
{
    // The debugged procedure runs in another program on the same database
    // (the engine shares the file between processes).
    const QString isql = QStandardPaths::findExecutable("isql-fb");
    if (isql.isEmpty())
        QSKIP("isql-fb (firebird3.0-utils) is not installed");
    DebugDb d("DBGP");
    d.compile(InstrumentText(procedureText("/*@BP1*/"), Mode::Debug, "DBGP", "SP", false));
    QProcess run;
    run.start(isql, {"-q", "-sql_dialect", "1", "-user", "SYSDBA", d.t.path()});
    QVERIFY(run.waitForStarted());
    run.write("set list on;\nselect R, S from DBGP(5);\ncommit;\nquit;\n");
    QVERIFY(run.waitForBytesWritten());
    run.closeWriteChannel();
    const int code = answerBreak(*d.db, "17", "e:f");
    if (!run.waitForFinished(30000)) {
        run.kill();
        run.waitForFinished();
        QFAIL(qPrintable("the other program did not finish: " + run.readAllStandardOutput()
                         + run.readAllStandardError()));
    }
    QVERIFY2(code != 0, "the break hit never became visible");
    const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
    QVERIFY2(out.contains(QRegularExpression("R\\s+17\\b")), qPrintable(out + run.readAllStandardError()));
    QVERIFY2(out.contains(QRegularExpression("S\\s+e:f")), qPrintable(out));
}

#ifdef DUNMOOR_WITH_SERVER
void TestInstrument::breakAnsweredThroughLoopbackServer()
{
    // The procedure runs in the server process; this process answers through
    // the embedded engine on the same file.
    breakRoundTrip([](const TestDatabase &t) { return t.connectServer("SYSDBA", testsupport::serverPassword(), "DB2"); },
                   "23", "g:h");
}
#endif

void TestInstrument::storedSourceLoadsBackAsTyped()
{
    DebugDb d("DBGP");
    const QStringList typed = procedureText("/*$1*/");
    d.compile(InstrumentText(typed, Mode::Debug, "DBGP", "SP", false));
    QCOMPARE(scalar(*d.db, "select count(*) from DBGP(1)").toInt(), 1);
    QCOMPARE(scalar(*d.db, "select gen_id(meta$gen1, 0) from rdb$database").toInt(), 1);
    // The stored source starts after AS; loading it gives back the body as
    // typed, the marker included, with its colons single again.
    const QString source =
        scalar(*d.db, "select rdb$procedure_source from rdb$procedures where rdb$procedure_name = \"DBGP\"")
            .toString();
    bool inBlock = false;
    QCOMPARE(proctext::SourceLines(source, inBlock), typed.mid(3));

    // Saved plain again: the markers are comments, the colons as typed.
    QStringList altered = typed;
    altered[0] = "ALTER PROCEDURE DBGP (A INTEGER)";
    d.compile(InstrumentText(altered, Mode::Plain, "DBGP", "SP", true));
    QCOMPARE(proctext::SourceLines(scalar(*d.db, "select rdb$procedure_source from rdb$procedures where "
                                                 "rdb$procedure_name = \"DBGP\"")
                                       .toString(),
                                   inBlock),
             typed.mid(3));
    QCOMPARE(scalar(*d.db, "select S from DBGP(1)").toString(), QStringLiteral("a:b"));
    QCOMPARE(scalar(*d.db, "select gen_id(meta$gen1, 0) from rdb$database").toInt(), 1);

    // Progress point 11 has no generator: the compile fails.
    QVERIFY_THROWS_EXCEPTION(engine::Error, d.compile(InstrumentText(procedureText("/*$11*/"), Mode::Debug, "DBGP",
                                                                     "SP", true)));
}

void TestInstrument::triggerTraceRecordsEachRow()
{
    DebugDb d("TRG_T");
    exec(*d.db, "create table T (ID integer, NAME varchar(10))");
    const QStringList typed{"CREATE TRIGGER TRG_T FOR T",
                            "BEFORE INSERT",
                            "AS",
                            "declare variable n varchar(10);",
                            "begin",
                            "  n = new.NAME || ':';",
                            "/*#rows*/",
                            "end"};
    d.compile(InstrumentText(typed, Mode::Debug, "TRG_T", "TR", false));
    QCOMPARE(scalar(*d.db, "select SP_T from meta$points where ProcName = \"TRG_T\"").toString(), QStringLiteral("TR"));
    exec(*d.db, "insert into T values (1, \"a\")");
    exec(*d.db, "insert into T values (2, \"b\")");
    QCOMPARE(scalar(*d.db, "select max(TPNUM) from META$MTTP where ProcName = \"TRG_T\" and TPID = \"rows\"").toInt(),
             2);
    QCOMPARE(scalar(*d.db, "select VarValue from META$MTTPV where MTCode = (select max(Code) from META$MTTP)")
                 .toString()
                 .trimmed(),
             QStringLiteral("b:"));
    // The trigger source keeps AS; loading it gives the text after the header.
    const QString source =
        scalar(*d.db, "select rdb$trigger_source from rdb$triggers where rdb$trigger_name = \"TRG_T\"").toString();
    bool inBlock = false;
    QCOMPARE(proctext::SourceLines(source, inBlock), typed.mid(2));
}

void TestInstrument::varyingAnswersComeBackUnpadded()
{
    // Answers come from a CHAR(255) column; three short VARCHAR values
    // concatenated must fit the result as they would without the break.
    DebugDb d("VCAT");
    const QStringList typed{"CREATE PROCEDURE VCAT RETURNS (R VARCHAR(40), C VARCHAR(20))",
                            "AS",
                            "declare variable a varchar(20);",
                            "declare variable b varchar(20);",
                            "declare variable e varchar(16);",
                            "declare variable f char(5);",
                            "begin",
                            "  a = 'a'; b = 'b'; e = 'e'; f = 'f';",
                            "/*@BP1*/",
                            "  R = a || b || e;",
                            "  C = f || '|';",
                            "  suspend;",
                            "end"};
    d.compile(InstrumentText(typed, Mode::Debug, "VCAT", "SP", false));
    QString r, c, error;
    std::thread worker([&] {
        try {
            auto conn = d.t.connect("SYSDBA", "DB2");
            conn->startTransaction();
            engine::Statement run(conn.get());
            run.setSql(QStringLiteral("select R, C from VCAT"));
            run.open();
            r = run.rows().text(0, 0);
            c = run.rows().text(0, 1);
            conn->commit();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
    });
    const int code = answerBreakWith(*d.db, {{"a", "one"}, {"b", "two"}, {"e", "three"}, {"f", "ff"}});
    worker.join();
    QVERIFY2(code != 0, "the break hit never became visible");
    QCOMPARE(error, QString());
    QCOMPARE(r, QStringLiteral("onetwothree"));
    // CHAR keeps its padding, as an assignment of the same text would.
    QCOMPARE(c, QStringLiteral("ff   |"));
    // The values were recorded in the order of the declarations.
    engine::Statement values(d.db.get());
    values.setSql(QString("select VarName, VarValue from META$MTBPV where MTCode = %1 order by Code").arg(code));
    values.open();
    QCOMPARE(values.rows().rowCount(), 4);
    QCOMPARE(values.rows().text(0, 0), QStringLiteral("a"));
    QCOMPARE(values.rows().text(2, 1).trimmed(), QStringLiteral("e"));
    QCOMPARE(values.rows().text(3, 0), QStringLiteral("f"));
}

void TestInstrument::pointsPerProcedure_data()
{
    // The server allows 256 table references in one procedure; a break
    // block takes 12 (8 without watched variables), a trace block 7 (6).
    QTest::addColumn<QString>("marker");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("watched");
    QTest::addColumn<bool>("compiles");
    QTest::newRow("21 breaks, 10 watched") << "/*@B%1*/" << 21 << 10 << true;
    QTest::newRow("22 breaks") << "/*@B%1*/" << 22 << 1 << false;
    QTest::newRow("32 breaks, none watched") << "/*@B%1*/" << 32 << 0 << true;
    QTest::newRow("33 breaks, none watched") << "/*@B%1*/" << 33 << 0 << false;
    QTest::newRow("36 traces, 10 watched") << "/*#T%1*/" << 36 << 10 << true;
    QTest::newRow("37 traces") << "/*#T%1*/" << 37 << 1 << false;
    QTest::newRow("42 traces, none watched") << "/*#T%1*/" << 42 << 0 << true;
    QTest::newRow("43 traces, none watched") << "/*#T%1*/" << 43 << 0 << false;
    QTest::newRow("100 progress points") << "/*$1*/" << 100 << 2 << true;
}

void TestInstrument::pointsPerProcedure()
{
    QFETCH(QString, marker);
    QFETCH(int, count);
    QFETCH(int, watched);
    QFETCH(bool, compiles);
    DebugDb d("CTX");
    QString error;
    try {
        d.compile(InstrumentText(manyPoints(marker, count, watched), Mode::Debug, "CTX", "SP", false));
    } catch (const engine::Error &e) {
        error = e.message();
    }
    if (compiles)
        QCOMPARE(error, QString());
    else
        QVERIFY2(error.contains("Too many Contexts"), qPrintable(error));
}

void TestInstrument::lineMap_data()
{
    QTest::addColumn<QStringList>("editor");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QStringList>("now");  // the editor when the error is shown; empty: as saved
    QTest::addColumn<QString>("sent");     // the first sent line holding this text is the server's line
    QTest::addColumn<int>("expected");     // 1-based editor line

    const QStringList text{"CREATE PROCEDURE P (A INTEGER)", "AS",       "declare variable x integer;",
                           "begin",                          "/*@BP1*/", "",
                           "/*#TP1*/",                       "  x = 1/0;", "end"};
    QTest::newRow("plain: one line after the lead") << text << Mode::Plain << QStringList{} << "x = 1/0" << 8;
    QTest::newRow("debug: after two blocks") << text << Mode::Debug << QStringList{} << "x = 1/0" << 8;
    QTest::newRow("debug: inside a break block") << text << Mode::Debug << QStringList{} << "meta$mtbpa" << 5;
    QTest::newRow("debug: inside a trace block") << text << Mode::Debug << QStringList{} << "META$MTTP " << 7;
    QTest::newRow("debug: generated declarations") << text << Mode::Debug << QStringList{} << "meta$value char" << 2;
    QTest::newRow("debug: the lead line") << text << Mode::Debug << QStringList{} << QString(82, ' ') << 1;
    QTest::newRow("strip: markers dropped") << text << Mode::Strip << QStringList{} << "x = 1/0" << 8;
    // Reloaded after the save: the header rebuilt with the parameter on a
    // line of its own, the body line for line.
    const QStringList reloaded{"ALTER PROCEDURE P ", "  (A INTEGER) ", "AS ", "declare variable x integer;",
                               "begin", "/*@BP1*/", "", "/*#TP1*/", "  x = 1/0;", "end"};
    QTest::newRow("reloaded: body moves with the header") << text << Mode::Debug << reloaded << "x = 1/0" << 9;
    QTest::newRow("reloaded: block moves too") << text << Mode::Debug << reloaded << "meta$mtbpa" << 6;
    QTest::newRow("reloaded: trailing blank lines of the typed text")
        << (text + QStringList{"", "  "}) << Mode::Debug << reloaded << "x = 1/0" << 9;
}

void TestInstrument::lineMap()
{
    QFETCH(QStringList, editor);
    QFETCH(Mode, mode);
    QFETCH(QStringList, now);
    QFETCH(QString, sent);
    QFETCH(int, expected);
    const Instrumenter ins = InstrumentText(editor, mode, "P", "SP", true);
    int serverLine = 0;
    while (serverLine < ins.lines().size() && !ins.lines().at(serverLine).contains(sent))
        ++serverLine;
    QVERIFY(serverLine < ins.lines().size());
    const LineMap map(editor, ins);
    QCOMPARE(map.EditorLine(serverLine + 1, now.isEmpty() ? editor : now), expected);
    // Without a save seen, the server's line is one past the editor's.
    QCOMPARE(LineMap().EditorLine(serverLine + 1, editor), serverLine);
}

void TestInstrument::runErrorNamesTheEditorLine()
{
    DebugDb d("DIVP");
    const QStringList typed{"CREATE PROCEDURE DIVP (A INTEGER) RETURNS (R INTEGER)",
                            "AS",
                            "declare variable x integer;",
                            "begin",
                            "/*#TP1*/",
                            "",
                            "/*#TP2*/",
                            "  x = A;",
                            "/*#TP3*/",
                            "  R = 1 / (x - 1);",
                            "  suspend;",
                            "end"};
    const Instrumenter ins = InstrumentText(typed, Mode::Debug, "DIVP", "SP", false);
    d.compile(ins);
    QString message;
    try {
        scalar(*d.db, "select R from DIVP(1)");
    } catch (const engine::Error &e) {
        message = e.message();
    }
    QVERIFY2(message.contains("line: "), qPrintable(message));
    const LineMap map(typed, ins);
    // In the editor as saved, and after the reload that rebuilds the header.
    proctext::ErrorLine shown =
        proctext::MapErrorLine(message, [&](int l) { return map.EditorLine(l, typed); });
    QVERIFY(shown.found);
    QCOMPARE(shown.line, 10);
    QVERIFY2(shown.message.contains("line: 10,"), qPrintable(shown.message));
    bool inBlock = false;
    const QStringList reloaded =
        proctext::BuildProcedureText("DIVP", {{"A", "INTEGER"}}, {{"R", "INTEGER"}}, storedSource(*d.db, "DIVP"),
                                     inBlock);
    QCOMPARE(reloaded.at(11), QStringLiteral("  R = 1 / (x - 1);"));
    shown = proctext::MapErrorLine(message, [&](int l) { return map.EditorLine(l, reloaded); });
    QCOMPARE(shown.line, 12);
}

void TestInstrument::plainOpenAndSaveKeepsTheSource_data()
{
    QTest::addColumn<QString>("body"); // what follows the header line "CREATE PROCEDURE KEEP RETURNS (R INTEGER) AS"
    QTest::newRow("blank lines") << "\ndeclare variable x integer;\n\nbegin\n\n  R = 1;\n   \n  suspend;\nend";
    QTest::newRow("trailing blanks and a last empty line") << "\nbegin  \n  R = 1; \n  suspend;\nend \n";
    QTest::newRow("body on the AS line") << " begin R = 1; suspend; end";
    QTest::newRow("CR LF") << "\r\ndeclare variable x integer;\r\n\r\nbegin\r\n  R = 1;\r\n  suspend;\r\nend";
    QTest::newRow("markers and colons") << "\ndeclare variable x integer;\nbegin\n/*@B1*/\n\n  select 1 from "
                                           "rdb$database into :x;\n  R = x;\n  suspend;\nend";
}

void TestInstrument::plainOpenAndSaveKeepsTheSource()
{
    QFETCH(QString, body);
    DebugDb d("KEEP");
    engine::Database *db = d.db.get();
    // Written by some other tool, sent as it stands.
    exec(*db, "CREATE PROCEDURE KEEP RETURNS (R INTEGER) AS" + body);
    const QString before = storedSource(*db, "KEEP");
    QVERIFY(!before.isEmpty());
    bool inBlock = false;
    const QStringList opened = proctext::BuildProcedureText("KEEP", {}, {{"R", "INTEGER"}}, before, inBlock);
    // The editor has lines, not line ends: the save ends them as the
    // opened source did.
    const QString lineEnd = proctext::LineEnd(before);
    QCOMPARE(lineEnd, QString(body.contains("\r\n") ? "\r\n" : "\n"));
    savePlain(*db, opened, true, lineEnd);
    QCOMPARE(storedSource(*db, "KEEP").toUtf8(), before.toUtf8());

    // Saved with debug information, opened, saved plain: the same again.
    Instrumenter debug(Mode::Debug, "KEEP", "SP", true);
    debug.setLineEnd(lineEnd);
    for (const QString &l : opened)
        debug.InstrumentLine(l);
    d.compile(debug);
    QCOMPARE(proctext::BuildProcedureText("KEEP", {}, {{"R", "INTEGER"}}, storedSource(*db, "KEEP"), inBlock),
             opened);
    savePlain(*db, opened, true, lineEnd);
    QCOMPARE(storedSource(*db, "KEEP").toUtf8(), before.toUtf8());
}

DUNMOOR_TEST_MAIN(TestInstrument)
#include "tst_instrument.moc"
