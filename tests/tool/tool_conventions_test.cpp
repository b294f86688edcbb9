// The tool's conventions, end to end: one message format and one meaning of
// the exit codes across commands, standard input and output, the warnings of
// check about misleading values, and the values diff shows.
#include "tests/tool/tool_support.h"

#include <filesystem>
#include <unistd.h>

using namespace tool_test;

namespace {

constexpr const char *kInstallation = "dat/OstakInstallation.xml";
constexpr const char *kScript = "scripts/nightly.xml";

class ToolConventions : public ToolTest {
  protected:
    // One application "A" with one rule "R": its attributes and text as given.
    static std::string OneRule(const std::string &attributes, const std::string &text,
                               const std::string &head = ReadFile(SourceDir() + "/dat/OstakDtd.xml")) {
        return head +
               "<AED TqVersion=\"7.6\">\r\n\t<Application Name=\"A\" Enabled=\"true\">\r\n\t\t<Rule "
               "Name=\"R\" " +
               attributes + ">\r\n\t\t\t<Text>" + text +
               "</Text>\r\n\t\t</Rule>\r\n\t</Application>\r\n</AED>\r\n";
    }
    static std::string Utf8Head() {
        std::string head = ReadFile(SourceDir() + "/dat/OstakDtd.xml");
        head.replace(head.find("ISO-8859-1"), 10, "UTF-8");
        return head;
    }
    static std::size_t Count(const std::string &text, const std::string &part) {
        std::size_t count = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }
    // A target file holding the script's rules without its Saved mark.
    void WritePlainTarget() {
        std::string plain = ws_.Read(kScript);
        plain.replace(plain.find(" Saved=\"true\""), 13, "");
        ws_.Write("target.xml", plain);
    }
};

// Every command: the same message format, each message once, and the same exit codes.
TEST_F(ToolConventions, MessagesAndExitCodesAreTheSameForEveryCommand) {
    ws_.Write("alert.xml", OneRule("Type=\"Alert\"", "x"));
    ws_.Write("bad/dat/OstakInstallation.xml", OneRule("Type=\"Alert\"", "x"));
    for (const char *name : {"Ostak_res", "OstakDtd.xml"}) {
        ws_.Write(std::string("bad/dat/") + name, ws_.Read(std::string("dat/") + name));
    }
    WritePlainTarget();
    ASSERT_EQ(symlink("loop", ws_.File("loop").c_str()), 0);
    const std::string alert =
        "alert.xml:28:31: error: Invalid value \"Alert\" of attribute \"Type\" of element "
        "\"Rule\" [-32598]\n";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err; // the whole of stderr
    };
    const std::vector<Case> cases = {
        {{"check", kScript}, 0, ""},
        {{"check", "alert.xml"}, 1, alert},
        {{"show", "alert.xml"}, 2, alert},
        {{"diff", "alert.xml", kScript}, 2, alert},
        {{"diff", kScript, kScript}, 0, ""},
        {{"diff", kInstallation, kScript}, 1, ""},
        {{"fmt", "alert.xml"}, 2, alert + "alert.xml: error: not rewritten\n"},
        {{"merge", "alert.xml", "target.xml", "--all"}, 2, alert + "ostak: error: nothing merged\n"},
        // The installation file's own problem is named as its own, not the script's file's.
        {{"sync", "--root", "bad", "--yes", kScript},
         2,
         "bad/dat/OstakInstallation.xml:28:31: error: Invalid value \"Alert\" of attribute \"Type\" of "
         "element "
         "\"Rule\" [-32598]\nbad/dat/OstakInstallation.xml: error: the installation file could not be "
         "loaded; "
         "scripts/nightly.xml is left as it is\n"},
        {{"check", "missing.xml"}, 2, "missing.xml: error: cannot read it: No such file or directory\n"},
        {{"show", "loop"}, 2, "loop: error: cannot read it: Too many levels of symbolic links\n"},
        {{"check", std::string(300, 'x')},
         2,
         std::string(300, 'x') + ": error: cannot read it: File name too long\n"},
        // A target that is a symbolic link loop, as TARGET and as OUT.
        {{"merge", kInstallation, "loop", "--all"},
         2,
         "loop: error: cannot write it: Too many levels of symbolic links\n"},
        {{"merge", kInstallation, "target.xml", "--all", "-o", "loop"},
         2,
         "loop: error: cannot write it: Too many levels of symbolic links\n"},
        {{"sync", "--root", ".", "loop"},
         2,
         "loop: error: cannot write it: Too many levels of symbolic links\n"},
        // The editing commands: the library's refusal names the element behind the file.
        {{"rule", "add", "target.xml", "Compile", "bad name", "--text", "x"},
         2,
         "target.xml: error: Compile/bad name: A name is empty or holds a character outside 0-9, a-z, "
         "A-Z, _, #, @ and $ [-32589]\ntarget.xml: error: refused by the library; nothing written\n"},
        {{"app", "add", "target.xml", "Compile"},
         2,
         "target.xml: error: Compile: An element of that name is already in the list [-32592]\n"
         "target.xml: error: refused by the library; nothing written\n"},
        {{"app", "rm", "target.xml", "Nope"}, 2, "target.xml: error: no application \"Nope\"; nothing written\n"},
        {{"merge-file", "missing.xml", "target.xml", "target.xml"},
         2,
         "missing.xml: error: cannot read it: No such file or directory\n"},
        // Errors of use point to the help of the command they belong to.
        {{"show", "--bogus", "x.xml"},
         2,
         "ostak: error: show: unknown option --bogus\nRun 'ostak show --help' for help.\n"},
        {{"diff", "--color=sometimes", "a", "b"},
         2,
         "ostak: error: diff: --color: \"sometimes\" is none of auto, always, never\n"
         "Run 'ostak diff --help' for help.\n"},
        {{"frobnicate"}, 2, "ostak: error: unknown command \"frobnicate\"\nRun 'ostak --help' for help.\n"},
        {{"help", "frobnicate"},
         2,
         "ostak: error: help: unknown command \"frobnicate\"\nRun 'ostak --help' for help.\n"},
        {{"diff", "-", "-"},
         2,
         "ostak: error: diff: standard input (-) can be read only once\nRun 'ostak diff --help' for help.\n"},
    };
    for (const Case &c : cases) {
        const RunResult result = Run(c.args, "");
        std::string shown;
        for (const std::string &arg : c.args) {
            shown += arg.substr(0, 40) + " ";
        }
        EXPECT_EQ(result.exitCode, c.exitCode) << shown << "\n" << result.err;
        EXPECT_EQ(result.err, c.err) << shown;
    }
}

