#include "1-platform/OstakPath.h"

#include "1-platform/basekit32.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace ostak {

namespace {

constexpr int kMaxLinkHops = 40; // as the kernel allows before ELOOP

// Copies `length` characters of `text` into `buffer`; false when they do not fit.
bool CopyPath(char *buffer, std::size_t capacity, const char *text, std::size_t length) noexcept {
    if (length + 1 > capacity) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memmove(buffer, text, length);
    buffer[length] = '\0';
    return true;
}

} // namespace

std::size_t FolderPartLength(const char *path) noexcept {
    const char *last = std::strrchr(path, kPathSeparator);
    return last == nullptr ? 0 : static_cast<std::size_t>(last - path) + 1;
}

bool ResolveSymbolicLinks(const char *path, char *resolved, std::size_t capacity) noexcept {
    if (!CopyPath(resolved, capacity, path, std::strlen(path))) {
        return false;
    }
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status;
        if (lstat(resolved, &status) != 0 || !S_ISLNK(status.st_mode)) {
            return true; // a file, or nothing yet: this is the name
        }
        char link[kResolvedPathCapacity];
        const ssize_t length = readlink(resolved, link, sizeof link - 1);
        if (length < 0) {
            return false;
        }
        link[length] = '\0';
        if (link[0] == kPathSeparator) {
            if (!CopyPath(resolved, capacity, link, static_cast<std::size_t>(length))) {
                return false;
            }
            continue;
        }
        // A relative link counts from the folder that holds the link.
        const std::size_t folder = FolderPartLength(resolved);
        if (!CopyPath(resolved + folder, capacity - folder, link, static_cast<std::size_t>(length))) {
            return false;
        }
    }
    errno = ELOOP;
    return false;
}

const char *FileTypeName(mode_t mode) noexcept {
    switch (mode & S_IFMT) {
    case S_IFIFO:
        return "a FIFO";
    case S_IFSOCK:
        return "a socket";
    case S_IFCHR:
        return "a character device";
    case S_IFBLK:
        return "a block device";
    case S_IFDIR:
        return "a folder";
    case S_IFLNK:
        return "a symbolic link";
    case S_IFREG:
        return "a regular file";
    default:
        return "something else";
    }
}

} // namespace ostak
