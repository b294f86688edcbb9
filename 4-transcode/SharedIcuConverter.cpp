#include "4-transcode/SharedIcuConverter.h"

#include "4-transcode/TqwiUcConverter.h"

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

} // namespace ostak
