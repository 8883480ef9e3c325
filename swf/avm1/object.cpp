#include "swf/avm1/object.h"

#include <algorithm>

namespace swivio::swf::avm1 {

namespace {

constexpr std::size_t kIndexFrom = 12;

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

bool equalsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    return true;
}

std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        c = foldAscii(c);
    return out;
}

} // namespace

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) { return equalsFolded(a, b); }

bool visibleToVersion(uint16_t flags, int version) {
    if ((flags & kVersion6) && version < 6)
        return false;
    if ((flags & kNotVersion6) && version == 6)
        return false;
    if ((flags & kVersion7) && version < 7)
        return false;
    if ((flags & kVersion8) && version < 8)
        return false;
    if ((flags & kVersion9) && version < 9)
        return false;
    if ((flags & kVersion10) && version < 10)
        return false;
    return true;
}

Property* PropertyMap::find(std::string_view name, bool caseSensitive) {
    if (m_index.empty()) {
        Property* loose = nullptr;
        for (Property& p : m_list) {
            if (isRemoved(p))
                continue;
            const std::string& own = p.name.str();
            if (own == name)
                return &p;
            if (!caseSensitive && !loose && equalsFolded(own, name))
                loose = &p;
        }
        return loose;
    }
    auto [begin, end] = m_index.equal_range(folded(name));
    Property* loose = nullptr;
    for (auto it = begin; it != end; ++it) {
        Property& p = m_list[it->second];
        if (p.name.str() == name)
            return &p;
        if (!caseSensitive && (!loose || it->second < loose - m_list.data()))
            loose = &p;
    }
    return loose;
}

Property& PropertyMap::add(SharedString name) {
    if (m_list.size() > 2 * kIndexFrom && m_list.size() > 2 * m_live)
        compact();
    m_list.push_back(Property{std::move(name), Value(), nullptr, nullptr, 0, false});
    ++m_live;
    if (!m_index.empty())
        m_index.emplace(folded(m_list.back().name.str()), uint32_t(m_list.size() - 1));
    else if (m_live >= kIndexFrom)
        rebuildIndex();
    return m_list.back();
}

bool PropertyMap::remove(std::string_view name, bool caseSensitive) {
    Property* p = find(name, caseSensitive);
    if (!p)
        return false;
    if (!m_index.empty()) {
        auto [begin, end] = m_index.equal_range(folded(p->name.str()));
        const uint32_t at = uint32_t(p - m_list.data());
        for (auto it = begin; it != end; ++it)
            if (it->second == at) {
                m_index.erase(it);
                break;
            }
    }
    *p = Property{};
    p->removed = true;
    --m_live;
    return true;
}

void PropertyMap::rebuildIndex() {
    m_index.clear();
    for (uint32_t i = 0; i < m_list.size(); ++i)
        if (!isRemoved(m_list[i]))
            m_index.emplace(folded(m_list[i].name.str()), i);
}

void PropertyMap::compact() {
    std::erase_if(m_list, [](const Property& p) { return isRemoved(p); });
    if (m_live >= kIndexFrom)
        rebuildIndex();
    else
        m_index.clear();
}

void Object::define(std::string_view name, Value value, uint16_t flags) {
    Property* p = m_properties.find(name, true);
    if (!p)
        p = &m_properties.add(SharedString(std::string(name)));
    p->value = std::move(value);
    p->getter = p->setter = nullptr;
    p->flags = flags;
}

void Object::defineAccessor(std::string_view name, Object* getter, Object* setter,
                            uint16_t flags) {
    Property* p = m_properties.find(name, true);
    // A value the property held stays under the accessors (watchers see it as the old value).
    if (!p)
        p = &m_properties.add(SharedString(std::string(name)));
    p->getter = getter;
    p->setter = setter;
    p->flags = flags;
}

void Object::trace(Tracer& tracer) const {
    tracer.mark(m_proto);
    m_properties.forEach([&](const Property& p) {
        tracer.mark(p.value);
        tracer.mark(p.getter);
        tracer.mark(p.setter);
    });
    for (const Watcher& w : m_watchers) {
        tracer.mark(w.callback);
        tracer.mark(w.userData);
    }
}

std::size_t Object::footprint() const {
    std::size_t bytes = 64 + m_properties.size() * sizeof(Property);
    m_properties.forEach([&](const Property& p) {
        if (p.value.isString())
            bytes += p.value.string().size();
    });
    return bytes;
}

void FunctionObject::trace(Tracer& tracer) const {
    Object::trace(tracer);
    tracer.mark(scope);
    tracer.mark(base);
}

} // namespace swivio::swf::avm1
