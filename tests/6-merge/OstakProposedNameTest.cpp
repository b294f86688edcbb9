// The names proposed for a copy kept beside its namesake: counting on from a
// number after an underscore, and avoiding every name taken.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakProposedName.h"

#include <memory>

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

TEST_F(MergeProposedName, NoMemoryForTheBuffer) {
    OstakProposedName proposal;
    Seams().failAllocationAt = 1;
    EXPECT_EQ(proposal.Make("Check", nullptr, 0), OSTAK_E_NO_MEMORY);
    EXPECT_STREQ(proposal.Text(), "");
}

} // namespace
