// The exports that create, inspect and destroy a rule-file object.
#include "3-model/OstakFileInMem.h"
#include "7-interface/OstakHandles.h"
#include "tests/support/Fixtures.h"

#include <functional>

using namespace ostak;
using namespace ostak_test;

namespace {

class FileInMem : public InitialisedTest {
  protected:
    int32_t Create(uint32_t kind, const char *path, uint32_t length) {
        file_ = reinterpret_cast<OstakFileInMemHandle *>(this);
        list_ = reinterpret_cast<OstakListApplHandle *>(this);
        Log().clear();
        return xfeOstakFileInMemCreate(kind, path, length, &file_, &list_);
    }
    void TearDown() override {
        if (file_ != reinterpret_cast<OstakFileInMemHandle *>(this)) {
            EXPECT_EQ(xfeOstakFileInMemDestroy(&file_), 0);
        }
        InitialisedTest::TearDown();
    }
    OstakFileInMemHandle *file_ = nullptr;
    OstakListApplHandle *list_ = nullptr;
};

TEST_F(FileInMem, CreateHandsOutTheObjectAndItsList) {
    const std::string path = dir_.File("rules.xml");
    ASSERT_EQ(Create(2, path.c_str(), static_cast<uint32_t>(path.size())), 0);
    EXPECT_TRUE(Log().empty());
    OstakFileInMem *file = FromHandle(file_);
    EXPECT_EQ(FromHandle(list_), &file->Applications());
    EXPECT_EQ(file->Kind(), 2);
    EXPECT_EQ(path, file->GetFileFullPath());

    uint8_t saved = 9;
    ASSERT_EQ(xfeOstakFileInMemGetAttrBool(file_, OSTAK_FILE_BOOL_SAVED, &saved), 0);
    EXPECT_EQ(saved, 0);
    file->SetSaved(true);
    ASSERT_EQ(xfeOstakFileInMemGetAttrBool(file_, OSTAK_FILE_BOOL_SAVED, &saved), 0);
    EXPECT_EQ(saved, 1);
}

TEST_F(FileInMem, CreateRefusals) {
    const struct {
        const char *what;
        uint32_t kind;
        const char *path;
        uint32_t length;
        bool nullFilePlace;
        bool nullListPlace;
    } cases[] = {
        {"kind 4", 4, "p", 1, false, false},
        {"kind 0xffffffff", 0xffffffffu, "p", 1, false, false},
        {"null path", 0, nullptr, 1, false, false},
        {"length 0", 0, "p", 0, false, false},
        {"length beyond 32-bit signed", 0, "p", 0x80000000u, false, false},
        {"null object place", 0, "p", 1, true, false},
        {"null list place", 0, "p", 1, false, true},
    };
    for (const auto &c : cases) {
        OstakFileInMemHandle *file = reinterpret_cast<OstakFileInMemHandle *>(this);
        OstakListApplHandle *list = reinterpret_cast<OstakListApplHandle *>(this);
        Log().clear();
        EXPECT_EQ(xfeOstakFileInMemCreate(c.kind, c.path, c.length, c.nullFilePlace ? nullptr : &file,
                                          c.nullListPlace ? nullptr : &list),
                  OSTAK_E_INVALID_ARGUMENT)
            << c.what;
        ExpectIssuedOnce(kMsgInvalidArgument);
        EXPECT_EQ(file, c.nullFilePlace ? reinterpret_cast<OstakFileInMemHandle *>(this) : nullptr) << c.what;
        EXPECT_EQ(list, c.nullListPlace ? reinterpret_cast<OstakListApplHandle *>(this) : nullptr) << c.what;
    }
}

TEST_F(FileInMem, CreateWithoutMemoryGives7) {
    const std::string path = dir_.File("rules.xml");
    for (uint64_t n = 1; n <= 2; ++n) { // the object, then its path
        const int64_t live = LiveAllocations();
        Seams().failAllocationAt = n;
        EXPECT_EQ(Create(0, path.c_str(), static_cast<uint32_t>(path.size())), OSTAK_E_NO_MEMORY);
        ExpectIssuedOnce(kMsgNoMemory);
        EXPECT_EQ(file_, nullptr);
        EXPECT_EQ(list_, nullptr);
        EXPECT_EQ(LiveAllocations(), live);
    }
}

TEST_F(FileInMem, GetSavedFlagRefusals) {
    ASSERT_EQ(Create(1, "p", 1), 0);
    uint8_t saved = 9;
    const struct {
        const char *what;
        std::function<int32_t()> call;
    } cases[] = {
        {"identifier 1", [&] { return xfeOstakFileInMemGetAttrBool(file_, 1, &saved); }},
        {"identifier -1", [&] { return xfeOstakFileInMemGetAttrBool(file_, -1, &saved); }},
        {"null object", [&] { return xfeOstakFileInMemGetAttrBool(nullptr, 0, &saved); }},
        {"null place", [&] { return xfeOstakFileInMemGetAttrBool(file_, 0, nullptr); }},
    };
    FromHandle(file_)->SetSaved(true);
    for (const auto &c : cases) {
        saved = 9;
        Log().clear();
        EXPECT_EQ(c.call(), OSTAK_E_INVALID_ARGUMENT) << c.what;
        ExpectIssuedOnce(kMsgInvalidArgument);
        EXPECT_EQ(saved, std::string(c.what) == "null place" ? 9 : 0) << c.what;
    }
}

TEST_F(FileInMem, DestroyingDestroysEverythingInside) {
    ASSERT_EQ(Create(0, "p", 1), 0);
    for (const char *name : {"B", "A"}) {
        OstakElemApplHandle *appl = nullptr;
        ASSERT_EQ(xfeOstakElemApplAddEmpty(list_, &appl), 0);
        ASSERT_EQ(xfeOstakElemApplSetAttrChar(list_, appl, OSTAK_APPL_CHAR_NAME, name), 0);
        for (int i = 0; i < 3; ++i) {
            OstakElemRuleHandle *rule = nullptr;
            ASSERT_EQ(xfeOstakElemRuleAddEmpty(appl, &rule), 0);
            ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_TEXT, "some text"), 0);
        }
    }
    ASSERT_EQ(FromHandle(file_)->SetVersionText("7.6", 3), 0);
    Log().clear();
    EXPECT_EQ(xfeOstakFileInMemDestroy(&file_), 0);
    EXPECT_EQ(file_, nullptr);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(xfeOstakFileInMemDestroy(&file_), 0) << "a place holding null";
    // The fixture's leak check sees that the applications and rules went too.
}

