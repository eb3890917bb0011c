// The procedure and trigger pages against real databases: opening objects
// from the catalogue and saving them back unchanged, server errors put on
// their editor line, drop, files, the chooser dialogs' search and lookup.
#include "WorkbenchFixture.h"
#include "engine/Query.h"
#include "engine/StatementLog.h"
#include "support/GuiTestMain.h"
#include "workbench/Foproc.h"
#include "workbench/Foptrg.h"
#include "workbench/mysimplere.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

using platform::Prompter;
using platform::ScopedPrompter;
using platform::ScriptedPrompter;
using testsupport::exec;
using testsupport::scalar;
using testsupport::TestDatabase;
using namespace wbtest;

namespace {

// Chooses a name in whichever chooser dialog is shown, as a user would:
// the list is read on show, the row is clicked, then "Choose".
class ChooserAnswer {
public:
    QString name;
    ChooserAnswer()
    {
        m_previous = platform::setModalHook([this](QDialog &d) {
            auto *c = qobject_cast<TChooserDialog *>(&d);
            if (!c)
                return int(QDialog::Rejected);
            c->setResult(0);
            c->FormShow();
            const QString field = qobject_cast<TfmOpenProc *>(c) ? "RDB$PROCEDURE_NAME" : "RDB$TRIGGER_NAME";
            if (!c->Query1.locate(field, name))
                return int(QDialog::Rejected);
            c->OKBtnClick();
            return c->result();
        });
    }
    ~ChooserAnswer() { platform::setModalHook(m_previous); }

private:
    platform::ModalHook m_previous;
};

// The workbench on a database without the repository (its question answered No).
struct Bench : WindowBench {
    explicit Bench(const QStringList &ddl, int dialect = 1) : WindowBench(false, dialect)
    {
        prepare(ddl, false);
        p.answer(Prompter::Answer::No);
        start();
    }
};

const QString kProcSource = "SELECT RDB$PROCEDURE_SOURCE FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = '%1'";
const QString kTrigSource = "SELECT RDB$TRIGGER_SOURCE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = '%1'";

} // namespace

class TestProcEditor : public QObject {
    Q_OBJECT
private slots:
    void openAndSaveProcedures();
    void openAndSaveTriggers();
    void compileErrorGoesToItsLine();
    void newFromTemplateAsksWhenModified();
    void dropProcedure();
    void filesAndStates();
    void chooserSearchAndLookup();
    void lineJumpRefusals();
    void editingCommands();
    void triggerErrorGoesToItsLine();
    void failedLoadEndsInErrorState();
    void dialectThreeRefusalsAndNamesThatCannotBeNamed();
};

