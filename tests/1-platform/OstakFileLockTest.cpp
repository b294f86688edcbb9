// The rule-file lock at its own level: a lock file that its holder removes
// while a waiter opens it is not trusted, and a forked child shares nothing
// of its parent's lock.
#include "tests/support/Fixtures.h"
#include "tests/support/LockHolder.h"
#include "tests/support/TestSupport.h"

#include "1-platform/OstakFileLock.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace ostak;
using namespace ostak_test;
using ostak_test::HeldByAnotherProcess;

namespace {

class PlatformFileLock : public OstakTest {
  protected:
    std::string Target() const { return dir_.File("rules.xml"); }
    std::string LockFile() const { return ostak_test::LockFileOf(dir_.path(), "rules.xml"); }
    TempDir dir_;
};

HeldByAnotherProcess *g_letGoBeforeFlock = nullptr;

TEST_F(PlatformFileLock, ALockFileRemovedWhileItWasOpenedIsNotTrusted) {
    HeldByAnotherProcess holder(LockFile());
    ASSERT_TRUE(holder.locked());
    // The holder lets go, removing the lock file, after the waiter opened it.
    g_letGoBeforeFlock = &holder;
    Seams().lockBeforeFlock = [] {
        if (g_letGoBeforeFlock != nullptr) {
            std::exchange(g_letGoBeforeFlock, nullptr)->LetGo();
        }
    };
    OstakFileLock lock;
    const FileLockOutcome outcome = lock.Acquire(Target().c_str(), 1000);
    EXPECT_EQ(outcome.kind, FileLockOutcome::kAcquired);
    EXPECT_EQ(g_letGoBeforeFlock, nullptr);
    EXPECT_EQ(ostak_test::ReadFile(LockFile()), std::to_string(getpid()) + "\n")
        << "the lock is on the file at the path, not on the removed one";
}

TEST_F(PlatformFileLock, AForkedChildSharesNothingOfItsParentsLock) {
    OstakFileLock lock;
    ASSERT_EQ(lock.Acquire(Target().c_str(), 0).kind, FileLockOutcome::kAcquired);
    const pid_t child = fork();
    if (child == 0) {
        OstakFileLock again;
        const FileLockOutcome first = again.Acquire(Target().c_str(), 30);
        lock.Release(); // the copy of the parent's lock: must leave the parent's flock alone
        OstakFileLock later;
        const FileLockOutcome second = later.Acquire(Target().c_str(), 0);
        const bool right = first.kind == FileLockOutcome::kTimedOut && first.holderPid == getppid() &&
                           second.kind == FileLockOutcome::kTimedOut;
        _exit(right ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ostak_test::ReadFile(LockFile()), std::to_string(getpid()) + "\n");
    EXPECT_EQ(OstakFileLock::ProcessHolders(Target().c_str()), 1u);
    lock.Release();
    EXPECT_FALSE(ostak_test::FileExists(LockFile()));
}

} // namespace
