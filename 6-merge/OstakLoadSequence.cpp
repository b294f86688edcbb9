#include "6-merge/OstakLoadSequence.h"

#include "3-model/OstakFileInMem.h"
#include "6-merge/OstakScriptFileSync.h"
#include "include/ostak.h"
#include "1-platform/OstakFileLock.h"
#include "1-platform/Seams.h"

namespace ostak {

namespace {

constexpr const char *kLoadFunc = "xfeOstakLoad";

bool MissingOrEmpty(int32_t rc) noexcept {
    return rc == OSTAK_E_FILE_MISSING || rc == OSTAK_E_FILE_EMPTY;
}

} // namespace

int32_t KeepScriptInStep(OstakFileInMem &script, int32_t scriptStatus, const OstakContext &context) noexcept {
    return SyncScriptWithInstallation(script, scriptStatus, context);
}

int32_t LoadRuleFile(OstakFileInMem &file, const OstakContext &context) noexcept {
    if (context.readOnlyMode) {
        // Without a script file at initialisation there is nothing to read.
        if (!context.xmlLibraryStarted) {
            return OSTAK_OK;
        }
        const int32_t rc = file.Load(true, context);
        return MissingOrEmpty(rc) ? OSTAK_OK : rc;
    }
    // A script's rule file is read, kept in step and written back under one
    // lock; the save inside takes it again, at once, from the same process.
    OstakFileLock lock;
    if (file.Kind() == OstakFileInMem::kKindScript) {
        const int32_t locked =
            LockRuleFile(lock, file.GetFileFullPath(), Seams().lockWaitMilliseconds, kLoadFunc, false);
        if (locked != OSTAK_OK) {
            return locked;
        }
    }
    const int32_t rc = file.Load(false, context);
    if (rc != OSTAK_OK && !MissingOrEmpty(rc)) {
        return rc;
    }
    switch (file.Kind()) {
    case OstakFileInMem::kKindPlain:
        return OSTAK_OK;
    case OstakFileInMem::kKindScript:
        return KeepScriptInStep(file, rc, context);
    default:
        return rc;
    }
}

} // namespace ostak
