#include "5-format/AedDocumentHandler.h"

#include "2-core/MsgIssue.h"
#include "3-model/OstakFileInMem.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "1-platform/basekit32.h"
#include "4-transcode/TqwiUcConverter.h"
#include "5-format/OstakFormatVocabulary.h"
#include "5-format/OstakUnwritableCharacter.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <xercesc/sax/AttributeList.hpp>

namespace ostak {

namespace {

constexpr const char *kStartElementFunc = "AedDocumentHandler::startElement";
constexpr const char *kCharactersFunc = "AedDocumentHandler::characters";
constexpr const char *kEndElementFunc = "AedDocumentHandler::endElement";
constexpr const char *kInvalidAttributeFunc = "AedDocumentHandler::reportInvalidAttribute";

// Room for a message that names a path of any length the system accepts.
constexpr std::size_t kRefusalTextSize = 4096 + 512;

// What a refusal says after naming the character and where it stands.
constexpr const char *kNoPlaceReason =
    "has no place in the 8-bit text of this process (it reads files as ISO-8859-1 in this locale); "
    "load it in a UTF-8 locale or with the converter switch (ostak --utf8)";
constexpr const char *kControlReason = "is a control character that a rule file cannot carry";
constexpr const char *kUnwritableReason = "is not a character that a rule file can carry";

// The handler's own names are often the very words it compares with.
bool Is(const char *text, const char *keyword) noexcept {
    return text == keyword || std::strcmp(text, keyword) == 0;
}

// Names of elements and attributes are compared by address: the handler
// always holds a name that spells a word of the format as that very word
// (Interned), so two names are the same word exactly when they are one
// pointer.
bool SameWord(const char *name, const char *word) noexcept {
    return name == word;
}

// `name`, or the word of `words` it spells.
template <std::size_t N> const char *Interned(const char *name, const char *const (&words)[N]) noexcept {
    for (const char *word : words) {
        if (std::strcmp(name, word) == 0) {
            return word;
        }
    }
    return name;
}

// The converter in `slot`, made on first need.
TqwiUcConverter &Made(std::optional<TqwiUcConverter> &slot, SharedIcuConverter &shared) noexcept {
    if (!slot) {
        slot.emplace(shared);
    }
    return *slot;
}

std::size_t Length(const XMLCh *text) noexcept {
    return text != nullptr ? std::char_traits<char16_t>::length(text) : 0;
}

// A word of the format together with its spelling in UTF-16, the
// terminating NUL included, so that a name is compared with it unit by unit
// over a length known when compiling.
template <std::size_t N> struct Spelling {
    const char *word;
    char16_t units[N];
};

constexpr std::size_t UnitsWithNul(const char *word) noexcept {
    return std::char_traits<char>::length(word) + 1;
}

template <std::size_t N> constexpr Spelling<N> Spell(const char *word) noexcept {
    Spelling<N> spelling{word, {}};
    for (std::size_t i = 0; i < N; ++i) {
        spelling.units[i] = static_cast<char16_t>(word[i]);
    }
    return spelling;
}

// Whether the UTF-16 `name` spells the word exactly, compared unit after
// unit in a row that the compiler lays out in full. The comparison stops at
// the first unit that differs, so a shorter name is read no further than its
// NUL (the words hold none before their end).
template <std::size_t N, std::size_t... I>
bool SpellsUnits(const XMLCh *name, const Spelling<N> &spelling, std::index_sequence<I...>) noexcept {
    return ((name[I] == spelling.units[I]) && ...);
}
template <std::size_t N> bool Spells(const XMLCh *name, const Spelling<N> &spelling) noexcept {
    return SpellsUnits(name, spelling, std::make_index_sequence<N>{});
}

// The first of the words that `name` spells, or null.
template <std::size_t N> const char *Either(const XMLCh *name, const Spelling<N> &spelling) noexcept {
    return Spells(name, spelling) ? spelling.word : nullptr;
}
template <std::size_t N, class... More>
const char *Either(const XMLCh *name, const Spelling<N> &spelling, const More &...more) noexcept {
    return Spells(name, spelling) ? spelling.word : Either(name, more...);
}

constexpr auto kSpelledAed = Spell<UnitsWithNul(kElemAed)>(kElemAed);
constexpr auto kSpelledApplication = Spell<UnitsWithNul(kElemApplication)>(kElemApplication);
constexpr auto kSpelledRule = Spell<UnitsWithNul(kElemRule)>(kElemRule);
constexpr auto kSpelledText = Spell<UnitsWithNul(kElemText)>(kElemText);
constexpr auto kSpelledPrefix = Spell<UnitsWithNul(kElemPrefix)>(kElemPrefix);
constexpr auto kSpelledSuffix = Spell<UnitsWithNul(kElemSuffix)>(kElemSuffix);

constexpr auto kSpelledTqVersion = Spell<UnitsWithNul(kAttrTqVersion)>(kAttrTqVersion);
constexpr auto kSpelledFileVersionInstallation =
    Spell<UnitsWithNul(kAttrFileVersionInstallation)>(kAttrFileVersionInstallation);
constexpr auto kSpelledSaved = Spell<UnitsWithNul(kAttrSaved)>(kAttrSaved);
constexpr auto kSpelledName = Spell<UnitsWithNul(kAttrName)>(kAttrName);
constexpr auto kSpelledEnabled = Spell<UnitsWithNul(kAttrEnabled)>(kAttrEnabled);
constexpr auto kSpelledStampTime = Spell<UnitsWithNul(kAttrStampTime)>(kAttrStampTime);
constexpr auto kSpelledStampHost = Spell<UnitsWithNul(kAttrStampHost)>(kAttrStampHost);
constexpr auto kSpelledFailIfNotFound = Spell<UnitsWithNul(kAttrFailIfNotFound)>(kAttrFailIfNotFound);
constexpr auto kSpelledMatchCase = Spell<UnitsWithNul(kAttrMatchCase)>(kAttrMatchCase);
constexpr auto kSpelledUseText = Spell<UnitsWithNul(kAttrUseText)>(kAttrUseText);
constexpr auto kSpelledType = Spell<UnitsWithNul(kAttrType)>(kAttrType);
constexpr auto kSpelledLevel = Spell<UnitsWithNul(kAttrLevel)>(kAttrLevel);

constexpr auto kSpelledTrue = Spell<UnitsWithNul(kValueTrue)>(kValueTrue);
constexpr auto kSpelledFalse = Spell<UnitsWithNul(kValueFalse)>(kValueFalse);
constexpr auto kSpelledLevelError = Spell<UnitsWithNul(kValueLevelError)>(kValueLevelError);

// The value word that the UTF-16 `value` spells, of the values most attributes
// hold, or null. A word is printable ASCII: taking it is what narrowing the
// value would give, wherever printable ASCII is kept.
const char *KnownValue(const XMLCh *value) noexcept {
    if (value == nullptr) {
        return nullptr;
    }
    switch (value[0]) {
    case u't':
        return Either(value, kSpelledTrue);
    case u'f':
        return Either(value, kSpelledFalse);
    case u'e':
        return Either(value, kSpelledLevelError);
    default:
        return nullptr;
    }
}

// Element and attribute names of the format, the most frequent first.
constexpr const char *kElementWords[] = {kElemRule,   kElemText,   kElemApplication,
                                         kElemPrefix, kElemSuffix, kElemAed};
constexpr const char *kAttributeWords[] = {kAttrName,
                                           kAttrFailIfNotFound,
                                           kAttrMatchCase,
                                           kAttrUseText,
                                           kAttrLevel,
                                           kAttrType,
                                           kAttrEnabled,
                                           kAttrStampTime,
                                           kAttrStampHost,
                                           kAttrTqVersion,
                                           kAttrFileVersionInstallation,
                                           kAttrSaved};

// The texts inside a rule and the flags of a rule, by the words of this
// handler, so that an interned name finds its row by address.
constexpr FormatName<RuleTextField> kTextElementWords[] = {
    {kElemText, FindField(kRuleTextFields, OSTAK_RULE_CHAR_TEXT)},
    {kElemPrefix, FindField(kRuleTextFields, OSTAK_RULE_CHAR_PREFIX)},
    {kElemSuffix, FindField(kRuleTextFields, OSTAK_RULE_CHAR_SUFFIX)},
};
constexpr FormatName<RuleFlagField> kFlagAttributeWords[] = {
    {kAttrFailIfNotFound, FindField(kRuleFlagFields, OSTAK_RULE_BOOL_FAIL_IF_NOT_FOUND)},
    {kAttrMatchCase, FindField(kRuleFlagFields, OSTAK_RULE_BOOL_MATCH_CASE)},
    {kAttrUseText, FindField(kRuleFlagFields, OSTAK_RULE_BOOL_USE_TEXT)},
};

// The row of `table` for the interned word `name`, or null.
template <class Field, std::size_t N>
const FormatName<Field> *FindWord(const FormatName<Field> (&table)[N], const char *name) noexcept {
    for (const FormatName<Field> &row : table) {
        if (SameWord(name, row.name)) {
            return &row;
        }
    }
    return nullptr;
}

bool PrintableAscii(const XMLCh *units, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        if (units[i] < 0x20 || units[i] > 0x7E) {
            return false;
        }
    }
    return true;
}

// The length of a NUL-terminated text of printable ASCII; kNotPrintable when
// it holds any other character.
constexpr std::size_t kNotPrintable = static_cast<std::size_t>(-1);
std::size_t PrintableAsciiLength(const XMLCh *units) noexcept {
    std::size_t length = 0;
    for (; units[length] != 0; ++length) {
        if (units[length] < 0x20 || units[length] > 0x7E) {
            return kNotPrintable;
        }
    }
    return length;
}

// "true" gives 1, every other value 0.
uint8_t BoolValue(const char *value) noexcept {
    return Is(value, kValueTrue) ? 1 : 0;
}

} // namespace

