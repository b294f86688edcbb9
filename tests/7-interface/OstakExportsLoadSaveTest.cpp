// The load and save exports: their argument checks, what each mode and file
// kind makes of a missing or empty file, and one message per failure.
#include "tests/support/Fixtures.h"

#include <filesystem>

using namespace ostak;
using namespace ostak_test;

namespace {

class LoadSaveExports : public OstakTest {
  protected:
    void TearDown() override {
        handles_.DestroyAll();
        OstakTest::TearDown();
    }

    OstakFileInMemHandle *Create(uint32_t kind, const std::string &path) { return handles_.Create(kind, path); }

    OstakFileInMem &Object(OstakFileInMemHandle *handle) { return *FromHandle(handle); }

    TempDir dir_;
    ExportedFiles handles_;
};

TEST_F(LoadSaveExports, BeforeInitialisationBothRefuseWith38) {
    Globals().logCallback = RecordLog; // a callback left registered, the catalogue gone
    const auto expectFallbackOnce = [] {
        ASSERT_EQ(Log().size(), 1u);
        EXPECT_EQ(Log()[0].number, kMsgNotInitialised);
        EXPECT_EQ(Log()[0].func, "xfeOstakIssueMsgByRc");
        EXPECT_EQ(Log()[0].line, kLineIssueByRcCatalogue);
        EXPECT_EQ(Log()[0].level, kLevelError);
    };
    EXPECT_EQ(xfeOstakLoad(nullptr), OSTAK_E_NOT_INITIALISED);
    expectFallbackOnce();
    Log().clear();
    EXPECT_EQ(xfeOstakSave(nullptr, 0, nullptr, 0), OSTAK_E_NOT_INITIALISED);
    expectFallbackOnce();
}

TEST_F(LoadSaveExports, InvalidArgumentsGive3) {
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, false), 0);
    OstakFileInMemHandle *file = Create(1, dir_.File("rules.xml"));
    struct Case {
        const char *what;
        int32_t rc;
    };
    const Case cases[] = {
        {"load of no object", xfeOstakLoad(nullptr)},
        {"save of no object", xfeOstakSave(nullptr, 0, nullptr, 0)},
        {"null path with a length", xfeOstakSave(file, 0, nullptr, 5)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.rc, OSTAK_E_INVALID_ARGUMENT) << c.what;
    }
    EXPECT_FALSE(FileExists(dir_.File("rules.xml")));
    Log().clear();
    EXPECT_EQ(xfeOstakSave(file, 0, nullptr, 5), OSTAK_E_INVALID_ARGUMENT);
    ExpectIssuedOnce(-32594);
    Log().clear();
    EXPECT_EQ(xfeOstakSave(file, 0, nullptr, 0), OSTAK_OK)
        << "a null path of length 0 means the object's own";
    EXPECT_TRUE(FileExists(dir_.File("rules.xml")));
}

TEST_F(LoadSaveExports, AMissingOrEmptyFileMeansWhatItsKindSays) {
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, false), 0);
    struct Case {
        uint32_t kind;
        bool empty;
        int32_t rc;
        int32_t message;
    };
    const Case cases[] = {
        {0, false, OSTAK_OK, 0},
        {0, true, OSTAK_OK, 0},
        {2, false, OSTAK_E_FILE_MISSING, -32571},
        {2, true, OSTAK_E_FILE_EMPTY, -32574},
        {3, false, OSTAK_E_FILE_MISSING, -32571},
        {3, true, OSTAK_E_FILE_EMPTY, -32574},
    };
    for (const Case &c : cases) {
        const std::string path = c.empty ? dir_.Write("empty.xml", "") : dir_.File("absent.xml");
        OstakFileInMemHandle *file = Create(c.kind, path);
        Log().clear();
        EXPECT_EQ(xfeOstakLoad(file), c.rc) << c.kind << (c.empty ? " empty" : " missing");
        EXPECT_TRUE(Object(file).Applications().Empty());
        if (c.message == 0) {
            EXPECT_TRUE(Log().empty());
        } else {
            ExpectIssuedOnce(c.message);
        }
    }
}

TEST_F(LoadSaveExports, AFullModeLoadKeepsDisabledEntriesAndReportsAFailureOnce) {
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, false), 0);
    const std::string path =
        dir_.Write("rules.xml", Doc("<AED><Application Name=\"A\" Enabled=\"false\"><Rule Name=\"r\" "
                                    "Level=\"disabled\"/></Application></AED>"));
    // (A script's rule file goes on to meet the installation file; not here.)
    for (uint32_t kind : {0u, 2u, 3u}) {
        OstakFileInMemHandle *file = Create(kind, path);
        EXPECT_EQ(xfeOstakLoad(file), OSTAK_OK) << kind;
        EXPECT_NE(Object(file).Applications().FindAppl("A"), nullptr) << kind;
    }
    dir_.Write("broken.xml", Doc("<AED><Application Name=\"A\"></AED>"));
    OstakFileInMemHandle *broken = Create(2, dir_.File("broken.xml"));
    Log().clear();
    EXPECT_EQ(xfeOstakLoad(broken), OSTAK_E_INVALID_DOCUMENT);
    EXPECT_EQ(CountMessages(kMsgParserReport), 1);
    EXPECT_EQ(CountMessages(-32573), 0) << "the parser's report is the failure's one message";
}

