#pragma once

#include "engine/Database.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "engine/Transaction.h"

#include <QObject>
#include <functional>

// What the data module's handlers change on the main window. The window
// implements it and hands itself to setView(); without a view the handlers
// change nothing but the data sets.
class GrantDataView {
public:
    virtual ~GrantDataView() = default;
    // Whether `GrantGroups` is the active page of `GrantPages`.
    virtual bool grantGroupsPageActive() const = 0;
    // `AddggName`; `DelggName` and `ModifyGrantGroup`.
    virtual void setGroupButtons(bool add, bool deleteAndModify) = 0;
    // `Commitbtn`, `RollBackbtn`, `Commit2`, `RollBack2` enabled.
    virtual void enableGroupCommit() = 0;
    // `Removebtn`, `RemoveAllbtn`, `rmvG`, `rmvag`.
    virtual void setRemoveButtons(bool enabled) = 0;
    // The "Privilege" column of `GrantListGrid`: the automatic button style,
    // or no button.
    virtual void setPrivilegeButton(bool automatic) = 0;
    // `Revokebtn`.
    virtual void setRevokeEnabled(bool enabled) = 0;
    // Title of the second column of `usersgp` / `metagrid`.
    virtual void setMembersTitle(const QString &title) = 0;
    virtual void setHoldersTitle(const QString &title) = 0;
    // The enabled state of the user and assignment pages.
    virtual void ubuttons() = 0;
};

// The privilege manager's data module: the connection to the managed
// database and the data sets of the main window. The connection always keeps
// one transaction open (`transaction`): a failed statement rolls it back,
// the next one starts, and the error goes on to the caller.
class TGrantData : public QObject {
    Q_OBJECT
public:
    explicit TGrantData(QObject *parent = nullptr);
    ~TGrantData() override;

    engine::Database grantdb{nullptr, QStringLiteral("grantdb")};
    engine::KeptTransaction transaction{grantdb};
    // Scratch query for single statements.
    engine::Query q{&grantdb};

    // Grant groups and the current group's privileges.
    engine::Query MetaGrantDef{&grantdb};
    engine::Table MetaGrantlist{&grantdb};
    // The privileges the server holds.
    engine::Query TrigList{&grantdb};
    // Registered users and user groups, filtered by FilterUsersDef.
    engine::Query usersdef{&grantdb};
    // User groups (editable) and the members of the current one.
    engine::Query usergrp{&grantdb};
    engine::Query usersgrp{&grantdb};
    // Grant groups and the holders of the current one.
    engine::Query metagrp{&grantdb};
    engine::Query metasgrp{&grantdb};
    // The users a grant group reaches (:mtob).
    engine::Query addus{&grantdb};
    // The users of the current privilege row's group who do not own its object.
    engine::Query ufn{&grantdb};
    // Grant options with which a user's other grant groups give a privilege.
    engine::Query ggopt{&grantdb};
    // The same for the groups left to a user leaving a user group.
    engine::Query ggopt2{&grantdb};
    // Inserts one grant group; the caller puts the values into line 2.
    engine::Query ggins{&grantdb};

    void setView(GrantDataView *view) { m_view = view; }

    // Runs one statement on the scratch query `q`, which is closed and
    // cleared afterwards, also when the statement fails. What it changed is
    // noted as pending in `transaction`, to be named if a failure loses it.
    void execQ(const QStringList &lines);
    // Opens a select on `q` the same way and returns its first column,
    // values trimmed.
    QStringList namesQ(const QStringList &lines);
    // One more than the maximum the select returns, 1 when it returns
    // nothing: the id of the next row of a group.
    int nextId(const QString &selectMax);
    // The name field of a data set's current row; the refusal "Choose a
    // {kind} first" when it has none.
    static QString currentName(engine::DataSet &ds, const QString &field, const QString &kind);
    // `TrigList` closed and opened again, its grids frozen meanwhile.
    void reopenTrigList();

    // Filters `usersdef` to the users (for the member list `usersgrp`) or to
    // the users and user groups (for the holder list `metasgrp`) that the
    // query does not list yet. A closed query leaves the filter as it was.
    void FilterUsersDef(engine::Query &query, bool reopen);
    // The list whose page is shown: its page decides what `usersdef`
    // offers, whichever list a change just read again (the two pages share
    // the one candidate list). Null: each call filters for its own list.
    void setCandidatesFor(engine::Query *list) { m_candidatesFor = list; }
    // The lists of the group pages read again where they are open, each at
    // its row: after a refusal because another session changed the layer,
    // the pages show what is there now.
    void showCurrentLayer();
    // The filter FilterUsersDef builds for the names a list holds.
    static QString usersDefFilter(bool membersList, const QStringList &names);

    // A list of members or holders (`usersgrp`, `metasgrp`) around a change:
    // changeList runs work in the open transaction and reads the list again
    // after it, also after a failure has rolled back, so the rows shown are
    // the ones that exist (the first error is the one passed on). commitList
    // and rollbackList end the transaction; the list is read again where a
    // roll-back (also a failed commit) took rows away, and after a commit the
    // privilege list shows what the server now holds.
    void changeList(engine::Query &list, const std::function<void()> &work);
    void commitList(engine::Query &list);
    void rollbackList(engine::Query &list);

    // Closes the group pages' data sets in an order that leaves no cursor
    // on the administrative tables.
    void closeGroupDataSets();

    // Handlers, bound in the constructor.
    void GrantDefSDDataChange();
    void GrantlistDSStateChange();
    void GrantlistDSDataChange();
    void MetaGrantlistAfterInsert();
    void MetaGrantlistCalcFields(engine::CalcRecord &record);
    void TrigListCalcFields(engine::CalcRecord &record);
    void TrigListDSDataChange();
    void usergrpsdDataChange();
    void metagrpsdDataChange();

private:
    // The title, the candidate filter and the page buttons after the current
    // user group or grant group changed.
    void groupChanged(engine::Query &groups, const QString &nameField, engine::Query &list,
                      void (GrantDataView::*setTitle)(const QString &));

    GrantDataView *m_view = nullptr;
    engine::Query *m_candidatesFor = nullptr;
};

// The one instance, made at start-up.
extern TGrantData *GrantData;