void TestProcEditor::openAndSaveProcedures()
{
    Bench bench({"CREATE TABLE T (ID INTEGER)",
                 "CREATE PROCEDURE P0 AS\nbegin\n  exit;\nend",
                 "CREATE PROCEDURE P2 (A INTEGER, S VARCHAR(10))\nRETURNS (R INTEGER)\nAS\n"
                 "declare variable K integer;\nbegin\n  R = A + 1;\n  suspend;\nend",
                 // Written by another tool: blank lines, trailing blanks, CR LF.
                 "CREATE PROCEDURE P3 AS\r\n\r\nbegin\r\n\r\n  exit;  \r\n   \r\nend"});
    TfmBrowser &b = bench.b();
    ChooserAnswer choose;

    struct Case {
        QString name;
        QStringList text;
        int inputs;
    };
    const QList<Case> cases{
        {"P3", {"ALTER PROCEDURE P3 ", "AS ", "begin", "", "  exit;  ", "   ", "end"}, 0},
        {"P0", {"ALTER PROCEDURE P0 ", "AS ", "begin", "  exit;", "end"}, 0},
        {"P2",
         {"ALTER PROCEDURE P2 ", "  (A INTEGER, S VARCHAR(10)) ", "  RETURNS (R INTEGER)", "AS ",
          "declare variable K integer;", "begin", "  R = A + 1;", "  suspend;", "end"},
         2},
    };
    for (const Case &c : cases) {
        const QString before = bench.value(kProcSource.arg(c.name)).toString();
        choose.name = c.name;
        b.SBOpenProcClick();
        QCOMPARE(lines(b.REProc), c.text);
        QCOMPARE(b.LProcName->text(), c.name);
        QCOMPARE(int(b.ProcEditorState), 1);
        QCOMPARE(b.InParamCount, c.inputs);
        QCOMPARE(b.SGInput->rowCount(), qMax(2, c.inputs + 1));
        QCOMPARE(b.SGInput->item(0, 0)->text(), QString("Input param."));
        QCOMPARE(b.SGOutput->item(0, 1)->text(), QString("Type"));
        QVERIFY(!b.REProc->document()->isModified());
        QVERIFY(b.SBDebDropProc->isEnabled());
        QVERIFY(b.SBdebExecSQL->isEnabled());
        QVERIFY(!b.StatusFailed);

        // Saved unchanged: it compiles and the stored source stays the same,
        // byte for byte.
        b.SBSaveProcClick();
        QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
        QVERIFY(!b.StatusFailed);
        QVERIFY(b.isEnabled());
        QCOMPARE(int(b.ProcEditorState), 2);
        QCOMPARE(bench.value(kProcSource.arg(c.name)).toString(), before);
        QCOMPARE(lines(b.REProc), c.text);
    }
    QCOMPARE(b.SGInput->item(1, 0)->text(), QString("A"));
    QCOMPARE(b.SGInput->item(2, 1)->text(), QString("VARCHAR(10)"));
    QCOMPARE(b.SGOutput->item(1, 0)->text(), QString("R"));
    // Any edit stops running until the next save.
    b.REProc->appendPlainText("");
    QVERIFY(!b.SBdebExecSQL->isEnabled());
    QVERIFY(!b.SBdebShowSet->isEnabled());
}

void TestProcEditor::openAndSaveTriggers()
{
    QStringList ddl{"CREATE TABLE EMP (ID INTEGER, N INTEGER)"};
    const char *const kinds[] = {"BEFORE INSERT", "AFTER INSERT", "BEFORE UPDATE", "AFTER UPDATE", "BEFORE DELETE",
                                 "AFTER DELETE"};
    for (int i = 0; i < 6; ++i)
        ddl << QString("CREATE TRIGGER TR%1 FOR EMP %2 %3 POSITION %4 AS\nbegin\n  if (1 = 0) then exit;\nend")
                   .arg(i + 1)
                   .arg(i == 2 ? "INACTIVE" : "ACTIVE")
                   .arg(kinds[i])
                   .arg(i * 2);
    Bench bench(ddl);
    TfmBrowser &b = bench.b();
    ChooserAnswer choose;
    for (int i = 0; i < 6; ++i) {
        const QString name = QString("TR%1").arg(i + 1);
        const QString before = bench.value(kTrigSource.arg(name)).toString();
        choose.name = name;
        b.SBOpenTrigClick();
        QCOMPARE(lines(b.RETrig),
                 (QStringList{"ALTER TRIGGER " + name + " /* FOR EMP */", i == 2 ? "INACTIVE" : "ACTIVE", kinds[i],
                              QString("POSITION %1").arg(i * 2), "AS", "begin", "  if (1 = 0) then exit;", "end"}));
        QCOMPARE(b.LTrigName->text(), name);
        QCOMPARE(int(b.TrigEditorState), 1);
        QVERIFY(b.SBDebDropTrigger->isEnabled());
        b.SBSaveTrigClick();
        QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
        QVERIFY(!b.StatusFailed);
        QCOMPARE(bench.value(kTrigSource.arg(name)).toString(), before);
        QCOMPARE(bench.value(QString("SELECT RDB$TRIGGER_TYPE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = '%1'").arg(name))
                     .toInt(),
                 i + 1);
        QCOMPARE(bench.value(QString("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = '%1'")
                                 .arg(name))
                     .toInt(),
                 i == 2 ? 1 : 0);
    }
}

