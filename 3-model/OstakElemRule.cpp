#include "3-model/OstakElemRule.h"

#include "include/ostak.h"

#include <cstring>
#include <new>

namespace ostak {

OstakElemRule::OstakElemRule() noexcept
    : text_(xtOsStrCommonEmptyStr), prefix_(xtOsStrCommonEmptyStr), suffix_(xtOsStrCommonEmptyStr) {}

OstakElemRule *OstakElemRule::Create() noexcept {
    return new (std::nothrow) OstakElemRule();
}

OstakElemRule::~OstakElemRule() {
    ReleaseText(&suffix_);
    ReleaseText(&prefix_);
    ReleaseText(&text_);
}

int32_t OstakElemRule::SetCheckedText(OsStr *field, const char *chars) noexcept {
    const int32_t rc = CheckText(chars);
    if (rc != OSTAK_OK) {
        return rc;
    }
    const std::size_t length = std::strlen(chars);
    if (length > static_cast<std::size_t>(INT32_MAX)) {
        return OSTAK_E_NO_MEMORY;
    }
    return StoreText(field, chars, static_cast<int32_t>(length)) ? OSTAK_OK : OSTAK_E_NO_MEMORY;
}

bool OstakElemRule::StoreText(OsStr *field, const char *chars, int32_t count) noexcept {
    if (FitsBuffer(count) && (HoldsBuffer(*field) || BufferFree())) {
        // memmove: `chars` may be the buffer itself. A heap value of the field
        // is released only after its characters were copied.
        std::memmove(inlineText_.text, chars, static_cast<std::size_t>(count));
        inlineText_.text[count] = '\0';
        inlineText_.length = count;
        if (!HoldsBuffer(*field)) {
            xfvOsStrDestruct(field);
            field->psz = inlineText_.text;
        }
        return true;
    }
    OsStr value;
    if (!xfvOsStrConstructFromCharArrayIgnoringNulls(&value, chars, count)) {
        return false;
    }
    ReleaseText(field);
    *field = value;
    return true;
}

void OstakElemRule::ReleaseText(OsStr *field) noexcept {
    if (!HoldsBuffer(*field)) {
        xfvOsStrDestruct(field);
    }
    *field = xtOsStrCommonEmptyStr;
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
    // Copy every string that needs memory first, so that a failure leaves
    // the target untouched; a name, and the first text, that fit the record
    // are copied straight into it afterwards.
    const bool nameFits = NameFitsRecord(source.NameStr());
    const OsStr *texts[3] = {&source.text_, &source.prefix_, &source.suffix_};
    int inBuffer = -1;
    for (int i = 0; i < 3 && inBuffer < 0; ++i) {
        if (FitsBuffer(OsStrLength(*texts[i]))) {
            inBuffer = i;
        }
    }
    OsStr copies[4] = {xtOsStrCommonEmptyStr, xtOsStrCommonEmptyStr, xtOsStrCommonEmptyStr, xtOsStrCommonEmptyStr};
    const OsStr *sources[4] = {&source.NameStr(), texts[0], texts[1], texts[2]};
    for (int i = 0; i < 4; ++i) {
        if ((i == 0 && nameFits) || (inBuffer >= 0 && i == inBuffer + 1)) {
            continue;
        }
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
        ReleaseText(targets[i]);
    }
    for (int i = 0; i < 3; ++i) {
        if (i == inBuffer) {
            StoreText(targets[i], texts[i]->psz, OsStrLength(*texts[i]));
        } else {
            *targets[i] = copies[i + 1];
        }
    }
    level_ = source.level_;
    matchCase_ = source.matchCase_;
    useText_ = source.useText_;
    failIfNotFound_ = source.failIfNotFound_;
    type_ = source.type_;
    return OSTAK_OK;
}

} // namespace ostak
