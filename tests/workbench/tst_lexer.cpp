// The SQL lexer: every token kind and its edge cases, offsets, and the two
// questions the editor asks of a text.

#include "workbench/Lex.h"

#include <QTest>

namespace {

// Runs a pass the way the colouring pass does (TokenStart set to the index
// of the current character before each call) and writes every token as
// "kind|text|start"; a comment shows its whole text from CommentText.
QStringList lexAll(const QString &text)
{
    QStringList out;
    TLex lex(text);
    for (int guard = 0; guard <= text.size() + 1; ++guard) {
        lex.TokenStart = lex.Position - 1;
        const int kind = lex.NextToken();
        if (kind == TLex::EndOfText)
            return out;
        QString shown = lex.TokenText().toString();
        if (kind == TLex::Comment) {
            if (!shown.isEmpty())
                return {QStringLiteral("comment with token text: ") + shown};
            shown = lex.CommentText().toString();
            if (shown.size() != lex.CommentLength())
                return {QStringLiteral("comment length differs from its text")};
        }
        out << QStringLiteral("%1|%2|%3").arg(kind).arg(shown).arg(lex.TokenStart);
    }
    return {QStringLiteral("the lexer did not end")};
}

} // namespace

class TestLexer : public QObject {
    Q_OBJECT
private slots:
    void tokens_data();
    void tokens();
    void keywordTable();
    void scannerState();
    void longComment();
    void isSelect_data();
    void isSelect();
    void objectName_data();
    void objectName();
};

