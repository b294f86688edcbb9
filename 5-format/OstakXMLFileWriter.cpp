#include "5-format/OstakXMLFileWriter.h"

#include "4-transcode/TqwiUcConverter.h"
#include "5-format/OstakUnwritableCharacter.h"

#include <cinttypes>
#include <cstring>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace ostak {

namespace {

const XMLCh *FormatterEncoding(BodyEncoding encoding) noexcept {
    return encoding == BodyEncoding::kUtf8 ? xercesc::XMLUni::fgUTF8EncodingString
                                           : xercesc::XMLUni::fgISO88591EncodingString;
}

// Whether the text is printable ASCII that no escaping changes: none of
// & < > " ' (the characters either set of escapes names), no control
// character and nothing beyond U+007E.
bool NeedsNoFormatting(const char *text, std::size_t length) noexcept {
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte > 0x7E || byte == '&' || byte == '<' || byte == '>' || byte == '"' ||
            byte == '\'') {
            return false;
        }
    }
    return true;
}

} // namespace

OstakXMLFileWriter::OstakXMLFileWriter(std::FILE *file, BodyEncoding encoding, bool icuPath)
    : m_Target(file),
      m_Formatter(FormatterEncoding(encoding), &m_Target, xercesc::XMLFormatter::StdEscapes,
                  xercesc::XMLFormatter::UnRep_Fail, xercesc::XMLPlatformUtils::fgMemoryManager),
      m_Icu(icuPath), m_OutOfMemory(!m_Target.HasBlock()) {}

void OstakXMLFileWriter::NoteUnwritable(const char *owner, uint32_t character) noexcept {
    if (m_UnwritableName == nullptr) {
        m_UnwritableName = owner;
        m_UnwritableCharacter = character;
    }
}

void OstakXMLFileWriter::Format(const char *owner, const char *text,
                                xercesc::XMLFormatter::EscapeFlags escapes) {
    const std::size_t length = std::strlen(text);
    // Most names and values: the formatter would give these very bytes, in
    // UTF-8 and in ISO-8859-1 alike.
    if (m_Icu.KeepsPrintableAscii() && NeedsNoFormatting(text, length)) {
        m_Target.WriteBytes(text, length);
        return;
    }
    TqwiUcConverter converter(m_Icu);
    converter.ToUc(text, static_cast<uint32_t>(length));
    if (converter.OutOfMemory()) {
        m_OutOfMemory = true;
        return;
    }
    if (!converter.UcValid()) {
        NoteUnwritable(owner, 0);
        return;
    }
    const char16_t *units = converter.GetUc();
    const std::size_t count = converter.UcLength();
    const int64_t bad = FirstUnwritableCharacter(units, count);
    if (bad >= 0) {
        NoteUnwritable(owner, static_cast<uint32_t>(bad));
        return;
    }
    m_Formatter.formatBuf(units, count, escapes, xercesc::XMLFormatter::UnRep_Fail);
}

void OstakXMLFileWriter::WriteTagStart(const char *name) noexcept {
    m_Target.WriteTabs(m_Depth);
    m_Target.WriteBytes("<", 1);
    m_Target.WriteText(name);
}

void OstakXMLFileWriter::WriteAttribute(const char *name, const char *value) {
    m_Target.WriteBytes(" ", 1);
    Format(name, name, xercesc::XMLFormatter::StdEscapes);
    m_Target.WriteBytes("=\"", 2);
    Format(name, value, xercesc::XMLFormatter::AttrEscapes);
    m_Target.WriteBytes("\"", 1);
}

void OstakXMLFileWriter::WriteAttributeLong(const char *name, int32_t value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%" PRIu32, static_cast<uint32_t>(value));
    WriteAttribute(name, digits);
}

void OstakXMLFileWriter::WriteStartTagEnd() noexcept {
    m_Target.WriteBytes(">\r\n", 3);
    ++m_Depth;
}

void OstakXMLFileWriter::WriteTextElement(const char *name, const char *text) {
    WriteTagStart(name);
    m_Target.WriteBytes(">", 1);
    Format(name, text, xercesc::XMLFormatter::StdEscapes);
    m_Target.WriteBytes("</", 2);
    m_Target.WriteText(name);
    m_Target.WriteBytes(">\r\n", 3);
}

void OstakXMLFileWriter::WriteTagEnd(const char *name, bool outdent) noexcept {
    if (outdent) {
        if (m_Depth > 0) {
            --m_Depth;
        }
        m_Target.WriteTabs(m_Depth);
    }
    m_Target.WriteBytes("</", 2);
    m_Target.WriteText(name);
    m_Target.WriteBytes(">\r\n", 3);
}

} // namespace ostak
