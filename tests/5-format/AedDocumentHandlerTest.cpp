// The document handler: its rules for every element, attribute and piece of
// text, what it reports and the load result it leaves; through whole loads
// and driven directly, as a parser that gives no document locator drives it.
#include "tests/support/Fixtures.h"

#include "4-transcode/TqwiUcConverter.h"
#include "5-format/AedDocumentHandler.h"

#include <cstring>
#include <ctime>
#include <utility>
#include <xercesc/sax/AttributeList.hpp>

using namespace ostak;
using namespace ostak_test;

namespace {

constexpr const char *kHandlerSource = "5-format/AedDocumentHandler.cpp";

// The suite shares its fixture with the tests of loading, the parser and its reports.
using LoadSaveLoad = LoadSaveTest;

TEST_F(LoadSaveLoad, AWholeDocumentFillsTheObjectAndTracesTheParse) {
    OstakFileInMem &file =
        Load("<AED TqVersion=\"7.6\" FileVersionInstallation=\"42\" Saved=\"true\">\r\n"
             "\t<Application Name=\"Appl\" Enabled=\"true\" StampTime=\"1234\" StampHost=\"h1\">\r\n"
             "\t\t<Rule Name=\"R\" FailIfNotFound=\"true\" MatchCase=\"false\" UseText=\"false\" "
             "Type=\"alert\" Level=\"disabled\">\r\n"
             "\t\t\t<Text> a b </Text>\r\n\t\t\t<Prefix>p</Prefix>\r\n\t\t\t<Suffix>s</Suffix>\r\n"
             "\t\t</Rule>\r\n\t</Application>\r\n</AED>\r\n",
             OSTAK_OK);
    EXPECT_EQ(Describe(file), "AED version='7.6' installation=42 saved\n"
                              "Appl 'h1'@1234 {R=' a b ' prefix='p' suffix='s' level=0 type=1 matchCase=0 "
                              "useText=0 failIfNotFound=1}");

    ASSERT_EQ(Log().size(), 2u) << "only the two trace lines";
    EXPECT_EQ(Log()[0].text, "Before parser.parse(GetFileFullPath())");
    EXPECT_EQ(Log()[1].text, "After parser.parse(GetFileFullPath())");
    for (const LogRecord &trace : Log()) {
        EXPECT_EQ(trace.number, 0);
        EXPECT_EQ(trace.func, "OstakFileInMem::Load");
        EXPECT_EQ(trace.level, kLevelTrace);
        EXPECT_NE(SourceLine("5-format/OstakFileInMemLoad.cpp", trace.line).find(trace.text),
                  std::string::npos);
    }
}

TEST_F(LoadSaveLoad, AbsentAttributesKeepTheDefaultsAndTheConstructionStamp) {
    OstakFileInMem &file = Load("<AED><Application><Rule/></Application></AED>", OSTAK_OK);
    EXPECT_EQ(Describe(file, Since(started_)), "AED\n'' off 'thishost'@now {''=''}");
}

TEST_F(LoadSaveLoad, KeywordValuesCompareExactly) {
    struct Case {
        const char *attributes;
        const char *expected;
    };
    const Case cases[] = {
        {"Level=\"Error\"", "''=''"},
        {"Level=\"none\"", "''=''"},
        {"Level=\"disabled\"", "''='' level=0"},
        {"Level=\"Disabled\"", "''=''"},
        {"MatchCase=\"TRUE\" UseText=\"1\" FailIfNotFound=\"True\"", "''='' matchCase=0 useText=0"},
        {"MatchCase=\"true\" UseText=\"true\" FailIfNotFound=\"true\"", "''='' failIfNotFound=1"},
        {"Type=\"std\"", "''=''"},
        {"Type=\"alert\"", "''='' type=1"},
    };
    for (const Case &c : cases) {
        OstakFileInMem &file =
            Load(std::string("<AED><Application><Rule ") + c.attributes + "/></Application></AED>", OSTAK_OK);
        ASSERT_NE(FirstRule(file), nullptr);
        EXPECT_EQ(Describe(*FirstRule(file)), c.expected) << c.attributes;
    }
    OstakFileInMem &upper = Load("<AED Saved=\"True\"><Application Enabled=\"TRUE\"/></AED>", OSTAK_OK);
    EXPECT_EQ(Describe(upper, Since(started_)), "AED\n'' off 'thishost'@now {}")
        << "neither saved nor enabled";
}

// The values most attributes hold are taken by a shortcut: a value that
// spells one of them, is a prefix of one or goes on after one is still
// stored as written, wherever it stands.
TEST_F(LoadSaveLoad, ValuesNearTheCommonWordsAreStoredAsWritten) {
    const char *values[] = {"true", "false", "error", "tru", "truee", "fals", "falsee", "err",
                            "errors", "t", "f", "e", "True", " true", "true "};
    for (const char *value : values) {
        const std::string doc = std::string("<AED TqVersion=\"") + value +
                                "\"><Application Name=\"A\" StampHost=\"" + value +
                                "\" Enabled=\"" + value + "\"><Rule Name=\"R\" Level=\"" + value +
                                "\" MatchCase=\"" + value + "\"/></Application></AED>";
        OstakFileInMem &file = Load(doc, OSTAK_OK);
        const bool isTrue = std::strcmp(value, "true") == 0;
        const std::string expected = std::string("AED version='") + value + "'\nA " +
                                     (isTrue ? "" : "off ") + "'" + value + "'@now {R=''" +
                                     (isTrue ? "" : " matchCase=0") + "}";
        EXPECT_EQ(Describe(file, Since(started_)), expected) << value;
        EXPECT_EQ(Log().size(), 2u) << value << ": only the trace lines";
        Log().clear();
    }
}

TEST_F(LoadSaveLoad, ANamesakeApplicationIsLinkedBeforeTheFirstWithMessageAndResult5) {
    OstakFileInMem &file = Load("<AED><Application Name=\"b\" StampHost=\"first\"/><Application Name=\"a\"/>"
                                "<Application Name=\"b\" StampHost=\"second\"/></AED>",
                                OSTAK_E_DUPLICATE_NAME);
    EXPECT_EQ(Describe(file, Since(started_)),
              "AED\na off 'thishost'@now {}\nb off 'second'@now {}\nb off 'first'@now {}");
    const LogRecord *message = ExpectMessage(kMsgApplDuplicate, "AedDocumentHandler::startElement",
                                             kLevelError, kHandlerSource, "kMsgApplDuplicate");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, "Application \"b\" is already in the list");
}

