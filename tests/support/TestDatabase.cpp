#include "support/TestDatabase.h"

#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/Session.h"
#include "engine/Statement.h"

#include <QDir>
#include <QFile>
#include <QUuid>

namespace testsupport {

namespace {
QTemporaryDir &scratch()
{
    static QTemporaryDir d;
    return d;
}
} // namespace

void initRuntime()
{
    QString root = qEnvironmentVariable("DUNMOOR_FB_ROOT");
    if (root.isEmpty())
        root = scratch().path() + QStringLiteral("/fbrt");
    engine::Runtime::prepare(root);
    engine::Session::useConfigurationFile(scratch().path() + QStringLiteral("/aliases.conf"));
}

QString debugFolder()
{
    const QString dir = engine::Runtime::paths().external + "/" + QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(dir);
    return dir + "/";
}

QString serverPrefix()
{
    return QStringLiteral("127.0.0.1/%1:").arg(engine::Runtime::defaultPort());
}

QString serverPassword()
{
    return QStringLiteral("masterkey");
}

TestDatabase::TestDatabase(int dialect)
{
    m_path = m_dir.path() + QStringLiteral("/test.fdb");
    engine::Database::createDatabase(m_path, QStringLiteral("SYSDBA"), QString(), 8192, dialect);
}

TestDatabase::~TestDatabase()
{
    try {
        engine::Database::dropDatabase(m_path);
    } catch (const engine::Error &) {
        // Still attached somewhere (a test that failed half-way): the folder
        // goes anyway, and the next test has its own.
    }
}

std::unique_ptr<engine::Database> TestDatabase::connect(const QString &user, const QString &name) const
{
    auto db = std::make_unique<engine::Database>(nullptr, name);
    db->setDriverName(QStringLiteral("INTRBASE"));
    db->setParams({QStringLiteral("SERVER NAME=") + m_path, QStringLiteral("USER NAME=") + user});
    db->open();
    return db;
}

std::unique_ptr<engine::Database> TestDatabase::connectServer(const QString &user, const QString &password,
                                                              const QString &name) const
{
    auto db = std::make_unique<engine::Database>(nullptr, name);
    db->setDriverName(QStringLiteral("INTRBASE"));
    db->setParams({QStringLiteral("SERVER NAME=") + serverPrefix() + m_path,
                   QStringLiteral("USER NAME=") + user, QStringLiteral("PASSWORD=") + password});
    db->open();
    return db;
}

ScopedAlias::ScopedAlias(const QString &name, const QString &serverName, const QString &user) : m_name(name)
{
    QStringList p = engine::Session::driverDefaultParams(QStringLiteral("INTRBASE"));
    for (QString &l : p) {
        if (l.startsWith(QLatin1String("SERVER NAME=")))
            l = QStringLiteral("SERVER NAME=") + serverName;
        else if (l.startsWith(QLatin1String("USER NAME=")))
            l = QStringLiteral("USER NAME=") + user;
    }
    engine::Session::defaultSession().addAlias(name, QStringLiteral("INTRBASE"), p);
    // Saved, as a user's aliases are: dialogs read the file again.
    engine::Session::defaultSession().saveConfigFile();
}

ScopedAlias::~ScopedAlias()
{
    // A test may have deleted the alias itself.
    if (engine::Session::defaultSession().aliasNames().contains(m_name, Qt::CaseInsensitive)) {
        engine::Session::defaultSession().deleteAlias(m_name);
        engine::Session::defaultSession().saveConfigFile();
    }
}

const QStringList &twinSchema()
{
    static const QStringList ddl{
        "create domain \"DomM\" integer", "create domain DOMM integer",
        "create table \"MixedCase\" (ID integer)", "create table MIXEDCASE (ID integer, EXTRA integer)",
        "create table \"lowr\" (ID integer)", "create table LOWR (ID integer)",
        "create table COLS (ID integer, \"Col\" integer, COL integer, A integer, B integer)",
        "alter table COLS add constraint \"UqM\" unique (A)", "alter table COLS add constraint UQM unique (B)",
        "create index \"IxMixed\" on MIXEDCASE (EXTRA)", "create index IXMIXED on MIXEDCASE (EXTRA)",
        "create trigger \"TrgM\" for MIXEDCASE before insert as begin end",
        "create trigger TRGM for MIXEDCASE before insert as begin end",
        "create view \"ViewM\" as select ID from MIXEDCASE", "create view VIEWM as select ID from MIXEDCASE",
        "create procedure \"ProcM\" returns (R integer) as begin R = 1; suspend; end",
        "create procedure PROCM returns (R integer) as begin R = 2; suspend; end",
        "create generator \"GenM\"", "create generator GENM",
        "create exception \"ExcM\" 'quoted'", "create exception EXCM 'plain'",
        "grant select on \"MixedCase\" to U1", "grant select on MIXEDCASE to U1",
        "grant select on \"lowr\" to U1", "grant select on LOWR to U1",
        "grant select on \"ViewM\" to U1", "grant select on VIEWM to U1",
        "grant execute on procedure \"ProcM\" to U1", "grant execute on procedure PROCM to U1",
        "grant update (\"Col\") on COLS to U1", "grant update (COL) on COLS to U1",
        "grant select on COLS to \"lowr\"", "grant select on COLS to LOWR",
    };
    return ddl;
}

void makeTwins(const TestDatabase &t)
{
    auto db = t.connect(QStringLiteral("SYSDBA"), QStringLiteral("Twins"));
    for (const QString &s : twinSchema())
        db->executeImmediate(s, 3);
}

UnwritableSettings::UnwritableSettings() : m_previous(qgetenv("DUNMOOR_SETTINGS_ROOT"))
{
    QFile blocker(m_root.filePath(QStringLiteral("SOFTWARE")));
    if (!blocker.open(QIODevice::WriteOnly))
        qFatal("no blocking file in %s", qPrintable(m_root.path()));
    qputenv("DUNMOOR_SETTINGS_ROOT", m_root.path().toUtf8());
}

UnwritableSettings::~UnwritableSettings()
{
    qputenv("DUNMOOR_SETTINGS_ROOT", m_previous);
}

QString UnwritableSettings::file(const QString &keyPath) const
{
    return m_root.path() + QLatin1Char('/') + QString(keyPath).replace(QLatin1Char('\\'), QLatin1Char('/'))
        + QStringLiteral(".ini");
}

} // namespace testsupport
