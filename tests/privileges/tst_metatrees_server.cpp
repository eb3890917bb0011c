// The grantee tree of a database without the administrative tables on the
// loopback server: the server's own users, read on the managed connection.
#include "PrivilegesFixture.h"
#include "privileges/MetaTrees.h"
#include "support/TestMain.h"

using namespace privtest;
using namespace privileges;
using testsupport::exec;
using testsupport::TestDatabase;

namespace {

const QStringList kUsers{"MTU1", "MTU2"};

std::unique_ptr<TGrantData> connectServer(const TestDatabase &t, const QString &user, const QString &password)
{
    auto d = std::make_unique<TGrantData>();
    d->grantdb.setDriverName(QStringLiteral("INTRBASE"));
    d->grantdb.setParams({QStringLiteral("SERVER NAME=") + testsupport::serverPrefix() + t.path(),
                          QStringLiteral("USER NAME=") + user, QStringLiteral("PASSWORD=") + password});
    d->grantdb.open();
    d->transaction.ensure();
    return d;
}

QStringList usersOf(const MetaTrees &trees)
{
    for (const TreeNode &root : trees.usertree)
        if (root.text == usersRoot()) {
            QStringList names;
            for (const TreeNode &u : root.children) {
                if (u.image != TreeImage::User || u.selectedImage != TreeImage::UserSelected)
                    return {QStringLiteral("wrong picture for ") + u.text};
                names << u.text;
            }
            return names;
        }
    return {QStringLiteral("no Users root")};
}

// The server's users for the test, dropped again however the test ends.
class ServerUsers {
public:
    explicit ServerUsers(engine::Database &admin) : m_admin(admin)
    {
        for (const QString &u : kUsers) {
            dropQuietly(u);
            exec(m_admin, QStringLiteral("create user %1 password 'pw'").arg(u));
        }
    }
    ~ServerUsers()
    {
        for (const QString &u : kUsers)
            dropQuietly(u);
    }

private:
    void dropQuietly(const QString &user)
    {
        try {
            exec(m_admin, QStringLiteral("drop user %1").arg(user));
        } catch (const engine::Error &) {
        }
    }
    engine::Database &m_admin;
};

} // namespace

class TestMetaTreesServer : public QObject {
    Q_OBJECT
private slots:
    void serverUsersWithoutAdministrativeTables();
};

void TestMetaTreesServer::serverUsersWithoutAdministrativeTables()
{
    TestDatabase t;
    auto admin = t.connectServer("SYSDBA", testsupport::serverPassword(), "Admin");
    exec(*admin, "create table T1 (C1 integer)");
    ServerUsers users(*admin);

    // Every server user but SYSDBA, read on the managed connection itself.
    auto d = connectServer(t, "SYSDBA", testsupport::serverPassword());
    engine::StatementRecorder log;
    NoProgress quiet;
    const QStringList shown = usersOf(FillMetaTree(*d, quiet));
    QStringList expected;
    {
        engine::Statement s(admin.get());
        s.setSql("select sec$user_name from sec$users where sec$user_name <> 'SYSDBA' order by 1");
        s.open();
        for (qsizetype r = 0; r < s.rows().rowCount(); ++r)
            expected << s.rows().text(r, 0).trimmed();
    }
    QCOMPARE(shown, expected);
    for (const QString &u : kUsers)
        QVERIFY(shown.contains(u));
    QVERIFY(log.statements().contains(serverUsersStatement()));
    QVERIFY(!log.statements().contains(usersStatement().join('\n')));

    // A user without admin rights sees his own row only.
    auto u1 = connectServer(t, "MTU1", "pw");
    QCOMPARE(usersOf(FillMetaTree(*u1, quiet)), QStringList{"MTU1"});
}

DUNMOOR_TEST_MAIN(TestMetaTreesServer)
#include "tst_metatrees_server.moc"
