// The metadata browser on real databases: the DDL commands with their
// exact statements, questions, repositioning and failure paths, the table
// views, the debug boxes, Refresh PK/FK, the BLOB memo, the templates, the
// incremental search and the data page.
#include "WorkbenchFixture.h"
#include "engine/ScrollingQuery.h"
#include "engine/StatementLog.h"
#include "support/GuiTestMain.h"
#include "workbench/fNewCol.h"
#include "workbench/mysimplere.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

using platform::Prompter;
using namespace wbtest;

namespace {

// A window on a prepared database, on its browser page, with the statements
// it sends from then on recorded.
struct Browser : WindowBench {
    engine::StatementRecorder log;
    Browser(const QStringList &ddl, bool repository = false, int dialect = 1) : WindowBench(false, dialect)
    {
        prepare(ddl, repository);
        if (!repository)
            p.answer(Prompter::Answer::No); // the question about the repository
        start();
        b().SBGoBrowserClick();
        log.clear();
    }
    TDM &dm() { return *w->dm; }
    void page(int index, int columnsTab = -1)
    {
        b().PCBrowser->setCurrentIndex(index);
        if (columnsTab >= 0)
            b().PCColumns->setCurrentIndex(columnsTab);
        log.clear();
    }
    // What changed the database: every statement but the selects.
    QStringList changes() const
    {
        QStringList out;
        for (const QString &s : log.statements())
            if (!s.startsWith("select", Qt::CaseInsensitive) && !s.startsWith("SELECT"))
                out << s;
        return out;
    }
    bool readyAndClean()
    {
        return !b().StatusFailed && b().StatusReady && b().isEnabled() && !dm().Database.inTransaction();
    }
    bool failedAndClean() { return b().StatusFailed && b().isEnabled() && !dm().Database.inTransaction(); }
    void run(const char *handler) { QVERIFY(QMetaObject::invokeMethod(&b(), handler)); }
};

QString nameAt(engine::DataSet &ds, const QString &field)
{
    return ds.isEmpty() ? QString() : ds.fieldByName(field).asString();
}

engine::Query &listNamed(TDM &dm, const QString &name)
{
    const QHash<QString, engine::Query *> lists{
        {"QDomain", &dm.QDomain},   {"QTables", &dm.QTables}, {"QGenerator", &dm.QGenerator},
        {"QView", &dm.QView},       {"QException", &dm.QException}, {"QProc", &dm.QProc},
        {"QIndex", &dm.QIndex},     {"QTableTrigger", &dm.QTableTrigger}, {"QConstraints", &dm.QConstraints},
        {"QColumns", &dm.QColumns}};
    return *lists.value(name);
}

const QStringList kThreeTables{"create table A1 (ID integer)", "create table B1 (ID integer)",
                               "create table C1 (ID integer)"};

} // namespace

class TestMetaBrowser : public QObject {
    Q_OBJECT
private slots:
    void dropsReposition_data();
    void dropsReposition();
    void refusedDropChangesNothing();
    void noAnswerNoDrop();
    void tableCommands_data();
    void tableCommands();
    void setGeneratorValue_data();
    void setGeneratorValue();
    void copyColumn_data();
    void copyColumn();
    void newColumn();
    void userAndSystemTables();
    void debugBoxes_data();
    void debugBoxes();
    void refreshPkFk_data();
    void refreshPkFk();
    void blobAsMemo_data();
    void blobAsMemo();
    void templates();
    void incrementalSearch();
    void dataPageFetchesAsItScrolls();
    void twinNames_data();
    void twinNames();
    void indexCommandsWithoutIndex_data();
    void indexCommandsWithoutIndex();
    void dataPageBetweenTablesWithAndWithoutBlobs();
    void failingFetchTellsOnceAndKeepsTheGrid();
};

// ---------------------------------------------------------------- drops

void TestMetaBrowser::dropsReposition_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("ddl");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("gone"); // counts the dropped object afterwards

    const QString tables = "select count(*) from rdb$relations where rdb$relation_name = \"%1\"";
    QTest::newRow("first table") << 1 << kThreeTables << "QTables" << "RDB$RELATION_NAME" << "SBDropTableClick"
                                 << "A1" << "drop table A1" << "B1" << tables;
    QTest::newRow("middle table") << 1 << kThreeTables << "QTables" << "RDB$RELATION_NAME" << "SBDropTableClick"
                                  << "B1" << "drop table B1" << "C1" << tables;
    QTest::newRow("last table") << 1 << kThreeTables << "QTables" << "RDB$RELATION_NAME" << "SBDropTableClick"
                                << "C1" << "drop table C1" << "B1" << tables;
    QTest::newRow("domain") << 0 << QStringList{"create domain D_A as integer", "create domain D_B as integer",
                                                "create domain D_C as integer"}
                            << "QDomain" << "RDB$FIELD_NAME" << "SBDropDomainClick" << "D_B" << "drop domain D_B"
                            << "D_C" << "select count(*) from rdb$fields where rdb$field_name = \"%1\"";
    // Firebird refuses writes to its system tables: a generator goes by its own statement.
    QTest::newRow("generator") << 3 << QStringList{"create generator G_A", "create generator G_B", "create generator G_C"}
                               << "QGenerator" << "RDB$GENERATOR_NAME" << "SBDropGenClick" << "G_B"
                               << "drop generator G_B" << "G_C"
                               << "select count(*) from rdb$generators where rdb$generator_name = \"%1\"";
    QTest::newRow("view") << 5 << QStringList{"create table T0 (ID integer)", "create view V_A as select * from T0",
                                              "create view V_B as select * from T0", "create view V_C as select * from T0"}
                          << "QView" << "RDB$VIEW_NAME" << "SBDropViewClick" << "V_B" << "drop view V_B" << "V_C"
                          << tables;
    QTest::newRow("exception") << 6 << QStringList{"create exception E_A \"a\"", "create exception E_B \"b\"",
                                                   "create exception E_C \"c\""}
                               << "QException" << "RDB$EXCEPTION_NAME" << "SBDropExceptionClick" << "E_B"
                               << "drop exception E_B" << "E_C"
                               << "select count(*) from rdb$exceptions where rdb$exception_name = \"%1\"";
    // The drop takes the procedure's dependency rows with it.
    QTest::newRow("procedure") << 7 << QStringList{"create table T0 (ID integer)", "create procedure P_A as begin end",
                                                   "create procedure P_B returns (N integer) as begin "
                                                   "select count(*) from T0 into :N; end",
                                                   "create procedure P_C as begin end"}
                               << "QProc" << "RDB$PROCEDURE_NAME" << "SBDropProcClick" << "P_B"
                               << "drop procedure P_B" << "P_C"
                               << "select count(*) from rdb$procedures where rdb$procedure_name = \"%1\" or exists "
                                  "(select 1 from rdb$dependencies where rdb$dependent_name = \"%1\")";
}

