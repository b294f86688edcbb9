// Saving never harms what is not a rule file, and a save that is killed
// leaves the former file and nothing else: no temporary for long.
#include "tests/support/Fixtures.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ostak;
using namespace ostak_test;

namespace {

constexpr const char *kSaveSource = "5-format/OstakFileInMemSave.cpp";

class LoadSaveSafety : public LoadSaveTest {
  protected:
    // A rule file object holding two applications.
    OstakFileInMem &TwoApplications(int32_t kind, const std::string &path) {
        OstakFileInMem &file = Make(kind, path);
        Fill(file, FileSpec{"",
                            3,
                            false,
                            {ApplSpec{"Alpha", {R("r1", "one")}, 0, 1, "h", 1},
                             ApplSpec{"Beta", {R("r2", "two")}, 0, 1, "h", 2}}});
        return file;
    }
};

// Makes, at `path`, something that is not a regular file.
void MakeFifo(const std::string &path) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
}

void MakeSocket(const std::string &path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    close(fd);
}

void MakeFolder(const std::string &path) {
    ASSERT_TRUE(std::filesystem::create_directory(path)); // empty: removing would succeed
}

// The file type that `path` names, without following a link.
mode_t TypeOf(const std::string &path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 ? (status.st_mode & S_IFMT) : 0;
}

TEST_F(LoadSaveSafety, OnlyARegularFileIsWrittenOrRemoved) {
    struct Case {
        const char *name;
        void (*make)(const std::string &);
        mode_t type;
        const char *typeName;
        bool throughLink;
    };
    const Case cases[] = {
        {"p.fifo", MakeFifo, S_IFIFO, "a FIFO", false},
        {"p.fifo", MakeFifo, S_IFIFO, "a FIFO", true},
        {"p.sock", MakeSocket, S_IFSOCK, "a socket", false},
        {"p.dir", MakeFolder, S_IFDIR, "a folder", false},
        {"p.dir", MakeFolder, S_IFDIR, "a folder", true},
    };
    for (const Case &c : cases) {
        for (const bool removal : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (c.throughLink ? " through a link" : "") +
                         (removal ? ", removal" : ", save"));
            const std::string thing = dir_.File(c.name);
            c.make(thing);
            const std::string target = c.throughLink ? dir_.File("link.xml") : thing;
            if (c.throughLink) {
                ASSERT_EQ(symlink(c.name, target.c_str()), 0);
            }
            OstakFileInMem &file = removal ? Make(OstakFileInMem::kKindPlain, target)
                                           : TwoApplications(OstakFileInMem::kKindScript, target);
            const std::set<std::string> before = dir_.Entries();
            Log().clear();
            EXPECT_EQ(file.Save(false, nullptr, 0, true, TestContext()),
                      removal ? OSTAK_E_REMOVE_FILE : OSTAK_E_WRITE);

            const std::string action = removal ? "Removing file" : "Writing";
            const std::string what = c.throughLink ? "it leads to \"" + thing + "\", " + c.typeName
                                                   : std::string("it is ") + c.typeName;
            const LogRecord *message =
                ExpectMessage(kMsgText, "OstakFileInMem::Save", kLevelError, kSaveSource, "IssueNotRegular");
            ASSERT_NE(message, nullptr);
            EXPECT_EQ(message->text, action + " \"" + target + "\" failed: " + what + ", not a regular file");
            EXPECT_EQ(Log().size(), 1u);
            EXPECT_EQ(TypeOf(thing), c.type);
            if (c.throughLink) {
                EXPECT_EQ(TypeOf(target), static_cast<mode_t>(S_IFLNK));
            }
            EXPECT_EQ(dir_.Entries(), before) << "no temporary, no lock file left";
            EXPECT_FALSE(file.Saved());
            std::filesystem::remove_all(thing);
            std::filesystem::remove(target);
        }
    }
}

// A save killed halfway through the body leaves the former file, byte for
// byte. An unnamed new file vanishes with the process; a named one stays until
// the next save in that folder, which removes it, and only it, along with the
// stale lock file.
TEST_F(LoadSaveSafety, ASaveKilledHalfwayLeavesTheFormerFileAndTheNextSaveSweeps) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed new file" : "named new file");
        const std::string former = Doc("<AED TqVersion=\"7.6\">\r\n</AED>\r\n");
        const std::string path = dir_.Write("rules.xml", former);
        const std::string living = ".ostak-" + std::to_string(getpid()) + "-4000000000.tmp";
        dir_.Write(living, "someone's save in progress");
        OstakFileInMem &file = TwoApplications(OstakFileInMem::kKindPlain, path);
        Seams().saveNoUnnamedFile = !unnamed;
        Seams().saveMidBody = [] { raise(SIGKILL); };
        const pid_t child = fork();
        if (child == 0) {
            file.Save(false, nullptr, 0, true, TestContext());
            _exit(0); // not reached: the seam kills the process
        }
        ASSERT_GT(child, 0);
        Seams().saveMidBody = nullptr;
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "killed in the middle of the body";

        EXPECT_EQ(ReadFile(path), former);
        std::set<std::string> expected = {"rules.xml", ".rules.xml.lock", living};
        const std::string leftover = ".ostak-" + std::to_string(child) + "-";
        std::string leftName;
        for (const std::string &name : dir_.Entries()) {
            if (name.rfind(leftover, 0) == 0) {
                leftName = name;
                EXPECT_NE(ReadFile(dir_.File(name)).find("Name=\"Alpha\""), std::string::npos)
                    << "the body was half written";
            }
        }
        EXPECT_EQ(leftName.empty(), unnamed);
        if (!unnamed) {
            expected.insert(leftName);
        }
        EXPECT_EQ(dir_.Entries(), expected);

        Seams().lockWaitMilliseconds = 0; // the dead process's lock file is free to take
        Log().clear();
        ASSERT_EQ(file.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
        EXPECT_TRUE(Log().empty());
        EXPECT_EQ(dir_.Entries(), (std::set<std::string>{"rules.xml", living}));
        EXPECT_NE(ReadFile(path).find("Name=\"Beta\""), std::string::npos);
        std::filesystem::remove(dir_.File(living));
        ResetSeams();
    }
}

} // namespace
