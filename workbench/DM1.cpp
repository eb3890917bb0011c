#include "workbench/DM1.h"

#include "engine/SqlText.h"
#include "engine/Error.h"
#include "engine/Transaction.h"
#include "workbench/CatalogueText.h"
#include "workbench/ConnectParams.h"

TDM *DM = nullptr;

namespace {

// Catalogue statements. Where Firebird 3 holds objects InterBase did not (system
// domains, generators and triggers, PSQL functions, packaged procedures), the
// lists leave them out by their flags, so they show what the user made.
const QString kDomainSql = QStringLiteral(
    "select F.RDB$Field_Name, F.RDB$Field_Type, RDB$Field_Sub_Type, F.RDB$Field_Length, RDB$Field_Scale, "
    "F.RDB$Validation_Source, F.RDB$Default_Source, F.RDB$Computed_Source, F.RDB$Segment_Length, "
    "F.RDB$Collation_ID, F.RDB$Character_Set_ID, F.RDB$Character_Length, F.RDB$Field_Precision from RDB$Fields F "
    "where (not (RDB$Field_Name like \"RDB$%\")) and (F.RDB$System_Flag is null or F.RDB$System_Flag = 0) "
    "order by RDB$Field_Name");
const QString kTablesSql = QStringLiteral(
    "select distinct RDB$Relation_Name, RDB$External_File from RDB$Relations where RDB$SYSTEM_FLAG <> 1 and "
    "RDB$Relation_Name not in ( select RDB$View_Name from RDB$View_Relations) and (not RDB$Relation_Name "
    "containing \"META$\") order by RDB$Relation_Name");
const QString kColumnsSql = QStringLiteral(
    "select RF.RDB$Field_Name, RF.RDB$Field_Source, F.RDB$Field_Type, F.RDB$Field_Sub_Type, F.RDB$Field_Length, "
    "F.RDB$Field_Scale, RF.RDB$Field_Position, F.RDB$Computed_Source, F.RDB$Character_Length, F.RDB$Field_Precision "
    "from RDB$Relation_Fields RF, RDB$Fields F where RF.RDB$Field_Source = F.RDB$Field_Name and "
    "RF.RDB$Relation_Name = :RDB$Relation_Name order by RF.RDB$Field_Position");
const QString kIndexSql = QStringLiteral(
    "select RDB$Index_Name, RDB$Unique_Flag, RDB$Index_Inactive, RDB$Statistics from RDB$Indices where "
    "RDB$Relation_Name = :RDB$Relation_Name order by RDB$Index_Name");
const QString kIndexFieldsSql = QStringLiteral(
    "select RDB$Field_Name, RDB$Field_Position from RDB$Index_Segments where RDB$Index_Name = :RDB$Index_Name "
    "order by RDB$Field_Position");
const QString kTableTriggerSql = QStringLiteral(
    "select RDB$Trigger_Name, RDB$Trigger_Inactive, RDB$Trigger_Source, RDB$Trigger_Type, RDB$Trigger_Sequence "
    "from RDB$Triggers where RDB$Relation_Name = :RDB$Relation_Name and (RDB$System_Flag is null or "
    "RDB$System_Flag = 0) /*and RDB$System_Flag is null or RDB$System_Flag = 0*/ order by RDB$Trigger_Name");
const QString kConstraintsSql = QStringLiteral(
    "select rdb$constraint_name, rdb$constraint_type, rdb$index_name from rdb$relation_constraints where "
    "rdb$relation_name = :rdb$relation_name order by rdb$constraint_name");
const QString kUdfSql = QStringLiteral(
    "select * from RDB$Functions where RDB$Legacy_Flag = 1 and RDB$Package_Name is null order by RDB$Function_Name");
const QString kFArgSql = QStringLiteral(
    "select RDB$Argument_Position, RDB$Mechanism, RDB$Field_Type, RDB$Field_Length, RDB$Field_Scale from "
    "RDB$Function_Arguments where RDB$Function_Name = :RDB$Function_Name and RDB$Package_Name is null "
    "order by RDB$Argument_Position");
const QString kViewSql = QStringLiteral(
    "select V.RDB$View_Name, V.RDB$Relation_Name, R.RDB$View_Source from RDB$View_Relations V, RDB$Relations R "
    "where V.RDB$View_Name = R.RDB$Relation_Name order by RDB$View_Name");
const QString kDepend2Sql = QStringLiteral(
    "select RDB$Field_Name from RDB$Dependencies where RDB$Dependent_Name = :RDB$Dependent_Name and "
    "RDB$Depended_On_Name = :RDB$Depended_On_Name and RDB$Dependent_Type = :RDB$Dependent_Type and "
    "RDB$Depended_On_Type = :RDB$Depended_On_Type and RDB$Field_Name <> \"\" and (not RDB$Field_Name is Null) "
    "order by RDB$Field_Name");
const QString kExceptionSql = QStringLiteral("select rdb$exception_number, rdb$exception_name, rdb$message from rdb$exceptions");
// Both tables have RDB$FIELD_NAME in Firebird 3: every column is qualified.
const QString kParamsSql = QStringLiteral(
    "SELECT P.RDB$PARAMETER_NUMBER, P.RDB$PARAMETER_NAME, P.RDB$PARAMETER_TYPE, P.RDB$FIELD_SOURCE, "
    "F.RDB$FIELD_TYPE, F.RDB$FIELD_SCALE, F.RDB$FIELD_LENGTH, F.RDB$CHARACTER_LENGTH, F.RDB$FIELD_PRECISION, "
    "F.RDB$FIELD_SUB_TYPE FROM RDB$PROCEDURE_PARAMETERS P, RDB$FIELDS F where P.RDB$PROCEDURE_NAME=:ProcName and "
    "P.RDB$PARAMETER_TYPE = %1 and F.RDB$FIELD_NAME=P.RDB$FIELD_SOURCE and P.RDB$PACKAGE_NAME is null "
    "ORDER BY P.RDB$PARAMETER_NUMBER");

int subTypeOr999(const engine::CalcRecord &r, const QString &field)
{
    return r.isNull(field) ? 999 : r.asInteger(field);
}

} // namespace

