// Rules: the text check, the defaults, validation, equality, copying values
// and cloning.
#include "tests/support/Fixtures.h"

#include <string>

using namespace ostak;
using namespace ostak_test;

namespace {

// A rule whose four strings are all set (and Level 0), the source of value copies.
RulePtr MakeSourceRule() {
    RulePtr rule = OwnedRule();
    EXPECT_EQ(rule->SetName("Src"), 0);
    EXPECT_EQ(rule->SetText("t"), 0);
    EXPECT_EQ(rule->SetPrefix("p"), 0);
    EXPECT_EQ(rule->SetSuffix("s"), 0);
    rule->SetLevel(0);
    return rule;
}

// Text, Prefix and Suffix, each by its setter and getter.
struct TextField {
    int32_t (OstakElemRule::*set)(const char *);
    const char *(OstakElemRule::*get)() const;
};
const TextField kTextFields[] = {{&OstakElemRule::SetText, &OstakElemRule::Text},
                                 {&OstakElemRule::SetPrefix, &OstakElemRule::Prefix},
                                 {&OstakElemRule::SetSuffix, &OstakElemRule::Suffix}};

// The suite shares its fixture with the tests of names and applications.
using ModelRecords = ModelTest;

TEST_F(ModelRecords, TextSettersRefuseOnlyLineBreaksAndTabs) {
    const auto &fields = kTextFields;
    struct Case {
        const char *input;
        int32_t rc;
    };
    const Case cases[] = {{"a\tb", 18}, {"a\nb", 18},       {"a\rb", 18},
                          {"\t", 18},   {" both ends ", 0}, {"\x01\x7f\xe9\xff", 0},
                          {"", 0},      {"a.b-c d", 0},     {nullptr, 4}};
    for (const auto &field : fields) {
        for (const Case &c : cases) {
            RulePtr rule = OwnedRule();
            ASSERT_EQ((rule.get()->*field.set)("before"), 0);
            EXPECT_EQ((rule.get()->*field.set)(c.input), c.rc);
            EXPECT_STREQ((rule.get()->*field.get)(), c.rc == 0 ? c.input : "before");
        }
    }
}

TEST_F(ModelRecords, SettersFailingForMemoryKeepTheField) {
    RulePtr rule = OwnedRule();
    ASSERT_EQ(rule->SetName("Kept"), 0);
    ASSERT_EQ(rule->SetText("kept"), 0);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(rule->SetName("OtherNameTooLongForTheRecord"), OSTAK_E_NO_MEMORY);
    Seams().failAllocationAt = 1;
    EXPECT_EQ(rule->SetText("other text too long for the record"), OSTAK_E_NO_MEMORY);
    EXPECT_EQ(Describe(*rule), "Kept='kept'");
    // A short text lives in the record: it needs no memory.
    Seams().failAllocationAt = 1;
    EXPECT_EQ(rule->SetText("other"), 0);
    Seams().failAllocationAt = 0;
    EXPECT_EQ(Describe(*rule), "Kept='other'");
}

// Short names live inside the record, longer ones in a string of their own:
// every way of setting a name keeps the same bytes and length whichever the
// former and the new one are, allocates only for a long name, and leaks nothing.
TEST_F(ModelRecords, NamesOfEveryLengthSurviveEveryWayOfSettingThem) {
    const std::string names[] = {"", "A", std::string(19, 'b'), std::string(20, 'c'), std::string(66, 'd'),
                                 std::string(18, 'e')};
    const int64_t liveBefore = LiveAllocations();
    for (const std::string &from : names) {
        for (const std::string &to : names) {
            RulePtr rule = OwnedRule();
            ASSERT_EQ(rule->SetName(from.c_str()), 0);
            const bool allocates = to.size() > 19;
            const int64_t live = LiveAllocations();
            Seams().failAllocationAt = 1;
            EXPECT_EQ(rule->SetName(to.c_str()), allocates ? OSTAK_E_NO_MEMORY : 0) << from << " -> " << to;
            Seams().failAllocationAt = 0;
            EXPECT_EQ(rule->Name(), allocates ? from : to) << "a failed set keeps the name";
            ASSERT_EQ(rule->SetName(to.c_str()), 0);
            EXPECT_EQ(LiveAllocations() - live, (to.size() > 19 ? 1 : 0) - (from.size() > 19 ? 1 : 0))
                << from << " -> " << to;
            EXPECT_EQ(std::string(rule->Name()), to);
            EXPECT_EQ(OsStrLength(rule->NameStr()), static_cast<int32_t>(to.size()));
            // The name set from itself, and from a part of itself.
            ASSERT_EQ(rule->SetName(rule->Name()), 0);
            EXPECT_EQ(std::string(rule->Name()), to);
            if (!to.empty()) {
                ASSERT_EQ(rule->SetName(rule->Name() + 1), 0);
                EXPECT_EQ(std::string(rule->Name()), to.substr(1));
                ASSERT_EQ(rule->SetName(to.c_str()), 0);
            }
            // Copies, in both directions, and a clone.
            RulePtr other = OwnedRule();
            ASSERT_EQ(other->SetName(from.c_str()), 0);
            ASSERT_EQ(other->CopyValuesFrom(*rule), 0);
            EXPECT_TRUE(other->Equals(*rule)) << from << " -> " << to;
            ASSERT_EQ(other->SetName(from.c_str()), 0);
            ASSERT_EQ(rule->CopyValuesFrom(*other), 0);
            EXPECT_EQ(std::string(rule->Name()), from);
            RulePtr clone(rule->Clone());
            ASSERT_NE(clone, nullptr);
            EXPECT_TRUE(clone->Equals(*rule));
            EXPECT_EQ(OsStrLength(clone->NameStr()), static_cast<int32_t>(from.size()));
        }
    }
    EXPECT_EQ(LiveAllocations(), liveBefore);
}

// One short Text, Prefix or Suffix lives in the record, the others in strings
// of their own: whichever field holds the buffer, every way of setting the
// fields keeps the same bytes and lengths, allocates only where the buffer is
// taken or too short, and leaks nothing.
TEST_F(ModelRecords, TextsOfEveryLengthSurviveEveryWayOfSettingThem) {
    const auto &fields = kTextFields;
    const std::string values[] = {"", "a", std::string(23, 'b'), std::string(24, 'c'), std::string(70, 'd')};
    auto fits = [](const std::string &value) { return !value.empty() && value.size() <= 23; };
    const int64_t liveBefore = LiveAllocations();
    for (int first = 0; first < 3; ++first) {
        for (const std::string &a : values) {
            for (const std::string &b : values) {
                for (int second = 0; second < 3; ++second) {
                    RulePtr rule = OwnedRule();
                    std::string want[3];
                    bool inRecord[3] = {false, false, false};
                    // Set `first` to a, then `second` to b, then `first` from
                    // the second's own characters, counting allocations.
                    const struct {
                        int field;
                        std::string value;
                        bool fromOwn;
                    } steps[] = {{first, a, false}, {second, b, false}, {first, b, true}};
                    for (const auto &step : steps) {
                        const bool bufferFree = !inRecord[0] && !inRecord[1] && !inRecord[2];
                        const bool intoRecord = fits(step.value) && (inRecord[step.field] || bufferFree);
                        const bool needsMemory = !step.value.empty() && !intoRecord;
                        const char *source = step.fromOwn ? (rule.get()->*fields[second].get)() : step.value.c_str();
                        const int64_t live = LiveAllocations();
                        // Where no memory is needed, none may be asked for.
                        Seams().failAllocationAt = needsMemory ? 0 : 1;
                        ASSERT_EQ((rule.get()->*fields[step.field].set)(source), 0) << a << " / " << b;
                        Seams().failAllocationAt = 0;
                        inRecord[step.field] = intoRecord;
                        want[step.field] = step.value;
                        EXPECT_LE(LiveAllocations() - live, needsMemory ? 1 : 0) << a << " / " << b;
                        for (int i = 0; i < 3; ++i) {
                            EXPECT_EQ((rule.get()->*fields[i].get)(), want[i]) << first << second << " " << a << " / " << b;
                        }
                    }
                    RulePtr clone(rule->Clone());
                    ASSERT_NE(clone, nullptr);
                    EXPECT_TRUE(clone->Equals(*rule));
                    RulePtr other = OwnedRule();
                    ASSERT_EQ(other->SetPrefix(std::string(5, 'x').c_str()), 0);
                    ASSERT_EQ(other->CopyValuesFrom(*rule), 0);
                    EXPECT_TRUE(other->Equals(*rule));
                    EXPECT_EQ(Describe(*other), Describe(*rule));
                }
            }
        }
    }
    EXPECT_EQ(LiveAllocations(), liveBefore);
}

TEST_F(ModelRecords, NewRuleHasTheDefaults) {
    RulePtr rule = OwnedRule();
    EXPECT_EQ(Describe(*rule), "''=''") << "each value a new rule's";
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
        RulePtr rule = OwnedRule();
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
        RulePtr a = OwnedRule();
        RulePtr b = OwnedRule();
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
    // Three short texts, the first of which lives in the record, and the
    // name too when it does not fit the record.
    const struct {
        const char *name;
        uint64_t allocations;
    } cases[] = {{"Src", 2}, {"SourceNameTooLongForTheRecord", 3}};
    for (const auto &c : cases) {
        RulePtr source = MakeSourceRule();
        ASSERT_EQ(source->SetName(c.name), 0);
        RulePtr target = OwnedRule();
        ASSERT_EQ(target->SetName("Tgt"), 0);
        RulePtr before(target->Clone());
        for (uint64_t n = 1;; ++n) {
            const int64_t live = LiveAllocations();
            Seams().failAllocationAt = n;
            const int32_t rc = target->CopyValuesFrom(*source);
            Seams().failAllocationAt = 0;
            if (rc == 0) {
                EXPECT_EQ(n, c.allocations + 1) << c.name;
                break;
            }
            ASSERT_EQ(rc, OSTAK_E_NO_MEMORY);
            EXPECT_TRUE(target->Equals(*before)) << "allocation " << n;
            EXPECT_EQ(LiveAllocations(), live) << "allocation " << n;
        }
        EXPECT_TRUE(target->Equals(*source));
    }
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

    // The record, and the prefix: the text holds the record's buffer.
    for (uint64_t n = 1; n <= 2; ++n) {
        Seams().failAllocationAt = n;
        EXPECT_EQ(rule->Clone(), nullptr) << "allocation " << n;
    }
    Seams().failAllocationAt = 0;
}

} // namespace
