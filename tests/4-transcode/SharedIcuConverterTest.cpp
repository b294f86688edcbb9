// One ICU converter lent to many: borrowers share it and never close it; when
// it cannot be opened every borrower opens and reports its own, as a
// standalone converter does; a failed conversion has it renewed.
#include "tests/support/FakeIcu.h"

#include "2-core/MsgIssue.h"
#include "4-transcode/SharedIcuConverter.h"
#include "4-transcode/TqwiUcConverter.h"

using namespace ostak;
using namespace ostak_test;

namespace {

class SharedIcuConverterTest : public TranscodeTest {
  protected:
    ScopedIcuTable fake_{FakeIcuTable()};
};

// Converts "ab" through a converter that borrows from `shared`; answers whether it converted.
bool ConvertsThrough(SharedIcuConverter &shared) {
    TqwiUcConverter converter(shared);
    converter.ToUc("ab", 2);
    return converter.UcValid() && std::u16string(converter.GetUc()) == u"ab";
}

TEST_F(SharedIcuConverterTest, BorrowersShareOneConverterThatOnlyTheLenderCloses) {
    {
        SharedIcuConverter shared(true);
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(ConvertsThrough(shared)) << i;
        }
        EXPECT_EQ(FakeIcu().openCalls, 1);
        EXPECT_EQ(FakeIcu().closeCalls, 0);
    }
    EXPECT_EQ(FakeIcu().closeCalls, 1);
    EXPECT_TRUE(Log().empty());

    SharedIcuConverter plain(false);
    TqwiUcConverter converter(plain);
    EXPECT_FALSE(converter.IcuPath());
    EXPECT_FALSE(converter.HasIcuConverter());
    EXPECT_EQ(FakeIcu().openCalls, 1) << "the plain path opens nothing";
}

TEST_F(SharedIcuConverterTest, WhenOpeningFailsEachBorrowerOpensAndReportsItsOwn) {
    struct Case {
        const char *what;
        void (*arrange)(FakeIcuState &);
        const char *text;
        bool converts;
        int closes;
    };
    const Case cases[] = {
        {"open fails", [](FakeIcuState &f) { f.openError = 4; },
         "ucnv_open failed (4=U_FAKE_ERROR) in TqwiUcConverter::ConstructUcConverter", false, 0},
        {"name fails", [](FakeIcuState &f) { f.getNameError = 1; },
         "ucnv_getName failed (1=U_FAKE_ERROR) in TqwiUcConverter::ConstructUcConverter", true, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeIcuTable();
        c.arrange(FakeIcu());
        Log().clear();
        {
            SharedIcuConverter shared(true);
            EXPECT_EQ(ConvertsThrough(shared), c.converts);
            EXPECT_EQ(ConvertsThrough(shared), c.converts);
        }
        ASSERT_EQ(Log().size(), 2u) << "one message per converter, as without a lender";
        for (const LogRecord &message : Log()) {
            EXPECT_EQ(message.text, c.text);
            EXPECT_EQ(message.func, "TqwiUcConverter::ConstructUcConverter");
        }
        EXPECT_EQ(FakeIcu().openCalls, 3) << "the lender tries once, in silence";
        EXPECT_EQ(FakeIcu().closeCalls, c.closes);
    }
}

TEST_F(SharedIcuConverterTest, AFailedConversionRenewsTheLentConverterForEveryBorrower) {
    SharedIcuConverter shared(true);
    TqwiUcConverter first(shared);
    TqwiUcConverter second(shared);
    FakeIcu().toUnicodeError = 9;
    first.ToUc("ab", 2);
    EXPECT_FALSE(first.UcValid());
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].text, "ucnv_toUnicode failed (9=U_FAKE_ERROR) in TqwiUcConverter::ToUcOnOtherOs");
    EXPECT_EQ(FakeIcu().closeCalls, 1) << "the converter of unknown state is closed";
    EXPECT_EQ(FakeIcu().openCalls, 2);

    FakeIcu().toUnicodeError = 0;
    for (TqwiUcConverter *borrower : {&first, &second}) {
        borrower->ToUc("ab", 2);
        EXPECT_TRUE(borrower->UcValid()) << "both borrowers convert on with the new one";
    }
    EXPECT_TRUE(ConvertsThrough(shared));
    EXPECT_EQ(FakeIcu().openCalls, 2);

    // A renewal that cannot open: the borrowers open their own from then on.
    FakeIcu().toUnicodeError = 9;
    FakeIcu().openError = 4;
    first.ToUc("ab", 2);
    FakeIcu().toUnicodeError = 0;
    FakeIcu().openError = 0;
    Log().clear();
    second.ToUc("ab", 2);
    EXPECT_TRUE(second.UcValid());
    EXPECT_TRUE(second.HasIcuConverter());
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(FakeIcu().openCalls, 4) << "the failed renewal, then the borrower's own";
}

} // namespace
