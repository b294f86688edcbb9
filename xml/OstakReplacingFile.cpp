#include "xml/OstakReplacingFile.h"

#include "platform/Seams.h"
#include "platform/basekit32.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostak {

namespace {

constexpr int kMaxLinkHops = 40;   // as the kernel allows before ELOOP
constexpr int kMaxNameTries = 100; // names of new files tried before giving up

std::atomic<unsigned> g_newFileCounter{0};

// Copies `text` into `buffer`; false when it does not fit.
bool CopyPath(char *buffer, std::size_t capacity, const char *text, std::size_t length) noexcept {
    if (length + 1 > capacity) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return true;
}

// Length of the directory part of `path`, its last separator included (0: none).
std::size_t DirectoryLength(const char *path) noexcept {
    const char *last = std::strrchr(path, kPathSeparator);
    return last == nullptr ? 0 : static_cast<std::size_t>(last - path) + 1;
}

} // namespace

OstakReplacingFile::~OstakReplacingFile() {
    Abandon();
}

bool OstakReplacingFile::ResolveTarget(const char *targetPath) noexcept {
    if (!CopyPath(m_Target, sizeof m_Target, targetPath, std::strlen(targetPath))) {
        return false;
    }
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status;
        if (lstat(m_Target, &status) != 0 || !S_ISLNK(status.st_mode)) {
            return true; // a file, or nothing yet: write it under this name
        }
        char link[kPathCapacity];
        const ssize_t length = readlink(m_Target, link, sizeof link - 1);
        if (length < 0) {
            return false;
        }
        link[length] = '\0';
        if (link[0] == kPathSeparator) {
            if (!CopyPath(m_Target, sizeof m_Target, link, static_cast<std::size_t>(length))) {
                return false;
            }
            continue;
        }
        // A relative link counts from the directory that holds the link.
        const std::size_t directory = DirectoryLength(m_Target);
        if (directory + static_cast<std::size_t>(length) + 1 > sizeof m_Target) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::memcpy(m_Target + directory, link, static_cast<std::size_t>(length) + 1);
    }
    errno = ELOOP;
    return false;
}

bool OstakReplacingFile::CreateNewFile() noexcept {
    struct stat former;
    const bool targetExists = stat(m_Target, &former) == 0;
    if (targetExists && S_ISDIR(former.st_mode)) {
        errno = EISDIR; // as opening a folder for writing would fail
        return false;
    }
    const std::size_t directory = DirectoryLength(m_Target);
    for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".ostak-%ld-%u.tmp", static_cast<long>(getpid()),
                      g_newFileCounter.fetch_add(1));
        const std::size_t nameLength = std::strlen(name);
        if (directory + nameLength + 1 > sizeof m_New) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::memcpy(m_New, m_Target, directory);
        std::memcpy(m_New + directory, name, nameLength + 1);
        // Mode 0666 before the umask: what creating the target itself would give.
        const int fd = open(m_New, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        m_NewExists = true;
        if (targetExists) {
            // Best effort: a file we may not chown keeps our ownership. The
            // mode comes after the owner, since a change of owner clears set-id bits.
            (void)!fchown(fd, former.st_uid, former.st_gid);
            (void)fchmod(fd, former.st_mode & 07777);
        }
        m_Stream = fdopen(fd, "wb");
        if (m_Stream == nullptr) {
            const int error = errno;
            close(fd);
            errno = error;
            return false;
        }
        return true;
    }
    errno = EEXIST;
    return false;
}

bool OstakReplacingFile::Open(const char *targetPath) noexcept {
    Abandon();
    m_FailedStep = nullptr;
    m_Error = 0;
    if (!ResolveTarget(targetPath) || !CreateNewFile()) {
        const int error = errno;
        Abandon();
        m_FailedStep = "create";
        m_Error = error;
        return false;
    }
    return true;
}

bool OstakReplacingFile::Fail(const char *step, int error) noexcept {
    Abandon();
    m_FailedStep = step;
    m_Error = error != 0 ? error : EIO;
    return false;
}

void OstakReplacingFile::CloseStream() noexcept {
    if (m_Stream != nullptr) {
        std::fclose(m_Stream);
        m_Stream = nullptr;
    }
}

bool OstakReplacingFile::Commit() noexcept {
    if (m_Stream == nullptr) {
        return Fail("close", EBADF);
    }
    const PlatformSeams &seams = Seams();
    errno = 0;
    if (seams.saveFlushErrno != 0) {
        return Fail("flush", seams.saveFlushErrno);
    }
    if (std::fflush(m_Stream) != 0 || std::ferror(m_Stream)) {
        return Fail("flush", errno);
    }
    if (seams.saveSyncErrno != 0) {
        return Fail("fsync", seams.saveSyncErrno);
    }
    if (fsync(fileno(m_Stream)) != 0) {
        return Fail("fsync", errno);
    }
    std::FILE *stream = m_Stream;
    m_Stream = nullptr;
    errno = 0;
    const int closed = std::fclose(stream);
    if (seams.saveCloseErrno != 0) {
        return Fail("close", seams.saveCloseErrno);
    }
    if (closed != 0) {
        return Fail("close", errno);
    }
    if (seams.saveRenameErrno != 0) {
        return Fail("rename", seams.saveRenameErrno);
    }
    if (std::rename(m_New, m_Target) != 0) {
        return Fail("rename", errno);
    }
    m_NewExists = false;
    // Make the rename itself durable; a directory that cannot be synced changes nothing.
    const std::size_t directory = DirectoryLength(m_Target);
    char folder[kPathCapacity];
    if (directory == 0) {
        std::memcpy(folder, ".", 2);
    } else {
        std::memcpy(folder, m_Target, directory);
        folder[directory] = '\0';
    }
    const int dirFd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)fsync(dirFd);
        close(dirFd);
    }
    return true;
}

void OstakReplacingFile::Abandon() noexcept {
    CloseStream();
    if (m_NewExists) {
        unlink(m_New);
        m_NewExists = false;
    }
}

} // namespace ostak
