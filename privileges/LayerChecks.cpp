#include "privileges/LayerChecks.h"

#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "privileges/GroupArithmetic.h"
#include "privileges/gdata_un.h"

namespace privileges {

namespace {

QString kindWord(LayerName kind)
{
    switch (kind) {
    case LayerName::GrantGroup: return QStringLiteral("GrantGroup");
    case LayerName::User: return QStringLiteral("User");
    case LayerName::UserGroup: return QStringLiteral("UserGroup");
    case LayerName::Holder: break;
    }
    return QStringLiteral("User or UserGroup");
}

// The first column of what the statement returns, values trimmed.
QStringList namesOf(engine::Statement &s)
{
    s.open();
    return trimmedColumn(s, 0);
}

// The names of a kind as the open transaction sees them.
QStringList registered(TGrantData &data, LayerName kind, const QString &name = QString())
{
    QString sql;
    switch (kind) {
    case LayerName::GrantGroup: sql = QStringLiteral("select ggname from meta$grantdef where 1=1"); break;
    case LayerName::User:
        sql = QStringLiteral("select ugname from meta$usersdef where coalesce(usertype,0)=0 and ugname<>'PUBLIC'");
        break;
    case LayerName::UserGroup:
        sql = QStringLiteral("select ugname from meta$usersdef where usertype=2 and ugname<>'PUBLIC'");
        break;
    case LayerName::Holder: sql = QStringLiteral("select ugname from meta$usersdef where 1=1"); break;
    }
    engine::Statement s(&data.grantdb);
    if (!name.isEmpty())
        sql += kind == LayerName::GrantGroup ? QStringLiteral(" and ggname=:n") : QStringLiteral(" and ugname=:n");
    s.setSql(sql);
    if (!name.isEmpty())
        s.setParam(QStringLiteral("n"), name);
    return namesOf(s);
}

QStringList membersOf(TGrantData &data, const QString &userGroup)
{
    engine::Statement s(&data.grantdb);
    s.setSql(QStringLiteral("select ualias from meta$userslist where ufname=:g"));
    s.setParam(QStringLiteral("g"), userGroup);
    return namesOf(s);
}

[[noreturn]] void refuse(TGrantData &data, const QString &text)
{
    try {
        data.showCurrentLayer();
    } catch (const engine::Error &) {
        // The refusal is what the user must see.
    }
    throw LayerRefusal(text);
}

} // namespace

QString goneText(LayerName kind, const QString &name)
{
    return QStringLiteral("%1 \"%2\" no longer exists: another session deleted it. Nothing was changed; the lists show "
                          "what is there now.")
        .arg(kindWord(kind), name);
}

QString notAUserText(const QString &name)
{
    return QStringLiteral("\"%1\" is not a registered user: only users join a UserGroup.").arg(name);
}

QString alreadyMemberText(const QString &user, const QString &userGroup)
{
    return QStringLiteral("User '%1' is already a member of UserGroup \"%2\".").arg(user, userGroup);
}

void requireNamable(const QStringList &names)
{
    for (const QString &name : names) {
        const QString reason = engine::unnamableText(name);
        if (!reason.isEmpty())
            throw LayerRefusal(reason + QStringLiteral(" Nothing was sent."));
    }
}

void requireExisting(TGrantData &data, LayerName kind, const QString &name)
{
    const bool there = data.transaction.run([&] { return !registered(data, kind, name).isEmpty(); });
    if (!there)
        refuse(data, goneText(kind, name));
}

QStringList registeredNames(TGrantData &data, LayerName kind)
{
    return data.transaction.run([&] { return registered(data, kind); });
}

void requireJoinable(TGrantData &data, const QString &user, const QString &userGroup)
{
    requireExisting(data, LayerName::UserGroup, userGroup);
    QString problem;
    data.transaction.run([&] {
        if (registered(data, LayerName::User, user).isEmpty())
            problem = notAUserText(user);
        else if (membersOf(data, userGroup).contains(user))
            problem = alreadyMemberText(user, userGroup);
    });
    if (!problem.isEmpty())
        refuse(data, problem);
}

QStringList joinableUsers(TGrantData &data, const QStringList &names, const QString &userGroup)
{
    return data.transaction.run([&] {
        const QStringList users = registered(data, LayerName::User);
        const QStringList members = membersOf(data, userGroup);
        QStringList out;
        for (const QString &n : names)
            if (users.contains(n) && !members.contains(n) && !out.contains(n))
                out << n;
        return out;
    });
}

} // namespace privileges
