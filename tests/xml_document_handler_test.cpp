// The document handler driven directly, as a parser that gives no document
// locator would drive it: the messages without line and column.
#include "tests/support/Fixtures.h"

#include "5-format/AedDocumentHandler.h"

#include <utility>
#include <xercesc/sax/AttributeList.hpp>

using namespace ostak;
using namespace ostak_test;

namespace {

class Attributes : public xercesc::AttributeList {
  public:
    using List = std::vector<std::pair<std::u16string, std::u16string>>;
    explicit Attributes(List list) : list_(std::move(list)) {}
    XMLSize_t getLength() const override { return list_.size(); }
    const XMLCh *getName(const XMLSize_t index) const override { return list_[index].first.c_str(); }
    const XMLCh *getType(const XMLSize_t) const override { return u"CDATA"; }
    const XMLCh *getValue(const XMLSize_t index) const override { return list_[index].second.c_str(); }
    const XMLCh *getType(const XMLCh *const) const override { return u"CDATA"; }
    const XMLCh *getValue(const XMLCh *const) const override { return nullptr; }
    const XMLCh *getValue(const char *const) const override { return nullptr; }

  private:
    std::vector<std::pair<std::u16string, std::u16string>> list_;
};

class XmlDocumentHandler : public LoadSaveTest {};

TEST_F(XmlDocumentHandler, WithoutALocatorMessagesCarryNoPosition) {
    OstakFileInMem &file = Make(0, "/x/rules.xml");
    file.SetLoadResult(OSTAK_OK);
    AedDocumentHandler handler(&file, false);
    Attributes none(Attributes::List{});
    handler.startElement(u"AED", none);
    Attributes appl(Attributes::List{{u"Name", u"A"}});
    handler.startElement(u"Application", appl);
    Attributes rule(Attributes::List{{u"Name", u"r"}});
    handler.startElement(u"Rule", rule);
    handler.endElement(u"Rule");
    handler.startElement(u"Rule", rule);
    handler.endElement(u"Rule");
    Attributes bad(Attributes::List{{u"Name", u"q"}, {u"Type", u"bogus"}});
    handler.startElement(u"Rule", bad);
    handler.endElement(u"Rule");
    handler.endElement(u"Application");
    handler.endElement(u"AED");
    handler.endDocument();

    EXPECT_EQ(file.LoadResult(), OSTAK_E_INVALID_DOCUMENT);
    const LogRecord *duplicate =
        ExpectMessage(kMsgRuleDuplicateNoPos, "AedDocumentHandler::startElement", kLevelError,
                      "5-format/AedDocumentHandler.cpp", "kMsgRuleDuplicateNoPos");
    ASSERT_NE(duplicate, nullptr);
    EXPECT_EQ(duplicate->text, "Rule \"r\" of application \"A\" is already in the list");
    const LogRecord *invalid =
        ExpectMessage(kMsgAttrInvalidNoPos, "AedDocumentHandler::reportInvalidAttribute", kLevelError,
                      "5-format/AedDocumentHandler.cpp", "kMsgAttrInvalidNoPos");
    ASSERT_NE(invalid, nullptr);
    EXPECT_EQ(invalid->text,
              "Invalid value \"bogus\" of attribute \"Type\" of element \"Rule\" in file \"/x/rules.xml\"");
    EXPECT_EQ(Log().size(), 2u);
    ASSERT_NE(file.Applications().FindAppl("A"), nullptr);
    EXPECT_EQ(Snap(*file.Applications().FindAppl("A")).rules.size(), 3u) << "q, r and r: all kept";
}

TEST_F(XmlDocumentHandler, TextCutShortByTheEndOfTheParseIsKept) {
    OstakFileInMem &file = Make(0, "/x/rules.xml");
    file.SetLoadResult(OSTAK_OK);
    AedDocumentHandler handler(&file, false);
    Attributes none(Attributes::List{});
    handler.startElement(u"AED", none);
    handler.startElement(u"Application", none);
    handler.startElement(u"Rule", none);
    handler.startElement(u"Suffix", none);
    handler.characters(u"ab", 2);
    handler.characters(u"cd", 2);
    handler.FlushText();
    const OstakElemRule *rule = file.Applications().FirstAppl()->Rules()->FirstRule();
    EXPECT_STREQ(rule->Suffix(), "abcd");
    EXPECT_EQ(file.LoadResult(), OSTAK_OK);
}

TEST_F(XmlDocumentHandler, RefusedCharactersWithoutALocatorAreNamedOnceAndLeftOut) {
    OstakFileInMem &file = Make(0, "/x/rules.xml");
    file.SetLoadResult(OSTAK_OK);
    AedDocumentHandler handler(&file, false);
    Attributes none(Attributes::List{});
    handler.startElement(u"AED", none);
    Attributes appl(Attributes::List{{u"Name", u"A"}});
    handler.startElement(u"Application", appl);
    Attributes named(Attributes::List{{u"Name", u"r"}});
    handler.startElement(u"Rule", named);
    handler.characters(u"a\xD800", 2);
    handler.characters(u"b", 1);
    handler.endElement(u"Rule");
    // A refused attribute name leaves the rule out as a refused value does.
    Attributes badName(Attributes::List{{u"Name", u"s"}, {u"Typ\u20AC", u"std"}});
    handler.startElement(u"Rule", badName);
    handler.characters(u"lost", 4);
    handler.endElement(u"Rule");
    // A refused element name is passed over like any name the format does not know.
    handler.startElement(u"X\u20AC", none);
    handler.endElement(u"X\u20AC");
    handler.endElement(u"Application");
    handler.endElement(u"AED");
    handler.endDocument();

    EXPECT_EQ(file.LoadResult(), OSTAK_E_INVALID_DOCUMENT);
    ASSERT_EQ(Log().size(), 1u) << "only the first refused character is reported";
    EXPECT_EQ(Log()[0].text,
              "Character U+D800 in file \"/x/rules.xml\" is not a character that a rule file can carry");
    EXPECT_EQ(Log()[0].func, "AedDocumentHandler::characters");
    FileSnap expected;
    expected.appls.push_back(ApplSnap{"A", 0, Globals().hostName.text, 0, {RuleSnap{"r", "b", "", ""}}});
    FileSnap loaded = Snap(file);
    ASSERT_EQ(loaded.appls.size(), 1u);
    loaded.appls[0].time = 0; // the construction stamp
    EXPECT_EQ(loaded, expected);
}

TEST_F(XmlDocumentHandler, ARootOtherThanAedLeavesTheWholeDocumentOut) {
    OstakFileInMem &file = Make(0, "/x/rules.xml");
    file.SetLoadResult(OSTAK_OK);
    AedDocumentHandler handler(&file, false);
    Attributes appl(Attributes::List{{u"Name", u"A"}});
    handler.startElement(u"Application", appl);
    handler.startElement(u"Rule", appl);
    handler.characters(u"\u20AC", 1);
    handler.startElement(u"AED", appl);
    handler.endElement(u"AED");
    handler.endElement(u"Application");
    handler.endDocument();

    EXPECT_EQ(file.LoadResult(), OSTAK_E_INVALID_DOCUMENT);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].text, "The root element of file \"/x/rules.xml\" is \"Application\", not \"AED\"");
    EXPECT_EQ(Log()[0].func, "AedDocumentHandler::startElement");
    EXPECT_TRUE(file.Applications().Empty());

    // A root whose name is refused: that one message, and nothing is taken.
    OstakFileInMem &other = Make(0, "/x/other.xml");
    other.SetLoadResult(OSTAK_OK);
    AedDocumentHandler second(&other, false);
    Log().clear();
    second.startElement(u"AED\u20AC", appl);
    second.startElement(u"Application", appl);
    second.endElement(u"Application");
    EXPECT_EQ(other.LoadResult(), OSTAK_E_INVALID_DOCUMENT);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].text.rfind("Character U+20AC in file \"/x/other.xml\" has no place", 0), 0u)
        << Log()[0].text;
    EXPECT_TRUE(other.Applications().Empty());
}

} // namespace