TDM::TDM(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("DM"));
    if (!DM)
        DM = this;
    // A break block of a debug run waits on a lock the debugger holds; a
    // run whose transaction waited for no lock would loop instead. A second
    // is as long as the block sleeps before it reads its answers again.
    DataBase2.setLockTimeout(1);
    setupCatalogue();
    setupRepository();
}

TDM::~TDM()
{
    if (DM == this)
        DM = nullptr;
}

void TDM::setupCatalogue()
{
    using engine::CalcRecord;
    QDomain.setSql(kDomainSql);
    QDomain.setDisplayLabel(QStringLiteral("RDB$FIELD_NAME"), QStringLiteral("Domain Name"));
    QDomain.setDisplayLabel(QStringLiteral("RDB$SEGMENT_LENGTH"), QStringLiteral("Segment Length"));
    QDomain.addCalculatedField(QStringLiteral("DomainType"), engine::FieldType::VarChar, 30);
    QDomain.setDisplayLabel(QStringLiteral("DomainType"), QStringLiteral("Type"));
    QDomain.setCalcFieldsHandler([this](CalcRecord &r) {
        r.setValue(QStringLiteral("DomainType"), TypeText(r, subTypeOr999(r, QStringLiteral("RDB$FIELD_SUB_TYPE"))));
    });

    QTables.setSql(kTablesSql);
    QTables.setDisplayLabel(QStringLiteral("RDB$RELATION_NAME"), QStringLiteral("Table Name"));
    QTables.setDisplayLabel(QStringLiteral("RDB$EXTERNAL_FILE"), QStringLiteral("External File"));

    QColumns.setSql(kColumnsSql);
    QColumns.setMasterSource(&QTables);
    QColumns.setDisplayLabel(QStringLiteral("RDB$FIELD_NAME"), QStringLiteral("Column Name"));
    QColumns.addCalculatedField(QStringLiteral("FieldType"));
    QColumns.setDisplayLabel(QStringLiteral("FieldType"), QStringLiteral("Column Type"));
    QColumns.addCalculatedField(QStringLiteral("PK"), engine::FieldType::VarChar, 2);
    QColumns.addCalculatedField(QStringLiteral("FK"), engine::FieldType::VarChar, 2);
    QColumns.addCalculatedField(QStringLiteral("RefTo"));
    QColumns.setCalcFieldsHandler([this](CalcRecord &r) {
        const QString source = r.asString(QStringLiteral("RDB$FIELD_SOURCE"));
        // An implicit domain shows its type; a user domain its name.
        r.setValue(QStringLiteral("FieldType"),
                   source.contains(QLatin1String("RDB$"))
                       ? TypeText(r, subTypeOr999(r, QStringLiteral("RDB$FIELD_SUB_TYPE")))
                       : source);
        if (!(VerboseColumns && MetaPresent))
            return;
        const QString column = r.asString(QStringLiteral("RDB$FIELD_NAME"));
        ReopenPKFK();
        r.setValue(QStringLiteral("RefTo"), QString());
        r.setValue(QStringLiteral("PK"), QString());
        for (int i = 0; i < Q6.recordCount(); ++i) {
            QPK.close();
            QPK.setParam(QStringLiteral("PKI1"), Q6.valueAt(i, 0));
            if (DataSetHasValue(QPK, column)) {
                r.setValue(QStringLiteral("PK"), QStringLiteral("PK"));
                break;
            }
        }
        r.setValue(QStringLiteral("FK"), QString());
        for (int i = 0; i < Q6.recordCount(); ++i) {
            QFK.close();
            QFK.setParam(QStringLiteral("FKI"), Q6.valueAt(i, 1));
            if (DataSetHasValue(QFK, column)) {
                r.setValue(QStringLiteral("FK"), QStringLiteral("FK"));
                r.setValue(QStringLiteral("RefTo"), Q6.textAt(i, 2));
                break;
            }
        }
    });

    QIndex.setSql(kIndexSql);
    QIndex.setMasterSource(&QTables);
    QIndex.setDisplayLabel(QStringLiteral("RDB$INDEX_NAME"), QStringLiteral("Index Name"));
    QIndex.setDisplayLabel(QStringLiteral("RDB$STATISTICS"), QStringLiteral("Statistics"));
    QIndex.addCalculatedField(QStringLiteral("IsUnique"));
    QIndex.setDisplayLabel(QStringLiteral("IsUnique"), QStringLiteral("Is Unique"));
    QIndex.addCalculatedField(QStringLiteral("State"));
    QIndex.setCalcFieldsHandler([](CalcRecord &r) {
        r.setValue(QStringLiteral("IsUnique"), r.asInteger(QStringLiteral("RDB$UNIQUE_FLAG")) ? QStringLiteral("Yes") : QStringLiteral("No"));
        r.setValue(QStringLiteral("State"), r.asInteger(QStringLiteral("RDB$INDEX_INACTIVE")) ? QStringLiteral("Inactive") : QStringLiteral("Active"));
    });
    QIndexFields.setSql(kIndexFieldsSql);
    QIndexFields.setMasterSource(&QIndex);
    QIndexFields.setDisplayLabel(QStringLiteral("RDB$FIELD_NAME"), QStringLiteral("Field Name"));

    QTableTrigger.setSql(kTableTriggerSql);
    QTableTrigger.setMasterSource(&QTables);
    QTableTrigger.setDisplayLabel(QStringLiteral("RDB$TRIGGER_NAME"), QStringLiteral("Trigger name"));
    QTableTrigger.setDisplayLabel(QStringLiteral("RDB$TRIGGER_SEQUENCE"), QStringLiteral("Position"));
    QTableTrigger.addCalculatedField(QStringLiteral("TriggerState"));
    QTableTrigger.setDisplayLabel(QStringLiteral("TriggerState"), QStringLiteral("Trigger State"));
    QTableTrigger.addCalculatedField(QStringLiteral("TriggerType"));
    QTableTrigger.setDisplayLabel(QStringLiteral("TriggerType"), QStringLiteral("Type"));
    QTableTrigger.setCalcFieldsHandler([](CalcRecord &r) {
        r.setValue(QStringLiteral("TriggerState"), r.asInteger(QStringLiteral("RDB$TRIGGER_INACTIVE")) ? QStringLiteral("Inactive") : QStringLiteral("Active"));
        r.setValue(QStringLiteral("TriggerType"), catalogue::triggerTypeText(r.asInteger(QStringLiteral("RDB$TRIGGER_TYPE"))));
    });

    QConstraints.setSql(kConstraintsSql);
    QConstraints.setMasterSource(&QTables);
    QConstraints.setDisplayLabel(QStringLiteral("RDB$CONSTRAINT_NAME"), QStringLiteral("Constraint name"));
    QConstraints.setDisplayLabel(QStringLiteral("RDB$CONSTRAINT_TYPE"), QStringLiteral("Type"));
    QConstraints.setDisplayLabel(QStringLiteral("RDB$INDEX_NAME"), QStringLiteral("Index"));

    ReopenGenerator(); // builds the generator text; opens nothing while unconnected
    QGenerator.setDisplayLabel(QStringLiteral("RDB$GENERATOR_NAME"), QStringLiteral("Generator Name"));
    QGenerator.addCalculatedField(QStringLiteral("GenValue"), engine::FieldType::Integer);
    QGenerator.setDisplayLabel(QStringLiteral("GenValue"), QStringLiteral("Value"));
    QGenerator.setCalcFieldsHandler([this](CalcRecord &r) {
        // A name that is no plain identifier cannot be named in gen_id: its
        // value stays empty rather than another generator's being read.
        const QString name = r.asString(QStringLiteral("RDB$GENERATOR_NAME"));
        if (!engine::isPlainIdentifier(name))
            return;
        Q6Show(QStringLiteral("select distinct gen_id(%1, 0)  from rdb$relations").arg(name));
        r.setValue(QStringLiteral("GenValue"), Q6.valueAt(0, 0).toLongLong());
    });

    QUDF.setSql(kUdfSql);
    QUDF.setDisplayLabel(QStringLiteral("RDB$FUNCTION_NAME"), QStringLiteral("UDF Name"));
    QUDF.setDisplayLabel(QStringLiteral("RDB$MODULE_NAME"), QStringLiteral("Module Name"));
    QUDF.setDisplayLabel(QStringLiteral("RDB$ENTRYPOINT"), QStringLiteral("Entry Point"));
    QFArg.setSql(kFArgSql);
    QFArg.setMasterSource(&QUDF);
    QFArg.setDisplayLabel(QStringLiteral("RDB$ARGUMENT_POSITION"), QStringLiteral("#"));
    QFArg.addCalculatedField(QStringLiteral("Type"));
    QFArg.addCalculatedField(QStringLiteral("Mechanism"));
    QFArg.setCalcFieldsHandler([this](CalcRecord &r) {
        r.setValue(QStringLiteral("Type"), TypeText(r, 0));
        r.setValue(QStringLiteral("Mechanism"), r.asInteger(QStringLiteral("RDB$MECHANISM")) ? QStringLiteral("by refer.") : QStringLiteral("by value"));
    });

    QView.setSql(kViewSql);
    QView.setDisplayLabel(QStringLiteral("RDB$VIEW_NAME"), QStringLiteral("View Name"));
    QView.setDisplayLabel(QStringLiteral("RDB$RELATION_NAME"), QStringLiteral("Table Name"));

    ReopenDependencies(); // builds the text
    QDepend.setDisplayLabel(QStringLiteral("RDB$DEPENDENT_NAME"), QStringLiteral("Dependent"));
    QDepend.setDisplayLabel(QStringLiteral("RDB$DEPENDED_ON_NAME"), QStringLiteral("Depended on"));
    QDepend.addCalculatedField(QStringLiteral("WhatType"));
    QDepend.setDisplayLabel(QStringLiteral("WhatType"), QStringLiteral("Object type"));
    QDepend.addCalculatedField(QStringLiteral("FromType"));
    QDepend.setDisplayLabel(QStringLiteral("FromType"), QStringLiteral("Object type"));
    QDepend.setFieldOrder({QStringLiteral("RDB$DEPENDENT_NAME"), QStringLiteral("WhatType"),
                           QStringLiteral("RDB$DEPENDED_ON_NAME"), QStringLiteral("FromType")});
    QDepend.setCalcFieldsHandler([](CalcRecord &r) {
        r.setValue(QStringLiteral("WhatType"), catalogue::objectTypeName(r.asInteger(QStringLiteral("RDB$DEPENDENT_TYPE"))));
        r.setValue(QStringLiteral("FromType"), catalogue::objectTypeName(r.asInteger(QStringLiteral("RDB$DEPENDED_ON_TYPE"))));
    });
    QDepend2.setSql(kDepend2Sql);
    QDepend2.setMasterSource(&QDepend);
    QDepend2.setDisplayLabel(QStringLiteral("RDB$FIELD_NAME"), QStringLiteral("Field name"));

    QException.setSql(kExceptionSql);
    QException.setDisplayLabel(QStringLiteral("RDB$EXCEPTION_NUMBER"), QStringLiteral("Number"));
    QException.setDisplayLabel(QStringLiteral("RDB$EXCEPTION_NAME"), QStringLiteral("Exception Name"));
    QException.setDisplayLabel(QStringLiteral("RDB$MESSAGE"), QStringLiteral("Message"));
    QException.setDisplayWidth(QStringLiteral("RDB$MESSAGE"), 78);

    ReopenProcedure(); // builds the text
    QProc.setDisplayLabel(QStringLiteral("RDB$PROCEDURE_NAME"), QStringLiteral("Procedure Name"));
    QInParams.setSql(kParamsSql.arg(0));
    QOutParams.setSql(kParamsSql.arg(1));
    QPK.setSql(QStringLiteral("select rdb$field_name from rdb$index_segments where rdb$index_name = :PKI1"));
    QFK.setSql(QStringLiteral("select rdb$field_name from rdb$index_segments where rdb$index_name = :FKI"));

    // Remembered names follow the current rows.
    trackName(QDomain, QStringLiteral("RDB$FIELD_NAME"), &DomainName, false);
    trackName(QTables, QStringLiteral("RDB$RELATION_NAME"), &TableName, false);
    trackName(QColumns, QStringLiteral("RDB$FIELD_NAME"), &ColumnName, true);
    trackName(QIndex, QStringLiteral("RDB$INDEX_NAME"), &IndexName, true);
    trackName(QIndexFields, QStringLiteral("RDB$FIELD_NAME"), &IndexFieldName, false);
    trackName(QTableTrigger, QStringLiteral("RDB$TRIGGER_NAME"), &TriggerName, true);
    trackName(QConstraints, QStringLiteral("RDB$CONSTRAINT_NAME"), &ConstraintName, true);
    trackName(QDepend, QStringLiteral("RDB$DEPENDENT_NAME"), &DependentName, false);
    trackName(QDepend, QStringLiteral("RDB$DEPENDED_ON_NAME"), &DependedOnName, false);
    trackName(QGenerator, QStringLiteral("RDB$GENERATOR_NAME"), &GeneratorName, false);
    trackName(QUDF, QStringLiteral("RDB$FUNCTION_NAME"), &UDFName, false);
    trackName(QView, QStringLiteral("RDB$VIEW_NAME"), &ViewName, false);
    trackName(QException, QStringLiteral("RDB$EXCEPTION_NAME"), &ExceptionName, false);
    trackName(QProc, QStringLiteral("RDB$PROCEDURE_NAME"), &ProcedureName, false);
    connect(&QTables, &engine::DataSet::dataChanged, this, &TDM::tableRowChanged);
    connect(&QColumns, &engine::DataSet::dataChanged, this, &TDM::columnRowChanged);
    connect(&THistory, &engine::DataSet::dataChanged, this, &TDM::historyRowChanged);
    connect(&QProc, &engine::DataSet::dataChanged, this, &TDM::ProcDataChange);
}

