// Fuzz target: any bytes as a rule file. Loading must never crash, leak or
// break the list order; a file that loads cleanly must save, and load back to
// the same model.
#include "3-model/OstakFileInMem.h"
#include "fuzz/FuzzModel.h"
#include "fuzz/FuzzSupport.h"
#include "include/ostak.h"
#include "1-platform/Alloc.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

using ostak::OstakFileInMem;
using namespace ostak_fuzz;


} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    InitLibraryOnce(nullptr, false);
    const int64_t liveBefore = ostak::LiveAllocations();
    const std::string input = WorkDir() + "/input.xml";
    const std::string saved = WorkDir() + "/saved.xml";
    Check(WriteFile(input, std::string(reinterpret_cast<const char *>(data), size)), "writing the input");
    {
        std::unique_ptr<OstakFileInMem> file(
            OstakFileInMem::Create(0, input.c_str(), static_cast<int32_t>(input.size())));
        Check(file != nullptr, "creating the object");
        const int32_t rc = file->Load(false, ostak::OstakContext::FromGlobals());
        Check(NamesInOrder(*file, rc == 0), "applications and rules in name order");
        if (rc == 0 && !file->Applications().Empty()) {
            CheckSaveAndReload(*file, saved, false);
        }
    }
    Check(ostak::LiveAllocations() == liveBefore, "no library allocation left behind");
    return 0;
}
