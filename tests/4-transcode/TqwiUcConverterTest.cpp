// The converter object: the plain path, reading either form, buffer reuse,
// allocation failure, and the choice between the plain and the ICU path.
#include "tests/support/FakeIcu.h"

#include "1-platform/basekit32.h"
#include "4-transcode/TqwiUcConverter.h"

#include <string>

using namespace ostak;
using namespace ostak_test;

namespace {

using TranscodePlainTest = TranscodeTest;

std::u16string Wide(TqwiUcConverter &converter) {
    const char16_t *units = converter.GetUc(); // converts first, so the length is the new one
    return std::u16string(units, converter.UcLength());
}

std::string Narrow(TqwiUcConverter &converter) {
    const char *bytes = converter.GetMb();
    return std::string(bytes, converter.MbLength());
}

TEST_F(TranscodePlainTest, BytesBecomeUnitsOfTheSameValue) {
    struct Case {
        std::string bytes;
        std::u16string units;
    };
    const Case cases[] = {
        {"", u""},
        {"abc", u"abc"},
        {"\xE9", u"\u00E9"},
        {"\x80\xFF\x7F", u"\u0080\u00FF\u007F"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case &c : cases) {
        TqwiUcConverter converter(TestContext().icuPath);
        converter.ToUc(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
        EXPECT_TRUE(converter.UcValid());
        EXPECT_FALSE(converter.MbValid());
        EXPECT_EQ(Wide(converter), c.units);
        EXPECT_EQ(converter.GetUc()[c.units.size()], u'\0') << "a zero unit follows";
    }
    EXPECT_TRUE(Log().empty());
}

TEST_F(TranscodePlainTest, UnitsUpToFFBecomeBytesOfTheSameValue) {
    struct Case {
        std::u16string units;
        std::string bytes;
    };
    const Case cases[] = {
        {u"", ""},
        {u"abc", "abc"},
        {u"\u00E9\u00FF\u0080", "\xE9\xFF\x80"},
        {std::u16string(u"x\0y", 3), std::string("x\0y", 3)},
    };
    for (const Case &c : cases) {
        TqwiUcConverter converter(TestContext().icuPath);
        converter.ToMb(c.units.data(), static_cast<uint32_t>(c.units.size()));
        EXPECT_TRUE(converter.MbValid());
        EXPECT_FALSE(converter.UcValid());
        EXPECT_EQ(converter.Unrepresentable(), -1);
        EXPECT_EQ(Narrow(converter), c.bytes);
        EXPECT_EQ(converter.GetMb()[c.bytes.size()], '\0');
    }
}

// A unit beyond U+00FF once kept only its low byte: U+20AC became 0xAC and
// U+2013 the control character 0x13. Now the text is refused, never changed.
TEST_F(TranscodePlainTest, ACharacterBeyondFFFailsTheConversionAndIsNamed) {
    struct Case {
        std::u16string units;
        int64_t character;
        uint32_t index;
    };
    const Case cases[] = {
        {u"5\u20AC", 0x20AC, 1},
        {u"\u2013", 0x2013, 0},
        {u"\u00E9\u0141\uFFFF", 0x141, 1},
        {u"ab\U0001F600", 0x1F600, 2},
        {u"\U0010FFFF", 0x10FFFF, 0},
        {u"a\xD800" u"b", 0xD800, 1},
        {u"\xD83D", 0xD83D, 0},
        {u"\xDE00\xD83D", 0xDE00, 0},
    };
    for (const Case &c : cases) {
        TqwiUcConverter converter(TestContext().icuPath);
        converter.ToMb(c.units.data(), static_cast<uint32_t>(c.units.size()));
        EXPECT_FALSE(converter.MbValid());
        EXPECT_FALSE(converter.OutOfMemory());
        EXPECT_EQ(converter.Unrepresentable(), c.character);
        EXPECT_EQ(converter.UnrepresentableIndex(), c.index);
        EXPECT_EQ(converter.MbLength(), 0u);
        EXPECT_STREQ(converter.GetMb(), "");

        converter.ToMb(u"ok", 2);
        EXPECT_EQ(converter.Unrepresentable(), -1) << "each conversion starts afresh";
        EXPECT_EQ(Narrow(converter), "ok");
    }
    EXPECT_TRUE(Log().empty()) << "the caller tells what the character was";
}

TEST_F(TranscodePlainTest, SubstitutingGivesAQuestionMarkForEachCharacterBeyondFF) {
    struct Case {
        std::u16string units;
        std::string bytes;
    };
    const Case cases[] = {
        {u"5\u20AC", "5?"},
        {u"\u00E9\u2013\u00FF", "\xE9?\xFF"},
        {u"\U0001F600x", "?x"},
        {u"a\xD800" u"b\xDC00", "a?b?"},
        {u"", ""},
    };
    for (const Case &c : cases) {
        TqwiUcConverter converter(TestContext().icuPath);
        converter.ToMbSubstituting(c.units.data(), static_cast<uint32_t>(c.units.size()));
        EXPECT_TRUE(converter.MbValid());
        EXPECT_EQ(converter.Unrepresentable(), -1);
        EXPECT_EQ(Narrow(converter), c.bytes);
        EXPECT_EQ(converter.GetMb()[c.bytes.size()], '\0');
    }
}

TEST_F(TranscodePlainTest, EachGetterConvertsFromTheOtherFormAndKeepsBoth) {
    TqwiUcConverter converter(TestContext().icuPath);
    converter.ToMb(u"caf\u00E9", 4);
    const char *narrow = converter.GetMb();
    EXPECT_EQ(Wide(converter), u"caf\u00E9");
    EXPECT_TRUE(converter.UcValid());
    EXPECT_TRUE(converter.MbValid()) << "the narrow text is still current";
    EXPECT_EQ(converter.GetMb(), narrow) << "no second conversion";

    converter.ToUc("xyz", 3);
    EXPECT_FALSE(converter.MbValid());
    EXPECT_EQ(Narrow(converter), "xyz");
    EXPECT_TRUE(converter.UcValid());
    EXPECT_EQ(Wide(converter), u"xyz");
}

TEST_F(TranscodePlainTest, NothingConvertedReadsAsEmptyTextTheObjectDoesNotOwn) {
    TqwiUcConverter first(TestContext().icuPath);
    TqwiUcConverter second(TestContext().icuPath);
    EXPECT_STREQ(first.GetMb(), "");
    EXPECT_EQ(first.GetUc()[0], u'\0');
    EXPECT_EQ(first.GetMb(), second.GetMb());
    EXPECT_EQ(first.GetUc(), second.GetUc());
    EXPECT_EQ(LiveAllocations(), liveAtStart_) << "reading nothing allocates nothing";
}

TEST_F(TranscodePlainTest, BuffersAreReusedAndOnlyGrow) {
    TqwiUcConverter converter(TestContext().icuPath);
    converter.ToUc("0123456789", 10);
    const uint64_t attempts = AllocationAttempts();
    const int64_t live = LiveAllocations();
    converter.ToUc("abc", 3);
    converter.ToUc("0123456789", 10);
    EXPECT_EQ(AllocationAttempts(), attempts) << "room for 11 units was there already";
    EXPECT_EQ(Wide(converter), u"0123456789");

    converter.ToUc("0123456789A", 11);
    EXPECT_EQ(AllocationAttempts(), attempts + 1);
    EXPECT_EQ(LiveAllocations(), live) << "the smaller buffer was released";
    EXPECT_EQ(Wide(converter), u"0123456789A");

    converter.ToMb(u"ab", 2);
    converter.ToMb(u"a", 1);
    EXPECT_EQ(AllocationAttempts(), attempts + 2);
    EXPECT_EQ(Narrow(converter), "a");
}

TEST_F(TranscodePlainTest, NoMemoryLeavesTheSideEmptyAndIsToldApart) {
    TqwiUcConverter converter(TestContext().icuPath);
    Seams().failAllocationAt = 1;
    converter.ToUc("abc", 3);
    EXPECT_FALSE(converter.UcValid());
    EXPECT_TRUE(converter.OutOfMemory());
    EXPECT_EQ(converter.UcLength(), 0u);
    EXPECT_EQ(converter.GetUc()[0], u'\0');

    converter.ToUc("abc", 3);
    EXPECT_TRUE(converter.UcValid()) << "the next conversion may succeed";
    EXPECT_FALSE(converter.OutOfMemory());

    Seams().failAllocationAt = 1;
    EXPECT_STREQ(converter.GetMb(), "") << "the conversion inside GetMb found no memory";
    EXPECT_TRUE(converter.OutOfMemory());
    EXPECT_FALSE(converter.MbValid());
    EXPECT_TRUE(converter.UcValid());
    EXPECT_EQ(Wide(converter), u"abc");

    converter.ToUc("a longer text", 13);
    Seams().failAllocationAt = 1;
    converter.ToUc("a much longer text than before", 30);
    EXPECT_TRUE(converter.OutOfMemory());
    EXPECT_FALSE(converter.UcValid());
    EXPECT_TRUE(Log().empty()) << "the caller reports no memory as result 7";
}

TEST_F(TranscodePlainTest, ChoiceOfPathFollowsTheSwitchAndTheCodeSet) {
    ASSERT_EQ(xeOsCharsetType(), 0);
    EXPECT_FALSE(TestContext().icuPath);
    Globals().converterSwitch = true;
    EXPECT_TRUE(TestContext().icuPath);
    {
        TqwiUcConverter converter(TestContext().icuPath);
        ASSERT_TRUE(converter.HasIcuConverter());
        converter.ToMb(u"\u20AC", 1);
        EXPECT_EQ(Narrow(converter), "\xE2\x82\xAC") << "through ICU's default converter";
        EXPECT_EQ(converter.Unrepresentable(), -1);
        converter.ToMbSubstituting(u"\u20AC", 1);
        EXPECT_EQ(Narrow(converter), "\xE2\x82\xAC") << "nothing to substitute on the ICU path";
    }
    Globals().converterSwitch = false;

    ScopedCtype utf8("C.UTF-8");
    ASSERT_TRUE(utf8.ok()) << "this machine has no C.UTF-8 locale";
    EXPECT_NE(xeOsCharsetType(), 0);
    EXPECT_TRUE(TestContext().icuPath);
    TqwiUcConverter converter(TestContext().icuPath);
    EXPECT_TRUE(converter.HasIcuConverter());
    converter.ToUc("\xC3\xA9", 2);
    EXPECT_EQ(Wide(converter), u"\u00E9");
    EXPECT_TRUE(Log().empty());
}

TEST_F(TranscodePlainTest, EveryConversionTakesThePathTheConverterWasMadeWith) {
    // A change of the process state after the converter was made moves it to neither path.
    TqwiUcConverter plain(false);
    Globals().converterSwitch = true;
    EXPECT_FALSE(plain.IcuPath());
    EXPECT_FALSE(plain.HasIcuConverter());
    plain.ToUc("\xC3\xA9", 2);
    EXPECT_EQ(Wide(plain), u"\u00C3\u00A9") << "byte for byte";
    plain.ToMb(u"\u20AC", 1);
    EXPECT_FALSE(plain.MbValid());
    EXPECT_EQ(plain.Unrepresentable(), 0x20AC);

    TqwiUcConverter icu(true);
    Globals().converterSwitch = false;
    EXPECT_TRUE(icu.IcuPath());
    ASSERT_TRUE(icu.HasIcuConverter());
    icu.ToUc("\xC3\xA9", 2);
    EXPECT_EQ(Wide(icu), u"\u00E9") << "through ICU still";
    icu.ToMb(u"\u20AC", 1);
    EXPECT_EQ(Narrow(icu), "\xE2\x82\xAC");
    EXPECT_TRUE(Log().empty());
}

} // namespace
