#include "swf/avm1/value.h"

#include "swf/avm1/object.h"

namespace swivio::swf::avm1 {

const std::string& SharedString::empty() {
    static const std::string text;
    return text;
}

Value::Value(Object* object) {
    if (object) {
        m_type = ValueType::Object;
        m_object = object;
    } else {
        m_type = ValueType::Null;
    }
}

bool Value::strictlyEquals(const Value& other) const {
    if (m_type != other.m_type)
        return false;
    switch (m_type) {
    case ValueType::Undefined:
    case ValueType::Null: return true;
    case ValueType::Boolean: return m_boolean == other.m_boolean;
    case ValueType::Number: return m_number == other.m_number;
    case ValueType::String: return string() == other.string();
    case ValueType::Object: return m_object == other.m_object;
    }
    return false;
}

} // namespace swivio::swf::avm1
