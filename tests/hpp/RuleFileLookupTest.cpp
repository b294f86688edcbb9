// The C++ layer's lookups by name, an application's stamp and its renewal,
// and the version of the header.
#include "tests/support/HppSupport.h"

#include <ctime>
#include <optional>

using namespace hpp_test;

namespace {

using HppLookup = HppLibraryTest;

TEST_F(HppLookup, FindsApplicationsAndRulesByExactNameOrNothing) {
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    Fill(file,
         {{"Mail", {{"Send", "send"}, {"Retry", "again"}}}, {"Backup", {{"Copy", "cp"}}}, {"mail", {}}});
    const struct {
        std::string application, rule;
        std::string found; // "" when nothing is to be found
    } cases[] = {
        {"Mail", "Retry", "Mail/Retry=again"},
        {"Backup", "Copy", "Backup/Copy=cp"},
        {"mail", "Send", "mail"},  // names count case: the other application, without the rule
        {"Mail", "retry", "Mail"}, // likewise for rules
        {"Mai", "Send", ""},       // no prefix match
        {"", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.application + "/" + c.rule);
        std::string found;
        if (std::optional<ostak::Application> appl = file.findApplication(c.application)) {
            found = appl->name();
            EXPECT_EQ(file.applications().find(c.application), appl);
            if (std::optional<ostak::Rule> rule = appl->findRule(c.rule)) {
                found += "/" + rule->name() + "=" + rule->text();
            }
        }
        EXPECT_EQ(found, c.found);
    }
}

TEST_F(HppLookup, AStampIsReadAndRenewedThroughTheLibrary) {
    ostak::RuleFile file(ostak::FileKind::Plain, dir_.File("a.xml"));
    const auto before = static_cast<int64_t>(std::time(nullptr));
    Fill(file, {{"Mail", {{"Send"}}}});
    ostak::Application appl = *file.findApplication("Mail");
    const ostak::Application::Stamp made = appl.stamp();
    EXPECT_GE(made.time, before);
    EXPECT_LE(made.time, static_cast<int64_t>(std::time(nullptr)));
    appl.renewStamp();
    EXPECT_GE(appl.stamp().time, made.time);
    EXPECT_EQ(appl.stamp().host, made.host);
    // An application of another list is refused.
    ostak::RuleFile other(ostak::FileKind::Plain, dir_.File("b.xml"));
    ostak::Application stranger(other.applications().handle(), appl.handle());
    try {
        stranger.renewStamp();
        ADD_FAILURE() << "renewed an application of another list";
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_NOT_IN_LIST);
    }
}

TEST(HppVersion, TheHeaderCarriesTheReleaseVersion) {
    EXPECT_STREQ(ostak::Version(), OSTAK_PROJECT_VERSION);
    EXPECT_EQ(std::to_string(OSTAK_VERSION_MAJOR) + "." + std::to_string(OSTAK_VERSION_MINOR) + "." +
                  std::to_string(OSTAK_VERSION_PATCH),
              OSTAK_VERSION);
}

} // namespace
