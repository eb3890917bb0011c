#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TGrantData;

// Membership of users in user groups, as plain operations over the data
// module: a user joining a group receives at once what the grant groups
// assigned to it give, a user leaving loses what nothing else still gives
// him. Each runs in the open transaction; a failure rolls it back, starts
// the next one and passes the error on.
namespace privileges {

class OperationProgress;

// "All GrantGroups": fillgrant's word for every grant group of a holder.
QString allGrantGroups();
QString removeMemberQuestion(const QString &user, const QString &userGroup);
QString removeAllMembersQuestion(const QString &userGroup);

class UserGroupMembers {
public:
    UserGroupMembers(TGrantData &data, OperationProgress &progress);

    // `fillgrant`: grants the privileges of one grant group, or with
    // allGrantGroups() of every grant group assigned to the holder, to the
    // users, each object's owner left out.
    void fillgrant(const QString &group, const QStringList &users, const QString &holder);
    // `mvbtnClick`: the user joins the current user group.
    void addMember(const QString &user);
    // `mvallbtnClick`: every candidate of the filtered `usersdef` joins,
    // each once, from the last row up.
    void addAllMembers();
    // `revusers`: revokes what the user loses by leaving the user group.
    void revusers(const QString &user, const QString &userGroup);
    // `remvbtnClick` and `remvallbtnClick` after their questions.
    void removeMember(const QString &user);
    void removeAllMembers();
    // Raise a LayerRefusal naming the first name that the grants of users
    // joining the user group, or the revokes of a member leaving it (of
    // every member when user is empty), would carry bare and cannot: read
    // in the open transaction before anything is sent, so a refusal leaves
    // the work pending on the pages as it was.
    void checkJoining(const QStringList &users, const QString &userGroup);
    void checkLeaving(const QString &userGroup, const QString &user = QString());
    // `okbtnClick` and `escbtnClick`.
    void commit();
    void rollback();

private:
    QString groupOrRefuse() const;
    void join(const QString &user, const QString &userGroup);
    void leave(const QString &user, const QString &userGroup);
    // Runs work in the open transaction; the member list is read again
    // afterwards, also after a failure has rolled back.
    void changeMembers(const std::function<void()> &work);

    TGrantData &m_data;
    OperationProgress &m_progress;
};

} // namespace privileges
