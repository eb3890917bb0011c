#include "privileges/ConnectRules.h"

#include "engine/EngineLists.h"
#include "engine/SqlText.h"

#include <algorithm>

namespace connectrules {

namespace {
const QString kLangDriver = QStringLiteral("LANGDRIVER");

QString onOff(bool on)
{
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}
} // namespace

QStringList interbaseAliases(const QStringList &names, const std::function<QString(const QString &)> &driverOf)
{
    QStringList result;
    for (const QString &n : names)
        if (driverOf(n) == QLatin1String("INTRBASE"))
            result << n;
    return result;
}

QString LangDrivers::descOf(const QString &name) const
{
    const int i = int(names.indexOf(name));
    return i >= 0 ? descs.value(i) : QString();
}

QString LangDrivers::nameOf(const QString &description) const
{
    const int i = int(descs.indexOf(description));
    return i >= 0 ? names.value(i) : QString();
}

QVector<ParamRow> gridRows(const QStringList &params, const LangDrivers &drivers)
{
    QVector<ParamRow> rows;
    for (const QString &line : params) {
        const int eq = int(line.indexOf(QLatin1Char('=')));
        ParamRow r{eq < 0 ? line : line.left(eq), eq < 0 ? QString() : line.mid(eq + 1)};
        if (r.name == kLangDriver)
            r.value = drivers.descOf(r.value);
        rows << r;
    }
    return rows;
}

QStringList paramLines(const QVector<ParamRow> &rows, const LangDrivers &drivers)
{
    QStringList lines;
    for (const ParamRow &r : rows) {
        QString value = r.value;
        if (r.name == kLangDriver && drivers.descs.contains(r.value))
            value = drivers.nameOf(r.value);
        lines << r.name + QLatin1Char('=') + value;
    }
    return lines;
}

QString unknownDriverText(const QVector<ParamRow> &rows, const LangDrivers &drivers)
{
    for (const ParamRow &r : rows)
        if (r.name == kLangDriver && !drivers.descs.contains(r.value) && !drivers.names.contains(r.value))
            return QStringLiteral("Unknown language driver \"%1\": choose one from the list, "
                                  "or the empty entry for the default.")
                .arg(r.value);
    return QString();
}

QStringList fixedValues(const QString &param, const QStringList &langDescs)
{
    QStringList v;
    if (param == QLatin1String("OPEN MODE"))
        v = {"READ/WRITE", "READONLY"};
    else if (param == QLatin1String("SQLPASSTHRU MODE"))
        v = {"SHARED AUTOCOMMIT", "SHARED NOAUTOCOMMIT", "NOT SHARED"};
    else if (param == QLatin1String("SQLQRYMODE"))
        v = {"", "LOCAL", "SERVER"};
    else if (param == QLatin1String("ENABLE SCHEMA CACHE") || param == QLatin1String("BLOB EDIT LOGGING"))
        v = {"FALSE", "TRUE"};
    else if (param == QLatin1String("NET PROTOCOL"))
        v = {"", "3270", "APPC", "ASYNC", "DECNET", "NAMED PIPES", "NETBIOS", "SPX/IPX", "TCP/IP", "TNS", "VINES"};
    else if (param == kLangDriver)
        v = langDescs;
    std::sort(v.begin(), v.end());
    return v;
}

AliasButtons aliasButtons(int mode)
{
    switch (mode) {
    case 1:
        return {QStringLiteral("        &Add"), QStringLiteral("&Add"), true, true, QStringLiteral("      &Delete"),
                QStringLiteral("&Delete")};
    case 2:
        return {QStringLiteral("       &Save"), QStringLiteral("&Save"), false, true, QStringLiteral("      &Cancel"),
                QStringLiteral("&Cancel")};
    default:
        return {QString(), QString(), false, false, QString(), QString()};
    }
}

QStringList sessionLines(const engine::SystemConfiguration &c, const engine::SystemStatus &s)
{
    return {QStringLiteral("Local Share: ") + onOff(c.localShare),
            QStringLiteral("Net Protocol: ") + QString::number(c.netProtocol),
            QStringLiteral("Net Share: ") + onOff(c.netShare),
            QStringLiteral("Language Driver: "),
            c.languageDriver,
            QStringLiteral("BufferSpace = %1 kB").arg(s.bufferSpaceKb),
            QStringLiteral("HeapSpace = %1 kB").arg(s.heapSpaceKb),
            QStringLiteral("Drivers = %1").arg(s.drivers),
            QStringLiteral("Clients = %1").arg(s.clients),
            QStringLiteral("Sessions = %1").arg(s.sessions),
            QStringLiteral("Databases = %1").arg(s.databases),
            QStringLiteral("Cursors = %1").arg(s.cursors)};
}

const QStringList kAdminTables = {"META$GRANTDEF",  "META$GRANTLIST",  "META$USERSDEF",
                                  "META$USERSLIST", "META$GRANTUSERS", "META$USERSGRANT"};

QString adminTablesQuery()
{
    QStringList names;
    for (const QString &t : kAdminTables)
        names << QLatin1Char('\'') + engine::singleQuotedConstant(t) + QLatin1Char('\'');
    return QStringLiteral("select rdb$relation_name from rdb$relations where rdb$relation_name in (%1)")
        .arg(names.join(QLatin1Char(',')));
}

TablesCheck checkTables(const QStringList &present)
{
    TablesCheck c;
    for (const QString &t : kAdminTables)
        if (!present.contains(t))
            c.missing << t;
    if (c.missing.isEmpty())
        c.state = TablesState::Present;
    else if (c.missing.size() == kAdminTables.size())
        c.state = TablesState::Missing;
    else
        c.state = TablesState::Partial;
    return c;
}

QString partialTablesText(const QStringList &missing)
{
    return QStringLiteral("The GrantGroups tables of this database are incomplete; missing: %1.\r\n"
                          "Only the GrantInfo page is available.")
        .arg(missing.join(QStringLiteral(", ")));
}

QString partialTablesQuestion(const QStringList &missing)
{
    return QStringLiteral("The GrantGroups tables of this database are incomplete; missing: %1.\r\n"
                          "Yes creates the missing tables, No drops the ones present; "
                          "with Cancel only the GrantInfo page is available.")
        .arg(missing.join(QStringLiteral(", ")));
}

QStringList presentOf(const QStringList &missing)
{
    QStringList present;
    for (const QString &t : kAdminTables)
        if (!missing.contains(t))
            present << t;
    return present;
}

QString creationFailedText(const QString &serverText, bool forLackOfRights)
{
    // The rights are named only where the server refused for their lack.
    return QStringLiteral("The GrantGroups tables could not be created. ")
           + (forLackOfRights ? QStringLiteral("Creating them needs the database owner, SYSDBA, or a user granted "
                                               "CREATE TABLE.\r\n")
                              : QStringLiteral("\r\n"))
           + serverText;
}

CommandLine commandLine(const QStringList &arguments)
{
    return {arguments.value(0), arguments.value(1), arguments.value(2)};
}

} // namespace connectrules
