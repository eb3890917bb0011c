#include "engine/DataSet.h"

#include "engine/Database.h"
#include "engine/Error.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <numeric>

namespace engine {

namespace {

int bytesPerChar(short charset)
{
    switch (charset) {
    case 3: // UNICODE_FSS
        return 3;
    case 4: // UTF8
        return 4;
    default:
        return 1;
    }
}

int textSize(const Column &c)
{
    switch (c.type) {
    case FieldType::Char:
    case FieldType::VarChar:
        return c.length / bytesPerChar(c.subType);
    default:
        return 0;
    }
}

int defaultWidth(FieldType type, int size, short scale)
{
    switch (type) {
    case FieldType::Char:
    case FieldType::VarChar:
        return size > 0 ? size : 10;
    case FieldType::SmallInt:
        return scale ? 8 : 6;
    case FieldType::Integer:
        return scale ? 12 : 11;
    case FieldType::BigInt:
    case FieldType::Float:
    case FieldType::Double:
        return 20;
    case FieldType::Date:
        return 10;
    case FieldType::Time:
        return 8;
    case FieldType::Timestamp:
        return 19;
    case FieldType::Boolean:
        return 5;
    default:
        return 10;
    }
}

QStringView chopBlanks(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return QStringView(s).left(n);
}

bool isText(const QVariant &v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QChar;
}

// One value of locate: exact, without case or a prefix; texts ignore
// trailing blanks the way the server compares them.
bool locateMatch(const QVariant &have, const QVariant &want, LocateOptions options)
{
    if (want.isNull())
        return have.isNull();
    if (have.isNull())
        return false;
    const bool partial = options.testFlag(LocateOption::PartialKey);
    if (partial || isText(have) || isText(want)) {
        const Qt::CaseSensitivity cs = options.testFlag(LocateOption::CaseInsensitive) ? Qt::CaseInsensitive
                                                                                       : Qt::CaseSensitive;
        const QString a = valueText(have);
        const QString b = valueText(want);
        if (partial)
            return chopBlanks(a).startsWith(chopBlanks(b), cs);
        return chopBlanks(a).compare(chopBlanks(b), cs) == 0;
    }
    return FilterExpression::compare(have, want) == 0;
}

} // namespace

// ---------------------------------------------------------------- Field

const FieldDef &Field::def() const
{
    return m_ds->fieldDef(m_index);
}

QVariant Field::value() const
{
    return m_ds->value(m_index);
}

QString Field::text() const
{
    return m_ds->text(m_index);
}

QString Field::asString() const
{
    const QVariant v = value();
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(v.toByteArray());
    return valueText(v);
}

int Field::asInteger() const
{
    return value().toInt();
}

double Field::asFloat() const
{
    return value().toDouble();
}

bool Field::asBoolean() const
{
    return value().toBool();
}

bool Field::isNull() const
{
    return m_ds->isNull(m_index);
}

QByteArray Field::asBytes() const
{
    return m_ds->bytes(m_index);
}

void Field::setValue(const QVariant &value) const
{
    m_ds->setValue(m_index, value);
}

void Field::loadFromFile(const QString &path) const
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot read file %1: %2").arg(path, f.errorString()));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Cannot read file %1: %2").arg(path, f.errorString()));
    setValue(bytes);
}

void Field::saveToFile(const QString &path) const
{
    const QByteArray bytes = asBytes();
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush())
        throw Error(QStringLiteral("Cannot write file %1: %2").arg(path, f.errorString()));
}

// ---------------------------------------------------------------- CalcRecord

int CalcRecord::indexOf(const QString &field) const
{
    const int i = m_ds.fieldIndex(field);
    if (i < 0)
        throw Error(QStringLiteral("Field '%1' not found").arg(field));
    return i;
}

QVariant CalcRecord::value(const QString &field) const
{
    const int i = indexOf(field);
    const int slot = m_ds.m_calcSlot[i];
    if (slot >= 0)
        return m_calc[slot];
    return m_ds.sourceValue(m_source, i);
}

QString CalcRecord::asString(const QString &field) const
{
    return valueText(value(field));
}

int CalcRecord::asInteger(const QString &field) const
{
    return value(field).toInt();
}

bool CalcRecord::isNull(const QString &field) const
{
    return value(field).isNull();
}