void TestProcEditor::compileErrorGoesToItsLine()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.SBNewProcClick();
    QVERIFY(b.SBSaveProc->isEnabled());
    b.REProc->setPlainText("CREATE PROCEDURE PBAD\nAS\nbegin\n  exit;\n  x = ;\nend");
    b.REProc->document()->setModified(true);
    b.PCProc->setCurrentWidget(b.TSInput);
    b.SBSaveProcClick();
    // Editor line 5 is the server's line 6: the save statement has one line more.
    QCOMPARE(bench.p.calls().size(), 1);
    const QString shown = bench.p.calls().first().text;
    QVERIFY2(shown.contains("line 5, column"), qPrintable(shown));
    QVERIFY(!shown.contains("line 6"));
    QCOMPARE(b.EditSPLine->text(), QString("5"));
    QCOMPARE(b.REProc->textCursor().blockNumber(), 4);
    QCOMPARE(b.REProc->textCursor().selectedText(), QString("  x = ;"));
    QCOMPARE(b.LSPLine->text(), QString("5"));
    QCOMPARE(b.PCProc->currentWidget(), b.TSText);
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    // Nothing was stored, so the text still counts as modified.
    QVERIFY(b.REProc->document()->isModified());
    QCOMPARE(bench.value("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = 'PBAD'").toInt(), 0);

    // A server message without a line number is shown as it is; the caret stays.
    bench.p.clear();
    b.REProc->setPlainText("CREATE PROCEDURE PBAD\nAS\nbegin\n  exit;\nend");
    b.REProc->moveCursor(QTextCursor::End);
    b.ShowProcError("lock conflict on no wait transaction");
    QCOMPARE(bench.p.texts(), QStringList{"lock conflict on no wait transaction"});
    QCOMPARE(b.REProc->textCursor().blockNumber(), 4);

    // The corrected text saves, reloads under its name, and may now run.
    bench.p.clear();
    b.SBSaveProcClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QCOMPARE(b.LProcName->text(), QString("PBAD"));
    QCOMPARE(int(b.ProcEditorState), 2);
    QCOMPARE(lines(b.REProc), (QStringList{"ALTER PROCEDURE PBAD ", "AS ", "begin", "  exit;", "end"}));
    QVERIFY(b.SBdebExecSQL->isEnabled());
}

void TestProcEditor::newFromTemplateAsksWhenModified()
{
    Bench bench({});
    TfmBrowser &b = bench.b();
    b.REProc->setPlainText("keep me");
    b.REProc->document()->setModified(true);
    bench.p.answer(Prompter::Answer::No);
    b.SBNewProcClick();
    QCOMPARE(bench.p.texts(), QStringList{"Procedure text modified! Confirm?"});
    QCOMPARE(b.REProc->toPlainText(), QString("keep me"));
    bench.p.answer(Prompter::Answer::Yes);
    b.SBNewProcClick();
    QCOMPARE(lines(b.REProc), (QStringList{"CREATE PROCEDURE MyProc ()", "  RETURNS () ", "AS ", "begin ", " ", "end "}));
    QCOMPARE(b.LProcName->text(), QString("Unknown"));
    QCOMPARE(int(b.ProcEditorState), 0);
    QVERIFY(!b.SBDebDropProc->isEnabled());
    QVERIFY(b.SBSaveToFile->isEnabled());

    bench.p.clear();
    b.SBNewTrigClick(); // nothing typed yet: no question
    QVERIFY(bench.p.texts().isEmpty());
    QCOMPARE(lines(b.RETrig).size(), 9);
    QCOMPARE(lines(b.RETrig).first(), QString("CREATE TRIGGER MyTrig FOR MyTable"));
    QCOMPARE(int(b.TrigEditorState), 0);
    QVERIFY(!b.SBDebDropTrigger->isEnabled());
    QVERIFY(b.SBSaveTrig->isEnabled());
}

