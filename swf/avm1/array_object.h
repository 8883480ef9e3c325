#pragma once

#include <optional>
#include <vector>

#include "swf/avm1/object.h"

namespace swivio::swf::avm1 {

// The most elements one array holds; a script asking for more is stopped.
inline constexpr uint32_t kMaxArrayLength = 1u << 24;

// An Array: elements by index and a length, beside ordinary properties. An index never set
// is a hole: it reads as undefined and is not enumerated.
class ArrayObject : public Object {
public:
    // heap, when given, hears of the elements' growth (for the interpreter's memory bound).
    explicit ArrayObject(Object* proto, Heap* heap = nullptr) : Object(proto), m_heap(heap) {}
    ObjectKind kind() const override { return ObjectKind::Array; }

    uint32_t length() const { return uint32_t(m_elements.size()); }
    // Grows with holes or shrinks; false (and no change) past kMaxArrayLength.
    bool setLength(double length);
    Value at(uint32_t index) const {
        return index < m_elements.size() && m_elements[index] ? *m_elements[index] : Value();
    }
    bool has(uint32_t index) const { return index < m_elements.size() && m_elements[index]; }
    // False past kMaxArrayLength.
    bool set(uint32_t index, Value value);
    void push(Value value) {
        charge(1, value);
        m_elements.emplace_back(std::move(value));
    }
    void erase(uint32_t index) {
        if (index < m_elements.size())
            m_elements[index].reset();
    }
    std::vector<std::optional<Value>>& elements() { return m_elements; }

    bool getSpecial(Interpreter&, std::string_view name, Value& out) override;
    bool setSpecial(Interpreter&, std::string_view name, const Value& value) override;
    bool deleteSpecial(Interpreter&, std::string_view name) override;
    void specialKeys(Interpreter&, std::vector<SharedString>& out) override;
    void trace(Tracer& tracer) const override;
    std::size_t footprint() const override;

private:
    void charge(std::size_t elements, const Value& value) {
        if (m_heap)
            m_heap->addBytes(elements * sizeof(m_elements[0]) +
                             (value.isString() ? value.string().size() : 0));
    }
    std::vector<std::optional<Value>> m_elements;
    Heap* m_heap = nullptr;
};

// The array index a property name stands for ("0", "17"; not "01" or "-1").
std::optional<uint32_t> arrayIndexOf(std::string_view name);

} // namespace swivio::swf::avm1
