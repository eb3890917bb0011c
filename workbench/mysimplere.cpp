#include "workbench/mysimplere.h"

#include "platform/Prompter.h"
#include "workbench/Lex.h"

#include <QKeyEvent>
#include <QList>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <array>

namespace {

// A format that sets every style, so it paints over whatever was below it.
QTextCharFormat styled(QRgb colour, bool italic, bool underline)
{
    QTextCharFormat f;
    f.setForeground(QColor(colour));
    f.setFontWeight(QFont::Normal);
    f.setFontItalic(italic);
    f.setFontUnderline(underline);
    f.setFontStrikeOut(false);
    return f;
}

struct KindPaint {
    QTextCharFormat format;
    bool painted = false;
    bool overpaint = false; // three characters past the token text, repainted by what follows
};

// Colour, style and length by token kind. A keyword sets only its colour and
// keeps the style of the text below it.
const std::array<KindPaint, 14> &kindPaints()
{
    static const std::array<KindPaint, 14> paints = [] {
        using namespace wbcolours;
        std::array<KindPaint, 14> p{};
        QTextCharFormat keyword;
        keyword.setForeground(QColor(clBlack));
        p[TLex::Comment] = {styled(clGray, true, false), true, false};
        p[TLex::Keyword] = {keyword, true, false};
        p[TLex::Identifier] = {styled(clGreen, false, false), true, false};
        p[TLex::Number] = {styled(clFuchsia, false, false), true, false};
        p[TLex::String] = {styled(clPurple, false, false), true, true};
        p[TLex::QuotedName] = p[TLex::String];
        for (int k : {TLex::NotEqual, TLex::GreaterEqual, TLex::LessEqual, TLex::Operator})
            p[k] = {styled(clOlive, false, false), true, false};
        p[TLex::Punctuation] = {styled(clBlue, false, false), true, false};
        p[TLex::Error] = {styled(clRed, false, true), true, false};
        return p;
    }();
    return paints;
}

// Hands painted ranges of the whole text to the lines they fall on. Ranges
// come in painting order with non-decreasing starts; a range that runs past
// the end of its line is carried into the following lines, ahead of what
// starts there, so each line gets its ranges in painting order too (later
// ones are drawn over earlier ones).
class LinePainter {
public:
    explicit LinePainter(QTextDocument *doc) : m_block(doc->begin())
    {
        m_end = m_block.length();
    }

    void paint(int from, int to, const QTextCharFormat &format)
    {
        while (m_block.isValid() && from >= m_end)
            nextLine();
        add(from, to, format);
    }

    // Flushes every remaining line; lines with nothing painted lose what an
    // earlier pass left there.
    void finish()
    {
        while (m_block.isValid())
            nextLine();
    }

private:
    struct Carried {
        int to;
        QTextCharFormat format;
    };

    void add(int from, int to, const QTextCharFormat &format)
    {
        if (!m_block.isValid())
            return;
        const int textEnd = m_end - 1; // the line break itself is not drawn
        const int b = std::min(to, textEnd);
        if (b > from)
            m_ranges.append(QTextLayout::FormatRange{from - m_start, b - from, format});
        if (to > m_end)
            m_carried.append(Carried{to, format});
    }

    void nextLine()
    {
        QTextLayout *layout = m_block.layout();
        if (!m_ranges.isEmpty() || !layout->formats().isEmpty())
            layout->setFormats(m_ranges);
        m_ranges.clear();
        m_block = m_block.next();
        m_start = m_end;
        m_end = m_block.isValid() ? m_start + m_block.length() : m_start;
        const QList<Carried> carried = std::move(m_carried);
        m_carried.clear();
        for (const Carried &c : carried)
            add(m_start, c.to, c.format);
    }

    QTextBlock m_block;
    int m_start = 0;
    int m_end = 0; // position of the next line's first character
    QList<QTextLayout::FormatRange> m_ranges;
    QList<Carried> m_carried;
};

bool isReturnKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TMyRichEdit::TMyRichEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette p = palette();
    p.setColor(QPalette::Text, QColor(wbcolours::clBlack));
    setPalette(p);
    connect(document(), &QTextDocument::contentsChange, this, &TMyRichEdit::onContentsChange);
}

