// The exports of three-way decisions and of the installation-file version:
// answers through the C interface, and every refusal with its one message
// and the answer place preset to a conflict.
#include "3-model/OstakFileInMem.h"
#include "7-interface/OstakHandles.h"
#include "tests/support/Fixtures.h"

#include <functional>

using namespace ostak;
using namespace ostak_test;

namespace {

class ThreeWayExports : public InitialisedTest {
  protected:
    void SetUp() override {
        InitialisedTest::SetUp();
        base_ = Make(0, {{"App", {R("gone"), R("r", "old")}}});
        source_ = Make(3, {{"App", {R("r", "new")}}, {"New", {}}});
        target_ = Make(0, {{"App", {R("gone"), R("r", "old")}}});
        Log().clear();
    }
    void TearDown() override {
        files_.DestroyAll();
        InitialisedTest::TearDown();
    }
    OstakFileInMemHandle *Make(uint32_t kind, const std::vector<ApplSpec> &appls) {
        OstakFileInMemHandle *file = files_.Create(kind, dir_.File("f" + std::to_string(count_++) + ".xml"));
        Fill(*FromHandle(file), FileSpec{"7.6", 4, false, appls});
        return file;
    }
    OstakElemApplHandle *ApplOf(OstakFileInMemHandle *file, const char *name) {
        return ToHandle(Appl(*FromHandle(file), name));
    }
    OstakElemRuleHandle *RuleOf(OstakFileInMemHandle *file, const char *appl, const char *rule) {
        return ToHandle(Rule(Appl(*FromHandle(file), appl), rule));
    }

    ExportedFiles files_;
    int count_ = 0;
    OstakFileInMemHandle *base_ = nullptr;
    OstakFileInMemHandle *source_ = nullptr;
    OstakFileInMemHandle *target_ = nullptr;
};

TEST_F(ThreeWayExports, AnswersFromTheBase) {
    uint32_t answer = 99;
    EXPECT_EQ(xfeOstakThreeWayAnswerMerge(base_, OstakMergeRuleConflict, ApplOf(source_, "App"),
                                          RuleOf(source_, "App", "r"), ApplOf(target_, "App"),
                                          RuleOf(target_, "App", "r"), &answer),
              0);
    EXPECT_EQ(answer, static_cast<uint32_t>(OstakMergeTakeSource)) << "only the source changed r";
    EXPECT_EQ(xfeOstakThreeWayAnswerMerge(base_, OstakMergeRuleOnlyInTarget, ApplOf(target_, "App"),
                                          RuleOf(target_, "App", "gone"), nullptr, nullptr, &answer),
              0);
    EXPECT_EQ(answer, static_cast<uint32_t>(OstakMergeTakeSource)) << "the source deleted gone";
    EXPECT_EQ(xfeOstakThreeWayAnswerAppl(base_, ApplOf(source_, "New"), nullptr, &answer), 0);
    EXPECT_EQ(answer, static_cast<uint32_t>(OstakMergeTakeSource)) << "New was added in the source";
    EXPECT_EQ(xfeOstakThreeWayAnswerEnabled(base_, ApplOf(source_, "App"), ApplOf(target_, "App"), &answer),
              0);
    EXPECT_EQ(answer, static_cast<uint32_t>(OstakMergeTakeTarget)) << "the flags are the same";
    int32_t version = 0;
    EXPECT_EQ(xfeOstakFileInMemGetAttrLong(base_, OSTAK_FILE_LONG_INSTALLATION_VERSION, &version), 0);
    EXPECT_EQ(version, 4);
    EXPECT_TRUE(Log().empty());
}

TEST_F(ThreeWayExports, RefusalsGive3OnceAndPresetAConflict) {
    OstakElemApplHandle *s = ApplOf(source_, "App");
    OstakElemApplHandle *t = ApplOf(target_, "App");
    OstakElemRuleHandle *sr = RuleOf(source_, "App", "r");
    OstakElemRuleHandle *tr = RuleOf(target_, "App", "r");
    uint32_t answer = 99;
    int32_t version = 99;
    const struct {
        const char *what;
        std::function<int32_t()> call;
    } cases[] = {
        {"merge: null base",
         [&] { return xfeOstakThreeWayAnswerMerge(nullptr, 4, s, sr, nullptr, nullptr, &answer); }},
        {"merge: null rule",
         [&] { return xfeOstakThreeWayAnswerMerge(base_, 4, s, nullptr, nullptr, nullptr, &answer); }},
        {"merge: event 7", [&] { return xfeOstakThreeWayAnswerMerge(base_, 7, s, sr, t, tr, &answer); }},
        {"merge: conflict without target rule",
         [&] { return xfeOstakThreeWayAnswerMerge(base_, 6, s, sr, t, nullptr, &answer); }},
        {"appl: both sides", [&] { return xfeOstakThreeWayAnswerAppl(base_, s, t, &answer); }},
        {"appl: neither side", [&] { return xfeOstakThreeWayAnswerAppl(base_, nullptr, nullptr, &answer); }},
        {"enabled: null target", [&] { return xfeOstakThreeWayAnswerEnabled(base_, s, nullptr, &answer); }},
        {"version: identifier 1", [&] { return xfeOstakFileInMemGetAttrLong(base_, 1, &version); }},
    };
    for (const auto &c : cases) {
        answer = 99;
        version = 99;
        Log().clear();
        EXPECT_EQ(c.call(), OSTAK_E_INVALID_ARGUMENT) << c.what;
        ExpectIssuedOnce(kMsgInvalidArgument);
        const bool versionCase = std::string(c.what).rfind("version", 0) == 0;
        EXPECT_EQ(versionCase ? static_cast<uint32_t>(version) : answer, 0u) << c.what;
    }
}

class ThreeWayExportsNotInitialised : public CatalogueTest {};

TEST_F(ThreeWayExportsNotInitialised, RefuseWith38) {
    uint32_t answer = 99;
    int32_t version = 99;
    const std::function<int32_t()> calls[] = {
        [&] { return xfeOstakThreeWayAnswerMerge(nullptr, 4, nullptr, nullptr, nullptr, nullptr, &answer); },
        [&] { return xfeOstakThreeWayAnswerAppl(nullptr, nullptr, nullptr, &answer); },
        [&] { return xfeOstakThreeWayAnswerEnabled(nullptr, nullptr, nullptr, &answer); },
        [&] { return xfeOstakFileInMemGetAttrLong(nullptr, 0, &version); },
    };
    for (const auto &call : calls) {
        answer = 99;
        version = 99;
        Log().clear();
        EXPECT_EQ(call(), OSTAK_E_NOT_INITIALISED);
        ExpectIssuedOnce(kMsgNotInitialised);
        EXPECT_TRUE((answer == 0 && version == 99) || (answer == 99 && version == 0))
            << "only its own place is preset";
    }
}

} // namespace
