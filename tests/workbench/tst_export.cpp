// Text export: the separator dialog, the shared save dialog, the overwrite
// question, the file format and the value texts, against real databases.
#include "WorkbenchFixture.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/ScrollingQuery.h"
#include "engine/Table.h"
#include "support/GuiTestMain.h"
#include "support/RealClicks.h"
#include "workbench/Export.h"
#include "workbench/fdivider.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTabWidget>
#include <QToolButton>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>
#include <QTime>
#include <cmath>
#include <limits>

using platform::Prompter;
using platform::ScriptedPrompter;
using testsupport::exec;
using testsupport::TestDatabase;
using namespace wbtest;

Q_DECLARE_METATYPE(ExportFieldFormat)

namespace {

const QString kOverwrite = "File exists. Owerwrite?";

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Answers the separator dialog: types a text (a null text types nothing)
// and presses OK, or presses Cancel.
class DividerAnswer {
public:
    explicit DividerAnswer(const QString &typed = QString(), bool cancel = false)
    {
        m_previous = platform::setModalHook([typed, cancel](QDialog &d) {
            auto *div = qobject_cast<TfmDivider *>(&d);
            if (!div)
                return int(QDialog::Rejected);
            d.setResult(0);
            if (cancel) {
                div->BitBtn2->click();
                return d.result();
            }
            if (!typed.isNull())
                div->EditDivider->setText(typed);
            div->BitBtn1Click();
            return d.result();
        });
    }
    ~DividerAnswer() { platform::setModalHook(m_previous); }

private:
    platform::ModalHook m_previous;
};

// Everything one test needs: a database, the forms, a scripted prompter.
struct Fixture {
    TestDatabase t;
    std::unique_ptr<engine::Database> db = t.connect();
    ScriptedPrompter prompter;
    platform::ScopedPrompter installed{prompter};
    Workbench forms{{}};
    TfmBrowser &window = *forms.browser;
    QTemporaryDir dir;

    QString file(const QString &name) const { return dir.filePath(name); }
    std::unique_ptr<engine::Query> query(const QString &sql)
    {
        auto q = std::make_unique<engine::Query>(db.get());
        q->setSql(sql);
        q->open();
        return q;
    }
};

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void valueText_data();
    void valueText();

    void exampleByteForByte();
    void hiddenFieldsAndLabels();
    void valuesAsTheServerHoldsThem();
    void nonAsciiSurvives();
    void separatorAndFileNameRemembered();
    void emptySeparatorRefused();
    void refusalsEndTheExport();
    void overwriteQuestion();
    void emptyResultLeavesTheOldFile();
    void unwritableTargetsEndInError_data();
    void unwritableTargetsEndInError();
    void failureMidwayKeepsTheOldFile();
    void filledUpMidwayNamesTheReason();
    void dataPageHeldRowsThenTheRest_data();
    void dataPageHeldRowsThenTheRest();
};

// -------------------------------------------------------------- value texts

