// The name every record carries: the name set and the setter's refusals.
#include "tests/support/Fixtures.h"

#include <cstring>

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the tests of rules and applications.
using ModelRecords = ModelTest;

TEST_F(ModelRecords, NameAcceptsExactlyTheSixtySixCharacters) {
    RulePtr rule = OwnedRule();
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
        ApplPtr appl = OwnedAppl();
        ASSERT_EQ(appl->SetName("Before"), 0);
        EXPECT_EQ(appl->SetName(c.input), c.rc) << (c.input ? c.input : "(null)");
        EXPECT_STREQ(appl->Name(), c.rc == 0 ? c.input : "Before");
    }
}

} // namespace