void TestLexer::tokens_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const QChar nul(u'\0');
    auto row = [](const char *name, const QString &text, const QStringList &expected) {
        QTest::newRow(name) << text << expected;
    };

    // Nothing to read.
    row("empty", QString(), {});
    row("separators only", QStringLiteral(" \t\r\n\x1a  "), {});

    // Keywords keep their case; a longer word is an identifier.
    row("keyword cases", QStringLiteral("select SELECT SeLeCt selects"),
        {"2|select|1", "2|SELECT|8", "2|SeLeCt|15", "3|selects|22"});
    row("keywords with underscores", QStringLiteral("entry_point returning_values module_name post_event returning"),
        {"2|entry_point|1", "2|returning_values|13", "2|module_name|30", "2|post_event|42", "3|returning|53"});
    row("one letter is no keyword", QStringLiteral("a as"), {"3|a|1", "2|as|3"});

    // Identifiers.
    row("dollar inside, underscore first", QStringLiteral("a$b _x x1_y$2"), {"3|a$b|1", "3|_x|5", "3|x1_y$2|8"});
    row("dollar first", QStringLiteral("$a"), {"12|$|1", "3|a|2"});

    // Single-quoted strings.
    row("doubled quote", QStringLiteral("x 'it''s' y"), {"3|x|1", "5|'it's'|3", "3|y|11"});
    row("empty string", QStringLiteral("''"), {"5|''|1"});
    row("only a doubled quote", QStringLiteral("''''"), {"5|'''|1"});
    row("string then word", QStringLiteral("'ab'cd"), {"5|'ab'|1", "3|cd|5"});
    row("unterminated string", QStringLiteral("'abc"), {"12|'abc|1"});
    row("unterminated with doubled quote", QStringLiteral("'a''b"), {"12|'a'b|1"});
    row("string over a line break", QStringLiteral("'a\r\nb' c"), {"5|'a\r\nb'|1", "3|c|8"});

    // Double-quoted names: never doubled.
    row("quoted name", QStringLiteral("\"My Table\""), {"13|\"My Table\"|1"});
    row("quoted names side by side", QStringLiteral("\"a\"\"b\""), {"13|\"a\"|1", "13|\"b\"|4"});
    row("unterminated name", QStringLiteral("\"abc"), {"12|\"abc|1"});

    // Numbers and the error token.
    row("decimal", QStringLiteral("12.5"), {"4|12.5|1"});
    row("trailing point", QStringLiteral("1. "), {"4|1.|1"});
    row("second point", QStringLiteral("1.2.3"), {"12|1.2.|1", "4|3|5"});
    row("letter after digits", QStringLiteral("12abc"), {"12|12a|1", "3|bc|4"});
    row("less-than after a digit", QStringLiteral("5<x"), {"12|5<|1", "3|x|3"});
    row("colon and bracket spoil it", QStringLiteral("3: 4]"), {"12|3:|1", "12|4]|4"});
    row("closed by delimiters", QStringLiteral("(5),6=7;8*9+1-2/3"),
        {"10|(|1", "4|5|2", "10|)|3", "10|,|4", "4|6|5", "9|=|6", "4|7|7", "10|;|8", "4|8|9", "9|*|10", "4|9|11",
         "9|+|12", "4|1|13", "9|-|14", "4|2|15", "9|/|16", "4|3|17"});
    row("number at the end", QStringLiteral("x=42"), {"3|x|1", "9|=|2", "4|42|3"});
    row("point before a digit", QStringLiteral(".5"), {"10|.|1", "4|5|2"});

    // Comments: their whole text and length.
    row("empty comment", QStringLiteral("/**/"), {"1|/**/|1"});
    row("asterisks before the close", QStringLiteral("/* a **/x"), {"1|/* a **/|1", "3|x|9"});
    row("slash right after the opening", QStringLiteral("/*/ x */y"), {"1|/*/ x */|1", "3|y|9"});
    row("first close ends it", QStringLiteral("/* a */ b */"), {"1|/* a */|1", "3|b|9", "9|*|11", "9|/|12"});
    row("unclosed comment", QStringLiteral("a /* open\r\nstill"), {"3|a|1", "1|/* open\r\nstill|3"});
    row("lone slash", QStringLiteral("a/b"), {"3|a|1", "9|/|2", "3|b|3"});
    row("slash at the end", QStringLiteral("a /"), {"3|a|1", "9|/|3"});
    row("comment over lines", QStringLiteral("/* 1\n2 */ end"), {"1|/* 1\n2 */|1", "2|end|11"});

    // Operators and punctuation.
    row("compound operators", QStringLiteral("<> <= >= =< !="),
        {"6|<>|1", "8|<=|4", "7|>=|7", "9|=|10", "9|<|11", "12|!|13", "9|=|14"});
    row("single comparisons", QStringLiteral("< > >< <"), {"9|<|1", "9|>|3", "9|>|5", "9|<|6", "9|<|8"});
    row("all punctuation", QStringLiteral("()[],.:;"),
        {"10|(|1", "10|)|2", "10|[|3", "10|]|4", "10|,|5", "10|.|6", "10|:|7", "10|;|8"});
    row("two points", QStringLiteral("a..b"), {"3|a|1", "10|.|2", "10|.|3", "3|b|4"});
    row("stray characters", QStringLiteral("#@{|}!?~`\\%&^\x0c"),
        {"12|#|1", "12|@|2", "12|{|3", "12|||4", "12|}|5", "12|!|6", "12|?|7", "12|~|8", "12|`|9", "12|\\|10",
         "12|%|11", "12|&|12", "12|^|13", "12|\x0c|14"});

    // Offsets: every character counts as one, CR and LF and tab included.
    row("CR LF and tab", QStringLiteral("a\r\nb\tc\n\n d"), {"3|a|1", "3|b|4", "3|c|6", "3|d|10"});

    // Characters above 127 start no token and are no letters.
    row("accented letter", QStringLiteral("na\u00efve"), {"3|na|1", "12|\u00ef|3", "3|ve|4"});
    row("latin-1 and beyond", QStringLiteral("\u00e9 \u20ac"), {"12|\u00e9|1", "12|\u20ac|3"});
    row("surrogate pair is one character", QStringLiteral("\U0001F600a"), {"12|\U0001F600|1", "3|a|3"});
    row("accent spoils a number", QStringLiteral("5\u00e9 x"), {"12|5\u00e9|1", "3|x|4"});
    row("in a string and a name", QStringLiteral("'\u00e9' \"\u00fc\""), {"5|'\u00e9'|1", "13|\"\u00fc\"|5"});

    // A NUL ends scanning wherever it stands.
    row("NUL between tokens", QStringLiteral("a") + nul + QStringLiteral("b"), {"3|a|1"});
    row("NUL after separators", QStringLiteral("select ") + nul + QStringLiteral(" from"), {"2|select|1"});
    row("NUL in a comment", QStringLiteral("/* x") + nul + QStringLiteral(" */ y"), {"1|/* x|1"});
    row("NUL deep in a long comment", QStringLiteral("/* long comment text") + nul + QStringLiteral(" and more text */ y"),
        {"1|/* long comment text|1"});
    // Long comments are searched eight characters at a time: stars that end
    // nothing, a close straddling the eighth character, an unclosed end.
    row("stars inside a long comment", QStringLiteral("/* a * b ** c *** d ****/x"),
        {"1|/* a * b ** c *** d ****/|1", "3|x|26"});
    row("close across a block of eight", QStringLiteral("/*123456*/y"), {"1|/*123456*/|1", "3|y|11"});
    row("long unclosed comment ending in a star", QStringLiteral("/* never closed at all *"),
        {"1|/* never closed at all *|1"});
    // Strings with doubled quotes one after another reuse one buffer.
    row("two strings with doubled quotes", QStringLiteral("'it''s a long one' 'a''b'"),
        {"5|'it's a long one'|1", "5|'a'b'|20"});
    row("NUL in a string", QStringLiteral("'ab") + nul + QStringLiteral("cd'"), {"12|'ab|1"});
    row("NUL in a name", QStringLiteral("\"ab") + nul + QStringLiteral("\""), {"12|\"ab|1"});
    row("NUL after a digit", QStringLiteral("12") + nul + QStringLiteral("x"), {"4|12|1"});
    row("NUL after less-than", QStringLiteral("<") + nul, {"9|<|1"});

    // Ends of text in every scanner.
    row("identifier at the end", QStringLiteral("x"), {"3|x|1"});
    row("name at the end", QStringLiteral("x \"n\""), {"3|x|1", "13|\"n\"|3"});
    row("string at the end", QStringLiteral("x 's'"), {"3|x|1", "5|'s'|3"});

    // A procedure text with every kind.
    row("procedure", QStringLiteral("CREATE PROCEDURE P (A INTEGER)\r\nAS\r\nbegin\r\n  /* c */ if (a <> 1.5) then x = 'q';\r\n  y = \"n\" ! 2;\r\nend"),
        {"2|CREATE|1", "2|PROCEDURE|8", "3|P|18", "10|(|20", "3|A|21", "2|INTEGER|23", "10|)|30", "2|AS|33",
         "2|begin|37", "1|/* c */|46", "2|if|54", "10|(|57", "3|a|58", "6|<>|60", "4|1.5|63", "10|)|66",
         "2|then|68", "3|x|73", "9|=|75", "5|'q'|77", "10|;|80", "3|y|85", "9|=|87", "13|\"n\"|89", "12|!|93",
         "4|2|95", "10|;|96", "2|end|99"});
}

