#pragma once

// What every benchmark program shares: its own command-line flags.

#include <cstring>
#include <string>

// Takes "--name=value" out of argv (the benchmark library rejects flags it
// does not know) and returns whether it was there.
inline bool takeFlag(int *argc, char **argv, const char *name, std::string *value)
{
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) {
            *value = argv[i] + prefix.size();
            for (int j = i; j + 1 < *argc; ++j)
                argv[j] = argv[j + 1];
            --*argc;
            return true;
        }
    }
    return false;
}