void TestMetaBrowser::dropsReposition()
{
    QFETCH(int, page);
    QFETCH(QStringList, ddl);
    QFETCH(QString, list);
    QFETCH(QString, field);
    QFETCH(QString, handler);
    QFETCH(QString, dropped);
    QFETCH(QString, sent);
    QFETCH(QString, current);
    QFETCH(QString, gone);
    Browser t(ddl);
    t.page(page);
    engine::Query &q = listNamed(t.dm(), list);
    QVERIFY(q.locate(field, dropped));
    t.p.answer(Prompter::Answer::Yes);
    t.run(handler.toLatin1());
    QCOMPARE(t.p.texts(), QStringList{"Drop now?"});
    QCOMPARE(t.changes(), QStringList{sent});
    QCOMPARE(nameAt(q, field), current);
    QVERIFY(t.readyAndClean());
    QCOMPARE(t.value(gone.arg(dropped)).toInt(), 0);
}

void TestMetaBrowser::refusedDropChangesNothing()
{
    // A table a view reads cannot go: the server's text, the error state,
    // the transaction rolled back, the list neither reloaded nor moved.
    Browser t({"create table A1 (ID integer)", "create table B1 (ID integer)", "create view V1 as select * from A1"});
    t.page(1);
    QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", "A1"));
    t.p.answer(Prompter::Answer::Yes);
    t.b().SBDropTableClick();
    QCOMPARE(t.log.statements(), QStringList{"drop table A1"});
    QCOMPARE(t.p.calls().size(), 2);
    QVERIFY2(t.p.calls().last().text.contains("COLUMN A1.ID"), qPrintable(t.p.calls().last().text));
    QVERIFY(t.failedAndClean());
    QCOMPARE(nameAt(t.dm().QTables, "RDB$RELATION_NAME"), QString("A1"));
    QCOMPARE(t.value("select count(*) from rdb$relations where rdb$relation_name = \"A1\"").toInt(), 1);
}

void TestMetaBrowser::noAnswerNoDrop()
{
    Browser t({"create domain D_A as integer"});
    t.page(0);
    t.p.answer(Prompter::Answer::No);
    t.b().SBDropDomainClick();
    QVERIFY(t.changes().isEmpty());
    QVERIFY(!t.b().StatusFailed);
}

// ---------------------------------------------------------------- the table's details

void TestMetaBrowser::tableCommands_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("check"); // a value afterwards
    QTest::addColumn<int>("expected"); // -1: the command fails with the server's text

    const QString inactive = "select rdb$index_inactive from rdb$indices where rdb$index_name = \"%1\"";
    QTest::newRow("index off") << 1 << "QIndex" << "RDB$INDEX_NAME" << "IX_N" << "SBIndexInactiveClick" << false
                               << QStringList{"alter index IX_N InActive"} << inactive << 1;
    QTest::newRow("index on") << 1 << "QIndex" << "RDB$INDEX_NAME" << "IX_OFF" << "SBIndexActiveClick" << false
                              << QStringList{"alter index IX_OFF Active"} << inactive << 0;
    // Rebuilt and left on, where it used to end switched off.
    QTest::newRow("balance") << 1 << "QIndex" << "RDB$INDEX_NAME" << "IX_N" << "SBIndexBalanceClick" << false
                             << QStringList{"alter index IX_N InActive", "alter index IX_N Active"} << inactive << 0;
    QTest::newRow("balance of a key's index") << 1 << "QIndex" << "RDB$INDEX_NAME" << "PK_T" << "SBIndexBalanceClick"
                                              << false << QStringList{"alter index PK_T InActive"} << inactive << -1;
    QTest::newRow("statistics") << 1 << "QIndex" << "RDB$INDEX_NAME" << "IX_N" << "SBIndexStatisticsClick" << false
                                << QStringList{"set statistics index IX_N"}
                                << "select count(*) from rdb$indices where rdb$index_name = \"%1\"" << 1;
    QTest::newRow("drop index") << 1 << "QIndex" << "RDB$INDEX_NAME" << "IX_N" << "SBDropIndexClick" << true
                                << QStringList{"drop index IX_N"}
                                << "select count(*) from rdb$indices where rdb$index_name = \"%1\"" << 0;
    const QString trigger = "select rdb$trigger_inactive from rdb$triggers where rdb$trigger_name = \"%1\"";
    QTest::newRow("trigger off") << 2 << "QTableTrigger" << "RDB$TRIGGER_NAME" << "TR_T" << "SBTriggerInactiveClick"
                                 << false << QStringList{"alter trigger TR_T InActive"} << trigger << 1;
    QTest::newRow("trigger on") << 2 << "QTableTrigger" << "RDB$TRIGGER_NAME" << "TR_OFF" << "SBTriggerActiveClick"
                                << false << QStringList{"alter trigger TR_OFF Active"} << trigger << 0;
    QTest::newRow("drop trigger") << 2 << "QTableTrigger" << "RDB$TRIGGER_NAME" << "TR_T" << "SBDropTriggerClick"
                                  << true << QStringList{"drop trigger TR_T"}
                                  << "select count(*) from rdb$triggers where rdb$trigger_name = \"%1\"" << 0;
    QTest::newRow("drop constraint") << 4 << "QConstraints" << "RDB$CONSTRAINT_NAME" << "UQ_T" << "SBDropConstraintClick"
                                     << true << QStringList{"alter table T drop constraint UQ_T"}
                                     << "select count(*) from rdb$relation_constraints where rdb$constraint_name = \"%1\""
                                     << 0;
    QTest::newRow("drop column") << 0 << "QColumns" << "RDB$FIELD_NAME" << "X" << "SBDropColClick" << true
                                 << QStringList{"alter table T drop X"}
                                 << "select count(*) from rdb$relation_fields where rdb$field_name = \"%1\"" << 0;
}

