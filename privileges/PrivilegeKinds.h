#pragma once

#include <QString>

// The privilege letters of the catalogue and the words the privilege
// manager shows for them.
namespace privileges {

// "Select", "Insert", "Delete", "Update", "Execute" for S, I, D, U, X; the
// empty text for any other letter (the catalogue holds more kinds than the
// privilege manager can grant).
QString privilegeWord(QChar letter);
// The letter for one of the five words (case ignored); a null QChar otherwise.
QChar privilegeLetter(const QString &word);

} // namespace privileges
