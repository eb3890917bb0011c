// The user-group page's registration half as a user works it, against the
// loopback server with server users made for the test: users and user
// groups added, renamed, described and deleted with their questions, what
// a rename or deletion grants and revokes, failures that roll everything
// back, and the server users dialog for SYSDBA and for a plain user. The
// five agreement conditions hold after every step.
#include "PrivilegesFixture.h"
#include "privileges/MetaTrees.h"
#include "privileges/UserGroupMembers.h"
#include "privileges/UserRegistry.h"
#include "privileges/ibnames.h"
#include "support/GuiTestMain.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>

using namespace privtest;
using namespace privileges;
using Answer = platform::Prompter::Answer;
using testsupport::exec;

namespace {

// RU1..RU3 are registered by each test's layer; RU4 and RU5 are not. RU3
// owns T2, RU5 owns P2.
const QStringList kServerUsers{"RU1", "RU2", "RU3", "RU4", "RU5"};

QString password()
{
    return testsupport::serverPassword();
}

std::unique_ptr<engine::Database> second(const TestDatabase &t)
{
    return t.connectServer("SYSDBA", password(), "Second");
}

// The agreement from the window's connection and from a second one.
#define CHECK_AGREES_ON_SERVER(t)                                                                                      \
    do {                                                                                                               \
        QCOMPARE(disagreements(GrantData->grantdb), QStringList());                                                    \
        QCOMPARE(disagreements(*second(t)), QStringList());                                                            \
    } while (0)

// The program connected through the server to a database with a layer:
// grant group GG (Select on T1 with option, Update(C1) on T1, Execute on
// P1 and P2, Select on T2) held by RU1 and RU3 directly and by user group
// UG of RU2 and RU3; user group EG without members; the page UserGroups
// shown.
struct World {
    TestDatabase t;
    std::unique_ptr<ScopedAlias> alias;
    std::unique_ptr<Program> p;
    std::unique_ptr<LoginAnswers> login;
    TLorvane *w = nullptr;
    TGrantData *d = nullptr;
    QStringList committed;

    World()
    {
        {
            auto db = t.connect();
            for (const char *sql : {"create table T1 (C1 integer, C2 integer)", "create procedure P1 as begin end",
                                    "grant create table to RU3", "grant create procedure to RU5"})
                exec(*db, sql);
        }
        exec(*t.connect("RU3", "RU3"), "create table T2 (C1 integer)");
        exec(*t.connect("RU5", "RU5"), "create procedure P2 as begin end");
        {
            auto layer = connectWithLayer(t);
            for (const char *sql :
                 {"insert into meta$usersdef values ('RU1', 'Ann B Cole', 0)", "insert into meta$usersdef values ('RU2', null, 0)",
                  "insert into meta$usersdef values ('RU3', null, 0)", "insert into meta$usersdef values ('UG', 'Readers', 2)",
                  "insert into meta$usersdef values ('EG', null, 2)",
                  "insert into meta$userslist values (1, 'UG', 'RU2')", "insert into meta$userslist values (2, 'UG', 'RU3')",
                  "insert into meta$grantdef values ('GG', null)",
                  "insert into meta$grantlist values (1, 'GG', 'T1', 'Table', null, 'Select', 1)",
                  "insert into meta$grantlist values (2, 'GG', 'T1', 'Table', 'C1', 'Update', 0)",
                  "insert into meta$grantlist values (3, 'GG', 'P1', 'Procedure', null, 'Execute', 0)",
                  "insert into meta$grantlist values (4, 'GG', 'T2', 'Table', null, 'Select', 0)",
                  "insert into meta$grantlist values (5, 'GG', 'P2', 'Procedure', null, 'Execute', 0)",
                  "insert into meta$grantusers values (1, 'GG', 'RU1', 0)", "insert into meta$grantusers values (2, 'GG', 'UG', 2)",
                  "insert into meta$grantusers values (3, 'GG', 'RU3', 0)", "insert into meta$usersgrant values (1, 'GG', 'RU1')",
                  "insert into meta$usersgrant values (2, 'GG', 'RU2')", "insert into meta$usersgrant values (3, 'GG', 'RU3')",
                  "grant select on T1 to RU1,RU2,RU3 with grant option", "grant update(C1) on T1 to RU1,RU2,RU3",
                  "grant execute on procedure P1 to RU1,RU2,RU3", "grant select on T2 to RU1,RU2",
                  "grant execute on procedure P2 to RU1,RU2,RU3"})
                layer->execQ({QString::fromLatin1(sql)});
            layer->transaction.commit();
        }
        alias = std::make_unique<ScopedAlias>("USRDB", testsupport::serverPrefix() + t.path());
        p = std::make_unique<Program>();
        w = &p->w;
        p->selectAlias("USRDB");
        login = std::make_unique<LoginAnswers>();
        login->user = "SYSDBA";
        login->password = password();
        w->cntbtn->click();
        d = GrantData;
        QVERIFY(d->grantdb.isConnected());
        QVERIFY(w->selectPage(3));
        QCOMPARE(w->GrantPages->currentWidget(), w->UserGroups);
        committed = state(*second(t));
        p->prompter.clear();
    }

