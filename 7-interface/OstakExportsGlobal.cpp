// Exports of initialisation, termination and the path getters.
#include "2-core/ExportFrame.h"
#include "2-core/OstakGlobalInit.h"
#include "2-core/OstakGlobals.h"
#include "include/ostak.h"

using namespace ostak;

extern "C" {

OSTAK_API int32_t xfeOstakGlobalInit(uint8_t mbReadOnlyMode, ostak_log_callback mpfeLogCallback,
                                     ostak_merge_callback mpfeMergeCallback,
                                     ostak_conf_callback mpfeConfCallback, const char *mpszTqRootDirStr,
                                     uint32_t mnTqRootDirLen, const char *mpszAedFileDirScriptStr,
                                     uint32_t mnAedFileDirScriptLen, const char *mpszAedFileNameScriptStr,
                                     uint32_t mnAedFileNameScriptLen, uint8_t mbConverterSwitch) noexcept {
    const GlobalInitArgs args = {mbReadOnlyMode != 0,     mpfeLogCallback,       mpfeMergeCallback,
                                 mpfeConfCallback,        mpszTqRootDirStr,      mnTqRootDirLen,
                                 mpszAedFileDirScriptStr, mnAedFileDirScriptLen, mpszAedFileNameScriptStr,
                                 mnAedFileNameScriptLen,  mbConverterSwitch != 0};
    // Initialisation clears the issue-once flag itself, after its already-initialised test.
    return RunExport("xfeOstakGlobalInit", Presets(), kInitialisation, [&]() { return GlobalInit(args); });
}

OSTAK_API int32_t xfeOstakGlobalTerm(void) noexcept {
    return RunExport("xfeOstakGlobalTerm", Presets(), kAnyTime, []() { return GlobalTerm(); });
}

// The path getters answer a text, not a result code: they run outside the
// frame, issue nothing and leave the issue-once flag as it is.
OSTAK_API const char *xfpszOstakFileFullPathScriptStr(void) noexcept {
    return Globals().scriptPath.text;
}

OSTAK_API uint32_t xfnOstakFileFullPathScriptLen(void) noexcept {
    return Globals().scriptPath.length;
}

OSTAK_API const char *xfpszOstakFileFullPathDefaultsStr(void) noexcept {
    return Globals().defaultsPath.text;
}

OSTAK_API uint32_t xfnOstakFileFullPathDefaultsLen(void) noexcept {
    return Globals().defaultsPath.length;
}

OSTAK_API const char *xfpszOstakFileFullPathInstallationStr(void) noexcept {
    return Globals().installationPath.text;
}

OSTAK_API uint32_t xfnOstakFileFullPathInstallationLen(void) noexcept {
    return Globals().installationPath.length;
}

} // extern "C"
