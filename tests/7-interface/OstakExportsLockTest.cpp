// The lock of a rule file: taken by every save and by the load of a script's
// rule file, by the caller through the lock exports, shared within one
// process, and what another process's hold, a stale lock file and a lock file
// that cannot be made come to.
#include "tests/support/Fixtures.h"
#include "tests/support/LockHolder.h"

#include "6-merge/OstakScriptFileSync.h"
#include "1-platform/OstakFileLock.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <unistd.h>

using namespace ostak;
using namespace ostak_test;
using ostak_test::HeldByAnotherProcess;
using ostak_test::LockFileOf;

namespace {

const std::vector<ApplSpec> kInstallAppls = {{"Editor", {R("Rule_1", "open")}, 0, 1, "inst", 500},
                                             {"Mail", {R("Rule_1", "send")}, 0, 1, "inst", 500}};
const std::vector<ApplSpec> kScriptAppls = {{"Editor", {R("Rule_1", "edit")}, 0, 1, "me", 9}};

class LoadSaveLock : public SyncTest {
  protected:
    void TearDown() override {
        handles_.DestroyAll();
        SyncTest::TearDown();
    }

    OstakFileInMemHandle *Create(uint32_t kind, const std::string &path) { return handles_.Create(kind, path); }

    std::string ScriptLock() const { return LockFileOf(scripts_.path(), "script.xml"); }

    // Asserts that the log holds one message beyond the trace lines: -32548 from `func`.
    void ExpectLockedMessage(const char *func, const std::string &path, pid_t holder, uint32_t waited) {
        const std::vector<ostak_test::LogRecord> messages = MessagesBeyondTrace();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].number, kMsgLocked);
        EXPECT_EQ(messages[0].func, func);
        EXPECT_EQ(messages[0].level, kLevelError);
        EXPECT_EQ(messages[0].text, "The rule file \"" + path + "\" is locked by another process (pid " +
                                        std::to_string(holder) + "); gave up after " +
                                        std::to_string(waited) + " ms");
    }

    ExportedFiles handles_;
};

TEST_F(LoadSaveLock, TheExportsCheckInitialisationAndTheirArgument) {
    ostak::Globals().logCallback = ostak_test::RecordLog;
    EXPECT_EQ(xfeOstakFileInMemLock(nullptr, 0), OSTAK_E_NOT_INITIALISED);
    EXPECT_EQ(xfeOstakFileInMemUnlock(nullptr), OSTAK_E_NOT_INITIALISED);
    Init();
    EXPECT_EQ(xfeOstakFileInMemLock(nullptr, 0), OSTAK_E_INVALID_ARGUMENT);
    ExpectIssuedOnce(-32594);
    ostak_test::Log().clear();
    EXPECT_EQ(xfeOstakFileInMemUnlock(nullptr), OSTAK_E_INVALID_ARGUMENT);
    ExpectIssuedOnce(-32594);
}

