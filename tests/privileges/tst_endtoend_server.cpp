// End to end as a new user works: a database with server users, tables, a
// view and a procedure; the workbench connected through the loopback
// server hands its connection to the privilege manager with the arguments
// of its launch command (the real process start is tst_launch_e2e_server's);
// then the privilege manager's pages create the administrative tables with
// the import, make grant groups and user groups, assign, remove, rename,
// delete and erase. After every step what isql-fb, a separate program,
// reads of RDB$USER_PRIVILEGES must be what the privilege list shows.
// With SCREENSHOT_DIR set, every page of both programs is saved there.
#include "PrivilegesFixture.h"
#include "support/GuiTestMain.h"
#include "workbench/App.h"
#include "workbench/Launcher.h"
#include "workbench/fBrowser.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <functional>

using namespace privtest;
using Answer = platform::Prompter::Answer;
using testsupport::exec;

namespace {

const QStringList kServerUsers{"EU1", "EU2", "EU3", "EU4", "EU5"};

// What the catalogue holds for the test's users, as "user|letter|option|object|column".
const QString kCatalogue = QStringLiteral(
    "select trim(rdb$user) || '|' || trim(rdb$privilege) || '|' || rdb$grant_option || '|' || trim(rdb$relation_name) "
    "|| '|' || coalesce(trim(rdb$field_name), '') from rdb$user_privileges where rdb$user_type = 8 "
    "and rdb$user starting with 'EU' and rdb$privilege in ('S','I','D','U','X') "
    "and rdb$relation_name not starting with 'META$'");

// The same rows as isql-fb shows them, read through the server.
QStringList isqlRows(const QString &serverName)
{
    QProcess run;
    run.start(QStandardPaths::findExecutable("isql-fb"),
              {"-q", "-user", "SYSDBA", "-password", testsupport::serverPassword(), serverName});
    run.write(("set heading off;\n" + kCatalogue + ";\nquit;\n").toUtf8());
    run.closeWriteChannel();
    if (!run.waitForFinished(60000))
        run.kill();
    QStringList out;
    for (const QString &line : QString::fromLocal8Bit(run.readAllStandardOutput()).split('\n'))
        if (!line.trimmed().isEmpty())
            out << line.trimmed();
    out.sort();
    return out.isEmpty() ? QStringList{"<nothing> " + QString::fromLocal8Bit(run.readAllStandardError())} : out;
}

// The privilege list's rows for the same users, from its data set.
QStringList listedRows(engine::DataSet &list)
{
    QStringList out;
    auto text = [&](int r, const char *f) { return list.textAt(r, list.fieldIndex(QLatin1String(f))).trimmed(); };
    for (int r = 0; r < list.recordCount(); ++r)
        if (text(r, "RDB$USER").startsWith("EU") && text(r, "RDB$USER_TYPE") == "8")
            out << QStringList{text(r, "RDB$USER"), text(r, "RDB$PRIVILEGE"), text(r, "RDB$GRANT_OPTION"),
                               text(r, "RDB$RELATION_NAME"), text(r, "RDB$FIELD_NAME")}
                       .join('|');
    out.sort();
    return out.isEmpty() ? QStringList{"<nothing> "} : out;
}

void shoot(QWidget *w, const QString &name)
{
    if (const QString dir = qEnvironmentVariable("SCREENSHOT_DIR"); !dir.isEmpty())
        QVERIFY(w->grab().save(dir + "/" + name + ".png"));
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void newUserSession();

private:
    std::unique_ptr<ServerLogins> m_users;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable("isql-fb").isEmpty(), "isql-fb (firebird3.0-utils) is missing");
    clearSettings();
    m_users = std::make_unique<ServerLogins>(kServerUsers);
}

void TestEndToEnd::cleanupTestCase()
{
    m_users.reset();
}

