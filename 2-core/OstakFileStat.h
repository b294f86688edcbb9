// The file status check of a rule file: whether its path names a readable,
// non-empty regular file. The rule-file object holds one of these; global
// initialisation runs one on the script's path.
#pragma once

#include <cstdint>
#include <sys/stat.h>

namespace ostak {

struct OstakFileStat {
    int32_t code = -1;       // result of the last check, -1 before the first
    struct stat record = {}; // filled by the last check, zero after a failed one

    // Checks `path`: 0 present, 20 status not readable (after message -32570),
    // 21 not a regular file, 22 empty, 24 missing. Stores and returns the code.
    int32_t Obtain(const char *path) noexcept;
};

} // namespace ostak
