// The head's encoding label follows the encoding the body is written in.
#include "5-format/OstakHeadEncoding.h"

#include <gtest/gtest.h>

#include <string>

using namespace ostak;

namespace {

std::string Relabel(const std::string &head, BodyEncoding encoding) {
    std::string out(head.size() + kHeadRelabelSlack, '\0');
    out.resize(RelabelHead(head.data(), head.size(), encoding, &out[0]));
    return out;
}

const BodyEncoding kLatin1 = BodyEncoding::kLatin1;
const BodyEncoding kUtf8 = BodyEncoding::kUtf8;

TEST(XmlHeadEncoding, TheLabelNamesTheBodysEncoding) {
    struct Case {
        const char *head;
        BodyEncoding encoding;
        const char *expected;
    };
    const Case cases[] = {
        // A label that already agrees, in any case, stays byte for byte.
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<!DOCTYPE AED>", kLatin1,
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<!DOCTYPE AED>"},
        {"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>", kLatin1,
         "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>"},
        {"<?xml version='1.0' encoding='utf-8'?>", kUtf8, "<?xml version='1.0' encoding='utf-8'?>"},
        // Another label is replaced, its quotes and the rest kept.
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<!DOCTYPE AED>", kUtf8,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE AED>"},
        {"<?xml version='1.0' encoding = 'UTF-8' standalone='yes'?>\n", kLatin1,
         "<?xml version='1.0' encoding = 'ISO-8859-1' standalone='yes'?>\n"},
        {"<?xml version=\"1.0\"\tencoding=\"latin1\"?>", kLatin1,
         "<?xml version=\"1.0\"\tencoding=\"ISO-8859-1\"?>"},
        // No label: UTF-8 by default, so only a Latin-1 body needs one.
        {"<?xml version=\"1.0\"?>", kUtf8, "<?xml version=\"1.0\"?>"},
        {"<?xml version=\"1.0\" standalone=\"no\"?>", kLatin1,
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\"?>"},
        // No declaration at all.
        {"<!DOCTYPE AED []>", kUtf8, "<!DOCTYPE AED []>"},
        {"<!DOCTYPE AED []>", kLatin1,
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<!DOCTYPE AED []>"},
        {"", kLatin1, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"},
        // A UTF-8 byte order mark stays before a UTF-8 body only.
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>", kUtf8,
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>", kLatin1,
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"},
        // An "encoding" that is no pseudo-attribute of the declaration is not a label.
        {"<?xml version=\"1.0\"?><!-- encoding=\"UTF-8\" -->", kUtf8,
         "<?xml version=\"1.0\"?><!-- encoding=\"UTF-8\" -->"},
        {"<?xml version=\"1.0\" myencoding=\"x\"?>", kLatin1,
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" myencoding=\"x\"?>"},
        // A declaration cut off or without a version is left for the parser to judge.
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"", kLatin1, "<?xml version=\"1.0\" encoding=\"UTF-8\""},
        {"<?xml encoding=\"x\"?>", kUtf8, "<?xml encoding=\"UTF-8\"?>"},
        {"<?xml standalone=\"no\"?>", kLatin1, "<?xml standalone=\"no\"?>"},
        // A processing instruction whose target merely starts with xml is not a declaration.
        {"<?xml-stylesheet href=\"a\"?>", kUtf8, "<?xml-stylesheet href=\"a\"?>"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Relabel(c.head, c.encoding), c.expected) << c.head;
    }
}

TEST(XmlHeadEncoding, TheSlackCoversTheLongestGrowth) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"\"?>";
    const std::string grown = Relabel(head, kLatin1);
    EXPECT_EQ(grown, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    const std::string prepended = Relabel("x", kLatin1);
    EXPECT_LE(prepended.size(), 1 + kHeadRelabelSlack);
}

} // namespace
