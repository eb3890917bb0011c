#include "privileges/gdata_un.h"

#include "engine/Error.h"
#include "engine/SqlText.h"
#include "privileges/MetaTrees.h"
#include "privileges/PrivilegeKinds.h"
#include "privileges/PrivilegeList.h"

TGrantData *GrantData = nullptr;

namespace {

bool hasRow(const engine::DataSet &ds)
{
    return ds.isActive() && !ds.isEmpty();
}

} // namespace

TGrantData::TGrantData(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("GrantData"));

    MetaGrantDef.setSql(QStringLiteral("select * from meta$grantdef order by ggname"));

    MetaGrantlist.setTableName(QStringLiteral("META$GRANTLIST"));
    MetaGrantlist.setIndexFieldNames(QStringLiteral("GFNAME;tvname"));
    MetaGrantlist.setMasterFields(QStringLiteral("ggname"));
    MetaGrantlist.setMasterSource(&MetaGrantDef);
    MetaGrantlist.addCalculatedField(QStringLiteral("option"), engine::FieldType::Boolean);
    MetaGrantlist.setFieldVisible(QStringLiteral("ID"), false);
    MetaGrantlist.setFieldVisible(QStringLiteral("GGOPTION"), false);
    MetaGrantlist.setCalcFieldsHandler([this](engine::CalcRecord &r) { MetaGrantlistCalcFields(r); });

    TrigList.setSql(privileges::privilegeListSql());
    TrigList.addCalculatedField(QStringLiteral("privilege"), engine::FieldType::VarChar, 7);
    TrigList.addCalculatedField(QStringLiteral("GrantOption"), engine::FieldType::Boolean);
    TrigList.setCalcFieldsHandler([this](engine::CalcRecord &r) { TrigListCalcFields(r); });
    TrigList.setFieldOrder({QStringLiteral("RDB$RELATION_NAME"), QStringLiteral("RDB$USER"), QStringLiteral("privilege"),
                            QStringLiteral("GrantOption"), QStringLiteral("RDB$FIELD_NAME"), QStringLiteral("RDB$GRANTOR")});
    TrigList.setDisplayLabel(QStringLiteral("RDB$RELATION_NAME"), QStringLiteral("MetaObject"));
    TrigList.setDisplayLabel(QStringLiteral("RDB$USER"), QStringLiteral("UserObject"));
    TrigList.setDisplayLabel(QStringLiteral("RDB$FIELD_NAME"), QStringLiteral("Columns"));
    TrigList.setDisplayLabel(QStringLiteral("RDB$GRANTOR"), QStringLiteral("Grantor"));
    for (const char *hidden : {"RDB$PRIVILEGE", "RDB$GRANT_OPTION", "RDB$USER_TYPE", "RDB$OBJECT_TYPE"})
        TrigList.setFieldVisible(QString::fromLatin1(hidden), false);
    TrigList.setFiltered(true);

    usersdef.setSql(QStringLiteral("select * from meta$usersdef order by usertype desc, ugname asc"));
    usersdef.setFiltered(true);

    usergrp.setSql(QStringLiteral("select * from meta$usersdef where  ((usertype=2) and (ugname<>'PUBLIC'))"));
    usergrp.setRequestLive(true);
    usersgrp.setSql(QStringLiteral("select id,ualias from meta$userslist  where ufname=:ugname"));
    usersgrp.setMasterSource(&usergrp);

    metagrp.setSql(QStringLiteral("select ggname from meta$grantdef"));
    metasgrp.setSql(QStringLiteral("select * from meta$grantusers where gfname=:ggname"));
    metasgrp.setMasterSource(&metagrp);
    metasgrp.setFieldOrder({QStringLiteral("UTYPE"), QStringLiteral("UFNAME"), QStringLiteral("GFNAME")});
    metasgrp.setFieldVisible(QStringLiteral("GFNAME"), false);
    metasgrp.setFieldVisible(QStringLiteral("ID"), false);

    addus.setSql(QStringLiteral("select a.ufname from meta$usersgrant a where (a.gfname=:mtob)"));

    ufn.setSql(QStringList{QStringLiteral("select a.ufname from meta$usersgrant a where (a.gfname=:gfname) and"),
                           QStringLiteral(" (a.ufname not in (select b.rdb$owner_name from rdb$procedures b "),
                           QStringLiteral("where b.rdb$procedure_name=:tvname)) and "),
                           QStringLiteral("(a.ufname not in (select c.rdb$owner_name from rdb$relations c "),
                           QStringLiteral("where c.rdb$relation_name=:tvname))")});
    ufn.setMasterSource(&MetaGrantlist);

    // A whole-object privilege is stored with a NULL column by some writers
    // and an empty one by others; both must count as the same privilege, or
    // a removal would revoke what another group still gives.
    const QString sameColumn = QStringLiteral("(coalesce(k.tvcols,'')=coalesce(cast(:tvcol as varchar(31)),''))");
    ggopt.setSql(QStringList{
        QStringLiteral("select distinct k.ggoption from meta$grantlist k join meta$usersgrant m on "),
        QStringLiteral("(k.gfname=m.gfname) where (m.gfname<>:gfname) and (k.tvname=:tvname) and"),
        sameColumn + QStringLiteral(" and (k.ggtype=:ggtype) and (m.ufname=:ufname)")});
    ggopt2.setSql(QStringList{
        QStringLiteral("select distinct k.ggoption from meta$grantlist k join meta$usersgrant m on "),
        QStringLiteral("(k.gfname=m.gfname) where (k.ggtype =:ggtype) and (k.tvname=:tvname) and"),
        sameColumn + QStringLiteral(" and  (m.gfname not in (select a.gfname"),
        QStringLiteral("from meta$grantusers a where (a.ufname=:uu) and (a.gfname not in (select"),
        QStringLiteral("d.gfname from meta$grantusers d where d.ufname=:u))))"),
        QStringLiteral(" and (m.ufname=:u)")});

    ggins.setSql(QStringList{QStringLiteral("insert into meta$grantdef values"), QString()});

    connect(&MetaGrantDef, &engine::DataSet::dataChanged, this, &TGrantData::GrantDefSDDataChange);
    connect(&MetaGrantlist, &engine::DataSet::stateChanged, this, &TGrantData::GrantlistDSStateChange);
    connect(&MetaGrantlist, &engine::DataSet::dataChanged, this, &TGrantData::GrantlistDSDataChange);
    connect(&MetaGrantlist, &engine::DataSet::afterInsert, this, &TGrantData::MetaGrantlistAfterInsert);
    connect(&TrigList, &engine::DataSet::dataChanged, this, &TGrantData::TrigListDSDataChange);
    connect(&usergrp, &engine::DataSet::dataChanged, this, &TGrantData::usergrpsdDataChange);
    connect(&metagrp, &engine::DataSet::dataChanged, this, &TGrantData::metagrpsdDataChange);
    // A master's change reaches its handler before the detail has followed
    // it; the filter and the pages' buttons follow again once the detail
    // holds the new rows.
    for (engine::Query *detail : {&usersgrp, &metasgrp})
        connect(detail, &engine::DataSet::rowsReset, this, [this, detail] {
            FilterUsersDef(*detail, false);
            if (m_view)
                m_view->ubuttons();
        });
}

