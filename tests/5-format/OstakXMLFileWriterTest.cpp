// Names and values as the writer writes them, against the Xerces formatter
// itself: for every printable ASCII character, alone and between others, in
// an attribute and in a text element, on the plain path and on the ICU path,
// the bytes are exactly what formatting the converted string gives.
#include "tests/support/Fixtures.h"

#include "4-transcode/TqwiUcConverter.h"
#include "5-format/OstakXMLFileWriter.h"

#include <cstdio>
#include <string>
#include <vector>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace {

using namespace ostak;
using namespace ostak_test;
using Escapes = xercesc::XMLFormatter::EscapeFlags;

// Everything the writer hands to a stream while `write` runs.
template <class Write> std::string Written(BodyEncoding encoding, bool icuPath, Write write) {
    std::FILE *file = std::tmpfile();
    if (file == nullptr) {
        ADD_FAILURE() << "no temporary file";
        return "";
    }
    {
        OstakXMLFileWriter writer(file, encoding, icuPath);
        write(writer);
        writer.Flush();
        EXPECT_EQ(writer.WriteError(), 0);
        EXPECT_FALSE(writer.OutOfMemory());
        EXPECT_EQ(writer.UnwritableValueOf(), nullptr);
    }
    std::rewind(file);
    std::string bytes;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        bytes += static_cast<char>(c);
    }
    std::fclose(file);
    return bytes;
}

// The formatter's own bytes for `units`.
std::string Formatted(BodyEncoding encoding, const std::u16string &units, Escapes escapes) {
    xercesc::MemBufFormatTarget target;
    xercesc::XMLFormatter formatter(encoding == BodyEncoding::kUtf8 ? xercesc::XMLUni::fgUTF8EncodingString
                                                                    : xercesc::XMLUni::fgISO88591EncodingString,
                                    &target, xercesc::XMLFormatter::StdEscapes,
                                    xercesc::XMLFormatter::UnRep_Fail);
    formatter.formatBuf(units.c_str(), units.size(), escapes, xercesc::XMLFormatter::UnRep_Fail);
    return std::string(reinterpret_cast<const char *>(target.getRawBuffer()), target.getLen());
}

// Each byte as the character of the same number (what ISO-8859-1 and, for
// ASCII, UTF-8 make of it).
std::u16string Widened(const std::string &bytes) {
    std::u16string units;
    for (const char byte : bytes) {
        units += static_cast<char16_t>(static_cast<unsigned char>(byte));
    }
    return units;
}

// Every printable ASCII character between two letters, and a few longer
// texts; with `beyondAscii`, one with a byte beyond ASCII too.
std::vector<std::string> Samples(bool beyondAscii) {
    std::vector<std::string> samples = {"", "plain words 123", "a&b<c>d\"e'f", "&", "'"};
    if (beyondAscii) {
        samples.push_back("caf\xE9");
    }
    for (char c = 0x20; c <= 0x7E; ++c) {
        samples.push_back(std::string("x") + c + "y");
    }
    return samples;
}

class XMLFileWriterTest : public LoadSaveTest {
  protected:
    void TearDown() override {
        SetConverterNameForTests(nullptr);
        LoadSaveTest::TearDown();
    }

    // The library with the converter switch on, ICU converting through `name`.
    void UseIcuPath(const char *name) {
        ASSERT_EQ(xfeOstakGlobalTerm(), 0);
        ASSERT_EQ(InitOver(SourceRoot(), dir_.path(), false, true), 0);
        SetConverterNameForTests(name);
        Log().clear();
    }

    // Checks an attribute and a text element for every sample, the model's
    // bytes being the characters of the same numbers.
    void ExpectFormatterBytes(BodyEncoding encoding, bool icuPath, bool beyondAscii) {
        for (const std::string &sample : Samples(beyondAscii)) {
            SCOPED_TRACE("sample \"" + sample + "\"");
            const std::string attribute = Written(
                encoding, icuPath, [&](OstakXMLFileWriter &writer) { writer.WriteAttribute("N", sample.c_str()); });
            EXPECT_EQ(attribute,
                      " N=\"" + Formatted(encoding, Widened(sample), xercesc::XMLFormatter::AttrEscapes) + "\"");
            const std::string element = Written(
                encoding, icuPath, [&](OstakXMLFileWriter &writer) { writer.WriteTextElement("T", sample.c_str()); });
            EXPECT_EQ(element,
                      "<T>" + Formatted(encoding, Widened(sample), xercesc::XMLFormatter::StdEscapes) + "</T>\r\n");
        }
    }
};

TEST_F(XMLFileWriterTest, ThePlainPathWritesWhatTheFormatterWrites) {
    for (const BodyEncoding encoding : {BodyEncoding::kLatin1, BodyEncoding::kUtf8}) {
        SCOPED_TRACE(encoding == BodyEncoding::kUtf8 ? "UTF-8" : "ISO-8859-1");
        ExpectFormatterBytes(encoding, false, true);
    }
    EXPECT_TRUE(Log().empty());
}

// In UTF-8 a lone byte beyond ASCII is no character, so that sample is left
// to the ISO-8859-1 code page.
TEST_F(XMLFileWriterTest, OnTheIcuPathACodePageThatKeepsAsciiWritesWhatTheFormatterWrites) {
    for (const bool utf8 : {false, true}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "ISO-8859-1");
        UseIcuPath(utf8 ? "UTF-8" : "ISO-8859-1");
        ExpectFormatterBytes(BodyEncoding::kUtf8, true, !utf8);
        EXPECT_TRUE(Log().empty());
    }
}

// In an EBCDIC code page the bytes of ASCII letters are other characters:
// names and values are converted, never copied ("N" is EBCDIC '+').
TEST_F(XMLFileWriterTest, OnTheIcuPathACodePageThatChangesAsciiConvertsEveryValue) {
    UseIcuPath("IBM037");
    const std::string written = Written(BodyEncoding::kUtf8, true, [](OstakXMLFileWriter &writer) {
        writer.WriteAttribute("N", "ABC");
        writer.WriteTextElement("T", "ABC");
    });
    EXPECT_EQ(written, " +=\"\xC2\xA0\xC3\xA2\xC3\xA4\"<T>\xC2\xA0\xC3\xA2\xC3\xA4</T>\r\n");
    EXPECT_TRUE(Log().empty());
}

} // namespace
