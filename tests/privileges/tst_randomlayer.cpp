// Long random runs of the grant-group, membership and user operations on a real
// database, questions answered at random and statement failures injected
// now and then: after every commit the five agreement conditions hold, and
// after every failure the database is as it was at the last commit.
#include "PrivilegesFixture.h"
#include "privileges/GroupAssignments.h"
#include "privileges/GroupRevokes.h"
#include "privileges/LayerChecks.h"
#include "privileges/UserGroupMembers.h"
#include "privileges/UserRegistry.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

using namespace privtest;
using namespace privileges;

namespace {

struct Run {
    Page page;
    GroupRemovals removals{*page.d, page.progress};
    UserGroupMembers members{*page.d, page.progress};
    UserRegistry registry{*page.d, page.progress};
    GroupAssignments assignments{*page.d, page.progress};
    std::unique_ptr<engine::Database> second;
    QRandomGenerator random;
    QStringList done; // the operations so far, for the message of a failure
    QStringList committed;
    QString current; // the running operation

    explicit Run(quint32 seed) : random(seed)
    {
        TGrantData &d = *page.d;
        // A second user group holding a second grant group, and PUBLIC.
        for (const char *sql : {"insert into meta$usersdef values ('U4', null, 0)",
                                "insert into meta$usersdef values ('UG2', null, 2)",
                                "insert into meta$userslist values (1, 'UG2', 'U4')",
                                "insert into meta$grantdef values ('G2', null)",
                                "insert into meta$grantusers values (4, 'G2', 'UG2', 2)",
                                "insert into meta$grantusers values (5, 'G2', 'PUBLIC', 2)",
                                "insert into meta$usersgrant values (1, 'G2', 'U4')",
                                "insert into meta$usersgrant values (2, 'G2', 'PUBLIC')"})
            d.execQ({QString::fromLatin1(sql)});
        d.transaction.commit();
        d.MetaGrantDef.refresh();
        d.usersdef.open();
        d.usergrp.open();
        d.usersgrp.open();
        d.metagrp.open();
        d.metasgrp.open();
        second = page.t.connect("SYSDBA", "Second");
        committed = state(*second);
    }

    int pick(int n) { return int(random.bounded(quint32(n))); }
    bool yes() { return random.bounded(2u) == 1; }
    template<typename T>
    const T &any(const QVector<T> &items) { return items[pick(int(items.size()))]; }

    // Moves a data set to a random row; false when it has none.
    bool anyRow(engine::DataSet &ds)
    {
        if (!ds.isActive() || ds.isEmpty())
            return false;
        return ds.moveTo(pick(ds.recordCount()));
    }
    QString anyMember()
    {
        return anyRow(page.d->usersgrp) ? page.d->usersgrp.fieldByName("UALIAS").asString().trimmed() : QString();
    }

    // A random current grant group and user group.
    void navigate()
    {
        // A list a failed reopen left closed is opened again, as the
        // page's refresh would.
        for (engine::DataSet *ds : std::initializer_list<engine::DataSet *>{
                 &page.d->MetaGrantDef, &page.d->MetaGrantlist, &page.d->usergrp, &page.d->usersgrp, &page.d->usersdef,
                 &page.d->metagrp, &page.d->metasgrp})
            if (!ds->isActive())
                ds->open();
        anyRow(page.d->MetaGrantDef);
        anyRow(page.d->usergrp);
        anyRow(page.d->metagrp);
        page.d->MetaGrantlist.refresh();
    }