    // On the empty user group EG the page lists every user.
    bool onUser(const QString &name) { return onGroup("EG") && d->usersdef.locate("UGNAME", name); }
    bool onGroup(const QString &name) { return d->usergrp.locate("UGNAME", name); }
    QStringList users(const QString &table, const QString &column)
    {
        return rows(*second(t), QString("select %1 from %2 order by 1").arg(column, table));
    }
    QStringList userNodes()
    {
        QStringList out;
        for (int i = 0; i < w->usertree->topLevelItemCount(); ++i)
            if (w->usertree->topLevelItem(i)->text(0) == usersRoot())
                for (int c = 0; c < w->usertree->topLevelItem(i)->childCount(); ++c)
                    out << w->usertree->topLevelItem(i)->child(c)->text(0);
        return out;
    }
    bool userEditorOpen() const { return w->usergrid->isHidden() && w->Panel9->isVisible(); }
    // Retypes a field as the user does.
    static void retype(QLineEdit *e, const QString &text)
    {
        e->clear();
        QTest::keyClicks(e, text);
    }
};

QStringList grantsAndRevokes(const engine::StatementRecorder &log)
{
    return changes(log).filter(QRegularExpression("^(grant|revoke) "));
}

enum class Editor { AddGroup, ModifyGroup };

} // namespace

Q_DECLARE_METATYPE(Editor)

class TestUsersServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { clearSettings(); }
    void addUserWithFirstNameOnly();
    void takenNameKeepsEditorAndPendingWork();
    void renameCarriesThePrivileges();
    void failedRenameRollsEverythingBack_data();
    void failedRenameRollsEverythingBack();
    void descriptionOnly();
    void userGroupEditor_data();
    void userGroupEditor();
    void deleteUser_data();
    void deleteUser();
    void deleteUserGroup_data();
    void deleteUserGroup();
    void serverUsersIntoTheEditor();
    void serverUsersFailureShownOnce();
    void plainUserSeesHisOwnRow();

private:
    std::unique_ptr<TestDatabase> m_adminDb;
    std::unique_ptr<engine::Database> m_admin;
    void dropUsers();
};

void TestUsersServer::initTestCase()
{
    m_adminDb = std::make_unique<TestDatabase>();
    m_admin = m_adminDb->connectServer("SYSDBA", password(), "Admin");
    dropUsers();
    for (const QString &u : kServerUsers)
        exec(*m_admin, u == "RU4" ? QString("create user RU4 password 'pw' firstname 'Dan' lastname 'Roe'")
                                  : QString("create user %1 password 'pw'").arg(u));
}

void TestUsersServer::cleanupTestCase()
{
    dropUsers();
    m_admin.reset();
    m_adminDb.reset();
}

