// Saving rule files: the exact layout of the body, the head and its encoding
// label, removal of an emptied file, and every failure of the saver, none of
// which may cost the former file its content.
#include "tests/support/Fixtures.h"

#include "4-transcode/TqwiUcConverter.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace ostak;
using namespace ostak_test;

namespace {

constexpr const char *kSaveSource = "5-format/OstakFileInMemSave.cpp";

// The model of the layout test, in list order.
FileSpec LayoutModel() {
    FileSpec model;
    model.installationVersion = 6;
    model.appls.push_back(ApplSpec{"Alpha",
                                   {RuleSpec{"r1", "", "pre", "suf", 1, 0, 0, 0, 1},
                                    RuleSpec{"r2", " a & b < c > d \" e ' ", "", "", 0, 1, 1, 1, 0},
                                    RuleSpec{"r3", "", "", "", 1, 0, 1, 1, 0}},
                                   0,
                                   1,
                                   "h&<\"'>",
                                   1234});
    model.appls.push_back(ApplSpec{"Beta", {}, 0, 0, "", 0});
    model.appls.push_back(
        ApplSpec{"Gamma", {RuleSpec{"r", "\xE9\x80\xFF", "", "", 1, 0, 1, 1, 0}}, 0, 2, "x", -2});
    return model;
}

const char *const kLayoutBody =
    "<AED TqVersion=\"7.6\" FileVersionInstallation=\"6\" Saved=\"true\">\r\n"
    "\t<Application Name=\"Alpha\" Enabled=\"true\" StampTime=\"1234\" StampHost=\"h&amp;&lt;&quot;'>\">\r\n"
    "\t\t<Rule Name=\"r1\" FailIfNotFound=\"true\" MatchCase=\"false\" UseText=\"false\" Level=\"error\">\r\n"
    "\t\t\t<Prefix>pre</Prefix>\r\n"
    "\t\t\t<Suffix>suf</Suffix>\r\n"
    "\t\t</Rule>\r\n"
    "\t\t<Rule Name=\"r2\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" Type=\"alert\" "
    "Level=\"disabled\">\r\n"
    "\t\t\t<Text> a &amp; b &lt; c &gt; d &quot; e &apos; </Text>\r\n"
    "\t\t</Rule>\r\n"
    "\t\t<Rule Name=\"r3\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" Level=\"error\">\r\n"
    "\t\t</Rule>\r\n"
    "\t</Application>\r\n"
    "\t<Application Name=\"Beta\" Enabled=\"false\" StampTime=\"0\" StampHost=\"\">\r\n"
    "\t</Application>\r\n"
    "\t<Application Name=\"Gamma\" Enabled=\"true\" StampTime=\"4294967294\" StampHost=\"x\">\r\n"
    "\t\t<Rule Name=\"r\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" Level=\"error\">\r\n"
    "\t\t\t<Text>\xE9\x80\xFF</Text>\r\n"
    "\t\t</Rule>\r\n"
    "\t</Application>\r\n"
    "</AED>\r\n";

class LoadSaveSave : public LoadSaveTest {
  protected:
    void TearDown() override {
        SetConverterNameForTests(nullptr);
        LoadSaveTest::TearDown();
    }

    // A kind-1 object on script.xml holding the layout model.
    OstakFileInMem &LayoutFile(int32_t kind = OstakFileInMem::kKindScript) {
        OstakFileInMem &file = Make(kind, dir_.File("script.xml"));
        Fill(file, LayoutModel());
        return file;
    }

    // Restarts the library with the converter switch on, ICU converting
    // through ISO-8859-1 (so that every byte has a character).
    void UseIcuPath() {
        ASSERT_EQ(xfeOstakGlobalTerm(), 0);
        ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, true), 0);
        SetConverterNameForTests("ISO-8859-1");
        Log().clear();
    }

    // Restarts the library over a root folder whose dat/ has the catalogue
    // but no document type file; returns the head path the saver looks for.
    std::string UseRootWithoutHead() {
        const std::string root = dir_.path() + "/root";
        std::filesystem::create_directories(root + "/dat");
        std::filesystem::copy_file(SourceRoot() + "/dat/Ostak_res", root + "/dat/Ostak_res");
        EXPECT_EQ(xfeOstakGlobalTerm(), 0);
        EXPECT_EQ(InitOver(root, dir_.path(), false, false), 0);
        Log().clear();
        return root + "/dat/OstakDtd.xml";
    }
};

