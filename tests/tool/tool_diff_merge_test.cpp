// ostak diff and merge, end to end, over the examples: an installation file
// (version 3) and a script's rule file that took version 2 over and was edited.
#include "tests/tool/tool_support.h"

#include <algorithm>

using namespace tool_test;

namespace {

constexpr const char *kInstallation = "dat/OstakInstallation.xml";
constexpr const char *kScript = "scripts/nightly.xml";

class ToolDiff : public ToolTest {};

class ToolMerge : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        WritePlainTarget();
    }
    // target.xml: the script's rules as a plain file (without the Saved mark, so merged into as plain).
    void WritePlainTarget() {
        std::string plain = ws_.Read(kScript);
        plain.replace(plain.find(" Saved=\"true\""), 13, "");
        ws_.Write("target.xml", plain);
    }
    std::string Text(const JsonValue &doc, const char *appl, const char *rule, const char *field = "text") {
        const JsonValue *found = FindRule(doc, appl, rule);
        return found == nullptr ? "(none)" : (*found)[field].AsString();
    }
};

TEST_F(ToolDiff, JsonNamesEveryDifferenceOfTheExamples) {
    const RunResult result = Run({"diff", "--json", kInstallation, kScript});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const JsonValue doc = JsonValue::Parse(result.out);
    EXPECT_EQ(doc.Keys(), (std::vector<std::string>{"format", "version", "source", "other", "differences",
                                                    "applications"}));
    EXPECT_EQ(doc["format"].AsString(), "ostak-diff");
    EXPECT_EQ(doc["source"]["file"].AsString(), kInstallation);
    EXPECT_EQ(doc["other"]["kind"].AsString(), "plain");
    EXPECT_TRUE(doc["differences"].AsBool());

    std::vector<std::string> statuses;
    for (const JsonValue &appl : doc["applications"].AsArray()) {
        statuses.push_back(appl["name"].AsString() + ":" + appl["status"].AsString());
        EXPECT_EQ(appl.Keys(),
                  (std::vector<std::string>{"name", "status", "sourceEnabled", "otherEnabled", "rules"}));
    }
    EXPECT_EQ(statuses,
              (std::vector<std::string>{"Backup:only-in-source", "Compile:changed", "Deploy:changed",
                                        "Mail:same-rules", "Reports:only-in-other"}));
    const JsonValue &backup = Application(doc, "Backup");
    EXPECT_TRUE(backup["sourceEnabled"].AsBool());
    EXPECT_TRUE(backup["otherEnabled"].IsNull());
    EXPECT_TRUE(backup["rules"].AsArray().empty());

    std::vector<std::string> rules;
    for (const char *name : {"Compile", "Deploy"}) {
        for (const JsonValue &rule : Application(doc, name)["rules"].AsArray()) {
            std::string line =
                std::string(name) + "/" + rule["name"].AsString() + ":" + rule["status"].AsString();
            for (const JsonValue &field : rule["fields"].AsArray()) {
                line += " " + field.AsString();
            }
            rules.push_back(line);
        }
    }
    EXPECT_EQ(rules, (std::vector<std::string>{"Compile/Warning:differs suffix", "Deploy/Retry:only-in-other",
                                               "Deploy/Rule_1:differs text", "Deploy/Rule_2:differs level"}));
}

TEST_F(ToolDiff, TextAndExitStatusLikeDiff) {
    const RunResult result = Run({"diff", kInstallation, kScript});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "source: dat/OstakInstallation.xml (plain)\n"
                          "other:  scripts/nightly.xml (plain)\n"
                          "  Backup   only in source\n"
                          "  Compile  changed\n"
                          "    rule Warning: differs in suffix\n"
                          "-     suffix \" [-Wextra]\"\n"
                          "+     suffix \" [-Wall]\"\n"
                          "  Deploy   changed\n"
                          "    rule Retry: only in other\n"
                          "    rule Rule_1: differs in text\n"
                          "-     text \"Connection refused\"\n"
                          "+     text \"Connection refused by peer\"\n"
                          "    rule Rule_2: differs in level\n"
                          "-     level error\n"
                          "+     level disabled\n"
                          "  Mail     same rules\n"
                          "  Reports  only in other\n");
    const RunResult same = Run({"diff", "--json", kScript, kScript});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_FALSE(JsonValue::Parse(same.out)["differences"].AsBool());
    EXPECT_EQ(Run({"diff", "-q", kInstallation, kScript}).out, "");
    EXPECT_EQ(Run({"diff", kInstallation, "missing.xml"}).exitCode, 2);
}

