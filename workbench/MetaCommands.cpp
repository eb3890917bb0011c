#include "workbench/MetaCommands.h"

#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/SqlText.h"

namespace metacmd {

namespace {

const QString &bare(const QString &name)
{
    engine::requirePlainIdentifier(name);
    return name;
}

} // namespace

QString dropStatement(Dropped kind, const QString &name)
{
    static const char *const words[] = {"drop domain ",    "drop table ",     "drop generator ",
                                        "drop external function ", "drop view ", "drop exception ",
                                        "drop procedure ", "drop index ",     "drop trigger "};
    return QLatin1String(words[int(kind)]) + bare(name);
}

QString dropColumnStatement(const QString &table, const QString &column)
{
    return QStringLiteral("alter table ") + bare(table) + QStringLiteral(" drop ") + bare(column);
}

QString dropConstraintStatement(const QString &table, const QString &constraint)
{
    return QStringLiteral("alter table ") + bare(table) + QStringLiteral(" drop constraint ") + bare(constraint);
}

QString indexStateStatement(const QString &index, bool active)
{
    return QStringLiteral("alter index ") + bare(index) + (active ? QStringLiteral(" Active") : QStringLiteral(" InActive"));
}

QStringList balanceStatements(const QString &index)
{
    return {indexStateStatement(index, false), indexStateStatement(index, true)};
}

QString statisticsStatement(const QString &index)
{
    return QStringLiteral("set statistics index ") + bare(index);
}

QString triggerStateStatement(const QString &trigger, bool active)
{
    return QStringLiteral("alter trigger ") + bare(trigger) + (active ? QStringLiteral(" Active") : QStringLiteral(" InActive"));
}

QString setGeneratorStatement(const QString &generator, const QString &valueText)
{
    bool ok = false;
    const qlonglong value = valueText.trimmed().toLongLong(&ok);
    if (!ok)
        throw engine::Error(QStringLiteral("\"%1\" is not an integer: a generator takes a whole number "
                                           "from -9223372036854775808 to 9223372036854775807.")
                                .arg(valueText));
    return QStringLiteral("set generator ") + bare(generator) + QStringLiteral(" to ") + QString::number(value);
}

QString copyColumnStatement(const QString &table, const QString &to, const QString &from)
{
    return QStringLiteral("update ") + bare(table) + QStringLiteral(" set ") + bare(to) + QStringLiteral(" = ") + bare(from);
}

QString addColumnStatement(const QString &table, const QString &column, const QString &type)
{
    return QStringLiteral("alter table ") + bare(table) + QStringLiteral(" add ") + bare(column) + QLatin1Char(' ') + type;
}

QString copyColumnName(const QString &name)
{
    return name.left(31);
}

Template newTemplate(NewObject kind, const QString &currentTable)
{
    // The templates that name the current table are run as typed: one the
    // statement cannot carry would reach another table.
    if (!currentTable.isEmpty() && (kind == NewObject::Index || kind == NewObject::Constraint))
        bare(currentTable);
    switch (kind) {
    case NewObject::Domain:
        return {{QStringLiteral("create domain MyDomain as ")}, 14, false};
    case NewObject::Table:
        return {{QStringLiteral("create table MyTable ( )")}, 13};
    case NewObject::Index:
        return {{QStringLiteral("create index MyIndex on ") + currentTable, QStringLiteral("()")}, 13};
    case NewObject::Generator:
        return {{QStringLiteral("create generator MyGen")}, 17};
    case NewObject::Udf:
        return {{QStringLiteral("declare external function MyFun MyType"), QStringLiteral("returns MyType [BY VALUE] "),
                 QStringLiteral("ENTRY_POINT \"MyEntryname\""), QStringLiteral("MODULE_NAME \"MyModulename\"")},
                26};
    case NewObject::View:
        return {{QStringLiteral("create view MyView as select ...")}, 12};
    case NewObject::Exception:
        return {{QStringLiteral("create exception MyException \"MyMessage\"")}, 17};
    case NewObject::Constraint:
        return {{QStringLiteral("alter table ") + currentTable, QStringLiteral("add constraint MyConstraint")}, -1};
    }
    return {};
}

QStringList userTablesSql()
{
    return {QStringLiteral("select distinct RDB$Relation_Name, RDB$External_File from RDB$Relations"),
            QStringLiteral("where RDB$Relation_Name not in (select rdb$View_Name from rdb$View_Relations)"),
            QStringLiteral("and RDB$SYSTEM_FLAG <> 1 and (not RDB$Relation_Name containing \"META$\")"),
            QStringLiteral("order by RDB$Relation_Name")};
}

QStringList systemTablesSql()
{
    return {QStringLiteral("select distinct RDB$Relation_Name, RDB$External_File from RDB$Relations"),
            QStringLiteral("where RDB$SYSTEM_FLAG = 1 or (RDB$Relation_Name containing \"META$\")"),
            QStringLiteral("order by RDB$Relation_Name")};
}

void moveForwardWhileLess(engine::DataSet &ds, int field, const QString &bound)
{
    while (!ds.eof() && ds.text(field) < bound)
        ds.next();
}

void repositionAfterDrop(engine::DataSet &ds, const QString &field, const QString &dropped)
{
    engine::ControlsFrozen frozen(ds);
    ds.first();
    moveForwardWhileLess(ds, ds.fieldIndex(field), dropped);
}

bool applySearchKey(QString &prefix, QChar key)
{
    if (key.unicode() == 27) {
        prefix.clear();
        return true;
    }
    prefix += key >= QLatin1Char('a') && key <= QLatin1Char('z') ? QChar(key.unicode() - 32) : key;
    return false;
}

} // namespace metacmd