void TDM::setupRepository()
{
    QBPDump.setSql(QStringLiteral("select * from meta$mtbp where UserName = :UserName and SessionNum = :SessionNum order by Code"));
    QTPDump.setSql(QStringLiteral("select * from META$MTTP where UserName = :UserName and SessionNum = :SessionNum order by Code"));
    QBPV2.setSql(QStringLiteral("select VarName, VarValue from meta$mtbpv where mtcode = :Code"));
    QBPV2.setMasterSource(&QBPDump);
    QTPValues.setSql(QStringLiteral("select VarName, VarValue from meta$mttpv where mtcode = :Code"));
    QTPValues.setMasterSource(&QTPDump);
    for (engine::Query *q : {&QBPV2, &QTPValues}) {
        q->setDisplayLabel(QStringLiteral("VARNAME"), QStringLiteral("Variable Name"));
        q->setDisplayLabel(QStringLiteral("VARVALUE"), QStringLiteral("Variable Value"));
    }
    QTPValues.setDisplayLabel(QStringLiteral("VARNAME"), QStringLiteral("Variable name"));
    // The dumps show the object, the point and its pass; the keys stay hidden.
    for (engine::Query *q : {&QTPDump, &QBPDump}) {
        for (const char *f : {"CODE", "USERNAME", "SESSIONNUM"})
            q->setFieldVisible(QLatin1String(f), false);
        q->setDisplayLabel(QStringLiteral("PROCNAME"), QStringLiteral("Proc/Trig Name"));
    }
    QTPDump.setDisplayLabel(QStringLiteral("TPID"), QStringLiteral("Trace Point ID"));
    QTPDump.setDisplayLabel(QStringLiteral("TPNUM"), QStringLiteral("Pass #"));
    QBPDump.setDisplayLabel(QStringLiteral("BPID"), QStringLiteral("Break Point ID"));
    QBPDump.setDisplayLabel(QStringLiteral("BPNUM"), QStringLiteral("Stop #"));
    Qwrite.setSql(QStringLiteral("insert into meta$mtbpa values (gen_id(meta$CodeGen, 1), :MTCode, :VarName, :VarValue)"));
    QPointList.setSql(QStringLiteral("select distinct * from meta$points where P = 0 order by ProcName, PID"));
    for (const char *f : {"CODE", "SP_T", "P"})
        QPointList.setFieldVisible(QLatin1String(f), false);
    QPointList.setDisplayLabel(QStringLiteral("PROCNAME"), QStringLiteral("Procedure/Trigger Name"));
    QPointList.setDisplayLabel(QStringLiteral("PID"), QStringLiteral("BP/TP/PP ID"));
    QPointList.setDisplayWidth(QStringLiteral("PID"), 50);
    QPointList.setDisplayLabel(QStringLiteral("PTYPE"), QStringLiteral("TYPE"));
    QPointList.setDisplayWidth(QStringLiteral("PTYPE"), 2);
    SPMetaDep.setStoredProcName(QStringLiteral("META$RENEW"));
    THistory.setTableName(QStringLiteral("meta$History"));
    THistory.setIndexFieldNames(QStringLiteral("DT"));
    for (const char *f : {"DT", "BODY", "USERNAME"})
        THistory.setFieldVisible(QLatin1String(f), false);
    THistory.setDisplayLabel(QStringLiteral("DT"), QStringLiteral("Date/Time"));
    THistory.setDisplayLabel(QStringLiteral("ID"), QStringLiteral("SQL Statement First String"));
}

