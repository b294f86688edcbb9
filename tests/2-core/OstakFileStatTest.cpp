// The file status check: what a missing, empty, present or unreadable file gives.
#include "tests/support/TestSupport.h"

#include "2-core/OstakFileStat.h"

#include <cerrno>
#include <sys/stat.h>

using namespace ostak;
using namespace ostak_test;

namespace {

class FrameFileStatTest : public CatalogueTest {};

TEST_F(FrameFileStatTest, StatusOfMissingDirectoryEmptyAndPresentFiles) {
    TempDir dir;
    const std::string empty = dir.Write("empty.xml", "");
    const std::string full = dir.Write("full.xml", "<x/>");
    struct Case {
        std::string path;
        int32_t code;
    };
    const Case cases[] = {{dir.File("missing.xml"), 24}, {dir.path(), 21}, {empty, 22}, {full, 0}};
    for (const Case &c : cases) {
        OstakFileStat status;
        EXPECT_EQ(status.code, -1);
        EXPECT_EQ(status.Obtain(c.path.c_str()), c.code) << c.path;
        EXPECT_EQ(status.code, c.code);
        if (c.code == 24) {
            EXPECT_EQ(status.record.st_mode, 0u) << "the record is zeroed after a failed check";
        }
    }
    EXPECT_TRUE(Log().empty()) << "none of these is worth a message";
    OstakFileStat status;
    status.Obtain(full.c_str());
    EXPECT_EQ(status.record.st_size, 4);
}

TEST_F(FrameFileStatTest, UnreadableStatusGivesTwentyAndItsMessage) {
    TempDir dir;
    const std::string file = dir.Write("plain", "x");
    OstakFileStat status;
    status.Obtain(file.c_str());                             // fills the record
    EXPECT_EQ(status.Obtain((file + "/below").c_str()), 20); // ENOTDIR, not "no such file"
    EXPECT_EQ(status.record.st_size, 0) << "the record is zeroed";
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, -32570);
    EXPECT_EQ(Log()[0].func, "OstakFileInMem::ObtainFileStat");
    EXPECT_EQ(Log()[0].line, 42);
    EXPECT_EQ(Log()[0].level, 6);
    EXPECT_EQ(Log()[0].text, "\"_stat32\" failed, rc=-1, errno=" + std::to_string(ENOTDIR));
}

} // namespace
