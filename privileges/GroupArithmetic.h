#pragma once

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

namespace engine {
class Database;
class Statement;
}

// What the grant groups give each user, worked out once for every page
// that adds or takes away group privileges. The rule: a user receives the
// union, over the grant groups that reach him, of their privilege rows,
// with the highest grant option among them; never a privilege on an object
// he owns. A group reaches a user or PUBLIC assigned to it directly, and
// every member of a user group assigned to it. Whole-object privileges are
// stored with a NULL or an empty column; here both read as the empty text,
// so they are the same privilege.
namespace privileges {

struct PrivilegeKey {
    QString object;
    QString column;    // empty: the whole object
    QString privilege; // "Select", "Insert", "Delete", "Update", "Execute"

    bool operator==(const PrivilegeKey &o) const
    {
        return object == o.object && column == o.column && privilege == o.privilege;
    }
};
size_t qHash(const PrivilegeKey &key, size_t seed = 0);

struct GroupRow {
    int id = 0;
    QString group;
    PrivilegeKey key;
    int option = 0;
};

struct HolderAssignment {
    QString group;
    QString holder;
    bool userGroup = false; // a user group (PUBLIC counts as a user here)
};

struct Membership {
    QString userGroup;
    QString user;
};

// Who owns which table, view or procedure.
class ObjectOwners {
public:
    void add(const QString &object, const QString &owner) { m_pairs.insert(object + QLatin1Char('\n') + owner); }
    bool owns(const QString &user, const QString &object) const
    {
        return m_pairs.contains(object + QLatin1Char('\n') + user);
    }
    // The users less those who own the object, order kept.
    QStringList withoutOwners(const QStringList &users, const QString &object) const;

private:
    QSet<QString> m_pairs;
};

// A user's privilege as the groups give it.
struct GivenPrivilege {
    QString user;
    PrivilegeKey key;
    int option = 0;
    bool operator==(const GivenPrivilege &o) const { return user == o.user && key == o.key && option == o.option; }
};

// The users losing a privilege, or only its grant option, by a change.
struct LostPrivilege {
    QStringList revoke;     // no longer receive it at all
    QStringList optionOnly; // still receive it, no longer with grant option
};

// The administrative tables as plain data, and what they give.
struct GroupLayer {
    QVector<GroupRow> rows;
    QVector<HolderAssignment> assignments;
    QVector<Membership> members;
    ObjectOwners owners;

    // The users and PUBLIC a group reaches, each once, in name order.
    QStringList usersReached(const QString &group) const;
    // Who receives the privilege and with which highest option (0 or 1);
    // owners of the object left out.
    QMap<QString, int> receivers(const PrivilegeKey &key) const;
    // Everything the groups give, by user, object, privilege and column.
    QVector<GivenPrivilege> given() const;

    // The layer after a change, for "who still receives it" questions.
    GroupLayer withoutRow(const QString &group, int id) const;
    GroupLayer withoutRowsOf(const QString &group) const;
    GroupLayer withOption(const QString &group, int id, int option) const;
    GroupLayer withoutMember(const QString &userGroup, const QString &user) const;
    GroupLayer withoutAssignment(const QString &group, const QString &holder) const;
    // A user gone from every assignment and user group.
    GroupLayer withoutUser(const QString &user) const;
    // A user's assignments and memberships carried over to a new name.
    GroupLayer withRenamedUser(const QString &oldName, const QString &newName) const;
};

// What a change takes from the users: compares who receives the privilege
// before and after it. Users in name order.
LostPrivilege lostBy(const QMap<QString, int> &before, const QMap<QString, int> &after);

// The first of the users who does not hold the privilege from grantor as
// RDB$USER_PRIVILEGES shows it now, in the open transaction (so what this
// transaction granted or revoked counts); empty when every one holds it.
// withOption asks for the grant option too; an empty column accepts a row
// of any column, as a whole-object REVOKE also takes the column rows.
QString userWithoutRights(engine::Database &db, const QString &grantor, const QStringList &users,
                          const PrivilegeKey &key, bool withOption);

// The owners of every user table, view and procedure, or of the one named.
ObjectOwners readObjectOwners(engine::Database &db, const QString &object = QString());
// The administrative tables as the open transaction sees them.
GroupLayer readGroupLayer(engine::Database &db);

// A column of what an opened statement returned, values trimmed.
QStringList trimmedColumn(const engine::Statement &s, int column);

// Distinct names in first-seen order.
QStringList distinctNames(const QStringList &names);

} // namespace privileges
