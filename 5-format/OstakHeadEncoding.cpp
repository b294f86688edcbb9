#include "5-format/OstakHeadEncoding.h"

#include <cstring>

namespace ostak {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr std::size_t kUtf8BomLength = 3;

bool IsXmlSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char AsciiLower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(const char *text, std::size_t length, const char *name) noexcept {
    if (std::strlen(name) != length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (AsciiLower(text[i]) != AsciiLower(name[i])) {
            return false;
        }
    }
    return true;
}

// Where a pseudo-attribute's quoted value lies within [begin, end).
struct ValueSpan {
    const char *begin = nullptr; // first character of the value
    const char *end = nullptr;   // its closing quote
};

// Finds the pseudo-attribute `name` ("version", "encoding") in the XML
// declaration [begin, end): preceded by white space, then optional white
// space, '=', optional white space and a quoted value.
ValueSpan FindPseudoAttribute(const char *begin, const char *end, const char *name) noexcept {
    const std::size_t nameLength = std::strlen(name);
    for (const char *at = begin; at + nameLength < end; ++at) {
        if (!IsXmlSpace(at[0]) || std::memcmp(at + 1, name, nameLength) != 0) {
            continue;
        }
        const char *p = at + 1 + nameLength;
        while (p < end && IsXmlSpace(*p)) {
            ++p;
        }
        if (p >= end || *p != '=') {
            continue;
        }
        ++p;
        while (p < end && IsXmlSpace(*p)) {
            ++p;
        }
        if (p >= end || (*p != '"' && *p != '\'')) {
            continue;
        }
        const char quote = *p++;
        const char *close =
            static_cast<const char *>(std::memchr(p, quote, static_cast<std::size_t>(end - p)));
        if (close == nullptr) {
            return {};
        }
        return {p, close};
    }
    return {};
}

// Appends bytes to the output.
struct Output {
    char *at;
    void Put(const char *bytes, std::size_t count) noexcept {
        std::memcpy(at, bytes, count);
        at += count;
    }
    void Put(const char *text) noexcept { Put(text, std::strlen(text)); }
};

} // namespace

const char *BodyEncodingName(BodyEncoding encoding) noexcept {
    return encoding == BodyEncoding::kUtf8 ? "UTF-8" : "ISO-8859-1";
}

std::size_t RelabelHead(const char *block, std::size_t count, BodyEncoding encoding, char *out) noexcept {
    const char *const name = BodyEncodingName(encoding);
    const char *p = block;
    const char *const end = block + count;
    Output output{out};

    // A UTF-8 byte order mark would overrule any label: keep it only for a UTF-8 body.
    if (count >= kUtf8BomLength && std::memcmp(p, kUtf8Bom, kUtf8BomLength) == 0) {
        if (encoding == BodyEncoding::kUtf8) {
            output.Put(p, kUtf8BomLength);
        }
        p += kUtf8BomLength;
    }

    const bool hasDeclaration = end - p >= 6 && std::memcmp(p, "<?xml", 5) == 0 && IsXmlSpace(p[5]);
    if (!hasDeclaration) {
        // Without a declaration a parser reads UTF-8.
        if (encoding != BodyEncoding::kUtf8) {
            output.Put("<?xml version=\"1.0\" encoding=\"");
            output.Put(name);
            output.Put("\"?>\r\n");
        }
        output.Put(p, static_cast<std::size_t>(end - p));
        return static_cast<std::size_t>(output.at - out);
    }

    const char *close = nullptr;
    for (const char *q = p; q + 1 < end; ++q) {
        if (q[0] == '?' && q[1] == '>') {
            close = q;
            break;
        }
    }
    const ValueSpan label = close == nullptr ? ValueSpan{} : FindPseudoAttribute(p, close, "encoding");
    if (label.begin != nullptr) {
        if (SameIgnoringCase(label.begin, static_cast<std::size_t>(label.end - label.begin), name)) {
            output.Put(p, static_cast<std::size_t>(end - p));
        } else {
            output.Put(p, static_cast<std::size_t>(label.begin - p));
            output.Put(name);
            output.Put(label.end, static_cast<std::size_t>(end - label.end));
        }
        return static_cast<std::size_t>(output.at - out);
    }

    const ValueSpan version = close == nullptr ? ValueSpan{} : FindPseudoAttribute(p, close, "version");
    if (encoding == BodyEncoding::kUtf8 || version.begin == nullptr) {
        // No label means UTF-8; a declaration without a version is left to the parser to refuse.
        output.Put(p, static_cast<std::size_t>(end - p));
        return static_cast<std::size_t>(output.at - out);
    }
    const char *afterVersion = version.end + 1;
    output.Put(p, static_cast<std::size_t>(afterVersion - p));
    output.Put(" encoding=\"");
    output.Put(name);
    output.Put("\"");
    output.Put(afterVersion, static_cast<std::size_t>(end - afterVersion));
    return static_cast<std::size_t>(output.at - out);
}

} // namespace ostak
