#include "privileges/ibnames.h"

#include "engine/Error.h"
#include "engine/GridModel.h"
#include "platform/GridColumns.h"
#include "privileges/UserRegistry.h"
#include "privileges/gdata_un.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

TIBnames *IBnames = nullptr;

TIBnames::TIBnames(TGrantData &data, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), IBUsers(&data.grantdb), m_data(data)
{
    IBnames = this;
    setObjectName(QStringLiteral("IBnames"));
    setWindowTitle(QStringLiteral("IB Server Users"));
    resize(480, 300);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    auto *model = new engine::GridModel(&IBUsers, DBGrid1);
    DBGrid1->setModel(model);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    model->followSelection(DBGrid1->selectionModel());
    platform::fitColumnsWhenFilled(DBGrid1);

    ownlbl = new QLabel(privileges::ownUserOnlyText(), this);
    ownlbl->setObjectName(QStringLiteral("ownlbl"));
    ownlbl->setWordWrap(true);
    ownlbl->hide();
    AllUsers = new QRadioButton(QStringLiteral("All Users"), this);
    AllUsers->setObjectName(QStringLiteral("AllUsers"));
    RadioButton1 = new QRadioButton(QStringLiteral("Unregistered Users"), this);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setChecked(true);
    okbtn = new QPushButton(QStringLiteral("&Add"), this);
    okbtn->setObjectName(QStringLiteral("okbtn"));
    okbtn->setDefault(true);
    okbtn->setEnabled(false);
    cancelbtn = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelbtn->setObjectName(QStringLiteral("cancelbtn"));

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(AllUsers);
    bottom->addWidget(RadioButton1);
    bottom->addStretch();
    bottom->addWidget(okbtn);
    bottom->addWidget(cancelbtn);
    auto *l = new QVBoxLayout(this);
    l->addWidget(DBGrid1);
    l->addWidget(ownlbl);
    l->addLayout(bottom);

    connect(AllUsers, &QRadioButton::clicked, this, &TIBnames::AllUsersClick);
    connect(RadioButton1, &QRadioButton::clicked, this, &TIBnames::RadioButton1Click);
    connect(okbtn, &QPushButton::clicked, this, &TIBnames::okbtnClick);
    connect(cancelbtn, &QPushButton::clicked, this, &TIBnames::cancelbtnClick);
    connect(DBGrid1, &QTableView::doubleClicked, this, [this] {
        if (okbtn->isEnabled())
            okbtnClick();
    });
}

TIBnames::~TIBnames()
{
    if (IBnames == this)
        IBnames = nullptr;
}

bool TIBnames::usersview(bool unregisteredOnly)
{
    engine::ControlsFrozen frozen(IBUsers);
    IBUsers.close();
    IBUsers.sql().clear();
    IBUsers.sql() << privileges::serverUsersListStatement(unregisteredOnly);
    okbtn->setEnabled(false);
    m_lastError.clear();
    try {
        // Only read: a refusal here leaves the open transaction and the
        // work pending in it alone.
        m_data.transaction.ensure();
        IBUsers.open();
        ownlbl->setVisible(privileges::seesOwnUserOnly(m_data.grantdb));
    } catch (const engine::Error &e) {
        IBUsers.close();
        m_lastError = e.message();
        return false;
    }
    okbtn->setEnabled(!IBUsers.isEmpty());
    return true;
}

void TIBnames::reread(bool unregisteredOnly)
{
    if (!usersview(unregisteredOnly) && showError)
        showError(m_lastError);
}

void TIBnames::AllUsersClick()
{
    reread(false);
}

void TIBnames::RadioButton1Click()
{
    reread(true);
}

TIBnames::Chosen TIBnames::chosen()
{
    Chosen c;
    if (!IBUsers.isActive() || IBUsers.isEmpty())
        return c;
    const auto part = [this](const char *field) -> std::optional<QString> {
        const engine::Field f = IBUsers.fieldByName(QLatin1String(field));
        if (f.isNull())
            return std::nullopt;
        return f.asString().trimmed();
    };
    c.user = IBUsers.fieldByName(QStringLiteral("USER_NAME")).asString().trimmed();
    c.first = part("FIRST_NAME");
    c.middle = part("MIDDLE_NAME");
    c.last = part("LAST_NAME");
    return c;
}

void TIBnames::okbtnClick()
{
    accept();
}

void TIBnames::cancelbtnClick()
{
    reject();
}

void TIBnames::FormShow()
{
    if (parentWidget())
        setFont(parentWidget()->font());
}

void TIBnames::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}