TEST_F(LoadSaveLoad, ANamesakeRuleIsReportedWithItsPosition) {
    OstakFileInMem &file = Load("<AED><Application Name=\"A\">\n<Rule Name=\"r\"/>\n<Rule Name=\"r\" "
                                "Level=\"disabled\"/></Application></AED>",
                                OSTAK_E_DUPLICATE_NAME);
    EXPECT_EQ(Describe(file, Since(started_)), "AED\nA off 'thishost'@now {r='' level=0; r=''}")
        << "the second rule stands before its namesake";
    const LogRecord *message = ExpectMessage(kMsgRuleDuplicate, "AedDocumentHandler::startElement",
                                             kLevelError, kHandlerSource, "kMsgRuleDuplicate");
    ASSERT_NE(message, nullptr);
    const int headLines = 25;
    EXPECT_EQ(message->text, "Rule \"r\" of application \"A\" is already in the list (line " +
                                 std::to_string(headLines + 3) + ", column 34 of file \"" +
                                 dir_.File("rules.xml") + "\")");
}

TEST_F(LoadSaveLoad, AnInvalidApplicationNameDropsTheApplicationWithItsRules) {
    OstakFileInMem &file =
        Load("<AED><Application Name=\"has blank\" Enabled=\"true\"><Rule Name=\"r\"><Text>t</Text>"
             "</Rule></Application><Application Name=\"ok\"/></AED>",
             OSTAK_E_INVALID_NAME);
    EXPECT_EQ(Describe(file, Since(started_)), "AED\nok off 'thishost'@now {}");
    const LogRecord *message = ExpectMessage(kMsgAttrInvalid, "AedDocumentHandler::reportInvalidAttribute",
                                             kLevelError, kHandlerSource, "kMsgAttrInvalid,");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text,
              "Invalid value \"has blank\" of attribute \"Name\" of element \"Application\" at line 26, "
              "column 51 of file \"" +
                  dir_.File("rules.xml") + "\"");
    EXPECT_EQ(MessagesBeyondTrace().size(), 1u) << "its rules and texts pass in silence";
}

