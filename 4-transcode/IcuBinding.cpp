#include "4-transcode/IcuBinding.h"

#include "2-core/MsgIssue.h"
#include "2-core/OstakGlobals.h"
#include "1-platform/LoaderLock.h"
#include "1-platform/basekit32.h"

#include <atomic>
#include <cstdio>

namespace ostak {

const char *const kIcuEntryPointNames[kIcuEntryPointCount] = {
    "ucnv_open" OSTAK_ICU_SUFFIX,
    "ucnv_close" OSTAK_ICU_SUFFIX,
    "ucnv_fromUnicode" OSTAK_ICU_SUFFIX,
    "ucnv_toUnicode" OSTAK_ICU_SUFFIX,
    "u_errorName" OSTAK_ICU_SUFFIX,
    "ucnv_getName" OSTAK_ICU_SUFFIX,
    "ucnv_getMinCharSize" OSTAK_ICU_SUFFIX,
    "ucnv_getMaxCharSize" OSTAK_ICU_SUFFIX,
    "ucnv_setFromUCallBack" OSTAK_ICU_SUFFIX,
    "ucnv_setToUCallBack" OSTAK_ICU_SUFFIX,
    "ucnv_cbFromUWriteBytes" OSTAK_ICU_SUFFIX,
    "ucnv_cbToUWriteUChars" OSTAK_ICU_SUFFIX,
};

const char *const kIcuLoadFailedText =
    "os_load_library(" OSTAK_ICU_LIBRARY_NAME ") failed in TqwiUcConverter::UcConverterInitDynam";

namespace {

// The filled table; written only under the loader lock and before it is published.
IcuEntryPoints g_loadedTable;
// The table in force; null until the load succeeded.
std::atomic<const IcuEntryPoints *> g_table{nullptr};

void IssueMissingEntryPoint(void *library, const char *name) noexcept {
    char text[kMessageBufferSize];
    std::snprintf(
        text, sizeof text,
        "os_get_proc_address(%p, \"%s\") failed in setup_func() for TqwiUcConverter::UcConverterInitDynam",
        library, name);
    MsgFormatAndIssue(kMsgText, kIcuSetupFunc, kLineIcuEntryPointMissing, kLevelError, {MsgArg::Str(text)});
}

// Looks up one entry point and stores it in `slot`; reports a missing one.
template <class Fn> bool SetupFunc(void *library, int index, Fn *slot) noexcept {
    void *address = os_get_proc_address(library, kIcuEntryPointNames[index]);
    if (address == nullptr) {
        IssueMissingEntryPoint(library, kIcuEntryPointNames[index]);
        return false;
    }
    *slot = reinterpret_cast<Fn>(address);
    return true;
}

// Looks up all twelve entry points in table order, stopping at the first
// that is missing.
bool LookUpAll(void *library, IcuEntryPoints *table) noexcept {
    return SetupFunc(library, 0, &table->ucnv_open) && SetupFunc(library, 1, &table->ucnv_close) &&
           SetupFunc(library, 2, &table->ucnv_fromUnicode) && SetupFunc(library, 3, &table->ucnv_toUnicode) &&
           SetupFunc(library, 4, &table->u_errorName) && SetupFunc(library, 5, &table->ucnv_getName) &&
           SetupFunc(library, 6, &table->ucnv_getMinCharSize) &&
           SetupFunc(library, 7, &table->ucnv_getMaxCharSize) &&
           SetupFunc(library, 8, &table->ucnv_setFromUCallBack) &&
           SetupFunc(library, 9, &table->ucnv_setToUCallBack) &&
           SetupFunc(library, 10, &table->ucnv_cbFromUWriteBytes) &&
           SetupFunc(library, 11, &table->ucnv_cbToUWriteUChars);
}

} // namespace

const IcuEntryPoints *IcuTable() noexcept {
    return g_table.load(std::memory_order_acquire);
}

bool IcuTableLoaded() noexcept {
    const IcuEntryPoints *table = IcuTable();
    return table != nullptr && table->ucnv_open != nullptr;
}

bool LoadIcuTable() noexcept {
    LoaderLockGuard lock;
    // Another thread may have filled the table while this one waited.
    if (IcuTableLoaded()) {
        return true;
    }
    void *library = os_load_library(OSTAK_ICU_LIBRARY_NAME);
    if (library == nullptr) {
        MsgFormatAndIssue(kMsgText, kIcuLoadFunc, kLineIcuLoadFailed, kLevelError,
                          {MsgArg::Str(kIcuLoadFailedText)});
        return false;
    }
    IcuEntryPoints found{};
    if (!LookUpAll(library, &found)) {
        return false;
    }
    g_loadedTable = found;
    g_table.store(&g_loadedTable, std::memory_order_release);
    return true;
}

const IcuEntryPoints *ExchangeIcuTableForTests(const IcuEntryPoints *table) noexcept {
    LoaderLockGuard lock;
    return g_table.exchange(table, std::memory_order_acq_rel);
}

} // namespace ostak