TEST_F(LoadSaveSave, TheBodyIsWrittenInTheExactLayout) {
    OstakFileInMem &file = LayoutFile();
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
    EXPECT_EQ(ReadFile(dir_.File("script.xml")), Head() + kLayoutBody);
    EXPECT_TRUE(file.Saved());
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(dir_.Entries(), std::set<std::string>{"script.xml"}) << "no new file left behind";
}

TEST_F(LoadSaveSave, SavedIsWrittenOnlyForAScriptFileOnRequest) {
    const std::string plainBody =
        std::string(kLayoutBody).replace(std::string(kLayoutBody).find(" Saved=\"true\""), 13, "");
    OstakFileInMem &script = LayoutFile();
    script.SetSaved(true);
    EXPECT_EQ(script.Save(false, nullptr, 0, false, TestContext()), OSTAK_OK);
    EXPECT_EQ(ReadFile(dir_.File("script.xml")), Head() + plainBody) << "never Saved=\"false\"";
    EXPECT_FALSE(script.Saved());

    OstakFileInMem &plain = LayoutFile(OstakFileInMem::kKindPlain);
    EXPECT_EQ(plain.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
    EXPECT_EQ(ReadFile(dir_.File("script.xml")), Head() + plainBody);
    EXPECT_TRUE(plain.Saved()) << "the flag is set all the same";
}

TEST_F(LoadSaveSave, AnEmptyScriptFileIsTwoLinesWithoutAZeroVersion) {
    OstakFileInMem &file = Make(OstakFileInMem::kKindScript, dir_.File("script.xml"));
    EXPECT_EQ(file.Save(false, nullptr, 0, false, TestContext()), OSTAK_OK);
    EXPECT_EQ(ReadFile(dir_.File("script.xml")), Head() + "<AED TqVersion=\"7.6\">\r\n</AED>\r\n");
}

// Each flag of a rule is written under its own name and read back into its
// own field: one flag set at a time, the others clear.
TEST_F(LoadSaveSave, EachRuleFlagTravelsUnderItsOwnName) {
    const struct {
        uint8_t RuleSpec::*flag;
        const char *attributes;
    } cases[] = {
        {&RuleSpec::failIfNotFound, "FailIfNotFound=\"true\" MatchCase=\"false\" UseText=\"false\""},
        {&RuleSpec::matchCase, "FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"false\""},
        {&RuleSpec::useText, "FailIfNotFound=\"false\" MatchCase=\"false\" UseText=\"true\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.attributes);
        RuleSpec rule{"r", "t", "", "", 1, 0, 0, 0, 0};
        rule.*c.flag = 1;
        OstakFileInMem &file = Make(OstakFileInMem::kKindPlain, dir_.File("flags.xml"));
        Fill(file, FileSpec{"", 0, false, {ApplSpec{"A", {rule}, 0, 0, "h", 1}}});
        ASSERT_EQ(file.Save(false, nullptr, 0, false, TestContext()), OSTAK_OK);
        const std::string ruleTag = std::string("<Rule Name=\"r\" ") + c.attributes + " Level=\"error\">";
        EXPECT_NE(ReadFile(dir_.File("flags.xml")).find(ruleTag), std::string::npos);
        OstakFileInMem &loaded = Make(OstakFileInMem::kKindPlain, dir_.File("flags.xml"));
        ASSERT_EQ(loaded.Load(false, TestContext()), OSTAK_OK);
        EXPECT_EQ(Describe(loaded.Applications()), Describe(file.Applications()));
    }
}

TEST_F(LoadSaveSave, TypeAndLevelOutOfRangeAreWrittenAsStdAndErrorWithAWarning) {
    OstakFileInMem &file = Make(OstakFileInMem::kKindScript, dir_.File("script.xml"));
    Fill(file,
         FileSpec{"", 0, false, {ApplSpec{"A", {RuleSpec{"r", "t", "", "", 7, 5, 1, 1, 0}}, 0, 0, "h", 1}}});
    EXPECT_EQ(file.Save(false, nullptr, 0, false, TestContext()), OSTAK_OK);
    EXPECT_EQ(ReadFile(dir_.File("script.xml")),
              Head() + "<AED TqVersion=\"7.6\">\r\n"
                       "\t<Application Name=\"A\" Enabled=\"false\" StampTime=\"1\" StampHost=\"h\">\r\n"
                       "\t\t<Rule Name=\"r\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
                       "Level=\"error\">\r\n"
                       "\t\t\t<Text>t</Text>\r\n\t\t</Rule>\r\n\t</Application>\r\n</AED>\r\n");
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[0].text, "Rule \"RuleType\" attribute is neither \"std\" nor \"alert\"");
    EXPECT_EQ(Log()[1].text, "Rule \"Level\" attribute is neither \"error\" nor \"disabled\"");
    for (const LogRecord &record : Log()) {
        EXPECT_EQ(record.number, kMsgText);
        EXPECT_EQ(record.func, "OstakFileInMem::Save");
        EXPECT_EQ(record.level, kLevelWarning);
        EXPECT_NE(SourceLine(kSaveSource, record.line).find("kMsgText"), std::string::npos);
    }
}

TEST_F(LoadSaveSave, MarkedOnlyWritesTheApplicationsMarkedOne) {
    OstakFileInMem &file = Make(OstakFileInMem::kKindScript, dir_.File("script.xml"));
    Fill(file, FileSpec{"",
                        0,
                        false,
                        {ApplSpec{"a", {R("r", "t")}, 0, 1, "h", 1}, ApplSpec{"b", {}, 0, 1, "h", 1},
                         ApplSpec{"c", {}, 0, 1, "h", 1}}});
    file.Applications().FindAppl("a")->SetDiffMark(0);
    file.Applications().FindAppl("b")->SetDiffMark(1);
    file.Applications().FindAppl("c")->SetDiffMark(1003);
    EXPECT_EQ(file.Save(true, nullptr, 0, true, TestContext()), OSTAK_E_WRITE);
    EXPECT_EQ(ReadFile(dir_.File("script.xml")),
              Head() + "<AED TqVersion=\"7.6\" Saved=\"true\">\r\n"
                       "\t<Application Name=\"b\" Enabled=\"true\" StampTime=\"1\" StampHost=\"h\">\r\n"
                       "\t</Application>\r\n"
                       "\t<Application Name=\"c\" Enabled=\"true\" StampTime=\"1\" StampHost=\"h\">\r\n"
                       "\t</Application>\r\n</AED>\r\n");
    const LogRecord *message = ExpectMessage(kMsgDiffMarkInvalid, "OstakFileInMem::Save", kLevelError,
                                             kSaveSource, "kMsgDiffMarkInvalid");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, "Difference mark 1003 of application \"c\" is neither 0 nor 1");

    Log().clear();
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK)
        << "without the flag every mark is written";
    EXPECT_NE(ReadFile(dir_.File("script.xml")).find("Name=\"a\""), std::string::npos);
}

