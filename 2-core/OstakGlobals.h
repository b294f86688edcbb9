// The process-wide state of the library, kept in one place.
//
// Initialisation, messages and the exports read it; the exports hand what
// the layers above 2-core need of it down as an OstakContext (OstakContext.h).
//
// All values are zero or empty when the library is loaded. They are written
// without protection: the caller makes one call at a time.
#pragma once

#include "include/ostak.h"

#include <cstdint>

namespace ostak {

constexpr std::size_t kPathBufferSize = 2048;
constexpr std::size_t kMessageBufferSize = 256;

// A fixed 2048-byte text buffer with the length of what it holds.
struct PathBuffer {
    char text[kPathBufferSize];
    uint32_t length;

    void Clear() noexcept {
        text[0] = '\0';
        length = 0;
    }
    bool Empty() const noexcept { return text[0] == '\0'; }
};

struct OstakGlobals {
    bool initialised;
    bool readOnlyMode;
    bool converterSwitch;
    bool xmlLibraryStarted;
    bool issuedOnce; // set by every message handed toward the log callback

    ostak_log_callback logCallback;
    ostak_merge_callback mergeCallback;
    ostak_conf_callback confCallback;

    PathBuffer rootDir;
    PathBuffer resourcePath;
    PathBuffer installationPath;
    PathBuffer defaultsPath;
    PathBuffer scriptPath;
    PathBuffer hostName;
};

// The one set of process-wide values.
OstakGlobals &Globals() noexcept;

// Every value back to its load-time state (for tests that need a fresh process).
void ResetGlobals() noexcept;

} // namespace ostak
