// The fields of applications and rules by the identifiers callers name them
// with (OSTAK_APPL_* and OSTAK_RULE_* of ostak.h): one row per field, with
// the record's getter and setter. The handle exports reach fields by
// identifier through these tables, and the rule-file format names its
// elements and attributes by row (5-format/OstakFormatVocabulary.h).
#pragma once

#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "include/ostak.h"

#include <cstddef>
#include <cstdint>

namespace ostak {

// One field of `Record` holding a `Value`; its setter answers `SetResult`: a
// result code for texts (which are checked), nothing for flags and numbers.
template <class Record, class Value, class SetResult> struct OstakField {
    int32_t id;
    Value (Record::*getter)() const noexcept;
    SetResult (Record::*setter)(Value) noexcept;

    Value Get(const Record &record) const noexcept { return (record.*getter)(); }
    SetResult Set(Record &record, Value value) const noexcept { return (record.*setter)(value); }
};

using ApplTextField = OstakField<OstakElemAppl, const char *, int32_t>;
using ApplFlagField = OstakField<OstakElemAppl, uint8_t, void>;
using ApplNumberField = OstakField<OstakElemAppl, int32_t, void>;
using RuleTextField = OstakField<OstakElemRule, const char *, int32_t>;
using RuleFlagField = OstakField<OstakElemRule, uint8_t, void>;
using RuleNumberField = OstakField<OstakElemRule, int32_t, void>;

inline constexpr ApplTextField kApplTextFields[] = {
    {OSTAK_APPL_CHAR_NAME, &OstakElemAppl::Name, &OstakElemAppl::SetName},
};
inline constexpr ApplFlagField kApplFlagFields[] = {
    {OSTAK_APPL_BOOL_ENABLED, &OstakElemAppl::Enabled, &OstakElemAppl::SetEnabled},
};
inline constexpr ApplNumberField kApplNumberFields[] = {
    {OSTAK_APPL_LONG_DIFF_MARK, &OstakElemAppl::DiffMark, &OstakElemAppl::SetDiffMark},
};

inline constexpr RuleTextField kRuleTextFields[] = {
    {OSTAK_RULE_CHAR_NAME, &OstakElemRule::Name, &OstakElemRule::SetName},
    {OSTAK_RULE_CHAR_TEXT, &OstakElemRule::Text, &OstakElemRule::SetText},
    {OSTAK_RULE_CHAR_PREFIX, &OstakElemRule::Prefix, &OstakElemRule::SetPrefix},
    {OSTAK_RULE_CHAR_SUFFIX, &OstakElemRule::Suffix, &OstakElemRule::SetSuffix},
};
inline constexpr RuleFlagField kRuleFlagFields[] = {
    {OSTAK_RULE_BOOL_MATCH_CASE, &OstakElemRule::MatchCase, &OstakElemRule::SetMatchCase},
    {OSTAK_RULE_BOOL_USE_TEXT, &OstakElemRule::UseText, &OstakElemRule::SetUseText},
    {OSTAK_RULE_BOOL_FAIL_IF_NOT_FOUND, &OstakElemRule::FailIfNotFound, &OstakElemRule::SetFailIfNotFound},
};
inline constexpr RuleNumberField kRuleNumberFields[] = {
    {OSTAK_RULE_LONG_LEVEL, &OstakElemRule::Level, &OstakElemRule::SetLevel},
    {OSTAK_RULE_LONG_TYPE, &OstakElemRule::Type, &OstakElemRule::SetType},
};

// The row of `id` in `table`, or null for an identifier the table does not hold.
template <class Field, std::size_t N>
constexpr const Field *FindField(const Field (&table)[N], int32_t id) noexcept {
    for (const Field &field : table) {
        if (field.id == id) {
            return &field;
        }
    }
    return nullptr;
}

} // namespace ostak
