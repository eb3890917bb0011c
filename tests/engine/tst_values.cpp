// Values on their way into and out of the server: trimming, NULL, text and
// binary BLOBs, non-ASCII text, numbers with scale, dates.
#include "engine/Error.h"
#include "engine/Statement.h"
#include "support/TestMain.h"

#include <QDateTime>

using engine::Statement;
using testsupport::exec;
using testsupport::TestDatabase;

class TestValues : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void textRoundTrip_data();
    void textRoundTrip();
    void lineBreaksInsideConstants();
    void nullIsNotEmptyText();
    void blobRoundTrip_data();
    void blobRoundTrip();
    void numbers();
    void dates();
    void columnsDescribeTheResult();

private:
    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<engine::Database> m_db;
};

void TestValues::init()
{
    m_t = std::make_unique<TestDatabase>();
    m_db = m_t->connect();
    exec(*m_db, "create table V (ID integer not null primary key, C char(10), VC varchar(40), "
                "TB blob sub_type 1, BB blob sub_type 0, N15 numeric(15,2), N9 numeric(9,2), N4 numeric(4,1), "
                "SI smallint, DP double precision, FL float, D date, OC char(4) character set octets)");
}

void TestValues::cleanup()
{
    m_db.reset();
    m_t.reset();
}

void TestValues::textRoundTrip_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("read");

    QTest::newRow("char trimmed") << "C" << "ab" << "ab";
    QTest::newRow("char leading blanks kept") << "C" << "  ab" << "  ab";
    QTest::newRow("char of blanks") << "C" << "   " << "";
    QTest::newRow("varchar blanks kept") << "VC" << "ab  " << "ab  ";
    QTest::newRow("varchar non-ascii") << "VC" << QString::fromUtf8("Grüße – 日本語 ✓") << QString::fromUtf8("Grüße – 日本語 ✓");
    QTest::newRow("text blob non-ascii") << "TB" << QString::fromUtf8("Zeile 1\nÆble «ø» 😀") << QString::fromUtf8("Zeile 1\nÆble «ø» 😀");
    QTest::newRow("text blob long") << "TB" << QString(100000, QChar('x')) << QString(100000, QChar('x'));
    QTest::newRow("quote characters") << "VC" << "it's \"quoted\"" << "it's \"quoted\"";
    QTest::newRow("line breaks kept") << "TB" << "a\r\nb\nc\r" << "a\r\nb\nc\r";
}

void TestValues::textRoundTrip()
{
    QFETCH(QString, column);
    QFETCH(QString, stored);
    QFETCH(QString, read);
    Statement ins(m_db.get());
    ins.setSql(QString("insert into V (ID, %1) values (1, :v)").arg(column));
    ins.setParam("v", stored);
    ins.execute();
    Statement sel(m_db.get());
    sel.setSql(QString("select %1 from V").arg(column));
    sel.open();
    QCOMPARE(sel.rows().value(0, 0).toString(), read);
    QCOMPARE(sel.rows().text(0, 0), read);
}

void TestValues::lineBreaksInsideConstants()
{
    // The statement text itself holds the CR LF, inside a constant.
    engine::Statement ins(m_db.get());
    ins.setParamCheck(false);
    ins.setSql("insert into V (ID, VC) values (1, \"one\r\ntwo\")");
    QCOMPARE(ins.text(), QString("insert into V (ID, VC) values (1, \"one\r\ntwo\")"));
    ins.execute();
    QCOMPARE(testsupport::scalar(*m_db, "select VC from V").toString(), QString("one\r\ntwo"));
}

void TestValues::nullIsNotEmptyText()
{
    exec(*m_db, "insert into V (ID, VC, TB) values (1, NULL, NULL)");
    exec(*m_db, "insert into V (ID, VC, TB) values (2, \"\", \"\")");
    Statement ins(m_db.get());
    ins.setSql("insert into V (ID, VC) values (3, :v)");
    ins.setParam("v", QVariant());
    ins.execute();
    Statement s(m_db.get());
    s.setSql("select VC, TB from V order by ID");
    s.open();
    const auto &r = s.rows();
    QVERIFY(r.isNull(0, 0));
    QVERIFY(r.value(0, 0).isNull());
    QVERIFY(r.isNull(0, 1));
    QVERIFY(!r.isNull(1, 0));
    QCOMPARE(r.value(1, 0).toString(), QString(""));
    QVERIFY(!r.value(1, 0).isNull());
    QVERIFY(!r.isNull(1, 1));
    QVERIFY(r.isNull(2, 0));
}

void TestValues::blobRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QTest::newRow("every byte") << all;
    QTest::newRow("several segments") << all.repeated(700);
    QTest::newRow("empty") << QByteArray("");
}

