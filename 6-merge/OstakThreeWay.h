// Three-way decisions: how a difference between a source and a target is
// settled from a common ancestor of both, the base.
//
// A change made on one side only is taken without asking; only a change made
// on both sides differently is a conflict, left to the caller. The decision
// answers the merge callback's events (a rule only in the source, only in the
// target, or on both sides with different values), an application that only
// one side holds, and an application's Enabled flag. Rules are compared by
// rule equality (every value, not the list links); applications by their
// rule lists and Enabled flag, never by their stamps.
#pragma once

#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakList.h"
#include "include/ostak.h"

#include <cstdint>

namespace ostak {

// The answer for an event that the base cannot settle. It is also the merge
// callback's cancel, so that a caller passing it on unawares cancels.
constexpr uint32_t kThreeWayConflict = static_cast<uint32_t>(OstakThreeWayConflict);

// How one item (a rule, an application, a flag) stands on the three sides.
struct ThreeWaySides {
    bool inSource;
    bool inTarget;
    bool inBase;
    bool sourceEqualsBase; // only read when both are present
    bool targetEqualsBase; // likewise
};

// The decision table: OstakMergeTakeSource, OstakMergeTakeTarget or
// kThreeWayConflict. An item on both sides is taken as differing there (equal
// sides raise no question).
uint32_t DecideThreeWay(const ThreeWaySides &sides) noexcept;

class OstakThreeWay {
  public:
    // Decides from the applications of `base`, which must outlive this object.
    explicit OstakThreeWay(const OstakListAppl &base) noexcept : base_(base) {}

    // The answer to an event of the merge callback, with its arguments: for
    // event 4 and 6 the source's application and rule, for 5 the target's;
    // for 6 also the target's in `appl2` and `rule2`. The base's rule is the
    // one of the same name in the base's application of the same name.
    uint32_t AnswerEvent(int32_t event, const OstakElemAppl &appl, const OstakElemRule &rule,
                         const OstakElemRule *rule2) const noexcept;

    // An application only one side holds (the other null): take the source's
    // side (carry it over, or drop the target's), keep the target's side
    // (leave the source's out, or keep the target's), or a conflict.
    uint32_t AnswerApplication(const OstakElemAppl *source, const OstakElemAppl *target) const noexcept;

    // The Enabled flag of an application both hold.
    uint32_t AnswerEnabled(const OstakElemAppl &source, const OstakElemAppl &target) const noexcept;

  private:
    const OstakElemAppl *BaseAppl(const char *name) const noexcept;
    const OstakElemRule *BaseRule(const OstakElemAppl &appl, const char *ruleName) const noexcept;

    const OstakListAppl &base_;
};

// Whether two applications hold equal rule lists and the same Enabled flag.
bool ApplicationContentsEqual(const OstakElemAppl &a, const OstakElemAppl &b) noexcept;

} // namespace ostak
