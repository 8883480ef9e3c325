#include "base/json_reader.h"

#include <cmath>
#include <cstdlib>

namespace swivio {

const JsonValue* JsonValue::find(std::string_view name) const {
    for (const auto& member : m_members)
        if (member.first == name)
            return &member.second;
    return nullptr;
}

std::string JsonValue::where() const {
    return "line " + std::to_string(m_line) + ", column " + std::to_string(m_column);
}

// A recursive-descent reader; the depth limit bounds its recursion.
class JsonParser {
public:
    JsonParser(std::string_view text, const JsonLimits& limits) : m_text(text), m_limits(limits) {}

    Result<JsonValue> run() {
        if (m_text.size() > m_limits.maxBytes)
            return Status::failure("the text is longer than " + std::to_string(m_limits.maxBytes) +
                                   " bytes");
        // A byte order mark is no part of the value.
        if (m_text.substr(0, 3) == "\xEF\xBB\xBF")
            m_pos = 3;
        JsonValue value;
        skipSpace();
        if (!parseValue(value, 0))
            return Status::failure(m_error);
        skipSpace();
        if (m_pos < m_text.size() && !fail("unexpected text after the value"))
            return Status::failure(m_error);
        return value;
    }

private:
    bool fail(const std::string& message) {
        int line = 1;
        int column = 1;
        for (size_t i = 0; i < m_pos && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        m_error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                  (m_pos >= m_text.size() ? "the text ends early (" + message + ")" : message);
        return false;
    }

    void skipSpace() {
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                break;
            if (c == '\n') {
                ++m_line;
                m_lineStart = m_pos + 1;
            }
            ++m_pos;
        }
    }

    bool at(char c) const { return m_pos < m_text.size() && m_text[m_pos] == c; }

    bool literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word)
            return fail("unknown word (expected a value)");
        m_pos += word.size();
        return true;
    }

    bool parseValue(JsonValue& value, int depth) {
        value.m_line = m_line;
        value.m_column = int(m_pos - m_lineStart) + 1;
        if (m_pos >= m_text.size())
            return fail("the text ends where a value was expected");
        switch (m_text[m_pos]) {
        case '{':
            return parseObject(value, depth);
        case '[':
            return parseArray(value, depth);
        case '"':
            value.m_type = JsonValue::Type::String;
            return parseString(value.m_string);
        case 't':
            value.m_type = JsonValue::Type::Bool;
            value.m_bool = true;
            return literal("true");
        case 'f':
            value.m_type = JsonValue::Type::Bool;
            return literal("false");
        case 'n':
            return literal("null");
        default:
            value.m_type = JsonValue::Type::Number;
            return parseNumber(value.m_number);
        }
    }

    bool enter(int depth) {
        if (depth >= m_limits.maxDepth)
            return fail("values nest deeper than " + std::to_string(m_limits.maxDepth) + " levels");
        return true;
    }

    bool parseArray(JsonValue& value, int depth) {
        if (!enter(depth))
            return false;
        value.m_type = JsonValue::Type::Array;
        ++m_pos;
        skipSpace();
        if (at(']')) {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipSpace();
            value.m_items.emplace_back();
            if (!parseValue(value.m_items.back(), depth + 1))
                return false;
            skipSpace();
            if (at(',')) {
                ++m_pos;
                continue;
            }
            if (at(']')) {
                ++m_pos;
                return true;
            }
            return fail("expected ',' or ']'");
        }
    }

    bool parseObject(JsonValue& value, int depth) {
        if (!enter(depth))
            return false;
        value.m_type = JsonValue::Type::Object;
        ++m_pos;
        skipSpace();
        if (at('}')) {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipSpace();
            if (!at('"'))
                return fail("expected a member name in double quotes");
            std::string name;
            if (!parseString(name))
                return false;
            skipSpace();
            if (!at(':'))
                return fail("expected ':' after the member name");
            ++m_pos;
            skipSpace();
            value.m_members.emplace_back(std::move(name), JsonValue());
            if (!parseValue(value.m_members.back().second, depth + 1))
                return false;
            skipSpace();
            if (at(',')) {
                ++m_pos;
                continue;
            }
            if (at('}')) {
                ++m_pos;
                return true;
            }
            return fail("expected ',' or '}'");
        }
    }

    bool hex4(uint32_t& out) {
        if (m_text.size() - m_pos < 4)
            return fail("the text ends inside a \\u escape");
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos + i];
            uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = uint32_t(c - 'A' + 10);
            else
                return fail("a \\u escape needs four hexadecimal digits");
            out = out * 16 + digit;
        }
        m_pos += 4;
        return true;
    }

    static void appendUtf8(std::string& out, uint32_t c) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }

    bool parseString(std::string& out) {
        ++m_pos;
        for (;;) {
            if (m_pos >= m_text.size())
                return fail("the text ends inside a string");
            const unsigned char c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c < 0x20)
                return fail("a control character inside a string must be escaped");
            if (c != '\\') {
                out += char(c);
                ++m_pos;
                continue;
            }
            ++m_pos;
            if (m_pos >= m_text.size())
                return fail("the text ends inside a string");
            const char e = m_text[m_pos++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t code;
                if (!hex4(code))
                    return false;
                // A surrogate pair spells one character beyond the basic plane; a lone half
                // becomes the replacement character.
                if (code >= 0xD800 && code < 0xDC00 && m_text.substr(m_pos, 2) == "\\u") {
                    const size_t mark = m_pos;
                    m_pos += 2;
                    uint32_t low;
                    if (!hex4(low))
                        return false;
                    if (low >= 0xDC00 && low < 0xE000)
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    else
                        m_pos = mark;
                }
                if (code >= 0xD800 && code < 0xE000)
                    code = 0xFFFD;
                appendUtf8(out, code);
                break;
            }
            default:
                --m_pos;
                return fail("unknown escape in a string");
            }
        }
    }

    bool parseNumber(double& out) {
        const size_t start = m_pos;
        auto digits = [&] {
            const size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9')
                ++m_pos;
            return m_pos > from;
        };
        if (at('-'))
            ++m_pos;
        if (at('0')) {
            ++m_pos;
        } else if (!digits()) {
            m_pos = start;
            return fail("expected a value");
        }
        if (at('.')) {
            ++m_pos;
            if (!digits())
                return fail("expected digits after the decimal point");
        }
        if (at('e') || at('E')) {
            ++m_pos;
            if (at('+') || at('-'))
                ++m_pos;
            if (!digits())
                return fail("expected digits in the exponent");
        }
        // strtod needs a terminated copy; numbers are short.
        const std::string copy(m_text.substr(start, m_pos - start));
        out = std::strtod(copy.c_str(), nullptr);
        if (!std::isfinite(out)) {
            m_pos = start;
            return fail("the number is too large");
        }
        return true;
    }

    std::string_view m_text;
    JsonLimits m_limits;
    size_t m_pos = 0;
    int m_line = 1;
    size_t m_lineStart = 0;
    std::string m_error;
};

Result<JsonValue> parseJson(std::string_view text, const JsonLimits& limits) {
    return JsonParser(text, limits).run();
}

} // namespace swivio
