#include "2-core/OstakGlobals.h"

namespace ostak {

namespace {
OstakGlobals g_globals; // zero-initialised at load
}

OstakGlobals &Globals() noexcept {
    return g_globals;
}

void ResetGlobals() noexcept {
    g_globals = OstakGlobals{};
}

} // namespace ostak
