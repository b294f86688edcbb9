// Starting and stopping Xerces-C++.
//
// Xerces is started with a panic handler of our own that throws
// XmlLibraryPanic instead of ending the process (the default handler exits);
// the export firewall catches it, so the caller's process never ends inside
// the library.
#pragma once

#include <cstddef>
#include <stdexcept>

#include <xercesc/util/XMLException.hpp>

namespace ostak {

class XmlLibraryPanic : public std::runtime_error {
  public:
    explicit XmlLibraryPanic(const char *reason) : std::runtime_error(reason) {}
};

// XMLPlatformUtils::Initialize with our panic handler. Throws what Xerces
// throws (or XmlLibraryPanic); the caller's export firewall catches it.
void StartXmlLibrary();
// XMLPlatformUtils::Terminate; never throws.
void StopXmlLibrary() noexcept;

// The exception's message as 8-bit text into `buffer` (truncated to fit).
void XmlExceptionText(const xercesc::XMLException &error, char *buffer, std::size_t size) noexcept;

} // namespace ostak
