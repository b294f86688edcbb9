// Loads refuse what cannot be a rule file instead of changing it: characters
// the process's 8-bit text has no place for, characters a rule file cannot
// carry, and documents whose root is not AED. Each refusal gives result 23
// and one message, and what is refused stays out of the model.
#include "tests/support/Fixtures.h"

using namespace ostak;
using namespace ostak_test;

namespace {

constexpr const char *kHandlerSource = "5-format/AedDocumentHandler.cpp";
// The shipped head's lines: a body starts on the line after them.
constexpr int kHeadLines = 25;

const char *const kNoPlace =
    " has no place in the 8-bit text of this process (it reads files as ISO-8859-1 in "
    "this locale); load it in a UTF-8 locale or with the converter switch (ostak --utf8)";
const char *const kControl = " is a control character that a rule file cannot carry";

std::string Line(int bodyLine) {
    return std::to_string(kHeadLines + bodyLine);
}

struct Case {
    const char *what;
    std::string content;
    int32_t rc;
    // The one message's function and text after the character's place; empty when none.
    const char *func;
    std::string message;
    std::string loaded; // Describe of what the object holds after the load
};

class LoadSaveRefusal : public LoadSaveTest {
  protected:
    std::string Path() const { return dir_.File("rules.xml"); }

    // "Character U+XXXX at line L, column C of file "path"".
    std::string InText(const char *character, int bodyLine, int column) const {
        return std::string("Character ") + character + " at line " + Line(bodyLine) + ", column " +
               std::to_string(column) + " of file \"" + Path() + "\"";
    }
    // "Character U+XXXX in the tag ending at line L, column C of file "path"".
    std::string InTag(const char *character, int bodyLine, int column) const {
        return std::string("Character ") + character + " in the tag ending at line " + Line(bodyLine) +
               ", column " + std::to_string(column) + " of file \"" + Path() + "\"";
    }