void TestMetaBrowser::tableCommands()
{
    QFETCH(int, tab);
    QFETCH(QString, list);
    QFETCH(QString, field);
    QFETCH(QString, row);
    QFETCH(QString, handler);
    QFETCH(bool, asks);
    QFETCH(QStringList, sent);
    QFETCH(QString, check);
    QFETCH(int, expected);
    Browser t({"create table T (ID integer not null, N integer, U integer, X integer, constraint PK_T primary key (ID), "
               "constraint UQ_T unique (U))",
               "create index IX_N on T (N)", "create index IX_OFF on T (U)", "alter index IX_OFF inactive",
               "create trigger TR_T for T before insert as begin end",
               "create trigger TR_OFF for T inactive before update as begin end"});
    t.page(1, tab);
    QVERIFY(listNamed(t.dm(), list).locate(field, row));
    if (asks)
        t.p.answer(Prompter::Answer::Yes);
    t.run(handler.toLatin1());
    QCOMPARE(t.changes(), sent);
    if (expected < 0) {
        QVERIFY(t.failedAndClean());
        QCOMPARE(t.p.calls().size(), 1);
        QCOMPARE(t.value(check.arg(row)).toInt(), 0); // still on
        return;
    }
    QCOMPARE(t.p.texts().join('|'), asks ? QString("Drop now?") : QString());
    QVERIFY(t.readyAndClean());
    QCOMPARE(t.value(check.arg(row)).toInt(), expected);
    if (handler == "SBDropIndexClick") // the five buttons follow the list's rows
        QVERIFY(t.b().button("SBIndexBalance")->isEnabled());
}

void TestMetaBrowser::setGeneratorValue_data()
{
    QTest::addColumn<bool>("generators");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<qlonglong>("value");
    QTest::newRow("no generators") << false << "5" << QStringList() << "List is empty!" << false << 0LL;
    QTest::newRow("empty edit") << true << "" << QStringList() << "" << false << 0LL;
    QTest::newRow("not an integer") << true << "5 + 1" << QStringList() << "\"5 + 1\" is not an integer" << true << 0LL;
    QTest::newRow("integer") << true << "42" << QStringList{"set generator G1 to 42"} << "" << false << 42LL;
    QTest::newRow("64-bit") << true << "5000000000" << QStringList{"set generator G1 to 5000000000"} << "" << false
                            << 5000000000LL;
}

void TestMetaBrowser::setGeneratorValue()
{
    QFETCH(bool, generators);
    QFETCH(QString, typed);
    QFETCH(QStringList, sent);
    QFETCH(QString, message);
    QFETCH(bool, failed);
    QFETCH(qlonglong, value);
    Browser t(generators ? QStringList{"create generator G1", "create exception E_CHECK \"wrong value\""}
                         : QStringList());
    t.page(3);
    t.b().EditGenValue->setText(typed);
    t.b().SBSetGenValueClick();
    QCOMPARE(t.changes(), sent);
    QCOMPARE(t.p.texts().join('|').left(message.isEmpty() ? 1000 : message.size()), message);
    if (!message.isEmpty())
        QVERIFY2(t.p.calls().first().text.startsWith(message), qPrintable(t.p.calls().first().text));
    QCOMPARE(t.b().StatusFailed, failed);
    QVERIFY(t.b().isEnabled());
    if (!generators)
        return;
    // Read in dialect 3: a dialect-1 gen_id gives only the low 32 bits.
    auto db = t.t.connect();
    db->executeImmediate(
        QString("execute block as begin if (gen_id(G1, 0) <> %1) then exception E_CHECK; end").arg(value), 3);
}

void TestMetaBrowser::copyColumn_data()
{
    QTest::addColumn<bool>("targetSet");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<int>("copied");
    QTest::newRow("both set") << true << "update T set B = A" << 2;
    // A statement without its target is never sent; the refusal is shown.
    QTest::newRow("no target") << false << "" << 0;
}

