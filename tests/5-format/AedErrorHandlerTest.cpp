// The parser's reports: each kind at its level, the load result it sets, and
// the words of a report kept when they name a character beyond U+00FF.
#include "tests/support/Fixtures.h"

#include "5-format/AedErrorHandler.h"

#include <xercesc/sax/SAXParseException.hpp>

using namespace ostak;
using namespace ostak_test;

namespace {

// The suite shares its fixture with the tests of the document handler.
using LoadSaveLoad = LoadSaveTest;

TEST_F(LoadSaveLoad, AParserWarningLeavesTheResultAlone) {
    int32_t rc = -1;
    OstakFileInMem &file = LoadText(DocWithDtd("<!ELEMENT AED EMPTY><!ATTLIST AED TqVersion CDATA #IMPLIED>"
                                               "<!ATTLIST Undeclared a CDATA #IMPLIED>",
                                               "<AED TqVersion=\"7.6\"/>"),
                                    false, &rc);
    EXPECT_EQ(rc, OSTAK_OK);
    EXPECT_STREQ(file.VersionText(), "7.6");
    ExpectMessage(kMsgParserReport, "AedErrorHandler::report", kLevelWarning, "5-format/AedErrorHandler.cpp",
                  "kMsgParserReport");
}

TEST_F(LoadSaveLoad, TheErrorHandlerReportsEachKindAtItsLevel) {
    OstakFileInMem &file = Make(0, "/some/rules.xml");
    file.SetLoadResult(OSTAK_OK);
    AedErrorHandler handler(&file, TestContext().icuPath);
    const xercesc::SAXParseException exception(u"bad thing", u"", u"", 12, 34);
    handler.warning(exception);
    EXPECT_EQ(file.LoadResult(), OSTAK_OK);
    handler.error(exception);
    EXPECT_EQ(file.LoadResult(), OSTAK_E_INVALID_DOCUMENT);
    file.SetLoadResult(OSTAK_OK);
    handler.fatalError(exception);
    EXPECT_EQ(file.LoadResult(), OSTAK_E_INVALID_DOCUMENT);
    ASSERT_EQ(Log().size(), 3u);
    const int32_t levels[] = {kLevelWarning, kLevelError, kLevelFatal};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Log()[i].number, kMsgParserReport);
        EXPECT_EQ(Log()[i].text, "XML parser: bad thing (line 12, column 34 of file \"/some/rules.xml\")");
        EXPECT_EQ(Log()[i].func, "AedErrorHandler::report");
        EXPECT_EQ(Log()[i].level, levels[i]);
    }
}

TEST_F(LoadSaveLoad, AParserMessageKeepsItsWordsWhenItNamesACharacterBeyondFF) {
    int32_t rc = -1;
    LoadText(Utf8Doc("<AED><Bog\xE2\x82\xACus/></AED>"), false, &rc);
    EXPECT_EQ(rc, OSTAK_E_INVALID_DOCUMENT);
    const std::vector<LogRecord> messages = MessagesBeyondTrace();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].number, kMsgParserReport);
    EXPECT_NE(messages[0].text.find("'Bog?us'"), std::string::npos) << messages[0].text;

    OstakFileInMem &file = Make(0, "/some/rules.xml");
    AedErrorHandler handler(&file, TestContext().icuPath);
    Log().clear();
    handler.warning(xercesc::SAXParseException(u"bad \u20AC and \U0001F600 \u00E9", u"", u"", 1, 2));
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].text, "XML parser: bad ? and ? \xE9 (line 1, column 2 of file \"/some/rules.xml\")");
}

} // namespace
