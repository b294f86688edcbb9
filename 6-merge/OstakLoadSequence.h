// Loading a rule-file object as the load export does it: the parse with the
// drop-disabled flag of the mode, what a missing or empty file means for each
// file kind, and, for a script's rule file, keeping it in step with the
// installation file.
#pragma once

#include "2-core/OstakContext.h"

#include <cstdint>

namespace ostak {

class OstakFileInMem;

// Loads `file` as `context` says (its mode, files, callbacks and the rest);
// returns the result, its messages issued (or left to the export's frame
// when none was issued during the call). A script's rule file in full mode
// is loaded under its lock: OSTAK_E_LOCKED, with nothing read, when another
// process holds it past the library's wait.
int32_t LoadRuleFile(OstakFileInMem &file, const OstakContext &context) noexcept;

// What follows the parse of a script's rule file (kind 1) in full mode.
// `scriptStatus` is the parse result: 0, 22 (empty) or 24 (missing). The
// work is done by SyncScriptWithInstallation (6-merge/OstakScriptFileSync.h).
int32_t KeepScriptInStep(OstakFileInMem &script, int32_t scriptStatus, const OstakContext &context) noexcept;

} // namespace ostak
