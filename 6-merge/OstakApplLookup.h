// Finds applications by name in a list, for a walk that asks for names in
// ascending order (marking and applying walk the source list in order).
//
// Every answer is exactly that of find by name on the list as it stands: the
// walk from the head that stops at the first name equal to or after the key.
// When the list's chain is in name order, the names up to the last element
// passed by the previous lookup all sort before that element's successor, so
// a key that sorts after the passed element starts there instead of at the
// head. Elements inserted at their sorted place between lookups keep the chain
// in order; elements must not be removed while the lookup is in use.
#pragma once

#include "3-model/OstakElemAppl.h"
#include "3-model/OstakList.h"

namespace ostak {

class OstakApplLookup {
  public:
    explicit OstakApplLookup(const OstakListAppl &list) noexcept;

    // The application of exactly that name, or null.
    OstakElemAppl *Find(const char *name) noexcept;

  private:
    const OstakListAppl &list_;
    bool ordered_;
    // The last element that the previous walk passed (its name sorts before that key).
    const OstakElem *passed_ = nullptr;
};

} // namespace ostak
