#include "6-merge/OstakRuleMerge.h"

#include "6-merge/OstakProposedName.h"

#include <initializer_list>

namespace ostak {

namespace {

// The answer that stands for a callback that threw: no event gives it a meaning.
constexpr uint32_t kAnswerWithoutMeaning = 0xFFFFFFFFu;

int32_t CloneRule(const OstakElemRule &rule, OstakElemRule *&entering) noexcept {
    entering = rule.Clone();
    return entering != nullptr ? OSTAK_OK : OSTAK_E_NO_MEMORY;
}

std::size_t CountRules(const OstakListRule &rules) noexcept {
    std::size_t count = 0;
    for (const OstakElem *rule = rules.First(); rule != nullptr; rule = rule->Next()) {
        ++count;
    }
    return count;
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
    walked_ = nullptr;
    copied_ = nullptr;
    copyLeft_ = nullptr;
    taken_.Clear();
    takenIndexed_ = false;
    OstakElemRule *s = source_->Rules()->FirstRule();
    OstakElemRule *t = target_->Rules()->FirstRule();
    int32_t rc = OSTAK_OK;
    while (rc == OSTAK_OK && (s != nullptr || t != nullptr)) {
        OstakElemRule *entering = nullptr;
        copyLeft_ = nullptr;
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
                rc = Enter(entering, entering != copyLeft_);
            } else {
                delete entering;
            }
        }
    }
    if (rc != OSTAK_OK) {
        merged.Clear();
    }
    merged_ = nullptr;
    taken_.Clear();
    takenIndexed_ = false;
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
    if (!takenIndexed_) {
        // Each common rule adds at most one proposed name later on.
        const OstakListRule *const lists[] = {source_->Rules(), target_->Rules(), merged_};
        const int32_t rc = taken_.Build(lists, sizeof lists / sizeof lists[0], CountRules(*target_->Rules()));
        if (rc != OSTAK_OK) {
            return rc;
        }
        takenIndexed_ = true;
    }
    OstakProposedName proposal;
    const int32_t rc = proposal.Make(target.Name(), taken_);
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
    if (rc == OSTAK_OK) {
        // The copy enters the merged list in this step, so later proposals avoid its name.
        rc = taken_.Add(copy->Name());
    }
    if (rc != OSTAK_OK) {
        delete copy;
        return rc;
    }
    if (CompareNames(proposed, target.Name()) < 0) {
        return Enter(copy, false);
    }
    OstakElemRule *first = entering;
    entering = copy;
    copyLeft_ = copy;
    return Enter(first, true);
}

OstakElem *OstakRuleMerge::PlaceFor(const char *name) const noexcept {
    // The merged chain ascends strictly, so the place is after the last name
    // that sorts before this one, and the search may start at any element
    // that does: the greater of the last rule of the walk and the last copy
    // entered (names of the walk ascend, and so do proposals mostly).
    OstakElem *after = nullptr;
    for (OstakElem *finger : {walked_, copied_}) {
        if (finger != nullptr && CompareNames(finger->Name(), name) < 0 &&
            (after == nullptr || CompareNames(after->Name(), finger->Name()) < 0)) {
            after = finger;
        }
    }
    OstakElem *next = after != nullptr ? after->Next() : merged_->First();
    while (next != nullptr && CompareNames(next->Name(), name) < 0) {
        ++placeSteps_;
        after = next;
        next = next->Next();
    }
    return after;
}

int32_t OstakRuleMerge::Enter(OstakElemRule *rule, bool fromWalk) noexcept {
    OstakElem *last = merged_->Last();
    int32_t rc = OSTAK_OK;
    if (last == nullptr || CompareNames(last->Name(), rule->Name()) < 0) {
        rc = merged_->InsertAfter(rule, last);
    } else {
        // A copy kept under a proposed name can sort after a rule that the
        // walk reaches later. Linking after the last smaller name is where
        // insert in order puts it; should that be refused (an equal name),
        // insert in order gives the result.
        rc = merged_->InsertAfter(rule, PlaceFor(rule->Name()));
        if (rc != OSTAK_OK) {
            rc = merged_->InsertInOrder(rule);
        }
    }
    if (rc != OSTAK_OK) {
        if (rule->List() == merged_) {
            merged_->DeleteElem(rule);
        } else {
            delete rule;
        }
        return rc;
    }
    if (fromWalk) {
        walked_ = rule;
    } else {
        copied_ = rule;
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