void TestProcEditor::dropProcedure()
{
    Bench bench({"CREATE TABLE T (ID INTEGER)", "CREATE PROCEDURE PDEP RETURNS (N INTEGER) AS\nbegin\n"
                                                "  select count(*) from T into :N;\n  suspend;\nend"});
    TfmBrowser &b = bench.b();
    const QString deps = "SELECT COUNT(*) FROM RDB$DEPENDENCIES WHERE RDB$DEPENDENT_NAME = 'PDEP'";
    QVERIFY(bench.value(deps).toInt() > 0);
    ChooserAnswer choose;
    choose.name = "PDEP";
    b.SBOpenProcClick();
    QCOMPARE(b.LProcName->text(), QString("PDEP"));

    bench.p.answer(Prompter::Answer::No);
    b.SBDebDropProcClick();
    QCOMPARE(bench.p.texts(), QStringList{"Drop now?"});
    QCOMPARE(bench.value("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = 'PDEP'").toInt(), 1);
    QVERIFY(!b.REProc->toPlainText().isEmpty());

    bench.p.clear();
    bench.p.answer(Prompter::Answer::Yes);
    b.SBDebDropProcClick();
    QCOMPARE(bench.p.texts(), QStringList{"Drop now?"});
    QVERIFY(!b.StatusFailed);
    QCOMPARE(bench.value("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = 'PDEP'").toInt(), 0);
    QCOMPARE(bench.value(deps).toInt(), 0);
    QVERIFY(b.REProc->toPlainText().isEmpty());
    for (const char *name : {"SBDebDropProc", "SBSaveProc", "SBOpenFromFile", "SBSaveToFile"})
        QVERIFY2(!b.button(name)->isEnabled(), name);

    // A refused drop: the error is shown, the editor keeps its text.
    bench.p.clear();
    b.REProc->setPlainText("text");
    bench.p.answer(Prompter::Answer::Yes);
    b.SBDebDropProcClick();
    QCOMPARE(bench.p.texts().size(), 2);
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    QCOMPARE(b.REProc->toPlainText(), QString("text"));
    QVERIFY(!bench.w->dm->Database.inTransaction());
}

void TestProcEditor::filesAndStates()
{
    Bench bench({"CREATE PROCEDURE P0 AS\nbegin\n  exit;\nend"});
    TfmBrowser &b = bench.b();
    QTemporaryDir dir;
    ChooserAnswer choose;
    choose.name = "P0";
    b.SBOpenProcClick();
    QCOMPARE(int(b.ProcEditorState), 1);

    const QString in = dir.filePath("trig.txt");
    {
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("CREATE TRIGGER X FOR T\r\nAS\r\nbegin\r\nend\r\n");
    }
    b.SBNewTrigClick();
    bench.p.answerFile(in);
    b.SBOpenFromFile2Click();
    QCOMPARE(lines(b.RETrig), (QStringList{"CREATE TRIGGER X FOR T", "AS", "begin", "end"}));
    QCOMPARE(int(b.TrigEditorState), 0);
    QCOMPARE(int(b.ProcEditorState), 1); // the other editor is untouched
    QVERIFY(b.SBdebExecSQL->isEnabled());

    // Save to file: the name label proposes the name, an existing file asks.
    bench.p.clear();
    const QString out = dir.filePath("P0.txt");
    bench.p.answerFile(out);
    b.SBSaveToFileClick();
    QCOMPARE(bench.p.calls().first().defaultValue, QString("P0.txt"));
    QFile saved(out);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("ALTER PROCEDURE P0 \nAS \nbegin\n  exit;\nend\n"));
    saved.close();
    bench.p.clear();
    bench.p.answerFile(out).answer(Prompter::Answer::No);
    b.REProc->setPlainText("changed");
    b.SBSaveToFileClick();
    QCOMPARE(bench.p.texts().last(), QString("File exists. Owerwrite?"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().startsWith("ALTER"));
    saved.close();
    bench.p.clear();
    bench.p.answerFile(out).answer(Prompter::Answer::Yes);
    b.SBSaveToFileClick();
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("changed\n"));
    saved.close();

    // A file that cannot be written ends in the error state, window usable.
    bench.p.clear();
    bench.p.answerFile(dir.filePath("no/such/folder/x.txt"));
    b.SBSaveToFile2Click();
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    QCOMPARE(bench.p.calls().size(), 2);
    // The export's write routine: the message names the file.
    QVERIFY2(bench.p.texts().last().contains(dir.filePath("no/such/folder/x.txt")), qPrintable(bench.p.texts().last()));

    // Reading into the procedure editor makes its text new again.
    bench.p.clear();
    bench.p.answerFile(in);
    b.SBOpenFromFileClick();
    QCOMPARE(int(b.ProcEditorState), 0);
    QVERIFY(!b.SBdebExecSQL->isEnabled());
    QVERIFY(b.SBSaveProc->isEnabled());
    QVERIFY(bench.p.problems().isEmpty());
}

