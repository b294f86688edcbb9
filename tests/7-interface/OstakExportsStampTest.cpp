// The exports that read an application's stamp and renew it: the stamp a new
// application gets, its renewal with the captured host and the current time,
// what read-only mode leaves, and each refusal with its one message.
#include "tests/support/Fixtures.h"

#include "7-interface/OstakHandles.h"

#include <ctime>
#include <functional>
#include <string>

using namespace ostak;
using namespace ostak_test;

namespace {

class StampExports : public InitialisedTest {
  protected:
    void SetUp() override {
        InitialisedTest::SetUp();
        const std::string path = dir_.File("rules.xml");
        ASSERT_EQ(
            xfeOstakFileInMemCreate(0, path.c_str(), static_cast<uint32_t>(path.size()), &file_, &list_), 0);
        ASSERT_EQ(xfeOstakElemApplAddEmpty(list_, &appl_), 0);
        Log().clear();
    }
    void TearDown() override {
        EXPECT_EQ(xfeOstakFileInMemDestroy(&file_), 0);
        InitialisedTest::TearDown();
    }

    std::pair<std::string, int32_t> Stamp(OstakElemApplHandle *appl) {
        const char *host = nullptr;
        int32_t time = -1;
        EXPECT_EQ(xfeOstakElemApplGetStamp(appl, &host, &time), 0);
        return {host, time};
    }

    OstakFileInMemHandle *file_ = nullptr;
    OstakListApplHandle *list_ = nullptr;
    OstakElemApplHandle *appl_ = nullptr;
};

TEST_F(StampExports, ANewApplicationCarriesTheHostAndTheTimeAndRenewingTakesThemAgain) {
    const auto now = static_cast<int32_t>(std::time(nullptr));
    const auto made = Stamp(appl_);
    EXPECT_EQ(made.first, kHost);
    EXPECT_GE(made.second, now - 1);
    EXPECT_LE(made.second, now + 1);

    // A stamp taken over from elsewhere (as a load or a merge does) is renewed to now.
    ASSERT_EQ(FromHandle(appl_)->SetStamp("elsewhere", 5), OSTAK_OK);
    EXPECT_EQ(Stamp(appl_), (std::pair<std::string, int32_t>{"elsewhere", 5}));
    EXPECT_EQ(xfeOstakElemApplRenewStamp(list_, appl_), 0);
    const auto renewed = Stamp(appl_);
    EXPECT_EQ(renewed.first, kHost);
    EXPECT_GE(renewed.second, now);
    EXPECT_LE(renewed.second, static_cast<int32_t>(std::time(nullptr)));
    EXPECT_TRUE(Log().empty());
}

TEST_F(StampExports, RefusalsLeaveTheStampAndIssueOnce) {
    ASSERT_EQ(FromHandle(appl_)->SetStamp("kept", 7), OSTAK_OK);
    OstakListApplHandle *other = nullptr;
    ASSERT_EQ(xfeOstakListApplClone(list_, &other), 0);
    const char *host = "sentinel";
    int32_t time = 9;
    const struct {
        const char *what;
        std::function<int32_t()> call;
        int32_t rc;
        int32_t message;
        const char *hostAfter; // the getter presets each place it is given
        int32_t timeAfter;
    } cases[] = {
        {"get, null application", [&] { return xfeOstakElemApplGetStamp(nullptr, &host, &time); },
         OSTAK_E_INVALID_ARGUMENT, kMsgInvalidArgument, "", 0},
        {"get, null host place", [&] { return xfeOstakElemApplGetStamp(appl_, nullptr, &time); },
         OSTAK_E_INVALID_ARGUMENT, kMsgInvalidArgument, "sentinel", 0},
        {"get, null time place", [&] { return xfeOstakElemApplGetStamp(appl_, &host, nullptr); },
         OSTAK_E_INVALID_ARGUMENT, kMsgInvalidArgument, "", 9},
        {"renew, null list", [&] { return xfeOstakElemApplRenewStamp(nullptr, appl_); },
         OSTAK_E_INVALID_ARGUMENT, kMsgInvalidArgument, "sentinel", 9},
        {"renew, null application", [&] { return xfeOstakElemApplRenewStamp(list_, nullptr); },
         OSTAK_E_INVALID_ARGUMENT, kMsgInvalidArgument, "sentinel", 9},
        {"renew, another list", [&] { return xfeOstakElemApplRenewStamp(other, appl_); }, OSTAK_E_NOT_IN_LIST,
         kMsgNotInList, "sentinel", 9},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Log().clear();
        host = "sentinel";
        time = 9;
        EXPECT_EQ(c.call(), c.rc);
        ExpectIssuedOnce(c.message);
        EXPECT_STREQ(host, c.hostAfter);
        EXPECT_EQ(time, c.timeAfter);
    }
    EXPECT_EQ(Stamp(appl_), (std::pair<std::string, int32_t>{"kept", 7}));
    EXPECT_EQ(xfeOstakListApplDestroy(&other), 0);
}

TEST_F(StampExports, RenewingWithoutMemoryGives7AndKeepsTheStamp) {
    ASSERT_EQ(FromHandle(appl_)->SetStamp("kept", 7), OSTAK_OK);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(xfeOstakElemApplRenewStamp(list_, appl_), OSTAK_E_NO_MEMORY);
    Seams().failAllocationAt = 0;
    ExpectIssuedOnce(kMsgNoMemory);
    EXPECT_EQ(Stamp(appl_), (std::pair<std::string, int32_t>{"kept", 7}));
}

class StampExportsNotInitialised : public CatalogueTest {};

TEST_F(StampExportsNotInitialised, BothRefuseWith38AfterPresettingThePlaces) {
    const char *host = "sentinel";
    int32_t time = 9;
    EXPECT_EQ(xfeOstakElemApplGetStamp(nullptr, &host, &time), OSTAK_E_NOT_INITIALISED);
    EXPECT_STREQ(host, "");
    EXPECT_EQ(time, 0);
    EXPECT_EQ(xfeOstakElemApplRenewStamp(nullptr, nullptr), OSTAK_E_NOT_INITIALISED);
}

} // namespace

class StampExportsReadOnly : public CatalogueTest {
  protected:
    TempDir dir_;
};

TEST_F(StampExportsReadOnly, RenewingLeavesTheEmptyStampOfReadOnlyMode) {
    ASSERT_EQ(InitReadOnly(dir_.path(), "script.xml"), 0);
    const std::string path = dir_.File("rules.xml");
    OstakFileInMemHandle *file = nullptr;
    OstakListApplHandle *list = nullptr;
    OstakElemApplHandle *appl = nullptr;
    ASSERT_EQ(xfeOstakFileInMemCreate(0, path.c_str(), static_cast<uint32_t>(path.size()), &file, &list), 0);
    ASSERT_EQ(xfeOstakElemApplAddEmpty(list, &appl), 0);
    EXPECT_EQ(xfeOstakElemApplRenewStamp(list, appl), 0);
    const char *host = nullptr;
    int32_t time = -1;
    EXPECT_EQ(xfeOstakElemApplGetStamp(appl, &host, &time), 0);
    EXPECT_STREQ(host, "");
    EXPECT_EQ(time, 0);
    EXPECT_EQ(xfeOstakFileInMemDestroy(&file), 0);
}