TEST_F(LoadSaveLoad, AnInvalidRuleNameDropsTheRuleAndItsTexts) {
    OstakFileInMem &file = Load("<AED><Application Name=\"A\"><Rule Name=\"x.y\"><Text>t</Text></Rule>"
                                "<Rule Name=\"ok\"/></Application></AED>",
                                OSTAK_E_INVALID_NAME);
    EXPECT_EQ(Describe(file, Since(started_)), "AED\nA off 'thishost'@now {ok=''}");
    EXPECT_EQ(MessagesBeyondTrace().size(), 1u);
    EXPECT_EQ(CountMessages(kMsgAttrInvalid), 1);
}

TEST_F(LoadSaveLoad, AnInvalidTypeStopsTheAttributeWalkButKeepsTheRule) {
    OstakFileInMem &file =
        Load("<AED><Application><Rule Name=\"r\" Type=\"Alert\" Level=\"disabled\" MatchCase=\"false\"/>"
             "</Application></AED>",
             OSTAK_E_INVALID_DOCUMENT);
    ASSERT_NE(FirstRule(file), nullptr);
    EXPECT_EQ(Describe(*FirstRule(file)), "r=''") << "Level and MatchCase not read";
    const LogRecord *message = ExpectMessage(kMsgAttrInvalid, "AedDocumentHandler::reportInvalidAttribute",
                                             kLevelError, kHandlerSource, "kMsgAttrInvalid,");
    ASSERT_NE(message, nullptr);
    EXPECT_NE(message->text.find("\"Alert\" of attribute \"Type\" of element \"Rule\""), std::string::npos);
}

TEST_F(LoadSaveLoad, AnInvalidStampTimeKeepsTheConstructionStamp) {
    OstakFileInMem &file = Load("<AED><Application Name=\"A\" StampTime=\"12ab\" Enabled=\"true\"/></AED>",
                                OSTAK_E_INVALID_DOCUMENT);
    EXPECT_EQ(Describe(file, Since(started_)), "AED\nA off 'thishost'@now {}")
        << "attributes after the invalid one are not read";
    EXPECT_EQ(CountMessages(kMsgAttrInvalid), 1);

    OstakFileInMem &large = Load("<AED><Application StampTime=\"4294967295\"/></AED>", OSTAK_OK);
    EXPECT_EQ(Describe(large), "AED\n'' off 'thishost'@-1 {}") << "32 unsigned bits";
    Load("<AED><Application StampTime=\"4294967296\"/></AED>", OSTAK_E_INVALID_DOCUMENT);
    Load("<AED><Application StampTime=\"-1\"/></AED>", OSTAK_E_INVALID_DOCUMENT);
}

TEST_F(LoadSaveLoad, AfterAnInvalidFileVersionTheLaterRootAttributesAreNotRead) {
    OstakFileInMem &file = Load("<AED FileVersionInstallation=\"x1\" TqVersion=\"7.6\" Saved=\"true\"/>",
                                OSTAK_E_INVALID_DOCUMENT);
    EXPECT_EQ(Describe(file), "AED");
    EXPECT_EQ(CountMessages(kMsgAttrInvalid), 1);

    OstakFileInMem &before = Load("<AED TqVersion=\"7.5\" FileVersionInstallation=\"\" Saved=\"true\"/>",
                                  OSTAK_E_INVALID_DOCUMENT);
    EXPECT_EQ(Describe(before), "AED version='7.5'");
}

