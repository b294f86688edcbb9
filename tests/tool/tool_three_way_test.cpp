// Three-way merging end to end: ostak sync keeping the installation file as
// the base of a script's rule file and settling the next release from it,
// a stale or unusable base falling back to asking, ostak merge --base,
// ostak merge-file on its own and as git's merge driver in a real repository,
// and ostak textconv.
#include "tests/tool/tool_support.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <unistd.h>

using namespace tool_test;

namespace {

constexpr const char *kScript = "scripts/nightly.xml";
constexpr const char *kBase = "scripts/.nightly.xml.base";
constexpr const char *kInstallation = "dat/OstakInstallation.xml";

std::string Replaced(std::string text, const std::string &from, const std::string &to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) {
        throw std::runtime_error("no \"" + from + "\" in the text");
    }
    return text.replace(at, from.size(), to);
}

class ToolThreeWay : public ToolTest {
  protected:
    RunResult Sync(std::vector<std::string> more) {
        std::vector<std::string> args = {"sync", "--root", ".", kScript};
        args.insert(args.end(), more.begin(), more.end());
        return Run(args);
    }
    // The example installation file as release 4: `edits` applied, its version 4.
    void Release4(const std::vector<std::pair<std::string, std::string>> &edits) {
        std::string content = Replaced(ws_.Read(kInstallation), "FileVersionInstallation=\"3\"",
                                       "FileVersionInstallation=\"4\"");
        for (const auto &[from, to] : edits) {
            content = Replaced(content, from, to);
        }
        ws_.Write(kInstallation, content);
    }
    // Release 3 synced as the issue's person did: every difference kept as the script has it.
    void SyncRelease3() {
        const RunResult first = Sync({"--yes", "--prefer", "target"});
        ASSERT_EQ(first.exitCode, 0) << first.err;
        ASSERT_EQ(ws_.Read(kBase), ws_.Read(kInstallation)) << "the base is the installation file taken in";
    }
};

TEST_F(ToolThreeWay, TheNextReleaseIsMergedWithoutAsking) {
    SyncRelease3();
    const std::string rule1 = Rule(ShowJson(kScript), "Deploy", "Rule_1")["text"].AsString();
    Release4({{"<Text>rsync error:</Text>", "<Text>rsync failed:</Text>"}});
    const RunResult result = Sync({"--yes"}); // no --prefer: a question would fail the run
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("scripts/nightly.xml: merged the changes of ./dat/OstakInstallation.xml "
                              "(0 decisions; 4 settled three-way from "),
              std::string::npos)
        << result.out;
    const JsonValue doc = ShowJson(kScript);
    EXPECT_EQ(Rule(doc, "Backup", "Failed")["text"].AsString(), "rsync failed:") << "changed in the release";
    EXPECT_EQ(Rule(doc, "Compile", "Warning")["suffix"].AsString(), " [-Wall]")
        << "the script's answer stays";
    EXPECT_EQ(Rule(doc, "Deploy", "Rule_1")["text"].AsString(), rule1);
    EXPECT_EQ(Rule(doc, "Deploy", "Rule_2")["level"].AsString(), "disabled");
    EXPECT_EQ(ws_.Read(kBase), ws_.Read(kInstallation)) << "release 4 is the base now";
}

TEST_F(ToolThreeWay, OnlyAConflictIsAskedAndPreferDecidesIt) {
    SyncRelease3();
    Release4({{"<Text>Connection refused</Text>", "<Text>Connection reset</Text>"}});
    const std::string before = ws_.Read(kScript);
    const RunResult undecided = Sync({"--yes"});
    EXPECT_EQ(undecided.exitCode, 2);
    EXPECT_NE(undecided.err.find("a rule needs a decision"), std::string::npos) << undecided.err;
    EXPECT_EQ(ws_.Read(kScript), before);
    const RunResult decided = Sync({"--yes", "--prefer", "source"});
    ASSERT_EQ(decided.exitCode, 0) << decided.err;
    EXPECT_NE(decided.out.find("(1 decision; 2 settled three-way from "), std::string::npos) << decided.out;
    EXPECT_NE(decided.out.find(".base)\n  conflict: Deploy/Rule_1: changed on both sides\n"),
              std::string::npos)
        << decided.out;
    EXPECT_EQ(Rule(ShowJson(kScript), "Deploy", "Rule_1")["text"].AsString(), "Connection reset");
}

