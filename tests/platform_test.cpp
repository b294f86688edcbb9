// The platform stand-ins: strings, numbers, files, code set, catalogue, path
// resolver, sockets and the allocation seam.
#include "tests/support/TestSupport.h"

#include "1-platform/Wayfind.h"
#include "1-platform/Winsock.h"
#include "1-platform/basekit32.h"
#include "1-platform/tasklib.h"
#include "1-platform/textcat.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

using namespace ostak;
using namespace ostak_test;

namespace {

class PlatformTest : public OstakTest {};

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

TEST_F(PlatformTest, AllocationSeamFailsExactlyTheNthAllocation) {
    Seams().failAllocationAt = 3;
    void *first = maw_malloc(8);
    void *second = maw_malloc(8);
    void *third = maw_malloc(8);
    void *fourth = maw_malloc(8);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(third, nullptr);
    EXPECT_NE(fourth, nullptr) << "only the Nth fails unless failAllocationsAfter is set";
    maw_free(first);
    maw_free(second);
    maw_free(fourth);

    Seams().failAllocationAt = 2;
    Seams().failAllocationsAfter = true;
    void *ok = maw_malloc(4);
    EXPECT_NE(ok, nullptr);
    EXPECT_EQ(maw_malloc(4), nullptr);
    EXPECT_EQ(maw_malloc(4), nullptr);
    maw_free(ok);
}

struct Counted : SeamAllocated {
    int value = 1;
};

TEST_F(PlatformTest, SeamAllocatedRecordsGoThroughTheSeam) {
    const int64_t before = LiveAllocations();
    Counted *made = new (std::nothrow) Counted;
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(LiveAllocations(), before + 1);
    delete made;
    EXPECT_EQ(LiveAllocations(), before);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(new (std::nothrow) Counted, nullptr);
    Seams().failAllocationAt = 1;
    EXPECT_THROW(delete new Counted, std::bad_alloc);
}

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

TEST_F(PlatformTest, GetFullPathSearchesOstakPathInOrder) {
    TempDir first;
    TempDir second;
    second.Write("OstakDefault.xml", "x");
    mkdir(first.File("OstakDefault.xml").c_str(), 0700); // a folder of that name does not count
    const char *saved = std::getenv("OSTAK_PATH");
    const std::string savedValue = saved != nullptr ? saved : "";
    char buffer[2048] = "junk";

    unsetenv("OSTAK_PATH");
    EXPECT_EQ(GetFullPath(1, 0, "OstakDefault.xml", buffer), 0);

    const std::string list = "/nonexistent-ostak::" + first.path() + ":" + second.path() + "/";
    setenv("OSTAK_PATH", list.c_str(), 1);
    ASSERT_NE(GetFullPath(1, 0, "OstakDefault.xml", buffer), 0);
    EXPECT_EQ(std::string(buffer), second.File("OstakDefault.xml"));
    EXPECT_EQ(GetFullPath(1, 0, "Other.xml", buffer), 0);

    if (saved != nullptr) {
        setenv("OSTAK_PATH", savedValue.c_str(), 1);
    } else {
        unsetenv("OSTAK_PATH");
    }
}

TEST_F(PlatformTest, SocketStandInsSucceedOrFailAsForced) {
    WSADATA data;
    EXPECT_EQ(WSAStartup(0x0101, &data), 0);
    char name[2048];
    EXPECT_EQ(ostak::gethostname(name, sizeof name), 0);
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(WSACleanup(), 0);

    Seams().gethostname.Set(-1);
    Seams().wsaLastError = 10093;
    EXPECT_EQ(ostak::gethostname(name, sizeof name), -1);
    EXPECT_EQ(WSAGetLastError(), 10093);

    Seams().gethostname = {};
    Seams().hostNameOverride = true;
    Seams().hostName = "box7";
    EXPECT_EQ(ostak::gethostname(name, sizeof name), 0);
    EXPECT_STREQ(name, "box7");
}

} // namespace