void TMyRichEdit::Highlight()
{
    // The lexer gets the document's text with every line break as one LF
    // (lexText), so its offsets (TokenStart - 1) are document positions as
    // they are; no conversion from two-character line breaks is needed.
    const QString text = lexText();
    const int textLength = int(text.size());
    QTextDocument *doc = document();
    const auto &paints = kindPaints();

    QTextCursor edit(doc);
    edit.beginEditBlock();
    {
        LinePainter painter(doc);
        TLex lex(text);
        for (;;) {
            lex.TokenStart = lex.Position - 1;
            const int kind = lex.NextToken();
            if (kind == TLex::EndOfText)
                break;
            const KindPaint &paint = paints[kind];
            if (!paint.painted)
                continue;
            const int start = lex.TokenStart - 1;
            // The characters the token takes in the text. Its text is shorter
            // only for a string with doubled quotes, and painting the text's
            // length alone would leave the string's end unpainted.
            const int extent = lex.Position - 1 - lex.TokenStart;
            int length = kind == TLex::Comment ? lex.CommentLength() : extent;
            if (paint.overpaint)
                length = std::max(length, int(lex.TokenText().size()) + 3);
            painter.paint(start, std::min(start + length, textLength), paint.format);
        }
        painter.finish();
    }
    {
        // Only the view changed: no textChanged for the pages' change
        // handlers, and no contentsChange for our own, which would take the
        // new formats for an edit and drop them again.
        const QSignalBlocker quiet(doc);
        edit.endEditBlock();
    }
    m_formatted = true;

    QTextCursor c = textCursor();
    c.setPosition(0);
    setTextCursor(c);
}

void TMyRichEdit::PlainSyntax()
{
    dropFormatting();
    setFont(QFont());
    QTextCursor c = textCursor();
    c.setPosition(0);
    setTextCursor(c);
}

void TMyRichEdit::dropFormatting()
{
    if (!m_formatted)
        return;
    QTextDocument *doc = document();
    QTextCursor edit(doc);
    edit.beginEditBlock();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QTextLayout *layout = b.layout();
        if (!layout->formats().isEmpty())
            layout->clearFormats();
    }
    {
        const QSignalBlocker quiet(doc);
        edit.endEditBlock();
    }
    m_formatted = false;
}

void TMyRichEdit::onContentsChange(int from, int charsRemoved, int charsAdded)
{
    Q_UNUSED(charsRemoved);
    // Formats are per line and by column: on an edited line they would stand
    // over the wrong characters, so the lines the change touched lose them.
    if (!m_formatted)
        return;
    QTextDocument *doc = document();
    const QTextBlock last = doc->findBlock(from + charsAdded);
    for (QTextBlock b = doc->findBlock(from); b.isValid(); b = b.next()) {
        QTextLayout *layout = b.layout();
        if (!layout->formats().isEmpty())
            layout->clearFormats();
        if (b == last)
            break;
    }
}

void TMyRichEdit::showLineSecond(int line)
{
    // Without wrapping every line is one row, and the scroll value is the
    // first visible line.
    verticalScrollBar()->setValue(std::max(0, line - 1));
}

void TMyRichEdit::selectRange(int start, int length)
{
    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(start + length, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void TMyRichEdit::GoToLine(int line, int column)
{
    // Line 0 arrives when a server error names the statement's fixed first
    // line, which the editor does not show: it goes to the first line.
    QTextDocument *doc = document();
    line = std::clamp(line, 1, doc->blockCount());
    const QTextBlock block = doc->findBlockByNumber(line - 1);
    const int lineText = block.length() - 1;
    if (column != 0) {
        const int pos = block.position() + std::clamp(column - 1, 0, std::max(0, lineText - 1));
        selectRange(pos, std::min(1, lineText));
    } else {
        selectRange(block.position(), lineText);
    }
    setFocus();
    showLineSecond(line - 1);
}

void TMyRichEdit::MarkText(const QString &text, const QColor &colour)
{
    if (text.isEmpty())
        return;
    QTextDocument *doc = document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const int column = int(b.text().indexOf(text));
        if (column < 0)
            continue;
        QTextCharFormat mark;
        mark.setForeground(colour);
        mark.setFontWeight(QFont::Bold);
        mark.setFontItalic(false);
        mark.setFontUnderline(false);
        mark.setFontStrikeOut(false);
        QTextCursor edit(doc);
        edit.beginEditBlock();
        QTextLayout *layout = b.layout();
        QList<QTextLayout::FormatRange> formats = layout->formats();
        formats.append(QTextLayout::FormatRange{column, int(text.size()), mark});
        layout->setFormats(formats);
        {
            const QSignalBlocker quiet(doc);
            edit.endEditBlock();
        }
        m_formatted = true;
        selectRange(b.position() + column, 0);
        setFocus();
        showLineSecond(b.blockNumber());
        return;
    }
}

int TMyRichEdit::findFrom(const QString &text, const QString &find, int from, bool ignoreCase) const
{
    // Ignoring case compares letter by letter without case; upper-casing the
    // text first would move offsets wherever a letter upper-cases to two.
    if (find.isEmpty() || from > text.size())
        return -1;
    return int(text.indexOf(find, from, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive));
}

bool TMyRichEdit::FindNext(const QString &find, const QString &replacement, bool ignoreCase, bool doReplace,
                           bool prompt)
{
    const int hit = findFrom(toPlainText(), find, textCursor().selectionStart() + 1, ignoreCase);
    if (hit < 0)
        return false;
    selectRange(hit, int(find.size()));
    setFocus();
    UpdateCurLine();
    showLineSecond(CurLine);
    if (!doReplace)
        return true;
    if (prompt
        && platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), QStringLiteral("Replace this substring?"))
               != platform::Prompter::Answer::Yes)
        return true;
    QTextCursor c = textCursor();
    c.insertText(replacement);
    dropFormatting();
    selectRange(hit, int(replacement.size()));
    return true;
}