void TestExport::valueText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<ExportFieldFormat>("format");
    QTest::addColumn<QString>("text");
    const ExportFieldFormat plain;
    const ExportFieldFormat two{2, false};
    const ExportFieldFormat four{4, false};
    const ExportFieldFormat single{0, true};

    QTest::newRow("null") << QVariant() << plain << "";
    QTest::newRow("bigint") << QVariant(qint64(-9223372036854775807LL) - 1) << plain << "-9223372036854775808";
    QTest::newRow("numeric keeps its digits") << QVariant(12.5) << two << "12.50";
    // 7 / 10 / 10 as the engine divides: 0.06999999999999999
    QTest::newRow("numeric division noise") << QVariant(7.0 / 10.0 / 10.0) << two << "0.07";
    QTest::newRow("numeric negative") << QVariant(-7.0 / 10.0 / 10.0 / 10.0 / 10.0) << four << "-0.0007";
    QTest::newRow("numeric no exponent") << QVariant(1e15) << two << "1000000000000000.00";
    QTest::newRow("numeric 15 digits") << QVariant(1234567890123.45) << two << "1234567890123.45";
    QTest::newRow("numeric tiny negative") << QVariant(-0.001) << two << "0.00";
    QTest::newRow("double") << QVariant(0.1) << plain << "0.1";
    QTest::newRow("double large") << QVariant(1e20) << plain << "1e+20";
    QTest::newRow("double small") << QVariant(1.5e-7) << plain << "1.5e-07";
    QTest::newRow("float widened") << QVariant(double(0.1f)) << single << "0.1";
    QTest::newRow("date") << QVariant(QDate(2024, 2, 29)) << plain << "2024-02-29";
    QTest::newRow("date early") << QVariant(QDate(33, 1, 5)) << plain << "0033-01-05";
    QTest::newRow("time") << QVariant(QTime(7, 5, 3)) << plain << "07:05:03";
    QTest::newRow("time with ms") << QVariant(QTime(23, 59, 59, 120)) << plain << "23:59:59.120";
    QTest::newRow("timestamp") << QVariant(QDateTime(QDate(2024, 2, 29), QTime(13, 45, 7), Qt::UTC)) << plain
                               << "2024-02-29 13:45:07";
    QTest::newRow("timestamp at midnight") << QVariant(QDateTime(QDate(2024, 1, 31), QTime(0, 0), Qt::UTC))
                                           << plain << "2024-01-31";
    QTest::newRow("boolean") << QVariant(true) << plain << "true";
    QTest::newRow("text unchanged") << QVariant("a;b\r\nc ") << plain << "a;b\r\nc ";
    QTest::newRow("text not ASCII") << QVariant("Grüße, Ωμέγα, 日本") << plain << "Grüße, Ωμέγα, 日本";
    QTest::newRow("bytes as hex") << QVariant(QByteArray("\x00\x7f\xff" "A", 4)) << plain << "007fff41";
}

void TestExport::valueText()
{
    QFETCH(QVariant, value);
    QFETCH(ExportFieldFormat, format);
    QFETCH(QString, text);
    QCOMPARE(exportValueText(value, format), text);
}

// ------------------------------------------------------------------ files

void TestExport::exampleByteForByte()
{
    Fixture f;
    exec(*f.db, "CREATE TABLE T (A INTEGER, B VARCHAR(10))");
    exec(*f.db, "INSERT INTO T VALUES (1, 'x')");
    auto q = f.query("select A, B from T");
    const QString path = f.file("t.txt");
    f.prompter.answerFile(path);
    DividerAnswer divider(";");

    ExportDataSet(f.window, "T.Data", *q);

    QCOMPARE(fileBytes(path), QByteArray("T.Data\r\nA;B;\r\n1;x;\r\n"));
    QCOMPARE(f.prompter.calls().size(), 1);
    const ScriptedPrompter::Call save = f.prompter.calls().first();
    QCOMPARE(save.kind, ScriptedPrompter::Kind::SaveFile);
    QCOMPARE(save.defaultValue, QString("unknown.txt"));
    QCOMPARE(save.filter, QString("Text|*.txt|All|*.*"));
    QVERIFY(f.prompter.problems().isEmpty());
    QVERIFY(f.window.StatusReady);
    QVERIFY(!f.window.StatusFailed);
    QVERIFY(f.window.isEnabled());
    QCOMPARE(f.window.StatusPanel0->text(), QString("   Status: OK."));
    // Read to its end: left after its last record.
    QVERIFY(q->eof());
    QCOMPARE(q->recNo(), 0);
}

void TestExport::hiddenFieldsAndLabels()
{
    Fixture f;
    exec(*f.db, "CREATE TABLE D (ID INTEGER, SECRET VARCHAR(10), VAL VARCHAR(10))");
    exec(*f.db, "INSERT INTO D VALUES (1, 's1', 'a')");
    exec(*f.db, "INSERT INTO D VALUES (2, 's2', NULL)");
    exec(*f.db, "INSERT INTO D VALUES (3, 's3', 'c')");
    engine::Query q(f.db.get());
    q.setSql("select ID, SECRET, VAL from D order by ID");
    q.setFieldVisible("SECRET", false);
    q.setDisplayLabel("VAL", "Watched value");
    q.open();
    q.moveTo(1);
    const QString path = f.file("dump.txt");

    WriteDataSetToFile("BP Dump", q, path, "!");

    QCOMPARE(fileBytes(path), QByteArray("BP Dump\r\nID!Watched value!\r\n1!a!\r\n2!!\r\n3!c!\r\n"));
    QVERIFY(q.eof());
    QCOMPARE(q.recNo(), 2);
}

