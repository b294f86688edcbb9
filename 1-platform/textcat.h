// Stand-in for the maker's message catalogue.
//
// A resource file is a text file of our own format: one message per line,
// "<number><TAB><text>", where %1 to %9 stand for the message's arguments in
// order and %% for a percent sign; blank lines and lines starting with '#'
// are skipped. Arguments are typed (integer or string), since pointers do not
// fit the 32-bit words of the original interface.
#pragma once

#include <cstdint>

namespace ostak {

// One argument of a catalogue message; a list of them ends with kEnd.
struct MsgArg {
    enum Kind { kEnd, kInt, kStr };
    Kind kind;
    int64_t number;
    const char *text;

    static MsgArg End() { return MsgArg{kEnd, 0, nullptr}; }
    static MsgArg Int(int64_t value) { return MsgArg{kInt, value, nullptr}; }
    static MsgArg Str(const char *value) { return MsgArg{kStr, 0, value}; }
};

// 0 on success, an error number otherwise.
int32_t MsgHandlerInitFunction() noexcept;
// Forgets every registered resource file.
int32_t MsgHandlerDestroyFunction() noexcept;
// Reads and registers a resource file: 0, or the error number (errno when it
// cannot be read, 1001 when a line is malformed).
int32_t AddResourceFile(const char *path) noexcept;
// 0, or 1002 when that file was not registered.
int32_t RemoveResourceFile(const char *path) noexcept;

// Formats message `msgId` with `args` (ended by MsgArg::End()). On success
// `*text` points to the finished text, to be released with
// FreeGenericMessage; on failure (unknown number, an argument the text names
// is missing, no memory) `*text` is null. The first three parameters are
// taken for compatibility and not used.
int32_t FormatGenericMessage(const char *application, int32_t language, uint32_t flags, int32_t msgId,
                             const MsgArg *args, char **text) noexcept;
void FreeGenericMessage(char *text) noexcept;

// The registered text of a number, or null (for the catalogue's own tests).
const char *CatalogueText(int32_t msgId) noexcept;

} // namespace ostak