TEST_F(ToolConventions, HelpOfEachCommandAndTheTableOfExitCodes) {
    const RunResult overview = Run({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    EXPECT_NE(
        overview.out.find("  0  success: no differences, every file fine\n"
                          "  1  found: differences (diff), problems (check; with --strict warnings too),\n"
                          "     conflicts kept (merge-file)\n"
                          "  2  trouble: "),
        std::string::npos)
        << overview.out;
    EXPECT_EQ(Run({"help"}).out, overview.out);
    for (const char *command :
         {"check", "show", "new", "app", "rule", "fmt", "diff", "merge", "sync", "merge-file", "textconv"}) {
        const RunResult help = Run({"help", command});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.out, Run({command, "--help"}).out) << command;
    }
    // What --replace really does.
    EXPECT_NE(Run({"merge", "--help"}).out.find("so TARGET's rules that\nSOURCE lacks are dropped"),
              std::string::npos);
}

TEST_F(ToolConventions, CheckWarnsAboutEveryValueThatLoadsAsSomethingElse) {
    struct Case {
        std::string document;
        std::string warning; // the whole of stderr
        int exitCode;        // without --strict
    };
    const std::string none = ReadFile(SourceDir() + "/dat/OstakDtd.xml");
    const std::vector<Case> cases = {
        {OneRule("MatchCase=\"yes\"", "x"),
         "f.xml:28:18: warning: A/R: MatchCase=\"yes\" reads as false (only \"true\" is true); write "
         "MatchCase=\"true\"\n",
         0},
        {OneRule("UseText=\"TRUE\"", "x"),
         "f.xml:28:18: warning: A/R: UseText=\"TRUE\" reads as false (only \"true\" is true); write "
         "UseText=\"true\"\n",
         1}, // it then needs a prefix and suffix
        {OneRule("FailIfNotFound=\"no\"", "x"),
         "f.xml:28:18: warning: A/R: FailIfNotFound=\"no\" reads as false (only \"true\" is true); write "
         "FailIfNotFound=\"false\"\n",
         0},
        {OneRule("Level=\"Disabled\"", "x"),
         "f.xml:28:18: warning: A/R: Level=\"Disabled\" reads as \"error\" (only \"disabled\" disables a "
         "rule); "
         "write Level=\"disabled\"\n",
         0},
        {OneRule("Level=\"off\"", "x"),
         "f.xml:28:18: warning: A/R: Level=\"off\" reads as \"error\" (only \"disabled\" disables a rule); "
         "write "
         "Level=\"disabled\"\n",
         0},
        {OneRule("Level=\"Error\"", "x"),
         "f.xml:28:18: warning: A/R: Level=\"Error\" reads as \"error\" (only \"disabled\" disables a rule); "
         "write "
         "Level=\"error\"\n",
         0},
        // An editor saved UTF-8 into an ISO-8859-1 file; and the same read once more and saved as UTF-8.
        {OneRule("", "d\xC3\xA9lai"),
         "f.xml:29:11: warning: A/R: Text \"d\xC3\x83\xC2\xA9lai\" looks like UTF-8 read as ISO-8859-1; "
         "write "
         "\"d\xC3\xA9lai\" as the file's encoding (ISO-8859-1) has it\n",
         0},
        {OneRule("", "d\xC3\x83\xC2\xA9lai", Utf8Head()),
         "f.xml:29:11: warning: A/R: Text \"d\xC3\x83\xC2\xA9lai\" looks like UTF-8 read as ISO-8859-1 and "
         "written "
         "again as UTF-8; write \"d\xC3\xA9lai\" as the file's encoding (UTF-8) has it\n",
         0},
        // A value is read with its references replaced; a comment is passed
        // over, even with a tag in it, and a CDATA section read as text.
        {OneRule("MatchCase=\"y&amp;s&quot;\"", "x"),
         "f.xml:28:18: warning: A/R: MatchCase=\"y&s\"\" reads as false (only \"true\" is true); write "
         "MatchCase=\"false\"\n",
         0},
        {OneRule("", "<!-- a <b> comment --><![CDATA[d\xC3\xA9lai]]>"),
         "f.xml:29:42: warning: A/R: Text \"d\xC3\x83\xC2\xA9lai\" looks like UTF-8 read as ISO-8859-1; "
         "write "
         "\"d\xC3\xA9lai\" as the file's encoding (ISO-8859-1) has it\n",
         0},
    };
    for (const Case &c : cases) {
        ws_.Write("f.xml", c.document);
        RunResult result = Run({"check", "f.xml"}, "", "C.UTF-8");
        EXPECT_EQ(result.exitCode, c.exitCode) << c.warning;
        const std::string problems = c.exitCode == 0 ? "" : result.err.substr(result.err.find('\n') + 1);
        EXPECT_EQ(result.err, c.warning + problems) << c.document;
        result = Run({"check", "--strict", "f.xml"}, "", "C.UTF-8");
        EXPECT_EQ(result.exitCode, 1) << c.warning;
    }
    // An application's flag, ISO-8859-1 text in a file that says UTF-8, and no head at all.
    ws_.Write("f.xml", Document("<AED TqVersion=\"7.6\">\r\n\t<Application Name=\"M\" Enabled=\"yes\">\r\n"
                                "\t</Application>\r\n</AED>\r\n"));
    EXPECT_EQ(Run({"check", "f.xml"}).err,
              "f.xml:27:24: warning: M: Enabled=\"yes\" reads as false (only \"true\" is true); write "
              "Enabled=\"true\"\n");
    ws_.Write("f.xml", Document("<AED TqVersion=\"7.6\" Saved=\"True\">\r\n</AED>\r\n"));
    EXPECT_EQ(Run({"check", "f.xml"}).err, "f.xml:26:22: warning: Saved=\"True\" reads as false (only "
                                           "\"true\" is true); write Saved=\"true\"\n");
    ws_.Write("f.xml", OneRule("", "d\xE9lai", Utf8Head()));
    EXPECT_NE(Run({"check", "f.xml"})
                  .err.find("f.xml:29:11: warning: A/R: Text holds a byte that is not UTF-8, though the head "
                            "declares UTF-8; "
                            "the text is probably ISO-8859-1"),
              std::string::npos);
    ws_.Write("f.xml", "<AED TqVersion=\"7.6\">\r\n</AED>\r\n");
    const RunResult bare = Run({"check", "f.xml"});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_EQ(
        bare.err.substr(0, bare.err.find('\n')),
        "f.xml:1:1: warning: no document type head before <AED>: the library refuses a file without one; "
        "start the file with the content of " +
            std::filesystem::path(ToolPath()).parent_path().string() + "/dat/OstakDtd.xml");
}

TEST_F(ToolConventions, CheckJsonGivesTheSameAsADocument) {
    ws_.Write("f.xml", OneRule("Level=\"off\" Type=\"Alert\"", "x"));
    const RunResult unread = Run({"check", "--json", "missing.xml"});
    EXPECT_EQ(unread.exitCode, 2);
    EXPECT_EQ(unread.err, "missing.xml: error: cannot read it: No such file or directory\n");
    EXPECT_EQ(JsonValue::Parse(unread.out)["files"].AsArray().at(0)["status"].AsString(), "not-loaded");

    const RunResult result = Run({"check", "--json", "--strict", "f.xml", kScript});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "");
    const JsonValue doc = JsonValue::Parse(result.out);
    EXPECT_EQ(doc.Keys(), (std::vector<std::string>{"format", "version", "strict", "exitCode", "files"}));
    EXPECT_EQ(doc["format"].AsString(), "ostak-check");
    EXPECT_EQ(doc["exitCode"].AsNumber(), 1);
    const std::vector<JsonValue> &files = doc["files"].AsArray();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1]["status"].AsString(), "ok");
    EXPECT_EQ(files[1]["applications"].AsNumber(), 4);
    EXPECT_TRUE(files[1]["messages"].AsArray().empty());
    const JsonValue &bad = files[0];
    EXPECT_EQ(bad.Keys(), (std::vector<std::string>{"file", "status", "cause", "applications", "rules",
                                                    "errors", "warnings", "messages"}));
    EXPECT_EQ(bad["status"].AsString(), "not-valid");
    EXPECT_EQ(bad["cause"].AsString(), "OSTAK_E_INVALID_DOCUMENT");
    std::vector<std::string> messages;
    for (const JsonValue &m : bad["messages"].AsArray()) {
        messages.push_back(
            m["level"].AsString() + " " + std::to_string(static_cast<int>(m["line"].AsNumber())) + ":" +
            std::to_string(static_cast<int>(m["column"].AsNumber())) + " " +
            (m["element"].IsNull() ? "-" : m["element"].AsString()) + " " + m["text"].AsString() + " | " +
            (m["fix"].IsNull() ? "-" : m["fix"].AsString()) + " | " +
            (m["number"].IsNull() ? "-" : std::to_string(static_cast<int>(m["number"].AsNumber()))));
    }
    EXPECT_EQ(
        messages,
        (std::vector<std::string>{
            "warning 28:18 A/R Level=\"off\" reads as \"error\" (only \"disabled\" disables a rule) | write "
            "Level=\"disabled\" | -",
            "error 28:43 - Invalid value \"Alert\" of attribute \"Type\" of element \"Rule\" | - | -32598"}));
}

