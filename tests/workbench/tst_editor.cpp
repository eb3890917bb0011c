// The colouring editor and its find dialog: colours read back from the
// editor, the view drawn, jumping and marking, find and replace with the
// question answered by the scripted prompter, auto-indent and the caret.

#include "platform/Prompter.h"
#include "support/GuiTestMain.h"
#include "workbench/fmFindStr.h"
#include "workbench/mysimplere.h"

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>
#include <QTest>

using platform::Prompter;
using platform::ScopedPrompter;
using platform::ScriptedPrompter;

namespace {

// The format the view draws at a position: the document's own format with
// the line's drawn-over formats merged on top in their order.
QTextCharFormat drawnFormat(const TMyRichEdit &e, int pos)
{
    const QTextBlock block = e.document()->findBlock(pos);
    QTextCursor c(block);
    c.setPosition(pos + 1);
    QTextCharFormat f = c.charFormat();
    const int column = pos - block.position();
    for (const QTextLayout::FormatRange &r : block.layout()->formats())
        if (column >= r.start && column < r.start + r.length)
            f.merge(r.format);
    return f;
}

// One letter a character of the text: the colour drawn ("." none, "?" one
// not in the table), and in a second string the style: "i" italic, "u"
// underline, "b" bold, "-" none set, "." style left to the text.
QChar colourLetter(const QTextCharFormat &f)
{
    if (!f.hasProperty(QTextFormat::ForegroundBrush))
        return QLatin1Char('.');
    const QRgb rgb = f.foreground().color().rgb() & 0xFFFFFFu;
    using namespace wbcolours;
    const struct {
        QRgb rgb;
        char letter;
    } table[] = {{clBlack, 'k'}, {clGray, 'c'}, {clGreen, 'g'}, {clFuchsia, 'f'},
                 {clPurple, 'p'}, {clOlive, 'o'}, {clBlue, 'b'}, {clRed, 'r'}};
    for (const auto &t : table)
        if ((t.rgb & 0xFFFFFFu) == rgb)
            return QLatin1Char(t.letter);
    return QLatin1Char('?');
}

QChar styleLetter(const QTextCharFormat &f)
{
    if (!f.hasProperty(QTextFormat::FontItalic) && !f.hasProperty(QTextFormat::FontWeight))
        return QLatin1Char('.');
    if (f.fontItalic())
        return QLatin1Char('i');
    if (f.fontUnderline())
        return QLatin1Char('u');
    if (f.fontWeight() > QFont::Normal)
        return QLatin1Char('b');
    return QLatin1Char('-');
}

// The colour and style letters of one line, line breaks not included.
QString colours(const TMyRichEdit &e, int line)
{
    const QTextBlock b = e.document()->findBlockByNumber(line);
    QString s;
    for (int i = 0; i < b.length() - 1; ++i)
        s += colourLetter(drawnFormat(e, b.position() + i));
    return s;
}

QString styles(const TMyRichEdit &e, int line)
{
    const QTextBlock b = e.document()->findBlockByNumber(line);
    QString s;
    for (int i = 0; i < b.length() - 1; ++i)
        s += styleLetter(drawnFormat(e, b.position() + i));
    return s;
}

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

int countPixels(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu);
    return n;
}

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void colourSpansOfEveryKind();
    void colourSpansOfASelect();
    void colourEdgeCases();
    void colourIsAViewOnly();
    void colourDrawn();
    void colourDroppedByEditsAndPlain();
    void goToLine();
    void markText();
    void findNext();
    void findIgnoringCaseKeepsOffsets();
    void findAndReplaceAsks();
    void replaceAll();
    void findDialog();
    void autoIndent();
    void autoIndentPastLine65536();
    void caretLineAndColumn();
    void questionsAboutTheText();
};

