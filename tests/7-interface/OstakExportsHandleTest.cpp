// The exports that walk and edit application lists, applications and rules
// by handle: the common frame, the attribute table, walking, finalising,
// deleting, copying, and every failure with its one message.
#include "tests/support/Fixtures.h"

#include "7-interface/OstakHandles.h"

#include <functional>
#include <string>

using namespace ostak;
using namespace ostak_test;

namespace {

class ModelExports : public InitialisedTest {
  protected:
    void SetUp() override {
        InitialisedTest::SetUp();
        const std::string path = dir_.File("rules.xml");
        ASSERT_EQ(
            xfeOstakFileInMemCreate(0, path.c_str(), static_cast<uint32_t>(path.size()), &file_, &list_), 0);
        Log().clear();
    }
    void TearDown() override {
        EXPECT_EQ(xfeOstakFileInMemDestroy(&file_), 0);
        InitialisedTest::TearDown();
    }

    // Adds an application of that name and finalises it; answers its handle.
    OstakElemApplHandle *AddAppl(const char *name, OstakListApplHandle *list = nullptr) {
        list = list != nullptr ? list : list_;
        OstakElemApplHandle *appl = nullptr;
        EXPECT_EQ(xfeOstakElemApplAddEmpty(list, &appl), 0);
        EXPECT_EQ(xfeOstakElemApplSetAttrChar(list, appl, OSTAK_APPL_CHAR_NAME, name), 0);
        uint8_t valid = 0;
        xfeOstakFinalizeElemAppl(list, appl, nullptr, &valid);
        return appl;
    }

    // Adds a rule with that name and text to an application and finalises it.
    OstakElemRuleHandle *AddRule(OstakElemApplHandle *appl, const char *name, const char *text = "text") {
        OstakElemRuleHandle *rule = nullptr;
        EXPECT_EQ(xfeOstakElemRuleAddEmpty(appl, &rule), 0);
        EXPECT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_NAME, name), 0);
        EXPECT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_TEXT, text), 0);
        uint8_t valid = 0;
        xfeOstakFinalizeElemRule(appl, rule, &valid);
        return rule;
    }

    // The names met walking a list through the exports, each step answering 0.
    NameList WalkAppls(OstakListApplHandle *list = nullptr) {
        list = list != nullptr ? list : list_;
        NameList names;
        OstakElemApplHandle *appl = nullptr;
        EXPECT_EQ(xfeOstakElemApplIterateFirst(list, &appl), 0);
        while (appl != nullptr) {
            const char *name = nullptr;
            EXPECT_EQ(xfeOstakElemApplGetAttrChar(appl, OSTAK_APPL_CHAR_NAME, &name), 0);
            names.push_back(name);
            EXPECT_EQ(xfeOstakElemApplIterateNext(list, appl, &appl), 0);
        }
        return names;
    }

    NameList WalkRules(OstakElemApplHandle *appl) {
        NameList names;
        OstakElemRuleHandle *rule = nullptr;
        EXPECT_EQ(xfeOstakElemRuleIterateFirst(appl, &rule), 0);
        while (rule != nullptr) {
            const char *name = nullptr;
            EXPECT_EQ(xfeOstakElemRuleGetAttrChar(rule, OSTAK_RULE_CHAR_NAME, &name), 0);
            names.push_back(name);
            EXPECT_EQ(xfeOstakElemRuleIterateNext(appl, rule, &rule), 0);
        }
        return names;
    }

    OstakFileInMemHandle *file_ = nullptr;
    OstakListApplHandle *list_ = nullptr;
};

// Runs `call` with an empty log and checks its result and its one message.
void ExpectFailure(const std::function<int32_t()> &call, int32_t rc, int32_t number,
                   const std::string &what) {
    SCOPED_TRACE(what);
    Log().clear();
    EXPECT_EQ(call(), rc);
    ExpectIssuedOnce(number);
}

void ExpectQuietSuccess(const std::function<int32_t()> &call, const std::string &what) {
    SCOPED_TRACE(what);
    Log().clear();
    EXPECT_EQ(call(), 0);
    EXPECT_TRUE(Log().empty());
}

class ModelExportsNotInitialised : public CatalogueTest {};

