#pragma once

// Internal to the engine: status-vector handling over the Firebird client API.

#include "engine/Error.h"

#include <QStringList>

#include <ibase.h>

static_assert(sizeof(FB_API_HANDLE) == sizeof(unsigned int),
              "engine headers keep client handles as unsigned int");

namespace engine {
class Database;
}

namespace engine::fb {

// The vector's whole message (every line fb_interpret gives), its SQLCODE,
// its gds codes and the category the programs test for.
Error toError(const ISC_STATUS *status);

inline bool failed(const ISC_STATUS *status)
{
    return status[0] == 1 && status[1] != 0;
}

inline void check(const ISC_STATUS *status)
{
    if (failed(status))
        throw toError(status);
}

// A call that succeeded may still carry warnings after its empty error:
// {isc_arg_gds, 0, isc_arg_warning, code, ...}.
inline bool hasWarnings(const ISC_STATUS *status)
{
    return status[0] == isc_arg_gds && status[1] == 0 && status[2] == isc_arg_warning;
}

// The warning texts of such a vector, one per warning.
QStringList warningsOf(const ISC_STATUS *status);

// check() for a call made on db's behalf: an error raises, warnings are kept
// on db for its caller to take.
void check(const ISC_STATUS *status, Database &db);

} // namespace engine::fb
