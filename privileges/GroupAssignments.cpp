#include "privileges/GroupAssignments.h"

#include "engine/Error.h"
#include "engine/SqlText.h"
#include "privileges/AdminTables.h"
#include "privileges/GroupArithmetic.h"
#include "privileges/GroupRevokes.h"
#include "privileges/LayerChecks.h"
#include "privileges/RevokeRights.h"
#include "privileges/UserGroupMembers.h"
#include "privileges/gdata_un.h"

#include <algorithm>
#include <optional>

namespace privileges {

QString revokeAssignmentQuestion(const QString &group, const QString &holder)
{
    return QStringLiteral("Revoke grant on GrantGroup \"%1\" from \"%2\"?").arg(group, holder);
}

QString revokeAllAssignmentsQuestion(const QString &group)
{
    return QStringLiteral("Revoke all grants on group %1?").arg(group);
}

namespace {

const QString kPublic = QStringLiteral("PUBLIC");

// A name as a dialect-1 string constant in double quotes.
QString dq(const QString &value)
{
    return QLatin1Char('"') + engine::quotedConstant(value) + QLatin1Char('"');
}

bool isUserGroup(const Candidate &c)
{
    return c.usertype == 2 && c.name != kPublic;
}

// The delete of the users' META$USERSGRANT rows for what the holder no
// longer gives: only the users no other way still reaches, so the row that
// stands for a remaining way stays. Empty when nobody loses the group.
QStringList usersGrantDelete(const GroupLayer &before, const GroupLayer &after, const QString &group,
                             const QString &holder)
{
    const QString head = QStringLiteral("delete from meta$usersgrant where (gfname=") + dq(group) + QLatin1Char(')');
    if (holder.isEmpty())
        return {head};
    bool userGroup = false;
    for (const HolderAssignment &a : before.assignments)
        userGroup = userGroup || (a.group == group && a.holder == holder && a.userGroup);
    QStringList reached;
    if (!userGroup)
        reached << holder;
    for (const Membership &m : before.members)
        if (userGroup && m.userGroup == holder)
            reached << m.user;
    const QStringList still = after.usersReached(group);
    QStringList lost;
    for (const QString &u : distinctNames(reached))
        if (!still.contains(u))
            lost << u;
    if (lost.isEmpty())
        return {};
    if (!userGroup)
        return {head + QStringLiteral(" and (ufname"), QLatin1Char('=') + dq(holder) + QLatin1Char(')')};
    if (lost.size() == distinctNames(reached).size())
        return {head + QStringLiteral(" and (ufname"),
                QStringLiteral(" in (select ualias from meta$userslist where ufname=") + dq(holder) + QStringLiteral("))")};
    QStringList quoted;
    for (const QString &u : lost)
        quoted << dq(u);
    return {head + QStringLiteral(" and (ufname"), QStringLiteral(" in (") + quoted.join(QLatin1Char(',')) + QStringLiteral("))")};
}

} // namespace

GroupAssignments::GroupAssignments(TGrantData &data, OperationProgress &progress) : m_data(data), m_progress(progress) {}

Candidate GroupAssignments::currentCandidate() const
{
    Candidate c;
    c.name = TGrantData::currentName(m_data.usersdef, QStringLiteral("UGNAME"), QStringLiteral("user or UserGroup"));
    c.usertype = m_data.usersdef.fieldByName(QStringLiteral("USERTYPE")).asInteger();
    return c;
}

QString GroupAssignments::currentGroup() const
{
    return TGrantData::currentName(m_data.metagrp, QStringLiteral("GGNAME"), QStringLiteral("GrantGroup"));
}

QString GroupAssignments::currentHolder() const
{
    return TGrantData::currentName(m_data.metasgrp, QStringLiteral("UFNAME"), QStringLiteral("holder of the GrantGroup"));
}

void GroupAssignments::change(const std::function<void()> &work)
{
    m_data.changeList(m_data.metasgrp, work);
}

void GroupAssignments::createulist(const Candidate &holder, const QString &group, QStringList &users)
{
    const QString g = dq(group);
    if (!m_data
             .namesQ({QStringLiteral("select ufname from meta$grantusers where gfname='")
                      + engine::singleQuotedConstant(group) + QStringLiteral("' and ufname='")
                      + engine::singleQuotedConstant(holder.name) + QLatin1Char('\'')})
             .isEmpty())
        return;
    const int id = m_data.nextId(QStringLiteral("select max(id) from meta$grantusers where gfname=") + g);
    const bool userGroup = isUserGroup(holder);
    m_data.execQ({QStringLiteral("insert into meta$grantusers values(%1,").arg(id) + g + QLatin1Char(',') + dq(holder.name)
                  + (holder.usertype == 2 ? QStringLiteral(",2)") : QStringLiteral(",0)"))});
    QStringList reached;
    if (!userGroup) {
        if (m_data
                .namesQ({QStringLiteral("select ufname from meta$usersgrant where ufname=") + dq(holder.name)
                         + QStringLiteral(" and gfname=") + g})
                .isEmpty())
            reached << holder.name;
    } else {
        reached = distinctNames(m_data.namesQ(
            {QStringLiteral("select a.ualias from meta$userslist a where a.ufname=") + dq(holder.name)
                 + QStringLiteral(" and (a.ualias not in "),
             QStringLiteral("(select b.ufname from meta$usersgrant b where b.gfname=") + g + QStringLiteral("))")}));
    }
    if (reached.isEmpty())
        return;
    // The users reached in one step get consecutive ids.
    int next = m_data.nextId(QStringLiteral("select max(id) from meta$usersgrant where gfname=") + g);
    for (const QString &u : reached) {
        if (!users.contains(u))
            users << u;
        m_data.execQ({QStringLiteral("insert into meta$usersgrant values(%1,").arg(next++) + g + QLatin1Char(',') + dq(u)
                      + QLatin1Char(')')});
    }
}

void GroupAssignments::assign(const Candidate &holder, const QString &group)
{
    // A user the grants could not name is refused before anything is
    // written (a layer made elsewhere may list one).
    if (holder.usertype == 0)
        requireNamable({holder.name});
    requireExisting(m_data, LayerName::GrantGroup, group);
    requireExisting(m_data, LayerName::Holder, holder.name);
    change([&] {
        QStringList users;
        createulist(holder, group, users);
        if (!users.isEmpty())
            UserGroupMembers(m_data, m_progress).fillgrant(group, users, holder.name);
    });
}

void GroupAssignments::assignAll(const QString &group)
{
    // The rows the filter shows now: the list is not refiltered before the
    // end, so each is assigned once.
    engine::Query &candidates = m_data.usersdef;
    QVector<Candidate> shown;
    if (candidates.isActive()) {
        const int name = candidates.fieldIndex(QStringLiteral("UGNAME"));
        const int type = candidates.fieldIndex(QStringLiteral("USERTYPE"));
        for (int i = 0; i < candidates.recordCount(); ++i)
            shown << Candidate{candidates.textAt(i, name).trimmed(), candidates.valueAt(i, type).toInt()};
    }
    for (const Candidate &c : shown)
        if (c.usertype == 0)
            requireNamable({c.name});
    requireExisting(m_data, LayerName::GrantGroup, group);
    engine::ControlsFrozen frozen(candidates);
    change([&] {
        // A candidate another session deleted meanwhile is left out.
        const QStringList registered = registeredNames(m_data, LayerName::Holder);
        QStringList users;
        for (const Candidate &c : shown)
            if (registered.contains(c.name))
                createulist(c, group, users);
        if (!users.isEmpty())
            UserGroupMembers(m_data, m_progress).fillgrant(group, users, QStringLiteral("All users"));
    });
}

void GroupAssignments::takeAway(const QString &group, const QString &holder)
{
    const GroupLayer before = readGroupLayer(m_data.grantdb);
    GroupLayer after = before;
    for (const HolderAssignment &a : before.assignments)
        if (a.group == group && (holder.isEmpty() || a.holder == holder))
            after = after.withoutAssignment(group, a.holder);
    QVector<GroupRow> rows;
    for (const GroupRow &r : before.rows)
        if (r.group == group)
            rows << r;
    std::sort(rows.begin(), rows.end(), [](const GroupRow &a, const GroupRow &b) { return a.id < b.id; });
    std::optional<StatusScope> status;
    if (!rows.isEmpty()) {
        status.emplace(m_progress, holder.isEmpty() ? QStringLiteral("Revoke all grants on ") + group
                                                    : QStringLiteral("Revoke grants from ") + holder);
        m_progress.startProgress(int(rows.size()) + 2);
    }
    LostPrivilegeRevoker revoker(m_data, before, after);
    for (const GroupRow &r : rows) {
        revoker.revoke(r.key);
        m_progress.stepProgress();
    }
    QString gone = QStringLiteral("delete from meta$grantusers where (gfname=") + dq(group) + QLatin1Char(')');
    if (!holder.isEmpty())
        gone += QStringLiteral(" and (ufname=") + dq(holder) + QLatin1Char(')');
    m_data.execQ({gone});
    m_progress.stepProgress();
    const QStringList rowsGone = usersGrantDelete(before, after, group, holder);
    if (!rowsGone.isEmpty())
        m_data.execQ(rowsGone);
    m_progress.stepProgress();
}

void GroupAssignments::remove(const QString &group, const QString &holder)
{
    requireExisting(m_data, LayerName::GrantGroup, group);
    change([&] { takeAway(group, holder); });
}

void GroupAssignments::removeAll(const QString &group)
{
    requireExisting(m_data, LayerName::GrantGroup, group);
    change([&] { takeAway(group, QString()); });
}

void GroupAssignments::commit()
{
    m_data.commitList(m_data.metasgrp);
}

void GroupAssignments::rollback()
{
    m_data.rollbackList(m_data.metasgrp);
}

} // namespace privileges
