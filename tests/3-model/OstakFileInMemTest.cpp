// The rule-file object: its defaults, its fields, and the check of its file's status.
#include "tests/support/Fixtures.h"

#include "3-model/OstakFileInMem.h"

#include <cstring>
#include <sys/stat.h>

using namespace ostak;
using namespace ostak_test;

namespace {

class FileInMemObject : public InitialisedTest {};

TEST_F(FileInMemObject, NewObjectHasItsDefaults) {
    const char path[] = "/some/dir/rules.xmlTRAILING";
    FilePtr file(OstakFileInMem::Create(OstakFileInMem::kKindScript, path, 19));
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(file->GetFileFullPath(), "/some/dir/rules.xml") << "only the given characters, NUL added";
    EXPECT_EQ(file->Kind(), 1);
    EXPECT_EQ(Describe(*file), "AED") << "no version, not saved, no applications";
    EXPECT_EQ(file->LoadResult(), -1);
    EXPECT_EQ(file->FileStatCode(), -1);
    const struct stat zero = {};
    EXPECT_EQ(std::memcmp(&file->FileStatRecord(), &zero, sizeof zero), 0);
}

TEST_F(FileInMemObject, FieldsKeepWhatTheyAreGiven) {
    FilePtr file(OstakFileInMem::Create(0, "p", 1));
    ASSERT_NE(file, nullptr);
    file->SetInstallationVersion(7);
    file->SetLoadResult(23);
    file->SetSaved(true);
    ASSERT_EQ(file->SetVersionText("7.6xx", 3), 0);
    EXPECT_EQ(Describe(*file), "AED version='7.6' installation=7 saved");
    EXPECT_EQ(file->LoadResult(), 23);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(file->SetVersionText("7.5", 3), OSTAK_E_NO_MEMORY);
    EXPECT_EQ(Describe(*file), "AED version='7.6' installation=7 saved");
}

TEST_F(FileInMemObject, ObtainFileStatChecksTheFullPath) {
    struct Case {
        std::string path;
        int32_t rc;
    };
    const Case cases[] = {{dir_.Write("full.xml", "<AED/>"), 0},
                          {dir_.Write("empty.xml", ""), OSTAK_E_FILE_EMPTY},
                          {dir_.path(), OSTAK_E_NOT_REGULAR_FILE},
                          {dir_.File("missing.xml"), OSTAK_E_FILE_MISSING}};
    for (const Case &c : cases) {
        FilePtr file(OstakFileInMem::Create(0, c.path.c_str(), static_cast<int32_t>(c.path.size())));
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->ObtainFileStat(), c.rc) << c.path;
        EXPECT_EQ(file->FileStatCode(), c.rc);
        if (c.rc == 0) {
            EXPECT_EQ(file->FileStatRecord().st_size, 6);
        }
        if (c.rc == OSTAK_E_FILE_MISSING) {
            EXPECT_EQ(file->FileStatRecord().st_mode, 0u) << "a failed check leaves the record zero";
        }
    }
    EXPECT_TRUE(Log().empty());
}

} // namespace