TEST_F(LoadSaveSave, AGivenPathIsUsedOnlyWithALength) {
    OstakFileInMem &file = LayoutFile();
    const std::string other = dir_.File("other.xml");
    EXPECT_EQ(file.Save(false, other.c_str(), 0, true, TestContext()), OSTAK_OK);
    EXPECT_TRUE(FileExists(dir_.File("script.xml")));
    EXPECT_FALSE(FileExists(other));
    EXPECT_EQ(file.Save(false, other.c_str(), 1, true, TestContext()), OSTAK_OK);
    EXPECT_EQ(ReadFile(other), Head() + kLayoutBody);
}

TEST_F(LoadSaveSave, AnEmptyObjectOtherThanAScriptRemovesItsFile) {
    for (int32_t kind : {0, 2, 3}) {
        const std::string path = dir_.Write("gone.xml", "old");
        OstakFileInMem &file = Make(kind, path);
        EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK) << kind;
        EXPECT_FALSE(FileExists(path)) << kind;
        EXPECT_FALSE(file.Saved()) << "the saved flag is not touched";
        EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK)
            << "no file to remove counts as success";
    }
    EXPECT_TRUE(Log().empty());
}

TEST_F(LoadSaveSave, ARemovalThatFailsGives39) {
    const std::string path = dir_.Write("kept.xml", "old");
    OstakFileInMem &file = Make(0, path);
    Seams().removeFile.Set(static_cast<int32_t>(kOsFileNotFound));
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
    Seams().removeFile.Set(5);
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_E_REMOVE_FILE);
    EXPECT_EQ(ReadFile(path), "old");
    const LogRecord *message =
        ExpectMessage(kMsgRemoveFailed, "OstakFileInMem::Save", kLevelError, kSaveSource, "kMsgRemoveFailed");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, "Removing file \"" + path + "\" failed, rc=5");
}