void TestUsersServer::dropUsers()
{
    for (const QString &u : kServerUsers) {
        try {
            exec(*m_admin, "drop user " + u);
        } catch (const engine::Error &) {
        }
    }
}

void TestUsersServer::addUserWithFirstNameOnly()
{
    World x;
    // The page's buttons follow the current user group's members.
    QVERIFY(x.onGroup("UG"));
    QVERIFY(x.w->remvbtn->isEnabled() && x.w->mvbtn->isEnabled() && !x.w->okbtn->isEnabled());
    QVERIFY(x.onGroup("EG"));
    QVERIFY(!x.w->remvbtn->isEnabled() && x.w->mvallbtn->isEnabled());
    x.w->uplus->click();
    QVERIFY(x.userEditorOpen());
    QCOMPARE(x.w->svuTag, 1);
    QVERIFY(!x.w->svu->isEnabled());
    QVERIFY(!x.w->uplus->isEnabled());
    QVERIFY(!x.w->User2->menuAction()->isEnabled());
    QTest::keyClicks(x.w->usn, "ru4");
    QCOMPARE(x.w->usn->text(), QString("RU4"));
    QVERIFY(x.w->svu->isEnabled());
    QTest::keyClicks(x.w->fn, "O'Neil");
    engine::StatementRecorder log;
    x.w->svu->click();
    QCOMPARE(x.p->prompter.texts(), QStringList());
    QCOMPARE(changes(log), QStringList{"insert into meta$usersdef values('RU4','O''Neil  ',0)"});
    QVERIFY(!x.userEditorOpen());
    QCOMPARE(x.w->svuTag, 0);
    QVERIFY(x.w->uplus->isEnabled());
    QCOMPARE(x.users("meta$usersdef where ugname = 'RU4'", "ugdesc || '|'"), QStringList{"O'Neil  |"});
    QVERIFY(x.userNodes().contains("RU4"));
    CHECK_AGREES_ON_SERVER(x.t);

    // Read back: the first name alone.
    QVERIFY(x.onUser("RU4"));
    x.w->umodify->click();
    QCOMPARE(x.w->svuTag, 0);
    QCOMPARE((QStringList{x.w->usn->text(), x.w->fn->text(), x.w->mn->text(), x.w->ln->text()}),
             (QStringList{"RU4", "O'Neil", "", ""}));
    x.w->escu->click();
    QVERIFY(!x.userEditorOpen());
}

void TestUsersServer::takenNameKeepsEditorAndPendingWork()
{
    World x;
    x.d->transaction.run([&] { x.d->execQ({"insert into meta$grantdef values ('PENDING', null)"}); });
    x.w->uplus->click();
    QTest::keyClicks(x.w->usn, "RU1");
    engine::StatementRecorder log;
    x.w->svu->click();
    QCOMPARE(x.p->prompter.texts(), QStringList{uniqueUserText()});
    QCOMPARE(changes(log), QStringList());
    QVERIFY(x.userEditorOpen());
    QCOMPARE(x.w->svuTag, 1);
    QCOMPARE(state(*second(x.t)), x.committed);
    QVERIFY(state(x.d->grantdb).contains("grp|PENDING|<null>"));

    // Another name then adds; the selected row is never renamed.
    World::retype(x.w->usn, "RU5");
    x.w->svu->click();
    QCOMPARE(x.users("meta$usersdef where usertype = 0", "ugname || ':' || coalesce(ugdesc, '') || '|'"),
             (QStringList{"RU1:Ann B Cole|", "RU2:|", "RU3:|", "RU5:  |"}));
    QVERIFY(state(*second(x.t)).contains("grp|PENDING|<null>"));
    CHECK_AGREES_ON_SERVER(x.t);
}

