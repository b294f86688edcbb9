// Helpers of the tests of rule-file locks: where a file's lock lives, and
// another process that holds it the way every user of the lock takes it
// (an flock on the companion file, its process id written inside).
#pragma once

#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostak_test {

// The companion file that carries the lock of `folder`/`name`.
inline std::string LockFileOf(const std::string &folder, const std::string &name) {
    return folder + "/." + name + ".lock";
}

class HeldByAnotherProcess {
  public:
    explicit HeldByAnotherProcess(const std::string &lockFile) {
        int ready[2];
        int release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            const int fd = open(lockFile.c_str(), O_RDWR | O_CREAT, 0666);
            const char locked = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 1 : 0;
            if (locked != 0) {
                dprintf(fd, "%d\n", static_cast<int>(getpid()));
            }
            (void)!write(ready[1], &locked, 1);
            char byte;
            while (read(release[0], &byte, 1) > 0) {
            }
            unlink(lockFile.c_str()); // as a holder lets go: removed while still locked
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char locked = 0;
        locked_ = pid_ > 0 && read(ready[0], &locked, 1) == 1 && locked == 1;
        close(ready[0]);
    }
    ~HeldByAnotherProcess() { LetGo(); }
    HeldByAnotherProcess(const HeldByAnotherProcess &) = delete;
    HeldByAnotherProcess &operator=(const HeldByAnotherProcess &) = delete;

    // Makes the holder let the lock go and waits for it to end.
    void LetGo() {
        if (release_ >= 0) {
            close(release_);
            release_ = -1;
            waitpid(pid_, nullptr, 0);
        }
    }
    bool locked() const { return locked_; }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

} // namespace ostak_test