void TestMetaBrowser::copyColumn()
{
    QFETCH(bool, targetSet);
    QFETCH(QString, sent);
    QFETCH(int, copied);
    Browser t({"create table T (A integer, B integer)", "insert into T values (1, null)", "insert into T values (2, null)"});
    t.page(1, 0);
    QVERIFY(t.dm().QColumns.locate("RDB$FIELD_NAME", "A"));
    t.b().SBFromColClick();
    QVERIFY(t.dm().QColumns.locate("RDB$FIELD_NAME", "B"));
    if (targetSet)
        t.b().SBToColClick();
    t.log.clear();
    t.b().SBCopyColClick();
    QCOMPARE(t.changes(), sent.isEmpty() ? QStringList() : QStringList{sent});
    QCOMPARE(t.b().StatusFailed, !targetSet);
    QCOMPARE(t.p.calls().size(), targetSet ? 0 : 1);
    QVERIFY(t.b().isEnabled() && !t.dm().Database.inTransaction());
    QCOMPARE(t.value("select count(*) from T where B = A").toInt(), copied);
}

void TestMetaBrowser::newColumn()
{
    Browser t({"create table T (A integer)"});
    t.page(1, 0);
    int tries = 0;
    QString failure, kept;
    platform::ModalHook previous = platform::setModalHook([&](QDialog &d) {
        auto *dialog = qobject_cast<TfmNewCol *>(&d);
        if (!dialog)
            return int(QDialog::Rejected);
        dialog->FormShow();
        // A refused type keeps the dialog open with its text for a correction.
        dialog->EditColName->setText("C2");
        dialog->EditColType->setText("intgr");
        dialog->BitBtn1Click();
        ++tries;
        if (dialog->result() == QDialog::Accepted)
            return dialog->result();
        failure = t.p.calls().isEmpty() ? QString() : t.p.calls().last().text;
        kept = dialog->EditColType->text();
        dialog->EditColType->setText("varchar(10)");
        dialog->BitBtn1Click();
        ++tries;
        return dialog->result();
    });
    t.b().SBNewColClick();
    platform::setModalHook(previous);
    QCOMPARE(tries, 2);
    QCOMPARE(kept, QString("intgr"));
    QVERIFY2(failure.contains("INTGR", Qt::CaseInsensitive), qPrintable(failure));
    QCOMPARE(t.changes(), (QStringList{"alter table T add C2 intgr", "alter table T add C2 varchar(10)"}));
    QVERIFY(t.readyAndClean());
    QVERIFY(t.dm().QColumns.locate("RDB$FIELD_NAME", "C2"));
    QCOMPARE(t.value("select count(*) from rdb$relation_fields where rdb$relation_name = \"T\"").toInt(), 2);
}

// ---------------------------------------------------------------- views, boxes, refresh

void TestMetaBrowser::userAndSystemTables()
{
    Browser t({"create table A1 (ID integer)"}, true);
    t.page(1);
    auto names = [&t] {
        QStringList out;
        for (int i = 0; i < t.dm().QTables.recordCount(); ++i)
            out << t.dm().QTables.textAt(i, 0);
        return out;
    };
    t.b().SpeedButton2->click();
    QCOMPARE(t.dm().QTables.sql(),
             (QStringList{"select distinct RDB$Relation_Name, RDB$External_File from RDB$Relations",
                          "where RDB$SYSTEM_FLAG = 1 or (RDB$Relation_Name containing \"META$\")",
                          "order by RDB$Relation_Name"}));
    QVERIFY(names().contains("RDB$RELATIONS"));
    QVERIFY(names().contains("META$POINTS"));
    QVERIFY(!names().contains("A1"));
    t.b().SpeedButton1->click();
    QCOMPARE(t.dm().QTables.sql().size(), 4);
    QCOMPARE(names(), QStringList{"A1"});
    QVERIFY(t.b().SpeedButton1->isChecked());
}

void TestMetaBrowser::debugBoxes_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("name");
    QTest::newRow("generators") << 3 << "CBDebGen" << "QGenerator" << "META$CODEGEN";
    QTest::newRow("procedures") << 7 << "CBDebProc" << "QProc" << "META$RENEW";
    QTest::newRow("dependencies") << 2 << "CBDebDep" << "QDepend" << "META$RENEW";
}

void TestMetaBrowser::debugBoxes()
{
    QFETCH(int, page);
    QFETCH(QString, box);
    QFETCH(QString, list);
    QFETCH(QString, name);
    Browser t({}, true);
    t.page(page);
    engine::Query &q = list == "QDepend" ? t.dm().QDepend : listNamed(t.dm(), list);
    const QString field = q.fields().first().name;
    auto *check = t.b().findChild<QCheckBox *>(box);
    QVERIFY(!check->isChecked());
    QVERIFY(!q.locate(field, name));
    check->click();
    QVERIFY(q.locate(field, name));
    check->click();
    QVERIFY(!q.locate(field, name));
}

void TestMetaBrowser::refreshPkFk_data()
{
    QTest::addColumn<bool>("repository");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("with the repository")
        << true << QStringList{"Now META$RENEW will be started. It may take some time (3-15 min). Run now?"};
    QTest::newRow("without") << false
                             << QStringList{"Now META$RENEW will be started. It may take some time (3-15 min). Run now?",
                                            "There are no META$ structures in this DB"};
}