TEST_F(ToolConventions, DashReadsStandardInputAndWritesStandardOutput) {
    const std::string script = ws_.Read(kScript);
    const std::string installation = ws_.Read(kInstallation);
    RunResult result = Run({"check", "-"}, script);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "<stdin>: ok (4 applications, 10 rules)\n");
    ws_.Write("alert.xml", OneRule("Type=\"Alert\"", "x"));
    result = Run({"show", "-"}, ws_.Read("alert.xml"));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err,
              "<stdin>:28:31: error: Invalid value \"Alert\" of attribute \"Type\" of element \"Rule\" "
              "[-32598]\n");
    EXPECT_EQ(JsonValue::Parse(Run({"show", "--json", "-"}, script).out)["file"].AsString(), "<stdin>");
    result = Run({"diff", kInstallation, "-"}, script);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out.substr(0, result.out.find("  Backup")),
              "source: dat/OstakInstallation.xml (plain)\nother:  <stdin> (plain)\n");

    // fmt of standard input writes standard output: the file as the library saves it.
    result = Run({"fmt", "-"}, installation);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, installation);
    EXPECT_EQ(result.err, "<stdout>: already in the canonical layout\n");
    result = Run({"fmt", kInstallation, "-o", "-"});
    EXPECT_EQ(result.out, installation);

    // merge from standard input, and into standard output: TARGET stays as it is.
    WritePlainTarget();
    const std::string target = ws_.Read("target.xml");
    result = Run({"merge", "-", "target.xml", "--app", "Backup", "-o", "-"}, installation);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ws_.Read("target.xml"), target);
    EXPECT_NE(result.out.find("<Application Name=\"Backup\""), std::string::npos) << result.out;
    EXPECT_EQ(result.out.rfind(ReadFile(SourceDir() + "/dat/OstakDtd.xml"), 0), 0u);
    EXPECT_NE(
        result.err.find("merged 1 application from <stdin> (source) into target.xml (plain), 0 decisions; "
                        "wrote <stdout>\n"),
        std::string::npos)
        << result.err;
    EXPECT_FALSE(ws_.Exists("-"));
}

