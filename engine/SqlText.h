#pragma once

#include <QString>

namespace engine {

// A value placed inside a double-quoted SQL constant (dialect 1): its double
// quotes doubled.
QString quotedConstant(const QString &value);
// The same for single-quoted constants (filters, dialect-3 style texts).
QString singleQuotedConstant(const QString &value);

// A name the statement can carry bare at all: a letter, then letters,
// digits, '_' or '$', at most 31 characters. Anything else (blanks, quotes,
// commas, "--") would change what the statement means. The server folds it
// to upper case, so this alone suits only the program's own names.
bool isIdentifier(const QString &name);

// Why a name from the catalogue or typed by the user cannot stand bare in a
// dialect-1 statement. The server reads a bare name back as its upper case,
// so a name made quoted in a dialect-3 database ("MixedCase", "lowr")
// names another object there (MIXEDCASE, LOWR) or none, and a reserved word
// is refused outright.
enum class NameFault { None, NotIdentifier, NotUpperCase, ReservedWord };
NameFault nameFault(const QString &name);

// The name reaches exactly the object it names when sent bare.
bool isPlainIdentifier(const QString &name);

// The one text that says why a name cannot stand bare, naming it; empty for
// a plain identifier.
QString unnamableText(const QString &name);

// Raises an Error, unnamableText followed by " Nothing was sent.", when the
// name is not a plain identifier: called before the name goes into a
// statement, so nothing is sent for it.
void requirePlainIdentifier(const QString &name);

} // namespace engine
