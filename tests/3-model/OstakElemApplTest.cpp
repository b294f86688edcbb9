// Applications: validation, the stamp given at construction, and cloning.
#include "tests/support/Fixtures.h"

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the tests of names and rules.
using ModelRecords = ModelTest;

TEST_F(ModelRecords, ApplicationValidationReportsTheFirstFailingRule) {
    ApplPtr appl = OwnedAppl();
    OstakElemRule *failing = reinterpret_cast<OstakElemRule *>(appl.get());
    EXPECT_EQ(appl->Validate(&failing), OSTAK_E_INVALID_NAME) << "empty name";
    EXPECT_EQ(failing, nullptr);

    ASSERT_EQ(appl->SetName("App"), 0);
    failing = reinterpret_cast<OstakElemRule *>(appl.get());
    EXPECT_EQ(appl->Validate(&failing), 0) << "no rules";
    EXPECT_EQ(failing, nullptr);

    OstakListRule &rules = *appl->Rules();
    rules.InsertInOrder(NewRule("A"));
    OstakElemRule *b = NewRule("B");
    ASSERT_EQ(b->SetText(""), 0);
    rules.InsertInOrder(b);
    OstakElemRule *c = NewRule("C");
    c->SetLevel(9);
    rules.InsertInOrder(c);
    EXPECT_EQ(appl->Validate(&failing), OSTAK_E_EMPTY_TEXT);
    EXPECT_EQ(failing, b);
    EXPECT_EQ(appl->Validate(nullptr), OSTAK_E_EMPTY_TEXT);

    ASSERT_EQ(appl->SetName(""), 0);
    EXPECT_EQ(appl->Validate(&failing), OSTAK_E_INVALID_NAME) << "the name is tested before the rules";
    EXPECT_EQ(failing, nullptr);
}

TEST_F(ModelRecords, NewApplicationIsStampedInFullMode) {
    ApplPtr appl = OwnedAppl();
    ASSERT_NE(appl->Rules(), nullptr);
    EXPECT_EQ(Describe(*appl, Since(started_)), "'' off 'thishost'@now {}");
    EXPECT_EQ(appl->List(), nullptr);
}

TEST_F(ModelRecords, NewApplicationIsNotStampedInReadOnlyMode) {
    Globals().readOnlyMode = true;
    ApplPtr appl = OwnedAppl();
    ASSERT_NE(appl->Rules(), nullptr);
    EXPECT_EQ(Describe(*appl), "'' off ''@0 {}");
}

TEST_F(ModelRecords, NewApplicationWithoutMemoryIsNull) {
    // The record (its rule list inside) and its stamp's host name: each can fail.
    for (uint64_t n = 1; n <= 2; ++n) {
        Seams().failAllocationAt = n;
        EXPECT_EQ(OstakElemAppl::Create(TestContext()), nullptr) << "allocation " << n;
    }
    Seams().failAllocationAt = 3;
    ApplPtr appl(OstakElemAppl::Create(TestContext()));
    EXPECT_NE(appl, nullptr);
}

ApplPtr ApplicationWithRules() {
    ApplPtr appl(OstakElemAppl::Create(TestContext()));
    EXPECT_EQ(appl->SetName("App"), 0);
    EXPECT_EQ(appl->SetStamp("otherhost", 123456), 0);
    appl->SetDiffMark(1003);
    appl->SetEnabled(2);
    InsertRules(*appl->Rules(), {"R1", "R2", "R3"});
    return appl;
}

TEST_F(ModelRecords, ApplicationCloneCarriesStampMarkFlagAndRules) {
    ApplPtr appl = ApplicationWithRules();
    ApplPtr copy(appl->Clone(TestContext()));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Describe(*copy), "App enabled=2 'otherhost'@123456 mark=1003 {R1='text'; R2='text'; R3='text'}")
        << "the copy keeps the stamp of what it copies";
    EXPECT_EQ(copy->List(), nullptr);
    const OstakElemRule *mine = appl->Rules()->FirstRule();
    for (const OstakElemRule *theirs = copy->Rules()->FirstRule(); theirs != nullptr;
         theirs = theirs->NextRule(), mine = mine->NextRule()) {
        EXPECT_NE(theirs, mine);
    }
    ASSERT_EQ(copy->Rules()->FirstRule()->SetText("changed"), 0);
    EXPECT_STREQ(appl->Rules()->FirstRule()->Text(), "text");
}

TEST_F(ModelRecords, ApplicationCloneWithoutMemoryLeavesNothing) {
    ApplPtr appl = ApplicationWithRules();
    uint64_t n = 1;
    for (;; ++n) {
        const int64_t live = LiveAllocations();
        Seams().failAllocationAt = n;
        ApplPtr copy(appl->Clone(TestContext()));
        Seams().failAllocationAt = 0;
        if (copy != nullptr) {
            EXPECT_EQ(Names(*copy->Rules()), (NameList{"R1", "R2", "R3"}));
            break;
        }
        EXPECT_EQ(LiveAllocations(), live) << "allocation " << n;
    }
    // Record (with its rule list), host, stamp host, then per rule the
    // record; short names and texts live in their records.
    EXPECT_EQ(n, 3u + 3u * 1u + 1u);
}

} // namespace
