#pragma once

#include <cstdio>
#include <cstdlib>
#include <source_location>

namespace pylon::fuzz {

// An invariant of the code under test. A broken one aborts, so libFuzzer keeps the input as a crash
// just as it does for a sanitizer report.
inline void check(bool holds, const char* what, std::source_location where = std::source_location::current()) {
    if (holds)
        return;
    std::fprintf(stderr, "%s:%u: invariant broken: %s\n", where.file_name(), unsigned(where.line()), what);
    std::abort();
}

} // namespace pylon::fuzz
