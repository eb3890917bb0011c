#include "engine/AliasStore.h"

#include "engine/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <utility>

namespace engine {

const QString AliasStore::InterBaseDriver = QStringLiteral("INTRBASE");
const QString AliasStore::SampleAliasName = QStringLiteral("SAMPLE");

namespace {

const QString Signature = QStringLiteral("DUNMOOR ALIASES 1");
const QString EndLine = QStringLiteral("END");
const QString DriverPrefix = QStringLiteral("DRIVER=");

[[noreturn]] void fail(const QString &message)
{
    throw Error(message, ErrorCategory::Configuration);
}

QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

// False when text holds an escape the writer never produces.
bool unescape(const QString &text, QString *out)
{
    out->clear();
    out->reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            *out += c;
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text.at(i).unicode()) {
        case '\\': *out += QLatin1Char('\\'); break;
        case 'n': *out += QLatin1Char('\n'); break;
        case 'r': *out += QLatin1Char('\r'); break;
        case '[': *out += QLatin1Char('['); break;
        default: return false;
        }
    }
    return true;
}

// Garbage lines can be long; a message only needs enough to find the line.
QString shortened(const QString &line)
{
    return line.size() <= 60 ? line : line.left(57) + QLatin1String("...");
}

QString paramName(const QString &line)
{
    return line.left(line.indexOf(QLatin1Char('=')));
}

// Empty when line is a usable "NAME=value" line, else what is wrong with it.
QString lineProblem(const QString &line)
{
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return QStringLiteral("parameter line \"%1\" has no \"=\"").arg(shortened(line));
    if (line.left(eq).trimmed().isEmpty())
        return QStringLiteral("parameter line \"%1\" has no parameter name").arg(shortened(line));
    return {};
}

// Checked before any change, so a bad list never half-applies.
void checkParams(const QString &alias, const QStringList &params)
{
    QSet<QString> seen;
    for (const QString &line : params) {
        const QString problem = lineProblem(line);
        if (!problem.isEmpty())
            fail(QStringLiteral("Alias \"%1\": %2.").arg(alias, problem));
        const QString name = paramName(line);
        if (seen.contains(name))
            fail(QStringLiteral("Alias \"%1\": parameter \"%2\" is given twice.").arg(alias, name));
        seen.insert(name);
    }
}

} // namespace

AliasStore AliasStore::openOrCreateDefault(const QString &path, const QString &sampleDatabasePath)
{
    AliasStore store;
    if (QFileInfo::exists(path)) {
        store.load(path);
        return store;
    }
    store.addAlias(SampleAliasName, InterBaseDriver, defaultParams(InterBaseDriver));
    store.modifyAlias(SampleAliasName, {QStringLiteral("SERVER NAME=") + sampleDatabasePath,
                                        QStringLiteral("USER NAME=SYSDBA")});
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("Cannot create the folder \"%1\" for the alias store file \"%2\".")
                 .arg(folder, path));
    store.m_path = path;
    store.save();
    return store;
}

void AliasStore::load(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        fail(QStringLiteral("Alias store file \"%1\" does not exist.").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read alias store file \"%1\": %2.").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot read alias store file \"%1\": %2.").arg(path, file.errorString()));

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        fail(QStringLiteral("Alias store file \"%1\" is broken: it is not UTF-8 text.").arg(path));

    // Parse completely before touching anything, so a broken file leaves the
    // store and the file it saves to as they were.
    QVector<Alias> aliases = parse(text, path);
    m_aliases = std::move(aliases);
    m_path = path;
}

QVector<AliasStore::Alias> AliasStore::parse(const QString &text, const QString &path)
{
    const auto broken = [&path](int lineNumber, const QString &why) {
        fail(QStringLiteral("Alias store file \"%1\" is broken at line %2: %3.")
                 .arg(path).arg(lineNumber).arg(why));
    };

    const QStringList lines = text.split(QLatin1Char('\n'));
    QVector<Alias> aliases;
    bool driverPending = false;  // a header was read, its DRIVER line not yet
    bool ended = false;
    int lastLine = 0;            // number of the last line that was not blank

    for (int i = 0; i < lines.size(); ++i) {
        const int lineNumber = i + 1;
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);

        if (i == 0) {
            if (line != Signature)
                broken(lineNumber, QStringLiteral("this is not an alias store file (the first line "
                                                  "must read \"%1\")").arg(Signature));
            lastLine = lineNumber;
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        if (ended)
            broken(lineNumber, QStringLiteral("text after the END line"));
        lastLine = lineNumber;

        if (line == EndLine || line.startsWith(QLatin1Char('['))) {
            if (driverPending)
                broken(lineNumber, QStringLiteral("alias \"%1\" has no DRIVER line")
                                       .arg(aliases.last().name));
            if (line == EndLine) {
                ended = true;
                continue;
            }
            QString name;
            if (line.size() < 2 || !line.endsWith(QLatin1Char(']')))
                broken(lineNumber, QStringLiteral("the section header \"%1\" does not end in \"]\"")
                                       .arg(shortened(line)));
            if (!unescape(line.mid(1, line.size() - 2), &name))
                broken(lineNumber, QStringLiteral("bad \"\\\" escape in \"%1\"").arg(shortened(line)));
            if (name.trimmed().isEmpty())
                broken(lineNumber, QStringLiteral("the section header has no alias name"));
            for (const Alias &other : std::as_const(aliases)) {
                if (other.name.compare(name, Qt::CaseInsensitive) == 0)
                    broken(lineNumber, QStringLiteral("alias \"%1\" appears twice").arg(name));
            }
            aliases.append({name, QString(), {}});
            driverPending = true;
            continue;
        }

        if (aliases.isEmpty())
            broken(lineNumber, QStringLiteral("\"%1\" stands before the first [alias name] header")
                                   .arg(shortened(line)));
        QString content;
        if (!unescape(line, &content))
            broken(lineNumber, QStringLiteral("bad \"\\\" escape in \"%1\"").arg(shortened(line)));
        Alias &alias = aliases.last();
        if (driverPending) {
            if (!content.startsWith(DriverPrefix))
                broken(lineNumber, QStringLiteral("the first line of alias \"%1\" must be its "
                                                  "DRIVER= line").arg(alias.name));
            alias.driver = content.mid(DriverPrefix.size());
            if (alias.driver.isEmpty())
                broken(lineNumber, QStringLiteral("alias \"%1\" has an empty driver name").arg(alias.name));
            driverPending = false;
            continue;
        }
        const QString problem = lineProblem(content);
        if (!problem.isEmpty())
            broken(lineNumber, problem);
        const QString name = paramName(content);
        for (const QString &other : std::as_const(alias.params)) {
            if (paramName(other) == name)
                broken(lineNumber, QStringLiteral("parameter \"%1\" appears twice in alias \"%2\"")
                                       .arg(name, alias.name));
        }
        alias.params.append(content);
    }

    if (!ended)
        broken(lastLine, QStringLiteral("the file stops here without its END line, so it is incomplete"));
    return aliases;
}

QByteArray AliasStore::serialize() const
{
    QString out = Signature + QLatin1Char('\n');
    for (const Alias &alias : m_aliases) {
        out += QLatin1Char('\n');
        out += QLatin1Char('[') + escaped(alias.name) + QLatin1String("]\n");
        out += DriverPrefix + escaped(alias.driver) + QLatin1Char('\n');
        for (const QString &line : alias.params) {
            QString text = escaped(line);
            if (text.startsWith(QLatin1Char('[')))
                text.prepend(QLatin1Char('\\'));
            out += text + QLatin1Char('\n');
        }
    }
    out += EndLine + QLatin1Char('\n');
    return out.toUtf8();
}

