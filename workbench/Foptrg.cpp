#include "workbench/Foptrg.h"

#include "workbench/DM1.h"

#include <QPushButton>
#include <QTableView>

TfmOpenTrig *fmOpenTrig = nullptr;

TfmOpenTrig::TfmOpenTrig(WorkStatus &status, QWidget *parent)
    : TChooserDialog(QStringLiteral("RDB$TRIGGER_NAME"), QStringLiteral("RDB$TRIGGER_SOURCE"), status, parent)
{
    fmOpenTrig = this;
    setObjectName(QStringLiteral("fmOpenTrig"));
    setWindowTitle(QStringLiteral("Choose trigger"));
    Query1.setSql(QStringList{QStringLiteral("select * from RDB$Triggers"),
                              QStringLiteral("where RDB$System_Flag is null or RDB$System_Flag = 0"),
                              QStringLiteral("order by RDB$Trigger_Name")});
}

TfmOpenTrig::~TfmOpenTrig()
{
    if (fmOpenTrig == this)
        fmOpenTrig = nullptr;
}

void TfmOpenTrig::arrangeColumns()
{
    const QVector<engine::FieldDef> fields = Query1.fields();
    for (const engine::FieldDef &f : fields)
        Query1.setFieldVisible(f.name, f.name == QLatin1String("RDB$TRIGGER_NAME"));
    Query1.setDisplayLabel(QStringLiteral("RDB$TRIGGER_NAME"), QStringLiteral("Trigger Name"));
}

void TfmOpenTrig::takeRow()
{
    TrigName = currentName();
    RelationName = Query1.fieldByName(QStringLiteral("RDB$RELATION_NAME")).asString().trimmed();
    TrigType = qint16(Query1.fieldByName(QStringLiteral("RDB$TRIGGER_TYPE")).asInteger());
    TrigSequence = qint16(Query1.fieldByName(QStringLiteral("RDB$TRIGGER_SEQUENCE")).asInteger());
    TrigInactive = qint16(Query1.fieldByName(QStringLiteral("RDB$TRIGGER_INACTIVE")).asInteger());
}

bool TfmOpenTrig::SelectByName(const QString &name)
{
    reopenListReconnecting();
    OKBtn->setEnabled(!Query1.isEmpty());
    if (Query1.isEmpty()) {
        TrigName = QStringLiteral("Unknown");
        return false;
    }
    return selectName(name);
}
