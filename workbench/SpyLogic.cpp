#include "workbench/SpyLogic.h"

#include "engine/SqlText.h"

namespace spylogic {

QStringList pointListSql(int filter, bool byObject)
{
    QStringList sql{QStringLiteral("select * from meta$points where P = 0")};
    switch (filter) {
    case 1:
        sql << QStringLiteral("and PType = \"BP\"");
        break;
    case 2:
        sql << QStringLiteral("and PType = \"TP\"");
        break;
    case 3:
        sql << QStringLiteral("and PType = \"PP\"");
        break;
    default:
        break;
    }
    sql << (byObject ? QStringLiteral("order by ProcName, PID") : QStringLiteral("order by PID, ProcName"));
    return sql;
}

QString deleteOrphanPointsSql()
{
    return QStringLiteral("delete from meta$points where (SP_T = \"SP\" and ProcName not in (select "
                          "rdb$procedure_name from rdb$procedures)) or (SP_T = \"TR\" and ProcName not in "
                          "(select rdb$trigger_name from rdb$triggers))");
}

QString deleteObjectPointsSql(const QString &object)
{
    return QStringLiteral("delete from meta$points where ProcName = \"%1\"").arg(engine::quotedConstant(object));
}

QString pointKindSql(const QString &object, const QString &pointId)
{
    return QStringLiteral("select SP_T from meta$points where ProcName = \"%1\" and PID = \"%2\"")
        .arg(engine::quotedConstant(object), engine::quotedConstant(pointId));
}

QString markerText(const QString &pointType, const QString &pointId)
{
    const QString type = pointType.trimmed();
    const QString id = pointId.trimmed();
    if (type == QLatin1String("BP"))
        return QLatin1Char('@') + id;
    if (type == QLatin1String("TP"))
        return QLatin1Char('#') + id;
    if (type == QLatin1String("PP"))
        return QLatin1Char('$') + id;
    return id;
}

bool leftAsShown(const WatchCell &cell)
{
    return cell.text == cell.shown;
}

QString missingValueMessage(const QVector<WatchCell> &cells)
{
    for (const WatchCell &c : cells)
        if (c.text.isEmpty() && !leftAsShown(c))
            return QStringLiteral("Variable ") + c.name + QStringLiteral(" has no value!");
    return {};
}

QVariant answerValue(const WatchCell &cell)
{
    if (leftAsShown(cell) && cell.shownNull)
        return QVariant();
    // An empty text must still reach the server as an empty value, not NULL.
    const QString &text = leftAsShown(cell) ? cell.shown : cell.text;
    return text.isEmpty() ? QVariant(QString::fromLatin1("", 0)) : QVariant(text);
}

} // namespace spylogic
