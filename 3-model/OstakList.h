// Name-ordered, intrusive, doubly linked lists of applications and rules.
//
// A list owns its elements. Names ascend along the chain (bytewise, unsigned,
// case counting), except where an element was renamed and not yet re-sorted,
// and except that equal names may stand next to each other.
//
// Inserting and finding stop where a walk from the head would stop: at the
// first element of the chain whose name does not sort before the one sought,
// whether or not the chain is in order. To find that element without the
// walk, a list of kTreeFrom elements or more keeps a search structure beside
// the chain. While the names ascend, that is an index of name keys
// (OstakListIndex, a B+-tree), which a renamed element leaves until it is
// re-sorted. Once the chain is out of order (several elements renamed and not
// re-sorted, or an element linked while another waits), the list keeps a
// treap instead, for good: a tree in the chain's order (priorities hashed
// from the elements' addresses), each node knowing an element of its
// subtree whose name sorts last, so that descending towards the leftmost
// subtree that holds a name not before the one sought finds where the walk
// stops. Either costs O(log n) comparisons a search; linking, unlinking and
// renaming an element update only the nodes above it. Shorter lists (most
// rule lists) walk their chain and spend no memory on nodes: a rule's node
// is allocated when its list grows long, while an application (whose lists
// are the long ones) carries its node inside its record. The search
// structure is an aid only: when a node cannot be allocated the list drops
// it and walks, and tries again once it has doubled.
#pragma once

#include "2-core/OstakContext.h"
#include "3-model/OstakElem.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakListIndex.h"

#include <cstddef>
#include <cstdint>

namespace ostak {

class OstakElemAppl;

class OstakList : public SeamAllocated {
  public:
    OstakList() noexcept = default;
    OstakList(const OstakList &) = delete;
    OstakList &operator=(const OstakList &) = delete;
    // Deletes every element.
    virtual ~OstakList();

    OstakElem *First() const noexcept { return first_; }
    OstakElem *Last() const noexcept { return last_; }
    bool Empty() const noexcept { return first_ == nullptr; }

    // Deletes every element; the list stays usable and empty.
    void Clear() noexcept;

    // Links an unlinked element before the first element whose name is equal
    // or sorts after its own: 0, 5 when that element has the same name (the
    // element is linked all the same), 4 for a null element.
    int32_t InsertInOrder(OstakElem *elem) noexcept;

    // Links an unlinked element right after `after` (at the head when null):
    // 0; 4 for a null element; 9 when `after` is in another list; 5 (equal
    // names) or 6 (wrong order) unless `after` sorts strictly before the
    // element and the element strictly before its follower. Nothing is
    // linked unless 0.
    int32_t InsertAfter(OstakElem *elem, OstakElem *after) noexcept;

    // Unlinks an element of this list and inserts it in order again: 0 or 5
    // as for InsertInOrder, 9 when it is not in this list, 4 for null. In a
    // chain otherwise in order, an element whose neighbours enclose its name
    // stays where it is, at the cost of comparing it with them.
    int32_t Resort(OstakElem *elem) noexcept;

    // The first element of the chain whose name does not sort before `name`
    // (where a walk from the head stops), or null.
    OstakElem *FirstNotBefore(const char *name) const noexcept;

    // The element of exactly that name, or null. The walk stops at the first
    // name that is equal or sorts after, so a renamed element that was not
    // re-sorted may be missed.
    OstakElem *FindByName(const char *name) const noexcept;

    // Unlinks and deletes the element when it is in this list; otherwise
    // nothing happens. Always 0.
    int32_t DeleteElem(OstakElem *elem) noexcept;

    // Deletes this list's elements and takes over all of the source's, which
    // is left empty: 0, or 4 for a null source. Moving a list into itself
    // changes nothing.
    int32_t MoveAllFrom(OstakList *source) noexcept;

    // Exchanges the elements of the two lists (each element learns its new
    // list); nothing is copied, compared or deleted. The lists' counters stay.
    void SwapElements(OstakList &other) noexcept;