TEST_F(ModelExportsNotInitialised, EveryFunctionRefusesWith38AfterPresettingItsPlaces) {
    int dummy[4] = {};
    auto *fakeList = reinterpret_cast<OstakListApplHandle *>(&dummy[0]);
    auto *fakeAppl = reinterpret_cast<OstakElemApplHandle *>(&dummy[1]);
    auto *fakeRule = reinterpret_cast<OstakElemRuleHandle *>(&dummy[2]);
    const char *fakeText = "sentinel";
    OstakListApplHandle *listPlace;
    OstakElemApplHandle *applPlace;
    OstakElemRuleHandle *rulePlace;
    const char *textPlace;
    uint8_t boolPlace;
    int32_t longPlace;
    uint8_t validPlace;
    auto reset = [&]() {
        listPlace = fakeList;
        applPlace = fakeAppl;
        rulePlace = fakeRule;
        textPlace = fakeText;
        boolPlace = 9;
        longPlace = 9;
        validPlace = 9;
    };
    // The null handles would give 3 after initialisation: 38 is tested first.
    const struct {
        const char *name;
        std::function<int32_t()> call;
        std::function<void()> check;
    } cases[] = {
        {"ListApplClone", [&] { return xfeOstakListApplClone(nullptr, &listPlace); },
         [&] { EXPECT_EQ(listPlace, nullptr); }},
        {"ListApplDestroy", [&] { return xfeOstakListApplDestroy(&listPlace); },
         [&] { EXPECT_EQ(listPlace, fakeList); }},
        {"ElemApplAddEmpty", [&] { return xfeOstakElemApplAddEmpty(nullptr, &applPlace); },
         [&] { EXPECT_EQ(applPlace, nullptr); }},
        {"ElemApplDelete", [&] { return xfeOstakElemApplDelete(nullptr, &applPlace); },
         [&] { EXPECT_EQ(applPlace, fakeAppl); }},
        {"ElemApplIterateFirst", [&] { return xfeOstakElemApplIterateFirst(nullptr, &applPlace); },
         [&] { EXPECT_EQ(applPlace, nullptr); }},
        {"ElemApplIterateNext", [&] { return xfeOstakElemApplIterateNext(nullptr, nullptr, &applPlace); },
         [&] { EXPECT_EQ(applPlace, fakeAppl); }},
        {"FinalizeElemAppl",
         [&] { return xfeOstakFinalizeElemAppl(nullptr, nullptr, &rulePlace, &validPlace); },
         [&] {
             EXPECT_EQ(rulePlace, nullptr);
             EXPECT_EQ(validPlace, 0);
         }},
        {"ElemApplSetAttrChar", [&] { return xfeOstakElemApplSetAttrChar(nullptr, nullptr, 0, "x"); }, [] {}},
        {"ElemApplGetAttrChar", [&] { return xfeOstakElemApplGetAttrChar(nullptr, 0, &textPlace); },
         [&] { EXPECT_STREQ(textPlace, ""); }},
        {"ElemApplSetAttrBool", [&] { return xfeOstakElemApplSetAttrBool(nullptr, nullptr, 0, 1); }, [] {}},
        {"ElemApplGetAttrBool", [&] { return xfeOstakElemApplGetAttrBool(nullptr, 0, &boolPlace); },
         [&] { EXPECT_EQ(boolPlace, 0); }},
        {"ElemApplSetAttrLong", [&] { return xfeOstakElemApplSetAttrLong(nullptr, 0, 1); }, [] {}},
        {"ElemApplGetAttrLong", [&] { return xfeOstakElemApplGetAttrLong(nullptr, 0, &longPlace); },
         [&] { EXPECT_EQ(longPlace, 0); }},
        {"ElemRuleAddEmpty", [&] { return xfeOstakElemRuleAddEmpty(nullptr, &rulePlace); },
         [&] { EXPECT_EQ(rulePlace, nullptr); }},
        {"ElemRuleDelete", [&] { return xfeOstakElemRuleDelete(nullptr, &rulePlace); },
         [&] { EXPECT_EQ(rulePlace, fakeRule); }},
        {"ElemRuleIterateFirst", [&] { return xfeOstakElemRuleIterateFirst(nullptr, &rulePlace); },
         [&] { EXPECT_EQ(rulePlace, nullptr); }},
        {"ElemRuleIterateNext", [&] { return xfeOstakElemRuleIterateNext(nullptr, nullptr, &rulePlace); },
         [&] { EXPECT_EQ(rulePlace, fakeRule); }},
        {"FinalizeElemRule", [&] { return xfeOstakFinalizeElemRule(nullptr, nullptr, &validPlace); },
         [&] { EXPECT_EQ(validPlace, 0); }},
        {"ElemRuleSetAttrChar", [&] { return xfeOstakElemRuleSetAttrChar(nullptr, nullptr, 0, "x"); }, [] {}},
        {"ElemRuleGetAttrChar", [&] { return xfeOstakElemRuleGetAttrChar(nullptr, 0, &textPlace); },
         [&] { EXPECT_STREQ(textPlace, ""); }},
        {"ElemRuleSetAttrBool", [&] { return xfeOstakElemRuleSetAttrBool(nullptr, nullptr, 0, 1); }, [] {}},
        {"ElemRuleGetAttrBool", [&] { return xfeOstakElemRuleGetAttrBool(nullptr, 0, &boolPlace); },
         [&] { EXPECT_EQ(boolPlace, 0); }},
        {"ElemRuleSetAttrLong", [&] { return xfeOstakElemRuleSetAttrLong(nullptr, nullptr, 0, 1); }, [] {}},
        {"ElemRuleGetAttrLong", [&] { return xfeOstakElemRuleGetAttrLong(nullptr, 0, &longPlace); },
         [&] { EXPECT_EQ(longPlace, 0); }},
    };
    EXPECT_EQ(sizeof cases / sizeof cases[0], 24u);
    for (const auto &c : cases) {
        reset();
        Globals().issuedOnce = true; // every export clears the flag on entry
        ExpectFailure(c.call, OSTAK_E_NOT_INITIALISED, kMsgNotInitialised, c.name);
        c.check();
    }
}

TEST_F(ModelExports, WalkingAnEmptyListEndsAtOnce) {
    OstakElemApplHandle *appl = reinterpret_cast<OstakElemApplHandle *>(this);
    ExpectQuietSuccess([&] { return xfeOstakElemApplIterateFirst(list_, &appl); }, "first");
    EXPECT_EQ(appl, nullptr);
}

TEST_F(ModelExports, WalkingGivesNameOrder) {
    AddAppl("Beta");
    AddAppl("alpha");
    AddAppl("Alpha");
    EXPECT_EQ(WalkAppls(), (NameList{"Alpha", "Beta", "alpha"}));
    OstakElemApplHandle *appl = AddAppl("App");
    AddRule(appl, "r2");
    AddRule(appl, "r10");
    AddRule(appl, "R3");
    EXPECT_EQ(WalkRules(appl), (NameList{"R3", "r10", "r2"}));
    EXPECT_TRUE(Log().empty());
}

TEST_F(ModelExports, ApplicationAttributes) {
    OstakElemApplHandle *appl = AddAppl("App");
    const char *text = nullptr;
    ASSERT_EQ(xfeOstakElemApplGetAttrChar(appl, OSTAK_APPL_CHAR_NAME, &text), 0);
    EXPECT_STREQ(text, "App");

    struct BoolCase {
        int32_t value;
        uint8_t stored;
    };
    for (const BoolCase &c : {BoolCase{1, 1}, BoolCase{2, 2}, BoolCase{0x1ff, 0xff}, BoolCase{0x100, 0},
                              BoolCase{-1, 0xff}, BoolCase{0, 0}}) {
        uint8_t value = 77;
        ASSERT_EQ(xfeOstakElemApplSetAttrBool(list_, appl, OSTAK_APPL_BOOL_ENABLED, c.value), 0);
        ASSERT_EQ(xfeOstakElemApplGetAttrBool(appl, OSTAK_APPL_BOOL_ENABLED, &value), 0);
        EXPECT_EQ(value, c.stored) << c.value;
    }

    int32_t mark = 5;
    ASSERT_EQ(xfeOstakElemApplGetAttrLong(appl, OSTAK_APPL_LONG_DIFF_MARK, &mark), 0);
    EXPECT_EQ(mark, 0);
    ASSERT_EQ(xfeOstakElemApplSetAttrLong(appl, OSTAK_APPL_LONG_DIFF_MARK, -1004), 0);
    ASSERT_EQ(xfeOstakElemApplGetAttrLong(appl, OSTAK_APPL_LONG_DIFF_MARK, &mark), 0);
    EXPECT_EQ(mark, -1004);
    EXPECT_TRUE(Log().empty());

    const ostak::OstakElemAppl *record = reinterpret_cast<const ostak::OstakElemAppl *>(appl);
    EXPECT_STREQ(record->StampHost(), kHost) << "a new application carries the stamp";
}

