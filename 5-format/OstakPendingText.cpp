#include "5-format/OstakPendingText.h"

#include "1-platform/Alloc.h"

#include <cstring>

namespace ostak {

namespace {
constexpr std::size_t kFirstCapacity = 64;
}

OstakPendingText::~OstakPendingText() {
    FreeRaw(m_Buffer);
}

bool OstakPendingText::Reserve(std::size_t count) noexcept {
    const std::size_t needed = m_Length + count + 1;
    if (needed < m_Length) {
        return false; // would overflow
    }
    if (needed > m_Capacity) {
        std::size_t capacity = m_Capacity < kFirstCapacity ? kFirstCapacity : m_Capacity;
        while (capacity < needed) {
            capacity = capacity * 2 > capacity ? capacity * 2 : needed;
        }
        char *grown = static_cast<char *>(AllocRaw(capacity));
        if (grown == nullptr) {
            return false;
        }
        if (m_Length > 0) {
            std::memcpy(grown, m_Buffer, m_Length);
        }
        FreeRaw(m_Buffer);
        m_Buffer = grown;
        m_Capacity = capacity;
    }
    return true;
}

bool OstakPendingText::Append(const char *bytes, std::size_t count) noexcept {
    if (!Reserve(count)) {
        return false;
    }
    if (count > 0) {
        std::memcpy(m_Buffer + m_Length, bytes, count);
    }
    m_Length += count;
    m_Buffer[m_Length] = '\0';
    return true;
}

bool OstakPendingText::AppendNarrowed(const char16_t *units, std::size_t count) noexcept {
    if (!Reserve(count)) {
        return false;
    }
    char *out = m_Buffer + m_Length;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<char>(units[i]);
    }
    m_Length += count;
    m_Buffer[m_Length] = '\0';
    return true;
}

} // namespace ostak
