#include "tests/tool/JsonValue.h"

#include <cstdlib>

namespace tool_test {

class JsonParser {
  public:
    explicit JsonParser(const std::string &text) : text_(text) {}

    JsonValue Document() {
        JsonValue value = Value();
        SkipSpace();
        if (pos_ != text_.size()) {
            Fail("text after the document");
        }
        return value;
    }

  private:
    [[noreturn]] void Fail(const std::string &what) const {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
    }
    void SkipSpace() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t')) {
            ++pos_;
        }
    }
    bool Take(const std::string &word) {
        if (text_.compare(pos_, word.size(), word) == 0) {
            pos_ += word.size();
            return true;
        }
        return false;
    }
    void Expect(char c) {
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != c) {
            Fail(std::string("expected '") + c + "'");
        }
        ++pos_;
    }
    JsonValue Value() {
        SkipSpace();
        if (pos_ >= text_.size()) {
            Fail("unexpected end");
        }
        JsonValue value;
        const char c = text_[pos_];
        if (c == '{') {
            value.type_ = JsonValue::Type::Object;
            ++pos_;
            SkipSpace();
            if (Take("}")) {
                return value;
            }
            do {
                SkipSpace();
                std::string key = String();
                Expect(':');
                value.object_.emplace_back(std::move(key), Value());
                SkipSpace();
            } while (Take(","));
            Expect('}');
        } else if (c == '[') {
            value.type_ = JsonValue::Type::Array;
            ++pos_;
            SkipSpace();
            if (Take("]")) {
                return value;
            }
            do {
                value.array_.push_back(Value());
                SkipSpace();
            } while (Take(","));
            Expect(']');
        } else if (c == '"') {
            value.type_ = JsonValue::Type::String;
            value.string_ = String();
        } else if (Take("true")) {
            value.type_ = JsonValue::Type::Bool;
            value.bool_ = true;
        } else if (Take("false")) {
            value.type_ = JsonValue::Type::Bool;
        } else if (Take("null")) {
            value.type_ = JsonValue::Type::Null;
        } else {
            char *end = nullptr;
            value.number_ = std::strtod(text_.c_str() + pos_, &end);
            if (end == text_.c_str() + pos_) {
                Fail("no value");
            }
            value.type_ = JsonValue::Type::Number;
            pos_ = static_cast<std::size_t>(end - text_.c_str());
        }
        return value;
    }
    void AppendUtf8(std::string &out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    std::string String() {
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            Fail("expected a string");
        }
        ++pos_;
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            const auto c = static_cast<unsigned char>(text_[pos_++]);
            if (c < 0x20) {
                Fail("control character in a string");
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (pos_ >= text_.size()) {
                Fail("unfinished escape");
            }
            const char e = text_[pos_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                if (pos_ + 4 > text_.size()) {
                    Fail("short \\u escape");
                }
                AppendUtf8(out, static_cast<unsigned>(std::stoul(text_.substr(pos_, 4), nullptr, 16)));
                pos_ += 4;
                break;
            }
            default:
                Fail("unknown escape");
            }
        }
        if (pos_ >= text_.size()) {
            Fail("unfinished string");
        }
        ++pos_;
        return out;
    }

    const std::string &text_;
    std::size_t pos_ = 0;
};

JsonValue JsonValue::Parse(const std::string &text) {
    return JsonParser(text).Document();
}

namespace {
void Require(bool holds, const char *what) {
    if (!holds) {
        throw std::runtime_error(std::string("JSON value is not ") + what);
    }
}
} // namespace

bool JsonValue::AsBool() const {
    Require(type_ == Type::Bool, "a boolean");
    return bool_;
}

double JsonValue::AsNumber() const {
    Require(type_ == Type::Number, "a number");
    return number_;
}

const std::string &JsonValue::AsString() const {
    Require(type_ == Type::String, "a string");
    return string_;
}

const std::vector<JsonValue> &JsonValue::AsArray() const {
    Require(type_ == Type::Array, "an array");
    return array_;
}

std::vector<std::string> JsonValue::Keys() const {
    Require(type_ == Type::Object, "an object");
    std::vector<std::string> keys;
    for (const auto &member : object_) {
        keys.push_back(member.first);
    }
    return keys;
}

bool JsonValue::Has(const std::string &key) const {
    Require(type_ == Type::Object, "an object");
    for (const auto &member : object_) {
        if (member.first == key) {
            return true;
        }
    }
    return false;
}

const JsonValue &JsonValue::operator[](const std::string &key) const {
    Require(type_ == Type::Object, "an object");
    for (const auto &member : object_) {
        if (member.first == key) {
            return member.second;
        }
    }
    throw std::runtime_error("JSON object has no member \"" + key + "\"");
}

} // namespace tool_test
