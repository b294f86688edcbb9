#include "bench/BenchSupport.h"

#include "2-core/OstakContext.h"
#include "3-model/OstakElemAppl.h"
#include "7-interface/OstakHandles.h"

#include <algorithm>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <malloc.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace ostak_bench {

namespace {

void Quiet(int32_t, const char *, const char *, int32_t, int32_t) {}
uint32_t TakeSource(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *) {
    return OstakMergeTakeSource;
}
// A script's file loaded against a changed installation file takes it in.
int32_t AllowMerge(int32_t) {
    return 2;
}

const char *VariantTag(Variant variant) {
    switch (variant) {
    case Variant::Base:
        return "";
    case Variant::FewChanged:
        return "-few";
    case Variant::TenPercentNew:
        return "-new";
    case Variant::AllChanged:
        return "-all";
    }
    return "";
}

const char *HeadTag(FileHead head) {
    switch (head) {
    case FileHead::Plain:
        return "";
    case FileHead::SavedScript:
        return "-script";
    case FileHead::NewerInstallation:
        return "-installation";
    }
    return "";
}

const char *HeadAttributes(FileHead head) {
    switch (head) {
    case FileHead::Plain:
        return "";
    case FileHead::SavedScript:
        return " FileVersionInstallation=\"5\" Saved=\"true\"";
    case FileHead::NewerInstallation:
        return " FileVersionInstallation=\"6\"";
    }
    return "";
}

const char *OrderTag(NameOrder order) {
    switch (order) {
    case NameOrder::InOrder:
        return "inorder";
    case NameOrder::Reversed:
        return "reversed";
    case NameOrder::Shuffled:
        return "shuffled";
    }
    return "";
}

void CopyDtd(std::FILE *out) {
    std::FILE *dtd = std::fopen((std::string(OSTAK_SOURCE_DIR) + "/dat/OstakDtd.xml").c_str(), "rb");
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, dtd)) > 0) {
        std::fwrite(buffer, 1, got, out);
    }
    std::fclose(dtd);
}

void WriteAppl(std::FILE *out, const char *name, const char *text) {
    std::fprintf(out, "\t<Application Name=\"%s\" Enabled=\"true\" StampTime=\"1\" StampHost=\"h\">\r\n",
                 name);
    for (int r = 0; r < kRulesPerAppl; ++r) {
        std::fprintf(
            out,
            "\t\t<Rule Name=\"Rule_%d\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
            "Level=\"error\">\r\n\t\t\t<Text>%s %d</Text>\r\n\t\t</Rule>\r\n",
            r, text, r);
    }
    std::fprintf(out, "\t</Application>\r\n");
}

bool Changed(int64_t i, int64_t count, Variant variant) {
    if (variant == Variant::AllChanged) {
        return true;
    }
    const int64_t step = count / 8 > 0 ? count / 8 : 1;
    return variant == Variant::FewChanged && i % step == 0;
}

} // namespace

const std::string &WorkDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/ostak-bench-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return dir;
}

void InitOnce() {
    static bool done = false;
    if (done) {
        return;
    }
    // The root is scratch too (the message catalogue and the document type
    // copied in): the script-file load reads its installation file from there.
    const std::string &dir = WorkDir();
    const std::string rootDir = dir + "/root";
    std::filesystem::create_directories(rootDir + "/dat");
    for (const char *name : {"Ostak_res", "OstakDtd.xml"}) {
        std::filesystem::copy_file(std::string(OSTAK_SOURCE_DIR) + "/dat/" + name, rootDir + "/dat/" + name);
    }
    const char *root = rootDir.c_str();
    xfeOstakGlobalInit(0, Quiet, TakeSource, AllowMerge, root, static_cast<uint32_t>(std::strlen(root)),
                       dir.c_str(), static_cast<uint32_t>(dir.size()), "script.xml", 10, 0);
    done = true;
}

long long NameNumber(int64_t i, int64_t count, NameOrder order) {
    switch (order) {
    case NameOrder::InOrder:
        return static_cast<long long>(i);
    case NameOrder::Reversed:
        return static_cast<long long>(count - 1 - i);
    case NameOrder::Shuffled:
        // An odd multiplier permutes the numbers modulo a power of two.
        return static_cast<long long>((i * 2654435761LL + 12345) & (count - 1));
    }
    return 0;
}

std::string MakeFile(int64_t count, NameOrder order, Variant variant) {
    return MakeFileWithHead(count, order, variant, FileHead::Plain);
}

std::string MakeFileWithHead(int64_t count, NameOrder order, Variant variant, FileHead head) {
    InitOnce();
    const std::string path = WorkDir() + "/" + OrderTag(order) + std::to_string(count) + VariantTag(variant) +
                             HeadTag(head) + ".xml";
    if (access(path.c_str(), F_OK) == 0) {
        return path;
    }
    std::FILE *out = std::fopen(path.c_str(), "wb");
    CopyDtd(out);
    std::fprintf(out, "<AED TqVersion=\"7.6\"%s>\r\n", HeadAttributes(head));
    char name[48];
    for (int64_t i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "App%09lld", NameNumber(i, count, order));
        WriteAppl(out, name, Changed(i, count, variant) ? "changed text" : "some text");
        if (variant == Variant::TenPercentNew && i % 10 == 0) {
            std::snprintf(name, sizeof name, "App%09lld_new", NameNumber(i, count, order));
            WriteAppl(out, name, "some text");
        }
    }
    std::fprintf(out, "</AED>\r\n");
    std::fclose(out);
    return path;
}