void TestValues::blobRoundTrip()
{
    QFETCH(QByteArray, bytes);
    Statement ins(m_db.get());
    ins.setSql("insert into V (ID, BB, OC) values (1, :b, :o)");
    ins.setParam("b", bytes);
    ins.setParam("o", QByteArray("\x00\x01\xfe\xff", 4));
    ins.execute();
    Statement sel(m_db.get());
    sel.setSql("select BB, OC from V");
    sel.open();
    QCOMPARE(sel.rows().value(0, 0).toByteArray(), bytes);
    QCOMPARE(sel.rows().value(0, 1).toByteArray(), QByteArray("\x00\x01\xfe\xff", 4));
}

void TestValues::numbers()
{
    exec(*m_db, "insert into V (ID, N15, N9, N4, SI, DP, FL) values (1, 1234567890123.45, -1234567.89, -12.3, -32768, 0.1, 2.5)");
    Statement s(m_db.get());
    s.setSql("select N15, N9, N4, SI, DP, FL, ID from V");
    s.open();
    const auto &r = s.rows();
    QCOMPARE(r.value(0, 0).toDouble(), 1234567890123.45);
    QCOMPARE(r.value(0, 1).toDouble(), -1234567.89);
    QCOMPARE(r.value(0, 2).toDouble(), -12.3);
    QCOMPARE(r.value(0, 3), QVariant(-32768));
    QCOMPARE(r.value(0, 4).toDouble(), 0.1);
    QCOMPARE(r.value(0, 5).toDouble(), 2.5);
    QCOMPARE(r.value(0, 6).typeId(), int(QMetaType::Int));

    Statement ins(m_db.get());
    ins.setSql("insert into V (ID, N9, N15) values (2, :a, :b)");
    ins.setParam("a", 0.125); // rounds to the column's scale
    ins.setParam("b", -0.01);
    ins.execute();
    QCOMPARE(testsupport::scalar(*m_db, "select N9 from V where ID = 2").toDouble(), 0.13);
    QCOMPARE(testsupport::scalar(*m_db, "select N15 from V where ID = 2").toDouble(), -0.01);
}

void TestValues::dates()
{
    // Dialect 1: DATE holds a date and a time of day.
    Statement ins(m_db.get());
    ins.setSql("insert into V (ID, D) values (:id, :d)");
    ins.setParam("id", 1);
    ins.setParam("d", QDateTime(QDate(1858, 11, 17), QTime(0, 0)));
    ins.execute();
    ins.setParam("id", 2);
    ins.setParam("d", QDateTime(QDate(2026, 12, 8), QTime(23, 59, 58, 123)));
    ins.execute();
    ins.setParam("id", 3);
    ins.setParam("d", "2000-02-29 10:11:12");
    ins.execute();
    Statement s(m_db.get());
    s.setSql("select D from V order by ID");
    s.open();
    QCOMPARE(s.rows().value(0, 0).toDateTime(), QDateTime(QDate(1858, 11, 17), QTime(0, 0), Qt::UTC));
    QCOMPARE(s.rows().value(1, 0).toDateTime(), QDateTime(QDate(2026, 12, 8), QTime(23, 59, 58, 123), Qt::UTC));
    QCOMPARE(s.rows().value(2, 0).toDateTime(), QDateTime(QDate(2000, 2, 29), QTime(10, 11, 12), Qt::UTC));
    QCOMPARE(s.rows().text(2, 0), QString("2000-02-29 10:11:12"));
    QCOMPARE(s.rows().text(0, 0), QString("1858-11-17"));

    // 02:30 on the last Sunday of March does not exist in Central Europe's
    // local time; the stored value must still read back as it is.
    qputenv("TZ", "Europe/Berlin");
    exec(*m_db, "insert into V (ID, D) values (4, \"2020-03-29 02:30:00\")");
    s.setSql("select D from V where ID = 4");
    s.open();
    QVERIFY(s.rows().value(0, 0).toDateTime().isValid());
    QCOMPARE(s.rows().text(0, 0), QString("2020-03-29 02:30:00"));
    qunsetenv("TZ");
}

void TestValues::columnsDescribeTheResult()
{
    Statement s(m_db.get());
    s.setSql("select ID, VC as LABEL, count(*) from V group by ID, VC");
    s.open();
    const auto &r = s.rows();
    QCOMPARE(r.columnCount(), 3);
    QCOMPARE(r.column(0).name, QString("ID"));
    QCOMPARE(r.column(0).relation, QString("V"));
    QCOMPARE(r.column(1).name, QString("LABEL"));
    QCOMPARE(r.column(1).fieldName, QString("VC"));
    QCOMPARE(r.column(2).name, QString("COUNT"));
    QCOMPARE(r.indexOf("label"), 1);
    QCOMPARE(r.indexOf("vc"), 1);
    QCOMPARE(r.indexOf("nothing"), -1);
    QCOMPARE(r.rowCount(), 0);
}

DUNMOOR_TEST_MAIN(TestValues)
#include "tst_values.moc"
