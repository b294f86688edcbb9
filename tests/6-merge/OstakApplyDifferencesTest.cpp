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
    // The file's applications, a stamp given during the last Apply reading 'now'.
    std::string Appls(const FilePtr &file) const {
        return Describe(file->Applications(), Now{before_, after_});
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
    // The copy in the target, the source afterwards, and Zulu, a target
    // application without a namesake; {E} stands for the source's Enabled.
    struct Case {
        int32_t direction;
        const char *copy;
        const char *source;
        const char *zulu;
    };
    const Case cases[] = {
        {kDirectionPlainToScript, "Mid{E} 'thishost'@now mark=1", "Mid{E} 'thishost'@now mark=1", "Zulu off"},
        {kDirectionScriptToPlain, "Mid 'srchost'@77 mark=1", "Mid{E} 'srchost'@77 mark=1", "Zulu"},
        {kDirectionSourceToPlain, "Mid{E} 'thishost'@now mark=1", "Mid{E} 'srchost'@77 mark=1", "Zulu"},
        {kDirectionIntoScript, "Mid off 'thishost'@now mark=1", "Mid{E} 'srchost'@77 mark=1", "Zulu"},
    };
    const std::string rules = " {r1='text'; r2='text'}";
    for (const Case &c : cases) {
        for (uint8_t sourceEnabled : {0, 1}) {
            SCOPED_TRACE("direction " + std::to_string(c.direction) + ", source Enabled " +
                         std::to_string(sourceEnabled));
            const auto withEnabled = [&](std::string text) {
                const std::size_t at = text.find("{E}");
                return at == std::string::npos ? text : text.replace(at, 3, sourceEnabled != 0 ? "" : " off");
            };
            FilePtr source =
                MakeFile(KindOfDirectionSource(c.direction),
                         {{"Mid", {{"r1"}, {"r2"}}, OstakDiffApply, sourceEnabled, "srchost", 77}});
            FilePtr target = MakeFile(KindOfDirectionTarget(c.direction),
                                      {{"Alpha", {}, 0, 0, "t", 1}, {"Zulu", {}, 0, 1, "t", 2}});
            ASSERT_EQ(Apply(source, target), 0);
            EXPECT_EQ(Appls(target),
                      "Alpha off 't'@1 {}\n" + withEnabled(c.copy) + rules + "\n" + c.zulu + " 't'@2 {}");
            EXPECT_EQ(Appls(source), withEnabled(c.source) + rules);
            if (c.direction == kDirectionPlainToScript) {
                EXPECT_EQ(Appl(*target, "Mid")->StampTime(), Appl(*source, "Mid")->StampTime())
                    << "one stamp";
            }
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
    EXPECT_EQ(Appls(target), "Both 'oldhost'@1000 {r='text'}\n" // takes the source's Enabled
                             "Skipped off 'oldhost'@1000 {r='text'}\n"
                             "TargetOnly off 'oldhost'@1000 {}");
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
    const std::string rules = " {a='text'; b='text'}";
    // The source and the target afterwards, by direction.
    const std::pair<std::string, std::string> expected[] = {
        {"App 'tgthost'@60 mark=1", "App 'tgthost'@60"},
        {"App 'srchost'@50 mark=1", "App off 'srchost'@50"},
        {"App 'srchost'@50 mark=1", "App off 'tgthost'@60"},
        {"App 'srchost'@50 mark=1", "App off 'thishost'@now"},
    };
    for (int32_t direction = 0; direction < 4; ++direction) {
        SCOPED_TRACE("direction " + std::to_string(direction));
        FilePtr source = MakeFile(KindOfDirectionSource(direction),
                                  {{"App", {{"a"}, {"b"}}, OstakDiffApply, 1, "srchost", 50}});
        FilePtr target =
            MakeFile(KindOfDirectionTarget(direction), {{"App", {{"a"}, {"b"}}, 0, 0, "tgthost", 60}});
        OstakElemRule *targetRule = Rule(Appl(*target, "App"), "a");
        ASSERT_EQ(Apply(source, target), 0);
        EXPECT_TRUE(ScriptedMerge::Calls().empty());
        EXPECT_EQ(Appls(source), expected[direction].first + rules);
        EXPECT_EQ(Appls(target), expected[direction].second + rules);
        EXPECT_EQ(Rule(Appl(*target, "App"), "a"), targetRule) << "equal rules are not touched";
    }
}

TEST_F(MergeApply, DirectionZeroWithEqualStampsReplacesWithoutAsking) {
    FilePtr source = MakeFile(0, {{"App", {R("a", "changed"), {"c"}}, OstakDiffApply, 1, "h", 5}});
    FilePtr target = MakeFile(1, {{"App", {{"a"}, {"b"}}, 0, 0, "h", 5}});
    ASSERT_EQ(Apply(source, target), 0);
    EXPECT_TRUE(ScriptedMerge::Calls().empty());
    // The source keeps its rules and is stamped; the target's rules become
    // copies of them, with the source's stamp and Enabled.
    EXPECT_EQ(Appls(source), "App 'thishost'@now mark=1 {a='changed'; c='text'}");
    EXPECT_EQ(Appls(target), "App 'thishost'@now {a='changed'; c='text'}");
    EXPECT_EQ(Appl(*target, "App")->StampTime(), Appl(*source, "App")->StampTime());
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

    const std::string merged = " {a='text'; b='text'; c='tgt'; c_1='src'}";
    EXPECT_EQ(Appls(source), "App 's'@1 mark=1" + merged) << "direction 3 leaves the source's stamp and mark";
    EXPECT_EQ(Appls(target), "App 'thishost'@now" + merged);
    EXPECT_EQ(Appl(*source, "App"), s) << "application handles stay valid";
    EXPECT_EQ(Appl(*target, "App"), t);
    EXPECT_NE(Rule(s, "a"), Rule(t, "a")) << "the target holds copies";
}

TEST_F(MergeApply, StampsAfterAMergeByDirection) {
    const std::string merged = " {a='text'; b='text'}";
    // The source and the target afterwards, by direction; only direction 0
    // carries Enabled over.
    const std::pair<std::string, std::string> expected[] = {
        {"App 'thishost'@now mark=1", "App 'thishost'@now"},
        {"App 's'@1 mark=1", "App off 's'@1"},
        {"App 's'@1 mark=1", "App off 't'@2"},
        {"App 's'@1 mark=1", "App off 'thishost'@now"},
    };
    for (int32_t direction = 0; direction < 4; ++direction) {
        SCOPED_TRACE("direction " + std::to_string(direction));
        FilePtr source =
            MakeFile(KindOfDirectionSource(direction), {{"App", {{"a"}}, OstakDiffApply, 1, "s", 1}});
        FilePtr target = MakeFile(KindOfDirectionTarget(direction), {{"App", {{"b"}}, 0, 0, "t", 2}});
        ASSERT_EQ(Apply(source, target), 0);
        EXPECT_EQ(Appls(source), expected[direction].first + merged);
        EXPECT_EQ(Appls(target), expected[direction].second + merged);
        if (direction == kDirectionPlainToScript) {
            EXPECT_EQ(Appl(*target, "App")->StampTime(), Appl(*source, "App")->StampTime()) << "one stamp";
        }
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

TEST_F(MergeApply, NoMemoryForTheFirstChange) {
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
