#include "platform/Help.h"
#include "platform/Prompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using platform::HelpService;

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensTheContentsPage_data();
    void opensTheContentsPage();
    void withoutAPageNothingOpens();

private:
    void addPage(const QString &name) { QVERIFY(QFile(m_dir->filePath(name)).open(QIODevice::WriteOnly)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QUrl> m_opened;
    bool m_openSucceeds = true;
};

void TestHelp::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_opened.clear();
    m_openSucceeds = true;
    HelpService &help = HelpService::instance();
    help.clearRequests();
    help.setHelpFolder(m_dir->path());
    help.setOpener([this](const QUrl &url) {
        m_opened << url;
        return m_openSucceeds;
    });
}

void TestHelp::cleanup()
{
    HelpService::instance().setHelpFolder(QString());
    HelpService::instance().setOpener({});
}

void TestHelp::opensTheContentsPage_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QString>("helpFile");
    QTest::addColumn<QString>("expected");

    QTest::newRow("other case") << QStringList{"Marrowbyhelp.html"} << "marrowbyhelp.hlp" << "Marrowbyhelp.html";
    QTest::newRow("exact spelling wins") << QStringList{"MARROWBYHELP.html", "Marrowbyhelp.html"}
                                         << "Marrowbyhelp.hlp" << "Marrowbyhelp.html";
    QTest::newRow("htm, not another program's page") << QStringList{"Marrowbyhelp.html", "lorvane32.htm"}
                                                     << "lorvane32.hlp" << "lorvane32.htm";
}

void TestHelp::opensTheContentsPage()
{
    QFETCH(QStringList, pages);
    QFETCH(QString, helpFile);
    QFETCH(QString, expected);

    for (const QString &page : pages)
        addPage(page);
    const QString path = QDir(m_dir->path()).absoluteFilePath(expected);

    QVERIFY(HelpService::instance().showContents(helpFile, 3));
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    const QList<HelpService::Request> &log = HelpService::instance().requests();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log[0].helpFile, helpFile);
    QCOMPARE(log[0].command, QString("contents"));
    QCOMPARE(log[0].data, 3);
    QCOMPARE(log[0].page, path);
}

void TestHelp::withoutAPageNothingOpens()
{
    HelpService &help = HelpService::instance();
    addPage("Marrowbyhelp.txt");
    QVERIFY(!help.showContents("Marrowbyhelp.hlp"));
    QVERIFY(m_opened.isEmpty());

    // A page that the desktop fails to open is logged as not opened.
    addPage("lorvane32.html");
    m_openSucceeds = false;
    QVERIFY(!help.showContents("lorvane32.hlp"));
    QCOMPARE(m_opened.size(), 1);

    QCOMPARE(help.requests().size(), 2);
    QCOMPARE(help.requests()[0].helpFile, QString("Marrowbyhelp.hlp"));
    QVERIFY(help.requests()[0].page.isEmpty());
    QVERIFY(help.requests()[1].page.isEmpty());

    // A person's help command says why nothing opened.
    platform::ScriptedPrompter told;
    platform::ScopedPrompter installed(told);
    QVERIFY(!help.showContentsOrSay("Marrowbyhelp.hlp", 0, "Marrowby "));
    QVERIFY(!help.showContentsOrSay("lorvane32.hlp", 0, "LorvanePro"));
    QCOMPARE(told.texts(), QStringList({"Help is not installed: no page for Marrowbyhelp.hlp was found in "
                                            + QDir::toNativeSeparators(m_dir->path()) + ".",
                                        "The help page " + QDir::toNativeSeparators(m_dir->filePath("lorvane32.html"))
                                            + " could not be opened."}));
    QCOMPARE(told.calls()[0].caption, QString("Marrowby "));
}

QTEST_GUILESS_MAIN(TestHelp)
#include "tst_help.moc"
