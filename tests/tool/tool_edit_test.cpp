// ostak new, app and rule, end to end: a rule file built from nothing and
// then checked, shown, compared and merged; every refusal with its message;
// a script's rule file kept one; a locked file or one changed meanwhile
// never written over.
#include "tests/tool/tool_support.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <regex>
#include <thread>

using namespace tool_test;

namespace {

constexpr const char *kScript = "scripts/nightly.xml";

class ToolEdit : public ToolTest {
  protected:
    // Runs each command, expecting exit 0 and its one summary line.
    void RunSteps(const std::vector<std::pair<std::vector<std::string>, std::string>> &steps) {
        for (const auto &[args, summary] : steps) {
            const RunResult result = Run(args);
            EXPECT_EQ(result.exitCode, 0) << args[0] << " " << args[1] << "\n" << result.err;
            EXPECT_EQ(result.out, summary + "\n");
        }
    }

    // The file with every StampTime written as T and every StampHost as H.
    std::string Normalised(const std::string &name) const {
        const std::string text = ws_.Read(name);
        return std::regex_replace(text, std::regex("StampTime=\"[0-9]+\" StampHost=\"[^\"]*\""),
                                  "StampTime=\"T\" StampHost=\"H\"");
    }

    static std::size_t Count(const std::string &text, const std::string &part) {
        std::size_t count = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }
};

TEST_F(ToolEdit, AFileBuiltFromNothingIsCheckedShownDiffedAndMerged) {
    const auto start = static_cast<int64_t>(std::time(nullptr));
    RunSteps({
        {{"new", "a.xml", "Mail", "Build"}, "a.xml: new rule file with 2 applications"},
        {{"rule", "add", "a.xml", "Mail", "Send", "--text", "send&fail", "--alert"},
         "a.xml: added rule Mail/Send"},
        {{"rule", "add", "a.xml", "Mail", "Wrap", "--prefix", "<< ", "--suffix", " >>", "--any-case",
          "--fail-if-not-found", "--disabled"},
         "a.xml: added rule Mail/Wrap"},
        {{"rule", "set", "a.xml", "Mail", "Send", "--any-case", "--std", "--text", "sent"},
         "a.xml: changed rule Mail/Send (text, matchCase, type)"},
        {{"rule", "add", "a.xml", "Build", "Warn", "--text", "warning:"}, "a.xml: added rule Build/Warn"},
        {{"rule", "rename", "a.xml", "Build", "Warn", "Warning"},
         "a.xml: renamed rule Build/Warn to Warning"},
        {{"rule", "disable", "a.xml", "Build", "Warning"}, "a.xml: disabled rule Build/Warning"},
        {{"app", "rename", "a.xml", "Build", "Compile"}, "a.xml: renamed application Build to Compile"},
        {{"app", "disable", "a.xml", "Compile"}, "a.xml: disabled application Compile"},
        {{"app", "add", "a.xml", "Tmp", "--disabled"}, "a.xml: added application Tmp (disabled)"},
        {{"rule", "add", "a.xml", "Tmp", "Gone", "--text", "x"}, "a.xml: added rule Tmp/Gone"},
        {{"app", "rm", "a.xml", "Tmp"}, "a.xml: removed application Tmp with its 1 rule"},
        {{"app", "enable", "a.xml", "Mail"}, "a.xml: application Mail is enabled already; not rewritten"},
        {{"rule", "enable", "a.xml", "Mail", "Send"}, "a.xml: rule Mail/Send is so already; not rewritten"},
    });
    EXPECT_EQ(
        Normalised("a.xml"),
        Document("<AED TqVersion=\"7.6\">\r\n"
                 "\t<Application Name=\"Compile\" Enabled=\"false\" StampTime=\"T\" StampHost=\"H\">\r\n"
                 "\t\t<Rule Name=\"Warning\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
                 "Level=\"disabled\">\r\n"
                 "\t\t\t<Text>warning:</Text>\r\n"
                 "\t\t</Rule>\r\n"
                 "\t</Application>\r\n"
                 "\t<Application Name=\"Mail\" Enabled=\"true\" StampTime=\"T\" StampHost=\"H\">\r\n"
                 "\t\t<Rule Name=\"Send\" FailIfNotFound=\"false\" MatchCase=\"false\" UseText=\"true\" "
                 "Level=\"error\">\r\n"
                 "\t\t\t<Text>sent</Text>\r\n"
                 "\t\t</Rule>\r\n"
                 "\t\t<Rule Name=\"Wrap\" FailIfNotFound=\"true\" MatchCase=\"false\" UseText=\"false\" "
                 "Level=\"disabled\">\r\n"
                 "\t\t\t<Prefix>&lt;&lt; </Prefix>\r\n"
                 "\t\t\t<Suffix> &gt;&gt;</Suffix>\r\n"
                 "\t\t</Rule>\r\n"
                 "\t</Application>\r\n"
                 "</AED>\r\n"));

    const RunResult check = Run({"check", "a.xml"});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    // Both stamps are this run's, in JSON and in the tree.
    const JsonValue doc = ShowJson("a.xml");
    for (const char *name : {"Compile", "Mail"}) {
        const JsonValue &stamp = Application(doc, name)["stamp"];
        EXPECT_EQ(stamp.Keys(), (std::vector<std::string>{"host", "time", "seconds"}));
        EXPECT_FALSE(stamp["host"].AsString().empty());
        EXPECT_GE(stamp["seconds"].AsNumber(), start);
        EXPECT_LE(stamp["seconds"].AsNumber(), static_cast<double>(std::time(nullptr)));
        EXPECT_TRUE(
            std::regex_match(stamp["time"].AsString(),
                             std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-6][0-9]"
                                        "[+-][0-9]{2}:[0-9]{2}")))
            << stamp["time"].AsString();
        EXPECT_NE(Run({"show", "a.xml"})
                      .out.find(std::string("  ") + name + " (" +
                                (name[0] == 'M' ? "enabled, 2 rules" : "disabled, 1 rule") + ", stamped " +
                                stamp["time"].AsString() + " on " + stamp["host"].AsString() + ")\n"),
                  std::string::npos);
    }

    // A copy changed by one rule differs in that rule; merged back, the change arrives.
    ws_.Write("b.xml", ws_.Read("a.xml"));
    RunSteps({{{"rule", "set", "b.xml", "Mail", "Send", "--text", "bounced"},
               "b.xml: changed rule Mail/Send (text)"}});
    const RunResult diff = Run({"diff", "--json", "b.xml", "a.xml"});
    EXPECT_EQ(diff.exitCode, 1) << diff.err;
    const JsonValue differences = JsonValue::Parse(diff.out);
    EXPECT_EQ(Application(differences, "Compile")["status"].AsString(), "same-rules");
    EXPECT_EQ(Application(differences, "Mail")["status"].AsString(), "changed");
    EXPECT_EQ(Names(Application(differences, "Mail")["rules"]), (std::vector<std::string>{"Send"}));
    const RunResult merged = Run({"merge", "b.xml", "a.xml", "--app", "Mail", "--prefer", "source"});
    EXPECT_EQ(merged.exitCode, 0) << merged.err;
    EXPECT_EQ(Rule(ShowJson("a.xml"), "Mail", "Send")["text"].AsString(), "bounced");
    EXPECT_EQ(Run({"diff", "b.xml", "a.xml"}).exitCode, 0);
}

