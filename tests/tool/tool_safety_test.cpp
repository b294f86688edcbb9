// What the tool must never do to a person's files: write where it only reads,
// drop a script's Saved mark unasked, leave private copies behind when it is
// stopped, or print a control character of a value raw to the terminal.
#include "tests/tool/tool_support.h"

#include <csignal>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace tool_test;

namespace {

constexpr const char *kInstallation = "dat/OstakInstallation.xml";
constexpr const char *kScript = "scripts/nightly.xml";

class ToolSafety : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        // A script's rule file that a script's load would take over: an older
        // installation-file version and no Saved mark.
        std::string mine = ws_.Read(kScript);
        mine.replace(mine.find(" Saved=\"true\""), 13, "");
        ws_.Write("mine.xml", mine);
        ws_.Write("tmp/.keep", "");
    }

    // Every file under the workspace with its content.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(ws_.path())) {
            if (!entry.is_directory()) {
                files[std::filesystem::relative(entry.path(), ws_.path()).string()] = ReadFile(entry.path());
            }
        }
        return files;
    }

    // Runs with private copies made inside the workspace's tmp/.
    RunResult RunWithTmp(const std::vector<std::string> &args, const std::string &locale = "C") {
        RunOptions options;
        options.cwd = ws_.path();
        options.locale = locale;
        options.env = {{"TMPDIR", ws_.File("tmp")}};
        return RunTool(args, options);
    }

    // The `show` tree of a file without its first line (the path) and the stamps.
    std::string Tree(const std::string &file) {
        const std::string out = Run({"show", file}).out;
        return std::regex_replace(out.substr(out.find('\n') + 1), std::regex(", stamped [^)]*\\)"), ")");
    }
};

TEST_F(ToolSafety, ReadOnlyCommandsLeaveEveryInputByteForByte) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {{"check", "mine.xml", kScript, kInstallation}, 0},
        {{"show", "mine.xml"}, 0},
        {{"show", "--active", "--json", kScript}, 0},
        // Read as a script's rule file, mine.xml is taken over (in a private copy).
        {{"diff", "--other-kind", "script", kInstallation, "mine.xml"}, 0},
        {{"diff", "--source-kind", "script", "mine.xml", kInstallation}, 0},
        {{"diff", "--source-kind", "installation", "--other-kind", "script", kInstallation, "mine.xml"}, 0},
        {{"diff", "--source-kind", "source", "--other-kind", "script", kInstallation, kScript}, 1},
        {{"diff", "--source-kind", "plain", "--other-kind", "source", "mine.xml", kScript}, 0},
        {{"diff", "--json", "--other-kind", "script", "mine.xml", "absent.xml"}, 2},
    };
    const std::map<std::string, std::string> before = Snapshot();
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--root", "."};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult result = RunWithTmp(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0] << " " << c.args.back() << "\n" << result.err;
        EXPECT_TRUE(Snapshot() == before) << c.args[0] << " " << c.args.back() << " wrote something";
    }
}