void TestLexer::tokens()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(lexAll(text), expected);
}

void TestLexer::keywordTable()
{
    // Sorted and free of duplicates, or the binary search misses words.
    QCOMPARE(TLex::KeywordCount(), 130);
    for (int i = 1; i < TLex::KeywordCount(); ++i)
        QVERIFY2(qstrcmp(TLex::KeywordAt(i - 1), TLex::KeywordAt(i)) < 0, TLex::KeywordAt(i));

    for (int i = 0; i < TLex::KeywordCount(); ++i) {
        const QString word = QString::fromLatin1(TLex::KeywordAt(i));
        for (const QString &written : {word, word.toUpper(), word.left(1).toUpper() + word.mid(1)}) {
            TLex lex(written);
            QCOMPARE(lex.NextToken(), int(TLex::Keyword));
            QCOMPARE(lex.TokenText().toString(), written);
        }
        // Inside a longer text a word's key is read sixteen characters at a
        // time: what follows the word must not leak into it.
        for (const QString &tail : {QStringLiteral(" and then some more text"), QStringLiteral("\u00e9\u0100 and more text here"),
                                    QStringLiteral("x and then some more text"), QStringLiteral("_1 and then some more text")}) {
            TLex lex(word.toUpper() + tail);
            const bool longer = tail.at(0) == QLatin1Char('x') || tail.at(0) == QLatin1Char('_');
            QCOMPARE(lex.NextToken(), int(longer ? TLex::Identifier : TLex::Keyword));
            QCOMPARE(lex.TokenText().size(), word.size() + (longer ? tail.indexOf(QLatin1Char(' ')) : 0));
        }
        // One letter more is never a keyword; one letter less only when it
        // is itself in the table.
        QVERIFY2(!TLex::IsKeyword(word + QLatin1Char('x')), qPrintable(word));
        const QString shorter = word.chopped(1);
        bool listed = false;
        for (int k = 0; k < TLex::KeywordCount(); ++k)
            listed = listed || shorter == QLatin1String(TLex::KeywordAt(k));
        QCOMPARE(TLex::IsKeyword(shorter), listed);
    }
    QVERIFY(!TLex::IsKeyword(u"selec\u0074\u0301"));
    QCOMPARE(TLex::LowerStr(u"SeLeCT_\u00c9$1"), QStringLiteral("select_\u00c9$1"));
}

