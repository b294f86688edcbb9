// Helpers shared by the tests of the rule model and the rule-file object.
#pragma once

#include "2-core/MsgIssue.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakList.h"
#include "1-platform/textcat.h"
#include "tests/TestSupport.h"

#include <cstring>
#include <string>
#include <vector>

namespace model_test {

constexpr const char *kHost = "stamphost";

// Catalogue numbers of the messages that the model's result codes issue
// (no memory: ostak::kMsgNoMemory).
constexpr int32_t kMsgInvalidArgument = -32594;
constexpr int32_t kMsgDuplicate = -32592;
constexpr int32_t kMsgInvalidName = -32589;
constexpr int32_t kMsgNotInList = -32588;
constexpr int32_t kMsgEmptyText = -32587;
constexpr int32_t kMsgEmptyPrefix = -32586;
constexpr int32_t kMsgEmptySuffix = -32585;
constexpr int32_t kMsgInvalidLevel = -32584;
constexpr int32_t kMsgLineBreak = -32578;
constexpr int32_t kMsgNotInitialised = -32551;

// The names along a list's chain, after checking that the links agree: each
// element's Prev is the one before it, its List is the list, and Last is the tail.
inline std::vector<std::string> Names(const ostak::OstakList &list) {
    std::vector<std::string> names;
    const ostak::OstakElem *previous = nullptr;
    for (const ostak::OstakElem *walk = list.First(); walk != nullptr; walk = walk->Next()) {
        EXPECT_EQ(walk->Prev(), previous) << "at " << walk->Name();
        EXPECT_EQ(walk->List(), &list) << "at " << walk->Name();
        names.push_back(walk->Name());
        previous = walk;
    }
    EXPECT_EQ(list.Last(), previous);
    return names;
}

using NameList = std::vector<std::string>;

// A new unlinked rule with that name (and a text, so that it validates).
inline ostak::OstakElemRule *NewRule(const char *name) {
    ostak::OstakElemRule *rule = ostak::OstakElemRule::Create();
    EXPECT_NE(rule, nullptr);
    EXPECT_EQ(rule->SetName(name), 0);
    EXPECT_EQ(rule->SetText("text"), 0);
    return rule;
}

// Inserts rules of these names in this order; returns the elements in the same order.
inline std::vector<ostak::OstakElemRule *> InsertRules(ostak::OstakList &list, const NameList &names) {
    std::vector<ostak::OstakElemRule *> made;
    for (const std::string &name : names) {
        ostak::OstakElemRule *rule = NewRule(name.c_str());
        list.InsertInOrder(rule);
        made.push_back(rule);
    }
    return made;
}

// Asserts that the log heard exactly one message, the one that issuing by
// result code gives for a failure with catalogue number `number`.
inline void ExpectIssuedOnce(int32_t number) {
    const std::vector<ostak_test::LogRecord> &log = ostak_test::Log();
    ASSERT_EQ(log.size(), 1u) << "expected message " << number;
    EXPECT_EQ(log[0].number, number);
    EXPECT_EQ(log[0].func, "xfeOstakIssueMsgByRc");
    EXPECT_EQ(log[0].line, ostak::kLineIssueByRcCatalogue);
    EXPECT_EQ(log[0].level, ostak::kLevelError);
    EXPECT_EQ(log[0].text.find("FormatGenericMessage failed"), std::string::npos);
}

// Base for the tests of the classes: the captured host name is known, the
// library is not initialised.
class ModelTest : public ostak_test::OstakTest {
  protected:
    void SetUp() override {
        OstakTest::SetUp();
        std::strcpy(ostak::Globals().hostName.text, kHost);
        ostak::Globals().hostName.length = static_cast<uint32_t>(std::strlen(kHost));
    }
};

// Base for the tests of the exports: initialised in full mode with a known host name.
class InitialisedTest : public ostak_test::OstakTest {
  protected:
    void SetUp() override {
        OstakTest::SetUp();
        ostak::Seams().hostNameOverride = true;
        ostak::Seams().hostName = kHost;
        ASSERT_EQ(ostak_test::InitFull(dir_.path(), "script.xml"), 0);
        ostak_test::Log().clear();
    }
    ostak_test::TempDir dir_;
};

// Base for the tests of calls before initialisation: the catalogue is
// registered and the log callback set, so that the refusal can be heard.
class NotInitialisedTest : public ostak_test::OstakTest {
  protected:
    void SetUp() override {
        OstakTest::SetUp();
        resource_ = ostak_test::SourceRoot() + "/dat/Ostak_res";
        ASSERT_EQ(ostak::AddResourceFile(resource_.c_str()), 0);
        ostak::Globals().logCallback = ostak_test::RecordLog;
    }
    void TearDown() override {
        ostak::RemoveResourceFile(resource_.c_str());
        OstakTest::TearDown();
    }
    std::string resource_;
};

} // namespace model_test