TEST_F(ToolConventions, DiffShowsBothValuesOfEachFieldAndTheEnabledFlag) {
    std::string enabled = ws_.Read(kScript);
    enabled.replace(enabled.find("Name=\"Mail\" Enabled=\"false\""), 27, "Name=\"Mail\" Enabled=\"true\"");
    ws_.Write("enabled.xml", enabled);
    // Only the enabled flag differs: a difference all the same.
    RunResult result = Run({"diff", kScript, "enabled.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find(
                  "  Mail     same rules (enabled in other only)\n-   enabled false\n+   enabled true\n"),
              std::string::npos)
        << result.out;
    EXPECT_TRUE(
        JsonValue::Parse(Run({"diff", "--json", kScript, "enabled.xml"}).out)["differences"].AsBool());

    // Colour: never by default off a terminal, always on request.
    const std::string plain = Run({"diff", kInstallation, kScript}).out;
    EXPECT_EQ(Run({"diff", "--color=never", kInstallation, kScript}).out, plain);
    EXPECT_EQ(plain.find('\x1B'), std::string::npos);
    const std::string coloured = Run({"diff", "--color=always", kInstallation, kScript}).out;
    EXPECT_NE(
        coloured.find("\x1B[31m-     suffix \" [-Wextra]\"\x1B[m\n\x1B[32m+     suffix \" [-Wall]\"\x1B[m\n"),
        std::string::npos)
        << coloured;

    // JSON: each change with both values, typed.
    const JsonValue doc = JsonValue::Parse(Run({"diff", "--json", kInstallation, kScript}).out);
    std::vector<std::string> changes;
    for (const JsonValue &appl : doc["applications"].AsArray()) {
        for (const JsonValue &rule : appl["rules"].AsArray()) {
            for (const JsonValue &change : rule["changes"].AsArray()) {
                EXPECT_EQ(change.Keys(), (std::vector<std::string>{"field", "source", "other"}));
                changes.push_back(appl["name"].AsString() + "/" + rule["name"].AsString() + " " +
                                  change["field"].AsString() + ": " + change["source"].AsString() + " -> " +
                                  change["other"].AsString());
            }
        }
    }
    EXPECT_EQ(changes, (std::vector<std::string>{
                           "Compile/Warning suffix:  [-Wextra] ->  [-Wall]",
                           "Deploy/Rule_1 text: Connection refused -> Connection refused by peer",
                           "Deploy/Rule_2 level: error -> disabled"}));
    // A flag is a JSON boolean.
    std::string flipped = ws_.Read(kScript);
    const std::string from = "Name=\"Retry\" FailIfNotFound=\"true\"";
    flipped.replace(flipped.find(from), from.size(), "Name=\"Retry\" FailIfNotFound=\"false\"");
    ws_.Write("flipped.xml", flipped);
    const JsonValue flags = JsonValue::Parse(Run({"diff", "--json", kScript, "flipped.xml"}).out);
    const JsonValue &change =
        Application(flags, "Deploy")["rules"].AsArray().at(0)["changes"].AsArray().at(0);
    EXPECT_EQ(change["field"].AsString(), "failIfNotFound");
    EXPECT_TRUE(change["source"].AsBool());
    EXPECT_FALSE(change["other"].AsBool());
}

