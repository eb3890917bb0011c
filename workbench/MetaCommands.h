#pragma once

// The plain logic behind the metadata browser's commands: the DDL texts
// they send, the "New" templates with their caret, the walks that put a list
// back on a row by name and the incremental-search prefix.

#include <QString>
#include <QStringList>
#include <QVariant>

namespace engine {
class DataSet;
}

namespace metacmd {

// Every name below comes from a catalogue row or the user and stands bare in
// the statement: one that is not a plain identifier, an empty one included,
// is refused (engine::Error naming it) before anything is sent.

enum class Dropped { Domain, Table, Generator, Udf, View, Exception, Procedure, Index, Trigger };
// "drop domain N", "drop table N", "drop generator N", "drop external
// function N", "drop view N", "drop exception N", "drop procedure N",
// "drop index N", "drop trigger N".
QString dropStatement(Dropped kind, const QString &name);
QString dropColumnStatement(const QString &table, const QString &column);
QString dropConstraintStatement(const QString &table, const QString &constraint);
// "alter index N Active" / "alter index N InActive".
QString indexStateStatement(const QString &index, bool active);
// Switched off, then on again, so the index is rebuilt and ends active.
QStringList balanceStatements(const QString &index);
QString statisticsStatement(const QString &index);
QString triggerStateStatement(const QString &trigger, bool active);
// valueText must be a 64-bit integer (blanks around it allowed); anything
// else raises engine::Error saying so.
QString setGeneratorStatement(const QString &generator, const QString &valueText);
QString copyColumnStatement(const QString &table, const QString &to, const QString &from);
// The type is the user's own text, as typed.
QString addColumnStatement(const QString &table, const QString &column, const QString &type);

// A remembered copy column: at most 31 characters.
QString copyColumnName(const QString &name);

// The "New" buttons' templates.
enum class NewObject { Domain, Table, Index, Generator, Udf, View, Exception, Constraint };
struct Template {
    QStringList lines;
    int caret = -1;            // characters from the start; -1: not moved
    bool showsTextPage = true; // the console's "Text" page is brought forward
};
// Index and Constraint name the current table (when there is one): refused
// like the statements above when it cannot stand bare.
Template newTemplate(NewObject kind, const QString &currentTable);

// The tables list's statement for its "User" and "Sys" views.
QStringList userTablesSql();
QStringList systemTablesSql();

// Moves the data set forward from its current row while it is not at its
// end and the name in field is ordinally less than bound.
void moveForwardWhileLess(engine::DataSet &ds, int field, const QString &bound);
// After a drop and reload: from the first row to the first name not less
// than the dropped one (the object that followed it), grids frozen meanwhile.
void repositionAfterDrop(engine::DataSet &ds, const QString &field, const QString &dropped);

// One key press of the incremental search on the shared prefix: Esc empties
// it (true: the list goes back to its first row); any other character is
// appended, letters a to z upper-cased.
bool applySearchKey(QString &prefix, QChar key);

} // namespace metacmd
