#include "privileges/GroupArithmetic.h"

#include "engine/Statement.h"
#include "privileges/PrivilegeKinds.h"

#include <algorithm>

namespace privileges {

size_t qHash(const PrivilegeKey &key, size_t seed)
{
    return ::qHash(key.object, seed) ^ ::qHash(key.column, seed + 1) ^ ::qHash(key.privilege, seed + 2);
}

QStringList distinctNames(const QStringList &names)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString &n : names)
        if (!seen.contains(n)) {
            seen.insert(n);
            out << n;
        }
    return out;
}

QStringList ObjectOwners::withoutOwners(const QStringList &users, const QString &object) const
{
    QStringList out;
    for (const QString &u : users)
        if (!owns(u, object))
            out << u;
    return out;
}

QStringList GroupLayer::usersReached(const QString &group) const
{
    QSet<QString> users;
    for (const HolderAssignment &a : assignments) {
        if (a.group != group)
            continue;
        if (!a.userGroup) {
            users.insert(a.holder);
            continue;
        }
        for (const Membership &m : members)
            if (m.userGroup == a.holder)
                users.insert(m.user);
    }
    QStringList out(users.begin(), users.end());
    std::sort(out.begin(), out.end());
    return out;
}

QMap<QString, int> GroupLayer::receivers(const PrivilegeKey &key) const
{
    QMap<QString, int> out;
    QSet<QString> groupsDone;
    for (const GroupRow &r : rows) {
        if (!(r.key == key))
            continue;
        for (const QString &user : usersReached(r.group)) {
            if (owners.owns(user, key.object))
                continue;
            auto it = out.find(user);
            if (it == out.end())
                out.insert(user, r.option);
            else
                *it = std::max(*it, r.option);
        }
    }
    return out;
}

QVector<GivenPrivilege> GroupLayer::given() const
{
    // One pass over the rows, the reach of each group worked out once.
    QHash<QString, QStringList> reach;
    QMap<QString, GivenPrivilege> byKey; // sorted: user, object, privilege, column
    for (const GroupRow &r : rows) {
        auto it = reach.find(r.group);
        if (it == reach.end())
            it = reach.insert(r.group, usersReached(r.group));
        for (const QString &user : *it) {
            if (owners.owns(user, r.key.object))
                continue;
            const QString sortKey = QStringList{user, r.key.object, r.key.privilege, r.key.column}.join(QLatin1Char('\n'));
            auto g = byKey.find(sortKey);
            if (g == byKey.end())
                byKey.insert(sortKey, GivenPrivilege{user, r.key, r.option});
            else
                g->option = std::max(g->option, r.option);
        }
    }
    return QVector<GivenPrivilege>(byKey.begin(), byKey.end());
}

namespace {

template<typename T, typename Pred>
QVector<T> without(QVector<T> items, Pred gone)
{
    items.erase(std::remove_if(items.begin(), items.end(), gone), items.end());
    return items;
}

} // namespace

GroupLayer GroupLayer::withoutRow(const QString &group, int id) const
{
    GroupLayer l = *this;
    l.rows = without(rows, [&](const GroupRow &r) { return r.group == group && r.id == id; });
    return l;
}

GroupLayer GroupLayer::withoutRowsOf(const QString &group) const
{
    GroupLayer l = *this;
    l.rows = without(rows, [&](const GroupRow &r) { return r.group == group; });
    return l;
}

GroupLayer GroupLayer::withOption(const QString &group, int id, int option) const
{
    GroupLayer l = *this;
    for (GroupRow &r : l.rows)
        if (r.group == group && r.id == id)
            r.option = option;
    return l;
}

GroupLayer GroupLayer::withoutMember(const QString &userGroup, const QString &user) const
{
    GroupLayer l = *this;
    l.members = without(members, [&](const Membership &m) { return m.userGroup == userGroup && m.user == user; });
    return l;
}

GroupLayer GroupLayer::withoutAssignment(const QString &group, const QString &holder) const
{
    GroupLayer l = *this;
    l.assignments = without(assignments, [&](const HolderAssignment &a) { return a.group == group && a.holder == holder; });
    return l;
}

GroupLayer GroupLayer::withoutUser(const QString &user) const
{
    GroupLayer l = *this;
    l.assignments = without(assignments, [&](const HolderAssignment &a) { return !a.userGroup && a.holder == user; });
    l.members = without(members, [&](const Membership &m) { return m.user == user; });
    return l;
}