TEST_F(ToolSafety, DiffShowsTheTakeOverButNamesTheFileAsGiven) {
    const RunResult result = RunWithTmp({"--root", ".", "diff", "--other-kind", "script", kInstallation, "mine.xml"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "source: dat/OstakInstallation.xml (plain)\n"
                          "other:  mine.xml (script)\n"
                          "  Backup   same rules\n"
                          "  Compile  same rules\n"
                          "  Deploy   same rules\n"
                          "  Mail     same rules\n");
    // Messages about the copy name the file itself.
    ws_.Write("broken.xml", Document("<AED TqVersion=\"7.6\" Saved=\"maybe\" Bogus=\"1\">\r\n</AED>\r\n"));
    const RunResult broken =
        RunWithTmp({"--root", ".", "diff", "--other-kind", "script", kInstallation, "broken.xml"});
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_NE(broken.err.find("broken.xml:26:42: error: XML parser: attribute 'Bogus' is not declared for "
                              "element 'AED' [-32596]\n"),
              std::string::npos)
        << broken.err;
    EXPECT_EQ(broken.err.find("/tmp/"), std::string::npos) << broken.err;
}

TEST_F(ToolSafety, MergeIntoAScriptsFileKeepsItOneAndTheNextSyncKeepsEverything) {
    ws_.Write("S.xml", ws_.Read(kInstallation));
    const std::string tree = Tree(kScript);
    const RunResult merged = Run({"--root", ".", "merge", "S.xml", kScript, "--app", "Backup", "--prefer", "source"});
    ASSERT_EQ(merged.exitCode, 0) << merged.err;
    EXPECT_EQ(merged.out, "  Backup: added (disabled)\n"
                          "merged 1 application from S.xml (source) into scripts/nightly.xml (script, as its "
                          "Saved mark says), 0 decisions; wrote scripts/nightly.xml\n");
    EXPECT_NE(ws_.Read(kScript).find("<AED TqVersion=\"7.6\" FileVersionInstallation=\"2\" Saved=\"true\">"),
              std::string::npos);

    const RunResult synced = Run({"--root", ".", "sync", "--no", kScript});
    EXPECT_EQ(synced.exitCode, 0) << synced.err;
    const std::string backup = "  Backup (disabled, 2 rules)\n"
                               "    Failed: text \"rsync error:\" [error, std, match case]\n"
                               "    Partial: text \"some files/attrs were not transferred\" [error, std, match "
                               "case]\n";
    EXPECT_EQ(Tree(kScript), backup + tree) << "every application and rule the person had, and Backup";
}

TEST_F(ToolSafety, AMarkedTargetIsWarnedAboutOrRefusedWhenItCannotStayAScriptsFile) {
    ws_.Write("S.xml", ws_.Read(kInstallation));
    for (const char *name : {"Ostak_res", "OstakDtd.xml"}) {
        ws_.Write(std::string("bare/dat/") + name, ws_.Read(std::string("dat/") + name));
    }
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char *err;
        bool keepsMark;
    };
    const std::vector<Case> cases = {
        {{"--target-kind", "plain"},
         0,
         "scripts/nightly.xml: warning: a script's rule file (Saved=\"true\"); written as a plain file "
         "it loses that mark, and the next 'ostak sync' of it takes the installation file over it whenever "
         "their installation-file versions differ, replacing its applications\n",
         false},
        {{"-o", "out.xml"},
         0,
         "scripts/nightly.xml: warning: a script's rule file (Saved=\"true\"); out.xml is written as "
         "a plain file, without that mark\n",
         true},
        {{"--source-kind", "script"},
         2,
         "scripts/nightly.xml: error: a script's rule file (Saved=\"true\"), and one script's rule file is not "
         "merged into another; give --target-kind plain to write it as a plain file (it then loses the mark)\n"
         "ostak: error: nothing merged\n",
         true},
        {{"--root", "bare"},
         2,
         "bare/dat/OstakInstallation.xml: error: The file does not exist [-32571]\n"
         "scripts/nightly.xml: error: a script's rule file (Saved=\"true\"), merged into as one, which needs "
         "the installation file under --root; give --root, or --target-kind plain to write it as a plain file "
         "(it then loses the mark)\nostak: error: nothing merged\n",
         true},
    };
    const std::string original = ws_.Read(kScript);
    for (const Case &c : cases) {
        ws_.Write(kScript, original);
        std::vector<std::string> args = {"--root", ".", "merge", "S.xml", kScript, "--app", "Backup",
                                         "--prefer", "source"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult result = RunWithTmp(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(ws_.Read(kScript).find("Saved=\"true\"") != std::string::npos, c.keepsMark) << c.err;
        if (c.exitCode != 0 || c.keepsMark) {
            EXPECT_EQ(ws_.Read(kScript), original);
        }
    }
}

TEST_F(ToolSafety, AStoppedCommandRemovesItsPrivateCopy) {
    // mine.xml read as a script's rule file is a private copy while the merge waits for an answer.
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        RunOptions options;
        options.cwd = ws_.path();
        options.env = {{"TMPDIR", ws_.File("tmp")}};
        RunningProgram run(ToolPath(),
                           {"--root", ".", "merge", "--source-kind", "script", "mine.xml", "target.xml", "--all",
                            "--interactive"},
                           options, true);
        ws_.Write("target.xml", ws_.Read("mine.xml"));
        ASSERT_TRUE(run.WaitForOutput("> ", 10)) << run.OutSoFar();
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ws_.File("tmp")), {}), 2)
            << "the copy's folder beside .keep";
        kill(run.pid(), signal);
        const RunResult result = run.Wait();
        EXPECT_EQ(result.exitCode, 128 + signal);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ws_.File("tmp")), {}), 1)
            << "only .keep is left after signal " << signal;
    }
}

