#include "1-platform/Wayfind.h"

#include "1-platform/basekit32.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace ostak {

namespace {
constexpr std::size_t kBufferSize = 2048;

// Composes dir + separator + name into `buffer`; false when it does not fit.
bool Compose(const char *dir, std::size_t dirLength, const char *name, char *buffer) {
    const std::size_t nameLength = std::strlen(name);
    const bool needsSeparator = dirLength > 0 && dir[dirLength - 1] != kPathSeparator;
    const std::size_t total = dirLength + (needsSeparator ? 1 : 0) + nameLength;
    if (total + 1 > kBufferSize) {
        return false;
    }
    std::memcpy(buffer, dir, dirLength);
    std::size_t at = dirLength;
    if (needsSeparator) {
        buffer[at++] = kPathSeparator;
    }
    std::memcpy(buffer + at, name, nameLength + 1);
    return true;
}
} // namespace

int32_t GetFullPath(int32_t /*what*/, int32_t /*flags*/, const char *name, char *buffer) noexcept {
    const char *list = std::getenv("OSTAK_PATH");
    if (list == nullptr || name == nullptr || buffer == nullptr) {
        return 0;
    }
    char candidate[kBufferSize];
    const char *dir = list;
    while (true) {
        const char *end = std::strchr(dir, ':');
        const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - dir) : std::strlen(dir);
        struct stat info;
        if (length > 0 && Compose(dir, length, name, candidate) && stat(candidate, &info) == 0 &&
            S_ISREG(info.st_mode)) {
            std::memcpy(buffer, candidate, std::strlen(candidate) + 1);
            return 1;
        }
        if (end == nullptr) {
            return 0;
        }
        dir = end + 1;
    }
}

} // namespace ostak
