// The lookup of applications by name with a cursor, as marking uses it.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakApplLookup.h"

#include <algorithm>
#include <random>

using namespace ostak;
using namespace ostak_test;

namespace {

// The element after which insert in order links `name` (null: the head).
OstakElem *PlaceOfInsertInOrder(const OstakList &list, const std::string &name) {
    OstakElem *after = nullptr;
    for (OstakElem *walk = list.First(); walk != nullptr && CompareNames(walk->Name(), name.c_str()) < 0;
         walk = walk->Next()) {
        after = walk;
    }
    return after;
}

bool InOrder(const OstakList &list) {
    for (const OstakElem *walk = list.First(); walk != nullptr && walk->Next() != nullptr;
         walk = walk->Next()) {
        if (CompareNames(walk->Name(), walk->Next()->Name()) > 0) {
            return false;
        }
    }
    return true;
}

// The suite shares its fixture with the tests of marking.
using MergeMark = MergeExportTest;

// The lookup by cursor answers exactly as find by name, for ascending,
// descending and random keys, on sorted and unsorted chains, also while
// applications are inserted at their sorted places between lookups.
// The long pool's lists keep a search tree, and its keys lie far apart, so
// that the lookup also hands over to the tree.
TEST_F(MergeMark, LookupAnswersAsFindByName) {
    std::mt19937 random(7);
    const std::vector<std::string> shortPool = {"",   "A", "AB", "Ab",  "B", "a",
                                                "ab", "b", "c",  "c_1", "z", "zz"};
    std::vector<std::string> longPool = shortPool;
    for (int i = 0; i < 120; ++i) {
        longPool.push_back("m" + std::to_string(i));
    }
    const std::vector<std::string> *pools[] = {&shortPool, &longPool};
    for (const std::vector<std::string> *poolOf : pools) {
        const std::vector<std::string> &pool = *poolOf;
        for (int round = 0; round < 200; ++round) {
            std::vector<ApplSpec> wanted;
            for (const std::string &name : pool) {
                if (random() % 2 == 0) {
                    wanted.push_back({name, {}});
                }
            }
            FilePtr file = MakeFile(0, wanted);
            if (round % 3 == 0 && !wanted.empty()) {
                // Rename one element without re-sorting it.
                OstakElem *victim = file->Applications().First();
                for (std::size_t skip = random() % wanted.size(); skip > 0; --skip) {
                    victim = victim->Next();
                }
                ASSERT_EQ(victim->SetName(pool[random() % pool.size()].c_str()), 0);
            }
            std::vector<std::string> keys = pool;
            keys.push_back("zzz");
            if (round % 2 == 0) {
                std::sort(keys.begin(), keys.end());
            } else {
                std::shuffle(keys.begin(), keys.end(), random);
            }
            OstakApplLookup lookup(file->Applications());
            for (const std::string &key : keys) {
                ASSERT_EQ(lookup.Find(key.c_str()), file->Applications().FindAppl(key.c_str()))
                    << "round " << round << " key '" << key << "'";
                // A miss on an ordered chain knows the place insert in order takes.
                OstakElem *place = nullptr;
                const bool known = lookup.PlaceOfMiss(place);
                if (known) {
                    ASSERT_EQ(place, PlaceOfInsertInOrder(file->Applications(), key)) << "round " << round;
                } else {
                    ASSERT_TRUE(file->Applications().FindAppl(key.c_str()) != nullptr ||
                                !InOrder(file->Applications()))
                        << "round " << round << " key '" << key << "'";
                }
                if (random() % 4 == 0 && file->Applications().FindAppl(key.c_str()) == nullptr) {
                    OstakElemAppl *appl = MakeAppl({key, {}});
                    if (!known || file->Applications().InsertAfter(appl, place) != 0) {
                        file->Applications().InsertInOrder(appl);
                    }
                }
            }
        }
    }
}

} // namespace
