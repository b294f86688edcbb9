// The path resolver: OSTAK_PATH searched in order.
#include "tests/support/TestSupport.h"

#include "1-platform/Wayfind.h"

#include <cstdlib>
#include <sys/stat.h>

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the other files of the platform stand-ins.
using PlatformTest = OstakTest;

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

} // namespace
