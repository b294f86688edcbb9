// Marking differences: the four marks, the order of the tests, the stamp test
// by kinds, the lookup by name, and the export's refusals.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakMarkDifferences.h"

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the tests of the lookup.
using MergeMark = MergeExportTest;

// Marks of the single source application "App" against the other file.
int32_t MarkOf(int32_t sourceKind, const ApplSpec &source, int32_t otherKind,
               const std::vector<ApplSpec> &other) {
    FilePtr from = MakeFile(sourceKind, {source});
    FilePtr against = MakeFile(otherKind, other);
    const ListSnap otherBefore = Snap(against->Applications());
    EXPECT_EQ(xfeOstakMarkDifferencesInSource(H(from), H(against)), 0);
    EXPECT_EQ(Snap(against->Applications()), otherBefore) << "the other file is only read";
    return from->Applications().FirstAppl()->DiffMark();
}

TEST_F(MergeMark, MarksByRulesThenStamps) {
    const RuleSpec r1{"R1"};
    RuleSpec r1Alert = r1;
    r1Alert.type = 1;
    RuleSpec r1Case = r1;
    r1Case.text = "Text";
    RuleSpec r1Flag = r1;
    r1Flag.matchCase = 2;
    const RuleSpec r2{"R2"};
    struct Case {
        const char *what;
        ApplSpec source;
        std::vector<ApplSpec> other;
        int32_t expected;
    };
    const Case cases[] = {
        {"no namesake", {"App", {r1}}, {{"Other", {r1}}}, OstakDiffAbsent},
        {"namesake differs in case only", {"App", {r1}}, {{"APP", {r1}}, {"app", {r1}}}, OstakDiffAbsent},
        {"empty other file", {"App", {r1}}, {}, OstakDiffAbsent},
        {"equal rules", {"App", {r1, r2}}, {{"App", {r1, r2}}}, OstakDiffSameRules},
        {"no rules on either side, stamps and flags differ",
         {"App", {}, 0, 1, "h1", 5},
         {{"App", {}, 0, 0, "h2", 6}},
         OstakDiffSameRules},
        {"equal rules, Enabled differs", {"App", {r1}, 0, 1}, {{"App", {r1}, 0, 0}}, OstakDiffSameRules},
        {"Type of one rule differs, same stamp", {"App", {r1}}, {{"App", {r1Alert}}}, OstakDiffSameStamp},
        {"Text differs in case, same stamp", {"App", {r1}}, {{"App", {r1Case}}}, OstakDiffSameStamp},
        {"MatchCase byte 2 against 1", {"App", {r1}}, {{"App", {r1Flag}}}, OstakDiffSameStamp},
        {"other has one more rule", {"App", {r1}}, {{"App", {r1, r2}}}, OstakDiffSameStamp},
        {"other has no rules", {"App", {r1}}, {{"App", {}}}, OstakDiffSameStamp},
        {"stamp time differs",
         {"App", {r1}, 0, 1, "h", 5},
         {{"App", {r1Alert}, 0, 1, "h", 6}},
         OstakDiffChanged},
        {"stamp host differs in case",
         {"App", {r1}, 0, 1, "h", 5},
         {{"App", {r1Alert}, 0, 1, "H", 5}},
         OstakDiffChanged},
        {"stamp host is a prefix",
         {"App", {r1}, 0, 1, "h", 5},
         {{"App", {r1Alert}, 0, 1, "hh", 5}},
         OstakDiffChanged},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(MarkOf(1, c.source, 0, c.other), c.expected) << c.what;
    }
}

TEST_F(MergeMark, StampTestOnlyBetweenKindsZeroAndOne) {
    RuleSpec alert{"R1"};
    alert.type = 1;
    const ApplSpec source{"App", {{"R1"}}, 0, 1, "h", 5};
    const ApplSpec other{"App", {alert}, 0, 1, "h", 5};
    for (int32_t sourceKind = 0; sourceKind < 4; ++sourceKind) {
        for (int32_t otherKind = 0; otherKind < 4; ++otherKind) {
            const bool stampTest = (sourceKind == 0 && otherKind == 1) || (sourceKind == 1 && otherKind == 0);
            EXPECT_EQ(MarkOf(sourceKind, source, otherKind, {other}),
                      stampTest ? OstakDiffSameStamp : OstakDiffChanged)
                << "kinds " << sourceKind << " and " << otherKind;
        }
    }
}

