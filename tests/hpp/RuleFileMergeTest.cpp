// The C++ layer's marking, applying with a std::function merge callback, and
// the configuration callback of loading a script's rule file.
#include "tests/support/HppSupport.h"

#include <filesystem>

using namespace hpp_test;

namespace {

class HppMerge : public HppTest {};

TEST_F(HppMerge, MarksThenAppliesAskingTheStdFunctionWithTypedQuestions) {
    std::vector<ostak::MergeQuestion> asked;
    std::vector<std::string> seen;
    ostak::Options options = FullOptions();
    options.merge = [&](const ostak::MergeQuestion &q) {
        asked.push_back(q);
        std::string line = q.application.name() + "/" + q.rule.name() + "=" + q.rule.text();
        if (q.event == ostak::MergeEvent::RuleConflict) {
            line += " vs " + q.targetApplication.name() + "/" + q.targetRule.name() + "=" +
                    q.targetRule.text() + " as " + q.proposedName;
        }
        seen.push_back(line);
        return q.event == ostak::MergeEvent::RuleConflict ? ostak::MergeAnswer::TakeBoth
                                                          : ostak::MergeAnswer::TakeSource;
    };
    ostak::Library library(std::move(options));
    ostak::RuleFile source(ostak::FileKind::Source, dir_.File("source.xml"));
    ostak::RuleFile target(ostak::FileKind::Plain, dir_.File("target.xml"));
    Fill(source, {{"Mail", {{"Check", "new"}, {"Extra"}}}, {"New", {{"R1"}}}, {"Same", {{"R1"}}}});
    Fill(target, {{"Mail", {{"Check", "old"}, {"Mine"}}}, {"Same", {{"R1"}}}});

    source.markDifferences(target);
    std::vector<ostak::DiffMark> marks;
    for (ostak::Application appl : source.applications()) {
        marks.push_back(appl.diffMark());
        appl.setDiffMark(appl.name() == "Same" ? ostak::DiffMark::Skip : ostak::DiffMark::Apply);
    }
    EXPECT_EQ(marks, (std::vector<ostak::DiffMark>{ostak::DiffMark::Changed, ostak::DiffMark::Absent,
                                                   ostak::DiffMark::SameRules}));

    ostak::ApplyDifferences(source, target);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].event, ostak::MergeEvent::RuleConflict);
    EXPECT_EQ(asked[0].sourceKind, ostak::FileKind::Source);
    EXPECT_EQ(asked[0].targetKind, ostak::FileKind::Plain);
    EXPECT_EQ(asked[1].event, ostak::MergeEvent::RuleOnlyInSource);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"Mail/Check=new vs Mail/Check=old as Check_1", "Mail/Extra=text"}));
    // A source into a plain file keeps the target's own rules without asking.
    EXPECT_EQ(Describe(target),
              "Mail:Check=old,Check_1=new,Extra=text,Mine=text,;New:R1=text,;Same:R1=text,;");
}

TEST_F(HppMerge, ReplaceAsksNothing) {
    ostak::Library library(FullOptions());
    ostak::RuleFile source(ostak::FileKind::Source, dir_.File("source.xml"));
    ostak::RuleFile target(ostak::FileKind::Plain, dir_.File("target.xml"));
    Fill(source, {{"Mail", {{"Check", "new"}}}});
    Fill(target, {{"Mail", {{"Check", "old"}, {"Mine"}}}});
    (*source.applications().begin()).setDiffMark(ostak::DiffMark::Apply);
    ostak::ApplyDifferences(source, target, true);
    EXPECT_TRUE(questions_.empty());
    EXPECT_EQ(Describe(target), "Mail:Check=new,;");
}

