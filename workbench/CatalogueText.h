#pragma once

#include <QString>

namespace engine {
class Error;
}

// Catalogue codes as readable text.
namespace catalogue {

// The type of a domain, column or parameter as a declaration would write it.
// subType 999 stands for an unknown (NULL) sub-type. charLength, where the
// catalogue has it, is the length in characters of CHAR and VARCHAR (the byte
// length counts several bytes per character in multi-byte sets); precision
// that of BIGINT-based NUMERIC; dialect decides whether code 35 is DATE (1)
// or TIMESTAMP (3).
QString GetParamType(int fieldType, int subType, int length, int scale, int charLength = 0, int precision = 0,
                     int dialect = 1);
// BEFORE INSERT ... AFTER DELETE for 1 to 6; empty otherwise.
QString triggerTypeText(int type);
// "Table", "View", ... "Index" for 0 to 10; empty otherwise.
QString objectTypeName(int code);

// The server's text of a refused statement, with a plain note in front when
// the database's dialect is the reason: the workbench speaks SQL dialect 1,
// and a dialect-3 database takes no definition from it in which DATE,
// TIME, NUMERIC or DECIMAL would mean something else.
QString serverText(const engine::Error &e);

} // namespace catalogue
