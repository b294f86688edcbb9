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

using Names = std::vector<std::string>;

TEST_F(LoadSaveLoad, AWholeDocumentFillsTheObjectAndTracesTheParse) {
    OstakFileInMem &file =
        Load("<AED TqVersion=\"7.6\" FileVersionInstallation=\"42\" Saved=\"true\">\r\n"
             "\t<Application Name=\"Appl\" Enabled=\"true\" StampTime=\"1234\" StampHost=\"h1\">\r\n"
             "\t\t<Rule Name=\"R\" FailIfNotFound=\"true\" MatchCase=\"false\" UseText=\"false\" "
             "Type=\"alert\" Level=\"disabled\">\r\n"
             "\t\t\t<Text> a b </Text>\r\n\t\t\t<Prefix>p</Prefix>\r\n\t\t\t<Suffix>s</Suffix>\r\n"
             "\t\t</Rule>\r\n\t</Application>\r\n</AED>\r\n",
             OSTAK_OK);
    FileSnap expected;
    expected.version = "7.6";
    expected.installationVersion = 42;
    expected.saved = true;
    expected.appls.push_back(
        ApplSnap{"Appl", 1, "h1", 1234, {RuleSnap{"R", " a b ", "p", "s", 0, 1, 0, 0, 1}}});
    EXPECT_EQ(Snap(file), expected);

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
    const int32_t before = static_cast<int32_t>(std::time(nullptr));
    OstakFileInMem &file = Load("<AED><Application><Rule/></Application></AED>", OSTAK_OK);
    const int32_t after = static_cast<int32_t>(std::time(nullptr));
    EXPECT_STREQ(file.VersionText(), "");
    EXPECT_EQ(file.InstallationVersion(), 0);
    EXPECT_FALSE(file.Saved());
    const OstakElemAppl *appl = file.Applications().FirstAppl();
    ASSERT_NE(appl, nullptr);
    EXPECT_STREQ(appl->Name(), "");
    EXPECT_EQ(appl->Enabled(), 0);
    EXPECT_STREQ(appl->StampHost(), Globals().hostName.text);
    EXPECT_GE(appl->StampTime(), before);
    EXPECT_LE(appl->StampTime(), after);
    EXPECT_EQ(Snap(*FirstRule(file)), RuleSnap{});
}

TEST_F(LoadSaveLoad, KeywordValuesCompareExactly) {
    struct Case {
        const char *attributes;
        RuleSnap expected;
    };
    const Case cases[] = {
        {"Level=\"Error\"", RuleSnap{"", "", "", "", 1, 0, 1, 1, 0}},
        {"Level=\"none\"", RuleSnap{"", "", "", "", 1, 0, 1, 1, 0}},
        {"Level=\"disabled\"", RuleSnap{"", "", "", "", 0, 0, 1, 1, 0}},
        {"Level=\"Disabled\"", RuleSnap{"", "", "", "", 1, 0, 1, 1, 0}},
        {"MatchCase=\"TRUE\" UseText=\"1\" FailIfNotFound=\"True\"", RuleSnap{"", "", "", "", 1, 0, 0, 0, 0}},
        {"MatchCase=\"true\" UseText=\"true\" FailIfNotFound=\"true\"",
         RuleSnap{"", "", "", "", 1, 0, 1, 1, 1}},
        {"Type=\"std\"", RuleSnap{"", "", "", "", 1, 0, 1, 1, 0}},
        {"Type=\"alert\"", RuleSnap{"", "", "", "", 1, 1, 1, 1, 0}},
    };
    for (const Case &c : cases) {
        OstakFileInMem &file =
            Load(std::string("<AED><Application><Rule ") + c.attributes + "/></Application></AED>", OSTAK_OK);
        ASSERT_NE(FirstRule(file), nullptr);
        EXPECT_EQ(Snap(*FirstRule(file)), c.expected) << c.attributes;
    }
    OstakFileInMem &upper = Load("<AED Saved=\"True\"><Application Enabled=\"TRUE\"/></AED>", OSTAK_OK);
    EXPECT_FALSE(upper.Saved());
    EXPECT_EQ(upper.Applications().FirstAppl()->Enabled(), 0);
}

TEST_F(LoadSaveLoad, ANamesakeApplicationIsLinkedBeforeTheFirstWithMessageAndResult5) {
    OstakFileInMem &file = Load("<AED><Application Name=\"b\" StampHost=\"first\"/><Application Name=\"a\"/>"
                                "<Application Name=\"b\" StampHost=\"second\"/></AED>",
                                OSTAK_E_DUPLICATE_NAME);
    EXPECT_EQ(ApplNames(file), (Names{"a", "b", "b"}));
    EXPECT_STREQ(file.Applications().FirstAppl()->NextAppl()->StampHost(), "second");
    const LogRecord *message = ExpectMessage(kMsgApplDuplicate, "AedDocumentHandler::startElement",
                                             kLevelError, kHandlerSource, "kMsgApplDuplicate");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, "Application \"b\" is already in the list");
}

