#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// A statement text as the server receives it: every `:name` parameter
// replaced by `?`, every `::` by a single colon, quotes and comments untouched.
struct ParsedSql {
    QString serverText;
    QStringList paramNames; // in order of appearance; a name may repeat
};

// Parameter names are letters, digits, `_` and `$` (so `:meta$num` is one
// name). Nothing inside '...' or "..." (both are string constants in dialect
// 1), /* ... */ or -- comments is treated as a parameter or an escape.
ParsedSql parseSqlParams(const QString &text);

} // namespace engine
