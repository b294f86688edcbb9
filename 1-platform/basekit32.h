// Stand-in for the maker's operating-system layer: the string type OsStr and
// the few system services the library relies on.
#pragma once

#include <cstdint>

namespace ostak {

// An OsStr is one pointer to NUL-terminated 8-bit characters. The length (a
// 32-bit signed count) lives in the 32-bit word just before the first
// character. Every empty string points at the one shared empty string, so an
// empty field needs no memory.
struct OsStr {
    char *psz;
};

// The shared empty string (its length word is 0, its text "").
extern const OsStr xtOsStrCommonEmptyStr;

// The string's length as stored in front of its characters.
int32_t OsStrLength(const OsStr &str) noexcept;
// Inline: validation asks it of every field.
inline bool OsStrIsEmpty(const OsStr &str) noexcept {
    return str.psz[0] == '\0';
}

// The string operations. Each answers false when no memory could be had; a
// construct then leaves the shared empty string in the place, an assign
// leaves the target as it was. Embedded NUL bytes are copied like any other.
bool xfvOsStrConstructFromCharArrayIgnoringNulls(OsStr *place, const char *chars, int32_t count) noexcept;
bool xfvOsStrConstructByStrDataIgnoringNulls(OsStr *place, const OsStr &source) noexcept;
bool xfvOsStrAssignFromCharArrayIgnoringNulls(OsStr *target, const char *chars, int32_t count) noexcept;
bool xfvOsStrAssignByStrDataIgnoringNulls(OsStr *target, const OsStr &source) noexcept;
// A new string value holding the join of two character runs (null psz when no
// memory); the caller copies it into place and then releases it with xfvOsStrDestruct.
OsStr xfpsfzOsStrAddIgnoringNulls(const char *chars, int32_t length, const char *more,
                                  int32_t count) noexcept;
// Releases the string's memory; the string is the shared empty string afterwards.
void xfvOsStrDestruct(OsStr *str) noexcept;

// Results of the system services.
constexpr uint32_t kOsSuccess = 0x2000001;
constexpr uint32_t kOsFileNotFound = 0x2000003;

void *os_load_library(const char *name) noexcept;
void *os_get_proc_address(void *library, const char *name) noexcept;
// kOsSuccess when the whole text (up to the NUL when `length` is -1) is an
// unsigned decimal number that fits 32 bits, stored in `value`; any other
// value when it is not.
uint32_t os_convert_to_unsigned_long(const char *text, int32_t length, uint32_t *value) noexcept;
// Writes the decimal text of `number` into `buffer` (at least 12 bytes) and
// returns a pointer to it: no leading blanks or zeros.
char *os_ltoa(int32_t number, char *buffer) noexcept;
// kOsSuccess when the file was removed, kOsFileNotFound when there was none,
// any other value is a failure number.
uint32_t os_remove_file(const char *path, int32_t flags) noexcept;
// 0 when the process's LC_CTYPE code set is ASCII or ISO-8859-1, else 1.
int32_t xeOsCharsetType() noexcept;

// The path separator of this platform, used wherever paths are composed.
constexpr char kPathSeparator = '/';

} // namespace ostak
