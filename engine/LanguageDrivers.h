#pragma once

#include <QString>
#include <QVector>

namespace engine {

// The "LANGDRIVER" alias parameter names the character set of the connection:
// the server converts text between its columns and that set. An empty value
// means UTF8. NONE passes bytes through unchanged and we read them as UTF-8.
struct LanguageDriver {
    QString name;        // the symbolic name stored in aliases
    QString description; // what the alias editor shows
    QString charset;     // the Firebird character set of the connection
    bool latin1 = false;
};

const QVector<LanguageDriver> &languageDrivers();
// Raises a Configuration error for a name not in the list.
const LanguageDriver &languageDriver(const QString &name);

} // namespace engine
