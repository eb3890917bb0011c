#pragma once

#include "engine/Database.h"
#include "engine/Query.h"
#include "engine/ScrollingQuery.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "engine/StoredProc.h"
#include "engine/Table.h"

#include <QObject>
#include <QStringList>

// The workbench's data module: its three connections, one query per
// catalogue list with the rules that turn codes into text, the debugger's
// repository queries, the history table and two scratch queries. It also
// remembers, per list, the name the user last stood on, so a list can be
// reopened on the same row (or the next by name).
class TDM : public QObject {
    Q_OBJECT
public:
    explicit TDM(QObject *parent = nullptr);
    ~TDM() override;

    engine::Session Session2{QStringLiteral("S2")};
    engine::Database Database{nullptr, QStringLiteral("UserDB")};
    engine::Database DatabaseN{nullptr, QStringLiteral("NationalDB")};
    engine::Database DataBase2{&Session2, QStringLiteral("DB2")};

    // Catalogue lists.
    engine::Query QDomain{&Database}, QTables{&Database}, QColumns{&Database}, QIndex{&Database},
        QIndexFields{&Database}, QTableTrigger{&DatabaseN}, QConstraints{&Database}, QGenerator{&Database},
        QUDF{&Database}, QFArg{&Database}, QView{&Database}, QDepend{&Database}, QDepend2{&Database},
        QException{&DatabaseN}, QProc{&DatabaseN}, QInParams{&Database}, QOutParams{&Database}, QPK{&Database},
        QFK{&Database};
    // Debugger and repository.
    engine::Query QSave{&Database}, QDebProc{&Database}, QCreateMT1{&Database}, QCreateMT2{&Database},
        QCreateMT3{&Database}, QProcShowRec{&DataBase2}, QBPDump{&Database}, QTPDump{&Database}, QBPV2{&Database},
        QTPValues{&Database}, Qwrite{&Database}, QPointList{&Database};
    engine::StoredProc StoredProc{&DataBase2};
    engine::StoredProc SPMetaDep{&Database};
    engine::Table THistory{&Database};
    engine::Table TCurrent{&Database};
    // The rows the browser's data page shows of TCurrent's table, fetched as
    // its grid scrolls and exported from there; TCurrent writes a picture
    // back to its row.
    engine::ScrollingQuery TCurrentRows{&Database};
    engine::Table TCurrent2{&DatabaseN};
    engine::Query Q6{&Database}, Q7{&Database};

    // Close, replace the text, execute; errors go to the caller.
    void Q6Exec(const QString &sql);
    void Q7Exec(const QString &sql);
    // Close, replace the text, open.
    void Q6Show(const QString &sql);
    void Q7Show(const QString &sql);
    // The text after the first "=" of Database's first parameter line, upper-cased.
    QString GetUserName() const;
    // GetParamType of one catalogue row (a calculated record or row of a
    // parameter query): the type, length, scale, character length and
    // precision fields it holds, in the connected database's dialect.
    QString TypeText(const engine::CalcRecord &r, int subType);
    QString ParamTypeAt(engine::Query &q, int row);
    // True when some row's first field equals value (exact text).
    bool DataSetHasValue(engine::DataSet &ds, const QString &value);

    // The after-connect step's lists (inside its transactions).
    void OpenUserLists();
    void OpenNationalLists();
    // Closes every catalogue list, details before masters, so the next
    // connection's lists are read anew rather than left from the last one.
    void CloseLists();

    // --- remembered positions
    QString DomainName, TableName, ColumnName, IndexName, IndexFieldName, TriggerName, ConstraintName,
        DependentName, DependedOnName, GeneratorName, UDFName, ViewName, ExceptionName, ProcedureName;
    bool TableDetailTracking = true;
    // Records the current name of every list at once.
    void RememberAll();

    // --- switches of the browser
    bool VerboseColumns = false; // PK/FK/RefTo columns (needs the repository)
    bool MetaPresent = false;
    bool ShowDebugGenerators = false;  // CBDebGen
    bool ShowDebugProcedures = false;  // CBDebProc
    bool ShowDebugDependencies = false; // CBDebDep

    // --- keep-position reopen
    void ReopenDomain();
    void ReopenDomainSave();
    void ReopenTables();
    void ReopenTablesSave();
    void ReopenColumns();
    void ReopenIndex();
    void ReopenTrigger();
    void ReopenConstraints();
    void ReopenGenerator();
    void ReopenGeneratorSave();
    void ReopenUDF();
    void ReopenUDFSave();
    void ReopenView();
    void ReopenViewSave();
    void ReopenException();
    void ReopenExceptionSave();
    void ReopenProcedure();
    void ReopenProcedureSave();
    void ReopenDependencies();
    void ReopenDependenciesSave();
    void ReopenPKFK();
    // What a change to browser page index (0 domains .. 7 procedures)
    // reloads: that page's lists, back on their remembered names.
    void ReopenBrowserPage(int index);

    // The procedure list's parameter memos: "  (A INTEGER, B CHAR(10)) " and
    // "RETURNS  (...) ", empty without parameters.
    QString InParamsText;
    QString OutParamsText;

signals:
    // A list's command buttons follow whether it has rows.
    void listButtons(const QStringList &buttons, bool enabled);
    // The current table changed: its data and detail buttons follow.
    void tableRowChanged();
    void columnRowChanged();
    void historyRowChanged();
    void procParamsChanged();

private:
    void setupCatalogue();
    void setupRepository();
    void reopenAt(engine::Query &q, const QString &field, QString name, bool equalOnly,
                  const QStringList &buttons);
    void inTransaction(engine::Database &db, const std::function<void()> &work, bool swallow);
    void trackName(engine::DataSet &ds, const QString &field, QString *target, bool detail);
    void ProcDataChange();
    QString paramList(engine::Query &q);
};

extern TDM *DM;
