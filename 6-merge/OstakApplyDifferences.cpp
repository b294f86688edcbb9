// Applying differences, all or nothing.
//
// Every change to an application that is linked into either file goes through
// an undo log (OstakApplyUndoLog), which remembers what the change replaced.
// The invariants this module keeps (the tests check each of them on every
// failure path, by comparing complete snapshots of both files):
//
//  1. A refused call (a pair of kinds without a direction) changes nothing and
//     allocates nothing.
//  2. Each change to a linked application is made and recorded in the log, or
//     not made at all: the log makes room for its entry, and allocates the
//     new value, before anything is changed. The changes are Enabled, the
//     stamp, the whole rule list (exchanged, the former rules kept aside) and
//     a new application linked into the target.
//  3. A call that fails, at whatever point, replays the log backwards: each
//     file's list then holds the same application objects in the same order,
//     each with the same Name, Enabled, StampHost, StampTime and DiffMark, and
//     the same rule objects in the same order with the same values. Handles
//     into either file stay valid.
//  4. Undoing cannot fail: it only puts values and rule chains back and
//     deletes the applications it linked.
//  5. Nothing made during the call outlives it unless it is linked into one of
//     the two files: a rule or clone that does not enter its list is destroyed
//     at once, the merged list is emptied on failure, the former values kept
//     by the log are released when it commits or undoes, and the log itself
//     on every path.
//  6. Applying never changes a DiffMark, nor a name.
//  7. Every merged rule list is in strict name order: each rule that enters it
//     takes its sorted place, and a name that is already there fails with 5.
//  8. A failure is reported by one message: -32550 for an out-of-range mark,
//     issued here; every other code is left to the caller to issue.
//  9. The log holds one entry per change made, so the call's time and memory
//     follow what is marked (and, in direction 0, the target's enabled
//     applications), not the size of the files.
#include "6-merge/OstakApplyDifferences.h"

#include "2-core/MsgIssue.h"
#include "6-merge/OstakApplCompare.h"
#include "6-merge/OstakApplLookup.h"
#include "6-merge/OstakApplyUndoLog.h"
#include "6-merge/OstakMergeTypes.h"
#include "6-merge/OstakRuleMerge.h"
#include "3-model/OstakElemAppl.h"

namespace ostak {

namespace {

class OstakApplyDifferences {
  public:
    OstakApplyDifferences(OstakListAppl &source, OstakListAppl &target, const MergeContext &context,
                          const OstakContext &process, OstakApplyUndoLog &log) noexcept
        : source_(source), target_(target), context_(context), process_(process), log_(log), lookup_(target) {
    }

    int32_t Run() noexcept;

  private:
    int32_t ApplyOne(OstakElemAppl &appl) noexcept;
    int32_t CarryNew(OstakElemAppl &appl) noexcept;
    int32_t CarryExisting(OstakElemAppl &appl, OstakElemAppl &namesake) noexcept;
    int32_t SettleStamps(OstakElemAppl &appl, OstakElemAppl &namesake, bool rulesWereEqual) noexcept;
    // Sets the stamp of a linked application to the process's host and the current time.
    int32_t StampNow(OstakElemAppl &appl) noexcept;
    // The same for a clone not yet linked (nothing to undo).
    int32_t StampClone(OstakElemAppl &clone) const noexcept;

