#pragma once

// What the privilege manager's tests share: the data module on a fresh test
// database, the agreement conditions of the administrative layer, a
// recording progress display and injected statement failures; the forms in
// start-up order with scripted answers, settings that start empty, test
// databases behind aliases, and a second connection to look at what was
// committed.
#include "engine/Error.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "engine/StatementLog.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "platform/Settings.h"
#include "privileges/AdminTables.h"
#include "privileges/App.h"
#include "privileges/dspar_un.h"
#include "privileges/GrantGroups.h"
#include "privileges/gdata_un.h"
#include "privileges/gmes2.h"
#include "privileges/gmes_un.h"
#include "privileges/grant_un.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

namespace privtest {

using platform::Prompter;
using platform::ScriptedPrompter;
using testsupport::TestDatabase;

// Opens the data module's connection on a test database, its transaction
// started, as the connect command leaves it.
inline void attach(TGrantData &data, const TestDatabase &db, const QString &user = QStringLiteral("SYSDBA"))
{
    data.grantdb.setDriverName(QStringLiteral("INTRBASE"));
    data.grantdb.setParams({QStringLiteral("SERVER NAME=") + db.path(), QStringLiteral("USER NAME=") + user});
    data.grantdb.open();
    data.transaction.ensure();
}

// The data module connected to a test database as a user, its transaction open.
inline std::unique_ptr<TGrantData> connectGrantData(const testsupport::TestDatabase &t,
                                                    const QString &user = QStringLiteral("SYSDBA"))
{
    auto d = std::make_unique<TGrantData>();
    attach(*d, t, user);
    return d;
}

// The data module on a database whose administrative layer it has just
// created (and imported into), everything committed.
inline std::unique_ptr<TGrantData> connectWithLayer(const testsupport::TestDatabase &t)
{
    auto d = connectGrantData(t);
    privileges::NoProgress quiet;
    privileges::AdminTables(*d, quiet).create();
    return d;
}

// Objects of every kind, granted by SYSDBA and by U1, to users, PUBLIC, a
// view, a trigger, a procedure and a role.
inline void makeGrants(const testsupport::TestDatabase &t)
{
    auto db = t.connect();
    for (const char *sql : {
             "create table T1 (C1 integer, C2 integer)",
             "create table T2 (C1 integer)",
             "create view V1 as select C1 from T1",
             "create procedure P1 returns (R integer) as begin R = 1; suspend; end",
             "create trigger TR1 for T2 before insert as begin end",
             "create function F1 returns integer as begin return 1; end",
             "create role R1",
             "grant create table to U1",
             "grant select on T1 to U1 with grant option",
             "grant update(C1) on T1 to U1",
             "grant insert on T2 to PUBLIC",
             "grant execute on procedure P1 to U2",
             "grant select on T1 to U2",
             "grant select on V1 to U2",
             "grant select on T1 to view V1",
             "grant select on T2 to trigger TR1",
             "grant select on T1 to procedure P1",
             "grant select on T1 to R1",
             "grant R1 to U3",
             "grant execute on function F1 to U2",
         })
        testsupport::exec(*db, QString::fromLatin1(sql));
    auto u1 = t.connect("U1", "U1");
    // The same privilege from a second grantor, and U1's own table.
    for (const char *sql : {"grant select on T1 to U2", "create table T3 (C1 integer)", "grant select on T3 to U2"})
        testsupport::exec(*u1, QString::fromLatin1(sql));
}

// Each condition is one query that returns no rows while the layer agrees
// with the server. The fifth reads what grantor granted; the last two hold
// the tables to themselves: members are users, and no row names a grant
// group, user or user group that is gone.
inline QStringList agreementQueries(const QString &grantor)
{
    const QString letter = QStringLiteral("case k.ggtype when 'Execute' then 'X' else substring(k.ggtype from 1 for 1) end");
    const QString expansion = QStringLiteral(
        "select g.gfname, g.ufname from meta$grantusers g where not (coalesce(g.utype, 0) = 2 and g.ufname <> 'PUBLIC') "
        "union select g.gfname, l.ualias from meta$grantusers g join meta$userslist l on l.ufname = g.ufname "
        "where coalesce(g.utype, 0) = 2 and g.ufname <> 'PUBLIC'");
    return {
        // 1. expansion, nothing missing and nothing extra
        QStringLiteral("with e (gfname, ufname) as (%1) "
                       "select 'missing', e.gfname, e.ufname from e where not exists (select 1 from meta$usersgrant u "
                       "where u.gfname = e.gfname and u.ufname = e.ufname) "
                       "union all select 'extra', u.gfname, u.ufname from meta$usersgrant u where not exists "
                       "(select 1 from e where e.gfname = u.gfname and e.ufname = u.ufname)")
            .arg(expansion),
        // 2. every group privilege held by every user the group reaches
        QStringLiteral("select u.gfname, u.ufname, k.tvname, k.tvcols, k.ggtype from meta$usersgrant u "
                       "join meta$grantlist k on k.gfname = u.gfname where not exists (select 1 from rdb$user_privileges p "
                       "where p.rdb$user = u.ufname and p.rdb$user_type = 8 and p.rdb$relation_name = k.tvname "
                       "and p.rdb$privilege = %1 and ((coalesce(k.tvcols, '') = '' and p.rdb$field_name is null) "
                       "or p.rdb$field_name = k.tvcols) and p.rdb$grant_option >= k.ggoption) "
                       "and not exists (select 1 from rdb$relations r where r.rdb$relation_name = k.tvname and r.rdb$owner_name = u.ufname) "
                       "and not exists (select 1 from rdb$procedures r where r.rdb$procedure_name = k.tvname and r.rdb$owner_name = u.ufname)")
            .arg(letter),
        // 3. well-formed rows
        QStringLiteral("select k.gfname, k.tvname, k.tvtype, k.ggtype from meta$grantlist k where "
                       "k.ggtype not in ('Select','Insert','Delete','Update','Execute') "
                       "or k.tvtype not in ('Table','View','Procedure') "
                       "or (k.tvtype in ('Table','View') and not exists (select 1 from rdb$relations r "
                       "where r.rdb$relation_name = k.tvname and coalesce(r.rdb$system_flag, 0) = 0)) "
                       "or (k.tvtype = 'Procedure' and not exists (select 1 from rdb$procedures r "
                       "where r.rdb$procedure_name = k.tvname and r.rdb$package_name is null)) "
                       "or (k.ggtype = 'Execute' and k.tvtype <> 'Procedure') or (k.ggtype <> 'Execute' and k.tvtype = 'Procedure')"),
        // 4. no privilege twice in a group, NULL and empty column alike
        QStringLiteral("select gfname, tvname, coalesce(tvcols, ''), ggtype from meta$grantlist "
                       "group by 1, 2, 3, 4 having count(*) > 1"),
        // 5. nothing the grantor gave to a user or PUBLIC outside the groups
        QStringLiteral("select p.rdb$user, p.rdb$relation_name, p.rdb$privilege, p.rdb$field_name from rdb$user_privileges p "
                       "where p.rdb$grantor = '%1' and p.rdb$user_type = 8 and p.rdb$privilege in ('S','I','D','U','X') "
                       "and p.rdb$relation_name not in ('META$GRANTDEF','META$GRANTLIST','META$GRANTUSERS','META$USERSDEF',"
                       "'META$USERSLIST','META$USERSGRANT') "
                       "and ((p.rdb$object_type = 0 and exists (select 1 from rdb$relations r where r.rdb$relation_name = p.rdb$relation_name "
                       "and coalesce(r.rdb$system_flag, 0) = 0 and r.rdb$owner_name <> p.rdb$user)) "
                       "or (p.rdb$object_type = 5 and exists (select 1 from rdb$procedures r where r.rdb$procedure_name = p.rdb$relation_name "
                       "and r.rdb$package_name is null and r.rdb$owner_name <> p.rdb$user))) "
                       "and not exists (select 1 from meta$usersgrant u join meta$grantlist k on k.gfname = u.gfname "
                       "where u.ufname = p.rdb$user and k.tvname = p.rdb$relation_name and p.rdb$privilege = %2 "
                       "and coalesce(k.tvcols, '') = coalesce(p.rdb$field_name, ''))")
            .arg(grantor, letter),
        // 6. every member a registered user, listed once in his user group
        QStringLiteral("select 'not a user', l.ufname, l.ualias from meta$userslist l where not exists (select 1 from "
                       "meta$usersdef d where d.ugname = l.ualias and coalesce(d.usertype, 0) = 0 and d.ugname <> 'PUBLIC') "
                       "union all select 'twice', ufname, ualias from meta$userslist group by ufname, ualias having count(*) > 1"),
        // 7. every row names a grant group, user or user group that exists
        QStringLiteral("select 'META$GRANTLIST', gfname from meta$grantlist k where not exists "
                       "(select 1 from meta$grantdef d where d.ggname = k.gfname) "
                       "union all select 'META$GRANTUSERS', g.gfname || ':' || g.ufname from meta$grantusers g where not exists "
                       "(select 1 from meta$grantdef d where d.ggname = g.gfname) or not exists "
                       "(select 1 from meta$usersdef u where u.ugname = g.ufname) "
                       "union all select 'META$USERSGRANT', g.gfname || ':' || g.ufname from meta$usersgrant g where not exists "
                       "(select 1 from meta$grantdef d where d.ggname = g.gfname) or not exists "
                       "(select 1 from meta$usersdef u where u.ugname = g.ufname) "
                       "union all select 'META$USERSLIST', l.ufname from meta$userslist l where not exists "
                       "(select 1 from meta$usersdef u where u.ugname = l.ufname and u.usertype = 2 and u.ugname <> 'PUBLIC')"),
    };
}

// The rows breaking the conditions, as "condition N: values"; empty
// when the layer agrees or does not exist. Runs in the open transaction.
inline QStringList disagreements(engine::Database &db, const QString &grantor = QStringLiteral("SYSDBA"))
{
    if (testsupport::scalar(db, QStringLiteral("select count(*) from rdb$relations where rdb$relation_name = 'META$GRANTDEF'")).toInt() == 0)
        return {};
    QStringList out;
    const QStringList queries = agreementQueries(grantor);
    for (int i = 0; i < queries.size(); ++i) {
        engine::Statement s(&db);
        s.setSql(queries[i]);
        s.open();
        for (qsizetype r = 0; r < s.rows().rowCount(); ++r) {
            QStringList values;
            for (int c = 0; c < s.rows().columnCount(); ++c)
                values << s.rows().text(r, c).trimmed();
            out << QStringLiteral("condition %1: %2").arg(i + 1).arg(values.join(QLatin1Char(',')));
        }
    }
    return out;
}

// The same from a connection of its own, which sees only committed work.
inline QStringList committedDisagreements(const testsupport::TestDatabase &t, const QString &grantor = QStringLiteral("SYSDBA"))
{
    auto db = t.connect(grantor, QStringLiteral("Second"));
    return disagreements(*db, grantor);
}

// The grant and revoke texts sent, in order.
inline QStringList rightsStatements(const engine::StatementRecorder &log)
{
    QStringList out;
    for (const QString &s : log.statements())
        if (s.startsWith(QLatin1String("grant"), Qt::CaseInsensitive) || s.startsWith(QLatin1String("Revoke")))
            out << s;
    return out;
}

// The privileges a grantee holds from others: object, letter, option,
// column, grantor.
inline QStringList held(engine::Database &db, const QString &grantee)
{
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select rdb$relation_name, rdb$privilege, rdb$grant_option, coalesce(rdb$field_name, ''), "
                            "coalesce(rdb$grantor, '') from rdb$user_privileges where rdb$user = '%1' and "
                            "rdb$privilege in ('S','I','D','U','X') and coalesce(rdb$grantor, '') <> rdb$user order by 1, 2, 4, 5")
                 .arg(grantee));
    s.open();
    QStringList out;
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r) {
        QStringList v;
        for (int c = 0; c < s.rows().columnCount(); ++c)
            v << s.rows().text(r, c).trimmed();
        out << v.join(QLatin1Char('|'));
    }
    return out;
}

