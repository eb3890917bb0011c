#pragma once

// Answers the real dialogs a command shows, run through their own exec()
// with no hook, by mouse clicks as a person gives them.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

namespace testsupport {

class RealClicks {
public:
    // Each answer waits for the next modal dialog that comes up, runs
    // before on it (to type into it), then clicks the button whose object
    // name or caption (without '&') is button.
    RealClicks &then(const QString &button, std::function<void(QDialog &)> before = {})
    {
        m_steps.push_back({button, std::move(before)});
        if (!m_timer.isActive())
            m_timer.start(20);
        return *this;
    }

    RealClicks()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    }

    // Per dialog met: its title, and " (disabled)" when a person could not
    // use it; a dialog that ignored its click is closed after a while and
    // marked " (ignored the click)".
    QStringList met;
    int answersLeft() const { return int(m_steps.size()); }

private:
    struct Step {
        QString button;
        std::function<void(QDialog &)> before;
    };

    void poll()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            m_clicked = nullptr; // closed: the same dialog may come up again
            return;
        }
        if (dialog == m_clicked) {
            // Still up after its click: a dialog that stays open on purpose
            // takes the next answer; otherwise it is closed after a second.
            ++m_waited;
            if (m_steps.empty()) {
                if (m_waited > 50) {
                    met.last() += QStringLiteral(" (ignored the click)");
                    dialog->reject();
                    m_clicked = nullptr;
                }
                return;
            }
            if (m_waited < 5)
                return;
        }
        if (m_steps.empty())
            return;
        const Step step = m_steps.front();
        m_steps.erase(m_steps.begin());
        met << dialog->windowTitle() + (dialog->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
        if (step.before)
            step.before(*dialog);
        QAbstractButton *target = nullptr;
        for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>())
            if (b->objectName() == step.button || b->text().remove(QLatin1Char('&')) == step.button)
                target = b;
        m_clicked = dialog;
        m_waited = 0;
        if (target)
            QTest::mouseClick(target, Qt::LeftButton);
        else
            met.last() += QStringLiteral(" (no button ") + step.button + QLatin1Char(')');
    }

    QTimer m_timer;
    std::vector<Step> m_steps;
    QPointer<QDialog> m_clicked;
    int m_waited = 0;
};

} // namespace testsupport
