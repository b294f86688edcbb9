// Name-ordered lists: the order of names, adding, inserting in order and
// after an element, re-sorting, finding, deleting, copying and moving.
#include "tests/support/Fixtures.h"

#include <chrono>
#include <cstdio>

using namespace ostak;
using namespace ostak_test;

namespace {

class ModelList : public ModelTest {};

TEST_F(ModelList, NamesCompareBytewiseUnsigned) {
    struct Case {
        const char *a;
        const char *b;
        int sign;
    };
    const Case cases[] = {
        {"B", "a", -1},   {"a", "ab", -1}, {"", "0", -1},     {"Z", "_", -1}, {"_", "a", -1},
        {"#", "$", -1},   {"9", "@", -1},  {"abc", "abc", 0}, {"", "", 0},    {"a\x7f", "a\x80", -1},
        {"\xff", "z", 1}, {"ab", "a", 1},  {"b", "ab", 1},
    };
    for (const Case &c : cases) {
        const int order = CompareNames(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST_F(ModelList, AddEmptyLinksNewElementsAtTheHead) {
    OstakListAppl list;
    OstakElemAppl *made[3] = {};
    for (OstakElemAppl *&appl : made) {
        ASSERT_EQ(list.AddEmpty(&appl, ostak_test::TestContext()), 0);
    }
    EXPECT_EQ(Names(list), (NameList{"", "", ""}));
    EXPECT_EQ(list.First(), made[2]);
    EXPECT_EQ(made[2]->Next(), made[1]);
    EXPECT_EQ(made[1]->Next(), made[0]);
    EXPECT_EQ(list.AddEmpty(nullptr, ostak_test::TestContext()), OSTAK_E_INTERNAL_ARGUMENT);

    OstakListRule rules;
    OstakElemRule *rule = nullptr;
    ASSERT_EQ(rules.AddEmpty(&rule), 0);
    EXPECT_EQ(rules.First(), rule);
    EXPECT_EQ(rule->List(), &rules);
}

TEST_F(ModelList, AddEmptyWithoutMemoryLeavesTheListAsItWas) {
    OstakListAppl list;
    OstakElemAppl *first = nullptr;
    ASSERT_EQ(list.AddEmpty(&first, ostak_test::TestContext()), 0);
    // The record and its stamp's host name.
    for (uint64_t n = 1; n <= 2; ++n) {
        const int64_t live = LiveAllocations();
        OstakElemAppl *appl = first;
        Seams().failAllocationAt = n;
        EXPECT_EQ(list.AddEmpty(&appl, ostak_test::TestContext()), OSTAK_E_NO_MEMORY) << "allocation " << n;
        Seams().failAllocationAt = 0;
        EXPECT_EQ(appl, nullptr);
        EXPECT_EQ(list.First(), first);
        EXPECT_EQ(list.Last(), first);
        EXPECT_EQ(LiveAllocations(), live);
    }
    OstakListRule rules;
    OstakElemRule *rule = reinterpret_cast<OstakElemRule *>(first);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(rules.AddEmpty(&rule), OSTAK_E_NO_MEMORY);
    EXPECT_EQ(rule, nullptr);
    EXPECT_TRUE(rules.Empty());
}

TEST_F(ModelList, InsertInOrderPlacesNamesakesBeforeTheirTwin) {
    OstakListRule list;
    std::vector<OstakElemRule *> rules = InsertRules(list, {"b", "a", "c"});
    EXPECT_EQ(Names(list), (NameList{"a", "b", "c"}));
    OstakElemRule *twin = NewRule("b");
    EXPECT_EQ(list.InsertInOrder(twin), OSTAK_E_DUPLICATE_NAME);
    EXPECT_EQ(Names(list), (NameList{"a", "b", "b", "c"}));
    EXPECT_EQ(rules[1]->Prev(), rules[0]->Next() == twin ? twin : nullptr) << "the new b stands first";
    EXPECT_EQ(twin->Next(), rules[0]);
    EXPECT_EQ(list.InsertInOrder(nullptr), OSTAK_E_INTERNAL_ARGUMENT);
}

TEST_F(ModelList, InsertInOrderCases) {
    struct Case {
        NameList existing;
        const char *name;
        NameList expected;
        int32_t rc;
    };
    const Case cases[] = {
        {{}, "a", {"a"}, 0},
        {{"b"}, "a", {"a", "b"}, 0},
        {{"a"}, "b", {"a", "b"}, 0},
        {{"a"}, "B", {"B", "a"}, 0},
        {{"ab"}, "a", {"a", "ab"}, 0},
        {{"a", "c"}, "b", {"a", "b", "c"}, 0},
        {{"a", "c"}, "c", {"a", "c", "c"}, 5},
        {{"a", "c"}, "a", {"a", "a", "c"}, 5},
        {{"", "x"}, "", {"", "", "x"}, 5},
    };
    for (const Case &c : cases) {
        OstakListRule list;
        InsertRules(list, c.existing);
        OstakElemRule *rule = NewRule(c.name);
        EXPECT_EQ(list.InsertInOrder(rule), c.rc) << c.name;
        EXPECT_EQ(Names(list), c.expected) << c.name;
        EXPECT_EQ(rule->List(), &list);
    }
}

TEST_F(ModelList, LinkedElementIsNotInsertedTwice) {
    OstakListRule one;
    OstakListRule two;
    OstakElemRule *rule = InsertRules(one, {"a"})[0];
    EXPECT_EQ(two.InsertInOrder(rule), OSTAK_E_INTERNAL_ARGUMENT);
    EXPECT_EQ(two.InsertAfter(rule, nullptr), OSTAK_E_INTERNAL_ARGUMENT);
    EXPECT_TRUE(two.Empty());
    EXPECT_EQ(Names(one), (NameList{"a"}));
}

TEST_F(ModelList, ResortMovesARenamedElement) {
    OstakListRule list;
    std::vector<OstakElemRule *> rules = InsertRules(list, {"b", "c", "z"});
    ASSERT_EQ(rules[2]->SetName("a"), 0);
    EXPECT_EQ(Names(list), (NameList{"b", "c", "a"})) << "renaming does not move";
    EXPECT_EQ(list.Resort(rules[2]), 0);
    EXPECT_EQ(Names(list), (NameList{"a", "b", "c"}));

    ASSERT_EQ(rules[2]->SetName("c"), 0);
    EXPECT_EQ(list.Resort(rules[2]), OSTAK_E_DUPLICATE_NAME);
    EXPECT_EQ(Names(list), (NameList{"b", "c", "c"}));
    EXPECT_EQ(rules[2]->Next(), rules[1]) << "linked before its twin";

    OstakListRule other;
    OstakElemRule *stranger = InsertRules(other, {"0"})[0];
    EXPECT_EQ(list.Resort(stranger), OSTAK_E_NOT_IN_LIST);
    EXPECT_EQ(Names(other), (NameList{"0"}));
    EXPECT_EQ(Names(list), (NameList{"b", "c", "c"}));
    EXPECT_EQ(list.Resort(nullptr), OSTAK_E_INTERNAL_ARGUMENT);
}

// Re-sorting an element whose neighbours already enclose its name asks only
// them, leaves the chain as it is and gives what insert in order would give;
// a list with a tree then searches as before the rename, the element back in
// its tree. A name equal to the predecessor's still moves the element before
// its twin.
TEST_F(ModelList, ResortOfAnElementThatKeepsItsPlaceAsksItsNeighbours) {
    struct Case {
        const char *what;
        int index;            // of n00, n02, ... n38
        const char *rename;   // null: the name stays
        int32_t rc;
        uint64_t comparisons; // of the re-sort, when the element stays
        int movedTo;          // -1: stays
    };
    const Case cases[] = {
        {"unchanged, in the middle", 7, nullptr, 0, 2, -1},
        {"unchanged, the head", 0, nullptr, 0, 1, -1},
        {"unchanged, the tail", 19, nullptr, 0, 1, -1},
        {"renamed between its neighbours", 7, "n15", 0, 2, -1},
        {"renamed to its successor's name", 7, "n16", OSTAK_E_DUPLICATE_NAME, 2, -1},
        {"renamed to its predecessor's name", 7, "n12", OSTAK_E_DUPLICATE_NAME, 0, 6},
        {"renamed past its successor", 7, "n17", 0, 0, 8},
    };
    for (const Case &c : cases) {
        OstakListRule list;
        std::vector<std::string> names;
        for (int i = 0; i < 20; ++i) {
            char name[8];
            std::snprintf(name, sizeof name, "n%02d", 2 * i);
            names.push_back(name);
        }
        std::vector<OstakElemRule *> rules;
        for (const std::string &name : names) {
            rules.push_back(InsertRules(list, {name.c_str()})[0]);
        }
        ASSERT_TRUE(list.HasTree());
        const auto costOfFinding = [&list](const char *name) {
            const uint64_t at = list.NameComparisons();
            list.FindByName(name);
            return list.NameComparisons() - at;
        };
        const uint64_t findBefore = costOfFinding("n21");
        OstakElemRule *rule = rules[c.index];
        if (c.rename != nullptr) {
            ASSERT_EQ(rule->SetName(c.rename), 0) << c.what;
        }
        const uint64_t at = list.NameComparisons();
        EXPECT_EQ(list.Resort(rule), c.rc) << c.what;
        NameList expected = names;
        if (c.rename != nullptr) {
            expected.erase(expected.begin() + c.index);
            expected.insert(expected.begin() + (c.movedTo < 0 ? c.index : c.movedTo), c.rename);
        }
        EXPECT_EQ(Names(list), expected) << c.what;
        EXPECT_TRUE(list.KnownInOrder()) << c.what;
        if (c.movedTo < 0) {
            // The tree holds the same chain as before: the same search.
            EXPECT_EQ(list.NameComparisons() - at, c.comparisons) << c.what;
            EXPECT_EQ(costOfFinding("n21"), findBefore) << c.what << ": the element is back in the tree";
        }
    }
}

// A renamed element that was not re-sorted leaves the chain out of order;
// inserting and finding must then walk from the head as they always do.
TEST_F(ModelList, UnsortedChainIsWalkedFromTheHead) {
    OstakListRule list;
    std::vector<OstakElemRule *> rules = InsertRules(list, {"a", "b", "c"});
    ASSERT_EQ(rules[1]->SetName("z"), 0);
    EXPECT_EQ(list.FindByName("z"), rules[1]);
    EXPECT_EQ(list.FindByName("c"), nullptr) << "the walk stops at z";
    OstakElemRule *d = NewRule("d");
    EXPECT_EQ(list.InsertInOrder(d), 0);
    EXPECT_EQ(Names(list), (NameList{"a", "d", "z", "c"}));

    EXPECT_EQ(list.Resort(rules[1]), 0);
    EXPECT_EQ(Names(list), (NameList{"a", "d", "c", "z"})) << "d stays where the walk put it";
    EXPECT_EQ(list.FindByName("c"), nullptr);
    EXPECT_EQ(list.InsertInOrder(NewRule("zz")), 0);
    EXPECT_EQ(Names(list), (NameList{"a", "d", "c", "z", "zz"}));

    EXPECT_EQ(list.Resort(d), 0);
    EXPECT_EQ(Names(list), (NameList{"a", "c", "d", "z", "zz"}));
    EXPECT_EQ(list.InsertInOrder(NewRule("zzz")), 0);
    EXPECT_EQ(list.FindByName("zz"), rules[1]->Next());
    EXPECT_EQ(Names(list), (NameList{"a", "c", "d", "z", "zz", "zzz"}));
}

TEST_F(ModelList, RenamingTheTailKeepsInsertionsFaithful) {
    OstakListRule list;
    std::vector<OstakElemRule *> rules = InsertRules(list, {"a", "b", "c"});
    ASSERT_EQ(rules[2]->SetName("0"), 0);
    EXPECT_EQ(list.FindByName("0"), nullptr) << "a sorts after 0, so the walk stops there";
    EXPECT_EQ(list.InsertInOrder(NewRule("B")), 0);
    EXPECT_EQ(Names(list), (NameList{"B", "a", "b", "0"}))
        << "a stops the walk, though the tail sorts before B";
    EXPECT_EQ(list.InsertInOrder(NewRule("x")), 0);
    EXPECT_EQ(Names(list), (NameList{"B", "a", "b", "0", "x"})) << "every name sorts before x";
}

TEST_F(ModelList, CopyingValuesIntoALinkedRuleCountsAsARename) {
    OstakListRule list;
    std::vector<OstakElemRule *> rules = InsertRules(list, {"a", "b", "c"});
    OstakElemRule *source = NewRule("z");
    ASSERT_EQ(rules[1]->CopyValuesFrom(*source), 0);
    delete source;
    EXPECT_EQ(list.FindByName("z"), rules[1]);
    EXPECT_EQ(list.InsertInOrder(NewRule("d")), 0);
    EXPECT_EQ(Names(list), (NameList{"a", "d", "z", "c"}));
}

TEST_F(ModelList, FindByName) {
    OstakListRule list;
    std::vector<OstakElemRule *> rules = InsertRules(list, {"a", "b", "c"});
    EXPECT_EQ(list.FindByName("b"), rules[1]);
    EXPECT_EQ(list.FindByName("a"), rules[0]);
    EXPECT_EQ(list.FindByName("c"), rules[2]);
    EXPECT_EQ(list.FindByName("bb"), nullptr);
    EXPECT_EQ(list.FindByName("0"), nullptr);
    EXPECT_EQ(list.FindByName("d"), nullptr);
    EXPECT_EQ(list.FindByName("B"), nullptr);
    EXPECT_EQ(list.FindByName(""), nullptr);
    EXPECT_EQ(list.FindByName(nullptr), nullptr);
    EXPECT_EQ(list.FindRule("c"), rules[2]);

    OstakElemRule *empty = nullptr;
    ASSERT_EQ(list.AddEmpty(&empty), 0);
    OstakElemRule *second = nullptr;
    ASSERT_EQ(list.AddEmpty(&second), 0);
    EXPECT_EQ(list.FindByName(""), second) << "the first empty-named element";
}

TEST_F(ModelList, DeleteElemIgnoresElementsOfOtherLists) {
    OstakListRule list;
    OstakListRule other;
    std::vector<OstakElemRule *> rules = InsertRules(list, {"a", "b", "c", "d"});
    OstakElemRule *stranger = InsertRules(other, {"b"})[0];
    EXPECT_EQ(list.DeleteElem(stranger), 0);
    EXPECT_EQ(Names(other), (NameList{"b"}));
    EXPECT_EQ(list.DeleteElem(nullptr), 0);

    EXPECT_EQ(list.DeleteElem(rules[1]), 0);
    EXPECT_EQ(Names(list), (NameList{"a", "c", "d"}));
    EXPECT_EQ(list.DeleteElem(rules[0]), 0);
    EXPECT_EQ(list.DeleteElem(rules[3]), 0);
    EXPECT_EQ(Names(list), (NameList{"c"}));
    EXPECT_EQ(list.DeleteElem(rules[2]), 0);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Last(), nullptr);
}

TEST_F(ModelList, InsertAfterCases) {
    struct Case {
        const char *what;
        NameList existing;
        int after; // index into existing, -1 for the head
        const char *name;
        int32_t rc;
        NameList expected;
    };
    const Case cases[] = {
        {"empty list", {}, -1, "a", 0, {"a"}},
        {"after the tail", {"a", "b"}, 1, "c", 0, {"a", "b", "c"}},
        {"between", {"a", "c"}, 0, "b", 0, {"a", "b", "c"}},
        {"at the head", {"b"}, -1, "a", 0, {"a", "b"}},
        {"equal to the one before", {"a", "b"}, 1, "b", 5, {"a", "b"}},
        {"before the one before", {"a", "c"}, 1, "b", 6, {"a", "c"}},
        {"equal to the follower", {"a", "c"}, 0, "c", 5, {"a", "c"}},
        {"after the follower", {"a", "c"}, 0, "d", 6, {"a", "c"}},
        {"head, after the first", {"b"}, -1, "c", 6, {"b"}},
        {"head, equal to the first", {"b"}, -1, "b", 5, {"b"}},
    };
    for (const Case &c : cases) {
        OstakListRule list;
        std::vector<OstakElemRule *> rules = InsertRules(list, c.existing);
        OstakElemRule *rule = NewRule(c.name);
        OstakElemRule *after = c.after < 0 ? nullptr : rules[static_cast<std::size_t>(c.after)];
        EXPECT_EQ(list.InsertAfter(rule, after), c.rc) << c.what;
        EXPECT_EQ(Names(list), c.expected) << c.what;
        if (c.rc != 0) {
            EXPECT_EQ(rule->List(), nullptr) << c.what;
            delete rule;
        }
    }
    OstakListRule list;
    OstakListRule other;
    OstakElemRule *stranger = InsertRules(other, {"a"})[0];
    OstakElemRule *rule = NewRule("b");
    EXPECT_EQ(list.InsertAfter(rule, stranger), OSTAK_E_NOT_IN_LIST);
    EXPECT_EQ(list.InsertAfter(nullptr, nullptr), OSTAK_E_INTERNAL_ARGUMENT);
    delete rule;
}

TEST_F(ModelList, BuildingByAppendingKeepsTheTail) {
    OstakListRule list;
    OstakElemRule *last = nullptr;
    for (const char *name : {"a", "b", "c"}) {
        OstakElemRule *rule = NewRule(name);
        ASSERT_EQ(list.InsertAfter(rule, last), 0);
        last = rule;
    }
    EXPECT_EQ(list.Last(), last);
    EXPECT_EQ(Names(list), (NameList{"a", "b", "c"}));
}

void FillApplications(OstakListAppl &list, const NameList &applNames) {
    for (const std::string &name : applNames) {
        OstakElemAppl *appl = OstakElemAppl::Create(ostak_test::TestContext());
        ASSERT_NE(appl, nullptr);
        ASSERT_EQ(appl->SetName(name.c_str()), 0);
        InsertRules(*appl->Rules(), {name + "1", name + "2", name + "3"});
        list.InsertInOrder(appl);
    }
}

TEST_F(ModelList, CopyMakesDeepCopiesInOrder) {
    OstakListAppl source;
    FillApplications(source, {"A", "B"});
    OstakListAppl target;
    FillApplications(target, {"X", "Y", "Z"});
    ASSERT_EQ(target.CopyFrom(&source, ostak_test::TestContext()), 0);
    EXPECT_EQ(Names(target), (NameList{"A", "B"}));
    for (OstakElemAppl *mine = source.FirstAppl(), *copy = target.FirstAppl(); mine != nullptr;
         mine = mine->NextAppl(), copy = copy->NextAppl()) {
        EXPECT_NE(copy, mine);
        EXPECT_EQ(Names(*copy->Rules()), Names(*mine->Rules()));
        EXPECT_NE(copy->Rules()->First(), mine->Rules()->First());
    }
    ASSERT_EQ(target.FirstAppl()->SetName("Changed"), 0);
    ASSERT_EQ(target.FirstAppl()->Rules()->FirstRule()->SetText("changed"), 0);
    EXPECT_STREQ(source.FirstAppl()->Name(), "A");
    EXPECT_STREQ(source.FirstAppl()->Rules()->FirstRule()->Text(), "text");
    EXPECT_EQ(target.CopyFrom(nullptr, ostak_test::TestContext()), OSTAK_E_INTERNAL_ARGUMENT);
}

TEST_F(ModelList, CopyWithoutMemoryLeavesTheTargetAsItWas) {
    OstakListAppl source;
    FillApplications(source, {"A", "B"});
    OstakListAppl target;
    FillApplications(target, {"X"});
    const OstakElem *kept = target.First();
    for (uint64_t n = 1;; ++n) {
        const int64_t live = LiveAllocations();
        Seams().failAllocationAt = n;
        const int32_t rc = target.CopyFrom(&source, ostak_test::TestContext());
        Seams().failAllocationAt = 0;
        if (rc == 0) {
            break;
        }
        ASSERT_EQ(rc, OSTAK_E_NO_MEMORY) << "allocation " << n;
        EXPECT_EQ(target.First(), kept) << "allocation " << n;
        EXPECT_EQ(Names(target), (NameList{"X"}));
        EXPECT_EQ(LiveAllocations(), live) << "allocation " << n;
    }
    EXPECT_EQ(Names(target), (NameList{"A", "B"}));
}

TEST_F(ModelList, CopyOfAnUnsortedListKeepsItsChain) {
    OstakListRule source;
    std::vector<OstakElemRule *> rules = InsertRules(source, {"a", "b", "c"});
    ASSERT_EQ(rules[1]->SetName("z"), 0);
    OstakListRule target;
    ASSERT_EQ(target.CopyFrom(&source), 0);
    EXPECT_EQ(Names(target), (NameList{"a", "z", "c"}));
    EXPECT_EQ(target.InsertInOrder(NewRule("d")), 0);
    EXPECT_EQ(Names(target), (NameList{"a", "d", "z", "c"}));

    ASSERT_EQ(source.CopyFrom(&source), 0) << "a list copied into itself";
    EXPECT_EQ(Names(source), (NameList{"a", "z", "c"}));
}

TEST_F(ModelList, MoveAllHandsOverEveryElement) {
    OstakListRule source;
    std::vector<OstakElemRule *> moved = InsertRules(source, {"a", "b"});
    OstakListRule target;
    InsertRules(target, {"x", "y", "z"});
    ASSERT_EQ(target.MoveAllFrom(&source), 0);
    EXPECT_TRUE(source.Empty());
    EXPECT_EQ(source.Last(), nullptr);
    EXPECT_EQ(Names(target), (NameList{"a", "b"}));
    EXPECT_EQ(target.First(), moved[0]);
    EXPECT_EQ(target.MoveAllFrom(nullptr), OSTAK_E_INTERNAL_ARGUMENT);
    EXPECT_EQ(target.MoveAllFrom(&target), 0);
    EXPECT_EQ(Names(target), (NameList{"a", "b"}));
    EXPECT_EQ(source.InsertInOrder(NewRule("c")), 0);
    EXPECT_EQ(Names(source), (NameList{"c"}));
}

TEST_F(ModelList, MoveAllCarriesAnUnsortedChain) {
    OstakListRule source;
    std::vector<OstakElemRule *> rules = InsertRules(source, {"a", "b", "c"});
    ASSERT_EQ(rules[1]->SetName("z"), 0);
    OstakListRule target;
    ASSERT_EQ(target.MoveAllFrom(&source), 0);
    EXPECT_EQ(target.InsertInOrder(NewRule("d")), 0);
    EXPECT_EQ(Names(target), (NameList{"a", "d", "z", "c"}));
}

TEST_F(ModelList, SwapElementsExchangesChainsAndTrees) {
    struct Case {
        NameList one, two;
    };
    const Case cases[] = {{{"a", "b"}, {"x", "y", "z"}}, {{}, {"m"}}, {{"k"}, {}}, {{}, {}}};
    for (const Case &c : cases) {
        OstakListRule one;
        OstakListRule two;
        InsertRules(one, c.one);
        InsertRules(two, c.two);
        one.SwapElements(two);
        one.SwapElements(one);
        EXPECT_EQ(Names(one), c.two);
        EXPECT_EQ(Names(two), c.one);
        // Each element answers to its new list, and each tree finds its own names.
        for (OstakListRule *list : {&one, &two}) {
            for (OstakElem *elem = list->First(); elem != nullptr; elem = elem->Next()) {
                EXPECT_EQ(elem->List(), list);
                EXPECT_EQ(list->FindByName(elem->Name()), elem);
            }
        }
        EXPECT_EQ(one.InsertInOrder(NewRule("n")), 0);
        EXPECT_EQ(two.DeleteElem(one.FindByName("n")), 0);
        EXPECT_NE(one.FindByName("n"), nullptr) << "deleting through the other list leaves it alone";
    }
}

TEST_F(ModelList, ClearEmptiesAndTheListStaysUsable) {
    OstakListAppl list;
    FillApplications(list, {"A", "B", "C"});
    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Last(), nullptr);
    FillApplications(list, {"D"});
    EXPECT_EQ(Names(list), (NameList{"D"}));
}

// Names that arrive in order are inserted without a walk from the head.
TEST_F(ModelList, InsertingManySortedNamesStaysFast) {
    constexpr int kCount = 200000;
    OstakListRule list;
    std::vector<OstakElemRule *> rules;
    rules.reserve(kCount);
    char name[16];
    for (int i = 0; i < kCount; ++i) {
        std::snprintf(name, sizeof name, "N%07d", i);
        OstakElemRule *rule = OstakElemRule::Create();
        ASSERT_NE(rule, nullptr);
        ASSERT_EQ(rule->SetName(name), 0);
        rules.push_back(rule);
    }
    const auto start = std::chrono::steady_clock::now();
    for (OstakElemRule *rule : rules) {
        ASSERT_EQ(list.InsertInOrder(rule), 0);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0) << "a walk from the head for each name would take minutes";
    EXPECT_EQ(list.Last(), rules.back());
    EXPECT_EQ(list.FindByName("N9999999"), nullptr);
}

} // namespace

namespace {

// Appending to a chain in order takes one comparison, with or without tree.
// While a renamed element waits to be re-sorted the list asks its walk or its
// tree; re-sorting that element puts the chain back in order, but a link
// made meanwhile leaves it unknown until the list is emptied.
TEST_F(ModelList, AppendingInOrderTakesOneComparison) {
    OstakListRule list;
    std::vector<OstakElemRule *> rules;
    for (int i = 0; i < 40; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "r%02d", i);
        rules.push_back(NewRule(name));
    }
    for (int i = 0; i < 10; ++i) {
        const uint64_t before = list.NameComparisons();
        ASSERT_EQ(list.InsertInOrder(rules[i]), 0);
        EXPECT_EQ(list.NameComparisons() - before, i == 0 ? 0u : 1u) << i;
    }
    ASSERT_EQ(rules[3]->SetName("r03"), 0) << "the same name: still a rename";
    const uint64_t before = list.NameComparisons();
    ASSERT_EQ(list.InsertInOrder(rules[10]), 0);
    EXPECT_EQ(list.NameComparisons() - before, 10u) << "the walk passes all ten";
    EXPECT_EQ(Names(list).back(), "r10");

    // A list emptied is in order again.
    list.Clear();
    for (int i = 11; i < 16; ++i) {
        ASSERT_EQ(list.InsertInOrder(rules[i]), 0);
    }
    const auto costOfFindingZz = [&list] {
        const uint64_t at = list.NameComparisons();
        EXPECT_EQ(list.FindByName("zz"), nullptr);
        return list.NameComparisons() - at;
    };
    EXPECT_EQ(costOfFindingZz(), 1u) << "past the last name: one comparison";
    ASSERT_EQ(rules[13]->SetName("r13"), 0);
    EXPECT_EQ(costOfFindingZz(), 5u) << "a renamed element waits: the walk passes all five";
    ASSERT_EQ(list.Resort(rules[13]), 0);
    EXPECT_EQ(costOfFindingZz(), 1u) << "re-sorted: in order again";
    for (int i = 16; i < 40; ++i) {
        ASSERT_EQ(list.InsertInOrder(rules[i]), 0);
    }
    EXPECT_TRUE(list.HasTree());
    EXPECT_EQ(costOfFindingZz(), 1u);
}

} // namespace
