// The caller's opaque handles of the rule model and the objects behind them.
#pragma once

#include "include/ostak.h"
#include "3-model/OstakElemAppl.h"
#include "3-model/OstakElemRule.h"
#include "3-model/OstakList.h"

namespace ostak {

inline OstakListAppl *FromHandle(OstakListApplHandle *handle) noexcept {
    return reinterpret_cast<OstakListAppl *>(handle);
}
inline OstakElemAppl *FromHandle(OstakElemApplHandle *handle) noexcept {
    return reinterpret_cast<OstakElemAppl *>(handle);
}
inline OstakElemRule *FromHandle(OstakElemRuleHandle *handle) noexcept {
    return reinterpret_cast<OstakElemRule *>(handle);
}

inline OstakListApplHandle *ToHandle(OstakListAppl *list) noexcept {
    return reinterpret_cast<OstakListApplHandle *>(list);
}
inline OstakElemApplHandle *ToHandle(OstakElemAppl *appl) noexcept {
    return reinterpret_cast<OstakElemApplHandle *>(appl);
}
inline OstakElemRuleHandle *ToHandle(OstakElemRule *rule) noexcept {
    return reinterpret_cast<OstakElemRuleHandle *>(rule);
}

} // namespace ostak
