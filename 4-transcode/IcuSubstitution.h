// The library's substitution rules for text that ICU cannot convert.
//
// Each ICU converter gets two callbacks: one for bytes that do not convert to
// UTF-16, one for UTF-16 that does not convert to bytes. Both replace what
// they are given by exactly one unit or byte, chosen by the converter's
// identity (its index in the converter identity table), which ICU hands them
// as their context.
#pragma once

#include "4-transcode/IcuBinding.h"

#include <cstdint>

namespace ostak {

// The converter identity table.
constexpr int32_t kConverterUsAscii = 0; // "US-ASCII"
constexpr int32_t kConverterIbm943 = 1;  // "ibm-943_P14A-2000"
constexpr int32_t kConverterOther = 2;   // any other name, or none

// The index of a converter by its name (exact byte comparison).
int32_t ConverterIndexOfName(const char *name) noexcept;

// The context that carries a converter index to the callbacks, and back.
const void *ContextOfConverterIndex(int32_t index) noexcept;
int32_t ConverterIndexOfContext(const void *context) noexcept;

// Whether a UTF-16 unit is in the space table (written as a plain space).
bool IsSubstitutedBySpace(char16_t unit) noexcept;

// The UTF-16 unit that stands for `length` (>= 1) bytes that did not convert.
char16_t ToUnicodeSubstitute(int32_t index, const char *bytes, int32_t length) noexcept;
// The byte that stands for the UTF-16 unit `unit` that did not convert.
char FromUnicodeSubstitute(int32_t index, char16_t unit) noexcept;

// The callbacks given to ICU. For the reasons unassigned, illegal and
// irregular, with at least one unit of input, they clear the error and write
// the substitute through ICU's write functions; otherwise they do nothing.
void ToUnicodeSubstitutionCallback(const void *context, icu::UConverterToUnicodeArgs *args,
                                   const char *codeUnits, int32_t length,
                                   icu::UConverterCallbackReason reason, icu::UErrorCode *err) noexcept;
void FromUnicodeSubstitutionCallback(const void *context, icu::UConverterFromUnicodeArgs *args,
                                     const icu::UChar *codeUnits, int32_t length, icu::UChar32 codePoint,
                                     icu::UConverterCallbackReason reason, icu::UErrorCode *err) noexcept;

} // namespace ostak
