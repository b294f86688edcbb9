// Applying differences, all or nothing.
//
// The invariants this module keeps (the tests check each of them on every
// failure path, by comparing complete snapshots of both files):
//
//  1. A refused call (a pair of kinds without a direction) changes nothing and
//     allocates nothing.
//  2. Before anything is changed, both application lists are copied into
//     backups; when a backup cannot be made the call fails with 7 and nothing
//     has changed.
//  3. A call that fails, at whatever point, ends with each file's list holding
//     its backup: the same applications in the same order, each with the same
//     Name, Enabled, StampHost, StampTime and DiffMark, and the same rules in
//     the same order with the same values. Handles into either file are stale.
//  4. Restoring cannot fail: it only destroys the current elements and moves
//     the backup's chain into the list.
//  5. Nothing made during the call outlives it unless it is linked into one of
//     the two files: a rule or clone that does not enter its list is destroyed
//     at once, the merged list is emptied on failure, and the backups are
//     destroyed on every path.
//  6. Applying never changes a DiffMark.
//  7. Every merged rule list is in strict name order: each rule that enters it
//     takes its sorted place, and a name that is already there fails with 5.
//  8. A failure is reported by one message: -32550 for an out-of-range mark,
//     issued here; every other code is left to the caller to issue.
#include "6-merge/OstakApplyDifferences.h"

#include "2-core/MsgIssue.h"
#include "6-merge/OstakApplCompare.h"
#include "6-merge/OstakApplLookup.h"
#include "6-merge/OstakMergeTypes.h"
#include "6-merge/OstakRuleMerge.h"
#include "3-model/OstakElemAppl.h"

namespace ostak {

namespace {

class OstakApplyDifferences {
  public:
    OstakApplyDifferences(OstakListAppl &source, OstakListAppl &target, const MergeContext &context,
                          const OstakContext &process) noexcept
        : source_(source), target_(target), context_(context), process_(process), lookup_(target) {}

    int32_t Run() noexcept;

  private:
    int32_t ApplyOne(OstakElemAppl &appl) noexcept;
    int32_t CarryNew(OstakElemAppl &appl) noexcept;
    int32_t CarryExisting(OstakElemAppl &appl, OstakElemAppl &namesake) noexcept;
    int32_t SettleStamps(OstakElemAppl &appl, OstakElemAppl &namesake, bool rulesWereEqual) noexcept;
    // Sets the application's stamp to the process's host and the current time.
    int32_t StampNow(OstakElemAppl &appl) const noexcept;

