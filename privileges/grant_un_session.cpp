// The connect and disconnect commands and the settling of the connection.
#include "privileges/grant_un.h"

#include "engine/Error.h"
#include "engine/Statement.h"
#include "platform/Modal.h"
#include "platform/PanelStatusBar.h"
#include "platform/Prompter.h"
#include "privileges/ImportPlan.h"
#include "privileges/dspar_un.h"
#include "privileges/gdata_un.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

using platform::Prompter;

namespace {

const QString kConfirm = QStringLiteral("Confirmation");

// The hourglass while a step runs, the normal cursor again on every way out.
class BusyCursor {
public:
    BusyCursor() { on(); }
    ~BusyCursor() { off(); }
    void on()
    {
        if (!m_on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        m_on = true;
    }
    void off()
    {
        if (m_on)
            QApplication::restoreOverrideCursor();
        m_on = false;
    }

private:
    bool m_on = false;
};

// Questions and messages are met with the normal cursor; the hourglass
// comes back after them.
template<typename F>
auto withNormalCursor(F &&ask)
{
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::restoreOverrideCursor();
    struct Again {
        bool busy;
        ~Again()
        {
            if (busy)
                QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    } again{busy};
    return ask();
}

QStringList loginParams(const QString &user, const QString &password)
{
    return {QStringLiteral("USER NAME=") + user, QStringLiteral("PASSWORD=") + password};
}

} // namespace

void TLorvane::connect1Click()
{
    cntbtn->setChecked(true);
    cntbtnClick();
}

void TLorvane::Disconnect1Click()
{
    dcntbtn->setChecked(true);
    dcntbtnClick();
}

bool TLorvane::askLogin()
{
    const QString alias = gridText(0, 1);
    if (alias.isEmpty()) {
        dcntbtn->setChecked(true);
        throw engine::Error(QStringLiteral("Please, define alias first"));
    }
    GrantData->grantdb.setAliasName(alias);
    m_login->DBAlias->setText(alias);
    for (int r = 0; r < AliasParams->rowCount(); ++r)
        if (gridText(r, 0) == QLatin1String("USER NAME"))
            m_login->nmedit->setText(gridText(r, 1));
    const int answer = platform::execModal(*m_login);
    repaint();
    if (answer != QDialog::Accepted) {
        dcntbtn->setChecked(true);
        return false;
    }
    GrantData->grantdb.setParams(loginParams(m_login->nmedit->text(), m_login->pswedit->text()));
    return true;
}

void TLorvane::takeCommandLine()
{
    const connectrules::CommandLine c = connectrules::commandLine(m_arguments);
    GrantData->grantdb.setAliasName(c.alias);
    GrantData->grantdb.setParams(loginParams(c.user, c.password));
    m_login->nmedit->setText(c.user);
    m_connectTag = false; // every later connect is interactive
}

void TLorvane::cntbtnClick()
{
    if (GrantData->grantdb.isConnected())
        return;
    if (!m_connectTag && !askLogin())
        return;
    BusyCursor busy;
    if (m_connectTag)
        takeCommandLine();

    Grantsb->setPanelText(2, QStringLiteral("Connecting..."));
    Grantsb->repaint();
    try {
        GrantData->grantdb.open();
    } catch (...) {
        dcntbtn->setChecked(true);
        Grantsb->setPanelText(2, QString());
        throw;
    }
    GrantData->transaction.ensure();
    connect1->setEnabled(false);
    Disconnect1->setEnabled(true);
    Info1->menuAction()->setVisible(true);
    Alias1->menuAction()->setVisible(false);
    repaint();

    openAdminPages();
    FillMetaTree(true);
    Grantsb->setPanelText(2, QString());
    Grantsb->setPanelText(0, QStringLiteral(" DataBase: ") + GrantData->grantdb.aliasName());
    OpenTrigList();
    GrantPages->setCurrentWidget(GrantInfo);
    GrantPages->repaint();
    GrantPages->setTabVisible(0, false);
    GrantPages->setTabEnabled(0, false);
    GrantPages->setCurrentWidget(GrantInfo);
    Grantsb->repaint();
    busy.off();
    GrantPagesChange();
}

QStringList TLorvane::presentAdminTables()
{
    return GrantData->transaction.run([] {
        engine::Statement s(&GrantData->grantdb);
        s.setParamCheck(false);
        s.setSql(connectrules::adminTablesQuery());
        s.open();
        QStringList present;
        for (int r = 0; r < s.rows().rowCount(); ++r)
            present << s.rows().text(r, 0).trimmed();
        return present;
    });
}

void TLorvane::showPages(bool allPages)
{
    for (int i = 1; i <= (allPages ? 4 : 1); ++i) {
        GrantPages->setTabVisible(i, true);
        GrantPages->setTabEnabled(i, true);
    }
    if (!allPages)
        return;
    for (QMenu *m : {Groups1, Users1, GrantAction1})
        m->menuAction()->setVisible(true);
    erasebtn->setEnabled(true);
    Erasemn->setEnabled(true);
}

void TLorvane::openAdminPages()
{
    // The six tables are counted in the catalogue: a probe that merely fails
    // (a lock, a lost right, a broken line) proves nothing about them.
    connectrules::TablesCheck check;
    try {
        check = connectrules::checkTables(presentAdminTables());
    } catch (const engine::Error &e) {
        withNormalCursor([&] { AppException(e.message()); });
        showPages(false);
        return;
    }
    if (check.state == connectrules::TablesState::Present) {
        if (!GrantPages->isTabEnabled(1))
            showPages(true);
        return;
    }
    if (check.state == connectrules::TablesState::Partial) {
        if (completeAdminTables(check.missing))
            openAdminPages(); // all six now, or none and the creation question
        else
            showPages(false);
        return;
    }
    const bool create = withNormalCursor([] {
        return Prompter::instance().confirm(
                   kConfirm, QStringLiteral("There are no GrantGroups in this database. Do you want to create them?"))
               == Prompter::Answer::Yes;
    });
    if (create) {
        repaint();
        showPages(createAdminTables());
    } else {
        showPages(false);
    }
}

bool TLorvane::completeAdminTables(const QStringList &missing)
{
    const Prompter::Answer answer = withNormalCursor([&] {
        return Prompter::instance().confirm(kConfirm, connectrules::partialTablesQuestion(missing),
                                            Prompter::Buttons::YesNoCancel);
    });
    if (answer == Prompter::Answer::Cancel)
        return false;
    repaint();
    privileges::AdminTables tables(*GrantData, progress());
    try {
        if (answer == Prompter::Answer::Yes)
            tables.createMissing(missing);
        else
            tables.dropPresent(connectrules::presentOf(missing));
    } catch (const engine::Error &e) {
        withNormalCursor([&] { AppException(e.message()); });
        return false;
    }
    return true;
}

bool TLorvane::createAdminTables()
{
    QStringList leftOut;
    try {
        leftOut = CreateGrantTables();
    } catch (const engine::Error &e) {
        // The connection stays, with the privilege list only.
        withNormalCursor([&] {
            AppException(connectrules::creationFailedText(e.message(), e.category() == engine::ErrorCategory::NoPermission));
        });
        return false;
    }
    if (!leftOut.isEmpty())
        withNormalCursor([&] {
            Prompter::instance().message(Prompter::Icon::Warning, windowTitle(), privileges::leftOutText(leftOut));
        });
    const connectrules::TablesCheck check = connectrules::checkTables(presentAdminTables());
    if (check.state == connectrules::TablesState::Present)
        return true;
    withNormalCursor([&] { AppException(connectrules::partialTablesText(check.missing)); });
    return false;
}

void TLorvane::dcntbtnClick()
{
    if (!GrantData->grantdb.isConnected())
        return;
    const QString alias = GrantData->grantdb.aliasName();
    if (Prompter::instance().confirm(kConfirm, QStringLiteral("Disconnect from database %1?").arg(alias))
        != Prompter::Answer::Yes) {
        cntbtn->setChecked(true);
        return;
    }
    GrantPages->setTabVisible(0, true);
    GrantPages->setTabEnabled(0, true);
    GrantPages->setCurrentWidget(Connect);
    GrantPages->repaint();
    Grantsb->setPanelText(2, QStringLiteral("Disconnecting..."));
    Grantsb->repaint();
    if (settleAndClose())
        showDisconnected();
}

bool TLorvane::settleAndClose()
{
    try {
        disconnectdb();
    } catch (const engine::Error &e) {
        // The work is still pending: the user decides whether it goes.
        const QString question = e.message() + QStringLiteral("\r\n\r\nRoll back the changes and disconnect?");
        if (Prompter::instance().confirm(kConfirm, question) != Prompter::Answer::Yes) {
            stayConnected();
            return false;
        }
        GrantData->transaction.rollback();
        closeConnection();
    }
    return true;
}

void TLorvane::showDisconnected()
{
    connect1->setEnabled(true);
    Disconnect1->setEnabled(false);
    Erasemn->setEnabled(false);
    FillMetaTree(false);
    BtnEnabled(1);
    for (QMenu *m : {Groups1, Info1, Users1, GrantAction1})
        m->menuAction()->setVisible(false);
    hideWorkPages();
    for (QToolButton *b : {erasebtn, uplus, umodify, uminus, ugplus, ugmodify, ugminus})
        b->setEnabled(false);
    Alias1->menuAction()->setVisible(true);
    Grantsb->setPanelText(2, QString());
    Grantsb->setPanelText(0, QStringLiteral(" No Active DataBase"));
    Grantsb->repaint();
}

void TLorvane::stayConnected()
{
    GrantPages->setCurrentWidget(GrantInfo);
    GrantPages->setTabVisible(0, false);
    GrantPages->setTabEnabled(0, false);
    Grantsb->setPanelText(2, QString());
    cntbtn->setChecked(true);
}

void TLorvane::disconnectdb()
{
    if (GrantData->grantdb.isConnected()) {
        GrantData->transaction.commitFinally();
        closeConnection();
    }
}

void TLorvane::closeConnection()
{
    CloseDataSets();
    GrantData->grantdb.close();
}

bool TLorvane::FormClose()
{
    try {
        disconnectdb();
    } catch (const engine::Error &e) {
        // Closing would lose the pending work: the window stays.
        AppException(e.message());
        return false;
    }
    return true;
}