void TDM::Q6Exec(const QString &sql)
{
    Q6.close();
    Q6.setSql(sql);
    Q6.execSql();
}

void TDM::Q7Exec(const QString &sql)
{
    Q7.close();
    Q7.setSql(sql);
    Q7.execSql();
}

void TDM::Q6Show(const QString &sql)
{
    Q6.close();
    Q6.setSql(sql);
    Q6.open();
}

void TDM::Q7Show(const QString &sql)
{
    Q7.close();
    Q7.setSql(sql);
    Q7.open();
}

QString TDM::GetUserName() const
{
    const QStringList &p = Database.params();
    return p.isEmpty() ? QString() : connectparams::valueOfLine(p.first()).toUpper();
}

bool TDM::DataSetHasValue(engine::DataSet &ds, const QString &value)
{
    ds.open();
    ds.first();
    for (int i = 0; i < ds.recordCount(); ++i)
        if (ds.textAt(i, 0) == value)
            return true;
    return false;
}

void TDM::OpenUserLists()
{
    // Masters before their details: a detail opened first runs once without
    // its master's row and again when the master opens.
    for (engine::Query *q : {&QDomain, &QTables, &QIndex, &QIndexFields, &QColumns, &QGenerator, &QConstraints,
                             &QTableTrigger, &QUDF, &QFArg, &QView, &QDepend, &QDepend2})
        q->open();
}

