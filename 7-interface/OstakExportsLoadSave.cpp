// Exports that load and save rule-file objects.
#include "2-core/ExportFrame.h"
#include "3-model/OstakFileInMem.h"
#include "2-core/OstakContext.h"
#include "2-core/OstakGlobals.h"
#include "6-merge/OstakLoadSequence.h"
#include "include/ostak.h"

using namespace ostak;

extern "C" {

OSTAK_API int32_t xfeOstakLoad(OstakFileInMemHandle *mpFileInMem) noexcept {
    return RunExport("xfeOstakLoad", Presets(), kRequireInit, [&]() -> int32_t {
        if (mpFileInMem == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return LoadRuleFile(*FromHandle(mpFileInMem), OstakContext::FromGlobals());
    });
}

OSTAK_API int32_t xfeOstakSave(OstakFileInMemHandle *mpFileInMem, int32_t mbMarkedOnly,
                               const char *mpszFileFullPathStr, int32_t mnFileFullPathLen) noexcept {
    return RunExport("xfeOstakSave", Presets(), kRequireInit, [&]() -> int32_t {
        if (mpFileInMem == nullptr || (mpszFileFullPathStr == nullptr && mnFileFullPathLen != 0)) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        const bool markedOnly = (mbMarkedOnly & 0xFF) != 0;
        return FromHandle(mpFileInMem)
            ->Save(markedOnly, mpszFileFullPathStr, mnFileFullPathLen, true, OstakContext::FromGlobals());
    });
}

} // extern "C"