bool CalcRecord::hasField(const QString &field) const
{
    return m_ds.fieldIndex(field) >= 0;
}

void CalcRecord::setValue(const QString &calculatedField, const QVariant &value)
{
    const int i = indexOf(calculatedField);
    const int slot = m_ds.m_calcSlot[i];
    if (slot < 0)
        throw Error(QStringLiteral("Field '%1' is not a calculated field").arg(calculatedField));
    m_calc[slot] = value;
}

// ---------------------------------------------------------------- DataSet

DataSet::DataSet(QObject *parent) : QObject(parent), m_rows(std::make_shared<RowSet>()) {}

DataSet::~DataSet()
{
    if (m_master)
        m_master->m_details.removeAll(QPointer<DataSet>(this));
    for (const QPointer<DataSet> &d : m_details)
        if (d)
            d->m_master = nullptr;
}

int DataSet::rowTotal() const
{
    return m_identity ? int(m_rows->rowCount()) : int(m_order.size());
}

int DataSet::recordCount() const
{
    return isActive() ? rowTotal() : 0;
}

void DataSet::checkActive() const
{
    if (!isActive())
        throw Error(QStringLiteral("Cannot perform this operation on a closed data set"));
}

void DataSet::checkInactive(const char *what) const
{
    if (isActive())
        throw Error(QStringLiteral("Cannot change %1 of an open data set").arg(QLatin1String(what)));
}

// ---- opening

void DataSet::open()
{
    if (isActive())
        return;
    installRows(fetchRows());
    const int n = rowTotal();
    m_cur = n ? 0 : -1;
    m_bof = true;
    m_eof = n == 0;
    setState(DataSetState::Browse);
    notifyReset();
    currentChanged();
    emit afterOpen();
}

void DataSet::installRows(RowSetPtr rows)
{
    RowSetPtr previous = m_rows;
    m_rows = rows ? std::move(rows) : std::make_shared<RowSet>();
    m_written.clear();
    m_calcCache.clear();
    m_editCalcValid = false;
    m_nextSource = m_rows->rowCount();
    m_liveIdentity = true;
    m_live.clear();
    buildFields();
    try {
        applyFilter();
    } catch (...) {
        // A filter naming a field the new rows lack: nothing is shown.
        m_rows = std::make_shared<RowSet>();
        m_nextSource = 0;
        m_identity = true;
        m_order.clear();
        m_cur = -1;
        m_bof = m_eof = true;
        releaseRows();
        notifyReset();
        throw;
    }
    m_lastLink = linkValues();
}

void DataSet::close()
{
    if (!isActive())
        return;
    endEdit();
    m_rows = std::make_shared<RowSet>();
    m_written.clear();
    m_calcCache.clear();
    m_liveIdentity = m_identity = true;
    m_live.clear();
    m_order.clear();
    m_nextSource = 0;
    releaseRows();
    m_cur = -1;
    m_bof = m_eof = true;
    setState(DataSetState::Inactive);
    notifyReset();
    emit afterClose();
    notifyDetails(false);
}

void DataSet::setActive(bool active)
{
    if (active)
        open();
    else
        close();
}

void DataSet::refresh()
{
    checkActive();
    checkBrowseMode();
    const Bookmark mark = bookmark();
    const int old = m_cur;
    ControlsFrozen frozen(*this);
    installRows(fetchRows());
    notifyReset();
    if (gotoBookmark(mark)) {
        currentChanged();
    } else {
        const int n = recordCount();
        setCurrent(n == 0 ? -1 : qBound(0, old, n - 1), n == 0 || old <= 0, n == 0, true);
    }
}

// Detail data sets follow their master without leaving browse state.
void DataSet::reload()
{
    checkBrowseMode();
    ControlsFrozen frozen(*this);
    try {
        installRows(fetchRows());
    } catch (...) {
        // Rows of the master's previous row would be wrong rows now.
        emptyRows();
        throw;
    }
    const int n = recordCount();
    m_cur = n ? 0 : -1;
    m_bof = true;
    m_eof = n == 0;
    notifyReset();
    currentChanged();
}

