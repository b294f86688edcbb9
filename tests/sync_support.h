// Helpers shared by the tests of keeping a script's rule file in step with
// the installation file: a root folder of its own (with the shipped document
// type file and catalogue, and an installation file the test writes), the
// library initialised over it, rule-file documents written in the exact
// layout of the saver, and a scripted configuration callback.
#pragma once

#include "3-model/OstakFileInMem.h"
#include "2-core/OstakGlobals.h"
#include "tests/loadsave_support.h"
#include "tests/merge_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace sync_test {

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline bool Exists(const std::string &path) {
    return std::filesystem::exists(path);
}

// The shipped document type file: the head of every saved rule file.
inline std::string Head() {
    return ReadFile(ostak_test::SourceRoot() + "/dat/OstakDtd.xml");
}

// ---- documents in the layout the saver writes ----

inline std::string TextElement(const char *name, const std::string &value) {
    return value.empty() ? "" : "\t\t\t<" + std::string(name) + ">" + value + "</" + name + ">\r\n";
}

inline std::string RuleXml(const merge_test::RuleSpec &r) {
    auto flag = [](uint8_t value) { return std::string(value != 0 ? "true" : "false"); };
    std::string out = "\t\t<Rule Name=\"" + r.name + "\" FailIfNotFound=\"" + flag(r.failIfNotFound) +
                      "\" MatchCase=\"" + flag(r.matchCase) + "\" UseText=\"" + flag(r.useText) + "\"";
    if (r.type == 1) {
        out += " Type=\"alert\"";
    }
    out += std::string(" Level=\"") + (r.level == 0 ? "disabled" : "error") + "\">\r\n";
    out += TextElement("Text", r.text) + TextElement("Prefix", r.prefix) + TextElement("Suffix", r.suffix);
    return out + "\t\t</Rule>\r\n";
}

inline std::string ApplXml(const merge_test::ApplSpec &a) {
    std::string out = "\t<Application Name=\"" + a.name + "\" Enabled=\"" + (a.enabled ? "true" : "false") +
                      "\" StampTime=\"" + std::to_string(a.time) + "\" StampHost=\"" + a.host + "\">\r\n";
    for (const merge_test::RuleSpec &r : a.rules) {
        out += RuleXml(r);
    }
    return out + "\t</Application>\r\n";
}

// A whole document: the head, then AED with its attributes and the applications.
inline std::string DocXml(const std::vector<merge_test::ApplSpec> &appls, int32_t installationVersion,
                          bool saved = false, const std::string &version = "7.6") {
    std::string out = Head() + "<AED TqVersion=\"" + version + "\"";
    if (installationVersion != 0) {
        out += " FileVersionInstallation=\"" + std::to_string(installationVersion) + "\"";
    }
    if (saved) {
        out += " Saved=\"true\"";
    }
    out += ">\r\n";
    for (const merge_test::ApplSpec &a : appls) {
        out += ApplXml(a);
    }
    return out + "</AED>\r\n";
}

// ---- the configuration callback ----

struct ScriptedConf {
    static int32_t &Answer() {
        static int32_t answer = 0;
        return answer;
    }
    static std::vector<int32_t> &Questions() {
        static std::vector<int32_t> questions;
        return questions;
    }
    static int32_t Callback(int32_t question) {
        Questions().push_back(question);
        return Answer();
    }
};

// Initialised in full mode over a root folder of its own; the script's rule
// file is script.xml in a second folder.
class SyncTest : public ostak_test::OstakTest {
  protected:
    void SetUp() override {
        OstakTest::SetUp();
        std::filesystem::create_directory(root_.File("dat"));
        for (const char *name : {"OstakDtd.xml", "Ostak_res"}) {
            std::filesystem::copy_file(ostak_test::SourceRoot() + "/dat/" + name, root_.File("dat/") + name);
        }
        ScriptedConf::Answer() = 0;
        ScriptedConf::Questions().clear();
        merge_test::ScriptedMerge::Reset(merge_test::AnswerKeepAll);
        ostak::Seams().hostNameOverride = true;
        ostak::Seams().hostName = merge_test::kHost;
    }
    void TearDown() override {
        if (script_ != nullptr) {
            EXPECT_EQ(xfeOstakFileInMemDestroy(&script_), 0);
        }
        merge_test::ScriptedMerge::Reset(nullptr);
        OstakTest::TearDown();
    }

