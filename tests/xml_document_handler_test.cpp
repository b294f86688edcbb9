// The document handler driven directly, as a parser that gives no document
// locator would drive it: the messages without line and column.
#include "tests/loadsave_support.h"

#include "xml/AedDocumentHandler.h"

#include <utility>
#include <xercesc/sax/AttributeList.hpp>

using namespace ostak;
using namespace ostak_test;
using namespace loadsave_test;

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
                      "xml/AedDocumentHandler.cpp", "kMsgRuleDuplicateNoPos");
    ASSERT_NE(duplicate, nullptr);
    EXPECT_EQ(duplicate->text, "Rule \"r\" of application \"A\" is already in the list");
    const LogRecord *invalid =
        ExpectMessage(kMsgAttrInvalidNoPos, "AedDocumentHandler::reportInvalidAttribute", kLevelError,
                      "xml/AedDocumentHandler.cpp", "kMsgAttrInvalidNoPos");
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

} // namespace
