// Exports of marking and applying differences.
#include "2-core/ExportFrame.h"
#include "3-model/OstakFileInMem.h"
#include "2-core/OstakContext.h"
#include "2-core/OstakGlobals.h"
#include "include/ostak.h"
#include "6-merge/OstakApplyDifferences.h"
#include "6-merge/OstakMarkDifferences.h"
#include "6-merge/OstakMergeTypes.h"

using namespace ostak;

extern "C" {

OSTAK_API int32_t xfeOstakMarkDifferencesInSource(OstakFileInMemHandle *mpFileInMemSource,
                                                  OstakFileInMemHandle *mpFileInMemOther) noexcept {
    return RunExport("xfeOstakMarkDifferencesInSource", Presets(), kRequireInit, [&]() -> int32_t {
        if (mpFileInMemSource == nullptr || mpFileInMemOther == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        MarkDifferencesInSource(*FromHandle(mpFileInMemSource), *FromHandle(mpFileInMemOther));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakHandleDifferencesInTargetBySourceMark(OstakFileInMemHandle *mpFileInMemSource,
                                                                OstakFileInMemHandle *mpFileInMemTarget,
                                                                uint8_t mbReplace) noexcept {
    return RunExport(kApplyFuncName, Presets(), kRequireInit, [&]() -> int32_t {
        if (mpFileInMemSource == nullptr || mpFileInMemTarget == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        return ApplyDifferences(*FromHandle(mpFileInMemSource), *FromHandle(mpFileInMemTarget),
                                mbReplace != 0, OstakContext::FromGlobals());
    });
}

} // extern "C"
