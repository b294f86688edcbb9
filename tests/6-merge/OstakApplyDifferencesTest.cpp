// Applying differences through the export: the direction table, the decision
// table, stamps and Enabled by direction, the replace flag, the merge callback
// as the export calls it, and each failure with its one message.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakMergeTypes.h"

using namespace ostak;
using namespace ostak_test;

namespace {

class MergeApply : public MergeExportTest {
  protected:
    int32_t Apply(const FilePtr &source, const FilePtr &target, uint8_t replace = 0) {
        before_ = OstakElemAppl::CurrentTime();
        const int32_t rc = xfeOstakHandleDifferencesInTargetBySourceMark(H(source), H(target), replace);
        after_ = OstakElemAppl::CurrentTime();
        return rc;
    }
    // The application carries the stamp of this call: the host name and a time of the call.
    void ExpectStampedNow(const ApplSnap &appl) const {
        EXPECT_EQ(appl.host, kHost) << appl.name;
        EXPECT_GE(appl.time, before_) << appl.name;
        EXPECT_LE(appl.time, after_) << appl.name;
    }
    int32_t before_ = 0;
    int32_t after_ = 0;
};

int32_t KindOfDirectionSource(int32_t direction) {
    const int32_t kinds[] = {0, 1, 3, 2};
    return kinds[direction];
}

int32_t KindOfDirectionTarget(int32_t direction) {
    const int32_t kinds[] = {1, 0, 0, 1};
    return kinds[direction];
}

const ApplSnap &Find(const ListSnap &file, const std::string &name) {
    for (const ApplSnap &appl : file) {
        if (appl.name == name) {
            return appl;
        }
    }
    static const ApplSnap none{};
    ADD_FAILURE() << "no application " << name;
    return none;
}

TEST_F(MergeApply, OnlyTheFivePairsOfTheDirectionTableAreAccepted) {
    for (int32_t sourceKind = 0; sourceKind < 4; ++sourceKind) {
        for (int32_t targetKind = 0; targetKind < 4; ++targetKind) {
            FilePtr source = MakeFile(sourceKind, {{"New", {{"r"}}, OstakDiffApply}});
            FilePtr target = MakeFile(targetKind, {{"Old", {{"r"}}, 0, 1}});
            const ListSnap sourceBefore = Snap(source->Applications());
            const ListSnap targetBefore = Snap(target->Applications());
            ostak_test::Log().clear();
            const int32_t direction = MergeDirection(sourceKind, targetKind);
            const bool accepted = (sourceKind == 0 && targetKind == 1) ||
                                  (sourceKind == 1 && targetKind == 0) ||
                                  (sourceKind == 3 && targetKind == 0) ||
                                  ((sourceKind == 2 || sourceKind == 3) && targetKind == 1);
            EXPECT_EQ(direction != kDirectionNone, accepted);
            // A refused pair is refused before anything is allocated: a failing
            // first allocation must not turn the 3 into a 7.
            const int64_t live = LiveAllocations();
            Seams().failAllocationAt = accepted ? 0 : 1;
            const int32_t rc = Apply(source, target);
            Seams().failAllocationAt = 0;
            if (accepted) {
                EXPECT_EQ(rc, 0) << sourceKind << " into " << targetKind;
                EXPECT_EQ(ApplNames(Snap(target->Applications())), (std::vector<std::string>{"New", "Old"}));
            } else {
                EXPECT_EQ(rc, OSTAK_E_INVALID_ARGUMENT) << sourceKind << " into " << targetKind;
                ExpectIssuedOnce(-32594);
                EXPECT_EQ(Snap(source->Applications()), sourceBefore);
                EXPECT_EQ(Snap(target->Applications()), targetBefore);
                EXPECT_EQ(LiveAllocations(), live);
            }
        }
    }
    EXPECT_EQ(MergeDirection(0, 1), 0);
    EXPECT_EQ(MergeDirection(1, 0), 1);
    EXPECT_EQ(MergeDirection(3, 0), 2);
    EXPECT_EQ(MergeDirection(2, 1), 3);
    EXPECT_EQ(MergeDirection(3, 1), 3);
}

TEST_F(MergeApply, NullHandles) {
    FilePtr file = MakeFile(0, {});
    EXPECT_EQ(xfeOstakHandleDifferencesInTargetBySourceMark(nullptr, H(file), 0), OSTAK_E_INVALID_ARGUMENT);
    ExpectIssuedOnce(-32594);
    ostak_test::Log().clear();
    EXPECT_EQ(xfeOstakHandleDifferencesInTargetBySourceMark(H(file), nullptr, 1), OSTAK_E_INVALID_ARGUMENT);
    ExpectIssuedOnce(-32594);
}

TEST_F(MergeApply, ANewApplicationByDirection) {
    constexpr int kAsSource = -1;
    struct Case {
        int32_t direction;
        int enabled;        // of the copy in the target, or kAsSource
        bool copyStamped;   // the copy carries the stamp of this call
        bool sourceStamped; // the source application is stamped first
    };
    const Case cases[] = {
        {kDirectionPlainToScript, kAsSource, true, true},
        {kDirectionScriptToPlain, 1, false, false},
        {kDirectionSourceToPlain, kAsSource, true, false},
        {kDirectionIntoScript, 0, true, false},
    };
    for (const Case &c : cases) {
        for (uint8_t sourceEnabled : {0, 1}) {
            SCOPED_TRACE("direction " + std::to_string(c.direction) + ", source Enabled " +
                         std::to_string(sourceEnabled));
            FilePtr source =
                MakeFile(KindOfDirectionSource(c.direction),
                         {{"Mid", {{"r1"}, {"r2"}}, OstakDiffApply, sourceEnabled, "srchost", 77}});
            FilePtr target = MakeFile(KindOfDirectionTarget(c.direction),
                                      {{"Alpha", {}, 0, 0, "t", 1}, {"Zulu", {}, 0, 1, "t", 2}});
            ListSnap expectedSource = Snap(source->Applications());
            ASSERT_EQ(Apply(source, target), 0) << "direction " << c.direction;
            const ListSnap sourceAfter = Snap(source->Applications());
            const ListSnap targetAfter = Snap(target->Applications());
            EXPECT_EQ(ApplNames(targetAfter), (std::vector<std::string>{"Alpha", "Mid", "Zulu"}));
            const ApplSnap &copy = Find(targetAfter, "Mid");
            EXPECT_EQ(copy.enabled, c.enabled == kAsSource ? sourceEnabled : c.enabled);
            EXPECT_EQ(copy.rules, expectedSource[0].rules);
            EXPECT_EQ(copy.mark, OstakDiffApply) << "the copy carries the mark as it is";
            if (c.copyStamped) {
                ExpectStampedNow(copy);
            } else {
                EXPECT_EQ(copy.host, "srchost");
                EXPECT_EQ(copy.time, 77);
            }
            if (c.sourceStamped) {
                ExpectStampedNow(sourceAfter[0]);
                EXPECT_EQ(copy.time, sourceAfter[0].time);
            } else {
                EXPECT_EQ(sourceAfter, expectedSource) << "direction " << c.direction;
            }
            EXPECT_EQ(Find(targetAfter, "Zulu").enabled, c.direction == kDirectionPlainToScript ? 0 : 1);
            EXPECT_TRUE(ScriptedMerge::Calls().empty());
            EXPECT_NE(Appl(*target, "Mid"), Appl(*source, "Mid"));
        }
    }
}

TEST_F(MergeApply, DirectionZeroDisablesTargetApplicationsWithoutMarkedNamesake) {
    FilePtr source =
        MakeFile(0, {{"Both", {{"r"}}, OstakDiffApply, 1}, {"Skipped", {{"r"}}, OstakDiffSkip, 1}});
    FilePtr target =
        MakeFile(1, {{"Both", {{"r"}}, 0, 0}, {"Skipped", {{"r"}}, 0, 1}, {"TargetOnly", {}, 0, 1}});
    ASSERT_EQ(Apply(source, target), 0);
    const ListSnap after = Snap(target->Applications());
    EXPECT_EQ(Find(after, "Both").enabled, 1) << "takes the source's Enabled";
    EXPECT_EQ(Find(after, "Skipped").enabled, 0);
    EXPECT_EQ(Find(after, "TargetOnly").enabled, 0);
}

TEST_F(MergeApply, UnmarkedApplicationsAreLeftAlone) {
    for (int32_t direction = 1; direction < 4; ++direction) {
        FilePtr source = MakeFile(KindOfDirectionSource(direction),
                                  {{"Both", {{"a"}}, OstakDiffSkip}, {"New", {{"r"}}, OstakDiffSkip}});
        FilePtr target = MakeFile(KindOfDirectionTarget(direction), {{"Both", {{"b"}}}});
        const ListSnap sourceBefore = Snap(source->Applications());
        const ListSnap targetBefore = Snap(target->Applications());
        ASSERT_EQ(Apply(source, target), 0);
        EXPECT_EQ(Snap(source->Applications()), sourceBefore);
        EXPECT_EQ(Snap(target->Applications()), targetBefore);
        EXPECT_TRUE(ScriptedMerge::Calls().empty());
    }
}

TEST_F(MergeApply, EqualRulesByDirection) {
    for (int32_t direction = 0; direction < 4; ++direction) {
        FilePtr source = MakeFile(KindOfDirectionSource(direction),
                                  {{"App", {{"a"}, {"b"}}, OstakDiffApply, 1, "srchost", 50}});
        FilePtr target =
            MakeFile(KindOfDirectionTarget(direction), {{"App", {{"a"}, {"b"}}, 0, 0, "tgthost", 60}});
        ListSnap source0 = Snap(source->Applications());
        ListSnap target0 = Snap(target->Applications());
        OstakElemRule *targetRule = Rule(Appl(*target, "App"), "a");
        ASSERT_EQ(Apply(source, target), 0);
        const ApplSnap s = Snap(source->Applications())[0];
        const ApplSnap t = Snap(target->Applications())[0];
        EXPECT_TRUE(ScriptedMerge::Calls().empty()) << "direction " << direction;
        EXPECT_EQ(s.rules, source0[0].rules);
        EXPECT_EQ(t.rules, target0[0].rules);
        EXPECT_EQ(Rule(Appl(*target, "App"), "a"), targetRule) << "equal rules are not touched";
        switch (direction) {
        case kDirectionPlainToScript:
            EXPECT_EQ(t.enabled, 1);
            EXPECT_EQ(s.host, "tgthost");
            EXPECT_EQ(s.time, 60);
            EXPECT_EQ(t.host, "tgthost");
            EXPECT_EQ(t.time, 60);
            break;
        case kDirectionScriptToPlain:
            EXPECT_EQ(t.enabled, 0);
            EXPECT_EQ(t.host, "srchost");
            EXPECT_EQ(t.time, 50);
            EXPECT_EQ(s, source0[0]);
            break;
        case kDirectionSourceToPlain:
            EXPECT_EQ(t, target0[0]);
            EXPECT_EQ(s, source0[0]);
            break;
        case kDirectionIntoScript:
            ExpectStampedNow(t);
            EXPECT_EQ(t.enabled, 0);
            EXPECT_EQ(s, source0[0]);
            break;
        }
    }
}

TEST_F(MergeApply, DirectionZeroWithEqualStampsReplacesWithoutAsking) {
    RuleSpec changed{"a"};
    changed.text = "changed";
    FilePtr source = MakeFile(0, {{"App", {changed, {"c"}}, OstakDiffApply, 1, "h", 5}});
    FilePtr target = MakeFile(1, {{"App", {{"a"}, {"b"}}, 0, 0, "h", 5}});
    const ListSnap source0 = Snap(source->Applications());
    ASSERT_EQ(Apply(source, target), 0);
    EXPECT_TRUE(ScriptedMerge::Calls().empty());
    const ApplSnap s = Snap(source->Applications())[0];
    const ApplSnap t = Snap(target->Applications())[0];
    EXPECT_EQ(s.rules, source0[0].rules) << "the source keeps its rules";
    EXPECT_EQ(t.rules, source0[0].rules) << "the target's become copies of them";
    ExpectStampedNow(s);
    EXPECT_EQ(t.host, s.host);
    EXPECT_EQ(t.time, s.time);
    EXPECT_EQ(t.enabled, 1);
    EXPECT_NE(Rule(Appl(*target, "App"), "a"), Rule(Appl(*source, "App"), "a"));
}

TEST_F(MergeApply, ReplaceFlagCopiesTheSourceRulesWithoutAnyCallback) {
    for (int32_t direction = 0; direction < 4; ++direction) {
        FilePtr source = MakeFile(KindOfDirectionSource(direction),
                                  {{"App", {{"a"}, {"x"}}, OstakDiffApply, 1, "s", 1}, {"Same", {{"r"}}, 1}});
        FilePtr target = MakeFile(KindOfDirectionTarget(direction),
                                  {{"App", {{"b"}, {"x", "other"}}, 0, 1, "t", 2}, {"Same", {{"r"}}}});
        const ListSnap source0 = Snap(source->Applications());
        // Any byte other than 0 sets the flag.
        ASSERT_EQ(Apply(source, target, direction % 2 == 0 ? 1 : 0x80), 0);
        EXPECT_TRUE(ScriptedMerge::Calls().empty()) << "direction " << direction;
        EXPECT_EQ(Snap(target->Applications())[0].rules, source0[0].rules) << "direction " << direction;
        EXPECT_EQ(Snap(source->Applications())[0].rules, source0[0].rules);
    }
}

TEST_F(MergeApply, OnlyARuleMergeNeedsTheMergeCallback) {
    // A new application, equal rules, equal stamps in direction 0, and (under
    // the replace flag) differing rules: none of them asks.
    Globals().mergeCallback = nullptr;
    for (uint8_t replace : {0, 1}) {
        const int32_t differsMark = replace != 0 ? OstakDiffApply : OstakDiffSkip;
        FilePtr source = MakeFile(0, {{"Differs", {{"b"}}, differsMark, 1, "s", 5},
                                      {"Equal", {{"r"}}, OstakDiffApply},
                                      {"New", {{"r"}}, OstakDiffApply},
                                      {"Stamps", {{"a"}}, OstakDiffApply, 1, "h", 5}});
        FilePtr target = MakeFile(
            1, {{"Differs", {{"c"}}, 0, 1, "t", 6}, {"Equal", {{"r"}}}, {"Stamps", {{"x"}}, 0, 1, "h", 5}});
        const ListSnap target0 = Snap(target->Applications());
        ostak_test::Log().clear();
        EXPECT_EQ(Apply(source, target, replace), 0) << "replace " << int(replace);
        EXPECT_TRUE(ostak_test::Log().empty());
        const ListSnap s = Snap(source->Applications());
        const ListSnap t = Snap(target->Applications());
        EXPECT_EQ(ApplNames(t), (std::vector<std::string>{"Differs", "Equal", "New", "Stamps"}));
        EXPECT_EQ(t[0].rules, replace != 0 ? s[0].rules : target0[0].rules);
        EXPECT_EQ(t[3].rules, s[3].rules);
    }
}

TEST_F(MergeApply, MergedRulesBecomeTheRulesOfBothSides) {
    FilePtr source = MakeFile(2, {{"App", {{"a"}, {"c", "src"}}, OstakDiffApply, 1, "s", 1}});
    FilePtr target = MakeFile(1, {{"App", {{"b"}, {"c", "tgt"}}, 0, 1, "t", 2}});
    OstakElemAppl *s = Appl(*source, "App");
    OstakElemAppl *t = Appl(*target, "App");
    OstakElemRule *sa = Rule(s, "a");
    OstakElemRule *sc = Rule(s, "c");
    OstakElemRule *tc = Rule(t, "c");
    ASSERT_EQ(Apply(source, target), 0);
    // Direction 3: the target-only b stays without a call.
    const std::vector<MergeCall> &calls = ScriptedMerge::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].event, OstakMergeRuleOnlyInSource);
    EXPECT_EQ(calls[0].sourceKind, 2);
    EXPECT_EQ(calls[0].targetKind, 1);
    EXPECT_EQ(calls[0].appl, static_cast<void *>(s));
    EXPECT_EQ(calls[0].rule, static_cast<void *>(sa));
    EXPECT_EQ(calls[0].appl2, nullptr);
    EXPECT_EQ(calls[0].rule2, nullptr);
    EXPECT_FALSE(calls[0].hasProposed);
    EXPECT_EQ(calls[1].event, OstakMergeRuleConflict);
    EXPECT_EQ(calls[1].appl, static_cast<void *>(s));
    EXPECT_EQ(calls[1].rule, static_cast<void *>(sc));
    EXPECT_EQ(calls[1].appl2, static_cast<void *>(t));
    EXPECT_EQ(calls[1].rule2, static_cast<void *>(tc));
    EXPECT_EQ(calls[1].proposed, "c_1");
    EXPECT_EQ(calls[1].applName, "App");
    EXPECT_EQ(calls[1].rule2Name, "c");

    const ApplSnap sAfter = Snap(source->Applications())[0];
    const ApplSnap tAfter = Snap(target->Applications())[0];
    EXPECT_EQ(RuleNames(sAfter), (std::vector<std::string>{"a", "b", "c", "c_1"}));
    EXPECT_EQ(sAfter.rules, tAfter.rules);
    EXPECT_EQ(Appl(*source, "App"), s) << "application handles stay valid";
    EXPECT_EQ(Appl(*target, "App"), t);
    EXPECT_NE(Rule(s, "a"), Rule(t, "a")) << "the target holds copies";
    EXPECT_EQ(sAfter.host, "s") << "direction 3 leaves the source's stamp";
    ExpectStampedNow(tAfter);
    EXPECT_EQ(sAfter.mark, OstakDiffApply) << "marks are not changed";
}

