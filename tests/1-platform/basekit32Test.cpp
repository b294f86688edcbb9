// The operating system's basic stand-ins: strings, numbers, removing files
// and the code set.
#include "tests/support/TestSupport.h"

#include "1-platform/basekit32.h"

#include <clocale>
#include <cstring>
#include <sys/stat.h>

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the other files of the platform stand-ins.
using PlatformTest = OstakTest;

TEST_F(PlatformTest, OsStrKeepsLengthWordAndEmbeddedNuls) {
    OsStr str;
    ASSERT_TRUE(xfvOsStrConstructFromCharArrayIgnoringNulls(&str, "ab\0cd", 5));
    EXPECT_EQ(OsStrLength(str), 5);
    EXPECT_EQ(std::memcmp(str.psz, "ab\0cd", 6), 0);
    int32_t word;
    std::memcpy(&word, str.psz - sizeof(int32_t), sizeof word);
    EXPECT_EQ(word, 5) << "the length lives in the word before the characters";
    xfvOsStrDestruct(&str);
    EXPECT_EQ(str.psz, xtOsStrCommonEmptyStr.psz);
}

TEST_F(PlatformTest, EmptyStringsShareOneValueAndNeedNoMemory) {
    const int64_t before = LiveAllocations();
    OsStr a;
    OsStr b;
    ASSERT_TRUE(xfvOsStrConstructFromCharArrayIgnoringNulls(&a, "", 0));
    ASSERT_TRUE(xfvOsStrConstructByStrDataIgnoringNulls(&b, a));
    EXPECT_EQ(a.psz, xtOsStrCommonEmptyStr.psz);
    EXPECT_EQ(b.psz, xtOsStrCommonEmptyStr.psz);
    EXPECT_TRUE(OsStrIsEmpty(a));
    EXPECT_EQ(OsStrLength(a), 0);
    EXPECT_EQ(LiveAllocations(), before);
    xfvOsStrDestruct(&a);
    xfvOsStrDestruct(&b);
    EXPECT_STREQ(xtOsStrCommonEmptyStr.psz, "");
}

TEST_F(PlatformTest, AssignCopiesAndFailedAssignKeepsTheOldValue) {
    OsStr target;
    OsStr source;
    ASSERT_TRUE(xfvOsStrConstructFromCharArrayIgnoringNulls(&target, "old", 3));
    ASSERT_TRUE(xfvOsStrConstructFromCharArrayIgnoringNulls(&source, "newer", 5));
    ASSERT_TRUE(xfvOsStrAssignByStrDataIgnoringNulls(&target, source));
    EXPECT_STREQ(target.psz, "newer");
    EXPECT_NE(target.psz, source.psz) << "a copy, not a shared pointer";

    Seams().failAllocationAt = 1;
    EXPECT_FALSE(xfvOsStrAssignFromCharArrayIgnoringNulls(&target, "xyz", 3));
    EXPECT_STREQ(target.psz, "newer");
    EXPECT_EQ(OsStrLength(target), 5);

    Seams().failAllocationAt = 1;
    OsStr made;
    EXPECT_FALSE(xfvOsStrConstructFromCharArrayIgnoringNulls(&made, "xyz", 3));
    EXPECT_EQ(made.psz, xtOsStrCommonEmptyStr.psz);

    ASSERT_TRUE(xfvOsStrAssignFromCharArrayIgnoringNulls(&target, "", 0));
    EXPECT_EQ(target.psz, xtOsStrCommonEmptyStr.psz);
    xfvOsStrDestruct(&target);
    xfvOsStrDestruct(&source);
}

TEST_F(PlatformTest, AddJoinsTwoRuns) {
    OsStr joined = xfpsfzOsStrAddIgnoringNulls("dat", 3, "/x.xml", 6);
    ASSERT_NE(joined.psz, nullptr);
    EXPECT_STREQ(joined.psz, "dat/x.xml");
    EXPECT_EQ(OsStrLength(joined), 9);
    xfvOsStrDestruct(&joined);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(xfpsfzOsStrAddIgnoringNulls("a", 1, "b", 1).psz, nullptr);
}

TEST_F(PlatformTest, ConvertToUnsignedLongAcceptsOnlyWholeDecimalNumbers) {
    struct Case {
        const char *text;
        bool ok;
        uint32_t value;
    };
    const Case cases[] = {
        {"0", true, 0},           {"42", true, 42}, {"007", true, 7},  {"4294967295", true, 4294967295u},
        {"4294967296", false, 0}, {"", false, 0},   {"-1", false, 0},  {"+1", false, 0},
        {" 1", false, 0},         {"1 ", false, 0}, {"12a", false, 0}, {"0x10", false, 0},
    };
    for (const Case &c : cases) {
        uint32_t value = 12345;
        const uint32_t rc = os_convert_to_unsigned_long(c.text, -1, &value);
        EXPECT_EQ(rc == kOsSuccess, c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        } else {
            EXPECT_EQ(value, 12345u) << "the place is untouched for " << c.text;
        }
    }
}

TEST_F(PlatformTest, LtoaWritesPlainDecimal) {
    struct Case {
        int32_t number;
        const char *text;
    };
    const Case cases[] = {
        {0, "0"}, {7, "7"}, {-5, "-5"}, {2147483647, "2147483647"}, {INT32_MIN, "-2147483648"}};
    for (const Case &c : cases) {
        char buffer[12];
        EXPECT_STREQ(os_ltoa(c.number, buffer), c.text);
    }
}

TEST_F(PlatformTest, RemoveFileAnswersRemovedMissingOrFailure) {
    TempDir dir;
    const std::string file = dir.Write("f.xml", "x");
    EXPECT_EQ(os_remove_file(file.c_str(), 0), kOsSuccess);
    EXPECT_EQ(os_remove_file(file.c_str(), 0), kOsFileNotFound);
    const uint32_t onDir = os_remove_file((dir.path() + "/nope/deeper").c_str(), 0);
    EXPECT_EQ(onDir, kOsFileNotFound);
    mkdir(dir.File("sub").c_str(), 0700);
    dir.Write("sub/keep", "x");
    const uint32_t nonEmptyDir = os_remove_file(dir.File("sub").c_str(), 0);
    EXPECT_NE(nonEmptyDir, kOsSuccess);
    EXPECT_NE(nonEmptyDir, kOsFileNotFound);
    Seams().removeFile.Set(0x2000042);
    EXPECT_EQ(os_remove_file(dir.File("sub/keep").c_str(), 0), 0x2000042u);
}

TEST_F(PlatformTest, CharsetTypeFollowsTheCtypeLocale) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(xeOsCharsetType(), 0);
    if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr) {
        EXPECT_NE(xeOsCharsetType(), 0);
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}

} // namespace
