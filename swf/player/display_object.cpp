#include "swf/player/display_object.h"

namespace swivio::swf {

DisplayObject* DisplayObjectRegistry::find(DisplayObjectHandle handle) const {
    auto it = m_objects.find(handle.id);
    return it == m_objects.end() ? nullptr : it->second;
}

DisplayObjectHandle DisplayObjectRegistry::add(DisplayObject& object) {
    // 64 bits do not run out: ids are never reused.
    const DisplayObjectHandle handle{++m_lastId};
    m_objects.emplace(handle.id, &object);
    return handle;
}

DisplayObject* DisplayObject::childAtDepth(int d) const {
    auto it = m_children.find(d);
    return it == m_children.end() ? nullptr : it->second.get();
}

DisplayObject* DisplayObject::childByName(const std::string& n) const {
    for (const auto& [d, child] : m_children)
        if (child->name == n)
            return child.get();
    return nullptr;
}

} // namespace swivio::swf
