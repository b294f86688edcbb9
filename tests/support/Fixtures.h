// The fixtures of the library's tests, by what a test starts from: the model's
// classes (a known host name, the library not initialised), the exports
// (initialised in full mode), marking and applying (a scripted merge
// callback that records every call), loading and saving (initialised over
// the source tree), and keeping a script's rule file in step (a root folder
// of its own with an installation file).
#pragma once

#include "tests/support/RuleFiles.h"
#include "tests/support/TestSupport.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostak_test {

// The library is not initialised; the host name the model stamps with is kHost.
// Rule-file objects made through the exports. DestroyAll belongs in the
// fixture's TearDown, before the base fixture looks for leaks.
class ExportedFiles {
  public:
    OstakFileInMemHandle *Create(uint32_t kind, const std::string &path);
    void DestroyAll();
    OstakFileInMemHandle *&operator[](std::size_t index) { return handles_[index]; }

  private:
    std::vector<OstakFileInMemHandle *> handles_;
};

class ModelTest : public OstakTest {
  protected:
    void SetUp() override;
};

// Initialised in full mode over the source tree with the host name kHost; the
// script file dir_/script.xml does not exist.
class InitialisedTest : public OstakTest {
  protected:
    void SetUp() override;
    TempDir dir_;
};

// ---- the merge callback ----

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

using ScriptedAnswer = std::function<uint32_t(const MergeCall &, std::size_t index)>;

// The merge callback of the tests: records every call and answers through the answer set.
struct ScriptedMerge {
    static std::vector<MergeCall> &Calls();
    static void Reset(ScriptedAnswer answer);
    static uint32_t Callback(int32_t event, int32_t sourceKind, int32_t targetKind, void *appl, void *rule,
                             void *appl2, void *rule2, const char *proposed);
};

// Answers by event: source's side for 4, target's side for 5, both for 6.
uint32_t AnswerKeepAll(const MergeCall &call, std::size_t);

// Initialised as InitialisedTest, with the scripted merge callback keeping all.
class MergeExportTest : public InitialisedTest {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// ---- loading and saving ----

// Initialised in full mode over the source tree (its dat/ holds the shipped
// head) with the host name kHost, script file missing, log empty. Objects
// made through Make are destroyed before the leak check.
class LoadSaveTest : public OstakTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    ostak::OstakFileInMem &Make(int32_t kind, const std::string &path);
    // Writes `content` as rules.xml and loads it into a new object of that kind.
    ostak::OstakFileInMem &LoadText(const std::string &content, bool dropDisabled = false,
                                    int32_t *rc = nullptr, int32_t kind = 0);
    // Loads a document made of the shipped head and `body`; expects the result.
    ostak::OstakFileInMem &Load(const std::string &body, int32_t expectedRc, bool dropDisabled = false);

    TempDir dir_;
    std::vector<std::unique_ptr<ostak::OstakFileInMem>> files_;
};

// ---- keeping a script's rule file in step ----

// The configuration callback of the tests: records every question and gives the answer set.
struct ScriptedConf {
    static int32_t &Answer();
    static std::vector<int32_t> &Questions();
    static int32_t Callback(int32_t question);
};

// A root folder of its own (the shipped document type file and catalogue,
// and an installation file the test writes); the script's rule file is
// script.xml in a second folder. The library is initialised by Init, once
// the files are in place.
class SyncTest : public OstakTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    void Init();
    std::string InstallationPath() const { return root_.File("dat/OstakInstallation.xml"); }
    std::string ScriptPath() const { return scripts_.File("script.xml"); }
    void WriteInstallation(const std::string &content) const {
        root_.Write("dat/OstakInstallation.xml", content);
    }
    void WriteScript(const std::string &content) const { scripts_.Write("script.xml", content); }
    // Creates the script's rule-file object (kind 1) and loads it through the export.
    int32_t LoadScript();
    ostak::OstakFileInMem &Script() const { return *ostak::FromHandle(script_); }

    TempDir root_;
    TempDir scripts_;
    OstakFileInMemHandle *script_ = nullptr;
};

} // namespace ostak_test