void TestLexer::scannerState()
{
    // Position is the index of the next character; CurChar the one before it.
    TLex lex(QStringLiteral("ab;"));
    QCOMPARE(lex.Position, 2);
    QCOMPARE(lex.CurChar, u'a');
    QCOMPARE(lex.NextToken(), int(TLex::Identifier));
    QCOMPARE(lex.CurChar, u';');
    QVERIFY(lex.IsDelimiter());
    QCOMPARE(lex.NextToken(), int(TLex::Punctuation));
    QCOMPARE(lex.CurChar, u'\0');
    // The end leaves the token text as it was, and repeats.
    QCOMPARE(lex.NextToken(), int(TLex::EndOfText));
    QCOMPARE(lex.TokenText().toString(), QStringLiteral(";"));
    QCOMPARE(lex.NextToken(), int(TLex::EndOfText));
    // Reading past the end gives NUL and still moves on.
    const int before = lex.Position;
    QCOMPARE(lex.NextChar(), u'\0');
    QCOMPARE(lex.NextChar(), u'\0');
    QCOMPARE(lex.Position, before + 2);
    QCOMPARE(lex.NextToken(), int(TLex::EndOfText));

    // Left alone, TokenStart only grows by the separators skipped.
    TLex spaced(QStringLiteral("  a \t b"));
    spaced.NextToken();
    QCOMPARE(spaced.TokenStart, 2);
    spaced.NextToken();
    QCOMPARE(spaced.TokenStart, 5);
}

void TestLexer::longComment()
{
    // Longer than any 16-bit count: measured whole, and the scan goes on.
    const QString body(70000, QLatin1Char('x'));
    TLex lex(QStringLiteral("/*") + body + QStringLiteral("*/ y"));
    QCOMPARE(lex.NextToken(), int(TLex::Comment));
    QCOMPARE(lex.CommentLength(), 70004);
    QCOMPARE(lex.NextToken(), int(TLex::Identifier));
    QCOMPARE(lex.TokenText().toString(), QStringLiteral("y"));
}

void TestLexer::isSelect_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("select");
    QTest::newRow("mixed case after blanks") << QStringLiteral("  SeLeCt * from t") << true;
    QTest::newRow("after a comment") << QStringLiteral("/* x */\nselect 1 from rdb$database") << true;
    QTest::newRow("update after a comment naming select")
        << QStringLiteral("/* select */ update t set a = 1") << false;
    QTest::newRow("first keyword decides") << QStringLiteral("insert into t select * from u") << false;
    QTest::newRow("identifiers before it") << QStringLiteral("x select") << true;
    QTest::newRow("selects is no keyword") << QStringLiteral("selects") << false;
    QTest::newRow("in quotes") << QStringLiteral("'select' \"select\"") << false;
    QTest::newRow("no keyword") << QStringLiteral("x = 1") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestLexer::isSelect()
{
    QFETCH(QString, text);
    QFETCH(bool, select);
    QCOMPARE(IsSelectStatementText(text), select);
}

void TestLexer::objectName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("alter trigger with a comment")
        << QStringLiteral("ALTER TRIGGER tr_one /* FOR T1 */\r\nACTIVE\r\nAFTER INSERT") << QStringLiteral("TR_ONE");
    QTest::newRow("create procedure and parenthesis")
        << QStringLiteral("create procedure Foo(a integer)") << QStringLiteral("FOO");
    QTest::newRow("execute procedure") << QStringLiteral("execute procedure p1") << QStringLiteral("P1");
    QTest::newRow("quoted name keeps its quotes")
        << QStringLiteral("CREATE PROCEDURE \"My p\" AS") << QStringLiteral("\"MY P\"");
    QTest::newRow("first of the two") << QStringLiteral("create trigger t for x; procedure q")
                                      << QStringLiteral("T");
    QTest::newRow("whatever follows") << QStringLiteral("create procedure (") << QStringLiteral("(");
    QTest::newRow("neither keyword") << QStringLiteral("select * from t") << QString();
    QTest::newRow("nothing after the keyword") << QStringLiteral("create procedure  ") << QString();
    QTest::newRow("in a comment only") << QStringLiteral("/* procedure p */ select 1") << QString();
}

void TestLexer::objectName()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QCOMPARE(ObjectNameInText(text), name);
}

QTEST_GUILESS_MAIN(TestLexer)
#include "tst_lexer.moc"
