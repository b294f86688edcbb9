// Helpers of the transcoding tests: a fixture with the message catalogue and
// the plain path, a stand-in ICU table whose functions can be told to fail,
// and scoped changes of the ICU table and of the C locale.
#pragma once

#include "tests/support/TestSupport.h"

#include "4-transcode/IcuBinding.h"

#include <string>
#include <vector>

namespace ostak_test {

// Catalogue registered, log recorded, plain path (converter switch off, C
// locale), ICU's default converter.
class TranscodeTest : public CatalogueTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Asserts that the log heard exactly one message, and that it is this one.
    void ExpectOnlyMessage(int32_t number, const std::string &text, const std::string &func, int32_t line,
                           int32_t level);
};

// Puts another ICU table in force for the life of the object (null: ICU not loaded).
class ScopedIcuTable {
  public:
    explicit ScopedIcuTable(const ostak::IcuEntryPoints *table);
    ~ScopedIcuTable();
    ScopedIcuTable(const ScopedIcuTable &) = delete;
    ScopedIcuTable &operator=(const ScopedIcuTable &) = delete;

  private:
    const ostak::IcuEntryPoints *previous_;
};

// Sets LC_CTYPE for the life of the object; `ok()` tells whether the locale exists.
class ScopedCtype {
  public:
    explicit ScopedCtype(const char *locale);
    ~ScopedCtype();
    ScopedCtype(const ScopedCtype &) = delete;
    ScopedCtype &operator=(const ScopedCtype &) = delete;
    bool ok() const { return ok_; }

  private:
    std::string previous_;
    bool ok_;
};

// What the stand-in ICU does and what it was asked.
struct FakeIcuState {
    // Failures to answer (0: success).
    ostak::icu::UErrorCode openError = 0;
    bool openReturnsNull = false;
    ostak::icu::UErrorCode getNameError = 0;
    const char *name = "UTF-8";
    ostak::icu::UErrorCode setToError = 0;
    ostak::icu::UErrorCode setFromError = 0;
    ostak::icu::UErrorCode toUnicodeError = 0;
    ostak::icu::UErrorCode fromUnicodeError = 0;
    const char *errorName = "U_FAKE_ERROR";
    int8_t minCharSize = 1;
    int8_t maxCharSize = 1;

    // Calls seen.
    int openCalls = 0;
    int closeCalls = 0;
    ostak::icu::UConverterToUCallback toAction = nullptr;
    const void *toContext = nullptr;
    ostak::icu::UConverterFromUCallback fromAction = nullptr;
    const void *fromContext = nullptr;
    long toUnicodeRoom = -1;   // units between target and target limit
    long fromUnicodeRoom = -1; // bytes likewise
    int flushSeen = -1;
    bool offsetsSeen = false;

    // Writes of the substitution callbacks.
    struct Write {
        void *args;
        std::vector<int32_t> values;
        int32_t offsetIndex;
    };
    std::vector<Write> writes;
};

FakeIcuState &FakeIcu();
// The stand-in table (every entry a fake); FakeIcu() is reset by this call.
const ostak::IcuEntryPoints *FakeIcuTable();

} // namespace ostak_test