TEST_F(MergeApply, StampsAfterAMergeByDirection) {
    for (int32_t direction = 0; direction < 4; ++direction) {
        FilePtr source =
            MakeFile(KindOfDirectionSource(direction), {{"App", {{"a"}}, OstakDiffApply, 1, "s", 1}});
        FilePtr target = MakeFile(KindOfDirectionTarget(direction), {{"App", {{"b"}}, 0, 0, "t", 2}});
        ASSERT_EQ(Apply(source, target), 0);
        const ApplSnap s = Snap(source->Applications())[0];
        const ApplSnap t = Snap(target->Applications())[0];
        switch (direction) {
        case kDirectionPlainToScript:
            ExpectStampedNow(s);
            EXPECT_EQ(t.host, s.host);
            EXPECT_EQ(t.time, s.time);
            EXPECT_EQ(t.enabled, 1);
            break;
        case kDirectionScriptToPlain:
            EXPECT_EQ(t.host, "s");
            EXPECT_EQ(t.time, 1);
            EXPECT_EQ(t.enabled, 0);
            break;
        case kDirectionSourceToPlain:
            EXPECT_EQ(t.host, "t");
            EXPECT_EQ(t.time, 2);
            EXPECT_EQ(s.host, "s");
            EXPECT_EQ(s.time, 1);
            EXPECT_EQ(t.enabled, 0) << "only direction 0 carries Enabled over";
            break;
        case kDirectionIntoScript:
            ExpectStampedNow(t);
            EXPECT_EQ(s.host, "s");
            EXPECT_EQ(s.time, 1);
            EXPECT_EQ(t.enabled, 0) << "only direction 0 carries Enabled over";
            break;
        }
        EXPECT_EQ(s.enabled, 1) << "direction " << direction;
    }
}