// No rows, the fields kept: a detail whose master has no current row. No
// statement runs, so a master closed with its connection closes cleanly.
void DataSet::emptyRows()
{
    checkBrowseMode();
    ControlsFrozen frozen(*this);
    m_rows = std::make_shared<RowSet>(m_rows->columns(), RowSet::TextEncoding::Utf8);
    m_written.clear();
    m_calcCache.clear();
    m_nextSource = 0;
    m_liveIdentity = m_identity = true;
    m_live.clear();
    m_order.clear();
    m_lastLink = linkValues();
    m_cur = -1;
    m_bof = m_eof = true;
    notifyReset();
    currentChanged();
}

void DataSet::setState(DataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

// ---- fields

void DataSet::buildFields()
{
    QVector<FieldDef> fields;
    const QVector<Column> &cols = m_rows->columns();
    for (int i = 0; i < cols.size(); ++i) {
        const Column &c = cols[i];
        FieldDef d;
        d.name = c.name;
        d.type = c.type;
        d.size = textSize(c);
        d.displayWidth = defaultWidth(c.type, d.size, c.scale);
        d.column = i;
        fields << d;
    }
    for (const CalcField &c : m_calcFields) {
        FieldDef d;
        d.name = c.name;
        d.type = c.type;
        d.size = c.size;
        d.displayWidth = defaultWidth(c.type, c.size, 0);
        d.calculated = true;
        fields << d;
    }
    if (!m_fieldOrder.isEmpty()) {
        QVector<FieldDef> ordered;
        for (const QString &name : m_fieldOrder) {
            for (int i = 0; i < fields.size(); ++i) {
                if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) {
                    ordered << fields.takeAt(i);
                    break;
                }
            }
        }
        fields = ordered + fields;
    }
    m_fields = fields;
    m_calcSlot.fill(-1, m_fields.size());
    m_fieldIndex.clear();
    for (int i = 0; i < m_fields.size(); ++i) {
        // Two columns with one label (a self-join): the first answers to it.
        const QString key = m_fields[i].name.toUpper();
        if (!m_fieldIndex.contains(key))
            m_fieldIndex.insert(key, i);
        if (m_fields[i].calculated) {
            for (int k = 0; k < m_calcFields.size(); ++k)
                if (m_calcFields[k].name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
                    m_calcSlot[i] = k;
        }
    }
    // A select list may label a column differently from its own name.
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].calculated)
            continue;
        const QString own = cols[m_fields[i].column].fieldName.toUpper();
        if (!own.isEmpty() && !m_fieldIndex.contains(own))
            m_fieldIndex.insert(own, i);
    }
    applySettings();
}

void DataSet::applySettings()
{
    for (FieldDef &d : m_fields) {
        d.displayLabel = d.name;
        const auto it = m_settings.constFind(d.name.toUpper());
        if (it == m_settings.cend())
            continue;
        if (!it->label.isNull())
            d.displayLabel = it->label;
        if (it->width >= 0)
            d.displayWidth = it->width;
        if (it->visible >= 0)
            d.visible = it->visible == 1;
    }
}

int DataSet::fieldIndex(const QString &name) const
{
    return m_fieldIndex.value(name.trimmed().toUpper(), -1);
}

Field DataSet::fieldByName(const QString &name)
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw Error(QStringLiteral("Field '%1' not found").arg(name));
    return Field(this, i);
}

Field DataSet::field(int index)
{
    if (index < 0 || index >= m_fields.size())
        throw Error(QStringLiteral("Field index %1 out of range").arg(index));
    return Field(this, index);
}

void DataSet::setDisplayLabel(const QString &field, const QString &label)
{
    m_settings[field.toUpper()].label = label;
    applySettings();
    notifyReset();
}

void DataSet::setFieldVisible(const QString &field, bool visible)
{
    m_settings[field.toUpper()].visible = visible ? 1 : 0;
    applySettings();
    notifyReset();
}

void DataSet::setDisplayWidth(const QString &field, int characters)
{
    m_settings[field.toUpper()].width = characters;
    applySettings();
    notifyReset();
}

void DataSet::setFieldOrder(const QStringList &fields)
{
    checkInactive("the field order");
    m_fieldOrder = fields;
}