void TDM::OpenNationalLists()
{
    QException.open();
    QProc.open();
    QTableTrigger.open();
}

void TDM::CloseLists()
{
    for (engine::Query *q : {&QDepend2, &QDepend, &QFArg, &QUDF, &QIndexFields, &QIndex, &QColumns, &QTableTrigger,
                             &QConstraints, &QTables, &QDomain, &QGenerator, &QView, &QException, &QInParams,
                             &QOutParams, &QProc, &QPK, &QFK, &QPointList})
        q->close();
    THistory.close();
    TCurrentRows.close();
    TCurrent.close();
    TCurrent2.close();
}

void TDM::trackName(engine::DataSet &ds, const QString &field, QString *target, bool detail)
{
    connect(&ds, &engine::DataSet::dataChanged, this, [this, &ds, field, target, detail] {
        if (detail && !TableDetailTracking)
            return;
        if (ds.isActive() && !ds.isEmpty())
            *target = ds.fieldByName(field).asString();
    });
}

void TDM::RememberAll()
{
    const bool tracking = TableDetailTracking;
    TableDetailTracking = true;
    for (engine::Query *q : {&QDomain, &QTables, &QColumns, &QIndex, &QIndexFields, &QTableTrigger, &QConstraints,
                             &QDepend, &QGenerator, &QUDF, &QView, &QException, &QProc})
        emit q->dataChanged();
    TableDetailTracking = tracking;
}

