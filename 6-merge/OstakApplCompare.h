// The two comparisons of applications that marking and applying share.
#pragma once

#include "3-model/OstakElemAppl.h"

namespace ostak {

// True when both rule lists have the same length and the rules at equal
// positions are equal (rule equality). The applications' own fields take no
// part; two empty rule lists are equal.
bool RuleListsEqual(const OstakElemAppl &a, const OstakElemAppl &b) noexcept;

// True when StampTime is the same and StampHost holds the same bytes.
bool StampsEqual(const OstakElemAppl &a, const OstakElemAppl &b) noexcept;

} // namespace ostak