GroupLayer GroupLayer::withRenamedUser(const QString &oldName, const QString &newName) const
{
    GroupLayer l = *this;
    for (HolderAssignment &a : l.assignments)
        if (!a.userGroup && a.holder == oldName)
            a.holder = newName;
    for (Membership &m : l.members)
        if (m.user == oldName)
            m.user = newName;
    return l;
}

LostPrivilege lostBy(const QMap<QString, int> &before, const QMap<QString, int> &after)
{
    LostPrivilege lost;
    for (auto it = before.begin(); it != before.end(); ++it) {
        const auto left = after.find(it.key());
        if (left == after.end())
            lost.revoke << it.key();
        else if (it.value() == 1 && left.value() != 1)
            lost.optionOnly << it.key();
    }
    return lost;
}

QStringList trimmedColumn(const engine::Statement &s, int column)
{
    QStringList out;
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r)
        out << s.rows().text(r, column).trimmed();
    return out;
}

QString userWithoutRights(engine::Database &db, const QString &grantor, const QStringList &users,
                          const PrivilegeKey &key, bool withOption)
{
    if (users.isEmpty())
        return QString();
    engine::Statement s(&db);
    QString sql = QStringLiteral("select distinct rdb$user from rdb$user_privileges where rdb$grantor=:g and "
                                 "rdb$privilege=:p and rdb$relation_name=:t and rdb$user_type=8");
    if (withOption)
        sql += QStringLiteral(" and rdb$grant_option=1");
    if (!key.column.isEmpty())
        sql += QStringLiteral(" and rdb$field_name=:c");
    s.setSql(sql);
    s.setParam(QStringLiteral("g"), grantor);
    s.setParam(QStringLiteral("p"), QString(privilegeLetter(key.privilege)));
    s.setParam(QStringLiteral("t"), key.object);
    if (!key.column.isEmpty())
        s.setParam(QStringLiteral("c"), key.column);
    s.open();
    const QStringList holders = trimmedColumn(s, 0);
    for (const QString &u : users)
        if (!holders.contains(u))
            return u;
    return QString();
}

ObjectOwners readObjectOwners(engine::Database &db, const QString &object)
{
    engine::Statement s(&db);
    const QString one = object.isEmpty() ? QString() : QStringLiteral(" and rdb$relation_name=:t");
    s.setSql(QStringLiteral("select rdb$relation_name, rdb$owner_name from rdb$relations "
                            "where coalesce(rdb$system_flag,0)=0%1 union all "
                            "select rdb$procedure_name, rdb$owner_name from rdb$procedures "
                            "where coalesce(rdb$system_flag,0)=0%2")
                 .arg(one, object.isEmpty() ? QString() : QStringLiteral(" and rdb$procedure_name=:t")));
    if (!object.isEmpty())
        s.setParam(QStringLiteral("t"), object);
    s.open();
    ObjectOwners owners;
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r)
        owners.add(s.rows().text(r, 0).trimmed(), s.rows().text(r, 1).trimmed());
    return owners;
}

GroupLayer readGroupLayer(engine::Database &db)
{
    GroupLayer l;
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select id, gfname, tvname, coalesce(tvcols,''), ggtype, ggoption from meta$grantlist"));
    s.open();
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r) {
        const engine::RowSet &rows = s.rows();
        l.rows << GroupRow{rows.value(r, 0).toInt(), rows.text(r, 1).trimmed(),
                           PrivilegeKey{rows.text(r, 2).trimmed(), rows.text(r, 3).trimmed(), rows.text(r, 4).trimmed()},
                           rows.value(r, 5).toInt()};
    }
    s.close();
    s.setSql(QStringLiteral("select gfname, ufname, coalesce(utype,0) from meta$grantusers"));
    s.open();
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r) {
        const QString holder = s.rows().text(r, 1).trimmed();
        l.assignments << HolderAssignment{s.rows().text(r, 0).trimmed(), holder,
                                          s.rows().value(r, 2).toInt() == 2 && holder != QLatin1String("PUBLIC")};
    }
    s.close();
    s.setSql(QStringLiteral("select ufname, ualias from meta$userslist"));
    s.open();
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r)
        l.members << Membership{s.rows().text(r, 0).trimmed(), s.rows().text(r, 1).trimmed()};
    s.close();
    l.owners = readObjectOwners(db);
    return l;
}

} // namespace privileges
