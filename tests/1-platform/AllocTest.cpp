// The allocation seam: every allocation of the library passes through it.
#include "tests/support/TestSupport.h"

#include "1-platform/Alloc.h"
#include "1-platform/tasklib.h"

#include <new>

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the other files of the platform stand-ins.
using PlatformTest = OstakTest;

TEST_F(PlatformTest, AllocationSeamFailsExactlyTheNthAllocation) {
    Seams().failAllocationAt = 3;
    void *first = maw_malloc(8);
    void *second = maw_malloc(8);
    void *third = maw_malloc(8);
    void *fourth = maw_malloc(8);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(third, nullptr);
    EXPECT_NE(fourth, nullptr) << "only the Nth fails unless failAllocationsAfter is set";
    maw_free(first);
    maw_free(second);
    maw_free(fourth);

    Seams().failAllocationAt = 2;
    Seams().failAllocationsAfter = true;
    void *ok = maw_malloc(4);
    EXPECT_NE(ok, nullptr);
    EXPECT_EQ(maw_malloc(4), nullptr);
    EXPECT_EQ(maw_malloc(4), nullptr);
    maw_free(ok);
}

TEST_F(PlatformTest, ResettingTheSeamsDisarmsTheAllocationSeam) {
    const uint64_t attempts = AllocationAttempts();
    Seams().failAllocationAt = 1;
    Seams().failAllocationsAfter = true;
    ResetSeams();
    void *blocks[3] = {maw_malloc(8), maw_malloc(8), maw_malloc(8)};
    for (void *block : blocks) {
        EXPECT_NE(block, nullptr);
        maw_free(block);
    }
    EXPECT_EQ(AllocationAttempts(), attempts + 3) << "every attempt is counted, armed or not";
}

struct Counted : SeamAllocated {
    int value = 1;
};

TEST_F(PlatformTest, SeamAllocatedRecordsGoThroughTheSeam) {
    const int64_t before = LiveAllocations();
    Counted *made = new (std::nothrow) Counted;
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(LiveAllocations(), before + 1);
    delete made;
    EXPECT_EQ(LiveAllocations(), before);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(new (std::nothrow) Counted, nullptr);
    Seams().failAllocationAt = 1;
    EXPECT_THROW(delete new Counted, std::bad_alloc);
}

} // namespace