AedDocumentHandler::AedDocumentHandler(OstakFileInMem *fileInMem, bool dropDisabled,
                                       const OstakContext &context) noexcept
    : m_FileInMem(fileInMem), m_DropDisabled(dropDisabled), m_Context(context) {}

AedDocumentHandler::~AedDocumentHandler() = default;

void AedDocumentHandler::SetLoadResult(int32_t rc) noexcept {
    m_FileInMem->SetLoadResult(rc);
}

void AedDocumentHandler::NoteNoMemory(const char *funcName, int32_t line) noexcept {
    MsgFormatAndIssue(kMsgNoMemory, funcName, line, kLevelError);
    SetLoadResult(OSTAK_E_NO_MEMORY);
}

AedDocumentHandler::Position AedDocumentHandler::Here() const noexcept {
    Position here;
    if (m_Locator != nullptr) {
        here.line = m_Locator->getLineNumber();
        here.column = m_Locator->getColumnNumber();
    }
    return here;
}

XMLFileLoc AedDocumentHandler::HereColumn() const noexcept {
    return m_Locator != nullptr ? m_Locator->getColumnNumber() : 0;
}

AedDocumentHandler::Position AedDocumentHandler::PlaceInPiece(const XMLCh *text, std::size_t length,
                                                              std::size_t index,
                                                              const Position &pieceStart) const noexcept {
    Position place = Here();
    std::size_t breaksAfter = 0;
    for (std::size_t i = index + 1; i < length; ++i) {
        breaksAfter += text[i] == u'\n' ? 1 : 0;
    }
    const std::size_t unitsFromHere = length - index;
    if (breaksAfter == 0 && place.column > unitsFromHere) {
        place.column -= unitsFromHere;
        return place;
    }
    place.line = place.line > breaksAfter ? place.line - breaksAfter : 0;
    for (std::size_t i = index; i > 0; --i) {
        if (text[i - 1] == u'\n') {
            place.column = index - (i - 1);
            return place;
        }
    }
    place.column = pieceStart.column + index;
    return place;
}

