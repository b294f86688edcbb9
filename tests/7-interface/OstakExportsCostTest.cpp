// What each operation costs in names compared, in a file of 256 and of 2,048
// applications. Searching by a tree costs log n per application, 11/8 as
// much in the larger file as in the smaller; a walk from the head where a
// search belongs costs eight times as much. Per application the larger file
// may cost at most twice what the smaller costs, and where no search is
// needed (names arriving in order or in reverse, a finalise that leaves an
// application where it stands, the lookups of marking and applying, which
// walk on from the last name, a script's file merging in a newer
// installation file) no more than the smaller. Every comparison of names in a
// list is counted by that list, the lookups' included.
#include "tests/support/Fixtures.h"

#include "6-merge/OstakApplyDifferences.h"
#include "6-merge/OstakMarkDifferences.h"
#include "6-merge/OstakMergeTypes.h"
#include "7-interface/OstakHandles.h"

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace ostak;
using namespace ostak_test;

namespace {

enum class Order { Ascending, Descending, Shuffled };

// The numbers 0 to size-1 in that order (a fixed shuffle).
std::vector<int> Numbers(int size, Order order) {
    std::vector<int> numbers;
    for (int i = 0; i < size; ++i) {
        numbers.push_back(order == Order::Descending ? size - 1 - i : i);
    }
    if (order == Order::Shuffled) {
        std::mt19937 random(7);
        for (int i = size - 1; i > 0; --i) {
            std::swap(numbers[i], numbers[random() % static_cast<unsigned>(i + 1)]);
        }
    }
    return numbers;
}

std::string NameOf(int number, const char *tail = "") {
    char name[32];
    std::snprintf(name, sizeof name, "A%05d%s", number, tail);
    return name;
}

// Names compared by the file's lists so far: its applications' and every rule list's.
uint64_t Comparisons(const OstakFileInMem &file) {
    uint64_t total = file.Applications().NameComparisons();
    for (const OstakElemAppl *appl = file.Applications().FirstAppl(); appl != nullptr;
         appl = static_cast<const OstakElemAppl *>(appl->Next())) {
        total += appl->Rules()->NameComparisons();
    }
    return total;
}

// Whether the file holds exactly the applications 0 to size-1, in name order.
bool HoldsAllInOrder(const OstakFileInMem &file, int size, const char *tail = "") {
    NameList expected;
    for (int i = 0; i < size; ++i) {
        expected.push_back(NameOf(i, tail));
    }
    return ApplNames(file) == expected;
}

class ExportsCost : public InitialisedTest {
  protected:
    void TearDown() override {
        files_.DestroyAll();
        InitialisedTest::TearDown();
    }

    // A rule file of those applications in that order, each with three rules
    // in descending order, loaded through the exports.
    OstakFileInMem &Loaded(const std::vector<int> &numbers) {
        std::string body = "<AED>\n";
        for (int number : numbers) {
            body += "<Application Name=\"" + NameOf(number) + "\">";
            for (const char *rule : {"r3", "r2", "r1"}) {
                body += std::string("<Rule Name=\"") + rule + "\"><Text>t</Text></Rule>";
            }
            body += "</Application>\n";
        }
        body += "</AED>\n";
        const std::string path = dir_.Write("rules" + std::to_string(++loads_) + ".xml", Doc(body));
        OstakFileInMemHandle *handle = files_.Create(0, path);
        EXPECT_EQ(xfeOstakLoad(handle), 0);
        return *FromHandle(handle);
    }

    uint64_t Load(int size, Order order) {
        const OstakFileInMem &file = Loaded(Numbers(size, order));
        EXPECT_TRUE(HoldsAllInOrder(file, size));
        return Comparisons(file);
    }

    // Adds, names and finalises each application by handle, in that order.
    uint64_t InsertByHandle(int size, Order order) {
        OstakFileInMemHandle *handle = files_.Create(0, dir_.File("handles.xml"));
        OstakListApplHandle *list = ToHandle(&FromHandle(handle)->Applications());
        for (int number : Numbers(size, order)) {
            OstakElemApplHandle *appl = nullptr;
            uint8_t valid = 0;
            EXPECT_EQ(xfeOstakElemApplAddEmpty(list, &appl), 0);
            EXPECT_EQ(xfeOstakElemApplSetAttrChar(list, appl, OSTAK_APPL_CHAR_NAME, NameOf(number).c_str()), 0);
            EXPECT_EQ(xfeOstakFinalizeElemAppl(list, appl, nullptr, &valid), 0);
        }
        EXPECT_TRUE(HoldsAllInOrder(*FromHandle(handle), size));
        return Comparisons(*FromHandle(handle));
    }

    // Finalises each application of a loaded file by handle in a shuffled
    // order, as a check does; when `rename`, after giving it the name that
    // sorts right after its mirror's (the first takes the last one's place).
    uint64_t FinaliseEach(int size, bool rename) {
        OstakFileInMem &file = Loaded(Numbers(size, Order::Ascending));
        OstakListApplHandle *list = ToHandle(&file.Applications());
        std::vector<OstakElemApplHandle *> appls;
        for (OstakElemAppl *appl = file.Applications().FirstAppl(); appl != nullptr;
             appl = static_cast<OstakElemAppl *>(appl->Next())) {
            appls.push_back(ToHandle(appl));
        }
        const std::vector<int> shuffled = Numbers(size, Order::Shuffled);
        const uint64_t before = Comparisons(file);
        for (int i = 0; i < size; ++i) {
            if (rename) {
                EXPECT_EQ(xfeOstakElemApplSetAttrChar(list, appls[shuffled[i]], OSTAK_APPL_CHAR_NAME,
                                                      NameOf(size - 1 - shuffled[i], "x").c_str()),
                          0);
            }
            uint8_t valid = 0;
            EXPECT_EQ(xfeOstakFinalizeElemAppl(list, appls[shuffled[i]], nullptr, &valid), 0);
            EXPECT_EQ(valid, 1);
        }
        EXPECT_TRUE(HoldsAllInOrder(file, size, rename ? "x" : ""));
        return Comparisons(file) - before;
    }