void TestUsersServer::renameCarriesThePrivileges()
{
    World x;
    QVERIFY(x.onUser("RU3"));
    x.w->umodify->click();
    World::retype(x.w->usn, "RU5");
    engine::StatementRecorder log;
    x.w->svu->click();
    QCOMPARE(x.p->prompter.texts(), QStringList());
    // RU5 owns P2 and gets nothing on it; RU3 owns T2 and keeps his.
    QCOMPARE(grantsAndRevokes(log),
             (QStringList{"grant Execute\n on \nprocedure \nP1\n to RU5", "grant Select\n on \nT1\n to RU5\n with grant option",
                          "grant Update\n(C1)\n on \nT1\n to RU5", "grant Select\n on \nT2\n to RU5",
                          "revoke Execute\n on \nprocedure \nP1 from RU3", "revoke Execute\n on \nprocedure \nP2 from RU3",
                          "revoke Select\n on \nT1 from RU3", "revoke Update\n(C1)\n on \nT1 from RU3"}));
    QCOMPARE(changes(log).filter(QRegularExpression("meta\\$")),
             (QStringList{"insert into meta$usersdef values('RU5','  ',0)", "delete from meta$usersdef where ugname=\"RU3\"",
                          "update meta$userslist set ualias=\"RU5\" where ualias=\n\"RU3\"",
                          "update meta$usersgrant set ufname=\"RU5\" where ufname=\n\"RU3\"",
                          "update meta$grantusers set ufname=\"RU5\" where ufname=\n\"RU3\""}));
    auto db = second(x.t);
    QCOMPARE(held(*db, "RU5"), (QStringList{"P1|X|0||SYSDBA", "T1|S|1||SYSDBA", "T1|U|0|C1|SYSDBA", "T2|S|0||SYSDBA"}));
    QCOMPARE(held(*db, "RU3"), QStringList());
    QCOMPARE(x.users("meta$userslist", "ufname || ':' || ualias"), (QStringList{"UG:RU2", "UG:RU5"}));
    QCOMPARE(x.users("meta$grantusers", "ufname"), (QStringList{"RU1", "RU5", "UG"}));
    QCOMPARE(x.users("meta$usersgrant", "ufname"), (QStringList{"RU1", "RU2", "RU5"}));
    QVERIFY(x.userNodes().contains("RU5"));
    QVERIFY(!x.userNodes().contains("RU3"));
    CHECK_AGREES_ON_SERVER(x.t);
}

void TestUsersServer::failedRenameRollsEverythingBack_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("occurrence");
    QTest::newRow("the insert") << "insert into meta$usersdef" << 1;
    QTest::newRow("a grant") << "grant " << 2;
    QTest::newRow("a revoke") << "revoke " << 3;
    QTest::newRow("the old row") << "delete from meta$usersdef" << 1;
    QTest::newRow("the last table") << "update meta$grantusers" << 1;
}

void TestUsersServer::failedRenameRollsEverythingBack()
{
    QFETCH(QString, needle);
    QFETCH(int, occurrence);
    World x;
    QVERIFY(x.onUser("RU3"));
    x.w->umodify->click();
    World::retype(x.w->usn, "RU5");
    {
        FailingStatement failing(needle, occurrence);
        x.w->svu->click();
    }
    QCOMPARE(x.p->prompter.texts(), QStringList{"injected failure"});
    // The editor stays open to save again; nothing of the rename is left.
    QVERIFY(x.userEditorOpen());
    QCOMPARE(x.w->svuTag, 0);
    QVERIFY(x.d->grantdb.inTransaction());
    QCOMPARE(state(x.d->grantdb), x.committed);
    QCOMPARE(state(*second(x.t)), x.committed);
    CHECK_AGREES_ON_SERVER(x.t);
    x.w->svu->click();
    QCOMPARE(x.users("meta$usersgrant", "ufname"), (QStringList{"RU1", "RU2", "RU5"}));
}

