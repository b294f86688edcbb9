#include "6-merge/OstakApplCompare.h"

#include <cstring>

namespace ostak {

bool RuleListsEqual(const OstakElemAppl &a, const OstakElemAppl &b) noexcept {
    const OstakElemRule *left = a.Rules() != nullptr ? a.Rules()->FirstRule() : nullptr;
    const OstakElemRule *right = b.Rules() != nullptr ? b.Rules()->FirstRule() : nullptr;
    while (left != nullptr && right != nullptr) {
        if (!left->Equals(*right)) {
            return false;
        }
        left = left->NextRule();
        right = right->NextRule();
    }
    return left == nullptr && right == nullptr;
}

bool StampsEqual(const OstakElemAppl &a, const OstakElemAppl &b) noexcept {
    return a.StampTime() == b.StampTime() && std::strcmp(a.StampHost(), b.StampHost()) == 0;
}

} // namespace ostak
