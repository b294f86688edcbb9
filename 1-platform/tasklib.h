// Stand-in for the maker's allocator: plain blocks over the library's
// allocation path (so the allocation seam reaches them too).
#pragma once

#include <cstddef>

namespace ostak {

void *maw_malloc(std::size_t size) noexcept;
void maw_free(void *block) noexcept;

} // namespace ostak
