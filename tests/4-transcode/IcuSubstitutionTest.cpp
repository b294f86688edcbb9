// The substitution rules for text that does not convert: the callbacks for
// each converter index against the stand-in ICU, and the ICU path end to end
// with ICU's default converter and with "US-ASCII".
#include "tests/support/FakeIcu.h"

#include "4-transcode/IcuSubstitution.h"
#include "4-transcode/TqwiUcConverter.h"

#include <string>

using namespace ostak;
using namespace ostak_test;

namespace {

class TranscodeSubstitutionTest : public TranscodeTest {
  protected:
    ScopedIcuTable fake_{FakeIcuTable()};
    // Stand-ins for ICU's argument blocks: the callbacks only hand them on.
    icu::UConverterToUnicodeArgs *toArgs_ = reinterpret_cast<icu::UConverterToUnicodeArgs *>(&argsBlock_);
    icu::UConverterFromUnicodeArgs *fromArgs_ =
        reinterpret_cast<icu::UConverterFromUnicodeArgs *>(&argsBlock_);
    int argsBlock_ = 0;
};

constexpr icu::UErrorCode kInvalidCharFound = 10;
constexpr icu::UErrorCode kIllegalCharFound = 12;

TEST_F(TranscodeSubstitutionTest, BytesThatDoNotConvertBecomeOneUnitByConverterIndex) {
    struct Case {
        int32_t index;
        std::string bytes;
        int32_t unit;
    };
    const Case cases[] = {
        {0, "\xC1", 0x41},       {0, "\x80", 0x00},
        {0, "\x7F", 0x7F},       {0, "\x85\x9F", 0x05},
        {0, "\x20\xFF", 0x20},   {1, "\x20", 0x20},
        {1, "\x01", 0x01},       {1, std::string(1, '\0'), 0x00},
        {1, "\x21", 0x3F},       {1, "\xFF", 0x3F},
        {1, "\x81\x20", 0x30FB}, {1, "\x01\x02\x03", 0x30FB},
        {2, "\x20", 0x20},       {2, "\x1F", 0x1F},
        {2, "\xE9", 0x3F},       {2, "\x41", 0x3F},
        {2, "\xE2\x82", 0x3F},   {2, "\x01\x01", 0x3F},
    };
    for (const Case &c : cases) {
        for (icu::UConverterCallbackReason reason :
             {icu::UCNV_UNASSIGNED, icu::UCNV_ILLEGAL, icu::UCNV_IRREGULAR}) {
            SCOPED_TRACE(testing::Message()
                         << "index " << c.index << ", " << c.bytes.size() << " bytes from "
                         << int(static_cast<unsigned char>(c.bytes[0])) << ", reason " << reason);
            FakeIcu().writes.clear();
            icu::UErrorCode err = kIllegalCharFound;
            ToUnicodeSubstitutionCallback(ContextOfConverterIndex(c.index), toArgs_, c.bytes.data(),
                                          static_cast<int32_t>(c.bytes.size()), reason, &err);
            EXPECT_EQ(err, 0);
            ASSERT_EQ(FakeIcu().writes.size(), 1u);
            EXPECT_EQ(FakeIcu().writes[0].args, static_cast<void *>(toArgs_));
            EXPECT_EQ(FakeIcu().writes[0].values, std::vector<int32_t>{c.unit});
            EXPECT_EQ(FakeIcu().writes[0].offsetIndex, 0);
        }
    }
}

TEST_F(TranscodeSubstitutionTest, UnitsThatDoNotConvertBecomeOneByteByConverterIndex) {
    const char16_t spaces[] = {0x00A0, 0x1680, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                               0x2009, 0x200A, 0x200B, 0x202F, 0x205F, 0x2060, 0x3000, 0xFEFF};
    struct Case {
        int32_t index;
        char16_t unit;
        int32_t byte;
    };
    std::vector<Case> cases;
    for (int32_t index = 0; index <= 2; ++index) {
        for (char16_t space : spaces) {
            cases.push_back({index, space, 0x20});
        }
        cases.push_back({index, 0x2000, 0x3F});
        cases.push_back({index, 0x2001, 0x3F});
        cases.push_back({index, 0x00E9, 0x3F});
        cases.push_back({index, 0xD83D, 0x3F});
        cases.push_back({index, 0x00A5, index == 1 ? 0x5C : 0x3F});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << ", unit " << std::hex << int(c.unit));
        FakeIcu().writes.clear();
        icu::UErrorCode err = kInvalidCharFound;
        const char16_t units[2] = {c.unit, 0xDE00};
        FromUnicodeSubstitutionCallback(ContextOfConverterIndex(c.index), fromArgs_, units, 1, c.unit,
                                        icu::UCNV_UNASSIGNED, &err);
        EXPECT_EQ(err, 0);
        ASSERT_EQ(FakeIcu().writes.size(), 1u);
        EXPECT_EQ(FakeIcu().writes[0].args, static_cast<void *>(fromArgs_));
        EXPECT_EQ(FakeIcu().writes[0].values, std::vector<int32_t>{c.byte});
        EXPECT_EQ(FakeIcu().writes[0].offsetIndex, 0);
    }
}