inline QStringList committedHeld(const TestDatabase &t, const QString &grantee)
{
    auto second = t.connect(QStringLiteral("SYSDBA"), QStringLiteral("Second"));
    return held(*second, grantee);
}

// Records what an operation shows in the status panel and progress bar.
class RecordingProgress : public privileges::OperationProgress {
public:
    QStringList statuses;
    int maximum = -1;
    int steps = 0;
    int resets = 0;
    void showStatus(const QString &text) override { statuses << text; }
    void startProgress(int max) override { maximum = max; }
    void stepProgress() override { ++steps; }
    void resetProgress() override { ++resets; }
};

// Makes the statement whose text contains needle fail (the occurrence-th
// one, counted from 1) before it reaches the server, and records every text.
class FailingStatement {
public:
    FailingStatement(QString needle, int occurrence = 1) : m_needle(std::move(needle)), m_left(occurrence)
    {
        m_previous = engine::StatementLog::setHook([this](const QString &, const QString &sql) {
            sent << sql;
            if (sql.contains(m_needle) && --m_left == 0)
                throw engine::Error(QStringLiteral("injected failure"));
        });
    }
    ~FailingStatement() { engine::StatementLog::setHook(m_previous); }
    QStringList sent;

private:
    QString m_needle;
    int m_left;
    engine::StatementLog::Hook m_previous;
};

