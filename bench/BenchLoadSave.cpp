// Loading and saving rule files as they grow, and building or changing a list
// through the handle interface. Names arrive in order (as the saver writes
// them), reversed or shuffled; each should cost about the same per application
// at 1k as at 64k. Every benchmark reports `n`, the size, and `units`, what its
// time is divided by for the per-application figure (bench/run.sh).
#include "bench/BenchSupport.h"

#include "2-core/OstakContext.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakFileInMem.h"
#include "7-interface/OstakHandles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ostak_bench;

void SetSizes(benchmark::State &state, int64_t n, int64_t units) {
    ReturnFreedMemory();
    state.counters["n"] = static_cast<double>(n);
    state.counters["units"] = static_cast<double>(units);
}

void BM_Load(benchmark::State &state, NameOrder order) {
    const std::string path = MakeFile(state.range(0), order);
    for (auto _ : state) {
        std::unique_ptr<ostak::OstakFileInMem> file(LoadFile(path));
        if (!file) {
            state.SkipWithError("load failed");
            break;
        }
        // Freeing is not loading.
        state.PauseTiming();
        file.reset();
        ReturnFreedMemory();
        state.ResumeTiming();
    }
    SetSizes(state, state.range(0), state.range(0));
}
BENCHMARK_CAPTURE(BM_Load, inorder, NameOrder::InOrder)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, reversed, NameOrder::Reversed)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, shuffled, NameOrder::Shuffled)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State &state) {
    const std::string path = MakeFile(state.range(0), NameOrder::InOrder);
    const std::string copy = path + ".copy";
    std::unique_ptr<ostak::OstakFileInMem> file(LoadFile(path));
    for (auto _ : state) {
        EmptyCachesIfCold(state);
        if (!file || file->Save(false, copy.c_str(), static_cast<int32_t>(copy.size()), false,
                                ostak::OstakContext::FromGlobals()) != 0) {
            state.SkipWithError("save failed");
            break;
        }
    }
    file.reset();
    SetSizes(state, state.range(0), state.range(0));
}
BENCHMARK(BM_Save)->RangeMultiplier(8)->Range(kFewAppls, kManyAppls)->Unit(benchmark::kMillisecond);

// Adds `count` applications through the handle interface: add empty, set the
// name, finalise.
void BM_InsertByHandle(benchmark::State &state, NameOrder order) {
    InitOnce();
    const int64_t count = state.range(0);
    const std::string path = WorkDir() + "/handles.xml";
    for (auto _ : state) {
        OstakFileInMemHandle *file = nullptr;
        OstakListApplHandle *list = nullptr;
        xfeOstakFileInMemCreate(0, path.c_str(), static_cast<uint32_t>(path.size()), &file, &list);
        char name[32];
        for (int64_t i = 0; i < count; ++i) {
            OstakElemApplHandle *appl = nullptr;
            uint8_t valid = 0;
            std::snprintf(name, sizeof name, "App%09lld", NameNumber(i, count, order));
            if (xfeOstakElemApplAddEmpty(list, &appl) != 0 ||
                xfeOstakElemApplSetAttrChar(list, appl, OSTAK_APPL_CHAR_NAME, name) != 0 ||
                xfeOstakFinalizeElemAppl(list, appl, nullptr, &valid) != 0) {
                state.SkipWithError("add failed");
                break;
            }
        }
        state.PauseTiming();
        xfeOstakFileInMemDestroy(&file);
        ReturnFreedMemory();
        state.ResumeTiming();
    }
    SetSizes(state, count, count);
}
BENCHMARK_CAPTURE(BM_InsertByHandle, inorder, NameOrder::InOrder)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_InsertByHandle, shuffled, NameOrder::Shuffled)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);

// Renames an application of a loaded file to a name that sorts last, and
// back, finalising after each: the cost of one finalise after a rename. With
// `moving` false the name is set to itself instead, as an edit of other
// values leaves it. The search tree is a treap, so one element's depth is a
// matter of chance: the renames take 64 applications spread over the file in
// turn.
void BM_FinaliseAfterRename(benchmark::State &state, bool moving) {
    const int64_t count = state.range(0);
    std::unique_ptr<ostak::OstakFileInMem> file(LoadFile(MakeFile(count, NameOrder::InOrder)));
    if (!file) {
        state.SkipWithError("load failed");
        return;
    }
    constexpr int64_t kTaken = 64;
    struct Taken {
        OstakElemApplHandle *appl;
        std::string name;
    };
    std::vector<Taken> taken;
    int64_t index = 0;
    for (ostak::OstakElemAppl *appl = file->Applications().FirstAppl(); appl != nullptr;
         appl = appl->NextAppl(), ++index) {
        if (index % (count / kTaken) == 0) {
            taken.push_back({ostak::ToHandle(appl), appl->Name()});
        }
    }
    OstakListApplHandle *list = ostak::ToHandle(&file->Applications());
    int64_t renames = 0;
    for (auto _ : state) {
        const Taken &one = taken[static_cast<std::size_t>(renames / 2) % taken.size()];
        const char *name = moving && renames % 2 == 0 ? "Zzz_renamed" : one.name.c_str();
        uint8_t valid = 0;
        if (xfeOstakElemApplSetAttrChar(list, one.appl, OSTAK_APPL_CHAR_NAME, name) != 0 ||
            xfeOstakFinalizeElemAppl(list, one.appl, nullptr, &valid) != 0) {
            state.SkipWithError("rename failed");
            break;
        }
        ++renames;
    }
    file.reset();
    SetSizes(state, count, 1);
}
BENCHMARK_CAPTURE(BM_FinaliseAfterRename, moving, true)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FinaliseAfterRename, samename, false)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMicrosecond);

// Loads a script's file through the export, which keeps it in step with the
// installation file and writes it back; the script's file is set up afresh
// before each run, outside the timing.
void BM_ScriptLoad(benchmark::State &state, ScriptStart start) {
    const int64_t count = state.range(0);
    const std::string script = ScriptPath();
    PlaceInstallationFile(count, start);
    for (auto _ : state) {
        state.PauseTiming();
        PlaceScriptFile(count, start);
        state.ResumeTiming();
        OstakFileInMemHandle *file = nullptr;
        OstakListApplHandle *list = nullptr;
        if (xfeOstakFileInMemCreate(OSTAK_FILE_KIND_SCRIPT, script.c_str(), static_cast<uint32_t>(script.size()),
                                    &file, &list) != 0 ||
            xfeOstakLoad(file) != 0) {
            state.SkipWithError("script-file load failed");
            xfeOstakFileInMemDestroy(&file);
            break;
        }
        state.PauseTiming();
        const bool tookIn = TookInAsItShould(list, start);
        xfeOstakFileInMemDestroy(&file);
        ReturnFreedMemory();
        if (!tookIn) {
            state.SkipWithError("the new applications did not arrive as they should");
            break;
        }
        state.ResumeTiming();
    }
    SetSizes(state, count, count);
}
BENCHMARK_CAPTURE(BM_ScriptLoad, takeover, ScriptStart::Missing)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScriptLoad, merge, ScriptStart::Behind)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);

} // namespace
