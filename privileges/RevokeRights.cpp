#include "privileges/RevokeRights.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "privileges/GroupArithmetic.h"

namespace privileges {

QString revokeRefusalText()
{
    return QStringLiteral("You have not enough rights for revocation privileges from given user/UserGroup");
}

bool CheckRevokeRights(engine::Database &db, const QString &grantor, const QStringList &users,
                       const QString &privilegeWord, const QString &object, const QString &column, bool withOption)
{
    return !userWithoutRights(db, grantor, users, PrivilegeKey{object, column, privilegeWord}, withOption).isEmpty();
}

QString sessionUser(engine::Database &db)
{
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select current_user from rdb$database"));
    s.open();
    return s.rows().text(0, 0).trimmed();
}

void checkPlainNames(const QStringList &names)
{
    for (const QString &name : names)
        engine::requirePlainIdentifier(name);
}

QStringList revokeStatement(const QString &privilegeWord, const QString &column, const QString &object,
                            const QStringList &users)
{
    QStringList names{object};
    if (!column.isEmpty())
        names << column;
    names << users;
    checkPlainNames(names);
    QStringList lines{QStringLiteral("revoke ") + privilegeWord};
    if (!column.isEmpty())
        lines << QStringLiteral("(") + column + QStringLiteral(")");
    lines << QStringLiteral(" on ");
    if (privilegeWord == QLatin1String("Execute"))
        lines << QStringLiteral("procedure ");
    lines << object << QStringLiteral("from ") + users.join(QLatin1Char(','));
    return lines;
}

} // namespace privileges