void TestProcEditor::chooserSearchAndLookup()
{
    QStringList ddl{"CREATE TABLE T (ID INTEGER)"};
    for (const char *n : {"A1", "P1", "PR1", "PRZ", "X1"})
        ddl << QString("CREATE TRIGGER %1 FOR T BEFORE INSERT AS\nbegin\nend").arg(n);
    for (const char *n : {"PA", "PB"})
        ddl << QString("CREATE PROCEDURE %1 AS\nbegin\nend").arg(n);
    Bench bench(ddl);
    TfmOpenTrig &d = *bench.w->openTrig;
    d.FormShow();
    QVERIFY(d.OKBtn->isEnabled());
    auto current = [&d] { return d.currentName(); };
    QCOMPARE(current(), QString("A1"));
    QTest::keyClick(d.DBGrid1, Qt::Key_P);
    QCOMPARE(current(), QString("P1"));
    QTest::keyClick(d.DBGrid1, Qt::Key_R);
    QCOMPARE(d.SearchPrefix, QString("PR"));
    QCOMPARE(current(), QString("PR1"));
    QCOMPARE(d.DBGrid1->currentIndex().row(), 2);
    QTest::keyClick(d.DBGrid1, Qt::Key_Escape);
    QCOMPARE(current(), QString("A1"));
    QVERIFY(d.SearchPrefix.isEmpty());
    // With nothing typed, Esc also returns to the first row and keeps the dialog.
    d.show();
    QTest::keyClick(d.DBGrid1, Qt::Key_X);
    QCOMPARE(current(), QString("X1"));
    QTest::keyClick(d.DBGrid1, Qt::Key_Escape);
    QTest::keyClick(d.DBGrid1, Qt::Key_Escape);
    QCOMPARE(current(), QString("A1"));
    QVERIFY(d.isVisible());
    d.hide();

    // Lookup by name, without regard to case; an unknown name changes nothing.
    QVERIFY(d.SelectByName("prz"));
    QCOMPARE(d.TrigName, QString("PRZ"));
    QCOMPARE(d.RelationName, QString("T"));
    QCOMPARE(int(d.TrigType), 1);
    QVERIFY(!d.SelectByName("NOPE"));
    QCOMPARE(d.TrigName, QString("PRZ"));
    QVERIFY(bench.w->dm->Database.isConnected());

    TfmOpenProc &pd = *bench.w->openProc;
    QVERIFY(pd.SelectByName("pb"));
    QCOMPARE(pd.ProcName, QString("PB"));
    QVERIFY(!pd.SelectByName("PC"));
    QCOMPARE(pd.ProcName, QString("PB"));

    // A reload whose object is not in the list leaves the editor alone and
    // says so, rather than loading whichever row the list ended on.
    TfmBrowser &b = bench.b();
    b.SBNewProcClick();
    b.REProc->setPlainText("CREATE PROCEDURE PNEW AS\nbegin\nend");
    b.ProcEditorState = 1;
    b.LProcName->setText("GONE");
    bench.p.clear();
    QVERIFY(b.SaveSourcePlain(true, "SP"));
    QCOMPARE(bench.p.texts(), QStringList{"GONE not found."});
    QCOMPARE(b.REProc->toPlainText(), QString("CREATE PROCEDURE PNEW AS\nbegin\nend"));
    QCOMPARE(b.LProcName->text(), QString("GONE"));
    QCOMPARE(bench.value("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = 'PNEW'").toInt(), 1);
}

