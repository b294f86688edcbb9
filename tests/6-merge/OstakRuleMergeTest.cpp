// The rule merge of one application: the walk in step, the events and their
// arguments, every answer to every event, the directions that keep target
// rules without asking, the sorted places of copies kept under a proposed
// name, and the failures.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakMergeTypes.h"
#include "6-merge/OstakRuleMerge.h"

using namespace ostak;
using namespace ostak_test;

namespace {

using ApplPtr = std::unique_ptr<OstakElemAppl>;

class MergeRuleMerge : public ModelTest {
  protected:
    void SetUp() override {
        ModelTest::SetUp();
        ScriptedMerge::Reset(AnswerKeepAll);
    }
    void TearDown() override {
        ScriptedMerge::Reset(nullptr);
        merged_.Clear();
        source_.reset();
        target_.reset();
        ModelTest::TearDown();
    }

    // Merges the rules of `source` and `target` in `direction` (kinds 0 and 1).
    int32_t Merge(const ApplSpec &source, const ApplSpec &target, int32_t direction = kDirectionPlainToScript,
                  ostak_merge_callback callback = ScriptedMerge::Callback) {
        source_.reset(MakeAppl(source));
        target_.reset(MakeAppl(target));
        sourceBefore_ = Snap(*source_);
        targetBefore_ = Snap(*target_);
        const MergeContext context{0, 1, direction, callback, false};
        const int32_t rc = OstakRuleMerge(context, source_.get(), target_.get()).Run(merged_);
        EXPECT_EQ(Snap(*source_), sourceBefore_) << "the merge changes neither application";
        EXPECT_EQ(Snap(*target_), targetBefore_) << "the merge changes neither application";
        Names(merged_);
        return rc;
    }

    NameList MergedNames() const { return Names(merged_); }

    ApplPtr source_;
    ApplPtr target_;
    ApplSnap sourceBefore_;
    ApplSnap targetBefore_;
    OstakListRule merged_;
};

TEST_F(MergeRuleMerge, WalkInStepWithEveryArgument) {
    const ApplSpec source{"App", {{"a"}, {"c"}, R("d", "src"), {"f"}}};
    const ApplSpec target{"App", {{"b"}, {"c"}, R("d", "tgt"), {"e"}}};
    ScriptedMerge::Reset(AnswerKeepAll);
    // Every handle is compared with the object it must be, so the records are made here.
    ASSERT_EQ(Merge(source, target), 0);
    const std::vector<MergeCall> &calls = ScriptedMerge::Calls();
    ASSERT_EQ(calls.size(), 5u) << "a, b, d, e, f are asked for; the equal c is not";
    struct Expected {
        int32_t event;
        OstakElemAppl *appl;
        const char *rule;
        OstakElemAppl *appl2;
        const char *rule2;
        const char *proposed;
    };
    OstakElemAppl *s = source_.get();
    OstakElemAppl *t = target_.get();
    const Expected expected[] = {
        {4, s, "a", nullptr, nullptr, nullptr},
        {5, t, "b", nullptr, nullptr, nullptr},
        {6, s, "d", t, "d", "d_1"},
        {5, t, "e", nullptr, nullptr, nullptr},
        {4, s, "f", nullptr, nullptr, nullptr},
    };
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const MergeCall &call = calls[i];
        const Expected &want = expected[i];
        EXPECT_EQ(call.event, want.event) << "call " << i;
        EXPECT_EQ(call.sourceKind, 0);
        EXPECT_EQ(call.targetKind, 1);
        EXPECT_EQ(call.appl, static_cast<void *>(want.appl)) << "call " << i;
        OstakElemAppl *ruleOwner = want.event == 5 ? t : s;
        EXPECT_EQ(call.rule, static_cast<void *>(ruleOwner->Rules()->FindRule(want.rule))) << "call " << i;
        EXPECT_EQ(call.appl2, static_cast<void *>(want.appl2)) << "call " << i;
        EXPECT_EQ(call.rule2,
                  want.rule2 != nullptr ? static_cast<void *>(t->Rules()->FindRule(want.rule2)) : nullptr)
            << "call " << i;
        EXPECT_EQ(call.hasProposed, want.proposed != nullptr) << "call " << i;
        if (want.proposed != nullptr) {
            EXPECT_EQ(call.proposed, want.proposed);
        }
    }
    EXPECT_EQ(Describe(merged_), "a='text'; b='text'; c='text'; d='tgt'; d_1='src'; e='text'; f='text'");
}

