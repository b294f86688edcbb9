// Exports that read an application's stamp and renew it after the caller's edit.
//
// The stamp (host and time of the last change) is otherwise set only by the
// library: on a new application and on the applications a merge changes. A
// caller that changes an application by handle renews it here, so that the
// change is told apart from the copy it came from, as a merge's change is.
#include "2-core/ExportFrame.h"
#include "2-core/OstakContext.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakList.h"
#include "7-interface/OstakHandles.h"
#include "include/ostak.h"

using namespace ostak;

extern "C" {

OSTAK_API int32_t xfeOstakElemApplGetStamp(OstakElemApplHandle *mpElemAppl, const char **mppszHost,
                                           int32_t *mpiTime) noexcept {
    const auto presets = Presets(mppszHost, xtOsStrCommonEmptyStr.psz, mpiTime, 0);
    return RunExport("xfeOstakElemApplGetStamp", presets, kRequireInit, [&]() -> int32_t {
        if (mpElemAppl == nullptr || mppszHost == nullptr || mpiTime == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        const OstakElemAppl *appl = FromHandle(mpElemAppl);
        *mppszHost = appl->StampHost();
        *mpiTime = appl->StampTime();
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakElemApplRenewStamp(OstakListApplHandle *mpListAppl,
                                             OstakElemApplHandle *mpElemAppl) noexcept {
    return RunExport("xfeOstakElemApplRenewStamp", Presets(), kRequireInit, [&]() -> int32_t {
        if (mpListAppl == nullptr || mpElemAppl == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakElemAppl *appl = FromHandle(mpElemAppl);
        if (appl->List() != FromHandle(mpListAppl)) {
            return OSTAK_E_NOT_IN_LIST;
        }
        // Read-only mode stamps nothing, as it leaves new applications unstamped.
        const OstakContext context = OstakContext::FromGlobals();
        if (!context.stampNewApplications) {
            return OSTAK_OK;
        }
        return appl->SetStamp(context.stampHost, OstakElemAppl::CurrentTime());
    });
}

} // extern "C"