    // Initialises the library (after the files are in place: initialisation looks at the script's file).
    void Init() {
        const std::string root = root_.path();
        const std::string dir = scripts_.path();
        const char name[] = "script.xml";
        ASSERT_EQ(xfeOstakGlobalInit(0, ostak_test::RecordLog, merge_test::ScriptedMerge::Callback,
                                     ScriptedConf::Callback, root.c_str(), static_cast<uint32_t>(root.size()),
                                     dir.c_str(), static_cast<uint32_t>(dir.size()), name,
                                     static_cast<uint32_t>(sizeof name - 1), 0),
                  0);
        ostak_test::Log().clear();
    }

    std::string InstallationPath() const { return root_.File("dat/OstakInstallation.xml"); }
    std::string ScriptPath() const { return scripts_.File("script.xml"); }
    void WriteInstallation(const std::string &content) const {
        root_.Write("dat/OstakInstallation.xml", content);
    }
    void WriteScript(const std::string &content) const { scripts_.Write("script.xml", content); }

    // Creates the script's rule-file object (kind 1) and loads it through the export.
    int32_t LoadScript() {
        if (script_ != nullptr) {
            xfeOstakFileInMemDestroy(&script_);
        }
        const std::string path = ScriptPath();
        OstakListApplHandle *list = nullptr;
        EXPECT_EQ(
            xfeOstakFileInMemCreate(1, path.c_str(), static_cast<uint32_t>(path.size()), &script_, &list), 0);
        ostak_test::Log().clear();
        return xfeOstakLoad(script_);
    }

    ostak::OstakFileInMem &Script() const { return *ostak::FromHandle(script_); }

    // The log records other than the loader's trace lines.
    static std::vector<ostak_test::LogRecord> Messages() {
        std::vector<ostak_test::LogRecord> kept;
        for (const ostak_test::LogRecord &record : ostak_test::Log()) {
            if (!(record.number == 0 && record.level == ostak::kLevelTrace)) {
                kept.push_back(record);
            }
        }
        return kept;
    }

    // Asserts that the one message beyond the trace lines is the one of
    // result code `rc` (catalogue number `number`).
    static void ExpectOnlyCodeMessage(int32_t number) {
        const std::vector<ostak_test::LogRecord> messages = Messages();
        ASSERT_EQ(messages.size(), 1u) << "expected only message " << number;
        EXPECT_EQ(messages[0].number, number);
        EXPECT_EQ(messages[0].func, "xfeOstakIssueMsgByRc");
        EXPECT_EQ(messages[0].line, ostak::kLineIssueByRcCatalogue);
        EXPECT_EQ(messages[0].level, ostak::kLevelError);
    }

    // Asserts that the one message beyond the trace lines is the inner step's
    // own: its number, function name and level, and a line that is the
    // statement of `sourceFile` naming `token`.
    static void ExpectOnlyInnerMessage(int32_t number, const char *func, int32_t level,
                                       const char *sourceFile, const char *token) {
        const std::vector<ostak_test::LogRecord> messages = Messages();
        ASSERT_EQ(messages.size(), 1u) << "expected only message " << number;
        EXPECT_EQ(messages[0].number, number);
        EXPECT_EQ(messages[0].func, func);
        EXPECT_EQ(messages[0].level, level);
        EXPECT_NE(loadsave_test::SourceLine(sourceFile, messages[0].line).find(token), std::string::npos)
            << sourceFile << ":" << messages[0].line << " does not issue " << token;
    }

    ostak_test::TempDir root_;
    ostak_test::TempDir scripts_;
    OstakFileInMemHandle *script_ = nullptr;
};

} // namespace sync_test