TEST_F(FileInMem, ReadOnlyModeAllowsKindZeroOnly) {
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    ASSERT_EQ(InitReadOnly(dir_.path(), "script.xml"), 0);
    for (uint32_t kind : {1u, 2u, 3u}) {
        EXPECT_EQ(Create(kind, "p", 1), OSTAK_E_INVALID_ARGUMENT) << kind;
        ExpectIssuedOnce(kMsgInvalidArgument);
        EXPECT_EQ(file_, nullptr);
        EXPECT_EQ(list_, nullptr);
    }
    ASSERT_EQ(Create(0, "p", 1), 0);
    OstakElemApplHandle *appl = nullptr;
    ASSERT_EQ(xfeOstakElemApplAddEmpty(list_, &appl), 0);
    EXPECT_EQ(Describe(*FromHandle(appl)), "'' off ''@0 {}") << "no stamp in read-only mode";
}

TEST_F(FileInMem, DestroyWorksAfterTermination) {
    ASSERT_EQ(Create(1, "p", 1), 0);
    OstakElemApplHandle *appl = nullptr;
    ASSERT_EQ(xfeOstakElemApplAddEmpty(list_, &appl), 0);
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    EXPECT_EQ(xfeOstakFileInMemDestroy(&file_), 0);
    EXPECT_EQ(file_, nullptr);
}

class FileInMemNotInitialised : public CatalogueTest {};

TEST_F(FileInMemNotInitialised, CreateAndGetRefuseWith38) {
    OstakFileInMemHandle *file = reinterpret_cast<OstakFileInMemHandle *>(this);
    OstakListApplHandle *list = reinterpret_cast<OstakListApplHandle *>(this);
    Globals().issuedOnce = true;
    Log().clear();
    EXPECT_EQ(xfeOstakFileInMemCreate(0, "p", 1, &file, &list), OSTAK_E_NOT_INITIALISED);
    ExpectIssuedOnce(kMsgNotInitialised);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(list, nullptr);

    uint8_t saved = 9;
    Log().clear();
    EXPECT_EQ(xfeOstakFileInMemGetAttrBool(nullptr, 5, &saved), OSTAK_E_NOT_INITIALISED);
    ExpectIssuedOnce(kMsgNotInitialised);
    EXPECT_EQ(saved, 0);
}

// The exports on rule-file objects that have no place to preset: each clears
// the flag on entry and refuses before it looks at its (null) arguments.
TEST_F(FileInMemNotInitialised, LoadSaveLockAndMergeRefuseWith38AndOneMessage) {
    const struct {
        const char *name;
        std::function<int32_t()> call;
    } cases[] = {
        {"Load", [] { return xfeOstakLoad(nullptr); }},
        {"Save", [] { return xfeOstakSave(nullptr, 0, nullptr, 0); }},
        {"Lock", [] { return xfeOstakFileInMemLock(nullptr, 0); }},
        {"Unlock", [] { return xfeOstakFileInMemUnlock(nullptr); }},
        {"MarkDifferencesInSource", [] { return xfeOstakMarkDifferencesInSource(nullptr, nullptr); }},
        {"HandleDifferencesInTargetBySourceMark",
         [] { return xfeOstakHandleDifferencesInTargetBySourceMark(nullptr, nullptr, 1); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Globals().issuedOnce = true;
        Log().clear();
        EXPECT_EQ(c.call(), OSTAK_E_NOT_INITIALISED);
        ExpectIssuedOnce(kMsgNotInitialised);
    }
}

TEST_F(FileInMemNotInitialised, DestroyDoesNotAskForInitialisation) {
    OstakFileInMemHandle *file = nullptr;
    Log().clear();
    EXPECT_EQ(xfeOstakFileInMemDestroy(&file), 0);
    EXPECT_TRUE(Log().empty());
    Globals().issuedOnce = true;
    EXPECT_EQ(xfeOstakFileInMemDestroy(nullptr), OSTAK_E_INVALID_ARGUMENT);
    ExpectIssuedOnce(kMsgInvalidArgument);
}

} // namespace
