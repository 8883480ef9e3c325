#include "swf/avm1/array_object.h"

#include <cmath>

#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {

std::optional<uint32_t> arrayIndexOf(std::string_view name) {
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0'))
        return std::nullopt;
    uint64_t value = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value >= 0xffffffffull)
        return std::nullopt;
    return uint32_t(value);
}

bool ArrayObject::setLength(double length) {
    if (!(length >= 0))
        length = 0;
    if (length > kMaxArrayLength)
        return false;
    if (std::size_t(length) > m_elements.size())
        charge(std::size_t(length) - m_elements.size(), Value());
    m_elements.resize(std::size_t(length));
    return true;
}

std::size_t ArrayObject::footprint() const {
    std::size_t bytes = Object::footprint() + m_elements.size() * sizeof(m_elements[0]);
    for (const auto& element : m_elements)
        if (element && element->isString())
            bytes += element->string().size();
    return bytes;
}

bool ArrayObject::set(uint32_t index, Value value) {
    if (index >= kMaxArrayLength)
        return false;
    charge(index >= m_elements.size() ? index + 1 - m_elements.size() : 0, value);
    if (index >= m_elements.size())
        m_elements.resize(index + 1);
    m_elements[index] = std::move(value);
    return true;
}

bool ArrayObject::getSpecial(Interpreter& vm, std::string_view name, Value& out) {
    // A getter added with addProperty is read instead of the element or the length.
    if (const Property* own = properties().find(name, vm.caseSensitive()); own && own->isAccessor())
        return false;
    if (vm.namesEqual(name, "length")) {
        out = double(length());
        return true;
    }
    if (auto index = arrayIndexOf(name); index && has(*index)) {
        out = at(*index);
        return true;
    }
    return false;
}

bool ArrayObject::setSpecial(Interpreter& vm, std::string_view name, const Value& value) {
    if (vm.namesEqual(name, "length")) {
        if (!setLength(vm.toInteger(value)))
            vm.abortScript("an array grew past " + std::to_string(kMaxArrayLength) + " elements");
        vm.checkCells();
        return true;
    }
    // An index past the elements' bound is kept as an ordinary property.
    if (auto index = arrayIndexOf(name); index && *index < kMaxArrayLength) {
        set(*index, value);
        vm.checkCells();
        return true;
    }
    return false;
}

bool ArrayObject::deleteSpecial(Interpreter&, std::string_view name) {
    if (auto index = arrayIndexOf(name); index && has(*index)) {
        erase(*index);
        return true;
    }
    return false;
}

void ArrayObject::specialKeys(Interpreter&, std::vector<SharedString>& out) {
    for (uint32_t i = 0; i < m_elements.size(); ++i)
        if (m_elements[i])
            out.emplace_back(std::to_string(i));
}

void ArrayObject::trace(Tracer& tracer) const {
    Object::trace(tracer);
    for (const auto& element : m_elements)
        if (element)
            tracer.mark(*element);
}

} // namespace swivio::swf::avm1
