// The text of one rule field while its character data arrives in pieces.
//
// The parser may hand an element's text over in many pieces. Setting the
// field anew for each piece would copy the whole text each time, so the
// pieces are joined here, in a buffer that grows geometrically, and the field
// is set once when the pieces end. The buffer comes from the library's
// allocator and stays NUL-terminated.
#pragma once

#include <cstddef>

namespace ostak {

class OstakPendingText {
  public:
    OstakPendingText() noexcept = default;
    ~OstakPendingText();
    OstakPendingText(const OstakPendingText &) = delete;
    OstakPendingText &operator=(const OstakPendingText &) = delete;

    // Adds `count` bytes at the end; false (nothing added) when no memory.
    bool Append(const char *bytes, std::size_t count) noexcept;
    // Adds `count` UTF-16 units below U+0100, each as the byte of its value;
    // false (nothing added) when no memory.
    bool AppendNarrowed(const char16_t *units, std::size_t count) noexcept;
    // Forgets the text and keeps the buffer.
    void Clear() noexcept { m_Length = 0; }

    // The joined text, NUL-terminated.
    const char *Text() const noexcept { return m_Buffer != nullptr ? m_Buffer : ""; }
    std::size_t Length() const noexcept { return m_Length; }

  private:
    // Room for `count` more bytes and the NUL: false when no memory.
    bool Reserve(std::size_t count) noexcept;

    char *m_Buffer = nullptr;
    std::size_t m_Length = 0;
    std::size_t m_Capacity = 0; // bytes, the terminating NUL included
};

} // namespace ostak
