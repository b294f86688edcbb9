// Failure seams of the platform stand-ins.
//
// Every outside service that can fail has a knob here through which the
// project's own tests make it fail. The seams are internal: they are neither
// declared in the public header nor exported from the shared library.
#pragma once

#include <cstdint>
#include <string>

namespace ostak {

// A forced result: when `active`, the service returns `rc` instead of doing its work.
struct ForcedResult {
    bool active = false;
    int32_t rc = 0;
    void Set(int32_t value) {
        active = true;
        rc = value;
    }
};

struct PlatformSeams {
    // Allocation: the Nth allocation from now fails (1 = the next one); 0 = never.
    // Plain globals (static members, constant-initialised), so that every
    // allocation checks them with one inline load rather than a call.
    static inline uint64_t failAllocationAt = 0;
    // When true, every allocation from `failAllocationAt` on fails, not only the Nth.
    static inline bool failAllocationsAfter = false;

    // Saving a rule file: each step of finishing the new file fails with this
    // errno instead of doing its work (closing still closes); 0 = no failure.
    int32_t saveWriteErrno = 0;  // writing bytes to the new file
    int32_t saveFlushErrno = 0;  // flushing its stream
    int32_t saveSyncErrno = 0;   // fsync of the new file
    int32_t saveCloseErrno = 0;  // closing it
    int32_t saveRenameErrno = 0; // renaming it over the target
    // The file system refuses unnamed new files (O_TMPFILE): the saver falls
    // back to a named temporary.
    bool saveNoUnnamedFile = false;
    // Called in the middle of a save, once the first application's bytes have
    // reached the new file (null: nothing is called).
    void (*saveMidBody)() = nullptr;

    // Locking a rule file: how long the library's own loads and saves wait
    // for another process's lock, and an errno with which opening the lock
    // file fails instead of doing its work (0 = no failure).
    uint32_t lockWaitMilliseconds = 10000;
    int32_t lockOpenErrno = 0;
    // Called between opening the lock file and trying its flock (null: nothing).
    void (*lockBeforeFlock)() = nullptr;

    // Loading a rule file: reading its bytes after the first block throws past
    // the parser's error reporting: 1 std::bad_alloc, 2 std::runtime_error; 0 = no failure.
    int32_t loadReadThrows = 0;

    // textcat
    ForcedResult msgHandlerInit;
    ForcedResult addResourceFile;
    ForcedResult removeResourceFile;
    bool formatFailsAll = false; // FormatGenericMessage gives no text for any number
    int32_t formatFailsFor = 0;  // ... or for this one number (0 = none)
    int32_t msgHandlerDestroyCalls = 0;
    int32_t msgHandlerInitCalls = 0;
    int32_t addResourceFileCalls = 0;
    int32_t removeResourceFileCalls = 0;

    // Windows sockets stand-ins
    ForcedResult wsaStartup;
    ForcedResult gethostname;
    ForcedResult wsaCleanup;
    int32_t wsaLastError = 0;      // what WSAGetLastError answers after a forced failure
    bool hostNameOverride = false; // gethostname succeeds with `hostName` as the name
    std::string hostName;
    int32_t wsaStartupCalls = 0;
    int32_t gethostnameCalls = 0;
    int32_t wsaCleanupCalls = 0;

    // basekit32
    ForcedResult removeFile;       // os_remove_file answers rc without touching the file
    bool loadLibraryFails = false; // os_load_library answers null
    int32_t loadLibraryCalls = 0;
    std::string procAddressMissing; // os_get_proc_address answers null for this name
};

// The one set of seams of the process.
PlatformSeams &Seams() noexcept;

// Puts every seam back to "no failure" and zeroes the call counters.
void ResetSeams() noexcept;

} // namespace ostak
