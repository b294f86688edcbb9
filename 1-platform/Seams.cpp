#include "1-platform/Seams.h"

namespace ostak {

PlatformSeams &Seams() noexcept {
    static PlatformSeams seams;
    return seams;
}

void ResetSeams() noexcept {
    Seams() = PlatformSeams{};
}

} // namespace ostak
