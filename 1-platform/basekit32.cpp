#include "1-platform/basekit32.h"

#include "1-platform/Alloc.h"
#include "1-platform/Seams.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <langinfo.h>

namespace ostak {

namespace {

// The block behind every non-empty OsStr: the length word, then the characters.
struct OsStrBlock {
    int32_t length;
    char text[4];
};

constexpr std::size_t kTextOffset = offsetof(OsStrBlock, text);

OsStrBlock g_emptyBlock = {0, {0, 0, 0, 0}};

OsStrBlock *BlockOf(const OsStr &str) noexcept {
    return reinterpret_cast<OsStrBlock *>(str.psz - kTextOffset);
}

bool IsShared(const OsStr &str) noexcept {
    return str.psz == g_emptyBlock.text;
}

// A fresh string value of `count` characters copied from `chars`, followed by
// `more`/`moreCount`; null psz when no memory could be had.
OsStr MakeValue(const char *chars, int32_t count, const char *more, int32_t moreCount) noexcept {
    if (count < 0 || moreCount < 0) {
        return OsStr{nullptr};
    }
    const int64_t total = static_cast<int64_t>(count) + moreCount;
    if (total == 0) {
        return xtOsStrCommonEmptyStr;
    }
    if (total > INT32_MAX - 16) {
        return OsStr{nullptr};
    }
    void *raw = AllocRaw(kTextOffset + static_cast<std::size_t>(total) + 1);
    if (raw == nullptr) {
        return OsStr{nullptr};
    }
    OsStrBlock *block = static_cast<OsStrBlock *>(raw);
    block->length = static_cast<int32_t>(total);
    char *text = static_cast<char *>(raw) + kTextOffset;
    if (count > 0) {
        std::memcpy(text, chars, static_cast<std::size_t>(count));
    }
    if (moreCount > 0) {
        std::memcpy(text + count, more, static_cast<std::size_t>(moreCount));
    }
    text[total] = '\0';
    return OsStr{text};
}

} // namespace

const OsStr xtOsStrCommonEmptyStr = {g_emptyBlock.text};

int32_t OsStrLength(const OsStr &str) noexcept {
    return BlockOf(str)->length;
}

bool xfvOsStrConstructFromCharArrayIgnoringNulls(OsStr *place, const char *chars, int32_t count) noexcept {
    OsStr value = MakeValue(chars, count, nullptr, 0);
    if (value.psz == nullptr) {
        *place = xtOsStrCommonEmptyStr;
        return false;
    }
    *place = value;
    return true;
}

bool xfvOsStrConstructByStrDataIgnoringNulls(OsStr *place, const OsStr &source) noexcept {
    return xfvOsStrConstructFromCharArrayIgnoringNulls(place, source.psz, OsStrLength(source));
}

bool xfvOsStrAssignFromCharArrayIgnoringNulls(OsStr *target, const char *chars, int32_t count) noexcept {
    OsStr value = MakeValue(chars, count, nullptr, 0);
    if (value.psz == nullptr) {
        return false;
    }
    xfvOsStrDestruct(target);
    *target = value;
    return true;
}

bool xfvOsStrAssignByStrDataIgnoringNulls(OsStr *target, const OsStr &source) noexcept {
    if (target->psz == source.psz) {
        return true;
    }
    return xfvOsStrAssignFromCharArrayIgnoringNulls(target, source.psz, OsStrLength(source));
}

OsStr xfpsfzOsStrAddIgnoringNulls(const char *chars, int32_t length, const char *more,
                                  int32_t count) noexcept {
    return MakeValue(chars, length, more, count);
}

void xfvOsStrDestruct(OsStr *str) noexcept {
    if (str->psz != nullptr && !IsShared(*str)) {
        FreeRaw(BlockOf(*str));
    }
    *str = xtOsStrCommonEmptyStr;
}

void *os_load_library(const char *name) noexcept {
    PlatformSeams &seams = Seams();
    ++seams.loadLibraryCalls;
    if (seams.loadLibraryFails || name == nullptr) {
        return nullptr;
    }
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void *os_get_proc_address(void *library, const char *name) noexcept {
    if (library == nullptr || name == nullptr || Seams().procAddressMissing == name) {
        return nullptr;
    }
    return dlsym(library, name);
}

uint32_t os_convert_to_unsigned_long(const char *text, int32_t length, uint32_t *value) noexcept {
    constexpr uint32_t kNotANumber = 0x2000002;
    if (text == nullptr || value == nullptr) {
        return kNotANumber;
    }
    const std::size_t count = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
    if (count == 0) {
        return kNotANumber;
    }
    uint64_t number = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return kNotANumber;
        }
        number = number * 10 + static_cast<uint64_t>(c - '0');
        if (number > UINT32_MAX) {
            return kNotANumber;
        }
    }
    *value = static_cast<uint32_t>(number);
    return kOsSuccess;
}

char *os_ltoa(int32_t number, char *buffer) noexcept {
    std::snprintf(buffer, 12, "%d", static_cast<int>(number));
    return buffer;
}

uint32_t os_remove_file(const char *path, int32_t /*flags*/) noexcept {
    constexpr uint32_t kErrorBase = 0x2000100;
    PlatformSeams &seams = Seams();
    if (seams.removeFile.active) {
        return static_cast<uint32_t>(seams.removeFile.rc);
    }
    if (path == nullptr) {
        return kErrorBase + EINVAL;
    }
    if (std::remove(path) == 0) {
        return kOsSuccess;
    }
    if (errno == ENOENT) {
        return kOsFileNotFound;
    }
    return kErrorBase + static_cast<uint32_t>(errno);
}

int32_t xeOsCharsetType() noexcept {
    const char *codeset = nl_langinfo(CODESET);
    if (codeset == nullptr) {
        return 0;
    }
    if (std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "ISO-8859-1") == 0) {
        return 0;
    }
    return 1;
}

} // namespace ostak
