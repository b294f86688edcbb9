// Writes the body of a rule file: tags, indentation and punctuation as plain
// bytes, names and values through the Xerces formatter, which escapes them
// and encodes them in the body's encoding. A name or value of printable
// ASCII that needs no escape is written as its bytes wherever the conversion
// keeps ASCII: that is what the formatter would write.
//
// Every model string crosses into UTF-16 through its own converter, all on the
// one conversion path the writer was made with, and on the ICU path through
// the writer's one ICU converter. A value
// that cannot be converted, or that holds a character an XML document cannot
// carry, is not written: the writer remembers the first such value, so that
// the saver can refuse to replace the file with a damaged one.
#pragma once

#include "4-transcode/SharedIcuConverter.h"
#include "5-format/OstakHeadEncoding.h"
#include "5-format/OstakXMLFileWriterFormatTarget.h"

#include <cstdint>
#include <cstdio>
#include <xercesc/framework/XMLFormatter.hpp>

namespace ostak {

class OstakXMLFileWriter {
  public:
    // Model strings are converted on the ICU path when `icuPath`. Throws what
    // the formatter's construction throws.
    OstakXMLFileWriter(std::FILE *file, BodyEncoding encoding, bool icuPath);

    OstakXMLFileWriter(const OstakXMLFileWriter &) = delete;
    OstakXMLFileWriter &operator=(const OstakXMLFileWriter &) = delete;

    // Bytes written as they are (the head of the document).
    void WriteRaw(const void *bytes, std::size_t count) noexcept { m_Target.WriteBytes(bytes, count); }
    // The indentation, "<" and the element's name.
    void WriteTagStart(const char *name) noexcept;
    // " name=\"value\"", the value with attribute escapes.
    void WriteAttribute(const char *name, const char *value);
    // As WriteAttribute, with the number in decimal. The number is written as
    // the unsigned 32-bit value its bits hold, the form the loader reads back.
    void WriteAttributeLong(const char *name, int32_t value);
    // ">", carriage return, line feed; the depth rises by one.
    void WriteStartTagEnd() noexcept;
    // A text element on one line at the current depth: its start tag, the
    // text with the standard escapes, its end tag, carriage return, line feed.
    void WriteTextElement(const char *name, const char *text);
    // With `outdent` the depth falls by one and that many tabs are written;
    // then "</", the name, ">", carriage return, line feed.
    void WriteTagEnd(const char *name, bool outdent) noexcept;

    uint16_t Depth() const noexcept { return m_Depth; }

    // Hands every byte written so far to the stream; WriteError() then
    // covers all of them.
    void Flush() noexcept { m_Target.Flush(); }

    // The errno of the first write that failed (0: none).
    int WriteError() const noexcept { return m_Target.WriteError(); }
    // Whether the writer's output block or a conversion ran out of memory.
    bool OutOfMemory() const noexcept { return m_OutOfMemory; }
    // The first value that could not be written (null: none), and the code
    // of the character that stopped it (0 when the conversion itself failed).
    const char *UnwritableValueOf() const noexcept { return m_UnwritableName; }
    uint32_t UnwritableCharacter() const noexcept { return m_UnwritableCharacter; }

  private:
    // Converts `text` and formats it with `escapes`, unless it cannot be written.
    void Format(const char *owner, const char *text, xercesc::XMLFormatter::EscapeFlags escapes);
    void NoteUnwritable(const char *owner, uint32_t character) noexcept;

    OstakXMLFileWriterFormatTarget m_Target;
    xercesc::XMLFormatter m_Formatter;
    SharedIcuConverter m_Icu;
    uint16_t m_Depth = 0;
    bool m_OutOfMemory;
    const char *m_UnwritableName = nullptr;
    uint32_t m_UnwritableCharacter = 0;
};

} // namespace ostak