void DataSet::addCalculatedField(const QString &name, FieldType type, int size)
{
    checkInactive("the fields");
    for (const CalcField &c : m_calcFields)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            throw Error(QStringLiteral("Duplicate field name '%1'").arg(name));
    m_calcFields.append({name, type, size});
}

void DataSet::setCalcFieldsHandler(CalcHandler handler)
{
    m_calcHandler = std::move(handler);
    m_calcCache.clear();
    m_editCalcValid = false;
    if (isActive() && !m_calcFields.isEmpty())
        notifyReset();
}

// ---- values

bool DataSet::isEditing(qsizetype source) const
{
    return (m_state == DataSetState::Edit || m_state == DataSetState::Insert) && source == m_editSource;
}

DataSet::RowRef DataSet::rowRef(qsizetype source) const
{
    if (!m_written.isEmpty()) {
        const auto it = m_written.constFind(source);
        if (it != m_written.cend())
            return {it->rows.get(), it->row, it->firstColumn};
    }
    if (source >= 0 && source < m_rows->rowCount())
        return {m_rows.get(), source, 0};
    return {};
}

const QVector<QVariant> &DataSet::calcValues(qsizetype source) const
{
    auto compute = [&](QVector<QVariant> &out) {
        out = QVector<QVariant>(m_calcFields.size());
        if (m_calcHandler) {
            CalcRecord rec(*this, source, out);
            m_calcHandler(rec);
        }
    };
    if (isEditing(source)) {
        if (!m_editCalcValid) {
            compute(m_editCalc);
            m_editCalcValid = true;
        }
        return m_editCalc;
    }
    const auto it = m_calcCache.constFind(source);
    if (it != m_calcCache.cend())
        return *it;
    QVector<QVariant> values;
    compute(values);
    return *m_calcCache.insert(source, values);
}

QVariant DataSet::decodeBuffer(int field, const QVariant &raw) const
{
    // A text BLOB loaded from a file is held as its bytes until written.
    if (m_fields[field].type == FieldType::TextBlob && raw.typeId() == QMetaType::QByteArray) {
        const Database *db = database();
        const QByteArray b = raw.toByteArray();
        return db && db->latin1() ? QString::fromLatin1(b) : QString::fromUtf8(b);
    }
    return raw;
}

QVariant DataSet::sourceValue(qsizetype source, int field) const
{
    const FieldDef &d = m_fields[field];
    if (d.calculated)
        return calcValues(source)[m_calcSlot[field]];
    if (isEditing(source))
        return decodeBuffer(field, m_buffer[d.column]);
    const RowRef r = rowRef(source);
    if (!r.rows)
        return QVariant();
    return r.rows->value(r.row, d.column + r.firstColumn);
}

QString DataSet::sourceText(qsizetype source, int field) const
{
    const FieldDef &d = m_fields[field];
    if (d.calculated)
        return valueText(calcValues(source)[m_calcSlot[field]]);
    if (isEditing(source))
        return valueText(decodeBuffer(field, m_buffer[d.column]), fieldScale(field));
    const RowRef r = rowRef(source);
    if (!r.rows)
        return QString();
    return r.rows->text(r.row, d.column + r.firstColumn);
}

QByteArray DataSet::sourceBytes(qsizetype source, int field) const
{
    const FieldDef &d = m_fields[field];
    QVariant v;
    if (d.calculated) {
        v = calcValues(source)[m_calcSlot[field]];
    } else if (isEditing(source)) {
        v = m_buffer[d.column];
    } else {
        const RowRef r = rowRef(source);
        if (!r.rows)
            return QByteArray();
        const int col = d.column + r.firstColumn;
        const Column &c = r.rows->column(col);
        if (c.type == FieldType::TextBlob || c.type == FieldType::Blob) {
            // The stored bytes themselves, not a decoding of them.
            const QByteArray *b = r.rows->blobValue(r.row, col);
            return b ? *b : QByteArray();
        }
        v = r.rows->value(r.row, col);
    }
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    const QString s = v.typeId() == QMetaType::QString ? v.toString() : valueText(v);
    const Database *db = database();
    return db && db->latin1() ? s.toLatin1() : s.toUtf8();
}

QVector<QVariant> DataSet::sourceColumns(qsizetype source) const
{
    const int n = m_rows->columnCount();
    QVector<QVariant> out(n);
    const RowRef r = rowRef(source);
    if (!r.rows)
        return out;
    for (int i = 0; i < n; ++i)
        out[i] = r.rows->value(r.row, i + r.firstColumn);
    return out;
}