TEST_F(MergeApply, MarkOutOfRangeIsRefusedWithItsOwnMessage) {
    FilePtr source = MakeFile(0, {{"A", {{"r"}}, OstakDiffApply}, {"B", {}, OstakDiffChanged}});
    FilePtr target = MakeFile(1, {{"Z", {}, 0, 1}});
    const ListSnap source0 = Snap(source->Applications());
    const ListSnap target0 = Snap(target->Applications());
    const int64_t live = LiveAllocations();
    EXPECT_EQ(Apply(source, target), OSTAK_E_INVALID_ARGUMENT);
    EXPECT_EQ(LiveAllocations(), live) << "backups and the copy of A are gone";
    const std::vector<ostak_test::LogRecord> &log = ostak_test::Log();
    ASSERT_EQ(log.size(), 1u) << "no second message for the code";
    EXPECT_EQ(log[0].number, -32550);
    EXPECT_EQ(log[0].func, "xfeOstakHandleDifferencesInTargetBySourceMark");
    EXPECT_EQ(log[0].line, 1240);
    EXPECT_EQ(log[0].level, 6);
    EXPECT_NE(log[0].text.find("1004"), std::string::npos) << log[0].text;
    EXPECT_NE(log[0].text.find("\"B\""), std::string::npos) << log[0].text;
    EXPECT_EQ(Snap(source->Applications()), source0) << "A's stamp is back";
    EXPECT_EQ(Snap(target->Applications()), target0) << "A's copy is gone and Z enabled again";
}

