#include "3-model/OstakList.h"

#include "include/ostak.h"
#include "1-platform/Alloc.h"
#include "3-model/OstakElemAppl.h"

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace ostak {

namespace {

// Maps the comparison of two names that must ascend to 0, 5 (equal) or 6 (wrong order).
int32_t AscendingResult(const char *before, const char *after) noexcept {
    const int order = CompareNames(before, after);
    if (order < 0) {
        return OSTAK_OK;
    }
    return order == 0 ? OSTAK_E_DUPLICATE_NAME : OSTAK_E_ORDER;
}

// A node's priority in the tree: its address, well mixed, so that the tree's
// shape is that of random insertions whatever order the names arrive in.
uint64_t Priority(const OstakElem *elem) noexcept {
    uint64_t bits = static_cast<uint64_t>(reinterpret_cast<std::uintptr_t>(elem));
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    bits *= 0xc4ceb9fe1a85ec53ULL;
    bits ^= bits >> 33;
    return bits;
}

} // namespace

OstakList::~OstakList() {
    DeleteChain(first_);
}

void OstakList::Clear() noexcept {
    DeleteChain(first_);
    Forget();
}

void OstakList::Forget() noexcept {
    first_ = nullptr;
    last_ = nullptr;
    count_ = 0;
    ordered_ = true;
    pending_ = nullptr;
    outside_ = nullptr;
    tree_ = false;
    index_.Clear();
    root_ = nullptr;
    treeAt_ = kTreeFrom;
}

int32_t OstakList::InsertInOrder(OstakElem *elem) noexcept {
    if (elem == nullptr || elem->list_ != nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    OstakListIndex::Place place;
    OstakElem *stop = FirstNotBefore(elem->Name(), place);
    if (place.leaf != nullptr) {
        return LinkAtPlace(elem, place);
    }
    LinkBetween(elem, stop != nullptr ? stop->prev_ : last_, stop);
    if (stop != nullptr && Compare(stop->Name(), elem->Name()) == 0) {
        return OSTAK_E_DUPLICATE_NAME;
    }
    return OSTAK_OK;
}

int32_t OstakList::InsertAfter(OstakElem *elem, OstakElem *after) noexcept {
    if (elem == nullptr || elem->list_ != nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    if (after != nullptr && after->list_ != this) {
        return OSTAK_E_NOT_IN_LIST;
    }
    OstakElem *follower = after != nullptr ? after->next_ : first_;
    if (after != nullptr) {
        const int32_t rc = AscendingResult(after->Name(), elem->Name());
        if (rc != OSTAK_OK) {
            return rc;
        }
    }
    if (follower != nullptr) {
        const int32_t rc = AscendingResult(elem->Name(), follower->Name());
        if (rc != OSTAK_OK) {
            return rc;
        }
    }
    LinkBetween(elem, after, follower);
    return OSTAK_OK;
}

int32_t OstakList::Resort(OstakElem *elem) noexcept {
    if (elem == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    if (elem->list_ != this) {
        return OSTAK_E_NOT_IN_LIST;
    }
    int32_t rc = OSTAK_OK;
    if (StaysInPlace(elem, rc)) {
        if (pending_ == elem) {
            pending_ = nullptr;
        }
        if (outside_ == elem) {
            Readmit();
        }
        return rc;
    }
    Unlink(elem);
    return InsertInOrder(elem);
}

bool OstakList::StaysInPlace(const OstakElem *elem, int32_t &rc) const noexcept {
    // Without the element the chain must be known to ascend: then a walk from
    // the head passes everything up to a predecessor that sorts before the
    // name and stops at a successor that does not.
    if (!ordered_ || (pending_ != nullptr && pending_ != elem)) {
        return false;
    }
    if (elem->prev_ != nullptr && Compare(elem->prev_->Name(), elem->Name()) >= 0) {
        return false;
    }
    const int order = elem->next_ != nullptr ? Compare(elem->next_->Name(), elem->Name()) : 1;
    rc = order == 0 ? OSTAK_E_DUPLICATE_NAME : OSTAK_OK;
    return order >= 0;
}

OstakElem *OstakList::FindByName(const char *name) const noexcept {
    if (name == nullptr) {
        return nullptr;
    }
    OstakElem *stop = FirstNotBefore(name);
    return stop != nullptr && Compare(stop->Name(), name) == 0 ? stop : nullptr;
}

int32_t OstakList::DeleteElem(OstakElem *elem) noexcept {
    if (elem == nullptr || elem->list_ != this) {
        return OSTAK_OK;
    }
    Unlink(elem);
    delete elem;
    return OSTAK_OK;
}

template <class CopyOf> int32_t OstakList::CopyEach(const OstakList *source, CopyOf copyOf) noexcept {
    if (source == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    // Build the copies aside, so that a failure leaves this list as it was.
    OstakList aside;
    aside.ordered_ = source->ordered_ && source->pending_ == nullptr;
    for (const OstakElem *walk = source->first_; walk != nullptr; walk = walk->next_) {
        OstakElem *copy = copyOf(*walk);
        if (copy == nullptr) {
            return OSTAK_E_NO_MEMORY;
        }
        aside.LinkBetween(copy, aside.last_, nullptr);
    }
    return MoveAllFrom(&aside);
}

int32_t OstakList::MoveAllFrom(OstakList *source) noexcept {
    if (source == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    if (source == this) {
        return OSTAK_OK;
    }
    Clear();
    first_ = source->first_;
    last_ = source->last_;
    count_ = source->count_;
    ordered_ = source->ordered_;
    pending_ = source->pending_;
    outside_ = source->outside_;
    tree_ = source->tree_;
    index_.Swap(source->index_);
    root_ = source->root_;
    treeAt_ = source->treeAt_;
    source->Forget();
    for (OstakElem *walk = first_; walk != nullptr; walk = walk->next_) {
        walk->list_ = this;
    }
    return OSTAK_OK;
}

void OstakList::SwapElements(OstakList &other) noexcept {
    if (&other == this) {
        return;
    }
    std::swap(first_, other.first_);
    std::swap(last_, other.last_);
    std::swap(count_, other.count_);
    std::swap(ordered_, other.ordered_);
    std::swap(pending_, other.pending_);
    std::swap(outside_, other.outside_);
    std::swap(tree_, other.tree_);
    index_.Swap(other.index_);
    std::swap(root_, other.root_);
    std::swap(treeAt_, other.treeAt_);
    for (OstakElem *walk = first_; walk != nullptr; walk = walk->next_) {
        walk->list_ = this;
    }
    for (OstakElem *walk = other.first_; walk != nullptr; walk = walk->next_) {
        walk->list_ = &other;
    }
}

void OstakList::LinkAtHead(OstakElem *elem) noexcept {
    if (first_ != nullptr && Compare(elem->Name(), first_->Name()) > 0) {
        LoseOrder();
    }
    LinkBetween(elem, nullptr, first_);
}

template <class Record, class... Args>
int32_t OstakList::AddEmptyAtHead(Record **place, const Args &...args) noexcept {
    if (place == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    *place = Record::Create(args...);
    if (*place == nullptr) {
        return OSTAK_E_NO_MEMORY;
    }
    LinkAtHead(*place);
    return OSTAK_OK;
}

void OstakList::NoteRenamed(OstakElem *elem) noexcept {
    if (pending_ == nullptr || pending_ == elem) {
        pending_ = elem;
    } else if (ordered_) {
        // A second element renamed: the chain is no longer known to be in
        // order, and the treap built now knows every name as it is.
        LoseOrder();
        return;
    }
    if (!tree_ || elem == outside_) {
        return;
    }
    if (ordered_) {
        outside_ = elem;
        index_.Remove(elem);
        return;
    }
    RefreshUp(elem, elem);
}

void OstakList::LoseOrder() noexcept {
    if (!ordered_) {
        return;
    }
    ordered_ = false;
    if (!tree_) {
        return;
    }
    // The index serves a chain in order only: a treap takes over, for good.
    index_.Clear();
    outside_ = nullptr;
    tree_ = false;
    BuildTree();
}

void OstakList::Readmit() noexcept {
    OstakElem *elem = outside_;
    outside_ = nullptr;
    // The element kept its node, so this allocates nothing; should it fail
    // all the same, the list walks.
    if (!TreeInsert(elem, elem->prev_, elem->next_)) {
        WalkWithoutMemory();
    }
}

void OstakList::LinkBetween(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept {
    if (outside_ != nullptr) {
        Readmit();
    }
    if (pending_ != nullptr) {
        // Where a walk stops past a renamed element, the order may break.
        LoseOrder();
        pending_ = nullptr;
    }
    LinkInChain(elem, before, after);
    if (tree_) {
        if (!TreeInsert(elem, before, after)) {
            WalkWithoutMemory();
        }
    } else if (count_ >= treeAt_) {
        BuildTree();
    }
}

void OstakList::LinkInChain(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept {
    elem->prev_ = before;
    elem->next_ = after;
    elem->list_ = this;
    if (before != nullptr) {
        before->next_ = elem;
    } else {
        first_ = elem;
    }
    if (after != nullptr) {
        after->prev_ = elem;
    } else {
        last_ = elem;
    }
    ++count_;
}

int32_t OstakList::LinkAtPlace(OstakElem *elem, const OstakListIndex::Place &place) noexcept {
    // The chain is known to be in order with nothing outside the index.
    LinkInChain(elem, place.before, place.stop);
    if (!EnsureNode(elem) || !index_.InsertAtPlace(elem, place)) {
        WalkWithoutMemory();
    }
    // Equal keys of a name shorter than 16 bytes mean equal names.
    ++comparisons_;
    const bool equal = place.sameKey && (place.wholeKey || CompareNames(place.stop->Name(), elem->Name()) == 0);
    return equal ? OSTAK_E_DUPLICATE_NAME : OSTAK_OK;
}

void OstakList::Unlink(OstakElem *elem) noexcept {
    if (elem == pending_) {
        pending_ = nullptr;
    }
    if (elem == outside_) {
        outside_ = nullptr;
    } else if (tree_) {
        TreeRemove(elem);
    }
    --count_;
    if (elem->prev_ != nullptr) {
        elem->prev_->next_ = elem->next_;
    } else {
        first_ = elem->next_;
    }
    if (elem->next_ != nullptr) {
        elem->next_->prev_ = elem->prev_;
    } else {
        last_ = elem->prev_;
    }
    elem->prev_ = nullptr;
    elem->next_ = nullptr;
    elem->list_ = nullptr;
}

void OstakList::DeleteChain(OstakElem *elem) noexcept {
    while (elem != nullptr) {
        OstakElem *next = elem->next_;
        delete elem;
        elem = next;
    }
}

OstakElem *OstakList::FirstNotBefore(const char *name) const noexcept {
    OstakListIndex::Place place;
    return FirstNotBefore(name, place);
}

OstakElem *OstakList::FirstNotBefore(const char *name, OstakListIndex::Place &place) const noexcept {
    // Appending to a chain in order, the usual case while loading, takes one comparison.
    if (ordered_ && pending_ == nullptr && last_ != nullptr && Compare(last_->Name(), name) < 0) {
        return nullptr;
    }
    if (!tree_) {
        OstakElem *walk = first_;
        while (walk != nullptr && Compare(walk->Name(), name) < 0) {
            walk = walk->next_;
        }
        return walk;
    }
    // The walk's first step: inserting names in descending order, as a
    // reversed file loads, takes two comparisons.
    if (first_ != nullptr && Compare(first_->Name(), name) >= 0) {
        return first_;
    }
    if (outside_ != nullptr) {
        return WithOutside(LowerBound(name), name);
    }
    if (KnownInOrder()) {
        index_.Locate(name, comparisons_, place);
        return place.stop;
    }
    OstakElem *node = root_;
    if (node == nullptr || Compare(Node(node).top->Name(), name) < 0) {
        return nullptr;
    }
    // The node's subtree holds such a name; the leftmost one is the answer.
    for (;;) {
        if (Node(node).left != nullptr && Compare(Node(Node(node).left).top->Name(), name) >= 0) {
            node = Node(node).left;
        } else if (Compare(node->Name(), name) >= 0) {
            return node;
        } else {
            node = Node(node).right;
        }
    }
}

OstakElem *OstakList::LowerBound(const char *name) const noexcept {
    return index_.LowerBound(name, comparisons_);
}

OstakElem *OstakList::WithOutside(OstakElem *stop, const char *name) const noexcept {
    // The walk stops at the outside element when its name does not sort
    // before `name` and it comes before `stop`: its follower in the chain is
    // `stop` itself or, the rest being in order, sorts before `name`.
    OstakElem *elem = outside_;
    if (Compare(elem->Name(), name) < 0) {
        return stop;
    }
    if (stop == nullptr) {
        return elem;
    }
    OstakElem *follower = elem->next_;
    if (follower == nullptr) {
        return stop;
    }
    return follower == stop || Compare(follower->Name(), name) < 0 ? elem : stop;
}

int OstakList::Compare(const char *a, const char *b) const noexcept {
    ++comparisons_;
    return CompareNames(a, b);
}

void OstakList::BuildTree() noexcept {
    tree_ = true;
    for (OstakElem *walk = first_; walk != nullptr; walk = walk->next_) {
        // The elements before `walk` are in the tree, those after it not yet.
        if (!TreeInsert(walk, walk->prev_, nullptr)) {
            WalkWithoutMemory();
            return;
        }
    }
}

void OstakList::WalkWithoutMemory() noexcept {
    DropTree();
    treeAt_ = count_ * 2;
}

void OstakList::DropTree() noexcept {
    outside_ = nullptr;
    index_.Clear();
    for (OstakElem *walk = first_; walk != nullptr; walk = walk->next_) {
        if (!walk->NodeEmbedded()) {
            FreeRaw(walk->node_);
            walk->node_ = nullptr;
        }
    }
    tree_ = false;
    root_ = nullptr;
}

bool OstakList::EnsureNode(OstakElem *elem) noexcept {
    if (elem->node_ == nullptr) {
        elem->node_ = static_cast<OstakListNode *>(AllocRaw(sizeof(OstakListNode)));
    }
    return elem->node_ != nullptr;
}

bool OstakList::TreeInsert(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept {
    if (!EnsureNode(elem)) {
        return false;
    }
    return ordered_ ? index_.Insert(elem, before, after) : TreapInsert(elem, before, after);
}

void OstakList::TreeRemove(OstakElem *elem) noexcept {
    if (ordered_) {
        index_.Remove(elem);
    } else {
        TreapRemove(elem);
    }
}

bool OstakList::TreapInsert(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept {
    Node(elem).left = nullptr;
    Node(elem).right = nullptr;
    Node(elem).top = elem;
    // Of two neighbours in the chain, one is the other's descendant: the
    // element hangs below whichever of them has the free side.
    if (root_ == nullptr) {
        Node(elem).up = nullptr;
        root_ = elem;
    } else if (before != nullptr && Node(before).right == nullptr) {
        Node(elem).up = before;
        Node(before).right = elem;
    } else {
        Node(elem).up = after;
        Node(after).left = elem;
    }
    while (Node(elem).up != nullptr && Priority(elem) > Priority(Node(elem).up)) {
        Rotate(elem);
    }
    // The nodes above gained one name: their tops change up to the first one whose top stays.
    RefreshUp(Node(elem).up, elem);
    return true;
}

void OstakList::TreapRemove(OstakElem *elem) noexcept {
    // The nodes above whose top is the element form a path up from it. When
    // it was renamed just before, sinking it refreshes some of them with its
    // new name, so the path is remembered first: all of it is refreshed.
    OstakElem *highest = elem;
    for (OstakElem *node = Node(elem).up; node != nullptr && Node(node).top == elem; node = Node(node).up) {
        highest = node;
    }
    // Sink the element to a leaf, lifting its child of higher priority.
    while (Node(elem).left != nullptr || Node(elem).right != nullptr) {
        OstakElem *child = Node(elem).left;
        if (child == nullptr ||
            (Node(elem).right != nullptr && Priority(Node(elem).right) > Priority(child))) {
            child = Node(elem).right;
        }
        Rotate(child);
    }
    OstakElem *parent = Node(elem).up;
    if (parent == nullptr) {
        root_ = nullptr;
    } else if (Node(parent).left == elem) {
        Node(parent).left = nullptr;
    } else {
        Node(parent).right = nullptr;
    }
    // The element keeps its node for the next time it is linked.
    RefreshUp(parent, elem, highest);
}

void OstakList::Rotate(OstakElem *child) noexcept {
    OstakElem *parent = Node(child).up;
    OstakElem *grand = Node(parent).up;
    if (Node(parent).left == child) {
        Node(parent).left = Node(child).right;
        if (Node(child).right != nullptr) {
            Node(Node(child).right).up = parent;
        }
        Node(child).right = parent;
    } else {
        Node(parent).right = Node(child).left;
        if (Node(child).left != nullptr) {
            Node(Node(child).left).up = parent;
        }
        Node(child).left = parent;
    }
    Node(parent).up = child;
    Node(child).up = grand;
    if (grand == nullptr) {
        root_ = child;
    } else if (Node(grand).left == parent) {
        Node(grand).left = child;
    } else {
        Node(grand).right = child;
    }
    Refresh(parent);
    Refresh(child);
}

bool OstakList::Refresh(OstakElem *node) const noexcept {
    // The candidates in chain order are the left subtree's top, the node and
    // the right subtree's top; of equal names the one latest in the chain
    // wins, so a subtree's top depends on its elements only, not on history.
    const OstakElem *left = Node(node).left;
    const OstakElem *right = Node(node).right;
    OstakElem *top = right != nullptr ? Node(right).top : node;
    if (right != nullptr && Compare(node->Name(), top->Name()) > 0) {
        top = node;
    }
    if (left != nullptr && Compare(Node(left).top->Name(), top->Name()) > 0) {
        top = Node(left).top;
    }
    return SetTop(node, top);
}

bool OstakList::SetTop(OstakElem *node, OstakElem *top) noexcept {
    if (top == Node(node).top) {
        return false;
    }
    Node(node).top = top;
    return true;
}

void OstakList::RefreshUp(OstakElem *node, const OstakElem *changed, const OstakElem *through) const noexcept {
    // A top that stays the same element, and is not the changed one, leaves
    // every top above it as it was: each is decided by the tops below it.
    bool passed = through == nullptr || through == changed;
    for (; node != nullptr; node = Node(node).up) {
        const bool wasChanged = Node(node).top == changed;
        const bool refreshed = Refresh(node);
        passed = passed || node == through;
        if (!refreshed && !wasChanged && passed) {
            return;
        }
    }
}

int32_t OstakListAppl::AddEmpty(OstakElemAppl **place, const OstakContext &context) noexcept {
    return AddEmptyAtHead(place, context);
}

int32_t OstakListAppl::CopyFrom(const OstakListAppl *source, const OstakContext &context) noexcept {
    return CopyEach(source, [&context](const OstakElem &appl) -> OstakElem * {
        return static_cast<const OstakElemAppl &>(appl).Clone(context);
    });
}

OstakElemAppl *OstakListAppl::FirstAppl() const noexcept {
    return static_cast<OstakElemAppl *>(First());
}

OstakElemAppl *OstakListAppl::FindAppl(const char *name) const noexcept {
    return static_cast<OstakElemAppl *>(FindByName(name));
}

int32_t OstakListRule::AddEmpty(OstakElemRule **place) noexcept {
    return AddEmptyAtHead(place);
}

int32_t OstakListRule::CopyFrom(const OstakListRule *source) noexcept {
    return CopyEach(source, [](const OstakElem &rule) -> OstakElem * {
        return static_cast<const OstakElemRule &>(rule).Clone();
    });
}

} // namespace ostak