    // One random operation; returns its name.
    QString step(const TreeNodes &tree)
    {
        TGrantData &d = *page.d;
        GrantGroups &groups = page.groups;
        // Adding is drawn more often than the rest, so there is more to
        // take away again, and committing too, so the long operations that
        // a failure undoes often still end in committed work.
        const int drawn = pick(38);
        const int kind = drawn < 30 ? drawn : drawn < 36 ? (drawn - 30) % 3 : 14;
        const QVector<QString> users{"U1", "U2", "U3", "U4", "U5", "U6"};
        const QVector<QString> userGroups{"UG", "UG2", "UG3"};
        current = QStringLiteral("operation %1").arg(kind);
        switch (kind) {
        case 0: {
            GrantChoice c;
            c.object = any(QVector<QString>{"T1", "V1", "T2"});
            c.select = yes();
            c.insert = yes();
            c.remove = yes();
            c.update = yes();
            c.selectOption = yes();
            c.updateOption = yes();
            c.allColumns = c.object != "T1" || yes();
            c.updateColumns = c.allColumns ? QStringList{"C1"} : QStringList{"C1", "C2", "C3"}.mid(pick(3), 1);
            groups.addGroupGrants(c.object, c.object == "V1" ? "View" : "Table", groupGrantCalls(c));
            return "add " + c.object;
        }
        case 1: {
            const QString p = any(QVector<QString>{"P1", "P2", "P3"});
            groups.addProcedure(p);
            return "add " + p;
        }
        case 2: {
            const TreeNode &root = any(tree);
            groups.FillGlist(root);
            return "fill " + root.text;
        }
        case 3:
        case 4:
            if (anyRow(d.MetaGrantlist) && yes())
                removals.removeRow();
            return "remove row";
        case 5:
            if (yes())
                removals.removeAll();
            return "remove all";
        case 6:
            if (anyRow(d.MetaGrantlist))
                removals.switchOption();
            return "switch option";
        case 7: {
            const QString name = any(QVector<QString>{"G3", "G4", "GG", "G2"});
            groups.saveGroup(GroupEdit::NewGroup, name, {"random"});
            return "new " + name;
        }
        case 8: {
            const QString name = any(QVector<QString>{"G3", "G4", "GG", "G2"});
            groups.saveGroup(GroupEdit::Rename, name, {});
            return "rename to " + name;
        }
        case 9:
            // Answered No, the second question leaves the privileges
            // granted and unregistered by design: only Yes keeps the fifth
            // condition.
            if (yes() && yes())
                groups.deleteGroup(true);
            return "delete group";
        case 10:
        case 11: {
            const QString user = any(QVector<QString>{"U1", "U2", "U3", "U4"});
            if (!d.usersgrp.locate("UALIAS", user))
                members.addMember(user);
            return "join " + user;
        }
        case 12: {
            const QString user = anyMember();
            if (!user.isEmpty() && yes())
                members.removeMember(user);
            return "leave " + user;
        }
        case 13:
            if (yes())
                members.removeAllMembers();
            return "leave all";
        case 18: {
            const QString name = any(users);
            registry.saveUser({true, QString(), name, true, "random  "});
            return "add user " + name;
        }
        case 19: {
            const QString from = any(users), to = any(users);
            registry.saveUser({false, from, to, true, "  "});
            return "rename user " + from + " to " + to;
        }
        case 20: {
            const QString name = any(users);
            if (yes())
                registry.deleteUser(name);
            return "delete user " + name;
        }
        case 21: {
            const QString name = any(userGroups);
            registry.saveUserGroup({true, QString(), name, true, "random"});
            return "add user group " + name;
        }
        case 22: {
            const QString to = any(userGroups);
            // The current user group, as navigate() chose it.
            const QString from = d.usergrp.isEmpty() ? QString() : d.usergrp.fieldByName("UGNAME").asString().trimmed();
            if (!from.isEmpty())
                registry.saveUserGroup({false, from, to, true, QString()});
            return "rename user group " + from + " to " + to;
        }
        case 23:
            if (!d.usergrp.isEmpty() && yes())
                registry.deleteCurrentUserGroup();
            return "delete user group";
        case 24:
        case 25: {
            // Whatever the candidate list shows now: a user group, PUBLIC,
            // a user, or one that holds the group already.
            anyRow(d.usersdef);
            const Candidate holder = assignments.currentCandidate();
            assignments.assign(holder, assignments.currentGroup());
            return "assign to " + holder.name;
        }
        case 26:
            if (yes())
                assignments.assignAll(assignments.currentGroup());
            return "assign to all";
        case 27:
        case 28: {
            const QString holder = anyRow(d.metasgrp) ? assignments.currentHolder() : QString();
            if (!holder.isEmpty() && yes())
                assignments.remove(assignments.currentGroup(), holder);
            return "take from " + holder;
        }
        case 29:
            if (yes())
                assignments.removeAll(assignments.currentGroup());
            return "take from all";
        case 14:
            switch (pick(3)) {
            case 0: groups.commit(); break;
            case 1: members.commit(); break;
            default: assignments.commit(); break;
            }
            return "commit";
        case 15:
            switch (pick(3)) {
            case 0: groups.rollback(); break;
            case 1: members.rollback(); break;
            default: assignments.rollback(); break;
            }
            return "rollback";
        case 16:
            members.addAllMembers();
            return "join all";
        default:
            groups.moveAll(tree);
            return "fill all";
        }
    }
};

} // namespace

