// The membership half of the page UserGroups: the candidate users, the user
// groups and the current group's members, the moves in and out, and "Save
// and Commit" / "Cancel and RollBack". What each command does is in
// UserGroupMembers; the handlers ask, call one operation and show the result.
#include "privileges/grant_un.h"

#include "platform/Prompter.h"
#include "privileges/UserGroupMembers.h"

#include <QAction>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

using platform::Prompter;

namespace {

bool confirmed(const QString &question)
{
    return Prompter::instance().confirm(QStringLiteral("Confirmation"), question) == Prompter::Answer::Yes;
}

// The current user group, or the refusal before anything is sent.
QString userGroupOrRefuse()
{
    return TGrantData::currentName(GrantData->usergrp, QStringLiteral("UGNAME"), QStringLiteral("UserGroup"));
}

} // namespace

void TLorvane::setMembersTitle(const QString &title)
{
    setGridTitle(usersgp, 1, title);
}

void TLorvane::membershipPending()
{
    okbtn->setEnabled(true);
    escbtn->setEnabled(true);
    if (GrantPages->currentWidget() == UserGroups) {
        Commit1->setEnabled(true);
        RollBack1->setEnabled(true);
    }
    ubuttons();
}

void TLorvane::mvbtnClick()
{
    userGroupOrRefuse();
    const QString user = TGrantData::currentName(GrantData->usersdef, QStringLiteral("UGNAME"), QStringLiteral("user"));
    settledOnFailure([&] { privileges::UserGroupMembers(*GrantData, progress()).addMember(user); });
    membershipPending();
}

void TLorvane::mvallbtnClick()
{
    // Without a current group the candidates would never leave the list.
    userGroupOrRefuse();
    settledOnFailure([&] { privileges::UserGroupMembers(*GrantData, progress()).addAllMembers(); });
    membershipPending();
}

void TLorvane::remvbtnClick()
{
    const QString group = userGroupOrRefuse();
    const QString user = TGrantData::currentName(GrantData->usersgrp, QStringLiteral("UALIAS"), QStringLiteral("member"));
    if (!confirmed(privileges::removeMemberQuestion(user, group)))
        return;
    settledOnFailure([&] { privileges::UserGroupMembers(*GrantData, progress()).removeMember(user); });
    membershipPending();
}

void TLorvane::remvallbtnClick()
{
    const QString group = userGroupOrRefuse();
    if (!confirmed(privileges::removeAllMembersQuestion(group)))
        return;
    settledOnFailure([&] { privileges::UserGroupMembers(*GrantData, progress()).removeAllMembers(); });
    membershipPending();
}

void TLorvane::okbtnClick()
{
    settledOnFailure([&] { privileges::UserGroupMembers(*GrantData, progress()).commit(); });
    resetPageControls();
    ubuttons();
}

void TLorvane::escbtnClick()
{
    settledOnFailure([&] { privileges::UserGroupMembers(*GrantData, progress()).rollback(); });
    resetPageControls();
    ubuttons();
}
