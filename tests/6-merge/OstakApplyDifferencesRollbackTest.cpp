// All or nothing: a pair of files with several applications and rules is
// applied again and again, cancelled at every decision point in turn, answered
// out of range at every decision point, and with the Nth allocation failing for
// every N until the call succeeds. After each failure both files must hold
// exactly what they held before (complete snapshots, and the very same
// application and rule objects, so that handles stay valid), one message must
// have been issued, and nothing may be left allocated.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakMergeTypes.h"

using namespace ostak;
using namespace ostak_test;

namespace {

struct Scenario {
    int32_t sourceKind;
    int32_t targetKind;
    uint8_t replace;
};

std::ostream &operator<<(std::ostream &out, const Scenario &s) {
    return out << s.sourceKind << " into " << s.targetKind << (s.replace ? " replacing" : "");
}

// Every kind of step: a rule merge with events 4, 5 and 6 and a copy under a
// proposed name that sorts before its original, a new application, a skipped
// one, equal stamps (replaced without asking in direction 0), equal rules.
FilePtr MakeSource(int32_t kind) {
    return MakeFile(kind, {
                              {"Alpha", {R("a1"), R("a2", "src"), R("a4")}, OstakDiffApply, 1, "h", 10},
                              {"Beta", {R("b1"), R("b2")}, OstakDiffApply, 0, "h", 20},
                              {"Delta", {R("d1")}, OstakDiffSkip, 1, "h", 30},
                              {"Gamma", {R("g1", "src")}, OstakDiffApply, 1, "same", 40},
                              {"Kappa", {R("Rule_9", "src"), R("k2")}, OstakDiffApply, 0, "h", 50},
                              {"Omega", {R("o1")}, OstakDiffApply, 1, "h", 60},
                          });
}

FilePtr MakeTarget(int32_t kind) {
    return MakeFile(kind, {
                              {"Alpha", {R("a2", "tgt"), R("a3"), R("a4")}, 0, 0, "t", 11},
                              {"Delta", {R("d1", "tgt")}, 0, 1, "t", 31},
                              {"Gamma", {R("g1", "tgt"), R("g2")}, 0, 0, "same", 40},
                              {"Kappa", {R("Rule_9", "tgt"), R("k3")}, 0, 1, "t", 51},
                              {"Omega", {R("o1")}, 0, 0, "t", 61},
                              {"Target_only", {R("x")}, 0, 1, "t", 70},
                          });
}

// The addresses of every application and rule of the list, in order.
std::vector<const void *> Objects(const OstakListAppl &list) {
    std::vector<const void *> objects;
    for (const OstakElemAppl *appl = list.FirstAppl(); appl != nullptr; appl = appl->NextAppl()) {
        objects.push_back(appl);
        objects.push_back(appl->Rules());
        for (const OstakElemRule *rule = appl->Rules()->FirstRule(); rule != nullptr;
             rule = rule->NextRule()) {
            objects.push_back(rule);
        }
    }
    return objects;
}

class MergeRollback : public MergeExportTest, public ::testing::WithParamInterface<Scenario> {
  protected:
    // Runs the scenario with the current answers; checks the outcome of a failure.
    int32_t RunOnce(int32_t expectedFailure, int32_t expectedMessage, const std::string &what,
                    std::string *sourceAfter = nullptr, std::string *targetAfter = nullptr,
                    uint64_t failAllocation = 0, uint64_t *allocations = nullptr) {
        const Scenario &s = GetParam();
        const int64_t liveBefore = LiveAllocations();
        int32_t rc = 0;
        {
            FilePtr source = MakeSource(s.sourceKind);
            FilePtr target = MakeTarget(s.targetKind);
            const ListSnap source0 = Snap(source->Applications());
            const ListSnap target0 = Snap(target->Applications());
            const std::vector<const void *> sourceObjects = Objects(source->Applications());
            const std::vector<const void *> targetObjects = Objects(target->Applications());
            const int64_t liveFiles = LiveAllocations();
            ostak_test::Log().clear();
            const uint64_t attempts = AllocationAttempts();
            Seams().failAllocationAt = failAllocation;
            rc = xfeOstakHandleDifferencesInTargetBySourceMark(H(source), H(target), s.replace);
            Seams().failAllocationAt = 0;
            if (allocations != nullptr) {
                *allocations = AllocationAttempts() - attempts;
            }
            if (rc != 0) {
                EXPECT_EQ(rc, expectedFailure) << what;
                ExpectIssuedOnce(expectedMessage);
                EXPECT_EQ(Snap(source->Applications()), source0) << what;
                EXPECT_EQ(Snap(target->Applications()), target0) << what;
                EXPECT_EQ(Objects(source->Applications()), sourceObjects) << what << ": other objects";
                EXPECT_EQ(Objects(target->Applications()), targetObjects) << what << ": other objects";
                EXPECT_EQ(LiveAllocations(), liveFiles) << what << ": the call left memory behind";
            } else {
                EXPECT_TRUE(ostak_test::Log().empty()) << what;
                if (sourceAfter != nullptr) {
                    *sourceAfter = Describe(source->Applications(), Since(started_));
                    *targetAfter = Describe(target->Applications(), Since(started_));
                }
            }
        }
        EXPECT_EQ(LiveAllocations(), liveBefore) << what << ": the files were not freed";
        return rc;
    }
};

TEST_P(MergeRollback, CancelAtEveryDecisionPoint) {
    ScriptedMerge::Reset(AnswerKeepAll);
    ASSERT_EQ(RunOnce(0, 0, "all answered"), 0);
    const std::size_t decisions = ScriptedMerge::Calls().size();
    EXPECT_GE(decisions, GetParam().replace ? 0u : 4u);
    for (std::size_t cancelAt = 0; cancelAt < decisions; ++cancelAt) {
        ScriptedMerge::Reset([cancelAt](const MergeCall &call, std::size_t index) {
            return index == cancelAt ? 0u : AnswerKeepAll(call, index);
        });
        const std::string what = "cancel at decision " + std::to_string(cancelAt);
        EXPECT_EQ(RunOnce(OSTAK_E_CANCELLED, -32583, what), OSTAK_E_CANCELLED) << what;
        EXPECT_EQ(ScriptedMerge::Calls().size(), cancelAt + 1) << what << ": the walk stops at the cancel";
    }
}

TEST_P(MergeRollback, AnswerOutOfRangeAtEveryDecisionPoint) {
    ScriptedMerge::Reset(AnswerKeepAll);
    ASSERT_EQ(RunOnce(0, 0, "all answered"), 0);
    const std::size_t decisions = ScriptedMerge::Calls().size();
    for (std::size_t badAt = 0; badAt < decisions; ++badAt) {
        ScriptedMerge::Reset([badAt](const MergeCall &call, std::size_t index) {
            return index == badAt ? 4u : AnswerKeepAll(call, index);
        });
        const std::string what = "answer 4 at decision " + std::to_string(badAt);
        EXPECT_EQ(RunOnce(OSTAK_E_BAD_ANSWER, -32582, what), OSTAK_E_BAD_ANSWER) << what;
    }
}

TEST_P(MergeRollback, FailTheNthAllocationUntilTheCallSucceeds) {
    ScriptedMerge::Reset(AnswerKeepAll);
    std::string expectedSource;
    std::string expectedTarget;
    uint64_t allocations = 0;
    ASSERT_EQ(RunOnce(0, 0, "no failure", &expectedSource, &expectedTarget, 0, &allocations), 0);
    uint64_t n = 1;
    for (;; ++n) {
        ASSERT_LT(n, 2000u) << "the call never succeeded";
        ScriptedMerge::Reset(AnswerKeepAll);
        std::string sourceAfter;
        std::string targetAfter;
        const std::string what = "allocation " + std::to_string(n) + " failing";
        const int32_t rc = RunOnce(OSTAK_E_NO_MEMORY, -32590, what, &sourceAfter, &targetAfter, n);
        if (rc == 0) {
            EXPECT_EQ(sourceAfter, expectedSource) << "the first call that succeeds gives the usual result";
            EXPECT_EQ(targetAfter, expectedTarget);
            break;
        }
    }
    // Every allocation of the call (the message of a failure aside) failed once.
    EXPECT_EQ(n, allocations + 1) << "the sweep missed an allocation, or the call allocated differently";
    EXPECT_GT(n, 10u);
}

INSTANTIATE_TEST_SUITE_P(MergeDirections, MergeRollback,
                         ::testing::Values(Scenario{0, 1, 0}, Scenario{1, 0, 0}, Scenario{3, 0, 0},
                                           Scenario{2, 1, 0}, Scenario{3, 1, 0}, Scenario{2, 1, 1},
                                           Scenario{0, 1, 1}));

class MergeRollbackScenario : public MergeExportTest {};

// The scenario in direction 0, every decision answered for both sides: the
// result that the allocation sweep compares against, checked once in full.
TEST_F(MergeRollbackScenario, OutcomeInDirectionZero) {
    FilePtr source = MakeSource(0);
    FilePtr target = MakeTarget(1);
    ScriptedMerge::Reset(AnswerKeepAll);
    ASSERT_EQ(xfeOstakHandleDifferencesInTargetBySourceMark(H(source), H(target), 0), 0);
    std::vector<std::pair<int32_t, std::string>> calls;
    for (const MergeCall &call : ScriptedMerge::Calls()) {
        calls.emplace_back(call.event, call.applName + "/" + call.ruleName + ":" + call.proposed);
    }
    const std::vector<std::pair<int32_t, std::string>> expectedCalls = {
        {4, "Alpha/a1:"}, {6, "Alpha/a2:a2_1"}, {5, "Alpha/a3:"}, {6, "Kappa/Rule_9:Rule_10"},
        {4, "Kappa/k2:"}, {5, "Kappa/k3:"}};
    EXPECT_EQ(calls, expectedCalls);

    // Delta is skipped; Omega's rules are equal, so the source takes the target's stamp.
    EXPECT_EQ(Describe(source->Applications(), Since(started_)),
              "Alpha 'thishost'@now mark=1 {a1='text'; a2='tgt'; a2_1='src'; a3='text'; a4='text'}\n"
              "Beta off 'thishost'@now mark=1 {b1='text'; b2='text'}\n"
              "Delta 'h'@30 {d1='text'}\n"
              "Gamma 'thishost'@now mark=1 {g1='src'}\n"
              "Kappa off 'thishost'@now mark=1 {Rule_10='src'; Rule_9='tgt'; k2='text'; k3='text'}\n"
              "Omega 't'@61 mark=1 {o1='text'}");
    // The merged rules, the stamps and Enabled of direction 0; Delta and
    // Target_only (no marked namesake) disabled.
    EXPECT_EQ(Describe(target->Applications(), Since(started_)),
              "Alpha 'thishost'@now {a1='text'; a2='tgt'; a2_1='src'; a3='text'; a4='text'}\n"
              "Beta off 'thishost'@now mark=1 {b1='text'; b2='text'}\n"
              "Delta off 't'@31 {d1='tgt'}\n"
              "Gamma 'thishost'@now {g1='src'}\n"
              "Kappa off 'thishost'@now {Rule_10='src'; Rule_9='tgt'; k2='text'; k3='text'}\n"
              "Omega 't'@61 {o1='text'}\n"
              "Target_only off 't'@70 {x='text'}");
    for (const char *name : {"Alpha", "Beta", "Gamma", "Kappa"}) {
        EXPECT_EQ(Appl(*target, name)->StampTime(), Appl(*source, name)->StampTime())
            << name << ": one stamp";
    }
}

} // namespace
