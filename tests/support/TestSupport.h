// Helpers shared by the tests: a recording log callback and the checks of
// what it heard, temporary folders and files, documents on the shipped head,
// initialisation, and fixtures that leave the process as they found it.
#pragma once

#include "2-core/OstakContext.h"
#include "1-platform/Alloc.h"
#include "1-platform/Seams.h"
#include "2-core/MsgIssue.h"
#include "2-core/OstakGlobals.h"
#include "include/ostak.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace ostak_test {

// ---- the log ----

struct LogRecord {
    int32_t number;
    std::string text;
    std::string func;
    int32_t line;
    int32_t level;
};

// Every message the library hands to the log callback, in order.
std::vector<LogRecord> &Log();
void RecordLog(int32_t number, const char *text, const char *func, int32_t line, int32_t level);

uint32_t AnswerMerge(int32_t, int32_t, int32_t, void *, void *, void *, void *, const char *);
int32_t AnswerConf(int32_t);

// Catalogue numbers of the messages that result codes issue (no memory:
// ostak::kMsgNoMemory).
constexpr int32_t kMsgInvalidArgument = -32594;
constexpr int32_t kMsgDuplicate = -32592;
constexpr int32_t kMsgInvalidName = -32589;
constexpr int32_t kMsgNotInList = -32588;
constexpr int32_t kMsgEmptyText = -32587;
constexpr int32_t kMsgEmptyPrefix = -32586;
constexpr int32_t kMsgEmptySuffix = -32585;
constexpr int32_t kMsgInvalidLevel = -32584;
constexpr int32_t kMsgLineBreak = -32578;
constexpr int32_t kMsgNotInitialised = -32551;

int CountMessages(int32_t number);
// Log records other than the loader's two trace lines.
std::vector<LogRecord> MessagesBeyondTrace();
// The one message of that number (fails the test unless there is exactly one).
const LogRecord *OnlyMessage(int32_t number);
// Asserts the one message of that number: its function, level, and a source
// line in `sourceFile` whose text holds `token` (the issuing statement).
const LogRecord *ExpectMessage(int32_t number, const std::string &func, int32_t level,
                               const std::string &sourceFile, const std::string &token);
// As ExpectMessage, and no other message beyond the trace lines was heard.
void ExpectOnlyMessageAt(int32_t number, const std::string &func, int32_t level,
                         const std::string &sourceFile, const std::string &token);
// Asserts that the log heard exactly one message beyond the trace lines: the
// one that issuing by result code gives for catalogue number `number`.
void ExpectIssuedOnce(int32_t number);

// ---- files ----

// The project's source folder: it holds dat/ with the message catalogue.
std::string SourceRoot();
// The text of line `line` of a source file of the project ("" past its end).
std::string SourceLine(const std::string &relativePath, int32_t line);
// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string &path);
bool FileExists(const std::string &path);

// The shipped document type file: the head of every saved rule file.
std::string Head();
// A document made of the shipped head and `body`.
std::string Doc(const std::string &body);
// The shipped head and `body`, the head declaring UTF-8.
std::string Utf8Doc(const std::string &body);
// The shipped head and `body` as an XML 1.1 document, which may carry
// control characters as character references.
std::string Xml11Doc(const std::string &body);
// `text` with the first `from` replaced by `to` (failing the test when there is none).
std::string Replaced(std::string text, const std::string &from, const std::string &to);
// A document with its own internal subset: `declarations` inside the
// document type declaration of root AED.
std::string DocWithDtd(const std::string &declarations, const std::string &body);

// A fresh folder under the system's temporary folder, removed with its content at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string File(const std::string &name) const { return path_ + "/" + name; }
    // Writes `content` to `name` inside the folder (folders made as needed); returns the full path.
    std::string Write(const std::string &name, const std::string &content) const;
    // The names in the folder.
    std::set<std::string> Entries() const;

  private:
    std::string path_;
};

// The context that an export would hand down now: the process state as the
// test has set it (host name, mode, converter switch, callbacks, paths).
inline ostak::OstakContext TestContext() {
    return ostak::OstakContext::FromGlobals();
}

// ---- initialisation ----

// Initialises over `root` (holding dat/) with the script file `dir`/script.xml
// and the converter switch given; returns the result.
int32_t InitOver(const std::string &root, const std::string &dir, bool readOnly, bool converterSwitch);
// Initialises in full mode (or read-only) over the source root with the script file `dir`/`name`.
int32_t InitFull(const std::string &dir, const std::string &name);
int32_t InitReadOnly(const std::string &dir, const std::string &name);

// ---- fixtures ----

// Base fixture: fresh seams and globals, an empty log; at the end the library
// is terminated and no allocation may be left behind.
class OstakTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    int64_t liveAtStart_ = 0;
    int32_t started_ = 0; // the second the test started in
};

// Not initialised, but the catalogue is registered and the log callback set,
// so that what is issued can be heard.
class CatalogueTest : public OstakTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string resource_;
};

} // namespace ostak_test
