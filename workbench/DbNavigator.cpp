#include "workbench/DbNavigator.h"

#include "engine/DataSet.h"
#include "engine/Error.h"
#include "platform/Prompter.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace {

const struct {
    const char *name;
    const char *text;
    const char *hint;
} kButtons[] = {{"NBFirst", "|<", "First record"},    {"NBPrior", "<", "Prior record"},
                {"NBNext", ">", "Next record"},       {"NBLast", ">|", "Last record"},
                {"NBInsert", "+", "Insert record"},   {"NBDelete", "-", "Delete record"},
                {"NBEdit", "^", "Edit record"},       {"NBPost", "ok", "Post edit"},
                {"NBCancel", "x", "Cancel edit"},     {"NBRefresh", "@", "Refresh data"}};

} // namespace

TDBNavigator::TDBNavigator(engine::DataSet *dataSet, QWidget *parent) : QWidget(parent), m_ds(dataSet)
{
    auto *l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(1);
    for (int i = 0; i < ButtonCount; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(kButtons[i].name));
        b->setText(QLatin1String(kButtons[i].text));
        b->setToolTip(QLatin1String(kButtons[i].hint));
        b->setAutoRaise(true);
        l->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, i] { click(Button(i)); });
        m_buttons[i] = b;
    }
    for (auto signal : {&engine::DataSet::stateChanged, &engine::DataSet::dataChanged, &engine::DataSet::afterOpen,
                        &engine::DataSet::afterClose})
        connect(m_ds, signal, this, &TDBNavigator::updateButtons);
    updateButtons();
}

void TDBNavigator::click(Button b)
{
    if (!m_buttons[b]->isEnabled())
        return;
    try {
        switch (b) {
        case First: m_ds->first(); break;
        case Prior: m_ds->prior(); break;
        case Next: m_ds->next(); break;
        case Last: m_ds->last(); break;
        case Insert: m_ds->insert(); break;
        case Delete:
            if (platform::Prompter::instance().confirm(QStringLiteral("Confirm"), QStringLiteral("Delete record?"))
                == platform::Prompter::Answer::Yes)
                m_ds->remove();
            break;
        case Edit: m_ds->edit(); break;
        case Post: m_ds->post(); break;
        case Cancel: m_ds->cancel(); break;
        case Refresh: m_ds->refresh(); break;
        case ButtonCount: break;
        }
    } catch (const engine::Error &e) {
        platform::Prompter::instance().message(platform::Prompter::Icon::Error, QString(), e.message());
    }
    updateButtons();
}

void TDBNavigator::updateButtons()
{
    const bool active = m_ds->isActive();
    const bool browsing = active && m_ds->state() == engine::DataSetState::Browse;
    const bool editing = active && !browsing;
    const bool rows = active && !m_ds->isEmpty();
    const bool enabled[ButtonCount] = {browsing && rows && !m_ds->bof(), browsing && rows && !m_ds->bof(),
                                       browsing && rows && !m_ds->eof(), browsing && rows && !m_ds->eof(),
                                       browsing && m_ds->canModify(), browsing && rows && m_ds->canModify(),
                                       browsing && rows && m_ds->canModify(), editing, editing, browsing};
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setEnabled(enabled[i]);
}
