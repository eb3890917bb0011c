// The page UserGroups, its registration half: the user editor and the
// user-group editor in their grids' places, the popup and the six tool
// buttons with the "&Users" submenus, the type icons and letter search of
// the page's grids, the enabled state of this page and of GrantAction, and
// the server users dialog.
#include "privileges/grant_un.h"

#include "engine/GridModel.h"
#include "platform/DockLayout.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "privileges/GrantGroups.h"
#include "privileges/MetaTrees.h"
#include "privileges/UserGroupMembers.h"
#include "privileges/UserRegistry.h"
#include "privileges/ibnames.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QValidator>

using platform::Prompter;

namespace {

const QString kConfirmation = QStringLiteral("Confirmation");

bool hasRow(const engine::DataSet &ds)
{
    return ds.isActive() && !ds.isEmpty();
}

// Name fields force upper case as they are typed.
class UpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

// The grids draw their own cells: in the first column the type picture of
// the row, one for a selected row and the next index for the others; in the
// others the name, both at the same offsets from the cell's corner.
class TypeCells : public QStyledItemDelegate {
public:
    using Draw = std::function<void(QPainter &, const QRect &, int row, int column, bool selected)>;
    TypeCells(Draw draw, QObject *parent) : QStyledItemDelegate(parent), m_draw(std::move(draw)) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        m_draw(*painter, option.rect, index.row(), index.column(), selected);
    }

private:
    Draw m_draw;
};

// Key presses of a grid go to its letter search; its focus is remembered,
// for the commands that act on "the focused grid".
class GridEvents : public QObject {
public:
    GridEvents(std::function<void(const QString &)> keyPress, std::function<void()> focused, QObject *parent)
        : QObject(parent), m_keyPress(std::move(keyPress)), m_focused(std::move(focused))
    {
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn && m_focused)
            m_focused();
        if (event->type() != QEvent::KeyPress)
            return false;
        const QString typed = static_cast<QKeyEvent *>(event)->text();
        if (typed.isEmpty() || !typed.at(0).isPrint() || typed.at(0).isSpace())
            return false;
        m_keyPress(typed);
        return true; // the grid's own search would move elsewhere
    }

private:
    std::function<void(const QString &)> m_keyPress;
    std::function<void()> m_focused;
};

void drawTypeCell(QPainter &p, const QRect &cell, const QVector<QIcon> &images, int column, int image, const QString &name)
{
    const QPoint at = cell.topLeft() + QPoint(4, 2);
    if (column == 0) {
        if (image >= 0 && image < images.size())
            images[image].paint(&p, QRect(at, QSize(16, 16)));
        return;
    }
    p.drawText(QRect(at, cell.bottomRight()), Qt::AlignLeft | Qt::AlignTop, name);
}

// A page's three pairs of buttons, or the menu items that follow them.
template<typename T>
void follow(const privileges::PagePairs &p, std::initializer_list<T *> move, std::initializer_list<T *> remove,
            std::initializer_list<T *> commit)
{
    for (T *t : move)
        t->setEnabled(p.move);
    for (T *t : remove)
        t->setEnabled(p.remove);
    for (T *t : commit)
        t->setEnabled(p.commit);
}

} // namespace

