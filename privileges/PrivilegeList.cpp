#include "privileges/PrivilegeList.h"

#include "engine/DataSet.h"
#include "engine/Query.h"
#include "engine/SqlText.h"
#include "privileges/MetaTrees.h"

namespace privileges {

QStringList privilegeListSql()
{
    // Firebird keeps far more in the catalogue than grants between users:
    // usage rights, DDL rights, role membership, the owners' own rights,
    // rights on system tables, functions and packages. None of them can be
    // granted or revoked from this page, so none is listed.
    return {
        QStringLiteral("select * from rdb$user_privileges a where (a.rdb$privilege in ('S','I','D','U','X')) "
                       "and (a.rdb$user_type in (1,2,5,8,13)) and "),
        QStringLiteral("(((a.rdb$object_type=0) and exists (select 1 from rdb$relations b where "
                       "b.rdb$relation_name=a.rdb$relation_name and coalesce(b.rdb$system_flag,0)=0 and "
                       "b.rdb$owner_name<>a.rdb$user)) or ((a.rdb$object_type=5) and exists (select 1 from "
                       "rdb$procedures c where c.rdb$procedure_name=a.rdb$relation_name and c.rdb$package_name "
                       "is null and c.rdb$owner_name<>a.rdb$user)))"),
        QStringLiteral(" and (a.rdb$relation_name not in ('META$GRANTDEF','META$GRANTLIST','META$GRANTUSERS',"
                       "'META$USERSDEF','META$USERSLIST','META$USERSGRANT'))"),
        QStringLiteral("order by a.rdb$user"),
    };
}

QString privilegeListOrder(int sortIndex)
{
    return sortIndex == 1 ? QStringLiteral(" order by a.rdb$relation_name") : QStringLiteral(" order by a.rdb$user");
}

QString letterSearchField(int sortIndex)
{
    return sortIndex == 1 ? QStringLiteral("rdb$relation_name") : QStringLiteral("rdb$user");
}

void applySortOrder(engine::Query &trigList, int sortIndex)
{
    engine::ControlsFrozen frozen(trigList);
    trigList.close();
    if (trigList.sql().isEmpty())
        trigList.sql() << QString();
    trigList.sql().last() = privilegeListOrder(sortIndex);
    trigList.open();
}

QString allUserObjects()
{
    return QStringLiteral("All user objects");
}

QString allMetaObjects()
{
    return QStringLiteral("All meta objects");
}

namespace {

// The kind a root names: its caption without the last character.
QString kindOf(const QString &rootCaption)
{
    return rootCaption.left(rootCaption.size() - 1);
}

// The text after the kind; "Stored Procedure" is one kind of two words.
QString afterKind(const QString &label)
{
    static const QString twoWords = kindOf(proceduresRoot()) + QLatin1Char(' ');
    if (label.startsWith(twoWords))
        return label.mid(twoWords.size());
    const int blank = label.indexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : label.mid(blank + 1);
}

const QString kColumnWord = QStringLiteral(" Column ");

QString part(const char *field, const QString &value)
{
    return QStringLiteral("([%1]='").arg(QLatin1String(field)) + engine::singleQuotedConstant(value) + QStringLiteral("')");
}

} // namespace

QString userObjectLabel(const QString &rootCaption, const QString &name)
{
    return rootCaption.isEmpty() ? allUserObjects() : kindOf(rootCaption) + QLatin1Char(' ') + name;
}

QString metaObjectLabel(const QString &rootCaption, const QString &object, const QString &column)
{
    if (rootCaption.isEmpty())
        return allMetaObjects();
    QString label = kindOf(rootCaption) + QLatin1Char(' ') + object;
    if (!column.isEmpty())
        label += kColumnWord + column;
    return label;
}

QStringList privilegeChoices()
{
    return {QStringLiteral("Any privilege"), QStringLiteral("Select"), QStringLiteral("Insert"),
            QStringLiteral("Delete"),        QStringLiteral("Update"), QStringLiteral("Execute")};
}

QString privilegeListFilter(const QString &metalbl, const QString &userlbl, const QString &grantor, int privilegeIndex)
{
    QStringList parts;
    if (!metalbl.startsWith(QLatin1String("All"))) {
        QString object = afterKind(metalbl);
        const int column = object.indexOf(kColumnWord);
        if (column >= 0) {
            parts << part("rdb$field_name", object.mid(column + kColumnWord.size()));
            object.truncate(column);
        }
        parts << part("rdb$relation_name", object);
    }
    if (!userlbl.startsWith(QLatin1String("All")))
        parts << part("rdb$user", afterKind(userlbl));
    if (!grantor.isEmpty())
        parts << part("rdb$grantor", grantor);
    if (privilegeIndex >= 1 && privilegeIndex <= 4)
        parts << part("rdb$privilege", privilegeChoices().at(privilegeIndex).left(1));
    else if (privilegeIndex == 5)
        parts << part("rdb$privilege", QStringLiteral("X"));
    return parts.join(QStringLiteral(" and "));
}

bool DataSetFindKey(engine::DataSet &dataSet, bool cont, const QString &field, const QString &text)
{
    if (text.isEmpty() || !dataSet.isActive())
        return false;
    const QString key = text.left(1).toUpper();
    const int f = dataSet.fieldByName(field).index();
    const int rows = dataSet.recordCount();
    engine::ControlsFrozen frozen(dataSet);
    // Rows are read in place; the current row moves only to a match, so
    // nothing found leaves it where it was.
    int from = cont && !dataSet.eof() && dataSet.recNo() >= 0 ? dataSet.recNo() + 1 : 0;
    for (int pass = 0; pass < 2; ++pass, from = 0) {
        for (int r = from; r < rows; ++r) {
            if (dataSet.textAt(r, f).left(1).toUpper() == key) {
                dataSet.moveTo(r);
                return true;
            }
        }
    }
    return false;
}

bool LetterSearch::keyPress(engine::DataSet &dataSet, const QString &field, const QString &typed)
{
    const QString letter = typed.left(1);
    const bool cont = !m_last.isEmpty() && letter == m_last;
    if (!cont)
        m_last = letter;
    return DataSetFindKey(dataSet, cont, field, letter);
}

} // namespace privileges
