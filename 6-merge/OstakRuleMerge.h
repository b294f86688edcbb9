// The rule merge of one application: walks the rule lists of a source
// application and its namesake in the target in step, by name, and builds the
// merged list, asking the merge callback for every rule that only one side
// holds and for every rule that both hold with different values.
#pragma once

#include "3-model/OstakElemAppl.h"
#include "3-model/OstakList.h"
#include "6-merge/OstakMergeTypes.h"
#include "6-merge/OstakTakenNames.h"

#include <cstdint>

namespace ostak {

class OstakRuleMerge {
  public:
    OstakRuleMerge(const MergeContext &context, OstakElemAppl *source, OstakElemAppl *target) noexcept;

    // Fills `merged` (emptied first) with the merged rules, in strict name
    // order: every rule that enters takes its sorted place. Returns 0; 4 for a
    // missing application or rule list; 17 without a merge callback; 14 when
    // the callback cancels; 15 for an answer without meaning for its event; 7
    // when no memory; 5 when a name enters twice. On failure `merged` is empty.
    // Neither application is changed.
    int32_t Run(OstakListRule &merged) noexcept;

    // Search steps so far: slots the index of taken names inspected, and
    // elements passed looking for the place of a rule in the merged list.
    // The tests hold them to linear growth.
    uint64_t SearchSteps() const noexcept { return taken_.Probes() + placeSteps_; }

  private:
    // One step of the walk. `entering` receives the rule (owned by the caller)
    // that is to enter the merged list when the step succeeds.
    int32_t OnlyInTarget(OstakElemRule &rule, OstakElemRule *&entering) noexcept;
    int32_t OnlyInSource(OstakElemRule &rule, OstakElemRule *&entering) noexcept;
    int32_t Common(OstakElemRule &source, OstakElemRule &target, OstakElemRule *&entering) noexcept;
    // Answer 3 of a conflict: `entering` (already made) gets the target's
    // values; a second rule with the source's values under `proposed` is made.
    // The one that sorts first enters now; the other is left in `entering`.
    int32_t TakeBoth(OstakElemRule &source, OstakElemRule &target, const char *proposed,
                     OstakElemRule *&entering) noexcept;

    // Links an unlinked rule at its sorted place in the merged list (after
    // the last rule when it sorts after it, which is the usual case). On
    // failure (5 for a name already there) the rule is destroyed.
    // `fromWalk`: the rule bears the name the walk is at (not a proposed one).
    int32_t Enter(OstakElemRule *rule, bool fromWalk) noexcept;
    // The element of the merged list after which `name` belongs (null: the head).
    OstakElem *PlaceFor(const char *name) const noexcept;

    uint32_t Ask(int32_t event, OstakElemAppl *appl, OstakElemRule *rule, OstakElemAppl *appl2,
                 OstakElemRule *rule2, const char *proposed) noexcept;

    const MergeContext &context_;
    OstakElemAppl *source_;
    OstakElemAppl *target_;
    OstakListRule *merged_ = nullptr;
    // The last rule of the walk entered into the merged list (null: none yet).
    OstakElem *walked_ = nullptr;
    // The last copy under a proposed name entered (null: none yet).
    OstakElem *copied_ = nullptr;
    // The copy that TakeBoth left to enter at the end of the step.
    OstakElemRule *copyLeft_ = nullptr;
    // The names proposals must avoid, indexed at the first conflict of a Run.
    OstakTakenNames taken_;
    bool takenIndexed_ = false;
    mutable uint64_t placeSteps_ = 0;
};

} // namespace ostak