TEST_F(LoadSaveSave, WithoutTheHeadFileTheTargetIsNotTouched) {
    const std::string headPath = UseRootWithoutHead();
    const std::string path = dir_.Write("script.xml", "former content");
    OstakFileInMem &file = LayoutFile();
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_E_WRITE);
    EXPECT_EQ(ReadFile(path), "former content");
    EXPECT_FALSE(file.Saved());
    const LogRecord *message =
        ExpectMessage(kMsgDtdOpen, "OstakFileInMem::Save", kLevelError, kSaveSource, "kMsgDtdOpen");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, "The document type file \"" + headPath + "\" cannot be opened");
    EXPECT_EQ(Log().size(), 1u);

    // Removing an emptied file needs no head.
    OstakFileInMem &empty = Make(0, path);
    Log().clear();
    EXPECT_EQ(empty.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(LoadSaveSave, ATargetThatCannotBeCreatedGives37) {
    const std::string target = dir_.path() + "/no/such/folder/rules.xml";
    OstakFileInMem &file = LayoutFile();
    EXPECT_EQ(file.Save(false, target.c_str(), static_cast<int32_t>(target.size()), true, TestContext()),
              OSTAK_E_WRITE);
    EXPECT_FALSE(file.Saved()) << "the flag changes only once both files are open";
    const LogRecord *message =
        ExpectMessage(kMsgOutputOpen, "OstakFileInMem::Save", kLevelError, kSaveSource, "kMsgOutputOpen");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, "The output file \"" + target + "\" cannot be opened for writing");
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(LoadSaveSave, AFailureWhileFinishingTheFileKeepsTheFormerContent) {
    struct Case {
        const char *step;
        int32_t PlatformSeams::*seam;
        int error;
    };
    const Case cases[] = {
        {"write", &PlatformSeams::saveWriteErrno, ENOSPC},  {"flush", &PlatformSeams::saveFlushErrno, EIO},
        {"fsync", &PlatformSeams::saveSyncErrno, EIO},      {"close", &PlatformSeams::saveCloseErrno, EDQUOT},
        {"rename", &PlatformSeams::saveRenameErrno, EXDEV},
    };
    for (const Case &c : cases) {
        const std::string path = dir_.Write("script.xml", "former content");
        OstakFileInMem &file = LayoutFile();
        ResetSeams();
        Seams().*c.seam = c.error;
        Log().clear();
        EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_E_WRITE) << c.step;
        ResetSeams();
        EXPECT_EQ(ReadFile(path), "former content") << c.step;
        EXPECT_EQ(dir_.Entries(), std::set<std::string>{"script.xml"}) << c.step << ": new file removed";
        EXPECT_TRUE(file.Saved()) << c.step << ": both files were open";
        const LogRecord *message =
            ExpectMessage(kMsgText, "OstakFileInMem::Save", kLevelError, kSaveSource, "IssueFailureText");
        ASSERT_NE(message, nullptr) << c.step;
        EXPECT_NE(message->text.find("\"" + path + "\""), std::string::npos) << message->text;
        EXPECT_NE(message->text.find(std::strerror(c.error)), std::string::npos) << message->text;
        EXPECT_EQ(Log().size(), 1u) << c.step;
    }
}

TEST_F(LoadSaveSave, AValueAnXmlDocumentCannotCarryFailsTheSave) {
    const std::string path = dir_.Write("script.xml", "former content");
    OstakFileInMem &file = Make(OstakFileInMem::kKindScript, path);
    Fill(file, FileSpec{"", 0, false, {ApplSpec{"A", {R("r", "bell\x07")}, 0, 0, "h", 1}}});
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_E_WRITE);
    EXPECT_EQ(ReadFile(path), "former content");
    const LogRecord *message =
        ExpectMessage(kMsgText, "OstakFileInMem::Save", kLevelError, kSaveSource, "IssueFailureText");
    ASSERT_NE(message, nullptr);
    EXPECT_NE(message->text.find("\"Text\" of application \"A\" holds the character U+0007"),
              std::string::npos)
        << message->text;
    EXPECT_EQ(dir_.Entries(), std::set<std::string>{"script.xml"});
}

TEST_F(LoadSaveSave, RunningOutOfMemoryWhileConvertingGives7AndKeepsTheFile) {
    const std::string path = dir_.Write("script.xml", "former content");
    OstakFileInMem &file = LayoutFile();
    Seams().failAllocationAt = 1;
    Seams().failAllocationsAfter = true;
    const int32_t rc = file.Save(false, nullptr, 0, true, TestContext());
    ResetSeams();
    EXPECT_EQ(rc, OSTAK_E_NO_MEMORY);
    EXPECT_EQ(ReadFile(path), "former content");
    ExpectMessage(kMsgNoMemory, "OstakFileInMem::Save", kLevelError, kSaveSource, "kMsgNoMemory");
}