TEST_F(MergeRuleMerge, EveryAnswerToEveryEvent) {
    const ApplSpec only4{"App", {{"r"}}};
    const ApplSpec none{"App", {}};
    const ApplSpec src6{"App", {R("r", "src")}};
    const ApplSpec tgt6{"App", {R("r", "tgt")}};
    struct Case {
        int32_t event;
        uint32_t answer;
        int32_t rc;
        const char *merged; // the merged list (empty after a failure)
    };
    const Case cases[] = {
        {4, 0, OSTAK_E_CANCELLED, ""},
        {4, 1, 0, "r='text'"},
        {4, 2, 0, ""},
        {4, 3, OSTAK_E_BAD_ANSWER, ""},
        {4, 7, OSTAK_E_BAD_ANSWER, ""},
        {4, 0xFFFFFFFFu, OSTAK_E_BAD_ANSWER, ""},
        {5, 0, OSTAK_E_CANCELLED, ""},
        {5, 1, 0, ""},
        {5, 2, 0, "r='text'"},
        {5, 3, OSTAK_E_BAD_ANSWER, ""},
        {5, 7, OSTAK_E_BAD_ANSWER, ""},
        {6, 0, OSTAK_E_CANCELLED, ""},
        {6, 1, 0, "r='src'"},
        {6, 2, 0, "r='tgt'"},
        {6, 3, 0, "r='tgt'; r_1='src'"},
        {6, 4, OSTAK_E_BAD_ANSWER, ""},
        {6, 7, OSTAK_E_BAD_ANSWER, ""},
    };
    for (const Case &c : cases) {
        ScriptedMerge::Reset([&](const MergeCall &, std::size_t) { return c.answer; });
        const ApplSpec &source = c.event == 4 ? only4 : c.event == 5 ? none : src6;
        const ApplSpec &target = c.event == 4 ? none : c.event == 5 ? only4 : tgt6;
        const int32_t rc = Merge(source, target);
        EXPECT_EQ(rc, c.rc) << "event " << c.event << " answer " << c.answer;
        ASSERT_EQ(ScriptedMerge::Calls().size(), 1u);
        EXPECT_EQ(ScriptedMerge::Calls()[0].event, c.event);
        EXPECT_EQ(Describe(merged_), c.merged) << "event " << c.event << " answer " << c.answer;
    }
}

TEST_F(MergeRuleMerge, ClonesAreNewRecordsWithAllValues) {
    RuleSpec full{"r", "", "pre", "suf", 0, 5, 2, 0, 3};
    ScriptedMerge::Reset(AnswerKeepAll);
    ASSERT_EQ(Merge({"App", {full}}, {"App", {}}), 0);
    EXPECT_EQ(Describe(merged_), Describe(*Rule(source_.get(), "r")));
    EXPECT_NE(merged_.FirstRule(), Rule(source_.get(), "r"));
}

TEST_F(MergeRuleMerge, TargetOnlyRulesStayWithoutAskingInDirectionsTwoAndThree) {
    for (int32_t direction : {kDirectionSourceToPlain, kDirectionIntoScript}) {
        ScriptedMerge::Reset([](const MergeCall &, std::size_t) { return 1u; });
        ASSERT_EQ(Merge({"App", {{"s"}}}, {"App", {{"a"}, {"t"}}}, direction), 0);
        ASSERT_EQ(ScriptedMerge::Calls().size(), 1u) << "direction " << direction;
        EXPECT_EQ(ScriptedMerge::Calls()[0].event, OstakMergeRuleOnlyInSource);
        EXPECT_EQ(MergedNames(), (std::vector<std::string>{"a", "s", "t"}));
    }
    for (int32_t direction : {kDirectionPlainToScript, kDirectionScriptToPlain}) {
        ScriptedMerge::Reset([](const MergeCall &, std::size_t) { return 1u; });
        ASSERT_EQ(Merge({"App", {{"s"}}}, {"App", {{"a"}, {"t"}}}, direction), 0);
        EXPECT_EQ(ScriptedMerge::Calls().size(), 3u) << "direction " << direction;
        EXPECT_EQ(MergedNames(), (std::vector<std::string>{"s"}));
    }
}

