#include "1-platform/OstakFileLock.h"

#include "1-platform/Seams.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace ostak {

namespace {

constexpr int64_t kFirstPauseMs = 10;
constexpr int64_t kLongestPauseMs = 50;
// Times in a row the lock file may be replaced under a waiter before it
// counts as busy and sleeps.
constexpr int kMaxReplacedInARow = 100;

// The flocks this process holds, by lock file path.
struct HeldLock {
    int fd;
    uint32_t holders;
    pid_t owner; // an entry of another pid was inherited through fork
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, HeldLock> locks;
};

Registry &TheRegistry() noexcept {
    // Never destroyed: a lock may still be released while the process exits.
    static Registry *registry = new Registry;
    return *registry;
}

constexpr int64_t kNsPerMs = 1000000;

int64_t NowNs() noexcept {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 * kNsPerMs + now.tv_nsec;
}

void SleepNs(int64_t nanoseconds) noexcept {
    struct timespec pause = {static_cast<time_t>(nanoseconds / (1000 * kNsPerMs)),
                             static_cast<long>(nanoseconds % (1000 * kNsPerMs))};
    nanosleep(&pause, nullptr);
}

// "<folder>/.<name>.lock" for the file that `path` finally names.
bool ComposeLockPath(const char *path, char *lockPath, std::size_t capacity) noexcept {
    char resolved[kResolvedPathCapacity];
    if (!ResolveSymbolicLinks(path, resolved, sizeof resolved)) {
        return false;
    }
    const std::size_t folder = FolderPartLength(resolved);
    const int length = std::snprintf(lockPath, capacity, "%.*s.%s.lock", static_cast<int>(folder), resolved,
                                     resolved + folder);
    if (length < 0 || static_cast<std::size_t>(length) >= capacity) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

// Whether `fd` is the file now at `path`.
bool StillAtPath(int fd, const char *path) noexcept {
    struct stat opened;
    struct stat named;
    return fstat(fd, &opened) == 0 && lstat(path, &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// The process id that the lock file holds (0: none readable).
long ReadHolderPid(int fd) noexcept {
    char text[32];
    const ssize_t got = pread(fd, text, sizeof text - 1, 0);
    if (got <= 0) {
        return 0;
    }
    text[got] = '\0';
    char *end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 ? pid : 0;
}

void WriteOwnPid(int fd) noexcept {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%ld\n", static_cast<long>(getpid()));
    if (ftruncate(fd, 0) == 0) {
        (void)!pwrite(fd, text, static_cast<std::size_t>(length), 0);
    }
}

// Opens (making it when missing) the lock file. A file that others made and
// we may not write is opened for reading: a flock needs no more. -1 with errno.
int OpenLockFile(const char *lockPath, bool &writable) noexcept {
    if (Seams().lockOpenErrno != 0) {
        errno = Seams().lockOpenErrno;
        return -1;
    }
    struct stat status;
    if (lstat(lockPath, &status) == 0 && !S_ISREG(status.st_mode)) {
        errno = EEXIST; // something else stands where the lock file belongs: never open it
        return -1;
    }
    // Non-blocking, so that whatever slipped in meanwhile cannot hold the open.
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = open(lockPath, O_RDWR | O_CREAT | kFlags, 0666);
    writable = fd >= 0;
    if (fd < 0 && (errno == EACCES || errno == EPERM)) {
        const int refused = errno;
        fd = open(lockPath, O_RDONLY | kFlags);
        if (fd < 0) {
            // No lock file and no right to make one: the folder cannot be written.
            errno = errno == ENOENT ? refused : errno;
            return -1;
        }
    }
    if (fd >= 0 && (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        close(fd);
        errno = EEXIST;
        return -1;
    }
    return fd;
}

// Whether a failure to open the lock file means that nothing in its folder
// can be written, so that there is nothing to keep safe.
bool FolderNotWritable(int error, const char *lockPath) noexcept {
    if (error == EROFS || error == ENOENT || error == ENOTDIR) {
        return true;
    }
    if (error != EACCES && error != EPERM) {
        return false;
    }
    struct stat status;
    return lstat(lockPath, &status) != 0; // a lock file we may not open is another's
}

enum class Attempt { kLocked, kBusy, kReplaced, kFailed };

// One try at the flock of the lock file at `lockPath`; `fd` the locked file.
Attempt TryOnce(const char *lockPath, int &fd, long &holderPid, int &error) noexcept {
    bool writable = false;
    fd = OpenLockFile(lockPath, writable);
    if (fd < 0) {
        error = errno;
        return Attempt::kFailed;
    }
    if (Seams().lockBeforeFlock != nullptr) {
        Seams().lockBeforeFlock();
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int refused = errno;
        if (refused == EWOULDBLOCK || refused == EINTR) {
            holderPid = ReadHolderPid(fd);
            close(fd);
            return Attempt::kBusy;
        }
        close(fd);
        error = refused;
        return Attempt::kFailed;
    }
    if (!StillAtPath(fd, lockPath)) {
        close(fd); // its holder removed it as we opened it
        return Attempt::kReplaced;
    }
    if (writable) {
        WriteOwnPid(fd);
    }
    return Attempt::kLocked;
}

} // namespace

FileLockOutcome OstakFileLock::Acquire(const char *path, uint32_t waitMilliseconds) noexcept {
    if (m_Held) {
        return {FileLockOutcome::kAcquired, 0, 0};
    }
    if (!ComposeLockPath(path, m_LockPath, sizeof m_LockPath)) {
        // A path that cannot be followed cannot be written either.
        const int error = errno;
        m_LockPath[0] = '\0';
        return {FileLockOutcome::kNotNeeded, 0, error};
    }
    Registry &registry = TheRegistry();
    const int64_t deadline = NowNs() + static_cast<int64_t>(waitMilliseconds) * kNsPerMs;
    int64_t pause = kFirstPauseMs * kNsPerMs;
    long holderPid = 0;
    int replaced = 0;
    for (;;) {
        Attempt attempt;
        {
            std::lock_guard<std::mutex> guard(registry.mutex);
            try {
                const std::string key = m_LockPath;
                const auto found = registry.locks.find(key);
                if (found != registry.locks.end() && found->second.owner == getpid()) {
                    ++found->second.holders;
                    m_Held = true;
                    m_Owner = getpid();
                    return {FileLockOutcome::kAcquired, 0, 0};
                }
                if (found != registry.locks.end()) {
                    close(found->second.fd); // inherited: closing our copy leaves the parent's flock alone
                    registry.locks.erase(found);
                }
                int fd = -1;
                int error = 0;
                attempt = TryOnce(m_LockPath, fd, holderPid, error);
                if (attempt == Attempt::kFailed) {
                    return {FolderNotWritable(error, m_LockPath) ? FileLockOutcome::kNotNeeded
                                                                 : FileLockOutcome::kError,
                            0, error};
                }
                if (attempt == Attempt::kLocked) {
                    try {
                        registry.locks.emplace(key, HeldLock{fd, 1, getpid()});
                    } catch (...) {
                        unlink(m_LockPath);
                        close(fd);
                        throw;
                    }
                    m_Held = true;
                    m_Owner = getpid();
                    return {FileLockOutcome::kAcquired, 0, 0};
                }
            } catch (...) {
                return {FileLockOutcome::kError, 0, ENOMEM};
            }
        }
        if (attempt == Attempt::kReplaced && ++replaced < kMaxReplacedInARow) {
            continue;
        }
        replaced = 0;
        const int64_t left = deadline - NowNs();
        if (left <= 0) {
            return {FileLockOutcome::kTimedOut, holderPid, 0};
        }
        SleepNs(std::min(pause, left));
        pause = std::min(pause * 2, kLongestPauseMs * kNsPerMs);
    }
}

void OstakFileLock::Release() noexcept {
    if (!m_Held) {
        return;
    }
    m_Held = false;
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    try {
        const auto found = registry.locks.find(m_LockPath);
        if (found == registry.locks.end()) {
            return;
        }
        HeldLock &held = found->second;
        if (m_Owner != getpid() || held.owner != getpid()) {
            // A forked child's copy of its parent's lock: the flock stays the parent's.
            if (held.owner == m_Owner) {
                close(held.fd);
                registry.locks.erase(found);
            }
            return;
        }
        if (--held.holders > 0) {
            return;
        }
        // Removed while still locked, so no one can lock the old file and think it current.
        if (StillAtPath(held.fd, m_LockPath)) {
            unlink(m_LockPath);
        }
        close(held.fd);
        registry.locks.erase(found);
    } catch (...) {
        // Building the key ran out of memory: the lock goes with the process.
    }
}

uint32_t OstakFileLock::ProcessHolders(const char *path) noexcept {
    char lockPath[kResolvedPathCapacity];
    if (!ComposeLockPath(path, lockPath, sizeof lockPath)) {
        return 0;
    }
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    try {
        const auto found = registry.locks.find(lockPath);
        return found == registry.locks.end() || found->second.owner != getpid() ? 0 : found->second.holders;
    } catch (...) {
        return 0;
    }
}

} // namespace ostak
