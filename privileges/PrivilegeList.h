#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace engine {
class DataSet;
class Query;
} // namespace engine

// The privilege list of the page `GrantInfo` (`TrigList`): its statement,
// the filter built from the page's choices, the sort order, and the letter
// search every grid of the program offers.
namespace privileges {

// The list's four lines. It holds what the page can grant and revoke:
// Select, Insert, Delete, Update and Execute on user tables and views and
// on procedures outside packages, held by users, PUBLIC, roles, views,
// triggers and procedures that do not own the object; never a privilege
// on an administrative table. The last line is the sort order.
QStringList privilegeListSql();

// `SortOrder`: 0 "User", 1 "Object".
QString privilegeListOrder(int sortIndex);
// The field the letter search looks in for that order.
QString letterSearchField(int sortIndex);
// Replaces the list's last line by the order and opens it again, its grids
// frozen meanwhile.
void applySortOrder(engine::Query &trigList, int sortIndex);

// The texts of the labels `userlbl` and `metalbl`. rootCaption is the
// caption of the tree's top-level node above the selection; an empty one
// means a top-level node is selected.
QString allUserObjects();
QString allMetaObjects();
// "User U1", "View V1", "Trigger TR1", "Stored Procedure P1".
QString userObjectLabel(const QString &rootCaption, const QString &name);
// "Table T1", "Stored Procedure P1", or with a column "Table T1 Column C1".
QString metaObjectLabel(const QString &rootCaption, const QString &object, const QString &column = QString());

// `PrivBox`: 0 "Any privilege", then "Select", "Insert", "Delete",
// "Update", "Execute".
QStringList privilegeChoices();

// The filter of `TrigList` for the two labels, the grantor chosen (empty:
// " All") and the privilege choice; the empty text lists every row. Values
// have their quotes doubled.
QString privilegeListFilter(const QString &metalbl, const QString &userlbl, const QString &grantor,
                            int privilegeIndex);

// The letter search: moves to the first row, from the top, whose field
// begins with the first character of text (case ignored); with cont, to the
// next such row after the current one, wrapping to the top. A letter no row
// begins with leaves the current row. Returns whether a row was found.
bool DataSetFindKey(engine::DataSet &dataSet, bool cont, const QString &field, const QString &text);

// One grid's letter search: typing the same letter again continues from
// the current row.
class LetterSearch {
public:
    bool keyPress(engine::DataSet &dataSet, const QString &field, const QString &typed);
    // After the grid's order changed.
    void forget() { m_last.clear(); }

private:
    QString m_last;
};

} // namespace privileges
