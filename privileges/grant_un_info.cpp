// The page GrantInfo: the privilege list filtered by the two trees, the
// grantor and the privilege, its sort order and letter search, direct grant
// and revoke, the tree panel buttons and the "Info" menu that mirrors them.
#include "privileges/grant_un.h"

#include "engine/GridModel.h"
#include "platform/DockLayout.h"
#include "platform/GridColumns.h"
#include "platform/Modal.h"
#include "privileges/DirectGrants.h"
#include "privileges/MetaTrees.h"
#include "privileges/RevokeRights.h"
#include "privileges/gmes2.h"
#include "privileges/gmes_un.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>

namespace {

QTreeWidgetItem *rootOf(QTreeWidgetItem *node)
{
    while (node->parent())
        node = node->parent();
    return node;
}

QRadioButton *item(QGroupBox *radioGroup, int index)
{
    return radioGroup->findChild<QRadioButton *>(radioGroup->objectName() + QString::number(index));
}

// A grid's own column titles and widths over the data set's fields: one
// data set may be shown by two grids under different titles.
class TitledGridModel : public engine::GridModel {
public:
    TitledGridModel(engine::DataSet *ds, QObject *parent, const QStringList &titles, const QVector<int> &widths)
        : engine::GridModel(ds, parent), m_titles(titles), m_widths(widths)
    {
    }
    void setColumnTitle(int column, const QString &title)
    {
        while (m_titles.size() <= column)
            m_titles << QString();
        m_titles[column] = title;
        emit headerDataChanged(Qt::Horizontal, column, column);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < m_titles.size()
            && !m_titles[section].isNull())
            return m_titles[section];
        if (orientation == Qt::Horizontal && role == Qt::SizeHintRole && section < m_widths.size())
            return QSize(m_widths[section], 18);
        return engine::GridModel::headerData(section, orientation, role);
    }

private:
    QStringList m_titles;
    QVector<int> m_widths;
};

void exclusive(QObject *owner, std::initializer_list<QAction *> actions)
{
    auto *group = new QActionGroup(owner);
    for (QAction *a : actions)
        group->addAction(a);
    (*actions.begin())->setChecked(true);
}

} // namespace

// The grid and the data set stand on the same row both ways: the letter
// search moves the data set, a click moves the grid.
engine::GridModel *TLorvane::showDataSet(QTableView *grid, engine::DataSet *ds, const QStringList &titles, const QVector<int> &widths)
{
    auto *model = new TitledGridModel(ds, grid, titles, widths);
    grid->setModel(model);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setDefaultSectionSize(18);
    if (!widths.isEmpty()) {
        // A reopen resets the columns; the sizes come from the model again.
        grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        grid->horizontalHeader()->setStretchLastSection(true);
    }
    platform::fitColumnsWhenFilled(grid);
    model->followSelection(grid->selectionModel());
    return model;
}

void TLorvane::setGridTitle(QTableView *grid, int column, const QString &title)
{
    if (auto *model = dynamic_cast<TitledGridModel *>(grid->model()))
        model->setColumnTitle(column, title);
}

void TLorvane::setDataModule(TGrantData *data)
{
    m_data = data;
    data->setView(this);
    showDataSet(PrivGrid, &data->TrigList);
    bindGrantGroupsPage(*data);
    bindUserGroupGrids(*data);
    showAssignmentGrids(data);
}

void TLorvane::setGrantDialogs(Tgrantmes *grant, Tgrantmes2 *revoke)
{
    m_grantmes = grant;
    m_grantmes2 = revoke;
}

void TLorvane::bindGrantInfoPage()
{
    userlbl->setText(privileges::allUserObjects());
    metalbl->setText(privileges::allMetaObjects());
    connect(usertree, &QTreeWidget::currentItemChanged, this, [this] { guarded([this] { usertreeChange(); }); });
    connect(Metatree, &QTreeWidget::currentItemChanged, this, [this] { guarded([this] { MetatreeChange(); }); });
    for (QTreeWidget *tree : {Metatree, Metatreegrant})
        connect(tree, &QTreeWidget::itemExpanded, this,
                [this](QTreeWidgetItem *item) { guarded([this, item] { ensureColumns(item); }); });
    for (int i = 0; i < 2; ++i) {
        bind(item(GrantorGroup, i), &TLorvane::GrantorGroupClick);
        bind(item(SortOrder, i), &TLorvane::SortOrderClick);
    }
    connect(PrivBox, &QComboBox::activated, this, [this] { guarded([this] { PrivBoxClick(); }); });
    bind(Grantbtn, &TLorvane::GrantbtnClick);
    bind(Revokebtn, &TLorvane::RevokebtnClick);
    bind(Upbtn, &TLorvane::UpbtnClick);
    bind(DownBtn, &TLorvane::DownBtnClick);
    PrivGrid->installEventFilter(this); // typed letters search the list
    exclusive(this, {All1, Selected1});
    exclusive(this, {All2, Selected2});
    exclusive(this, {All3, USER1});
    exclusive(this, {All4, Select1, Insert1, Delete3, Update1, Execute1});
    exclusive(this, {byUserObject1, byMetaObject1});
}