void TestMetaBrowser::refreshPkFk()
{
    QFETCH(bool, repository);
    QFETCH(QStringList, texts);
    Browser t({"create table M (ID integer not null primary key)",
               "create table D (ID integer not null primary key, M_ID integer references M)"},
              repository);
    t.page(1, 0);
    t.p.answer(Prompter::Answer::Yes);
    t.b().SBRefreshAllClick();
    QCOMPARE(t.p.texts(), texts);
    QVERIFY(t.readyAndClean());
    QVERIFY(t.b().StatusPanel1->text().isEmpty());
    if (!repository)
        return;
    QVERIFY(t.b().SBRefreshAll->isEnabled());
    QCOMPARE(t.value("select count(*) from meta$dep where T1 = \"D\" and T2 = \"M\"").toInt(), 1);
    // Verbose: the key columns show once the box is ticked.
    QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", "D"));
    t.b().CBVerboseCol->click();
    QVERIFY(t.b().VerboseColumns);
    QVERIFY(t.dm().QColumns.locate("RDB$FIELD_NAME", "M_ID"));
    QCOMPARE(t.dm().QColumns.fieldByName("RefTo").asString(), QString("M"));
}

// ---------------------------------------------------------------- BLOB as memo

void TestMetaBrowser::blobAsMemo_data()
{
    QTest::addColumn<QStringList>("ddl");
    QTest::addColumn<QString>("message");
    QTest::newRow("one-column key") << QStringList{"create table T (K integer not null primary key, X integer, "
                                                   "B blob sub_type 1)",
                                                   "insert into T values (1, 1, \"first\")",
                                                   "insert into T values (2, 1, \"second\")"}
                                    << "";
    // The second row shares its first key value with the first.
    QTest::newRow("two-column key") << QStringList{"create table T (K integer not null, X integer not null, "
                                                   "B blob sub_type 1, primary key (K, X))",
                                                   "insert into T values (1, 1, \"first\")",
                                                   "insert into T values (1, 2, \"second\")"}
                                    << "";
    // Its index takes the constraint's name, with no PRIMARY in it.
    QTest::newRow("named key") << QStringList{"create table T (K integer not null, X integer, B blob sub_type 1, "
                                              "constraint T_KEY primary key (K))",
                                              "insert into T values (1, 1, \"first\")",
                                              "insert into T values (2, 1, \"second\")"}
                               << "";
    QTest::newRow("no key") << QStringList{"create table T (K integer, X integer, B blob sub_type 1)",
                                           "insert into T values (1, 1, \"first\")",
                                           "insert into T values (2, 1, \"second\")"}
                            << "Unable to find record due to absence of PK";
}

void TestMetaBrowser::blobAsMemo()
{
    QFETCH(QStringList, ddl);
    QFETCH(QString, message);
    Browser t(ddl);
    TfmBrowser &b = t.b();
    b.SBHideBlobClick(); // nothing shown: nothing happens
    QVERIFY(!b.BlobShown);
    t.page(1, 3);
    QCOMPARE(b.DataGridModel->rowCount(), 2);
    b.DBGrid4->selectRow(1);
    QVERIFY(t.dm().QColumns.locate("RDB$FIELD_NAME", "B"));
    b.SBShowBlobClick();
    if (!message.isEmpty()) {
        QCOMPARE(t.p.texts(), QStringList{message});
        QVERIFY(!b.BlobShown);
        QVERIFY(b.button("SBHideBlob")->isChecked());
        QVERIFY(b.DBGTables->isEnabled());
        return;
    }
    QVERIFY(t.p.calls().isEmpty());
    QVERIFY(b.BlobShown);
    QCOMPARE(b.DBDataMemo->toPlainText(), QString("second"));
    QVERIFY(!b.DBGTables->isEnabled());
    QCOMPARE(b.StatusPanel1->text(), QString("   Hint: Press \"Hide BLOB\" button to table change."));
    b.DBDataMemo->setPlainText("changed");
    b.DBNavigator2->findChild<QToolButton *>("Post")->click();
    QCOMPARE(t.value("select count(*) from T where B = \"changed\"").toInt(), 1);
    QCOMPARE(t.value("select count(*) from T where B = \"first\"").toInt(), 1);
    t.dm().QColumns.first();
    b.SBHideBlobClick();
    QVERIFY(!b.BlobShown);
    QVERIFY(b.DBGTables->isEnabled());
    QCOMPARE(nameAt(t.dm().QColumns, "RDB$FIELD_NAME"), QString("B"));
    QCOMPARE(b.DBGrid4->currentIndex().row(), 1);
    QVERIFY(!b.button("SBCutMemo")->isEnabled());
}

// ---------------------------------------------------------------- templates

void TestMetaBrowser::templates()
{
    Browser t({"create table T1 (ID integer)"});
    TfmBrowser &b = t.b();
    const struct {
        const char *handler;
        QString first;
        int caret;
        bool textPage;
    } cases[] = {{"SBNewDomainClick", "create domain MyDomain as ", 14, false},
                 {"SBNewIndexClick", "create index MyIndex on T1", 13, true},
                 {"SBNewConstraintClick", "alter table T1", -1, true}};
    for (const auto &c : cases) {
        b.SBGoBrowserClick();
        b.PCBrowser->setCurrentIndex(1);
        b.PCSQL->setCurrentWidget(b.TSSQLRecords);
        b.SQLBody->setPlainText("old text");
        QTextCursor end = b.SQLBody->textCursor();
        end.movePosition(QTextCursor::End);
        b.SQLBody->setTextCursor(end);
        t.run(c.handler);
        QVERIFY(b.SBGoMaster->isChecked());
        QCOMPARE(b.PCMain->currentWidget(), b.TSSQLMaster);
        QCOMPARE(lines(b.SQLBody).first(), c.first);
        QVERIFY(!lines(b.SQLBody).contains("old text"));
        if (c.caret >= 0)
            QCOMPARE(b.SQLBody->textCursor().position(), c.caret);
        QCOMPARE(b.PCSQL->currentWidget(), c.textPage ? b.TSSQLText : b.TSSQLRecords);
    }
    QVERIFY(t.changes().isEmpty()); // nothing is run
}

