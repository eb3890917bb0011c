#include "privileges/DirectGrants.h"

#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/Statement.h"
#include "privileges/GroupRevokes.h"
#include "privileges/MetaTrees.h"
#include "privileges/PrivilegeKinds.h"
#include "privileges/RevokeRights.h"
#include "privileges/gdata_un.h"

namespace privileges {

Grantee granteeOfTree(const QString &rootCaption, const QString &name)
{
    GranteeType type = GranteeType::User;
    if (rootCaption == viewsRoot())
        type = GranteeType::View;
    else if (rootCaption == triggersRoot())
        type = GranteeType::Trigger;
    else if (rootCaption == proceduresRoot())
        type = GranteeType::Procedure;
    return {type, name};
}

std::optional<Grantee> granteeOfRow(int userType, const QString &name)
{
    switch (userType) {
    case int(GranteeType::View):
    case int(GranteeType::Trigger):
    case int(GranteeType::Procedure):
    case int(GranteeType::User):
    case int(GranteeType::Role):
        return Grantee{GranteeType(userType), name};
    default:
        return std::nullopt;
    }
}

QString granteeLabel(const QString &preposition, const Grantee &grantee)
{
    const char *kind = "";
    switch (grantee.type) {
    case GranteeType::View: kind = "view "; break;
    case GranteeType::Trigger: kind = "trigger "; break;
    case GranteeType::Procedure: kind = "procedure "; break;
    case GranteeType::Role: kind = "role "; break;
    case GranteeType::User: break;
    }
    return preposition + QLatin1Char(' ') + QLatin1String(kind) + grantee.name;
}

namespace {

QString withOptionLine()
{
    return QStringLiteral(" with grant option");
}

} // namespace

QVector<GrantStatement> grantStatements(const GrantChoice &c)
{
    const QStringList columns = c.update && !c.allColumns ? c.updateColumns : QStringList();
    checkPlainNames(QStringList{c.object, c.grantee.name} + columns);
    // The server refuses the grant option for a trigger; views and
    // procedures are not offered it.
    const bool options = c.grantee.type == GranteeType::User;
    const QString target = QStringLiteral("on ") + c.object + QLatin1Char(' ') + granteeLabel(QStringLiteral("to"), c.grantee);
    QVector<GrantStatement> out;
    const struct {
        bool ticked, option;
        const char *word;
    } plain[] = {{c.select, c.selectOption, "select"}, {c.insert, c.insertOption, "insert"}, {c.remove, c.removeOption, "delete"}};
    for (const auto &p : plain) {
        if (!p.ticked)
            continue;
        GrantStatement s{QString::fromLatin1(p.word), {QStringLiteral("grant %1 ").arg(QLatin1String(p.word)) + target}};
        if (p.option && options)
            s.lines << withOptionLine();
        out << s;
    }
    if (c.update) {
        GrantStatement s{QStringLiteral("update"), {QStringLiteral("grant update")}};
        if (!columns.isEmpty())
            s.lines << QLatin1Char('(') + columns.join(QLatin1Char(',')) + QLatin1Char(')');
        s.lines << QLatin1Char(' ') + target;
        if (c.updateOption && options)
            s.lines << withOptionLine();
        out << s;
    }
    return out;
}

QVector<GroupGrantCall> groupGrantCalls(const GrantChoice &c)
{
    QVector<GroupGrantCall> calls{{c.select, c.selectOption, QStringLiteral("Select"), {}},
                                  {c.remove, c.removeOption, QStringLiteral("Delete"), {}},
                                  {c.insert, c.insertOption, QStringLiteral("Insert"), {}}};
    if (!c.update)
        return calls;
    if (c.allColumns)
        calls << GroupGrantCall{true, c.updateOption, QStringLiteral("Update"), {}};
    else
        for (const QString &column : c.updateColumns)
            calls << GroupGrantCall{true, c.updateOption, QStringLiteral("Update"), column};
    return calls;
}

PrivilegeRow currentPrivilegeRow(engine::DataSet &trigList)
{
    const auto text = [&](const char *field) { return trigList.fieldByName(QLatin1String(field)).asString().trimmed(); };
    PrivilegeRow r;
    r.user = text("RDB$USER");
    r.userType = trigList.fieldByName(QStringLiteral("RDB$USER_TYPE")).asInteger();
    r.grantor = text("RDB$GRANTOR");
    const QString letter = text("RDB$PRIVILEGE");
    r.privilege = letter.isEmpty() ? QChar() : letter.at(0);
    r.grantOption = trigList.fieldByName(QStringLiteral("RDB$GRANT_OPTION")).asInteger();
    r.relation = text("RDB$RELATION_NAME");
    r.field = text("RDB$FIELD_NAME");
    r.objectType = trigList.fieldByName(QStringLiteral("RDB$OBJECT_TYPE")).asInteger();
    return r;
}

QString privilegeLabel(const PrivilegeRow &row)
{
    QString label = privilegeWord(row.privilege);
    if (!row.field.isEmpty())
        label += QLatin1Char('(') + row.field + QLatin1Char(')');
    return label;
}

QString objectLabel(const PrivilegeRow &row)
{
    return (row.objectType == 5 ? QStringLiteral("on procedure ") : QStringLiteral("on ")) + row.relation;
}

QStringList executeGrantStatement(const QString &procedure, const Grantee &grantee, bool withOption)
{
    checkPlainNames({procedure, grantee.name});
    QStringList lines{QStringLiteral("Grant"), QStringLiteral("Execute on procedure ") + procedure + QLatin1Char(' ')
                                                   + granteeLabel(QStringLiteral("to"), grantee)};
    if (withOption && grantee.type == GranteeType::User)
        lines << withOptionLine();
    return lines;
}

QStringList revokeStatement(const PrivilegeRow &row, const Grantee &grantee, bool optionOnly, const QString &grantedBy)
{
    QStringList names{row.relation, grantee.name};
    if (!row.field.isEmpty())
        names << row.field;
    if (!grantedBy.isEmpty())
        names << grantedBy;
    checkPlainNames(names);
    QStringList lines{QStringLiteral("Revoke")};
    if (optionOnly)
        lines << QStringLiteral("grant option for ");
    lines << privilegeLabel(row) + QLatin1Char(' ') + objectLabel(row) + QLatin1Char(' ')
            + granteeLabel(QStringLiteral("from"), grantee);
    if (!grantedBy.isEmpty())
        lines << QStringLiteral(" granted by ") + grantedBy;
    return lines;
}

void checkRowNames(const PrivilegeRow &row)
{
    QStringList names{row.relation, row.user};
    if (!row.field.isEmpty())
        names << row.field;
    // A revoke may have to name the grantor.
    if (!row.grantor.isEmpty())
        names << row.grantor;
    checkPlainNames(names);
}

QString grantRightsText(const QString &privilege, const QString &objectLabel)
{
    return QStringLiteral("You have not enough rights for granting %1 privilege ").arg(privilege) + objectLabel;
}

QString unknownGranteeText()
{
    return QStringLiteral("This privilege is held by a grantee of a kind the list cannot revoke from; nothing was revoked.");
}

DirectGrants::DirectGrants(TGrantData &data) : m_data(data) {}

bool DirectGrants::send(const QStringList &lines)
{
    try {
        m_data.execQ(lines);
        return true;
    } catch (const engine::Error &e) {
        // Firebird undoes only the refused statement; the work pending
        // before it stays.
        if (e.category() == engine::ErrorCategory::NoPermission)
            return false;
        throw;
    }
}

void DirectGrants::commitAndReopen()
{
    m_data.transaction.commit();
    m_data.reopenTrigList();
}

QStringList DirectGrants::grant(const GrantChoice &choice)
{
    const QVector<GrantStatement> statements = grantStatements(choice);
    QStringList refusals;
    m_data.transaction.run([&] {
        for (const GrantStatement &s : statements)
            if (!send(s.lines))
                refusals << grantRightsText(s.privilege, QStringLiteral("on ") + choice.object);
    });
    m_data.reopenTrigList();
    return refusals;
}

DirectOutcome DirectGrants::grantExecute(const QString &procedure, const Grantee &grantee, bool withOption)
{
    const QStringList lines = executeGrantStatement(procedure, grantee, withOption);
    DirectOutcome out;
    m_data.transaction.run([&] {
        if (!send(lines))
            out.refusal = grantRightsText(QStringLiteral("execute"), QStringLiteral("on procedure ") + procedure);
    });
    commitAndReopen();
    return out;
}

namespace {

bool administrativeTablesExist(engine::Database &db)
{
    engine::Statement s(&db);
    s.setSql(QStringLiteral("select count(*) from rdb$relations where rdb$relation_name='META$USERSGRANT'"));
    s.open();
    return s.rows().value(0, 0).toInt() > 0;
}

QStringList firstColumn(engine::Statement &s)
{
    s.open();
    QStringList out;
    for (qsizetype r = 0; r < s.rows().rowCount(); ++r)
        out << s.rows().text(r, 0).trimmed();
    return out;
}

} // namespace

QStringList DirectGrants::revokeQuestions(const PrivilegeRow &row, bool optionOnly)
{
    engine::Database &db = m_data.grantdb;
    QStringList questions;
    m_data.transaction.run([&] {
        if (row.userType == int(GranteeType::User) && administrativeTablesExist(db)) {
            engine::Statement s(&db);
            s.setSql(QStringLiteral(
                "select distinct k.gfname from meta$usersgrant u join meta$grantlist k on k.gfname=u.gfname "
                "where u.ufname=:u and k.tvname=:t and k.ggtype=:w and "
                "coalesce(k.tvcols,'')=coalesce(cast(:c as varchar(31)),'')")
                     + (optionOnly ? QStringLiteral(" and k.ggoption=1") : QString()));
            s.setParam(QStringLiteral("u"), row.user);
            s.setParam(QStringLiteral("t"), row.relation);
            s.setParam(QStringLiteral("w"), privilegeWord(row.privilege));
            s.setParam(QStringLiteral("c"), row.field);
            const QStringList groups = firstColumn(s);
            if (!groups.isEmpty())
                questions << QStringLiteral("The grant group %1 gives %2 %3 to %4. Revoked here, the group's list "
                                            "no longer agrees with the server.\r\nRevoke it all the same?")
                                 .arg(groups.join(QStringLiteral(", ")), privilegeLabel(row), objectLabel(row), row.user);
        }
        if (row.privilege == QLatin1Char('U') && row.field.isEmpty() && !optionOnly) {
            engine::Statement s(&db);
            s.setSql(QStringLiteral("select rdb$field_name from rdb$user_privileges where rdb$user=:u and "
                                    "rdb$user_type=:ut and rdb$relation_name=:t and rdb$privilege='U' and "
                                    "rdb$field_name is not null and coalesce(rdb$grantor,'')=:g order by 1"));
            s.setParam(QStringLiteral("u"), row.user);
            s.setParam(QStringLiteral("ut"), row.userType);
            s.setParam(QStringLiteral("t"), row.relation);
            s.setParam(QStringLiteral("g"), row.grantor);
            const QStringList columns = firstColumn(s);
            if (!columns.isEmpty())
                questions << QStringLiteral("Revoking Update on %1 from %2 also revokes the updates of the columns "
                                            "%3.\r\nRevoke it all the same?")
                                 .arg(row.relation, row.user, columns.join(QStringLiteral(", ")));
        }
    });
    return questions;
}

DirectOutcome DirectGrants::revoke(const PrivilegeRow &row, bool optionOnly)
{
    DirectOutcome out;
    const std::optional<Grantee> grantee = granteeOfRow(row.userType, row.user);
    if (!grantee) {
        out.refusal = unknownGranteeText();
        return out;
    }
    // Refused before the transaction: its pending work stays.
    checkRowNames(row);
    optionOnly = optionOnly && row.grantOption == 1;
    m_data.transaction.run([&] {
        // Firebird lets nobody revoke another grantor's privilege, except
        // SYSDBA naming that grantor.
        QString grantedBy;
        const QString me = sessionUser(m_data.grantdb);
        if (!row.grantor.isEmpty() && row.grantor.compare(me, Qt::CaseInsensitive) != 0) {
            if (me.compare(QLatin1String("SYSDBA"), Qt::CaseInsensitive) != 0) {
                out.refusal = revokeRefusalText();
                return;
            }
            grantedBy = row.grantor;
        }
        // The server only warns when there is nothing to revoke: the row
        // went since the list was read, or the server keeps it (a row
        // without grantor). Its warning is the one to show, not an older one.
        m_data.grantdb.takeWarnings();
        // What the grantee had passed on goes with it; where a grant group
        // still gives that to someone, he gets it again.
        std::optional<StillGiven> still;
        if (administrativeTablesExist(m_data.grantdb))
            still.emplace(m_data, readGroupLayer(m_data.grantdb), row.relation, privilegeWord(row.privilege),
                          QStringList{row.user});
        if (!send(revokeStatement(row, *grantee, optionOnly, grantedBy))) {
            out.refusal = revokeRefusalText();
            return;
        }
        out.warning = m_data.grantdb.takeWarnings().join(QStringLiteral("\r\n"));
        if (still)
            still->giveBack();
    });
    commitAndReopen();
    return out;
}

} // namespace privileges
