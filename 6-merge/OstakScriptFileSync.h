// Keeping a script's rule file in step with the installation file, after the
// script's file has been parsed in full mode: taking over the installation
// file's content when the script's file is missing, empty, of the old format
// or outdated, and merging the installation file in when it has changed since
// and the caller agrees.
#pragma once

#include "2-core/OstakContext.h"

#include <cstdint>

namespace ostak {

class OstakFileInMem;

// The answer of the configuration callback that lets the merge go ahead.
constexpr int32_t kConfAnswerMerge = 2;
// The format version whose empty files are taken over.
constexpr const char *kOldFormatVersion = "7.5";

// Continues the load of `script` (kind 1), whose parse gave `scriptStatus`
// (0, 22 or 24), with the installation file, configuration callback and the
// rest of `context`. Returns 0; 25, 29, 31 or 34 when loading the installation
// file, saving after a take-over, merging or saving after the merge failed;
// or 7 when the installation list cannot be copied for a take-over (the
// script's list and file stay as they were). The inner failure's message has
// been issued once; the wrapped code is left to the export.
int32_t SyncScriptWithInstallation(OstakFileInMem &script, int32_t scriptStatus,
                                   const OstakContext &context) noexcept;

} // namespace ostak