TGrantData::~TGrantData()
{
    if (GrantData == this)
        GrantData = nullptr;
}

QString TGrantData::usersDefFilter(bool membersList, const QStringList &names)
{
    QString f = membersList ? QStringLiteral("([usertype]=0)") : QStringLiteral("(([usertype]=0) or ([usertype]=2))");
    for (const QString &name : names)
        f += QStringLiteral(" and ([ugname]<>'") + engine::singleQuotedConstant(name) + QStringLiteral("')");
    return f;
}

namespace {

// Leaves the scratch query closed and empty on every way out.
struct ScratchReset {
    engine::Query &q;
    explicit ScratchReset(engine::Query &query, const QStringList &lines) : q(query)
    {
        q.close();
        q.sql() = lines;
    }
    ~ScratchReset()
    {
        q.close();
        q.sql().clear();
    }
};

} // namespace

void TGrantData::execQ(const QStringList &lines)
{
    ScratchReset reset(q, lines);
    q.execSql();
    transaction.note(lines.join(QString()).simplified());
}

QStringList TGrantData::namesQ(const QStringList &lines)
{
    ScratchReset reset(q, lines);
    q.open();
    QStringList names;
    for (int i = 0; i < q.recordCount(); ++i)
        names << q.textAt(i, 0).trimmed();
    return names;
}

int TGrantData::nextId(const QString &selectMax)
{
    const QStringList max = namesQ({selectMax});
    return (max.isEmpty() ? 0 : max.first().toInt()) + 1;
}

QString TGrantData::currentName(engine::DataSet &ds, const QString &field, const QString &kind)
{
    const QString name = hasRow(ds) ? ds.fieldByName(field).asString().trimmed() : QString();
    if (name.isEmpty())
        throw engine::Error(QStringLiteral("Choose a %1 first").arg(kind));
    return name;
}

void TGrantData::reopenTrigList()
{
    engine::ControlsFrozen frozen(TrigList);
    TrigList.close();
    TrigList.open();
}

void TGrantData::FilterUsersDef(engine::Query &query, bool reopen)
{
    if (!query.isActive())
        return;
    if (reopen) {
        engine::ControlsFrozen frozen(query);
        const engine::Bookmark mark = query.bookmark();
        query.close();
        query.open();
        query.gotoBookmark(mark);
    }
    engine::Query &owner = m_candidatesFor && m_candidatesFor->isActive() ? *m_candidatesFor : query;
    const bool members = &owner == &usersgrp;
    const int field = owner.fieldIndex(members ? QStringLiteral("UALIAS") : QStringLiteral("UFNAME"));
    QStringList names;
    for (int i = 0; i < owner.recordCount(); ++i)
        names << owner.textAt(i, field);
    usersdef.setFilter(usersDefFilter(members, names));
    usersdef.setFiltered(true);
}