TEST_F(LoadSaveSave, ASymbolicLinkIsWrittenThroughAndModesAreKept) {
    std::filesystem::create_directories(dir_.path() + "/real");
    const std::string real = dir_.Write("real/rules.xml", "former content");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    const std::string link = dir_.File("link.xml");
    ASSERT_EQ(symlink("real/rules.xml", link.c_str()), 0);
    OstakFileInMem &file = Make(OstakFileInMem::kKindScript, link);
    Fill(file, LayoutModel());
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
    struct stat status;
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << "the link stays a link";
    EXPECT_EQ(ReadFile(real), Head() + kLayoutBody);
    ASSERT_EQ(stat(real.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(LoadSaveSave, ANewFileGetsTheModeThatCreatingItWouldGive) {
    const mode_t mask = umask(027);
    OstakFileInMem &file = LayoutFile();
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
    umask(mask);
    struct stat status;
    ASSERT_EQ(stat(dir_.File("script.xml").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(LoadSaveSave, WithoutTheXmlLibraryNothingIsWritten) {
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), true, false), 0)
        << "read-only, no script file: no XML library";
    ASSERT_FALSE(Globals().xmlLibraryStarted);
    const std::string path = dir_.Write("rules.xml", "former content");
    OstakFileInMem &file = Make(0, path);
    Fill(file, FileSpec{"", 0, false, {ApplSpec{"A", {}, 0, 0, "", 0}}});
    Log().clear();
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_E_WRITE);
    EXPECT_EQ(ReadFile(path), "former content");
    ExpectMessage(kMsgText, "OstakFileInMem::Save", kLevelError, kSaveSource, "IssueFailureText");
}

TEST_F(LoadSaveSave, OnTheIcuPathTheBodyIsUtf8AndTheLabelSaysSo) {
    UseIcuPath();
    OstakFileInMem &file = LayoutFile();
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
    std::string head = Head();
    const std::string latin = "encoding=\"ISO-8859-1\"";
    head.replace(head.find(latin), latin.size(), "encoding=\"UTF-8\"");
    std::string body = kLayoutBody;
    body.replace(body.find("\xE9\x80\xFF"), 3, "\xC3\xA9\xC2\x80\xC3\xBF");
    EXPECT_EQ(ReadFile(dir_.File("script.xml")), head + body);
    EXPECT_TRUE(Log().empty());
}

TEST_F(LoadSaveSave, OnTheIcuPathAConversionThatFailsKeepsTheFormerFile) {
    UseIcuPath();
    SetConverterNameForTests("no-such-converter-name");
    const std::string path = dir_.Write("script.xml", "former content");
    OstakFileInMem &file = LayoutFile();
    Log().clear();
    EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_E_WRITE);
    EXPECT_EQ(ReadFile(path), "former content");
    ASSERT_FALSE(Log().empty());
    const LogRecord &last = Log().back();
    EXPECT_EQ(last.func, "OstakFileInMem::Save");
    EXPECT_NE(last.text.find("could not be converted"), std::string::npos) << last.text;
}

} // namespace

namespace {

// A reader turns raw tabs and line breaks in attribute values into blanks, so
// the saver must write them as character references for them to come back.
TEST_F(LoadSaveSave, TabsAndLineBreaksInAStampHostComeBack) {
    const std::vector<std::string> hosts = {"a\tb", "line\nbreak", "cr\rlf\r\n", "\t&\"<\t", "plain"};
    for (const std::string &host : hosts) {
        SCOPED_TRACE(host);
        const std::string path = dir_.File("stamp.xml");
        OstakFileInMem &file = Make(OstakFileInMem::kKindPlain, path);
        OstakElemAppl *appl = OstakElemAppl::Create(TestContext());
        ASSERT_NE(appl, nullptr);
        ASSERT_EQ(appl->SetName("A"), 0);
        ASSERT_EQ(appl->SetStamp(host.c_str(), 7), 0);
        ASSERT_EQ(file.Applications().InsertInOrder(appl), 0);
        ASSERT_EQ(file.Save(false, nullptr, 0, false, TestContext()), 0);
        const std::string written = ReadFile(path);
        const std::size_t value = written.find("StampHost=\"") + 11;
        const std::string raw = written.substr(value, written.find('"', value) - value);
        EXPECT_EQ(raw.find_first_of("\t\r\n"), std::string::npos) << raw;
        OstakFileInMem &again = Make(OstakFileInMem::kKindPlain, path);
        ASSERT_EQ(again.Load(false, TestContext()), 0);
        ASSERT_NE(again.Applications().FirstAppl(), nullptr);
        EXPECT_EQ(std::string(again.Applications().FirstAppl()->StampHost()), host);
    }
}

} // namespace
