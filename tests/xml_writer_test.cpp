// Characters a rule file cannot carry are found before anything is written.
#include "xml/OstakXMLFileWriter.h"

#include <gtest/gtest.h>

#include <string>

using namespace ostak;

namespace {

TEST(XmlWriter, FindsTheFirstCharacterAnXmlDocumentCannotCarry) {
    struct Case {
        std::u16string text;
        int64_t expected;
    };
    const Case cases[] = {
        {u"", -1},
        {u"plain \t\n\r text", -1},
        {u"\u00e9\u0080\u009f\u007f\ufffd\u20ac", -1},
        {u"\U0001F600 pair", -1},
        {std::u16string(u"a\0b", 3), 0},
        {u"a\u0001b\u0002", 0x01},
        {u"\u001f", 0x1F},
        {u"\ufffe", 0xFFFE},
        {u"x\uffff", 0xFFFF},
        {u"lone \xd800 high", 0xD800},
        {u"\xd83d", 0xD83D},
        {u"lone \xdc00 low", 0xDC00},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FirstUnwritableCharacter(c.text.data(), c.text.size()), c.expected);
    }
}

} // namespace
