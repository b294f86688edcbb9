#include "tools/Json.h"

#include <cstdio>

namespace ostak_tool {

void JsonWriter::Indent() {
    out_ << '\n';
    for (std::size_t i = 0; i < levels_.size(); ++i) {
        out_ << "  ";
    }
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) {
        return;
    }
    Level &level = levels_.back();
    if (!level.empty) {
        out_ << ',';
    }
    level.empty = false;
    Indent();
}

void JsonWriter::Open(char bracket, bool isObject) {
    BeforeValue();
    out_ << bracket;
    levels_.push_back(Level{isObject, true});
}

void JsonWriter::Close(char bracket) {
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) {
        Indent();
    }
    out_ << bracket;
}

void JsonWriter::BeginObject() {
    Open('{', true);
}

void JsonWriter::EndObject() {
    Close('}');
}

void JsonWriter::BeginArray() {
    Open('[', false);
}

void JsonWriter::EndArray() {
    Close(']');
}

void JsonWriter::Key(std::string_view key) {
    BeforeValue();
    WriteString(key);
    out_ << ": ";
    afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    WriteString(utf8);
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ << (value ? "true" : "false");
}

void JsonWriter::Number(int64_t value) {
    BeforeValue();
    out_ << value;
}

void JsonWriter::Null() {
    BeforeValue();
    out_ << "null";
}

void JsonWriter::Finish() {
    out_ << '\n';
}

void JsonWriter::WriteString(std::string_view text) {
    out_ << '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out_ << "\\\"";
            break;
        case '\\':
            out_ << "\\\\";
            break;
        case '\n':
            out_ << "\\n";
            break;
        case '\r':
            out_ << "\\r";
            break;
        case '\t':
            out_ << "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out_ << escaped;
            } else {
                out_ << c;
            }
        }
    }
    out_ << '"';
}

} // namespace ostak_tool
