// Three-way decisions from a base: the decision table for a rule (every event
// of the merge callback), for an application that one side holds and for an
// application's Enabled flag, and a whole merge answered from a base.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakApplyDifferences.h"
#include "6-merge/OstakThreeWay.h"

#include <optional>

using namespace ostak;
using namespace ostak_test;

namespace {

constexpr uint32_t S = OstakMergeTakeSource;
constexpr uint32_t T = OstakMergeTakeTarget;
constexpr uint32_t C = kThreeWayConflict;

// A rule that differs from R(name, text) only in one value other than the text.
RuleSpec OtherType(const std::string &name) {
    RuleSpec rule = R(name, "old");
    rule.type = 1;
    return rule;
}

class MergeThreeWay : public ModelTest {};

TEST_F(MergeThreeWay, RuleDecisionTable) {
    using Side = std::optional<RuleSpec>;
    const struct {
        const char *what;
        Side base, source, target;
        uint32_t answer;
    } rows[] = {
        {"only in source, not in base: added there", std::nullopt, R("r", "new"), std::nullopt, S},
        {"only in source, equal to base: deleted in target", R("r", "old"), R("r", "old"), std::nullopt, T},
        {"only in source, changed there: deleted in target", R("r", "old"), R("r", "new"), std::nullopt, C},
        {"only in source, differing from base in Type alone", OtherType("r"), R("r", "old"), std::nullopt, C},
        {"only in target, not in base: added there", std::nullopt, std::nullopt, R("r", "new"), T},
        {"only in target, equal to base: deleted in source", R("r", "old"), std::nullopt, R("r", "old"), S},
        {"only in target, changed there: deleted in source", R("r", "old"), std::nullopt, R("r", "new"), C},
        {"both, target as base: changed in source", R("r", "old"), R("r", "new"), R("r", "old"), S},
        {"both, source as base: changed in target", R("r", "old"), R("r", "old"), R("r", "new"), T},
        {"both, each changed differently", R("r", "old"), R("r", "one"), R("r", "two"), C},
        {"both, added on both sides differently", std::nullopt, R("r", "one"), R("r", "two"), C},
        {"both, target differing from base in Type alone", OtherType("r"), R("r", "new"), R("r", "old"), C},
    };
    for (const auto &row : rows) {
        auto appl = [](const std::optional<RuleSpec> &rule) {
            return ApplSpec{"App", rule ? std::vector<RuleSpec>{*rule} : std::vector<RuleSpec>{R("other")}};
        };
        const FilePtr base = MakeFile(0, {appl(row.base)});
        const FilePtr source = MakeFile(3, {appl(row.source)});
        const FilePtr target = MakeFile(0, {appl(row.target)});
        const OstakElemAppl *s = Appl(*source, "App");
        const OstakElemAppl *t = Appl(*target, "App");
        const OstakThreeWay threeWay(base->Applications());
        uint32_t answer = 99;
        if (row.source && row.target) {
            answer = threeWay.AnswerEvent(OstakMergeRuleConflict, *s, *Rule(s, "r"), Rule(t, "r"));
        } else if (row.source) {
            answer = threeWay.AnswerEvent(OstakMergeRuleOnlyInSource, *s, *Rule(s, "r"), nullptr);
        } else {
            answer = threeWay.AnswerEvent(OstakMergeRuleOnlyInTarget, *t, *Rule(t, "r"), nullptr);
        }
        EXPECT_EQ(answer, row.answer) << row.what;
    }
}

TEST_F(MergeThreeWay, ApplicationAndEnabledDecisionTable) {
    const ApplSpec plain{"App", {R("r", "old")}};
    ApplSpec changed = plain;
    changed.rules = {R("r", "new")};
    ApplSpec off = plain;
    off.enabled = 0;
    using Side = std::optional<ApplSpec>;
    const struct {
        const char *what;
        Side base, source, target;
        uint32_t answer;
    } rows[] = {
        {"only in source, not in base", std::nullopt, plain, std::nullopt, S},
        {"only in source, equal to base (stamps aside)", plain, plain, std::nullopt, T},
        {"only in source, its rules changed", plain, changed, std::nullopt, C},
        {"only in source, disabled there", plain, off, std::nullopt, C},
        {"only in target, not in base", std::nullopt, std::nullopt, plain, T},
        {"only in target, equal to base", plain, std::nullopt, plain, S},
        {"only in target, its rules changed", plain, std::nullopt, changed, C},
        {"flag: disabled in source", plain, off, plain, S},
        {"flag: disabled in target", plain, plain, off, T},
        {"flag: the same on both sides", plain, off, off, T},
        {"flag: differing, no base", std::nullopt, plain, off, C},
    };
    for (const auto &row : rows) {
        auto file = [](int32_t kind, const Side &side, const char *host) {
            if (!side) {
                return MakeFile(kind, {});
            }
            ApplSpec stamped = *side;
            stamped.host = host;
            return MakeFile(kind, {stamped});
        };
        const FilePtr base = file(0, row.base, "basehost");
        const FilePtr source = file(3, row.source, "sourcehost");
        const FilePtr target = file(0, row.target, "targethost");
        const OstakThreeWay threeWay(base->Applications());
        const OstakElemAppl *s = source->Applications().FindAppl("App");
        const OstakElemAppl *t = target->Applications().FindAppl("App");
        const uint32_t answer =
            s != nullptr && t != nullptr ? threeWay.AnswerEnabled(*s, *t) : threeWay.AnswerApplication(s, t);
        EXPECT_EQ(answer, row.answer) << row.what;
    }
}

// The callback of the whole merge below: answers from the base, keeps both
// rules of a conflict, and counts what reached it.
const OstakThreeWay *gThreeWay = nullptr;
int gConflicts = 0;

uint32_t AnswerFromBase(int32_t event, int32_t, int32_t, void *appl, void *rule, void *, void *rule2,
                        const char *) {
    const uint32_t answer =
        gThreeWay->AnswerEvent(event, *static_cast<OstakElemAppl *>(appl),
                               *static_cast<OstakElemRule *>(rule), static_cast<OstakElemRule *>(rule2));
    if (answer != kThreeWayConflict) {
        return answer;
    }
    ++gConflicts;
    if (event == OstakMergeRuleConflict) {
        return OstakMergeTakeBoth;
    }
    return event == OstakMergeRuleOnlyInSource ? S : T;
}

TEST_F(MergeThreeWay, AWholeMergeAnsweredFromTheBaseAsksOnlyAboutTheConflict) {
    // Plain into script (kinds 0 and 1): every one-sided rule is asked about
    // (the stamps differ, so that the rules are merged, not replaced).
    const FilePtr base = MakeFile(0, {{"App",
                                       {R("Kept"), R("Mine", "old"), R("Theirs", "old"), R("Both", "old"),
                                        R("DroppedBySource"), R("DroppedByTarget")}}});
    const FilePtr source = MakeFile(0, {{"App",
                                         {R("Kept"), R("Mine", "old"), R("Theirs", "new"), R("Both", "one"),
                                          R("DroppedByTarget"), R("Added")},
                                         0,
                                         1,
                                         "sourcehost"}});
    const FilePtr target = MakeFile(
        1,
        {{"App", {R("Kept"), R("Mine", "new"), R("Theirs", "old"), R("Both", "two"), R("DroppedBySource")}}});
    Appl(*source, "App")->SetDiffMark(OstakDiffApply);
    const OstakThreeWay threeWay(base->Applications());
    gThreeWay = &threeWay;
    gConflicts = 0;
    OstakContext context = TestContext();
    context.mergeCallback = AnswerFromBase;
    ASSERT_EQ(ApplyDifferences(*source, *target, false, context), 0);
    EXPECT_EQ(gConflicts, 1);
    EXPECT_EQ(Describe(*Appl(*target, "App")->Rules()),
              "Added='text'; Both='two'; Both_1='one'; Kept='text'; Mine='new'; Theirs='new'");
    gThreeWay = nullptr;
}

} // namespace
