#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TGrantData;

// Grant groups assigned to users, user groups and PUBLIC, and taken back,
// as plain operations over the data module. An assignment is written to
// META$GRANTUSERS, every user it newly reaches gets his META$USERSGRANT row
// and the group's privileges at once; taking it back revokes only what no
// other way (another grant group, a user group, a direct assignment) still
// gives, and deletes a user's row only with the last way that reached him.
// Each step runs in the open transaction; any failure rolls the whole
// transaction back, starts the next one and passes the error on.
namespace privileges {

class OperationProgress;

QString revokeAssignmentQuestion(const QString &group, const QString &holder);
QString revokeAllAssignmentsQuestion(const QString &group);

// A row of the candidate list `usersdef`.
struct Candidate {
    QString name;
    int usertype = 0; // 0 a user, 2 a user group or PUBLIC
};

class GroupAssignments {
public:
    GroupAssignments(TGrantData &data, OperationProgress &progress);

    // The current rows of `usersdef`, `metagrp` and `metasgrp`; each raises
    // "Choose a ... first" when its list has none.
    Candidate currentCandidate() const;
    QString currentGroup() const;
    QString currentHolder() const;

    // `createulist`: records the assignment of group to the candidate and
    // appends to users those it newly reaches. Nothing when it is there.
    void createulist(const Candidate &holder, const QString &group, QStringList &users);
    // `gmvbtnClick`'s work: one assignment and its grants.
    void assign(const Candidate &holder, const QString &group);
    // `gmvallbtnClick`'s work: every candidate the filter shows, one GRANT
    // per privilege row for all the users reached.
    void assignAll(const QString &group);
    // `gremvbtnClick` and `gremvallbtnClick` after their questions.
    void remove(const QString &group, const QString &holder);
    void removeAll(const QString &group);
    // `gokbtnClick` and `gescbtnClick`.
    void commit();
    void rollback();

private:
    // Runs work in the open transaction; the holder list is read again
    // afterwards, also after a failure has rolled back.
    void change(const std::function<void()> &work);
    // Takes the group from the holder, or with an empty holder from all its
    // holders: the revokes, then the two deletes.
    void takeAway(const QString &group, const QString &holder);

    TGrantData &m_data;
    OperationProgress &m_progress;
};

} // namespace privileges
