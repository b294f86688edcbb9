// Complete snapshots of a rule file's model for the fuzz oracles, the checks
// of the lists' order and links, and the save-and-reload round trip.
#pragma once

#include "3-model/OstakFileInMem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostak_fuzz {

struct RuleSnap {
    std::string name, text, prefix, suffix;
    int32_t level, type;
    int matchCase, useText, failIfNotFound;
    bool operator==(const RuleSnap &o) const;
};

struct ApplSnap {
    std::string name;
    int enabled;
    std::string host;
    int32_t time;
    int32_t mark;
    std::vector<RuleSnap> rules;
    bool operator==(const ApplSnap &o) const;
};

struct FileSnap {
    std::vector<ApplSnap> appls;
    int32_t installationVersion = 0;
    bool saved = false;
    bool operator==(const FileSnap &o) const;
};

// Everything the file holds, in list order; checks every link on the way.
FileSnap Snapshot(const ostak::OstakFileInMem &file);
// What a rule-file document carries of a snapshot: without difference marks.
FileSnap AsWritten(FileSnap snap);

// Names of applications and of each application's rules ascend (bytes
// unsigned); with `strict`, no name occurs twice.
bool NamesInOrder(const ostak::OstakFileInMem &file, bool strict);

// Saves `file` to `path` (unmarked, `saved` as given) and loads the result
// into a new object of the same kind. A save may only refuse with
// OSTAK_E_WRITE, saying why and writing nothing; a file of another kind than a
// script's with no applications is removed instead. Otherwise the copy must
// load cleanly and hold what the file carries. Returns the save's result.
int32_t CheckSaveAndReload(ostak::OstakFileInMem &file, const std::string &path, bool saved);

// Loads the file at `path` into a new object of `kind`; the snapshot goes to
// `snap`. Returns the load's result.
int32_t LoadSnapshot(int32_t kind, const std::string &path, FileSnap *snap);

} // namespace ostak_fuzz