void TestUsersServer::descriptionOnly()
{
    World x;
    QVERIFY(x.onUser("RU1"));
    x.w->umodify->click();
    QCOMPARE((QStringList{x.w->fn->text(), x.w->mn->text(), x.w->ln->text()}), (QStringList{"Ann", "B", "Cole"}));
    World::retype(x.w->ln, "Roe");
    engine::StatementRecorder log;
    x.w->svu->click();
    QCOMPARE(changes(log), QStringList{"update meta$usersdef set ugdesc='Ann B Roe' where ugname='RU1'"});
    CHECK_AGREES_ON_SERVER(x.t);
}

void TestUsersServer::userGroupEditor_data()
{
    QTest::addColumn<Editor>("editor");
    QTest::addColumn<QString>("name"); // empty: not retyped
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("groups"); // user groups afterwards
    const QStringList kept{"EG:2:", "PUBLIC:2:", "UG:2:Readers"};
    QTest::newRow("add") << Editor::AddGroup << "UG2" << "Two\nlines"
                         << QStringList{"insert into meta$usersdef values('UG2','Twolines',2)"} << ""
                         << QStringList{"EG:2:", "PUBLIC:2:", "UG2:2:Twolines", "UG:2:Readers"};
    QTest::newRow("add, name taken") << Editor::AddGroup << "RU1" << "" << QStringList{} << uniqueUserText() << kept;
    QTest::newRow("rename") << Editor::ModifyGroup << "UGX" << "Readers"
                            << QStringList{"update meta$usersdef set ugdesc='Readers', ugname='UGX' where ugname=\n\"UG\"",
                                           "update meta$userslist set ufname=\"UGX\" where ufname=\n\"UG\"",
                                           "update meta$grantusers set ufname=\"UGX\" where ufname=\n\"UG\""}
                            << "" << QStringList{"EG:2:", "PUBLIC:2:", "UGX:2:Readers"};
    QTest::newRow("rename, name taken") << Editor::ModifyGroup << "PUBLIC" << "Readers" << QStringList{}
                                        << uniqueUserGroupRenameText() << kept;
    QTest::newRow("description with a quote")
        << Editor::ModifyGroup << "" << "It's ours" << QStringList{"update meta$usersdef set ugdesc='It''s ours' where ugname=\n\"UG\""}
        << "" << QStringList{"EG:2:", "PUBLIC:2:", "UG:2:It's ours"};
    // The column holds 255 bytes: two-byte letters are cut at 127.
    QTest::newRow("description of two-byte letters")
        << Editor::ModifyGroup << "" << QString(200, QChar(0xFC))
        << QStringList{"update meta$usersdef set ugdesc='" + QString(127, QChar(0xFC)) + "' where ugname=\n\"UG\""}
        << "" << QStringList{"EG:2:", "PUBLIC:2:", "UG:2:" + QString(127, QChar(0xFC))};
}

void TestUsersServer::userGroupEditor()
{
    QFETCH(Editor, editor);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QStringList, sent);
    QFETCH(QString, message);
    QFETCH(QStringList, groups);
    World x;
    QVERIFY(x.onGroup("UG"));
    (editor == Editor::AddGroup ? x.w->ugplus : x.w->ugmodify)->click();
    QVERIFY(x.w->usergp->isHidden());
    QCOMPARE(x.w->svugpTag, editor == Editor::AddGroup ? 1 : 0);
    if (!name.isEmpty())
        World::retype(x.w->ugp, name);
    x.w->udes->setPlainText(description);
    engine::StatementRecorder log;
    x.w->svugp->click();
    QCOMPARE(x.p->prompter.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(changes(log), sent);
    QCOMPARE(x.w->usergp->isHidden(), !message.isEmpty());
    QCOMPARE(x.users("meta$usersdef where usertype = 2", "ugname || ':' || usertype || ':' || coalesce(ugdesc, '')"), groups);
    if (message.isEmpty())
        QCOMPARE(x.d->usergrp.fieldByName("UGNAME").asString().trimmed(), name.isEmpty() ? QString("UG") : name);
    CHECK_AGREES_ON_SERVER(x.t);
}

