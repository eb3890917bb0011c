#pragma once

#include "privileges/GroupArithmetic.h"

#include <QString>
#include <QStringList>
#include <QVector>

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

// Revokes, key by key, what the change from before to after takes from the
// users: first the grant option of those who keep the privilege without it,
// then the privilege of those who lose it. Each list is checked against the
// session user's rights first; a refusal raises the refusal text before
// that statement is sent. A table-level REVOKE UPDATE also takes the user's
// column updates on the table, so the column updates after still gives
// them are granted back, and are not revoked again later in the same run.
// Runs in the open transaction; the caller rolls back on failure.
class LostPrivilegeRevoker {
public:
    LostPrivilegeRevoker(TGrantData &data, const GroupLayer &before, const GroupLayer &after);
    // A key already revoked in this run is skipped.
    void revoke(const PrivilegeKey &key);

private:
    void checkRights(const QStringList &users, const PrivilegeKey &key, bool withOption);
    void grantColumnsBack(const PrivilegeKey &tableUpdate, const QStringList &users);

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

} // namespace privileges
