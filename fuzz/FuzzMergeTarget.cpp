// Fuzz target: marking and applying differences between two rule files.
//
// Input: SOURCE <sep> TARGET <sep> DECISIONS, <sep> being kPartSeparator.
// The first decision byte chooses the pair of kinds (one of the five accepted
// pairs) and, by its top bit, the replace flag; then one byte per source
// application sets its mark (0xFF leaves the mark of marking in place, 0xFE
// puts -1, else the low bit says skip or apply; apply when none is left); the
// remaining bytes answer the merge callback (0 cancel, 0xFF and 0xFE answers
// out of range, else 1 to 3; once used up, every rule is kept).
//
// Oracle: a failed apply leaves both files exactly as they were and says so in
// one message; a successful one keeps the names in strict order, carries
// exactly the marked applications, leaves namesakes holding equal rules, sets
// stamps and Enabled as the direction says, and its files save and load back
// to the same model. Nothing leaks.
#include "3-model/OstakFileInMem.h"
#include "2-core/OstakGlobals.h"
#include "fuzz/FuzzModel.h"
#include "fuzz/FuzzSupport.h"
#include "include/ostak.h"
#include "6-merge/OstakMergeTypes.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "1-platform/Alloc.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace {

using ostak::OstakElemAppl;
using ostak::OstakElemRule;
using ostak::OstakFileInMem;
using namespace ostak_fuzz;

struct KindPair {
    int32_t source;
    int32_t target;
};
constexpr KindPair kPairs[] = {{0, 1}, {1, 0}, {3, 0}, {2, 1}, {3, 1}};

// What the merge callback answers and checks, for the input being run.
struct MergeRound {
    ByteStream answers;
    KindPair kinds{0, 0};
    int calls = 0;
};
MergeRound g_round;

bool HoldsRuleNamed(const OstakElemAppl *appl, const char *name) {
    for (const OstakElemRule *rule = appl->Rules()->FirstRule(); rule != nullptr; rule = rule->NextRule()) {
        if (std::strcmp(rule->Name(), name) == 0) {
            return true;
        }
    }
    return false;
}

void CheckQuestion(int32_t event, int32_t sourceKind, int32_t targetKind, void *appl, void *rule, void *appl2,
                   void *rule2, const char *proposedName) {
    Check(sourceKind == g_round.kinds.source && targetKind == g_round.kinds.target,
          "the callback hears the kinds");
    Check(appl != nullptr && rule != nullptr, "the callback gets an application and a rule");
    const auto *a = static_cast<const OstakElemAppl *>(appl);
    const auto *r = static_cast<const OstakElemRule *>(rule);
    Check(r->List() == a->Rules(), "the rule belongs to the application");
    const int32_t direction = ostak::MergeDirection(sourceKind, targetKind);
    switch (event) {
    case OstakMergeRuleOnlyInSource:
    case OstakMergeRuleOnlyInTarget:
        Check(appl2 == nullptr && rule2 == nullptr && proposedName == nullptr,
              "one-sided events pass one side");
        Check(event == OstakMergeRuleOnlyInSource || direction == ostak::kDirectionPlainToScript ||
                  direction == ostak::kDirectionScriptToPlain,
              "rules only in the target are asked about in directions 0 and 1 only");
        return;
    case OstakMergeRuleConflict: {
        Check(appl2 != nullptr && rule2 != nullptr && proposedName != nullptr,
              "a conflict passes both sides");
        const auto *a2 = static_cast<const OstakElemAppl *>(appl2);
        const auto *r2 = static_cast<const OstakElemRule *>(rule2);
        Check(r2->List() == a2->Rules(), "the target rule belongs to the target application");
        Check(std::strcmp(r->Name(), r2->Name()) == 0, "a conflict is between namesakes");
        Check(!r->Equals(*r2), "a conflict is between different rules");
        Check(ostak::CheckName(proposedName) == 0 && proposedName[0] != '\0', "the proposed name is a name");
        Check(!HoldsRuleNamed(a, proposedName) && !HoldsRuleNamed(a2, proposedName),
              "the proposed name is free on both sides");
        return;
    }
    default:
        Check(false, "the callback hears events 4, 5 and 6 only");
    }
}

uint32_t ScriptedMerge(int32_t event, int32_t sourceKind, int32_t targetKind, void *appl, void *rule,
                       void *appl2, void *rule2, const char *proposedName) {
    CheckQuestion(event, sourceKind, targetKind, appl, rule, appl2, rule2, proposedName);
    ++g_round.calls;
    return MergeAnswerFrom(event, g_round.answers);
}


