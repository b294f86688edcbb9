// The export frame: exceptions become result codes with one message, and the
// issue-once flag is cleared on entry.
#include "tests/support/TestSupport.h"

#include "2-core/ExportFrame.h"
#include "2-core/MsgIssue.h"
#include "2-core/OstakGlobals.h"
#include "2-core/XmlLibrary.h"

#include <functional>
#include <stdexcept>
#include <xercesc/util/OutOfMemoryException.hpp>

using namespace ostak;
using namespace ostak_test;

namespace {

class FrameFirewallTest : public CatalogueTest {};

TEST_F(FrameFirewallTest, ExceptionsBecomeCodesWithOneMessage) {
    struct Case {
        std::function<int32_t()> body;
        int32_t rc;
        int32_t number;
        const char *textPart;
    };
    const Case cases[] = {
        {[]() -> int32_t { throw std::bad_alloc(); }, 7, -32590, "No memory"},
        {[]() -> int32_t { throw xercesc::OutOfMemoryException(); }, 7, -32590, "No memory"},
        {[]() -> int32_t { throw std::runtime_error("boom"); }, 23, -32599, "boom"},
        {[]() -> int32_t { throw XmlLibraryPanic("panicked"); }, 23, -32599, "panicked"},
        {[]() -> int32_t { throw 5; }, 23, -32599, "unknown exception"},
        {[]() -> int32_t { return 9; }, 9, -32588, "does not belong"},
    };
    for (const Case &c : cases) {
        Log().clear();
        EXPECT_EQ(RunExport("xfeOstakSomething", c.body), c.rc);
        ASSERT_EQ(Log().size(), 1u) << c.textPart;
        EXPECT_EQ(Log()[0].number, c.number);
        EXPECT_NE(Log()[0].text.find(c.textPart), std::string::npos) << Log()[0].text;
        EXPECT_EQ(Log()[0].level, 6);
        if (c.number == -32599) {
            EXPECT_EQ(Log()[0].func, "xfeOstakSomething");
        }
    }
}

TEST_F(FrameFirewallTest, AMessageIssuedInsideTheBodyIsNotRepeated) {
    const int32_t rc = RunExport("xfeOstakSomething", []() {
        MsgFormatAndIssue(-32552, "Inner", 3, 6, {MsgArg::Str("/x")});
        return 37;
    });
    EXPECT_EQ(rc, 37);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, -32552);
    Log().clear();
    RunExport("xfeOstakSomething", []() {
        MsgFormatAndIssue(-32568, "Inner", 3, 6, {MsgArg::Str("A")});
        return 5;
    });
    EXPECT_EQ(Log().size(), 1u) << "the code's own message is left out";
}

TEST_F(FrameFirewallTest, EveryExportClearsTheFlagOnEntry) {
    Globals().issuedOnce = true;
    EXPECT_EQ(RunExport("xfeOstakSomething", []() { return 3; }), 3);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, -32594);
}

// The frame's entry rules: places are preset before anything else, also when
// the library is not initialised; only kRequireInit refuses then, without
// running the body; only initialisation leaves the issue-once flag to its body.
TEST_F(FrameFirewallTest, EntryRulesPresetThePlacesThenRefuseBeforeInitialisation) {
    struct Case {
        const char *what;
        ExportEntry entry;
        bool initialised;
        int32_t rc;      // the export's result
        bool bodyRuns;   // whether the body ran
        size_t messages; // messages heard, with the flag set before the call
    };
    const Case cases[] = {
        {"required, not initialised", kRequireInit, false, OSTAK_E_NOT_INITIALISED, false, 1},
        {"required, initialised", kRequireInit, true, OSTAK_E_INVALID_ARGUMENT, true, 1},
        {"any time, not initialised", kAnyTime, false, OSTAK_E_INVALID_ARGUMENT, true, 1},
        {"initialisation keeps the flag", kInitialisation, false, OSTAK_E_INVALID_ARGUMENT, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Globals().initialised = c.initialised;
        Globals().issuedOnce = true;
        Log().clear();
        const char *text = "sentinel";
        uint8_t flag = 9;
        int32_t number = 9;
        bool ran = false;
        bool presetBeforeBody = false;
        const auto presets = Presets(&text, "", &flag, 0, &number, 0, static_cast<uint8_t *>(nullptr), 1);
        const int32_t rc = RunExport("xfeOstakSomething", presets, c.entry, [&]() -> int32_t {
            ran = true;
            presetBeforeBody = std::string(text).empty() && flag == 0 && number == 0;
            return OSTAK_E_INVALID_ARGUMENT;
        });
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(ran, c.bodyRuns);
        EXPECT_EQ(presetBeforeBody, c.bodyRuns);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(flag, 0);
        EXPECT_EQ(number, 0);
        ASSERT_EQ(Log().size(), c.messages);
        if (c.messages == 1) {
            EXPECT_EQ(Log()[0].number, c.rc == OSTAK_E_NOT_INITIALISED ? -32551 : -32594);
        }
    }
    Globals().initialised = false;
}

} // namespace
