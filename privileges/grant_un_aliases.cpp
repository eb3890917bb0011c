// Alias administration on the connection page: the alias list, the
// parameter grid with its in-place value list, the three alias buttons, the
// language-driver mapping and the session information.
#include "privileges/grant_un.h"

#include "engine/EngineLists.h"
#include "engine/Error.h"
#include "engine/LanguageDrivers.h"
#include "engine/Session.h"
#include "platform/GridColumns.h"
#include "platform/Prompter.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

using connectrules::ParamRow;
using platform::Prompter;

namespace {

const QString kDriver = QStringLiteral("INTRBASE");
const QString kConfirm = QStringLiteral("Confirmation");
// The description and name columns of the engine's language-driver list are
// this wide.
const int kDriverField = 31;

// The list sorts its aliases by text, without regard to case.
class AliasItem : public QTreeWidgetItem {
public:
    AliasItem(QTreeWidget *list, const QString &name) : QTreeWidgetItem(list, QStringList{name}) {}
    bool operator<(const QTreeWidgetItem &other) const override
    {
        return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
    }
};

engine::Session &session()
{
    return engine::Session::defaultSession();
}

bool yes(const QString &question)
{
    return Prompter::instance().confirm(kConfirm, question) == Prompter::Answer::Yes;
}

QTableWidgetItem *cell(const QString &text, bool editable)
{
    auto *item = new QTableWidgetItem(text);
    if (!editable)
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

void TLorvane::FillList()
{
    for (const engine::LanguageDriver &d : engine::languageDrivers()) {
        LangDriverDescs << d.description.left(kDriverField);
        LangDriverNames << d.name.left(kDriverField);
    }
}

connectrules::LangDrivers TLorvane::langDrivers()
{
    if (LangDriverDescs.size() < 2 || LangDriverNames.size() < 2)
        FillList();
    return {LangDriverDescs, LangDriverNames};
}

QString TLorvane::ChooseDesc(const QString &name)
{
    return langDrivers().descOf(name);
}

QString TLorvane::ChooseName(const QString &description)
{
    return langDrivers().nameOf(description);
}

void TLorvane::Refsys()
{
    SsInfo->clear();
    const engine::SystemConfiguration config = engine::systemConfiguration();
    const engine::SystemStatus status = engine::systemStatus({&session()});
    SsInfo->addItems(connectrules::sessionLines(config, status));
    Nt->setText(config.networkType);
    Un->setText(config.userName);
}

void TLorvane::FillAliasBox()
{
    const QStringList names =
        connectrules::interbaseAliases(session().aliasNames(), [](const QString &a) { return session().aliasDriver(a); });
    for (const QString &n : names)
        new AliasItem(aliasbox, n);
    AliasBoxChange(aliasbox->currentItem());
}

void TLorvane::BtnEnabled(int mode)
{
    const connectrules::AliasButtons b = connectrules::aliasButtons(mode);
    AddAliasBtn->setEnabled(true);
    Add2->setEnabled(true);
    if (!b.addCaption.isEmpty()) {
        AddAliasBtn->setText(b.addCaption);
        Add2->setText(b.add2Caption);
    }
    ModifyAliasBtn->setEnabled(b.modify);
    Modify2->setEnabled(b.modify);
    DelAliasBtn->setEnabled(b.del);
    Delete2->setEnabled(b.del);
    if (!b.delCaption.isEmpty()) {
        DelAliasBtn->setText(b.delCaption);
        Delete2->setText(b.delete2Caption);
    }
}

void TLorvane::showAliasRows(const QString &alias, const QStringList &params, bool nameEditable)
{
    const QVector<ParamRow> rows = connectrules::gridRows(params, langDrivers());
    AliasParams->clearContents();
    AliasParams->setRowCount(int(rows.size()) + 1);
    AliasParams->setItem(0, 0, cell(QStringLiteral("Alias"), false));
    AliasParams->setItem(0, 1, cell(alias, nameEditable));
    for (int i = 0; i < rows.size(); ++i) {
        AliasParams->setItem(i + 1, 0, cell(rows.at(i).name, false));
        AliasParams->setItem(i + 1, 1, cell(rows.at(i).value, true));
    }
}

QString TLorvane::gridText(int row, int column) const
{
    const QTableWidgetItem *item = AliasParams->item(row, column);
    return item ? item->text() : QString();
}

QStringList TLorvane::gridParamLines()
{
    QVector<ParamRow> rows;
    for (int r = 1; r < AliasParams->rowCount(); ++r)
        rows << ParamRow{gridText(r, 0), gridText(r, 1)};
    const connectrules::LangDrivers drivers = langDrivers();
    const QString refusal = connectrules::unknownDriverText(rows, drivers);
    if (!refusal.isEmpty())
        throw engine::Error(refusal);
    return connectrules::paramLines(rows, drivers);
}

void TLorvane::fitAliasColumns()
{
    // The values fill the grid; a longer one (a database path) widens its
    // column past that, and the grid scrolls instead of cutting it.
    const int fill = AliasParams->viewport()->width() - AliasParams->columnWidth(0) - 1;
    const int column1 = qMax(fill, platform::fittedColumnWidth(AliasParams, 1));
    AliasParams->setColumnWidth(1, column1);
    DefParamList->resize(column1, DefParamList->height());
}

void TLorvane::AliasBoxChange(QTreeWidgetItem *item)
{
    if (item) {
        BtnEnabled(1);
        QTreeWidgetItem *shown = aliasbox->currentItem() ? aliasbox->currentItem() : aliasbox->topLevelItem(0);
        if (!shown)
            return;
        const QString alias = shown->text(0);
        showAliasRows(alias, session().aliasParams(alias), false);
    } else {
        BtnEnabled(0);
    }
    fitAliasColumns();
}

void TLorvane::FillNewParams()
{
    showAliasRows(QString(), engine::Session::driverDefaultParams(kDriver), true);
    AliasParamsTopLeftChanged();
}

void TLorvane::AddAliasBtnClick()
{
    if (AddAliasBtn->text().trimmed() == QLatin1String("&Add")) {
        FillNewParams();
        BtnEnabled(2);
        aliasbox->setEnabled(false);
        return;
    }
    const QString name = gridText(0, 1);
    if (name.isEmpty())
        throw engine::Error(QStringLiteral("AliasName is not specified"));
    const QStringList lines = gridParamLines();
    if (!yes(QStringLiteral("Save Alias?")))
        return;
    session().addAlias(name, kDriver, lines);
    aliasbox->setEnabled(true);
    AliasParams->item(0, 1)->setFlags(AliasParams->item(0, 1)->flags() & ~Qt::ItemIsEditable);
    // The saved alias becomes the selected one, as if picked from the list:
    // the grid then shows what was stored under it.
    auto *item = new AliasItem(aliasbox, name);
    item->setIcon(0, aliasIcon());
    aliasbox->setCurrentItem(item);
    aliasbox->repaint();
    BtnEnabled(1);
    session().saveConfigFile();
}

QIcon TLorvane::aliasIcon() const
{
    return style()->standardIcon(QStyle::SP_DriveNetIcon);
}

void TLorvane::ModifyAliasBtnClick()
{
    const QStringList lines = gridParamLines();
    if (!yes(QStringLiteral("Save current Alias Params?")))
        return;
    session().modifyAlias(gridText(0, 1), lines);
    session().saveConfigFile();
}

void TLorvane::DelAliasBtnClick()
{
    if (DelAliasBtn->text().trimmed() != QLatin1String("&Delete")) {
        // Cancel of a new alias: the list's alias is shown again.
        aliasbox->setEnabled(true);
        if (aliasbox->topLevelItemCount() == 0) {
            BtnEnabled(0);
            return;
        }
        AliasBoxChange(aliasbox->currentItem() ? aliasbox->currentItem() : aliasbox->topLevelItem(0));
        return;
    }
    const QString name = gridText(0, 1);
    if (!yes(QStringLiteral("Delete Alias \"%1\"?").arg(name)))
        return;
    session().deleteAlias(name);
    // The item of the deleted alias goes, whether or not it was selected.
    const QList<QTreeWidgetItem *> items = aliasbox->findItems(name, Qt::MatchFixedString);
    {
        const QSignalBlocker quiet(aliasbox);
        for (QTreeWidgetItem *item : items)
            delete item;
        aliasbox->setCurrentItem(nullptr);
    }
    aliasbox->repaint();
    session().saveConfigFile();
    AliasBoxChange(nullptr);
}

void TLorvane::Add2Click()
{
    GrantPages->setCurrentWidget(Connect);
    AddAliasBtnClick();
}

void TLorvane::Modify2Click()
{
    GrantPages->setCurrentWidget(Connect);
    ModifyAliasBtnClick();
}

void TLorvane::Delete2Click()
{
    GrantPages->setCurrentWidget(Connect);
    DelAliasBtnClick();
}

void TLorvane::AliasParamsClick()
{
    DefParamList->clear();
    const QStringList values =
        connectrules::fixedValues(gridText(AliasParams->currentRow(), 0), langDrivers().descs);
    if (values.isEmpty()) {
        DefParamList->hide();
        DefParamListTag = 0;
        return;
    }
    DefParamList->addItems(values);
    placeDefParamList();
    {
        const QSignalBlocker quiet(DefParamList);
        DefParamList->setCurrentText(gridText(AliasParams->currentRow(), 1));
    }
    DefParamList->show();
    DefParamList->raise();
    DefParamListTag = 1;
}

void TLorvane::placeDefParamList()
{
    // Over the value cell of the current row, a pixel larger each way.
    const int row = AliasParams->currentRow();
    const QPoint origin = AliasParams->pos() + AliasParams->viewport()->pos();
    DefParamList->setGeometry(origin.x() + AliasParams->columnViewportPosition(1),
                              origin.y() + AliasParams->rowViewportPosition(row), AliasParams->columnWidth(1) + 1,
                              AliasParams->rowHeight(row) + 1);
}

void TLorvane::AliasParamsTopLeftChanged()
{
    if (DefParamListTag != 1)
        return;
    const int row = AliasParams->currentRow();
    const int top = AliasParams->rowViewportPosition(row);
    if (top < 0 || top + AliasParams->rowHeight(row) > AliasParams->viewport()->height()) {
        DefParamList->hide();
        DefParamListTag = 0;
    } else {
        placeDefParamList();
    }
}

void TLorvane::DefParamListChange()
{
    const int row = AliasParams->currentRow();
    if (row < 0)
        return;
    if (!AliasParams->item(row, 1))
        AliasParams->setItem(row, 1, cell(QString(), true));
    AliasParams->item(row, 1)->setText(DefParamList->currentText());
}

void TLorvane::DefParamListDropDown()
{
    if (gridText(AliasParams->currentRow(), 0) != QLatin1String("LANGDRIVER") || LangDriverDescs.size() >= 2)
        return;
    langDrivers();
    const QSignalBlocker quiet(DefParamList);
    DefParamList->clear();
    DefParamList->addItems(LangDriverDescs);
}
