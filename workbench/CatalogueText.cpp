#include "workbench/CatalogueText.h"

#include "engine/Error.h"

#include <QStringList>
#include <cstdlib>

namespace catalogue {

QString GetParamType(int fieldType, int subType, int length, int scale, int charLength, int precision, int dialect)
{
    const QString s = QString::number(std::abs(scale));
    const int chars = charLength > 0 ? charLength : length;
    switch (fieldType) {
    case 7:
        return scale ? QStringLiteral("NUMERIC(4, ") + s + QLatin1Char(')') : QStringLiteral("SMALLINT");
    case 8:
        return scale ? QStringLiteral("NUMERIC(9, ") + s + QLatin1Char(')') : QStringLiteral("INTEGER");
    case 16:
        if (scale)
            return QStringLiteral("NUMERIC(%1, %2)").arg(precision > 0 ? precision : 18).arg(s);
        return QStringLiteral("BIGINT");
    case 9:
    case 10:
    case 11:
    case 27:
        if (scale)
            return QStringLiteral("NUMERIC(15, ") + s + QLatin1Char(')');
        return fieldType == 27 && length == 8 ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("FLOAT");
    case 12:
        return QStringLiteral("DATE");
    case 13:
        return QStringLiteral("TIME");
    case 14:
        return QStringLiteral("CHAR(%1)").arg(chars);
    case 23:
        return QStringLiteral("BOOLEAN");
    case 35:
        return dialect == 3 ? QStringLiteral("TIMESTAMP") : QStringLiteral("DATE");
    case 37:
        return QStringLiteral("VARCHAR(%1)").arg(chars);
    default:
        break;
    }
    switch (subType) {
    case -1:
        return QStringLiteral("BLOB/USER DEFINED");
    case 0:
        return QStringLiteral("BLOB/BINARY");
    case 1:
        return QStringLiteral("BLOB/TEXT");
    default:
        return QStringLiteral("BLOB/SubType = %1").arg(subType);
    }
}

QString triggerTypeText(int type)
{
    static const QStringList names = {QStringLiteral("BEFORE INSERT"), QStringLiteral("AFTER INSERT"),
                                      QStringLiteral("BEFORE UPDATE"), QStringLiteral("AFTER UPDATE"),
                                      QStringLiteral("BEFORE DELETE"), QStringLiteral("AFTER DELETE")};
    return type >= 1 && type <= 6 ? names[type - 1] : QString();
}

QString objectTypeName(int code)
{
    static const QStringList names = {
        QStringLiteral("Table"),      QStringLiteral("View"),    QStringLiteral("Trigger"),
        QStringLiteral("Computed field"), QStringLiteral("Validation"), QStringLiteral("Procedure"),
        QStringLiteral("Expression index"), QStringLiteral("Exception"), QStringLiteral("User"),
        QStringLiteral("Field"),      QStringLiteral("Index")};
    return code >= 0 && code <= 10 ? names[code] : QString();
}

QString serverText(const engine::Error &e)
{
    if (e.category() != engine::ErrorCategory::DialectRefused)
        return e.message();
    return QStringLiteral("This database speaks SQL dialect 3 and the workbench speaks dialect 1: the server takes "
                          "no definition from it in which DATE, TIME, NUMERIC or DECIMAL would mean something "
                          "else (change it with a dialect-3 tool).\r\n")
        + e.message();
}

} // namespace catalogue