// The caller's lock counts once per object; the library's own save and load
// inside the same process take it again at once, and links share it.
TEST_F(LoadSaveLock, ACallersLockIsTakenAgainAtOnceByTheLibrarysOwnSaveAndLoad) {
    WriteInstallation(DocXml(kInstallAppls, 6));
    Init();
    Seams().lockWaitMilliseconds = 0; // anything but a shared lock would fail at once
    OstakFileInMemHandle *script = Create(1, ScriptPath());
    ASSERT_EQ(xfeOstakFileInMemLock(script, 0), 0);
    EXPECT_EQ(ReadFile(ScriptLock()), std::to_string(getpid()) + "\n");
    ASSERT_EQ(xfeOstakFileInMemLock(script, 0), 0) << "held already: nothing changes";
    EXPECT_EQ(OstakFileLock::ProcessHolders(ScriptPath().c_str()), 1u);

    EXPECT_EQ(xfeOstakLoad(script), 0) << "takes the installation file over and saves";
    EXPECT_TRUE(FileExists(ScriptPath()));
    EXPECT_EQ(xfeOstakSave(script, 0, nullptr, 0), 0);
    const std::string link = scripts_.File("link.xml");
    ASSERT_EQ(symlink("script.xml", link.c_str()), 0);
    OstakFileInMemHandle *linked = Create(0, link);
    ASSERT_EQ(xfeOstakFileInMemLock(linked, 0), 0);
    EXPECT_EQ(OstakFileLock::ProcessHolders(ScriptPath().c_str()), 2u) << "one lock for both names";
    EXPECT_TRUE(MessagesBeyondTrace().empty());
    EXPECT_EQ(scripts_.Entries(), (std::set<std::string>{"script.xml", "link.xml", ".script.xml.lock"}));

    EXPECT_EQ(xfeOstakFileInMemUnlock(linked), 0);
    EXPECT_EQ(xfeOstakFileInMemUnlock(script), 0);
    EXPECT_EQ(xfeOstakFileInMemUnlock(script), 0) << "holding none";
    EXPECT_EQ(OstakFileLock::ProcessHolders(ScriptPath().c_str()), 0u);
    EXPECT_EQ(scripts_.Entries(), (std::set<std::string>{"script.xml", "link.xml"}));

    ASSERT_EQ(xfeOstakFileInMemLock(script, 0), 0);
    ASSERT_EQ(xfeOstakFileInMemDestroy(&handles_[0]), 0);
    EXPECT_EQ(OstakFileLock::ProcessHolders(ScriptPath().c_str()), 0u) << "destroying lets the lock go";
    EXPECT_FALSE(FileExists(ScriptLock()));
}

