// Issuing messages toward the caller's log callback: catalogue messages by
// number, texts the library composes itself, and the message of a result code.
// Every hand-over sets the issue-once flag, whether or not a callback is registered.
#pragma once

#include "1-platform/textcat.h"

#include <cstdint>
#include <initializer_list>

namespace ostak {

// Source lines that travel with certain messages, as callers know them.
constexpr int32_t kLineInitMessage = 441;
constexpr int32_t kLineHostNameMessage = 515;
constexpr int32_t kLineIssueByRcCatalogue = 89;
constexpr int32_t kLineIssueByRcText = 99;
constexpr int32_t kLineObtainFileStat = 42;

constexpr int32_t kLevelTrace = 1;
constexpr int32_t kLevelWarning = 5;
constexpr int32_t kLevelError = 6;
constexpr int32_t kLevelFatal = 7;

// Catalogue numbers issued directly.
constexpr int32_t kMsgText = -32599;
constexpr int32_t kMsgAttrInvalid = -32598;
constexpr int32_t kMsgAttrInvalidNoPos = -32597;
constexpr int32_t kMsgParserReport = -32596;
constexpr int32_t kMsgNoMemory = -32590;
constexpr int32_t kMsgStatFailed = -32570;
constexpr int32_t kMsgApplDuplicate = -32568;
constexpr int32_t kMsgRuleDuplicate = -32567;
constexpr int32_t kMsgRuleDuplicateNoPos = -32566;
constexpr int32_t kMsgDtdOpen = -32553;
constexpr int32_t kMsgOutputOpen = -32552;
constexpr int32_t kMsgDiffMarkInvalid = -32550;
constexpr int32_t kMsgRemoveFailed = -32549;
constexpr int32_t kMsgLocked = -32548;

// The catalogue number that issuing by result code uses for `rc`, or 0 when
// that code is issued as a plain text or not at all.
int32_t CatalogueNumberOfRc(int32_t rc) noexcept;

// Formats catalogue message `msgId` with `args` and issues it; without a text
// from the catalogue it issues a fallback text naming the number, function and line.
void MsgFormatAndIssue(int32_t msgId, const char *funcName, int32_t line, int32_t level,
                       std::initializer_list<MsgArg> args = {}) noexcept;

// Issues a text the library composed itself (message number 0).
void IssueText(const char *text, const char *funcName, int32_t line, int32_t level) noexcept;

// Issues the message of a result code (nothing for 0, 37, 39 and 40, whose
// specific messages went out where they arose).
void IssueMsgByRc(int32_t rc) noexcept;

// The issue-once flag.
bool IssuedOnce() noexcept;
void ClearIssueOnce() noexcept;

// Issues the message of a failure code unless a message was issued during
// the call; returns the code.
int32_t IssueUnlessIssued(int32_t rc) noexcept;

} // namespace ostak