void TestEndToEnd::newUserSession()
{
    TestDatabase t;
    {
        auto db = t.connect();
        for (const char *sql : {"create table T1 (C1 integer, C2 integer)", "create table T2 (C1 integer)",
                                "create view V1 as select C1 from T1",
                                "create procedure P1 returns (R integer) as begin R = 1; suspend; end",
                                "grant select on T1 to EU1 with grant option", "grant execute on procedure P1 to EU2",
                                "grant select on V1 to EU3", "grant update(C1) on T1 to EU4"})
            exec(*db, QString::fromLatin1(sql));
    }
    const QString serverName = testsupport::serverPrefix() + t.path();
    ScopedAlias alias("E2EDB", serverName);

    // The workbench, connected, passes its connection on.
    platform::ScriptedPrompter wbPrompter;
    std::unique_ptr<Workbench> wb;
    {
        platform::ScopedPrompter scoped(wbPrompter);
        wbPrompter.answer(Answer::No); // the workbench's own repository
        wb = std::make_unique<Workbench>(QStringList{"E2EDB", "SYSDBA", testsupport::serverPassword()});
    }
    QVERIFY(wb->browser->IsConnected);
    QVERIFY(wb->browser->SBGoLorvane->isEnabled());
    const QStringList arguments = launcher::lorvaneArguments(launcher::currentConnection(*wb->browser));
    QCOMPARE(arguments.mid(0, 2), (QStringList{"E2EDB", "SYSDBA"}));

    Program p(arguments, false);
    p.prompter.answer(Answer::Yes); // create the tables and import
    p.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.w));
    TLorvane &w = p.w;
    TGrantData &d = *GrantData;
    QVERIFY(d.grantdb.isConnected());
    QVERIFY(w.GrantPages->isTabVisible(4));

    auto page = [&](int index) {
        if (w.GrantPages->currentIndex() != index)
            QVERIFY(w.selectPage(index));
    };
    auto yes = [&](int times) {
        for (int i = 0; i < times; ++i)
            p.prompter.answer(Answer::Yes);
    };
    auto moveInto = [&](const char *group, const QString &node) {
        QVERIFY(d.MetaGrantDef.locate("GGNAME", group));
        select(w.Metatreegrant, node);
        DialogAnswers dialog; // every box as it comes up
        w.Movebtn->click();
    };
    auto newGrantGroup = [&](const char *name) {
        w.AddggName->click();
        QTest::keyClicks(w.gdefname, name);
        w.AddggName->click();
    };
    auto newUserGroup = [&](const char *name, const QStringList &members) {
        w.ugplus->click();
        QTest::keyClicks(w.ugp, name);
        w.svugp->click();
        QVERIFY(d.usergrp.locate("UGNAME", name));
        for (const QString &m : members) {
            QVERIFY2(d.usersdef.locate("UGNAME", m), qPrintable(m));
            w.mvbtn->click();
        }
        w.okbtn->click();
    };
    auto assign = [&](const char *group, const QString &holder) {
        QVERIFY(d.metagrp.locate("GGNAME", group));
        QVERIFY2(d.usersdef.locate("UGNAME", holder), qPrintable(holder));
        w.gmvbtn->click();
    };

    // Each step as the user takes it, then the two readings compared.
    const QList<std::pair<QString, std::function<void()>>> steps{
        {"connect with the import", [] {}},
        {"two grant groups with privileges",
         [&] {
             page(2);
             newGrantGroup("GA");
             moveInto("GA", "Stored Procedures/P1");
             moveInto("GA", "Tables/T2");
             newGrantGroup("GB");
             moveInto("GB", "Views/V1");
             w.Commitbtn->click();
         }},
        {"two user groups with members",
         [&] {
             page(3);
             newUserGroup("UGA", {"EU1", "EU2"});
             newUserGroup("UGB", {"EU3"});
         }},
        {"assign to a user and user groups",
         [&] {
             page(4);
             assign("GA", "EU4");
             assign("GA", "UGA");
             assign("GB", "UGB");
             w.gokbtn->click();
         }},
        {"remove from a user group",
         [&] {
             QVERIFY(d.metagrp.locate("GGNAME", "GA"));
             QVERIFY(d.metasgrp.locate("UFNAME", "UGA"));
             yes(1);
             w.gremvbtn->click();
             w.gokbtn->click();
         }},
        {"rename a user",
         [&] {
             page(3);
             QVERIFY(d.usergrp.locate("UGNAME", "UGB"));
             QVERIFY(d.usersdef.locate("UGNAME", "EU4"));
             w.umodify->click();
             w.usn->clear();
             QTest::keyClicks(w.usn, "EU5");
             w.svu->click();
         }},
        {"delete a grant group",
         [&] {
             // The screenshots first: the erase hides the group pages.
             const QStringList names{"connect", "grantinfo", "grantgroups", "usergroups", "grantaction"};
             w.resize(1000, 640);
             for (int i = 0; i < names.size(); ++i) {
                 if (i == 0)
                     w.GrantPages->setCurrentIndex(i); // shown, not chosen, while connected
                 else
                     page(i); // each page's own opening: its lists and filters
                 if (i == 3)
                     w.uplus->click();
                 shoot(&w, names[i]);
                 if (i == 3)
                     w.escu->click();
             }
             for (int i = 0; i < wb->browser->PCMain->count(); ++i) {
                 wb->browser->PCMain->setCurrentIndex(i);
                 shoot(wb->browser.get(), "workbench" + QString::number(i));
             }
             page(2);
             QVERIFY(d.MetaGrantDef.locate("GGNAME", "GB"));
             yes(3);
             w.DelggName->click();
         }},
        {"erase with the revokes",
         [&] {
             yes(2);
             w.erasebtn->click();
         }},
    };
    for (const auto &[name, step] : steps) {
        step();
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(name));
        QVERIFY2(p.prompter.problems().isEmpty(), qPrintable(name + ": " + p.prompter.problems().join("; ")));
        QVERIFY2(w.isEnabled(), qPrintable(name));
        if (w.GrantPages->isTabVisible(2))
            QCOMPARE(disagreements(d.grantdb), QStringList());
        page(1);
        qInfo().noquote() << name << "\n  isql-fb:" << isqlRows(serverName).join(", ");
        QCOMPARE(listedRows(d.TrigList), isqlRows(serverName));
    }
    qInfo().noquote() << "questions:" << p.prompter.texts().join(" / ");
}

DUNMOOR_GUI_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend_server.moc"
