#include "platform/Prompter.h"

#include "platform/Modal.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QtGlobal>
#include <memory>

namespace platform {

// ---------------------------------------------------------------- current one

namespace {

Prompter *g_current = nullptr;

QMessageBox::Icon boxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information: return QMessageBox::Information;
    case Prompter::Icon::Warning: return QMessageBox::Warning;
    case Prompter::Icon::Error: return QMessageBox::Critical;
    case Prompter::Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

Prompter::Answer negativeAnswer(Prompter::Buttons buttons)
{
    return buttons == Prompter::Buttons::YesNoCancel ? Prompter::Answer::Cancel
                                                     : Prompter::Answer::No;
}

bool offers(Prompter::Buttons buttons, Prompter::Answer answer)
{
    using A = Prompter::Answer;
    switch (buttons) {
    case Prompter::Buttons::YesNo: return answer == A::Yes || answer == A::No;
    case Prompter::Buttons::YesNoCancel: return answer != A::Ok;
    case Prompter::Buttons::OkNo: return answer == A::Ok || answer == A::No;
    }
    return false;
}

QString answerName(Prompter::Answer answer)
{
    switch (answer) {
    case Prompter::Answer::Yes: return QStringLiteral("Yes");
    case Prompter::Answer::No: return QStringLiteral("No");
    case Prompter::Answer::Cancel: return QStringLiteral("Cancel");
    case Prompter::Answer::Ok: return QStringLiteral("OK");
    }
    return QString();
}

QString kindName(ScriptedPrompter::Kind kind)
{
    switch (kind) {
    case ScriptedPrompter::Kind::Confirm: return QStringLiteral("confirmation");
    case ScriptedPrompter::Kind::Message: return QStringLiteral("message");
    case ScriptedPrompter::Kind::Input: return QStringLiteral("input box");
    case ScriptedPrompter::Kind::OpenFile: return QStringLiteral("open dialog");
    case ScriptedPrompter::Kind::SaveFile: return QStringLiteral("save dialog");
    case ScriptedPrompter::Kind::Font: return QStringLiteral("font dialog");
    }
    return QString();
}

// The window a box belongs to: the one the person works in.
QWidget *boxParent()
{
    return QApplication::activeWindow();
}

std::unique_ptr<QMessageBox> questionBox(const QString &caption, const QString &text,
                                         Prompter::Buttons buttons, Prompter::Icon icon)
{
    QMessageBox::StandardButtons shown = QMessageBox::Yes | QMessageBox::No;
    QMessageBox::StandardButton first = QMessageBox::Yes;
    if (buttons == Prompter::Buttons::YesNoCancel)
        shown |= QMessageBox::Cancel;
    if (buttons == Prompter::Buttons::OkNo) {
        shown = QMessageBox::Ok | QMessageBox::No;
        first = QMessageBox::Ok;
    }
    auto box = std::make_unique<QMessageBox>(boxIcon(icon), caption, text, shown, boxParent());
    box->setDefaultButton(first);
    // Escape needs no setting: QMessageBox picks Cancel, or else the No button.
    return box;
}

std::unique_ptr<QMessageBox> messageBox(Prompter::Icon icon, const QString &caption, const QString &text)
{
    auto box = std::make_unique<QMessageBox>(boxIcon(icon), caption, text, QMessageBox::Ok, boxParent());
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

std::unique_ptr<QInputDialog> inputBox(const QString &caption, const QString &prompt, const QString &defaultValue)
{
    auto box = std::make_unique<QInputDialog>(boxParent());
    box->setWindowTitle(caption);
    box->setLabelText(prompt);
    box->setTextValue(defaultValue);
    return box;
}

// The file and font dialogs take their state from their window; a plain
// dialog over it stands in for them when a scripted answer is checked.
std::unique_ptr<QDialog> plainProbe()
{
    return std::make_unique<QDialog>(boxParent());
}

// Runs a box usable even while the window behind it is busy.
int run(QDialog &box)
{
    keepUsable(box);
    return box.exec();
}

} // namespace

Prompter &Prompter::instance()
{
    static QtPrompter qtPrompter;
    return g_current ? *g_current : qtPrompter;
}

Prompter *Prompter::install(Prompter *prompter)
{
    Prompter *previous = g_current;
    g_current = prompter;
    return previous;
}

// ------------------------------------------------------------------ QtPrompter

Prompter::Answer QtPrompter::confirm(const QString &caption, const QString &text,
                                     Buttons buttons, Icon icon)
{
    const std::unique_ptr<QMessageBox> box = questionBox(caption, text, buttons, icon);
    switch (run(*box)) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::No: return Answer::No;
    default: return negativeAnswer(buttons);
    }
}

void QtPrompter::message(Icon icon, const QString &caption, const QString &text)
{
    run(*messageBox(icon, caption, text));
}

std::optional<QString> QtPrompter::inputText(const QString &caption, const QString &prompt,
                                             const QString &defaultValue)
{
    const std::unique_ptr<QInputDialog> box = inputBox(caption, prompt, defaultValue);
    if (run(*box) != QDialog::Accepted)
        return std::nullopt;
    return box->textValue();
}

std::optional<QString> QtPrompter::openFileName(const QString &caption, const QString &filter,
                                                const QString &initial)
{
    QFileDialog box(boxParent(), caption, initial, qtFilter(filter));
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFile);
    if (run(box) != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return box.selectedFiles().first();
}

std::optional<QString> QtPrompter::saveFileName(const QString &caption, const QString &filter,
                                                const QString &initial)
{
    QFileDialog box(boxParent(), caption, initial, qtFilter(filter));
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    box.setOption(QFileDialog::DontConfirmOverwrite);
    if (run(box) != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return box.selectedFiles().first();
}

std::optional<QFont> QtPrompter::selectFont(const QFont &initial)
{
    QFontDialog box(initial, boxParent());
    if (run(box) != QDialog::Accepted)
        return std::nullopt;
    return box.selectedFont();
}

QString QtPrompter::qtFilter(const QString &filter)
{
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

// ------------------------------------------------------------ ScriptedPrompter

ScriptedPrompter &ScriptedPrompter::push(Scripted scripted)
{
    m_script.append(std::move(scripted));
    return *this;
}

ScriptedPrompter &ScriptedPrompter::answer(Answer answer)
{
    return push({AnswerKind::Confirm, answer, std::nullopt, std::nullopt});
}

ScriptedPrompter &ScriptedPrompter::answerText(const QString &text)
{
    return push({AnswerKind::Text, Answer::Ok, text, std::nullopt});
}

ScriptedPrompter &ScriptedPrompter::cancelText()
{
    return push({AnswerKind::Text, Answer::Cancel, std::nullopt, std::nullopt});
}

ScriptedPrompter &ScriptedPrompter::answerFile(const QString &path)
{
    return push({AnswerKind::File, Answer::Ok, path, std::nullopt});
}

ScriptedPrompter &ScriptedPrompter::cancelFile()
{
    return push({AnswerKind::File, Answer::Cancel, std::nullopt, std::nullopt});
}

ScriptedPrompter &ScriptedPrompter::answerFont(const QFont &font)
{
    return push({AnswerKind::Font, Answer::Ok, std::nullopt, font});
}

ScriptedPrompter &ScriptedPrompter::cancelFont()
{
    return push({AnswerKind::Font, Answer::Cancel, std::nullopt, std::nullopt});
}

QStringList ScriptedPrompter::texts() const
{
    QStringList result;
    for (const Call &call : m_calls)
        result << call.text;
    return result;
}

QStringList ScriptedPrompter::problems() const
{
    QStringList result = m_problems;
    if (!m_script.isEmpty())
        result << QStringLiteral("%1 scripted answer(s) never asked for").arg(m_script.size());
    return result;
}

void ScriptedPrompter::clear()
{
    m_script.clear();
    m_calls.clear();
    m_problems.clear();
}

bool ScriptedPrompter::usable(const Probe &probe, Call &call)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return true;
    const std::unique_ptr<QDialog> box = probe();
    keepUsable(*box);
    const QString why = unusableReason(*box);
    if (why.isEmpty())
        return true;
    m_problems << why;
    call.answered = false;
    m_calls.append(call);
    reportRefusal(why);
    return false;
}

std::optional<ScriptedPrompter::Scripted> ScriptedPrompter::take(Call call, AnswerKind expected, const Probe &probe)
{
    if (!usable(probe, call))
        return std::nullopt;
    const bool fits = !m_script.isEmpty() && m_script.first().kind == expected;
    call.answered = fits;
    if (!fits) {
        const QString problem = QStringLiteral("%1 \"%2\": \"%3\" asked with %4")
                                    .arg(kindName(call.kind), call.caption, call.text,
                                         m_script.isEmpty() ? QStringLiteral("no answer left")
                                                            : QStringLiteral("another kind of answer next"));
        m_problems << problem;
        qWarning("ScriptedPrompter: %s", qPrintable(problem));
    }
    m_calls.append(std::move(call));
    if (!fits)
        return std::nullopt;
    return m_script.takeFirst();
}

Prompter::Answer ScriptedPrompter::confirm(const QString &caption, const QString &text,
                                           Buttons buttons, Icon icon)
{
    Call call{Kind::Confirm, caption, text, {}, {}, {}, buttons, icon, true};
    const std::optional<Scripted> scripted =
        take(std::move(call), AnswerKind::Confirm, [&] { return questionBox(caption, text, buttons, icon); });
    if (!scripted)
        return negativeAnswer(buttons);
    if (!offers(buttons, scripted->answer)) {
        const QString problem = QStringLiteral("confirmation \"%1\": \"%2\" has no %3 button")
                                    .arg(caption, text, answerName(scripted->answer));
        m_problems << problem;
        m_calls.last().answered = false;
        qWarning("ScriptedPrompter: %s", qPrintable(problem));
        return negativeAnswer(buttons);
    }
    return scripted->answer;
}

void ScriptedPrompter::message(Icon icon, const QString &caption, const QString &text)
{
    Call call{Kind::Message, caption, text, {}, {}, {}, Buttons::YesNo, icon, true};
    if (usable([&] { return messageBox(icon, caption, text); }, call))
        m_calls.append(std::move(call));
}

std::optional<QString> ScriptedPrompter::inputText(const QString &caption, const QString &prompt,
                                                   const QString &defaultValue)
{
    Call call{Kind::Input, caption, prompt, defaultValue, {}, {}, Buttons::YesNo, Icon::Question, true};
    const std::optional<Scripted> scripted =
        take(std::move(call), AnswerKind::Text, [&] { return inputBox(caption, prompt, defaultValue); });
    return scripted ? scripted->text : std::nullopt;
}

std::optional<QString> ScriptedPrompter::fileAnswer(Call call)
{
    const std::optional<Scripted> scripted = take(std::move(call), AnswerKind::File, plainProbe);
    return scripted ? scripted->text : std::nullopt;
}

std::optional<QString> ScriptedPrompter::openFileName(const QString &caption, const QString &filter,
                                                      const QString &initial)
{
    return fileAnswer({Kind::OpenFile, caption, {}, initial, filter, {}, Buttons::YesNo, Icon::Question, true});
}

std::optional<QString> ScriptedPrompter::saveFileName(const QString &caption, const QString &filter,
                                                      const QString &initial)
{
    return fileAnswer({Kind::SaveFile, caption, {}, initial, filter, {}, Buttons::YesNo, Icon::Question, true});
}

std::optional<QFont> ScriptedPrompter::selectFont(const QFont &initial)
{
    Call call{Kind::Font, {}, {}, {}, {}, initial, Buttons::YesNo, Icon::Question, true};
    const std::optional<Scripted> scripted = take(std::move(call), AnswerKind::Font, plainProbe);
    return scripted ? scripted->font : std::nullopt;
}

} // namespace platform