    // How many names this list has compared so far (tests bound the cost with it).
    uint64_t NameComparisons() const noexcept { return comparisons_; }
    // CompareNames, counted as one of this list's comparisons: for searches
    // that walk the list from outside it, so that their cost shows there too.
    int Compare(const char *a, const char *b) const noexcept;
    // Whether the names are known to ascend along the chain (equal names
    // next to each other allowed) without looking: false may also mean that
    // the list does not know.
    bool KnownInOrder() const noexcept { return ordered_ && pending_ == nullptr; }
    // Whether the list keeps a search structure now (an index or a treap).
    bool HasTree() const noexcept { return tree_; }
    // Whether that structure is the index of a chain in order.
    bool HasIndex() const noexcept { return tree_ && ordered_; }
    // Blocks the index holds now (tests account for memory with it).
    std::size_t IndexNodes() const noexcept { return index_.Nodes(); }
    // Whether the index is consistent with itself and with the chain's order.
    bool IndexConsistent() const noexcept { return index_.Consistent(); }

    // A list of this many elements or more keeps a search tree.
    static constexpr std::size_t kTreeFrom = 16;

  protected:
    // Links an unlinked element at the head (the place of an empty name).
    void LinkAtHead(OstakElem *elem) noexcept;
    // Links a new record of defaults, made by Record::Create(args...), at the
    // head: 0, 4 when the place is null, 7 when no memory (the place then holds null).
    template <class Record, class... Args>
    int32_t AddEmptyAtHead(Record **place, const Args &...args) noexcept;
    // Replaces this list's elements by deep copies of the source's, in the
    // source's order, each made by `copyOf` (null when it cannot be made): 0;
    // 4 for a null source; 7 when a copy cannot be made, and then this list
    // is as it was.
    template <class CopyOf> int32_t CopyEach(const OstakList *source, CopyOf copyOf) noexcept;

  private:
    friend class OstakElem;

