#include "tools/ValueScan.h"

#include "tools/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <string_view>

namespace ostak_tool {

namespace {

struct Attribute {
    std::string_view name; // in the file's bytes
    std::string value;
    std::size_t at; // where its name starts in the file
};

// A character of a text with where it stands: a byte of an ISO-8859-1 file,
// or a code point of a UTF-8 file (kInvalid for a byte that forms none).
struct Unit {
    uint32_t value;
    int32_t line;
    int32_t column;
};
constexpr uint32_t kInvalid = 0xFFFFFFFF;

std::string Lower(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// A code point as the library's texts hold it (UTF-8, or ISO-8859-1 with "?"
// for what that cannot hold).
std::string Shown(uint32_t cp) {
    std::string out;
    if (!TextsAreUtf8() || cp < 0x80) {
        out += cp <= 0xFF ? static_cast<char>(cp) : '?';
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// The length of a valid UTF-8 sequence of two or more bytes at `i` of
// `units` taken as bytes, with its code point; 0 when there is none.
std::size_t Utf8Sequence(const std::vector<Unit> &units, std::size_t i, uint32_t &cp) {
    const auto byte = [&](std::size_t k) { return units[k].value; };
    const uint32_t lead = byte(i);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > units.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    return cp >= smallest[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) ? length : 0;
}

class Scanner {
  public:
    Scanner(const std::string &bytes, const std::string &dtdPath) : bytes_(bytes), dtdPath_(dtdPath) {
        // The blanks as std::isspace has them, asked once instead of at every byte.
        for (int c = 0; c < 256; ++c) {
            blank_[static_cast<std::size_t>(c)] = std::isspace(c) != 0;
        }
    }

    std::vector<ValueWarning> Run() {
        while (at_ < bytes_.size()) {
            const char next = at_ + 1 < bytes_.size() ? bytes_[at_ + 1] : '\0';
            if (bytes_[at_] != '<') {
                Text(Until('<'));
            } else if (next != '!' && next != '?' && next != '/') {
                StartTag();
            } else if (next == '/') {
                EndTag();
            } else if (StartsWith("<!--")) {
                SkipPast("-->");
            } else if (StartsWith("<?")) {
                Declaration();
            } else if (StartsWith("<![CDATA[")) {
                Skip(9);
                Text(Until("]]>"));
                Skip(3);
            } else if (StartsWith("<!DOCTYPE")) {
                head_ = true;
                DocumentType();
            } else if (bytes_[at_] == '<') {
                StartTag();
            } else {
                Text(Until('<'));
            }
        }
        return std::move(warnings_);
    }

  private:
    struct Place {
        std::size_t at;
    };
    struct Position {
        int32_t line;
        int32_t column;
    };

    // The line and column of byte `at`, from an index of the line starts made
    // on first need: the scan itself only moves through the bytes.
    Position PositionOf(std::size_t at) {
        if (lineStarts_.empty()) {
            lineStarts_.push_back(0);
            for (std::size_t i = bytes_.find('\n'); i != std::string::npos; i = bytes_.find('\n', i + 1)) {
                lineStarts_.push_back(i + 1);
            }
        }
        const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), at);
        const std::size_t start = *(next - 1);
        int32_t column = 1;
        for (std::size_t i = start; i < at && i < bytes_.size(); ++i) {
            column += utf8_ && (static_cast<unsigned char>(bytes_[i]) & 0xC0) == 0x80 ? 0 : 1;
        }
        return Position{static_cast<int32_t>(next - lineStarts_.begin()), column};
    }

    bool StartsWith(std::string_view text) const {
        return std::string_view(bytes_).compare(at_, text.size(), text) == 0;
    }

    Place Here() const { return Place{at_}; }

    void Skip(std::size_t count) {
        at_ = std::min(at_ + count, bytes_.size());
    }

    // Skips to `end` (not past it); answers where the skipped part began.
    Place Until(const char *end) {
        const Place start = Here();
        std::size_t found = bytes_.find(end, at_);
        Skip((found == std::string::npos ? bytes_.size() : found) - at_);
        return start;
    }
    Place Until(char end) {
        const Place start = Here();
        std::size_t found = bytes_.find(end, at_);
        Skip((found == std::string::npos ? bytes_.size() : found) - at_);
        return start;
    }

    void SkipPast(const char *end) {
        Until(end);
        Skip(std::char_traits<char>::length(end));
    }
    void SkipPast(char end) {
        Until(end);
        Skip(1);
    }

    bool Blank(char c) const { return blank_[static_cast<unsigned char>(c)]; }

    void SkipBlanks() {
        while (at_ < bytes_.size() && Blank(bytes_[at_])) {
            ++at_;
        }
    }

    std::string_view Name() {
        const std::size_t start = at_;
        while (at_ < bytes_.size() && !Blank(bytes_[at_]) && bytes_[at_] != '=' && bytes_[at_] != '>' &&
               bytes_[at_] != '/' && bytes_[at_] != '?') {
            ++at_;
        }
        return std::string_view(bytes_).substr(start, at_ - start);
    }

    // The attributes of a tag up to (not past) its end: ">", "/>" or "?>".
    // (Kept in one vector that each call fills anew; the values' strings are
    // reused from tag to tag.)
    const std::vector<Attribute> &Attributes() {
        std::vector<Attribute> &attributes = attributes_;
        std::size_t count = 0;
        for (;;) {
            SkipBlanks();
            if (at_ >= bytes_.size() || bytes_[at_] == '>' || bytes_[at_] == '/' || bytes_[at_] == '?') {
                attributes.resize(count);
                return attributes;
            }
            const std::size_t nameAt = at_;
            const std::string_view name = Name();
            SkipBlanks();
            if (at_ >= bytes_.size() || bytes_[at_] != '=') {
                Skip(name.empty() ? 1 : 0); // no value: go on past what stops the scan
                continue;
            }
            Skip(1);
            SkipBlanks();
            if (at_ >= bytes_.size() || (bytes_[at_] != '"' && bytes_[at_] != '\'')) {
                continue;
            }
            const char quote = bytes_[at_];
            Skip(1);
            const std::size_t start = at_;
            Until(quote);
            if (count == attributes.size()) {
                attributes.emplace_back();
            }
            Attribute &attribute = attributes[count++];
            attribute.name = name;
            attribute.at = nameAt;
            Unescape(std::string_view(bytes_).substr(start, at_ - start), attribute.value);
            Skip(1);
        }
    }

    // `raw` with the predefined entities replaced, into `out`.
    static void Unescape(std::string_view raw, std::string &out) {
        if (raw.find('&') == std::string_view::npos) {
            out.assign(raw);
            return;
        }
        static const std::pair<std::string_view, char> kEntities[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        out.clear();
        for (std::size_t i = 0; i < raw.size();) {
            bool replaced = false;
            for (const auto &[entity, c] : kEntities) {
                if (raw.compare(i, entity.size(), entity) == 0) {
                    out += c;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
            if (!replaced) {
                out += raw[i++];
            }
        }
    }

    void Declaration() {
        Skip(2);
        const std::string_view target = Name();
        const std::vector<Attribute> &attributes = Attributes();
        if (target == "xml") {
            for (const Attribute &attribute : attributes) {
                if (attribute.name == "encoding") {
                    const std::string name = Lower(attribute.value);
                    utf8_ = !(name == "iso-8859-1" || name == "latin1" || name == "iso_8859-1" ||
                              name == "l1" || name == "iso8859-1");
                }
            }
        }
        SkipPast("?>");
    }

    void DocumentType() {
        int depth = 0;
        char quote = 0;
        while (at_ < bytes_.size()) {
            const char c = bytes_[at_];
            Skip(1);
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++depth;
            } else if (c == ']') {
                --depth;
            } else if (c == '>' && depth <= 0) {
                return;
            }
        }
    }

    void EndTag() {
        Skip(2);
        const std::string_view name = Name();
        SkipPast('>');
        if (!open_.empty()) {
            open_.pop_back();
        }
        if (name == "Rule") {
            rule_.clear();
        }
    }

    void StartTag() {
        Skip(1);
        const std::string_view name = Name();
        const std::vector<Attribute> &attributes = Attributes();
        const bool empty = at_ < bytes_.size() && bytes_[at_] == '/';
        SkipPast('>');
        if (!head_ && !headTold_) {
            headTold_ = true;
            Warn(Position{1, 1}, "",
                 "no document type head before <" + std::string(name) + ">: the library refuses a file without one",
                 "start the file with the content of " + dtdPath_);
        }
        if (name == "Application") {
            appl_ = NameOf(attributes);
            rule_.clear();
            CheckFlags(attributes, {"Enabled", nullptr, nullptr});
        } else if (name == "Rule") {
            rule_ = NameOf(attributes);
            CheckFlags(attributes, {"FailIfNotFound", "MatchCase", "UseText"});
            CheckLevel(attributes);
        } else if (name == "AED") {
            CheckFlags(attributes, {"Saved", nullptr, nullptr});
        }
        if (!empty) {
            open_.push_back(name);
        }
    }

    static std::string NameOf(const std::vector<Attribute> &attributes) {
        for (const Attribute &attribute : attributes) {
            if (attribute.name == "Name") {
                return attribute.value;
            }
        }
        return "";
    }

    std::string Element() const {
        if (appl_.empty() && rule_.empty()) {
            return "";
        }
        const std::string appl = appl_.empty() ? "(no name)" : appl_;
        return rule_.empty() ? appl : appl + "/" + rule_;
    }

    // `names`: the flag attributes of the element (null for none).
    void CheckFlags(const std::vector<Attribute> &attributes, const std::array<const char *, 3> &names) {
        static const std::set<std::string> kMeantTrue = {"yes", "y", "on", "1", "true", "enabled", "enable"};
        for (const Attribute &attribute : attributes) {
            const std::string_view value = attribute.value;
            if (value == "true" || value == "false" ||
                std::none_of(names.begin(), names.end(),
                             [&](const char *name) { return name != nullptr && attribute.name == name; })) {
                continue;
            }
            const std::string meant = kMeantTrue.count(Lower(attribute.value)) != 0 ? "true" : "false";
            Warn(attribute,
                 std::string(attribute.name) + "=\"" + attribute.value + "\" reads as false (only \"true\" is true)",
                 "write " + std::string(attribute.name) + "=\"" + meant + "\"");
        }
    }

    void CheckLevel(const std::vector<Attribute> &attributes) {
        static const std::set<std::string> kMeantDisabled = {"disabled", "disable", "off",  "no",
                                                             "false",    "0",       "none", "ignore"};
        for (const Attribute &attribute : attributes) {
            const std::string_view value = attribute.value;
            if (attribute.name != "Level" || value == "error" || value == "disabled") {
                continue;
            }
            const std::string meant =
                kMeantDisabled.count(Lower(attribute.value)) != 0 ? "disabled" : "error";
            Warn(attribute,
                 "Level=\"" + attribute.value + "\" reads as \"error\" (only \"disabled\" disables a rule)",
                 "write Level=\"" + meant + "\"");
        }
    }

    // Character data: in a rule's Text, Prefix or Suffix, looked at for mojibake.
    void Text(const Place &start) {
        const bool inText = !open_.empty() &&
                            (open_.back() == "Text" || open_.back() == "Prefix" || open_.back() == "Suffix");
        if (!inText || told_ >= kMostTexts) {
            return;
        }
        // Only a byte above ASCII can be part of either misreading.
        const auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
        if (std::all_of(bytes_.begin() + static_cast<std::ptrdiff_t>(start.at),
                        bytes_.begin() + static_cast<std::ptrdiff_t>(at_), ascii)) {
            return;
        }
        const std::vector<Unit> units = Units(start, at_);
        for (std::size_t i = 0; i < units.size(); ++i) {
            uint32_t cp = 0;
            if (units[i].value == kInvalid) {
                Warn(units[i],
                     std::string(open_.back()) + " holds a byte that is not UTF-8, though the head declares UTF-8",
                     "the text is probably ISO-8859-1: write it in UTF-8, or declare encoding=\"ISO-8859-1\" "
                     "in the head");
                ++told_;
                return;
            }
            if (Utf8Sequence(units, i, cp) != 0) {
                Warn(units[i],
                     std::string(open_.back()) + " \"" + Joined(units, false) + "\" looks like UTF-8 read as ISO-8859-1" +
                         (utf8_ ? " and written again as UTF-8" : ""),
                     "write \"" + Joined(units, true) + "\" as the file's encoding (" +
                         (utf8_ ? "UTF-8" : "ISO-8859-1") + ") has it");
                ++told_;
                return;
            }
        }
    }

    // The characters of bytes_[start.at, end): bytes, or code points of UTF-8.
    std::vector<Unit> Units(const Place &start, std::size_t end) {
        std::vector<Unit> units;
        auto [line, column] = PositionOf(start.at);
        std::vector<Unit> bytes;
        for (std::size_t i = start.at; i < end; ++i) {
            bytes.push_back(Unit{static_cast<unsigned char>(bytes_[i]), line, column});
            if (bytes_[i] == '\n') {
                ++line;
                column = 1;
            } else if (!(utf8_ && (static_cast<unsigned char>(bytes_[i]) & 0xC0) == 0x80)) {
                ++column;
            }
        }
        if (!utf8_) {
            return bytes;
        }
        for (std::size_t i = 0; i < bytes.size();) {
            uint32_t cp = 0;
            const std::size_t length = bytes[i].value < 0x80 ? 1 : Utf8Sequence(bytes, i, cp);
            units.push_back(Unit{length == 1   ? bytes[i].value
                                 : length == 0 ? kInvalid
                                               : cp,
                                 bytes[i].line, bytes[i].column});
            i += length == 0 ? 1 : length;
        }
        return units;
    }

    // The text as read (`mended` false), or with each UTF-8 sequence in it taken as one character.
    static std::string Joined(const std::vector<Unit> &units, bool mended) {
        std::string out;
        for (std::size_t i = 0; i < units.size() && i < 60;) {
            uint32_t cp = 0;
            const std::size_t length = mended ? Utf8Sequence(units, i, cp) : 0;
            out += Shown(length != 0 ? cp : units[i].value);
            i += length != 0 ? length : 1;
        }
        return out;
    }

    void Warn(const Unit &where, std::string text, std::string fix) {
        warnings_.push_back(
            ValueWarning{where.line, where.column, Element(), std::move(text), std::move(fix)});
    }
    void Warn(const Attribute &where, std::string text, std::string fix) {
        const Position position = PositionOf(where.at);
        warnings_.push_back(
            ValueWarning{position.line, position.column, Element(), std::move(text), std::move(fix)});
    }
    void Warn(const Position &where, const std::string &element, std::string text, std::string fix) {
        warnings_.push_back(ValueWarning{where.line, where.column, element, std::move(text), std::move(fix)});
    }

    static constexpr int kMostTexts = 20; // texts told about in one file, at most

    const std::string &bytes_;
    const std::string &dtdPath_;
    std::size_t at_ = 0;
    std::vector<std::size_t> lineStarts_; // made by PositionOf on first need
    bool utf8_ = true; // the encoding the head declares (UTF-8 without a declaration)
    bool head_ = false;
    bool headTold_ = false;
    int told_ = 0;
    std::vector<std::string_view> open_; // the names of the open elements, in the file's bytes
    std::vector<Attribute> attributes_;
    std::array<bool, 256> blank_{};
    std::string appl_;
    std::string rule_;
    std::vector<ValueWarning> warnings_;
};

} // namespace

std::vector<ValueWarning> ScanValues(const std::string &bytes, const std::string &dtdPath) {
    return Scanner(bytes, dtdPath).Run();
}

} // namespace ostak_tool