// Rows of a statement as "a|b|c" texts, values trimmed, NULL as "<null>".
inline QStringList rows(engine::Database &db, const QString &sql)
{
    engine::Statement s(&db);
    s.setSql(sql);
    s.open();
    QStringList out;
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r) {
        QStringList v;
        for (int c = 0; c < s.rows().columnCount(); ++c)
            v << (s.rows().isNull(r, c) ? QStringLiteral("<null>") : s.rows().text(r, c).trimmed());
        out << v.join(QLatin1Char('|'));
    }
    return out;
}

// A data set's field on every row it shows, values trimmed.
inline QStringList column(engine::DataSet &ds, const char *field)
{
    QStringList out;
    for (int i = 0; i < ds.recordCount(); ++i)
        out << ds.textAt(i, ds.fieldIndex(QLatin1String(field))).trimmed();
    return out;
}

// The number of rows a statement returns, read on db.
inline int count(engine::Database &db, const QString &sql)
{
    return testsupport::scalar(db, sql).toInt();
}

// --- The forms in start-up order with scripted answers.

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

// The window connected, through an alias and the login dialog, to a
// database make prepared; a database without the administrative layer gets
// it created and imported by the connect.
struct ConnectedWindow {
    TestDatabase t;
    std::unique_ptr<ScopedAlias> alias;
    std::unique_ptr<Program> p;
    std::unique_ptr<LoginAnswers> login;
    TLorvane *w = nullptr;
    QStringList connectTexts; // what the connect showed
    explicit ConnectedWindow(void (*make)(const TestDatabase &) = makeGrants, int dialect = 1) : t(dialect)
    {
        make(t);
        alias = std::make_unique<ScopedAlias>(QStringLiteral("GRANTDB"), t.path(), QStringLiteral("SYSDBA"));
        p = std::make_unique<Program>();
        w = &p->w;
        p->selectAlias(QStringLiteral("GRANTDB"));
        login = std::make_unique<LoginAnswers>();
        p->prompter.answer(Prompter::Answer::Yes); // to create the layer, where it is missing
        p->w.cntbtn->click();
        connectTexts = p->prompter.texts();
        p->prompter.clear();
    }
};

