#include "engine/Runtime.h"

#include "engine/RuntimeDefaults.h"

#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtGlobal>

namespace engine {

namespace {
RuntimePaths g_paths;
bool g_prepared = false;

void writeIfMissing(const QString &path, const QByteArray &content)
{
    if (QFile::exists(path))
        return;
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(content);
        f.commit();
    }
}
} // namespace

QString Runtime::defaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Dunmoor/firebird");
}

int Runtime::defaultPort()
{
    bool ok = false;
    const int p = qEnvironmentVariableIntValue("DUNMOOR_FB_PORT", &ok);
    return ok && p > 0 ? p : generated::kDefaultPort;
}

QString Runtime::configText(const RuntimePaths &p)
{
    return QString::fromUtf8(generated::kConfigTemplate)
        .replace(QLatin1String("@EXTERNAL@"), p.external)
        .replace(QLatin1String("@PORT@"), QString::number(p.port))
        .replace(QLatin1String("@SECURITY@"), p.securityDatabase);
}

const RuntimePaths &Runtime::prepare(const QString &root)
{
    QString r = root;
    if (r.isEmpty()) {
        if (g_prepared)
            return g_paths;
        r = qEnvironmentVariable("FIREBIRD");
    }
    if (r.isEmpty())
        r = defaultRoot();
    r = QDir(r).absolutePath();

    RuntimePaths p;
    p.root = r;
    p.lock = r + QStringLiteral("/lock");
    p.tmp = r + QStringLiteral("/tmp");
    p.external = r + QStringLiteral("/external");
    p.data = r + QStringLiteral("/data");
    p.securityDatabase = r + QStringLiteral("/security3.fdb");
    p.port = defaultPort();
    for (const QString &d : {p.root, p.lock, p.tmp, p.external, p.data})
        QDir().mkpath(d);
    writeIfMissing(r + QStringLiteral("/firebird.conf"), configText(p).toUtf8());
    writeIfMissing(r + QStringLiteral("/databases.conf"), QByteArray("# aliases of the server\n"));

    qputenv("FIREBIRD", QFile::encodeName(p.root));
    qputenv("FIREBIRD_LOCK", QFile::encodeName(p.lock));
    qputenv("FIREBIRD_TMP", QFile::encodeName(p.tmp));
    g_paths = p;
    g_prepared = true;
    return g_paths;
}

const RuntimePaths &Runtime::paths()
{
    return prepare();
}

QString Runtime::sampleDatabasePath()
{
    return paths().data + QStringLiteral("/sample.fdb");
}

QString Runtime::aliasFilePath()
{
    return paths().root + QStringLiteral("/aliases.conf");
}

QString Runtime::ownExternalFolder(const QString &serverName)
{
    const RuntimePaths &p = paths();
    bool own = serverName.startsWith(QLatin1Char('/'));
    const int colon = serverName.indexOf(QLatin1Char(':'));
    if (!own && colon > 0) {
        // host:path or host/port:path; the port is 3050 when not named.
        const QString host = serverName.left(colon);
        const int slash = host.indexOf(QLatin1Char('/'));
        const QString name = slash < 0 ? host : host.left(slash);
        const int port = slash < 0 ? 3050 : host.mid(slash + 1).toInt();
        own = (name == QLatin1String("127.0.0.1") || name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            && port == p.port;
    }
    return own ? p.external + QLatin1Char('/') : QString();
}

} // namespace engine