TEST_F(LoadSaveLoad, AttributesTheHandlerDoesNotKnowAreInvalid) {
    // The document's own declaration admits attributes the format does not have.
    const std::string dtd =
        "<!ELEMENT AED (Application*)><!ATTLIST AED Extra CDATA #IMPLIED TqVersion CDATA #IMPLIED>"
        "<!ELEMENT Application (Rule*)><!ATTLIST Application Name CDATA #IMPLIED Extra CDATA "
        "#IMPLIED Enabled CDATA #IMPLIED><!ELEMENT Rule EMPTY><!ATTLIST Rule Name CDATA #IMPLIED "
        "Extra CDATA #IMPLIED Level CDATA #IMPLIED>";
    int32_t rc = -1;
    OstakFileInMem &file =
        LoadText(DocWithDtd(dtd, "<AED Extra=\"1\" TqVersion=\"7.6\"><Application Name=\"A\" "
                                 "Extra=\"2\" Enabled=\"true\"><Rule Name=\"r\" Extra=\"3\" "
                                 "Level=\"disabled\"/></Application></AED>"),
                 false, &rc);
    EXPECT_EQ(rc, OSTAK_E_INVALID_DOCUMENT);
    EXPECT_EQ(Describe(file, Since(started_)), "AED\nA off 'thishost'@now {r=''}");
    EXPECT_EQ(CountMessages(kMsgAttrInvalid), 3);
}

// Names that share a first letter or a beginning with a name of the format
// are none of its names.
TEST_F(LoadSaveLoad, NamesNearTheFormatsNamesAreInvalidAttributes) {
    const char *names[] = {"N",        "Nam",     "Names",         "Levels",         "Typ",
                           "Types",    "UseTex",  "UseTexts",      "FailIfNotFoun", "FailIfNotFounds",
                           "MatchCas", "Enabled", "StampTimes",    "Saved"};
    for (const char *name : names) {
        const std::string dtd = std::string("<!ELEMENT AED (Application*)><!ELEMENT Application (Rule*)>"
                                            "<!ATTLIST Application Name CDATA #IMPLIED>"
                                            "<!ELEMENT Rule EMPTY><!ATTLIST Rule ") +
                                name + " CDATA #IMPLIED Level CDATA #IMPLIED>";
        int32_t rc = -1;
        OstakFileInMem &file = LoadText(
            DocWithDtd(dtd, std::string("<AED><Application Name=\"A\"><Rule ") + name +
                                "=\"true\" Level=\"disabled\"/></Application></AED>"),
            false, &rc);
        EXPECT_EQ(rc, OSTAK_E_INVALID_DOCUMENT) << name;
        EXPECT_EQ(Describe(file, Since(started_)), "AED\nA off 'thishost'@now {''=''}") << name;
        EXPECT_EQ(CountMessages(kMsgAttrInvalid), 1) << name;
        Log().clear();
    }
}

TEST_F(LoadSaveLoad, TextsArriveJoinedAndUntrimmed) {
    OstakFileInMem &file =
        Load("<AED><Application><Rule><Text>  a&amp;b&lt;c&gt;d&quot;e&apos;f&#65;  </Text>"
             "<Prefix>x<![CDATA[<y>]]>z</Prefix><Suffix> </Suffix></Rule></Application></AED>",
             OSTAK_OK);
    ASSERT_NE(FirstRule(file), nullptr);
    EXPECT_EQ(Describe(*FirstRule(file)), "''='  a&b<c>d\"e\\'fA  ' prefix='x<y>z' suffix=' '");
}

TEST_F(LoadSaveLoad, ATabReferenceIsRefusedAndTheFieldKeepsItsEarlierPieces) {
    OstakFileInMem &file =
        Load("<AED><Application><Rule><Text>&#9;</Text></Rule><Rule Name=\"b\"><Text>ab&#9;c"
             "</Text><Prefix>p&#10;</Prefix></Rule></Application></AED>",
             OSTAK_E_LINE_BREAK);
    // The parser hands the reference over with the text after it, as one piece.
    EXPECT_EQ(Describe(file, Since(started_)), "AED\n'' off 'thishost'@now {''=''; b='ab' prefix='p'}")
        << "the pieces before the refused one stay";
    const std::vector<LogRecord> messages = MessagesBeyondTrace();
    ASSERT_EQ(messages.size(), 3u);
    for (const LogRecord &message : messages) {
        EXPECT_EQ(message.number, -32578);
        EXPECT_EQ(message.func, "xfeOstakIssueMsgByRc");
        EXPECT_EQ(message.line, kLineIssueByRcCatalogue);
        EXPECT_EQ(message.level, kLevelError);
    }
}

