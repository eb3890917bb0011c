#include "privileges/ImportPlan.h"

#include "engine/SqlText.h"
#include "privileges/AdminTables.h"
#include "privileges/PrivilegeKinds.h"

#include <QMap>
#include <tuple>

namespace privileges {

namespace {

QString typeWord(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::Table:
        return QStringLiteral("Table");
    case ObjectKind::View:
        return QStringLiteral("View");
    case ObjectKind::Procedure:
        return QStringLiteral("Procedure");
    case ObjectKind::Other:
        break;
    }
    return QString();
}

bool importable(const CataloguePrivilege &r)
{
    if (r.kind == ObjectKind::Other || privilegeWord(r.letter).isEmpty())
        return false;
    // Execute belongs to procedures, the other four to relations.
    if ((r.letter == QLatin1Char('X')) != (r.kind == ObjectKind::Procedure))
        return false;
    if (r.user == r.owner)
        return false;
    return !isAdminTable(r.relation);
}

} // namespace

QString groupName(const QString &user)
{
    return user + QStringLiteral("_Group");
}

QVector<UserImport> planImport(const QVector<CataloguePrivilege> &rows)
{
    // Keyed by what makes a privilege one privilege; the grantor is not part
    // of it, so two grantors' rows fold into one.
    using Key = std::tuple<QString, QString, QString, QString>; // relation, letter, field ("" whole), kind
    QMap<QString, QMap<Key, GroupPrivilege>> byUser;
    for (const CataloguePrivilege &r : rows) {
        if (!importable(r))
            continue;
        const Key key{r.relation, QString(r.letter), r.field.isNull() ? QString() : QStringLiteral("~") + r.field,
                      typeWord(r.kind)};
        auto &privileges = byUser[r.user];
        auto it = privileges.find(key);
        const int option = r.grantOption > 0 ? 1 : 0;
        if (it == privileges.end())
            privileges.insert(key, GroupPrivilege{r.relation, typeWord(r.kind), r.field, privilegeWord(r.letter), option});
        else
            it->option = std::max(it->option, option);
    }
    QVector<UserImport> plan;
    for (auto u = byUser.cbegin(); u != byUser.cend(); ++u)
        plan.append(UserImport{u.key(), u.value().values().toVector()});
    return plan;
}

QString importNameProblem(const QVector<UserImport> &plan)
{
    for (const UserImport &u : plan) {
        if (!engine::isPlainIdentifier(u.user))
            return QStringLiteral("Cannot import the privileges of \"%1\": it is not a plain user name.").arg(u.user);
        if (!engine::isPlainIdentifier(groupName(u.user)))
            return QStringLiteral("Cannot import the privileges of user %1: the GrantGroup name %2 is longer than "
                                  "31 characters.")
                .arg(u.user, groupName(u.user));
        for (const GroupPrivilege &p : u.privileges)
            for (const QString &name : {p.relation, p.field})
                if (!name.isNull() && !engine::isPlainIdentifier(name))
                    return QStringLiteral("Cannot import the privileges on \"%1\": it is not a plain name.").arg(name);
    }
    return QString();
}

QStringList cataloguePrivilegesSql()
{
    return {
        QStringLiteral("select a.rdb$user, a.rdb$privilege, a.rdb$grant_option, a.rdb$relation_name, a.rdb$field_name,"),
        QStringLiteral(" case when r.rdb$relation_name is null then"),
        QStringLiteral("   case when p.rdb$procedure_name is null then 0 else 3 end"),
        QStringLiteral("  when r.rdb$view_blr is null then 1 else 2 end,"),
        QStringLiteral(" coalesce(r.rdb$owner_name, p.rdb$owner_name)"),
        QStringLiteral(" from rdb$user_privileges a"),
        QStringLiteral(" left join rdb$relations r on a.rdb$object_type = 0 and r.rdb$relation_name = a.rdb$relation_name"),
        QStringLiteral("  and coalesce(r.rdb$system_flag, 0) = 0"),
        QStringLiteral(" left join rdb$procedures p on a.rdb$object_type = 5 and p.rdb$procedure_name = a.rdb$relation_name"),
        QStringLiteral("  and p.rdb$package_name is null and coalesce(p.rdb$system_flag, 0) = 0"),
        QStringLiteral(" where a.rdb$user_type = 8"),
    };
}

QVector<QStringList> userImportStatements(int n, const QString &user)
{
    const QString u = engine::singleQuotedConstant(user);
    const QString g = engine::singleQuotedConstant(groupName(user));
    return {
        {QStringLiteral("insert into meta$usersdef values('") + u + QStringLiteral("',null,0)")},
        {QStringLiteral("insert into meta$grantdef values('") + g + QStringLiteral("',null)")},
        {QStringLiteral("insert into meta$grantusers values(%1,'").arg(n) + g + QStringLiteral("',"),
         QStringLiteral("'") + u + QStringLiteral("',0)")},
        {QStringLiteral("insert into meta$usersgrant values(%1,'").arg(n) + g + QStringLiteral("',"),
         QStringLiteral("'") + u + QStringLiteral("')")},
    };
}

QStringList groupPrivilegeInsert(int k, const QString &user, const GroupPrivilege &p)
{
    const QString tail = QStringLiteral("'") + p.word + QStringLiteral("',%1)").arg(p.option);
    return {QStringLiteral("insert into meta$grantlist values(%1,'").arg(k)
                + engine::singleQuotedConstant(groupName(user)) + QStringLiteral("',"),
            QStringLiteral("'") + engine::singleQuotedConstant(p.relation) + QStringLiteral("','") + p.type
                + QStringLiteral("',"),
            p.field.isNull() ? QStringLiteral("null,") + tail
                             : QStringLiteral("'") + engine::singleQuotedConstant(p.field) + QStringLiteral("',") + tail};
}

} // namespace privileges
