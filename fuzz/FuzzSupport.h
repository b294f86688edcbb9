// What every fuzz target needs: the oracle's abort, a scratch folder of the
// process's own, whole-file reads and writes, the split of one input into
// parts, and a stream of decision bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostak_fuzz {

// Initialises the library once per process in full mode over the source
// tree's dat/, with the counting log, `merge` as the merge callback (null: one
// that answers cancel) and a configuration callback that answers no.
void InitLibraryOnce(uint32_t (*merge)(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *),
                     bool converterSwitch);

// Aborts with the oracle's complaint unless `condition` holds.
void Check(bool condition, const char *what);

// A folder of this process's own under /tmp, removed when the process exits.
const std::string &WorkDir();

bool WriteFile(const std::string &path, const std::string &bytes);
// False when the file cannot be read (missing included).
bool ReadFile(const std::string &path, std::string *bytes);
bool FileExists(const std::string &path);

// Splits `data` at each occurrence of `separator`; always at least one part.
std::vector<std::string> Split(const uint8_t *data, std::size_t size, const std::string &separator);

// The separator between the parts of a fuzz input. Seeds and the dictionary
// spell it the same way.
constexpr const char *kPartSeparator = "\n=====\n";

// Bytes handed out one at a time; once they are used up, Next answers the
// fallback it is given.
class ByteStream {
  public:
    ByteStream() = default;
    explicit ByteStream(std::string bytes) : bytes_(std::move(bytes)) {}
    bool Empty() const { return position_ >= bytes_.size(); }
    // The next byte as an int 0..255, or `fallback` when none is left.
    int Next(int fallback);

  private:
    std::string bytes_;
    std::size_t position_ = 0;
};

// The merge callback's answer to `event` from the next decision byte: 0
// cancels, 0xFF and 0xFE give answers out of range, any other byte 1 to 3;
// once the bytes are used up, every rule is kept (4: 1, 5: 2, 6: 3).
uint32_t MergeAnswerFrom(int32_t event, ByteStream &answers);

// The log callback of the targets: counts messages by level; prints them
// when OSTAK_FUZZ_VERBOSE is set, for looking into a finding.
void CountingLog(int32_t number, const char *text, const char *func, int32_t line, int32_t level);
// Whether OSTAK_FUZZ_VERBOSE is set: the targets then also print their steps' results.
bool Verbose();
// Prints a step's result when Verbose().
void Trace(const char *step, int32_t rc);
// Messages of level warning or higher since the last reset.
int LoggedProblems();
void ResetLoggedProblems();

} // namespace ostak_fuzz