TEST_F(ToolDiff, SameStampBetweenAPlainAndAScriptFile) {
    // A plain copy of the script's file with one rule changed: the stamps stay equal.
    std::string copy = ws_.Read(kScript);
    const std::string from = "Connection refused by peer";
    copy.replace(copy.find(from), from.size(), "Connection reset");
    copy.replace(copy.find(" Saved=\"true\""), 13, "");
    ws_.Write("copy.xml", copy);
    const std::string script = ws_.Read(kScript);
    const RunResult result =
        Run({"diff", "--json", "--root", ".", "--other-kind", "script", "copy.xml", kScript});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const JsonValue doc = JsonValue::Parse(result.out);
    EXPECT_EQ(Application(doc, "Deploy")["status"].AsString(), "same-stamp");
    EXPECT_EQ(Application(doc, "Compile")["status"].AsString(), "same-rules");
    EXPECT_EQ(doc["other"]["kind"].AsString(), "script");
    // Loading it as a script's file asked whether to merge the newer installation file in: no.
    EXPECT_NE(result.err.find("'ostak sync' merges it in"), std::string::npos) << result.err;
    EXPECT_EQ(ws_.Read(kScript), script);
    // Between two plain files the same difference is "changed".
    const JsonValue plain = JsonValue::Parse(Run({"diff", "--json", "copy.xml", kScript}).out);
    EXPECT_EQ(Application(plain, "Deploy")["status"].AsString(), "changed");
}

TEST_F(ToolMerge, PreferDecidesEveryQuestion) {
    struct Case {
        const char *prefer;
        const char *warningSuffix;
        const char *refused;
        const char *denied;
        std::vector<std::string> deployRules;
    };
    const std::vector<Case> cases = {
        {"source", " [-Wextra]", "Connection refused", "error", {"Retry", "Rule_1", "Rule_2", "Timeout"}},
        {"target",
         " [-Wall]",
         "Connection refused by peer",
         "disabled",
         {"Retry", "Rule_1", "Rule_2", "Timeout"}},
        {"both",
         " [-Wall]",
         "Connection refused by peer",
         "disabled",
         {"Retry", "Rule_1", "Rule_2", "Rule_3", "Rule_4", "Timeout"}},
    };
    for (const Case &c : cases) {
        WritePlainTarget();
        const RunResult result = Run({"merge", kInstallation, "target.xml", "--all", "--prefer", c.prefer});
        ASSERT_EQ(result.exitCode, 0) << c.prefer << result.err;
        EXPECT_NE(
            result.out.find("  Backup: added\n  Compile: changed\n  Deploy: changed\n  Mail: same rules\n"
                            "merged 4 applications from dat/OstakInstallation.xml (source) into target.xml "
                            "(plain), 3 decisions; wrote target.xml\n"),
            std::string::npos)
            << result.out;
        const JsonValue doc = ShowJson("target.xml");
        EXPECT_EQ(Names(doc["applications"]),
                  (std::vector<std::string>{"Backup", "Compile", "Deploy", "Mail", "Reports"}));
        EXPECT_EQ(Text(doc, "Compile", "Warning", "suffix"), c.warningSuffix) << c.prefer;
        EXPECT_EQ(Text(doc, "Deploy", "Rule_1"), c.refused) << c.prefer;
        EXPECT_EQ(Text(doc, "Deploy", "Rule_2", "level"), c.denied) << c.prefer;
        EXPECT_EQ(Names(Application(doc, "Deploy")["rules"]), c.deployRules) << c.prefer;
    }
    // "both": the source's rules under the proposed names.
    const JsonValue both = ShowJson("target.xml");
    EXPECT_EQ(Text(both, "Compile", "Warning_1", "suffix"), " [-Wextra]");
    EXPECT_EQ(Text(both, "Deploy", "Rule_3"), "Connection refused");
    EXPECT_EQ(Text(both, "Deploy", "Rule_4", "level"), "error");
}

