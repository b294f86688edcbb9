// Stand-in for the maker's path resolver.
#pragma once

#include <cstdint>

namespace ostak {

// Looks for `name` in each directory of the colon-separated environment
// variable OSTAK_PATH, in order; on the first regular file found, writes its
// full path (NUL-terminated, at most 2047 characters) into `buffer` (2048
// bytes) and answers 1. Nothing found, or no variable: 0. The two numbers are
// taken for compatibility and not used.
int32_t GetFullPath(int32_t what, int32_t flags, const char *name, char *buffer) noexcept;

} // namespace ostak