TEST_F(ToolSafety, ControlCharactersOfValuesAreShownEscaped) {
    // U+009B is a terminal's one-byte CSI; U+0085 a C1 control too. Both are legal in a rule file.
    const std::string application = "<AED TqVersion=\"7.6\">\r\n\t<Application Name=\"A\" Enabled=\"true\">\r\n";
    ws_.Write("c1.xml", Document(application + "\t\t<Rule Name=\"R\" Level=\"error\">\r\n"
                                               "\t\t\t<Text>&#x9b;31mred&#x85;</Text>\r\n\t\t</Rule>\r\n"
                                               "\t</Application>\r\n</AED>\r\n"));
    ws_.Write("bad.xml", Document(application + "\t\t<Rule Name=\"R\" Type=\"&#x9b;2J\">\r\n\t\t</Rule>\r\n"
                                                "\t</Application>\r\n</AED>\r\n"));
    struct Case {
        std::vector<std::string> args;
        const char *locale;
        int exitCode;
        std::string shown; // in stdout, or in stderr when the file does not load
    };
    const std::vector<Case> cases = {
        {{"show", "c1.xml"}, "C", 0, "    R: text \"\\x9B31mred\\x85\" [error, std, match case]\n"},
        {{"--utf8", "show", "c1.xml"}, "C.UTF-8", 0,
         "    R: text \"\\u009B31mred\\u0085\" [error, std, match case]\n"},
        {{"check", "bad.xml"}, "C", 1, "error: Invalid value \"\\x9B2J\" of attribute \"Type\""},
        {{"--utf8", "check", "bad.xml"}, "C.UTF-8", 1,
         "error: Invalid value \"\\u009B2J\" of attribute \"Type\""},
    };
    for (const Case &c : cases) {
        const RunResult result = Run(c.args, "", c.locale);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_NE((result.out + result.err).find(c.shown), std::string::npos) << result.out << result.err;
        for (const std::string &stream : {result.out, result.err}) {
            EXPECT_EQ(stream.find("\xc2\x9b"), std::string::npos) << stream;
            EXPECT_EQ(stream.find('\x9b'), std::string::npos) << stream;
        }
    }
}

} // namespace

namespace {

// Writers of one file that race each other: every update is there, or the
// writer that lost it said so and exited non-zero.
class ToolRacingWriters : public ToolTest {
  protected:
    static constexpr int kRounds = 12;
    static constexpr int kWriters = 4;

    static std::string AppName(int round, int writer) {
        return "App" + std::to_string(round) + "_" + std::to_string(writer);
    }

    void SetUp() override {
        ToolTest::SetUp();
        std::string body = "<AED TqVersion=\"7.6\">\r\n";
        for (int round = 0; round < kRounds; ++round) {
            for (int writer = 0; writer < kWriters; ++writer) {
                body += "\t<Application Name=\"" + AppName(round, writer) +
                        "\" Enabled=\"true\" StampTime=\"1\" StampHost=\"h\">\r\n"
                        "\t\t<Rule Name=\"R\" Level=\"error\">\r\n\t\t\t<Text>t</Text>\r\n\t\t</Rule>\r\n"
                        "\t</Application>\r\n";
            }
        }
        ws_.Write("S.xml", Document(body + "</AED>\r\n"));
    }

    std::unique_ptr<RunningProgram> Start(const std::vector<std::string> &args) {
        RunOptions options;
        options.cwd = ws_.path();
        std::vector<std::string> all = {"--root", ".", "--wait", "30"};
        all.insert(all.end(), args.begin(), args.end());
        return std::make_unique<RunningProgram>(ToolPath(), all, options);
    }

    // Whether a writer that exited non-zero said why nothing was written.
    static bool SaidWhy(const RunResult &result) {
        return result.err.find("changed meanwhile") != std::string::npos ||
               result.err.find("another process is writing it") != std::string::npos;
    }

    bool Holds(const std::string &file, const std::string &appl) {
        return ws_.Read(file).find("Name=\"" + appl + "\"") != std::string::npos;
    }
};

TEST_F(ToolRacingWriters, MergesIntoOneFileLoseNoUpdate) {
    ws_.Write("target.xml", ws_.Read("dat/OstakInstallation.xml"));
    int written = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::unique_ptr<RunningProgram>> runs;
        for (int writer = 0; writer < kWriters; ++writer) {
            runs.push_back(Start({"merge", "S.xml", "target.xml", "--app", AppName(round, writer)}));
        }
        for (int writer = 0; writer < kWriters; ++writer) {
            const RunResult result = runs[writer]->Wait();
            const std::string appl = AppName(round, writer);
            if (result.exitCode == 0) {
                ++written;
                EXPECT_TRUE(Holds("target.xml", appl)) << appl << " was reported written but is lost";
            } else {
                EXPECT_TRUE(SaidWhy(result)) << appl << ": " << result.err;
            }
        }
    }
    EXPECT_EQ(written, kRounds * kWriters) << "with the lock every writer waits its turn";
    EXPECT_EQ(Run({"check", "target.xml"}).exitCode, 0);
}

