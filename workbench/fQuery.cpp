#include "workbench/fQuery.h"

#include "engine/Error.h"
#include "engine/GridModel.h"
#include "engine/Transaction.h"
#include "platform/Placement.h"
#include "workbench/Glyphs.h"
#include "workbench/Grids.h"
#include "workbench/SqlConsole.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include <atomic>

namespace {

// The windows of this run; they live until the program ends.
QList<TQueryForm *> &forms()
{
    static QList<TQueryForm *> list;
    return list;
}

// Set once the program ends: a worker that has not yet sent its statement
// does not send it.
std::atomic<bool> g_ending{false};

QLabel *statusPicture(QWidget *parent, const QString &name, const QString &hint)
{
    QLabel *l = glyphs::statusLabel(parent, name, hint);
    l->setVisible(false);
    return l;
}

} // namespace

TQueryForm::TQueryForm(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QueryForm"));
    setWindowTitle(QStringLiteral("Background Query"));
    // Closing only hides the window; it never keeps the program from ending.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(480, 300);

    DBGrid1 = grids::dataGrid(this, QStringLiteral("DBGrid1"), nullptr);
    DataSource = static_cast<engine::GridModel *>(DBGrid1->model());
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    // The four pictures stand at the same place; one shows at a time.
    auto *pictures = new QGridLayout;
    Iooh = statusPicture(Panel1, QStringLiteral("Iooh"), QStringLiteral("Status"));
    IShades = statusPicture(Panel1, QStringLiteral("IShades"), QStringLiteral("Status: OK"));
    ISad = statusPicture(Panel1, QStringLiteral("ISad"), QStringLiteral("Status: Error "));
    IIndif = statusPicture(Panel1, QStringLiteral("IIndif"), QStringLiteral("Status: No events"));
    for (QLabel *l : {Iooh, IShades, ISad, IIndif})
        pictures->addWidget(l, 0, 0);
    StatusLine = new QLabel(Panel1);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    StatusLine->setWordWrap(true);
    StatusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *panel = new QHBoxLayout(Panel1);
    panel->setContentsMargins(2, 2, 2, 2);
    panel->addLayout(pictures);
    panel->addWidget(StatusLine, 1);
    Panel1->setMinimumHeight(37);

    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(DBGrid1, 1);
    l->addWidget(Panel1);
    // The text runs as the user typed it: a colon inside a block's body is
    // no parameter of ours.
    Query.setParamCheck(false);
}

TQueryForm::~TQueryForm()
{
    DataSource->setDataSet(nullptr);
    forms().removeAll(this);
}

void TQueryForm::UpdateStatus()
{
    QLabel *shown = Finished ? (Failed ? ISad : IShades) : (Failed ? Iooh : IIndif);
    for (QLabel *l : {Iooh, IShades, ISad, IIndif})
        l->setVisible(l == shown);
    shown->repaint();
}

void TQueryForm::SetRunning()
{
    Finished = false;
    UpdateStatus();
}

void TQueryForm::SetDone()
{
    Failed = false;
    Finished = true;
    UpdateStatus();
}

void TQueryForm::SetFailed()
{
    Failed = true;
    Finished = true;
    UpdateStatus();
}

TQueryThread::TQueryThread(TQueryForm *form) : Form(form)
{
    form->m_thread = this;
    // It frees itself once its run has ended; the window outlives it.
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

template <typename F>
void TQueryThread::synchronize(F f)
{
    QMetaObject::invokeMethod(this, f, Qt::BlockingQueuedConnection);
}

void TQueryThread::AttachResult()
{
    Form->Query.adoptRows(m_rows);
    m_rows.reset();
    Form->Query.open();
    Form->DataSource->setDataSet(&Form->Query);
}

void TQueryThread::ShowError()
{
    Form->StatusLine->setText(ErrorText);
}

bool TQueryThread::runStatement()
{
    engine::Statement &statement = Form->Query.statement();
    engine::TransactionGuard transaction(Form->Database);
    const bool query = statement.prepareIsQuery();
    if (g_ending)
        throw engine::Error(QStringLiteral("The program is ending"), engine::ErrorCategory::Cancelled);
    if (query)
        statement.open();
    else
        statement.execute();
    transaction.commit();
    if (query)
        m_rows = statement.rowSet();
    statement.close();
    return query;
}

void TQueryThread::run()
{
    try {
        const int n = sqlconsole::NextQueryNumber();
        Form->Session.setName(sqlconsole::NumberedName(QStringLiteral("Session"), n));
        Form->Database.setName(sqlconsole::NumberedName(QStringLiteral("Database"), n));
        if (g_ending)
            throw engine::Error(QStringLiteral("The program is ending"), engine::ErrorCategory::Cancelled);
        Form->Database.open();
        synchronize([this] { Form->SetRunning(); });
        if (runStatement())
            synchronize([this] { AttachResult(); });
        synchronize([this] { Form->SetDone(); });
    } catch (const std::exception &e) {
        ErrorText = sqlconsole::FailureText(e);
        synchronize([this] { ShowError(); });
        synchronize([this] { Form->SetFailed(); });
    }
}

TQueryThread *StartBackgroundQuery(const QString &caption, const QString &alias, const QString &user,
                                   const QString &password, const QString &sqlText, bool isSelect, int clearBelow)
{
    auto *form = new TQueryForm;
    forms().append(form);
    form->setWindowTitle(caption);
    // Each window a step apart from the one before, rather than all
    // stacked at 0,0, and off the main window's tool bar.
    if (const QScreen *s = form->screen()) {
        QRect area = s->availableGeometry();
        if (clearBelow > area.top() && area.bottom() - clearBelow > form->frameGeometry().height())
            area.setTop(clearBelow);
        form->move(platform::cascadePosition(area, form->frameGeometry().size(), int(forms().size()) - 1));
    }
    form->show();
    form->Database.setAliasName(alias);
    form->Database.setParams({QStringLiteral("USER NAME=") + user, QStringLiteral("PASSWORD=") + password});
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    form->Query.setSql(sqlText.split(lineBreak));
    form->IsSelect = isSelect;
    auto *thread = new TQueryThread(form);
    thread->start();
    return thread;
}

void EndBackgroundQueries()
{
    g_ending = true;
    for (TQueryForm *form : std::as_const(forms())) {
        // A cancel that comes before the statement has started is lost on
        // some paths, so it is repeated until the worker has ended; the
        // worker's synchronised calls are served meanwhile.
        while (TQueryThread *t = form->thread()) {
            form->Database.cancel();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
            if (t->wait(10)) {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
                delete t;
            }
        }
    }
    qDeleteAll(QList<TQueryForm *>(forms()));
    forms().clear();
    g_ending = false;
}

QList<TQueryForm *> BackgroundQueryForms()
{
    return forms();
}
