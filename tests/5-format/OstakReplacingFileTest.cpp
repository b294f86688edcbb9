// Replacing a file only once its new content is complete.
#include "5-format/OstakReplacingFile.h"

#include "tests/support/Fixtures.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ostak;
using namespace ostak_test;

namespace {

class XmlReplacingFile : public OstakTest {
  protected:
    // Writes `content` through a replacing file and commits.
    bool Replace(const std::string &target, const std::string &content) {
        OstakReplacingFile file;
        if (!file.Open(target.c_str())) {
            return false;
        }
        std::fwrite(content.data(), 1, content.size(), file.Stream());
        return file.Commit();
    }

    TempDir dir_;
};

// The new file has no name until it replaces the target; where the file
// system refuses unnamed files, a hidden temporary stands next to the target.
TEST_F(XmlReplacingFile, TheTargetChangesOnlyAtCommit) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        Seams().saveNoUnnamedFile = !unnamed;
        const std::string target = dir_.Write("t.xml", "old");
        OstakReplacingFile file;
        ASSERT_TRUE(file.Open(target.c_str()));
        EXPECT_EQ(file.Unnamed(), unnamed);
        std::fputs("new", file.Stream());
        std::fflush(file.Stream());
        EXPECT_EQ(ReadFile(target), "old");
        EXPECT_EQ(dir_.Entries().size(), unnamed ? 1u : 2u);
        ASSERT_TRUE(file.Commit());
        EXPECT_EQ(ReadFile(target), "new");
        EXPECT_EQ(dir_.Entries().size(), 1u);
    }
}

TEST_F(XmlReplacingFile, AnAbandonedOrForgottenFileLeavesNothingBehind) {
    const std::string target = dir_.Write("t.xml", "old");
    {
        OstakReplacingFile file;
        ASSERT_TRUE(file.Open(target.c_str()));
        std::fputs("new", file.Stream());
        file.Abandon();
        EXPECT_EQ(file.Stream(), nullptr);
    }
    {
        OstakReplacingFile forgotten;
        ASSERT_TRUE(forgotten.Open(target.c_str()));
    }
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(dir_.Entries().size(), 1u);
}

TEST_F(XmlReplacingFile, EachFailingStepIsNamedAndLeavesTheTarget) {
    struct Case {
        int32_t PlatformSeams::*seam;
        const char *step;
    };
    const Case cases[] = {{&PlatformSeams::saveFlushErrno, "flush"},
                          {&PlatformSeams::saveSyncErrno, "fsync"},
                          {&PlatformSeams::saveCloseErrno, "close"},
                          {&PlatformSeams::saveRenameErrno, "rename"}};
    for (const Case &c : cases) {
        for (const bool unnamed : {true, false}) {
            const std::string target = dir_.Write("t.xml", "old");
            ResetSeams();
            Seams().saveNoUnnamedFile = !unnamed;
            Seams().*c.seam = EIO;
            OstakReplacingFile file;
            ASSERT_TRUE(file.Open(target.c_str()));
            std::fputs("new", file.Stream());
            EXPECT_FALSE(file.Commit()) << c.step;
            EXPECT_STREQ(file.FailedStep(), c.step);
            EXPECT_EQ(file.Error(), EIO);
            EXPECT_EQ(ReadFile(target), "old") << c.step;
            EXPECT_EQ(dir_.Entries().size(), 1u) << c.step;
        }
    }
}

TEST_F(XmlReplacingFile, AFolderCannotBeReplaced) {
    std::filesystem::create_directories(dir_.path() + "/folder/inner");
    OstakReplacingFile file;
    EXPECT_FALSE(file.Open((dir_.path() + "/folder").c_str()));
    EXPECT_STREQ(file.FailedStep(), "type");
    EXPECT_EQ(file.Error(), EISDIR);
    EXPECT_TRUE(S_ISDIR(file.TargetMode()));
    EXPECT_TRUE(std::filesystem::is_directory(dir_.path() + "/folder/inner"));
    EXPECT_EQ(dir_.Entries().size(), 1u);
}

TEST_F(XmlReplacingFile, ATargetInAMissingFolderCannotBeCreated) {
    OstakReplacingFile file;
    EXPECT_FALSE(file.Open((dir_.path() + "/none/t.xml").c_str()));
    EXPECT_STREQ(file.FailedStep(), "create");
    EXPECT_EQ(file.Error(), ENOENT);
}

