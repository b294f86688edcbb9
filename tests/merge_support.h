// Helpers shared by the tests of marking and applying differences: rule files
// built from short descriptions, complete snapshots of a file's content, and a
// scripted merge callback that records every call.
#pragma once

#include "2-core/MsgIssue.h"
#include "3-model/OstakFileInMem.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakList.h"
#include "tests/TestSupport.h"
#include "tests/model_support.h"

#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace merge_test {

constexpr const char *kHost = "mergehost";

// A rule as the tests describe it; defaults are those of a new rule with a text.
struct RuleSpec {
    std::string name;
    std::string text = "text";
    std::string prefix = "";
    std::string suffix = "";
    int32_t level = 1;
    int32_t type = 0;
    uint8_t matchCase = 1;
    uint8_t useText = 1;
    uint8_t failIfNotFound = 0;
};

struct ApplSpec {
    std::string name;
    std::vector<RuleSpec> rules;
    int32_t mark = 0;
    uint8_t enabled = 1;
    std::string host = "oldhost";
    int32_t time = 1000;
};

// Everything a rule holds, and everything an application holds.
struct RuleSnap {
    std::string name, text, prefix, suffix;
    int32_t level, type;
    int matchCase, useText, failIfNotFound;
    bool operator==(const RuleSnap &o) const {
        return name == o.name && text == o.text && prefix == o.prefix && suffix == o.suffix &&
               level == o.level && type == o.type && matchCase == o.matchCase && useText == o.useText &&
               failIfNotFound == o.failIfNotFound;
    }
};

struct ApplSnap {
    std::string name;
    int enabled;
    std::string host;
    int32_t time;
    int32_t mark;
    std::vector<RuleSnap> rules;
    bool operator==(const ApplSnap &o) const {
        return name == o.name && enabled == o.enabled && host == o.host && time == o.time && mark == o.mark &&
               rules == o.rules;
    }
};

using FileSnap = std::vector<ApplSnap>;

inline std::ostream &operator<<(std::ostream &out, const RuleSnap &r) {
    return out << r.name << "{" << r.text << "|" << r.prefix << "|" << r.suffix << " L" << r.level << " T"
               << r.type << " " << r.matchCase << r.useText << r.failIfNotFound << "}";
}

inline std::ostream &operator<<(std::ostream &out, const ApplSnap &a) {
    out << a.name << "(en " << a.enabled << ", " << a.host << "@" << a.time << ", mark " << a.mark << ")[";
    for (const RuleSnap &r : a.rules) {
        out << " " << r;
    }
    return out << " ]";
}

// Checks the links of a list (Prev, List and Last agree with the chain).
inline void ExpectLinksAgree(const ostak::OstakList &list) {
    const ostak::OstakElem *previous = nullptr;
    for (const ostak::OstakElem *walk = list.First(); walk != nullptr; walk = walk->Next()) {
        EXPECT_EQ(walk->Prev(), previous) << "at " << walk->Name();
        EXPECT_EQ(walk->List(), &list) << "at " << walk->Name();
        previous = walk;
    }
    EXPECT_EQ(list.Last(), previous);
}

inline RuleSnap SnapRule(const ostak::OstakElemRule &r) {
    return RuleSnap{r.Name(), r.Text(),      r.Prefix(),  r.Suffix(),        r.Level(),
                    r.Type(), r.MatchCase(), r.UseText(), r.FailIfNotFound()};
}

inline ApplSnap SnapAppl(const ostak::OstakElemAppl &a) {
    ApplSnap snap{a.Name(), a.Enabled(), a.StampHost(), a.StampTime(), a.DiffMark(), {}};
    ExpectLinksAgree(*a.Rules());
    for (const ostak::OstakElemRule *r = a.Rules()->FirstRule(); r != nullptr; r = r->NextRule()) {
        snap.rules.push_back(SnapRule(*r));
    }
    return snap;
}

inline FileSnap Snapshot(const ostak::OstakListAppl &list) {
    ExpectLinksAgree(list);
    FileSnap snap;
    for (const ostak::OstakElemAppl *a = list.FirstAppl(); a != nullptr; a = a->NextAppl()) {
        snap.push_back(SnapAppl(*a));
    }
    return snap;
}

inline FileSnap Snapshot(const ostak::OstakFileInMem &file) {
    return Snapshot(file.Applications());
}

inline std::vector<std::string> RuleNames(const ApplSnap &appl) {
    std::vector<std::string> names;
    for (const RuleSnap &r : appl.rules) {
        names.push_back(r.name);
    }
    return names;
}

inline std::vector<std::string> ApplNames(const FileSnap &file) {
    std::vector<std::string> names;
    for (const ApplSnap &a : file) {
        names.push_back(a.name);
    }
    return names;
}

struct DeleteFile {
    void operator()(ostak::OstakFileInMem *file) const { delete file; }
};
using FilePtr = std::unique_ptr<ostak::OstakFileInMem, DeleteFile>;

