// Exports of three-way decisions from a base rule file.
#include "2-core/ExportFrame.h"
#include "3-model/OstakFileInMem.h"
#include "6-merge/OstakThreeWay.h"
#include "7-interface/OstakHandles.h"
#include "include/ostak.h"

using namespace ostak;

namespace {

bool IsMergeEvent(int32_t event) noexcept {
    return event == OstakMergeRuleOnlyInSource || event == OstakMergeRuleOnlyInTarget ||
           event == OstakMergeRuleConflict;
}

} // namespace

extern "C" {

OSTAK_API int32_t xfeOstakThreeWayAnswerMerge(OstakFileInMemHandle *mpFileInMemBase, int32_t miEvent,
                                              void *mpAppl, void *mpRule, void *mpAppl2, void *mpRule2,
                                              uint32_t *mpnAnswer) noexcept {
    const auto presets = Presets(mpnAnswer, kThreeWayConflict);
    return RunExport("xfeOstakThreeWayAnswerMerge", presets, kRequireInit, [&]() -> int32_t {
        if (mpFileInMemBase == nullptr || mpAppl == nullptr || mpRule == nullptr || mpnAnswer == nullptr ||
            !IsMergeEvent(miEvent) ||
            (miEvent == OstakMergeRuleConflict && (mpAppl2 == nullptr || mpRule2 == nullptr))) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        const OstakThreeWay threeWay(FromHandle(mpFileInMemBase)->Applications());
        const auto *rule2 = miEvent == OstakMergeRuleConflict
                                ? FromHandle(static_cast<OstakElemRuleHandle *>(mpRule2))
                                : nullptr;
        *mpnAnswer = threeWay.AnswerEvent(miEvent, *FromHandle(static_cast<OstakElemApplHandle *>(mpAppl)),
                                          *FromHandle(static_cast<OstakElemRuleHandle *>(mpRule)), rule2);
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakThreeWayAnswerAppl(OstakFileInMemHandle *mpFileInMemBase,
                                             OstakElemApplHandle *mpElemApplSource,
                                             OstakElemApplHandle *mpElemApplTarget,
                                             uint32_t *mpnAnswer) noexcept {
    const auto presets = Presets(mpnAnswer, kThreeWayConflict);
    return RunExport("xfeOstakThreeWayAnswerAppl", presets, kRequireInit, [&]() -> int32_t {
        if (mpFileInMemBase == nullptr || mpnAnswer == nullptr ||
            (mpElemApplSource == nullptr) == (mpElemApplTarget == nullptr)) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        const OstakThreeWay threeWay(FromHandle(mpFileInMemBase)->Applications());
        *mpnAnswer = threeWay.AnswerApplication(FromHandle(mpElemApplSource), FromHandle(mpElemApplTarget));
        return OSTAK_OK;
    });
}

OSTAK_API int32_t xfeOstakThreeWayAnswerEnabled(OstakFileInMemHandle *mpFileInMemBase,
                                                OstakElemApplHandle *mpElemApplSource,
                                                OstakElemApplHandle *mpElemApplTarget,
                                                uint32_t *mpnAnswer) noexcept {
    const auto presets = Presets(mpnAnswer, kThreeWayConflict);
    return RunExport("xfeOstakThreeWayAnswerEnabled", presets, kRequireInit, [&]() -> int32_t {
        if (mpFileInMemBase == nullptr || mpElemApplSource == nullptr || mpElemApplTarget == nullptr ||
            mpnAnswer == nullptr) {
            return OSTAK_E_INVALID_ARGUMENT;
        }
        const OstakThreeWay threeWay(FromHandle(mpFileInMemBase)->Applications());
        *mpnAnswer = threeWay.AnswerEnabled(*FromHandle(mpElemApplSource), *FromHandle(mpElemApplTarget));
        return OSTAK_OK;
    });
}

} // extern "C"