TEST_F(HppMerge, AnExceptionFromTheMergeCallbackCancelsRollsBackAndIsRethrown) {
    ostak::Options options = FullOptions();
    int calls = 0;
    options.merge = [&](const ostak::MergeQuestion &) -> ostak::MergeAnswer {
        if (++calls == 2) {
            throw std::out_of_range("no answer");
        }
        return ostak::MergeAnswer::TakeSource;
    };
    ostak::Library library(std::move(options));
    ostak::RuleFile source(ostak::FileKind::Source, dir_.File("source.xml"));
    ostak::RuleFile target(ostak::FileKind::Plain, dir_.File("target.xml"));
    Fill(source, {{"A", {{"R1", "s"}}}, {"B", {{"R1", "s"}}}});
    Fill(target, {{"A", {{"R1", "t"}}}, {"B", {{"R1", "t"}}}});
    for (ostak::Application appl : source.applications()) {
        appl.setDiffMark(ostak::DiffMark::Apply);
    }
    heard_.clear();
    EXPECT_THROW(ostak::ApplyDifferences(source, target), std::out_of_range);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Describe(target), "A:R1=t,;B:R1=t,;");
    EXPECT_EQ(Describe(source), "A:R1=s,;B:R1=s,;");
    // The library was told "cancel" and said so once.
    ASSERT_EQ(heard_.size(), 1u);
    EXPECT_EQ(heard_[0].number, -32583);
}

// A root of its own: the shipped data files and an installation file.
class HppScriptLoad : public HppTest {
  protected:
    void SetUp() override {
        HppTest::SetUp();
        std::filesystem::create_directory(root_.File("dat"));
        for (const char *name : {"Ostak_res", "OstakDtd.xml"}) {
            std::filesystem::copy_file(ostak_test::SourceRoot() + "/dat/" + name, root_.File("dat/") + name);
        }
        root_.Write("dat/OstakInstallation.xml", Doc(6, false, "new"));
        dir_.Write("script.xml", Doc(5, true, "old"));
    }
    static std::string Doc(int version, bool saved, const std::string &text) {
        return ostak_test::ReadFile(ostak_test::SourceRoot() + "/dat/OstakDtd.xml") +
               "<AED TqVersion=\"7.6\" " + "FileVersionInstallation=\"" + std::to_string(version) + "\"" +
               (saved ? " Saved=\"true\"" : "") +
               ">\r\n\t<Application Name=\"Mail\" Enabled=\"true\" StampTime=\"5\" StampHost=\"h\">\r\n" +
               "\t\t<Rule Name=\"R1\" FailIfNotFound=\"false\" MatchCase=\"true\" UseText=\"true\" " +
               "Level=\"error\">\r\n\t\t\t<Text>" + text +
               "</Text>\r\n\t\t</Rule>\r\n\t</Application>\r\n</AED>\r\n";
    }
    ostak::Options Options(bool confirm) {
        ostak::Options options = FullOptions();
        options.root = root_.path();
        options.confirm = [this, confirm](int32_t question) {
            confirmAsked_.push_back(question);
            return confirm;
        };
        return options;
    }
    ostak_test::TempDir root_;
    std::vector<int32_t> confirmAsked_;
};

TEST_F(HppScriptLoad, ConfirmFalseLeavesTheScriptsFileAlone) {
    ostak::Library library(Options(false));
    const std::string before = ostak_test::ReadFile(dir_.File("script.xml"));
    ostak::RuleFile script(ostak::FileKind::Script, dir_.File("script.xml"));
    script.load();
    EXPECT_EQ(confirmAsked_, std::vector<int32_t>{0});
    EXPECT_EQ(Describe(script), "Mail:R1=old,;");
    EXPECT_EQ(ostak_test::ReadFile(dir_.File("script.xml")), before);
}

TEST_F(HppScriptLoad, ConfirmTrueMergesWithTheMergeCallbackAndSaves) {
    ostak::Library library(Options(true));
    ostak::RuleFile script(ostak::FileKind::Script, dir_.File("script.xml"));
    script.load();
    EXPECT_EQ(confirmAsked_, std::vector<int32_t>{0});
    EXPECT_EQ(questions_, std::vector<ostak::MergeEvent>{ostak::MergeEvent::RuleConflict});
    EXPECT_EQ(Describe(script), "Mail:R1=new,;");
    EXPECT_TRUE(script.saved());
    const std::string written = ostak_test::ReadFile(dir_.File("script.xml"));
    EXPECT_NE(written.find("FileVersionInstallation=\"6\" Saved=\"true\""), std::string::npos);
}

} // namespace