TEST_F(LoadSaveLoad, DropDisabledLeavesDisabledEntriesOutInSilence) {
    const std::string body =
        "<AED><Application Name=\"off\" Enabled=\"false\"><Rule Name=\"r\"><Text>t</Text></Rule>"
        "</Application><Application Name=\"onlyDisabled\" Enabled=\"true\"><Rule Name=\"r\" "
        "Level=\"disabled\"><Text>t</Text></Rule></Application><Application Name=\"noRules\" "
        "Enabled=\"true\"/><Application Name=\"mixed\" Enabled=\"true\"><Rule Name=\"a\" "
        "Level=\"disabled\"/><Rule Name=\"b\" Level=\"error\"/></Application></AED>";
    OstakFileInMem &dropped = Load(body, OSTAK_OK, true);
    EXPECT_EQ(Describe(dropped, Since(started_)), "AED\nmixed 'thishost'@now {b=''}");
    EXPECT_TRUE(MessagesBeyondTrace().empty());

    OstakFileInMem &kept = Load(body, OSTAK_OK, false);
    EXPECT_EQ(Describe(kept, Since(started_)), "AED\n"
                                               "mixed 'thishost'@now {a='' level=0; b=''}\n"
                                               "noRules 'thishost'@now {}\n"
                                               "off off 'thishost'@now {r='t'}\n"
                                               "onlyDisabled 'thishost'@now {r='t' level=0}");
}

TEST_F(LoadSaveLoad, TheDiscardRuleTakesNameTimeAndHostTogether) {
    OstakFileInMem &file =
        Load("<AED><Application Name=\"ASP\" StampTime=\"1008838932\" StampHost=\"OSK\"><Rule "
             "Name=\"r\"/></Application>"
             "<Application Name=\"ASP\" StampTime=\"1008838933\" StampHost=\"OSK\"/>"
             "<Application Name=\"ASP\" StampTime=\"1008838932\" StampHost=\"OSX\"/>"
             "<Application Name=\"ASq\" StampTime=\"1008838932\" StampHost=\"OSK\"/></AED>",
             OSTAK_E_DUPLICATE_NAME);
    EXPECT_EQ(Describe(file), "AED\n"
                              "ASP off 'OSX'@1008838932 {}\n"
                              "ASP off 'OSK'@1008838933 {}\n"
                              "ASq off 'OSK'@1008838932 {}")
        << "the discarded application's rule went with it";
    EXPECT_EQ(CountMessages(kMsgApplDuplicate), 1) << "the discarded one is not a namesake";
}

TEST_F(LoadSaveLoad, LoadingAddsToWhatTheListHolds) {
    OstakFileInMem &file = Make(0, dir_.Write("rules.xml", Doc("<AED><Application Name=\"b\"/></AED>")));
    AppendAppl(file, ApplSpec{"a", {}, 0, 1, "h", 1});
    AppendAppl(file, ApplSpec{"c", {}, 0, 1, "h", 1});
    EXPECT_EQ(file.Load(false, TestContext()), OSTAK_OK);
    EXPECT_EQ(Describe(file, Since(started_)), "AED\na 'h'@1 {}\nb off 'thishost'@now {}\nc 'h'@1 {}");
}

