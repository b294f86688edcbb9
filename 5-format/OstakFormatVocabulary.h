// The names of the rule-file document: its elements, attributes and the
// values it spells out, shared by the reader (AedDocumentHandler) and the
// writer (OstakFileInMemSave.cpp); and for the names that carry a rule's
// texts and flags, the field each carries (3-model/OstakFields.h).
#pragma once

#include "3-model/OstakFields.h"

#include <cstddef>
#include <cstring>

namespace ostak {

// Elements.
constexpr const char *kElemAed = "AED";
constexpr const char *kElemApplication = "Application";
constexpr const char *kElemRule = "Rule";
constexpr const char *kElemText = "Text";
constexpr const char *kElemPrefix = "Prefix";
constexpr const char *kElemSuffix = "Suffix";

// Attributes of AED.
constexpr const char *kAttrTqVersion = "TqVersion";
constexpr const char *kAttrFileVersionInstallation = "FileVersionInstallation";
constexpr const char *kAttrSaved = "Saved";
// Attributes of Application (Name also of Rule).
constexpr const char *kAttrName = "Name";
constexpr const char *kAttrEnabled = "Enabled";
constexpr const char *kAttrStampTime = "StampTime";
constexpr const char *kAttrStampHost = "StampHost";
// Attributes of Rule.
constexpr const char *kAttrFailIfNotFound = "FailIfNotFound";
constexpr const char *kAttrMatchCase = "MatchCase";
constexpr const char *kAttrUseText = "UseText";
constexpr const char *kAttrType = "Type";
constexpr const char *kAttrLevel = "Level";

// Values. A flag is "true" or, written, "false"; read, anything but "true" is false.
constexpr const char *kValueTrue = "true";
constexpr const char *kValueFalse = "false";
constexpr const char *kValueTypeStd = "std";
constexpr const char *kValueTypeAlert = "alert";
constexpr const char *kValueLevelError = "error";
constexpr const char *kValueLevelDisabled = "disabled";

// A name of the format and the field whose value it carries.
template <class Field> struct FormatName {
    const char *name;
    const Field *field;
};

// The elements inside a rule, in the order they are written.
inline constexpr FormatName<RuleTextField> kRuleTextElements[] = {
    {kElemText, FindField(kRuleTextFields, OSTAK_RULE_CHAR_TEXT)},
    {kElemPrefix, FindField(kRuleTextFields, OSTAK_RULE_CHAR_PREFIX)},
    {kElemSuffix, FindField(kRuleTextFields, OSTAK_RULE_CHAR_SUFFIX)},
};

// The attributes of a rule that carry a flag, in the order they are written.
inline constexpr FormatName<RuleFlagField> kRuleFlagAttributes[] = {
    {kAttrFailIfNotFound, FindField(kRuleFlagFields, OSTAK_RULE_BOOL_FAIL_IF_NOT_FOUND)},
    {kAttrMatchCase, FindField(kRuleFlagFields, OSTAK_RULE_BOOL_MATCH_CASE)},
    {kAttrUseText, FindField(kRuleFlagFields, OSTAK_RULE_BOOL_USE_TEXT)},
};

// The row of `table` named `name` (compared byte for byte), or null.
template <class Field, std::size_t N>
const FormatName<Field> *FindName(const FormatName<Field> (&table)[N], const char *name) noexcept {
    for (const FormatName<Field> &row : table) {
        if (std::strcmp(row.name, name) == 0) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace ostak
