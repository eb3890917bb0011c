// The page GrAct: grant groups assigned to users, user groups and PUBLIC and
// taken back, each step at once in the open transaction, which the page's
// own buttons commit or roll back. The work is GroupAssignments'.
#include "privileges/grant_un.h"

#include "engine/GridModel.h"
#include "platform/GridColumns.h"
#include "platform/Prompter.h"
#include "privileges/PrivilegeList.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

namespace {

struct Column {
    QString field;
    QString title;
    int width = 0; // 0: as the grid sizes it
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
};

// A grid over a data set that shows the chosen fields only, under titles
// of its own and in the order given: the data sets are shared with other
// pages, which show them otherwise.
class TitledGridModel : public engine::GridModel {
public:
    TitledGridModel(engine::DataSet *ds, QTableView *grid, QVector<Column> columns)
        : engine::GridModel(ds, grid), m_grid(grid), m_columns(std::move(columns))
    {
        grid->setModel(this);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->verticalHeader()->setDefaultSectionSize(18);
        grid->horizontalHeader()->setStretchLastSection(true);
        followSelection(grid->selectionModel());
        // Before arrange, so the widths given for a column stand.
        platform::fitColumnsWhenFilled(grid);
        // After the grid's own handling of the reset, which shows every
        // column again.
        connect(this, &QAbstractItemModel::modelReset, this, &TitledGridModel::arrange);
        arrange();
    }

    void setTitle(const QString &field, const QString &title)
    {
        for (Column &c : m_columns)
            if (c.field == field)
                c.title = title;
        emit headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        const Column *c = orientation == Qt::Horizontal ? columnAt(section) : nullptr;
        if (c && role == Qt::DisplayRole)
            return c->title;
        if (c && role == Qt::TextAlignmentRole)
            return QVariant::fromValue(c->align);
        return engine::GridModel::headerData(section, orientation, role);
    }

private:
    const Column *columnAt(int section) const
    {
        const int field = fieldAt(section);
        if (field < 0 || !dataSet())
            return nullptr;
        const QString name = dataSet()->fieldDef(field).name;
        for (const Column &c : m_columns)
            if (c.field.compare(name, Qt::CaseInsensitive) == 0)
                return &c;
        return nullptr;
    }

    void arrange()
    {
        QHeaderView *header = m_grid->horizontalHeader();
        for (int section = 0; section < columnCount(); ++section)
            m_grid->setColumnHidden(section, !columnAt(section));
        for (int i = 0; i < m_columns.size(); ++i) {
            const int section = columnOf(m_columns[i].field);
            if (section < 0)
                continue;
            header->moveSection(header->visualIndex(section), i);
            if (m_columns[i].width > 0)
                header->resizeSection(section, m_columns[i].width);
        }
    }

    QTableView *m_grid;
    QVector<Column> m_columns;
};

// Hands a grid's cells to its owner-draw handler.
class DrawColumnCell : public QStyledItemDelegate {
public:
    using Draw = std::function<void(QPainter *, const QStyleOptionViewItem &, const QModelIndex &)>;
    DrawColumnCell(QObject *parent, Draw draw) : QStyledItemDelegate(parent), m_draw(std::move(draw)) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        m_draw(painter, option, index);
    }

private:
    Draw m_draw;
};

// Hands the printable keys typed in a grid to its letter search; the grid's
// own search would move elsewhere.
class KeyPress : public QObject {
public:
    KeyPress(QObject *grid, std::function<void(const QString &)> press) : QObject(grid), m_press(std::move(press))
    {
        grid->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const QString typed = static_cast<QKeyEvent *>(event)->text();
        if (typed.isEmpty() || !typed.at(0).isPrint() || typed.at(0).isSpace())
            return false;
        m_press(typed);
        return true;
    }

private:
    std::function<void(const QString &)> m_press;
};

} // namespace

void TLorvane::bindGrantActionPage()
{
    bind(gmvbtn, &TLorvane::gmvbtnClick);
    bind(gmvallbtn, &TLorvane::gmvallbtnClick);
    bind(gremvbtn, &TLorvane::gremvbtnClick);
    bind(gremvallbtn, &TLorvane::gremvallbtnClick);
    bind(gokbtn, &TLorvane::gokbtnClick);
    bind(gescbtn, &TLorvane::gescbtnClick);
    const std::pair<QTableView *, void (TLorvane::*)(const QString &)> searches[] = {
        {uusergrid, &TLorvane::uusergridKeyPress}, {metagrid, &TLorvane::metagridKeyPress},
        {metalist, &TLorvane::metalistKeyPress}};
    for (const auto &[grid, handler] : searches)
        new KeyPress(grid, [this, h = handler](const QString &typed) { guarded([&] { (this->*h)(typed); }); });
    uusergrid->setItemDelegate(new DrawColumnCell(uusergrid, [this](QPainter *p, const QStyleOptionViewItem &o,
                                                                    const QModelIndex &i) { uusergridDrawColumnCell(p, o, i); }));
    metagrid->setItemDelegate(new DrawColumnCell(metagrid, [this](QPainter *p, const QStyleOptionViewItem &o,
                                                                  const QModelIndex &i) { metagridDrawColumnCell(p, o, i); }));
}

