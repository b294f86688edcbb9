// Writes a file anew without ever leaving it half-written, or anything behind.
//
// The bytes go to a new file in the target's folder, made without a name
// where the file system allows it (O_TMPFILE), so that a process killed while
// writing leaves nothing. Only when all of them were written, flushed, synced
// to disk and the stream closed does the new file get a temporary name and at
// once take the target's place by a rename; catchable signals wait during
// those two steps. Until then, and after any failure, the target keeps its
// former content. Where unnamed files are refused, the new file is a hidden
// ".ostak-<pid>-<n>.tmp" from the start; each Open removes such files of
// processes that no longer run. A target that is a symbolic link is written
// through to the file it points to; what it finally names must be a regular
// file or nothing. An existing target's permission bits (and, where allowed,
// its owner) carry over to the new file.
#pragma once

#include "1-platform/OstakPath.h"

#include <cstdio>
#include <sys/types.h>

namespace ostak {

class OstakReplacingFile {
  public:
    OstakReplacingFile() noexcept = default;
    // Removes a new file that was never committed.
    ~OstakReplacingFile();

    OstakReplacingFile(const OstakReplacingFile &) = delete;
    OstakReplacingFile &operator=(const OstakReplacingFile &) = delete;

    // Creates the new file next to the file that `targetPath` names. False
    // when it cannot be made; FailedStep() and Error() then tell why.
    bool Open(const char *targetPath) noexcept;

    // The new file's stream while it is open.
    std::FILE *Stream() const noexcept { return m_Stream; }

    // Flushes, syncs and closes the new file and renames it over the target.
    // False when a step fails: the new file is gone, the target untouched,
    // FailedStep() and Error() tell what went wrong.
    bool Commit() noexcept;

    // Closes and removes the new file; the target stays as it was.
    void Abandon() noexcept;

    // The step that failed ("create"; "type" when the target is not a regular
    // file; "flush", "fsync", "close", "link", "rename") and its errno.
    const char *FailedStep() const noexcept { return m_FailedStep; }
    int Error() const noexcept { return m_Error; }

    // After the step "type": the mode of what the target finally names.
    mode_t TargetMode() const noexcept { return m_TargetMode; }
    // The file finally written (symbolic links followed), once Open got that far.
    const char *ResolvedTarget() const noexcept { return m_Target; }
    // Whether the new file was made without a name.
    bool Unnamed() const noexcept { return m_UnnamedFd >= 0; }

  private:
    bool CreateUnnamed(const char *folder, int &fd) noexcept;
    bool CreateNamed(int &fd) noexcept;
    bool CreateNewFile() noexcept;
    bool NameAndRename(int folderFd) noexcept;
    bool Fail(const char *step, int error) noexcept;
    void CloseStream() noexcept;
    void FolderOfTarget(char *folder, std::size_t capacity) const noexcept;

    char m_Target[kResolvedPathCapacity] = {}; // the file finally written (symbolic links followed)
    char m_New[kResolvedPathCapacity] = {};    // the new file's name, in the target's folder
    std::FILE *m_Stream = nullptr;
    int m_UnnamedFd = -1;     // the unnamed new file, kept open until it is linked
    bool m_NewExists = false; // m_New names the new file
    mode_t m_TargetMode = 0;
    const char *m_FailedStep = nullptr;
    int m_Error = 0;
};

} // namespace ostak
