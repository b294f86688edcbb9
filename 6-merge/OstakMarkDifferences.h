// Marking: compares each application of a source file with its namesake in
// another file and writes the outcome into the source application's DiffMark.
#pragma once

#include "3-model/OstakFileInMem.h"
#include "3-model/OstakElemAppl.h"

#include <cstdint>

namespace ostak {

// The mark of one application against its namesake in the other file (null
// when there is none): OstakDiffAbsent, OstakDiffSameRules, OstakDiffSameStamp
// (rules differ, stamps equal and `stampTest` on) or OstakDiffChanged. Rules
// are compared before stamps.
int32_t DiffMarkOf(const OstakElemAppl &appl, const OstakElemAppl *namesake, bool stampTest) noexcept;

// Marks every application of `source` against `other`; changes nothing but the
// DiffMark of the source's applications. Allocates nothing and cannot fail.
void MarkDifferencesInSource(OstakFileInMem &source, const OstakFileInMem &other) noexcept;

} // namespace ostak
