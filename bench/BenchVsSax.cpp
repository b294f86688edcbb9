// Loading and saving a large rule file against a bare validating parse of the
// same file, timed side by side in one process: the parser set up as the
// loader sets it up (validation always and fatal, no namespaces, no external
// DTD or entities, the same entity expansion limit, the same file input), with
// handlers that do nothing. Reports the mean of each and the ratios
// load/parse and save/parse in processor time (and in wall time).
//
// A third parse, the floor, has a handler that does the least any loader
// must do: it reads every attribute's name and value and keeps a record of
// a rule's size for every element with attributes (each application and
// rule), in memory the process takes afresh as a load does. Its ratio to the
// bare parse is what keeping the data costs on the machine that runs it,
// before any of the loader's own work: the load's ratio stands above it.
#include "bench/BenchSupport.h"

#include "2-core/OstakContext.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakFileInMem.h"
#include "5-format/OstakFileInputSource.h"
#include "5-format/OstakSaxParser.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>

namespace {

using namespace ostak_bench;
using Clock = std::chrono::steady_clock;

// Processor and wall time of one step.
struct Span {
    double cpu = 0;
    double wall = 0;
};

class Stopwatch {
  public:
    Stopwatch() : cpu_(CpuSeconds()), wall_(Clock::now()) {}
    Span Elapsed() const {
        return {CpuSeconds() - cpu_, std::chrono::duration<double>(Clock::now() - wall_).count()};
    }

  private:
    double cpu_;
    Clock::time_point wall_;
};

void Add(Span &total, const Span &step) {
    total.cpu += step.cpu;
    total.wall += step.wall;
}

// The floor's handler: every attribute read, a record kept per element with
// attributes. The records are chained through their first word and freed
// when the handler goes, outside the timing.
class KeepingHandler : public xercesc::HandlerBase {
  public:
    KeepingHandler() = default;
    KeepingHandler(const KeepingHandler &) = delete;
    KeepingHandler &operator=(const KeepingHandler &) = delete;
    ~KeepingHandler() override {
        while (kept_ != nullptr) {
            void *next = *static_cast<void **>(kept_);
            std::free(kept_);
            kept_ = next;
        }
    }
    void startElement(const XMLCh *const, xercesc::AttributeList &attrs) override {
        const XMLSize_t count = attrs.getLength();
        for (XMLSize_t i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(attrs.getName(i)[0]);
            benchmark::DoNotOptimize(attrs.getValue(i)[0]);
        }
        if (count == 0) {
            return;
        }
        void *record = std::malloc(kRecordBytes);
        if (record == nullptr) {
            outOfMemory_ = true;
            return;
        }
        std::memset(record, 0, kRecordBytes);
        *static_cast<void **>(record) = kept_;
        kept_ = record;
    }

    // Whether a record could not be had: the floor would then be too low.
    bool OutOfMemory() const { return outOfMemory_; }

