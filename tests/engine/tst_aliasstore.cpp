#include "engine/AliasStore.h"
#include "engine/Error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using engine::AliasStore;

namespace {

const QString Ib = QStringLiteral("INTRBASE");

const QByteArray GoodFile = "DUNMOOR ALIASES 1\n"
                            "\n"
                            "[First One]\n"
                            "DRIVER=INTRBASE\n"
                            "SERVER NAME=/db/one.fdb\n"
                            "USER NAME=SYSDBA\n"
                            "\n"
                            "[SECOND]\n"
                            "DRIVER=INTRBASE\n"
                            "SERVER NAME=localhost/3050:/db/two.fdb\n"
                            "END\n";

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Everything the store holds, to show that a failed call changed nothing.
QStringList contents(const AliasStore &store)
{
    QStringList out;
    for (const QString &name : store.aliasNames())
        out << QLatin1Char('[') + name + QLatin1Char(']') << store.driverName(name) << store.params(name);
    return out;
}

// The message of the configuration error that f raises; a marker when it
// raises none or one of another category.
template <typename F>
QString configError(F f)
{
    try {
        f();
    } catch (const engine::Error &e) {
        return e.category() == engine::ErrorCategory::Configuration ? e.message()
                                                                      : "wrong category: " + e.message();
    }
    return QStringLiteral("<nothing raised>");
}

// Makes writes beyond a few bytes fail even for root, who can write into any
// folder. SIGXFSZ is ignored so the write returns an error instead.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestAliasStore : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    AliasStore loaded(const QString &file, const QByteArray &bytes)
    {
        writeBytes(path(file), bytes);
        AliasStore store;
        store.load(path(file));
        return store;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("params");
        QTest::newRow("blanks") << "  My Data Base  "
                                << QStringList{"SERVER NAME=  /db/emp.fdb  ", "USER NAME=SYSDBA", "PASSWORD= "};
        QTest::newRow("equals in values") << "x" << QStringList{"SERVER NAME=/db/a=b.fdb", "SQLQRYMODE==x=="};
        QTest::newRow("escapes") << "a\\b\nc"
                                 << QStringList{"SERVER NAME=C:\\DB\\X.GDB", "NOTE=two\nlines\r\n", "T=ends in \\"};
        QTest::newRow("file structure look-alikes")
            << "[odd]]" << QStringList{"[SECTION]=x", "END=", "DRIVER=OTHER", "DUNMOOR ALIASES 1=1"};
        QTest::newRow("non-ASCII") << "Bücher ДБ" << QStringList{"SERVER NAME=/tmp/bäume.fdb"};
        QTest::newRow("no parameters") << "empty" << QStringList{};
    }
    void roundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, params);
        AliasStore store = loaded("roundtrip.txt", "DUNMOOR ALIASES 1\nEND\n");
        store.addAlias("Before", Ib, {"SERVER NAME=/db/b.fdb"});
        store.addAlias(name, Ib, params);
        store.addAlias("After", "OTHER DRIVER", {});
        store.save();

        AliasStore again;
        again.load(path("roundtrip.txt"));
        QCOMPARE(again.aliasNames(), QStringList({"Before", name, "After"}));
        QCOMPARE(again.driverName(name), Ib);
        QCOMPARE(again.params(name), params);
        QCOMPARE(again.driverName("After"), QStringLiteral("OTHER DRIVER"));

        const QByteArray first = readBytes(path("roundtrip.txt"));
        again.save();
        QCOMPARE(readBytes(path("roundtrip.txt")), first);
    }

    void readsHandWrittenFile()
    {
        QByteArray crlf = GoodFile;
        crlf.replace("\n", "\r\n").replace("\r\n\r\n", "\r\n   \r\n");
        const AliasStore store = loaded("crlf.txt", crlf);
        QCOMPARE(store.aliasNames(), QStringList({"First One", "SECOND"}));
        QCOMPARE(store.params("first one"), QStringList({"SERVER NAME=/db/one.fdb", "USER NAME=SYSDBA"}));
        QCOMPARE(store.params("SECOND"), QStringList({"SERVER NAME=localhost/3050:/db/two.fdb"}));

        QVERIFY(loaded("none.txt", "DUNMOOR ALIASES 1\nEND\n").aliasNames().isEmpty());
    }

    void modifyAlias_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("expected");
        // stored: SERVER NAME, USER NAME, SQLPASSTHRU MODE=NOT SHARED, LANGDRIVER=ancyrr
        QTest::newRow("full list reads back as given")
            << QStringList{"SERVER NAME=/db/x.fdb", "USER NAME=SYSDBA", "SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT", "LANGDRIVER="}
            << QStringList{"SERVER NAME=/db/x.fdb", "USER NAME=SYSDBA", "SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT", "LANGDRIVER="};
        QTest::newRow("only named lines change, in place")
            << QStringList{"USER NAME= admin = root "}
            << QStringList{"SERVER NAME=/db/x.fdb", "USER NAME= admin = root ", "SQLPASSTHRU MODE=NOT SHARED", "LANGDRIVER=ancyrr"};
        QTest::newRow("new names appended")
            << QStringList{"PASSWORD=masterkey", "LANGDRIVER=x"}
            << QStringList{"SERVER NAME=/db/x.fdb", "USER NAME=SYSDBA", "SQLPASSTHRU MODE=NOT SHARED", "LANGDRIVER=x", "PASSWORD=masterkey"};
        QTest::newRow("names match exactly")
            << QStringList{"user name=x"}
            << QStringList{"SERVER NAME=/db/x.fdb", "USER NAME=SYSDBA", "SQLPASSTHRU MODE=NOT SHARED", "LANGDRIVER=ancyrr", "user name=x"};
    }
    void modifyAlias()
    {
        QFETCH(QStringList, given);
        QFETCH(QStringList, expected);
        AliasStore store = loaded("modify.txt", GoodFile);
        store.addAlias("Debug DB", Ib, {"SERVER NAME=/db/x.fdb", "USER NAME=SYSDBA", "SQLPASSTHRU MODE=NOT SHARED", "LANGDRIVER=ancyrr"});
        store.modifyAlias("DEBUG db", given);
        QCOMPARE(store.params("Debug DB"), expected);
        // Changes live in memory until saved.
        QCOMPARE(readBytes(path("modify.txt")), GoodFile);
    }

    void addDeleteAndSave()
    {
        AliasStore store = loaded("edit.txt", GoodFile);
        store.deleteAlias("first one");
        store.addAlias("First One", Ib, {"SERVER NAME=/db/new.fdb"});
        store.addAlias("Third", Ib, AliasStore::defaultParams(Ib));
        QVERIFY(store.hasAlias("THIRD") && !store.hasAlias("Thir"));
        store.save();

        AliasStore again;
        again.load(path("edit.txt"));
        QCOMPARE(again.aliasNames(), QStringList({"SECOND", "First One", "Third"}));
        QCOMPARE(again.params("First One"), QStringList{"SERVER NAME=/db/new.fdb"});
        QCOMPARE(again.params("Third"), AliasStore::defaultParams(Ib));
    }

    void rejectedCalls_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("message");
        const QStringList none;
        QTest::newRow("driver of unknown") << "driver" << "First" << "" << none << "Alias \"First\" does not exist.";
        QTest::newRow("defaults of unknown driver")
            << "defaults" << "" << "DBASE" << none << "Driver \"DBASE\" is unknown; only INTRBASE has default parameters.";
        QTest::newRow("modify unknown") << "modify" << "NOPE" << "" << none << "Alias \"NOPE\" does not exist.";
        QTest::newRow("delete unknown") << "delete" << "NOPE" << "" << none << "Alias \"NOPE\" does not exist.";
        QTest::newRow("add duplicate") << "add" << "second" << Ib << none << "Alias \"second\" already exists.";
        QTest::newRow("add empty name") << "add" << "" << Ib << none << "An alias needs a name.";
        QTest::newRow("add blank name") << "add" << "  " << Ib << none << "An alias needs a name.";
        QTest::newRow("add empty driver") << "add" << "New" << "" << none << "Alias \"New\" needs a driver name.";
        QTest::newRow("add line without =")
            << "add" << "New" << Ib << QStringList{"SERVER NAME=/x", "USER NAME"}
            << "Alias \"New\": parameter line \"USER NAME\" has no \"=\".";
        QTest::newRow("add line without name")
            << "add" << "New" << Ib << QStringList{" =x"} << "Alias \"New\": parameter line \" =x\" has no parameter name.";
        QTest::newRow("add name twice")
            << "add" << "New" << Ib << QStringList{"A=1", "B=2", "A=3"} << "Alias \"New\": parameter \"A\" is given twice.";
        // The good first line must not be applied either.
        QTest::newRow("modify with bad line")
            << "modify" << "SECOND" << "" << QStringList{"SERVER NAME=/changed", "broken"}
            << "Alias \"SECOND\": parameter line \"broken\" has no \"=\".";
    }
    void rejectedCalls()
    {
        QFETCH(QString, operation);
        QFETCH(QString, name);
        QFETCH(QString, driver);
        QFETCH(QStringList, params);
        QFETCH(QString, message);
        AliasStore store = loaded("rejected.txt", GoodFile);
        const QStringList before = contents(store);
        QCOMPARE(configError([&] {
                     if (operation == "driver")
                         store.driverName(name);
                     else if (operation == "defaults")
                         AliasStore::defaultParams(driver);
                     else if (operation == "modify")
                         store.modifyAlias(name, params);
                     else if (operation == "delete")
                         store.deleteAlias(name);
                     else
                         store.addAlias(name, driver, params);
                 }),
                 message);
        QCOMPARE(contents(store), before);
    }

    void brokenFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray sig = "DUNMOOR ALIASES 1\n";
        QTest::newRow("empty file") << QByteArray() << "line 1: this is not an alias store file";
        QTest::newRow("binary garbage") << QByteArray("\x7f" "ELF\x02\x01\x01\x00\xff\xfe", 10) << "not UTF-8 text";
        QTest::newRow("missing section header")
            << sig + "SERVER NAME=/x\nEND\n" << "line 2: \"SERVER NAME=/x\" stands before the first [alias name] header";
        QTest::newRow("garbage line")
            << sig + "[A]\nDRIVER=INTRBASE\nSERVER NAME=/x\n%%% garbage %%%\nEND\n"
            << "line 5: parameter line \"%%% garbage %%%\" has no \"=\"";
        QTest::newRow("header not closed") << sig + "[A\nDRIVER=INTRBASE\nEND\n" << "line 2: the section header \"[A\" does not end";
        QTest::newRow("header without name") << sig + "[ ]\nDRIVER=INTRBASE\nEND\n" << "line 2: the section header has no alias name";
        QTest::newRow("no DRIVER line")
            << sig + "[A]\nSERVER NAME=/x\nEND\n" << "line 3: the first line of alias \"A\" must be its DRIVER= line";
        QTest::newRow("empty driver") << sig + "[A]\nDRIVER=\nEND\n" << "line 3: alias \"A\" has an empty driver name";
        QTest::newRow("alias twice")
            << sig + "[A]\nDRIVER=INTRBASE\n[a]\nDRIVER=INTRBASE\nEND\n" << "line 4: alias \"a\" appears twice";
        QTest::newRow("parameter twice")
            << sig + "[A]\nDRIVER=INTRBASE\nX=1\nX=2\nEND\n" << "line 5: parameter \"X\" appears twice in alias \"A\"";
        QTest::newRow("bad escape") << sig + "[A]\nDRIVER=INTRBASE\nSERVER NAME=C:\\DB\nEND\n" << "line 4: bad \"\\\" escape";
        QTest::newRow("not UTF-8") << sig + "[A\xff]\nDRIVER=INTRBASE\nEND\n" << "not UTF-8 text";
        QTest::newRow("text after END") << sig + "END\n[A]\nDRIVER=INTRBASE\n" << "line 3: text after the END line";
        QTest::newRow("cut before END") << GoodFile.left(GoodFile.size() - 4) << "line 10: the file stops here without its END line";
        QTest::newRow("cut inside a line") << GoodFile.left(GoodFile.indexOf("NAME=localhost")) << "line 10: parameter line \"SERVER \" has no \"=\"";
        QTest::newRow("cut after a header") << GoodFile.left(GoodFile.indexOf("DRIVER=INTRBASE\nSERVER NAME=localhost"))
                                            << "line 8: the file stops here";
    }
    void brokenFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        AliasStore store = loaded("good.txt", GoodFile);
        const QStringList before = contents(store);
        writeBytes(path("broken.txt"), bytes);

        const QString error = configError([&] { store.load(path("broken.txt")); });
        QVERIFY2(error.startsWith(QStringLiteral("Alias store file \"%1\" is broken").arg(path("broken.txt"))), qPrintable(error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(contents(store), before);
        QCOMPARE(store.filePath(), path("good.txt"));

        // Saving afterwards writes the file the store came from, not the broken one;
        // a store that never loaded has nowhere to save.
        store.save();
        AliasStore fresh;
        QCOMPARE(configError([&] { fresh.load(path("broken.txt")); }), error);
        QCOMPARE(configError([&] { fresh.save(); }), QStringLiteral("The alias store has no file to save to."));
        QCOMPARE(readBytes(path("broken.txt")), bytes);
    }

    void unreadableFile()
    {
        AliasStore store = loaded("good.txt", GoodFile);
        const QStringList before = contents(store);
        const QString missing = path("missing.txt");
        QCOMPARE(configError([&] { store.load(missing); }),
                 QStringLiteral("Alias store file \"%1\" does not exist.").arg(missing));
        QVERIFY(QDir(m_dir.path()).mkpath("folder"));
        QVERIFY(configError([&] { store.load(path("folder")); }).startsWith("Cannot read alias store file"));
        QCOMPARE(contents(store), before);
        QCOMPARE(store.filePath(), path("good.txt"));
        QVERIFY(!QFile::exists(missing));
    }

    void openOrCreateDefault()
    {
        const QString file = path("first/use/aliases.txt");
        AliasStore created = AliasStore::openOrCreateDefault(file, "/data/sample.fdb");
        QStringList expected = AliasStore::defaultParams(Ib);
        expected[0] = "SERVER NAME=/data/sample.fdb";
        expected[1] = "USER NAME=SYSDBA";
        QCOMPARE(created.aliasNames(), QStringList{"SAMPLE"});
        QCOMPARE(created.driverName("SAMPLE"), Ib);
        QCOMPARE(created.params("SAMPLE"), expected);
        QCOMPARE(created.filePath(), file);
        QCOMPARE(AliasStore::openOrCreateDefault(file, "/other.fdb").params("SAMPLE"), expected);

        // "USER NAME" must stay the second line: the alias dialog reads it there.
        QCOMPARE(created.params("SAMPLE").value(1), QStringLiteral("USER NAME=SYSDBA"));

        // The user's own aliases, without SAMPLE, are what a later start finds.
        created.deleteAlias("SAMPLE");
        created.addAlias("Mine", Ib, {"SERVER NAME=/data/mine.fdb"});
        created.save();
        QCOMPARE(AliasStore::openOrCreateDefault(file, "/data/sample.fdb").aliasNames(), QStringList{"Mine"});

        writeBytes(file, "DUNMOOR ALIASES 1\n[Mine]\n");
        QVERIFY(configError([&] { AliasStore::openOrCreateDefault(file, "/data/sample.fdb"); }).contains("is broken"));
        QCOMPARE(readBytes(file), QByteArray("DUNMOOR ALIASES 1\n[Mine]\n"));

        const QString blocked = path("good.txt/aliases.txt");  // a folder that is a file
        writeBytes(path("good.txt"), GoodFile);
        QVERIFY(configError([&] { AliasStore::openOrCreateDefault(blocked, "/x.fdb"); }).startsWith("Cannot create the folder"));
    }

    void failedSaveKeepsFile()
    {
        QVERIFY(QDir(m_dir.path()).mkpath("save"));
        const QString file = path("save/aliases.txt");
        AliasStore store = loaded("save/aliases.txt", GoodFile);
        store.addAlias("Large", Ib, {"SERVER NAME=" + QString(4096, 'x')});
        const QStringList before = contents(store);
        {
            FileSizeLimit limit(1024);
            QVERIFY(configError([&] { store.save(); }).startsWith(QStringLiteral("Cannot save alias store file \"%1\"").arg(file)));
        }
        QCOMPARE(readBytes(file), GoodFile);
        QCOMPARE(QDir(path("save")).entryList(QDir::Files | QDir::Hidden), QStringList{"aliases.txt"});
        QCOMPARE(contents(store), before);

        // The folder replaced by a file: nothing can be written there.
        QVERIFY(QDir(path("save")).removeRecursively());
        writeBytes(path("save"), "not a folder");
        QVERIFY(configError([&] { store.save(); }).startsWith("Cannot save alias store file"));
        QCOMPARE(readBytes(path("save")), QByteArray("not a folder"));
        QVERIFY(QFile::remove(path("save")));
    }
};

QTEST_GUILESS_MAIN(TestAliasStore)
#include "tst_aliasstore.moc"