void TLorvane::usertreeChange()
{
    QTreeWidgetItem *node = usertree->currentItem();
    if (node && UOActive && UOActive->isChecked()) {
        userlbl->setText(privileges::userObjectLabel(node->parent() ? node->parent()->text(0) : QString(), node->text(0)));
        filterview();
    }
    updateGrantButton();
}

void TLorvane::MetatreeChange()
{
    QTreeWidgetItem *node = Metatree->currentItem();
    if (node && MOActive && MOActive->isChecked()) {
        const QString root = rootOf(node)->text(0);
        if (!node->parent()) {
            metalbl->setText(privileges::allMetaObjects());
            PrivBox->setCurrentIndex(0);
        } else if (!node->parent()->parent()) {
            metalbl->setText(privileges::metaObjectLabel(root, node->text(0)));
            if (root == privileges::proceduresRoot())
                PrivBox->setCurrentIndex(5);
        } else {
            metalbl->setText(privileges::metaObjectLabel(root, node->parent()->text(0), node->text(0)));
            PrivBox->setCurrentIndex(4);
        }
        markPrivilegeChoice();
        filterview();
    }
    updateGrantButton();
}

void TLorvane::updateGrantButton()
{
    const QTreeWidgetItem *object = Metatree->currentItem();
    const QTreeWidgetItem *grantee = usertree->currentItem();
    if (object && grantee)
        Grantbtn->setEnabled(object->parent() && grantee->parent());
    if (GrantPages->currentWidget() == GrantInfo)
        Grant2->setEnabled(Grantbtn->isEnabled());
}

void TLorvane::UOSectionClick()
{
    headerChoice(UOActive->isChecked(), &TLorvane::usertreeChange, userlbl, privileges::allUserObjects(), Selected2, All2);
}

void TLorvane::MOSectionClick()
{
    headerChoice(MOActive->isChecked(), &TLorvane::MetatreeChange, metalbl, privileges::allMetaObjects(), Selected1, All1);
}

void TLorvane::headerChoice(bool active, void (TLorvane::*treeChange)(), QLabel *label, const QString &all,
                            QAction *activeMark, QAction *allMark)
{
    if (active) {
        (this->*treeChange)();
    } else {
        label->setText(all);
        filterview();
    }
    (active ? activeMark : allMark)->setChecked(true);
}

void TLorvane::filterview()
{
    QRadioButton *me = item(GrantorGroup, 1);
    engine::Query &list = GrantData->TrigList;
    list.setFilter(privileges::privilegeListFilter(metalbl->text(), userlbl->text(),
                                                   me->isChecked() ? me->text() : QString(), PrivBox->currentIndex()));
    if (Metatree->currentItem() && usertree->currentItem())
        Revokebtn->setEnabled(list.isActive() && !list.isEmpty());
    if (GrantPages->currentWidget() == GrantInfo) {
        Grant2->setEnabled(Grantbtn->isEnabled());
        Revoke2->setEnabled(Revokebtn->isEnabled());
    }
}

void TLorvane::GrantorGroupClick()
{
    filterview();
    (item(GrantorGroup, 1)->isChecked() ? USER1 : All3)->setChecked(true);
}

void TLorvane::PrivBoxClick()
{
    filterview();
    markPrivilegeChoice();
}

void TLorvane::markPrivilegeChoice()
{
    QAction *const marks[] = {All4, Select1, Insert1, Delete3, Update1, Execute1};
    if (PrivBox->currentIndex() >= 0)
        marks[PrivBox->currentIndex()]->setChecked(true);
}

