// How the tool names and shows the library's values: file kinds, levels,
// types, and rule texts (held in the process code page) turned into UTF-8.
#pragma once

#include "include/ostak.hpp"

#include <optional>
#include <string>
#include <vector>

namespace ostak_tool {

// Whether the library's texts are UTF-8 in this run: the converter switch is
// on, or the locale's code page is UTF-8. Otherwise they are ISO-8859-1.
void SetTextsAreUtf8(bool utf8);
bool TextsAreUtf8();

// A library text as UTF-8 (for JSON): ISO-8859-1 is converted, invalid UTF-8 replaced by U+FFFD.
std::string ToUtf8(const std::string &text);

// The text as it may be printed on a terminal: every control character (C0,
// DEL and C1; in UTF-8 also bytes that form no character) is shown escaped as
// \xHH, or \uHHHH for a C1 control written in UTF-8, so that no value of a
// rule file can drive the terminal. Other characters are left as they are.
std::string Printable(const std::string &text);

// "plain", "script", "installation", "source".
const char *KindName(ostak::FileKind kind);
std::optional<ostak::FileKind> KindByName(const std::string &name);
// Throws UsageError naming the option when `name` is no kind.
ostak::FileKind KindOption(const std::string &option, const std::string &name);

// "error", "disabled", else the number.
std::string LevelName(ostak::Level level);
// "std", "alert", else the number.
std::string TypeName(ostak::RuleType type);

// Every value of a rule, read once through the library.
struct RuleValues {
    std::string name, text, prefix, suffix;
    bool useText, matchCase, failIfNotFound;
    ostak::Level level;
    ostak::RuleType type;
};
RuleValues ReadRule(const ostak::Rule &rule);

// The fields (as named in the JSON output) whose values differ between two rules.
std::vector<std::string> DifferingFields(const RuleValues &a, const RuleValues &b);

// One line describing a rule: `text "..." [error, std, match case]`.
std::string DescribeRule(const RuleValues &rule);

} // namespace ostak_tool
