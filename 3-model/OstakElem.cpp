#include "3-model/OstakElem.h"

#include "include/ostak.h"
#include "3-model/OstakList.h"

#include <cstring>

namespace ostak {

int CompareNames(const char *a, const char *b) noexcept {
    const unsigned char *left = reinterpret_cast<const unsigned char *>(a);
    const unsigned char *right = reinterpret_cast<const unsigned char *>(b);
    while (*left != 0 && *left == *right) {
        ++left;
        ++right;
    }
    return static_cast<int>(*left) - static_cast<int>(*right);
}

bool SameBytes(const OsStr &a, const OsStr &b) noexcept {
    const int32_t length = OsStrLength(a);
    return length == OsStrLength(b) && std::memcmp(a.psz, b.psz, static_cast<std::size_t>(length)) == 0;
}

int32_t CheckName(const char *chars) noexcept {
    if (chars == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    if (chars[std::strspn(chars, kNameCharacters)] != '\0') {
        return OSTAK_E_INVALID_NAME;
    }
    return OSTAK_OK;
}

int32_t CheckText(const char *chars) noexcept {
    if (chars == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    if (chars[std::strcspn(chars, "\n\r\t")] != '\0') {
        return OSTAK_E_LINE_BREAK;
    }
    return OSTAK_OK;
}

OstakElem::OstakElem() noexcept : name_(xtOsStrCommonEmptyStr) {}

OstakElem::~OstakElem() {
    xfvOsStrDestruct(&name_);
}

int32_t OstakElem::SetName(const char *chars) noexcept {
    const int32_t rc = CheckName(chars);
    if (rc != OSTAK_OK) {
        return rc;
    }
    const int32_t length = static_cast<int32_t>(std::strlen(chars));
    if (!xfvOsStrAssignFromCharArrayIgnoringNulls(&name_, chars, length)) {
        return OSTAK_E_NO_MEMORY;
    }
    NoteRenamed();
    return OSTAK_OK;
}

int32_t OstakElem::AssignName(const OsStr &source) noexcept {
    if (!xfvOsStrAssignByStrDataIgnoringNulls(&name_, source)) {
        return OSTAK_E_NO_MEMORY;
    }
    NoteRenamed();
    return OSTAK_OK;
}

void OstakElem::TakeName(OsStr &value) noexcept {
    xfvOsStrDestruct(&name_);
    name_ = value;
    value = xtOsStrCommonEmptyStr;
    NoteRenamed();
}

void OstakElem::NoteRenamed() noexcept {
    if (list_ != nullptr) {
        list_->NoteRenamed(this);
    }
}

} // namespace ostak
