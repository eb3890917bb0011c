#include "platform/Modal.h"
#include "platform/Prompter.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

using platform::Prompter;
using platform::QtPrompter;
using platform::ScopedPrompter;
using platform::ScriptedPrompter;
using Answer = Prompter::Answer;
using Buttons = Prompter::Buttons;
using Icon = Prompter::Icon;
using Kind = ScriptedPrompter::Kind;

namespace {

// Runs action on the next modal dialog, which the code under test opens
// right after this call.
void whenModal(std::function<void(QWidget *)> action)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [action, poll] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            action(dialog);
            *poll = nullptr;  // drops the self-reference
        } else {
            QTimer::singleShot(10, *poll);
        }
    };
    QTimer::singleShot(0, *poll);
}

} // namespace

class TestPrompter : public QObject {
    Q_OBJECT

private slots:
    void scriptAnswersInOrderAndRecords();
    void noAnswerLeft();
    void answerThatDoesNotFit();
    void installAndRestore();
    void qtConfirm_data();
    void qtConfirm();
    void qtInputBox_data();
    void qtInputBox();
    void qtFilter_data();
    void qtFilter();

    void dialogStaysUsableWhenItsWindowTurnsBusy();
    void hookIsHandedOnlyUsableDialogs_data();
    void hookIsHandedOnlyUsableDialogs();
};

void TestPrompter::scriptAnswersInOrderAndRecords()
{
    ScriptedPrompter p;
    const QFont chosen("Courier", 12);
    p.answer(Answer::Yes).answerText("").cancelText().answerFile("/tmp/out.txt").cancelFile()
        .answerFont(chosen).answer(Answer::Cancel);

    QCOMPARE(p.confirm("Confirm", "Drop now?", Buttons::YesNo, Icon::Question), Answer::Yes);
    p.message(Icon::Error, "Error", "You must check one of the options");  // takes no answer
    QCOMPARE(p.inputText("IB Server Manager", "Enter full path to the IB Server Manager", "ibmgr32.exe"),
             std::optional<QString>(QString()));  // OK with empty text is not Cancel
    QCOMPARE(p.inputText("IB Server security database", "Enter the full path to isc4.gdb", ""),
             std::nullopt);
    QCOMPARE(p.saveFileName("", "Text|*.txt|All|*.*", "unknown.txt"), std::optional<QString>("/tmp/out.txt"));
    QCOMPARE(p.openFileName("", "TXT files|*.txt|All files|*.*", ""), std::nullopt);
    QCOMPARE(p.selectFont(QFont("Sans", 8)), std::optional<QFont>(chosen));
    QCOMPARE(p.confirm("Confirm", "Save changes?", Buttons::YesNoCancel, Icon::Question), Answer::Cancel);

    QVERIFY2(p.problems().isEmpty(), qPrintable(p.problems().join('\n')));
    QCOMPARE(p.texts(), QStringList({"Drop now?", "You must check one of the options",
                                     "Enter full path to the IB Server Manager",
                                     "Enter the full path to isc4.gdb", "", "", "", "Save changes?"}));
    const QList<ScriptedPrompter::Call> &calls = p.calls();
    QCOMPARE(calls[1].kind, Kind::Message);
    QCOMPARE(calls[1].icon, Icon::Error);
    QCOMPARE(calls[2].caption, QString("IB Server Manager"));
    QCOMPARE(calls[2].defaultValue, QString("ibmgr32.exe"));
    QCOMPARE(calls[4].kind, Kind::SaveFile);
    QCOMPARE(calls[4].filter, QString("Text|*.txt|All|*.*"));
    QCOMPARE(calls[4].defaultValue, QString("unknown.txt"));
    QCOMPARE(calls[5].kind, Kind::OpenFile);
    QCOMPARE(calls[6].font.family(), QString("Sans"));
    QCOMPARE(calls[7].buttons, Buttons::YesNoCancel);
}