TEST_F(ToolEdit, EveryRefusalNamesItsCauseOnceAndWritesNothing) {
    RunSteps({{{"new", "a.xml", "Mail", "Build"}, "a.xml: new rule file with 2 applications"},
              {{"new", "one.xml", "Only"}, "one.xml: new rule file with 1 application"},
              {{"rule", "add", "a.xml", "Mail", "Send", "--text", "sent"}, "a.xml: added rule Mail/Send"}});
    ws_.Write("broken.xml", Document("<AED TqVersion=\"7.6\">\r\n<Application Name=\"a b\"/></AED>\r\n"));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        // Refused by the library.
        {{"app", "add", "a.xml", "Bad name"}, "A name is empty or holds a character outside"},
        {{"app", "rename", "a.xml", "Build", "Mail"}, "An element of that name is already in the list"},
        {{"new", "c.xml", "A", "A"}, "An element of that name is already in the list"},
        {{"rule", "add", "a.xml", "Mail", "Tab", "--text", "a\tb"},
         "holds a line feed, carriage return or tab"},
        {{"rule", "set", "a.xml", "Mail", "Send", "--text", ""},
         "A rule that uses its text has an empty Text"},
        {{"rule", "set", "a.xml", "Mail", "Send", "--suffix", "x"},
         "uses prefix and suffix has an empty Prefix"},
        {{"rule", "add", "a.xml", "Mail", "Half", "--prefix", "x"},
         "uses prefix and suffix has an empty Suffix"},
        // Refused by the tool: what is not there, what would remove or overwrite a file.
        {{"rule", "add", "a.xml", "Nope", "R", "--text", "x"},
         "a.xml: error: no application \"Nope\"; nothing written"},
        {{"rule", "rm", "a.xml", "Mail", "Nope"},
         "application \"Mail\" has no rule \"Nope\"; nothing written"},
        {{"app", "rm", "one.xml", "Only"},
         "Only is its last application, and the library removes a rule file"},
        {{"new", "a.xml", "Other"}, "a.xml: error: already exists; not overwritten"},
        {{"new", "nofolder/c.xml", "A"}, "nofolder/c.xml: error: no such folder nofolder"},
        {{"app", "add", "absent.xml", "A"}, "absent.xml: error: cannot read it: No such file or directory"},
        {{"app", "add", "broken.xml", "A"}, "broken.xml: error: does not load as a rule file; nothing written"},
        {{"app", "add", kScript, "A"},
         "edited as one so that it stays one, which needs the installation file"},
        // Errors of use.
        {{"new", "c.xml"}, "expected FILE and at least one APP"},
        {{"app", "move", "a.xml", "Mail"}, "expected an action: add, rm, rename, enable or disable"},
        {{"app", "rename", "a.xml", "Mail"}, "expected rename FILE APP NEWNAME"},
        {{"app", "rm", "a.xml", "Mail", "--disabled"}, "--disabled goes with add only"},
        {{"rule", "add", "a.xml", "Mail", "R"}, "rule add needs --text T, or --prefix P and --suffix S"},
        {{"rule", "add", "a.xml", "Mail", "R", "--text", "t", "--prefix", "p"},
         "--text and --prefix/--suffix exclude"},
        {{"rule", "set", "a.xml", "Mail", "Send"}, "rule set needs at least one value to set"},
        {{"rule", "set", "a.xml", "Mail", "Send", "--any-case", "--match-case"},
         "--match-case and --any-case exclude"},
        {{"rule", "rm", "a.xml", "Mail", "Send", "--alert"}, "the value options go with add and set only"},
        {{"rule", "copy", "a.xml", "Mail", "Send"},
         "expected an action: add, set, rm, rename, enable or disable"},
    };
    const std::string a = ws_.Read("a.xml"), one = ws_.Read("one.xml"), script = ws_.Read(kScript);
    for (const Case &c : cases) {
        const RunResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_EQ(Count(result.err, c.message), 1u) << result.err;
        EXPECT_EQ(result.out, "") << c.message;
    }
    EXPECT_EQ(ws_.Read("a.xml"), a);
    EXPECT_EQ(ws_.Read("one.xml"), one);
    EXPECT_EQ(ws_.Read(kScript), script);
    EXPECT_FALSE(ws_.Exists("c.xml"));
}

