// The typical call, end to end, through the C interface only (except for
// reading stamp times, which no export hands out): a script's rule file on
// disk, an installation file that changed since, the configuration callback
// agreeing to the merge, the merge callback deciding through the handle
// exports, and the script's file on disk afterwards, byte for byte.
#include "tests/support/Fixtures.h"

#include "7-interface/OstakHandles.h"

using namespace ostak_test;

namespace {

const char *ApplName(void *appl) {
    const char *name = nullptr;
    EXPECT_EQ(
        xfeOstakElemApplGetAttrChar(static_cast<OstakElemApplHandle *>(appl), OSTAK_APPL_CHAR_NAME, &name),
        0);
    return name;
}

std::string RuleChar(void *rule, int32_t id) {
    const char *value = nullptr;
    EXPECT_EQ(xfeOstakElemRuleGetAttrChar(static_cast<OstakElemRuleHandle *>(rule), id, &value), 0);
    return value != nullptr ? value : "";
}

// What the caller's merge callback saw, as it read it through the exports.
struct Seen {
    int32_t event, sourceKind, targetKind;
    std::string appl, rule, text, appl2, rule2, text2, proposed;
    bool targetHandlesAreTheScripts;
};

void ExpectSeen(const Seen &seen, const Seen &expected) {
    SCOPED_TRACE("event " + std::to_string(expected.event) + " on " + expected.rule);
    EXPECT_EQ(seen.event, expected.event);
    EXPECT_EQ(seen.sourceKind, expected.sourceKind);
    EXPECT_EQ(seen.targetKind, expected.targetKind);
    EXPECT_EQ(seen.appl, expected.appl);
    EXPECT_EQ(seen.rule, expected.rule);
    EXPECT_EQ(seen.text, expected.text);
    EXPECT_EQ(seen.appl2, expected.appl2);
    EXPECT_EQ(seen.rule2, expected.rule2);
    EXPECT_EQ(seen.text2, expected.text2);
    EXPECT_EQ(seen.proposed, expected.proposed);
    EXPECT_EQ(seen.targetHandlesAreTheScripts, expected.targetHandlesAreTheScripts);
}

std::vector<Seen> &SeenCalls() {
    static std::vector<Seen> seen;
    return seen;
}

OstakListApplHandle *&ScriptList() {
    static OstakListApplHandle *list = nullptr;
    return list;
}

// Whether `appl` is an application of the script's list and `rule` one of its rules.
bool InScript(void *appl, void *rule) {
    OstakElemApplHandle *walk = nullptr;
    xfeOstakElemApplIterateFirst(ScriptList(), &walk);
    while (walk != nullptr && walk != appl) {
        xfeOstakElemApplIterateNext(ScriptList(), walk, &walk);
    }
    if (walk == nullptr) {
        return false;
    }
    OstakElemRuleHandle *r = nullptr;
    xfeOstakElemRuleIterateFirst(walk, &r);
    while (r != nullptr && r != rule) {
        xfeOstakElemRuleIterateNext(walk, r, &r);
    }
    return r != nullptr;
}

// Keeps both versions of a conflicting rule and takes every new rule of the installation.
uint32_t CallerMerge(int32_t event, int32_t sourceKind, int32_t targetKind, void *appl, void *rule,
                     void *appl2, void *rule2, const char *proposed) {
    Seen seen{event,
              sourceKind,
              targetKind,
              ApplName(appl),
              RuleChar(rule, OSTAK_RULE_CHAR_NAME),
              RuleChar(rule, OSTAK_RULE_CHAR_TEXT),
              appl2 != nullptr ? ApplName(appl2) : "(null)",
              rule2 != nullptr ? RuleChar(rule2, OSTAK_RULE_CHAR_NAME) : "(null)",
              rule2 != nullptr ? RuleChar(rule2, OSTAK_RULE_CHAR_TEXT) : "(null)",
              proposed != nullptr ? proposed : "(null)",
              appl2 == nullptr || InScript(appl2, rule2)};
    SeenCalls().push_back(seen);
    return event == OstakMergeRuleConflict ? OstakMergeTakeBoth : OstakMergeTakeSource;
}

class SyncEndToEnd : public SyncTest {};

TEST_F(SyncEndToEnd, ChangedInstallationMergedIntoTheScriptsFile) {
    WriteInstallation(DocXml(
        {{"Editor", {R("Rule_1", "open"), R("Rule_2", "save"), R("Rule_3", "close")}, 0, 1, "inst", 500},
         {"Mail", {R("Rule_1", "send")}, 0, 1, "inst", 500}},
        6));
    WriteScript(
        DocXml({{"Editor", {R("Rule_1", "open"), R("Rule_2", "saved"), R("Rule_5", "mine")}, 0, 1, "me", 9},
                {"Local", {R("x", "local")}, 0, 0, "me", 9}},
               5, true));

    const std::string root = root_.path();
    const std::string dir = scripts_.path();
    ASSERT_EQ(xfeOstakGlobalInit(0, ostak_test::RecordLog, CallerMerge, ScriptedConf::Callback, root.c_str(),
                                 static_cast<uint32_t>(root.size()), dir.c_str(),
                                 static_cast<uint32_t>(dir.size()), "script.xml", 10, 0),
              0);
    ScriptedConf::Answer() = 2;
    SeenCalls().clear();
    ostak_test::Log().clear();

    OstakListApplHandle *list = nullptr;
    ASSERT_EQ(xfeOstakFileInMemCreate(1, xfpszOstakFileFullPathScriptStr(), xfnOstakFileFullPathScriptLen(),
                                      &script_, &list),
              0);
    ScriptList() = list;
    const int32_t before = ostak::OstakElemAppl::CurrentTime();
    ASSERT_EQ(xfeOstakLoad(script_), 0);
    const int32_t after = ostak::OstakElemAppl::CurrentTime();

    EXPECT_EQ(ScriptedConf::Questions(), std::vector<int32_t>{0});
    EXPECT_TRUE(MessagesBeyondTrace().empty());
    const std::vector<Seen> &calls = SeenCalls();
    ASSERT_EQ(calls.size(), 2u) << "Rule_1 is equal and Rule_5, only in the script, stays without a call";
    // The conflict proposes Rule_4: Rule_3 is the installation's.
    ExpectSeen(calls[0], {OstakMergeRuleConflict, 2, 1, "Editor", "Rule_2", "save", "Editor", "Rule_2",
                          "saved", "Rule_4", true});
    ExpectSeen(calls[1], {OstakMergeRuleOnlyInSource, 2, 1, "Editor", "Rule_3", "close", "(null)", "(null)",
                          "(null)", "(null)", true});

    uint8_t saved = 0;
    EXPECT_EQ(xfeOstakFileInMemGetAttrBool(script_, OSTAK_FILE_BOOL_SAVED, &saved), 0);
    EXPECT_EQ(saved, 1);

    // The stamps of this merge: Editor re-stamped, Mail new.
    OstakElemApplHandle *editor = nullptr;
    ASSERT_EQ(xfeOstakElemApplIterateFirst(list, &editor), 0);
    OstakElemApplHandle *local = nullptr;
    ASSERT_EQ(xfeOstakElemApplIterateNext(list, editor, &local), 0);
    OstakElemApplHandle *mail = nullptr;
    ASSERT_EQ(xfeOstakElemApplIterateNext(list, local, &mail), 0);
    ASSERT_NE(mail, nullptr);
    EXPECT_STREQ(ApplName(mail), "Mail");
    const int32_t editorTime = ostak::FromHandle(editor)->StampTime();
    const int32_t mailTime = ostak::FromHandle(mail)->StampTime();
    for (int32_t time : {editorTime, mailTime}) {
        EXPECT_GE(time, before);
        EXPECT_LE(time, after);
    }

    const std::string expected =
        Head() + "<AED TqVersion=\"7.6\" FileVersionInstallation=\"6\" Saved=\"true\">\r\n" +
        "\t<Application Name=\"Editor\" Enabled=\"true\" StampTime=\"" + std::to_string(editorTime) +
        "\" StampHost=\"" + kHost + "\">\r\n" +
        "\t\t<Rule Name=\"Rule_1\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
        "Level=\"error\">\r\n"
        "\t\t\t<Text>open</Text>\r\n"
        "\t\t</Rule>\r\n"
        "\t\t<Rule Name=\"Rule_2\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
        "Level=\"error\">\r\n"
        "\t\t\t<Text>saved</Text>\r\n"
        "\t\t</Rule>\r\n"
        "\t\t<Rule Name=\"Rule_3\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
        "Level=\"error\">\r\n"
        "\t\t\t<Text>close</Text>\r\n"
        "\t\t</Rule>\r\n"
        "\t\t<Rule Name=\"Rule_4\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
        "Level=\"error\">\r\n"
        "\t\t\t<Text>save</Text>\r\n"
        "\t\t</Rule>\r\n"
        "\t\t<Rule Name=\"Rule_5\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
        "Level=\"error\">\r\n"
        "\t\t\t<Text>mine</Text>\r\n"
        "\t\t</Rule>\r\n"
        "\t</Application>\r\n"
        "\t<Application Name=\"Local\" Enabled=\"false\" StampTime=\"9\" StampHost=\"me\">\r\n"
        "\t\t<Rule Name=\"x\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
        "Level=\"error\">\r\n"
        "\t\t\t<Text>local</Text>\r\n"
        "\t\t</Rule>\r\n"
        "\t</Application>\r\n" +
        "\t<Application Name=\"Mail\" Enabled=\"false\" StampTime=\"" + std::to_string(mailTime) +
        "\" StampHost=\"" + kHost + "\">\r\n" +
        "\t\t<Rule Name=\"Rule_1\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" "
        "Level=\"error\">\r\n"
        "\t\t\t<Text>send</Text>\r\n"
        "\t\t</Rule>\r\n"
        "\t</Application>\r\n"
        "</AED>\r\n";
    EXPECT_EQ(ReadFile(ScriptPath()), expected);

    // Loaded again, the file is in step: nothing is asked and nothing written.
    ASSERT_EQ(xfeOstakFileInMemDestroy(&script_), 0);
    ScriptedConf::Questions().clear();
    SeenCalls().clear();
    ASSERT_EQ(xfeOstakFileInMemCreate(1, xfpszOstakFileFullPathScriptStr(), xfnOstakFileFullPathScriptLen(),
                                      &script_, &list),
              0);
    ASSERT_EQ(xfeOstakLoad(script_), 0);
    EXPECT_TRUE(ScriptedConf::Questions().empty());
    EXPECT_TRUE(SeenCalls().empty());
    EXPECT_EQ(ReadFile(ScriptPath()), expected);
    EXPECT_EQ(ostak::FromHandle(script_)->Applications().FindAppl("Editor")->StampTime(), editorTime);
}

} // namespace
