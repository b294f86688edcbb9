#include "6-merge/OstakRuleMerge.h"

#include "6-merge/OstakProposedName.h"

namespace ostak {

namespace {

// The answer that stands for a callback that threw: no event gives it a meaning.
constexpr uint32_t kAnswerWithoutMeaning = 0xFFFFFFFFu;

int32_t CloneRule(const OstakElemRule &rule, OstakElemRule *&entering) noexcept {
    entering = rule.Clone();
    return entering != nullptr ? OSTAK_OK : OSTAK_E_NO_MEMORY;
}

bool AnswersWithoutCall(int32_t direction) noexcept {
    return direction == kDirectionSourceToPlain || direction == kDirectionIntoScript;
}

} // namespace

OstakRuleMerge::OstakRuleMerge(const MergeContext &context, OstakElemAppl *source,
                               OstakElemAppl *target) noexcept
    : context_(context), source_(source), target_(target) {}

int32_t OstakRuleMerge::Run(OstakListRule &merged) noexcept {
    merged.Clear();
    if (source_ == nullptr || target_ == nullptr || source_->Rules() == nullptr ||
        target_->Rules() == nullptr) {
        return OSTAK_E_INTERNAL_ARGUMENT;
    }
    if (context_.callback == nullptr) {
        return OSTAK_E_NO_MERGE_CALLBACK;
    }
    merged_ = &merged;
    OstakElemRule *s = source_->Rules()->FirstRule();
    OstakElemRule *t = target_->Rules()->FirstRule();
    int32_t rc = OSTAK_OK;
    while (rc == OSTAK_OK && (s != nullptr || t != nullptr)) {
        OstakElemRule *entering = nullptr;
        const int order = s == nullptr ? 1 : t == nullptr ? -1 : CompareNames(s->Name(), t->Name());
        if (order > 0) {
            rc = OnlyInTarget(*t, entering);
            t = t->NextRule();
        } else if (order < 0) {
            rc = OnlyInSource(*s, entering);
            s = s->NextRule();
        } else {
            rc = Common(*s, *t, entering);
            s = s->NextRule();
            t = t->NextRule();
        }
        if (entering != nullptr) {
            if (rc == OSTAK_OK) {
                rc = Enter(entering);
            } else {
                delete entering;
            }
        }
    }
    if (rc != OSTAK_OK) {
        merged.Clear();
    }
    merged_ = nullptr;
    return rc;
}

int32_t OstakRuleMerge::OnlyInTarget(OstakElemRule &rule, OstakElemRule *&entering) noexcept {
    const uint32_t answer = AnswersWithoutCall(context_.direction)
                                ? static_cast<uint32_t>(OstakMergeTakeTarget)
                                : Ask(OstakMergeRuleOnlyInTarget, target_, &rule, nullptr, nullptr, nullptr);
    switch (answer) {
    case OstakMergeTakeTarget:
        return CloneRule(rule, entering);
    case OstakMergeTakeSource:
        return OSTAK_OK;
    case OstakMergeCancel:
        return OSTAK_E_CANCELLED;
    default:
        return OSTAK_E_BAD_ANSWER;
    }
}

int32_t OstakRuleMerge::OnlyInSource(OstakElemRule &rule, OstakElemRule *&entering) noexcept {
    switch (Ask(OstakMergeRuleOnlyInSource, source_, &rule, nullptr, nullptr, nullptr)) {
    case OstakMergeTakeSource:
        return CloneRule(rule, entering);
    case OstakMergeTakeTarget:
        return OSTAK_OK;
    case OstakMergeCancel:
        return OSTAK_E_CANCELLED;
    default:
        return OSTAK_E_BAD_ANSWER;
    }
}

int32_t OstakRuleMerge::Common(OstakElemRule &source, OstakElemRule &target,
                               OstakElemRule *&entering) noexcept {
    entering = OstakElemRule::Create();
    if (entering == nullptr) {
        return OSTAK_E_NO_MEMORY;
    }
    if (source.Equals(target)) {
        return entering->CopyValuesFrom(target);
    }
    OstakProposedName proposal;
    const OstakListRule *const taken[] = {source_->Rules(), target_->Rules(), merged_};
    const int32_t rc = proposal.Make(target.Name(), taken, sizeof taken / sizeof taken[0]);
    if (rc != OSTAK_OK) {
        return rc;
    }
    switch (Ask(OstakMergeRuleConflict, source_, &source, target_, &target, proposal.Text())) {
    case OstakMergeTakeSource:
        return entering->CopyValuesFrom(source);
    case OstakMergeTakeTarget:
        return entering->CopyValuesFrom(target);
    case OstakMergeTakeBoth:
        return TakeBoth(source, target, proposal.Text(), entering);
    case OstakMergeCancel:
        return OSTAK_E_CANCELLED;
    default:
        return OSTAK_E_BAD_ANSWER;
    }
}

int32_t OstakRuleMerge::TakeBoth(OstakElemRule &source, OstakElemRule &target, const char *proposed,
                                 OstakElemRule *&entering) noexcept {
    OstakElemRule *copy = OstakElemRule::Create();
    if (copy == nullptr) {
        return OSTAK_E_NO_MEMORY;
    }
    int32_t rc = copy->CopyValuesFrom(source);
    if (rc == OSTAK_OK) {
        rc = copy->SetName(proposed);
    }
    if (rc == OSTAK_OK) {
        rc = entering->CopyValuesFrom(target);
    }
    if (rc != OSTAK_OK) {
        delete copy;
        return rc;
    }
    if (CompareNames(proposed, target.Name()) < 0) {
        return Enter(copy);
    }
    OstakElemRule *first = entering;
    entering = copy;
    return Enter(first);
}

int32_t OstakRuleMerge::Enter(OstakElemRule *rule) noexcept {
    OstakElem *last = merged_->Last();
    int32_t rc = OSTAK_OK;
    if (last == nullptr || CompareNames(last->Name(), rule->Name()) < 0) {
        rc = merged_->InsertAfter(rule, last);
    } else {
        // A copy kept under a proposed name can sort after a rule that the walk reaches later.
        rc = merged_->InsertInOrder(rule);
    }
    if (rc != OSTAK_OK) {
        if (rule->List() == merged_) {
            merged_->DeleteElem(rule);
        } else {
            delete rule;
        }
    }
    return rc;
}

uint32_t OstakRuleMerge::Ask(int32_t event, OstakElemAppl *appl, OstakElemRule *rule, OstakElemAppl *appl2,
                             OstakElemRule *rule2, const char *proposed) noexcept {
    // The callback is the caller's code; nothing it throws may unwind through the merge.
    try {
        return context_.callback(event, context_.sourceKind, context_.targetKind, appl, rule, appl2, rule2,
                                 proposed);
    } catch (...) {
        return kAnswerWithoutMeaning;
    }
}

} // namespace ostak