// ---------------------------------------------------------------- search and data

void TestMetaBrowser::incrementalSearch()
{
    Browser t({"create table AA (ID integer)", "create table ABA (ID integer)", "create table ABB (ID integer)",
               "create table B1 (ID integer)", "create domain D_A as integer", "create domain D_B as integer"});
    TfmBrowser &b = t.b();
    t.page(1);
    engine::Query &tables = t.dm().QTables;
    auto current = [](engine::Query &q) { return q.fields().isEmpty() ? QString() : q.text(0); };
    QTest::keyClick(b.DBGTables, Qt::Key_A, Qt::NoModifier);
    QCOMPARE(current(tables), QString("AA"));
    QTest::keyClicks(b.DBGTables, "b");
    QCOMPARE(b.IncrementalSearchPrefix, QString("AB"));
    QCOMPARE(current(tables), QString("ABA"));
    QTest::keyClicks(b.DBGTables, "b");
    QCOMPARE(current(tables), QString("ABB"));
    // Never backwards: ABBA is searched from ABB on.
    QTest::keyClicks(b.DBGTables, "a");
    QCOMPARE(current(tables), QString("B1"));
    // One prefix for every list: the domains start from it.
    b.PCBrowser->setCurrentIndex(0);
    QTest::keyClicks(b.DBGDomain, "d");
    QCOMPARE(b.IncrementalSearchPrefix, QString("ABBAD"));
    QCOMPARE(current(t.dm().QDomain), QString("D_A"));
    QTest::keyClick(b.DBGDomain, Qt::Key_Escape);
    QVERIFY(b.IncrementalSearchPrefix.isEmpty());
    b.PCBrowser->setCurrentIndex(1);
    QTest::keyClick(b.DBGTables, Qt::Key_Escape);
    QCOMPARE(current(tables), QString("AA"));
}

void TestMetaBrowser::dataPageFetchesAsItScrolls()
{
    Browser t({"create table BIG (ID integer)", "create table SMALL (ID integer)"});
    {
        auto db = t.t.connect();
        testsupport::exec(*db, "create procedure FILL as declare variable I integer = 0; begin "
                               "while (I < 1000) do begin insert into BIG values (:I); I = I + 1; end end");
        testsupport::exec(*db, "execute procedure FILL");
        testsupport::exec(*db, "drop procedure FILL");
        testsupport::exec(*db, "insert into SMALL values (7)");
    }
    TfmBrowser &b = t.b();
    t.page(1);
    QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", "BIG"));
    b.PCColumns->setCurrentIndex(3);
    QCOMPARE(b.DataGridModel->rowCount(), engine::ScrollingModel::kBatch);
    QVERIFY(t.dm().TCurrentRows.isOpen());
    QVERIFY(b.DataGridModel->canFetchMore(QModelIndex()));
    b.DBNavigator1->findChild<QToolButton *>("Last")->click();
    QCOMPARE(b.DataGridModel->rowCount(), 1000);
    QCOMPARE(b.DBGrid4->currentIndex().row(), 999);
    QVERIFY(!t.dm().TCurrentRows.isOpen()); // let go at the end
    // The data follows the current table.
    QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", "SMALL"));
    QCOMPARE(b.DataGridModel->rowCount(), 1);
    QCOMPARE(b.DataGridModel->data(b.DataGridModel->index(0, 0)).toString(), QString("7"));
    // A table shown on the data page can still be dropped.
    QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", "BIG"));
    t.p.answer(Prompter::Answer::Yes);
    b.SBDropTableClick();
    QCOMPARE(t.p.texts().join('|'), QString("Drop now?"));
    QVERIFY(t.readyAndClean());
    QCOMPARE(nameAt(t.dm().QTables, "RDB$RELATION_NAME"), QString("SMALL"));
}


// ---------------------------------------------------------------- twin names

