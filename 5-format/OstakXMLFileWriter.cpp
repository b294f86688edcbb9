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
    TqwiUcConverter converter(m_Icu);
    converter.ToUc(text, static_cast<uint32_t>(std::strlen(text)));
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
