// The names proposed for a copy kept beside its namesake: counting on from a
// number after an underscore, and avoiding every name taken.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakProposedName.h"

#include <algorithm>
#include <memory>
#include <random>

using namespace ostak;
using namespace ostak_test;

namespace {

class MergeProposedName : public ostak_test::OstakTest {
  protected:
    std::string Propose(const char *name, const std::vector<std::vector<std::string>> &taken) {
        std::vector<std::unique_ptr<OstakListRule>> lists;
        std::vector<const OstakListRule *> pointers;
        for (const std::vector<std::string> &names : taken) {
            lists.push_back(std::make_unique<OstakListRule>());
            for (const std::string &n : names) {
                lists.back()->InsertInOrder(MakeRule({n}));
            }
            pointers.push_back(lists.back().get());
        }
        OstakProposedName proposal;
        EXPECT_EQ(proposal.Make(name, pointers.data(), pointers.size()), 0);
        return proposal.Text();
    }
};

TEST_F(MergeProposedName, Cases) {
    struct Case {
        const char *name;
        std::vector<std::vector<std::string>> taken;
        const char *expected;
    };
    const std::string longName(1000, 'n');
    const Case cases[] = {
        {"Rule_7", {{"Rule_7"}, {"Rule_7"}, {}}, "Rule_8"},
        {"Rule_7", {{"Rule_7", "Rule_8"}, {"Rule_9"}, {"Rule_10"}}, "Rule_11"},
        {"Rule_7", {{"Rule_9"}, {}, {}}, "Rule_8"},
        {"Check", {{"Check"}, {"Check"}, {}}, "Check_1"},
        {"Check", {{"Check_1"}, {"Check_2"}, {"Check_3", "Check_5"}}, "Check_4"},
        {"Rule_x", {{}, {}, {}}, "Rule_x_1"},
        {"Rule_", {{}, {}, {}}, "Rule__1"},
        {"Rule_007", {{}, {}, {}}, "Rule_8"},
        {"Rule_0", {{"Rule_1"}, {}, {}}, "Rule_2"},
        {"rule_7", {{}, {}, {}}, "rule_7_1"},
        {"RULE_7", {{}, {}, {}}, "RULE_7_1"},
        {"Rule_7a", {{}, {}, {}}, "Rule_7a_1"},
        {"Rule_99999999999", {{}, {}, {}}, "Rule_99999999999_1"},
        {"Rule_2147483647", {{}, {}, {}}, "Rule_2147483648"},
        {"Rule_4294967295", {{}, {}, {}}, "Rule_4294967296"},
        {"", {{}, {}, {}}, "_1"},
        {"A_1", {{"A_1_1"}, {}, {}}, "A_1_2"},
        {"Rule_8", {{"rule_9"}, {}, {}}, "Rule_9"},
        // Only names printed as a proposal is printed block it.
        {"Check", {{"Check_01", "Check_1a", "Check1"}, {"Check__1"}, {"check_1"}}, "Check_1"},
        {"Rule_3", {{"Rule_04", "Rule_4_"}, {"Rule_4x"}, {}}, "Rule_4"},
        // Gaps, and runs of taken numbers spread over the lists.
        {"Rule_1", {{"Rule_2", "Rule_4"}, {"Rule_3", "Rule_6"}, {"Rule_5", "Rule_8"}}, "Rule_7"},
        {"Rule_10", {{"Rule_2", "Rule_3"}, {}, {}}, "Rule_11"},
        // Stems that begin other stems, or end where other names go on.
        {"Ab", {{"Ab_1_1", "Ab_10", "A_1", "Ab_1x", "Abc_1"}, {"Ab_2"}, {}}, "Ab_1"},
        {"Ab_1", {{"Ab_1_1", "Ab_2"}, {"Ab_1_2"}, {}}, "Ab_1_3"},
        {"Rule", {{"Rule_1", "Rule_2"}, {}, {}}, "Rule_3"},
        // Numbers beyond 32 bits are not read: "_1" is appended. Taken names
        // near and beyond 2^64 - 1 block nothing they do not print.
        {"Rule_4294967296", {{}, {}, {}}, "Rule_4294967296_1"},
        {"Rule_4294967295",
         {{"Rule_4294967296", "Rule_18446744073709551615"}, {"Rule_18446744073709551616"}, {}},
         "Rule_4294967297"},
        {"Rule_18446744073709551615",
         {{"Rule_18446744073709551615_1"}, {}, {}},
         "Rule_18446744073709551615_2"},
        {"X", {{"X_18446744073709551615", "X_99999999999999999999999", "X_1"}, {}, {}}, "X_2"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Propose(c.name, c.taken), c.expected) << c.name;
    }
    EXPECT_EQ(Propose(longName.c_str(), {{longName + "_1"}}), longName + "_2");
}

TEST_F(MergeProposedName, TakenNamesAreFoundInUnsortedLists) {
    // "Check_1" stands where "Z" was, after "Check_2": a full walk still sees it.
    auto list = std::make_unique<OstakListRule>();
    list->InsertInOrder(MakeRule({"Check_2"}));
    list->InsertInOrder(MakeRule({"Z"}));
    ASSERT_EQ(list->FindRule("Z")->SetName("Check_1"), 0);
    const OstakListRule *lists[] = {list.get()};
    OstakProposedName proposal;
    ASSERT_EQ(proposal.Make("Check", lists, 1), 0);
    EXPECT_STREQ(proposal.Text(), "Check_3");
}

// The proposal as a scan of every list per candidate finds it: the reference
// that the index must agree with.
std::string ReferenceProposal(const std::string &name, const std::vector<std::string> &taken) {
    const std::string prefix = "Rule_";
    std::string stem = name + "_";
    unsigned long long counter = 0;
    const std::string rest = name.substr(std::min(name.size(), prefix.size()));
    if (name.compare(0, prefix.size(), prefix) == 0 && !rest.empty() && rest.size() <= 10 &&
        rest.find_first_not_of("0123456789") == std::string::npos && std::stoull(rest) <= 0xFFFFFFFFull) {
        stem = prefix;
        counter = std::stoull(rest);
    }
    for (;;) {
        const std::string candidate = stem + std::to_string(++counter);
        if (std::find(taken.begin(), taken.end(), candidate) == taken.end()) {
            return candidate;
        }
    }
}

TEST_F(MergeProposedName, IndexAgreesWithAScanOfEveryList) {
    // Random lists of names like proposals and near misses; every proposal
    // then enters the third list, as a merge keeping both copies does.
    std::mt19937 random(20261208);
    const char *const stems[] = {"Rule_", "Rule_1_", "a_", "a_1_", "a", "Rule", "b_0"};
    const auto randomName = [&] {
        std::string name = stems[random() % (sizeof stems / sizeof stems[0])];
        const unsigned number = random() % 40;
        name += random() % 9 == 0 ? "0" + std::to_string(number) : std::to_string(number);
        return name;
    };
    for (int round = 0; round < 40; ++round) {
        OstakListRule lists[3];
        std::vector<std::string> taken;
        for (int i = 0; i < 60; ++i) {
            const std::string name = randomName();
            if (std::find(taken.begin(), taken.end(), name) == taken.end() || i % 2 == 0) {
                lists[i % 2].InsertInOrder(MakeRule({name}));
                taken.push_back(name);
            }
        }
        const OstakListRule *const pointers[] = {&lists[0], &lists[1], &lists[2]};
        OstakTakenNames index;
        ASSERT_EQ(index.Build(pointers, 3, 0), 0);
        for (int i = 0; i < 30; ++i) {
            const std::string name = randomName();
            OstakProposedName proposal;
            ASSERT_EQ(proposal.Make(name.c_str(), index), 0);
            ASSERT_EQ(proposal.Text(), ReferenceProposal(name, taken)) << "round " << round << ", " << name;
            OstakElemRule *copy = MakeRule({proposal.Text()});
            lists[2].InsertInOrder(copy);
            ASSERT_EQ(index.Add(copy->Name()), 0);
            taken.push_back(copy->Name());
        }
    }
}

TEST_F(MergeProposedName, NoMemoryForTheIndex) {
    // The stems' copies, then the tables: each failure leaves the index empty.
    const std::unique_ptr<OstakListRule> list = std::make_unique<OstakListRule>();
    list->InsertInOrder(MakeRule({"Check_1"}));
    const OstakListRule *lists[] = {list.get()};
    OstakTakenNames index;
    int32_t rc = OSTAK_E_NO_MEMORY;
    int failures = 0;
    for (uint64_t n = 1; rc != 0; ++n) {
        ASSERT_LT(n, 10u);
        const int64_t live = LiveAllocations();
        Seams().failAllocationAt = n;
        rc = index.Build(lists, 1, 0);
        Seams().failAllocationAt = 0;
        if (rc != 0) {
            ++failures;
            EXPECT_EQ(rc, OSTAK_E_NO_MEMORY);
            EXPECT_EQ(LiveAllocations(), live) << "allocation " << n;
            EXPECT_EQ(index.FirstFreeAfter("Check_", 6, 0), 1u) << "allocation " << n;
        }
    }
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(index.FirstFreeAfter("Check_", 6, 0), 2u);
}

TEST_F(MergeProposedName, TheIndexKeepsItsOwnStems) {
    // A rule renamed after the index was built frees its old name; the index
    // still answers from the names it indexed.
    const std::unique_ptr<OstakListRule> list = std::make_unique<OstakListRule>();
    list->InsertInOrder(MakeRule({"Check_1"}));
    const OstakListRule *lists[] = {list.get()};
    OstakTakenNames index;
    ASSERT_EQ(index.Build(lists, 1, 0), 0);
    ASSERT_EQ(list->First()->SetName("Other_1"), 0);
    EXPECT_EQ(index.FirstFreeAfter("Check_", 6, 0), 2u);
    EXPECT_EQ(index.FirstFreeAfter("Other_", 6, 0), 1u);
}

TEST_F(MergeProposedName, NoMemoryForTheBuffer) {
    OstakProposedName proposal;
    Seams().failAllocationAt = 1;
    EXPECT_EQ(proposal.Make("Check", nullptr, 0), OSTAK_E_NO_MEMORY);
    EXPECT_STREQ(proposal.Text(), "");
}

} // namespace
