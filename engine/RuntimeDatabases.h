#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// Creates a database at path in the dialect given and runs statements on
// it as SYSDBA, in order. On failure the half-made file is removed and the
// error raised, so the next attempt starts clean.
void createDatabaseWith(const QString &path, int dialect, const QStringList &statements);

// The engine's user database of the runtime folder (Runtime::paths()
// .securityDatabase, the one its firebird.conf names): the embedded engine
// lists and manages server users there, and the loopback server logs users in
// against it. Made with SYSDBA, whose password is FBSERVER_PASSWORD or
// "masterkey", as scripts/fbserver makes it, so whichever of the two comes
// first the other finds the same database. On failure the half-made file is
// removed and the error raised.
void createSecurityDatabase(const QString &path, const QString &sysdbaPassword);
// The SYSDBA password the runtime folder's user database starts with.
QString initialSysdbaPassword();
// Makes the user database when it is missing. Several programs may start at
// once: they take turns through a lock file in the runtime folder, and only
// the first makes it.
void ensureSecurityDatabase();

// What both programs do at start, before any connection: the user database
// and the sample database the SAMPLE alias points at, each when missing. A
// failure is not fatal: the connection that needs the database then fails
// with the engine's own message.
void ensureRuntimeDatabases();

} // namespace engine
