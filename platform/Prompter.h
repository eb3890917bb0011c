#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QDialog;

namespace platform {

// Every question, message and common dialog the programs show goes through
// the current prompter, so tests can answer them and see their exact texts.
// The default is QtPrompter; tests install a ScriptedPrompter.
class Prompter {
public:
    enum class Icon { Information, Warning, Error, Question };
    enum class Buttons { YesNo, YesNoCancel, OkNo };
    enum class Answer { Yes, No, Cancel, Ok };

    virtual ~Prompter() = default;

    // A question box; returns the button pressed. Closing the box counts as
    // Cancel where there is one, else as No.
    virtual Answer confirm(const QString &caption, const QString &text,
                           Buttons buttons = Buttons::YesNo, Icon icon = Icon::Question) = 0;
    // A box with only an OK button.
    virtual void message(Icon icon, const QString &caption, const QString &text) = 0;
    // One-line input box: the accepted text (possibly empty), nothing on Cancel.
    virtual std::optional<QString> inputText(const QString &caption, const QString &prompt,
                                             const QString &defaultValue) = 0;
    // filter as the programs write it: "Text|*.txt|All|*.*". initial: a file
    // name or a folder. Nothing on Cancel. The save dialog does not ask about
    // overwriting; the programs ask that themselves.
    virtual std::optional<QString> openFileName(const QString &caption, const QString &filter,
                                                const QString &initial) = 0;
    virtual std::optional<QString> saveFileName(const QString &caption, const QString &filter,
                                                const QString &initial) = 0;
    virtual std::optional<QFont> selectFont(const QFont &initial) = 0;

    static Prompter &instance();
    // Makes prompter the current one (nullptr: back to the Qt dialogs) and
    // returns the one it replaces. The caller keeps ownership.
    static Prompter *install(Prompter *prompter);
};

// Installs a prompter for the lifetime of this object, then puts the previous
// one back, so a failing test cannot leave a dead prompter installed.
class ScopedPrompter {
public:
    explicit ScopedPrompter(Prompter &prompter) : m_previous(Prompter::install(&prompter)) {}
    ~ScopedPrompter() { Prompter::install(m_previous); }
    ScopedPrompter(const ScopedPrompter &) = delete;
    ScopedPrompter &operator=(const ScopedPrompter &) = delete;

private:
    Prompter *m_previous;
};

// The real dialogs, parented to the active window.
class QtPrompter : public Prompter {
public:
    Answer confirm(const QString &caption, const QString &text, Buttons buttons, Icon icon) override;
    void message(Icon icon, const QString &caption, const QString &text) override;
    std::optional<QString> inputText(const QString &caption, const QString &prompt,
                                     const QString &defaultValue) override;
    std::optional<QString> openFileName(const QString &caption, const QString &filter,
                                        const QString &initial) override;
    std::optional<QString> saveFileName(const QString &caption, const QString &filter,
                                        const QString &initial) override;
    std::optional<QFont> selectFont(const QFont &initial) override;

    // "Text|*.txt|All|*.*" -> "Text (*.txt);;All (*.*)"; a filter without '|'
    // is taken as Qt's own form.
    static QString qtFilter(const QString &filter);
};

// Answers from a script, in order, and records every call. A call with no
// fitting answer next in the script is a test failure: it is recorded in
// problems(), warned about, and gets the negative answer (No, or Cancel where
// the box has it; nothing for dialogs). Messages need no answer.
// Each call first builds the box a person would get, over the same window,
// and refuses it when that box could not be used (disabled, or its default
// button disabled): recorded in problems(), reported as a refused dialog
// (which fails a test), and answered negatively without taking an answer.
class ScriptedPrompter : public Prompter {
public:
    enum class Kind { Confirm, Message, Input, OpenFile, SaveFile, Font };

    struct Call {
        Kind kind;
        QString caption;
        QString text;          // question, message or prompt
        QString defaultValue;  // input default or initial file
        QString filter;        // file dialogs
        QFont font;            // font dialog: the initial font
        Buttons buttons = Buttons::YesNo;
        Icon icon = Icon::Question;
        bool answered = true;  // false: nothing fitting was scripted
    };

    // The script. Confirmations take answer(); input boxes answerText() or
    // cancelText(); open and save dialogs answerFile() or cancelFile(); the
    // font dialog answerFont() or cancelFont().
    ScriptedPrompter &answer(Answer answer);
    ScriptedPrompter &answerText(const QString &text);
    ScriptedPrompter &cancelText();
    ScriptedPrompter &answerFile(const QString &path);
    ScriptedPrompter &cancelFile();
    ScriptedPrompter &answerFont(const QFont &font);
    ScriptedPrompter &cancelFont();

    const QList<Call> &calls() const { return m_calls; }
    // The text of every call, in order.
    QStringList texts() const;
    int answersLeft() const { return int(m_script.size()); }
    // Empty when every call found its answer and every answer was used.
    QStringList problems() const;
    void clear();

    Answer confirm(const QString &caption, const QString &text, Buttons buttons, Icon icon) override;
    void message(Icon icon, const QString &caption, const QString &text) override;
    std::optional<QString> inputText(const QString &caption, const QString &prompt,
                                     const QString &defaultValue) override;
    std::optional<QString> openFileName(const QString &caption, const QString &filter,
                                        const QString &initial) override;
    std::optional<QString> saveFileName(const QString &caption, const QString &filter,
                                        const QString &initial) override;
    std::optional<QFont> selectFont(const QFont &initial) override;

private:
    enum class AnswerKind { Confirm, Text, File, Font };
    struct Scripted {
        AnswerKind kind;
        Answer answer = Answer::Cancel;
        std::optional<QString> text;  // text or file path; nothing: Cancel
        std::optional<QFont> font;
    };

    ScriptedPrompter &push(Scripted scripted);
    // Records the call and hands out the next answer when it is of the
    // expected kind; otherwise records the failure and hands out nothing.
    using Probe = std::function<std::unique_ptr<QDialog>()>;
    std::optional<Scripted> take(Call call, AnswerKind expected, const Probe &probe);
    std::optional<QString> fileAnswer(Call call);
    // False (and the failure recorded) when a person could not use the box
    // probe builds. Without widgets (a console test) there is no box to check.
    bool usable(const Probe &probe, Call &call);

    QList<Scripted> m_script;
    QList<Call> m_calls;
    QStringList m_problems;
};

} // namespace platform