TEST_F(LoadSaveExports, AReadOnlyLoadDropsDisabledEntries) {
    dir_.Write("script.xml", Doc("<AED/>"));
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), true, false), 0);
    ASSERT_TRUE(Globals().xmlLibraryStarted);
    const std::string path = dir_.Write(
        "rules.xml",
        Doc("<AED><Application Name=\"off\" Enabled=\"false\"/><Application Name=\"on\" "
            "Enabled=\"true\"><Rule Name=\"a\" Level=\"disabled\"/><Rule Name=\"b\"/></Application>"
            "</AED>"));
    OstakFileInMemHandle *file = Create(0, path);
    EXPECT_EQ(xfeOstakLoad(file), OSTAK_OK);
    EXPECT_EQ(Describe(Object(file)), "AED\non ''@0 {b=''}")
        << "read-only: no stamp for what the file leaves out";

    OstakFileInMemHandle *missing = Create(0, dir_.File("absent.xml"));
    Log().clear();
    EXPECT_EQ(xfeOstakLoad(missing), OSTAK_OK);
    EXPECT_TRUE(Log().empty());
}

TEST_F(LoadSaveExports, AReadOnlyLoadWithoutTheXmlLibraryLoadsNothing) {
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), true, false), 0);
    ASSERT_FALSE(Globals().xmlLibraryStarted);
    OstakFileInMemHandle *file =
        Create(0, dir_.Write("rules.xml", Doc("<AED><Application Name=\"A\"/></AED>")));
    EXPECT_EQ(xfeOstakLoad(file), OSTAK_OK);
    EXPECT_TRUE(Object(file).Applications().Empty());
    EXPECT_TRUE(Log().empty());
}

TEST_F(LoadSaveExports, AThrowPastTheParserIsCaughtInTheLoad) {
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, false), 0);
    // Larger than the parser's first read, so that a later read throws.
    std::string body = "<AED>";
    while (body.size() < 200 * 1024) {
        body += "<Application Name=\"A" + std::to_string(body.size()) + "\"/>";
    }
    OstakFileInMemHandle *file = Create(2, dir_.Write("rules.xml", Doc(body + "</AED>")));
    Log().clear();
    Seams().loadReadThrows = 1;
    EXPECT_EQ(xfeOstakLoad(file), OSTAK_E_NO_MEMORY);
    ExpectMessage(kMsgNoMemory, "OstakFileInMem::Load", kLevelError, "5-format/OstakFileInMemLoad.cpp",
                  "kMsgNoMemory");
    EXPECT_EQ(Object(file).LoadResult(), OSTAK_E_NO_MEMORY);

    OstakFileInMemHandle *again = Create(2, dir_.File("rules.xml"));
    Log().clear();
    Seams().loadReadThrows = 2;
    EXPECT_EQ(xfeOstakLoad(again), OSTAK_E_INVALID_DOCUMENT);
    const LogRecord *message = OnlyMessage(kMsgText);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->func, "OstakFileInMem::Load");
    EXPECT_EQ(message->level, kLevelError);
    EXPECT_NE(message->text.find("reading the rule file was told to fail"), std::string::npos)
        << message->text;
    EXPECT_EQ(MessagesBeyondTrace().size(), 1u);
}

TEST_F(LoadSaveExports, SaveWritesWithTheSavedFlagAndTheLowByteOfMarkedOnly) {
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, false), 0);
    OstakFileInMemHandle *file = Create(1, dir_.File("rules.xml"));
    Fill(Object(file), FileSpec{"", 0, false, {ApplSpec{"a", {}, 0, 1, "h", 1}}});
    Object(file).Applications().FirstAppl()->SetDiffMark(0);
    EXPECT_EQ(xfeOstakSave(file, 0x100, nullptr, 0), OSTAK_OK);
    uint8_t saved = 0;
    EXPECT_EQ(xfeOstakFileInMemGetAttrBool(file, 0, &saved), 0);
    EXPECT_EQ(saved, 1);
    const std::string all = ReadFile(dir_.File("rules.xml"));
    EXPECT_NE(all.find("<AED TqVersion=\"7.6\" Saved=\"true\">"), std::string::npos);
    EXPECT_NE(all.find("Name=\"a\""), std::string::npos) << "0x100 is not the marked-only flag";

    const std::string other = dir_.File("marked.xml");
    EXPECT_EQ(xfeOstakSave(file, 0x101, other.c_str(), static_cast<int32_t>(other.size())), OSTAK_OK);
    EXPECT_EQ(ReadFile(other).find("Name=\"a\""), std::string::npos);
    EXPECT_TRUE(Log().empty());
}

TEST_F(LoadSaveExports, ASaveFailureReachesTheCallerOnce) {
    const std::string root = dir_.path() + "/root";
    std::filesystem::create_directories(root + "/dat");
    std::filesystem::copy_file(SourceRoot() + "/dat/Ostak_res", root + "/dat/Ostak_res");
    ASSERT_EQ(InitOver(root, dir_.path(), false, false), 0);
    OstakFileInMemHandle *file = Create(1, dir_.File("rules.xml"));
    Log().clear();
    EXPECT_EQ(xfeOstakSave(file, 0, nullptr, 0), OSTAK_E_WRITE);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, kMsgDtdOpen);

    Log().clear();
    OstakFileInMemHandle *empty = Create(0, dir_.Write("gone.xml", "x"));
    Seams().removeFile.Set(7);
    EXPECT_EQ(xfeOstakSave(empty, 0, nullptr, 0), OSTAK_E_REMOVE_FILE);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, kMsgRemoveFailed);
}

} // namespace