TEST_F(LoadSaveLoad, ARuleOutsideAnApplicationIsAnInternalInconsistency) {
    const std::string dtd =
        "<!ELEMENT AED (Application|Rule)*><!ELEMENT Application (Rule*)>"
        "<!ATTLIST Application Name CDATA #IMPLIED Enabled CDATA #IMPLIED>"
        "<!ELEMENT Rule (Text?)><!ATTLIST Rule Name CDATA #IMPLIED><!ELEMENT Text (#PCDATA)>";
    int32_t rc = -1;
    OstakFileInMem &file =
        LoadText(DocWithDtd(dtd, "<AED><Rule Name=\"r\"><Text>lost</Text></Rule></AED>"), false, &rc);
    EXPECT_EQ(rc, OSTAK_E_INVALID_DOCUMENT);
    const LogRecord *message =
        ExpectMessage(kMsgText, "AedDocumentHandler::startElement", kLevelError, kHandlerSource, "kMsgText");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, "m_CurrentApplication == NULL in AedDocumentHandler::startElement");
    EXPECT_EQ(MessagesBeyondTrace().size(), 1u) << "the skipped rule's text passes in silence";
    EXPECT_TRUE(file.Applications().Empty());

    // Inside a skipped application the same rule passes in silence.
    LoadText(DocWithDtd(dtd, "<AED><Application Name=\"a b\"/><Rule Name=\"r\"/></AED>"), false, &rc);
    EXPECT_EQ(rc, OSTAK_E_INVALID_NAME);
    EXPECT_EQ(CountMessages(kMsgText), 0);
    // With drop-disabled, a disabled application is skipped in silence, and so is a rule after it.
    LoadText(DocWithDtd(dtd, "<AED><Application Enabled=\"false\"/><Rule Name=\"r\"/></AED>"), true, &rc);
    EXPECT_EQ(rc, OSTAK_OK);
    EXPECT_TRUE(MessagesBeyondTrace().empty());
}

TEST_F(LoadSaveLoad, TextOutsideARuleIsAnInternalInconsistency) {
    const std::string dtd = "<!ELEMENT AED (#PCDATA|Application)*><!ELEMENT Application EMPTY>"
                            "<!ATTLIST Application Name CDATA #IMPLIED>";
    int32_t rc = -1;
    OstakFileInMem &file = LoadText(DocWithDtd(dtd, "<AED>stray<Application Name=\"A\"/></AED>"), false, &rc);
    EXPECT_EQ(rc, OSTAK_E_INVALID_DOCUMENT);
    const LogRecord *message =
        ExpectMessage(kMsgText, "AedDocumentHandler::characters", kLevelError, kHandlerSource, "kMsgText");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, "m_CurrentRule == NULL in AedDocumentHandler::characters");
    EXPECT_NE(file.Applications().FindAppl("A"), nullptr);
}

TEST_F(LoadSaveLoad, TextBetweenTextElementsGoesToTheLastChosenField) {
    // Only a document whose declaration makes such text significant can show it.
    const std::string dtd = "<!ELEMENT AED (Application*)><!ELEMENT Application (Rule*)>"
                            "<!ELEMENT Rule (#PCDATA|Text|Prefix)*><!ELEMENT Text (#PCDATA)>"
                            "<!ELEMENT Prefix (#PCDATA)>";
    int32_t rc = -1;
    OstakFileInMem &file = LoadText(
        DocWithDtd(dtd, "<AED><Application><Rule>a<Text>t</Text>b<Prefix>p</Prefix>c</Rule><Rule>d</Rule>"
                        "</Application></AED>"),
        false, &rc);
    EXPECT_EQ(rc, OSTAK_E_DUPLICATE_NAME);
    // Before any text element, text goes to Text; the text type carries over
    // to the next rule (linked before its namesake).
    EXPECT_EQ(Describe(file, Since(started_)),
              "AED\n'' off 'thishost'@now {''='' prefix='d'; ''='atb' prefix='pc'}");
}

TEST_F(LoadSaveLoad, ManyPiecesOfOneTextAreJoinedInLinearTime) {
    // One text of 2 MB in 200000 pieces (the parser splits it at each entity
    // reference): copying the whole text for each piece would copy about 200 GB.
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "abcdefghijklmnopqrs&amp;";
    }
    const std::clock_t start = std::clock();
    OstakFileInMem &file =
        Load("<AED><Application><Rule><Text>" + text + "</Text></Rule></Application></AED>", OSTAK_OK);
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    ASSERT_NE(FirstRule(file), nullptr);
    EXPECT_EQ(std::strlen(FirstRule(file)->Text()), 100000u * 20u);
    EXPECT_LT(seconds, 20.0);
}

