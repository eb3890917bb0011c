#include "privileges/gmes2.h"

#include "engine/Error.h"
#include "platform/Prompter.h"
#include "privileges/gdata_un.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

Tgrantmes2 *grantmes2 = nullptr;

using platform::Prompter;

Tgrantmes2::Tgrantmes2(TGrantData &data, QWidget *parent) : QDialog(parent), m_data(data)
{
    grantmes2 = this;
    setObjectName(QStringLiteral("grantmes2"));
    setWindowTitle(QStringLiteral("Revoke privilege"));

    const auto label = [this](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    grantlbl = label("grantlbl");
    grantlbl->setText(QStringLiteral("Revoke"));
    optioncheck = new QCheckBox(QStringLiteral("Grant option "), this);
    optioncheck->setObjectName(QStringLiteral("optioncheck"));
    privilege = label("privilege");
    tbllbl = label("tbllbl");
    userlbl = label("userlbl");
    okbtn = new QPushButton(QStringLiteral("OK"), this);
    okbtn->setObjectName(QStringLiteral("okbtn"));
    okbtn->setDefault(true);
    cancelbtn = new QPushButton(QStringLiteral("Cancel"), this);
    cancelbtn->setObjectName(QStringLiteral("cancelbtn"));

    auto *statement = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{grantlbl, optioncheck, privilege, tbllbl, userlbl})
        statement->addWidget(w);
    statement->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okbtn);
    buttons->addWidget(cancelbtn);
    auto *l = new QVBoxLayout(this);
    l->addLayout(statement);
    l->addLayout(buttons);

    connect(okbtn, &QPushButton::clicked, this, &Tgrantmes2::okbtnClick);
    connect(cancelbtn, &QPushButton::clicked, this, &QDialog::reject);
}

Tgrantmes2::~Tgrantmes2()
{
    if (grantmes2 == this)
        grantmes2 = nullptr;
}

void Tgrantmes2::FormShow()
{
    if (parentWidget())
        setFont(QFont(parentWidget()->font().family(), font().pointSize()));
    for (QLabel *l : {privilege, tbllbl, userlbl}) {
        l->setAutoFillBackground(true);
        l->setBackgroundRole(QPalette::Window);
    }
}

void Tgrantmes2::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tgrantmes2::prepareGrant(const QString &procedure, const privileges::Grantee &grantee)
{
    m_revoke = false;
    m_procedure = procedure;
    m_grantee = grantee;
    setWindowTitle(QStringLiteral("Grant privilege"));
    grantlbl->setText(QStringLiteral("Grant"));
    privilege->setText(QStringLiteral("Execute"));
    tbllbl->setText(QStringLiteral("on procedure ") + procedure);
    const bool user = grantee.type == privileges::GranteeType::User;
    optioncheck->setVisible(user);
    optioncheck->setEnabled(user);
    optioncheck->setChecked(false);
    userlbl->setText(privileges::granteeLabel(QStringLiteral("to"), grantee));
}

bool Tgrantmes2::prepareRevoke(const privileges::PrivilegeRow &row)
{
    const std::optional<privileges::Grantee> grantee = privileges::granteeOfRow(row.userType, row.user);
    if (!grantee)
        return false;
    m_revoke = true;
    m_row = row;
    m_grantee = *grantee;
    setWindowTitle(QStringLiteral("Revoke privilege"));
    grantlbl->setText(QStringLiteral("Revoke"));
    privilege->setText(privileges::privilegeLabel(row));
    tbllbl->setText(privileges::objectLabel(row));
    // The tick stays as it was last left.
    optioncheck->setVisible(row.grantOption == 1);
    optioncheck->setEnabled(row.grantOption == 1);
    userlbl->setText(privileges::granteeLabel(QStringLiteral("from"), *grantee));
    return true;
}

void Tgrantmes2::okbtnClick()
{
    accept();
    try {
        run();
    } catch (const engine::Error &e) {
        Prompter::instance().message(Prompter::Icon::Error, windowTitle(), e.message());
    }
}

void Tgrantmes2::run()
{
    privileges::DirectGrants grants(m_data);
    const bool option = !optioncheck->isHidden() && optioncheck->isChecked();
    privileges::DirectOutcome outcome;
    if (m_revoke) {
        for (const QString &question : grants.revokeQuestions(m_row, option))
            if (Prompter::instance().confirm(QStringLiteral("Confirmation"), question, Prompter::Buttons::YesNo,
                                             Prompter::Icon::Warning)
                != Prompter::Answer::Yes)
                return;
        outcome = grants.revoke(m_row, option);
    } else {
        outcome = grants.grantExecute(m_procedure, m_grantee, option);
    }
    if (!outcome.refusal.isEmpty())
        Prompter::instance().message(Prompter::Icon::Error, windowTitle(), outcome.refusal);
    if (!outcome.warning.isEmpty())
        Prompter::instance().message(Prompter::Icon::Warning, windowTitle(), outcome.warning);
}
