#pragma once

#include "engine/Filter.h"
#include "engine/RowSet.h"

#include <QFlags>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <exception>
#include <functional>
#include <vector>

namespace engine {

class Database;
class DataSet;

enum class DataSetState { Inactive, Browse, Edit, Insert };

enum class LocateOption { CaseInsensitive = 0x1, PartialKey = 0x2 };
Q_DECLARE_FLAGS(LocateOptions, LocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(LocateOptions)

// One field of an open data set: a column of the held rows or a calculated
// field. Labels, visibility and widths are set by name on the data set,
// before or after opening, and survive a reopen.
struct FieldDef {
    QString name;         // the column's label in the result, or the calculated field's name
    QString displayLabel; // grid header; the name unless set
    FieldType type = FieldType::Unknown;
    int size = 0;         // characters of a text field, 0 otherwise
    int displayWidth = 0; // characters a grid gives the field
    bool visible = true;
    bool calculated = false;
    int column = -1;      // column of the held rows; -1 for a calculated field
};

// A remembered row. It names the row by its key values (the table's primary
// key where the data set knows one, else every value of the row), so it
// still finds the row after a reopen, wherever the row has moved.
class Bookmark {
public:
    bool isValid() const { return m_valid; }

private:
    friend class DataSet;
    bool m_valid = false;
    QVariantList m_values;
    int m_recNo = -1; // where the row stood: tried first
};

// A handle to one field of a data set's current row, as the programs reach
// fields by name: ds.fieldByName("UGNAME").asString().
class Field {
public:
    Field(DataSet *dataSet, int index) : m_ds(dataSet), m_index(index) {}

    int index() const { return m_index; }
    const FieldDef &def() const;
    const QString &name() const { return def().name; }

    QVariant value() const;
    // As a grid shows it (empty for NULL).
    QString text() const;
    QString asString() const;
    int asInteger() const;
    double asFloat() const;
    bool asBoolean() const;
    bool isNull() const;
    // The stored bytes of a BLOB (text BLOBs too) or the text's UTF-8.
    QByteArray asBytes() const;

    // In edit or insert state only.
    void setValue(const QVariant &value) const;
    void clear() const { setValue(QVariant()); }
    // BLOB fields: the file's bytes become the value, exactly as they are;
    // saveToFile writes the current value's bytes.
    void loadFromFile(const QString &path) const;
    void saveToFile(const QString &path) const;

private:
    DataSet *m_ds;
    int m_index;
};

// What a calculated-field handler sees: the values of one row and the
// calculated fields it fills in.
class CalcRecord {
public:
    QVariant value(const QString &field) const;
    QString asString(const QString &field) const;
    int asInteger(const QString &field) const;
    bool isNull(const QString &field) const;
    bool hasField(const QString &field) const;
    void setValue(const QString &calculatedField, const QVariant &value);

private:
    friend class DataSet;
    CalcRecord(const DataSet &ds, qsizetype source, QVector<QVariant> &calc) : m_ds(ds), m_source(source), m_calc(calc) {}
    int indexOf(const QString &field) const;

    const DataSet &m_ds;
    qsizetype m_source;
    QVector<QVariant> &m_calc;
};

// Rows of a result with a current row, as the data-aware parts of the
// programs use them. The rows themselves are an immutable RowSet held whole;
// edits, inserted rows and deleted rows are an overlay on top of it, and a
// filter is a list of the rows that pass. Reading any field of any row is
// constant time, so a grid can show any screen of a million rows at once.
//
// Signals: dataChanged (the current row changed or its values did), scrolled
// (the current row moved), stateChanged, afterOpen, afterClose, afterInsert,
// afterPost; rowsReset/rowUpdated/rowInserted/rowRemoved are for grid models.
// Between disableControls() and the matching enableControls() no scroll,
// data or grid signal is sent and detail data sets do not follow; at the end
// one reset and one data change go out when anything happened meanwhile.
class DataSet : public QObject {
    Q_OBJECT
public:
    using CalcHandler = std::function<void(CalcRecord &)>;

    // One row as the server returned it after a write: column i of the data
    // set is column i + firstColumn of rows.
    struct HeldRow {
        RowSetPtr rows;
        qsizetype row = 0;
        int firstColumn = 0;
    };

    explicit DataSet(QObject *parent = nullptr);
    ~DataSet() override;

    virtual Database *database() const { return nullptr; }

    // -- opening
    void open();
    // Pending edits are dropped.
    void close();
    void setActive(bool active);
    bool isActive() const { return m_state != DataSetState::Inactive; }
    // Close and open again, keeping the current row when it is still there.
    void refresh();
    DataSetState state() const { return m_state; }

    // -- navigation (an edit in progress is posted first, an untouched insert dropped)
    void first();
    void next();
    void prior();
    void last();
    // 0-based position among the rows that pass the filter.
    bool moveTo(int recNo);
    int recNo() const { return m_cur; }
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return recordCount() == 0; }
    int recordCount() const;

    // -- fields
    int fieldCount() const { return int(m_fields.size()); }
    const QVector<FieldDef> &fields() const { return m_fields; }
    const FieldDef &fieldDef(int index) const { return m_fields[index]; }
    // Without case, by field name, then by the column's own name; -1 when absent.
    int fieldIndex(const QString &name) const;
    // Raises engine::Error "Field 'X' not found".
    Field fieldByName(const QString &name);
    // Raises engine::Error for an index out of range.
    Field field(int index);

    // Current row values.
    QVariant value(int field) const;
    QString text(int field) const;
    bool isNull(int field) const;
    QByteArray bytes(int field) const;
    void setValue(int field, const QVariant &value);

    // Any row by position, for grids: constant time.
    // Digits after the point a NUMERIC/DECIMAL field declares; 0 for others
    // and for calculated fields.
    int fieldScale(int field) const;
    QVariant valueAt(int recNo, int field) const;
    QString textAt(int recNo, int field) const;
    bool isNullAt(int recNo, int field) const;

    // Field settings by name; kept across reopen.
    void setDisplayLabel(const QString &field, const QString &label);
    void setFieldVisible(const QString &field, bool visible);
    void setDisplayWidth(const QString &field, int characters);
    // Fields named here come first, in this order; the others follow.
    void setFieldOrder(const QStringList &fields);
    void addCalculatedField(const QString &name, FieldType type = FieldType::VarChar, int size = 0);
    // Computes the calculated fields of one row. Values are kept per row
    // until the data set is reopened or the row is edited, so a handler that
    // queries per row runs once per row, not once per repaint.
    void setCalcFieldsHandler(CalcHandler handler);

    // -- search and positions
    // fields: one name or several joined by ';'; values: one value, or a
    // QVariantList with one value per field. Moves to the first matching row.
    bool locate(const QString &fields, const QVariant &values, LocateOptions options = {});
    Bookmark bookmark() const;
    // False when the row is gone; the current row then stays where it was.
    bool gotoBookmark(const Bookmark &bookmark);

    // -- filter: compared without case; applied only while filtered.
    // On a closed data set the text is only stored.
    void setFilter(const QString &filter);
    const QString &filter() const { return m_filterText; }
    void setFiltered(bool filtered);
    bool isFiltered() const { return m_filtered; }

    // -- master-detail: the detail reopens when the master's current row
    // changes, taking its link values from it. While the master has no
    // current row (closed or empty) the detail stays open with no rows and
    // runs nothing; opened then, it runs with NULL link values.
    void setMasterSource(DataSet *master);
    DataSet *masterSource() const { return m_master; }

    // -- grids
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // -- editing (tables and live queries)
    virtual bool canModify() const { return false; }
    // Why canModify() is false, as the error of a refused edit says it.
    virtual QString readOnlyReason() const { return QStringLiteral("Cannot modify a read-only data set"); }
    // Starts editing the current row (an empty data set gets a new row).
    void edit();
    // Adds a new row at the end and makes it current, in insert state.
    void insert();
    // Writes the row; on failure raises and stays in edit or insert state.
    void post();
    void cancel();
    // Deletes the current row from the database and from the data set.
    void remove();
    bool isModified() const;

signals:
    void stateChanged();
    void dataChanged();
    void scrolled();
    void afterOpen();
    void afterClose();
    void afterInsert();
    void afterPost();
    void rowsReset();
    void rowUpdated(int recNo);
    void rowInserted(int recNo);
    void rowRemoved(int recNo);

protected:
    // Runs the statement and returns every row.
    virtual RowSetPtr fetchRows() = 0;
    // The rows are dropped (the statement can be freed).
    virtual void releaseRows() {}
    // Names of fields that identify a row; empty: every value does.
    virtual QStringList keyFieldNames() const { return {}; }
    // Master fields whose values this data set takes; a field edit in the
    // master reopens the detail only when one of these changed.
    virtual QStringList masterLinkFields() const { return {}; }
    // Writes for editable data sets. values and oldValues hold one value per
    // column of the held rows; assigned marks the columns given a value.
    virtual HeldRow writeInsert(const QVector<QVariant> &values, const QVector<bool> &assigned);
    virtual HeldRow writeUpdate(const QVector<QVariant> &oldValues, const QVector<QVariant> &values,
                                const QVector<bool> &assigned);
    virtual void writeDelete(const QVector<QVariant> &oldValues);

    // Columns of the held rows (empty while never opened).
    const QVector<Column> &columns() const { return m_rows->columns(); }
    // For subclasses building statements from the master's current row.
    QVariant masterValue(const QString &field) const;
    bool masterHasField(const QString &field) const;
    bool masterHasRow() const;
    // Raises when the data set is open: a setting that needs a closed one.
    void checkInactive(const char *what) const;

private:
    friend class Field;
    friend class CalcRecord;

    struct RowRef {
        const RowSet *rows = nullptr;
        qsizetype row = -1;
        int firstColumn = 0;
    };
    struct FieldSetting {
        QString label;
        int width = -1;
        int visible = -1; // -1 unset, 0 hidden, 1 shown
    };
    struct CalcField {
        QString name;
        FieldType type;
        int size;
    };

    int rowTotal() const;
    qsizetype sourceOf(int recNo) const { return m_identity ? qsizetype(recNo) : m_order[size_t(recNo)]; }
    bool isEditing(qsizetype source) const;
    RowRef rowRef(qsizetype source) const;
    QVariant sourceValue(qsizetype source, int field) const;
    QString sourceText(qsizetype source, int field) const;
    QByteArray sourceBytes(qsizetype source, int field) const;
    QVector<QVariant> sourceColumns(qsizetype source) const;
    const QVector<QVariant> &calcValues(qsizetype source) const;
    QVariant decodeBuffer(int field, const QVariant &raw) const;

    void buildFields();
    void applySettings();
    void applyFilter();
    void materializeOrder();
    void checkActive() const;
    void checkBrowseMode();
    void setCurrent(int recNo, bool bof, bool eof, bool force = false);
    void setState(DataSetState state);
    void installRows(RowSetPtr rows);
    void reload();
    void emptyRows();
    void endEdit();
    bool rowMatches(qsizetype source, const QVector<int> &fields, const QVariantList &values, LocateOptions options) const;
    QVector<int> keyFields() const;

    // Signalling that respects disableControls().
    void notifyReset();
    void notifyRow(int recNo);
    void notifyInserted(int recNo);
    void notifyRemoved(int recNo);
    void notifyScroll();
    void notifyRecord();
    void notifyDetails(bool fieldEdit);
    void currentChanged();
    void masterRowChanged(bool fieldEdit);
    QVariantList linkValues() const;

    DataSetState m_state = DataSetState::Inactive;
    RowSetPtr m_rows;
    QVector<FieldDef> m_fields;
    QVector<int> m_calcSlot; // per field: index among the calculated fields, or -1
    QHash<QString, int> m_fieldIndex; // upper-cased names
    QHash<QString, FieldSetting> m_settings;
    QStringList m_fieldOrder;
    QVector<CalcField> m_calcFields;
    CalcHandler m_calcHandler;
    mutable QHash<qsizetype, QVector<QVariant>> m_calcCache;
    mutable QVector<QVariant> m_editCalc;
    mutable bool m_editCalcValid = false;

    // Rows are numbered by source: held rows first, inserted rows after
    // them. m_live lists the rows that exist (deleted ones left out), m_order
    // those that also pass the filter; either is the identity over the held
    // rows until something makes it differ, so a plain open costs nothing.
    bool m_liveIdentity = true;
    std::vector<qsizetype> m_live;
    bool m_identity = true;
    std::vector<qsizetype> m_order;
    qsizetype m_nextSource = 0;
    QHash<qsizetype, HeldRow> m_written; // rows replaced or added by writes

    int m_cur = -1;
    bool m_bof = true;
    bool m_eof = true;

    // Row being edited or inserted.
    qsizetype m_editSource = -1;
    QVector<QVariant> m_buffer;
    QVector<bool> m_assigned;
    int m_returnTo = -1;

    QString m_filterText;
    bool m_filtered = false;

    QPointer<DataSet> m_master;
    QVector<QPointer<DataSet>> m_details;
    QVariantList m_lastLink;

    int m_disableCount = 0;
    bool m_pendingReset = false;
    bool m_pendingData = false;
    bool m_pendingScroll = false;
    bool m_pendingDetails = false;
};

// Keeps a data set's controls disabled for a scope, also when it throws:
// the grids see one reset at the end instead of every step in between.
// Enabling them again makes the details follow their master, which reads
// from the server and can fail: that error leaves the scope like any other,
// unless the scope is already being left by one, which is then the error
// worth showing.
class ControlsFrozen {
public:
    explicit ControlsFrozen(DataSet &ds) : m_ds(ds), m_inFlight(std::uncaught_exceptions()) { m_ds.disableControls(); }
    ~ControlsFrozen() noexcept(false)
    {
        if (std::uncaught_exceptions() == m_inFlight) {
            m_ds.enableControls();
            return;
        }
        try {
            m_ds.enableControls();
        } catch (...) {
        }
    }
    ControlsFrozen(const ControlsFrozen &) = delete;
    ControlsFrozen &operator=(const ControlsFrozen &) = delete;

private:
    DataSet &m_ds;
    int m_inFlight;
};

} // namespace engine
