// The run-time binding of ICU's common library.
//
// ICU is not linked: its common library is loaded on first need by the file
// name that the build detected (OSTAK_ICU_LIBRARY_NAME) and its converter
// functions are looked up by name with the build's version suffix
// (OSTAK_ICU_SUFFIX). The few ICU types the library needs are declared here,
// with the layouts and argument orders of ICU's C interface.
#pragma once

#include <cstdint>

namespace ostak {

namespace icu {

using UErrorCode = int32_t; // > 0 failure, <= 0 success (warnings are negative)
using UChar = char16_t;
using UChar32 = int32_t;
using UBool = int8_t;

struct UConverter;                // opaque
struct UConverterToUnicodeArgs;   // handed through to the write functions only
struct UConverterFromUnicodeArgs; // likewise

// Why ICU calls a substitution callback.
enum UConverterCallbackReason : int32_t {
    UCNV_UNASSIGNED = 0,
    UCNV_ILLEGAL = 1,
    UCNV_IRREGULAR = 2,
    UCNV_RESET = 3,
    UCNV_CLOSE = 4,
    UCNV_CLONE = 5,
};

constexpr UErrorCode U_ZERO_ERROR = 0;

inline bool Failed(UErrorCode code) noexcept {
    return code > U_ZERO_ERROR;
}

using UConverterToUCallback = void (*)(const void *context, UConverterToUnicodeArgs *args,
                                       const char *codeUnits, int32_t length, UConverterCallbackReason reason,
                                       UErrorCode *err);
using UConverterFromUCallback = void (*)(const void *context, UConverterFromUnicodeArgs *args,
                                         const UChar *codeUnits, int32_t length, UChar32 codePoint,
                                         UConverterCallbackReason reason, UErrorCode *err);

using UcnvOpenFn = UConverter *(*)(const char *name, UErrorCode *err);
using UcnvCloseFn = void (*)(UConverter *converter);
using UcnvFromUnicodeFn = void (*)(UConverter *converter, char **target, const char *targetLimit,
                                   const UChar **source, const UChar *sourceLimit, int32_t *offsets,
                                   UBool flush, UErrorCode *err);
using UcnvToUnicodeFn = void (*)(UConverter *converter, UChar **target, const UChar *targetLimit,
                                 const char **source, const char *sourceLimit, int32_t *offsets, UBool flush,
                                 UErrorCode *err);
using UErrorNameFn = const char *(*)(UErrorCode code);
using UcnvGetNameFn = const char *(*)(const UConverter *converter, UErrorCode *err);
using UcnvGetCharSizeFn = int8_t (*)(const UConverter *converter);
using UcnvSetFromUCallBackFn = void (*)(UConverter *converter, UConverterFromUCallback action,
                                        const void *context, UConverterFromUCallback *oldAction,
                                        const void **oldContext, UErrorCode *err);
using UcnvSetToUCallBackFn = void (*)(UConverter *converter, UConverterToUCallback action,
                                      const void *context, UConverterToUCallback *oldAction,
                                      const void **oldContext, UErrorCode *err);
using UcnvCbFromUWriteBytesFn = void (*)(UConverterFromUnicodeArgs *args, const char *source, int32_t length,
                                         int32_t offsetIndex, UErrorCode *err);
using UcnvCbToUWriteUCharsFn = void (*)(UConverterToUnicodeArgs *args, const UChar *source, int32_t length,
                                        int32_t offsetIndex, UErrorCode *err);

} // namespace icu

// The twelve entry points, in the order in which they are looked up.
struct IcuEntryPoints {
    icu::UcnvOpenFn ucnv_open;
    icu::UcnvCloseFn ucnv_close;
    icu::UcnvFromUnicodeFn ucnv_fromUnicode;
    icu::UcnvToUnicodeFn ucnv_toUnicode;
    icu::UErrorNameFn u_errorName;
    icu::UcnvGetNameFn ucnv_getName;
    icu::UcnvGetCharSizeFn ucnv_getMinCharSize;
    icu::UcnvGetCharSizeFn ucnv_getMaxCharSize;
    icu::UcnvSetFromUCallBackFn ucnv_setFromUCallBack;
    icu::UcnvSetToUCallBackFn ucnv_setToUCallBack;
    icu::UcnvCbFromUWriteBytesFn ucnv_cbFromUWriteBytes;
    icu::UcnvCbToUWriteUCharsFn ucnv_cbToUWriteUChars;
};

constexpr int kIcuEntryPointCount = 12;

// The suffixed names looked up, in table order ("ucnv_open_72", ...).
extern const char *const kIcuEntryPointNames[kIcuEntryPointCount];

// The message texts and source lines of a failed load.
extern const char *const kIcuLoadFailedText;
constexpr int32_t kLineIcuLoadFailed = 442;
constexpr int32_t kLineIcuEntryPointMissing = 410;
constexpr const char *kIcuLoadFunc = "TqwiUcConverter::UcConverterInitDynam";
constexpr const char *kIcuSetupFunc = "setup_func for TqwiUcConverter::UcConverterInitDynam";

// The table in force: all twelve entry points, or null while ICU is not loaded.
// The table is published whole, so a reader never sees it half-filled.
const IcuEntryPoints *IcuTable() noexcept;

// Whether the table is loaded (its ucnv_open entry is there).
bool IcuTableLoaded() noexcept;

// Loads ICU's common library and fills the table, under the loader lock; a
// table that another thread filled meanwhile is kept as it is. Answers
// whether the table is loaded. Failures are issued as messages; the table
// then stays empty and the next call tries again. The library, once loaded,
// stays loaded for the life of the process.
bool LoadIcuTable() noexcept;

// For tests: puts `table` in force (null: not loaded) and answers the table
// that was in force. Converters opened under one table must be closed before
// another is put in force.
const IcuEntryPoints *ExchangeIcuTableForTests(const IcuEntryPoints *table) noexcept;

} // namespace ostak
