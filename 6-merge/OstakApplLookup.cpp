#include "6-merge/OstakApplLookup.h"

namespace ostak {

namespace {

bool ChainAscends(const OstakList &list) noexcept {
    for (const OstakElem *walk = list.First(); walk != nullptr && walk->Next() != nullptr;
         walk = walk->Next()) {
        if (list.Compare(walk->Name(), walk->Next()->Name()) > 0) {
            return false;
        }
    }
    return true;
}

} // namespace

OstakApplLookup::OstakApplLookup(const OstakListAppl &list) noexcept
    : list_(list), ordered_(list.KnownInOrder() || ChainAscends(list)) {}

OstakElemAppl *OstakApplLookup::Find(const char *name) noexcept {
    missed_ = false;
    if (name == nullptr) {
        return nullptr;
    }
    if (!ordered_) {
        return list_.FindAppl(name);
    }
    const bool resume = passed_ != nullptr && list_.Compare(passed_->Name(), name) < 0;
    const OstakElem *walk = resume ? passed_->Next() : list_.First();
    if (!resume) {
        passed_ = nullptr;
    }
    for (int steps = 0; walk != nullptr; ++steps) {
        if (steps == kWalkSteps && list_.HasTree()) {
            // Far from the last key: the list's search tree finds the same stop.
            return StopAt(list_.FirstNotBefore(name), name);
        }
        const int order = list_.Compare(walk->Name(), name);
        if (order >= 0) {
            missed_ = order != 0;
            return order == 0 ? static_cast<OstakElemAppl *>(const_cast<OstakElem *>(walk)) : nullptr;
        }
        passed_ = walk;
        walk = walk->Next();
    }
    missed_ = true;
    return nullptr;
}

OstakElemAppl *OstakApplLookup::StopAt(const OstakElem *stop, const char *name) noexcept {
    passed_ = stop != nullptr ? stop->Prev() : list_.Last();
    const bool found = stop != nullptr && list_.Compare(stop->Name(), name) == 0;
    missed_ = !found;
    return found ? static_cast<OstakElemAppl *>(const_cast<OstakElem *>(stop)) : nullptr;
}

bool OstakApplLookup::PlaceOfMiss(OstakElem *&after) const noexcept {
    if (!missed_) {
        return false;
    }
    // Every name up to passed_ sorts before the key, its successor after it.
    after = const_cast<OstakElem *>(passed_);
    return true;
}

} // namespace ostak