TEST_F(LoadSaveLoad, ANamesakeRuleIsReportedWithItsPosition) {
    OstakFileInMem &file = Load("<AED><Application Name=\"A\">\n<Rule Name=\"r\"/>\n<Rule Name=\"r\" "
                                "Level=\"disabled\"/></Application></AED>",
                                OSTAK_E_DUPLICATE_NAME);
    const OstakElemRule *first = FirstRule(file);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Level(), 0) << "the second rule stands before its namesake";
    ASSERT_NE(first->NextRule(), nullptr);
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
    EXPECT_EQ(ApplNames(file), Names{"ok"});
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
    ASSERT_NE(FirstRule(file), nullptr);
    EXPECT_STREQ(FirstRule(file)->Name(), "ok");
    EXPECT_STREQ(FirstRule(file)->Text(), "");
    EXPECT_EQ(FirstRule(file)->NextRule(), nullptr);
    EXPECT_EQ(MessagesBeyondTrace().size(), 1u);
    EXPECT_EQ(CountMessages(kMsgAttrInvalid), 1);
}

TEST_F(LoadSaveLoad, AnInvalidTypeStopsTheAttributeWalkButKeepsTheRule) {
    OstakFileInMem &file =
        Load("<AED><Application><Rule Name=\"r\" Type=\"Alert\" Level=\"disabled\" MatchCase=\"false\"/>"
             "</Application></AED>",
             OSTAK_E_INVALID_DOCUMENT);
    ASSERT_NE(FirstRule(file), nullptr);
    EXPECT_EQ(Snap(*FirstRule(file)), (RuleSnap{"r", "", "", "", 1, 0, 1, 1, 0}))
        << "Level and MatchCase not read";
    const LogRecord *message = ExpectMessage(kMsgAttrInvalid, "AedDocumentHandler::reportInvalidAttribute",
                                             kLevelError, kHandlerSource, "kMsgAttrInvalid,");
    ASSERT_NE(message, nullptr);
    EXPECT_NE(message->text.find("\"Alert\" of attribute \"Type\" of element \"Rule\""), std::string::npos);
}

TEST_F(LoadSaveLoad, AnInvalidStampTimeKeepsTheConstructionStamp) {
    const int32_t before = static_cast<int32_t>(std::time(nullptr));
    OstakFileInMem &file = Load("<AED><Application Name=\"A\" StampTime=\"12ab\" Enabled=\"true\"/></AED>",
                                OSTAK_E_INVALID_DOCUMENT);
    const OstakElemAppl *appl = file.Applications().FirstAppl();
    ASSERT_NE(appl, nullptr);
    EXPECT_GE(appl->StampTime(), before);
    EXPECT_EQ(appl->Enabled(), 0) << "attributes after the invalid one are not read";
    EXPECT_EQ(CountMessages(kMsgAttrInvalid), 1);

    OstakFileInMem &large = Load("<AED><Application StampTime=\"4294967295\"/></AED>", OSTAK_OK);
    EXPECT_EQ(large.Applications().FirstAppl()->StampTime(), -1) << "32 unsigned bits";
    Load("<AED><Application StampTime=\"4294967296\"/></AED>", OSTAK_E_INVALID_DOCUMENT);
    Load("<AED><Application StampTime=\"-1\"/></AED>", OSTAK_E_INVALID_DOCUMENT);
}

TEST_F(LoadSaveLoad, AfterAnInvalidFileVersionTheLaterRootAttributesAreNotRead) {
    OstakFileInMem &file = Load("<AED FileVersionInstallation=\"x1\" TqVersion=\"7.6\" Saved=\"true\"/>",
                                OSTAK_E_INVALID_DOCUMENT);
    EXPECT_EQ(file.InstallationVersion(), 0);
    EXPECT_STREQ(file.VersionText(), "");
    EXPECT_FALSE(file.Saved());
    EXPECT_EQ(CountMessages(kMsgAttrInvalid), 1);

    OstakFileInMem &before = Load("<AED TqVersion=\"7.5\" FileVersionInstallation=\"\" Saved=\"true\"/>",
                                  OSTAK_E_INVALID_DOCUMENT);
    EXPECT_STREQ(before.VersionText(), "7.5");
    EXPECT_FALSE(before.Saved());
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
    EXPECT_STREQ(file.VersionText(), "");
    ASSERT_NE(file.Applications().FirstAppl(), nullptr);
    EXPECT_EQ(file.Applications().FirstAppl()->Enabled(), 0);
    ASSERT_NE(FirstRule(file), nullptr);
    EXPECT_EQ(FirstRule(file)->Level(), 1);
    EXPECT_EQ(CountMessages(kMsgAttrInvalid), 3);
}

