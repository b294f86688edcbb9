// Conversion of one text between the process's 8-bit code page and UTF-16.
//
// The XML reader and writer make one converter for each string (or group of
// strings) that crosses between the rule model and the XML library, read the
// result through GetUc or GetMb, and destroy the converter at once: a
// converted string lives no longer than its converter. On the ICU path they
// borrow the one ICU converter of their load or save (SharedIcuConverter.h)
// instead of opening one each.
//
// Two paths: the plain path maps bytes and UTF-16 units one to one; the ICU
// path converts through ICU's default converter with the library's own
// substitution rules (IcuSubstitution.h), ICU being loaded on first need.
// The caller names the path when it makes the converter, and every
// conversion of that converter takes it: the reader and the writer take it
// from their load's or save's context (OstakContext::icuPath), once, so that
// every string of one load or save goes the same way.
//
// Nothing here fails toward the caller: a conversion that fails leaves its
// side empty and not valid (and ICU failures are issued as messages). A
// conversion that failed for want of memory is told apart by OutOfMemory(),
// so that callers can report it as result 7. On the plain path a character
// beyond U+00FF has no byte: ToMb then fails, in silence, and
// Unrepresentable() tells which character it was and where, so that the
// caller can refuse the text instead of keeping a changed one.
#pragma once

#include "4-transcode/IcuBinding.h"
#include "4-transcode/SharedIcuConverter.h"

#include <cstdint>

namespace ostak {

// Source lines that travel with the converter's messages.
constexpr int32_t kLineConstructUcConverter = 253;
constexpr int32_t kLineToUcOnOtherOs = 314;
constexpr int32_t kLineToMbOnOtherOs = 379;

class TqwiUcConverter {
  public:
    // A converter on the ICU path when `icuPath`, else on the plain path. On
    // the ICU path: loads ICU if needed and opens a converter. Never fails; a
    // failure leaves the object without ICU converter and issues a message.
    explicit TqwiUcConverter(bool icuPath) noexcept;
    // A converter on `shared`'s path that borrows `shared`'s ICU converter,
    // or, when it lends none, opens its own as the one above does.
    explicit TqwiUcConverter(SharedIcuConverter &shared) noexcept;
    ~TqwiUcConverter();
    TqwiUcConverter(const TqwiUcConverter &) = delete;
    TqwiUcConverter &operator=(const TqwiUcConverter &) = delete;

    // Converts `count` bytes into the wide buffer. Afterwards UcValid()
    // tells whether that succeeded, and MbValid() is false.
    void ToUc(const char *bytes, uint32_t count) noexcept;
    // Converts `count` UTF-16 units into the narrow buffer. Afterwards
    // MbValid() tells whether that succeeded, and UcValid() is false.
    void ToMb(const char16_t *units, uint32_t count) noexcept;
    // As ToMb, except that on the plain path each character beyond U+00FF
    // becomes '?': for texts that are not the user's data, such as the
    // parser's own messages.
    void ToMbSubstituting(const char16_t *units, uint32_t count) noexcept;

    // The text as NUL-terminated UTF-16, converted from the narrow form when
    // only that is valid; an empty string (not owned by the object) when
    // neither form is valid or the conversion fails.
    const char16_t *GetUc() noexcept;
    // The text as NUL-terminated 8-bit characters, likewise.
    const char *GetMb() noexcept;

    uint32_t UcLength() const noexcept { return wideLength_; }
    uint32_t MbLength() const noexcept { return narrowLength_; }
    bool UcValid() const noexcept { return wideValid_; }
    bool MbValid() const noexcept { return narrowValid_; }
    bool IcuPath() const noexcept { return icuPath_; }
    bool HasIcuConverter() const noexcept { return converter_ != nullptr || lender_ != nullptr; }
    // Whether the last conversion failed because no buffer could be had.
    bool OutOfMemory() const noexcept { return outOfMemory_; }
    // The code point of the character that made the last ToMb fail on the
    // plain path (a surrogate pair counts as the one character it stands
    // for), or -1; UnrepresentableIndex() is the index of its first unit.
    int64_t Unrepresentable() const noexcept { return unrepresentable_; }
    uint32_t UnrepresentableIndex() const noexcept { return unrepresentableIndex_; }

    // Loads ICU and fills its entry-point table; answers whether it is loaded.
    static bool UcConverterInitDynam() noexcept;

    // Opens ICU's default converter and gives it the substitution callbacks.
    // Answers the converter, or null when it cannot be opened; the first ICU
    // failure is recorded in the three out values (which start as 0,
    // "no error" and "no function"). A converter whose name or callbacks
    // failed is answered all the same.
    static icu::UConverter *ConstructUcConverter(icu::UErrorCode *errorCode, const char **errorName,
                                                 const char **functionName) noexcept;

    // The ICU path of ToUc and ToMb.
    void ToUcOnOtherOs(const char *bytes, uint32_t count) noexcept;
    void ToMbOnOtherOs(const char16_t *units, uint32_t count) noexcept;

  private:
    // Opens the converter's own ICU converter (the ICU path's construction).
    void OpenOwnConverter() noexcept;
    // The ICU converter to convert with: the lender's, or the object's own.
    icu::UConverter *IcuConverter() noexcept;
    // After a failed ICU conversion: a borrowed converter is renewed.
    void AfterIcuFailure() noexcept;
    // ToMb, or with `substitute` ToMbSubstituting.
    void ConvertToMb(const char16_t *units, uint32_t count, bool substitute) noexcept;
    bool ReserveWide(uint64_t units) noexcept;
    bool ReserveNarrow(uint64_t bytes) noexcept;
    void FailWide() noexcept;
    void FailNarrow() noexcept;

    bool icuPath_;
    char16_t *wide_ = nullptr;
    char *narrow_ = nullptr;
    uint32_t wideCapacity_ = 0;
    uint32_t narrowCapacity_ = 0;
    uint32_t wideLength_ = 0;
    uint32_t narrowLength_ = 0;
    bool wideValid_ = false;
    bool narrowValid_ = false;
    icu::UConverter *converter_ = nullptr; // the object's own
    SharedIcuConverter *lender_ = nullptr; // non-null while it borrows instead
    bool outOfMemory_ = false;
    int64_t unrepresentable_ = -1;
    uint32_t unrepresentableIndex_ = 0;
};

// For tests: the name of the converter that the ICU path opens instead of
// ICU's default one (null: the default converter).
void SetConverterNameForTests(const char *name) noexcept;

} // namespace ostak