TEST_F(ModelExports, RuleAttributes) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemRuleHandle *rule = AddRule(appl, "Rule");
    const char *values[] = {"Name2", "the text", " pre ", "suf\x01"};
    for (int32_t id = 0; id < 4; ++id) {
        ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, id, values[id]), 0) << id;
    }
    for (int32_t id = 0; id < 4; ++id) {
        const char *text = nullptr;
        ASSERT_EQ(xfeOstakElemRuleGetAttrChar(rule, id, &text), 0) << id;
        EXPECT_STREQ(text, values[id]) << id;
    }

    const uint8_t defaults[] = {1, 1, 0}; // MatchCase, UseText, FailIfNotFound
    for (int32_t id = 0; id < 3; ++id) {
        uint8_t value = 77;
        ASSERT_EQ(xfeOstakElemRuleGetAttrBool(rule, id, &value), 0);
        EXPECT_EQ(value, defaults[id]) << id;
        ASSERT_EQ(xfeOstakElemRuleSetAttrBool(appl, rule, id, 0x200 + 2 + id), 0);
    }
    const ostak::OstakElemRule &record = *ostak::FromHandle(rule);
    EXPECT_EQ(Describe(record),
              "Name2='the text' prefix=' pre ' suffix='suf\\x01' matchCase=2 useText=3 failIfNotFound=4");
    ASSERT_EQ(xfeOstakElemRuleSetAttrBool(appl, rule, OSTAK_RULE_BOOL_USE_TEXT, 0), 0);

    int32_t value = 77;
    ASSERT_EQ(xfeOstakElemRuleGetAttrLong(rule, OSTAK_RULE_LONG_LEVEL, &value), 0);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(xfeOstakElemRuleGetAttrLong(rule, OSTAK_RULE_LONG_TYPE, &value), 0);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(xfeOstakElemRuleSetAttrLong(appl, rule, OSTAK_RULE_LONG_LEVEL, 5), 0)
        << "checked by finalising only";
    ASSERT_EQ(xfeOstakElemRuleSetAttrLong(appl, rule, OSTAK_RULE_LONG_TYPE, -7), 0);
    EXPECT_EQ(Describe(record),
              "Name2='the text' prefix=' pre ' suffix='suf\\x01' level=5 type=-7 matchCase=2 "
              "useText=0 failIfNotFound=4");
    EXPECT_TRUE(Log().empty());
}

TEST_F(ModelExports, UnknownIdentifiersGive3AndChangeNothing) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemRuleHandle *rule = AddRule(appl, "Rule");
    const char *text = "sentinel";
    uint8_t flag = 9;
    int32_t number = 9;
    const struct {
        const char *name;
        std::function<int32_t(int32_t)> call;
        std::vector<int32_t> badIds;
    } cases[] = {
        {"ApplSetChar",
         [&](int32_t id) { return xfeOstakElemApplSetAttrChar(list_, appl, id, "Other"); },
         {1, -1}},
        {"ApplGetChar", [&](int32_t id) { return xfeOstakElemApplGetAttrChar(appl, id, &text); }, {1, -1}},
        {"ApplSetBool", [&](int32_t id) { return xfeOstakElemApplSetAttrBool(list_, appl, id, 1); }, {1, -1}},
        {"ApplGetBool", [&](int32_t id) { return xfeOstakElemApplGetAttrBool(appl, id, &flag); }, {1, -1}},
        {"ApplSetLong", [&](int32_t id) { return xfeOstakElemApplSetAttrLong(appl, id, 1); }, {1, -1}},
        {"ApplGetLong", [&](int32_t id) { return xfeOstakElemApplGetAttrLong(appl, id, &number); }, {1, -1}},
        {"RuleSetChar",
         [&](int32_t id) { return xfeOstakElemRuleSetAttrChar(appl, rule, id, "Other"); },
         {4, -1}},
        {"RuleGetChar", [&](int32_t id) { return xfeOstakElemRuleGetAttrChar(rule, id, &text); }, {4, -1}},
        {"RuleSetBool", [&](int32_t id) { return xfeOstakElemRuleSetAttrBool(appl, rule, id, 0); }, {3, -1}},
        {"RuleGetBool", [&](int32_t id) { return xfeOstakElemRuleGetAttrBool(rule, id, &flag); }, {3, -1}},
        {"RuleSetLong", [&](int32_t id) { return xfeOstakElemRuleSetAttrLong(appl, rule, id, 0); }, {2, -1}},
        {"RuleGetLong", [&](int32_t id) { return xfeOstakElemRuleGetAttrLong(rule, id, &number); }, {2, -1}},
    };
    for (const auto &c : cases) {
        for (int32_t id : c.badIds) {
            text = "sentinel";
            flag = 9;
            number = 9;
            ExpectFailure([&] { return c.call(id); }, OSTAK_E_INVALID_ARGUMENT, kMsgInvalidArgument,
                          std::string(c.name) + " id " + std::to_string(id));
            if (std::string(c.name).find("Get") != std::string::npos) {
                EXPECT_STREQ(text, std::string(c.name).find("Char") != std::string::npos ? "" : "sentinel");
                EXPECT_EQ(flag, std::string(c.name).find("Bool") != std::string::npos ? 0 : 9);
                EXPECT_EQ(number, std::string(c.name).find("Long") != std::string::npos ? 0 : 9);
            }
        }
    }
    EXPECT_EQ(WalkAppls(), (NameList{"App"}));
    EXPECT_EQ(Describe(*ostak::FromHandle(rule)), "Rule='text'");
}