class TestRandomLayer : public QObject {
    Q_OBJECT
private slots:
    void operationsKeepTheLayerAgreeing_data();
    void operationsKeepTheLayerAgreeing();
};

void TestRandomLayer::operationsKeepTheLayerAgreeing_data()
{
    // Two runs that revoke a lot; LAYER_SEED runs another one instead.
    QTest::addColumn<quint32>("seed");
    if (qEnvironmentVariableIsSet("LAYER_SEED")) {
        QTest::newRow("given") << quint32(qEnvironmentVariableIntValue("LAYER_SEED"));
        return;
    }
    QTest::newRow("seed 14") << 14u;
    QTest::newRow("seed 5") << 5u;
}

void TestRandomLayer::operationsKeepTheLayerAgreeing()
{
    QFETCH(quint32, seed);
    Run run(seed);
    TGrantData &d = *run.page.d;
    NoProgress quiet;
    const TreeNodes tree = FillMetaTree(d, quiet).metatree;
    int failures = 0, commits = 0, injected = 0;
    engine::StatementRecorder log;
    // LAYER_STEPS makes a longer run, to be timed by hand.
    const int steps = qEnvironmentVariableIsSet("LAYER_STEPS") ? qEnvironmentVariableIntValue("LAYER_STEPS") : 300;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < steps; ++i) {
        run.navigate();
        const bool inject = run.random.bounded(10u) == 0;
        injected += inject;
        const QStringList before = state(d.grantdb);
        QString name;
        QString error;
        bool refusedUnsent = false;
        {
            std::unique_ptr<FailingStatement> failing;
            if (inject)
                failing = std::make_unique<FailingStatement>(QString(), 1 + run.pick(6));
            try {
                name = run.step(tree);
            } catch (const engine::Error &e) {
                error = e.message();
                name = run.current;
                refusedUnsent = dynamic_cast<const LayerRefusal *>(&e) || dynamic_cast<const RegistryRefusal *>(&e);
            }
        }
        run.done << QString("%1 %2%3").arg(i).arg(name, inject ? " (injected)" : "");
        const QString trail = QString("seed %1: %2").arg(seed).arg(run.done.mid(run.done.size() - 8).join("; "));
        const QStringList now = state(d.grantdb);
        if (!error.isEmpty()) {
            ++failures;
            // Refused before anything was sent: nothing changed. Otherwise
            // nothing is pending: the database is as last committed.
            refusedUnsent = refusedUnsent || error.startsWith("Choose a ");
            QVERIFY2(now == (refusedUnsent ? before : state(*run.second)), qPrintable(error + "; " + trail));
            QVERIFY2(d.grantdb.inTransaction(), qPrintable(trail));
        }
        const QStringList committedNow = state(*run.second);
        if (committedNow != run.committed) {
            ++commits;
            QVERIFY2(committedNow == now, qPrintable("committed " + trail));
            const QStringList open = disagreements(d.grantdb), saved = disagreements(*run.second);
            QVERIFY2(open.isEmpty(), qPrintable(open.join("; ") + "; " + trail));
            QVERIFY2(saved.isEmpty(), qPrintable(saved.join("; ") + "; " + trail));
            run.committed = committedNow;
        } else if (name == "commit" && error.isEmpty()) {
            QVERIFY2(disagreements(*run.second).isEmpty(), qPrintable(trail));
        }
    }
    const QStringList sent = log.statements();
    const auto sentCount = [&](const char *pattern) { return int(sent.filter(QRegularExpression(pattern)).size()); };
    qInfo("seed %u: %d operations in %lld ms, %d injected, %d failures, %d commits, %d grants, %d revokes, %d assignments, "
          "%d taken back",
          seed, steps, clock.elapsed(), injected, failures, commits, sentCount("^grant "), sentCount("^revoke "),
          sentCount("^insert into meta\\$grantusers"), sentCount("^delete from meta\\$grantusers"));
    // A run that never failed or committed would prove nothing.
    QVERIFY(failures > 10);
    QVERIFY(commits > 10);
}

DUNMOOR_TEST_MAIN(TestRandomLayer)
#include "tst_randomlayer.moc"
