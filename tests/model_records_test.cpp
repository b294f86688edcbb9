// Application and rule records: the name set, the text check, validation,
// equality, copying values, cloning and the stamp given at construction.
#include "tests/support/Fixtures.h"

#include <cstring>
#include <ctime>
#include <memory>

using namespace ostak;
using namespace ostak_test;

namespace {

struct DeleteElem {
    void operator()(OstakElem *elem) const { delete elem; }
};
using RulePtr = std::unique_ptr<OstakElemRule, DeleteElem>;
using ApplPtr = std::unique_ptr<OstakElemAppl, DeleteElem>;

RulePtr MakeRule() {
    RulePtr rule(OstakElemRule::Create());
    EXPECT_NE(rule, nullptr);
    return rule;
}

ApplPtr MakeAppl() {
    ApplPtr appl(OstakElemAppl::Create());
    EXPECT_NE(appl, nullptr);
    return appl;
}

// A rule whose four strings are all set (and Level 0), the source of value copies.
RulePtr MakeSourceRule() {
    RulePtr rule = MakeRule();
    EXPECT_EQ(rule->SetName("Src"), 0);
    EXPECT_EQ(rule->SetText("t"), 0);
    EXPECT_EQ(rule->SetPrefix("p"), 0);
    EXPECT_EQ(rule->SetSuffix("s"), 0);
    rule->SetLevel(0);
    return rule;
}

class ModelRecords : public ModelTest {};

TEST_F(ModelRecords, NameAcceptsExactlyTheSixtySixCharacters) {
    RulePtr rule = MakeRule();
    ASSERT_EQ(rule->SetName("Old"), 0);
    for (int byte = 1; byte < 256; ++byte) {
        const char name[] = {'a', static_cast<char>(byte), 'z', '\0'};
        const bool inSet = std::strchr(kNameCharacters, byte) != nullptr;
        const int32_t rc = rule->SetName(name);
        if (inSet) {
            EXPECT_EQ(rc, 0) << "byte " << byte;
            EXPECT_STREQ(rule->Name(), name);
            ASSERT_EQ(rule->SetName("Old"), 0);
        } else {
            EXPECT_EQ(rc, OSTAK_E_INVALID_NAME) << "byte " << byte;
            EXPECT_STREQ(rule->Name(), "Old") << "a refused name leaves the old one";
        }
    }
    EXPECT_EQ(std::strlen(kNameCharacters), 66u);
}

TEST_F(ModelRecords, NameSetterCases) {
    struct Case {
        const char *input;
        int32_t rc;
    };
    const Case cases[] = {
        {"aZ09_#@$", 0}, {"", 0},       {"a b", 8},  {" a", 8},     {"a.b", 8},   {"a-b", 8},
        {"\x80", 8},     {"ab\xff", 8}, {"a\tb", 8}, {"Name\n", 8}, {nullptr, 4},
    };
    for (const Case &c : cases) {
        ApplPtr appl = MakeAppl();
        ASSERT_EQ(appl->SetName("Before"), 0);
        EXPECT_EQ(appl->SetName(c.input), c.rc) << (c.input ? c.input : "(null)");
        EXPECT_STREQ(appl->Name(), c.rc == 0 ? c.input : "Before");
    }
}

TEST_F(ModelRecords, TextSettersRefuseOnlyLineBreaksAndTabs) {
    using Setter = int32_t (OstakElemRule::*)(const char *);
    using Getter = const char *(OstakElemRule::*)() const;
    const struct {
        Setter set;
        Getter get;
    } fields[] = {{&OstakElemRule::SetText, &OstakElemRule::Text},
                  {&OstakElemRule::SetPrefix, &OstakElemRule::Prefix},
                  {&OstakElemRule::SetSuffix, &OstakElemRule::Suffix}};
    struct Case {
        const char *input;
        int32_t rc;
    };
    const Case cases[] = {{"a\tb", 18}, {"a\nb", 18},       {"a\rb", 18},
                          {"\t", 18},   {" both ends ", 0}, {"\x01\x7f\xe9\xff", 0},
                          {"", 0},      {"a.b-c d", 0},     {nullptr, 4}};
    for (const auto &field : fields) {
        for (const Case &c : cases) {
            RulePtr rule = MakeRule();
            ASSERT_EQ((rule.get()->*field.set)("before"), 0);
            EXPECT_EQ((rule.get()->*field.set)(c.input), c.rc);
            EXPECT_STREQ((rule.get()->*field.get)(), c.rc == 0 ? c.input : "before");
        }
    }
}

TEST_F(ModelRecords, SettersFailingForMemoryKeepTheField) {
    RulePtr rule = MakeRule();
    ASSERT_EQ(rule->SetName("Kept"), 0);
    ASSERT_EQ(rule->SetText("kept"), 0);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(rule->SetName("Other"), OSTAK_E_NO_MEMORY);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(rule->SetText("other"), OSTAK_E_NO_MEMORY);
    EXPECT_STREQ(rule->Name(), "Kept");
    EXPECT_STREQ(rule->Text(), "kept");
}

TEST_F(ModelRecords, NewRuleHasTheDefaults) {
    RulePtr rule = MakeRule();
    EXPECT_STREQ(rule->Name(), "");
    EXPECT_STREQ(rule->Text(), "");
    EXPECT_STREQ(rule->Prefix(), "");
    EXPECT_STREQ(rule->Suffix(), "");
    EXPECT_EQ(rule->Level(), 1);
    EXPECT_EQ(rule->Type(), 0);
    EXPECT_EQ(rule->MatchCase(), 1);
    EXPECT_EQ(rule->UseText(), 1);
    EXPECT_EQ(rule->FailIfNotFound(), 0);
    EXPECT_EQ(rule->List(), nullptr);
    EXPECT_EQ(rule->Prev(), nullptr);
    EXPECT_EQ(rule->Next(), nullptr);
    // Empty fields share the one empty string: a new rule holds one block only.
    EXPECT_EQ(rule->Text(), xtOsStrCommonEmptyStr.psz);
}

TEST_F(ModelRecords, RuleValidation) {
    struct Case {
        const char *what;
        const char *name;
        uint8_t useText;
        const char *text;
        const char *prefix;
        const char *suffix;
        int32_t level;
        int32_t type;
        int32_t rc;
    };
    const Case cases[] = {
        {"new rule", "", 1, "", "", "", 1, 0, 8},
        {"name only", "R", 1, "", "", "", 1, 0, 10},
        {"name and text", "R", 1, "t", "", "", 1, 0, 0},
        {"use text 2 counts as true", "R", 2, "", "p", "s", 1, 0, 10},
        {"empty name before text", "", 1, "t", "", "", 5, 0, 8},
        {"prefix, no suffix", "R", 0, "", "p", "", 1, 0, 12},
        {"no prefix", "R", 0, "t", "", "s", 1, 0, 11},
        {"prefix and suffix", "R", 0, "", "p", "s", 1, 0, 0},
        {"level 0", "R", 1, "t", "", "", 0, 0, 0},
        {"level 2", "R", 1, "t", "", "", 2, 0, 13},
        {"level -1", "R", 1, "t", "", "", -1, 0, 13},
        {"text before level", "R", 1, "", "", "", 2, 0, 10},
        {"type 7", "R", 1, "t", "", "", 1, 7, 0},
    };
    for (const Case &c : cases) {
        RulePtr rule = MakeRule();
        ASSERT_EQ(rule->SetName(c.name), 0);
        ASSERT_EQ(rule->SetText(c.text), 0);
        ASSERT_EQ(rule->SetPrefix(c.prefix), 0);
        ASSERT_EQ(rule->SetSuffix(c.suffix), 0);
        rule->SetUseText(c.useText);
        rule->SetLevel(c.level);
        rule->SetType(c.type);
        EXPECT_EQ(rule->Validate(), c.rc) << c.what;
    }
}

TEST_F(ModelRecords, ApplicationValidationReportsTheFirstFailingRule) {
    ApplPtr appl = MakeAppl();
    OstakElemRule *failing = reinterpret_cast<OstakElemRule *>(appl.get());
    EXPECT_EQ(appl->Validate(&failing), OSTAK_E_INVALID_NAME) << "empty name";
    EXPECT_EQ(failing, nullptr);

    ASSERT_EQ(appl->SetName("App"), 0);
    failing = reinterpret_cast<OstakElemRule *>(appl.get());
    EXPECT_EQ(appl->Validate(&failing), 0) << "no rules";
    EXPECT_EQ(failing, nullptr);

    OstakListRule &rules = *appl->Rules();
    rules.InsertInOrder(NewRule("A"));
    OstakElemRule *b = NewRule("B");
    ASSERT_EQ(b->SetText(""), 0);
    rules.InsertInOrder(b);
    OstakElemRule *c = NewRule("C");
    c->SetLevel(9);
    rules.InsertInOrder(c);
    EXPECT_EQ(appl->Validate(&failing), OSTAK_E_EMPTY_TEXT);
    EXPECT_EQ(failing, b);
    EXPECT_EQ(appl->Validate(nullptr), OSTAK_E_EMPTY_TEXT);

    ASSERT_EQ(appl->SetName(""), 0);
    EXPECT_EQ(appl->Validate(&failing), OSTAK_E_INVALID_NAME) << "the name is tested before the rules";
    EXPECT_EQ(failing, nullptr);
}

TEST_F(ModelRecords, RuleEqualityComparesEveryValueButNotTheLinks) {
    auto setUp = [](OstakElemRule &rule) {
        EXPECT_EQ(rule.SetName("Rule"), 0);
        EXPECT_EQ(rule.SetText("Text"), 0);
        EXPECT_EQ(rule.SetPrefix("pre"), 0);
        EXPECT_EQ(rule.SetSuffix("suf"), 0);
    };
    using Change = void (*)(OstakElemRule &);
    const struct {
        const char *what;
        Change change;
    } differences[] = {
        {"name", [](OstakElemRule &r) { r.SetName("rule"); }},
        {"text case", [](OstakElemRule &r) { r.SetText("text"); }},
        {"text longer", [](OstakElemRule &r) { r.SetText("Texts"); }},
        {"prefix", [](OstakElemRule &r) { r.SetPrefix("pr"); }},
        {"suffix", [](OstakElemRule &r) { r.SetSuffix("Suf"); }},
        {"level", [](OstakElemRule &r) { r.SetLevel(0); }},
        {"match case 2", [](OstakElemRule &r) { r.SetMatchCase(2); }},
        {"use text", [](OstakElemRule &r) { r.SetUseText(0); }},
        {"fail if not found", [](OstakElemRule &r) { r.SetFailIfNotFound(1); }},
        {"type", [](OstakElemRule &r) { r.SetType(1); }},
    };
    for (const auto &difference : differences) {
        RulePtr a = MakeRule();
        RulePtr b = MakeRule();
        setUp(*a);
        setUp(*b);
        ASSERT_TRUE(a->Equals(*b));
        difference.change(*b);
        EXPECT_FALSE(a->Equals(*b)) << difference.what;
        EXPECT_FALSE(b->Equals(*a)) << difference.what;
    }

    // Rules in different lists, at different places, are equal all the same.
    OstakListRule one;
    OstakListRule two;
    OstakElemRule *x = NewRule("X");
    one.InsertInOrder(x);
    InsertRules(two, {"A", "B"});
    OstakElemRule *y = NewRule("X");
    two.InsertInOrder(y);
    EXPECT_TRUE(x->Equals(*y));
}

TEST_F(ModelRecords, CopyValuesTakesTheNineValuesAndKeepsThePlace) {
    RulePtr source = MakeSourceRule();
    source->SetType(1);
    source->SetMatchCase(2);
    source->SetUseText(0);
    source->SetFailIfNotFound(3);

    OstakListRule list;
    std::vector<OstakElemRule *> rules = InsertRules(list, {"A", "M", "Z"});
    OstakElemRule *target = rules[1];
    ASSERT_EQ(target->CopyValuesFrom(*source), 0);
    EXPECT_TRUE(target->Equals(*source));
    EXPECT_EQ(Names(list), (NameList{"A", "Src", "Z"})) << "the target stays where it stood";
    EXPECT_EQ(target->Prev(), rules[0]);
    EXPECT_EQ(target->Next(), rules[2]);
    EXPECT_NE(target->Text(), source->Text()) << "the strings are copies";

    ASSERT_EQ(target->CopyValuesFrom(*target), 0);
    EXPECT_TRUE(target->Equals(*source));
}

TEST_F(ModelRecords, CopyValuesFailingForMemoryChangesNothing) {
    RulePtr source = MakeSourceRule();
    RulePtr target = MakeRule();
    ASSERT_EQ(target->SetName("Tgt"), 0);
    RulePtr before(target->Clone());
    for (uint64_t n = 1;; ++n) {
        const int64_t live = LiveAllocations();
        Seams().failAllocationAt = n;
        const int32_t rc = target->CopyValuesFrom(*source);
        Seams().failAllocationAt = 0;
        if (rc == 0) {
            EXPECT_EQ(n, 5u) << "four strings to copy";
            break;
        }
        ASSERT_EQ(rc, OSTAK_E_NO_MEMORY);
        EXPECT_TRUE(target->Equals(*before)) << "allocation " << n;
        EXPECT_EQ(LiveAllocations(), live) << "allocation " << n;
    }
    EXPECT_TRUE(target->Equals(*source));
}

TEST_F(ModelRecords, RuleCloneIsAnIndependentUnlinkedCopy) {
    OstakListRule list;
    OstakElemRule *rule = InsertRules(list, {"A", "R"})[1];
    ASSERT_EQ(rule->SetPrefix("p"), 0);
    rule->SetFailIfNotFound(2);
    rule->SetType(7);
    RulePtr copy(rule->Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->Equals(*rule));
    EXPECT_EQ(copy->List(), nullptr);
    EXPECT_EQ(copy->Prev(), nullptr);
    EXPECT_EQ(copy->Next(), nullptr);
    ASSERT_EQ(copy->SetText("changed"), 0);
    EXPECT_STREQ(rule->Text(), "text");

    for (uint64_t n = 1; n <= 3; ++n) {
        Seams().failAllocationAt = n;
        EXPECT_EQ(rule->Clone(), nullptr) << "allocation " << n;
    }
}

TEST_F(ModelRecords, NewApplicationIsStampedInFullMode) {
    const int32_t before = static_cast<int32_t>(std::time(nullptr));
    ApplPtr appl = MakeAppl();
    const int32_t after = static_cast<int32_t>(std::time(nullptr));
    EXPECT_STREQ(appl->StampHost(), kHost);
    EXPECT_GE(appl->StampTime(), before);
    EXPECT_LE(appl->StampTime(), after);
    EXPECT_EQ(appl->DiffMark(), 0);
    EXPECT_EQ(appl->Enabled(), 0);
    EXPECT_STREQ(appl->Name(), "");
    ASSERT_NE(appl->Rules(), nullptr);
    EXPECT_TRUE(appl->Rules()->Empty());
    EXPECT_EQ(appl->List(), nullptr);
}

TEST_F(ModelRecords, NewApplicationIsNotStampedInReadOnlyMode) {
    Globals().readOnlyMode = true;
    ApplPtr appl = MakeAppl();
    EXPECT_STREQ(appl->StampHost(), "");
    EXPECT_EQ(appl->StampTime(), 0);
    ASSERT_NE(appl->Rules(), nullptr);
}

TEST_F(ModelRecords, NewApplicationWithoutMemoryIsNull) {
    // The record, its rule list and its stamp's host name: each can fail.
    for (uint64_t n = 1; n <= 3; ++n) {
        Seams().failAllocationAt = n;
        EXPECT_EQ(OstakElemAppl::Create(), nullptr) << "allocation " << n;
    }
    Seams().failAllocationAt = 4;
    ApplPtr appl(OstakElemAppl::Create());
    EXPECT_NE(appl, nullptr);
}

ApplPtr ApplicationWithRules() {
    ApplPtr appl(OstakElemAppl::Create());
    EXPECT_EQ(appl->SetName("App"), 0);
    EXPECT_EQ(appl->SetStamp("otherhost", 123456), 0);
    appl->SetDiffMark(1003);
    appl->SetEnabled(2);
    InsertRules(*appl->Rules(), {"R1", "R2", "R3"});
    return appl;
}

TEST_F(ModelRecords, ApplicationCloneCarriesStampMarkFlagAndRules) {
    ApplPtr appl = ApplicationWithRules();
    ApplPtr copy(appl->Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->Name(), "App");
    EXPECT_STREQ(copy->StampHost(), "otherhost") << "the copy keeps the stamp of what it copies";
    EXPECT_EQ(copy->StampTime(), 123456);
    EXPECT_EQ(copy->DiffMark(), 1003);
    EXPECT_EQ(copy->Enabled(), 2);
    EXPECT_EQ(copy->List(), nullptr);
    EXPECT_EQ(Names(*copy->Rules()), (NameList{"R1", "R2", "R3"}));
    const OstakElemRule *mine = appl->Rules()->FirstRule();
    for (const OstakElemRule *theirs = copy->Rules()->FirstRule(); theirs != nullptr;
         theirs = theirs->NextRule(), mine = mine->NextRule()) {
        EXPECT_NE(theirs, mine);
        EXPECT_TRUE(theirs->Equals(*mine));
    }
    ASSERT_EQ(copy->Rules()->FirstRule()->SetText("changed"), 0);
    EXPECT_STREQ(appl->Rules()->FirstRule()->Text(), "text");
}

TEST_F(ModelRecords, ApplicationCloneWithoutMemoryLeavesNothing) {
    ApplPtr appl = ApplicationWithRules();
    uint64_t n = 1;
    for (;; ++n) {
        const int64_t live = LiveAllocations();
        Seams().failAllocationAt = n;
        ApplPtr copy(appl->Clone());
        Seams().failAllocationAt = 0;
        if (copy != nullptr) {
            EXPECT_EQ(Names(*copy->Rules()), (NameList{"R1", "R2", "R3"}));
            break;
        }
        EXPECT_EQ(LiveAllocations(), live) << "allocation " << n;
    }
    // Record, rule list, host, name, stamp host, then per rule the record and its name and text.
    EXPECT_EQ(n, 5u + 3u * 3u + 1u);
}

} // namespace
