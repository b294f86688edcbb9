// Issuing messages: by result code, through the catalogue and its fallback,
// and the issue-once flag.
#include "tests/support/TestSupport.h"

#include "2-core/MsgIssue.h"

using namespace ostak;
using namespace ostak_test;

namespace {

class FrameIssueTest : public CatalogueTest {};

TEST_F(FrameIssueTest, EachCodeIssuesItsCatalogueNumber) {
    struct Case {
        int32_t rc;
        int32_t number;
    };
    const Case cases[] = {
        {3, -32594},  {4, -32593},    {5, -32592},  {6, -32591},  {7, -32590},  {8, -32589},  {9, -32588},
        {10, -32587}, {11, -32586},   {12, -32585}, {13, -32584}, {14, -32583}, {15, -32582}, {16, -32581},
        {17, -32580}, {18, -32578},   {19, -32577}, {20, -32576}, {21, -32575}, {22, -32574}, {23, -32573},
        {24, -32571}, {25, -32565},   {26, -32564}, {27, -32563}, {28, -32562}, {29, -32561}, {30, -32560},
        {31, -32559}, {32, -32558},   {33, -32557}, {34, -32556}, {35, -32555}, {36, -32554}, {38, -32551},
        {41, -32572}, {1000, -32572}, {-1, -32572}};
    for (const Case &c : cases) {
        Log().clear();
        ClearIssueOnce();
        IssueMsgByRc(c.rc);
        ASSERT_EQ(Log().size(), 1u) << "code " << c.rc;
        const LogRecord &got = Log()[0];
        EXPECT_EQ(got.number, c.number) << "code " << c.rc;
        EXPECT_EQ(got.func, "xfeOstakIssueMsgByRc");
        EXPECT_EQ(got.line, 89);
        EXPECT_EQ(got.level, 6);
        EXPECT_EQ(got.text.find("FormatGenericMessage failed"), std::string::npos)
            << "the catalogue has a text for " << c.number;
        EXPECT_TRUE(IssuedOnce());
    }
}

TEST_F(FrameIssueTest, CodesOneAndTwoAreLiteralTexts) {
    IssueMsgByRc(1);
    IssueMsgByRc(2);
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[0].number, 0);
    EXPECT_EQ(Log()[0].text, "Message handler init failed");
    EXPECT_EQ(Log()[1].text, "Message file add/remove failed");
    for (const LogRecord &record : Log()) {
        EXPECT_EQ(record.func, "xfeOstakIssueMsgByRc");
        EXPECT_EQ(record.line, 99);
        EXPECT_EQ(record.level, 6);
    }
}

TEST_F(FrameIssueTest, ZeroAndCodesWhoseMessageWentOutAlreadyIssueNothing) {
    for (int32_t rc : {0, 37, 39, 40}) {
        ClearIssueOnce();
        IssueMsgByRc(rc);
        EXPECT_FALSE(IssuedOnce()) << rc;
    }
    Globals().issuedOnce = true;
    IssueMsgByRc(37);
    EXPECT_TRUE(IssuedOnce()) << "the flag stays as it was";
    EXPECT_TRUE(Log().empty());
}

TEST_F(FrameIssueTest, CatalogueThatCannotFormatGivesTheFallbackText) {
    Seams().formatFailsFor = -32594;
    IssueMsgByRc(3);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, -32594);
    EXPECT_EQ(Log()[0].text, "FormatGenericMessage failed in fvOstakMsgFormatAndIssue for miMsgId=-32594, "
                             "mpszFuncName=xfeOstakIssueMsgByRc, miFuncLine=89");
    EXPECT_EQ(Log()[0].func, "xfeOstakIssueMsgByRc");
    EXPECT_EQ(Log()[0].line, 89);
    EXPECT_EQ(Log()[0].level, 6);
    EXPECT_TRUE(IssuedOnce());
}

TEST_F(FrameIssueTest, FallbackFitsTheLongestFunctionName) {
    Seams().formatFailsAll = true;
    const std::string longName = "AedDocumentHandler::startElement";
    MsgFormatAndIssue(-32567, longName.c_str(), 123456, 6, {MsgArg::Str("r")});
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_NE(Log()[0].text.find("miFuncLine=123456"), std::string::npos);
}

TEST_F(FrameIssueTest, MessageWithoutCallbackIsLostButSetsTheFlag) {
    Globals().logCallback = nullptr;
    MsgFormatAndIssue(-32568, "f", 1, 6, {MsgArg::Str("App")});
    EXPECT_TRUE(IssuedOnce());
    EXPECT_TRUE(Log().empty());
}

TEST_F(FrameIssueTest, IssueUnlessIssuedSpeaksOncePerCall) {
    EXPECT_EQ(IssueUnlessIssued(7), 7);
    EXPECT_EQ(IssueUnlessIssued(7), 7);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, -32590);
    ClearIssueOnce();
    EXPECT_EQ(IssueUnlessIssued(0), 0);
    EXPECT_EQ(Log().size(), 1u);
}

// Every catalogue number the library issues has a text that names all of its arguments.
TEST_F(FrameIssueTest, CatalogueTextsNameAllTheirArguments) {
    struct Case {
        int32_t number;
        int arguments;
    };
    const Case direct[] = {{-32599, 1}, {-32598, 6}, {-32597, 4}, {-32596, 4}, {-32590, 0},
                           {-32570, 3}, {-32568, 1}, {-32567, 5}, {-32566, 2}, {-32553, 1},
                           {-32552, 1}, {-32550, 2}, {-32549, 2}, {-32548, 3}};
    for (const Case &c : direct) {
        const char *text = CatalogueText(c.number);
        ASSERT_NE(text, nullptr) << c.number;
        for (int i = 1; i <= 9; ++i) {
            const bool named = std::string(text).find("%" + std::to_string(i)) != std::string::npos;
            EXPECT_EQ(named, i <= c.arguments) << c.number << " argument " << i;
        }
    }
    for (int32_t number = -32599; number <= -32548; ++number) {
        if (number == -32595 || number == -32579 || number == -32569) {
            continue; // numbers the library never issues
        }
        EXPECT_NE(CatalogueText(number), nullptr) << number;
    }
}

} // namespace
