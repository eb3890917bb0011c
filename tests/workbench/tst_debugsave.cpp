// Saving procedures and triggers with debug info from the editor pages,
// against real databases with the repository: the points a save records and
// settles, the counters, the debug tables made on demand, the text loaded
// back as typed, and the markers the editors' context menus insert.
#include "WorkbenchFixture.h"
#include "engine/Runtime.h"
#include "support/GuiTestMain.h"
#include "workbench/Foproc.h"
#include "workbench/Foptrg.h"
#include "workbench/Repository.h"
#include "workbench/mysimplere.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTextBlock>
#include <QUuid>

using platform::Prompter;
using platform::ScopedPrompter;
using platform::ScriptedPrompter;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;
using namespace wbtest;

namespace {

// A connected workbench on a database with the repository (and its folder
// for the debug tables, which are not made yet) and the test's objects.
// The workbench on a database with the repository.
struct Bench : WindowBench {
    explicit Bench(const QStringList &ddl)
    {
        prepare(ddl, true);
        start();
    }
    // The object's points as "PID PType SP_T P", in id order.
    QStringList points(const QString &object)
    {
        auto db = t.connect(QStringLiteral("SYSDBA"), QStringLiteral("Check"));
        engine::Statement s(db.get());
        s.setSql(QStringList{QString("select PID, PType, SP_T, P from meta$points where ProcName = '%1' order by PID")
                                 .arg(object)});
        s.open();
        const engine::RowSet &rows = s.rows();
        QStringList r;
        for (int i = 0; i < rows.rowCount(); ++i)
            r << QString("%1 %2 %3 %4")
                     .arg(rows.text(i, 0).trimmed(), rows.text(i, 1).trimmed(), rows.text(i, 2).trimmed(),
                          rows.text(i, 3).trimmed());
        return r;
    }
    int count(const QString &sql) { return value(sql).toInt(); }
};

const QString kProcSource = "SELECT RDB$PROCEDURE_SOURCE FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = '%1'";

// The body shared by the typed and the reloaded form of the procedure.
QStringList procBody(const QStringList &extra = {})
{
    return QStringList{"declare variable x integer;", "begin", "  x = A + 1;", "/*#TP1*/"} + extra +
           QStringList{"  R = x;", "  suspend;", "end"};
}

} // namespace

class TestDebugSave : public QObject {
    Q_OBJECT
private slots:
    void procedurePointsFollowEachSave();
    void triggerSavedWithDebugInfo();
    void contextMenusInsertMarkers();
};

