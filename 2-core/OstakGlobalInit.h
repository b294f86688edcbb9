// Global initialisation and termination of the library.
#pragma once

#include "include/ostak.h"

#include <cstdint>

namespace ostak {

struct GlobalInitArgs {
    bool readOnlyMode;
    ostak_log_callback logCallback;
    ostak_merge_callback mergeCallback;
    ostak_conf_callback confCallback;
    const char *rootDir;
    uint32_t rootDirLength;
    const char *scriptDir;
    uint32_t scriptDirLength;
    const char *scriptName;
    uint32_t scriptNameLength;
    bool converterSwitch;
};

// Runs initialisation; returns the result and leaves no message to issue
// (every failure's message has been issued, once).
int32_t GlobalInit(const GlobalInitArgs &args);

// Runs termination: 0, or 2 when the resource file could not be removed
// (its message issued).
int32_t GlobalTerm() noexcept;

} // namespace ostak
