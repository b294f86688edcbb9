// The SAX parser that reads every rule file.
//
// It validates each document against the document type declaration the
// document carries, and every validity error is a fatal error that ends the
// parse. A rule file may come from anywhere, so the parser never reads an
// external entity or an external DTD subset, from a file or from the network
// (a document that needs one fails with a fatal error), and it stops a
// document that expands entities beyond what a rule file ever needs, or that
// declares a content model complex enough to make the validator's automaton
// explode (its size can grow exponentially with the model's leaves) or nested
// deeply enough to exhaust the stack while the validator builds it.
// Namespace processing stays off, so names arrive exactly as written.
#pragma once

#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/validators/DTD/DTDElementDecl.hpp>

namespace ostak {

// Entity references a document may expand before the parse fails. The saver
// writes none (the predefined entities and character references are not
// counted), so this only has to serve hand-written files.
constexpr XMLSize_t kEntityExpansionLimit = 100;

// Leaves a content model may have. The format's own models have at most three;
// a model of n leaves can cost the validator on the order of 2^(n/2) states.
constexpr unsigned kMaxContentModelLeaves = 16;
// Levels of nesting a content model may have. The format's own models have at
// most four; the validator walks a model recursively when it builds its
// automaton, so deeper nesting could exhaust the stack.
constexpr unsigned kMaxContentModelDepth = 32;

// Refuses every external resource the parser asks for.
class OstakRefusingEntityResolver : public xercesc::XMLEntityResolver {
  public:
    xercesc::InputSource *resolveEntity(xercesc::XMLResourceIdentifier *resourceIdentifier) override;
};

class OstakSaxParser : public xercesc::SAXParser {
  public:
    OstakSaxParser();
    ~OstakSaxParser() override = default;

    OstakSaxParser(const OstakSaxParser &) = delete;
    OstakSaxParser &operator=(const OstakSaxParser &) = delete;

    // Hands a validity error to the error handler as the fatal error it is.
    void error(const unsigned int errCode, const XMLCh *const msgDomain,
               const xercesc::XMLErrorReporter::ErrTypes errType, const XMLCh *const errorText,
               const XMLCh *const systemId, const XMLCh *const publicId, const XMLFileLoc lineNum,
               const XMLFileLoc colNum) override;

    // Refuses, as a fatal error, a content model with more than
    // kMaxContentModelLeaves leaves or kMaxContentModelDepth levels of
    // nesting, before the validator builds its automaton.
    void elementDecl(const xercesc::DTDElementDecl &decl, const bool isIgnored) override;

  private:
    OstakRefusingEntityResolver m_Resolver;
    xercesc::SecurityManager m_SecurityManager;
};

} // namespace ostak