// Selects the node at a path ("Tables/T1/C1"); an empty path selects nothing.
inline void select(QTreeWidget *tree, const QString &path)
{
    if (path.isEmpty())
        return;
    const QStringList parts = path.split('/');
    QTreeWidgetItem *node = nullptr;
    for (int i = 0; i < tree->topLevelItemCount() && !node; ++i)
        if (tree->topLevelItem(i)->text(0) == parts.first())
            node = tree->topLevelItem(i);
    for (int k = 1; node && k < parts.size(); ++k) {
        node->setExpanded(true); // as the user opens it: a table's columns come now
        QTreeWidgetItem *child = nullptr;
        for (int i = 0; i < node->childCount() && !child; ++i)
            if (node->child(i)->text(0) == parts[k])
                child = node->child(i);
        node = child;
    }
    QVERIFY2(node, qPrintable(path));
    tree->setCurrentItem(node);
}

// Answers the grant or revoke dialog as a user: prepare changes the boxes,
// then OK is pressed.
class DialogAnswers {
public:
    std::function<void(QDialog &)> prepare;
    int shown = 0;
    QStringList captions;
    DialogAnswers()
    {
        m_previous = platform::setModalHook([this](QDialog &d) {
            ++shown;
            captions << d.windowTitle();
            if (prepare)
                prepare(d);
            if (auto *g = qobject_cast<Tgrantmes *>(&d))
                g->okbtnClick();
            else if (auto *r = qobject_cast<Tgrantmes2 *>(&d))
                r->okbtnClick();
            return d.result();
        });
    }
    ~DialogAnswers() { platform::setModalHook(m_previous); }

private:
    platform::ModalHook m_previous;
};

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

