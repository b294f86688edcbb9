#include "5-format/OstakXMLFileWriterFormatTarget.h"

#include "1-platform/Seams.h"
#include "1-platform/tasklib.h"

#include <cerrno>
#include <cstring>

namespace ostak {

OstakXMLFileWriterFormatTarget::OstakXMLFileWriterFormatTarget(std::FILE *file) noexcept
    : m_File(file), m_Block(static_cast<char *>(maw_malloc(kBlockSize))) {}

OstakXMLFileWriterFormatTarget::~OstakXMLFileWriterFormatTarget() {
    maw_free(m_Block);
}

void OstakXMLFileWriterFormatTarget::writeChars(const XMLByte *const toWrite, const XMLSize_t count,
                                                xercesc::XMLFormatter *const) {
    WriteBytes(toWrite, count);
}

void OstakXMLFileWriterFormatTarget::WriteBytesPastBlock(const void *bytes, std::size_t count) noexcept {
    if (m_Block == nullptr) {
        WriteToStream(bytes, count);
        return;
    }
    Flush();
    if (count >= kBlockSize) {
        WriteToStream(bytes, count);
        return;
    }
    std::memcpy(m_Block, bytes, count);
    m_Gathered = count;
}

void OstakXMLFileWriterFormatTarget::Flush() noexcept {
    const std::size_t gathered = m_Gathered;
    m_Gathered = 0;
    if (gathered > 0) {
        WriteToStream(m_Block, gathered);
    }
}

void OstakXMLFileWriterFormatTarget::WriteToStream(const void *bytes, std::size_t count) noexcept {
    if (m_WriteError != 0 || count == 0) {
        return;
    }
    if (Seams().saveWriteErrno != 0) {
        m_WriteError = Seams().saveWriteErrno;
        return;
    }
    errno = 0;
    if (std::fwrite(bytes, 1, count, m_File) != count) {
        m_WriteError = errno != 0 ? errno : EIO;
    }
}

void OstakXMLFileWriterFormatTarget::WriteText(const char *text) noexcept {
    WriteBytes(text, std::strlen(text));
}

void OstakXMLFileWriterFormatTarget::WriteTabs(unsigned count) noexcept {
    static const char kTabs[] = "\t\t\t\t\t\t\t\t";
    constexpr unsigned kChunk = sizeof kTabs - 1;
    while (count > 0) {
        const unsigned now = count < kChunk ? count : kChunk;
        WriteBytes(kTabs, now);
        count -= now;
    }
}

} // namespace ostak
