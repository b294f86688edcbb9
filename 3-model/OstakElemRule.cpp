#include "3-model/OstakElemRule.h"

#include "include/ostak.h"

#include <cstring>
#include <new>

namespace ostak {

namespace {

int32_t SetCheckedText(OsStr *field, const char *chars) noexcept {
    const int32_t rc = CheckText(chars);
    if (rc != OSTAK_OK) {
        return rc;
    }
    const int32_t length = static_cast<int32_t>(std::strlen(chars));
    return xfvOsStrAssignFromCharArrayIgnoringNulls(field, chars, length) ? OSTAK_OK : OSTAK_E_NO_MEMORY;
}

} // namespace

OstakElemRule::OstakElemRule() noexcept
    : text_(xtOsStrCommonEmptyStr), prefix_(xtOsStrCommonEmptyStr), suffix_(xtOsStrCommonEmptyStr) {}

OstakElemRule *OstakElemRule::Create() noexcept {
    return new (std::nothrow) OstakElemRule();
}

OstakElemRule::~OstakElemRule() {
    xfvOsStrDestruct(&suffix_);
    xfvOsStrDestruct(&prefix_);
    xfvOsStrDestruct(&text_);
}

OstakElemRule *OstakElemRule::Clone() const noexcept {
    OstakElemRule *copy = Create();
    if (copy == nullptr) {
        return nullptr;
    }
    if (copy->CopyValuesFrom(*this) != OSTAK_OK) {
        delete copy;
        return nullptr;
    }
    return copy;
}

int32_t OstakElemRule::SetText(const char *chars) noexcept {
    return SetCheckedText(&text_, chars);
}

int32_t OstakElemRule::SetPrefix(const char *chars) noexcept {
    return SetCheckedText(&prefix_, chars);
}

int32_t OstakElemRule::SetSuffix(const char *chars) noexcept {
    return SetCheckedText(&suffix_, chars);
}

int32_t OstakElemRule::Validate() const noexcept {
    if (OsStrIsEmpty(NameStr())) {
        return OSTAK_E_INVALID_NAME;
    }
    if (useText_ != 0) {
        if (OsStrIsEmpty(text_)) {
            return OSTAK_E_EMPTY_TEXT;
        }
    } else {
        if (OsStrIsEmpty(prefix_)) {
            return OSTAK_E_EMPTY_PREFIX;
        }
        if (OsStrIsEmpty(suffix_)) {
            return OSTAK_E_EMPTY_SUFFIX;
        }
    }
    if (level_ < kLevelDisabled || level_ > kLevelError) {
        return OSTAK_E_INVALID_LEVEL;
    }
    return OSTAK_OK;
}

bool OstakElemRule::Equals(const OstakElemRule &other) const noexcept {
    return SameBytes(NameStr(), other.NameStr()) && SameBytes(text_, other.text_) &&
           SameBytes(prefix_, other.prefix_) && SameBytes(suffix_, other.suffix_) && level_ == other.level_ &&
           matchCase_ == other.matchCase_ && useText_ == other.useText_ &&
           failIfNotFound_ == other.failIfNotFound_ && type_ == other.type_;
}

int32_t OstakElemRule::CopyValuesFrom(const OstakElemRule &source) noexcept {
    if (&source == this) {
        return OSTAK_OK;
    }
    // Copy every string first, so that a failure leaves the target untouched;
    // a name that fits the record is copied straight into it afterwards.
    const bool nameFits = NameFitsRecord(source.NameStr());
    OsStr copies[4] = {xtOsStrCommonEmptyStr, xtOsStrCommonEmptyStr, xtOsStrCommonEmptyStr, xtOsStrCommonEmptyStr};
    const OsStr *sources[4] = {&source.NameStr(), &source.text_, &source.prefix_, &source.suffix_};
    for (int i = nameFits ? 1 : 0; i < 4; ++i) {
        if (!xfvOsStrConstructByStrDataIgnoringNulls(&copies[i], *sources[i])) {
            for (int made = 0; made < i; ++made) {
                xfvOsStrDestruct(&copies[made]);
            }
            return OSTAK_E_NO_MEMORY;
        }
    }
    if (nameFits) {
        AssignName(source.NameStr());
    } else {
        TakeName(copies[0]);
    }
    OsStr *targets[3] = {&text_, &prefix_, &suffix_};
    for (int i = 0; i < 3; ++i) {
        xfvOsStrDestruct(targets[i]);
        *targets[i] = copies[i + 1];
    }
    level_ = source.level_;
    matchCase_ = source.matchCase_;
    useText_ = source.useText_;
    failIfNotFound_ = source.failIfNotFound_;
    type_ = source.type_;
    return OSTAK_OK;
}

} // namespace ostak
