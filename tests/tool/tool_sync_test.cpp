// ostak sync, end to end: a script's rule file (version 2, saved) against the
// example installation file (version 3) under the workspace's dat/.
#include "tests/tool/tool_support.h"

#include <filesystem>

using namespace tool_test;

namespace {

constexpr const char *kScript = "scripts/nightly.xml";

class ToolSync : public ToolTest {
  protected:
    RunResult Sync(std::vector<std::string> more, const std::string &input = "") {
        std::vector<std::string> args = {"sync", "--root", ".", kScript};
        args.insert(args.end(), more.begin(), more.end());
        return Run(args, input);
    }
};

TEST_F(ToolSync, YesMergesTheInstallationFileInAndSaves) {
    const RunResult result = Sync({"--yes", "--prefer", "source"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "scripts/nightly.xml: merged the changes of ./dat/OstakInstallation.xml (3 decisions)\n");
    const std::string written = ws_.Read(kScript);
    EXPECT_NE(written.find("<AED TqVersion=\"7.6\" FileVersionInstallation=\"3\" Saved=\"true\">"),
              std::string::npos);
    const JsonValue doc = ShowJson(kScript);
    EXPECT_FALSE(Application(doc, "Backup")["enabled"].AsBool()) << "new applications arrive disabled";
    EXPECT_EQ(Rule(doc, "Compile", "Warning")["suffix"].AsString(), " [-Wextra]");
    EXPECT_NE(FindRule(doc, "Deploy", "Retry"), nullptr) << "the script's own rule stays";
    EXPECT_NE(FindApplication(doc, "Reports"), nullptr);
    // In step now: nothing more to do.
    const RunResult again = Sync({"--yes"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, "scripts/nightly.xml: unchanged (in step with ./dat/OstakInstallation.xml)\n");
    EXPECT_EQ(ws_.Read(kScript), written);
}

TEST_F(ToolSync, NoOrCancelLeavesTheFileAsItWas) {
    const std::string before = ws_.Read(kScript);
    struct Case {
        std::vector<std::string> args;
        const char *input;
        int exitCode;
        const char *out;
        const char *err;
    };
    const std::vector<Case> cases = {
        {{"--no"},
         "",
         0,
         "scripts/nightly.xml: unchanged (the installation file's changes were not merged in)\n",
         ""},
        {{},
         "",
         2,
         "scripts/nightly.xml: unchanged (the installation file's changes were not merged in)\n",
         "ostak: error: the installation file has changed since scripts/nightly.xml took it in: give --yes "
         "to merge "
         "its "
         "changes in, or --no\n"},
        {{"--yes", "--interactive"},
         "c\n",
         2,
         "cancelled (nothing written)",
         "scripts/nightly.xml: error: The merge was cancelled [-32583]\n"},
        {{"--yes"},
         "",
         2,
         "scripts/nightly.xml: cancelled (nothing written)\n",
         "ostak: error: a rule needs a decision"},
        {{"--interactive"}, "maybe\nn\n", 0, "Merge its changes in? [y/n]\n> maybe\n", ""},
    };
    for (const Case &c : cases) {
        const RunResult result = Sync(c.args, c.input);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.out;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(ws_.Read(kScript), before) << c.out;
    }
}

TEST_F(ToolSync, InteractiveConfirmationAndDecisions) {
    const RunResult result = Sync({"--interactive"}, "y\nt\nt\nb\n");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(
                  "Merge its changes in? [y/n]\n> y\nApplication \"Compile\", rule \"Warning\" differs:"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find(
                  "scripts/nightly.xml: merged the changes of ./dat/OstakInstallation.xml (3 decisions)"),
              std::string::npos);
    const JsonValue doc = ShowJson(kScript);
    EXPECT_EQ(Rule(doc, "Deploy", "Rule_2")["level"].AsString(), "disabled");
    EXPECT_EQ(Rule(doc, "Deploy", "Rule_3")["level"].AsString(), "error");
}

TEST_F(ToolSync, AMissingScriptFileTakesTheInstallationFileOver) {
    std::filesystem::remove(ws_.File(kScript));
    const RunResult result = Sync({});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "scripts/nightly.xml: taken over from ./dat/OstakInstallation.xml\n");
    const JsonValue doc = ShowJson(kScript);
    EXPECT_EQ(Names(doc["applications"]), (std::vector<std::string>{"Backup", "Compile", "Deploy", "Mail"}));
    EXPECT_FALSE(doc["saved"].AsBool());
    EXPECT_NE(ws_.Read(kScript).find("FileVersionInstallation=\"3\">"), std::string::npos);
}

TEST_F(ToolSync, FailuresSayWhatFailed) {
    std::filesystem::remove(ws_.File("dat/OstakInstallation.xml"));
    RunResult result = Sync({"--yes"});
    EXPECT_EQ(result.exitCode, 2);
    // The missing installation file is named, not the script's file that needs it.
    EXPECT_EQ(result.err, "./dat/OstakInstallation.xml: error: The file does not exist [-32571]\n"
                          "./dat/OstakInstallation.xml: error: the installation file could not be loaded; "
                          "scripts/nightly.xml is left as it is\n");
    ws_.Write(kScript, "<AED/>");
    result = Sync({"--yes"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("scripts/nightly.xml: error: not loaded\n"), std::string::npos) << result.err;
    result = Run({"sync", "--root", ".", "scripts"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "scripts: error: not a regular file\n");
}

} // namespace
