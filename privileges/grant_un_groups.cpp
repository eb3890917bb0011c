// The page GrantGroups: the group list and its editor, the object tree, the
// current group's privileges with the moves in and out, the option switch,
// and "Save and Commit" / "Cancel and RollBack". What each command does is
// in GrantGroups and GroupRevokes; the handlers ask, call one operation and
// show the result.
#include "privileges/grant_un.h"

#include "engine/Error.h"
#include "engine/GridModel.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "privileges/GrantGroups.h"
#include "privileges/GroupRevokes.h"
#include "privileges/gmes_un.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

using platform::Prompter;
using privileges::GroupEdit;

namespace {

const QString kConfirm = QStringLiteral("Confirmation");

bool confirmed(const QString &question)
{
    return Prompter::instance().confirm(kConfirm, question) == Prompter::Answer::Yes;
}

// Forwards a widget's key presses to a handler; true from it eats the key.
class KeyForwarder : public QObject {
public:
    KeyForwarder(QWidget *watched, std::function<bool(QKeyEvent *)> handler)
        : QObject(watched), m_handler(std::move(handler))
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        return event->type() == QEvent::KeyPress && m_handler(static_cast<QKeyEvent *>(event));
    }

private:
    std::function<bool(QKeyEvent *)> m_handler;
};

GroupEdit groupEditOf(const QPushButton *add)
{
    for (GroupEdit e : {GroupEdit::NewGroup, GroupEdit::Rename})
        if (privileges::groupEditButtons(e).addCaption == add->text())
            return e;
    return GroupEdit::Browse;
}

privileges::TreeNode nodeOf(const QTreeWidgetItem *item)
{
    privileges::TreeNode n;
    n.text = item->text(0);
    for (int i = 0; i < item->childCount(); ++i)
        n.children << nodeOf(item->child(i));
    return n;
}

privileges::TreeNodes nodesOf(const QTreeWidget *tree)
{
    privileges::TreeNodes roots;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        roots << nodeOf(tree->topLevelItem(i));
    return roots;
}

QStringList captionPath(const QTreeWidgetItem *node)
{
    QStringList path;
    for (; node; node = node->parent())
        path.prepend(node->text(0));
    return path;
}

// The current group, or the refusal before anything is sent.
QString groupOrRefuse()
{
    return TGrantData::currentName(GrantData->MetaGrantDef, QStringLiteral("GGNAME"), QStringLiteral("GrantGroup"));
}

} // namespace

void TLorvane::bindGrantGroupsPage(TGrantData &data)
{
    data.MetaGrantDef.setFieldVisible(QStringLiteral("GGDESC"), false);
    showDataSet(gdeflist, &data.MetaGrantDef, {QStringLiteral("GrantGroups List")}, {0});
    data.MetaGrantlist.setFieldOrder({QStringLiteral("TVNAME"), QStringLiteral("TVTYPE"), QStringLiteral("GGTYPE"),
                                      QStringLiteral("option"), QStringLiteral("TVCOLS")});
    data.MetaGrantlist.setFieldVisible(QStringLiteral("GFNAME"), false);
    showDataSet(GrantListGrid, &data.MetaGrantlist,
                {QStringLiteral("ObjectName"), QStringLiteral("ObjectType"), QStringLiteral("Privilege"),
                 QStringLiteral("GrantOption"), QStringLiteral("Fields")});
}

void TLorvane::showGroupEdit(GroupEdit edit)
{
    const privileges::GroupEditButtons b = privileges::groupEditButtons(edit);
    AddggName->setText(b.addCaption);
    DelggName->setText(b.deleteCaption);
    ModifyGrantGroup->setEnabled(b.modifyEnabled);
    gdefname->setEnabled(!b.listVisible);
    if (!b.listVisible)
        gdefname->setFocus(); // before the list hides: focus leaving it would move its current row
    gdeflist->setVisible(b.listVisible);
    if (b.listVisible) {
        gdeflist->raise();
        gdeflist->setFocus();
        GrantDefSDDataChange(); // delete and modify only with a current group
    } else {
        gdeflist->lower();
        DelggName->setEnabled(true);
    }
}

