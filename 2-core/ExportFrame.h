// The frame every export runs in, and the library's one exception firewall.
//
// RunExport clears the issue-once flag, runs the export's body, turns anything
// thrown into a result code (with a message), and issues the message of a
// failure code unless one was issued during the call. Every export goes
// through here, so logging and breakpoints for failures have one home.
#pragma once

#include <cstdint>

namespace ostak {

// Classifies the exception being handled: no memory gives 7 (its message is
// left to the code), anything else 23 after a message naming the exception,
// issued as from `funcName`. Call only inside a catch block.
int32_t ResultFromCurrentException(const char *funcName) noexcept;

// Issues a failure's message once and returns the code.
int32_t FinishExport(int32_t rc) noexcept;

// Body: a callable returning int32_t. It runs after the issue-once flag was
// cleared (clearIssueOnce true) and returns the export's result.
template <class Body>
int32_t RunExport(const char *funcName, Body &&body, bool clearIssueOnce = true) noexcept;

} // namespace ostak

#include "2-core/MsgIssue.h"

namespace ostak {

template <class Body> int32_t RunExport(const char *funcName, Body &&body, bool clearIssueOnce) noexcept {
    if (clearIssueOnce) {
        ClearIssueOnce();
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