    void Check(const Case &c) {
        SCOPED_TRACE(c.what);
        int32_t rc = -1;
        OstakFileInMem &file = LoadText(c.content, false, &rc);
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(file.LoadResult(), c.rc);
        const std::vector<LogRecord> messages = MessagesBeyondTrace();
        if (c.message.empty()) {
            EXPECT_TRUE(messages.empty());
        } else {
            ASSERT_EQ(messages.size(), 1u) << "heard exactly once";
            EXPECT_EQ(messages[0].text, c.message);
            EXPECT_EQ(messages[0].number, kMsgText);
            EXPECT_EQ(messages[0].func, c.func);
            EXPECT_EQ(messages[0].level, kLevelError);
            EXPECT_NE(SourceLine(kHandlerSource, messages[0].line).find("MsgFormatAndIssue(kMsgText"),
                      std::string::npos);
        }
        EXPECT_EQ(Describe(file), c.loaded);
    }
};

constexpr const char *kCharacters = "AedDocumentHandler::characters";
constexpr const char *kStart = "AedDocumentHandler::startElement";

// An application A (line 1) whose rules stand on line 2, then B (line 3).
std::string Body(const std::string &rulesLine, const std::string &host = "h") {
    return "<AED TqVersion=\"7.6\"><Application Name=\"A\" Enabled=\"true\" StampTime=\"7\" StampHost=\"" +
           host + "\">\n" + rulesLine +
           "\n</Application><Application Name=\"B\" Enabled=\"true\" StampTime=\"7\" "
           "StampHost=\"h\"/></AED>\n";
}

// What a load of Body() holds when A keeps these rules, and when A is left out.
std::string Kept(const std::string &rules) {
    return "AED version='7.6'\nA 'h'@7 {" + rules + "}\nB 'h'@7 {}";
}
const char *const kOnlyB = "AED version='7.6'\nB 'h'@7 {}";

TEST_F(LoadSaveRefusal, OnThePlainPathACharacterBeyondFFIsRefusedAndNamedOnce) {
    ASSERT_EQ(xeOsCharsetType(), 0) << "the C locale";
    const Case cases[] = {
        {"U+20AC in Text; the rule stays with the values taken",
         Utf8Doc(Body("<Rule Name=\"r\"><Text>5\xE2\x82\xAC</Text><Prefix>p</Prefix></Rule>")),
         OSTAK_E_INVALID_DOCUMENT, kCharacters, InText("U+20AC", 2, 23) + kNoPlace, Kept("r='' prefix='p'")},
        {"U+20AC in a later piece of Prefix: the pieces before it stay",
         Utf8Doc(Body("<Rule Name=\"r\"><Text>t</Text><Prefix>a&amp;b\xE2\x82\xAC</Prefix></Rule>")),
         OSTAK_E_INVALID_DOCUMENT, kCharacters, InText("U+20AC", 2, 45) + kNoPlace, Kept("r='t' prefix='a'")},
        {"U+20AC in StampHost leaves the application out with its rules",
         Utf8Doc(Body("<Rule Name=\"r\"><Text>t</Text></Rule>", "h\xE2\x82\xAC")), OSTAK_E_INVALID_DOCUMENT,
         kStart, InTag("U+20AC", 1, 88) + kNoPlace, kOnlyB},
        {"U+20AC in a rule's Name leaves the rule out, with no second message",
         Utf8Doc(Body("<Rule Name=\"r\xE2\x82\xAC\"><Text>t</Text></Rule><Rule Name=\"s\"/>")),
         OSTAK_E_INVALID_DOCUMENT, kStart, InTag("U+20AC", 2, 17) + kNoPlace, Kept("s=''")},
        {"U+2013 once became the control character 0x13",
         Utf8Doc(Body("<Rule Name=\"r\"><Suffix>1\xE2\x80\x93"
                      "2</Suffix></Rule>")),
         OSTAK_E_INVALID_DOCUMENT, kCharacters, InText("U+2013", 2, 25) + kNoPlace, Kept("r=''")},
        {"U+1F600 is named as one character; it takes two columns",
         Utf8Doc(Body("<Rule Name=\"r\"><Text>\xF0\x9F\x98\x80x</Text></Rule>")), OSTAK_E_INVALID_DOCUMENT,
         kCharacters, InText("U+1F600", 2, 22) + kNoPlace, Kept("r=''")},
        {"a line break after the character: its own line and column",
         Utf8Doc(Body("<Rule Name=\"r\"><Text>ab\xE2\x82\xAC\nc</Text></Rule>")), OSTAK_E_INVALID_DOCUMENT,
         kCharacters, InText("U+20AC", 2, 24) + kNoPlace, Kept("r=''")},
        {"only the first refused character is reported",
         Utf8Doc(Body("<Rule Name=\"r\"><Text>\xE2\x82\xAC</Text><Prefix>\xE2\x82\xAC</Prefix></Rule>"
                      "<Rule Name=\"s\" Type=\"\xE2\x82\xAC\"/>")),
         OSTAK_E_INVALID_DOCUMENT, kCharacters, InText("U+20AC", 2, 22) + kNoPlace, Kept("r=''")},
        {"U+00E9 and U+00FF load exactly",
         Utf8Doc(
             Body("<Rule Name=\"r\"><Text>\xC3\xA9</Text><Prefix>\xC3\xBF</Prefix><Suffix>\xC3\xA9\xC3\xBF"
                  "</Suffix></Rule>")),
         OSTAK_OK, "", "", Kept("r='\\xE9' prefix='\\xFF' suffix='\\xE9\\xFF'")},
    };
    for (const Case &c : cases) {
        Check(c);
    }
}

TEST_F(LoadSaveRefusal, WhatCannotBeARuleFileIsRefusedOnce) {
    const std::string decl = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
    const Case cases[] = {
        {"a root of another name; what it holds stays out",
         decl + "<!DOCTYPE Foo [<!ELEMENT Foo ANY><!ELEMENT Application ANY>"
                "<!ATTLIST Application Name CDATA #IMPLIED>]>\n<Foo><Application Name=\"A\"/></Foo>\n",
         OSTAK_E_INVALID_DOCUMENT, kStart,
         "The root element of file \"" + Path() + "\" is \"Foo\", not \"AED\" (line 3, column 6)", "AED"},
        {"an application as the root",
         decl +
             "<!DOCTYPE Application [<!ELEMENT Application (Rule*)><!ATTLIST Application Name CDATA "
             "#IMPLIED><!ELEMENT Rule (Text?)><!ATTLIST Rule Name CDATA #IMPLIED><!ELEMENT Text "
             "(#PCDATA)>]>\n<Application Name=\"A\"><Rule Name=\"r\"><Text>t</Text></Rule></Application>\n",
         OSTAK_E_INVALID_DOCUMENT, kStart,
         "The root element of file \"" + Path() + "\" is \"Application\", not \"AED\" (line 3, column 23)",
         "AED"},
        {"a control character in Text, placed at the end of its reference",
         Xml11Doc(Body("<Rule Name=\"r\"><Text>a&#x1b;b</Text></Rule>")), OSTAK_E_INVALID_DOCUMENT,
         kCharacters, InText("U+001B", 2, 28) + kControl, Kept("r='a'")},
        {"a control character in an attribute value leaves the rule out",
         Xml11Doc(Body("<Rule Name=\"r\"/><Rule Name=\"s\" Type=\"&#x1b;\"/>")), OSTAK_E_INVALID_DOCUMENT,
         kStart, InTag("U+001B", 2, 47) + kControl, Kept("r=''")},
        {"a control character in StampHost leaves the application out",
         Xml11Doc(Body("<Rule Name=\"r\"/>", "h&#1;")), OSTAK_E_INVALID_DOCUMENT, kStart,
         InTag("U+0001", 1, 91) + kControl, kOnlyB},
        {"a control character in TqVersion: the value is not taken, the rest loads",
         Xml11Doc(Replaced(Body("<Rule Name=\"r\"><Text>t</Text></Rule>"), "7.6", "7&#x1f;6")),
         OSTAK_E_INVALID_DOCUMENT, kStart, InTag("U+001F", 1, 27) + kControl,
         "AED\nA 'h'@7 {r='t'}\nB 'h'@7 {}"},
        {"a C1 control character is carried exactly",
         Xml11Doc(Body("<Rule Name=\"r\"><Text>&#x85;&#x9f;</Text></Rule>", "&#x80;")), OSTAK_OK, "", "",
         "AED version='7.6'\nA '\\x80'@7 {r='\\x85\\x9F'}\nB 'h'@7 {}"},
    };
    for (const Case &c : cases) {
        Check(c);
    }
}

TEST_F(LoadSaveRefusal, WithTheConverterSwitchACharacterBeyondFFLoadsAndAControlCharacterIsStillRefused) {
    ASSERT_EQ(xfeOstakGlobalTerm(), 0);
    ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, true), 0);
    const Case cases[] = {
        {"U+20AC and U+1F600 in UTF-8",
         Utf8Doc(Body("<Rule Name=\"r\"><Text>5\xE2\x82\xAC \xF0\x9F\x98\x80</Text></Rule>")), OSTAK_OK, "",
         "", Kept("r='5\\xE2\\x82\\xAC \\xF0\\x9F\\x98\\x80'")},
        {"a control character in Text", Xml11Doc(Body("<Rule Name=\"r\"><Text>a&#x1b;b</Text></Rule>")),
         OSTAK_E_INVALID_DOCUMENT, kCharacters, InText("U+001B", 2, 28) + kControl, Kept("r='a'")},
    };
    for (const Case &c : cases) {
        Check(c);
    }
}

} // namespace