void TestMetaBrowser::twinNames_data()
{
    // On a dialect-3 database, the quoted twin is refused with nothing sent
    // and read back unchanged; the plain upper-case object beside it works.
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("table"); // the current table for the detail tabs
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("twin");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QStringList>("sent"); // for the plain one
    QTest::addColumn<QString>("check");    // a value of the object named %1
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after"); // of the plain one
    const QString relation = "select count(*) from rdb$relations where rdb$relation_name = '%1'";
    const QString index = "select count(*) from rdb$indices where rdb$index_name = '%1' and coalesce(rdb$index_inactive, 0) = 0";
    const QString trigger = "select count(*) from rdb$triggers where rdb$trigger_name = '%1' and rdb$trigger_inactive = 0";
    QTest::newRow("drop table") << 1 << -1 << "" << "QTables" << "RDB$RELATION_NAME" << "lowr" << "SBDropTableClick"
                                << QStringList{"drop table LOWR"} << relation << 1 << 0;
    QTest::newRow("drop view") << 5 << -1 << "" << "QView" << "RDB$VIEW_NAME" << "ViewM" << "SBDropViewClick"
                               << QStringList{"drop view VIEWM"} << relation << 1 << 0;
    QTest::newRow("drop procedure") << 7 << -1 << "" << "QProc" << "RDB$PROCEDURE_NAME" << "ProcM" << "SBDropProcClick"
                                    << QStringList{"drop procedure PROCM"}
                                    << "select count(*) from rdb$procedures where rdb$procedure_name = '%1'" << 1 << 0;
    QTest::newRow("drop generator") << 3 << -1 << "" << "QGenerator" << "RDB$GENERATOR_NAME" << "GenM" << "SBDropGenClick"
                                    << QStringList{"drop generator GENM"}
                                    << "select count(*) from rdb$generators where rdb$generator_name = '%1'" << 1 << 0;
    QTest::newRow("set generator") << 3 << -1 << "" << "QGenerator" << "RDB$GENERATOR_NAME" << "GenM"
                                   << "SBSetGenValueClick" << QStringList{"set generator GENM to 7"}
                                   << "select count(*) from rdb$generators where rdb$generator_name = '%1'" << 1 << 1;
    QTest::newRow("drop exception") << 6 << -1 << "" << "QException" << "RDB$EXCEPTION_NAME" << "ExcM"
                                    << "SBDropExceptionClick" << QStringList{"drop exception EXCM"}
                                    << "select count(*) from rdb$exceptions where rdb$exception_name = '%1'" << 1 << 0;
    QTest::newRow("drop domain") << 0 << -1 << "" << "QDomain" << "RDB$FIELD_NAME" << "DomM" << "SBDropDomainClick"
                                 << QStringList{"drop domain DOMM"}
                                 << "select count(*) from rdb$fields where rdb$field_name = '%1'" << 1 << 0;
    QTest::newRow("index inactive") << 1 << 1 << "MIXEDCASE" << "QIndex" << "RDB$INDEX_NAME" << "IxMixed"
                                    << "SBIndexInactiveClick" << QStringList{"alter index IXMIXED InActive"} << index << 1 << 0;
    QTest::newRow("index active") << 1 << 1 << "MIXEDCASE" << "QIndex" << "RDB$INDEX_NAME" << "IxMixed"
                                  << "SBIndexActiveClick" << QStringList{"alter index IXMIXED Active"} << index << 1 << 1;
    QTest::newRow("index balance") << 1 << 1 << "MIXEDCASE" << "QIndex" << "RDB$INDEX_NAME" << "IxMixed"
                                   << "SBIndexBalanceClick"
                                   << QStringList{"alter index IXMIXED InActive", "alter index IXMIXED Active"} << index
                                   << 1 << 1;
    QTest::newRow("index statistics") << 1 << 1 << "MIXEDCASE" << "QIndex" << "RDB$INDEX_NAME" << "IxMixed"
                                      << "SBIndexStatisticsClick" << QStringList{"set statistics index IXMIXED"} << index
                                      << 1 << 1;
    QTest::newRow("drop index") << 1 << 1 << "MIXEDCASE" << "QIndex" << "RDB$INDEX_NAME" << "IxMixed" << "SBDropIndexClick"
                                << QStringList{"drop index IXMIXED"} << index << 1 << 0;
    QTest::newRow("trigger inactive") << 1 << 2 << "MIXEDCASE" << "QTableTrigger" << "RDB$TRIGGER_NAME" << "TrgM"
                                      << "SBTriggerInactiveClick" << QStringList{"alter trigger TRGM InActive"} << trigger
                                      << 1 << 0;
    QTest::newRow("trigger active") << 1 << 2 << "MIXEDCASE" << "QTableTrigger" << "RDB$TRIGGER_NAME" << "TrgM"
                                    << "SBTriggerActiveClick" << QStringList{"alter trigger TRGM Active"} << trigger << 1 << 1;
    QTest::newRow("drop trigger") << 1 << 2 << "MIXEDCASE" << "QTableTrigger" << "RDB$TRIGGER_NAME" << "TrgM"
                                  << "SBDropTriggerClick" << QStringList{"drop trigger TRGM"} << trigger << 1 << 0;
    QTest::newRow("drop column") << 1 << 0 << "COLS" << "QColumns" << "RDB$FIELD_NAME" << "Col" << "SBDropColClick"
                                 << QStringList{"alter table COLS drop COL"}
                                 << "select count(*) from rdb$relation_fields where rdb$field_name = '%1'" << 1 << 0;
    QTest::newRow("drop constraint") << 1 << 4 << "COLS" << "QConstraints" << "RDB$CONSTRAINT_NAME" << "UqM"
                                     << "SBDropConstraintClick" << QStringList{"alter table COLS drop constraint UQM"}
                                     << "select count(*) from rdb$relation_constraints where rdb$constraint_name = '%1'"
                                     << 1 << 0;
}

void TestMetaBrowser::twinNames()
{
    QFETCH(int, page);
    QFETCH(int, tab);
    QFETCH(QString, table);
    QFETCH(QString, list);
    QFETCH(QString, field);
    QFETCH(QString, twin);
    QFETCH(QString, handler);
    QFETCH(QStringList, sent);
    QFETCH(QString, check);
    QFETCH(int, before);
    QFETCH(int, after);
    Browser t(testsupport::twinSchema(), false, 3);
    t.b().EditGenValue->setText("7");
    const QString plain = twin.toUpper();
    t.page(page);
    if (!table.isEmpty())
        QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", table));
    if (tab >= 0)
        t.page(page, tab);
    engine::Query &q = listNamed(t.dm(), list);
    QVERIFY(q.locate(field, twin));
    if (list == "QGenerator") // the twin's value is never read as the plain one's
        QCOMPARE(q.fieldByName("GenValue").asString(), QString());
    t.log.clear();
    t.run(handler.toLatin1());
    QCOMPARE(t.p.texts(), QStringList{QString("The name \"%1\" differs from its upper case: a dialect-1 statement would "
                                              "name %2 instead, so it can only be named quoted, in dialect 3. "
                                              "Nothing was sent.")
                                          .arg(twin, plain)});
    QCOMPARE(t.changes(), QStringList());
    QVERIFY(t.failedAndClean());
    QCOMPARE(nameAt(q, field).trimmed(), twin); // still listed as the catalogue holds it
    QCOMPARE(t.value(check.arg(twin)).toInt(), before);
    QCOMPARE(t.value(check.arg(plain)).toInt(), before);

    t.p.clear();
    QVERIFY(q.locate(field, plain));
    t.p.answer(Prompter::Answer::Yes); // where it asks "Drop now?"
    t.run(handler.toLatin1());
    QCOMPARE(t.changes(), sent);
    QVERIFY(t.readyAndClean());
    QCOMPARE(t.value(check.arg(plain)).toInt(), after);
    QCOMPARE(t.value(check.arg(twin)).toInt(), before);
}

