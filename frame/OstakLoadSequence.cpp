#include "frame/OstakLoadSequence.h"

#include "frame/OstakFileInMem.h"
#include "frame/OstakGlobals.h"
#include "frame/OstakScriptFileSync.h"
#include "include/ostak.h"

namespace ostak {

namespace {

bool MissingOrEmpty(int32_t rc) noexcept {
    return rc == OSTAK_E_FILE_MISSING || rc == OSTAK_E_FILE_EMPTY;
}

} // namespace

int32_t KeepScriptInStep(OstakFileInMem &script, int32_t scriptStatus) noexcept {
    return SyncScriptWithInstallation(script, scriptStatus);
}

int32_t LoadRuleFile(OstakFileInMem &file) noexcept {
    const OstakGlobals &globals = Globals();
    if (globals.readOnlyMode) {
        // Without a script file at initialisation there is nothing to read.
        if (!globals.xmlLibraryStarted) {
            return OSTAK_OK;
        }
        const int32_t rc = file.Load(true);
        return MissingOrEmpty(rc) ? OSTAK_OK : rc;
    }
    const int32_t rc = file.Load(false);
    if (rc != OSTAK_OK && !MissingOrEmpty(rc)) {
        return rc;
    }
    switch (file.Kind()) {
    case OstakFileInMem::kKindPlain:
        return OSTAK_OK;
    case OstakFileInMem::kKindScript:
        return KeepScriptInStep(file, rc);
    default:
        return rc;
    }
}

} // namespace ostak