TEST_F(ModelExports, RefusedValuesKeepTheFieldAndIssueOnce) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemRuleHandle *rule = AddRule(appl, "Rule", "kept");
    ExpectFailure([&] { return xfeOstakElemApplSetAttrChar(list_, appl, OSTAK_APPL_CHAR_NAME, "A pp"); },
                  OSTAK_E_INVALID_NAME, kMsgInvalidName, "application name");
    ExpectFailure([&] { return xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_NAME, "R.1"); },
                  OSTAK_E_INVALID_NAME, kMsgInvalidName, "rule name");
    for (int32_t id : {OSTAK_RULE_CHAR_TEXT, OSTAK_RULE_CHAR_PREFIX, OSTAK_RULE_CHAR_SUFFIX}) {
        ExpectFailure([&] { return xfeOstakElemRuleSetAttrChar(appl, rule, id, "a\tb"); }, OSTAK_E_LINE_BREAK,
                      kMsgLineBreak, "text " + std::to_string(id));
    }
    const char *text = nullptr;
    ASSERT_EQ(xfeOstakElemApplGetAttrChar(appl, OSTAK_APPL_CHAR_NAME, &text), 0);
    EXPECT_STREQ(text, "App");
    ASSERT_EQ(xfeOstakElemRuleGetAttrChar(rule, OSTAK_RULE_CHAR_NAME, &text), 0);
    EXPECT_STREQ(text, "Rule");
    ASSERT_EQ(xfeOstakElemRuleGetAttrChar(rule, OSTAK_RULE_CHAR_TEXT, &text), 0);
    EXPECT_STREQ(text, "kept");
}

TEST_F(ModelExports, CharValuesAreCopiedAndHandedOutUntilSetAgain) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemRuleHandle *rule = AddRule(appl, "Rule");
    char buffer[] = "first text";
    ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_TEXT, buffer), 0);
    buffer[0] = 'X';
    const char *text = nullptr;
    ASSERT_EQ(xfeOstakElemRuleGetAttrChar(rule, OSTAK_RULE_CHAR_TEXT, &text), 0);
    EXPECT_STREQ(text, "first text") << "the setter keeps no pointer to the caller's buffer";
    ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_PREFIX, "other field"), 0);
    ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_NAME, "Renamed"), 0);
    EXPECT_STREQ(text, "first text") << "setting other fields leaves the pointer valid";
    const char *again = nullptr;
    ASSERT_EQ(xfeOstakElemRuleGetAttrChar(rule, OSTAK_RULE_CHAR_TEXT, &again), 0);
    EXPECT_EQ(again, text);
}

TEST_F(ModelExports, NullArgumentsGive3) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemRuleHandle *rule = AddRule(appl, "Rule");
    const char *text = nullptr;
    uint8_t flag = 0;
    int32_t number = 0;
    const struct {
        const char *name;
        std::function<int32_t()> call;
    } cases[] = {
        {"Clone null place", [&] { return xfeOstakListApplClone(list_, nullptr); }},
        {"Destroy null place", [&] { return xfeOstakListApplDestroy(nullptr); }},
        {"ApplAddEmpty null place", [&] { return xfeOstakElemApplAddEmpty(list_, nullptr); }},
        {"ApplDelete null place", [&] { return xfeOstakElemApplDelete(list_, nullptr); }},
        {"ApplIterateFirst null place", [&] { return xfeOstakElemApplIterateFirst(list_, nullptr); }},
        {"ApplIterateNext null place", [&] { return xfeOstakElemApplIterateNext(list_, appl, nullptr); }},
        {"FinalizeAppl null list", [&] { return xfeOstakFinalizeElemAppl(nullptr, appl, nullptr, &flag); }},
        {"FinalizeAppl null appl", [&] { return xfeOstakFinalizeElemAppl(list_, nullptr, nullptr, &flag); }},
        {"ApplSetChar null list", [&] { return xfeOstakElemApplSetAttrChar(nullptr, appl, 0, "X"); }},
        {"ApplSetChar null appl", [&] { return xfeOstakElemApplSetAttrChar(list_, nullptr, 0, "X"); }},
        {"ApplSetChar null text", [&] { return xfeOstakElemApplSetAttrChar(list_, appl, 0, nullptr); }},
        {"ApplGetChar null appl", [&] { return xfeOstakElemApplGetAttrChar(nullptr, 0, &text); }},
        {"ApplGetChar null place", [&] { return xfeOstakElemApplGetAttrChar(appl, 0, nullptr); }},
        {"ApplSetBool null list", [&] { return xfeOstakElemApplSetAttrBool(nullptr, appl, 0, 1); }},
        {"ApplSetBool null appl", [&] { return xfeOstakElemApplSetAttrBool(list_, nullptr, 0, 1); }},
        {"ApplGetBool null appl", [&] { return xfeOstakElemApplGetAttrBool(nullptr, 0, &flag); }},
        {"ApplGetBool null place", [&] { return xfeOstakElemApplGetAttrBool(appl, 0, nullptr); }},
        {"ApplSetLong null appl", [&] { return xfeOstakElemApplSetAttrLong(nullptr, 0, 1); }},
        {"ApplGetLong null appl", [&] { return xfeOstakElemApplGetAttrLong(nullptr, 0, &number); }},
        {"ApplGetLong null place", [&] { return xfeOstakElemApplGetAttrLong(appl, 0, nullptr); }},
        {"RuleAddEmpty null place", [&] { return xfeOstakElemRuleAddEmpty(appl, nullptr); }},
        {"RuleDelete null place", [&] { return xfeOstakElemRuleDelete(appl, nullptr); }},
        {"RuleIterateFirst null place", [&] { return xfeOstakElemRuleIterateFirst(appl, nullptr); }},
        {"RuleIterateNext null place", [&] { return xfeOstakElemRuleIterateNext(appl, rule, nullptr); }},
        {"FinalizeRule null appl", [&] { return xfeOstakFinalizeElemRule(nullptr, rule, &flag); }},
        {"FinalizeRule null rule", [&] { return xfeOstakFinalizeElemRule(appl, nullptr, &flag); }},
        {"RuleSetChar null appl", [&] { return xfeOstakElemRuleSetAttrChar(nullptr, rule, 1, "x"); }},
        {"RuleSetChar null rule", [&] { return xfeOstakElemRuleSetAttrChar(appl, nullptr, 1, "x"); }},
        {"RuleSetChar null text", [&] { return xfeOstakElemRuleSetAttrChar(appl, rule, 1, nullptr); }},
        {"RuleGetChar null rule", [&] { return xfeOstakElemRuleGetAttrChar(nullptr, 1, &text); }},
        {"RuleGetChar null place", [&] { return xfeOstakElemRuleGetAttrChar(rule, 1, nullptr); }},
        {"RuleSetBool null appl", [&] { return xfeOstakElemRuleSetAttrBool(nullptr, rule, 1, 0); }},
        {"RuleSetBool null rule", [&] { return xfeOstakElemRuleSetAttrBool(appl, nullptr, 1, 0); }},
        {"RuleGetBool null rule", [&] { return xfeOstakElemRuleGetAttrBool(nullptr, 1, &flag); }},
        {"RuleGetBool null place", [&] { return xfeOstakElemRuleGetAttrBool(rule, 1, nullptr); }},
        {"RuleSetLong null appl", [&] { return xfeOstakElemRuleSetAttrLong(nullptr, rule, 1, 0); }},
        {"RuleSetLong null rule", [&] { return xfeOstakElemRuleSetAttrLong(appl, nullptr, 1, 0); }},
        {"RuleGetLong null rule", [&] { return xfeOstakElemRuleGetAttrLong(nullptr, 1, &number); }},
        {"RuleGetLong null place", [&] { return xfeOstakElemRuleGetAttrLong(rule, 1, nullptr); }},
    };
    for (const auto &c : cases) {
        ExpectFailure(c.call, OSTAK_E_INVALID_ARGUMENT, kMsgInvalidArgument, c.name);
    }
    EXPECT_EQ(WalkAppls(), (NameList{"App"}));
    EXPECT_EQ(WalkRules(appl), (NameList{"Rule"}));
}

