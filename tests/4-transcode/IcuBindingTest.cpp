// Binding ICU at run time: loading its common library and entry points once,
// opening and preparing a converter, and the messages of every failure.
#include "tests/support/FakeIcu.h"

#include "2-core/MsgIssue.h"
#include "1-platform/LoaderLock.h"
#include "1-platform/basekit32.h"
#include "4-transcode/IcuSubstitution.h"
#include "4-transcode/TqwiUcConverter.h"

#include <chrono>
#include <cstdio>
#include <thread>

using namespace ostak;
using namespace ostak_test;

namespace {

const std::string kLoadFunc = "TqwiUcConverter::UcConverterInitDynam";
const std::string kSetupFunc = "setup_func for TqwiUcConverter::UcConverterInitDynam";
const std::string kConstructFunc = "TqwiUcConverter::ConstructUcConverter";

class TranscodeIcuLoadTest : public TranscodeTest {
  protected:
    void SetUp() override {
        TranscodeTest::SetUp();
        Globals().converterSwitch = true;
    }
    // Starts every test with ICU not loaded; the table in force before comes back afterwards.
    ScopedIcuTable unloaded_{nullptr};
};

TEST_F(TranscodeIcuLoadTest, LoadsTheDetectedLibraryOnFirstNeedAndBindsAllTwelve) {
    ASSERT_FALSE(IcuTableLoaded());
    TqwiUcConverter converter(TestContext().icuPath);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(Seams().loadLibraryCalls, 1);
    ASSERT_TRUE(IcuTableLoaded());
    TqwiUcConverter second(TestContext().icuPath);
    EXPECT_EQ(Seams().loadLibraryCalls, 1) << "a loaded table is not loaded again";
    EXPECT_TRUE(second.HasIcuConverter());

    const IcuEntryPoints *table = IcuTable();
    void *const *slots = reinterpret_cast<void *const *>(table);
    void *library = os_load_library(OSTAK_ICU_LIBRARY_NAME);
    for (int i = 0; i < kIcuEntryPointCount; ++i) {
        EXPECT_EQ(slots[i], os_get_proc_address(library, kIcuEntryPointNames[i])) << kIcuEntryPointNames[i];
    }
    EXPECT_STREQ(kIcuEntryPointNames[0], "ucnv_open" OSTAK_ICU_SUFFIX);
    EXPECT_STREQ(kIcuEntryPointNames[11], "ucnv_cbToUWriteUChars" OSTAK_ICU_SUFFIX);
    EXPECT_TRUE(converter.HasIcuConverter());
}

TEST_F(TranscodeIcuLoadTest, TableIsFilledOnceEvenWhenAskedAgain) {
    EXPECT_TRUE(TqwiUcConverter::UcConverterInitDynam());
    const IcuEntryPoints *first = IcuTable();
    EXPECT_TRUE(TqwiUcConverter::UcConverterInitDynam());
    EXPECT_EQ(Seams().loadLibraryCalls, 1) << "the table is tested again under the lock";
    EXPECT_EQ(IcuTable(), first);
}

TEST_F(TranscodeIcuLoadTest, ThreadsWaitingOnTheLoaderLockFillTheTableOnce) {
    constexpr int kThreads = 8;
    std::vector<std::thread> threads;
    bool opened[kThreads] = {};
    {
        LoaderLockGuard hold;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([&opened, i] {
                TqwiUcConverter converter(TestContext().icuPath);
                opened[i] = converter.HasIcuConverter();
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(IcuTableLoaded()) << "nobody loads while the lock is held";
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(Seams().loadLibraryCalls, 1);
    for (bool each : opened) {
        EXPECT_TRUE(each);
    }
    EXPECT_TRUE(Log().empty());
}

TEST_F(TranscodeIcuLoadTest, LibraryThatCannotBeLoadedIsReportedByEveryConstructor) {
    Seams().loadLibraryFails = true;
    const std::string text =
        "os_load_library(" OSTAK_ICU_LIBRARY_NAME ") failed in TqwiUcConverter::UcConverterInitDynam";
    for (int round = 1; round <= 2; ++round) {
        Log().clear();
        TqwiUcConverter converter(TestContext().icuPath);
        ExpectOnlyMessage(kMsgText, text, kLoadFunc, 442, kLevelError);
        EXPECT_FALSE(converter.HasIcuConverter());
        EXPECT_EQ(Seams().loadLibraryCalls, round) << "a failed load is tried again";

        converter.ToUc("abc", 3);
        EXPECT_FALSE(converter.UcValid());
        EXPECT_EQ(converter.GetUc()[0], u'\0');
        converter.ToMb(u"abc", 3);
        EXPECT_FALSE(converter.MbValid());
        EXPECT_STREQ(converter.GetMb(), "");
        EXPECT_EQ(Log().size(), 1u) << "conversions without converter issue nothing more";
    }
    EXPECT_FALSE(IcuTableLoaded());
}

TEST_F(TranscodeIcuLoadTest, EachMissingEntryPointIsReportedAndLeavesTheTableEmpty) {
    void *library = os_load_library(OSTAK_ICU_LIBRARY_NAME);
    ASSERT_NE(library, nullptr);
    for (const char *name : kIcuEntryPointNames) {
        SCOPED_TRACE(name);
        Log().clear();
        Seams().procAddressMissing = name;
        char text[256];
        std::snprintf(text, sizeof text,
                      "os_get_proc_address(%p, \"%s\") failed in setup_func() for "
                      "TqwiUcConverter::UcConverterInitDynam",
                      library, name);
        {
            TqwiUcConverter converter(TestContext().icuPath);
            ExpectOnlyMessage(kMsgText, text, kSetupFunc, 410, kLevelError);
            EXPECT_FALSE(converter.HasIcuConverter());
            converter.ToUc("x", 1);
            EXPECT_FALSE(converter.UcValid());
        }
        EXPECT_FALSE(IcuTableLoaded());
        EXPECT_EQ(IcuTable(), nullptr) << "no half-filled table is ever in force";
    }
    Seams().procAddressMissing.clear();
    Log().clear();
    TqwiUcConverter converter(TestContext().icuPath);
    EXPECT_TRUE(converter.HasIcuConverter()) << "the next constructor tries again";
    EXPECT_TRUE(Log().empty());
}

TEST_F(TranscodeIcuLoadTest, PlainPathNeitherLoadsNorOpens) {
    Globals().converterSwitch = false;
    TqwiUcConverter converter(TestContext().icuPath);
    EXPECT_EQ(Seams().loadLibraryCalls, 0);
    EXPECT_FALSE(IcuTableLoaded());
    EXPECT_FALSE(converter.HasIcuConverter());
}

// Opening and preparing the converter, against the stand-in ICU.
class TranscodeIcuOpenTest : public TranscodeTest {
  protected:
    void SetUp() override {
        TranscodeTest::SetUp();
        Globals().converterSwitch = true;
    }
    ScopedIcuTable fake_{FakeIcuTable()};
};

TEST_F(TranscodeIcuOpenTest, GivesBothCallbacksTheIndexOfTheConverterName) {
    struct Case {
        const char *name;
        int32_t index;
    };
    const Case cases[] = {
        {"US-ASCII", 0}, {"ibm-943_P14A-2000", 1}, {"UTF-8", 2},
        {"us-ascii", 2}, {"US-ASCII ", 2},         {nullptr, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name != nullptr ? c.name : "(no name)");
        FakeIcu().name = c.name;
        {
            TqwiUcConverter converter(TestContext().icuPath);
            EXPECT_TRUE(converter.HasIcuConverter());
            EXPECT_EQ(FakeIcu().toAction, &ToUnicodeSubstitutionCallback);
            EXPECT_EQ(FakeIcu().fromAction, &FromUnicodeSubstitutionCallback);
            EXPECT_EQ(ConverterIndexOfContext(FakeIcu().toContext), c.index);
            EXPECT_EQ(ConverterIndexOfContext(FakeIcu().fromContext), c.index);
        }
        EXPECT_TRUE(Log().empty());
    }
    EXPECT_EQ(FakeIcu().closeCalls, FakeIcu().openCalls) << "every converter is closed with its object";
}

TEST_F(TranscodeIcuOpenTest, EachFailureOfOpeningIsIssuedWithTheFirstFailingFunction) {
    struct Case {
        const char *what;
        void (*arrange)(FakeIcuState &);
        const char *text;
        bool keepsConverter;
    };
    const Case cases[] = {
        {"open fails", [](FakeIcuState &f) { f.openError = 4; },
         "ucnv_open failed (4=U_FAKE_ERROR) in TqwiUcConverter::ConstructUcConverter", false},
        {"open answers null", [](FakeIcuState &f) { f.openReturnsNull = true; },
         "ucnv_open failed (5=ucnv_open returned NULL without setting U_FAILURE) in "
         "TqwiUcConverter::ConstructUcConverter",
         false},
        {"name fails", [](FakeIcuState &f) { f.getNameError = 1; },
         "ucnv_getName failed (1=U_FAKE_ERROR) in TqwiUcConverter::ConstructUcConverter", true},
        {"to-Unicode callback fails", [](FakeIcuState &f) { f.setToError = 11; },
         "ucnv_setToUCallBack failed (11=U_FAKE_ERROR) in TqwiUcConverter::ConstructUcConverter", true},
        {"from-Unicode callback fails", [](FakeIcuState &f) { f.setFromError = 12; },
         "ucnv_setFromUCallBack failed (12=U_FAKE_ERROR) in TqwiUcConverter::ConstructUcConverter", true},
        {"first of several failures",
         [](FakeIcuState &f) {
             f.getNameError = 2;
             f.setToError = 3;
             f.setFromError = 4;
         },
         "ucnv_getName failed (2=U_FAKE_ERROR) in TqwiUcConverter::ConstructUcConverter", true},
        {"error without a name",
         [](FakeIcuState &f) {
             f.setToError = 7;
             f.errorName = nullptr;
         },
         "ucnv_setToUCallBack failed (7=(u_errorName returned NULL or empty string)) in "
         "TqwiUcConverter::ConstructUcConverter",
         true},
        {"error with an empty name",
         [](FakeIcuState &f) {
             f.openError = 8;
             f.errorName = "";
         },
         "ucnv_open failed (8=(u_errorName returned NULL or empty string)) in "
         "TqwiUcConverter::ConstructUcConverter",
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeIcuTable();
        c.arrange(FakeIcu());
        Log().clear();
        {
            TqwiUcConverter converter(TestContext().icuPath);
            ExpectOnlyMessage(kMsgText, c.text, kConstructFunc, 253, kLevelError);
            EXPECT_EQ(converter.HasIcuConverter(), c.keepsConverter);
            converter.ToUc("ab", 2);
            EXPECT_EQ(converter.UcValid(), c.keepsConverter) << "a kept converter still converts";
        }
        EXPECT_EQ(FakeIcu().closeCalls, c.keepsConverter ? 1 : 0);
    }
}

TEST_F(TranscodeIcuOpenTest, RoomIsReckonedFromTheCharacterSizesWithOneUnitForTheZero) {
    FakeIcu().minCharSize = 2;
    FakeIcu().maxCharSize = 3;
    TqwiUcConverter converter(TestContext().icuPath);
    converter.ToUc("1234567", 7);
    EXPECT_EQ(FakeIcu().toUnicodeRoom, 7 / 2 + 1 - 1);
    EXPECT_EQ(FakeIcu().flushSeen, 1);
    EXPECT_FALSE(FakeIcu().offsetsSeen);
    converter.ToMb(u"12345", 5);
    EXPECT_EQ(FakeIcu().fromUnicodeRoom, 3 * 5 + 1 - 1);
    EXPECT_EQ(FakeIcu().flushSeen, 1);
    EXPECT_FALSE(FakeIcu().offsetsSeen);
    EXPECT_STREQ(converter.GetMb(), "12345");
}

TEST_F(TranscodeIcuOpenTest, FailedConversionIsIssuedAndLeavesItsSideEmpty) {
    TqwiUcConverter converter(TestContext().icuPath);
    converter.ToUc("keep", 4);
    const char16_t *oldWide = converter.GetUc();
    FakeIcu().toUnicodeError = 15;
    converter.ToUc("abc", 3);
    ExpectOnlyMessage(kMsgText, "ucnv_toUnicode failed (15=U_FAKE_ERROR) in TqwiUcConverter::ToUcOnOtherOs",
                      "TqwiUcConverter::ToUcOnOtherOs", 314, kLevelError);
    EXPECT_FALSE(converter.UcValid());
    EXPECT_EQ(converter.UcLength(), 0u);
    EXPECT_EQ(oldWide[0], u'\0') << "the wide buffer is emptied";
    EXPECT_EQ(converter.GetUc()[0], u'\0');

    Log().clear();
    converter.ToMb(u"keep", 4);
    const char *oldNarrow = converter.GetMb();
    FakeIcu().fromUnicodeError = 15;
    FakeIcu().errorName = "U_BUFFER_OVERFLOW_ERROR";
    converter.ToMb(u"abc", 3);
    ExpectOnlyMessage(
        kMsgText, "ucnv_fromUnicode failed (15=U_BUFFER_OVERFLOW_ERROR) in TqwiUcConverter::ToMbOnOtherOs",
        "TqwiUcConverter::ToMbOnOtherOs", 379, kLevelError);
    EXPECT_FALSE(converter.MbValid());
    EXPECT_EQ(converter.MbLength(), 0u);
    EXPECT_EQ(oldNarrow[0], '\0');
    const char *empty = converter.GetMb();
    EXPECT_STREQ(empty, "");
    EXPECT_NE(empty, oldNarrow) << "the empty text is not the object's own buffer";
    EXPECT_FALSE(converter.OutOfMemory());
}

TEST_F(TranscodeIcuOpenTest, GetMbIssuesTheFailureOfItsOwnConversion) {
    TqwiUcConverter converter(TestContext().icuPath);
    converter.ToUc("abc", 3);
    FakeIcu().fromUnicodeError = 10;
    EXPECT_STREQ(converter.GetMb(), "");
    ExpectOnlyMessage(kMsgText, "ucnv_fromUnicode failed (10=U_FAKE_ERROR) in TqwiUcConverter::ToMbOnOtherOs",
                      "TqwiUcConverter::ToMbOnOtherOs", 379, kLevelError);
    EXPECT_TRUE(converter.UcValid()) << "the wide text is still the current text";
    EXPECT_EQ(std::u16string(converter.GetUc()), u"abc");
}

// The real ICU, opening a converter it does not have.
TEST_F(TranscodeTest, IcuConverterThatCannotBeOpenedIsIssuedWithIcusErrorName) {
    Globals().converterSwitch = true;
    SetConverterNameForTests("ibm-943_P14A-2000");
    TqwiUcConverter converter(TestContext().icuPath);
    ExpectOnlyMessage(kMsgText,
                      "ucnv_open failed (4=U_FILE_ACCESS_ERROR) in TqwiUcConverter::ConstructUcConverter",
                      kConstructFunc, 253, kLevelError);
    EXPECT_FALSE(converter.HasIcuConverter());
    converter.ToMb(u"abc", 3);
    EXPECT_STREQ(converter.GetMb(), "");
    EXPECT_EQ(Log().size(), 1u);
}

} // namespace
