#include "privileges/RevokeRights.h"

#include "engine/DataSet.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "privileges/PrivilegeKinds.h"

namespace privileges {

QString revokeRefusalText()
{
    return QStringLiteral("You have not enough rights for revocation privileges from given user/UserGroup");
}

QString revokeRightsFilter(const QString &grantor, const QString &privilegeWord, const QString &object,
                           const QString &column, bool withOption, const QString &user)
{
    using engine::singleQuotedConstant;
    QString f = QStringLiteral("([rdb$grantor]='") + singleQuotedConstant(grantor) + QStringLiteral("') and ([rdb$privilege]='")
        + QString(privilegeLetter(privilegeWord)) + QStringLiteral("') and ([rdb$relation_name]='")
        + singleQuotedConstant(object) + QStringLiteral("')");
    if (withOption)
        f += QStringLiteral(" and ([rdb$grant_option]='1')");
    if (!column.isEmpty())
        f += QStringLiteral(" and ([rdb$field_name]='") + singleQuotedConstant(column) + QStringLiteral("')");
    return f + QStringLiteral(" and ([rdb$user]='") + singleQuotedConstant(user) + QStringLiteral("')");
}

bool CheckRevokeRights(engine::DataSet &trigList, const QString &grantor, const QStringList &users,
                       const QString &privilegeWord, const QString &object, const QString &column, bool withOption)
{
    if (!trigList.isActive())
        trigList.open();
    engine::ControlsFrozen frozen(trigList);
    const QString savedFilter = trigList.filter();
    const bool savedFiltered = trigList.isFiltered();
    struct PutBack {
        engine::DataSet &ds;
        const QString &filter;
        bool filtered;
        ~PutBack()
        {
            ds.setFilter(filter);
            ds.setFiltered(filtered);
        }
    } putBack{trigList, savedFilter, savedFiltered};
    trigList.setFiltered(true);
    for (const QString &user : users) {
        trigList.setFilter(revokeRightsFilter(grantor, privilegeWord, object, column, withOption, user));
        if (trigList.isEmpty())
            return true;
    }
    return false;
}

QString sessionUser(engine::Database &db)
{
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select current_user from rdb$database"));
    s.open();
    return s.rows().text(0, 0).trimmed();
}

void checkPlainNames(const QStringList &names, const QString &nothingDone)
{
    for (const QString &name : names)
        if (!engine::isPlainIdentifier(name))
            throw engine::Error(QStringLiteral("\"%1\" is not a plain name; nothing was %2.").arg(name, nothingDone));
}

QStringList revokeStatement(const QString &privilegeWord, const QString &column, const QString &object,
                            const QStringList &users)
{
    QStringList names{object};
    if (!column.isEmpty())
        names << column;
    names << users;
    checkPlainNames(names, QStringLiteral("revoked"));
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
