// What the benchmarks share: the library started once, and generated rule files
// of `count` applications with kRulesPerAppl rules each, kept in a scratch
// folder that main removes at the end.
#pragma once

#include "3-model/OstakFileInMem.h"
#include "include/ostak.h"

#include <cstdint>
#include <string>
#include <vector>

namespace benchmark {
class State;
}

namespace ostak_bench {

constexpr int kRulesPerAppl = 8;
// The sizes of the per-application benchmarks: growth is read from 1k to 64k.
constexpr int64_t kFewAppls = 1 << 10;
constexpr int64_t kManyAppls = 1 << 16;

// The order in which a file's names arrive.
enum class NameOrder { InOrder, Reversed, Shuffled };

// How a file differs from the in-order base file of the same size.
enum class Variant {
    Base,          // the base file itself
    FewChanged,    // eight applications, spread over the file, with other rule texts
    TenPercentNew, // the base, and one new application after every tenth
    AllChanged     // every rule of every application with another text
};

// What a file's head says besides the format version.
enum class FileHead {
    Plain,            // nothing more
    SavedScript,      // a script's file, saved, that took in installation file number 5
    NewerInstallation // an installation file of number 6
};

// Starts the library once (full mode; the merge callback takes the source's rule).
void InitOnce();
// The scratch folder of this run.
const std::string &WorkDir();
// The name of the i-th of `count` (a power of two) applications in `order`.
long long NameNumber(int64_t i, int64_t count, NameOrder order);
// A rule file of `count` applications, made on first use.
std::string MakeFile(int64_t count, NameOrder order, Variant variant = Variant::Base);
// The same with the given head.
std::string MakeFileWithHead(int64_t count, NameOrder order, Variant variant, FileHead head);
// The installation file and the script's file that the library was started with.
std::string InstallationPath();
std::string ScriptPath();
// A rule file, in order, of at least `megabytes` MB.
std::string MakeFileOfSize(int64_t megabytes);

// A new rule-file object of `kind` loaded from `path`; null when loading fails.
ostak::OstakFileInMem *LoadFile(const std::string &path, int32_t kind = 0);

// How a script's file stands when it is loaded.
enum class ScriptStart {
    Missing, // it takes over the installation file's applications
    Behind   // it merges in an installation file of a newer number with 10% new applications
};
// Puts the installation file of `count` applications in place for a script's
// file that starts as `start`.
void PlaceInstallationFile(int64_t count, ScriptStart start);
// Puts the script's file in place as `start` has it: removed, or the saved
// file of `count` applications one installation number behind.
void PlaceScriptFile(int64_t count, ScriptStart start);
// Whether a script's file loaded from a start `start` took in what it should.
bool TookInAsItShould(OstakListApplHandle *list, ScriptStart start);

// Marks the source against the target and turns every difference into "apply".
bool DecideToApplyAll(ostak::OstakFileInMem &source, ostak::OstakFileInMem &target);

// The process's processor time in seconds: the machine may be shared, and
// every step of a benchmark runs on its one thread.
double CpuSeconds();
// The median (0 for none).
double Median(std::vector<double> values);

// Hands memory freed by a large benchmark back, so that the allocator's
// tidying after it is not charged to whatever runs next.
void ReturnFreedMemory();

// In a run with the binary's --cold-caches (run.sh --cold), empties the
// caches by reading a buffer of twice the last level's size: every size then
// reads its files from memory, as a file larger than the caches always does.
// Nothing in other runs.
void EmptyCachesIfCold();
// The same from inside a timed loop: the timing pauses while the caches empty.
void EmptyCachesIfCold(benchmark::State &state);

} // namespace ostak_bench
