// The advisory lock that keeps processes from changing a rule file at once.
//
// The lock of the file at path P is an exclusive flock on a companion file in
// the same folder, "<folder>/.<name>.lock", folder and name being those of P
// after symbolic links are followed (so links to one file share its lock).
// The companion never is P itself, so the lock survives the rename by which a
// save replaces P. Waiting polls with short sleeps until the wait runs out;
// the holder writes its process id into the companion, so that a waiter that
// gives up can name it. The holder removes the companion while it still holds
// the flock and then closes it; a waiter that gets the flock makes sure the
// file it locked is still the one at the path, and starts again otherwise.
// Only a process that dies holding the lock leaves a companion behind, which
// the next user locks and removes.
//
// Within one process the lock is counted: locking a file the process already
// holds succeeds at once, and the flock goes when the last holder releases
// it. It keeps other processes out, not other threads of this one.
#pragma once

#include "1-platform/OstakPath.h"

#include <cstdint>
#include <sys/types.h>

namespace ostak {

struct FileLockOutcome {
    enum Kind {
        kAcquired,  // the lock is held
        kNotNeeded, // the folder cannot be written (or the path leads nowhere): nothing to keep safe
        kTimedOut,  // another process held it for the whole wait
        kError      // the lock file cannot be made or locked: `error` tells why
    };
    Kind kind;
    long holderPid; // kTimedOut: the holder's process id as its lock file tells it (0: unknown)
    int error;      // kError and kNotNeeded: the errno met
};

class OstakFileLock {
  public:
    OstakFileLock() noexcept = default;
    // Releases a lock still held.
    ~OstakFileLock() { Release(); }

    OstakFileLock(const OstakFileLock &) = delete;
    OstakFileLock &operator=(const OstakFileLock &) = delete;

    // Takes the lock of the file at `path`, waiting up to `waitMilliseconds`
    // for another process to let it go (0: one try). An object that holds a
    // lock answers kAcquired and keeps the one it holds.
    FileLockOutcome Acquire(const char *path, uint32_t waitMilliseconds) noexcept;

    // Lets the lock go (nothing when none is held).
    void Release() noexcept;

    bool Held() const noexcept { return m_Held; }

    // The companion file of the last Acquire (empty before one, or when the
    // path could not be followed).
    const char *LockPath() const noexcept { return m_LockPath; }

    // How many holders in this process share the lock of the file at `path`.
    static uint32_t ProcessHolders(const char *path) noexcept;

  private:
    char m_LockPath[kResolvedPathCapacity] = {};
    bool m_Held = false;
    pid_t m_Owner = 0; // the process that took the lock (a forked child holds none)
};

} // namespace ostak
