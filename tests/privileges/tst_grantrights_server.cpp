// An administrator who is not SYSDBA grants on the privilege page through
// the loopback server: a grant the server refuses for want of rights, of
// whichever kind, shows the page's own message and leaves the grants
// pending before it in place; a failure that rolls back says what it lost.
#include "PrivilegesFixture.h"
#include "support/GuiTestMain.h"

#include <QCheckBox>
#include <QPushButton>

using namespace privtest;
using testsupport::exec;

namespace {

// RA2 holds Select and Insert on DEPARTMENT with the grant option, Select
// on PROJECT without it, nothing on SALARY_HISTORY or P; RC2 is a clerk.
const QStringList kServerUsers{"RA2", "RC2"};

struct AsAdministrator {
    TestDatabase t;
    std::unique_ptr<ScopedAlias> alias;
    std::unique_ptr<Program> p;
    std::unique_ptr<LoginAnswers> login;
    TLorvane *w = nullptr;

    AsAdministrator()
    {
        {
            auto db = t.connect();
            for (const char *sql : {"create table DEPARTMENT (DEPT_NO integer, BUDGET integer)",
                                    "create table SALARY_HISTORY (EMP_NO integer)", "create table PROJECT (ID integer)",
                                    "create procedure P as begin end",
                                    "grant select, insert on DEPARTMENT to RA2 with grant option", "grant select on PROJECT to RA2"})
                exec(*db, sql);
        }
        {
            auto layer = connectWithLayer(t);
            layer->execQ({"insert into meta$usersdef values ('RC2', null, 0)"});
            layer->transaction.commit();
        }
        alias = std::make_unique<ScopedAlias>("RIGHTSDB", testsupport::serverPrefix() + t.path());
        p = std::make_unique<Program>();
        w = &p->w;
        p->selectAlias("RIGHTSDB");
        login = std::make_unique<LoginAnswers>();
        login->user = "RA2";
        login->password = "pw";
        w->cntbtn->click();
        QVERIFY(GrantData->grantdb.isConnected());
        p->prompter.clear();
        p->clickTab(1);
    }

    // Grant with only Select ticked (or Execute on a procedure).
    void grantSelect(const QString &node)
    {
        select(w->Metatree, node);
        select(w->usertree, "Users/RC2");
        DialogAnswers dialog;
        dialog.prepare = [](QDialog &d) {
            if (auto *g = qobject_cast<Tgrantmes *>(&d))
                for (QCheckBox *b : {g->inscheck, g->delcheck, g->updcheck})
                    b->setChecked(false);
        };
        w->Grantbtn->click();
    }
};

} // namespace

class TestGrantRightsServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { clearSettings(); }
    void refusalsKeepThePendingGrants();
    void failureSaysWhatItLost();

private:
    std::unique_ptr<TestDatabase> m_adminDb;
    std::unique_ptr<engine::Database> m_admin;
    void dropUsers()
    {
        for (const QString &u : kServerUsers) {
            try {
                exec(*m_admin, "drop user " + u);
            } catch (const engine::Error &) {
            }
        }
    }
};

void TestGrantRightsServer::initTestCase()
{
    m_adminDb = std::make_unique<TestDatabase>();
    m_admin = m_adminDb->connectServer("SYSDBA", testsupport::serverPassword(), "Admin");
    dropUsers();
    for (const QString &u : kServerUsers)
        exec(*m_admin, QString("create user %1 password 'pw'").arg(u));
}

void TestGrantRightsServer::cleanupTestCase()
{
    dropUsers();
    m_admin.reset();
    m_adminDb.reset();
}

void TestGrantRightsServer::refusalsKeepThePendingGrants()
{
    AsAdministrator a;
    engine::StatementRecorder log;
    a.grantSelect("Tables/DEPARTMENT");
    // Nothing held, held without the grant option, a procedure not held.
    a.grantSelect("Tables/SALARY_HISTORY");
    a.grantSelect("Tables/PROJECT");
    QCOMPARE(a.p->prompter.texts(), (QStringList{"You have not enough rights for granting select privilege on SALARY_HISTORY",
                                                 "You have not enough rights for granting select privilege on PROJECT"}));
    QCOMPARE(held(GrantData->grantdb, "RC2"), QStringList{"DEPARTMENT|S|0||RA2"});
    QCOMPARE(GrantData->transaction.pending(), QStringList{"grant select on DEPARTMENT to RC2"});
    QVERIFY(a.w->isEnabled());
    // Execute commits at once, with the Select pending before it.
    a.grantSelect("Stored Procedures/P");
    QCOMPARE(a.p->prompter.texts().last(), QString("You have not enough rights for granting execute privilege on procedure P"));
    QCOMPARE(rightsStatements(log), (QStringList{"grant select on DEPARTMENT to RC2", "grant select on SALARY_HISTORY to RC2",
                                                 "grant select on PROJECT to RC2", "Grant\nExecute on procedure P to RC2"}));
    auto second = a.t.connectServer("SYSDBA", testsupport::serverPassword(), "Second");
    QCOMPARE(held(*second, "RC2"), QStringList{"DEPARTMENT|S|0||RA2"});
    QVERIFY(a.w->isEnabled());
}

void TestGrantRightsServer::failureSaysWhatItLost()
{
    AsAdministrator a;
    a.grantSelect("Tables/DEPARTMENT");
    {
        FailingStatement failing("grant select on PROJECT");
        a.grantSelect("Tables/PROJECT");
    }
    QCOMPARE(a.p->prompter.texts(),
             QStringList{"injected failure" + engine::KeptTransaction::lostWorkText({"grant select on DEPARTMENT to RC2"})});
    QCOMPARE(held(GrantData->grantdb, "RC2"), QStringList());
    QVERIFY(GrantData->transaction.pending().isEmpty());
    QVERIFY(a.w->isEnabled());
}

DUNMOOR_GUI_TEST_MAIN(TestGrantRightsServer)
#include "tst_grantrights_server.moc"