TEST_F(MergeApply, FailuresOfTheMergeWithTheirMessages) {
    struct Case {
        const char *what;
        std::function<uint32_t(const MergeCall &, std::size_t)> answer;
        bool noCallback;
        int32_t rc;
        int32_t number;
    };
    const Case cases[] = {
        {"cancel", [](const MergeCall &, std::size_t i) { return i == 1 ? 0u : 1u; }, false,
         OSTAK_E_CANCELLED, -32583},
        {"answer 3 to event 4", [](const MergeCall &, std::size_t) { return 3u; }, false, OSTAK_E_BAD_ANSWER,
         -32582},
        {"answer 7", [](const MergeCall &, std::size_t i) { return i == 1 ? 7u : 1u; }, false,
         OSTAK_E_BAD_ANSWER, -32582},
        {"no merge callback", nullptr, true, OSTAK_E_NO_MERGE_CALLBACK, -32580},
    };
    for (const Case &c : cases) {
        FilePtr source = MakeFile(0, {{"A", {{"a1"}, {"a2"}}, OstakDiffApply}, {"B", {}, OstakDiffApply}});
        FilePtr target = MakeFile(1, {{"A", {{"x"}}, 0, 1, "t", 5}});
        const ListSnap source0 = Snap(source->Applications());
        const ListSnap target0 = Snap(target->Applications());
        ScriptedMerge::Reset(c.answer);
        Globals().mergeCallback = c.noCallback ? nullptr : ScriptedMerge::Callback;
        ostak_test::Log().clear();
        const int64_t live = LiveAllocations();
        EXPECT_EQ(Apply(source, target), c.rc) << c.what;
        EXPECT_EQ(LiveAllocations(), live) << c.what;
        ExpectIssuedOnce(c.number);
        EXPECT_EQ(Snap(source->Applications()), source0) << c.what;
        EXPECT_EQ(Snap(target->Applications()), target0) << c.what;
    }
}

