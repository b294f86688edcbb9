// The frame every export runs in, and the library's one exception firewall.
//
// RunExport clears the issue-once flag, presets the export's output places,
// refuses with OSTAK_E_NOT_INITIALISED before initialisation, runs the
// export's body, turns anything thrown into a result code (with a message),
// and issues the message of a failure code unless one was issued during the
// call. Every export goes through here, so the order of these steps, logging
// and breakpoints for failures have one home.
#pragma once

#include "include/ostak.h"

#include <cstdint>
#include <tuple>

namespace ostak {

// Classifies the exception being handled: no memory gives 7 (its message is
// left to the code), anything else 23 after a message naming the exception,
// issued as from `funcName`. Call only inside a catch block.
int32_t ResultFromCurrentException(const char *funcName) noexcept;

// Issues a failure's message once and returns the code.
int32_t FinishExport(int32_t rc) noexcept;

// Whether the library is initialised.
bool LibraryInitialised() noexcept;

// What an export asks of the library's state on entry.
enum ExportEntry {
    kRequireInit,    // refuses with OSTAK_E_NOT_INITIALISED before initialisation
    kAnyTime,        // runs also before initialisation (destroying a rule-file object, termination)
    kInitialisation, // initialisation itself: runs at any time and clears the issue-once flag itself
};

// Stores `value` where `place` points, unless the caller gave no place.
template <class T> void StoreIfPlace(T *place, T value) noexcept {
    if (place != nullptr) {
        *place = value;
    }
}

// One output place and the value the caller finds there when the export refuses.
template <class T> struct Preset {
    T *place;
    T value;

    void Apply() const noexcept { StoreIfPlace(place, value); }
};

// The output places an export presets, as pairs of a place and its value:
// Presets(mppElemRuleFailing, nullptr, mpbValid, 0). Presets() presets nothing.
inline std::tuple<> Presets() noexcept {
    return {};
}
template <class T, class V, class... Rest> auto Presets(T *place, V value, Rest... rest) noexcept {
    return std::tuple_cat(std::tuple<Preset<T>>(Preset<T>{place, static_cast<T>(value)}), Presets(rest...));
}

// Runs an export: `presets` from Presets(...), `entry` its rule, `body` a
// callable returning the int32_t result, which checks the arguments and does
// the work. The places are preset first, so that the caller finds them
// cleared whatever the refusal; the library's state is checked before the
// body can refuse an argument.
template <class Places, class Body>
int32_t RunExport(const char *funcName, const Places &presets, ExportEntry entry, Body &&body) noexcept;

// An export with no places to preset that runs at any time.
template <class Body> int32_t RunExport(const char *funcName, Body &&body) noexcept {
    return RunExport(funcName, Presets(), kAnyTime, body);
}

} // namespace ostak

#include "2-core/MsgIssue.h"

namespace ostak {

template <class Places, class Body>
int32_t RunExport(const char *funcName, const Places &presets, ExportEntry entry, Body &&body) noexcept {
    if (entry != kInitialisation) {
        ClearIssueOnce();
    }
    std::apply([](const auto &...preset) { (preset.Apply(), ...); }, presets);
    if (entry == kRequireInit && !LibraryInitialised()) {
        return FinishExport(OSTAK_E_NOT_INITIALISED);
    }
    int32_t rc = 0;
    try {
        rc = body();
    } catch (...) {
        rc = ResultFromCurrentException(funcName);
    }
    return FinishExport(rc);
}

} // namespace ostak
