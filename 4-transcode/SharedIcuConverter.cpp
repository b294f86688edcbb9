#include "4-transcode/SharedIcuConverter.h"

#include "4-transcode/TqwiUcConverter.h"

#include <cstring>

namespace ostak {

SharedIcuConverter::~SharedIcuConverter() {
    if (converter_ != nullptr) {
        IcuTable()->ucnv_close(converter_);
    }
}

icu::UConverter *SharedIcuConverter::Lend() noexcept {
    if (converter_ != nullptr || !icuPath_ || refused_) {
        return converter_;
    }
    // Loading ICU, and reporting that it failed, is left to the borrower.
    if (!IcuTableLoaded()) {
        return nullptr;
    }
    icu::UErrorCode code = icu::U_ZERO_ERROR;
    const char *errorName = nullptr;
    const char *functionName = nullptr;
    icu::UConverter *opened = TqwiUcConverter::ConstructUcConverter(&code, &errorName, &functionName);
    if (icu::Failed(code)) {
        if (opened != nullptr) {
            IcuTable()->ucnv_close(opened);
        }
        refused_ = true;
        return nullptr;
    }
    converter_ = opened;
    return converter_;
}

icu::UConverter *SharedIcuConverter::Renew() noexcept {
    if (converter_ != nullptr) {
        IcuTable()->ucnv_close(converter_);
        converter_ = nullptr;
    }
    return Lend();
}

bool SharedIcuConverter::AskKeepsPrintableAscii() noexcept {
    if (!icuPath_) {
        asciiKept_ = AsciiKeeping::kKept;
        return true;
    }
    const IcuEntryPoints *icu = IcuTableLoaded() ? IcuTable() : nullptr;
    icu::UConverter *converter = icu != nullptr ? Lend() : nullptr;
    if (converter == nullptr) {
        return false;
    }
    icu::UErrorCode error = icu::U_ZERO_ERROR;
    const char *name = icu->ucnv_getName(converter, &error);
    const bool kept =
        name != nullptr && (std::strcmp(name, "UTF-8") == 0 || std::strcmp(name, "US-ASCII") == 0 ||
                            std::strcmp(name, "ISO-8859-1") == 0);
    asciiKept_ = kept ? AsciiKeeping::kKept : AsciiKeeping::kChanged;
    return kept;
}

} // namespace ostak
