#include "6-merge/OstakTakenNames.h"

#include "1-platform/Alloc.h"
#include "include/ostak.h"

#include <cstring>

namespace ostak {

struct OstakTakenNames::Stem {
    const char *text; // the stem is the first `length` characters
    std::size_t length;
    uint64_t hash;
    uint32_t id; // 0: the slot is empty
};

struct OstakTakenNames::Number {
    uint64_t number;
    // Every number from `number` up to before `next` is taken under the stem.
    uint64_t next;
    uint32_t stem; // 0: the slot is empty
};

namespace {

constexpr std::size_t kMinimumCapacity = 16;
// The most digits of an unsigned 64-bit number.
constexpr std::size_t kMaxDigits = 20;

uint64_t HashBytes(const char *text, std::size_t length) noexcept {
    uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < length; ++i) {
        hash = (hash ^ static_cast<unsigned char>(text[i])) * 1099511628211ull;
    }
    return hash;
}

uint64_t Mix(uint64_t value) noexcept {
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdull;
    value ^= value >> 33;
    value *= 0xc4ceb9fe1a85ec53ull;
    value ^= value >> 33;
    return value;
}

// Splits a name into a stem ending in "_" and a number of at least 1 printed
// without leading zeros after it. False for every other name: none of those
// can ever be proposed.
bool SplitName(const char *name, std::size_t &stemLength, uint64_t &number) noexcept {
    const std::size_t length = std::strlen(name);
    std::size_t start = length;
    while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') {
        --start;
    }
    const std::size_t digits = length - start;
    if (digits == 0 || digits > kMaxDigits || start == 0 || name[start - 1] != '_' || name[start] == '0') {
        return false;
    }
    uint64_t value = 0;
    for (std::size_t i = start; i < length; ++i) {
        const uint64_t digit = static_cast<uint64_t>(name[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    stemLength = start;
    number = value;
    return true;
}

std::size_t CapacityFor(std::size_t count) noexcept {
    std::size_t capacity = kMinimumCapacity;
    while (capacity < count * 2) {
        capacity *= 2;
    }
    return capacity;
}

template <class Slot> Slot *AllocSlots(std::size_t capacity) noexcept {
    Slot *slots = static_cast<Slot *>(AllocRaw(capacity * sizeof(Slot)));
    if (slots != nullptr) {
        std::memset(static_cast<void *>(slots), 0, capacity * sizeof(Slot));
    }
    return slots;
}

} // namespace

OstakTakenNames::~OstakTakenNames() {
    Clear();
}

void OstakTakenNames::Clear() noexcept {
    FreeRaw(stems_);
    FreeRaw(numbers_);
    FreeRaw(arena_);
    arena_ = nullptr;
    arenaUsed_ = 0;
    stems_ = nullptr;
    numbers_ = nullptr;
    stemCapacity_ = 0;
    stemCount_ = 0;
    numberCapacity_ = 0;
    numberCount_ = 0;
}

int32_t OstakTakenNames::Build(const OstakListRule *const *lists, std::size_t count,
                               std::size_t spare) noexcept {
    Clear();
    std::size_t names = spare;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < count; ++i) {
        for (const OstakElem *rule = lists[i] != nullptr ? lists[i]->First() : nullptr; rule != nullptr;
             rule = rule->Next()) {
            ++names;
            characters += std::strlen(rule->Name());
        }
    }
    if (characters > 0) {
        arena_ = static_cast<char *>(AllocRaw(characters));
        if (arena_ == nullptr) {
            return OSTAK_E_NO_MEMORY;
        }
    }
    const int32_t rc = Reserve(names);
    if (rc != OSTAK_OK) {
        Clear();
        return rc;
    }
    for (std::size_t i = 0; i < count; ++i) {
        for (const OstakElem *rule = lists[i] != nullptr ? lists[i]->First() : nullptr; rule != nullptr;
             rule = rule->Next()) {
            std::size_t stemLength = 0;
            uint64_t number = 0;
            if (SplitName(rule->Name(), stemLength, number)) {
                IndexSplit(rule->Name(), stemLength, number, true);
            }
        }
    }
    return OSTAK_OK;
}

int32_t OstakTakenNames::Add(const char *name) noexcept {
    std::size_t stemLength = 0;
    uint64_t number = 0;
    if (!SplitName(name, stemLength, number)) {
        return OSTAK_OK;
    }
    const int32_t rc = Reserve(1);
    if (rc != OSTAK_OK) {
        return rc;
    }
    IndexSplit(name, stemLength, number, false);
    return OSTAK_OK;
}

uint64_t OstakTakenNames::FirstFreeAfter(const char *stem, std::size_t stemLength, uint64_t start) noexcept {
    uint64_t key = start + 1;
    const uint32_t id = StemId(stem, stemLength, false);
    if (id == 0) {
        return key;
    }
    // Follow the runs of taken numbers, pointing each one passed two steps on (path halving).
    Number *slot = &NumberSlot(id, key);
    while (slot->stem != 0) {
        const uint64_t next = slot->next;
        Number &following = NumberSlot(id, next);
        if (following.stem == 0) {
            return next;
        }
        slot->next = following.next;
        key = following.next;
        slot = &NumberSlot(id, key);
    }
    return key;
}

void OstakTakenNames::IndexSplit(const char *name, std::size_t stemLength, uint64_t number,
                                 bool copyStem) noexcept {
    const uint32_t id = StemId(name, stemLength, true, copyStem);
    Number &slot = NumberSlot(id, number);
    if (slot.stem != 0) {
        return;
    }
    slot.number = number;
    slot.next = number + 1;
    slot.stem = id;
    ++numberCount_;
}

uint32_t OstakTakenNames::StemId(const char *text, std::size_t length, bool add, bool copy) noexcept {
    if (stemCapacity_ == 0) {
        return 0;
    }
    const uint64_t hash = HashBytes(text, length);
    std::size_t index = static_cast<std::size_t>(Mix(hash)) & (stemCapacity_ - 1);
    for (;; index = (index + 1) & (stemCapacity_ - 1)) {
        ++probes_;
        Stem &slot = stems_[index];
        if (slot.id == 0) {
            if (!add) {
                return 0;
            }
            if (copy) {
                // Build made the arena as long as all names together.
                std::memcpy(arena_ + arenaUsed_, text, length);
                text = arena_ + arenaUsed_;
                arenaUsed_ += length;
            }
            slot = Stem{text, length, hash, static_cast<uint32_t>(++stemCount_)};
            return slot.id;
        }
        if (slot.hash == hash && slot.length == length && std::memcmp(slot.text, text, length) == 0) {
            return slot.id;
        }
    }
}

OstakTakenNames::Number &OstakTakenNames::NumberSlot(uint32_t stem, uint64_t number) noexcept {
    std::size_t index = static_cast<std::size_t>(Mix(number ^ (static_cast<uint64_t>(stem) << 40 | stem))) &
                        (numberCapacity_ - 1);
    for (;; index = (index + 1) & (numberCapacity_ - 1)) {
        ++probes_;
        Number &slot = numbers_[index];
        if (slot.stem == 0 || (slot.stem == stem && slot.number == number)) {
            return slot;
        }
    }
}

int32_t OstakTakenNames::Reserve(std::size_t more) noexcept {
    // A name adds at most one number and one stem; keep both tables at most half full.
    if (more > SIZE_MAX / 4 - numberCount_) {
        return OSTAK_E_NO_MEMORY;
    }
    const std::size_t need = numberCount_ + more;
    if (need * 2 <= numberCapacity_ && stemCount_ + more <= stemCapacity_ / 2) {
        return OSTAK_OK;
    }
    const std::size_t capacity = CapacityFor(need);
    Stem *stems = AllocSlots<Stem>(capacity);
    Number *numbers = stems != nullptr ? AllocSlots<Number>(capacity) : nullptr;
    if (numbers == nullptr) {
        FreeRaw(stems);
        return OSTAK_E_NO_MEMORY;
    }
    Stem *oldStems = stems_;
    const std::size_t oldStemCapacity = stemCapacity_;
    Number *oldNumbers = numbers_;
    const std::size_t oldNumberCapacity = numberCapacity_;
    stems_ = stems;
    stemCapacity_ = capacity;
    numbers_ = numbers;
    numberCapacity_ = capacity;
    // Stem ids stay as they were, so the numbers keep pointing at their stems.
    for (std::size_t i = 0; i < oldStemCapacity; ++i) {
        const Stem &old = oldStems[i];
        if (old.id == 0) {
            continue;
        }
        std::size_t index = static_cast<std::size_t>(Mix(old.hash)) & (capacity - 1);
        while (stems_[index].id != 0) {
            index = (index + 1) & (capacity - 1);
        }
        stems_[index] = old;
    }
    for (std::size_t i = 0; i < oldNumberCapacity; ++i) {
        if (oldNumbers[i].stem != 0) {
            NumberSlot(oldNumbers[i].stem, oldNumbers[i].number) = oldNumbers[i];
        }
    }
    FreeRaw(oldStems);
    FreeRaw(oldNumbers);
    return OSTAK_OK;
}

} // namespace ostak