    // A linked element's name changed. The chain is known to be in order
    // again once that one element is re-sorted (or unlinked), unless another
    // is renamed meanwhile. In a chain otherwise in order the element leaves
    // the index until then (see outside_); in a treap the nodes above it
    // learn the new name.
    void NoteRenamed(OstakElem *elem) noexcept;
    // The chain may be out of order from now on: a list that keeps an index
    // builds a treap instead.
    void LoseOrder() noexcept;
    // Puts the element waiting outside the index back at its chain place.
    void Readmit() noexcept;
    // Whether re-sorting the element would link it where it stands, and then
    // what InsertInOrder would give (`rc`), decided by its neighbours' names.
    bool StaysInPlace(const OstakElem *elem, int32_t &rc) const noexcept;
    static OstakListNode &Node(const OstakElem *elem) noexcept { return *elem->NodeAddress(); }
    // Gives the element a node unless it has one: false when no memory.
    static bool EnsureNode(OstakElem *elem) noexcept;
    // Links `elem` between `before` (null: at the head) and `after` (null: at the tail).
    void LinkBetween(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept;
    // The chain's part of linking: the element's and its neighbours' links, and the count.
    void LinkInChain(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept;
    // Links `elem` at a place in a leaf of the index that the search for its
    // name found, neither neighbour's record read: 0, or 5 for an equal name.
    int32_t LinkAtPlace(OstakElem *elem, const OstakListIndex::Place &place) noexcept;
    void Unlink(OstakElem *elem) noexcept;
    // Deletes a chain of elements starting at `elem`.
    static void DeleteChain(OstakElem *elem) noexcept;

    // FirstNotBefore, telling the place the index found where it searched
    // the index of a chain known to be in order (else `place` has no leaf).
    OstakElem *FirstNotBefore(const char *name, OstakListIndex::Place &place) const noexcept;
    // FirstNotBefore over the index of a chain known to be in order.
    OstakElem *LowerBound(const char *name) const noexcept;
    // The same when an element waits outside the index, given the index's answer.
    OstakElem *WithOutside(OstakElem *stop, const char *name) const noexcept;
    // Gives every element a node and builds the index (or, out of order, the
    // treap) in the chain's order; without memory the list stays without.
    void BuildTree() noexcept;
    // Frees every node: the list walks from now on.
    void DropTree() noexcept;
    // Without memory for a node: drops the tree, and builds one again only
    // once the list has doubled.
    void WalkWithoutMemory() noexcept;
    // Puts `elem` into the index or the treap between its chain neighbours
    // `before` and `after` (null: none, or not in it yet); false when a node
    // cannot be allocated (nothing changed).
    bool TreeInsert(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept;
    void TreeRemove(OstakElem *elem) noexcept;
    // The same for the treap alone.
    bool TreapInsert(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept;
    void TreapRemove(OstakElem *elem) noexcept;
    // Lifts `child` above its parent, keeping the chain's order.
    void Rotate(OstakElem *child) noexcept;
    // Recomputes the element of the node's subtree whose name sorts last
    // (of equal names, the last in the chain): true when it changed.
    bool Refresh(OstakElem *node) const noexcept;
    // Makes `top` the node's top: true when it changed.
    static bool SetTop(OstakElem *node, OstakElem *top) noexcept;
    // Refreshes from `node` upwards after `changed` was renamed, linked or
    // unlinked below it, stopping where a top stays what it was, but not
    // before `through` (an ancestor, or null) is refreshed.
    void RefreshUp(OstakElem *node, const OstakElem *changed, const OstakElem *through = nullptr) const noexcept;
    // Forgets the elements (they were deleted or handed over).
    void Forget() noexcept;

    OstakElem *first_ = nullptr;
    OstakElem *last_ = nullptr;
    std::size_t count_ = 0;
    // Known to ascend along the chain (equal names next to each other
    // allowed), apart from `pending_` when it is set: an element renamed and
    // not yet re-sorted. Every link keeps the order, except one made while an
    // element is pending. A list that keeps a search structure keeps the
    // index while this holds and the treap otherwise.
    bool ordered_ = true;
    const OstakElem *pending_ = nullptr;
    // The pending element, when the rest of the chain is in order and the
    // list keeps an index: it stays linked in the chain but has no place in
    // the index, and a search decides by one more comparison whether a walk
    // from the head would stop at it.
    OstakElem *outside_ = nullptr;
    // Whether a search structure is kept, the index, the treap's top, and
    // the length at which the list builds one next.
    bool tree_ = false;
    OstakListIndex index_;
    OstakElem *root_ = nullptr;
    std::size_t treeAt_ = kTreeFrom;
    // Names compared by this list: every comparison goes through Compare.
    mutable uint64_t comparisons_ = 0;
};

// The applications of a rule file, or a copy of them.
class OstakListAppl final : public OstakList {
  public:
    OstakListAppl() noexcept = default;
    // `heldByFile`: the list lives inside a rule-file object and dies with it.
    explicit OstakListAppl(bool heldByFile) noexcept : heldByFile_(heldByFile) {}

    // Whether the list lives inside a rule-file object (and must not be deleted on its own).
    bool HeldByFile() const noexcept { return heldByFile_; }

    // Links a new application with the defaults and the stamp of `context`
    // (OstakElemAppl::Create) at the head: 0, 4 when the place is null, 7
    // when no memory (the place then holds null).
    int32_t AddEmpty(OstakElemAppl **place, const OstakContext &context) noexcept;

    // Replaces this list's applications by copies (OstakElemAppl::Clone with
    // `context`), in the source's order: 0; 4 for a null source; 7 when a
    // copy cannot be made, and then this list is as it was.
    int32_t CopyFrom(const OstakListAppl *source, const OstakContext &context) noexcept;

    OstakElemAppl *FirstAppl() const noexcept;
    OstakElemAppl *FindAppl(const char *name) const noexcept;

  private:
    bool heldByFile_ = false;
};

// The rules of one application.
class OstakListRule final : public OstakList {
  public:
    // Links a new rule with the defaults at the head: 0, 4, or 7 as above.
    int32_t AddEmpty(OstakElemRule **place) noexcept;

    // Replaces this list's rules by copies, as OstakListAppl::CopyFrom does.
    int32_t CopyFrom(const OstakListRule *source) noexcept;

    OstakElemRule *FirstRule() const noexcept { return static_cast<OstakElemRule *>(First()); }
    OstakElemRule *FindRule(const char *name) const noexcept {
        return static_cast<OstakElemRule *>(FindByName(name));
    }
};

} // namespace ostak
