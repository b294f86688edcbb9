#include "5-format/OstakUnwritableCharacter.h"

namespace ostak {

namespace {

bool IsHighSurrogate(char16_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) noexcept {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Whether the unit at `at` starts no character a rule file can carry.
bool Unwritable(const char16_t *units, std::size_t count, std::size_t at) noexcept {
    const char16_t unit = units[at];
    if (unit < 0x20) {
        return unit != 0x09 && unit != 0x0A && unit != 0x0D;
    }
    if (IsHighSurrogate(unit)) {
        return at + 1 >= count || !IsLowSurrogate(units[at + 1]);
    }
    return IsLowSurrogate(unit) || unit == 0xFFFE || unit == 0xFFFF;
}

} // namespace

int64_t FirstUnwritableCharacter(const char16_t *units, std::size_t count, std::size_t *index) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        if (Unwritable(units, count, i)) {
            if (index != nullptr) {
                *index = i;
            }
            return units[i];
        }
        if (IsHighSurrogate(units[i])) {
            ++i; // the pair's low surrogate
        }
    }
    return -1;
}

} // namespace ostak