void TLorvane::bindUserRegistration()
{
    for (QLineEdit *e : {usn, ugp}) {
        e->setValidator(new UpperCase(e));
        e->setMaxLength(31);
    }
    // Three parts and two blanks fit the stored description.
    for (QLineEdit *e : {fn, mn, ln})
        e->setMaxLength(84);
    connect(usn, &QLineEdit::textChanged, this, &TLorvane::usnChange);
    connect(ugp, &QLineEdit::textChanged, this, &TLorvane::ugpChange);
    bind(svu, &TLorvane::svuClick);
    bind(escu, &TLorvane::escuClick);
    bind(svugp, &TLorvane::svugpClick);
    bind(escugp, &TLorvane::escugpClick);
    bind(AddIBnames, &TLorvane::AddIBnamesClick);

    upamenu = new QMenu(this);
    upamenu->setObjectName(QStringLiteral("upamenu"));
    Add1 = upamenu->addAction(QStringLiteral("&Add"));
    Modify1 = upamenu->addAction(QStringLiteral("&Modify"));
    Delete1 = upamenu->addAction(QStringLiteral("&Delete"));
    Add1->setObjectName(QStringLiteral("Add1"));
    Modify1->setObjectName(QStringLiteral("Modify1"));
    Delete1->setObjectName(QStringLiteral("Delete1"));
    bind(Add1, &TLorvane::Add1Click);
    bind(Modify1, &TLorvane::Modify1Click);
    bind(Delete1, &TLorvane::Delete1Click);

    using KeyPress = void (TLorvane::*)(const QString &);
    const auto watch = [this](QTableView *grid, KeyPress handler, bool popup) {
        grid->installEventFilter(new GridEvents([this, handler](const QString &t) { guarded([&] { (this->*handler)(t); }); },
                                                popup ? std::function<void()>([this, grid] { m_userGridFocus = grid; })
                                                      : std::function<void()>(),
                                                grid));
        if (!popup)
            return;
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid, &QWidget::customContextMenuRequested, this, [this, grid](const QPoint &at) {
            focusUserGrid(grid);
            upamenuPopup();
            upamenu->popup(grid->viewport()->mapToGlobal(at));
        });
    };
    watch(usergrid, &TLorvane::usergridKeyPress, true);
    watch(usergp, &TLorvane::usergpKeyPress, true);
    watch(usersgp, &TLorvane::usersgpKeyPress, false);
}

void TLorvane::bindUserGroupGrids(TGrantData &data)
{
    for (engine::Query *ds : {&data.usersdef, &data.usergrp}) {
        ds->setFieldOrder({QStringLiteral("USERTYPE"), QStringLiteral("UGNAME")});
        ds->setFieldVisible(QStringLiteral("UGDESC"), false);
    }
    struct Grid {
        QTableView *grid;
        engine::DataSet *ds;
        int iconWidth;
        QString iconTitle, nameField, nameTitle;
        void (TLorvane::*draw)(QPainter &, const QRect &, int, int, bool);
    };
    for (const Grid &g : {Grid{usergrid, &data.usersdef, 32, QStringLiteral(" "), QStringLiteral("UGNAME"),
                               QStringLiteral(" Users"), &TLorvane::usergridDrawColumnCell},
                          Grid{usergp, &data.usergrp, 40, QStringLiteral(" "), QStringLiteral("UGNAME"),
                               QStringLiteral(" UserGroups"), &TLorvane::usergpDrawColumnCell},
                          Grid{usersgp, &data.usersgrp, 54, QStringLiteral("Group"), QStringLiteral("UALIAS"), QString(),
                               &TLorvane::usersgpDrawColumnCell}}) {
        engine::GridModel *model = showDataSet(g.grid, g.ds);
        model->setTitle(model->dataSet() == &data.usersgrp ? QStringLiteral("ID") : QStringLiteral("USERTYPE"), g.iconTitle);
        if (!g.nameTitle.isNull())
            model->setTitle(g.nameField, g.nameTitle);
        g.grid->setItemDelegate(new TypeCells(
            [this, draw = g.draw](QPainter &p, const QRect &r, int row, int column, bool selected) {
                (this->*draw)(p, r, row, column, selected);
            },
            g.grid));
        QTableView *grid = g.grid;
        const int width = g.iconWidth;
        connect(model, &QAbstractItemModel::modelReset, grid, [grid, width] {
            if (grid->model()->columnCount() > 0)
                grid->setColumnWidth(0, width);
        });
    }
}

// ---- the type icons and the letter search

void TLorvane::usergridDrawColumnCell(QPainter &p, const QRect &cell, int row, int column, bool selected)
{
    engine::DataSet &ds = GrantData->usersdef;
    if (!hasRow(ds) || row >= ds.recordCount())
        return;
    const int type = ds.valueAt(row, ds.fieldIndex(QStringLiteral("USERTYPE"))).toInt();
    drawTypeCell(p, cell, ledcntner, column, type + (selected ? 6 : 7),
                 ds.textAt(row, ds.fieldIndex(QStringLiteral("UGNAME"))).trimmed());
}