TEST_F(LoadSaveLoad, TextsArriveJoinedAndUntrimmed) {
    OstakFileInMem &file =
        Load("<AED><Application><Rule><Text>  a&amp;b&lt;c&gt;d&quot;e&apos;f&#65;  </Text>"
             "<Prefix>x<![CDATA[<y>]]>z</Prefix><Suffix> </Suffix></Rule></Application></AED>",
             OSTAK_OK);
    ASSERT_NE(FirstRule(file), nullptr);
    EXPECT_STREQ(FirstRule(file)->Text(), "  a&b<c>d\"e'fA  ");
    EXPECT_STREQ(FirstRule(file)->Prefix(), "x<y>z");
    EXPECT_STREQ(FirstRule(file)->Suffix(), " ");
}

TEST_F(LoadSaveLoad, ATabReferenceIsRefusedAndTheFieldKeepsItsEarlierPieces) {
    OstakFileInMem &file =
        Load("<AED><Application><Rule><Text>&#9;</Text></Rule><Rule Name=\"b\"><Text>ab&#9;c"
             "</Text><Prefix>p&#10;</Prefix></Rule></Application></AED>",
             OSTAK_E_LINE_BREAK);
    const OstakElemRule *first = FirstRule(file);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->Text(), "");
    ASSERT_NE(first->NextRule(), nullptr);
    // The parser hands the reference over with the text after it, as one piece.
    EXPECT_STREQ(first->NextRule()->Text(), "ab") << "the pieces before the refused one stay";
    EXPECT_STREQ(first->NextRule()->Prefix(), "p");
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
    EXPECT_EQ(ApplNames(dropped), Names{"mixed"});
    ASSERT_NE(FirstRule(dropped), nullptr);
    EXPECT_STREQ(FirstRule(dropped)->Name(), "b");
    EXPECT_EQ(FirstRule(dropped)->NextRule(), nullptr);
    EXPECT_TRUE(MessagesBeyondTrace().empty());

    OstakFileInMem &kept = Load(body, OSTAK_OK, false);
    EXPECT_EQ(ApplNames(kept), (Names{"mixed", "noRules", "off", "onlyDisabled"}));
    EXPECT_EQ(kept.Applications().FindAppl("off")->Enabled(), 0);
    EXPECT_EQ(kept.Applications().FindAppl("onlyDisabled")->Rules()->FirstRule()->Level(), 0);
}

TEST_F(LoadSaveLoad, TheDiscardRuleTakesNameTimeAndHostTogether) {
    OstakFileInMem &file =
        Load("<AED><Application Name=\"ASP\" StampTime=\"1008838932\" StampHost=\"OSK\"><Rule "
             "Name=\"r\"/></Application>"
             "<Application Name=\"ASP\" StampTime=\"1008838933\" StampHost=\"OSK\"/>"
             "<Application Name=\"ASP\" StampTime=\"1008838932\" StampHost=\"OSX\"/>"
             "<Application Name=\"ASq\" StampTime=\"1008838932\" StampHost=\"OSK\"/></AED>",
             OSTAK_E_DUPLICATE_NAME);
    EXPECT_EQ(ApplNames(file), (Names{"ASP", "ASP", "ASq"}));
    for (const OstakElemAppl *a = file.Applications().FirstAppl(); a != nullptr; a = a->NextAppl()) {
        EXPECT_TRUE(a->Rules()->Empty()) << "the discarded application's rule went with it";
    }
    EXPECT_EQ(CountMessages(kMsgApplDuplicate), 1) << "the discarded one is not a namesake";
}

TEST_F(LoadSaveLoad, LoadingAddsToWhatTheListHolds) {
    OstakFileInMem &file = Make(0, dir_.Write("rules.xml", Doc("<AED><Application Name=\"b\"/></AED>")));
    AppendAppl(file, ApplSpec{"a", {}, 0, 1, "h", 1});
    AppendAppl(file, ApplSpec{"c", {}, 0, 1, "h", 1});
    EXPECT_EQ(file.Load(false), OSTAK_OK);
    EXPECT_EQ(ApplNames(file), (Names{"a", "b", "c"}));
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
    const OstakElemRule *second = FirstRule(file);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second->NextRule(), nullptr);
    const OstakElemRule *first = second->NextRule();
    EXPECT_STREQ(first->Text(), "atb") << "before any text element, text goes to Text";
    EXPECT_STREQ(first->Prefix(), "pc");
    EXPECT_STREQ(second->Text(), "");
    EXPECT_STREQ(second->Prefix(), "d") << "the text type carries over to the next rule";
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
        ASSERT_EQ(clean.Load(false), OSTAK_OK);
    }
    const uint64_t allocations = AllocationAttempts() - before;
    ASSERT_GT(allocations, 10u);
    for (uint64_t at = 1; at <= allocations; ++at) {
        OstakFileInMem &file = Make(0, path);
        Log().clear();
        Seams().failAllocationAt = at;
        const int32_t rc = file.Load(false);
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