TEST_F(ModelExports, PlacesOfRefusedCalls) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemRuleHandle *rule = AddRule(appl, "Rule");
    OstakElemApplHandle *applPlace = appl;
    OstakElemRuleHandle *rulePlace = rule;

    ExpectFailure([&] { return xfeOstakElemApplAddEmpty(nullptr, &applPlace); }, 3, kMsgInvalidArgument,
                  "add");
    EXPECT_EQ(applPlace, nullptr);
    applPlace = appl;
    ExpectFailure([&] { return xfeOstakElemApplDelete(nullptr, &applPlace); }, 3, kMsgInvalidArgument,
                  "delete");
    EXPECT_EQ(applPlace, nullptr);
    applPlace = appl;
    ExpectFailure([&] { return xfeOstakElemApplIterateFirst(nullptr, &applPlace); }, 3, kMsgInvalidArgument,
                  "first");
    EXPECT_EQ(applPlace, nullptr);
    applPlace = appl;
    ExpectFailure([&] { return xfeOstakElemApplIterateNext(nullptr, appl, &applPlace); }, 3,
                  kMsgInvalidArgument, "next, null list");
    EXPECT_EQ(applPlace, nullptr);
    applPlace = appl;
    ExpectFailure([&] { return xfeOstakElemApplIterateNext(list_, nullptr, &applPlace); }, 3,
                  kMsgInvalidArgument, "next, null current");
    EXPECT_EQ(applPlace, nullptr);

    // Finalising presets the failing rule and the valid flag before it looks at its arguments.
    for (const bool nullList : {true, false}) {
        OstakElemRuleHandle *failing = rule;
        uint8_t valid = 9;
        ExpectFailure(
            [&] {
                return xfeOstakFinalizeElemAppl(nullList ? nullptr : list_, nullList ? appl : nullptr,
                                                &failing, &valid);
            },
            3, kMsgInvalidArgument, nullList ? "finalize, null list" : "finalize, null appl");
        EXPECT_EQ(failing, nullptr);
        EXPECT_EQ(valid, 0);
    }
    uint8_t ruleValid = 9;
    ExpectFailure([&] { return xfeOstakFinalizeElemRule(appl, nullptr, &ruleValid); }, 3, kMsgInvalidArgument,
                  "rule finalize");
    EXPECT_EQ(ruleValid, 0);

    ExpectFailure([&] { return xfeOstakElemRuleAddEmpty(nullptr, &rulePlace); }, 3, kMsgInvalidArgument,
                  "rule add");
    EXPECT_EQ(rulePlace, nullptr);
    rulePlace = rule;
    ExpectFailure([&] { return xfeOstakElemRuleDelete(nullptr, &rulePlace); }, 3, kMsgInvalidArgument,
                  "rule delete");
    EXPECT_EQ(rulePlace, nullptr);
    rulePlace = rule;
    ExpectFailure([&] { return xfeOstakElemRuleIterateFirst(nullptr, &rulePlace); }, 3, kMsgInvalidArgument,
                  "rule first");
    EXPECT_EQ(rulePlace, nullptr);
    rulePlace = rule;
    ExpectFailure([&] { return xfeOstakElemRuleIterateNext(appl, nullptr, &rulePlace); }, 3,
                  kMsgInvalidArgument, "rule next");
    EXPECT_EQ(rulePlace, nullptr);
    EXPECT_EQ(WalkRules(appl), (NameList{"Rule"})) << "nothing was deleted";
}

TEST_F(ModelExports, IterateNextWithAStrangerGives9AndLeavesThePlace) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemApplHandle *other = AddAppl("Other");
    AddRule(appl, "Rule");
    OstakElemRuleHandle *stranger = AddRule(other, "Stranger");
    OstakElemRuleHandle *place = stranger;
    ExpectFailure([&] { return xfeOstakElemRuleIterateNext(appl, stranger, &place); }, OSTAK_E_NOT_IN_LIST,
                  kMsgNotInList, "rule of another application");
    EXPECT_EQ(place, stranger);

    OstakListApplHandle *copy = nullptr;
    ASSERT_EQ(xfeOstakListApplClone(list_, &copy), 0);
    OstakElemApplHandle *applPlace = appl;
    ExpectFailure([&] { return xfeOstakElemApplIterateNext(copy, appl, &applPlace); }, OSTAK_E_NOT_IN_LIST,
                  kMsgNotInList, "application of another list");
    EXPECT_EQ(applPlace, appl);
    ASSERT_EQ(xfeOstakListApplDestroy(&copy), 0);
}