TEST_F(ToolEdit, AScriptsRuleFileStaysOneAndOnlyTheChangedApplicationIsStampedAnew) {
    const std::string before = ws_.Read(kScript);
    const RunResult result =
        Run({"--root", ".", "rule", "set", kScript, "Deploy", "Rule_1", "--text", "refused"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "scripts/nightly.xml: changed rule Deploy/Rule_1 (text)\n");
    // Mark and installation-file version kept; Deploy's stamp renewed, nothing else changed.
    const std::string after = ws_.Read(kScript);
    const std::regex deployStamp("(<Application Name=\"Deploy\" Enabled=\"true\" StampTime=\")[0-9]+");
    std::string expected = std::regex_replace(before, deployStamp, "$1NOW");
    expected.replace(expected.find("Connection refused by peer"), 26, "refused");
    EXPECT_EQ(std::regex_replace(after, deployStamp, "$1NOW"), expected);
    EXPECT_NE(after.find("<AED TqVersion=\"7.6\" FileVersionInstallation=\"2\" Saved=\"true\">"),
              std::string::npos);
    EXPECT_NE(after, before);
    std::smatch stamp;
    ASSERT_TRUE(
        std::regex_search(after, stamp, std::regex("Name=\"Deploy\" Enabled=\"true\" StampTime=\"([0-9]+)")));
    EXPECT_GE(std::stoll(stamp[1]), static_cast<long long>(std::time(nullptr)) - 60);
    EXPECT_TRUE(ShowJson(kScript)["saved"].AsBool());
}

TEST_F(ToolEdit, ALockedFileOrOneChangedMeanwhileIsNotWrittenOver) {
    RunSteps({{{"new", "t.xml", "Mail"}, "t.xml: new rule file with 1 application"}});
    RunOptions options;
    options.cwd = ws_.path();
    {
        // An interactive merge waiting at its prompt holds the file's lock.
        ws_.Write("s.xml", ws_.Read("t.xml"));
        RunSteps({{{"rule", "add", "s.xml", "Mail", "R", "--text", "s"}, "s.xml: added rule Mail/R"},
                  {{"rule", "add", "t.xml", "Mail", "R", "--text", "t"}, "t.xml: added rule Mail/R"}});
        RunningProgram holder(ToolPath(), {"merge", "s.xml", "t.xml", "--all", "--interactive"}, options,
                              true);
        ASSERT_TRUE(holder.WaitForOutput("> ", 10)) << holder.OutSoFar();
        const std::string held = ws_.Read("t.xml");
        const RunResult locked = Run({"--wait", "0.2", "app", "add", "t.xml", "Other"});
        EXPECT_EQ(locked.exitCode, 2);
        EXPECT_EQ(Count(locked.err, "t.xml: error: not written (another process is writing it"), 1u) << locked.err;
        EXPECT_EQ(ws_.Read("t.xml"), held);
    }
    // A large file loads long enough for an editor (which takes no lock) to write it meanwhile.
    std::string body = "<AED TqVersion=\"7.6\">\r\n";
    for (int i = 0; i < 100000; ++i) {
        body += "<Application Name=\"A" + std::to_string(i) +
                "\" Enabled=\"true\"><Rule Name=\"R\"><Text>t</Text>"
                "</Rule></Application>\r\n";
    }
    ws_.Write("big.xml", Document(body + "</AED>\r\n"));
    RunningProgram edit(ToolPath(), {"rule", "set", "big.xml", "A0", "R", "--text", "u"}, options);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ws_.Exists(".big.xml.lock") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string edited = ws_.Read("big.xml") + "\r\n";
    ws_.Write("big.new", edited); // saved as an editor saves: a new file renamed over the old
    std::filesystem::rename(ws_.File("big.new"), ws_.File("big.xml"));
    const RunResult result = edit.Wait();
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(Count(result.err, "big.xml: error: changed meanwhile (since it was loaded); nothing written"), 1u)
        << result.err;
    EXPECT_EQ(ws_.Read("big.xml"), edited);
}

} // namespace
