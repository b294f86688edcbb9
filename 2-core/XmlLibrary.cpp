#include "2-core/XmlLibrary.h"

#include <cstring>
#include <xercesc/util/PanicHandler.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace ostak {

namespace {

class ThrowingPanicHandler : public xercesc::PanicHandler {
  public:
    void panic(const xercesc::PanicHandler::PanicReasons reason) override {
        throw XmlLibraryPanic(xercesc::PanicHandler::getPanicReasonString(reason));
    }
};

ThrowingPanicHandler g_panicHandler;

} // namespace

void StartXmlLibrary() {
    xercesc::XMLPlatformUtils::Initialize(xercesc::XMLUni::fgXercescDefaultLocale, nullptr, &g_panicHandler,
                                          nullptr);
}

void StopXmlLibrary() noexcept {
    try {
        xercesc::XMLPlatformUtils::Terminate();
    } catch (...) {
        // Nothing to report to: termination has no failure of its own here.
    }
}

void XmlExceptionText(const xercesc::XMLException &error, char *buffer, std::size_t size) noexcept {
    if (size == 0) {
        return;
    }
    buffer[0] = '\0';
    const XMLCh *message = error.getMessage();
    std::size_t at = 0;
    // Plain narrowing: the message is for people; characters beyond ASCII become '?'.
    for (std::size_t i = 0; message != nullptr && message[i] != 0 && at + 1 < size; ++i) {
        const XMLCh c = message[i];
        buffer[at++] = c < 0x80 ? static_cast<char>(c) : '?';
    }
    buffer[at] = '\0';
}

} // namespace ostak