void TLorvane::usergpDrawColumnCell(QPainter &p, const QRect &cell, int row, int column, bool selected)
{
    engine::DataSet &ds = GrantData->usergrp;
    if (hasRow(ds) && row < ds.recordCount())
        drawTypeCell(p, cell, ledcntner, column, selected ? 8 : 9,
                     ds.textAt(row, ds.fieldIndex(QStringLiteral("UGNAME"))).trimmed());
}

void TLorvane::usersgpDrawColumnCell(QPainter &p, const QRect &cell, int row, int column, bool selected)
{
    engine::DataSet &ds = GrantData->usersgrp;
    if (hasRow(ds) && row < ds.recordCount())
        drawTypeCell(p, cell, ledcntner, column, selected ? 6 : 7,
                     ds.textAt(row, ds.fieldIndex(QStringLiteral("UALIAS"))).trimmed());
}

void TLorvane::usergridKeyPress(const QString &typed)
{
    m_usergridSearch.keyPress(GrantData->usersdef, QStringLiteral("ugname"), typed);
}

void TLorvane::usergpKeyPress(const QString &typed)
{
    m_usergpSearch.keyPress(GrantData->usergrp, QStringLiteral("ugname"), typed);
}

void TLorvane::usersgpKeyPress(const QString &typed)
{
    m_usersgpSearch.keyPress(GrantData->usersgrp, QStringLiteral("ualias"), typed);
}

// ---- the commands: the popup decides by the focused grid

QTableView *TLorvane::focusedUserGrid() const
{
    if (usergp->hasFocus())
        return usergp;
    if (usergrid->hasFocus())
        return usergrid;
    return m_userGridFocus;
}

void TLorvane::focusUserGrid(QTableView *grid)
{
    grid->setFocus();
    m_userGridFocus = grid;
}

void TLorvane::uplusClick() { focusUserGrid(usergrid); Add1Click(); }
void TLorvane::umodifyClick() { focusUserGrid(usergrid); Modify1Click(); }
void TLorvane::uminusClick() { focusUserGrid(usergrid); Delete1Click(); }
void TLorvane::ugplusClick() { focusUserGrid(usergp); Add1Click(); }
void TLorvane::ugmodifyClick() { focusUserGrid(usergp); Modify1Click(); }
void TLorvane::ugminusClick() { focusUserGrid(usergp); Delete1Click(); }
void TLorvane::Add3Click() { uplusClick(); }
void TLorvane::Modify3Click() { umodifyClick(); }
void TLorvane::delete4Click() { uminusClick(); }
void TLorvane::Add4Click() { ugplusClick(); }
void TLorvane::Modify4Click() { ugmodifyClick(); }
void TLorvane::Delete5Click() { ugminusClick(); }

void TLorvane::upamenuPopup()
{
    const engine::DataSet &ds = focusedUserGrid() == usergrid ? GrantData->usersdef : GrantData->usergrp;
    Modify1->setEnabled(hasRow(ds));
    Delete1->setEnabled(hasRow(ds));
    Add1->setEnabled(true);
}

void TLorvane::showUserEditor(bool open)
{
    usergrid->setVisible(!open);
    Panel9->setVisible(open);
    if (!open)
        focusUserGrid(usergrid);
}

void TLorvane::showUserGroupEditor(bool open)
{
    usergp->setVisible(!open);
    Panel16->setVisible(open);
    if (!open)
        focusUserGrid(usergp);
}

