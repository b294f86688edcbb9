#include "1-platform/Seams.h"

namespace ostak {

PlatformSeams &Seams() noexcept {
    static PlatformSeams seams;
    return seams;
}

void ResetSeams() noexcept {
    Seams() = PlatformSeams{};
    PlatformSeams::failAllocationAt = 0;
    PlatformSeams::failAllocationsAfter = false;
}

} // namespace ostak
