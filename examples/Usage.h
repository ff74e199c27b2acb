#pragma once
// The example programs know no options: an argument that begins with "-", or more of them
// than the program takes, is refused with its usage line, so that "--help" never becomes
// the name of a folder or a file. Qt's own options are taken by the application object
// before this check.

#include <cstdio>

namespace norvane::examples {

// Whether the program takes these arguments (at most `most`, none an option); otherwise the
// usage line goes to standard error and the program ends with status 2.
inline bool takes(int argc, char** argv, int most, const char* usage) {
    bool taken = argc - 1 <= most;
    for (int i = 1; taken && i < argc; ++i) taken = argv[i][0] != '-';
    if (!taken) std::fprintf(stderr, "usage: %s\n", usage);
    return taken;
}

}  // namespace norvane::examples
