#pragma once

#include <QString>
#include <QVariant>

namespace engine {

// A value as the grids, filters and exports read it: empty for NULL, dates as
// yyyy-MM-dd (with hh:mm:ss when there is a time of day), bytes as hex.
QString valueText(const QVariant &value);
// The same with a field's declared scale: a NUMERIC or DECIMAL value (held
// as a double) written by writeScaled, so every grid shows what the export
// writes ("43.50", "32.00"). Any other value, or scale 0, as valueText.
QString valueText(const QVariant &value, int scale);

// NUMERIC and DECIMAL values reach us as doubles (the stored integer divided
// by the power of ten): fixed point with exactly `scale` digits after the
// point ("12.50", "-0.07", "0.00"; a tiny negative value that rounds to zero
// has no sign). Rounding to the declared digits gives the stored value back
// while it has at most 15 significant digits. Writes into buf, which holds
// kScaledTextSize characters (any double fits), and returns the end.
constexpr int kScaledTextSize = 400;
char *writeScaled(char *buf, double v, int scale);
// Integer and floating-point values (not text that looks like a number).
bool isNumeric(const QVariant &value);

} // namespace engine
