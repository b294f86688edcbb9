// The common base of every list element: its links, the list that holds it,
// and its name, the key by which lists are ordered.
#pragma once

#include "1-platform/Alloc.h"
#include "1-platform/basekit32.h"

#include <cstdint>

namespace ostak {

class OstakList;
struct OstakListNode;

// The 66 characters a name may hold.
constexpr const char *kNameCharacters = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_#@$";

// Orders two names: negative when `a` sorts first, 0 when equal, positive
// when `b` sorts first. Bytes compare as unsigned values, case counts, and a
// name that is a prefix of another sorts before it.
int CompareNames(const char *a, const char *b) noexcept;

// Whether two strings hold the same bytes.
bool SameBytes(const OsStr &a, const OsStr &b) noexcept;

// 0 when `chars` may become a name, 4 when null, 8 for a character outside the set.
int32_t CheckName(const char *chars) noexcept;
// 0 when `chars` may become a Text, Prefix or Suffix, 4 when null, 18 for a
// line feed, carriage return or tab.
int32_t CheckText(const char *chars) noexcept;

class OstakElem : public SeamAllocated {
  public:
    OstakElem(const OstakElem &) = delete;
    OstakElem &operator=(const OstakElem &) = delete;
    // Releases the record; it never touches the list that holds it, so a
    // linked record is unlinked before it is deleted (or its list goes with it).
    virtual ~OstakElem();

    OstakElem *Prev() const noexcept { return prev_; }
    OstakElem *Next() const noexcept { return next_; }
    OstakList *List() const noexcept { return list_; }
    const char *Name() const noexcept { return name_.psz; }
    const OsStr &NameStr() const noexcept { return name_; }

    // Sets the name from NUL-terminated characters: 0, 4 (null), 8 (a
    // character outside the name set) or 7 (no memory); the name is unchanged
    // unless 0. The element is not moved; its list re-sorts it on request.
    int32_t SetName(const char *chars) noexcept;

  protected:
    OstakElem() noexcept;

    // Copies `source` into the name: 0, or 7 with the name unchanged (never
    // for a name that fits the record, see NameFitsRecord).
    int32_t AssignName(const OsStr &source) noexcept;
    // Whether a name of these characters is kept inside the record, so that
    // assigning it needs no memory.
    static bool NameFitsRecord(const OsStr &name) noexcept {
        const int32_t length = OsStrLength(name);
        return length > 0 && length <= kInlineNameChars;
    }
    // Makes `value` the name (taking it over, or copying it into the record
    // when it is short) and releases the former name.
    void TakeName(OsStr &value) noexcept;
    // Gives the element a tree node inside its own record (the records of
    // long lists), so that no list allocates one for it.
    void EmbedNode(OstakListNode *node) noexcept;

  private:
    friend class OstakList;
    friend class OstakListIndex;

    // A linked element's name changed: its list may be out of order now.
    void NoteRenamed() noexcept;
    // Makes `count` characters the name: in the record's own buffer when
    // they fit (cannot fail), else in a new string; false when no memory
    // (the name unchanged).
    bool StoreName(const char *chars, int32_t count) noexcept;
    // Releases the name's string unless it lives in the record; the name is empty afterwards.
    void ReleaseName() noexcept;
    bool NameInline() const noexcept { return name_.psz == inlineName_.text; }

    OstakElem *prev_ = nullptr;
    OstakElem *next_ = nullptr;
    OstakList *list_ = nullptr;
    // The node of the list's search tree (see OstakList): null until the
    // element is linked into a list that keeps a tree, then kept until the
    // element is deleted or that list drops its tree; or, with the low bit
    // set, a node embedded in the record, never freed on its own.
    OstakListNode *node_ = nullptr;
    static constexpr std::uintptr_t kEmbeddedNodeBit = 1;
    bool NodeEmbedded() const noexcept {
        return (reinterpret_cast<std::uintptr_t>(node_) & kEmbeddedNodeBit) != 0;
    }
    OstakListNode *NodeAddress() const noexcept {
        return reinterpret_cast<OstakListNode *>(reinterpret_cast<std::uintptr_t>(node_) & ~kEmbeddedNodeBit);
    }
    OsStr name_;
    // Short names live here, laid out as a string block (the length word,
    // then the characters and a NUL), so that `name_` points into it and
    // reads like any other string: no allocation for most names.
    static constexpr int32_t kInlineNameChars = 19;
    struct InlineName {
        int32_t length;
        char text[kInlineNameChars + 1];
    } inlineName_;
};

} // namespace ostak