int TLorvane::sortIndex() const
{
    return item(SortOrder, 1)->isChecked() ? 1 : 0;
}

void TLorvane::SortOrderClick()
{
    m_privSearch.forget();
    (sortIndex() == 1 ? byMetaObject1 : byUserObject1)->setChecked(true);
    privileges::applySortOrder(GrantData->TrigList, sortIndex());
}

void TLorvane::PrivGridKeyPress(const QString &typed)
{
    m_privSearch.keyPress(GrantData->TrigList, privileges::letterSearchField(sortIndex()), typed);
}

void TLorvane::GrantbtnClick()
{
    QTreeWidgetItem *object = Metatree->currentItem();
    QTreeWidgetItem *to = usertree->currentItem();
    if (!object || !to || !object->parent() || !to->parent())
        return;
    const privileges::Grantee grantee = privileges::granteeOfTree(to->parent()->text(0), to->text(0));
    QTreeWidgetItem *root = rootOf(object);
    // Nothing is asked about what no statement could name.
    QStringList named{grantee.name};
    for (QTreeWidgetItem *n = object; n != root; n = n->parent())
        named << n->text(0);
    privileges::checkPlainNames(named);
    if (root->text(0) == privileges::proceduresRoot()) {
        m_grantmes2->prepareGrant(object->text(0), grantee);
        platform::execModal(*m_grantmes2);
        return;
    }
    const bool columnNode = object->parent() != root;
    if (!columnNode)
        ensureColumns(object);
    QStringList columns;
    if (columnNode)
        columns << object->text(0);
    else
        for (int i = 0; i < object->childCount(); ++i)
            columns << object->child(i)->text(0);
    m_grantmes->prepare(Tgrantmes::Mode::Direct, (columnNode ? object->parent() : object)->text(0), columns,
                        columnNode ? 1 : 0, grantee);
    platform::execModal(*m_grantmes);
}

void TLorvane::RevokebtnClick()
{
    engine::Query &list = GrantData->TrigList;
    if (!list.isActive() || list.isEmpty())
        return;
    const privileges::PrivilegeRow row = privileges::currentPrivilegeRow(list);
    // Nothing is asked about what no statement could name.
    privileges::checkRowNames(row);
    if (!m_grantmes2->prepareRevoke(row)) {
        AppException(privileges::unknownGranteeText());
        return;
    }
    platform::execModal(*m_grantmes2);
}

void TLorvane::moveTreeBorder(QToolButton *pressed, QToolButton *other, int height)
{
    if (m_savedTreeHeight) {
        platform::setDockExtent(Metatree, *m_savedTreeHeight);
        m_savedTreeHeight.reset();
        other->setEnabled(true);
        return;
    }
    m_savedTreeHeight = Metatree->height();
    platform::setDockExtent(Metatree, height);
    pressed->setEnabled(false);
}

void TLorvane::UpbtnClick()
{
    moveTreeBorder(Upbtn, DownBtn, 0);
}

void TLorvane::DownBtnClick()
{
    moveTreeBorder(DownBtn, Upbtn, Metatree->height() + usertree->height());
}

void TLorvane::btnpanelResize()
{
    resizebtnpanel();
}

void TLorvane::All1Click()
{
    MOAll->setChecked(true);
    MOSectionClick();
}

void TLorvane::Selected1Click()
{
    MOActive->setChecked(true);
    MOSectionClick();
}

void TLorvane::All2Click()
{
    UOAll->setChecked(true);
    UOSectionClick();
}

void TLorvane::Selected2Click()
{
    UOActive->setChecked(true);
    UOSectionClick();
}

void TLorvane::chooseGrantor(int index)
{
    item(GrantorGroup, index)->setChecked(true);
    GrantorGroupClick();
}

void TLorvane::All3Click() { chooseGrantor(0); }
void TLorvane::USER1Click() { chooseGrantor(1); }

void TLorvane::choosePrivilege(int index)
{
    PrivBox->setCurrentIndex(index);
    PrivBoxClick();
}

void TLorvane::All4Click() { choosePrivilege(0); }
void TLorvane::Select1Click() { choosePrivilege(1); }
void TLorvane::Insert1Click() { choosePrivilege(2); }
void TLorvane::Delete3Click() { choosePrivilege(3); }
void TLorvane::Update1Click() { choosePrivilege(4); }
void TLorvane::Execute1Click() { choosePrivilege(5); }