QVariant DataSet::value(int field) const
{
    if (m_cur < 0 || field < 0 || field >= m_fields.size())
        return QVariant();
    return sourceValue(sourceOf(m_cur), field);
}

QString DataSet::text(int field) const
{
    if (m_cur < 0 || field < 0 || field >= m_fields.size())
        return QString();
    return sourceText(sourceOf(m_cur), field);
}

bool DataSet::isNull(int field) const
{
    return value(field).isNull();
}

QByteArray DataSet::bytes(int field) const
{
    if (m_cur < 0 || field < 0 || field >= m_fields.size())
        return QByteArray();
    return sourceBytes(sourceOf(m_cur), field);
}

QVariant DataSet::valueAt(int recNo, int field) const
{
    if (recNo < 0 || recNo >= recordCount() || field < 0 || field >= m_fields.size())
        return QVariant();
    return sourceValue(sourceOf(recNo), field);
}

QString DataSet::textAt(int recNo, int field) const
{
    if (recNo < 0 || recNo >= recordCount() || field < 0 || field >= m_fields.size())
        return QString();
    return sourceText(sourceOf(recNo), field);
}

bool DataSet::isNullAt(int recNo, int field) const
{
    return valueAt(recNo, field).isNull();
}

// ---- navigation

void DataSet::setCurrent(int recNo, bool bof, bool eof, bool force)
{
    const bool moved = recNo != m_cur;
    m_cur = recNo;
    m_bof = bof;
    m_eof = eof;
    if (moved || force)
        currentChanged();
}

void DataSet::checkBrowseMode()
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) {
        if (isModified())
            post();
        else
            cancel();
    }
}

void DataSet::first()
{
    checkActive();
    checkBrowseMode();
    const int n = recordCount();
    setCurrent(n ? 0 : -1, true, n == 0);
}

void DataSet::next()
{
    checkActive();
    checkBrowseMode();
    const int n = recordCount();
    if (m_cur + 1 < n)
        setCurrent(m_cur + 1, false, false);
    else
        setCurrent(m_cur, n == 0, true);
}

void DataSet::prior()
{
    checkActive();
    checkBrowseMode();
    const int n = recordCount();
    if (m_cur > 0)
        setCurrent(m_cur - 1, false, false);
    else
        setCurrent(m_cur, true, n == 0);
}

void DataSet::last()
{
    checkActive();
    checkBrowseMode();
    const int n = recordCount();
    setCurrent(n - 1, n == 0, true);
}

bool DataSet::moveTo(int recNo)
{
    checkActive();
    if (recNo < 0 || recNo >= recordCount())
        return false;
    if (recNo == m_cur)
        return true;
    checkBrowseMode();
    if (recNo >= recordCount()) // an untouched insert went away
        return false;
    setCurrent(recNo, false, false);
    return true;
}

// ---- filter

void DataSet::materializeOrder()
{
    if (m_liveIdentity) {
        m_live.resize(size_t(m_rows->rowCount()));
        std::iota(m_live.begin(), m_live.end(), qsizetype(0));
        m_liveIdentity = false;
    }
    if (m_identity) {
        m_order = m_live;
        m_identity = false;
    }
}

void DataSet::applyFilter()
{
    const bool on = m_filtered && !m_filterText.trimmed().isEmpty();
    if (!on) {
        m_identity = m_liveIdentity;
        m_order = m_identity ? std::vector<qsizetype>() : m_live;
        return;
    }
    FilterExpression expr = FilterExpression::parse(m_filterText);
    expr.bind([this](const QString &name) { return fieldIndex(name); });
    std::vector<qsizetype> order;
    qsizetype source = 0;
    auto valueOf = [&](int field) { return sourceValue(source, field); };
    const qsizetype n = m_liveIdentity ? m_rows->rowCount() : qsizetype(m_live.size());
    for (qsizetype i = 0; i < n; ++i) {
        source = m_liveIdentity ? i : m_live[size_t(i)];
        if (expr.matches(valueOf))
            order.push_back(source);
    }
    m_order = std::move(order);
    m_identity = false;
}

