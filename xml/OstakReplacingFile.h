// Writes a file anew without ever leaving it half-written.
//
// The bytes go to a new file in the target's directory; only when all of them
// were written, flushed, synced to disk and the new file closed does it take
// the target's place by a rename. Until then, and after any failure, the
// target keeps its former content. A target that is a symbolic link is
// written through to the file it points to; an existing target's permission
// bits (and, where allowed, its owner) carry over to the new file.
#pragma once

#include <cstdio>

namespace ostak {

class OstakReplacingFile {
  public:
    OstakReplacingFile() noexcept = default;
    // Removes a new file that was never committed.
    ~OstakReplacingFile();

    OstakReplacingFile(const OstakReplacingFile &) = delete;
    OstakReplacingFile &operator=(const OstakReplacingFile &) = delete;

    // Creates the new file next to the file that `targetPath` names. False
    // when it cannot be made; Error() then tells why.
    bool Open(const char *targetPath) noexcept;

    // The new file's stream while it is open.
    std::FILE *Stream() const noexcept { return m_Stream; }

    // Flushes, syncs and closes the new file and renames it over the target.
    // False when a step fails: the new file is gone, the target untouched,
    // FailedStep() and Error() tell what went wrong.
    bool Commit() noexcept;

    // Closes and removes the new file; the target stays as it was.
    void Abandon() noexcept;

    // The step that failed ("create", "flush", "fsync", "close", "rename")
    // and its errno.
    const char *FailedStep() const noexcept { return m_FailedStep; }
    int Error() const noexcept { return m_Error; }

  private:
    static constexpr std::size_t kPathCapacity = 4096 + 64;

    bool ResolveTarget(const char *targetPath) noexcept;
    bool CreateNewFile() noexcept;
    bool Fail(const char *step, int error) noexcept;
    void CloseStream() noexcept;

    char m_Target[kPathCapacity] = {}; // the file finally written (symbolic links followed)
    char m_New[kPathCapacity] = {};    // the new file, in the target's directory
    std::FILE *m_Stream = nullptr;
    bool m_NewExists = false;
    const char *m_FailedStep = nullptr;
    int m_Error = 0;
};

} // namespace ostak
