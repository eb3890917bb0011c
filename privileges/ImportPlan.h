#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVector>

// The import of the privileges a database already holds into grant groups:
// one group per grantee, named after him, holding what he holds now. The
// catalogue holds far more than the administrative layer can carry out
// (usage, DDL and role rows, functions and packages, system tables, owners'
// own rows), so the rows are sifted here before anything is written.
namespace engine {
class Database;
}

namespace privileges {

// What the object of a catalogue privilege is, as the catalogue query finds
// it: a user table, a user view, a procedure outside any package, or
// anything else (system relations, functions, packages, domains, ...).
enum class ObjectKind { Other, Table, View, Procedure };

// One row of RDB$USER_PRIVILEGES for a user or PUBLIC, with its object.
struct CataloguePrivilege {
    QString user;
    QChar letter;        // RDB$PRIVILEGE
    int grantOption = 0; // RDB$GRANT_OPTION
    QString relation;    // RDB$RELATION_NAME
    QString field;       // RDB$FIELD_NAME; a null text for the whole object
    ObjectKind kind = ObjectKind::Other;
    QString owner;       // of the relation or procedure; empty for others
};

// A META$GRANTLIST row to be written.
struct GroupPrivilege {
    QString relation;
    QString type;  // "Table", "View" or "Procedure"
    QString field; // null text for the whole object
    QString word;  // "Select", ... "Execute"
    int option = 0;
};

struct UserImport {
    QString user;
    QVector<GroupPrivilege> privileges;
};

// The grant groups to make, users in name order and each user's privileges
// in object, privilege and column order. Only letters S, I, D, U, X on user
// tables, views and procedures outside packages are kept, never a grantee's
// privilege on his own object nor one on the six administrative tables; the
// same privilege from several grantors becomes one row with the highest
// grant option. A user left with nothing gets no group.
QVector<UserImport> planImport(const QVector<CataloguePrivilege> &rows);

// The group name of a user.
QString groupName(const QString &user);

// Takes out of the plan what its statements could not name: a user whose
// name cannot stand bare in GRANT and REVOKE or whose group name would not
// fit, a privilege on an object or column that cannot (a user left with
// nothing gets no group). Returns one line per omission, "<what>: <why>".
QStringList leaveOutUnnamable(QVector<UserImport> &plan);
// What the user is told after an import that left something out.
QString leftOutText(const QStringList &leftOut);

// The statement reading the catalogue rows above, one row per privilege:
// user, letter, grant option, relation, field, kind (0 other, 1 table,
// 2 view, 3 procedure), owner.
QStringList cataloguePrivilegesSql();

// The plan for what the database holds now, read in its open transaction.
QVector<UserImport> readImportPlan(engine::Database &db);

// The statements writing one user's registration, group, assignment and
// expansion (user number n from 0), each as its lines.
QVector<QStringList> userImportStatements(int n, const QString &user);
// One META$GRANTLIST row (k from 0 within the group).
QStringList groupPrivilegeInsert(int k, const QString &user, const GroupPrivilege &p);

} // namespace privileges