void TestProcEditor::lineJumpRefusals()
{
    ScriptedPrompter p;
    ScopedPrompter sp(p);
    Workbench w({});
    TfmBrowser &b = *w.browser;
    b.REProc->setPlainText("a\nbb\nccc");
    b.REProc->moveCursor(QTextCursor::End);
    for (const auto &[typed, message] : {std::pair<QString, QString>{"x1", "Incorrect line number."},
                                         {"-2", "Line number < 0"},
                                         {"4", "There is no line #4"}}) {
        p.clear();
        b.EditSPLine->setText(typed);
        b.SBSPLineClick();
        QCOMPARE(p.texts(), QStringList{message});
        QCOMPARE(b.REProc->textCursor().blockNumber(), 2);
    }
    p.clear();
    b.EditSPLine->clear();
    b.SBSPLineClick();
    QVERIFY(p.texts().isEmpty());
    b.EditSPLine->setText("2");
    b.SBSPLineClick();
    QCOMPARE(b.REProc->textCursor().selectedText(), QString("bb"));
    QCOMPARE(b.LSPLine->text(), QString("2"));
    QCOMPARE(b.LSPPos->text(), QString("3"));
    b.RETrig->setPlainText("x\ny");
    b.EditTrigLine->setText("2");
    b.SBTrigLineClick();
    QCOMPARE(b.LTRLine->text(), QString("2"));
}

void TestProcEditor::editingCommands()
{
    ScriptedPrompter p;
    ScopedPrompter sp(p);
    Workbench w({});
    TfmBrowser &b = *w.browser;
    const QList<std::pair<const char *, const char *>> hints{
        {"SBNewProc", "New procedure (Ctrl+N)"}, {"SBOpenProc", "Open procedure (Ctrl+O)"},
        {"SBSaveProc", "Save procedure (Ctrl+S)"}, {"SBOpenFromFile", "Read from file"},
        {"SBSaveToFile", "Save to file"}, {"SBSPLine", "Go to line N"}, {"SBDebDropProc", "Drop Procedure"},
        {"SBFindInProc", "Find/Replace"}, {"SBSyntaxOn", "Hilight syntax"}, {"SBSyntaxOff", "Plain syntax"},
        {"SBdebExecSQL", "Exec procedure (Ctrl+Enter)"}, {"SBdebShowSet", "Show set of records (Alt+Enter)"},
        {"SBNewTrig", "New trigger (Ctrl+N)"}, {"SBOpenTrig", "Open trigger (Ctrl+O)"},
        {"SBSaveTrig", "Save trigger (Ctrl+S)"}, {"SBDebDropTrigger", "Drop Trigger"}};
    for (const auto &[name, hint] : hints)
        QCOMPARE(b.button(name)->toolTip(), QString(hint));

    b.REProc->setPlainText("abc def");
    b.REProc->moveCursor(QTextCursor::End);
    b.REProc->moveCursor(QTextCursor::StartOfWord, QTextCursor::KeepAnchor);
    b.SBSPCutClick();
    QCOMPARE(b.REProc->toPlainText(), QString("abc "));
    b.SBSPPasteClick();
    b.SBSPPasteClick();
    QCOMPARE(b.REProc->toPlainText(), QString("abc defdef"));
    b.SBSPUndoClick();
    QCOMPARE(b.REProc->toPlainText(), QString("abc def"));
    b.REProc->setPlainText("x");
    b.SBSPUndoClick(); // nothing to undo: nothing happens
    QCOMPARE(b.REProc->toPlainText(), QString("x"));

    b.SBSyntaxOnTrigClick();
    QVERIFY(b.RETrig->isReadOnly());
    QCOMPARE(p.texts(), QStringList{"You have to press \"Plain syntax\" button for continue..."});
    QCOMPARE(b.StatusPanel1->text(), QString("   Hint: Press \"Plain syntax\" button for editing."));
    b.SBSyntaxOffTrigClick();
    QVERIFY(!b.RETrig->isReadOnly());
    QVERIFY(b.StatusPanel1->text().isEmpty());
}