void TestEditor::colourSpansOfEveryKind()
{
    TMyRichEdit e;
    e.setPlainText(QStringLiteral("CREATE PROCEDURE P (A INTEGER)\n"
                                  "AS /* note */\n"
                                  "begin\n"
                                  "  if (a <> 1.5) then x = 'q';\n"
                                  "  y = \"n\" ! 2 >= 3 <= 4;\n"
                                  "  z = 12ab;\n"
                                  "end"));
    e.Highlight();

    // Keywords black with the text's own style; the rest as their kind says.
    QCOMPARE(colours(e, 0), QStringLiteral("kkkkkk.kkkkkkkkk.g.bg.kkkkkkkb"));
    QCOMPARE(styles(e, 0), QStringLiteral(".................-.--........-"));
    QCOMPARE(colours(e, 1), QStringLiteral("kk.cccccccccc"));
    QCOMPARE(styles(e, 1), QStringLiteral("...iiiiiiiiii"));
    QCOMPARE(colours(e, 2), QStringLiteral("kkkkk"));
    // The string and the three characters after it are purple: the ";"
    // paints itself blue again, the line break and the next line's first
    // blank stay purple.
    QCOMPARE(colours(e, 3), QStringLiteral("..kk.bg.oo.fffb.kkkk.g.o.pppb"));
    QCOMPARE(styles(e, 3), QStringLiteral(".....--.--.----......-.-.----"));
    // The quoted name's three characters run over " ! ", and the stray "!"
    // paints itself red and underlined.
    QCOMPARE(colours(e, 4), QStringLiteral("p.g.o.pppprpf.oo.f.oo.fb"));
    QCOMPARE(styles(e, 4), QStringLiteral("-.-.-.----u--.--.-.--.--"));
    // A spoilt number: the digits and the letter red, the rest a word.
    QCOMPARE(colours(e, 5), QStringLiteral("..g.o.rrrgb"));
    QCOMPARE(styles(e, 5), QStringLiteral("..-.-.uuu--"));
    QCOMPARE(colours(e, 6), QStringLiteral("kkk"));
}

void TestEditor::colourSpansOfASelect()
{
    // A select statement with one column, a comma, a two-letter string, from,
    // a table and a trailing comment.
    TMyRichEdit e;
    e.setPlainText(QStringLiteral("select a, 'xy' from t /* c */"));
    e.Highlight();
    QCOMPARE(colours(e, 0), QStringLiteral("kkkkkk.gb.pppppkkkk.g.ccccccc"));
    QCOMPARE(styles(e, 0), QStringLiteral(".......--.-------...-.iiiiiii"));
}

void TestEditor::colourEdgeCases()
{
    TMyRichEdit e;
    // An unclosed comment is grey to the end, over every line it covers.
    e.setPlainText(QStringLiteral("x /* open\nstill open\n  end"));
    e.Highlight();
    QCOMPARE(colours(e, 0), QStringLiteral("g.ccccccc"));
    QCOMPARE(colours(e, 1), QStringLiteral("cccccccccc"));
    QCOMPARE(colours(e, 2), QStringLiteral("ccccc"));

    // A stray character is one red underlined character; so is a no-break
    // space, which is no blank.
    e.setPlainText(QStringLiteral("a ! b\u00a0c"));
    e.Highlight();
    QCOMPARE(colours(e, 0), QStringLiteral("g.r.grg"));
    QCOMPARE(styles(e, 0), QStringLiteral("-.u.-u-"));

    // A string's three extra characters run over the line break into the
    // next line.
    e.setPlainText(QStringLiteral("'ab'\n  z"));
    e.Highlight();
    QCOMPARE(colours(e, 0), QStringLiteral("pppp"));
    QCOMPARE(colours(e, 1), QStringLiteral("ppg"));

    // A string with doubled quotes is painted to its end, though its text is
    // shorter than the characters it takes.
    e.setPlainText(QStringLiteral("'''''''''''' x"));
    e.Highlight();
    QCOMPARE(colours(e, 0), QStringLiteral("pppppppppppp.g"));

    // An unterminated string is red to its end, doubled quote and all.
    e.setPlainText(QStringLiteral("x 'a''b"));
    e.Highlight();
    QCOMPARE(colours(e, 0), QStringLiteral("g.rrrrr"));

    // A second pass over a changed text leaves nothing of the first.
    e.setPlainText(QStringLiteral("abc\n\ndef"));
    e.Highlight();
    e.Highlight();
    QCOMPARE(colours(e, 0), QStringLiteral("ggg"));
    QCOMPARE(colours(e, 2), QStringLiteral("ggg"));
    QVERIFY(e.document()->findBlockByNumber(1).layout()->formats().isEmpty());
}

