// Marking the differences between two files and applying them, as files grow:
// a source with a few changed applications, with 10% new ones, and with every
// rule changed (each conflict answered with the source's rule), applied into
// the in-order base file. Only the call itself is timed.
#include "bench/BenchSupport.h"

#include "3-model/OstakFileInMem.h"
#include "7-interface/OstakHandles.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace ostak_bench;

void SetSizes(benchmark::State &state, int64_t n) {
    ReturnFreedMemory();
    state.counters["n"] = static_cast<double>(n);
    state.counters["units"] = static_cast<double>(n);
}

void BM_MarkDifferences(benchmark::State &state) {
    const int64_t count = state.range(0);
    std::unique_ptr<ostak::OstakFileInMem> source(
        LoadFile(MakeFile(count, NameOrder::InOrder, Variant::FewChanged)));
    std::unique_ptr<ostak::OstakFileInMem> other(LoadFile(MakeFile(count, NameOrder::InOrder)));
    if (!source || !other) {
        state.SkipWithError("load failed");
        return;
    }
    for (auto _ : state) {
        EmptyCachesIfCold(state);
        if (xfeOstakMarkDifferencesInSource(ostak::ToHandle(source.get()), ostak::ToHandle(other.get())) !=
            0) {
            state.SkipWithError("marking failed");
            break;
        }
    }
    source.reset();
    other.reset();
    SetSizes(state, count);
}
BENCHMARK(BM_MarkDifferences)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);

// A plain file applied into a script's: both loaded afresh for every run.
void BM_Apply(benchmark::State &state, Variant variant) {
    const int64_t count = state.range(0);
    const std::string sourcePath = MakeFile(count, NameOrder::InOrder, variant);
    const std::string targetPath = MakeFile(count, NameOrder::InOrder);
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<ostak::OstakFileInMem> source(LoadFile(sourcePath, OSTAK_FILE_KIND_PLAIN));
        std::unique_ptr<ostak::OstakFileInMem> target(LoadFile(targetPath, OSTAK_FILE_KIND_SCRIPT));
        if (!source || !target || !DecideToApplyAll(*source, *target)) {
            state.SkipWithError("preparing failed");
            break;
        }
        // Memory that the loads freed is handed back too, so that every size
        // takes its new records from fresh pages, not the small ones only.
        ReturnFreedMemory();
        EmptyCachesIfCold();
        state.ResumeTiming();
        if (xfeOstakHandleDifferencesInTargetBySourceMark(ostak::ToHandle(source.get()),
                                                          ostak::ToHandle(target.get()), 0) != 0) {
            state.SkipWithError("apply failed");
            break;
        }
        state.PauseTiming();
        source.reset();
        target.reset();
        ReturnFreedMemory();
        state.ResumeTiming();
    }
    SetSizes(state, count);
}
BENCHMARK_CAPTURE(BM_Apply, fewchanged, Variant::FewChanged)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Apply, tenpercentnew, Variant::TenPercentNew)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->Unit(benchmark::kMillisecond);
// One call at 64k takes longer than the usual minimum time (only the call
// counts toward it, not the loads around it): a longer minimum of its own
// gives each run several calls at every size instead of a single one.
BENCHMARK_CAPTURE(BM_Apply, allchanged, Variant::AllChanged)
    ->RangeMultiplier(8)
    ->Range(kFewAppls, kManyAppls)
    ->MinTime(0.5)
    ->Unit(benchmark::kMillisecond);

} // namespace