// The administrative tables as the creation writes them, without their
// grants to PUBLIC; the first `count` of the six.
inline void createAdminTables(engine::Database &db, int count = 6)
{
    for (int i = 0; i < count; ++i)
        testsupport::exec(db, privileges::adminTableDefinitions().at(i).create);
}

// The conditions hold in the open transaction and, from a second
// connection, for what is committed.
#define CHECK_AGREES(d, t)                                                                                             \
    do {                                                                                                               \
        QCOMPARE(disagreements((d)->grantdb), QStringList());                                                          \
        QCOMPARE(committedDisagreements(t), QStringList());                                                            \
    } while (0)

// T1 (C1, C2, C3), view V1 and procedures P1, P2 by SYSDBA; T2 and P3 owned
// by U3. Group GG reaches U1 and U3 directly and U2 through user group UG;
// EMPTYG reaches nobody. Everything committed; the group list open on GG.
inline std::unique_ptr<TGrantData> pageDatabase(const testsupport::TestDatabase &t)
{
    {
        auto db = t.connect();
        for (const char *sql : {"create table T1 (C1 integer, C2 integer, C3 integer)", "create view V1 as select C1 from T1",
                                "create procedure P1 as begin end", "create procedure P2 as begin end",
                                "grant create table to U3", "grant create procedure to U3"})
            testsupport::exec(*db, QString::fromLatin1(sql));
    }
    {
        auto u3 = t.connect("U3", "U3");
        testsupport::exec(*u3, "create table T2 (C1 integer)");
        testsupport::exec(*u3, "create procedure P3 as begin end");
    }
    auto d = connectWithLayer(t);
    for (const char *sql : {"insert into meta$usersdef values ('U1', null, 0)", "insert into meta$usersdef values ('U2', null, 0)",
                            "insert into meta$usersdef values ('U3', null, 0)", "insert into meta$usersdef values ('UG', null, 2)",
                            "insert into meta$userslist values (1, 'UG', 'U2')", "insert into meta$grantdef values ('GG', null)",
                            "insert into meta$grantdef values ('EMPTYG', null)",
                            "insert into meta$grantusers values (1, 'GG', 'U1', 0)",
                            "insert into meta$grantusers values (2, 'GG', 'UG', 2)",
                            "insert into meta$grantusers values (3, 'GG', 'U3', 0)",
                            "insert into meta$usersgrant values (1, 'GG', 'U1')", "insert into meta$usersgrant values (2, 'GG', 'U2')",
                            "insert into meta$usersgrant values (3, 'GG', 'U3')"})
        testsupport::exec(d->grantdb, QString::fromLatin1(sql));
    d->transaction.commit();
    d->MetaGrantDef.open();
    d->MetaGrantlist.open();
    d->MetaGrantDef.locate("GGNAME", "GG");
    return d;
}

