// Fuzz target: a rule file on the ICU conversion path (the converter switch
// on), with the converter chosen by the first byte: ICU's default one,
// US-ASCII, ISO-8859-1, UTF-8 or the multi-byte Shift_JIS. The rest is the
// document. A document that loads cleanly must save (or be refused with a
// message and nothing written) and load back to the same model; nothing
// crashes or leaks.
#include "2-core/OstakContext.h"
#include "3-model/OstakFileInMem.h"
#include "fuzz/FuzzModel.h"
#include "fuzz/FuzzSupport.h"
#include "include/ostak.h"
#include "1-platform/Alloc.h"
#include "4-transcode/TqwiUcConverter.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

using ostak::OstakFileInMem;
using namespace ostak_fuzz;

constexpr const char *kConverters[] = {nullptr, "US-ASCII", "ISO-8859-1", "UTF-8", "Shift_JIS"};


void RunOne(const uint8_t *data, size_t size) {
    const std::string input = WorkDir() + "/input.xml";
    const std::string document(reinterpret_cast<const char *>(data) + (size > 0 ? 1 : 0),
                               size > 0 ? size - 1 : 0);
    Check(WriteFile(input, document), "writing the input");
    std::unique_ptr<OstakFileInMem> file(
        OstakFileInMem::Create(0, input.c_str(), static_cast<int32_t>(input.size())));
    Check(file != nullptr, "creating the object");
    const int32_t rc = file->Load(false, ostak::OstakContext::FromGlobals());
    Trace("load", rc);
    Check(NamesInOrder(*file, rc == 0), "applications and rules in name order");
    if (rc == 0 && !file->Applications().Empty()) {
        CheckSaveAndReload(*file, WorkDir() + "/saved.xml", false);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    InitLibraryOnce(nullptr, true);
    Check(ostak::OstakContext::FromGlobals().icuPath, "the converter switch puts the ICU path in force");
    const int64_t liveBefore = ostak::LiveAllocations();
    ostak::SetConverterNameForTests(size > 0 ? kConverters[data[0] % 5] : nullptr);
    RunOne(data, size);
    ostak::SetConverterNameForTests(nullptr);
    Check(ostak::LiveAllocations() == liveBefore, "no library allocation left behind");
    return 0;
}
