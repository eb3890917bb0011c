#pragma once

#include "privileges/GroupArithmetic.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class TGrantData;

// Taking group privileges away from users on the server: what a change of
// the administrative tables takes from each user is revoked, and nothing
// that another row, group, user group or direct assignment still gives.
namespace privileges {

class OperationProgress;

// "revoke {priv}" or "revoke grant option for {priv}" / "({column})" only
// with a column / " on " / "procedure " only for Execute / "{object} from
// {users}". Raises engine::Error when a name is not a plain identifier.
QStringList groupRevokeStatement(const PrivilegeKey &key, const QStringList &users, bool optionOnly);
// "grant {priv}" / "({column})" only with a column / " on " / "procedure "
// only for Execute / "{object}" / " to {users}" / " with grant option" only
// with option. Raises engine::Error when a name is not a plain identifier.
QStringList groupGrantStatement(const PrivilegeKey &key, const QStringList &users, bool withOption);

// The names a statement on the privilege carries bare: its object, and
// its column when it has one.
QStringList keyNames(const PrivilegeKey &key);
// Raises a LayerRefusal (requireNamable) naming the first name that the
// revokes of a change from before to after would carry bare and that cannot
// stand bare: of each key, the object and column when someone loses it, and
// the users losing it. Worked out from the layer as read, before the
// transaction runs anything, so a refusal sends nothing and the work
// pending in the transaction stays.
void checkRevokedNames(const GroupLayer &before, const GroupLayer &after, const QVector<PrivilegeKey> &keys);

// What the layer gives on one object and privilege (every column), as the
// server holds it just before a REVOKE; giveBack() then grants again, as
// the session user and with the grant option where the layer gives it,
// what the server took beyond what the REVOKE named: what the users had
// granted on to others with the grant option, and with a table-level Update
// the column updates or their grant option. Users in except are left out.
// Runs in the open transaction.
class StillGiven {
public:
    StillGiven(TGrantData &data, const GroupLayer &layer, const QString &object, const QString &privilege,
               const QStringList &except = {});
    void giveBack();

private:
    struct Given {
        PrivilegeKey key;
        QMap<QString, int> to;   // user and the option the layer gives
        QMap<QString, int> held; // user and the option held before
    };
    TGrantData &m_data;
    QVector<Given> m_given;
};

// Revokes, key by key, what the change from before to after takes from the
// users: first the grant option of those who keep the privilege without it,
// then the privilege of those who lose it. Each list is checked against the
// session user's rights first; a refusal raises the refusal text before
// that statement is sent. After each REVOKE what after still gives on that
// object and privilege and the server took with it is granted back; column
// updates taken with a table-level Update are not revoked again later in
// the same run. Runs in the open transaction; the caller rolls back on
// failure.
class LostPrivilegeRevoker {
public:
    LostPrivilegeRevoker(TGrantData &data, const GroupLayer &before, const GroupLayer &after);
    // A key already revoked in this run is skipped.
    void revoke(const PrivilegeKey &key);

private:
    void checkRights(const QStringList &users, const PrivilegeKey &key, bool withOption);

    TGrantData &m_data;
    const GroupLayer &m_before;
    const GroupLayer &m_after;
    QString m_grantor;
    QSet<PrivilegeKey> m_done;
    QSet<QString> m_tableUpdateGone; // object and user
};

// Revokes every privilege of the group from the users it reaches (less
// what else gives it) and deletes its rows: "Deleting..." on the status
// panel, one progress step per row. Runs in the open transaction.
void removeAllGroupRows(TGrantData &data, OperationProgress &progress, const QString &group);

// A privilege row of a grant group with its object's type.
struct GroupRowOnPage {
    GroupRow row;
    QString type; // "Table", "View", "Procedure"
};
// Raises engine::Error naming the row's object or column when no statement
// could name it: called before anything is asked or sent.
void checkGroupRowNames(const GroupRowOnPage &row);

QString removeAllQuestion();
// "Revoke {priv} privilege on {tvtype} {object} from GrantGroup {group}?",
// with a column "... on field {column} of {tvtype} ...".
QString removeRowQuestion(const GroupRowOnPage &row);
// "Revoke grant option for {priv} privilege on ..." the same way: asked
// before the option is switched off only when that cascades.
QString switchOptionOffQuestion(const GroupRowOnPage &row);

// Removing privileges from the current grant group (the current row of
// `MetaGrantlist`). Each runs in the open transaction; a refusal or a
// failure rolls it back, starts the next one and passes the error on.
class GroupRemovals {
public:
    GroupRemovals(TGrantData &data, OperationProgress &progress);

    // The current row; nothing when the list has none.
    std::optional<GroupRowOnPage> currentRow() const;

    // What to add to a question before a change takes grant options away:
    // Firebird then also revokes what those users granted on to others.
    // Empty when nobody did. option: the option the row would have after
    // the change (-1: the row goes).
    QString cascadeNote(const GroupRowOnPage &row, int option = -1);

    // `RevokeGroupRow`: revokes what the row alone gives its users.
    void RevokeGroupRow(const GroupRowOnPage &row);
    // `RemovebtnClick` after its question: the row revoked and deleted.
    void removeRow();
    // `RemoveAllbtnClick` after "Revoke all privileges?".
    void removeAll();
    // `GrantListGridDblClick` on the option column: the row's grant option
    // switched, revoked from those who got it only here, or granted.
    void switchOption();

private:
    TGrantData &m_data;
    OperationProgress &m_progress;
};

} // namespace privileges
