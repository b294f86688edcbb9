// ostak check, show and fmt, end to end.
#include "tests/tool/tool_support.h"

#include <cstdlib>

using namespace tool_test;

namespace {

class ToolCheck : public ToolTest {};
class ToolShow : public ToolTest {};
class ToolFmt : public ToolTest {};

// An application without a name, and rules missing their text or suffix.
std::string InvalidBody() {
    return "<AED TqVersion=\"7.6\">\r\n"
           "\t<Application Name=\"M\" Enabled=\"true\">\r\n"
           "\t\t<Rule Name=\"R1\" Level=\"error\">\r\n\t\t</Rule>\r\n"
           "\t\t<Rule Name=\"R2\" UseText=\"false\" "
           "Level=\"error\">\r\n\t\t\t<Prefix>x</Prefix>\r\n\t\t</Rule>\r\n"
           "\t\t<Rule Name=\"R3\">\r\n\t\t\t<Text>ok</Text>\r\n\t\t</Rule>\r\n"
           "\t</Application>\r\n"
           "\t<Application Enabled=\"true\">\r\n\t</Application>\r\n"
           "</AED>\r\n";
}

TEST_F(ToolCheck, EveryProblemIsReportedWithWhatItIsAbout) {
    ws_.Write("invalid.xml", Document(InvalidBody()));
    const RunResult result = Run({"check", "invalid.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "invalid.xml: not valid (3 problems)\n");
    EXPECT_EQ(result.err,
              "invalid.xml: error: (no name): A name is empty or holds a character outside 0-9, a-z, A-Z, "
              "_, #, @ and $ [-32589]\n"
              "invalid.xml: error: M/R1: A rule that uses its text has an empty Text [-32587]\n"
              "invalid.xml: error: M/R2: A rule that uses prefix and suffix has an empty Suffix [-32585]\n");
}

TEST_F(ToolCheck, WhatLoadingMeetsAndWhatCannotBeRead) {
    ws_.Write("nodtd.xml", "<AED TqVersion=\"7.6\">\r\n</AED>\r\n");
    ws_.Write("empty.xml", "");
    ws_.Write("badname.xml",
              Document("<AED TqVersion=\"7.6\">\r\n\t<Application Name=\"A b\" Enabled=\"true\">\r\n"
                       "\t</Application>\r\n\t<Application Name=\"M\">\r\n\t\t<Rule Name=\"R1\">\r\n"
                       "\t\t</Rule>\r\n\t</Application>\r\n</AED>\r\n"));
    struct Case {
        const char *file;
        int exitCode;
        const char *out;
        const char *err;
    };
    const std::vector<Case> cases = {
        {"nodtd.xml", 1, "nodtd.xml: not valid (OSTAK_E_INVALID_DOCUMENT), 1 warning\n",
         "nodtd.xml:1:1: warning: no document type head before <AED>: the library refuses a file without "
         "one; start the file with the content of "},
        {"empty.xml", 1, "empty.xml: not valid (OSTAK_E_FILE_EMPTY)\n",
         "empty.xml: error: The file is empty [-32574]\n"},
        // The invalid application stays out; what loaded is still checked.
        {"badname.xml", 1, "badname.xml: not valid (OSTAK_E_INVALID_NAME, 1 problem)\n",
         "badname.xml:27:41: error: Invalid value \"A b\" of attribute \"Name\" of element \"Application\" "
         "[-32598]\n"},
        {"missing.xml", 2, "", "missing.xml: error: cannot read it: No such file or directory\n"},
        {"dat", 2, "", "dat: error: not a regular file\n"},
    };
    for (const Case &c : cases) {
        const RunResult result = Run({"check", c.file});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.file;
        EXPECT_EQ(result.out, c.out) << c.file;
        EXPECT_EQ(result.err.rfind(c.err, 0), 0u) << c.file << ": " << result.err;
    }
    EXPECT_NE(
        Run({"check", "badname.xml"})
            .err.find("badname.xml: error: M/R1: A rule that uses its text has an empty Text [-32587]\n"),
        std::string::npos);
    EXPECT_NE(
        Run({"check", "nodtd.xml"})
            .err.find("nodtd.xml:1:5: error: XML parser: no declaration found for element 'AED' [-32596]\n"),
        std::string::npos);
}

TEST_F(ToolCheck, EveryFileIsCheckedAndTheWorstOutcomeDecides) {
    ws_.Write("invalid.xml", Document(InvalidBody()));
    RunResult result = Run({"check", "missing.xml", "invalid.xml", "scripts/nightly.xml"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out,
              "invalid.xml: not valid (3 problems)\nscripts/nightly.xml: ok (4 applications, 10 rules)\n");
    result = Run({"check", "invalid.xml", "scripts/nightly.xml"});
    EXPECT_EQ(result.exitCode, 1);
    result = Run({"check", "scripts/nightly.xml", "dat/OstakInstallation.xml"});
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(ToolShow, JsonDocumentOfTheExampleScriptFile) {
    const JsonValue doc = ShowJson("scripts/nightly.xml");
    EXPECT_EQ(doc.Keys(),
              (std::vector<std::string>{"format", "version", "file", "active", "saved", "applications"}));
    EXPECT_EQ(doc["format"].AsString(), "ostak-show");
    EXPECT_EQ(doc["version"].AsNumber(), 1);
    EXPECT_EQ(doc["file"].AsString(), "scripts/nightly.xml");
    EXPECT_FALSE(doc["active"].AsBool());
    EXPECT_TRUE(doc["saved"].AsBool());
    EXPECT_EQ(Names(doc["applications"]), (std::vector<std::string>{"Compile", "Deploy", "Mail", "Reports"}));
    EXPECT_FALSE(Application(doc, "Mail")["enabled"].AsBool());
    EXPECT_EQ(Names(Application(doc, "Deploy")["rules"]),
              (std::vector<std::string>{"Retry", "Rule_1", "Rule_2", "Timeout"}));

    const JsonValue &denied = Rule(doc, "Deploy", "Rule_2");
    EXPECT_EQ(denied.Keys(), (std::vector<std::string>{"name", "useText", "text", "prefix", "suffix",
                                                       "matchCase", "failIfNotFound", "level", "type"}));
    EXPECT_EQ(denied["text"].AsString(), "Permission denied");
    EXPECT_EQ(denied["level"].AsString(), "disabled");
    EXPECT_FALSE(denied["matchCase"].AsBool());
    const JsonValue &warning = Rule(doc, "Compile", "Warning");
    EXPECT_FALSE(warning["useText"].AsBool());
    EXPECT_EQ(warning["prefix"].AsString(), "warning: ");
    EXPECT_EQ(warning["suffix"].AsString(), " [-Wall]");
    EXPECT_EQ(Rule(doc, "Deploy", "Timeout")["type"].AsString(), "alert");
    EXPECT_TRUE(Rule(doc, "Deploy", "Retry")["failIfNotFound"].AsBool());
}

TEST_F(ToolShow, TreeAndTheActiveView) {
    setenv("TZ", "UTC", 1); // the stamps in local time, as the tool run inherits it
    const RunResult tree = Run({"show", "scripts/nightly.xml"});
    EXPECT_EQ(tree.exitCode, 0);
    EXPECT_NE(tree.out.find("scripts/nightly.xml (saved by a script)\n"
                            "  Compile (enabled, 3 rules, stamped 2026-12-07T23:34:10+00:00 on vm)\n"
                            "    Error: text \"error:\" [error, std, match case]\n"),
              std::string::npos)
        << tree.out;
    EXPECT_NE(tree.out.find("    Rule_2: text \"Permission denied\" [disabled, std, any case]\n"),
              std::string::npos);
    EXPECT_NE(tree.out.find("  Mail (disabled, 2 rules, stamped 2026-12-07T23:34:10+00:00 on vm)\n"), std::string::npos);

    // What a script sees: disabled applications and rules left out.
    const JsonValue active = ShowJson("scripts/nightly.xml", {"--active"});
    EXPECT_TRUE(active["active"].AsBool());
    EXPECT_EQ(Names(active["applications"]), (std::vector<std::string>{"Compile", "Deploy", "Reports"}));
    EXPECT_EQ(Names(Application(active, "Deploy")["rules"]),
              (std::vector<std::string>{"Retry", "Rule_1", "Timeout"}));
}

TEST_F(ToolShow, TextsReachJsonAsUtf8WhateverTheLocale) {
    // ISO-8859-1 document: a quote, a backslash, an e acute and a delete character.
    ws_.Write(
        "latin1.xml",
        Document("<AED TqVersion=\"7.6\">\r\n\t<Application Name=\"A\" Enabled=\"true\">\r\n"
                 "\t\t<Rule Name=\"R\">\r\n\t\t\t<Text>say \"caf\xE9\" \\ &#127;</Text>\r\n\t\t</Rule>\r\n"
                 "\t</Application>\r\n</AED>\r\n"));
    for (const char *locale : {"C", "C.UTF-8"}) {
        RunOptions options;
        options.cwd = ws_.path();
        options.locale = locale;
        const RunResult result = RunTool({"show", "--json", "latin1.xml"}, options);
        ASSERT_EQ(result.exitCode, 0) << locale << result.err;
        EXPECT_NE(result.out.find(R"("text": "say \"caf)"
                                  "\xC3\xA9"
                                  R"(\" \\ \u007f")"),
                  std::string::npos)
            << locale << ": " << result.out;
        const JsonValue doc = JsonValue::Parse(result.out);
        EXPECT_EQ(Rule(doc, "A", "R")["text"].AsString(), "say \"caf\xC3\xA9\" \\ \x7F") << locale;
    }
    // The converter switch gives the same texts.
    const RunResult utf8 = Run({"show", "--utf8", "--json", "latin1.xml"});
    EXPECT_EQ(Rule(JsonValue::Parse(utf8.out), "A", "R")["text"].AsString(), "say \"caf\xC3\xA9\" \\ \x7F");
}

TEST_F(ToolShow, AFileThatDoesNotLoadShowsNothing) {
    ws_.Write("nodtd.xml", "<AED/>");
    const RunResult result = Run({"show", "--json", "nodtd.xml"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(Run({"show", "missing.xml"}).exitCode, 2);
}

// A document with LF line ends, spaces, unsorted applications and rules, and attributes in another order.
std::string Untidy() {
    return "<AED   TqVersion='7.5'>\n"
           "  <Application Enabled=\"true\" Name=\"Zeta\"><Rule Level=\"error\" "
           "Name=\"B\"><Text>b</Text></Rule>\n"
           "  <Rule Name=\"A\"><Text>a</Text></Rule></Application>\n"
           "  <Application Name=\"Alpha\"/>\n"
           "</AED>\n";
}

TEST_F(ToolFmt, RewritesInTheCanonicalLayoutKeepingTheContent) {
    ws_.Write("untidy.xml", Document(Untidy()));
    const JsonValue before = ShowJson("untidy.xml");
    const RunResult result = Run({"fmt", "untidy.xml"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "untidy.xml: rewritten\n");
    const std::string written = ws_.Read("untidy.xml");
    const std::string body = written.substr(written.find("<AED"));
    EXPECT_EQ(body.substr(0, body.find("\t<Application")), "<AED TqVersion=\"7.6\">\r\n");
    EXPECT_LT(body.find("Name=\"Alpha\""), body.find("Name=\"Zeta\""));
    EXPECT_NE(body.find("\t\t<Rule Name=\"A\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
                        "Level=\"error\">\r\n\t\t\t<Text>a</Text>\r\n\t\t</Rule>\r\n\t\t<Rule Name=\"B\""),
              std::string::npos)
        << body;
    // The same content, and a second run changes nothing.
    const JsonValue after = ShowJson("untidy.xml");
    EXPECT_EQ(Names(after["applications"]), Names(before["applications"]));
    EXPECT_EQ(Names(Application(after, "Zeta")["rules"]), (std::vector<std::string>{"A", "B"}));
    const RunResult again = Run({"fmt", "untidy.xml"});
    EXPECT_EQ(again.out, "untidy.xml: already in the canonical layout\n");
    EXPECT_EQ(ws_.Read("untidy.xml"), written);
}

TEST_F(ToolFmt, OutputFileLeavesTheInputAlone) {
    ws_.Write("untidy.xml", Document(Untidy()));
    const RunResult result = Run({"fmt", "untidy.xml", "-o", "tidy.xml"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "tidy.xml: rewritten\n");
    EXPECT_EQ(ws_.Read("untidy.xml"), Document(Untidy()));
    EXPECT_NE(ws_.Read("tidy.xml").find("<AED TqVersion=\"7.6\">\r\n"), std::string::npos);
}

TEST_F(ToolFmt, RefusesWhatItCannotRewriteFaithfully) {
    ws_.Write("nodtd.xml", "<AED TqVersion=\"7.6\">\r\n</AED>\r\n");
    ws_.Write("none.xml", Document("<AED TqVersion=\"7.6\"/>"));
    const std::string script = ws_.Read("scripts/nightly.xml");
    struct Case {
        const char *file;
        int exitCode;
        const char *message; // on stdout for a file left alone by choice, else on stderr
    };
    const std::vector<Case> cases = {
        {"nodtd.xml", 2, "nodtd.xml: error: not rewritten\n"},
        {"scripts/nightly.xml", 2, "scripts/nightly.xml: error: marked Saved=\"true\""},
        {"none.xml", 0, "none.xml: no applications; left as it is"},
    };
    for (const Case &c : cases) {
        const std::string before = ws_.Read(c.file);
        const RunResult result = Run({"fmt", c.file});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.file;
        EXPECT_NE((result.out + result.err).find(c.message), std::string::npos) << result.out << result.err;
        EXPECT_EQ(ws_.Read(c.file), before) << c.file;
    }
    // --script keeps the mark: the example is already canonical.
    const RunResult asScript = Run({"fmt", "--root", ".", "--script", "scripts/nightly.xml"});
    EXPECT_EQ(asScript.exitCode, 0) << asScript.err;
    EXPECT_EQ(ws_.Read("scripts/nightly.xml"), script);
}

} // namespace
