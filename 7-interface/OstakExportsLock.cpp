// Exports that lock and unlock a rule file for the caller's read-change-write.
#include "2-core/ExportFrame.h"
#include "3-model/OstakFileInMem.h"
#include "2-core/OstakGlobals.h"
#include "include/ostak.h"

#include <cstdint>

using namespace ostak;

extern "C" {

OSTAK_API int32_t xfeOstakFileInMemLock(OstakFileInMemHandle *mpFileInMem,
                                        uint32_t mnWaitMilliseconds) noexcept {
    return RunExport("xfeOstakFileInMemLock", Presets(), kRequireInit, [&]() -> int32_t {
        if (mpFileInMem == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return FromHandle(mpFileInMem)->Lock(mnWaitMilliseconds);
    });
}

OSTAK_API int32_t xfeOstakFileInMemUnlock(OstakFileInMemHandle *mpFileInMem) noexcept {
    return RunExport("xfeOstakFileInMemUnlock", Presets(), kRequireInit, [&]() -> int32_t {
        if (mpFileInMem == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        FromHandle(mpFileInMem)->Unlock();
        return OSTAK_OK;
    });
}

} // extern "C"