TEST_F(ModelExports, FinalizingANamesakeGives5AndLinksItFirst) {
    OstakElemApplHandle *old = AddAppl("Twin");
    AddAppl("Zed");
    OstakElemApplHandle *twin = nullptr;
    ASSERT_EQ(xfeOstakElemApplAddEmpty(list_, &twin), 0);
    ASSERT_EQ(xfeOstakElemApplSetAttrChar(list_, twin, OSTAK_APPL_CHAR_NAME, "Twin"), 0);
    uint8_t valid = 7;
    ExpectFailure([&] { return xfeOstakFinalizeElemAppl(list_, twin, nullptr, &valid); },
                  OSTAK_E_DUPLICATE_NAME, kMsgDuplicate, "namesake");
    EXPECT_EQ(valid, 0);
    EXPECT_EQ(WalkAppls(), (NameList{"Twin", "Twin", "Zed"}));
    OstakElemApplHandle *first = nullptr;
    ASSERT_EQ(xfeOstakElemApplIterateFirst(list_, &first), 0);
    EXPECT_EQ(first, twin);
    OstakElemApplHandle *second = nullptr;
    ASSERT_EQ(xfeOstakElemApplIterateNext(list_, first, &second), 0);
    EXPECT_EQ(second, old);
}

TEST_F(ModelExports, FinalizingAnApplicationValidatesItsRules) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemRuleHandle *rule = AddRule(appl, "Rule", "text");
    OstakElemRuleHandle *failing = rule;
    uint8_t valid = 0;
    ExpectQuietSuccess([&] { return xfeOstakFinalizeElemAppl(list_, appl, &failing, &valid); }, "valid");
    EXPECT_EQ(valid, 1);
    EXPECT_EQ(failing, nullptr);

    ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_TEXT, ""), 0);
    ExpectFailure([&] { return xfeOstakFinalizeElemAppl(list_, appl, &failing, &valid); }, OSTAK_E_EMPTY_TEXT,
                  kMsgEmptyText, "empty text");
    EXPECT_EQ(valid, 0);
    EXPECT_EQ(failing, rule);
    ExpectFailure([&] { return xfeOstakFinalizeElemAppl(list_, appl, nullptr, &valid); }, OSTAK_E_EMPTY_TEXT,
                  kMsgEmptyText, "no place for the failing rule");
    ExpectFailure([&] { return xfeOstakFinalizeElemAppl(list_, appl, &failing, nullptr); },
                  OSTAK_E_EMPTY_TEXT, kMsgEmptyText, "a failure without a place for the valid flag");

    ASSERT_EQ(xfeOstakElemApplSetAttrChar(list_, appl, OSTAK_APPL_CHAR_NAME, ""), 0);
    failing = rule;
    ExpectFailure([&] { return xfeOstakFinalizeElemAppl(list_, appl, &failing, &valid); },
                  OSTAK_E_INVALID_NAME, kMsgInvalidName, "empty application name");
    EXPECT_EQ(failing, nullptr);
}

TEST_F(ModelExports, FinalizingWithoutAValidPlaceGives3AfterMovingTheElement) {
    AddAppl("b");
    AddAppl("c");
    OstakElemApplHandle *appl = AddAppl("z");
    ASSERT_EQ(xfeOstakElemApplSetAttrChar(list_, appl, OSTAK_APPL_CHAR_NAME, "a"), 0);
    EXPECT_EQ(WalkAppls(), (NameList{"b", "c", "a"})) << "met at its old place until finalised";
    ExpectFailure([&] { return xfeOstakFinalizeElemAppl(list_, appl, nullptr, nullptr); },
                  OSTAK_E_INVALID_ARGUMENT, kMsgInvalidArgument, "no valid place");
    EXPECT_EQ(WalkAppls(), (NameList{"a", "b", "c"}));

    OstakElemRuleHandle *rule = AddRule(appl, "y");
    AddRule(appl, "x");
    ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_NAME, "w"), 0);
    ExpectFailure([&] { return xfeOstakFinalizeElemRule(appl, rule, nullptr); }, OSTAK_E_INVALID_ARGUMENT,
                  kMsgInvalidArgument, "rule, no valid place");
    EXPECT_EQ(WalkRules(appl), (NameList{"w", "x"}));
}

TEST_F(ModelExports, FinalizingARule) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemApplHandle *other = AddAppl("Other");
    OstakElemRuleHandle *rule = AddRule(appl, "Rule");
    uint8_t valid = 0;
    ExpectQuietSuccess([&] { return xfeOstakFinalizeElemRule(appl, rule, &valid); }, "valid");
    EXPECT_EQ(valid, 1);

    struct Case {
        const char *what;
        std::function<void()> edit;
        int32_t rc;
        int32_t number;
    };
    const Case cases[] = {
        {"empty prefix", [&] { xfeOstakElemRuleSetAttrBool(appl, rule, OSTAK_RULE_BOOL_USE_TEXT, 0); },
         OSTAK_E_EMPTY_PREFIX, kMsgEmptyPrefix},
        {"empty suffix", [&] { xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_PREFIX, "p"); },
         OSTAK_E_EMPTY_SUFFIX, kMsgEmptySuffix},
        {"level 2",
         [&] {
             xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_SUFFIX, "s");
             xfeOstakElemRuleSetAttrLong(appl, rule, OSTAK_RULE_LONG_LEVEL, 2);
         },
         OSTAK_E_INVALID_LEVEL, kMsgInvalidLevel},
        {"empty name",
         [&] {
             xfeOstakElemRuleSetAttrLong(appl, rule, OSTAK_RULE_LONG_LEVEL, 0);
             xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_NAME, "");
         },
         OSTAK_E_INVALID_NAME, kMsgInvalidName},
    };
    for (const Case &c : cases) {
        c.edit();
        valid = 7;
        ExpectFailure([&] { return xfeOstakFinalizeElemRule(appl, rule, &valid); }, c.rc, c.number, c.what);
        EXPECT_EQ(valid, 0);
    }

    ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, rule, OSTAK_RULE_CHAR_NAME, "Rule"), 0);
    AddRule(appl, "Twin");
    OstakElemRuleHandle *twin = AddRule(appl, "Zwin");
    ASSERT_EQ(xfeOstakElemRuleSetAttrChar(appl, twin, OSTAK_RULE_CHAR_NAME, "Twin"), 0);
    ExpectFailure([&] { return xfeOstakFinalizeElemRule(appl, twin, &valid); }, OSTAK_E_DUPLICATE_NAME,
                  kMsgDuplicate, "namesake");
    OstakElemRuleHandle *first = nullptr;
    ASSERT_EQ(xfeOstakElemRuleIterateFirst(appl, &first), 0);
    OstakElemRuleHandle *second = nullptr;
    ASSERT_EQ(xfeOstakElemRuleIterateNext(appl, first, &second), 0);
    EXPECT_EQ(second, twin) << "linked before the older Twin";

    valid = 7;
    ExpectFailure([&] { return xfeOstakFinalizeElemRule(other, rule, &valid); }, OSTAK_E_NOT_IN_LIST,
                  kMsgNotInList, "rule of another application");
    EXPECT_EQ(valid, 0);
    EXPECT_EQ(WalkRules(appl), (NameList{"Rule", "Twin", "Twin"}));
}

