// The C++ layer's three-way decisions: a merge callback made by ThreeWayMerge
// over a base loaded after the Library, which hands only conflicts on, and the
// application and flag decisions as optional answers.
#include "tests/support/HppSupport.h"

using namespace hpp_test;

namespace {

class HppThreeWay : public HppTest {};

TEST_F(HppThreeWay, MergeCallbackHandsOnlyConflictsOn) {
    std::vector<std::string> conflicts;
    std::optional<ostak::RuleFile> base; // made after the Library, read by the callback
    ostak::Options options = FullOptions();
    options.merge = ostak::ThreeWayMerge(base, [&](const ostak::MergeQuestion &c) {
        conflicts.push_back(c.rule.name());
        return ostak::MergeAnswer::TakeBoth;
    });
    ostak::Library library(std::move(options));
    base.emplace(ostak::FileKind::Plain, dir_.File("base.xml"));
    ostak::RuleFile source(ostak::FileKind::Source, dir_.File("source.xml"));
    ostak::RuleFile target(ostak::FileKind::Plain, dir_.File("target.xml"));
    Fill(*base, {{"Mail", {{"Both", "old"}, {"Check", "old"}, {"Gone", "old"}}}, {"Old", {}}});
    Fill(source, {{"Mail", {{"Both", "one"}, {"Check", "new"}, {"Gone", "old"}}}, {"New", {}}, {"Old", {}}});
    Fill(target, {{"Mail", {{"Both", "two"}, {"Check", "old"}}}});
    for (ostak::Application appl : source.applications()) {
        appl.setDiffMark(appl.name() == "Mail" ? ostak::DiffMark::Apply : ostak::DiffMark::Skip);
    }
    ostak::ApplyDifferences(source, target);
    EXPECT_EQ(conflicts, (std::vector<std::string>{"Both"}));
    EXPECT_EQ(Describe(target), "Mail:Both=two,Both_1=one,Check=new,;");

    const ostak::ThreeWay threeWay(*base);
    auto find = [](const ostak::RuleFile &file, const std::string &name) {
        for (ostak::Application appl : file.applications()) {
            if (appl.name() == name) {
                return appl;
            }
        }
        return ostak::Application();
    };
    EXPECT_EQ(threeWay.decideSourceOnly(find(source, "New")), ostak::MergeAnswer::TakeSource);
    EXPECT_EQ(threeWay.decideSourceOnly(find(source, "Old")), ostak::MergeAnswer::TakeTarget);
    EXPECT_EQ(threeWay.decideTargetOnly(find(target, "Mail")), std::nullopt);
    EXPECT_EQ(threeWay.decideEnabled(find(source, "Mail"), find(target, "Mail")),
              ostak::MergeAnswer::TakeTarget);
    EXPECT_EQ(base->installationVersion(), 0);
}

} // namespace