void TestEditor::colourIsAViewOnly()
{
    TMyRichEdit e;
    e.setPlainText(QStringLiteral("select 1 from t"));
    e.document()->setModified(false);
    QTextCursor c = e.textCursor();
    c.setPosition(7);
    e.setTextCursor(c);
    QSignalSpy changed(&e, &QPlainTextEdit::textChanged);
    QSignalSpy undo(e.document(), &QTextDocument::undoAvailable);

    e.Highlight();
    QCOMPARE(changed.count(), 0);
    QVERIFY(!e.document()->isModified());
    QVERIFY(!e.document()->isUndoAvailable());
    QCOMPARE(e.toPlainText(), QStringLiteral("select 1 from t"));
    // The selection is left empty at the start.
    QCOMPARE(e.textCursor().position(), 0);
    QVERIFY(!e.textCursor().hasSelection());
}

void TestEditor::colourDrawn()
{
    // The drawn-over formats must reach the screen, not only the layout.
    TMyRichEdit e;
    QFont f = e.font();
    f.setPixelSize(40);
    e.setFont(f);
    e.resize(400, 120);
    e.setPlainText(QStringLiteral("abcdefgh"));
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    QCOMPARE(countPixels(e.viewport()->grab().toImage(), wbcolours::clGreen), 0);
    e.Highlight();
    QTRY_VERIFY(countPixels(e.viewport()->grab().toImage(), wbcolours::clGreen) > 20);
    e.PlainSyntax();
    QTRY_COMPARE(countPixels(e.viewport()->grab().toImage(), wbcolours::clGreen), 0);
    QVERIFY(countPixels(e.viewport()->grab().toImage(), wbcolours::clBlack) > 20);
}

void TestEditor::colourDroppedByEditsAndPlain()
{
    TMyRichEdit e;
    e.setPlainText(QStringLiteral("aa bb\ncc dd\nee ff"));
    e.Highlight();
    // An edit drops the colours of the lines it touches, so none stand over
    // the wrong characters; the other lines keep theirs.
    QTextCursor c(e.document()->findBlockByNumber(1));
    c.insertText(QStringLiteral("x = "));
    QCOMPARE(colours(e, 0), QStringLiteral("gg.gg"));
    QCOMPARE(colours(e, 1), QStringLiteral("........."));
    QCOMPARE(colours(e, 2), QStringLiteral("gg.gg"));

    // "Plain syntax": no colour, style or mark left, caret at the start, the
    // parent's font followed again.
    e.MarkText(QStringLiteral("ff"), QColor(wbcolours::clRed));
    e.setFont(QFont(QStringLiteral("Monospace"), 30));
    e.PlainSyntax();
    for (int line = 0; line < 3; ++line)
        QCOMPARE(colours(e, line).count(QLatin1Char('.')), colours(e, line).size());
    QCOMPARE(e.textCursor().position(), 0);
    QVERIFY(!e.testAttribute(Qt::WA_SetFont));

    // A replacement drops every colour, as setting the whole text would.
    e.Highlight();
    QTextCursor caret = e.textCursor();
    caret.setPosition(0);
    e.setTextCursor(caret);
    QVERIFY(e.FindNext(QStringLiteral("ee"), QStringLiteral("EE"), false, true, false));
    for (int line = 0; line < 3; ++line)
        QCOMPARE(colours(e, line).count(QLatin1Char('.')), colours(e, line).size());
}

void TestEditor::goToLine()
{
    TMyRichEdit e;
    e.resize(300, 150);
    e.setPlainText(numberedLines(100));
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    QScrollBar *bar = e.verticalScrollBar();

    // Line 10 whole, and line 10 the second visible line.
    e.GoToLine(10, 0);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("line 10"));
    QCOMPARE(bar->value(), 8);

    // Line 1: selected, not scrolled down.
    e.GoToLine(1, 0);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("line 1"));
    QCOMPARE(e.textCursor().selectionStart(), 0);
    QCOMPARE(bar->value(), 0);

    // Line 0 (the fixed line before the text, named by a server error) goes
    // to the first line without an error.
    e.GoToLine(30, 0);
    e.GoToLine(0, 0);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("line 1"));
    QCOMPARE(bar->value(), 0);

    // A column selects one character of the line.
    e.GoToLine(12, 3);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("n"));
    QCOMPARE(e.textCursor().selectionStart(), e.document()->findBlockByNumber(11).position() + 2);

    // Past the end: the last line, no error.
    e.GoToLine(500, 0);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("line 100"));
}

