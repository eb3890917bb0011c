#pragma once

// What the privilege manager's tests share: its forms in start-up order
// with scripted answers, settings that start empty, test databases behind
// aliases, and a second connection to look at what was committed.
#include "engine/Session.h"
#include "engine/Statement.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "platform/Settings.h"
#include "privileges/App.h"
#include "privileges/dspar_un.h"
#include "privileges/gdata_un.h"
#include "privileges/grant_un.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTest>
#include <memory>

namespace lvtest {

using platform::Prompter;
using platform::ScriptedPrompter;
using testsupport::TestDatabase;

inline platform::Settings settings()
{
    return platform::Settings(platform::Settings::PrivilegeManagerKey);
}

// A first start: nothing stored under the program's key.
inline void clearSettings()
{
    QFile::remove(settings().filePath());
}

using testsupport::ScopedAlias;

// Answers the login dialog as a user would: types the user name and the
// password, or cancels. Records what the dialog showed.
class LoginAnswers {
public:
    QString user;
    QString password;
    bool cancel = false;
    int shown = 0;
    QString alias;     // DBAlias as shown
    QString userShown; // nmedit as it came up

    LoginAnswers()
    {
        m_previous = platform::setModalHook([this](QDialog &d) {
            auto *login = qobject_cast<Tbasepar *>(&d);
            if (!login)
                return int(QDialog::Rejected);
            ++shown;
            login->FormShow();
            alias = login->DBAlias->text();
            userShown = login->nmedit->text();
            if (cancel)
                return int(QDialog::Rejected);
            if (!user.isNull())
                login->nmedit->setText(user);
            login->pswedit->setText(password);
            return int(QDialog::Accepted);
        });
    }
    ~LoginAnswers() { platform::setModalHook(m_previous); }

private:
    platform::ModalHook m_previous;
};

// The program as it starts, with a scripted prompter in place before any
// form exists. The window is shown (offscreen) unless told otherwise, which
// runs its first show.
class Program {
public:
    explicit Program(const QStringList &arguments = {}, bool show = true)
        : m_scoped(prompter), forms(arguments), w(*forms.main)
    {
        if (show) {
            w.show();
            if (!QTest::qWaitForWindowExposed(&w))
                qWarning("the window was not exposed");
        }
    }

    ScriptedPrompter prompter;

private:
    platform::ScopedPrompter m_scoped;

public:
    Lorvane32 forms;
    TLorvane &w;

    // Picks an alias in the connection page's list, as the user does.
    void selectAlias(const QString &name)
    {
        const QList<QTreeWidgetItem *> items = w.aliasbox->findItems(name, Qt::MatchFixedString);
        QVERIFY2(!items.isEmpty(), qPrintable(name));
        w.aliasbox->setCurrentItem(items.first());
    }
    // Clicks a page's tab as the user does.
    void clickTab(int index)
    {
        QTabBar *bar = w.GrantPages->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    // Shows the work pages as a connect with the administrative tables does.
    void showWorkPages()
    {
        for (int i = 1; i <= 4; ++i) {
            w.GrantPages->setTabVisible(i, true);
            w.GrantPages->setTabEnabled(i, true);
        }
    }
};

// Opens the data module's connection on a test database, its transaction
// started, as the connect command leaves it.
inline void attach(TGrantData &data, const TestDatabase &db, const QString &user = QStringLiteral("SYSDBA"))
{
    data.grantdb.setDriverName(QStringLiteral("INTRBASE"));
    data.grantdb.setParams({QStringLiteral("SERVER NAME=") + db.path(), QStringLiteral("USER NAME=") + user});
    data.grantdb.open();
    data.transaction.ensure();
}

// Work in the open transaction, as a page leaves it pending.
inline void pendingInsert(TGrantData &data, int value)
{
    data.transaction.run([&] { data.grantdb.executeImmediate(QStringLiteral("insert into T values (%1)").arg(value)); });
}

// Leaves a DROP of T pending that fails at commit ("object ... is in use"):
// another connection, returned, has used T.
inline std::unique_ptr<engine::Database> pendingDropInUse(const TestDatabase &db)
{
    auto other = db.connect(QStringLiteral("SYSDBA"), QStringLiteral("Other"));
    testsupport::scalar(*other, QStringLiteral("select count(*) from T"));
    GrantData->transaction.run([] { GrantData->grantdb.executeImmediate(QStringLiteral("drop table T")); });
    return other;
}

// Rows of T as a second connection sees them after the commit.
inline int committedRows(const TestDatabase &db)
{
    auto other = db.connect(QStringLiteral("SYSDBA"), QStringLiteral("Observer"));
    return testsupport::scalar(*other, QStringLiteral("select count(*) from T")).toInt();
}

} // namespace lvtest

namespace lvtest {

// The administrative tables as the creation writes them; the first `count`
// of the six.
inline void createAdminTables(engine::Database &db, int count = 6)
{
    const QStringList statements{
        "create table Meta$GrantDef(ggName varchar(31) not null unique,ggdesc varchar(255))",
        "create table Meta$GrantList(id integer not null,gfName varchar(31) not null,tvname varchar(31) not null,"
        "tvtype varchar(9) not null,tvcols varchar(31),ggtype char(7) not null,ggOption smallint default 0 not null,"
        "unique(id,gfname))",
        "create table Meta$USERSDEF(ugName varchar(31) not null unique,ugdesc varchar(255),usertype smallint default 0)",
        "create table Meta$USERSLIST(id integer not null,ufName varchar(31) not null,uAlias varchar(31) not null,"
        "unique(id,ufname))",
        "create table Meta$grantusers(id integer not null,gfName varchar(31) not null,ufName varchar(31) not null,"
        "UTYPE SMALLINT,UNIQUE (ID, GFNAME))",
        "create table meta$usersgrant(id integer not null,gfName varchar(31) not null,ufName varchar(31) not null,"
        "UNIQUE (ID, GFNAME))"};
    for (int i = 0; i < count; ++i)
        testsupport::exec(db, statements.at(i));
}

} // namespace lvtest
