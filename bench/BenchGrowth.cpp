// Growth from 1k to 64k applications measured in pairs: each pair times the
// small size and then the large one, back to back, so that a spell when the
// shared machine is slow falls on both sides of one ratio; the growth is the
// median of the pairs' ratios. (Separate benchmarks of each size, even with
// repetitions in random order, put minutes between the two sides.)
//
// A pair times the small size kSmallRuns times and the large size once, each
// run with its own preparation outside the timing, exactly as the benchmark
// of that operation prepares it, and divides by what the run handles
// (applications, or calls for the finalise).
#include "bench/BenchSupport.h"

#include "2-core/OstakContext.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakFileInMem.h"
#include "7-interface/OstakHandles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ostak_bench;

constexpr int kSmallRuns = 16;
constexpr int kPairs = 7;

// One timed run at size `n`: its processor seconds per unit, or a negative
// number when it failed.
using TimedRun = std::function<double(int64_t n)>;

// The processor seconds that `timed` takes.
template <class Timed> double Timing(Timed timed) {
    const double start = CpuSeconds();
    timed();
    return CpuSeconds() - start;
}

double Load(int64_t n, NameOrder order) {
    const std::string path = MakeFile(n, order);
    std::unique_ptr<ostak::OstakFileInMem> file;
    const double seconds = Timing([&] { file.reset(LoadFile(path)); });
    const bool loaded = file != nullptr;
    file.reset();
    ReturnFreedMemory();
    return loaded ? seconds / static_cast<double>(n) : -1;
}

double Save(int64_t n) {
    const std::string path = MakeFile(n, NameOrder::InOrder);
    const std::string copy = path + ".copy";
    std::unique_ptr<ostak::OstakFileInMem> file(LoadFile(path));
    if (!file) {
        return -1;
    }
    int32_t rc = -1;
    const double seconds = Timing([&] {
        rc = file->Save(false, copy.c_str(), static_cast<int32_t>(copy.size()), false,
                        ostak::OstakContext::FromGlobals());
    });
    file.reset();
    ReturnFreedMemory();
    return rc == 0 ? seconds / static_cast<double>(n) : -1;
}

double Mark(int64_t n) {
    std::unique_ptr<ostak::OstakFileInMem> source(LoadFile(MakeFile(n, NameOrder::InOrder, Variant::FewChanged)));
    std::unique_ptr<ostak::OstakFileInMem> other(LoadFile(MakeFile(n, NameOrder::InOrder)));
    if (!source || !other) {
        return -1;
    }
    int32_t rc = -1;
    const double seconds = Timing(
        [&] { rc = xfeOstakMarkDifferencesInSource(ostak::ToHandle(source.get()), ostak::ToHandle(other.get())); });
    source.reset();
    other.reset();
    ReturnFreedMemory();
    return rc == 0 ? seconds / static_cast<double>(n) : -1;
}

double Apply(int64_t n, Variant variant) {
    std::unique_ptr<ostak::OstakFileInMem> source(
        LoadFile(MakeFile(n, NameOrder::InOrder, variant), OSTAK_FILE_KIND_PLAIN));
    std::unique_ptr<ostak::OstakFileInMem> target(LoadFile(MakeFile(n, NameOrder::InOrder), OSTAK_FILE_KIND_SCRIPT));
    if (!source || !target || !DecideToApplyAll(*source, *target)) {
        return -1;
    }
    ReturnFreedMemory();
    EmptyCachesIfCold();
    int32_t rc = -1;
    const double seconds = Timing([&] {
        rc = xfeOstakHandleDifferencesInTargetBySourceMark(ostak::ToHandle(source.get()),
                                                           ostak::ToHandle(target.get()), 0);
    });
    source.reset();
    target.reset();
    ReturnFreedMemory();
    return rc == 0 ? seconds / static_cast<double>(n) : -1;
}

double InsertByHandle(int64_t n, NameOrder order) {
    const std::string path = WorkDir() + "/handles.xml";
    OstakFileInMemHandle *file = nullptr;
    OstakListApplHandle *list = nullptr;
    bool added = true;
    const double seconds = Timing([&] {
        xfeOstakFileInMemCreate(0, path.c_str(), static_cast<uint32_t>(path.size()), &file, &list);
        char name[32];
        for (int64_t i = 0; i < n && added; ++i) {
            OstakElemApplHandle *appl = nullptr;
            uint8_t valid = 0;
            std::snprintf(name, sizeof name, "App%09lld", NameNumber(i, n, order));
            added = xfeOstakElemApplAddEmpty(list, &appl) == 0 &&
                    xfeOstakElemApplSetAttrChar(list, appl, OSTAK_APPL_CHAR_NAME, name) == 0 &&
                    xfeOstakFinalizeElemAppl(list, appl, nullptr, &valid) == 0;
        }
    });
    xfeOstakFileInMemDestroy(&file);
    ReturnFreedMemory();
    return added ? seconds / static_cast<double>(n) : -1;
}