// Reopens a list and walks from its first row while the name is lower than
// the remembered one, so the same row, or the next by name, is current. The
// name is taken by value: the walk itself moves the row the name follows.
void TDM::reopenAt(engine::Query &q, const QString &field, QString name, bool equalOnly,
                   const QStringList &buttons)
{
    try {
        engine::ControlsFrozen frozen(q);
        q.close();
        q.open();
        q.first();
        const int f = q.fieldIndex(field);
        if (equalOnly) {
            while (!q.eof() && q.text(f) != name)
                q.next();
            if (q.eof())
                q.last();
        } else {
            while (!q.eof() && q.text(f) < name)
                q.next();
        }
    } catch (...) {
        emit listButtons(buttons, q.isActive() && !q.isEmpty());
        throw;
    }
    emit listButtons(buttons, !q.isEmpty());
}

void TDM::inTransaction(engine::Database &db, const std::function<void()> &work, bool swallow)
{
    // These reopens only read: a failed one's transaction is simply ended.
    try {
        engine::TransactionGuard transaction(db);
        work();
        transaction.commit();
    } catch (const engine::Error &) {
        if (!swallow)
            throw;
    }
}

namespace {
const QStringList kDomainButtons{QStringLiteral("SBDropDomain")};
const QStringList kTableButtons{QStringLiteral("SBDropTable")};
const QStringList kIndexButtons{QStringLiteral("SBIndexActive"), QStringLiteral("SBIndexInactive"), QStringLiteral("SBIndexBalance"),
                                QStringLiteral("SBIndexStatistics"), QStringLiteral("SBDropIndex")};
const QStringList kTriggerButtons{QStringLiteral("SBTriggerActive"), QStringLiteral("SBTriggerInactive"), QStringLiteral("SBDropTrigger")};
const QStringList kGeneratorButtons{QStringLiteral("SBDropGen"), QStringLiteral("SBSetGenValue")};
} // namespace

void TDM::ReopenDomain()
{
    reopenAt(QDomain, QStringLiteral("RDB$FIELD_NAME"), QString(), false, kDomainButtons);
}

void TDM::ReopenDomainSave()
{
    const QString name = DomainName;
    inTransaction(Database, [&] { reopenAt(QDomain, QStringLiteral("RDB$FIELD_NAME"), name, false, kDomainButtons); }, false);
}

void TDM::ReopenTables()
{
    reopenAt(QTables, QStringLiteral("RDB$RELATION_NAME"), QString(), false, kTableButtons);
}