TEST_F(TranscodeSubstitutionTest, SpaceTableHoldsExactlyItsSeventeenUnits) {
    int count = 0;
    for (uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        count += IsSubstitutedBySpace(static_cast<char16_t>(unit)) ? 1 : 0;
    }
    EXPECT_EQ(count, 17);
    EXPECT_FALSE(IsSubstitutedBySpace(0x0020));
    EXPECT_FALSE(IsSubstitutedBySpace(0x2000));
    EXPECT_FALSE(IsSubstitutedBySpace(0x2001));
    EXPECT_FALSE(IsSubstitutedBySpace(0x200C));
}

TEST_F(TranscodeSubstitutionTest, OtherReasonsAndEmptyInputChangeNothing) {
    const icu::UConverterCallbackReason others[] = {icu::UCNV_RESET, icu::UCNV_CLOSE, icu::UCNV_CLONE};
    for (int32_t index = 0; index <= 2; ++index) {
        const void *context = ContextOfConverterIndex(index);
        for (icu::UConverterCallbackReason reason : others) {
            icu::UErrorCode err = kIllegalCharFound;
            ToUnicodeSubstitutionCallback(context, toArgs_, "\xC1", 1, reason, &err);
            EXPECT_EQ(err, kIllegalCharFound);
            FromUnicodeSubstitutionCallback(context, fromArgs_, u"\u00A0", 1, 0xA0, reason, &err);
            EXPECT_EQ(err, kIllegalCharFound);
        }
        icu::UErrorCode err = kIllegalCharFound;
        ToUnicodeSubstitutionCallback(context, toArgs_, "\xC1", 0, icu::UCNV_ILLEGAL, &err);
        ToUnicodeSubstitutionCallback(context, toArgs_, nullptr, 0, icu::UCNV_ILLEGAL, &err);
        FromUnicodeSubstitutionCallback(context, fromArgs_, u"\u00A0", 0, 0xA0, icu::UCNV_UNASSIGNED, &err);
        FromUnicodeSubstitutionCallback(context, fromArgs_, nullptr, 0, 0, icu::UCNV_UNASSIGNED, &err);
        EXPECT_EQ(err, kIllegalCharFound);
    }
    EXPECT_TRUE(FakeIcu().writes.empty());
}