void TestProcEditor::triggerErrorGoesToItsLine()
{
    Bench bench({"CREATE TABLE EMP (ID INTEGER)"});
    TfmBrowser &b = bench.b();
    b.SBNewTrigClick();
    b.RETrig->setPlainText("CREATE TRIGGER TBAD FOR EMP\nBEFORE INSERT\nAS\nbegin\n  new.ID = ;\nend");
    b.SBSaveTrigClick();
    QCOMPARE(bench.p.calls().size(), 1);
    QVERIFY2(bench.p.calls().first().text.contains("line 5, column"), qPrintable(bench.p.calls().first().text));
    QCOMPARE(b.EditTrigLine->text(), QString("5"));
    QCOMPARE(b.RETrig->textCursor().blockNumber(), 4);
    QVERIFY(b.StatusFailed);
    QVERIFY(!b.SBDebDropTrigger->isEnabled());

    // Fixed, it saves and reloads as an opened trigger text.
    bench.p.clear();
    b.RETrig->setPlainText("CREATE TRIGGER TBAD FOR EMP\nBEFORE INSERT\nAS\nbegin\n  new.ID = 1;\nend");
    b.SBSaveTrigClick();
    QVERIFY2(bench.p.texts().isEmpty(), qPrintable(bench.p.texts().join('\n')));
    QCOMPARE(b.LTrigName->text(), QString("TBAD"));
    QCOMPARE(lines(b.RETrig), (QStringList{"ALTER TRIGGER TBAD /* FOR EMP */", "ACTIVE", "BEFORE INSERT", "POSITION 0",
                                           "AS", "begin", "  new.ID = 1;", "end"}));
    QVERIFY(b.SBDebDropTrigger->isEnabled());

    bench.p.answer(Prompter::Answer::Yes);
    b.SBDebDropTriggerClick();
    QCOMPARE(bench.value("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'TBAD'").toInt(), 0);
    QVERIFY(b.RETrig->toPlainText().isEmpty());
    QVERIFY(!b.SBSaveTrig->isEnabled());
}

void TestProcEditor::failedLoadEndsInErrorState()
{
    Bench bench({"CREATE PROCEDURE P0 AS\nbegin\n  exit;\nend"});
    TfmBrowser &b = bench.b();
    ChooserAnswer choose;
    choose.name = "P0";
    // The parameter lists read on the user connection; without it the load fails.
    bench.w->dm->Database.close();
    b.SBOpenProcClick();
    QCOMPARE(bench.p.calls().size(), 1);
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    QCOMPARE(int(b.ProcEditorState), 0);
}