std::unique_ptr<OstakFileInMem> LoadPart(int32_t kind, const std::string &path, const std::string &bytes) {
    Check(WriteFile(path, bytes), "writing an input file");
    std::unique_ptr<OstakFileInMem> file(
        OstakFileInMem::Create(kind, path.c_str(), static_cast<int32_t>(path.size())));
    Check(file != nullptr, "creating an object");
    const int32_t rc = file->Load(false, ostak::OstakContext::FromGlobals());
    Trace("load", rc);
    Check(NamesInOrder(*file, rc == 0), "a loaded file is in name order");
    return file;
}

void SetMarks(OstakFileInMem &source, ByteStream &decisions) {
    for (OstakElemAppl *appl = source.Applications().FirstAppl(); appl != nullptr; appl = appl->NextAppl()) {
        const int byte = decisions.Next(1);
        if (byte == 0xFF) {
            continue;
        }
        appl->SetDiffMark(byte == 0xFE ? -1 : (byte & 1));
    }
}

const ApplSnap *Find(const FileSnap &file, const std::string &name) {
    for (const ApplSnap &appl : file.appls) {
        if (appl.name == name) {
            return &appl;
        }
    }
    return nullptr;
}

bool StampedNow(const ApplSnap &appl, int32_t from, int32_t to) {
    return appl.host == ostak::Globals().hostName.text && appl.time >= from && appl.time <= to;
}

bool SameStamp(const ApplSnap &a, const ApplSnap &b) {
    return a.host == b.host && a.time == b.time;
}

// Each source application's mark: absent, same rules, same stamp (only
// where the kinds compare stamps), or changed.
void CheckMarks(const FileSnap &source, const FileSnap &other, bool stampTest) {
    for (const ApplSnap &appl : source.appls) {
        const ApplSnap *namesake = Find(other, appl.name);
        int32_t expected = OstakDiffChanged;
        if (namesake == nullptr) {
            expected = OstakDiffAbsent;
        } else if (namesake->rules == appl.rules) {
            expected = OstakDiffSameRules;
        } else if (stampTest && SameStamp(appl, *namesake)) {
            expected = OstakDiffSameStamp;
        }
        Check(appl.mark == expected, "marking compares names, then rules, then stamps");
    }
}

// A successful apply, checked application by application against the
// snapshots taken before it. `from` and `to` bound the current time.
void CheckSuccess(const FileSnap &sourceBefore, const FileSnap &targetBefore, const FileSnap &source,
                  const FileSnap &target, int32_t direction, bool replace, int32_t from, int32_t to) {
    Check(source.appls.size() == sourceBefore.appls.size(), "the source keeps its applications");
    std::set<std::string> expectedNames;
    for (const ApplSnap &appl : targetBefore.appls) {
        expectedNames.insert(appl.name);
    }
    for (std::size_t i = 0; i < source.appls.size(); ++i) {
        const ApplSnap &before = sourceBefore.appls[i];
        const ApplSnap &after = source.appls[i];
        Check(after.name == before.name && after.mark == before.mark, "applying changes no mark and no name");
        if (before.mark == OstakDiffSkip) {
            Check(after == before, "an application marked 0 is left alone");
            continue;
        }
        expectedNames.insert(before.name);
        const ApplSnap *namesakeBefore = Find(targetBefore, before.name);
        const ApplSnap *carried = Find(target, before.name);
        Check(carried != nullptr, "a marked application is in the target afterwards");
        Check(carried->rules == after.rules, "source and target hold the same rules afterwards");
        if (replace || (namesakeBefore != nullptr && namesakeBefore->rules == before.rules)) {
            Check(after.rules == before.rules, "equal or replaced rules leave the source's rules alone");
        }
        if (namesakeBefore == nullptr) {
            switch (direction) {
            case ostak::kDirectionPlainToScript:
                Check(SameStamp(*carried, after) && StampedNow(after, from, to),
                      "direction 0 stamps the new one");
                break;
            case ostak::kDirectionScriptToPlain:
                Check(carried->enabled == 1 && SameStamp(*carried, before),
                      "direction 1 enables the new one");
                break;
            case ostak::kDirectionSourceToPlain:
                Check(StampedNow(*carried, from, to), "direction 2 stamps the new one");
                break;
            default:
                Check(carried->enabled == 0 && StampedNow(*carried, from, to),
                      "direction 3 disables and stamps the new one");
                break;
            }
            continue;
        }
        switch (direction) {
        case ostak::kDirectionPlainToScript:
            Check(carried->enabled == before.enabled && SameStamp(*carried, after),
                  "direction 0 shares Enabled and the stamp");
            break;
        case ostak::kDirectionScriptToPlain:
            Check(SameStamp(*carried, before), "direction 1 copies the source's stamp");
            break;
        case ostak::kDirectionSourceToPlain:
            Check(SameStamp(*carried, *namesakeBefore), "direction 2 keeps the target's stamp");
            break;
        default:
            Check(StampedNow(*carried, from, to), "direction 3 stamps the target");
            break;
        }
    }
    Check(target.appls.size() == expectedNames.size(), "the target gains exactly the marked newcomers");
    for (const ApplSnap &before : targetBefore.appls) {
        const ApplSnap *source = Find(sourceBefore, before.name);
        if (source != nullptr && source->mark == OstakDiffApply) {
            continue;
        }
        ApplSnap expected = before;
        if (direction == ostak::kDirectionPlainToScript) {
            expected.enabled = 0;
        }
        const ApplSnap *after = Find(target, before.name);
        Check(after != nullptr && *after == expected, "an untouched target application stays");
    }
}

