#include "workbench/Export.h"

#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/Filter.h"
#include "engine/Values.h"
#include "engine/ScrollingQuery.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "workbench/WorkStatus.h"
#include "workbench/fdivider.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTime>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

namespace {

const QString kSaveFilter = QStringLiteral("Text|*.txt|All|*.*");
const QString kOverwrite = QStringLiteral("File exists. Owerwrite?");

// The file is handed to the system in pieces of about this size.
constexpr qsizetype kChunkBytes = 1 << 20;

// --------------------------------------------------------------- value text

void appendChars(QByteArray &out, const char *begin, const char *end)
{
    out.append(begin, qsizetype(end - begin));
}

void appendInteger(QByteArray &out, qint64 v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    appendChars(out, buf, r.ptr);
}

void appendUnsigned(QByteArray &out, quint64 v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    appendChars(out, buf, r.ptr);
}

// The text as UTF-8; ASCII, the usual case, is copied byte by byte.
void appendUtf8(QByteArray &out, QStringView s)
{
    const qsizetype n = s.size();
    const char16_t *p = s.utf16();
    const qsizetype start = out.size();
    out.resize(start + n);
    char *dst = out.data() + start;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] >= 0x80) {
            out.resize(start + i);
            out.append(s.mid(i).toUtf8());
            return;
        }
        dst[i] = char(p[i]);
    }
}

void appendScaled(QByteArray &out, double v, int scale)
{
    char buf[engine::kScaledTextSize];
    appendChars(out, buf, engine::writeScaled(buf, v, scale));
}

void appendFloating(QByteArray &out, double v, bool singlePrecision)
{
    char buf[400];
    const double a = std::fabs(v);
    const std::chars_format style = (a == 0 || (a >= 1e-5 && a < 1e15)) ? std::chars_format::fixed
                                                                        : std::chars_format::scientific;
    // Shortest form that reads back as the same number: a FLOAT value widened
    // to a double would otherwise show digits it never had (0.1 -> 0.100000001...).
    const auto r = singlePrecision ? std::to_chars(buf, buf + sizeof buf, float(v), style)
                                   : std::to_chars(buf, buf + sizeof buf, v, style);
    if (r.ec != std::errc()) {
        out.append(engine::valueText(v).toUtf8());
        return;
    }
    appendChars(out, buf, r.ptr);
}

void appendDigits(char *&p, int v, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        p[i] = char('0' + v % 10);
        v /= 10;
    }
    p += width;
}

void appendDate(QByteArray &out, QDate d)
{
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    if (y < 0 || y > 9999) {
        out.append(d.toString(Qt::ISODate).toUtf8());
        return;
    }
    char buf[10];
    char *p = buf;
    appendDigits(p, y, 4);
    *p++ = '-';
    appendDigits(p, m, 2);
    *p++ = '-';
    appendDigits(p, day, 2);
    appendChars(out, buf, p);
}

void appendTime(QByteArray &out, QTime t)
{
    char buf[12];
    char *p = buf;
    appendDigits(p, t.hour(), 2);
    *p++ = ':';
    appendDigits(p, t.minute(), 2);
    *p++ = ':';
    appendDigits(p, t.second(), 2);
    if (const int ms = t.msec()) {
        *p++ = '.';
        appendDigits(p, ms, 3);
    }
    appendChars(out, buf, p);
}

void appendHex(QByteArray &out, const QByteArray &bytes)
{
    static const char digits[] = "0123456789abcdef";
    const qsizetype start = out.size();
    out.resize(start + 2 * bytes.size());
    char *p = out.data() + start;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *p++ = digits[b >> 4];
        *p++ = digits[b & 0xf];
    }
}

// ------------------------------------------------------------- the file

