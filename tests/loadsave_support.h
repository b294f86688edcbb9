// Helpers shared by the tests of loading and saving rule files: an
// initialised library over a temporary folder, documents built on the
// shipped document type file, model snapshots and message checks.
#pragma once

#include "2-core/MsgIssue.h"
#include "3-model/OstakFileInMem.h"
#include "2-core/OstakGlobals.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace loadsave_test {

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline bool FileExists(const std::string &path) {
    return std::ifstream(path).good();
}

// The shipped document type file: the head of every saved rule file.
inline std::string Head() {
    return ReadFile(ostak_test::SourceRoot() + "/dat/OstakDtd.xml");
}

// A document made of the shipped head and `body`.
inline std::string Doc(const std::string &body) {
    return Head() + body;
}

// A document with its own internal subset: `declarations` inside the
// document type declaration of root AED.
inline std::string DocWithDtd(const std::string &declarations, const std::string &body) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE AED [\n" + declarations + "\n]>\n" +
           body;
}

// The text of line `line` of a source file of the project.
inline std::string SourceLine(const std::string &relativePath, int32_t line) {
    std::ifstream in(ostak_test::SourceRoot() + "/" + relativePath);
    std::string text;
    for (int32_t at = 1; std::getline(in, text); ++at) {
        if (at == line) {
            return text;
        }
    }
    return "";
}

inline int CountMessages(int32_t number) {
    int count = 0;
    for (const ostak_test::LogRecord &record : ostak_test::Log()) {
        count += record.number == number ? 1 : 0;
    }
    return count;
}

// The one message of that number (fails the test unless there is exactly one).
inline const ostak_test::LogRecord *OnlyMessage(int32_t number) {
    const ostak_test::LogRecord *found = nullptr;
    int count = 0;
    for (const ostak_test::LogRecord &record : ostak_test::Log()) {
        if (record.number == number) {
            found = &record;
            ++count;
        }
    }
    EXPECT_EQ(count, 1) << "message " << number << " heard exactly once";
    return count == 1 ? found : nullptr;
}

// Asserts the one message of that number: its function, level, and a source
// line in `sourceFile` whose text holds `token` (the issuing statement).
inline const ostak_test::LogRecord *ExpectMessage(int32_t number, const std::string &func, int32_t level,
                                                  const std::string &sourceFile, const std::string &token) {
    const ostak_test::LogRecord *record = OnlyMessage(number);
    if (record == nullptr) {
        return nullptr;
    }
    EXPECT_EQ(record->func, func);
    EXPECT_EQ(record->level, level);
    EXPECT_NE(SourceLine(sourceFile, record->line).find(token), std::string::npos)
        << sourceFile << ":" << record->line << " is not the issuing statement of " << token;
    return record;
}

// Log records other than the loader's two trace lines.
inline std::vector<ostak_test::LogRecord> MessagesBeyondTrace() {
    std::vector<ostak_test::LogRecord> kept;
    for (const ostak_test::LogRecord &record : ostak_test::Log()) {
        if (!(record.number == 0 && record.level == ostak::kLevelTrace)) {
            kept.push_back(record);
        }
    }
    return kept;
}

// Everything a rule and an application hold that a file carries.
struct RuleSnap {
    std::string name, text, prefix, suffix;
    int32_t level = 1, type = 0;
    int matchCase = 1, useText = 1, failIfNotFound = 0;
    bool operator==(const RuleSnap &o) const {
        return name == o.name && text == o.text && prefix == o.prefix && suffix == o.suffix &&
               level == o.level && type == o.type && matchCase == o.matchCase && useText == o.useText &&
               failIfNotFound == o.failIfNotFound;
    }
};

struct ApplSnap {
    std::string name;
    int enabled = 0;
    std::string host;
    int32_t time = 0;
    std::vector<RuleSnap> rules;
    bool operator==(const ApplSnap &o) const {
        return name == o.name && enabled == o.enabled && host == o.host && time == o.time && rules == o.rules;
    }
};

