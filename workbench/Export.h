#pragma once

// Text export of a data set: the separator dialog, the save dialog shared by
// the main window, the overwrite question and the file itself.
//
// The file: UTF-8 without a byte-order mark, every line ended by CR LF.
//   line 1    the caller's title, as given
//   line 2    the display label of every visible field, each followed by the separator
//   then      one line per record: every visible field's value as text, each
//             followed by the separator
// Nothing is quoted or escaped: a value holding the separator or a line break
// is written as it is.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

class WorkStatus;

namespace engine {
class DataSet;
class ScrollingQuery;
struct Column;
}

// How the values of one field are written.
struct ExportFieldFormat {
    // Digits after the decimal point of a NUMERIC or DECIMAL field; 0 for
    // every other field.
    int scale = 0;
    // A FLOAT field: its values are written with the digits a single-precision
    // number holds, not those of the double it arrives as.
    bool singlePrecision = false;
};

// Value-to-text rules of the export:
//   NULL                 nothing (the separator follows at once)
//   integers             plain decimal digits
//   NUMERIC, DECIMAL     fixed point with exactly the declared digits after the
//                        point ("12.50", "-0.07", "0.00")
//   FLOAT, DOUBLE        the shortest text that reads back as the same number;
//                        fixed point from 1e-5 up to 1e15, otherwise with an
//                        exponent ("1e+20")
//   DATE                 yyyy-MM-dd
//   TIME                 hh:mm:ss, with .zzz when there are milliseconds
//   TIMESTAMP            yyyy-MM-dd hh:mm:ss(.zzz); a value at midnight as the
//                        date alone (dialect 1 keeps plain dates in timestamps)
//   BOOLEAN              true, false
//   text and text BLOBs  the text itself, unchanged
//   binary values        their bytes as lower-case hexadecimal digits
void appendExportValue(QByteArray &out, const QVariant &value, const ExportFieldFormat &format = {});
QString exportValueText(const QVariant &value, const ExportFieldFormat &format = {});

// The format of one field of an open data set.
ExportFieldFormat exportFieldFormat(const engine::DataSet &dataSet, int field);

// Writes the file described above. A data set without records writes nothing:
// no file is created and an existing one keeps its content. The data set is
// moved to its first record and read to its end (grids bound to it follow to
// the last row once the scan is done). A regular file is written beside the
// target and put in its place only when complete, so a failure never leaves
// a partly written file behind; a device or pipe is written directly. Every
// failure, of the file or of the data set, raises engine::Error with its
// message.
void WriteDataSetToFile(const QString &title, engine::DataSet &dataSet, const QString &fileName,
                        const QString &separator);

// The format of one column of a result.
ExportFieldFormat exportColumnFormat(const engine::Column &column);

// The same file of a query that fetches as its grid scrolls: the rows it
// holds, then the rest written as they are fetched and not kept (see
// ScrollingQuery::drain). Every column is written, labelled by its name.
// Returns the number of records written.
qint64 WriteScrollingQueryToFile(const QString &title, engine::ScrollingQuery &query, const QString &fileName,
                                 const QString &separator);

// Writes bytes to fileName the way the export writes its file: beside the
// target and put in its place only when complete (a device or pipe
// directly). A failure raises engine::Error with its message.
void WriteTextFile(const QString &fileName, const QByteArray &bytes);

// The save dialog shared by every command that saves a text file: it offers
// the name chosen last anywhere in the window ("unknown.txt" at first) and
// keeps the name chosen now. Nothing on Cancel.
std::optional<QString> ChooseSaveFileName(WorkStatus &status);

// Every save of a text file: the shared save dialog, the overwrite question
// for an existing file, then write(fileName) with the window busy; a failure
// (an engine::Error or running out of memory) ends in the error state with
// its message shown. Nothing happens on Cancel or No.
void SaveToChosenFile(WorkStatus &status, const std::function<void(const QString &fileName)> &write);

// The whole export, as the export buttons run it: the separator dialog, then
// the save above with write(fileName, separator).
void ExportWith(WorkStatus &status, const std::function<void(const QString &fileName, const QString &separator)> &write);
// ExportWith writing the data set.
void ExportDataSet(WorkStatus &status, const QString &title, engine::DataSet &dataSet);