void TestEditor::markText()
{
    TMyRichEdit e;
    e.resize(300, 150);
    e.setPlainText(numberedLines(60).replace(QStringLiteral("line 40"), QStringLiteral("x /*@BP1*/ y /*@BP1*/")));
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));

    e.MarkText(QStringLiteral("/*@BP1*/"), QColor(wbcolours::clRed));
    // The first occurrence on its line, bold red; the caret at its start; the
    // line second visible.
    QCOMPARE(colours(e, 39), QStringLiteral("..rrrrrrrr..........."));
    QCOMPARE(styles(e, 39), QStringLiteral("..bbbbbbbb..........."));
    QCOMPARE(e.textCursor().position(), e.document()->findBlockByNumber(39).position() + 2);
    QVERIFY(!e.textCursor().hasSelection());
    QCOMPARE(e.verticalScrollBar()->value(), 38);
    QVERIFY(!e.document()->isUndoAvailable());

    // Case counts, and a text not there changes nothing.
    QTextCursor c = e.textCursor();
    c.setPosition(5);
    e.setTextCursor(c);
    e.MarkText(QStringLiteral("LINE 3"), QColor(wbcolours::clRed));
    e.MarkText(QString(), QColor(wbcolours::clRed));
    QCOMPARE(e.textCursor().position(), 5);
    QCOMPARE(colours(e, 2), QStringLiteral("......"));
}

void TestEditor::findNext()
{
    TMyRichEdit e;
    e.setPlainText(QStringLiteral("abc abc abc"));
    // A hit at the caret itself is not found; each next one once.
    QVERIFY(e.FindNext(QStringLiteral("abc"), QString(), false, false, false));
    QCOMPARE(e.textCursor().selectionStart(), 4);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("abc"));
    QVERIFY(e.FindNext(QStringLiteral("abc"), QString(), false, false, false));
    QCOMPARE(e.textCursor().selectionStart(), 8);
    QVERIFY(!e.FindNext(QStringLiteral("abc"), QString(), false, false, false));
    QCOMPARE(e.textCursor().selectionStart(), 8);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("abc"));

    // With or without case.
    e.setPlainText(QStringLiteral("x Select y"));
    QVERIFY(!e.FindNext(QStringLiteral("SELECT"), QString(), false, false, false));
    QVERIFY(e.FindNext(QStringLiteral("SELECT"), QString(), true, false, false));
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("Select"));

    // Nothing to find is never found, and the line of the hit is kept.
    e.setPlainText(QStringLiteral("a\nb\nc b"));
    QVERIFY(!e.FindNext(QString(), QStringLiteral("x"), false, true, false));
    QVERIFY(e.FindNext(QStringLiteral("b"), QString(), false, false, false));
    QCOMPARE(e.CurLine, 1);
    QVERIFY(e.FindNext(QStringLiteral("b"), QString(), false, false, false));
    QCOMPARE(e.CurLine, 2);
}

void TestEditor::findIgnoringCaseKeepsOffsets()
{
    // Upper-casing would turn each "ß" into two letters and move every hit
    // after it; the hit must be the "x" itself.
    TMyRichEdit e;
    e.setPlainText(QStringLiteral("\u00dfx \u00dfx"));
    QVERIFY(e.FindNext(QStringLiteral("X"), QStringLiteral("y"), true, true, false));
    QCOMPARE(e.toPlainText(), QStringLiteral("\u00dfy \u00dfx"));
    QCOMPARE(e.ReplaceAll(QStringLiteral("X"), QStringLiteral("z"), true), 1);
    QCOMPARE(e.toPlainText(), QStringLiteral("\u00dfy \u00dfz"));
}