void AedDocumentHandler::RefuseCharacter(Refusal why, int64_t character, const XMLCh *text,
                                         std::size_t length, std::size_t index, const Position *pieceStart,
                                         const char *funcName) noexcept {
    SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
    if (m_CharacterRefused) {
        return;
    }
    m_CharacterRefused = true;
    const char *reason = why == Refusal::kNoPlace ? kNoPlaceReason
                         : character < 0x20       ? kControlReason
                                                  : kUnwritableReason;
    const char *path = m_FileInMem->GetFileFullPath();
    const unsigned code = static_cast<unsigned>(character);
    char message[kRefusalTextSize];
    if (m_Locator == nullptr) {
        std::snprintf(message, sizeof message, "Character U+%04X in file \"%s\" %s", code, path, reason);
    } else if (pieceStart != nullptr) {
        // Character data: the character's own line and column.
        const Position place = PlaceInPiece(text, length, index, *pieceStart);
        std::snprintf(message, sizeof message,
                      "Character U+%04X at line %" PRIu64 ", column %" PRIu64 " of file \"%s\" %s", code,
                      static_cast<uint64_t>(place.line), static_cast<uint64_t>(place.column), path, reason);
    } else {
        // A name or value of a tag: the locator stands at the tag's end.
        const Position place = Here();
        std::snprintf(
            message, sizeof message,
            "Character U+%04X in the tag ending at line %" PRIu64 ", column %" PRIu64 " of file \"%s\" %s",
            code, static_cast<uint64_t>(place.line), static_cast<uint64_t>(place.column), path, reason);
    }
    MsgFormatAndIssue(kMsgText, funcName, __LINE__, kLevelError, {MsgArg::Str(message)});
}

