// What one application of differences has done to the two files, kept so that
// a failure can be undone exactly: each change to a linked application is made
// through the log, which remembers what it replaced. Undoing replays the
// entries backwards; committing releases what was replaced. The log's size
// follows the number of changes, not the size of the files.
#pragma once

#include "1-platform/basekit32.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakList.h"

#include <cstddef>
#include <cstdint>

namespace ostak {

class OstakApplyUndoLog {
  public:
    OstakApplyUndoLog() noexcept = default;
    OstakApplyUndoLog(const OstakApplyUndoLog &) = delete;
    OstakApplyUndoLog &operator=(const OstakApplyUndoLog &) = delete;
    // Commits what is still recorded.
    ~OstakApplyUndoLog();

    // Each change below is either made and recorded, or (on 7, when the log
    // cannot grow or a value cannot be allocated) not made at all.

    // Sets Enabled: 0 or 7.
    int32_t SetEnabled(OstakElemAppl &appl, uint8_t value) noexcept;
    // Sets the stamp (a null host counts as empty): 0 or 7.
    int32_t SetStamp(OstakElemAppl &appl, const char *host, int32_t time) noexcept;
    // Takes over the stamp of `from`: 0 or 7.
    int32_t CopyStamp(OstakElemAppl &appl, const OstakElemAppl &from) noexcept;
    // Gives `appl` the rules of `fresh` (which is left empty), keeping the
    // former rules until the log is committed or undone: 0 or 7.
    int32_t ReplaceRules(OstakElemAppl &appl, OstakListRule &fresh) noexcept;
    // Records that `appl` was linked into `list` (undone by deleting it).
    // The caller reserves the entry with Reserve before linking.
    void Inserted(OstakList &list, OstakElemAppl &appl) noexcept;
    // Makes room for one more entry: 0 or 7.
    int32_t Reserve() noexcept;

    // Replays the entries backwards, putting back what each replaced; then
    // the log is empty. Cannot fail.
    void Undo() noexcept;
    // Keeps every change and releases what they replaced; then the log is empty.
    void Commit() noexcept;

    // Entries recorded since the log was made (tests bound the cost with it).
    uint64_t Recorded() const noexcept { return recorded_; }

  private:
    enum class Kind : uint8_t { Enabled, Stamp, Rules, Inserted };
    struct Entry {
        Kind kind;
        uint8_t enabled; // Enabled: the former value
        int32_t time;    // Stamp: the former time
        OstakElemAppl *appl;
        union {
            char *host;           // Stamp: the former host string (an OsStr's characters)
            OstakListRule *rules; // Rules: a list holding the former rules
            OstakList *list;      // Inserted: the list the application went into
        };
    };

    void Push(const Entry &entry) noexcept;
    // Makes `host` (taken over) and `time` the stamp and records the former one.
    void ExchangeStamp(OstakElemAppl &appl, OsStr host, int32_t time) noexcept;
    void Release() noexcept;

    Entry *entries_ = nullptr;
    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
    uint64_t recorded_ = 0;
};

} // namespace ostak
