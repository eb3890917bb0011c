#pragma once

#include "privileges/DirectGrants.h"
#include "privileges/GroupArithmetic.h"
#include "privileges/MetaTrees.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class TGrantData;

// The page `GrantGroups` as plain operations over the data module: making,
// renaming and deleting grant groups and adding privileges to the current
// one, each added privilege granted at once to the users the group reaches.
// Everything runs in the data module's open transaction; a failure rolls it
// back, starts the next one and passes the error on.
namespace privileges {

class OperationProgress;

QString fillNameText();
QString uniqueNameText();
// Why a group name cannot be used, or an empty text.
QString groupNameProblem(const QString &name);
QString deleteGroupQuestion(const QString &group);
QString revokeOnDeleteQuestion(const QString &group);

// Browse mode, or editing a new group or the current one.
enum class GroupEdit { Browse, NewGroup, Rename };

// What the page shows in each mode.
struct GroupEditButtons {
    QString addCaption;    // `AddggName`
    QString deleteCaption; // `DelggName`
    bool modifyEnabled;    // `ModifyGrantGroup`
    bool listVisible;      // `gdeflist` (the edit fields share its place)
    int nameTag;           // `gdefname`'s tag: 0 new, 1 rename
};
GroupEditButtons groupEditButtons(GroupEdit edit);

// The description as stored: the memo's lines joined with nothing between
// them, cut to 255 characters.
QString groupDescription(const QStringList &memoLines);

// What ">" does with the selected node of `Metatreegrant`, given as the
// captions from its root down.
struct MoveTarget {
    enum class Kind { Nothing, Root, Procedure, Object, Column };
    Kind kind = Kind::Nothing;
    QString object;      // the procedure, table or view
    QString type;        // "Table", "View" or "Procedure"
    QStringList columns; // the grant dialog's rows
    int dialogTag = 0;   // 0 the object's columns, 1 one column
    const TreeNode *root = nullptr;
};
MoveTarget moveTargetOf(const TreeNodes &tree, const QStringList &captionPath);
// Raises engine::Error naming the procedure, object or column that no
// statement could name: called before anything is asked or written.
void checkMoveTargetNames(const MoveTarget &target);

// "grant {priv}" / "({column})" only with a column / " on {object} to
// {users}", "procedure " before {object} for Execute / " with grant option"
// only with option: a privilege added to a group or its option switched on.
// Raises engine::Error when a name is not a plain identifier.
QStringList groupPrivilegeGrant(const PrivilegeKey &key, const QStringList &users, bool withOption);

// The users the group reaches as `addus` lists them, each once.
QStringList usersOfGroup(TGrantData &data, const QString &group);

// Runs work in the open transaction and refreshes `MetaGrantlist` after
// it, also after a failure has rolled back what was added before it: the
// rows shown must be the ones the transaction holds.
void changeGroupList(TGrantData &data, const std::function<void()> &work);

class GrantGroups {
public:
    GrantGroups(TGrantData &data, OperationProgress &progress);

    // The current row of `MetaGrantDef`; empty when there is none.
    QString currentGroup() const;

    // Saves the edited group (new or renamed) and commits everything
    // pending. Raises engine::Error: the name problem (nothing sent, nothing
    // rolled back), the unique-name text for a name in use, or the server's
    // error (both after a roll-back of the whole transaction).
    void saveGroup(GroupEdit edit, const QString &name, const QStringList &memoLines);

    // Deletes the current group after its questions (revoke: the answer to
    // the second and to "Revoke all privileges?") and commits.
    void deleteGroup(bool revoke);

    // `MovebtnClick`'s work ("Adding..." on the status panel) and `fillSP`:
    // a procedure is added, a root filled, and for a table, view or column
    // the grant dialog is shown (which calls addGroupGrants on OK). False
    // only when the procedure was in the group already.
    bool fillSP(const MoveTarget &target, const std::function<void(const MoveTarget &)> &grantDialog);
    // `fillSP` for a procedure: false when the group holds it already.
    bool addProcedure(const QString &procedure);
    // The grant dialog's OK in group mode: `AddGroupGrant` for each call
    // on the dialog's object, the users list read once.
    void addGroupGrants(const QString &object, const QString &type, const QVector<GroupGrantCall> &calls);
    // `FillGlist`: every missing privilege of every object under a root.
    // An object no statement could name is passed over and its reason kept
    // in leftOut().
    void FillGlist(const TreeNode &root);
    const QStringList &leftOut() const { return m_leftOut; }
    // `MoveallBtnClick`: FillGlist for every root in order.
    void moveAll(const TreeNodes &roots);

    // "Save and Commit" and "Cancel and RollBack".
    void commit();
    void rollback();

private:
    QString groupOrRefuse() const;
    // The current group, checked in the open transaction to exist still.
    QString existingGroup();
    int nextId(const QString &group);
    void addGroupGrant(const QString &group, const QString &object, const QString &type, const GroupGrantCall &call,
                       const QStringList &users);
    bool holds(const QStringList &select);
    void reopenGroups();

    TGrantData &m_data;
    OperationProgress &m_progress;
    QStringList m_leftOut;
};

// What the user is told after a fill that passed objects over.
QString leftOutObjectsText(const QStringList &leftOut);

} // namespace privileges