void TLorvane::openRegistryEditor(bool adding)
{
    QTableView *grid = focusedUserGrid();
    if (grid == usergp) {
        m_editedGroup = adding ? QString()
                               : TGrantData::currentName(GrantData->usergrp, QStringLiteral("UGNAME"), QStringLiteral("UserGroup"));
        svugpTag = adding ? 1 : 0;
        ugp->setText(m_editedGroup);
        udes->setPlainText(adding ? QString() : GrantData->usergrp.fieldByName(QStringLiteral("UGDESC")).asString());
        ugp->setModified(false);
        showUserGroupEditor(true);
        ugp->setFocus();
    } else if (grid == usergrid) {
        m_editedUser = adding ? QString()
                              : TGrantData::currentName(GrantData->usersdef, QStringLiteral("UGNAME"), QStringLiteral("user"));
        svuTag = adding ? 1 : 0;
        const privileges::NameParts parts =
            adding ? privileges::NameParts{}
                   : privileges::splitUserDescription(GrantData->usersdef.fieldByName(QStringLiteral("UGDESC")).asString());
        usn->setText(m_editedUser);
        fn->setText(parts.first);
        mn->setText(parts.middle);
        ln->setText(parts.last);
        for (QLineEdit *e : {usn, fn, mn, ln})
            e->setModified(false);
        showUserEditor(true);
        usn->setFocus();
    }
    ubuttons();
    User2->menuAction()->setEnabled(false);
    UserG2->menuAction()->setEnabled(false);
}

void TLorvane::Add1Click()
{
    openRegistryEditor(true);
}

void TLorvane::Modify1Click()
{
    openRegistryEditor(false);
}

void TLorvane::usnChange()
{
    svu->setEnabled(!usn->text().isEmpty());
}

void TLorvane::ugpChange()
{
    svugp->setEnabled(!ugp->text().isEmpty());
}

void TLorvane::escuClick()
{
    showUserEditor(false);
    svuTag = 0;
    ubuttons();
}

void TLorvane::escugpClick()
{
    showUserGroupEditor(false);
    svugpTag = 0;
    ubuttons();
}

void TLorvane::afterRegistryChange()
{
    // The transaction the pages shared has ended: none has work left. The
    // operation has reopened the user lists; the holders follow.
    resetPageControls();
    GrantData->FilterUsersDef(GrantData->metasgrp, true);
    ubuttons();
}

void TLorvane::svuClick()
{
    const privileges::RegistryEdit edit{svuTag == 1, m_editedUser, usn->text(), usn->isModified(),
                                        privileges::userDescription(fn->text(), mn->text(), ln->text())};
    // A failed save leaves the editor open in its mode.
    registryChange([&] { privileges::UserRegistry(*GrantData, progress()).saveUser(edit); });
    if (edit.adding)
        privileges::addUserNode(*usertree, edit.name, ledcntner);
    else if (edit.nameModified && edit.name != edit.oldName)
        privileges::renameUserNode(*usertree, edit.oldName, edit.name);
    escuClick();
}

void TLorvane::svugpClick()
{
    const privileges::RegistryEdit edit{svugpTag == 1, m_editedGroup, ugp->text(), ugp->isModified(),
                                        privileges::groupDescription(udes->toPlainText().split(QLatin1Char('\n')))};
    registryChange([&] { privileges::UserRegistry(*GrantData, progress()).saveUserGroup(edit); });
    GrantData->usergrp.locate(QStringLiteral("UGNAME"), edit.name);
    escugpClick();
}

void TLorvane::Delete1Click()
{
    const bool user = focusedUserGrid() == usergrid;
    const QString name = user ? TGrantData::currentName(GrantData->usersdef, QStringLiteral("UGNAME"), QStringLiteral("user"))
                              : TGrantData::currentName(GrantData->usergrp, QStringLiteral("UGNAME"), QStringLiteral("UserGroup"));
    if (Prompter::instance().confirm(kConfirmation, user ? privileges::deleteUserQuestion(name)
                                                         : privileges::deleteUserGroupQuestion(name))
        != Prompter::Answer::Yes)
        return;
    privileges::UserRegistry registry(*GrantData, progress());
    if (user) {
        registryChange([&] { registry.deleteUser(name); });
        privileges::removeUserNode(*usertree, name);
        return;
    }
    // No to taking the members out stops the deletion: a group deleted
    // with members would leave them, and what it gave them, behind.
    if (registry.currentUserGroupHasMembers()
        && Prompter::instance().confirm(kConfirmation, privileges::removeAllMembersQuestion(name)) != Prompter::Answer::Yes)
        return;
    registryChange([&] { registry.deleteCurrentUserGroup(); });
}

