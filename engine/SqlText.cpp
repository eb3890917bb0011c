#include "engine/SqlText.h"

#include "engine/Error.h"

#include <QSet>

namespace engine {

namespace {

// The words the server refuses as a bare name, in either dialect.
const QSet<QString> &reservedWords()
{
    static const QSet<QString> words = [] {
        QSet<QString> s;
        for (const char *w :
             {"ADD", "ADMIN", "ALL", "ALTER", "AND", "ANY", "AS", "AT", "AVG", "BEGIN", "BETWEEN", "BIGINT",
              "BIT_LENGTH", "BLOB", "BOOLEAN", "BOTH", "BY", "CASE", "CAST", "CHAR", "CHAR_LENGTH", "CHARACTER",
              "CHARACTER_LENGTH", "CHECK", "CLOSE", "COLLATE", "COLUMN", "COMMIT", "CONNECT", "CONSTRAINT", "CORR",
              "COUNT", "COVAR_POP", "COVAR_SAMP", "CREATE", "CROSS", "CURRENT", "CURRENT_CONNECTION", "CURRENT_DATE",
              "CURRENT_ROLE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_TRANSACTION", "CURRENT_USER", "CURSOR",
              "DATE", "DAY", "DEC", "DECIMAL", "DECLARE", "DEFAULT", "DELETE", "DELETING", "DETERMINISTIC",
              "DISCONNECT", "DISTINCT", "DOUBLE", "DROP", "ELSE", "END", "ESCAPE", "EXECUTE", "EXISTS", "EXTERNAL",
              "EXTRACT", "FALSE", "FETCH", "FILTER", "FLOAT", "FOR", "FOREIGN", "FROM", "FULL", "FUNCTION",
              "GDSCODE", "GLOBAL", "GRANT", "GROUP", "HAVING", "HOUR", "IN", "INDEX", "INNER", "INSENSITIVE",
              "INSERT", "INSERTING", "INT", "INTEGER", "INTO", "IS", "JOIN", "LEADING", "LEFT", "LIKE", "LONG",
              "LOWER", "MAX", "MERGE", "MIN", "MINUTE", "MONTH", "NATIONAL", "NATURAL", "NCHAR", "NO", "NOT", "NULL",
              "NUMERIC", "OCTET_LENGTH", "OF", "OFFSET", "ON", "ONLY", "OPEN", "OR", "ORDER", "OUTER", "OVER",
              "PARAMETER", "PLAN", "POSITION", "POST_EVENT", "PRECISION", "PRIMARY", "PROCEDURE", "RDB$DB_KEY",
              "RDB$RECORD_VERSION", "REAL", "RECORD_VERSION", "RECREATE", "RECURSIVE", "REFERENCES", "REGR_AVGX",
              "REGR_AVGY", "REGR_COUNT", "REGR_INTERCEPT", "REGR_R2", "REGR_SLOPE", "REGR_SXX", "REGR_SXY",
              "REGR_SYY", "RELEASE", "RETURN", "RETURNING_VALUES", "RETURNS", "REVOKE", "RIGHT", "ROLLBACK", "ROW",
              "ROW_COUNT", "ROWS", "SAVEPOINT", "SCROLL", "SECOND", "SELECT", "SENSITIVE", "SET", "SIMILAR",
              "SMALLINT", "SOME", "SQLCODE", "SQLSTATE", "START", "STDDEV_POP", "STDDEV_SAMP", "SUM", "TABLE",
              "THEN", "TIME", "TIMESTAMP", "TO", "TRAILING", "TRIGGER", "TRIM", "TRUE", "UNION", "UNIQUE", "UNKNOWN",
              "UPDATE", "UPDATING", "UPPER", "USER", "USING", "VALUE", "VALUES", "VAR_POP", "VAR_SAMP", "VARCHAR",
              "VARIABLE", "VARYING", "VIEW", "WHEN", "WHERE", "WHILE", "WITH", "YEAR"})
            s.insert(QLatin1String(w));
        return s;
    }();
    return words;
}

} // namespace

QString quotedConstant(const QString &value)
{
    QString v = value;
    return v.replace(QLatin1Char('"'), QLatin1String("\"\""));
}

QString singleQuotedConstant(const QString &value)
{
    QString v = value;
    return v.replace(QLatin1Char('\''), QLatin1String("''"));
}

bool isIdentifier(const QString &name)
{
    if (name.isEmpty() || name.size() > 31)
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const ushort c = name.at(i).unicode();
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (i == 0 ? !letter : !(letter || digit || c == '_' || c == '$'))
            return false;
    }
    return true;
}

NameFault nameFault(const QString &name)
{
    if (!isIdentifier(name))
        return NameFault::NotIdentifier;
    if (name != name.toUpper())
        return NameFault::NotUpperCase;
    if (reservedWords().contains(name))
        return NameFault::ReservedWord;
    return NameFault::None;
}

bool isPlainIdentifier(const QString &name)
{
    return nameFault(name) == NameFault::None;
}

QString unnamableText(const QString &name)
{
    switch (nameFault(name)) {
    case NameFault::None:
        return QString();
    case NameFault::NotIdentifier:
        return QStringLiteral("The name \"%1\" is not a plain identifier (a letter, then letters, digits, _ or $): "
                              "it cannot be named in a dialect-1 statement.")
            .arg(name);
    case NameFault::NotUpperCase:
        return QStringLiteral("The name \"%1\" differs from its upper case: a dialect-1 statement would name %2 "
                              "instead, so it can only be named quoted, in dialect 3.")
            .arg(name, name.toUpper());
    case NameFault::ReservedWord:
        return QStringLiteral("The name \"%1\" is a reserved word: it can only be named quoted, in dialect 3.")
            .arg(name);
    }
    return QString();
}

void requirePlainIdentifier(const QString &name)
{
    const QString reason = unnamableText(name);
    if (!reason.isEmpty())
        throw Error(reason + QStringLiteral(" Nothing was sent."));
}

} // namespace engine