TEST_F(ToolThreeWay, AStaleOrUnusableBaseFallsBackToAskingAboutEverything) {
    SyncRelease3();
    const std::string release3Script = ws_.Read(kScript);
    const std::string release3Base = ws_.Read(kBase);
    Release4({{"<Text>rsync error:</Text>", "<Text>rsync failed:</Text>"}});
    const struct {
        const char *what;
        std::string base;
        const char *message;
    } cases[] = {
        {"another program synced at version 2",
         Replaced(release3Base, "FileVersionInstallation=\"3\"", "FileVersionInstallation=\"2\""),
         "the base is stale: it holds installation-file version 2, but scripts/nightly.xml was last brought in step "
         "at version 3"},
        {"not a rule file", "not xml", "no usable base; asking about every difference"},
    };
    for (const auto &c : cases) {
        ws_.Write(kScript, release3Script);
        ws_.Write(kBase, c.base);
        const RunResult result = Sync({"--yes", "--prefer", "target"});
        ASSERT_EQ(result.exitCode, 0) << c.what << result.err;
        std::size_t said = 0;
        for (std::size_t at = result.err.find(c.message); at != std::string::npos;
             at = result.err.find(c.message, at + 1)) {
            ++said;
        }
        EXPECT_EQ(said, 1u) << c.what << ": " << result.err;
        EXPECT_EQ(result.out,
                  "scripts/nightly.xml: merged the changes of ./dat/OstakInstallation.xml (4 decisions)\n")
            << c.what;
    }
}

TEST_F(ToolThreeWay, ABaseThatCannotBeWrittenIsSaid) {
    std::filesystem::create_directories(ws_.File(kBase)); // a folder where the base belongs
    const RunResult result = Sync({"--yes", "--prefer", "target"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("the base could not be written"), std::string::npos) << result.err;
    EXPECT_TRUE(std::filesystem::is_directory(ws_.File(kBase)));
}

// Three versions of one file for merge --base and merge-file.
std::string Appl(const std::string &name, bool enabled,
                 const std::vector<std::pair<std::string, std::string>> &rules) {
    std::string xml = "<Application Name=\"" + name + "\" Enabled=\"" + (enabled ? "true" : "false") +
                      "\" StampTime=\"1000\" StampHost=\"h\">";
    for (const auto &[rule, text] : rules) {
        xml += "<Rule Name=\"" + rule +
               "\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
               "Level=\"error\"><Text>" +
               text + "</Text></Rule>";
    }
    return xml + "</Application>";
}

std::string File(const std::vector<std::string> &appls,
                 const std::string &attributes = "FileVersionInstallation=\"5\"") {
    std::string body = "<AED TqVersion=\"7.6\" " + attributes + ">";
    for (const std::string &appl : appls) {
        body += appl;
    }
    return ReadFile(SourceDir() + "/dat/OstakDtd.xml") + body + "</AED>";
}

class ToolMergeThreeWay : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        ws_.Write("base.xml", File({Appl("Mail", true, {{"A", "a"}, {"B", "b"}, {"C", "c"}, {"D", "d"}}),
                                    Appl("Old", true, {{"R", "r"}}), Appl("Dropped", true, {{"R", "r"}})}));
        // theirs: A changed, D deleted, New added, Old deleted, Mail disabled
        ws_.Write("theirs.xml", File({Appl("Dropped", true, {{"R", "r"}}),
                                      Appl("Mail", false, {{"A", "a2"}, {"B", "b"}, {"C", "c"}}),
                                      Appl("New", true, {{"R", "r"}})}));
        // ours: B changed, E added, Dropped deleted
        ws_.Write("ours.xml",
                  File({Appl("Mail", true, {{"A", "a"}, {"B", "b2"}, {"C", "c"}, {"D", "d"}, {"E", "e"}}),
                        Appl("Old", true, {{"R", "r"}})}));
    }
    std::string Tree(const std::string &file) {
        const RunResult result = Run({"textconv", file});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }
};

constexpr const char *kMergedTree = "installation-file version 5\n"
                                    "Mail (disabled)\n"
                                    "  A: text \"a2\" [error, std, match case]\n"
                                    "  B: text \"b2\" [error, std, match case]\n"
                                    "  C: text \"c\" [error, std, match case]\n"
                                    "  E: text \"e\" [error, std, match case]\n"
                                    "New\n"
                                    "  R: text \"r\" [error, std, match case]\n";