// One test's database, data module and page operations.
struct Page {
    testsupport::TestDatabase t;
    std::unique_ptr<TGrantData> d = pageDatabase(t);
    RecordingProgress progress;
    privileges::GrantGroups groups{*d, progress};
};

// The statements that change something, in order.
inline QStringList changes(const engine::StatementRecorder &log)
{
    QStringList out;
    for (const QString &s : log.statements())
        if (!s.startsWith("select", Qt::CaseInsensitive))
            out << s;
    return out;
}

// The layer's rows and what SYSDBA granted to users, as one list.
inline QStringList state(engine::Database &db)
{
    return rows(db, "select 'grp', ggname, coalesce(ggdesc, '<null>') from meta$grantdef union all "
                    "select 'gu', gfname, ufname || ':' || coalesce(utype, -1) from meta$grantusers union all "
                    "select 'ug', gfname, ufname from meta$usersgrant union all "
                    "select 'gl', gfname, id || ':' || tvname || ':' || tvtype || ':' || coalesce(tvcols, '<null>') || ':' "
                    "|| trim(ggtype) || ':' || ggoption from meta$grantlist union all "
                    "select 'priv', rdb$user, trim(rdb$relation_name) || ':' || trim(rdb$privilege) || ':' || "
                    "coalesce(trim(rdb$field_name), '') || ':' || rdb$grant_option from rdb$user_privileges "
                    "where rdb$grantor = 'SYSDBA' and rdb$user <> 'SYSDBA' and rdb$user_type = 8 and rdb$privilege in ('S','I','D','U','X') "
                    "and rdb$relation_name not starting with 'META$' and rdb$relation_name not starting with 'RDB$' "
                    "and rdb$relation_name not starting with 'MON$' and rdb$relation_name not starting with 'SEC$' "
                    "order by 1, 2, 3");
}

inline QStringList committedState(const testsupport::TestDatabase &t)
{
    auto second = t.connect("SYSDBA", "Second");
    return state(*second);
}

// The message work raised while the occurrence-th statement containing
// needle failed; empty when it raised nothing.
template<typename F>
QString failureOf(const QString &needle, int occurrence, F &&work)
{
    FailingStatement failing(needle, occurrence);
    try {
        work();
    } catch (const engine::Error &e) {
        return e.message();
    }
    return QString();
}

// A failure's message names the work pending before it that it rolled
// back: the message, then each of those changes (the work of the failing
// operation itself may follow them).
inline bool namesLostWork(const QString &error, const QString &message, const QStringList &lost)
{
    if (!error.startsWith(message + engine::KeptTransaction::lostWorkText({}) + "\r\n"))
        return false;
    for (const QString &change : lost.mid(0, 10))
        if (!error.contains("\r\n" + change))
            return false;
    return !lost.isEmpty();
}

// After a failure nothing is pending and the next transaction is open.
#define CHECK_LAST_COMMIT(d, t, committed)                                                                             \
    do {                                                                                                               \
        QVERIFY((d)->grantdb.inTransaction());                                                                         \
        QCOMPARE(state((d)->grantdb), committed);                                                                      \
        QCOMPARE(committedState(t), committed);                                                                        \
        CHECK_AGREES(d, t);                                                                                            \
    } while (0)

} // namespace privtest
