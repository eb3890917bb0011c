#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class TGrantData;

namespace engine {
class DataSet;
}

// Grants and revokes made on the server directly from the page `GrantInfo`
// (not through grant groups): the statement texts and the operations that
// send them.
namespace privileges {

// RDB$USER_TYPE of the grantees the page grants to and revokes from.
enum class GranteeType { View = 1, Trigger = 2, Procedure = 5, User = 8, Role = 13 };

struct Grantee {
    GranteeType type = GranteeType::User;
    QString name;
};

// The grantee a node of the grantee tree stands for: under "Users" a user
// (or PUBLIC), under "Views", "Triggers" or "Stored Procedures" that object.
Grantee granteeOfTree(const QString &rootCaption, const QString &name);
// The grantee of a privilege row by its own type; nothing for a type the
// page cannot revoke from.
std::optional<Grantee> granteeOfRow(int userType, const QString &name);
// "to U1", "to view V1", "from procedure P1", "from role R1".
QString granteeLabel(const QString &preposition, const Grantee &grantee);

// What the grant dialog asks for on one table or view.
struct GrantChoice {
    QString object;
    Grantee grantee;
    bool select = false, insert = false, remove = false, update = false;
    bool selectOption = false, insertOption = false, removeOption = false, updateOption = false;
    // The columns ticked for Update, in grid order.
    QStringList updateColumns;
    // Update on the whole object: every column of the table was ticked.
    bool allColumns = false;
};

struct GrantStatement {
    QString privilege; // "select", "insert", "delete", "update"
    QStringList lines;
};
// One GRANT per chosen privilege, in the order Select, Insert, Delete,
// Update. The grant option only for users (the server
// refuses it for triggers; views and procedures are never offered it).
// Raises engine::Error when a name is not a plain identifier: it stands
// bare in the statement, and "U6,PUBLIC" would grant to PUBLIC as well.
QVector<GrantStatement> grantStatements(const GrantChoice &choice);

// What the grant dialog hands to a grant group per privilege: Select,
// Delete and Insert each (ticked or not), then Update when ticked: once for
// the whole object, otherwise once per ticked column.
struct GroupGrantCall {
    bool ticked = false;
    bool option = false;
    QString privilege; // "Select", "Delete", "Insert", "Update"
    QString column;    // empty: the whole object
    bool operator==(const GroupGrantCall &o) const
    {
        return ticked == o.ticked && option == o.option && privilege == o.privilege && column == o.column;
    }
};
QVector<GroupGrantCall> groupGrantCalls(const GrantChoice &choice);

// One row of the privilege list.
struct PrivilegeRow {
    QString user;
    int userType = 8;
    QString grantor; // empty when the catalogue holds none
    QChar privilege;
    int grantOption = 0;
    QString relation;
    QString field;   // empty: the whole object
    int objectType = 0;
};
// The current row of the list.
PrivilegeRow currentPrivilegeRow(engine::DataSet &trigList);

// The texts of the revoke dialog's labels for a row: "Update(C1)",
// "on T1" or "on procedure P1".
QString privilegeLabel(const PrivilegeRow &row);
QString objectLabel(const PrivilegeRow &row);

// Raises engine::Error naming the first of the row's object, column,
// grantee and grantor that no statement could name.
void checkRowNames(const PrivilegeRow &row);

// "Grant" / "Execute on procedure P1 to U1" / " with grant option".
QStringList executeGrantStatement(const QString &procedure, const Grantee &grantee, bool withOption);
// "Revoke" / "grant option for " / "Update(C1) on T1 from U1", and
// " granted by G" when grantedBy is given.
QStringList revokeStatement(const PrivilegeRow &row, const Grantee &grantee, bool optionOnly,
                            const QString &grantedBy = QString());

// The refusals and the questions the page shows.
QString grantRightsText(const QString &privilege, const QString &objectLabel);
QString unknownGranteeText();

// What a committed step of the revoke dialog has to show: a refusal
// (an error box) or a warning. Both empty when all went as asked.
struct DirectOutcome {
    QString refusal;
    QString warning;
};

class DirectGrants {
public:
    explicit DirectGrants(TGrantData &data);

    // Sends the grants in the open transaction and leaves them pending
    // there. A grant refused for want of rights gives its message and the
    // next one is tried; the pending work stays. Any other failure rolls the
    // transaction back and raises. The list is reopened afterwards. Returns
    // the refusal messages in order.
    QStringList grant(const GrantChoice &choice);

    // Execute on a procedure, committed at once with everything pending.
    DirectOutcome grantExecute(const QString &procedure, const Grantee &grantee, bool withOption);

    // Questions to confirm before revoking a row (each answered Yes, or
    // nothing is revoked): a grant group gives the grantee this privilege,
    // or a table-level revoke of Update also takes the column updates.
    QStringList revokeQuestions(const PrivilegeRow &row, bool optionOnly);

    // Revokes the row (or only its grant option) and commits everything
    // pending. Another grantor's row is revoked as granted by him when the
    // session user is SYSDBA, otherwise refused unsent; a row of a grantee
    // type the page does not know is refused unsent. A revoke that changed
    // nothing gives a warning. Other failures roll back and raise.
    DirectOutcome revoke(const PrivilegeRow &row, bool optionOnly);

private:
    // Sends the lines; false when the server refused them for want of rights.
    bool send(const QStringList &lines);
    void commitAndReopen();

    TGrantData &m_data;
};

} // namespace privileges