TEST_F(ToolMerge, InteractiveShowsTheRulesSideBySideAndReadsTheAnswers) {
    const std::string target = ws_.Read("target.xml");
    const RunResult result = Run({"merge", kInstallation, "target.xml", "--app", "Compile", "--app", "Deploy",
                                  "--interactive", "-o", "out.xml"},
                                 "s\nx\nb\n t \n");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string &out = result.out;
    EXPECT_NE(out.find("Application \"Compile\", rule \"Warning\" differs:\n"
                       "                  source        target\n"
                       "  text            \"\"            \"\"\n"
                       "  prefix          \"warning: \"   \"warning: \"\n"
                       "* suffix          \" [-Wextra]\"  \" [-Wall]\"\n"),
              std::string::npos)
        << out;
    EXPECT_NE(
        out.find("[s] source's rule   [t] target's rule   [b] both (source's as \"Rule_3\")   [c] cancel the "
                 "merge\n> x\nPlease answer s, t, b or c.\n"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("* level           error                disabled\n"), std::string::npos) << out;
    EXPECT_NE(out.find("merged 2 applications"), std::string::npos);
    EXPECT_EQ(ws_.Read("target.xml"), target) << "only OUT is written";
    const JsonValue doc = ShowJson("out.xml");
    EXPECT_EQ(Text(doc, "Compile", "Warning", "suffix"), " [-Wextra]");
    EXPECT_EQ(Text(doc, "Deploy", "Rule_1"), "Connection refused by peer");
    EXPECT_EQ(Text(doc, "Deploy", "Rule_3"), "Connection refused");
    EXPECT_EQ(Text(doc, "Deploy", "Rule_2", "level"), "disabled");
    EXPECT_EQ(FindApplication(doc, "Backup"), nullptr) << "not chosen";
}

TEST_F(ToolMerge, CancelledUndecidedOrFailedWritesNothing) {
    struct Case {
        std::vector<std::string> args;
        const char *input;
        const char *message;
    };
    const std::vector<Case> cases = {
        {{"--interactive"}, "c\n", "ostak: error: merge cancelled; nothing written\n"},
        {{"--interactive"}, "s\n", "ostak: error: end of input: merge cancelled\n"},
        {{},
         "",
         "ostak: error: a rule needs a decision: give --prefer source|target|both, or --interactive\n"},
        {{"--source-kind", "plain", "--prefer", "both"},
         "",
         "ostak: error: the library does not merge plain -> plain; see 'ostak merge --help' for the accepted "
         "pairs\n"},
    };
    const std::string before = ws_.Read("target.xml");
    for (const Case &c : cases) {
        std::vector<std::string> args = {"merge", kInstallation, "target.xml", "--all"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult result = Run(args, c.input);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(ws_.Read("target.xml"), before) << c.message;
    }
    // The library's own message of the cancelled merge reaches stderr once.
    const RunResult cancelled = Run({"merge", kInstallation, "target.xml", "--all", "--interactive"}, "c\n");
    const std::string message = "target.xml: error: The merge was cancelled [-32583]\n";
    const auto at = cancelled.err.find(message);
    EXPECT_NE(at, std::string::npos) << cancelled.err;
    EXPECT_EQ(cancelled.err.find(message, at + 1), std::string::npos);

    const RunResult unknown =
        Run({"merge", kInstallation, "target.xml", "--app", "Nope", "--prefer", "both"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("no application \"Nope\" in dat/OstakInstallation.xml"), std::string::npos);
}

TEST_F(ToolMerge, OneSidedRulesAreAskedWithWhatEachAnswerMeans) {
    // From a script's rule file into a plain one, a rule only the target holds is asked too.
    ws_.Write("inst.xml", ws_.Read(kInstallation)); // as a script's file: in step with dat/, loads as it is
    RunResult result = Run({"merge", "--root", ".", "--source-kind", "script", "inst.xml", "target.xml",
                            "--app", "Deploy", "--interactive"},
                           "s\nt\ns\n");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(
        result.out.find("Application \"Deploy\", rule \"Retry\" is only in the target:\n"
                        "  text \"retrying in 30 seconds\" [error, std, match case, fail if not found]\n"
                        "[s] leave it out   [t] keep it   [c] cancel the merge\n> s\n"),
        std::string::npos)
        << result.out;
    JsonValue doc = ShowJson("target.xml");
    EXPECT_EQ(Names(Application(doc, "Deploy")["rules"]),
              (std::vector<std::string>{"Rule_1", "Rule_2", "Timeout"}));
    EXPECT_EQ(Text(doc, "Deploy", "Rule_1"), "Connection refused by peer");
    EXPECT_EQ(Text(doc, "Deploy", "Rule_2", "level"), "error");

    // From a source file, a rule only the source holds.
    ws_.Write("target.xml", ws_.Read(kInstallation));
    result = Run({"merge", kScript, "target.xml", "--app", "Deploy", "--interactive"}, "s\nt\nt\n");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(
        result.out.find("Application \"Deploy\", rule \"Retry\" is only in the source:\n"
                        "  text \"retrying in 30 seconds\" [error, std, match case, fail if not found]\n"
                        "[s] take it   [t] leave it out   [c] cancel the merge\n> s\n"),
        std::string::npos)
        << result.out;
    doc = ShowJson("target.xml");
    EXPECT_EQ(Text(doc, "Deploy", "Retry"), "retrying in 30 seconds");
    EXPECT_EQ(Text(doc, "Deploy", "Rule_1"), "Connection refused");
}

TEST_F(ToolMerge, ReplaceAsksNothing) {
    const RunResult result = Run({"merge", kInstallation, "target.xml", "--app", "Deploy", "--replace"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(", 0 decisions;"), std::string::npos) << result.out;
    const JsonValue doc = ShowJson("target.xml");
    EXPECT_EQ(Names(Application(doc, "Deploy")["rules"]),
              (std::vector<std::string>{"Rule_1", "Rule_2", "Timeout"}));
    EXPECT_EQ(Text(doc, "Deploy", "Rule_1"), "Connection refused");
}

TEST_F(ToolMerge, TheKindsChooseTheDirection) {
    // A new target file of kind plain: the chosen application arrives as it is.
    RunResult result = Run({"merge", kInstallation, "new.xml", "--app", "Backup"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Names(ShowJson("new.xml")["applications"]), std::vector<std::string>{"Backup"});
    EXPECT_TRUE(Application(ShowJson("new.xml"), "Backup")["enabled"].AsBool());
    // Into a script's rule file, a new application arrives disabled, and rules
    // only the target holds stay without asking (only the conflicts are asked).
    result = Run({"merge", "--root", ".", "--source-kind", "installation", "--target-kind", "script",
                  kInstallation, kScript, "--all", "--prefer", "target"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("(installation) into scripts/nightly.xml (script), 3 decisions"),
              std::string::npos)
        << result.out;
    const JsonValue doc = ShowJson(kScript);
    EXPECT_FALSE(Application(doc, "Backup")["enabled"].AsBool());
    EXPECT_NE(FindRule(doc, "Deploy", "Retry"), nullptr);
    EXPECT_TRUE(doc["saved"].AsBool());
}

} // namespace
