#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QString>

// The colours the workbench paints text with, by the names its code uses,
// each the colour its name says.
namespace wbcolours {
constexpr QRgb clBlack = qRgb(0x00, 0x00, 0x00);
constexpr QRgb clGray = qRgb(0x80, 0x80, 0x80);
constexpr QRgb clGreen = qRgb(0x00, 0x80, 0x00);
constexpr QRgb clFuchsia = qRgb(0xFF, 0x00, 0xFF);
constexpr QRgb clPurple = qRgb(0x80, 0x00, 0x80);
constexpr QRgb clOlive = qRgb(0x80, 0x80, 0x00);
constexpr QRgb clBlue = qRgb(0x00, 0x00, 0xFF);
constexpr QRgb clRed = qRgb(0xFF, 0x00, 0x00);
} // namespace wbcolours

// The editor of the procedure, trigger and SQL pages: plain text without
// wrapping, plus a colour view of the whole text by token kind, jumping to a
// line, marking a text, find and replace, auto-indent on Return, the caret's
// line and column, and two questions about the text.
//
// Offsets are document positions: every line break counts as one character,
// the same rule as the text handed to the lexer (see Highlight).
//
// Colouring and marks are a view: they are drawn over the text (per line, as
// additional layout formats) and are not part of the document, so they make
// no undo step, do not set the modified flag and do not fire textChanged. A
// change of the text drops them from the lines it touches; a replacement by
// FindNext or ReplaceAll and PlainSyntax drop them all.
class TMyRichEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMyRichEdit(QWidget *parent = nullptr);

    // The colour view of the whole text. Leaves the selection empty at the
    // start of the text; making the editor read-only is the page's business.
    void Highlight();
    // The editor's half of the page's "Plain syntax": every colour, style and
    // mark dropped, the caret at the start, the parent's font followed again.
    void PlainSyntax();

    // Selects line (1-based; 0 and numbers past the end go to the first and
    // the last line) whole when column is 0, else its one character at column
    // (1-based), focuses the editor and scrolls the line to the second
    // visible row (the first for line 1).
    void GoToLine(int line, int column);
    // The first occurrence of text on a line (case-sensitive): painted bold
    // in colour, the caret at its start and its line the second visible row.
    // Nothing when the text is not there.
    void MarkText(const QString &text, const QColor &colour);
    // Searches after the selection start (a hit at the selection start itself
    // is not found), selects the hit and scrolls to it. With doReplace the hit
    // is replaced, after asking "Replace this substring?" when prompt is set
    // (on No the hit stays selected and nothing changes). True when found.
    bool FindNext(const QString &find, const QString &replacement, bool ignoreCase, bool doReplace, bool prompt);
    // Replaces every hit after the selection start without asking; returns
    // the count. The search resumes after each inserted replacement, so a
    // replacement that holds the searched text is not searched again.
    int ReplaceAll(const QString &find, const QString &replacement, bool ignoreCase);

    // CurLine: 0-based line of the selection start; CurCol: its 0-based
    // column.
    void UpdateCurLine();
    void UpdateCurCol();
    // Prepends to line (0-based) as many blanks as the line before it starts
    // with, and puts the caret after them. Nothing for line 0.
    void AutoIndent(int line);

    bool IsSelectStatement() const;
    QString GetObjectName() const;
    // Blanks at the start of s (tabs are not counted).
    static int LeadingSpaces(const QString &s);

    int CurLine = 0;
    int CurCol = 0;

signals:
    // After the editor's own handling of a key release (caret line and
    // column updated, auto-indent done), mouse press and mouse release.
    void keyUp(int key);
    void mouseDown();
    void mouseUp();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    QString lexText() const;
    void onContentsChange(int from, int charsRemoved, int charsAdded);
    void dropFormatting();
    void showLineSecond(int line); // 0-based
    void selectRange(int start, int length);
    int findFrom(const QString &text, const QString &find, int from, bool ignoreCase) const;

    bool m_formatted = false;   // some line may carry colours or a mark
    bool m_returnBroke = false; // the last Return press inserted a line break
};