  private:
    static constexpr std::size_t kRecordBytes = sizeof(ostak::OstakElemRule);
    void *kept_ = nullptr;
    bool outOfMemory_ = false;
};

// The ratios of one run's floor, load and save to its parse.
struct Ratios {
    std::vector<double> floor;
    std::vector<double> load;
    std::vector<double> save;
    std::vector<double> loadWall;
    std::vector<double> saveWall;
};

// The time of one parse of `path` with `handler`; false when it fails.
bool TimedParse(const std::string &path, xercesc::HandlerBase &handler, Span &spent) {
    xercesc::SAXParser parser(nullptr, xercesc::XMLPlatformUtils::fgMemoryManager, nullptr);
    parser.setValidationScheme(xercesc::SAXParser::Val_Always);
    parser.setValidationConstraintFatal(true);
    parser.setExitOnFirstFatalError(true);
    parser.setDoNamespaces(false);
    parser.setDoSchema(false);
    parser.setLoadExternalDTD(false);
    parser.setDisableDefaultEntityResolution(true);
    ostak::OstakRefusingEntityResolver resolver;
    parser.setXMLEntityResolver(&resolver);
    xercesc::SecurityManager security;
    security.setEntityExpansionLimit(ostak::kEntityExpansionLimit);
    parser.setSecurityManager(&security);
    parser.setDocumentHandler(&handler);
    parser.setErrorHandler(&handler);
    ostak::OstakFileInputSource source(path.c_str());
    const Stopwatch watch;
    try {
        parser.parse(source);
    } catch (...) {
        return false;
    }
    spent = watch.Elapsed();
    return parser.getErrorCount() == 0;
}

void BM_VersusBareParse(benchmark::State &state) {
    const std::string path = MakeFileOfSize(state.range(0));
    const std::string copy = path + ".copy";
    Span parse;
    Span floor;
    Span load;
    Span save;
    Ratios ratios;
    for (auto _ : state) {
        Span once;
        xercesc::HandlerBase nothing;
        if (!TimedParse(path, nothing, once)) {
            state.SkipWithError("parse failed");
            break;
        }
        Add(parse, once);
        Span kept;
        bool keptParsed = false;
        {
            KeepingHandler keeping;
            keptParsed = TimedParse(path, keeping, kept) && !keeping.OutOfMemory();
            // The records are freed, and the memory handed back, outside the timing.
            state.PauseTiming();
        }
        ReturnFreedMemory();
        state.ResumeTiming();
        if (!keptParsed) {
            state.SkipWithError("parse failed");
            break;
        }
        Add(floor, kept);
        const Stopwatch loading;
        std::unique_ptr<ostak::OstakFileInMem> file(LoadFile(path));
        const Span loaded = loading.Elapsed();
        Add(load, loaded);
        if (!file) {
            state.SkipWithError("load failed");
            break;
        }
        const Stopwatch saving;
        if (file->Save(false, copy.c_str(), static_cast<int32_t>(copy.size()), false,
                       ostak::OstakContext::FromGlobals()) != 0) {
            state.SkipWithError("save failed");
            break;
        }
        const Span saved = saving.Elapsed();
        Add(save, saved);
        if (once.cpu > 0 && once.wall > 0) {
            ratios.floor.push_back(kept.cpu / once.cpu);
            ratios.load.push_back(loaded.cpu / once.cpu);
            ratios.save.push_back(saved.cpu / once.cpu);
            ratios.loadWall.push_back(loaded.wall / once.wall);
            ratios.saveWall.push_back(saved.wall / once.wall);
        }
        state.PauseTiming();
        file.reset();
        ReturnFreedMemory();
        state.ResumeTiming();
    }
    if (parse.cpu <= 0 || parse.wall <= 0) {
        return;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["megabytes"] = static_cast<double>(state.range(0));
    state.counters["parse_cpu_ms"] = parse.cpu * 1000 / runs;
    state.counters["floor_cpu_ms"] = floor.cpu * 1000 / runs;
    state.counters["load_cpu_ms"] = load.cpu * 1000 / runs;
    state.counters["save_cpu_ms"] = save.cpu * 1000 / runs;
    // The medians of the runs' own ratios: a run that the shared machine
    // slowed in one of its steps moves them less than the ratio of the sums.
    state.counters["floor_ratio"] = Median(ratios.floor);
    state.counters["load_ratio"] = Median(ratios.load);
    state.counters["save_ratio"] = Median(ratios.save);
    state.counters["load_ratio_wall"] = Median(ratios.loadWall);
    state.counters["save_ratio_wall"] = Median(ratios.saveWall);
}
// Several runs: the steps alternate, so each run's three see the same
// machine, and the ratios are the medians of the runs' own.
BENCHMARK(BM_VersusBareParse)->Arg(10)->Arg(100)->MinTime(3)->Unit(benchmark::kMillisecond);

} // namespace