void TestDebugSave::procedurePointsFollowEachSave()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    QVERIFY(b.MetaPresent);
    QVERIFY(b.CBWithDebug->isEnabled());
    QVERIFY(!b.repository().debugTablesExist());
    // The tables take the folder stored at the moment they are made.
    const QString folder = debugFolder();
    exec(*bench.t.connect("SYSDBA", "Setup"), "update meta$external set ExternalPath = '" + folder + "'");
    QVERIFY(b.ExternalTablesPath != folder);

    // A new procedure: saved plain first so it exists, then with debug info.
    b.SBNewProcClick();
    b.REProc->setPlainText(
        (QStringList{"CREATE PROCEDURE DBGP (A INTEGER)", "RETURNS (R INTEGER)", "AS"} + procBody()).join('\n'));
    b.REProc->document()->setModified(true);
    b.CBWithDebug->setChecked(true);
    b.SBSaveProcClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QVERIFY(!b.StatusFailed);
    QVERIFY(b.StatusReady);
    QCOMPARE(b.LProcName->text(), QString("DBGP"));
    QCOMPARE(int(b.ProcEditorState), 2);
    QVERIFY(b.repository().debugTablesExist());
    QCOMPARE(b.ExternalTablesPath, folder);
    QCOMPARE(bench.points("DBGP"), QStringList{"TP1 TP SP 0"});
    QCOMPARE(bench.count("select count(*) from meta$gens where ProcName = 'DBGP'"), 1);
    QCOMPARE(bench.count("select count(*) from meta$gens where ProcName = 'DBGP' and UserName = 'SYSDBA' "
                         "and GenID = 'TPNUM' and GenValue = 0"),
             1);
    QVERIFY(b.TracePointsUsed);
    QVERIFY(!b.BreakPointsUsed);
    const QString stored = bench.value(kProcSource.arg("DBGP")).toString();
    QVERIFY2(stored.contains("/* META TP#TP1*/"), qPrintable(stored));
    // Loaded back, the editor shows the text as typed.
    const QStringList reloaded =
        QStringList{"ALTER PROCEDURE DBGP ", "  (A INTEGER) ", "  RETURNS (R INTEGER)", "AS "} + procBody();
    QCOMPARE(lines(b.REProc), reloaded);
    QVERIFY(!b.REProc->document()->isModified());
    // The compiled blocks record each pass.
    {
        auto db = bench.t.connect("SYSDBA", "Run");
        QCOMPARE(scalar(*db, "select R from DBGP(4)").toInt(), 5);
        QCOMPARE(scalar(*db, "select count(*) from META$MTTP where ProcName = 'DBGP' and TPID = 'TP1'").toInt(), 1);
        QCOMPARE(scalar(*db, "select VarValue from META$MTTPV").toString().trimmed(), QString("5"));
    }

    // A debug save that does not compile: its pending break point goes, the
    // previous version's trace point stays, the old version still runs.
    // Counters of every user go at each save; the login user's come back.
    exec(*bench.t.connect("SYSDBA", "Setup"), "insert into meta$gens values (\"OTHER\", \"DBGP\", \"BPNUM\", 7)");
    bench.p.clear();
    const QStringList bad =
        QStringList{"ALTER PROCEDURE DBGP (A INTEGER)", "RETURNS (R INTEGER)", "AS"} + procBody({"/*@BP9*/", "  x = ;"});
    b.REProc->setPlainText(bad.join('\n'));
    b.REProc->document()->setModified(true);
    b.SBSaveProcClick();
    // The server's reason comes with it, its line the editor's line of the
    // fault (the server counted the generated text), and the caret goes there.
    QCOMPARE(bench.p.texts().size(), 1);
    const QString shown = bench.p.texts().first();
    const int faulty = int(bad.indexOf("  x = ;")) + 1;
    QVERIFY2(shown.startsWith("Uncheck \"Save with debug info\" and retry to save.\r\n"), qPrintable(shown));
    QVERIFY2(shown.contains(QString("line %1, column").arg(faulty)), qPrintable(shown));
    QCOMPARE(b.REProc->textCursor().blockNumber() + 1, faulty);
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    QVERIFY(b.REProc->document()->isModified());
    QCOMPARE(bench.points("DBGP"), QStringList{"TP1 TP SP 0"});
    QCOMPARE(bench.value(kProcSource.arg("DBGP")).toString(), stored);
    QCOMPARE(bench.count("select count(*) from meta$gens where ProcName = 'DBGP' and UserName = 'OTHER'"), 0);
    QCOMPARE(bench.count("select count(*) from meta$gens where ProcName = 'DBGP' and UserName = 'SYSDBA'"), 2);

    // Without debug info the same error is shown by the server at its line.
    bench.p.clear();
    b.CBWithDebug->setChecked(false);
    b.SBSaveProcClick();
    QCOMPARE(bench.p.calls().size(), 1);
    QVERIFY2(bench.p.texts().first().contains("line 9, column"), qPrintable(bench.p.texts().first()));
    QCOMPARE(b.REProc->textCursor().blockNumber(), 8);
    QVERIFY(b.StatusFailed);
    QCOMPARE(bench.points("DBGP"), QStringList{"TP1 TP SP 0"});

    // A plain save that succeeds removes every point and counter of the
    // object; markers stay comments and colons inside a constant stay single.
    bench.p.clear();
    b.REProc->setPlainText((QStringList{"ALTER PROCEDURE DBGP (A INTEGER)", "RETURNS (R INTEGER)", "AS"} +
                            procBody({"/*@BP9*/", "  x = char_length('a:b') + :x;"}))
                               .join('\n'));
    b.SBSaveProcClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QVERIFY(b.StatusReady);
    QVERIFY(bench.points("DBGP").isEmpty());
    QCOMPARE(bench.count("select count(*) from meta$gens where ProcName = 'DBGP'"), 0);
    const QString plain = bench.value(kProcSource.arg("DBGP")).toString();
    QVERIFY2(!plain.contains("META"), qPrintable(plain));
    QVERIFY2(plain.contains("/*@BP9*/") && plain.contains("'a:b'") && plain.contains(" :x;"), qPrintable(plain));
    QCOMPARE(scalar(*bench.t.connect("SYSDBA", "Run"), "select R from DBGP(4)").toInt(), 8);
}

void TestDebugSave::triggerSavedWithDebugInfo()
{
    Bench bench({"CREATE TABLE EMP (ID INTEGER, N INTEGER)",
                 "CREATE TRIGGER TRG FOR EMP ACTIVE BEFORE INSERT POSITION 0 AS\nbegin\n  new.N = 1;\nend"});
    TfmBrowser &b = bench.b();
    QVERIFY(fmOpenTrig->SelectByName("TRG"));
    b.LoadTrigger();
    b.SetTrigEditorOpened();
    QCOMPARE(b.LTrigName->text(), QString("TRG"));
    QStringList text = lines(b.RETrig);
    const int body = int(text.indexOf("begin")) + 1;
    QVERIFY(body > 0);
    text.insert(body, "/*$1*/");
    text.insert(body, "/*#T1*/");
    b.RETrig->setPlainText(text.join('\n'));
    b.CBWithDebug->setChecked(true);
    b.SBSaveTrigClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QVERIFY(b.StatusReady);
    QVERIFY(b.SBDebDropTrigger->isEnabled());
    QCOMPARE(bench.points("TRG"), (QStringList{"1 PP TR 0", "T1 TP TR 0"}));
    QCOMPARE(lines(b.RETrig), text);
    {
        auto db = bench.t.connect("SYSDBA", "Run");
        exec(*db, "insert into EMP (ID) values (1)");
        exec(*db, "insert into EMP (ID) values (2)");
        QCOMPARE(scalar(*db, "select count(*) from META$MTTP where ProcName = 'TRG'").toInt(), 2);
        QCOMPARE(scalar(*db, "select gen_id(meta$gen1, 0) from rdb$database").toInt(), 2);
        QCOMPARE(scalar(*db, "select sum(N) from EMP").toInt(), 2);
    }

    // A progress point without its generator: the compile fails, nothing
    // of this save is kept.
    bench.p.clear();
    text.replace(text.indexOf("/*$1*/"), "/*$11*/");
    b.RETrig->setPlainText(text.join('\n'));
    b.SBSaveTrigClick();
    QCOMPARE(bench.p.texts().size(), 1);
    QVERIFY2(bench.p.texts().first().startsWith("Uncheck \"Save with debug info\" and retry to save.\r\n")
                 && bench.p.texts().first().contains("META$GEN11"),
             qPrintable(bench.p.texts().first()));
    QVERIFY(b.StatusFailed);
    QCOMPARE(bench.points("TRG"), (QStringList{"1 PP TR 0", "T1 TP TR 0"}));

    // A pending row that cannot be written (its number is taken): nothing
    // is compiled, the server's reason is shown, the current points stay.
    exec(*bench.t.connect("SYSDBA", "Setup"),
         "insert into meta$points values (gen_id(meta$CodeGen, 0) + 1, \"X\", \"X\", \"TP\", \"SP\", 0)");
    const QString before = bench.value("SELECT RDB$TRIGGER_SOURCE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'TRG'").toString();
    bench.p.clear();
    text.replace(text.indexOf("/*$11*/"), "/*$1*/");
    b.RETrig->setPlainText(text.join('\n'));
    b.SBSaveTrigClick();
    QCOMPARE(bench.p.texts().size(), 1);
    QVERIFY2(bench.p.texts().at(0).startsWith("Uncheck \"Save with debug info\" and retry to save.\r\n") &&
                 bench.p.texts().at(0).contains("PRIMARY", Qt::CaseInsensitive),
             qPrintable(bench.p.texts().at(0)));
    QCOMPARE(bench.points("TRG"), (QStringList{"1 PP TR 0", "T1 TP TR 0"}));
    QCOMPARE(bench.value("SELECT RDB$TRIGGER_SOURCE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'TRG'").toString(), before);
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
}

void TestDebugSave::contextMenusInsertMarkers()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    struct Case {
        QPlainTextEdit *editor;
        QMenu *menu;
        const char *action;
        QString marker;
    };
    const QList<Case> cases{
        {b.REProc, b.PMSP, "Setbreakpoint1", "/*@BP1*/"},   {b.REProc, b.PMSP, "Settracepoint1", "/*#TP1*/"},
        {b.REProc, b.PMSP, "Setprogresspoint1", "/*$1*/"},  {b.RETrig, b.PMTrig, "Setbreakpoint2", "/*@BP1*/"},
        {b.RETrig, b.PMTrig, "Settracepoint2", "/*#TP1*/"}, {b.RETrig, b.PMTrig, "Setprogresspoint2", "/*$1*/"},
    };
    for (const Case &c : cases) {
        QCOMPARE(c.editor->contextMenuPolicy(), Qt::CustomContextMenu);
        c.editor->setPlainText("one\n  two: x\nthree");
        QTextCursor cur(c.editor->document()->findBlockByNumber(1));
        cur.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 4);
        c.editor->setTextCursor(cur);
        auto *a = c.menu->findChild<QAction *>(c.action);
        QVERIFY2(a, c.action);
        a->trigger();
        QCOMPARE(lines(c.editor), (QStringList{"one", c.marker, "  two: x", "three"}));
        // The caret stays on its text.
        QCOMPARE(c.editor->textCursor().blockNumber(), 2);
        QCOMPARE(c.editor->textCursor().positionInBlock(), 4);
        // On the last line, which has no line break after it.
        c.editor->moveCursor(QTextCursor::End);
        a->trigger();
        QCOMPARE(lines(c.editor).mid(3), (QStringList{c.marker, "three"}));
    }
    QCOMPARE(b.PMSP->actions().size(), 3);
    QCOMPARE(b.PMSP->actions().at(0)->text(), QString("Set break point"));
    QCOMPARE(b.PMTrig->actions().at(2)->text(), QString("Set progress point"));
}

DUNMOOR_GUI_TEST_MAIN(TestDebugSave)
#include "tst_debugsave.moc"
