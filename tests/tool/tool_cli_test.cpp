// The tool's command line: help, version, errors of use, the data folder,
// quiet and verbose runs, and the examples it ships.
#include "tests/tool/tool_support.h"

#include <regex>

using namespace tool_test;

namespace {

class ToolCli : public ToolTest {};

TEST_F(ToolCli, HelpForTheToolAndEachCommand) {
    const RunResult overview = Run({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    for (const char *command : {"check", "show", "fmt", "diff", "merge", "sync"}) {
        EXPECT_NE(overview.out.find(std::string("  ") + command + " "), std::string::npos) << command;
        const RunResult help = Run({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("Usage: ostak ") + command, 0), 0u) << help.out;
        EXPECT_NE(help.out.find("Exit status (the same for every command"), std::string::npos) << command;
        EXPECT_NE(help.out.find("--root DIR"), std::string::npos) << command;
        EXPECT_TRUE(help.err.empty()) << help.err;
    }
    // The kinds, and so the direction of a merge, are named in merge's help.
    const std::string merge = Run({"merge", "-h"}).out;
    for (const char *text :
         {"plain", "script", "installation", "source -> plain", "plain -> script", "script -> plain",
          "installation -> script", "source -> script", "--prefer both"}) {
        EXPECT_NE(merge.find(text), std::string::npos) << text;
    }
}

TEST_F(ToolCli, Version) {
    const RunResult result = Run({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(std::regex_match(result.out, std::regex("ostak [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << result.out;
}

TEST_F(ToolCli, ErrorsOfUseExitTwoWithAHint) {
    struct Case {
        std::vector<std::string> args;
        const char *message;
    };
    const std::vector<Case> cases = {
        {{}, "Usage: ostak"},
        {{"frobnicate"}, "unknown command \"frobnicate\""},
        {{"show", "--bogus", "x.xml"}, "show: unknown option --bogus"},
        {{"show"}, "show: expected one FILE"},
        {{"check"}, "check: expected FILE..."},
        {{"diff", "a.xml"}, "diff: expected SOURCE and OTHER"},
        {{"show", "--root"}, "option --root needs a value"},
        {{"merge", "a.xml", "b.xml"}, "choose the applications: --app NAME (repeatable) or --all"},
        {{"merge", "a.xml", "b.xml", "--all", "--prefer", "mine"}, "--prefer: \"mine\" is none of"},
        {{"merge", "a.xml", "b.xml", "--all", "--prefer", "both", "--interactive"}, "exclude each other"},
        {{"merge", "a.xml", "b.xml", "--all", "--target-kind", "odd"}, "--target-kind: unknown kind \"odd\""},
        {{"sync", "s.xml", "--yes", "--no"}, "--yes and --no exclude each other"},
        {{"show", "--json=yes", "x.xml"}, "option --json takes no value"},
    };
    for (const Case &c : cases) {
        const RunResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
}

TEST_F(ToolCli, TheDataFolderIsTheBuildTreesUnlessRootIsGiven) {
    // Without --root the tool runs over the dat/ beside it in the build tree.
    EXPECT_EQ(Run({"check", "scripts/nightly.xml"}).exitCode, 0);
    EXPECT_EQ(Run({"check", "--root", ".", "scripts/nightly.xml"}).exitCode, 0);
    const RunResult wrong = Run({"check", "--root", "scripts", "scripts/nightly.xml"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.err,
              "scripts/dat/Ostak_res: error: the message catalogue of the data folder scripts cannot "
              "be read: No such file or directory (--root names the folder that holds dat/)\n");
}

TEST_F(ToolCli, VerboseShowsTraceLinesAndTheirOriginQuietShowsNoSummary) {
    const RunResult plain = Run({"check", "scripts/nightly.xml"});
    EXPECT_EQ(plain.out, "scripts/nightly.xml: ok (4 applications, 10 rules)\n");
    EXPECT_EQ(plain.err, "");
    const RunResult verbose = Run({"-v", "check", "scripts/nightly.xml"});
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_TRUE(
        std::regex_search(verbose.err, std::regex("scripts/nightly.xml: note: .+ \\(.+, line [0-9]+\\)\n")))
        << verbose.err;
    const RunResult quiet = Run({"check", "-q", "scripts/nightly.xml"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out, "");
}

// The examples are what the examples writer makes, apart from the stamps of time and host.
TEST_F(ToolCli, TheExamplesAreWrittenByTheLibrary) {
    const RunResult made = RunProgram(OSTAK_MAKE_EXAMPLES_PATH, {SourceDir(), ws_.File("made")});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::regex stamps(" StampTime=\"[0-9]+\" StampHost=\"[^\"]*\"");
    for (const char *file : {"dat/OstakInstallation.xml", "scripts/nightly.xml"}) {
        const std::string shipped = ReadFile(SourceDir() + "/examples/" + file);
        ASSERT_FALSE(shipped.empty()) << file;
        EXPECT_EQ(std::regex_replace(ws_.Read(std::string("made/") + file), stamps, ""),
                  std::regex_replace(shipped, stamps, ""))
            << file << " is out of date: run 'make examples'";
    }
}

} // namespace
