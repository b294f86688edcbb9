#include "3-model/OstakElem.h"

#include "include/ostak.h"
#include "3-model/OstakList.h"

#include <cstdint>
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

namespace {

// Which bytes a name may hold, by value: one lookup a character.
struct NameCharacterTable {
    bool allowed[256] = {};
    constexpr NameCharacterTable() {
        for (const char *c = kNameCharacters; *c != '\0'; ++c) {
            allowed[static_cast<unsigned char>(*c)] = true;
        }
    }
};
constexpr NameCharacterTable kNameCharacterTable;

// The length of the run of name characters that `chars` starts with.
std::size_t NameSpan(const char *chars) noexcept {
    std::size_t length = 0;
    while (kNameCharacterTable.allowed[static_cast<unsigned char>(chars[length])]) {
        ++length;
    }
    return length;
}

} // namespace

int32_t CheckName(const char *chars) noexcept {
    if (chars == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    if (chars[NameSpan(chars)] != '\0') {
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

void OstakElem::EmbedNode(OstakListNode *node) noexcept {
    node_ = reinterpret_cast<OstakListNode *>(reinterpret_cast<std::uintptr_t>(node) | kEmbeddedNodeBit);
}

OstakElem::~OstakElem() {
    if (!NodeEmbedded()) {
        FreeRaw(node_);
    }
    xfvOsStrDestruct(&name_);
}

int32_t OstakElem::SetName(const char *chars) noexcept {
    if (chars == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    const std::size_t span = NameSpan(chars);
    if (chars[span] != '\0') {
        return OSTAK_E_INVALID_NAME;
    }
    const int32_t length = static_cast<int32_t>(span);
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
