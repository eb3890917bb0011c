#include "privileges/UserRegistry.h"

#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Statement.h"
#include "privileges/AdminTables.h"
#include "privileges/GroupArithmetic.h"
#include "privileges/GroupRevokes.h"
#include "privileges/LayerChecks.h"
#include "privileges/MetaTrees.h"
#include "privileges/RevokeRights.h"
#include "privileges/UserGroupMembers.h"
#include "privileges/gdata_un.h"

namespace privileges {

QString uniqueUserText()
{
    return QStringLiteral("Each user/UserGroup must have unique name. Please enter another name");
}

QString uniqueUserGroupRenameText()
{
    return QStringLiteral("Each user/UserGroup must have unique name. Please, enter another name");
}

QString userNameProblem(const QString &name)
{
    // The name stands bare in GRANT and REVOKE, where a dialect-1 statement
    // can name no other user than a plain upper-case one that is no
    // reserved word.
    if (name.isEmpty())
        return QStringLiteral("Fill user name");
    if (!engine::isPlainIdentifier(name))
        return QStringLiteral("A user name is a letter followed by letters, digits, \"_\" or \"$\", in upper case, "
                              "at most 31 characters");
    return QString();
}

QString deleteUserQuestion(const QString &user)
{
    return QStringLiteral("Do you really want to delete user") + QLatin1Char(' ') + user + QLatin1Char('?');
}

QString deleteUserGroupQuestion(const QString &userGroup)
{
    return QStringLiteral("Do you really want to delete user") + QStringLiteral("group ") + userGroup + QLatin1Char('?');
}

QString userDescription(const QString &first, const QString &middle, const QString &last)
{
    return first + QLatin1Char(' ') + middle + QLatin1Char(' ') + last;
}

NameParts splitUserDescription(const QString &description)
{
    const qsizetype one = description.indexOf(QLatin1Char(' '));
    if (one < 0)
        return {description, QString(), QString()};
    const qsizetype two = description.indexOf(QLatin1Char(' '), one + 1);
    if (two < 0)
        return {description.left(one), description.mid(one + 1), QString()};
    return {description.left(one), description.mid(one + 1, two - one - 1), description.mid(two + 1)};
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

// The privileges the grant groups give one user.
QVector<GivenPrivilege> givenTo(const GroupLayer &layer, const QString &user)
{
    QVector<GivenPrivilege> out;
    for (const GivenPrivilege &g : layer.given())
        if (g.user == user)
            out << g;
    return out;
}

// A check's LayerRefusal raised as the registry's refusal: nothing was
// sent, the open transaction and the pages' pending work stay.
template<typename F>
void asRegistryRefusal(F &&check)
{
    try {
        check();
    } catch (const LayerRefusal &e) {
        throw RegistryRefusal(e.message());
    }
}

} // namespace

UserRegistry::UserRegistry(TGrantData &data, OperationProgress &progress) : m_data(data), m_progress(progress) {}

void UserRegistry::change(const std::function<void()> &work)
{
    try {
        m_data.transaction.run(work);
        m_data.transaction.commit();
    } catch (...) {
        // The lists show what is there again, the first error is shown.
        try {
            reopenLists();
        } catch (const engine::Error &) {
        }
        throw;
    }
    reopenLists();
    // A rename or deletion grants and revokes: the privilege list, open
    // since the connect, would go on showing the old grantee's rows.
    if (m_data.TrigList.isActive())
        m_data.reopenTrigList();
}

void UserRegistry::reopenLists()
{
    if (!m_data.usersdef.isActive() && !m_data.usergrp.isActive())
        return;
    refreshPageData(m_data, QStringLiteral("UserGroups"));
    m_data.FilterUsersDef(m_data.usersgrp, false);
}

void UserRegistry::refuseGone(LayerName kind, const QString &name)
{
    asRegistryRefusal([&] { requireExisting(m_data, kind, name); });
}

void UserRegistry::refuseTakenName(const QString &name, const QString &text)
{
    // Asked in the open transaction, which sees its own pending rows; a
    // refusal sends nothing, so the work pending on the pages stays.
    bool taken = false;
    m_data.transaction.run([&] {
        taken = !m_data.namesQ({QStringLiteral("select ugname from meta$usersdef where ugname=") + dq(name)}).isEmpty();
    });
    if (taken)
        throw RegistryRefusal(text, engine::ErrorCategory::KeyViolation);
}

QString UserRegistry::describedAs(const RegistryEdit &edit)
{
    return fitToColumn(m_data, QStringLiteral("META$USERSDEF"), QStringLiteral("UGDESC"), edit.description);
}

void UserRegistry::saveUser(const RegistryEdit &edit)
{
    const bool rename = !edit.adding && edit.nameModified && edit.name != edit.oldName;
    if (!edit.adding)
        refuseGone(LayerName::User, edit.oldName);
    if (edit.adding || rename) {
        const QString problem = userNameProblem(edit.name);
        if (!problem.isEmpty())
            throw RegistryRefusal(problem);
        refuseTakenName(edit.name, uniqueUserText());
    }
    if (rename)
        checkUserNames(edit.oldName, edit.name);
    change([&] {
        const QString description = describedAs(edit);
        if (edit.adding || rename)
            m_data.execQ({QStringLiteral("insert into meta$usersdef values(") + sq(edit.name) + QLatin1Char(',')
                          + sq(description) + QStringLiteral(",0)")});
        if (rename)
            renameUser(edit.oldName, edit.name);
        else if (!edit.adding)
            m_data.execQ({QStringLiteral("update meta$usersdef set ugdesc=") + sq(description)
                          + QStringLiteral(" where ugname=") + sq(edit.oldName)});
    });
}

void UserRegistry::checkUserNames(const QString &user, const QString &newName)
{
    const auto [before, after] = m_data.transaction.run([&] {
        const GroupLayer layer = readGroupLayer(m_data.grantdb);
        return std::make_pair(layer, newName.isEmpty() ? layer.withoutUser(user) : layer.withRenamedUser(user, newName));
    });
    QStringList granted;
    if (!newName.isEmpty())
        for (const GivenPrivilege &g : givenTo(after, newName))
            granted << keyNames(g.key) << newName;
    QVector<PrivilegeKey> keys;
    for (const GivenPrivilege &g : givenTo(before, user))
        keys << g.key;
    asRegistryRefusal([&] {
        requireNamable(granted);
        checkRevokedNames(before, after, keys);
    });
}

void UserRegistry::renameUser(const QString &oldName, const QString &newName)
{
    // The new name receives what the groups gave the old one (less what he
    // owns himself), then the old loses it (less what he owns).
    const GroupLayer before = readGroupLayer(m_data.grantdb);
    const GroupLayer after = before.withRenamedUser(oldName, newName);
    for (const GivenPrivilege &g : givenTo(after, newName))
        m_data.execQ(groupGrantStatement(g.key, {newName}, g.option == 1));
    LostPrivilegeRevoker revoker(m_data, before, after);
    for (const GivenPrivilege &g : givenTo(before, oldName))
        revoker.revoke(g.key);
    const QString o = dq(oldName), n = dq(newName);
    m_data.execQ({QStringLiteral("delete from meta$usersdef where ugname=") + o});
    m_data.execQ({QStringLiteral("update meta$userslist set ualias=") + n + QStringLiteral(" where ualias="), o});
    m_data.execQ({QStringLiteral("update meta$usersgrant set ufname=") + n + QStringLiteral(" where ufname="), o});
    m_data.execQ({QStringLiteral("update meta$grantusers set ufname=") + n + QStringLiteral(" where ufname="), o});
}

void UserRegistry::saveUserGroup(const RegistryEdit &edit)
{
    const bool rename = !edit.adding && edit.nameModified && edit.name != edit.oldName;
    if (edit.name.isEmpty())
        throw RegistryRefusal(QStringLiteral("Fill UserGroup name"));
    if (!edit.adding)
        refuseGone(LayerName::UserGroup, edit.oldName);
    if (edit.adding || rename)
        refuseTakenName(edit.name, edit.adding ? uniqueUserText() : uniqueUserGroupRenameText());
    const QString o = dq(edit.oldName), n = dq(edit.name);
    change([&] {
        const QString description = describedAs(edit);
        if (edit.adding) {
            m_data.execQ({QStringLiteral("insert into meta$usersdef values(") + sq(edit.name) + QLatin1Char(',')
                          + sq(description) + QStringLiteral(",2)")});
        } else if (rename) {
            m_data.execQ({QStringLiteral("update meta$usersdef set ugdesc=") + sq(description)
                              + QStringLiteral(", ugname=") + sq(edit.name) + QStringLiteral(" where ugname="),
                          o});
            m_data.execQ({QStringLiteral("update meta$userslist set ufname=") + n + QStringLiteral(" where ufname="), o});
            m_data.execQ({QStringLiteral("update meta$grantusers set ufname=") + n + QStringLiteral(" where ufname="), o});
        } else {
            m_data.execQ({QStringLiteral("update meta$usersdef set ugdesc=") + sq(description)
                              + QStringLiteral(" where ugname="),
                          o});
        }
    });
}

void UserRegistry::deleteUser(const QString &user)
{
    refuseGone(LayerName::User, user);
    checkUserNames(user, QString());
    change([&] {
        const GroupLayer before = readGroupLayer(m_data.grantdb);
        const GroupLayer after = before.withoutUser(user);
        LostPrivilegeRevoker revoker(m_data, before, after);
        for (const GivenPrivilege &g : givenTo(before, user))
            revoker.revoke(g.key);
        const QString u = dq(user);
        m_data.execQ({QStringLiteral("delete from meta$usersgrant where ufname=") + u});
        m_data.execQ({QStringLiteral("delete from meta$userslist where ualias=") + u});
        m_data.execQ({QStringLiteral("delete from meta$grantusers where ufname=") + u});
        m_data.execQ({QStringLiteral("delete from meta$usersdef where ugname=") + u});
    });
}

bool UserRegistry::currentUserGroupHasMembers()
{
    const QString group = TGrantData::currentName(m_data.usergrp, QStringLiteral("UGNAME"), QStringLiteral("UserGroup"));
    return m_data.transaction.run([&] {
        return !m_data.namesQ({QStringLiteral("select ualias from meta$userslist where ufname=") + dq(group)}).isEmpty();
    });
}

void UserRegistry::deleteCurrentUserGroup()
{
    const QString group = TGrantData::currentName(m_data.usergrp, QStringLiteral("UGNAME"), QStringLiteral("UserGroup"));
    refuseGone(LayerName::UserGroup, group);
    UserGroupMembers members(m_data, m_progress);
    asRegistryRefusal([&] { members.checkLeaving(group); });
    change([&] {
        members.removeAllMembers();
        m_data.execQ({QStringLiteral("delete from meta$grantusers where ufname=") + dq(group)});
        m_data.execQ({QStringLiteral("delete from meta$usersdef where ugname=") + dq(group)});
    });
}

PagePairs pagePairs(const PageSituation &s)
{
    if (!s.group || s.editorOpen || (!s.members && !s.candidates))
        return {};
    return {s.candidates, s.members, s.pending};
}

ButtonsState ubuttons(const ButtonsSituation &s)
{
    ButtonsState out;
    out.userPairs = pagePairs(s.users);
    PageSituation holders = s.holders;
    holders.editorOpen = false; // the assignment page has no editor
    out.holderPairs = pagePairs(holders);
    if (s.page == ActivePage::GrantAction)
        out.holderItems = out.holderPairs;
    if (s.page != ActivePage::UserGroups)
        return out;
    out.userItems = out.userPairs;
    out.userMenus = !s.users.pending && !s.users.editorOpen;
    out.uplus = out.ugplus = out.userMenus;
    out.umodify = out.uminus = out.userMenus && s.userRows;
    out.ugmodify = out.ugminus = out.userMenus && s.groupRows;
    return out;
}

QString serverUsersListStatement(bool unregisteredOnly)
{
    // The server keeps no users table a query could join across databases;
    // the managed connection lists them itself, and compares with the
    // registered users in the same statement.
    QString sql = QStringLiteral("select sec$user_name as user_name,sec$first_name as first_name,"
                                 "sec$middle_name as middle_name,sec$last_name as last_name from sec$users "
                                 "where (sec$user_name<>'SYSDBA')");
    if (unregisteredOnly)
        sql += QStringLiteral(" and (sec$user_name not in (select upper(meta$usersdef.ugname) from "
                              "meta$usersdef where meta$usersdef.usertype=0))");
    return sql + QStringLiteral(" order by 1");
}

bool seesOwnUserOnly(engine::Database &db)
{
    // An administrator sees at least SYSDBA beside himself.
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select current_user, (select count(*) from sec$users where sec$user_name<>current_user) "
                            "from rdb$database"));
    s.open();
    return s.rows().text(0, 0).trimmed() != QLatin1String("SYSDBA") && s.rows().value(0, 1).toInt() == 0;
}

QString ownUserOnlyText()
{
    return QStringLiteral("Only your own user is listed: the server shows its other users to administrators only.");
}

} // namespace privileges
