#pragma once

// Internal to the engine: status-vector handling over the Firebird client API.

#include "engine/Error.h"

#include <ibase.h>

static_assert(sizeof(FB_API_HANDLE) == sizeof(unsigned int),
              "engine headers keep client handles as unsigned int");

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

} // namespace engine::fb