// The ICU path through the real ICU.
class TranscodeIcuPathTest : public TranscodeTest {
  protected:
    void SetUp() override {
        TranscodeTest::SetUp();
        Globals().converterSwitch = true;
    }
    static std::u16string ToUc(const std::string &bytes) {
        TqwiUcConverter converter(TestContext().icuPath);
        EXPECT_TRUE(converter.HasIcuConverter());
        converter.ToUc(bytes.data(), static_cast<uint32_t>(bytes.size()));
        EXPECT_TRUE(converter.UcValid());
        const char16_t *units = converter.GetUc(); // converts first, so the length is the new one
        return std::u16string(units, converter.UcLength());
    }
    static std::string ToMb(const std::u16string &units) {
        TqwiUcConverter converter(TestContext().icuPath);
        EXPECT_TRUE(converter.HasIcuConverter());
        converter.ToMb(units.data(), static_cast<uint32_t>(units.size()));
        EXPECT_TRUE(converter.MbValid());
        const char *bytes = converter.GetMb();
        return std::string(bytes, converter.MbLength());
    }
};

TEST_F(TranscodeIcuPathTest, DefaultConverterConvertsAndSubstitutes) {
    EXPECT_EQ(ToUc(""), u"");
    EXPECT_EQ(ToUc("h\xC3\xA9llo"), u"h\u00E9llo");
    EXPECT_EQ(ToUc("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(ToUc("\xF0\x9F\x98\x80"), u"\U0001F600") << "four bytes, two units: room suffices";
    EXPECT_EQ(ToUc("a\xE9z"), u"a?z");
    EXPECT_EQ(ToUc("\xE2\x82z"), u"?z") << "an incomplete sequence of two bytes";
    EXPECT_EQ(ToUc("a\xE2\x82"), u"a?") << "cut off at the end";

    EXPECT_EQ(ToMb(u""), "");
    EXPECT_EQ(ToMb(u"h\u00E9llo"), "h\xC3\xA9llo");
    EXPECT_EQ(ToMb(u"\u20AC\u20AC\u20AC"), "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC") << "three bytes a unit";
    EXPECT_EQ(ToMb(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToMb(std::u16string(u"\xD800x", 2)), "?x") << "a lone surrogate";
    EXPECT_EQ(ToMb(std::u16string(1, u'\xDC00')), "?");
    EXPECT_TRUE(Log().empty());
}

TEST_F(TranscodeIcuPathTest, UsAsciiConverterUsesItsOwnRules) {
    SetConverterNameForTests("US-ASCII");
    EXPECT_EQ(ToUc("\xC1"), u"A");
    EXPECT_EQ(ToUc("x\xE9y"), u"xiy");
    EXPECT_EQ(ToUc("plain"), u"plain");
    EXPECT_EQ(ToUc("\xC1\x80"), std::u16string(u"A\0", 2)) << "0x80 loses its top bit";

    EXPECT_EQ(ToMb(u"\u00A0\u2002\u3000"), "   ");
    EXPECT_EQ(ToMb(u"a\u2001b\u00E9c"), "a?b?c");
    EXPECT_EQ(ToMb(u"\u00A5"), "?") << "only the Japanese converter writes a backslash";
    EXPECT_EQ(ToMb(u"\uFEFF\u1680\u205F"), "   ");
    EXPECT_EQ(ToMb(u"\U0001F600!"), "?!") << "one byte for the pair";
    EXPECT_TRUE(Log().empty());
}

TEST_F(TranscodeIcuPathTest, NoMemoryOnTheIcuPathIsToldApartWithoutMessage) {
    TqwiUcConverter converter(TestContext().icuPath);
    ASSERT_TRUE(converter.HasIcuConverter());
    Seams().failAllocationAt = 1;
    converter.ToUc("abc", 3);
    EXPECT_FALSE(converter.UcValid());
    EXPECT_TRUE(converter.OutOfMemory());
    Seams().failAllocationAt = 1;
    converter.ToMb(u"abc", 3);
    EXPECT_FALSE(converter.MbValid());
    EXPECT_TRUE(converter.OutOfMemory());
    EXPECT_STREQ(converter.GetMb(), "");
    EXPECT_TRUE(Log().empty());
}

} // namespace