void DataSet::setFilter(const QString &filter)
{
    if (filter == m_filterText)
        return;
    if (!isActive() || !m_filtered) {
        m_filterText = filter;
        return;
    }
    checkBrowseMode();
    const QString old = m_filterText;
    m_filterText = filter;
    const Bookmark mark = bookmark();
    try {
        applyFilter();
    } catch (...) {
        m_filterText = old;
        applyFilter();
        throw;
    }
    notifyReset();
    if (!gotoBookmark(mark))
        setCurrent(isEmpty() ? -1 : 0, true, isEmpty(), true);
}

void DataSet::setFiltered(bool filtered)
{
    if (filtered == m_filtered)
        return;
    if (!isActive() || m_filterText.trimmed().isEmpty()) {
        m_filtered = filtered;
        return;
    }
    checkBrowseMode();
    m_filtered = filtered;
    const Bookmark mark = bookmark();
    try {
        applyFilter();
    } catch (...) {
        m_filtered = !filtered;
        applyFilter();
        throw;
    }
    notifyReset();
    if (!gotoBookmark(mark))
        setCurrent(isEmpty() ? -1 : 0, true, isEmpty(), true);
}

// ---- locate and bookmarks

bool DataSet::rowMatches(qsizetype source, const QVector<int> &fields, const QVariantList &values,
                         LocateOptions options) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (!locateMatch(sourceValue(source, fields[i]), values[i], options))
            return false;
    return true;
}

bool DataSet::locate(const QString &fields, const QVariant &values, LocateOptions options)
{
    checkActive();
    const QStringList names = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QVector<int> index;
    for (const QString &n : names) {
        const int i = fieldIndex(n);
        if (i < 0)
            throw Error(QStringLiteral("Field '%1' not found").arg(n.trimmed()));
        index << i;
    }
    if (index.isEmpty())
        throw Error(QStringLiteral("Locate needs at least one field"));
    QVariantList wanted;
    if (index.size() == 1 && values.typeId() != QMetaType::QVariantList)
        wanted << values;
    else
        wanted = values.toList();
    if (wanted.size() != index.size())
        throw Error(QStringLiteral("Locate got %1 values for %2 fields").arg(wanted.size()).arg(index.size()));
    checkBrowseMode();
    const int n = recordCount();
    for (int r = 0; r < n; ++r) {
        if (rowMatches(sourceOf(r), index, wanted, options)) {
            setCurrent(r, false, false);
            return true;
        }
    }
    return false;
}

QVector<int> DataSet::keyFields() const
{
    QVector<int> out;
    for (const QString &name : keyFieldNames()) {
        const int i = fieldIndex(name);
        if (i < 0 || m_fields[i].calculated) {
            out.clear();
            break;
        }
        out << i;
    }
    if (out.isEmpty())
        for (int i = 0; i < m_fields.size(); ++i)
            if (!m_fields[i].calculated)
                out << i;
    return out;
}

Bookmark DataSet::bookmark() const
{
    Bookmark b;
    if (!isActive() || m_cur < 0)
        return b;
    const qsizetype source = sourceOf(m_cur);
    for (int f : keyFields())
        b.m_values << sourceValue(source, f);
    b.m_recNo = m_cur;
    b.m_valid = true;
    return b;
}

bool DataSet::gotoBookmark(const Bookmark &bookmark)
{
    if (!bookmark.isValid() || !isActive())
        return false;
    const QVector<int> keys = keyFields();
    if (keys.size() != bookmark.m_values.size())
        return false;
    checkBrowseMode();
    auto matchAt = [&](int r) {
        const qsizetype source = sourceOf(r);
        for (int i = 0; i < keys.size(); ++i)
            if (!(sourceValue(source, keys[i]) == bookmark.m_values[i]))
                return false;
        return true;
    };
    const int n = recordCount();
    int found = -1;
    if (bookmark.m_recNo >= 0 && bookmark.m_recNo < n && matchAt(bookmark.m_recNo))
        found = bookmark.m_recNo;
    for (int r = 0; found < 0 && r < n; ++r)
        if (matchAt(r))
            found = r;
    if (found < 0)
        return false;
    setCurrent(found, false, false);
    return true;
}

// ---- master-detail