void TestEditor::findAndReplaceAsks()
{
    ScriptedPrompter prompter;
    ScopedPrompter scope(prompter);
    TMyRichEdit e;
    e.setPlainText(QStringLiteral("one two one two"));
    e.document()->setModified(false);

    // No: the text stays, the hit stays selected, and it counts as found.
    prompter.answer(Prompter::Answer::No);
    QVERIFY(e.FindNext(QStringLiteral("two"), QStringLiteral("2"), false, true, true));
    QCOMPARE(e.toPlainText(), QStringLiteral("one two one two"));
    QCOMPARE(e.textCursor().selectionStart(), 4);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("two"));
    QVERIFY(!e.document()->isModified());

    // Yes: replaced, and the replacement selected.
    prompter.answer(Prompter::Answer::Yes);
    QVERIFY(e.FindNext(QStringLiteral("two"), QStringLiteral("2"), false, true, true));
    QCOMPARE(e.toPlainText(), QStringLiteral("one two one 2"));
    QCOMPARE(e.textCursor().selectionStart(), 12);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("2"));
    QVERIFY(e.document()->isModified());

    // Without the prompt nothing is asked.
    e.setPlainText(QStringLiteral("a b"));
    QVERIFY(e.FindNext(QStringLiteral("b"), QStringLiteral("c"), false, true, false));
    QCOMPARE(e.toPlainText(), QStringLiteral("a c"));

    QCOMPARE(prompter.texts(), QStringList({QStringLiteral("Replace this substring?"),
                                            QStringLiteral("Replace this substring?")}));
    QCOMPARE(prompter.calls().at(0).buttons, Prompter::Buttons::YesNo);
    QVERIFY2(prompter.problems().isEmpty(), qPrintable(prompter.problems().join(QLatin1Char('\n'))));
}

void TestEditor::replaceAll()
{
    TMyRichEdit e;
    // From the caret: the hit at the caret is not replaced.
    e.setPlainText(QStringLiteral("aaa"));
    QCOMPARE(e.ReplaceAll(QStringLiteral("a"), QStringLiteral("b"), false), 2);
    QCOMPARE(e.toPlainText(), QStringLiteral("abb"));

    // A replacement holding the searched text is not searched again.
    e.setPlainText(QStringLiteral("aaa"));
    QCOMPARE(e.ReplaceAll(QStringLiteral("a"), QStringLiteral("ba"), false), 2);
    QCOMPARE(e.toPlainText(), QStringLiteral("ababa"));

    // Removing: hits that close up behind a removed one are replaced too.
    e.setPlainText(QStringLiteral("xaaa"));
    QCOMPARE(e.ReplaceAll(QStringLiteral("a"), QString(), false), 3);
    QCOMPARE(e.toPlainText(), QStringLiteral("x"));

    // Without case, over lines, from a caret in the middle.
    e.setPlainText(QStringLiteral("Ab\nab\nAB"));
    QTextCursor c = e.textCursor();
    c.setPosition(3);
    e.setTextCursor(c);
    QCOMPARE(e.ReplaceAll(QStringLiteral("ab"), QStringLiteral("xy"), true), 1);
    QCOMPARE(e.toPlainText(), QStringLiteral("Ab\nab\nxy"));
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("xy"));

    // Nothing found, or nothing to find: no change.
    e.setPlainText(QStringLiteral("abc"));
    QCOMPARE(e.ReplaceAll(QStringLiteral("q"), QStringLiteral("r"), false), 0);
    QCOMPARE(e.ReplaceAll(QString(), QStringLiteral("r"), false), 0);
    QCOMPARE(e.toPlainText(), QStringLiteral("abc"));

    // All replacements are one step to undo.
    e.setPlainText(QStringLiteral("x.x.x.x"));
    QCOMPARE(e.ReplaceAll(QStringLiteral("."), QStringLiteral("::"), false), 3);
    QCOMPARE(e.toPlainText(), QStringLiteral("x::x::x::x"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("x.x.x.x"));
}

