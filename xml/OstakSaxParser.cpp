#include "xml/OstakSaxParser.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace ostak {

xercesc::InputSource *OstakRefusingEntityResolver::resolveEntity(xercesc::XMLResourceIdentifier *) {
    // With the parser's default resolution disabled, no source means the
    // parser reports that it cannot open the entity, as a fatal error.
    ++m_Refused;
    return nullptr;
}

OstakSaxParser::OstakSaxParser()
    : xercesc::SAXParser(nullptr, xercesc::XMLPlatformUtils::fgMemoryManager, nullptr) {
    setValidationScheme(xercesc::SAXParser::Val_Always);
    setValidationConstraintFatal(true);
    setExitOnFirstFatalError(true);
    setDoNamespaces(false);
    setDoSchema(false);
    setLoadExternalDTD(false);
    setDisableDefaultEntityResolution(true);
    setXMLEntityResolver(&m_Resolver);
    m_SecurityManager.setEntityExpansionLimit(kEntityExpansionLimit);
    setSecurityManager(&m_SecurityManager);
}

void OstakSaxParser::error(const unsigned int errCode, const XMLCh *const msgDomain,
                           const xercesc::XMLErrorReporter::ErrTypes errType, const XMLCh *const errorText,
                           const XMLCh *const systemId, const XMLCh *const publicId, const XMLFileLoc lineNum,
                           const XMLFileLoc colNum) {
    // The parser ends the parse at a validity error (the constraint is fatal)
    // but reports it as a plain error; report it as what it is.
    xercesc::XMLErrorReporter::ErrTypes type = errType;
    if (type == xercesc::XMLErrorReporter::ErrType_Error && getValidationConstraintFatal() &&
        xercesc::XMLString::equals(msgDomain, xercesc::XMLUni::fgValidityDomain)) {
        type = xercesc::XMLErrorReporter::ErrType_Fatal;
    }
    xercesc::SAXParser::error(errCode, msgDomain, type, errorText, systemId, publicId, lineNum, colNum);
}

} // namespace ostak
