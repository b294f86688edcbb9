#include "tests/support/TestSupport.h"

#include "1-platform/textcat.h"
#include "2-core/OstakGlobalInit.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
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

int CountMessages(int32_t number) {
    int count = 0;
    for (const LogRecord &record : Log()) {
        count += record.number == number ? 1 : 0;
    }
    return count;
}

std::vector<LogRecord> MessagesBeyondTrace() {
    std::vector<LogRecord> kept;
    for (const LogRecord &record : Log()) {
        if (!(record.number == 0 && record.level == ostak::kLevelTrace)) {
            kept.push_back(record);
        }
    }
    return kept;
}

const LogRecord *OnlyMessage(int32_t number) {
    const LogRecord *found = nullptr;
    int count = 0;
    for (const LogRecord &record : Log()) {
        if (record.number == number) {
            found = &record;
            ++count;
        }
    }
    EXPECT_EQ(count, 1) << "message " << number << " heard exactly once";
    return count == 1 ? found : nullptr;
}

const LogRecord *ExpectMessage(int32_t number, const std::string &func, int32_t level,
                               const std::string &sourceFile, const std::string &token) {
    const LogRecord *record = OnlyMessage(number);
    if (record == nullptr) {
        return nullptr;
    }
    EXPECT_EQ(record->func, func);
    EXPECT_EQ(record->level, level);
    EXPECT_NE(SourceLine(sourceFile, record->line).find(token), std::string::npos)
        << sourceFile << ":" << record->line << " is not the issuing statement of " << token;
    return record;
}

void ExpectOnlyMessageAt(int32_t number, const std::string &func, int32_t level,
                         const std::string &sourceFile, const std::string &token) {
    EXPECT_EQ(MessagesBeyondTrace().size(), 1u) << "expected only message " << number;
    ExpectMessage(number, func, level, sourceFile, token);
}

void ExpectIssuedOnce(int32_t number) {
    const std::vector<LogRecord> messages = MessagesBeyondTrace();
    ASSERT_EQ(messages.size(), 1u) << "expected only message " << number;
    EXPECT_EQ(messages[0].number, number);
    EXPECT_EQ(messages[0].func, "xfeOstakIssueMsgByRc");
    EXPECT_EQ(messages[0].line, ostak::kLineIssueByRcCatalogue);
    EXPECT_EQ(messages[0].level, ostak::kLevelError);
    EXPECT_EQ(messages[0].text.find("FormatGenericMessage failed"), std::string::npos);
}

std::string SourceRoot() {
    return OSTAK_SOURCE_DIR;
}

std::string SourceLine(const std::string &relativePath, int32_t line) {
    std::ifstream in(SourceRoot() + "/" + relativePath);
    std::string text;
    for (int32_t at = 1; std::getline(in, text); ++at) {
        if (at == line) {
            return text;
        }
    }
    return "";
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool FileExists(const std::string &path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::string Head() {
    return ReadFile(SourceRoot() + "/dat/OstakDtd.xml");
}

std::string Doc(const std::string &body) {
    return Head() + body;
}

std::string Utf8Doc(const std::string &body) {
    return Replaced(Head(), "encoding=\"ISO-8859-1\"", "encoding=\"UTF-8\"") + body;
}

std::string Xml11Doc(const std::string &body) {
    return Replaced(Head(), "version=\"1.0\"", "version=\"1.1\"") + body;
}

std::string Replaced(std::string text, const std::string &from, const std::string &to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string DocWithDtd(const std::string &declarations, const std::string &body) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE AED [\n" + declarations + "\n]>\n" +
           body;
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
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path(), ignored);
    std::ofstream out(full, std::ios::binary);
    out << content;
    return full;
}

std::set<std::string> TempDir::Entries() const {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(path_)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

namespace {
int32_t Init(const std::string &root, const std::string &dir, const std::string &name, bool readOnly,
             bool converterSwitch) {
    return xfeOstakGlobalInit(readOnly ? 1 : 0, RecordLog, AnswerMerge, AnswerConf, root.c_str(),
                              static_cast<uint32_t>(root.size()), dir.c_str(),
                              static_cast<uint32_t>(dir.size()), name.c_str(),
                              static_cast<uint32_t>(name.size()), converterSwitch ? 1 : 0);
}
} // namespace

int32_t InitOver(const std::string &root, const std::string &dir, bool readOnly, bool converterSwitch) {
    return Init(root, dir, "script.xml", readOnly, converterSwitch);
}

int32_t InitFull(const std::string &dir, const std::string &name) {
    return Init(SourceRoot(), dir, name, false, false);
}

int32_t InitReadOnly(const std::string &dir, const std::string &name) {
    return Init(SourceRoot(), dir, name, true, false);
}

void OstakTest::SetUp() {
    ostak::GlobalTerm();
    ostak::ResetGlobals();
    ostak::ResetSeams();
    Log().clear();
    liveAtStart_ = ostak::LiveAllocations();
    started_ = static_cast<int32_t>(std::time(nullptr));
}

void OstakTest::TearDown() {
    ostak::ResetSeams();
    ostak::GlobalTerm();
    ostak::ResetGlobals();
    EXPECT_EQ(ostak::LiveAllocations(), liveAtStart_) << "the test leaked library allocations";
}

void CatalogueTest::SetUp() {
    OstakTest::SetUp();
    resource_ = SourceRoot() + "/dat/Ostak_res";
    ASSERT_EQ(ostak::AddResourceFile(resource_.c_str()), 0);
    ostak::Globals().logCallback = RecordLog;
}

void CatalogueTest::TearDown() {
    ostak::RemoveResourceFile(resource_.c_str());
    OstakTest::TearDown();
}

} // namespace ostak_test