void DataSet::setMasterSource(DataSet *master)
{
    if (m_master == master)
        return;
    for (DataSet *m = master; m; m = m->m_master)
        if (m == this)
            throw Error(QStringLiteral("A data set cannot be its own master"));
    if (m_master)
        m_master->m_details.removeAll(QPointer<DataSet>(this));
    m_master = master;
    if (master)
        master->m_details.append(QPointer<DataSet>(this));
    if (!isActive())
        return;
    if (m_master && !masterHasRow())
        emptyRows();
    else
        reload();
}

bool DataSet::masterHasRow() const
{
    return m_master && m_master->isActive() && m_master->m_cur >= 0;
}

bool DataSet::masterHasField(const QString &field) const
{
    return m_master && m_master->fieldIndex(field) >= 0;
}

QVariant DataSet::masterValue(const QString &field) const
{
    if (!masterHasRow())
        return QVariant();
    return m_master->value(m_master->fieldIndex(field));
}

QVariantList DataSet::linkValues() const
{
    QVariantList out;
    if (m_master)
        for (const QString &f : masterLinkFields())
            out << masterValue(f);
    return out;
}

void DataSet::masterRowChanged(bool fieldEdit)
{
    if (!isActive())
        return;
    if (fieldEdit && linkValues() == m_lastLink)
        return;
    if (masterHasRow())
        reload();
    else
        emptyRows();
}

// ---- controls and signals

void DataSet::disableControls()
{
    ++m_disableCount;
}

void DataSet::enableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0)
        return;
    const bool reset = m_pendingReset, scroll = m_pendingScroll, data = m_pendingData, details = m_pendingDetails;
    m_pendingReset = m_pendingScroll = m_pendingData = m_pendingDetails = false;
    if (reset)
        emit rowsReset();
    if (scroll)
        emit scrolled();
    if (data)
        emit dataChanged();
    if (details)
        notifyDetails(false);
}

void DataSet::notifyReset()
{
    if (m_disableCount)
        m_pendingReset = true;
    else
        emit rowsReset();
}

void DataSet::notifyRow(int recNo)
{
    if (m_disableCount)
        m_pendingReset = true;
    else
        emit rowUpdated(recNo);
}

void DataSet::notifyInserted(int recNo)
{
    if (m_disableCount)
        m_pendingReset = true;
    else
        emit rowInserted(recNo);
}

void DataSet::notifyRemoved(int recNo)
{
    if (m_disableCount)
        m_pendingReset = true;
    else
        emit rowRemoved(recNo);
}

void DataSet::notifyScroll()
{
    if (m_disableCount) {
        m_pendingScroll = m_pendingData = true;
        return;
    }
    emit scrolled();
    emit dataChanged();
}

void DataSet::notifyRecord()
{
    if (m_disableCount)
        m_pendingData = true;
    else
        emit dataChanged();
}

void DataSet::notifyDetails(bool fieldEdit)
{
    if (m_details.isEmpty())
        return;
    if (m_disableCount) {
        m_pendingDetails = true;
        return;
    }
    const QVector<QPointer<DataSet>> details = m_details;
    for (const QPointer<DataSet> &d : details)
        if (d)
            d->masterRowChanged(fieldEdit);
}

void DataSet::currentChanged()
{
    notifyScroll();
    notifyDetails(false);
}

// ---- editing

bool DataSet::isModified() const
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return false;
    return std::any_of(m_assigned.cbegin(), m_assigned.cend(), [](bool b) { return b; });
}

void DataSet::endEdit()
{
    m_editSource = -1;
    m_buffer.clear();
    m_assigned.clear();
    m_editCalcValid = false;
}

void DataSet::edit()
{
    checkActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    if (!canModify())
        throw Error(readOnlyReason());
    if (isEmpty()) {
        insert();
        return;
    }
    m_editSource = sourceOf(m_cur);
    m_buffer = sourceColumns(m_editSource);
    m_assigned.fill(false, m_buffer.size());
    m_editCalcValid = false;
    setState(DataSetState::Edit);
}

