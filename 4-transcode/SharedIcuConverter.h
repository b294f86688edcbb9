// One ICU converter lent to every TqwiUcConverter of one load or save.
//
// Opening and closing an ICU converter costs more than most of the strings a
// rule file holds take to convert, so the reader and the writer each own one
// of these and make their converters with it. Every conversion flushes, which
// leaves the converter's state clean for the next string; a conversion that
// fails leaves it unknown, and the borrower then has it renewed.
//
// The lender opens its converter without a word. Whenever it cannot (ICU not
// loaded yet, or any step of opening failed), it lends nothing and the
// borrower opens its own converter as a standalone one does, which issues
// the same messages as ever, once per converter.
#pragma once

#include "4-transcode/IcuBinding.h"

#include <cstdint>

namespace ostak {

class SharedIcuConverter {
  public:
    // Lends on the ICU path when `icuPath`; on the plain path it lends nothing.
    explicit SharedIcuConverter(bool icuPath) noexcept : icuPath_(icuPath) {}
    ~SharedIcuConverter();
    SharedIcuConverter(const SharedIcuConverter &) = delete;
    SharedIcuConverter &operator=(const SharedIcuConverter &) = delete;

    bool IcuPath() const noexcept { return icuPath_; }

    // The converter to borrow, opened on first need; null when there is none
    // to lend. It stays the lender's: borrowers never close it.
    icu::UConverter *Lend() noexcept;
    // Closes the lent converter, whose state a failed conversion left
    // unknown, and answers a freshly opened one (null: none).
    icu::UConverter *Renew() noexcept;

    // Whether a string of printable ASCII is the same bytes in the model as
    // in UTF-16 units, so that it may cross without a converter: always on
    // the plain path; on the ICU path when the converter's code page is
    // UTF-8, US-ASCII or ISO-8859-1. Asked in silence, and only once ICU is
    // loaded: until then the answer is no, so that strings are converted,
    // which loads ICU (and reports a failure) as ever.
    bool KeepsPrintableAscii() noexcept {
        return asciiKept_ == AsciiKeeping::kUnknown ? AskKeepsPrintableAscii()
                                                    : asciiKept_ == AsciiKeeping::kKept;
    }

  private:
    enum class AsciiKeeping : uint8_t { kUnknown, kKept, kChanged };

    // KeepsPrintableAscii while the answer is not known yet.
    bool AskKeepsPrintableAscii() noexcept;

    bool icuPath_;
    AsciiKeeping asciiKept_ = AsciiKeeping::kUnknown;
    icu::UConverter *converter_ = nullptr;
    // Set once opening failed: from then on the borrowers open their own.
    bool refused_ = false;
};

} // namespace ostak