TEST_F(MergeMark, EveryApplicationIsMarkedAndOldMarksOverwritten) {
    FilePtr source =
        MakeFile(0, {{"A", {{"r"}}, 1}, {"B", {{"r"}}, 1003}, {"C", {{"r"}}, 0}, {"D", {{"r"}}, 7}});
    FilePtr other =
        MakeFile(1, {{"B", {{"r"}}}, {"C", {{"x"}}, 0, 1, "oldhost", 1000}, {"D", {{"x"}}, 0, 1, "h", 1}});
    ListSnap expected = Snap(source->Applications());
    expected[0].mark = OstakDiffAbsent;
    expected[1].mark = OstakDiffSameRules;
    expected[2].mark = OstakDiffSameStamp;
    expected[3].mark = OstakDiffChanged;
    const uint64_t attempts = AllocationAttempts();
    ASSERT_EQ(xfeOstakMarkDifferencesInSource(H(source), H(other)), 0);
    EXPECT_EQ(AllocationAttempts(), attempts) << "marking allocates nothing, so it cannot fail";
    EXPECT_EQ(Snap(source->Applications()), expected) << "only the marks change";
    EXPECT_TRUE(ostak_test::Log().empty());
}

TEST_F(MergeMark, EmptySourceMarksNothing) {
    FilePtr source = MakeFile(0, {});
    FilePtr other = MakeFile(1, {{"A", {}}});
    EXPECT_EQ(xfeOstakMarkDifferencesInSource(H(source), H(other)), 0);
    EXPECT_TRUE(Snap(source->Applications()).empty());
}

TEST_F(MergeMark, LookupFollowsFindByNameInAnUnsortedOther) {
    // "M" renamed to "B" without re-sorting stands after "C": find by name
    // stops at "C" and misses it, so the source's "B" is absent there.
    FilePtr source = MakeFile(1, {{"B", {}}, {"Z", {}}});
    FilePtr other = MakeFile(0, {{"A", {}}, {"C", {}}, {"M", {}}});
    ASSERT_EQ(Appl(*other, "M")->SetName("B"), 0);
    ASSERT_EQ(xfeOstakMarkDifferencesInSource(H(source), H(other)), 0);
    EXPECT_EQ(Appl(*source, "B")->DiffMark(), OstakDiffAbsent);
    EXPECT_EQ(Appl(*source, "Z")->DiffMark(), OstakDiffAbsent);
}

TEST_F(MergeMark, Refusals) {
    FilePtr source = MakeFile(0, {{"A", {}, 1}});
    const ListSnap before = Snap(source->Applications());
    EXPECT_EQ(xfeOstakMarkDifferencesInSource(nullptr, H(source)), OSTAK_E_INVALID_ARGUMENT);
    ExpectIssuedOnce(-32594);
    ostak_test::Log().clear();
    EXPECT_EQ(xfeOstakMarkDifferencesInSource(H(source), nullptr), OSTAK_E_INVALID_ARGUMENT);
    ExpectIssuedOnce(-32594);
    EXPECT_EQ(Snap(source->Applications()), before);
}

TEST_F(MergeMark, RefusedBeforeInitialisation) {
    FilePtr source = MakeFile(0, {{"A", {}, 1}});
    FilePtr other = MakeFile(1, {});
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    ostak::Globals().logCallback = ostak_test::RecordLog;
    const std::string resource = ostak_test::SourceRoot() + "/dat/Ostak_res";
    ASSERT_EQ(ostak::AddResourceFile(resource.c_str()), 0);
    ostak_test::Log().clear();
    EXPECT_EQ(xfeOstakMarkDifferencesInSource(H(source), H(other)), OSTAK_E_NOT_INITIALISED);
    ExpectIssuedOnce(-32551);
    EXPECT_EQ(Appl(*source, "A")->DiffMark(), 1);
    ostak_test::Log().clear();
    EXPECT_EQ(xfeOstakHandleDifferencesInTargetBySourceMark(H(source), H(other), 0), OSTAK_E_NOT_INITIALISED);
    ExpectIssuedOnce(-32551);
    EXPECT_TRUE(Snap(other->Applications()).empty());
    ostak::RemoveResourceFile(resource.c_str());
}

} // namespace
