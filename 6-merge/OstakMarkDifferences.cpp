#include "6-merge/OstakMarkDifferences.h"

#include "6-merge/OstakApplCompare.h"
#include "6-merge/OstakApplLookup.h"
#include "6-merge/OstakMergeTypes.h"

namespace ostak {

int32_t DiffMarkOf(const OstakElemAppl &appl, const OstakElemAppl *namesake, bool stampTest) noexcept {
    if (namesake == nullptr) {
        return OstakDiffAbsent;
    }
    if (RuleListsEqual(appl, *namesake)) {
        return OstakDiffSameRules;
    }
    if (stampTest && StampsEqual(appl, *namesake)) {
        return OstakDiffSameStamp;
    }
    return OstakDiffChanged;
}

void MarkDifferencesInSource(OstakFileInMem &source, const OstakFileInMem &other) noexcept {
    const bool stampTest = StampTestApplies(source.Kind(), other.Kind());
    OstakApplLookup lookup(other.Applications());
    for (OstakElemAppl *appl = source.Applications().FirstAppl(); appl != nullptr; appl = appl->NextAppl()) {
        appl->SetDiffMark(DiffMarkOf(*appl, lookup.Find(appl->Name()), stampTest));
    }
}

} // namespace ostak
