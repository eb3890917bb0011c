#include "platform/Settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <optional>

namespace platform {

const QString Settings::WorkbenchKey = QStringLiteral("SOFTWARE\\Dunmoor\\MarrowbyPro\\1.07.0");
const QString Settings::PrivilegeManagerKey = QStringLiteral("SOFTWARE\\Dunmoor\\Lorvane32Pro\\1.04.0");

namespace {

QString settingsRoot(const QString &root)
{
    if (!root.isEmpty())
        return root;
    const QString fromEnv = qEnvironmentVariable("DUNMOOR_SETTINGS_ROOT");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// The stored text of a value, or nothing when it is absent or is not plain
// text (a hand-edited "a, b" reads back as a list, for instance).
std::optional<QString> storedText(const QString &file, const QString &section, const QString &name)
{
    QSettings ini(file, QSettings::IniFormat);
    ini.beginGroup(section);
    const QVariant value = ini.value(name);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

// A broken file reports FormatError from its reading, yet QSettings still
// writes a clean file over it; only an access error means nothing was stored.
bool writable(const QSettings &ini)
{
    return ini.status() != QSettings::AccessError;
}

bool store(const QString &file, const QString &section, const QString &name, const QString &value)
{
    QSettings ini(file, QSettings::IniFormat);
    ini.beginGroup(section);
    ini.setValue(name, value);
    ini.endGroup();
    ini.sync();
    return writable(ini);
}

} // namespace

Settings::Settings(const QString &keyPath, const QString &root)
{
    QString relative = keyPath;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    m_filePath = settingsRoot(root) + QLatin1Char('/') + relative + QStringLiteral(".ini");
}

QString Settings::readString(const QString &section, const QString &name, const QString &def) const
{
    return storedText(m_filePath, section, name).value_or(def);
}

int Settings::readInteger(const QString &section, const QString &name, int def) const
{
    const std::optional<QString> text = storedText(m_filePath, section, name);
    if (!text)
        return def;
    bool ok = false;
    const int value = text->toInt(&ok);
    return ok ? value : def;
}

bool Settings::readBool(const QString &section, const QString &name, bool def) const
{
    return readInteger(section, name, def ? 1 : 0) != 0;
}

bool Settings::writeString(const QString &section, const QString &name, const QString &value)
{
    return store(m_filePath, section, name, value);
}

bool Settings::writeInteger(const QString &section, const QString &name, int value)
{
    return store(m_filePath, section, name, QString::number(value));
}

bool Settings::writeBool(const QString &section, const QString &name, bool value)
{
    return writeInteger(section, name, value ? 1 : 0);
}

bool Settings::sectionExists(const QString &section) const
{
    QSettings ini(m_filePath, QSettings::IniFormat);
    ini.beginGroup(section);
    return !ini.childKeys().isEmpty();
}

bool Settings::eraseSection(const QString &section)
{
    // QSettings reads an empty group as "the whole file".
    if (section.isEmpty())
        return false;
    QSettings ini(m_filePath, QSettings::IniFormat);
    ini.remove(section);
    ini.sync();
    return writable(ini);
}

bool Settings::deleteKey(const QString &section, const QString &name)
{
    // QSettings reads an empty key as "everything in the group".
    if (name.isEmpty())
        return false;
    QSettings ini(m_filePath, QSettings::IniFormat);
    ini.beginGroup(section);
    ini.remove(name);
    ini.endGroup();
    ini.sync();
    return writable(ini);
}

} // namespace platform