void TestPrompter::noAnswerLeft()
{
    ScriptedPrompter p;
    QTest::ignoreMessage(QtWarningMsg, "ScriptedPrompter: confirmation \"Confirm\": \"Exit now?\" asked with no answer left");
    QCOMPARE(p.confirm("Confirm", "Exit now?", Buttons::YesNo, Icon::Question), Answer::No);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^ScriptedPrompter: "));
    QCOMPARE(p.confirm("Confirm", "Save changes?", Buttons::YesNoCancel, Icon::Question), Answer::Cancel);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^ScriptedPrompter: "));
    QCOMPARE(p.inputText("Lorvane32Pro", "Enter full path to the Lorvane32Pro", "x"), std::nullopt);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^ScriptedPrompter: "));
    QCOMPARE(p.selectFont(QFont()), std::nullopt);

    QCOMPARE(p.problems().size(), 4);
    QCOMPARE(p.problems()[2], QString("input box \"Lorvane32Pro\": \"Enter full path to the Lorvane32Pro\" "
                                      "asked with no answer left"));
    QCOMPARE(p.calls().size(), 4);
    for (const ScriptedPrompter::Call &call : p.calls())
        QVERIFY(!call.answered);
}

void TestPrompter::answerThatDoesNotFit()
{
    ScriptedPrompter p;
    p.answerText("typed").answer(Answer::Cancel).answerFile("/never/asked");

    // An answer of another kind stays for the box it was meant for.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("another kind of answer next"));
    QCOMPARE(p.confirm("Confirm", "Erase now?", Buttons::YesNo, Icon::Question), Answer::No);
    QCOMPARE(p.inputText("c", "p", ""), std::optional<QString>("typed"));
    // A button the box does not have.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("has no Cancel button"));
    QCOMPARE(p.confirm("Error", "Wrong path entered. Please repeat", Buttons::OkNo, Icon::Error), Answer::No);

    QCOMPARE(p.problems(), QStringList({"confirmation \"Confirm\": \"Erase now?\" asked with another kind of answer next",
                                        "confirmation \"Error\": \"Wrong path entered. Please repeat\" has no Cancel button",
                                        "1 scripted answer(s) never asked for"}));
    QVERIFY(!p.calls()[0].answered);
    QVERIFY(p.calls()[1].answered);
    QVERIFY(!p.calls()[2].answered);

    p.clear();
    QVERIFY(p.calls().isEmpty());
    QVERIFY(p.problems().isEmpty());
}

void TestPrompter::installAndRestore()
{
    QVERIFY(dynamic_cast<QtPrompter *>(&Prompter::instance()));
    ScriptedPrompter outer, inner;
    {
        ScopedPrompter useOuter(outer);
        {
            ScopedPrompter useInner(inner);
            Prompter::instance().message(Icon::Warning, "w", "to inner");
        }
        QCOMPARE(&Prompter::instance(), static_cast<Prompter *>(&outer));
    }
    QVERIFY(dynamic_cast<QtPrompter *>(&Prompter::instance()));
    QCOMPARE(inner.texts(), QStringList("to inner"));
    QVERIFY(outer.calls().isEmpty());
}

void TestPrompter::qtConfirm_data()
{
    QTest::addColumn<Prompter::Buttons>("buttons");
    QTest::addColumn<int>("press");  // a QMessageBox::StandardButton, or 0 for Escape
    QTest::addColumn<Prompter::Answer>("expected");

    QTest::newRow("yes") << Buttons::YesNo << int(QMessageBox::Yes) << Answer::Yes;
    QTest::newRow("escape on yes/no") << Buttons::YesNo << 0 << Answer::No;
    QTest::newRow("no of three") << Buttons::YesNoCancel << int(QMessageBox::No) << Answer::No;
    QTest::newRow("escape on yes/no/cancel") << Buttons::YesNoCancel << 0 << Answer::Cancel;
    QTest::newRow("ok") << Buttons::OkNo << int(QMessageBox::Ok) << Answer::Ok;
    QTest::newRow("escape on ok/no") << Buttons::OkNo << 0 << Answer::No;
}