// A regular file (or a new one) is written to a temporary file beside it and
// renamed over it at the end; anything else that exists (a device, a pipe) is
// written in place, as renaming over it would replace the device itself.
class ExportFile {
public:
    explicit ExportFile(const QString &name) : m_name(name)
    {
        const QFileInfo info(name);
        if (info.exists() && !info.isFile()) {
            m_direct = std::make_unique<QFile>(name);
            m_device = m_direct.get();
        } else {
            m_save = std::make_unique<QSaveFile>(name);
            // A file we may write in a folder we may not: written in place.
            m_save->setDirectWriteFallback(true);
            m_device = m_save.get();
        }
        // Unbuffered: a failing write reports at once, not at some later flush.
        if (!m_device->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            fail(QStringLiteral("Cannot create the file %1: %2"));
    }

    void write(const QByteArray &bytes)
    {
        // A short write (the disk filled up in the middle of it) carries no
        // reason; writing the rest fails with the system's own (no space
        // left on the device, file too large).
        qint64 done = 0;
        while (done < bytes.size()) {
            const qint64 n = m_device->write(bytes.constData() + done, bytes.size() - done);
            if (n <= 0)
                fail(QStringLiteral("Cannot write the file %1: %2"));
            done += n;
        }
    }

    void commit()
    {
        if (m_save) {
            if (!m_save->commit())
                fail(QStringLiteral("Cannot write the file %1: %2"));
            return;
        }
        m_direct->close();
        if (m_direct->error() != QFileDevice::NoError)
            fail(QStringLiteral("Cannot write the file %1: %2"));
    }

private:
    [[noreturn]] void fail(const QString &pattern)
    {
        const QString reason = m_device->errorString();
        // Dropping the unfinished temporary file leaves the old file as it was.
        if (m_save)
            m_save->cancelWriting();
        throw engine::Error(pattern.arg(QDir::toNativeSeparators(m_name), reason));
    }

    QString m_name;
    std::unique_ptr<QSaveFile> m_save;
    std::unique_ptr<QFile> m_direct;
    QFileDevice *m_device = nullptr;
};

// The file's lines as the rows come: the title and the labels first, then
// one line per record. The file is made at the first record, so a result
// without records leaves no file and an existing one as it was.
class ExportWriter {
public:
    ExportWriter(const QString &fileName, const QString &title, const QStringList &labels,
                 std::vector<ExportFieldFormat> formats, const QString &separator)
        : m_fileName(fileName), m_formats(std::move(formats)), m_sep(separator.toUtf8())
    {
        m_buf.reserve(kChunkBytes + (64 << 10));
        appendUtf8(m_buf, title);
        m_buf.append(kLineEnd);
        for (const QString &l : labels) {
            appendUtf8(m_buf, l);
            m_buf.append(m_sep);
        }
        m_buf.append(kLineEnd);
    }

    // One record: valueOf(k) is the value of the k-th field written.
    template <typename ValueOf>
    void record(const ValueOf &valueOf)
    {
        if (!m_file)
            m_file = std::make_unique<ExportFile>(m_fileName);
        for (size_t k = 0; k < m_formats.size(); ++k) {
            appendExportValue(m_buf, valueOf(int(k)), m_formats[k]);
            m_buf.append(m_sep);
        }
        m_buf.append(kLineEnd);
        if (m_buf.size() >= kChunkBytes) {
            m_file->write(m_buf);
            m_buf.resize(0);
        }
    }

    // Puts the file in its place; nothing when no record came.
    void finish()
    {
        if (!m_file)
            return;
        m_file->write(m_buf);
        m_file->commit();
    }

private:
    static constexpr char kLineEnd[] = "\r\n";
    QString m_fileName;
    std::vector<ExportFieldFormat> m_formats;
    QByteArray m_sep;
    QByteArray m_buf;
    std::unique_ptr<ExportFile> m_file;
};

} // namespace

// ------------------------------------------------------------------ values

void appendExportValue(QByteArray &out, const QVariant &value, const ExportFieldFormat &format)
{
    if (value.isNull())
        return;
    switch (value.typeId()) {
    case QMetaType::QString:
        appendUtf8(out, *static_cast<const QString *>(value.constData()));
        return;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
        appendInteger(out, value.toLongLong());
        return;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        appendUnsigned(out, value.toULongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        if (format.scale > 0)
            appendScaled(out, value.toDouble(), format.scale);
        else
            appendFloating(out, value.toDouble(), format.singlePrecision || value.typeId() == QMetaType::Float);
        return;
    case QMetaType::QDate:
        appendDate(out, value.toDate());
        return;
    case QMetaType::QTime:
        appendTime(out, value.toTime());
        return;
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        appendDate(out, dt.date());
        const QTime t = dt.time();
        if (t != QTime(0, 0)) {
            out.append(' ');
            appendTime(out, t);
        }
        return;
    }
    case QMetaType::Bool:
        out.append(value.toBool() ? "true" : "false");
        return;
    case QMetaType::QByteArray:
        appendHex(out, *static_cast<const QByteArray *>(value.constData()));
        return;
    default:
        appendUtf8(out, engine::valueText(value));
        return;
    }
}