const char *AedDocumentHandler::ToMb(TqwiUcConverter &converter, const XMLCh *text, std::size_t length,
                                     const char *funcName, const Position *pieceStart) noexcept {
    const XMLCh *units = text != nullptr ? text : u"";
    std::size_t index = 0;
    const int64_t unwritable = FirstUnwritableCharacter(units, length, &index);
    if (unwritable >= 0) {
        RefuseCharacter(Refusal::kUnwritable, unwritable, units, length, index, pieceStart, funcName);
        return nullptr;
    }
    converter.ToMb(units, static_cast<uint32_t>(length));
    if (converter.OutOfMemory()) {
        NoteNoMemory(funcName, __LINE__);
        return nullptr;
    }
    if (converter.Unrepresentable() >= 0) {
        RefuseCharacter(Refusal::kNoPlace, converter.Unrepresentable(), units, length,
                        converter.UnrepresentableIndex(), pieceStart, funcName);
        return nullptr;
    }
    if (!converter.MbValid()) {
        // The converter has reported why; the value counts as empty, and a
        // load that lost values does not pass for a success.
        SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
    }
    return converter.GetMb();
}

const char *AedDocumentHandler::KnownElement(const XMLCh *name) noexcept {
    if (name == nullptr || !m_Icu.KeepsPrintableAscii()) {
        return nullptr;
    }
    // The candidates by first letter, so that most names are spelled once.
    switch (name[0]) {
    case u'R':
        return Either(name, kSpelledRule);
    case u'T':
        return Either(name, kSpelledText);
    case u'A':
        return Either(name, kSpelledApplication, kSpelledAed);
    case u'P':
        return Either(name, kSpelledPrefix);
    case u'S':
        return Either(name, kSpelledSuffix);
    default:
        return nullptr;
    }
}

const char *AedDocumentHandler::KnownAttribute(const XMLCh *name) noexcept {
    if (name == nullptr || !m_Icu.KeepsPrintableAscii()) {
        return nullptr;
    }
    // The candidates by first letter, so that most names are spelled once.
    switch (name[0]) {
    case u'N':
        return Either(name, kSpelledName);
    case u'F':
        return Either(name, kSpelledFailIfNotFound, kSpelledFileVersionInstallation);
    case u'M':
        return Either(name, kSpelledMatchCase);
    case u'U':
        return Either(name, kSpelledUseText);
    case u'L':
        return Either(name, kSpelledLevel);
    case u'T':
        return Either(name, kSpelledType, kSpelledTqVersion);
    case u'E':
        return Either(name, kSpelledEnabled);
    case u'S':
        return Either(name, kSpelledStampTime, kSpelledStampHost, kSpelledSaved);
    default:
        return nullptr;
    }
}

bool AedDocumentHandler::TakePlainText(const XMLCh *text, std::size_t length, const char *funcName,
                                       const char **taken) noexcept {
    if (text == nullptr || !m_Icu.KeepsPrintableAscii()) {
        return false;
    }
    if (length == kNotPrintable) {
        // A short value is narrowed while it is checked, in one pass.
        for (std::size_t i = 0; i < sizeof m_ShortValue; ++i) {
            const XMLCh unit = text[i];
            if (unit == 0) {
                m_ShortValue[i] = '\0';
                *taken = m_ShortValue;
                return true;
            }
            if (unit < 0x20 || unit > 0x7E) {
                return false;
            }
            m_ShortValue[i] = static_cast<char>(unit);
        }
        length = PrintableAsciiLength(text);
        if (length == kNotPrintable) {
            return false;
        }
    } else if (!PrintableAscii(text, length)) {
        return false;
    }
    m_PlainText.Clear();
    if (!m_PlainText.AppendNarrowed(text, length)) {
        NoteNoMemory(funcName, __LINE__);
        *taken = nullptr;
        return true;
    }
    *taken = m_PlainText.Text();
    return true;
}