void TestPrompter::qtConfirm()
{
    QFETCH(Prompter::Buttons, buttons);
    QFETCH(int, press);
    QFETCH(Prompter::Answer, expected);

    QString seen;
    whenModal([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        seen = box->windowTitle() + '|' + box->text() + '|' + QString::number(box->buttons().size());
        if (press == 0)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(QMessageBox::StandardButton(press))->click();
    });
    QCOMPARE(QtPrompter().confirm("Confirm", "Save changes?", buttons, Icon::Question), expected);
    QCOMPARE(seen, QString("Confirm|Save changes?|%1").arg(buttons == Buttons::YesNoCancel ? 3 : 2));
}

void TestPrompter::qtInputBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<std::optional<QString>>("expected");

    QTest::newRow("ok with text") << "/usr/bin/lorvane32" << true << std::optional<QString>("/usr/bin/lorvane32");
    QTest::newRow("ok with empty text") << "" << true << std::optional<QString>(QString());
    QTest::newRow("cancel") << "/usr/bin/lorvane32" << false << std::optional<QString>();
}

void TestPrompter::qtInputBox()
{
    QFETCH(QString, typed);
    QFETCH(bool, accept);
    QFETCH(std::optional<QString>, expected);

    QString seen;
    whenModal([&](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        QLineEdit *edit = input->findChild<QLineEdit *>();
        seen = input->windowTitle() + '|' + input->labelText() + '|' + edit->text();
        edit->setText(typed);
        accept ? input->accept() : input->reject();
    });
    QCOMPARE(QtPrompter().inputText("Lorvane32Pro", "Enter full path to the Lorvane32Pro", "lorvane32 "),
             expected);
    QCOMPARE(seen, QString("Lorvane32Pro|Enter full path to the Lorvane32Pro|lorvane32 "));
}

void TestPrompter::qtFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("two pairs") << "TXT files|*.txt|All files|*.*" << "TXT files (*.txt);;All files (*.*)";
    QTest::newRow("several patterns") << "SQL|*.sql;*.txt" << "SQL (*.sql *.txt)";
    QTest::newRow("already Qt form") << "Text (*.txt)" << "Text (*.txt)";
}

void TestPrompter::qtFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(QtPrompter::qtFilter(filter), expected);
}

void TestPrompter::dialogStaysUsableWhenItsWindowTurnsBusy()
{
    QMainWindow window;
    QDialog dialog(&window);
    auto *ok = new QPushButton("OK", &dialog);
    platform::keepUsable(dialog);
    dialog.show();
    window.setEnabled(false);
    QVERIFY(dialog.isEnabled());
    QVERIFY(ok->isEnabled());
    // Disabled on purpose, it stays so, and comes back with its window.
    dialog.setEnabled(false);
    window.setEnabled(true);
    QVERIFY(!dialog.isEnabled());
    dialog.setEnabled(true);
    QVERIFY(ok->isEnabled());
}

void TestPrompter::hookIsHandedOnlyUsableDialogs_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("under a busy window") << "busy window" << "";
    QTest::newRow("disabled itself") << "disabled" << "dialog \"Launch dialog\" (FmLaunch) is disabled";
    QTest::newRow("default button disabled")
        << "default disabled" << "default button \"OK\" of dialog \"Launch dialog\" (FmLaunch) is disabled";
}

void TestPrompter::hookIsHandedOnlyUsableDialogs()
{
    QFETCH(QString, state);
    QFETCH(QString, refusal);
    QMainWindow window;
    QDialog dialog(&window);
    dialog.setObjectName("FmLaunch");
    dialog.setWindowTitle("Launch dialog");
    auto *ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    window.setEnabled(false);
    if (state == "disabled")
        dialog.setEnabled(false);
    if (state == "default disabled")
        ok->setEnabled(false);

    QStringList refused;
    const platform::RefusalReport report = platform::setRefusalReport([&](const QString &why) { refused << why; });
    int handed = 0;
    const platform::ModalHook hook = platform::setModalHook([&](QDialog &) { return ++handed, int(QDialog::Accepted); });
    const int result = platform::execModal(dialog);
    platform::setModalHook(hook);
    platform::setRefusalReport(report);

    QCOMPARE(refused, refusal.isEmpty() ? QStringList() : QStringList{refusal});
    QCOMPARE(handed, refusal.isEmpty() ? 1 : 0);
    QCOMPARE(result, int(refusal.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
}

QTEST_MAIN(TestPrompter)
#include "tst_prompter.moc"