// 64 applications spread over the file, each renamed to a name that sorts
// last and back (`moving`) or to its own name, 16 times over: per call.
double FinaliseAfterRename(int64_t n, bool moving) {
    std::unique_ptr<ostak::OstakFileInMem> file(LoadFile(MakeFile(n, NameOrder::InOrder)));
    if (!file) {
        return -1;
    }
    constexpr int64_t kTaken = 64;
    constexpr int kRounds = 16;
    std::vector<std::pair<OstakElemApplHandle *, std::string>> taken;
    int64_t index = 0;
    for (ostak::OstakElemAppl *appl = file->Applications().FirstAppl(); appl != nullptr;
         appl = appl->NextAppl(), ++index) {
        if (index % (n / kTaken) == 0) {
            taken.emplace_back(ostak::ToHandle(appl), appl->Name());
        }
    }
    OstakListApplHandle *list = ostak::ToHandle(&file->Applications());
    bool renamed = true;
    int64_t calls = 0;
    const double seconds = Timing([&] {
        for (int round = 0; round < kRounds && renamed; ++round) {
            for (const auto &[appl, name] : taken) {
                for (const char *now : {moving ? "Zzz_renamed" : name.c_str(), name.c_str()}) {
                    uint8_t valid = 0;
                    renamed = renamed && xfeOstakElemApplSetAttrChar(list, appl, OSTAK_APPL_CHAR_NAME, now) == 0 &&
                              xfeOstakFinalizeElemAppl(list, appl, nullptr, &valid) == 0;
                    ++calls;
                }
            }
        }
    });
    file.reset();
    ReturnFreedMemory();
    return renamed ? seconds / static_cast<double>(calls) : -1;
}

double ScriptLoad(int64_t n, ScriptStart start) {
    PlaceInstallationFile(n, start);
    PlaceScriptFile(n, start);
    const std::string script = ScriptPath();
    OstakFileInMemHandle *file = nullptr;
    OstakListApplHandle *list = nullptr;
    int32_t rc = -1;
    const double seconds = Timing([&] {
        rc = xfeOstakFileInMemCreate(OSTAK_FILE_KIND_SCRIPT, script.c_str(), static_cast<uint32_t>(script.size()),
                                     &file, &list);
        rc = rc == 0 ? xfeOstakLoad(file) : rc;
    });
    const bool tookIn = rc == 0 && TookInAsItShould(list, start);
    xfeOstakFileInMemDestroy(&file);
    ReturnFreedMemory();
    return tookIn ? seconds / static_cast<double>(n) : -1;
}

void BM_PairedGrowth(benchmark::State &state, const TimedRun &run) {
    InitOnce();
    const int64_t small = state.range(0);
    const int64_t large = state.range(1);
    std::vector<double> ratios;
    std::vector<double> smallTimes;
    std::vector<double> largeTimes;
    for (auto _ : state) {
        double smallSum = 0;
        bool failed = false;
        for (int i = 0; i < kSmallRuns && !failed; ++i) {
            const double once = run(small);
            failed = once < 0;
            smallSum += once;
        }
        const double largeOnce = failed ? -1 : run(large);
        if (failed || largeOnce < 0) {
            state.SkipWithError("a run failed");
            return;
        }
        const double smallOnce = smallSum / kSmallRuns;
        ratios.push_back(largeOnce / smallOnce);
        smallTimes.push_back(smallOnce);
        largeTimes.push_back(largeOnce);
    }
    std::sort(ratios.begin(), ratios.end());
    state.counters["growth"] = Median(ratios);
    state.counters["growth_min"] = ratios.empty() ? 0 : ratios.front();
    state.counters["growth_max"] = ratios.empty() ? 0 : ratios.back();
    state.counters["small_us"] = Median(smallTimes) * 1e6;
    state.counters["large_us"] = Median(largeTimes) * 1e6;
    state.counters["small"] = static_cast<double>(small);
    state.counters["large"] = static_cast<double>(large);
}

void Register(const char *name, TimedRun run) {
    benchmark::RegisterBenchmark((std::string("BM_PairedGrowth/") + name).c_str(),
                                 [run](benchmark::State &state) { BM_PairedGrowth(state, run); })
        ->Args({kFewAppls, kManyAppls})
        ->Iterations(kPairs)
        ->Unit(benchmark::kMillisecond);
}

// Registered before main runs, as the other benchmarks are.
const bool kRegistered = [] {
    Register("load_inorder", [](int64_t n) { return Load(n, NameOrder::InOrder); });
    Register("load_reversed", [](int64_t n) { return Load(n, NameOrder::Reversed); });
    Register("load_shuffled", [](int64_t n) { return Load(n, NameOrder::Shuffled); });
    Register("save", Save);
    Register("mark", Mark);
    Register("apply_fewchanged", [](int64_t n) { return Apply(n, Variant::FewChanged); });
    Register("apply_tenpercentnew", [](int64_t n) { return Apply(n, Variant::TenPercentNew); });
    Register("apply_allchanged", [](int64_t n) { return Apply(n, Variant::AllChanged); });
    Register("insert_inorder", [](int64_t n) { return InsertByHandle(n, NameOrder::InOrder); });
    Register("insert_shuffled", [](int64_t n) { return InsertByHandle(n, NameOrder::Shuffled); });
    Register("finalise_moving", [](int64_t n) { return FinaliseAfterRename(n, true); });
    Register("finalise_samename", [](int64_t n) { return FinaliseAfterRename(n, false); });
    Register("scriptload_takeover", [](int64_t n) { return ScriptLoad(n, ScriptStart::Missing); });
    Register("scriptload_merge", [](int64_t n) { return ScriptLoad(n, ScriptStart::Behind); });
    return true;
}();

} // namespace