QString exportValueText(const QVariant &value, const ExportFieldFormat &format)
{
    QByteArray out;
    appendExportValue(out, value, format);
    return QString::fromUtf8(out);
}

ExportFieldFormat exportFieldFormat(const engine::DataSet &dataSet, int field)
{
    ExportFieldFormat f;
    const engine::FieldDef &def = dataSet.fieldDef(field);
    f.singlePrecision = def.type == engine::FieldType::Float;
    if (const int scale = dataSet.fieldScale(field))
        f.scale = scale;
    return f;
}

// -------------------------------------------------------------------- file

void WriteDataSetToFile(const QString &title, engine::DataSet &dataSet, const QString &fileName,
                        const QString &separator)
{
    if (dataSet.recordCount() == 0)
        return;

    std::vector<int> fields;
    std::vector<ExportFieldFormat> formats;
    QStringList labels;
    for (int i = 0; i < dataSet.fieldCount(); ++i) {
        if (!dataSet.fieldDef(i).visible)
            continue;
        fields.push_back(i);
        formats.push_back(exportFieldFormat(dataSet, i));
        labels << dataSet.fieldDef(i).displayLabel;
    }
    ExportWriter out(fileName, title, labels, std::move(formats), separator);
    {
        // Grids follow the scan once, at its end, instead of at every record.
        engine::ControlsFrozen frozen(dataSet);
        dataSet.first();
        while (!dataSet.eof()) {
            out.record([&](int k) { return dataSet.value(fields[size_t(k)]); });
            dataSet.next();
        }
    }
    out.finish();
}

ExportFieldFormat exportColumnFormat(const engine::Column &column)
{
    ExportFieldFormat f;
    f.singlePrecision = column.type == engine::FieldType::Float;
    f.scale = column.scale < 0 ? -column.scale : 0;
    return f;
}

qint64 WriteScrollingQueryToFile(const QString &title, engine::ScrollingQuery &query, const QString &fileName,
                                 const QString &separator)
{
    if (query.columnCount() == 0)
        return 0;
    const engine::RowSet &held = query.rows();
    std::vector<ExportFieldFormat> formats;
    QStringList labels;
    for (const engine::Column &c : held.columns()) {
        formats.push_back(exportColumnFormat(c));
        labels << c.name;
    }
    ExportWriter out(fileName, title, labels, std::move(formats), separator);
    for (qsizetype r = 0; r < held.rowCount(); ++r)
        out.record([&](int k) { return held.value(r, k); });
    const qsizetype streamed =
        query.drain([&](const engine::RowSet &one) { out.record([&](int k) { return one.value(0, k); }); });
    out.finish();
    return held.rowCount() + streamed;
}

// ---------------------------------------------------------------- commands

void WriteTextFile(const QString &fileName, const QByteArray &bytes)
{
    ExportFile file(fileName);
    file.write(bytes);
    file.commit();
}

std::optional<QString> ChooseSaveFileName(WorkStatus &status)
{
    QString &remembered = status.rememberedSaveName();
    std::optional<QString> name = platform::Prompter::instance().saveFileName(QString(), kSaveFilter, remembered);
    if (name)
        remembered = *name;
    return name;
}

void SaveToChosenFile(WorkStatus &status, const std::function<void(const QString &fileName)> &write)
{
    const std::optional<QString> fileName = ChooseSaveFileName(status);
    if (!fileName)
        return;
    status.redraw();
    if (QFileInfo::exists(*fileName)
        && platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), kOverwrite)
               != platform::Prompter::Answer::Yes)
        return;

    status.setBusy();
    QString failure;
    try {
        write(*fileName);
    } catch (const engine::Error &e) {
        failure = e.message();
    } catch (const std::bad_alloc &) {
        failure = QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    if (failure.isEmpty()) {
        status.setReady();
    } else {
        status.setError();
        status.showError(failure);
    }
    restoreDefaultCursor();
}

void ExportWith(WorkStatus &status, const std::function<void(const QString &fileName, const QString &separator)> &write)
{
    if (!fmDivider)
        return;
    if (platform::execModal(*fmDivider) != QDialog::Accepted)
        return;
    status.redraw();
    const QString separator = fmDivider->Separator;
    SaveToChosenFile(status, [&](const QString &fileName) { write(fileName, separator); });
}

void ExportDataSet(WorkStatus &status, const QString &title, engine::DataSet &dataSet)
{
    ExportWith(status, [&](const QString &fileName, const QString &separator) {
        WriteDataSetToFile(title, dataSet, fileName, separator);
    });
}
