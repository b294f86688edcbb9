#include "tests/support/Fixtures.h"

#include "2-core/OstakGlobals.h"

#include <cstring>
#include <filesystem>

namespace ostak_test {

void ModelTest::SetUp() {
    OstakTest::SetUp();
    std::strcpy(ostak::Globals().hostName.text, kHost);
    ostak::Globals().hostName.length = static_cast<uint32_t>(std::strlen(kHost));
}

void InitialisedTest::SetUp() {
    OstakTest::SetUp();
    ostak::Seams().hostNameOverride = true;
    ostak::Seams().hostName = kHost;
    ASSERT_EQ(InitFull(dir_.path(), "script.xml"), 0);
    Log().clear();
}

// ---- the merge callback ----

namespace {
ScriptedAnswer &Answer() {
    static ScriptedAnswer answer;
    return answer;
}
} // namespace

std::vector<MergeCall> &ScriptedMerge::Calls() {
    static std::vector<MergeCall> calls;
    return calls;
}

void ScriptedMerge::Reset(ScriptedAnswer answer) {
    Calls().clear();
    Answer() = std::move(answer);
}

uint32_t ScriptedMerge::Callback(int32_t event, int32_t sourceKind, int32_t targetKind, void *appl,
                                 void *rule, void *appl2, void *rule2, const char *proposed) {
    auto name = [](void *elem) -> std::string {
        return elem != nullptr
                   ? static_cast<ostak::OstakElem *>(static_cast<ostak::OstakElemRule *>(elem))->Name()
                   : "";
    };
    auto applName = [](void *elem) -> std::string {
        return elem != nullptr ? static_cast<ostak::OstakElemAppl *>(elem)->Name() : "";
    };
    MergeCall call{event,
                   sourceKind,
                   targetKind,
                   appl,
                   rule,
                   appl2,
                   rule2,
                   proposed != nullptr,
                   proposed != nullptr ? proposed : "",
                   applName(appl),
                   name(rule),
                   applName(appl2),
                   name(rule2)};
    Calls().push_back(call);
    return Answer() ? Answer()(call, Calls().size() - 1) : 0;
}

uint32_t AnswerKeepAll(const MergeCall &call, std::size_t) {
    return call.event == 6 ? 3u : call.event == 4 ? 1u : 2u;
}

void MergeExportTest::SetUp() {
    InitialisedTest::SetUp();
    ostak::Globals().mergeCallback = ScriptedMerge::Callback;
    ScriptedMerge::Reset(AnswerKeepAll);
}

void MergeExportTest::TearDown() {
    ScriptedMerge::Reset(nullptr);
    InitialisedTest::TearDown();
}

// ---- loading and saving ----

void LoadSaveTest::SetUp() {
    OstakTest::SetUp();
    ostak::Seams().hostNameOverride = true;
    ostak::Seams().hostName = kHost;
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, false), 0);
    Log().clear();
}

void LoadSaveTest::TearDown() {
    files_.clear();
    OstakTest::TearDown();
}

ostak::OstakFileInMem &LoadSaveTest::Make(int32_t kind, const std::string &path) {
    ostak::OstakFileInMem *file =
        ostak::OstakFileInMem::Create(kind, path.c_str(), static_cast<int32_t>(path.size()));
    EXPECT_NE(file, nullptr);
    files_.emplace_back(file);
    return *file;
}

ostak::OstakFileInMem &LoadSaveTest::LoadText(const std::string &content, bool dropDisabled, int32_t *rc,
                                              int32_t kind) {
    ostak::OstakFileInMem &file = Make(kind, dir_.Write("rules.xml", content));
    Log().clear();
    const int32_t result = file.Load(dropDisabled, TestContext());
    if (rc != nullptr) {
        *rc = result;
    }
    return file;
}

ostak::OstakFileInMem &LoadSaveTest::Load(const std::string &body, int32_t expectedRc, bool dropDisabled) {
    int32_t rc = -1;
    ostak::OstakFileInMem &file = LoadText(Doc(body), dropDisabled, &rc);
    EXPECT_EQ(rc, expectedRc) << body;
    EXPECT_EQ(file.LoadResult(), expectedRc);
    return file;
}

// ---- keeping a script's rule file in step ----

int32_t &ScriptedConf::Answer() {
    static int32_t answer = 0;
    return answer;
}

std::vector<int32_t> &ScriptedConf::Questions() {
    static std::vector<int32_t> questions;
    return questions;
}

int32_t ScriptedConf::Callback(int32_t question) {
    Questions().push_back(question);
    return Answer();
}

void SyncTest::SetUp() {
    OstakTest::SetUp();
    std::filesystem::create_directory(root_.File("dat"));
    for (const char *name : {"OstakDtd.xml", "Ostak_res"}) {
        std::filesystem::copy_file(SourceRoot() + "/dat/" + name, root_.File("dat/") + name);
    }
    ScriptedConf::Answer() = 0;
    ScriptedConf::Questions().clear();
    ScriptedMerge::Reset(AnswerKeepAll);
    ostak::Seams().hostNameOverride = true;
    ostak::Seams().hostName = kHost;
}

void SyncTest::TearDown() {
    if (script_ != nullptr) {
        EXPECT_EQ(xfeOstakFileInMemDestroy(&script_), 0);
    }
    ScriptedMerge::Reset(nullptr);
    OstakTest::TearDown();
}

void SyncTest::Init() {
    const std::string root = root_.path();
    const std::string dir = scripts_.path();
    const char name[] = "script.xml";
    ASSERT_EQ(xfeOstakGlobalInit(0, RecordLog, ScriptedMerge::Callback, ScriptedConf::Callback, root.c_str(),
                                 static_cast<uint32_t>(root.size()), dir.c_str(),
                                 static_cast<uint32_t>(dir.size()), name,
                                 static_cast<uint32_t>(sizeof name - 1), 0),
              0);
    Log().clear();
}

int32_t SyncTest::LoadScript() {
    if (script_ != nullptr) {
        xfeOstakFileInMemDestroy(&script_);
    }
    const std::string path = ScriptPath();
    OstakListApplHandle *list = nullptr;
    EXPECT_EQ(xfeOstakFileInMemCreate(1, path.c_str(), static_cast<uint32_t>(path.size()), &script_, &list),
              0);
    Log().clear();
    return xfeOstakLoad(script_);
}

OstakFileInMemHandle *ExportedFiles::Create(uint32_t kind, const std::string &path) {
    OstakFileInMemHandle *file = nullptr;
    OstakListApplHandle *list = nullptr;
    EXPECT_EQ(xfeOstakFileInMemCreate(kind, path.c_str(), static_cast<uint32_t>(path.size()), &file, &list), 0);
    handles_.push_back(file);
    return file;
}

void ExportedFiles::DestroyAll() {
    for (OstakFileInMemHandle *&handle : handles_) {
        xfeOstakFileInMemDestroy(&handle);
    }
}

} // namespace ostak_test