TEST_F(MergeApply, ANameTakenInTheMergedListFailsWithFive) {
    // Two rules named x in the source (the second renamed and not finalised).
    FilePtr source = MakeFile(0, {{"A", {{"w"}, {"x"}}, OstakDiffApply}});
    FilePtr target = MakeFile(1, {{"A", {{"x", "t"}}, 0, 1, "t", 5}});
    OstakElemAppl *appl = Appl(*source, "A");
    ASSERT_EQ(Rule(appl, "w")->SetName("x"), 0);
    const ListSnap source0 = Snap(source->Applications());
    const ListSnap target0 = Snap(target->Applications());
    const int64_t live = LiveAllocations();
    EXPECT_EQ(Apply(source, target), OSTAK_E_DUPLICATE_NAME);
    EXPECT_EQ(LiveAllocations(), live);
    ExpectIssuedOnce(-32592);
    EXPECT_EQ(Snap(source->Applications()), source0);
    EXPECT_EQ(Snap(target->Applications()), target0);
}

TEST_F(MergeApply, NoMemoryForTheBackups) {
    FilePtr source = MakeFile(0, {{"A", {{"r"}}, OstakDiffApply}});
    FilePtr target = MakeFile(1, {{"B", {}, 0, 1}});
    const ListSnap source0 = Snap(source->Applications());
    const ListSnap target0 = Snap(target->Applications());
    const int64_t live = LiveAllocations();
    Seams().failAllocationAt = 1;
    EXPECT_EQ(Apply(source, target), OSTAK_E_NO_MEMORY);
    Seams().failAllocationAt = 0;
    EXPECT_EQ(LiveAllocations(), live);
    ExpectIssuedOnce(-32590);
    EXPECT_EQ(Snap(source->Applications()), source0);
    EXPECT_EQ(Snap(target->Applications()), target0);
}

} // namespace