TEST_F(LoadSaveLoad, EveryAllocationThatFailsIsReportedOnceAndLeavesNothingBehind) {
    const std::string content =
        Doc("<AED TqVersion=\"7.6\"><Application Name=\"A\" StampHost=\"h\" StampTime=\"1\">"
            "<Rule Name=\"r\"><Text>a&amp;b</Text><Prefix>p</Prefix></Rule></Application>"
            "<Application Name=\"B\"/></AED>");
    const std::string path = dir_.Write("sweep.xml", content);
    const uint64_t before = AllocationAttempts();
    {
        OstakFileInMem &clean = Make(0, path);
        ASSERT_EQ(clean.Load(false, TestContext()), OSTAK_OK);
    }
    const uint64_t allocations = AllocationAttempts() - before;
    ASSERT_GT(allocations, 10u);
    for (uint64_t at = 1; at <= allocations; ++at) {
        OstakFileInMem &file = Make(0, path);
        Log().clear();
        Seams().failAllocationAt = at;
        const int32_t rc = file.Load(false, TestContext());
        Seams().failAllocationAt = 0;
        if (CountMessages(kMsgNoMemory) == 0) {
            EXPECT_EQ(rc, OSTAK_OK) << "allocation " << at << " was not needed by the load";
            continue;
        }
        EXPECT_EQ(CountMessages(kMsgNoMemory), 1) << "allocation " << at;
        // A name or value lost for want of memory is neither an invalid
        // attribute nor a misplaced element: the no-memory message is the
        // only one, and 7 the result.
        EXPECT_EQ(MessagesBeyondTrace().size(), 1u) << "allocation " << at;
        EXPECT_EQ(rc, OSTAK_E_NO_MEMORY) << "allocation " << at;
        const LogRecord *message = OnlyMessage(kMsgNoMemory);
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(message->level, kLevelError);
        EXPECT_EQ(message->func.rfind("AedDocumentHandler::", 0), 0u) << message->func;
        EXPECT_NE(SourceLine(kHandlerSource, message->line).find("NoteNoMemory"), std::string::npos);
    }
    files_.clear(); // the leak check at the end covers every partial load
}

TEST_F(LoadSaveLoad, OnTheIcuPathAConversionThatFailsFailsTheLoad) {
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, true), 0);
    SetConverterNameForTests("no-such-converter-name");
    int32_t rc = -1;
    OstakFileInMem &file = LoadText(Doc("<AED><Application Name=\"A\"/></AED>"), false, &rc);
    SetConverterNameForTests(nullptr);
    EXPECT_EQ(rc, OSTAK_E_INVALID_DOCUMENT) << "values lost to the converter do not pass for a success";
    EXPECT_TRUE(file.Applications().Empty());
    EXPECT_GT(CountMessages(kMsgText), 0) << "the converter reported its failure";
}

// On the ICU path, names and values are taken as their ASCII bytes only where
// the code page keeps ASCII: in UTF-8 the document loads as on the plain path;
// in an EBCDIC code page every name becomes other bytes, so the root is no
// AED, exactly as converting each name makes it.
TEST_F(LoadSaveLoad, OnTheIcuPathNamesAreTheirBytesOnlyWhereTheCodePageKeepsAscii) {
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, true), 0);
    const std::string doc =
        Doc("<AED TqVersion=\"7.6\"><Application Name=\"A\" StampTime=\"5\" StampHost=\"h\">"
            "<Rule Name=\"r\" MatchCase=\"false\"><Text>t x</Text></Rule></Application></AED>");
    struct Case {
        const char *converter;
        int32_t rc;
        std::string loaded;
    };
    const Case cases[] = {
        {"UTF-8", OSTAK_OK, "AED version='7.6'\nA off 'h'@5 {r='t x' matchCase=0}"},
        {"IBM037", OSTAK_E_INVALID_DOCUMENT, "AED"},
    };
    for (const Case &c : cases) {
        SetConverterNameForTests(c.converter);
        int32_t rc = -1;
        OstakFileInMem &file = LoadText(doc, false, &rc);
        SetConverterNameForTests(nullptr);
        EXPECT_EQ(rc, c.rc) << c.converter;
        EXPECT_EQ(Describe(file), c.loaded) << c.converter;
        Log().clear();
    }
}

