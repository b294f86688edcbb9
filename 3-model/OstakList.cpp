#include "3-model/OstakList.h"

#include "include/ostak.h"
#include "3-model/OstakElemAppl.h"

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

} // namespace

OstakList::~OstakList() {
    DeleteChain(first_);
}

void OstakList::Clear() noexcept {
    DeleteChain(first_);
    first_ = nullptr;
    last_ = nullptr;
    ordered_ = true;
}

int32_t OstakList::InsertInOrder(OstakElem *elem) noexcept {
    if (elem == nullptr || elem->list_ != nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    // In an ordered list, a name after the last one ends the walk at the tail.
    if (ordered_ && last_ != nullptr && CompareNames(last_->Name(), elem->Name()) < 0) {
        LinkBetween(elem, last_, nullptr);
        return OSTAK_OK;
    }
    OstakElem *passed = nullptr;
    OstakElem *stop = first_;
    while (stop != nullptr && CompareNames(stop->Name(), elem->Name()) < 0) {
        passed = stop;
        stop = stop->next_;
    }
    LinkBetween(elem, passed, stop);
    if (stop != nullptr && CompareNames(stop->Name(), elem->Name()) == 0) {
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
    const int32_t rc = InsertInOrder(elem);
    if (!ordered_) {
        ordered_ = ChainInOrder();
    }
    return rc;
}

OstakElem *OstakList::FindByName(const char *name) const noexcept {
    if (name == nullptr) {
        return nullptr;
    }
    if (ordered_ && last_ != nullptr && CompareNames(last_->Name(), name) < 0) {
        return nullptr;
    }
    for (OstakElem *walk = first_; walk != nullptr; walk = walk->next_) {
        const int order = CompareNames(walk->Name(), name);
        if (order >= 0) {
            return order == 0 ? walk : nullptr;
        }
    }
    return nullptr;
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
    OstakElem *head = nullptr;
    OstakElem *tail = nullptr;
    for (const OstakElem *walk = source->first_; walk != nullptr; walk = walk->next_) {
        OstakElem *copy = copyOf(*walk);
        if (copy == nullptr) {
            DeleteChain(head);
            return OSTAK_E_NO_MEMORY;
        }
        copy->prev_ = tail;
        copy->list_ = this;
        if (tail != nullptr) {
            tail->next_ = copy;
        } else {
            head = copy;
        }
        tail = copy;
    }
    const bool ordered = source->ordered_;
    Clear();
    first_ = head;
    last_ = tail;
    ordered_ = ordered;
    return OSTAK_OK;
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
    ordered_ = source->ordered_;
    source->first_ = nullptr;
    source->last_ = nullptr;
    source->ordered_ = true;
    for (OstakElem *walk = first_; walk != nullptr; walk = walk->next_) {
        walk->list_ = this;
    }
    return OSTAK_OK;
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
}

void OstakList::Unlink(OstakElem *elem) noexcept {
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
    if (first_ == nullptr) {
        ordered_ = true;
    }
}

void OstakList::DeleteChain(OstakElem *elem) noexcept {
    while (elem != nullptr) {
        OstakElem *next = elem->next_;
        delete elem;
        elem = next;
    }
}

bool OstakList::ChainInOrder() const noexcept {
    for (const OstakElem *walk = first_; walk != nullptr && walk->next_ != nullptr; walk = walk->next_) {
        if (CompareNames(walk->Name(), walk->next_->Name()) > 0) {
            return false;
        }
    }
    return true;
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
