#include "tests/TestSupport.h"

#include "2-core/OstakGlobalInit.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace ostak_test {

std::vector<LogRecord> &Log() {
    static std::vector<LogRecord> records;
    return records;
}

void RecordLog(int32_t number, const char *text, const char *func, int32_t line, int32_t level) {
    Log().push_back(LogRecord{number, text, func, line, level});
}

uint32_t AnswerMerge(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *) {
    return 0;
}

int32_t AnswerConf(int32_t) {
    return 0;
}

std::string SourceRoot() {
    return OSTAK_SOURCE_DIR;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostak-test-XXXXXX").string();
    char *made = mkdtemp(pattern.data());
    if (made == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = made;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string &name, const std::string &content) const {
    const std::string full = File(name);
    std::ofstream out(full, std::ios::binary);
    out << content;
    return full;
}

namespace {
int32_t Init(bool readOnly, const std::string &dir, const std::string &name) {
    const std::string root = SourceRoot();
    return xfeOstakGlobalInit(readOnly ? 1 : 0, RecordLog, AnswerMerge, AnswerConf, root.c_str(),
                              static_cast<uint32_t>(root.size()), dir.c_str(),
                              static_cast<uint32_t>(dir.size()), name.c_str(),
                              static_cast<uint32_t>(name.size()), 0);
}
} // namespace

int32_t InitFull(const std::string &dir, const std::string &name) {
    return Init(false, dir, name);
}

int32_t InitReadOnly(const std::string &dir, const std::string &name) {
    return Init(true, dir, name);
}

void OstakTest::SetUp() {
    ostak::GlobalTerm();
    ostak::ResetGlobals();
    ostak::ResetSeams();
    Log().clear();
    liveAtStart_ = ostak::LiveAllocations();
}

void OstakTest::TearDown() {
    ostak::ResetSeams();
    ostak::GlobalTerm();
    ostak::ResetGlobals();
    EXPECT_EQ(ostak::LiveAllocations(), liveAtStart_) << "the test leaked library allocations";
}

} // namespace ostak_test
