#include "privileges/GroupRevokes.h"

#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "engine/Table.h"

#include "privileges/AdminTables.h"
#include "privileges/GrantGroups.h"
#include "privileges/LayerChecks.h"
#include "privileges/PrivilegeKinds.h"
#include "privileges/RevokeRights.h"
#include "privileges/gdata_un.h"

namespace privileges {

QStringList keyNames(const PrivilegeKey &key)
{
    return key.column.isEmpty() ? QStringList{key.object} : QStringList{key.object, key.column};
}

void checkRevokedNames(const GroupLayer &before, const GroupLayer &after, const QVector<PrivilegeKey> &keys)
{
    QStringList names;
    for (const PrivilegeKey &key : keys) {
        const LostPrivilege lost = lostBy(before.receivers(key), after.receivers(key));
        if (!lost.revoke.isEmpty() || !lost.optionOnly.isEmpty())
            names << keyNames(key) << lost.optionOnly << lost.revoke;
    }
    requireNamable(names);
}

namespace {

bool isExecute(const PrivilegeKey &key)
{
    return key.privilege == QLatin1String("Execute");
}

// The lines both statements share: the privilege, its column and where.
QStringList privilegeLines(const QString &verb, const PrivilegeKey &key, const QStringList &users)
{
    checkPlainNames(keyNames(key) + users);
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
    if (lost.optionOnly.isEmpty() && lost.revoke.isEmpty())
        return;
    StillGiven still(m_data, m_after, key.object, key.privilege);
    if (!lost.optionOnly.isEmpty()) {
        checkRights(lost.optionOnly, key, true);
        m_data.execQ(groupRevokeStatement(key, lost.optionOnly, true));
    }
    if (!lost.revoke.isEmpty()) {
        checkRights(lost.revoke, key, false);
        m_data.execQ(groupRevokeStatement(key, lost.revoke, false));
        if (key.privilege == QLatin1String("Update") && key.column.isEmpty())
            for (const QString &u : lost.revoke)
                m_tableUpdateGone.insert(pairKey(key.object, u));
    }
    still.giveBack();
}

namespace {

// The highest grant option each user holds the privilege with, from any
// grantor, as the open transaction sees the catalogue.
QMap<QString, int> heldOptions(engine::Database &db, const PrivilegeKey &key)
{
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select rdb$user, max(rdb$grant_option) from rdb$user_privileges where rdb$relation_name=:t "
                            "and rdb$privilege=:p and rdb$user_type=8 and ")
             + (key.column.isEmpty() ? QStringLiteral("rdb$field_name is null") : QStringLiteral("rdb$field_name=:c"))
             + QStringLiteral(" group by rdb$user"));
    s.setParam(QStringLiteral("t"), key.object);
    s.setParam(QStringLiteral("p"), QString(privilegeLetter(key.privilege)));
    if (!key.column.isEmpty())
        s.setParam(QStringLiteral("c"), key.column);
    s.open();
    QMap<QString, int> out;
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r)
        out.insert(s.rows().text(r, 0).trimmed(), s.rows().value(r, 1).toInt());
    return out;
}

} // namespace

StillGiven::StillGiven(TGrantData &data, const GroupLayer &layer, const QString &object, const QString &privilege,
                       const QStringList &except)
    : m_data(data)
{
    QSet<QString> columns;
    for (const GroupRow &r : layer.rows) {
        if (r.key.object != object || r.key.privilege != privilege || columns.contains(r.key.column))
            continue;
        columns.insert(r.key.column);
        Given g{r.key, layer.receivers(r.key), {}};
        for (const QString &u : except)
            g.to.remove(u);
        if (g.to.isEmpty())
            continue;
        g.held = heldOptions(data.grantdb, r.key);
        m_given << g;
    }
}