// ---- driven directly, as a parser that gives no document locator drives it ----

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
    AedDocumentHandler handler(&file, false, TestContext());
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
    EXPECT_EQ(Describe(file, Since(started_)), "AED\nA off 'thishost'@now {q=''; r=''; r=''}") << "all kept";
}

TEST_F(XmlDocumentHandler, TextCutShortByTheEndOfTheParseIsKept) {
    OstakFileInMem &file = Make(0, "/x/rules.xml");
    file.SetLoadResult(OSTAK_OK);
    AedDocumentHandler handler(&file, false, TestContext());
    Attributes none(Attributes::List{});
    handler.startElement(u"AED", none);
    handler.startElement(u"Application", none);
    handler.startElement(u"Rule", none);
    handler.startElement(u"Suffix", none);
    handler.characters(u"ab", 2);
    handler.characters(u"cd", 2);
    handler.FlushText();
    ASSERT_NE(FirstRule(file), nullptr);
    EXPECT_EQ(Describe(*FirstRule(file)), "''='' suffix='abcd'");
    EXPECT_EQ(file.LoadResult(), OSTAK_OK);
}

TEST_F(XmlDocumentHandler, RefusedCharactersWithoutALocatorAreNamedOnceAndLeftOut) {
    OstakFileInMem &file = Make(0, "/x/rules.xml");
    file.SetLoadResult(OSTAK_OK);
    AedDocumentHandler handler(&file, false, TestContext());
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
    EXPECT_EQ(Describe(file, Since(started_)), "AED\nA off 'thishost'@now {r='b'}");
}

TEST_F(XmlDocumentHandler, ARootOtherThanAedLeavesTheWholeDocumentOut) {
    OstakFileInMem &file = Make(0, "/x/rules.xml");
    file.SetLoadResult(OSTAK_OK);
    AedDocumentHandler handler(&file, false, TestContext());
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
    AedDocumentHandler second(&other, false, TestContext());
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

namespace {

// Values at the edges of printable ASCII, alone and mixed with characters
// beyond it, in an attribute and in character data: each loads as the bytes
// of its characters (the plain path maps U+0000 to U+00FF byte for byte),
// whether the handler takes it by its shortcut or converts it.
TEST_F(LoadSaveLoad, EveryValueLoadsAsItsBytesOnEitherSideOfPrintableAscii) {
    struct Case {
        const char *xml;      // as written in the document
        std::string expected; // the bytes loaded
    };
    const Case cases[] = {
        {" ", " "},
        {"~", "~"},
        {"a&amp;b&lt;&quot;", "a&b<\""},
        {"&#x7F;", "\x7F"},
        {"x&#xA0;y", "x\xA0y"},
        {"&#xFF;&#x20;~", "\xFF ~"},
        {"&#xE9;t&#xE9;", "\xE9t\xE9"},
        {"", ""},
    };
    for (const Case &c : cases) {
        const std::string host = std::string(c.xml) + std::string(300, 'h');
        const std::string doc = std::string("<AED><Application Name=\"A\" StampHost=\"") + host +
                                "\"><Rule Name=\"R\"><Text>" + c.xml + "</Text><Prefix>" + c.xml +
                                "p</Prefix></Rule></Application></AED>";
        OstakFileInMem &file = Load(doc, OSTAK_OK);
        const OstakElemAppl *appl = file.Applications().FirstAppl();
        ASSERT_NE(appl, nullptr) << c.xml;
        EXPECT_EQ(appl->StampHost(), c.expected + std::string(300, 'h')) << c.xml;
        const OstakElemRule *rule = appl->Rules()->FirstRule();
        ASSERT_NE(rule, nullptr) << c.xml;
        EXPECT_EQ(std::string(rule->Text()), c.expected) << c.xml;
        EXPECT_EQ(std::string(rule->Prefix()), c.expected + "p") << c.xml;
        EXPECT_EQ(Log().size(), 2u) << c.xml << ": only the trace lines";
        Log().clear();
    }
}

} // namespace
