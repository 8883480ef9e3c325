#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace swivio::swf::avm1 {

class Object;

enum class ValueType : uint8_t { Undefined, Null, Boolean, Number, String, Object };

// An immutable string shared by the values that hold it. Not thread-safe: one interpreter
// runs on one thread.
class SharedString {
public:
    SharedString() = default;
    explicit SharedString(std::string text) : m_data(new Data{1, std::move(text)}) {}
    SharedString(const SharedString& other) : m_data(other.m_data) { retain(); }
    SharedString(SharedString&& other) noexcept : m_data(std::exchange(other.m_data, nullptr)) {}
    SharedString& operator=(SharedString other) noexcept {
        std::swap(m_data, other.m_data);
        return *this;
    }
    ~SharedString() { release(); }

    const std::string& str() const { return m_data ? m_data->text : empty(); }

private:
    struct Data {
        uint32_t refs;
        std::string text;
    };
    void retain() {
        if (m_data)
            ++m_data->refs;
    }
    void release() {
        if (m_data && --m_data->refs == 0)
            delete m_data;
    }
    static const std::string& empty();
    Data* m_data = nullptr;
};

// One ActionScript value. Objects are owned by the interpreter's heap; a value only points
// at them, so a value kept outside the heap's roots must not outlive a garbage collection.
class Value {
public:
    Value() = default;
    Value(double number) : m_type(ValueType::Number), m_number(number) {}
    Value(int number) : m_type(ValueType::Number), m_number(number) {}
    Value(bool boolean) : m_type(ValueType::Boolean), m_boolean(boolean) {}
    Value(Object* object);
    Value(std::string text) : m_type(ValueType::String), m_string(std::move(text)) {}
    Value(SharedString text) : m_type(ValueType::String), m_string(std::move(text)) {}
    Value(std::string_view text) : Value(std::string(text)) {}
    Value(const char* text) : Value(std::string(text)) {}
    static Value null() {
        Value v;
        v.m_type = ValueType::Null;
        return v;
    }

    ValueType type() const { return m_type; }
    bool isUndefined() const { return m_type == ValueType::Undefined; }
    bool isNull() const { return m_type == ValueType::Null; }
    bool isNullish() const { return m_type <= ValueType::Null; }
    bool isBoolean() const { return m_type == ValueType::Boolean; }
    bool isNumber() const { return m_type == ValueType::Number; }
    bool isString() const { return m_type == ValueType::String; }
    bool isObject() const { return m_type == ValueType::Object; }

    // The payload of the matching type (undefined behaviour for another type is avoided:
    // each gives a neutral value instead).
    bool boolean() const { return m_type == ValueType::Boolean && m_boolean; }
    double number() const { return m_type == ValueType::Number ? m_number : 0.0; }
    const std::string& string() const { return m_string.str(); }
    const SharedString& sharedString() const { return m_string; }
    Object* object() const { return m_type == ValueType::Object ? m_object : nullptr; }

    // Same type and same payload (numbers by ==, strings by content, objects by identity).
    bool strictlyEquals(const Value& other) const;

private:
    ValueType m_type = ValueType::Undefined;
    union {
        bool m_boolean;
        double m_number = 0;
        Object* m_object;
    };
    SharedString m_string;
};

} // namespace swivio::swf::avm1
