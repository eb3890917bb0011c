#include "privileges/gmes_un.h"

#include "engine/Error.h"
#include "platform/Prompter.h"
#include "privileges/GrantGroups.h"
#include "privileges/gdata_un.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

Tgrantmes *grantmes = nullptr;

namespace {

// The tick cell: ticked and not ticked, as check-box characters of any font.
const QString kTicked = QStringLiteral("\u2611");
const QString kUnticked = QStringLiteral("\u2610");

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &text)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

void showError(QWidget *dialog, const QString &text)
{
    platform::Prompter::instance().message(platform::Prompter::Icon::Error, dialog->windowTitle(), text);
}

} // namespace

Tgrantmes::Tgrantmes(TGrantData &data, QWidget *parent) : QDialog(parent), m_data(data)
{
    grantmes = this;
    setObjectName(QStringLiteral("grantmes"));
    setWindowTitle(QStringLiteral("Grant privilege"));

    privbox = new QGroupBox(QStringLiteral("Privileges"), this);
    privbox->setObjectName(QStringLiteral("privbox"));
    selcheck = checkBox(privbox, "selcheck", QStringLiteral("Select"));
    inscheck = checkBox(privbox, "inscheck", QStringLiteral("Insert"));
    delcheck = checkBox(privbox, "delcheck", QStringLiteral("Delete"));
    updcheck = checkBox(privbox, "updcheck", QStringLiteral("Update"));
    soption = checkBox(privbox, "soption", QStringLiteral("Grant option"));
    ioption = checkBox(privbox, "ioption", QStringLiteral("Grant option"));
    doption = checkBox(privbox, "doption", QStringLiteral("Grant option"));
    uoption = checkBox(privbox, "uoption", QStringLiteral("Grant option"));
    auto *grid = new QGridLayout(privbox);
    QCheckBox *rows[][2] = {{selcheck, soption}, {inscheck, ioption}, {delcheck, doption}, {updcheck, uoption}};
    for (int r = 0; r < 4; ++r) {
        grid->addWidget(rows[r][0], r, 0);
        grid->addWidget(rows[r][1], r, 1);
    }

    Fieldlist = new QTableWidget(0, 2, this);
    Fieldlist->setObjectName(QStringLiteral("Fieldlist"));
    Fieldlist->verticalHeader()->hide();
    Fieldlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Fieldlist->setSelectionMode(QAbstractItemView::NoSelection);
    Fieldlist->horizontalHeader()->setStretchLastSection(true);

    metalbl = new QLabel(this);
    metalbl->setObjectName(QStringLiteral("metalbl"));
    userlbl = new QLabel(this);
    userlbl->setObjectName(QStringLiteral("userlbl"));
    okbtn = new QPushButton(QStringLiteral("OK"), this);
    okbtn->setObjectName(QStringLiteral("okbtn"));
    okbtn->setDefault(true);
    cancelbtn = new QPushButton(QStringLiteral("Cancel"), this);
    cancelbtn->setObjectName(QStringLiteral("cancelbtn"));

    auto *title = new QLabel(QStringLiteral("Grant"), this);
    auto *top = new QHBoxLayout;
    top->addWidget(title);
    top->addWidget(metalbl, 1);
    top->addWidget(userlbl, 1);
    auto *middle = new QHBoxLayout;
    middle->addWidget(privbox);
    middle->addWidget(Fieldlist, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okbtn);
    buttons->addWidget(cancelbtn);
    auto *l = new QVBoxLayout(this);
    l->addLayout(top);
    l->addLayout(middle);
    l->addLayout(buttons);

    connect(okbtn, &QPushButton::clicked, this, &Tgrantmes::okbtnClick);
    connect(cancelbtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(Fieldlist, &QTableWidget::cellClicked, this, &Tgrantmes::FieldlistMouseUp);
    FormCreate();
}

Tgrantmes::~Tgrantmes()
{
    if (grantmes == this)
        grantmes = nullptr;
}

void Tgrantmes::FormCreate()
{
    Fieldlist->setHorizontalHeaderLabels({QString(), QStringLiteral("Fields")});
    Fieldlist->setColumnWidth(0, Fieldlist->verticalHeader()->defaultSectionSize());
}

void Tgrantmes::FormShow()
{
    if (parentWidget())
        setFont(QFont(parentWidget()->font().family(), font().pointSize()));
    for (QLabel *label : {metalbl, userlbl}) {
        label->setAutoFillBackground(true);
        label->setBackgroundRole(QPalette::Window);
    }
}

void Tgrantmes::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tgrantmes::prepare(Mode mode, const QString &object, const QStringList &columns, int tag,
                        const privileges::Grantee &grantee)
{
    m_mode = mode;
    m_object = object;
    m_grantee = grantee;
    Tag = tag;
    for (QCheckBox *box : {selcheck, inscheck, delcheck, updcheck})
        box->setChecked(true);
    const bool options = mode == Mode::Group || grantee.type == privileges::GranteeType::User;
    for (QCheckBox *box : {soption, ioption, doption, uoption}) {
        box->setChecked(false);
        box->setEnabled(options);
    }
    metalbl->setText(mode == Mode::Group ? object : QStringLiteral("on ") + object);
    userlbl->setText(privileges::granteeLabel(QStringLiteral("to"), grantee));
    userlbl->setVisible(mode == Mode::Direct);
    Fieldlist->setRowCount(int(columns.size()));
    for (int r = 0; r < columns.size(); ++r) {
        Fieldlist->setItem(r, 0, new QTableWidgetItem);
        Fieldlist->setItem(r, 1, new QTableWidgetItem(columns[r]));
        setTicked(r, true);
    }
}

void Tgrantmes::prepareGroup(const privileges::MoveTarget &target, privileges::GrantGroups &groups)
{
    prepare(Mode::Group, target.object, target.columns, target.dialogTag);
    groupGrant = [&groups, object = target.object, type = target.type](const QVector<privileges::GroupGrantCall> &calls) {
        groups.addGroupGrants(object, type, calls);
    };
}

void Tgrantmes::setTicked(int row, bool ticked)
{
    QTableWidgetItem *cell = Fieldlist->item(row, 0);
    cell->setData(Qt::UserRole, ticked);
    cell->setText(ticked ? kTicked : kUnticked);
}

bool Tgrantmes::isTicked(int row) const
{
    const QTableWidgetItem *cell = Fieldlist->item(row, 0);
    return cell && cell->data(Qt::UserRole).toBool();
}

void Tgrantmes::FieldlistMouseUp(int row, int)
{
    if (Tag == 0 && row >= 0 && row < Fieldlist->rowCount())
        setTicked(row, !isTicked(row));
}

privileges::GrantChoice Tgrantmes::choice() const
{
    privileges::GrantChoice c;
    c.object = m_object;
    c.grantee = m_grantee;
    c.select = selcheck->isChecked();
    c.insert = inscheck->isChecked();
    c.remove = delcheck->isChecked();
    c.update = updcheck->isChecked();
    c.selectOption = soption->isChecked();
    c.insertOption = ioption->isChecked();
    c.removeOption = doption->isChecked();
    c.updateOption = uoption->isChecked();
    for (int r = 0; r < Fieldlist->rowCount(); ++r)
        if (Tag == 1 ? r == 0 : isTicked(r))
            c.updateColumns << Fieldlist->item(r, 1)->text();
    // One fixed column is always that column, even of a one-column table.
    c.allColumns = Tag == 0 && c.updateColumns.size() == Fieldlist->rowCount();
    return c;
}

bool Tgrantmes::FormCloseQuery()
{
    if (privbox->isHidden())
        return true;
    if (selcheck->isChecked() || inscheck->isChecked() || delcheck->isChecked() || updcheck->isChecked())
        return true;
    showError(this, QStringLiteral("You must check one of the options"));
    return false;
}

void Tgrantmes::done(int result)
{
    if (result == QDialog::Accepted && !FormCloseQuery())
        return;
    QDialog::done(result);
}

void Tgrantmes::okbtnClick()
{
    const privileges::GrantChoice c = choice();
    if (c.update && c.updateColumns.isEmpty()) {
        showError(this, QStringLiteral("Please, choose updateable fields"));
        return;
    }
    try {
        if (m_mode == Mode::Direct) {
            for (const QString &refusal : privileges::DirectGrants(m_data).grant(c))
                showError(this, refusal);
        } else if (groupGrant) {
            groupGrant(privileges::groupGrantCalls(c));
        }
    } catch (const engine::Error &e) {
        showError(this, e.message());
        return;
    }
    done(QDialog::Accepted);
}