TEST_F(ModelExports, FinalizingAnApplicationOfAnotherListGives9) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakListApplHandle *copy = nullptr;
    ASSERT_EQ(xfeOstakListApplClone(list_, &copy), 0);
    uint8_t valid = 7;
    OstakElemRuleHandle *failing = reinterpret_cast<OstakElemRuleHandle *>(appl);
    ExpectFailure([&] { return xfeOstakFinalizeElemAppl(copy, appl, &failing, &valid); }, OSTAK_E_NOT_IN_LIST,
                  kMsgNotInList, "application of another list");
    EXPECT_EQ(valid, 0);
    EXPECT_EQ(failing, nullptr);
    EXPECT_EQ(WalkAppls(), (NameList{"App"}));
    EXPECT_EQ(WalkAppls(copy), (NameList{"App"}));
    ASSERT_EQ(xfeOstakListApplDestroy(&copy), 0);
}

TEST_F(ModelExports, DeletingWithTheWrongListIsAQuietNothing) {
    OstakElemApplHandle *a = AddAppl("A");
    AddAppl("B");
    OstakListApplHandle *copy = nullptr;
    ASSERT_EQ(xfeOstakListApplClone(list_, &copy), 0);
    OstakElemApplHandle *place = a;
    ExpectQuietSuccess([&] { return xfeOstakElemApplDelete(copy, &place); }, "wrong list");
    EXPECT_EQ(place, nullptr);
    EXPECT_EQ(WalkAppls(), (NameList{"A", "B"}));
    EXPECT_EQ(WalkAppls(copy), (NameList{"A", "B"}));
    ExpectQuietSuccess([&] { return xfeOstakElemApplDelete(list_, &place); }, "place holding null");

    place = a;
    ExpectQuietSuccess([&] { return xfeOstakElemApplDelete(list_, &place); }, "own list");
    EXPECT_EQ(place, nullptr);
    EXPECT_EQ(WalkAppls(), (NameList{"B"}));
    ASSERT_EQ(xfeOstakListApplDestroy(&copy), 0);
}

TEST_F(ModelExports, DeletingRules) {
    OstakElemApplHandle *appl = AddAppl("App");
    OstakElemApplHandle *other = AddAppl("Other");
    OstakElemRuleHandle *r1 = AddRule(appl, "R1");
    AddRule(appl, "R2");
    OstakElemRuleHandle *stranger = AddRule(other, "S");
    OstakElemRuleHandle *place = stranger;
    ExpectQuietSuccess([&] { return xfeOstakElemRuleDelete(appl, &place); }, "rule of another application");
    EXPECT_EQ(place, nullptr);
    EXPECT_EQ(WalkRules(other), (NameList{"S"}));
    ExpectQuietSuccess([&] { return xfeOstakElemRuleDelete(appl, &place); }, "place holding null");
    place = r1;
    ExpectQuietSuccess([&] { return xfeOstakElemRuleDelete(appl, &place); }, "own rule");
    EXPECT_EQ(place, nullptr);
    EXPECT_EQ(WalkRules(appl), (NameList{"R2"}));

    // Deleting an application deletes its rules (the fixture checks nothing leaks).
    OstakElemApplHandle *applPlace = appl;
    ASSERT_EQ(xfeOstakElemApplDelete(list_, &applPlace), 0);
    EXPECT_EQ(WalkAppls(), (NameList{"Other"}));
}

TEST_F(ModelExports, CloneIsADeepIndependentCopy) {
    OstakElemApplHandle *a = AddAppl("A");
    AddRule(a, "R1", "one");
    AddRule(a, "R2", "two");
    OstakElemApplHandle *b = AddAppl("B");
    ASSERT_EQ(xfeOstakElemApplSetAttrBool(list_, b, OSTAK_APPL_BOOL_ENABLED, 2), 0);
    ASSERT_EQ(xfeOstakElemApplSetAttrLong(b, OSTAK_APPL_LONG_DIFF_MARK, 1002), 0);

    OstakListApplHandle *copy = nullptr;
    ExpectQuietSuccess([&] { return xfeOstakListApplClone(list_, &copy); }, "clone");
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, list_);
    EXPECT_EQ(WalkAppls(copy), (NameList{"A", "B"}));

    OstakElemApplHandle *copyA = nullptr;
    ASSERT_EQ(xfeOstakElemApplIterateFirst(copy, &copyA), 0);
    EXPECT_NE(copyA, a);
    EXPECT_EQ(WalkRules(copyA), (NameList{"R1", "R2"}));
    OstakElemApplHandle *copyB = nullptr;
    ASSERT_EQ(xfeOstakElemApplIterateNext(copy, copyA, &copyB), 0);
    uint8_t enabled = 0;
    int32_t mark = 0;
    ASSERT_EQ(xfeOstakElemApplGetAttrBool(copyB, OSTAK_APPL_BOOL_ENABLED, &enabled), 0);
    ASSERT_EQ(xfeOstakElemApplGetAttrLong(copyB, OSTAK_APPL_LONG_DIFF_MARK, &mark), 0);
    EXPECT_EQ(enabled, 2);
    EXPECT_EQ(mark, 1002);
    EXPECT_EQ(reinterpret_cast<ostak::OstakElemAppl *>(copyB)->StampTime(),
              reinterpret_cast<ostak::OstakElemAppl *>(b)->StampTime());

    // Editing the copy leaves the source alone.
    OstakElemRuleHandle *copyRule = nullptr;
    ASSERT_EQ(xfeOstakElemRuleIterateFirst(copyA, &copyRule), 0);
    ASSERT_EQ(xfeOstakElemRuleSetAttrChar(copyA, copyRule, OSTAK_RULE_CHAR_TEXT, "edited"), 0);
    ASSERT_EQ(xfeOstakElemApplSetAttrChar(copy, copyA, OSTAK_APPL_CHAR_NAME, "C"), 0);
    uint8_t valid = 0;
    ASSERT_EQ(xfeOstakFinalizeElemAppl(copy, copyA, nullptr, &valid), 0);
    OstakElemApplHandle *added = AddAppl("D", copy);
    ASSERT_NE(added, nullptr);
    OstakElemApplHandle *gone = copyB;
    ASSERT_EQ(xfeOstakElemApplDelete(copy, &gone), 0);
    EXPECT_EQ(WalkAppls(copy), (NameList{"C", "D"}));
    EXPECT_EQ(WalkAppls(), (NameList{"A", "B"}));
    EXPECT_EQ(WalkRules(a), (NameList{"R1", "R2"}));
    OstakElemRuleHandle *rule = nullptr;
    ASSERT_EQ(xfeOstakElemRuleIterateFirst(a, &rule), 0);
    const char *text = nullptr;
    ASSERT_EQ(xfeOstakElemRuleGetAttrChar(rule, OSTAK_RULE_CHAR_TEXT, &text), 0);
    EXPECT_STREQ(text, "one");

    ExpectQuietSuccess([&] { return xfeOstakListApplDestroy(&copy); }, "destroy");
    EXPECT_EQ(copy, nullptr);
    ExpectQuietSuccess([&] { return xfeOstakListApplDestroy(&copy); }, "destroy a place holding null");
}

