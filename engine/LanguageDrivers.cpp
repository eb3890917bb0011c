#include "engine/LanguageDrivers.h"

#include "engine/Error.h"

namespace engine {

const QVector<LanguageDriver> &languageDrivers()
{
    // Only the sets built into the engine: the others live in the system's
    // character-set library, which an engine run from our own configuration
    // folder does not load.
    static const QVector<LanguageDriver> list = {
        {QStringLiteral("UTF8"), QStringLiteral("Unicode UTF-8"), QStringLiteral("UTF8"), false},
        {QStringLiteral("NONE"), QStringLiteral("No conversion (bytes as stored)"), QStringLiteral("NONE"), false},
    };
    return list;
}

const LanguageDriver &languageDriver(const QString &name)
{
    static const LanguageDriver byDefault{QString(), QString(), QStringLiteral("UTF8"), false};
    if (name.trimmed().isEmpty())
        return byDefault;
    for (const LanguageDriver &d : languageDrivers())
        if (d.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return d;
    throw Error(QStringLiteral("Unknown language driver: %1").arg(name), ErrorCategory::Configuration);
}

} // namespace engine
