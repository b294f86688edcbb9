#include "xml/AedDocumentHandler.h"

#include "frame/MsgIssue.h"
#include "frame/OstakFileInMem.h"
#include "model/OstakElemAppl.h"
#include "model/OstakElemRule.h"
#include "platform/basekit32.h"
#include "transcode/TqwiUcConverter.h"

#include <cstring>
#include <string>
#include <xercesc/sax/AttributeList.hpp>

namespace ostak {

namespace {

constexpr const char *kStartElementFunc = "AedDocumentHandler::startElement";
constexpr const char *kCharactersFunc = "AedDocumentHandler::characters";
constexpr const char *kEndElementFunc = "AedDocumentHandler::endElement";
constexpr const char *kInvalidAttributeFunc = "AedDocumentHandler::reportInvalidAttribute";

bool Is(const char *text, const char *keyword) noexcept {
    return std::strcmp(text, keyword) == 0;
}

std::size_t Length(const XMLCh *text) noexcept {
    return text != nullptr ? std::char_traits<char16_t>::length(text) : 0;
}

// "true" gives 1, every other value 0.
uint8_t BoolValue(const char *value) noexcept {
    return Is(value, "true") ? 1 : 0;
}

} // namespace

AedDocumentHandler::AedDocumentHandler(OstakFileInMem *fileInMem, bool dropDisabled) noexcept
    : m_FileInMem(fileInMem), m_DropDisabled(dropDisabled) {}

AedDocumentHandler::~AedDocumentHandler() = default;

void AedDocumentHandler::SetLoadResult(int32_t rc) noexcept {
    m_FileInMem->SetLoadResult(rc);
}

void AedDocumentHandler::NoteNoMemory(const char *funcName, int32_t line) noexcept {
    MsgFormatAndIssue(kMsgNoMemory, funcName, line, kLevelError);
    SetLoadResult(OSTAK_E_NO_MEMORY);
}

const char *AedDocumentHandler::ToMb(TqwiUcConverter &converter, const XMLCh *text, std::size_t length,
                                     const char *funcName) noexcept {
    converter.ToMb(text != nullptr ? text : u"", static_cast<uint32_t>(length));
    if (converter.OutOfMemory()) {
        NoteNoMemory(funcName, __LINE__);
    } else if (!converter.MbValid()) {
        // The converter has reported why; the value counts as empty, and a
        // load that lost values does not pass for a success.
        SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
    }
    return converter.GetMb();
}

bool AedDocumentHandler::TakeAttribute(xercesc::AttributeList &attrs, XMLSize_t index,
                                       TqwiUcConverter &attrConverter, TqwiUcConverter &valueConverter,
                                       const char **attrName, const char **value) noexcept {
    const XMLCh *rawName = attrs.getName(index);
    const XMLCh *rawValue = attrs.getValue(index);
    *attrName = ToMb(attrConverter, rawName, Length(rawName), kStartElementFunc);
    if (attrConverter.OutOfMemory()) {
        return false;
    }
    *value = ToMb(valueConverter, rawValue, Length(rawValue), kStartElementFunc);
    return !valueConverter.OutOfMemory();
}

void AedDocumentHandler::LoseTrack() noexcept {
    m_SkipApplication = true;
    m_SkipRule = true;
    m_CurrentApplication = nullptr;
    m_CurrentRule = nullptr;
}

void AedDocumentHandler::startElement(const XMLCh *const name, xercesc::AttributeList &attrs) {
    FlushText();
    TqwiUcConverter nameConverter;
    const char *elemName = ToMb(nameConverter, name, Length(name), kStartElementFunc);
    if (nameConverter.OutOfMemory()) {
        LoseTrack();
        return;
    }
    if (Is(elemName, "AED")) {
        StartAed(attrs, elemName);
    } else if (Is(elemName, "Application")) {
        StartApplication(attrs, elemName);
    } else if (Is(elemName, "Rule")) {
        StartRule(attrs, elemName);
    } else if (Is(elemName, "Text")) {
        m_TextType = kTextTypeText;
    } else if (Is(elemName, "Prefix")) {
        m_TextType = kTextTypePrefix;
    } else if (Is(elemName, "Suffix")) {
        m_TextType = kTextTypeSuffix;
    }
}

void AedDocumentHandler::StartAed(xercesc::AttributeList &attrs, const char *elemName) noexcept {
    TqwiUcConverter attrConverter;
    TqwiUcConverter valueConverter;
    const XMLSize_t count = attrs.getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
        const char *attrName = nullptr;
        const char *value = nullptr;
        if (!TakeAttribute(attrs, i, attrConverter, valueConverter, &attrName, &value)) {
            return;
        }
        if (Is(attrName, "FileVersionInstallation")) {
            uint32_t number = 0;
            if (os_convert_to_unsigned_long(value, -1, &number) != kOsSuccess) {
                reportInvalidAttribute(attrName, value, elemName);
                return;
            }
            m_FileInMem->SetInstallationVersion(static_cast<int32_t>(number));
        } else if (Is(attrName, "TqVersion")) {
            if (m_FileInMem->SetVersionText(value, static_cast<int32_t>(std::strlen(value))) != OSTAK_OK) {
                NoteNoMemory(kStartElementFunc, __LINE__);
            }
        } else if (Is(attrName, "Saved")) {
            m_FileInMem->SetSaved(Is(value, "true"));
        } else {
            reportInvalidAttribute(attrName, value, elemName);
            return;
        }
    }
}

