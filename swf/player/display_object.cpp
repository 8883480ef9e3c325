#include "swf/player/display_object.h"

#include <atomic>

namespace swivio::swf {

DisplayObject* DisplayObjectRegistry::find(DisplayObjectHandle handle) const {
    auto it = m_objects.find(handle.id);
    return it == m_objects.end() ? nullptr : it->second;
}

DisplayObjectHandle DisplayObjectRegistry::add(DisplayObject& object) {
    // Ids come from one counter for every player, so a handle means nothing to another
    // player; 64 bits do not run out, so none is ever reused.
    static std::atomic<uint64_t> lastId{0};
    const DisplayObjectHandle handle{++lastId};
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