void TLorvane::refreshGroupLists()
{
    if (!GrantData || !GrantData->grantdb.isConnected())
        return;
    try {
        if (GrantData->MetaGrantlist.isActive())
            GrantData->MetaGrantlist.refresh();
        GrantData->FilterUsersDef(GrantData->usersgrp, true);
    } catch (const engine::Error &) {
        // The error that ended the transaction is the one to show.
    }
}

void TLorvane::AddggNameClick()
{
    const GroupEdit edit = groupEditOf(AddggName);
    if (edit == GroupEdit::Browse) {
        gdefname->clear();
        Grantdesc->clear();
        showGroupEdit(GroupEdit::NewGroup);
        return;
    }
    const QString name = gdefname->text();
    // A name that cannot be used keeps the editor open to correct it.
    const QString problem = privileges::groupNameProblem(name);
    if (!problem.isEmpty()) {
        AppException(problem);
        return;
    }
    privileges::GrantGroups groups(*GrantData, progress());
    try {
        settledOnFailure([&] { groups.saveGroup(edit, name, Grantdesc->toPlainText().split(QLatin1Char('\n'))); });
    } catch (...) {
        showGroupEdit(GroupEdit::Browse);
        throw;
    }
    GrantData->MetaGrantDef.locate(QStringLiteral("GGNAME"), name);
    showGroupEdit(GroupEdit::Browse);
    resetPageControls(); // the save committed every page's work
}

void TLorvane::ModifyGrantGroupClick()
{
    const QString group = groupOrRefuse();
    gdefname->setText(group);
    Grantdesc->setPlainText(GrantData->MetaGrantDef.fieldByName(QStringLiteral("GGDESC")).asString());
    showGroupEdit(GroupEdit::Rename);
}

void TLorvane::DelggNameClick()
{
    if (DelggName->text() != privileges::groupEditButtons(GroupEdit::Browse).deleteCaption) {
        showGroupEdit(GroupEdit::Browse);
        return;
    }
    const QString group = groupOrRefuse();
    if (!confirmed(privileges::deleteGroupQuestion(group)))
        return;
    const bool revoke = confirmed(privileges::revokeOnDeleteQuestion(group)) && confirmed(privileges::removeAllQuestion());
    settledOnFailure([&] { privileges::GrantGroups(*GrantData, progress()).deleteGroup(revoke); });
    resetPageControls();
}

void TLorvane::MovebtnClick()
{
    QTreeWidgetItem *node = Metatreegrant->currentItem();
    if (!node)
        return;
    groupOrRefuse();
    ensureColumns(node); // the grant dialog lists a table's columns
    privileges::GrantGroups groups(*GrantData, progress());
    const privileges::TreeNodes tree = nodesOf(Metatreegrant);
    const privileges::MoveTarget target = privileges::moveTargetOf(tree, captionPath(node));
    // A refusal sends nothing: the work pending on the page stays, and so
    // do its buttons.
    privileges::checkMoveTargetNames(target);
    bool added = false;
    settledOnFailure([&] {
        added = groups.fillSP(target, [&](const privileges::MoveTarget &t) {
            m_grantmes->prepareGroup(t, groups);
            const auto add = m_grantmes->groupGrant;
            m_grantmes->groupGrant = [this, add](const QVector<privileges::GroupGrantCall> &calls) {
                settledOnFailure([&] { add(calls); });
                enableGroupCommit();
            };
            platform::execModal(*m_grantmes);
        });
    });
    if (added) {
        setRemoveButtons(true);
        enableGroupCommit();
    }
    rmvG->setEnabled(true);
    rmvag->setEnabled(true);
    showLeftOut(groups.leftOut());
}

void TLorvane::showLeftOut(const QStringList &leftOut)
{
    if (!leftOut.isEmpty())
        Prompter::instance().message(Prompter::Icon::Warning, windowTitle(), privileges::leftOutObjectsText(leftOut));
}

