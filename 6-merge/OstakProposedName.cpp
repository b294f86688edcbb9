#include "6-merge/OstakProposedName.h"

#include "include/ostak.h"
#include "1-platform/Alloc.h"
#include "1-platform/basekit32.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace ostak {

namespace {

constexpr char kNumberedPrefix[] = "Rule_";
constexpr std::size_t kNumberedPrefixLength = sizeof kNumberedPrefix - 1;
// Room for the separator, the digits of any counter and the terminating zero.
constexpr std::size_t kCandidateReserve = 24;

} // namespace

OstakProposedName::~OstakProposedName() {
    FreeRaw(buffer_);
}

int32_t OstakProposedName::Make(const char *name, const OstakListRule *const *lists,
                                std::size_t count) noexcept {
    OstakTakenNames taken;
    const int32_t rc = taken.Build(lists, count, 0);
    if (rc != OSTAK_OK) {
        return rc;
    }
    return Make(name, taken);
}

int32_t OstakProposedName::Make(const char *name, OstakTakenNames &taken) noexcept {
    const std::size_t length = std::strlen(name);
    char *buffer = static_cast<char *>(AllocRaw(length + kCandidateReserve));
    if (buffer == nullptr) {
        return OSTAK_E_NO_MEMORY;
    }
    FreeRaw(buffer_);
    buffer_ = buffer;

    // "Rule_<n>" counts on from n in place of its digits; any other name gets "_<k>" appended.
    uint32_t start = 0;
    const bool numbered = std::strncmp(name, kNumberedPrefix, kNumberedPrefixLength) == 0 &&
                          os_convert_to_unsigned_long(name + kNumberedPrefixLength, -1, &start) == kOsSuccess;
    const std::size_t stemLength = numbered ? kNumberedPrefixLength : length;
    std::memcpy(buffer_, name, stemLength);
    char *digits = buffer_ + stemLength;
    if (!numbered) {
        *digits++ = '_';
    }
    const std::size_t room = length + kCandidateReserve - static_cast<std::size_t>(digits - buffer_);
    // The counter is printed unsigned and wide, so that every candidate is a valid name.
    const uint64_t counter =
        taken.FirstFreeAfter(buffer_, static_cast<std::size_t>(digits - buffer_), numbered ? start : 0);
    std::snprintf(digits, room, "%" PRIu64, counter);
    return OSTAK_OK;
}

} // namespace ostak
