#pragma once

#include <QString>
#include <QStringList>

namespace engine {
class Database;
class DataSet;
} // namespace engine

namespace privileges {

// The refusal every revoking path shows when the connected user did not
// grant what it is about to revoke.
QString revokeRefusalText();

// The privilege list filter selecting the rows a user must hold from the
// grantor for the revoke to be his to make. Values are doubled inside their
// quotes.
QString revokeRightsFilter(const QString &grantor, const QString &privilegeWord, const QString &object,
                           const QString &column, bool withOption, const QString &user);

// True (refuse) when one of the users holds no matching privilege granted
// by grantor, as the privilege list trigList (RDB$USER_PRIVILEGES rows)
// shows it. The list is opened when closed and read as it was last opened;
// its filter is put back afterwards, also when the filter raises.
bool CheckRevokeRights(engine::DataSet &trigList, const QString &grantor, const QStringList &users,
                       const QString &privilegeWord, const QString &object, const QString &column, bool withOption);

// The user the server records as grantor for this connection (CURRENT_USER),
// which is not always the name typed at login.
QString sessionUser(engine::Database &db);

// Raises engine::Error naming the first name that is not a plain
// identifier ("... is not a plain name; nothing was <done>."): names stand
// bare in GRANT and REVOKE, where a comma or a blank changes what is meant.
void checkPlainNames(const QStringList &names, const QString &nothingDone);

// "revoke P" / "(C)" only with a column / " on " / "procedure " only for
// Execute / "T" / "from users": the erase's revoke of a group privilege. Raises
// engine::Error when the object, column or a user is not a plain name,
// since they stand bare in the statement.
QStringList revokeStatement(const QString &privilegeWord, const QString &column, const QString &object,
                            const QStringList &users);

} // namespace privileges