void RunOne(const std::vector<std::string> &parts) {
    ByteStream decisions(parts.size() > 2 ? parts[2] : std::string());
    const int first = decisions.Next(0);
    const KindPair kinds = kPairs[(first & 0x7F) % 5];
    const bool replace = (first & 0x80) != 0;
    std::unique_ptr<OstakFileInMem> source = LoadPart(kinds.source, WorkDir() + "/source.xml", parts[0]);
    std::unique_ptr<OstakFileInMem> target =
        LoadPart(kinds.target, WorkDir() + "/target.xml", parts.size() > 1 ? parts[1] : std::string());
    // Lists with equal names are outside what applying promises anything for.
    if (!NamesInOrder(*source, true) || !NamesInOrder(*target, true)) {
        return;
    }
    auto *sourceHandle = reinterpret_cast<OstakFileInMemHandle *>(source.get());
    auto *targetHandle = reinterpret_cast<OstakFileInMemHandle *>(target.get());
    const FileSnap targetUnmarked = Snapshot(*target);
    Check(xfeOstakMarkDifferencesInSource(sourceHandle, targetHandle) == 0, "marking succeeds");
    Check(Snapshot(*target) == targetUnmarked, "marking leaves the other file alone");
    CheckMarks(Snapshot(*source), targetUnmarked, ostak::StampTestApplies(kinds.source, kinds.target));
    SetMarks(*source, decisions);

    const FileSnap sourceBefore = Snapshot(*source);
    const FileSnap targetBefore = Snapshot(*target);
    g_round = MergeRound{decisions, kinds, 0};
    ResetLoggedProblems();
    const int32_t from = OstakElemAppl::CurrentTime();
    const int32_t rc = xfeOstakHandleDifferencesInTargetBySourceMark(sourceHandle, targetHandle, replace);
    const int32_t to = OstakElemAppl::CurrentTime();
    Trace("apply", rc);
    const FileSnap sourceAfter = Snapshot(*source);
    const FileSnap targetAfter = Snapshot(*target);
    if (replace) {
        Check(g_round.calls == 0, "replacing asks nothing");
    }
    if (rc != 0) {
        Check(LoggedProblems() == 1, "a failed apply says so once");
        Check(sourceAfter == sourceBefore, "a failed apply leaves the source as it was");
        Check(targetAfter == targetBefore, "a failed apply leaves the target as it was");
    } else {
        Check(LoggedProblems() == 0, "a successful apply is quiet");
        Check(NamesInOrder(*source, true) && NamesInOrder(*target, true),
              "applying keeps the names in strict order");
        CheckSuccess(sourceBefore, targetBefore, sourceAfter, targetAfter,
                     ostak::MergeDirection(kinds.source, kinds.target), replace, from, to);
        CheckSaveAndReload(*target, WorkDir() + "/target-saved.xml", true);
        CheckSaveAndReload(*source, WorkDir() + "/source-saved.xml", false);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    InitLibraryOnce(ScriptedMerge, false);
    const int64_t liveBefore = ostak::LiveAllocations();
    RunOne(Split(data, size, kPartSeparator));
    Check(ostak::LiveAllocations() == liveBefore, "no library allocation left behind");
    return 0;
}
