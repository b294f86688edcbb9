#include "xml/OstakSaxParser.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <xercesc/framework/XMLErrorCodes.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/validators/common/ContentSpecNode.hpp>

namespace ostak {

namespace {

// Counts the leaves of a content model, stopping as soon as the count passes
// `limit`. The walk keeps its own small stack: a model nested deeper than that
// is beyond any rule file too, and counts as past the limit.
unsigned CountLeaves(const xercesc::ContentSpecNode *root, unsigned limit) noexcept {
    constexpr std::size_t kMaxDepth = 64;
    const xercesc::ContentSpecNode *stack[kMaxDepth];
    std::size_t depth = 0;
    if (root != nullptr) {
        stack[depth++] = root;
    }
    unsigned leaves = 0;
    while (depth > 0) {
        const xercesc::ContentSpecNode *node = stack[--depth];
        if (node->getType() == xercesc::ContentSpecNode::Leaf) {
            if (++leaves > limit) {
                return leaves;
            }
            continue;
        }
        for (const xercesc::ContentSpecNode *child : {node->getSecond(), node->getFirst()}) {
            if (child == nullptr) {
                continue;
            }
            if (depth == kMaxDepth) {
                return limit + 1;
            }
            stack[depth++] = child;
        }
    }
    return leaves;
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
    if (CountLeaves(decl.getContentSpec(), kMaxContentModelLeaves) > kMaxContentModelLeaves) {
        const std::string limit = std::to_string(kMaxContentModelLeaves);
        std::u16string text = u"the content model of element '";
        text += decl.getFullName();
        text += u"' is too complex for a rule file (more than ";
        text.append(limit.begin(), limit.end());
        text += u" leaves)";
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
