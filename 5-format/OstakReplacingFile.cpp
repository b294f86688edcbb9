#include "5-format/OstakReplacingFile.h"

#include "1-platform/Seams.h"
#include "1-platform/basekit32.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostak {

namespace {

constexpr int kMaxNameTries = 100; // names of new files tried before giving up
constexpr char kTemporaryPrefix[] = ".ostak-";
constexpr char kTemporarySuffix[] = ".tmp";

std::atomic<unsigned> g_newFileCounter{0};

// Holds back the signals that end a process by default but can be caught,
// for the two steps between naming the new file and renaming it.
class SignalsHeld {
  public:
    SignalsHeld() noexcept {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            sigaddset(&held, signal);
        }
        pthread_sigmask(SIG_BLOCK, &held, &m_Former);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_Former, nullptr); }
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

  private:
    sigset_t m_Former;
};

// Reads decimal digits (1 to 10 of them, a value up to `most`) at `text`;
// returns what follows them, or null when they are not such a number.
const char *ReadNumber(const char *text, unsigned long most, unsigned long &value) noexcept {
    value = 0;
    const char *at = text;
    while (*at >= '0' && *at <= '9') {
        if (at - text == 10) {
            return nullptr;
        }
        value = value * 10 + (*at - '0');
        ++at;
    }
    return at == text || value > most ? nullptr : at;
}

// The process id in a temporary's name ".ostak-<pid>-<n>.tmp" (0: not such a name).
long TemporaryOwner(const char *name) noexcept {
    if (std::strncmp(name, kTemporaryPrefix, sizeof kTemporaryPrefix - 1) != 0) {
        return 0;
    }
    unsigned long pid = 0;
    unsigned long counter = 0;
    const char *at = ReadNumber(name + sizeof kTemporaryPrefix - 1, INT_MAX, pid);
    if (at == nullptr || *at != '-' || (at = ReadNumber(at + 1, UINT_MAX, counter)) == nullptr) {
        return 0;
    }
    return std::strcmp(at, kTemporarySuffix) == 0 ? static_cast<long>(pid) : 0;
}

bool ProcessIsGone(long pid) noexcept {
    return pid > 0 && pid != static_cast<long>(getpid()) && kill(static_cast<pid_t>(pid), 0) != 0 &&
           errno == ESRCH;
}

// Removes the temporaries in `folder` that processes no longer running left behind.
void SweepDeadTemporaries(const char *folder) noexcept {
    DIR *listing = opendir(folder);
    if (listing == nullptr) {
        return;
    }
    const int folderFd = dirfd(listing);
    while (const struct dirent *entry = readdir(listing)) {
        if (entry->d_name[0] != '.' || !ProcessIsGone(TemporaryOwner(entry->d_name))) {
            continue;
        }
        struct stat status;
        if (fstatat(folderFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode)) {
            unlinkat(folderFd, entry->d_name, 0);
        }
    }
    closedir(listing);
}

// Gives the unnamed file `fd` the name `name` in the folder `folderFd`;
// 0, or the errno.
int LinkUnnamed(int fd, int folderFd, const char *name) noexcept {
    if (linkat(fd, "", folderFd, name, AT_EMPTY_PATH) == 0) {
        return 0;
    }
    if (errno == EEXIST) {
        return EEXIST;
    }
    // Without the right to link by descriptor, link through the process's view of it.
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, self, folderFd, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

void NextTemporaryName(char *name, std::size_t capacity) noexcept {
    std::snprintf(name, capacity, "%s%ld-%u%s", kTemporaryPrefix, static_cast<long>(getpid()),
                  g_newFileCounter.fetch_add(1), kTemporarySuffix);
}

} // namespace

OstakReplacingFile::~OstakReplacingFile() {
    Abandon();
}

void OstakReplacingFile::FolderOfTarget(char *folder, std::size_t capacity) const noexcept {
    const std::size_t length = FolderPartLength(m_Target);
    if (length == 0) {
        std::snprintf(folder, capacity, ".");
    } else {
        std::snprintf(folder, capacity, "%.*s", static_cast<int>(length), m_Target);
    }
}

bool OstakReplacingFile::CreateUnnamed(const char *folder, int &fd) noexcept {
    fd = -1;
    if (Seams().saveNoUnnamedFile) {
        return true;
    }
    // Mode 0666 before the umask: what creating the target itself would give.
    fd = open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        m_UnnamedFd = fd;
        return true;
    }
    // File systems (and kernels) without unnamed files: fall back to a named one.
    return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOENT;
}

