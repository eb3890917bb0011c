#include "privileges/ImportPlan.h"

#include "engine/Database.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "privileges/AdminTables.h"
#include "privileges/PrivilegeKinds.h"

#include <algorithm>
#include <functional>
#include <tuple>
#include <vector>

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
    // Sorted by what makes a privilege one privilege; the grantor is not part
    // of it, so the rows of several grantors end up side by side and fold
    // into one.
    std::vector<const CataloguePrivilege *> kept;
    kept.reserve(size_t(rows.size()));
    for (const CataloguePrivilege &r : rows)
        if (importable(r))
            kept.push_back(&r);
    const auto key = [](const CataloguePrivilege *r) {
        return std::make_tuple(std::cref(r->user), std::cref(r->relation), r->letter.unicode(), !r->field.isNull(),
                               std::cref(r->field));
    };
    std::sort(kept.begin(), kept.end(), [&](const CataloguePrivilege *x, const CataloguePrivilege *y) {
        return key(x) < key(y);
    });
    QVector<UserImport> plan;
    const CataloguePrivilege *previous = nullptr;
    for (const CataloguePrivilege *r : kept) {
        const int option = r->grantOption > 0 ? 1 : 0;
        if (previous && key(previous) == key(r)) {
            int &held = plan.last().privileges.last().option;
            held = std::max(held, option);
            continue;
        }
        if (!previous || previous->user != r->user)
            plan.append(UserImport{r->user, {}});
        plan.last().privileges.append(GroupPrivilege{r->relation, typeWord(r->kind), r->field, privilegeWord(r->letter), option});
        previous = r;
    }
    return plan;
}

QStringList leaveOutUnnamable(QVector<UserImport> &plan)
{
    QStringList leftOut;
    QVector<UserImport> kept;
    for (UserImport &u : plan) {
        QString why = engine::unnamableText(u.user);
        if (why.isEmpty() && !engine::isIdentifier(groupName(u.user)))
            why = QStringLiteral("the GrantGroup name %1 is longer than 31 characters.").arg(groupName(u.user));
        if (!why.isEmpty()) {
            leftOut << QStringLiteral("Every privilege of %1: %2").arg(u.user, why);
            continue;
        }
        QVector<GroupPrivilege> named;
        for (const GroupPrivilege &p : u.privileges) {
            QString reason = engine::unnamableText(p.relation);
            if (reason.isEmpty() && !p.field.isNull())
                reason = engine::unnamableText(p.field);
            if (reason.isEmpty()) {
                named << p;
                continue;
            }
            const QString word = p.field.isNull() ? p.word : p.word + QLatin1Char('(') + p.field + QLatin1Char(')');
            leftOut << QStringLiteral("%1 on %2 to %3: %4").arg(word, p.relation, u.user, reason);
        }
        if (named.isEmpty())
            continue;
        u.privileges = named;
        kept << u;
    }
    plan = kept;
    return leftOut;
}

QString leftOutText(const QStringList &leftOut)
{
    return QStringLiteral("The GrantGroups were created without these privileges, which the statements of this "
                          "program cannot name:\r\n")
           + leftOut.join(QStringLiteral("\r\n"));
}

QStringList cataloguePrivilegesSql()
{
    // Names travel as 31 single-byte characters (the catalogue's own columns
    // are four times as wide), so the thousands of rows of a large database
    // cost a quarter of the transfer; a name that is not plain ASCII fails
    // the name check anyway.
    return {
        QStringLiteral("select cast(a.rdb$user as varchar(31) character set none), a.rdb$privilege, a.rdb$grant_option,"),
        QStringLiteral(" cast(a.rdb$relation_name as varchar(31) character set none),"),
        QStringLiteral(" cast(a.rdb$field_name as varchar(31) character set none),"),
        QStringLiteral(" case when r.rdb$relation_name is null then"),
        QStringLiteral("   case when p.rdb$procedure_name is null then 0 else 3 end"),
        QStringLiteral("  when r.rdb$view_blr is null then 1 else 2 end,"),
        QStringLiteral(" cast(coalesce(r.rdb$owner_name, p.rdb$owner_name) as varchar(31) character set none)"),
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

namespace {

CataloguePrivilege catalogueRow(const engine::RowSet &rows, qsizetype i)
{
    static const ObjectKind kinds[] = {ObjectKind::Other, ObjectKind::Table, ObjectKind::View, ObjectKind::Procedure};
    CataloguePrivilege p;
    p.user = rows.text(i, 0).trimmed();
    const QString letter = rows.text(i, 1).trimmed();
    p.letter = letter.isEmpty() ? QChar() : letter.at(0);
    p.grantOption = rows.value(i, 2).toInt();
    p.relation = rows.text(i, 3).trimmed();
    if (!rows.isNull(i, 4))
        p.field = rows.text(i, 4).trimmed();
    const int kind = rows.value(i, 5).toInt();
    p.kind = kind >= 0 && kind <= 3 ? kinds[kind] : ObjectKind::Other;
    p.owner = rows.text(i, 6).trimmed();
    return p;
}

} // namespace

QVector<UserImport> readImportPlan(engine::Database &db)
{
    engine::Statement s(&db);
    s.setSql(cataloguePrivilegesSql());
    s.open();
    QVector<CataloguePrivilege> rows;
    rows.reserve(int(s.rows().rowCount()));
    for (qsizetype i = 0; i < s.rows().rowCount(); ++i)
        rows.append(catalogueRow(s.rows(), i));
    return planImport(rows);
}

} // namespace privileges
