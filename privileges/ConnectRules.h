#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace engine {
struct SystemConfiguration;
struct SystemStatus;
}

// Rules of the connection page and the connect command that need no window:
// the alias list and parameter grid, the in-place value lists, the alias
// buttons, the session lines, and the test for the administrative tables.
namespace connectrules {

// ---------------------------------------------------------------- aliases

// The aliases of driver "INTRBASE" (exactly), in the store's order.
QStringList interbaseAliases(const QStringList &names, const std::function<QString(const QString &)> &driverOf);

// One parameter row of the grid: its name and the value shown.
struct ParamRow {
    QString name;
    QString value;
};

// Language drivers: index-parallel descriptions and names. An empty name
// maps to an empty description and back; anything not in the lists to
// nothing (an empty text).
struct LangDrivers {
    QStringList descs;
    QStringList names;
    QString descOf(const QString &name) const;
    QString nameOf(const QString &description) const;
};

// The grid rows of a parameter list: each line split at its first "=",
// "LANGDRIVER" shown as its driver's description.
QVector<ParamRow> gridRows(const QStringList &params, const LangDrivers &drivers);

// The parameter lines the grid's rows stand for, to store: "LANGDRIVER"
// goes back from its description to its name (the empty entry to an empty
// name, which leaves the engine's default); a driver's own name stays.
QStringList paramLines(const QVector<ParamRow> &rows, const LangDrivers &drivers);
// The refusal of a "LANGDRIVER" value that is neither a description nor a
// name of the lists, or an empty text.
QString unknownDriverText(const QVector<ParamRow> &rows, const LangDrivers &drivers);

// The fixed values of a parameter for its in-place list, sorted; empty for
// a parameter typed freely.
QStringList fixedValues(const QString &param, const QStringList &langDescs);

// The alias buttons in their three modes (0 no alias, 1 browse, 2 new).
struct AliasButtons {
    QString addCaption;    // empty: unchanged
    QString add2Caption;
    bool modify = false;
    bool del = false;
    QString delCaption;
    QString delete2Caption;
};
AliasButtons aliasButtons(int mode);

// ---------------------------------------------------------------- session

// The lines of the session list: configuration, then status figures.
QStringList sessionLines(const engine::SystemConfiguration &config, const engine::SystemStatus &status);

// ---------------------------------------------------- administrative tables

// The six tables, by their upper-case names.
extern const QStringList kAdminTables;
// Reads which of them exist: one row per table present.
QString adminTablesQuery();

enum class TablesState { Present, Missing, Partial };
struct TablesCheck {
    TablesState state = TablesState::Missing;
    QStringList missing; // in the order of kAdminTables
};
TablesCheck checkTables(const QStringList &present);
// What the user is told when only some of the six tables exist.
QString partialTablesText(const QStringList &missing);
// The question asked then: Yes creates the missing tables, No drops the
// ones present, Cancel leaves them.
QString partialTablesQuestion(const QStringList &missing);
// The tables present when these are missing, in the order of kAdminTables.
QStringList presentOf(const QStringList &missing);
// What the user is told when creating the tables failed; the rights it
// takes are named only when the server refused for their lack.
QString creationFailedText(const QString &serverText, bool forLackOfRights);

// The command-line connection: alias, user name and password, each empty
// where the argument is missing.
struct CommandLine {
    QString alias;
    QString user;
    QString password;
};
CommandLine commandLine(const QStringList &arguments);

} // namespace connectrules
