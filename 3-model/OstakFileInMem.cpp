#include "3-model/OstakFileInMem.h"

#include "2-core/MsgIssue.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace ostak {

OstakFileInMem::OstakFileInMem(int32_t kind) noexcept
    : fullPath_(xtOsStrCommonEmptyStr), versionText_(xtOsStrCommonEmptyStr), applications_(true),
      kind_(kind) {}

OstakFileInMem *OstakFileInMem::Create(int32_t kind, const char *path, int32_t length) noexcept {
    OstakFileInMem *file = new (std::nothrow) OstakFileInMem(kind);
    if (file == nullptr) {
        return nullptr;
    }
    if (!xfvOsStrAssignFromCharArrayIgnoringNulls(&file->fullPath_, path, length)) {
        delete file;
        return nullptr;
    }
    return file;
}

OstakFileInMem::~OstakFileInMem() {
    applications_.Clear();
    xfvOsStrDestruct(&versionText_);
    xfvOsStrDestruct(&fullPath_);
}

int32_t OstakFileInMem::SetVersionText(const char *chars, int32_t length) noexcept {
    return xfvOsStrAssignFromCharArrayIgnoringNulls(&versionText_, chars, length) ? OSTAK_OK
                                                                                  : OSTAK_E_NO_MEMORY;
}

int32_t OstakFileInMem::Lock(uint32_t waitMilliseconds) noexcept {
    return LockRuleFile(callerLock_, GetFileFullPath(), waitMilliseconds, "xfeOstakFileInMemLock", true);
}

int32_t LockRuleFile(OstakFileLock &lock, const char *path, uint32_t waitMilliseconds, const char *funcName,
                     bool mustLock) noexcept {
    const FileLockOutcome outcome = lock.Acquire(path, waitMilliseconds);
    switch (outcome.kind) {
    case FileLockOutcome::kAcquired:
    case FileLockOutcome::kNotNeeded:
        return OSTAK_OK;
    case FileLockOutcome::kTimedOut: {
        char holder[32];
        std::snprintf(holder, sizeof holder, outcome.holderPid > 0 ? "%ld" : "unknown", outcome.holderPid);
        MsgFormatAndIssue(kMsgLocked, funcName, __LINE__, kLevelError,
                          {MsgArg::Str(path), MsgArg::Str(holder), MsgArg::Int(waitMilliseconds)});
        return OSTAK_E_LOCKED;
    }
    case FileLockOutcome::kError:
        break;
    }
    if (!mustLock) {
        return OSTAK_OK;
    }
    char text[2 * kResolvedPathCapacity + 256];
    std::snprintf(text, sizeof text,
                  "Locking \"%s\" failed: its lock file \"%s\" cannot be made or locked: %s (errno %d)", path,
                  lock.LockPath(), std::strerror(outcome.error), outcome.error);
    MsgFormatAndIssue(kMsgText, funcName, __LINE__, kLevelError, {MsgArg::Str(text)});
    return OSTAK_E_WRITE;
}

} // namespace ostak