TEST_F(ModelExports, TheListOfARuleFileIsNotDestroyedOnItsOwn) {
    AddAppl("A");
    OstakListApplHandle *place = list_;
    ExpectFailure([&] { return xfeOstakListApplDestroy(&place); }, OSTAK_E_INVALID_ARGUMENT,
                  kMsgInvalidArgument, "a rule file's list");
    EXPECT_EQ(place, list_);
    EXPECT_EQ(WalkAppls(), (NameList{"A"}));
}

TEST_F(ModelExports, CloneOfANullSourceStoresNull) {
    OstakListApplHandle *copy = list_;
    ExpectFailure([&] { return xfeOstakListApplClone(nullptr, &copy); }, 3, kMsgInvalidArgument,
                  "null source");
    EXPECT_EQ(copy, nullptr);
}

TEST_F(ModelExports, CloneWithoutMemoryGives7AndNoCopy) {
    OstakElemApplHandle *a = AddAppl("A");
    AddRule(a, "R1");
    AddRule(a, "R2");
    OstakElemApplHandle *b = AddAppl("B");
    AddRule(b, "R3");
    uint64_t n = 1;
    for (;; ++n) {
        const int64_t live = LiveAllocations();
        OstakListApplHandle *copy = list_;
        Seams().failAllocationAt = n;
        Log().clear();
        const int32_t rc = xfeOstakListApplClone(list_, &copy);
        Seams().failAllocationAt = 0;
        if (rc == 0) {
            EXPECT_EQ(WalkAppls(copy), (NameList{"A", "B"}));
            ASSERT_EQ(xfeOstakListApplDestroy(&copy), 0);
            break;
        }
        SCOPED_TRACE("allocation " + std::to_string(n));
        EXPECT_EQ(rc, OSTAK_E_NO_MEMORY);
        ExpectIssuedOnce(kMsgNoMemory);
        EXPECT_EQ(copy, nullptr);
        EXPECT_EQ(LiveAllocations(), live);
    }
    EXPECT_GT(n, 10u) << "the list, the applications and every rule were made to fail";
    EXPECT_EQ(WalkAppls(), (NameList{"A", "B"}));
}

TEST_F(ModelExports, AddingWithoutMemoryGives7AndLeavesTheList) {
    OstakElemApplHandle *a = AddAppl("A");
    AddRule(a, "R");
    // The record and its stamp's host name.
    for (uint64_t n = 1; n <= 2; ++n) {
        const int64_t live = LiveAllocations();
        OstakElemApplHandle *appl = a;
        Seams().failAllocationAt = n;
        ExpectFailure([&] { return xfeOstakElemApplAddEmpty(list_, &appl); }, OSTAK_E_NO_MEMORY, kMsgNoMemory,
                      "application, allocation " + std::to_string(n));
        Seams().failAllocationAt = 0;
        EXPECT_EQ(appl, nullptr);
        EXPECT_EQ(LiveAllocations(), live);
    }
    OstakElemRuleHandle *rule = nullptr;
    Seams().failAllocationAt = 1;
    ExpectFailure([&] { return xfeOstakElemRuleAddEmpty(a, &rule); }, OSTAK_E_NO_MEMORY, kMsgNoMemory,
                  "rule");
    EXPECT_EQ(rule, nullptr);
    EXPECT_EQ(WalkAppls(), (NameList{"A"}));
    EXPECT_EQ(WalkRules(a), (NameList{"R"}));
}

TEST_F(ModelExports, SettingTextsWithoutMemoryGives7AndKeepsThem) {
    OstakElemApplHandle *a = AddAppl("A");
    OstakElemRuleHandle *rule = AddRule(a, "R", "kept");
    // Long enough not to fit inside the record, so that setting it allocates.
    const char *other = "OtherValueLongerThanARecordHolds";
    Seams().failAllocationAt = 1;
    ExpectFailure([&] { return xfeOstakElemApplSetAttrChar(list_, a, OSTAK_APPL_CHAR_NAME, other); },
                  OSTAK_E_NO_MEMORY, kMsgNoMemory, "application name");
    for (int32_t id = 0; id < 4; ++id) {
        Seams().failAllocationAt = 1;
        ExpectFailure([&] { return xfeOstakElemRuleSetAttrChar(a, rule, id, other); }, OSTAK_E_NO_MEMORY,
                      kMsgNoMemory, "rule field " + std::to_string(id));
    }
    EXPECT_EQ(WalkAppls(), (NameList{"A"}));
    EXPECT_EQ(WalkRules(a), (NameList{"R"}));
    const char *text = nullptr;
    ASSERT_EQ(xfeOstakElemRuleGetAttrChar(rule, OSTAK_RULE_CHAR_TEXT, &text), 0);
    EXPECT_STREQ(text, "kept");
}

} // namespace