TEST_F(ToolMergeThreeWay, MergeWithBaseTakesEveryOneSidedChange) {
    const RunResult result = Run({"merge", "--base", "base.xml", "theirs.xml", "ours.xml", "-o", "out.xml"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("three-way from base.xml: "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find(" 0 conflicts\n"), std::string::npos) << result.out;
    EXPECT_EQ(Tree("out.xml"), kMergedTree);
}

TEST_F(ToolMergeThreeWay, MergeFileWritesCurrentAndExitsByConflicts) {
    const RunResult clean = Run({"merge-file", "base.xml", "ours.xml", "theirs.xml", "rules.xml"});
    ASSERT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(clean.err, "");
    EXPECT_EQ(Tree("ours.xml"), kMergedTree);

    // Both change C, differently; theirs changes D, which ours deleted.
    ws_.Write("ours.xml", File({Appl("Mail", true, {{"A", "a"}, {"B", "b"}, {"C", "mine"}})}));
    ws_.Write("theirs.xml",
              File({Appl("Mail", true, {{"A", "a"}, {"B", "b"}, {"C", "theirs"}, {"D", "d2"}})}));
    const RunResult conflicted = Run({"merge-file", "base.xml", "ours.xml", "theirs.xml", "rules.xml"});
    EXPECT_EQ(conflicted.exitCode, 1) << conflicted.err;
    EXPECT_EQ(
        conflicted.err,
        "rules.xml: error: conflict: application \"Mail\", rule \"C\": changed on both sides; ours stays "
        "as \"C\", theirs is added as \"C_1\"\n"
        "rules.xml: error: conflict: application \"Mail\", rule \"D\": deleted in the target, changed in "
        "the source; kept\n");
    EXPECT_EQ(Tree("ours.xml"), "installation-file version 5\n"
                                "Mail\n"
                                "  A: text \"a\" [error, std, match case]\n"
                                "  B: text \"b\" [error, std, match case]\n"
                                "  C: text \"mine\" [error, std, match case]\n"
                                "  C_1: text \"theirs\" [error, std, match case]\n"
                                "  D: text \"d2\" [error, std, match case]\n");
    EXPECT_EQ(Run({"check", "ours.xml"}).exitCode, 0);
}

TEST_F(ToolMergeThreeWay, MergeFileTroubleLeavesCurrentAsItWas) {
    const std::string base = ws_.Read("base.xml");
    const std::string ours = ws_.Read("ours.xml");
    const std::string theirs = ws_.Read("theirs.xml");
    const struct {
        const char *what;
        std::string base, ours, theirs;
        const char *message;
    } cases[] = {
        {"theirs not a rule file", base, ours, "nonsense", "rules.xml (theirs): error: not loaded; nothing merged"},
        {"ours a script's rule file", base,
         Replaced(ours, "FileVersionInstallation=\"5\"", "FileVersionInstallation=\"5\" Saved=\"true\""),
         theirs, "keeps its mark only when merged as one"},
        {"theirs deleted everything", base, base, File({}), "the merged file holds no application"},
    };
    for (const auto &c : cases) {
        ws_.Write("base.xml", c.base);
        ws_.Write("ours.xml", c.ours);
        ws_.Write("theirs.xml", c.theirs);
        const RunResult result = Run({"merge-file", "base.xml", "ours.xml", "theirs.xml", "rules.xml"});
        EXPECT_EQ(result.exitCode, 2) << c.what;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.what << ": " << result.err;
        EXPECT_EQ(ws_.Read("ours.xml"), c.ours) << c.what;
    }
}

TEST_F(ToolMergeThreeWay, MergeWithBaseListsConflictsDecidedByPrefer) {
    ws_.Write("ours.xml", File({Appl("Mail", true, {{"A", "mine"}, {"B", "b"}, {"C", "c"}, {"D", "d"}})}));
    const RunResult result =
        Run({"merge", "--base", "base.xml", "theirs.xml", "ours.xml", "--prefer", "target"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(" 1 conflict\n  conflict: Mail/A: changed on both sides\n"), std::string::npos)
        << result.out;
    EXPECT_EQ(Tree("ours.xml"), "installation-file version 5\n"
                                "Mail (disabled)\n"
                                "  A: text \"mine\" [error, std, match case]\n"
                                "  B: text \"b\" [error, std, match case]\n"
                                "  C: text \"c\" [error, std, match case]\n"
                                "New\n"
                                "  R: text \"r\" [error, std, match case]\n");
    const RunResult usage = Run({"merge", "--base=", "theirs.xml", "ours.xml"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("--base needs a file"), std::string::npos) << usage.err;
}

// sync deciding applications three-way: release 1 as the base, the script's
// file as its owner left it at release 1, release 2 installed.
class ToolSyncApplications : public ToolTest {
  protected:
    RunResult SyncWith(const std::string &baseVersion, const std::vector<std::string> &base,
                       const std::vector<std::string> &script, const std::vector<std::string> &release) {
        ws_.Write(kBase, File(base, "FileVersionInstallation=\"" + baseVersion + "\""));
        ws_.Write(kScript, File(script, "FileVersionInstallation=\"1\" Saved=\"true\""));
        ws_.Write(kInstallation, File(release, "FileVersionInstallation=\"2\""));
        return Run({"sync", "--root", ".", "--yes", kScript}); // no --prefer: a question fails the run
    }
};

TEST_F(ToolSyncApplications, ApplicationsAndFlagsAreSettledFromTheBase) {
    const std::string keep = Appl("Keep", true, {{"R", "r"}});
    const std::string other = Appl("Other", true, {{"R", "r"}});
    const std::string mine = Appl("Other", true, {{"R", "mine"}});
    const std::string off = Appl("Keep", false, {{"R", "r"}});
    const std::string keep2 = Appl("Keep", true, {{"Old", "o"}, {"R", "r"}});
    const std::string keepMine = Appl("Keep", true, {{"Old", "mine"}, {"R", "r"}});
    const std::string keepTree = "Keep\n  R: text \"r\" [error, std, match case]\n";
    const std::string offTree = "Keep (disabled)\n  R: text \"r\" [error, std, match case]\n";
    const struct {
        const char *what;
        const char *baseVersion;
        std::vector<std::string> base, script, release;
        std::string tree;
        std::string summary; // after "(0 decisions"
    } cases[] = {
        // clang-format off
        {"the owner deleted Other", "1", {keep, other}, {keep}, {keep, other}, keepTree,
         "; 0 settled three-way from BASE; 1 application settled three-way)\n"},
        {"the release dropped Other", "1", {keep, other}, {keep, other}, {keep}, keepTree,
         "; 0 settled three-way from BASE; 1 application settled three-way)\n"},
        {"the owner changed Other, the release dropped it", "1", {keep, other}, {keep, mine}, {keep},
         keepTree + "Other\n  R: text \"mine\" [error, std, match case]\n",
         "; 0 settled three-way from BASE)\n  conflict: Other: deleted in the source, changed in the target; kept\n"},
        {"the release disabled Keep", "1", {keep}, {keep}, {off}, offTree,
         "; 0 settled three-way from BASE; 1 application settled three-way)\n"},
        {"the owner disabled Keep, the release enabled it still", "1", {keep}, {off}, {keep}, offTree,
         "; 0 settled three-way from BASE)\n"},
        {"the release added Other", "1", {keep}, {keep}, {keep, other},
         keepTree + "Other (disabled)\n  R: text \"r\" [error, std, match case]\n", "; 0 settled three-way from BASE)\n"},
        {"the release dropped Keep/Old", "1", {keep2}, {keep2}, {keep}, keepTree,
         "; 0 settled three-way from BASE; 1 application settled three-way)\n"},
        {"the owner changed Keep/Old, the release dropped it", "1", {keep2}, {keepMine}, {keep},
         "Keep\n  Old: text \"mine\" [error, std, match case]\n  R: text \"r\" [error, std, match case]\n",
         "; 0 settled three-way from BASE)\n  conflict: Keep/Old: deleted in the source, changed in the target; kept\n"},
        {"a stale base: the owner's deletion comes back disabled", "7", {keep, other}, {keep}, {keep, other},
         keepTree + "Other (disabled)\n  R: text \"r\" [error, std, match case]\n", ")\n"},
        // clang-format on
    };
    for (const auto &c : cases) {
        const RunResult result = SyncWith(c.baseVersion, c.base, c.script, c.release);
        ASSERT_EQ(result.exitCode, 0) << c.what << ": " << result.err;
        std::string summary = c.summary;
        if (const std::size_t at = summary.find("BASE"); at != std::string::npos) {
            summary.replace(at, 4, std::filesystem::weakly_canonical(ws_.File(kBase)).string());
        }
        EXPECT_EQ(result.out,
                  "scripts/nightly.xml: merged the changes of ./dat/OstakInstallation.xml (0 decisions" +
                      summary)
            << c.what;
        const RunResult shown = Run({"textconv", kScript});
        EXPECT_EQ(shown.out, "installation-file version 2, saved by a script\n" + c.tree) << c.what;
        EXPECT_EQ(ws_.Read(kBase), ws_.Read(kInstallation)) << c.what << ": release 2 is the base now";
    }
}

// git, found on PATH.
std::string GitPath() {
    const char *path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/git";
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

class ToolGitMerge : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        git_ = GitPath();
        if (git_.empty()) {
            GTEST_SKIP() << "git is not installed";
        }
        const std::string tool = ToolPath() + " --root " + ws_.path();
        ws_.Write("repo/.gitattributes", "*.xml merge=ostak diff=ostak\n");
        ws_.Write("repo/rules.xml", ws_.Read(kInstallation));
        Git({"init", "-q", "-b", "main"});
        Git({"config", "merge.ostak.name", "Ostak rule files"});
        Git({"config", "merge.ostak.driver", tool + " merge-file %O %A %B %P"});
        Git({"config", "diff.ostak.textconv", tool + " textconv"});
        Git({"add", "."});
        Git({"commit", "-q", "-m", "release 3"});
    }
    RunResult Git(const std::vector<std::string> &args, bool mustSucceed = true) {
        RunOptions options;
        options.cwd = ws_.File("repo");
        options.env = {{"HOME", ws_.path()}, {"GIT_CONFIG_NOSYSTEM", "1"}};
        std::vector<std::string> all = {"-c", "user.name=Test", "-c", "user.email=test@example.org"};
        all.insert(all.end(), args.begin(), args.end());
        const RunResult result = RunProgram(git_, all, options);
        if (mustSucceed) {
            EXPECT_EQ(result.exitCode, 0) << "git " << args[0] << ": " << result.err;
        }
        return result;
    }
    // Commits an edit of rules.xml on a new branch made from main.
    void Branch(const std::string &name, const std::string &from, const std::string &to) {
        Git({"checkout", "-q", "-b", name, "main"});
        ws_.Write("repo/rules.xml", Replaced(ws_.Read("repo/rules.xml"), from, to));
        Git({"commit", "-q", "-a", "-m", name});
    }
    std::string git_;
};

TEST_F(ToolGitMerge, ChangesOfDifferentRulesMergeCleanly) {
    Branch("failed", "<Text>rsync error:</Text>", "<Text>rsync failed:</Text>");
    Branch("partial", "<Text>some files/attrs were not transferred</Text>", "<Text>partial transfer</Text>");
    const RunResult merge = Git({"merge", "-q", "-m", "both", "failed"});
    EXPECT_EQ(merge.exitCode, 0) << merge.out << merge.err;
    EXPECT_EQ(Run({"check", "repo/rules.xml"}).exitCode, 0);
    const JsonValue doc = ShowJson("repo/rules.xml");
    EXPECT_EQ(Rule(doc, "Backup", "Failed")["text"].AsString(), "rsync failed:");
    EXPECT_EQ(Rule(doc, "Backup", "Partial")["text"].AsString(), "partial transfer");
    EXPECT_EQ(Git({"status", "--porcelain"}).out, "");
    // git diff reads both versions through textconv.
    const RunResult diff = Git({"diff", "main", "--", "rules.xml"});
    EXPECT_NE(diff.out.find("\n+  Failed: text \"rsync failed:\" [error, std, match case]\n"
                            "+  Partial: text \"partial transfer\" [error, std, match case]\n"),
              std::string::npos)
        << diff.out;
}

TEST_F(ToolGitMerge, ChangesOfTheSameRuleConflict) {
    Branch("theirs", "<Text>rsync error:</Text>", "<Text>rsync failed:</Text>");
    Branch("ours", "<Text>rsync error:</Text>", "<Text>rsync broke:</Text>");
    const RunResult merge = Git({"merge", "-m", "both", "theirs"}, false);
    EXPECT_NE(merge.exitCode, 0);
    EXPECT_NE(merge.out.find("CONFLICT"), std::string::npos) << merge.out;
    EXPECT_NE(merge.err.find("rules.xml: error: conflict: application \"Backup\", rule \"Failed\": changed on both "
                             "sides; ours stays as \"Failed\", theirs is added as \"Failed_1\""),
              std::string::npos)
        << merge.err;
    EXPECT_EQ(Run({"check", "repo/rules.xml"}).exitCode, 0) << "the conflicted file is a valid rule file";
    const JsonValue doc = ShowJson("repo/rules.xml");
    EXPECT_EQ(Rule(doc, "Backup", "Failed")["text"].AsString(), "rsync broke:");
    EXPECT_EQ(Rule(doc, "Backup", "Failed_1")["text"].AsString(), "rsync failed:");
}

} // namespace
