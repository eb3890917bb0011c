#include "privileges/GrantGroups.h"

#include "engine/Error.h"
#include "engine/SqlText.h"
#include "privileges/AdminTables.h"
#include "privileges/GroupArithmetic.h"
#include "privileges/GroupRevokes.h"
#include "privileges/LayerChecks.h"
#include "privileges/RevokeRights.h"
#include "privileges/gdata_un.h"

namespace privileges {

QString fillNameText()
{
    return QStringLiteral("Fill GrantGroup name");
}

QString uniqueNameText()
{
    return QStringLiteral("Each GrantGroup must have unique name. Please, enter another name");
}

QString groupNameProblem(const QString &name)
{
    if (name.isEmpty())
        return fillNameText();
    // The name stands between double quotes in every statement of the
    // layer and bare in none, but a group name is a name: no blanks or
    // quotes, and no more than the column holds.
    if (!engine::isIdentifier(name))
        return QStringLiteral("A GrantGroup name is a letter followed by letters, digits, \"_\" or \"$\", "
                              "at most 31 characters");
    return QString();
}

QString leftOutObjectsText(const QStringList &leftOut)
{
    return QStringLiteral("Nothing was added for these objects:\r\n") + leftOut.join(QStringLiteral("\r\n"));
}

QString deleteGroupQuestion(const QString &group)
{
    return QStringLiteral("Do you really want to delete Grant Group \"%1\"?").arg(group);
}

QString revokeOnDeleteQuestion(const QString &group)
{
    return QStringLiteral("Revoke all registered user privileges on GrantGroup \"%1\"?").arg(group);
}

GroupEditButtons groupEditButtons(GroupEdit edit)
{
    switch (edit) {
    case GroupEdit::NewGroup:
        return {QStringLiteral("  &SaveGrantGroup"), QStringLiteral("&CancelGrantGroup"), false, false, 0};
    case GroupEdit::Rename:
        return {QStringLiteral("&UpdateGrantGroup"), QStringLiteral("&CancelGrantGroup"), false, false, 1};
    case GroupEdit::Browse:
        break;
    }
    return {QStringLiteral("   &AddGrantGroup"), QStringLiteral("&DeleteGrantGroup"), true, true, 0};
}

QString groupDescription(const QStringList &memoLines)
{
    return memoLines.join(QString()).left(255);
}

MoveTarget moveTargetOf(const TreeNodes &tree, const QStringList &captionPath)
{
    MoveTarget t;
    if (captionPath.isEmpty() || captionPath.size() > 3)
        return t;
    const TreeNode *root = nullptr;
    for (const TreeNode &n : tree)
        if (n.text == captionPath[0])
            root = &n;
    if (!root)
        return t;
    if (captionPath.size() == 1) {
        t.kind = MoveTarget::Kind::Root;
        t.root = root;
        return t;
    }
    const TreeNode *object = nullptr;
    for (const TreeNode &n : root->children)
        if (n.text == captionPath[1])
            object = &n;
    if (!object)
        return t;
    t.object = object->text;
    if (root->text == proceduresRoot()) {
        if (captionPath.size() == 2) {
            t.kind = MoveTarget::Kind::Procedure;
            t.type = QStringLiteral("Procedure");
        }
        return t;
    }
    t.type = root->text.chopped(1);
    if (captionPath.size() == 2) {
        t.kind = MoveTarget::Kind::Object;
        for (const TreeNode &c : object->children)
            t.columns << c.text;
    } else {
        t.kind = MoveTarget::Kind::Column;
        t.columns = QStringList{captionPath[2]};
        t.dialogTag = 1;
    }
    return t;
}

namespace {

QString quoted(const QString &value)
{
    return QLatin1Char('"') + engine::quotedConstant(value) + QLatin1Char('"');
}

// "select tvname from meta$grantlist where (tvname="T")" / " and
// (gfname="G")" / the privilege's condition.
QStringList holdsSelect(const QString &object, const QString &group, const QString &condition)
{
    return {QStringLiteral("select tvname from meta$grantlist where (tvname=") + quoted(object) + QLatin1Char(')'),
            QStringLiteral(" and (gfname=") + quoted(group) + QLatin1Char(')'), condition};
}

// The names that stand bare in a GRANT: a comma or a blank in one of them
// would grant to somebody else.
QString granteeList(const QString &object, const QString &column, const QStringList &users)
{
    checkPlainNames(QStringList{object} + (column.isEmpty() ? QStringList() : QStringList{column}) + users);
    return users.join(QLatin1Char(','));
}

} // namespace

QStringList groupPrivilegeGrant(const PrivilegeKey &key, const QStringList &users, bool withOption)
{
    const QString grantees = granteeList(key.object, key.column, users);
    QStringList grant{QStringLiteral("grant ") + key.privilege};
    if (!key.column.isEmpty())
        grant << QLatin1Char('(') + key.column + QLatin1Char(')');
    grant << QStringLiteral(" on ") + (key.privilege == QLatin1String("Execute") ? QStringLiteral("procedure ") : QString())
            + key.object + QStringLiteral(" to ") + grantees;
    if (withOption)
        grant << QStringLiteral(" with grant option");
    return grant;
}

GrantGroups::GrantGroups(TGrantData &data, OperationProgress &progress) : m_data(data), m_progress(progress) {}

QString GrantGroups::currentGroup() const
{
    try {
        return groupOrRefuse();
    } catch (const engine::Error &) {
        return QString();
    }
}

QString GrantGroups::groupOrRefuse() const
{
    return TGrantData::currentName(m_data.MetaGrantDef, QStringLiteral("GGNAME"), QStringLiteral("GrantGroup"));
}

QString GrantGroups::existingGroup()
{
    const QString group = groupOrRefuse();
    requireExisting(m_data, LayerName::GrantGroup, group);
    return group;
}

QStringList usersOfGroup(TGrantData &data, const QString &group)
{
    // The layer may record a user twice for a group; a GRANT names him once.
    engine::Query &addus = data.addus;
    addus.close();
    addus.setParam(QStringLiteral("mtob"), group);
    addus.open();
    QStringList users;
    for (int i = 0; i < addus.recordCount(); ++i)
        users << addus.textAt(i, 0).trimmed();
    addus.close();
    return distinctNames(users);
}

int GrantGroups::nextId(const QString &group)
{
    return m_data.nextId(QStringLiteral("select max(id) from meta$grantlist where gfname=") + quoted(group));
}

bool GrantGroups::holds(const QStringList &select)
{
    return !m_data.namesQ(select).isEmpty();
}

namespace {

void refreshList(TGrantData &data)
{
    if (data.MetaGrantlist.isActive())
        data.MetaGrantlist.refresh();
}

} // namespace

void changeGroupList(TGrantData &data, const std::function<void()> &work)
{
    try {
        data.transaction.run([&] {
            work();
            refreshList(data);
        });
    } catch (...) {
        // An edit the failure interrupted must not be posted into the next
        // transaction by the refresh; the first error is the one to show.
        try {
            if (data.MetaGrantlist.state() == engine::DataSetState::Edit
                || data.MetaGrantlist.state() == engine::DataSetState::Insert)
                data.MetaGrantlist.cancel();
            refreshList(data);
        } catch (const engine::Error &) {
        }
        throw;
    }
}

void GrantGroups::reopenGroups()
{
    if (m_data.MetaGrantDef.isActive()) {
        engine::ControlsFrozen frozen(m_data.MetaGrantDef);
        m_data.MetaGrantDef.close();
        m_data.MetaGrantDef.open();
    }
    refreshList(m_data);
    if (m_data.metagrp.isActive()) {
        m_data.metagrp.close();
        m_data.metagrp.open();
        m_data.metasgrp.close();
        m_data.metasgrp.open();
    }
}

void GrantGroups::saveGroup(GroupEdit edit, const QString &name, const QStringList &memoLines)
{
    const QString problem = groupNameProblem(name);
    if (!problem.isEmpty())
        throw engine::Error(problem);
    const QString old = edit == GroupEdit::Rename ? existingGroup() : QString();
    const QString n = quoted(name);
    const auto unique = [] { return engine::Error(uniqueNameText(), engine::ErrorCategory::KeyViolation); };
    // A name in use is refused before anything is written, so the pages'
    // pending work stays; the insert's key violation is left for a name
    // another session took meanwhile.
    if (name != old && holds({QStringLiteral("select ggname from meta$grantdef where ggname=") + n}))
        throw LayerRefusal(uniqueNameText(), engine::ErrorCategory::KeyViolation);
    changeGroupList(m_data, [&] {
        const QString description = quoted(
            fitToColumn(m_data, QStringLiteral("META$GRANTDEF"), QStringLiteral("GGDESC"), groupDescription(memoLines)));
        if (edit != GroupEdit::Rename) {
            m_data.ggins.sql()[1] = QLatin1Char('(') + n + QLatin1Char(',') + description + QLatin1Char(')');
            try {
                m_data.ggins.execSql();
            } catch (const engine::Error &e) {
                if (e.category() == engine::ErrorCategory::KeyViolation)
                    throw unique();
                throw;
            }
            return;
        }
        const QString o = quoted(old);
        for (const char *table : {"meta$grantlist", "meta$grantusers", "meta$usersgrant"})
            m_data.execQ({QStringLiteral("update %1 set gfname=").arg(QLatin1String(table)) + n + QStringLiteral(" where "),
                          QStringLiteral("gfname=") + o});
        m_data.execQ({QStringLiteral("update meta$grantdef set ggname=") + n + QStringLiteral(",ggdesc=") + description
                          + QStringLiteral(" where "),
                      QStringLiteral("ggname=") + o});
    });
    m_data.transaction.commit();
    reopenGroups();
}

void GrantGroups::deleteGroup(bool revoke)
{
    const QString group = existingGroup();
    const QString g = quoted(group);
    changeGroupList(m_data, [&] {
        if (revoke)
            removeAllGroupRows(m_data, m_progress, group);
        m_data.execQ({QStringLiteral("delete from meta$usersgrant where gfname=") + g});
        m_data.execQ({QStringLiteral("delete from meta$grantusers where gfname=") + g});
        m_data.execQ({QStringLiteral("delete from meta$grantlist where gfname=") + g});
        m_data.execQ({QStringLiteral("delete from meta$grantdef where ggname=") + g});
    });
    commit();
    reopenGroups();
}

bool GrantGroups::addProcedure(const QString &procedure)
{
    const QString group = groupOrRefuse();
    // Refused before its row is written: no user of the group could be
    // granted it.
    checkMoveTargetNames({MoveTarget::Kind::Procedure, procedure});
    requireExisting(m_data, LayerName::GrantGroup, group);
    bool added = false;
    changeGroupList(m_data, [&] {
        if (holds(holdsSelect(procedure, group, QStringLiteral(" and (ggtype=\"Execute\")"))))
            return;
        m_data.execQ({QStringLiteral("insert into meta$grantlist values(%1,").arg(nextId(group)), quoted(group) + QLatin1Char(','),
                      quoted(procedure) + QStringLiteral(",\"Procedure\",null,\"Execute\",0)")});
        const QStringList users = readObjectOwners(m_data.grantdb, procedure).withoutOwners(usersOfGroup(m_data, group), procedure);
        if (!users.isEmpty())
            m_data.execQ({QStringLiteral("grant execute on procedure ") + procedure + QStringLiteral(" to ")
                          + granteeList(procedure, QString(), users)});
        added = true;
    });
    return added;
}

void GrantGroups::addGroupGrant(const QString &group, const QString &object, const QString &type,
                                const GroupGrantCall &call, const QStringList &users)
{
    if (!call.ticked)
        return;
    const QString column = call.column;
    // A whole-object request finds any row of the privilege, column rows
    // included: the group already gives some of it.
    QString condition = QStringLiteral(" and (ggtype=") + quoted(call.privilege) + QLatin1Char(')');
    if (!column.isEmpty())
        condition += QStringLiteral(" and tvcols=") + quoted(column);
    if (holds(holdsSelect(object, group, condition)))
        return;
    // Whole-object rows are written with a NULL column everywhere, as the
    // import writes them.
    m_data.execQ({QStringLiteral("insert into meta$grantlist values(%1,").arg(nextId(group)),
                  quoted(group) + QLatin1Char(',') + quoted(object) + QLatin1Char(','),
                  quoted(type) + QLatin1Char(',') + (column.isEmpty() ? QStringLiteral("null") : quoted(column))
                      + QLatin1Char(',') + quoted(call.privilege) + QLatin1Char(','),
                  call.option ? QStringLiteral("1)") : QStringLiteral("0)")});
    if (users.isEmpty())
        return;
    const QStringList grant = groupPrivilegeGrant({object, column, call.privilege}, users, call.option);
    m_data.execQ(grant);
}

void GrantGroups::addGroupGrants(const QString &object, const QString &type, const QVector<GroupGrantCall> &calls)
{
    const QString group = groupOrRefuse();
    QStringList named{object};
    for (const GroupGrantCall &call : calls)
        if (call.ticked && !call.column.isEmpty())
            named << call.column;
    checkPlainNames(named);
    requireExisting(m_data, LayerName::GrantGroup, group);
    changeGroupList(m_data, [&] {
        const QStringList users = readObjectOwners(m_data.grantdb, object).withoutOwners(usersOfGroup(m_data, group), object);
        for (const GroupGrantCall &call : calls)
            addGroupGrant(group, object, type, call, users);
    });
}

void GrantGroups::FillGlist(const TreeNode &root)
{
    const QString group = existingGroup();
    StatusScope status(m_progress, QStringLiteral("Adding ") + root.text);
    m_progress.startProgress(int(root.children.size()));
    const bool procedures = root.text == proceduresRoot();
    const QStringList privileges = procedures ? QStringList{QStringLiteral("Execute")}
                                              : QStringList{QStringLiteral("Select"), QStringLiteral("Insert"),
                                                            QStringLiteral("Delete"), QStringLiteral("Update")};
    const QString type = procedures ? QStringLiteral("Procedure") : root.text.chopped(1);
    changeGroupList(m_data, [&] {
        const QStringList users = usersOfGroup(m_data, group);
        const ObjectOwners owners = readObjectOwners(m_data.grantdb);
        int id = nextId(group);
        for (const TreeNode &node : root.children) {
            const QString &object = node.text;
            const QString unnamable = engine::unnamableText(object);
            if (!unnamable.isEmpty()) {
                m_leftOut << unnamable;
                m_progress.stepProgress();
                continue;
            }
            const QStringList grantees = owners.withoutOwners(users, object);
            for (const QString &privilege : privileges) {
                // A NULL column is the whole object as much as an empty one.
                if (holds(holdsSelect(object, group,
                                      QStringLiteral(" and coalesce(tvcols,\"\")=\"\" and ggtype=") + quoted(privilege))))
                    continue;
                m_data.execQ({QStringLiteral("insert into meta$grantlist values(%1,").arg(id), quoted(group) + QLatin1Char(','),
                              quoted(object) + QLatin1Char(',') + quoted(type) + QStringLiteral(",null,") + quoted(privilege)
                                  + QStringLiteral(",0)")});
                ++id;
                if (grantees.isEmpty())
                    continue;
                QStringList grant{QStringLiteral("grant ") + privilege + QStringLiteral(" on ")};
                if (procedures)
                    grant << QStringLiteral("procedure ");
                grant << object + QStringLiteral(" to ") + granteeList(object, QString(), grantees);
                m_data.execQ(grant);
            }
            m_progress.stepProgress();
        }
    });
}

void checkMoveTargetNames(const MoveTarget &target)
{
    switch (target.kind) {
    case MoveTarget::Kind::Procedure:
    case MoveTarget::Kind::Object:
        checkPlainNames({target.object});
        break;
    case MoveTarget::Kind::Column:
        checkPlainNames(QStringList{target.object} + target.columns);
        break;
    case MoveTarget::Kind::Root: // each object is looked at in FillGlist
    case MoveTarget::Kind::Nothing:
        break;
    }
}

bool GrantGroups::fillSP(const MoveTarget &target, const std::function<void(const MoveTarget &)> &grantDialog)
{
    StatusScope status(m_progress, QStringLiteral("Adding..."));
    switch (target.kind) {
    case MoveTarget::Kind::Procedure:
        return addProcedure(target.object);
    case MoveTarget::Kind::Root:
        FillGlist(*target.root);
        return true;
    case MoveTarget::Kind::Object:
    case MoveTarget::Kind::Column:
        checkMoveTargetNames(target);
        grantDialog(target);
        return true;
    case MoveTarget::Kind::Nothing:
        break;
    }
    return true;
}

void GrantGroups::moveAll(const TreeNodes &roots)
{
    for (const TreeNode &root : roots)
        FillGlist(root);
}

void GrantGroups::commit()
{
    StatusScope status(m_progress, QStringLiteral("Commit Work"));
    try {
        m_data.transaction.commit();
    } catch (...) {
        refreshList(m_data);
        throw;
    }
    if (m_data.TrigList.isActive())
        m_data.reopenTrigList();
}

void GrantGroups::rollback()
{
    StatusScope status(m_progress, QStringLiteral("RollBack..."));
    m_data.transaction.rollback();
    refreshList(m_data);
}

} // namespace privileges
