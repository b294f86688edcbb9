#include "tests/support/FakeIcu.h"

#include "2-core/OstakGlobals.h"
#include "4-transcode/TqwiUcConverter.h"

#include <clocale>

using namespace ostak;
using namespace ostak::icu;

namespace ostak_test {

void TranscodeTest::SetUp() {
    CatalogueTest::SetUp();
    SetConverterNameForTests(nullptr);
}

void TranscodeTest::TearDown() {
    SetConverterNameForTests(nullptr);
    CatalogueTest::TearDown();
}

void TranscodeTest::ExpectOnlyMessage(int32_t number, const std::string &text, const std::string &func,
                                      int32_t line, int32_t level) {
    ASSERT_EQ(Log().size(), 1u) << "the log callback hears the failure exactly once";
    const LogRecord &record = Log()[0];
    EXPECT_EQ(record.number, number);
    EXPECT_EQ(record.text, text);
    EXPECT_EQ(record.func, func);
    EXPECT_EQ(record.line, line);
    EXPECT_EQ(record.level, level);
    EXPECT_TRUE(Globals().issuedOnce);
}

ScopedIcuTable::ScopedIcuTable(const IcuEntryPoints *table) : previous_(ExchangeIcuTableForTests(table)) {}

ScopedIcuTable::~ScopedIcuTable() {
    ExchangeIcuTableForTests(previous_);
}

ScopedCtype::ScopedCtype(const char *locale) : previous_(std::setlocale(LC_CTYPE, nullptr)) {
    ok_ = std::setlocale(LC_CTYPE, locale) != nullptr;
}

ScopedCtype::~ScopedCtype() {
    std::setlocale(LC_CTYPE, previous_.c_str());
}

namespace {

FakeIcuState g_fake;
char g_fakeConverter;

UConverter *FakeConverter() {
    return reinterpret_cast<UConverter *>(&g_fakeConverter);
}

UConverter *FakeOpen(const char *, UErrorCode *err) {
    ++g_fake.openCalls;
    if (g_fake.openError != 0) {
        *err = g_fake.openError;
        return nullptr;
    }
    return g_fake.openReturnsNull ? nullptr : FakeConverter();
}

void FakeClose(UConverter *converter) {
    if (converter == FakeConverter()) {
        ++g_fake.closeCalls;
    }
}

void FakeFromUnicode(UConverter *, char **target, const char *targetLimit, const UChar **source,
                     const UChar *sourceLimit, int32_t *offsets, UBool flush, UErrorCode *err) {
    g_fake.fromUnicodeRoom = targetLimit - *target;
    g_fake.flushSeen = flush;
    g_fake.offsetsSeen = offsets != nullptr;
    if (g_fake.fromUnicodeError != 0) {
        *err = g_fake.fromUnicodeError;
        return;
    }
    while (*source < sourceLimit && *target < targetLimit) {
        *(*target)++ = static_cast<char>(*(*source)++);
    }
}

void FakeToUnicode(UConverter *, UChar **target, const UChar *targetLimit, const char **source,
                   const char *sourceLimit, int32_t *offsets, UBool flush, UErrorCode *err) {
    g_fake.toUnicodeRoom = targetLimit - *target;
    g_fake.flushSeen = flush;
    g_fake.offsetsSeen = offsets != nullptr;
    if (g_fake.toUnicodeError != 0) {
        *err = g_fake.toUnicodeError;
        return;
    }
    while (*source < sourceLimit && *target < targetLimit) {
        *(*target)++ = static_cast<unsigned char>(*(*source)++);
    }
}

const char *FakeErrorName(UErrorCode) {
    return g_fake.errorName;
}

const char *FakeGetName(const UConverter *, UErrorCode *err) {
    if (g_fake.getNameError != 0) {
        *err = g_fake.getNameError;
        return nullptr;
    }
    return g_fake.name;
}

int8_t FakeMinCharSize(const UConverter *) {
    return g_fake.minCharSize;
}

int8_t FakeMaxCharSize(const UConverter *) {
    return g_fake.maxCharSize;
}

void FakeSetFrom(UConverter *, UConverterFromUCallback action, const void *context, UConverterFromUCallback *,
                 const void **, UErrorCode *err) {
    if (g_fake.setFromError != 0) {
        *err = g_fake.setFromError;
        return;
    }
    g_fake.fromAction = action;
    g_fake.fromContext = context;
}

void FakeSetTo(UConverter *, UConverterToUCallback action, const void *context, UConverterToUCallback *,
               const void **, UErrorCode *err) {
    if (g_fake.setToError != 0) {
        *err = g_fake.setToError;
        return;
    }
    g_fake.toAction = action;
    g_fake.toContext = context;
}

void FakeWriteBytes(UConverterFromUnicodeArgs *args, const char *source, int32_t length, int32_t offsetIndex,
                    UErrorCode *) {
    FakeIcuState::Write write{args, {}, offsetIndex};
    for (int32_t i = 0; i < length; ++i) {
        write.values.push_back(static_cast<unsigned char>(source[i]));
    }
    g_fake.writes.push_back(write);
}

void FakeWriteUChars(UConverterToUnicodeArgs *args, const UChar *source, int32_t length, int32_t offsetIndex,
                     UErrorCode *) {
    FakeIcuState::Write write{args, {}, offsetIndex};
    for (int32_t i = 0; i < length; ++i) {
        write.values.push_back(source[i]);
    }
    g_fake.writes.push_back(write);
}

const IcuEntryPoints kFakeTable = {
    FakeOpen,        FakeClose,       FakeFromUnicode, FakeToUnicode, FakeErrorName,  FakeGetName,
    FakeMinCharSize, FakeMaxCharSize, FakeSetFrom,     FakeSetTo,     FakeWriteBytes, FakeWriteUChars,
};

} // namespace

FakeIcuState &FakeIcu() {
    return g_fake;
}

const IcuEntryPoints *FakeIcuTable() {
    g_fake = FakeIcuState{};
    return &kFakeTable;
}

} // namespace ostak_test
