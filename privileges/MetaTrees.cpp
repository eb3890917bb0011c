#include "privileges/MetaTrees.h"

#include "engine/EngineLists.h"
#include "engine/Error.h"
#include "privileges/AdminTables.h"
#include "privileges/gdata_un.h"

#include <QHash>
#include <QTreeWidget>
#include <algorithm>

namespace privileges {

namespace {

TreeNode node(const QString &text, int image, int selected)
{
    return TreeNode{text, image, selected, {}};
}

TreeNode objectNode(const QString &name)
{
    return node(name, TreeImage::Object, TreeImage::ObjectSelected);
}

TreeNode columnsLater(const QString &name)
{
    TreeNode n = objectNode(name);
    n.columnsPending = true;
    return n;
}

TreeNode root(const QString &caption, const QStringList &objects)
{
    TreeNode r = node(caption, TreeImage::Root, TreeImage::RootSelected);
    for (const QString &name : objects)
        r.children << objectNode(name);
    return r;
}

TreeNode userNode(const QString &name)
{
    return name == QLatin1String("PUBLIC") ? node(name, TreeImage::Public, TreeImage::PublicSelected)
                                           : node(name, TreeImage::User, TreeImage::UserSelected);
}

QStringList registeredUsers(TGrantData &data, bool administrativeTables)
{
    // A failed SELECT changes nothing in the open transaction, which keeps
    // its pending grants. Registered users the session may not read are no
    // error: the server's users stand in for them, and a user the server
    // does not let read those either simply gets an empty "Users".
    if (administrativeTables) {
        try {
            return data.namesQ(usersStatement());
        } catch (const engine::Error &) {
        }
    }
    try {
        return data.namesQ({serverUsersStatement()});
    } catch (const engine::Error &) {
        return {};
    }
}

} // namespace

QString tablesRoot() { return QStringLiteral("Tables"); }
QString viewsRoot() { return QStringLiteral("Views"); }
QString proceduresRoot() { return QStringLiteral("Stored Procedures"); }
QString usersRoot() { return QStringLiteral("Users"); }
QString triggersRoot() { return QStringLiteral("Triggers"); }

TableLists fDbiOpenTableList(engine::EngineLists &lists)
{
    TableLists out;
    for (const engine::TableInfo &t : lists.tables()) {
        if (isAdminTable(t.name)) {
            out.administrativeTables = true;
            continue;
        }
        (t.isView ? out.views : out.tables) << t.name;
    }
    out.procedures = lists.procedures();
    return out;
}

QStringList fDbiOpenFieldsList(engine::EngineLists &lists, const QString &tableOrView)
{
    QStringList names;
    for (const engine::FieldInfo &f : lists.fields(tableOrView))
        names << f.name;
    return names;
}

QString triggersStatement()
{
    return QStringLiteral("select rdb$trigger_name from RDB$TrIggers where rdb$SYSTEM_FLAG=0");
}

QStringList usersStatement()
{
    return {QStringLiteral("select distinct ugname from meta$usersdef where (((usertype=0) and (ugname<>'PUBLIC'))"),
            QStringLiteral(" or((usertype=2) and (ugname='PUBLIC')))")};
}

QString serverUsersStatement()
{
    return QStringLiteral("select sec$user_name from sec$users where sec$user_name<>'SYSDBA'");
}

TreeNodes columnNodes(TGrantData &data, const QString &tableOrView)
{
    // The transaction's guard is not used: it would roll back every page's
    // pending work for a read that changes nothing.
    data.transaction.ensure();
    engine::EngineLists lists(data.grantdb);
    TreeNodes columns;
    for (const QString &column : fDbiOpenFieldsList(lists, tableOrView))
        columns << node(column, TreeImage::Column, TreeImage::ColumnSelected);
    sortLevels(columns);
    return columns;
}

void readAllColumns(TGrantData &data, TreeNodes &nodes)
{
    for (TreeNode &n : nodes) {
        if (n.columnsPending) {
            n.children = columnNodes(data, n.text);
            n.columnsPending = false;
        }
        readAllColumns(data, n.children);
    }
}

void sortLevels(TreeNodes &nodes)
{
    std::stable_sort(nodes.begin(), nodes.end(), [](const TreeNode &a, const TreeNode &b) { return a.text < b.text; });
    for (TreeNode &n : nodes)
        sortLevels(n.children);
}

MetaTrees FillMetaTree(TGrantData &data, OperationProgress &progress)
{
    StatusScope status(progress, QStringLiteral("Creating MetaTree..."));
    return data.transaction.run([&] {
        engine::EngineLists lists(data.grantdb);
        const TableLists names = fDbiOpenTableList(lists);
        progress.startProgress(2 * int(names.views.size()) + int(names.procedures.size())
                               + 2 * int(names.tables.size()) + 11);
        progress.stepProgress();

        MetaTrees trees;
        // Procedures and views are the same nodes in both trees; only the
        // object tree gives views their columns.
        if (!names.procedures.isEmpty()) {
            trees.usertree << root(proceduresRoot(), names.procedures);
            for (int i = 0; i <= names.procedures.size(); ++i)
                progress.stepProgress();
        }
        if (!names.views.isEmpty()) {
            trees.usertree.prepend(root(viewsRoot(), names.views));
            for (int i = 0; i <= names.views.size(); ++i)
                progress.stepProgress();
        }
        if (!trees.usertree.isEmpty()) {
            trees.metatree = trees.usertree;
            progress.stepProgress();
        }
        if (!names.views.isEmpty()) {
            for (TreeNode &view : trees.metatree.first().children) {
                view.columnsPending = true;
                progress.stepProgress();
            }
        }
        TreeNode tables = root(tablesRoot(), {});
        progress.stepProgress();
        for (const QString &table : names.tables) {
            progress.stepProgress();
            progress.stepProgress();
            tables.children << columnsLater(table);
        }
        trees.metatree.prepend(std::move(tables));
        sortLevels(trees.metatree);
        progress.stepProgress();

        const QStringList triggers = data.namesQ({triggersStatement()});
        progress.stepProgress();
        if (!triggers.isEmpty()) {
            trees.usertree.prepend(root(triggersRoot(), triggers));
            progress.stepProgress();
        }
        progress.stepProgress();

        TreeNode users = root(usersRoot(), {});
        progress.stepProgress();
        for (const QString &name : registeredUsers(data, names.administrativeTables))
            users.children << userNode(name);
        trees.usertree.prepend(std::move(users));
        progress.stepProgress();
        sortLevels(trees.usertree);
        return trees;
    });
}

namespace {

constexpr int kColumnsPendingRole = Qt::UserRole + 2;

// One icon per picture pair, shared by every item that shows it: an icon of
// its own per item would copy the pictures thousands of times.
class TreeIcons {
public:
    explicit TreeIcons(const QVector<QIcon> &images) : m_images(images) {}
    QIcon icon(int image, int selected)
    {
        if (image >= m_images.size())
            return QIcon();
        const int key = image * 1000 + selected;
        auto found = m_icons.find(key);
        if (found != m_icons.end())
            return *found;
        QIcon icon = m_images[image];
        if (selected < m_images.size())
            for (const QSize &size : m_images[selected].availableSizes())
                icon.addPixmap(m_images[selected].pixmap(size), QIcon::Selected);
        return *m_icons.insert(key, icon);
    }

private:
    const QVector<QIcon> &m_images;
    QHash<int, QIcon> m_icons;
};

QTreeWidgetItem *makeItem(const TreeNode &n, TreeIcons &icons)
{
    auto *item = new QTreeWidgetItem(QStringList{n.text});
    item->setData(0, Qt::UserRole, n.image);
    item->setData(0, Qt::UserRole + 1, n.selectedImage);
    const QIcon icon = icons.icon(n.image, n.selectedImage);
    if (!icon.isNull())
        item->setIcon(0, icon);
    if (n.columnsPending) {
        item->setData(0, kColumnsPendingRole, true);
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    for (const TreeNode &child : n.children)
        item->addChild(makeItem(child, icons));
    return item;
}

} // namespace

bool columnsPending(const QTreeWidgetItem &item)
{
    return item.data(0, kColumnsPendingRole).toBool();
}

void showColumns(QTreeWidgetItem &item, const TreeNodes &columns, const QVector<QIcon> &images)
{
    TreeIcons icons(images);
    QList<QTreeWidgetItem *> children;
    for (const TreeNode &c : columns)
        children << makeItem(c, icons);
    item.setData(0, kColumnsPendingRole, QVariant());
    item.setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    item.addChildren(children);
}

void showTree(QTreeWidget &tree, const TreeNodes &roots, bool sorting, const QVector<QIcon> &images)
{
    tree.setSortingEnabled(false);
    tree.clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(roots.size());
    TreeIcons icons(images);
    for (const TreeNode &n : roots)
        items << makeItem(n, icons);
    tree.addTopLevelItems(items);
    if (sorting) {
        tree.sortByColumn(0, Qt::AscendingOrder);
        tree.setSortingEnabled(true);
    }
}

namespace {

void reopenAt(engine::DataSet &ds, const engine::Bookmark &mark)
{
    engine::ControlsFrozen frozen(ds);
    ds.close();
    ds.open();
    if (mark.isValid())
        ds.gotoBookmark(mark);
}

// A master and its detail: both positions are taken before the master's
// reopen moves the detail.
void reopenPair(engine::DataSet &master, engine::DataSet &detail)
{
    const engine::Bookmark detailMark = detail.bookmark();
    reopenAt(master, master.bookmark());
    reopenAt(detail, detailMark);
}

} // namespace

namespace {

QTreeWidgetItem *userNode(QTreeWidget &tree, const QString &user)
{
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        QTreeWidgetItem *root = tree.topLevelItem(i);
        if (root->text(0) != usersRoot())
            continue;
        if (user.isNull())
            return root;
        for (int c = 0; c < root->childCount(); ++c)
            if (root->child(c)->text(0) == user)
                return root->child(c);
    }
    return nullptr;
}

} // namespace

void addUserNode(QTreeWidget &tree, const QString &user, const QVector<QIcon> &images)
{
    if (QTreeWidgetItem *root = userNode(tree, QString()))
    {
        TreeIcons icons(images);
        root->addChild(makeItem(TreeNode{user, TreeImage::User, TreeImage::UserSelected, {}}, icons));
    }
}

void renameUserNode(QTreeWidget &tree, const QString &oldName, const QString &newName)
{
    if (QTreeWidgetItem *node = userNode(tree, oldName))
        node->setText(0, newName.toUpper());
}

void removeUserNode(QTreeWidget &tree, const QString &user)
{
    delete userNode(tree, user);
}

bool refreshPageData(TGrantData &data, const QString &page)
{
    if (page == QLatin1String("GrantGroups")) {
        reopenAt(data.MetaGrantDef, data.MetaGrantDef.bookmark());
        if (data.MetaGrantlist.isActive())
            data.MetaGrantlist.refresh();
        return true;
    }
    if (page == QLatin1String("GrantInfo")) {
        reopenAt(data.TrigList, data.TrigList.bookmark());
        return true;
    }
    if (page == QLatin1String("UserGroups") || page == QLatin1String("GrantAction")) {
        reopenAt(data.usersdef, data.usersdef.bookmark());
        if (page == QLatin1String("UserGroups"))
            reopenPair(data.usergrp, data.usersgrp);
        else
            reopenPair(data.metagrp, data.metasgrp);
    }
    return false;
}

} // namespace privileges
