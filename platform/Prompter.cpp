#include "platform/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QtGlobal>

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
    QMessageBox::StandardButtons shown = QMessageBox::Yes | QMessageBox::No;
    QMessageBox::StandardButton first = QMessageBox::Yes;
    if (buttons == Buttons::YesNoCancel)
        shown |= QMessageBox::Cancel;
    if (buttons == Buttons::OkNo) {
        shown = QMessageBox::Ok | QMessageBox::No;
        first = QMessageBox::Ok;
    }
    QMessageBox box(boxIcon(icon), caption, text, shown, QApplication::activeWindow());
    box.setDefaultButton(first);
    // Escape needs no setting: QMessageBox picks Cancel, or else the No button.
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::No: return Answer::No;
    default: return negativeAnswer(buttons);
    }
}

void QtPrompter::message(Icon icon, const QString &caption, const QString &text)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

std::optional<QString> QtPrompter::inputText(const QString &caption, const QString &prompt,
                                             const QString &defaultValue)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt,
                                               QLineEdit::Normal, defaultValue, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> QtPrompter::openFileName(const QString &caption, const QString &filter,
                                                const QString &initial)
{
    const QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), caption,
                                                      initial, qtFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtPrompter::saveFileName(const QString &caption, const QString &filter,
                                                const QString &initial)
{
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), caption,
                                                      initial, qtFilter(filter), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QFont> QtPrompter::selectFont(const QFont &initial)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, QApplication::activeWindow());
    if (!ok)
        return std::nullopt;
    return font;
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

std::optional<ScriptedPrompter::Scripted> ScriptedPrompter::take(Call call, AnswerKind expected)
{
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
    const std::optional<Scripted> scripted = take(std::move(call), AnswerKind::Confirm);
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
    m_calls.append(Call{Kind::Message, caption, text, {}, {}, {}, Buttons::YesNo, icon, true});
}

std::optional<QString> ScriptedPrompter::inputText(const QString &caption, const QString &prompt,
                                                   const QString &defaultValue)
{
    Call call{Kind::Input, caption, prompt, defaultValue, {}, {}, Buttons::YesNo, Icon::Question, true};
    const std::optional<Scripted> scripted = take(std::move(call), AnswerKind::Text);
    return scripted ? scripted->text : std::nullopt;
}

std::optional<QString> ScriptedPrompter::fileAnswer(Call call)
{
    const std::optional<Scripted> scripted = take(std::move(call), AnswerKind::File);
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
    const std::optional<Scripted> scripted = take(std::move(call), AnswerKind::Font);
    return scripted ? scripted->font : std::nullopt;
}

} // namespace platform
