#include "engine/SqlText.h"

#include "engine/Error.h"

namespace engine {

QString quotedConstant(const QString &value)
{
    QString v = value;
    return v.replace(QLatin1Char('"'), QLatin1String("\"\""));
}

QString singleQuotedConstant(const QString &value)
{
    QString v = value;
    return v.replace(QLatin1Char('\''), QLatin1String("''"));
}

bool isPlainIdentifier(const QString &name)
{
    if (name.isEmpty() || name.size() > 31)
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const ushort c = name.at(i).unicode();
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (i == 0 ? !letter : !(letter || digit || c == '_' || c == '$'))
            return false;
    }
    return true;
}

void requirePlainIdentifier(const QString &name)
{
    if (!isPlainIdentifier(name))
        throw Error(QStringLiteral("The name \"%1\" is not a plain identifier (a letter, then letters, digits, _ "
                                   "or $): it cannot be named in a dialect-1 statement, so nothing was sent.")
                        .arg(name));
}

} // namespace engine
