#include "json.h"

#include <charconv>
#include <cstdio>
#include <utility>

namespace nimbra::json {
namespace {

// Hostile input (a pipe can carry anything) must not exhaust the stack.
constexpr int MaxDepth = 200;

struct ParseError
{
    std::string message;
};

class Parser
{
public:
    explicit Parser(std::string_view text)
        : m_text(text)
    {}

    JsonValue document()
    {
        JsonValue value = parseValue(0);
        skipSpace();
        if (m_pos < m_text.size())
            fail("after top-level value");
        return value;
    }

private:
    [[noreturn]] void fail(const char *context) const
    {
        if (m_pos >= m_text.size())
            throw ParseError{"unexpected end of JSON input"};
        const auto c = static_cast<unsigned char>(m_text[m_pos]);
        char quoted[16];
        if (c >= 0x20 && c < 0x7f)
            std::snprintf(quoted, sizeof quoted, "'%c'", c);
        else
            std::snprintf(quoted, sizeof quoted, "'\\x%02x'", c);
        throw ParseError{std::string("invalid character ") + quoted + ' ' + context};
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\n' || m_text[m_pos] == '\r'))
            ++m_pos;
    }

    bool take(char c)
    {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    JsonValue parseValue(int depth)
    {
        if (depth > MaxDepth)
            throw ParseError{"exceeded max depth"};
        skipSpace();
        JsonValue value;
        if (m_pos >= m_text.size())
            fail("looking for beginning of value");
        switch (m_text[m_pos]) {
        case '{':
            parseObject(value, depth);
            break;
        case '[':
            parseArray(value, depth);
            break;
        case '"':
            value.type = JsonValue::Type::String;
            value.text = parseString();
            break;
        case 't':
            literal("true");
            value.type = JsonValue::Type::Bool;
            value.boolean = true;
            break;
        case 'f':
            literal("false");
            value.type = JsonValue::Type::Bool;
            break;
        case 'n':
            literal("null");
            break;
        default:
            parseNumber(value);
        }
        return value;
    }

    void literal(std::string_view word)
    {
        for (char expected : word) {
            if (m_pos >= m_text.size() || m_text[m_pos] != expected)
                fail("in literal");
            ++m_pos;
        }
    }

    void parseObject(JsonValue &value, int depth)
    {
        value.type = JsonValue::Type::Object;
        ++m_pos;
        skipSpace();
        if (take('}'))
            return;
        for (;;) {
            skipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != '"')
                fail("looking for beginning of object key string");
            std::string key = parseString();
            skipSpace();
            if (!take(':'))
                fail("after object key");
            value.members.push_back(JsonMember{std::move(key), parseValue(depth + 1)});
            skipSpace();
            if (take('}'))
                return;
            if (!take(','))
                fail("after object key:value pair");
        }
    }

    void parseArray(JsonValue &value, int depth)
    {
        value.type = JsonValue::Type::Array;
        ++m_pos;
        skipSpace();
        if (take(']'))
            return;
        for (;;) {
            value.items.push_back(parseValue(depth + 1));
            skipSpace();
            if (take(']'))
                return;
            if (!take(','))
                fail("after array element");
        }
    }

    unsigned hex4()
    {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            if (m_pos >= m_text.size())
                fail("in \\u hexadecimal character escape");
            const char c = m_text[m_pos];
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = unsigned(c - 'A' + 10);
            else
                fail("in \\u hexadecimal character escape");
            code = code * 16 + digit;
        }
        return code;
    }

    static void appendUtf8(std::string &out, unsigned code)
    {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xc0 | (code >> 6));
            out += char(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += char(0xe0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3f));
            out += char(0x80 | (code & 0x3f));
        } else {
            out += char(0xf0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3f));
            out += char(0x80 | ((code >> 6) & 0x3f));
            out += char(0x80 | (code & 0x3f));
        }
    }

    std::string parseString()
    {
        ++m_pos; // opening quote
        std::string out;
        for (;;) {
            if (m_pos >= m_text.size())
                fail("in string literal");
            const char c = m_text[m_pos];
            if (c == '"') {
                ++m_pos;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                fail("in string literal");
            ++m_pos;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size())
                fail("in string escape code");
            const char e = m_text[m_pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
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
                unsigned code = hex4();
                // A lone surrogate becomes U+FFFD, as Go does.
                if (code >= 0xd800 && code < 0xdc00 && m_text.substr(m_pos, 2) == "\\u") {
                    const std::size_t save = m_pos;
                    m_pos += 2;
                    const unsigned low = hex4();
                    if (low >= 0xdc00 && low < 0xe000)
                        code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
                    else
                        m_pos = save;
                }
                if (code >= 0xd800 && code < 0xe000)
                    code = 0xfffd;
                appendUtf8(out, code);
                break;
            }
            default:
                --m_pos;
                fail("in string escape code");
            }
        }
    }

    void parseNumber(JsonValue &value)
    {
        const std::size_t start = m_pos;
        auto digits = [this] {
            const std::size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9')
                ++m_pos;
            return m_pos - from;
        };
        take('-');
        if (take('0')) {
            // A leading zero stands alone.
        } else if (digits() == 0) {
            fail("looking for beginning of value");
        }
        bool integral = true;
        if (take('.')) {
            integral = false;
            if (digits() == 0)
                fail("after decimal point in numeric literal");
        }
        if (take('e') || take('E')) {
            integral = false;
            if (!take('+'))
                take('-');
            if (digits() == 0)
                fail("in exponent of numeric literal");
        }
        const char *first = m_text.data() + start;
        const auto result = std::from_chars(first, m_text.data() + m_pos, value.number);
        if (result.ec != std::errc())
            throw ParseError{"number " + std::string(first, m_text.data() + m_pos) + " out of range"};
        value.type = JsonValue::Type::Number;
        value.integral = integral;
        value.text.assign(first, m_text.data() + m_pos);
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

const JsonValue *JsonValue::find(std::string_view key) const
{
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
        if (it->key == key)
            return &it->value;
    }
    return nullptr;
}

const char *jsonKindName(JsonValue::Type type)
{
    switch (type) {
    case JsonValue::Type::Null:
        return "null";
    case JsonValue::Type::Bool:
        return "bool";
    case JsonValue::Type::Number:
        return "number";
    case JsonValue::Type::String:
        return "string";
    case JsonValue::Type::Array:
        return "array";
    case JsonValue::Type::Object:
        return "object";
    }
    return "value";
}

std::optional<JsonValue> parseJson(std::string_view text, std::string &error)
{
    try {
        return Parser(text).document();
    } catch (const ParseError &e) {
        error = e.message;
    }
    return std::nullopt;
}

} // namespace nimbra::json
