// Loading and saving rule files as they grow, and building a list through the
// handle interface. Names arrive in sorted order, as the saver writes them, or
// shuffled; loading must stay linear for the first and n log n for the second:
// compare the complexity that Google Benchmark fits.
#include "3-model/OstakFileInMem.h"
#include "include/ostak.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

void Quiet(int32_t, const char *, const char *, int32_t, int32_t) {}
uint32_t NoMerge(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *) {
    return 0;
}
int32_t NoConf(int32_t) {
    return 0;
}

std::string WorkDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/ostak-bench-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return dir;
}

void InitOnce() {
    static bool done = false;
    if (!done) {
        const char *root = OSTAK_SOURCE_DIR;
        const std::string dir = WorkDir();
        xfeOstakGlobalInit(0, Quiet, NoMerge, NoConf, root, static_cast<uint32_t>(std::strlen(root)),
                           dir.c_str(), static_cast<uint32_t>(dir.size()), "script.xml", 10, 0);
        done = true;
    }
}

// The i-th of `count` (a power of two) names: in order, or a fixed shuffle of them.
long long NameNumber(int64_t i, int64_t count, bool shuffled) {
    return static_cast<long long>(shuffled ? (i * 2654435761LL + 12345) & (count - 1) : i);
}

// A rule file of `count` applications with three rules each, names in order or shuffled.
std::string MakeFile(int64_t count, bool shuffled = false) {
    InitOnce();
    const std::string path =
        WorkDir() + (shuffled ? "/shuffled" : "/apps") + std::to_string(count) + ".xml";
    if (access(path.c_str(), F_OK) == 0) {
        return path;
    }
    std::FILE *dtd = std::fopen((std::string(OSTAK_SOURCE_DIR) + "/dat/OstakDtd.xml").c_str(), "rb");
    std::FILE *out = std::fopen(path.c_str(), "wb");
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, dtd)) > 0) {
        std::fwrite(buffer, 1, got, out);
    }
    std::fclose(dtd);
    std::fprintf(out, "<AED TqVersion=\"7.6\">\r\n");
    for (int64_t i = 0; i < count; ++i) {
        std::fprintf(
            out, "\t<Application Name=\"App%09lld\" Enabled=\"true\" StampTime=\"1\" StampHost=\"h\">\r\n",
            NameNumber(i, count, shuffled));
        for (int r = 0; r < 3; ++r) {
            std::fprintf(
                out,
                "\t\t<Rule Name=\"Rule_%d\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
                "Level=\"error\">\r\n\t\t\t<Text>some text %d</Text>\r\n\t\t</Rule>\r\n",
                r, r);
        }
        std::fprintf(out, "\t</Application>\r\n");
    }
    std::fprintf(out, "</AED>\r\n");
    std::fclose(out);
    return path;
}

void BM_LoadSorted(benchmark::State &state) {
    const std::string path = MakeFile(state.range(0));
    for (auto _ : state) {
        ostak::OstakFileInMem *file =
            ostak::OstakFileInMem::Create(0, path.c_str(), static_cast<int32_t>(path.size()));
        if (file->Load(false, ostak::OstakContext::FromGlobals()) != 0) {
            state.SkipWithError("load failed");
        }
        delete file;
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadSorted)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

void BM_LoadShuffled(benchmark::State &state) {
    const std::string path = MakeFile(state.range(0), true);
    for (auto _ : state) {
        ostak::OstakFileInMem *file =
            ostak::OstakFileInMem::Create(0, path.c_str(), static_cast<int32_t>(path.size()));
        if (file->Load(false, ostak::OstakContext::FromGlobals()) != 0) {
            state.SkipWithError("load failed");
        }
        delete file;
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadShuffled)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// Adds `count` applications through the handle interface: add empty, set the
// name, finalise; names ascending or shuffled.
void BM_InsertByHandle(benchmark::State &state, bool shuffled) {
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
            std::snprintf(name, sizeof name, "App%09lld", NameNumber(i, count, shuffled));
            if (xfeOstakElemApplAddEmpty(list, &appl) != 0 ||
                xfeOstakElemApplSetAttrChar(list, appl, OSTAK_APPL_CHAR_NAME, name) != 0) {
                state.SkipWithError("add failed");
                break;
            }
            xfeOstakFinalizeElemAppl(list, appl, nullptr, &valid);
        }
        xfeOstakFileInMemDestroy(&file);
    }
    state.SetComplexityN(count);
}
BENCHMARK_CAPTURE(BM_InsertByHandle, ascending, false)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_InsertByHandle, shuffled, true)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

void BM_SaveAndReload(benchmark::State &state) {
    const std::string path = MakeFile(state.range(0));
    const std::string copy = path + ".copy";
    ostak::OstakFileInMem *file =
        ostak::OstakFileInMem::Create(0, path.c_str(), static_cast<int32_t>(path.size()));
    file->Load(false, ostak::OstakContext::FromGlobals());
    for (auto _ : state) {
        if (file->Save(false, copy.c_str(), static_cast<int32_t>(copy.size()), false,
                       ostak::OstakContext::FromGlobals()) != 0) {
            state.SkipWithError("save failed");
        }
    }
    delete file;
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SaveAndReload)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