void AliasStore::save() const
{
    if (m_path.isEmpty())
        fail(QStringLiteral("The alias store has no file to save to."));
    const QByteArray bytes = serialize();
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("Cannot save alias store file \"%1\": %2.").arg(m_path, file.errorString()));
    // commit() does not notice when flushing its buffer writes short (disk
    // full, file size limit) and would put a cut-off file in place, so flush
    // and check first. A QSaveFile that is not committed removes its
    // temporary file and leaves the old file alone.
    if (file.write(bytes) != bytes.size() || !file.flush())
        fail(QStringLiteral("Cannot save alias store file \"%1\": writing it failed (%2).")
                 .arg(m_path, file.errorString()));
    if (!file.commit())
        fail(QStringLiteral("Cannot save alias store file \"%1\": %2.").arg(m_path, file.errorString()));
}

int AliasStore::indexOf(const QString &name) const
{
    for (int i = 0; i < m_aliases.size(); ++i) {
        if (m_aliases.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const AliasStore::Alias &AliasStore::existing(const QString &name) const
{
    const int i = indexOf(name);
    if (i < 0)
        fail(QStringLiteral("Alias \"%1\" does not exist.").arg(name));
    return m_aliases.at(i);
}

QStringList AliasStore::aliasNames() const
{
    QStringList names;
    names.reserve(m_aliases.size());
    for (const Alias &alias : m_aliases)
        names.append(alias.name);
    return names;
}

bool AliasStore::hasAlias(const QString &name) const
{
    return indexOf(name) >= 0;
}

QString AliasStore::driverName(const QString &alias) const
{
    return existing(alias).driver;
}

QStringList AliasStore::params(const QString &alias) const
{
    return existing(alias).params;
}

void AliasStore::addAlias(const QString &name, const QString &driver, const QStringList &params)
{
    if (name.trimmed().isEmpty())
        fail(QStringLiteral("An alias needs a name."));
    if (hasAlias(name))
        fail(QStringLiteral("Alias \"%1\" already exists.").arg(name));
    if (driver.isEmpty())
        fail(QStringLiteral("Alias \"%1\" needs a driver name.").arg(name));
    checkParams(name, params);
    m_aliases.append({name, driver, params});
}

void AliasStore::modifyAlias(const QString &name, const QStringList &params)
{
    const int index = indexOf(name);
    if (index < 0)
        fail(QStringLiteral("Alias \"%1\" does not exist.").arg(name));
    checkParams(name, params);
    QStringList &stored = m_aliases[index].params;
    for (const QString &line : params) {
        const QString param = paramName(line);
        const auto it = std::find_if(stored.begin(), stored.end(), [&param](const QString &old) {
            return paramName(old) == param;
        });
        if (it == stored.end())
            stored.append(line);
        else
            *it = line;
    }
}

void AliasStore::deleteAlias(const QString &name)
{
    const int index = indexOf(name);
    if (index < 0)
        fail(QStringLiteral("Alias \"%1\" does not exist.").arg(name));
    m_aliases.removeAt(index);
}

QStringList AliasStore::defaultParams(const QString &driver)
{
    if (driver != InterBaseDriver)
        fail(QStringLiteral("Driver \"%1\" is unknown; only %2 has default parameters.")
                 .arg(driver, InterBaseDriver));
    return {
        QStringLiteral("SERVER NAME="),
        QStringLiteral("USER NAME="),
        QStringLiteral("OPEN MODE=READ/WRITE"),
        QStringLiteral("SCHEMA CACHE SIZE=8"),
        QStringLiteral("LANGDRIVER="),
        QStringLiteral("SQLQRYMODE="),
        QStringLiteral("SQLPASSTHRU MODE=SHARED AUTOCOMMIT"),
        QStringLiteral("SCHEMA CACHE TIME=-1"),
        QStringLiteral("MAX ROWS=-1"),
        QStringLiteral("BATCH COUNT=200"),
        QStringLiteral("ENABLE SCHEMA CACHE=FALSE"),
        QStringLiteral("SCHEMA CACHE DIR="),
        QStringLiteral("ENABLE BCD=FALSE"),
        QStringLiteral("BLOBS TO CACHE=64"),
        QStringLiteral("BLOB SIZE=32"),
        QStringLiteral("PASSWORD="),
    };
}

} // namespace engine
