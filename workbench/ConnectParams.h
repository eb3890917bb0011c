#pragma once

#include <QString>
#include <QStringList>

namespace engine {
class Error;
}

// The three parameter sets the workbench applies to its alias before each of
// its connections. Lines keep their positions, so all three lists always have
// the same number of lines.
namespace connectparams {

// Each line containing "NOT SHARED" (case counts) becomes
// "SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT".
QStringList makeUserParams(const QStringList &aliasParams);
// The user parameters with, in addition, each line containing "LANGDRIVER"
// emptied to "LANGDRIVER=".
QStringList makeNationalParams(const QStringList &aliasParams);
// The text after the first "=" of a parameter line; empty without one.
QString valueOfLine(const QString &line);
// The window caption up to (not including) "Database:", then "Database: " and
// the alias.
QString captionWithDatabase(const QString &caption, const QString &alias);
// What a failed connect shows: "Incorrect User Name or Password: " and the
// server's text when the server refused the login; the server's text alone
// for everything else (a missing or unreadable file, no server), which the
// prefix would only misname.
QString connectFailureText(const engine::Error &e);
// Upper case of the letters a-z only, as the login user is held.
QString upperLatin(const QString &s);

} // namespace connectparams