std::string MakeFileOfSize(int64_t megabytes) {
    InitOnce();
    const std::string path = WorkDir() + "/size" + std::to_string(megabytes) + "MB.xml";
    if (access(path.c_str(), F_OK) == 0) {
        return path;
    }
    std::FILE *out = std::fopen(path.c_str(), "wb");
    CopyDtd(out);
    std::fprintf(out, "<AED TqVersion=\"7.6\">\r\n");
    char name[48];
    for (long long i = 0; std::ftell(out) < megabytes * 1000000; ++i) {
        std::snprintf(name, sizeof name, "App%09lld", i);
        WriteAppl(out, name, "some text");
    }
    std::fprintf(out, "</AED>\r\n");
    std::fclose(out);
    return path;
}

std::string InstallationPath() {
    InitOnce();
    return xfpszOstakFileFullPathInstallationStr();
}

std::string ScriptPath() {
    InitOnce();
    return xfpszOstakFileFullPathScriptStr();
}

ostak::OstakFileInMem *LoadFile(const std::string &path, int32_t kind) {
    ostak::OstakFileInMem *file =
        ostak::OstakFileInMem::Create(kind, path.c_str(), static_cast<int32_t>(path.size()));
    if (file != nullptr && file->Load(false, ostak::OstakContext::FromGlobals()) != 0) {
        delete file;
        return nullptr;
    }
    return file;
}

void PlaceInstallationFile(int64_t count, ScriptStart start) {
    const Variant variant = start == ScriptStart::Missing ? Variant::Base : Variant::TenPercentNew;
    std::filesystem::copy_file(MakeFileWithHead(count, NameOrder::InOrder, variant, FileHead::NewerInstallation),
                               InstallationPath(), std::filesystem::copy_options::overwrite_existing);
}

void PlaceScriptFile(int64_t count, ScriptStart start) {
    const std::string script = ScriptPath();
    std::error_code ignored;
    std::filesystem::remove(script, ignored);
    if (start == ScriptStart::Behind) {
        std::filesystem::copy_file(
            MakeFileWithHead(count, NameOrder::InOrder, Variant::Base, FileHead::SavedScript), script);
    }
}

bool TookInAsItShould(OstakListApplHandle *list, ScriptStart start) {
    const bool tookIn = ostak::FromHandle(list)->FindAppl("App000000000_new") != nullptr;
    return tookIn == (start == ScriptStart::Behind);
}

bool DecideToApplyAll(ostak::OstakFileInMem &source, ostak::OstakFileInMem &target) {
    if (xfeOstakMarkDifferencesInSource(ostak::ToHandle(&source), ostak::ToHandle(&target)) != 0) {
        return false;
    }
    OstakListApplHandle *list = ostak::ToHandle(&source.Applications());
    OstakElemApplHandle *appl = nullptr;
    for (xfeOstakElemApplIterateFirst(list, &appl); appl != nullptr;
         xfeOstakElemApplIterateNext(list, appl, &appl)) {
        int32_t mark = 0;
        xfeOstakElemApplGetAttrLong(appl, OSTAK_APPL_LONG_DIFF_MARK, &mark);
        const bool differs =
            mark == OstakDiffAbsent || mark == OstakDiffChanged || mark == OstakDiffSameStamp;
        xfeOstakElemApplSetAttrLong(appl, OSTAK_APPL_LONG_DIFF_MARK,
                                    differs ? OstakDiffApply : OstakDiffSkip);
    }
    return true;
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void ReturnFreedMemory() {
    malloc_trim(0);
}

namespace {

bool coldCaches = false;

} // namespace

void EmptyCachesIfCold() {
    if (!coldCaches) {
        return;
    }
    static std::vector<unsigned char> buffer;
    if (buffer.empty()) {
        const long lastLevel = sysconf(_SC_LEVEL3_CACHE_SIZE);
        const std::size_t size = 2 * static_cast<std::size_t>(lastLevel > (16L << 20) ? lastLevel : (32L << 20));
        buffer.assign(size, 1);
    }
    unsigned sum = 0;
    for (std::size_t at = 0; at < buffer.size(); at += 64) {
        sum += buffer[at];
    }
    benchmark::DoNotOptimize(sum);
}

void EmptyCachesIfCold(benchmark::State &state) {
    if (!coldCaches) {
        return;
    }
    state.PauseTiming();
    EmptyCachesIfCold();
    state.ResumeTiming();
}

} // namespace ostak_bench

// Runs the benchmarks, then removes the generated files.
int main(int argc, char **argv) {
    // Our own flag, taken out before Google Benchmark reads the rest.
    int kept = 1;
    for (int at = 1; at < argc; ++at) {
        if (std::strcmp(argv[at], "--cold-caches") == 0) {
            ostak_bench::coldCaches = true;
        } else {
            argv[kept++] = argv[at];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(ostak_bench::WorkDir(), ignored);
    return 0;
}
