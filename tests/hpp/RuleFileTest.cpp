// The C++ layer's rule files, lists, applications and rules: ownership,
// ranges, typed getters and setters, finalising, copies and failures.
#include "tests/support/HppSupport.h"

#include <filesystem>
#include <type_traits>
#include <vector>

using namespace hpp_test;

namespace {

static_assert(!std::is_copy_constructible_v<ostak::RuleFile> && !std::is_copy_assignable_v<ostak::RuleFile>);
static_assert(std::is_nothrow_move_constructible_v<ostak::RuleFile> &&
              std::is_nothrow_move_assignable_v<ostak::RuleFile>);
static_assert(!std::is_copy_constructible_v<ostak::ApplicationListCopy>);
static_assert(!std::is_copy_constructible_v<ostak::Library> && !std::is_move_constructible_v<ostak::Library>);

using HppModel = HppLibraryTest;

TEST_F(HppModel, RangesWalkInNameOrderAndTypedFieldsRoundTripThroughAFile) {
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    ostak::Application appl = file.applications().add();
    appl.setName("Mail");
    appl.setEnabled(true);
    ostak::Rule rule = appl.addRule();
    rule.setName("Wrapped");
    rule.setUseText(false);
    rule.setPrefix("<< ");
    rule.setSuffix(" >>");
    rule.setMatchCase(false);
    rule.setFailIfNotFound(true);
    rule.setLevel(ostak::Level::Disabled);
    rule.setType(ostak::RuleType::Alert);
    rule.finalize();
    appl.finalize();
    Fill(file, {{"Backup", {{"Zeta"}, {"Alpha", " two words "}}, false}});
    EXPECT_EQ(Describe(file), "Backup(off):Alpha= two words ,Zeta=text,;Mail:Wrapped=,;");

    file.save();
    EXPECT_TRUE(file.saved());
    ostak::RuleFile again(ostak::FileKind::Plain, dir_.File("a.xml"));
    again.load();
    EXPECT_EQ(Describe(again), Describe(file));
    std::vector<std::string> seen;
    for (ostak::Application a : again.applications()) {
        for (ostak::Rule r : a.rules()) {
            seen.push_back(r.name());
            if (r.name() != "Wrapped") {
                continue;
            }
            EXPECT_FALSE(r.useText());
            EXPECT_EQ(r.prefix(), "<< ");
            EXPECT_EQ(r.suffix(), " >>");
            EXPECT_FALSE(r.matchCase());
            EXPECT_TRUE(r.failIfNotFound());
            EXPECT_EQ(r.level(), ostak::Level::Disabled);
            EXPECT_EQ(r.type(), ostak::RuleType::Alert);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Alpha", "Zeta", "Wrapped"}));
}

TEST_F(HppModel, AFailingSetterThrowsWithItsCodeAndFunctionAndChangesNothing) {
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    Fill(file, {{"Mail", {{"R1"}}}});
    ostak::Application appl = *file.applications().begin();
    ostak::Rule rule = *appl.rules().begin();
    heard_.clear();
    struct Case {
        std::function<void()> call;
        int32_t code;
        const char *function;
        int32_t message;
    };
    const std::vector<Case> cases = {
        {[&] { appl.setName("a b"); }, OSTAK_E_INVALID_NAME, "xfeOstakElemApplSetAttrChar", -32589},
        {[&] { rule.setName("r.1"); }, OSTAK_E_INVALID_NAME, "xfeOstakElemRuleSetAttrChar", -32589},
        {[&] { rule.setText("a\tb"); }, OSTAK_E_LINE_BREAK, "xfeOstakElemRuleSetAttrChar", -32578},
        {[&] { rule.setSuffix("a\nb"); }, OSTAK_E_LINE_BREAK, "xfeOstakElemRuleSetAttrChar", -32578},
    };
    for (const Case &c : cases) {
        heard_.clear();
        try {
            c.call();
            ADD_FAILURE() << c.function << ": nothing thrown";
        } catch (const ostak::Error &error) {
            EXPECT_EQ(error.code(), c.code);
            EXPECT_STREQ(error.function(), c.function);
        }
        ASSERT_EQ(heard_.size(), 1u) << c.function;
        EXPECT_EQ(heard_[0].number, c.message);
    }
    EXPECT_EQ(Describe(file), "Mail:R1=text,;");
}

TEST_F(HppModel, FinalizeThrowsAndNamesTheFirstFailingRule) {
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    ostak::Application appl = file.applications().add();
    appl.setName("Mail");
    ostak::Rule good = appl.addRule();
    good.setName("A");
    good.setText("x");
    ostak::Rule bad = appl.addRule();
    bad.setName("B"); // no Text although it uses its text
    good.finalize();
    try {
        bad.finalize();
        FAIL();
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_EMPTY_TEXT);
    }
    ostak::Rule failing;
    try {
        appl.finalize(&failing);
        FAIL();
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_EMPTY_TEXT);
        EXPECT_STREQ(error.function(), "xfeOstakFinalizeElemAppl");
    }
    EXPECT_EQ(failing, bad);
    bad.setText("y");
    appl.finalize(&failing);
    EXPECT_FALSE(failing);
}

TEST_F(HppModel, RemovingEmptiesTheHandleAndWalkingOnWorksWhenTheNextWasFetchedFirst) {
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    Fill(file, {{"A", {{"R1"}, {"R2"}, {"R3"}}}, {"B", {}}, {"C", {}}});
    ostak::ApplicationList list = file.applications();
    ostak::Application a = *list.begin();
    for (auto it = a.rules().begin(); it != a.rules().end();) {
        ostak::Rule rule = *it++;
        if (rule.name() != "R2") {
            a.removeRule(rule);
            EXPECT_FALSE(rule);
        }
    }
    for (auto it = list.begin(); it != list.end();) {
        ostak::Application appl = *it++;
        if (appl.name() == "B") {
            list.remove(appl);
            EXPECT_FALSE(appl);
        }
    }
    EXPECT_EQ(Describe(file), "A:R2=text,;C:;");
}

TEST_F(HppModel, RuleFilesMoveAndAreDestroyedExactlyOnce) {
    ostak::RuleFile a(ostak::FileKind::Plain, dir_.File("a.xml"));
    Fill(a, {{"A", {{"R1"}}}});
    OstakFileInMemHandle *handle = a.handle();
    ostak::RuleFile b(std::move(a));
    EXPECT_EQ(a.handle(), nullptr);
    EXPECT_EQ(b.handle(), handle);
    EXPECT_EQ(b.path(), dir_.File("a.xml"));
    ostak::RuleFile c(ostak::FileKind::Plain, dir_.File("c.xml"));
    Fill(c, {{"C", {{"R1"}}}});
    c = std::move(b); // c's own object is destroyed here; the fixture checks that nothing leaks
    EXPECT_EQ(c.handle(), handle);
    EXPECT_EQ(Describe(c), "A:R1=text,;");
    std::vector<ostak::RuleFile> files;
    files.push_back(std::move(c));
    files.emplace_back(ostak::FileKind::Plain, dir_.File("d.xml"));
    EXPECT_EQ(files[0].handle(), handle);
}

TEST_F(HppModel, ACopyOfAListIsIndependentAndOwned) {
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    Fill(file, {{"A", {{"R1"}}}});
    {
        ostak::ApplicationListCopy copy = file.applications().clone();
        ostak::Application appl = *copy.begin();
        appl.setName("Z");
        appl.finalize();
        appl.addRule().setName("New");
        EXPECT_EQ(appl.name(), "Z");
        ostak::ApplicationListCopy moved = std::move(copy);
        EXPECT_EQ(copy.list().handle(), nullptr);
    }
    EXPECT_EQ(Describe(file), "A:R1=text,;");
}

TEST_F(HppModel, NoMemoryIsErrorSeven) {
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    ostak::Seams().failAllocationAt = 1;
    try {
        file.applications().add();
        FAIL();
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_NO_MEMORY);
        EXPECT_STREQ(error.function(), "xfeOstakElemApplAddEmpty");
    }
    EXPECT_TRUE(file.applications().empty());
}

} // namespace
