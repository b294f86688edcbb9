#include "2-core/MsgIssue.h"

#include "2-core/OstakGlobals.h"

#include <cstdio>

namespace ostak {

namespace {

constexpr const char *kIssueByRcName = "xfeOstakIssueMsgByRc";
constexpr int32_t kUnknownCodeIndex = 41;

// What issuing by result code does for each code 0..41: a catalogue number,
// or else a literal text (null: nothing is issued).
struct RcMessage {
    int32_t catalogueNumber;
    const char *text;
};

constexpr RcMessage kRcMessages[kUnknownCodeIndex + 1] = {
    {0, nullptr},                          // 0
    {0, "Message handler init failed"},    // 1
    {0, "Message file add/remove failed"}, // 2
    {-32594, nullptr},                     // 3
    {-32593, nullptr},                     // 4
    {-32592, nullptr},                     // 5
    {-32591, nullptr},                     // 6
    {-32590, nullptr},                     // 7
    {-32589, nullptr},                     // 8
    {-32588, nullptr},                     // 9
    {-32587, nullptr},                     // 10
    {-32586, nullptr},                     // 11
    {-32585, nullptr},                     // 12
    {-32584, nullptr},                     // 13
    {-32583, nullptr},                     // 14
    {-32582, nullptr},                     // 15
    {-32581, nullptr},                     // 16
    {-32580, nullptr},                     // 17
    {-32578, nullptr},                     // 18
    {-32577, nullptr},                     // 19
    {-32576, nullptr},                     // 20
    {-32575, nullptr},                     // 21
    {-32574, nullptr},                     // 22
    {-32573, nullptr},                     // 23
    {-32571, nullptr},                     // 24
    {-32565, nullptr},                     // 25
    {-32564, nullptr},                     // 26
    {-32563, nullptr},                     // 27
    {-32562, nullptr},                     // 28
    {-32561, nullptr},                     // 29
    {-32560, nullptr},                     // 30
    {-32559, nullptr},                     // 31
    {-32558, nullptr},                     // 32
    {-32557, nullptr},                     // 33
    {-32556, nullptr},                     // 34
    {-32555, nullptr},                     // 35
    {-32554, nullptr},                     // 36
    {0, nullptr},                          // 37: the specific message went out already
    {-32551, nullptr},                     // 38
    {0, nullptr},                          // 39: the specific message went out already
    {0, nullptr},                          // 40: the specific message (-32548) went out already
    {-32572, nullptr},                     // 41 and above: unknown code
};

std::size_t IndexOfRc(int32_t rc) noexcept {
    const uint32_t code = static_cast<uint32_t>(rc);
    return code >= kUnknownCodeIndex ? kUnknownCodeIndex : code;
}

void HandToCallback(int32_t msgId, const char *text, const char *funcName, int32_t line,
                    int32_t level) noexcept {
    OstakGlobals &globals = Globals();
    globals.issuedOnce = true;
    if (globals.logCallback != nullptr) {
        globals.logCallback(msgId, text, funcName, line, level);
    }
}

} // namespace

int32_t CatalogueNumberOfRc(int32_t rc) noexcept {
    return kRcMessages[IndexOfRc(rc)].catalogueNumber;
}

void MsgFormatAndIssue(int32_t msgId, const char *funcName, int32_t line, int32_t level,
                       std::initializer_list<MsgArg> args) noexcept {
    MsgArg list[16];
    std::size_t count = 0;
    for (const MsgArg &arg : args) {
        if (count + 1 == sizeof list / sizeof list[0]) {
            break;
        }
        list[count++] = arg;
    }
    list[count] = MsgArg::End();

    char *text = nullptr;
    FormatGenericMessage("", -1, 0x50100000u, msgId, list, &text);
    if (text != nullptr) {
        HandToCallback(msgId, text, funcName, line, level);
        FreeGenericMessage(text);
        return;
    }
    char fallback[kMessageBufferSize];
    std::snprintf(fallback, sizeof fallback,
                  "FormatGenericMessage failed in fvOstakMsgFormatAndIssue for miMsgId=%d, mpszFuncName=%s, "
                  "miFuncLine=%d",
                  static_cast<int>(msgId), funcName, static_cast<int>(line));
    HandToCallback(msgId, fallback, funcName, line, level);
}

void IssueText(const char *text, const char *funcName, int32_t line, int32_t level) noexcept {
    HandToCallback(0, text, funcName, line, level);
}

void IssueMsgByRc(int32_t rc) noexcept {
    const RcMessage &entry = kRcMessages[IndexOfRc(rc)];
    const int32_t level = rc != 0 ? kLevelError : 0;
    if (entry.catalogueNumber != 0) {
        MsgFormatAndIssue(entry.catalogueNumber, kIssueByRcName, kLineIssueByRcCatalogue, level);
        return;
    }
    if (entry.text != nullptr) {
        IssueText(entry.text, kIssueByRcName, kLineIssueByRcText, level);
    }
}

bool IssuedOnce() noexcept {
    return Globals().issuedOnce;
}

void ClearIssueOnce() noexcept {
    Globals().issuedOnce = false;
}

int32_t IssueUnlessIssued(int32_t rc) noexcept {
    if (rc != 0 && !IssuedOnce()) {
        IssueMsgByRc(rc);
    }
    return rc;
}

} // namespace ostak
