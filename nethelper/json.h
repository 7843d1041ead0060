#pragma once

// A small JSON reader: the network helper checks the core's configuration with it (and writes the one
// the core gets from what it read), and the stand-in core reads its configuration with it. Members keep
// their document order and duplicates, as a check for what Go's decoder would make of them needs.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::json {

struct JsonMember;

struct JsonValue
{
    enum class Type
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };

    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    bool integral = false; // written without fraction or exponent
    std::string text;      // a string's value, or a number as written
    std::vector<JsonValue> items;
    std::vector<JsonMember> members; // in document order

    // The last member with this key, as Go's decoder keeps the last duplicate; null when absent.
    const JsonValue *find(std::string_view key) const;
    bool isString() const { return type == Type::String; }
    bool isArray() const { return type == Type::Array; }
    bool isObject() const { return type == Type::Object; }
};

struct JsonMember
{
    std::string key;
    JsonValue value;
};

// Go-style name of a value's kind, for error messages ("string", "array", ...).
const char *jsonKindName(JsonValue::Type type);

// Parses one complete document; on failure returns nothing and sets error to a Go-like message.
std::optional<JsonValue> parseJson(std::string_view text, std::string &error);

} // namespace nimbra::json
