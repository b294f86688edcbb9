// Reading a rule file into its rule-file object.
#include "2-core/ExportFrame.h"
#include "2-core/MsgIssue.h"
#include "2-core/OstakContext.h"
#include "3-model/OstakFileInMem.h"
#include "5-format/AedDocumentHandler.h"
#include "5-format/AedErrorHandler.h"
#include "5-format/OstakFileInputSource.h"
#include "5-format/OstakSaxParser.h"

namespace ostak {

namespace {

constexpr const char *kLoadFunc = "OstakFileInMem::Load";

// Runs the parse; what the parser throws past its error handler passes on.
void Parse(OstakFileInMem &file, bool dropDisabled, const OstakContext &context) {
    OstakSaxParser parser;
    AedDocumentHandler documentHandler(&file, dropDisabled, context);
    AedErrorHandler errorHandler(&file, context.icuPath);
    parser.setDocumentHandler(&documentHandler);
    parser.setErrorHandler(&errorHandler);
    OstakFileInputSource source(file.GetFileFullPath());

    IssueText("Before parser.parse(GetFileFullPath())", kLoadFunc, __LINE__, kLevelTrace);
    try {
        parser.parse(source);
    } catch (...) {
        // What was read stays, the text of an element cut short included.
        documentHandler.FlushText();
        throw;
    }
    documentHandler.FlushText();
    IssueText("After parser.parse(GetFileFullPath())", kLoadFunc, __LINE__, kLevelTrace);
}

} // namespace

int32_t OstakFileInMem::Load(bool dropDisabled, const OstakContext &context) noexcept {
    const int32_t status = ObtainFileStat();
    if (status != OSTAK_OK) {
        return status;
    }
    SetLoadResult(OSTAK_OK);
    if (!context.xmlLibraryStarted) {
        MsgFormatAndIssue(kMsgText, kLoadFunc, __LINE__, kLevelError,
                          {MsgArg::Str("OstakFileInMem::Load: the XML library is not started")});
        SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
        return LoadResult();
    }
    try {
        Parse(*this, dropDisabled, context);
    } catch (...) {
        // A failure the error handler did not see: no memory gives 7, anything
        // else 23, each with its message.
        const int32_t rc = ResultFromCurrentException(kLoadFunc);
        if (rc == OSTAK_E_NO_MEMORY) {
            MsgFormatAndIssue(kMsgNoMemory, kLoadFunc, __LINE__, kLevelError);
        }
        SetLoadResult(rc);
    }
    return LoadResult();
}

} // namespace ostak
