// Exports that create, inspect and destroy rule-file objects.
#include "2-core/ExportFrame.h"
#include "3-model/OstakFileInMem.h"
#include "2-core/OstakGlobals.h"
#include "include/ostak.h"
#include "7-interface/OstakHandles.h"

#include <cstdint>

using namespace ostak;

extern "C" {

OSTAK_API int32_t xfeOstakFileInMemCreate(uint32_t mnFileKind, const char *mpszFileFullPathStr,
                                          uint32_t mnFileFullPathLen, OstakFileInMemHandle **mppFileInMem,
                                          OstakListApplHandle **mppListAppl) noexcept {
    const auto presets = Presets(mppFileInMem, nullptr, mppListAppl, nullptr);
    return RunExport("xfeOstakFileInMemCreate", presets, kRequireInit, [&]() -> int32_t {
        const OstakGlobals &globals = Globals();
        if (mnFileKind >= static_cast<uint32_t>(OstakFileInMem::kKindCount) ||
            (globals.readOnlyMode && mnFileKind != static_cast<uint32_t>(OstakFileInMem::kKindPlain)) ||
            mppFileInMem == nullptr || mppListAppl == nullptr || mpszFileFullPathStr == nullptr ||
            mnFileFullPathLen == 0 || mnFileFullPathLen > static_cast<uint32_t>(INT32_MAX)) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        OstakFileInMem *file = OstakFileInMem::Create(static_cast<int32_t>(mnFileKind), mpszFileFullPathStr,
                                                      static_cast<int32_t>(mnFileFullPathLen));
        if (file == nullptr) {
            return OSTAK_E_NO_MEMORY;
        }
        *mppFileInMem = ToHandle(file);
        *mppListAppl = ToHandle(&file->Applications());
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakFileInMemDestroy(OstakFileInMemHandle **mppFileInMem) noexcept {
    // Works also when the library is not (or no longer) initialised.
    return RunExport("xfeOstakFileInMemDestroy", Presets(), kAnyTime, [&]() -> int32_t {
        if (mppFileInMem == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        delete FromHandle(*mppFileInMem);
        *mppFileInMem = nullptr;
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakFileInMemGetAttrBool(OstakFileInMemHandle *mpFileInMem, int32_t miAttrId,
                                               uint8_t *mpbValue) noexcept {
    const auto presets = Presets(mpbValue, 0);
    return RunExport("xfeOstakFileInMemGetAttrBool", presets, kRequireInit, [&]() -> int32_t {
        if (mpFileInMem == nullptr || mpbValue == nullptr || miAttrId != OSTAK_FILE_BOOL_SAVED) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mpbValue = FromHandle(mpFileInMem)->Saved() ? 1 : 0;
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakFileInMemGetAttrLong(OstakFileInMemHandle *mpFileInMem, int32_t miAttrId,
                                               int32_t *mpiValue) noexcept {
    const auto presets = Presets(mpiValue, 0);
    return RunExport("xfeOstakFileInMemGetAttrLong", presets, kRequireInit, [&]() -> int32_t {
        if (mpFileInMem == nullptr || mpiValue == nullptr ||
            miAttrId != OSTAK_FILE_LONG_INSTALLATION_VERSION) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        *mpiValue = FromHandle(mpFileInMem)->InstallationVersion();
        return OSTAK_OK;
    });
}

} // extern "C"
