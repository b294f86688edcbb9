// Values shared by marking and applying differences: the direction of a pair
// of file kinds, and the context that one application of differences runs in.
//
// The difference marks, the merge callback's events and its answers are part
// of the public interface (include/ostak.h: OstakDiff*, OstakMerge*).
#pragma once

#include "include/ostak.h"

#include <cstdint>

namespace ostak {

// The source line sent with the message about an out-of-range difference mark.
constexpr int32_t kLineDiffMarkInvalid = 1240;
// The function name that messages of applying carry.
constexpr const char *kApplyFuncName = "xfeOstakHandleDifferencesInTargetBySourceMark";

// The directions in which differences may be applied, by source and target kind.
constexpr int32_t kDirectionNone = -1;         // a pair that is refused
constexpr int32_t kDirectionPlainToScript = 0; // kind 0 into kind 1
constexpr int32_t kDirectionScriptToPlain = 1; // kind 1 into kind 0
constexpr int32_t kDirectionSourceToPlain = 2; // kind 3 into kind 0
constexpr int32_t kDirectionIntoScript = 3;    // kind 2 or 3 into kind 1

// The direction of a pair of file kinds, or kDirectionNone.
constexpr int32_t MergeDirection(int32_t sourceKind, int32_t targetKind) noexcept {
    if (sourceKind == 0 && targetKind == 1) {
        return kDirectionPlainToScript;
    }
    if (sourceKind == 1 && targetKind == 0) {
        return kDirectionScriptToPlain;
    }
    if (sourceKind == 3 && targetKind == 0) {
        return kDirectionSourceToPlain;
    }
    if ((sourceKind == 2 || sourceKind == 3) && targetKind == 1) {
        return kDirectionIntoScript;
    }
    return kDirectionNone;
}

// Marking compares stamps only between a kind-0 and a kind-1 file, in either order.
constexpr bool StampTestApplies(int32_t sourceKind, int32_t otherKind) noexcept {
    return (sourceKind == 0 && otherKind == 1) || (sourceKind == 1 && otherKind == 0);
}

// What one application of differences works with.
struct MergeContext {
    int32_t sourceKind;
    int32_t targetKind;
    int32_t direction;
    ostak_merge_callback callback; // may be null: a rule merge then fails with 17
    bool replace;                  // differing rules are replaced by the source's, without a callback
};

} // namespace ostak