struct FileSnap {
    std::string version;
    int32_t installationVersion = 0;
    bool saved = false;
    std::vector<ApplSnap> appls;
    bool operator==(const FileSnap &o) const {
        return version == o.version && installationVersion == o.installationVersion && saved == o.saved &&
               appls == o.appls;
    }
};

// A rule with a name and a text and the defaults otherwise.
inline RuleSnap TextRule(const std::string &name, const std::string &text) {
    RuleSnap rule;
    rule.name = name;
    rule.text = text;
    return rule;
}

inline std::ostream &operator<<(std::ostream &out, const RuleSnap &r) {
    return out << "Rule(" << r.name << " T[" << r.text << "] P[" << r.prefix << "] S[" << r.suffix << "] L"
               << r.level << " Ty" << r.type << " " << r.matchCase << r.useText << r.failIfNotFound << ")";
}

inline std::ostream &operator<<(std::ostream &out, const ApplSnap &a) {
    out << "Appl(" << a.name << " en" << a.enabled << " " << a.host << "@" << a.time << ")[";
    for (const RuleSnap &r : a.rules) {
        out << r << " ";
    }
    return out << "]";
}

inline std::ostream &operator<<(std::ostream &out, const FileSnap &f) {
    out << "File(" << f.version << " v" << f.installationVersion << " saved" << f.saved << ")\n";
    for (const ApplSnap &a : f.appls) {
        out << "  " << a << "\n";
    }
    return out;
}

inline RuleSnap Snap(const ostak::OstakElemRule &rule) {
    RuleSnap snap;
    snap.name = rule.Name();
    snap.text = rule.Text();
    snap.prefix = rule.Prefix();
    snap.suffix = rule.Suffix();
    snap.level = rule.Level();
    snap.type = rule.Type();
    snap.matchCase = rule.MatchCase();
    snap.useText = rule.UseText();
    snap.failIfNotFound = rule.FailIfNotFound();
    return snap;
}

inline ApplSnap Snap(const ostak::OstakElemAppl &appl) {
    ApplSnap snap;
    snap.name = appl.Name();
    snap.enabled = appl.Enabled();
    snap.host = appl.StampHost();
    snap.time = appl.StampTime();
    for (const ostak::OstakElemRule *rule = appl.Rules()->FirstRule(); rule != nullptr;
         rule = rule->NextRule()) {
        snap.rules.push_back(Snap(*rule));
    }
    return snap;
}

inline FileSnap Snap(const ostak::OstakFileInMem &file) {
    FileSnap snap;
    snap.version = file.VersionText();
    snap.installationVersion = file.InstallationVersion();
    snap.saved = file.Saved();
    for (const ostak::OstakElemAppl *appl = file.Applications().FirstAppl(); appl != nullptr;
         appl = appl->NextAppl()) {
        snap.appls.push_back(Snap(*appl));
    }
    return snap;
}

// Builds records from snapshots (the inverse of Snap).
inline ostak::OstakElemRule *MakeRule(const RuleSnap &desc) {
    ostak::OstakElemRule *rule = ostak::OstakElemRule::Create();
    EXPECT_NE(rule, nullptr);
    EXPECT_EQ(rule->SetName(desc.name.c_str()), 0) << desc.name;
    EXPECT_EQ(rule->SetText(desc.text.c_str()), 0);
    EXPECT_EQ(rule->SetPrefix(desc.prefix.c_str()), 0);
    EXPECT_EQ(rule->SetSuffix(desc.suffix.c_str()), 0);
    rule->SetLevel(desc.level);
    rule->SetType(desc.type);
    rule->SetMatchCase(static_cast<uint8_t>(desc.matchCase));
    rule->SetUseText(static_cast<uint8_t>(desc.useText));
    rule->SetFailIfNotFound(static_cast<uint8_t>(desc.failIfNotFound));
    return rule;
}

