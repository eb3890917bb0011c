#pragma once

#include "engine/Error.h"
#include "privileges/LayerChecks.h"

#include <QString>
#include <QStringList>
#include <functional>

class TGrantData;

namespace engine {
class Database;
}

// Registering the users the tool works with and the user groups it offers:
// adding, renaming and deleting them, with the grant-group privileges
// carried along at once. Each save and each deletion runs in the data
// module's open transaction and commits; a failure rolls everything of it
// back, starts the next transaction and passes the error on. The user
// lists of the data module are reopened after each. A name already
// in use is refused before anything is sent, so other pending work stays.
namespace privileges {

class OperationProgress;

// A save refused before anything was sent (a name in use or not usable):
// the open transaction and the work pending in it stay as they were.
class RegistryRefusal : public engine::Error {
public:
    using engine::Error::Error;
};

QString uniqueUserText();          // a user saved, a user group added
QString uniqueUserGroupRenameText(); // a user group renamed
QString userNameProblem(const QString &name);
QString deleteUserQuestion(const QString &user);
QString deleteUserGroupQuestion(const QString &userGroup);

// The stored description of a user: first, middle and last name with a
// single blank between them, also where a part is empty.
QString userDescription(const QString &first, const QString &middle, const QString &last);
struct NameParts {
    QString first, middle, last;
    bool operator==(const NameParts &o) const { return first == o.first && middle == o.middle && last == o.last; }
};
// Back into the three fields: up to the first blank, up to the second, the
// rest; a description without a blank is all first name.
NameParts splitUserDescription(const QString &description);

// What the user editor or the user-group editor holds on Save.
struct RegistryEdit {
    bool adding = false;   // the Save button's tag 1
    QString oldName;       // the edited row (modify)
    QString name;          // the name field
    bool nameModified = false;
    QString description;   // as stored
};

class UserRegistry {
public:
    UserRegistry(TGrantData &data, OperationProgress &progress);

    // `svuClick`: adds a user, renames one (the new name receives through
    // the grant groups what the old one did, the old loses it, the three
    // tables follow), or changes only his description; then commits.
    void saveUser(const RegistryEdit &edit);
    // `svugpClick`: adds, renames or describes a user group; no GRANT or
    // REVOKE, since the privileges belong to its members. Commits.
    void saveUserGroup(const RegistryEdit &edit);
    // `Delete1Click` after its question: everything the user receives
    // through grant groups revoked, his rows deleted; commits.
    void deleteUser(const QString &user);
    // `Delete1Click` for the current user group after its questions: its
    // members taken out (with what that revokes), its rows deleted; commits.
    void deleteCurrentUserGroup();
    // Whether the current user group has members (and so a question to ask).
    bool currentUserGroupHasMembers();

private:
    // The description as the column holds it.
    QString describedAs(const RegistryEdit &edit);
    // Runs work in the open transaction and commits; the user lists are
    // reopened afterwards, also after a failure has rolled everything back.
    void change(const std::function<void()> &work);
    void reopenLists();
    void refuseTakenName(const QString &name, const QString &text);
    // A RegistryRefusal when another session deleted the user or group.
    void refuseGone(LayerName kind, const QString &name);
    void renameUser(const QString &oldName, const QString &newName);
    // Raises a RegistryRefusal naming the first name the grants to a
    // renamed user (newName, empty for a deletion) or the revokes from the
    // user would carry bare and cannot; read before the transaction sends
    // anything.
    void checkUserNames(const QString &user, const QString &newName);

    TGrantData &m_data;
    OperationProgress &m_progress;
};

// --- the enabled state of the user-group and assignment pages

// One page's three pairs of buttons: move (one and all), remove (one and
// all), commit and roll back.
struct PagePairs {
    bool move = false, remove = false, commit = false;
    bool operator==(const PagePairs &o) const { return move == o.move && remove == o.remove && commit == o.commit; }
};
struct PageSituation {
    bool group = false;      // a current user group / grant group
    bool members = false;    // members / holders
    bool candidates = false; // rows of the filtered `usersdef`
    bool pending = false;    // membership / assignment work not committed
    bool editorOpen = false; // the user-group page only
};
PagePairs pagePairs(const PageSituation &s);

enum class ActivePage { UserGroups, GrantAction, Other };
struct ButtonsSituation {
    ActivePage page = ActivePage::Other;
    PageSituation users;   // page "UserGroups"
    PageSituation holders; // page "GrantAction"
    bool userRows = false;  // `usersdef` has rows
    bool groupRows = false; // `usergrp` has rows
};
struct ButtonsState {
    PagePairs userPairs, holderPairs;     // the two pages' buttons
    PagePairs userItems, holderItems;     // the menu items that follow them
    bool userMenus = false;               // `User2` and `UserG2`
    bool uplus = false, umodify = false, uminus = false; // also `Add3` ...
    bool ugplus = false, ugmodify = false, ugminus = false;
};
// `ubuttons`.
ButtonsState ubuttons(const ButtonsSituation &s);

// --- the server's users

// Every server user but SYSDBA, or those not yet registered as users, read
// on the managed connection: user_name, first_name, middle_name, last_name.
QString serverUsersListStatement(bool unregisteredOnly);
// True when the server shows the connected user his own row only: he has
// no administrator rights over its users.
bool seesOwnUserOnly(engine::Database &db);
QString ownUserOnlyText();

} // namespace privileges