TEST_F(MergeRuleMerge, CopyUnderAProposedNameTakesItsSortedPlace) {
    // Rule_10 sorts before Rule_9: the copy goes first, the target's version after it.
    ScriptedMerge::Reset(AnswerKeepAll);
    ASSERT_EQ(Merge({"App", {R("Rule_9", "src")}}, {"App", {R("Rule_9", "tgt")}}), 0);
    ASSERT_EQ(ScriptedMerge::Calls().size(), 1u);
    EXPECT_EQ(ScriptedMerge::Calls()[0].proposed, "Rule_10");
    EXPECT_EQ(Describe(merged_), "Rule_10='src'; Rule_9='tgt'") << "the links, the list's last too, agree";
}

TEST_F(MergeRuleMerge, LaterRulesTakeTheirPlaceBeforeACopyThatSortsAfterThem) {
    // Ab_1 sorts after AbC (capitals before the underscore): AbC, reached
    // later, goes in before it; so do the target-only AbD and the conflict AbE.
    ScriptedMerge::Reset(AnswerKeepAll);
    const ApplSpec source{"App", {R("Ab", "src"), {"AbC"}, R("AbE", "src")}};
    const ApplSpec target{"App", {R("Ab", "tgt"), {"AbD"}, R("AbE", "tgt")}};
    ASSERT_EQ(Merge(source, target), 0);
    EXPECT_EQ(Describe(merged_), "Ab='tgt'; AbC='text'; AbD='text'; AbE='tgt'; AbE_1='src'; Ab_1='src'")
        << "the links, the list's last too, agree";
}

TEST_F(MergeRuleMerge, ProposalAvoidsNamesOfBothSidesAndOfTheMergedList) {
    // Rule_01 counts on from 1 as Rule_1 does: the copy Rule_2 kept for the
    // first conflict is taken in the merged list when the second one is asked for.
    ScriptedMerge::Reset(AnswerKeepAll);
    const ApplSpec source{"App", {R("Rule_01", "s"), R("Rule_1", "s")}};
    const ApplSpec target{"App", {R("Rule_01", "t"), R("Rule_1", "t")}};
    ASSERT_EQ(Merge(source, target), 0);
    std::vector<std::string> proposals;
    for (const MergeCall &call : ScriptedMerge::Calls()) {
        proposals.push_back(call.proposed);
    }
    EXPECT_EQ(proposals, (std::vector<std::string>{"Rule_2", "Rule_3"}));
    EXPECT_EQ(MergedNames(), (std::vector<std::string>{"Rule_01", "Rule_1", "Rule_2", "Rule_3"}));

    // Names of either side are avoided: x_1 is the source's, y_1 the target's.
    ScriptedMerge::Reset(AnswerKeepAll);
    const ApplSpec source2{"App", {R("x", "s"), {"x_1"}, R("y", "s")}};
    const ApplSpec target2{"App", {R("x", "t"), R("y", "t"), {"y_1"}}};
    ASSERT_EQ(Merge(source2, target2), 0);
    proposals.clear();
    for (const MergeCall &call : ScriptedMerge::Calls()) {
        if (call.event == OstakMergeRuleConflict) {
            proposals.push_back(call.proposed);
        }
    }
    EXPECT_EQ(proposals, (std::vector<std::string>{"x_2", "y_2"}));
    EXPECT_EQ(MergedNames(), (std::vector<std::string>{"x", "x_1", "x_2", "y", "y_1", "y_2"}));
}

TEST_F(MergeRuleMerge, EqualCommonRulesTakeTheTargetValuesWithoutAsking) {
    ScriptedMerge::Reset(AnswerKeepAll);
    ASSERT_EQ(Merge({"App", {{"a"}, {"b"}}}, {"App", {{"a"}, {"b"}}}), 0);
    EXPECT_TRUE(ScriptedMerge::Calls().empty());
    EXPECT_EQ(MergedNames(), (std::vector<std::string>{"a", "b"}));
    EXPECT_NE(merged_.FirstRule(), Rule(target_.get(), "a"));
}

TEST_F(MergeRuleMerge, WithoutCallback) {
    EXPECT_EQ(Merge({"App", {}}, {"App", {}}, kDirectionPlainToScript, nullptr), OSTAK_E_NO_MERGE_CALLBACK);
}

TEST_F(MergeRuleMerge, WithoutApplication) {
    target_.reset(MakeAppl({"App", {}}));
    const MergeContext context{0, 1, kDirectionPlainToScript, ScriptedMerge::Callback, false};
    EXPECT_EQ(OstakRuleMerge(context, nullptr, target_.get()).Run(merged_), OSTAK_E_INTERNAL_ARGUMENT);
    EXPECT_EQ(OstakRuleMerge(context, target_.get(), nullptr).Run(merged_), OSTAK_E_INTERNAL_ARGUMENT);
}

