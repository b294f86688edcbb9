// Helpers shared by the tests: a recording log callback, temporary folders,
// and a fixture that leaves the process as it found it.
#pragma once

#include "2-core/OstakContext.h"
#include "2-core/OstakGlobals.h"
#include "include/ostak.h"
#include "1-platform/Alloc.h"
#include "1-platform/Seams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostak_test {

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

// The project's source folder: it holds dat/ with the message catalogue.
std::string SourceRoot();

// A fresh folder under the system's temporary folder, removed with its content at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string File(const std::string &name) const { return path_ + "/" + name; }
    // Writes `content` to `name` inside the folder; returns the full path.
    std::string Write(const std::string &name, const std::string &content) const;

  private:
    std::string path_;
};

// The context that an export would hand down now: the process state as the
// test has set it (host name, mode, converter switch, callbacks, paths).
inline ostak::OstakContext TestContext() {
    return ostak::OstakContext::FromGlobals();
}

// Initialises in full mode over the source root with the script file
// `dir`/`name`; returns the result.
int32_t InitFull(const std::string &dir, const std::string &name);
int32_t InitReadOnly(const std::string &dir, const std::string &name);

// Base fixture: fresh seams and globals, an empty log; at the end the library
// is terminated and no allocation may be left behind.
class OstakTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    int64_t liveAtStart_ = 0;
};

} // namespace ostak_test
