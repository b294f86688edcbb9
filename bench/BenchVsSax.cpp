// Loading and saving a large rule file against a bare validating parse of the
// same file, timed side by side in one process: the parser set up as the
// loader sets it up (validation always and fatal, no namespaces, no external
// DTD or entities, the same entity expansion limit, the same file input), with
// handlers that do nothing. Reports the mean of each and the ratios
// load/parse and save/parse.
#include "bench/BenchSupport.h"

#include "2-core/OstakContext.h"
#include "3-model/OstakFileInMem.h"
#include "5-format/OstakFileInputSource.h"
#include "5-format/OstakSaxParser.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>

namespace {

using namespace ostak_bench;
using Clock = std::chrono::steady_clock;

// Seconds spent in one bare parse of `path`; negative when it fails.
double BareParse(const std::string &path) {
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
    xercesc::HandlerBase handler;
    parser.setDocumentHandler(&handler);
    parser.setErrorHandler(&handler);
    ostak::OstakFileInputSource source(path.c_str());
    const Clock::time_point start = Clock::now();
    try {
        parser.parse(source);
    } catch (...) {
        return -1;
    }
    if (parser.getErrorCount() != 0) {
        return -1;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_VersusBareParse(benchmark::State &state) {
    const std::string path = MakeFileOfSize(state.range(0));
    const std::string copy = path + ".copy";
    double parse = 0;
    double load = 0;
    double save = 0;
    for (auto _ : state) {
        const double once = BareParse(path);
        Clock::time_point start = Clock::now();
        std::unique_ptr<ostak::OstakFileInMem> file(LoadFile(path));
        load += Since(start);
        if (once < 0 || !file) {
            state.SkipWithError("parse or load failed");
            break;
        }
        parse += once;
        start = Clock::now();
        if (file->Save(false, copy.c_str(), static_cast<int32_t>(copy.size()), false,
                       ostak::OstakContext::FromGlobals()) != 0) {
            state.SkipWithError("save failed");
            break;
        }
        save += Since(start);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["megabytes"] = static_cast<double>(state.range(0));
    state.counters["parse_ms"] = parse * 1000 / runs;
    state.counters["load_ms"] = load * 1000 / runs;
    state.counters["save_ms"] = save * 1000 / runs;
    state.counters["load_ratio"] = parse > 0 ? load / parse : 0;
    state.counters["save_ratio"] = parse > 0 ? save / parse : 0;
}
BENCHMARK(BM_VersusBareParse)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace
