#pragma once

#include <QString>
#include <QStringView>

// The scanner of the workbench's editors: SQL and procedure-language text,
// read once, one character at a time, never backing up and never failing
// (text it cannot read becomes error tokens and scanning goes on). It builds
// no tree; the colouring pass paints by the kinds, and two small questions
// about a text (is it a SELECT, which name follows PROCEDURE or TRIGGER) are
// answered with it.
//
// Offsets: the lexer counts every character of the text it is given as one,
// a CR and a LF included; Position and TokenStart are 1-based indexes into
// that text. What the editor hands it is said where the editor converts.
//
// One TLex serves one pass over one text. Everything a pass needs (the last
// comment included) lives in the object, and the keyword table is constant,
// so passes over different texts do not disturb each other.
class TLex {
public:
    // The token kinds NextToken returns; the colouring keys on the numbers.
    enum Kind {
        EndOfText = 0,
        Comment = 1,      // "/*" through "*/"; TokenText empty, see CommentLength
        Keyword = 2,      // case as written
        Identifier = 3,
        Number = 4,       // digits with at most one "."
        String = 5,       // single quotes kept, a doubled quote inside read as one
        NotEqual = 6,     // "<>"
        GreaterEqual = 7, // ">="
        LessEqual = 8,    // "<="
        Operator = 9,     // / < > * + - =
        Punctuation = 10, // ( ) , . : ; [ ]
        Unused = 11,      // never returned
        Error = 12,       // malformed number, unterminated quoted text, stray character
        QuotedName = 13,  // double quotes kept
    };

    explicit TLex(const QString &text);
    TLex(const TLex &) = delete;
    TLex &operator=(const TLex &) = delete;

    // Reads one token starting at CurChar and returns its kind; afterwards
    // CurChar is the first character after the token. A NUL in the text ends
    // scanning as the end of the text does.
    int NextToken();
    // The character at Position, or NUL past the end; Position moves on by
    // one either way.
    char16_t NextChar();

    // The last token's text: for a string its doubled quotes read as one,
    // empty for a comment, unchanged by the end of the text. Valid until the
    // next NextToken.
    QStringView TokenText() const;
    // The last comment's length in characters, "/*" and "*/" included (an
    // unclosed comment runs to the end of the text), and its text. There is
    // no fixed buffer, so a comment of any length is measured whole.
    int CommentLength() const { return m_commentLength; }
    QStringView CommentText() const;

    bool IsDelimiter() const; // CurChar ends a number
    static bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
    static bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
    static char16_t LowerChar(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }
    static QString LowerStr(QStringView s);
    // Whether a word is one of the keywords, without regard to case.
    static bool IsKeyword(QStringView word);
    // The keyword table, lower case and sorted.
    static int KeywordCount();
    static const char *KeywordAt(int i);

    const QString Text;
    const int TextLength;
    char16_t CurChar = 0;
    int Position = 1;   // 1-based index of the next character to read
    // Grows by one for every separator NextToken skips, so a caller that
    // sets it to Position - 1 (the index of CurChar) before the call gets
    // the 1-based index of the token's first character.
    int TokenStart = 0;

private:
    // Makes the 0-based index i current: CurChar is the character there.
    void setCurrent(int i)
    {
        Position = i + 2;
        CurChar = m_data[i];
    }
    void setCurrent(int i, char16_t c) // c: the character at i, already read
    {
        Position = i + 2;
        CurChar = c;
    }
    void setToken(int begin, int length)
    {
        m_tokenBegin = begin;
        m_tokenLength = length;
        m_tokenOwned = false;
    }
    int skipSeparators(int i) const;
    int scanIdentifier(int i);
    int scanNumber(int i);
    int scanSlash(int i);
    int scanString(int i);
    int scanQuotedName(int i);

    // Text's characters; the array ends in a NUL at TextLength, so every
    // scanning loop stops there without a bounds test.
    const char16_t *m_data;
    int m_tokenBegin = 0;
    int m_tokenLength = 0;
    bool m_tokenOwned = false;
    QString m_ownedText; // a string token whose doubled quotes were read as one
    int m_commentBegin = 0;
    int m_commentLength = 0;
};

// The first keyword of the text is SELECT (any case); false without keywords.
bool IsSelectStatementText(const QString &text);
// The upper-cased text of the token that follows the first keyword PROCEDURE
// or TRIGGER; empty when there is none, or when nothing follows it.
QString ObjectNameInText(const QString &text);