void TLorvane::MoveallBtnClick()
{
    groupOrRefuse();
    privileges::GrantGroups groups(*GrantData, progress());
    settledOnFailure([&] { groups.moveAll(nodesOf(Metatreegrant)); });
    showLeftOut(groups.leftOut());
    GrantListGrid->viewport()->update();
    setRemoveButtons(true);
    enableGroupCommit();
    setGroupButtons(false, false); // until the work is committed or rolled back
}

void TLorvane::CommitbtnClick()
{
    settledOnFailure([&] { privileges::GrantGroups(*GrantData, progress()).commit(); });
    resetPageControls();
}

void TLorvane::RollBackbtnClick()
{
    settledOnFailure([&] { privileges::GrantGroups(*GrantData, progress()).rollback(); });
    resetPageControls();
    GrantListGrid->viewport()->update();
}

void TLorvane::RemovebtnClick()
{
    privileges::GroupRemovals removals(*GrantData, progress());
    const std::optional<privileges::GroupRowOnPage> row = removals.currentRow();
    if (!row)
        return;
    privileges::checkGroupRowNames(*row);
    QString note;
    settledOnFailure([&] { note = removals.cascadeNote(*row); });
    if (!confirmed(privileges::removeRowQuestion(*row) + note))
        return;
    settledOnFailure([&] { removals.removeRow(); });
    enableGroupCommit();
}

void TLorvane::RemoveAllbtnClick()
{
    if (!GrantListHasRows() || !confirmed(privileges::removeAllQuestion()))
        return;
    settledOnFailure([&] { privileges::GroupRemovals(*GrantData, progress()).removeAll(); });
    enableGroupCommit();
    GrantListGrid->viewport()->update();
}

void TLorvane::GrantListGridDblClick()
{
    auto *model = static_cast<engine::GridModel *>(GrantListGrid->model());
    engine::Table &list = GrantData->MetaGrantlist;
    if (model->fieldAt(GrantListGrid->currentIndex().column()) != list.fieldIndex(QStringLiteral("option")))
        return;
    privileges::GroupRemovals removals(*GrantData, progress());
    const std::optional<privileges::GroupRowOnPage> row = removals.currentRow();
    if (!row)
        return;
    privileges::checkGroupRowNames(*row);
    // Taking a grant option away also takes what its holders granted on:
    // only then is there something to ask.
    QString note;
    if (row->row.option != 0)
        settledOnFailure([&] { note = removals.cascadeNote(*row, 0); });
    if (!note.isEmpty() && !confirmed(privileges::switchOptionOffQuestion(*row) + note))
        return;
    settledOnFailure([&] { removals.switchOption(); });
    enableGroupCommit();
}

bool TLorvane::GrantListGridKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Delete || modifiers != Qt::ControlModifier)
        return false;
    if (Removebtn->isEnabled())
        RemovebtnClick();
    return true;
}

void TLorvane::GrantListGridKeyPress(const QString &typed)
{
    m_groupSearch.keyPress(GrantData->MetaGrantlist, QStringLiteral("TVNAME"), typed);
}

void TLorvane::bindGrantGroupsKeys()
{
    new KeyForwarder(GrantListGrid, [this](QKeyEvent *k) {
        bool eaten = false;
        guarded([&] {
            eaten = GrantListGridKeyDown(k->key(), k->modifiers());
            const QString typed = k->text();
            if (!eaten && !typed.isEmpty() && typed.at(0).isPrint() && !typed.at(0).isSpace()
                && !(k->modifiers() & Qt::ControlModifier)) {
                GrantListGridKeyPress(typed);
                eaten = true; // the grid's own search would move elsewhere
            }
        });
        return eaten;
    });
    connect(GrantListGrid, &QTableView::doubleClicked, this, [this] { guarded([this] { GrantListGridDblClick(); }); });
    connect(gdefname, &QLineEdit::textEdited, gdefname, [this](const QString &text) {
        // The name field takes upper case only, as names are kept.
        if (text != text.toUpper()) {
            const int at = gdefname->cursorPosition();
            gdefname->setText(text.toUpper());
            gdefname->setCursorPosition(at);
        }
    });
    bind(ModifyGrantGroup, &TLorvane::ModifyGrantGroupClick);
}
