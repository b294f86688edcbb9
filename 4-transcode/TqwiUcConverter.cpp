#include "4-transcode/TqwiUcConverter.h"

#include "1-platform/tasklib.h"
#include "2-core/MsgIssue.h"
#include "2-core/OstakGlobals.h"
#include "4-transcode/IcuSubstitution.h"

#include <cstdio>

namespace ostak {

namespace {

constexpr char16_t kEmptyWide[1] = {0};
constexpr char kEmptyNarrow[1] = {0};

constexpr const char *kConstructFunc = "TqwiUcConverter::ConstructUcConverter";
constexpr const char *kToUcFunc = "TqwiUcConverter::ToUcOnOtherOs";
constexpr const char *kToMbFunc = "TqwiUcConverter::ToMbOnOtherOs";
constexpr const char *kNoErrorName = "(u_errorName returned NULL or empty string)";
constexpr icu::UErrorCode kOpenReturnedNullCode = 5;
constexpr const char *kOpenReturnedNullName = "ucnv_open returned NULL without setting U_FAILURE";
constexpr icu::UBool kFlush = 1;

// What the ICU path opens: null for ICU's default converter.
const char *g_converterNameForTests = nullptr;

bool IsHighSurrogate(char16_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) noexcept {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

int64_t CodePointOfPair(char16_t high, char16_t low) noexcept {
    return 0x10000 + ((int64_t{high} - 0xD800) << 10) + (int64_t{low} - 0xDC00);
}

const char *ErrorNameOf(const IcuEntryPoints &table, icu::UErrorCode code) noexcept {
    const char *name = table.u_errorName(code);
    return name != nullptr && name[0] != '\0' ? name : kNoErrorName;
}

// Keeps the first failure only.
void RecordFailure(const IcuEntryPoints &table, icu::UErrorCode code, const char *function,
                   icu::UErrorCode *errorCode, const char **errorName, const char **functionName) noexcept {
    if (*errorCode != icu::U_ZERO_ERROR) {
        return;
    }
    *errorCode = code;
    *errorName = ErrorNameOf(table, code);
    *functionName = function;
}

// Issues "<function> failed (<code>=<name>) in <where>" as a text message.
void IssueIcuFailure(const char *function, icu::UErrorCode code, const char *errorName, const char *where,
                     int32_t line) noexcept {
    char text[kMessageBufferSize];
    std::snprintf(text, sizeof text, "%s failed (%d=%s) in %s", function, static_cast<int>(code), errorName,
                  where);
    MsgFormatAndIssue(kMsgText, where, line, kLevelError, {MsgArg::Str(text)});
}

} // namespace

void SetConverterNameForTests(const char *name) noexcept {
    g_converterNameForTests = name;
}

TqwiUcConverter::TqwiUcConverter(bool icuPath) noexcept : icuPath_(icuPath) {
    if (icuPath_) {
        OpenOwnConverter();
    }
}

TqwiUcConverter::TqwiUcConverter(SharedIcuConverter &shared) noexcept : icuPath_(shared.IcuPath()) {
    if (!icuPath_) {
        return;
    }
    if (shared.Lend() != nullptr) {
        lender_ = &shared;
        return;
    }
    OpenOwnConverter();
}

icu::UConverter *TqwiUcConverter::IcuConverter() noexcept {
    if (lender_ == nullptr) {
        return converter_;
    }
    // Asked at every conversion: another borrower may have had it renewed.
    icu::UConverter *lent = lender_->Lend();
    if (lent != nullptr) {
        return lent;
    }
    // The lender has none any more: from now on this converter has its own.
    lender_ = nullptr;
    OpenOwnConverter();
    return converter_;
}

void TqwiUcConverter::OpenOwnConverter() noexcept {
    if (!IcuTableLoaded() && !UcConverterInitDynam()) {
        return;
    }
    icu::UErrorCode code = icu::U_ZERO_ERROR;
    const char *errorName = nullptr;
    const char *functionName = nullptr;
    converter_ = ConstructUcConverter(&code, &errorName, &functionName);
    if (icu::Failed(code)) {
        IssueIcuFailure(functionName, code, errorName, kConstructFunc, kLineConstructUcConverter);
    }
}

TqwiUcConverter::~TqwiUcConverter() {
    maw_free(wide_);
    maw_free(narrow_);
    if (converter_ != nullptr) {
        IcuTable()->ucnv_close(converter_);
    }
}

void TqwiUcConverter::AfterIcuFailure() noexcept {
    if (lender_ != nullptr) {
        lender_->Renew();
    }
}

bool TqwiUcConverter::UcConverterInitDynam() noexcept {
    return LoadIcuTable();
}

icu::UConverter *TqwiUcConverter::ConstructUcConverter(icu::UErrorCode *errorCode, const char **errorName,
                                                       const char **functionName) noexcept {
    *errorCode = icu::U_ZERO_ERROR;
    *errorName = "no error";
    *functionName = "no function";
    const IcuEntryPoints *table = IcuTable();
    if (table == nullptr) {
        return nullptr;
    }

    icu::UErrorCode err = icu::U_ZERO_ERROR;
    icu::UConverter *converter = table->ucnv_open(g_converterNameForTests, &err);
    if (icu::Failed(err)) {
        RecordFailure(*table, err, "ucnv_open", errorCode, errorName, functionName);
        if (converter != nullptr) {
            table->ucnv_close(converter);
        }
        return nullptr;
    }
    if (converter == nullptr) {
        *errorCode = kOpenReturnedNullCode;
        *errorName = kOpenReturnedNullName;
        *functionName = "ucnv_open";
        return nullptr;
    }

    err = icu::U_ZERO_ERROR;
    const char *name = table->ucnv_getName(converter, &err);
    if (icu::Failed(err)) {
        RecordFailure(*table, err, "ucnv_getName", errorCode, errorName, functionName);
        name = nullptr;
    }
    const void *context = ContextOfConverterIndex(ConverterIndexOfName(name));

    err = icu::U_ZERO_ERROR;
    icu::UConverterToUCallback oldToAction = nullptr;
    const void *oldToContext = nullptr;
    table->ucnv_setToUCallBack(converter, ToUnicodeSubstitutionCallback, context, &oldToAction, &oldToContext,
                               &err);
    if (icu::Failed(err)) {
        RecordFailure(*table, err, "ucnv_setToUCallBack", errorCode, errorName, functionName);
    }

    err = icu::U_ZERO_ERROR;
    icu::UConverterFromUCallback oldFromAction = nullptr;
    const void *oldFromContext = nullptr;
    table->ucnv_setFromUCallBack(converter, FromUnicodeSubstitutionCallback, context, &oldFromAction,
                                 &oldFromContext, &err);
    if (icu::Failed(err)) {
        RecordFailure(*table, err, "ucnv_setFromUCallBack", errorCode, errorName, functionName);
    }
    return converter;
}

void TqwiUcConverter::ToUc(const char *bytes, uint32_t count) noexcept {
    narrowValid_ = false;
    outOfMemory_ = false;
    unrepresentable_ = -1;
    if (icuPath_) {
        ToUcOnOtherOs(bytes, count);
        return;
    }
    if ((bytes == nullptr && count > 0) || !ReserveWide(uint64_t{count} + 1)) {
        FailWide();
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        wide_[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
    }
    wide_[count] = 0;
    wideLength_ = count;
    wideValid_ = true;
}

void TqwiUcConverter::ToMb(const char16_t *units, uint32_t count) noexcept {
    ConvertToMb(units, count, false);
}

void TqwiUcConverter::ToMbSubstituting(const char16_t *units, uint32_t count) noexcept {
    ConvertToMb(units, count, true);
}

void TqwiUcConverter::ConvertToMb(const char16_t *units, uint32_t count, bool substitute) noexcept {
    wideValid_ = false;
    outOfMemory_ = false;
    unrepresentable_ = -1;
    if (icuPath_) {
        ToMbOnOtherOs(units, count);
        return;
    }
    if ((units == nullptr && count > 0) || !ReserveNarrow(uint64_t{count} + 1)) {
        FailNarrow();
        return;
    }
    uint32_t length = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if (unit <= 0xFF) {
            narrow_[length++] = static_cast<char>(unit);
            continue;
        }
        const bool pair = IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units[i + 1]);
        if (!substitute) {
            unrepresentable_ = pair ? CodePointOfPair(unit, units[i + 1]) : unit;
            unrepresentableIndex_ = i;
            FailNarrow();
            return;
        }
        narrow_[length++] = '?';
        i += pair ? 1 : 0;
    }
    narrow_[length] = '\0';
    narrowLength_ = length;
    narrowValid_ = true;
}

const char16_t *TqwiUcConverter::GetUc() noexcept {
    if (wideValid_) {
        return wide_;
    }
    if (!narrowValid_) {
        return kEmptyWide;
    }
    ToUc(narrow_, narrowLength_);
    narrowValid_ = true;
    return wideValid_ ? wide_ : kEmptyWide;
}

const char *TqwiUcConverter::GetMb() noexcept {
    if (narrowValid_) {
        return narrow_;
    }
    if (!wideValid_) {
        return kEmptyNarrow;
    }
    ToMb(wide_, wideLength_);
    wideValid_ = true;
    return narrowValid_ ? narrow_ : kEmptyNarrow;
}

void TqwiUcConverter::ToUcOnOtherOs(const char *bytes, uint32_t count) noexcept {
    icu::UConverter *converter = IcuConverter();
    if (converter == nullptr || (bytes == nullptr && count > 0)) {
        FailWide();
        return;
    }
    const IcuEntryPoints &table = *IcuTable();
    const int8_t minCharSize = table.ucnv_getMinCharSize(converter);
    const uint64_t room = count / static_cast<uint64_t>(minCharSize > 0 ? minCharSize : 1) + 1;
    if (!ReserveWide(room)) {
        FailWide();
        return;
    }
    const char *source = bytes != nullptr ? bytes : kEmptyNarrow;
    icu::UChar *target = wide_;
    icu::UErrorCode err = icu::U_ZERO_ERROR;
    table.ucnv_toUnicode(converter, &target, wide_ + room - 1, &source, source + count, nullptr, kFlush,
                         &err);
    if (icu::Failed(err)) {
        IssueIcuFailure("ucnv_toUnicode", err, ErrorNameOf(table, err), kToUcFunc, kLineToUcOnOtherOs);
        AfterIcuFailure();
        FailWide();
        return;
    }
    *target = 0;
    wideLength_ = static_cast<uint32_t>(target - wide_);
    wideValid_ = true;
}

void TqwiUcConverter::ToMbOnOtherOs(const char16_t *units, uint32_t count) noexcept {
    icu::UConverter *converter = IcuConverter();
    if (converter == nullptr || (units == nullptr && count > 0)) {
        FailNarrow();
        return;
    }
    const IcuEntryPoints &table = *IcuTable();
    const int8_t maxCharSize = table.ucnv_getMaxCharSize(converter);
    const uint64_t room = static_cast<uint64_t>(maxCharSize > 0 ? maxCharSize : 1) * count + 1;
    if (!ReserveNarrow(room)) {
        FailNarrow();
        return;
    }
    const icu::UChar *source = units != nullptr ? units : kEmptyWide;
    char *target = narrow_;
    icu::UErrorCode err = icu::U_ZERO_ERROR;
    table.ucnv_fromUnicode(converter, &target, narrow_ + room - 1, &source, source + count, nullptr, kFlush,
                           &err);
    if (icu::Failed(err)) {
        IssueIcuFailure("ucnv_fromUnicode", err, ErrorNameOf(table, err), kToMbFunc, kLineToMbOnOtherOs);
        AfterIcuFailure();
        FailNarrow();
        return;
    }
    *target = '\0';
    narrowLength_ = static_cast<uint32_t>(target - narrow_);
    narrowValid_ = true;
}

bool TqwiUcConverter::ReserveWide(uint64_t units) noexcept {
    if (wide_ != nullptr && units <= wideCapacity_) {
        return true;
    }
    maw_free(wide_);
    wide_ = nullptr;
    wideCapacity_ = 0;
    if (units > UINT32_MAX) {
        outOfMemory_ = true;
        return false;
    }
    wide_ = static_cast<char16_t *>(maw_malloc(static_cast<std::size_t>(units) * sizeof(char16_t)));
    if (wide_ == nullptr) {
        outOfMemory_ = true;
        return false;
    }
    wideCapacity_ = static_cast<uint32_t>(units);
    return true;
}

bool TqwiUcConverter::ReserveNarrow(uint64_t bytes) noexcept {
    if (narrow_ != nullptr && bytes <= narrowCapacity_) {
        return true;
    }
    maw_free(narrow_);
    narrow_ = nullptr;
    narrowCapacity_ = 0;
    if (bytes > UINT32_MAX) {
        outOfMemory_ = true;
        return false;
    }
    narrow_ = static_cast<char *>(maw_malloc(static_cast<std::size_t>(bytes)));
    if (narrow_ == nullptr) {
        outOfMemory_ = true;
        return false;
    }
    narrowCapacity_ = static_cast<uint32_t>(bytes);
    return true;
}

void TqwiUcConverter::FailWide() noexcept {
    if (wide_ != nullptr) {
        wide_[0] = 0;
    }
    wideLength_ = 0;
    wideValid_ = false;
}

void TqwiUcConverter::FailNarrow() noexcept {
    if (narrow_ != nullptr) {
        narrow_[0] = '\0';
    }
    narrowLength_ = 0;
    narrowValid_ = false;
}

} // namespace ostak
