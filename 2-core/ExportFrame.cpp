#include "2-core/ExportFrame.h"

#include "2-core/MsgIssue.h"
#include "2-core/OstakGlobals.h"
#include "2-core/XmlLibrary.h"
#include "include/ostak.h"

#include <cstdio>
#include <exception>
#include <new>
#include <xercesc/framework/MemoryManager.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

namespace ostak {

namespace {

void IssueExceptionText(const char *funcName, const char *what) noexcept {
    char text[kMessageBufferSize];
    std::snprintf(text, sizeof text, "%s: exception: %s", funcName, what);
    MsgFormatAndIssue(kMsgText, funcName, __LINE__, kLevelError, {MsgArg::Str(text)});
}

} // namespace

int32_t ResultFromCurrentException(const char *funcName) noexcept {
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return OSTAK_E_NO_MEMORY;
    } catch (const xercesc::OutOfMemoryException &) {
        return OSTAK_E_NO_MEMORY;
    } catch (const XmlLibraryPanic &panic) {
        IssueExceptionText(funcName, panic.what());
    } catch (const xercesc::XMLException &error) {
        char text[kMessageBufferSize];
        XmlExceptionText(error, text, sizeof text);
        IssueExceptionText(funcName, text);
    } catch (const std::exception &error) {
        IssueExceptionText(funcName, error.what());
    } catch (...) {
        IssueExceptionText(funcName, "unknown exception");
    }
    return OSTAK_E_INVALID_DOCUMENT;
}

int32_t FinishExport(int32_t rc) noexcept {
    return IssueUnlessIssued(rc);
}

bool LibraryInitialised() noexcept {
    return Globals().initialised;
}

} // namespace ostak
