#include "fuzz/FuzzModel.h"

#include "fuzz/FuzzSupport.h"
#include "3-model/OstakElem.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"

#include <cstdio>
#include <memory>

namespace ostak_fuzz {

using ostak::OstakElem;
using ostak::OstakElemAppl;
using ostak::OstakElemRule;
using ostak::OstakFileInMem;
using ostak::OstakList;

namespace {

struct DeleteFile {
    void operator()(OstakFileInMem *file) const { delete file; }
};
using FilePtr = std::unique_ptr<OstakFileInMem, DeleteFile>;

// Prev, List and Last agree with the chain of Next.
void CheckLinks(const OstakList &list) {
    const OstakElem *previous = nullptr;
    for (const OstakElem *walk = list.First(); walk != nullptr; walk = walk->Next()) {
        Check(walk->Prev() == previous, "each element's Prev is the one before it");
        Check(walk->List() == &list, "each element knows its list");
        previous = walk;
    }
    Check(list.Last() == previous, "the list's Last is the end of its chain");
}

bool Ascending(const char *previous, const char *name, bool strict) {
    const int order = ostak::CompareNames(previous, name);
    return strict ? order < 0 : order <= 0;
}

} // namespace

bool RuleSnap::operator==(const RuleSnap &o) const {
    return name == o.name && text == o.text && prefix == o.prefix && suffix == o.suffix && level == o.level &&
           type == o.type && matchCase == o.matchCase && useText == o.useText &&
           failIfNotFound == o.failIfNotFound;
}

bool ApplSnap::operator==(const ApplSnap &o) const {
    return name == o.name && enabled == o.enabled && host == o.host && time == o.time && mark == o.mark &&
           rules == o.rules;
}

bool FileSnap::operator==(const FileSnap &o) const {
    return appls == o.appls && installationVersion == o.installationVersion && saved == o.saved;
}

FileSnap Snapshot(const OstakFileInMem &file) {
    FileSnap snap;
    snap.installationVersion = file.InstallationVersion();
    snap.saved = file.Saved();
    CheckLinks(file.Applications());
    for (const OstakElemAppl *a = file.Applications().FirstAppl(); a != nullptr; a = a->NextAppl()) {
        Check(a->Rules() != nullptr, "every application has a rule list");
        CheckLinks(*a->Rules());
        ApplSnap appl{a->Name(), a->Enabled(), a->StampHost(), a->StampTime(), a->DiffMark(), {}};
        for (const OstakElemRule *r = a->Rules()->FirstRule(); r != nullptr; r = r->NextRule()) {
            appl.rules.push_back(RuleSnap{r->Name(), r->Text(), r->Prefix(), r->Suffix(), r->Level(),
                                          r->Type(), r->MatchCase(), r->UseText(), r->FailIfNotFound()});
        }
        snap.appls.push_back(std::move(appl));
    }
    return snap;
}

FileSnap AsWritten(FileSnap snap) {
    for (ApplSnap &appl : snap.appls) {
        appl.mark = 0;
    }
    return snap;
}

bool NamesInOrder(const OstakFileInMem &file, bool strict) {
    const OstakElemAppl *previous = nullptr;
    for (const OstakElemAppl *appl = file.Applications().FirstAppl(); appl != nullptr;
         appl = appl->NextAppl()) {
        if (previous != nullptr && !Ascending(previous->Name(), appl->Name(), strict)) {
            return false;
        }
        const OstakElemRule *previousRule = nullptr;
        for (const OstakElemRule *rule = appl->Rules()->FirstRule(); rule != nullptr;
             rule = rule->NextRule()) {
            if (previousRule != nullptr && !Ascending(previousRule->Name(), rule->Name(), strict)) {
                return false;
            }
            previousRule = rule;
        }
        previous = appl;
    }
    return true;
}

int32_t LoadSnapshot(int32_t kind, const std::string &path, FileSnap *snap) {
    FilePtr file(OstakFileInMem::Create(kind, path.c_str(), static_cast<int32_t>(path.size())));
    Check(file != nullptr, "creating an object to load into");
    const int32_t rc = file->Load(false, ostak::OstakContext::FromGlobals());
    *snap = Snapshot(*file);
    return rc;
}

int32_t CheckSaveAndReload(OstakFileInMem &file, const std::string &path, bool saved) {
    std::remove(path.c_str());
    const bool emptyRemoves = file.Applications().Empty() && file.Kind() != OstakFileInMem::kKindScript;
    const int32_t rc = file.Save(false, path.c_str(), static_cast<int32_t>(path.size()), saved,
                                 ostak::OstakContext::FromGlobals());
    Trace("save", rc);
    if (emptyRemoves) {
        Check(rc == 0, "an emptied file is removed");
        Check(!FileExists(path), "an emptied file leaves no file");
        return rc;
    }
    // A load refuses every character that a save would refuse, so what
    // loaded (and was merged) always saves.
    Check(rc == 0, "what loaded saves");
    FileSnap expected = AsWritten(Snapshot(file));
    expected.saved = saved && file.Kind() == OstakFileInMem::kKindScript;
    FileSnap reloaded;
    Check(LoadSnapshot(file.Kind(), path, &reloaded) == 0, "a saved file loads cleanly");
    Check(reloaded == expected, "a saved file loads back to the same model");
    std::remove(path.c_str());
    return rc;
}

} // namespace ostak_fuzz
