// The library's one allocation path.
//
// Every record, list, string and buffer the library allocates comes through
// AllocRaw, so that an allocation failure can be provoked anywhere (the
// "fail the Nth allocation" seam) and so that tests can see that nothing
// leaked (the count of live blocks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace ostak {

// Null when no memory is left (or the seam says this allocation fails).
void *AllocRaw(std::size_t size) noexcept;
void FreeRaw(void *block) noexcept;

// Blocks handed out by AllocRaw and not yet freed.
int64_t LiveAllocations() noexcept;
// Allocations attempted since the process started (failed ones included).
uint64_t AllocationAttempts() noexcept;

// Base for the library's records: `new (std::nothrow) T(...)` and `delete`
// go through AllocRaw/FreeRaw. A plain `new T` throws std::bad_alloc on
// failure, which the export firewall turns into code 7.
struct SeamAllocated {
    static void *operator new(std::size_t size);
    static void *operator new(std::size_t size, const std::nothrow_t &) noexcept;
    static void operator delete(void *block) noexcept;
    static void operator delete(void *block, const std::nothrow_t &) noexcept;
};

} // namespace ostak
