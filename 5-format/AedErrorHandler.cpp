#include "5-format/AedErrorHandler.h"

#include "2-core/MsgIssue.h"
#include "3-model/OstakFileInMem.h"
#include "4-transcode/TqwiUcConverter.h"

#include <string>

namespace ostak {

void AedErrorHandler::warning(const xercesc::SAXParseException &exc) {
    report(kLevelWarning, exc);
}

void AedErrorHandler::error(const xercesc::SAXParseException &exc) {
    report(kLevelError, exc);
    m_FileInMem->SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
}

void AedErrorHandler::fatalError(const xercesc::SAXParseException &exc) {
    report(kLevelFatal, exc);
    m_FileInMem->SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
}

void AedErrorHandler::report(int32_t level, const xercesc::SAXParseException &exc) noexcept {
    const XMLCh *message = exc.getMessage();
    TqwiUcConverter text(m_IcuPath);
    if (message != nullptr) {
        // The parser's words are no user data: a character the process has no
        // byte for becomes '?' rather than emptying the message.
        text.ToMbSubstituting(message, static_cast<uint32_t>(std::char_traits<char16_t>::length(message)));
    }
    MsgFormatAndIssue(kMsgParserReport, "AedErrorHandler::report", __LINE__, level,
                      {MsgArg::Str(text.GetMb()), MsgArg::Int(static_cast<int64_t>(exc.getLineNumber())),
                       MsgArg::Int(static_cast<int64_t>(exc.getColumnNumber())),
                       MsgArg::Str(m_FileInMem->GetFileFullPath())});
}

} // namespace ostak
