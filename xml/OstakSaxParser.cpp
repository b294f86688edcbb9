#include "xml/OstakSaxParser.h"

#include <string>
#include <xercesc/framework/XMLErrorCodes.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/validators/common/ContentSpecNode.hpp>

namespace ostak {

namespace {

unsigned CountLeaves(const xercesc::ContentSpecNode *node) noexcept {
    if (node == nullptr) {
        return 0;
    }
    if (node->getType() == xercesc::ContentSpecNode::Leaf) {
        return 1;
    }
    return CountLeaves(node->getFirst()) + CountLeaves(node->getSecond());
}

} // namespace

xercesc::InputSource *OstakRefusingEntityResolver::resolveEntity(xercesc::XMLResourceIdentifier *) {
    // With the parser's default resolution disabled, no source means the
    // parser reports that it cannot open the entity, as a fatal error.
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
    // The parser does not pass element declarations on unless it is asked to.
    const_cast<xercesc::XMLScanner &>(getScanner()).setDocTypeHandler(this);
}

void OstakSaxParser::elementDecl(const xercesc::DTDElementDecl &decl, const bool isIgnored) {
    const unsigned leaves = CountLeaves(decl.getContentSpec());
    if (leaves > kMaxContentModelLeaves) {
        const std::string count = std::to_string(leaves);
        std::u16string text = u"the content model of element '";
        text += decl.getFullName();
        text += u"' has ";
        text.append(count.begin(), count.end());
        text += u" leaves, more than a rule file may have";
        // A fatal error: the parse ends here, before any automaton is built.
        const_cast<xercesc::XMLScanner &>(getScanner())
            .emitError(xercesc::XMLErrs::XMLException_Fatal, text.c_str());
    }
    xercesc::SAXParser::elementDecl(decl, isIgnored);
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
