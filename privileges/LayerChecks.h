#pragma once

#include "engine/Error.h"

#include <QString>
#include <QStringList>

class TGrantData;

// Checks made in the open transaction before a change writes rows for a
// grant group, user or user group: another session may have deleted it and
// committed while this window still lists it, and rows written for it then
// would name something that no longer exists.
namespace privileges {

enum class LayerName {
    GrantGroup,
    User,      // a registered user, not PUBLIC
    UserGroup, // a user group, not PUBLIC
    Holder,    // a user, a user group or PUBLIC
};

// A change refused before anything was sent: the open transaction and the
// work pending in it stay as they were.
class LayerRefusal : public engine::Error {
public:
    using engine::Error::Error;
};

// "GrantGroup "G" no longer exists: another session deleted it. ..."
QString goneText(LayerName kind, const QString &name);
QString notAUserText(const QString &name);
QString alreadyMemberText(const QString &user, const QString &userGroup);

// Raises a LayerRefusal with goneText when the name is not registered as
// that kind; the pages' lists are read again first, to show what is there.
void requireExisting(TGrantData &data, LayerName kind, const QString &name);
// Raises a LayerRefusal unless user is a registered user who is not yet a
// member of the user group (which must exist).
void requireJoinable(TGrantData &data, const QString &user, const QString &userGroup);
// Raises a LayerRefusal naming the first of the names that cannot stand
// bare in a statement (engine::unnamableText, then " Nothing was sent."):
// called before a change sends anything, so the pages keep their pending
// work and their buttons.
void requireNamable(const QStringList &names);
// The names registered as that kind, as the open transaction sees them.
QStringList registeredNames(TGrantData &data, LayerName kind);
// Of the names, those that may join the user group now, order kept.
QStringList joinableUsers(TGrantData &data, const QStringList &names, const QString &userGroup);

} // namespace privileges
