// The formatter's target while a rule file is saved: every byte, from the
// formatter or written straight through, goes to one stdio stream.
//
// The bytes are gathered in a block of the target's own and handed to the
// stream a full block at a time (one locked stream call per block instead of
// one per fragment); Flush() hands on the rest. Without memory for the block
// (HasBlock() false; the saver then refuses with OSTAK_E_NO_MEMORY) every
// write would go to the stream at once, as it comes.
//
// The stream is opened and closed by the saver, not here. The first write
// that fails is remembered (its errno), and nothing is written after it, so
// that the saver can refuse to put an incomplete file in place. A write to
// the stream can only fail once the bytes reach it: the saver flushes the
// target before it asks whether every write succeeded.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <xercesc/framework/XMLFormatter.hpp>

namespace ostak {

class OstakXMLFileWriterFormatTarget : public xercesc::XMLFormatTarget {
  public:
    static constexpr std::size_t kBlockSize = 64 * 1024;

    explicit OstakXMLFileWriterFormatTarget(std::FILE *file) noexcept;
    ~OstakXMLFileWriterFormatTarget() override;

    OstakXMLFileWriterFormatTarget(const OstakXMLFileWriterFormatTarget &) = delete;
    OstakXMLFileWriterFormatTarget &operator=(const OstakXMLFileWriterFormatTarget &) = delete;

    // What the formatter produced, handed on unchanged.
    void writeChars(const XMLByte *const toWrite, const XMLSize_t count,
                    xercesc::XMLFormatter *const formatter) override;

    // Bytes that do not pass the formatter (tags, indentation, punctuation,
    // plain names and values). Most are gathered right here.
    void WriteBytes(const void *bytes, std::size_t count) noexcept {
        if (m_Block != nullptr && count <= kBlockSize - m_Gathered) {
            std::memcpy(m_Block + m_Gathered, bytes, count);
            m_Gathered += count;
            return;
        }
        WriteBytesPastBlock(bytes, count);
    }
    void WriteText(const char *text) noexcept;
    void WriteTabs(unsigned count) noexcept;

    // Hands every gathered byte to the stream (the stream's own buffer is
    // left to its owner).
    void Flush() noexcept;

    bool HasBlock() const noexcept { return m_Block != nullptr; }

    // The errno of the first write that failed; 0 while every write succeeded.
    int WriteError() const noexcept { return m_WriteError; }

  private:
    // WriteBytes when the bytes do not fit the rest of the block, or there is no block.
    void WriteBytesPastBlock(const void *bytes, std::size_t count) noexcept;
    // One write to the stream; a failure is remembered, and nothing is
    // written after it (bytes gathered since are dropped).
    void WriteToStream(const void *bytes, std::size_t count) noexcept;

    std::FILE *m_File;
    char *m_Block; // null: no block, writes go straight through
    std::size_t m_Gathered = 0;
    int m_WriteError = 0;
};

} // namespace ostak
