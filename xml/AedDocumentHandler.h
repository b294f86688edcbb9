// Turns the parser's events into the applications and rules of a rule file.
//
// One handler serves one parse of one rule-file object. Every element name,
// attribute and piece of text is converted into the process code page before
// it is compared or stored. Problems are issued as messages at once and
// recorded as the object's load result; the parse goes on.
#pragma once

#include "xml/OstakPendingText.h"

#include <cstddef>
#include <cstdint>
#include <xercesc/sax/DocumentHandler.hpp>
#include <xercesc/sax/Locator.hpp>

namespace ostak {

class OstakFileInMem;
class OstakElemAppl;
class OstakElemRule;
class TqwiUcConverter;

// Where character data goes (m_TextType).
constexpr int32_t kTextTypeText = 0;
constexpr int32_t kTextTypePrefix = 1;
constexpr int32_t kTextTypeSuffix = 2;

// An application of this name, stamp time and stamp host is never loaded.
constexpr const char *kDiscardedApplName = "ASP";
constexpr int32_t kDiscardedApplStampTime = 1008838932;
constexpr const char *kDiscardedApplStampHost = "OSK";

class AedDocumentHandler : public xercesc::DocumentHandler {
  public:
    AedDocumentHandler(OstakFileInMem *fileInMem, bool dropDisabled) noexcept;
    ~AedDocumentHandler() override;

    AedDocumentHandler(const AedDocumentHandler &) = delete;
    AedDocumentHandler &operator=(const AedDocumentHandler &) = delete;

    void characters(const XMLCh *const chars, const XMLSize_t length) override;
    void endDocument() override;
    void endElement(const XMLCh *const name) override;
    // Whitespace the document type declares ignorable never reaches the model.
    void ignorableWhitespace(const XMLCh *const, const XMLSize_t) override {}
    void processingInstruction(const XMLCh *const, const XMLCh *const) override {}
    void resetDocument() override {}
    void setDocumentLocator(const xercesc::Locator *const locator) override { m_Locator = locator; }
    void startDocument() override {}
    void startElement(const XMLCh *const name, xercesc::AttributeList &attrs) override;

    // Reports an attribute that cannot be taken (message -32598, or -32597
    // without a locator) and sets the load result to 23.
    void reportInvalidAttribute(const char *attrName, const char *value, const char *elemName) noexcept;

    // Stores the character data joined so far into its field. The handler
    // does this itself at every element boundary; the loader calls it once
    // the parse has ended, also when it ended early.
    void FlushText() noexcept;

  private:
    void StartAed(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    void StartApplication(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    void TakeApplicationAttributes(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    void StartRule(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    // False when the rule was dropped while its attributes were taken.
    bool TakeRuleAttributes(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    void InsertRule() noexcept;
    void DropCurrentRule() noexcept;

    // Converts UTF-16 into the code page with `converter`. A conversion that
    // fails gives "": for want of memory it is reported here (result 7),
    // otherwise the converter has reported it (result 23).
    const char *ToMb(TqwiUcConverter &converter, const XMLCh *text, std::size_t length,
                     const char *funcName) noexcept;
    // Converts the name and the value of attribute `index`. False when either
    // was lost for want of memory (already reported as 7): the caller then
    // reads no further attributes and leaves the element out, so that a lost
    // name or value is never mistaken for an invalid one.
    bool TakeAttribute(xercesc::AttributeList &attrs, XMLSize_t index, TqwiUcConverter &attrConverter,
                       TqwiUcConverter &valueConverter, const char **attrName, const char **value) noexcept;
    // After an element name was lost for want of memory the handler no longer
    // knows where it stands: it leaves everything out, in silence, until the
    // next Application starts, instead of filing what follows under the wrong
    // record or reporting it as misplaced.
    void LoseTrack() noexcept;
    // Issues -32590 as from `funcName` and sets the load result to 7.
    void NoteNoMemory(const char *funcName, int32_t line) noexcept;
    void SetLoadResult(int32_t rc) noexcept;
    // The rule field that m_TextType names.
    const char *CurrentField() const noexcept;

    OstakFileInMem *m_FileInMem;
    bool m_DropDisabled;
    bool m_SkipApplication = false;
    bool m_SkipRule = false;
    OstakElemAppl *m_CurrentApplication = nullptr;
    OstakElemRule *m_CurrentRule = nullptr;
    int32_t m_TextType = kTextTypeText;
    const xercesc::Locator *m_Locator = nullptr;

    // Character data not yet stored: the rule and field it belongs to, and
    // the field's value joined with every piece taken since.
    OstakElemRule *m_PendingRule = nullptr;
    int32_t m_PendingTextType = kTextTypeText;
    OstakPendingText m_PendingText;
};

} // namespace ostak