void TestExport::valuesAsTheServerHoldsThem()
{
    Fixture f;
    exec(*f.db, "CREATE TABLE V (ID INTEGER, N92 NUMERIC(9,2), N152 NUMERIC(15,2), N41 NUMERIC(4,1), "
                "D DOUBLE PRECISION, F FLOAT, DT DATE, C CHAR(6), TB BLOB SUB_TYPE 1, BB BLOB SUB_TYPE 0, "
                "S SMALLINT)");
    exec(*f.db, "INSERT INTO V VALUES (1, 12.5, 1234567890123.45, -0.7, 0.1, 0.1, '2024-02-29 13:45:07', 'ab', "
                "NULL, 'abc', -5)");
    // A line break inside a value goes as a parameter: statement texts are split into lines.
    engine::Query update(f.db.get());
    update.setSql("UPDATE V SET TB = :TB WHERE ID = 1");
    update.setParam("TB", QString("line1\r\nline2;x"));
    update.execSql();
    exec(*f.db, "INSERT INTO V (ID) VALUES (2)");
    exec(*f.db, "INSERT INTO V VALUES (3, 0.07, 100000000000000, 0, 1e20, 1.5, '2024-01-31', 'abcdef', '', '', 0)");
    // As the browser's data page holds a table.
    engine::Table table(f.db.get());
    table.setTableName("V");
    table.setIndexFieldNames("ID");
    table.open();
    const QString path = f.file("v.txt");

    WriteDataSetToFile("V", table, path, ";");

    QCOMPARE(QString::fromUtf8(fileBytes(path)),
             QString("V\r\nID;N92;N152;N41;D;F;DT;C;TB;BB;S;\r\n"
                     "1;12.50;1234567890123.45;-0.7;0.1;0.1;2024-02-29 13:45:07;ab;line1\r\nline2;x;616263;-5;\r\n"
                     "2;;;;;;;;;;;\r\n"
                     "3;0.07;100000000000000.00;0.0;1e+20;1.5;2024-01-31;abcdef;;;0;\r\n"));
}

void TestExport::nonAsciiSurvives()
{
    Fixture f;
    exec(*f.db, "CREATE TABLE N (NAME VARCHAR(40) CHARACTER SET UTF8)");
    const QString name = "Grüße – Ωμέγα 日本語";
    exec(*f.db, "INSERT INTO N VALUES ('" + name + "')");
    engine::Query q(f.db.get());
    q.setSql("select NAME from N");
    q.setDisplayLabel("NAME", "Näme");
    q.open();
    const QString path = f.file("n.txt");
    f.prompter.answerFile(path);
    DividerAnswer divider("§");

    ExportDataSet(f.window, "Tést", q);

    QCOMPARE(fileBytes(path), ("Tést\r\nNäme§\r\n" + name + "§\r\n").toUtf8());
}

void TestExport::separatorAndFileNameRemembered()
{
    Fixture f;
    exec(*f.db, "CREATE TABLE T (A INTEGER, B INTEGER)");
    exec(*f.db, "INSERT INTO T VALUES (1, 2)");
    auto q = f.query("select A, B from T");
    const QString first = f.file("first.txt");
    const QString second = f.file("second.txt");
    {
        DividerAnswer typed("|x"); // only the first character counts
        f.prompter.answerFile(first);
        ExportDataSet(f.window, "one", *q);
    }
    QCOMPARE(f.forms.divider->Separator, QString("|"));
    {
        DividerAnswer untouched; // OK on what the dialog offers
        f.prompter.answerFile(second);
        ExportDataSet(f.window, "two", *q);
    }
    QCOMPARE(fileBytes(second), QByteArray("two\r\nA|B|\r\n1|2|\r\n"));
    QCOMPARE(f.prompter.calls().size(), 2);
    QCOMPARE(f.prompter.calls().at(1).defaultValue, first);
    QCOMPARE(f.window.SaveDialog1FileName, second);
}

