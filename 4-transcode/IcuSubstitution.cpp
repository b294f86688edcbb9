#include "4-transcode/IcuSubstitution.h"

#include <cstring>

namespace ostak {

namespace {

constexpr const char *kConverterNames[] = {"US-ASCII", "ibm-943_P14A-2000"};

// Units written as a plain space. U+2000 and U+2001 are not among them.
constexpr char16_t kSpaceUnits[] = {
    u'\u00A0', u'\u1680', u'\u2002', u'\u2003', u'\u2004', u'\u2005', u'\u2006', u'\u2007', u'\u2008',
    u'\u2009', u'\u200A', u'\u200B', u'\u202F', u'\u205F', u'\u2060', u'\u3000', u'\uFEFF',
};
static_assert(sizeof kSpaceUnits / sizeof kSpaceUnits[0] == 17, "the space table holds 17 units");

constexpr char16_t kQuestionMark = u'?';
constexpr char16_t kKatakanaMiddleDot = u'\u30FB';
constexpr unsigned char kLastControlOrSpace = 0x20;
constexpr char kSpaceByte = 0x20;
constexpr char kBackslashByte = 0x5C;
constexpr char kQuestionMarkByte = 0x3F;
constexpr char16_t kYenSign = u'\u00A5';

bool IsSubstitutedReason(icu::UConverterCallbackReason reason) noexcept {
    return reason == icu::UCNV_UNASSIGNED || reason == icu::UCNV_ILLEGAL || reason == icu::UCNV_IRREGULAR;
}

// The entry points through which a callback writes its substitute, or null
// when it is to leave ICU's error alone: a reason other than a sequence to
// substitute, no units to look at, or ICU not loaded. Otherwise the error is
// cleared, since the substitute takes the sequence's place.
const IcuEntryPoints *SubstitutionTable(icu::UConverterCallbackReason reason, bool hasUnits, int32_t length,
                                        icu::UErrorCode *err) noexcept {
    if (!IsSubstitutedReason(reason) || !hasUnits || length < 1) {
        return nullptr;
    }
    const IcuEntryPoints *table = IcuTable();
    if (table != nullptr) {
        *err = icu::U_ZERO_ERROR;
    }
    return table;
}

} // namespace

int32_t ConverterIndexOfName(const char *name) noexcept {
    if (name == nullptr) {
        return kConverterOther;
    }
    for (int32_t index = 0; index < kConverterOther; ++index) {
        if (std::strcmp(name, kConverterNames[index]) == 0) {
            return index;
        }
    }
    return kConverterOther;
}

const void *ContextOfConverterIndex(int32_t index) noexcept {
    return reinterpret_cast<const void *>(static_cast<uintptr_t>(index));
}

int32_t ConverterIndexOfContext(const void *context) noexcept {
    const uintptr_t index = reinterpret_cast<uintptr_t>(context);
    return index < static_cast<uintptr_t>(kConverterOther) ? static_cast<int32_t>(index) : kConverterOther;
}

bool IsSubstitutedBySpace(char16_t unit) noexcept {
    for (char16_t space : kSpaceUnits) {
        if (space == unit) {
            return true;
        }
    }
    return false;
}

char16_t ToUnicodeSubstitute(int32_t index, const char *bytes, int32_t length) noexcept {
    const unsigned char first = static_cast<unsigned char>(bytes[0]);
    if (index == kConverterUsAscii) {
        return static_cast<char16_t>(first & 0x7F);
    }
    if (length == 1) {
        return first <= kLastControlOrSpace ? static_cast<char16_t>(first) : kQuestionMark;
    }
    return index == kConverterIbm943 ? kKatakanaMiddleDot : kQuestionMark;
}

char FromUnicodeSubstitute(int32_t index, char16_t unit) noexcept {
    if (IsSubstitutedBySpace(unit)) {
        return kSpaceByte;
    }
    if (index == kConverterIbm943 && unit == kYenSign) {
        return kBackslashByte;
    }
    return kQuestionMarkByte;
}

void ToUnicodeSubstitutionCallback(const void *context, icu::UConverterToUnicodeArgs *args,
                                   const char *codeUnits, int32_t length,
                                   icu::UConverterCallbackReason reason, icu::UErrorCode *err) noexcept {
    const IcuEntryPoints *table = SubstitutionTable(reason, codeUnits != nullptr, length, err);
    if (table == nullptr) {
        return;
    }
    const icu::UChar unit = ToUnicodeSubstitute(ConverterIndexOfContext(context), codeUnits, length);
    table->ucnv_cbToUWriteUChars(args, &unit, 1, 0, err);
}

void FromUnicodeSubstitutionCallback(const void *context, icu::UConverterFromUnicodeArgs *args,
                                     const icu::UChar *codeUnits, int32_t length, icu::UChar32 /*codePoint*/,
                                     icu::UConverterCallbackReason reason, icu::UErrorCode *err) noexcept {
    const IcuEntryPoints *table = SubstitutionTable(reason, codeUnits != nullptr, length, err);
    if (table == nullptr) {
        return;
    }
    const char byte = FromUnicodeSubstitute(ConverterIndexOfContext(context), codeUnits[0]);
    table->ucnv_cbFromUWriteBytes(args, &byte, 1, 0, err);
}

} // namespace ostak