void TestProcEditor::dialectThreeRefusalsAndNamesThatCannotBeNamed()
{
    Bench bench({"CREATE TABLE T (I INTEGER)", "CREATE PROCEDURE PN (A NUMERIC(15,2)) RETURNS (B NUMERIC(15,2)) AS\n"
                 "BEGIN\n  B = A;\n  SUSPEND;\nEND",
                 "CREATE PROCEDURE P1 AS BEGIN EXIT; END", "CREATE PROCEDURE \"P1 --x\" AS BEGIN EXIT; END",
                 "CREATE TRIGGER \"T 1\" FOR T BEFORE INSERT AS BEGIN END",
                 "CREATE PROCEDURE \"ProcM\" AS BEGIN EXIT; END", "CREATE PROCEDURE PROCM AS BEGIN EXIT; END",
                 "CREATE TRIGGER \"TrgM\" FOR T BEFORE INSERT AS BEGIN END"},
                3);
    TfmBrowser &b = bench.b();
    ChooserAnswer choose;

    // A save the dialect refuses says why, the text stays unsaved.
    choose.name = "PN";
    b.SBOpenProcClick();
    QCOMPARE(b.SGInput->item(1, 1)->text(), QString("NUMERIC(15, 2)"));
    b.REProc->document()->setModified(true);
    b.SBSaveProcClick();
    QCOMPARE(bench.p.texts().size(), 1);
    QVERIFY2(bench.p.texts().first().startsWith("This database speaks SQL dialect 3 and the workbench speaks dialect 1"),
             qPrintable(bench.p.texts().first()));
    QVERIFY(bench.p.texts().first().contains("SQL dialect 3"));
    QVERIFY(b.StatusFailed);
    QVERIFY(b.isEnabled());
    QVERIFY(b.REProc->document()->isModified());
    QVERIFY(!bench.w->dm->Database.inTransaction());

    // Names that cannot stand bare are refused before anything is sent.
    const QString refused = "The name \"%1\" is not a plain identifier (a letter, then letters, digits, _ or $): "
                            "it cannot be named in a dialect-1 statement. Nothing was sent.";
    engine::StatementRecorder log;
    bench.p.clear();
    b.REProc->document()->setModified(false);
    choose.name = "P1 --x";
    b.SBOpenProcClick();
    QCOMPARE(bench.p.texts(), QStringList{refused.arg("P1 --x")});
    QVERIFY(b.StatusFailed);
    QVERIFY(!b.REProc->toPlainText().contains("P1 --x"));

    bench.p.clear();
    choose.name = "T 1";
    b.SBOpenTrigClick();
    QCOMPARE(bench.p.texts(), QStringList{refused.arg("T 1")});
    QVERIFY(b.RETrig->toPlainText().isEmpty());

    // The drop names what the label holds: "P1 --x" must not become P1.
    bench.p.clear();
    b.LProcName->setText("P1 --x");
    b.SBDebDropProcClick();
    QCOMPARE(bench.p.texts(), QStringList{refused.arg("P1 --x")}); // nothing asked
    QVERIFY(b.StatusFailed);

    // Names made quoted beside a plain twin: open and drop would reach it.
    const QString twin = "The name \"%1\" differs from its upper case: a dialect-1 statement would name %2 instead, "
                         "so it can only be named quoted, in dialect 3. Nothing was sent.";
    const std::pair<const char *, std::function<void()>> commands[] = {
        {"ProcM", [&] { choose.name = "ProcM"; b.SBOpenProcClick(); }},
        {"TrgM", [&] { choose.name = "TrgM"; b.SBOpenTrigClick(); }},
        {"ProcM", [&] { b.LProcName->setText("ProcM"); b.SBDebDropProcClick(); }},
        {"TrgM", [&] { b.LTrigName->setText("TrgM"); b.SBDebDropTriggerClick(); }},
    };
    for (const auto &[name, run] : commands) {
        bench.p.clear();
        run();
        QCOMPARE(bench.p.texts(), QStringList{twin.arg(name, QString(name).toUpper())});
        QVERIFY(b.StatusFailed && b.isEnabled());
    }
    for (const QString &sent : log.statements())
        QVERIFY2(!sent.contains("P1") && !sent.contains("T 1") && !sent.contains("PROCM") && !sent.contains("TRGM")
                     && !sent.startsWith("drop"),
                 qPrintable(sent));
    QCOMPARE(bench.value("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME STARTING WITH 'P1'").toInt(), 2);
    QCOMPARE(bench.value("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME IN ('ProcM', 'PROCM')").toInt(), 2);
}

DUNMOOR_GUI_TEST_MAIN(TestProcEditor)
#include "tst_proceditor.moc"
