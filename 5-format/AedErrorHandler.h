// Reports the parser's warnings, errors and fatal errors while a rule file
// is loaded, and records errors as the object's load result.
#pragma once

#include <cstdint>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>

namespace ostak {

class OstakFileInMem;

class AedErrorHandler : public xercesc::ErrorHandler {
  public:
    // The parser's texts are converted on the ICU path when `icuPath`.
    AedErrorHandler(OstakFileInMem *fileInMem, bool icuPath) noexcept
        : m_FileInMem(fileInMem), m_IcuPath(icuPath) {}
    ~AedErrorHandler() override = default;

    AedErrorHandler(const AedErrorHandler &) = delete;
    AedErrorHandler &operator=(const AedErrorHandler &) = delete;

    // Level 5; the load result does not change.
    void warning(const xercesc::SAXParseException &exc) override;
    // Level 6, then load result 23.
    void error(const xercesc::SAXParseException &exc) override;
    // Level 7, then load result 23.
    void fatalError(const xercesc::SAXParseException &exc) override;
    void resetErrors() override {}

  private:
    // Issues message -32596: the parser's text, line, column and the file's path.
    void report(int32_t level, const xercesc::SAXParseException &exc) noexcept;

    OstakFileInMem *m_FileInMem;
    bool m_IcuPath;
};

} // namespace ostak