void TestUsersServer::deleteUser_data()
{
    QTest::addColumn<QString>("failing"); // a statement made to fail
    QTest::newRow("deleted") << "";
    QTest::newRow("a revoke fails") << "revoke Select";
    QTest::newRow("the last delete fails") << "delete from meta$usersdef";
}

void TestUsersServer::deleteUser()
{
    QFETCH(QString, failing);
    World x;
    QVERIFY(x.onUser("RU1"));
    x.p->prompter.answer(Answer::Yes);
    engine::StatementRecorder log;
    {
        std::unique_ptr<FailingStatement> fail;
        if (!failing.isEmpty())
            fail = std::make_unique<FailingStatement>(failing);
        x.w->uminus->click();
    }
    CHECK_AGREES_ON_SERVER(x.t);
    if (!failing.isEmpty()) {
        QCOMPARE(x.p->prompter.texts(), (QStringList{deleteUserQuestion("RU1"), "injected failure"}));
        QCOMPARE(state(x.d->grantdb), x.committed);
        QCOMPARE(state(*second(x.t)), x.committed);
        QVERIFY(x.userNodes().contains("RU1"));
        return;
    }
    QCOMPARE(x.p->prompter.texts(), QStringList{"Do you really want to delete user RU1?"});
    QCOMPARE(grantsAndRevokes(log),
             (QStringList{"revoke Execute\n on \nprocedure \nP1 from RU1", "revoke Execute\n on \nprocedure \nP2 from RU1",
                          "revoke Select\n on \nT1 from RU1", "revoke Update\n(C1)\n on \nT1 from RU1",
                          "revoke Select\n on \nT2 from RU1"}));
    QCOMPARE(held(*second(x.t), "RU1"), QStringList());
    QCOMPARE(x.users("meta$usersdef", "ugname"), (QStringList{"EG", "PUBLIC", "RU2", "RU3", "UG"}));
    QCOMPARE(x.users("meta$grantusers", "ufname"), (QStringList{"RU3", "UG"}));
    QVERIFY(!x.userNodes().contains("RU1"));
    QVERIFY(!x.onUser("RU1"));
}

void TestUsersServer::deleteUserGroup_data()
{
    QTest::addColumn<Answer>("members"); // the answer to the member question
    QTest::newRow("No keeps everything") << Answer::No;
    QTest::newRow("Yes") << Answer::Yes;
}

void TestUsersServer::deleteUserGroup()
{
    QFETCH(Answer, members);
    World x;
    QVERIFY(x.onGroup("UG"));
    x.p->prompter.answer(Answer::Yes).answer(members);
    engine::StatementRecorder log;
    x.w->ugminus->click();
    QCOMPARE(x.p->prompter.texts(), (QStringList{"Do you really want to delete usergroup UG?", removeAllMembersQuestion("UG")}));
    if (members == Answer::No) {
        QCOMPARE(changes(log), QStringList());
        QCOMPARE(state(*second(x.t)), x.committed);
        CHECK_AGREES_ON_SERVER(x.t);
        return;
    }
    // RU2 had GG only through UG; RU3 keeps it directly.
    QCOMPARE(grantsAndRevokes(log),
             (QStringList{"revoke Execute\n on \nprocedure \nP1 from RU2", "revoke Execute\n on \nprocedure \nP2 from RU2",
                          "revoke Select\n on \nT1 from RU2", "revoke Update\n(C1)\n on \nT1 from RU2",
                          "revoke Select\n on \nT2 from RU2"}));
    QCOMPARE(x.users("meta$usersdef", "ugname"), (QStringList{"EG", "PUBLIC", "RU1", "RU2", "RU3"}));
    QCOMPARE(x.users("meta$userslist", "ualias"), QStringList());
    QCOMPARE(x.users("meta$grantusers", "ufname"), (QStringList{"RU1", "RU3"}));
    QVERIFY(!x.d->usergrp.locate("UGNAME", "UG"));
    CHECK_AGREES_ON_SERVER(x.t);
}

