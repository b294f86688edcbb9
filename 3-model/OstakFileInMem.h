// A rule file held in memory: its path, kind, root attributes, status and
// the list of its applications.
#pragma once

#include "2-core/OstakContext.h"
#include "2-core/OstakFileStat.h"
#include "include/ostak.h"
#include "3-model/OstakList.h"
#include "1-platform/Alloc.h"
#include "1-platform/OstakFileLock.h"
#include "1-platform/basekit32.h"

#include <cstdint>
#include <sys/stat.h>

namespace ostak {

class OstakFileInMem : public SeamAllocated {
  public:
    // File kinds.
    static constexpr int32_t kKindPlain = 0;        // the only kind allowed in read-only mode
    static constexpr int32_t kKindScript = 1;       // a script's rule file
    static constexpr int32_t kKindInstallation = 2; // the installation file
    static constexpr int32_t kKindSource = 3;       // a source for applying differences
    static constexpr int32_t kKindCount = 4;

    // A new object on a copy of `length` characters at `path` (need not be
    // NUL-terminated), with an empty list, load result and file status -1,
    // version 0, empty version text, saved flag false. Null when no memory.
    static OstakFileInMem *Create(int32_t kind, const char *path, int32_t length) noexcept;
    // Destroys every application, first to last, then releases the texts.
    virtual ~OstakFileInMem();

    OstakFileInMem(const OstakFileInMem &) = delete;
    OstakFileInMem &operator=(const OstakFileInMem &) = delete;

    // The file that loading reads and saving writes (NUL-terminated).
    const char *GetFileFullPath() const noexcept { return fullPath_.psz; }
    int32_t Kind() const noexcept { return kind_; }

    OstakListAppl &Applications() noexcept { return applications_; }
    const OstakListAppl &Applications() const noexcept { return applications_; }

    // The FileVersionInstallation attribute (0 when absent).
    int32_t InstallationVersion() const noexcept { return installationVersion_; }
    void SetInstallationVersion(int32_t value) noexcept { installationVersion_ = value; }

    // The TqVersion attribute (empty when absent).
    const char *VersionText() const noexcept { return versionText_.psz; }
    // 0, or 7 with the text unchanged.
    int32_t SetVersionText(const char *chars, int32_t length) noexcept;

    // The result recorded while parsing (-1 before any load).
    int32_t LoadResult() const noexcept { return loadResult_; }
    void SetLoadResult(int32_t rc) noexcept { loadResult_ = rc; }

    bool Saved() const noexcept { return saved_; }
    void SetSaved(bool saved) noexcept { saved_ = saved; }

    // Checks the full path: 0, 20 (after message -32570), 21, 22 or 24;
    // stores the code and the status record.
    int32_t ObtainFileStat() noexcept { return fileStat_.Obtain(fullPath_.psz); }
    int32_t FileStatCode() const noexcept { return fileStat_.code; }
    const struct stat &FileStatRecord() const noexcept { return fileStat_.record; }

    // Reading and writing the rule file (OstakFileInMemLoad.cpp,
    // OstakFileInMemSave.cpp). Both follow `context`: whether the XML library
    // is started, the conversion path of every string, the stamp of new
    // applications and, for saving, the root directory that holds the head.

    // Parses the file into the application list, adding to what it holds;
    // with `dropDisabled`, disabled applications and rules stay out. Returns
    // the file status (20, 21, 22, 24) without parsing, or the load result:
    // 0, or the last problem met (each issued as a message at once).
    int32_t Load(bool dropDisabled, const OstakContext &context) noexcept;
    // Writes the application list (with `markedOnly`, only the applications
    // marked 1) to `path` when `pathLength` is not 0, else to the object's
    // own path; `saved` becomes the saved flag (and the Saved attribute of a
    // script's rule file). An empty list of a file other than a script's
    // removes the file instead. Runs under the file's lock. 0, 37, 39 or 40
    // (messages issued), or 7.
    int32_t Save(bool markedOnly, const char *path, int32_t pathLength, bool saved,
                 const OstakContext &context) noexcept;

    // The caller's lock on the object's own file, held until Unlock or the
    // object's end. 0 when taken, already held or not needed; 40 after
    // message -32548 when another process holds it past the wait; 37 after
    // a message when its lock file cannot be made.
    int32_t Lock(uint32_t waitMilliseconds) noexcept;
    void Unlock() noexcept { callerLock_.Release(); }
    bool LockHeld() const noexcept { return callerLock_.Held(); }

  private:
    explicit OstakFileInMem(int32_t kind) noexcept;

    int32_t installationVersion_ = 0;
    OsStr fullPath_;
    OsStr versionText_;
    OstakListAppl applications_;
    int32_t kind_;
    int32_t loadResult_ = -1;
    OstakFileStat fileStat_;
    bool saved_ = false;
    OstakFileLock callerLock_;
};

// Takes `lock` on the rule file at `path`, waiting up to `waitMilliseconds`.
// 0 when it is held, or when it is not needed (the folder cannot be written);
// OSTAK_E_LOCKED after message -32548 when another process holds it past the
// wait. A lock file that cannot be made gives OSTAK_E_WRITE after a message
// when `mustLock`, else 0 without the lock (whatever would write goes on to
// meet the same failure). Messages are issued as from `funcName`.
int32_t LockRuleFile(OstakFileLock &lock, const char *path, uint32_t waitMilliseconds, const char *funcName,
                     bool mustLock) noexcept;

// The caller's opaque handles and the objects behind them.
inline OstakFileInMem *FromHandle(OstakFileInMemHandle *handle) noexcept {
    return reinterpret_cast<OstakFileInMem *>(handle);
}
inline OstakFileInMemHandle *ToHandle(OstakFileInMem *file) noexcept {
    return reinterpret_cast<OstakFileInMemHandle *>(file);
}

} // namespace ostak
