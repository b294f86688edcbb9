#include "3-model/OstakList.h"

#include "3-model/OstakElemAppl.h"
#include "include/ostak.h"

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
    first_ = nullptr;
    last_ = nullptr;
    root_ = nullptr;
}

int32_t OstakList::InsertInOrder(OstakElem *elem) noexcept {
    if (elem == nullptr || elem->list_ != nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    OstakElem *stop = FirstNotBefore(elem->Name());
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
    Unlink(elem);
    return InsertInOrder(elem);
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
    root_ = source->root_;
    source->first_ = nullptr;
    source->last_ = nullptr;
    source->root_ = nullptr;
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
    std::swap(root_, other.root_);
    for (OstakElem *walk = first_; walk != nullptr; walk = walk->next_) {
        walk->list_ = this;
    }
    for (OstakElem *walk = other.first_; walk != nullptr; walk = walk->next_) {
        walk->list_ = &other;
    }
}

void OstakList::LinkAtHead(OstakElem *elem) noexcept {
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

void OstakList::LinkBetween(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept {
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
    TreeInsert(elem, before, after);
}

void OstakList::Unlink(OstakElem *elem) noexcept {
    TreeRemove(elem);
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
    OstakElem *node = root_;
    if (node == nullptr || Compare(node->top_->Name(), name) < 0) {
        return nullptr;
    }
    // The node's subtree holds such a name; the leftmost one is the answer.
    for (;;) {
        if (node->left_ != nullptr && Compare(node->left_->top_->Name(), name) >= 0) {
            node = node->left_;
        } else if (Compare(node->Name(), name) >= 0) {
            return node;
        } else {
            node = node->right_;
        }
    }
}

int OstakList::Compare(const char *a, const char *b) const noexcept {
    ++comparisons_;
    return CompareNames(a, b);
}

void OstakList::TreeInsert(OstakElem *elem, OstakElem *before, OstakElem *after) noexcept {
    elem->left_ = nullptr;
    elem->right_ = nullptr;
    elem->top_ = elem;
    // Of two neighbours in the chain, one is the other's descendant: the
    // element hangs below whichever of them has the free side.
    if (root_ == nullptr) {
        elem->up_ = nullptr;
        root_ = elem;
    } else if (before != nullptr && before->right_ == nullptr) {
        elem->up_ = before;
        before->right_ = elem;
    } else {
        elem->up_ = after;
        after->left_ = elem;
    }
    while (elem->up_ != nullptr && Priority(elem) > Priority(elem->up_)) {
        Rotate(elem);
    }
    // The nodes above gained one name: it becomes their top until one holds a name not before it.
    for (OstakElem *node = elem->up_; node != nullptr; node = node->up_) {
        if (Compare(node->top_->Name(), elem->Name()) >= 0) {
            break;
        }
        node->top_ = elem;
    }
}

void OstakList::TreeRemove(OstakElem *elem) noexcept {
    // Sink the element to a leaf, lifting its child of higher priority.
    while (elem->left_ != nullptr || elem->right_ != nullptr) {
        OstakElem *child = elem->left_;
        if (child == nullptr || (elem->right_ != nullptr && Priority(elem->right_) > Priority(child))) {
            child = elem->right_;
        }
        Rotate(child);
    }
    OstakElem *parent = elem->up_;
    if (parent == nullptr) {
        root_ = nullptr;
    } else if (parent->left_ == elem) {
        parent->left_ = nullptr;
    } else {
        parent->right_ = nullptr;
    }
    elem->up_ = nullptr;
    elem->top_ = nullptr;
    RefreshUp(parent);
}

void OstakList::Rotate(OstakElem *child) noexcept {
    OstakElem *parent = child->up_;
    OstakElem *grand = parent->up_;
    if (parent->left_ == child) {
        parent->left_ = child->right_;
        if (child->right_ != nullptr) {
            child->right_->up_ = parent;
        }
        child->right_ = parent;
    } else {
        parent->right_ = child->left_;
        if (child->left_ != nullptr) {
            child->left_->up_ = parent;
        }
        child->left_ = parent;
    }
    parent->up_ = child;
    child->up_ = grand;
    if (grand == nullptr) {
        root_ = child;
    } else if (grand->left_ == parent) {
        grand->left_ = child;
    } else {
        grand->right_ = child;
    }
    Refresh(parent);
    Refresh(child);
}

void OstakList::Refresh(OstakElem *node) const noexcept {
    OstakElem *top = node;
    for (OstakElem *child : {node->left_, node->right_}) {
        if (child != nullptr && Compare(child->top_->Name(), top->Name()) > 0) {
            top = child->top_;
        }
    }
    node->top_ = top;
}

void OstakList::RefreshUp(OstakElem *node) const noexcept {
    for (; node != nullptr; node = node->up_) {
        Refresh(node);
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
