#pragma once

// What spy mode decides without a window: the point list's statement, the
// marker a point stands for in its source, the statements keyed by object
// and point, and the answers Continue writes for a shown break hit.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace spylogic {

// The point list: 0 all points, 1 break, 2 trace, 3 progress points only;
// ordered by object then point id, or by point id then object.
QStringList pointListSql(int filter, bool byObject);

// Points of objects that are no longer in the catalogue.
QString deleteOrphanPointsSql();
QString deleteObjectPointsSql(const QString &object);
// The kind ("SP" or "TR") of a shown hit's point.
QString pointKindSql(const QString &object, const QString &pointId);

// The text a point's marker holds in its source: "@BP1" for break point
// BP1, "#TP1" for trace point TP1, "$3" for progress point 3.
QString markerText(const QString &pointType, const QString &pointId);

// One watched variable of the shown hit: its name, the value shown (and
// whether it was NULL) and the cell's text now.
struct WatchCell {
    QString name;
    QString shown;
    bool shownNull = false;
    QString text;
};

// A cell left exactly as shown answers with the shown value, NULL staying
// NULL, so a hit whose variable was NULL or empty can be continued as it
// is; a value the user emptied is refused.
bool leftAsShown(const WatchCell &cell);
// "Variable X has no value!" for the first refused cell; empty when every
// cell can be answered.
QString missingValueMessage(const QVector<WatchCell> &cells);
// The VarValue an answer row carries (a null QVariant for NULL).
QVariant answerValue(const WatchCell &cell);

} // namespace spylogic
