// The name proposed for a second copy of a rule when both sides of a merge hold
// a rule of the same name with different values.
#pragma once

#include "3-model/OstakList.h"
#include "6-merge/OstakTakenNames.h"

#include <cstddef>
#include <cstdint>

namespace ostak {

class OstakProposedName {
  public:
    OstakProposedName() noexcept = default;
    ~OstakProposedName();
    OstakProposedName(const OstakProposedName &) = delete;
    OstakProposedName &operator=(const OstakProposedName &) = delete;

    // Makes the proposal for the common name `name`: for "Rule_" followed by
    // an unsigned decimal number n, the first free of "Rule_" n+1, n+2, ...;
    // otherwise the first free of `name` "_1", "_2", .... A candidate is free
    // when no rule of any of the `count` lists bears it. 0, or 7 when the
    // buffer cannot be allocated.
    int32_t Make(const char *name, const OstakListRule *const *lists, std::size_t count) noexcept;
    // The same proposal, with the names to avoid already indexed in `taken`
    // (the index of every rule of those lists): what a merge that makes many
    // proposals uses. 0, or 7 when the buffer cannot be allocated.
    int32_t Make(const char *name, OstakTakenNames &taken) noexcept;

    // The proposal (empty before Make succeeded); valid until the next Make.
    const char *Text() const noexcept { return buffer_ != nullptr ? buffer_ : ""; }

  private:
    char *buffer_ = nullptr;
};

} // namespace ostak