bool AedDocumentHandler::TakeAttribute(xercesc::AttributeList &attrs, XMLSize_t index,
                                       std::optional<TqwiUcConverter> &attrConverter,
                                       std::optional<TqwiUcConverter> &valueConverter, const char **attrName,
                                       const char **value) noexcept {
    const XMLCh *rawName = attrs.getName(index);
    const XMLCh *rawValue = attrs.getValue(index);
    const char *known = KnownAttribute(rawName);
    if (known != nullptr) {
        // A known name means that printable ASCII is kept.
        const char *word = KnownValue(rawValue);
        if (word != nullptr) {
            *attrName = known;
            *value = word;
            return true;
        }
        if (TakePlainText(rawValue, kNotPrintable, kStartElementFunc, value)) {
            *attrName = known;
            return *value != nullptr;
        }
    }
    *attrName = ToMb(Made(attrConverter, m_Icu), rawName, Length(rawName), kStartElementFunc);
    if (*attrName == nullptr) {
        return false;
    }
    *attrName = Interned(*attrName, kAttributeWords);
    *value = ToMb(Made(valueConverter, m_Icu), rawValue, Length(rawValue), kStartElementFunc);
    return *value != nullptr;
}

bool AedDocumentHandler::TakeRoot(const char *elemName) noexcept {
    m_RootSeen = true;
    if (SameWord(elemName, kElemAed)) {
        return true;
    }
    m_IgnoreDocument = true;
    const char *path = m_FileInMem->GetFileFullPath();
    char message[kRefusalTextSize];
    if (m_Locator != nullptr) {
        const Position here = Here();
        std::snprintf(
            message, sizeof message,
            "The root element of file \"%s\" is \"%s\", not \"%s\" (line %" PRIu64 ", column %" PRIu64 ")",
            path, elemName, kElemAed, static_cast<uint64_t>(here.line), static_cast<uint64_t>(here.column));
    } else {
        std::snprintf(message, sizeof message, "The root element of file \"%s\" is \"%s\", not \"%s\"", path,
                      elemName, kElemAed);
    }
    MsgFormatAndIssue(kMsgText, kStartElementFunc, __LINE__, kLevelError, {MsgArg::Str(message)});
    SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
    return false;
}

void AedDocumentHandler::LoseTrack() noexcept {
    m_SkipApplication = true;
    m_SkipRule = true;
    m_CurrentApplication = nullptr;
    m_CurrentRule = nullptr;
}

void AedDocumentHandler::startElement(const XMLCh *const name, xercesc::AttributeList &attrs) {
    m_EventEndColumn = HereColumn();
    if (m_IgnoreDocument) {
        return;
    }
    FlushText();
    const char *known = KnownElement(name);
    if (known != nullptr) {
        StartNamedElement(known, attrs);
        return;
    }
    TqwiUcConverter nameConverter(m_Icu);
    const char *elemName = ToMb(nameConverter, name, Length(name), kStartElementFunc);
    if (elemName == nullptr) {
        if (!m_RootSeen) {
            // Without its root's name the document cannot be known for a rule file.
            m_RootSeen = true;
            m_IgnoreDocument = true;
        } else if (nameConverter.OutOfMemory()) {
            LoseTrack();
        }
        // A refused name is no name the format knows: the element is passed over.
        return;
    }
    StartNamedElement(Interned(elemName, kElementWords), attrs);
}

void AedDocumentHandler::StartNamedElement(const char *elemName, xercesc::AttributeList &attrs) noexcept {
    if (!m_RootSeen && !TakeRoot(elemName)) {
        return;
    }
    if (SameWord(elemName, kElemAed)) {
        StartAed(attrs, elemName);
    } else if (SameWord(elemName, kElemApplication)) {
        StartApplication(attrs, elemName);
    } else if (SameWord(elemName, kElemRule)) {
        StartRule(attrs, elemName);
    } else if (const FormatName<RuleTextField> *text = FindWord(kTextElementWords, elemName)) {
        m_TextField = text->field;
    }
}

