#pragma once

#include <QString>
#include <QVariant>

namespace engine {

// A value as the grids, filters and exports read it: empty for NULL, dates as
// yyyy-MM-dd (with hh:mm:ss when there is a time of day), bytes as hex.
QString valueText(const QVariant &value);
// Integer and floating-point values (not text that looks like a number).
bool isNumeric(const QVariant &value);

} // namespace engine
