// The message catalogue: typed arguments, and the files it refuses.
#include "tests/support/TestSupport.h"

#include "1-platform/textcat.h"

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the other files of the platform stand-ins.
using PlatformTest = OstakTest;

TEST_F(PlatformTest, CatalogueFormatsTypedArgumentsAndRefusesMissingOnes) {
    TempDir dir;
    const std::string file = dir.Write("res", "# comment\n\n-5\tA %1 and %2, 100%%\n-6\tNeeds %3\n");
    ASSERT_EQ(AddResourceFile(file.c_str()), 0);
    char *text = nullptr;
    const MsgArg args[] = {MsgArg::Str("x"), MsgArg::Int(-7), MsgArg::End()};
    FormatGenericMessage("", -1, 0x50100000u, -5, args, &text);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "A x and -7, 100%");
    FreeGenericMessage(text);
    FormatGenericMessage("", -1, 0x50100000u, -6, args, &text);
    EXPECT_EQ(text, nullptr) << "a text naming a missing argument cannot be formatted";
    FormatGenericMessage("", -1, 0x50100000u, -99, args, &text);
    EXPECT_EQ(text, nullptr);
    Seams().formatFailsFor = -5;
    FormatGenericMessage("", -1, 0x50100000u, -5, args, &text);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(RemoveResourceFile(file.c_str()), 0);
    EXPECT_NE(RemoveResourceFile(file.c_str()), 0) << "a file removed twice";
}

TEST_F(PlatformTest, CatalogueRefusesMissingAndMalformedFiles) {
    TempDir dir;
    EXPECT_NE(AddResourceFile(dir.File("absent").c_str()), 0);
    const std::string bad = dir.Write("bad", "-1\tgood\nnot a message line\n");
    EXPECT_NE(AddResourceFile(bad.c_str()), 0);
}

} // namespace
