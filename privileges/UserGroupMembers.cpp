#include "privileges/UserGroupMembers.h"

#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "privileges/AdminTables.h"
#include "privileges/GroupArithmetic.h"
#include "privileges/GroupRevokes.h"
#include "privileges/LayerChecks.h"
#include "privileges/gdata_un.h"

#include <tuple>

namespace privileges {

QString allGrantGroups()
{
    return QStringLiteral("All GrantGroups");
}

QString removeMemberQuestion(const QString &user, const QString &userGroup)
{
    return QStringLiteral("Remove user '%1' from UserGroup \"%2\" (It equivalent to revocation of all privileges granted "
                          "to the user through given UserGroup)?")
        .arg(user, userGroup);
}

QString removeAllMembersQuestion(const QString &userGroup)
{
    return QStringLiteral("Remove  all users from UserGroup \"%1\" (It equivalent to revocation of all privileges granted "
                          "to them through given UserGroup)?")
        .arg(userGroup);
}

namespace {

QString dq(const QString &value)
{
    return QLatin1Char('"') + engine::quotedConstant(value) + QLatin1Char('"');
}

QString sq(const QString &value)
{
    return QLatin1Char('\'') + engine::singleQuotedConstant(value) + QLatin1Char('\'');
}

} // namespace

UserGroupMembers::UserGroupMembers(TGrantData &data, OperationProgress &progress) : m_data(data), m_progress(progress) {}

QString UserGroupMembers::groupOrRefuse() const
{
    return TGrantData::currentName(m_data.usergrp, QStringLiteral("UGNAME"), QStringLiteral("UserGroup"));
}

void UserGroupMembers::changeMembers(const std::function<void()> &work)
{
    m_data.changeList(m_data.usersgrp, work);
}

void UserGroupMembers::fillgrant(const QString &group, const QStringList &users, const QString &holder)
{
    engine::Statement s(&m_data.grantdb);
    s.setSql(QStringList{QStringLiteral("select distinct a.tvname,a.tvcols,a.ggtype,a.ggoption from meta$grantlist a where "),
                         group == allGrantGroups()
                             ? QStringLiteral("(a.gfname in (select b.gfname from meta$grantusers b where b.ufname=")
                                   + dq(holder) + QStringLiteral("))")
                             : QStringLiteral("gfname=") + sq(group)});
    s.open();
    const qsizetype n = s.rows().rowCount();
    if (n == 0)
        return;
    StatusScope status(m_progress, QStringLiteral("Creating grants for ") + holder);
    m_progress.startProgress(int(n));
    const ObjectOwners owners = readObjectOwners(m_data.grantdb);
    for (qsizetype r = 0; r < n; ++r) {
        const PrivilegeKey key{s.rows().text(r, 0).trimmed(), s.rows().text(r, 1).trimmed(), s.rows().text(r, 2).trimmed()};
        const QStringList grantees = owners.withoutOwners(users, key.object);
        if (!grantees.isEmpty())
            m_data.execQ(groupGrantStatement(key, grantees, s.rows().value(r, 3).toInt() == 1));
        m_progress.stepProgress();
    }
}

void UserGroupMembers::join(const QString &user, const QString &userGroup)
{
    const int id = m_data.nextId(QStringLiteral("select max(id) from meta$userslist where ufname=") + sq(userGroup));
    m_data.execQ({QStringLiteral("insert into meta$userslist values(%1,").arg(id) + sq(userGroup) + QLatin1Char(',')
                  + sq(user) + QLatin1Char(')')});
    fillgrant(allGrantGroups(), {user}, userGroup);
    const QStringList groups = m_data.namesQ(
        {QStringLiteral("select a.gfname from meta$grantusers a where (a.ufname=") + dq(userGroup) + QLatin1Char(')'),
         QStringLiteral(" and (a.gfname not in (select b.gfname from meta$grantusers b where b.ufname=") + dq(user)
             + QStringLiteral("))")});
    // One row per grant group and user, however many ways he reaches it.
    for (const QString &g : distinctNames(groups)) {
        if (!m_data.namesQ({QStringLiteral("select ufname from meta$usersgrant where gfname=") + dq(g)
                            + QStringLiteral(" and ufname=") + dq(user)})
                 .isEmpty())
            continue;
        const int gid = m_data.nextId(QStringLiteral("select max(id) from meta$usersgrant where gfname=") + dq(g));
        m_data.execQ({QStringLiteral("insert into meta$usersgrant values(%1,").arg(gid) + dq(g) + QLatin1Char(',') + dq(user)
                      + QLatin1Char(')')});
    }
}

void UserGroupMembers::checkJoining(const QStringList &users, const QString &userGroup)
{
    // What fillgrant grants them: every row of the grant groups assigned to
    // the user group, to those who do not own its object.
    const QStringList names = m_data.transaction.run([&] {
        const GroupLayer layer = readGroupLayer(m_data.grantdb);
        QStringList out;
        for (const HolderAssignment &a : layer.assignments) {
            if (a.holder != userGroup)
                continue;
            for (const GroupRow &r : layer.rows) {
                const QStringList to = layer.owners.withoutOwners(users, r.key.object);
                if (r.group == a.group && !to.isEmpty())
                    out << keyNames(r.key) << to;
            }
        }
        return out;
    });
    requireNamable(names);
}

void UserGroupMembers::checkLeaving(const QString &userGroup, const QString &user)
{
    const auto [before, after, keys] = m_data.transaction.run([&] {
        const GroupLayer layer = readGroupLayer(m_data.grantdb);
        QStringList leaving{user};
        if (user.isEmpty()) {
            leaving.clear();
            for (const Membership &m : layer.members)
                if (m.userGroup == userGroup)
                    leaving << m.user;
        }
        GroupLayer without = layer;
        for (const QString &u : leaving)
            without = without.withoutMember(userGroup, u);
        QVector<PrivilegeKey> lost;
        for (const GivenPrivilege &g : layer.given())
            if (leaving.contains(g.user) && !lost.contains(g.key))
                lost << g.key;
        return std::make_tuple(layer, without, lost);
    });
    checkRevokedNames(before, after, keys);
}

void UserGroupMembers::addMember(const QString &user)
{
    const QString userGroup = groupOrRefuse();
    requireJoinable(m_data, user, userGroup);
    checkJoining({user}, userGroup);
    changeMembers([&] { join(user, userGroup); });
}

void UserGroupMembers::addAllMembers()
{
    const QString userGroup = groupOrRefuse();
    requireExisting(m_data, LayerName::UserGroup, userGroup);
    // The candidates as they are now, each once: a list that did not
    // shrink would otherwise be gone over without end. Of those shown, only
    // registered users not yet members join: the list may be older than
    // what another session committed.
    engine::Query &candidates = m_data.usersdef;
    QStringList shown;
    if (candidates.isActive()) {
        const int field = candidates.fieldIndex(QStringLiteral("UGNAME"));
        for (int i = candidates.recordCount() - 1; i >= 0; --i)
            shown << candidates.textAt(i, field).trimmed();
    }
    checkJoining(m_data.transaction.run([&] { return joinableUsers(m_data, shown, userGroup); }), userGroup);
    engine::ControlsFrozen frozen(candidates);
    changeMembers([&] {
        for (const QString &user : joinableUsers(m_data, shown, userGroup))
            join(user, userGroup);
    });
}

void UserGroupMembers::revusers(const QString &user, const QString &userGroup)
{
    const GroupLayer before = readGroupLayer(m_data.grantdb);
    const GroupLayer after = before.withoutMember(userGroup, user);
    QVector<PrivilegeKey> keys;
    for (const GivenPrivilege &g : before.given())
        if (g.user == user)
            keys << g.key;
    StatusScope status(m_progress, QStringLiteral("Revoke grants from ") + user);
    m_progress.startProgress(int(keys.size()) + 1);
    LostPrivilegeRevoker revoker(m_data, before, after);
    for (const PrivilegeKey &key : keys) {
        revoker.revoke(key);
        m_progress.stepProgress();
    }
}

void UserGroupMembers::leave(const QString &user, const QString &userGroup)
{
    revusers(user, userGroup);
    // A grant group's row for the user goes only with the last way it
    // reached him.
    const GroupLayer after = readGroupLayer(m_data.grantdb).withoutMember(userGroup, user);
    QStringList gone;
    for (const HolderAssignment &a : after.assignments)
        if (a.holder == userGroup && !gone.contains(a.group) && !after.usersReached(a.group).contains(user))
            gone << a.group;
    for (const QString &g : gone)
        m_data.execQ({QStringLiteral("delete from meta$usersgrant where gfname=") + dq(g) + QStringLiteral(" and ufname=")
                      + dq(user)});
}

void UserGroupMembers::removeMember(const QString &user)
{
    const QString userGroup = groupOrRefuse();
    requireExisting(m_data, LayerName::UserGroup, userGroup);
    checkLeaving(userGroup, user);
    changeMembers([&] {
        leave(user, userGroup);
        m_data.execQ({QStringLiteral("delete from meta$userslist where ufname=") + sq(userGroup)
                      + QStringLiteral(" and ualias=") + sq(user)});
    });
}

void UserGroupMembers::removeAllMembers()
{
    const QString userGroup = groupOrRefuse();
    requireExisting(m_data, LayerName::UserGroup, userGroup);
    checkLeaving(userGroup);
    changeMembers([&] {
        const QStringList members =
            m_data.namesQ({QStringLiteral("select ualias from meta$userslist where ufname=") + dq(userGroup)});
        for (const QString &member : distinctNames(members))
            leave(member, userGroup);
        m_data.execQ({QStringLiteral("delete from meta$userslist where ufname=") + sq(userGroup)});
    });
}

void UserGroupMembers::commit()
{
    m_data.commitList(m_data.usersgrp);
}

void UserGroupMembers::rollback()
{
    m_data.rollbackList(m_data.usersgrp);
}

} // namespace privileges