void TestExport::emptySeparatorRefused()
{
    Fixture f;
    TfmDivider &d = *f.forms.divider;
    QCOMPARE(d.windowTitle(), QString("Column divider setting"));
    QCOMPARE(d.Label1->text(), QString("Column separator symbol:"));
    QCOMPARE(d.EditDivider->text(), QString("!"));
    exec(*f.db, "CREATE TABLE T (A INTEGER)");
    exec(*f.db, "INSERT INTO T VALUES (1)");
    auto q = f.query("select A from T");
    // During an export, over a window a command has disabled, the real
    // dialog is answered by clicks: OK with nothing typed is refused with a
    // reason and the dialog stays; OK with ";" goes on to the file.
    const platform::ModalHook hook = platform::setModalHook({});
    f.window.SetBusy();
    testsupport::RealClicks clicks;
    clicks.then("BitBtn1", [](QDialog &d) { static_cast<TfmDivider &>(d).EditDivider->clear(); })
        .then("BitBtn1", [](QDialog &d) { static_cast<TfmDivider &>(d).EditDivider->setText(";"); });
    f.prompter.answerFile(f.file("t.txt"));
    ExportDataSet(f.window, "T", *q);
    platform::setModalHook(hook);
    QCOMPARE(clicks.met, QStringList({"Column divider setting", "Column divider setting"}));
    QCOMPARE(clicks.answersLeft(), 0);
    QCOMPARE(f.prompter.calls().first().icon, Prompter::Icon::Warning);
    QCOMPARE(f.prompter.texts(), QStringList({TfmDivider::kEmptySeparator, ""}));
    QCOMPARE(d.Separator, QString(";"));
    QCOMPARE(fileBytes(f.file("t.txt")), QByteArray("T\r\nA;\r\n1;\r\n"));
}

void TestExport::refusalsEndTheExport()
{
    Fixture f;
    exec(*f.db, "CREATE TABLE T (A INTEGER)");
    exec(*f.db, "INSERT INTO T VALUES (1)");
    auto q = f.query("select A from T");
    {
        DividerAnswer cancelled(QString(), true);
        ExportDataSet(f.window, "T", *q);
        QVERIFY(f.prompter.calls().isEmpty());
    }
    DividerAnswer ok(";");
    f.prompter.cancelFile();
    ExportDataSet(f.window, "T", *q);
    QCOMPARE(f.prompter.calls().size(), 1);
    QCOMPARE(f.window.SaveDialog1FileName, QString("unknown.txt"));
    QVERIFY(QDir(f.dir.path()).isEmpty());
    QVERIFY(f.prompter.problems().isEmpty());
    QVERIFY(!f.window.StatusReady); // no action ran
}

void TestExport::overwriteQuestion()
{
    Fixture f;
    exec(*f.db, "CREATE TABLE T (A INTEGER)");
    exec(*f.db, "INSERT INTO T VALUES (1)");
    auto q = f.query("select A from T");
    const QString path = f.file("old.txt");
    const QByteArray old = "an old file, longer than the new one\r\n";
    writeFile(path, old);
    DividerAnswer divider(";");

    f.prompter.answerFile(path).answer(Prompter::Answer::No);
    ExportDataSet(f.window, "T", *q);
    QCOMPARE(fileBytes(path), old);
    QVERIFY(!f.window.StatusReady);

    f.prompter.answerFile(path).answer(Prompter::Answer::Yes);
    ExportDataSet(f.window, "T", *q);
    QCOMPARE(fileBytes(path), QByteArray("T\r\nA;\r\n1;\r\n"));
    QCOMPARE(f.prompter.texts(), (QStringList{"", kOverwrite, "", kOverwrite}));
    QVERIFY(f.prompter.problems().isEmpty());
    QVERIFY(f.window.StatusReady && !f.window.StatusFailed);
}

void TestExport::emptyResultLeavesTheOldFile()
{
    Fixture f;
    exec(*f.db, "CREATE TABLE T (A INTEGER)");
    auto q = f.query("select A from T");
    const QString path = f.file("old.txt");
    const QByteArray old = "keep me\r\n";
    writeFile(path, old);
    DividerAnswer divider(";");
    f.prompter.answerFile(path).answer(Prompter::Answer::Yes);
    ExportDataSet(f.window, "T", *q);
    QCOMPARE(fileBytes(path), old);

    // Nor is a new file created.
    const QString fresh = f.file("fresh.txt");
    f.prompter.answerFile(fresh);
    ExportDataSet(f.window, "T", *q);
    QVERIFY(!QFile::exists(fresh));
    QCOMPARE(f.prompter.calls().size(), 3); // no message
    QVERIFY(f.window.StatusReady && !f.window.StatusFailed);
    QVERIFY(f.window.isEnabled());
}