    // Two files of the same applications, every eighth with a rule that
    // differs and every tenth only in the source: marks the source against
    // the other, then, when `apply`, applies what the mark found to differ.
    uint64_t MarkAndApply(int size, bool apply) {
        std::vector<ApplSpec> source;
        std::vector<ApplSpec> target;
        for (int i = 0; i < size; ++i) {
            source.push_back({NameOf(i), {R("r1"), R("r2", i % 8 == 0 ? "new" : "text")}, 0, 1, "h", 10});
            if (i % 10 != 5) {
                target.push_back({NameOf(i), {R("r1"), R("r2")}, 0, 1, "t", 20});
            }
        }
        FilePtr sourceFile = MakeFile(1, source);
        FilePtr targetFile = MakeFile(0, target);
        uint64_t before = Comparisons(*sourceFile) + Comparisons(*targetFile);
        MarkDifferencesInSource(*sourceFile, *targetFile);
        if (apply) {
            // Only what the mark found to differ is carried.
            for (OstakElemAppl *appl = sourceFile->Applications().FirstAppl(); appl != nullptr;
                 appl = static_cast<OstakElemAppl *>(appl->Next())) {
                const bool differs = appl->DiffMark() == OstakDiffAbsent || appl->DiffMark() == OstakDiffChanged;
                appl->SetDiffMark(differs ? OstakDiffApply : OstakDiffSkip);
            }
            before = Comparisons(*sourceFile) + Comparisons(*targetFile);
            ScriptedMerge::Reset(AnswerKeepAll);
            EXPECT_EQ(ApplyDifferences(*sourceFile, *targetFile, true, OstakContext::FromGlobals()), 0);
            EXPECT_TRUE(HoldsAllInOrder(*targetFile, size));
        }
        return Comparisons(*sourceFile) + Comparisons(*targetFile) - before;
    }

    ExportedFiles files_;
    int loads_ = 0;
};

TEST_F(ExportsCost, NamesComparedPerApplicationGrowAtMostAsTheLogarithm) {
    struct Row {
        const char *what;
        bool searches; // false: no more per application in the larger file
        std::function<uint64_t(int)> measure;
    };
    const Row rows[] = {
        {"load, names ascending", false, [this](int size) { return Load(size, Order::Ascending); }},
        {"load, names descending", false, [this](int size) { return Load(size, Order::Descending); }},
        {"load, names shuffled", true, [this](int size) { return Load(size, Order::Shuffled); }},
        {"insert by handle, ascending", false,
         [this](int size) { return InsertByHandle(size, Order::Ascending); }},
        {"insert by handle, shuffled", true, [this](int size) { return InsertByHandle(size, Order::Shuffled); }},
        {"finalise each, unchanged", false, [this](int size) { return FinaliseEach(size, false); }},
        {"finalise each after a rename", true, [this](int size) { return FinaliseEach(size, true); }},
        {"mark", false, [this](int size) { return MarkAndApply(size, false); }},
        {"apply what the mark found", false, [this](int size) { return MarkAndApply(size, true); }},
    };
    for (const Row &row : rows) {
        const double small = static_cast<double>(row.measure(256)) / 256;
        const double large = static_cast<double>(row.measure(2048)) / 2048;
        EXPECT_GT(small, 0.0) << row.what;
        // A hundredth for what a file's edges cost once.
        EXPECT_LE(large, (row.searches ? 2.0 : 1.01) * small) << row.what << ": " << small << " against " << large;
    }
}

// A script's file saved against installation file number 5, loaded against
// number 6, which holds every tenth application more and a changed rule in
// every eighth: the script's file takes the merge. Its lists count the names
// compared by its own load, the marking's lookups in it and the apply.
class ScriptLoadCost : public SyncTest {
  protected:
    uint64_t MergingLoad(int size) {
        std::vector<ApplSpec> script;
        std::vector<ApplSpec> installation;
        for (int i = 0; i < size; ++i) {
            script.push_back({NameOf(2 * i), {R("r1"), R("r2")}, 0, 1, "me", 9});
            installation.push_back({NameOf(2 * i), {R("r1"), R("r2", i % 8 == 0 ? "new" : "text")}, 0, 1, "i", 500});
            if (i % 10 == 0) {
                installation.push_back({NameOf(2 * i + 1), {R("r1")}, 0, 1, "i", 500});
            }
        }
        WriteInstallation(DocXml(installation, 6));
        WriteScript(DocXml(script, 5, true));
        Init();
        ScriptedConf::Answer() = 2;
        ScriptedMerge::Reset(AnswerKeepAll);
        EXPECT_EQ(LoadScript(), 0);
        EXPECT_EQ(ApplNames(Script()).size(), installation.size());
        const uint64_t comparisons = Comparisons(Script());
        xfeOstakFileInMemDestroy(&script_);
        EXPECT_EQ(xfeOstakGlobalTerm(), 0);
        return comparisons;
    }
};

TEST_F(ScriptLoadCost, NamesComparedPerApplicationStayTheSame) {
    const double small = static_cast<double>(MergingLoad(256)) / 256;
    const double large = static_cast<double>(MergingLoad(2048)) / 2048;
    EXPECT_GT(small, 0.0);
    EXPECT_LE(large, 1.01 * small) << small << " against " << large;
}

} // namespace
