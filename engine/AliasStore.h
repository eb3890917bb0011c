#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace engine {

// The engine's named aliases: each has a driver name and an ordered list of
// parameter lines "NAME=value". Only the first "=" of a line splits it, so a
// value may hold further "=" characters. Alias names, parameter names and
// values are kept exactly as given, blanks included.
//
// Alias names are matched without regard to case ("sample" finds "SAMPLE",
// and adding "Sample" beside "SAMPLE" is a duplicate) because users type them
// on command lines; the spelling given when the alias was added is kept.
// Parameter names are matched exactly.
//
// All changes happen in memory; only save() writes the file. Every failure
// raises engine::Error with ErrorCategory::Configuration and leaves both the
// store and its file as they were.
//
// File format (UTF-8 text, one item per line, lines end in LF):
//
//     DUNMOOR ALIASES 1            first line: what the file is, format version
//     [SAMPLE]                     section header: the alias name
//     DRIVER=INTRBASE              first line of a section: its driver
//     SERVER NAME=/data/x.fdb      then the parameter lines, in order
//     USER NAME=SYSDBA
//
//     [Second alias]
//     DRIVER=INTRBASE
//     END                          last line: the file is complete
//
// - The alias name is everything between the first "[" and the last "]" of
//   its header line; a value everything after the first "=". Nothing is
//   trimmed.
// - Empty lines and lines of blanks are ignored. A CR before the LF is
//   dropped, so a file edited with CRLF line ends still reads.
// - Escapes, in names, drivers and parameter lines: "\\" backslash, "\n" line
//   feed, "\r" carriage return, "\[" an opening bracket. A parameter line that
//   starts with "[" is written with "\[", so it cannot pass for a header.
// - The END line lets a cut-off file be told from a complete one: a file
//   without it, or with anything after it, is broken.
class AliasStore {
public:
    // The driver of every InterBase-family alias.
    static const QString InterBaseDriver;  // "INTRBASE"
    // The alias openOrCreateDefault() puts into a new store.
    static const QString SampleAliasName;  // "SAMPLE"

    // An empty store with no file; load() or openOrCreateDefault() give it one.
    AliasStore() = default;

    // The user's store at path. When no file exists there yet, it is created
    // (with its folder) holding the one alias SAMPLE of driver INTRBASE: the
    // driver's default parameters with "SERVER NAME" set to
    // sampleDatabasePath and "USER NAME" to SYSDBA. An existing file is only
    // read, never rewritten, so a broken one raises and stays as it is.
    static AliasStore openOrCreateDefault(const QString &path, const QString &sampleDatabasePath);

    // Reads the file at path and from then on works on it. A missing,
    // unreadable or broken file raises (a broken one naming the line) and
    // leaves the store, its aliases and its file path, as it was.
    void load(const QString &path);
    // The file that load() read and save() writes; empty for a new store.
    QString filePath() const { return m_path; }
    // Writes every alias to filePath() through a temporary file that then
    // replaces it, so a failed save leaves the old file whole. Raises when
    // there is no file path or the file cannot be written.
    void save() const;

    // Alias names in stored order: file order, then aliases added since.
    QStringList aliasNames() const;
    bool hasAlias(const QString &name) const;
    // These raise for an alias the store does not hold.
    QString driverName(const QString &alias) const;
    QStringList params(const QString &alias) const;

    // Adds an alias after the others. Raises for an empty or blank name, a
    // name already present, an empty driver and malformed parameter lines
    // (no "=", a blank name, a name given twice).
    void addAlias(const QString &name, const QString &driver, const QStringList &params);
    // Sets, for each given line, the value of the alias's parameter of that
    // name where it stands in the list; a name the alias lacks is appended;
    // parameters not named keep their values. So a full list of the alias's
    // parameters in their order reads back exactly as given, which is how the
    // connect code swaps parameter sets in and out, and a list naming only
    // some parameters changes only those. The lines are checked as for
    // addAlias before anything changes.
    void modifyAlias(const QString &name, const QStringList &params);
    void deleteAlias(const QString &name);

    // The default parameter lines of a driver, in a fixed order. "SERVER
    // NAME" is first and "USER NAME" second: the alias dialog takes the second
    // line as the user line. Raises for a driver other than INTRBASE.
    static QStringList defaultParams(const QString &driver);

private:
    struct Alias {
        QString name;
        QString driver;
        QStringList params;
    };

    int indexOf(const QString &name) const;
    const Alias &existing(const QString &name) const;
    static QVector<Alias> parse(const QString &text, const QString &path);
    QByteArray serialize() const;

    QVector<Alias> m_aliases;
    QString m_path;
};

} // namespace engine
