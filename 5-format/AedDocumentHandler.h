// Turns the parser's events into the applications and rules of a rule file.
//
// One handler serves one parse of one rule-file object. Every element name,
// attribute and piece of text is converted into the process code page before
// it is compared or stored, all on the conversion path of the load's context;
// new applications are stamped as the context says. Problems are issued as
// messages at once and recorded as the object's load result; the parse goes on.
//
// What cannot be a rule file is refused rather than changed: a document whose
// root is not AED leaves nothing in the model, and a character that a rule
// file cannot carry, or that the process's 8-bit text has no place for, keeps
// the value that holds it out of the model (result 23, one message per load).
#pragma once

#include "2-core/OstakContext.h"
#include "3-model/OstakFields.h"
#include "4-transcode/SharedIcuConverter.h"
#include "5-format/OstakPendingText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <xercesc/sax/DocumentHandler.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/util/XMLString.hpp>

namespace ostak {

class OstakFileInMem;
class OstakElemAppl;
class OstakElemRule;
class TqwiUcConverter;

// An application of this name, stamp time and stamp host is never loaded.
constexpr const char *kDiscardedApplName = "ASP";
constexpr int32_t kDiscardedApplStampTime = 1008838932;
constexpr const char *kDiscardedApplStampHost = "OSK";

class AedDocumentHandler : public xercesc::DocumentHandler {
  public:
    AedDocumentHandler(OstakFileInMem *fileInMem, bool dropDisabled, const OstakContext &context) noexcept;
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
    // Makes the current rule's chosen field the one that pending text joins,
    // storing the text pending for another first. False when its value could
    // not be taken for want of memory (reported).
    bool PendFieldOfCurrentRule() noexcept;

    // A line and column as the parser's locator gives them (0: unknown).
    struct Position {
        XMLFileLoc line = 0;
        XMLFileLoc column = 0;
    };
    // Why a character is refused.
    enum class Refusal { kUnwritable, kNoPlace };

    // The start and end of an element whose name is known.
    void StartNamedElement(const char *elemName, xercesc::AttributeList &attrs) noexcept;
    void EndNamedElement(const char *elemName) noexcept;
    void StartAed(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    void StartApplication(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    void TakeApplicationAttributes(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    void StartRule(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    // False when the rule was dropped while its attributes were taken.
    bool TakeRuleAttributes(xercesc::AttributeList &attrs, const char *elemName) noexcept;
    void InsertRule() noexcept;
    void DropCurrentRule() noexcept;

    // Converts UTF-16 into the code page with `converter`. Null when the text
    // cannot be taken, reported here: lost for want of memory (result 7, told
    // apart by the converter's OutOfMemory()) or holding a character that is
    // refused (result 23). `pieceStart` is where a piece of character data
    // starts, null for a name or value of a tag. A conversion that fails on
    // the ICU path gives "" (the converter has reported it; result 23).
    const char *ToMb(TqwiUcConverter &converter, const XMLCh *text, std::size_t length, const char *funcName,
                     const Position *pieceStart = nullptr) noexcept;
    // Sets the load result to 23 and, for the first character refused in this
    // load, issues the message that names it and where it stands.
    void RefuseCharacter(Refusal why, int64_t character, const XMLCh *text, std::size_t length,
                         std::size_t index, const Position *pieceStart, const char *funcName) noexcept;
    // Where the unit at `index` of a piece of character data stands. The
    // locator stands at the piece's end, so the units after it are counted
    // back (the parser counts columns in UTF-16 units); past a line break it
    // is counted from the line break before it in the piece, or else from
    // where the piece started. The parser begins a piece at each reference,
    // so a character given by a reference is placed at the reference's end;
    // in a piece that ends where a reference starts, the parser has read the
    // ampersand already, and a character is placed one column to the right.
    // Shortcuts, taken only where they give what converting
    // gives: a name that spells a word of the format is that word, and a text
    // of printable ASCII characters (U+0020 to U+007E) becomes the same bytes
    // and holds nothing that is refused. KnownElement and KnownAttribute
    // answer the word, or null (the caller then converts the name as usual).
    // TakePlainText answers whether the shortcut applies to the text (of
    // `length` units, or NUL-terminated when `length` is SIZE_MAX); then
    // `*taken` is the text (valid until the next call), or null
    // when it was lost for want of memory (reported as ToMb reports it).
    const char *KnownElement(const XMLCh *name) noexcept;
    const char *KnownAttribute(const XMLCh *name) noexcept;
    bool TakePlainText(const XMLCh *text, std::size_t length, const char *funcName,
                       const char **taken) noexcept;
    Position PlaceInPiece(const XMLCh *text, std::size_t length, std::size_t index,
                          const Position &pieceStart) const noexcept;
    Position Here() const noexcept;
    // The column alone: all that a piece's start is needed for.
    XMLFileLoc HereColumn() const noexcept;
    // Converts the name and the value of attribute `index`. False when either
    // was lost for want of memory or refused (already reported): the caller
    // then reads no further attributes and leaves the element out, so that a
    // lost or refused name or value is never half-taken nor reported again
    // as an invalid one.
    // The converters are made on first need.
    bool TakeAttribute(xercesc::AttributeList &attrs, XMLSize_t index,
                       std::optional<TqwiUcConverter> &attrConverter,
                       std::optional<TqwiUcConverter> &valueConverter, const char **attrName,
                       const char **value) noexcept;
    // Checks the root element's name; false (reported) when it is not AED:
    // the rest of the document is then passed over.
    bool TakeRoot(const char *elemName) noexcept;
    // After an element name was lost for want of memory the handler no longer
    // knows where it stands: it leaves everything out, in silence, until the
    // next Application starts, instead of filing what follows under the wrong
    // record or reporting it as misplaced.
    void LoseTrack() noexcept;
    // Issues -32590 as from `funcName` and sets the load result to 7.
    void NoteNoMemory(const char *funcName, int32_t line) noexcept;
    void SetLoadResult(int32_t rc) noexcept;

    OstakFileInMem *m_FileInMem;
    bool m_DropDisabled;
    OstakContext m_Context; // held by value: the caller's may be a temporary
    // The ICU converter that every string of this load is converted with.
    SharedIcuConverter m_Icu{m_Context.icuPath};
    bool m_SkipApplication = false;
    bool m_SkipRule = false;
    OstakElemAppl *m_CurrentApplication = nullptr;
    OstakElemRule *m_CurrentRule = nullptr;
    // The field of the current rule that character data goes to.
    const RuleTextField *m_TextField = FindField(kRuleTextFields, OSTAK_RULE_CHAR_TEXT);
    const xercesc::Locator *m_Locator = nullptr;
    // Whether the root element was met, and whether the document is passed
    // over (its root is not AED, or its name could not be taken).
    bool m_RootSeen = false;
    bool m_IgnoreDocument = false;
    // Whether a refused character was reported in this load.
    bool m_CharacterRefused = false;
    // The column where the parser stood when the previous event ended: where
    // the next piece of character data starts (its line is never needed).
    XMLFileLoc m_EventEndColumn = 0;

    // Character data not yet stored: the rule and field it belongs to, and
    // the field's value joined with every piece taken since.
    OstakElemRule *m_PendingRule = nullptr;
    const RuleTextField *m_PendingField = nullptr;
    OstakPendingText m_PendingText;
    // The value that the plain path's shortcut took last: a value shorter
    // than m_ShortValue there, a longer one in m_PlainText.
    char m_ShortValue[64];
    OstakPendingText m_PlainText;
};

} // namespace ostak