TEST_F(ToolConventions, ReplaceDropsTheTargetsOwnRulesAndSaysWhich) {
    WritePlainTarget();
    const RunResult result = Run({"merge", kInstallation, "target.xml", "--all", "--replace"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("  Deploy: changed, rules replaced; dropped from the target: Retry\n"),
              std::string::npos)
        << result.out;
    const JsonValue doc = ShowJson("target.xml");
    EXPECT_EQ(FindRule(doc, "Deploy", "Retry"), nullptr);
    EXPECT_NE(FindApplication(doc, "Reports"), nullptr) << "applications only in the target stay";
}

TEST_F(ToolConventions, ARootWithoutItsDataFilesSaysWhichFileIsMissingWhere) {
    ws_.Write("half/dat/Ostak_res", ws_.Read("dat/Ostak_res"));
    ws_.Write("broken/dat/Ostak_res", "not a catalogue\n");
    ws_.Write("broken/dat/OstakDtd.xml", ws_.Read("dat/OstakDtd.xml"));
    struct Case {
        const char *root;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"half", "half/dat/OstakDtd.xml: error: the document type file of the data folder half cannot be "
                 "read: No such "
                 "file or directory (--root names the folder that holds dat/)\n"},
        {"none", "none/dat/Ostak_res: error: the message catalogue of the data folder none cannot be read: "
                 "No such file "
                 "or directory (--root names the folder that holds dat/)\n"},
        {"broken", "broken/dat/Ostak_res: error: the message catalogue of the data folder broken is not one "
                   "the library "
                   "reads\n"},
    };
    for (const Case &c : cases) {
        const RunResult result = Run({"check", "--root", c.root, kScript});
        EXPECT_EQ(result.exitCode, 2) << c.root;
        EXPECT_EQ(result.err, c.err) << c.root;
    }
}

} // namespace