void AedDocumentHandler::StartAed(xercesc::AttributeList &attrs, const char *elemName) noexcept {
    std::optional<TqwiUcConverter> attrConverter;
    std::optional<TqwiUcConverter> valueConverter;
    const XMLSize_t count = attrs.getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
        const char *attrName = nullptr;
        const char *value = nullptr;
        if (!TakeAttribute(attrs, i, attrConverter, valueConverter, &attrName, &value)) {
            return;
        }
        if (SameWord(attrName, kAttrFileVersionInstallation)) {
            uint32_t number = 0;
            if (os_convert_to_unsigned_long(value, -1, &number) != kOsSuccess) {
                reportInvalidAttribute(attrName, value, elemName);
                return;
            }
            m_FileInMem->SetInstallationVersion(static_cast<int32_t>(number));
        } else if (SameWord(attrName, kAttrTqVersion)) {
            if (m_FileInMem->SetVersionText(value, static_cast<int32_t>(std::strlen(value))) != OSTAK_OK) {
                NoteNoMemory(kStartElementFunc, __LINE__);
            }
        } else if (SameWord(attrName, kAttrSaved)) {
            m_FileInMem->SetSaved(Is(value, kValueTrue));
        } else {
            reportInvalidAttribute(attrName, value, elemName);
            return;
        }
    }
}

void AedDocumentHandler::StartApplication(xercesc::AttributeList &attrs, const char *elemName) noexcept {
    m_CurrentApplication = OstakElemAppl::Create(m_Context);
    if (m_CurrentApplication == nullptr) {
        NoteNoMemory(kStartElementFunc, __LINE__);
        m_SkipApplication = true;
        return;
    }
    m_SkipApplication = false;
    TakeApplicationAttributes(attrs, elemName);

    OstakElemAppl *appl = m_CurrentApplication;
    if (appl->StampTime() == kDiscardedApplStampTime && Is(appl->Name(), kDiscardedApplName) &&
        Is(appl->StampHost(), kDiscardedApplStampHost)) {
        m_SkipApplication = true;
    }
    if (m_SkipApplication) {
        delete appl;
        m_CurrentApplication = nullptr;
        return;
    }
    const int32_t rc = m_FileInMem->Applications().InsertInOrder(appl);
    if (rc != OSTAK_OK) {
        MsgFormatAndIssue(kMsgApplDuplicate, kStartElementFunc, __LINE__, kLevelError,
                          {MsgArg::Str(appl->Name())});
        SetLoadResult(rc);
    }
}

void AedDocumentHandler::TakeApplicationAttributes(xercesc::AttributeList &attrs,
                                                   const char *elemName) noexcept {
    OstakElemAppl *appl = m_CurrentApplication;
    std::optional<TqwiUcConverter> attrConverter;
    std::optional<TqwiUcConverter> valueConverter;
    const XMLSize_t count = attrs.getLength();
    for (XMLSize_t i = 0; i < count && !m_SkipApplication; ++i) {
        const char *attrName = nullptr;
        const char *value = nullptr;
        if (!TakeAttribute(attrs, i, attrConverter, valueConverter, &attrName, &value)) {
            m_SkipApplication = true;
            return;
        }
        if (SameWord(attrName, kAttrName)) {
            const int32_t rc = appl->SetName(value);
            if (rc == OSTAK_E_INVALID_NAME) {
                reportInvalidAttribute(attrName, value, elemName);
                SetLoadResult(rc);
                m_SkipApplication = true;
            } else if (rc != OSTAK_OK) {
                NoteNoMemory(kStartElementFunc, __LINE__);
                m_SkipApplication = true;
            }
        } else if (SameWord(attrName, kAttrEnabled)) {
            if (Is(value, kValueTrue)) {
                appl->SetEnabled(1);
            } else if (m_DropDisabled) {
                m_SkipApplication = true;
            } else {
                appl->SetEnabled(0);
            }
        } else if (SameWord(attrName, kAttrStampHost)) {
            if (appl->SetStamp(value, appl->StampTime()) != OSTAK_OK) {
                NoteNoMemory(kStartElementFunc, __LINE__);
                m_SkipApplication = true;
            }
        } else if (SameWord(attrName, kAttrStampTime)) {
            uint32_t number = 0;
            if (os_convert_to_unsigned_long(value, -1, &number) != kOsSuccess) {
                reportInvalidAttribute(attrName, value, elemName);
                return;
            }
            appl->SetStampTime(static_cast<int32_t>(number));
        } else {
            reportInvalidAttribute(attrName, value, elemName);
            return;
        }
    }
}

void AedDocumentHandler::StartRule(xercesc::AttributeList &attrs, const char *elemName) noexcept {
    m_SkipRule = true;
    if (m_CurrentApplication == nullptr) {
        if (!m_SkipApplication) {
            MsgFormatAndIssue(
                kMsgText, kStartElementFunc, __LINE__, kLevelError,
                {MsgArg::Str("m_CurrentApplication == NULL in AedDocumentHandler::startElement")});
            SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
        }
        return;
    }
    m_CurrentRule = OstakElemRule::Create();
    if (m_CurrentRule == nullptr) {
        NoteNoMemory(kStartElementFunc, __LINE__);
        return;
    }
    m_SkipRule = false;
    if (TakeRuleAttributes(attrs, elemName)) {
        InsertRule();
    }
}

