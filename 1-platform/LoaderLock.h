// The loader lock: the one process-wide lock of the library.
//
// It serialises the run-time loading of ICU's common library and the filling
// of its entry-point table. One static object creates it when the library is
// loaded and destroys it when the library is unloaded. It stands in for a
// Windows critical section; a pthread mutex needs no spin count, so the
// spin-count step of the critical section has nothing to do here.
#pragma once

#include <pthread.h>

namespace ostak {

class LoaderLock {
  public:
    // Constant-initialised, so the lock is usable before any dynamic
    // initialisation of the process runs.
    constexpr LoaderLock() noexcept = default;
    ~LoaderLock();
    LoaderLock(const LoaderLock &) = delete;
    LoaderLock &operator=(const LoaderLock &) = delete;

    void Enter() noexcept;
    void Leave() noexcept;

    // The process's one loader lock.
    static LoaderLock &Instance() noexcept;

  private:
    pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
};

// Holds the loader lock for the life of the guard, so every path leaves it.
class LoaderLockGuard {
  public:
    LoaderLockGuard() noexcept { LoaderLock::Instance().Enter(); }
    ~LoaderLockGuard() { LoaderLock::Instance().Leave(); }
    LoaderLockGuard(const LoaderLockGuard &) = delete;
    LoaderLockGuard &operator=(const LoaderLockGuard &) = delete;
};

} // namespace ostak
