// The cost of applying follows what is marked, not the size of the files: at
// sizes 16 to 1024 the allocations of the call and the changes it records
// (each one an entry of the undo log) are counted, and must be the same at
// every size when the marked part is the same, and grow in step with it when
// the marked part grows with the files. A copy of whole lists, a log entry
// per application walked, or an undo that re-walks the files would break it.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakApplyDifferences.h"
#include "6-merge/OstakMergeTypes.h"

#include <cstdio>

using namespace ostak;
using namespace ostak_test;

namespace {

struct Cost {
    uint64_t allocations = 0;
    uint64_t changes = 0;
    bool operator==(const Cost &o) const { return allocations == o.allocations && changes == o.changes; }
};

std::ostream &operator<<(std::ostream &out, const Cost &c) {
    return out << c.allocations << " allocations, " << c.changes << " changes";
}

std::string NameOf(const char *stem, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%05d", stem, i);
    return name;
}

struct Shape {
    const char *what;
    int32_t sourceKind;
    int32_t targetKind;
    // Of `size` applications in each file: those marked, and every how many a
    // marked one is only in the source (0: none); its rules differ when `differ`.
    int marked; // 0: a tenth of the size
    int newEvery;
    bool differ;
    bool cancel; // the callback cancels the last question: the call is undone
};

class MergeApplyCost : public MergeExportTest {
  protected:
    // Applies with the shape at that size; checks the outcome and gives the cost.
    Cost Measure(const Shape &shape, int size) {
        std::vector<ApplSpec> source;
        std::vector<ApplSpec> target;
        const int marked = shape.marked != 0 ? shape.marked : size / 10;
        for (int i = 0; i < size; ++i) {
            const bool mark = i % (size / marked) == 0;
            const bool onlyInSource =
                mark && shape.newEvery != 0 && (i / (size / marked)) % shape.newEvery == 0;
            // Target applications are disabled, so that direction 0's disabling changes none.
            source.push_back({NameOf("A", i),
                              {R("r1"), R("r2", shape.differ && mark ? "new" : "text")},
                              mark ? OstakDiffApply : OstakDiffSkip,
                              1,
                              "h",
                              10});
            if (!onlyInSource) {
                target.push_back({NameOf("A", i), {R("r1"), R("r2")}, 0, 0, "t", 20});
            }
        }
        FilePtr sourceFile = MakeFile(shape.sourceKind, source);
        FilePtr targetFile = MakeFile(shape.targetKind, target);
        const ListSnap target0 = Snap(targetFile->Applications());
        int questions = 0;
        ScriptedMerge::Reset([&](const MergeCall &call, std::size_t index) {
            ++questions;
            return shape.cancel && index + 1 == static_cast<std::size_t>(marked) ? 0u
                                                                                 : AnswerKeepAll(call, index);
        });
        Cost cost;
        const std::size_t indexNodes = targetFile->Applications().IndexNodes();
        const uint64_t attempts = AllocationAttempts();
        const int32_t rc =
            ApplyDifferences(*sourceFile, *targetFile, false, OstakContext::FromGlobals(), &cost.changes);
        // A new application may split its leaf of the list's index, and a
        // full parent above it, depending on where it lands: that share is
        // bounded per new application and counted apart.
        const std::size_t split = targetFile->Applications().IndexNodes() - indexNodes;
        EXPECT_LE(split, 3 * (static_cast<std::size_t>(size) - target0.size())) << shape.what << " at " << size;
        cost.allocations = AllocationAttempts() - attempts - split;
        EXPECT_EQ(rc, shape.cancel ? OSTAK_E_CANCELLED : OSTAK_OK) << shape.what << " at " << size;
        if (shape.cancel) {
            EXPECT_EQ(Snap(targetFile->Applications()), target0) << shape.what << " at " << size;
        } else {
            EXPECT_EQ(ApplNames(*targetFile).size(), static_cast<std::size_t>(size)) << shape.what;
        }
        return cost;
    }
};

TEST_F(MergeApplyCost, FollowsWhatIsMarked) {
    const Shape shapes[] = {
        {"8 marked, rules differ, into a script's file", 0, 1, 8, 0, true, false},
        {"8 marked, rules equal, into a plain file", 1, 0, 8, 0, false, false},
        {"8 marked, half of them new", 3, 0, 8, 2, false, false},
        {"8 marked, rules differ, cancelled at the last", 1, 0, 8, 0, true, true},
    };
    for (const Shape &shape : shapes) {
        // From 64 on, every list of applications keeps its search tree.
        const Cost small = Measure(shape, 64);
        EXPECT_GT(small.changes, 0u) << shape.what;
        for (int size : {256, 1024}) {
            EXPECT_EQ(Measure(shape, size), small) << shape.what << " at " << size << " against 64";
        }
    }
}

TEST_F(MergeApplyCost, GrowsInStepWithWhatIsMarked) {
    const Shape shapes[] = {
        {"a tenth marked, rules differ", 2, 1, 0, 0, true, false},
        {"a tenth marked, all new", 3, 1, 0, 1, false, false},
    };
    for (const Shape &shape : shapes) {
        const Cost small = Measure(shape, 160);
        const Cost large = Measure(shape, 1280);
        // Eight times the marked applications: eight times the changes, and
        // the allocations too, up to the log's doublings.
        EXPECT_EQ(large.changes, 8 * small.changes) << shape.what;
        EXPECT_LE(large.allocations, 8 * small.allocations) << shape.what;
        EXPECT_GE(large.allocations, 7 * small.allocations) << shape.what;
    }
}

} // namespace
