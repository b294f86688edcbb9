#include "3-model/OstakListIndex.h"

#include "1-platform/Alloc.h"
#include "3-model/OstakElem.h"

#include <cstddef>
#include <cstring>
#include <utility>

namespace ostak {

namespace {

uint64_t BigEndianWord(const unsigned char *bytes) noexcept {
    uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

bool SameKey(const OstakNameKey &a, const OstakNameKey &b) noexcept {
    return a.high == b.high && a.low == b.low;
}

} // namespace

OstakNameKey OstakNameKey::Of(const char *name) noexcept {
    unsigned char bytes[16] = {};
    std::memcpy(bytes, name, strnlen(name, sizeof bytes));
    OstakNameKey key;
    key.high = BigEndianWord(bytes);
    key.low = BigEndianWord(bytes + 8);
    return key;
}

// A leaf's entries are elements (`lasts`); an inner node's are children,
// each with the last element below it. Keys are those of the `lasts`.
struct OstakListIndex::Node {
    Node *parent;
    std::size_t count;
    bool leaf;
    OstakNameKey keys[kFanout];
    OstakElem *lasts[kFanout];
    Node *children[kFanout];
};

OstakListIndex::Node *&OstakListIndex::LeafOf(const OstakElem *elem) noexcept {
    return reinterpret_cast<Node *&>(elem->NodeAddress()->leaf);
}

namespace {

// Where `item` stands among the first `count` of `items`: the last place
// first, the usual one while names arrive in order, then from the front.
template <class Item> std::size_t PlaceAmong(Item *const *items, std::size_t count, const Item *item) noexcept {
    if (items[count - 1] == item) {
        return count - 1;
    }
    std::size_t at = 0;
    while (items[at] != item) {
        ++at;
    }
    return at;
}

} // namespace

std::size_t OstakListIndex::PlaceOf(const Node *node, const OstakElem *elem) noexcept {
    return PlaceAmong(node->lasts, node->count, elem);
}

std::size_t OstakListIndex::PlaceOfChild(const Node *parent, const Node *child) noexcept {
    return PlaceAmong(parent->children, parent->count, child);
}

bool OstakListIndex::Before(const Node *node, std::size_t at, const OstakNameKey &key, const char *name) noexcept {
    const OstakNameKey &own = node->keys[at];
    if (own.high != key.high) {
        return own.high < key.high;
    }
    if (own.low != key.low) {
        return own.low < key.low;
    }
    if (key.Whole()) {
        return false; // both names end within the key: they are equal
    }
    return CompareNames(node->lasts[at]->Name(), name) < 0;
}

void OstakListIndex::Adopt(Node *node, std::size_t at) noexcept {
    if (node->leaf) {
        LeafOf(node->lasts[at]) = node;
    } else {
        node->children[at]->parent = node;
    }
}

void OstakListIndex::Put(Node *node, std::size_t at, const Entry &entry) noexcept {
    node->keys[at] = entry.key;
    node->lasts[at] = entry.last;
    if (!node->leaf) {
        node->children[at] = entry.child;
    }
    Adopt(node, at);
}

void OstakListIndex::Shift(Node *to, std::size_t toAt, Node *from, std::size_t fromAt, std::size_t count) noexcept {
    std::memmove(&to->keys[toAt], &from->keys[fromAt], count * sizeof(OstakNameKey));
    std::memmove(&to->lasts[toAt], &from->lasts[fromAt], count * sizeof(OstakElem *));
    if (!from->leaf) {
        std::memmove(&to->children[toAt], &from->children[fromAt], count * sizeof(Node *));
    }
    if (to == from) {
        return;
    }
    for (std::size_t i = toAt; i < toAt + count; ++i) {
        Adopt(to, i);
    }
}

OstakListIndex::Entry OstakListIndex::EntryFor(Node *node) noexcept {
    return {node->keys[node->count - 1], node->lasts[node->count - 1], node};
}

void OstakListIndex::PassLastUp(Node *node) noexcept {
    for (; node->parent != nullptr; node = node->parent) {
        Node *parent = node->parent;
        const std::size_t at = PlaceOfChild(parent, node);
        if (parent->lasts[at] == node->lasts[node->count - 1]) {
            return;
        }
        Put(parent, at, EntryFor(node));
        if (at + 1 != parent->count) {
            return;
        }
    }
}

OstakListIndex::Node *OstakListIndex::NewNode(bool leaf) noexcept {
    // A leaf has no children: its block ends before them.
    Node *node = static_cast<Node *>(AllocRaw(leaf ? offsetof(Node, children) : sizeof(Node)));
    if (node == nullptr) {
        return nullptr;
    }
    node->parent = nullptr;
    node->count = 0;
    node->leaf = leaf;
    ++nodes_;
    return node;
}

void OstakListIndex::FreeNode(Node *node) noexcept {
    if (node == nullptr) {
        return;
    }
    FreeRaw(node);
    --nodes_;
}

bool OstakListIndex::Insert(OstakElem *elem, const OstakElem *before, const OstakElem *after) noexcept {
    const Entry entry{OstakNameKey::Of(elem->Name()), elem, nullptr};
    if (root_ == nullptr) {
        root_ = NewNode(true);
        if (root_ == nullptr) {
            return false;
        }
        Put(root_, 0, entry);
        root_->count = 1;
        return true;
    }
    Node *leaf = root_;
    std::size_t at = 0;
    if (before != nullptr) {
        leaf = LeafOf(before);
        at = PlaceOf(leaf, before) + 1;
        // Between two leaves, the one with room: an element that leaves and
        // comes back there splits nothing.
        if (at == kFanout && after != nullptr && LeafOf(after)->count < kFanout) {
            leaf = LeafOf(after);
            at = 0;
        }
    } else {
        while (!leaf->leaf) {
            leaf = leaf->children[0];
        }
    }
    return Enter(leaf, at, entry);
}

bool OstakListIndex::InsertAtPlace(OstakElem *elem, const Place &place) noexcept {
    const Entry entry{OstakNameKey::Of(elem->Name()), elem, nullptr};
    return Enter(static_cast<Node *>(place.leaf), place.at, entry);
}

bool OstakListIndex::Enter(Node *leaf, std::size_t at, const Entry &entry) noexcept {
    // Every full node on the way up splits, and a full root gets a new root
    // above it: allocate them all first, so that a failure changes nothing.
    // In the order InsertAt takes them: each one's new neighbour, then the root.
    Node *spare[2 * kMaxDepth];
    std::size_t needed = 0;
    auto allocated = [&](bool asLeaf) {
        spare[needed] = NewNode(asLeaf);
        return spare[needed++] != nullptr;
    };
    for (Node *node = leaf; node != nullptr && node->count == kFanout; node = node->parent) {
        if (!allocated(node->leaf) || (node->parent == nullptr && !allocated(false))) {
            for (std::size_t i = 0; i < needed; ++i) {
                FreeNode(spare[i]);
            }
            return false;
        }
    }
    InsertAt(leaf, at, entry, spare);
    return true;
}

void OstakListIndex::InsertAt(Node *node, std::size_t at, const Entry &entry, Node **spare) noexcept {
    if (node->count < kFanout) {
        Shift(node, at + 1, node, at, node->count - at);
        Put(node, at, entry);
        ++node->count;
        if (at + 1 == node->count) {
            PassLastUp(node);
        }
        return;
    }
    // Split the entries, the new one among them, between this node and a new
    // right neighbour: evenly, or three quarters on the old side when the
    // new entry comes first or last, so that names arriving in order fill
    // their nodes further. Either side keeps more than a quarter, so that an
    // element that leaves again and comes back neither empties nor joins a node.
    const std::size_t total = kFanout + 1;
    constexpr std::size_t kFilled = kFanout * 3 / 4;
    const std::size_t kept = at == kFanout ? kFilled : at == 0 ? total - kFilled : total / 2;
    Node *right = *spare++;
    right->leaf = node->leaf;
    right->parent = node->parent;
    if (at < kept) {
        Shift(right, 0, node, kept - 1, total - kept);
        Shift(node, at + 1, node, at, kept - 1 - at);
        Put(node, at, entry);
    } else {
        Shift(right, 0, node, kept, at - kept);
        Put(right, at - kept, entry);
        Shift(right, at - kept + 1, node, at, kFanout - at);
    }
    node->count = kept;
    right->count = total - kept;
    if (node->parent == nullptr) {
        Node *top = *spare++;
        top->leaf = false;
        top->parent = nullptr;
        Put(top, 0, EntryFor(node));
        Put(top, 1, EntryFor(right));
        top->count = 2;
        root_ = top;
        return;
    }
    Node *parent = node->parent;
    const std::size_t place = PlaceOfChild(parent, node);
    Put(parent, place, EntryFor(node));
    InsertAt(parent, place + 1, EntryFor(right), spare);
}

void OstakListIndex::Remove(OstakElem *elem) noexcept {
    Node *leaf = LeafOf(elem);
    RemoveAt(leaf, PlaceOf(leaf, elem));
    LeafOf(elem) = nullptr;
    // A root with one child gives way to it.
    while (root_ != nullptr && !root_->leaf && root_->count == 1) {
        Node *child = root_->children[0];
        FreeNode(root_);
        root_ = child;
        root_->parent = nullptr;
    }
}

void OstakListIndex::RemoveAt(Node *node, std::size_t at) noexcept {
    --node->count;
    Shift(node, at, node, at + 1, node->count - at);
    Node *parent = node->parent;
    if (node->count == 0) {
        FreeNode(node);
        if (parent == nullptr) {
            root_ = nullptr;
            return;
        }
        RemoveAt(parent, PlaceOfChild(parent, node));
        return;
    }
    if (at == node->count) {
        PassLastUp(node);
    }
    // Below a quarter, a node joins a neighbour when both fit three quarters
    // of a node, or else takes entries from it: every node but the root keeps
    // a quarter, so the index stays as shallow as its size allows.
    if (parent == nullptr || node->count >= kFanout / 4 || parent->count < 2) {
        return;
    }
    const std::size_t place = PlaceOfChild(parent, node);
    const std::size_t leftPlace = place + 1 < parent->count ? place : place - 1;
    Node *left = parent->children[leftPlace];
    Node *right = parent->children[leftPlace + 1];
    if (left->count + right->count <= kFanout * 3 / 4) {
        MergeWithNext(left);
    } else {
        Balance(left, right);
    }
}

void OstakListIndex::Balance(Node *left, Node *right) noexcept {
    const std::size_t half = (left->count + right->count) / 2;
    if (left->count < half) {
        const std::size_t moved = half - left->count;
        Shift(left, left->count, right, 0, moved);
        Shift(right, 0, right, moved, right->count - moved);
        left->count += moved;
        right->count -= moved;
    } else {
        const std::size_t moved = left->count - half;
        Shift(right, moved, right, 0, right->count);
        Shift(right, 0, left, half, moved);
        left->count -= moved;
        right->count += moved;
    }
    // The right node's last stays; the left one's is new.
    Put(left->parent, PlaceOfChild(left->parent, left), EntryFor(left));
}

void OstakListIndex::MergeWithNext(Node *node) noexcept {
    Node *parent = node->parent;
    const std::size_t place = PlaceOfChild(parent, node);
    Node *next = parent->children[place + 1];
    Shift(node, node->count, next, 0, next->count);
    node->count += next->count;
    next->count = 0;
    // The node's last is now the neighbour's, which its parent already
    // names: the parent's entry moves over, and the neighbour's goes.
    Put(parent, place, EntryFor(node));
    FreeNode(next);
    RemoveAt(parent, place + 1);
}

OstakElem *OstakListIndex::LowerBound(const char *name, uint64_t &comparisons) const noexcept {
    Place place;
    Locate(name, comparisons, place);
    return place.stop;
}

void OstakListIndex::Locate(const char *name, uint64_t &comparisons, Place &place) const noexcept {
    place = Place{};
    if (root_ == nullptr) {
        return;
    }
    const OstakNameKey key = OstakNameKey::Of(name);
    const Node *node = root_;
    for (;;) {
        std::size_t low = 0;
        std::size_t high = node->count;
        while (low < high) {
            const std::size_t middle = (low + high) / 2;
            ++comparisons;
            if (Before(node, middle, key, name)) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        // Below the root, the parent's entry promises a name that does not sort before.
        if (low == node->count) {
            return;
        }
        if (!node->leaf) {
            node = node->children[low];
            FetchKeys(node);
            continue;
        }
        place.stop = node->lasts[low];
        if (low > 0) {
            place.before = node->lasts[low - 1];
            place.sameKey = SameKey(node->keys[low], key);
            place.wholeKey = key.Whole();
            place.leaf = const_cast<Node *>(node);
            place.at = low;
        }
        return;
    }
}

void OstakListIndex::FetchKeys(const Node *node) noexcept {
    // A binary search reads a few of the keys, each depending on the last:
    // asking for all of their lines at once lets them arrive together.
    const char *keys = reinterpret_cast<const char *>(node->keys);
    for (std::size_t offset = 0; offset < sizeof node->keys; offset += 64) {
        __builtin_prefetch(keys + offset);
    }
}

void OstakListIndex::Clear() noexcept {
    Node *node = root_;
    root_ = nullptr;
    // Free depth first without a stack: descend to a leaf, free it, and take
    // it off its parent.
    while (node != nullptr) {
        if (!node->leaf && node->count > 0) {
            node = node->children[--node->count];
            continue;
        }
        Node *parent = node->parent;
        FreeNode(node);
        node = parent;
    }
}

void OstakListIndex::Swap(OstakListIndex &other) noexcept {
    std::swap(root_, other.root_);
    std::swap(nodes_, other.nodes_);
}

bool OstakListIndex::Consistent() const noexcept {
    OstakElem *previous = nullptr;
    return root_ == nullptr || (root_->parent == nullptr && ConsistentBelow(root_, nullptr, previous));
}

bool OstakListIndex::ConsistentBelow(const Node *node, const Node *parent, OstakElem *&previous) const noexcept {
    if (node->parent != parent || node->count == 0 || node->count > kFanout ||
        (parent != nullptr && node->count < kFanout / 4)) {
        return false;
    }
    for (std::size_t i = 0; i < node->count; ++i) {
        OstakElem *last = node->lasts[i];
        if (node->leaf) {
            if (LeafOf(last) != node || !SameKey(node->keys[i], OstakNameKey::Of(last->Name())) ||
                (previous != nullptr && CompareNames(previous->Name(), last->Name()) > 0)) {
                return false;
            }
            previous = last;
            continue;
        }
        const Node *child = node->children[i];
        if (child->leaf != node->children[0]->leaf || !ConsistentBelow(child, node, previous) ||
            child->lasts[child->count - 1] != last || !SameKey(child->keys[child->count - 1], node->keys[i])) {
            return false;
        }
    }
    return true;
}

} // namespace ostak
