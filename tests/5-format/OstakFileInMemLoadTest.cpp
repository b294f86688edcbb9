// Loading a rule-file object: what a missing, empty or unparsable file, and a
// load without the XML library, give before any document is read.
#include "tests/support/Fixtures.h"

using namespace ostak;
using namespace ostak_test;

namespace {

using Names = std::vector<std::string>;

// The suite shares its fixture with the tests of the document handler.
using LoadSaveLoad = LoadSaveTest;

TEST_F(LoadSaveLoad, MissingAndEmptyFilesReturnTheirStatusWithoutParsing) {
    OstakFileInMem &missing = Make(0, dir_.File("absent.xml"));
    AppendAppl(missing, ApplSpec{"kept", {}, 0, 1, "h", 5});
    EXPECT_EQ(missing.Load(false, TestContext()), OSTAK_E_FILE_MISSING);
    EXPECT_EQ(missing.LoadResult(), -1) << "nothing parsed";
    EXPECT_EQ(ApplNames(missing), Names{"kept"});

    OstakFileInMem &empty = Make(0, dir_.Write("empty.xml", ""));
    EXPECT_EQ(empty.Load(false, TestContext()), OSTAK_E_FILE_EMPTY);
    EXPECT_TRUE(empty.Applications().Empty());

    OstakFileInMem &folder = Make(0, dir_.path());
    EXPECT_EQ(folder.Load(false, TestContext()), OSTAK_E_NOT_REGULAR_FILE);
    EXPECT_TRUE(Log().empty()) << "no parser message, no trace line";
}

TEST_F(LoadSaveLoad, WithoutTheXmlLibraryNothingIsParsed) {
    const std::string path = dir_.Write("rules.xml", Doc("<AED><Application Name=\"A\"/></AED>"));
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    OstakFileInMem &file = Make(0, path);
    Globals().logCallback = RecordLog;
    Log().clear();
    EXPECT_EQ(file.Load(false, TestContext()), OSTAK_E_INVALID_DOCUMENT);
    EXPECT_TRUE(file.Applications().Empty());
    const LogRecord *message = OnlyMessage(kMsgText);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->func, "OstakFileInMem::Load");
    EXPECT_EQ(Log().size(), 1u);
}

} // namespace