void TestMetaBrowser::indexCommandsWithoutIndex_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("handler");
    for (const char *h : {"SBIndexActiveClick", "SBIndexInactiveClick", "SBIndexBalanceClick", "SBIndexStatisticsClick",
                          "SBDropIndexClick"})
        QTest::newRow(h) << 1 << h;
    for (const char *h : {"SBTriggerActiveClick", "SBTriggerInactiveClick", "SBDropTriggerClick"})
        QTest::newRow(h) << 2 << h;
}

void TestMetaBrowser::indexCommandsWithoutIndex()
{
    // A command with no object sends nothing.
    QFETCH(int, tab);
    QFETCH(QString, handler);
    Browser t({"create table T (ID integer)"});
    t.page(1, tab);
    t.run(handler.toLatin1());
    QCOMPARE(t.p.texts(), QStringList{"List is empty!"});
    QCOMPARE(t.changes(), QStringList());
    QVERIFY(t.b().isEnabled() && !t.b().StatusFailed && !t.dm().Database.inTransaction());
}

void TestMetaBrowser::dataPageBetweenTablesWithAndWithoutBlobs()
{
    // BLOB columns in different places, and a table with more columns than
    // the other has BLOBs and the reverse: one data page serves them all.
    Browser t({"create table PROJECT (ID integer, NAME varchar(20), DESCR blob sub_type 1, PIC blob, X integer)",
               "create table COUNTRY (NAME varchar(15), CURRENCY varchar(10))",
               "create table NOTES (BODY blob sub_type 1, ID integer)"});
    fillRows(t, "PROJECT", 230, ":I, 'p' || :I, 'text ' || :I, 'bin', :I * 2");
    fillRows(t, "COUNTRY", 14, "'c' || :I, 'cur'");
    fillRows(t, "NOTES", 120, "'note ' || :I, :I");
    TfmBrowser &b = t.b();
    t.page(1, 3);
    const struct {
        const char *table;
        int rows;
        const char *column;
        const char *lastValue;
    } visits[] = {{"PROJECT", 230, "DESCR", "text 230"}, {"COUNTRY", 14, "NAME", "c14"},
                  {"PROJECT", 230, "X", "460"},         {"NOTES", 120, "BODY", "note 120"},
                  {"COUNTRY", 14, "CURRENCY", "cur"},   {"NOTES", 120, "ID", "120"},
                  {"PROJECT", 230, "PIC", "bin"},       {"COUNTRY", 14, "NAME", "c14"}};
    for (int round = 0; round < 2; ++round) {
        for (const auto &v : visits) {
            QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", v.table));
            QCOMPARE(b.DataGridModel->rowCount(), qMin(v.rows, int(engine::ScrollingModel::kBatch)));
            b.DBNavigator1->findChild<QToolButton *>("Last")->click();
            QCOMPARE(b.DataGridModel->rowCount(), v.rows);
            QCOMPARE(b.DataGridModel->value(v.rows - 1, v.column).toString(), QString(v.lastValue));
            QVERIFY2(t.p.calls().isEmpty(), qPrintable(t.p.texts().join('|')));
        }
    }
}

void TestMetaBrowser::failingFetchTellsOnceAndKeepsTheGrid()
{
    // Row 150 cannot be computed: the server refuses that fetch, well after
    // the first screen.
    Browser t({"create table BAD (ID integer, Q computed by (1000 / (ID - 150)))",
               "create table GOOD (ID integer)"});
    fillRows(t, "BAD", 300, ":I");
    fillRows(t, "GOOD", 3, ":I");
    TfmBrowser &b = t.b();
    t.page(1);
    QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", "BAD"));
    b.PCColumns->setCurrentIndex(3);
    QCOMPARE(b.DataGridModel->rowCount(), engine::ScrollingModel::kBatch);
    b.DBNavigator1->findChild<QToolButton *>("Last")->click();
    QCOMPARE(t.p.calls().size(), 1);
    QVERIFY2(t.p.texts().first().contains("divide by zero"), qPrintable(t.p.texts().first()));
    // The rows before the refused one stay, and nothing more is asked for.
    QCOMPARE(b.DataGridModel->rowCount(), 149);
    QVERIFY(!b.DataGridModel->canFetchMore(QModelIndex()));
    QCOMPARE(b.DBGrid4->currentIndex().row(), 148);
    QVERIFY(b.isEnabled() && b.DBGrid4->isEnabled());
    // The grid goes on serving the next table.
    QVERIFY(t.dm().QTables.locate("RDB$RELATION_NAME", "GOOD"));
    QCOMPARE(b.DataGridModel->rowCount(), 3);
    QCOMPARE(t.p.calls().size(), 1);
}

DUNMOOR_GUI_TEST_MAIN(TestMetaBrowser)
#include "tst_metabrowser.moc"
