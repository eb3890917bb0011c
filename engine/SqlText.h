#pragma once

#include <QString>

namespace engine {

// A value placed inside a double-quoted SQL constant (dialect 1): its double
// quotes doubled.
QString quotedConstant(const QString &value);
// The same for single-quoted constants (filters, dialect-3 style texts).
QString singleQuotedConstant(const QString &value);

// A name that may stand bare in a statement: a letter, then letters, digits,
// '_' or '$', at most 31 characters. Anything else (blanks, quotes, commas,
// "--") would change what the statement means.
bool isPlainIdentifier(const QString &name);
// Raises an Error that names the name when it is not a plain identifier:
// called before a catalogue name goes into a statement, so a name such as
// P1 --x is refused before anything is sent rather than cut short by the
// server's parser into another object's name.
void requirePlainIdentifier(const QString &name);

} // namespace engine
