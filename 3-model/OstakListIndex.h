// The search index of a long list whose names ascend along its chain.
//
// A B+-tree in the chain's order: each leaf holds up to kFanout elements,
// each inner node up to kFanout children, and every entry carries the first
// 16 bytes of a name as two integers (an element's own name in a leaf, the
// name of the last element below a child in an inner node). A search
// compares those integers and reads an element's whole name only when the
// first 16 bytes tie, so it touches a few compact nodes instead of a record
// a level, and the nodes near the root stay in the cache. Each element
// knows its leaf, so that inserting next to a neighbour and removing an
// element whose name has just changed need no search.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostak {

class OstakElem;
class OstakListIndex;

// The first 16 bytes of a name, big-endian, padded with zero bytes: keys
// compare as integers the way the names' first 16 bytes compare.
struct OstakNameKey {
    uint64_t high = 0;
    uint64_t low = 0;

    static OstakNameKey Of(const char *name) noexcept;
    // Whether the name is shorter than 16 bytes: then two equal keys mean
    // two equal names.
    bool Whole() const noexcept { return (low & 0xffU) == 0; }
};

// An element's place in its list's search structures. An element keeps its
// node when it is unlinked, for the next time it is linked.
struct OstakListNode {
    // The treap of a chain out of order (see OstakList).
    OstakElem *up;
    OstakElem *left;
    OstakElem *right;
    // The element of this subtree whose name sorts last (of equal names, the
    // last in the chain), so that it depends on the subtree's elements only.
    OstakElem *top;
    // The index's leaf that holds the element, while the chain ascends.
    void *leaf;
};

class OstakListIndex {
  public:
    // Entries a node holds at most.
    static constexpr std::size_t kFanout = 32;
    // Levels the index can have: every node but the root holds a quarter of
    // kFanout entries or more, so 2^64 elements need fewer.
    static constexpr std::size_t kMaxDepth = 32;

    OstakListIndex() noexcept = default;
    OstakListIndex(const OstakListIndex &) = delete;
    OstakListIndex &operator=(const OstakListIndex &) = delete;
    ~OstakListIndex() { Clear(); }

    bool Empty() const noexcept { return root_ == nullptr; }

    // Where a name belongs, as a search found it. When both neighbours stand
    // in one leaf (`leaf` not null), the leaf names them and, for a name
    // shorter than 16 bytes, tells by the keys whether the follower's name is
    // the same: linking there reads neither neighbour's record, and in a long
    // list those records lie far apart in memory.
    struct Place {
        // The first element whose name does not sort before the sought one, or null.
        OstakElem *stop = nullptr;
        // The last element whose name sorts before it (only with `leaf`).
        OstakElem *before = nullptr;
        // Whether the follower's key equals the sought name's (only with `leaf`).
        bool sameKey = false;
        // Whether the sought name is shorter than 16 bytes: then equal keys mean equal names.
        bool wholeKey = false;
        // The leaf that holds both neighbours, and the follower's entry there.
        void *leaf = nullptr;
        std::size_t at = 0;
    };

    // Enters `elem`, which has a node and is not in the index, between its
    // neighbours `before` and `after` (both in the index; null: none): false
    // when a node cannot be allocated, and then the index is as it was.
    bool Insert(OstakElem *elem, const OstakElem *before, const OstakElem *after) noexcept;
    // The same at a place in a leaf that Locate found for `elem`'s name, the
    // index unchanged since.
    bool InsertAtPlace(OstakElem *elem, const Place &place) noexcept;
    // Removes an element of the index, whatever its name is now.
    void Remove(OstakElem *elem) noexcept;
    // The first element whose name does not sort before `name`, or null;
    // every name comparison, whole or by key, is counted in `comparisons`.
    OstakElem *LowerBound(const char *name, uint64_t &comparisons) const noexcept;
    // The same search, telling the place it found (its `stop` is the result).
    void Locate(const char *name, uint64_t &comparisons, Place &place) const noexcept;

    // Frees every node; the elements are not touched.
    void Clear() noexcept;
    void Swap(OstakListIndex &other) noexcept;

    // Nodes allocated now (tests account for memory with it).
    std::size_t Nodes() const noexcept { return nodes_; }
    // Whether every node is consistent: entries in order, each inner entry
    // naming its child's last element, parents and leaves known both ways,
    // and every node but the root filled to a quarter at least.
    bool Consistent() const noexcept;

  private:
    struct Node;
    struct Entry {
        OstakNameKey key;
        OstakElem *last;
        Node *child;
    };

    static Node *&LeafOf(const OstakElem *elem) noexcept;
    static std::size_t PlaceOf(const Node *node, const OstakElem *elem) noexcept;
    static std::size_t PlaceOfChild(const Node *parent, const Node *child) noexcept;
    // Whether the name of entry `at` sorts before `name` (whose key is `key`).
    static bool Before(const Node *node, std::size_t at, const OstakNameKey &key, const char *name) noexcept;
    // Tells entry `at` of `node` where it is: an element its leaf, a child its parent.
    static void Adopt(Node *node, std::size_t at) noexcept;
    static void Put(Node *node, std::size_t at, const Entry &entry) noexcept;
    // Moves `count` entries from `from` at `fromAt` to `to` at `toAt` (the
    // ranges may overlap within one node); entries that change nodes are adopted.
    static void Shift(Node *to, std::size_t toAt, Node *from, std::size_t fromAt, std::size_t count) noexcept;
    // Asks for the memory of the node's keys ahead of a search through them.
    static void FetchKeys(const Node *node) noexcept;
    // The entry that stands for `node` in its parent: its last element.
    static Entry EntryFor(Node *node) noexcept;
    // Tells the nodes above `node` its last element, as far as it changed.
    static void PassLastUp(Node *node) noexcept;

    Node *NewNode(bool leaf) noexcept;
    void FreeNode(Node *node) noexcept;
    // Enters `entry` at `at` of `node`, splitting full nodes upwards with the
    // nodes in `spare` (allocated beforehand, as many as needed).
    void InsertAt(Node *node, std::size_t at, const Entry &entry, Node **spare) noexcept;
    // Enters `entry` at `at` of leaf `leaf`: false when a node cannot be
    // allocated, and then the index is as it was.
    bool Enter(Node *leaf, std::size_t at, const Entry &entry) noexcept;
    // Removes entry `at` of `node`; an emptied node leaves its parent and is freed.
    void RemoveAt(Node *node, std::size_t at) noexcept;
    // Moves the entries of its right neighbour into `node`, which must have room.
    void MergeWithNext(Node *node) noexcept;
    // Evens out the entries of two neighbours of one parent.
    static void Balance(Node *left, Node *right) noexcept;
    bool ConsistentBelow(const Node *node, const Node *parent, OstakElem *&previous) const noexcept;

    Node *root_ = nullptr;
    std::size_t nodes_ = 0;
};

} // namespace ostak