int TMyRichEdit::ReplaceAll(const QString &find, const QString &replacement, bool ignoreCase)
{
    QString text = toPlainText();
    int from = textCursor().selectionStart() + 1;
    int count = 0;
    int last = -1;
    QTextCursor edit(document());
    edit.beginEditBlock();
    for (int hit; (hit = findFrom(text, find, from, ignoreCase)) >= 0;) {
        edit.setPosition(hit);
        edit.setPosition(hit + int(find.size()), QTextCursor::KeepAnchor);
        edit.insertText(replacement);
        text.replace(hit, find.size(), replacement);
        // Resume after what was inserted: searching from one past the hit
        // would find the searched text inside a replacement that holds it,
        // and never end.
        from = hit + int(replacement.size());
        last = hit;
        ++count;
    }
    edit.endEditBlock();
    if (count == 0)
        return 0;
    dropFormatting();
    selectRange(last, int(replacement.size()));
    setFocus();
    UpdateCurLine();
    showLineSecond(CurLine);
    return count;
}

void TMyRichEdit::UpdateCurLine()
{
    CurLine = document()->findBlock(textCursor().selectionStart()).blockNumber();
}

void TMyRichEdit::UpdateCurCol()
{
    const int start = textCursor().selectionStart();
    CurCol = start - document()->findBlock(start).position();
}

int TMyRichEdit::LeadingSpaces(const QString &s)
{
    int n = 0;
    while (n < s.size() && s.at(n) == QLatin1Char(' '))
        ++n;
    return n;
}

void TMyRichEdit::AutoIndent(int line)
{
    QTextDocument *doc = document();
    if (line <= 0 || line >= doc->blockCount())
        return;
    const int blanks = LeadingSpaces(doc->findBlockByNumber(line - 1).text());
    const QTextBlock block = doc->findBlockByNumber(line);
    if (blanks > 0) {
        QTextCursor c(block);
        c.insertText(QString(blanks, QLatin1Char(' ')));
    }
    QTextCursor caret(doc);
    caret.setPosition(block.position() + blanks);
    setTextCursor(caret);
}

QString TMyRichEdit::lexText() const
{
    // The document's own characters, one for one. A loaded CR LF or CR is
    // already a single line break here. Unlike toPlainText, a no-break space
    // stays what it is (a character the lexer reads as an error).
    QString text = document()->toRawText();
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u == QChar::ParagraphSeparator || u == QChar::LineSeparator || u == 0xFDD0 || u == 0xFDD1)
            c = QLatin1Char('\n');
    }
    return text;
}

bool TMyRichEdit::IsSelectStatement() const
{
    return IsSelectStatementText(lexText());
}

QString TMyRichEdit::GetObjectName() const
{
    return ObjectNameInText(lexText());
}

void TMyRichEdit::keyPressEvent(QKeyEvent *e)
{
    if (!isReturnKey(e->key())) {
        QPlainTextEdit::keyPressEvent(e);
        return;
    }
    // Shift+Return would break the line inside its paragraph, and then lines
    // and paragraphs would no longer be the same thing: every Return starts
    // a new line here.
    const int before = blockCount();
    if (e->modifiers() & Qt::ShiftModifier) {
        QKeyEvent plain(e->type(), e->key(), e->modifiers() & ~Qt::ShiftModifier, e->text(), e->isAutoRepeat(),
                        ushort(e->count()));
        QPlainTextEdit::keyPressEvent(&plain);
        e->setAccepted(plain.isAccepted());
    } else {
        QPlainTextEdit::keyPressEvent(e);
    }
    m_returnBroke = blockCount() > before;
}

void TMyRichEdit::keyReleaseEvent(QKeyEvent *e)
{
    UpdateCurLine();
    UpdateCurCol();
    // Only a Return that broke the line is indented: a read-only editor, or
    // a Return taken by a shortcut, must not get blanks in an existing line.
    if (isReturnKey(e->key()) && m_returnBroke) {
        m_returnBroke = false;
        UpdateCurLine();
        AutoIndent(CurLine);
        UpdateCurCol();
    }
    QPlainTextEdit::keyReleaseEvent(e);
    emit keyUp(e->key());
}

void TMyRichEdit::mousePressEvent(QMouseEvent *e)
{
    QPlainTextEdit::mousePressEvent(e);
    emit mouseDown();
}

void TMyRichEdit::mouseReleaseEvent(QMouseEvent *e)
{
    UpdateCurLine();
    UpdateCurCol();
    QPlainTextEdit::mouseReleaseEvent(e);
    emit mouseUp();
}