void TDM::ReopenTablesSave()
{
    const QString name = TableName;
    TableDetailTracking = false;
    try {
        inTransaction(Database, [&] { reopenAt(QTables, QStringLiteral("RDB$RELATION_NAME"), name, false, kTableButtons); }, false);
    } catch (...) {
        TableDetailTracking = true;
        throw;
    }
    TableDetailTracking = true;
    ReopenColumns();
    ReopenIndex();
    ReopenTrigger();
    ReopenConstraints();
}

void TDM::ReopenColumns()
{
    reopenAt(QColumns, QStringLiteral("RDB$FIELD_NAME"), ColumnName, false, {});
}

void TDM::ReopenIndex()
{
    const QString field = IndexFieldName;
    reopenAt(QIndex, QStringLiteral("RDB$INDEX_NAME"), IndexName, false, kIndexButtons);
    reopenAt(QIndexFields, QStringLiteral("RDB$FIELD_NAME"), field, false, {});
}

void TDM::ReopenTrigger()
{
    reopenAt(QTableTrigger, QStringLiteral("RDB$TRIGGER_NAME"), TriggerName, false, kTriggerButtons);
}

void TDM::ReopenConstraints()
{
    reopenAt(QConstraints, QStringLiteral("RDB$CONSTRAINT_NAME"), ConstraintName, false, {QStringLiteral("SBDropConstraint")});
}

void TDM::ReopenGenerator()
{
    QStringList sql{QStringLiteral("select RDB$Generator_Name"), QStringLiteral("from RDB$Generators"),
                    QStringLiteral("where not (RDB$Generator_Name like \"RDB$%\")"),
                    QStringLiteral("and (RDB$System_Flag is null or RDB$System_Flag = 0)")};
    if (!ShowDebugGenerators)
        sql << QStringLiteral("and (not RDB$Generator_Name containing \"META$\")");
    sql << QStringLiteral("order by RDB$Generator_Name");
    QGenerator.close();
    QGenerator.setSql(sql);
    if (Database.isConnected())
        reopenAt(QGenerator, QStringLiteral("RDB$GENERATOR_NAME"), GeneratorName, true, kGeneratorButtons);
}

void TDM::ReopenGeneratorSave()
{
    ReopenGenerator();
}

void TDM::ReopenUDF()
{
    reopenAt(QUDF, QStringLiteral("RDB$FUNCTION_NAME"), QString(), false, {QStringLiteral("SBDropUDF")});
}

void TDM::ReopenUDFSave()
{
    const QString name = UDFName;
    inTransaction(Database, [&] { reopenAt(QUDF, QStringLiteral("RDB$FUNCTION_NAME"), name, false, {QStringLiteral("SBDropUDF")}); }, false);
}

void TDM::ReopenView()
{
    reopenAt(QView, QStringLiteral("RDB$VIEW_NAME"), QString(), false, {QStringLiteral("SBDropView")});
}

void TDM::ReopenViewSave()
{
    const QString name = ViewName;
    inTransaction(Database, [&] { reopenAt(QView, QStringLiteral("RDB$VIEW_NAME"), name, false, {QStringLiteral("SBDropView")}); }, false);
}

void TDM::ReopenException()
{
    inTransaction(DatabaseN, [&] { reopenAt(QException, QStringLiteral("RDB$EXCEPTION_NAME"), QString(), false, {QStringLiteral("SBDropException")}); }, true);
}

void TDM::ReopenExceptionSave()
{
    const QString name = ExceptionName;
    inTransaction(DatabaseN, [&] { reopenAt(QException, QStringLiteral("RDB$EXCEPTION_NAME"), name, false, {QStringLiteral("SBDropException")}); }, false);
}

void TDM::ReopenProcedure()
{
    QStringList sql{QStringLiteral("select rdb$procedure_Name, rdb$Procedure_Source from rdb$procedures"),
                    QStringLiteral("where rdb$package_name is null")};
    if (!ShowDebugProcedures)
        sql << QStringLiteral("and not rdb$procedure_Name containing \"META$\"");
    sql << QStringLiteral("order by rdb$procedure_name");
    QProc.close();
    QProc.setSql(sql);
    if (DatabaseN.isConnected())
        inTransaction(DatabaseN, [&] { reopenAt(QProc, QStringLiteral("RDB$PROCEDURE_NAME"), QString(), false, {QStringLiteral("SBDropProc")}); }, true);
}

void TDM::ReopenProcedureSave()
{
    const QString name = ProcedureName;
    inTransaction(DatabaseN, [&] { reopenAt(QProc, QStringLiteral("RDB$PROCEDURE_NAME"), name, false, {QStringLiteral("SBDropProc")}); }, false);
}

void TDM::ReopenDependencies()
{
    openDependencies(QString());
}