void AedDocumentHandler::DropCurrentRule() noexcept {
    m_SkipRule = true;
    delete m_CurrentRule;
    m_CurrentRule = nullptr;
}

bool AedDocumentHandler::TakeRuleAttributes(xercesc::AttributeList &attrs, const char *elemName) noexcept {
    OstakElemRule *rule = m_CurrentRule;
    std::optional<TqwiUcConverter> attrConverter;
    std::optional<TqwiUcConverter> valueConverter;
    const XMLSize_t count = attrs.getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
        const char *attrName = nullptr;
        const char *value = nullptr;
        if (!TakeAttribute(attrs, i, attrConverter, valueConverter, &attrName, &value)) {
            DropCurrentRule();
            return false;
        }
        if (SameWord(attrName, kAttrName)) {
            const int32_t rc = rule->SetName(value);
            if (rc == OSTAK_E_INVALID_NAME) {
                reportInvalidAttribute(attrName, value, elemName);
                SetLoadResult(rc);
                DropCurrentRule();
                return false;
            }
            if (rc != OSTAK_OK) {
                NoteNoMemory(kStartElementFunc, __LINE__);
                DropCurrentRule();
                return false;
            }
        } else if (SameWord(attrName, kAttrLevel)) {
            if (!Is(value, kValueLevelDisabled)) {
                rule->SetLevel(OstakElemRule::kLevelError);
            } else if (m_DropDisabled) {
                DropCurrentRule();
                return false;
            } else {
                rule->SetLevel(OstakElemRule::kLevelDisabled);
            }
        } else if (const FormatName<RuleFlagField> *flag = FindWord(kFlagAttributeWords, attrName)) {
            flag->field->Set(*rule, BoolValue(value));
        } else if (SameWord(attrName, kAttrType)) {
            if (Is(value, kValueTypeAlert)) {
                rule->SetType(OstakElemRule::kTypeAlert);
            } else {
                rule->SetType(OstakElemRule::kTypeStd);
                if (!Is(value, kValueTypeStd)) {
                    reportInvalidAttribute(attrName, value, elemName);
                    return true;
                }
            }
        } else {
            reportInvalidAttribute(attrName, value, elemName);
            return true;
        }
    }
    return true;
}

void AedDocumentHandler::InsertRule() noexcept {
    const int32_t rc = m_CurrentApplication->Rules()->InsertInOrder(m_CurrentRule);
    if (rc == OSTAK_OK) {
        return;
    }
    if (m_Locator != nullptr) {
        MsgFormatAndIssue(kMsgRuleDuplicate, kStartElementFunc, __LINE__, kLevelError,
                          {MsgArg::Str(m_CurrentRule->Name()), MsgArg::Str(m_CurrentApplication->Name()),
                           MsgArg::Int(static_cast<int64_t>(m_Locator->getLineNumber())),
                           MsgArg::Int(static_cast<int64_t>(m_Locator->getColumnNumber())),
                           MsgArg::Str(m_FileInMem->GetFileFullPath())});
    } else {
        MsgFormatAndIssue(kMsgRuleDuplicateNoPos, kStartElementFunc, __LINE__, kLevelError,
                          {MsgArg::Str(m_CurrentRule->Name()), MsgArg::Str(m_CurrentApplication->Name())});
    }
    SetLoadResult(rc);
}

