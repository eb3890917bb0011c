#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using platform::Settings;

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void init() { m_root = std::make_unique<QTemporaryDir>(); }

    void whereTheFileLives();
    void textRoundTrip_data();
    void textRoundTrip();
    void numbersFlagsAndDefaults();
    void unreadableFileGivesDefaults_data();
    void unreadableFileGivesDefaults();
    void sectionsAndKeys();

private:
    Settings workbench() const { return Settings(Settings::WorkbenchKey, m_root->path()); }
    void writeFile(const QByteArray &content);
    std::unique_ptr<QTemporaryDir> m_root;
};

void TestSettings::writeFile(const QByteArray &content)
{
    const QString path = workbench().filePath();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void TestSettings::whereTheFileLives()
{
    QCOMPARE(workbench().filePath(), m_root->path() + "/SOFTWARE/Dunmoor/MarrowbyPro/1.07.0.ini");
    QVERIFY(workbench().writeString("lorvane", "lorvane", "x"));
    QVERIFY(QFile::exists(workbench().filePath()));

    // The other program's key is a file of its own.
    const Settings other(Settings::PrivilegeManagerKey, m_root->path());
    QCOMPARE(other.readString("lorvane", "lorvane", "none"), QString("none"));

    const QByteArray saved = qgetenv("DUNMOOR_SETTINGS_ROOT");
    qputenv("DUNMOOR_SETTINGS_ROOT", "/from/env");
    const QString fromEnv = Settings(Settings::PrivilegeManagerKey).filePath();
    if (saved.isNull())
        qunsetenv("DUNMOOR_SETTINGS_ROOT");
    else
        qputenv("DUNMOOR_SETTINGS_ROOT", saved);
    QCOMPARE(fromEnv, QString("/from/env/SOFTWARE/Dunmoor/Lorvane32Pro/1.04.0.ini"));
}

void TestSettings::textRoundTrip_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");

    QTest::newRow("prefix with its blank") << "lorvane" << "lorvane" << "/opt/Lorvane32Pro/lorvane32 ";
    QTest::newRow("blanks everywhere") << " my section " << " USER NAME " << "  two  blanks  ";
    QTest::newRow("empty value") << "server" << "isc4" << "";
    QTest::newRow("list-like text") << "font" << "name" << "a, b,c";
    QTest::newRow("quotes and escapes") << "q" << "v" << "say \"hi\" \\n @at";
    QTest::newRow("ini syntax in names") << "a=b [c]" << "k=1;#x" << "=;#[]";
    QTest::newRow("line breaks") << "m" << "lines" << "one\r\ntwo\tthree";
    QTest::newRow("non-ASCII") << "Schrift" << "Größe" << "Grüße ½";
    QTest::newRow("section called General") << "General" << "x" << "C:\\IB\\ibmgr32.exe";
}

void TestSettings::textRoundTrip()
{
    QFETCH(QString, section);
    QFETCH(QString, name);
    QFETCH(QString, value);

    QVERIFY(workbench().writeString(section, name, value));
    QCOMPARE(workbench().readString(section, name, "default"), value);
    QVERIFY(workbench().sectionExists(section));
}

void TestSettings::numbersFlagsAndDefaults()
{
    Settings settings = workbench();
    QCOMPARE(settings.readString("font", "name", "none"), QString("none"));  // no file yet
    QCOMPARE(settings.readInteger("font", "size", 8), 8);
    QCOMPARE(settings.readBool("toolbars", "toolbar", true), true);

    const int windowTextColour = int(0x80000008u);
    QVERIFY(settings.writeInteger("font", "color", windowTextColour));
    QVERIFY(settings.writeBool("font", "bold", true));
    QVERIFY(settings.writeBool("toolbars", "toolbar", false));
    QVERIFY(settings.writeInteger("CurFont", "Style", 5));

    const Settings reopened = workbench();
    QCOMPARE(reopened.readInteger("font", "color", 0), windowTextColour);
    QCOMPARE(reopened.readBool("font", "bold", false), true);
    QCOMPARE(reopened.readBool("toolbars", "toolbar", true), false);
    QCOMPARE(reopened.readBool("CurFont", "Style", false), true);  // any non-zero
    QCOMPARE(reopened.readString("font", "bold", ""), QString("1"));
    QCOMPARE(reopened.readInteger("font", "size", 8), 8);  // missing beside others
    QCOMPARE(reopened.readBool("server", "manager", true), true);
}

void TestSettings::unreadableFileGivesDefaults_data()
{
    QTest::addColumn<QByteArray>("content");
    static const char garbage[] = "\x00\xff\xfe[[[font\nsize\x01=\x02\n\x00\x00" "bold";

    QTest::newRow("text where numbers belong") << QByteArray("[font]\nsize=big\nbold=yes\nname=a, b\n");
    QTest::newRow("number out of range") << QByteArray("[font]\nsize=99999999999\nbold=99999999999\n");
    QTest::newRow("binary garbage") << QByteArray::fromRawData(garbage, sizeof garbage - 1);
}

void TestSettings::unreadableFileGivesDefaults()
{
    QFETCH(QByteArray, content);
    writeFile(content);

    Settings settings = workbench();
    QCOMPARE(settings.readInteger("font", "size", 8), 8);
    QCOMPARE(settings.readBool("font", "bold", false), false);
    QCOMPARE(settings.readBool("font", "bold", true), true);
    QCOMPARE(settings.readString("font", "name", "none"), QString("none"));

    // Writing replaces the broken file with one that reads back.
    QVERIFY(settings.writeString("lorvane", "lorvane", "/usr/bin/lorvane32 "));
    QCOMPARE(workbench().readString("lorvane", "lorvane", ""), QString("/usr/bin/lorvane32 "));
}

void TestSettings::sectionsAndKeys()
{
    Settings settings = workbench();
    QVERIFY(settings.writeString("font", "name", "Sans"));
    QVERIFY(settings.writeInteger("font", "size", 10));
    QVERIFY(settings.writeBool("toolbars", "statusbar", false));

    QVERIFY(settings.deleteKey("font", "name"));
    QCOMPARE(workbench().readString("font", "name", "none"), QString("none"));
    QCOMPARE(workbench().readInteger("font", "size", 8), 10);

    // An empty name or section must not wipe a whole section or the file.
    QVERIFY(!settings.deleteKey("font", ""));
    QVERIFY(!settings.eraseSection(""));
    QVERIFY(workbench().sectionExists("font"));

    QVERIFY(settings.eraseSection("font"));
    QVERIFY(!workbench().sectionExists("font"));
    QCOMPARE(workbench().readBool("toolbars", "statusbar", true), false);

    // A folder where the file should be: reads give defaults, writes report failure.
    Settings blocked(Settings::WorkbenchKey, m_root->filePath("blocked"));
    QVERIFY(QDir().mkpath(blocked.filePath()));
    QCOMPARE(blocked.readString("font", "name", "none"), QString("none"));
    QVERIFY(!blocked.writeInteger("font", "size", 9));
    QVERIFY(!blocked.sectionExists("lorvane"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
