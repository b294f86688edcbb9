// Saving random models and loading them back gives the same model, on the
// plain path (ISO-8859-1 body) and on the ICU path (UTF-8 body).
#include "tests/support/Fixtures.h"

#include "3-model/OstakElem.h"
#include "4-transcode/TqwiUcConverter.h"

#include <random>
#include <set>

using namespace ostak;
using namespace ostak_test;

namespace {

class Generator {
  public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

    // Names from the whole name set, unique and in ascending order.
    std::vector<std::string> Names(int count) {
        const std::string set = kNameCharacters;
        std::set<std::string, bool (*)(const std::string &, const std::string &)> names(
            [](const std::string &a, const std::string &b) {
                return CompareNames(a.c_str(), b.c_str()) < 0;
            });
        while (static_cast<int>(names.size()) < count) {
            std::string name;
            const int length = Below(9);
            for (int i = 0; i < length; ++i) {
                name += set[static_cast<std::size_t>(Below(static_cast<int>(set.size())))];
            }
            names.insert(name);
        }
        return std::vector<std::string>(names.begin(), names.end());
    }

    // A text of blanks, markup characters, letters and bytes 0x80 to 0xFF;
    // often with blanks at both ends.
    std::string Text() {
        static const std::string plain = " &<>\"'abcXYZ019;#";
        std::string text;
        const int length = Below(14);
        for (int i = 0; i < length; ++i) {
            if (Below(3) == 0) {
                text += static_cast<char>(0x80 + Below(0x80));
            } else {
                text += plain[static_cast<std::size_t>(Below(static_cast<int>(plain.size())))];
            }
        }
        if (Below(3) == 0) {
            text = "  " + text + " ";
        }
        return text;
    }

    RuleSpec Rule(const std::string &name) {
        RuleSpec rule;
        rule.name = name;
        rule.text = Text();
        rule.prefix = Below(2) == 0 ? "" : Text();
        rule.suffix = Below(2) == 0 ? "" : Text();
        rule.level = Below(2);
        rule.type = Below(2);
        rule.matchCase = Below(2);
        rule.useText = Below(2);
        rule.failIfNotFound = Below(2);
        return rule;
    }

    FileSpec File() {
        FileSpec file;
        file.version = "7.6";
        file.saved = true;
        file.installationVersion = Below(3) == 0 ? 0 : static_cast<int32_t>(random_());
        for (const std::string &applName : Names(Below(7))) {
            ApplSpec appl;
            appl.name = applName;
            appl.enabled = Below(2);
            appl.host = Text();
            appl.time = static_cast<int32_t>(random_());
            for (const std::string &ruleName : Names(Below(6))) {
                appl.rules.push_back(Rule(ruleName));
            }
            file.appls.push_back(appl);
        }
        return file;
    }

  private:
    std::mt19937 random_;
};

class LoadSaveRoundTrip : public LoadSaveTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        LoadSaveTest::SetUp();
        if (GetParam()) {
            ASSERT_EQ(xfeOstakGlobalTerm(), 0);
            ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, true), 0);
            SetConverterNameForTests("ISO-8859-1");
        }
        Log().clear();
    }
    void TearDown() override {
        SetConverterNameForTests(nullptr);
        LoadSaveTest::TearDown();
    }

    // Fills an object with `model`, saves it and loads it into a new object;
    // expects both to succeed quietly and the loaded object to equal the filled one.
    void ExpectRoundTrip(const FileSpec &model, int round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string path = dir_.File("round" + std::to_string(round) + ".xml");
        OstakFileInMem &saved = Make(OstakFileInMem::kKindScript, path);
        Fill(saved, model);
        const FileSnap filled = Snap(saved);
        EXPECT_EQ(saved.Save(false, nullptr, 0, true, TestContext()), OSTAK_OK);
        OstakFileInMem &loaded = Make(OstakFileInMem::kKindScript, path);
        EXPECT_EQ(loaded.Load(false, TestContext()), OSTAK_OK) << ReadFile(path);
        EXPECT_TRUE(MessagesBeyondTrace().empty());
        Log().clear();
        EXPECT_EQ(Snap(loaded), filled);
    }
};

TEST_P(LoadSaveRoundTrip, RandomModelsComeBackEqual) {
    Generator generator(GetParam() ? 20240601u : 19991231u);
    for (int round = 0; round < 40; ++round) {
        ExpectRoundTrip(generator.File(), round);
        files_.clear();
    }
}

TEST_P(LoadSaveRoundTrip, EveryNameCharacterAndEveryHighByteComesBack) {
    std::string highBytes;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        highBytes += static_cast<char>(byte);
    }
    FileSpec model;
    model.version = "7.6";
    model.saved = true;
    model.installationVersion = -1;
    model.appls.push_back(ApplSpec{"", {R("", " & < > \" ' ")}, 0, 1, " " + highBytes + " ", INT32_MIN});
    RuleSpec rule = R(kNameCharacters, " " + highBytes + " ");
    rule.prefix = highBytes;
    rule.suffix = "  ";
    model.appls.push_back(ApplSpec{kNameCharacters, {rule}, 0, 0, "&amp;", INT32_MAX});
    ExpectRoundTrip(model, 0);
}

INSTANTIATE_TEST_SUITE_P(LoadSave, LoadSaveRoundTrip, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "Icu" : "Plain";
                         });

} // namespace