void TestUsersServer::serverUsersIntoTheEditor()
{
    World x;
    QVERIFY(x.onUser("RU1"));
    x.w->umodify->click();
    QStringList unregistered, all;
    const auto listed = [](TIBnames &dialog) {
        QStringList out;
        for (int r = 0; r < dialog.IBUsers.recordCount(); ++r)
            out << dialog.IBUsers.textAt(r, 0).trimmed();
        return out;
    };
    int shown = 0;
    const platform::ModalHook previous = platform::setModalHook([&](QDialog &d) {
        auto &dialog = static_cast<TIBnames &>(d);
        ++shown;
        unregistered = listed(dialog);
        dialog.AllUsers->click();
        all = listed(dialog);
        if (!dialog.IBUsers.locate("USER_NAME", "RU4"))
            return int(QDialog::Rejected);
        dialog.okbtn->click();
        return dialog.result();
    });
    x.w->AddIBnames->click();
    platform::setModalHook(previous);
    QCOMPARE(shown, 1);
    QCOMPARE(x.p->prompter.texts(), QStringList());
    const QStringList server = rows(*second(x.t), "select sec$user_name from sec$users where sec$user_name <> 'SYSDBA' order by 1");
    QCOMPARE(all, server);
    QStringList expected = server;
    for (const char *registered : {"RU1", "RU2", "RU3"})
        expected.removeAll(registered);
    QCOMPARE(unregistered, expected);
    QVERIFY(unregistered.contains("RU4") && unregistered.contains("RU5"));

    // Opened to modify RU1, the editor now adds RU4: the middle name the
    // server does not have stays as it was.
    QCOMPARE(x.w->svuTag, 1);
    QVERIFY(x.w->usn->isModified());
    QCOMPARE((QStringList{x.w->usn->text(), x.w->fn->text(), x.w->mn->text(), x.w->ln->text()}),
             (QStringList{"RU4", "Dan", "B", "Roe"}));
    x.w->svu->click();
    QCOMPARE(x.users("meta$usersdef where usertype = 0", "ugname || ':' || coalesce(ugdesc, '')"),
             (QStringList{"RU1:Ann B Cole", "RU2:", "RU3:", "RU4:Dan B Roe"}));
    CHECK_AGREES_ON_SERVER(x.t);
}

void TestUsersServer::serverUsersFailureShownOnce()
{
    World x;
    x.w->uplus->click();
    int shown = 0;
    const platform::ModalHook previous = platform::setModalHook([&](QDialog &) { return ++shown, int(QDialog::Rejected); });
    {
        FailingStatement failing("sec$users");
        x.w->AddIBnames->click();
    }
    platform::setModalHook(previous);
    QCOMPARE(shown, 0);
    QCOMPARE(x.p->prompter.texts(), QStringList{"injected failure"});
    QVERIFY(x.userEditorOpen());
}

void TestUsersServer::plainUserSeesHisOwnRow()
{
    World x;
    auto d = std::make_unique<TGrantData>();
    d->grantdb.setDriverName("INTRBASE");
    d->grantdb.setParams({"SERVER NAME=" + testsupport::serverPrefix() + x.t.path(), "USER NAME=RU1", "PASSWORD=pw"});
    d->grantdb.open();
    TIBnames dialog(*d);
    QVERIFY(dialog.usersview(false));
    QCOMPARE(dialog.IBUsers.recordCount(), 1);
    QCOMPARE(dialog.IBUsers.textAt(0, 0).trimmed(), QString("RU1"));
    QVERIFY(!dialog.ownlbl->isHidden());
    QCOMPARE(dialog.ownlbl->text(), ownUserOnlyText());
    QVERIFY(dialog.usersview(true)); // RU1 is registered
    QVERIFY(dialog.IBUsers.isEmpty());
    QVERIFY(!dialog.okbtn->isEnabled());
}

DUNMOOR_GUI_TEST_MAIN(TestUsersServer)
#include "tst_users_server.moc"