// While another process holds the lock, saves, the load of a script's rule
// file and the lock export give up after their wait with one message and
// leave everything as it was; loads of other kinds do not wait.
TEST_F(LoadSaveLock, AnotherProcesssLockStopsSavesAndScriptLoads) {
    WriteInstallation(DocXml(kInstallAppls, 6));
    const std::string scriptDoc = DocXml(kScriptAppls, 5);
    WriteScript(scriptDoc);
    Init();
    HeldByAnotherProcess holder(ScriptLock());
    ASSERT_TRUE(holder.locked());
    Seams().lockWaitMilliseconds = 120;
    struct Case {
        const char *what;
        uint32_t kind;
        bool filled;
        std::function<int32_t(OstakFileInMemHandle *)> call;
        int32_t rc;
        const char *func;
        uint32_t waited;
    };
    const auto save = [](OstakFileInMemHandle *file) { return xfeOstakSave(file, 0, nullptr, 0); };
    const Case cases[] = {
        {"save", 1, true, save, OSTAK_E_LOCKED, "OstakFileInMem::Save", 120},
        {"removal of an emptied file", 0, false, save, OSTAK_E_LOCKED, "OstakFileInMem::Save", 120},
        {"load of a script's rule file", 1, false, xfeOstakLoad, OSTAK_E_LOCKED, "xfeOstakLoad", 120},
        {"lock", 0, false, [](OstakFileInMemHandle *file) { return xfeOstakFileInMemLock(file, 70); },
         OSTAK_E_LOCKED, "xfeOstakFileInMemLock", 70},
        {"load of kind 0", 0, false, xfeOstakLoad, OSTAK_OK, "", 0},
        {"load of kind 3", 3, false, xfeOstakLoad, OSTAK_OK, "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        OstakFileInMemHandle *file = Create(c.kind, ScriptPath());
        if (c.filled) {
            AppendAppl(*FromHandle(file), ApplSpec{"New", {}, 0, 1, "h", 1});
        }
        ostak_test::Log().clear();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(c.call(file), c.rc);
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
        if (c.rc == OSTAK_E_LOCKED) {
            ExpectLockedMessage(c.func, ScriptPath(), holder.pid(), c.waited);
            EXPECT_GE(waited, std::chrono::milliseconds(c.waited));
            EXPECT_EQ(FromHandle(file)->Applications().Empty(), !c.filled) << "nothing read";
        } else {
            EXPECT_TRUE(MessagesBeyondTrace().empty());
            EXPECT_FALSE(FromHandle(file)->Applications().Empty());
        }
    }
    holder.LetGo();
    OstakFileInMemHandle *script = Create(1, ScriptPath());
    EXPECT_EQ(xfeOstakLoad(script), 0);
    EXPECT_NE(ReadFile(ScriptPath()), scriptDoc) << "taken over now";
    EXPECT_EQ(scripts_.Entries(), std::set<std::string>{"script.xml"});
}

// The load of a script's rule file holds the lock from before the parse to
// after the save that follows a merge.
TEST_F(LoadSaveLock, AScriptsFileStaysLockedFromTheParseToTheLastSave) {
    WriteInstallation(DocXml(kInstallAppls, 6));
    WriteScript(DocXml(kScriptAppls, 5, true));
    Init();
    static std::string path;
    static uint32_t holdersWhenAsked;
    path = ScriptPath();
    holdersWhenAsked = 0;
    ostak::Globals().confCallback = [](int32_t) -> int32_t {
        holdersWhenAsked = OstakFileLock::ProcessHolders(path.c_str());
        return kConfAnswerMerge;
    };
    ScriptedMerge::Reset([](const MergeCall &, std::size_t) { return 1u; });
    ASSERT_EQ(LoadScript(), 0);
    EXPECT_EQ(holdersWhenAsked, 1u);
    EXPECT_NE(ReadFile(ScriptPath()).find("Saved=\"true\""), std::string::npos) << "merged and saved";
    EXPECT_EQ(OstakFileLock::ProcessHolders(ScriptPath().c_str()), 0u);
    EXPECT_EQ(scripts_.Entries(), std::set<std::string>{"script.xml"});
}

// A folder that cannot be written needs no lock: the load goes on. Any other
// reason the lock file cannot be made stops whatever would write.
TEST_F(LoadSaveLock, WhereTheLockFileCannotBeMadeOnlyAnUnwritableFolderGoesOnWithoutIt) {
    WriteInstallation(DocXml(kInstallAppls, 6));
    Init();
    struct Case {
        int error;
        bool notNeeded;
    };
    for (const Case &c : {Case{EROFS, true}, Case{EACCES, true}, Case{EPERM, true}, Case{EMFILE, false},
                          Case{ENOSPC, false}}) {
        SCOPED_TRACE(std::strerror(c.error));
        std::filesystem::remove(ScriptPath());
        Seams().lockOpenErrno = c.error;
        OstakFileInMemHandle *script = Create(1, ScriptPath());
        ostak_test::Log().clear();
        const std::string failure = "Locking \"" + ScriptPath() + "\" failed: its lock file \"" +
                                    ScriptLock() + "\" cannot be made or locked: " + std::strerror(c.error) +
                                    " (errno " + std::to_string(c.error) + ")";
        EXPECT_EQ(xfeOstakFileInMemLock(script, 0), c.notNeeded ? OSTAK_OK : OSTAK_E_WRITE);
        EXPECT_FALSE(FromHandle(script)->LockHeld());
        if (c.notNeeded) {
            EXPECT_TRUE(MessagesBeyondTrace().empty());
        } else {
            ExpectOnlyMessageAt(kMsgText, "xfeOstakFileInMemLock", kLevelError, "3-model/OstakFileInMem.cpp",
                                "kMsgText");
            EXPECT_EQ(MessagesBeyondTrace()[0].text, failure);
        }

        ostak_test::Log().clear();
        EXPECT_EQ(xfeOstakLoad(script), c.notNeeded ? OSTAK_OK : OSTAK_E_TAKEOVER_SAVE);
        EXPECT_EQ(FileExists(ScriptPath()), c.notNeeded);
        if (c.notNeeded) {
            EXPECT_TRUE(MessagesBeyondTrace().empty());
        } else {
            ExpectOnlyMessageAt(kMsgText, "OstakFileInMem::Save", kLevelError, "3-model/OstakFileInMem.cpp",
                                "kMsgText");
            EXPECT_EQ(MessagesBeyondTrace()[0].text, failure);
        }
    }
}

// A lock file left by a process that died is taken and removed by the next
// save; something else in its place is never opened and stops the save.
TEST_F(LoadSaveLock, AStaleLockFileIsTakenAndRemovedAndAnythingElseThereStopsTheSave) {
    Init();
    Seams().lockWaitMilliseconds = 0;
    WriteScript(DocXml(kScriptAppls, 0));
    const std::string path = ScriptPath();
    OstakFileInMemHandle *file = Create(0, path);
    AppendAppl(*FromHandle(file), ApplSpec{"New", {}, 0, 1, "h", 1});

    std::filesystem::create_directory(ScriptLock());
    ostak_test::Log().clear();
    EXPECT_EQ(xfeOstakSave(file, 0, nullptr, 0), OSTAK_E_WRITE);
    ExpectOnlyMessageAt(kMsgText, "OstakFileInMem::Save", kLevelError, "3-model/OstakFileInMem.cpp",
                        "kMsgText");
    EXPECT_EQ(ReadFile(path), DocXml(kScriptAppls, 0));
    EXPECT_TRUE(std::filesystem::is_directory(ScriptLock()));
    std::filesystem::remove(ScriptLock());

    scripts_.Write(".script.xml.lock", "999999\n");
    ostak_test::Log().clear();
    EXPECT_EQ(xfeOstakSave(file, 0, nullptr, 0), OSTAK_OK);
    EXPECT_TRUE(MessagesBeyondTrace().empty());
    EXPECT_NE(ReadFile(path).find("Name=\"New\""), std::string::npos);
    EXPECT_EQ(scripts_.Entries(), std::set<std::string>{"script.xml"});
}

// Adds one application per round to the file at `path`, each round a whole
// lock, load, change, save and unlock; 0, or the step that failed.
int AddInRounds(const std::string &path, int process, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        OstakFileInMemHandle *file = nullptr;
        OstakListApplHandle *list = nullptr;
        OstakElemApplHandle *appl = nullptr;
        OstakElemRuleHandle *failing = nullptr;
        uint8_t valid = 0;
        const std::string name = "P" + std::to_string(process) + "R" + std::to_string(round);
        if (xfeOstakFileInMemCreate(0, path.c_str(), static_cast<uint32_t>(path.size()), &file, &list) != 0) {
            return 1;
        }
        const int32_t steps[] = {xfeOstakFileInMemLock(file, 60000),
                                 xfeOstakLoad(file),
                                 xfeOstakElemApplAddEmpty(list, &appl),
                                 xfeOstakElemApplSetAttrChar(list, appl, OSTAK_APPL_CHAR_NAME, name.c_str()),
                                 xfeOstakFinalizeElemAppl(list, appl, &failing, &valid),
                                 xfeOstakSave(file, 0, nullptr, 0),
                                 xfeOstakFileInMemUnlock(file),
                                 xfeOstakFileInMemDestroy(&file)};
        for (std::size_t step = 0; step < sizeof steps / sizeof steps[0]; ++step) {
            if (steps[step] != 0) {
                return 2 + static_cast<int>(step);
            }
        }
    }
    return 0;
}

TEST_F(LoadSaveLock, ProcessesChangingOneFileInTurnLoseNoChange) {
    Init();
    const std::string path = scripts_.File("shared.xml");
    constexpr int kProcesses = 4;
    constexpr int kRounds = 25;
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = fork();
        if (child == 0) {
            _exit(AddInRounds(path, process, kRounds));
        }
        ASSERT_GT(child, 0);
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "failed at step " << WEXITSTATUS(status);
    }
    std::set<std::string> expected;
    for (int process = 0; process < kProcesses; ++process) {
        for (int round = 0; round < kRounds; ++round) {
            expected.insert("P" + std::to_string(process) + "R" + std::to_string(round));
        }
    }
    OstakFileInMemHandle *file = Create(0, path);
    ASSERT_EQ(xfeOstakLoad(file), 0);
    std::set<std::string> names;
    for (const OstakElemAppl *appl = FromHandle(file)->Applications().FirstAppl(); appl != nullptr;
         appl = appl->NextAppl()) {
        names.insert(appl->Name());
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(scripts_.Entries(), std::set<std::string>{"shared.xml"});
}

} // namespace
