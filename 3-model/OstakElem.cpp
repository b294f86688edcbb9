#include "3-model/OstakElem.h"

#include "include/ostak.h"
#include "3-model/OstakList.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ostak {

int CompareNames(const char *a, const char *b) noexcept {
    // strcmp compares bytes as unsigned char, and a prefix sorts first: the
    // order wanted, at the C library's speed.
    return std::strcmp(a, b);
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

OstakElem::OstakElem() noexcept : name_(xtOsStrCommonEmptyStr) {
    // The inline name reads like a string block: the 32-bit length word right before the characters.
    static_assert(offsetof(InlineName, text) == sizeof(int32_t), "the characters follow the length word");
}

void OstakElem::EmbedNode(OstakListNode *node) noexcept {
    node_ = reinterpret_cast<OstakListNode *>(reinterpret_cast<std::uintptr_t>(node) | kEmbeddedNodeBit);
}

OstakElem::~OstakElem() {
    if (!NodeEmbedded()) {
        FreeRaw(node_);
    }
    ReleaseName();
}

int32_t OstakElem::SetName(const char *chars) noexcept {
    if (chars == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    const std::size_t span = NameSpan(chars);
    if (chars[span] != '\0') {
        return OSTAK_E_INVALID_NAME;
    }
    if (!StoreName(chars, static_cast<int32_t>(span))) {
        return OSTAK_E_NO_MEMORY;
    }
    NoteRenamed();
    return OSTAK_OK;
}

int32_t OstakElem::AssignName(const OsStr &source) noexcept {
    if (source.psz == name_.psz) {
        NoteRenamed();
        return OSTAK_OK;
    }
    if (!StoreName(source.psz, OsStrLength(source))) {
        return OSTAK_E_NO_MEMORY;
    }
    NoteRenamed();
    return OSTAK_OK;
}

void OstakElem::TakeName(OsStr &value) noexcept {
    if (NameFitsRecord(value)) {
        StoreName(value.psz, OsStrLength(value));
        xfvOsStrDestruct(&value);
    } else {
        ReleaseName();
        name_ = value;
        value = xtOsStrCommonEmptyStr;
    }
    NoteRenamed();
}

bool OstakElem::StoreName(const char *chars, int32_t count) noexcept {
    if (count <= 0 || count > kInlineNameChars) {
        OsStr value;
        if (!xfvOsStrConstructFromCharArrayIgnoringNulls(&value, chars, count)) {
            return false;
        }
        ReleaseName();
        name_ = value;
        return true;
    }
    // `chars` may be the inline name itself: memmove, and release nothing first.
    std::memmove(inlineName_.text, chars, static_cast<std::size_t>(count));
    inlineName_.text[count] = '\0';
    inlineName_.length = count;
    if (!NameInline()) {
        xfvOsStrDestruct(&name_);
        name_.psz = inlineName_.text;
    }
    return true;
}

void OstakElem::ReleaseName() noexcept {
    if (NameInline()) {
        name_ = xtOsStrCommonEmptyStr;
        return;
    }
    xfvOsStrDestruct(&name_);
}

void OstakElem::NoteRenamed() noexcept {
    if (list_ != nullptr) {
        list_->NoteRenamed(this);
    }
}

} // namespace ostak
