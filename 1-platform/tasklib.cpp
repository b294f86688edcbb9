#include "1-platform/tasklib.h"

#include "1-platform/Alloc.h"

namespace ostak {

void *maw_malloc(std::size_t size) noexcept {
    return AllocRaw(size);
}

void maw_free(void *block) noexcept {
    FreeRaw(block);
}

} // namespace ostak
