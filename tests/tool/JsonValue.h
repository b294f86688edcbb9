// A small JSON reader for checking the tool's --json output: objects keep
// their keys in document order, numbers are read as doubles.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tool_test {

class JsonValue {
  public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    // Parses a whole document (surrounding white space allowed); throws std::runtime_error.
    static JsonValue Parse(const std::string &text);

    Type type() const { return type_; }
    bool IsNull() const { return type_ == Type::Null; }
    bool AsBool() const;
    double AsNumber() const;
    const std::string &AsString() const;
    const std::vector<JsonValue> &AsArray() const;
    // The keys of an object, in document order.
    std::vector<std::string> Keys() const;
    // The member of an object; throws when there is none.
    const JsonValue &operator[](const std::string &key) const;
    const JsonValue &operator[](std::size_t index) const { return AsArray().at(index); }
    bool Has(const std::string &key) const;

  private:
    friend class JsonParser;
    Type type_ = Type::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<JsonValue> array_;
    std::vector<std::pair<std::string, JsonValue>> object_;
};

} // namespace tool_test
