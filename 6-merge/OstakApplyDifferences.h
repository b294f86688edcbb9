// Applying differences: carries the applications that the caller marked 1 in
// a source rule file into a target rule file, all or nothing.
#pragma once

#include "3-model/OstakFileInMem.h"

#include <cstdint>

namespace ostak {

// Applies the marked applications of `source` to `target` with the merge
// callback of `process` (may be null; a rule merge then fails with 17),
// stamping with its host. Returns 0; 3 for a pair of kinds that has no
// direction (nothing changed) or for a DiffMark other than 0 and 1 (after
// message -32550); 4, 5, 6, 7, 14, 15 or 17 as the merge meets them. Every
// failure leaves both files as they were. `changes`, when given, receives the
// number of changes made to applications of either file (those undone on
// failure included); the tests bound the cost with it.
int32_t ApplyDifferences(OstakFileInMem &source, OstakFileInMem &target, bool replace,
                         const OstakContext &process, uint64_t *changes = nullptr) noexcept;

} // namespace ostak
