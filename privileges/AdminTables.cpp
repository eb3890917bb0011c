#include "privileges/AdminTables.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "privileges/GroupArithmetic.h"
#include "privileges/ImportPlan.h"
#include "privileges/RevokeRights.h"
#include "privileges/gdata_un.h"

#include <functional>

namespace privileges {

const QStringList &adminTableNames()
{
    static const QStringList names{QStringLiteral("META$GRANTDEF"),  QStringLiteral("META$GRANTLIST"),
                                   QStringLiteral("META$USERSDEF"),  QStringLiteral("META$USERSLIST"),
                                   QStringLiteral("META$GRANTUSERS"), QStringLiteral("META$USERSGRANT")};
    return names;
}

bool isAdminTable(const QString &name)
{
    return adminTableNames().contains(name.toUpper());
}

QString cutToRoom(const QString &text, int room, const std::function<qsizetype(const QString &)> &size)
{
    if (size(text) <= room)
        return text;
    qsizetype end = 0;
    for (qsizetype next = 0; next < text.size(); end = next) {
        next += text.at(next).isHighSurrogate() && next + 1 < text.size() ? 2 : 1;
        if (size(text.left(next)) > room)
            break;
    }
    return text.left(end);
}

QString fitToColumn(TGrantData &data, const QString &table, const QString &column, const QString &text)
{
    // Character set 0 (NONE) and 1 (OCTETS) hold bytes as they arrive: the
    // connection's encoding decides how many a text takes.
    const QStringList room = data.namesQ(
        {QStringLiteral("select f.rdb$field_length || ',' || coalesce(f.rdb$character_length, f.rdb$field_length) "
                        "|| ',' || coalesce(f.rdb$character_set_id, 0) from rdb$relation_fields r "
                        "join rdb$fields f on f.rdb$field_name = r.rdb$field_source where r.rdb$relation_name = '")
             + engine::singleQuotedConstant(table) + QStringLiteral("' and r.rdb$field_name = '")
             + engine::singleQuotedConstant(column) + QStringLiteral("'")});
    if (room.isEmpty())
        return text;
    const QStringList figures = room.first().split(QLatin1Char(','));
    if (figures.value(2).toInt() <= 1) {
        engine::Database &db = data.grantdb;
        return cutToRoom(text, figures.value(0).toInt(), [&db](const QString &t) { return db.encode(t).size(); });
    }
    return cutToRoom(text, figures.value(1).toInt(), [](const QString &t) { return t.toUcs4().size(); });
}

const QVector<TableDefinition> &adminTableDefinitions()
{
    static const QVector<TableDefinition> defs{
        {QStringLiteral("create table Meta$GrantDef(ggName varchar(31) not null unique,ggdesc varchar(255))"),
         QStringLiteral("Grant all on Meta$GrantDef to PUBLIC with grant option")},
        {QStringLiteral("create table Meta$GrantList(id integer not null,gfName varchar(31) not null,"
                        "tvname varchar(31) not null,tvtype varchar(9) not null,tvcols varchar(31),"
                        "ggtype char(7) not null,ggOption smallint default 0 not null,unique(id,gfname))"),
         QStringLiteral("Grant all on Meta$GrantList to PUBLIC with grant option")},
        {QStringLiteral("create table Meta$USERSDEF(ugName varchar(31) not null unique,ugdesc varchar(255),"
                        "usertype smallint default 0)"),
         QStringLiteral("Grant all on Meta$usersdef to PUBLIC with grant option")},
        {QStringLiteral("create table Meta$USERSLIST(id integer not null,ufName varchar(31) not null,"
                        "uAlias varchar(31) not null,unique(id,ufname))"),
         QStringLiteral("Grant all on Meta$userslist to PUBLIC with grant option")},
        {QStringLiteral("create table Meta$grantusers(id integer not null,gfName varchar(31) not null,"
                        "ufName varchar(31) not null,UTYPE SMALLINT,UNIQUE (ID, GFNAME))"),
         QStringLiteral("Grant all on Meta$grantusers to PUBLIC with grant option")},
        {QStringLiteral("create table meta$usersgrant(id integer not null,gfName varchar(31) not null,"
                        "ufName varchar(31) not null,UNIQUE (ID, GFNAME))"),
         QStringLiteral("Grant all on Meta$usersgrant to PUBLIC with grant option")},
    };
    return defs;
}

QString AdminTables::eraseRightsText()
{
    return QStringLiteral("You have no rihgts to erase additional privileges structures.\r\n"
                          "Only it's creator and SYSDBA user can drop them");
}

AdminTables::AdminTables(TGrantData &data, OperationProgress &progress) : m_data(data), m_progress(progress) {}

void AdminTables::exec(const QStringList &lines)
{
    m_data.execQ(lines);
}

QStringList AdminTables::create()
{
    StatusScope status(m_progress, QStringLiteral("Creating GrantGroups"));
    engine::KeptTransaction &tr = m_data.transaction;
    // What the statements cannot name is taken out before anything exists;
    // the rest is imported.
    QVector<UserImport> plan = tr.run([&] { return readImportPlan(m_data.grantdb); });
    const QStringList leftOut = leaveOutUnnamable(plan);
    m_progress.startProgress(7 + int(plan.size()));
    tr.run([&] {
        for (const TableDefinition &d : adminTableDefinitions()) {
            exec({d.create});
            exec({d.grant});
            m_progress.stepProgress();
        }
    });
    // The server writes no row into a table before the transaction that
    // made it has committed.
    tr.commit();
    try {
        tr.run([&] { writeImport(plan); });
        tr.commit();
    } catch (...) {
        dropAfterFailedImport();
        throw;
    }
    return leftOut;
}

QStringList AdminTables::importExisting()
{
    QStringList leftOut;
    m_data.transaction.run([&] {
        QVector<UserImport> plan = readImportPlan(m_data.grantdb);
        leftOut = leaveOutUnnamable(plan);
        writeImport(plan);
    });
    return leftOut;
}

void AdminTables::writeImport(const QVector<UserImport> &plan)
{
    int n = 0;
    for (const UserImport &u : plan) {
        for (const QStringList &s : userImportStatements(n, u.user))
            exec(s);
        int k = 0;
        for (const GroupPrivilege &p : u.privileges)
            exec(groupPrivilegeInsert(k++, u.user, p));
        ++n;
        m_progress.stepProgress();
    }
    // PUBLIC is a user group; imported like a user, it becomes one now.
    engine::Query &q = m_data.q;
    q.close();
    q.sql() = QStringList{QStringLiteral("select ugName from meta$usersdef where ugname=\"PUBLIC\"")};
    q.open();
    const bool publicImported = !q.isEmpty();
    q.close();
    q.sql().clear();
    if (!publicImported) {
        exec({QStringLiteral("insert into meta$usersdef values('PUBLIC',null,2)")});
    } else {
        exec({QStringLiteral("update meta$usersdef set usertype=2 where ugname=\"PUBLIC\"")});
        exec({QStringLiteral("update meta$grantusers set utype=2 where ufname=\"PUBLIC\"")});
    }
    m_progress.stepProgress();
}

void AdminTables::dropAfterFailedImport()
{
    try {
        m_data.transaction.run([&] { DropGrantTables(); });
        m_data.transaction.commit();
    } catch (const engine::Error &) {
        // The import's error is the one to show; tables left behind here are
        // found by the next connect's probe as before.
    }
}

void AdminTables::DropGrantTables()
{
    dropTables(adminTableNames());
}

void AdminTables::dropTables(const QStringList &present)
{
    static const char *const order[] = {"META$USERSGRANT", "META$GRANTUSERS", "META$GRANTLIST",
                                        "META$GRANTDEF",   "META$USERSLIST",  "META$USERSDEF"};
    for (const char *table : order) {
        if (!present.contains(QLatin1String(table)))
            continue;
        try {
            exec({QStringLiteral("drop table "), QString::fromLatin1(table)});
        } catch (const engine::Error &e) {
            if (e.category() == engine::ErrorCategory::NoPermission)
                throw engine::Error(eraseRightsText(), engine::ErrorCategory::NoPermission, e.sqlCode(), e.statusCodes());
            throw;
        }
    }
}

QVector<AdminTables::GroupRevocation> AdminTables::groupRevocations()
{
    engine::Database &db = m_data.grantdb;
    QVector<GroupRevocation> out;
    engine::Statement groups(&db);
    groups.setSql(QStringLiteral("select distinct ggname from meta$grantdef"));
    groups.open();
    engine::Statement a(&db), b(&db);
    for (qsizetype g = 0; g < groups.rows().rowCount(); ++g) {
        const QString group = engine::quotedConstant(groups.rows().text(g, 0).trimmed());
        a.setSql(QStringList{QStringLiteral("select distinct tvname,tvcols,ggtype from meta$grantlist where gfname="),
                             QStringLiteral("\"") + group + QStringLiteral("\"")});
        a.open();
        for (qsizetype r = 0; r < a.rows().rowCount(); ++r) {
            GroupRevocation v{a.rows().text(r, 2).trimmed(), a.rows().text(r, 1).trimmed(),
                              a.rows().text(r, 0).trimmed(), {}};
            const QString t = engine::quotedConstant(v.object);
            b.setSql(QStringList{
                QStringLiteral("select distinct a.ufname from meta$usersgrant a where (a.gfname="),
                QStringLiteral("\"") + group + QStringLiteral("\") and (a.ufname not in (select b.rdb$owner_name "),
                QStringLiteral("from rdb$relations b where b.rdb$relation_name=\"") + t + QStringLiteral("\""),
                QStringLiteral(")) and (a.ufname not in (select c.rdb$owner_name from rdb$procedures c "),
                QStringLiteral("where c.rdb$procedure_name=\"") + t + QStringLiteral("\"))")});
            b.open();
            v.users = trimmedColumn(b, 0);
            b.close();
            if (!v.users.isEmpty())
                out << v;
        }
        a.close();
    }
    return out;
}

void AdminTables::revokeAll(const QVector<GroupRevocation> &revocations)
{
    if (revocations.isEmpty())
        return;
    engine::Database &db = m_data.grantdb;
    const QString grantor = sessionUser(db);
    engine::Statement c(&db);
    for (const GroupRevocation &v : revocations) {
        // Read in the open transaction: what it granted or revoked counts.
        if (CheckRevokeRights(db, grantor, v.users, v.privilege, v.object, v.column, false))
            throw engine::Error(revokeRefusalText(), engine::ErrorCategory::NoPermission);
        c.setSql(revokeStatement(v.privilege, v.column, v.object, v.users));
        c.execute();
        c.close();
    }
}

void AdminTables::RevokeAllGroupGrants()
{
    revokeAll(groupRevocations());
}

void AdminTables::createMissing(const QStringList &missing)
{
    StatusScope status(m_progress, QStringLiteral("Creating GrantGroups"));
    engine::KeptTransaction &tr = m_data.transaction;
    const QStringList &names = adminTableNames();
    m_progress.startProgress(int(missing.size()));
    tr.run([&] {
        for (int i = 0; i < names.size(); ++i) {
            if (!missing.contains(names.at(i)))
                continue;
            exec({adminTableDefinitions().at(i).create});
            exec({adminTableDefinitions().at(i).grant});
            m_progress.stepProgress();
        }
    });
    tr.commit();
    // A creation cut short leaves its tables empty, since rows come only
    // after all six exist: the import then gives what a whole creation
    // gives. Tables that hold rows are someone's work and stay as they are.
    const bool empty = tr.run([&] {
        for (const QString &t : names)
            if (!m_data.namesQ({QStringLiteral("select first 1 1 from ") + t}).isEmpty())
                return false;
        return true;
    });
    if (empty) {
        importExisting();
        tr.commit();
    }
}

void AdminTables::dropPresent(const QStringList &present)
{
    StatusScope status(m_progress, QStringLiteral("Erase"));
    m_data.closeGroupDataSets();
    m_data.transaction.run([&] { dropTables(present); });
    m_data.transaction.commit();
}

void AdminTables::erase(bool revoke)
{
    StatusScope status(m_progress, QStringLiteral("Erase"));
    // Every statement of the revokes built first: a name no statement can
    // carry is refused before anything is revoked, the pages left as they
    // were.
    QVector<GroupRevocation> revocations;
    if (revoke) {
        revocations = m_data.transaction.run([&] { return groupRevocations(); });
        for (const GroupRevocation &v : revocations)
            revokeStatement(v.privilege, v.column, v.object, v.users);
    }
    m_data.closeGroupDataSets();
    m_data.transaction.run([&] {
        revokeAll(revocations);
        DropGrantTables();
    });
    // A drop of a table another connection has used fails only here.
    m_data.transaction.commit();
}

} // namespace privileges