void TLorvane::showAssignmentGrids(TGrantData *data)
{
    new TitledGridModel(&data->usersdef, uusergrid,
                        {{QStringLiteral("USERTYPE"), QStringLiteral("Users"), 40},
                         {QStringLiteral("UGNAME"), QStringLiteral("& UserGroups")}});
    new TitledGridModel(&data->metasgrp, metagrid,
                        {{QStringLiteral("UTYPE"), QStringLiteral("Group "), 54}, {QStringLiteral("UFNAME"), QStringLiteral(" ''")}});
    new TitledGridModel(&data->metagrp, metalist,
                        {{QStringLiteral("GGNAME"), QStringLiteral("GrantGroups"), 0, Qt::AlignCenter}});
}

void TLorvane::setHoldersTitle(const QString &title)
{
    if (auto *model = dynamic_cast<TitledGridModel *>(metagrid->model()))
        model->setTitle(QStringLiteral("UFNAME"), title);
}

privileges::GroupAssignments TLorvane::assignments()
{
    return privileges::GroupAssignments(*GrantData, progress());
}

void TLorvane::assignmentStep(const std::function<void()> &work, bool pendingAfter)
{
    try {
        work();
    } catch (const privileges::LayerRefusal &) {
        ubuttons();
        throw; // refused before anything was sent: the work pending stays
    } catch (...) {
        resetPageControls();
        ubuttons();
        throw;
    }
    gokbtn->setEnabled(pendingAfter);
    gescbtn->setEnabled(pendingAfter);
    const bool shown = GrantPages->currentWidget() == GrAct;
    Commit3->setEnabled(pendingAfter && shown);
    RollBack3->setEnabled(pendingAfter && shown);
    ubuttons();
}

namespace {

bool confirmed(const QString &question)
{
    return platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), question)
           == platform::Prompter::Answer::Yes;
}

} // namespace

void TLorvane::gmvbtnClick()
{
    privileges::GroupAssignments a = assignments();
    const privileges::Candidate holder = a.currentCandidate();
    const QString group = a.currentGroup();
    assignmentStep([&] { a.assign(holder, group); }, true);
}

void TLorvane::gmvallbtnClick()
{
    privileges::GroupAssignments a = assignments();
    const QString group = a.currentGroup();
    assignmentStep([&] { a.assignAll(group); }, true);
}

void TLorvane::gremvbtnClick()
{
    privileges::GroupAssignments a = assignments();
    const QString group = a.currentGroup();
    const QString holder = a.currentHolder();
    if (confirmed(privileges::revokeAssignmentQuestion(group, holder)))
        assignmentStep([&] { a.remove(group, holder); }, true);
}

void TLorvane::gremvallbtnClick()
{
    privileges::GroupAssignments a = assignments();
    const QString group = a.currentGroup();
    if (confirmed(privileges::revokeAllAssignmentsQuestion(group)))
        assignmentStep([&] { a.removeAll(group); }, true);
}

void TLorvane::gokbtnClick()
{
    assignmentStep([this] { assignments().commit(); }, false);
}

void TLorvane::gescbtnClick()
{
    assignmentStep([this] { assignments().rollback(); }, false);
}

void TLorvane::uusergridKeyPress(const QString &typed)
{
    m_uusergridSearch.keyPress(GrantData->usersdef, QStringLiteral("ugname"), typed);
}

void TLorvane::metagridKeyPress(const QString &typed)
{
    m_metagridSearch.keyPress(GrantData->metasgrp, QStringLiteral("ufname"), typed);
}

void TLorvane::metalistKeyPress(const QString &typed)
{
    m_metalistSearch.keyPress(GrantData->metagrp, QStringLiteral("ggname"), typed);
}

void TLorvane::uusergridDrawColumnCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    drawHolderCell(painter, option, index, QStringLiteral("USERTYPE"));
}

void TLorvane::metagridDrawColumnCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    drawHolderCell(painter, option, index, QStringLiteral("UTYPE"));
}

// The type column shows the holder's icon (a user, or a user group and
// PUBLIC), the other columns their text, both 4 pixels in and 2 down.
void TLorvane::drawHolderCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index,
                              const QString &typeField)
{
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(option.rect, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    const auto *model = static_cast<const engine::GridModel *>(index.model());
    engine::DataSet *ds = model->dataSet();
    if (!ds || ds->isEmpty() || index.row() >= ds->recordCount())
        return;
    const QPoint at = option.rect.topLeft() + QPoint(4, 2);
    if (model->fieldAt(index.column()) == ds->fieldIndex(typeField)) {
        const int image = ds->valueAt(index.row(), ds->fieldIndex(typeField)).toInt() + (selected ? 6 : 7);
        if (image >= 0 && image < ledcntner.size())
            ledcntner[image].paint(painter, QRect(at, QSize(16, 16)));
        return;
    }
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QRect(at, option.rect.bottomRight()), Qt::AlignLeft | Qt::AlignTop, index.data().toString());
}
