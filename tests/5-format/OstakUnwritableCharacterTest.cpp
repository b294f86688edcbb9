// Characters a rule file cannot carry: what a save refuses to write and a load refuses to take.
#include "5-format/OstakUnwritableCharacter.h"

#include <gtest/gtest.h>

#include <string>

using namespace ostak;

namespace {

TEST(XmlWriter, FindsTheFirstCharacterAnXmlDocumentCannotCarry) {
    struct Case {
        std::u16string text;
        int64_t expected;
        std::size_t index;
    };
    const Case cases[] = {
        {u"", -1, 99},
        {u"plain \t\n\r text", -1, 99},
        {u"\u00e9\u0080\u009f\u007f\ufffd\u20ac", -1, 99},
        {u"\U0001F600 pair", -1, 99},
        {std::u16string(u"a\0b", 3), 0, 1},
        {u"a\u0001b\u0002", 0x01, 1},
        {u"\u001f", 0x1F, 0},
        {u"\ufffe", 0xFFFE, 0},
        {u"x\uffff", 0xFFFF, 1},
        {u"lone \xd800 high", 0xD800, 5},
        {u"\xd83d", 0xD83D, 0},
        {u"lone \xdc00 low", 0xDC00, 5},
        {u"\U0001F600\u001b", 0x1B, 2},
    };
    for (const Case &c : cases) {
        std::size_t index = 99;
        EXPECT_EQ(FirstUnwritableCharacter(c.text.data(), c.text.size(), &index), c.expected);
        EXPECT_EQ(index, c.index) << "the index is set only when a character is found";
        EXPECT_EQ(FirstUnwritableCharacter(c.text.data(), c.text.size()), c.expected);
    }
}

} // namespace
