// The fixture of the tool's end-to-end tests: a workspace holding a root
// (dat/ with the shipped data files and the example installation file) and
// the example script's rule file, and helpers to run the tool in it.
#pragma once

#include "tests/tool/JsonValue.h"
#include "tests/tool/ToolRunner.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tool_test {

class ToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *name : {"Ostak_res", "OstakDtd.xml"}) {
            ws_.Write(std::string("dat/") + name, ReadFile(SourceDir() + "/dat/" + name));
        }
        ws_.Write("dat/OstakInstallation.xml", ReadFile(SourceDir() + "/examples/dat/OstakInstallation.xml"));
        ws_.Write("scripts/nightly.xml", ReadFile(SourceDir() + "/examples/scripts/nightly.xml"));
    }

    // Runs the tool inside the workspace.
    RunResult Run(const std::vector<std::string> &args, const std::string &input = "",
                  const std::string &locale = "C") {
        RunOptions options;
        options.cwd = ws_.path();
        options.input = input;
        options.locale = locale;
        return RunTool(args, options);
    }

    // `ostak show --json FILE`, parsed.
    JsonValue ShowJson(const std::string &file, const std::vector<std::string> &more = {}) {
        std::vector<std::string> args = {"show", "--json", file};
        args.insert(args.end(), more.begin(), more.end());
        const RunResult result = Run(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return JsonValue::Parse(result.out);
    }

    // The application of that name in a show or diff document, or null.
    static const JsonValue *FindApplication(const JsonValue &doc, const std::string &name) {
        for (const JsonValue &appl : doc["applications"].AsArray()) {
            if (appl["name"].AsString() == name) {
                return &appl;
            }
        }
        return nullptr;
    }

    static const JsonValue *FindRule(const JsonValue &doc, const std::string &appl, const std::string &name) {
        const JsonValue *application = FindApplication(doc, appl);
        if (application == nullptr) {
            return nullptr;
        }
        for (const JsonValue &rule : (*application)["rules"].AsArray()) {
            if (rule["name"].AsString() == name) {
                return &rule;
            }
        }
        return nullptr;
    }

    // The same, throwing (a failure of the test) when there is none.
    static const JsonValue &Application(const JsonValue &doc, const std::string &name) {
        const JsonValue *found = FindApplication(doc, name);
        if (found == nullptr) {
            throw std::runtime_error("no application " + name);
        }
        return *found;
    }

    static const JsonValue &Rule(const JsonValue &doc, const std::string &appl, const std::string &name) {
        const JsonValue *found = FindRule(doc, appl, name);
        if (found == nullptr) {
            throw std::runtime_error("no rule " + appl + "/" + name);
        }
        return *found;
    }

    static std::vector<std::string> Names(const JsonValue &array) {
        std::vector<std::string> names;
        for (const JsonValue &item : array.AsArray()) {
            names.push_back(item["name"].AsString());
        }
        return names;
    }

    // A rule-file document: the shipped head and the given body lines.
    static std::string Document(const std::string &body) {
        return ReadFile(SourceDir() + "/dat/OstakDtd.xml") + body;
    }

    Workspace ws_;
};

} // namespace tool_test