void TestExport::unwritableTargetsEndInError_data()
{
    QTest::addColumn<QString>("target"); // "~/" stands for the test's folder
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("reason");
    QTest::newRow("always-full device") << "/dev/full" << true << "No space left on device";
    QTest::newRow("a folder") << "~/folder" << true << "";
    QTest::newRow("a missing folder") << "~/missing/x.txt" << false << "";
}

void TestExport::unwritableTargetsEndInError()
{
    QFETCH(QString, target);
    QFETCH(bool, exists);
    QFETCH(QString, reason);
    Fixture f;
    QVERIFY(QDir(f.dir.path()).mkdir("folder"));
    target.replace("~/", f.dir.path() + "/");
    exec(*f.db, "CREATE TABLE T (A INTEGER)");
    exec(*f.db, "INSERT INTO T VALUES (1)");
    auto q = f.query("select A from T");
    DividerAnswer divider(";");
    f.prompter.answerFile(target);
    if (exists)
        f.prompter.answer(Prompter::Answer::Yes);

    ExportDataSet(f.window, "T", *q);

    QVERIFY(f.window.StatusFailed);
    QCOMPARE(f.window.StatusPanel0->text(), QString("   Status: Error!"));
    QVERIFY(f.window.isEnabled());
    const ScriptedPrompter::Call shown = f.prompter.calls().last();
    QCOMPARE(shown.kind, ScriptedPrompter::Kind::Message);
    QVERIFY2(shown.text.contains(target), qPrintable(shown.text));
    QVERIFY2(shown.text.contains(reason), qPrintable(shown.text));
    QVERIFY(f.prompter.problems().isEmpty());
    QVERIFY(QFileInfo(f.dir.filePath("folder")).isDir());
    QVERIFY(!QFile::exists(f.dir.filePath("missing")));
}

void TestExport::failureMidwayKeepsTheOldFile()
{
    Fixture f;
    // Tens of thousands of rows, so part of the file has gone to the disk
    // when the last row fails.
    engine::Query q(f.db.get());
    q.setSql("select a.RDB$TYPE_NAME as A, b.RDB$TYPE_NAME as B from RDB$TYPES a cross join RDB$TYPES b");
    q.addCalculatedField("C", engine::FieldType::VarChar, 20);
    int rows = 0;
    int total = 0;
    q.setCalcFieldsHandler([&](engine::CalcRecord &r) {
        if (total > 0 && ++rows >= total - 2)
            throw engine::Error("the last row cannot be read");
        r.setValue("C", "calculated");
    });
    q.open();
    QVERIFY2(q.recordCount() > 40000, qPrintable(QString::number(q.recordCount())));
    total = q.recordCount();
    const QString path = f.file("old.txt");
    const QByteArray old = "the previous export\r\n";
    writeFile(path, old);
    DividerAnswer divider(";");
    f.prompter.answerFile(path).answer(Prompter::Answer::Yes);

    ExportDataSet(f.window, "T", q);

    QCOMPARE(fileBytes(path), old);
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.txt"});
    QVERIFY(f.window.StatusFailed);
    QCOMPARE(f.prompter.texts().last(), QString("the last row cannot be read"));
    QVERIFY(f.window.isEnabled());
    QVERIFY(!q.controlsDisabled());
}

void TestExport::filledUpMidwayNamesTheReason()
{
    // A file that can grow no further part-way through a write (as on a disk
    // that fills up): the system's reason is shown, not "Unknown error". The
    // process's file size limit stands in for the full disk.
    Fixture f;
    engine::Query q(f.db.get());
    q.setSql("select a.RDB$TYPE_NAME as A, b.RDB$TYPE_NAME as B from RDB$TYPES a cross join RDB$TYPES b");
    q.open();
    const QString path = f.file("big.txt");
    DividerAnswer divider(";");
    f.prompter.answerFile(path);
    {
        struct Limit {
            rlimit old{};
            Limit()
            {
                ::signal(SIGXFSZ, SIG_IGN);
                getrlimit(RLIMIT_FSIZE, &old);
                rlimit small = old;
                small.rlim_cur = 100 * 1024;
                setrlimit(RLIMIT_FSIZE, &small);
            }
            ~Limit() { setrlimit(RLIMIT_FSIZE, &old); }
        } limit;
        ExportDataSet(f.window, "T", q);
    }
    QVERIFY(f.window.StatusFailed);
    const QString shown = f.prompter.calls().last().text;
    QCOMPARE(shown, "Cannot write the file " + QDir::toNativeSeparators(path) + ": File too large");
    QVERIFY(!QFile::exists(path));
}