    OstakListAppl &source_;
    OstakListAppl &target_;
    const MergeContext &context_;
    const OstakContext &process_;
    OstakApplyUndoLog &log_;
    OstakApplLookup lookup_;
};

int32_t OstakApplyDifferences::StampNow(OstakElemAppl &appl) noexcept {
    return log_.SetStamp(appl, process_.stampHost, OstakElemAppl::CurrentTime());
}

int32_t OstakApplyDifferences::StampClone(OstakElemAppl &clone) const noexcept {
    return clone.SetStamp(process_.stampHost, OstakElemAppl::CurrentTime());
}

int32_t OstakApplyDifferences::Run() noexcept {
    if (context_.direction == kDirectionPlainToScript) {
        for (OstakElemAppl *appl = target_.FirstAppl(); appl != nullptr; appl = appl->NextAppl()) {
            if (log_.SetEnabled(*appl, 0) != OSTAK_OK) {
                return OSTAK_E_NO_MEMORY;
            }
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
        rc = StampClone(*clone);
        break;
    case kDirectionIntoScript:
        clone->SetEnabled(0);
        rc = StampClone(*clone);
        break;
    default:
        break;
    }
    if (rc == OSTAK_OK) {
        rc = log_.Reserve();
    }
    if (rc != OSTAK_OK) {
        delete clone;
        return rc;
    }
    // The lookup has just passed the clone's place: link it there, as insert
    // in order would, without walking from the head. Insert in order stops
    // where find by name stopped, so it cannot meet a namesake here; should
    // it ever give 5, the clone is linked and undoing removes it with the rest.
    OstakElem *after = nullptr;
    if (lookup_.PlaceOfMiss(after) && target_.InsertAfter(clone, after) == OSTAK_OK) {
        log_.Inserted(target_, *clone);
        return OSTAK_OK;
    }
    rc = target_.InsertInOrder(clone);
    log_.Inserted(target_, *clone);
    return rc;
}

int32_t OstakApplyDifferences::CarryExisting(OstakElemAppl &appl, OstakElemAppl &namesake) noexcept {
    const bool rulesWereEqual = RuleListsEqual(appl, namesake);
    if (!rulesWereEqual) {
        const bool replace = context_.replace ||
                             (context_.direction == kDirectionPlainToScript && StampsEqual(appl, namesake));
        if (!replace) {
            // The merged rules become the source's; the target gets copies of them.
            OstakListRule merged;
            const int32_t rc = OstakRuleMerge(context_, &appl, &namesake).Run(merged);
            if (rc != OSTAK_OK) {
                return rc;
            }
            if (log_.ReplaceRules(appl, merged) != OSTAK_OK) {
                return OSTAK_E_NO_MEMORY;
            }
        }
        OstakListRule copies;
        const int32_t rc = copies.CopyFrom(appl.Rules());
        if (rc != OSTAK_OK) {
            return rc;
        }
        if (log_.ReplaceRules(namesake, copies) != OSTAK_OK) {
            return OSTAK_E_NO_MEMORY;
        }
    }
    return SettleStamps(appl, namesake, rulesWereEqual);
}

int32_t OstakApplyDifferences::SettleStamps(OstakElemAppl &appl, OstakElemAppl &namesake,
                                            bool rulesWereEqual) noexcept {
    switch (context_.direction) {
    case kDirectionPlainToScript: {
        if (log_.SetEnabled(namesake, appl.Enabled()) != OSTAK_OK) {
            return OSTAK_E_NO_MEMORY;
        }
        if (rulesWereEqual) {
            return log_.CopyStamp(appl, namesake);
        }
        const int32_t rc = StampNow(appl);
        return rc != OSTAK_OK ? rc : log_.CopyStamp(namesake, appl);
    }
    case kDirectionScriptToPlain:
        return log_.CopyStamp(namesake, appl);
    case kDirectionIntoScript:
        return StampNow(namesake);
    default:
        return OSTAK_OK;
    }
}

} // namespace

int32_t ApplyDifferences(OstakFileInMem &source, OstakFileInMem &target, bool replace,
                         const OstakContext &process, uint64_t *changes) noexcept {
    const int32_t direction = MergeDirection(source.Kind(), target.Kind());
    if (direction == kDirectionNone) {
        return OSTAK_E_INVALID_ARGUMENT;
    }
    const MergeContext context = {source.Kind(), target.Kind(), direction, process.mergeCallback, replace};
    OstakApplyUndoLog log;
    const int32_t rc =
        OstakApplyDifferences(source.Applications(), target.Applications(), context, process, log).Run();
    if (changes != nullptr) {
        *changes = log.Recorded();
    }
    if (rc != OSTAK_OK) {
        log.Undo();
    } else {
        log.Commit();
    }
    return rc;
}

} // namespace ostak