// ---- the enabled state of this page and of GrantAction

void TLorvane::ubuttons()
{
    if (!GrantData)
        return;
    const TGrantData &d = *GrantData;
    const QString page = GrantPages->tabText(GrantPages->currentIndex());
    privileges::ButtonsSituation s;
    s.page = page == QLatin1String("UserGroups")    ? privileges::ActivePage::UserGroups
             : page == QLatin1String("GrantAction") ? privileges::ActivePage::GrantAction
                                                    : privileges::ActivePage::Other;
    s.users = {hasRow(d.usergrp), hasRow(d.usersgrp), hasRow(d.usersdef), okbtn->isEnabled() || m_usersPendingHidden,
               usergrid->isHidden() || usergp->isHidden()};
    s.holders = {hasRow(d.metagrp), hasRow(d.metasgrp), hasRow(d.usersdef), gokbtn->isEnabled() || m_holdersPendingHidden,
                 false};
    s.userRows = hasRow(d.usersdef);
    s.groupRows = hasRow(d.usergrp);
    const privileges::ButtonsState b = privileges::ubuttons(s);
    // Work whose commit buttons are off for now is still pending.
    m_usersPendingHidden = s.users.pending && !b.userPairs.commit;
    m_holdersPendingHidden = s.holders.pending && !b.holderPairs.commit;

    follow<QWidget>(b.userPairs, {mvbtn, mvallbtn}, {remvbtn, remvallbtn}, {okbtn, escbtn});
    follow<QWidget>(b.holderPairs, {gmvbtn, gmvallbtn}, {gremvbtn, gremvallbtn}, {gokbtn, gescbtn});
    follow<QAction>(b.userItems, {MoveToGroup3, MoveAllToGroup1}, {RemoveFromGroup1, RemoveAllFromGroup1}, {Commit1, RollBack1});
    follow<QAction>(b.holderItems, {Grant1, GrantAll1}, {Revoke1, RevokeAll1}, {Commit3, RollBack3});
    User2->menuAction()->setEnabled(b.userMenus);
    UserG2->menuAction()->setEnabled(b.userMenus);
    const std::pair<QToolButton *, QAction *> tools[] = {{uplus, Add3},  {umodify, Modify3},  {uminus, delete4},
                                                         {ugplus, Add4}, {ugmodify, Modify4}, {ugminus, Delete5}};
    const bool on[] = {b.uplus, b.umodify, b.uminus, b.ugplus, b.ugmodify, b.ugminus};
    for (int i = 0; i < 6; ++i) {
        tools[i].first->setEnabled(on[i]);
        tools[i].second->setEnabled(on[i]);
    }
}

// ---- the server users dialog

void TLorvane::setServerUsersDialog(TIBnames *dialog)
{
    m_ibnames = dialog;
    dialog->showError = [this](const QString &text) { AppException(text); };
}

void TLorvane::AddIBnamesClick()
{
    if (!m_ibnames)
        return;
    // Read afresh each time: the registered users change. A failure is
    // shown once, instead of an empty list.
    if (!m_ibnames->usersview(m_ibnames->RadioButton1->isChecked())) {
        AppException(m_ibnames->lastError());
        return;
    }
    const bool taken = platform::execModal(*m_ibnames) == QDialog::Accepted;
    const TIBnames::Chosen chosen = taken ? m_ibnames->chosen() : TIBnames::Chosen{};
    m_ibnames->IBUsers.close();
    if (!taken || chosen.user.isEmpty())
        return;
    // The name taken is a new user: the save adds him, whatever the editor
    // was opened for.
    svuTag = 1;
    m_editedUser.clear();
    usn->setText(chosen.user);
    usn->setModified(true);
    const std::pair<QLineEdit *, const std::optional<QString> *> parts[] = {
        {fn, &chosen.first}, {mn, &chosen.middle}, {ln, &chosen.last}};
    for (const auto &[edit, value] : parts)
        if (value->has_value())
            edit->setText(**value);
}