// Appends an application at the end of the list (the list's order is the
// order of the specs, as a save writes it).
inline ostak::OstakElemAppl *AppendAppl(ostak::OstakFileInMem &file, const ApplSnap &desc) {
    ostak::OstakElemAppl *appl = ostak::OstakElemAppl::Create(ostak_test::TestContext());
    EXPECT_NE(appl, nullptr);
    EXPECT_EQ(appl->SetName(desc.name.c_str()), 0) << desc.name;
    appl->SetEnabled(static_cast<uint8_t>(desc.enabled));
    EXPECT_EQ(appl->SetStamp(desc.host.c_str(), desc.time), 0);
    ostak::OstakElem *lastRule = nullptr;
    for (const RuleSnap &ruleSpec : desc.rules) {
        ostak::OstakElemRule *rule = MakeRule(ruleSpec);
        EXPECT_EQ(appl->Rules()->InsertAfter(rule, lastRule), 0) << ruleSpec.name;
        lastRule = rule;
    }
    EXPECT_EQ(file.Applications().InsertAfter(appl, file.Applications().Last()), 0) << desc.name;
    return appl;
}

inline void Fill(ostak::OstakFileInMem &file, const FileSnap &desc) {
    ASSERT_EQ(file.SetVersionText(desc.version.c_str(), static_cast<int32_t>(desc.version.size())), 0);
    file.SetInstallationVersion(desc.installationVersion);
    file.SetSaved(desc.saved);
    for (const ApplSnap &appl : desc.appls) {
        AppendAppl(file, appl);
    }
}

// Initialises the library over `root` (holding dat/) with the script file
// `dir`/script.xml and the converter switch given.
inline int32_t InitOver(const std::string &root, const std::string &dir, bool readOnly,
                        bool converterSwitch) {
    const std::string name = "script.xml";
    return xfeOstakGlobalInit(readOnly ? 1 : 0, ostak_test::RecordLog, ostak_test::AnswerMerge,
                              ostak_test::AnswerConf, root.c_str(), static_cast<uint32_t>(root.size()),
                              dir.c_str(), static_cast<uint32_t>(dir.size()), name.c_str(),
                              static_cast<uint32_t>(name.size()), converterSwitch ? 1 : 0);
}

// Initialised in full mode over the source tree (its dat/ holds the shipped
// head), script file missing, log empty. Objects made through Make are
// destroyed before the leak check.
class LoadSaveTest : public ostak_test::OstakTest {
  protected:
    void SetUp() override {
        OstakTest::SetUp();
        ASSERT_EQ(InitOver(ostak_test::SourceRoot(), dir_.path(), false, false), 0);
        ostak_test::Log().clear();
    }

    void TearDown() override {
        files_.clear();
        OstakTest::TearDown();
    }

    ostak::OstakFileInMem &Make(int32_t kind, const std::string &path) {
        ostak::OstakFileInMem *file =
            ostak::OstakFileInMem::Create(kind, path.c_str(), static_cast<int32_t>(path.size()));
        EXPECT_NE(file, nullptr);
        files_.emplace_back(file);
        return *file;
    }

    // Writes `content` as name and loads it into a new object of that kind.
    ostak::OstakFileInMem &LoadText(const std::string &content, bool dropDisabled = false,
                                    int32_t *rc = nullptr, int32_t kind = 0) {
        ostak::OstakFileInMem &file = Make(kind, dir_.Write("rules.xml", content));
        ostak_test::Log().clear();
        const int32_t result = file.Load(dropDisabled, ostak_test::TestContext());
        if (rc != nullptr) {
            *rc = result;
        }
        return file;
    }

    ostak_test::TempDir dir_;
    std::vector<std::unique_ptr<ostak::OstakFileInMem>> files_;
};

} // namespace loadsave_test
