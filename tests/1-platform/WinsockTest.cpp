// The socket stand-ins: the host name, succeeding or failing as forced.
#include "tests/support/TestSupport.h"

#include "1-platform/Winsock.h"

#include <cstring>

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the other files of the platform stand-ins.
using PlatformTest = OstakTest;

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