TEST_F(ToolRacingWriters, SyncAndMergeOfOneScriptsFileKeepBothUpdates) {
    const std::string script = "scripts/nightly.xml";
    const std::string original = ws_.Read(script);
    for (int round = 0; round < kRounds; ++round) {
        ws_.Write(script, original);
        const std::string appl = AppName(round, 0);
        auto sync = Start({"sync", "--yes", "--prefer", "target", script});
        auto merge = Start({"merge", "S.xml", script, "--app", appl, "--prefer", "target"});
        const RunResult merged = merge->Wait();
        const RunResult synced = sync->Wait();
        const std::string now = ws_.Read(script);
        if (merged.exitCode == 0) {
            EXPECT_TRUE(Holds(script, appl)) << "the merge's application is lost (round " << round << ")";
        } else {
            EXPECT_TRUE(SaidWhy(merged)) << merged.err;
        }
        if (synced.exitCode == 0) {
            EXPECT_NE(now.find("FileVersionInstallation=\"3\" Saved=\"true\""), std::string::npos)
                << "the sync's update is lost (round " << round << ")\n" << synced.out << synced.err;
            EXPECT_TRUE(Holds(script, "Backup"));
        }
    }
}

} // namespace

namespace {

class ToolWritesOnlyFiles : public ToolTest {};

TEST_F(ToolWritesOnlyFiles, AFifoOrALinkToOneIsNeverReplaced) {
    ws_.Write("S.xml", ws_.Read("dat/OstakInstallation.xml"));
    ASSERT_EQ(mkfifo(ws_.File("pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink("pipe", ws_.File("link"));
    const std::pair<const char *, const char *> outputs[] = {
        {"pipe", "pipe: error: Writing \"pipe\" failed: it is a FIFO, not a regular file [-32599]\n"},
        {"link", "link: error: Writing \"link\" failed: it leads to \"pipe\", a FIFO, not a regular file [-32599]\n"},
    };
    for (const auto &[out, message] : outputs) {
        for (const std::vector<std::string> &args :
             {std::vector<std::string>{"fmt", "S.xml", "-o", out},
              std::vector<std::string>{"merge", "S.xml", "new.xml", "--all", "-o", out}}) {
            const RunResult result = Run(args);
            EXPECT_EQ(result.exitCode, 2) << args[0] << " -o " << out;
            EXPECT_EQ(result.err.find(message), 0u) << result.err;
            EXPECT_TRUE(std::filesystem::is_fifo(ws_.File("pipe"))) << args[0] << " -o " << out;
            EXPECT_TRUE(std::filesystem::is_symlink(ws_.File("link")));
        }
    }
}

} // namespace

namespace {

class ToolInPlaceWrite : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        std::string plain = ws_.Read("scripts/nightly.xml");
        plain.replace(plain.find(" Saved=\"true\""), 13, "");
        ws_.Write("target.xml", plain);
    }
};

TEST_F(ToolInPlaceWrite, AMergeWaitingAtItsPromptHoldsTheFileAndNeverWritesOverAChange) {
    RunOptions options;
    options.cwd = ws_.path();
    RunningProgram waiting(ToolPath(),
                           {"merge", "dat/OstakInstallation.xml", "target.xml", "--app", "Compile", "--interactive"},
                           options, true);
    ASSERT_TRUE(waiting.WaitForOutput("> ", 10)) << waiting.OutSoFar();

    // Another writer through the tool waits for the lock, then gives up.
    const RunResult other =
        Run({"--wait", "0.2", "merge", "dat/OstakInstallation.xml", "target.xml", "--app", "Backup"});
    EXPECT_EQ(other.exitCode, 2);
    EXPECT_NE(other.err.find("target.xml: error: The rule file \"target.xml\" is locked by another process (pid " +
                             std::to_string(waiting.pid()) + "); gave up after 200 ms [-32548]\n"),
              std::string::npos)
        << other.err;
    EXPECT_NE(other.err.find("target.xml: error: not written (another process is writing it; try again, or "
                             "give --wait)\n"),
              std::string::npos)
        << other.err;

    const RunResult sync = Run({"--root", ".", "--wait", "0.2", "sync", "--no", "target.xml"});
    EXPECT_EQ(sync.exitCode, 2);
    EXPECT_NE(sync.err.find("target.xml: error: The rule file \"target.xml\" is locked by another process"),
              std::string::npos)
        << sync.err;

    // A program that takes no lock (an editor) changes the file meanwhile.
    const std::string edited = ws_.Read("target.xml") + "\r\n";
    ws_.Write("target.xml", edited);
    RunResult result = waiting.Wait(); // closing stdin leaves the question undecided
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(ws_.Read("target.xml"), edited);

    RunningProgram answered(ToolPath(),
                            {"merge", "dat/OstakInstallation.xml", "target.xml", "--app", "Compile", "--interactive"},
                            options, true);
    ASSERT_TRUE(answered.WaitForOutput("> ", 10));
    const std::string again = edited + " ";
    ws_.Write("target.xml", again);
    ASSERT_EQ(write(answered.InputFd(), "s\n", 2), 2);
    result = answered.Wait();
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "target.xml: error: changed meanwhile (since it was loaded); nothing written\n");
    EXPECT_EQ(ws_.Read("target.xml"), again);
}

} // namespace
