#include "5-format/OstakXMLFileWriterFormatTarget.h"

#include "1-platform/Seams.h"

#include <cerrno>
#include <cstring>

namespace ostak {

void OstakXMLFileWriterFormatTarget::writeChars(const XMLByte *const toWrite, const XMLSize_t count,
                                                xercesc::XMLFormatter *const) {
    WriteBytes(toWrite, count);
}

void OstakXMLFileWriterFormatTarget::WriteBytes(const void *bytes, std::size_t count) noexcept {
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