void TGrantData::showCurrentLayer()
{
    if (MetaGrantDef.isActive())
        privileges::refreshPageData(*this, QStringLiteral("GrantGroups"));
    if (usergrp.isActive())
        privileges::refreshPageData(*this, QStringLiteral("UserGroups"));
    if (metagrp.isActive())
        privileges::refreshPageData(*this, QStringLiteral("GrantAction"));
    if (m_candidatesFor)
        FilterUsersDef(*m_candidatesFor, false);
}

void TGrantData::changeList(engine::Query &list, const std::function<void()> &work)
{
    const bool shown = list.isActive();
    try {
        transaction.run([&] {
            work();
            FilterUsersDef(list, true);
        });
    } catch (...) {
        try {
            if (shown && !list.isActive())
                list.open();
            FilterUsersDef(list, true);
        } catch (const engine::Error &) {
        }
        throw;
    }
}

void TGrantData::commitList(engine::Query &list)
{
    try {
        transaction.commit();
    } catch (...) {
        FilterUsersDef(list, true);
        throw;
    }
    if (TrigList.isActive())
        reopenTrigList();
}

void TGrantData::rollbackList(engine::Query &list)
{
    transaction.rollback();
    FilterUsersDef(list, true);
}

void TGrantData::closeGroupDataSets()
{
    for (engine::DataSet *ds : std::initializer_list<engine::DataSet *>{&usersgrp, &usergrp, &metasgrp, &metagrp,
                                                                        &usersdef, &MetaGrantlist, &MetaGrantDef})
        ds->close();
}

void TGrantData::GrantDefSDDataChange()
{
    if (m_view && m_view->grantGroupsPageActive())
        m_view->setGroupButtons(true, hasRow(MetaGrantDef));
}

void TGrantData::GrantlistDSStateChange()
{
    if (!m_view)
        return;
    if (MetaGrantlist.state() == engine::DataSetState::Edit)
        m_view->enableGroupCommit();
    m_view->setRemoveButtons(hasRow(MetaGrantlist) && !MetaGrantlist.fieldByName(QStringLiteral("GFNAME")).asString().isEmpty());
}

void TGrantData::GrantlistDSDataChange()
{
    if (!m_view)
        return;
    const bool row = hasRow(MetaGrantlist);
    m_view->setRemoveButtons(row);
    // Only a whole table or view offers the choice of privilege in the grid.
    const bool automatic = !row
        || (MetaGrantlist.fieldByName(QStringLiteral("TVTYPE")).asString() != QLatin1String("Procedure")
            && MetaGrantlist.fieldByName(QStringLiteral("TVCOLS")).isNull());
    m_view->setPrivilegeButton(automatic);
}

void TGrantData::MetaGrantlistAfterInsert()
{
    // Privileges come into a group through the grant dialog only.
    MetaGrantlist.cancel();
}

void TGrantData::MetaGrantlistCalcFields(engine::CalcRecord &record)
{
    record.setValue(QStringLiteral("option"), record.asInteger(QStringLiteral("GGOPTION")) == 1);
}

void TGrantData::TrigListCalcFields(engine::CalcRecord &record)
{
    const QString letter = record.asString(QStringLiteral("RDB$PRIVILEGE")).trimmed();
    record.setValue(QStringLiteral("privilege"), letter.size() == 1 ? privileges::privilegeWord(letter.at(0)) : QString());
    record.setValue(QStringLiteral("GrantOption"), record.asInteger(QStringLiteral("RDB$GRANT_OPTION")) == 1);
}

void TGrantData::TrigListDSDataChange()
{
    if (m_view)
        m_view->setRevokeEnabled(hasRow(TrigList));
}

void TGrantData::groupChanged(engine::Query &groups, const QString &nameField, engine::Query &list,
                              void (GrantDataView::*setTitle)(const QString &))
{
    if (m_view)
        (m_view->*setTitle)(QStringLiteral(" '") + (hasRow(groups) ? groups.fieldByName(nameField).asString() : QString())
                            + QStringLiteral("'"));
    FilterUsersDef(list, false);
    if (m_view)
        m_view->ubuttons();
}

void TGrantData::usergrpsdDataChange()
{
    groupChanged(usergrp, QStringLiteral("UGNAME"), usersgrp, &GrantDataView::setMembersTitle);
}

void TGrantData::metagrpsdDataChange()
{
    groupChanged(metagrp, QStringLiteral("GGNAME"), metasgrp, &GrantDataView::setHoldersTitle);
}