// Sets the list's text (the check box may have changed it) and opens it
// and its detail once each, at the first row not below name.
void TDM::openDependencies(const QString &name)
{
    QStringList sql{QStringLiteral("select distinct RDB$Dependent_Name, RDB$Depended_On_Name,"),
                    QStringLiteral("RDB$Dependent_Type, RDB$Depended_On_Type"), QStringLiteral("from RDB$Dependencies")};
    if (!ShowDebugDependencies)
        sql << QStringLiteral("where not RDB$Dependent_Name containing \"META$\"");
    sql << QStringLiteral("order by RDB$Dependent_Name, RDB$Depended_On_Name");
    QDepend.close();
    QDepend.setSql(sql);
    if (!Database.isConnected())
        return;
    // The detail is closed while its master moves, so it follows only once.
    QDepend2.close();
    reopenAt(QDepend, QStringLiteral("RDB$DEPENDENT_NAME"), name, false, {});
    QDepend2.open();
}

void TDM::ReopenDependenciesSave()
{
    const QString name = DependentName;
    inTransaction(Database, [&] { openDependencies(name); }, false);
}

void TDM::ReopenBrowserPage(int index)
{
    switch (index) {
    case 0: ReopenDomainSave(); break;
    case 1:
        // The details are read anew without moving their remembered names.
        TableDetailTracking = false;
        try {
            for (engine::Query *q : {&QColumns, &QIndex, &QIndexFields, &QTableTrigger, &QConstraints}) {
                q->close();
                q->open();
            }
        } catch (...) {
            TableDetailTracking = true;
            throw;
        }
        TableDetailTracking = true;
        ReopenTablesSave();
        break;
    case 2: ReopenDependenciesSave(); break;
    case 3: ReopenGeneratorSave(); break;
    case 4: ReopenUDFSave(); break;
    case 5: ReopenViewSave(); break;
    case 6: ReopenExceptionSave(); break;
    case 7: ReopenProcedureSave(); break;
    default: break;
    }
}

void TDM::ReopenPKFK()
{
    Q6Show(QStringLiteral("select PKI1, FKI, T2 from meta$dep where T1 = \"%1\"")
               .arg(engine::quotedConstant(QTables.isActive() && !QTables.isEmpty()
                                              ? QTables.fieldByName(QStringLiteral("RDB$RELATION_NAME")).asString()
                                              : QString())));
}

QString TDM::TypeText(const engine::CalcRecord &r, int subType)
{
    // The UDF argument list has no character length or precision columns.
    auto optional = [&r](const QString &f) { return r.hasField(f) ? r.asInteger(f) : 0; };
    return catalogue::GetParamType(r.asInteger(QStringLiteral("RDB$FIELD_TYPE")), subType,
                                   r.asInteger(QStringLiteral("RDB$FIELD_LENGTH")),
                                   r.asInteger(QStringLiteral("RDB$FIELD_SCALE")),
                                   optional(QStringLiteral("RDB$CHARACTER_LENGTH")),
                                   optional(QStringLiteral("RDB$FIELD_PRECISION")), Database.databaseDialect());
}

QString TDM::ParamTypeAt(engine::Query &q, int row)
{
    // Parameters always read sub-type 999: "BLOB/SubType = 999".
    auto v = [&](const char *f) { return q.valueAt(row, q.fieldIndex(QLatin1String(f))).toInt(); };
    return catalogue::GetParamType(v("RDB$FIELD_TYPE"), 999, v("RDB$FIELD_LENGTH"), v("RDB$FIELD_SCALE"),
                                   v("RDB$CHARACTER_LENGTH"), v("RDB$FIELD_PRECISION"), Database.databaseDialect());
}

QString TDM::paramList(engine::Query &q)
{
    QStringList parts;
    for (int i = 0; i < q.recordCount(); ++i) {
        parts << q.textAt(i, q.fieldIndex(QStringLiteral("RDB$PARAMETER_NAME"))) + QLatin1Char(' ')
                     + ParamTypeAt(q, i);
    }
    return parts.join(QStringLiteral(", "));
}

void TDM::ProcDataChange()
{
    InParamsText.clear();
    OutParamsText.clear();
    if (!QProc.isActive() || QProc.isEmpty())
        return;
    const QString proc = QProc.fieldByName(QStringLiteral("RDB$PROCEDURE_NAME")).asString();
    try {
        for (engine::Query *q : {&QInParams, &QOutParams}) {
            q->close();
            q->setParam(QStringLiteral("ProcName"), proc);
            q->open();
        }
        if (!QInParams.isEmpty())
            InParamsText = QStringLiteral("  (") + paramList(QInParams) + QStringLiteral(") ");
        if (!QOutParams.isEmpty())
            OutParamsText = QStringLiteral("RETURNS  (") + paramList(QOutParams) + QStringLiteral(") ");
    } catch (const engine::Error &) {
        // The memos stay empty; the list itself is unaffected.
    }
    emit procParamsChanged();
}
