// Fuzz target: any bytes as a rule file. Loading must never crash, leak or
// break the list order; a file that loads cleanly must save, and load back to
// the same model.
#include "frame/OstakFileInMem.h"
#include "frame/OstakGlobals.h"
#include "include/ostak.h"
#include "model/OstakElemAppl.h"
#include "model/OstakElemRule.h"
#include "platform/Alloc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using ostak::OstakElemAppl;
using ostak::OstakElemRule;
using ostak::OstakFileInMem;

// Messages are expected here; OSTAK_FUZZ_VERBOSE shows them when a finding is looked into.
void Quiet(int32_t number, const char *text, const char *func, int32_t line, int32_t level) {
    static const bool verbose = std::getenv("OSTAK_FUZZ_VERBOSE") != nullptr;
    if (verbose) {
        std::fprintf(stderr, "%d %d %s (%s:%d)\n", level, number, text, func, line);
    }
}
uint32_t NoMerge(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *) {
    return 0;
}
int32_t NoConf(int32_t) {
    return 0;
}

void Check(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz oracle failed: %s\n", what);
        std::abort();
    }
}

// A folder of this process's own for the input and the saved copy.
const std::string &WorkDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/ostak-fuzz-XXXXXX";
        const char *made = mkdtemp(pattern);
        Check(made != nullptr, "mkdtemp");
        return std::string(made);
    }();
    return dir;
}

void InitOnce() {
    static bool done = false;
    if (done) {
        return;
    }
    const char *root = OSTAK_SOURCE_DIR;
    const std::string &dir = WorkDir();
    const int32_t rc =
        xfeOstakGlobalInit(0, Quiet, NoMerge, NoConf, root, static_cast<uint32_t>(std::strlen(root)),
                           dir.c_str(), static_cast<uint32_t>(dir.size()), "script.xml", 10, 0);
    Check(rc == 0, "initialisation");
    done = true;
}

bool WriteFile(const std::string &path, const uint8_t *data, size_t size) {
    FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const bool ok = size == 0 || std::fwrite(data, 1, size, out) == size;
    return std::fclose(out) == 0 && ok;
}

void CheckOrder(const OstakFileInMem &file) {
    const OstakElemAppl *previous = nullptr;
    for (const OstakElemAppl *appl = file.Applications().FirstAppl(); appl != nullptr;
         appl = appl->NextAppl()) {
        if (previous != nullptr) {
            Check(std::strcmp(previous->Name(), appl->Name()) <= 0, "applications in name order");
        }
        const OstakElemRule *previousRule = nullptr;
        for (const OstakElemRule *rule = appl->Rules()->FirstRule(); rule != nullptr;
             rule = rule->NextRule()) {
            if (previousRule != nullptr) {
                Check(std::strcmp(previousRule->Name(), rule->Name()) <= 0, "rules in name order");
            }
            previousRule = rule;
        }
        previous = appl;
    }
}

void CheckSame(const OstakFileInMem &a, const OstakFileInMem &b) {
    const OstakElemAppl *x = a.Applications().FirstAppl();
    const OstakElemAppl *y = b.Applications().FirstAppl();
    for (; x != nullptr && y != nullptr; x = x->NextAppl(), y = y->NextAppl()) {
        Check(std::strcmp(x->Name(), y->Name()) == 0, "same application names");
        Check(x->Enabled() == y->Enabled(), "same Enabled");
        Check(x->StampTime() == y->StampTime(), "same StampTime");
        Check(std::strcmp(x->StampHost(), y->StampHost()) == 0, "same StampHost");
        const OstakElemRule *r = x->Rules()->FirstRule();
        const OstakElemRule *s = y->Rules()->FirstRule();
        for (; r != nullptr && s != nullptr; r = r->NextRule(), s = s->NextRule()) {
            Check(r->Equals(*s), "same rules");
        }
        Check(r == nullptr && s == nullptr, "same number of rules");
    }
    Check(x == nullptr && y == nullptr, "same number of applications");
    Check(a.InstallationVersion() == b.InstallationVersion(), "same installation version");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    InitOnce();
    const int64_t liveBefore = ostak::LiveAllocations();
    const std::string input = WorkDir() + "/input.xml";
    const std::string saved = WorkDir() + "/saved.xml";
    Check(WriteFile(input, data, size), "writing the input");
    {
        OstakFileInMem *file = OstakFileInMem::Create(0, input.c_str(), static_cast<int32_t>(input.size()));
        Check(file != nullptr, "creating the object");
        const int32_t rc = file->Load(false);
        CheckOrder(*file);
        if (rc == 0 && file->Applications().FirstAppl() != nullptr) {
            // A load refuses every character a save would refuse, so what loads cleanly saves.
            const int32_t saveRc =
                file->Save(false, saved.c_str(), static_cast<int32_t>(saved.size()), false);
            Check(saveRc == 0, "a file that loads cleanly saves");
            OstakFileInMem *again =
                OstakFileInMem::Create(0, saved.c_str(), static_cast<int32_t>(saved.size()));
            Check(again != nullptr, "creating the second object");
            Check(again->Load(false) == 0, "loading the saved copy");
            CheckSame(*file, *again);
            delete again;
            std::remove(saved.c_str());
        }
        delete file;
    }
    Check(ostak::LiveAllocations() == liveBefore, "no library allocation left behind");
    return 0;
}
