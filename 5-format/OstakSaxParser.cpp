#include "5-format/OstakSaxParser.h"

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

// Whether a content model stays within what a rule file may need: at most
// kMaxContentModelLeaves leaves and kMaxContentModelDepth levels of nesting.
// The validator builds its automaton recursively over the model, so a model
// nested deeply enough overflows the stack even with a single leaf. The walk
// keeps its own stack, bounded by the depth limit, and stops at the first
// excess, so a huge model costs no more than a small one.
bool ContentModelWithinLimits(const xercesc::ContentSpecNode *root) noexcept {
    struct Entry {
        const xercesc::ContentSpecNode *node;
        unsigned depth;
    };
    // Each level of nesting leaves at most one sibling waiting on the stack.
    Entry stack[kMaxContentModelDepth + 2];
    std::size_t size = 0;
    if (root != nullptr) {
        stack[size++] = {root, 1};
    }
    unsigned leaves = 0;
    while (size > 0) {
        const Entry entry = stack[--size];
        if (entry.depth > kMaxContentModelDepth) {
            return false;
        }
        if (entry.node->getType() == xercesc::ContentSpecNode::Leaf) {
            if (++leaves > kMaxContentModelLeaves) {
                return false;
            }
            continue;
        }
        if (size + 2 > sizeof stack / sizeof stack[0]) {
            return false; // cannot happen within the depth limit; kept as a guard
        }
        for (const xercesc::ContentSpecNode *child : {entry.node->getSecond(), entry.node->getFirst()}) {
            if (child != nullptr) {
                stack[size++] = {child, entry.depth + 1};
            }
        }
    }
    return true;
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
    // SAXParser implements the scanner's DocTypeHandler but never installs
    // itself as one, and has no public way to do so or to bound a content
    // model; without it elementDecl below is never called. The scanner is an
    // object the parser allocated and owns (not a const one), so writing to it
    // through the const reference getScanner() gives is well defined; this
    // class never calls useScanner, the one call that would replace it. The scanner's
    // header comes from the same Xerces-C++ package as the library, so the
    // inline setter matches the library's layout. The hostile-document tests
    // fail should the check ever stop being called.
    const_cast<xercesc::XMLScanner &>(getScanner()).setDocTypeHandler(this);
}

void OstakSaxParser::elementDecl(const xercesc::DTDElementDecl &decl, const bool isIgnored) {
    if (!ContentModelWithinLimits(decl.getContentSpec())) {
        const std::string leaves = std::to_string(kMaxContentModelLeaves);
        const std::string depth = std::to_string(kMaxContentModelDepth);
        std::u16string text = u"the content model of element '";
        text += decl.getFullName();
        text += u"' is too complex for a rule file (more than ";
        text.append(leaves.begin(), leaves.end());
        text += u" leaves or ";
        text.append(depth.begin(), depth.end());
        text += u" levels of nesting)";
        // A fatal error: the parse ends here, before any automaton is built.
        // The scanner throws to end the parse only because the constructor
        // asks it to stop at the first fatal error; keep it that way.
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
