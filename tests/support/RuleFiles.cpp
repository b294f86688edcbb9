#include "tests/support/RuleFiles.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace ostak_test {

using ostak::OstakElem;
using ostak::OstakElemAppl;
using ostak::OstakElemRule;

// ---- building records ----

OstakElemRule *MakeRule(const RuleSpec &desc) {
    OstakElemRule *rule = OstakElemRule::Create();
    EXPECT_NE(rule, nullptr);
    EXPECT_EQ(rule->SetName(desc.name.c_str()), 0) << desc.name;
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

namespace {
// An application with the values of `desc` and no rules.
OstakElemAppl *MakeBareAppl(const ApplSpec &desc) {
    OstakElemAppl *appl = OstakElemAppl::Create(TestContext());
    EXPECT_NE(appl, nullptr);
    EXPECT_EQ(appl->SetName(desc.name.c_str()), 0) << desc.name;
    EXPECT_EQ(appl->SetStamp(desc.host.c_str(), desc.time), 0);
    appl->SetEnabled(desc.enabled);
    appl->SetDiffMark(desc.mark);
    return appl;
}
} // namespace

OstakElemAppl *MakeAppl(const ApplSpec &desc) {
    OstakElemAppl *appl = MakeBareAppl(desc);
    for (const RuleSpec &r : desc.rules) {
        appl->Rules()->InsertInOrder(MakeRule(r));
    }
    return appl;
}

FilePtr MakeFile(int32_t kind, const std::vector<ApplSpec> &appls) {
    const char path[] = "/nonexistent/rules.xml";
    FilePtr file(ostak::OstakFileInMem::Create(kind, path, static_cast<int32_t>(std::strlen(path))));
    EXPECT_NE(file, nullptr);
    for (const ApplSpec &a : appls) {
        file->Applications().InsertInOrder(MakeAppl(a));
    }
    return file;
}

OstakElemAppl *AppendAppl(ostak::OstakFileInMem &file, const ApplSpec &desc) {
    OstakElemAppl *appl = MakeBareAppl(desc);
    OstakElem *lastRule = nullptr;
    for (const RuleSpec &ruleSpec : desc.rules) {
        OstakElemRule *rule = MakeRule(ruleSpec);
        EXPECT_EQ(appl->Rules()->InsertAfter(rule, lastRule), 0) << ruleSpec.name;
        lastRule = rule;
    }
    EXPECT_EQ(file.Applications().InsertAfter(appl, file.Applications().Last()), 0) << desc.name;
    return appl;
}

void Fill(ostak::OstakFileInMem &file, const FileSpec &desc) {
    ASSERT_EQ(file.SetVersionText(desc.version.c_str(), static_cast<int32_t>(desc.version.size())), 0);
    file.SetInstallationVersion(desc.installationVersion);
    file.SetSaved(desc.saved);
    for (const ApplSpec &appl : desc.appls) {
        AppendAppl(file, appl);
    }
}

RulePtr OwnedRule() {
    RulePtr rule(OstakElemRule::Create());
    EXPECT_NE(rule, nullptr);
    return rule;
}

ApplPtr OwnedAppl() {
    ApplPtr appl(OstakElemAppl::Create(TestContext()));
    EXPECT_NE(appl, nullptr);
    return appl;
}

OstakElemRule *NewRule(const char *name) {
    OstakElemRule *rule = OstakElemRule::Create();
    EXPECT_NE(rule, nullptr);
    EXPECT_EQ(rule->SetName(name), 0);
    EXPECT_EQ(rule->SetText("text"), 0);
    return rule;
}

std::vector<OstakElemRule *> InsertRules(ostak::OstakList &list, const NameList &names) {
    std::vector<OstakElemRule *> made;
    for (const std::string &name : names) {
        OstakElemRule *rule = NewRule(name.c_str());
        list.InsertInOrder(rule);
        made.push_back(rule);
    }
    return made;
}

OstakElemAppl *Appl(const ostak::OstakFileInMem &file, const char *name) {
    OstakElemAppl *appl = file.Applications().FindAppl(name);
    EXPECT_NE(appl, nullptr) << name;
    return appl;
}

OstakElemRule *Rule(const OstakElemAppl *appl, const char *name) {
    OstakElemRule *rule = appl->Rules()->FindRule(name);
    EXPECT_NE(rule, nullptr) << name;
    return rule;
}

const OstakElemRule *FirstRule(const ostak::OstakFileInMem &file) {
    const OstakElemAppl *appl = file.Applications().FirstAppl();
    return appl != nullptr ? appl->Rules()->FirstRule() : nullptr;
}

// ---- snapshots ----

bool RuleSnap::operator==(const RuleSnap &o) const {
    return name == o.name && text == o.text && prefix == o.prefix && suffix == o.suffix && level == o.level &&
           type == o.type && matchCase == o.matchCase && useText == o.useText &&
           failIfNotFound == o.failIfNotFound;
}

bool ApplSnap::operator==(const ApplSnap &o) const {
    return name == o.name && enabled == o.enabled && host == o.host && time == o.time && rules == o.rules &&
           mark == o.mark;
}

bool FileSnap::operator==(const FileSnap &o) const {
    return version == o.version && installationVersion == o.installationVersion && saved == o.saved &&
           appls == o.appls;
}

NameList Names(const ostak::OstakList &list) {
    NameList names;
    const OstakElem *previous = nullptr;
    for (const OstakElem *walk = list.First(); walk != nullptr; walk = walk->Next()) {
        EXPECT_EQ(walk->Prev(), previous) << "at " << walk->Name();
        EXPECT_EQ(walk->List(), &list) << "at " << walk->Name();
        names.push_back(walk->Name());
        previous = walk;
    }
    EXPECT_EQ(list.Last(), previous);
    return names;
}

RuleSnap Snap(const OstakElemRule &r) {
    return RuleSnap{r.Name(), r.Text(),      r.Prefix(),  r.Suffix(),        r.Level(),
                    r.Type(), r.MatchCase(), r.UseText(), r.FailIfNotFound()};
}

ApplSnap Snap(const OstakElemAppl &a) {
    ApplSnap snap{a.Name(), a.Enabled(), a.StampHost(), a.StampTime(), {}, a.DiffMark()};
    Names(*a.Rules());
    for (const OstakElemRule *r = a.Rules()->FirstRule(); r != nullptr; r = r->NextRule()) {
        snap.rules.push_back(Snap(*r));
    }
    return snap;
}

ListSnap Snap(const ostak::OstakListAppl &list) {
    Names(list);
    ListSnap snap;
    for (const OstakElemAppl *a = list.FirstAppl(); a != nullptr; a = a->NextAppl()) {
        snap.push_back(Snap(*a));
    }
    return snap;
}

FileSnap Snap(const ostak::OstakFileInMem &file) {
    return FileSnap{file.VersionText(), file.InstallationVersion(), file.Saved(), Snap(file.Applications())};
}

NameList ApplNames(const ListSnap &list) {
    NameList names;
    for (const ApplSnap &a : list) {
        names.push_back(a.name);
    }
    return names;
}

NameList ApplNames(const ostak::OstakFileInMem &file) {
    return ApplNames(Snap(file.Applications()));
}

// ---- documents ----

namespace {

std::string TextElement(const char *name, const std::string &value) {
    return value.empty() ? "" : "\t\t\t<" + std::string(name) + ">" + value + "</" + name + ">\r\n";
}

std::string RuleXml(const RuleSpec &r) {
    auto flag = [](uint8_t value) { return std::string(value != 0 ? "true" : "false"); };
    std::string out = "\t\t<Rule Name=\"" + r.name + "\" FailIfNotFound=\"" + flag(r.failIfNotFound) +
                      "\" MatchCase=\"" + flag(r.matchCase) + "\" UseText=\"" + flag(r.useText) + "\"";
    if (r.type == 1) {
        out += " Type=\"alert\"";
    }
    out += std::string(" Level=\"") + (r.level == 0 ? "disabled" : "error") + "\">\r\n";
    out += TextElement("Text", r.text) + TextElement("Prefix", r.prefix) + TextElement("Suffix", r.suffix);
    return out + "\t\t</Rule>\r\n";
}

std::string ApplXml(const ApplSpec &a) {
    std::string out = "\t<Application Name=\"" + a.name + "\" Enabled=\"" + (a.enabled ? "true" : "false") +
                      "\" StampTime=\"" + std::to_string(a.time) + "\" StampHost=\"" + a.host + "\">\r\n";
    for (const RuleSpec &r : a.rules) {
        out += RuleXml(r);
    }
    return out + "\t</Application>\r\n";
}

} // namespace

std::string DocXml(const std::vector<ApplSpec> &appls, int32_t installationVersion, bool saved,
                   const std::string &version) {
    std::string out = Head() + "<AED TqVersion=\"" + version + "\"";
    if (installationVersion != 0) {
        out += " FileVersionInstallation=\"" + std::to_string(installationVersion) + "\"";
    }
    if (saved) {
        out += " Saved=\"true\"";
    }
    out += ">\r\n";
    for (const ApplSpec &a : appls) {
        out += ApplXml(a);
    }
    return out + "</AED>\r\n";
}

// ---- the snapshot as text ----

int32_t TimeNow() {
    return static_cast<int32_t>(std::time(nullptr));
}

namespace {

// `text` with a backslash before a quote and a backslash, and every byte
// outside printable ASCII written as \xHH.
std::string Escaped(const std::string &text) {
    std::string out;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\'' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Quoted(const std::string &text) {
    return "'" + Escaped(text) + "'";
}

std::string Name(const std::string &name) {
    return name.empty() ? "''" : Escaped(name);
}

// " key=value" unless the value is the default.
std::string Unless(const char *key, int64_t value, int64_t byDefault) {
    return value == byDefault ? "" : " " + std::string(key) + "=" + std::to_string(value);
}

std::string Unless(const char *key, const std::string &value) {
    return value.empty() ? "" : " " + std::string(key) + "=" + Quoted(value);
}

} // namespace

std::string Describe(const RuleSnap &r) {
    return Name(r.name) + "=" + Quoted(r.text) + Unless("prefix", r.prefix) + Unless("suffix", r.suffix) +
           Unless("level", r.level, 1) + Unless("type", r.type, 0) + Unless("matchCase", r.matchCase, 1) +
           Unless("useText", r.useText, 1) + Unless("failIfNotFound", r.failIfNotFound, 0);
}

namespace {
std::string Describe(const std::vector<RuleSnap> &rules) {
    std::string out;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        out += (i == 0 ? "" : "; ") + Describe(rules[i]);
    }
    return out;
}
} // namespace

std::string Describe(const ApplSnap &a, Now now) {
    std::string out = Name(a.name);
    out += a.enabled == 0 ? " off" : Unless("enabled", a.enabled, 1);
    const bool isNow = a.time >= now.from && a.time <= now.to;
    out += " " + Quoted(a.host) + "@" + (isNow ? std::string("now") : std::to_string(a.time));
    return out + Unless("mark", a.mark, 0) + " {" + Describe(a.rules) + "}";
}

std::string Describe(const ostak::OstakListRule &list) {
    Names(list);
    std::vector<RuleSnap> rules;
    for (const OstakElemRule *r = list.FirstRule(); r != nullptr; r = r->NextRule()) {
        rules.push_back(Snap(*r));
    }
    return Describe(rules);
}

std::string Describe(const ListSnap &list, Now now) {
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        out += (i == 0 ? "" : "\n") + Describe(list[i], now);
    }
    return out;
}

std::string Describe(const FileSnap &file, Now now) {
    std::string out = "AED" + Unless("version", file.version) +
                      Unless("installation", file.installationVersion, 0) + (file.saved ? " saved" : "");
    for (const ApplSnap &appl : file.appls) {
        out += "\n" + Describe(appl, now);
    }
    return out;
}

std::ostream &operator<<(std::ostream &out, const RuleSnap &rule) {
    return out << Describe(rule);
}

std::ostream &operator<<(std::ostream &out, const ApplSnap &appl) {
    return out << Describe(appl);
}

std::ostream &operator<<(std::ostream &out, const FileSnap &file) {
    return out << Describe(file);
}

} // namespace ostak_test
