#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"

namespace swivio {

// One JSON value: small files written by people or tools (recorded input, settings), read
// whole. Objects keep their members in file order; a repeated name keeps both.
class JsonValue {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type() const { return m_type; }
    bool isNull() const { return m_type == Type::Null; }
    bool isBool() const { return m_type == Type::Bool; }
    bool isNumber() const { return m_type == Type::Number; }
    bool isString() const { return m_type == Type::String; }
    bool isArray() const { return m_type == Type::Array; }
    bool isObject() const { return m_type == Type::Object; }

    bool boolean() const { return m_bool; }
    double number() const { return m_number; }
    // The text of a string, UTF-8.
    const std::string& string() const { return m_string; }
    const std::vector<JsonValue>& items() const { return m_items; }
    const std::vector<std::pair<std::string, JsonValue>>& members() const { return m_members; }
    // The first member called `name`, or null when there is none (or this is no object).
    const JsonValue* find(std::string_view name) const;
    // Where the value starts in the text, for messages: "line L, column C".
    std::string where() const;

private:
    friend class JsonParser;
    Type m_type = Type::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    std::vector<JsonValue> m_items;
    std::vector<std::pair<std::string, JsonValue>> m_members;
    int m_line = 1;
    int m_column = 1;
};

struct JsonLimits {
    size_t maxBytes = 16 * 1024 * 1024;
    int maxDepth = 64;
};

// Reads `text` as one JSON value (RFC 8259, no extensions). A failure says what was wrong and
// where ("line 3, column 14: expected ',' or ']'").
Result<JsonValue> parseJson(std::string_view text, const JsonLimits& limits = {});

} // namespace swivio