// ------------------------------------------------------------- data page

void TestExport::dataPageHeldRowsThenTheRest_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("scrolledTo"); // -1: Last
    QTest::addColumn<int>("heldBefore");
    QTest::addColumn<QString>("failure");
    QTest::newRow("first screen held, the rest streamed") << "T" << 0 << 100 << "";
    QTest::newRow("two screens held") << "T" << 150 << 200 << "";
    QTest::newRow("every row held") << "T" << -1 << 250 << "";
    QTest::newRow("no rows") << "E" << 0 << 0 << "";
    // Row 150 cannot be computed: the export fails while streaming.
    QTest::newRow("refused midway") << "BAD" << 0 << 100 << "divide by zero";
}

void TestExport::dataPageHeldRowsThenTheRest()
{
    QFETCH(QString, table);
    QFETCH(int, scrolledTo);
    QFETCH(int, heldBefore);
    QFETCH(QString, failure);
    WindowBench t;
    t.prepare({"create table T (ID integer, N numeric(9, 2), F float, B blob sub_type 1, S varchar(10))",
               "create table E (ID integer)", "create table BAD (ID integer, Q computed by (1000 / (ID - 150)))"},
              false);
    fillRows(t, "T", 250, ":I, :I / 4.0, :I / 8.0, 'text ' || :I, iif(mod(:I, 7) = 0, null, 'v' || :I)");
    fillRows(t, "BAD", 300, ":I");
    t.p.answer(Prompter::Answer::No); // the repository's question
    t.start();
    TfmBrowser &b = t.b();
    b.SBGoBrowserClick();
    b.PCBrowser->setCurrentIndex(1);
    b.PCColumns->setCurrentIndex(3);
    QVERIFY(t.w->dm->QTables.locate("RDB$RELATION_NAME", table));
    if (scrolledTo < 0)
        b.DBNavigator1->findChild<QToolButton *>("Last")->click();
    else if (b.DataGridModel->ensureRow(scrolledTo))
        b.DBGrid4->selectRow(scrolledTo);
    QCOMPARE(b.DataGridModel->rowCount(), heldBefore);
    const int current = b.DBGrid4->currentIndex().row();

    // What the whole-result export writes of the same select.
    QTemporaryDir dir;
    const QString expected = dir.filePath("expected.txt");
    {
        auto db = t.t.connect();
        engine::Query q(db.get());
        q.setSql("select * from " + table);
        if (failure.isEmpty()) {
            q.open();
            WriteDataSetToFile(table + ".Data", q, expected, ";");
        }
    }
    const QString path = dir.filePath("data.txt");
    const QByteArray old = "the previous export\r\n";
    writeFile(path, old);
    DividerAnswer divider(";");
    t.p.answerFile(path).answer(Prompter::Answer::Yes);
    b.SBExportDataClick();

    if (!failure.isEmpty()) {
        QCOMPARE(fileBytes(path), old);
        QVERIFY(b.StatusFailed);
        QVERIFY2(t.p.texts().last().contains(failure), qPrintable(t.p.texts().last()));
    } else if (table == "E") {
        QCOMPARE(fileBytes(path), old);
        QVERIFY(!b.StatusFailed);
    } else {
        QVERIFY(!b.StatusFailed);
        const QByteArray written = fileBytes(path);
        QCOMPARE(written, fileBytes(expected));
        QVERIFY(written.startsWith("T.Data\r\nID;N;F;B;S;\r\n1;0.25;0.125;text 1;v1;\r\n"));
        QVERIFY(written.contains("\r\n7;1.75;0.875;text 7;;\r\n"));
        QVERIFY(written.endsWith("\r\n250;62.50;31.25;text 250;v250;\r\n"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), failure.isEmpty() && table != "E" ? 2 : 1);
    QVERIFY(b.isEnabled());
    // The grid holds what it held, on the same row, and scrolls on.
    QCOMPARE(b.DataGridModel->rowCount(), heldBefore);
    QCOMPARE(b.DBGrid4->currentIndex().row(), current);
    b.DBNavigator1->findChild<QToolButton *>("Last")->click();
    QCOMPARE(b.DataGridModel->rowCount(), table == "T" ? 250 : table == "BAD" ? 149 : 0);
}

DUNMOOR_GUI_TEST_MAIN(TestExport)
#include "tst_export.moc"
