// The names that proposals for second copies must avoid, indexed for the
// proposals of one application merge.
//
// A proposal is a stem ending in "_" followed by a number printed in decimal
// without leading zeros (1, 2, ...). Only names of that form can ever equal a
// proposal, so only they are indexed, under their stem and number. For each
// stem the taken numbers form runs; every indexed number points at a number
// after it such that all numbers in between are taken (pointers are shortened
// as they are followed), so the first free number after a start costs
// amortised near-constant time instead of a scan of every list per candidate.
//
// The stems of the lists' names are copied, so that the index stays sound
// whatever happens to those rules; a name given to Add must stay valid and
// unchanged while the index is in use.
#pragma once

#include "3-model/OstakList.h"

#include <cstddef>
#include <cstdint>

namespace ostak {

class OstakTakenNames {
  public:
    OstakTakenNames() noexcept = default;
    ~OstakTakenNames();
    OstakTakenNames(const OstakTakenNames &) = delete;
    OstakTakenNames &operator=(const OstakTakenNames &) = delete;

    // Empties the index and indexes every rule name of the `count` lists
    // (null lists are skipped), with room for `spare` more names, which Add
    // then takes without allocating. 0, or 7 when the room cannot be
    // allocated (the index is then empty).
    int32_t Build(const OstakListRule *const *lists, std::size_t count, std::size_t spare) noexcept;

    // Indexes one more name: 0, or 7 when the room cannot be allocated.
    int32_t Add(const char *name) noexcept;

    // The smallest number after `start` that, printed after the stem (the
    // first `stemLength` characters of `stem`), gives no indexed name.
    uint64_t FirstFreeAfter(const char *stem, std::size_t stemLength, uint64_t start) noexcept;

    // Empties the index and frees its room.
    void Clear() noexcept;

    // Table slots inspected since the index was made: a measure of the cost
    // of building and asking, for the tests that guard against growth.
    uint64_t Probes() const noexcept { return probes_; }

  private:
    struct Stem;
    struct Number;

    // The id of the stem, adding it when `add` (then never fails: room was
    // made before), copied into the arena when `copy`; 0 when absent.
    uint32_t StemId(const char *text, std::size_t length, bool add, bool copy = false) noexcept;
    // The slot of the stem's number, or of the empty slot where it belongs.
    Number &NumberSlot(uint32_t stem, uint64_t number) noexcept;
    // Grows both tables so that `more` names fit at half load at most. 0 or 7.
    int32_t Reserve(std::size_t more) noexcept;
    void IndexSplit(const char *name, std::size_t stemLength, uint64_t number, bool copyStem) noexcept;

    Stem *stems_ = nullptr;
    std::size_t stemCapacity_ = 0; // a power of two, or 0
    std::size_t stemCount_ = 0;
    Number *numbers_ = nullptr;
    std::size_t numberCapacity_ = 0; // a power of two, or 0
    std::size_t numberCount_ = 0;
    // Copies of the stems of the lists' names.
    char *arena_ = nullptr;
    std::size_t arenaUsed_ = 0;
    uint64_t probes_ = 0;
};

} // namespace ostak