void StillGiven::giveBack()
{
    for (const Given &g : m_given) {
        const QMap<QString, int> now = heldOptions(m_data.grantdb, g.key);
        QStringList plain, withOption;
        for (auto it = g.to.begin(); it != g.to.end(); ++it) {
            // Only what was held before and went: a user the layer names
            // without his holding it is not this revoke's doing.
            const int before = g.held.value(it.key(), -1), after = now.value(it.key(), -1);
            if (after < before && after < it.value())
                (it.value() == 1 ? withOption : plain) << it.key();
        }
        if (!withOption.isEmpty())
            m_data.execQ(groupGrantStatement(g.key, withOption, true));
        if (!plain.isEmpty())
            m_data.execQ(groupGrantStatement(g.key, plain, false));
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

namespace privileges {

QString removeAllQuestion()
{
    return QStringLiteral("Revoke all privileges?");
}

QString removeRowQuestion(const GroupRowOnPage &r)
{
    const PrivilegeKey &k = r.row.key;
    if (k.column.isEmpty())
        return QStringLiteral("Revoke %1 privilege on %2 %3 from GrantGroup %4?").arg(k.privilege, r.type, k.object, r.row.group);
    return QStringLiteral("Revoke %1 privilege on field %2 of %3 %4 from GrantGroup %5?")
        .arg(k.privilege, k.column, r.type, k.object, r.row.group);
}

QString switchOptionOffQuestion(const GroupRowOnPage &r)
{
    return QStringLiteral("Revoke grant option for ") + removeRowQuestion(r).mid(int(qstrlen("Revoke ")));
}

void checkGroupRowNames(const GroupRowOnPage &row)
{
    checkPlainNames(keyNames(row.row.key));
}

GroupRemovals::GroupRemovals(TGrantData &data, OperationProgress &progress) : m_data(data), m_progress(progress) {}

std::optional<GroupRowOnPage> GroupRemovals::currentRow() const
{
    engine::Table &list = m_data.MetaGrantlist;
    if (!list.isActive() || list.isEmpty())
        return std::nullopt;
    const auto text = [&](const char *field) { return list.fieldByName(QLatin1String(field)).asString().trimmed(); };
    GroupRowOnPage r;
    r.row.id = list.fieldByName(QStringLiteral("ID")).asInteger();
    r.row.group = text("GFNAME");
    r.row.key = PrivilegeKey{text("TVNAME"), text("TVCOLS"), text("GGTYPE")};
    r.row.option = list.fieldByName(QStringLiteral("GGOPTION")).asInteger();
    r.type = text("TVTYPE");
    return r;
}

QString GroupRemovals::cascadeNote(const GroupRowOnPage &r, int option)
{
    return m_data.transaction.run([&] {
        const GroupLayer before = readGroupLayer(m_data.grantdb);
        const GroupLayer after = option < 0 ? before.withoutRow(r.row.group, r.row.id)
                                            : before.withOption(r.row.group, r.row.id, option);
        const LostPrivilege lost = lostBy(before.receivers(r.row.key), after.receivers(r.row.key));
        const QStringList losing = lost.revoke + lost.optionOnly;
        if (losing.isEmpty())
            return QString();
        engine::Statement s(&m_data.grantdb);
        s.setSql(QStringLiteral("select distinct rdb$grantor from rdb$user_privileges where rdb$relation_name=:t "
                                "and rdb$privilege=:p and rdb$grantor<>rdb$user"));
        s.setParam(QStringLiteral("t"), r.row.key.object);
        s.setParam(QStringLiteral("p"), QString(privilegeLetter(r.row.key.privilege)));
        s.open();
        QStringList granted;
        for (qsizetype i = 0; i < s.rows().rowCount(); ++i)
            if (losing.contains(s.rows().text(i, 0).trimmed()))
                granted << s.rows().text(i, 0).trimmed();
        if (granted.isEmpty())
            return QString();
        granted.sort();
        return QStringLiteral("\r\n%1 granted this privilege on to others; the server revokes those grants with it.")
            .arg(granted.join(QStringLiteral(", ")));
    });
}

void GroupRemovals::RevokeGroupRow(const GroupRowOnPage &r)
{
    const GroupLayer before = readGroupLayer(m_data.grantdb);
    const GroupLayer after = before.withoutRow(r.row.group, r.row.id);
    LostPrivilegeRevoker(m_data, before, after).revoke(r.row.key);
}

void GroupRemovals::removeRow()
{
    const std::optional<GroupRowOnPage> r = currentRow();
    if (!r)
        return;
    // Refused before the transaction, whose pending work stays.
    checkGroupRowNames(*r);
    requireExisting(m_data, LayerName::GrantGroup, r->row.group);
    StatusScope status(m_progress, QStringLiteral("Deleting..."));
    changeGroupList(m_data, [&] {
        RevokeGroupRow(*r);
        m_data.MetaGrantlist.remove();
    });
}

void GroupRemovals::removeAll()
{
    const std::optional<GroupRowOnPage> r = currentRow();
    if (!r)
        return;
    requireExisting(m_data, LayerName::GrantGroup, r->row.group);
    engine::ControlsFrozen frozen(m_data.MetaGrantlist);
    changeGroupList(m_data, [&] { removeAllGroupRows(m_data, m_progress, r->row.group); });
}

void GroupRemovals::switchOption()
{
    const std::optional<GroupRowOnPage> r = currentRow();
    if (!r)
        return;
    checkGroupRowNames(*r);
    requireExisting(m_data, LayerName::GrantGroup, r->row.group);
    const int option = r->row.option != 0 ? 0 : 1;
    changeGroupList(m_data, [&] {
        const GroupLayer before = readGroupLayer(m_data.grantdb);
        // Switched off, only the grant option goes, and only from those who
        // got it nowhere else; the privilege itself stays with everybody.
        LostPrivilegeRevoker(m_data, before, before.withOption(r->row.group, r->row.id, option)).revoke(r->row.key);
        engine::Table &list = m_data.MetaGrantlist;
        list.edit();
        list.fieldByName(QStringLiteral("GGOPTION")).setValue(option);
        list.post();
        if (option == 0)
            return;
        const PrivilegeKey &k = r->row.key;
        const QStringList users = before.owners.withoutOwners(usersOfGroup(m_data, r->row.group), k.object);
        if (users.isEmpty())
            return;
        const QStringList grant = groupPrivilegeGrant(k, users, true);
        m_data.execQ(grant);
    });
}

} // namespace privileges
