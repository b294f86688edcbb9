// The rule merge of one application in which every rule conflicts, answered
// "keep both" so that every conflict also enters a copy under its proposed
// name; with plain names and with names "Rule_1".."Rule_n" as proposals
// themselves look. The merge must stay linear (or n log n) in the rules.
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "6-merge/OstakMergeTypes.h"
#include "6-merge/OstakRuleMerge.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using ostak::OstakElemAppl;
using ostak::OstakElemRule;

uint32_t KeepBoth(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *) {
    return OstakMergeTakeBoth;
}

// An application of `count` rules named `stem` 1..count, all with the same text.
OstakElemAppl *MakeAppl(int64_t count, const char *stem, const char *text) {
    ostak::OstakContext context{};
    context.stampHost = "benchhost";
    OstakElemAppl *appl = OstakElemAppl::Create(context);
    appl->SetName("App");
    for (int64_t i = 1; i <= count; ++i) {
        OstakElemRule *rule = OstakElemRule::Create();
        rule->SetName((stem + std::to_string(i)).c_str());
        rule->SetText(text);
        appl->Rules()->InsertInOrder(rule);
    }
    return appl;
}

void MergeAllConflicting(benchmark::State &state, const char *stem) {
    std::unique_ptr<OstakElemAppl> source(MakeAppl(state.range(0), stem, "source"));
    std::unique_ptr<OstakElemAppl> target(MakeAppl(state.range(0), stem, "target"));
    const ostak::MergeContext context{0, 1, ostak::kDirectionPlainToScript, KeepBoth, false};
    for (auto _ : state) {
        ostak::OstakListRule merged;
        const int32_t rc = ostak::OstakRuleMerge(context, source.get(), target.get()).Run(merged);
        if (rc != 0) {
            state.SkipWithError("merge failed");
        }
        benchmark::DoNotOptimize(merged.Last());
    }
    state.SetComplexityN(state.range(0));
    // Per rule, for bench/run.sh.
    state.counters["n"] = static_cast<double>(state.range(0));
    state.counters["units"] = static_cast<double>(state.range(0));
}

void BM_MergeConflictsPlainNames(benchmark::State &state) {
    MergeAllConflicting(state, "Check");
}
void BM_MergeConflictsNumberedNames(benchmark::State &state) {
    MergeAllConflicting(state, "Rule_");
}

BENCHMARK(BM_MergeConflictsPlainNames)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_MergeConflictsNumberedNames)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace
