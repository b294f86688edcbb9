// Loading a script's rule file in full mode: the take-over of the installation
// file's content, the configuration callback, the merge of a changed
// installation file, the saves that follow, and every failure with the one
// message that reports it.
#include "tests/support/Fixtures.h"

#include "2-core/MsgIssue.h"

#include <filesystem>
#include <map>
#include <stdexcept>

using namespace ostak;
using namespace ostak_test;

namespace {

const std::vector<ApplSpec> &InstallAppls() {
    static const std::vector<ApplSpec> appls = {
        {"Editor", {R("Rule_1", "open"), R("Rule_2", "save")}, 0, 1, "inst", 500},
        {"Mail", {R("Rule_1", "send")}, 0, 1, "inst", 500},
    };
    return appls;
}

const std::vector<ApplSpec> &ScriptAppls() {
    static const std::vector<ApplSpec> appls = {
        {"Editor", {R("Rule_1", "open"), R("Rule_2", "saved")}, 0, 1, "me", 9},
        {"Local", {R("x")}, 0, 0, "me", 9},
    };
    return appls;
}

// What a rule-file object holds after loading DocXml(appls, installationVersion, saved).
FileSnap Loaded(const std::vector<ApplSpec> &appls, int32_t installationVersion, bool saved = false) {
    FilePtr file = MakeFile(1, appls);
    return FileSnap{"7.6", installationVersion, saved, Snap(file->Applications())};
}

class SyncLoad : public SyncTest {};

TEST_F(SyncLoad, TakeOverConditions) {
    struct Case {
        const char *what;
        bool present;
        std::string content;
        bool takeOver;
        bool asked;
    };
    const std::string installDoc = DocXml(InstallAppls(), 6);
    const Case cases[] = {
        {"missing", false, "", true, false},
        {"empty", true, "", true, false},
        {"7.5 without applications", true, DocXml({}, 0, false, "7.5"), true, false},
        {"7.5 without applications, saved, same number", true, DocXml({}, 6, true, "7.5"), true, false},
        {"7.5 with applications, same number", true, DocXml(ScriptAppls(), 6, false, "7.5"), false, false},
        {"7.6 without applications, same number", true, DocXml({}, 6), false, false},
        {"7.6 without applications, number 0", true, DocXml({}, 0), false, true},
        {"number 5, not saved", true, DocXml(ScriptAppls(), 5), true, false},
        {"number 2, not saved", true, DocXml(ScriptAppls(), 2), true, false},
        {"number 5, saved", true, DocXml(ScriptAppls(), 5, true), false, true},
        {"number 1, not saved", true, DocXml(ScriptAppls(), 1), false, true},
        {"number 0, not saved", true, DocXml(ScriptAppls(), 0), false, true},
        {"number 6, not saved", true, DocXml(ScriptAppls(), 6), false, false},
        {"number 4294967295, not saved", true,
         Head() + "<AED TqVersion=\"7.6\" FileVersionInstallation=\"4294967295\">\r\n</AED>\r\n", false,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteInstallation(installDoc);
        std::filesystem::remove(ScriptPath());
        if (c.present) {
            WriteScript(c.content);
        }
        Init();
        ScriptedConf::Questions().clear();
        ScriptedConf::Answer() = 1;
        EXPECT_EQ(LoadScript(), 0);
        EXPECT_TRUE(MessagesBeyondTrace().empty());
        EXPECT_EQ(ScriptedConf::Questions(), c.asked ? std::vector<int32_t>{0} : std::vector<int32_t>{});
        EXPECT_TRUE(ScriptedMerge::Calls().empty());
        if (c.takeOver) {
            EXPECT_EQ(ReadFile(ScriptPath()), installDoc)
                << "written with the installation's content, no Saved";
            EXPECT_EQ(Snap(Script().Applications()), Loaded(InstallAppls(), 6).appls);
            EXPECT_EQ(Script().InstallationVersion(), 6);
            EXPECT_FALSE(Script().Saved());
        } else {
            EXPECT_EQ(ReadFile(ScriptPath()), c.content) << "not written";
        }
        xfeOstakFileInMemDestroy(&script_);
        ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    }
}

TEST_F(SyncLoad, ConfigurationAnswersOtherThanTwoLeaveTheFileAlone) {
    WriteInstallation(DocXml(InstallAppls(), 6));
    const std::string scriptDoc = DocXml(ScriptAppls(), 5, true);
    WriteScript(scriptDoc);
    Init();
    for (int32_t answer : {0, 1, 3, -2, 0x102}) {
        ScriptedConf::Answer() = answer;
        ScriptedConf::Questions().clear();
        EXPECT_EQ(LoadScript(), 0) << answer;
        EXPECT_EQ(ScriptedConf::Questions(), std::vector<int32_t>{0});
        EXPECT_TRUE(ScriptedMerge::Calls().empty());
        EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
        EXPECT_EQ(Snap(Script()), Loaded(ScriptAppls(), 5, true));
        EXPECT_TRUE(MessagesBeyondTrace().empty());
    }
}

TEST_F(SyncLoad, AnswerTwoMergesEveryInstallationApplicationAndSavesAsSaved) {
    WriteInstallation(DocXml(InstallAppls(), 6));
    WriteScript(DocXml(ScriptAppls(), 5, true));
    Init();
    ScriptedConf::Answer() = 2;
    ScriptedMerge::Reset([](const MergeCall &, std::size_t) { return 1u; });
    ASSERT_EQ(LoadScript(), 0);
    ASSERT_EQ(ScriptedMerge::Calls().size(), 1u);
    const MergeCall &call = ScriptedMerge::Calls()[0];
    EXPECT_EQ(call.event, OstakMergeRuleConflict);
    EXPECT_EQ(call.sourceKind, 2);
    EXPECT_EQ(call.targetKind, 1);
    EXPECT_EQ(call.applName, "Editor");
    EXPECT_EQ(call.ruleName, "Rule_2");
    EXPECT_EQ(call.appl2, static_cast<void *>(Script().Applications().FindAppl("Editor")));
    EXPECT_EQ(call.rule2Name, "Rule_2");
    EXPECT_EQ(call.proposed, "Rule_3");
    EXPECT_TRUE(MessagesBeyondTrace().empty());

    // The installation's version of Rule_2 taken, Mail new and disabled.
    EXPECT_EQ(Describe(Script(), Since(started_)), "AED version='7.6' installation=6 saved\n"
                                                   "Editor 'thishost'@now {Rule_1='open'; Rule_2='save'}\n"
                                                   "Local off 'me'@9 {x='text'}\n"
                                                   "Mail off 'thishost'@now mark=1 {Rule_1='send'}");
    const std::string written = ReadFile(ScriptPath());
    EXPECT_NE(written.find("<AED TqVersion=\"7.6\" FileVersionInstallation=\"6\" Saved=\"true\">\r\n"),
              std::string::npos);
    EXPECT_NE(written.find("<Text>save</Text>"), std::string::npos);
    EXPECT_EQ(written.find("<Text>saved</Text>"), std::string::npos);

    // The numbers are equal now: the next load asks nothing.
    ScriptedConf::Questions().clear();
    ASSERT_EQ(LoadScript(), 0);
    EXPECT_TRUE(ScriptedConf::Questions().empty());
    EXPECT_EQ(ReadFile(ScriptPath()), written);
}

TEST_F(SyncLoad, WithoutAnAnswerOfTwoFromAConfigurationCallbackNothingIsMerged) {
    WriteInstallation(DocXml(InstallAppls(), 6));
    const std::string scriptDoc = DocXml(ScriptAppls(), 5, true);
    WriteScript(scriptDoc);
    Init();
    const ostak_conf_callback throwing = [](int32_t) -> int32_t { throw std::runtime_error("conf"); };
    for (ostak_conf_callback conf : {static_cast<ostak_conf_callback>(nullptr), throwing}) {
        SCOPED_TRACE(conf == nullptr ? "none registered" : "one that throws");
        Globals().confCallback = conf;
        EXPECT_EQ(LoadScript(), 0);
        EXPECT_TRUE(ScriptedMerge::Calls().empty());
        EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
        EXPECT_EQ(Snap(Script()), Loaded(ScriptAppls(), 5, true));
        EXPECT_TRUE(MessagesBeyondTrace().empty());
    }
}

TEST_F(SyncLoad, CancelInTheMergeLoadsWithoutWriting) {
    WriteInstallation(DocXml(InstallAppls(), 6));
    const std::string scriptDoc = DocXml(ScriptAppls(), 5, true);
    WriteScript(scriptDoc);
    Init();
    ScriptedConf::Answer() = 2;
    ScriptedMerge::Reset([](const MergeCall &, std::size_t) { return 0u; });
    EXPECT_EQ(LoadScript(), 0);
    ExpectIssuedOnce(-32583);
    EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
    EXPECT_EQ(Snap(Script()), Loaded(ScriptAppls(), 5, true));
}

TEST_F(SyncLoad, MergeFailuresGiveThirtyOneAfterTheMergesMessage) {
    struct Case {
        const char *what;
        uint32_t answer;
        bool noCallback;
        int32_t number;
    };
    const Case cases[] = {
        {"answer out of range", 7, false, -32582},
        {"answer 3 to event 4", 3, false, -32582},
        {"no merge callback", 1, true, -32580},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // Editor's Rule_2 only in the installation: event 4 comes first.
        WriteInstallation(DocXml({{"Editor", {R("Rule_1", "open"), R("Rule_2", "save")}}}, 6));
        const std::string scriptDoc = DocXml({{"Editor", {R("Rule_1", "open")}, 0, 1, "me", 9}}, 5, true);
        WriteScript(scriptDoc);
        Init();
        if (c.noCallback) {
            Globals().mergeCallback = nullptr;
        }
        ScriptedConf::Answer() = 2;
        ScriptedMerge::Reset([&](const MergeCall &, std::size_t) { return c.answer; });
        EXPECT_EQ(LoadScript(), OSTAK_E_MERGE);
        ExpectIssuedOnce(c.number);
        EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
        EXPECT_EQ(Snap(Script()), Loaded({{"Editor", {R("Rule_1", "open")}, 0, 1, "me", 9}}, 5, true));
        xfeOstakFileInMemDestroy(&script_);
        ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    }
}

TEST_F(SyncLoad, MissingInstallationFileGivesTwentyFiveAfterItsOwnMessage) {
    for (bool scriptPresent : {false, true}) {
        SCOPED_TRACE(scriptPresent ? "script present" : "script missing");
        std::filesystem::remove(ScriptPath());
        const std::string scriptDoc = DocXml(ScriptAppls(), 5, true);
        if (scriptPresent) {
            WriteScript(scriptDoc);
        }
        Init();
        EXPECT_EQ(LoadScript(), OSTAK_E_INSTALLATION_LOAD);
        ExpectIssuedOnce(-32571);
        EXPECT_TRUE(ScriptedConf::Questions().empty());
        if (scriptPresent) {
            EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
            EXPECT_EQ(Snap(Script()), Loaded(ScriptAppls(), 5, true));
        } else {
            EXPECT_FALSE(FileExists(ScriptPath()));
            EXPECT_TRUE(Script().Applications().Empty());
        }
        xfeOstakFileInMemDestroy(&script_);
        ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    }
}

TEST_F(SyncLoad, EmptyInstallationFileGivesTwentyFiveAfterTheMessageOfTwentyTwo) {
    WriteInstallation("");
    const std::string scriptDoc = DocXml(ScriptAppls(), 5, true);
    WriteScript(scriptDoc);
    Init();
    EXPECT_EQ(LoadScript(), OSTAK_E_INSTALLATION_LOAD);
    ExpectIssuedOnce(-32574);
    EXPECT_TRUE(ScriptedConf::Questions().empty());
    EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
    EXPECT_EQ(Snap(Script()), Loaded(ScriptAppls(), 5, true));
}

TEST_F(SyncLoad, InvalidInstallationFileGivesTwentyFiveAfterTheParsersMessage) {
    WriteInstallation(Head() + "<AED TqVersion=\"7.6\"><Application Name=\"A\"></AED>");
    const std::string scriptDoc = DocXml(ScriptAppls(), 5, true);
    WriteScript(scriptDoc);
    Init();
    EXPECT_EQ(LoadScript(), OSTAK_E_INSTALLATION_LOAD);
    ExpectOnlyMessageAt(kMsgParserReport, "AedErrorHandler::report", kLevelFatal,
                        "5-format/AedErrorHandler.cpp", "kMsgParserReport");
    EXPECT_NE(MessagesBeyondTrace()[0].text.find(InstallationPath()), std::string::npos);
    EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
}

TEST_F(SyncLoad, FailedSaveAfterATakeOverGivesTwentyNine) {
    WriteInstallation(DocXml(InstallAppls(), 6));
    Init();
    std::filesystem::remove(root_.File("dat/OstakDtd.xml"));
    EXPECT_EQ(LoadScript(), OSTAK_E_TAKEOVER_SAVE);
    ExpectOnlyMessageAt(kMsgDtdOpen, "OstakFileInMem::Save", kLevelError, "5-format/OstakFileInMemSave.cpp",
                        "kMsgDtdOpen");
    EXPECT_FALSE(FileExists(ScriptPath()));
    EXPECT_EQ(Snap(Script().Applications()), Loaded(InstallAppls(), 6).appls) << "the copy stays in memory";
    EXPECT_TRUE(ScriptedConf::Questions().empty());
}

TEST_F(SyncLoad, FailedSaveAfterTheMergeGivesThirtyFour) {
    WriteInstallation(DocXml(InstallAppls(), 6));
    const std::string scriptDoc = DocXml(ScriptAppls(), 5, true);
    WriteScript(scriptDoc);
    Init();
    std::filesystem::remove(root_.File("dat/OstakDtd.xml"));
    ScriptedConf::Answer() = 2;
    EXPECT_EQ(LoadScript(), OSTAK_E_MERGE_SAVE);
    ExpectOnlyMessageAt(kMsgDtdOpen, "OstakFileInMem::Save", kLevelError, "5-format/OstakFileInMemSave.cpp",
                        "kMsgDtdOpen");
    EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
    EXPECT_EQ(ApplNames(Snap(Script().Applications())), (std::vector<std::string>{"Editor", "Local", "Mail"}))
        << "the merged list stays in memory";
}

TEST_F(SyncLoad, AScriptFileTheLoadRefusesIsNeitherWrittenNorTakenOver) {
    // Each of these files would be taken over (number 5, not saved) were its load not refused.
    const std::vector<ApplSpec> euro = {{"Local", {R("x", "5\xE2\x82\xAC")}, 0, 1, "me", 9}};
    const std::vector<ApplSpec> control = {{"Local", {R("x", "a&#x1b;")}, 0, 1, "me", 9}};
    const struct {
        const char *what;
        std::string content;
        const char *message;
        std::vector<std::string> names;
    } cases[] = {
        {"a character beyond U+00FF in the C locale",
         Replaced(DocXml(euro, 5), "encoding=\"ISO-8859-1\"", "encoding=\"UTF-8\""),
         "Character U+20AC at line",
         {"Local"}},
        {"a control character",
         Replaced(DocXml(control, 5), "version=\"1.0\"", "version=\"1.1\""),
         "Character U+001B at line",
         {"Local"}},
        {"a root other than AED",
         "<?xml version=\"1.0\"?><!DOCTYPE Foo [<!ELEMENT Foo ANY>]><Foo/>",
         "The root element of file",
         {}},
    };
    const std::string installDoc = DocXml(InstallAppls(), 6);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        WriteInstallation(installDoc);
        WriteScript(c.content);
        Init();
        EXPECT_EQ(LoadScript(), OSTAK_E_INVALID_DOCUMENT);
        const std::vector<ostak_test::LogRecord> messages = MessagesBeyondTrace();
        ASSERT_EQ(messages.size(), 1u) << "the refusal, heard once";
        EXPECT_EQ(messages[0].number, kMsgText);
        EXPECT_EQ(messages[0].text.rfind(c.message, 0), 0u) << messages[0].text;
        EXPECT_EQ(ReadFile(ScriptPath()), c.content) << "not written";
        EXPECT_EQ(ReadFile(InstallationPath()), installDoc);
        EXPECT_EQ(ApplNames(Snap(Script().Applications())), c.names)
            << "what the file held, nothing taken over";
        EXPECT_TRUE(ScriptedConf::Questions().empty());
        EXPECT_TRUE(ScriptedMerge::Calls().empty());
        xfeOstakFileInMemDestroy(&script_);
        ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    }
}

TEST_F(SyncLoad, KindsOtherThanOneAreNotKeptInStep) {
    WriteInstallation(DocXml(InstallAppls(), 6));
    const std::string scriptDoc = DocXml(ScriptAppls(), 5);
    WriteScript(scriptDoc);
    Init();
    for (uint32_t kind : {0u, 2u, 3u}) {
        OstakFileInMemHandle *file = nullptr;
        OstakListApplHandle *list = nullptr;
        const std::string path = ScriptPath();
        ASSERT_EQ(
            xfeOstakFileInMemCreate(kind, path.c_str(), static_cast<uint32_t>(path.size()), &file, &list), 0);
        EXPECT_EQ(xfeOstakLoad(file), 0);
        EXPECT_TRUE(ScriptedConf::Questions().empty());
        EXPECT_EQ(Snap(*FromHandle(file)), Loaded(ScriptAppls(), 5));
        xfeOstakFileInMemDestroy(&file);
    }
    EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc);
}

// ---- allocation failures anywhere in the load ----

// Every allocation of a load fails in turn. A failure leaves the script's
// file exactly as it was (a take-over never writes a partial list); the
// result is that of the script's own parse (7 or 23), 7 for the copy of a
// take-over, or the wrapped code of the step that failed, after the inner
// step's message and never the wrapped code's own.
class SyncLoadSweep : public SyncTest {
  protected:
    void Sweep(const std::string &scriptDoc, int32_t confAnswer, const std::vector<int32_t> &allowed,
               const ListSnap &asLoaded) {
        WriteInstallation(DocXml(InstallAppls(), 6));
        WriteScript(scriptDoc);
        Init();
        ScriptedConf::Answer() = confAnswer;
        int failures = 0;
        for (uint64_t n = 1;; ++n) {
            ASSERT_LT(n, 5000u) << "the load never succeeded";
            WriteScript(scriptDoc);
            ScriptedMerge::Reset(AnswerKeepAll);
            const int64_t live = LiveAllocations();
            const std::string path = ScriptPath();
            OstakListApplHandle *list = nullptr;
            ASSERT_EQ(
                xfeOstakFileInMemCreate(1, path.c_str(), static_cast<uint32_t>(path.size()), &script_, &list),
                0);
            ostak_test::Log().clear();
            Seams().failAllocationAt = n;
            const int32_t rc = xfeOstakLoad(script_);
            Seams().failAllocationAt = 0;
            const std::string what =
                "allocation " + std::to_string(n) + " failing, result " + std::to_string(rc);
            if (rc == 0) {
                EXPECT_NE(ReadFile(ScriptPath()), scriptDoc) << what;
                xfeOstakFileInMemDestroy(&script_);
                break;
            }
            ++failures;
            ++seen_[rc];
            if (rc == OSTAK_E_NO_MEMORY && !MessagesBeyondTrace().empty() &&
                MessagesBeyondTrace().back().func == "xfeOstakIssueMsgByRc") {
                ++copyFailures_;
                EXPECT_EQ(Snap(Script().Applications()), asLoaded)
                    << what << ": the script keeps the list it loaded";
            }
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), rc), allowed.end()) << what;
            EXPECT_EQ(ReadFile(ScriptPath()), scriptDoc) << what;
            const std::vector<ostak_test::LogRecord> messages = MessagesBeyondTrace();
            EXPECT_EQ(messages.size(), 1u) << what << ": the failure is reported once";
            for (const ostak_test::LogRecord &m : messages) {
                EXPECT_NE(m.number, -32565) << what;
                EXPECT_NE(m.number, -32561) << what;
                EXPECT_NE(m.number, -32559) << what;
                EXPECT_NE(m.number, -32556) << what;
            }
            if (rc == OSTAK_E_MERGE) {
                EXPECT_EQ(Snap(Script().Applications()), asLoaded)
                    << what << ": the merge left the script as loaded";
            }
            if (rc == OSTAK_E_NO_MEMORY && asLoaded.empty()) {
                EXPECT_TRUE(Script().Applications().Empty()) << what;
            }
            xfeOstakFileInMemDestroy(&script_);
            EXPECT_EQ(LiveAllocations(), live) << what << ": leaked";
        }
        EXPECT_GT(failures, 20);
    }
    std::map<int32_t, int> seen_;
    int copyFailures_ = 0; // 7 issued by code: the copy of a take-over
};

TEST_F(SyncLoadSweep, TakeOver) {
    Sweep(DocXml({}, 0, false, "7.5"), 0,
          {OSTAK_E_NO_MEMORY, OSTAK_E_INVALID_DOCUMENT, OSTAK_E_INSTALLATION_LOAD, OSTAK_E_TAKEOVER_SAVE},
          {});
    EXPECT_GT(copyFailures_, 5) << "every allocation of the copy of the installation's list";
    EXPECT_GT(seen_[OSTAK_E_INSTALLATION_LOAD], 0);
    EXPECT_GT(seen_[OSTAK_E_TAKEOVER_SAVE], 0);
}

TEST_F(SyncLoadSweep, TakeOverOfALoadedList) {
    // Number 5 and not saved: the installation's list replaces the loaded one.
    Sweep(DocXml(ScriptAppls(), 5), 0,
          {OSTAK_E_NO_MEMORY, OSTAK_E_INVALID_DOCUMENT, OSTAK_E_INSTALLATION_LOAD, OSTAK_E_TAKEOVER_SAVE},
          Loaded(ScriptAppls(), 5).appls);
    EXPECT_GT(copyFailures_, 5) << "every allocation of the copy of the installation's list";
    EXPECT_GT(seen_[OSTAK_E_TAKEOVER_SAVE], 0);
}

TEST_F(SyncLoadSweep, Merge) {
    Sweep(DocXml(ScriptAppls(), 5, true), 2,
          {OSTAK_E_NO_MEMORY, OSTAK_E_INVALID_DOCUMENT, OSTAK_E_INSTALLATION_LOAD, OSTAK_E_MERGE,
           OSTAK_E_MERGE_SAVE},
          Loaded(ScriptAppls(), 5).appls);
    EXPECT_GT(seen_[OSTAK_E_INSTALLATION_LOAD], 0);
    EXPECT_GT(seen_[OSTAK_E_MERGE], 0);
    EXPECT_GT(seen_[OSTAK_E_MERGE_SAVE], 0);
}

} // namespace