inline ostak::OstakElemRule *MakeRule(const RuleSpec &desc) {
    ostak::OstakElemRule *rule = ostak::OstakElemRule::Create();
    EXPECT_NE(rule, nullptr);
    EXPECT_EQ(rule->SetName(desc.name.c_str()), 0);
    EXPECT_EQ(rule->SetText(desc.text.c_str()), 0);
    EXPECT_EQ(rule->SetPrefix(desc.prefix.c_str()), 0);
    EXPECT_EQ(rule->SetSuffix(desc.suffix.c_str()), 0);
    rule->SetLevel(desc.level);
    rule->SetType(desc.type);
    rule->SetMatchCase(desc.matchCase);
    rule->SetUseText(desc.useText);
    rule->SetFailIfNotFound(desc.failIfNotFound);
    return rule;
}

inline ostak::OstakElemAppl *MakeAppl(const ApplSpec &desc) {
    ostak::OstakElemAppl *appl = ostak::OstakElemAppl::Create(ostak_test::TestContext());
    EXPECT_NE(appl, nullptr);
    EXPECT_EQ(appl->SetName(desc.name.c_str()), 0);
    EXPECT_EQ(appl->SetStamp(desc.host.c_str(), desc.time), 0);
    appl->SetEnabled(desc.enabled);
    appl->SetDiffMark(desc.mark);
    for (const RuleSpec &r : desc.rules) {
        appl->Rules()->InsertInOrder(MakeRule(r));
    }
    return appl;
}

// A rule-file object of that kind holding these applications.
inline FilePtr MakeFile(int32_t kind, const std::vector<ApplSpec> &appls) {
    const char path[] = "/nonexistent/rules.xml";
    FilePtr file(ostak::OstakFileInMem::Create(kind, path, static_cast<int32_t>(std::strlen(path))));
    EXPECT_NE(file, nullptr);
    for (const ApplSpec &a : appls) {
        file->Applications().InsertInOrder(MakeAppl(a));
    }
    return file;
}

inline ostak::OstakElemAppl *Appl(const ostak::OstakFileInMem &file, const char *name) {
    ostak::OstakElemAppl *appl = file.Applications().FindAppl(name);
    EXPECT_NE(appl, nullptr) << name;
    return appl;
}

inline ostak::OstakElemRule *Rule(const ostak::OstakElemAppl *appl, const char *name) {
    ostak::OstakElemRule *rule = appl->Rules()->FindRule(name);
    EXPECT_NE(rule, nullptr) << name;
    return rule;
}

inline OstakFileInMemHandle *H(const FilePtr &file) {
    return ostak::ToHandle(file.get());
}

// One call of the merge callback, as it arrived; the names are read during the call.
struct MergeCall {
    int32_t event;
    int32_t sourceKind;
    int32_t targetKind;
    void *appl;
    void *rule;
    void *appl2;
    void *rule2;
    bool hasProposed;
    std::string proposed;
    std::string applName, ruleName, appl2Name, rule2Name;
};

// The merge callback of the tests: records every call and answers through `Answer`.
struct ScriptedMerge {
    static std::vector<MergeCall> &Calls() {
        static std::vector<MergeCall> calls;
        return calls;
    }
    static std::function<uint32_t(const MergeCall &, std::size_t index)> &Answer() {
        static std::function<uint32_t(const MergeCall &, std::size_t)> answer;
        return answer;
    }
    static void Reset(std::function<uint32_t(const MergeCall &, std::size_t)> answer) {
        Calls().clear();
        Answer() = std::move(answer);
    }
    static uint32_t Callback(int32_t event, int32_t sourceKind, int32_t targetKind, void *appl, void *rule,
                             void *appl2, void *rule2, const char *proposed) {
        auto name = [](void *elem) -> std::string {
            return elem != nullptr
                       ? static_cast<ostak::OstakElem *>(static_cast<ostak::OstakElemRule *>(elem))->Name()
                       : "";
        };
        auto applName = [](void *elem) -> std::string {
            return elem != nullptr ? static_cast<ostak::OstakElemAppl *>(elem)->Name() : "";
        };
        MergeCall call{event,
                       sourceKind,
                       targetKind,
                       appl,
                       rule,
                       appl2,
                       rule2,
                       proposed != nullptr,
                       proposed != nullptr ? proposed : "",
                       applName(appl),
                       name(rule),
                       applName(appl2),
                       name(rule2)};
        Calls().push_back(call);
        return Answer() ? Answer()(call, Calls().size() - 1) : 0;
    }
};

// Answers by event: source's side for 4, target's side for 5, both for 6.
inline uint32_t AnswerKeepAll(const MergeCall &call, std::size_t) {
    return call.event == 6 ? 3u : call.event == 4 ? 1u : 2u;
}

// Asserts that the log heard exactly one message: the one of result code
// `rc`, whose catalogue number is `number`.
inline void ExpectCodeMessageOnce(int32_t number) {
    model_test::ExpectIssuedOnce(number);
}

// Initialised in full mode with a known host name and the scripted merge callback.
class MergeExportTest : public ostak_test::OstakTest {
  protected:
    void SetUp() override {
        OstakTest::SetUp();
        ostak::Seams().hostNameOverride = true;
        ostak::Seams().hostName = kHost;
        ASSERT_EQ(ostak_test::InitFull(dir_.path(), "script.xml"), 0);
        ostak::Globals().mergeCallback = ScriptedMerge::Callback;
        ScriptedMerge::Reset(AnswerKeepAll);
        ostak_test::Log().clear();
    }
    void TearDown() override {
        ScriptedMerge::Reset(nullptr);
        OstakTest::TearDown();
    }
    ostak_test::TempDir dir_;
};

} // namespace merge_test
