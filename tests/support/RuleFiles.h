// Rule files in the tests: records and files built from short descriptions,
// a complete snapshot of what a rule, an application, a list or a rule-file
// object holds, and that snapshot as a short stable text (Describe), so that
// a test compares whole results: EXPECT_EQ(Describe(file), "...").
#pragma once

#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakFileInMem.h"
#include "3-model/OstakList.h"
#include "include/ostak.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace ostak_test {

// The host name the tests give the library.
constexpr const char *kHost = "thishost";

// ---- building records ----

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

struct FileSpec {
    std::string version;
    int32_t installationVersion = 0;
    bool saved = false;
    std::vector<ApplSpec> appls;
};

// A rule with that name and text, the defaults otherwise.
inline RuleSpec R(const std::string &name, const std::string &text = "text") {
    RuleSpec rule;
    rule.name = name;
    rule.text = text;
    return rule;
}

ostak::OstakElemRule *MakeRule(const RuleSpec &desc);
// A new unlinked application; its rules inserted in name order.
ostak::OstakElemAppl *MakeAppl(const ApplSpec &desc);

struct DeleteFile {
    void operator()(ostak::OstakFileInMem *file) const { delete file; }
};
using FilePtr = std::unique_ptr<ostak::OstakFileInMem, DeleteFile>;

// A rule-file object of that kind on a path that does not exist, holding
// these applications in name order.
FilePtr MakeFile(int32_t kind, const std::vector<ApplSpec> &appls);
// Appends an application at the end of the file's list, its rules in the
// given order (the order a save writes them in).
ostak::OstakElemAppl *AppendAppl(ostak::OstakFileInMem &file, const ApplSpec &desc);
// Sets the file's fields and appends its applications.
void Fill(ostak::OstakFileInMem &file, const FileSpec &desc);

// Records the test owns: deleted at the end of their scope.
struct DeleteElem {
    void operator()(ostak::OstakElem *elem) const { delete elem; }
};
using RulePtr = std::unique_ptr<ostak::OstakElemRule, DeleteElem>;
using ApplPtr = std::unique_ptr<ostak::OstakElemAppl, DeleteElem>;
// A new rule (application) with the defaults, failing the test when there is none.
RulePtr OwnedRule();
ApplPtr OwnedAppl();

// A new unlinked rule with that name and a text (so that it validates).
ostak::OstakElemRule *NewRule(const char *name);
using NameList = std::vector<std::string>;
// Inserts rules of these names in this order; returns the elements in the same order.
std::vector<ostak::OstakElemRule *> InsertRules(ostak::OstakList &list, const NameList &names);

// The element of that name (found by name), failing the test when there is none.
ostak::OstakElemAppl *Appl(const ostak::OstakFileInMem &file, const char *name);
ostak::OstakElemRule *Rule(const ostak::OstakElemAppl *appl, const char *name);
// The first rule of the file's first application (null when there is none).
const ostak::OstakElemRule *FirstRule(const ostak::OstakFileInMem &file);

inline OstakFileInMemHandle *H(const FilePtr &file) {
    return ostak::ToHandle(file.get());
}

// ---- snapshots ----

// Everything a rule holds, and everything an application and a rule file hold.
struct RuleSnap {
    std::string name, text, prefix, suffix;
    int32_t level = 1, type = 0;
    int matchCase = 1, useText = 1, failIfNotFound = 0;
    bool operator==(const RuleSnap &o) const;
};

struct ApplSnap {
    std::string name;
    int enabled = 0;
    std::string host;
    int32_t time = 0;
    std::vector<RuleSnap> rules;
    int32_t mark = 0;
    bool operator==(const ApplSnap &o) const;
};

using ListSnap = std::vector<ApplSnap>;

struct FileSnap {
    std::string version;
    int32_t installationVersion = 0;
    bool saved = false;
    ListSnap appls;
    bool operator==(const FileSnap &o) const;
};

// Snapshots of the live objects. The links of every list walked are checked
// on the way (each element's Prev, its List, and the list's Last).
RuleSnap Snap(const ostak::OstakElemRule &rule);
ApplSnap Snap(const ostak::OstakElemAppl &appl);
ListSnap Snap(const ostak::OstakListAppl &list);
FileSnap Snap(const ostak::OstakFileInMem &file);

// The names along a list's chain, after checking its links.
NameList Names(const ostak::OstakList &list);
NameList ApplNames(const ListSnap &list);
NameList ApplNames(const ostak::OstakFileInMem &file);

// ---- documents ----

// A whole document in the exact layout the saver writes: the shipped head,
// then AED with its attributes and the applications in the order given.
std::string DocXml(const std::vector<ApplSpec> &appls, int32_t installationVersion, bool saved = false,
                   const std::string &version = "7.6");

// ---- the snapshot as text ----

// Stamp times within [from, to] read "now" (none unless set).
struct Now {
    int32_t from = 1;
    int32_t to = 0;
};
// The seconds since the epoch as the library stamps them.
int32_t TimeNow();
// From `from` to this moment.
inline Now Since(int32_t from) {
    return Now{from, TimeNow()};
}

// One line per application, after a first line for the file:
//
//   AED version='7.6' installation=6 saved
//   Alpha 'h1'@1234 {R=' a b ' prefix='p' level=0 type=1; S='text'}
//   Beta off ''@0 mark=1 {}
//
// A rule is its name, its text, and each other value that is not a new
// rule's (prefix, suffix, level, type, matchCase, useText, failIfNotFound);
// an empty name reads ''.
// An application is its name, "off" when Enabled is 0 (enabled=N when
// neither 0 nor 1), its stamp as 'host'@time, its mark when not 0, and its
// rules in list order. The file's line names the values that are not a new
// object's. Texts stand in single quotes; a quote, a backslash and every
// byte outside printable ASCII are escaped (\', \\, \xE9).
std::string Describe(const RuleSnap &rule);
std::string Describe(const ApplSnap &appl, Now now = {});
std::string Describe(const ListSnap &list, Now now = {});
std::string Describe(const FileSnap &file, Now now = {});

inline std::string Describe(const ostak::OstakElemRule &rule) {
    return Describe(Snap(rule));
}
inline std::string Describe(const ostak::OstakElemAppl &appl, Now now = {}) {
    return Describe(Snap(appl), now);
}
// The rules of a list, as between an application's braces.
std::string Describe(const ostak::OstakListRule &rules);
inline std::string Describe(const ostak::OstakListAppl &list, Now now = {}) {
    return Describe(Snap(list), now);
}
inline std::string Describe(const ostak::OstakFileInMem &file, Now now = {}) {
    return Describe(Snap(file), now);
}

std::ostream &operator<<(std::ostream &out, const RuleSnap &rule);
std::ostream &operator<<(std::ostream &out, const ApplSnap &appl);
std::ostream &operator<<(std::ostream &out, const FileSnap &file);

} // namespace ostak_test