void AedDocumentHandler::StartApplication(xercesc::AttributeList &attrs, const char *elemName) noexcept {
    m_CurrentApplication = OstakElemAppl::Create();
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
    TqwiUcConverter attrConverter;
    TqwiUcConverter valueConverter;
    const XMLSize_t count = attrs.getLength();
    for (XMLSize_t i = 0; i < count && !m_SkipApplication; ++i) {
        const char *attrName = nullptr;
        const char *value = nullptr;
        if (!TakeAttribute(attrs, i, attrConverter, valueConverter, &attrName, &value)) {
            m_SkipApplication = true;
            return;
        }
        if (Is(attrName, "Name")) {
            const int32_t rc = appl->SetName(value);
            if (rc == OSTAK_E_INVALID_NAME) {
                reportInvalidAttribute(attrName, value, elemName);
                SetLoadResult(rc);
                m_SkipApplication = true;
            } else if (rc != OSTAK_OK) {
                NoteNoMemory(kStartElementFunc, __LINE__);
                m_SkipApplication = true;
            }
        } else if (Is(attrName, "Enabled")) {
            if (Is(value, "true")) {
                appl->SetEnabled(1);
            } else if (m_DropDisabled) {
                m_SkipApplication = true;
            } else {
                appl->SetEnabled(0);
            }
        } else if (Is(attrName, "StampHost")) {
            if (appl->SetStamp(value, appl->StampTime()) != OSTAK_OK) {
                NoteNoMemory(kStartElementFunc, __LINE__);
                m_SkipApplication = true;
            }
        } else if (Is(attrName, "StampTime")) {
            uint32_t number = 0;
            if (os_convert_to_unsigned_long(value, -1, &number) != kOsSuccess) {
                reportInvalidAttribute(attrName, value, elemName);
                return;
            }
            if (appl->SetStamp(appl->StampHost(), static_cast<int32_t>(number)) != OSTAK_OK) {
                NoteNoMemory(kStartElementFunc, __LINE__);
                m_SkipApplication = true;
            }
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
    TqwiUcConverter attrConverter;
    TqwiUcConverter valueConverter;
    const XMLSize_t count = attrs.getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
        const char *attrName = nullptr;
        const char *value = nullptr;
        if (!TakeAttribute(attrs, i, attrConverter, valueConverter, &attrName, &value)) {
            DropCurrentRule();
            return false;
        }
        if (Is(attrName, "Name")) {
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
        } else if (Is(attrName, "Level")) {
            if (!Is(value, "disabled")) {
                rule->SetLevel(OstakElemRule::kLevelError);
            } else if (m_DropDisabled) {
                DropCurrentRule();
                return false;
            } else {
                rule->SetLevel(OstakElemRule::kLevelDisabled);
            }
        } else if (Is(attrName, "FailIfNotFound")) {
            rule->SetFailIfNotFound(BoolValue(value));
        } else if (Is(attrName, "MatchCase")) {
            rule->SetMatchCase(BoolValue(value));
        } else if (Is(attrName, "UseText")) {
            rule->SetUseText(BoolValue(value));
        } else if (Is(attrName, "Type")) {
            if (Is(value, "alert")) {
                rule->SetType(OstakElemRule::kTypeAlert);
            } else {
                rule->SetType(OstakElemRule::kTypeStd);
                if (!Is(value, "std")) {
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

const char *AedDocumentHandler::CurrentField() const noexcept {
    switch (m_TextType) {
    case kTextTypePrefix:
        return m_CurrentRule->Prefix();
    case kTextTypeSuffix:
        return m_CurrentRule->Suffix();
    default:
        return m_CurrentRule->Text();
    }
}

void AedDocumentHandler::characters(const XMLCh *const chars, const XMLSize_t length) {
    if (m_CurrentRule == nullptr) {
        if (!m_SkipApplication && !m_SkipRule) {
            MsgFormatAndIssue(kMsgText, kCharactersFunc, __LINE__, kLevelError,
                              {MsgArg::Str("m_CurrentRule == NULL in AedDocumentHandler::characters")});
            SetLoadResult(OSTAK_E_INVALID_DOCUMENT);
        }
        return;
    }
    TqwiUcConverter converter;
    const char *piece = ToMb(converter, chars, length, kCharactersFunc);
    // The field never holds a line feed, carriage return or tab, so the joined
    // value is refused exactly when the piece holds one; the field then keeps
    // what it had before this piece.
    const int32_t rc = CheckText(piece);
    if (rc != OSTAK_OK) {
        IssueMsgByRc(rc);
        SetLoadResult(rc);
        return;
    }
    if (m_PendingRule != m_CurrentRule || m_PendingTextType != m_TextType) {
        FlushText();
        const char *field = CurrentField();
        m_PendingText.Clear();
        if (!m_PendingText.Append(field, std::strlen(field))) {
            NoteNoMemory(kCharactersFunc, __LINE__);
            return;
        }
        m_PendingRule = m_CurrentRule;
        m_PendingTextType = m_TextType;
    }
    if (!m_PendingText.Append(piece, std::strlen(piece))) {
        NoteNoMemory(kCharactersFunc, __LINE__);
    }
}

void AedDocumentHandler::FlushText() noexcept {
    OstakElemRule *rule = m_PendingRule;
    if (rule == nullptr) {
        return;
    }
    m_PendingRule = nullptr;
    int32_t rc = OSTAK_OK;
    switch (m_PendingTextType) {
    case kTextTypePrefix:
        rc = rule->SetPrefix(m_PendingText.Text());
        break;
    case kTextTypeSuffix:
        rc = rule->SetSuffix(m_PendingText.Text());
        break;
    default:
        rc = rule->SetText(m_PendingText.Text());
        break;
    }
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
    FlushText();
    TqwiUcConverter nameConverter;
    const char *elemName = ToMb(nameConverter, name, Length(name), kEndElementFunc);
    if (nameConverter.OutOfMemory()) {
        LoseTrack();
        return;
    }
    if (Is(elemName, "Application")) {
        if (m_DropDisabled && m_CurrentApplication != nullptr && m_CurrentApplication->Rules()->Empty()) {
            m_FileInMem->Applications().DeleteElem(m_CurrentApplication);
        }
        m_CurrentApplication = nullptr;
    } else if (Is(elemName, "Rule")) {
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
