// A small streaming JSON writer: two-space indentation, keys in the order
// written, strings given as UTF-8 and escaped as RFC 8259 asks.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace ostak_tool {

class JsonWriter {
  public:
    explicit JsonWriter(std::ostream &out) : out_(out) {}

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The key of the next value inside an object.
    void Key(std::string_view key);
    void String(std::string_view utf8);
    void Bool(bool value);
    void Number(int64_t value);
    void Null();
    // Ends the document with a line feed.
    void Finish();

  private:
    struct Level {
        bool isObject;
        bool empty;
    };
    void BeforeValue();
    void Open(char bracket, bool isObject);
    void Close(char bracket);
    void Indent();
    void WriteString(std::string_view text);

    std::ostream &out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

} // namespace ostak_tool
