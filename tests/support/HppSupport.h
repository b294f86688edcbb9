// Helpers of the tests of the C++ layer: options over the source tree's dat/,
// a log that keeps copies of every message, and rule files built through the
// C++ layer itself.
#pragma once

#include "include/ostak.hpp"
#include "tests/support/TestSupport.h"

#include <optional>
#include <string>
#include <vector>

namespace hpp_test {

struct Heard {
    int32_t number;
    std::string text;
    std::string function;
    int32_t line;
    int32_t level;
};

// A rule as the tests describe it.
struct RuleSpec {
    std::string name;
    std::string text = "text";
    ostak::Level level = ostak::Level::Error;
    ostak::RuleType type = ostak::RuleType::Std;
};

struct ApplSpec {
    std::string name;
    std::vector<RuleSpec> rules;
    bool enabled = true;
};

class HppTest : public ostak_test::OstakTest {
  protected:
    // Full-mode options over the source tree's dat/ with a script file in a temporary folder;
    // every message is kept in heard_, and the merge callback answers what answers_ holds.
    ostak::Options FullOptions() {
        ostak::Options options;
        options.root = ostak_test::SourceRoot();
        options.scriptDirectory = dir_.path();
        options.scriptName = "script.xml";
        options.log = [this](const ostak::Message &m) {
            heard_.push_back(Heard{m.number, std::string(m.text), std::string(m.function), m.line, m.level});
        };
        options.merge = [this](const ostak::MergeQuestion &q) {
            questions_.push_back(q.event);
            return answer_;
        };
        options.confirm = [](int32_t) { return false; };
        return options;
    }

    // Fills a rule file through the C++ layer, each element finalised.
    static void Fill(ostak::RuleFile &file, const std::vector<ApplSpec> &appls) {
        for (const ApplSpec &desc : appls) {
            ostak::Application appl = file.applications().add();
            appl.setName(desc.name);
            appl.setEnabled(desc.enabled);
            for (const RuleSpec &r : desc.rules) {
                ostak::Rule rule = appl.addRule();
                rule.setName(r.name);
                rule.setText(r.text);
                rule.setLevel(r.level);
                rule.setType(r.type);
                rule.finalize();
            }
            appl.finalize();
        }
    }

    // "Name:rule=text,rule=text;Name2:..." for comparing whole files.
    static std::string Describe(const ostak::RuleFile &file) {
        std::string out;
        for (ostak::Application appl : file.applications()) {
            out += appl.name() + (appl.enabled() ? "" : "(off)") + ":";
            for (ostak::Rule rule : appl.rules()) {
                out += rule.name() + "=" + rule.text() + ",";
            }
            out += ";";
        }
        return out;
    }

    ostak_test::TempDir dir_;
    std::vector<Heard> heard_;
    std::vector<ostak::MergeEvent> questions_;
    ostak::MergeAnswer answer_ = ostak::MergeAnswer::TakeSource;
};

// The same with the library initialised in full mode for each test.
class HppLibraryTest : public HppTest {
  protected:
    void SetUp() override {
        HppTest::SetUp();
        library_.emplace(FullOptions());
    }
    void TearDown() override {
        library_.reset();
        HppTest::TearDown();
    }
    std::optional<ostak::Library> library_;
};

} // namespace hpp_test
