#pragma once

#include "engine/RowSet.h"

#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

namespace engine {

class Database;
class Statement;

enum class ParamDirection { Input, Output };

// One parameter of a stored procedure as the catalogue describes it. The
// codes are those of RDB$FIELDS (7 SMALLINT, 8 INTEGER, 14 CHAR, 37 VARCHAR,
// 261 BLOB, ...), so callers can word the type as they like.
struct ProcParam {
    QString name;
    ParamDirection direction = ParamDirection::Input;
    int number = 0;       // RDB$PARAMETER_NUMBER: order among its direction
    short fieldType = 0;  // RDB$FIELD_TYPE
    short subType = 0;    // RDB$FIELD_SUB_TYPE (0 where the catalogue has none)
    short length = 0;     // RDB$FIELD_LENGTH, in bytes
    short scale = 0;      // RDB$FIELD_SCALE
};

// A stored procedure run by name, with input parameters set and output
// parameters read by name (names compare without case).
//
// prepare() reads the parameter list from the catalogue and has the server
// check the procedure, so a wrong name fails there with the server's own
// message. execProc() runs the executable form, EXECUTE PROCEDURE, and keeps
// the outputs; open() runs the selectable form, SELECT * FROM name(...), and
// keeps every row. Both run in the database's explicit transaction when one
// is active, otherwise in one of their own that is committed at once.
//
// Every input must be given a value before a run (a NULL QVariant sends
// NULL): a forgotten input is an error rather than a silent NULL.
class StoredProc {
public:
    explicit StoredProc(Database *db = nullptr);
    ~StoredProc();
    StoredProc(const StoredProc &) = delete;
    StoredProc &operator=(const StoredProc &) = delete;

    Database *database() const { return m_db; }
    void setDatabase(Database *db);

    // A plain name (letters, digits, `_` and `$`); changing it drops the
    // parameters and values read for the previous one.
    void setStoredProcName(const QString &name);
    const QString &storedProcName() const { return m_name; }

    // Reads the parameters from the catalogue, again on every call, so a
    // procedure altered since the last one is run with its new parameters
    // (values of inputs it still has are kept). The runs and setParam() do it
    // when it has not been done for this name.
    void prepare();
    bool isPrepared() const { return m_prepared; }
    // Drops the parameter list, values and results; the next run reads the
    // catalogue again (after the procedure has been altered, for example).
    void unprepare();

    // Inputs, then outputs, each in their catalogue order.
    const QVector<ProcParam> &params() const { return m_params; }
    QVector<ProcParam> inputParams() const;
    QVector<ProcParam> outputParams() const;
    // -1 when the procedure has no parameter of that name.
    int paramIndex(const QString &name) const;

    // Sets an input's value; an unknown name or an output name raises.
    void setParam(const QString &name, const QVariant &value);
    // An input's value as set, or an output's value from the last execProc()
    // (an invalid QVariant before one, and for NULL). An unknown name raises.
    QVariant param(const QString &name) const;
    // The same as text, as a grid shows it (empty for NULL).
    QString paramText(const QString &name) const;
    void clearParamValues();

    // EXECUTE PROCEDURE name :in1, :in2 ...
    void execProc();
    // SELECT * FROM name(:in1, :in2 ...); the rows stay until close().
    void open();
    void close();
    bool isOpen() const { return m_open; }
    const RowSet &rows() const { return *m_rows; }
    RowSetPtr rowSet() const { return m_rows; }

    // The statement texts the runs send (parameters as `:name`).
    QString execText() const { return statementText(false); }
    QString selectText() const { return statementText(true); }

private:
    // Inputs as `:name`, or each as the marker when one is given.
    QString statementText(bool select, const QString &marker = QString()) const;
    void run(bool select);
    const ProcParam &paramNamed(const QString &name) const;

    Database *m_db;
    QString m_name;
    bool m_prepared = false;
    QVector<ProcParam> m_params;
    QVector<QPair<QString, QVariant>> m_inputs; // by input name, as set
    RowSetPtr m_outputs;                        // one row after execProc()
    RowSetPtr m_rows;
    bool m_open = false;
};

} // namespace engine
