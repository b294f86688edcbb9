// Fuzz target: loading a script's rule file against the installation file,
// with its take-over, the configuration callback's question and the merge.
//
// Input: INSTALLATION <sep> SCRIPT <sep> CONTROL, <sep> being kPartSeparator.
// The first control byte's bit 0 leaves the installation file away, bit 1 the
// script's file (an empty part is an empty file). The remaining bytes answer
// the configuration callback (0xFF: -1, else the byte modulo 3; 2 once used
// up) and the merge callback (MergeAnswerFrom), in the order they ask.
//
// Oracle: nothing crashes or leaks; the names stay in order (strictly after
// success); the installation file is never written; after a failure the
// script's file is as it was or a complete document that loads cleanly (a
// take-over saved before the merge failed); after success it loads back to
// what the object holds.
#include "3-model/OstakFileInMem.h"
#include "fuzz/FuzzModel.h"
#include "fuzz/FuzzSupport.h"
#include "include/ostak.h"
#include "1-platform/Alloc.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using ostak::OstakFileInMem;
using namespace ostak_fuzz;

ByteStream g_answers;

uint32_t ScriptedMerge(int32_t event, int32_t, int32_t, void *, void *, void *, void *, const char *) {
    return MergeAnswerFrom(event, g_answers);
}

int32_t ScriptedConf(int32_t question) {
    Check(question == 0, "the configuration callback is asked with 0");
    const int byte = g_answers.Next(-1);
    if (byte < 0) {
        return 2;
    }
    return byte == 0xFF ? -1 : byte % 3;
}

std::string RootDir() {
    return WorkDir() + "/root";
}
std::string InstallationPath() {
    return RootDir() + "/dat/OstakInstallation.xml";
}
std::string ScriptDir() {
    return WorkDir() + "/scripts/";
}
std::string ScriptPath() {
    return ScriptDir() + "script.xml";
}

void InitOnce() {
    static bool done = false;
    if (done) {
        return;
    }
    namespace fs = std::filesystem;
    fs::create_directories(RootDir() + "/dat");
    fs::create_directories(ScriptDir());
    for (const char *name : {"OstakDtd.xml", "Ostak_res"}) {
        fs::copy_file(std::string(OSTAK_SOURCE_DIR) + "/dat/" + name, RootDir() + "/dat/" + name);
    }
    const std::string root = RootDir();
    const std::string scripts = ScriptDir();
    const int32_t rc = xfeOstakGlobalInit(0, CountingLog, ScriptedMerge, ScriptedConf, root.c_str(),
                                          static_cast<uint32_t>(root.size()), scripts.c_str(),
                                          static_cast<uint32_t>(scripts.size()), "script.xml", 10, 0);
    Check(rc == 0, "initialisation");
    done = true;
}

// Writes the part as the file, or removes the file when `absent`.
void PlaceFile(const std::string &path, const std::string &bytes, bool absent) {
    std::remove(path.c_str());
    if (!absent) {
        Check(WriteFile(path, bytes), "writing an input file");
    }
}

// What a file holds; `exists` is false when there is none.
struct FileState {
    bool exists = false;
    std::string bytes;
};
FileState StateOf(const std::string &path) {
    FileState state;
    state.exists = ReadFile(path, &state.bytes);
    return state;
}
bool operator==(const FileState &a, const FileState &b) {
    return a.exists == b.exists && a.bytes == b.bytes;
}

void RunOne(const std::vector<std::string> &parts) {
    ByteStream control(parts.size() > 2 ? parts[2] : std::string());
    const int flags = control.Next(0);
    PlaceFile(InstallationPath(), parts[0], (flags & 1) != 0);
    PlaceFile(ScriptPath(), parts.size() > 1 ? parts[1] : std::string(), (flags & 2) != 0);
    const FileState installationBefore = StateOf(InstallationPath());
    const FileState scriptBefore = StateOf(ScriptPath());
    g_answers = control;

    const std::string path = ScriptPath();
    std::unique_ptr<OstakFileInMem> script(
        OstakFileInMem::Create(OstakFileInMem::kKindScript, path.c_str(), static_cast<int32_t>(path.size())));
    Check(script != nullptr, "creating the script's object");
    ResetLoggedProblems();
    const int32_t rc = xfeOstakLoad(reinterpret_cast<OstakFileInMemHandle *>(script.get()));
    Trace("script load", rc);

    Check(NamesInOrder(*script, rc == 0), "the script's names are in order");
    Check(StateOf(InstallationPath()) == installationBefore, "the installation file is only read");
    const FileState scriptAfter = StateOf(ScriptPath());
    FileSnap onDisk;
    if (rc != 0) {
        Check(LoggedProblems() > 0, "a failed load says why");
        if (!(scriptAfter == scriptBefore)) {
            Check(LoadSnapshot(OstakFileInMem::kKindScript, path, &onDisk) == 0,
                  "a script's file written before a failure is a complete document");
        }
        return;
    }
    Check(scriptAfter.exists, "a successful load leaves the script's file");
    Check(LoadSnapshot(OstakFileInMem::kKindScript, path, &onDisk) == 0, "the script's file loads cleanly");
    Check(onDisk == AsWritten(Snapshot(*script)), "the script's file holds what the object holds");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    InitOnce();
    const int64_t liveBefore = ostak::LiveAllocations();
    RunOne(Split(data, size, kPartSeparator));
    Check(ostak::LiveAllocations() == liveBefore, "no library allocation left behind");
    return 0;
}
