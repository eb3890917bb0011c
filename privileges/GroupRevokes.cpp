#include "privileges/GroupRevokes.h"

#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "privileges/AdminTables.h"
#include "privileges/RevokeRights.h"
#include "privileges/gdata_un.h"

namespace privileges {

namespace {

bool isExecute(const PrivilegeKey &key)
{
    return key.privilege == QLatin1String("Execute");
}

// The lines both statements share: the privilege, its column and where.
QStringList privilegeLines(const QString &verb, const PrivilegeKey &key, const QStringList &users)
{
    QStringList names{key.object};
    if (!key.column.isEmpty())
        names << key.column;
    checkPlainNames(names + users, verb.startsWith(QLatin1String("grant")) ? QStringLiteral("granted")
                                                                           : QStringLiteral("revoked"));
    QStringList lines{verb + key.privilege};
    if (!key.column.isEmpty())
        lines << QLatin1Char('(') + key.column + QLatin1Char(')');
    lines << QStringLiteral(" on ");
    if (isExecute(key))
        lines << QStringLiteral("procedure ");
    return lines;
}

QString pairKey(const QString &object, const QString &user)
{
    return object + QLatin1Char('\n') + user;
}

} // namespace

QStringList groupRevokeStatement(const PrivilegeKey &key, const QStringList &users, bool optionOnly)
{
    QStringList lines = privilegeLines(optionOnly ? QStringLiteral("revoke grant option for ") : QStringLiteral("revoke "),
                                       key, users);
    lines << key.object + QStringLiteral(" from ") + users.join(QLatin1Char(','));
    return lines;
}

QStringList groupGrantStatement(const PrivilegeKey &key, const QStringList &users, bool withOption)
{
    QStringList lines = privilegeLines(QStringLiteral("grant "), key, users);
    lines << key.object << QStringLiteral(" to ") + users.join(QLatin1Char(','));
    if (withOption)
        lines << QStringLiteral(" with grant option");
    return lines;
}

LostPrivilegeRevoker::LostPrivilegeRevoker(TGrantData &data, const GroupLayer &before, const GroupLayer &after)
    : m_data(data), m_before(before), m_after(after), m_grantor(sessionUser(data.grantdb))
{
}

void LostPrivilegeRevoker::checkRights(const QStringList &users, const PrivilegeKey &key, bool withOption)
{
    if (CheckRevokeRights(m_data.grantdb, m_grantor, users, key.privilege, key.object, key.column, withOption))
        throw engine::Error(revokeRefusalText(), engine::ErrorCategory::NoPermission);
}

void LostPrivilegeRevoker::revoke(const PrivilegeKey &key)
{
    if (m_done.contains(key))
        return;
    m_done.insert(key);
    LostPrivilege lost = lostBy(m_before.receivers(key), m_after.receivers(key));
    if (key.privilege == QLatin1String("Update") && !key.column.isEmpty()) {
        const auto gone = [&](const QString &u) { return m_tableUpdateGone.contains(pairKey(key.object, u)); };
        lost.revoke.erase(std::remove_if(lost.revoke.begin(), lost.revoke.end(), gone), lost.revoke.end());
        lost.optionOnly.erase(std::remove_if(lost.optionOnly.begin(), lost.optionOnly.end(), gone), lost.optionOnly.end());
    }
    if (!lost.optionOnly.isEmpty()) {
        checkRights(lost.optionOnly, key, true);
        m_data.execQ(groupRevokeStatement(key, lost.optionOnly, true));
    }
    if (lost.revoke.isEmpty())
        return;
    checkRights(lost.revoke, key, false);
    m_data.execQ(groupRevokeStatement(key, lost.revoke, false));
    if (key.privilege == QLatin1String("Update") && key.column.isEmpty())
        grantColumnsBack(key, lost.revoke);
}

void LostPrivilegeRevoker::grantColumnsBack(const PrivilegeKey &tableUpdate, const QStringList &users)
{
    for (const QString &u : users)
        m_tableUpdateGone.insert(pairKey(tableUpdate.object, u));
    QSet<QString> columns;
    for (const GroupRow &r : m_after.rows) {
        if (r.key.object != tableUpdate.object || r.key.privilege != tableUpdate.privilege || r.key.column.isEmpty()
            || columns.contains(r.key.column))
            continue;
        columns.insert(r.key.column);
        const QMap<QString, int> still = m_after.receivers(r.key);
        QStringList plain, withOption;
        for (const QString &u : users)
            if (still.contains(u))
                (still.value(u) == 1 ? withOption : plain) << u;
        if (!withOption.isEmpty())
            m_data.execQ(groupGrantStatement(r.key, withOption, true));
        if (!plain.isEmpty())
            m_data.execQ(groupGrantStatement(r.key, plain, false));
    }
}

void removeAllGroupRows(TGrantData &data, OperationProgress &progress, const QString &group)
{
    StatusScope status(progress, QStringLiteral("Deleting..."));
    const GroupLayer before = readGroupLayer(data.grantdb);
    QVector<GroupRow> rows;
    for (const GroupRow &r : before.rows)
        if (r.group == group)
            rows << r;
    std::sort(rows.begin(), rows.end(), [](const GroupRow &a, const GroupRow &b) {
        return a.key.object != b.key.object ? a.key.object < b.key.object : a.id < b.id;
    });
    progress.startProgress(int(rows.size()));
    const GroupLayer after = before.withoutRowsOf(group);
    LostPrivilegeRevoker revoker(data, before, after);
    for (const GroupRow &r : rows) {
        revoker.revoke(r.key);
        progress.stepProgress();
    }
    data.execQ({QStringLiteral("delete from meta$grantlist where gfname=\"") + engine::quotedConstant(group)
                + QStringLiteral("\"")});
}

} // namespace privileges
