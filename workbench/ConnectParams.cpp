#include "workbench/ConnectParams.h"

#include "engine/Error.h"

namespace connectparams {

QStringList makeUserParams(const QStringList &aliasParams)
{
    QStringList out = aliasParams;
    for (QString &l : out)
        if (l.contains(QLatin1String("NOT SHARED")))
            l = QStringLiteral("SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT");
    return out;
}

QStringList makeNationalParams(const QStringList &aliasParams)
{
    QStringList out = makeUserParams(aliasParams);
    for (QString &l : out)
        if (l.contains(QLatin1String("LANGDRIVER")))
            l = QStringLiteral("LANGDRIVER=");
    return out;
}

QString valueOfLine(const QString &line)
{
    const int eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

QString captionWithDatabase(const QString &caption, const QString &alias)
{
    const int at = caption.indexOf(QLatin1String("Database:"));
    return (at < 0 ? caption : caption.left(at)) + QStringLiteral("Database: ") + alias;
}

QString upperLatin(const QString &s)
{
    QString out = s;
    for (QChar &c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return out;
}

QString connectFailureText(const engine::Error &e)
{
    if (e.category() == engine::ErrorCategory::Login)
        return QStringLiteral("Incorrect User Name or Password: ") + e.message();
    return e.message();
}

} // namespace connectparams
