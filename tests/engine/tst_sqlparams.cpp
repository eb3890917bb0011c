#include "engine/SqlParams.h"
#include "engine/SqlText.h"

#include <QTest>

using engine::parseSqlParams;

class TestSqlParams : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void constantsDoubleTheirQuote();
    void plainIdentifiers_data();
    void plainIdentifiers();
};

void TestSqlParams::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("serverText");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("plain") << "select * from t where a = :a" << "select * from t where a = ?" << QStringList{"a"};
    QTest::newRow("dollar in name") << "update meta$gens set n = :meta$num where id = :ID"
                                    << "update meta$gens set n = ? where id = ?"
                                    << QStringList{"meta$num", "ID"};
    QTest::newRow("double colon is one colon") << "select x from t into ::x" << "select x from t into :x"
                                               << QStringList{};
    QTest::newRow("single quotes") << "select ':a' from t" << "select ':a' from t" << QStringList{};
    QTest::newRow("double quotes are constants") << "select \"x:a ::b\" from t where b = :b"
                                                 << "select \"x:a ::b\" from t where b = ?" << QStringList{"b"};
    QTest::newRow("doubled quote inside") << "select 'it''s :a' from t where c = :c"
                                          << "select 'it''s :a' from t where c = ?" << QStringList{"c"};
    QTest::newRow("block comment") << "select /* :a */ b from t where c = :c"
                                   << "select /* :a */ b from t where c = ?" << QStringList{"c"};
    QTest::newRow("line comment") << "select b -- :a\nfrom t where c = :c"
                                  << "select b -- :a\nfrom t where c = ?" << QStringList{"c"};
    QTest::newRow("repeated name") << ":a + :a" << "? + ?" << QStringList{"a", "a"};
    QTest::newRow("colon alone") << "a : b" << "a : b" << QStringList{};
    QTest::newRow("unterminated quote") << "select ':a" << "select ':a" << QStringList{};
    QTest::newRow("unterminated comment") << "select /* :a" << "select /* :a" << QStringList{};
    QTest::newRow("psql body") << "begin\n  select count(*) from t into ::n;\n  v = \"\";\nend"
                               << "begin\n  select count(*) from t into :n;\n  v = \"\";\nend" << QStringList{};
    QTest::newRow("minus not a comment") << "select 5 - :a from t" << "select 5 - ? from t" << QStringList{"a"};
}

void TestSqlParams::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, serverText);
    QFETCH(QStringList, names);
    const auto r = parseSqlParams(text);
    QCOMPARE(r.serverText, serverText);
    QCOMPARE(r.paramNames, names);
}

void TestSqlParams::constantsDoubleTheirQuote()
{
    QCOMPARE(engine::quotedConstant("O\"Brien"), QString("O\"\"Brien"));
    QCOMPARE(engine::quotedConstant("O'Brien"), QString("O'Brien"));
    QCOMPARE(engine::singleQuotedConstant("O'Brien"), QString("O''Brien"));
    QCOMPARE(engine::singleQuotedConstant("O\"Brien"), QString("O\"Brien"));
}

void TestSqlParams::plainIdentifiers_data()
{
    // identifier: may stand bare at all; plain: reaches the very object named.
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("identifier");
    QTest::addColumn<bool>("plain");
    QTest::newRow("letters, digits, _ and $") << "META$GEN_1" << true << true;
    QTest::newRow("31 characters") << QString(31, 'A') << true << true;
    QTest::newRow("32 characters") << QString(32, 'A') << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("leading digit") << "1A" << false << false;
    QTest::newRow("blank") << "MY TABLE" << false << false;
    QTest::newRow("comment") << "T--" << false << false;
    QTest::newRow("list") << "A,B" << false << false;
    QTest::newRow("quote") << "A\"" << false << false;
    QTest::newRow("mixed case") << "MixedCase" << true << false;
    QTest::newRow("lower case") << "lowr" << true << false;
    QTest::newRow("reserved word") << "ORDER" << true << false;
    QTest::newRow("grantee keyword that is not reserved") << "PUBLIC" << true << true;
}

void TestSqlParams::plainIdentifiers()
{
    QFETCH(QString, name);
    QFETCH(bool, identifier);
    QFETCH(bool, plain);
    QCOMPARE(engine::isIdentifier(name), identifier);
    QCOMPARE(engine::isPlainIdentifier(name), plain);
    QCOMPARE(engine::unnamableText(name).isEmpty(), plain);
    if (!plain)
        QVERIFY(engine::unnamableText(name).startsWith(QStringLiteral("The name \"%1\" ").arg(name)));
}

QTEST_GUILESS_MAIN(TestSqlParams)
#include "tst_sqlparams.moc"