void TestEditor::findDialog()
{
    ScriptedPrompter prompter;
    ScopedPrompter scope(prompter);
    QWidget owner;
    TfmFind find(&owner);
    TMyRichEdit e(&owner);

    QCOMPARE(find.windowTitle(), QStringLiteral("Find"));
    QVERIFY(find.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(find.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(find.BitBtn2->text(), QStringLiteral("Find Next"));
    QCOMPARE(find.BitBtn3->text(), QStringLiteral("Find and Replace"));
    QCOMPARE(find.BitBtn4->text(), QStringLiteral("Replace All         "));
    QCOMPARE(find.BitBtn1->text(), QStringLiteral("Cancel    "));
    QCOMPARE(find.CBIgnoreCase->text(), QStringLiteral("Ignore case"));
    QCOMPARE(find.CBConfirm->text(), QStringLiteral("Confirm replation"));

    // Shown without waiting: the caller goes on while it is open.
    owner.show();
    find.ShowFor(&e);
    QVERIFY(find.isVisible());
    QVERIFY(!find.isModal());
    QCOMPARE(find.Editor.data(), &e);

    e.setPlainText(QStringLiteral("aaa SELECT"));
    find.Edit1->setText(QStringLiteral("select"));
    QTest::mouseClick(find.BitBtn2, Qt::LeftButton);
    find.CBIgnoreCase->setChecked(true);
    QTest::mouseClick(find.BitBtn2, Qt::LeftButton);
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("SELECT"));

    // "Find and Replace" asks when "Confirm replation" is ticked.
    e.setTextCursor(QTextCursor(e.document()));
    find.Edit2->setText(QStringLiteral("pick"));
    find.CBConfirm->setChecked(true);
    prompter.answer(Prompter::Answer::No);
    QTest::mouseClick(find.BitBtn3, Qt::LeftButton);
    QCOMPARE(e.toPlainText(), QStringLiteral("aaa SELECT"));
    QCOMPARE(e.textCursor().selectedText(), QStringLiteral("SELECT"));

    // "Replace All" never asks, and tells the count as it is written.
    e.setTextCursor(QTextCursor(e.document()));
    find.Edit1->setText(QStringLiteral("a"));
    find.Edit2->setText(QStringLiteral("b"));
    QTest::mouseClick(find.BitBtn4, Qt::LeftButton);
    QCOMPARE(e.toPlainText(), QStringLiteral("abb SELECT"));
    QTest::mouseClick(find.BitBtn4, Qt::LeftButton);

    QCOMPARE(prompter.texts(), QStringList({QStringLiteral("No matches"), QStringLiteral("Replace this substring?"),
                                            QStringLiteral("2 replacements was made"),
                                            QStringLiteral("0 replacements was made")}));
    QCOMPARE(prompter.calls().at(0).kind, ScriptedPrompter::Kind::Message);
    QVERIFY2(prompter.problems().isEmpty(), qPrintable(prompter.problems().join(QLatin1Char('\n'))));

    // Cancel only hides it; texts and boxes stay for the next use.
    QTest::mouseClick(find.BitBtn1, Qt::LeftButton);
    QVERIFY(!find.isVisible());
    find.ShowFor(&e);
    QCOMPARE(find.Edit1->text(), QStringLiteral("a"));
    QVERIFY(find.CBIgnoreCase->isChecked());

    // An editor that went away is no longer worked on.
    {
        TMyRichEdit gone;
        find.ShowFor(&gone);
    }
    QVERIFY(find.Editor.isNull());
    QTest::mouseClick(find.BitBtn2, Qt::LeftButton);
    QCOMPARE(prompter.calls().size(), 4);
}

void TestEditor::autoIndent()
{
    TMyRichEdit e;
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    QSignalSpy keyUp(&e, &TMyRichEdit::keyUp);

    // Four blanks: the new line starts with four, the caret after them.
    e.setPlainText(QStringLiteral("    begin"));
    e.moveCursor(QTextCursor::End);
    QTest::keyClick(&e, Qt::Key_Return);
    QCOMPARE(e.toPlainText(), QStringLiteral("    begin\n    "));
    QCOMPARE(e.textCursor().position(), 14);
    QCOMPARE(e.CurLine, 1);
    QCOMPARE(e.CurCol, 4);
    QCOMPARE(keyUp.count(), 1);
    QCOMPARE(keyUp.at(0).at(0).toInt(), int(Qt::Key_Return));

    // Return inside a line: the rest moves down behind the blanks.
    e.setPlainText(QStringLiteral("  if (a) then b;"));
    QTextCursor c = e.textCursor();
    c.setPosition(13);
    e.setTextCursor(c);
    QTest::keyClick(&e, Qt::Key_Return);
    QCOMPARE(e.toPlainText(), QStringLiteral("  if (a) then\n   b;"));
    QCOMPARE(e.textCursor().position(), 16);

    // A tab is no blank: no indent.
    e.setPlainText(QStringLiteral("\tbegin"));
    e.moveCursor(QTextCursor::End);
    QTest::keyClick(&e, Qt::Key_Return);
    QCOMPARE(e.toPlainText(), QStringLiteral("\tbegin\n"));
    QCOMPARE(e.CurCol, 0);

    // Shift+Return starts a new line as well, not a break inside the line.
    e.setPlainText(QStringLiteral("  x"));
    e.moveCursor(QTextCursor::End);
    QTest::keyClick(&e, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(e.document()->blockCount(), 2);
    QCOMPARE(e.toPlainText(), QStringLiteral("  x\n  "));

    // A Return that breaks no line (read-only colour view, or a shortcut
    // that took the press) puts no blanks into an existing line.
    e.setPlainText(QStringLiteral("  a\nb"));
    e.setReadOnly(true);
    e.moveCursor(QTextCursor::End);
    QTest::keyClick(&e, Qt::Key_Return);
    e.setReadOnly(false);
    QTest::keyRelease(&e, Qt::Key_Return);
    QCOMPARE(e.toPlainText(), QStringLiteral("  a\nb"));

    // Called directly: line 0 has no line before it.
    e.AutoIndent(0);
    QCOMPARE(e.toPlainText(), QStringLiteral("  a\nb"));
    e.AutoIndent(1);
    QCOMPARE(e.toPlainText(), QStringLiteral("  a\n  b"));
    QCOMPARE(e.textCursor().position(), 6);

    QCOMPARE(TMyRichEdit::LeadingSpaces(QString()), 0);
    QCOMPARE(TMyRichEdit::LeadingSpaces(QStringLiteral("   x ")), 3);
    QCOMPARE(TMyRichEdit::LeadingSpaces(QStringLiteral("\t  x")), 0);
    QCOMPARE(TMyRichEdit::LeadingSpaces(QStringLiteral(" \t")), 1);
}

void TestEditor::autoIndentPastLine65536()
{
    // A 16-bit line number would indent line 70,000 - 65,536 instead.
    QStringList lines;
    for (int i = 0; i < 70000; ++i)
        lines << (i == 69999 ? QStringLiteral("  last") : QStringLiteral("x%1").arg(i));
    TMyRichEdit e;
    e.setPlainText(lines.join(QLatin1Char('\n')));
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    e.moveCursor(QTextCursor::End);
    QTest::keyClick(&e, Qt::Key_Return);
    QCOMPARE(e.CurLine, 70000);
    QCOMPARE(e.document()->findBlockByNumber(70000).text(), QStringLiteral("  "));
    QCOMPARE(e.document()->findBlockByNumber(70000 - 65536).text(), QStringLiteral("x4464"));
}

void TestEditor::caretLineAndColumn()
{
    TMyRichEdit e;
    e.resize(300, 200);
    e.setPlainText(QStringLiteral("first\nsecond line\nthird"));
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    QSignalSpy down(&e, &TMyRichEdit::mouseDown);
    QSignalSpy up(&e, &TMyRichEdit::mouseUp);

    QTextCursor c = e.textCursor();
    c.setPosition(12);
    c.setPosition(8, QTextCursor::KeepAnchor);
    e.setTextCursor(c);
    // The selection start counts, wherever the caret is.
    e.UpdateCurLine();
    e.UpdateCurCol();
    QCOMPARE(e.CurLine, 1);
    QCOMPARE(e.CurCol, 2);

    // A click puts the caret and updates both on release.
    const QRect third = e.cursorRect(QTextCursor(e.document()->findBlockByNumber(2)));
    QTest::mouseClick(e.viewport(), Qt::LeftButton, {}, QPoint(third.left() + 1, third.center().y()));
    QCOMPARE(e.CurLine, 2);
    QCOMPARE(e.CurCol, 0);
    QCOMPARE(down.count(), 1);
    QCOMPARE(up.count(), 1);

    // Keys update them too.
    QTest::keyClick(&e, Qt::Key_End);
    QCOMPARE(e.CurLine, 2);
    QCOMPARE(e.CurCol, 5);
}

void TestEditor::questionsAboutTheText()
{
    TMyRichEdit e;
    e.setPlainText(QStringLiteral("/* select */\nupdate t set a = 1"));
    QVERIFY(!e.IsSelectStatement());
    e.setPlainText(QStringLiteral("  SeLeCt *\nfrom t"));
    QVERIFY(e.IsSelectStatement());
    QCOMPARE(e.GetObjectName(), QString());
    e.setPlainText(QStringLiteral("ALTER TRIGGER tr1 /* FOR T1 */\nACTIVE\nBEFORE INSERT"));
    QCOMPARE(e.GetObjectName(), QStringLiteral("TR1"));
}

DUNMOOR_GUI_TEST_MAIN(TestEditor)
#include "tst_editor.moc"
