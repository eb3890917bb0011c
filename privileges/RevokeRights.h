#pragma once

#include <QString>
#include <QStringList>

namespace engine {
class Database;
} // namespace engine

namespace privileges {

// The refusal every revoking path shows when the connected user did not
// grant what it is about to revoke.
QString revokeRefusalText();

// True (refuse) when one of the users does not hold the privilege from
// grantor, as RDB$USER_PRIVILEGES shows it in the open transaction: what
// this transaction granted or revoked counts. The privilege word is looked
// up by its letter; an empty column accepts a row of any column.
bool CheckRevokeRights(engine::Database &db, const QString &grantor, const QStringList &users,
                       const QString &privilegeWord, const QString &object, const QString &column, bool withOption);

// The user the server records as grantor for this connection (CURRENT_USER),
// which is not always the name typed at login.
QString sessionUser(engine::Database &db);

// Raises engine::Error (engine::requirePlainIdentifier) naming the first name
// that cannot stand bare: names stand bare in GRANT and REVOKE, where a comma
// or a blank changes what is meant and a name that differs from its upper
// case reaches another object or user.
void checkPlainNames(const QStringList &names);

// "revoke P" / "(C)" only with a column / " on " / "procedure " only for
// Execute / "T" / "from users": the erase's revoke of a group privilege. Raises
// engine::Error when the object, column or a user is not a plain name,
// since they stand bare in the statement.
QStringList revokeStatement(const QString &privilegeWord, const QString &column, const QString &object,
                            const QStringList &users);

} // namespace privileges