void DataSet::insert()
{
    checkActive();
    if (!canModify())
        throw Error(readOnlyReason());
    checkBrowseMode();
    materializeOrder();
    const qsizetype source = m_nextSource++;
    m_live.push_back(source);
    m_order.push_back(source);
    m_returnTo = m_cur;
    m_editSource = source;
    m_buffer = QVector<QVariant>(m_rows->columnCount());
    m_assigned.fill(false, m_buffer.size());
    m_editCalcValid = false;
    const int r = int(m_order.size()) - 1;
    setState(DataSetState::Insert);
    notifyInserted(r);
    setCurrent(r, false, false, true);
    emit afterInsert();
}

void DataSet::setValue(int field, const QVariant &value)
{
    checkActive();
    if (field < 0 || field >= m_fields.size())
        throw Error(QStringLiteral("Field index %1 out of range").arg(field));
    const FieldDef &d = m_fields[field];
    if (d.calculated)
        throw Error(QStringLiteral("Field '%1' is calculated and cannot be modified").arg(d.name));
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw Error(QStringLiteral("Data set is not in edit or insert mode"));
    m_buffer[d.column] = value;
    m_assigned[d.column] = true;
    m_editCalcValid = false;
    notifyRow(m_cur);
    notifyRecord();
    notifyDetails(true);
}

void DataSet::post()
{
    checkActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    const qsizetype source = m_editSource;
    if (m_state == DataSetState::Edit && !isModified()) {
        endEdit();
        setState(DataSetState::Browse);
        return;
    }
    // A failed write raises here and leaves the edit as it was.
    const HeldRow written = m_state == DataSetState::Insert
                                ? writeInsert(m_buffer, m_assigned)
                                : writeUpdate(sourceColumns(source), m_buffer, m_assigned);
    m_written.insert(source, written);
    m_calcCache.remove(source);
    endEdit();
    setState(DataSetState::Browse);
    notifyRow(m_cur);
    emit afterPost();
    notifyRecord();
    // Details follow only when the written row's link values changed.
    notifyDetails(true);
}

void DataSet::cancel()
{
    if (m_state == DataSetState::Insert) {
        const qsizetype source = m_editSource;
        const int r = m_cur;
        m_live.erase(std::find(m_live.begin(), m_live.end(), source));
        m_order.erase(std::find(m_order.begin(), m_order.end(), source));
        endEdit();
        setState(DataSetState::Browse);
        notifyRemoved(r);
        const int n = recordCount();
        setCurrent(n == 0 ? -1 : qBound(0, m_returnTo, n - 1), n == 0, n == 0, true);
    } else if (m_state == DataSetState::Edit) {
        endEdit();
        setState(DataSetState::Browse);
        notifyRow(m_cur);
        notifyRecord();
        notifyDetails(true);
    }
}

void DataSet::remove()
{
    checkActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (m_state == DataSetState::Edit)
        cancel();
    if (m_cur < 0)
        throw Error(QStringLiteral("Cannot delete from an empty data set"));
    if (!canModify())
        throw Error(readOnlyReason());
    const qsizetype source = sourceOf(m_cur);
    writeDelete(sourceColumns(source));
    materializeOrder();
    m_live.erase(std::find(m_live.begin(), m_live.end(), source));
    m_order.erase(std::find(m_order.begin(), m_order.end(), source));
    m_written.remove(source);
    m_calcCache.remove(source);
    const int r = m_cur;
    notifyRemoved(r);
    const int n = recordCount();
    setCurrent(n == 0 ? -1 : qMin(r, n - 1), n == 0, n == 0, true);
}

DataSet::HeldRow DataSet::writeInsert(const QVector<QVariant> &, const QVector<bool> &)
{
    throw Error(QStringLiteral("Cannot modify a read-only data set"));
}

DataSet::HeldRow DataSet::writeUpdate(const QVector<QVariant> &, const QVector<QVariant> &, const QVector<bool> &)
{
    throw Error(QStringLiteral("Cannot modify a read-only data set"));
}

void DataSet::writeDelete(const QVector<QVariant> &)
{
    throw Error(QStringLiteral("Cannot modify a read-only data set"));
}



int DataSet::fieldScale(int field) const
{
    const FieldDef &d = m_fields[field];
    if (d.column < 0 || !m_rows || d.column >= m_rows->columnCount())
        return 0;
    const short scale = m_rows->column(d.column).scale;
    return scale < 0 ? -scale : 0;
}

} // namespace engine