void AedDocumentHandler::characters(const XMLCh *const chars, const XMLSize_t length) {
    Position pieceStart;
    pieceStart.column = m_EventEndColumn;
    m_EventEndColumn = HereColumn();
    if (m_IgnoreDocument) {
        return;
    }
    if (m_CurrentRule == nullptr) {
        if (!m_SkipApplication && !m_SkipRule) {
            MsgFormatAndIssue(kMsgText, kCharactersFunc, __LINE__, kLevelError,
                              {MsgArg::Str("m_CurrentRule == NULL in AedDocumentHandler::characters")});
            SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
        }
        return;
    }
    if (chars != nullptr && m_Icu.KeepsPrintableAscii() && PrintableAscii(chars, length)) {
        // Printable ASCII becomes the same bytes and holds no line feed,
        // carriage return or tab: it is narrowed straight onto the field's
        // value.
        if (!PendFieldOfCurrentRule()) {
            return;
        }
        if (!m_PendingText.AppendNarrowed(chars, length)) {
            NoteNoMemory(kCharactersFunc, __LINE__);
        }
        return;
    }
    TqwiUcConverter converter(m_Icu);
    const char *piece = ToMb(converter, chars, length, kCharactersFunc, &pieceStart);
    if (piece == nullptr) {
        return; // the field keeps what it had before this piece
    }
    // The field never holds a line feed, carriage return or tab, so the joined
    // value is refused exactly when the piece holds one; the field then keeps
    // what it had before this piece.
    const int32_t rc = CheckText(piece);
    if (rc != OSTAK_OK) {
        IssueMsgByRc(rc);
        SetLoadResult(rc);
        return;
    }
    if (!PendFieldOfCurrentRule()) {
        return;
    }
    if (!m_PendingText.Append(piece, std::strlen(piece))) {
        NoteNoMemory(kCharactersFunc, __LINE__);
    }
}

bool AedDocumentHandler::PendFieldOfCurrentRule() noexcept {
    if (m_PendingRule == m_CurrentRule && m_PendingField == m_TextField) {
        return true;
    }
    FlushText();
    const char *field = m_TextField->Get(*m_CurrentRule);
    m_PendingText.Clear();
    if (!m_PendingText.Append(field, std::strlen(field))) {
        NoteNoMemory(kCharactersFunc, __LINE__);
        return false;
    }
    m_PendingRule = m_CurrentRule;
    m_PendingField = m_TextField;
    return true;
}

void AedDocumentHandler::FlushText() noexcept {
    OstakElemRule *rule = m_PendingRule;
    if (rule == nullptr) {
        return;
    }
    m_PendingRule = nullptr;
    const int32_t rc = m_PendingField->Set(*rule, m_PendingText.Text());
    m_PendingText.Clear();
    if (rc == OSTAK_E_NO_MEMORY) {
        NoteNoMemory(kCharactersFunc, __LINE__);
    } else if (rc != OSTAK_OK) {
        IssueMsgByRc(rc);
        SetLoadResult(rc);
    }
}

void AedDocumentHandler::endDocument() {
    FlushText();
}

void AedDocumentHandler::endElement(const XMLCh *const name) {
    m_EventEndColumn = HereColumn();
    if (m_IgnoreDocument) {
        return;
    }
    FlushText();
    const char *known = KnownElement(name);
    if (known != nullptr) {
        EndNamedElement(known);
        return;
    }
    TqwiUcConverter nameConverter(m_Icu);
    const char *elemName = ToMb(nameConverter, name, Length(name), kEndElementFunc);
    if (elemName == nullptr) {
        if (nameConverter.OutOfMemory()) {
            LoseTrack();
        }
        return;
    }
    EndNamedElement(Interned(elemName, kElementWords));
}

void AedDocumentHandler::EndNamedElement(const char *elemName) noexcept {
    if (SameWord(elemName, kElemApplication)) {
        if (m_DropDisabled && m_CurrentApplication != nullptr && m_CurrentApplication->Rules()->Empty()) {
            m_FileInMem->Applications().DeleteElem(m_CurrentApplication);
        }
        m_CurrentApplication = nullptr;
    } else if (SameWord(elemName, kElemRule)) {
        m_CurrentRule = nullptr;
    }
}

void AedDocumentHandler::reportInvalidAttribute(const char *attrName, const char *value,
                                                const char *elemName) noexcept {
    const char *path = m_FileInMem->GetFileFullPath();
    if (m_Locator != nullptr) {
        MsgFormatAndIssue(kMsgAttrInvalid, kInvalidAttributeFunc, __LINE__, kLevelError,
                          {MsgArg::Str(attrName), MsgArg::Str(value), MsgArg::Str(elemName),
                           MsgArg::Int(static_cast<int64_t>(m_Locator->getLineNumber())),
                           MsgArg::Int(static_cast<int64_t>(m_Locator->getColumnNumber())),
                           MsgArg::Str(path)});
    } else {
        MsgFormatAndIssue(
            kMsgAttrInvalidNoPos, kInvalidAttributeFunc, __LINE__, kLevelError,
            {MsgArg::Str(attrName), MsgArg::Str(value), MsgArg::Str(elemName), MsgArg::Str(path)});
    }
    SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
}

} // namespace ostak
