#include "tools/Text.h"

#include "tools/Cli.h"

#include <cstdio>

namespace ostak_tool {

namespace {

bool g_textsAreUtf8 = false;

constexpr const char *kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at `i`, or 0.
std::size_t Utf8SequenceLength(const std::string &text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsControlByte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

std::string Hex(const char *prefix, uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%0*X", prefix, digits, static_cast<unsigned>(value));
    return text;
}

} // namespace

std::string Printable(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (IsControlByte(byte) || (!g_textsAreUtf8 && byte >= 0x80 && byte <= 0x9F)) {
            out += Hex("\\x", byte, 2);
            ++i;
            continue;
        }
        if (!g_textsAreUtf8 || byte < 0x80) {
            out += static_cast<char>(byte);
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += Hex("\\x", byte, 2);
            ++i;
        } else if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out += Hex("\\u", static_cast<unsigned char>(text[i + 1]), 4);
            i += 2;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

void SetTextsAreUtf8(bool utf8) {
    g_textsAreUtf8 = utf8;
}

bool TextsAreUtf8() {
    return g_textsAreUtf8;
}

std::string ToUtf8(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!g_textsAreUtf8) {
            if (byte < 0x80) {
                out += static_cast<char>(byte);
            } else {
                out += static_cast<char>(0xC0 | (byte >> 6));
                out += static_cast<char>(0x80 | (byte & 0x3F));
            }
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

const char *KindName(ostak::FileKind kind) {
    switch (kind) {
    case ostak::FileKind::Plain:
        return "plain";
    case ostak::FileKind::Script:
        return "script";
    case ostak::FileKind::Installation:
        return "installation";
    case ostak::FileKind::Source:
        return "source";
    }
    return "?";
}

std::optional<ostak::FileKind> KindByName(const std::string &name) {
    for (ostak::FileKind kind : {ostak::FileKind::Plain, ostak::FileKind::Script,
                                 ostak::FileKind::Installation, ostak::FileKind::Source}) {
        if (name == KindName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

ostak::FileKind KindOption(const std::string &option, const std::string &name) {
    std::optional<ostak::FileKind> kind = KindByName(name);
    if (!kind) {
        throw UsageError("--" + option + ": unknown kind \"" + name +
                         "\" (plain, script, installation or source)");
    }
    return *kind;
}

std::string LevelName(ostak::Level level) {
    switch (level) {
    case ostak::Level::Error:
        return "error";
    case ostak::Level::Disabled:
        return "disabled";
    }
    return std::to_string(static_cast<int32_t>(level));
}

std::string TypeName(ostak::RuleType type) {
    switch (type) {
    case ostak::RuleType::Std:
        return "std";
    case ostak::RuleType::Alert:
        return "alert";
    }
    return std::to_string(static_cast<int32_t>(type));
}

RuleValues ReadRule(const ostak::Rule &rule) {
    return RuleValues{rule.name(),      rule.text(),           rule.prefix(), rule.suffix(), rule.useText(),
                      rule.matchCase(), rule.failIfNotFound(), rule.level(),  rule.type()};
}

std::vector<std::string> DifferingFields(const RuleValues &a, const RuleValues &b) {
    std::vector<std::string> fields;
    auto note = [&](bool differs, const char *field) {
        if (differs) {
            fields.push_back(field);
        }
    };
    note(a.name != b.name, "name");
    note(a.text != b.text, "text");
    note(a.prefix != b.prefix, "prefix");
    note(a.suffix != b.suffix, "suffix");
    note(a.useText != b.useText, "useText");
    note(a.matchCase != b.matchCase, "matchCase");
    note(a.failIfNotFound != b.failIfNotFound, "failIfNotFound");
    note(a.level != b.level, "level");
    note(a.type != b.type, "type");
    return fields;
}

std::string DescribeRule(const RuleValues &rule) {
    std::string out = rule.useText ? "text \"" + Printable(rule.text) + "\""
                                   : "prefix \"" + Printable(rule.prefix) + "\" suffix \"" +
                                         Printable(rule.suffix) + "\"";
    out += " [" + LevelName(rule.level) + ", " + TypeName(rule.type) + ", " +
           (rule.matchCase ? "match case" : "any case");
    if (rule.failIfNotFound) {
        out += ", fail if not found";
    }
    return out + "]";
}

} // namespace ostak_tool
