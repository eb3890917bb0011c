#include "engine/SqlText.h"

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

} // namespace engine
