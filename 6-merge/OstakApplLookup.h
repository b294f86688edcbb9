// Finds applications by name in a list, for a walk that asks for names in
// ascending order (marking and applying walk the source list in order).
//
// Every answer is exactly that of find by name on the list as it stands: the
// walk from the head that stops at the first name equal to or after the key.
// When the list's chain is in name order, the names up to the last element
// passed by the previous lookup all sort before that element's successor, so
// a key that sorts after the passed element starts there instead of at the
// head, and a key far beyond it is found through the list's search tree.
// Elements inserted at their sorted place between lookups keep the chain
// in order; elements must not be removed while the lookup is in use. Its
// comparisons count as the list's own (OstakList::NameComparisons).
#pragma once

#include "3-model/OstakElemAppl.h"
#include "3-model/OstakList.h"

namespace ostak {

class OstakApplLookup {
  public:
    explicit OstakApplLookup(const OstakListAppl &list) noexcept;

    // The application of exactly that name, or null.
    OstakElemAppl *Find(const char *name) noexcept;

    // After a Find that gave null on a chain in name order: true, and `after`
    // is the element after which that name belongs, where insert in order
    // would link it (null: the head). False when the lookup does not know:
    // the chain is not in order, or the last Find did not miss. Valid until
    // the list changes.
    bool PlaceOfMiss(OstakElem *&after) const noexcept;

  private:
    // A walk longer than this hands over to the list's search tree, so that
    // a few keys far apart cost O(log n) each rather than the whole chain.
    static constexpr int kWalkSteps = 16;

    // Settles a lookup at the element where the walk would stop (null: past the tail).
    OstakElemAppl *StopAt(const OstakElem *stop, const char *name) noexcept;

    const OstakListAppl &list_;
    bool ordered_;
    // The last element that the previous walk passed (its name sorts before that key).
    const OstakElem *passed_ = nullptr;
    // Whether the last Find walked the ordered chain and found no namesake.
    bool missed_ = false;
};

} // namespace ostak