TEST_F(MergeRuleMerge, ANameEnteringTwiceFailsWithFive) {
    // Two source rules named x (an unfinished rename): the second finds x taken.
    source_.reset(MakeAppl({"App", {{"w"}, {"x"}}}));
    target_.reset(MakeAppl({"App", {{"x"}}}));
    ASSERT_EQ(Rule(source_.get(), "w")->SetName("x"), 0);
    ScriptedMerge::Reset(AnswerKeepAll);
    const MergeContext context{0, 1, kDirectionPlainToScript, ScriptedMerge::Callback, false};
    EXPECT_EQ(OstakRuleMerge(context, source_.get(), target_.get()).Run(merged_), OSTAK_E_DUPLICATE_NAME);
    EXPECT_TRUE(merged_.Empty());
}

TEST_F(MergeRuleMerge, ACallbackThatThrowsGivesAnAnswerWithoutMeaning) {
    ScriptedMerge::Reset(
        [](const MergeCall &, std::size_t) -> uint32_t { throw std::runtime_error("boom"); });
    EXPECT_EQ(Merge({"App", {{"a"}}}, {"App", {}}), OSTAK_E_BAD_ANSWER);
    EXPECT_TRUE(merged_.Empty());
}

TEST_F(MergeRuleMerge, NoMemoryAtEachAllocation) {
    const ApplSpec source{"App", {{"a"}, R("c", "src"), {"d"}}};
    const ApplSpec target{"App", {{"b"}, R("c", "tgt"), {"d"}}};
    int32_t rc = OSTAK_E_NO_MEMORY;
    int failures = 0;
    for (uint64_t n = 1; rc != 0; ++n) {
        ASSERT_LT(n, 200u);
        source_.reset(MakeAppl(source));
        target_.reset(MakeAppl(target));
        ScriptedMerge::Reset(AnswerKeepAll);
        const int64_t live = LiveAllocations();
        Seams().failAllocationAt = n;
        const MergeContext context{0, 1, kDirectionPlainToScript, ScriptedMerge::Callback, false};
        rc = OstakRuleMerge(context, source_.get(), target_.get()).Run(merged_);
        Seams().failAllocationAt = 0;
        if (rc != 0) {
            ++failures;
            EXPECT_EQ(rc, OSTAK_E_NO_MEMORY) << "allocation " << n;
            EXPECT_TRUE(merged_.Empty());
            EXPECT_EQ(LiveAllocations(), live) << "allocation " << n << " leaked";
        }
    }
    EXPECT_GE(failures, 8) << "clones, new rules, the proposal and every copied string";
    EXPECT_EQ(MergedNames(), (std::vector<std::string>{"a", "b", "c", "c_1", "d"}));
}

} // namespace

namespace {

// Search steps of one merge in which all `count` rules conflict and both versions are kept.
uint64_t StepsForConflicts(int count, const std::string &stem) {
    ApplSpec source{"App", {}};
    ApplSpec target{"App", {}};
    for (int i = 1; i <= count; ++i) {
        source.rules.push_back(R(stem + std::to_string(i), "src"));
        target.rules.push_back(R(stem + std::to_string(i), "tgt"));
    }
    std::unique_ptr<OstakElemAppl> s(MakeAppl(source));
    std::unique_ptr<OstakElemAppl> t(MakeAppl(target));
    ScriptedMerge::Reset(AnswerKeepAll);
    const MergeContext context{0, 1, kDirectionPlainToScript, ScriptedMerge::Callback, false};
    OstakRuleMerge merge(context, s.get(), t.get());
    OstakListRule merged;
    EXPECT_EQ(merge.Run(merged), 0);
    EXPECT_EQ(ScriptedMerge::Calls().size(), static_cast<std::size_t>(count));
    return merge.SearchSteps();
}

TEST_F(MergeRuleMerge, SearchesGrowLinearlyWithConflicts) {
    // Names that proposals themselves bear (Rule_n) used to cost a scan of
    // every list per candidate; copies that sort after later rules used to
    // be placed by a walk from the head. 2,000 rules may cost at most 2.5
    // times per rule what 250 cost.
    for (const std::string stem : {"Check", "Rule_", "A", "Ab_"}) {
        const double small = static_cast<double>(StepsForConflicts(250, stem)) / 250;
        const double large = static_cast<double>(StepsForConflicts(2000, stem)) / 2000;
        EXPECT_LE(large, 2.5 * small) << stem << ": " << small << " against " << large;
    }
}

} // namespace
