#include "6-merge/OstakThreeWay.h"

#include "6-merge/OstakApplCompare.h"

namespace ostak {

uint32_t DecideThreeWay(const ThreeWaySides &sides) noexcept {
    if (sides.inSource && sides.inTarget) {
        if (sides.inBase && sides.targetEqualsBase) {
            return OstakMergeTakeSource; // only the source changed it
        }
        if (sides.inBase && sides.sourceEqualsBase) {
            return OstakMergeTakeTarget; // only the target changed it
        }
        return kThreeWayConflict;
    }
    if (sides.inSource) {
        if (!sides.inBase) {
            return OstakMergeTakeSource; // added in the source
        }
        return sides.sourceEqualsBase ? static_cast<uint32_t>(OstakMergeTakeTarget)
                                      : kThreeWayConflict; // deleted in the target
    }
    if (sides.inTarget) {
        if (!sides.inBase) {
            return OstakMergeTakeTarget; // added in the target
        }
        return sides.targetEqualsBase ? static_cast<uint32_t>(OstakMergeTakeSource)
                                      : kThreeWayConflict; // deleted in the source
    }
    return kThreeWayConflict;
}

bool ApplicationContentsEqual(const OstakElemAppl &a, const OstakElemAppl &b) noexcept {
    return a.Enabled() == b.Enabled() && RuleListsEqual(a, b);
}

const OstakElemAppl *OstakThreeWay::BaseAppl(const char *name) const noexcept {
    return base_.FindAppl(name);
}

const OstakElemRule *OstakThreeWay::BaseRule(const OstakElemAppl &appl, const char *ruleName) const noexcept {
    const OstakElemAppl *baseAppl = BaseAppl(appl.Name());
    if (baseAppl == nullptr || baseAppl->Rules() == nullptr) {
        return nullptr;
    }
    return baseAppl->Rules()->FindRule(ruleName);
}

uint32_t OstakThreeWay::AnswerEvent(int32_t event, const OstakElemAppl &appl, const OstakElemRule &rule,
                                    const OstakElemRule *rule2) const noexcept {
    const OstakElemRule *base = BaseRule(appl, rule.Name());
    ThreeWaySides sides{false, false, base != nullptr, false, false};
    switch (event) {
    case OstakMergeRuleOnlyInSource:
        sides.inSource = true;
        sides.sourceEqualsBase = base != nullptr && base->Equals(rule);
        break;
    case OstakMergeRuleOnlyInTarget:
        sides.inTarget = true;
        sides.targetEqualsBase = base != nullptr && base->Equals(rule);
        break;
    case OstakMergeRuleConflict:
        if (rule2 == nullptr) {
            return kThreeWayConflict;
        }
        sides.inSource = true;
        sides.inTarget = true;
        sides.sourceEqualsBase = base != nullptr && base->Equals(rule);
        sides.targetEqualsBase = base != nullptr && base->Equals(*rule2);
        break;
    default:
        return kThreeWayConflict;
    }
    return DecideThreeWay(sides);
}

uint32_t OstakThreeWay::AnswerApplication(const OstakElemAppl *source,
                                          const OstakElemAppl *target) const noexcept {
    const OstakElemAppl *present = source != nullptr ? source : target;
    if (present == nullptr || (source != nullptr && target != nullptr)) {
        return kThreeWayConflict;
    }
    const OstakElemAppl *base = BaseAppl(present->Name());
    const bool equal = base != nullptr && ApplicationContentsEqual(*base, *present);
    return DecideThreeWay(ThreeWaySides{source != nullptr, target != nullptr, base != nullptr,
                                        source != nullptr && equal, target != nullptr && equal});
}

uint32_t OstakThreeWay::AnswerEnabled(const OstakElemAppl &source,
                                      const OstakElemAppl &target) const noexcept {
    if (source.Enabled() == target.Enabled()) {
        return OstakMergeTakeTarget; // nothing differs: either side will do
    }
    const OstakElemAppl *base = BaseAppl(source.Name());
    return DecideThreeWay(ThreeWaySides{true, true, base != nullptr,
                                        base != nullptr && base->Enabled() == source.Enabled(),
                                        base != nullptr && base->Enabled() == target.Enabled()});
}

} // namespace ostak
