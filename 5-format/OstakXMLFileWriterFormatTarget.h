// The formatter's target while a rule file is saved: every byte, from the
// formatter or written straight through, goes to one stdio stream at once.
//
// The stream is opened and closed by the saver, not here. The first write
// that fails is remembered (its errno), and nothing is written after it, so
// that the saver can refuse to put an incomplete file in place.
#pragma once

#include <cstddef>
#include <cstdio>
#include <xercesc/framework/XMLFormatter.hpp>

namespace ostak {

class OstakXMLFileWriterFormatTarget : public xercesc::XMLFormatTarget {
  public:
    explicit OstakXMLFileWriterFormatTarget(std::FILE *file) noexcept : m_File(file) {}
    ~OstakXMLFileWriterFormatTarget() override = default;

    OstakXMLFileWriterFormatTarget(const OstakXMLFileWriterFormatTarget &) = delete;
    OstakXMLFileWriterFormatTarget &operator=(const OstakXMLFileWriterFormatTarget &) = delete;

    // What the formatter produced, handed on unchanged.
    void writeChars(const XMLByte *const toWrite, const XMLSize_t count,
                    xercesc::XMLFormatter *const formatter) override;

    // Bytes that do not pass the formatter (tags, indentation, punctuation).
    void WriteBytes(const void *bytes, std::size_t count) noexcept;
    void WriteText(const char *text) noexcept;
    void WriteTabs(unsigned count) noexcept;

    // The errno of the first write that failed; 0 while every write succeeded.
    int WriteError() const noexcept { return m_WriteError; }

  private:
    std::FILE *m_File;
    int m_WriteError = 0;
};

} // namespace ostak
