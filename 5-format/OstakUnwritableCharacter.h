// What a rule file cannot carry: the one definition that the writer uses to
// refuse a save and the reader uses to refuse a load, so that a file that
// loads can always be saved again.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostak {

// The code of the first character in `units` that a rule file cannot carry
// (a control character other than tab, line feed and carriage return, a lone
// surrogate, U+FFFE or U+FFFF), or -1 when there is none. When one is found
// and `index` is not null, `*index` becomes the index of its unit.
int64_t FirstUnwritableCharacter(const char16_t *units, std::size_t count,
                                 std::size_t *index = nullptr) noexcept;

} // namespace ostak
