#include "1-platform/Alloc.h"

#include "1-platform/Seams.h"

#include <cstdlib>

namespace ostak {

namespace {
int64_t g_live = 0;
uint64_t g_attempts = 0;

// Whether the seam fails this allocation; only reached when one is armed.
[[gnu::noinline]] bool InjectedFailure() noexcept {
    if (PlatformSeams::failAllocationAt == 1) {
        if (!PlatformSeams::failAllocationsAfter) {
            PlatformSeams::failAllocationAt = 0;
        }
        return true;
    }
    --PlatformSeams::failAllocationAt;
    return false;
}
} // namespace

void *AllocRaw(std::size_t size) noexcept {
    ++g_attempts;
    if (PlatformSeams::failAllocationAt != 0 && InjectedFailure()) {
        return nullptr;
    }
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) {
        ++g_live;
    }
    return block;
}

void FreeRaw(void *block) noexcept {
    if (block == nullptr) {
        return;
    }
    --g_live;
    std::free(block);
}

int64_t LiveAllocations() noexcept {
    return g_live;
}

uint64_t AllocationAttempts() noexcept {
    return g_attempts;
}

void *SeamAllocated::operator new(std::size_t size) {
    void *block = AllocRaw(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void *SeamAllocated::operator new(std::size_t size, const std::nothrow_t &) noexcept {
    return AllocRaw(size);
}

void SeamAllocated::operator delete(void *block) noexcept {
    FreeRaw(block);
}

void SeamAllocated::operator delete(void *block, const std::nothrow_t &) noexcept {
    FreeRaw(block);
}

} // namespace ostak