TEST_F(XmlReplacingFile, SymbolicLinksAreFollowedToTheFileTheyName) {
    std::filesystem::create_directories(dir_.path() + "/a/b");
    const std::string real = dir_.Write("a/b/real.xml", "old");
    ASSERT_EQ(symlink("b/real.xml", (dir_.path() + "/a/rel").c_str()), 0); // relative to its folder
    ASSERT_EQ(symlink((dir_.path() + "/a/rel").c_str(), dir_.File("abs").c_str()), 0); // absolute, to a link
    ASSERT_TRUE(Replace(dir_.File("abs"), "new"));
    EXPECT_EQ(ReadFile(real), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("abs")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.path() + "/a/rel"));

    // A link to a file not yet there makes that file.
    ASSERT_EQ(symlink("made.xml", dir_.File("dangling").c_str()), 0);
    ASSERT_TRUE(Replace(dir_.File("dangling"), "made"));
    EXPECT_EQ(ReadFile(dir_.File("made.xml")), "made");

    // A loop of links cannot be written.
    ASSERT_EQ(symlink("loop2", dir_.File("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", dir_.File("loop2").c_str()), 0);
    OstakReplacingFile loop;
    EXPECT_FALSE(loop.Open(dir_.File("loop1").c_str()));
    EXPECT_EQ(loop.Error(), ELOOP);
}

TEST_F(XmlReplacingFile, AnExistingFileKeepsItsModeAndANewOneGetsTheUmasksMode) {
    const std::string existing = dir_.Write("kept.xml", "old");
    ASSERT_EQ(chmod(existing.c_str(), 0604), 0);
    ASSERT_TRUE(Replace(existing, "new"));
    struct stat status;
    ASSERT_EQ(stat(existing.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);

    const mode_t mask = umask(022);
    const bool made = Replace(dir_.File("fresh.xml"), "new");
    umask(mask);
    ASSERT_TRUE(made);
    ASSERT_EQ(stat(dir_.File("fresh.xml").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
}

TEST_F(XmlReplacingFile, ARelativeTargetIsWrittenInTheWorkingFolder) {
    char former[4096];
    ASSERT_NE(getcwd(former, sizeof former), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    const bool replaced = Replace("plain.xml", "here");
    ASSERT_EQ(chdir(former), 0);
    EXPECT_TRUE(replaced);
    EXPECT_EQ(ReadFile(dir_.File("plain.xml")), "here");
}

} // namespace

namespace {

// Each new file sweeps the folder of the temporaries that dead processes left:
// only regular files named exactly ".ostak-<pid>-<n>.tmp" whose process is gone.
TEST_F(XmlReplacingFile, TemporariesOfDeadProcessesAreSweptAndNothingElse) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string living = std::to_string(getpid());
    struct Case {
        std::string name;
        bool folder;
        bool swept;
    };
    const Case cases[] = {
        {".ostak-" + dead + "-0.tmp", false, true},
        {".ostak-" + dead + "-4294967295.tmp", false, true},
        {".ostak-" + living + "-999999.tmp", false, false}, // this process's own
        {".ostak-1-7.tmp", false, false},                   // init runs as long as the system
        {".ostak-" + dead + "-0.tmp.keep", false, false},
        {".ostak-" + dead + ".tmp", false, false},
        {".ostak--" + dead + "-0.tmp", false, false},
        {".ostak-" + dead + "-x.tmp", false, false},
        {".ostak-99999999999-0.tmp", false, false},
        {"ostak-" + dead + "-0.tmp", false, false},
        {".ostak-" + dead + "-1.tmp", true, false}, // a folder is never removed
    };
    for (const Case &c : cases) {
        if (c.folder) {
            std::filesystem::create_directory(dir_.File(c.name));
        } else {
            dir_.Write(c.name, "left");
        }
    }
    for (const bool unnamed : {true, false}) {
        Seams().saveNoUnnamedFile = !unnamed;
        ASSERT_TRUE(Replace(dir_.File("t.xml"), "new"));
        for (const Case &c : cases) {
            EXPECT_EQ(std::filesystem::exists(dir_.File(c.name)), !c.swept) << c.name;
        }
    }
}

} // namespace
