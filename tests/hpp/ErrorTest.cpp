// ostak::Error carries the library's message of the failing call: its text,
// number, and the file, line and column it names.
#include "tests/support/HppSupport.h"

#include <fstream>
#include <regex>

using namespace hpp_test;

namespace {

class HppError : public HppTest {};

TEST(HppMessagePlace, ThePositionComesOutOfTheText) {
    struct Case {
        const char *text;
        const char *rest;
        const char *file;
        int32_t line;
        int32_t column;
    };
    const Case cases[] = {
        {"Invalid value \"A b\" of attribute \"Name\" at line 4, column 17 of file \"my rules.xml\"",
         "Invalid value \"A b\" of attribute \"Name\"", "my rules.xml", 4, 17},
        {"XML parser: expected \")\" (line 12, column 3 of file \"/a/b.xml\")", "XML parser: expected \")\"",
         "/a/b.xml", 12, 3},
        {"Invalid value \"x\" of attribute \"Type\" of element \"Rule\" in file \"c.xml\"",
         "Invalid value \"x\" of attribute \"Type\" of element \"Rule\"", "c.xml", 0, 0},
        {"The file does not exist", "The file does not exist", "", 0, 0},
        // Something like a position that is not one stays in the text.
        {"Stop at line four, column 2 of file \"d.xml\"", "Stop at line four, column 2 of file \"d.xml\"", "",
         0, 0},
        {"A (line 3, column 9 of file \"e.xml\") in the middle",
         "A (line 3, column 9 of file \"e.xml\") in the middle", "", 0, 0},
    };
    for (const Case &c : cases) {
        const ostak::MessagePlace place = ostak::SplitMessagePlace(c.text);
        EXPECT_EQ(place.text, c.rest) << c.text;
        EXPECT_EQ(place.file, c.file) << c.text;
        EXPECT_EQ(place.line, c.line) << c.text;
        EXPECT_EQ(place.column, c.column) << c.text;
    }
}

TEST_F(HppError, EachErrorCarriesTheMessageOfItsOwnCall) {
    ostak::Library library(FullOptions());
    const std::string path = dir_.File("alert.xml");
    std::ofstream(path)
        << ostak_test::ReadFile(ostak_test::SourceRoot() + "/dat/OstakDtd.xml")
        << "<AED TqVersion=\"7.6\">\r\n\t<Application Name=\"A\" Enabled=\"true\">\r\n"
           "\t\t<Rule Name=\"R\" Type=\"Alert\">\r\n\t\t</Rule>\r\n\t</Application>\r\n</AED>\r\n";
    ostak::RuleFile file(ostak::FileKind::Plain, path);
    heard_.clear();
    try {
        file.load();
        FAIL() << "no Error thrown";
    } catch (const ostak::Error &error) {
        std::vector<std::string> errors;
        for (const Heard &message : heard_) {
            if (message.level >= OSTAK_LEVEL_ERROR) {
                errors.push_back(message.text);
            }
        }
        ASSERT_EQ(errors.size(), 1u);
        std::smatch where;
        ASSERT_TRUE(std::regex_search(errors[0], where, std::regex("at line ([0-9]+), column ([0-9]+)")));
        EXPECT_EQ(error.code(), OSTAK_E_INVALID_DOCUMENT);
        EXPECT_STREQ(error.function(), "xfeOstakLoad");
        EXPECT_EQ(error.messageNumber(), -32598);
        EXPECT_EQ(error.messageText(), "Invalid value \"Alert\" of attribute \"Type\" of element \"Rule\"");
        EXPECT_EQ(error.file(), path);
        EXPECT_EQ(error.line(), std::stoi(where[1]));
        EXPECT_EQ(error.column(), std::stoi(where[2]));
        EXPECT_EQ(std::string(error.what()), path + ":" + where[1].str() + ":" + where[2].str() +
                                                 ": Invalid value \"Alert\" of attribute \"Type\" of element "
                                                 "\"Rule\" [-32598]");
    }
    // A later failure carries its own message (no position), not the earlier one.
    ostak::RuleFile missing(ostak::FileKind::Installation, dir_.File("missing.xml"));
    try {
        missing.load();
        FAIL() << "no Error thrown";
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_FILE_MISSING);
        EXPECT_EQ(error.messageNumber(), -32571);
        EXPECT_EQ(error.file(), "");
        EXPECT_EQ(error.line(), 0);
        EXPECT_STREQ(error.what(), "The file does not exist [-32571]");
    }
    // A message of a call that succeeded is not carried by the next failure.
    ostak::Application appl = file.applications().add();
    appl.setName("Fine");
    try {
        appl.setName("not a name");
        FAIL() << "no Error thrown";
    } catch (const ostak::Error &error) {
        EXPECT_EQ(error.code(), OSTAK_E_INVALID_NAME);
        EXPECT_EQ(error.messageNumber(), -32589);
    }
}

} // namespace
