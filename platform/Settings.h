#pragma once

#include <QString>

namespace platform {

// Per-user settings of one program, kept as an INI file. A key path such as
// "SOFTWARE\Dunmoor\MarrowbyPro\1.07.0" becomes the file
// <root>/SOFTWARE/Dunmoor/MarrowbyPro/1.07.0.ini and each section a group of
// it. Every call opens the file, does its work and lets it go again, so two
// Settings objects (or two processes) on one key always see each other's
// writes. A missing, unreadable or broken file, or a value that cannot be read
// as the asked type, gives the caller's default; nothing here throws. A write
// that fails may stay pending in this process (QSettings caches it): it then
// reads back here and reaches the disk with the next write that succeeds.
//
// Names and values are kept exactly, blanks included. Unlike the registry,
// names are case-sensitive: readers and writers must spell them alike.
class Settings {
public:
    static const QString WorkbenchKey;        // "SOFTWARE\Dunmoor\MarrowbyPro\1.07.0"
    static const QString PrivilegeManagerKey; // "SOFTWARE\Dunmoor\Lorvane32Pro\1.04.0"

    // root: the folder that holds the key tree. Empty: $DUNMOOR_SETTINGS_ROOT
    // when set, else the user's configuration folder.
    explicit Settings(const QString &keyPath, const QString &root = QString());

    QString filePath() const { return m_filePath; }

    QString readString(const QString &section, const QString &name, const QString &def) const;
    int readInteger(const QString &section, const QString &name, int def) const;
    // Stored as an integer; anything but 0 reads true.
    bool readBool(const QString &section, const QString &name, bool def) const;

    // Each write goes to disk at once; false when the file could not be written.
    bool writeString(const QString &section, const QString &name, const QString &value);
    bool writeInteger(const QString &section, const QString &name, int value);
    bool writeBool(const QString &section, const QString &name, bool value);

    // True when the section holds at least one value.
    bool sectionExists(const QString &section) const;
    bool eraseSection(const QString &section);
    bool deleteKey(const QString &section, const QString &name);

private:
    QString m_filePath;
};

} // namespace platform