bool OstakReplacingFile::CreateNamed(int &fd) noexcept {
    const std::size_t folder = FolderPartLength(m_Target);
    for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
        char name[64];
        NextTemporaryName(name, sizeof name);
        const int length =
            std::snprintf(m_New, sizeof m_New, "%.*s%s", static_cast<int>(folder), m_Target, name);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof m_New) {
            errno = ENAMETOOLONG;
            return false;
        }
        fd = open(m_New, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_NewExists = true;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

bool OstakReplacingFile::CreateNewFile() noexcept {
    struct stat former;
    const bool targetExists = stat(m_Target, &former) == 0;
    char folder[kResolvedPathCapacity];
    FolderOfTarget(folder, sizeof folder);
    SweepDeadTemporaries(folder);
    int fd = -1;
    if (!CreateUnnamed(folder, fd) || (fd < 0 && !CreateNamed(fd))) {
        return false;
    }
    if (targetExists) {
        // Best effort: a file we may not chown keeps our ownership. The
        // mode comes after the owner, since a change of owner clears set-id bits.
        (void)!fchown(fd, former.st_uid, former.st_gid);
        (void)fchmod(fd, former.st_mode & 07777);
    }
    // The unnamed file's own descriptor stays open for linking after the stream is closed.
    const int streamFd = Unnamed() ? fcntl(fd, F_DUPFD_CLOEXEC, 0) : fd;
    if (streamFd < 0) {
        return false;
    }
    m_Stream = fdopen(streamFd, "wb");
    if (m_Stream == nullptr) {
        const int error = errno;
        close(streamFd);
        errno = error;
        return false;
    }
    return true;
}

bool OstakReplacingFile::Open(const char *targetPath) noexcept {
    Abandon();
    m_FailedStep = nullptr;
    m_Error = 0;
    m_TargetMode = 0;
    if (!ResolveSymbolicLinks(targetPath, m_Target, sizeof m_Target)) {
        return Fail("create", errno);
    }
    struct stat status;
    if (stat(m_Target, &status) == 0 && !S_ISREG(status.st_mode)) {
        // Never opened: a FIFO would block, a device would take the bytes.
        m_TargetMode = status.st_mode;
        return Fail("type", S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    }
    if (!CreateNewFile()) {
        return Fail("create", errno);
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

bool OstakReplacingFile::NameAndRename(int folderFd) noexcept {
    const char *targetName = m_Target + FolderPartLength(m_Target);
    const std::size_t folder = FolderPartLength(m_Target);
    const char *step = nullptr;
    int error = 0;
    {
        // From here to the rename the new file has a name; a signal must not leave it behind.
        SignalsHeld held;
        char name[64];
        for (int attempt = 0; attempt < kMaxNameTries && !m_NewExists; ++attempt) {
            NextTemporaryName(name, sizeof name);
            std::snprintf(m_New, sizeof m_New, "%.*s%s", static_cast<int>(folder), m_Target, name);
            error = LinkUnnamed(m_UnnamedFd, folderFd, name);
            m_NewExists = error == 0;
            if (error != 0 && error != EEXIST) {
                break;
            }
        }
        if (!m_NewExists) {
            step = "link";
        } else {
            error = Seams().saveRenameErrno;
            if (error == 0 && renameat(folderFd, name, folderFd, targetName) != 0) {
                error = errno;
            }
            if (error != 0) {
                step = "rename";
                unlinkat(folderFd, name, 0);
            }
            m_NewExists = false;
        }
    }
    if (step != nullptr) {
        return Fail(step, error);
    }
    close(m_UnnamedFd);
    m_UnnamedFd = -1;
    return true;
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
    char folder[kResolvedPathCapacity];
    FolderOfTarget(folder, sizeof folder);
    const int folderFd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Unnamed()) {
        if (folderFd < 0) {
            return Fail("link", errno);
        }
        if (!NameAndRename(folderFd)) {
            close(folderFd);
            return false;
        }
    } else {
        const int error = seams.saveRenameErrno != 0          ? seams.saveRenameErrno
                          : std::rename(m_New, m_Target) != 0 ? errno
                                                              : 0;
        if (error != 0) {
            if (folderFd >= 0) {
                close(folderFd);
            }
            return Fail("rename", error);
        }
        m_NewExists = false;
    }
    // Make the rename itself durable; a folder that cannot be synced changes nothing.
    if (folderFd >= 0) {
        (void)fsync(folderFd);
        close(folderFd);
    }
    return true;
}

void OstakReplacingFile::Abandon() noexcept {
    CloseStream();
    if (m_UnnamedFd >= 0) {
        close(m_UnnamedFd); // an unnamed file vanishes with its last descriptor
        m_UnnamedFd = -1;
    }
    if (m_NewExists) {
        unlink(m_New);
        m_NewExists = false;
    }
}

} // namespace ostak
