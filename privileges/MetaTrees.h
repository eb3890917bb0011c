#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>
#include <QVector>

class QTreeWidget;
class QTreeWidgetItem;
class TGrantData;

namespace engine {
class EngineLists;
}

// The content of the three trees of the main window: `Metatree` (what
// privileges are granted on), its copy `Metatreegrant`, and `usertree` (who
// they are granted to). Built as plain data from the catalogue, then shown
// by showTree().
namespace privileges {

class OperationProgress;

// Picture indexes in the main window's image list (normal / selected).
namespace TreeImage {
constexpr int Root = 0, RootSelected = 1;
constexpr int Object = 2, ObjectSelected = 3;
constexpr int Column = 4, ColumnSelected = 5;
constexpr int User = 7, UserSelected = 6;
constexpr int Public = 9, PublicSelected = 8;
} // namespace TreeImage

struct TreeNode {
    QString text;
    int image = 0;
    int selectedImage = 0;
    QVector<TreeNode> children;
    // A table or view whose columns are read only when it is first opened:
    // a large schema's columns would cost far more than the first screen.
    bool columnsPending = false;

    bool operator==(const TreeNode &o) const
    {
        return text == o.text && image == o.image && selectedImage == o.selectedImage && children == o.children
            && columnsPending == o.columnsPending;
    }
};
using TreeNodes = QVector<TreeNode>;

// Root captions. Other handlers read meaning from them: the caption without
// its last character names the kind of what is selected ("Table", "User").
QString tablesRoot();
QString viewsRoot();
QString proceduresRoot();
QString usersRoot();
QString triggersRoot();

// What the engine lists give for the trees.
struct TableLists {
    QStringList tables;
    QStringList views;
    QStringList procedures;
    // Whether the administrative tables were among the relations (they are
    // never listed themselves).
    bool administrativeTables = false;
};

// Tables and views (the six administrative tables left out by their
// upper-case names) and stored procedures, in the engine's order.
TableLists fDbiOpenTableList(engine::EngineLists &lists);
// The column names of a table or view, in the engine's order.
QStringList fDbiOpenFieldsList(engine::EngineLists &lists, const QString &tableOrView);

struct MetaTrees {
    TreeNodes metatree; // also what `Metatreegrant` shows
    TreeNodes usertree;
};

// The statement listing user triggers, and the registered users and PUBLIC.
QString triggersStatement();
QStringList usersStatement();
// Without the administrative tables: the server's users, SYSDBA left out,
// read on the managed connection itself.
QString serverUsersStatement();

// Builds both trees in the data module's open transaction, every level in
// alphabetical order. Tables and views come without their columns
// (columnsPending): columnNodes() reads them when a node is opened. The status panel shows "Creating MetaTree..." and the
// progress bar moves while it runs; both are emptied when it ends, also on
// failure. An engine error passes on (the transaction rolled back, the next
// one started). Without the administrative tables, or when the session may
// not read them, the users come from the server; when the server refuses
// that list, "Users" stays empty.
MetaTrees FillMetaTree(TGrantData &data, OperationProgress &progress);

// The columns of a table or view as nodes of the object tree, in the
// trees' order, read in the data module's open transaction (a failed read
// leaves its pending work as it was). An engine error passes on.
TreeNodes columnNodes(TGrantData &data, const QString &tableOrView);
// The same for a tree: every pending node gets its columns.
void readAllColumns(TGrantData &data, TreeNodes &nodes);

// The order every level of the trees is kept in: the tree widget's own
// order of node texts, so a sorting widget keeps the order as given.
void sortLevels(TreeNodes &nodes);

// Replaces a tree widget's nodes. images: the image list by index (empty:
// no pictures); each item keeps its two indexes in Qt::UserRole and
// Qt::UserRole + 1. sorting: whether the widget keeps its levels sorted by
// text from now on (nodes added later find their place).
void showTree(QTreeWidget &tree, const TreeNodes &roots, bool sorting, const QVector<QIcon> &images = {});

// Whether a tree item stands for a table or view whose columns were not
// read yet; such an item shows that it can be opened.
bool columnsPending(const QTreeWidgetItem &item);
// Gives a pending item its column items (in the order given); the item is
// no longer pending.
void showColumns(QTreeWidgetItem &item, const TreeNodes &columns, const QVector<QIcon> &images);

// A registered user's node under "Users" of a grantee tree: added (with
// the user's pictures), renamed, or removed; a tree without the node is
// left as it is.
void addUserNode(QTreeWidget &tree, const QString &user, const QVector<QIcon> &images);
void renameUserNode(QTreeWidget &tree, const QString &oldName, const QString &newName);
void removeUserNode(QTreeWidget &tree, const QString &user);

// The data of the active page for the refresh command, by the page's
// caption: each data set the page shows is closed and opened again at the
// row it stood on (the reopen's own position when that row is gone), with
// its grids frozen meanwhile. "Connect" has no data set here; the window
// refreshes its engine figures itself. Returns whether the page offers to
// rebuild the trees ("Rebuild MetaTree?").
bool refreshPageData(TGrantData &data, const QString &page);

} // namespace privileges
