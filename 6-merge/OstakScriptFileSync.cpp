#include "6-merge/OstakScriptFileSync.h"

#include "2-core/MsgIssue.h"
#include "3-model/OstakFileInMem.h"
#include "include/ostak.h"
#include "6-merge/OstakApplyDifferences.h"
#include "3-model/OstakElemAppl.h"

#include <cstring>
#include <memory>

namespace ostak {

namespace {

struct DeleteFile {
    void operator()(OstakFileInMem *file) const noexcept { delete file; }
};
using TemporaryFile = std::unique_ptr<OstakFileInMem, DeleteFile>;

// Each inner step reports its own failure once: the flag is cleared before
// it, so that the trace lines of an earlier parse do not silence it.
int32_t IssueInner(int32_t rc) noexcept {
    return rc == OSTAK_OK ? rc : IssueUnlessIssued(rc);
}

bool MustTakeOver(const OstakFileInMem &script, int32_t scriptStatus,
                  const OstakFileInMem &installation) noexcept {
    if (scriptStatus == OSTAK_E_FILE_MISSING || scriptStatus == OSTAK_E_FILE_EMPTY) {
        return true;
    }
    if (script.Applications().Empty() && std::strcmp(script.VersionText(), kOldFormatVersion) == 0) {
        return true;
    }
    return script.InstallationVersion() >= 2 &&
           script.InstallationVersion() != installation.InstallationVersion() && !script.Saved();
}

// Replaces the script's applications by copies of the installation's and
// writes the script's file (Saved absent). A copy that fails leaves the
// script's list as it was and nothing is written.
int32_t TakeOver(OstakFileInMem &script, const OstakFileInMem &installation,
                 const OstakContext &context) noexcept {
    ClearIssueOnce();
    const int32_t copied = script.Applications().CopyFrom(&installation.Applications(), context);
    if (copied != OSTAK_OK) {
        return IssueInner(copied);
    }
    script.SetInstallationVersion(installation.InstallationVersion());
    if (IssueInner(script.Save(false, nullptr, 0, false, context)) != OSTAK_OK) {
        return OSTAK_E_TAKEOVER_SAVE;
    }
    return OSTAK_OK;
}

bool CallerWantsMerge(const OstakContext &context) noexcept {
    const ostak_conf_callback ask = context.confCallback;
    if (ask == nullptr) {
        return false;
    }
    // The callback is the caller's code; nothing it throws may unwind through the load.
    try {
        return ask(0) == kConfAnswerMerge;
    } catch (...) {
        return false;
    }
}

// Merges every installation application into the script and writes the
// script's file with Saved="true". A cancel through the merge callback leaves
// both as they were and counts as success.
int32_t MergeIn(OstakFileInMem &script, OstakFileInMem &installation, const OstakContext &context) noexcept {
    for (OstakElemAppl *appl = installation.Applications().FirstAppl(); appl != nullptr;
         appl = appl->NextAppl()) {
        appl->SetDiffMark(OstakDiffApply);
    }
    ClearIssueOnce();
    const int32_t merged = IssueInner(ApplyDifferences(installation, script, false, context));
    if (merged == OSTAK_E_CANCELLED) {
        return OSTAK_OK;
    }
    if (merged != OSTAK_OK) {
        return OSTAK_E_MERGE;
    }
    script.SetInstallationVersion(installation.InstallationVersion());
    ClearIssueOnce();
    if (IssueInner(script.Save(false, nullptr, 0, true, context)) != OSTAK_OK) {
        return OSTAK_E_MERGE_SAVE;
    }
    return OSTAK_OK;
}

} // namespace

int32_t SyncScriptWithInstallation(OstakFileInMem &script, int32_t scriptStatus,
                                   const OstakContext &context) noexcept {
    ClearIssueOnce();
    TemporaryFile installation(OstakFileInMem::Create(OstakFileInMem::kKindInstallation,
                                                      context.installationPath,
                                                      static_cast<int32_t>(context.installationPathLength)));
    const int32_t loaded = installation == nullptr ? OSTAK_E_NO_MEMORY : installation->Load(false, context);
    if (IssueInner(loaded) != OSTAK_OK) {
        return OSTAK_E_INSTALLATION_LOAD;
    }
    if (MustTakeOver(script, scriptStatus, *installation)) {
        const int32_t rc = TakeOver(script, *installation, context);
        if (rc != OSTAK_OK) {
            return rc;
        }
    }
    if (script.InstallationVersion() == installation->InstallationVersion() || !CallerWantsMerge(context)) {
        return OSTAK_OK;
    }
    return MergeIn(script, *installation, context);
}

} // namespace ostak