    OstakListAppl &source_;
    OstakListAppl &target_;
    const MergeContext &context_;
    const OstakContext &process_;
    OstakApplLookup lookup_;
};

int32_t OstakApplyDifferences::StampNow(OstakElemAppl &appl) const noexcept {
    return appl.SetStamp(process_.stampHost, OstakElemAppl::CurrentTime());
}

int32_t OstakApplyDifferences::Run() noexcept {
    if (context_.direction == kDirectionPlainToScript) {
        for (OstakElemAppl *appl = target_.FirstAppl(); appl != nullptr; appl = appl->NextAppl()) {
            appl->SetEnabled(0);
        }
    }
    int32_t rc = OSTAK_OK;
    for (OstakElemAppl *appl = source_.FirstAppl(); appl != nullptr && rc == OSTAK_OK;
         appl = appl->NextAppl()) {
        rc = ApplyOne(*appl);
    }
    return rc;
}

int32_t OstakApplyDifferences::ApplyOne(OstakElemAppl &appl) noexcept {
    const int32_t mark = appl.DiffMark();
    if (mark != OstakDiffSkip && mark != OstakDiffApply) {
        MsgFormatAndIssue(kMsgDiffMarkInvalid, kApplyFuncName, kLineDiffMarkInvalid, kLevelError,
                          {MsgArg::Int(mark), MsgArg::Str(appl.Name())});
        return OSTAK_E_INVALID_ARGUMENT;
    }
    if (mark == OstakDiffSkip) {
        return OSTAK_OK;
    }
    OstakElemAppl *namesake = lookup_.Find(appl.Name());
    return namesake == nullptr ? CarryNew(appl) : CarryExisting(appl, *namesake);
}

int32_t OstakApplyDifferences::CarryNew(OstakElemAppl &appl) noexcept {
    if (context_.direction == kDirectionPlainToScript) {
        const int32_t rc = StampNow(appl);
        if (rc != OSTAK_OK) {
            return rc;
        }
    }
    OstakElemAppl *clone = appl.Clone(process_);
    if (clone == nullptr) {
        return OSTAK_E_NO_MEMORY;
    }
    int32_t rc = OSTAK_OK;
    switch (context_.direction) {
    case kDirectionScriptToPlain:
        clone->SetEnabled(1);
        break;
    case kDirectionSourceToPlain:
        rc = StampNow(*clone);
        break;
    case kDirectionIntoScript:
        clone->SetEnabled(0);
        rc = StampNow(*clone);
        break;
    default:
        break;
    }
    if (rc != OSTAK_OK) {
        delete clone;
        return rc;
    }
    // The lookup has just passed the clone's place: link it there, as insert
    // in order would, without walking from the head. Insert in order stops
    // where find by name stopped, so it cannot meet a namesake here; should
    // it ever give 5, the clone is linked and the restore removes it with the rest.
    OstakElem *after = nullptr;
    if (lookup_.PlaceOfMiss(after) && target_.InsertAfter(clone, after) == OSTAK_OK) {
        return OSTAK_OK;
    }
    return target_.InsertInOrder(clone);
}

int32_t OstakApplyDifferences::CarryExisting(OstakElemAppl &appl, OstakElemAppl &namesake) noexcept {
    const bool rulesWereEqual = RuleListsEqual(appl, namesake);
    if (!rulesWereEqual) {
        const bool replace = context_.replace ||
                             (context_.direction == kDirectionPlainToScript && StampsEqual(appl, namesake));
        if (replace) {
            const int32_t rc = namesake.Rules()->CopyFrom(appl.Rules());
            if (rc != OSTAK_OK) {
                return rc;
            }
        } else {
            OstakListRule merged;
            int32_t rc = OstakRuleMerge(context_, &appl, &namesake).Run(merged);
            if (rc != OSTAK_OK) {
                return rc;
            }
            appl.Rules()->MoveAllFrom(&merged);
            rc = namesake.Rules()->CopyFrom(appl.Rules());
            if (rc != OSTAK_OK) {
                return rc;
            }
        }
    }
    return SettleStamps(appl, namesake, rulesWereEqual);
}

int32_t OstakApplyDifferences::SettleStamps(OstakElemAppl &appl, OstakElemAppl &namesake,
                                            bool rulesWereEqual) noexcept {
    switch (context_.direction) {
    case kDirectionPlainToScript: {
        namesake.SetEnabled(appl.Enabled());
        if (rulesWereEqual) {
            return appl.CopyStampFrom(namesake);
        }
        const int32_t rc = StampNow(appl);
        return rc != OSTAK_OK ? rc : namesake.CopyStampFrom(appl);
    }
    case kDirectionScriptToPlain:
        return namesake.CopyStampFrom(appl);
    case kDirectionIntoScript:
        return StampNow(namesake);
    default:
        return OSTAK_OK;
    }
}

} // namespace

int32_t ApplyDifferences(OstakFileInMem &source, OstakFileInMem &target, bool replace,
                         const OstakContext &process) noexcept {
    const int32_t direction = MergeDirection(source.Kind(), target.Kind());
    if (direction == kDirectionNone) {
        return OSTAK_E_INVALID_ARGUMENT;
    }
    OstakListAppl sourceBackup;
    OstakListAppl targetBackup;
    if (sourceBackup.CopyFrom(&source.Applications(), process) != OSTAK_OK ||
        targetBackup.CopyFrom(&target.Applications(), process) != OSTAK_OK) {
        return OSTAK_E_NO_MEMORY;
    }
    const MergeContext context = {source.Kind(), target.Kind(), direction, process.mergeCallback, replace};
    const int32_t rc =
        OstakApplyDifferences(source.Applications(), target.Applications(), context, process).Run();
    if (rc != OSTAK_OK) {
        source.Applications().MoveAllFrom(&sourceBackup);
        target.Applications().MoveAllFrom(&targetBackup);
    }
    return rc;
}

} // namespace ostak
